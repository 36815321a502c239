// Row, pixel and fill routines for the depths whose pixels are not whole
// bytes (2- and 4-bit images, planar images), written once over a per-depth
// pair of single-pixel accessors.
#include <algorithm>
#include <cstring>

#include "graphics/raster/raster_device.h"

namespace {

// Clamps a row request to the buffer: the pixel count it holds.
int64_t buffer_count(int count, size_t buffer_bytes, uint32_t op) {
    const bool bytes = (op & kRopBytes) != 0;
    return std::min<int64_t>(count, static_cast<int64_t>(bytes ? buffer_bytes : buffer_bytes / 4));
}

}  // namespace

void pixel_fill(ImageDC* dc, const RasterRect* rect, const RasterFill* fill, uint32_t op, const PixelAccess& access) {
    if (!fill) return;
    uint32_t fg = 0, bg = 0;
    int rop_fg = 3, rop_bg = 3;
    const bool draw_fg = raster_reduce_colour(dc, fill->colour, op, &fg, &rop_fg);
    bool draw_bg = false;
    if (fill->kind != 0) {
        if (fill->width <= 0 || fill->height <= 0 || !fill->bits) return;
        draw_bg = raster_reduce_colour(dc, fill->background, op, &bg, &rop_bg);
    }
    if (!draw_fg && !draw_bg) return;
    segment_find(dc, *rect, 0, [&](RasterSegment* e, const RasterRect& r) {
        e->dirty = 1;
        for (int64_t y = r.y0; y <= r.y1; ++y)
            for (int64_t x = r.x0; x <= r.x1; ++x) {
                const bool fore = fill->kind == 0 || fill_pattern_bit(fill, x, y);
                if (fore && draw_fg) access.put(dc, x, y, fg, rop_fg);
                else if (!fore && draw_bg) access.put(dc, x, y, bg, rop_bg);
            }
    });
}

void pixel_read_row(ImageDC* dc, int x, int y, int count, void* buffer, size_t buffer_bytes, uint32_t op,
                    const PixelAccess& access) {
    const bool bytes = (op & kRopBytes) != 0;
    const int64_t n = buffer_count(count, buffer_bytes, op);
    if (n <= 0 || !buffer) return;
    std::memset(buffer, 0, static_cast<size_t>(n) * (bytes ? 1 : 4));
    if (y < 0 || y >= dc->height) return;
    for (int64_t i = std::max<int64_t>(0, -int64_t{x}); i < n && x + i < dc->width; ++i) {
        const uint32_t v = access.get(dc, x + i, y);
        if (bytes) static_cast<uint8_t*>(buffer)[i] = static_cast<uint8_t>(v);
        else static_cast<uint32_t*>(buffer)[i] = (op & kRopColourWords) ? pixel_to_colour(dc, v) : v;
    }
}

void pixel_write_row(ImageDC* dc, int x, int y, int count, const void* buffer, size_t buffer_bytes, uint32_t op,
                     bool convert_needs_palette, const PixelAccess& access) {
    const bool bytes = (op & kRopBytes) != 0;
    const int o = op & 15;
    const int64_t n = buffer_count(count, buffer_bytes, op);
    if (n <= 0 || !buffer || o == 5 || y < 0 || y >= dc->height) return;
    const int64_t first = std::max<int64_t>(0, -int64_t{x}), last = std::min<int64_t>(n, dc->width - int64_t{x}) - 1;
    if (first > last) return;
    const RasterRect touched{static_cast<int32_t>(x + first), y, static_cast<int32_t>(x + last), y};
    segment_find(dc, touched, 0, [](RasterSegment* e, const RasterRect&) { e->dirty = 1; });
    const bool convert = (op & kRopColourWords) && (!convert_needs_palette || palette_ok(dc->palette));
    const uint32_t mask = dc->colours - 1;
    for (int64_t i = first; i <= last; ++i) {
        uint32_t v = bytes ? static_cast<const uint8_t*>(buffer)[i] : static_cast<const uint32_t*>(buffer)[i];
        if (!bytes && (op & kRopTransparent) && (v & kRopTransparent)) continue;
        if (convert) v = colour_to_pixel(dc, v);
        access.put(dc, x + i, y, v & mask, o);
    }
}

void pixel_put_pixels(ImageDC* dc, const int32_t* xy, int count, uint32_t colour, uint32_t op,
                      const PixelAccess& access) {
    const int o = op & 15;
    if (count <= 0 || o == 5 || !xy) return;
    const uint32_t v = raster_pixel_value(dc, colour, op);
    for (int i = 0; i < count; ++i) {
        RasterSegment* e = segment_at(dc, xy[2 * i], xy[2 * i + 1]);
        if (!e) continue;
        e->dirty = 1;
        access.put(dc, xy[2 * i], xy[2 * i + 1], v, o);
    }
}
