// Boolean engine: cutting the faces of each solid along the surface of the other
// until the intersection curve runs along edges only.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <numeric>
#include <queue>
#include <vector>

#include "commands/boolean/csg_internal.h"
#include "resources/string_ids.h"

namespace csg {

namespace {

constexpr uint32_t kSinglePoint = 8;

// A piece of the line where a triangle meets a plane.
struct Segment {
    D3 p[2];
    double t[2];
    Vertex* ref[2];  // the existing vertex at each end, or null
    uint32_t flags;
};

// The segment where face f meets plane pl, corners closer than tol to it taken on it;
// false when there is none or f lies in it.
bool triangle_plane_segment(const Face* f, const Plane& pl, double tol, Segment& s) {
    double d[3];
    for (int i = 0; i < 3; ++i) d[i] = dot(pl.n, pos(f->v[i])) + pl.d;
    if (std::fabs(d[0]) < tol && std::fabs(d[1]) < tol && std::fabs(d[2]) < tol) return false;
    int count = 0;
    for (int i = 0; i < 3 && count < 2; ++i) {
        const int j = (i + 1) % 3;
        if (std::fabs(d[i]) < tol) {
            s.p[count] = pos(f->v[i]);
            s.ref[count++] = f->v[i];
        } else if (std::fabs(d[j]) >= tol && (d[i] > 0) != (d[j] > 0)) {
            s.p[count] = interpolate(pos(f->v[i]), pos(f->v[j]), d[i], d[j]);
            s.ref[count++] = nullptr;
        }
    }
    s.flags = 0;
    if (count == 0) return false;
    if (count == 1) {
        s.p[1] = s.p[0];
        s.ref[1] = s.ref[0];
        s.flags = kSinglePoint;
    }
    return true;
}

// Every corner of x within the tolerance of plane pl.
bool lies_on_plane(const Face* x, const Plane& pl) {
    for (const Vertex* v : x->v)
        if (!(std::fabs(dot(pl.n, pos(v)) + pl.d) < kTol)) return false;
    return true;
}

void order_segment(Segment& s) {
    if (s.t[0] > s.t[1] + kTol) {
        std::swap(s.p[0], s.p[1]);
        std::swap(s.t[0], s.t[1]);
        std::swap(s.ref[0], s.ref[1]);
    }
}

// Clips s1 (on G) to s2 (on F) along the line of the two planes; false when they do
// not overlap.
bool do_segments_overlap(Context& ctx, Segment& s1, Segment& s2, const Plane& g, const Plane& f) {
    D3 u = cross(g.n, f.n);
    const double len = length(u);
    if (!(len > 0.0)) raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "VECTOR is zero in do_segments_overlap()");
    u = u * (1.0 / len);
    const D3 origin = s1.p[0];
    for (Segment* s : {&s1, &s2}) {
        for (int k = 0; k < 2; ++k) s->t[k] = dot(u, s->p[k] - origin);
        order_segment(*s);
    }
    if (!intervals_overlap(s1.t[0], s1.t[1], s2.t[0], s2.t[1])) return false;
    if (s2.t[0] > s1.t[0] + kTol) {
        s1.p[0] = s2.p[0];
        s1.t[0] = s2.t[0];
        s1.ref[0] = nullptr;
    }
    if (s1.t[1] > s2.t[1] + kTol) {
        s1.p[1] = s2.p[1];
        s1.t[1] = s2.t[1];
        s1.ref[1] = nullptr;
    }
    if (length(s1.p[1] - s1.p[0]) < kTol) s1.flags |= kSinglePoint;
    return true;
}

void mark_edge(Context& ctx, Solid& s, Vertex* a, Vertex* b, uint32_t flags) {
    Edge* e = edge_lookup(ctx, s, a, b, false);
    if (!e) return;
    if (flags & kCutEdge) {
        set_edge_flags(s, e, flags);
    } else if (e->flags == kMarked) {
        e->flags = flags;
    }
}

// A new vertex of t on the intersection curve.
Vertex* curve_vertex(Context& ctx, Solid& t, float x, float y, float z) {
    Vertex* v = add_vertex(ctx, t, x, y, z);
    v->flags = kOnCut;
    return v;
}

void discard(Face* f) {
    f->state = kDiscarded;
}

bool uses(const Face* f, const Vertex* v) {
    return f->v[0] == v || f->v[1] == v || f->v[2] == v;
}

// Every live face of t around `from` (only those whose box holds `to` when `near`)
// takes `to` in its place; a face that already uses `to` would fold to a line and is
// dropped. Gives the faces made.
std::vector<Face*> move_corner(Context& ctx, Solid& t, Vertex* from, Vertex* to, bool near) {
    std::vector<Face*> around;
    for (const FaceNode* n = faces_at(ctx, t, from); n; n = n->next) {
        spend(ctx);
        Face* f = n->face;
        if (live(f) && (!near || box_contains(f->box, pos(to)))) around.push_back(f);
    }
    // In list order, as a walk of the list meets them.
    std::sort(around.begin(), around.end(), [](const Face* a, const Face* b) { return a->rank < b->rank; });
    std::vector<Face*> made;
    for (Face* f : around) {
        discard(f);
        if (uses(f, to)) continue;
        Vertex* w[3];
        for (int i = 0; i < 3; ++i) w[i] = f->v[i] == from ? to : f->v[i];
        made.push_back(new_face(ctx, t, w[0], w[1], w[2], f));
        for (int i = 0; i < 3; ++i) mark_edge(ctx, t, w[i], w[(i + 1) % 3], f->e[i]->flags);
    }
    from->flags = kUnused;
    return made;
}

// The faces around `apex` near v take v in its place.
void merge_apex(Context& ctx, Solid& t, Vertex* apex, Vertex* v) {
    move_corner(ctx, t, apex, v, true);
}

// Splits every live face on edge e at the new vertex v.
void split_edge_faces(Context& ctx, Solid& t, Edge* e, Vertex* v) {
    // Listed first: splitting adds faces to the edges around. Most edges have two.
    size_t count = 0;
    for (FaceNode* n = e->faces; n; n = n->next) count += live(n->face) ? 1 : 0;
    Face* few[4];
    std::vector<Face*> many;
    Face** faces = few;
    if (count > std::size(few)) {
        many.resize(count);
        faces = many.data();
    }
    count = 0;
    for (FaceNode* n = e->faces; n; n = n->next) {
        if (live(n->face)) faces[count++] = n->face;
    }
    for (size_t i = 0; i < count; ++i) {
        Face* f = faces[i];
        if (!live(f)) continue;
        int k = 0;
        while (k < 3 && (f->v[k] == e->a || f->v[k] == e->b)) ++k;
        if (k == 3) continue;
        Vertex* apex = f->v[k];
        Vertex* p = f->v[(k + 1) % 3];
        Vertex* q = f->v[(k + 2) % 3];
        discard(f);
        if (points_coincide(pos(apex), pos(v))) {
            merge_apex(ctx, t, apex, v);
        } else {
            new_face(ctx, t, apex, p, v, f);
            new_face(ctx, t, apex, v, q, f);
        }
    }
    mark_edge(ctx, t, e->a, v, e->flags);
    mark_edge(ctx, t, e->b, v, e->flags);
}

// A live face whose three corners lie on one line (exactly: with float corners the
// products of the cross product are exact, so a zero there is no rounding) has no
// plane. Cutting makes such a face when a new point falls on the line of two corners
// of a face beside it. The face goes, and the faces on its long edge are split at
// its middle corner, which keeps the surface closed. True when f was such a face.
bool remove_cap(Context& ctx, Solid& t, Face* f) {
    if (!live(f)) return false;
    const D3 a = pos(f->v[0]);
    const D3 n = cross(pos(f->v[1]) - a, pos(f->v[2]) - a);
    if (n.x != 0 || n.y != 0 || n.z != 0) return false;
    // The middle corner lies opposite the longest edge.
    int k = 0;
    double longest = -1;
    for (int i = 0; i < 3; ++i) {
        const D3 d = pos(f->v[(i + 1) % 3]) - pos(f->v[i]);
        if (dot(d, d) > longest) {
            longest = dot(d, d);
            k = i;
        }
    }
    Edge* e = f->e[k];
    Vertex* middle = f->v[(k + 2) % 3];
    // Two corners at one point: no split mends that (the plane's raise refuses it).
    if (!(longest > 0) || !(dot(pos(middle) - pos(e->a), pos(middle) - pos(e->a)) > 0) ||
        !(dot(pos(middle) - pos(e->b), pos(middle) - pos(e->b)) > 0))
        return false;
    discard(f);
    split_edge_faces(ctx, t, e, middle);
    return true;
}

void split_face3(Context& ctx, Solid& t, Face* g, Vertex* v) {
    discard(g);
    new_face(ctx, t, g->v[0], g->v[1], v, g);
    new_face(ctx, t, g->v[1], g->v[2], v, g);
    new_face(ctx, t, g->v[2], g->v[0], v, g);
}

// Puts p into face g (whose plane is set): snaps to a corner within the tolerance (0,
// *snapped set), or splits the edge it lies on or the face itself around a new
// vertex (1); a point outside g is left out (0, *snapped null).
int insert_point(Context& ctx, Solid& t, Face* g, D3 p, Vertex** snapped) {
    Vertex* near = nullptr;
    double near_d = kTol;
    for (Vertex* v : g->v) {
        const double d = length(pos(v) - p);
        if (d < near_d) {
            near = v;
            near_d = d;
        }
    }
    if (near) {
        near->flags = kOnCut;
        *snapped = near;
        return 0;
    }
    Edge* on = nullptr;
    double on_d = kTol;
    for (int i = 0; i < 3; ++i) {
        const D3 a = pos(g->v[i]), b = pos(g->v[(i + 1) % 3]);
        const double d = dist_to_line(ctx, p, a, b - a);
        if (d < on_d && dot(b - a, p - a) > 0 && dot(a - b, p - b) > 0) {
            on = g->e[i];
            on_d = d;
        }
    }
    // A point beyond g's edges (the tolerance of the clipping lets one through) is not
    // put in: splitting around it would fold a face over.
    *snapped = nullptr;
    if (!on && point_in_triangle(g, g->plane.n, p) != kPitInside) return 0;
    // A point inside g goes onto its plane: a point of the other surface taken within
    // the tolerance would otherwise tilt g's pieces, and a large face tilted by a
    // fraction of the tolerance changes the volume by much more.
    if (!on) p = p - g->plane.n * (dot(g->plane.n, p) + g->plane.d);
    Vertex* v = curve_vertex(ctx, t, static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z));
    if (on) {
        split_edge_faces(ctx, t, on, v);
    } else {
        split_face3(ctx, t, g, v);
    }
    return 1;
}

// Cuts g (of t) along face f of the other solid, whose plane is set.
void intersect_faces(Context& ctx, Solid& t, Face* g, const Face* f) {
    spend(ctx);
    if (remove_cap(ctx, t, g)) return;
    face_plane_of(ctx, g);
    Segment s1, s2;
    // A corner counts as lying on the other plane when it is closer to it than the
    // tolerance times the sine of the planes' angle: its place is then within the
    // tolerance of the line where the planes meet. A corner taken on a plane that
    // meets its own at a slant lay far off that line, beyond the face being cut, and
    // was left out on one side of the curve and kept on the other.
    const double sine = length(cross(g->plane.n, f->plane.n));
    // Faces that lie on each other (normals agreeing as classification takes them,
    // and every corner of each within the tolerance of the other's plane) are not cut
    // along each other: the walls of the other solid around them cut them. Their
    // corners lie on either side of the other plane by rounding only, and the line of
    // planes parallel to the last bit (faces of a copy shifted along the axes) or
    // nearly so has no direction or a direction of rounding noise.
    if (!(sine > 0.0)) return;
    if (std::fabs(dot(g->plane.n, f->plane.n)) > kOnFaceCosine && lies_on_plane(g, f->plane) &&
        lies_on_plane(f, g->plane))
        return;
    const double tol = on_plane_reach(sine);
    if (!triangle_plane_segment(g, f->plane, tol, s1)) return;
    if (!triangle_plane_segment(f, g->plane, tol, s2)) return;
    if (!do_segments_overlap(ctx, s1, s2, g->plane, f->plane)) return;
    if (s1.ref[0] && s1.ref[1] && !(s1.flags & kSinglePoint)) {
        mark_edge(ctx, t, s1.ref[0], s1.ref[1], kCutEdge);
        return;
    }
    Vertex* first = nullptr;
    if (insert_point(ctx, t, g, s1.p[0], &first) == 1 || (s1.flags & kSinglePoint)) return;
    Vertex* last = nullptr;
    // Both ends on corners of g: the cut runs along the edge between them.
    if (insert_point(ctx, t, g, s1.p[1], &last) == 0 && first && last && last != first)
        mark_edge(ctx, t, first, last, kCutEdge);
}

}  // namespace

// The faces of the solid being cut by cell of a uniform grid, so a cutter meets only
// the faces near it. Candidates are visited by rank, which is list order, and the
// faces a cut makes enter the walk as they are made, so the visits are those of a
// walk of the whole list that skips faces whose boxes miss the cutter's.
struct FaceIndex {
    // Every face's box is grown by the tolerance on each side (boxes_overlap), so finer
    // cells would only spread a small face over more of them.
    static constexpr double kFinestCell = 4 * kTol;
    double origin[3] = {0, 0, 0};
    double cell = 1;
    CellLists<Face*> cells;
    std::vector<Face*> big;  // faces spanning too many cells
    // The walk of the current cutter.
    const Face* cutter = nullptr;
    uint32_t walk = 0;
    // Ordered by the faces' current ranks: numbering the list again keeps their
    // order, so the heap stays valid.
    struct LaterRank {
        bool operator()(const Face* a, const Face* b) const { return a->rank > b->rank; }
    };
    std::priority_queue<Face*, std::vector<Face*>, LaterRank> queue;

    static constexpr int64_t kMaxSpan = 8;  // cells a face may span on one axis

    bool span(const float box[6], int64_t lo[3], int64_t hi[3]) const {
        for (int k = 0; k < 3; ++k) {
            const double a = std::floor((box[k] - kTol - origin[k]) / cell);
            const double b = std::floor((box[k + 3] + kTol - origin[k]) / cell);
            if (!(b - a < kMaxSpan)) return false;
            lo[k] = static_cast<int64_t>(a);
            hi[k] = static_cast<int64_t>(b);
        }
        return true;
    }
    void add(Face* f) {
        int64_t lo[3], hi[3];
        if (!span(f->box, lo, hi)) {
            big.push_back(f);
            return;
        }
        for (int64_t x = lo[0]; x <= hi[0]; ++x)
            for (int64_t y = lo[1]; y <= hi[1]; ++y)
                for (int64_t z = lo[2]; z <= hi[2]; ++z) cells.add(x, y, z, f);
    }
    // Queues g for the current cutter when it is a face the walk would visit.
    void offer(Face* g) {
        if (!cutter || g->mark == walk || g->state != kUnclassified || !boxes_overlap(g->box, cutter->box)) return;
        g->mark = walk;
        queue.push(g);
    }
};

namespace {

// Faces of s are the cutters, faces of t are cut.
void cut_faces(Context& ctx, Solid& s, Solid& t) {
    FaceIndex index;
    if (!ctx.plain_pairs) {
        // Cells about twice as large as the faces of both solids: a face lies in one to
        // eight of them, and a cutter meets few faces that its box misses.
        double extent = 0;
        size_t n = 0;
        for (Solid* x : {&s, &t}) {
            for (const Face* f = x->faces; f; f = f->next) {
                if (!live(f)) continue;
                extent += std::max({double(f->box[3]) - f->box[0], double(f->box[4]) - f->box[1],
                                    double(f->box[5]) - f->box[2]});
                ++n;
            }
        }
        index.cell = n && extent > 0 && std::isfinite(extent)
                         ? std::max(2 * extent / double(n), FaceIndex::kFinestCell)
                         : 1.0;
        for (int k = 0; k < 3; ++k) index.origin[k] = t.box[k];
        rank_faces(t);
        size_t faces = 0;
        for (Face* g = t.faces; g; g = g->next) faces += live(g) ? 1 : 0;
        index.cells.reserve(4 * faces);
        for (Face* g = t.faces; g; g = g->next) {
            g->mark = 0;
            if (live(g)) index.add(g);
        }
        t.index = &index;
    }
    for (Face* f = s.faces; f; f = f->next) {
        if (f->state != kUnclassified) continue;
        if (!boxes_overlap(f->box, t.box)) {
            f->state |= kOutside;
            continue;
        }
        // A cutter without a plane goes; the faces made in its place follow it.
        s.cursor = f;
        const bool cap = remove_cap(ctx, s, f);
        s.cursor = nullptr;
        if (cap) continue;
        face_plane_of(ctx, f);
        int64_t lo[3], hi[3];
        if (ctx.plain_pairs || !index.span(f->box, lo, hi)) {
            // Walk every face.
            for (Face* g = t.faces; g; g = g->next) {
                t.cursor = g;
                if (g->state != kUnclassified || !boxes_overlap(g->box, f->box)) continue;
                intersect_faces(ctx, t, g, f);
            }
            t.cursor = nullptr;
            continue;
        }
        index.cutter = f;
        ++index.walk;
        const auto offer = [&index](Face* g) { index.offer(g); };
        for (int64_t x = lo[0]; x <= hi[0]; ++x)
            for (int64_t y = lo[1]; y <= hi[1]; ++y)
                for (int64_t z = lo[2]; z <= hi[2]; ++z) index.cells.for_each(x, y, z, offer);
        for (Face* g : index.big) index.offer(g);
        while (!index.queue.empty()) {
            Face* g = index.queue.top();
            index.queue.pop();
            if (g->state != kUnclassified) continue;
            t.cursor = g;
            intersect_faces(ctx, t, g, f);
        }
        t.cursor = nullptr;
        index.cutter = nullptr;
    }
    t.index = nullptr;
}

}  // namespace

namespace {

// The working lists of the conformance pass, kept from one pass to the next so that
// their memory serves every round.
struct ConformLists {
    // A cut edge with its box grown by twice the tolerance: a point outside that box
    // lies farther than the tolerance from the edge, so the exact tests cannot take the
    // edge, and most pairs end at six comparisons.
    struct CutEdge {
        Edge* e;
        D3 lo, hi;
    };
    std::vector<CutEdge> cut;
    std::vector<std::pair<uint64_t, Edge*>> order;
    std::vector<Vertex*> points;
    CellLists<int32_t> grid;
    std::vector<int32_t> spanning;
    std::vector<int32_t> near;
};

}  // namespace

// Vertices of s on the intersection curve that lie inside a cut edge of t split that
// edge, so both solids carry the same points along the curve and the result has no
// cracks where one side's curve has a point the other's lacks.
static bool conform_curve(Context& ctx, Solid& s, Solid& t, ConformLists& w) {
    constexpr uint32_t kListed = 0x8000;
    // Each edge is listed with its box grown by this: a point that splits it lies within
    // the tolerance of it, so the box turns away only points that cannot.
    constexpr double kMargin = 2 * kTol;
    using CutEdge = ConformLists::CutEdge;
    std::vector<CutEdge>& cut = w.cut;
    cut.clear();
    uint32_t newest = 0;  // the latest epoch among the listed edges
    const auto list = [&cut, &newest](Edge* e) {
        constexpr double g = kMargin;
        const D3 a = pos(e->a), b = pos(e->b);
        cut.push_back({e,
                       {std::min(a.x, b.x) - g, std::min(a.y, b.y) - g, std::min(a.z, b.z) - g},
                       {std::max(a.x, b.x) + g, std::max(a.y, b.y) + g, std::max(a.z, b.z) + g}});
        newest = std::max(newest, e->touched);
    };
    const auto list_if_used = [&list](Edge* e) {
        for (FaceNode* n = e->faces; n; n = n->next) {
            if (live(n->face)) {
                list(e);
                break;
            }
        }
    };
    if (ctx.plain_pairs) {
        // The reference: the cut edges in the order of a walk of the edge table.
        for (Edge* bucket : t.buckets) {
            for (Edge* e = bucket; e; e = e->next) {
                if (e->flags & kCutEdge) list_if_used(e);
            }
        }
    } else {
        // The same order from the list of cut edges: by bucket, and newest first
        // within one, as each bucket's chain runs.
        std::vector<std::pair<uint64_t, Edge*>>& order = w.order;
        order.clear();
        for (Edge* e : t.cut_edges) order.emplace_back(edge_bucket(t, e), e);
        std::sort(order.begin(), order.end(), [](const auto& p, const auto& q) {
            return p.first != q.first ? p.first < q.first : p.second->serial > q.second->serial;
        });
        for (const auto& [bucket, e] : order) list_if_used(e);
    }
    if (cut.empty()) return false;
    // Every listed edge carries this epoch or an earlier one; what this pass changes
    // carries a later one.
    const uint32_t epoch = t.epoch++;
    std::vector<Vertex*>& points = w.points;
    points.clear();
    for (Face* f = s.faces; f; f = f->next) {
        if (!live(f)) continue;
        for (Vertex* v : f->v) {
            if ((v->flags & kOnCut) && !(v->flags & kListed)) {
                v->flags |= kListed;
                points.push_back(v);
            }
        }
    }
    for (Vertex* v : points) v->flags &= ~kListed;
    // The cut edges by cell of a grid about as fine as they are long: a point meets
    // only the edges whose boxes share its cell (and those spanning many cells), and
    // takes the first of them in list order that passes, as a walk of the whole
    // list would.
    double extent = 0;
    for (const CutEdge& c : cut) extent += std::max({c.hi.x - c.lo.x, c.hi.y - c.lo.y, c.hi.z - c.lo.z});
    const double width = std::max(extent / double(cut.size()), 2 * kMargin);  // no box is narrower
    const auto cell = [width](double x) {
        const double k = std::floor(x / width);
        return static_cast<int64_t>(std::clamp(k, -4e18, 4e18));
    };
    constexpr int64_t kMaxSpan = 8;
    CellLists<int32_t>& grid = w.grid;
    std::vector<int32_t>& spanning = w.spanning;
    grid.clear();
    spanning.clear();
    size_t gridded = 0;
    const auto grid_new_edges = [&] {
        for (; gridded < cut.size(); ++gridded) {
            const CutEdge& c = cut[gridded];
            const int64_t lo[3] = {cell(c.lo.x), cell(c.lo.y), cell(c.lo.z)};
            const int64_t hi[3] = {cell(c.hi.x), cell(c.hi.y), cell(c.hi.z)};
            const auto i = static_cast<int32_t>(gridded);
            if (hi[0] - lo[0] >= kMaxSpan || hi[1] - lo[1] >= kMaxSpan || hi[2] - lo[2] >= kMaxSpan) {
                spanning.push_back(i);
                continue;
            }
            for (int64_t x = lo[0]; x <= hi[0]; ++x)
                for (int64_t y = lo[1]; y <= hi[1]; ++y)
                    for (int64_t z = lo[2]; z <= hi[2]; ++z) grid.add(x, y, z, i);
        }
    };
    // Tells whether v lies inside cut edge i, which has a face.
    const auto inside = [&cut, &ctx](const Vertex* v, size_t i) {
        const CutEdge& c = cut[i];
        const D3 p = pos(v);
        if (p.x < c.lo.x || p.x > c.hi.x || p.y < c.lo.y || p.y > c.hi.y || p.z < c.lo.z || p.z > c.hi.z)
            return false;
        // The cheap tests first: an edge split by an earlier point has no face left.
        const Edge* e = c.e;
        bool has_face = false;
        for (FaceNode* n = e->faces; n && !has_face; n = n->next) has_face = live(n->face);
        if (!has_face) return false;
        const D3 a = pos(e->a), b = pos(e->b);
        if (points_coincide(p, a) || points_coincide(p, b)) return false;
        if (!(dot(b - a, p - a) > 0 && dot(a - b, p - b) > 0)) return false;
        return dist_to_line(ctx, p, a, b - a) < kTol;
    };
    // Splits cut edge i at a copy of v and lists the two halves.
    const auto split = [&](const Vertex* v, size_t i) {
        Edge* e = cut[i].e;
        Vertex* m = curve_vertex(ctx, t, v->x, v->y, v->z);
        split_edge_faces(ctx, t, e, m);
        if (Edge* h = edge_lookup(ctx, t, e->a, m, false)) list(h);
        if (Edge* h = edge_lookup(ctx, t, m, e->b, false)) list(h);
    };
    bool changed = false;
    t.cursor = nullptr;
    std::vector<int32_t>& near = w.near;
    for (Vertex* v : points) {
        if (ctx.plain_pairs) {
            // The reference: every cut edge.
            near.resize(cut.size());
            std::iota(near.begin(), near.end(), 0);
            for (const int32_t i : near) {
                if (inside(v, size_t(i))) {
                    split(v, size_t(i));
                    changed = true;
                    break;
                }
            }
            continue;
        }
        // An edge no later than the point's last full test failed it then and fails it
        // still: its ends never move, and it has gained no face since (a face, once
        // gone, never comes back).
        if (v->tested >= newest) continue;
        grid_new_edges();
        // The first edge in list order that takes the point: of the spanning edges
        // (listed in order), and of the cell's (in any order) those before it.
        const D3 p = pos(v);
        auto first = static_cast<int32_t>(cut.size());
        const auto offer = [&](int32_t i) {
            if (i < first && cut[size_t(i)].e->touched > v->tested && inside(v, size_t(i))) first = i;
        };
        for (const int32_t i : spanning) {
            if (i >= first) break;
            offer(i);
        }
        grid.for_each(cell(p.x), cell(p.y), cell(p.z), offer);
        if (first < static_cast<int32_t>(cut.size())) {
            split(v, size_t(first));
            changed = true;
        } else {
            v->tested = epoch;
        }
    }
    return changed;
}

// Moves every live face of t from corner w to corner v (close to it).
// A face that has both folds to a line and goes; two faces that come out as the same
// triangle facing opposite ways (the sliver that lay between v and w, seen from both
// sides) go together.
static void merge_vertex(Context& ctx, Solid& t, Vertex* w, Vertex* v) {
    t.cursor = nullptr;
    for (Face* f : move_corner(ctx, t, w, v, false)) {
        if (!live(f)) continue;
        for (FaceNode* n = f->e[0]->faces; n; n = n->next) {
            Face* g = n->face;
            if (g != f && live(g) && uses(g, f->v[0]) && uses(g, f->v[1]) && uses(g, f->v[2])) {
                discard(f);
                discard(g);
                break;
            }
        }
    }
}

// Tells whether a face around v and a face around w lie on either side of one edge
// that touches neither (a sliver fan crossed between them).
static bool across_one_edge(Context& ctx, Solid& t, const Vertex* v, const Vertex* w) {
    std::vector<const Edge*> opposite;
    for (const FaceNode* n = faces_at(ctx, t, v); n; n = n->next) {
        spend(ctx);
        const Face* f = n->face;
        if (!live(f)) continue;
        for (int i = 0; i < 3; ++i) {
            if (f->v[i] == v && !uses(f, w)) opposite.push_back(f->e[(i + 1) % 3]);
        }
    }
    for (const FaceNode* n = faces_at(ctx, t, w); n; n = n->next) {
        spend(ctx);
        const Face* f = n->face;
        if (!live(f)) continue;
        for (int i = 0; i < 3; ++i) {
            if (f->v[i] == w && !uses(f, v) &&
                std::find(opposite.begin(), opposite.end(), f->e[(i + 1) % 3]) != opposite.end())
                return true;
        }
    }
    return false;
}

// Where a cut ran across slivers thinner than the tolerance, one curve point can
// have been put in twice, as two vertices closer than the tolerance with no edge
// between them, or the short piece of the curve across one sliver can have been
// taken for a point at each end: the curve then has a gap through which
// classification would spread from one side to the other. Each such pair of curve
// ends becomes one vertex: the older one when they lie within the tolerance, else
// (up to twice the tolerance, the faces around them meeting across one edge) a new
// one halfway. When an edge joins the pair, that edge becomes a cut edge instead.
// True when a gap was closed.
// The ends of the used cut edges by age: a vertex met an odd number of times ends the
// curve.
static std::vector<Vertex*> curve_ends(const Solid& t) {
    std::vector<Vertex*> met;
    for (Edge* e : t.cut_edges) {
        bool has_face = false;
        for (FaceNode* n = e->faces; n && !has_face; n = n->next) has_face = live(n->face);
        if (!has_face) continue;
        met.push_back(e->a);
        met.push_back(e->b);
    }
    const auto older = [](const Vertex* p, const Vertex* q) { return p->seq < q->seq; };
    std::sort(met.begin(), met.end(), older);
    std::vector<Vertex*> ends;
    for (size_t i = 0, j = 0; i < met.size(); i = j) {
        while (j < met.size() && met[j] == met[i]) ++j;
        if ((j - i) % 2) ends.push_back(met[i]);
    }
    return ends;
}

static bool close_curve_gaps(Context& ctx, Solid& t) {
    std::vector<Vertex*> ends = curve_ends(t);
    bool closed = false;
    for (size_t i = 0; i < ends.size(); ++i) {
        Vertex* v = ends[i];
        if (!v) continue;
        size_t best = 0;
        double best_d = kCurveGapReach;
        for (size_t k = i + 1; k < ends.size(); ++k) {
            spend(ctx);
            if (!ends[k]) continue;
            const double d = length(pos(ends[k]) - pos(v));
            if (d < best_d) {
                best = k;
                best_d = d;
            }
        }
        if (!best) continue;
        Vertex* w = ends[best];
        Edge* e = edge_lookup(ctx, t, v, w, false);
        bool joined = false;
        for (FaceNode* n = e ? e->faces : nullptr; n && !joined; n = n->next) joined = live(n->face);
        if (joined) {
            set_edge_flags(t, e, kCutEdge);
        } else if (best_d < kTol) {
            merge_vertex(ctx, t, w, v);
        } else if (across_one_edge(ctx, t, v, w)) {
            Vertex* m = curve_vertex(ctx, t, static_cast<float>((double{v->x} + w->x) * 0.5),
                                     static_cast<float>((double{v->y} + w->y) * 0.5),
                                     static_cast<float>((double{v->z} + w->z) * 0.5));
            merge_vertex(ctx, t, v, m);
            merge_vertex(ctx, t, w, m);
        } else {
            continue;
        }
        ends[best] = nullptr;
        closed = true;
    }
    return closed;
}

void index_new_face(Solid& s, Face* f) {
    s.index->add(f);
    s.index->offer(f);
}

void intersect_solids(Context& ctx) {
    cut_faces(ctx, ctx.a, ctx.b);
    cut_faces(ctx, ctx.b, ctx.a);
    ConformLists lists;
    bool into_a = true;
    for (int round = 0; round < 8; ++round) {
        const bool into_b = conform_curve(ctx, ctx.a, ctx.b, lists);
        // A pass into A that split nothing would split nothing again once the pass into
        // B has left B as it was (only the pass into A changes A).
        if (into_b || into_a || ctx.plain_pairs) into_a = conform_curve(ctx, ctx.b, ctx.a, lists);
        if (!into_a && !into_b) break;
    }
    close_curve_gaps(ctx, ctx.a);
    close_curve_gaps(ctx, ctx.b);
    // Faces without a plane left by the passes above (each removal takes one face
    // away and splits its neighbours, which can leave one more).
    // Only faces made by cutting can be such (loading refuses faces without height).
    for (Solid* s : {&ctx.a, &ctx.b}) {
        for (size_t i = 0; i < s->made.size(); ++i) {
            s->cursor = s->made[i];
            remove_cap(ctx, *s, s->made[i]);
        }
        s->cursor = nullptr;
    }
    classify_all(ctx);
    // Through a gap left in the curve the faces on both sides form one region and take
    // one state: a piece of the answer would be lost or kept whole, and the result
    // still closed (a torus on a box's face and a prism crossing both: their
    // intersection lost the torus's part).
    check_regions_at_ends(ctx, ctx.a, ctx.b, curve_ends(ctx.a));
    check_regions_at_ends(ctx, ctx.b, ctx.a, curve_ends(ctx.b));
}

}  // namespace csg
