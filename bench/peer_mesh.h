// Plain triangle meshes shared by the boolean and reduction benchmarks and their
// peers: icospheres and height grids, and conversion to and from MESH3.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "model/db/solid.h"
#include "model/mesh/mesh_block.h"
#include "model/rtc/rtc.h"
#include "tests/boolean/mesh_shapes.h"

struct PeerMesh {
    std::vector<float> xyz;           // three floats a vertex
    std::vector<uint32_t> triangles;  // three indices a triangle, counter-clockwise seen from outside
};

// An icosphere of 20 * 4^level triangles.
inline PeerMesh peer_icosphere(double cx, double cy, double cz, double radius, int level) {
    std::vector<shapes::P3> v;
    std::vector<std::array<int, 3>> f;
    shapes::icosphere(level, &v, &f);
    PeerMesh m;
    for (const auto& p : v) {
        m.xyz.push_back(float(cx + p[0] * radius));
        m.xyz.push_back(float(cy + p[1] * radius));
        m.xyz.push_back(float(cz + p[2] * radius));
    }
    for (const auto& t : f) m.triangles.insert(m.triangles.end(), {uint32_t(t[0]), uint32_t(t[1]), uint32_t(t[2])});
    return m;
}

// A grid of n x n cells (2 n^2 triangles) with a gentle height field.
inline PeerMesh peer_grid(int n) {
    PeerMesh m;
    for (int r = 0; r <= n; ++r)
        for (int c = 0; c <= n; ++c) {
            m.xyz.push_back(float(c));
            m.xyz.push_back(float(r));
            m.xyz.push_back(float(3.0 * std::sin(r * 0.05) * std::cos(c * 0.07)));
        }
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            const uint32_t a = uint32_t(r * (n + 1) + c), b = a + 1, d = a + uint32_t(n + 1), e = d + 1;
            m.triangles.insert(m.triangles.end(), {a, b, e, a, e, d});
        }
    return m;
}

inline std::unique_ptr<MESH3> peer_to_mesh(const PeerMesh& p) {
    rtc_register_all();
    auto m = rtc_make<MESH3>();
    MeshFaceBlock* b = mesh_face_block(m.get(), 0);
    for (size_t i = 0; i < p.xyz.size(); i += 3)
        b->vertices.push_back(MeshVertex{p.xyz[i], p.xyz[i + 1], p.xyz[i + 2], {0, 0, 0, 0, 0, 0}});
    MeshEdgeHash hash;
    (void)mesh_edge_hash_init(&hash, b, int32_t(p.triangles.size()) + 1);
    for (size_t i = 0; i < p.triangles.size(); i += 3)
        (void)mesh_add_triangle(b, int32_t(p.triangles[i]), int32_t(p.triangles[i + 1]),
                                int32_t(p.triangles[i + 2]), &hash);
    return m;
}

using shapes::triangle_count;
using shapes::volume;

#if defined(ZELO_BENCH_PEERS)
// CGAL peers (cgal_peer.cpp, the only translation unit that includes CGAL).
// Corefinement boolean (0 union, 1 intersection, 2 difference): false on failure.
bool cgal_boolean(const PeerMesh& a, const PeerMesh& b, int op, double* volume, size_t* triangles);
// Null when the mesh is a closed surface without self-intersection that bounds a
// volume, else what is wrong with it.
const char* cgal_unsound_solid(const PeerMesh& m);
// Edge-collapse simplification to `ratio` of the edges; the triangles left.
size_t cgal_simplify(const PeerMesh& m, double ratio);
#endif
