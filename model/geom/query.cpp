// Geometric queries: clockwise contours, centres of objects, the plane of a chain,
// the window test and the nearest crossing of two polylines.
#include "model/geom/query.h"

#include <cmath>

#include "model/db/solid.h"
#include "model/db/wire.h"
#include "model/geom/regen_util.h"
#include "model/math/arcgeom.h"
#include "model/math/matrix.h"
#include "model/math/scalar.h"
#include "model/math/vec.h"

namespace {

// Calls fn(node) for each node of an open or closed list.
template <class Fn>
void for_each_node(const PointNode* list, Fn fn) {
    for (const PointNode* n = list; n; n = (n->next == list) ? nullptr : n->next) fn(*n);
}

Vec3 node_point(const PointNode& n) {
    return Vec3{n.x, n.y, n.z};
}

// Averages the centres of a list of point lists; false when none has one.
bool runs_center(const PtrNode* runs, Vec3* out) {
    double sx = 0, sy = 0, sz = 0;
    int count = 0;
    for (const PtrNode* r = runs; r; r = (r->next == runs) ? nullptr : r->next) {
        Vec3 c;
        if (polyline_center(static_cast<const PointNode*>(r->value), &c)) {
            sx += c.x;
            sy += c.y;
            sz += c.z;
            ++count;
        }
    }
    if (!count) return false;
    vec3_set(out, sx / count, sy / count, sz / count);
    return true;
}

}  // namespace

int contour_orient_cw(PointNode** ring) {
    PointNode* head = *ring;
    if (!head || plist_count(head) < 3) return 0;
    // Leftmost vertex (first in ring order on ties) and its predecessor.
    PointNode* v = head;
    PointNode* prev = list_last(head);
    PointNode* p = prev;
    for (PointNode* n = head->next, *before = head; n != head; before = n, n = n->next) {
        if (n->x < v->x) {
            v = n;
            p = before;
        }
    }
    // Along a vertical left edge the turn is taken at the edge's last vertex, which
    // is still leftmost and so a convex corner (the vertex after the edge may be an
    // inner one and give the wrong answer).
    const PointNode* first_pred = p;
    if (std::fabs(double(p->x) - v->x) < 0.001) {
        while (std::fabs(double(v->next->x) - v->x) < 0.001 && v->next != first_pred) {
            p = v;
            v = v->next;
        }
    }
    const PointNode* n = v->next;
    double t = (double(p->x) - v->x) * (double(v->y) - n->y) -
               (double(p->y) - v->y) * (double(v->x) - n->x);
    if (t > 0) {
        *ring = list_reverse(head);
        return 1;
    }
    return 0;
}

void contour_make_cw(PointNode** list) {
    if (!list || !*list) return;
    const bool open = !plist_is_closed(*list);
    if (open) list_last(*list)->next = *list;
    contour_orient_cw(list);
    if (open) list_last(*list)->next = nullptr;
}

int polyline_center(const PointNode* list, Vec3* out) {
    double sx = 0, sy = 0, sz = 0;
    int count = 0;
    for_each_segment(list, [&](const PointNode& a, const PointNode& b) {
        sx += (double(a.x) + b.x) * 0.5;
        sy += (double(a.y) + b.y) * 0.5;
        sz += (double(a.z) + b.z) * 0.5;
        ++count;
        return true;
    });
    if (!count) return 0;
    vec3_set(out, sx / count, sy / count, sz / count);
    return 1;
}

void object_center(const object* obj, Vec3* out) {
    if (!obj || !out) return;
    if (const MESH3* mesh = rtc_cast<MESH3>(obj)) {
        double sx = 0, sy = 0, sz = 0;
        int blocks = 0;
        for (const MeshFaceBlock* b = mesh->blocks; b; b = b->next) {
            const auto& v = b->vertices;
            if (v.size() < 2) continue;
            double bx = 0, by = 0, bz = 0;
            for (size_t i = 0; i + 1 < v.size(); ++i) {
                bx += (double(v[i].x) + v[i + 1].x) * 0.5;
                by += (double(v[i].y) + v[i + 1].y) * 0.5;
                bz += (double(v[i].z) + v[i + 1].z) * 0.5;
            }
            const double n = double(v.size() - 1);
            sx += bx / n;
            sy += by / n;
            sz += bz / n;
            ++blocks;
        }
        if (blocks) vec3_set(out, sx / blocks, sy / blocks, sz / blocks);
        return;
    }
    if (const CAMERA* cam = rtc_cast<CAMERA>(obj)) {
        vec3_midpoint(out, &cam->position, &cam->target);
        return;
    }
    if (const SPOTLITE* spot = rtc_cast<SPOTLITE>(obj)) {
        vec3_midpoint(out, &spot->position, &spot->target);
        return;
    }
    if (const LIGHT* light = rtc_cast<LIGHT>(obj)) {
        *out = light->position;
        return;
    }
    if (const XPLINE* x = rtc_cast<XPLINE>(obj); x && x->kind != 1) {
        polyline_center(x->control, out);
        return;
    }
    if (const ELARC* e = rtc_cast<ELARC>(obj); e && (e->flags & kElarcWholeEllipse)) {
        *out = e->centre;
        return;
    }
    if (const WIRE* w = rtc_cast<WIRE>(obj)) {
        // The runs; a curve drawn solid has none, its flattened list stands in.
        if (!runs_center(w->strokes, out)) polyline_center(w->points, out);
    }
}

int chain_plane(const PointNode* list, Vec3d* normal, Matrix43* to_plane, Matrix43* from_plane,
                double* offset) {
    if (!list || !list->next || list->next == list) return 0;
    const Vec3 p1 = node_point(*list);
    // The second point: the first one apart from P1 (a repeated start adds no plane).
    const PointNode* n2 = list->next;
    while (n2 && n2 != list && vec3_dist(node_point(*n2), p1) <= 1e-6)
        n2 = (n2->next == list) ? nullptr : n2->next;
    if (!n2 || n2 == list) return 0;
    const Vec3 p2 = node_point(*n2);
    const PointNode* k = nullptr;
    for (const PointNode* n = n2->next; n && n != list; n = n->next) {
        double a = vec3_angle(p1, p2, node_point(*n));
        // A point straight behind P1 (angle pi) is as collinear as one in front.
        if (a >= 0.0001 && a <= kPi - 0.0001) {
            k = n;
            break;
        }
    }
    if (!k) return 0;
    const Vec3 pk = node_point(*k);
    Vec3d nrm;
    plane_normal_3pt(&nrm, &p1, &p2, &pk);
    if (normal) *normal = nrm;
    if (to_plane) {
        mat_align_z(to_plane, nullptr, nrm.x, nrm.y, nrm.z, 1);
        if (offset) {
            Vec3 q;
            mat_xform_point(&q, &p1, to_plane);
            *offset = q.z;
        }
    }
    if (from_plane) mat_align_z(from_plane, nullptr, nrm.x, nrm.y, nrm.z, 0);
    return 1;
}

int box_disjoint_2d(const Vec3& a, const Vec3& b, const Vec3& min, const Vec3& max) {
    if (std::fmin(a.x, b.x) > max.x || std::fmin(a.y, b.y) > max.y) return 1;
    if (std::fmax(a.x, b.x) < min.x || std::fmax(a.y, b.y) < min.y) return 1;
    return 0;
}

int xpline_intersection_near(const object* a, const object* b, Vec3* point) {
    const XPLINE* xa = rtc_cast<XPLINE>(a);
    const XPLINE* xb = rtc_cast<XPLINE>(b);
    if (!xa || !xb || xa->kind != 0 || xb->kind != 0 || !point) return 0;
    bool found = false;
    double best = 0;
    Vec3 best_point{};
    for_each_segment(xa->control, [&](const PointNode& p, const PointNode& q) {
        double la, lb, lc;
        line_coeffs(node_point(p), node_point(q), &la, &lb, &lc);
        for_each_segment(xb->control, [&](const PointNode& r, const PointNode& s) {
            Vec3 x;
            if (line_intersect_coeffs(la, lb, lc, node_point(r), node_point(s), &x)) {
                double d = vec2_dist(x, *point);
                if (!found || d < best) {
                    found = true;
                    best = d;
                    best_point = x;
                }
            }
            return true;
        });
        return true;
    });
    if (!found) return 0;
    *point = best_point;
    return 1;
}
