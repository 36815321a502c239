// The pick device's per-thread box indexes of containers' children.
#include "graphics/view/pick_index.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "graphics/view/pick.h"
#include "model/db/tree.h"

namespace {

// Indexes of this thread by the address of their container's ring head, so the
// journal's changes (which name rings) find them.
struct IndexCache {
    uint64_t epoch = 0;
    std::unordered_map<ZDLIST* const*, std::shared_ptr<PickBoxIndex>> by_ring;
};

// A journal longer than this is not worth patching from: every index is dropped.
constexpr size_t kMaxPatch = 1024;

IndexCache& cache() {
    thread_local IndexCache c;
    return c;
}

bool same_projection(const PickBoxIndex& idx, const ViewProjection* vp) {
    return idx.mode == vp->mode && std::memcmp(&idx.view, &vp->view, sizeof idx.view) == 0;
}

void child_box(const ViewProjection* vp, const object* o, float b[4]) {
    // Cameras draw beyond their own box: the walk culls them itself.
    if (rtc_is<CONTAINER>(o) || pick_draws_beyond_box(o)) {
        b[0] = b[1] = -INFINITY;
        b[2] = b[3] = INFINITY;
        return;
    }
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

std::shared_ptr<PickBoxIndex> build(const CONTAINER* c, const ViewProjection* vp) {
    auto idx = std::make_shared<PickBoxIndex>();
    idx->view = vp->view;
    idx->mode = vp->mode;
    if (!c->children) return idx;
    const ZDLIST* r = c->children;
    do {
        if (const auto* o = rtc_cast<object>(r)) {
            float b[4];
            child_box(vp, o, b);
            idx->boxes.insert(idx->boxes.end(), b, b + 4);
            idx->children.push_back(const_cast<ZDLIST*>(r));
        }
        r = r->next;
    } while (r != c->children);
    return idx;
}

// The position of `item` among the index's children, searched from the end (recent
// objects are the ones edited most); the count when it is not there.
size_t find_child(const PickBoxIndex& idx, const ZDLIST* item) {
    for (size_t i = idx.children.size(); i-- > 0;)
        if (idx.children[i] == item) return i;
    return idx.children.size();
}

// Brings the indexes up to the journal's changes. An index in use by a walk further
// up the stack is copied before it is changed; one that cannot be patched, or whose
// patching would cost more than building it again (many old children removed or
// moved), is dropped (built again when asked for).
void patch(IndexCache& c, const std::vector<TreeChange>& changes) {
    constexpr float kBlank[4] = {INFINITY, INFINITY, -INFINITY, -INFINITY};
    std::vector<std::pair<ZDLIST* const*, const ZDLIST*>> reread;
    std::unordered_map<ZDLIST* const*, size_t> spent;
    auto writable = [&c](ZDLIST* const* ring) -> PickBoxIndex* {
        auto it = c.by_ring.find(ring);
        if (it == c.by_ring.end()) return nullptr;
        if (it->second.use_count() > 1) it->second = std::make_shared<PickBoxIndex>(*it->second);
        return it->second.get();
    };
    // The child's place, counting the entries searched and (when `shift`) moved after
    // it; kNone when it is not there, or when the index was dropped for the cost (then
    // `idx` is gone).
    constexpr size_t kNone = SIZE_MAX;
    auto locate = [&](ZDLIST* const* ring, const PickBoxIndex& idx, const ZDLIST* item, bool shift) {
        const size_t n = idx.children.size(), i = find_child(idx, item);
        const size_t searched = i == n ? n : n - i;
        const bool affordable = tree_patch_spend(&spent[ring], searched * (shift && i < n ? 2 : 1), n);
        if (i == n) return kNone;
        if (affordable) return i;
        c.by_ring.erase(ring);
        return kNone;
    };
    for (const TreeChange& ch : changes) {
        if (!ch.ring) {
            if (ch.kind == TreeChangeKind::other) {
                c.by_ring.clear();
                return;
            }
            continue;
        }
        if (!c.by_ring.count(ch.ring)) continue;
        if (ch.kind == TreeChangeKind::box) {
            reread.emplace_back(ch.ring, ch.item);
            continue;
        }
        PickBoxIndex* idx = writable(ch.ring);
        bool dropped = false;
        switch (ch.kind) {
            case TreeChangeKind::insert_tail:
                idx->boxes.insert(idx->boxes.end(), kBlank, kBlank + 4);
                idx->children.push_back(const_cast<ZDLIST*>(ch.item));
                reread.emplace_back(ch.ring, ch.item);
                break;
            case TreeChangeKind::remove: {
                const size_t i = locate(ch.ring, *idx, ch.item, true);
                if (i == kNone) {
                    dropped = true;
                    break;
                }
                idx->children.erase(idx->children.begin() + i);
                idx->boxes.erase(idx->boxes.begin() + 4 * i, idx->boxes.begin() + 4 * i + 4);
                break;
            }
            case TreeChangeKind::move: {
                const size_t i = locate(ch.ring, *idx, ch.before, true);
                if (i == kNone) {
                    dropped = true;
                    break;
                }
                idx->children.insert(idx->children.begin() + i, const_cast<ZDLIST*>(ch.item));
                idx->boxes.insert(idx->boxes.begin() + 4 * i, kBlank, kBlank + 4);
                reread.emplace_back(ch.ring, ch.item);
                break;
            }
            default:
                dropped = true;
                break;
        }
        if (dropped) c.by_ring.erase(ch.ring);
    }
    // Boxes are read once every change is in: by then each child still in its ring
    // is alive, and one that left is not found.
    for (const auto& [ring, item] : reread) {
        auto it = c.by_ring.find(ring);
        if (it == c.by_ring.end()) continue;
        const size_t i = locate(ring, *it->second, item, false);
        if (i == kNone) continue;
        PickBoxIndex* idx = writable(ring);
        const auto* o = rtc_cast<object>(idx->children[i]);
        if (!o) {
            idx->children.erase(idx->children.begin() + i);
            idx->boxes.erase(idx->boxes.begin() + 4 * i, idx->boxes.begin() + 4 * i + 4);
            continue;
        }
        // A parallel projection's boxes depend on its matrix alone.
        ViewProjection vp;
        vp.view = idx->view;
        vp.mode = idx->mode;
        child_box(&vp, o, &idx->boxes[4 * i]);
    }
}

}  // namespace

std::shared_ptr<const PickBoxIndex> pick_box_index(const CONTAINER* container,
                                                   const ViewProjection* vp) {
    if (!container || !vp || vp->mode == kProjPerspective) return nullptr;
    try {
        IndexCache& c = cache();
        const uint64_t now = tree_epoch();
        if (c.epoch != now) {
            std::vector<TreeChange> changes;
            if (c.by_ring.empty() || !tree_changes_since(c.epoch, kMaxPatch, &changes))
                c.by_ring.clear();
            else
                patch(c, changes);
            c.epoch = now;
        }
        auto& slot = c.by_ring[&container->children];
        if (!slot || !same_projection(*slot, vp)) slot = build(container, vp);
        return slot;
    } catch (const std::bad_alloc&) {
        pick_box_index_release();
        return nullptr;
    }
}

void pick_box_index_release() {
    IndexCache& c = cache();
    c.by_ring.clear();
    c.epoch = 0;
}
