// Keyframe tracks: the animation records that a drawable object carries. This file
// holds the record and its lifetime: making, linking into hierarchies, freeing with
// the redirect of object keys, duplicating, and resetting the frame cache. Evaluation
// at a frame (tracks, cameras, lights) is declared in track_eval.h.
//
// Units: frames are integers (a MODEL's frames run 0 .. frame count - 1); angles are
// radians; positions, pivots and scale factors are in model units and factors.
// Ownership: an object owns its list of tracks (`next_track` chain); a track owns its
// name and its key arrays. Every other pointer in a track (owner, parent, children,
// object keys, blend objects) is a plain reference.
#pragma once

#include <cstdint>
#include <vector>

#include "model/math/types.h"

class object;
class MODEL;

// Key flag bit: frames beyond the last key wrap around (the frame is taken modulo the
// last key's frame; with the last key at frame 0 or before there is no period and
// nothing wraps).
inline constexpr int32_t kKeyRepeat = 2;
// Lock bits of the rotation and scale flags: the parent track's scale factor or
// rotation angle about that axis is not inherited. 128 locks the first axis (x),
// 512 the second (y), 256 the third (z), in both flag words.
inline constexpr int32_t kKeyLockX = 128;
inline constexpr int32_t kKeyLockZ = 256;
inline constexpr int32_t kKeyLockY = 512;
inline constexpr int32_t kKeyLockMask = kKeyLockX | kKeyLockY | kKeyLockZ;

// Parameter indices shared by every key kind.
enum KeyParam { kKeyTension = 0, kKeyShapeA, kKeyShapeB, kKeyEase0, kKeyEase1 };

struct PositionKey {  // also the scale key
    int32_t frame;
    float params[5];  // tension, two shape parameters, two ease values (KeyParam)
    float value[3];
};

struct RotationKey {
    int32_t frame;
    float params[5];
    float angle;  // radians, the rotation of this key alone
    float axis[3];  // need not be unit length; zero means +Z
    Transform accumulated;  // product of the rotations of all keys up to this one
};

struct ObjectKey {
    int32_t frame;
    float params[5];
    object* target;  // the object to blend towards (not owned)
};

template <class K>
struct KeyArray {
    int32_t flags = 0;  // kKeyRepeat, lock bits
    std::vector<K> keys;  // in frame order (equal frames allowed)
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
    Transform evaluated;  // the result for the cached frame (see track_eval)
    int32_t word1 = 0;
    int32_t cached_frame = -1;  // -1: nothing cached; reset by track_invalidate
    KeyArray<PositionKey> position;
    float pivot[3] = {0, 0, 0};
    KeyArray<RotationKey> rotation;
    KeyArray<PositionKey> scale;
    KeyArray<ObjectKey> objects;
    // Object-key state after evaluation: the weight of object A (1 = wholly A), the
    // object blended from and the object blended towards. Zeroed when no object keys.
    double blend = 0.0;
    object* blend_a = nullptr;
    object* blend_b = nullptr;
    int32_t word2 = 0;
    // Cache bookkeeping of the evaluation (not saved): a stamp that changes whenever
    // the evaluated transform changes, and the parent's stamp this result was built on,
    // so that a child notices when its parent was re-evaluated to something else.
    uint64_t eval_stamp = 0;
    uint64_t parent_stamp = 0;
    bool counted = false;  // made by track_new, so counted by track_live_count
};

// A zeroed track with a copy of the name (null allowed), the owner set, id -1,
// cached frame -1 and identity base transform; null when out of memory.
KeyframeTrack* track_new(const char* name, object* owner);
// Puts the child into the parent's ring of children (at the end) and sets its parent,
// taking it out of any ring it was in first. 0; 13 for a null argument or when the
// link would make a track its own ancestor (child equal to parent or above it), or
// when the parent's own chain of parents is already circular; nothing changes then.
[[nodiscard]] int track_link_child(KeyframeTrack* parent, KeyframeTrack* child);
// Takes a track out of its parent's ring and clears its parent. Nothing for a root.
void track_unlink(KeyframeTrack* track);
// The frame count a track needs: its last key frame + 1 over its four key lists, 0
// without keys.
int32_t track_frame_count(const KeyframeTrack* track);
// The frames of an object's own animation: the largest track_frame_count of its
// tracks, 0 without tracks. A camera's is the frame count of its animation, which the
// render job and the render sheet's pages go by (not the drawing's, which counts
// every animated object).
int32_t object_frame_count(const object* obj);
// Forgets the cached frame of the track, so the next track_eval recomputes it (its
// children notice through the parent stamp). Call after any change to keys, pivot,
// base transform or links.
void track_invalidate(KeyframeTrack* track);
// Frees a single track record (name, keys and the record); the caller unlinks it.
void track_delete(KeyframeTrack* track);
// Number of tracks made by track_new and not yet freed, in the whole process. Tests use
// it to check that every track made is freed; track_list_free skips the walk over the
// model when no other track is alive (no object key can then name the dying object).
// Tracks must be made with track_new.
long track_live_count();
// Redirects the object keys of every track of `holder` that refer to `dying` to
// `holder`, and clears blend objects equal to `dying`; the cache of a changed track is
// reset. Returns the number of references changed.
int track_redirect_links(object* holder, const object* dying);
// track_redirect_links over every object of the model's tree (the model itself, its
// children and, below every CONTAINER, theirs), except `dying` itself. Returns the
// number of references changed. The undo code should call it before it frees an
// object that it had taken out of the model.
int track_redirect_model(MODEL* model, const object* dying);
// Frees every track of the object and clears its list: the children of each track
// (which may be tracks of other objects) and the track itself are unlinked, then every
// object key in the object's MODEL that refers to the object is redirected to the
// object holding the key (track_redirect_model), then the records are freed. The
// redirect runs also for an object without tracks (a blend target usually has none);
// an object outside any model redirects nothing.
void track_list_free(object* obj);
// A copy of one track for `owner`: name, keys, pivot, base and evaluated transforms,
// words and object-key state; links reset (no parent, children or next track) and
// nothing cached. Null when out of memory. Free it with track_delete.
KeyframeTrack* track_duplicate(const KeyframeTrack* src, object* owner);
// Duplicates every track of `src` onto `dst`, appended after any tracks `dst` already
// has, in the source order: names and key arrays copied, links reset (no parent, no
// children), owner `dst`, cache -1. 0, or 8 with nothing added.
[[nodiscard]] int track_list_copy(const object* src, object* dst);
