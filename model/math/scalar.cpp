// Scalar and planar routines declared in scalar.h.
#include "model/math/scalar.h"

#include <climits>
#include <cstdint>
#include <cmath>

namespace {

// Clamps a whole-valued double into the int range; NaN gives 0.
int to_int_clamped(double x) {
    if (std::isnan(x)) return 0;
    if (x <= double(INT_MIN)) return INT_MIN;
    if (x >= double(INT_MAX)) return INT_MAX;
    return static_cast<int>(x);
}

// Largest r with r*r <= n, by Newton's iteration on integers, which descends
// monotonically onto the root from any start above it.
uint64_t isqrt_u64(uint64_t n) {
    if (n < 2) return n;
    uint64_t x = uint64_t(1) << ((64 - __builtin_clzll(n) + 1) / 2);  // 2^ceil(bits/2) > root
    while (true) {
        uint64_t y = (x + n / x) / 2;
        if (y >= x) return x;
        x = y;
    }
}

// The program's integer root: from the estimates n / 2 and 2, a = (b + n / b) / 2 and
// b = n / a until the two differ by less than 2; the larger of the two. That is the
// floor root or one more (2 and 3 give 2, 6 to 8 give 3). Both estimates stay in
// 1..n, so nothing divides by 0 or overflows for n <= 2^63.
uint64_t isqrt_estimate_u64(uint64_t n) {
    if (n < 2) return n;
    uint64_t a = n / 2, b = 2;
    for (int i = 0; i < 200 && (a > b ? a - b : b - a) >= 2; ++i) {
        a = (b + n / b) >> 1;
        b = n / a;
    }
    return a > b ? a : b;
}

int root_to_int(uint64_t r) {
    return r > uint64_t(INT_MAX) ? INT_MAX : static_cast<int>(r);
}

double angle_about_impl(double cx, double cy, double cz, double px, double py, double pz) {
    // vec3_angle between the reference direction (100, 0, 0) and p - centre.
    double ux = 100, vx = px - cx, vy = py - cy, vz = pz - cz;
    double len = std::sqrt((ux * ux) * (vx * vx + vy * vy + vz * vz));
    double a = 0;
    if (len > 1e-6) {
        double r = ux * vx / len;
        a = r >= 1 ? 0 : r <= -1 ? kPi : std::acos(r);
    }
    return py < cy ? kTwoPi - a : a;
}

double angle_impl(const Vec3d& u, const Vec3d& v) {
    double len =
        std::sqrt((u.x * u.x + u.y * u.y + u.z * u.z) * (v.x * v.x + v.y * v.y + v.z * v.z));
    if (len <= 1e-6) return 0;
    double r = (u.x * v.x + u.y * v.y + u.z * v.z) / len;
    if (r >= 1) return 0;
    if (r <= -1) return kPi;
    return std::acos(r);
}

double sweep(double a, double b) {
    return b > a ? b - a : b - a + kTwoPi;
}

}  // namespace

int round_int_slow(double x) {
    return to_int_clamped(std::floor(x + 0.5));
}

int trunc_int_slow(double x) {
    return to_int_clamped(std::trunc(x));
}

double rad_to_deg(double x) {
    return x / kPi * 180;
}

double deg_to_rad(double x) {
    if (x == 360) return kTwoPi;
    return kPi * x * 0.005555555555555556;
}

int isqrt(long long n) {
    if (n <= 0) return 0;
    return root_to_int(isqrt_estimate_u64(static_cast<uint64_t>(n)));
}

int isqrt_floor(long long n) {
    if (n <= 0) return 0;
    return root_to_int(isqrt_u64(static_cast<uint64_t>(n)));
}

double vec2_dist_xy(double x1, double y1, double x2, double y2) {
    double dx = x2 - x1, dy = y2 - y1;
    return std::sqrt(dx * dx + dy * dy);
}

double vec2_dist(const Vec3& a, const Vec3& b) {
    return vec2_dist_xy(a.x, a.y, b.x, b.y);
}

double vec3_dist(const Vec3& a, const Vec3& b) {
    double dx = double(b.x) - a.x, dy = double(b.y) - a.y, dz = double(b.z) - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

double vec3_angle(const Vec3& centre, const Vec3& a, const Vec3& b) {
    return angle_impl({double(a.x) - centre.x, double(a.y) - centre.y, double(a.z) - centre.z},
                      {double(b.x) - centre.x, double(b.y) - centre.y, double(b.z) - centre.z});
}

double angle_about(const Vec3& centre, const Vec3& p) {
    return angle_about_impl(centre.x, centre.y, centre.z, p.x, p.y, p.z);
}

double angle_about_d(const Vec3d& centre, const Vec3d& p) {
    return angle_about_impl(centre.x, centre.y, centre.z, p.x, p.y, p.z);
}

double angle_between(const Vec3& centre, const Vec3& p1, const Vec3& p2) {
    return sweep(angle_about(centre, p1), angle_about(centre, p2));
}

double angle_between_d(const Vec3d& centre, const Vec3d& p1, const Vec3d& p2) {
    return sweep(angle_about_d(centre, p1), angle_about_d(centre, p2));
}

int circle_3pt(double* cx, double* cy, double* r, double* sx, double* sy, double* ex, double* ey,
               const Vec3& p1, const Vec3& p2, const Vec3& p3) {
    double x1 = p1.x, y1 = p1.y, x2 = p2.x, y2 = p2.y, x3 = p3.x, y3 = p3.y;
    double d = 2 * ((y1 - y3) * (x1 - x2) - (y1 - y2) * (x1 - x3));
    if (std::fabs(d) < 1e-10) return 0;
    double k3 = x1 * x1 + y1 * y1 - x3 * x3 - y3 * y3;
    double k2 = x1 * x1 + y1 * y1 - x2 * x2 - y2 * y2;
    double x = (k2 * (y1 - y3) - k3 * (y1 - y2)) / d;
    double y = (k3 * (x1 - x2) - k2 * (x1 - x3)) / d;
    bool ccw = d > 0;
    if (cx) *cx = x;
    if (cy) *cy = y;
    if (r) *r = vec2_dist_xy(x1, y1, x, y);
    if (sx) *sx = ccw ? x1 : x3;
    if (sy) *sy = ccw ? y1 : y3;
    if (ex) *ex = ccw ? x3 : x1;
    if (ey) *ey = ccw ? y3 : y1;
    return 1;
}

int arc_3pt(double* r, Vec3* centre, const Vec3& p1, const Vec3& p2, const Vec3& p3) {
    double cx, cy, radius;
    if (!circle_3pt(&cx, &cy, &radius, nullptr, nullptr, nullptr, nullptr, p1, p2, p3)) return 0;
    float z = p1.z;  // centre may alias p1
    if (r) *r = radius;
    if (centre) *centre = {static_cast<float>(cx), static_cast<float>(cy), z};
    return 1;
}
