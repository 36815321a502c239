// Keyframe tracks: the animation records that a drawable object carries. This file
// holds the record and its lifetime (make, link, free, duplicate); evaluation at a
// frame lives beside it.
#pragma once

#include <cstdint>
#include <vector>

#include "model/math/types.h"

class object;

// Key flag bit: frames beyond the last key wrap around.
inline constexpr int32_t kKeyRepeat = 2;

struct PositionKey {  // also the scale key
    int32_t frame;
    float params[5];  // tension, two shape parameters, two ease values
    float value[3];
};

struct RotationKey {
    int32_t frame;
    float params[5];
    float angle;  // radians
    float axis[3];
    Transform accumulated;  // product of the rotations of all keys up to this one
};

struct ObjectKey {
    int32_t frame;
    float params[5];
    object* target;  // the object to blend towards (not owned)
};

template <class K>
struct KeyArray {
    int32_t flags = 0;
    std::vector<K> keys;
};

struct KeyframeTrack {
    KeyframeTrack* scratch = nullptr;  // used while duplicating a tree of tracks
    KeyframeTrack* next = nullptr;     // ring of the parent's children
    KeyframeTrack* prev = nullptr;
    object* owner = nullptr;
    KeyframeTrack* parent = nullptr;
    KeyframeTrack* children = nullptr;  // ring head
    KeyframeTrack* next_track = nullptr;  // the owner's list of tracks
    char* name = nullptr;  // owned heap text or null; "target" drives a camera's or spot's target
    int32_t id = -1;
    Transform base;
    Transform evaluated;
    int32_t word1 = 0;
    int32_t cached_frame = -1;
    KeyArray<PositionKey> position;
    float pivot[3] = {0, 0, 0};
    KeyArray<RotationKey> rotation;
    KeyArray<PositionKey> scale;
    KeyArray<ObjectKey> objects;
    double blend = 0.0;
    object* blend_a = nullptr;
    object* blend_b = nullptr;
    int32_t word2 = 0;
};

// A zeroed track with a copy of the name (null allowed), the owner set, id -1,
// cached frame -1 and identity base transform; null when out of memory.
KeyframeTrack* track_new(const char* name, object* owner);
// Puts the child into the parent's ring of children and sets its parent.
void track_link_child(KeyframeTrack* parent, KeyframeTrack* child);
// Takes a track out of its parent's ring and clears its parent.
void track_unlink(KeyframeTrack* track);
// Frees a single track record (name, keys and the record); the caller unlinks it.
void track_delete(KeyframeTrack* track);
// Frees every track of the object and clears its list.
void track_list_free(object* obj);
// Duplicates every track of `src` onto `dst` (appended in the source order): names
// and key arrays copied, links reset, owner `dst`, cache -1. 0, or 8 with nothing added.
int track_list_copy(const object* src, object* dst);
