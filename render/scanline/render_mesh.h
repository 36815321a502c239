// The renderer's record of one face block of a mesh, and the preparation of face and
// corner normals shared by the scan-line renderer, the ray tracer and the preview:
// faceted, smooth over all faces, smooth within smoothing groups, or smooth across
// edges sharper than the material's crease angle.
//
// A RenderMesh never points into the drawing except for its material and source block,
// which it only reads: vertices, edges and faces are private copies that the renderer
// transforms, clips and projects.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/math/types.h"

struct MaterialRecord;
struct MeshFaceBlock;
struct PreparedNormals;

// A normal with its done flag. In the renderer's form it is also a vertex shading
// record: the light pass overwrites the first two floats with the diffuse and
// highlight intensities and sets the flag.
struct ShadeRecord {
    float v[3] = {0, 0, 0};
    uint8_t done = 0;
};

struct RenderVertex {
    Vec3d world;     // drawing coordinates (moved by the mesh's track when animated)
    Vec3d image;     // through the image matrix (camera space, or the parallel frame)
    double sx = 0.0;  // sample column (real), after projection
    double sy = 0.0;  // sample line (real)
    double depth = 0.0;  // grows away from the eye
    float u = 0.0f, v = 0.0f;  // per-vertex texture coordinates, when the mesh has them
    uint8_t finite = 1;  // 0: a coordinate is not finite; its faces are never drawn
};

struct RenderEdge {
    int32_t v[2] = {0, 0};
    float uv[4] = {0, 0, 0, 0};  // u, v at both ends (grid coordinates)
};

// One triangle. Corners a, b, c (vertex indices, around the face) and the three
// edges; corner k's shading record is shade[k]. After the scan-line set-up the
// corners run top first and `order` says which edge is which.
struct RenderTriangle {
    int32_t corner[3] = {-1, -1, -1};
    int32_t edge[3] = {-1, -1, -1};
    int32_t shade[3] = {-1, -1, -1};
    float uv[6] = {0, 0, 0, 0, 0, 0};  // texture coordinates at the three corners
    Vec3 normal = {0, 0, 0};  // unit face normal (zero for a face without area)
    uint8_t drawable = 1;     // 0: broken topology or no area; never drawn
};

struct RenderMesh {
    RenderMesh() = default;
    RenderMesh(const RenderMesh&) = default;
    RenderMesh& operator=(const RenderMesh&) = default;
    // Hands the vertex, triangle and shading arrays to the next render (render_scratch.h).
    ~RenderMesh();
    RenderMesh* next = nullptr;
    std::vector<RenderTriangle> triangles;
    std::vector<RenderVertex> vertices;
    std::vector<RenderEdge> edges;  // empty until needed: then the block's edges
    bool has_vertex_uv = false;
    bool has_edge_uv = false;
    std::vector<ShadeRecord> shade;   // the normal pool / shading records
    const MaterialRecord* material = nullptr;  // not owned
    const MeshFaceBlock* block = nullptr;      // source, read only
    int32_t tag = 17459;  // 1 with a camera, else the object's file id
    int32_t rows = 0, columns = 0;  // grid size of the source block
    uint32_t first_triangle = 0;    // scene-wide number of triangle 0 (tie order)
    uint32_t surface_id = 0;        // 1, 2, ... per render: the writer of shadow-map texels
    std::shared_ptr<const PreparedNormals> prepared;  // the kept normals it was prepared with
};

// Step callback of long preparations: (context, running count) -> non-zero to stop.
using RenderStepFn = int (*)(void* context, int64_t count);

// Growth of a box by prepared vertices: the matrix they go through first.
struct BoundsGrowth {
    const Matrix43* matrix = nullptr;
    BBox* box = nullptr;
};

// Prepares the normals of one face block with the material's smoothing flags (the
// faceted flag or neither kMaterialSmoothAlways nor kMaterialSmoothByAngle: one
// normal per face; `force_angle` smooths by angle whatever the flags). `pool`
// receives the unit normals (zero where faces have no area or cancel out) and
// `corners` three pool indices per face (-1 for a face whose first two edges share no
// vertex or name vertices outside the block). The step callback is polled every 512
// faces and once at the end with `*running` grown by the face count. With `bounds`,
// every face's corners grow the box through the matrix. 0, 8 out of memory, -1 when
// stopped; on failure the outputs are empty.
[[nodiscard]] int render_mesh_prepare(const MeshFaceBlock* block, const MaterialRecord* material,
                                      std::vector<ShadeRecord>* pool, std::vector<int32_t>* corners,
                                      RenderStepFn step, void* step_context, int64_t* running, bool faceted,
                                      bool force_angle, const BoundsGrowth* bounds);

// The same over a RenderMesh's own vertex, edge and triangle arrays: fills each
// triangle's corners, face normal and shading records. With `threads` above 1 the work
// is split over that many threads, and the step callback must then be safe to call
// from any of them; the records come out the same.
// `reuse` false neither uses nor keeps kept normals (one-off preparations).
[[nodiscard]] int render_mesh_prepare_record(RenderMesh* mesh, RenderStepFn step, void* step_context,
                                             int64_t* running, bool faceted, int32_t threads = 1,
                                             bool reuse = true);

// The normals of large meshes (65,536 faces and more) are kept for the next render
// while the block's faces and edges, the vertex positions and the smoothing settings
// stay the same, and used again instead of being prepared anew (the same records).
// Faceted and smooth preparations of one block are kept apart. A block whose kept
// normals no longer fit is not kept again until it is seen twice unchanged, so a
// mesh that changes every frame is not copied every frame.
// Off drops what is kept and prepares every mesh anew (for tests); on by default.
void render_mesh_keep_prepared(bool on);

// A mesh prepared with kept normals keeps with them the box its vertices grew by the
// image window, for one matrix and window: the box when `matrix` and `window` are
// those, else false.
bool render_mesh_window_box(const RenderMesh* mesh, const Matrix43& matrix,
                            const double window[4], BBox* box);
void render_mesh_keep_window_box(const RenderMesh* mesh, const Matrix43& matrix,
                                 const double window[4], const BBox& box);

// Lets go of everything kept between renders: the kept normals and the working arrays
// of render_scratch.h. A render job calls it when it ends (after its last frame).
void render_release_kept();

// What is kept now, and how often kept normals were kept and used again (for tests).
struct RenderKeptStats {
    int64_t normals_reused = 0;  // preparations answered from kept normals, ever
    int64_t normals_kept = 0;    // preparations copied to be kept, ever
    int32_t meshes_kept = 0;     // blocks whose normals are kept now
    size_t scratch_bytes = 0;    // bytes of the kept working arrays
};
RenderKeptStats render_kept_stats();

// A RenderMesh with copies of the block's vertices, edges and faces; null when out of
// memory. With two key blocks of the same vertex count each vertex is first blended
// (key_a x blend + key_b x (1 - blend)); then it is moved by `move` when given.
RenderMesh* render_mesh_create(const MeshFaceBlock* block, const MaterialRecord* material,
                               const Matrix43* move, const MeshFaceBlock* key_a = nullptr,
                               const MeshFaceBlock* key_b = nullptr, double blend = 0.0,
                               int32_t threads = 1);
// Copies the source block's edges into the record when it has none yet (clipping,
// grid coordinates and wire edges need them). 0, or 8 when out of memory.
[[nodiscard]] int render_mesh_edges(RenderMesh* mesh);
// Frees the record and clears the pointer.
void render_mesh_release(RenderMesh** mesh);
// Frees a whole list.
void render_mesh_list_free(RenderMesh** list);
