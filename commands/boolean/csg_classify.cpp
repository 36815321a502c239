// Boolean engine: classifying the faces of each solid as inside, outside or on the
// other solid, and keeping the faces that the operation asks for.
#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <vector>

#include "commands/boolean/csg_internal.h"
#include "resources/string_ids.h"

namespace csg {

namespace {

// Where face f lies with respect to solid t, by a ray from its centroid along its
// normal: the nearest face hit decides. Ambiguous rays (grazing an edge, or running
// in a face's plane) are perturbed and cast again, a bounded number of times; every
// walk starts afresh.
uint32_t classify_face(Context& ctx, Face* f, Solid& t) {
    const D3 c = face_centroid(f);
    // The face's own normal decides whether a face it starts in lies on it; the ray
    // direction, once perturbed, no longer does.
    const D3 normal = face_plane_of(ctx, f).n;
    D3 n = normal;
    for (int cast = 0; cast <= kMaxRecasts; ++cast) {
        uint32_t result = kOutside;
        double nearest = 1e300;
        bool ambiguous = false;
        for (Face* g = t.faces; g && !ambiguous; g = g->next) {
            spend(ctx);
            if (!live(g)) continue;
            const D3 m = g->plane.n;
            const double dn = dot(n, m);
            const double dw = dot(pos(g->v[0]) - c, m);
            if (std::fabs(dn) >= kGrazingCosine) {
                const double t_hit = dw / dn;
                if (t_hit < -kTol) continue;
                const D3 p = c + n * t_hit;
                if (std::fabs(t_hit) >= kTol) {
                    const double dist = length(p - c);
                    if (dist >= nearest) continue;
                    const int r = point_in_triangle(g, m, p);
                    if (r == kPitOutside) continue;
                    if (r == kPitEdge) {
                        ambiguous = true;
                        continue;
                    }
                    nearest = dist;
                    result = dn > kGrazingCosine ? kInside : kOutside;
                } else if (std::fabs(dot(normal, m)) > kOnFaceCosine && point_in_triangle(g, m, p) != kPitOutside) {
                    return dot(normal, m) > 0 ? kOnSame : kOnOpposite;
                }
            } else if (std::fabs(dw) < kTol) {
                ambiguous = true;
            }
        }
        if (!ambiguous) return result;
        perturb_ray(ctx, n);
    }
    raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Ray does not settle in csg_classify_face()");
}

double area2(const Face* f) {
    const D3 a = pos(f->v[0]);
    return length(cross(pos(f->v[1]) - a, pos(f->v[2]) - a));
}

// Classifies the region of unclassified faces reached from f without crossing a cut
// edge: such a region, bounded by the intersection curve, has one state. The ray is
// cast from the region's largest face, whose centroid lies well away from the curve
// (a sliver along the curve may sit on the other surface and give any answer).
void classify_region(Context& ctx, Face* f, Solid& t, std::vector<Face*>& region) {
    region.clear();
    constexpr uint32_t kVisiting = 0x10000;
    f->state = kVisiting;
    region.push_back(f);
    for (size_t i = 0; i < region.size(); ++i) {
        for (Edge* e : region[i]->e) {
            if (e->flags & kCutEdge) continue;
            for (FaceNode* n = e->faces; n; n = n->next) {
                Face* g = n->face;
                if (!live(g) || g->state != kUnclassified) continue;
                g->state = kVisiting;
                region.push_back(g);
            }
        }
    }
    Face* best = f;
    double best_area = area2(f);
    for (Face* g : region) {
        const double a = area2(g);
        if (a > best_area) {
            best = g;
            best_area = a;
        }
    }
    const uint32_t state = classify_face(ctx, best, t);
    for (Face* g : region) g->state = state;
}

void classify_faces(Context& ctx, Solid& s, Solid& t) {
    for (Face* g = t.faces; g; g = g->next) {
        if (live(g)) face_plane_of(ctx, g);
    }
    std::vector<Face*> region;
    for (Face* f = s.faces; f; f = f->next) {
        if (!live(f) || f->state != kUnclassified) continue;
        classify_region(ctx, f, t, region);
    }
}

void drop_faces(Solid& s, uint32_t mask) {
    for (Face* f = s.faces; f; f = f->next) {
        if (live(f) && (f->state & mask)) f->state = kDiscarded;
    }
    for (Vertex* v = s.vertices; v; v = v->next) v->flags = kUnused;
    for (Face* f = s.faces; f; f = f->next) {
        if (!live(f)) continue;
        for (Vertex* v : f->v) v->flags = 0;
    }
}

}  // namespace

void classify_all(Context& ctx) {
    classify_faces(ctx, ctx.a, ctx.b);
    classify_faces(ctx, ctx.b, ctx.a);
}

void check_regions_at_ends(Context& ctx, Solid& s, Solid& t, const std::vector<Vertex*>& ends) {
    // A region reached through a gap holds faces on both sides of the other surface,
    // which rays from its larger faces away from the curve tell apart. Up to kSamples
    // of them, spread over the region, are cast.
    constexpr size_t kSamples = 32;
    std::unordered_set<const Face*> checked;
    std::vector<Face*> region, large;
    const auto seen = [&](const Face* f) { return checked.count(f) != 0; };
    for (const Vertex* v : ends) {
        Face* start = nullptr;
        for (const FaceNode* n = faces_at(ctx, s, v); n && !start; n = n->next)
            if (live(n->face) && !seen(n->face)) start = n->face;
        if (!start) continue;
        const uint32_t state = start->state;
        if (state != kInside && state != kOutside) continue;
        region.assign(1, start);
        checked.insert(start);
        for (size_t i = 0; i < region.size(); ++i) {
            spend(ctx);
            for (Edge* e : region[i]->e) {
                if (e->flags & kCutEdge) continue;
                for (FaceNode* n = e->faces; n; n = n->next) {
                    Face* g = n->face;
                    if (!live(g) || seen(g)) continue;
                    checked.insert(g);
                    region.push_back(g);
                }
            }
        }
        double largest = 0;
        for (const Face* f : region) largest = std::max(largest, area2(f));
        large.clear();
        for (Face* f : region) {
            const bool on_curve = (f->e[0]->flags | f->e[1]->flags | f->e[2]->flags) & kCutEdge;
            if (!on_curve && 4 * area2(f) >= largest) large.push_back(f);
        }
        const size_t step = std::max<size_t>(1, large.size() / kSamples);
        for (size_t i = 0; i < large.size(); i += step) {
            const uint32_t other = classify_face(ctx, large[i], t);
            if ((other == kInside || other == kOutside) && other != state)
                raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Region spreads across a gap in the curve");
        }
    }
}

void select_faces(Context& ctx, int operation) {
    static constexpr uint32_t kMaskA[4] = {kInside | kOnOpposite, kOutside | kOnOpposite, kInside | kOnSame,
                                           kOutside | kOnSame | kOnOpposite};
    static constexpr uint32_t kMaskB[4] = {kInside | kOnSame | kOnOpposite, kOutside | kOnSame | kOnOpposite,
                                           kOutside | kOnSame | kOnOpposite, kInside | kOnSame};
    drop_faces(ctx.a, kMaskA[operation]);
    drop_faces(ctx.b, kMaskB[operation]);
    if (operation == kCsgSubtraction || operation == kReversedSubtraction) {
        Solid& taken = operation == kCsgSubtraction ? ctx.b : ctx.a;
        for (Face* f = taken.faces; f; f = f->next) {
            if (live(f) && (f->state & kInside)) reverse_face(f);
        }
    }
}

}  // namespace csg
