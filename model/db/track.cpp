// Keyframe track records: making, linking, freeing (with the redirect of object keys
// that refer to a dying object) and duplicating them.
#include "model/db/track.h"

#include <atomic>
#include <cstring>
#include <new>

#include "model/db/find.h"
#include "model/db/tree.h"
#include "model/db/zobj.h"
#include "model/math/matrix.h"
#include "model/math/result.h"

namespace {
std::atomic<long> g_live_tracks{0};
}

long track_live_count() { return g_live_tracks.load(std::memory_order_relaxed); }

KeyframeTrack* track_new(const char* name, object* owner) {
    auto* t = new (std::nothrow) KeyframeTrack();
    if (!t) return nullptr;
    if (name) {
        const size_t n = std::strlen(name);
        t->name = new (std::nothrow) char[n + 1];
        if (!t->name) {
            delete t;
            return nullptr;
        }
        std::memcpy(t->name, name, n + 1);
    }
    t->owner = owner;
    t->id = -1;
    t->cached_frame = -1;
    xform_translate(&t->base, 0, 0, 0);
    t->evaluated = t->base;
    t->counted = true;
    g_live_tracks.fetch_add(1, std::memory_order_relaxed);
    return t;
}

// 1 when `track` is `start` or one of its ancestors, or when the chain of parents from
// `start` runs in a circle (links edited by hand): either way a link below `start`
// must be refused. Floyd's two pointers keep a circular chain from looping.
static bool in_parent_chain(const KeyframeTrack* start, const KeyframeTrack* track) {
    const KeyframeTrack* slow = start;
    const KeyframeTrack* fast = start;
    while (fast) {
        if (fast == track) return true;
        fast = fast->parent;
        if (!fast) break;
        if (fast == track) return true;
        fast = fast->parent;
        slow = slow->parent;
        if (fast && fast == slow) return true;
    }
    return false;
}

int track_link_child(KeyframeTrack* parent, KeyframeTrack* child) {
    if (!parent || !child) return kBadArgument;
    if (in_parent_chain(parent, child)) return kBadArgument;
    track_unlink(child);
    if (!parent->children) {
        child->next = child->prev = child;
        parent->children = child;
    } else {
        KeyframeTrack* h = parent->children;
        child->next = h;
        child->prev = h->prev;
        h->prev->next = child;
        h->prev = child;
    }
    child->parent = parent;
    child->cached_frame = -1;
    return 0;
}

void track_unlink(KeyframeTrack* track) {
    if (!track || !track->parent) return;
    KeyframeTrack* p = track->parent;
    if (p->children == track) {
        p->children = track->next;
        if (p->children == track) p->children = nullptr;
    }
    if (track->next) {
        track->prev->next = track->next;
        track->next->prev = track->prev;
    }
    track->next = track->prev = nullptr;
    track->parent = nullptr;
    track->cached_frame = -1;
}

void track_invalidate(KeyframeTrack* track) {
    if (track) track->cached_frame = -1;
}

void track_delete(KeyframeTrack* track) {
    if (!track) return;
    if (track->counted) g_live_tracks.fetch_sub(1, std::memory_order_relaxed);
    delete[] track->name;
    delete track;
}

int track_redirect_links(object* holder, const object* dying) {
    if (!holder || !dying) return 0;
    int changed = 0;
    for (KeyframeTrack* t = holder->tracks; t; t = t->next_track) {
        int here = 0;
        for (ObjectKey& k : t->objects.keys) {
            if (k.target == dying) {
                k.target = holder;
                ++here;
            }
        }
        if (t->blend_a == dying) {
            t->blend_a = nullptr;
            ++here;
        }
        if (t->blend_b == dying) {
            t->blend_b = nullptr;
            ++here;
        }
        if (here) t->cached_frame = -1;
        changed += here;
    }
    return changed;
}

// Walks everything below a container (groups nest as deep as a file may hold, so in
// pre-order and without recursion) calling track_redirect_links. `dying` is skipped
// without looking into it: it is part-way through its destructor.
static int redirect_children(CONTAINER* c, const ZOBJ* dying, const object* dying_obj) {
    int changed = 0;
    ZOBJ* z = tree_next(c, c);
    while (z) {
        if (z == dying) {
            z = tree_next_sibling(z, c);
            continue;
        }
        if (auto* o = rtc_cast<object>(z)) changed += track_redirect_links(o, dying_obj);
        z = tree_next(z, c);
    }
    return changed;
}

int track_redirect_model(MODEL* model, const object* dying) {
    if (!model || !dying) return 0;
    const ZOBJ* dying_z = dying;
    if (static_cast<const ZOBJ*>(model) == dying_z) return 0;
    return track_redirect_links(model, dying) + redirect_children(model, dying_z, dying);
}

// Unlinks every child of the track. The children are taken out of the ring one by
// one from the ring itself, so a child whose parent link disagrees with the ring
// (edited by hand) cannot keep the loop going.
static void unlink_children(KeyframeTrack* t) {
    KeyframeTrack* c = t->children;
    t->children = nullptr;
    if (!c) return;
    c->prev->next = nullptr;  // open the ring
    while (c) {
        KeyframeTrack* next = c->next;
        c->next = c->prev = nullptr;
        if (c->parent == t) c->parent = nullptr;
        c->cached_frame = -1;
        c = next;
    }
}

void track_list_free(object* obj) {
    if (!obj) return;
    // Unlink first (children may belong to other tracks of this list or of other
    // objects), then redirect the keys that name the object, then free. The redirect
    // runs for an object without tracks too: keys of other objects may name it.
    long own = 0;
    for (KeyframeTrack* t = obj->tracks; t; t = t->next_track) {
        unlink_children(t);
        track_unlink(t);
        if (t->counted) ++own;
    }
    // A dying MODEL has nothing above it to redirect (and is no longer a MODEL here).
    if (!rtc_is<MODEL>(obj) && track_live_count() > own) {
        track_redirect_model(obj_model(obj), obj);
    }
    while (obj->tracks) {
        KeyframeTrack* t = obj->tracks;
        obj->tracks = t->next_track;
        track_delete(t);
    }
}

namespace {
template <class K>
int32_t last_frame(const KeyArray<K>& a, int32_t best) {
    for (const K& k : a.keys) best = k.frame > best ? k.frame : best;
    return best;
}
}  // namespace

int32_t track_frame_count(const KeyframeTrack* t) {
    if (!t) return 0;
    int32_t last = -1;
    last = last_frame(t->position, last);
    last = last_frame(t->rotation, last);
    last = last_frame(t->scale, last);
    last = last_frame(t->objects, last);
    if (last < 0) return 0;
    return last == INT32_MAX ? INT32_MAX : last + 1;
}

int32_t object_frame_count(const object* obj) {
    int32_t n = 0;
    for (const KeyframeTrack* t = obj ? obj->tracks : nullptr; t; t = t->next_track) {
        const int32_t c = track_frame_count(t);
        if (c > n) n = c;
    }
    return n;
}

KeyframeTrack* track_duplicate(const KeyframeTrack* src, object* owner) {
    KeyframeTrack* t = track_new(src->name, owner);
    if (!t) return nullptr;
    try {
        t->base = src->base;
        t->evaluated = src->evaluated;
        t->word1 = src->word1;
        t->position = src->position;
        std::memcpy(t->pivot, src->pivot, sizeof t->pivot);
        t->rotation = src->rotation;
        t->scale = src->scale;
        t->objects = src->objects;
        t->blend = src->blend;
        t->blend_a = src->blend_a;
        t->blend_b = src->blend_b;
        t->word2 = src->word2;
        t->id = src->id;
    } catch (const std::bad_alloc&) {
        track_delete(t);
        return nullptr;
    }
    t->cached_frame = -1;
    return t;
}

int track_list_copy(const object* src, object* dst) {
    if (!src || !dst) return 0;
    KeyframeTrack* head = nullptr;
    KeyframeTrack** tail = &head;
    for (const KeyframeTrack* s = src->tracks; s; s = s->next_track) {
        KeyframeTrack* t = track_duplicate(s, dst);
        if (!t) {
            while (head) {
                KeyframeTrack* n = head->next_track;
                track_delete(head);
                head = n;
            }
            return kOutOfMemory;
        }
        *tail = t;
        tail = &t->next_track;
    }
    // Append after any tracks the destination already had.
    KeyframeTrack** end = &dst->tracks;
    while (*end) end = &(*end)->next_track;
    *end = head;
    return 0;
}
