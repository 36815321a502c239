// Small scalar and planar routines shared by every module:
// rounding, degrees and radians, integer square roots, distances, angles of points
// about a centre and the circle through three points.
//
// Angles are radians; angles of points lie in 0..2*pi measured counter-clockwise
// from +X. Distances are in model units. Everything is re-entrant.
#pragma once

#include "model/math/types.h"

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 2 * kPi;

// floor(x + 0.5): halves round up, also for negatives (-2.5 gives -2). Values beyond
// the int range give INT_MIN or INT_MAX; NaN gives 0.
// Inline: the drawing drivers call them for every point.
inline int round_int(double x);
// x truncated toward zero, with the same range rules as round_int.
inline int trunc_int(double x);
// The library routes of both (floor and trunc, then the clamp), for values outside
// the int range and NaN.
int round_int_slow(double x);
int trunc_int_slow(double x);

inline int round_int(double x) {
    const double y = x + 0.5;
    // In [INT_MIN, INT_MAX + 1) the conversion truncates toward zero; one step down
    // makes it the floor of a negative value with a fraction.
    if (y >= -2147483648.0 && y < 2147483648.0) {
        const int t = static_cast<int>(y);
        return y < static_cast<double>(t) ? t - 1 : t;
    }
    return round_int_slow(x);
}

inline int trunc_int(double x) {
    if (x > -2147483649.0 && x < 2147483648.0) return static_cast<int>(x);
    return trunc_int_slow(x);
}

// x / pi * 180.
double rad_to_deg(double x);
// Exactly 360 gives 2*pi bit for bit; anything else pi * x * (1/180).
double deg_to_rad(double x);

// Integer square root by Newton's steps from the estimates n / 2 and 2, taking the
// larger of the last two: the floor root r or r + 1 (0, 1 give themselves, 2 and 3
// give 2, 4 and 5 give 2, 6 to 8 give 3, perfect squares their root). Negative n
// gives 0; a root above INT_MAX (n beyond about 4.6e18) gives INT_MAX.
int isqrt(long long n);
// The largest r with r*r <= n; negative n gives 0, a root above INT_MAX gives INT_MAX.
int isqrt_floor(long long n);

// Distance between (x1, y1) and (x2, y2).
double vec2_dist_xy(double x1, double y1, double x2, double y2);
// Distance in x and y only.
double vec2_dist(const Vec3& a, const Vec3& b);
// Distance in three dimensions.
double vec3_dist(const Vec3& a, const Vec3& b);

// Angle at `centre` between the directions to a and b, 0..pi; 0 when the product of
// the two distances is not above 1e-6 (a point on the centre).
double vec3_angle(const Vec3& centre, const Vec3& a, const Vec3& b);
// Angle of p about the centre, 0..2*pi, counter-clockwise from +X; 0 for p on the centre.
double angle_about(const Vec3& centre, const Vec3& p);
double angle_about_d(const Vec3d& centre, const Vec3d& p);
// Counter-clockwise sweep from p1 to p2 about the centre, in (0, 2*pi]: equal angles
// give a full turn.
double angle_between(const Vec3& centre, const Vec3& p1, const Vec3& p2);
double angle_between_d(const Vec3d& centre, const Vec3d& p1, const Vec3d& p2);

// The circle through the x and y of p1, p2, p3: 1 with its centre, radius and the
// start and end points of the counter-clockwise arc from start to end that passes
// through p2 (start p1 when the points run counter-clockwise, p3 when clockwise).
// 0 for collinear points (|2*cross| < 1e-10), nothing written. Null outputs are skipped.
int circle_3pt(double* cx, double* cy, double* r, double* sx, double* sy, double* ex, double* ey,
               const Vec3& p1, const Vec3& p2, const Vec3& p3);
// 1 with the radius and the centre (x and y of circle_3pt, z of p1), or 0 for
// collinear points.
int arc_3pt(double* r, Vec3* centre, const Vec3& p1, const Vec3& p2, const Vec3& p3);
