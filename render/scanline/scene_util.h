// Geometry helpers of the scene preparation: the camera and parallel frames, the view
// pyramid used for culling, box growth (whole meshes or their part inside the image
// window) and the grid texture coordinates of a render mesh.
#pragma once

#include <cstddef>
#include <cstdint>

#include "model/math/types.h"
#include "render/scanline/render_context.h"

class CAMERA;
struct ViewProjection;

// The camera frame: drawing coordinates to camera space (camera at the origin, looking
// down -z, its up vector along +y). 13 when the target is the position, a coordinate
// is not finite or the lens is not finite and positive.
[[nodiscard]] int camera_frame(const CAMERA& camera, Matrix43* m, Matrix43* inverse);

// The parallel frame: the view's matrix, its origin moved to the image centre, scaled
// to pixels and by the draft scale. window receives the image-plane window (x0, y0,
// x1, y1). 13 for a view whose scale or matrix is not usable.
[[nodiscard]] int parallel_frame(const ViewProjection& view, int32_t width, int32_t height, double draft,
                                 Matrix43* m, Matrix43* inverse, double window[4]);

// The four sides and the near side of the view pyramid in camera space.
struct Frustum {
    Matrix43 matrix;  // drawing coordinates -> camera space
    Vec3d normal[5];  // inside where normal . p + offset >= 0
    double offset[5];
};
void frustum_from_camera(Frustum* f, const Matrix43& matrix, double focal, int32_t width,
                         int32_t height);
// True when every vertex of the mesh lies outside one side.
bool frustum_culls(const Frustum& f, const RenderMesh& mesh);

void bbox_grow(BBox* box, const Vec3d& p);
void bbox_merge(BBox* box, const BBox& other);
// Grows the box by the parts of the mesh's faces inside the image window (through
// `matrix`): corners inside, window corners inside a face, edge crossings of the
// window's sides. `through`, when given, holds every vertex already taken through
// the matrix.
void grow_by_window(BBox* box, const RenderMesh& mesh, const Matrix43& matrix,
                    const double window[4], size_t first = 0, size_t end = SIZE_MAX,
                    const Vec3d* through = nullptr);

// Per-corner texture coordinates of the mesh's triangles from its per-vertex
// coordinates or, for textured grid meshes without them, grid cell coordinates. 0 or 8.
[[nodiscard]] int mesh_texture_coordinates(const RenderContext* ctx, RenderMesh* mesh);
