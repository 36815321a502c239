// The 3D text hole bridge and ear clipper as they were before they got an index:
// the bridge measuring every pair of entries, the clipper recomputing every corner
// after each ear and testing every reflex vertex against every candidate. Kept for
// the tests, which hold the indexed ones to their results.
#pragma once

#include <cstdint>
#include <new>
#include <vector>

#include "commands/model3d/triangulate.h"
#include "model/math/result.h"

namespace reference {

struct RefP2 {
    double x, y, z;
};

inline RefP2 reference_read(const ContourRecord& rec, int32_t index) {
    double v[3] = {0, 0, 0};
    rec.vertex_io(rec.vertices, index, v, 0);
    return {v[0], v[1], v[2]};
}

inline double reference_turn(const RefP2& a, const RefP2& b, const RefP2& c) {
    return (b.y - c.y) * a.x - (a.y - c.y) * b.x + (a.y - b.y) * c.x;
}

inline int reference_bridge_hole(ContourRecord* outer, const ContourRecord& hole) {
    const int32_t m = outer->count, h = hole.count;
    if (m == 0 || h == 0) return 0;
    double best = 1e30;
    int32_t bi = -1, bj = -1;
    std::vector<RefP2> op(static_cast<size_t>(m));
    for (int32_t j = 0; j < m; ++j) op[j] = reference_read(*outer, outer->entries[j].vertex);
    for (int32_t i = 0; i < h; ++i) {
        if (hole.entries[i].flags) continue;
        const RefP2 hp = reference_read(hole, hole.entries[i].vertex);
        const double a[3] = {hp.x, hp.y, hp.z};
        for (int32_t j = 0; j < m; ++j) {
            if (outer->entries[j].flags) continue;
            const double b[3] = {op[j].x, op[j].y, op[j].z};
            const double dist = vec3d_dist(a, b);
            // Pairs within rounding of the best are ties: the first keeps them, so
            // a contour scaled by any size bridges alike.
            if (dist > 0 && dist < best * (1 - 1e-10)) best = dist, bi = i, bj = j;
        }
    }
    if (bi < 0) return 0;  // nothing to bridge to
    std::vector<ContourEntry> merged;
    try {
        merged.reserve(static_cast<size_t>(m) + h + 2);
    } catch (const std::bad_alloc&) {
        return 1;
    }
    for (int32_t i = 0; i <= bi; ++i) merged.push_back(hole.entries[i]);
    merged.back().flags |= kBridgeFrom;
    for (int32_t j = bj; j < m; ++j) merged.push_back(outer->entries[j]);
    merged[static_cast<size_t>(bi) + 1].flags |= kBridgeTo;
    for (int32_t j = 0; j <= bj; ++j) merged.push_back(outer->entries[j]);
    merged.back().flags |= kBridgeFrom;
    for (int32_t i = bi; i < h; ++i) merged.push_back(hole.entries[i]);
    merged[merged.size() - static_cast<size_t>(h - bi)].flags |= kBridgeTo;
    outer->entries.swap(merged);
    outer->count = static_cast<int32_t>(outer->entries.size());
    return 0;
}

inline int reference_triangulate(void* context, int32_t* face_counter, const ContourRecord& rec, ContourFaceFn face,
                                 int32_t base, double tolerance = 1e-6) {
    const int32_t n = rec.count;
    if (n < 3 || !rec.vertex_io) return 0;
    std::vector<int32_t> pos;
    std::vector<unsigned char> convex;
    std::vector<RefP2> pt;
    try {
        pos.resize(static_cast<size_t>(n));
        convex.resize(static_cast<size_t>(n));
        pt.resize(static_cast<size_t>(n));
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    for (int32_t i = 0; i < n; ++i) {
        pos[i] = i;
        pt[i] = reference_read(rec, base + rec.entries[i].vertex);
    }
    const bool cw = rec.clockwise != 0;
    const double eps = tolerance;
    // Edge from entry e to the next entry, when it is a contour edge (consecutive,
    // not a bridge).
    auto contour_edge = [&](int32_t e, int32_t next) {
        if ((e + 1) % n != next) return false;
        return !((rec.entries[e].flags & kBridgeFrom) && (rec.entries[next].flags & kBridgeTo));
    };
    auto same_place = [&](const RefP2& a, const RefP2& b) { return a.x == b.x && a.y == b.y; };
    static const int kSwap[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    int32_t left = n;
    int32_t rot = -1;
    bool all_convex = false;
    while (left > 2) {
        int32_t guard = left;
        if (!all_convex) {
            all_convex = true;
            for (int32_t k = 0; k < left; ++k) {
                const RefP2& a = pt[pos[(k + left - 1) % left]];
                const RefP2& b = pt[pos[k]];
                const RefP2& c = pt[pos[(k + 1) % left]];
                convex[k] = (reference_turn(a, b, c) < -eps) == cw;
                if (!convex[k]) all_convex = false;
            }
        }
        int32_t ear = -1;
        for (;;) {
            rot = (rot + 1) % left;
            if (all_convex || --guard < 0) {
                ear = rot;
                break;
            }
            if (!convex[rot]) continue;
            const int32_t ip = (rot + left - 1) % left, is = (rot + 1) % left;
            const RefP2 &a = pt[pos[ip]], &b = pt[pos[rot]], &c = pt[pos[is]];
            bool blocked = false;
            for (int32_t k = 0; k < left && !blocked; ++k) {
                if (convex[k] || k == ip || k == rot || k == is) continue;
                const RefP2& q = pt[pos[k]];
                if (same_place(q, a) || same_place(q, b) || same_place(q, c)) continue;
                const double c1 = (a.x - q.x) * (b.y - q.y) - (a.y - q.y) * (b.x - q.x);
                const double c2 = (b.x - q.x) * (c.y - q.y) - (b.y - q.y) * (c.x - q.x);
                const double c3 = (c.x - q.x) * (a.y - q.y) - (c.y - q.y) * (a.x - q.x);
                blocked = (c1 > -eps && c2 > -eps && c3 > -eps) || (c1 < eps && c2 < eps && c3 < eps);
            }
            if (!blocked) {
                ear = rot;
                break;
            }
        }
        const int32_t ip = (ear + left - 1) % left, is = (ear + 1) % left;
        const int32_t ep = pos[ip], ee = pos[ear], es = pos[is];
        int bits = 0;
        if (contour_edge(ep, ee)) bits |= 4;
        if (contour_edge(ee, es)) bits |= 2;
        if (contour_edge(es, ep)) bits |= 1;
        const int32_t va = base + rec.entries[ep].vertex, vb = base + rec.entries[ee].vertex,
                      vc = base + rec.entries[es].vertex;
        if (base == 0)
            face(context, *face_counter, va, vb, vc, kSwap[bits]);
        else
            face(context, *face_counter, va, vc, vb, bits);
        ++*face_counter;
        pos.erase(pos.begin() + ear);
        convex.erase(convex.begin() + ear);
        --left;
        // The position stays where the ear was: the next advance skips one vertex.
        rot = left > 0 ? ear % left : -1;
    }
    return 0;
}

}  // namespace reference
