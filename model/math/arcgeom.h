// Points along circles, arcs and ellipses, and intersections of 2D lines. The
// generators fill point lists (plist.h) from which arcs, hatches and commands build
// display geometry. Everything happens in the x-y plane; z comes
// from the centre or from a given point. Angles are radians and an arc runs
// counter-clockwise from its start angle to its end angle.
//
// The list builders prepend with plist_add, so a finished list runs from the last
// point generated back to the first. They never make more than kArcMaxPoints points.
#pragma once

#include "model/math/plist.h"
#include "model/math/types.h"

// Upper bound on the points one call of a list builder makes; more is refused (13).
inline constexpr int kArcMaxPoints = 1 << 20;

// out = (cx + r*cos a, cy + r*sin a, cz); out may alias centre.
Vec3* arc_point(Vec3* out, double radius, double angle, const Vec3& centre);

// The point of the ellipse with semi-axes a (along x) and b (along y) about (cx, cy)
// at polar angle t: r = a*b / sqrt(a^2*sin^2 t + b^2*cos^2 t), out = (cx + r*cos t,
// cy + r*sin t). A degenerate ellipse (zero denominator) gives the centre.
void ellipse_point(double a, double b, double cx, double cy, double t, float out[2]);

// Makes *out a new closed ring of the ellipse (cx + rx*cos t, cy + ry*sin t, cz) at
// t = i*2*pi/n for i = 0..n-1, followed by the first point again (n + 1 points).
// n < 2 gives an empty list and 0. 0; 13 (empty list) when n exceeds kArcMaxPoints;
// 8 (empty list) when out of memory. *out is overwritten, not freed.
[[nodiscard]] int ellipse_points(PointNode** out, const Vec3& centre, double rx, double ry, int n);

// Adds n + 1 points of the arc from `start` to `end` (end raised by whole turns until
// it is not below start), evenly spaced, to *list. n < 0 adds nothing; n = 0 adds the
// start point. 0; 13 for a non-finite angle or n above kArcMaxPoints (nothing added);
// 8 when out of memory, with the whole list freed.
[[nodiscard]] int arc_points_n(const Vec3& centre, double radius, double start, double end, int n,
                               PointNode** list);

// Replaces *list (freeing what it held) by the arc from `start` to `end`: the start
// point, every multiple of |step| strictly between start and end (a start on the grid
// appears twice), and the end point. Arcs of one circle so share their interior
// vertices. 0; 13 with an empty list for a zero or non-finite step, non-finite angles
// or more than kArcMaxPoints points; 8 with an empty list when out of memory.
[[nodiscard]] int arc_points(const Vec3& centre, double radius, double start, double end,
                             double step, PointNode** list);

// Brings the start and end angles of an arc (radians; the arc runs counter-clockwise
// from start to end, an end below start raised by whole turns) into one turn when
// either lies more than two turns from 0, keeping the drawn arc: start into
// [0, 2*pi), end start + the drawn sweep (a full turn at most), taken a turn down when
// that passes 2*pi short of a full turn. Angles near the circle, and angles that are not
// finite, are left as they are; true when something changed.
bool arc_angles_to_one_turn(double* start, double* end);

// Coefficients of the line a*x + b*y + c = 0 through p and q:
// a = p.y - q.y, b = q.x - p.x, c = q.y*p.x - p.y*q.x.
void line_coeffs(const Vec3& p, const Vec3& q, double* a, double* b, double* c);

// Intersection of the line (a1, b1, c1) with the line through p3 and p4, z taken from
// p3: 1 and out, or 0 (nothing written) for parallel or degenerate lines.
int line_intersect_coeffs(double a1, double b1, double c1, const Vec3& p3, const Vec3& p4,
                          Vec3* out);
// Intersection of the lines through p1, p2 and through p3, p4.
int line_intersect_2d(const Vec3& p1, const Vec3& p2, const Vec3& p3, const Vec3& p4, Vec3* out);
