// The spiral's path and tube circle: point counts, the end at a full turn, the turning
// sense, the radius about the view x axis in a turned view, and refused settings.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "commands/model3d/spiral.h"
#include "graphics/view/projection.h"
#include "model/math/matrix.h"
#include "model/db/solid.h"
#include "model/math/result.h"
#include "model/mesh/chain.h"
#include "model/rtc/rtc.h"

namespace {

ViewProjection turned_view() {
    ViewProjection vp;
    mat_rotate_xyz(&vp.view, &vp.inverse, 0.6, -0.4, 0.3);
    return vp;
}

Vec3 in_view(const ViewProjection& vp, const Vec3& p) {
    Vec3 v;
    world_to_view(&vp, p, &v);
    return v;
}

TEST(Spiral, TwoTurnsOfSixteenEndAtAFullTurn) {
    const ViewProjection vp = turned_view();
    const Vec3 centre{5, -3, 2};
    const Vec3 c = in_view(vp, centre);
    for (bool negative : {false, true}) {
        std::vector<Vec3> path;
        ASSERT_EQ(spiral_path(vp, centre, 10.0, 4.0, 2.0, 16, negative, &path), 0);
        ASSERT_EQ(path.size(), 33u);
        // Starts at the tube centre, ends two steps along x at the same angle.
        const Vec3 a = in_view(vp, path.front()), b = in_view(vp, path.back());
        EXPECT_NEAR(a.x - c.x, 0, 1e-4);
        EXPECT_NEAR(a.y - c.y, 4, 1e-4);
        EXPECT_NEAR(a.z - c.z, 0, 1e-4);
        EXPECT_NEAR(b.x - c.x, 20, 1e-4);
        EXPECT_NEAR(b.y - c.y, 4, 1e-4);
        EXPECT_NEAR(b.z - c.z, 0, 1e-4);
        // Every point on radius 4 about the x axis; the quarter turn's depth sign
        // follows the turning sense.
        for (const Vec3& p : path) {
            const Vec3 v = in_view(vp, p);
            EXPECT_NEAR(std::hypot(v.y - c.y, v.z - c.z), 4.0, 1e-4);
        }
        const Vec3 q = in_view(vp, path[4]);
        EXPECT_NEAR(q.x - c.x, 2.5, 1e-4);
        EXPECT_NEAR(q.z - c.z, negative ? 4.0 : -4.0, 1e-4);
    }
}

TEST(Spiral, FractionalTurnsAddTheirOwnEndPoint) {
    std::vector<Vec3> path;
    ASSERT_EQ(spiral_path(ViewProjection{}, {0, 0, 0}, 8.0, 1.0, 0.3, 10, false, &path), 0);
    ASSERT_EQ(path.size(), 4u);  // three steps and the end at 0.3 turn
    EXPECT_NEAR(path.back().x, 2.4, 1e-5);
}

TEST(Spiral, RefusesTurnCountsOutOfRange) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double rounds, step;
        int m;
    } bad[] = {{nan, 1, 16},  {inf, 1, 16}, {-1, 1, 16},   {1e300, 1, 16},
               {2, 1, 0},     {2, nan, 16}, {double(kChainMaxSegments) / 16 + 1, 1, 16}};
    for (const auto& b : bad) {
        std::vector<Vec3> path{{1, 2, 3}};
        EXPECT_EQ(spiral_path(ViewProjection{}, {0, 0, 0}, b.step, 1.0, b.rounds, b.m, false, &path), kBadArgument)
            << b.rounds << " x " << b.m;
        EXPECT_EQ(path.size(), 1u);
    }
}

TEST(Spiral, TubeCircleSitsOnThePathStart) {
    const ViewProjection vp = turned_view();
    const Vec3 centre{5, -3, 2};
    std::vector<Vec3> circle, path;
    ASSERT_EQ(spiral_tube(vp, centre, 4.0, 1.5, 12, &circle), 0);
    ASSERT_EQ(spiral_path(vp, centre, 10.0, 4.0, 1.0, 12, true, &path), 0);
    ASSERT_EQ(circle.size(), 13u);
    const Vec3 s = in_view(vp, path.front());
    for (const Vec3& p : circle) {
        const Vec3 v = in_view(vp, p);
        EXPECT_NEAR(std::hypot(v.x - s.x, v.y - s.y), 1.5, 1e-4);
        EXPECT_NEAR(v.z - s.z, 0, 1e-4);
    }
    EXPECT_EQ(spiral_tube(vp, centre, 4.0, std::nan(""), 12, &circle), kBadArgument);
}

}  // namespace

namespace {

TEST(Spiral, TubeSweepsOneRowPerPathPoint) {
    rtc_register_all();
    const ViewProjection vp = turned_view();
    const Vec3 centre{5, -3, 2};
    std::vector<Vec3> circle, path;
    ASSERT_EQ(spiral_tube(vp, centre, 20.0, 2.0, 8, &circle), 0);
    ASSERT_EQ(spiral_path(vp, centre, 30.0, 20.0, 2.0, 16, true, &path), 0);
    std::unique_ptr<MESH3> mesh;
    ASSERT_EQ(spiral_mesh(circle, path, &mesh), 0);
    ASSERT_TRUE(mesh);
    ASSERT_TRUE(mesh->blocks);
    EXPECT_EQ(mesh->blocks->next, nullptr);
    EXPECT_EQ(mesh->blocks->vertices.size(), 33u * 8u);
    // Every ring keeps the tube radius about its path point.
    const auto& v = mesh->blocks->vertices;
    for (size_t row = 0; row < 33; ++row)
        for (size_t k = 0; k < 8; ++k) {
            const MeshVertex& p = v[row * 8 + k];
            const Vec3& c = path[row];
            EXPECT_NEAR(std::sqrt((p.x - c.x) * (p.x - c.x) + (p.y - c.y) * (p.y - c.y) +
                                  (p.z - c.z) * (p.z - c.z)),
                        2.0, 0.2) << row << "/" << k;
        }
    EXPECT_EQ(spiral_mesh(circle, {path[0]}, &mesh), kBadArgument);
    EXPECT_FALSE(mesh);
}

}  // namespace
