// Bounding slabs: a four-ary hierarchy of axis-aligned boxes over the scene's top-level
// objects, built once per frame (binned surface-area splits, large subtrees on several
// threads; the same hierarchy whatever the thread count), and the searches through it:
// each node tests its four children's boxes at once, in float rounded outwards, and the
// nearer children are opened first from a stack. Rays that run close together may walk
// it as a packet, each ray still with its own box tests. Triangles are tested from a
// copy kept in hierarchy order. Nodes live in the frame's RtArena. Ties between hits at
// the same depth go to the object earlier in the scene's list, as in the linear search,
// whatever the hierarchy's shape.
#pragma once

#include <cstdint>
#include <vector>

#include "render/raytrace/rt_object.h"

// Hierarchies are used only from this many top-level objects on.
inline constexpr int kRtSlabThreshold = 25;

// What the searches read of a node, in two cache lines: the children's boxes by axis
// and child, rounded outwards to float (a lane without a child holds a box no ray
// enters), and the children as node numbers or places in the hierarchy's object array.
struct alignas(64) RtSlabBoxes {
    float lo[3][4], hi[3][4];
    uint32_t child[4];
    uint8_t leaves;     // bit k: child k is an object
    uint8_t triangles;  // bit k: that object is a triangle
};

// What the nearest-hit search reads of a triangle, one cache line kept beside the
// hierarchy in its object order: the plane (n.P + d = 0) and the corners in the two
// coordinates the inside test uses (h[s_axis], h[t_axis] of a point h). Corners are
// float values (a triangle with others is searched through its own record).
struct alignas(64) RtSlabTriangle {
    double n[3], d;
    float s[3], t[3];
    uint8_t s_axis, t_axis;
};

// A node of the hierarchy (its boxes at the same number in the boxes array).
struct RtSlabNode : RtObject {
    int count;  // 1 to 4
    RtObject* children[4];
    int levels;                  // nodes on the longest path down from here, this one included
    const RtSlabBoxes* boxes;    // every node's, by node number (the root is number 0)
    RtObject* const* objects;    // the placed objects in hierarchy order
    const uint32_t* ranks;       // their places in the object list (ties)
    const RtSlabTriangle* triangles;  // by place; set for the triangles only
};

// A node waiting on a search's stack, with its box's entry depth.
struct RtSlabEntry {
    uint32_t node;
    float depth;
};

// A node waiting on a packet search's stack: the rays that entered its box (a bit per
// ray) and the least of their entry depths.
struct RtPacketEntry {
    uint32_t node;
    uint32_t rays;
    float depth;
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
    // The hierarchy searches' stack (grown to the hierarchy's depth).
    std::vector<RtSlabEntry> stack;
    std::vector<RtPacketEntry> packet_stack;

private:
    std::vector<RtQueueEntry> heap_;
};

struct RtSlabs {
    RtObject* root = nullptr;
    bool on = false;   // at least kRtSlabThreshold objects were placed
    int placed = 0;    // objects in the hierarchy
};

// Builds the hierarchy over the object list (linked by next) on the given number of
// threads (0: every core). A light without a visible shape is left out; a light with one
// contributes its shape.
RtSlabs rt_build_slabs(RtObject* list, RtArena& arena, int threads = 1);

// Searches the hierarchy for a hit nearer than best; true when one was found, best and
// *object then updated. Of hits at the same depth the object earlier in the list wins.
bool rt_slab_intersect(const RtObject* root, const RtRay& ray, RtHit* best, const RtObject** object,
                       RtQueue& queue, RtArena& arena);

// Rays a packet search takes at most.
inline constexpr int kRtPacketRays = 8;

// rt_slab_intersect for count rays (up to kRtPacketRays) at once, the hierarchy walked
// once for all of them: each ray gets what rt_slab_intersect would give it, in best[i]
// and object[i]. Returns a bit per ray that found a hit. Quicker than one ray at a time
// where the rays run close together (neighbouring pixels' camera rays).
uint32_t rt_slab_intersect_packet(const RtObject* root, const RtRay* const* rays, int count, RtHit* best,
                                  const RtObject** object, RtQueue& queue, RtArena& arena);

// A hit and the top-level object it belongs to.
struct RtObjectHit {
    RtHit hit;
    const RtObject* object;
    uint32_t rank = 0;  // the object's place in the list: of equal depths the lower goes first
};

// Appends every hit of the hierarchy's objects along the ray below depth max_depth to
// out (in no particular order). A hit for which ends(hit, context) says true lowers
// max_depth to its own depth (nothing beyond it matters to the caller); ends may be null.
// What is left in out after the search does not depend on the search order: every hit
// nearer than the nearest ending hit, the hits at its depth of objects earlier in the
// list and those its own object gave before it, and that ending hit (of several at its
// depth, the first of the object earliest in the list); ordered by depth, then rank,
// that is every hit up to the ending one. True when an ending hit cut the search short.
using RtHitEndsFn = bool (*)(const RtObjectHit& hit, void* context);
bool rt_slab_collect(const RtObject* root, const RtRay& ray, double max_depth, std::vector<RtObjectHit>* out,
                     RtQueue& queue, RtArena& arena, RtHitEndsFn ends, void* context);

// Pushes the box of o on the queue with its entry depth when the ray meets it.
void rt_slab_check(RtQueue& queue, const RtRay& ray, const RtObject* o);
