// The drawing's objects as both renderers read them at the drawing's current frame:
// the layers kept by a layer filter, every face block of a mesh in its moved form and
// every light in its evaluated form. Animated objects are evaluated on private copies
// that the render context keeps until the render ends; the drawing is only read.
#pragma once

#include <cstddef>
#include <functional>

#include "model/math/types.h"

class LAYER;
class LIGHT;
class MESH3;
class MODEL;
struct MaterialRecord;
struct MeshFaceBlock;
struct RenderContext;
struct RenderLayerFilter;

// One face block of a mesh as rendered now: the block (the drawing's or a private
// copy's), its material, the matrix that moves its vertices (null: unmoved) and the
// two key blocks of a morph with their blend factor (both null: no morph). A key
// block whose vertex count differs from the block's is never blended; the caller
// (render_mesh_create) checks that.
struct MeshForm {
    const MeshFaceBlock* block = nullptr;
    const MaterialRecord* material = nullptr;
    const Matrix43* move = nullptr;
    const MeshFaceBlock* key_a = nullptr;
    const MeshFaceBlock* key_b = nullptr;
    double blend = 0.0;
};

// Called once per form; a non-zero result ends the walk and is returned.
using MeshFormFn = std::function<int(const MeshForm&)>;

// Every form of a mesh: its own blocks once when it is not animated now; else, for
// each keyframe track of a private copy evaluated at the drawing's frame, every block
// moved by that track. 0, 8 out of memory, or the callback's result.
[[nodiscard]] int render_mesh_from_object(RenderContext* ctx, MESH3* mesh, const MeshFormFn& fn);

// The light as it shines now: a private evaluated copy (kept by ctx) when the light is
// animated, else the light itself. Null only when *rc is 8 (out of memory).
LIGHT* render_light_from_object(RenderContext* ctx, LIGHT* light, int* rc);

// Calls fn for every layer of the drawing with at least one object whose flag in the
// filter is set (entries past the filter's count, or no filter, mean kept). A non-zero
// result ends the walk and is returned.
[[nodiscard]] int render_for_kept_layers(MODEL* drawing, const RenderLayerFilter* filter,
                                         const std::function<int(LAYER*)>& fn);

// Decodes the pixels of the material's image maps once for this render and holds them
// (in ctx) until it ends. Only running out of memory fails (8); an image that cannot be
// decoded keeps its placeholder pixel and renders as such. 0.
[[nodiscard]] int render_load_images(RenderContext* ctx, const MaterialRecord* m);
