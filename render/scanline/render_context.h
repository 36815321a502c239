// The working state of one render: what the renderer would otherwise keep in
// process-wide variables. render_scene makes one on its stack, the stages fill it in
// order, and the render threads only read it (each band writes its own rows and its
// own lights' screen fields).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/math/types.h"
#include "model/rtc/rtc.h"
#include "render/scanline/fog_halo.h"
#include "render/scanline/render_mesh.h"
#include "render/scanline/render_settings.h"

class RTC;
class CAMERA;
class MATRPATT;
struct ImageDC;
struct RasterImage;

struct RenderContext {
    uint32_t flags = 0;            // working copy of the settings' flags
    const RenderSettings* settings = nullptr;
    RenderProgress* progress = nullptr;

    ImageDC* target = nullptr;     // the caller's image
    ImageDC* render_target = nullptr;  // the target, or the draft image
    RasterImage* draft_image = nullptr;  // owned while drafting
    double draft_scale = 1.0;
    int32_t width = 0, height = 0;     // working size (width', height')
    int32_t full_width = 0, full_height = 0;

    Matrix43 matrix = {{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}};   // drawing -> image frame
    Matrix43 inverse = {{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}};
    bool perspective = false;
    const CAMERA* camera = nullptr;   // used only in perspective
    double focal = 1.0;               // focal length in working pixels
    double window[4] = {0, 0, 0, 0};  // image-plane window: x0, y0, x1, y1

    BBox bounds = kEmptyBBox;  // scene bounds in the image frame
    double gamma_exponent = 1.0;
    double ambient = 0.0;
    double viewer_factor = 1.0;
    // Drawn once per render: mixed into the per-pixel seeds of the materials'
    // randomness, so that noise changes from render to render but not with threads.
    uint32_t noise_seed = 0;
    // Set once the lights are gathered: no light of any kind and no ambient level.
    bool no_light = false;

    // Eye data for shading.
    Vec3d eye = {0, 0, 0};
    Vec3d view_dir = {0, 0, 1};
    double focal_distance = 1.0;
    double fog_distance = 1.0;

    FogSettings fog;
    HaloSettings halo;
    float background_amount = 1.0f;  // the scene's first slot applies in full
    double background_scale_u = 1.0, background_scale_v = 1.0;

    RenderMesh* meshes = nullptr;   // owned list
    RenderLight* lights = nullptr;  // owned list
    std::vector<std::unique_ptr<RTC>> copies;  // moved copies of animated objects
    // Texture images the render samples, held until it ends (hold_pixels).
    std::vector<MATRPATT*> held_images;

    int32_t threads = 1;
    int64_t running = 0;  // work done before the rows (under the progress lock)
    std::atomic<int32_t> rows_reported{0};
    int32_t rows_done_max = -1;  // highest target row reported

    RenderContext() = default;
    RenderContext(const RenderContext&) = delete;
    RenderContext& operator=(const RenderContext&) = delete;
    ~RenderContext();
};

// Pushes a zeroed omni light at `position` with `colour` on the scene light list;
// null when out of memory.
RenderLight* render_light_add(RenderContext* ctx, const Vec3* position, const float colour[4]);
// Frees the light list.
void render_lights_free(RenderContext* ctx);

// The number of threads renders use: 0 (the default) means every core.
void render_set_thread_count(int32_t n);
int32_t render_thread_count();

// Runs fn(i) for i in 0..n-1 over `threads` threads (each takes the next i in turn). The
// result of each call must not depend on which thread ran it.
template <class Fn>
void render_parallel_for(int32_t threads, int64_t n, Fn&& fn);

// Where default light i (0..15) stands, in drawing coordinates: the centre of the scene
// bounds (image frame) plus the light's direction times their diagonal, taken back
// through `inverse`. Worked in doubles; a position beyond the range of floats (a
// vertex near the largest float makes the bounds that large) is drawn in along its
// direction from the centre until it fits, so every light stays finite.
Vec3 render_default_light_position(const BBox& bounds, int light, const Matrix43& inverse);

// A fresh seed for one render's material noise, from a process-wide generator.
uint32_t render_next_noise_seed();

// The step callback of the stages: calls the progress callback with the work done so
// far (serialised) and answers non-zero once a stop was asked. The caller's running
// `count` is not used: the stages count their work through render_work.
int render_step(void* ctx, int64_t count);
// Adds `items` to the work done before the rows, reports it as the progress record's
// current value (never beyond its total) and answers non-zero once a stop was asked.
int render_work(RenderContext* ctx, int64_t items);

#include "render/scanline/render_parallel.inl"
