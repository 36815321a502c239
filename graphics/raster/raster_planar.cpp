// Depth routines for planar images: one bit per pixel in each of 1 to 8
// planes, the most significant bit of a byte first; plane p of every row
// follows plane p - 1 and gives bit p of the pixel value. Blits copy runs of
// bits plane by plane; fills set each plane to all ones or all zeros from the
// colour's bit for that plane (or per pixel for a pattern).
#include <algorithm>
#include <cstring>

#include "graphics/raster/raster_device.h"
#include "graphics/raster/rasterops.h"

namespace {

uint8_t* row_address(const ImageDC* dc, int plane, int64_t y) {
    const RasterImage* img = dc->image;
    return img->pixels + (int64_t{plane} * img->height + y) * img->stride;
}

uint32_t get_pixel(const ImageDC* dc, int64_t x, int64_t y) {
    uint32_t v = 0;
    for (int p = 0; p < dc->planes; ++p)
        v |= uint32_t((row_address(dc, p, y)[x >> 3] >> (7 - (x & 7))) & 1) << p;
    return v;
}

void put_pixel(const ImageDC* dc, int64_t x, int64_t y, uint32_t v, int op) {
    const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
    for (int p = 0; p < dc->planes; ++p) {
        uint8_t* b = row_address(dc, p, y) + (x >> 3);
        const uint32_t s = ((v >> p) & 1) ? 0xFFu : 0u;
        const uint8_t r = static_cast<uint8_t>(rop_apply(op, s, *b));
        *b = static_cast<uint8_t>((r & bit) | (*b & ~bit));
    }
}

constexpr PixelAccess kAccess{get_pixel, put_pixel};

// Columns x0..x1 of one plane row combined with a constant byte.
void plane_span_const(uint8_t* row, int64_t x0, int64_t x1, uint8_t value, int op) {
    const int64_t first = x0 >> 3, last = x1 >> 3;
    const uint8_t left = static_cast<uint8_t>(0xFF >> (x0 & 7));
    const uint8_t right = static_cast<uint8_t>(0xFF << (7 - (x1 & 7)));
    auto merge = [&](int64_t i, uint8_t mask) {
        const uint8_t r = static_cast<uint8_t>(rop_apply(op, value, row[i]));
        row[i] = static_cast<uint8_t>((r & mask) | (row[i] & ~mask));
    };
    if (first == last) {
        merge(first, left & right);
        return;
    }
    merge(first, left);
    for (int64_t i = first + 1; i < last; ++i) row[i] = static_cast<uint8_t>(rop_apply(op, value, row[i]));
    merge(last, right);
}

void planar_fill(ImageDC* dc, const RasterRect* rect, const RasterFill* fill, uint32_t op) {
    if (!fill) return;
    if (fill->kind == 0) {
        // Solid: each plane all ones or all zeros from the colour's bit.
        uint32_t fg = 0;
        int rop_fg = 3;
        if (!raster_reduce_colour(dc, fill->colour, op, &fg, &rop_fg)) return;
        segment_find(dc, *rect, 0, [&](RasterSegment* e, const RasterRect& r) {
            e->dirty = 1;
            for (int p = 0; p < dc->planes; ++p) {
                const uint8_t value = ((fg >> p) & 1) ? 0xFF : 0x00;
                for (int64_t y = r.y0; y <= r.y1; ++y)
                    plane_span_const(row_address(dc, p, y), r.x0, r.x1, value, rop_fg);
            }
        });
        return;
    }
    pixel_fill(dc, rect, fill, op, kAccess);
}

void planar_blit(ImageDC* dst, const RasterRect* drect, const void* source, const RasterRect* srect,
                 uint32_t op) {
    if (op & kRopFill) {
        planar_fill(dst, drect, static_cast<const RasterFill*>(source), op);
        return;
    }
    const ImageDC* src = static_cast<const ImageDC*>(source);
    const int o = op & 15;
    if (o == 5 || src->planes != dst->planes || src->bits != 1) return;
    blit_pairs(dst, *drect, src, *srect, [&](const RasterRect& d, const RasterRect& s, int order) {
        const int64_t first = d.x0 >> 3, last = d.x1 >> 3;
        uint8_t left = static_cast<uint8_t>(0xFF >> (d.x0 & 7));
        uint8_t right = static_cast<uint8_t>(0xFF << (7 - (d.x1 & 7)));
        size_t middle = 0;
        if (first == last) {
            left &= right;  // a run inside one byte
            right = 0;
        } else {
            middle = static_cast<size_t>(last - first - 1);
        }
        const int shift = (d.x0 & 7) - (s.x0 & 7);
        const size_t src_bytes = static_cast<size_t>((s.x1 >> 3) - (s.x0 >> 3) + 1);
        const int64_t rows = int64_t{d.y1} - d.y0 + 1;
        for (int p = 0; p < dst->planes; ++p)
            for (int64_t i = 0; i < rows; ++i) {
                const int64_t k = (order & 2) ? rows - 1 - i : i;
                planar_run_op(row_address(dst, p, d.y0 + k) + first, row_address(src, p, s.y0 + k) + (s.x0 >> 3),
                              left, middle, right, shift, src_bytes, o, (order & 1) != 0);
            }
    });
}

void planar_read_row(ImageDC* dc, int x, int y, int count, void* buffer, size_t bytes, uint32_t op) {
    pixel_read_row(dc, x, y, count, buffer, bytes, op, kAccess);
}

// Colour words are matched to the palette; without one they are taken as values.
void planar_write_row(ImageDC* dc, int x, int y, int count, const void* buffer, size_t bytes, uint32_t op) {
    pixel_write_row(dc, x, y, count, buffer, bytes, op, true, kAccess);
}

void planar_put_pixels(ImageDC* dc, const int32_t* xy, int count, uint32_t colour, uint32_t op) {
    pixel_put_pixels(dc, xy, count, colour, op, kAccess);
}

}  // namespace

void install_planar(ImageDC* dc) {
    dc->blit = planar_blit;
    dc->read_row = planar_read_row;
    dc->write_row = planar_write_row;
    dc->put_pixels = planar_put_pixels;
    dc->segment = nullptr;
    dc->mask = nullptr;
}
