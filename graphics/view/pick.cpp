// The pick device: filters and box culling on entering an object, the point, line
// and triangle tests of its geometry, the decision on leaving it (groups reported as
// units), the entry points and the segment finders.
#include "graphics/view/pick.h"

#include <cmath>
#include <memory>
#include <new>

#include "graphics/view/pick_index.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/math/result.h"

RTC_CLASS_RECORD(SRCITER, "SRCITER", &ZITER::rtc_class, 2, nullptr, nullptr, nullptr, false, false);

namespace {

// Walk results of the device.
constexpr int kGoOn = 0;
constexpr int kSkip = -1;
constexpr int kHit = -2;

void grow_box(BBox* b, const Vec3& v) {
    if (v.x < b->min.x) b->min.x = v.x;
    if (v.y < b->min.y) b->min.y = v.y;
    if (v.z < b->min.z) b->min.z = v.z;
    if (v.x > b->max.x) b->max.x = v.x;
    if (v.y > b->max.y) b->max.y = v.y;
    if (v.z > b->max.z) b->max.z = v.z;
}

bool passes_filters(const object* obj, const PickWindow& w) {
    const uint32_t f = w.flags;
    if ((f & kPickClass) && !(w.filter_class && rtc_is_a(obj, w.filter_class))) return false;
    if ((f & kPickColour) && obj->colour != w.colour) return false;
    if ((f & kPickWidth) && (obj->width < w.min_width || obj->width > w.max_width)) return false;
    if ((f & kPickLayer) &&
        obj_find_ancestor(const_cast<object*>(obj), &LAYER::rtc_class) != w.layer)
        return false;
    if (f & kPickLineStyle) {
        const auto* wire = rtc_cast<WIRE>(obj);
        if (!wire || static_cast<const void*>(wire->line_style) != w.line_style) return false;
    }
    if (f & kPickHatch) {
        const auto* hatch = rtc_cast<HATCH>(obj);
        if (!hatch || static_cast<const void*>(hatch->pattern) != w.hatch) return false;
    }
    if (f & kPickFont) {
        const auto* text = rtc_cast<TEXT2>(obj);
        if (!text || static_cast<const void*>(text->font) != w.font) return false;
    }
    return true;
}

double orient(const Vec3& a, const Vec3& b, const Vec3& p) {
    return (double(b.x) - a.x) * (double(p.y) - a.y) - (double(b.y) - a.y) * (double(p.x) - a.x);
}

bool within(double v, double a, double b) {
    return v >= std::fmin(a, b) - 1e-6 && v <= std::fmax(a, b) + 1e-6;
}

bool on_segment(const Vec3& a, const Vec3& b, const Vec3& p) {
    return within(p.x, a.x, b.x) && within(p.y, a.y, b.y);
}

}  // namespace

// ---- Geometric tests

int box_contains_point(const BBox& box, const Vec3& p) {
    return p.x >= box.min.x && p.x <= box.max.x && p.y >= box.min.y && p.y <= box.max.y;
}

int box_inside_box(const BBox& pick, const BBox& obj) {
    if (bbox_is_empty(obj)) return 0;
    return obj.min.x >= pick.min.x && obj.max.x <= pick.max.x && obj.min.y >= pick.min.y &&
           obj.max.y <= pick.max.y;
}

int box_overlaps_box(const BBox& a, const BBox& b) {
    if (bbox_is_empty(a) || bbox_is_empty(b)) return 0;
    return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y;
}

double point_line_distance(double x1, double y1, double x2, double y2, double px, double py) {
    if (x1 == x2) return std::fabs(x1 - px);
    if (y1 == y2) return std::fabs(y1 - py);
    return std::fabs(y1 * x2 - y2 * x1 + py * (x1 - x2) + px * (y2 - y1)) /
           std::sqrt((x1 - x2) * (x1 - x2) + (y2 - y1) * (y2 - y1));
}

int point_near_segment(const Vec3& a, const Vec3& b, const Vec3& p, double width,
                       double tolerance) {
    const double m = width * 0.5 + tolerance;
    if (p.x < std::fmin(a.x, b.x) - m || p.x > std::fmax(a.x, b.x) + m ||
        p.y < std::fmin(a.y, b.y) - m || p.y > std::fmax(a.y, b.y) + m)
        return 0;
    return point_line_distance(a.x, a.y, b.x, b.y, p.x, p.y) <= m + tolerance;
}

int segment_crosses(const Vec3& a1, const Vec3& a2, const Vec3& b1, const Vec3& b2) {
    const double d1 = orient(b1, b2, a1), d2 = orient(b1, b2, a2);
    const double d3 = orient(a1, a2, b1), d4 = orient(a1, a2, b2);
    const double eps = 1e-6;
    if (((d1 > eps && d2 < -eps) || (d1 < -eps && d2 > eps)) &&
        ((d3 > eps && d4 < -eps) || (d3 < -eps && d4 > eps)))
        return 1;
    // Touching and collinear cases: an end point on the other segment.
    if (std::fabs(d1) <= eps && on_segment(b1, b2, a1)) return 1;
    if (std::fabs(d2) <= eps && on_segment(b1, b2, a2)) return 1;
    if (std::fabs(d3) <= eps && on_segment(a1, a2, b1)) return 1;
    if (std::fabs(d4) <= eps && on_segment(a1, a2, b2)) return 1;
    return 0;
}

int segment_crosses_box(const Vec3& a, const Vec3& b, const BBox& box) {
    const Vec3 c[4] = {{box.min.x, box.min.y, 0},
                       {box.max.x, box.min.y, 0},
                       {box.max.x, box.max.y, 0},
                       {box.min.x, box.max.y, 0}};
    for (int i = 0; i < 4; ++i)
        if (segment_crosses(a, b, c[i], c[(i + 1) % 4])) return 1;
    return 0;
}

int point_edge_side(const Vec3& a, const Vec3& c, const Vec3& p) {
    return ((double(c.y) - a.y) * (double(p.x) - a.x) - (double(p.y) - a.y) * (double(c.x) - a.x)) <
                   0
               ? 1
               : 0;
}

// ---- The iterator

void SRCITER::grow(const Vec3& v) {
    if (!boxes.empty()) grow_box(&boxes.back(), v);
}

bool pick_draws_beyond_box(const object* obj) { return rtc_is<CAMERA>(obj); }

int SRCITER::box_test(object* obj) {
    BBox b;
    view_project_bbox(projection, obj->box, &b);
    const uint32_t f = window->flags;
    if (f & kPickPoint) {
        if (pick_draws_beyond_box(obj)) {
            CLIPITER drawn;  // every point it draws, not its positions alone
            obj->walk(&drawn);
            BBox whole = obj->box;
            bbox_union(drawn.box, &whole);
            view_project_bbox(projection, whole, &b);
        } else if (obj->cameras > 0 && rtc_is<CONTAINER>(obj)) {
            return 0;  // its box leaves out its cameras' lines: the members cull themselves
        }
        return box_overlaps_box(point_box, b) ? 0 : 1;
    }
    if (f & kPickWindow) {
        if (box_inside_box(window->pick_box, b)) return -1;
        return box_overlaps_box(window->pick_box, b) ? 0 : 1;
    }
    if (f & kPickCrossing) {
        if (box_inside_box(window->pick_box, b)) {
            obj->file_id = 1;
            return -1;
        }
        return box_overlaps_box(window->pick_box, b) ? 0 : 1;
    }
    if (f & kPickFence) return box_overlaps_box(window->pick_box, b) ? 0 : 1;
    return 0;
}

int SRCITER::enter(object* obj) {
    try {
        boxes.push_back(kEmptyBBox);
    } catch (const std::bad_alloc&) {
        stop = kOutOfMemory;
        return 1;
    }
    current = obj;
    obj->file_id = 0;
    const PickWindow& w = *window;
    if (rtc_is<MODEL>(obj)) return kGoOn;
    if (rtc_is<LAYER>(obj)) {
        if (w.layer_flags) {
            const size_t i = layer_index++;
            if (i < w.layer_flag_count && w.layer_flags[i] == 0) return kSkip;
        }
        if ((w.flags & kPickLayer) && obj != static_cast<object*>(w.layer)) return kSkip;
        if ((w.flags & kPickPoint) && !group) return walk_indexed(static_cast<CONTAINER*>(obj));
        return kGoOn;
    }
    if (rtc_is<CONTAINER>(obj)) {
        if ((w.flags & kPickClass) && w.filter_class &&
            !rtc_class_is(w.filter_class, &CONTAINER::rtc_class))
            return kGoOn;  // its members are tested one by one
        if (!group) {
            hit = 0;
            group = obj;
        }
    }
    if (!passes_filters(obj, w)) return kSkip;
    if (group && group != obj && (w.flags & kPickWindow)) return kGoOn;
    if (!(w.flags & kPickModes)) return kHit;
    switch (box_test(obj)) {
        case -1:
            return kHit;
        case 1:
            return kSkip;
        default:
            return kGoOn;
    }
}

// Walks the children of a layer whose projected box reaches the point box, in ring
// order, as the container's own walk would (the others would be culled on entering
// them). Returns what enter returns for the layer: a positive stop, or kSkip when the
// children are done; kGoOn leaves them to the ordinary walk (no index to be had).
int SRCITER::walk_indexed(CONTAINER* c) {
    const std::shared_ptr<const PickBoxIndex> idx = pick_box_index(c, projection);
    if (!idx) return kGoOn;
    const uint64_t epoch = tree_epoch();
    const float* b = idx->boxes.data();
    const BBox& p = point_box;
    const size_t n = idx->children.size();
    for (size_t i = 0; i < n; ++i, b += 4) {
        // Containers and cameras (min x of minus infinity) are always entered.
        if (b[0] != -INFINITY &&
            !(p.min.x <= b[2] && b[0] <= p.max.x && p.min.y <= b[3] && b[1] <= p.max.y))
            continue;
        ZDLIST* child = idx->children[i];
        ZDLIST* next = child->next;
        const int status = static_cast<object*>(child)->walk(this);
        if (status > 0) return status;
        if (tree_epoch() == epoch) continue;
        // The walk changed the tree: go on along the ring like the container's walk.
        for (ZDLIST* r = next; r && c->children && r != c->children;) {
            ZDLIST* after = r->next;
            if (auto* o = rtc_cast<object>(r)) {
                const int s = o->walk(this);
                if (s > 0) return s;
            }
            r = after;
        }
        return kSkip;
    }
    return kSkip;
}

int SRCITER::leave(object* obj, int status) {
    BBox b = kEmptyBBox;
    if (!boxes.empty()) {
        b = boxes.back();
        boxes.pop_back();
        if (!boxes.empty() && !bbox_is_empty(b)) bbox_union(b, &boxes.back());
    }
    const bool was_group = obj == group;
    if (was_group) group = nullptr;
    if (stop) return status;
    if (rtc_is<MODEL>(obj) || rtc_is<LAYER>(obj)) return kGoOn;
    const PickWindow& w = *window;
    bool is_hit = status == kHit;
    if (!is_hit) {
        if (!bbox_is_empty(b)) {
            const float half = obj->width * 0.5f;
            b.min.x -= half;
            b.min.y -= half;
            b.max.x += half;
            b.max.y += half;
        }
        if ((w.flags & kPickWindow) && box_inside_box(w.pick_box, b)) {
            is_hit = true;
        } else if ((w.flags & kPickCrossing) && rtc_is<MESH3>(obj) &&
                   box_overlaps_box(w.pick_box, b)) {
            is_hit = true;
            if (box_inside_box(w.pick_box, b)) obj->file_id = 1;
        } else if (rtc_is<CONTAINER>(obj) && hit && (was_group || group)) {
            is_hit = true;  // a member was hit: the group stands for it
        }
    }
    if (!is_hit) return kSkip;
    if (group && group != obj) {
        if (w.flags & kPickWindow) return kGoOn;
        hit = 1;
        return 1;  // ends the group's walk; the group is reported when it is left
    }
    hit = 1;
    if (callback) {
        if (int r = callback(obj, arg)) {
            stop = r;
            return 1;
        }
    }
    return kSkip;
}

int SRCITER::visit(object* obj, int entering, int status) {
    return entering ? enter(obj) : leave(obj, status);
}

int SRCITER::move_to(double x, double y, double z, int, int) {
    world_to_view(projection,
                  Vec3{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)},
                  &previous);
    grow(previous);
    if ((window->flags & kPickWindow) && !box_contains_point(window->pick_box, previous))
        return kSkip;
    return kGoOn;
}

int SRCITER::line_to(double x, double y, double z, int, int) {
    Vec3 p;
    world_to_view(projection,
                  Vec3{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)}, &p);
    grow(p);
    const PickWindow& w = *window;
    const Vec3 prev = previous;
    previous = p;
    if (w.flags & kPickPoint) {
        const double width = current ? current->width : 0.0;
        if (point_near_segment(prev, p, w.p1, width, 4.0 / projection->scale)) return kHit;
    } else if (w.flags & kPickWindow) {
        if (!box_contains_point(w.pick_box, p)) return kSkip;
    } else if (w.flags & kPickCrossing) {
        if (box_contains_point(w.pick_box, p) || segment_crosses_box(prev, p, w.pick_box))
            return kHit;
    } else if (w.flags & kPickFence) {
        if (segment_crosses(prev, p, w.p1, w.p2)) return kHit;
    }
    return kGoOn;
}

int SRCITER::triangle(const Vec3d& a, const Vec3d& b, const Vec3d& c) {
    const PickWindow& w = *window;
    if (!(w.flags & (kPickPoint | kPickFence))) {
        int r = move_to(a.x, a.y, a.z, 0, 0);
        if (!r) r = line_to(b.x, b.y, b.z, 0, 0);
        if (!r) r = line_to(c.x, c.y, c.z, 0, 0);
        if (!r) r = line_to(a.x, a.y, a.z, 0, 0);
        return r;
    }
    Vec3 v[3];
    const Vec3d* in[3] = {&a, &b, &c};
    for (int i = 0; i < 3; ++i) {
        world_to_view(projection,
                      Vec3{static_cast<float>(in[i]->x), static_cast<float>(in[i]->y),
                           static_cast<float>(in[i]->z)},
                      &v[i]);
        grow(v[i]);
    }
    // A triangle seen edge-on (or collapsed to a point) passes the edge test for every
    // point on its line: it holds only the points of its own extent.
    const bool flat = orient(v[0], v[1], v[2]) == 0.0;
    BBox extent = kEmptyBBox;
    for (const Vec3& c : v) grow_box(&extent, c);
    auto inside = [&](const Vec3& p) {
        if (flat && !box_contains_point(extent, p)) return false;
        return !point_edge_side(v[0], v[1], p) && !point_edge_side(v[1], v[2], p) &&
               !point_edge_side(v[2], v[0], p);
    };
    if (inside(w.p1)) return kHit;
    if ((w.flags & kPickFence) && inside(w.p2)) return kHit;
    return kGoOn;
}

// ---- Entry points

namespace {

// Sets the device up for one walk and fills the window's derived fields.
void setup_iterator(SRCITER* it, const ViewProjection* vp, PickWindow* win) {
    it->projection = vp;
    it->window = win;
    const float w = static_cast<float>(std::ceil(4.0 / vp->scale));
    it->point_box = {{win->p1.x - w, win->p1.y - w, win->p1.z},
                     {win->p1.x + w, win->p1.y + w, win->p1.z}};
    win->pick_box = kEmptyBBox;
    grow_box(&win->pick_box, win->p1);
    grow_box(&win->pick_box, win->p2);
    win->tolerance = 5.0 / vp->scale;
}

}  // namespace

int pick_object_in_window_ex(const ViewProjection* vp, object* obj, PickWindow* win,
                             PickHitFn callback, void* arg) {
    if (!vp || !obj || !win) return 0;
    SRCITER it;
    setup_iterator(&it, vp, win);
    it.callback = callback;
    it.arg = arg;
    obj->walk(&it);
    return it.stop;
}

int pick_object_in_window(const ViewProjection* vp, object* obj, PickWindow* win) {
    if (!vp || !obj || !win) return 0;
    SRCITER it;
    setup_iterator(&it, vp, win);
    obj->walk(&it);
    return it.hit;
}

int pick_for_each_hit(const ViewProjection* vp, buffer* list, PickWindow* win, PickNodeFn callback,
                      void* arg) {
    if (!vp || !rtc_is<buffer>(list) || !win || !callback) return 0;
    for (RefNode* n = list->refs; n; n = n->next) {
        auto* obj = rtc_cast<object>(n->ref);
        if (!obj || !pick_object_in_window(vp, obj, win)) continue;
        const int r = callback(n, arg);
        if (r > 0) return r;
        if (r < 0) return 0;
    }
    return 0;
}

int pick_path_segment(const ViewProjection* vp, const Vec3& point, PointNode* first,
                      PointNode** out, double width) {
    if (!vp || !first || !out) return 0;
    const double tol = 4.0 / vp->scale;
    Vec3 p, prev;
    world_to_view(vp, point, &p);
    world_to_view(vp, Vec3{first->x, first->y, first->z}, &prev);
    PointNode* prev_node = first;
    for (PointNode* n = first->next; n; n = n->next) {
        Vec3 cur;
        world_to_view(vp, Vec3{n->x, n->y, n->z}, &cur);
        if (point_near_segment(prev, cur, p, width, tol)) {
            *out = prev_node;
            return 1;
        }
        if (n == first) break;  // a closed list ends with its closing segment
        prev = cur;
        prev_node = n;
    }
    return 0;
}

int pick_polyline_segment(const ViewProjection* vp, const Vec3& point, object* obj,
                          PointNode** out) {
    auto* x = rtc_cast<XPLINE>(obj);
    if (!x || x->kind == kXplineFilled) return 0;
    return pick_path_segment(vp, point, x->control, out, x->width);
}

int pick_segment_endpoints(const ViewProjection* vp, const Vec3& point, PointNode* first, Vec3* a,
                           Vec3* b, double width) {
    PointNode* node = nullptr;
    if (!a || !b || !pick_path_segment(vp, point, first, &node, width)) return 0;
    const PointNode* next = node->next;
    *a = {node->x, node->y, node->z};
    *b = {next->x, next->y, next->z};
    return 1;
}
