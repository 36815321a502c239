// Sweeping a profile along a path into one grid block: extrusions, tracked and
// profiled surfaces, spirals and the thickness of imported line work.
#pragma once

#include "model/mesh/chain.h"

class MESH3;

// Sweeps `profile` along `path` into a new grid block at the head of the mesh, one row
// per path point. The profile is placed by its reference point `base` and direction
// `direction`: the first row is the profile turned about `base` so that `direction`
// points along the path's first segment; the path itself is shifted so that it starts
// at `base`. The turn is carried along the path without twist (each segment's frame
// is the previous one turned from the previous segment's direction into the new one),
// and at every joint the row is projected along the incoming segment onto the plane
// through the joint that halves the angle between the two segments, so corners are
// mitred and the tube keeps its cross-section. Joints that turn back on themselves
// (within about 3 degrees) are not mitred.
//
// A closed profile closes the rows; a closed path (three points or more) joins the
// last row to the first. Consecutive path points less than 1e-6 apart count as one. A
// one-point path gives one row (the profile where it lies, no faces); a zero
// `direction` means no initial turn. 0, 8 or 13 (null or non-finite input, grid above
// kMeshMaxGridVertices); on failure the mesh is as before.
[[nodiscard]] int mesh_sweep(MESH3* mesh, const VertexChain* profile, const Vec3* base,
                             const Vec3* direction, const VertexChain* path);
