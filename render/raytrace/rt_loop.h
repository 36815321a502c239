// The ray tracer's frame loop: the camera model, primary rays, the trace of one ray to
// its nearest hit, adaptive antialiasing by supersampling, conversion of finished rows
// to 0x00RRGGBB pixels, and the rows traced on every core. The image is cut into fixed
// bands of rows; each band starts with fresh state (one row early under antialiasing,
// as row -1 is for the first band) so the image never depends on the thread count.
// Rows reach the writer in order, one call at a time, from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "render/raytrace/rt_slabs.h"
#include "render/scanline/fog_halo.h"

struct RtColour {
    float r, g, b, f;  // 0..1 after clamping; filter f
};

struct RtCamera {
    Vec3d location{0, 0, 0};
    Vec3d direction{0, 0, 1};  // unit view direction x lens scale
    Vec3d up{0, 1, 0};
    Vec3d right{1, 0, 0};
    double aperture = 0;        // focal blur; 0 = none
    double focal_distance = 1;  // multiple of `direction` that reaches the plane in focus
    bool orthographic = false;
    // Parallel rays start near what they can hit: per tile of kRtTile x kRtTile pixels,
    // row by row with tile_columns a row, how far along the line of sight past
    // `location` the tile's rays start (drawing units). Empty: at `location`.
    std::vector<double> start;
    int tile_columns = 0;
};

// Pixels along a side of the tiles of parallel rays' starts.
inline constexpr int kRtTile = 8;

struct RtThread;

// Colours the nearest hit of a ray; rt_shade when none is given.
using RtShadeFn = std::function<RtColour(RtThread& t, const RtRay& ray, const RtHit& hit, const RtObject* object)>;

// Deepest trace level a frame may ask for (the page offers more; past this a chain of
// mirrors only costs time and stack).
inline constexpr int kRtMaxTraceDepth = 64;
// Rays that would add less than this to a pixel are not traced.
inline constexpr double kRtMinWeight = 1.0 / 512;
// Rays one pixel sample may trace (its primary ray included); the rest are black. A
// handful serve ordinary scenes; nested glass at deep trace levels would branch into
// tens of thousands (images of ordinary scenes stay the same).
inline constexpr int kRtRayBudget = 64;

struct RtFrame {
    int width = 0, height = 0;
    bool antialias = false;
    bool grey = false;
    int max_level = 5;
    RtCamera camera;
    RtObject* objects = nullptr;
    RtSlabs slabs;
    RtColour background{0, 0, 0, 1};
    // The scene material: its texture slot (in full) colours the background where rays
    // leave through the image, its reflection slot by direction elsewhere. Null: the
    // background colour alone.
    const MaterialRecord* scene_material = nullptr;
    RtLight* lights = nullptr;    // linked by next_light
    int light_count = 0;          // lights' index fields run 0..light_count-1
    bool shadows = true;
    bool reflections = true;      // reflected rays traced
    bool pigment_only = false;    // surfaces in their colour, no lights
    bool textures = false;        // materials' texture slots colour surfaces
    bool bumps = false;           // materials' bump slots perturb normals
    FogSettings fog;              // off by default; hit depths in drawing units
    HaloSettings halo;
    // Polled by every band before each row; set: the frame ends as stopped.
    const std::atomic<bool>* stop = nullptr;
    RtShadeFn shade;
    // Called with (image row, width, pixels) in row order; never two calls at once.
    std::function<void(int row, int width, const uint32_t* pixels)> row_writer;
    // Non-zero stops the frame after the row just written.
    std::function<int(int row)> row_done;
};

// Per-thread trace state, reset at every band start.
struct RtThread {
    const RtFrame* frame = nullptr;
    RtArena arena;   // hit lists
    RtQueue queue;
    uint32_t seed = 1;
    int level = -1;
    int budget = kRtRayBudget;  // rays left for the current pixel sample
    // Per light: the object that last blocked it completely (tested first next time).
    std::vector<const RtObject*> shadow_cache;
    std::vector<RtObjectHit> shadow_hits;  // reused by every shadow ray
    // Our own generator: 0..32767, like the C library's rand.
    int rand15() {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) & 0x7FFF);
    }
};

// Rows per band.
inline constexpr int kRtBandRows = 8;

void rt_primary_ray(RtThread& t, RtRay* ray, double x, double y);
// Nearest hit over the frame's objects (hierarchy when on); false when none.
bool rt_find_hit(RtThread& t, const RtRay& ray, RtHit* hit, const RtObject** object);
// Colour of one ray: black past the maximum level or below the least weight, the shading of the nearest hit, or
// the background (rt_background) with filter 1.
RtColour rt_trace(RtThread& t, const RtRay& ray);
// One 0x00RRGGBB pixel from a traced colour: clamped to 0..1 (NaN as 0), then raised to
// the power 2/3; grey scale from the weighted sum.
// The background seen along a ray that hits nothing, before fog.
RtColour rt_background(const RtFrame& f, const RtRay& ray);
// Texture coordinates of the ray on the background image: (u, v) with the image from
// (0, 0) at the top left to (1, 1); false when the ray leaves outside it (or behind).
// A procedural pattern in the scene material's texture slot has coordinates beyond the
// image too, so rays leaving past its edges still see the pattern.
bool rt_background_uv(const RtFrame& f, const RtRay& ray, double uv[2]);
uint32_t rt_pixel(const RtColour& c, bool grey);
// Before tracing (one thread): finds which lights show on the image for the camera
// halo, with their colour there (spot cone, fog, shadows) and their pixel position.
// Nothing shows in parallel views or without a halo.
void rt_prepare_lights(const RtFrame& f);
// Traces rows 0..height-1 on the given number of threads (0: every core). 0 when
// complete, -1 when row_done or the stop flag stopped it; an RtError raised on any
// thread is rethrown.
[[nodiscard]] int rt_trace_rows(const RtFrame& frame, int threads);
