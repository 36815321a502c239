// Editing point lists in place: dropping repeated points, turning a closed contour
// to start where its flags change, and handing a list out in runs of equal flags.
// The lists are PointNode lists (model/math/plist.h), open or closed; two points are
// equal when they differ by less than 1e-6 on every axis (vec3_near).
#pragma once

#include <cstdint>

#include "model/math/plist.h"

// Copies the points of an open or closed list without consecutive repeats (and, for
// a closed list, without a last point equal to the first). 0, or 8 with *out null.
[[nodiscard]] int plist_copy_unique(PointNode** out, const PointNode* list);
// 1 when following `next` from `from` (itself included) reaches `to` before the
// list ends or comes round again; 0 otherwise (also for null arguments).
int list_reaches(const PointNode* from, const PointNode* to);
// Removes every node whose point equals the point of the node before it; in a closed
// list a last node equal to the first goes too. One node always stays (a ring of
// equal points keeps its first), so a non-empty list never becomes empty.
void plist_remove_repeats(PointNode** list);
// The same, removing a node only when its flags word also equals the previous one's.
void plist_remove_repeats_flagged(PointNode** list);
// For a closed contour whose last node repeats the first (same point and flags):
// removes that repeat and turns the ring so that it starts at the first node where
// (flags & mask) differs from its predecessor's. Nothing when there is no repeat or
// no such change.
void plist_start_at_flag_change(PointNode** contour, uint32_t mask);

// Iteration over an open list in runs of consecutive nodes with equal
// (flags & mask). Each call mends the cut made by the previous one and cuts the list
// after the next run, whose first node it returns; null at the end, with the list
// whole again. A caller that stops early calls vertex_list_end to mend the list.
struct VertexListState {
    PointNode* next_run = nullptr;  // first node of the run after the current one
    PointNode* cut = nullptr;       // last node of the current run (its next was cleared)
    PointNode* cut_next = nullptr;  // what cut's next was (the ring's head after the last run)
    uint32_t mask = 0;
    bool started = false;
};
PointNode* vertex_list_next(PointNode* list, VertexListState* state);
void vertex_list_end(VertexListState* state);
