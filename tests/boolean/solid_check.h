// A check of boolean results that shares nothing with the engine: the shape of a
// result (closed by vertex identity, closed only within a distance, faces without
// area, orientation, signed volume) and the volume it should have, from the inputs
// alone. Header only, without the test framework, for the tests, the benchmarks and
// the long campaign.
//
// Volumes of the expected answer: |A| and |B| by the divergence theorem; |A n B|
// exactly by clipping when both solids are convex (unless faces of the two lie a
// hair apart, where the clipped figure depends on which solid's faces count as the
// coinciding ones), otherwise estimated by lines
// parallel to x through jittered cells of a grid over the common bounding box, each
// line cut exactly against both surfaces (crossings decided by 2D orientation signs
// that two triangles sharing an edge evaluate alike, so a line crosses a closed
// surface an even number of times). The estimate's error comes from the differences
// of neighbouring cells and sets the tolerance.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/db/solid.h"
#include "tests/boolean/mesh_shapes.h"

namespace solidcheck {

using P3 = std::array<double, 3>;

// Triangles over shared corners: corners with equal coordinates are one vertex.
struct Soup {
    std::vector<P3> v;
    std::vector<std::array<int, 3>> t;
};

inline Soup soup_of(const std::vector<std::array<P3, 3>>& tris) {
    Soup s;
    std::map<P3, int> index;
    for (const auto& tri : tris) {
        std::array<int, 3> f;
        for (int k = 0; k < 3; ++k) {
            auto it = index.emplace(tri[k], int(s.v.size())).first;
            if (it->second == int(s.v.size())) s.v.push_back(tri[k]);
            f[k] = it->second;
        }
        s.t.push_back(f);
    }
    return s;
}

inline Soup soup_of(const MESH3* m) {
    return soup_of(shapes::triangles(m));
}

inline P3 sub(const P3& a, const P3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
inline P3 cross(const P3& a, const P3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline double dot(const P3& a, const P3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Six times the signed volume of the tetrahedron (o, a, b, c).
inline double tet6(const P3& o, const P3& a, const P3& b, const P3& c) {
    return dot(sub(a, o), cross(sub(b, o), sub(c, o)));
}

// Signed volume, positive for corners clockwise seen from outside (the program's
// outward winding: the Box command's and every boolean result's).
inline double signed_volume(const Soup& s) {
    const P3 o = s.v.empty() ? P3{0, 0, 0} : s.v[0];
    double v = 0;
    for (const auto& f : s.t) v -= tet6(o, s.v[f[0]], s.v[f[1]], s.v[f[2]]);
    return v / 6;
}

// Directed edges (by vertex) not matched by their reverse as often as they are used:
// once each way, or twice each way where two parts of a solid touch along the edge.
inline int unmatched_edges(const Soup& s) {
    std::map<std::pair<int, int>, int> directed;
    for (const auto& f : s.t)
        for (int k = 0; k < 3; ++k)
            if (f[k] != f[(k + 1) % 3]) ++directed[{f[k], f[(k + 1) % 3]}];
    int bad = 0;
    for (const auto& [e, n] : directed) {
        const auto rev = directed.find({e.second, e.first});
        if (n > 2 || rev == directed.end() || rev->second != n) ++bad;
    }
    return bad;
}

// The soup with corners closer than `tol` merged (greedily, on a grid of cells `tol`).
inline Soup welded(const Soup& s, double tol) {
    std::vector<int> rep(s.v.size());
    std::unordered_map<int64_t, std::vector<int>> grid;
    auto key = [](int64_t x, int64_t y, int64_t z) { return (x * 73856093) ^ (y * 19349663) ^ (z * 83492791); };
    Soup out;
    for (size_t i = 0; i < s.v.size(); ++i) {
        const P3& p = s.v[i];
        const int64_t c[3] = {int64_t(std::floor(p[0] / tol)), int64_t(std::floor(p[1] / tol)),
                              int64_t(std::floor(p[2] / tol))};
        int best = -1;
        double bd = tol;
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dz = -1; dz <= 1; ++dz) {
                    auto it = grid.find(key(c[0] + dx, c[1] + dy, c[2] + dz));
                    if (it == grid.end()) continue;
                    for (int r : it->second) {
                        const P3 d = sub(out.v[r], p);
                        const double l = std::sqrt(dot(d, d));
                        if (l < bd) bd = l, best = r;
                    }
                }
        if (best < 0) {
            best = int(out.v.size());
            out.v.push_back(p);
            grid[key(c[0], c[1], c[2])].push_back(best);
        }
        rep[i] = best;
    }
    for (const auto& f : s.t) {
        const std::array<int, 3> g = {rep[f[0]], rep[f[1]], rep[f[2]]};
        if (g[0] != g[1] && g[1] != g[2] && g[0] != g[2]) out.t.push_back(g);
    }
    return out;
}

inline double surface_area(const Soup& s) {
    double a = 0;
    for (const auto& f : s.t) {
        const P3 n = cross(sub(s.v[f[1]], s.v[f[0]]), sub(s.v[f[2]], s.v[f[0]]));
        a += std::sqrt(dot(n, n)) / 2;
    }
    return a;
}

struct Shape {
    size_t triangles = 0;
    int unmatched = 0;         // by vertex identity
    int unmatched_within = 0;  // after merging corners within the distance asked
    int no_area = 0;           // faces with a repeated corner or corners on one line
    double volume = 0;         // signed, positive pointing outward (clockwise)
    bool closed() const { return unmatched == 0; }
    bool closed_within() const { return unmatched_within == 0; }
};

inline Shape shape_of(const Soup& s, double within = 0.015) {
    Shape r;
    r.triangles = s.t.size();
    r.unmatched = unmatched_edges(s);
    r.unmatched_within = r.unmatched ? unmatched_edges(welded(s, within)) : 0;
    for (const auto& f : s.t) {
        const P3 n = cross(sub(s.v[f[1]], s.v[f[0]]), sub(s.v[f[2]], s.v[f[0]]));
        if (f[0] == f[1] || f[1] == f[2] || f[0] == f[2] || (n[0] == 0 && n[1] == 0 && n[2] == 0)) ++r.no_area;
    }
    r.volume = signed_volume(s);
    return r;
}

// ---- |A n B| of two convex solids, by clipping each surface to the other's planes.

struct Plane {
    P3 n;  // outward
    double d;  // n . x = d on the plane
};

inline std::vector<Plane> planes_of(const Soup& s, double orientation) {
    std::vector<Plane> out;
    for (const auto& f : s.t) {
        P3 n = cross(sub(s.v[f[1]], s.v[f[0]]), sub(s.v[f[2]], s.v[f[0]]));
        const double l = std::sqrt(dot(n, n)) * orientation;
        if (l == 0) continue;
        n = {n[0] / l, n[1] / l, n[2] / l};
        out.push_back({n, dot(n, s.v[f[0]])});
    }
    return out;
}

// Six times the signed volume that the part of `s`'s surface inside the convex solid
// `planes` adds (seen from `o`). A face lying in one of the planes and pointing the
// same way (one of two coinciding faces) adds to `*same` instead; one pointing the
// other way never counts (the two cancel). `*unsure` is set where a face lies in one
// plane and is cut by another pointing nearly the same way (faces of several
// triangles, bent by rounding, nearly coinciding with the other's): which part then
// counts depends on the distance, and the figure may lose a face.
inline double clipped_flux(const Soup& s, double orientation, const std::vector<Plane>& planes, const P3& o,
                           double eps, double* same, bool* unsure) {
    double sum = 0;
    std::vector<P3> poly, next;
    for (const auto& f : s.t) {
        poly = {s.v[f[0]], s.v[f[1]], s.v[f[2]]};
        bool on_same = false, cut_alongside = false;
        P3 fn = cross(sub(poly[1], poly[0]), sub(poly[2], poly[0]));
        const double fl = std::sqrt(dot(fn, fn)) * orientation;
        if (fl == 0) continue;
        fn = {fn[0] / fl, fn[1] / fl, fn[2] / fl};
        for (const Plane& pl : planes) {
            double dist[3];
            for (int k = 0; k < 3; ++k) dist[k] = dot(pl.n, s.v[f[k]]) - pl.d;
            if (std::fabs(dist[0]) <= eps && std::fabs(dist[1]) <= eps && std::fabs(dist[2]) <= eps) {
                on_same = dot(fn, pl.n) > 0;
                if (on_same) {
                    if (cut_alongside) *unsure = true;
                    continue;
                }
                poly.clear();
                break;
            }
            if (dot(fn, pl.n) > 0.999 && std::max({dist[0], dist[1], dist[2]}) > 0) {
                cut_alongside = true;
                if (on_same) *unsure = true;
            }
            next.clear();
            for (size_t i = 0; i < poly.size(); ++i) {
                const P3& p = poly[i];
                const P3& q = poly[(i + 1) % poly.size()];
                const double dp = dot(pl.n, p) - pl.d, dq = dot(pl.n, q) - pl.d;
                if (dp <= 0) next.push_back(p);
                if ((dp < 0 && dq > 0) || (dp > 0 && dq < 0)) {
                    const double t = dp / (dp - dq);
                    next.push_back({p[0] + t * (q[0] - p[0]), p[1] + t * (q[1] - p[1]), p[2] + t * (q[2] - p[2])});
                }
            }
            poly.swap(next);
            if (poly.size() < 3) break;
        }
        double& to = on_same ? *same : sum;
        for (size_t i = 1; i + 1 < poly.size(); ++i) to += tet6(o, poly[0], poly[i], poly[i + 1]) * orientation;
    }
    return sum;
}

// |A n B| with the faces where the two surfaces coincide taken from A (first) and from
// B (second). The two differ where a face lies within the clipping's distance of the
// other solid's plane but that plane's face does not lie within it of the face's own:
// the part where they coincide is then counted twice or not at all. Where the
// clipping is unsure (clipped_flux) both are -1.
inline std::pair<double, double> convex_common_volumes(const Soup& a, const Soup& b) {
    // The cross product of a face's sides points outward on a counter-clockwise solid.
    const double oa = signed_volume(a) > 0 ? -1 : 1, ob = signed_volume(b) > 0 ? -1 : 1;
    double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
    for (const Soup* s : {&a, &b})
        for (const P3& p : s->v)
            for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], p[k]), hi[k] = std::max(hi[k], p[k]);
    const P3 o = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    const double eps = 1e-7 * std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2], 1.0});
    double same_a = 0, same_b = 0;
    bool unsure = false;
    const double v = clipped_flux(a, oa, planes_of(b, ob), o, eps, &same_a, &unsure) +
                     clipped_flux(b, ob, planes_of(a, oa), o, eps, &same_b, &unsure);
    if (unsure) return {-1, -1};
    return {std::max(0.0, (v + same_a) / 6), std::max(0.0, (v + same_b) / 6)};
}

inline double convex_common_volume(const Soup& a, const Soup& b) {
    return convex_common_volumes(a, b).first;
}

// ---- Lines along x: the inside of a closed surface as intervals.

// Lines are cast only within y0..y1, z0..z1: a face is binned over the cells of that
// box it covers, so a box far smaller than the faces (the sliver two solids share)
// costs no more cells than the lines it holds.
class LineCaster {
  public:
    LineCaster(const Soup& s, double y0, double z0, double y1, double z1, double cell)
        : s_(s), y0_(y0), z0_(z0), cell_(cell) {
        const int64_t last[2] = {slot(y1, y0_), slot(z1, z0_)};
        for (size_t i = 0; i < s.t.size(); ++i) {
            double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
            for (int k = 0; k < 3; ++k)
                for (int j = 0; j < 2; ++j)
                    lo[j] = std::min(lo[j], s.v[s.t[i][k]][j + 1]), hi[j] = std::max(hi[j], s.v[s.t[i][k]][j + 1]);
            if (hi[0] < y0 || lo[0] > y1 || hi[1] < z0 || lo[1] > z1) continue;
            const int64_t a0 = std::max<int64_t>(0, slot(lo[0], y0_)), a1 = std::min(last[0], slot(hi[0], y0_));
            const int64_t b0 = std::max<int64_t>(0, slot(lo[1], z0_)), b1 = std::min(last[1], slot(hi[1], z0_));
            for (int64_t a = a0; a <= a1; ++a)
                for (int64_t b = b0; b <= b1; ++b) bins_[a * 1000003 + b].push_back(int(i));
        }
    }

    // The x of every crossing of the line (y, z) with the surface, sorted.
    void crossings(double y, double z, std::vector<double>* out) const {
        out->clear();
        auto it = bins_.find(slot(y, y0_) * 1000003 + slot(z, z0_));
        if (it == bins_.end()) return;
        for (int i : it->second) {
            const auto& f = s_.t[i];
            double w[3];
            int pos = 0, neg = 0;
            for (int k = 0; k < 3; ++k) {
                w[k] = side(f[k], f[(k + 1) % 3], y, z);
                pos += w[k] > 0, neg += w[k] < 0;
            }
            if ((pos != 3 && neg != 3)) continue;
            const double sw = w[0] + w[1] + w[2];
            // w[k] weighs the corner opposite edge k, that is corner k + 2.
            double x = 0;
            for (int k = 0; k < 3; ++k) x += w[k] * s_.v[f[(k + 2) % 3]][0];
            out->push_back(x / sw);
        }
        std::sort(out->begin(), out->end());
    }

  private:
    // Cells before the box count as -1 and those far past it as 2^40 (no overflow).
    int64_t slot(double u, double origin) const {
        const double q = std::floor((u - origin) / cell_);
        return q < -1 ? -1 : q > 0x1p40 ? int64_t(1) << 40 : int64_t(q);
    }
    // Twice the signed area of (p, q, line) in the yz plane, computed from the
    // lower-numbered corner so the two faces at an edge see the same value.
    double side(int p, int q, double y, double z) const {
        const bool swap = p > q;
        const P3& a = s_.v[swap ? q : p];
        const P3& b = s_.v[swap ? p : q];
        double v = (b[1] - a[1]) * (z - a[2]) - (b[2] - a[2]) * (y - a[1]);
        if (v == 0) v = 1e-300;  // on the edge: one side, the same for both faces
        return swap ? -v : v;
    }
    const Soup& s_;
    double y0_, z0_, cell_;
    std::unordered_map<int64_t, std::vector<int>> bins_;
};

// Length of the inside of both (op 1), either (0), the first only (2) of two interval
// lists given as sorted crossings (inside between crossings 2k and 2k+1).
inline double common_length(const std::vector<double>& a, const std::vector<double>& b) {
    double len = 0;
    size_t i = 0, j = 0;
    while (i + 1 < a.size() && j + 1 < b.size()) {
        const double lo = std::max(a[i], b[j]), hi = std::min(a[i + 1], b[j + 1]);
        if (hi > lo) len += hi - lo;
        if (a[i + 1] < b[j + 1])
            i += 2;
        else
            j += 2;
    }
    return len;
}

struct Estimate {
    double value = 0;
    double error = 0;  // a generous standard error
};

// |A n B| by n x n jittered lines over the common box of the two bounding boxes.
inline Estimate line_common_volume(const Soup& a, const Soup& b, int n, uint32_t seed = 1) {
    double lo[3], hi[3];
    for (int k = 0; k < 3; ++k) lo[k] = -1e300, hi[k] = 1e300;
    for (const Soup* s : {&a, &b}) {
        double sl[3] = {1e300, 1e300, 1e300}, sh[3] = {-1e300, -1e300, -1e300};
        for (const P3& p : s->v)
            for (int k = 0; k < 3; ++k) sl[k] = std::min(sl[k], p[k]), sh[k] = std::max(sh[k], p[k]);
        for (int k = 0; k < 3; ++k) lo[k] = std::max(lo[k], sl[k]), hi[k] = std::min(hi[k], sh[k]);
    }
    Estimate e;
    if (!(hi[0] > lo[0] && hi[1] > lo[1] && hi[2] > lo[2])) return e;
    const double cy = (hi[1] - lo[1]) / n, cz = (hi[2] - lo[2]) / n;
    const double bin = std::max(cy, cz) * 2;
    LineCaster ca(a, lo[1], lo[2], hi[1], hi[2], bin), cb(b, lo[1], lo[2], hi[1], hi[2], bin);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<double> xa, xb, len(size_t(n) * n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const double y = lo[1] + (i + u(rng)) * cy, z = lo[2] + (j + u(rng)) * cz;
            ca.crossings(y, z, &xa);
            cb.crossings(y, z, &xb);
            len[size_t(i) * n + j] = common_length(xa, xb);
        }
    double sum = 0, var = 0;
    for (double l : len) sum += l;
    for (int i = 0; i + 1 < n; i += 2)
        for (int j = 0; j < n; ++j) {
            const double d = len[size_t(i) * n + j] - len[size_t(i + 1) * n + j];
            var += d * d;
        }
    e.value = sum * cy * cz;
    e.error = std::sqrt(var) * cy * cz;
    return e;
}

// ---- The verdict on one result.

enum class Verdict { right, refused, wrong };

inline const char* verdict_name(Verdict v) {
    return v == Verdict::right ? "right" : v == Verdict::refused ? "refused" : "wrong";
}

// The volumes every operation should give, with their tolerance.
struct Expected {
    double a = 0, b = 0;  // |A|, |B|
    double common = 0;    // |A n B|
    double tolerance = 0;
    bool by_lines = false;  // an estimate by lines, not the exact clipped figure
    double of(int op) const {  // 0 union, 1 intersection, 2 A - B, 3 B - A
        return op == 0 ? a + b - common : op == 1 ? common : op == 2 ? a - common : b - common;
    }
};

// The solid with its axes turned round (x, y, z to y, z, x), for lines along another axis.
inline Soup axes_turned(Soup s) {
    for (P3& p : s.v) p = {p[1], p[2], p[0]};
    return s;
}

// `convex`: both solids convex (the exact figure, where it does not depend on which
// solid's coinciding faces count); else the line estimate with `lines` x `lines` lines.
// `thin`: a solid is thinner than the lines are apart (a sliver), which lines along
// its faces rarely meet: the estimate's own error does not see that. The estimate is
// made along each axis (one of them crosses a sliver along axis-aligned faces), the
// figure is their median and the tolerance takes in their spread.
inline Expected expected_volumes(const Soup& a, const Soup& b, bool convex, int lines = 96, bool thin = false) {
    Expected e;
    e.a = std::fabs(signed_volume(a));
    e.b = std::fabs(signed_volume(b));
    // Corners rounded to float move each face by about 1e-7 of the size.
    const double rounding = 2e-6 * (e.a + e.b);
    const Estimate est = line_common_volume(a, b, lines);
    const double line_tolerance = rounding + 6 * est.error + 1e-4 * std::min(e.a, e.b);
    if (convex) {
        const auto [with_a, with_b] = convex_common_volumes(a, b);
        e.common = with_a;
        e.tolerance = rounding + 1e-9 * (e.a + e.b);
        // The clipping holds only for solids that their own planes leave whole: a face
        // of several triangles that rounding bent by more than the clipping's distance
        // is cut by its neighbours' planes, and the figure loses part of it. Faces of
        // nearly coinciding copies that their triangles bend apart may also drop out of
        // both figures alike, so the figure must agree with the lines as well.
        if (with_a >= 0 && std::fabs(with_a - with_b) <= e.tolerance &&
            std::fabs(convex_common_volume(a, a) - e.a) <= e.tolerance &&
            std::fabs(convex_common_volume(b, b) - e.b) <= e.tolerance &&
            std::fabs(with_a - est.value) <= line_tolerance)
            return e;
    }
    e.by_lines = true;
    e.common = est.value;
    e.tolerance = line_tolerance;
    if (thin) {
        const Soup a1 = axes_turned(a), b1 = axes_turned(b);
        double v[3] = {est.value, line_common_volume(a1, b1, lines).value,
                       line_common_volume(axes_turned(a1), axes_turned(b1), lines).value};
        std::sort(v, v + 3);
        e.common = v[1];
        e.tolerance += v[2] - v[0];
    }
    return e;
}

struct Judgement {
    Verdict verdict = Verdict::right;
    std::string why;  // for a wrong result
    Shape shape;
};

// A result (null when refused) against the figure it should have. Right means closed
// by vertex identity, no face without area, pointing outward (positive volume; an
// empty result passes) and the volume within the tolerance plus `slack`, which
// allows for faces the engine may move within its own welding distance.
inline Judgement judge(const MESH3* result, const Expected& e, int op, double slack) {
    Judgement j;
    if (!result) {
        j.verdict = Verdict::refused;
        return j;
    }
    const Soup s = soup_of(result);
    j.shape = shape_of(s);
    const double want = e.of(op), got = j.shape.volume;
    char buf[200];
    if (!j.shape.closed()) {
        std::snprintf(buf, sizeof buf, "open: %d edges (%d within 0.015)", j.shape.unmatched,
                      j.shape.unmatched_within);
        j.why = buf;
    } else if (j.shape.no_area) {
        std::snprintf(buf, sizeof buf, "%d faces without area", j.shape.no_area);
        j.why = buf;
    } else if (std::fabs(got - want) > e.tolerance + slack) {
        std::snprintf(buf, sizeof buf, "volume %.6g, should be %.6g (+- %.3g)", got, want, e.tolerance + slack);
        j.why = buf;
    }
    if (!j.why.empty()) j.verdict = Verdict::wrong;
    return j;
}

// The same for a call that ended with `code`: an empty answer (nothing in common) may
// also come back as no mesh with success.
inline Judgement judge_call(const MESH3* result, int code, const Expected& e, int op, double slack) {
    Judgement j = judge(result, e, op, slack);
    if (!result && code == 0 && std::fabs(e.of(op)) <= e.tolerance + slack) j.verdict = Verdict::right;
    return j;
}

}  // namespace solidcheck
