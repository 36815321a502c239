// Arc, ellipse and line geometry declared in arcgeom.h.
#include "model/math/arcgeom.h"

#include <algorithm>
#include <cmath>

#include "model/math/result.h"
#include "model/math/scalar.h"

namespace {

// Raises *end by whole turns until it is not below start. Both must be finite. False
// (nothing changed) when that would take more than a billion turns.
bool raise_end(double start, double* end) {
    if (*end >= start) return true;
    double turns = std::ceil((start - *end) / kTwoPi);
    if (!(turns < 1e9)) return false;
    double e = *end;
    if (turns > 1000) e += (turns - 2) * kTwoPi;  // far apart: jump, then single turns
    for (int i = 0; e < start; ++i) {
        if (i > 1000) return false;
        e += kTwoPi;
    }
    *end = e;
    return true;
}

// Prepends the point of the arc at `angle`. 0 or plist_add's error.
int add_arc_point(PointNode** list, const Vec3& centre, double radius, double angle) {
    Vec3 p;
    arc_point(&p, radius, angle, centre);
    return plist_add(list, p);
}

}  // namespace

Vec3* arc_point(Vec3* out, double radius, double angle, const Vec3& centre) {
    double cx = centre.x, cy = centre.y;
    float cz = centre.z;
    out->x = static_cast<float>(cx + radius * std::cos(angle));
    out->y = static_cast<float>(cy + radius * std::sin(angle));
    out->z = cz;
    return out;
}

void ellipse_point(double a, double b, double cx, double cy, double t, float out[2]) {
    double s = std::sin(t), c = std::cos(t);
    double den = std::sqrt(a * a * s * s + b * b * c * c);
    double r = den > 0 ? a * b / den : 0;
    out[0] = static_cast<float>(cx + r * c);
    out[1] = static_cast<float>(cy + r * s);
}

int ellipse_points(PointNode** out, const Vec3& centre, double rx, double ry, int n) {
    Vec3 c = centre;  // centre may live in the list being replaced
    *out = nullptr;
    if (n < 2) return 0;
    if (n > kArcMaxPoints) return kBadArgument;
    double step = kTwoPi / n;
    for (int i = 0; i < n; ++i) {
        double t = i * step;
        Vec3 p = {static_cast<float>(c.x + rx * std::cos(t)),
                  static_cast<float>(c.y + ry * std::sin(t)), c.z};
        if (int rc = plist_add(out, p)) {
            list_free(out);
            return rc;
        }
    }
    Vec3 first = {static_cast<float>(c.x + rx), c.y, c.z};
    if (int rc = plist_add(out, first)) {
        list_free(out);
        return rc;
    }
    return 0;
}

bool arc_angles_to_one_turn(double* start, double* end) {
    const double s0 = *start, e0 = *end;
    if (!std::isfinite(s0) || !std::isfinite(e0)) return false;
    if (std::fabs(s0) <= 2 * kTwoPi && std::fabs(e0) <= 2 * kTwoPi) return false;
    // The sweep drawn from the start: an end below it comes up by whole turns.
    double sweep = e0 - s0;
    if (sweep < 0) {
        sweep = std::fmod(sweep, kTwoPi);
        if (sweep < 0) sweep += kTwoPi;
    }
    if (!(sweep < kTwoPi)) sweep = kTwoPi;  // one or more whole turns: the circle
    double s = std::fmod(s0, kTwoPi);
    if (s < 0) s += kTwoPi;
    if (!(s < kTwoPi)) s = 0;
    double e = s + sweep;
    if (sweep < kTwoPi && e >= kTwoPi) e -= kTwoPi;
    *start = s;
    *end = e;
    return true;
}

int arc_points_n(const Vec3& centre, double radius, double start, double end, int n,
                 PointNode** list) {
    if (n < 0) return 0;
    if (!std::isfinite(start) || !std::isfinite(end) || n > kArcMaxPoints) return kBadArgument;
    Vec3 c = centre;
    if (!raise_end(start, &end)) return kBadArgument;
    double step = n > 0 ? std::fabs(start - end) / n : 0;
    for (int i = 0; i <= n; ++i) {
        if (int rc = add_arc_point(list, c, radius, start + i * step)) {
            list_free(list);
            return rc;
        }
    }
    return 0;
}

int arc_points(const Vec3& centre, double radius, double start, double end, double step,
               PointNode** list) {
    Vec3 c = centre;  // centre may live in the list being replaced
    list_free(list);
    double s = std::fabs(step);
    if (!(s > 0) || !std::isfinite(s) || !std::isfinite(start) || !std::isfinite(end))
        return kBadArgument;
    if (!raise_end(start, &end)) return kBadArgument;
    // Grid angles (first + i)*s while below end. Whole numbers beyond 2^52 no longer
    // step by one, and more points than the cap are refused before anything is made.
    double first = std::ceil(start / s);
    double span = std::ceil(end / s) - first;  // grid points, give or take one
    if (!(std::fabs(first) < 0x1p52) || !(span < kArcMaxPoints - 2)) return kBadArgument;

    int rc = add_arc_point(list, c, radius, start);
    for (int i = 0; rc == 0 && i < kArcMaxPoints - 2; ++i) {
        double a = (first + i) * s;
        if (!(a < end)) break;
        rc = add_arc_point(list, c, radius, a);
    }
    if (rc == 0) rc = add_arc_point(list, c, radius, end);
    if (rc) list_free(list);
    return rc;
}

void line_coeffs(const Vec3& p, const Vec3& q, double* a, double* b, double* c) {
    double px = p.x, py = p.y, qx = q.x, qy = q.y;
    *a = py - qy;
    *b = qx - px;
    *c = qy * px - py * qx;
}

int line_intersect_coeffs(double a1, double b1, double c1, const Vec3& p3, const Vec3& p4,
                          Vec3* out) {
    double a2, b2, c2;
    line_coeffs(p3, p4, &a2, &b2, &c2);
    if (b1 == 0 && b2 == 0) return 0;  // two vertical lines
    if (a1 == 0 && a2 == 0) return 0;  // two horizontal lines
    double det = a1 * b2 - a2 * b1;
    if (det == 0) return 0;
    float z = p3.z;
    out->x = static_cast<float>((b1 * c2 - b2 * c1) / det);
    out->y = static_cast<float>((a2 * c1 - a1 * c2) / det);
    out->z = z;
    return 1;
}

int line_intersect_2d(const Vec3& p1, const Vec3& p2, const Vec3& p3, const Vec3& p4, Vec3* out) {
    double a, b, c;
    line_coeffs(p1, p2, &a, &b, &c);
    return line_intersect_coeffs(a, b, c, p3, p4, out);
}

