// Grid surfaces: bilinear patches over four corners, surfaces of revolution and
// lofts through a list of contours. Each builds one new grid block at the head of the
// mesh's chain (mesh_add_grid, mesh_block.h).
//
// Results: 0 done, 8 out of memory, 13 bad argument (including non-finite
// coordinates and grids above kMeshMaxGridVertices). On failure the mesh is as
// before. Chains are read, never changed or kept.
#pragma once

#include "model/math/plist.h"
#include "model/mesh/chain.h"

class MESH3;

// A grid of m x n quadrilaterals (2mn triangles) over the corners: c1-c2 and c4-c3
// are each cut into m segments, and each pair of corresponding points is joined by a
// line cut into n segments. Row k (0..n) holds the m + 1 points at k/n along those
// lines. 13 when m or n is below 1.
[[nodiscard]] int mesh_add_grid_patch(MESH3* mesh, const Vec3* c1, const Vec3* c2, const Vec3* c3,
                                      const Vec3* c4, int m, int n);

// Turns the profile about the axis from a towards b (right-handed) and makes one row
// per copy: copy k is turned by start + k x angle / steps (radians), k = 0..steps. A
// full turn (angle of exactly 2 pi, either sign) makes one copy fewer and joins the
// last row to the first. A closed profile closes the rows. 13 for a null profile,
// steps below 1, an angle of 0 or not finite, a start angle not finite, or axis points
// less than 1e-6 apart.
[[nodiscard]] int mesh_revolve(MESH3* mesh, const VertexChain* profile, const Vec3* a,
                               const Vec3* b, double angle, double start, int steps);

// A grid through a list of contours (one row per contour, in list order). Contours
// with fewer points than the longest are cut evenly to as many (chain_subdivide's
// spreading); a one-point contour is repeated, so a loft can end in a point. When
// every contour is closed the rows close. With `resample`, the i-th points of all
// contours form chains that are each resampled along a cubic spline to n steps
// (chain_spline_resample), giving n + 1 rows. 13 for n below 1, fewer than two
// contours, or an empty contour.
[[nodiscard]] int mesh_add_loft(MESH3* mesh, const PtrNode* contours, int resample, int n);
