// Contour toolkit of the 3D text builder: boxes, inset rings, crossing tests, hole
// bridges and ear clipping (see triangulate.h). The hatch's clipper in model/geom
// follows other rules (shortest diagonal first) and is kept apart.
#include "commands/model3d/triangulate.h"

#include <cmath>
#include <new>

namespace {

struct P2 {
    double x, y, z;
};

P2 read_at(const ContourRecord& rec, int32_t index) {
    double v[3] = {0, 0, 0};
    rec.vertex_io(rec.vertices, index, v, 0);
    return {v[0], v[1], v[2]};
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
        return 1;
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
    std::vector<P2> src(static_cast<size_t>(n)), out(static_cast<size_t>(n));
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
        if (contour_inset(&r, base, d, z_shift) != 0) return 34;
    const size_t n = set->size();
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i; j < n; ++j) {
            if (crossed && (*crossed)[i * n + j]) continue;
            if (contours_cross((*set)[i], (*set)[j], base)) return 34;
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
    std::vector<P2> op(static_cast<size_t>(m));
    for (int32_t j = 0; j < m; ++j) op[j] = read_at(*outer, outer->entries[j].vertex);
    for (int32_t i = 0; i < h; ++i) {
        if (hole.entries[i].flags) continue;
        const P2 hp = read_at(hole, hole.entries[i].vertex);
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

int contour_triangulate(void* context, int32_t* face_counter, const ContourRecord& rec, ContourFaceFn face,
                        int32_t base, double tolerance) {
    const int32_t n = rec.count;
    if (n < 3 || !rec.vertex_io) return 0;
    std::vector<int32_t> pos;
    std::vector<unsigned char> convex;
    std::vector<P2> pt;
    try {
        pos.resize(static_cast<size_t>(n));
        convex.resize(static_cast<size_t>(n));
        pt.resize(static_cast<size_t>(n));
    } catch (const std::bad_alloc&) {
        return 8;
    }
    for (int32_t i = 0; i < n; ++i) {
        pos[i] = i;
        pt[i] = read_at(rec, base + rec.entries[i].vertex);
    }
    const bool cw = rec.clockwise != 0;
    const double eps = tolerance;
    // Edge from entry e to the next entry, when it is a contour edge (consecutive,
    // not a bridge).
    auto contour_edge = [&](int32_t e, int32_t next) {
        if ((e + 1) % n != next) return false;
        return !((rec.entries[e].flags & kBridgeFrom) && (rec.entries[next].flags & kBridgeTo));
    };
    auto same_place = [&](const P2& a, const P2& b) { return a.x == b.x && a.y == b.y; };
    static const int kSwap[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    int32_t left = n;
    int32_t rot = -1;
    bool all_convex = false;
    while (left > 2) {
        int32_t guard = left;
        if (!all_convex) {
            all_convex = true;
            for (int32_t k = 0; k < left; ++k) {
                const P2& a = pt[pos[(k + left - 1) % left]];
                const P2& b = pt[pos[k]];
                const P2& c = pt[pos[(k + 1) % left]];
                convex[k] = (turn(a, b, c) < -eps) == cw;
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
            const P2 &a = pt[pos[ip]], &b = pt[pos[rot]], &c = pt[pos[is]];
            bool blocked = false;
            for (int32_t k = 0; k < left && !blocked; ++k) {
                if (convex[k] || k == ip || k == rot || k == is) continue;
                const P2& q = pt[pos[k]];
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
