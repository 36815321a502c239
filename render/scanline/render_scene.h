// The render entry: turns one frame of a drawing, through a camera or the parallel
// view, into a 24-bit image. It checks the target and settings, builds the projection,
// gathers the meshes and lights of the scene (animated ones as private moved copies:
// the drawing is only read), prepares and clips the meshes, lights them and runs the
// scan-line loop over every core; or hands the frame to the ray tracer.
//
// Results: 0 done; 8 out of memory; 1 the sample buffers cannot be allocated or the
// ray tracer is not installed; 153 (or another code) a ray-tracer failure, its text in
// render_last_message(); 13 no target, a target that is not 1 plane x 24 bits, or a
// camera without a line of sight or a finite positive lens; -1 stopped by a callback.
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/scanline/render_settings.h"

class CAMERA;
class MODEL;
struct ImageDC;
struct ViewProjection;
struct RenderContext;
class buffer;

// One visibility flag per layer of the drawing in ring order. Entries past `count`
// (or a null array) mean visible.
struct RenderLayerFilter {
    const int32_t* flags = nullptr;
    size_t count = 0;
};

[[nodiscard]] int render_scene(ImageDC* target, RenderSettings* settings, const ViewProjection* view,
                               MODEL* drawing, const RenderLayerFilter* layers, const CAMERA* camera,
                               RenderProgressFn progress, RenderRowDoneFn row_done, void* context);

// The ray tracer's entry as render_scene calls it when the flags ask for ray tracing:
// the render context holds the settings, the projection (drawing to image frame and
// back), the camera (only in perspective), the target and the progress record. The ray
// tracer's library installs it (rt_install, called by app_start in
// app/startup/window_side.cpp); until then such renders answer 1.
using RayTraceFn = int (*)(RenderContext* ctx, MODEL* drawing, const RenderLayerFilter* layers);
void render_set_ray_tracer(RayTraceFn fn);

// The text of the last failure of render_scene on the calling thread that has one of
// its own (the ray tracer's messages), else empty. Renders run on worker threads, which
// must never ask the user: the caller shows it (after "ERROR") on its window thread.
const char* render_last_message();
// Sets that text (at most 255 characters are kept); null or "" clears it.
void render_set_message(const char* text);

// True when the last render_scene on the calling thread found no light at all: no
// light in the drawing, no default light and no ambient level (its picture is black
// but for self-illuminated surfaces). The render job tells it with the timing.
bool render_last_found_no_light();

// Depth bounds for the Render page's camera set-up: the parallel frame of `view` for a
// width x height image, grown by every mesh of `objects` (containers walked); eye_z
// is the bounds' maximum z plus the eye distance for the page's perspective value,
// focal the half depth extent plus that distance. 0; 1 when nothing was found (eye_z
// and focal then come from an empty scene at the origin); 8 when out of memory (a mesh
// that could not be prepared whole gives no bounds).
[[nodiscard]] int render_depth_bounds(const ViewProjection* view, buffer* objects, int32_t width,
                                      int32_t height, int32_t perspective, double* eye_z, double* focal);

// A camera fitted to the parallel view (origin and scale of `view`, image width x
// height, the two depth-bound results): position, target, up vector and lens written
// into `camera`. 13 for a width below 1 or a scale that is not positive.
[[nodiscard]] int render_fit_camera(const ViewProjection* view, int32_t width, int32_t height, double eye_z,
                                    double focal, CAMERA* camera);
