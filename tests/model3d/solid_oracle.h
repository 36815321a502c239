// Checks of a closed solid made of mesh face blocks: every vertex finite, every edge
// of a face with area (corners welded by position) used exactly twice, once in each
// direction, and the signed volume of the enclosed space.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <array>
#include <map>
#include <utility>
#include <vector>

#include "model/db/solid.h"

struct SolidCheck {
    bool finite = true;
    int faces = 0;           // triangles with area
    int bad_edges = 0;       // directed edges not matched by exactly one reverse
    double volume = 0;       // signed
};

inline SolidCheck solid_check(const MESH3& mesh, double weld = 1e-4) {
    SolidCheck out;
    std::vector<std::array<double, 3>> points;  // welded positions
    auto id_of = [&](const MeshVertex& v) {
        for (size_t i = 0; i < points.size(); ++i)
            if (std::fabs(points[i][0] - v.x) <= weld && std::fabs(points[i][1] - v.y) <= weld &&
                std::fabs(points[i][2] - v.z) <= weld)
                return static_cast<int>(i);
        points.push_back({v.x, v.y, v.z});
        return static_cast<int>(points.size() - 1);
    };
    std::map<std::pair<int, int>, int> directed;
    for (const MeshFaceBlock* b = mesh.blocks; b; b = b->next) {
        for (const MeshVertex& v : b->vertices)
            if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) out.finite = false;
        for (const MeshFace& f : b->faces) {
            int32_t c[3];
            edge_pair_vertices(b->edges[f.e[0]], b->edges[f.e[1]], &c[0], &c[1], &c[2]);
            const MeshVertex &p = b->vertices[c[0]], &q = b->vertices[c[1]], &r = b->vertices[c[2]];
            const int a = id_of(p), bb = id_of(q), cc = id_of(r);
            if (a == bb || bb == cc || a == cc) continue;
            ++out.faces;
            out.volume += (double(p.x) * (double(q.y) * r.z - double(q.z) * r.y) -
                           double(p.y) * (double(q.x) * r.z - double(q.z) * r.x) +
                           double(p.z) * (double(q.x) * r.y - double(q.y) * r.x)) / 6.0;
            ++directed[{a, bb}];
            ++directed[{bb, cc}];
            ++directed[{cc, a}];
        }
    }
    for (const auto& [e, n] : directed) {
        const auto back = directed.find({e.second, e.first});
        if (n != 1 || back == directed.end() || back->second != 1) ++out.bad_edges;
    }
    return out;
}

inline int triangle_count(const MESH3& mesh) {
    int n = 0;
    for (const MeshFaceBlock* b = mesh.blocks; b; b = b->next) n += static_cast<int>(b->faces.size());
    return n;
}

inline int block_count(const MESH3& mesh) {
    int n = 0;
    for (const MeshFaceBlock* b = mesh.blocks; b; b = b->next) ++n;
    return n;
}
