// Depth-independent drawing: the blit between contexts (same format through
// the depth's own routine, otherwise row by row through a colour or palette
// translation), fills, and the triangle fill built from one-pixel rows.
#include <algorithm>
#include <cstdint>

#include "graphics/raster/raster.h"
#include "graphics/raster/raster_device.h"
#include "graphics/raster/rasterops.h"

namespace {

void blit_convert(ImageDC* dst, const RasterRect& d, ImageDC* src, const RasterRect& s, uint32_t op) {
    if (!src->read_row || !dst->write_row) return;
    if (src->colours >= 32768 || dst->colours >= 32768) op |= kRopColourWords;
    const int w = d.x1 - d.x0 + 1;
    const bool indexed = src->colours <= 256 && dst->colours <= 256;
    if ((op & kRopColourWords) && indexed && palette_ok(src->palette) && palette_ok(dst->palette)) {
        // Indices are translated once per call. A source palette shorter than
        // the source's colour count translates the indices beyond it as black.
        uint8_t table[256] = {};
        RasterPalette* pal = src->palette;
        const uint8_t beyond = static_cast<uint8_t>(colour_to_pixel(dst, 0));
        for (uint32_t i = 0; i < src->colours; ++i) {
            if (i < static_cast<uint32_t>(pal->count)) {
                table[i] = static_cast<uint8_t>(colour_to_pixel(dst, pixel_to_colour(src, i)));
                pal->index_map[i] = table[i];
            } else {
                table[i] = beyond;
            }
        }
        op = (op & ~kRopColourWords) | kRopBytes;
        uint8_t* row = reinterpret_cast<uint8_t*>(src->row_scratch);
        for (int y = 0; y <= d.y1 - d.y0; ++y) {
            src->read_row(src, s.x0, s.y0 + y, w, row, static_cast<size_t>(w), op);
            span_translate_bytes(row, table, static_cast<size_t>(w));
            dst->write_row(dst, d.x0, d.y0 + y, w, row, static_cast<size_t>(w), op);
        }
        return;
    }
    if (src->colours < 32768 && dst->colours < 32768) op &= ~kRopColourWords;
    op &= ~(kRopBytes | kRopTransparent);
    uint32_t* row = src->row_scratch;
    const size_t bytes = static_cast<size_t>(w) * 4;
    for (int y = 0; y <= d.y1 - d.y0; ++y) {
        src->read_row(src, s.x0, s.y0 + y, w, row, bytes, op);
        dst->write_row(dst, d.x0, d.y0 + y, w, row, bytes, op);
    }
}

// Pixels of one Bresenham edge on a row: the leftmost and rightmost x. The
// edge runs from (x0, y0) down to (x1, y1) (y1 >= y0); the error term starts
// at half the larger delta.
struct Edge {
    int64_t x0, y0, x1, y1;

    bool row(int64_t y, int64_t* lo, int64_t* hi) const {
        if (y < y0 || y > y1) return false;
        const int64_t dx = x1 >= x0 ? x1 - x0 : x0 - x1, dy = y1 - y0;
        const int sx = x1 >= x0 ? 1 : -1;
        const int64_t m = y - y0;
        int64_t k_first, k_last;  // steps along the edge whose pixels lie on row y
        if (dx >= dy) {
            if (dy == 0) {
                k_first = 0;
                k_last = dx;
            } else {
                // After k steps the row has advanced ceil((k dy - dx/2) / dx) times.
                // 128-bit products: deltas reach 2^32.
                auto first_on = [&](int64_t r) -> int64_t {
                    return r == 0 ? 0 : static_cast<int64_t>((__int128{r - 1} * dx + (dx >> 1)) / dy + 1);
                };
                k_first = first_on(m);
                k_last = m == dy ? dx : first_on(m + 1) - 1;
            }
        } else {
            const __int128 adv = __int128{m} * dx - (dy >> 1);
            const int64_t c = adv <= 0 ? 0 : static_cast<int64_t>((adv + dy - 1) / dy);
            k_first = k_last = c;
        }
        const int64_t a = x0 + sx * k_first, b = x0 + sx * k_last;
        *lo = std::min(a, b);
        *hi = std::max(a, b);
        return true;
    }
};

}  // namespace

void image_dc_blit(ImageDC* dst, int dx, int dy, int w, int h, const void* src, int sx, int sy,
                   uint32_t op) {
    if (!dc_ok(dst) || !src || w <= 0 || h <= 0) return;
    RasterRect d, s;
    rect_from_xywh(&d, dx, dy, w, h);
    if (op & kRopFill) {
        if (dst->blit) dst->blit(dst, &d, src, &d, op);
        return;
    }
    ImageDC* from = const_cast<ImageDC*>(static_cast<const ImageDC*>(src));
    if (!dc_ok(from)) return;
    // Clipped in 64 bits: a size reaching past the 32-bit range still copies
    // the visible part, and both rectangles keep the same size.
    int64_t d64[4] = {dx, dy, int64_t{dx} + w - 1, int64_t{dy} + h - 1};
    int64_t s64[4] = {sx, sy, int64_t{sx} + w - 1, int64_t{sy} + h - 1};
    const RasterRect db{0, 0, dst->width - 1, dst->height - 1};
    const RasterRect sb{0, 0, from->width - 1, from->height - 1};
    if (!rect_clip_pair64(d64, &db, s64, &sb)) return;
    rect_store64(&d, d64);
    rect_store64(&s, s64);
    // Two contexts on one image share its format; the image's own blit
    // orders overlapping rows and columns, which a row-by-row conversion
    // would not.
    if (from == dst || from->image == dst->image ||
        (!(op & kRopColourWords) && from->planes == dst->planes && from->bits == dst->bits)) {
        if (from->blit) from->blit(dst, &d, from, &s, op);
        return;
    }
    blit_convert(dst, d, from, s, op);
}

uint32_t image_dc_fill_triangle(ImageDC* dc, const RasterPen* pen, int x0, int y0, int x1, int y1,
                                int x2, int y2) {
    if (!dc_ok(dc) || !pen || !dc->segment) return 0;
    int64_t px[3] = {x0, x1, x2}, py[3] = {y0, y1, y2};
    int top = 0;
    for (int i = 1; i < 3; ++i)
        if (py[i] < py[top]) top = i;
    int a = (top + 1) % 3, b = (top + 2) % 3;
    if (a > b) std::swap(a, b);  // keep argument order for the orientation test below
    const int64_t tx = px[top], ty = py[top];
    if (__int128{px[b] - tx} * (py[a] - ty) < __int128{py[b] - ty} * (px[a] - tx)) std::swap(a, b);
    // Left chain T-A (then A-B), right chain T-B (then B-A).
    Edge left[2] = {{tx, ty, px[a], py[a]}, {px[a], py[a], px[b], py[b]}};
    Edge right[2] = {{tx, ty, px[b], py[b]}, {px[b], py[b], px[a], py[a]}};
    const int left_edges = py[a] < py[b] ? 2 : 1, right_edges = py[b] < py[a] ? 2 : 1;
    const int64_t bottom = std::max(py[a], py[b]);
    const int64_t first = std::max<int64_t>({ty, pen->clip.y0, 0});
    const int64_t last = std::min<int64_t>({bottom, pen->clip.y1, dc->height - 1});
    uint32_t result = 0;
    for (int64_t y = first; y <= last; ++y) {
        int64_t lx = INT64_MAX, rx = INT64_MIN, lo, hi;
        for (int i = 0; i < left_edges; ++i)
            if (left[i].row(y, &lo, &hi)) lx = std::min(lx, lo);
        for (int i = 0; i < right_edges; ++i)
            if (right[i].row(y, &lo, &hi)) rx = std::max(rx, hi);
        if (lx == INT64_MAX || rx == INT64_MIN) continue;
        const int32_t seg[4] = {static_cast<int32_t>(std::clamp<int64_t>(lx, INT32_MIN, INT32_MAX)),
                                static_cast<int32_t>(y),
                                static_cast<int32_t>(std::clamp<int64_t>(rx, INT32_MIN, INT32_MAX)),
                                static_cast<int32_t>(y)};
        result = dc->segment(dc, pen, 1, 1, seg, 1, 0xFFFFFFFFu);
    }
    return result;
}
