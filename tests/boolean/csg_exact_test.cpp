// The exact sign tests against integer arithmetic, on points so nearly flat that the
// floating-point estimate cannot settle the sign.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "commands/boolean/csg_exact.h"
#include "tests/boolean/exact_points.h"

namespace {

using I = __int128;

int sign(I x) {
    return x > 0 ? 1 : (x < 0 ? -1 : 0);
}

}  // namespace

TEST(CsgExact, SignsOfNearlyFlatPointsAreExact) {
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<int64_t> coord(-(int64_t{1} << 30), int64_t{1} << 30), nudge(-2, 2);
    std::uniform_real_distribution<double> along(-2, 2);
    int unsettled = 0;
    for (int i = 0; i < 20000; ++i) {
        int64_t p[4][3];
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < 3; ++j) p[k][j] = coord(rng);
        // The fourth point on (or a unit or two off) the plane of the first three, and
        // in 2D on (or off) the line of the first two.
        double s = along(rng), t = along(rng);
        if (i % 2) s = std::round(s), t = std::round(t);  // exactly on it before the nudge
        for (int j = 0; j < 3; ++j)
            p[3][j] = int64_t(double(p[0][j]) + s * double(p[1][j] - p[0][j]) + t * double(p[2][j] - p[0][j])) + nudge(rng);
        double d[4][3];
        for (int k = 0; k < 4; ++k)
            for (int j = 0; j < 3; ++j) d[k][j] = double(p[k][j]);
        I u[3], v[3], w[3];
        for (int j = 0; j < 3; ++j) u[j] = p[1][j] - p[0][j], v[j] = p[2][j] - p[0][j], w[j] = p[3][j] - p[0][j];
        const I det = (u[1] * v[2] - u[2] * v[1]) * w[0] + (u[2] * v[0] - u[0] * v[2]) * w[1] + (u[0] * v[1] - u[1] * v[0]) * w[2];
        ASSERT_EQ(csg::orient3d(d[0], d[1], d[2], d[3]), sign(det)) << i;
        // 2D: the third point on the line of the first two, nudged.
        const int64_t q[2] = {int64_t(double(p[0][0]) + s * double(u[0])) + nudge(rng),
                              int64_t(double(p[0][1]) + s * double(u[1])) + nudge(rng)};
        const double dq[2] = {double(q[0]), double(q[1])};
        const I cross = u[0] * I(q[1] - p[0][1]) - u[1] * I(q[0] - p[0][0]);
        ASSERT_EQ(csg::orient2d(d[0], d[1], dq), sign(cross)) << i;
        unsettled += det == 0;
    }
    EXPECT_GT(unsettled, 0);  // exact zeros were met too
}

// The in-plane tests on exact points (corners and crossings, each with its motion under
// the tie-break) settle most signs in doubles with error bounds; they must give the
// signs of the tests on the rationals alone bit for bit, ties included.
TEST(CsgExact, FilteredInPlaneTestsMatchRationals) {
    using P = std::array<double, 3>;
    static constexpr double turn[3][3] = {{0.36, 0.48, -0.8}, {-0.8, 0.6, 0}, {0.48, 0.64, 0.6}};  // a 3-4-5 turn
    const struct {
        const char* name;
        P (*corner)(std::mt19937_64&);
    } families[] = {
        {"random", [](std::mt19937_64& r) { return P{std::uniform_real_distribution<double>(-50, 50)(r),
                                                     std::uniform_real_distribution<double>(-50, 50)(r),
                                                     std::uniform_real_distribution<double>(-50, 50)(r)}; }},
        {"integer grid", [](std::mt19937_64& r) { std::uniform_int_distribution<int> g(-3, 3);
                                                  return P{double(g(r)), double(g(r)), double(g(r))}; }},
        {"huge grid", [](std::mt19937_64& r) { std::uniform_int_distribution<int> g(-3, 3);
                                               return P{std::ldexp(g(r), 60), std::ldexp(g(r), 60), std::ldexp(g(r), 61)}; }},
        {"grid of tenths", [](std::mt19937_64& r) { std::uniform_int_distribution<int> g(-5, 5);
                                                    return P{g(r) * 0.1, g(r) * 0.1, g(r) * 0.1}; }},
        {"line, a step off", [](std::mt19937_64& r) {
             const double t = std::uniform_int_distribution<int>(-4, 4)(r);
             P p{1 + 3 * t, -2 + t, 5 - 2 * t};
             const size_t k = r() % 3;
             if (r() % 3 == 0) p[k] = std::nextafter(p[k], r() % 2 ? 100.0 : -100.0);
             return p; }},
        {"line, rounded", [](std::mt19937_64& r) {
             const double t = std::uniform_real_distribution<double>(-10, 10)(r);
             return P{123456.789 + 0.1 * t, -98765.4321 + 0.3 * t, 5555.5 - 0.7 * t}; }},
        {"turned plane", [](std::mt19937_64& r) {
             std::uniform_int_distribution<int> g(-4, 4);
             const double local[3] = {double(g(r)), double(g(r)), r() % 4 ? 0.0 : double(g(r))};
             P p{};
             for (int i = 0; i < 3; ++i)
                 for (int j = 0; j < 3; ++j) p[size_t(i)] += turn[i][j] * local[j];
             return p; }},
    };
    for (const auto& fam : families) {
        std::mt19937_64 rng(11);
        std::vector<csg::ExactPoint> pts;
        std::vector<csg::Motion> mos;
        exact_points::draw(rng, [&] { return fam.corner(rng); }, pts, mos);
        int zeros = 0;
        for (int i = 0; i < 400; ++i) {
            const size_t a = rng() % 24, b = rng() % 24, c = rng() % 24;
            const int ax = int(rng() % 3), ay = (ax + 1 + int(rng() % 2)) % 3;
            const std::string at = std::string(fam.name) + " case " + std::to_string(i);
            const int o = csg::rational::orient2d(pts[a], pts[b], pts[c], ax, ay);
            ASSERT_EQ(csg::orient2d(pts[a], pts[b], pts[c], ax, ay), o) << at;
            ASSERT_EQ(csg::dot2d(pts[a], pts[b], pts[c], ax, ay), csg::rational::dot2d(pts[a], pts[b], pts[c], ax, ay)) << at;
            ASSERT_EQ(csg::compare(pts[a], pts[b], ax), csg::rational::compare(pts[a], pts[b], ax)) << at;
            ASSERT_EQ(csg::orient2d_moved(pts[a], mos[a], pts[b], mos[b], pts[c], mos[c], ax, ay),
                      csg::rational::orient2d_moved(pts[a], mos[a], pts[b], mos[b], pts[c], mos[c], ax, ay)) << at;
            ASSERT_EQ(csg::dot2d_moved(pts[a], mos[a], pts[b], mos[b], pts[c], mos[c], ax, ay),
                      csg::rational::dot2d_moved(pts[a], mos[a], pts[b], mos[b], pts[c], mos[c], ax, ay)) << at;
            ASSERT_EQ(csg::compare_moved(mos[a], mos[b], ax), csg::rational::compare_moved(mos[a], mos[b], ax)) << at;
            zeros += o == 0 && a != b && b != c && a != c;
        }
        if (std::string(fam.name) != "random" && std::string(fam.name) != "turned plane") EXPECT_GT(zeros, 0) << fam.name;
    }
}
