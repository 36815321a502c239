// Helpers of the boolean and reduction tests: boxes, spheres and grids as meshes,
// rigid motions, volume, closedness after welding, and a timeout guard.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "commands/boolean/csg.h"
#include "tests/boolean/mesh_shapes.h"
#include "model/db/solid.h"
#include "model/mesh/mesh_block.h"
#include "model/rtc/rtc.h"

namespace csgtest {

using P3 = shapes::P3;

// A rigid motion: rotation by angles about x, y, z (radians, in that order), then a shift.
struct Motion {
    double ax = 0, ay = 0, az = 0;
    P3 shift = {0, 0, 0};
    P3 apply(P3 p) const {
        auto rot = [](double& u, double& v, double a) {
            const double c = std::cos(a), s = std::sin(a), nu = c * u - s * v, nv = s * u + c * v;
            u = nu;
            v = nv;
        };
        rot(p[1], p[2], ax);
        rot(p[2], p[0], ay);
        rot(p[0], p[1], az);
        return {p[0] + shift[0], p[1] + shift[1], p[2] + shift[2]};
    }
};

// A mesh of one free block from points and triangles (index triples). Edges of
// quadrilateral diagonals can be hidden by listing them in `hidden`.
inline std::unique_ptr<MESH3> make_mesh(const std::vector<P3>& points, const std::vector<std::array<int, 3>>& tris,
                                        const std::vector<std::pair<int, int>>& hidden = {}) {
    rtc_register_all();
    auto m = rtc_make<MESH3>();
    MeshFaceBlock* b = mesh_face_block(m.get(), 0);
    for (const P3& p : points)
        b->vertices.push_back(MeshVertex{float(p[0]), float(p[1]), float(p[2]), {0, 0, 0, 0, 0, 0}});
    for (const auto& t : tris) EXPECT_EQ(mesh_add_triangle(b, t[0], t[1], t[2]), 0);
    for (MeshEdge& e : b->edges) {
        for (const auto& h : hidden) {
            if ((e.v[0] == h.first && e.v[1] == h.second) || (e.v[0] == h.second && e.v[1] == h.first))
                e.flags = kEdgeHidden;
        }
    }
    return m;
}

// A box of the given size with its low corner at the origin, moved by `m`. Faces
// point outward; quadrilateral diagonals are hidden. `inward` reverses every face;
// bit k of `diagonals` splits the k-th quad by its other diagonal.
inline std::unique_ptr<MESH3> make_box(P3 size, const Motion& m = {}, bool inward = false, int diagonals = 0) {
    std::vector<P3> pts;
    for (int i = 0; i < 8; ++i)
        pts.push_back(m.apply({(i & 1) ? size[0] : 0, (i & 2) ? size[1] : 0, (i & 4) ? size[2] : 0}));
    // Quads listed counter-clockwise seen from outside.
    const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    std::vector<std::array<int, 3>> tris;
    std::vector<std::pair<int, int>> hidden;
    for (int k = 0; k < 6; ++k) {
        const int* r = quads[k];
        const int s = (diagonals >> k) & 1;
        const int q[4] = {r[s], r[s + 1], r[s + 2], r[(s + 3) % 4]};
        if (inward) {
            tris.push_back({q[0], q[2], q[1]});
            tris.push_back({q[0], q[3], q[2]});
        } else {
            tris.push_back({q[0], q[1], q[2]});
            tris.push_back({q[0], q[2], q[3]});
        }
        hidden.push_back({q[0], q[2]});
    }
    return make_mesh(pts, tris, hidden);
}

inline std::unique_ptr<MESH3> make_cube(double lo, double size) {
    return make_box({size, size, size}, Motion{0, 0, 0, {lo, lo, lo}});
}

// An icosphere of `level` subdivisions (20 * 4^level triangles) around `centre`.
inline std::unique_ptr<MESH3> make_sphere(P3 centre, double radius, int level, const Motion& m = {}) {
    std::vector<P3> v;
    std::vector<std::array<int, 3>> f;
    shapes::icosphere(level, &v, &f);
    for (P3& p : v) p = m.apply({centre[0] + p[0] * radius, centre[1] + p[1] * radius, centre[2] + p[2] * radius});
    return make_mesh(v, f);
}

inline P3 vpos(const MeshVertex& v) {
    return {v.x, v.y, v.z};
}

using shapes::signed_volume;
using shapes::triangle_count;
using shapes::triangles;
using shapes::volume;

// Checks of a result: every index in range, coordinates finite, no face with a
// repeated corner or without area. Empty string when sound.
inline std::string unsound(const MESH3* m) {
    for (const MeshFaceBlock* b = m ? m->blocks : nullptr; b; b = b->next) {
        const auto nv = int32_t(b->vertices.size()), ne = int32_t(b->edges.size());
        for (const MeshVertex& v : b->vertices)
            if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) return "non-finite vertex";
        for (const MeshEdge& e : b->edges)
            if (e.v[0] < 0 || e.v[0] >= nv || e.v[1] < 0 || e.v[1] >= nv) return "edge index out of range";
        for (const MeshFace& f : b->faces) {
            for (int32_t e : f.e)
                if (e < 0 || e >= ne) return "face edge out of range";
            int32_t i[3];
            edge_pair_vertices(b->edges[f.e[0]], b->edges[f.e[1]], &i[0], &i[1], &i[2]);
            if (i[0] == i[1] || i[1] == i[2] || i[0] == i[2]) return "repeated corner";
            const P3 a = vpos(b->vertices[i[0]]), p = vpos(b->vertices[i[1]]), q = vpos(b->vertices[i[2]]);
            const P3 u = {p[0] - a[0], p[1] - a[1], p[2] - a[2]}, w = {q[0] - a[0], q[1] - a[1], q[2] - a[2]};
            const double cx = u[1] * w[2] - u[2] * w[1], cy = u[2] * w[0] - u[0] * w[2], cz = u[0] * w[1] - u[1] * w[0];
            if (cx == 0 && cy == 0 && cz == 0) return "face without area";
        }
    }
    return "";
}

// Closedness after welding corners within `tol` across blocks: every directed edge
// appears as often as its reverse: once each on a manifold surface, twice each where
// two solids of a union meet along an edge only. Returns the number of directed
// edges that break the rule (0 for a closed, consistently oriented surface).
inline int open_edges(const MESH3* m, double tol = kCsgTolerance * 1.5) {
    std::vector<P3> reps;
    std::map<std::array<long long, 3>, std::vector<int>> grid;
    auto weld = [&](P3 p) {
        std::array<long long, 3> c;
        for (int k = 0; k < 3; ++k) c[k] = (long long)std::floor(p[k] / tol);
        int best = -1;
        double bd = tol;
        for (long long dx = -1; dx <= 1; ++dx)
            for (long long dy = -1; dy <= 1; ++dy)
                for (long long dz = -1; dz <= 1; ++dz) {
                    auto it = grid.find({c[0] + dx, c[1] + dy, c[2] + dz});
                    if (it == grid.end()) continue;
                    for (int r : it->second) {
                        const double d = std::hypot(reps[r][0] - p[0], reps[r][1] - p[1], reps[r][2] - p[2]);
                        if (d < bd) {
                            bd = d;
                            best = r;
                        }
                    }
                }
        if (best >= 0) return best;
        reps.push_back(p);
        grid[c].push_back(int(reps.size()) - 1);
        return int(reps.size()) - 1;
    };
    std::map<std::pair<int, int>, int> directed;
    for (const auto& t : triangles(m)) {
        const int i[3] = {weld(t[0]), weld(t[1]), weld(t[2])};
        if (i[0] == i[1] || i[1] == i[2] || i[0] == i[2]) continue;
        for (int k = 0; k < 3; ++k) ++directed[{i[k], i[(k + 1) % 3]}];
    }
    int bad = 0;
    for (const auto& [e, n] : directed) {
        auto rev = directed.find({e.second, e.first});
        if (rev == directed.end() || rev->second != n || n > 2) {
            ++bad;
            if (std::getenv("ZELO_CSG_DUMP"))
                std::printf("open %d (%g %g %g) -> (%g %g %g) n=%d rev=%d\n", n, reps[e.first][0], reps[e.first][1],
                            reps[e.first][2], reps[e.second][0], reps[e.second][1], reps[e.second][2], n,
                            rev == directed.end() ? 0 : rev->second);
        }
    }
    return bad;
}

// Runs `work` on its own thread and ends the test program when it does not finish
// within `seconds` (a hang must not stall the suite).
inline void within_seconds(double seconds, const char* what, const std::function<void()>& work) {
    struct Shared {
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
    };
    auto shared = std::make_shared<Shared>();
    std::thread t([shared, work] {
        work();
        std::lock_guard<std::mutex> lock(shared->m);
        shared->done = true;
        shared->cv.notify_all();
    });
    std::unique_lock<std::mutex> lock(shared->m);
    if (!shared->cv.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return shared->done; })) {
        std::fprintf(stderr, "timeout: %s did not finish in %.0f s\n", what, seconds);
        std::fflush(stderr);
        std::_Exit(3);
    }
    lock.unlock();
    t.join();
}

}  // namespace csgtest
