// Editing point lists: dropping repeated points; whether a walk along a list reaches a node.
// The lists are PointNode lists (model/math/plist.h), open or closed; two points are
// equal when they differ by less than 1e-6 on every axis (vec3_near).
#pragma once

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
