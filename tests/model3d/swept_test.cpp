// Swept-surface geometry without a window: chains brought to a segment count, picked
// chains turned to start at the picked end, profiles placed at a path's start,
// revolved strokes (a closed profile making a closed solid), ruled lofts and profiled
// sweeps.
#include <gtest/gtest.h>

#include <cmath>

#include "commands/model3d/chains.h"
#include "commands/model3d/curve_pick.h"
#include "commands/model3d/model3d.h"
#include "commands/model3d/sweep_surface.h"
#include "graphics/view/projection.h"
#include "model/db/solid.h"
#include "model/math/result.h"
#include "model/rtc/rtc.h"
#include "solid_oracle.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

void expect_near(const Vec3& got, const Vec3& want, double tol = 1e-4) {
    EXPECT_NEAR(got.x, want.x, tol);
    EXPECT_NEAR(got.y, want.y, tol);
    EXPECT_NEAR(got.z, want.z, tol);
}

size_t vertices(const MESH3& m) {
    size_t n = 0;
    for (const MeshFaceBlock* b = m.blocks; b; b = b->next) n += b->vertices.size();
    return n;
}

TEST(ChainResample, SegmentCounts) {
    struct Case {
        const char* what;
        std::vector<Vec3> chain;
        int n;
        int code;
        size_t points;
    } cases[] = {
        {"fewer segments are cut, own points kept", {{0, 0, 0}, {3, 0, 0}, {3, 3, 0}}, 6, 0, 7},
        {"more segments are resampled", {{0, 0, 0}, {1, 0, 0}, {2, 1, 0}, {3, 0, 0}, {4, 1, 0}, {5, 0, 0}}, 2, 0, 3},
        {"repeats go first", {{0, 0, 0}, {0, 0, 0}, {4, 0, 0}, {4, 0, 0}}, 1, 0, 2},
        {"exact count unchanged", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, 2, 0, 3},
        {"count 0 refused", {{0, 0, 0}, {1, 0, 0}}, 0, kBadArgument, 2},
        {"count past the chain limit refused", {{0, 0, 0}, {1, 0, 0}}, (1 << 20) + 1, kBadArgument, 2},
        {"empty chain refused", {}, 4, kBadArgument, 0},
        {"a point not finite refused", {{0, 0, 0}, {1, 0, 0}, {2, 1.0f / 0.0f, 0}}, 1, kBadArgument, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Vec3> chain = c.chain;
        ASSERT_EQ(chain_resample(&chain, c.n), c.code);
        ASSERT_EQ(chain.size(), c.points);
        if (c.code == 0) {
            // The ends stay where they were.
            expect_near(chain.front(), c.chain.front());
            expect_near(chain.back(), c.chain.back());
        }
    }
    // Cut linearly: the corner of the L is still a vertex.
    std::vector<Vec3> l = {{0, 0, 0}, {3, 0, 0}, {3, 3, 0}};
    ASSERT_EQ(chain_resample(&l, 6), 0);
    expect_near(l[3], {3, 0, 0});
}

TEST(ContourOrient, StartsAtThePickedEnd) {
    const ViewProjection vp;  // drawing and view coordinates alike, one pixel per unit
    const std::vector<Vec3> open = {{0, 0, 0}, {10, 0, 0}, {20, 0, 0}, {30, 0, 0}, {40, 0, 0}};
    struct Case {
        const char* what;
        Vec3 pick;
        float first_x;
    } cases[] = {
        {"near the start", {1, 0, 0}, 0}, {"near the end", {39, 0, 0}, 40},
        {"on the far half", {29, 0, 0}, 40}, {"on the near half", {9, 0, 0}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Vec3> chain = open;
        ASSERT_EQ(curve_start_at_pick(vp, &chain, c.pick, false), 1);
        ASSERT_EQ(chain.size(), open.size());
        EXPECT_FLOAT_EQ(chain.front().x, c.first_x);
    }
    std::vector<Vec3> none;
    EXPECT_EQ(curve_start_at_pick(vp, &none, {0, 0, 0}, false), 0);

    // A closed square (its last point repeating the first) picked on its third side
    // starts and ends at that side's first vertex.
    std::vector<Vec3> square = {{0, 0, 0}, {40, 0, 0}, {40, 40, 0}, {0, 40, 0}, {0, 0, 0}};
    ASSERT_EQ(curve_start_at_pick(vp, &square, {20, 40.5f, 0}, true), 1);
    ASSERT_EQ(square.size(), 5u);
    expect_near(square.front(), square.back());
    const Vec3 s = square.front();
    EXPECT_TRUE((s.x == 40 && s.y == 40) || (s.x == 0 && s.y == 40)) << s.x << " " << s.y;
    // The segment found under a point, and which way is the long one.
    EXPECT_EQ(chain_segment_at(vp, open, {25, 1, 0}), 2);
    EXPECT_EQ(chain_segment_at(vp, open, {25, 9, 0}), -1);
    EXPECT_FALSE(chain_longer_before(open, 1));
    EXPECT_TRUE(chain_longer_before(open, 3));
}

TEST(ProfilePlace, NormalAlongThePathCentreOnItsStart) {
    const Vec3 at{10, 5, 2}, dir{1, 0, 0};
    // A square in the x-y plane about (1, 1, 0): placed, it lies in the plane x = 10.
    std::vector<Vec3> square = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}, {0, 0, 0}};
    profile_place(&square, at, dir);
    double cy = 0, cz = 0;
    for (const Vec3& p : square) EXPECT_NEAR(p.x, 10, 1e-4);
    for (size_t i = 0; i < 4; ++i) cy += square[i].y / 4, cz += square[i].z / 4;
    EXPECT_NEAR(cy, 5, 1e-4);
    EXPECT_NEAR(cz, 2, 1e-4);
    // Its size is kept.
    EXPECT_NEAR(std::hypot(square[0].y - square[2].y, square[0].z - square[2].z), std::sqrt(8.0), 1e-4);
    // A two-point profile turns too; a single point and a line of three stay put.
    std::vector<Vec3> two = {{0, 0, 0}, {0, 4, 0}};
    profile_place(&two, at, {0, 0, 1});
    EXPECT_NEAR(two[0].z, 2, 1e-4);
    EXPECT_NEAR(two[1].z, 2, 1e-4);
    EXPECT_NEAR((two[0].x + two[1].x) / 2, 10, 1e-4);
    EXPECT_NEAR((two[0].y + two[1].y) / 2, 5, 1e-4);
    std::vector<Vec3> line = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, kept = line;
    profile_place(&line, at, dir);
    for (size_t i = 0; i < line.size(); ++i) expect_near(line[i], kept[i]);
}

TEST(RevolveStrokes, ClosedProfileMakesAClosedSolid) {
    rtc_register_all();
    // A 2 x 2 square 5 from the axis: a ring of volume 2 pi R A = 2 pi 6 4.
    const std::vector<std::vector<Vec3>> strokes = {{{5, 0, -1}, {7, 0, -1}, {7, 0, 1}, {5, 0, 1}, {5, 0, -1}}};
    std::vector<std::unique_ptr<MESH3>> out;
    ASSERT_EQ(revolve_strokes_meshes(strokes, {0, 0, 0}, {0, 0, 1}, 2 * kPi, 0, 256, &out), 0);
    ASSERT_EQ(out.size(), 1u);
    const SolidCheck c = solid_check(*out[0]);
    EXPECT_TRUE(c.finite);
    EXPECT_EQ(c.bad_edges, 0);
    EXPECT_NEAR(std::fabs(c.volume), 2 * kPi * 6 * 4, 2 * kPi * 6 * 4 * 1e-3);
    // A half turn of an open segment: one row more than its steps; a zero angle refused.
    const std::vector<std::vector<Vec3>> seg = {{{5, 0, 0}, {5, 0, 3}}};
    ASSERT_EQ(revolve_strokes_meshes(seg, {0, 0, 0}, {0, 0, 1}, kPi, 0, 8, &out), 0);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(vertices(*out[0]), 18u);
    EXPECT_EQ(revolve_strokes_meshes(seg, {0, 0, 0}, {0, 0, 1}, 0, 0, 8, &out), kBadArgument);
    EXPECT_TRUE(out.empty());
}

TEST(RuledMesh, LoftThroughContours) {
    rtc_register_all();
    const std::vector<Vec3> a = {{0, 0, 0}, {10, 0, 0}}, b = {{0, 0, 5}, {4, 0, 5}, {10, 0, 5}},
                            c = {{0, 3, 9}, {10, 3, 9}};
    struct Case {
        const char* what;
        std::vector<std::vector<Vec3>> contours;
        int m, smooth, n;
        int code;
        size_t vertices;  // 0: no mesh
    } cases[] = {
        {"one contour builds nothing", {a}, 4, 0, 4, 0, 0},
        {"direct: one row per contour", {a, b}, 4, 0, 4, 0, 10},
        {"smooth: FacesN + 1 rows", {a, b, c}, 4, 1, 6, 0, 35},
        {"FacesN 0 refused", {a, b}, 4, 1, 0, kBadArgument, 0},
        {"FacesM 0 refused", {a, b}, 0, 0, 4, kBadArgument, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        std::unique_ptr<MESH3> mesh;
        ASSERT_EQ(ruled_mesh(k.contours, k.m, k.smooth, k.n, &mesh), k.code);
        ASSERT_EQ(mesh != nullptr, k.vertices != 0);
        if (mesh) { EXPECT_EQ(vertices(*mesh), k.vertices); }
    }
}

TEST(ProfiledMeshes, ProfilePlacedAtEachPath) {
    rtc_register_all();
    // A circle of 8 points (closed by its repeat) along two straight paths.
    std::vector<Vec3> circle;
    for (int i = 0; i <= 8; ++i)
        circle.push_back({static_cast<float>(std::cos(i * kPi / 4)), static_cast<float>(std::sin(i * kPi / 4)), 0});
    const std::vector<std::vector<Vec3>> paths = {{{20, 0, 0}, {20, 0, 10}, {20, 0, 20}}, {{0, 0, 0}, {10, 0, 0}}, {{5, 5, 5}}};
    std::vector<std::unique_ptr<MESH3>> out;
    ASSERT_EQ(profiled_meshes(circle, paths, &out), 0);
    ASSERT_EQ(out.size(), 2u);  // the one-point path makes nothing
    EXPECT_EQ(vertices(*out[0]), 24u);
    EXPECT_EQ(vertices(*out[1]), 16u);
    // The second tube runs along x: its first ring lies in the plane x = 0 about the origin.
    const MeshFaceBlock* b = out[1]->blocks;
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_NEAR(b->vertices[i].x, 0, 1e-4);
        EXPECT_NEAR(std::hypot(b->vertices[i].y, b->vertices[i].z), 1, 1e-4);
    }
}

}  // namespace
