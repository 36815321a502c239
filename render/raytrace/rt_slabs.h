// Bounding slabs: a four-ary hierarchy of axis-aligned boxes over the scene's top-level
// objects, built once per frame, and the nearest-hit search through it that opens boxes
// in order of entry depth with a priority queue. The queue grows as needed and is reused
// by one thread for all its queries. Nodes live in the frame's RtArena.
#pragma once

#include <vector>

#include "render/raytrace/rt_object.h"

// Hierarchies are used only from this many top-level objects on.
inline constexpr int kRtSlabThreshold = 25;

struct RtSlabNode : RtObject {
    int count;  // 1 to 4
    RtObject* children[4];
};

struct RtQueueEntry {
    double depth;
    const RtObject* object;
};

// Binary min-heap on depth.
class RtQueue {
public:
    void clear() { heap_.clear(); }
    bool empty() const { return heap_.empty(); }
    size_t size() const { return heap_.size(); }
    void push(double depth, const RtObject* o);
    // Raises 153 "priority queue is empty" on an empty queue.
    RtQueueEntry pop();
    // Hierarchy boxes opened by the searches that used this queue (for measurements).
    uint64_t opened = 0;

private:
    std::vector<RtQueueEntry> heap_;
};

struct RtSlabs {
    RtObject* root = nullptr;
    bool on = false;   // at least kRtSlabThreshold objects were placed
    int placed = 0;    // objects in the hierarchy
};

// Builds the hierarchy over the object list (linked by next). A light without a visible
// shape is left out; a light with one contributes its shape.
RtSlabs rt_build_slabs(RtObject* list, RtArena& arena);

// Searches the hierarchy for a hit nearer than best; true when one was found, best and
// *object then updated.
bool rt_slab_intersect(const RtObject* root, const RtRay& ray, RtHit* best, const RtObject** object,
                       RtQueue& queue, RtArena& arena);

// A hit and the top-level object it belongs to.
struct RtObjectHit {
    RtHit hit;
    const RtObject* object;
};

// Appends every hit of the hierarchy's objects along the ray below depth max_depth to
// out (in no particular order). A hit for which ends(hit, context) says true lowers
// max_depth to its own depth (nothing beyond it matters to the caller); ends may be null.
using RtHitEndsFn = bool (*)(const RtObjectHit& hit, void* context);
void rt_slab_collect(const RtObject* root, const RtRay& ray, double max_depth, std::vector<RtObjectHit>* out,
                     RtQueue& queue, RtArena& arena, RtHitEndsFn ends, void* context);

// Pushes the box of o on the queue with its entry depth when the ray meets it.
void rt_slab_check(RtQueue& queue, const RtRay& ray, const RtObject* o);
