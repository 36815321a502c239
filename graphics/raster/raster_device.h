// Depth routines of drawing contexts, shared between the raster files: record
// checks, walking an image's segment entries, constant-colour reduction, the
// exact clipping of one-pixel lines, wide pens, and the installers of the three
// families (packed 8/15/16/24-bit, sub-byte 2/4-bit, planar 1-bit).
//
// Contracts of the installed routines (ImageDC slots):
// - blit (dst, dst rect, src, src rect, op): rectangles of equal size, already
//   clipped to both images; src is a context of the same format, or with op
//   bit 30 a RasterFill filling dst rect (clipped here against the image).
// - read row (dc, x, y, count, buffer, bytes, op): pixels x..x+count-1 of row
//   y into the buffer, one byte each with op bit 29, else one word each (colour
//   words with bit 31); the count is limited by the buffer; pixels outside the
//   image read as 0.
// - write row (dc, x, y, count, buffer, bytes, op): the reverse; pixels outside
//   the image are skipped; op bit 28 skips words with bit 28 set.
// - put pixels (dc, xy pairs, count, colour, op).
// - segment (dc, pen, pen width, pen height, segments, count, pattern): returns
//   the line pattern after the last segment.
// - mask (dc, pen, x, y, width, height, mask, first bit, stride in bits).
#pragma once

#include <cstdint>

#include "graphics/raster/raster.h"

inline bool dc_ok(const ImageDC* dc) {
    return dc && dc->magic == kImageDCMagic;
}
inline bool palette_ok(const RasterPalette* pal) {
    return pal && pal->magic == kRasterPaletteMagic;
}

// First entry after the whole-image entry in traversal order (bit 0 right to
// left, bit 1 bottom to top), and the next; null at the end.
RasterSegment* segment_begin(const RasterSegment* head, int order);
RasterSegment* segment_next(const RasterSegment* head, const RasterSegment* entry, int order);

// True when rect meets the image at all (the first rejection of every walk).
bool rect_meets_image(const ImageDC* dc, const RasterRect& rect);

// Calls fn(entry, part) for every entry meeting rect, with part = rect clipped
// to the entry, in traversal order.
template <class Fn>
void segment_find(const ImageDC* dc, const RasterRect& rect, int order, Fn&& fn) {
    if (!rect_meets_image(dc, rect)) return;
    for (RasterSegment* e = segment_begin(dc->segments, order); e;
         e = segment_next(dc->segments, e, order)) {
        RasterRect part;
        if (rect_intersect(&part, &rect, &e->rect)) fn(e, part);
    }
}

// rect_clip_pair on rectangles held in 64 bits ({x0, y0, x1, y1}), for
// callers whose rectangles come from positions and sizes that may not fit in
// 32 bits; rect_store64 saturates the result into a RasterRect.
int rect_clip_pair64(int64_t r1[4], const RasterRect* bounds1, int64_t r2[4], const RasterRect* bounds2);
void rect_store64(RasterRect* out, const int64_t r[4]);

// Traversal order of a blit: within one image, bottom to top (bit 1) when
// the source starts above the destination and reaches it, right to left (bit
// 0) when it starts left of it and reaches it; 0 between two images.
inline int blit_order(const ImageDC* dst, const RasterRect& d, const ImageDC* src, const RasterRect& s) {
    if (src->image != dst->image) return 0;
    return (s.y0 < d.y0 && d.y0 <= s.y1 ? 2 : 0) | (s.x0 < d.x0 && d.x0 <= s.x1 ? 1 : 0);
}

// Calls fn(d, s, order) for every pair of destination and source entries in
// traversal order, with the two rectangles clipped to the pair; the
// destination entries written are marked dirty.
template <class Fn>
void blit_pairs(ImageDC* dst, const RasterRect& drect, const ImageDC* src, const RasterRect& srect, Fn&& fn) {
    if (!rect_meets_image(dst, drect) || !rect_meets_image(src, srect)) return;
    const int order = blit_order(dst, drect, src, srect);
    for (RasterSegment* de = segment_begin(dst->segments, order); de; de = segment_next(dst->segments, de, order))
        for (RasterSegment* se = segment_begin(src->segments, order); se;
             se = segment_next(src->segments, se, order)) {
            RasterRect d = drect, s = srect;
            if (!rect_clip_pair(&d, &de->rect, &s, &se->rect)) continue;
            de->dirty = 1;
            fn(d, s, order);
        }
}

// Entry holding pixel (x, y), or null outside the image.
RasterSegment* segment_at(const ImageDC* dc, int x, int y);

// Constant-colour reduction: true with the pixel value and one of the
// operations 1, 2, 3, 6, 7, 8, 10, 11, 14 when drawing can change pixels.
bool raster_reduce_colour(const ImageDC* dc, uint32_t colour, uint32_t op, uint32_t* pixel, int* rop);

// The parts of the mask rectangle (x, y, width, height) inside the pen's clip
// and each segment entry, with the pen's reduced colour: fn(part, pixel, rop).
// Nothing when the colour cannot change pixels.
template <class Fn>
void mask_walk(ImageDC* dc, const RasterPen* pen, int x, int y, int width, int height, Fn&& fn) {
    if (!pen || width <= 0 || height <= 0) return;
    uint32_t pixel;
    int rop;
    if (!raster_reduce_colour(dc, pen->colour, pen->op, &pixel, &rop)) return;
    RasterRect rect;
    rect_from_xywh(&rect, x, y, width, height);  // saturates a size past the 32-bit range
    RasterRect clipped;
    if (!rect_intersect(&clipped, &rect, &pen->clip)) return;
    segment_find(dc, clipped, 0, [&](RasterSegment* e, const RasterRect& part) {
        e->dirty = 1;
        fn(part, pixel, rop);
    });
}

// Pixel value from a colour or word given to a routine: converted from a
// colour word with op bit 31, masked to the depth.
uint32_t raster_pixel_value(const ImageDC* dc, uint32_t value, uint32_t op);

// A one-pixel line clipped to an area, ready for stepping: the first pixel
// drawn, the 16-bit fraction there, slope, kind (1 x-major, -1 y-major, 0
// diagonal), row step (+1 or -1), pixel count and the pattern at that pixel.
// Pixel i of the whole line (from its left end) lies at the major coordinate
// + i and the minor coordinate + (0x8000 + i * slope) >> 16.
struct LineRun {
    int32_t x, y;
    uint32_t fraction, slope;
    int kind;
    int row_step;
    int64_t count;
    uint32_t pattern;
};

// Clips the line (x0, y0)-(x1, y1) to area; pattern bit i belongs to the i-th
// pixel from (x0, y0). False when no pixel lies inside.
bool line_clip(int32_t x0, int32_t y0, int32_t x1, int32_t y1, const RasterRect& area,
               uint32_t pattern, LineRun* run);

uint32_t rotate_right(uint32_t v, unsigned n);

// Draws segments with a pen: nothing for count 0, a pen of width or height 0
// or a colour that cannot change pixels; wide pens are split into one-pixel
// segments; each one-pixel segment is clipped to the pen's clip rectangle and
// to every segment entry and handed to the depth's run drawer. Returns the
// pattern after the last segment.
using LineRunFn = void (*)(ImageDC* dc, const LineRun& run, uint32_t pixel, int rop);
uint32_t draw_segments(ImageDC* dc, const RasterPen* pen, int pen_width, int pen_height,
                       const int32_t* segments, int count, uint32_t pattern, LineRunFn draw);

// The line pattern after count segments: rotated right by each segment's
// major delta, so a dash continues on the next segment and the next call.
uint32_t skip_pattern(const int32_t* segments, int count, uint32_t pattern);

// Splits wide-pen segments into one-pixel segments drawn through the
// context's own segment routine with a 1 x 1 pen.
void wide_pen_segments(ImageDC* dc, const RasterPen* pen, int width, int height,
                       const int32_t* segments, int count);

// Pattern bit of a RasterFill at image pixel (x, y): 1 foreground, 0 background.
int fill_pattern_bit(const RasterFill* fill, int64_t x, int64_t y);

// Single-pixel access of the depths whose pixels are not whole bytes, and
// the routines written over it. put combines value into the pixel with op.
struct PixelAccess {
    uint32_t (*get)(const ImageDC* dc, int64_t x, int64_t y);
    void (*put)(const ImageDC* dc, int64_t x, int64_t y, uint32_t value, int op);
};
void pixel_fill(ImageDC* dc, const RasterRect* rect, const RasterFill* fill, uint32_t op, const PixelAccess& access);
void pixel_read_row(ImageDC* dc, int x, int y, int count, void* buffer, size_t buffer_bytes, uint32_t op,
                    const PixelAccess& access);
// Colour words (op bit 31) are matched to pixel values; with
// convert_needs_palette only when the context has a palette.
void pixel_write_row(ImageDC* dc, int x, int y, int count, const void* buffer, size_t buffer_bytes, uint32_t op,
                     bool convert_needs_palette, const PixelAccess& access);
void pixel_put_pixels(ImageDC* dc, const int32_t* xy, int count, uint32_t colour, uint32_t op,
                      const PixelAccess& access);

void install_packed(ImageDC* dc);
void install_subbyte(ImageDC* dc);
void install_planar(ImageDC* dc);
