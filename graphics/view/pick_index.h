// The pick device's box index: for one container, the projected x-y boxes of its
// children in ring order, so a point pick scans a flat array and walks only the
// children whose box reaches the pick point instead of every object of a layer.
//
// An index holds for one projection (parallel or plan only) and follows the tree's
// change journal (model/db/tree.h): children joining or leaving the ring and boxes
// changing are patched in; an index is rebuilt when the journal does not tell every
// change since, so it never outlives a change of a ring or of a box. Indexes live per
// thread; a shared pointer keeps one alive while a walk uses it even if a nested pick
// patches (a copy of) it or rebuilds it.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "graphics/view/projection.h"

class CONTAINER;
class ZDLIST;

struct PickBoxIndex {
    // Per child: min x, min y, max x, max y in view coordinates, exactly as the
    // device's box test projects them. Containers take the whole plane (they are
    // always walked); children with an empty box take an empty one.
    std::vector<float> boxes;
    std::vector<ZDLIST*> children;  // objects of the ring, in ring order
    Matrix43 view = kMatIdentity;
    int32_t mode = 0;
};

// The index of `container`'s children under `vp`; null for a perspective projection
// or when memory runs out (the caller then walks the ring).
std::shared_ptr<const PickBoxIndex> pick_box_index(const CONTAINER* container,
                                                   const ViewProjection* vp);
// Frees every index of the calling thread.
void pick_box_index_release();
