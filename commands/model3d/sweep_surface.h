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
// the profile is a ring already (no repeat at its end). An empty path builds nothing
// (0, *out null). 8 out of memory; the builder's 13 for bad input.
int sweep_profile_mesh(const std::vector<Vec3>& profile, bool profile_closed, const std::vector<Vec3>& path,
                       const Vec3& base, const Vec3& direction, std::unique_ptr<MESH3>* out);
