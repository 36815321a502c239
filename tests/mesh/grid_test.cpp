// Grid blocks: the counts and cell layout of open and closed grids, grid patches,
// surfaces of revolution and lofts, and their degenerate parameters.
#include "tests/mesh/mesh_support.h"

#include <limits>

#include "model/math/result.h"

namespace {

const Vec3 C1 = {0, 0, 0}, C2 = {4, 0, 0}, C3 = {4, 2, 0}, C4 = {0, 2, 0};
const Vec3 ORIGIN = {0, 0, 0}, UP = {0, 0, 1};

// C + R(3C + 1) edges and 2CR faces, C and R the cell counts; a direction closes
// only with at least three points.
TEST_F(MeshTest, GridCountsFollowTheLayout) {
    struct Case {
        int w, r;
        bool closed_c, closed_r;
        int cells_c, cells_r;
    } cases[] = {
        {2, 2, false, false, 1, 1}, {5, 4, false, false, 4, 3}, {5, 4, true, false, 5, 3},
        {5, 4, false, true, 4, 4},  {5, 4, true, true, 5, 4},   {2, 3, true, false, 1, 2},
        {1, 6, false, false, 0, 5}, {7, 1, true, true, 7, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.r << " closed " << c.closed_c << c.closed_r);
        MeshFaceBlock* b = mesh_face_block(mesh.get(), 0);
        b->vertices.resize(static_cast<size_t>(c.w) * c.r);
        EXPECT_EQ(mesh_grid_build(b, c.w + 1, c.r, c.closed_c, c.closed_r),
                  kBadArgument);  // wrong count
        ASSERT_EQ(mesh_grid_build(b, c.w, c.r, c.closed_c, c.closed_r), 0);
        EXPECT_EQ(b->columns, c.cells_c);
        EXPECT_EQ(b->rows, c.cells_r);
        EXPECT_EQ(b->edges.size(), static_cast<size_t>(c.cells_c + c.cells_r * (3 * c.cells_c + 1)));
        EXPECT_EQ(b->faces.size(), static_cast<size_t>(2 * c.cells_c * c.cells_r));
        EXPECT_EQ(hidden_edges(*b), c.cells_c * c.cells_r);
        if (c.w > 1) expect_sound_block(*b);  // one point: only the closing edges
        mesh_drop_block(mesh.get(), b);
    }
}

TEST_F(MeshTest, GridPatchSpansItsCorners) {
    ASSERT_EQ(mesh_add_grid_patch(mesh.get(), &C1, &C2, &C3, &C4, 4, 3), 0);
    const MeshFaceBlock& b = *mesh->blocks;
    EXPECT_EQ(b.columns, 4);
    EXPECT_EQ(b.rows, 3);
    EXPECT_EQ(b.vertices.size(), 5u * 4u);
    EXPECT_NEAR(block_area(b), 8.0, 1e-9);
    // Row 0 runs along c1-c2; cell 0 between rows 0 and 1 is A0 B0 B1, A0 B1 A1.
    EXPECT_EQ(b.vertices[1].x, 1.0f);
    EXPECT_EQ(b.vertices[19].y, 2.0f);
    EXPECT_EQ(face_vertices(b, b.faces[0]), (std::vector<int32_t>{0, 5, 6}));
    EXPECT_EQ(face_vertices(b, b.faces[1]), (std::vector<int32_t>{0, 6, 1}));
    expect_sound_block(b);
}

TEST_F(MeshTest, RevolveFullTurnInTwelveStepsClosesTheRows) {
    // A segment parallel to the axis at radius 1 sweeps a 12-sided tube.
    Chain profile({{1, 0, 0}, {1, 0, 3}});
    ASSERT_EQ(mesh_revolve(mesh.get(), profile.get(), &ORIGIN, &UP, 2 * kPiD, 0, 12), 0);
    const MeshFaceBlock& b = *mesh->blocks;
    EXPECT_EQ(b.vertices.size(), 12u * 2u);  // 12 copies, not 13
    EXPECT_EQ(b.rows, 12);
    EXPECT_EQ(b.columns, 1);
    EXPECT_EQ(b.faces.size(), 2u * 12);
    EXPECT_EQ(b.edges.size(), 1u + 12 * (3 * 1 + 1));
    for (int32_t i : face_vertices(b, b.faces.back())) EXPECT_TRUE(i < 2 || i >= 22) << i;
    EXPECT_NEAR(block_area(b), 12 * 2 * std::sin(kPiD / 12) * 3, 1e-5);
    expect_sound_block(b);
}

TEST_F(MeshTest, RevolvePartialTurnStartsAtTheStartAngle) {
    Chain profile({{2, 0, 0}, {2, 0, 1}, {2, 0, 2}});
    ASSERT_EQ(mesh_revolve(mesh.get(), profile.get(), &ORIGIN, &UP, kPiD / 2, kPiD / 2, kWrongKind),
              0);
    const MeshFaceBlock& b = *mesh->blocks;
    EXPECT_EQ(b.vertices.size(), 7u * 3u);
    EXPECT_EQ(b.rows, 6);
    // Right-handed about +Z: the first row stands on +Y, the last on -X.
    EXPECT_NEAR(b.vertices[0].y, 2, 1e-6);
    EXPECT_NEAR(b.vertices[18].x, -2, 1e-6);
    EXPECT_NEAR(b.vertices[18].y, 0, 1e-6);
}

// Degenerate parameters finish at once with 13 and leave the mesh alone.
TEST_F(MeshTest, DegenerateGridParametersAreRefused) {
    Chain profile({{1, 0, 0}, {1, 0, 1}});
    const Vec3 near_origin = {0, 0, 1e-8f}, bad = {std::numeric_limits<float>::quiet_NaN(), 0, 0};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Revolve {
        const char* what;
        const PointNode* chain;
        const Vec3* b;
        double angle, start;
        int steps;
    } revolves[] = {
        {"zero steps", profile.get(), &UP, 1, 0, 0},
        {"negative steps", profile.get(), &UP, 1, 0, -5},
        {"zero angle", profile.get(), &UP, 0, 0, 12},
        {"NaN angle", profile.get(), &UP, nan, 0, 12},
        {"infinite angle", profile.get(), &UP, inf, 0, 12},
        {"NaN start", profile.get(), &UP, 1, nan, 12},
        {"empty profile", nullptr, &UP, 1, 0, 12},
        {"coincident axis points", profile.get(), &near_origin, 1, 0, 12},
        {"non-finite axis point", profile.get(), &bad, 1, 0, 12},
        {"steps beyond the grid limit", profile.get(), &UP, 1, 0, 2000000000},
    };
    for (const Revolve& c : revolves) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(mesh_revolve(mesh.get(), c.chain, &ORIGIN, c.b, c.angle, c.start, c.steps),
                  kBadArgument);
    }
    {
        SCOPED_TRACE("turned beyond the float range");
        Chain far({{3e38f, 0, 0}, {3e38f, 0, 1}});
        const Vec3 a = {-3e38f, 0, 0}, b = {-3e38f, 0, 1};
        EXPECT_EQ(mesh_revolve(mesh.get(), far.get(), &a, &b, kPiD, 0, 4), kBadArgument);
    }
    for (auto [m, n] : {std::pair{0, 3}, {3, 0}, {-1, 2}, {2, -7}, {100000, 100000}}) {
        SCOPED_TRACE(testing::Message() << "patch " << m << " x " << n);
        EXPECT_EQ(mesh_add_grid_patch(mesh.get(), &C1, &C2, &C3, &C4, m, n), kBadArgument);
    }
    EXPECT_EQ(mesh_add_grid_patch(mesh.get(), &C1, &bad, &C3, &C4, 2, 2), kBadArgument);
    EXPECT_EQ(mesh->blocks, nullptr);
    // Coincident corners are no error: a sound grid without area.
    ASSERT_EQ(mesh_add_grid_patch(mesh.get(), &C1, &C1, &C1, &C1, 3, 3), 0);
    EXPECT_EQ(mesh->blocks->faces.size(), 18u);
    EXPECT_EQ(block_area(*mesh->blocks), 0.0);
}

// Two closed squares give a square tube; a point as last contour a pyramid; a
// shorter contour is cut evenly to the longest one's count.
TEST_F(MeshTest, LoftJoinsContoursRowByRow) {
    Chain bottom({{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}}, true);
    Chain top({{0, 0, 3}, {2, 0, 3}, {2, 2, 3}, {0, 2, 3}}, true);
    Chain apex({{1, 1, 3}});
    Chain line({{0, 0, 0}, {4, 0, 0}});
    Chain long_line({{0, 0, 1}, {2, 0, 1}, {4, 0, 1}, {6, 0, 1}, {8, 0, 1}});
    struct Case {
        const char* what;
        const PointNode *first, *second;
        int columns;
        size_t vertices;
        double area;
    } cases[] = {
        {"tube", bottom.get(), top.get(), 4, 8, 4 * 2 * 3},
        {"pyramid", bottom.get(), apex.get(), 4, 8, 4 * std::sqrt(10.0)},
        {"trapezoid", line.get(), long_line.get(), 4, 10, (4 + 8) / 2.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PtrNode second = {nullptr, const_cast<PointNode*>(c.second)};
        PtrNode first = {&second, const_cast<PointNode*>(c.first)};
        auto m = rtc_make<MESH3>();
        ASSERT_EQ(mesh_add_loft(m.get(), &first, 0, 5), 0);
        EXPECT_EQ(m->blocks->columns, c.columns);
        EXPECT_EQ(m->blocks->rows, 1);
        EXPECT_EQ(m->blocks->vertices.size(), c.vertices);
        EXPECT_NEAR(block_area(*m->blocks), c.area, 1e-5);
    }
}

TEST_F(MeshTest, SmoothLoftResamplesAcrossTheContours) {
    Chain c0({{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}});
    Chain c1({{2, 0, 1}, {0, 2, 1}, {-2, 0, 1}});
    Chain c2({{1, 0, 2}, {0, 1, 2}, {-1, 0, 2}});
    PtrNode n2 = {nullptr, c2.get()}, n1 = {&n2, c1.get()}, n0 = {&n1, c0.get()};
    ASSERT_EQ(mesh_add_loft(mesh.get(), &n0, 1, kOutOfMemory), 0);
    const MeshFaceBlock& b = *mesh->blocks;
    EXPECT_EQ(b.rows, 8);
    EXPECT_EQ(b.vertices.size(), 9u * 3u);
    // The spline passes through the middle contour, halfway along.
    EXPECT_NEAR(b.vertices[4 * 3].x, 2.0, 1e-5);
    EXPECT_NEAR(b.vertices[4 * 3].z, 1.0, 1e-5);
    EXPECT_NEAR(b.vertices[8 * 3 + 2].x, -1.0, 1e-5);

    PtrNode only = {nullptr, c0.get()};
    PtrNode empty = {nullptr, nullptr}, with_empty = {&empty, c0.get()};
    EXPECT_EQ(mesh_add_loft(mesh.get(), &n0, 0, 0), kBadArgument);
    EXPECT_EQ(mesh_add_loft(mesh.get(), &n0, 1, -3), kBadArgument);
    EXPECT_EQ(mesh_add_loft(mesh.get(), &n0, 1, 5000000), kBadArgument);
    EXPECT_EQ(mesh_add_loft(mesh.get(), &only, 0, 4), kBadArgument);
    EXPECT_EQ(mesh_add_loft(mesh.get(), nullptr, 0, 4), kBadArgument);
    EXPECT_EQ(mesh_add_loft(mesh.get(), &with_empty, 0, 4), kBadArgument);
    EXPECT_EQ(b.next, nullptr);
}

}  // namespace
