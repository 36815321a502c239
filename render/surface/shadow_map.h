// Shadow maps of spot lights: a face is a square depth buffer with a surface-id
// buffer and the light's 4x4 view-projection matrix; a polygon pipeline (transform,
// homogeneous clipping, perspective divide, scan conversion with perspective-correct
// interpolation) draws the scene into a face through a per-pixel callback; the lookup
// answers the lit fraction of a point, optionally filtered over a window of texels.
//
// Matrices are row-vector 4x4 (a point is the row (x, y, z, 1) times the matrix).
// Ownership: a face owns its two buffers (new[]); shadow_map_free releases them.
// Threads: lookups only read the face and may run on any number of threads; drawing
// writes it and runs on one thread.
#pragma once

#include <cstdint>

struct ShadowFace {
    int32_t n = 0;              // n x n texels; 0 while the face has no buffers
    double* depth = nullptr;    // n x n, row-major, 1e17 where nothing was drawn
    uint32_t* ids = nullptr;    // n x n surface ids, 0 where nothing was drawn
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

struct ShadowMap {
    ShadowFace faces[6];
};

inline constexpr double kShadowEmptyDepth = 1e17;
inline constexpr int kShadowFields = 12;      // doubles per polygon vertex
inline constexpr int kShadowMaxVertices = 16;  // input vertices plus one per clip plane

// One polygon vertex: fields 0..3 the transformed x, y, z, w (after the draw's
// divide: x and y in pixels, z / w, w kept), 4..6 the untransformed point, 7..11 the
// caller's attributes.
struct ShadowVertex {
    double f[kShadowFields];
};

struct ShadowPolygon {
    int32_t count = 0;   // at most kShadowMaxVertices - 5 on input
    uint32_t mask = 0;   // bit i: field i is interpolated
    ShadowVertex v[kShadowMaxVertices];
};

// Per-pixel callback of shadow_polygon_draw: column, row (inside the face), the
// vertex interpolated there, and the caller's two pointers.
using ShadowSpanFn = void (*)(int32_t column, int32_t row, const ShadowVertex* v, void* light,
                              void* scene);

// All six faces empty (no buffers, identity matrices).
void shadow_map_init(ShadowMap* map);
// Buffers of n x n texels (depths 1e17, ids 0): 0, or 1 when n is not 1..8192 or
// memory runs out (nothing kept).
[[nodiscard]] int shadow_face_alloc(ShadowFace* face, int32_t n);
// Releases the buffers of every face (faces without buffers are skipped) and empties
// them. Safe to call twice.
void shadow_map_free(ShadowMap* map);

// The identity, or the light projection (near 0.025, far 100, w' = z) when `flag` is 0.
void mat4_identity_proj(double m[4][4], int flag);
// View matrix of a light at `from` looking along d (scaled by the tangent of the half
// angle), with unit right and up, times the light projection.
void shadow_view_matrix(const double from[3], const double d[3], const double right[3],
                        const double up[3], double out[4][4]);
// Builds the face matrix of a light at `from` aimed at `to` whose cone half angle has
// cosine c (the half angle is held within 0.5..89.5 degrees; a NaN c counts as the
// widest). `up` may be null (an axis across the direction is chosen). 0, or 1 with
// the matrix unchanged when from and to give no direction.
[[nodiscard]] int shadow_face_aim(ShadowFace* face, const double from[3], const double to[3], const double* up,
                                  double c);

// Fills fields 0..3 of v from fields 4..6 through m.
void mat4_xform_point4(ShadowVertex* v, const double m[4][4]);
void mat4_xform_point_w(double out[3], double* w, const double p[3], const double m[4][4]);

// Transforms, clips and scan-converts the polygon into a width x height face; the
// callback runs once for every covered pixel. The polygon is used as working space.
// 0 when nothing is left after clipping, 1 when something was drawn.
int shadow_polygon_draw(ShadowPolygon* poly, const double m[4][4], int32_t height, int32_t width,
                        bool affine, uint32_t extra_mask, ShadowSpanFn fn, void* light,
                        void* scene);

// The lit fraction (0..1) of point p for the face: radius 0 reads one texel, radius
// r > 0 weighs a 2r x 2r window. A texel shadows p when its depth is at most
// (p's light depth - bias) and it was written by another surface than `id`. Points
// outside the map, behind the light or not finite are lit.
double shadow_lookup(const ShadowFace* face, const float p[3], double bias, int32_t radius,
                     uint32_t id);
