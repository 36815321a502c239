// Shared device code: walking segment entries, constant-colour reduction,
// exact clipping of one-pixel lines, fill patterns and wide pens (2 x 2,
// round and rectangular) built from one-pixel segments.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "graphics/raster/raster_device.h"
#include "model/math/scalar.h"

RasterSegment* segment_begin(const RasterSegment* head, int order) {
    if (!head) return nullptr;
    switch (order & 3) {
    case 0: return head->next;
    case 1: return head->next_rev_x;
    case 2: return head->next_rev_y;
    default: return head->prev == head ? nullptr : head->prev;
    }
}

RasterSegment* segment_next(const RasterSegment* head, const RasterSegment* e, int order) {
    switch (order & 3) {
    case 0: return e->next;
    case 1: return e->next_rev_x;
    case 2: return e->next_rev_y;
    default: return e->prev == head ? nullptr : e->prev;
    }
}

bool rect_meets_image(const ImageDC* dc, const RasterRect& r) {
    return r.x0 <= r.x1 && r.y0 <= r.y1 && r.x1 >= 0 && r.x0 < dc->width && r.y1 >= 0 &&
           r.y0 < dc->height;
}

RasterSegment* segment_at(const ImageDC* dc, int x, int y) {
    if (x < 0 || y < 0 || x >= dc->width || y >= dc->height) return nullptr;
    for (RasterSegment* e = dc->segments->next; e; e = e->next)
        if (x >= e->rect.x0 && x <= e->rect.x1 && y >= e->rect.y0 && y <= e->rect.y1) return e;
    return nullptr;
}

bool raster_reduce_colour(const ImageDC* dc, uint32_t colour, uint32_t op, uint32_t* pixel, int* rop) {
    static constexpr int kMap[16] = {3, 1, 2, 3, 1, 5, 6, 7, 8, 6, 10, 11, 3, 7, 14, 3};
    const int o = op & 15;
    if (o == 5) return false;
    const uint32_t mask = dc->colours - 1;
    uint32_t c;
    if (o == 0) c = 0;
    else if (o == 15) c = mask;
    else c = ((op & kRopColourWords) ? colour_to_pixel(dc, colour) : colour) & mask;
    if (o == 4 || o == 9 || o == 12 || o == 13) c = ~c & mask;
    const int r = kMap[o];
    if (c == 0 && (r == 5 || r == 6 || r == 7)) return false;
    *pixel = c;
    *rop = r;
    return true;
}

uint32_t raster_pixel_value(const ImageDC* dc, uint32_t value, uint32_t op) {
    if (op & kRopColourWords) value = colour_to_pixel(dc, value);
    return value & (dc->colours - 1);
}

uint32_t rotate_right(uint32_t v, unsigned n) {
    n &= 31;
    return n ? (v >> n | v << (32 - n)) : v;
}

uint32_t skip_pattern(const int32_t* segments, int count, uint32_t pattern) {
    for (int i = 0; i < count; ++i) {
        const int64_t dx = int64_t{segments[4 * i + 2]} - segments[4 * i];
        const int64_t dy = int64_t{segments[4 * i + 3]} - segments[4 * i + 1];
        const int64_t major = std::max(dx < 0 ? -dx : dx, dy < 0 ? -dy : dy);
        pattern = rotate_right(pattern, static_cast<unsigned>(major & 31));
    }
    return pattern;
}

namespace {

uint32_t bit_reverse(uint32_t v) {
    uint32_t r = 0;
    for (int i = 0; i < 32; ++i, v >>= 1) r = r << 1 | (v & 1);
    return r;
}

int64_t floor_div(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
int64_t ceil_div(int64_t a, int64_t b) {
    return -floor_div(-a, b);
}

}  // namespace

bool line_clip(int32_t x0, int32_t y0, int32_t x1, int32_t y1, const RasterRect& area,
               uint32_t pattern, LineRun* run) {
    int64_t X0 = x0, Y0 = y0, X1 = x1, Y1 = y1;
    const int64_t major = std::max(X1 > X0 ? X1 - X0 : X0 - X1, Y1 > Y0 ? Y1 - Y0 : Y0 - Y1);
    if (X1 < X0) {
        // Walked from the other end: bit j of the left-end pattern is the bit
        // of pixel major - j from the given start.
        std::swap(X0, X1);
        std::swap(Y0, Y1);
        pattern = bit_reverse(rotate_right(pattern, static_cast<unsigned>((major + 1) & 31)));
    }
    const int64_t dx = X1 - X0;
    const int row_step = Y1 < Y0 ? -1 : 1;
    const int64_t dy = Y1 < Y0 ? Y0 - Y1 : Y1 - Y0;
    const int kind = dy < dx ? 1 : dy > dx ? -1 : 0;
    const int64_t minor = std::min(dx, dy);
    const int64_t slope = major == 0 ? 0xFFFF : (minor << 16) / major;
    int64_t lo = 0, hi = major;
    auto linear = [&](int64_t start, int step, int64_t a0, int64_t a1) {
        if (step > 0) {
            lo = std::max(lo, a0 - start);
            hi = std::min(hi, a1 - start);
        } else {
            lo = std::max(lo, start - a1);
            hi = std::min(hi, start - a0);
        }
    };
    auto minor_range = [&](int64_t cmin, int64_t cmax) {
        if (cmax < 0 || cmin > cmax) {
            hi = -1;
            return;
        }
        if (cmin > 0) {
            if (slope == 0) {
                hi = -1;
                return;
            }
            lo = std::max(lo, ceil_div(cmin * 65536 - 0x8000, slope));
        }
        if (slope != 0) hi = std::min(hi, floor_div((cmax + 1) * 65536 - 0x8001, slope));
    };
    if (kind == 1) {
        linear(X0, 1, area.x0, area.x1);
        if (row_step > 0) minor_range(area.y0 - Y0, area.y1 - Y0);
        else minor_range(Y0 - area.y1, Y0 - area.y0);
    } else if (kind == -1) {
        linear(Y0, row_step, area.y0, area.y1);
        minor_range(area.x0 - X0, area.x1 - X0);
    } else {
        linear(X0, 1, area.x0, area.x1);
        linear(Y0, row_step, area.y0, area.y1);
    }
    if (lo > hi) return false;
    const int64_t c = kind == 0 ? lo : (0x8000 + lo * slope) >> 16;
    run->x = static_cast<int32_t>(kind == -1 ? X0 + c : X0 + lo);
    run->y = static_cast<int32_t>(kind == 1 ? Y0 + row_step * c : Y0 + row_step * lo);
    run->fraction = static_cast<uint32_t>((0x8000 + lo * slope) & 0xFFFF);
    run->slope = static_cast<uint32_t>(slope & 0xFFFF);
    run->kind = kind;
    run->row_step = row_step;
    run->count = hi - lo + 1;
    run->pattern = rotate_right(pattern, static_cast<unsigned>(lo & 31));
    return true;
}

uint32_t draw_segments(ImageDC* dc, const RasterPen* pen, int pen_width, int pen_height, const int32_t* segs,
                       int count, uint32_t pattern, LineRunFn draw) {
    if (count <= 0 || pen_width == 0 || pen_height == 0 || !pen || !segs) return pattern;
    uint32_t pixel;
    int rop;
    if (!raster_reduce_colour(dc, pen->colour, pen->op, &pixel, &rop)) return skip_pattern(segs, count, pattern);
    if (pen_width != 1 || pen_height != 1) {
        wide_pen_segments(dc, pen, pen_width, pen_height, segs, count);
        return pattern;
    }
    for (int i = 0; i < count; ++i) {
        const int32_t x0 = segs[4 * i], y0 = segs[4 * i + 1], x1 = segs[4 * i + 2], y1 = segs[4 * i + 3];
        int order = 0;
        if (pattern != 0xFFFFFFFFu) order = (x1 < x0 ? 1 : 0) | (y1 < y0 ? 2 : 0);
        for (RasterSegment* e = segment_begin(dc->segments, order); e;
             e = segment_next(dc->segments, e, order)) {
            RasterRect area;
            if (!rect_intersect(&area, &pen->clip, &e->rect)) continue;
            LineRun run;
            if (!line_clip(x0, y0, x1, y1, area, pattern, &run)) continue;
            e->dirty = 1;
            draw(dc, run, pixel, rop);
        }
        pattern = skip_pattern(segs + 4 * i, 1, pattern);
    }
    return pattern;
}

int fill_pattern_bit(const RasterFill* fill, int64_t x, int64_t y) {
    const int64_t w = fill->width, h = fill->height;
    int64_t px = (x + fill->x_origin) % w, py = (y + fill->y_origin) % h;
    if (px < 0) px += w;
    if (py < 0) py += h;
    const int64_t row_bytes = ((w + 31) / 32) * 4;
    return (fill->bits[py * row_bytes + (px >> 3)] >> (7 - (px & 7))) & 1;
}

namespace {

// Pen sizes beyond this are drawn at this size; far larger than any image.
constexpr int kMaxPenSize = 65535;

// Collects one-pixel segments and draws them 16 at a time.
class Batch {
public:
    Batch(ImageDC* dc, const RasterPen* pen) : dc_(dc), pen_(pen) {}
    ~Batch() { flush(); }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    void add(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
        int32_t* s = items_ + 4 * n_;
        s[0] = clamp(x0);
        s[1] = clamp(y0);
        s[2] = clamp(x1);
        s[3] = clamp(y1);
        if (++n_ == 16) flush();
    }
    void flush() {
        if (n_) dc_->segment(dc_, pen_, 1, 1, items_, n_, 0xFFFFFFFFu);
        n_ = 0;
    }

private:
    static int32_t clamp(int64_t v) {
        // Only ends pushed past the 32-bit range by the pen's offsets move;
        // every other one-pixel segment keeps the direction of its wide one.
        return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    }
    ImageDC* dc_;
    const RasterPen* pen_;
    int32_t items_[64];
    int n_ = 0;
};

// Walks the cross line a-b and draws the vector (vx, vy) from each of its
// points, and from the intermediate point of every diagonal step.
void band_sweep(Batch& batch, int64_t ax, int64_t ay, int64_t bx, int64_t by, int64_t vx, int64_t vy) {
    const int64_t dx = bx > ax ? bx - ax : ax - bx, dy = by > ay ? by - ay : ay - by;
    const int sx = bx < ax ? -1 : 1, sy = by < ay ? -1 : 1;
    int64_t x = ax, y = ay;
    batch.add(x, y, x + vx, y + vy);
    if (dx >= dy) {
        int64_t err = dx >> 1;
        for (int64_t i = 0; i < dx; ++i) {
            x += sx;
            err -= dy;
            if (err < 0) {
                err += dx;
                batch.add(x, y, x + vx, y + vy);
                y += sy;
            }
            batch.add(x, y, x + vx, y + vy);
        }
    } else {
        int64_t err = dy >> 1;
        for (int64_t i = 0; i < dy; ++i) {
            y += sy;
            err -= dx;
            if (err < 0) {
                err += dy;
                batch.add(x, y, x + vx, y + vy);
                x += sx;
            }
            batch.add(x, y, x + vx, y + vy);
        }
    }
}

// Disc of radius r as horizontal spans: the pixels within r + 1/2 of the centre.
void disc(Batch& batch, int64_t cx, int64_t cy, int64_t r) {
    for (int64_t dy = 0; dy <= r; ++dy) {
        const int64_t half = isqrt_floor(r * r + r - dy * dy);
        batch.add(cx - half, cy + dy, cx + half, cy + dy);
        if (dy) batch.add(cx - half, cy - dy, cx + half, cy - dy);
    }
}

}  // namespace

void wide_pen_segments(ImageDC* dc, const RasterPen* pen, int width, int height,
                       const int32_t* segments, int count) {
    if (width < 1 || height < 1 || count < 1) return;
    const int64_t w = std::min(width, kMaxPenSize), h = std::min(height, kMaxPenSize);
    Batch batch(dc, pen);
    int64_t last_x = 0, last_y = 0;
    for (int i = 0; i < count; ++i) {
        const int64_t x0 = segments[4 * i], y0 = segments[4 * i + 1];
        const int64_t x1 = segments[4 * i + 2], y1 = segments[4 * i + 3];
        const int64_t dx = x1 - x0, dy = y1 - y0;
        const int64_t adx = (dx < 0 ? -dx : dx) + 1, ady = (dy < 0 ? -dy : dy) + 1;
        const bool same_way = (dx >= 0) == (dy >= 0);
        if (w == 2 && h == 2) {
            batch.add(x0, y0, x1, y1);
            if (ady < adx) batch.add(x0, y0 + 1, x1, y1 + 1);
            else batch.add(x0 + 1, y0, x1 + 1, y1);
        } else if (w == h) {
            const int64_t r = (w | 1) >> 1;
            const double k = static_cast<double>(r) / std::sqrt(double(adx) * adx + double(ady) * ady);
            const int64_t ox = static_cast<int64_t>(ady * k + 0.9);
            const int64_t oy = static_cast<int64_t>(adx * k + 0.9);
            if (same_way) band_sweep(batch, x0 + ox, y0 - oy, x0 - ox, y0 + oy, dx, dy);
            else band_sweep(batch, x0 + ox, y0 + oy, x0 - ox, y0 - oy, dx, dy);
            if (i == 0 || x0 != last_x || y0 != last_y) disc(batch, x0, y0, r);
            disc(batch, x1, y1, r);
        } else {
            const int64_t left = (w - 1) >> 1, top = (h - 1) >> 1;
            const int64_t rx0 = x0 - left, ry0 = y0 - top, rx1 = rx0 + w - 1, ry1 = ry0 + h - 1;
            if (same_way) band_sweep(batch, rx0, ry1, rx1, ry0, dx, dy);
            else band_sweep(batch, rx0, ry0, rx1, ry1, dx, dy);
            band_sweep(batch, rx0, ry0, rx0, ry1, w - 1, 0);
            band_sweep(batch, rx0 + dx, ry0 + dy, rx0 + dx, ry1 + dy, w - 1, 0);
        }
        last_x = x1;
        last_y = y1;
    }
}
