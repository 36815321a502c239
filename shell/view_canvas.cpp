// The drawing view's picture: a 24-bit raster image drawn by the raster library.
#include "shell/view_canvas.h"

#include <algorithm>

ViewCanvas::~ViewCanvas() {
    image_dc_free(dc_);
    image_free(image_);
}

bool ViewCanvas::resize(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (image_ && image_->width == width && image_->height == height) return true;
    image_dc_free(dc_);
    image_free(image_);
    dc_ = nullptr;
    image_ = image_create_ex(width, height, 1, 24, nullptr);
    if (image_) dc_ = image_dc_create(image_);
    if (!dc_) {
        image_free(image_);
        image_ = nullptr;
        return false;
    }
    return true;
}

uint32_t ViewCanvas::pixel(int x, int y) const {
    if (!image_ || x < 0 || y < 0 || x >= image_->width || y >= image_->height) return 0;
    const uint8_t* p = image_->pixels + size_t(y) * image_->stride + size_t(x) * 3;
    return uint32_t(p[2]) | uint32_t(p[1]) << 8 | uint32_t(p[0]) << 16;
}

void ViewCanvas::fill(const RasterRect& r, uint32_t colour) {
    if (!dc_) return;
    RasterRect c;
    if (!rect_intersect(&c, &r, &clip_)) return;
    RasterFill f{0, colour, 0, 0, 0, 0, 0, nullptr};
    image_dc_blit(dc_, c.x0, c.y0, c.x1 - c.x0 + 1, c.y1 - c.y0 + 1, &f, 0, 0,
                  kRopFill | kRopColourWords | 3);
}

void ViewCanvas::segments(const int32_t* xy, int count, uint32_t colour, int pen_width, uint32_t op) {
    if (!dc_ || count <= 0) return;
    const RasterPen pen{op | kRopColourWords, colour, clip_};
    const int w = std::max(pen_width, 1);
    dc_->segment(dc_, &pen, w, w, xy, count, 0xFFFFFFFFu);
}

void ViewCanvas::triangle(int x0, int y0, int x1, int y1, int x2, int y2, uint32_t colour, uint32_t op) {
    if (!dc_) return;
    const RasterPen pen{op | kRopColourWords, colour, clip_};
    image_dc_fill_triangle(dc_, &pen, x0, y0, x1, y1, x2, y2);
}

void ViewCanvas::scroll(int dx, int dy) {
    if (!dc_ || (dx == 0 && dy == 0)) return;
    const int w = image_->width, h = image_->height;
    if (dx >= w || -dx >= w || dy >= h || -dy >= h) return;
    const int sx = std::max(0, -dx), sy = std::max(0, -dy);
    image_dc_blit(dc_, sx + dx, sy + dy, w - std::abs(dx), h - std::abs(dy), dc_, sx, sy, 3);
}
