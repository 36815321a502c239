// Per-frame memory of the ray tracer: an arena of chained blocks for large buffers,
// pools of fixed-size elements by size class for scene records, and recycled hit lists.
// Nothing is freed one by one; free_all (or the destructor) releases everything at the
// end of a frame, also after an error abandoned it. An arena is used by one thread at a
// time: the frame's arena holds the scene, each worker has its own for hit lists.
// Allocation failures raise the memory error (code 8) naming the allocation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "model/math/types.h"

struct RtObject;

// One intersection: depth along the ray (in ray direction lengths), the point, the object.
struct RtHit {
    double depth;
    Vec3d point;
    const RtObject* object;
};

// A list of hits; it grows as hits are pushed, so no hit is ever lost.
struct RtHitList {
    RtHitList* next;  // free-list link while not in use
    RtHit* hits;
    uint32_t count;
    uint32_t capacity;
};

class RtArena {
public:
    RtArena() = default;
    RtArena(const RtArena&) = delete;
    RtArena& operator=(const RtArena&) = delete;
    ~RtArena() { free_all(); }

    // A chained block of size bytes, suitably aligned for any record.
    void* alloc(size_t size);
    // One element of size bytes from its size class; its memory is not cleared.
    void* pool_alloc(size_t size);
    template <class T>
    T* make() {
        return new (pool_alloc(sizeof(T))) T{};
    }

    // A hit list with count 0 (initial capacity set by set_hit_capacity, 64 by default).
    RtHitList* hit_list_get();
    void hit_list_put(RtHitList* list);
    // Room for one more hit at hits[count]: grows the list when full.
    RtHit* hit_list_slot(RtHitList* list);
    // Keeps the hit just written at hits[count].
    static void hit_list_push(RtHitList* list) { ++list->count; }
    // Takes the last hit into out; false (count unchanged) when the list is empty.
    static bool hit_list_pop(RtHitList* list, RtHit* out);
    void set_hit_capacity(uint32_t capacity) { hit_capacity_ = capacity ? capacity : 1; }

    // Releases every block, pool and hit list.
    void free_all();

    // Numbers for tests: blocks in the class of size bytes, classes in use.
    int pool_blocks(size_t size) const;
    int pool_classes() const { return class_count_; }

private:
    struct Block;
    struct PoolBlock;
    struct Chain;
    Chain* chain_ = nullptr;
    PoolBlock** classes_ = nullptr;
    int class_count_ = 0;
    RtHitList* free_lists_ = nullptr;
    uint32_t hit_capacity_ = 64;
};
