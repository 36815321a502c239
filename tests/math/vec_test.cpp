// Tests of the vector routines: intersections, projections, normals and frames,
// checked by the geometric properties of their results.
#include "model/math/vec.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double dot(const Vec3& a, const Vec3& b) {
    return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z;
}

double len(const Vec3& v) {
    return std::sqrt(dot(v, v));
}

TEST(Vec3, SetRoundsToFloat) {
    Vec3 a;
    vec3_set(&a, 0.1, 1e40, -2.5);
    EXPECT_EQ(a.x, 0.1f);
    EXPECT_TRUE(std::isinf(a.y));
}

TEST(Vec3, NormalizeOfZeroLeavesDestination) {
    Vec3d dd = {7, 8, 9};
    EXPECT_EQ(vec3_normalize_d(&dd, &kAxes3d[kAxisZero]), 0);
    EXPECT_EQ(dd.x, 7);
}

TEST(SegProjectPoint, Cases) {
    struct Case {
        Vec3 a, b, q;
        double t;
        Vec3 nearest;
    } cases[] = {
        {{2, 2, 2}, {2, 2, 2}, {2, 2, 2}, 1, {2, 2, 2}},   // q = b wins over a = b
        {{2, 2, 2}, {2, 2, 2}, {5, 0, 0}, 0, {2, 2, 2}},   // zero-length segment
        {{0, 0, 0}, {4, 0, 0}, {0, 0, 0}, 0, {0, 0, 0}},   // q = a
        {{0, 0, 0}, {4, 0, 0}, {-3, 1, 0}, 0, {0, 0, 0}},  // before a
        {{0, 0, 0}, {4, 0, 0}, {1, 5, 0}, 0.25, {1, 0, 0}},
        {{0, 0, 0}, {4, 0, 0}, {9, -1, 2}, 1, {4, 0, 0}},  // beyond b
    };
    for (const Case& c : cases) {
        Vec3 out;
        EXPECT_DOUBLE_EQ(seg_project_point(&c.a, &c.b, &c.q, &out), c.t);
        EXPECT_EQ(vec3_equal(&out, &c.nearest), 1);
        EXPECT_DOUBLE_EQ(seg_project_point(&c.a, &c.b, &c.q), c.t);
    }
}

TEST(PlaneNormal, ThreePointsIsRightHanded) {
    Vec3 p1 = {1, 1, 1}, p2 = {3, 1, 1}, p3 = {1, 4, 1};
    Vec3d n;
    plane_normal_3pt(&n, &p1, &p2, &p3);
    EXPECT_EQ(n.x, 0);
    EXPECT_EQ(n.y, 0);
    EXPECT_EQ(n.z, 6);
}

TEST(PlaneNormal, SlopeHoldsDirectionAndAxis) {
    struct Case {
        Vec3d p1, p2;
        int x_axis;
    } cases[] = {
        {{0, 0, 0}, {1, 2, 3}, 1},  {{0, 0, 0}, {1, -2, 3}, 1}, {{5, 1, 2}, {0, 0, 0}, 0},
        {{0, 0, 0}, {-1, 2, 3}, 0}, {{1, 1, 0}, {4, 4, -5}, 0},
    };
    for (const Case& c : cases) {
        Vec3d n, d = {c.p1.x - c.p2.x, c.p1.y - c.p2.y, c.p1.z - c.p2.z};
        plane_normal_slope_d(&n, &c.p1, &c.p2, c.x_axis);
        const Vec3d& axis = kAxes3d[c.x_axis ? kAxisPosX : kAxisPosY];
        EXPECT_NEAR(vec3_len_d(&n), 1, 1e-12);
        EXPECT_NEAR(vec3_dot_d(&n, &d), 0, 1e-12);
        EXPECT_NEAR(vec3_dot_d(&n, &axis), 0, 1e-12);
        EXPECT_GT(n.z, 0);
    }
    struct Special {
        Vec3d p1, p2;
        int x_axis;
        Vec3d n;
    } specials[] = {
        {{0, 0, 0}, {3, 4, 5e-7}, 1, {0, 0, 1}},
        {{0, 0, 0}, {3, 0, 2}, 1, {0, 1, 0}},
        {{0, 0, 0}, {0, 3, 2}, 0, {1, 0, 0}},
    };
    for (const Special& s : specials) {
        Vec3d n;
        plane_normal_slope_d(&n, &s.p1, &s.p2, s.x_axis);
        EXPECT_EQ(n.x, s.n.x);
        EXPECT_EQ(n.y, s.n.y);
        EXPECT_EQ(n.z, s.n.z);
    }
}

TEST(FrameFromDirection, OrthonormalFrames) {
    Vec3 dirs[] = {{1, 0, 0}, {0, 1, 0}, {0, -2, 0}, {0, 0, 3}, {1, 2, 3}, {0.01f, 1, 0}};
    Vec3 origin = {1, 2, 3};
    for (const Vec3& d : dirs) {
        Vec3 p1 = {origin.x + d.x, origin.y + d.y, origin.z + d.z}, u, w;
        double length = frame_from_direction(&origin, &p1, &u, &w);
        EXPECT_NEAR(length, len(d), 1e-6);
        EXPECT_NEAR(len(u), 1, 1e-6);
        EXPECT_NEAR(len(w), 1, 1e-6);
        EXPECT_NEAR(dot(u, w), 0, 1e-6);
        EXPECT_NEAR(dot(u, d), 0, 1e-6);
        EXPECT_NEAR(dot(w, d), 0, 1e-6);
    }
    Vec3 u = {9, 9, 9}, w = {9, 9, 9};
    EXPECT_EQ(frame_from_direction(&origin, &origin, &u, &w), 0);
    EXPECT_EQ(vec3_equal(&u, &kAxes3[kAxisPosY]), 1);
    EXPECT_EQ(vec3_equal(&w, &kAxes3[kAxisPosX]), 1);
}

}  // namespace
