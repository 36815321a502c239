// Depth routines for 2- and 4-bit images of one plane: pixels packed four or
// two to a byte, the first pixel in the most significant bits. Every routine
// addresses single pixels within their byte, so no write reaches a pixel
// outside the rectangle or row asked for. These depths are rare (old image
// files), so the routines favour plainness over speed.
#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/raster/raster_device.h"
#include "graphics/raster/rasterops.h"

namespace {

struct Locator {
    uint8_t* byte;
    int shift;
};

Locator locate(const ImageDC* dc, int64_t x, int64_t y) {
    const int bits = dc->bits, per_byte = 8 / bits;
    const RasterImage* img = dc->image;
    return {img->pixels + y * img->stride + x / per_byte,
            8 - bits * static_cast<int>(x % per_byte + 1)};
}

uint32_t get_pixel(const ImageDC* dc, int64_t x, int64_t y) {
    const Locator l = locate(dc, x, y);
    return (*l.byte >> l.shift) & (dc->colours - 1);
}

void put_pixel(const ImageDC* dc, int64_t x, int64_t y, uint32_t v, int op) {
    const Locator l = locate(dc, x, y);
    const uint32_t mask = dc->colours - 1;
    const uint32_t old = (*l.byte >> l.shift) & mask;
    const uint32_t r = rop_apply(op, v, old) & mask;
    *l.byte = static_cast<uint8_t>((*l.byte & ~(mask << l.shift)) | r << l.shift);
}

constexpr PixelAccess kAccess{get_pixel, put_pixel};

void subbyte_blit(ImageDC* dst, const RasterRect* drect, const void* source, const RasterRect* srect,
                  uint32_t op) {
    if (op & kRopFill) {
        pixel_fill(dst, drect, static_cast<const RasterFill*>(source), op, kAccess);
        return;
    }
    const ImageDC* src = static_cast<const ImageDC*>(source);
    const int o = op & 15;
    if (o == 5) return;
    std::vector<uint32_t> row;
    blit_pairs(dst, *drect, src, *srect, [&](const RasterRect& d, const RasterRect& s, int order) {
        const int64_t w = int64_t{d.x1} - d.x0 + 1, rows = int64_t{d.y1} - d.y0 + 1;
        row.resize(static_cast<size_t>(w));
        for (int64_t i = 0; i < rows; ++i) {
            const int64_t k = (order & 2) ? rows - 1 - i : i;
            // The source row is read whole first, so overlapping rows are safe.
            for (int64_t c = 0; c < w; ++c) row[c] = get_pixel(src, s.x0 + c, s.y0 + k);
            for (int64_t c = 0; c < w; ++c) put_pixel(dst, d.x0 + c, d.y0 + k, row[c], o);
        }
    });
}

void subbyte_read_row(ImageDC* dc, int x, int y, int count, void* buffer, size_t bytes, uint32_t op) {
    pixel_read_row(dc, x, y, count, buffer, bytes, op, kAccess);
}

void subbyte_write_row(ImageDC* dc, int x, int y, int count, const void* buffer, size_t bytes, uint32_t op) {
    pixel_write_row(dc, x, y, count, buffer, bytes, op, false, kAccess);
}

void subbyte_put_pixels(ImageDC* dc, const int32_t* xy, int count, uint32_t colour, uint32_t op) {
    pixel_put_pixels(dc, xy, count, colour, op, kAccess);
}

void step_run(ImageDC* dc, const LineRun& run, uint32_t pixel, int rop) {
    int64_t x = run.x, y = run.y;
    uint32_t frac = run.fraction, pattern = run.pattern;
    for (int64_t i = 0; i < run.count; ++i) {
        if (pattern & 1) put_pixel(dc, x, y, pixel, rop);
        pattern = rotate_right(pattern, 1);
        if (run.kind == 0) {
            ++x;
            y += run.row_step;
            continue;
        }
        frac += run.slope;
        const bool carry = frac > 0xFFFF;
        frac &= 0xFFFF;
        if (run.kind > 0) {
            ++x;
            if (carry) y += run.row_step;
        } else {
            y += run.row_step;
            if (carry) ++x;
        }
    }
}

uint32_t subbyte_segments(ImageDC* dc, const RasterPen* pen, int pen_width, int pen_height,
                          const int32_t* segs, int count, uint32_t pattern) {
    return draw_segments(dc, pen, pen_width, pen_height, segs, count, pattern, step_run);
}

void subbyte_mask(ImageDC* dc, const RasterPen* pen, int x, int y, int width, int height,
                  const uint8_t* mask, size_t bit_offset, size_t stride_bits) {
    if (!mask) return;
    mask_walk(dc, pen, x, y, width, height, [&](const RasterRect& r, uint32_t pixel, int rop) {
        for (int64_t py = r.y0; py <= r.y1; ++py)
            for (int64_t px = r.x0; px <= r.x1; ++px) {
                const size_t bit = bit_offset + static_cast<size_t>(py - y) * stride_bits + static_cast<size_t>(px - x);
                if ((mask[bit >> 3] >> (7 - (bit & 7))) & 1) put_pixel(dc, px, py, pixel, rop);
            }
    });
}

}  // namespace

void install_subbyte(ImageDC* dc) {
    dc->blit = subbyte_blit;
    dc->read_row = subbyte_read_row;
    dc->write_row = subbyte_write_row;
    dc->put_pixels = subbyte_put_pixels;
    dc->segment = subbyte_segments;
    dc->mask = subbyte_mask;
}
