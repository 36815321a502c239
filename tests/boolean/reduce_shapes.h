// Closed meshes like scans, for the reduction tests and benchmark: tubes around a
// closed curve (a torus, a trefoil knot) and icospheres, their corners jittered by a
// fixed seed; and the check that a block is a closed 2-manifold. Header only, without
// the test framework.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/boolean/mesh_shapes.h"

namespace shapes {

struct TriMesh {
    std::vector<P3> points;
    std::vector<std::array<int, 3>> faces;  // counter-clockwise seen from outside
};

// A tube of radius r around the closed curve `centre(t)`, t in [0, 2 pi): `around`
// rings of `sides` points, each ring square to the curve (frames carried along the
// curve, the last ring's twist spread over the whole tube so the ends meet).
template <class Curve>
TriMesh tube(const Curve& centre, double r, int around, int sides) {
    auto sub = [](P3 a, P3 b) { return P3{a[0] - b[0], a[1] - b[1], a[2] - b[2]}; };
    auto cross = [](P3 a, P3 b) {
        return P3{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    };
    auto dot = [](P3 a, P3 b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
    auto unit = [&](P3 a) {
        const double l = std::sqrt(dot(a, a));
        return P3{a[0] / l, a[1] / l, a[2] / l};
    };
    const double step = 2 * M_PI / around;
    std::vector<P3> c(around + 1), tangent(around + 1), normal(around + 1);
    for (int i = 0; i <= around; ++i) {
        c[i] = centre(i * step);
        tangent[i] = unit(sub(centre(i * step + 1e-4), centre(i * step - 1e-4)));
    }
    // Parallel transport of a normal along the curve.
    P3 seed = std::fabs(tangent[0][2]) < 0.9 ? P3{0, 0, 1} : P3{1, 0, 0};
    normal[0] = unit(cross(cross(tangent[0], seed), tangent[0]));
    for (int i = 1; i <= around; ++i) {
        const P3 n = normal[i - 1], t = tangent[i];
        normal[i] = unit(sub(n, P3{t[0] * dot(n, t), t[1] * dot(n, t), t[2] * dot(n, t)}));
    }
    const P3 b0 = cross(tangent[0], normal[0]);
    const double twist = std::atan2(dot(normal[around], b0), dot(normal[around], normal[0]));
    TriMesh m;
    for (int i = 0; i < around; ++i) {
        const P3 n = normal[i], b = cross(tangent[i], n);
        for (int j = 0; j < sides; ++j) {
            const double a = 2 * M_PI * j / sides - twist * i / around;
            const double cn = r * std::cos(a), sn = r * std::sin(a);
            m.points.push_back({c[i][0] + cn * n[0] + sn * b[0], c[i][1] + cn * n[1] + sn * b[1],
                                c[i][2] + cn * n[2] + sn * b[2]});
        }
    }
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < sides; ++j) {
            const int p = i * sides + j, q = i * sides + (j + 1) % sides;
            const int s = ((i + 1) % around) * sides + j, t = ((i + 1) % around) * sides + (j + 1) % sides;
            m.faces.push_back({p, t, s});
            m.faces.push_back({p, q, t});
        }
    return m;
}

inline TriMesh torus(double major, double minor, int around, int sides) {
    return tube([major](double t) { return P3{major * std::cos(t), major * std::sin(t), 0}; }, minor, around, sides);
}

// A trefoil knot of about `size` across.
inline TriMesh trefoil(double size, double r, int around, int sides) {
    const double k = size / 6;
    return tube(
        [k](double t) {
            return P3{k * (std::sin(t) + 2 * std::sin(2 * t)), k * (std::cos(t) - 2 * std::cos(2 * t)),
                      -k * std::sin(3 * t)};
        },
        r, around, sides);
}

inline TriMesh sphere(double radius, int level) {
    TriMesh m;
    icosphere(level, &m.points, &m.faces);
    for (P3& p : m.points)
        for (double& x : p) x *= radius;
    return m;
}

// Moves every corner by up to `amount` along each axis (uniform, fixed seed).
inline TriMesh jittered(TriMesh m, double amount, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> d(-amount, amount);
    for (P3& p : m.points)
        for (double& x : p) x += d(rng);
    return m;
}

// Why a block is not a closed, oriented 2-manifold by its vertex numbers (every edge
// has two faces that run it opposite ways, the faces around each vertex make one
// fan), or "" when it is.
inline std::string not_closed_manifold(const MeshFaceBlock& b) {
    std::map<std::pair<int32_t, int32_t>, int> directed;
    std::map<int32_t, std::map<int32_t, int32_t>> fan;  // vertex: next corner -> the one after
    for (const MeshFace& f : b.faces) {
        int32_t v[3];
        edge_pair_vertices(b.edges[f.e[0]], b.edges[f.e[1]], &v[0], &v[1], &v[2]);
        for (int k = 0; k < 3; ++k) {
            if (++directed[{v[k], v[(k + 1) % 3]}] > 1) return "edge run twice the same way";
            if (!fan[v[k]].emplace(v[(k + 1) % 3], v[(k + 2) % 3]).second) return "fan repeats a corner";
        }
    }
    for (const auto& [e, n] : directed)
        if (!directed.count({e.second, e.first})) return "open edge";
    for (const auto& [v, next] : fan) {
        size_t steps = 0;
        int32_t at = next.begin()->first;
        do {
            auto it = next.find(at);
            if (it == next.end()) return "open fan";
            at = it->second;
        } while (++steps <= next.size() && at != next.begin()->first);
        if (steps != next.size()) return "vertex with two fans";
    }
    return "";
}

}  // namespace shapes
