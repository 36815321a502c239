// Keyframe track records: making, linking, freeing and duplicating them.
#include "model/db/track.h"

#include <cstring>
#include <new>

#include "model/db/zobj.h"
#include "model/math/matrix.h"

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
    return t;
}

void track_link_child(KeyframeTrack* parent, KeyframeTrack* child) {
    if (!parent || !child) return;
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
}

void track_delete(KeyframeTrack* track) {
    if (!track) return;
    delete[] track->name;
    delete track;
}

void track_list_free(object* obj) {
    if (!obj) return;
    // Unlink first (children may belong to other tracks of this list), then free.
    for (KeyframeTrack* t = obj->tracks; t; t = t->next_track) {
        while (t->children) track_unlink(t->children);
        track_unlink(t);
    }
    while (obj->tracks) {
        KeyframeTrack* t = obj->tracks;
        obj->tracks = t->next_track;
        track_delete(t);
    }
}

static KeyframeTrack* track_duplicate(const KeyframeTrack* src, object* owner) {
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
            return 8;
        }
        *tail = t;
        tail = &t->next_track;
    }
    *tail = dst->tracks;  // keep any tracks the destination already had after the copies
    dst->tracks = head ? head : dst->tracks;
    return 0;
}
