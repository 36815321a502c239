// Coordinate readout values and texts.
#include "shell/core/readout.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "commands/units/length_text.h"
#include "graphics/view/projection.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/zobj.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"

namespace {

constexpr double kPi = std::numbers::pi;

struct Ref {
    double x, y;
};

// The reference point of a coordinate type; false for a type without one.
bool reference_of(int type, Ref origin, Ref user, Ref last, Ref* out) {
    switch (type) {
        case 0: *out = origin; return true;
        case 1: *out = user; return true;
        case 2: *out = last; return true;
        default: return false;
    }
}

double distance_from(int type, Ref ref, double x, double y) {
    if (type == 0) return std::hypot(x, y);
    if (x == ref.x) return std::fabs(y - ref.y);
    if (y == ref.y) return std::fabs(x - ref.x);
    return std::hypot(x - ref.x, y - ref.y);
}

Ref stored(const Vec3& v) { return {v.x, v.y}; }

Ref projected(const VIEW* view, const Vec3& v) {
    Vec3 out;
    world_to_view(&view->projection, v, &out);
    return {out.x, out.y};
}

// The formatter's modes for the view's units: lengths decimal, feet and decimal
// inches, or feet and inches with fractions (length unit 0, 1, 2); angles in degrees
// and minutes or in radians.
int format_mode(ReadoutFormat format, const VIEW* view) {
    if (format == ReadoutFormat::kAngle) return view->degrees ? kUnitAngleDegrees : kUnitAngleRadians;
    switch (view->length_unit) {
        case kLengthInches: return kUnitFeetInches;
        case kLengthFractions: return kUnitFeetFraction;
        default: return kUnitDecimal;
    }
}

}  // namespace

double angle_of(double x, double y) {
    if (y == 0.0) return x >= 0.0 ? 0.0 : kPi;
    if (x == 0.0) return y > 0.0 ? kPi / 2 : 3 * kPi / 2;
    double a = std::atan(std::fabs(y / x));
    if (x > 0) return y > 0 ? a : 2 * kPi - a;
    return y > 0 ? kPi - a : kPi + a;
}

double readout_scale_ratio(const VIEW* view) {
    double a = view->drawing_scales[0], b = view->drawing_scales[1];
    if (!(a > 0.0) || !(b > 0.0) || !std::isfinite(a) || !std::isfinite(b)) return 1.0;
    return a / b;
}

double coord_distance(const VIEW* view, double x, double y) {
    Ref ref;
    int type = view->coordinate_type;
    if (!reference_of(type, {0, 0}, stored(view->user_origin), stored(view->last_point), &ref)) return 0.0;
    return distance_from(type, ref, x, y);
}

double coord_angle(const VIEW* view, double x, double y) {
    Ref ref{0, 0};
    reference_of(view->coordinate_type, {0, 0}, stored(view->user_origin), stored(view->last_point), &ref);
    return angle_of(x - ref.x, y - ref.y);
}

void coord_values(const VIEW* view, int mode, double* first, double* second, double* dx, double* dy) {
    double f = readout_scale_ratio(view);
    Ref cur, user, last;
    if (mode != 0) {
        cur = {view->cursor_view[0], view->cursor_view[1]};
        user = projected(view, view->user_origin);
        last = projected(view, view->last_point);
    } else {
        cur = {view->cursor[0], view->cursor[1]};
        user = stored(view->user_origin);
        last = stored(view->last_point);
    }
    *dx = (cur.x - last.x) * f;
    *dy = (cur.y - last.y) * f;
    int type = view->coordinate_type;
    Ref ref{0, 0};
    bool has_ref = reference_of(type, {0, 0}, user, last, &ref);
    if (view->cartesian) {
        *first = (cur.x - ref.x) * f;
        *second = (cur.y - ref.y) * f;
        if (!has_ref) *first = cur.x * f, *second = cur.y * f;
    } else {
        *first = has_ref ? distance_from(type, ref, cur.x, cur.y) * f : 0.0;
        *second = angle_of(cur.x - ref.x, cur.y - ref.y);
    }
}

// Length of the valid UTF-8 sequence starting at text[i] (0 when none starts there).
static size_t utf8_sequence(const std::string& text, size_t i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char c = byte(i);
    size_t n = c < 0x80 ? 1 : (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3
             : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
    if (n == 0 || i + n > text.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    return n;
}

std::string readout_fix_degree(std::string text) {
    std::string out;
    out.reserve(text.size() + 4);
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t n = utf8_sequence(text, i);
        if (c == 7 || (n == 0 && c == 0xB0)) {
            out += "\xC2\xB0";
            ++i;
        } else if (n == 0) {
            out += "\xEF\xBF\xBD";  // a stray byte shows as the replacement mark
            ++i;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

std::string readout_value_text(const char* prefix, double value, ReadoutFormat format, const VIEW* view) {
    return readout_fix_degree(value_format_unit(prefix ? prefix : "", value, format_mode(format, view)));
}

std::string readout_colour_text(int colour) {
    char buf[24];
    std::snprintf(buf, sizeof buf, " %03d ", colour);
    return buf;
}

std::string readout_layer_text(const VIEW* view) {
    const std::string name = view->current_layer ? view->current_layer->name() : std::string();
    return res_load_string(IDS_LAYER) + ":\"" + name + "\"";
}

std::array<std::string, 8> readout_texts(VIEW* view, int mode) {
    std::array<std::string, 8> t;
    if (view->input_mode == kInputIdle) {
        t.fill(" ");
        return t;
    }
    view->readout_mode = mode;
    Vec3 plane, world;
    pixel_to_plane(&view->projection, view->cursor_pixel[0], view->cursor_pixel[1], view->elevation, &plane);
    view_to_world(&view->projection, plane, &world);
    view->cursor_view[0] = plane.x, view->cursor_view[1] = plane.y, view->cursor_view[2] = plane.z;
    view->cursor[0] = world.x, view->cursor[1] = world.y, view->cursor[2] = world.z;

    double first, second, dx, dy;
    coord_values(view, mode, &first, &second, &dx, &dy);
    t[kPaneFirst] = readout_value_text(" ", first, ReadoutFormat::kLength, view);
    t[kPaneSecond] = readout_value_text(" ", second,
                                        view->cartesian ? ReadoutFormat::kLength : ReadoutFormat::kAngle, view);
    t[kPaneDx] = readout_value_text("dx=", dx, ReadoutFormat::kLength, view);
    t[kPaneDy] = readout_value_text("dy=", dy, ReadoutFormat::kLength, view);
    t[kPaneDistance] = readout_value_text("r=", std::sqrt(dx * dx + dy * dy), ReadoutFormat::kLength, view);
    t[kPaneAngle] = readout_value_text("a=", angle_of(dx, dy), ReadoutFormat::kAngle, view);
    t[kPaneColour] = readout_colour_text(view->current_colour);
    t[kPaneLayer] = readout_layer_text(view);
    return t;
}
