// The records the scan-line renderer and the ray tracer share with their callers: the
// render settings of a viewport, its flags word, the progress and stop record of one
// render and the renderer's light record.
//
// Ownership: RenderSettings owns its scene material; its object buffer is the caller's.
// RenderProgress lives on the stack of render_scene for one render. Progress and
// row-done callbacks may be called from any render thread, but never two at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "model/material/material.h"
#include "model/math/types.h"

class buffer;
struct ImageDC;

// Bits of RenderSettings::flags.
inline constexpr uint32_t kRenderFlat = 0x1;
inline constexpr uint32_t kRenderGouraud = 0x2;  // also what no method means
inline constexpr uint32_t kRenderPhong = 0x4;
inline constexpr uint32_t kRenderTextures = 0x8;
inline constexpr uint32_t kRenderPhongTextures = 0x10;  // set by the renderer: 0x4 and 0x8
inline constexpr uint32_t kRenderShadows = 0x20;        // always set by the renderer
inline constexpr uint32_t kRenderAntialias = 0x40;      // 3 x 3 samples a pixel
inline constexpr uint32_t kRenderAmbient = 0x80;        // ambient level 0.15
inline constexpr uint32_t kRenderSelectedOnly = 0x100;  // only the settings' object buffer
inline constexpr uint32_t kRenderWireEdges = 0x400;     // mesh edges instead of shading
inline constexpr uint32_t kRenderPerspective = 0x800;   // through the camera
inline constexpr uint32_t kRenderDraft = 0x1000;        // half size, scaled up twice
inline constexpr uint32_t kRenderGrey = 0x4000;         // grey-scale output
inline constexpr uint32_t kRenderRayTrace = 0x8000;
// ORed into the flags (and written back into the settings) before the ray tracer runs.
inline constexpr uint32_t kRenderRayTraceForced = 0x2F0030;

// The render settings of one viewport, in record order. The drawing file keeps them in
// the VIEW's colour sub-chunk (docs/render.md has the mapping).
struct RenderSettings {
    buffer* objects = nullptr;          // rendered without a camera or with 0x100; not owned
    int32_t background_colour = 0;      // palette index of rows that were not rendered
    MaterialRecord material;            // scene material: background, fog (slot amounts)
    uint32_t light_mask = 0;            // bit i switches default light i on (i = 0..15)
    int32_t light_colours[16] = {};     // palette index of each default light
    uint32_t flags = kRenderGouraud;    // kRender* bits
    int32_t perspective = 30;           // 1..100; the renderer clamps it
    int32_t trace_depth = 3;            // ray tracer's maximum trace level
    float gamma = 1.0f;                 // 0.1..10; the output exponent is 1 / gamma
    // The seed of the materials' randomness: 0 (always, from the pages and files) draws
    // a fresh one for each render, so noise changes from run to run; tests give one to
    // repeat a noisy picture.
    uint32_t noise_seed = 0;
};

// Progress callback: (current, total, phase, context) -> non-zero to stop. Phase 0
// while the scene is prepared, 1 while rows are produced.
using RenderProgressFn = int (*)(int32_t current, int32_t total, int32_t phase, void* context);
// Row-done callback: (target, first row, last row, context) -> non-zero to stop. Rows
// are target rows, inclusive; negative rows signal the start of a pass.
using RenderRowDoneFn = int (*)(ImageDC* target, int32_t first, int32_t last, void* context);

struct RenderProgress {
    RenderProgressFn progress = nullptr;
    RenderRowDoneFn row_done = nullptr;
    void* context = nullptr;  // opaque to the renderer
    ImageDC* target = nullptr;
    int32_t current = 0;
    int32_t total = 0;
    int32_t phase = 0;
    // Set once any callback asked to stop; every render thread polls it.
    std::atomic<bool> stop{false};
    // Serialises the callbacks and the counters between render threads.
    std::recursive_mutex lock;
};

// Sets current, total and phase, then calls the progress callback: its result (and
// the stop flag set when non-zero); 0 for a null record or no callback.
int render_progress_set(RenderProgress* p, int32_t current, int32_t total, int32_t phase);
// current + 1, then the progress callback.
int render_progress_step(RenderProgress* p);
// Sets current, then the progress callback.
int render_progress_set_current(RenderProgress* p, int32_t current);
// Calls the row-done callback for target rows first..last: its result (the stop flag
// is set when non-zero); 0 without a callback.
int render_progress_rows(RenderProgress* p, int32_t first, int32_t last);
// Non-zero once a callback asked to stop.
inline bool render_stopped(const RenderProgress* p) {
    return p && p->stop.load(std::memory_order_relaxed);
}

struct ShadowMap;  // render/surface/shadow_map.h

// One light of the scene, in a singly linked list that the render owns.
struct RenderLight {
    RenderLight* next = nullptr;
    uint32_t spot = 0;             // 1 for a spot light
    float colour[4] = {0, 0, 0, 0};
    Vec3 position = {0, 0, 0};     // drawing coordinates
    Vec3 target = {0, 0, 0};       // spots
    float spot_exponent = 0.0f;    // no power when not above 0
    float inner = 0.0f;            // cone cosines; no cone when inner is not above 0
    float outer = 0.0f;
    double shadow_bias = 1.0;
    int32_t shadow_filter = 3;
    ShadowMap* shadow = nullptr;   // owned; spot lights with shadows on, else none (lit)
    // Filled by the projection and the light visibility test of the scan-line loop.
    float screen_colour[4] = {0, 0, 0, 0};
    double screen_depth = 0.0;
    int32_t screen_x = 0, screen_y = 0;
    uint32_t visible = 0;
};
