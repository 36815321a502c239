// Bounding-slab hierarchy and priority queue of the ray tracer.
#include "render/raytrace/rt_slabs.h"

#include <algorithm>
#include <cmath>

#include "render/raytrace/rt_error.h"
#include "render/raytrace/rt_vec.h"

namespace {

const RtMethods kNodeMethods = {nullptr, nullptr, nullptr, nullptr};

double key(const RtObject* o, int axis) { return rt_comp(o->box_min, axis) + rt_comp(o->box_max, axis); }

int best_axis(const std::vector<RtObject*>& a, size_t lo, size_t hi) {
    Vec3d mn = rt_v(1e30, 1e30, 1e30), mx = rt_v(-1e30, -1e30, -1e30);
    for (size_t i = lo; i < hi; ++i) {
        mn = rt_v(std::fmin(mn.x, a[i]->box_min.x), std::fmin(mn.y, a[i]->box_min.y), std::fmin(mn.z, a[i]->box_min.z));
        mx = rt_v(std::fmax(mx.x, a[i]->box_max.x), std::fmax(mx.y, a[i]->box_max.y), std::fmax(mx.z, a[i]->box_max.z));
    }
    double dx = mx.x - mn.x, dy = mx.y - mn.y, dz = mx.z - mn.z;
    if (dy <= dx) return dz <= dx ? 0 : 2;
    return dz <= dy ? 1 : 2;
}

// Sorts [lo, hi) along its best axis and makes nodes of at most four; true when the
// range made a single node (appended to a).
bool build_level(std::vector<RtObject*>& a, size_t lo, size_t hi, RtArena& arena, RtObject** root) {
    int axis = best_axis(a, lo, hi);
    std::stable_sort(a.begin() + static_cast<long>(lo), a.begin() + static_cast<long>(hi),
                     [axis](const RtObject* x, const RtObject* y) { return key(x, axis) < key(y, axis); });
    if (hi - lo > 4) {
        size_t mid = (lo + hi) / 2;
        build_level(a, lo, mid, arena, root);
        build_level(a, mid, hi, arena, root);
        return false;
    }
    auto* node = arena.make<RtSlabNode>();
    node->methods = &kNodeMethods;
    node->type = kRtSlabNode;
    node->flags = kRtCastsShadow;
    node->next = nullptr;
    node->material = nullptr;
    node->count = static_cast<int>(hi - lo);
    Vec3d mn = rt_v(1e30, 1e30, 1e30), mx = rt_v(-1e30, -1e30, -1e30);
    for (size_t i = lo; i < hi; ++i) {
        RtObject* c = a[i];
        node->children[i - lo] = c;
        mn = rt_v(std::fmin(mn.x, c->box_min.x), std::fmin(mn.y, c->box_min.y), std::fmin(mn.z, c->box_min.z));
        mx = rt_v(std::fmax(mx.x, c->box_max.x), std::fmax(mx.y, c->box_max.y), std::fmax(mx.z, c->box_max.z));
    }
    node->box_min = mn;
    node->box_max = mx;
    a.push_back(node);
    *root = node;
    return true;
}

}  // namespace

void RtQueue::push(double depth, const RtObject* o) {
    heap_.push_back({depth, o});
    size_t i = heap_.size() - 1;
    while (i > 0) {
        size_t p = (i - 1) / 2;
        if (!(heap_[i].depth < heap_[p].depth)) break;
        std::swap(heap_[i], heap_[p]);
        i = p;
    }
}

RtQueueEntry RtQueue::pop() {
    if (heap_.empty()) rt_error(kRtErrorGeneral, "priority queue is empty");
    RtQueueEntry top = heap_[0];
    heap_[0] = heap_.back();
    heap_.pop_back();
    size_t n = heap_.size(), i = 0;
    for (;;) {
        size_t l = 2 * i + 1, r = l + 1;
        if (l >= n) break;
        size_t c = (r < n && heap_[r].depth <= heap_[l].depth) ? r : l;
        if (!(heap_[c].depth < heap_[i].depth)) break;
        std::swap(heap_[c], heap_[i]);
        i = c;
    }
    return top;
}

RtSlabs rt_build_slabs(RtObject* list, RtArena& arena) {
    std::vector<RtObject*> refs;
    for (RtObject* o = list; o; o = o->next) {
        if (o->type & kRtLight) {
            if (auto* shape = static_cast<RtLight*>(o)->shape) refs.push_back(shape);
        } else {
            refs.push_back(o);
        }
    }
    RtSlabs s;
    s.placed = static_cast<int>(refs.size());
    if (refs.empty()) return s;
    refs.reserve(refs.size() * 2 + 1);
    size_t lo = 0, hi = refs.size();
    for (;;) {
        RtObject* root = nullptr;
        if (build_level(refs, lo, hi, arena, &root)) {
            s.root = root;
            break;
        }
        lo = hi;
        hi = refs.size();
    }
    s.on = s.placed >= kRtSlabThreshold;
    return s;
}

void rt_slab_check(RtQueue& queue, const RtRay& ray, const RtObject* o) {
    double tmin = -1e30, tmax = 1e30;
    for (int axis = 0; axis < 3; ++axis) {
        double d = rt_comp(ray.dir, axis), org = rt_comp(ray.origin, axis);
        double lo = rt_comp(o->box_min, axis), hi = rt_comp(o->box_max, axis);
        if (d == 0.0) {
            if (org < lo || org > hi) return;
            continue;
        }
        double inv = 1.0 / d;
        double tn = ((d > 0 ? lo : hi) - org) * inv;
        double tf = ((d > 0 ? hi : lo) - org) * inv;
        if (tf < 1e-10) return;
        tmin = std::fmax(tmin, tn);
        tmax = std::fmin(tmax, tf);
        if (tmin > tmax) return;
    }
    queue.push(tmin, o);
}

bool rt_slab_intersect(const RtObject* root, const RtRay& ray, RtHit* best, const RtObject** object,
                       RtQueue& queue, RtArena& arena) {
    queue.clear();
    bool found = false;
    if (root) rt_slab_check(queue, ray, root);
    while (!queue.empty()) {
        RtQueueEntry e = queue.pop();
        if (best->depth < e.depth) break;
        if (e.object->type & kRtSlabNode) {
            ++queue.opened;
            auto* n = static_cast<const RtSlabNode*>(e.object);
            for (int k = 0; k < n->count; ++k) rt_slab_check(queue, ray, n->children[k]);
            continue;
        }
        RtHit h;
        if (rt_nearest_hit(&h, e.object, ray, arena) && h.depth < best->depth) {
            *best = h;
            *object = e.object;
            found = true;
        }
    }
    queue.clear();
    return found;
}

void rt_slab_collect(const RtObject* root, const RtRay& ray, double max_depth, std::vector<RtObjectHit>* out,
                     RtQueue& queue, RtArena& arena, RtHitEndsFn ends, void* context) {
    queue.clear();
    if (root) rt_slab_check(queue, ray, root);
    RtHitList* list = arena.hit_list_get();
    while (!queue.empty()) {
        const RtQueueEntry e = queue.pop();
        if (e.depth >= max_depth) break;
        if (e.object->type & kRtSlabNode) {
            auto* n = static_cast<const RtSlabNode*>(e.object);
            for (int k = 0; k < n->count; ++k) rt_slab_check(queue, ray, n->children[k]);
            continue;
        }
        list->count = 0;
        if (!e.object->methods->all_intersections(e.object, ray, list, arena)) continue;
        for (uint32_t i = 0; i < list->count; ++i) {
            if (!(list->hits[i].depth < max_depth)) continue;
            out->push_back({list->hits[i], e.object});
            if (ends && ends(out->back(), context)) max_depth = list->hits[i].depth;
        }
    }
    arena.hit_list_put(list);
    queue.clear();
}
