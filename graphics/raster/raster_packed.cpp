// Packed depth routines for 8-, 15/16- and 24-bit contexts (one, two or three
// bytes a pixel): blits and fills, row reads and writes, pixel puts, one-pixel
// and wide-pen line segments, and 1-bit masks. Pixels are found through the
// image's segment entries; inner loops are the span routines of rasterops.h.
#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/raster/raster_device.h"
#include "graphics/raster/rasterops.h"

namespace {

int bytes_per_pixel(const ImageDC* dc) {
    return (dc->bits + 7) >> 3;
}

uint8_t* address(const ImageDC* dc, int64_t x, int64_t y) {
    const RasterImage* img = dc->image;
    return img->pixels + y * img->stride + x * bytes_per_pixel(dc);
}

uint32_t load_pixel(const uint8_t* p, int bpp) {
    uint32_t v = p[0];
    if (bpp > 1) v |= uint32_t{p[1]} << 8;
    if (bpp > 2) v |= uint32_t{p[2]} << 16;
    return v;
}

void store_pixel(uint8_t* p, int bpp, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    if (bpp > 1) p[1] = static_cast<uint8_t>(v >> 8);
    if (bpp > 2) p[2] = static_cast<uint8_t>(v >> 16);
}

// One row of a blit: count bytes of src combined into dst. A combine whose
// source lies before an overlapping destination walks backwards.
void row_copy(uint8_t* dst, const uint8_t* src, size_t count, int op) {
    if (op == 5) return;
    if (op == 3 || op == 0 || op == 15 || !(src < dst && src + count > dst)) {
        rop_span_bytes(dst, src, count, op);
        return;
    }
    for (size_t i = count; i-- > 0;) dst[i] = static_cast<uint8_t>(rop_apply(op, src[i], dst[i]));
}

void packed_fill(ImageDC* dc, const RasterRect* rect, const RasterFill* fill, uint32_t op) {
    const int bpp = bytes_per_pixel(dc);
    if (!fill || bpp > 3) return;
    if (fill->kind == 0) {
        uint32_t pixel;
        int rop;
        if (!raster_reduce_colour(dc, fill->colour, op, &pixel, &rop)) return;
        segment_find(dc, *rect, 0, [&](RasterSegment* e, const RasterRect& r) {
            e->dirty = 1;
            const size_t n = static_cast<size_t>(r.x1 - r.x0) + 1;
            // Fills far larger than the caches bypass them.
            const bool stream = bpp == 3 && (rop == 0 || rop == 3 || rop == 12 || rop == 15) &&
                                uint64_t{n} * 3 * static_cast<uint64_t>(r.y1 - r.y0 + 1) >=
                                    kStreamFillBytes;
            for (int64_t y = r.y0; y <= r.y1; ++y)
                span_fill_op(address(dc, r.x0, y), bpp, pixel, n, rop, stream);
            if (stream) span_stream_fence();
        });
        return;
    }
    if (fill->width <= 0 || fill->height <= 0 || !fill->bits) return;
    uint32_t fg, bg;
    int rop_fg, rop_bg;
    const bool draw_fg = raster_reduce_colour(dc, fill->colour, op, &fg, &rop_fg);
    const bool draw_bg = raster_reduce_colour(dc, fill->background, op, &bg, &rop_bg);
    if (!draw_fg && !draw_bg) return;
    if (!draw_fg) fg = 0;  // only for xor/or-like operations, where 0 changes nothing
    if (!draw_bg) bg = 0;
    const int rop = draw_fg ? rop_fg : rop_bg;
    std::vector<uint8_t> row;
    segment_find(dc, *rect, 0, [&](RasterSegment* e, const RasterRect& r) {
        e->dirty = 1;
        const size_t n = static_cast<size_t>(r.x1 - r.x0) + 1;
        row.resize(n * bpp);
        for (int64_t y = r.y0; y <= r.y1; ++y) {
            for (size_t i = 0; i < n; ++i)
                store_pixel(&row[i * bpp], bpp, fill_pattern_bit(fill, r.x0 + int64_t(i), y) ? fg : bg);
            rop_span_bytes(address(dc, r.x0, y), row.data(), n * bpp, rop);
        }
    });
}

void packed_blit(ImageDC* dst, const RasterRect* drect, const void* source, const RasterRect* srect,
                 uint32_t op) {
    if (op & kRopFill) {
        packed_fill(dst, drect, static_cast<const RasterFill*>(source), op);
        return;
    }
    const ImageDC* src = static_cast<const ImageDC*>(source);
    const int o = op & 15;
    if (o == 5) return;
    const int bpp = bytes_per_pixel(dst);
    blit_pairs(dst, *drect, src, *srect, [&](const RasterRect& d, const RasterRect& s, int order) {
        const size_t bytes = (static_cast<size_t>(d.x1 - d.x0) + 1) * bpp;
        const int64_t rows = int64_t{d.y1} - d.y0 + 1;
        for (int64_t i = 0; i < rows; ++i) {
            const int64_t k = (order & 2) ? rows - 1 - i : i;
            row_copy(address(dst, d.x0, d.y0 + k), address(src, s.x0, s.y0 + k), bytes, o);
        }
    });
}

// Clamps a row request to the buffer and the image: the first buffer index
// and pixel column, and the count inside the image (0 when none).
struct RowSpan {
    int64_t first = 0, x = 0, count = 0;
};
RowSpan row_span(const ImageDC* dc, int x, int y, int64_t count) {
    RowSpan s;
    if (y < 0 || y >= dc->height || count <= 0) return s;
    const int64_t x0 = std::max<int64_t>(x, 0), x1 = std::min<int64_t>(int64_t{x} + count - 1, dc->width - 1);
    if (x0 > x1) return s;
    s.first = x0 - x;
    s.x = x0;
    s.count = x1 - x0 + 1;
    return s;
}

int64_t row_limit(int count, size_t buffer_bytes, uint32_t op, bool bytes_ok) {
    const bool bytes = (op & kRopBytes) && bytes_ok;
    return std::min<int64_t>(count, static_cast<int64_t>(bytes ? buffer_bytes : buffer_bytes / 4));
}

void packed_read_row(ImageDC* dc, int x, int y, int count, void* buffer, size_t buffer_bytes, uint32_t op) {
    const int bpp = bytes_per_pixel(dc);
    const bool bytes = (op & kRopBytes) && bpp == 1;
    const int64_t n = row_limit(count, buffer_bytes, op, bpp == 1);
    if (n <= 0 || !buffer) return;
    std::memset(buffer, 0, static_cast<size_t>(n) * (bytes ? 1 : 4));
    const RowSpan s = row_span(dc, x, y, n);
    if (!s.count) return;
    const uint8_t* p = address(dc, s.x, y);
    if (bytes) {
        std::memcpy(static_cast<uint8_t*>(buffer) + s.first, p, static_cast<size_t>(s.count));
        return;
    }
    uint32_t* words = static_cast<uint32_t*>(buffer) + s.first;
    const size_t m = static_cast<size_t>(s.count);
    if (bpp == 1) span_bytes_to_words(words, p, m);
    else if (bpp == 3) span_rgb24_to_words(words, p, m);
    else
        for (size_t i = 0; i < m; ++i) words[i] = load_pixel(p + 2 * i, 2);
    if (op & kRopColourWords) {
        if (bpp == 1) {
            if (palette_ok(dc->palette)) {
                const RasterPalette* pal = dc->palette;
                for (size_t i = 0; i < m; ++i)
                    if (words[i] < static_cast<uint32_t>(pal->count)) words[i] = pal->entries[words[i]];
            }
        } else {
            for (size_t i = 0; i < m; ++i) words[i] = pixel_to_colour(dc, words[i]);
        }
    }
}

void packed_write_row(ImageDC* dc, int x, int y, int count, const void* buffer, size_t buffer_bytes,
                      uint32_t op) {
    const int bpp = bytes_per_pixel(dc);
    const bool bytes = (op & kRopBytes) != 0;
    const int64_t n = row_limit(count, buffer_bytes, op, true);
    if (n <= 0 || !buffer) return;
    const RowSpan s = row_span(dc, x, y, n);
    if (!s.count) return;
    const RasterRect touched{static_cast<int32_t>(s.x), y, static_cast<int32_t>(s.x + s.count - 1), y};
    segment_find(dc, touched, 0, [](RasterSegment* e, const RasterRect&) { e->dirty = 1; });
    uint8_t* p = address(dc, s.x, y);
    const size_t m = static_cast<size_t>(s.count);
    const uint8_t* in8 = static_cast<const uint8_t*>(buffer) + s.first;
    const uint32_t* in32 = static_cast<const uint32_t*>(buffer) + s.first;
    const bool keyed = (op & kRopTransparent) && !bytes;
    const bool convert = (op & kRopColourWords) != 0;
    const int o = op & 15;
    // Direct colour rows are stored; 8-bit rows honour the operation.
    if (bpp == 1 && o != 3) {
        if (o == 5) return;
        for (size_t i = 0; i < m; ++i) {
            if (keyed && (in32[i] & kRopTransparent)) continue;
            const uint32_t v = raster_pixel_value(dc, bytes ? in8[i] : in32[i], op);
            p[i] = static_cast<uint8_t>(rop_apply(o, v, p[i]));
        }
        return;
    }
    if (bytes && !convert) {
        if (bpp == 1) std::memcpy(p, in8, m);
        else
            for (size_t i = 0; i < m; ++i) store_pixel(p + i * bpp, bpp, in8[i]);
        return;
    }
    if (!convert && bpp == 3) {
        if (keyed) span_words_to_rgb24_keyed(p, in32, m);
        else span_words_to_rgb24(p, in32, m);
        return;
    }
    if (!convert && bpp == 1 && !keyed) {
        span_words_to_bytes(p, in32, m);
        return;
    }
    for (size_t i = 0; i < m; ++i) {
        const uint32_t v = bytes ? in8[i] : in32[i];
        if (keyed && (v & kRopTransparent)) continue;
        store_pixel(p + i * bpp, bpp, convert ? colour_to_pixel(dc, v) : v);
    }
}

void packed_put_pixels(ImageDC* dc, const int32_t* xy, int count, uint32_t colour, uint32_t op) {
    const int o = op & 15;
    if (count <= 0 || o == 5 || !xy) return;
    const int bpp = bytes_per_pixel(dc);
    const uint32_t v = raster_pixel_value(dc, colour, op);
    for (int i = 0; i < count; ++i) {
        RasterSegment* e = segment_at(dc, xy[2 * i], xy[2 * i + 1]);
        if (!e) continue;
        e->dirty = 1;
        uint8_t* p = address(dc, xy[2 * i], xy[2 * i + 1]);
        store_pixel(p, bpp, rop_apply(o, v, load_pixel(p, bpp)));
    }
}

void draw_run(ImageDC* dc, const LineRun& run, uint32_t pixel, int rop) {
    const int bpp = bytes_per_pixel(dc);
    uint8_t* p = address(dc, run.x, run.y);
    const bool solid = run.pattern == 0xFFFFFFFFu;
    if (solid && run.kind == 1 && run.slope == 0) {
        span_fill_op(p, bpp, pixel, static_cast<size_t>(run.count), rop);
        return;
    }
    const ptrdiff_t stride = ptrdiff_t{dc->image->stride} * run.row_step;
    const size_t n = static_cast<size_t>(run.count);
    if (bpp == 1) line_pixels8(p, n, run.fraction, run.slope, run.kind, stride, pixel, rop, run.pattern);
    else if (bpp == 2) line_pixels16(p, n, run.fraction, run.slope, run.kind, stride, pixel, rop, run.pattern);
    else line_pixels24(p, n, run.fraction, run.slope, run.kind, stride, pixel, rop, run.pattern);
}

uint32_t packed_segments(ImageDC* dc, const RasterPen* pen, int pen_width, int pen_height,
                         const int32_t* segs, int count, uint32_t pattern) {
    return draw_segments(dc, pen, pen_width, pen_height, segs, count, pattern, draw_run);
}

void packed_mask(ImageDC* dc, const RasterPen* pen, int x, int y, int width, int height,
                 const uint8_t* mask, size_t bit_offset, size_t stride_bits) {
    if (!mask) return;
    const int bpp = bytes_per_pixel(dc);
    mask_walk(dc, pen, x, y, width, height, [&](const RasterRect& r, uint32_t pixel, int rop) {
        const size_t first = bit_offset + static_cast<size_t>(int64_t{r.y0} - y) * stride_bits +
                             static_cast<size_t>(int64_t{r.x0} - x);
        const size_t n = static_cast<size_t>(r.x1 - r.x0) + 1, rows = static_cast<size_t>(r.y1 - r.y0) + 1;
        uint8_t* p = address(dc, r.x0, r.y0);
        const ptrdiff_t stride = dc->image->stride;
        if (bpp == 1) mask_expand8(p, mask, first, n, rows, stride_bits, stride, pixel, rop, 0);
        else if (bpp == 2) mask_expand16(p, mask, first, n, rows, stride_bits, stride, pixel, rop, 0);
        else mask_expand24(p, mask, first, n, rows, stride_bits, stride, pixel, rop, 0);
    });
}

}  // namespace

void install_packed(ImageDC* dc) {
    dc->blit = packed_blit;
    dc->read_row = packed_read_row;
    dc->write_row = packed_write_row;
    dc->put_pixels = packed_put_pixels;
    dc->segment = packed_segments;
    dc->mask = packed_mask;
}
