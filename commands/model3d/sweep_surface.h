// Sweeping picked or computed chains into one new mesh, shared by the swept-surface
// commands: repeated points dropped, polylines that come back to their start within
// 0.001 swept as rings, then the mesh builder's sweep.
//
// Points are drawing coordinates (millimetres, floats). A mesh handed back is owned
// by the caller until it goes into a drawing; on failure the pointer is left null.
#pragma once

#include <memory>
#include <vector>

#include "model/math/types.h"

class MESH3;

// Distance within which an open chain's last point closes it onto its first.
inline constexpr double kSweepCloseGap = 0.001;

// Whether an open chain sweeps as a ring: at least four points, the last less than
// kSweepCloseGap from the first, and a length of at least 0.01.
bool sweep_chain_closes(const std::vector<Vec3>& chain);

// One new mesh from `profile` swept along `path` (mesh_sweep with `base` and
// `direction`). Consecutive repeated points are dropped from both; a chain that
// sweep_chain_closes is swept as a ring without its last point; `profile_closed` says
// the profile is a ring already (no repeat at its end). A path or a profile of fewer
// than two distinct points builds nothing (0, *out null). 8 out of memory; the builder's 13 for bad input.
[[nodiscard]] int sweep_profile_mesh(const std::vector<Vec3>& profile, bool profile_closed,
                                     const std::vector<Vec3>& path, const Vec3& base,
                                     const Vec3& direction, std::unique_ptr<MESH3>* out);

// Turns `profile` to the start of a path: M = (into the profile's plane frame, a
// two-point profile taking the plane through its line and the x direction) then
// (+Z turned onto `direction`); every point p becomes M p + (at - M c), c the
// profile's centre (polyline_center). The profile's normal then runs along
// `direction` and its centre lies on `at`. A profile without a plane (one point,
// all points on a line) is left where it lies.
void profile_place(std::vector<Vec3>* profile, const Vec3& at, const Vec3& direction);

// One mesh per stroke swept along `path` (sweep_profile_mesh with `base` and
// `direction`); strokes that make nothing are passed over. 0, 8 or 13; on failure the
// meshes made so far are in *out, owned by the caller.
[[nodiscard]] int sweep_strokes_meshes(const std::vector<std::vector<Vec3>>& strokes,
                                       const std::vector<Vec3>& path, const Vec3& base,
                                       const Vec3& direction,
                                       std::vector<std::unique_ptr<MESH3>>* out);

// One mesh per stroke turned about the axis from a towards b by `angle` from `start`
// (radians) in `steps` steps. 0, 8 or 13 (from the builder); on failure the meshes
// made so far are in *out.
[[nodiscard]] int revolve_strokes_meshes(const std::vector<std::vector<Vec3>>& strokes,
                                         const Vec3& a, const Vec3& b, double angle, double start,
                                         int steps, std::vector<std::unique_ptr<MESH3>>* out);

// The ruled surface through the contours (in list order): each brought to `faces_m`
// segments, then one loft (`smooth`: the transverse chains resampled to `faces_n`
// steps along a spline; else consecutive contours joined directly). Fewer than two
// contours build nothing (0, *out null). 13 for faces_m or faces_n below 1; 8.
[[nodiscard]] int ruled_mesh(std::vector<std::vector<Vec3>> contours, int faces_m, int smooth,
                             int faces_n, std::unique_ptr<MESH3>* out);
