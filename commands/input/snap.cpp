// Object snaps and grid steps. The objects under the cursor are found by one walk of
// the drawing that passes over objects whose boxes miss the cursor; the snap kinds
// are then tried on that list in their fixed order.
#include "commands/input/snap.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "commands/units/coord_text.h"
#include "graphics/view/pick.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/iter.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/db/zobj.h"
#include "model/geom/query.h"
#include "model/math/arcgeom.h"

namespace {

constexpr double kApertureX = 5.0;  // pixels

bool plan_matrix(const ViewProjection& vp) { return std::memcmp(&vp.view, &kMatIdentity, sizeof(Matrix43)) == 0; }

double view_dist2(const VIEW* v, const Vec3& a, const Vec3& b) {
    Vec3 pa, pb;
    world_to_view(&v->projection, a, &pa);
    world_to_view(&v->projection, b, &pb);
    double dx = static_cast<double>(pa.x) - pb.x, dy = static_cast<double>(pa.y) - pb.y;
    return dx * dx + dy * dy;
}

int collect_cb(object* obj, void* arg) {
    static_cast<std::vector<object*>*>(arg)->push_back(obj);
    return 0;
}

// The objects under the cursor point, in the order the pick device meets them.
struct Hits {
    std::vector<object*> list;
    object* first_of(const RtcClass* cls, object* after = nullptr) const {
        bool active = after == nullptr;
        for (object* o : list) {
            if (active && rtc_is_a(o, cls)) return o;
            if (o == after) active = true;
        }
        return nullptr;
    }
};

// The drawable objects of one drawing in walk order with their boxes and layer
// positions, so that a click looks at flat arrays instead of walking the drawing: one
// segment per layer (and per object directly in the drawing), in the drawing's ring
// order. The copy follows the tree's change journal (model/db/tree.h): objects joining
// a layer are appended, objects leaving it are blanked (and the blanks squeezed out
// when they are many), boxes are read again, and a layer whose ring changed otherwise
// is copied anew. A change of the drawing's own ring, or a journal that does not hold
// every change since, rebuilds the whole copy. Only in use once snap_track_changes ran.
struct SnapEntry {
    BBox box;
    ZDLIST* obj;  // an object; null: it left the layer
};
struct SnapSegment {
    LAYER* layer = nullptr;  // null: one object directly in the drawing
    int32_t index = -1;      // position among the drawing's layers; -1 directly in the drawing
    std::vector<SnapEntry> entries;
    size_t blanks = 0;
    bool stale = false;  // copy the layer anew
};
struct SnapCache {
    const MODEL* model = nullptr;
    uint64_t epoch = 0;
    bool valid = false;
    std::vector<SnapSegment> segments;
};
SnapCache g_cache;
bool g_tracking = false;
// A journal longer than this is not worth patching from: the copy is rebuilt.
constexpr size_t kMaxPatch = 1024;

template <typename F>
void walk_top(const MODEL* m, F f) {
    int layer_index = 0;
    ZDLIST* head = m->children;
    ZDLIST* p = head;
    do {
        if (rtc_is_a(p, &LAYER::rtc_class)) {
            const int index = layer_index++;
            LAYER* layer = static_cast<LAYER*>(p);
            if (layer->children) {
                ZDLIST* q = layer->children;
                do {
                    if (rtc_is_a(q, &object::rtc_class)) f(static_cast<object*>(q), index);
                    q = q->next;
                } while (q && q != layer->children);
            }
        } else if (rtc_is_a(p, &object::rtc_class)) {
            f(static_cast<object*>(p), -1);
        }
        p = p->next;
    } while (p && p != head);
}

void fill_segment(SnapSegment* s) {
    s->entries.clear();
    s->blanks = 0;
    s->stale = false;
    const ZDLIST* head = s->layer->children;
    if (!head) return;
    const ZDLIST* q = head;
    do {
        if (rtc_is_a(q, &object::rtc_class)) {
            object* o = const_cast<object*>(static_cast<const object*>(q));
            s->entries.push_back(SnapEntry{o->box, o});
        }
        q = q->next;
    } while (q && q != head);
}

void rebuild(const MODEL* m) {
    g_cache.segments.clear();
    int layer_index = 0;
    const ZDLIST* head = m->children;
    const ZDLIST* p = head;
    do {
        if (rtc_is_a(p, &LAYER::rtc_class)) {
            SnapSegment s;
            s.layer = const_cast<LAYER*>(static_cast<const LAYER*>(p));
            s.index = layer_index++;
            g_cache.segments.push_back(std::move(s));
            fill_segment(&g_cache.segments.back());
        } else if (rtc_is_a(p, &object::rtc_class)) {
            object* o = const_cast<object*>(static_cast<const object*>(p));
            SnapSegment s;
            s.entries.push_back(SnapEntry{o->box, o});
            g_cache.segments.push_back(std::move(s));
        }
        p = p->next;
    } while (p && p != head);
}

// The entry of `obj` in the segment, searched from the end (recent objects are the
// ones edited most); null when it is not there.
SnapEntry* find_entry(SnapSegment* s, const ZDLIST* obj) {
    for (size_t i = s->entries.size(); i-- > 0;)
        if (s->entries[i].obj == obj) return &s->entries[i];
    return nullptr;
}

// Brings the copy up to the journal's changes; false when it must be rebuilt. A
// segment whose patching would cost more than filling it again (many old objects
// removed or moved) is filled again.
bool patch(const MODEL* m, const std::vector<TreeChange>& changes) {
    std::unordered_map<const SnapSegment*, size_t> spent;
    // The object's entry, counting the entries searched and (when `shift`) moved after
    // it; null when it is not there, or when the search has cost too much (the segment
    // is then stale: filled again).
    auto locate = [&spent](SnapSegment* s, const ZDLIST* obj, bool shift) -> SnapEntry* {
        SnapEntry* e = find_entry(s, obj);
        const size_t n = s->entries.size(), after = e ? size_t(s->entries.data() + n - e) : n;
        if (!tree_patch_spend(&spent[s], after * (shift ? 2 : 1), n)) {
            s->stale = true;
            return nullptr;
        }
        return e;
    };
    auto segment_of = [](ZDLIST* const* ring) -> SnapSegment* {
        if (!ring) return nullptr;
        for (SnapSegment& s : g_cache.segments)
            if (s.layer && &s.layer->children == ring) return &s;
        return nullptr;
    };
    // Objects whose boxes are read once every change is in (by then each one still
    // in its layer is alive; one that left has a blank entry and is not found).
    std::vector<std::pair<SnapSegment*, const ZDLIST*>> reread;
    for (const TreeChange& c : changes) {
        if (c.kind == TreeChangeKind::box) {
            if (c.top_ring == &m->children) return false;
            if (SnapSegment* s = segment_of(c.top_ring)) reread.emplace_back(s, c.top);
            continue;
        }
        if (c.ring == &m->children) return false;
        if (!c.ring) {
            if (c.kind == TreeChangeKind::other) return false;
            continue;
        }
        SnapSegment* s = segment_of(c.ring);
        if (!s || s->stale) continue;
        switch (c.kind) {
            case TreeChangeKind::insert_tail:
                s->entries.push_back(SnapEntry{kEmptyBBox, const_cast<ZDLIST*>(c.item)});
                reread.emplace_back(s, c.item);
                break;
            case TreeChangeKind::remove:
                if (SnapEntry* e = locate(s, c.item, false)) {
                    e->obj = nullptr;
                    e->box = kEmptyBBox;
                    ++s->blanks;
                } else {
                    s->stale = true;
                }
                break;
            case TreeChangeKind::move: {
                SnapEntry* at = locate(s, c.before, true);
                if (!at) {
                    s->stale = true;
                    break;
                }
                const auto pos = s->entries.begin() + (at - s->entries.data());
                s->entries.insert(pos, SnapEntry{kEmptyBBox, const_cast<ZDLIST*>(c.item)});
                reread.emplace_back(s, c.item);
                break;
            }
            default:
                s->stale = true;
                break;
        }
    }
    for (auto& [s, obj] : reread) {
        if (s->stale) continue;
        SnapEntry* e = locate(s, obj, false);
        if (!e) continue;  // it left, or the segment is filled again
        if (rtc_is_a(e->obj, &object::rtc_class)) {
            e->box = static_cast<object*>(e->obj)->box;
        } else {
            e->obj = nullptr;
            e->box = kEmptyBBox;
            ++s->blanks;
        }
    }
    for (SnapSegment& s : g_cache.segments) {
        if (s.stale) {
            fill_segment(&s);
        } else if (s.blanks > 64 && s.blanks * 4 > s.entries.size()) {
            std::erase_if(s.entries, [](const SnapEntry& e) { return e.obj == nullptr; });
            s.blanks = 0;
        }
    }
    return true;
}

const SnapCache* snap_cache(const MODEL* m) {
    if (!g_tracking) return nullptr;
    const uint64_t now = tree_epoch();
    try {
        if (g_cache.valid && g_cache.model == m) {
            if (g_cache.epoch == now) return &g_cache;
            std::vector<TreeChange> changes;
            if (tree_changes_since(g_cache.epoch, kMaxPatch, &changes) && patch(m, changes)) {
                g_cache.epoch = now;
                return &g_cache;
            }
        }
        g_cache.valid = false;
        rebuild(m);
        g_cache.model = m;
        g_cache.epoch = now;
        g_cache.valid = true;
        return &g_cache;
    } catch (...) {
        g_cache = SnapCache();
        return nullptr;
    }
}

void collect_hits(VIEW* view, const Vec3& point, Hits* hits) {
    hits->list.clear();
    MODEL* m = view_drawing(view);
    if (!m || !m->children || !(view->projection.scale > 0)) return;
    PickWindow win;
    win.flags = kPickPoint;
    win.tolerance = kApertureX / view->projection.scale;
    world_to_view(&view->projection, point, &win.p1);
    win.p2 = win.p1;
    const bool plan = plan_matrix(view->projection);
    const double tol = win.tolerance;
    const double px = win.p1.x, py = win.p1.y;
    auto box_hit = [&](BBox b) {
        if (bbox_is_empty(b)) return true;  // no box: leave it to the exact test
        if (!plan) {
            BBox vb;
            view_project_bbox(&view->projection, b, &vb);
            b = vb;
        }
        return px >= b.min.x - tol && px <= b.max.x + tol && py >= b.min.y - tol && py <= b.max.y + tol;
    };
    auto exact = [&](object* o) {
        (void)pick_object_in_window_ex(&view->projection, o, &win, collect_cb, &hits->list);
    };
    if (const SnapCache* c = snap_cache(m)) {
        for (const SnapSegment& s : c->segments) {
            if (s.index >= 0 && !view_layer_flag(view, s.index)) continue;
            for (const SnapEntry& e : s.entries)
                if (e.obj && box_hit(e.box)) exact(static_cast<object*>(e.obj));
        }
        return;
    }
    walk_top(m, [&](object* o, int layer) {
        if ((layer < 0 || view_layer_flag(view, layer)) && box_hit(o->box)) exact(o);
    });
}

// Nearest reported point of an object's outline (cameras and spot lights).
class BINDITER : public ZITER {
  public:
    BINDITER(const VIEW* v, const Vec3& cursor) : view(v) { world_to_view(&v->projection, cursor, &cur); }
    int visit(object*, int entering, int status) override { return entering ? 0 : status; }
    int move_to(double x, double y, double z, int, int) override { return offer(x, y, z); }
    int line_to(double x, double y, double z, int, int) override { return offer(x, y, z); }
    int triangle(const Vec3d& a, const Vec3d& b, const Vec3d& c) override {
        offer(a.x, a.y, a.z);
        offer(b.x, b.y, b.z);
        return offer(c.x, c.y, c.z);
    }
    int offer(double x, double y, double z) {
        Vec3 p{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)}, pv;
        world_to_view(&view->projection, p, &pv);
        double dx = static_cast<double>(pv.x) - cur.x, dy = static_cast<double>(pv.y) - cur.y;
        double d = dx * dx + dy * dy;
        if (d < best) {
            best = d;
            best_point = p;
        }
        return 0;
    }
    const VIEW* view;
    Vec3 cur;
    double best = DBL_MAX;
    Vec3 best_point = {0, 0, 0};
};

int try_polyline_point(VIEW* view, const Hits& hits, Vec3* point) {
    const int32_t f = view->input_flags;
    if (!(f & (kSnapLineEnd | kSnapLineMid))) return 0;
    for (object* o : hits.list) {
        if (!rtc_is_a(o, &XPLINE::rtc_class)) continue;
        XPLINE* x = static_cast<XPLINE*>(o);
        if (x->kind != 0) return 0;  // the first polyline found decides, as a pick would
        PointNode* node = nullptr;
        if (!pick_path_segment(&view->projection, *point, x->control, &node, x->width) || !node || !node->next)
            return 0;
        Vec3 a{node->x, node->y, node->z}, b{node->next->x, node->next->y, node->next->z};
        if (f & kSnapLineEnd) {
            const bool second = view_dist2(view, b, *point) < view_dist2(view, a, *point);
            *point = second ? b : a;
            snap_remember(view, o, node, kSnapLineEnd);
        } else {
            *point = Vec3{(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
            snap_remember(view, o, node, kSnapLineMid);
        }
        return 1;
    }
    return 0;
}

ELARC* first_elarc(const Hits& hits, bool closed) {
    for (object* o : hits.list) {
        if (!rtc_is_a(o, &ELARC::rtc_class)) continue;
        ELARC* e = static_cast<ELARC*>(o);
        if (((e->flags & kElarcWholeEllipse) != 0) == closed) return e;
    }
    return nullptr;
}

int try_circle_point(VIEW* view, const Hits& hits, Vec3* point) {
    const int32_t f = view->input_flags;
    if (!(f & (kSnapCircleCentre | kSnapQuadrant))) return 0;
    ELARC* e = first_elarc(hits, true);
    if (!e) return 0;
    if (f & kSnapCircleCentre) {
        *point = e->centre;
        snap_remember(view, e, nullptr, kSnapCircleCentre);
        return 1;
    }
    const Vec3& c = e->centre;
    const Vec3 q[4] = {e->axis1, e->axis2, {2 * c.x - e->axis1.x, 2 * c.y - e->axis1.y, 2 * c.z - e->axis1.z},
                       {2 * c.x - e->axis2.x, 2 * c.y - e->axis2.y, 2 * c.z - e->axis2.z}};
    int best = 0;
    double bd = view_dist2(view, q[0], *point);
    for (int i = 1; i < 4; ++i) {
        double d = view_dist2(view, q[i], *point);
        if (d < bd) bd = d, best = i;
    }
    *point = q[best];
    snap_remember(view, e, nullptr, kSnapQuadrant);
    return 1;
}

int try_arc_point(VIEW* view, const Hits& hits, Vec3* point) {
    const int32_t f = view->input_flags;
    if (!(f & (kSnapArcEnd | kSnapArcCentre))) return 0;
    ELARC* e = first_elarc(hits, false);
    if (!e) return 0;
    if (!(f & kSnapArcEnd)) {
        *point = e->centre;
        snap_remember(view, e, nullptr, kSnapArcCentre);
        return 1;
    }
    const Vec3& c = e->centre;
    const double u[3] = {static_cast<double>(e->axis1.x) - c.x, static_cast<double>(e->axis1.y) - c.y,
                         static_cast<double>(e->axis1.z) - c.z};
    const double v[3] = {static_cast<double>(e->axis2.x) - c.x, static_cast<double>(e->axis2.y) - c.y,
                         static_cast<double>(e->axis2.z) - c.z};
    const double a = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
    const double b = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    // A degenerate arc (an axis of no length) has no ends to offer.
    if (!(a > 1e-12) || !(b > 1e-12) || !std::isfinite(a) || !std::isfinite(b) || !std::isfinite(e->start) ||
        !std::isfinite(e->end))
        return 0;
    auto at = [&](double t) {
        float q[2];
        ellipse_point(a, b, 0.0, 0.0, t, q);
        const double s = q[0] / a, r = q[1] / b;
        return Vec3{static_cast<float>(c.x + s * u[0] + r * v[0]), static_cast<float>(c.y + s * u[1] + r * v[1]),
                    static_cast<float>(c.z + s * u[2] + r * v[2])};
    };
    const Vec3 ps = at(e->start), pe = at(e->end);
    if (view_dist2(view, ps, *point) < view_dist2(view, pe, *point)) {
        *point = ps;
        snap_remember(view, e, nullptr, kSnapArcStartKind);
    } else {
        *point = pe;
        snap_remember(view, e, nullptr, kSnapArcEnd);
    }
    return 1;
}

int try_object_centre(VIEW* view, const Hits& hits, Vec3* point) {
    if (!(view->input_flags & kSnapGravity) || hits.list.empty()) return 0;
    object_center(hits.list.front(), point);
    snap_remember(view, hits.list.front(), nullptr, kSnapGravity);
    return 1;
}

int try_intersection(VIEW* view, const Hits& hits, Vec3* point) {
    if (!(view->input_flags & kSnapIntersection)) return 0;
    object* a = hits.first_of(&XPLINE::rtc_class);
    object* b = a ? hits.first_of(&XPLINE::rtc_class, a) : nullptr;
    if (!a || !b) return 0;
    Vec3 p = *point;
    if (!xpline_intersection_near(a, b, &p)) return 0;
    *point = p;
    snap_forget(view);
    return 1;
}

int try_mesh_vertex(VIEW* view, const Hits& hits, Vec3* point) {
    if (!(view->input_flags & kSnapVertex)) return 0;
    object* o = hits.first_of(&MESH3::rtc_class);
    if (!o) return 0;
    MESH3* m = static_cast<MESH3*>(o);
    double best = DBL_MAX;
    Vec3 bp{};
    for (MeshFaceBlock* b = m->blocks; b; b = b->next)
        for (const MeshVertex& v : b->vertices) {
            Vec3 p{v.x, v.y, v.z};
            double d = view_dist2(view, p, *point);
            if (d < best) best = d, bp = p;
        }
    if (best == DBL_MAX) return 0;
    *point = bp;
    snap_remember(view, o, nullptr, kSnapVertex);
    return 1;
}

int try_walk_nearest(VIEW* view, const Hits& hits, const RtcClass* cls, Vec3* point) {
    if (!(view->input_flags & kSnapVertex)) return 0;
    object* o = hits.first_of(cls);
    if (!o) return 0;
    BINDITER it(view, *point);
    o->walk(&it);
    if (it.best == DBL_MAX) return 0;
    *point = it.best_point;
    snap_remember(view, o, nullptr, kSnapVertex);
    return 1;
}

template <typename F>
int single(VIEW* view, Vec3* point, F f) {
    if (!view || !point) return 0;
    Hits hits;
    collect_hits(view, *point, &hits);
    return f(view, hits, point);
}

}  // namespace

void snap_remember(VIEW* view, object* obj, void* segment, int32_t kind) {
    snap_forget(view);
    if (view && obj && (view->input_flags & kSnapRemember)) {
        view->snap_object = obj;
        view->snap_segment = segment;
        view->snap_kind = kind;
    }
}

void snap_forget(VIEW* view) {
    if (!view) return;
    view->snap_object = nullptr;
    view->snap_segment = nullptr;
    view->snap_kind = 0;
}

int snap_polyline_point(VIEW* v, Vec3* p) { return single(v, p, try_polyline_point); }
int snap_circle_point(VIEW* v, Vec3* p) { return single(v, p, try_circle_point); }
int snap_arc_point(VIEW* v, Vec3* p) { return single(v, p, try_arc_point); }
int snap_object_centre(VIEW* v, Vec3* p) { return single(v, p, try_object_centre); }
int snap_intersection(VIEW* v, Vec3* p) { return single(v, p, try_intersection); }
int snap_mesh_vertex(VIEW* v, Vec3* p) { return single(v, p, try_mesh_vertex); }
int snap_walk_nearest(VIEW* v, const RtcClass* cls, Vec3* p) {
    return single(v, p, [cls](VIEW* vv, const Hits& h, Vec3* pp) { return try_walk_nearest(vv, h, cls, pp); });
}

void snap_track_changes(bool on) { g_tracking = on; }

int snap_find(VIEW* view, Vec3* point) {
    if (!view || !point) return 0;
    const int32_t f = view->input_flags;
    const int32_t any = kSnapLineEnd | kSnapLineMid | kSnapCircleCentre | kSnapArcEnd | kSnapArcCentre | kSnapGravity |
                        kSnapIntersection | kSnapVertex | kSnapQuadrant;
    if (!(f & any)) {
        snap_forget(view);
        return 0;
    }
    Hits hits;
    collect_hits(view, *point, &hits);
    if (try_polyline_point(view, hits, point) || try_circle_point(view, hits, point) || try_arc_point(view, hits, point) ||
        try_object_centre(view, hits, point) || try_intersection(view, hits, point) || try_mesh_vertex(view, hits, point) ||
        try_walk_nearest(view, hits, &CAMERA::rtc_class, point) || try_walk_nearest(view, hits, &SPOTLITE::rtc_class, point))
        return 1;
    snap_forget(view);
    return 0;
}

double round_to_step(double value, double step) {
    if (!(step > 0.0) || !std::isfinite(step) || !std::isfinite(value)) return value;
    double r = std::floor(value / step + 0.5) * step;
    return std::isfinite(r) ? r : value;
}

int input_resolve_point(VIEW* view, Vec3* point) {
    if (!view || !point) return 0;
    Vec3 p{static_cast<float>(view->cursor[0]), static_cast<float>(view->cursor[1]),
           static_cast<float>(view->cursor[2])};
    if (snap_find(view, &p)) {
        if (!view->keep_depth) {
            Vec3 v;
            world_to_view(&view->projection, p, &v);
            v.z = static_cast<float>(view->elevation);
            view_to_world(&view->projection, v, &p);
        }
        *point = p;
        return 1;
    }
    if (!(view->input_flags & kSnapFree)) return 0;
    if (!view->grid_on) {
        *point = p;
        return 1;
    }
    Vec3 v, o{0, 0, 0};
    world_to_view(&view->projection, p, &v);
    if (view->coordinate_type == kCoordTypeUserOrigin)
        world_to_view(&view->projection, view->user_origin, &o);
    const double sx = view->step_select ? view->grid_steps[0] : view->grid_steps[2];
    const double sy = view->step_select ? view->grid_steps[1] : view->grid_steps[3];
    v.x = static_cast<float>(round_to_step(static_cast<double>(v.x) - o.x, sx) + o.x);
    v.y = static_cast<float>(round_to_step(static_cast<double>(v.y) - o.y, sy) + o.y);
    view_to_world(&view->projection, v, point);
    return 1;
}

namespace {
struct SnapCommand {
    uint32_t id;
    int bit;
    int partner;  // -1 none
};
constexpr SnapCommand kSnapCommands[] = {{15821, 0, -1}, {15822, 6, -1}, {15823, 7, -1}, {15824, 8, -1},
                                         {15825, 1, 2},  {15826, 2, 1},  {15827, 4, 5},  {15828, 5, 4},
                                         {15829, 3, 9},  {15830, 9, 3}};
const SnapCommand* find_command(uint32_t id) {
    for (const SnapCommand& c : kSnapCommands)
        if (c.id == id) return &c;
    return nullptr;
}
}  // namespace

int view_toggle_snap(VIEW* view, uint32_t id) {
    const SnapCommand* c = find_command(id);
    if (!view || (!c && id != kCmdSnapProjections)) return 0;
    ViewHost* h = view_host();
    const bool shown = view->cursor_shown != 0;
    if (h && shown) h->show_cursor_mark(view, false, true);
    if (!c) {
        view->keep_depth = !view->keep_depth;
    } else {
        view->input_flags ^= 1 << c->bit;
        if ((view->input_flags & (1 << c->bit)) && c->partner >= 0) view->input_flags &= ~(1 << c->partner);
        if ((view->input_flags & 0x3FF) == 0) view->input_flags |= kSnapFree;
    }
    if (h && shown) h->show_cursor_mark(view, true, true);
    return 1;
}

int view_snap_checked(const VIEW* view, uint32_t id) {
    if (!view) return 0;
    if (id == kCmdSnapProjections) return view->keep_depth != 0;
    const SnapCommand* c = find_command(id);
    return c && (view->input_flags & (1 << c->bit)) != 0;
}
