// Raster operations: the innermost pixel loops of the raster library. The 16
// binary raster operations as tables of small routines (by operand form and
// pixel size), span conversions between packed pixels and 32-bit row words,
// span fills, the bit-run operation of planar images, one-pixel line stepping,
// 1-bit mask expansion and the fixed-point arithmetic of the area-averaging
// scaler.
//
// An operation number 0..15 is a truth table over the source (or colour) S and
// the destination D, applied bitwise: bit 0 gives the result for S = 1, D = 1,
// bit 1 for S = 1, D = 0, bit 2 for S = 0, D = 1, bit 3 for S = 0, D = 0
// (3 copies S, 5 leaves D, 6 is S xor D).
//
// These routines take plain pointers and counts and check nothing: the caller
// passes buffers that hold every byte the routine is documented to touch. No
// routine reads or writes a byte beyond the last pixel of its span. Pointers
// need no alignment. Re-entrant.
#pragma once

#include <cstddef>
#include <cstdint>

// A row word: one pixel in a 32-bit word; bit 28 marks a transparent pixel
// where a routine says so.
inline constexpr uint32_t kRowWordTransparent = 0x10000000u;

// Result of operation op (0..15) on s and d, bitwise.
constexpr uint32_t rop_apply(int op, uint32_t s, uint32_t d) {
    uint32_t r = 0;
    if (op & 1) r |= s & d;
    if (op & 2) r |= s & ~d;
    if (op & 4) r |= ~s & d;
    if (op & 8) r |= ~s & ~d;
    return r;
}

// Byte combine: the combined byte of s and *d; stores nothing.
using RopByteFn = uint8_t (*)(uint8_t s, const uint8_t* d);
// Word span: combines count 16-bit source words into the destination words;
// both pointers advance by count words. Source and destination may be the
// same span, or the destination may lie before the source.
using RopWordSpanFn = void (*)(const uint8_t** src, uint8_t** dst, size_t count);
// Pixel: combines the colour (its low 1, 2 or 3 bytes) into the pixel at d and
// returns d advanced by one pixel.
using RopPixelFn = uint8_t* (*)(uint32_t colour, uint8_t* d);

extern const RopByteFn rop_byte_table[16];
extern const RopWordSpanFn rop_word_span_table[16];
extern const RopPixelFn rop_pixel8_table[16];
extern const RopPixelFn rop_pixel16_table[16];
extern const RopPixelFn rop_pixel24_table[16];

// Combines count bytes of src into dst with op (any op); dst may equal src, or
// lie before it when the spans overlap (a forward walk).
void rop_span_bytes(uint8_t* dst, const uint8_t* src, size_t count, int op);

// Span conversions: destination first, then source, then the pixel count.
void span_bytes_to_words(uint32_t* dst, const uint8_t* src, size_t count);
void span_bytes_to_words_lut(uint32_t* dst, const uint8_t* src, const uint32_t* table, size_t count);
void span_words_to_bytes(uint8_t* dst, const uint32_t* src, size_t count);
// Low three bytes of each word as 3-byte pixels; writes exactly 3 * count bytes.
void span_words_to_rgb24(uint8_t* dst, const uint32_t* src, size_t count);
// 3-byte pixels into the low three bytes of words; reads exactly 3 * count bytes.
void span_rgb24_to_words(uint32_t* dst, const uint8_t* src, size_t count);
// As span_words_to_rgb24, but a word with bit 28 set leaves its pixel unchanged.
void span_words_to_rgb24_keyed(uint8_t* dst, const uint32_t* src, size_t count);
// Every three source words (one per channel) become one pixel word: bytes 0, 1,
// 2 are the low bytes of the three words in order; byte 3 keeps its value.
void span_channels_to_rgb24(uint32_t* dst, const uint32_t* src, size_t count);
// Each byte replaced in place by table[byte]; table has 256 entries.
void span_translate_bytes(uint8_t* buffer, const uint8_t* table, size_t count);

// Fills: count pixels set to value (its low 2 or 3 bytes).
void span_fill16(uint8_t* dst, uint32_t value, size_t count);
void span_fill24(uint8_t* dst, uint32_t value, size_t count);
// span_fill24 with stores that bypass the caches where the processor has them: for
// fills far larger than the caches, which would only evict other data. The stores
// are ordered with later ones only after span_stream_fence().
void span_fill24_stream(uint8_t* dst, uint32_t value, size_t count);
void span_stream_fence();
// A fill of at least this many bytes in all goes through span_fill24_stream.
inline constexpr uint64_t kStreamFillBytes = uint64_t{16} << 20;
// Fills with an operation: count pixels of 1, 2 or 3 bytes (bytes_per_pixel)
// combined with value by op. Copies, inversions, 0 and 15 are stores; `stream`
// makes 3-byte stores span_fill24_stream (the caller fences).
void span_fill_op(uint8_t* dst, int bytes_per_pixel, uint32_t value, size_t count, int op,
                  bool stream = false);

// One row of one plane of a planar image. Destination bytes from dst: byte 0,
// touched only when left_mask is not 0; bytes 1..middle, combined whole; byte
// middle + 1, touched only when right_mask is not 0. A masked byte becomes
// (r & mask) | (d & ~mask). The 8 source bits of destination byte k start at
// source bit 8k - shift (bit 0 the most significant bit of src[0]); shift is
// -7..7. Source bytes outside 0..src_bytes - 1 are never read (they read as 0;
// callers mask such bits off). backwards walks from the right end, for an
// overlapping run whose destination lies right of its source.
void planar_run_op(uint8_t* dst, const uint8_t* src, uint8_t left_mask, size_t middle,
                   uint8_t right_mask, int shift, size_t src_bytes, int op, bool backwards);

// Line stepping from start over count pixels. fraction and slope are 16-bit
// fixed-point fractions (the low 16 bits are used). kind > 0: x-major (each
// step one pixel right, one row on a carry of the fraction); kind < 0: y-major
// (one row per step, one pixel right on a carry); kind 0: diagonal. row_stride
// is negative for lines going up. Each pixel takes the next pattern bit (bit 0
// first, the pattern rotating right by one per pixel) and is drawn with op only
// when that bit is 1; op 3 with pattern 0xFFFFFFFF stores directly. Returns the
// pattern after the last pixel.
uint32_t line_pixels8(uint8_t* start, size_t count, uint32_t fraction, uint32_t slope, int kind,
                      ptrdiff_t row_stride, uint32_t colour, int op, uint32_t pattern);
uint32_t line_pixels16(uint8_t* start, size_t count, uint32_t fraction, uint32_t slope, int kind,
                       ptrdiff_t row_stride, uint32_t colour, int op, uint32_t pattern);
uint32_t line_pixels24(uint8_t* start, size_t count, uint32_t fraction, uint32_t slope, int kind,
                       ptrdiff_t row_stride, uint32_t colour, int op, uint32_t pattern);

// Mask expansion over rows x count pixels: mask bits start at bit first_bit of
// mask (most significant bit of each byte first) and advance by mask_stride
// bits a row; the destination advances by dst_stride bytes a row. A pixel whose
// mask bit, exclusive-or invert (0 or 1), is 1 is combined with the colour by
// op; the others are left.
void mask_expand8(uint8_t* dst, const uint8_t* mask, size_t first_bit, size_t count, size_t rows,
                  size_t mask_stride, ptrdiff_t dst_stride, uint32_t colour, int op, int invert);
void mask_expand16(uint8_t* dst, const uint8_t* mask, size_t first_bit, size_t count, size_t rows,
                   size_t mask_stride, ptrdiff_t dst_stride, uint32_t colour, int op, int invert);
void mask_expand24(uint8_t* dst, const uint8_t* mask, size_t first_bit, size_t count, size_t rows,
                   size_t mask_stride, ptrdiff_t dst_stride, uint32_t colour, int op, int invert);

// Scaler arithmetic. Weights have 14 fraction bits (16384 is 1.0); k factors
// are the scale factor times 16384; sums are 32-bit accumulators.
// (a << 28) / b in 64 bits, signed; b must not be 0.
int64_t fix28_recip(int64_t a, int64_t b);
// Each accumulator v becomes min(255, (v * k + 0x8000000) >> 28).
void row_normalise(uint32_t* row, uint32_t k, size_t count);
// dst[i] += src[i] * weight.
void row_accumulate_weighted(uint32_t* dst, const uint32_t* src, uint32_t weight, size_t count);
// dst[i] += src[i] << 14.
void row_accumulate_full(uint32_t* dst, const uint32_t* src, size_t count);
// One output pixel from the 4-byte source pixels start..end (start < end):
// pixel start weighted by first_weight (skipped when 0), the pixels between at
// full weight, pixel end by last_weight; each channel normalised by k as in
// row_normalise. out receives three words: channel of byte 2, byte 1, byte 0.
void pixel_area_average(uint32_t* out, const uint32_t* pixels, uint32_t first_weight,
                        uint32_t last_weight, uint32_t k, size_t start, size_t end);
