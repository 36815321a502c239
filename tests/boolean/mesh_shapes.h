// Plain mesh geometry shared by the boolean and reduction tests, the boolean command
// tests and the benchmarks: the unit icosphere, the corners of a mesh's triangles,
// triangle counts and enclosed volume. Header only, without the test framework.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "model/db/solid.h"

namespace shapes {

using P3 = std::array<double, 3>;

// Unit icosphere of 20 * 4^level triangles, corners counter-clockwise seen from outside.
inline void icosphere(int level, std::vector<P3>* points, std::vector<std::array<int, 3>>* faces) {
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    std::vector<P3> v = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0}, {0, -1, t}, {0, 1, t},
                         {0, -1, -t}, {0, 1, -t}, {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    std::vector<std::array<int, 3>> f = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                         {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                         {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                         {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    auto norm = [](P3 p) {
        const double l = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        return P3{p[0] / l, p[1] / l, p[2] / l};
    };
    for (P3& p : v) p = norm(p);
    for (int l = 0; l < level; ++l) {
        std::map<std::pair<int, int>, int> mid;
        auto middle = [&](int a, int b) {
            const auto key = std::minmax(a, b);
            auto it = mid.find(key);
            if (it != mid.end()) return it->second;
            v.push_back(norm({(v[a][0] + v[b][0]) / 2, (v[a][1] + v[b][1]) / 2, (v[a][2] + v[b][2]) / 2}));
            return mid[key] = int(v.size()) - 1;
        };
        std::vector<std::array<int, 3>> g;
        for (const auto& tri : f) {
            const int a = middle(tri[0], tri[1]), b = middle(tri[1], tri[2]), c = middle(tri[2], tri[0]);
            g.push_back({tri[0], a, c});
            g.push_back({tri[1], b, a});
            g.push_back({tri[2], c, b});
            g.push_back({a, b, c});
        }
        f = std::move(g);
    }
    *points = std::move(v);
    *faces = std::move(f);
}

// The corners of every triangle of every block.
inline std::vector<std::array<P3, 3>> triangles(const MESH3* m) {
    std::vector<std::array<P3, 3>> out;
    for (const MeshFaceBlock* b = m ? m->blocks : nullptr; b; b = b->next) {
        for (const MeshFace& f : b->faces) {
            int32_t i[3];
            edge_pair_vertices(b->edges[f.e[0]], b->edges[f.e[1]], &i[0], &i[1], &i[2]);
            std::array<P3, 3> t;
            for (int k = 0; k < 3; ++k) t[k] = {b->vertices[i[k]].x, b->vertices[i[k]].y, b->vertices[i[k]].z};
            out.push_back(t);
        }
    }
    return out;
}

inline size_t triangle_count(const MESH3* m) {
    size_t n = 0;
    for (const MeshFaceBlock* b = m ? m->blocks : nullptr; b; b = b->next) n += b->faces.size();
    return n;
}

// Signed volume by the divergence theorem, positive when the faces run clockwise seen
// from outside (the boolean engine's outward convention).
inline double signed_volume(const MESH3* m) {
    double v = 0;
    for (const auto& t : triangles(m)) {
        const P3 &a = t[0], &b = t[1], &c = t[2];
        v -= a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) + a[2] * (b[0] * c[1] - b[1] * c[0]);
    }
    return v / 6.0;
}

inline double volume(const MESH3* m) {
    return std::fabs(signed_volume(m));
}

}  // namespace shapes
