// Boolean engine: the exact cut. Every sign is decided by exact tests, with ties
// broken as if B had been moved by an infinitely small step along (1, d, d^2)
// (d itself infinitely small), so each crossing of an edge of one solid with a face
// of the other is decided once, the same way wherever it is asked, and made once as
// a point that every face touching it shares. Each cut face is then triangulated
// in its plane with the pieces of the intersection curve as fixed edges, and each
// piece learns its side of the other solid from the direction the curve runs.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "commands/boolean/csg_exact.h"
#include "commands/boolean/csg_internal.h"
#include "resources/string_ids.h"

namespace csg {

namespace {

using V2 = std::array<double, 2>;

struct DV {
    double p[3];
};

DV dv(const Vertex* v) {
    return {{v->x, v->y, v->z}};
}

// Thrown inside this file when the exact cut cannot build a sound split (rounding
// of a crossing point to float folds a piece, or a curve runs through a corner).
struct Unsplittable {
    const char* why;
};

// The sign of n . (1, d, d^2) for the normal n of triangle a, b, c: the first
// non-zero component of n.
int normal_key(const Face* f) {
    const DV a = dv(f->v[0]), b = dv(f->v[1]), c = dv(f->v[2]);
    for (int k = 0; k < 3; ++k) {
        const int i = (k + 1) % 3, j = (k + 2) % 3;
        const double pa[2] = {a.p[i], a.p[j]}, pb[2] = {b.p[i], b.p[j]}, pc[2] = {c.p[i], c.p[j]};
        const int s = orient2d(pa, pb, pc);
        if (s) return s;
    }
    return 0;
}

// The sign of w . (1, d, d^2) for w = (y - x) x (q - p).
int cross_key(const DV& x, const DV& y, const DV& p, const DV& q) {
    for (int k = 0; k < 3; ++k) {
        const int i = (k + 1) % 3, j = (k + 2) % 3;
        const double py[2] = {y.p[i], y.p[j]}, px[2] = {x.p[i], x.p[j]}, pq[2] = {q.p[i], q.p[j]},
                     pp[2] = {p.p[i], p.p[j]};
        const int s = cross2d(py, px, pq, pp);
        if (s) return s;
    }
    return 0;
}

struct Crossing {
    Edge* e;      // of one solid
    Face* f;      // of the other
    bool a_edge;  // e belongs to A
    double p[3];   // estimate
    double err;    // bound on the estimate's error in each coordinate
    uint64_t key;  // (edge, face): orders crossings alike however the pairs were met
    Vertex* va = nullptr;  // its vertex in A and in B
    Vertex* vb = nullptr;
};

struct Seg {
    int32_t face;  // index into Cut::faces
    int32_t from, to;  // crossings, along na x nb
    int32_t other;  // the face of the other solid it runs in
};

bool overlap_in_plane(const Face* f, const Face* g);

struct Cut {
    Context& ctx;
    std::vector<Face*> faces;  // A's live faces, then B's
    size_t na = 0;
    std::vector<int8_t> key;  // normal_key by face, 2 until known
    std::unordered_map<uint64_t, int32_t> crossing_of;  // (edge, face) -> crossing or -1
    std::vector<Crossing> crossings;
    std::vector<Seg> segs;
    bool zero = false;  // some test met an exact zero (settled by the tie-break)
    bool flat_contact = false;  // a face of A lies on a face of B over some area
    std::vector<std::pair<int32_t, int32_t>> flat_pairs;  // those faces
    // Where the curve crossed itself in a face: the two faces of the other solid it ran
    // in there (a fold of rounding: they cross each other).
    const Face* folded[2] = {nullptr, nullptr};

    explicit Cut(Context& c) : ctx(c) {}

    int index(const Face* f) const { return static_cast<int>(f->mark); }
    bool of_a(const Face* f) const { return size_t(index(f)) < na; }
    int nkey(const Face* f) {
        int8_t& k = key[size_t(index(f))];
        if (k == 2) k = static_cast<int8_t>(normal_key(f));
        return k;
    }

    // The side of face f's plane that vertex v of the other solid lies on (never 0).
    int side(const Face* f, const Vertex* v, bool* on = nullptr) {
        const DV a = dv(f->v[0]), b = dv(f->v[1]), c = dv(f->v[2]), p = dv(v);
        const int s = orient3d(a.p, b.p, c.p, p.p);
        if (on) *on = s == 0;
        if (s) return s;
        zero = true;
        // B moved by the step: a face of B moves away from v, a vertex of B with it.
        return of_a(f) ? nkey(f) : -nkey(f);
    }

    // Whether edge e (of the other solid than f) crosses face f.
    bool crosses(const Edge* e, const Face* f) {
        if (side(f, e->a) == side(f, e->b)) return false;
        const DV p = dv(e->a), q = dv(e->b);
        const int moved = of_a(f) ? -1 : 1;  // B's points move: ties go this way
        int first = 0;
        for (int k = 0; k < 3; ++k) {
            const DV x = dv(f->v[k]), y = dv(f->v[(k + 1) % 3]);
            int s = orient3d(p.p, q.p, x.p, y.p);
            if (!s) {
                zero = true;
                s = moved * cross_key(x, y, p, q);
            }
            if (!s) throw Unsplittable{"edge on the line of a face's edge"};
            if (k == 0) first = s;
            else if (s != first) return false;
        }
        return true;
    }

    // The crossing of e with f, made once; -1 for none.
    int32_t crossing(Edge* e, Face* f) {
        const uint64_t k = uint64_t(e->serial) << 32 | uint64_t(uint32_t(index(f)));
        auto [it, fresh] = crossing_of.try_emplace(k, -1);
        if (!fresh) return it->second;
        if (!crosses(e, f)) return -1;
        Crossing c{e, f, !of_a(f), {}, 0, k};
        const DV a = dv(f->v[0]), b = dv(f->v[1]), cc = dv(f->v[2]), p = dv(e->a), q = dv(e->b);
        c.err = crossing_estimate(a.p, b.p, cc.p, p.p, q.p, c.p);
        crossings.push_back(c);
        it->second = static_cast<int32_t>(crossings.size() - 1);
        return it->second;
    }

    // The segment where fa (of A) and fb (of B) meet, when they do.
    void pair(Face* fa, Face* fb) {
        int sa[3], sb[3];
        bool on[3];
        for (int i = 0; i < 3; ++i) sa[i] = side(fb, fa->v[i], &on[i]);
        if (on[0] && on[1] && on[2] && overlap_in_plane(fa, fb)) {
            flat_contact = true;
            flat_pairs.emplace_back(index(fa), index(fb));
        }
        if (sa[0] == sa[1] && sa[1] == sa[2]) return;
        for (int i = 0; i < 3; ++i) sb[i] = side(fa, fb->v[i]);
        if (sb[0] == sb[1] && sb[1] == sb[2]) return;
        int32_t ends[6];
        bool start[6];
        int n = 0;
        for (int i = 0; i < 3; ++i) {
            const int j = (i + 1) % 3;
            if (sa[i] != sa[j]) {
                const int32_t c = crossing(fa->e[i], fb);
                // The curve enters fa across the edge where its far end lies above fb.
                if (c >= 0 && n < 6) ends[n] = c, start[n++] = sa[j] > 0;
            }
            if (sb[i] != sb[j]) {
                const int32_t c = crossing(fb->e[i], fa);
                if (c >= 0 && n < 6) ends[n] = c, start[n++] = sb[j] < 0;
            }
        }
        if (n == 0) return;
        if (n != 2 || start[0] == start[1]) throw Unsplittable{"faces meet without two ends"};
        const int32_t from = start[0] ? ends[0] : ends[1], to = start[0] ? ends[1] : ends[0];
        segs.push_back({index(fa), from, to, index(fb)});
        segs.push_back({index(fb), from, to, index(fa)});
    }
};

// Whether two triangles in one plane share some area: no edge of either has the other
// wholly on its outer side or on its line.
bool overlap_in_plane(const Face* f, const Face* g) {
    const D3 a = pos(f->v[0]);
    const D3 n = cross(pos(f->v[1]) - a, pos(f->v[2]) - a);
    const double an[3] = {std::fabs(n.x), std::fabs(n.y), std::fabs(n.z)};
    const int drop_axis = an[0] >= an[1] && an[0] >= an[2] ? 0 : (an[1] >= an[2] ? 1 : 2);
    const int ax = (drop_axis + 1) % 3, ay = (drop_axis + 2) % 3;
    V2 p[2][3];
    for (int k = 0; k < 3; ++k) {
        const DV u = dv(f->v[k]), w = dv(g->v[k]);
        p[0][k] = {u.p[ax], u.p[ay]};
        p[1][k] = {w.p[ax], w.p[ay]};
    }
    for (int t = 0; t < 2; ++t) {
        const int turn = orient2d(p[t][0].data(), p[t][1].data(), p[t][2].data());
        for (int k = 0; k < 3; ++k) {
            bool apart = true;
            for (int j = 0; j < 3 && apart; ++j)
                apart = turn * orient2d(p[t][k].data(), p[t][(k + 1) % 3].data(), p[1 - t][j].data()) <= 0;
            if (apart) return false;
        }
    }
    return true;
}

// The area two triangles in one plane share, measured in the plane of f (projected
// on its largest normal component, then scaled back).
double overlap_area(const Face* f, const Face* g) {
    const D3 a = pos(f->v[0]);
    const D3 n = cross(pos(f->v[1]) - a, pos(f->v[2]) - a);
    const double an[3] = {std::fabs(n.x), std::fabs(n.y), std::fabs(n.z)};
    const int drop_axis = an[0] >= an[1] && an[0] >= an[2] ? 0 : (an[1] >= an[2] ? 1 : 2);
    if (an[drop_axis] == 0) return 0;
    const int ax = (drop_axis + 1) % 3, ay = (drop_axis + 2) % 3;
    const auto flat2 = [&](const Face* h, bool ccw) {
        std::vector<V2> q;
        for (int k = 0; k < 3; ++k) {
            const DV u = dv(h->v[k]);
            q.push_back({u.p[ax], u.p[ay]});
        }
        const double turn = (q[1][0] - q[0][0]) * (q[2][1] - q[0][1]) - (q[1][1] - q[0][1]) * (q[2][0] - q[0][0]);
        if ((turn < 0) == ccw) std::swap(q[1], q[2]);
        return q;
    };
    std::vector<V2> poly = flat2(g, true);
    const std::vector<V2> clip = flat2(f, true);
    for (int k = 0; k < 3 && !poly.empty(); ++k) {
        const V2 p0 = clip[size_t(k)], p1 = clip[size_t((k + 1) % 3)];
        const auto inside = [&](const V2& q) { return (p1[0] - p0[0]) * (q[1] - p0[1]) - (p1[1] - p0[1]) * (q[0] - p0[0]); };
        std::vector<V2> out;
        for (size_t i = 0; i < poly.size(); ++i) {
            const V2 u = poly[i], w = poly[(i + 1) % poly.size()];
            const double su = inside(u), sw = inside(w);
            if (su >= 0) out.push_back(u);
            if ((su >= 0) != (sw >= 0)) {
                const double t = su / (su - sw);
                out.push_back({u[0] + t * (w[0] - u[0]), u[1] + t * (w[1] - u[1])});
            }
        }
        poly = std::move(out);
    }
    double area = 0;
    for (size_t i = 0; i < poly.size(); ++i) {
        const V2 u = poly[i], w = poly[(i + 1) % poly.size()];
        area += u[0] * w[1] - u[1] * w[0];
    }
    return 0.5 * std::fabs(area) * length(n) / an[drop_axis];
}

// Whether two pieces that seem to share area only touch: pieces on either side of the
// curve, their corners rounded to float, can overlap along it by a few float steps.
// Such an overlap is nowhere wider than the rounding allowance of their box,
// so its area stays below that allowance times the longest edge of the two.
bool rounding_touch(const Face* f, const Face* g) {
    float box[6] = {f->v[0]->x, f->v[0]->y, f->v[0]->z, f->v[0]->x, f->v[0]->y, f->v[0]->z};
    double longest = 0;
    for (const Face* h : {f, g})
        for (int k = 0; k < 3; ++k) {
            const Vertex* v = h->v[k];
            const float c[3] = {v->x, v->y, v->z};
            for (int i = 0; i < 3; ++i) box[i] = std::min(box[i], c[i]), box[i + 3] = std::max(box[i + 3], c[i]);
            longest = std::max(longest, length(pos(h->v[(k + 1) % 3]) - pos(v)));
        }
    return overlap_area(f, g) <= rounding_allowance(box) * longest;
}

bool boxes_meet(const float a[6], const float b[6]) {
    for (int k = 0; k < 3; ++k) {
        if (a[k] > b[k + 3] || b[k] > a[k + 3]) return false;
    }
    return true;
}

// Every pair of faces whose boxes meet, A's face by B's, through a grid of B's faces.
template <class F>
void for_each_pair(Cut& cut, F&& visit) {
    const size_t nb = cut.faces.size() - cut.na;
    if (cut.na == 0 || nb == 0) return;
    double extent = 0;
    for (const Face* f : cut.faces)
        extent += std::max({double(f->box[3]) - f->box[0], double(f->box[4]) - f->box[1],
                            double(f->box[5]) - f->box[2]});
    constexpr double kFinestCell = 1e-6;  // keeps the cell above 0 where faces have no extent
    const double cell = std::max(2 * extent / double(cut.faces.size()), kFinestCell);
    float origin[3] = {1e30f, 1e30f, 1e30f};
    for (size_t j = cut.na; j < cut.faces.size(); ++j)
        for (int k = 0; k < 3; ++k) origin[k] = std::min(origin[k], cut.faces[j]->box[k]);
    // A face on more cells than this is met by scanning: a long sliver over a few
    // rows of cells still goes through the grid, or each would scan the other solid.
    constexpr double kMaxCells = 512;
    const auto span = [&](const float box[6], int64_t lo[3], int64_t hi[3]) {
        double cells = 1;
        for (int k = 0; k < 3; ++k) {
            const double a = std::floor((box[k] - origin[k]) / cell), b = std::floor((box[k + 3] - origin[k]) / cell);
            if (!(a >= -1e15 && b <= 1e15)) return false;
            cells *= b - a + 1;
            lo[k] = static_cast<int64_t>(a);
            hi[k] = static_cast<int64_t>(b);
        }
        return cells <= kMaxCells;
    };
    CellLists<int32_t> cells;
    cells.reserve(4 * nb);
    std::vector<int32_t> big;
    for (size_t j = cut.na; j < cut.faces.size(); ++j) {
        int64_t lo[3], hi[3];
        if (!span(cut.faces[j]->box, lo, hi)) {
            big.push_back(static_cast<int32_t>(j));
            continue;
        }
        for (int64_t x = lo[0]; x <= hi[0]; ++x)
            for (int64_t y = lo[1]; y <= hi[1]; ++y)
                for (int64_t z = lo[2]; z <= hi[2]; ++z) cells.add(x, y, z, static_cast<int32_t>(j));
    }
    if (cut.ctx.plain_pairs) {
        // The reference: every pair.
        for (size_t i = 0; i < cut.na; ++i)
            for (size_t j = cut.na; j < cut.faces.size(); ++j)
                if (boxes_meet(cut.faces[i]->box, cut.faces[j]->box)) visit(cut.faces[i], cut.faces[j]);
        return;
    }
    std::vector<uint32_t> seen(cut.faces.size(), 0);
    for (size_t i = 0; i < cut.na; ++i) {
        Face* fa = cut.faces[i];
        const uint32_t stamp = static_cast<uint32_t>(i + 1);
        const auto offer = [&](int32_t j) {
            if (seen[size_t(j)] == stamp) return;
            seen[size_t(j)] = stamp;
            if (boxes_meet(fa->box, cut.faces[size_t(j)]->box)) visit(fa, cut.faces[size_t(j)]);
        };
        int64_t lo[3], hi[3];
        if (!span(fa->box, lo, hi)) {
            for (size_t j = cut.na; j < cut.faces.size(); ++j) offer(static_cast<int32_t>(j));
            continue;
        }
        for (int64_t x = lo[0]; x <= hi[0]; ++x)
            for (int64_t y = lo[1]; y <= hi[1]; ++y)
                for (int64_t z = lo[2]; z <= hi[2]; ++z) cells.for_each(x, y, z, offer);
        for (int32_t j : big) offer(j);
    }
}

// The exact form of a crossing.
ExactPoint exact_of(const Crossing& x) {
    const DV a = dv(x.f->v[0]), b = dv(x.f->v[1]), c = dv(x.f->v[2]), p = dv(x.e->a), q = dv(x.e->b);
    return exact_crossing(a.p, b.p, c.p, p.p, q.p);
}

// How a crossing moves under the tie-break (B moved by the step).
Motion motion_of(const Crossing& x) {
    const DV a = dv(x.f->v[0]), b = dv(x.f->v[1]), c = dv(x.f->v[2]), p = dv(x.e->a), q = dv(x.e->b);
    return crossing_motion(a.p, b.p, c.p, p.p, q.p, !x.a_edge);
}

// A face split in its plane: corners 0-2, then the crossings on it. Points are held
// as estimates (p, within r of the exact point in each coordinate); a sign the
// estimates do not settle is decided on the exact points, and an exact zero as the
// 3D tests settle theirs: on the points moved with B by the step, each one exactly
// (a crossing slides along its edge), so crossings at one exact point lie apart in a
// definite order and a corner on the curve lies on a definite side of it.
struct Split {
    const Face* face = nullptr;
    const std::vector<Crossing>* crossings = nullptr;
    int ax = 0, ay = 1;                          // the plane's coordinates, counter-clockwise
    std::vector<V2> p;
    std::vector<double> r;
    mutable std::vector<std::unique_ptr<ExactPoint>> ex;  // made when first needed
    mutable std::vector<std::unique_ptr<Motion>> mo;      // likewise
    bool moves = false;                          // a face of B: its corners move
    std::vector<int32_t> ref;                    // crossing, or -1 - corner
    std::vector<std::array<int32_t, 3>> tri;
    std::unordered_map<uint64_t, int32_t> half;  // directed edge -> triangle on its left
    std::unordered_set<uint64_t> fixed;          // undirected keys of the curve's edges
    std::vector<int32_t> at;                     // point -> a triangle that has it
    int32_t last = 0;                            // the triangle of the point put in last
    uint32_t turn = 0;                           // varies where a walk step starts

    static uint64_t key(int32_t u, int32_t v) { return uint64_t(uint32_t(u)) << 32 | uint32_t(v); }
    const ExactPoint& exact(int32_t m) const {
        if (ex.size() < p.size()) ex.resize(p.size());
        std::unique_ptr<ExactPoint>& e = ex[size_t(m)];
        if (!e) {
            const int32_t c = ref[size_t(m)];
            e = std::make_unique<ExactPoint>(c < 0 ? exact_corner(dv(face->v[-1 - c]).p)
                                                   : exact_of((*crossings)[size_t(c)]));
        }
        return *e;
    }
    const Motion& motion(int32_t m) const {
        if (mo.size() < p.size()) mo.resize(p.size());
        std::unique_ptr<Motion>& e = mo[size_t(m)];
        if (!e) {
            const int32_t c = ref[size_t(m)];
            e = std::make_unique<Motion>(c < 0 ? corner_motion(moves) : motion_of((*crossings)[size_t(c)]));
        }
        return *e;
    }
    int exact_orient(int32_t a, int32_t b, int32_t c) const {
        const int s = orient2d(exact(a), exact(b), exact(c), ax, ay);
        return s ? s : orient2d_moved(exact(a), motion(a), exact(b), motion(b), exact(c), motion(c), ax, ay);
    }
    // Sign of (w - s) . (e - s).
    int dot(int32_t s, int32_t e, int32_t w) const {
        const int d = dot2d(exact(s), exact(e), exact(w), ax, ay);
        return d ? d : dot2d_moved(exact(s), motion(s), exact(e), motion(e), exact(w), motion(w), ax, ay);
    }
    int orient(int32_t a, int32_t b, int32_t c) const {
        const double ra = r[size_t(a)], rb = r[size_t(b)], rc = r[size_t(c)];
        if (ra == 0 && rb == 0 && rc == 0) {
            const int s = orient2d(p[a].data(), p[b].data(), p[c].data());
            if (s) return s;
            return exact_orient(a, b, c);
        }
        const double ux = p[b][0] - p[a][0], uy = p[b][1] - p[a][1], vx = p[c][0] - p[a][0], vy = p[c][1] - p[a][1];
        const double l = ux * vy, rr = uy * vx, det = l - rr;
        const double eu = ra + rb, ev = ra + rc;
        // The points' errors carried through, raised for the rounding of this sum (a few
        // unit roundoffs, 1e-16 each), plus the rounding of det itself (three of them).
        constexpr double kSumRounding = 1e-12, kDetRounding = 1e-15;
        const double bound = (eu * (std::fabs(vx) + std::fabs(vy)) + ev * (std::fabs(ux) + std::fabs(uy)) + 2 * eu * ev) *
                                 (1 + kSumRounding) +
                             kDetRounding * (std::fabs(l) + std::fabs(rr));
        if (det > bound) return 1;
        if (-det > bound) return -1;
        return exact_orient(a, b, c);
    }
    // Whether points u and v are one point.
    bool same(int32_t u, int32_t v) const {
        const double d = r[size_t(u)] + r[size_t(v)];
        if (std::fabs(p[u][0] - p[v][0]) > d || std::fabs(p[u][1] - p[v][1]) > d) return false;
        if (d != 0 && (compare(exact(u), exact(v), ax) != 0 || compare(exact(u), exact(v), ay) != 0)) return false;
        return compare_moved(motion(u), motion(v), ax) == 0 && compare_moved(motion(u), motion(v), ay) == 0;
    }

    void put(int32_t t, int32_t a, int32_t b, int32_t c) {
        if (orient(a, b, c) <= 0) throw Unsplittable{"piece turned over"};
        if (size_t(t) == tri.size()) tri.push_back({a, b, c});
        else tri[size_t(t)] = {a, b, c};
        half[key(a, b)] = t;
        half[key(b, c)] = t;
        half[key(c, a)] = t;
        if (at.size() < p.size()) at.resize(p.size(), -1);
        at[size_t(a)] = at[size_t(b)] = at[size_t(c)] = t;
    }
    void drop(int32_t t) {
        const auto& x = tri[size_t(t)];
        for (int k = 0; k < 3; ++k) half.erase(key(x[k], x[(k + 1) % 3]));
    }
    int32_t left_of(int32_t u, int32_t v) const {
        auto it = half.find(key(u, v));
        return it == half.end() ? -1 : it->second;
    }
    int32_t third(int32_t t, int32_t u, int32_t v) const {
        const auto& x = tri[size_t(t)];
        for (int32_t w : x)
            if (w != u && w != v) return w;
        return -1;
    }
    // Splits edge u -> v (and v -> u when a triangle lies there) at point m.
    void split_edge(int32_t u, int32_t v, int32_t m) {
        const int32_t t1 = left_of(u, v), t2 = left_of(v, u);
        if (t1 < 0) throw Unsplittable{"edge without a piece"};
        const int32_t w1 = third(t1, u, v);
        drop(t1);
        int32_t w2 = -1;
        if (t2 >= 0) {
            w2 = third(t2, v, u);
            drop(t2);
        }
        put(t1, u, m, w1);
        put(int32_t(tri.size()), m, v, w1);
        if (t2 >= 0) {
            put(t2, v, m, w2);
            put(int32_t(tri.size()), m, u, w2);
        }
    }
    // The triangle that holds point m (inside or on an edge), the one of lowest index
    // where two do; -1 when m lies outside every triangle. Walks from the triangle of
    // the last point put in, as points come in curve order; a walk that goes on too
    // long (it can circle in a triangulation far from Delaunay) gives way to a scan.
    int32_t locate(int32_t m) {
        int32_t t = last;
        for (size_t step = 0; step <= tri.size() + 8; ++step) {
            const auto& x = tri[size_t(t)];
            int32_t next = -1;
            const uint32_t r = turn++ % 3;
            for (uint32_t i = 0; i < 3 && next < 0; ++i) {
                const uint32_t k = (r + i) % 3;
                const int32_t u = x[k], v = x[(k + 1) % 3];
                if (orient(u, v, m) < 0) next = left_of(v, u);
                if (orient(u, v, m) < 0 && next < 0) return -1;  // beyond the face's edge
            }
            if (next < 0) {
                for (int k = 0; k < 3; ++k) {
                    const int32_t u = x[k], v = x[(k + 1) % 3];
                    if (orient(u, v, m) != 0) continue;
                    const int32_t o = left_of(v, u);
                    if (o >= 0 && o < t) return o;
                }
                return t;
            }
            t = next;
        }
        for (size_t u = 0; u < tri.size(); ++u) {
            const auto& x = tri[u];
            if (orient(x[0], x[1], m) >= 0 && orient(x[1], x[2], m) >= 0 && orient(x[2], x[0], m) >= 0)
                return int32_t(u);
        }
        return -1;
    }
    // Puts interior point m into the triangle that holds it.
    void insert(int32_t m) {
        const int32_t t = locate(m);
        if (t < 0) throw Unsplittable{"point outside the face"};
        const auto x = tri[size_t(t)];
        int s[3], zeros = 0;
        for (int k = 0; k < 3; ++k) {
            s[k] = orient(x[k], x[(k + 1) % 3], m);
            zeros += s[k] == 0;
        }
        if (zeros > 1) throw Unsplittable{"point on a corner"};
        last = t;
        if (zeros == 1) {
            for (int k = 0; k < 3; ++k) {
                if (s[k] != 0) continue;
                // On an edge of the face itself: the point left the face's inside.
                if (left_of(x[(k + 1) % 3], x[k]) < 0) throw Unsplittable{"point on the face's edge"};
                split_edge(x[k], x[(k + 1) % 3], m);
            }
            return;
        }
        drop(t);
        put(t, x[0], x[1], m);
        put(int32_t(tri.size()), x[1], x[2], m);
        put(int32_t(tri.size()), x[2], x[0], m);
    }
    bool crosses(int32_t u, int32_t v, int32_t s, int32_t e) const {
        return orient(s, e, u) * orient(s, e, v) < 0 && orient(u, v, s) * orient(u, v, e) < 0;
    }
    // The edges that cross the open segment s - e, in the order of a scan of the
    // triangles (by triangle, then by corner, each edge where it runs from its lower
    // point), found by a walk from the triangles around s. A point on the open segment
    // would have to split it: the curve would run through a point that is not its own.
    std::vector<std::pair<int32_t, int32_t>> crossed(int32_t s, int32_t e) const {
        const auto ahead = [&](int32_t w) { return dot(s, e, w) > 0; };
        // Around s to the triangle s, a, b whose wedge holds the segment.
        int32_t a = -1, b = -1;
        for (int dir = 0; dir < 2 && a < 0; ++dir) {
            int32_t t = at[size_t(s)];
            for (size_t step = 0; t >= 0 && step <= tri.size(); ++step) {
                const auto& x = tri[size_t(t)];
                const int i = x[0] == s ? 0 : (x[1] == s ? 1 : 2);
                const int32_t u = x[size_t((i + 1) % 3)], v = x[size_t((i + 2) % 3)];
                const int ou = orient(s, e, u), ov = orient(s, e, v);
                if ((ou == 0 && ahead(u)) || (ov == 0 && ahead(v))) throw Unsplittable{"curve through a point"};
                if (ou < 0 && ov > 0) {
                    a = u;
                    b = v;
                    break;
                }
                t = dir == 0 ? left_of(s, v) : left_of(u, s);
            }
        }
        if (a < 0) throw Unsplittable{"curve leaves its point"};
        std::vector<std::pair<int32_t, int32_t>> out;
        for (;;) {
            out.emplace_back(std::min(a, b), std::max(a, b));
            const int32_t t = left_of(b, a);
            if (t < 0) throw Unsplittable{"curve leaves the face"};
            const int32_t c = third(t, b, a);
            if (c == e) break;
            const int oc = orient(s, e, c);
            if (oc == 0) throw Unsplittable{"curve through a point"};
            (oc < 0 ? a : b) = c;
        }
        const auto order = [&](const std::pair<int32_t, int32_t>& q) {
            const int32_t t = left_of(q.first, q.second);
            const auto& x = tri[size_t(t)];
            return std::pair{t, x[0] == q.first ? 0 : (x[1] == q.first ? 1 : 2)};
        };
        std::sort(out.begin(), out.end(), [&](const auto& l, const auto& r) { return order(l) < order(r); });
        return out;
    }
    // Makes s - e an edge by flipping the edges that cross it.
    void force(int32_t s, int32_t e) {
        fixed.insert(std::min(key(s, e), key(e, s)));
        if (left_of(s, e) >= 0 || left_of(e, s) >= 0) return;
        std::vector<std::pair<int32_t, int32_t>> queue = crossed(s, e);
        size_t budget = 64 * (queue.size() + 4) * (queue.size() + 4);
        for (size_t i = 0; i < queue.size(); ++i) {
            if (--budget == 0) throw Unsplittable{"forcing the curve does not end"};
            const auto [u, v] = queue[i];
            if (fixed.count(std::min(key(u, v), key(v, u)))) throw Unsplittable{"curve crosses the curve"};
            const int32_t t1 = left_of(u, v), t2 = left_of(v, u);
            if (t1 < 0 || t2 < 0) throw Unsplittable{"curve leaves the face"};
            const int32_t x = third(t1, u, v), y = third(t2, v, u);
            // The quadrilateral u, y, v, x must be convex for the flip.
            if (!(orient(x, y, u) * orient(x, y, v) < 0)) {
                queue.emplace_back(u, v);
                continue;
            }
            drop(t1);
            drop(t2);
            put(t1, u, y, x);
            put(t2, y, v, x);
            if (crosses(x, y, s, e)) queue.emplace_back(std::min(x, y), std::max(x, y));
        }
        if (left_of(s, e) < 0) throw Unsplittable{"curve not made an edge"};
    }
};

// One face's pieces, as vertex refs, with their side of the other solid (kInside,
// kOutside or 0) and which of their edges lie on the face's edges (bit k for edge
// k of the piece: the face edge's index + 1 in 2 bits each) or on the curve.
struct Piece {
    int32_t ref[3];
    uint32_t state;
    uint8_t on_edge[3];  // 0: inside the face; k + 1: on the face's edge k
    bool curve[3];
};

void split_face(Cut& cut, Face* f, const Seg* first, const Seg* last, std::vector<Piece>& out) {
    Split s;
    s.face = f;
    s.crossings = &cut.crossings;
    s.moves = !cut.of_a(f);
    const D3 a = pos(f->v[0]);
    const D3 n = cross(pos(f->v[1]) - a, pos(f->v[2]) - a);
    const double an[3] = {std::fabs(n.x), std::fabs(n.y), std::fabs(n.z)};
    const int drop_axis = an[0] >= an[1] && an[0] >= an[2] ? 0 : (an[1] >= an[2] ? 1 : 2);
    int ax = (drop_axis + 1) % 3, ay = (drop_axis + 2) % 3;
    {
        // The sign of the normal along the dropped axis, exactly.
        const DV c[3] = {dv(f->v[0]), dv(f->v[1]), dv(f->v[2])};
        const double q[3][2] = {{c[0].p[ax], c[0].p[ay]}, {c[1].p[ax], c[1].p[ay]}, {c[2].p[ax], c[2].p[ay]}};
        if (orient2d(q[0], q[1], q[2]) < 0) std::swap(ax, ay);
    }
    s.ax = ax;
    s.ay = ay;
    std::unordered_map<int32_t, int32_t> local;  // crossing -> point
    const auto add = [&](const double* q, double err, int32_t ref) {
        s.p.push_back({q[ax], q[ay]});
        s.r.push_back(err);
        s.ref.push_back(ref);
        return int32_t(s.p.size() - 1);
    };
    for (int k = 0; k < 3; ++k) {
        const DV c = dv(f->v[k]);
        add(c.p, 0, -1 - k);
    }
    s.put(0, 0, 1, 2);
    std::vector<int32_t> on_edge[3], inner;
    const auto point_of = [&](int32_t c) {
        auto [it, fresh] = local.try_emplace(c, -1);
        if (!fresh) return it->second;
        const Crossing& x = cut.crossings[size_t(c)];
        it->second = add(x.p, x.err, c);
        int edge = -1;
        for (int k = 0; k < 3; ++k)
            if (f->e[k] == x.e) edge = k;
        (edge >= 0 ? on_edge[edge] : inner).push_back(it->second);
        return it->second;
    };
    for (const Seg* g = first; g != last; ++g) {
        point_of(g->from);
        point_of(g->to);
    }
    // No two points at one place, but for edges of the other solid on one line (two of
    // its parts touching along it, as given) crossing the face at one point: that is one
    // point of the face, where the curves of both parts meet.
    {
        std::vector<int32_t> order(s.p.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = int32_t(i);
        std::sort(order.begin(), order.end(), [&s](int32_t u, int32_t v) { return s.p[u][0] < s.p[v][0]; });
        double reach = 0;
        for (double r : s.r) reach = std::max(reach, r);
        std::vector<int32_t> one(s.p.size());  // the point each stands for
        for (size_t i = 0; i < one.size(); ++i) one[i] = int32_t(i);
        const auto root = [&one](int32_t m) {
            while (one[size_t(m)] != m) m = one[size_t(m)];
            return m;
        };
        const auto through_face = [&](int32_t m) {
            const int32_t c = s.ref[size_t(m)];
            return c >= 0 && cut.crossings[size_t(c)].f == f;
        };
        for (size_t i = 0; i < order.size(); ++i)
            for (size_t j = i + 1; j < order.size() && s.p[order[j]][0] - s.p[order[i]][0] <= 2 * reach; ++j)
                if (s.same(order[i], order[j])) {
                    if (!through_face(order[i]) || !through_face(order[j]))
                        throw Unsplittable{"two points at one place"};
                    const int32_t u = root(order[i]), v = root(order[j]);
                    if (u != v) one[size_t(std::max(u, v))] = std::min(u, v);
                }
        for (auto& [c, m] : local) m = root(m);
        const auto merged = [&](int32_t m) { return root(m) != m; };
        inner.erase(std::remove_if(inner.begin(), inner.end(), merged), inner.end());
    }
    // Points on the face's edges in order from the edge's first end (the same order in
    // both faces on the edge), split in along the face's direction.
    for (int k = 0; k < 3; ++k) {
        std::vector<int32_t>& list = on_edge[k];
        const Edge* e = f->e[k];
        // Along the coordinate in which the edge runs farthest, from e->a.
        const DV ea = dv(e->a), eb = dv(e->b);
        int along = 0;
        for (int j = 1; j < 3; ++j)
            if (std::fabs(eb.p[j] - ea.p[j]) > std::fabs(eb.p[along] - ea.p[along])) along = j;
        const int dir = eb.p[along] > ea.p[along] ? 1 : -1;
        std::vector<int32_t> order = list;
        std::sort(order.begin(), order.end(), [&](int32_t l, int32_t r) {
            const Crossing& x = cut.crossings[size_t(s.ref[size_t(l)])];
            const Crossing& y = cut.crossings[size_t(s.ref[size_t(r)])];
            const double d = (y.p[along] - x.p[along]) * dir;
            if (std::fabs(d) > x.err + y.err) return d > 0;
            int c = compare(s.exact(r), s.exact(l), along);
            if (c == 0) c = compare_moved(s.motion(r), s.motion(l), along);
            c *= dir;
            return c != 0 ? c > 0 : x.key < y.key;
        });
        if (f->v[k] != e->a) std::reverse(order.begin(), order.end());
        int32_t from = k;
        const int32_t to = (k + 1) % 3;
        for (int32_t m : order) {
            s.split_edge(from, to, m);
            from = m;
        }
    }
    for (int32_t m : inner) s.insert(m);
    for (const Seg* g = first; g != last; ++g) {
        const int32_t u = local[g->from], v = local[g->to];
        if (u == v) throw Unsplittable{"two points at one place"};
        try {
            s.force(u, v);
        } catch (const Unsplittable&) {
            // The faces of the other solid whose curves cross here, for nudge_folds.
            for (const Seg* h = first; h != g; ++h) {
                const int32_t a = local[h->from], b = local[h->to];
                if (a != u && a != v && b != u && b != v && s.crosses(a, b, u, v)) {
                    cut.folded[0] = cut.faces[size_t(g->other)];
                    cut.folded[1] = cut.faces[size_t(h->other)];
                    break;
                }
            }
            throw;
        }
    }
    // Sides. The curve runs along na x nb, and the left of it (seen from the side na
    // points to) is the direction of -nb in a face of A and of na in a face of B.
    // Solids are wound clockwise seen from outside, so normals point inward: the
    // piece on the left lies outside B in a face of A and inside A in a face of B.
    const bool face_of_a = cut.of_a(f);
    std::vector<uint32_t> state(s.tri.size(), 0);
    const auto label = [&](int32_t t, uint32_t st) {
        if (t < 0) throw Unsplittable{"piece without a side"};
        if (state[size_t(t)] && state[size_t(t)] != st) throw Unsplittable{"sides of a face disagree"};
        state[size_t(t)] = st;
    };
    for (const Seg* g = first; g != last; ++g) {
        const int32_t u = local[g->from], v = local[g->to];
        label(s.left_of(u, v), face_of_a ? kOutside : kInside);
        label(s.left_of(v, u), face_of_a ? kInside : kOutside);
    }
    // Every piece of the face takes the side of its region, so that it keeps it when
    // rounding collapses the pieces along the curve.
    std::vector<int32_t> queue;
    for (size_t t = 0; t < s.tri.size(); ++t)
        if (state[t]) queue.push_back(int32_t(t));
    while (!queue.empty()) {
        const int32_t t = queue.back();
        queue.pop_back();
        for (int k = 0; k < 3; ++k) {
            const int32_t u = s.tri[size_t(t)][size_t(k)], v = s.tri[size_t(t)][size_t((k + 1) % 3)];
            if (s.fixed.count(std::min(Split::key(u, v), Split::key(v, u)))) continue;
            const int32_t o = s.left_of(v, u);
            if (o < 0 || state[size_t(o)] == state[size_t(t)]) continue;
            label(o, state[size_t(t)]);
            queue.push_back(o);
        }
    }
    // Which face edge each point lies on (corners on two).
    std::vector<uint8_t> edges_of(s.p.size(), 0);
    for (int k = 0; k < 3; ++k) {
        edges_of[size_t(k)] |= uint8_t(1u << k);
        edges_of[size_t((k + 1) % 3)] |= uint8_t(1u << k);
        for (int32_t m : on_edge[k]) edges_of[size_t(m)] |= uint8_t(1u << k);
    }
    for (size_t t = 0; t < s.tri.size(); ++t) {
        Piece pc{};
        pc.state = state[t];
        for (int k = 0; k < 3; ++k) {
            const int32_t u = s.tri[t][size_t(k)], v = s.tri[t][size_t((k + 1) % 3)];
            pc.ref[k] = s.ref[size_t(u)];
            const uint8_t common = edges_of[size_t(u)] & edges_of[size_t(v)];
            pc.on_edge[k] = common ? uint8_t(__builtin_ctz(common) + 1) : 0;
            pc.curve[k] = s.fixed.count(std::min(Split::key(u, v), Split::key(v, u))) != 0;
        }
        out.push_back(pc);
    }
}

// A piece at its float place: corners, side, and for each edge whether it lies on the
// curve or on an edge of the face it came from.
struct Placed {
    Vertex* w[3];
    uint32_t state;
    bool curve[3];
    const Edge* along[3];
    bool gone = false;
    int32_t from = -1;  // the cut face it lies in (Cut::faces)
    bool uncut = false;  // a face the curve never cut, side not known yet
};

bool flat(const Placed& t) {
    const D3 a = pos(t.w[0]);
    const D3 n = cross(pos(t.w[1]) - a, pos(t.w[2]) - a);
    return n.x == 0 && n.y == 0 && n.z == 0;
}

// The longest edge of a piece (k from corner k to k + 1).
int long_edge(const Placed& t) {
    int k = 0;
    double longest = -1;
    for (int j = 0; j < 3; ++j) {
        const D3 d = pos(t.w[(j + 1) % 3]) - pos(t.w[j]);
        if (dot(d, d) > longest) longest = dot(d, d), k = j;
    }
    return k;
}

// Rounding to float can put a crossing exactly on the line of two other corners of a
// piece, which then has no area. Such a piece a, b, c with c between a and b goes,
// and the piece b, a, d across its long edge becomes b, c, d and c, a, d: the surface
// stays closed and no piece is flat. A long edge on the curve is left (the other
// solid's pieces hold it too), and the result's check refuses what stays flat. The
// face across may be one the curve never cut: it is split the same way.
void mend_flat_pieces(Context& ctx, Solid& s, std::vector<Placed>& ts) {
    const auto key = [](const Vertex* u, const Vertex* v) { return std::pair{u, v}; };
    struct PairHash {
        size_t operator()(const std::pair<const Vertex*, const Vertex*>& p) const {
            return std::hash<const void*>()(p.first) * 31 ^ std::hash<const void*>()(p.second);
        }
    };
    // Rounding can leave two flat pieces on one edge side by side (a fold of the curve
    // rounded flat), so an edge may have more than one piece on its left.
    std::unordered_multimap<std::pair<const Vertex*, const Vertex*>, size_t, PairHash> left;
    const auto list = [&](size_t i) {
        for (int k = 0; k < 3; ++k) left.emplace(key(ts[i].w[k], ts[i].w[(k + 1) % 3]), i);
    };
    for (size_t i = 0; i < ts.size(); ++i) list(i);
    // A piece whose corners another piece holds the other way round: rounding folded
    // a sliver along the curve onto its neighbour. Both are mended as flat pieces.
    const auto folded = [&](size_t i) {
        const Placed& t = ts[i];
        for (auto [it, end] = left.equal_range(key(t.w[1], t.w[0])); it != end; ++it) {
            const Placed& o = ts[it->second];
            if (it->second != i && !o.gone && (o.w[0] == t.w[2] || o.w[1] == t.w[2] || o.w[2] == t.w[2])) return true;
        }
        return false;
    };
    std::vector<size_t> queue;
    for (size_t i = 0; i < ts.size(); ++i)
        if (flat(ts[i]) || folded(i)) queue.push_back(i);
    if (queue.empty()) return;
    ctx.degenerate = true;
    const auto enter = [&](const Placed& t) {
        ts.push_back(t);
        list(ts.size() - 1);
        if (flat(t)) queue.push_back(ts.size() - 1);
    };
    for (size_t budget = 4 * queue.size() + 16; !queue.empty() && budget > 0; --budget) {
        const size_t i = queue.back();
        queue.pop_back();
        if (ts[i].gone) continue;
        const Placed t = ts[i];
        // The long edge, k to k + 1, lies opposite the corner between the others.
        const int k = long_edge(t);
        if (t.curve[k]) continue;
        Vertex *a = t.w[k], *b = t.w[(k + 1) % 3], *c = t.w[(k + 2) % 3];
        // The piece across the long edge, b, a, d from its corner m, with d not c.
        const auto far_corner = [&](const Placed& n) {
            int m = 0;
            while (n.w[m] != b) ++m;
            return m;
        };
        // A flat piece across whose own long edge lies on the curve is left: split at c
        // it gives two flat pieces on the same line, and re-cutting such a run spent the
        // budget before other flat pieces had their turn; split_curve_at_flat_pieces
        // takes the run as one.
        size_t ni = SIZE_MAX;
        bool run_across = false;
        for (auto [it, end] = left.equal_range(key(b, a)); it != end && ni == SIZE_MAX; ++it) {
            const Placed& n = ts[it->second];
            if (n.gone || it->second == i || n.w[(far_corner(n) + 2) % 3] == c) continue;
            if (flat(n) && n.curve[long_edge(n)])
                run_across = true;
            else
                ni = it->second;
        }
        if (ni == SIZE_MAX && run_across) continue;
        if (ni == SIZE_MAX) {
            // An uncut face of the solid across the edge becomes a piece to split.
            Face* across = nullptr;
            if (const Edge* e = edge_lookup(ctx, s, a, b, false))
                for (const FaceNode* fn = e->faces; fn && !across; fn = fn->next) {
                    Face* g = fn->face;
                    if (!live(g)) continue;
                    for (int j = 0; j < 3; ++j)
                        if (g->v[j] == b && g->v[(j + 1) % 3] == a && g->v[(j + 2) % 3] != c) across = g;
                }
            if (!across) {
                // Across the edge only the piece on the same corners the other way
                // round: the two are a sheet of no thickness (a sliver along the curve
                // rounded onto its neighbour) and add nothing to the solid. Both go;
                // each of their edges loses one use each way.
                for (auto [it, end] = left.equal_range(key(b, a)); it != end; ++it) {
                    Placed& n = ts[it->second];
                    if (!n.gone && it->second != i && n.w[(far_corner(n) + 2) % 3] == c && t.curve[(k + 1) % 3] &&
                        t.curve[(k + 2) % 3]) {
                        ts[i].gone = n.gone = true;
                        break;
                    }
                }
                continue;
            }
            across->state = kDiscarded;
            ts.push_back(Placed{{across->v[0], across->v[1], across->v[2]}, kUnclassified, {},
                                {across->e[0], across->e[1], across->e[2]}, false, int32_t(across->mark), true});
            list(ts.size() - 1);
            ni = ts.size() - 1;
        }
        const Placed n = ts[ni];
        const int m = far_corner(n);
        Vertex* d = n.w[(m + 2) % 3];
        ts[i].gone = ts[ni].gone = true;
        const uint32_t state = n.state || n.uncut ? n.state : t.state;
        // b, c, d: b - c is t's edge k + 1, d - b is n's edge m + 2; c, a, d likewise.
        enter(Placed{{b, c, d}, state, {t.curve[(k + 1) % 3], false, n.curve[(m + 2) % 3]},
                     {t.along[(k + 1) % 3], nullptr, n.along[(m + 2) % 3]}, false, n.from, n.uncut});
        enter(Placed{{c, a, d}, state, {t.curve[(k + 2) % 3], n.curve[(m + 1) % 3], false},
                     {t.along[(k + 2) % 3], n.along[(m + 1) % 3], nullptr}, false, n.from, n.uncut});
    }
}

// How face g runs along edge e: 1 from e->a to e->b, -1 the other way.
int run_along(const Face* g, const Edge* e) {
    for (int k = 0; k < 3; ++k)
        if (g->e[k] == e) return g->v[k] == e->a ? 1 : -1;
    return 0;
}

// The live faces on edge e, and how often those of `state` run along it one way more
// than the other.
std::pair<int, int> faces_and_balance(const Edge* e, uint32_t state) {
    int faces = 0, balance = 0;
    for (const FaceNode* n = e->faces; n; n = n->next) {
        const Face* g = n->face;
        if (!live(g)) continue;
        ++faces;
        if (g->state == state) balance += run_along(g, e);
    }
    return {faces, balance};
}

// A run of flat pieces of one solid on one line (split_curve_at_flat_pieces).
struct FlatRun {
    std::vector<Vertex*> p;   // the points along the run's edges other than its end-to-end edge
    std::vector<bool> curve;  // whether the edge from p[r] to p[r + 1] lies on the curve
    std::vector<size_t> pieces;
};

// Rounding can also put the middle corner c of a piece a, b, c exactly on its long
// edge a - b where that edge lies on the curve: the piece's side then closes over
// a - c - b and the other side over a - b. The curve edge is split at c in both
// solids: the piece goes, its neighbour across a - b (the other side) becomes two
// pieces on c, and the other solid's pieces on its copy of a - b are split at its
// point at c's place (`point_at` finds or makes it, nullptr when it cannot be found).
// Where the other solid holds no such edge, or a piece there already has that point,
// the piece is left to the result's check. A flat piece back to back with a piece of
// its own side on the same three corners (two slivers rounded flat onto each other)
// goes with it instead, whatever its long edge.
template <class PointAt>
void split_curve_at_flat_pieces(Context& ctx, std::vector<Placed> made[2], PointAt&& point_at) {
    using Key = std::pair<const Vertex*, const Vertex*>;
    struct PairHash {
        size_t operator()(const Key& p) const {
            return std::hash<const void*>()(p.first) * 31 ^ std::hash<const void*>()(p.second);
        }
    };
    std::unordered_multimap<Key, size_t, PairHash> left[2];
    const auto list = [&](int i, size_t x) {
        const Placed& t = made[i][x];
        for (int k = 0; k < 3; ++k) left[i].emplace(Key{t.w[k], t.w[(k + 1) % 3]}, x);
    };
    const auto enter = [&](int i, const Placed& t) {
        made[i].push_back(t);
        list(i, made[i].size() - 1);
    };
    // The live piece of solid i on directed edge u -> v, other than `not_this` and not
    // with corner `not_at`.
    const auto on_edge = [&](int i, const Vertex* u, const Vertex* v, size_t not_this, const Vertex* not_at) {
        for (auto [it, end] = left[i].equal_range(Key{u, v}); it != end; ++it) {
            const Placed& n = made[i][it->second];
            if (n.gone || it->second == not_this) continue;
            if (n.w[0] == not_at || n.w[1] == not_at || n.w[2] == not_at) continue;
            return it->second;
        }
        return SIZE_MAX;
    };
    // Splits piece x of solid i on its edge k at point m (its other edges keep their
    // flags; the halves of edge k lie on the curve, or as `first` and `second` say).
    const auto split = [&](int i, size_t x, int k, Vertex* m, bool first = true, bool second = true) {
        Placed& t = made[i][x];
        t.gone = true;
        const Placed o = t;
        Vertex *u = o.w[k], *v = o.w[(k + 1) % 3], *w = o.w[(k + 2) % 3];
        const int kv = (k + 1) % 3, kw = (k + 2) % 3;
        enter(i, Placed{{u, m, w}, o.state, {first, false, o.curve[kw]}, {o.along[k], nullptr, o.along[kw]}, false, o.from, o.uncut});
        enter(i, Placed{{m, v, w}, o.state, {second, o.curve[kv], false}, {o.along[k], o.along[kv], nullptr}, false, o.from, o.uncut});
    };
    // The run of flat pieces of solid i from piece x whose end-to-end edge is its edge
    // k, a to b: x and the flat pieces of its side joined to it across edges off the
    // curve, and the points from b to a along the run's other edges with their curve
    // flags. False when the run is not one line of such pieces.
    const auto run_of = [&](int i, size_t x, int k, FlatRun* run) {
        const Placed& t = made[i][x];
        run->pieces.assign(1, x);
        run->p.assign(1, t.w[(k + 1) % 3]);
        run->curve.clear();
        // Edges still to follow, the next one last.
        std::vector<std::tuple<Vertex*, Vertex*, bool>> edges = {
            {t.w[(k + 2) % 3], t.w[k], t.curve[(k + 2) % 3]},
            {t.w[(k + 1) % 3], t.w[(k + 2) % 3], t.curve[(k + 1) % 3]}};
        while (!edges.empty()) {
            const auto [u, v, on_curve] = edges.back();
            edges.pop_back();
            size_t o = SIZE_MAX;
            if (!on_curve)
                for (auto [it, end] = left[i].equal_range(Key{v, u}); it != end && o == SIZE_MAX;
                     ++it) {
                    const Placed& g = made[i][it->second];
                    if (!g.gone && g.state == t.state && flat(g)) o = it->second;
                }
            if (o == SIZE_MAX) {
                run->p.push_back(v);
                run->curve.push_back(on_curve);
                continue;
            }
            if (std::find(run->pieces.begin(), run->pieces.end(), o) != run->pieces.end() ||
                run->pieces.size() > 8)
                return false;
            run->pieces.push_back(o);
            const Placed& g = made[i][o];
            int q = 0;
            while (g.w[q] != v) ++q;
            Vertex* w = g.w[(q + 2) % 3];
            edges.emplace_back(w, v, g.curve[(q + 2) % 3]);
            edges.emplace_back(u, w, g.curve[(q + 1) % 3]);
        }
        return true;
    };
    bool any = false;
    for (int i = 0; i < 2; ++i)
        for (size_t x = 0; x < made[i].size(); ++x)
            if (!made[i][x].gone && flat(made[i][x])) any = true;
    if (!any) return;
    for (int i = 0; i < 2; ++i)
        for (size_t x = 0; x < made[i].size(); ++x) list(i, x);
    for (int i = 0; i < 2; ++i) {
        const int j = 1 - i;
        for (size_t x = 0; x < made[i].size(); ++x) {
            if (made[i][x].gone || !flat(made[i][x])) continue;
            const Placed t = made[i][x];
            int k = 0;
            double longest = -1;
            for (int q = 0; q < 3; ++q) {
                const D3 d = pos(t.w[(q + 1) % 3]) - pos(t.w[q]);
                if (dot(d, d) > longest) longest = dot(d, d), k = q;
            }
            Vertex *a = t.w[k], *b = t.w[(k + 1) % 3], *c = t.w[(k + 2) % 3];
            // A flat piece back to back with one of its own side on the same corners:
            // both go, every edge of theirs losing one use each way.
            bool cancelled = false;
            for (auto [it, end] = left[i].equal_range(Key{b, a}); it != end && !cancelled; ++it) {
                Placed& o = made[i][it->second];
                if (o.gone || it->second == x || o.state != t.state) continue;
                if (o.w[0] != c && o.w[1] != c && o.w[2] != c) continue;
                o.gone = made[i][x].gone = cancelled = true;
                ctx.degenerate = true;
            }
            if (cancelled || !t.curve[k]) continue;
            const size_t n = on_edge(i, b, a, x, c);
            if (n == SIZE_MAX) continue;
            // The other solid's copy of the edge, and its point at c.
            Vertex* a2 = point_at(j, a, false);
            Vertex* b2 = point_at(j, b, false);
            if (!a2 || !b2) continue;
            std::vector<std::pair<size_t, int>> across;
            bool blocked = false;
            for (const Key& e : {Key{a2, b2}, Key{b2, a2}})
                for (auto [it, end] = left[j].equal_range(e); it != end; ++it) {
                    const Placed& o = made[j][it->second];
                    if (o.gone) continue;
                    int q = 0;
                    while (o.w[q] != e.first) ++q;
                    across.emplace_back(it->second, q);
                }
            if (across.empty()) continue;
            Vertex* c2 = point_at(j, c, true);
            int m = 0;
            while (made[i][n].w[m] != b) ++m;
            // The other solid's copy of the piece, flat on the same points the same way
            // round: rounding put one run of crossings onto one line in both solids, the
            // curve folding back over it. Splitting the other solid's pieces on the edge
            // would cut that copy again; instead each solid treats its own run as one:
            // its flat pieces go and its neighbour across the end-to-end edge is split
            // at the run's points. A part of that edge lies on the curve where the run's
            // edge beside it did not (the neighbour and the run lay on either side), so
            // the fold leaves the curve.
            FlatRun run, run2;
            size_t twin = SIZE_MAX, n2 = SIZE_MAX;
            if (!flat(made[i][n]) && across.size() == 2 && run_of(i, x, k, &run))
                for (const auto& [y, q] : across) {
                    const Placed& o = made[j][y];
                    if (o.w[q] == b2)
                        n2 = y;
                    else if (o.curve[q] && flat(o) && run_of(j, y, q, &run2))
                        twin = y;
                }
            if (twin != SIZE_MAX && n2 != SIZE_MAX && !flat(made[j][n2]) &&
                run2.curve == run.curve) {
                bool same = run2.p.size() == run.p.size();
                for (size_t r = 0; same && r < run.p.size(); ++r)
                    same = run2.p[r] == point_at(j, run.p[r], false);
                // The run's points must go from b to a without turning back, or the
                // neighbour's pieces would fold over one another.
                const D3 ab = pos(a) - pos(b);
                const double span[3] = {ab.x, ab.y, ab.z};
                int along = 0;
                for (int q = 1; q < 3; ++q)
                    if (std::fabs(span[q]) > std::fabs(span[along])) along = q;
                for (size_t r = 0; same && r + 1 < run.p.size(); ++r) {
                    const D3 step = pos(run.p[r + 1]) - pos(run.p[r]);
                    const double d[3] = {step.x, step.y, step.z};
                    same = d[along] * span[along] > 0;
                }
                if (!same) continue;
                ctx.degenerate = true;
                for (size_t y : run.pieces) made[i][y].gone = true;
                for (size_t y : run2.pieces) made[j][y].gone = true;
                int m2 = 0;
                while (made[j][n2].w[m2] != b2) ++m2;
                for (const auto& [h, piece, at, points] :
                     {std::tuple{i, n, m, &run.p}, std::tuple{j, n2, m2, &run2.p}}) {
                    size_t cur = piece;
                    int edge = at;
                    for (size_t r = 1; r + 1 < points->size(); ++r) {
                        split(h, cur, edge, (*points)[r], !run.curve[r - 1], !run.curve[r]);
                        cur = made[h].size() - 1;
                        edge = 0;
                    }
                }
                continue;
            }
            for (const auto& [y, q] : across) blocked = blocked || made[j][y].w[(q + 2) % 3] == c2;
            if (blocked) continue;
            ctx.degenerate = true;
            made[i][x].gone = true;
            split(i, n, m, c);
            for (const auto& [y, q] : across) split(j, y, q, c2);
        }
    }
}

}  // namespace

// Faces by cell of a grid over (y, z), for rays along +x. A ray can only cross a face
// whose closed y,z box holds the ray's start, and such a face is listed in the start's
// cell: cells are found by rounded arithmetic that never decreases as the coordinate
// grows, so the cell of a point within a box lies between the cells of its ends. Each
// face is listed once in any cell; faces whose box spans many cells are kept apart
// and tried by every look-up.
class RayIndex {
public:
    explicit RayIndex(const std::vector<Face*>& faces) {
        if (faces.empty()) return;
        lo_[0] = lo_[1] = INFINITY;
        double hi[2] = {-INFINITY, -INFINITY};
        for (const Face* f : faces)
            for (const Vertex* v : f->v) {
                const double c[2] = {v->y, v->z};
                for (int k = 0; k < 2; ++k) lo_[k] = std::min(lo_[k], c[k]), hi[k] = std::max(hi[k], c[k]);
            }
        const double n = double(faces.size()), w[2] = {hi[0] - lo_[0], hi[1] - lo_[1]};
        const double most = 4096;
        if (w[0] > 0 && w[1] > 0) {
            size_[0] = int(std::clamp(std::sqrt(n * w[0] / w[1]), 1.0, most));
            size_[1] = int(std::clamp(n / size_[0], 1.0, most));
        } else {
            size_[w[0] > 0 ? 0 : 1] = int(std::clamp(n, 1.0, most));
        }
        for (int k = 0; k < 2; ++k) scale_[k] = w[k] > 0 ? size_[k] / w[k] : 0;
        // Two passes over the faces: count by cell, then place.
        std::vector<std::array<int, 4>> span(faces.size());
        start_.assign(size_t(size_[0]) * size_t(size_[1]) + 1, 0);
        for (size_t i = 0; i < faces.size(); ++i) {
            const Face* f = faces[i];
            std::array<int, 4>& r = span[i];
            r = {size_[0], -1, size_[1], -1};
            for (const Vertex* v : f->v) {
                const int cy = cell(0, v->y), cz = cell(1, v->z);
                r[0] = std::min(r[0], cy), r[1] = std::max(r[1], cy);
                r[2] = std::min(r[2], cz), r[3] = std::max(r[3], cz);
            }
            if (int64_t(r[1] - r[0] + 1) * (r[3] - r[2] + 1) > kWide) {
                wide_.push_back(f);
                r[1] = r[0] - 1;
                continue;
            }
            for (int y = r[0]; y <= r[1]; ++y)
                for (int z = r[2]; z <= r[3]; ++z) ++start_[slot(y, z) + 1];
        }
        for (size_t c = 1; c < start_.size(); ++c) start_[c] += start_[c - 1];
        std::vector<uint32_t> at(start_.begin(), start_.end() - 1);
        items_.resize(start_.back());
        for (size_t i = 0; i < faces.size(); ++i) {
            const std::array<int, 4>& r = span[i];
            for (int y = r[0]; y <= r[1]; ++y)
                for (int z = r[2]; z <= r[3]; ++z) items_[at[slot(y, z)]++] = faces[i];
        }
    }

    // Calls f for each face but `skip` whose closed y,z box holds (y, z); returns how
    // many faces it looked at.
    template <class F>
    size_t for_each(double y, double z, const Face* skip, F&& f) const {
        size_t looked = wide_.size();
        const auto consider = [&](const Face* g) {
            if (g == skip) return;
            const Vertex* const* v = g->v;
            if (y < std::min({v[0]->y, v[1]->y, v[2]->y}) || y > std::max({v[0]->y, v[1]->y, v[2]->y}) ||
                z < std::min({v[0]->z, v[1]->z, v[2]->z}) || z > std::max({v[0]->z, v[1]->z, v[2]->z}))
                return;
            f(g);
        };
        for (const Face* g : wide_) consider(g);
        if (items_.empty()) return looked;
        const size_t c = slot(cell(0, y), cell(1, z));
        for (uint32_t i = start_[c]; i < start_[c + 1]; ++i) consider(items_[i]);
        return looked + (start_[c + 1] - start_[c]);
    }

private:
    static constexpr int64_t kWide = 64;

    int cell(int k, double x) const {
        const double t = (x - lo_[k]) * scale_[k];
        if (!(t > 0)) return 0;  // below the grid, or NaN
        return t >= size_[k] - 1 ? size_[k] - 1 : int(t);
    }
    size_t slot(int y, int z) const { return size_t(y) * size_t(size_[1]) + size_t(z); }

    double lo_[2] = {0, 0}, scale_[2] = {0, 0};
    int size_[2] = {1, 1};
    std::vector<uint32_t> start_;  // first item by cell, and the end
    std::vector<const Face*> items_;
    std::vector<const Face*> wide_;
};

namespace {

// Whether point v lies inside the closed surface of the faces in `index` (but `skip`,
// and but the faces marked `part` when that is not 0), which the tie-break moves by
// `moved` times the step (toward -x for 1): parity of the crossings of a ray along +x.
bool inside_of(Context& ctx, const DV& v, const RayIndex& index, const Face* skip, int moved, uint32_t part = 0) {
    const auto yz = [](const DV& x) { return V2{x.p[1], x.p[2]}; };
    const V2 q = yz(v);
    bool in = false;
    const size_t looked = index.for_each(q[0], q[1], skip, [&](const Face* g) {
        if (part && g->mark == part) return;
        const DV c[3] = {dv(g->v[0]), dv(g->v[1]), dv(g->v[2])};
        const V2 p[3] = {yz(c[0]), yz(c[1]), yz(c[2])};
        const int nx = orient2d(p[0].data(), p[1].data(), p[2].data());
        if (!nx) return;  // parallel to the ray: never crossed once moved
        bool hit = true;
        for (int k = 0; k < 3 && hit; ++k) {
            const V2& x = p[k];
            const V2& y = p[(k + 1) % 3];
            int s = orient2d(x.data(), y.data(), q.data());
            if (!s) {
                const double uy = y[0] - x[0], uz = y[1] - x[1];
                s = uz != 0 ? (moved * uz > 0 ? 1 : -1) : (-moved * uy > 0 ? 1 : -1);
            }
            hit = s == nx;
        }
        if (!hit) return;
        int o = orient3d(c[0].p, c[1].p, c[2].p, v.p);
        if (!o) o = -moved * nx;
        if (-o == nx) in = !in;
    });
    spend(ctx, looked + 1);
    return in;
}

// Whether edge p-q passes through the inside of triangle f (all signs strict).
bool pierces(const Vertex* p, const Vertex* q, const Face* f) {
    const DV a = dv(f->v[0]), b = dv(f->v[1]), c = dv(f->v[2]), dp = dv(p), dq = dv(q);
    const int sp = orient3d(a.p, b.p, c.p, dp.p), sq = orient3d(a.p, b.p, c.p, dq.p);
    if (sp == 0 || sq == 0 || sp == sq) return false;
    int first = 0;
    for (int k = 0; k < 3; ++k) {
        const DV x = dv(f->v[k]), y = dv(f->v[(k + 1) % 3]);
        const int s = orient3d(dp.p, dq.p, x.p, y.p);
        if (s == 0 || (k && s != first)) return false;
        first = s;
    }
    return true;
}

// Whether faces of two different parts (numbered in Face::mark) cross one another
// deeper than rounding corners to float can make them cross (`shallow`).
bool parts_cross(Context& ctx, const std::vector<Face*>& faces, double shallow) {
    Cut cut(ctx);
    cut.faces = faces;
    cut.na = faces.size();
    cut.faces.insert(cut.faces.end(), faces.begin(), faces.end());
    bool crossed = false;
    for_each_pair(cut, [&](Face* f, Face* g) {
        if (crossed || f->mark >= g->mark) return;
        bool pierced = false;
        for (int k = 0; k < 3 && !pierced; ++k)
            pierced = pierces(f->v[k], f->v[(k + 1) % 3], g) || pierces(g->v[k], g->v[(k + 1) % 3], f);
        crossed = pierced && crossing_depth(f, g) > shallow;
    });
    return crossed;
}

// The sign of the x component of the face's normal.
int orient_yz(const Face* f) {
    const double p[3][2] = {{f->v[0]->y, f->v[0]->z}, {f->v[1]->y, f->v[1]->z}, {f->v[2]->y, f->v[2]->z}};
    return orient2d(p[0], p[1], p[2]);
}

}  // namespace

bool has_plane_exactly(const Face* f) {
    return normal_key(f) != 0;
}

void orient_solid_exact(Context& ctx, Solid& s) {
    std::vector<Face*> all;
    for (Face* f = s.faces; f; f = f->next)
        if (live(f)) all.push_back(f), f->state = kUnclassified;
    // Kept for the exact cut, whose rays from this solid's parts the curve never
    // reaches cross these same faces.
    s.rays = std::make_shared<const RayIndex>(all);
    const RayIndex& index = *s.rays;
    // The connected parts, each with its winding made consistent and its faces marked
    // with its number (from 1).
    std::vector<std::vector<Face*>> parts;
    for (Face* seed : all) {
        if (seed->state != kUnclassified) continue;
        std::vector<Face*>& part = parts.emplace_back(1, seed);
        const uint32_t number = uint32_t(parts.size());
        seed->state = kOutside;
        for (size_t i = 0; i < part.size(); ++i) {
            Face* h = part[i];
            h->mark = number;
            for (Edge* e : h->e)
                for (FaceNode* n = e->faces; n; n = n->next) {
                    Face* g = n->face;
                    if (!live(g) || g->state != kUnclassified) continue;
                    if (same_direction(h, g, e)) reverse_face(g);
                    g->state = kOutside;
                    part.push_back(g);
                }
        }
    }
    for (const std::vector<Face*>& part : parts) {
        const uint32_t number = part.front()->mark;
        // The face of the part most across x; the ray along +x from its centroid
        // crosses the other faces of the solid an odd number of times when the
        // material lies on its +x side. A second face, the one farthest from it
        // along x, must agree: parts that cross one another (or one part crossing
        // itself) give no solid.
        Face* f = nullptr;
        double best = -1;
        for (Face* g : part) {
            spend(ctx);
            const D3 a = pos(g->v[0]);
            const double nx = std::fabs(cross(pos(g->v[1]) - a, pos(g->v[2]) - a).x);
            if (nx > best && orient_yz(g) != 0) best = nx, f = g;
        }
        if (!f) raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Solid has no volume");
        Face* far = nullptr;
        best = -1;
        const double fx = face_centroid(f).x;
        for (Face* g : part) {
            const double d = std::fabs(face_centroid(g).x - fx);
            if (g != f && d > best && orient_yz(g) != 0) best = d, far = g;
        }
        const auto outward = [&](Face* g) {
            const D3 c = face_centroid(g);
            // Faces are wound clockwise seen from outside: (v1 - v0) x (v2 - v0)
            // points into the material.
            return (orient_yz(g) > 0) == inside_of(ctx, DV{{c.x, c.y, c.z}}, index, g, 1);
        };
        // Faces spread over the part (but f and far) add their answers to `yes` of
        // `votes`; without a clear majority the part crosses itself or another.
        const auto vote = [&](auto&& says, int yes, int votes) {
            const size_t step = std::max<size_t>(1, part.size() / 16);
            for (size_t i = step / 2; i < part.size(); i += step) {
                Face* g = part[i];
                if (g == f || g == far || orient_yz(g) == 0) continue;
                yes += says(g) ? 1 : 0;
                ++votes;
            }
            if (4 * std::min(yes, votes - yes) > votes) raise(ctx, IDS_UNABLE_TO_PERFORM_BOOLEAN, "Solid overlaps itself");
            return 2 * yes > votes;
        };
        bool right = outward(f);
        // Rounding corners to float can turn a thin part inside out over a hair where
        // two of its faces cross (no deeper than a rounding step; csg_self.cpp takes
        // such crossings as sound), and a centroid there has the wrong parity.
        if (far && outward(far) != right) right = vote(outward, 1, 2);
        // Such folds can cover most of a thin part, f and the farthest face with them,
        // and the rays then agree on the wrong side. The part's own volume does not
        // heed them: where its sign is sure, it gives the part's winding as a solid of
        // its own, and the parity of the other parts' faces alone, from points just
        // inside the part at its faces, tells whether it is a cavity of another.
        const D3 o = pos(f->v[0]);
        double volume = 0, bound = 0;
        for (const Face* g : part) {
            const D3 a = pos(g->v[0]) - o, b = pos(g->v[1]) - o, c = pos(g->v[2]) - o;
            volume += dot(a, cross(b, c));
            bound += std::fabs(a.x) * (std::fabs(b.y * c.z) + std::fabs(b.z * c.y)) +
                     std::fabs(a.y) * (std::fabs(b.x * c.z) + std::fabs(b.z * c.x)) +
                     std::fabs(a.z) * (std::fabs(b.x * c.y) + std::fabs(b.y * c.x));
        }
        bound *= double(16 + part.size()) * std::numeric_limits<double>::epsilon();
        if (std::fabs(volume) > bound) {
            // Clockwise seen from outside: the sum is negative for a part wound so.
            const bool wound_out = volume < 0;
            // Whether the point just inside the part at g lies inside the other parts.
            const auto enclosed = [&](Face* g) {
                const bool material_ahead = (orient_yz(g) > 0) == wound_out;
                const D3 c = face_centroid(g);
                return inside_of(ctx, DV{{c.x, c.y, c.z}}, index, g, material_ahead ? -1 : 1,
                                 number);
            };
            // A face may lie in a fold of rounding with another part's face (parts may
            // cross by rounding's allowance): the faces vote.
            bool cavity = false;
            if (parts.size() > 1) {
                int yes = 0, votes = 0;
                for (Face* g : {f, far})
                    if (g) yes += enclosed(g) ? 1 : 0, ++votes;
                cavity = vote(enclosed, yes, votes);
            }
            right = wound_out != cavity;
        }
        if (!right)
            for (Face* g : part) reverse_face(g);
    }
    // Parts that cross may be the work of a weld (the cut of tolerances moves faces by
    // up to the tolerance): the call is tried again that way, and refused as input
    // that overlaps itself only when that fails too.
    if (parts.size() > 1 && parts_cross(ctx, all, rounding_allowance(s.box))) {
        ctx.overlaps = true;
        raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Solid overlaps itself");
    }
    for (Face* f : all) f->state = kUnclassified;
}

namespace {

// Whether point v lies off the plane of every face in `index` whose y,z box holds it:
// a corner on the other surface (solids that touch there) takes its side from the
// tie-break, which the curve near it need not show.
bool off_surface(Context& ctx, const DV& v, const RayIndex& index) {
    bool off = true;
    const size_t looked = index.for_each(v.p[1], v.p[2], nullptr, [&](const Face* g) {
        if (off && orient3d(dv(g->v[0]).p, dv(g->v[1]).p, dv(g->v[2]).p, v.p) == 0) off = false;
    });
    spend(ctx, looked + 1);
    return off;
}

// The distance from p to triangle f.
double distance_to(D3 p, const Face* f) {
    const D3 a = pos(f->v[0]), b = pos(f->v[1]), c = pos(f->v[2]);
    const D3 ab = b - a, ac = c - a, ap = p - a;
    const double d1 = dot(ab, ap), d2 = dot(ac, ap);
    if (d1 <= 0 && d2 <= 0) return length(ap);
    const D3 bp = p - b;
    const double d3 = dot(ab, bp), d4 = dot(ac, bp);
    if (d3 >= 0 && d4 <= d3) return length(bp);
    const D3 cp = p - c;
    const double d5 = dot(ab, cp), d6 = dot(ac, cp);
    if (d6 >= 0 && d5 <= d6) return length(cp);
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0) return length(ap - ab * (d1 / (d1 - d3)));
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0) return length(ap - ac * (d2 / (d2 - d6)));
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0) return length(bp - (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6))));
    const double den = va + vb + vc;
    if (!(den > 0)) return std::min({length(ap), length(bp), length(cp)});
    return length(ap - ab * (vb / den) - ac * (vc / den));
}

// Each region of s that took its side from the curve (faces joined across edges off
// it) must lie on that side of the other solid (its faces `other`) at the corners it
// keeps from the input, found by the parity of an exact ray. The side at the curve
// follows the other solid's faces where it crosses them; a fold of that solid that
// rounding turned inside out (two faces crossing by a float step, which is taken as
// sound input) is the wrong way round, and a curve through nothing else gives every
// other region of s the wrong side. Such a cut gives way. A corner within twice the
// rounding allowance of the other surface proves nothing (a vertex that pokes into it
// by a float step, the curve around it rounded onto the vertex), and the next one is
// asked, up to kNearCorners of them.
template <class IndexOf>
void check_sides_by_ray(Context& ctx, Solid& s, const std::vector<Face*>& other, IndexOf&& rays_of, int moved) {
    constexpr uint32_t kSeen = 1u << 20;
    // Corners on the curve (a crossing rounded onto a corner) lie off the other
    // surface by rounding only.
    constexpr uint32_t kOnCurve = 0x40000;
    constexpr int kNearCorners = 4;  // corners near the other surface asked per region
    for (const Edge* e : s.cut_edges) e->a->flags |= kOnCurve, e->b->flags |= kOnCurve;
    std::vector<Vertex*> asked;
    const auto clear = [&s, &asked]() {
        for (Face* f = s.faces; f; f = f->next) f->state &= ~kSeen;
        for (const Edge* e : s.cut_edges) e->a->flags &= ~kOnCurve, e->b->flags &= ~kOnCurve;
        for (Vertex* v : asked) v->flags &= ~kOnCurve;
    };
    float box[6];
    for (int k = 0; k < 3; ++k)
        box[k] = std::min(ctx.a.box[k], ctx.b.box[k]), box[k + 3] = std::max(ctx.a.box[k + 3], ctx.b.box[k + 3]);
    const double near = 2 * rounding_allowance(box);
    std::vector<Face*> region;
    for (Face* seed = s.faces; seed; seed = seed->next) {
        if (!live(seed) || !seed->state || (seed->state & kSeen)) continue;
        region.assign(1, seed);
        seed->state |= kSeen;
        for (size_t i = 0; i < region.size(); ++i)
            for (Edge* e : region[i]->e) {
                if (e->flags & kCutEdge) continue;
                for (FaceNode* n = e->faces; n; n = n->next)
                    if (live(n->face) && n->face->state && !(n->face->state & kSeen) &&
                        n->face->state == (seed->state & ~kSeen)) {
                        n->face->state |= kSeen;
                        region.push_back(n->face);
                    }
            }
        const bool inside = (seed->state & ~kSeen) == kInside;
        int near_left = kNearCorners;
        for (size_t i = 0; i < region.size() && near_left > 0; ++i) {
            bool settled = false;
            for (Vertex* v : region[i]->v) {
                if (v->flags & (kOnCut | kOnCurve)) continue;
                v->flags |= kOnCurve;  // asked once
                asked.push_back(v);
                if (!off_surface(ctx, dv(v), rays_of())) continue;
                if (inside_of(ctx, dv(v), rays_of(), nullptr, moved) == inside) {
                    settled = true;
                    break;
                }
                const D3 p = pos(v);
                bool far = true;
                for (const Face* g : other)
                    if (far && p.x >= g->box[0] - near && p.x <= g->box[3] + near && p.y >= g->box[1] - near &&
                        p.y <= g->box[4] + near && p.z >= g->box[2] - near && p.z <= g->box[5] + near)
                        far = distance_to(p, g) > near;
                spend(ctx, other.size());
                if (far) {
                    clear();
                    raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Sides of the cut disagree with a ray");
                }
                if (--near_left == 0) break;
            }
            if (settled) break;
        }
    }
    clear();
}

}  // namespace

namespace {

// Kept faces of A and B on each other, each facing away from the other, over some
// area: a sheet of no thickness. The tie-break leaves one where B's step moved a face
// of B into A while no face of B reaches A's face under the step to cut it along the
// edge of B's face (copies shifted along an axis: one plane of each parallel pair).
// In the exact answer neither face is there. The faces in that plane joined to f and
// g (over edges of one solid, or by sharing area across the two) are replaced by A's
// faces over what A keeps beyond B: the edges of all of them, A's one way and B's the
// other, cancel where they run both ways, and what is left bounds that region (every
// edge is split at the corners lying on it, so no point is made: the corners are
// floats and lie in the plane exactly). False, with nothing changed, where the sheet
// is not such: corners off the plane, faces of the wrong way in it, B reaching beyond
// A, edges crossing or loops touching, a loop no ear can clip.
bool clear_sheet(Context& ctx, Face* f, Face* g) {
    constexpr size_t kMostFaces = 2000;   // the pairs of faces below are quadratic
    constexpr size_t kMostCorners = 400;  // and the clipping of ears cubic in the corners
    const DV p0 = dv(f->v[0]), p1 = dv(f->v[1]), p2 = dv(f->v[2]);
    const D3 n = cross(pos(f->v[1]) - pos(f->v[0]), pos(f->v[2]) - pos(f->v[0]));
    const double an[3] = {std::fabs(n.x), std::fabs(n.y), std::fabs(n.z)};
    const int drop_axis = an[0] >= an[1] && an[0] >= an[2] ? 0 : (an[1] >= an[2] ? 1 : 2);
    if (an[drop_axis] == 0) return false;
    const int ax = (drop_axis + 1) % 3, ay = (drop_axis + 2) % 3;
    const auto xy = [&](const Vertex* v) {
        const DV d = dv(v);
        return V2{d.p[ax], d.p[ay]};
    };
    const auto in_plane = [&](const Face* h) {
        for (const Vertex* v : h->v)
            if (orient3d(p0.p, p1.p, p2.p, dv(v).p) != 0) return false;
        return true;
    };
    const auto turn = [&](const Face* h) {
        const V2 a = xy(h->v[0]), b = xy(h->v[1]), c = xy(h->v[2]);
        return orient2d(a.data(), b.data(), c.data());
    };
    const int way = turn(f);
    if (way == 0 || turn(g) != -way) return false;
    // The live faces of both solids in the plane; then those joined to f.
    std::vector<Face*> plane;
    std::vector<char> solid_a;
    for (Solid* s : {&ctx.a, &ctx.b})
        for (Face* h = s->faces; h; h = h->next)
            if (live(h) && in_plane(h)) {
                plane.push_back(h);
                solid_a.push_back(s == &ctx.a);
                if (plane.size() > kMostFaces) return false;
            }
    std::vector<char> joined(plane.size(), 0);
    std::vector<size_t> queue;
    for (size_t i = 0; i < plane.size(); ++i)
        if (plane[i] == f || plane[i] == g) joined[i] = 1, queue.push_back(i);
    if (queue.size() != 2) return false;  // g has a corner off f's plane
    while (!queue.empty()) {
        const size_t i = queue.back();
        queue.pop_back();
        if (turn(plane[i]) != (solid_a[i] ? way : -way)) return false;
        for (size_t j = 0; j < plane.size(); ++j) {
            if (joined[j]) continue;
            bool meet = false;
            if (solid_a[i] == solid_a[j]) {
                for (const Edge* e : plane[i]->e)
                    for (const Edge* k : plane[j]->e) meet = meet || e == k;
            } else {
                meet = overlap_in_plane(plane[i], plane[j]);
            }
            if (meet) joined[j] = 1, queue.push_back(j);
        }
    }
    // The corners, once each by place.
    using At = std::array<float, 3>;
    std::map<At, int> index;
    std::vector<V2> pt;
    std::vector<Vertex*> in_a;  // A's vertex there, where A has one
    const auto point = [&](Vertex* v) {
        const auto [it, fresh] = index.try_emplace(At{v->x, v->y, v->z}, int(pt.size()));
        if (fresh) pt.push_back(xy(v)), in_a.push_back(nullptr);
        return it->second;
    };
    for (size_t i = 0; i < plane.size(); ++i)
        if (joined[i])
            for (Vertex* v : plane[i]->v) {
                const int k = point(v);
                if (solid_a[i]) in_a[size_t(k)] = v;
            }
    const auto orient = [&](int a, int b, int c) {
        return way * orient2d(pt[size_t(a)].data(), pt[size_t(b)].data(), pt[size_t(c)].data());
    };
    // Each edge split at the corners on it; uses one way less the other by pair.
    struct Use {
        int net = 0;
        Edge* edge[2] = {nullptr, nullptr};  // the edge a piece running each way is of
        bool whole[2] = {false, false};      // that piece is the whole edge
        bool a_way[2] = {false, false};      // it is A's
    };
    std::map<std::pair<int, int>, Use> uses;
    for (size_t i = 0; i < plane.size(); ++i) {
        if (!joined[i]) continue;
        for (int k = 0; k < 3; ++k) {
            const int u = point(plane[i]->v[k]), w = point(plane[i]->v[(k + 1) % 3]);
            const int along = pt[size_t(u)][0] != pt[size_t(w)][0] ? 0 : 1;
            std::vector<std::pair<double, int>> on{{pt[size_t(u)][along], u}, {pt[size_t(w)][along], w}};
            const double lo = std::min(on[0].first, on[1].first), hi = std::max(on[0].first, on[1].first);
            for (int c = 0; c < int(pt.size()); ++c)
                if (c != u && c != w && pt[size_t(c)][along] > lo && pt[size_t(c)][along] < hi && orient(u, w, c) == 0)
                    on.push_back({pt[size_t(c)][along], c});
            std::sort(on.begin() + 2, on.end());
            if (pt[size_t(u)][along] > pt[size_t(w)][along]) std::reverse(on.begin() + 2, on.end());
            std::vector<int> run{u};
            for (size_t c = 2; c < on.size(); ++c) run.push_back(on[c].second);
            run.push_back(w);
            for (size_t c = 0; c + 1 < run.size(); ++c) {
                const int x = run[c], y = run[c + 1];
                Use& use = uses[std::minmax(x, y)];
                const int dir = x < y ? 0 : 1;
                use.net += dir == 0 ? 1 : -1;
                if (solid_a[i]) use.a_way[dir] = true;
                use.edge[dir] = plane[i]->e[k];
                use.whole[dir] = run.size() == 2;
            }
        }
    }
    // What is left: edges each once, no two crossing, at most one leaving a corner.
    struct Left {
        int from, to;
        Edge* edge;  // the edge it is or is a piece of
        bool whole, of_a;
    };
    std::vector<Left> left;
    std::vector<int> next(pt.size(), -1);
    for (const auto& [key, use] : uses) {
        if (use.net == 0) continue;
        if (use.net != 1 && use.net != -1) return false;
        const int dir = use.net > 0 ? 0 : 1;
        const Left l{dir == 0 ? key.first : key.second, dir == 0 ? key.second : key.first, use.edge[dir],
                     use.whole[dir], use.a_way[dir]};
        // A piece of an edge of B would leave the rest of it to B's face across it.
        if (next[size_t(l.from)] >= 0 || (!l.of_a && !l.whole)) return false;
        next[size_t(l.from)] = l.to;
        left.push_back(l);
    }
    for (size_t i = 0; i < left.size(); ++i)
        for (size_t j = i + 1; j < left.size(); ++j) {
            const Left &l = left[i], &m = left[j];
            if (l.from == m.from || l.from == m.to || l.to == m.from || l.to == m.to) continue;
            const int s1 = orient(l.from, l.to, m.from), s2 = orient(l.from, l.to, m.to);
            const int s3 = orient(m.from, m.to, l.from), s4 = orient(m.from, m.to, l.to);
            if (s1 == 0 && s2 == 0) {  // on one line: apart unless their spans meet
                const size_t along = pt[size_t(l.from)][0] != pt[size_t(l.to)][0] ? 0 : 1;
                const auto span = [&](const Left& e) {
                    return std::minmax(pt[size_t(e.from)][along], pt[size_t(e.to)][along]);
                };
                if (span(l).second >= span(m).first && span(m).second >= span(l).first) return false;
            } else if (s1 * s2 <= 0 && s3 * s4 <= 0) {
                return false;
            }
        }
    std::vector<int> corners;  // of the loops
    for (const Left& l : left) corners.push_back(l.from);
    if (corners.size() > kMostCorners) return false;
    // Clip ears, each a triangle turning A's way with no corner of any loop on it or in it.
    std::vector<std::array<int, 3>> made;
    std::vector<char> walked(pt.size(), 0);
    for (const Left& start : left) {
        if (walked[size_t(start.from)]) continue;
        std::vector<int> loop;
        for (int c = start.from; !walked[size_t(c)]; c = next[size_t(c)]) {
            if (next[size_t(c)] < 0) return false;
            walked[size_t(c)] = 1;
            loop.push_back(c);
        }
        if (loop.size() < 3 || loop.front() != next[size_t(loop.back())]) return false;
        while (loop.size() >= 3) {
            bool clipped = false;
            for (size_t i = 0; i < loop.size() && !clipped; ++i) {
                const int a = loop[(i + loop.size() - 1) % loop.size()], b = loop[i], c = loop[(i + 1) % loop.size()];
                if (orient(a, b, c) <= 0) continue;
                bool empty = true;
                for (const int q : corners)
                    if (q != a && q != b && q != c && orient(a, b, q) >= 0 && orient(b, c, q) >= 0 && orient(c, a, q) >= 0)
                        empty = false;
                if (!empty) continue;
                made.push_back({a, b, c});
                loop.erase(loop.begin() + long(i));
                clipped = true;
            }
            if (!clipped) return false;
            if (loop.size() == 3) {
                if (orient(loop[0], loop[1], loop[2]) <= 0) return false;
                made.push_back({loop[0], loop[1], loop[2]});
                break;
            }
        }
    }
    // Nothing fails from here.
    uint32_t state = 0;
    for (size_t i = 0; i < plane.size(); ++i)
        if (joined[i]) {
            if (solid_a[i] && !state) state = plane[i]->state;
            plane[i]->state = kDiscarded;
        }
    for (size_t k = 0; k < pt.size(); ++k) {
        if (in_a[k]) continue;
        const auto at = std::find_if(index.begin(), index.end(), [k](const auto& e) { return e.second == int(k); })->first;
        for (Vertex* v = ctx.a.vertices; v && !in_a[k]; v = v->next)
            if (v->x == at[0] && v->y == at[1] && v->z == at[2] && !(v->flags & kUnused)) in_a[k] = v;
        if (!in_a[k]) in_a[k] = add_vertex(ctx, ctx.a, at[0], at[1], at[2]);
    }
    for (const auto& t : made) {
        Face* h = new_face(ctx, ctx.a, in_a[size_t(t[0])], in_a[size_t(t[1])], in_a[size_t(t[2])]);
        h->state = state;
    }
    // Where an edge of B bounds what is left, A's faces meet B's there: the seam.
    // A piece of an edge of A keeps that edge's flags.
    for (const Left& l : left) {
        Edge* e = edge_lookup(ctx, ctx.a, in_a[size_t(l.from)], in_a[size_t(l.to)], false);
        if (!e || e == l.edge) continue;
        if (!l.of_a) {
            set_edge_flags(ctx.a, e, kCutEdge);
            set_edge_flags(ctx.b, l.edge, kCutEdge);
        } else if (l.edge->flags & kCutEdge) {
            set_edge_flags(ctx.a, e, kCutEdge);
        } else if (e->flags == kMarked) {
            e->flags = l.edge->flags;
        }
    }
    ctx.degenerate = true;
    return true;
}

// Vertices no live face uses any longer are flagged unused (faces went in pairs).
void mark_unused_vertices(Context& ctx) {
    for (Solid* s : {&ctx.a, &ctx.b}) {
        for (Vertex* v = s->vertices; v; v = v->next) v->flags = kUnused;
        for (Face* f = s->faces; f; f = f->next)
            if (live(f))
                for (Vertex* v : f->v) v->flags = 0;
    }
}

}  // namespace

void sheet_check(Context& ctx) {
    // A kept face of A and one of B on the same three points, the other way round, are
    // a sheet of no thickness that rounding closed flat: both go, which keeps the
    // surface closed (each of their edges loses one use each way).
    using Corner = std::array<float, 3>;
    using Key = std::array<Corner, 3>;
    const auto key_of = [](const Face* f, bool reversed) {
        Key k;
        for (int i = 0; i < 3; ++i) {
            const Vertex* v = f->v[reversed ? (3 - i) % 3 : i];
            k[size_t(i)] = {v->x, v->y, v->z};
        }
        // From the least corner, so every turn of the triangle gives one key.
        const size_t m = size_t(std::min_element(k.begin(), k.end()) - k.begin());
        std::rotate(k.begin(), k.begin() + long(m), k.end());
        return k;
    };
    bool cancelled = false;
    // So too two kept faces of one solid: rounding put the crossings of a sliver on
    // both sides of the curve at the same three points.
    for (Solid* s : {&ctx.a, &ctx.b}) {
        std::map<Key, std::vector<Face*>> of_s;
        for (Face* f = s->faces; f; f = f->next)
            if (live(f)) of_s[key_of(f, false)].push_back(f);
        for (Face* f = s->faces; f; f = f->next) {
            if (!live(f)) continue;
            auto it = of_s.find(key_of(f, true));
            if (it == of_s.end()) continue;
            for (Face*& g : it->second)
                if (g && g != f && live(g)) {
                    f->state = kDiscarded;
                    g->state = kDiscarded;
                    g = nullptr;
                    cancelled = true;
                    break;
                }
        }
    }
    std::map<Key, std::vector<Face*>> of_b;
    for (Face* g = ctx.b.faces; g; g = g->next)
        if (live(g)) of_b[key_of(g, true)].push_back(g);
    if (!of_b.empty())
        for (Face* f = ctx.a.faces; f; f = f->next) {
            if (!live(f)) continue;
            auto it = of_b.find(key_of(f, false));
            if (it == of_b.end()) continue;
            for (Face*& g : it->second)
                if (g && live(g)) {
                    f->state = kDiscarded;
                    g->state = kDiscarded;
                    // Across an edge of theirs off the curve a face of A now meets one
                    // of B: the edge joins the solids as the curve does.
                    for (int k = 0; k < 3; ++k) {
                        if (!(f->e[k]->flags & kCutEdge)) set_edge_flags(ctx.a, f->e[k], kCutEdge);
                        if (!(g->e[k]->flags & kCutEdge)) set_edge_flags(ctx.b, g->e[k], kCutEdge);
                    }
                    g = nullptr;
                    cancelled = true;
                    break;
                }
        }
    if (cancelled) mark_unused_vertices(ctx);
    bool cleared = false;
    for (const auto& [a, b] : ctx.flat_pairs)
        for (Face* f : a)
            for (Face* g : b)
                if (live(f) && live(g) && overlap_in_plane(f, g)) {
                    if (!rounding_touch(f, g)) {
                        if (!clear_sheet(ctx, f, g)) raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Faces on each other both kept");
                        cleared = true;
                        continue;
                    }
                    ctx.rounding_folds = true;
                }
    if (cleared) mark_unused_vertices(ctx);
}

// The live faces of a solid by the cells of a grid their boxes cover, for look-ups
// near a sliver. A face or a look-up over more cells than kMaxCells is met by a scan.
class FaceGrid {
public:
    explicit FaceGrid(const Solid& s) {
        double extent = 0;
        size_t n = 0;
        for (int k = 0; k < 3; ++k) origin_[k] = s.box[k];
        for (Face* f = s.faces; f; f = f->next) {
            if (!live(f)) continue;
            extent += std::max({double(f->box[3]) - f->box[0], double(f->box[4]) - f->box[1],
                                double(f->box[5]) - f->box[2]});
            ++n;
        }
        constexpr double kFinestCell = 1e-6;  // keeps the cell above 0 where faces have no extent
        cell_ = std::max(2 * extent / double(std::max<size_t>(n, 1)), kFinestCell);
        for (Face* f = s.faces; f; f = f->next)
            if (live(f)) add(f);
    }
    void add(Face* f) {
        all_.push_back(f);
        int64_t lo[3], hi[3];
        if (!span(f->box, lo, hi)) {
            big_.push_back(f);
            return;
        }
        for (int64_t x = lo[0]; x <= hi[0]; ++x)
            for (int64_t y = lo[1]; y <= hi[1]; ++y)
                for (int64_t z = lo[2]; z <= hi[2]; ++z) cells_.add(x, y, z, f);
    }
    // Whether `test` holds for some live face whose box meets `box` (a face may be
    // offered more than once).
    template <class F>
    bool any(const float box[6], F&& test) const {
        const auto offer = [&](const Face* f) { return live(f) && boxes_meet(f->box, box) && test(f); };
        int64_t lo[3], hi[3];
        if (!span(box, lo, hi)) return std::any_of(all_.begin(), all_.end(), offer);
        if (std::any_of(big_.begin(), big_.end(), offer)) return true;
        bool found = false;
        for (int64_t x = lo[0]; x <= hi[0] && !found; ++x)
            for (int64_t y = lo[1]; y <= hi[1] && !found; ++y)
                for (int64_t z = lo[2]; z <= hi[2] && !found; ++z)
                    cells_.for_each(x, y, z, [&](const Face* f) { found = found || offer(f); });
        return found;
    }

private:
    static constexpr double kMaxCells = 512;
    bool span(const float box[6], int64_t lo[3], int64_t hi[3]) const {
        double cells = 1;
        for (int k = 0; k < 3; ++k) {
            const double a = std::floor((box[k] - origin_[k]) / cell_), b = std::floor((box[k + 3] - origin_[k]) / cell_);
            if (!(a >= -1e15 && b <= 1e15)) return false;
            cells *= b - a + 1;
            lo[k] = static_cast<int64_t>(a);
            hi[k] = static_cast<int64_t>(b);
        }
        return cells <= kMaxCells;
    }
    double origin_[3], cell_;
    CellLists<Face*> cells_;
    std::vector<Face*> big_, all_;
};

// Rounding a solid to float can turn a sliver over: its corner c crosses the line of
// its long edge a - b, so that it faces against a face around it and the faces at its
// corners cross each other by a rounding step. A face of the other solid cut through
// such a fold meets a curve that crosses itself, which no choice of sides can close.
// Where a face of the other solid comes near the sliver, the sliver and the face g
// across a - b become two faces from c to g's far corner d (the edge flipped), but only
// where that keeps the solid what it was:
// - c lies within one float step of g's plane, so the volume moved (the tetrahedron
//   a b c d: g's area times that distance over 3) is no more than rounding g's corners
//   to float can move. A sliver at an angle to g (at the rim of a thin part, or at a
//   corner of the solid) is no fold of rounding: flipping it tilted g by the sliver's
//   height, and the thin results of near copies lost up to a tenth of their volume;
// - both new faces face as g did, and c - d is no edge of a face yet;
// - neither new face meets another face of the solid (exact signs): flips next to
//   other folds made faces cross, and a third solid went wholly to the wrong side.
// Each given face takes part in one flip at most, and faces a flip made in none: two
// slivers that fold either way (corners a float step apart) would flip back and forth.
bool unfold_slivers(Context& ctx, Solid& s, const Solid& other) {
    const double shallow = rounding_allowance(s.box);
    const double step = shallow * (kFloatStep / kShallowOverlap);
    const auto normal_of = [](const Vertex* a, const Vertex* b, const Vertex* c) {
        return cross(pos(b) - pos(a), pos(c) - pos(a));
    };
    const auto box_of = [](std::initializer_list<const Vertex*> corners, double grow, float box[6]) {
        for (int k = 0; k < 3; ++k) box[k] = HUGE_VALF, box[k + 3] = -HUGE_VALF;
        for (const Vertex* v : corners) {
            const float p[3] = {v->x, v->y, v->z};
            for (int k = 0; k < 3; ++k) box[k] = std::min(box[k], p[k]), box[k + 3] = std::max(box[k + 3], p[k]);
        }
        for (int k = 0; k < 3; ++k)
            box[k] = std::nextafter(float(double(box[k]) - grow), -HUGE_VALF),
            box[k + 3] = std::nextafter(float(double(box[k + 3]) + grow), HUGE_VALF);
    };
    // Built at the first sliver that may flip.
    std::unique_ptr<FaceGrid> own, others;
    // Whether the face x y z would meet a live face of s other than f and g.
    const auto would_cross = [&](Vertex* x, Vertex* y, Vertex* z, const Face* f, const Face* g) {
        Face probe{};
        probe.v[0] = x, probe.v[1] = y, probe.v[2] = z;
        float box[6];
        box_of({x, y, z}, 0, box);
        return own->any(box, [&](const Face* h) { return h != f && h != g && faces_cross(&probe, h); });
    };
    bool unfolded = false;
    std::vector<Face*> given;
    for (Face* f = s.faces; f; f = f->next)
        if (live(f)) given.push_back(f);
    std::unordered_set<const Face*> made;
    for (Face* f : given) {
        if (!live(f) || made.count(f)) continue;
        // The longest edge k (from corner k); the opposite corner within rounding of its line.
        int k = 0;
        double longest = -1;
        for (int j = 0; j < 3; ++j) {
            const D3 e = pos(f->v[(j + 1) % 3]) - pos(f->v[j]);
            if (dot(e, e) > longest) longest = dot(e, e), k = j;
        }
        const D3 nf = normal_of(f->v[0], f->v[1], f->v[2]);
        if (!(longest > 0) || dot(nf, nf) > shallow * shallow * longest) continue;
        Vertex *a = f->v[k], *b = f->v[(k + 1) % 3], *c = f->v[(k + 2) % 3];
        Face* g = nullptr;
        int live_faces = 0;
        for (FaceNode* n = f->e[k]->faces; n; n = n->next) {
            if (!live(n->face) || n->face == f) continue;
            ++live_faces;
            g = n->face;
        }
        if (live_faces != 1) continue;
        int m = 0;
        while (m < 3 && g->v[m] != b) ++m;
        if (m == 3 || g->v[(m + 1) % 3] != a) continue;
        Vertex* d = g->v[(m + 2) % 3];
        if (d == c || made.count(g)) continue;
        // c within a float step of g's plane.
        const D3 ng = normal_of(b, a, d);
        const double lg = length(ng);
        if (!(lg > 0) || std::fabs(dot(ng, pos(c) - pos(a))) > step * lg) continue;
        // A fold: the sliver faces against one of the faces around it.
        bool fold = false;
        for (int j = 0; j < 3 && !fold; ++j)
            for (const FaceNode* n = f->e[j]->faces; n && !fold; n = n->next)
                fold = n->face != f && live(n->face) &&
                       dot(nf, normal_of(n->face->v[0], n->face->v[1], n->face->v[2])) < 0;
        if (!fold) continue;
        // The halves must face as g does, and c - d must be a new edge.
        if (dot(normal_of(b, c, d), ng) <= 0 || dot(normal_of(c, a, d), ng) <= 0) continue;
        if (const Edge* e = edge_lookup(ctx, s, c, d, false)) {
            bool used = false;
            for (const FaceNode* n = e->faces; n && !used; n = n->next) used = live(n->face);
            if (used) continue;
        }
        if (!own) own = std::make_unique<FaceGrid>(s), others = std::make_unique<FaceGrid>(other);
        float near[6];
        box_of({a, b, c}, shallow, near);
        if (!others->any(near, [](const Face*) { return true; })) continue;
        if (would_cross(b, c, d, f, g) || would_cross(c, a, d, f, g)) continue;
        f->state |= kDiscarded;
        g->state |= kDiscarded;
        for (Face* h : {new_face(ctx, s, b, c, d, g), new_face(ctx, s, c, a, d, g)}) {
            made.insert(h);
            own->add(h);
        }
        unfolded = true;
    }
    return unfolded;
}

// Rounding a solid to float can leave faces of it crossing each other by a float step
// (a sliver rounded over its neighbour, a fold): the input check takes them as
// rounding's work, but a face of the other solid cut through such a fold meets a curve
// that crosses itself. Where a face of the other solid comes near, each such pair is
// parted by moving one corner of either face to a float at most `steps` steps away
// along each axis, nearest first, to the first place where
// - the pair no longer crosses and no face around the corner crosses a face of the
//   solid it did not cross before (exact signs; crossings rounding left elsewhere
//   stay as they were taken);
// - no face around the corner has its three corners on one line;
// - each face surely faces as it did (the sign of its normals' dot product settled by
//   their error bounds), except a face that surely faced against a neighbour across
//   one of its edges (a sliver rounded over) and then surely faces against none;
// - the corner meets no other vertex.
// A corner with another vertex at its point (the ends of an edge of four faces, given
// copies) stays. The solid is the engine's own copy: the caller's mesh keeps its corners.
bool nudge_folds(Solid& s, const Solid& other, int steps, const Face* const first[2]) {
    const double shallow = rounding_allowance(s.box);
    const auto box_of = [](const Vertex* const* corners, int n, double grow, float box[6]) {
        for (int k = 0; k < 3; ++k) box[k] = HUGE_VALF, box[k + 3] = -HUGE_VALF;
        for (int i = 0; i < n; ++i) {
            const float p[3] = {corners[i]->x, corners[i]->y, corners[i]->z};
            for (int k = 0; k < 3; ++k) box[k] = std::min(box[k], p[k]), box[k + 3] = std::max(box[k + 3], p[k]);
        }
        for (int k = 0; k < 3 && grow > 0; ++k)
            box[k] = std::nextafter(float(double(box[k]) - grow), -HUGE_VALF),
            box[k + 3] = std::nextafter(float(double(box[k + 3]) + grow), HUGE_VALF);
    };
    // A face's normal, with a bound on its error (the corners' differences are exact;
    // each component is two rounded products and their rounded difference).
    struct Normal {
        D3 n;
        double err;
    };
    const auto normal_of = [](const Face* f) {
        const D3 u = pos(f->v[1]) - pos(f->v[0]), w = pos(f->v[2]) - pos(f->v[0]);
        return Normal{cross(u, w), 1e-15 * length(u) * length(w)};
    };
    // The sign of a . b where the bounds settle it, else 0.
    const auto facing = [](const Normal& a, const Normal& b) {
        const double d = dot(a.n, b.n), err = 2 * (length(a.n) * b.err + length(b.n) * a.err + a.err * b.err);
        return d > err ? 1 : d < -err ? -1 : 0;
    };
    // Whether f faces against a face across one of its edges: surely (`sure`), or
    // possibly.
    const auto against_a_neighbour = [&](const Face* f, bool sure) {
        const Normal n = normal_of(f);
        for (const Edge* e : f->e)
            for (const FaceNode* m = e->faces; m; m = m->next)
                if (m->face != f && live(m->face) && facing(n, normal_of(m->face)) < (sure ? 0 : 1)) return true;
        return false;
    };
    FaceGrid own(s), others(other);
    // Pairs are tried while the crossing tests stay within a bound: where the walls of a
    // thin part cross all along, every move of every corner fails and each costs the
    // tests of its faces against their neighbours.
    size_t work = 0, most = size_t(1) << 20;
    const auto faces_cross = [&work](const Face* a, const Face* b) { return ++work, csg::faces_cross(a, b); };
    // The crossing pairs near the other solid, in the order of the face list.
    std::vector<Face*> given;
    std::unordered_map<const Face*, size_t> order;
    for (Face* f = s.faces; f; f = f->next)
        if (live(f)) order[f] = given.size(), given.push_back(f);
    std::vector<std::pair<Face*, Face*>> crossing;
    std::vector<Face*> met;
    for (Face* f : given) {
        float near[6];
        box_of(f->v, 3, shallow, near);
        if (!others.any(near, [](const Face*) { return true; })) continue;
        met.clear();
        own.any(f->box, [&](const Face* h) {
            if (order.at(h) > order.at(f) && faces_cross(f, h)) met.push_back(const_cast<Face*>(h));
            return false;
        });
        std::sort(met.begin(), met.end(), [&](const Face* x, const Face* y) { return order.at(x) < order.at(y); });
        met.erase(std::unique(met.begin(), met.end()), met.end());
        for (Face* g : met) crossing.push_back({f, g});
    }
    // Pairs with a face the curve crossed itself in come first: where the walls of a
    // thin part cross all along, the bound on the work can end the search before it
    // reaches them.
    std::stable_partition(crossing.begin(), crossing.end(), [first](const std::pair<Face*, Face*>& p) {
        return p.first == first[0] || p.first == first[1] || p.second == first[0] || p.second == first[1];
    });
    if (crossing.empty()) return false;
    most += work + 256 * given.size();
    std::map<std::array<float, 3>, int> vertices_at;
    {
        std::unordered_set<const Vertex*> seen;
        for (const Face* f : given)
            for (const Vertex* v : f->v)
                if (seen.insert(v).second) ++vertices_at[{v->x, v->y, v->z}];
    }
    const auto step = [](float x, int n) {
        for (; n > 0; --n) x = std::nextafter(x, HUGE_VALF);
        for (; n < 0; ++n) x = std::nextafter(x, -HUGE_VALF);
        return x;
    };
    using FacePair = std::pair<size_t, size_t>;  // places in the face list
    const auto key_of = [&](const Face* x, const Face* y) -> FacePair { return std::minmax(order.at(x), order.at(y)); };
    const auto set_box = [&](Face* f) { box_of(f->v, 3, 0, f->box); };
    // The faces around the corner being moved: their normals and crossings as they were.
    std::vector<Face*> ring;
    std::vector<Normal> was;
    std::vector<char> folded;
    std::vector<FacePair> before;
    FacePair target;
    const auto crossings_of_ring = [&]() {
        std::vector<FacePair> out;
        for (const Face* f : ring)
            own.any(f->box, [&](const Face* h) {
                if (h != f && faces_cross(f, h)) out.push_back(key_of(f, h));
                return false;
            });
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
        return out;
    };
    const auto fits = [&](const Vertex* v) {
        if (!std::isfinite(v->x) || !std::isfinite(v->y) || !std::isfinite(v->z)) return false;
        float point[6];
        box_of(&v, 1, 0, point);
        const bool meets = own.any(point, [&](const Face* h) {
            for (const Vertex* w : h->v)
                if (w != v && w->x == v->x && w->y == v->y && w->z == v->z) return true;
            return false;
        });
        if (meets) return false;
        for (size_t i = 0; i < ring.size(); ++i) {
            if (!has_plane_exactly(ring[i])) return false;
            if (facing(normal_of(ring[i]), was[i]) <= 0 && !(folded[i] && !against_a_neighbour(ring[i], false))) return false;
        }
        for (const Face* f : ring) {
            const bool crosses = own.any(f->box, [&](const Face* h) {
                if (h == f || !faces_cross(f, h)) return false;
                const FacePair key = key_of(f, h);
                return key == target || !std::binary_search(before.begin(), before.end(), key);
            });
            if (crosses) return false;
        }
        return true;
    };
    // Moves in float steps along each axis, the nearest first at each corner.
    std::vector<std::array<int, 3>> offsets;
    for (int i = -steps; i <= steps; ++i)
        for (int j = -steps; j <= steps; ++j)
            for (int k = -steps; k <= steps; ++k)
                if (i || j || k) offsets.push_back({i, j, k});
    std::vector<std::pair<double, size_t>> by_length;
    bool moved = false;
    for (const auto& [f, g] : crossing) {
        if (work > most) break;
        if (!faces_cross(f, g)) continue;  // parted by an earlier move
        Vertex* corners[6];
        int n = 0;
        for (const Face* h : {f, g})
            for (Vertex* v : h->v)
                if (std::find(corners, corners + n, v) == corners + n) corners[n++] = v;
        for (Vertex* v : std::span(corners, size_t(n))) {
            const std::array<float, 3> home = {v->x, v->y, v->z};
            if (vertices_at[home] != 1) continue;
            ring.clear();
            float point[6];
            box_of(&v, 1, 0, point);
            own.any(point, [&](const Face* h) {
                if (std::find(std::begin(h->v), std::end(h->v), v) != std::end(h->v) &&
                    std::find(ring.begin(), ring.end(), h) == ring.end())
                    ring.push_back(const_cast<Face*>(h));
                return false;
            });
            was.clear();
            folded.clear();
            for (const Face* h : ring) was.push_back(normal_of(h)), folded.push_back(against_a_neighbour(h, true));
            before = crossings_of_ring();
            target = key_of(f, g);
            by_length.clear();
            for (size_t i = 0; i < offsets.size(); ++i) {
                double len = 0;
                for (int k = 0; k < 3; ++k) {
                    const double d = double(step(home[k], offsets[i][k])) - home[k];
                    len += d * d;
                }
                by_length.push_back({len, i});
            }
            std::sort(by_length.begin(), by_length.end());
            bool parted = false;
            for (const auto& [len, i] : by_length) {
                v->x = step(home[0], offsets[i][0]), v->y = step(home[1], offsets[i][1]), v->z = step(home[2], offsets[i][2]);
                for (Face* h : ring) set_box(h);
                if ((parted = fits(v))) break;
            }
            if (!parted) {
                v->x = home[0], v->y = home[1], v->z = home[2];
                for (Face* h : ring) set_box(h);
                continue;
            }
            // The grid lists a face by the cells its box covered: listed again by its new box.
            for (Face* h : ring) {
                h->has_plane = false;
                own.add(h);
            }
            const float p[3] = {v->x, v->y, v->z};
            for (int k = 0; k < 3; ++k) s.box[k] = std::min(s.box[k], p[k]), s.box[k + 3] = std::max(s.box[k + 3], p[k]);
            --vertices_at[home];
            ++vertices_at[{v->x, v->y, v->z}];
            moved = true;
            break;
        }
    }
    // The orientation's ray index lists faces by the cells of their boxes as they were.
    if (moved) s.rays.reset();
    return moved;
}

bool exact_cut(Context& ctx) {
    const bool unfolded = unfold_slivers(ctx, ctx.a, ctx.b) | unfold_slivers(ctx, ctx.b, ctx.a);
    std::vector<Piece> pieces;
    std::vector<std::pair<Face*, std::pair<size_t, size_t>>> split;  // face, its pieces
    // The crossings and the faces split along them; the reason where a face can not be.
    const auto cut_faces = [&](Cut& cut) -> const char* {
        pieces.clear();
        split.clear();
        for (Face* f = ctx.a.faces; f; f = f->next)
            if (live(f)) cut.faces.push_back(f);
        cut.na = cut.faces.size();
        for (Face* f = ctx.b.faces; f; f = f->next)
            if (live(f)) cut.faces.push_back(f);
        for (size_t i = 0; i < cut.faces.size(); ++i) cut.faces[i]->mark = static_cast<uint32_t>(i);
        cut.key.assign(cut.faces.size(), 2);
        try {
            for_each_pair(cut, [&cut](Face* fa, Face* fb) { cut.pair(fa, fb); });
            // By face, and within one in an order that does not depend on how the pairs
            // were met.
            const auto& xs = cut.crossings;
            std::sort(cut.segs.begin(), cut.segs.end(), [&xs](const Seg& l, const Seg& r) {
                if (l.face != r.face) return l.face < r.face;
                const uint64_t lf = xs[size_t(l.from)].key, rf = xs[size_t(r.from)].key;
                return lf != rf ? lf < rf : xs[size_t(l.to)].key < xs[size_t(r.to)].key;
            });
            for (size_t i = 0, j = 0; i < cut.segs.size(); i = j) {
                while (j < cut.segs.size() && cut.segs[j].face == cut.segs[i].face) ++j;
                Face* f = cut.faces[size_t(cut.segs[i].face)];
                const size_t from = pieces.size();
                split_face(cut, f, &cut.segs[i], cut.segs.data() + j, pieces);
                split.push_back({f, {from, pieces.size()}});
            }
        } catch (const Unsplittable& u) {
            return u.why;
        }
        return nullptr;
    };
    std::optional<Cut> made_cut;
    const char* why = cut_faces(made_cut.emplace(ctx));
    // Where a face can not be split, folds of rounding in either solid are parted and
    // the cut is made again; where it still can not be, the folds left are parted by
    // moves reaching farther, and the cut made once more. The farther moves come only
    // second: made at once they part some folds by another way than the nearer ones
    // would, and left cuts that came out whole with the nearer moves failing.
    bool nudged = false;
    const Face* const none[2] = {nullptr, nullptr};
    if (why && (nudge_folds(ctx.a, ctx.b, kNudgeSteps, none) | nudge_folds(ctx.b, ctx.a, kNudgeSteps, none))) {
        nudged = true;
        why = cut_faces(made_cut.emplace(ctx));
    }
    if (why) {
        // The pair the curve crossed itself at, first.
        const Face* const first[2] = {made_cut->folded[0], made_cut->folded[1]};
        if (nudge_folds(ctx.a, ctx.b, kFarNudgeSteps, first) | nudge_folds(ctx.b, ctx.a, kFarNudgeSteps, first)) {
            nudged = true;
            why = cut_faces(made_cut.emplace(ctx));
        }
    }
    Cut& cut = *made_cut;
    if (why) {
        ctx.gave_way = why;
        ctx.ties = cut.zero;
        return false;
    }
    ctx.ties = cut.zero;
    ctx.touch_only = cut.flat_contact && cut.segs.empty();
    ctx.degenerate = cut.zero || unfolded || nudged;
    ctx.uncut = cut.segs.empty();
    // Nothing can fail from here: the solids take the pieces.
    const std::vector<Face*> original_a(cut.faces.begin(), cut.faces.begin() + long(cut.na));
    const std::vector<Face*> original_b(cut.faces.begin() + long(cut.na), cut.faces.end());
    // Crossings take their float place here. Those that round to one point, or onto a
    // corner of a cut face, become one vertex; pieces left with a corner twice are
    // gone (the edge between the two collapsed, keeping the surface closed).
    struct At {
        size_t operator()(const std::array<float, 3>& k) const {
            uint32_t b[3];
            std::memcpy(b, k.data(), sizeof b);
            return (size_t(b[0]) * 0x9E3779B97F4A7C15ull) ^ (size_t(b[1]) * 0xC2B2AE3D27D4EB4Full) ^ b[2];
        }
    };
    std::unordered_map<std::array<float, 3>, Vertex*, At> placed[2];
    for (const auto& [f, range] : split)
        for (Vertex* v : f->v) placed[cut.of_a(f) ? 0 : 1].try_emplace({v->x, v->y, v->z}, v);
    std::vector<Placed> made[2];
    struct PairHash {
        size_t operator()(const std::pair<Vertex*, Vertex*>& p) const {
            return std::hash<const void*>()(p.first) * 31 ^ std::hash<const void*>()(p.second);
        }
    };
    std::unordered_set<std::pair<Vertex*, Vertex*>, PairHash> curve_at[2];
    made[0].reserve(pieces.size());
    made[1].reserve(pieces.size());
    for (const auto& [f, range] : split) {
        const bool in_a = cut.of_a(f);
        Solid& s = in_a ? ctx.a : ctx.b;
        f->state = kDiscarded;
        for (size_t i = range.first; i < range.second; ++i) {
            const Piece& pc = pieces[i];
            Vertex* w[3];
            for (int k = 0; k < 3; ++k) {
                if (pc.ref[k] < 0) {
                    w[k] = f->v[-1 - pc.ref[k]];
                    continue;
                }
                Crossing& x = cut.crossings[size_t(pc.ref[k])];
                Vertex*& v = in_a ? x.va : x.vb;
                if (!v) {
                    const std::array<float, 3> at = {float(x.p[0]), float(x.p[1]), float(x.p[2])};
                    Vertex*& there = placed[in_a ? 0 : 1][at];
                    if (!there) {
                        there = add_vertex(ctx, s, at[0], at[1], at[2]);
                        there->flags = kOnCut;
                    }
                    v = there;
                }
                w[k] = v;
            }
            // The curve keeps its rounded edges even where every piece that held one
            // collapsed: another piece may have the same edge there.
            for (int k = 0; k < 3; ++k)
                if (pc.curve[k] && w[k] != w[(k + 1) % 3]) curve_at[in_a ? 0 : 1].insert(std::minmax(w[k], w[(k + 1) % 3]));
            if (w[0] == w[1] || w[1] == w[2] || w[2] == w[0]) {
                ctx.degenerate = true;
                continue;
            }
            Placed t{{w[0], w[1], w[2]}, pc.state, {}, {}, false, int32_t(f->mark)};
            for (int k = 0; k < 3; ++k) {
                t.curve[k] = pc.curve[k];
                t.along[k] = pc.on_edge[k] ? f->e[pc.on_edge[k] - 1] : nullptr;
            }
            made[in_a ? 0 : 1].push_back(t);
        }
    }
    // The faces that stand for each face of a flat contact.
    std::vector<std::vector<Face*>> stands(cut.faces.size());
    for (const auto& [fa, fb] : cut.flat_pairs) stands[size_t(fa)] = {cut.faces[size_t(fa)]}, stands[size_t(fb)] = {cut.faces[size_t(fb)]};
    for (int i = 0; i < 2; ++i) {
        Solid& s = i == 0 ? ctx.a : ctx.b;
        for (Placed& t : made[i])
            for (int k = 0; k < 3; ++k) t.curve[k] = t.curve[k] || curve_at[i].count(std::minmax(t.w[k], t.w[(k + 1) % 3]));
        mend_flat_pieces(ctx, s, made[i]);
    }
    split_curve_at_flat_pieces(ctx, made, [&](int i, const Vertex* like, bool make) -> Vertex* {
        const std::array<float, 3> at = {like->x, like->y, like->z};
        auto it = placed[i].find(at);
        if (it != placed[i].end()) return it->second;
        if (!make) return nullptr;
        Vertex* v = add_vertex(ctx, i == 0 ? ctx.a : ctx.b, at[0], at[1], at[2]);
        v->flags = kOnCut;
        return placed[i][at] = v;
    });
    for (int i = 0; i < 2; ++i) {
        Solid& s = i == 0 ? ctx.a : ctx.b;
        for (const Placed& t : made[i]) {
            if (t.gone) continue;
            Face* g = new_face(ctx, s, t.w[0], t.w[1], t.w[2]);
            g->piece_of = uint32_t(t.from);
            if (!stands[size_t(t.from)].empty()) {
                if (stands[size_t(t.from)][0] == cut.faces[size_t(t.from)]) stands[size_t(t.from)].clear();
                stands[size_t(t.from)].push_back(g);
            }
            g->state = t.state;
            for (int k = 0; k < 3; ++k) {
                Edge* e = g->e[k];
                if (t.curve[k]) set_edge_flags(s, e, kCutEdge);
                else if (t.along[k] && e->flags == kMarked) e->flags = t.along[k]->flags;
            }
        }
    }
    ctx.flat_pairs.clear();
    for (const auto& [fa, fb] : cut.flat_pairs) ctx.flat_pairs.emplace_back(stands[size_t(fa)], stands[size_t(fb)]);
    // Sides spread over the edges off the curve; a part the curve never reaches lies
    // wholly on one side, found by a ray from one of its corners.
    // The other solid's index: the one its orientation made, or one made when first
    // asked.
    std::shared_ptr<const RayIndex> index_of[2] = {ctx.b.rays, ctx.a.rays};  // of B's faces and of A's
    for (Solid* s : {&ctx.a, &ctx.b}) {
        std::vector<Face*> queue;
        for (Face* f = s->faces; f; f = f->next)
            if (live(f) && f->state) queue.push_back(f);
        // Rounding can lay a sliver of one side along the curve onto pieces of the
        // other side, or a piece onto a whole face of its own side (a piece and one
        // turned over on the same corners, crossings rounded onto a corner): an edge
        // off the curve then has more than two faces, and the faces of a side there may
        // pair up among themselves, that side closed over the edge on its own. Across
        // such an edge a side spreads only when its faces there do not pair up, to a
        // face running the other way along it, and a side whose faces pair up there
        // does not disagree.
        const auto spread = [&ctx, &queue]() {
            while (!queue.empty()) {
                Face* f = queue.back();
                queue.pop_back();
                for (Edge* e : f->e) {
                    if (e->flags & kCutEdge) continue;
                    const auto [faces, balance] = faces_and_balance(e, f->state);
                    const bool crowded = faces > 2;
                    if (crowded && balance == 0) continue;
                    for (FaceNode* n = e->faces; n; n = n->next) {
                        Face* g = n->face;
                        if (!live(g) || g == f) continue;
                        if (crowded && run_along(g, e) == run_along(f, e)) continue;
                        if (g->state == kUnclassified) {
                            g->state = f->state;
                            queue.push_back(g);
                        } else if (g->state != f->state) {
                            if (crowded && faces_and_balance(e, g->state).second == 0) continue;
                            raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Sides of the cut disagree");
                        }
                    }
                }
            }
        };
        spread();
        const bool in_a = s == &ctx.a;
        const auto rays = [&]() -> const RayIndex& {
            std::shared_ptr<const RayIndex>& index = index_of[in_a ? 0 : 1];
            if (!index) index = std::make_shared<const RayIndex>(in_a ? original_b : original_a);
            return *index;
        };
        check_sides_by_ray(ctx, *s, in_a ? original_b : original_a, rays, in_a ? 1 : -1);
        for (Face* f = s->faces; f; f = f->next) {
            if (!live(f) || f->state) continue;
            f->state = inside_of(ctx, dv(f->v[0]), rays(), nullptr, in_a ? 1 : -1) ? kInside : kOutside;
            queue.push_back(f);
            spread();
        }
    }
    return true;
}

}  // namespace csg
