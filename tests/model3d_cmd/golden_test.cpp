// Golden wire-frame pictures of the primitive solids (box, sphere, dome, dish, torus,
// truncated cone, pointed cone, cylinder), of spiral tubes and of the swept surfaces drawn through the drawing view's canvas in
// a front and an isometric view, compared with reviewed references in
// tests/data/model3d. A missing or different reference leaves the candidate in the
// test's temporary folder for a look.
#include <gtest/gtest.h>

#include <QImage>
#include <cstring>

#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/primitives.h"
#include "commands/model3d/model3d.h"
#include "commands/model3d/spiral.h"
#include "commands/model3d/sweep_surface.h"
#include "graphics/view/canvas.h"
#include "graphics/view/projection.h"
#include "graphics/view/view.h"
#include "model/geom/regen.h"
#include "model/math/matrix.h"
#include "model/rtc/rtc.h"
#include "harness.h"
#include "pictures.h"
#include "../platform/qt_test_env.h"

namespace {

// The solids side by side along x, each about 20 units across, built in the frame of
// the plain front view `vp` as the commands do in it.
std::vector<std::unique_ptr<MESH3>> solids(const ViewProjection& vp) {
    std::vector<std::unique_ptr<MESH3>> out;
    auto at = [&](double x, double y) {
        Vec3 v{static_cast<float>(x), static_cast<float>(y), 0}, w;
        view_to_world(&vp, v, &w);
        return w;
    };
    Draw3DSettings s;
    s.faces_m = s.faces_n = 12;
    Vec3 c[8];
    box_corners(vp, at(2, 2), 16, 12, 10, c);
    std::unique_ptr<MESH3> m;
    EXPECT_EQ(box_mesh(c, kBoxAllFaces, &m), 0);
    out.push_back(std::move(m));
    const struct {
        int sphere;
        double ring, r;
    } round[] = {{0, 0, 9}, {1, 0, 9}, {2, 0, 9}, {0, 6, 3}};
    double x = 35;
    for (const auto& r : round) {
        s.sphere = r.sphere;
        RevolveProfiles p;
        EXPECT_EQ(sphere_profiles(vp, at(x, 10), r.ring, r.r, s, &p), 0);
        EXPECT_EQ(revolve_profiles_mesh(p, solid_segments(s.faces_n), &m), 0);
        out.push_back(std::move(m));
        x += 24;
    }
    for (int kind : {0, 1, 2}) {
        s.cone = kind;
        RevolveProfiles p;
        EXPECT_EQ(cone_profiles(vp, at(x, 20), at(x, 0), 8, 4, s, &p), 0);
        EXPECT_EQ(revolve_profiles_mesh(p, solid_segments(s.faces_n), &m), 0);
        out.push_back(std::move(m));
        x += 22;
    }
    for (auto& mesh : out) EXPECT_EQ(regen_object(mesh.get()), 0);
    return out;
}

// Draws the meshes in a front and an isometric view and compares each picture with
// its reference "<prefix>_front" / "<prefix>_isometric".
void front_and_isometric(const std::vector<std::unique_ptr<MESH3>>& meshes, const char* prefix, int width,
                         int height, double origin_x, double origin_y) {
    harness_register_classes();
    auto view = rtc_make<VIEW>();
    ASSERT_NE(view, nullptr);
    struct Shot {
        const char* name;
        double ax, ay, az;
    } shots[] = {{"_front", 0, 0, 0}, {"_isometric", -0.6, 0.45, 0}};
    for (const Shot& sh : shots) {
        const std::string name = std::string(prefix) + sh.name;
        SCOPED_TRACE(name);
        ViewProjection& vp = view->projection;
        vp = ViewProjection{};
        // Tipped and turned so that the depth of the solids shows.
        mat_rotate_xyz(&vp.view, &vp.inverse, sh.ax, sh.ay, sh.az);
        vp.scale = 2.0;
        vp.origin_x = origin_x;
        vp.origin_y = origin_y;
        Canvas canvas;
        ASSERT_EQ(canvas.resize(width, height, 0x000000), 0);
        for (const auto& m : meshes) canvas.draw_object(view.get(), m.get(), 7);
        expect_picture(canvas, "model3d", name);
    }
}

TEST(Model3dGolden, PrimitivesFrontAndIsometric) {
    harness_register_classes();
    front_and_isometric(solids(ViewProjection{}), "primitives", 440, 110, -8, -18);
}

// Two spirals of two turns: 16 x 8 turning backwards, and 2.5 turns of 10 x 6 forwards.
TEST(Model3dGolden, SpiralFrontAndIsometric) {
    harness_register_classes();
    const ViewProjection vp;
    std::vector<std::unique_ptr<MESH3>> meshes;
    const struct {
        double x, step, radius, tube, rounds;
        int m, n;
        bool negative;
    } spirals[] = {{5, 20, 12, 3, 2.0, 16, 8, true}, {65, 14, 10, 2, 2.5, 10, 6, false}};
    for (const auto& sp : spirals) {
        const Vec3 c{static_cast<float>(sp.x), 0, 0};
        std::vector<Vec3> circle, path;
        ASSERT_EQ(spiral_tube(vp, c, sp.radius, sp.tube, sp.n, &circle), 0);
        ASSERT_EQ(spiral_path(vp, c, sp.step, sp.radius, sp.rounds, sp.m, sp.negative, &path), 0);
        std::unique_ptr<MESH3> m;
        ASSERT_EQ(spiral_mesh(circle, path, &m), 0);
        EXPECT_EQ(regen_object(m.get()), 0);
        meshes.push_back(std::move(m));
    }
    front_and_isometric(meshes, "spiral", 240, 100, -4, -25);
}

// The swept surfaces and the pyramid side by side, about 20 units each: a profile
// revolved by 270 degrees, an extruded zigzag, a smooth ruled surface through three
// curves, a tracked square along a bent path, a profiled circle along an arc-like
// path, and a pyramid over a pentagon.
TEST(Model3dGolden, SurfacesFrontAndIsometric) {
    harness_register_classes();
    constexpr double kPi = 3.14159265358979323846;
    std::vector<std::unique_ptr<MESH3>> meshes;
    auto keep = [&](std::vector<std::unique_ptr<MESH3>>& made) {
        for (auto& m : made) meshes.push_back(std::move(m));
        made.clear();
    };
    std::vector<std::unique_ptr<MESH3>> made;
    // Revolution about the vertical axis x = 10.
    ASSERT_EQ(revolve_strokes_meshes({{{14, 0, 0}, {18, 6, 0}, {15, 12, 0}, {17, 20, 0}}}, {10, 0, 0}, {10, 1, 0},
                                     1.5 * kPi, 0, 12, &made),
              0);
    keep(made);
    // Extrude: a zigzag moved back and up.
    ASSERT_EQ(extrude_meshes({{{{28, 2, 0}, false}, {{32, 12, 0}, false}, {{36, 2, 0}, false}, {{40, 12, 0}, false}}},
                             {3, 6, -10}, &made),
              0);
    keep(made);
    // Ruled: three curves, smooth, 8 x 10.
    std::unique_ptr<MESH3> ruled;
    ASSERT_EQ(ruled_mesh({{{50, 0, 0}, {56, 2, 0}, {64, 0, 0}},
                          {{50, 10, 6}, {57, 8, 6}, {64, 10, 6}},
                          {{50, 20, 0}, {56, 22, 0}, {64, 20, 0}}},
                         8, 1, 10, &ruled),
              0);
    meshes.push_back(std::move(ruled));
    // Tracked: a square swept along a bent path from its own place.
    const std::vector<Vec3> track = {{74, 0, 0}, {74, 10, 0}, {80, 18, 0}, {86, 20, 0}};
    ASSERT_EQ(sweep_strokes_meshes({{{72, 0, -2}, {76, 0, -2}, {76, 0, 2}, {72, 0, 2}, {72, 0, -2}}}, track,
                                   track[0], {0, 10, 0}, &made),
              0);
    keep(made);
    // Profiled: a circle of 12 placed at the start of each path.
    std::vector<Vec3> circle;
    for (int i = 0; i <= 12; ++i)
        circle.push_back({static_cast<float>(2 * std::cos(i * kPi / 6)), static_cast<float>(2 * std::sin(i * kPi / 6)), 0});
    std::vector<Vec3> arc;
    for (int i = 0; i <= 8; ++i)
        arc.push_back({static_cast<float>(100 - 8 * std::cos(i * kPi / 8)), static_cast<float>(2 + 8 * std::sin(i * kPi / 8)), 0});
    ASSERT_EQ(profiled_meshes(circle, {arc}, &made), 0);
    keep(made);
    // Pyramid over a pentagon.
    std::vector<BasePoint> pentagon;
    for (int i = 0; i <= 5; ++i)
        pentagon.push_back({{static_cast<float>(125 + 8 * std::cos(i * 2 * kPi / 5)), 0,
                             static_cast<float>(8 * std::sin(i * 2 * kPi / 5))},
                            false});
    ASSERT_EQ(pyramid_meshes({pentagon}, {125, 18, 0}, 0, &made), 0);
    keep(made);
    for (auto& m : meshes) EXPECT_EQ(regen_object(m.get()), 0);
    front_and_isometric(meshes, "surfaces", 300, 80, -4, -8);
}

}  // namespace
