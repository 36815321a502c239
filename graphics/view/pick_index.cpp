// The pick device's per-thread box indexes of containers' children.
#include "graphics/view/pick_index.h"

#include <cmath>
#include <cstring>
#include <new>
#include <unordered_map>

#include "model/db/tree.h"

namespace {

struct IndexCache {
    uint64_t epoch = 0;
    std::unordered_map<const CONTAINER*, std::shared_ptr<const PickBoxIndex>> by_container;
};

IndexCache& cache() {
    thread_local IndexCache c;
    return c;
}

bool same_projection(const PickBoxIndex& idx, const ViewProjection* vp) {
    return idx.mode == vp->mode && std::memcmp(&idx.view, &vp->view, sizeof idx.view) == 0;
}

std::shared_ptr<const PickBoxIndex> build(const CONTAINER* c, const ViewProjection* vp) {
    auto idx = std::make_shared<PickBoxIndex>();
    idx->view = vp->view;
    idx->mode = vp->mode;
    if (!c->children) return idx;
    const ZDLIST* r = c->children;
    do {
        if (const auto* o = rtc_cast<object>(r)) {
            float b[4];
            if (rtc_is<CONTAINER>(o)) {
                b[0] = b[1] = -INFINITY;
                b[2] = b[3] = INFINITY;
            } else {
                BBox p;
                view_project_bbox(vp, o->box, &p);
                if (bbox_is_empty(p)) {
                    b[0] = b[1] = INFINITY;
                    b[2] = b[3] = -INFINITY;
                } else {
                    b[0] = p.min.x;
                    b[1] = p.min.y;
                    b[2] = p.max.x;
                    b[3] = p.max.y;
                }
            }
            idx->boxes.insert(idx->boxes.end(), b, b + 4);
            idx->children.push_back(const_cast<ZDLIST*>(r));
        }
        r = r->next;
    } while (r != c->children);
    return idx;
}

}  // namespace

std::shared_ptr<const PickBoxIndex> pick_box_index(const CONTAINER* container,
                                                   const ViewProjection* vp) {
    if (!container || !vp || vp->mode == kProjPerspective) return nullptr;
    try {
        IndexCache& c = cache();
        const uint64_t now = tree_epoch();
        if (c.epoch != now) {
            c.by_container.clear();
            c.epoch = now;
        }
        auto& slot = c.by_container[container];
        if (!slot || !same_projection(*slot, vp)) slot = build(container, vp);
        return slot;
    } catch (const std::bad_alloc&) {
        pick_box_index_release();
        return nullptr;
    }
}

void pick_box_index_release() {
    IndexCache& c = cache();
    c.by_container.clear();
    c.epoch = 0;
}
