// Mirror and refraction directions against Snell's law and a glass slab, and the stack of
// media through nested and over-deep panes.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "render/raytrace/rt_optics.h"
#include "render/raytrace/rt_vec.h"

namespace {
const double kDeg = 3.141592653589793 / 180;
// Stand-ins for distinct materials: only their addresses are used.
const MaterialRecord* mat(int i) {
    static char tags[16];
    return reinterpret_cast<const MaterialRecord*>(&tags[i]);
}
}  // namespace

TEST(RtOptics, ReflectionKeepsLengthFlipsTheNormalPartAndStaysCoplanar) {
    std::mt19937 rng(3);
    std::normal_distribution<double> g;
    for (int i = 0; i < 100000; ++i) {
        Vec3d d = rt_unit(rt_v(g(rng), g(rng), g(rng))), n = rt_unit(rt_v(g(rng), g(rng), g(rng)));
        Vec3d r = rt_reflect_dir(d, n);
        ASSERT_NEAR(rt_len(r), 1.0, 1e-12);
        ASSERT_NEAR(rt_dot(r, n), -rt_dot(d, n), 1e-12);
        ASSERT_NEAR(rt_dot(r, rt_cross(d, n)), 0.0, 1e-12);
    }
}

TEST(RtOptics, SnellAtFortyFiveDegrees) {
    Vec3d d = rt_v(std::sin(45 * kDeg), 0, -std::cos(45 * kDeg));
    Vec3d up = rt_v(0, 0, 1);
    RtMedia m;
    double ratio = rt_media_cross(&m, mat(0), 1.5, d, up);
    EXPECT_DOUBLE_EQ(ratio, 1 / 1.5);
    Vec3d t;
    ASSERT_TRUE(rt_refract_dir(d, up, ratio, &t));
    EXPECT_NEAR(std::asin(t.x) / kDeg, 28.1255, 1e-3);
    EXPECT_LT(t.z, 0);
    // Leaving glass at 45 degrees is total internal reflection.
    Vec3d out = rt_v(std::sin(45 * kDeg), 0, std::cos(45 * kDeg));
    EXPECT_DOUBLE_EQ(rt_media_cross(&m, mat(0), 1.5, out, up), 1.5);
    EXPECT_EQ(m.index, -1);
    EXPECT_FALSE(rt_refract_dir(out, up, 1.5, &t));
}

TEST(RtOptics, SlabReturnsTheRayParallelAndShifted) {
    // A slab of thickness 2 between z = 0 and z = -2; the ray enters at the origin.
    const double th = 2.0, i = 30 * kDeg;
    Vec3d d = rt_v(std::sin(i), 0, -std::cos(i));
    RtMedia m;
    Vec3d inside, out;
    ASSERT_TRUE(rt_refract_dir(d, rt_v(0, 0, 1), rt_media_cross(&m, mat(1), 1.5, d, rt_v(0, 0, 1)), &inside));
    double s = th / -inside.z;  // to the lower face
    Vec3d exit = s * inside;
    ASSERT_TRUE(rt_refract_dir(inside, rt_v(0, 0, -1), rt_media_cross(&m, mat(1), 1.5, inside, rt_v(0, 0, -1)), &out));
    EXPECT_NEAR(out.x, d.x, 1e-12);
    EXPECT_NEAR(out.z, d.z, 1e-12);
    // perpendicular distance between the incoming line and the outgoing one
    double r = std::asin(std::sin(i) / 1.5);
    double shift = rt_len(rt_cross(exit, d));
    EXPECT_NEAR(shift, th * std::sin(i - r) / std::cos(r), 1e-12);
    EXPECT_EQ(m.index, -1);
}

TEST(RtOptics, NestedMediaUseTheInnerIndex) {
    Vec3d down = rt_v(0, 0, -1), up = rt_v(0, 0, 1);
    RtMedia m;
    struct Step {
        int material;
        double ior;
        Vec3d normal;  // outward normal of the surface crossed
        double ratio;
        int index;
    } steps[] = {
        {0, 1.5, up, 1 / 1.5, 0},    // into glass
        {1, 1.33, up, 1.5 / 1.33, 1}, // into water inside the glass
        {1, 1.33, down, 1.33 / 1.5, 0}, // out of the water, back in glass
        {0, 1.5, down, 1.5, -1},        // out into space
    };
    for (const Step& s : steps) {
        EXPECT_DOUBLE_EQ(rt_media_cross(&m, mat(s.material), s.ior, down, s.normal), s.ratio);
        EXPECT_EQ(m.index, s.index);
    }
}

TEST(RtOptics, ElevenPanesPassTheDeepestUnbent) {
    Vec3d down = rt_v(0, 0, -1), up = rt_v(0, 0, 1);
    RtMedia m;
    for (int i = 0; i < 11; ++i) {
        double r = rt_media_cross(&m, mat(i), 1.5, down, up);
        EXPECT_DOUBLE_EQ(r, i == 0 ? 1 / 1.5 : 1.0) << i;  // glass in glass, then unbent
    }
    EXPECT_EQ(m.index, 9);
    EXPECT_EQ(m.overflow, 1);
    for (int i = 10; i >= 0; --i) rt_media_cross(&m, mat(i), 1.5, down, down);
    EXPECT_EQ(m.index, -1);
    EXPECT_EQ(m.overflow, 0);
}
