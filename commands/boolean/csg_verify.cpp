// Boolean engine: the check of the kept faces before a result is built. Both sides of
// the seam are joined first (each seam vertex of B stands at its twin of A), then the
// faces must form a closed surface by vertex identity, use every edge as often each
// way, have area, meet the other solid's faces across the intersection curve, and
// enclose a volume the operation can give. What fails is refused. A closed result
// whose regions took the wrong side without leaving a trace at the curve (solids that
// do not cross) is not caught here: that rests on the classification.
#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

#include "commands/boolean/csg_internal.h"
#include "resources/string_ids.h"

namespace csg {

namespace {

constexpr uint32_t kTwinTarget = 0x20000;  // an A vertex that some B vertex stands for

// The corner as written: at its twin when it has one.
D3 written(const Context& ctx, const Vertex* v) {
    const Vertex* twin = twin_of(ctx, v);
    return pos(twin ? twin : v);
}

bool has_area(const Context& ctx, const Face* f) {
    const D3 a = written(ctx, f->v[0]);
    const D3 n = cross(written(ctx, f->v[1]) - a, written(ctx, f->v[2]) - a);
    return n.x != 0 || n.y != 0 || n.z != 0;
}

bool kept(const Face* f) {
    return live(f) && f->v[0] != f->v[1] && f->v[1] != f->v[2] && f->v[2] != f->v[0];
}

bool used_edge(const Edge* e) {
    for (const FaceNode* n = e->faces; n; n = n->next) {
        if (kept(n->face)) return true;
    }
    return false;
}

// Cells twice the reach: a search reads at most two on each axis.
constexpr double kSeamCell = 2 * kSeamReach;

int64_t cell(double c) {
    return static_cast<int64_t>(std::clamp(std::floor(c / kSeamCell), -4e18, 4e18));
}

// Every vertex of a used cut edge of B takes as twin the nearest vertex of a used cut
// edge of A within kSeamReach (one at the very point when there is one). In the exact
// cut both copies of a crossing are one float point, so a twin is only ever at the very
// point: an A vertex a float step away is another point of the curve (the curve can
// pass a corner of A and a crossing rounded next to it in either order), and taking
// it would fold B's pieces between the two. A vertex with no twin there stays B's own.
void join_seam(Context& ctx) {
    CellLists<Vertex*> grid;
    for (Edge* e : ctx.a.cut_edges) {
        if (!used_edge(e)) continue;
        for (Vertex* v : {e->a, e->b}) {
            if (v->flags & kTwinTarget) continue;
            v->flags |= kTwinTarget;
            grid.add(cell(v->x), cell(v->y), cell(v->z), v);
        }
    }
    for (Vertex* v = ctx.a.vertices; v; v = v->next) {
        v->flags &= ~kTwinTarget;
        v->tested = 0;
    }
    for (Vertex* v = ctx.b.vertices; v; v = v->next) v->tested = 0;
    ctx.twins.clear();
    ctx.seam_joined = true;
    if (grid.size() == 0) return;
    for (Edge* e : ctx.b.cut_edges) {
        if (!used_edge(e)) continue;
        for (Vertex* v : {e->a, e->b}) {
            if (v->tested) continue;
            const D3 p = pos(v);
            Vertex* best = nullptr;
            double best_d = kSeamReach;
            for (int64_t x = cell(p.x - kSeamReach); x <= cell(p.x + kSeamReach); ++x)
                for (int64_t y = cell(p.y - kSeamReach); y <= cell(p.y + kSeamReach); ++y)
                    for (int64_t z = cell(p.z - kSeamReach); z <= cell(p.z + kSeamReach); ++z)
                        grid.for_each(x, y, z, [&](Vertex* w) {
                            const double d = length(pos(w) - p);
                            if ((d < best_d || (d == 0 && best_d > 0)) && (d == 0 || !ctx.exact)) {
                                best = w;
                                best_d = d;
                            }
                        });
            if (best) {
                ctx.twins.push_back(best);
                v->tested = static_cast<uint32_t>(ctx.twins.size());
                best->flags |= kTwinTarget;
            }
        }
    }
}

// An edge whose two ends are seam vertices may be used by faces of both solids; it is
// checked by the identities of its ends. Any other edge is used by faces of its own
// solid only and is checked on its record.
bool on_seam(const Solid& s, const Solid& a, const Edge* e) {
    if (&s == &a) return (e->a->flags & kTwinTarget) && (e->b->flags & kTwinTarget);
    return e->a->tested && e->b->tested;
}

uint64_t identity(const Context& ctx, const Solid& s, const Vertex* v) {
    if (const Vertex* twin = twin_of(ctx, v)) return twin->seq;
    return (&s == &ctx.a ? 0 : uint64_t{1} << 32) | v->seq;
}

}  // namespace

namespace {

// The volume term of a face about o (six times its tetrahedron's signed volume).
double volume_term(const Context& ctx, const Face* f, D3 o) {
    const D3 a = written(ctx, f->v[0]) - o, b = written(ctx, f->v[1]) - o, c = written(ctx, f->v[2]) - o;
    return -dot(a, cross(b, c));
}

// The kept faces' edges as written, by coordinates: corners written at one point are
// one corner there, as anyone reading the result takes them. Tells whether two corners
// that are not one vertex (nor a vertex and its twin) are written at one point
// (`corners_meet`) or an edge has four faces (`four_faces`): parts that touch there;
// and whether some edge is used more often one way than the other, or by four faces
// that do not run each way in turn about it (parts crossing there, not touching), or
// by more (`open`).
struct Written {
    bool corners_meet = false, four_faces = false, open = false;
};

Written written_edges(const Context& ctx) {
    struct Corner {
        float x, y, z;
        const Vertex* v;
        bool operator<(const Corner& o) const {
            return x != o.x ? x < o.x : y != o.y ? y < o.y : z != o.z ? z < o.z : v < o.v;
        }
        bool same_place(const Corner& o) const { return x == o.x && y == o.y && z == o.z; }
    };
    auto at = [&](const Vertex* v) {
        const Vertex* twin = twin_of(ctx, v);
        return twin ? twin : v;
    };
    struct Use {
        const Vertex *from, *to, *third;
        bool operator<(const Use& o) const { return std::tie(from, to, third) < std::tie(o.from, o.to, o.third); }
    };
    std::vector<Corner> corners;
    std::vector<Use> uses;
    for (const Solid* s : {&ctx.a, &ctx.b}) {
        for (const Face* f = s->faces; f; f = f->next) {
            if (!kept(f)) continue;
            for (int k = 0; k < 3; ++k) {
                const Vertex* v = at(f->v[k]);
                corners.push_back({v->x, v->y, v->z, v});
                uses.push_back({v, at(f->v[(k + 1) % 3]), at(f->v[(k + 2) % 3])});
            }
        }
    }
    std::sort(corners.begin(), corners.end());
    // Each corner stands for the first corner written at its point.
    std::vector<std::pair<const Vertex*, const Vertex*>> first;
    Written w;
    for (size_t i = 0, j = 0; i < corners.size(); i = j) {
        for (j = i + 1; j < corners.size() && corners[j].same_place(corners[i]); ++j) {
            if (corners[j].v != corners[i].v) w.corners_meet = true;
            first.emplace_back(corners[j].v, corners[i].v);
        }
        first.emplace_back(corners[i].v, corners[i].v);
    }
    std::sort(first.begin(), first.end());
    first.erase(std::unique(first.begin(), first.end()), first.end());
    auto place = [&](const Vertex* v) {
        return std::lower_bound(first.begin(), first.end(), std::make_pair(v, static_cast<const Vertex*>(nullptr)))->second;
    };
    for (Use& u : uses) u = {place(u.from), place(u.to), u.third};
    std::sort(uses.begin(), uses.end());
    const auto edge_less = [](const Use& x, const Use& y) { return std::tie(x.from, x.to) < std::tie(y.from, y.to); };
    for (size_t i = 0, j = 0; i < uses.size(); i = j) {
        for (j = i + 1; j < uses.size() && uses[j].from == uses[i].from && uses[j].to == uses[i].to; ++j) {}
        const auto back = std::equal_range(uses.begin(), uses.end(), Use{uses[i].to, uses[i].from, nullptr}, edge_less);
        if (j - i > 2 || static_cast<size_t>(back.second - back.first) != j - i) {
            w.open = true;
        } else if (j - i == 2) {
            w.four_faces = true;
            const D3 third[4] = {pos(uses[i].third), pos(uses[i + 1].third), pos(back.first->third),
                                 pos((back.first + 1)->third)};
            const bool forward[4] = {true, true, false, false};
            int order[4];
            if (!paired_about(pos(uses[i].from), pos(uses[i].to), third, forward, order)) w.open = true;
        }
    }
    return w;
}

// How far the kept faces stand from the input triangles they are pieces of, as
// volumes: each face's area times the mean distance of its written corners from its
// triangle's plane (the volume between the face and the plane), up to four float
// steps at the largest coordinate (`rounding`: new points rounded to float) and
// beyond them (`beyond_rounding`: corners the weld, the merges and the seam join of
// the cut of tolerances moved, up to the tolerance). Faces of the exact cut stand on
// their triangles but for the rounding.
struct Departure {
    double rounding = 0, beyond_rounding = 0;
};

Departure departure(const Context& ctx) {
    double largest = 0;
    for (const Solid* s : {&ctx.a, &ctx.b})
        for (int k = 0; k < 6; ++k) largest = std::max(largest, std::fabs(double{s->box[k]}));
    const double step = kShallowOverlap * largest;
    Departure d;
    for (const Solid* s : {&ctx.a, &ctx.b}) {
        for (const Face* f = s->faces; f; f = f->next) {
            if (!kept(f)) continue;
            const D3 c[3] = {written(ctx, f->v[0]), written(ctx, f->v[1]), written(ctx, f->v[2])};
            const double area = 0.5 * length(cross(c[1] - c[0], c[2] - c[0]));
            d.rounding += area * step;
            if (f->origin == kNoOrigin || f->origin >= s->given.size()) continue;
            const Plane& p = s->given[f->origin];
            double beyond = 0;
            for (const D3& q : c) beyond += std::max(0.0, std::fabs(dot(p.n, q) + p.d) - step);
            d.beyond_rounding += area * beyond / 3;
        }
    }
    return d;
}

}  // namespace

Shape solid_shape(const Context& ctx, const Solid& s, D3 o) {
    std::vector<int32_t> balance(s.next_edge, 0);
    double v = 0;
    for (const Face* f = s.faces; f; f = f->next) {
        if (!kept(f)) continue;
        v += volume_term(ctx, f, o);
        for (int k = 0; k < 3; ++k) balance[f->e[k]->serial] += f->v[k] == f->e[k]->a ? 1 : -1;
    }
    return {std::all_of(balance.begin(), balance.end(), [](int32_t b) { return b == 0; }), v / 6.0};
}

void verify_result(Context& ctx, int operation, double va, double vb) {
    join_seam(ctx);
    std::vector<std::pair<uint64_t, uint64_t>> seam;
    // Uses of intersection-curve edges: (from, to, solid). Across the curve a face of
    // one solid meets a face of the other; two faces of one solid meeting there mean a
    // side was kept whole that the curve should have cut (unless faces lie on the
    // other surface, where one solid's faces stand for both).
    struct CurveUse {
        uint64_t from, to;
        int solid;
        const Face* face;
        auto key() const { return std::make_tuple(from, to, solid); }
        bool operator<(const CurveUse& o) const { return key() < o.key(); }
    };
    std::vector<CurveUse> curve;
    bool coplanar = false;
    // By edge serial: uses one way less uses the other, and all uses.
    std::vector<int32_t> balance, uses;
    for (Solid* s : {&ctx.a, &ctx.b}) {
        balance.assign(s->next_edge, 0);
        uses.assign(s->next_edge, 0);
        for (Face* f = s->faces; f; f = f->next) {
            if (!kept(f)) continue;
            if (!has_area(ctx, f)) raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Result has a face without area");
            if (f->state & (kOnSame | kOnOpposite)) coplanar = true;
            for (int k = 0; k < 3; ++k) {
                const Edge* e = f->e[k];
                const Vertex* from = f->v[k];
                if (on_seam(*s, ctx.a, e)) {
                    seam.emplace_back(identity(ctx, *s, from), identity(ctx, *s, f->v[(k + 1) % 3]));
                    if (e->flags & kCutEdge) curve.push_back({seam.back().first, seam.back().second, s == &ctx.a ? 0 : 1, f});
                } else
                    balance[e->serial] += from == e->a ? 1 : -1, ++uses[e->serial];
            }
        }
        // Every edge once each way: a closed surface. In the exact cut an edge off the
        // seam may carry four faces, twice each way: crossings on both walls of a
        // sliver a float step thick round to one point, and pieces of both walls meet
        // on one edge from a corner of the sliver to that point (parts of the result
        // touching there). Whether they run each way in turn about it, touching and
        // not crossing, is asked of the written edges below, and the result must then
        // read as a sound solid by exact checks alone.
        for (size_t i = 0; i < uses.size(); ++i) {
            if (uses[i] == 4 && balance[i] == 0 && ctx.exact && !ctx.uncut) {
                ctx.pinched_off_seam = true;
                continue;
            }
            if (balance[i] != 0 || (uses[i] != 0 && uses[i] != 2))
                raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Result is not closed");
        }
    }
    // Parts that touch at a point are a sound result of the exact cut, whose corners
    // at one point are one point exactly; in the cut of tolerances two corners at one
    // point that are not one vertex are a gap the weld left in the curve.
    if (!ctx.uncut) {
        const Written w = written_edges(ctx);
        ctx.pinched = w.corners_meet || w.four_faces;
        if (w.corners_meet && !ctx.exact) raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Result has two corners at one point");
        if (w.open) raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Result is not closed at a point it touches");
    }
    std::sort(seam.begin(), seam.end());
    for (size_t i = 0, j = 0; i < seam.size(); i = j) {
        while (j < seam.size() && seam[j] == seam[i]) ++j;
        const auto reverse = std::equal_range(seam.begin(), seam.end(), std::make_pair(seam[i].second, seam[i].first));
        // Where the solids' parts touch along the seam (the exact cut only), an edge
        // carries four faces: twice each way.
        const size_t most = ctx.exact ? 2 : 1, back = static_cast<size_t>(reverse.second - reverse.first);
        if (j - i > most || back != j - i)
            raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Result is not closed along the seam");
    }
    if (!coplanar) {
        // In the exact cut, two pieces of different input faces may meet there: the
        // crossings of the other solid with both walls of a sliver a float step thick
        // round to the same points, and the other solid's faces between the walls
        // come to nothing. Only pieces of one input face are its two sides.
        const auto one_face = [&](const Face* f, const Face* g) {
            return !ctx.exact || (f->piece_of != kNoOrigin && f->piece_of == g->piece_of);
        };
        std::sort(curve.begin(), curve.end());
        for (const CurveUse& u : curve) {
            const auto back = std::equal_range(curve.begin(), curve.end(), CurveUse{u.to, u.from, u.solid, nullptr});
            if (back.first == back.second ||
                std::binary_search(curve.begin(), curve.end(), CurveUse{u.to, u.from, 1 - u.solid, nullptr}))
                continue;
            for (auto it = back.first; it != back.second; ++it)
                if (one_face(u.face, it->face))
                    raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Result keeps both sides of one solid at the curve");
        }
    }
    // The volume is that of the faces left once the parts without volume are out:
    // what they take away counts against the operation's reach like any other.
    drop_parts_without_volume(ctx);
    const D3 o = {ctx.a.box[0], ctx.a.box[1], ctx.a.box[2]};
    double v = 0;
    for (const Solid* s : {&ctx.a, &ctx.b})
        for (const Face* f = s->faces; f; f = f->next)
            if (kept(f)) v += volume_term(ctx, f, o);
    v /= 6.0;
    // Faces that the cut of tolerances moved off the inputs' surfaces change the
    // volume by up to their departure. Beyond 3e-6 of |A| + |B| (about what rounding
    // the corners of both to float gives) the result is another solid's: the weld
    // thinned a sliver of an input away, or curve points snapped across an edge near
    // a contact (results 1.5e-4 to 2e-4 of |A| + |B| off came back so).
    const Departure moved = departure(ctx);
    if (moved.beyond_rounding > kDepartureLimit * (std::fabs(va) + std::fabs(vb)))
        raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Result leaves the input surfaces");
    // The volume against what the operation can give, with room for the rounding of
    // new points to float and for the faces moved.
    const double slack = moved.rounding + moved.beyond_rounding;
    double lo = 0, hi = 0;
    if (operation == kCsgUnion) {
        lo = std::max(va, vb);
        hi = va + vb;
    } else if (operation == kCsgIntersection) {
        hi = std::min(va, vb);
    } else if (operation == kCsgSubtraction) {
        lo = std::max(0.0, va - vb);
        hi = va;
    } else {
        lo = std::max(0.0, vb - va);
        hi = vb;
    }
    if (!(v >= lo - slack && v <= hi + slack)) raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Result volume is out of reach");
}

}  // namespace csg
