// The render entry: turns one frame of a drawing, through a camera or the parallel
// view, into a 24-bit image. It checks the target and settings, builds the projection,
// gathers the meshes and lights of the scene (animated ones as private moved copies:
// the drawing is only read), prepares and clips the meshes, lights them and runs the
// scan-line loop over every core; or hands the frame to the ray tracer.
//
// Results: 0 done; 8 out of memory; 1 the sample buffers cannot be allocated or the
// ray tracer is missing; 13 no target, a target that is not 1 plane x 24 bits, or a
// camera without a line of sight or a finite positive lens; -1 stopped by a callback.
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/scanline/render_settings.h"

class CAMERA;
class MODEL;
struct ImageDC;
struct ViewProjection;
class buffer;

// One visibility flag per layer of the drawing in ring order. Entries past `count`
// (or a null array) mean visible.
struct RenderLayerFilter {
    const int32_t* flags = nullptr;
    size_t count = 0;
};

int render_scene(ImageDC* target, RenderSettings* settings, const ViewProjection* view,
                 MODEL* drawing, const RenderLayerFilter* layers, const CAMERA* camera,
                 RenderProgressFn progress, RenderRowDoneFn row_done, void* context);

// The ray tracer's entry; until the ray tracer exists it renders nothing and answers 1.
int rt_render(MODEL* drawing, const RenderLayerFilter* layers, RenderSettings* settings,
              int32_t width, int32_t height, const CAMERA* camera, RenderProgress* progress);

// Depth bounds for the Render page's camera set-up: the parallel frame of `view` for a
// width x height image, grown by every mesh of `objects` (containers walked); eye_z
// is the bounds' maximum z plus the eye distance for the page's perspective value,
// focal the half depth extent plus that distance. 0; 1 when nothing was found (eye_z
// and focal then come from an empty scene at the origin).
int render_depth_bounds(const ViewProjection* view, buffer* objects, int32_t width,
                        int32_t height, int32_t perspective, double* eye_z, double* focal);

// A camera fitted to the parallel view (origin and scale of `view`, image width x
// height, the two depth-bound results): position, target, up vector and lens written
// into `camera`. 13 for a width below 1 or a scale that is not positive.
int render_fit_camera(const ViewProjection* view, int32_t width, int32_t height, double eye_z,
                      double focal, CAMERA* camera);
