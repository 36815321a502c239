// Ordered dithering and area-averaging scaling of true-colour pixels.
//
// Pixels are three bytes in memory order byte 0, 1, 2 (blue, green, red), or
// 32-bit words with byte 0 in bits 0-7, byte 1 in 8-15 and byte 2 in 16-23.
// Dithering uses the 8 x 8 Bayer matrix (thresholds 0..63, pixel (x, y) takes
// entry [(y & 7) * 8 + (x & 7)]) onto three fixed layouts:
// - 4 bits: a 3 x 3 x 3 cube (levels 0x00, 0x7F, 0xFF per byte) mapped onto
//   a 16-colour palette by palette_build_cube27;
// - 8 bits: index 32 + 32 * red(7 levels) + 8 * blue(4) + green(8), 32..255;
// - 15 bits: 5 bits per channel, red in bits 10-14; the scaler's 16-bit form
//   puts red in 11-15 and green in 6-10 (bit 5 clear).
//
// Scale factors are destination pixels per source pixel (2.0 doubles, 0.5
// halves); factors outside kScaleMin..kScaleMax (or not finite) are refused.
// The cube table and nothing else is module state; set it up on the user-
// interface thread before dithering to 4 bits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/raster/raster.h"

inline constexpr double kScaleMin = 1.0 / 256;
inline constexpr double kScaleMax = 4096.0;

// The Bayer matrix, row by row.
extern const uint8_t kDitherMatrix[64];

// Quantisation of one channel to `levels` output levels (32, 8, 7, 4 or 3):
// base level and remainder (0..64) of value v. The output level is base + 1
// when the remainder exceeds the pixel's threshold, else base. Other level
// counts give base 0 and remainder 0.
uint8_t dither_base(int levels, uint8_t v);
uint8_t dither_remainder(int levels, uint8_t v);
// The dithered level of v at threshold t (0..63).
int dither_level(int levels, uint8_t v, int threshold);

// Fills the 27-entry cube table with the nearest of the first 16 colours
// (colour words) for each cube colour.
void palette_build_cube27(const uint32_t* palette_colours);
// Entry (a * 3 + b) * 3 + c: byte 0 at level a, byte 1 at b, byte 2 at c.
uint32_t cube27_entry(int index);

// Dithers count words in place; the word at index i sits at (x + i, y).
// Depth 4: cube entry; 8: palette index; 15 and 16: a word whose three bytes
// are the 5-bit levels times 8. Other depths leave the row.
void dither_row_rgb32(uint32_t* row, int x, int y, int count, int depth);
// Dithers count 3-byte source pixels into dst: one byte per pixel for depth
// 4 and 8, one 16-bit word (15-bit form) for 15 and 16, a copy for 24 (none
// when dst == src); other depths write nothing. dst may equal src for 4, 8,
// 15 and 16.
void dither_row_rgb24(void* dst, const uint8_t* src, int x, int y, int count, int depth);

// One pixel word dithered at (x, y): kind 0 the cube entry, 1 the 8-bit
// index, 2 the 15-bit form, 3 the scaler's 16-bit form.
uint32_t dither_pixel(uint32_t pixel, int x, int y, int kind);

// What the scalers give when their buffers cannot be allocated.
inline constexpr int kScaleNoMemory = 1;

// Fills the width x height rectangle at (dx, dy) of dst with the area average
// of src: fx, fy destination pixels per source pixel, ox, oy an offset in
// source pixels, (sx, sy) the rectangle's place in the scaled source in
// destination pixels. Rows are written through dst's write row routine
// (dithered below 24 bits). 0 when done or nothing is visible, 1 when out of
// memory, 13 for a bad context or a refused factor.
[[nodiscard]] int image_scale_rect(ImageDC* dst, int dx, int dy, int width, int height, ImageDC* src, int sx, int sy,
                                   double ox, double oy, double fx, double fy, uint32_t op);

// One destination row y (pixels x..x + width - 1) of a picture of 3-byte
// pixels (source width x source height, rows packed) scaled by fx, fy, into
// row (width words, 4-byte pixel words), dithered for depth. Words whose
// position lies outside the scaled picture are 0. -1 when nothing is
// visible, 1 when out of memory, 13 for bad arguments or a refused factor,
// else 0.
[[nodiscard]] int image_scale_row(uint32_t* row, int x, int y, int width, int depth, const uint8_t* source,
                                  int source_width, int source_height, int sx, int sy, double fx, double fy);
