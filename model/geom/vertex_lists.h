// Vertex-list queries on line work: whether a point list lies in one plane, and the
// point list (or lists) that stands for a line-work object.
#pragma once

#include "model/math/plist.h"

class object;

// Flatness tolerance of contours, drawing units.
inline constexpr double kPlanarTolerance = 0.001;

// 1 when every point lies within kPlanarTolerance of the plane of the list
// (chain_plane), or when the list has no plane (fewer than three points, collinear);
// else 0.
int plist_is_planar(const PointNode* list);
// The point list that stands for a line-work object: its flattened list (WIRE::points:
// arcs, circles, ellipses, splines) when it has one, else the control points of a
// polyline; null for other objects or when there is none. The object keeps it.
const PointNode* wire_point_list(const object* obj);
