// The preview's own copy of a drawing's meshes: triangles with vertex normals and a
// colour per mesh, kept per object the drawing reported, so that the preview never
// reads the drawing while it draws and a mesh the drawing frees cannot be read
// afterwards (objects are known by their address only, never dereferenced after
// their report). Frames of the drawing's animation are built from a private copy of
// the drawing whose tracks are evaluated there. Plain C++; user-interface thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/math/matrix.h"
#include "model/math/types.h"

class MODEL;
class MESH3;
class ZOBJ;
class CAMERA;

// One mesh ready to draw: three vertices per triangle.
struct SceneMesh {
    const void* key = nullptr;   // the drawing's MESH3 (address only)
    std::vector<float> xyz;      // 9 floats per triangle
    std::vector<float> normals;  // 9 floats per triangle (unit vertex normals)
    float rgb[3] = {0.7f, 0.7f, 0.7f};
    size_t triangles() const { return xyz.size() / 9; }
};

// Everything one reported object (a MESH3 or a CONTAINER) brought in.
struct SceneEntry {
    const void* key = nullptr;
    std::vector<SceneMesh> meshes;
};

// Triangles of a mesh with the normals its material's smoothing asks for (all faces,
// smoothing groups, or by angle; flat otherwise), every vertex moved by `move` when
// given. Faces whose corners are not in the block or that have no area are skipped.
// 0, or 8 when memory runs out.
[[nodiscard]] int scene_mesh_build(const MESH3* mesh, const Matrix43* move, SceneMesh* out);

class GlimpseScene {
  public:
    // Detail in percent (1..100): below 100 the meshes go through mesh reduction.
    explicit GlimpseScene(double detail = 100.0) : detail_(detail) {}

    double detail() const { return detail_; }
    void set_detail(double percent);

    // Mirrors `obj`: a MESH3, or every MESH3 inside a CONTAINER (at any depth). A
    // second report of the same object replaces its mirror. Other classes are
    // ignored. 0 or 8.
    [[nodiscard]] int add(ZOBJ* obj);
    // Drops the mirror of `obj` (a reported object, or a mesh inside one). The address
    // is compared only.
    void remove(const void* obj);
    // The whole drawing again: every MESH3 of every layer whose flag is not 0
    // (`layer_flags` in layer order, a missing flag visible; null: all layers).
    // 0, or 8 with the scene left empty (never a part of the drawing).
    [[nodiscard]] int rebuild(MODEL* model, const std::vector<int32_t>* layer_flags);
    // The drawing at `frame` from a private copy of it (the copy is changed: its
    // current frame and its tracks' evaluation state). 0 or 8.
    [[nodiscard]] int build_frame(MODEL* copy, int32_t frame, const std::vector<int32_t>* layer_flags);
    void clear();

    const std::vector<SceneEntry>& entries() const { return entries_; }
    size_t triangle_count() const;
    // Box of every vertex (empty when there is none).
    BBox bounds() const;
    // Counts changes, so that views know when to upload again.
    uint64_t version() const { return version_; }

  private:
    [[nodiscard]] int mirror(ZOBJ* obj, SceneEntry* entry, bool animate);
    // Mirrors every shown mesh and group of `model` anew.
    [[nodiscard]] int mirror_shown(MODEL* model, const std::vector<int32_t>* layer_flags, bool animate);
    [[nodiscard]] int mirror_mesh(MESH3* mesh, SceneEntry* entry, bool animate);
    double detail_;
    std::vector<SceneEntry> entries_;
    uint64_t version_ = 0;
};

// The private copy of a drawing that playback evaluates: the drawing cloned, with its
// frame count and current frame (which the clone does not carry). 0 or 8.
[[nodiscard]] int preview_copy_drawing(MODEL* model, std::unique_ptr<class RTC>* out);

// A place to look from: a camera (perspective) or a stored view direction
// (parallel, fitted to the scene).
struct PreviewCamera {
    bool perspective = false;
    Vec3d eye{0, 0, 1}, target{0, 0, 0}, up{0, 1, 0};
    double lens = 1.0;            // 0.5 / tan(half the horizontal field of view)
    Matrix43 view = kMatIdentity;  // parallel: drawing -> view rotation
};

// The names of the drawing's cameras, then of its stored viewports, in tree order.
std::vector<std::string> preview_view_points(MODEL* model);
// The camera or stored viewport of that name as a place to look from; false when the
// drawing has none of that name (or its values are not finite).
bool preview_camera_of(MODEL* model, const std::string& name, PreviewCamera* out);
// A CAMERA's place at a frame, taken from the private copy's camera of that name
// after evaluating its tracks there. False when the copy has no such camera.
bool preview_camera_at_frame(MODEL* copy, const std::string& name, int32_t frame, PreviewCamera* out);

// The camera commands of the preview: a new CAMERA of the drawing where the preview
// looks from (named "Camera01" on), or the named camera moved there; each one undo
// level. 0, 8, or 13 (no such camera, or a place that is not finite).
[[nodiscard]] int camera_commit_new(MODEL* model, const PreviewCamera& at, std::string* name);
[[nodiscard]] int camera_commit_changed(MODEL* model, const std::string& name, const PreviewCamera& at);
