// The triangulation oracle shared by the tests and the fuzz target: triangles of a
// region (outer contours less holes, even-odd) must sum to its area, each run like
// the outer (clockwise) with its centroid inside, and show only contour edges.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "model/math/types.h"

struct OracleFace {
    int32_t a, b, c, bits;
};

// Contours: vertex ranges [first, last] into `v`.
struct OracleRange {
    int32_t first, last;
};

inline double oracle_area2(const Vec3d& a, const Vec3d& b, const Vec3d& c) {
    return (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
}

inline bool oracle_inside(const std::vector<Vec3d>& v, const std::vector<OracleRange>& rs, double x, double y) {
    bool in = false;
    for (const OracleRange& r : rs)
        for (int32_t i = r.first, j = r.last; i <= r.last; j = i++) {
            const Vec3d &p = v[i], &q = v[j];
            if ((p.y > y) != (q.y > y) && x < (q.x - p.x) * (y - p.y) / (q.y - p.y) + p.x) in = !in;
        }
    return in;
}

// Empty when the faces pass; else what failed first.
inline std::string oracle_check(const std::vector<Vec3d>& v, const std::vector<OracleRange>& rs,
                                const std::vector<OracleFace>& faces, double scale) {
    double region = 0;
    for (const OracleRange& r : rs)
        for (int32_t i = r.first, j = r.last; i <= r.last; j = i++) region += v[j].x * v[i].y - v[i].x * v[j].y;
    double sum = 0;
    const double tiny = 1e-9 * scale * scale;
    auto neighbours = [&](int32_t a, int32_t b) {
        for (const OracleRange& r : rs) {
            if (a < r.first || a > r.last || b < r.first || b > r.last) continue;
            const int32_t n = r.last - r.first + 1;
            const int32_t d = ((a - b) % n + n) % n;
            return d == 1 || d == n - 1;
        }
        return false;
    };
    for (const OracleFace& f : faces) {
        const double a2 = oracle_area2(v[f.a], v[f.b], v[f.c]);
        sum += a2;
        if (a2 > tiny) return "face against the outer's turning sense";
        if (a2 < -tiny * 1e3) {
            const double cx = (v[f.a].x + v[f.b].x + v[f.c].x) / 3, cy = (v[f.a].y + v[f.b].y + v[f.c].y) / 3;
            if (!oracle_inside(v, rs, cx, cy)) return "centroid outside the region";
        }
        const int32_t id[3] = {f.a, f.b, f.c};
        for (int k = 0; k < 3; ++k)
            if ((f.bits >> k) & 1)
                if (!neighbours(id[k], id[(k + 1) % 3])) return "visible edge that is no contour edge";
    }
    if (std::fabs(sum - region) > 1e-9 * scale * scale + 1e-9 * std::fabs(region))
        return "area " + std::to_string(sum) + " against " + std::to_string(region);
    return {};
}
