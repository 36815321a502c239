// The primitive solids' geometry without a window: box corners on the view axes, the
// closed-solid checks of box, sphere, dome, dish, torus, cone and cylinder in a plain
// and a turned view, volumes converging to the analytic ones, caps by the "Tops" bits,
// segment counts held to at least 3, and the typed box sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/primitives.h"
#include "graphics/view/projection.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/rtc/rtc.h"
#include "tests/model3d/solid_oracle.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

ViewProjection turned_view() {
    ViewProjection vp;
    mat_rotate_xyz(&vp.view, &vp.inverse, 0.6, -0.4, 0.3);
    return vp;
}

TEST(Primitives, BoxCornersRunAlongTheViewAxes) {
    const ViewProjection vp = turned_view();
    const Vec3 corner{5, -3, 2};
    Vec3 c[8];
    box_corners(vp, corner, 10, 20, 30, c);
    Vec3 v0, v;
    world_to_view(&vp, c[0], &v0);
    const double want[8][3] = {{0, 0, 0}, {10, 0, 0}, {10, 20, 0}, {0, 20, 0},
                               {0, 0, 30}, {10, 0, 30}, {10, 20, 30}, {0, 20, 30}};
    for (int i = 0; i < 8; ++i) {
        world_to_view(&vp, c[i], &v);
        EXPECT_NEAR(v.x - v0.x, want[i][0], 1e-4) << i;
        EXPECT_NEAR(v.y - v0.y, want[i][1], 1e-4) << i;
        EXPECT_NEAR(v.z - v0.z, want[i][2], 1e-4) << i;
    }
}

TEST(Primitives, BoxIsClosedWithItsVolume) {
    rtc_register_all();
    for (const ViewProjection& vp : {ViewProjection{}, turned_view()}) {
        Vec3 c[8];
        box_corners(vp, {1, 2, 3}, 10, 20, 30, c);
        std::unique_ptr<MESH3> mesh;
        ASSERT_EQ(box_mesh(c, kBoxAllFaces, &mesh), 0);
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(block_count(*mesh), 6);
        EXPECT_EQ(triangle_count(*mesh), 48);
        const SolidCheck s = solid_check(*mesh);
        EXPECT_TRUE(s.finite);
        EXPECT_EQ(s.bad_edges, 0);
        EXPECT_NEAR(std::fabs(s.volume), 6000.0, 0.05);
    }
    Vec3 c[8];
    box_corners(ViewProjection{}, {0, 0, 0}, 1, 1, 1, c);
    std::unique_ptr<MESH3> mesh;
    EXPECT_EQ(box_mesh(c, 0, &mesh), 0);  // no faces: nothing built
    EXPECT_EQ(mesh, nullptr);
    ASSERT_EQ(box_mesh(c, 1 | 2, &mesh), 0);
    EXPECT_EQ(block_count(*mesh), 2);
    c[5].y = NAN;
    EXPECT_EQ(box_mesh(c, kBoxAllFaces, &mesh), kBadArgument);
    EXPECT_EQ(mesh, nullptr);
}

struct Revolved {
    const char* what;
    int sphere, cone, tops;
    double ring;             // sphere/torus ring radius; < 0: a cone
    bool closed;
    double (*volume)();      // analytic, for radius 5 (ring 12), cone h 10, rb 4, rt 2
};

std::unique_ptr<MESH3> build(const Revolved& r, const ViewProjection& vp, int segments) {
    Draw3DSettings s;
    s.sphere = r.sphere;
    s.cone = r.cone;
    s.tops = r.tops;
    s.faces_m = s.faces_n = segments;
    RevolveProfiles p;
    if (r.ring >= 0) {
        EXPECT_EQ(sphere_profiles(vp, {1, 2, 3}, r.ring, 5, s, &p), 0);
    } else {
        Vec3 top, base;
        Vec3 vt{1, 2, 3}, vb{1, 12, 3};  // 10 apart along the view's y
        view_to_world(&vp, vt, &top);
        view_to_world(&vp, vb, &base);
        EXPECT_EQ(cone_profiles(vp, top, base, 4, 2, s, &p), 0);
    }
    std::unique_ptr<MESH3> mesh;
    EXPECT_EQ(revolve_profiles_mesh(p, solid_segments(s.faces_n), &mesh), 0);
    return mesh;
}

TEST(Primitives, RevolvedSolidsAreClosedAndConverge) {
    rtc_register_all();
    const Revolved cases[] = {
        {"sphere", 0, 0, 3, 0, true, [] { return 4.0 / 3 * kPi * 125; }},
        {"dome with its cap", 1, 0, 1, 0, true, [] { return 2.0 / 3 * kPi * 125; }},
        {"dish with its cap", 2, 0, 2, 0, true, [] { return 2.0 / 3 * kPi * 125; }},
        {"torus", 0, 0, 3, 12, true, [] { return 2 * kPi * kPi * 12 * 25; }},
        {"truncated cone", 0, 0, 3, -1, true, [] { return kPi / 3 * 10 * (16 + 8 + 4); }},
        {"pointed cone", 0, 1, 3, -1, true, [] { return kPi / 3 * 10 * 16; }},
        {"cylinder", 0, 2, 3, -1, true, [] { return kPi * 16 * 10; }},
    };
    for (const Revolved& r : cases) {
        SCOPED_TRACE(r.what);
        double last_error = 1e300;
        for (int n : {8, 24, 64}) {
            for (const ViewProjection& vp : {ViewProjection{}, turned_view()}) {
                auto mesh = build(r, vp, n);
                ASSERT_NE(mesh, nullptr);
                const SolidCheck s = solid_check(*mesh, 1e-3);
                EXPECT_TRUE(s.finite);
                EXPECT_EQ(s.bad_edges, 0) << n;
                const double err = std::fabs(std::fabs(s.volume) - r.volume()) / r.volume();
                EXPECT_LE(err, last_error * 1.01 + 1e-9) << n;
                if (n == 64) { EXPECT_LT(err, 0.02); }
                last_error = std::min(last_error, err);
            }
        }
    }
}

TEST(Primitives, CapsFollowTheTopsBits) {
    rtc_register_all();
    struct Case {
        const char* what;
        Revolved r;
        int chains;
        bool closed;
    } cases[] = {
        {"sphere never gets a cap", {"", 0, 0, 3, 0, true, nullptr}, 1, true},
        {"dish with Tops 2 gets a disc", {"", 2, 0, 2, 0, true, nullptr}, 2, true},
        {"dish with Tops 1 stays open", {"", 2, 0, 1, 0, false, nullptr}, 1, false},
        {"dome with Tops 2 stays open", {"", 1, 0, 2, 0, false, nullptr}, 1, false},
        {"cylinder Tops 0: one open tube", {"", 0, 2, 0, -1, false, nullptr}, 1, false},
        {"cylinder Tops 3: closed both ends", {"", 0, 2, 3, -1, true, nullptr}, 3, true},
        {"pointed cone Tops 2: no two-point cap", {"", 0, 1, 2, -1, false, nullptr}, 1, false},
        {"pointed cone Tops 3", {"", 0, 1, 3, -1, true, nullptr}, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto mesh = build(c.r, ViewProjection{}, 16);
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(block_count(*mesh), c.chains);
        EXPECT_EQ(solid_check(*mesh, 1e-3).bad_edges == 0, c.closed);
        for (const MeshFaceBlock* b = mesh->blocks; b; b = b->next) EXPECT_FALSE(b->faces.empty());
    }
}

TEST(Primitives, SegmentCountsAndBadRadii) {
    for (int n : {-5, 0, 1, 2, 3}) EXPECT_EQ(solid_segments(n), 3) << n;
    EXPECT_EQ(solid_segments(16), 16);
    EXPECT_EQ(solid_segments(1 << 30), 4096);
    Draw3DSettings s;
    s.faces_m = 0;
    RevolveProfiles p;
    ASSERT_EQ(sphere_profiles(ViewProjection{}, {0, 0, 0}, 0, 5, s, &p), 0);
    EXPECT_EQ(p.chains[0].size(), 4u);  // 3 segments
    EXPECT_EQ(sphere_profiles(ViewProjection{}, {0, 0, 0}, 0, 0, s, &p), kBadArgument);
    EXPECT_EQ(sphere_profiles(ViewProjection{}, {0, 0, 0}, 0, NAN, s, &p), kBadArgument);
    EXPECT_EQ(sphere_profiles(ViewProjection{}, {0, 0, 0}, -1, 5, s, &p), kBadArgument);
    EXPECT_EQ(cone_profiles(ViewProjection{}, {1, 1, 1}, {1, 1, 1}, 3, 1, s, &p), kBadArgument);
    EXPECT_EQ(cone_profiles(ViewProjection{}, {0, 0, 0}, {0, 5, 0}, INFINITY, 1, s, &p), kBadArgument);
}

TEST(Primitives, TypedBoxSizes) {
    struct Case {
        const char* text;
        bool inches;
        int count;
        double w, h, d;
    } cases[] = {
        {"10,20,30", false, 3, 10, 20, 30},
        {"10,20,30", true, 3, 254, 508, 762},
        {" 7  8 ", false, 2, 7, 8, 0},
        {"2.5", false, 1, 2.5, 0, 0},
        {"1e3,2", false, 2, 1000, 2, 0},
        {"1 2 3 4", false, 3, 1, 2, 3},
        {"abc", false, 0, 0, 0, 0},
        {"5,x", false, 0, 0, 0, 0},
        {"", false, 0, 0, 0, 0},
        {"1e400", false, 0, 0, 0, 0},
        {"1e308", true, 0, 0, 0, 0},
        {"nan", false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        double v[3] = {0, 0, 0};
        EXPECT_EQ(box_parse_sizes(c.text, c.inches, v), c.count);
        if (c.count == 0) continue;
        EXPECT_NEAR(v[0], c.w, 1e-9);
        if (c.count > 1) { EXPECT_NEAR(v[1], c.h, 1e-9); }
        if (c.count > 2) { EXPECT_NEAR(v[2], c.d, 1e-9); }
    }
    EXPECT_EQ(box_parse_sizes(nullptr, false, nullptr), 0);
}

TEST(ViewRefDeltas, TruncatedViewDifferences) {
    const ViewProjection front;
    struct Case {
        Vec3 a, b;
        int dy, dx, dz;
    } cases[] = {
        {{0, 0, 0}, {0, 0, 0}, 0, 0, 0},
        {{2.9f, -7.5f, 4.2f}, {0, 0, 0}, -7, 2, 4},  // truncated toward zero
        {{0, 0, 0}, {2.9f, -7.5f, 4.2f}, 7, -2, -4},
        {{0, 0, 1e30f}, {0, 0, 0}, 0, 0, 2147483647},  // held to the int range
        {{0, 0, 0}, {0, 1.0f / 0.0f, 0}, 0, 0, 0},     // not finite
    };
    for (const Case& c : cases) {
        int dy = 99, dx = 99, dz = 99;
        view_ref_deltas(front, c.a, c.b, &dy, &dx, &dz);
        EXPECT_EQ(dy, c.dy);
        EXPECT_EQ(dx, c.dx);
        EXPECT_EQ(dz, c.dz);
    }
    // In a view turned a quarter about the depth axis the x and y differences swap.
    ViewProjection turned;
    mat_rotate_xyz(&turned.view, &turned.inverse, 0, 0, 3.14159265358979323846 / 2);
    int dy, dx, dz;
    view_ref_deltas(turned, {2.9f, -7.5f, 4.2f}, {0, 0, 0}, &dy, &dx, &dz);
    EXPECT_EQ(std::abs(dx), 7);
    EXPECT_EQ(std::abs(dy), 2);
    EXPECT_EQ(dz, 4);
}

}  // namespace
