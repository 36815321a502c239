// Raster images, palettes and drawing contexts: the software frame buffer of
// the program. A RasterImage owns a block of pixels of one depth, a
// RasterPalette holds up to 256 colours, and an ImageDC is a drawing context
// on an image carrying the depth's routines (blit, row read and write, pixel
// put, line segments, mask), chosen once when it is made. Rectangles and
// their clipping, colour conversions, the nearest-palette-colour search, the
// depth-independent blit (with conversion between formats) and the triangle
// fill live here too. No window-system calls.
//
// Coordinates are pixels: x grows to the right, y is the row index from the
// top of the buffer. Rectangles are inclusive on all four edges.
//
// Colour word: red in bits 0-7, green 8-15, blue 16-23. Pixel value: a palette
// index (1-, 2-, 4-, 8-bit and planar images; plane p gives bit p), 5-5-5 with
// red in bits 10-14 (15-bit), 5-6-5 with red in bits 11-15 (16-bit), or blue,
// green, red in memory order (24-bit; read little-endian blue is bits 0-7).
//
// Every entry point checks the magic of each record it is given and quietly
// does nothing (returns null or 0) for a null pointer or a wrong magic.
// Creators return null on failure after freeing what they had allocated.
// Records are not shared between threads while one of them draws.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint32_t kRasterImageMagic = 0x3456789Au;
inline constexpr uint32_t kRasterPaletteMagic = 0x456789ABu;
inline constexpr uint32_t kImageDCMagic = 0x4344u;

// Raster operation word: bits 0-3 the operation of rasterops.h; the flags:
inline constexpr uint32_t kRopTransparent = 0x10000000u;  // write row: words with bit 28 skipped
inline constexpr uint32_t kRopBytes = 0x20000000u;        // row buffers hold one byte per pixel
inline constexpr uint32_t kRopFill = 0x40000000u;         // blit source is a RasterFill
inline constexpr uint32_t kRopColourWords = 0x80000000u;  // colours are colour words

// Largest byte size of one buffer segment of an image.
inline constexpr size_t kRasterSegmentBytes = 0x10000000u;

struct RasterRect {
    int32_t x0, y0, x1, y1;
};

// One entry of an image's segment list. The first entry covers the whole
// image; the others each cover the rows (or part of a row) of one segment of
// the pixel buffer. The four links give the traversal orders: 0 forward
// (next), 1 right to left (next_rev_x), 2 bottom to top (next_rev_y), 3 both
// reversed (prev; in the first entry the last entry). Links end with null,
// except prev, which ends back at the first entry.
struct RasterSegment {
    RasterSegment* next;
    RasterSegment* next_rev_x;
    RasterSegment* next_rev_y;
    RasterSegment* prev;
    RasterRect rect;   // pixels covered
    size_t offset;     // byte offset of the segment's first byte in the buffer
    int32_t number;    // segment number
    int32_t stride;    // row stride in bytes
    uint8_t* buffer;   // the image's pixel buffer (the same for every entry)
    int32_t dirty;     // set by every routine that writes pixels of the entry
};

struct RasterPalette {
    uint32_t magic;
    int32_t count;         // 1..256
    uint32_t* entries;     // count colour words, owned
    uint8_t* index_map;    // count bytes, owned; the converting blit's translation
};

struct RasterImage {
    uint32_t magic;
    int32_t colour;        // 0 for 1 bit per pixel, else 1
    int32_t width;         // >= 1
    int32_t height;        // >= 1
    int32_t planes;        // >= 1; more than one only with 1 bit per pixel
    int32_t bits;          // 1, 2, 4, 8, 15, 16 or 24
    uint32_t* row_scratch; // width words, owned
    RasterPalette* palette;  // attached by the caller, not owned
    RasterSegment* segments; // owned
    uint8_t* pixels;       // stride x stored rows bytes, owned (std::malloc'd)
    int32_t stride;        // bytes per row of one plane
};

// Source of a fill: solid, or a 1-bit pattern (most significant bit first,
// rows padded to whole 32-bit words) with foreground and background.
struct RasterFill {
    int32_t kind;          // 0 solid, 1 pattern
    uint32_t colour;       // solid colour or pattern foreground
    uint32_t background;
    int32_t width, height; // pattern size in pixels
    int32_t x_origin, y_origin;
    const uint8_t* bits;   // not owned
};

// Pen of line segments, masks and triangle fills.
struct RasterPen {
    uint32_t op;
    uint32_t colour;
    RasterRect clip;       // nothing outside it is drawn
};

struct ImageDC;

// Depth routines installed in a context; see raster_device.h for their
// contracts. Segments are (x0, y0, x1, y1) quadruples.
using RasterBlitFn = void (*)(ImageDC* dst, const RasterRect* dst_rect, const void* src,
                              const RasterRect* src_rect, uint32_t op);
using RasterReadRowFn = void (*)(ImageDC* dc, int x, int y, int count, void* buffer,
                                 size_t buffer_bytes, uint32_t op);
using RasterWriteRowFn = void (*)(ImageDC* dc, int x, int y, int count, const void* buffer,
                                  size_t buffer_bytes, uint32_t op);
using RasterPutPixelsFn = void (*)(ImageDC* dc, const int32_t* xy, int count, uint32_t colour,
                                   uint32_t op);
using RasterSegmentsFn = uint32_t (*)(ImageDC* dc, const RasterPen* pen, int pen_width,
                                      int pen_height, const int32_t* segments, int count,
                                      uint32_t pattern);
using RasterMaskFn = void (*)(ImageDC* dc, const RasterPen* pen, int x, int y, int width,
                              int height, const uint8_t* mask, size_t bit_offset,
                              size_t stride_bits);

struct ImageDC {
    uint32_t magic;
    int32_t width, height;
    RasterPalette* palette;  // the image's palette when the context was made
    uint32_t colours;        // 1 << bits, or 1 << planes for 1-bit images
    uint32_t* row_scratch;   // the image's
    int32_t planes, bits;
    RasterImage* image;      // not owned
    RasterSegment* segments; // the image's
    RasterReadRowFn read_row;
    RasterWriteRowFn write_row;
    RasterSegmentsFn segment;
    RasterBlitFn blit;
    RasterPutPixelsFn put_pixels;
    RasterMaskFn mask;
};

// Rectangles.
int rect_overlap(const RasterRect* a, const RasterRect* b);
int rect_intersect(RasterRect* out, const RasterRect* a, const RasterRect* b);
void rect_from_xywh(RasterRect* out, int x, int y, int w, int h);
// Clips two equal-size rectangles that move together (r1 against bounds1, r2
// against bounds2, each move applied to both). 1 when r1 is not empty.
int rect_clip_pair(RasterRect* r1, const RasterRect* bounds1, RasterRect* r2,
                   const RasterRect* bounds2);

// Geometry: row stride in bytes and stored rows. 0 for a valid geometry, 13
// for an invalid one or one whose byte size does not fit in memory.
[[nodiscard]] int image_geometry(int width, int height, int planes, int bits, int32_t* stride,
                                 int64_t* stored_rows);

// Colours.
uint32_t pixel_to_colour(const ImageDC* dc, uint32_t pixel);
uint32_t colour_to_pixel(const ImageDC* dc, uint32_t colour);
int palette_nearest_index(const uint32_t* entries, int count, uint32_t colour);

// Records. initial, when not null, holds stride x stored rows bytes to copy.
RasterImage* image_create_ex(int width, int height, int planes, int bits, const void* initial);
RasterImage* image_create(int width, int height, int planes, int bits, const void* initial,
                          int unused1 = 0, int unused2 = 0);
// Over a buffer allocated with std::malloc holding stride x stored rows bytes;
// on success the image owns it, on failure it stays the caller's.
RasterImage* image_create_on_buffer(int width, int height, int planes, int bits, void* buffer);
// As image_create_ex with buffer segments of at most segment_bytes (1 or
// more) instead of kRasterSegmentBytes; for tools and tests that exercise
// images of many segments at small sizes.
RasterImage* image_create_segmented(int width, int height, int planes, int bits,
                                    const void* initial, size_t segment_bytes);
void image_free(RasterImage* image);
// Pixel buffer and its size in bytes (null and 0 for a bad image).
uint8_t* image_pixels(const RasterImage* image, size_t* bytes);

ImageDC* image_dc_create(RasterImage* image);
void image_dc_free(ImageDC* dc);
RasterPalette* palette_create(int count, const uint32_t* colours);
void palette_free(RasterPalette* palette);

// Drawing. src is an ImageDC, or with op bit 30 a RasterFill.
void image_dc_blit(ImageDC* dst, int dx, int dy, int w, int h, const void* src, int sx, int sy,
                   uint32_t op);
// Returns the last result of the context's segment routine (0 when none ran).
uint32_t image_dc_fill_triangle(ImageDC* dc, const RasterPen* pen, int x0, int y0, int x1, int y1,
                                int x2, int y2);
