// Vertex chains, the contours and paths handed to the mesh builders, and their two
// resampling operations: linear subdivision and equal chord-length steps along a
// cubic spline.
//
// A chain is a point list (PointNode, model/math/plist.h): open when its last node's
// next is null, closed (a ring) when it leads back to the first node. A closed chain
// has one segment more than an open one: the one from its last point back to the
// first. Both operations keep the head node, so a caller's pointer to the chain stays
// valid, and leave the chain as it was when they return non-zero.
#pragma once

#include <vector>

#include "model/math/plist.h"

using VertexChain = PointNode;

// Largest segment count the resampling operations make; above it they return 1.
inline constexpr int kChainMaxSegments = 1 << 20;

// Inserts points linearly so that the chain has n segments, spread evenly: each
// segment is cut into n / s parts (s its segment count), the first n mod s segments
// into one part more. An inserted point takes the flag word of its segment's start.
// 0 done, also when the chain has exactly n segments or none; 1 when it has more than
// n or n is above kChainMaxSegments; 8 when memory runs out.
[[nodiscard]] int chain_subdivide(VertexChain* chain, int n);

// Replaces the chain's points by n + 1 points at equal steps of the chord-length
// parameter along a cubic spline through them (chain_resample_points). A closed
// chain is sampled round its loop and keeps n points, the (n + 1)-th being its first.
// The new points have flag words 0. 1 for a null chain, n below 1 or above
// kChainMaxSegments, or a non-finite point; 8 when out of memory.
[[nodiscard]] int chain_spline_resample(VertexChain* chain, int n);

// n + 1 points at 0, L/n, ..., L along the chord-length spline through `in`
// (model/geom/spline.h), L its length; all points equal give n + 1 copies. 0; 1 for
// an empty input, n below 1 or a non-finite point; 8 when out of memory (out empty).
[[nodiscard]] int chain_resample_points(const std::vector<Vec3d>& in, int n,
                                        std::vector<Vec3d>& out);

// The chain's points in order (a closed chain without its closing repeat). Throws
// std::bad_alloc when out of memory.
std::vector<Vec3d> chain_points(const VertexChain* chain);

// The points of a polyline (closed: round the loop back to the first point) cut into
// n segments the way chain_subdivide cuts them; the input must have fewer than n
// segments. The result has n + 1 points (open) or n (closed). Throws std::bad_alloc.
std::vector<Vec3d> polyline_subdivide(const std::vector<Vec3d>& points, bool closed, int n);

struct Matrix43;
// Turns an open chain so that it starts at its end nearer `point`: the chain's length
// up to its vertex nearest the point (x and y after `view`, the drawing-to-view
// matrix; null: as they are) is summed, and when twice that length exceeds the whole
// length the chain is reversed. A closed or empty chain is left as it is. Works on
// the list it is given: a caller that must keep an object's own list orients a copy.
void chain_orient_to_point(const Matrix43* view, VertexChain** chain, const Vec3& point);
