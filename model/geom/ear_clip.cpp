// Ear clipping of one closed contour. Of all ears (convex corners whose triangle
// holds no other vertex, not even on its border) the one with the shortest
// diagonal is cut first, the first in contour order on ties, until three
// vertices are left.
//
// The rule is evaluated incrementally so that large contours stay fast: cutting
// an ear changes only its two neighbours' corners, and can only turn a blocked
// convex corner into an ear when the cut vertex was what blocked it. Each vertex
// keeps its ear state, a blocked corner remembers one blocker, a heap keyed on
// (diagonal, position) yields the next ear. A uniform grid over the contour's
// projection finds the vertices near a small triangle; a box tree over runs of the
// contour finds those in a larger one without visiting the ones merely in its
// bounding box (long thin ears, as in a comb, span nearly all of them). The result
// is the same as testing every vertex against every other after each cut.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <queue>
#include <vector>

#include "model/geom/hatch.h"
#include "model/geom/run_box_tree.h"
#include "model/math/result.h"
#include "model/services/log.h"

namespace {

struct V3 {
    double x, y, z;
};
V3 sub(const V3& a, const V3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double dot(const V3& a, const V3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
V3 cross(const V3& a, const V3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// True when p lies outside the triangle (a, b, c); on an edge or a corner counts
// as inside.
bool point_outside_triangle(const V3& p, const V3& a, const V3& b, const V3& c) {
    V3 u = sub(a, p), v = sub(b, p), w = sub(c, p);
    double uv = dot(u, v), vw = dot(v, w), wu = dot(w, u);
    double uu = dot(u, u), vv = dot(v, v), ww = dot(w, w);
    return uv * vw - vv * wu < 0 || wu * vw - ww * uv < 0 || wu * uv - uu * vw < 0;
}

struct HeapEntry {
    double diag;
    int index;
    unsigned version;
    bool operator>(const HeapEntry& o) const {
        return diag != o.diag ? diag > o.diag : index > o.index;
    }
};

class EarClipper {
  public:
    EarClipper(std::vector<V3>&& pts, const V3& normal, double offset)
        : p_(std::move(pts)), n_(normal), offset_(offset) {
        const int n = static_cast<int>(p_.size());
        prev_.resize(n);
        next_.resize(n);
        for (int i = 0; i < n; ++i) {
            prev_[i] = (i + n - 1) % n;
            next_[i] = (i + 1) % n;
        }
        live_.assign(n, 1);
        diagonal_.assign(n, 0);
        version_.assign(n, 0);
        blocked_.resize(n);
        // Projection onto the plane of the two axes the normal leans on least.
        double ax = std::fabs(n_.x), ay = std::fabs(n_.y), az = std::fabs(n_.z);
        drop_ = (ax >= ay && ax >= az) ? 0 : (ay >= az ? 1 : 2);
        build_tree();
        build_grid();
    }

    // 0, 1 an ear off the plane, 2 no ear, 3 out of memory.
    int run(PtrNode** out) {
        int remaining = static_cast<int>(p_.size());
        for (int i = 0; i < remaining; ++i) evaluate(i);
        while (remaining > 2) {
            int i = pop_ear();
            if (i < 0) return kEarClipNoEar;
            const int a = prev_[i], c = next_[i];
            const double d = std::fabs(dot(n_, p_[c]) - offset_);
            if (d > 0.001 * std::fabs(offset_)) {
                log_message(LogLevel::debug, "ear off the contour's plane: min_diag=%g", diag(i));
                return kEarClipNoPlane;
            }
            const bool last = remaining == 3;
            if (emit(a, i, c, last, out)) return kEarClipOutOfMemory;
            diagonal_[a] = 1;  // the edge a-c is a cut
            kill(i);
            next_[a] = c;
            prev_[c] = a;
            --remaining;
            evaluate(a);
            evaluate(c);
            for (int j : blocked_[i])
                if (live_[j] && j != a && j != c) evaluate(j);
            blocked_[i].clear();
            blocked_[i].shrink_to_fit();
        }
        return 0;
    }

    std::vector<V3> unshifted;  // the original points, for the output

  private:
    double diag(int i) const {
        V3 d = sub(p_[next_[i]], p_[prev_[i]]);
        return dot(d, d);
    }

    // The axes kept by the projection: u and w are these coordinates of a point.
    int axis_u() const { return drop_ == 0 ? 1 : 0; }
    int axis_w() const { return drop_ == 2 ? 1 : 2; }

    void project(const V3& v, double* u, double* w) const {
        if (drop_ == 0) {
            *u = v.y;
            *w = v.z;
        } else if (drop_ == 1) {
            *u = v.x;
            *w = v.z;
        } else {
            *u = v.x;
            *w = v.y;
        }
    }

    // The box tree over runs of the contour (see run_box_tree.h). Its boxes are kept
    // in space: points rounded off the contour's plane are judged by the vertex test
    // where they lie, not where the projection puts them.
    static constexpr int kGridCells = 4;

    void build_tree() {
        const int n = static_cast<int>(p_.size());
        uv_.resize(n);
        for (int i = 0; i < n; ++i) project(p_[i], &uv_[i].u, &uv_[i].w);
        tree_.build(p_);
    }

    // A uniform grid over the same projection (after the tree, whose root box it
    // takes): the quick lookup for small triangles.
    void build_grid() {
        const int n = static_cast<int>(p_.size());
        double u0 = INFINITY, w0 = INFINITY, u1 = -INFINITY, w1 = -INFINITY;
        if (n > 0) {
            const RunBoxTree::Node& root = tree_.root();
            u0 = root.lo[axis_u()];
            u1 = root.hi[axis_u()];
            w0 = root.lo[axis_w()];
            w1 = root.hi[axis_w()];
        }
        int side = std::max(1, static_cast<int>(std::sqrt(double(n) / 2)));
        side = std::min(side, 1024);
        gu_ = gw_ = side;
        u0_ = u0;
        w0_ = w0;
        cu_ = (u1 - u0) / side;
        cw_ = (w1 - w0) / side;
        if (!(cu_ > 0) || !std::isfinite(cu_)) cu_ = 1;
        if (!(cw_ > 0) || !std::isfinite(cw_)) cw_ = 1;
        cells_.assign(size_t(gu_) * gw_, {});
        for (int i = 0; i < n; ++i)
            cells_[size_t(cell_w(uv_[i].w)) * gu_ + cell_u(uv_[i].u)].push_back(i);
    }
    int cell_u(double u) const {
        double c = std::floor((u - u0_) / cu_);
        return static_cast<int>(std::clamp(c, 0.0, double(gu_ - 1)));
    }
    int cell_w(double w) const {
        double c = std::floor((w - w0_) / cw_);
        return static_cast<int>(std::clamp(c, 0.0, double(gw_ - 1)));
    }

    void kill(int i) {
        live_[i] = 0;
        tree_.kill(i);
    }

    // j when it is a live vertex other than the corners in or on the triangle, else -1.
    int test_vertex(int j, int a, int i, int c, double lo_u, double hi_u, double lo_w,
                    double hi_w) const {
        if (!live_[j] || j == a || j == i || j == c) return -1;
        const UV& q = uv_[j];
        if (q.u < lo_u || q.u > hi_u || q.w < lo_w || q.w > hi_w) return -1;
        return point_outside_triangle(p_[j], p_[a], p_[i], p_[c]) ? -1 : j;
    }

    // A live vertex other than the corners that lies in or on the triangle; -1 when none.
    // A triangle over a few grid cells looks in them; a larger one walks the tree.
    // Subtrees are skipped when their box misses the triangle's box or lies wholly
    // beyond one of its edge planes by a margin far above the rounding of the vertex
    // test, so the answer is the one the vertex test would give for every vertex.
    int find_blocker(int a, int i, int c) const {
        const UV pa = uv_[a], pi = uv_[i], pc = uv_[c];
        double lo_u = std::min({pa.u, pi.u, pc.u}), hi_u = std::max({pa.u, pi.u, pc.u});
        double lo_w = std::min({pa.w, pi.w, pc.w}), hi_w = std::max({pa.w, pi.w, pc.w});
        double eps =
            1e-9 *
            (1 + std::max({std::fabs(lo_u), std::fabs(hi_u), std::fabs(lo_w), std::fabs(hi_w)}));
        lo_u -= eps;
        hi_u += eps;
        lo_w -= eps;
        hi_w += eps;
        const int cu0 = cell_u(lo_u), cu1 = cell_u(hi_u), cw0 = cell_w(lo_w), cw1 = cell_w(hi_w);
        if ((cu1 - cu0 + 1) * (cw1 - cw0 + 1) <= kGridCells) {
            for (int gw = cw0; gw <= cw1; ++gw) {
                for (int gu = cu0; gu <= cu1; ++gu) {
                    for (int j : cells_[size_t(gw) * gu_ + gu]) {
                        if (int hit = test_vertex(j, a, i, c, lo_u, hi_u, lo_w, hi_w); hit >= 0)
                            return hit;
                    }
                }
            }
            return -1;
        }
        // The planes through the edges square to the triangle, each with the triangle
        // on its positive side; none when the triangle is too thin to tell its sides.
        // A point the vertex test finds in or on the triangle has its foot on the
        // triangle's plane inside, so it is on the positive side of all three planes
        // whatever its distance from the plane; the margin covers rounding.
        struct Edge {
            V3 m;
            double d;  // dot(m, p) + d >= 0 on the triangle's side
        };
        Edge edges[3];
        int edge_count = 0;
        const V3* corner[3] = {&p_[a], &p_[i], &p_[c]};
        double scale = 0;
        for (const V3* v : corner)
            scale = std::max({scale, std::fabs(v->x), std::fabs(v->y), std::fabs(v->z)});
        const double margin = 1e-7 * (1 + scale);
        const V3 normal = cross(sub(p_[i], p_[a]), sub(p_[c], p_[a]));
        if (std::sqrt(dot(normal, normal)) > margin * margin) {
            for (int k = 0; k < 3; ++k) {
                const V3& s = *corner[k];
                V3 m = cross(normal, sub(*corner[(k + 1) % 3], s));
                const double len = std::sqrt(dot(m, m));
                if (!(len > 0)) continue;
                m = {m.x / len, m.y / len, m.z / len};
                edges[edge_count++] = {m, margin - dot(m, s)};
            }
        }
        const int du = axis_u(), dw = axis_w();
        int found = -1;
        tree_.search(
            [&](const RunBoxTree::Node& node) {
                if (node.lo[du] > hi_u || node.hi[du] < lo_u || node.lo[dw] > hi_w || node.hi[dw] < lo_w)
                    return true;
                for (int e = 0; e < edge_count; ++e) {
                    const Edge& edge = edges[e];
                    // The box corner furthest along the plane's inward normal.
                    const V3 far{edge.m.x > 0 ? node.hi[0] : node.lo[0],
                                 edge.m.y > 0 ? node.hi[1] : node.lo[1],
                                 edge.m.z > 0 ? node.hi[2] : node.lo[2]};
                    if (dot(edge.m, far) + edge.d < 0) return true;
                }
                return false;
            },
            [&](int j) { return (found = test_vertex(j, a, i, c, lo_u, hi_u, lo_w, hi_w)) >= 0; });
        return found;
    }

    void evaluate(int i) {
        ++version_[i];
        const int a = prev_[i], c = next_[i];
        if (a == i || c == i || a == c) return;
        if (!(dot(p_[a], cross(p_[i], p_[c])) > 0)) return;  // not a convex corner
        int blocker = find_blocker(a, i, c);
        if (blocker >= 0) {
            blocked_[blocker].push_back(i);
            return;
        }
        heap_.push(HeapEntry{diag(i), i, version_[i]});
    }

    int pop_ear() {
        while (!heap_.empty()) {
            HeapEntry e = heap_.top();
            heap_.pop();
            if (live_[e.index] && version_[e.index] == e.version) {
                if (!(e.diag < 1e30)) return -1;
                return e.index;
            }
        }
        return -1;
    }

    // Prepends the triangle (a, b, c) as a closed ring with the inner-diagonal bits.
    int emit(int a, int b, int c, bool last, PtrNode** out) {
        PointNode* ring = nullptr;
        const int idx[3] = {a, b, c};
        const bool inner[3] = {diagonal_[a] != 0, diagonal_[b] != 0,
                               last ? diagonal_[c] != 0 : true};
        for (int k = 2; k >= 0; --k) {
            const V3& v = unshifted[idx[k]];
            if (plist_add(&ring, Vec3{float(v.x), float(v.y), float(v.z)})) {
                list_free(&ring);
                return kOutOfMemory;
            }
            if (inner[k]) ring->flags |= kPointInnerDiagonal;
        }
        ring->next->next->next = ring;
        if (ptrlist_add(out, ring)) {
            list_free(&ring);
            return kOutOfMemory;
        }
        return 0;
    }

    std::vector<V3> p_;  // shifted points
    V3 n_;
    double offset_;
    std::vector<int> prev_, next_;
    std::vector<char> live_, diagonal_;
    std::vector<unsigned> version_;
    std::vector<std::vector<int>> blocked_;
    std::priority_queue<HeapEntry, std::vector<HeapEntry>, std::greater<HeapEntry>> heap_;
    int drop_ = 2;
    struct UV {
        double u, w;
    };
    std::vector<UV> uv_;  // projected points
    RunBoxTree tree_;
    int gu_ = 1, gw_ = 1;
    double u0_ = 0, w0_ = 0, cu_ = 1, cw_ = 1;
    std::vector<std::vector<int>> cells_;
};

}  // namespace

int contour_ear_clip(const PointNode* ring, int points, PtrNode** out) {
    if (!ring || points <= 0) return kEarClipNoPlane;
    try {
        std::vector<V3> pts;
        pts.reserve(points);
        const PointNode* n = ring;
        for (int i = 0; i < points && n; ++i) {
            pts.push_back(V3{n->x, n->y, n->z});
            n = n->next;
            if (n == ring) break;
        }
        const int count = static_cast<int>(pts.size());
        // Newell normal.
        V3 nrm{0, 0, 0};
        for (int i = 0; i < count; ++i) {
            const V3& p = pts[i];
            const V3& q = pts[(i + 1) % count];
            nrm.x += (p.z + q.z) * (p.y - q.y);
            nrm.y += (p.x + q.x) * (p.z - q.z);
            nrm.z += (p.y + q.y) * (p.x - q.x);
        }
        double len = std::sqrt(dot(nrm, nrm));
        if (!(len > 0) || !std::isfinite(len)) return kEarClipNoPlane;
        double d = dot(nrm, pts[0]);
        if (d < 0) {
            std::reverse(pts.begin(), pts.end());
            len = -len;
        }
        nrm = {nrm.x / len, nrm.y / len, nrm.z / len};
        const double offset = d / len + 1;
        // Shifted by the unit normal, the plane never passes through the origin.
        std::vector<V3> shifted(pts.size());
        for (size_t i = 0; i < pts.size(); ++i)
            shifted[i] = {pts[i].x + nrm.x, pts[i].y + nrm.y, pts[i].z + nrm.z};
        EarClipper clipper(std::move(shifted), nrm, offset);
        clipper.unshifted = std::move(pts);
        return clipper.run(out);
    } catch (const std::bad_alloc&) {
        return kEarClipOutOfMemory;
    }
}
