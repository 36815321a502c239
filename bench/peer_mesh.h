// Plain triangle meshes shared by the boolean and reduction benchmarks and their
// peers: icospheres and height grids, and conversion to and from MESH3.
#pragma once

#include <cmath>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "model/db/solid.h"
#include "model/mesh/mesh_block.h"
#include "model/rtc/rtc.h"

struct PeerMesh {
    std::vector<float> xyz;           // three floats a vertex
    std::vector<uint32_t> triangles;  // three indices a triangle, counter-clockwise seen from outside
};

// An icosphere of 20 * 4^level triangles.
inline PeerMesh peer_icosphere(double cx, double cy, double cz, double radius, int level) {
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    std::vector<std::array<double, 3>> v = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0}, {0, -1, t}, {0, 1, t},
                                            {0, -1, -t}, {0, 1, -t}, {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    std::vector<uint32_t> f = {0, 11, 5, 0, 5, 1, 0, 1, 7, 0, 7, 10, 0, 10, 11, 1, 5, 9, 5, 11, 4, 11, 10, 2,
                               10, 7, 6, 7, 1, 8, 3, 9, 4, 3, 4, 2, 3, 2, 6, 3, 6, 8, 3, 8, 9, 4, 9, 5,
                               2, 4, 11, 6, 2, 10, 8, 6, 7, 9, 8, 1};
    auto norm = [](std::array<double, 3> p) {
        const double l = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        return std::array<double, 3>{p[0] / l, p[1] / l, p[2] / l};
    };
    for (auto& p : v) p = norm(p);
    for (int l = 0; l < level; ++l) {
        std::map<std::pair<uint32_t, uint32_t>, uint32_t> mid;
        auto middle = [&](uint32_t a, uint32_t b) {
            const auto key = std::minmax(a, b);
            auto it = mid.find(key);
            if (it != mid.end()) return it->second;
            v.push_back(norm({(v[a][0] + v[b][0]) / 2, (v[a][1] + v[b][1]) / 2, (v[a][2] + v[b][2]) / 2}));
            return mid[key] = uint32_t(v.size() - 1);
        };
        std::vector<uint32_t> g;
        for (size_t i = 0; i < f.size(); i += 3) {
            const uint32_t a = middle(f[i], f[i + 1]), b = middle(f[i + 1], f[i + 2]), c = middle(f[i + 2], f[i]);
            g.insert(g.end(), {f[i], a, c, f[i + 1], b, a, f[i + 2], c, b, a, b, c});
        }
        f = std::move(g);
    }
    PeerMesh m;
    for (const auto& p : v) {
        m.xyz.push_back(float(cx + p[0] * radius));
        m.xyz.push_back(float(cy + p[1] * radius));
        m.xyz.push_back(float(cz + p[2] * radius));
    }
    m.triangles = std::move(f);
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
    mesh_edge_hash_init(&hash, b, int32_t(p.triangles.size()) + 1);
    for (size_t i = 0; i < p.triangles.size(); i += 3)
        mesh_add_triangle(b, int32_t(p.triangles[i]), int32_t(p.triangles[i + 1]), int32_t(p.triangles[i + 2]), &hash);
    return m;
}

inline size_t mesh_triangles(const MESH3* m) {
    size_t n = 0;
    for (const MeshFaceBlock* b = m ? m->blocks : nullptr; b; b = b->next) n += b->faces.size();
    return n;
}

// Enclosed volume of a MESH3 (absolute value; either orientation).
inline double mesh_volume(const MESH3* m) {
    double v = 0;
    for (const MeshFaceBlock* b = m ? m->blocks : nullptr; b; b = b->next)
        for (const MeshFace& f : b->faces) {
            int32_t i[3];
            edge_pair_vertices(b->edges[f.e[0]], b->edges[f.e[1]], &i[0], &i[1], &i[2]);
            const MeshVertex &p = b->vertices[i[0]], &q = b->vertices[i[1]], &r = b->vertices[i[2]];
            v += double(p.x) * (double(q.y) * r.z - double(q.z) * r.y) - double(p.y) * (double(q.x) * r.z - double(q.z) * r.x) +
                 double(p.z) * (double(q.x) * r.y - double(q.y) * r.x);
        }
    return std::fabs(v / 6.0);
}

#if defined(ZELO_BENCH_PEERS)
// CGAL peers (cgal_peer.cpp, the only translation unit that includes CGAL).
// Corefinement boolean (0 union, 1 intersection, 2 difference): false on failure.
bool cgal_boolean(const PeerMesh& a, const PeerMesh& b, int op, double* volume, size_t* triangles);
// Edge-collapse simplification to `ratio` of the edges; the triangles left.
size_t cgal_simplify(const PeerMesh& m, double ratio);
#endif
