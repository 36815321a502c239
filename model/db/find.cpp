// Walks, lookups and numbering over the drawing tree (see find.h for the order).
#include "model/db/find.h"

#include <cstring>

#include "model/db/patt.h"
#include "model/db/track.h"
#include "model/db/tree.h"

ZOBJ* tree_next_sibling(const ZOBJ* node, const ZOBJ* root) {
    // Climb until a member of a ring has a successor before its ring's head.
    while (node && node != root) {
        const CONTAINER* p = node->parent;
        if (!p || !node->next) return nullptr;  // not linked into a tree
        if (node->next != p->children) return static_cast<ZOBJ*>(node->next);
        node = p;
    }
    return nullptr;
}

ZOBJ* tree_next(const ZOBJ* node, const ZOBJ* root) {
    if (!node) return nullptr;
    if (const auto* c = rtc_cast<CONTAINER>(node); c && c->children) return c->first_child();
    return tree_next_sibling(node, root);
}

namespace {

// Where a walk goes on once an object (and anything below it) is done. Taken before
// the object is handed to a walk function, in constant time, so that a function
// which unlinks the object does not cut the walk short; the climb is left for later.
struct Resume {
    Resume(const ZOBJ* node, const ZOBJ* root)
        : parent(node == root ? nullptr : node->parent),
          next(node->next),
          last(!parent || !next || next == parent->children) {}

    ZOBJ* resolve(const ZOBJ* root) const {
        if (!last) return static_cast<ZOBJ*>(next);
        return parent ? tree_next_sibling(parent, root) : nullptr;
    }

    const CONTAINER* parent;
    ZDLIST* next;
    bool last;
};

}  // namespace

int container_walk(ZOBJ* obj, ContainerWalkFn fn, void* arg, bool leaves_only) {
    if (!obj || !fn) return 0;
    // The recursive rule flattened: a 1 anywhere ends every level at once, and each
    // level's result is its last child's, so the walk's result is the last result
    // produced by a leaf, a skipped container (2) or an empty container (0).
    int result = 0;
    ZOBJ* node = obj;
    while (node) {
        const Resume after(node, obj);
        auto* c = rtc_cast<CONTAINER>(node);
        if (!c) {
            result = fn(node, arg);
            if (result == 1) return 1;
            node = after.resolve(obj);
            continue;
        }
        if (!leaves_only) {
            const int r = fn(node, arg);
            if (r == 1) return 1;
            if (r == 2) {
                result = 2;
                node = after.resolve(obj);
                continue;
            }
        }
        if (c->children) {
            node = c->first_child();
        } else {
            result = 0;
            node = after.resolve(obj);
        }
    }
    return result;
}

ZOBJ* container_find_by_id(ZOBJ* obj, int32_t id) {
    for (ZOBJ* z = obj; z; z = tree_next(z, obj)) {
        if (z->file_id == id) return z;
    }
    return nullptr;
}

int model_number_objects(ZOBJ* root) {
    if (!root) return 0;
    int32_t object_id = 0;
    int32_t track_id = 0;
    for (ZOBJ* z = root; z; z = tree_next(z, root)) {
        z->file_id = object_id++;
        if (auto* o = rtc_cast<object>(z)) {
            for (KeyframeTrack* t = o->tracks; t; t = t->next_track) t->id = track_id++;
        }
    }
    return 1;
}

KeyframeTrack* track_find_by_id(ZOBJ* obj, int32_t id) {
    for (ZOBJ* z = obj; z; z = tree_next(z, obj)) {
        if (auto* o = rtc_cast<object>(z)) {
            for (KeyframeTrack* t = o->tracks; t; t = t->next_track) {
                if (t->id == id) return t;
            }
        }
    }
    return nullptr;
}

ZOBJ* model_find_string(const CONTAINER* container, const char* text, int index,
                        const RtcClass* cls) {
    if (!container || !text || !cls || index < 0 || index > 2) return nullptr;
    for (ZOBJ* z = tree_next(container, container); z; z = tree_next(z, container)) {
        if (rtc_is_a(z, cls) && std::strcmp(z->str(index), text) == 0) return z;
    }
    return nullptr;
}

bool rtc_class_is(const RtcClass* cls, const RtcClass* base) {
    if (!cls || !base) return false;
    const int d = base->depth.load(std::memory_order_acquire);
    if (d < 0) return false;
    return cls->depth.load(std::memory_order_acquire) >= d && cls->ancestors[d] == base;
}

ZOBJ* model_find_named(ZOBJ* obj, const char* name, const RtcClass* cls) {
    MODEL* model = obj_model(obj);
    if (!model || !name || !cls) return nullptr;
    if (rtc_class_is(cls, &PATT::rtc_class)) return model_find_patt(model, name, cls);
    return model_find_string(model, name, 0, cls);
}

std::unique_ptr<PATT> patt_clone(const ZOBJ* patt) {
    if (!rtc_is<PATT>(patt)) return nullptr;
    std::unique_ptr<RTC> copy;
    if (rtc_clone(&copy, patt) != 0 || !copy) return nullptr;
    return std::unique_ptr<PATT>(static_cast<PATT*>(copy.release()));
}
