// The list edits of the polyline editor (see pln_ops.h).
#include "commands/pledit/pln_ops.h"

#include <cmath>
#include <new>

#include "model/math/arcgeom.h"
#include "model/math/matrix.h"
#include "model/math/scalar.h"
#include "model/math/vec.h"

namespace {

Vec3 at(const PointNode* n) { return {n->x, n->y, n->z}; }
void put(PointNode* n, const Vec3& p) { n->x = p.x, n->y = p.y, n->z = p.z; }
double flat_dist(const Matrix43& view, const Vec3& a, const Vec3& b) {
    Vec3 p, q;
    mat_xform_point(&p, &a, &view);
    mat_xform_point(&q, &b, &view);
    return std::hypot(double(p.x) - q.x, double(p.y) - q.y);
}
PointNode* last_of(PointNode* list) {
    PointNode* n = list;
    while (n && n->next && n->next != list) n = n->next;
    return n;
}
PointNode* new_node(const Vec3& p) {
    PointNode* n = new (std::nothrow) PointNode{};
    if (n) put(n, p);
    return n;
}
double dist(const Vec3& a, const Vec3& b) {
    return std::sqrt(double(a.x - b.x) * (a.x - b.x) + double(a.y - b.y) * (a.y - b.y) + double(a.z - b.z) * (a.z - b.z));
}
Vec3 lerp(const Vec3& a, const Vec3& b, double t) {
    return {static_cast<float>(a.x + (double(b.x) - a.x) * t), static_cast<float>(a.y + (double(b.y) - a.y) * t),
            static_cast<float>(a.z + (double(b.z) - a.z) * t)};
}

}  // namespace

PointNode* pln_nearest_vertex(const Matrix43& view, PointNode* list, const Vec3& pick, PointNode** before) {
    PointNode *best = nullptr, *best_before = nullptr, *prev = list ? last_of(list) : nullptr;
    const bool ring = plist_is_closed(list);
    double d_best = INFINITY;
    PointNode* n = list;
    do {
        if (!n) break;
        const double d = flat_dist(view, at(n), pick);
        if (d < d_best) d_best = d, best = n, best_before = (n == list && !ring) ? nullptr : prev;
        prev = n;
        n = n->next;
    } while (n && n != list);
    if (before) *before = best_before;
    return best;
}

PointNode* pln_close_if_first(const Matrix43& view, PointNode* list, const Vec3& pick) {
    if (!list || plist_is_closed(list) || !list->next) return list;
    PointNode* last = last_of(list);
    if (!vec3_near(at(list), at(last)) || last == list->next) return list;
    if (pln_nearest_vertex(view, list, pick, nullptr) != list) return list;
    PointNode* before_last = list;
    while (before_last->next != last) before_last = before_last->next;
    delete last;
    before_last->next = list;
    return list;
}

int pln_pick_vertex(const Matrix43& view, PointNode* list, const Vec3& pick, PointNode** before, PointNode** vertex) {
    PointNode* b = nullptr;
    PointNode* v = pln_nearest_vertex(view, list, pick, &b);
    if (before) *before = b;
    if (vertex) *vertex = v;
    if (!v) return 2;
    if (plist_is_closed(list)) return 0;
    if (!b) return -1;
    return v->next ? 0 : 1;
}

bool pln_nearest_segment(const Matrix43& view, PointNode* list, const Vec3& pick, PointNode** start, Vec3* at_out) {
    if (!list || !list->next || plist_is_closed(list)) return false;
    Vec3 pv;
    mat_xform_point(&pv, &pick, &view);
    pv.z = 0;
    double best = INFINITY;
    for (PointNode* n = list; n->next; n = n->next) {
        Vec3 a, b, q;
        const Vec3 wa = at(n), wb = at(n->next);
        mat_xform_point(&a, &wa, &view);
        mat_xform_point(&b, &wb, &view);
        a.z = b.z = 0;
        const double t = seg_project_point(&a, &b, &pv, &q);
        const double d = std::hypot(double(q.x) - pv.x, double(q.y) - pv.y);
        if (d < best) best = d, *start = n, *at_out = lerp(wa, wb, t);
    }
    return best < INFINITY;
}

PointNode* pln_insert_after(PointNode* node, const Vec3& p) {
    PointNode* n = new_node(p);
    if (!n || !node) {
        delete n;
        return nullptr;
    }
    n->next = node->next;
    node->next = n;
    return n;
}

void pln_delete_node(PointNode** list, PointNode* before, PointNode* node) {
    if (!list || !*list || !node) return;
    if (node->next == node) {  // the only node of a ring
        delete node;
        *list = nullptr;
        return;
    }
    if (!before) before = plist_is_closed(*list) ? last_of(*list) : nullptr;
    if (before) before->next = node->next;
    if (node == *list) *list = node->next;
    delete node;
}

int pln_corner_points(const Vec3& p, const Vec3& v, const Vec3& n, bool chamfer, double r, double t1, double t2,
                      double step, PlnCorner* out) {
    const double angle = vec3_angle(v, p, n);
    const double lp = dist(v, p), ln = dist(v, n);
    if (!std::isfinite(angle) || angle == 0 || angle == kPi || !(lp > 0) || !(ln > 0))
        return kPlnNoCorner;
    list_free(&out->points);
    if (chamfer) {
        const double k1 = t1 / lp, k2 = t2 / ln;
        if (!(k1 < 1) || !(k2 < 1) || k1 < 0 || k2 < 0) return kPlnNoCorner;
        const Vec3 a = lerp(v, p, k1), b = lerp(v, n, k2);
        if (plist_add(&out->points, b) || plist_add(&out->points, a)) {
            list_free(&out->points);
            return kOutOfMemory;
        }
        out->arc = false;
        return 0;
    }
    const double h = angle / 2;
    const double t = r / std::tan(h);
    if (!(r > 0) || !(t <= lp) || !(t <= ln)) return kPlnNoCorner;
    const Vec3 tp1 = lerp(v, p, t / lp), tp2 = lerp(v, n, t / ln);
    const Vec3 mid = lerp(tp1, tp2, 0.5);
    const double lm = dist(v, mid);
    if (!(lm > 0)) return kPlnNoCorner;
    const Vec3 c = lerp(v, mid, (r / std::sin(h)) / lm);
    // The arc in the plane of the corner.
    Vec3d nrm;
    plane_normal_3pt(&nrm, &v, &p, &n);
    Matrix43 to, from;
    mat_align_z(&to, nullptr, nrm.x, nrm.y, nrm.z, 1);
    mat_align_z(&from, nullptr, nrm.x, nrm.y, nrm.z, 0);
    Vec3 lc, l1, l2;
    mat_xform_point(&lc, &c, &to);
    mat_xform_point(&l1, &tp1, &to);
    mat_xform_point(&l2, &tp2, &to);
    double a1 = std::atan2(double(l1.y) - lc.y, double(l1.x) - lc.x);
    double a2 = std::atan2(double(l2.y) - lc.y, double(l2.x) - lc.x);
    if (a1 < 0) a1 += kTwoPi;
    if (a2 < 0) a2 += kTwoPi;
    double sweep = a2 - a1;
    if (sweep < 0) sweep += kTwoPi;
    const bool swapped = sweep > kPi;
    if (swapped) std::swap(a1, a2);
    PointNode* local = nullptr;
    const int code = arc_points(lc, r, a1, a2, step > 0 ? step : kPi / 12, &local);
    if (code) return code == kOutOfMemory ? kOutOfMemory : kPlnNoCorner;
    // arc_points prepends, so the list runs from a2 back to a1. Unswapped, a1 is the
    // T1 side and the list is turned round; swapped, a2 is the T1 side already.
    if (!swapped) local = list_reverse(local);
    for (PointNode* q = local; q; q = q->next) {
        Vec3 w = at(q);
        mat_xform_point(&w, &w, &from);
        put(q, w);
    }
    // The ends exactly on the tangent points. An arc end that lies on a step of the
    // arc (or within rounding of one) also has that step's point beside it: it goes,
    // so that no point repeats the one before it.
    put(local, tp1);
    put(last_of(local), tp2);
    for (PointNode* q = local; q->next;) {
        PointNode* d = q->next;
        if (!(dist(at(q), at(d)) <= 1e-6 * r)) {
            q = d;
            continue;
        }
        // Of two tangent-end neighbours the tangent point stays.
        if (!d->next) put(q, at(d));
        q->next = d->next;
        delete d;
    }
    out->points = local;
    out->arc = true;
    out->centre = c;
    out->radius = r;
    out->start = a1;
    out->end = a2;
    const Vec3 ax1{lc.x + float(r), lc.y, lc.z}, ax2{lc.x, lc.y + float(r), lc.z};
    mat_xform_point(&out->axis1, &ax1, &from);
    mat_xform_point(&out->axis2, &ax2, &from);
    return 0;
}

void pln_corner_replace(PointNode** list, PointNode* before, PlnCorner* corner) {
    PointNode* v = before ? before->next : nullptr;
    if (!v || !corner->points) return;
    PointNode* tail = last_of(corner->points);
    tail->next = v->next == v ? corner->points : v->next;
    before->next = corner->points;
    if (*list == v) *list = corner->points;
    corner->points = nullptr;
    delete v;
}

int pln_corner_cut(PointNode** list, PointNode* before, const PlnCorner& corner, PointNode** rest) {
    *rest = nullptr;
    PointNode* v = before ? before->next : nullptr;
    if (!v || !corner.points) return kBadArgument;
    PointNode* first = corner.points;
    PointNode* last = last_of(corner.points);
    PointNode* start = new_node(at(last));
    if (!start) return kOutOfMemory;
    put(v, at(first));
    if (plist_is_closed(*list)) {
        // Open the ring: from the corner's last point round to its first.
        start->next = v->next == v ? v : v->next;
        v->next = nullptr;
        *list = start;
        return 0;
    }
    start->next = v->next;
    v->next = nullptr;
    *rest = start;
    return 0;
}

void pln_cut_after(PointNode** list, PointNode* cut, PointNode** second) {
    if (!cut || !list || !*list) return;
    const bool ring = plist_is_closed(*list);
    PointNode* moved = cut->next == *list && ring ? nullptr : cut->next;
    cut->next = nullptr;
    PointNode* tail = last_of(*second);
    for (PointNode* n = moved; n && n != *list;) {
        PointNode* next = n->next;
        n->next = nullptr;
        if (tail)
            tail->next = n;
        else
            *second = n;
        tail = n;
        n = next;
    }
}

int pln_append_chain(PointNode** list, const PointNode* chain) {
    PointNode* tail = last_of(*list);
    const PointNode* n = chain;
    do {
        if (!n) break;
        const Vec3 p = at(n);
        if (!tail || dist(at(tail), p) >= 0.001) {
            PointNode* added = new_node(p);
            if (!added) return kOutOfMemory;
            if (tail)
                tail->next = added;
            else
                *list = added;
            tail = added;
        }
        n = n->next;
    } while (n && n != chain);
    return 0;
}
