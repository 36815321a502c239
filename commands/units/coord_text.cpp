// Typed coordinates into drawing points.
#include "commands/units/coord_text.h"

#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "commands/units/length_text.h"
#include "graphics/view/view.h"
#include "model/math/matrix.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kInchPerMm = 0.03937007874015748;

bool is_gap(char c) {
    return c == ' ' || c == '\t' || c == ',';
}

bool is_field_char(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == '@' || c == '/' ||
           c == '\'' || c == '"';
}

int error_at(const char* text, const char* p) {
    std::ptrdiff_t offset = p - text;
    return offset >= INT_MAX ? INT_MIN + 1 : -static_cast<int>(offset + 1);
}

// Drawing scales that map lengths: different, finite and not zero.
bool sane_scales(double a, double b) {
    return a != b && a != 0 && b != 0 && std::isfinite(a) && std::isfinite(b);
}

bool usable(double v) {
    return std::isfinite(v) && std::fabs(v) < FLT_MAX;
}

// Typed units per drawing unit are the inverse of this factor: inches in an
// imperial view, then the drawing scale.
double typed_unit_factor(const VIEW* view) {
    return view_scale_ratio_inverse(view, view->length_unit != kLengthDecimal ? 25.4 : 1.0);
}

// The typed point into drawing units and onto its reference, for a cartesian point
// and a given coordinate type.
bool typed_to_world(const VIEW* view, bool cartesian, int coordinate_type, double x, double y,
                    double z, Vec3d* out) {
    double factor = typed_unit_factor(view);
    Vec3d p;
    p.z = z * factor;
    if (cartesian) {
        p.x = x * factor;
        p.y = y * factor;
    } else {
        p.x = std::cos(y) * x * factor;
        p.y = std::sin(y) * x * factor;
    }
    const Vec3* ref = coordinate_type == kCoordTypeUserOrigin  ? &view->user_origin
                      : coordinate_type == kCoordTypeLastPoint ? &view->last_point
                                                               : nullptr;
    if (ref) {
        p.x += ref->x;
        p.y += ref->y;
        p.z += ref->z;
    }
    if (!usable(p.x) || !usable(p.y) || !usable(p.z)) return false;
    *out = p;
    return true;
}

std::string fixed4(double v) {
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 4);
    std::string text(buf, r.ptr);
    if (text == "-0.0000") text.erase(0, 1);
    return text;
}

}  // namespace

int coords_parse(const char* text, bool imperial, int* flags, double v[3]) {
    *flags = 0;
    if (!text) return 0;
    const char* p = text;
    const char* end = text + std::strlen(text);
    int count = 0;
    while (count < 3) {
        while (p < end && is_gap(*p)) ++p;
        if (p == end) break;
        bool angle = false;
        if (count == 0 && *p == '@') {
            *flags |= kCoordRelative;
            ++p;
        } else if (count > 0 && *p == '<') {
            *flags |= count == 1 ? kCoordAngleSecond : kCoordAngleThird;
            angle = true;
            ++p;
        }
        const char* b = p;
        while (p < end && is_field_char(*p)) ++p;
        if (p == b) break;
        double value = 0;
        if (!angle && imperial) {
            double mm = 0;
            int r = length_parse_range(b, p, &mm);
            if (r < 0) return r - static_cast<int>(b - text);
            value = mm * kInchPerMm;
        } else if (!plain_real_parse(b, p, &value)) {
            return error_at(text, b);
        }
        v[count++] = value;
    }
    // Whatever is left is not part of a coordinate: refused rather than dropped.
    while (p < end && is_gap(*p)) ++p;
    if (p < end) return error_at(text, p);
    return count;
}

double view_scale_ratio(const VIEW* view, double value) {
    double a = view->drawing_scales[0], b = view->drawing_scales[1];
    if (!sane_scales(a, b)) return value;
    return value * a / b;
}

double view_scale_ratio_inverse(const VIEW* view, double value) {
    double a = view->drawing_scales[0], b = view->drawing_scales[1];
    if (!sane_scales(a, b)) return value;
    return value * b / a;
}

bool view_typed_to_world(const VIEW* view, double x, double y, double z, Vec3* out) {
    Vec3d p;
    if (!view || !typed_to_world(view, view->cartesian != 0, view->coordinate_type, x, y, z, &p))
        return false;
    *out = Vec3{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
    return true;
}

bool typed_point_convert(const VIEW* view, const std::string& typed, bool user_axes,
                         std::string* point) {
    if (!view || !point || typed.find('\0') != std::string::npos) return false;
    int flags = 0;
    double v[3] = {0, 0, 0};
    int n = coords_parse(typed.c_str(), view->length_unit != kLengthDecimal, &flags, v);
    if (n < 2) return false;
    const bool relative = flags & kCoordRelative;
    const double unit = view->degrees ? kPi / 180 : 1.0;
    // A missing z: the view's elevation (as typed units), none for relative input.
    const double z = n == 3 ? v[2] : relative ? 0.0 : view->elevation / typed_unit_factor(view);
    double x, y, zz = z;
    switch (flags & (kCoordAngleSecond | kCoordAngleThird)) {
        case 0:
            x = v[0];
            y = v[1];
            break;
        case kCoordAngleSecond:
            x = std::cos(v[1] * unit) * v[0];
            y = std::sin(v[1] * unit) * v[0];
            break;
        case kCoordAngleSecond | kCoordAngleThird: {
            if (n != 3) return false;
            double a = v[1] * unit, e = v[2] * unit;
            x = v[0] * std::cos(a) * std::cos(e);
            y = v[0] * std::sin(a) * std::cos(e);
            zz = v[0] * std::sin(e);
            break;
        }
        default:
            return false;
    }
    if (!usable(x) || !usable(y) || !usable(zz)) return false;
    if (user_axes) {
        const Matrix43* m = &view->projection.inverse;
        Vec3d p = {x, y, zz}, q;
        mat_xform_point_d(&q, &p, m);
        if (relative) {
            Vec3d zero = {0, 0, 0}, o;
            mat_xform_point_d(&o, &zero, m);
            q.x -= o.x;
            q.y -= o.y;
            q.z -= o.z;
        }
        x = q.x;
        y = q.y;
        zz = q.z;
    }
    Vec3d world;
    if (!typed_to_world(view, true, relative ? kCoordTypeLastPoint : view->coordinate_type, x, y,
                        zz, &world))
        return false;
    *point = fixed4(world.x) + " " + fixed4(world.y) + " " + fixed4(world.z);
    return true;
}
