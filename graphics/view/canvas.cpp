// The canvas of a drawing window: primitives into a 24-bit raster image, each pixel
// set once per primitive so that XOR drawing erases exactly.
#include "graphics/view/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "graphics/raster/raster.h"
#include "graphics/raster/rasterops.h"
#include "graphics/view/colours.h"
#include "graphics/view/driver.h"
#include "graphics/view/projection.h"
#include "graphics/view/view.h"
#include "model/db/zobj.h"
#include "model/math/result.h"

namespace {

constexpr int kMaxSide = 32768;

int64_t key_of(int x, int y) { return (static_cast<int64_t>(y) << 32) | static_cast<uint32_t>(x); }
int key_x(int64_t k) { return static_cast<int32_t>(static_cast<uint32_t>(k & 0xFFFFFFFF)); }
int key_y(int64_t k) { return static_cast<int32_t>(k >> 32); }

}  // namespace

Canvas::Canvas() = default;

Canvas::~Canvas() {
    if (image_) image_free(image_);
}

int Canvas::resize(int width, int height, uint32_t background) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return kBadArgument;
    RasterImage* img = image_create(width, height, 1, 24, nullptr);
    if (!img) return kOutOfMemory;
    if (image_) image_free(image_);
    image_ = img;
    clear(background);
    return 0;
}

int Canvas::width() const { return image_ ? image_->width : 0; }
int Canvas::height() const { return image_ ? image_->height : 0; }

const uint8_t* Canvas::row(int r) const {
    if (!image_ || r < 0 || r >= image_->height) return nullptr;
    return image_->pixels + static_cast<size_t>(r) * image_->stride;
}

void Canvas::set_pen(int mode, uint32_t colour) {
    mode_ = (mode == kDrawXor || mode == kDrawMerge) ? mode : kDrawCopy;
    colour_ = colour & 0xFFFFFF;
}

uint32_t Canvas::palette_colour(int index) {
    const PaletteEntry& e = kDisplayPalette[static_cast<size_t>(index) & 255];
    return static_cast<uint32_t>(e.red) | (static_cast<uint32_t>(e.green) << 8) | (static_cast<uint32_t>(e.blue) << 16);
}

void Canvas::touch(int x0, int y0, int x1, int y1) {
    if (damage_.empty()) {
        damage_ = CanvasRect{x0, y0, x1, y1};
        return;
    }
    damage_.x0 = std::min(damage_.x0, x0);
    damage_.y0 = std::min(damage_.y0, y0);
    damage_.x1 = std::max(damage_.x1, x1);
    damage_.y1 = std::max(damage_.y1, y1);
}

void Canvas::plot(int x, int y) {
    if (!image_ || x < 0 || y < 0 || x >= image_->width || y >= image_->height) return;
    int r = image_->height - 1 - y;
    uint8_t* p = image_->pixels + static_cast<size_t>(r) * image_->stride + static_cast<size_t>(x) * 3;
    const uint32_t c[3] = {(colour_ >> 16) & 255, (colour_ >> 8) & 255, colour_ & 255};
    for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>(rop_apply(mode_, c[i], p[i]));
    touch(x, r, x, r);
}

void Canvas::plot_set(std::vector<int64_t>& keys) {
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    for (int64_t k : keys) plot(key_x(k), key_y(k));
}

void Canvas::pixel(int x, int y) { plot(x, y); }

void Canvas::triangle(int x1, int y1, int x2, int y2, int x3, int y3) {
    if (!image_) return;
    const int px[3] = {x1, x2, x3}, py[3] = {y1, y2, y3};
    const int ylo = std::max(0, std::min({y1, y2, y3}));
    const int yhi = std::min(image_->height - 1, std::max({y1, y2, y3}));
    // One span a row, from the leftmost to the rightmost edge crossing.
    for (int y = ylo; y <= yhi; ++y) {
        double lo = std::numeric_limits<double>::infinity(), hi = -lo;
        for (int i = 0; i < 3; ++i) {
            const int ax = px[i], ay = py[i], bx = px[(i + 1) % 3], by = py[(i + 1) % 3];
            if (y < std::min(ay, by) || y > std::max(ay, by)) continue;
            if (ay == by) {
                lo = std::min({lo, double(ax), double(bx)});
                hi = std::max({hi, double(ax), double(bx)});
                continue;
            }
            const double x = ax + double(y - ay) * double(bx - ax) / double(by - ay);
            lo = std::min(lo, x);
            hi = std::max(hi, x);
        }
        if (lo > hi) continue;
        const int xa = static_cast<int>(std::max(0.0, std::ceil(lo - 1e-9)));
        const int xb = static_cast<int>(std::min(double(image_->width - 1), std::floor(hi + 1e-9)));
        for (int x = xa; x <= xb; ++x) plot(x, y);
    }
}

void Canvas::line(int x1, int y1, int x2, int y2) {
    if (!image_) return;
    // Far ends are first cut to the drawable pixel range.
    if (std::abs(static_cast<int64_t>(x1)) > kPixelMax || std::abs(static_cast<int64_t>(y1)) > kPixelMax ||
        std::abs(static_cast<int64_t>(x2)) > kPixelMax || std::abs(static_cast<int64_t>(y2)) > kPixelMax) {
        int out[4];
        if (!view_clip_segment(x1, y1, x2, y2, out)) return;
        x1 = out[0], y1 = out[1], x2 = out[2], y2 = out[3];
    }
    int dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
    int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
    int err = dx + dy;
    int x = x1, y = y1;
    while (x != x2 || y != y2) {  // the last pixel is left out
        plot(x, y);
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void Canvas::rect(int x1, int y1, int x2, int y2) {
    if (x1 == x2 || y1 == y2) {
        line(x1, y1, x2, y2);
        plot(x2, y2);
        return;
    }
    line(x1, y1, x2, y1);
    line(x2, y1, x2, y2);
    line(x2, y2, x1, y2);
    line(x1, y2, x1, y1);
}

namespace {
// The pixels of a circle (midpoint algorithm), possibly repeated.
void circle_keys(int cx, int cy, int r, std::vector<int64_t>* out) {
    out->clear();
    if (r < 0) return;
    if (r == 0) {
        out->push_back(key_of(cx, cy));
        return;
    }
    int x = r, y = 0, err = 1 - r;
    while (x >= y) {
        const int pts[8][2] = {{x, y}, {y, x}, {-y, x}, {-x, y}, {-x, -y}, {-y, -x}, {y, -x}, {x, -y}};
        for (auto& p : pts) out->push_back(key_of(cx + p[0], cy + p[1]));
        ++y;
        if (err < 0) {
            err += 2 * y + 1;
        } else {
            --x;
            err += 2 * (y - x) + 1;
        }
    }
}
}  // namespace

void Canvas::circle(int cx, int cy, int radius) {
    if (!image_ || radius < 0 || radius > 4 * kMaxSide) return;
    circle_keys(cx, cy, radius, &scratch_);
    plot_set(scratch_);
}

void Canvas::arc(int cx, int cy, int sx, int sy, int ex, int ey, int radius) {
    if (!image_ || radius < 0 || radius > 4 * kMaxSide) return;
    circle_keys(cx, cy, radius, &scratch_);
    const double two_pi = 2.0 * M_PI;
    double a0 = std::atan2(static_cast<double>(sy) - cy, static_cast<double>(sx) - cx);
    double a1 = std::atan2(static_cast<double>(ey) - cy, static_cast<double>(ex) - cx);
    double sweep = std::fmod(a1 - a0 + 2 * two_pi, two_pi);
    if (sweep == 0.0) sweep = two_pi;
    std::vector<int64_t> keep;
    keep.reserve(scratch_.size());
    for (int64_t k : scratch_) {
        double a = std::atan2(static_cast<double>(key_y(k) - cy), static_cast<double>(key_x(k) - cx));
        double d = std::fmod(a - a0 + 2 * two_pi, two_pi);
        if (d <= sweep) keep.push_back(k);
    }
    plot_set(keep);
}

void Canvas::segments(const int32_t* xy, int count) {
    if (!xy) return;
    for (int i = 0; i < count; ++i) line(xy[4 * i], xy[4 * i + 1], xy[4 * i + 2], xy[4 * i + 3]);
}

void Canvas::clear(uint32_t colour) {
    if (!image_) return;
    const uint8_t b[3] = {static_cast<uint8_t>((colour >> 16) & 255), static_cast<uint8_t>((colour >> 8) & 255),
                          static_cast<uint8_t>(colour & 255)};
    for (int r = 0; r < image_->height; ++r) {
        uint8_t* p = image_->pixels + static_cast<size_t>(r) * image_->stride;
        for (int x = 0; x < image_->width; ++x, p += 3) std::memcpy(p, b, 3);
    }
    touch(0, 0, image_->width - 1, image_->height - 1);
}

void Canvas::copy_from(const Canvas& source, const CanvasRect& area) {
    if (!image_ || !source.image_ || source.width() != width() || source.height() != height()) return;
    int x0 = std::max(0, area.x0), y0 = std::max(0, area.y0);
    int x1 = std::min(width() - 1, area.x1), y1 = std::min(height() - 1, area.y1);
    if (x0 > x1 || y0 > y1) return;
    for (int r = y0; r <= y1; ++r)
        std::memcpy(image_->pixels + static_cast<size_t>(r) * image_->stride + static_cast<size_t>(x0) * 3,
                    source.image_->pixels + static_cast<size_t>(r) * source.image_->stride + static_cast<size_t>(x0) * 3,
                    static_cast<size_t>(x1 - x0 + 1) * 3);
    touch(x0, y0, x1, y1);
}

int canvas_line_cb(void* context, int x1, int y1, int x2, int y2) {
    static_cast<Canvas*>(context)->line(x1, y1, x2, y2);
    return 0;
}

namespace {
struct ObjectPen {
    Canvas* canvas;
    int fixed;  // -1: the object's own colour
};
int object_line_cb(void* context, int x1, int y1, int x2, int y2) {
    static_cast<ObjectPen*>(context)->canvas->line(x1, y1, x2, y2);
    return 0;
}
int object_triangle_cb(void* context, int x1, int y1, int x2, int y2, int x3, int y3) {
    static_cast<ObjectPen*>(context)->canvas->triangle(x1, y1, x2, y2, x3, y3);
    return 0;
}
int object_pen_cb(void* context, int colour, int, int) {
    ObjectPen* p = static_cast<ObjectPen*>(context);
    int index = p->fixed >= 0 ? p->fixed : colour_index_fix(colour);
    p->canvas->set_pen(p->canvas->pen_mode(), Canvas::palette_colour(index));
    return 0;
}
}  // namespace

void Canvas::draw_object(const VIEW* view, object* obj, int colour) {
    if (!image_ || !view || !obj) return;
    ObjectPen pen{this, colour};
    if (colour >= 0) set_pen(mode_, palette_colour(colour));
    ViewProjection vp = view->projection;
    vp.line = object_line_cb;
    vp.triangle = object_triangle_cb;
    vp.pen = object_pen_cb;
    vp.context = &pen;
    viewiter_draw_object(&vp, obj);
}
