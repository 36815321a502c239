// The edits of the polyline editor on point lists: nearest vertex and segment
// searches, inserting and deleting vertices, chamfer and fillet corners, cutting a
// list in two and appending a welded chain. Points are drawing coordinates; "nearest"
// compares x and y after the view matrix given. Lists are PointNode lists, open or
// closed (a ring). Results: 0, 8 out of memory (nothing changed), 19 (kPlnNoCorner) the corner
// cannot be made (nothing changed).
#pragma once

#include "model/math/plist.h"
#include "model/math/result.h"
#include "model/math/types.h"

// The corner cannot be made (a straight or folded corner, a trim or radius too large).
inline constexpr int kPlnNoCorner = 19;

// The nearest vertex (the first of equal distances); *before receives the node
// before it (null for the head of an open list). Null for an empty list.
PointNode* pln_nearest_vertex(const Matrix43& view, PointNode* list, const Vec3& pick, PointNode** before);
// For the corner tools: an open list whose last point equals its first (within
// 1e-6) is closed when its first vertex is the nearest, the duplicate end dropped,
// so that the first vertex has a node before it. Returns the (possibly new) head.
PointNode* pln_close_if_first(const Matrix43& view, PointNode* list, const Vec3& pick);
// -1 when the nearest vertex is the first node of an open list, 1 the last, 0 between
// two others (always 0 in a ring); 2 for an empty list.
int pln_pick_vertex(const Matrix43& view, PointNode* list, const Vec3& pick, PointNode** before,
                    PointNode** vertex);
// The segment nearest the pick: *start its first node, *at the nearest point on it.
// False for a ring, a list of fewer than two points, or nothing found.
bool pln_nearest_segment(const Matrix43& view, PointNode* list, const Vec3& pick, PointNode** start, Vec3* at);
// A new node holding p after `node`; null when out of memory.
PointNode* pln_insert_after(PointNode* node, const Vec3& p);
// Unlinks and frees `node` (`before` the node before it, null when it is the head).
void pln_delete_node(PointNode** list, PointNode* before, PointNode* node);

// The new points of a corner at V between P (before) and N (after).
struct PlnCorner {
    PointNode* points = nullptr;  // owned: from the P side to the N side
    bool arc = false;             // fillet: the arc below is set
    Vec3 centre{};                // fillet centre, drawing coordinates
    Vec3 axis1{}, axis2{};        // the arc's axis points (centre + r along its plane)
    double radius = 0, start = 0, end = 0;
    ~PlnCorner() { list_free(&points); }
};
// Chamfer (trims t1 on the P side and t2 on the N side) or fillet of radius r with
// arc points every `step` radians. 0, 8 or 19 (straight or folded corner, a trim
// not shorter than its segment, a radius too large for the segments).
[[nodiscard]] int pln_corner_points(const Vec3& p, const Vec3& v, const Vec3& n, bool chamfer,
                                    double r, double t1, double t2, double step, PlnCorner* out);
// Replaces the vertex after `before` by the corner's points (taken from `corner`);
// *list is updated when the vertex was the head of a ring.
void pln_corner_replace(PointNode** list, PointNode* before, PlnCorner* corner);
// Cuts the list at the vertex after `before` for a separate corner: the vertex takes
// the corner's first point and ends the first part; the second part (a new node with
// the corner's last point, then the rest) is returned through *rest. For a ring the
// list is opened instead: it starts at the corner's last point and ends at its first,
// and *rest is null. 0 or 8.
[[nodiscard]] int pln_corner_cut(PointNode** list, PointNode* before, const PlnCorner& corner,
                                 PointNode** rest);

// Moves every node after `cut` (to the end, or back to the head of a ring) to the
// end of *second; `cut` stays as the last point of the first list.
void pln_cut_after(PointNode** list, PointNode* cut, PointNode** second);
// Appends the chain's points to the end of *list, skipping a point within 0.001 of
// the point most recently added. 0 or 8 (the points added so far stay).
[[nodiscard]] int pln_append_chain(PointNode** list, const PointNode* chain);
