// Fractal triangle surfaces and their seeded generator: counts per level, the
// roughness rule, repeatability and undisplaced borders.
#include "tests/mesh/mesh_support.h"

#include <limits>
#include <set>

#include "model/math/result.h"

namespace {

const Vec3 F1 = {0, 0, 0}, F2 = {8, 0, 0}, F3 = {8, 8, 0};

TEST(MeshRandom, FifteenBitsFromASeedRepeatExactly) {
    mesh_random_seed(1);
    EXPECT_EQ(mesh_random(), 16838);
    std::set<int> seen;
    for (int i = 0; i < 100000; ++i) seen.insert(mesh_random());
    EXPECT_EQ(*seen.begin(), 0);
    EXPECT_EQ(*seen.rbegin(), 32767);
    EXPECT_GT(seen.size(), 30000u);
    mesh_random_seed(1);
    EXPECT_EQ(mesh_random(), 16838);
    // So a surface repeats exactly from the same seed.
    auto build = [](uint32_t seed) {
        auto m = rtc_make<MESH3>();
        mesh_random_seed(seed);
        EXPECT_EQ(mesh_fractal_surface(m.get(), &F1, &F2, &F3, 5, 0.8), 0);
        std::vector<float> coords;
        for (const MeshVertex& v : m->blocks->vertices) coords.insert(coords.end(), {v.x, v.y, v.z});
        return coords;
    };
    rtc_register_all();
    EXPECT_EQ(build(42), build(42));
    EXPECT_NE(build(42), build(43));
}

TEST_F(MeshTest, LevelsAndRoughnessRules) {
    // Levels clamp to 1..7; level 1 is the triangle itself.
    for (auto [levels, n] : {std::pair{1, 1}, {2, 2}, {3, 4}, {7, 64}, {0, 1}, {-9, 1}, {12, 64}}) {
        SCOPED_TRACE(testing::Message() << "levels " << levels);
        auto m = rtc_make<MESH3>();
        ASSERT_EQ(mesh_fractal_surface(m.get(), &F1, &F2, &F3, levels, 0.3), 0);
        const MeshFaceBlock& b = *m->blocks;
        EXPECT_EQ(b.vertices.size(), static_cast<size_t>((n + 1) * (n + 2) / 2));
        EXPECT_EQ(b.faces.size(), static_cast<size_t>(n * n));
        EXPECT_EQ(b.edges.size(), static_cast<size_t>(3 * n * (n + 1) / 2));
        expect_sound_block(b);
        if (n == 1) {
            EXPECT_EQ(face_vertices(b, b.faces[0]), (std::vector<int32_t>{0, 1, 2}));
        }
    }
    // A roughness outside -1..1 (or NaN) is taken as 0.25 and kept.
    for (auto [given, used] : {std::pair{2.0, 0.25}, {0.5, 0.5}, {-1.0, -1.0}, {1.0001, 0.25},
                               {std::numeric_limits<double>::quiet_NaN(), 0.25}}) {
        ASSERT_EQ(mesh_fractal_surface(mesh.get(), &F1, &F2, &F3, 1, given), 0);
        EXPECT_EQ(mesh_fractal_roughness(), used);
    }
}

// Midpoints on the big triangle's border stay on it, so surfaces over neighbouring
// faces meet; inside, a positive roughness only raises points, a negative one lowers.
TEST_F(MeshTest, BordersStayAndDisplacementFollowsTheSign) {
    mesh_random_seed(7);
    for (double roughness : {1.0, -1.0}) {
        auto m = rtc_make<MESH3>();
        ASSERT_EQ(mesh_fractal_surface(m.get(), &F1, &F2, &F3, 4, roughness), 0);
        int moved = 0;
        for (const MeshVertex& v : m->blocks->vertices) {
            const bool border = v.y == 0 || v.x == 8 || v.x == v.y;
            if (border) {
                EXPECT_EQ(v.z, 0.0f);
            }
            moved += v.z * roughness > 0 ? 1 : 0;
            EXPECT_GE(v.z * roughness, 0.0);
        }
        EXPECT_EQ(moved, 45 - 24);  // every point off the border of an 8-step triangle
    }
}

TEST_F(MeshTest, FractalRefusesNonFiniteCornersAndTilesItsTriangle) {
    const Vec3 bad = {0, std::numeric_limits<float>::infinity(), 0};
    EXPECT_EQ(mesh_fractal_surface(mesh.get(), &F1, &bad, &F3, 3, 0.5), kBadArgument);
    EXPECT_EQ(mesh_fractal_surface(mesh.get(), nullptr, &F2, &F3, 3, 0.5), kBadArgument);
    EXPECT_EQ(mesh->blocks, nullptr);
    ASSERT_EQ(mesh_fractal_surface(mesh.get(), &F1, &F1, &F1, 7, 0.5), 0);
    for (const MeshVertex& v : mesh->blocks->vertices) EXPECT_EQ(v.z, 0.0f);
    EXPECT_EQ(mesh->blocks->faces.size(), 64u * 64u);
    // Without roughness the pieces tile the triangle, all facing its way.
    ASSERT_EQ(mesh_fractal_surface(mesh.get(), &F1, &F2, &F3, 6, 0.0), 0);
    const MeshFaceBlock& b = *mesh->blocks;
    EXPECT_NEAR(block_area(b), 32.0, 1e-9);
    for (const MeshFace& f : b.faces) {
        const auto v = face_vertices(b, f);
        const MeshVertex &p = b.vertices[v[0]], &q = b.vertices[v[1]], &r = b.vertices[v[2]];
        EXPECT_GT((q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x), 0);
    }
}

}  // namespace
