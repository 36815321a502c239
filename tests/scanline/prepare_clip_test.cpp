// Mesh preparation (normals by smoothing mode), near-plane clipping and grid texture
// coordinates.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "model/material/material.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/mesh/mesh_block.h"
#include "render/scanline/clip_near.h"
#include "render/scanline/render_mesh.h"
#include "scanline_test_util.h"

namespace {

Vec3 n_of(const std::vector<ShadeRecord>& pool, int32_t i) {
    return {pool[i].v[0], pool[i].v[1], pool[i].v[2]};
}

}  // namespace

TEST(MeshPrepare, CubeNormalsBySmoothingMode) {
    TestScene s;
    MESH3* cube = s.add_box({0, 0, 0}, {2, 2, 2});
    const MeshFaceBlock* b = cube->blocks;
    std::vector<ShadeRecord> pool;
    std::vector<int32_t> corners;
    // Smooth by angle, 30 degrees: every corner carries its own side's normal.
    cube->material->flags = kMaterialSmoothByAngle;
    ASSERT_EQ(render_mesh_prepare(b, cube->material, &pool, &corners, nullptr, nullptr, nullptr,
                                  false, false, nullptr), 0);
    ASSERT_EQ(corners.size(), b->faces.size() * 3);
    for (size_t f = 0; f < b->faces.size(); ++f) {
        const Vec3 n0 = n_of(pool, corners[f * 3]);
        for (int k = 1; k < 3; ++k) {
            const Vec3 n = n_of(pool, corners[f * 3 + k]);
            EXPECT_FLOAT_EQ(n.x, n0.x);
            EXPECT_FLOAT_EQ(n.y, n0.y);
            EXPECT_FLOAT_EQ(n.z, n0.z);
        }
        EXPECT_NEAR(std::fabs(n0.x) + std::fabs(n0.y) + std::fabs(n0.z), 1.0, 1e-6);
    }
    // Smooth always: one record per vertex, the area-weighted sum over its faces,
    // pointing away from the centre along a diagonal.
    cube->material->flags = kMaterialSmoothAlways;
    ASSERT_EQ(render_mesh_prepare(b, cube->material, &pool, &corners, nullptr, nullptr, nullptr,
                                  false, false, nullptr), 0);
    EXPECT_EQ(pool.size(), 8u);
    for (const ShadeRecord& r : pool) {
        const double len = std::sqrt(r.v[0] * r.v[0] + r.v[1] * r.v[1] + r.v[2] * r.v[2]);
        EXPECT_NEAR(len, 1.0, 1e-6);
        for (float c : r.v) EXPECT_GT(std::fabs(c), 0.3f);  // no axis-aligned sum
    }
}

TEST(MeshPrepare, SmoothingGroupsAndZeroAreaFaces) {
    // A fan of three faces round vertex 0, masks 1, 2, 3: one normal there (3 joins
    // 1 and 2); masks 1 and 2 alone: two; mask 0 keeps its flat normal.
    struct Case {
        int32_t masks[3];
        size_t records_at_centre;
    } cases[] = {{{1, 2, 3}, 1}, {{1, 2, 4}, 3}, {{1, 1, 0}, 2}};
    for (const Case& c : cases) {
        MeshFaceBlock b;
        b.vertices = {{0, 0, 0, {}}, {1, 0, 0.2f, {}}, {0, 1, 0.4f, {}}, {-1, 0, 0.1f, {}}};
        EXPECT_EQ(mesh_add_triangle(&b, 0, 1, 2), 0);
        EXPECT_EQ(mesh_add_triangle(&b, 0, 2, 3), 0);
        EXPECT_EQ(mesh_add_triangle(&b, 0, 3, 1), 0);
        for (int i = 0; i < 3; ++i) b.faces[i].word = c.masks[i];
        MaterialRecord m;
        m.flags = kMaterialSmoothGroups | kMaterialSmoothAlways;
        std::vector<ShadeRecord> pool;
        std::vector<int32_t> corners;
        ASSERT_EQ(render_mesh_prepare(&b, &m, &pool, &corners, nullptr, nullptr, nullptr, false,
                                      false, nullptr), 0);
        std::set<int32_t> at_centre;
        for (int f = 0; f < 3; ++f)
            for (int k = 0; k < 3; ++k) {
                int32_t a, sh, l;
                edge_pair_vertices(b.edges[b.faces[f].e[0]], b.edges[b.faces[f].e[1]], &a, &sh, &l);
                const int32_t v[3] = {a, sh, l};
                if (v[k] == 0) at_centre.insert(corners[f * 3 + k]);
            }
        EXPECT_EQ(at_centre.size(), c.records_at_centre) << c.masks[2];
    }
    // Zero-area faces and cancelling sums keep a zero normal, never NaN.
    MeshFaceBlock flat;
    flat.vertices = {{0, 0, 0, {}}, {1, 1, 1, {}}, {2, 2, 2, {}}};
    EXPECT_EQ(mesh_add_triangle(&flat, 0, 1, 2), 0);
    for (uint32_t flags : {0u, uint32_t(kMaterialSmoothAlways), uint32_t(kMaterialSmoothByAngle)}) {
        MaterialRecord m;
        m.flags = flags;
        std::vector<ShadeRecord> pool;
        std::vector<int32_t> corners;
        ASSERT_EQ(render_mesh_prepare(&flat, &m, &pool, &corners, nullptr, nullptr, nullptr,
                                      false, false, nullptr), 0);
        for (const ShadeRecord& r : pool)
            for (float v : r.v) EXPECT_EQ(v, 0.0f);
    }
}

TEST(MeshPrepare, StopIsSeenAtFaceZero) {
    TestScene s;
    MESH3* cube = s.add_box({0, 0, 0}, {1, 1, 1});
    int calls = 0;
    auto stop = [](void* c, int64_t) { return ++*static_cast<int*>(c); };
    std::vector<ShadeRecord> pool;
    std::vector<int32_t> corners;
    EXPECT_EQ(render_mesh_prepare(cube->blocks, cube->material, &pool, &corners, stop, &calls,
                                  nullptr, false, false, nullptr), -1);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(pool.empty());
}

TEST(NearClip, TrianglesAgainstTheNearPlane) {
    // One triangle in camera space (identity matrix): z values of its corners.
    struct Case {
        float z[3];
        size_t triangles;
    } cases[] = {
        {{-1, -1, -1}, 1},       // in front: kept whole
        {{-0.1f, -1, -1}, 1},    // exactly on the plane counts as in front
        {{-1, -1, 1}, 2},        // one corner behind: two triangles
        {{-1, 1, 1}, 1},         // two behind: one smaller triangle
        {{1, 1, 1}, 0},          // wholly behind: the mesh leaves the list
    };
    for (const Case& c : cases) {
        MeshFaceBlock b;
        b.vertices = {{0, 0, c.z[0], {}}, {1, 0, c.z[1], {}}, {0, 1, c.z[2], {}}};
        EXPECT_EQ(mesh_add_triangle(&b, 0, 1, 2), 0);
        RenderMesh* m = render_mesh_create(&b, nullptr, nullptr);
        int64_t running = 0;
        ASSERT_EQ(render_mesh_prepare_record(m, nullptr, nullptr, &running, false), 0);
        ASSERT_EQ(render_clip_near(&m, &kMatIdentity, &kMatIdentity), 0);
        const size_t got = m ? m->triangles.size() : 0;
        EXPECT_EQ(got, c.triangles) << c.z[0] << " " << c.z[1] << " " << c.z[2];
        if (m) {
            for (const RenderTriangle& t : m->triangles)
                for (int k = 0; k < 3; ++k) {
                    ASSERT_GE(t.corner[k], 0);
                    ASSERT_LT(static_cast<size_t>(t.corner[k]), m->vertices.size());
                    EXPECT_LE(m->vertices[t.corner[k]].image.z, kNearPlane + 1e-9);
                    ASSERT_LT(static_cast<size_t>(t.shade[k]), m->shade.size());
                }
        }
        render_mesh_list_free(&m);
    }
}

TEST(GridUv, LayoutAndRefusal) {
    MESH3 mesh;
    std::vector<Vec3d> pts;
    for (int r = 0; r <= 2; ++r)
        for (int c = 0; c <= 3; ++c) pts.push_back({c * 2.0, r * 1.0, 0});
    ASSERT_EQ(mesh_add_grid(&mesh, pts, 4, 3, false, false), 0);
    const MeshFaceBlock* b = mesh.blocks;
    ASSERT_EQ(b->edges.size(), size_t(3 + 2 * (3 * 3 + 1)));
    std::vector<float> uv;
    ASSERT_EQ(render_grid_uv(b, 2, 3, false, &uv), 0);
    // Every end carries its column and row, matching the vertex position.
    for (size_t e = 0; e < b->edges.size(); ++e)
        for (int end = 0; end < 2; ++end) {
            const MeshVertex& v = b->vertices[b->edges[e].v[end]];
            EXPECT_FLOAT_EQ(uv[e * 4 + end * 2], v.x / 2.0f);
            EXPECT_FLOAT_EQ(uv[e * 4 + end * 2 + 1], v.y);
        }
    ASSERT_EQ(render_grid_uv(b, 2, 3, true, &uv), 0);
    for (size_t e = 0; e < b->edges.size(); ++e)
        for (int end = 0; end < 2; ++end) {
            const MeshVertex& v = b->vertices[b->edges[e].v[end]];
            EXPECT_NEAR(uv[e * 4 + end * 2], v.x / 6.0, 1e-6);
            EXPECT_NEAR(uv[e * 4 + end * 2 + 1], v.y / 2.0, 1e-6);
        }
    // A block whose edge count does not follow the layout gets none.
    EXPECT_EQ(render_grid_uv(b, 3, 3, false, &uv), kBadArgument);
    EXPECT_TRUE(uv.empty());
    EXPECT_EQ(render_grid_uv(b, 0, 3, false, &uv), kBadArgument);
}

TEST(MeshPrepare, SplitOverThreadsGivesTheSameRecords) {
    TestScene s;
    MESH3* sphere = s.add_sphere({0, 0, 0}, 10, 90, 120);
    for (uint32_t flags : {uint32_t(kMaterialSmoothAlways), uint32_t(kMaterialSmoothByAngle),
                           uint32_t(kMaterialSmoothGroups | kMaterialSmoothAlways), 0u}) {
        sphere->material->flags = flags;
        sphere->material->smoothing_angle = 0.05f;  // some creases between the rings
        for (MeshFace& f : sphere->blocks->faces) f.word = 1 << ((&f - sphere->blocks->faces.data()) % 3);
        RenderMesh* one = render_mesh_create(sphere->blocks, sphere->material, nullptr);
        RenderMesh* many = render_mesh_create(sphere->blocks, sphere->material, nullptr);
        int64_t r1 = 0, r2 = 0;
        ASSERT_EQ(render_mesh_prepare_record(one, nullptr, nullptr, &r1, false, 1), 0);
        ASSERT_EQ(render_mesh_prepare_record(many, nullptr, nullptr, &r2, false, 5), 0);
        ASSERT_EQ(one->shade.size(), many->shade.size()) << flags;
        for (size_t i = 0; i < one->shade.size(); ++i)
            for (int k = 0; k < 3; ++k) ASSERT_EQ(one->shade[i].v[k], many->shade[i].v[k]);
        for (size_t t = 0; t < one->triangles.size(); ++t)
            for (int k = 0; k < 3; ++k) ASSERT_EQ(one->triangles[t].shade[k], many->triangles[t].shade[k]);
        EXPECT_EQ(r1, r2);
        render_mesh_release(&one);
        render_mesh_release(&many);
    }
}
