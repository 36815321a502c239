// Single faces and triangles: vertex merging, shared and hidden edges, the block a
// face goes into, degenerate and non-finite input, and the edge hash.
#include "tests/mesh/mesh_support.h"

#include <limits>

#include "model/math/result.h"

namespace {

const Vec3 P1 = {0, 0, 0}, P2 = {1, 0, 0}, P3 = {1, 1, 0}, P4 = {0, 1, 0};
const Vec3 Q1 = {2, 0, 0}, Q2 = {2, 1, 0}, APEX = {0.5f, 0.5f, 1}, NEG_ZERO = {-0.0f, 0, 0};

// Faces added one after another into one free block, and the block they leave.
TEST(MeshFaces, TopologyCounts) {
    rtc_register_all();
    struct Face {
        Vec3 p1, p2, p3, p4;
        bool quad;
    };
    struct Case {
        const char* what;
        std::vector<Face> faces;
        size_t vertices, edges, triangles;
        int hidden;
    } cases[] = {
        {"same triangle twice", {{P1, P2, P3, {}, false}, {P1, P2, P3, {}, false}}, 3, 3, 2, 0},
        {"quadrilateral", {{P1, P2, P3, P4, true}}, 4, 5, 2, 1},
        {"two quads side by side", {{P1, P2, P3, P4, true}, {P2, Q1, Q2, P3, true}}, 6, 9, 4, 2},
        {"triangle on a quad's diagonal shows it", {{P1, P2, P3, P4, true}, {P1, P3, APEX, {}, false}}, 5, 7, 3, 0},
        {"merging is by exact bytes", {{P1, P2, P3, {}, false}, {NEG_ZERO, P2, P3, {}, false}}, 4, 5, 2, 0},
        {"quad with equal third and fourth", {{P1, P2, P3, P3, true}}, 3, 3, 1, 0},
        {"quad with equal first and second", {{P1, P1, P3, P4, true}}, 3, 3, 1, 0},
        {"triangle without area", {{P1, P2, P3, {}, false}, {P1, P2, P2, {}, false}}, 3, 3, 1, 0},
        {"nothing but folded faces", {{P1, P1, P1, P1, true}, {P1, P2, P1, P4, true}}, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto m = rtc_make<MESH3>();
        for (const Face& f : c.faces)
            ASSERT_EQ(mesh_add_face(m.get(), &f.p1, &f.p2, &f.p3, f.quad ? &f.p4 : nullptr, 0), 0);
        if (c.triangles == 0) {
            EXPECT_EQ(m->blocks, nullptr);  // an empty block is not left behind
            continue;
        }
        ASSERT_NE(m->blocks, nullptr);
        const MeshFaceBlock& b = *m->blocks;
        EXPECT_EQ(b.next, nullptr);
        EXPECT_EQ(b.vertices.size(), c.vertices);
        EXPECT_EQ(b.edges.size(), c.edges);
        EXPECT_EQ(b.faces.size(), c.triangles);
        EXPECT_EQ(hidden_edges(b), c.hidden);
        expect_sound_block(b);
    }
}

TEST_F(MeshTest, QuadIsSplitOnItsFirstDiagonal) {
    ASSERT_EQ(mesh_add_face(mesh.get(), &P1, &P2, &P3, &P4, 0), 0);
    const MeshFaceBlock& b = *mesh->blocks;
    EXPECT_EQ(face_vertices(b, b.faces[0]), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(face_vertices(b, b.faces[1]), (std::vector<int32_t>{0, 2, 3}));
    for (const MeshEdge& e : b.edges) {
        if (e.flags & kEdgeHidden) {
            EXPECT_EQ(e.v[0] + e.v[1], 2);  // p1-p3
        }
    }
    // With the split flag the same corners make a 1 x 1 grid block of its own.
    ASSERT_EQ(mesh_add_face(mesh.get(), &P1, &P2, &P3, &P4, 1), 0);
    ASSERT_NE(mesh->blocks->next, nullptr);
    EXPECT_EQ(mesh->blocks->rows, 1);
    EXPECT_EQ(mesh->blocks->columns, 1);
    EXPECT_DOUBLE_EQ(block_area(*mesh->blocks), 1.0);
    // Later faces go to the free block behind the grid.
    ASSERT_EQ(mesh_add_face(mesh.get(), &P1, &P2, &APEX, nullptr, 0), 0);
    EXPECT_EQ(mesh->blocks->faces.size(), 2u);
    EXPECT_EQ(mesh->blocks->next->faces.size(), 3u);
}

TEST_F(MeshTest, BadInputIsRefusedAndChangesNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Vec3 bad_nan = {nan, 0, 0}, bad_inf = {0, 0, std::numeric_limits<float>::infinity()};
    ASSERT_EQ(mesh_add_face(mesh.get(), &P1, &P2, &P3, nullptr, 0), 0);
    EXPECT_EQ(mesh_add_face(mesh.get(), &P1, &P2, &bad_nan, nullptr, 0), kBadArgument);
    EXPECT_EQ(mesh_add_face(mesh.get(), &P1, &P2, &P3, &bad_inf, 0), kBadArgument);
    EXPECT_EQ(mesh_add_face(mesh.get(), &P1, &P2, &P3, &bad_inf, 1), kBadArgument);
    EXPECT_EQ(mesh_add_face(mesh.get(), nullptr, &P2, &P3, nullptr, 0), kBadArgument);
    EXPECT_EQ(mesh_add_face(nullptr, &P1, &P2, &P3, nullptr, 0), kBadArgument);
    MeshFaceBlock* b = mesh->blocks;
    EXPECT_EQ(mesh_add_triangle(b, 0, 1, 3), kBadArgument);
    EXPECT_EQ(mesh_add_triangle(b, -1, 1, 2), kBadArgument);
    EXPECT_EQ(mesh_add_triangle(nullptr, 0, 1, 2), kBadArgument);
    EXPECT_EQ(b->next, nullptr);
    EXPECT_EQ(b->vertices.size(), 3u);
    EXPECT_EQ(b->edges.size(), 3u);
    EXPECT_EQ(b->faces.size(), 1u);
}

// The hash finds exactly the edges a full comparison finds, also edges the block
// had before the hash was made.
TEST_F(MeshTest, HashedAndComparedEdgesAgree) {
    const int side = 12;
    MeshFaceBlock* hashed = mesh_face_block(mesh.get(), 0);
    MeshFaceBlock* compared = mesh_face_block(mesh.get(), 0);
    for (MeshFaceBlock* b : {hashed, compared}) {
        b->vertices.resize(side * side);
        ASSERT_EQ(mesh_add_triangle(b, side, 1, 0), 0);
    }
    MeshEdgeHash hash;
    ASSERT_EQ(mesh_edge_hash_init(&hash, hashed, 7), 0);
    for (int a = 0; a < side * (side - 1); ++a) {
        if (a % side == side - 1) continue;
        const int b = a + 1, d = a + side, e = d + 1;
        for (auto [x, y, z] : {std::tuple{a, b, d}, {b, e, d}}) {
            ASSERT_EQ(mesh_add_triangle(hashed, x, y, z, &hash), 0);
            ASSERT_EQ(mesh_add_triangle(compared, x, y, z), 0);
        }
    }
    EXPECT_EQ(hashed->edges.size(), static_cast<size_t>((side - 1) * (3 * side - 1)));
    ASSERT_EQ(hashed->faces.size(), compared->faces.size());
    for (size_t i = 0; i < hashed->faces.size(); ++i) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(hashed->faces[i].e[k], compared->faces[i].e[k]);
    }
}

TEST_F(MeshTest, FaceBlockFindsRoomOrMakesOne) {
    MeshFaceBlock* first = mesh_face_block(mesh.get(), 0);
    EXPECT_EQ(mesh_face_block(mesh.get(), 1), first);  // no vertices yet
    ASSERT_EQ(mesh_add_grid_patch(mesh.get(), &P1, &P2, &P3, &P4, 1, 1), 0);
    MeshFaceBlock* grid = mesh->blocks;
    mesh_drop_block(mesh.get(), first);
    MeshFaceBlock* made = mesh_face_block(mesh.get(), 1);  // only a full grid left
    EXPECT_NE(made, grid);
    EXPECT_EQ(mesh->blocks, made);
    MeshFaceBlock stranger;
    mesh_drop_block(mesh.get(), &stranger);  // not in the chain: left alone
    EXPECT_EQ(made->next, grid);
}

}  // namespace
