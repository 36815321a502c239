// Fuzz target for typed coordinates and lengths. The first byte picks the view's
// settings (units, degree and cartesian flags, reference, drawing scale, axes),
// the second the formatter's denominator and decimals; the rest is the typed text.
// The text is read as coordinates and converted into a point, and read as a
// length that is written back in every unit mode and read again. Checks: error
// offsets lie inside the text; an accepted point is three finite numbers below
// FLT_MAX; every written length reads back to within what its text can show; angle
// minutes stay below 60.
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "commands/units/coord_text.h"
#include "commands/units/length_text.h"
#include "graphics/view/view.h"
#include "model/rtc/rtc.h"

namespace {

VIEW* fuzz_view() {
    static VIEW* view = [] {
        rtc_register_all();
        view_type_register();
        return rtc_make<VIEW>().release();
    }();
    return view;
}

void check_point_text(const std::string& point) {
    const char* p = point.c_str();
    const char* end = p + point.size();
    for (int i = 0; i < 3; ++i) {
        double v = 0;
        auto r = std::from_chars(p, end, v, std::chars_format::fixed);
        if (r.ec != std::errc() || !std::isfinite(v) || std::fabs(v) >= FLT_MAX * (1 + 1e-6))
            std::abort();
        p = r.ptr;
        if (i < 2) {
            if (p == end || *p != ' ') std::abort();
            ++p;
        }
    }
    if (p != end) std::abort();
}

// Writes `mm` in a unit mode and reads it back: the text must read, and land within
// half a step of what it shows (plus rounding of the reader's digit sums).
void check_round_trip(double mm, int mode, int denominator, int decimals) {
    std::string text = length_format(mode, mm, denominator, decimals);
    double back = 0;
    bool ok = mode == 0 ? typed_distance_parse(text.c_str(), &back)
                        : length_parse(text.c_str(), &back) == 1;
    if (!ok) std::abort();
    const int places = decimals < 1 ? 1 : decimals > 9 ? 9 : decimals;
    double step = mode == 0   ? std::pow(10.0, -places)
                  : mode == 1 ? std::pow(10.0, -places) * 25.4
                              : 25.4 / (denominator >= 2 ? denominator : 1);
    if (std::fabs(back - mm) > step * 0.5 * (1 + 1e-9) + std::fabs(mm) * 1e-9) std::abort();
    if (back == 0 && text[0] == '-') std::abort();  // a shown zero has no sign
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > 4096) return 0;
    const uint8_t setup = data[0], format = data[1];
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    const size_t length = std::strlen(text.c_str());

    VIEW* view = fuzz_view();
    view->length_unit = setup & 3;
    view->degrees = (setup >> 2) & 1;
    view->cartesian = (setup >> 3) & 1;
    view->coordinate_type = (setup >> 4) & 3;
    view->drawing_scales[0] = (setup & 0x40) ? 1.0 : 5.0;
    view->drawing_scales[1] = (setup & 0x40) ? 100.0 : 5.0;
    view->elevation = (setup & 0x20) ? 1e30 : 2.5;
    view->last_point = {1e38f, -3, 0};
    const bool user_axes = setup & 0x80;

    int flags = 0;
    double v[3] = {0, 0, 0};
    for (bool imperial : {false, true}) {
        int n = coords_parse(text.c_str(), imperial, &flags, v);
        if (n > 3 || (n < 0 && static_cast<size_t>(-n - 1) > length)) std::abort();
        for (int i = 0; i < n; ++i)
            if (!std::isfinite(v[i])) std::abort();
    }
    std::string point;
    if (typed_point_convert(view, text, user_axes, &point)) check_point_text(point);
    Vec3 world;
    view_typed_to_world(view, v[0], v[1], v[2], &world);

    double mm = 0;
    if (length_parse(text.c_str(), &mm)) {
        if (!std::isfinite(mm)) std::abort();
        const int denominator = 1 << (format & 15);
        const int decimals = (format >> 4) & 15;
        check_round_trip(mm, 0, denominator, decimals);
        check_round_trip(mm, 1, denominator, decimals);
        check_round_trip(mm, 5, denominator, decimals);
        for (int mode = 0; mode < 7; ++mode) value_format_unit("c", mm, mode);
        // Degrees and minutes: the minutes are whole and below 60.
        std::string angle = value_format_unit("", mm, 3);
        size_t sign = angle.find('\x07');
        if (sign != std::string::npos) {
            int minutes = -1;
            auto r = std::from_chars(angle.data() + sign + 2, angle.data() + angle.size(), minutes);
            if (r.ec != std::errc() || minutes < 0 || minutes > 59 || *r.ptr != '\'') std::abort();
        }
    }
    double distance = 0;
    if (typed_distance_parse(text.c_str(), &distance) && !std::isfinite(distance)) std::abort();
    return 0;
}
