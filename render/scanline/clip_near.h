// Cutting the render meshes at the near plane (z = -0.1 in the image frame, the eye
// looking down -z), so that no triangle reaches the perspective division with a
// corner at or behind the eye, and the grid texture coordinates of meshes without
// their own.
#pragma once

#include <cstdint>
#include <vector>

#include "model/math/types.h"
#include "render/scanline/render_mesh.h"

struct MeshFaceBlock;

inline constexpr double kNearPlane = -0.1;

// Edge status against the near plane.
enum NearStatus : uint8_t { kNearFront = 0, kNearFirstBehind = 1, kNearSecondBehind = 2,
                            kNearBehind = 3 };

// Takes every vertex of every mesh through `matrix` (into RenderVertex::image) and
// cuts the meshes at the near plane: a triangle with one corner in front becomes one
// smaller triangle, with two corners in front two triangles sharing the cut; a mesh
// left without triangles leaves the list. Shading records and texture coordinates of
// new corners are mixed along the cut edges. 0, or 8 when out of memory (the meshes
// already cut stay in the list). The vertices are taken through the matrix over
// `threads` threads.
[[nodiscard]] int render_clip_near(RenderMesh** list, const Matrix43* matrix, const Matrix43* inverse,
                                   int32_t threads = 1);

// Grid texture coordinates, four floats (u, v at both ends) per edge of a grid block
// of `rows` x `columns` cells whose edges follow the grid layout (C edges along the
// first row, then per row and cell three edges, the last the diagonal, and a closing
// edge: C + R(3C + 1) edges). Cell mode (length_mode false): u is the column index,
// v the row index. Length mode: the running length along the row (or down the
// column) over its total, falling back to index / C (or / R) for a total below 1e-6.
// 0; 13 when the block does not have that layout (no coordinates are made); 8 when
// out of memory.
[[nodiscard]] int render_grid_uv(const MeshFaceBlock* block, int32_t rows, int32_t columns, bool length_mode,
                                 std::vector<float>* edge_uv);
