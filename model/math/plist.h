// Singly linked point lists and lists of point lists, the small structures from
// which line work, arcs, hatches and text strokes are built.
//
// A point list is open (the last node's next is null) or closed (the last node
// points back to the first). Functions that allocate return 8 when memory runs
// out and leave nothing half-made behind.
#pragma once

#include <cstdint>

#include "model/math/bulk_alloc.h"
#include "model/math/types.h"

// Bit 28 of a node's flag word: the point after this one starts a new stroke.
inline constexpr uint32_t kPointMoveNext = 1u << 28;

struct PointNode {
    PointNode* next;
    float x, y, z;
    uint32_t flags;
    uint32_t extra;
    BULK_ALLOCATED(8)
};

// Generic singly linked list of values; a list of point lists holds PointNode heads.
struct PtrNode {
    PtrNode* next;
    void* value;
    BULK_ALLOCATED(8)
};

// Prepends a point (flag word and extra word zero). 0, or 8 when out of memory.
[[nodiscard]] int plist_add(PointNode** list, const Vec3& p);
// Prepends a value. 0, or 8 when out of memory.
[[nodiscard]] int ptrlist_add(PtrNode** list, void* value);

// Frees every node of an open or closed list and clears the head.
void list_free(PointNode** list);
void list_free(PtrNode** list);
// Frees every inner point list, then the outer list; clears the head.
void plist_list_free(PtrNode** lists);

// Reverses in place; a closed list stays closed. Returns the new head.
PointNode* list_reverse(PointNode* head);
PtrNode* list_reverse(PtrNode* head);

// Copies the points and each node's flag word in order, closed when the source is.
// 0, or 8 with *out null and nothing left allocated.
[[nodiscard]] int plist_copy(PointNode** out, const PointNode* list);
// Copies every point list of a list of point lists. 0, or 8 with the partial copy freed.
[[nodiscard]] int plist_list_copy(PtrNode** out, const PtrNode* lists);

// Number of nodes of an open or closed list.
int plist_count(const PointNode* list);
// True when the list is closed (its last node points back to the head).
bool plist_is_closed(const PointNode* list);
// Whether the node's point is finite on every axis.
bool plist_point_finite(const PointNode* n);
// Whether every point of an open or closed list is finite (true for an empty list).
bool plist_finite(const PointNode* list);

// 1 when the two points differ by less than 1e-6 on every axis.
int vec3_near(const Vec3& a, const Vec3& b);

// The box of two points.
void bbox_of_points(const Vec3& a, const Vec3& b, BBox* box);
// Widens `into` to hold `box`.
void bbox_union(const BBox& box, BBox* into);
