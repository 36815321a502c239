// Walking, finding and numbering the objects of a drawing tree: depth-first walks
// in ring order, lookups by file id, track id and name, the file ids assigned
// before a save, and copies of named patterns.
//
// Every walk here is iterative and uses no memory of its own: it goes down through
// a container's child ring and back up through the parent links that
// container_insert keeps, so the depth of a drawing's nesting costs nothing. The
// order is pre-order: an object, then (for a container) its children in ring
// order, then the next member of its ring.
#pragma once

#include <cstdint>
#include <memory>

#include "model/db/zobj.h"

class PATT;
struct KeyframeTrack;

// The object after `node` in a pre-order walk of the tree below `root` (children
// rings only, not the pattern ring); null after the last one. `node` must be `root`
// or lie below it.
ZOBJ* tree_next(const ZOBJ* node, const ZOBJ* root);
// Like tree_next but does not go into the children of `node`.
ZOBJ* tree_next_sibling(const ZOBJ* node, const ZOBJ* root);

// Function called by container_walk for an object. By convention 1 stops the whole
// walk and, for a container visited before its children, 2 skips its children.
using ContainerWalkFn = int (*)(ZOBJ* obj, void* arg);

// For a non-container: fn(obj, arg) once, its result. For a container: unless
// `leaves_only`, fn on the container first, returned at once when 1 or 2; then
// every child is walked the same way in ring order, stopping when a child's walk
// gives 1; the result is the last child's result (0 for an empty container).
// 0 for a null object or function.
int container_walk(ZOBJ* obj, ContainerWalkFn fn, void* arg, bool leaves_only);

// The object itself when its file id is `id`; otherwise the first object of its
// tree (pre-order) with that id; null when none.
ZOBJ* container_find_by_id(ZOBJ* obj, int32_t id);

// Assigns file ids before a save: `root` 0, every object below it 1, 2, 3 ... in
// pre-order. In the same walk every keyframe track of every drawable object gets a
// track id from a second counter: the root's own tracks first, from 0, in the order
// of each object's track list. Returns 1 (0 for a null root).
int model_number_objects(ZOBJ* root);

// The first keyframe track with track id `id` among the tracks of `obj` and of every
// object of its tree (pre-order, each object's list in order); null when none.
KeyframeTrack* track_find_by_id(ZOBJ* obj, int32_t id);

// The first object below `container` (pre-order, the container itself excluded) of
// class `cls` (kind test) whose string `index` (0 name, 1, 2) equals `text` byte for
// byte. Null for another index, a null text or class, or no match.
ZOBJ* model_find_string(const CONTAINER* container, const char* text, int index,
                        const RtcClass* cls);

// In the MODEL that is or holds `obj`: for a pattern class, the first pattern of
// the ring of that class (kind test) named `name`; for any other class, the first
// object of the class in the tree whose name is `name`. Null when none or when
// `obj` is in no model.
ZOBJ* model_find_named(ZOBJ* obj, const char* name, const RtcClass* cls);

// True when `cls` is `base` or derives from it (both classes set up).
bool rtc_class_is(const RtcClass* cls, const RtcClass* base);

// A copy of a pattern made through its class's copy method, in no model (no
// parent); null for a null or non-pattern object and on any failure.
std::unique_ptr<PATT> patt_clone(const ZOBJ* patt);
