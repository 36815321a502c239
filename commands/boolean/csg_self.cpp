// Whether a loaded solid overlaps itself: faces of one connected part whose insides
// meet (crossing each other, or lying in one plane over some area), decided by exact
// sign tests on the float corners, deeper than rounding to float can cross them. A
// grid of face boxes finds the pairs to test.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "commands/boolean/csg_exact.h"
#include "commands/boolean/csg_internal.h"
#include "model/mesh/mesh_block.h"
#include "model/rtc/rtc.h"

namespace csg {

namespace {

struct Pt {
    double c[3];
};
Pt at(const Vertex* v) { return {{v->x, v->y, v->z}}; }

// A face with its corners as doubles and its connected part.
struct Tri {
    const Face* f;
    Pt p[3];
    uint32_t part;
};

int orient(const Pt& a, const Pt& b, const Pt& c, const Pt& d) { return orient3d(a.c, b.c, c.c, d.c); }

// Whether the segment p q, whose ends lie strictly on both sides of t's plane, passes
// through the inside of t (not through its edges or corners).
bool pierces(const Pt& p, const Pt& q, const Tri& t) {
    const int s0 = orient(p, q, t.p[0], t.p[1]);
    if (s0 == 0) return false;
    return orient(p, q, t.p[1], t.p[2]) == s0 && orient(p, q, t.p[2], t.p[0]) == s0;
}

// The coordinates kept when t's plane is seen along axis `drop` (0 x, 1 y, 2 z).
struct Flat {
    int u, w;
    void of(const Pt& p, double out[2]) const { out[0] = p.c[u], out[1] = p.c[w]; }
};

// An axis along which t does not look like a line, so its plane maps onto the
// coordinate plane one to one.
bool flat_view(const Tri& t, Flat* view) {
    for (int drop = 2; drop >= 0; --drop) {
        const Flat v{drop == 0 ? 1 : 0, drop == 2 ? 1 : 2};
        double a[2], b[2], c[2];
        v.of(t.p[0], a), v.of(t.p[1], b), v.of(t.p[2], c);
        if (orient2d(a, b, c) != 0) {
            *view = v;
            return true;
        }
    }
    return false;
}

// Whether p, lying in t's plane, is strictly inside t.
bool inside_in_plane(const Pt& p, const Tri& t, const Flat& v) {
    double a[2], b[2], c[2], q[2];
    v.of(t.p[0], a), v.of(t.p[1], b), v.of(t.p[2], c), v.of(p, q);
    const int s = orient2d(a, b, c);
    return orient2d(a, b, q) == s && orient2d(b, c, q) == s && orient2d(c, a, q) == s;
}

// Whether f's corners lie on both sides of g's plane, and its edges or corners enter
// g's inside. `sides` holds the side of each corner of f.
bool enters(const Tri& f, const Tri& g, const int sides[3], const Flat* gv) {
    for (int k = 0; k < 3; ++k) {
        const int l = (k + 1) % 3;
        if (sides[k] * sides[l] < 0 && pierces(f.p[k], f.p[l], g)) return true;
        if (sides[k] == 0 && gv && inside_in_plane(f.p[k], g, *gv)) return true;
    }
    return false;
}

bool straddles(const int s[3]) {
    return (s[0] > 0 || s[1] > 0 || s[2] > 0) && (s[0] < 0 || s[1] < 0 || s[2] < 0);
}

// How far coplanar faces overlap, 0 when they do not: the least overlap of their
// extents across any edge line of either (an edge line of one with the other
// wholly on its far side, touching allowed, separates them; the separating lines of
// two triangles are among their edges' lines). Signs are exact, the measure is not.
double coplanar_overlap(const Tri& f, const Tri& g, const Flat& v) {
    double p[2][3][2];
    for (int k = 0; k < 3; ++k) v.of(f.p[k], p[0][k]), v.of(g.p[k], p[1][k]);
    double least = HUGE_VAL;
    for (int t = 0; t < 2; ++t) {
        const auto& own = p[t];
        const auto& other = p[1 - t];
        for (int k = 0; k < 3; ++k) {
            const double* a = own[k];
            const double* b = own[(k + 1) % 3];
            const double* c = own[(k + 2) % 3];
            const int in = orient2d(a, b, c);
            bool apart = true;
            for (int j = 0; j < 3 && apart; ++j) apart = orient2d(a, b, other[j]) != in;
            if (apart) return 0;
            // Extents across the edge line, the own face's from 0 to its third corner.
            const double nx = a[1] - b[1], ny = b[0] - a[0];
            const double scale = in / std::hypot(nx, ny);
            const auto across = [&](const double* q) { return ((q[0] - a[0]) * nx + (q[1] - a[1]) * ny) * scale; };
            double lo = HUGE_VAL, hi = -HUGE_VAL;
            for (int j = 0; j < 3; ++j) lo = std::min(lo, across(other[j])), hi = std::max(hi, across(other[j]));
            least = std::min(least, std::min(std::fabs(across(c)), hi) - std::max(0.0, lo));
        }
    }
    return least;
}

int shared_corners(const Face* f, const Face* g) {
    int n = 0;
    for (const Vertex* a : f->v)
        for (const Vertex* b : g->v) n += a == b ? 1 : 0;
    return n;
}

D3 d3(const Pt& p) { return {p.c[0], p.c[1], p.c[2]}; }

// How far point x (in t's plane) lies inside t: its least distance to t's edge lines.
double inside_depth(const D3& x, const Tri& t) {
    const D3 n = cross(d3(t.p[1]) - d3(t.p[0]), d3(t.p[2]) - d3(t.p[0]));
    double least = HUGE_VAL;
    for (int k = 0; k < 3; ++k) {
        const D3 a = d3(t.p[k]), b = d3(t.p[(k + 1) % 3]);
        const D3 in = cross(n, b - a);  // points into t
        const double len = length(in);
        if (!(len > 0)) return 0;
        least = std::min(least, dot(x - a, in) / len);
    }
    return least;
}

// How deep the crossing of f and g lies inside both: the segment where f meets g's
// plane, cut to g, measured from the nearer edge of either face at its ends and middle.
// Rounding a solid's corners to float can only make faces cross within a rounding step
// of some edge: a crossing that deep inside both faces is an overlap.
double crossing_depth(const Tri& f, const Tri& g) {
    const D3 a = d3(g.p[0]);
    const D3 n = cross(d3(g.p[1]) - a, d3(g.p[2]) - a);
    double d[3];
    for (int k = 0; k < 3; ++k) d[k] = dot(d3(f.p[k]) - a, n);
    D3 end[2];
    int ends = 0;
    for (int k = 0; k < 3 && ends < 2; ++k) {
        const int j = (k + 1) % 3;
        if ((d[k] < 0) == (d[j] < 0) || d[k] == d[j]) continue;
        const double t = d[k] / (d[k] - d[j]);
        end[ends++] = d3(f.p[k]) + (d3(f.p[j]) - d3(f.p[k])) * t;
    }
    if (ends < 2) return 0;
    // Cut the segment to g's inside, edge by edge.
    double lo = 0, hi = 1;
    for (int k = 0; k < 3; ++k) {
        const D3 p = d3(g.p[k]), q = d3(g.p[(k + 1) % 3]);
        const D3 in = cross(n, q - p);
        const double s0 = dot(end[0] - p, in), s1 = dot(end[1] - p, in);
        if (s0 < 0 && s1 < 0) return 0;
        if (s0 < 0) lo = std::max(lo, s0 / (s0 - s1));
        else if (s1 < 0) hi = std::min(hi, s0 / (s0 - s1));
    }
    if (lo > hi) return 0;
    double deepest = 0;
    for (double t : {lo, (lo + hi) / 2, hi}) {
        const D3 x = end[0] + (end[1] - end[0]) * t;
        deepest = std::max(deepest, std::min(inside_depth(x, f), inside_depth(x, g)));
    }
    return deepest;
}

// How far apart faces facing away from each other must move to clear each other, when
// they cross: the least overlap of their extents along the axes that can separate two
// triangles (either normal, and across an edge of each). Two faces of a thin wall or a
// thin gap lie nearly in one plane facing away from each other. Rounding moves every
// point of a face by less than a float step, so it can make them cross only that
// deep, however far a thin face's plane tilts away from it. Faces facing the same way
// nearly in one plane (a part folded over itself) get no such allowance.
double penetration(const Tri& f, const Tri& g) {
    D3 a[3], b[3];
    for (int k = 0; k < 3; ++k) a[k] = d3(f.p[k]), b[k] = d3(g.p[k]);
    const D3 nf = cross(a[1] - a[0], a[2] - a[0]), ng = cross(b[1] - b[0], b[2] - b[0]);
    if (!(length(nf) > 0 && length(ng) > 0) || dot(nf, ng) >= 0) return HUGE_VAL;
    double least = HUGE_VAL;
    const auto along = [&](const D3& axis) {
        const double len = length(axis);
        if (!(len > 0)) return;
        double lo[2] = {HUGE_VAL, HUGE_VAL}, hi[2] = {-HUGE_VAL, -HUGE_VAL};
        for (int k = 0; k < 3; ++k) {
            const double x = dot(a[k], axis) / len, y = dot(b[k], axis) / len;
            lo[0] = std::min(lo[0], x), hi[0] = std::max(hi[0], x);
            lo[1] = std::min(lo[1], y), hi[1] = std::max(hi[1], y);
        }
        least = std::min(least, std::max(0.0, std::min(hi[0] - lo[1], hi[1] - lo[0])));
    };
    along(nf);
    along(ng);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) along(cross(a[(i + 1) % 3] - a[i], b[(j + 1) % 3] - b[j]));
    return least;
}

// Where an edge of f and an edge of g cross each other within `reach`, at a clear angle
// and well inside both, when f and g share no corner and face the same way (the walls
// of a thin slab or gap face away from each other).
struct Touch {
    D3 at;
    const Edge* e[2];
};
void touches_inside_edges(const Tri& f, const Tri& g, double reach, std::vector<Touch>& out) {
    if (shared_corners(f.f, g.f) != 0) return;
    const D3 nf = cross(d3(f.p[1]) - d3(f.p[0]), d3(f.p[2]) - d3(f.p[0]));
    const D3 ng = cross(d3(g.p[1]) - d3(g.p[0]), d3(g.p[2]) - d3(g.p[0]));
    if (!(dot(nf, ng) > 0)) return;
    constexpr double kInside = 64;      // reaches from either end of both edges
    constexpr double kClearSine = 0.1;  // of the angle between the edges
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const D3 p = d3(f.p[i]), u = d3(f.p[(i + 1) % 3]) - p;
            const D3 q = d3(g.p[j]), v = d3(g.p[(j + 1) % 3]) - q;
            const D3 w = p - q;
            const double a = dot(u, u), b = dot(u, v), c = dot(v, v), d = dot(u, w), e = dot(v, w);
            const double det = a * c - b * b;
            if (!(det > kClearSine * kClearSine * a * c)) continue;
            const double s = (b * e - c * d) / det, t = (a * e - b * d) / det;
            const double in_u = kInside * reach / std::sqrt(a), in_v = kInside * reach / std::sqrt(c);
            if (s < in_u || s > 1 - in_u || t < in_v || t > 1 - in_v) continue;
            if (length(w + u * s - v * t) <= reach) out.push_back({p + u * s, {f.f->e[i], g.f->e[j]}});
        }
}

// Whether four or more edges of one part, no two on a common corner, cross one another
// within `reach` of one point (of `touches`), well inside each: sheets of the part
// facing alike touch there, where none has a corner. Sheets of a sound solid meet at
// common corners; rounding leaves a few edges of one crossing so (slivers, folds of a
// rounding step; three through one point in a result of the campaign), none four. The
// halves of a closed profile across the axis of a revolution meet so on the axis, every
// edge of the profile's segment there passing through it, however shallow their
// crossings once rounded (the far half sweeps a hollow inside the near one that touches
// its skin there, which no test of winding numbers tells from a sound hollow).
bool edges_meet_at_a_point(const std::vector<Touch>& touches, double reach) {
    // Touches by cells 2 reach wide: those within 2 reach of one lie in the 27 cells around it.
    const double inv = 1 / (2 * reach);
    const auto cell = [inv](double x) { return int64_t(std::floor(x * inv)); };
    CellLists<uint32_t> cells;
    cells.reserve(touches.size());
    for (size_t i = 0; i < touches.size(); ++i)
        cells.add(cell(touches[i].at.x), cell(touches[i].at.y), cell(touches[i].at.z), uint32_t(i));
    const auto joined = [](const Edge* a, const Edge* b) {
        return a->a == b->a || a->a == b->b || a->b == b->a || a->b == b->b;
    };
    std::vector<const Edge*> apart;
    for (const Touch& t : touches) {
        apart.clear();
        const int64_t c[3] = {cell(t.at.x), cell(t.at.y), cell(t.at.z)};
        for (int64_t x = c[0] - 1; x <= c[0] + 1; ++x)
            for (int64_t y = c[1] - 1; y <= c[1] + 1; ++y)
                for (int64_t z = c[2] - 1; z <= c[2] + 1; ++z)
                    cells.for_each(x, y, z, [&](uint32_t j) {
                        if (length(touches[j].at - t.at) > 2 * reach) return;
                        for (const Edge* e : touches[j].e)
                            if (std::none_of(apart.begin(), apart.end(), [&](const Edge* k) { return joined(e, k); }))
                                apart.push_back(e);
                    });
        if (apart.size() >= 4) return true;
    }
    return false;
}

// Whether the insides of f and g (faces of one part) meet, and how deep: 0 when they
// do not, else the least of how far each reaches through the other (or how far they
// overlap when in one plane). Whether they meet is exact; the depth is a measure.
double faces_meet(const Tri& f, const Tri& g) {
    const int shared = shared_corners(f.f, g.f);
    if (shared == 3) return 0;  // the same corners: an edge of more than two faces, taken elsewhere
    int sg[3], sf[3];
    for (int k = 0; k < 3; ++k) {
        // A corner of f lies in f's plane.
        const Vertex* v = g.f->v[k];
        const bool own = v == f.f->v[0] || v == f.f->v[1] || v == f.f->v[2];
        sg[k] = own ? 0 : orient(f.p[0], f.p[1], f.p[2], g.p[k]);
        // Faces on a common edge in different planes meet only there.
        if (shared == 2 && sg[k] != 0) return 0;
    }
    if (sg[0] == 0 && sg[1] == 0 && sg[2] == 0) {
        Flat v;
        return flat_view(f, &v) ? coplanar_overlap(f, g, v) : 0;
    }
    if (!straddles(sg)) return 0;
    for (int k = 0; k < 3; ++k) sf[k] = orient(g.p[0], g.p[1], g.p[2], f.p[k]);
    if (!straddles(sf)) return 0;
    Flat fv, gv;
    const bool fok = flat_view(f, &fv), gok = flat_view(g, &gv);
    if (!enters(f, g, sf, gok ? &gv : nullptr) && !enters(g, f, sg, fok ? &fv : nullptr)) return 0;
    return std::max(std::min(crossing_depth(f, g), penetration(f, g)), std::numeric_limits<double>::min());
}

// Numbers the connected parts of the faces (joined over their edges) into Tri::part.
void number_parts(std::vector<Tri>& tris) {
    // Face::mark holds the face's index while the parts are found, and is given back.
    std::vector<uint32_t> marks(tris.size());
    for (size_t i = 0; i < tris.size(); ++i) {
        marks[i] = tris[i].f->mark;
        const_cast<Face*>(tris[i].f)->mark = uint32_t(i);
    }
    constexpr uint32_t kNone = ~0u;
    for (Tri& t : tris) t.part = kNone;
    std::vector<size_t> stack;
    uint32_t parts = 0;
    for (size_t seed = 0; seed < tris.size(); ++seed) {
        if (tris[seed].part != kNone) continue;
        tris[seed].part = parts;
        stack.assign(1, seed);
        while (!stack.empty()) {
            const Face* f = tris[stack.back()].f;
            stack.pop_back();
            for (const Edge* e : f->e)
                for (const FaceNode* n = e->faces; n; n = n->next) {
                    if (!live(n->face)) continue;
                    Tri& g = tris[n->face->mark];
                    if (g.part != kNone) continue;
                    g.part = parts;
                    stack.push_back(n->face->mark);
                }
        }
        ++parts;
    }
    for (size_t i = 0; i < tris.size(); ++i) const_cast<Face*>(tris[i].f)->mark = marks[i];
}

// The grid's cell of a coordinate.
struct Grid {
    double o[3];
    double inv;
    int64_t cell(int axis, double x) const { return int64_t(std::floor((x - o[axis]) * inv)); }
};

}  // namespace

double rounding_allowance(const float box[6]) {
    const double side = std::max({double(box[3]) - box[0], double(box[4]) - box[1], double(box[5]) - box[2]});
    return kShallowOverlap * std::max({double(std::fabs(box[0])), double(std::fabs(box[1])), double(std::fabs(box[2])),
                               double(std::fabs(box[3])), double(std::fabs(box[4])), double(std::fabs(box[5])), side});
}

double crossing_depth(const Face* f, const Face* g) {
    const Tri a{f, {at(f->v[0]), at(f->v[1]), at(f->v[2])}, 0};
    const Tri b{g, {at(g->v[0]), at(g->v[1]), at(g->v[2])}, 0};
    return std::min(crossing_depth(a, b), penetration(a, b));
}

bool faces_cross(const Face* f, const Face* g) {
    const Tri a{f, {at(f->v[0]), at(f->v[1]), at(f->v[2])}, 0};
    const Tri b{g, {at(g->v[0]), at(g->v[1]), at(g->v[2])}, 0};
    return faces_meet(a, b) > 0;
}

bool overlaps_itself(Context& ctx, const Solid& s) {
    std::vector<Tri> tris;
    double extent = 0;
    for (const Face* f = s.faces; f; f = f->next) {
        if (!live(f)) continue;
        tris.push_back(Tri{f, {at(f->v[0]), at(f->v[1]), at(f->v[2])}, 0});
        extent += std::max({double(f->box[3]) - f->box[0], double(f->box[4]) - f->box[1],
                            double(f->box[5]) - f->box[2]});
    }
    if (tris.size() < 2) return false;
    number_parts(tris);
    // Cells about as wide as a face on average; a face spanning many cells (a large
    // face among small ones) is tested against every face instead.
    const double side = std::max({double(s.box[3]) - s.box[0], double(s.box[4]) - s.box[1],
                                  double(s.box[5]) - s.box[2]});
    const double shallow = rounding_allowance(s.box);
    constexpr double kFinestCell = 1e-6;  // of the solid's side: no finer than 10^6 cells along it
    const double width = std::max(extent / double(tris.size()), side * kFinestCell);
    if (!(width > 0)) return false;
    Grid grid{{s.box[0], s.box[1], s.box[2]}, 1 / width};
    constexpr int64_t kMaxCells = 64;
    const auto span = [&](const Face* f, int64_t lo[3], int64_t hi[3]) {
        int64_t n = 1;
        for (int k = 0; k < 3; ++k) {
            lo[k] = grid.cell(k, f->box[k]);
            hi[k] = grid.cell(k, f->box[k + 3]);
            n *= hi[k] - lo[k] + 1;
        }
        return n;
    };
    // Wider cells while more than one face in 64 would be tested against all.
    std::vector<uint32_t> large;
    int64_t lo[3], hi[3];
    for (;;) {
        large.clear();
        for (size_t i = 0; i < tris.size(); ++i)
            if (span(tris[i].f, lo, hi) > kMaxCells) large.push_back(uint32_t(i));
        if (large.size() <= 16 || large.size() * 64 <= tris.size()) break;
        grid.inv *= 0.5;
    }
    CellLists<uint32_t> cells;
    cells.reserve(tris.size() * 2);
    for (size_t i = 0; i < tris.size(); ++i) {
        if (span(tris[i].f, lo, hi) > kMaxCells) continue;
        for (int64_t x = lo[0]; x <= hi[0]; ++x)
            for (int64_t y = lo[1]; y <= hi[1]; ++y)
                for (int64_t z = lo[2]; z <= hi[2]; ++z) cells.add(x, y, z, uint32_t(i));
    }
    std::vector<Touch> touches;
    // Boxes already known to meet.
    const auto test = [&](uint32_t i, uint32_t j) {
        const Tri& f = tris[i];
        const Tri& g = tris[j];
        if (f.part != g.part) return false;
        spend(ctx);
        const double d = faces_meet(f, g);
        if (d > 0 && d <= shallow) touches_inside_edges(f, g, shallow, touches);
        return d > shallow;
    };
    for (size_t i = 0; i < tris.size(); ++i) {
        const Face* f = tris[i].f;
        if (span(f, lo, hi) > kMaxCells) continue;
        for (int64_t x = lo[0]; x <= hi[0]; ++x)
            for (int64_t y = lo[1]; y <= hi[1]; ++y)
                for (int64_t z = lo[2]; z <= hi[2]; ++z) {
                    bool met = false;
                    cells.for_each(x, y, z, [&](uint32_t j) {
                        if (met || j <= i) return;
                        const Face* g = tris[j].f;
                        for (int k = 0; k < 3; ++k)
                            if (f->box[k] > g->box[k + 3] || g->box[k] > f->box[k + 3]) return;
                        // Each pair once: in the first cell both boxes share.
                        const int64_t first[3] = {
                            grid.cell(0, std::max(f->box[0], g->box[0])), grid.cell(1, std::max(f->box[1], g->box[1])),
                            grid.cell(2, std::max(f->box[2], g->box[2]))};
                        if (first[0] != x || first[1] != y || first[2] != z) return;
                        met = test(uint32_t(i), j);
                    });
                    if (met) return true;
                }
    }
    for (uint32_t i : large)
        for (uint32_t j = 0; j < tris.size(); ++j) {
            if (j == i || (j < i && std::binary_search(large.begin(), large.end(), j))) continue;
            const float* a = tris[i].f->box;
            const float* b = tris[j].f->box;
            if (a[0] > b[3] || b[0] > a[3] || a[1] > b[4] || b[1] > a[4] || a[2] > b[5] || b[2] > a[5]) continue;
            if (test(i, j)) return true;
        }
    return edges_meet_at_a_point(touches, shallow);
}

}  // namespace csg
