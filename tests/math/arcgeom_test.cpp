// Tests of the arc and ellipse point generators and the 2D line intersections.
#include "model/math/arcgeom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "model/math/result.h"
#include "model/math/scalar.h"

namespace {

// The points of a list in generation order (the builders prepend).
std::vector<Vec3> generated(const PointNode* list) {
    std::vector<Vec3> pts;
    for (const PointNode* n = list; n; n = n->next) pts.insert(pts.begin(), {n->x, n->y, n->z});
    return pts;
}

// Angles about `c` of the points of a list, in generation order, in -pi..pi.
std::vector<double> angles(const PointNode* list, const Vec3& c) {
    std::vector<double> out;
    for (const Vec3& p : generated(list)) out.push_back(std::atan2(p.y - c.y, p.x - c.x));
    return out;
}

TEST(ArcPoints, InteriorPointsLieOnTheGrid) {
    const Vec3 c = {0, 0, 2};
    struct Case {
        double start, end, step;
        std::vector<double> expected;
    } cases[] = {
        {0.15, 0.35, 0.1, {0.15, 0.2, 0.3, 0.35}},
        {0.15, 0.35, -0.1, {0.15, 0.2, 0.3, 0.35}},
        {0.1, 0.35, 0.1, {0.1, 0.1, 0.2, 0.3, 0.35}},  // a start on the grid comes twice
        {-0.25, -0.05, 0.1, {-0.25, -0.2, -0.1, -0.05}},
        {0.2, 0.2, 0.1, {0.2, 0.2}},  // zero length: start and end only
    };
    for (const Case& k : cases) {
        PointNode* list = nullptr;
        ASSERT_EQ(arc_points(c, 1, k.start, k.end, k.step, &list), 0);
        std::vector<double> a = angles(list, c);
        ASSERT_EQ(a.size(), k.expected.size()) << k.start;
        for (size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], k.expected[i], 1e-6);
        EXPECT_EQ(list->z, 2);
        list_free(&list);
    }
}

TEST(ArcPoints, WrapsPastAFullTurnAndSharesVertices) {
    const Vec3 c = {5, -5, 0};
    PointNode* list = nullptr;
    ASSERT_EQ(arc_points(c, 2, 5.5, 0.5, 1, &list), 0);  // end raised to 0.5 + 2*pi
    std::vector<double> a = angles(list, c);
    ASSERT_EQ(a.size(), 3u);
    EXPECT_NEAR(a[1], 6 - kTwoPi, 1e-6);
    EXPECT_NEAR(a[2], 0.5, 1e-6);
    list_free(&list);

    // Two overlapping arcs of one circle produce bit-identical grid vertices.
    PointNode *first = nullptr, *second = nullptr;
    ASSERT_EQ(arc_points(c, 3, 0.15, 0.55, 0.1, &first), 0);
    ASSERT_EQ(arc_points(c, 3, 0.25, 0.75, 0.1, &second), 0);
    std::vector<Vec3> p = generated(first), q = generated(second);
    // first: 0.15 | 0.2 0.3 0.4 0.5 | 0.55; second: 0.25 | 0.3 0.4 0.5 0.6 0.7 | 0.75
    for (int i = 0; i < 3; ++i) EXPECT_EQ(std::memcmp(&p[2 + i], &q[1 + i], sizeof(Vec3)), 0);
    list_free(&first);
    list_free(&second);
}

TEST(ArcPoints, RefusesStepsThatWouldNotEnd) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double start, end, step;
    } cases[] = {{0, 1, 0},   {0, 1, -0.0},  {0, 1, nan},   {0, 1, inf},   {0, kTwoPi, 1e-9},
                 {nan, 1, 1}, {0, inf, 0.1}, {1e300, 0, 1}, {0, 1, 1e-300}};
    for (const Case& k : cases) {
        PointNode* list = nullptr;
        EXPECT_EQ(plist_add(&list, {1, 2, 3}), 0);  // replaced, and freed, in any case
        EXPECT_EQ(arc_points({0, 0, 0}, 1, k.start, k.end, k.step, &list), kBadArgument) << k.step;
        EXPECT_EQ(list, nullptr);
    }
}

TEST(ArcPointsN, EvenSpacingAndWrap) {
    const Vec3 c = {0, 0, 0};
    PointNode* list = nullptr;
    ASSERT_EQ(arc_points_n(c, 1, 3 * kPi / 2, kPi / 2, 4, &list), 0);
    std::vector<double> a = angles(list, c);
    const double expected[] = {-kPi / 2, -kPi / 4, 0, kPi / 4, kPi / 2};
    ASSERT_EQ(a.size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(a[i], expected[i], 1e-6);

    // Points are added to what the list held.
    ASSERT_EQ(arc_points_n(c, 1, 0, 1, 0, &list), 0);
    EXPECT_EQ(plist_count(list), 6);
    EXPECT_EQ(list->x, 1);
    EXPECT_EQ(list->y, 0);
    ASSERT_EQ(arc_points_n(c, 1, 0, 1, -3, &list), 0);
    EXPECT_EQ(plist_count(list), 6);
    EXPECT_EQ(arc_points_n(c, 1, 0, 1, kArcMaxPoints + 1, &list), kBadArgument);
    EXPECT_EQ(arc_points_n(c, 1, std::numeric_limits<double>::infinity(), 1, 3, &list),
              kBadArgument);
    EXPECT_EQ(arc_points_n(c, 1, 1e300, 0, 3, &list), kBadArgument);  // no end of whole turns
    EXPECT_EQ(plist_count(list), 6);
    list_free(&list);

    // Far apart, the end still comes up by whole turns to within one turn of the start.
    ASSERT_EQ(arc_points_n(c, 1, 5000 * kTwoPi + 1, 0.5, 2, &list), 0);
    a = angles(list, c);
    ASSERT_EQ(a.size(), 3u);
    EXPECT_NEAR(a[1], std::remainder(1 + (kTwoPi - 0.5) / 2, kTwoPi), 1e-6);
    list_free(&list);
}

TEST(EllipsePoints, ClosedRingOnTheEllipse) {
    const Vec3 c = {1, 2, 3};
    for (int n : {2, 3, 4, 7, 100}) {
        PointNode* list = nullptr;
        ASSERT_EQ(ellipse_points(&list, c, 4, 2, n), 0);
        std::vector<Vec3> p = generated(list);
        ASSERT_EQ(p.size(), size_t(n) + 1) << n;
        EXPECT_EQ(std::memcmp(&p.front(), &p.back(), sizeof(Vec3)), 0);
        EXPECT_EQ(p.front().x, 5);
        EXPECT_EQ(p.front().y, 2);
        for (const Vec3& q : p) {
            double u = (q.x - c.x) / 4, v = (q.y - c.y) / 2;
            EXPECT_NEAR(u * u + v * v, 1, 1e-6);
            EXPECT_EQ(q.z, 3);
        }
        list_free(&list);
    }
    PointNode* list = reinterpret_cast<PointNode*>(1);  // overwritten, never read
    EXPECT_EQ(ellipse_points(&list, c, 4, 2, 1), 0);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(ellipse_points(&list, c, 4, 2, kArcMaxPoints + 1), kBadArgument);
    EXPECT_EQ(list, nullptr);
}

TEST(EllipsePoint, PolarAngle) {
    float out[2];
    for (double t : {0.0, 0.3, 1.2, 2.5, 4.0}) {
        ellipse_point(3, 2, 10, 20, t, out);
        double u = (out[0] - 10) / 3, v = (out[1] - 20) / 2;
        EXPECT_NEAR(u * u + v * v, 1, 1e-6);
        EXPECT_NEAR(std::atan2(out[1] - 20, out[0] - 10), std::remainder(t, kTwoPi), 1e-5);
    }
    ellipse_point(0, 0, 10, 20, 1, out);  // degenerate: the centre, not NaN
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[1], 20);
}

TEST(LineIntersect, Lines) {
    struct Case {
        Vec3 p1, p2, p3, p4;
        int lines;
        Vec3 at;
    } cases[] = {
        {{0, 0, 0}, {2, 2, 0}, {0, 2, 5}, {2, 0, 9}, 1, {1, 1, 5}},
        {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, 0, {}},          // collinear
        {{0, 0, 0}, {1, 1, 0}, {0, 1, 0}, {1, 2, 0}, 0, {}},          // parallel
        {{0, 0, 0}, {1, 0, 0}, {5, -1, 0}, {5, 1, 0}, 1, {5, 0, 0}},  // beyond the first
        {{5, -1, 0}, {5, 1, 0}, {0, 0, 0}, {1, 0, 0}, 1, {5, 0, 0}},  // beyond the second
        {{3, 0, 0}, {3, 1, 0}, {0, 0, 0}, {3, 0, 0}, 1, {3, 0, 0}},   // at an end
        {{0, 0, 0}, {0, 1, 0}, {2, 0, 0}, {2, 1, 0}, 0, {}},          // two verticals
        {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {1, 1, 0}, 0, {}},          // degenerate
    };
    for (const Case& k : cases) {
        Vec3 out = {-1, -1, -1};
        EXPECT_EQ(line_intersect_2d(k.p1, k.p2, k.p3, k.p4, &out), k.lines);
        if (k.lines) {
            EXPECT_EQ(vec3_near(out, k.at), 1);
        }
    }
}

TEST(LineCoeffs, BothPointsLieOnTheLine) {
    Vec3 p = {1.5f, -2, 0}, q = {-3, 4.25f, 0};
    double a, b, c;
    line_coeffs(p, q, &a, &b, &c);
    EXPECT_NEAR(a * p.x + b * p.y + c, 0, 1e-12);
    EXPECT_NEAR(a * q.x + b * q.y + c, 0, 1e-12);
    Vec3 out;
    EXPECT_EQ(line_intersect_coeffs(1, 0, -2, {0, 3, 1}, {1, 3, 1}, &out), 1);  // x = 2, y = 3
    EXPECT_EQ(vec3_near(out, {2, 3, 1}), 1);
    EXPECT_EQ(line_intersect_coeffs(0, 1, -2, {0, 3, 1}, {1, 3, 1}, &out), 0);
}

}  // namespace
