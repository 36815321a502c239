// Mesh reduction: a lighter copy of a MESH3 for fast display, made by collapsing the
// shortest interior edges of each face block until a percentage of its triangles is
// left. The drawing is never changed.
#pragma once

#include <cstdint>
#include <vector>

#include "model/db/solid.h"

// A reduced copy of `mesh` with `percentage` of the triangles of each face block
// left (never below half: a smaller percentage works as 50), or `mesh` itself when
// reduction is not wanted (a percentage above 90, or not finite) or not possible
// (out of memory, an edge shared by three faces, an inconsistent face). A new mesh
// belongs to the caller (rtc_destroy); the mesh itself must not be freed by it. The
// copy has no name, the class's default material and only face blocks, in reverse
// chain order. Boundary vertices keep their positions bit for bit. A collapse that
// would break the surface (two edges becoming one, a face turning over or losing its
// area, neighbouring faces folding flat onto each other) is passed over, so a closed
// 2-manifold block stays one.
MESH3* mesh_reduce(MESH3* mesh, double percentage);

// The reduction model of one face block: vertex, edge and face nodes in three
// circular lists, each backed by one array whose node 0 is the sentinel.
struct ReduceModel;

// Builds the model of `block` for the working `percentage` (50 to 90); null when
// memory runs out, an index is out of range or an edge has three faces.
ReduceModel* reduce_model_build(const MeshFaceBlock* block, double percentage);

// How a run finds the next edge to collapse. Both give the same collapses in the
// same order: of the unlocked edges whose squared length is below 1e6, the least by
// key (its length class, about 4% wide, then a group of runs of edges), the first in
// list order on ties (every edge at the vertex a collapse kept is measured again). An
// edge passed over waits until a collapse joins a vertex to one of its ends.
struct ReduceRunOptions {
    bool plain_walk = false;             // walk every edge per collapse (the reference)
    std::vector<int32_t>* trace = nullptr;  // receives each collapsed edge (block edge index)
};

// Reduces the model and writes the result into `out` (an empty block); 0 on success,
// 1 when the model turned out inconsistent, 8 when memory ran out.
[[nodiscard]] int reduce_model_run(ReduceModel* model, MeshFaceBlock* out,
                                   const ReduceRunOptions& options = {});

// Frees the model (null is accepted).
void reduce_model_free(ReduceModel* model);
