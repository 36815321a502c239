// Mesh reduction: when the mesh itself comes back, targets per block, the outline of
// open meshes, locked and overlong edges, the queue search against the plain walk,
// closed meshes like scans staying closed 2-manifolds, smooth surfaces staying close.
#include <deque>
#include <map>
#include <random>
#include <set>

#include "commands/boolean/mesh_reduce.h"
#include "tests/boolean/csg_support.h"
#include "tests/boolean/reduce_shapes.h"

using namespace csgtest;

namespace {

// An open grid of (n + 1) x (n + 1) points with heights from `height`.
std::unique_ptr<MESH3> make_grid(int n, double step, const std::function<double(int, int)>& height) {
    rtc_register_all();
    auto m = rtc_make<MESH3>();
    std::vector<Vec3d> pts;
    for (int r = 0; r <= n; ++r)
        for (int c = 0; c <= n; ++c) pts.push_back({c * step, r * step, height(r, c)});
    EXPECT_EQ(mesh_add_grid(m.get(), pts, n + 1, n + 1, false, false), 0);
    return m;
}

struct Owned {
    MESH3* source;
    MESH3* result;
    ~Owned() {
        if (result != source) rtc_destroy(result);
    }
};

std::vector<std::array<float, 3>> positions(const MeshFaceBlock& b) {
    std::vector<std::array<float, 3>> out;
    for (const MeshVertex& v : b.vertices) out.push_back({v.x, v.y, v.z});
    return out;
}

// A mesh of one block from a triangle list, built with an edge hash (large meshes).
std::unique_ptr<MESH3> to_mesh(const shapes::TriMesh& t) {
    rtc_register_all();
    auto m = rtc_make<MESH3>();
    MeshFaceBlock* b = mesh_face_block(m.get(), 0);
    for (const P3& p : t.points)
        b->vertices.push_back(MeshVertex{float(p[0]), float(p[1]), float(p[2]), {0, 0, 0, 0, 0, 0}});
    MeshEdgeHash hash;
    EXPECT_EQ(mesh_edge_hash_init(&hash, b, int32_t(t.faces.size()) + 1), 0);
    for (const auto& f : t.faces) EXPECT_EQ(mesh_add_triangle(b, f[0], f[1], f[2], &hash), 0);
    return m;
}

}  // namespace

// Closed meshes like scans (jittered corners) are reduced to half, and stay closed
// 2-manifolds without faces of zero area. Collapses that would break the surface are
// passed over, not the end of the reduction.
TEST(MeshReduce, ClosedMeshesLikeScansAreReduced) {
    struct Case {
        const char* what;
        shapes::TriMesh mesh;
    } cases[] = {
        {"jittered torus", shapes::jittered(shapes::torus(30, 10, 200, 100), 0.15, 1)},
        {"jittered sphere", shapes::jittered(shapes::sphere(50, 5), 0.4, 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto mesh = to_mesh(c.mesh);
        Owned r{mesh.get(), mesh_reduce(mesh.get(), 50)};
        if (r.result == mesh.get()) {
            ADD_FAILURE() << "not reduced";
            continue;
        }
        EXPECT_EQ(triangle_count(r.result), c.mesh.faces.size() / 2);
        EXPECT_EQ(unsound(r.result), "");
        EXPECT_EQ(shapes::not_closed_manifold(*r.result->blocks), "");
    }
}

TEST(MeshReduce, WhenTheMeshItselfComesBack) {
    auto sphere = make_sphere({0, 0, 0}, 10, 2);
    // An edge shared by three triangles.
    auto fan = make_mesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}}, {{0, 1, 2}, {1, 0, 3}, {0, 1, 4}});
    struct Case {
        const char* what;
        MESH3* mesh;
        double percentage;
        bool same;
    } cases[] = {
        {"95 percent", sphere.get(), 95, true},
        {"90 percent reduces", sphere.get(), 90, false},
        {"not a number", sphere.get(), std::nan(""), true},
        {"infinite", sphere.get(), INFINITY, true},
        {"minus infinity", sphere.get(), -INFINITY, true},
        {"edge with three faces", fan.get(), 60, true},
        {"null mesh", nullptr, 60, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Owned r{c.mesh, mesh_reduce(c.mesh, c.percentage)};
        EXPECT_EQ(r.result == c.mesh, c.same);
    }
}

TEST(MeshReduce, EachBlockReachesItsTarget) {
    auto m = make_sphere({0, 0, 0}, 10, 3);
    auto grid = make_grid(12, 1.0, [](int r, int c) { return std::sin(r * 0.7) * std::cos(c * 0.4); });
    // Two blocks: the grid's block goes under the sphere's.
    MeshFaceBlock* g = grid->blocks;
    grid->blocks = nullptr;
    g->next = m->blocks;
    m->blocks = g;
    const std::vector<size_t> before = {m->blocks->faces.size(), m->blocks->next->faces.size()};
    const auto positions_before = positions(*m->blocks);
    for (double pct : {10.0, 50.0, 75.0, 90.0}) {
        SCOPED_TRACE(pct);
        Owned r{m.get(), mesh_reduce(m.get(), pct)};
        ASSERT_NE(r.result, m.get());
        EXPECT_EQ(unsound(r.result), "");
        // Blocks come out in reverse chain order.
        std::vector<size_t> after;
        for (const MeshFaceBlock* b = r.result->blocks; b; b = b->next) after.insert(after.begin(), b->faces.size());
        ASSERT_EQ(after.size(), 2u);
        for (int i = 0; i < 2; ++i) {
            const auto target = static_cast<size_t>(std::floor(std::max(pct, 50.0) * 0.01 * before[i]));
            EXPECT_TRUE(after[i] == target || after[i] + 1 == target) << after[i] << " vs " << target;
        }
    }
    // The source is never touched.
    EXPECT_EQ(m->blocks->faces.size(), before[0]);
    EXPECT_EQ(positions(*m->blocks), positions_before);
}

TEST(MeshReduce, OpenGridKeepsItsOutline) {
    auto grid = make_grid(20, 1.0, [](int r, int c) { return 0.1 * ((r * 7 + c * 3) % 5); });
    std::set<std::array<float, 3>> outline;
    const auto& src = *grid->blocks;
    for (int r = 0; r <= 20; ++r)
        for (int c = 0; c <= 20; ++c)
            if (r == 0 || c == 0 || r == 20 || c == 20) {
                const MeshVertex& v = src.vertices[r * 21 + c];
                outline.insert({v.x, v.y, v.z});
            }
    Owned r{grid.get(), mesh_reduce(grid.get(), 50)};
    ASSERT_NE(r.result, grid.get());
    std::set<std::array<float, 3>> kept;
    for (const MeshVertex& v : r.result->blocks->vertices) kept.insert({v.x, v.y, v.z});
    for (const auto& p : outline) EXPECT_TRUE(kept.count(p)) << p[0] << " " << p[1];
    EXPECT_LE(r.result->blocks->faces.size(), 400u);
}

TEST(MeshReduce, LockedAndOverlongEdgesStay) {
    struct Case {
        const char* what;
        std::unique_ptr<MESH3> mesh;
        size_t faces;
    };
    std::vector<Case> cases;
    cases.push_back({"one triangle", make_mesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}), 1});
    // A closed solid whose edges are all longer than 1000: nothing to collapse.
    cases.push_back({"very large triangles", make_sphere({0, 0, 0}, 1e4, 1), 80});
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        Owned r{c.mesh.get(), mesh_reduce(c.mesh.get(), 50)};
        ASSERT_NE(r.result, c.mesh.get());
        EXPECT_EQ(triangle_count(r.result), c.faces);
        EXPECT_EQ(triangles(r.result).size(), triangles(c.mesh.get()).size());
    }
}

// The queue finds the same edges as walking every edge, collapse by collapse, on
// meshes full of equal lengths (flat grids, regular spheres) and on jittered ones.
TEST(MeshReduce, HeapMatchesPlainWalk) {
    std::vector<std::unique_ptr<MESH3>> meshes;
    meshes.push_back(make_grid(16, 1.0, [](int, int) { return 0.0; }));
    meshes.push_back(make_sphere({0, 0, 0}, 10, 3));
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> jitter(-0.3, 0.3);
    meshes.push_back(make_grid(24, 1.0, [&](int, int) { return jitter(rng); }));
    auto rough = make_sphere({0, 0, 0}, 10, 3);
    for (MeshVertex& v : rough->blocks->vertices) {
        v.x += float(jitter(rng));
        v.z += float(jitter(rng));
    }
    meshes.push_back(std::move(rough));
    for (size_t i = 0; i < meshes.size(); ++i) {
        for (double pct : {50.0, 80.0}) {
            SCOPED_TRACE(std::to_string(i) + " at " + std::to_string(pct));
            const MeshFaceBlock* block = meshes[i]->blocks;
            std::vector<int32_t> plain_trace, heap_trace;
            MeshFaceBlock plain_out, heap_out;
            ReduceModel* m1 = reduce_model_build(block, pct);
            ReduceModel* m2 = reduce_model_build(block, pct);
            ASSERT_NE(m1, nullptr);
            ASSERT_NE(m2, nullptr);
            EXPECT_EQ(reduce_model_run(m1, &plain_out, {true, &plain_trace}), 0);
            EXPECT_EQ(reduce_model_run(m2, &heap_out, {false, &heap_trace}), 0);
            reduce_model_free(m1);
            reduce_model_free(m2);
            EXPECT_FALSE(plain_trace.empty());
            EXPECT_EQ(plain_trace, heap_trace);
            EXPECT_EQ(positions(plain_out), positions(heap_out));
            ASSERT_EQ(plain_out.faces.size(), heap_out.faces.size());
            for (size_t f = 0; f < plain_out.faces.size(); ++f)
                for (int k = 0; k < 3; ++k) EXPECT_EQ(plain_out.faces[f].e[k], heap_out.faces[f].e[k]);
        }
    }
}

// Reducing a smooth surface to half keeps close to it: every collapse is chosen by
// the lengths the edges have now, so no edge grown long by earlier collapses is taken
// for a short one. Measured at corners and triangle centres against the true surface.
TEST(MeshReduce, SmoothSurfacesStayClose) {
    auto height = [](double x, double y) { return 3.0 * std::sin(y * 0.05) * std::cos(x * 0.07); };
    struct Case {
        const char* what;
        std::unique_ptr<MESH3> mesh;
        std::function<double(const P3&)> distance;
        double within;
    };
    std::vector<Case> cases;
    cases.push_back({"sphere", make_sphere({0, 0, 0}, 50, 4),
                     [](const P3& p) { return std::fabs(std::hypot(p[0], p[1], p[2]) - 50); }, 0.5});
    cases.push_back({"height grid", make_grid(60, 1.0, [&](int r, int c) { return height(c, r); }),
                     [&](const P3& p) { return std::fabs(p[2] - height(p[0], p[1])); }, 0.05});
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        Owned r{c.mesh.get(), mesh_reduce(c.mesh.get(), 50)};
        ASSERT_NE(r.result, c.mesh.get());
        double worst = 0;
        for (const auto& t : triangles(r.result)) {
            P3 centre = {0, 0, 0};
            for (const P3& p : t) {
                worst = std::max(worst, c.distance(p));
                for (int k = 0; k < 3; ++k) centre[k] += p[k] / 3;
            }
            worst = std::max(worst, c.distance(centre));
        }
        EXPECT_LT(worst, c.within);
    }
}

// Unit normals of a block's faces, and for each edge of two faces the two faces.
struct FaceNormals {
    std::vector<std::array<double, 3>> normal;
    std::vector<std::pair<size_t, size_t>> neighbours;
    explicit FaceNormals(const MeshFaceBlock& b) {
        std::map<std::pair<int32_t, int32_t>, std::vector<size_t>> by_edge;
        for (size_t f = 0; f < b.faces.size(); ++f) {
            int32_t v[3];
            edge_pair_vertices(b.edges[b.faces[f].e[0]], b.edges[b.faces[f].e[1]], &v[0], &v[1], &v[2]);
            const MeshVertex &p = b.vertices[v[0]], &q = b.vertices[v[1]], &r = b.vertices[v[2]];
            const double u[3] = {q.x - p.x, q.y - p.y, q.z - p.z}, w[3] = {r.x - p.x, r.y - p.y, r.z - p.z};
            std::array<double, 3> n{u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
            const double l = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            for (double& x : n) x = l > 0 ? x / l : 0;
            normal.push_back(n);
            for (int k = 0; k < 3; ++k)
                by_edge[{std::min(v[k], v[(k + 1) % 3]), std::max(v[k], v[(k + 1) % 3])}].push_back(f);
        }
        for (const auto& [e, faces] : by_edge)
            if (faces.size() == 2) neighbours.push_back({faces[0], faces[1]});
    }
    // The least dot product of the normals of two neighbours (-1: folded flat on each other).
    double worst_fold() const {
        double worst = 1;
        for (const auto& [f, g] : neighbours) {
            const auto &p = normal[f], &q = normal[g];
            worst = std::min(worst, p[0] * q[0] + p[1] * q[1] + p[2] * q[2]);
        }
        return worst;
    }
};

// Reduced again and again as far as it goes, a closed mesh stays a closed 2-manifold
// of at least four faces, with no two neighbouring faces folded onto each other (as a
// coarse torus was, down to 18 faces), and a flat grid with jittered corners keeps
// every face facing its side.
TEST(MeshReduce, RepeatedReductionNeitherFoldsNorTurnsFaces) {
    struct Case {
        const char* what;
        std::unique_ptr<MESH3> mesh;
        bool closed;
    };
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> jitter(-0.45, 0.45);
    std::vector<Case> cases;
    cases.push_back({"torus 8 x 8", to_mesh(shapes::torus(30, 10, 8, 8)), true});
    cases.push_back({"torus 16 x 8", to_mesh(shapes::torus(30, 10, 16, 8)), true});
    cases.push_back({"torus 24 x 6", to_mesh(shapes::torus(30, 10, 24, 6)), true});
    cases.push_back({"icosahedron", to_mesh(shapes::sphere(10, 0)), true});
    cases.push_back({"jittered sphere", to_mesh(shapes::jittered(shapes::sphere(10, 2), 0.5, 4)), true});
    auto grid = make_grid(24, 1.0, [](int, int) { return 0.0; });
    for (MeshVertex& v : grid->blocks->vertices)
        if (v.x > 0 && v.x < 24 && v.y > 0 && v.y < 24) v.x += float(jitter(rng)), v.y += float(jitter(rng));
    cases.push_back({"jittered flat grid", std::move(grid), false});
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::deque<Owned> steps;  // each result owned, never moved
        MESH3* at = c.mesh.get();
        const double up = FaceNormals(*at->blocks).normal[0][2];  // the grid's side, +1 or -1
        for (int pass = 0; pass < 8; ++pass) {
            steps.emplace_back(at, mesh_reduce(at, 50));
            if (steps.back().result == at) break;
            at = steps.back().result;
            const MeshFaceBlock& b = *at->blocks;
            const FaceNormals n(b);
            if (c.closed) {
                EXPECT_GE(b.faces.size(), 4u) << pass;
                EXPECT_EQ(shapes::not_closed_manifold(b), "") << pass;
                EXPECT_GE(n.worst_fold(), -0.866) << pass << ": " << b.faces.size() << " faces";
            } else {
                for (const auto& f : n.normal) EXPECT_GT(f[2] * up, 0) << pass;
            }
        }
    }
}
