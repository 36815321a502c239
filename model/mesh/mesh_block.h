// Face blocks of a MESH3: getting and dropping blocks, adding triangles with shared
// edges, laying out grid blocks, and single triangles and quadrilaterals with vertex
// merging.
//
// A MESH3 owns its chain of MeshFaceBlock records (model/db/solid.h), newest first.
// Two kinds of block exist:
// - a free block (rows or columns 0): any triangles, each face three edge indices;
// - a grid block (rows and columns both non-zero): its vertices stand row by row,
//   and `rows` and `columns` count its cells. An open direction has one more point
//   than cells, a closed one as many points as cells (the cell after the last point
//   wraps to point 0). So an open R x C grid holds (R + 1) x (C + 1) vertices.
//
// Results are the engine's codes: 0 done, 8 out of memory, 13 bad argument. A builder
// that fails leaves the mesh as it was. Coordinates are model units (floats); every
// builder refuses non-finite coordinates with 13.
#pragma once

#include <cstdint>
#include <vector>

#include "model/db/solid.h"
#include "model/math/types.h"

// Largest vertex count of one grid block a builder makes; larger requests give 13
// instead of exhausting memory. About 75 MB of vertices, edges and faces.
inline constexpr int32_t kMeshMaxGridVertices = 1 << 20;

struct MeshFaceIndex;  // model/mesh/face_index.h

// Edge lookup of mesh_add_triangle: a bucket table (edge number + 1, 0 empty) and a
// next-in-bucket chain per edge. Key of an edge = larger index + 4 x smaller index;
// bucket = key mod bucket count. The hash must see every edge added to its block, so
// make it for one block and use it only with that block.
struct MeshEdgeHash {
    std::vector<int32_t> buckets;
    std::vector<int32_t> next;  // per edge of the block, edge number + 1 of the next one
};

// Sets the hash up with `bucket_count` buckets (at least 1) and enters the block's
// existing edges. 0, or 8 when out of memory (the hash is left empty).
[[nodiscard]] int mesh_edge_hash_init(MeshEdgeHash* hash, const MeshFaceBlock* block,
                                      int32_t bucket_count);

// Of the block's edges joining a and b (either order), found through `hash` (made for
// this block, as it stands, by mesh_edge_hash_init): the first drawn one (without
// kEdgeHidden), else the first one; -1 when none joins them.
int32_t mesh_find_drawn_edge(const MeshFaceBlock& block, int32_t a, int32_t b,
                             const MeshEdgeHash& hash);

// find_room 0: a new zeroed block at the head of the chain. find_room 1: the first
// block that has no vertices or no grid size yet, else a new one at the head. Null
// when out of memory or the mesh is null. The mesh owns the block.
MeshFaceBlock* mesh_face_block(MESH3* mesh, int find_room);

// Takes `block` off the mesh's chain and frees it. A block not in the chain is left
// alone.
void mesh_drop_block(MESH3* mesh, MeshFaceBlock* block);

// Frees a chain of blocks starting at `first` with all their arrays.
void mesh_blocks_free(MeshFaceBlock* first);

// Appends the face (a, b, c) to the block. For each edge a-b, b-c, c-a the existing
// edge with the same two vertices (either order) is used, else a new edge with flags
// 0 is appended. The face's edges run in that order, so edge_pair_vertices of its
// first two edges gives a, b, c. With a hash the edges are found through it; without,
// every edge of the block is compared. 13 for a vertex index outside the block's
// vertices; 8 when out of memory (the block keeps its old edges and faces).
[[nodiscard]] int mesh_add_triangle(MeshFaceBlock* block, int32_t a, int32_t b, int32_t c,
                                    MeshEdgeHash* hash = nullptr);

// Lays out the edges and faces of a grid block whose vertices are already in place:
// `points` points per row, `row_count` rows, so the block must hold exactly
// points x row_count vertices (else 13). A closed direction wraps its last point (or
// row) to the first; a direction needs at least 3 points to close and is taken open
// below that. Sets the block's rows and columns to its cell counts and replaces its
// edges and faces:
// - the C edges along row 0, then for each later row B after row A and each cell i:
//   (B(i), A(i)) between the rows, (B(i), B(i+1)) along B, the diagonal
//   (B(i+1), A(i)) with flag kEdgeHidden; after the last cell one closing edge
//   (B(C), A(C)), indexes taken modulo the points of a row;
// - two faces per cell: A(i), B(i), B(i+1) and A(i), B(i+1), A(i+1).
// So a grid of R row steps has C + R(3C + 1) edges and 2CR faces. 0, 8 or 13.
[[nodiscard]] int mesh_grid_build(MeshFaceBlock* block, int32_t points, int32_t row_count,
                                  bool closed_columns, bool closed_rows);

// Makes a new grid block at the head of the mesh from `points` (row by row,
// `points_per_row` points in each of `row_count` rows) and builds it with
// mesh_grid_build. 13 for a null mesh, counts below 1, a grid above
// kMeshMaxGridVertices or a non-finite point; 8 when out of memory. On failure the
// mesh is as before.
[[nodiscard]] int mesh_add_grid(MESH3* mesh, const std::vector<Vec3d>& points,
                                int32_t points_per_row, int32_t row_count, bool closed_columns,
                                bool closed_rows);

// Adds a triangle (p4 null) or a quadrilateral. With `split` and a p4 the
// quadrilateral becomes a 1 x 1 grid patch (mesh_add_grid_patch). Otherwise the face
// goes into the first free block of the chain (a new block at the head when there is
// none): points whose 12 coordinate bytes equal a vertex of the block reuse it,
// edges are shared through mesh_add_triangle, and a quadrilateral becomes the
// triangles (p1, p2, p3) and (p1, p3, p4) whose new shared edge p1-p3 is hidden
// (kEdgeHidden) while the outline edges are visible. A triangle whose corners merge
// into fewer than three vertices has no area and is left out; when one of the two
// triangles of a quadrilateral is left out, the other keeps all its edges visible.
// 0, 8 or 13 (null mesh or point, non-finite coordinates). On 8 the block is as it
// was before the call (vertices, edges, faces and edge flags).
//
// With an `index` (face_index.h) the vertex and edge lookups go through it, so a run
// of n faces costs about n steps instead of n squared; the block comes out exactly as
// without it.
[[nodiscard]] int mesh_add_face(MESH3* mesh, const Vec3* p1, const Vec3* p2, const Vec3* p3,
                                const Vec3* p4, int split, MeshFaceIndex* index = nullptr);

// True when a grid of that many points per row and rows is within
// kMeshMaxGridVertices (both counts at least 1); logs a warning when it is not.
bool mesh_grid_fits(int64_t points_per_row, int64_t rows);

// Small helpers shared by the builders.
// a + (b - a) t.
inline Vec3d mesh_lerp(const Vec3d& a, const Vec3d& b, double t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}
