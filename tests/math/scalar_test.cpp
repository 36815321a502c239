// Tests of the scalar and planar routines: rounding, angle conversions, integer
// roots, angles about a centre and the three-point circle.
#include "model/math/scalar.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

TEST(Scalar, DegreesAndRadians) {
    EXPECT_EQ(deg_to_rad(360), 2 * 3.14159265358979323846);
    EXPECT_EQ(deg_to_rad(180), kPi * 180 * 0.005555555555555556);
    EXPECT_EQ(deg_to_rad(0), 0);
    EXPECT_NEAR(deg_to_rad(90), kPi / 2, 1e-15);
    EXPECT_DOUBLE_EQ(rad_to_deg(kPi), 180);
    EXPECT_DOUBLE_EQ(rad_to_deg(deg_to_rad(37.5)), 37.5);
}

TEST(Scalar, Rounding) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double x;
        int round, trunc;
    } cases[] = {
        {0.5, 1, 0},
        {-0.5, 0, 0},
        {-2.5, -2, -2},
        {2.5, 3, 2},
        {1.49, 1, 1},
        {-2.7, -3, -2},
        {1e12, INT_MAX, INT_MAX},
        {-1e12, INT_MIN, INT_MIN},
        {nan, 0, 0},
        {2147483646.6, INT_MAX, 2147483646},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(round_int(c.x), c.round) << c.x;
        EXPECT_EQ(trunc_int(c.x), c.trunc) << c.x;
    }
    // The inline conversions against the library routes, over the int range's edges,
    // halves, fractions just off whole values, huge values and infinities.
    std::mt19937_64 rng(7);
    std::vector<double> xs = {0.0, -0.0, 0.49999999999999994, -0.49999999999999994,
                              2147483647.0, 2147483647.5, 2147483647.49, 2147483648.0,
                              -2147483648.0, -2147483648.5, -2147483648.51, -2147483649.0,
                              -2147483649.5, 1e300, -1e300, INFINITY, -INFINITY, nan};
    std::uniform_real_distribution<double> wide(-3e9, 3e9), narrow(-4.0, 4.0);
    for (int i = 0; i < 20000; ++i) {
        xs.push_back(wide(rng));
        xs.push_back(narrow(rng));
        xs.push_back(std::nextafter(std::round(narrow(rng) * 2) / 2, (i & 1) ? 1e9 : -1e9));
    }
    for (double x : xs) {
        ASSERT_EQ(round_int(x), round_int_slow(x)) << x;
        ASSERT_EQ(trunc_int(x), trunc_int_slow(x)) << x;
    }
}

TEST(Isqrt, TableAndExtremes) {
    struct Case {
        long long n;
        int root;
    } cases[] = {
        {-5, 0},
        {LLONG_MIN, 0},
        {0, 0},
        {1, 1},
        {2, 2},  // the larger of the last two estimates
        {3, 2},
        {4, 2},
        {5, 2},
        {6, 3},
        {7, 3},
        {8, 3},
        {9, 3},
        {15, 4},
        {16, 4},
        {999999999999LL, 1000000},
        {1000000000000LL, 1000000},
        {4611686014132420609LL, 2147483647},  // (2^31-1)^2
        {LLONG_MAX, INT_MAX},
    };
    for (const Case& c : cases) EXPECT_EQ(isqrt(c.n), c.root) << c.n;

    // Everywhere the floor root or one more; a perfect square gives its root. The
    // floor root is isqrt_floor.
    std::mt19937_64 gen(7);
    for (int i = 0; i < 4000; ++i) {
        long long n = static_cast<long long>(gen() >> (2 + i % 60));
        if (i % 2) n = static_cast<long long>(isqrt_floor(n)) * isqrt_floor(n);
        long long f = isqrt_floor(n);
        EXPECT_LE(f * f, n);
        EXPECT_GT((f + 1) * (f + 1), n);
        long long r = isqrt(n);
        if (f * f == n) {
            EXPECT_EQ(r, f) << n;
        } else {
            EXPECT_TRUE(r == f || r == f + 1) << n;
        }
    }
    for (long long n = 0; n < 100000; ++n) {
        long long r = isqrt(n), f = isqrt_floor(n);
        ASSERT_TRUE(r == f || (r == f + 1 && f * f != n)) << n;
    }
}

TEST(Angles, AboutACentre) {
    Vec3 c = {10, 20, 0};
    struct Case {
        Vec3 p;
        double angle;
    } cases[] = {
        {{11, 20, 0}, 0},           {{10, 25, 0}, kPi / 2}, {{7, 20, 0}, kPi},
        {{10, 19, 0}, 3 * kPi / 2}, {{10, 20, 0}, 0},       {{11, 19, 0}, 7 * kPi / 4},
    };
    for (const Case& k : cases) EXPECT_NEAR(angle_about(c, k.p), k.angle, 1e-12);
    EXPECT_NEAR(angle_about_d({0, 0, 0}, {-1, -1, 0}), 5 * kPi / 4, 1e-12);
}

TEST(Angles, BetweenTwoPointsIsACounterClockwiseSweep) {
    Vec3 c = {0, 0, 0};
    struct Case {
        Vec3 p1, p2;
        double sweep;
    } cases[] = {
        {{1, 0, 0}, {0, 1, 0}, kPi / 2},
        {{0, 1, 0}, {1, 0, 0}, 3 * kPi / 2},
        {{2, 2, 0}, {3, 3, 0}, kTwoPi},  // same angle: a full turn
        {{0, -1, 0}, {1, 0, 0}, kPi / 2},
    };
    for (const Case& k : cases) {
        EXPECT_NEAR(angle_between(c, k.p1, k.p2), k.sweep, 1e-12);
        EXPECT_NEAR(angle_between_d({0, 0, 0}, {k.p1.x, k.p1.y, 0}, {k.p2.x, k.p2.y, 0}), k.sweep,
                    1e-12);
    }
}

TEST(Angles, AtACentre) {
    Vec3 c = {1, 1, 1};
    EXPECT_EQ(vec3_angle(c, c, {5, 5, 5}), 0);
    EXPECT_NEAR(vec3_angle(c, {2, 1, 1}, {1, 1, 3}), kPi / 2, 1e-12);
    EXPECT_EQ(vec3_angle(c, {2, 1, 1}, {0, 1, 1}), kPi);
}

TEST(Circle3pt, BothOrientationsAndCollinear) {
    struct Case {
        Vec3 p1, p2, p3;
    } cases[] = {{{0, 0, 0}, {1, 1, 0}, {2, 0, 0}}, {{2, 0, 0}, {1, 1, 0}, {0, 0, 0}}};
    for (const Case& k : cases) {
        double cx, cy, r, sx, sy, ex, ey;
        ASSERT_EQ(circle_3pt(&cx, &cy, &r, &sx, &sy, &ex, &ey, k.p1, k.p2, k.p3), 1);
        EXPECT_DOUBLE_EQ(cx, 1);
        EXPECT_DOUBLE_EQ(cy, 0);
        EXPECT_DOUBLE_EQ(r, 1);
        EXPECT_EQ(sx, 2);
        EXPECT_EQ(sy, 0);
        EXPECT_EQ(ex, 0);
        EXPECT_EQ(ey, 0);
    }
    double cx = -7;
    EXPECT_EQ(circle_3pt(&cx, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {0, 0, 0},
                         {1, 1, 0}, {3, 3, 0}),
              0);
    EXPECT_EQ(cx, -7);
}

TEST(Circle3pt, CounterClockwiseArcFromStartToEndPassesThroughTheMiddlePoint) {
    std::mt19937 gen(5);
    std::uniform_real_distribution<float> u(-50, 50);
    for (int i = 0; i < 500; ++i) {
        Vec3 p1 = {u(gen), u(gen), 0}, p2 = {u(gen), u(gen), 0}, p3 = {u(gen), u(gen), 0};
        double cx, cy, r, sx, sy, ex, ey;
        if (!circle_3pt(&cx, &cy, &r, &sx, &sy, &ex, &ey, p1, p2, p3)) continue;
        Vec3d c = {cx, cy, 0};
        for (const Vec3& p : {p1, p2, p3}) EXPECT_NEAR(vec2_dist_xy(cx, cy, p.x, p.y), r, 1e-6 * r);
        double to_mid = angle_between_d(c, {sx, sy, 0}, {p2.x, p2.y, 0});
        double to_end = angle_between_d(c, {sx, sy, 0}, {ex, ey, 0});
        EXPECT_LT(to_mid, to_end);
    }
}

TEST(Circle3pt, ArcCentreTakesZFromTheFirstPoint) {
    double r = 0;
    Vec3 centre = {9, 9, 9};
    ASSERT_EQ(arc_3pt(&r, &centre, {0, 1, 4}, {1, 0, 7}, {0, -1, 8}), 1);
    EXPECT_NEAR(centre.x, 0, 1e-7);
    EXPECT_NEAR(centre.y, 0, 1e-7);
    EXPECT_EQ(centre.z, 4);
    EXPECT_DOUBLE_EQ(r, 1);
    EXPECT_EQ(arc_3pt(&r, &centre, {0, 0, 0}, {1, 0, 0}, {2, 0, 0}), 0);
}

}  // namespace
