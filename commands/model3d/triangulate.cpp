// Contour toolkit of the 3D text builder: boxes, inset rings, crossing tests, hole
// bridges and ear clipping (see triangulate.h). The hatch's clipper in model/geom
// follows other rules (shortest diagonal first) and is kept apart; the two share
// the box tree over runs of the contour.
#include "commands/model3d/triangulate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <optional>
#include <type_traits>

#include "model/geom/run_box_tree.h"
#include "model/math/result.h"

namespace {

struct P2 {
    double x, y, z;
};

P2 read_at(const ContourRecord& rec, int32_t index) {
    double v[3] = {0, 0, 0};
    rec.vertex_io(rec.vertices, index, v, 0);
    return {v[0], v[1], v[2]};
}

// Reads vertex `index` straight into *p. Filling whole arrays through read_at costs
// several times more: the caller's routine stores the coordinates one by one, and
// the copy out of its array loads two at once, which waits until both stores retire.
void read_into(const ContourRecord& rec, int32_t index, P2* p) {
    static_assert(std::is_standard_layout_v<P2> && sizeof(P2) == 3 * sizeof(double));
    *p = {0, 0, 0};
    rec.vertex_io(rec.vertices, index, reinterpret_cast<double*>(p), 0);
}

int32_t range_count(const ContourRecord& rec) { return rec.last >= rec.first ? rec.last - rec.first + 1 : 0; }

// Implicit line function through p0, p1 evaluated at q.
double line_f(const P2& p0, const P2& p1, const P2& q) {
    const double a = p0.y - p1.y, b = p1.x - p0.x, c = p1.y * p0.x - p0.y * p1.x;
    return a * q.x + b * q.y + c;
}

// Parameter along q0 -> q1 where it meets the line p0 p1; 2 when it starts on the
// line or runs parallel to it.
double meet(const P2& p0, const P2& p1, const P2& q0, const P2& q1) {
    const double f0 = line_f(p0, p1, q0), f1 = line_f(p0, p1, q1);
    if (f0 == 0 || f0 - f1 == 0) return 2.0;
    return f0 / (f0 - f1);
}

bool segments_cross(const P2& p0, const P2& p1, const P2& q0, const P2& q1) {
    // Segments whose boxes are apart never meet. The line tests alone take two
    // segments lying apart on one line (the bottoms of two serifs) for a crossing
    // whenever rounding puts each one's ends on either side of the other's line.
    if (std::fmax(p0.x, p1.x) < std::fmin(q0.x, q1.x) || std::fmax(q0.x, q1.x) < std::fmin(p0.x, p1.x) ||
        std::fmax(p0.y, p1.y) < std::fmin(q0.y, q1.y) || std::fmax(q0.y, q1.y) < std::fmin(p0.y, p1.y))
        return false;
    const double t = meet(p0, p1, q0, q1);
    if (!(t >= 0 && t <= 1)) return false;
    const double s = meet(q0, q1, p0, p1);
    return s >= 0 && s <= 1;
}

// Twice the signed area of (a, b, c): positive counter-clockwise.
double turn(const P2& a, const P2& b, const P2& c) {
    return (b.y - c.y) * a.x - (a.y - c.y) * b.x + (a.y - b.y) * c.x;
}

}  // namespace

double vec3d_dist(const double a[3], const double b[3]) {
    const double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

int contour_init_range(ContourRecord* rec, ContourVertexIo io, void* vertices, int32_t first, int32_t last) {
    rec->vertex_io = io;
    rec->vertices = vertices;
    rec->first = first;
    rec->last = last;
    rec->clockwise = 1;
    rec->count = 0;
    rec->entries.clear();
    const int32_t n = last >= first ? last - first + 1 : 0;
    try {
        rec->entries.resize(static_cast<size_t>(n));
    } catch (const std::bad_alloc&) {
        rec->entries.clear();
        return kOutOfMemory;
    }
    for (int32_t i = 0; i < n; ++i) rec->entries[i] = {first + i, 0};
    rec->count = n;
    return 0;
}

void contour_free(ContourRecord* rec) {
    std::vector<ContourEntry>().swap(rec->entries);
    rec->count = 0;
}

void contour_set_free(ContourSet* set) {
    for (ContourRecord& r : *set) contour_free(&r);
    ContourSet().swap(*set);
}

void contour_update_box(ContourRecord* rec, int32_t base) {
    if (rec->first >= rec->last || !rec->vertex_io) return;
    const P2 f = read_at(*rec, base + rec->first);
    double mn[3] = {f.x, f.y, f.z}, mx[3] = {f.x, f.y, f.z};
    P2 prev = read_at(*rec, base + rec->last);
    double area2 = 0;
    for (int32_t i = rec->first; i <= rec->last; ++i) {
        const P2 p = i == rec->first ? f : read_at(*rec, base + i);
        mn[0] = std::fmin(mn[0], p.x), mx[0] = std::fmax(mx[0], p.x);
        mn[1] = std::fmin(mn[1], p.y), mx[1] = std::fmax(mx[1], p.y);
        area2 += prev.x * p.y - p.x * prev.y;
        prev = p;
    }
    for (int k = 0; k < 3; ++k) rec->box_min[k] = mn[k], rec->box_max[k] = mx[k];
    rec->clockwise = area2 < 0 ? 1 : 0;
}

int contour_inset(ContourRecord* rec, int32_t base, double d, double z_shift) {
    const int32_t n = range_count(*rec);
    if (n == 0 || !rec->vertex_io) return 0;
    std::vector<P2> src, out;
    try {
        src.resize(static_cast<size_t>(n));
        out.resize(static_cast<size_t>(n));
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    for (int32_t i = 0; i < n; ++i) src[i] = read_at(*rec, base + rec->first + i);
    bool finite = true;
    for (int32_t i = 0; i < n; ++i) {
        const P2& p = src[i];
        out[i] = {p.x, p.y, p.z + z_shift};
        if (d == 0) continue;
        // Nearest distinct neighbours on either side.
        int32_t qi = i, si = i;
        double ql = 0, sl = 0;
        for (int32_t k = 1; k < n && ql == 0; ++k) {
            qi = (i - k + n) % n;
            ql = std::hypot(src[qi].x - p.x, src[qi].y - p.y);
        }
        for (int32_t k = 1; k < n && sl == 0; ++k) {
            si = (i + k) % n;
            sl = std::hypot(src[si].x - p.x, src[si].y - p.y);
        }
        if (ql == 0 || sl == 0) continue;  // every point at one place: nothing to move
        const double ux = (src[qi].x - p.x) / ql, uy = (src[qi].y - p.y) / ql;
        const double wx = (src[si].x - p.x) / sl, wy = (src[si].y - p.y) / sl;
        // (n x u) + (w x n) with n = +z.
        double bx = -uy + wy, by = ux - wx;
        const double bl = std::hypot(bx, by);
        if (bl > 1e-12) {
            bx /= bl, by /= bl;
        } else {
            bx = -uy, by = ux;  // a spike: the normal of its edge
        }
        const double dot = std::fmax(-1.0, std::fmin(1.0, ux * wx + uy * wy));
        const double h = std::fmax(std::acos(dot) / 2, 0.15);
        const double k = d / std::sin(h);
        out[i].x = p.x + bx * k;
        out[i].y = p.y + by * k;
        if (!std::isfinite(out[i].x) || !std::isfinite(out[i].y) || !std::isfinite(out[i].z)) finite = false;
    }
    for (int32_t i = 0; i < n; ++i) {
        double v[3] = {out[i].x, out[i].y, out[i].z};
        rec->vertex_io(rec->vertices, base + rec->first + i, v, 1);
    }
    // An edge that runs against its original direction was shrunk past nothing: the
    // inset is wider than the contour there. A small square inset past its middle
    // comes back turned round by half a turn, with the same turning sense and no
    // crossing, so only its edges tell.
    bool reversed = false;
    for (int32_t i = 0; i < n && d != 0 && !reversed; ++i) {
        const int32_t j = i == 0 ? n - 1 : i - 1;
        const double ex = src[i].x - src[j].x, ey = src[i].y - src[j].y;
        const double along = (out[i].x - out[j].x) * ex + (out[i].y - out[j].y) * ey;
        reversed = along < -1e-9 * (ex * ex + ey * ey);
    }
    const int32_t before = rec->clockwise;
    contour_update_box(rec, base);
    if (!finite) return 2;
    const bool flipped = reversed || (before != 0) != (rec->clockwise != 0);
    if (!flipped && before == 2) rec->clockwise = 2;
    return flipped ? 1 : 0;
}

int contours_cross(const ContourRecord& a, const ContourRecord& b, int32_t base) {
    const int32_t na = range_count(a), nb = range_count(b);
    if (na < 2 || nb < 2 || !a.vertex_io || !b.vertex_io) return 0;
    std::vector<P2> pa(static_cast<size_t>(na)), pb;
    for (int32_t i = 0; i < na; ++i) pa[i] = read_at(a, base + a.first + i);
    const bool same = &a == &b;
    if (!same) {
        pb.resize(static_cast<size_t>(nb));
        for (int32_t i = 0; i < nb; ++i) pb[i] = read_at(b, base + b.first + i);
    }
    const std::vector<P2>& qb = same ? pa : pb;
    // Segment k runs from point k - 1 (cyclic) to point k.
    for (int32_t i = 0; i < na; ++i) {
        const int32_t i0 = (i + na - 1) % na;
        for (int32_t j = 0; j < nb; ++j) {
            const int32_t j0 = (j + nb - 1) % nb;
            if (same && (i == j || i0 == j || i == j0 || i0 == j0)) continue;
            if (segments_cross(pa[i0], pa[i], qb[j0], qb[j])) return 1;
        }
    }
    return 0;
}

int contour_set_inset(ContourSet* set, int32_t base, double d, double z_shift, const std::vector<char>* crossed) {
    for (ContourRecord& r : *set)
        if (const int e = contour_inset(&r, base, d, z_shift)) return e == kOutOfMemory ? e : kContourInsetFolds;
    const size_t n = set->size();
    try {
        for (size_t i = 0; i < n; ++i)
            for (size_t j = i; j < n; ++j) {
                if (crossed && (*crossed)[i * n + j]) continue;
                if (contours_cross((*set)[i], (*set)[j], base)) return kContourInsetFolds;
            }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return 0;
}

std::vector<char> contour_set_crossings(const ContourSet& set, int32_t base) {
    const size_t n = set.size();
    std::vector<char> out(n * n, 0);
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i; j < n; ++j) out[i * n + j] = static_cast<char>(contours_cross(set[i], set[j], base));
    return out;
}

int contour_bridge_hole(ContourRecord* outer, const ContourRecord& hole) {
    const int32_t m = outer->count, h = hole.count;
    if (m == 0 || h == 0) return 0;
    double best = 1e30;
    int32_t bi = -1, bj = -1;
    std::vector<P2> op;
    std::optional<RunBoxTree> tree;  // a tree allocates as it is made
    try {
        op.resize(static_cast<size_t>(m));
        for (int32_t j = 0; j < m; ++j) read_into(*outer, outer->entries[j].vertex, &op[j]);
        tree.emplace().build(op, [&](int j) { return outer->entries[j].flags == 0; });
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    for (int32_t i = 0; i < h; ++i) {
        if (hole.entries[i].flags) continue;
        const P2 hp = read_at(hole, hole.entries[i].vertex);
        const double a[3] = {hp.x, hp.y, hp.z};
        // The outer entries in order, past the boxes whose every point lies too far
        // to beat the best so far (by a margin above the distance's rounding).
        tree->search(
            [&](const RunBoxTree::Node& node) {
                double gap2 = 0;
                for (int k = 0; k < 3; ++k) {
                    const double g = std::max(std::max(node.lo[k] - a[k], a[k] - node.hi[k]), 0.0);
                    gap2 += g * g;
                }
                const double limit = best * (1 - 1e-10);
                return gap2 > limit * limit * (1 + 1e-12);
            },
            [&](int j) {
                if (outer->entries[j].flags) return false;
                const double b[3] = {op[j].x, op[j].y, op[j].z};
                const double dist = vec3d_dist(a, b);
                // Pairs within rounding of the best are ties: the first keeps them, so
                // a contour scaled by any size bridges alike.
                if (dist > 0 && dist < best * (1 - 1e-10)) best = dist, bi = i, bj = j;
                return false;
            });
    }
    if (bi < 0) return 0;  // nothing to bridge to
    std::vector<ContourEntry> merged;
    try {
        merged.reserve(static_cast<size_t>(m) + h + 2);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
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

namespace {

// A set of indices 0..n-1 with a quick "first member at or after i": one bit per
// index, and above it one bit per non-empty word of the level below, up to a level
// of one word.
class IndexSet {
  public:
    explicit IndexSet(int32_t n) {
        size_t count = static_cast<size_t>(n);
        do {
            count = (count + 63) / 64;
            levels_.emplace_back(count, 0);
        } while (count > 1);
    }
    void insert(int32_t i) {
        size_t at = static_cast<size_t>(i);
        for (std::vector<uint64_t>& words : levels_) {
            const bool was_empty = words[at / 64] == 0;
            words[at / 64] |= uint64_t(1) << (at % 64);
            if (!was_empty) break;
            at /= 64;
        }
    }
    void erase(int32_t i) {
        size_t at = static_cast<size_t>(i);
        for (std::vector<uint64_t>& words : levels_) {
            words[at / 64] &= ~(uint64_t(1) << (at % 64));
            if (words[at / 64] != 0) break;
            at /= 64;
        }
    }
    // The smallest member >= i, or -1.
    int32_t next(int32_t i) const {
        const int64_t at = next_in(0, static_cast<uint64_t>(i));
        return static_cast<int32_t>(at);
    }

  private:
    int64_t next_in(size_t level, uint64_t i) const {
        const std::vector<uint64_t>& words = levels_[level];
        const uint64_t w = i / 64;
        if (w >= words.size()) return -1;
        const uint64_t here = words[w] & (~uint64_t(0) << (i % 64));
        if (here) return static_cast<int64_t>(w * 64 + static_cast<uint64_t>(__builtin_ctzll(here)));
        if (level + 1 == levels_.size()) return -1;
        const int64_t nw = next_in(level + 1, w + 1);
        if (nw < 0) return -1;
        return nw * 64 + __builtin_ctzll(words[static_cast<size_t>(nw)]);
    }

    std::vector<std::vector<uint64_t>> levels_;
};

// The box tree of the ear test: the layout of RunBoxTree (leaves of kLeaf entries of
// the ring, node k's children 2k and 2k + 1, boxes built alike, so a box is the same
// to the bit), in x and y only, with the boxes of two children side by side in one
// cache line, so they are tested together, one in each lane.
class PairBoxTree {
  public:
    static constexpr int kLeaf = RunBoxTree::kLeaf;
    using Lanes = double __attribute__((vector_size(16)));
    using Mask = decltype(Lanes{} < Lanes{});

    template <class Live>
    void build(const std::vector<P2>& pts, Live live) {
        n_ = static_cast<int>(pts.size());
        leaves_ = 1;
        while (int64_t(leaves_) * kLeaf < n_) leaves_ *= 2;
        pairs_.assign(static_cast<size_t>(leaves_), Pair{});
        live_.assign(size_t(2) * leaves_, 0);
        for (int first = 0; first < n_; first += kLeaf) {
            const int last = std::min(n_, first + kLeaf);
            double lx = INFINITY, ly = INFINITY, hx = -INFINITY, hy = -INFINITY;
            int count = 0;
            for (int i = first; i < last; ++i) {
                lx = std::min(lx, pts[i].x), hx = std::max(hx, pts[i].x);
                ly = std::min(ly, pts[i].y), hy = std::max(hy, pts[i].y);
                count += live(i) ? 1 : 0;
            }
            set_box(leaves_ + first / kLeaf, lx, ly, hx, hy);
            live_[static_cast<size_t>(leaves_ + first / kLeaf)] = count;
        }
        for (int k = leaves_ - 1; k >= 1; --k) {
            const Pair& c = pairs_[static_cast<size_t>(k)];
            set_box(k, std::min(c.lx[0], c.lx[1]), std::min(c.ly[0], c.ly[1]), std::max(c.hx[0], c.hx[1]),
                    std::max(c.hy[0], c.hy[1]));
            live_[static_cast<size_t>(k)] = live_[size_t(2) * k] + live_[size_t(2) * k + 1];
        }
    }
    // The box of all points: lo x, lo y, hi x, hi y.
    std::array<double, 4> root() const {
        const Pair& p = pairs_[0];
        return {p.lx[1], p.ly[1], p.hx[1], p.hy[1]};
    }
    void kill(int i) {
        for (int k = leaves_ + i / kLeaf; k >= 1; k /= 2) --live_[static_cast<size_t>(k)];
    }
    void revive(int i) {
        for (int k = leaves_ + i / kLeaf; k >= 1; k /= 2) ++live_[static_cast<size_t>(k)];
    }

    // As RunBoxTree::search_runs, with `skip(lo x, lo y, hi x, hi y)` judging two
    // boxes at once (all ones in a lane whose box is ruled out). Node 0 holds nothing,
    // so the root is judged with it.
    template <class Skip, class VisitRun>
    bool search_runs(Skip skip, VisitRun visit) const {
        int stack[128];
        int top = 0;
        int parent = 0;  // of the pair of children to judge
        for (;;) {
            const Pair& p = pairs_[static_cast<size_t>(parent)];
            Lanes lx, ly, hx, hy;
            std::memcpy(&lx, p.lx, sizeof lx), std::memcpy(&ly, p.ly, sizeof ly);
            std::memcpy(&hx, p.hx, sizeof hx), std::memcpy(&hy, p.hy, sizeof hy);
            const Mask out = skip(lx, ly, hx, hy);
            const size_t first = size_t(2) * static_cast<size_t>(parent);
            if (live_[first + 1] != 0 && !out[1]) stack[top++] = static_cast<int>(first + 1);
            if (live_[first] != 0 && !out[0]) stack[top++] = static_cast<int>(first);
            int k = -1;
            while (top > 0) {
                k = stack[--top];
                if (k < leaves_) break;
                const int run = (k - leaves_) * kLeaf;
                if (visit(run, std::min(n_, run + kLeaf))) return true;
                k = -1;
            }
            if (k < 0) return false;
            parent = k;
        }
    }

  private:
    // The boxes of nodes 2k and 2k + 1.
    struct alignas(64) Pair {
        double lx[2] = {INFINITY, INFINITY}, ly[2] = {INFINITY, INFINITY};
        double hx[2] = {-INFINITY, -INFINITY}, hy[2] = {-INFINITY, -INFINITY};
    };
    void set_box(int node, double lx, double ly, double hx, double hy) {
        Pair& p = pairs_[static_cast<size_t>(node / 2)];
        const int lane = node % 2;
        p.lx[lane] = lx, p.ly[lane] = ly, p.hx[lane] = hx, p.hy[lane] = hy;
    }

    int n_ = 0;
    int leaves_ = 1;
    std::vector<Pair> pairs_;
    std::vector<int32_t> live_;
};

// An ear clipper over the ring of a contour's entries. The ring of remaining entries
// is kept as links (the entries stay in their order, so a position's successor is the
// next remaining entry, cyclically). Cutting an ear changes only its two neighbours'
// corners, so only theirs are recomputed; the convex entries are kept in an index set,
// so a turn of the rotating position visits only them, and the reflex ones in a box
// tree, so an ear's test visits only those near its triangle. Ears, their order and the
// forced ears come out as a full scan of every position and every reflex vertex would
// give them.
class EarClipper {
  public:
    EarClipper(const ContourRecord& rec, double tolerance)
        : rec_(rec), n_(rec.count), cw_(rec.clockwise != 0), eps_(tolerance) {}

    // Reads the points and sorts the corners into convex and reflex. 0; 8 when out of
    // memory.
    int init(int32_t base) {
        try {
            const size_t n = static_cast<size_t>(n_);
            pt_.resize(n);
            prev_.resize(n);
            next_.resize(n);
            convex_.resize(n);
            open_.assign(n / PairBoxTree::kLeaf + 1, 0);
            for (int32_t i = 0; i < n_; ++i) {
                read_into(rec_, base + rec_.entries[i].vertex, &pt_[i]);
                prev_[i] = i == 0 ? n_ - 1 : i - 1;
                next_[i] = i == n_ - 1 ? 0 : i + 1;
            }
            convex_set_.emplace(n_);
            for (int32_t i = 0; i < n_; ++i) {
                convex_[i] = is_convex(i);
                if (convex_[i]) {
                    convex_set_->insert(i);
                } else {
                    set_open(i, true);
                    ++reflex_count_;
                }
            }
            reflex_tree_.build(pt_, [&](int i) { return !convex_[i]; });
            const std::array<double, 4> all = reflex_tree_.root();
            const double span = std::max(all[2] - all[0], all[3] - all[1]);
            const double mag = std::max({std::fabs(all[0]), std::fabs(all[2]), std::fabs(all[1]), std::fabs(all[3])});
            extent2_ = span * (span + mag);
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
        return 0;
    }

    // Cuts ears until two entries are left, each one a face.
    void run(void* context, int32_t* face_counter, ContourFaceFn face, int32_t base) {
        int32_t left = n_;
        int32_t rot = n_ - 1;  // before the first entry
        bool all_convex = false;
        while (left > 2) {
            if (!all_convex) all_convex = reflex_count_ == 0;
            const int32_t from = next_[rot];
            const int32_t ear = all_convex ? from : find_ear(from);
            emit(ear, context, face_counter, face, base);
            // The position stays where the ear was, so the next advance skips one vertex.
            rot = clip(ear, all_convex);
            --left;
        }
    }

  private:
    using Lanes = PairBoxTree::Lanes;
    using Mask = PairBoxTree::Mask;

    // What an ear's test needs of the triangle of corner e: its corners, the box a
    // reflex vertex inside must lie in, and its edges turned to its side.
    struct EarTriangle {
        int32_t ip, e, is;
        P2 a, b, c;
        double qx0, qx1, qy0, qy1;
        double ex0, ex1, ex2, ey0, ey1, ey2;
        double k0, k1, k2;
        Mask sided_lanes;
    };

    bool is_convex(int32_t e) const { return (turn(pt_[prev_[e]], pt_[e], pt_[next_[e]]) < -eps_) == cw_; }

    // Per leaf of the tree, a bit for each of its entries that is still in the ring and
    // reflex: the only ones an ear's test looks at.
    void set_open(int32_t e, bool value) {
        static_assert(PairBoxTree::kLeaf <= 32);
        const uint32_t bit = uint32_t(1) << (e % PairBoxTree::kLeaf);
        uint32_t& word = open_[static_cast<size_t>(e / PairBoxTree::kLeaf)];
        word = value ? word | bit : word & ~bit;
    }

    // Edge from entry e to the next entry, when it is a contour edge (consecutive, not
    // a bridge).
    bool contour_edge(int32_t e, int32_t to) const {
        if ((e + 1) % n_ != to) return false;
        return !((rec_.entries[e].flags & kBridgeFrom) && (rec_.entries[to].flags & kBridgeTo));
    }

    static bool same_place(const P2& a, const P2& b) { return a.x == b.x && a.y == b.y; }

    // The triangle of the convex corner e; false when a corner is not a number (two of
    // the three values of the test would not be numbers: nothing is inside).
    bool ear_triangle(int32_t e, EarTriangle* q) const {
        const int32_t ip = prev_[e], is = next_[e];
        const P2 &a = pt_[ip], &b = pt_[e], &c = pt_[is];
        // The three values the test computes are, up to rounding, linear in the point
        // and sum to the triangle's doubled signed area t. Where it finds a point
        // inside, each value times the sign of t is at least -2 eps, and the point's
        // barycentric coordinates are at least -2 eps / |t|: it lies within the
        // triangle's box widened by 4 eps / |t| times its larger side. Boxes of the
        // tree that lie wholly beyond one of those bounds (beyond rounding) hold no
        // such point. A triangle too flat to have a sign of t is tested against every
        // reflex vertex.
        if (std::isnan(a.x) | std::isnan(a.y) | std::isnan(b.x) | std::isnan(b.y) | std::isnan(c.x) | std::isnan(c.y))
            return false;
        const double eps = eps_;
        const double x0 = std::min({a.x, b.x, c.x}), x1 = std::max({a.x, b.x, c.x});
        const double y0 = std::min({a.y, b.y, c.y}), y1 = std::max({a.y, b.y, c.y});
        const double side = std::max(x1 - x0, y1 - y0);
        const double mag = std::max({std::fabs(x0), std::fabs(x1), std::fabs(y0), std::fabs(y1)});
        const double t = turn(a, b, c);
        const double area = std::fabs(t) - 1e-12 * (mag + side) * side;
        const bool sided = area > 0;
        double grow = INFINITY;
        if (sided) {
            const double reach = 3 * side * (1 + 8 * eps / area);
            const double delta = (eps * (1 + 1e-9) + 1e-12 * reach * reach) / area;
            grow = 4 * delta * side + 1e-9 * (1 + mag);
        }
        if (!std::isfinite(grow)) grow = INFINITY;
        q->ip = ip, q->e = e, q->is = is;
        q->a = a, q->b = b, q->c = c;
        q->qx0 = x0 - grow, q->qx1 = x1 + grow, q->qy0 = y0 - grow, q->qy1 = y1 + grow;
        // Edge k from corner o along e, turned to the triangle's side: the value of a
        // point q is e x (q - o) = ex q.y - ey q.x + (ey o.x - ex o.y), largest over a
        // box at the corner the edge's direction picks.
        const double sign = t > 0 ? 1 : -1;
        q->ex0 = sign * (b.x - a.x), q->ex1 = sign * (c.x - b.x), q->ex2 = sign * (a.x - c.x);
        q->ey0 = sign * (b.y - a.y), q->ey1 = sign * (c.y - b.y), q->ey2 = sign * (a.y - c.y);
        // Room for the rounding of the values, here and in the test.
        const double bound = -2 * eps - 4e-12 * extent2_;
        q->k0 = q->ey0 * a.x - q->ex0 * a.y - bound;
        q->k1 = q->ey1 * b.x - q->ex1 * b.y - bound;
        q->k2 = q->ey2 * c.x - q->ex2 * c.y - bound;
        q->sided_lanes = Mask{} - (sided ? 1 : 0);
        return true;
    }

    // All ones in a lane whose box (lo x, lo y, hi x, hi y) holds no point the test
    // would find inside the triangle.
    static Mask boxes_apart(const EarTriangle& q, Lanes lx, Lanes ly, Lanes hx, Lanes hy) {
        // std::max and std::min lane by lane, alike for numbers that are not.
        auto max = [](Lanes p, Lanes r) { return p < r ? r : p; };
        auto min = [](Lanes p, Lanes r) { return r < p ? r : p; };
        const Mask apart = (lx > q.qx1) | (hx < q.qx0) | (ly > q.qy1) | (hy < q.qy0);
        const Lanes v0 = max(q.ex0 * ly, q.ex0 * hy) + max(-q.ey0 * lx, -q.ey0 * hx) + q.k0;
        const Lanes v1 = max(q.ex1 * ly, q.ex1 * hy) + max(-q.ey1 * lx, -q.ey1 * hx) + q.k1;
        const Lanes v2 = max(q.ex2 * ly, q.ex2 * hy) + max(-q.ey2 * lx, -q.ey2 * hx) + q.k2;
        return apart | (q.sided_lanes & (min(v0, min(v1, v2)) < 0));
    }

    // A reflex vertex of entries [first, last) in or on the triangle (its own corners
    // and vertices at their places aside).
    bool reflex_inside(const EarTriangle& q, int first, int last) const {
        const double eps = eps_;
        const P2 &a = q.a, &b = q.b, &c = q.c;
        // The triangle's own corners lie on it: they are left out at once.
        uint32_t bits = open_[static_cast<size_t>(first / PairBoxTree::kLeaf)];
        for (const int32_t corner : {q.ip, q.e, q.is})
            if (corner >= first && corner < last) bits &= ~(uint32_t(1) << (corner - first));
        for (; bits; bits &= bits - 1) {
            const int k = first + __builtin_ctz(bits);
            const P2& p = pt_[k];
            const double c1 = (a.x - p.x) * (b.y - p.y) - (a.y - p.y) * (b.x - p.x);
            const double c2 = (b.x - p.x) * (c.y - p.y) - (b.y - p.y) * (c.x - p.x);
            const double c3 = (c.x - p.x) * (a.y - p.y) - (c.y - p.y) * (a.x - p.x);
            if (!(((c1 > -eps) & (c2 > -eps) & (c3 > -eps)) | ((c1 < eps) & (c2 < eps) & (c3 < eps)))) continue;
            if (same_place(p, a) || same_place(p, b) || same_place(p, c)) continue;
            return true;
        }
        return false;
    }

    // Whether the convex corner e is an ear: no reflex vertex lies in or on its triangle.
    bool is_ear(int32_t e) const {
        EarTriangle q;
        if (!ear_triangle(e, &q)) return true;
        return !reflex_tree_.search_runs(
            [&](Lanes lx, Lanes ly, Lanes hx, Lanes hy) { return boxes_apart(q, lx, ly, hx, hy); },
            [&](int first, int last) { return reflex_inside(q, first, last); });
    }

    // The first ear among the convex corners from `from` round to the rotating position
    // (the one before `from`); when none is an ear, `from` itself is taken.
    int32_t find_ear(int32_t from) const {
        bool wrapped = false;
        for (int32_t e = convex_set_->next(from);;) {
            if (e < 0) {
                if (wrapped) break;
                wrapped = true;
                e = convex_set_->next(0);
                continue;
            }
            if (wrapped && e >= from) break;
            if (is_ear(e)) return e;
            e = e + 1 < n_ ? convex_set_->next(e + 1) : -1;
        }
        return from;
    }

    // Reports the ear's triangle, with a bit for each of its edges on the contour.
    void emit(int32_t ear, void* context, int32_t* face_counter, ContourFaceFn face, int32_t base) const {
        static const int kSwap[8] = {0, 4, 2, 6, 1, 5, 3, 7};
        const int32_t ep = prev_[ear], es = next_[ear];
        int bits = 0;
        if (contour_edge(ep, ear)) bits |= 4;
        if (contour_edge(ear, es)) bits |= 2;
        if (contour_edge(es, ep)) bits |= 1;
        const int32_t va = base + rec_.entries[ep].vertex, vb = base + rec_.entries[ear].vertex,
                      vc = base + rec_.entries[es].vertex;
        if (base == 0)
            face(context, *face_counter, va, vb, vc, kSwap[bits]);
        else
            face(context, *face_counter, va, vc, vb, bits);
        ++*face_counter;
    }

    // Takes the ear out of the ring and recomputes its neighbours' corners (once every
    // corner is convex, none is kept track of). Returns the entry after it.
    int32_t clip(int32_t ear, bool all_convex) {
        const int32_t ep = prev_[ear], es = next_[ear];
        if (!all_convex) {
            if (convex_[ear]) {
                convex_set_->erase(ear);
            } else {
                reflex_tree_.kill(ear);
                --reflex_count_;
            }
        }
        set_open(ear, false);
        next_[ep] = es;
        prev_[es] = ep;
        if (!all_convex) {
            cure(ep);
            cure(es);
        }
        return es;
    }

    // Files corner e as convex or reflex anew.
    void cure(int32_t e) {
        const bool value = is_convex(e);
        if (convex_[e] == value) return;
        convex_[e] = value;
        set_open(e, !value);
        if (value) {
            convex_set_->insert(e);
            reflex_tree_.kill(e);
            --reflex_count_;
        } else {
            convex_set_->erase(e);
            reflex_tree_.revive(e);
            ++reflex_count_;
        }
    }

    const ContourRecord& rec_;
    const int32_t n_;
    const bool cw_;
    const double eps_;
    std::vector<P2> pt_;
    std::vector<int32_t> prev_, next_;
    std::vector<unsigned char> convex_;
    std::vector<uint32_t> open_;
    std::optional<IndexSet> convex_set_;
    PairBoxTree reflex_tree_;
    int32_t reflex_count_ = 0;
    double extent2_ = 0;  // the points' extent times (extent + largest coordinate)
};

}  // namespace

int contour_triangulate(void* context, int32_t* face_counter, const ContourRecord& rec, ContourFaceFn face,
                        int32_t base, double tolerance) {
    if (rec.count < 3 || !rec.vertex_io) return 0;
    std::optional<EarClipper> clipper;  // its trees allocate as they are made
    try {
        clipper.emplace(rec, tolerance);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    if (const int rc = clipper->init(base)) return rc;
    clipper->run(context, face_counter, face, base);
    return 0;
}
