// The face index of mesh_add_face against the plain scan it replaces: seeded random
// runs of triangles and quadrilaterals over a small pool of points (repeats, shared
// and reversed edges, collapsed faces, -0.0 beside 0.0) must leave byte-equal blocks,
// also when the run switches between indexed and scanned calls or a grid block gets
// in front.
#include <cstring>
#include <random>

#include "tests/mesh/mesh_support.h"

namespace {

// Reference: the former mesh_add_face, every vertex and edge found by a scan from the
// start of the block. Kept here only to compare against.
int32_t ref_vertex(MeshFaceBlock& b, const Vec3& p) {
    const float xyz[3] = {p.x, p.y, p.z};
    for (size_t i = 0; i < b.vertices.size(); ++i) {
        const float w[3] = {b.vertices[i].x, b.vertices[i].y, b.vertices[i].z};
        if (std::memcmp(xyz, w, sizeof xyz) == 0) return static_cast<int32_t>(i);
    }
    b.vertices.push_back(MeshVertex{p.x, p.y, p.z, {0, 0, 0, 0, 0, 0}});
    return static_cast<int32_t>(b.vertices.size() - 1);
}

int32_t ref_edge(const MeshFaceBlock& b, int32_t x, int32_t y) {
    for (size_t e = 0; e < b.edges.size(); ++e) {
        const MeshEdge& ed = b.edges[e];
        if ((ed.v[0] == x && ed.v[1] == y) || (ed.v[0] == y && ed.v[1] == x)) return static_cast<int32_t>(e);
    }
    return -1;
}

void ref_add_face(MESH3* mesh, const Vec3& p1, const Vec3& p2, const Vec3& p3, const Vec3* p4) {
    MeshFaceBlock* block = nullptr;
    for (MeshFaceBlock* b = mesh->blocks; b && !block; b = b->next)
        if (b->rows == 0 || b->columns == 0) block = b;
    const bool made = block == nullptr;
    if (made) block = mesh_face_block(mesh, 0);
    const size_t old_vertices = block->vertices.size();
    const int32_t i1 = ref_vertex(*block, p1), i2 = ref_vertex(*block, p2), i3 = ref_vertex(*block, p3);
    const int32_t i4 = p4 ? ref_vertex(*block, *p4) : -1;
    auto distinct = [](int32_t a, int32_t b, int32_t c) { return a != b && b != c && a != c; };
    const bool first = distinct(i1, i2, i3), second = p4 && distinct(i1, i3, i4);
    const bool hide = first && second && ref_edge(*block, i1, i3) < 0;
    auto show = [block](int32_t a, int32_t b) {
        const int32_t e = ref_edge(*block, a, b);
        if (e >= 0) block->edges[e].flags &= static_cast<uint16_t>(~kEdgeHidden);
    };
    if (first) {
        EXPECT_EQ(mesh_add_triangle(block, i1, i2, i3), 0);
    }
    if (second) {
        EXPECT_EQ(mesh_add_triangle(block, i1, i3, i4), 0);
    }
    if (first) show(i1, i2), show(i2, i3);
    if (second) show(i3, i4), show(i4, i1);
    if (first != second) show(i1, i3);
    if (hide) block->edges[ref_edge(*block, i1, i3)].flags |= kEdgeHidden;
    if (!first && !second) block->vertices.resize(old_vertices);
    if (made && block->faces.empty()) mesh_drop_block(mesh, block);
}

void expect_same_mesh(const MESH3& a, const MESH3& b) {
    const MeshFaceBlock *x = a.blocks, *y = b.blocks;
    for (; x && y; x = x->next, y = y->next) {
        EXPECT_EQ(x->rows, y->rows);
        EXPECT_EQ(x->columns, y->columns);
        ASSERT_EQ(x->vertices.size(), y->vertices.size());
        ASSERT_EQ(x->edges.size(), y->edges.size());
        ASSERT_EQ(x->faces.size(), y->faces.size());
        for (size_t i = 0; i < x->vertices.size(); ++i)
            ASSERT_EQ(std::memcmp(&x->vertices[i], &y->vertices[i], 12), 0) << "vertex " << i;
        for (size_t i = 0; i < x->edges.size(); ++i) {
            ASSERT_EQ(x->edges[i].v[0], y->edges[i].v[0]) << "edge " << i;
            ASSERT_EQ(x->edges[i].v[1], y->edges[i].v[1]) << "edge " << i;
            ASSERT_EQ(x->edges[i].flags, y->edges[i].flags) << "edge " << i;
        }
        for (size_t i = 0; i < x->faces.size(); ++i)
            for (int k = 0; k < 3; ++k) ASSERT_EQ(x->faces[i].e[k], y->faces[i].e[k]) << "face " << i;
    }
    EXPECT_EQ(x, nullptr);
    EXPECT_EQ(y, nullptr);
}

// mode 0: every call indexed; 1: scanned and indexed calls mixed on one index (it
// must notice the counts it did not make); 2: a grid block is put in front now and then.
void random_run(uint32_t seed, int mode) {
    SCOPED_TRACE(testing::Message() << "seed " << seed << " mode " << mode);
    std::mt19937 rng(seed);
    std::vector<Vec3> pool;
    // Mode 0 uses a larger pool, so the tables grow and their entries cluster.
    const int side = 3 + static_cast<int>(rng() % (mode == 0 ? 40 : 6));
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j) pool.push_back({static_cast<float>(i), static_cast<float>(j), 0});
    pool.push_back({-0.0f, 0, 0});
    pool.push_back({0, 0, 1e-30f});
    auto got = rtc_make<MESH3>(), want = rtc_make<MESH3>();
    MeshFaceIndex index;
    const int faces = 50 + static_cast<int>(rng() % (mode == 0 ? 1500 : 300));
    for (int n = 0; n < faces; ++n) {
        // Corners near each other most of the time, so edges get shared; an exact
        // repeat of a corner now and then makes a collapsed half or a collapsed face.
        const size_t base = rng() % pool.size();
        Vec3 p[4];
        for (Vec3& q : p) {
            const uint32_t r = rng() % 10;
            q = r == 0 ? p[0] : pool[(base + r * (rng() % 3)) % pool.size()];
        }
        const bool quad = rng() % 2;
        if (mode == 2 && rng() % 40 == 0) {
            for (MESH3* m : {got.get(), want.get()}) ASSERT_EQ(mesh_add_face(m, &p[0], &p[1], &p[2], &p[3], 1), 0);
        }
        const bool scan = mode == 1 && rng() % 3 == 0;
        ASSERT_EQ(mesh_add_face(got.get(), &p[0], &p[1], &p[2], quad ? &p[3] : nullptr, 0, scan ? nullptr : &index), 0);
        ref_add_face(want.get(), p[0], p[1], p[2], quad ? &p[3] : nullptr);
    }
    expect_same_mesh(*got, *want);
    for (const MeshFaceBlock* b = got->blocks; b; b = b->next) expect_sound_block(*b);
}

TEST(MeshFaceIndex, RandomRunsMatchTheScan) {
    rtc_register_all();
    for (uint32_t seed = 1; seed <= 40; ++seed)
        for (int mode = 0; mode < 3; ++mode) random_run(seed, mode);
}

// The index after faces that leave nothing (collapsed) and after its block went away:
// no stale vertex stays findable, and a fresh block is indexed from scratch.
TEST_F(MeshTest, CollapsedFacesAndDroppedBlocksLeaveTheIndexClean) {
    const Vec3 a{0, 0, 0}, b{1, 0, 0}, c{1, 1, 0}, d{0, 1, 0}, e{5, 5, 5};
    MeshFaceIndex index;
    ASSERT_EQ(mesh_add_face(mesh.get(), &e, &e, &e, nullptr, 0, &index), 0);
    EXPECT_EQ(mesh->blocks, nullptr);
    EXPECT_EQ(index.vertex_entries(), 0u);
    ASSERT_EQ(mesh_add_face(mesh.get(), &a, &b, &c, &d, 0, &index), 0);
    ASSERT_EQ(mesh_add_face(mesh.get(), &a, &e, &a, &e, 0, &index), 0);  // folded: nothing
    EXPECT_EQ(index.vertex_entries(), 4u);
    EXPECT_EQ(mesh->blocks->vertices.size(), 4u);
    mesh->free_blocks();
    index.reset();
    ASSERT_EQ(mesh_add_face(mesh.get(), &e, &a, &b, nullptr, 0, &index), 0);
    EXPECT_EQ(mesh->blocks->vertices.size(), 3u);
    EXPECT_EQ(mesh->blocks->vertices[0].x, 5.0f);
    // A vertex moved behind the index's back is picked up after reset().
    mesh->blocks->vertices[0].x = 7.0f;
    index.reset();
    const Vec3 moved{7, 5, 5};
    ASSERT_EQ(mesh_add_face(mesh.get(), &moved, &a, &c, nullptr, 0, &index), 0);
    EXPECT_EQ(mesh->blocks->vertices.size(), 4u);
}

}  // namespace
