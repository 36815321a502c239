// Sweeps: straight extrusions, the placement of the profile by its base point and
// direction, mitred bends, closed paths, and degenerate paths.
#include "tests/mesh/mesh_support.h"

#include <limits>

#include "model/math/result.h"

namespace {

// A square of side 2 round the origin in the x-y plane, as a ring.
const std::vector<Vec3> kSquareXY = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
const Vec3 ORIGIN = {0, 0, 0}, UP = {0, 0, 1};

// Side areas are perimeter x centre-line length: the mitred joints keep the
// cross-section. Joint rows lie in the plane halving the turn.
TEST_F(MeshTest, SweepsKeepTheCrossSection) {
    Chain square(kSquareXY, true);
    Chain square_yz({{0, -1, -1}, {0, 1, -1}, {0, 1, 1}, {0, -1, 1}}, true);
    Chain straight({{0, 0, 0}, {0, 0, 5}});
    Chain across({{0, 0, 0}, {6, 0, 0}});
    Chain bend({{0, 0, 0}, {0, 0, 4}, {4, 0, 4}});
    Chain loop({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}}, true);
    Chain repeated({{0, 0, 0}, {0, 0, 0}, {0, 0, 5}, {0, 0, 5}, {0, 0, 5.0000001f}});
    const Vec3 along_x = {1, 0, 0};
    struct Case {
        const char* what;
        const PointNode *profile, *path;
        const Vec3* dir;
        int rows;
        double area;
    } cases[] = {
        {"extrusion", square.get(), straight.get(), &UP, 1, 8 * 5},
        {"profile turned onto the path", square.get(), across.get(), &UP, 1, 8 * 6},
        {"quarter-turn bend", square.get(), bend.get(), &UP, 2, 8 * 8},
        {"closed path", square_yz.get(), loop.get(), &along_x, 4, 8 * 40},
        {"repeated path points", square.get(), repeated.get(), &UP, 1, 8 * 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto m = rtc_make<MESH3>();
        ASSERT_EQ(mesh_sweep(m.get(), c.profile, &ORIGIN, c.dir, c.path), 0);
        const MeshFaceBlock& b = *m->blocks;
        EXPECT_EQ(b.columns, 4);
        EXPECT_EQ(b.rows, c.rows);
        EXPECT_EQ(b.faces.size(), static_cast<size_t>(8 * c.rows));
        EXPECT_NEAR(block_area(b), c.area, 1e-3);
        expect_sound_block(b);
        const auto& v = b.vertices;
        if (c.path == across.get()) {
            for (int i = 0; i < 4; ++i) EXPECT_NEAR(v[i].x, 0, 1e-6);
        }
        if (c.path == bend.get()) {
            for (int i = 4; i < 8; ++i) EXPECT_NEAR(v[i].x + v[i].z, 4.0, 1e-5);
        }
        if (c.path == loop.get()) {
            for (int i = 0; i < 4; ++i) EXPECT_NEAR(v[i].x, v[i].y, 1e-5);
        }
    }
}

TEST_F(MeshTest, ProfileAwayFromThePathIsCarriedAlong) {
    // The extrude command: a path from the origin along v, the profile where it lies.
    Chain profile({{10, 10, 0}, {12, 10, 0}});
    Chain path({{0, 0, 0}, {3, 0, 4}});
    const Vec3 dir = {3, 0, 4};
    ASSERT_EQ(mesh_sweep(mesh.get(), profile.get(), &ORIGIN, &dir, path.get()), 0);
    const auto& v = mesh->blocks->vertices;
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[0].x, 10.0f);
    EXPECT_EQ(v[2].x, 13.0f);
    EXPECT_EQ(v[2].y, 10.0f);
    EXPECT_EQ(v[2].z, 4.0f);
}

TEST_F(MeshTest, DegenerateSweepsFinishSoundly) {
    Chain square(kSquareXY, true);
    Chain point({{7, 7, 7}});
    Chain across({{0, 0, 0}, {5, 0, 0}});
    Chain back({{0, 0, 0}, {0, 0, 5}, {0, 0, 0}});
    Chain bent({{0, 0, 0}, {0, 0, 1}, {0, 1, 1}});
    {
        SCOPED_TRACE("one-point path: the profile where it lies, no faces");
        ASSERT_EQ(mesh_sweep(mesh.get(), square.get(), &ORIGIN, &UP, point.get()), 0);
        EXPECT_EQ(mesh->blocks->vertices[2].x, 1.0f);
        EXPECT_TRUE(mesh->blocks->faces.empty());
    }
    {
        SCOPED_TRACE("zero direction: no initial turn");
        ASSERT_EQ(mesh_sweep(mesh.get(), square.get(), &ORIGIN, &ORIGIN, across.get()), 0);
        EXPECT_EQ(mesh->blocks->vertices[0].x, -1.0f);
        EXPECT_EQ(mesh->blocks->vertices[0].z, 0.0f);
    }
    {
        SCOPED_TRACE("path turning straight back: no mitre, nothing far away");
        ASSERT_EQ(mesh_sweep(mesh.get(), square.get(), &ORIGIN, &UP, back.get()), 0);
        for (const MeshVertex& v : mesh->blocks->vertices)
            EXPECT_LE(std::fabs(v.x) + std::fabs(v.y) + std::fabs(v.z), 10.0f);
    }
    {
        SCOPED_TRACE("one-point profile: a line of edges");
        ASSERT_EQ(mesh_sweep(mesh.get(), point.get(), &ORIGIN, &UP, bent.get()), 0);
        EXPECT_EQ(mesh->blocks->edges.size(), 2u);
        EXPECT_TRUE(mesh->blocks->faces.empty());
    }
}

TEST_F(MeshTest, SweepRefusesBadInput) {
    Chain square(kSquareXY, true);
    Chain path({{0, 0, 0}, {0, 0, 1}});
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Chain bad_path({{0, 0, 0}, {0, nan, 1}});
    const Vec3 bad = {nan, 0, 0};
    std::vector<Vec3> many(2048);
    for (size_t i = 0; i < many.size(); ++i) many[i] = Vec3{static_cast<float>(i), 0, 0};
    Chain wide(many), long_path(many);  // a grid beyond the limit
    EXPECT_EQ(mesh_sweep(mesh.get(), nullptr, &ORIGIN, &UP, path.get()), kBadArgument);
    EXPECT_EQ(mesh_sweep(mesh.get(), square.get(), &ORIGIN, &UP, nullptr), kBadArgument);
    EXPECT_EQ(mesh_sweep(mesh.get(), square.get(), &bad, &UP, path.get()), kBadArgument);
    EXPECT_EQ(mesh_sweep(mesh.get(), square.get(), &ORIGIN, &bad, path.get()), kBadArgument);
    EXPECT_EQ(mesh_sweep(mesh.get(), square.get(), &ORIGIN, &UP, bad_path.get()), kBadArgument);
    EXPECT_EQ(mesh_sweep(mesh.get(), wide.get(), &ORIGIN, &UP, long_path.get()), kBadArgument);
    EXPECT_EQ(mesh_sweep(nullptr, square.get(), &ORIGIN, &UP, path.get()), kBadArgument);
    EXPECT_EQ(mesh->blocks, nullptr);
}

}  // namespace
