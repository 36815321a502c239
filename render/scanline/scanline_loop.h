// The scan-line loop: projects the clipped triangles into a sample grid (3 x 3 per
// pixel with antialiasing), walks the sample lines in bands over the render threads
// with an active-triangle list, keeps for every sample a depth-sorted list of the
// triangles covering it, and resolves each pixel row front to back through the pixel
// routines, with transparency, fog, background and light visibility; then the light
// halos. Rows go to the render target through its row routine and are reported
// through the progress record.
//
// The image does not depend on the number of threads or bands: every band starts as
// if its first line were the image's first, and fragments of equal depth keep the
// triangle that comes first in the scene (list order), whatever the order of insertion.
#pragma once

#include <cstdint>

#include "render/scanline/render_context.h"

// Most fragments a sample keeps (the nearest ones).
inline constexpr int kSampleFragments = 32;

// What the loop gives when its buffers cannot be allocated.
inline constexpr int kScanlineNoMemory = 1;

// The whole loop over ctx's meshes and lights: projection, then the wire-edge pass
// (kRenderWireEdges) or the line loop and the halo pass. 0, -1 when stopped, 1 when
// the sample buffers cannot be allocated.
[[nodiscard]] int render_scanline(RenderContext* ctx);

// Writes one row of 32-bit pixels (blue in bits 0-7, green 8-15, red 16-23) into the
// render target at row `row` and reports it (draft images are scaled into the target
// two rows at a time, rows past the target's bottom neither written nor reported).
// Non-zero when a callback asked to stop. Serialised through the progress lock.
int render_emit_row(RenderContext* ctx, int32_t row, const uint32_t* pixels);

// The output bytes of a colour: grey (kRenderGrey) or per channel, c^(1/gamma) x 255
// truncated, as a pixel word.
uint32_t render_pixel_word(const RenderContext* ctx, const float colour[3]);
