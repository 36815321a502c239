// Choosing objects and picking curves for the swept-surface commands (declared in
// curve_pick.h).
#include "commands/model3d/curve_pick.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "commands/editcore/picking.h"
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/model3d/chains.h"
#include "commands/model3d/model3d.h"
#include "graphics/view/pick.h"
#include "graphics/view/projection.h"
#include "graphics/view/view.h"
#include "model/db/buffer.h"
#include "model/db/solid.h"
#include "model/db/wire.h"
#include "model/geom/vertex_lists.h"
#include "model/math/result.h"

namespace {

// Hits under one point are few; the bound only guards a walk that never ends.
constexpr int kMaxHits = 1 << 16;

bool holds_directly(const object* obj, bool meshes) {
    const auto* c = rtc_cast<CONTAINER>(obj);
    if (!c || !c->children) return false;
    const ZDLIST* first = c->children;
    for (const ZDLIST* p = first; p; p = p->next == first ? nullptr : p->next) {
        if (meshes ? rtc_is_a(p, &MESH3::rtc_class)
                   : (rtc_is_a(p, &WIRE::rtc_class) || rtc_is_a(p, &CONTAINER::rtc_class)))
            return true;
    }
    return false;
}

double dist(const Vec3& a, const Vec3& b) {
    return std::sqrt(double(a.x - b.x) * (a.x - b.x) + double(a.y - b.y) * (a.y - b.y) +
                     double(a.z - b.z) * (a.z - b.z));
}

double dist2d(const Vec3& a, const Vec3& b) { return std::hypot(double(a.x) - b.x, double(a.y) - b.y); }

// Length along the chain from vertex i to vertex j (i <= j).
double length_between(const std::vector<Vec3>& c, size_t i, size_t j) {
    double s = 0;
    for (size_t k = i; k < j && k + 1 < c.size(); ++k) s += dist(c[k], c[k + 1]);
    return s;
}

void reverse(std::vector<Vec3>* c) { std::reverse(c->begin(), c->end()); }

}  // namespace

bool select_filter_accepts(int mode, const object* obj) {
    if (!obj) return false;
    switch (mode) {
        case kSelectMeshes:
            return rtc_is_a(obj, &MESH3::rtc_class) || holds_directly(obj, true);
        case kSelectLineWork:
            return rtc_is_a(obj, &XPLINE::rtc_class) || rtc_is_a(obj, &TEXT2::rtc_class) ||
                   rtc_is_a(obj, &HATCH::rtc_class) || rtc_is_a(obj, &ELARC::rtc_class) || holds_directly(obj, false);
        default:
            return true;
    }
}

int select_for_command(int mode, VIEW** view_ref, buffer** buf, InputOptionsFn options, uint32_t prompt,
                       uint32_t help) {
    *buf = nullptr;
    VIEW* view = *view_ref;
    if (!view) return kStepCancelled;
    if (view->selection && buffer_has_objects(view->selection)) {
        *buf = view->selection;
        view_hold_selection(*buf);
        return 0;
    }
    buffer* picked = buffer_new();
    if (!picked) return kOutOfMemory;
    // Exact clicks: no object snaps, no grid steps; put back on this VIEW however it ends.
    MODEL* drawing = view_drawing(view);
    const int32_t grid = view->grid_on, flags = view->input_flags, step = view->step_select;
    view->grid_on = 0;
    view->input_flags = 1;
    view->step_select = 0;
    int code = 0;
    while (!buffer_has_objects(picked)) {
        Vec3 at;
        code = input_point(view_ref, prompt, cursor_draw_snap_box, options, &at, help);
        if (code != 0) break;
        if (!*view_ref) {
            code = kStepCancelled;
            break;
        }
        object* prev = nullptr;
        for (int n = 0; n < kMaxHits; ++n) {
            object* hit = pick_object_at(*view_ref, at, nullptr, prev);
            if (!hit) break;
            if (select_filter_accepts(mode, hit) && (code = buffer_add(picked, hit)) != 0) break;
            prev = hit;
        }
        if (code != 0) break;
    }
    if (input_view_attached(drawing, view)) {
        view->grid_on = grid;
        view->input_flags = flags;
        view->step_select = step;
    }
    if (code != 0) {
        buffer_free(&picked);
        return code;
    }
    input_report_picked(picked);
    *buf = picked;
    return 0;
}

void select_done(VIEW* view, buffer* buf) { input_finish(view, buf); }

object* wire_under_point(VIEW* view, const Vec3& point, const object* skip) {
    object* prev = nullptr;
    for (int n = 0; n < kMaxHits; ++n) {
        object* hit = pick_object_at(view, point, nullptr, prev);
        if (!hit) return nullptr;
        if (hit != skip && rtc_is_a(hit, &WIRE::rtc_class) && !rtc_is_a(hit, &TEXT2::rtc_class)) return hit;
        prev = hit;
    }
    return nullptr;
}

bool curve_is_closed(const object* obj) {
    if (const auto* arc = rtc_cast<ELARC>(obj)) return (arc->flags & kElarcWholeEllipse) != 0;
    if (!rtc_is_a(obj, &XPLINE::rtc_class)) return false;
    const PointNode* head = wire_point_list(obj);
    if (!head) return false;
    const PointNode* last = head;
    while (last->next && last->next != head) last = last->next;
    if (last->next == head) return true;  // a ring
    return dist({head->x, head->y, head->z}, {last->x, last->y, last->z}) < 0.001;
}

int chain_segment_at(const ViewProjection& vp, const std::vector<Vec3>& chain, const Vec3& point) {
    OwnedChain c;
    if (chain.size() < 2 || c.fill(chain) != 0) return -1;
    PointNode* hit = nullptr;
    if (!pick_path_segment(&vp, point, c.head, &hit, 0.0) || !hit) return -1;
    int i = 0;
    for (const PointNode* p = c.head; p && p != hit; p = p->next) ++i;
    return i;
}

bool chain_longer_before(const std::vector<Vec3>& chain, int segment) {
    if (segment < 0 || chain.empty()) return false;
    const size_t s = static_cast<size_t>(segment);
    return length_between(chain, 0, s) > length_between(chain, s, chain.size() - 1);
}

int curve_start_at_pick(const ViewProjection& vp, std::vector<Vec3>* chain, const Vec3& pick, bool closed) {
    auto& c = *chain;
    if (c.empty()) return 0;
    // A closed chain is handled as a ring: its repeated last point goes.
    if (closed && c.size() > 1 && dist(c.front(), c.back()) < 0.001) c.pop_back();
    Vec3 q;
    world_to_view(&vp, pick, &q);
    std::vector<Vec3> v(c.size());
    for (size_t i = 0; i < c.size(); ++i) world_to_view(&vp, c[i], &v[i]);
    size_t best = 0;
    for (size_t i = 1; i < v.size(); ++i)
        if (dist(v[i], q) < dist(v[best], q)) best = i;
    if (best + 1 < v.size() && dist2d(v[best + 1], q) < dist2d(v[best], q)) ++best;
    if (best + 1 == c.size() && c.size() > 1) reverse(&c);
    else if (best > 0 && length_between(c, 0, best) > length_between(c, best, c.size() - 1)) reverse(&c);
    if (!closed) return 1;
    // The ring starts and ends at the first vertex of the picked segment.
    std::vector<Vec3> ring = c;
    ring.push_back(c.front());
    const int seg = chain_segment_at(vp, ring, pick);
    const size_t start = seg > 0 && static_cast<size_t>(seg) < c.size() ? static_cast<size_t>(seg) : 0;
    std::rotate(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(start), c.end());
    c.push_back(c.front());
    return 1;
}

int curve_ask_direction(VIEW** view_ref, const std::vector<Vec3>& chain, InputOptionsFn options, uint32_t help) {
    for (;;) {
        Vec3 at;
        const int code = input_point(view_ref, kPromptPathDirection, cursor_draw_snap_box, options, &at, help);
        // A cancel must reach the command, which then leaves at once.
        if (code == kStepCancelled || (code == 0 && !*view_ref)) return kStepCancelled;
        if (code != 0) return 0;
        const int seg = chain_segment_at((*view_ref)->projection, chain, at);
        if (seg >= 0) return chain_longer_before(chain, seg) ? 1 : 0;
    }
}

int curve_pick(VIEW** view_ref, uint32_t prompt, CurveKind kind, const object* skip, InputOptionsFn options,
               uint32_t help, std::vector<Vec3>* chain, object** obj) {
    for (;;) {
        Vec3 at;
        int code = input_point(view_ref, prompt, cursor_draw_snap_box, options, &at, help);
        if (code == 0 && !*view_ref) code = kStepCancelled;
        if (code != 0) return code;
        object* hit = wire_under_point(*view_ref, at, skip);
        if (!hit) continue;
        const PointNode* list = wire_point_list(hit);
        if (kind == CurveKind::kPathCurve) {
            if (!rtc_is_a(hit, &XPLINE::rtc_class) && !rtc_is_a(hit, &ELARC::rtc_class)) continue;
            if (!list) continue;
        }
        if (!list) return kCurveNoPoints;
        try {
            *chain = chain_to_vector(list);
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
        const bool closed = curve_is_closed(hit);
        curve_start_at_pick((*view_ref)->projection, chain, at, closed);
        if (closed) {
            const int r = curve_ask_direction(view_ref, *chain, options, help);
            if (r == kStepCancelled) return r;
            if (r == 1) std::reverse(chain->begin(), chain->end());
        }
        *obj = hit;
        return 0;
    }
}
