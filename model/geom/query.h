// Geometric queries on drawing objects (a representative centre, the plane of a
// chain of points, a window test, the crossing of two polylines nearest a point),
// the clockwise rule every closed contour obeys, and the bulk change of a tree's
// style and style parameters used by the property commands.
//
// Point lists are PointNode lists, open or closed; the 2D routines use x and y
// only. Lengths are model units, angles radians.
#pragma once

#include "model/math/plist.h"
#include "model/math/types.h"

class object;
class ZOBJ;
class PATT;

// Makes an open or closed point list run clockwise in x-y, in place (reversing it
// when it turns counter-clockwise; *list then points at the new head). An open list
// stays open. Lists of fewer than three points are left alone.
void contour_make_cw(PointNode** list);
// The same on a closed ring: 1 when it was reversed (the head moved), else 0.
int contour_orient_cw(PointNode** ring);

// Average of the midpoints of consecutive points (closed lists include the closing
// edge). 1 with *out written; 0 (out unchanged) for fewer than two points.
int polyline_center(const PointNode* list, Vec3* out);
// Representative centre by class; out is left unchanged when the object has none.
void object_center(const object* obj, Vec3* out);

// The plane of a chain: from P1, P2 and the first later point Pk seen from P1 at
// an angle of at least 0.0001 rad to P2. 1 with the unnormalised normal, the
// matrices of mat_align_z (to-plane: normal onto +Z; from-plane: back) and the
// offset (z of P1 in the plane frame; needs the to-plane matrix) where non-null;
// 0 with fewer than three points or all collinear.
int chain_plane(const PointNode* list, Vec3d* normal, Matrix43* to_plane, Matrix43* from_plane,
                double* offset);

// 1 when the x-y box of a and b lies wholly outside the window [min, max], 0 when
// they overlap or touch.
int box_disjoint_2d(const Vec3& a, const Vec3& b, const Vec3& min, const Vec3& max);

// The crossing of the infinite lines through a segment of A and a segment of B
// nearest (in x-y) to *point; z from B's segment. 1 with *point replaced, 0 when
// none or when either object is not a polyline (XPLINE kind 0).
int xpline_intersection_near(const object* a, const object* b, Vec3* point);

// Style parameters of objects_set_patt_params; -1.0 means not given.
struct PattParams {
    PATT* style = nullptr;
    double a = -1.0;  // the float attribute (width)
    double f = -1.0, c = -1.0, b = -1.0, d = -1.0, e = -1.0;
    int last = 0;
};

// Gives every object of the tree a new style and style parameters and regenerates
// it. By the class of the root: HATCH: c scale, b angle; TEXT2: c slant,
// b direction, d width, e height; other: f pattern scale, b arc resolution,
// c curve resolution; a is every object's width. Returns the last regeneration
// result (0 when there is nothing to do).
[[nodiscard]] int objects_set_patt_params(ZOBJ* tree, PATT* style, double a, double b, double c,
                                          double d, double e, double f);
