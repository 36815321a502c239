// The renderer's one-time set-up and its two raster hooks: a line in a palette colour
// and a row of 32-bit pixels into the render target (the ray tracer's row writer).
#pragma once

#include <cstdint>

struct RenderContext;

// One-time tables (once per process, thread-safe); called at start-up and at the
// start of every render.
void render_init_hooks();
// The preview's band table: cos(k pi / 17) for k = 0..17.
const double* render_band_table();

// Draws one segment in palette colour `colour` into the render target (pen clipped to
// the target). 0.
int render_line_hook(RenderContext* ctx, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                     int32_t colour);
// Writes a row of `width` pixel words (blue bits 0-7, green 8-15, red 16-23) at row
// `row` of the render target. 0; 13 for a row or width outside the target.
[[nodiscard]] int render_row_hook(RenderContext* ctx, int32_t row, int32_t width, const uint32_t* pixels);
