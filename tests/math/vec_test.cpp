// Tests of the vector routines: intersections, projections, normals and frames,
// checked by the geometric properties of their results.
#include "model/math/vec.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

int eq(const Vec3& a, const Vec3& b) {
    return vec3_equal(&a, &b);
}

TEST(Vec3, ArithmeticRoundsToFloatAndAllowsAliasing) {
    Vec3 a, b = {1, 2, 3};
    vec3_set(&a, 0.1, 1e40, -2.5);
    EXPECT_EQ(a.x, 0.1f);
    EXPECT_TRUE(std::isinf(a.y));
    vec3_cross(&b, &b, &kAxes3[kAxisPosZ]);  // (1,2,3) x Z
    EXPECT_EQ(eq(b, {2, -1, 0}), 1);
    Vec3 x = kAxes3[kAxisPosX];
    vec3_cross(&x, &x, &kAxes3[kAxisPosY]);
    EXPECT_EQ(vec3_equal(&x, &kAxes3[kAxisPosZ]), 1);
    Vec3 lo, hi, p = {1, -5, 2}, q = {-1, 3, 2};
    vec3_min(&lo, &p, &q);
    vec3_max(&hi, &p, &q);
    EXPECT_EQ(eq(lo, {-1, -5, 2}), 1);
    EXPECT_EQ(eq(hi, {1, 3, 2}), 1);
    Vec3 m;
    vec3_lincomb(&m, &p, 2, &q, -1);
    EXPECT_EQ(eq(m, {3, -13, 2}), 1);
}

TEST(Vec3, NormalizeOfZeroLeavesDestination) {
    Vec3 dst = {7, 8, 9};
    EXPECT_EQ(vec3_normalize(&dst, &kAxes3[kAxisZero]), 0);
    EXPECT_EQ(eq(dst, {7, 8, 9}), 1);
    Vec3d dd = {7, 8, 9};
    EXPECT_EQ(vec3_normalize_d(&dd, &kAxes3d[kAxisZero]), 0);
    EXPECT_EQ(dd.x, 7);
    Vec3 v = {3, 0, 4};
    EXPECT_EQ(vec3_normalize(&v, &v), 5);
    EXPECT_EQ(eq(v, {0.6f, 0, 0.8f}), 1);
}

TEST(LinePlaneIntersect, Cases) {
    struct Case {
        Vec3 p, d, q, n;
        int rc;
        Vec3 out;
    } cases[] = {
        {{0, 0, 5}, {0, 0, -2}, {0, 0, 1}, {0, 0, 1}, 0, {0, 0, 1}},
        {{1, 2, 3}, {1, 1, 1}, {0, 0, 0}, {1, 0, 0}, 0, {0, 1, 2}},
        {{1, 2, 3}, {0, 0, 0}, {0, 0, 0}, {1, 0, 0}, 1, {}},
        {{1, 2, 3}, {0, 1, 0}, {0, 0, 0}, {1, 0, 0}, 2, {}},
    };
    for (const Case& c : cases) {
        Vec3 out = {-9, -9, -9};
        EXPECT_EQ(line_plane_intersect(&out, &c.p, &c.d, &c.q, &c.n), c.rc);
        Vec3 expected = c.rc == 0 ? c.out : Vec3{-9, -9, -9};
        EXPECT_EQ(vec3_equal(&out, &expected), 1);
    }
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
        Vec3 p1, p2;
        int x_axis;
        Vec3 n;
    } specials[] = {
        {{0, 0, 0}, {3, 4, 5e-7f}, 1, {0, 0, 1}},
        {{0, 0, 0}, {3, 0, 2}, 1, {0, 1, 0}},
        {{0, 0, 0}, {0, 3, 2}, 0, {1, 0, 0}},
    };
    for (const Special& s : specials) {
        Vec3 n;
        plane_normal_slope(&n, &s.p1, &s.p2, s.x_axis);
        EXPECT_EQ(vec3_equal(&n, &s.n), 1);
    }
}

TEST(FrameFromDirection, OrthonormalFrames) {
    Vec3 dirs[] = {{1, 0, 0}, {0, 1, 0}, {0, -2, 0}, {0, 0, 3}, {1, 2, 3}, {0.01f, 1, 0}};
    Vec3 origin = {1, 2, 3};
    for (const Vec3& d : dirs) {
        Vec3 p1, u, w;
        vec3_add(&p1, &origin, &d);
        double len = frame_from_direction(&origin, &p1, &u, &w);
        EXPECT_NEAR(len, vec3_len(&d), 1e-6);
        EXPECT_NEAR(vec3_len(&u), 1, 1e-6);
        EXPECT_NEAR(vec3_len(&w), 1, 1e-6);
        EXPECT_NEAR(vec3_dot(&u, &w), 0, 1e-6);
        EXPECT_NEAR(vec3_dot(&u, &d), 0, 1e-6);
        EXPECT_NEAR(vec3_dot(&w, &d), 0, 1e-6);
    }
    Vec3 u = {9, 9, 9}, w = {9, 9, 9};
    EXPECT_EQ(frame_from_direction(&origin, &origin, &u, &w), 0);
    EXPECT_EQ(vec3_equal(&u, &kAxes3[kAxisPosY]), 1);
    EXPECT_EQ(vec3_equal(&w, &kAxes3[kAxisPosX]), 1);
}

}  // namespace
