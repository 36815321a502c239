// Scene translation of the ray tracer: the drawing's visible meshes (in their moved
// forms at the current frame, morphs blended) become triangles, its lights become
// light sources, self-lit meshes become point lights whose visible shape is the mesh,
// and the render settings may add up to sixteen default lights. Also the camera: a
// drawing camera, or the parallel default view from above the scene. The drawing is
// only read; every record lives in the frame's arena. Failures raise RtError.
#pragma once

#include <cstdint>
#include <vector>

#include "model/math/types.h"
#include "render/raytrace/rt_loop.h"

class MODEL;
struct RenderContext;
struct RenderLayerFilter;
struct RenderSettings;

// Self-illumination from which a mesh is a light source instead of a surface.
inline constexpr float kRtSelfLitLight = 0.5f;

struct RtScene {
    RtObject* objects = nullptr;  // top-level objects: single triangles and lights
    RtLight* lights = nullptr;    // linked by next_light
    int object_count = 0;
    int light_count = 0;          // lights are numbered 0..light_count-1 (RtLight::index)
    BBox box = kEmptyBBox;        // scene box in the image frame (ctx->matrix)
    BBox in_view = kEmptyBBox;    // without a camera: the box of what lies inside the image window
    int64_t faces = 0;            // faces of the meshes translated
    // Without a camera: per tile of kRtTile x kRtTile pixels (row by row, tile_columns
    // a row), the least and greatest image-frame depth of the faces' parts that the
    // tile's rays can meet; lo above hi where none.
    std::vector<double> tile_lo, tile_hi;
    int tile_columns = 0;
};

// Translates the meshes (from the layers kept by the filter when a camera is used and
// not only the selection is rendered, else from the settings' object buffer) and the
// lights of the kept layers. Mesh preparation reports to the context's progress record
// (phase 0); a stop raises -1. Out of memory raises 8.
void rt_translate(RenderContext* ctx, MODEL* drawing, const RenderLayerFilter* layers, RtArena& arena,
                  RtScene* scene);

// Adds a point light for each set bit of the settings' default-light mask, at the box's
// centre plus the bit's direction times the box diagonal (image frame, then back to
// drawing coordinates through ctx->inverse). The box: in a parallel view that of what
// lies in the image window, else the scene box; an empty one counts as a unit box at
// the origin.
void rt_default_lights(const RenderContext* ctx, RtArena& arena, RtScene* scene);

// The camera for a width x height image: through the context's camera (perspective),
// else parallel rays along the view's depth axis with square pixels, each starting at
// the scan-line renderer's parallel eye distance above the top of what its tile of
// pixels can meet (as far above its bottom as rays reach where that spans more than
// they can cover). Also the fog's
// reference distance (drawing units): the camera's distance to its target, or that eye
// distance.
void rt_setup_camera(const RenderContext* ctx, const RtScene& scene, RtCamera* camera, double* fog_distance);

// Puts a finished object on the scene's list: a union (not a light) is dissolved into
// its children, so the list holds single triangles and light sources.
void rt_link_object(RtScene* scene, RtObject* o);
