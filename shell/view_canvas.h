// The picture of a drawing window: a 24-bit raster image in device pixels that the
// drawing view paints with the raster library and hands to the window system as it
// is. Rows run from the top; colours are colour words (red in the low byte).
// No window-system code. Owned by its drawing view; user-interface thread.
#pragma once

#include <cstdint>

#include "graphics/raster/raster.h"

class ViewCanvas {
  public:
    ViewCanvas() = default;
    ~ViewCanvas();
    ViewCanvas(const ViewCanvas&) = delete;
    ViewCanvas& operator=(const ViewCanvas&) = delete;

    // Makes the image width x height (at least 1 x 1); the content is undefined
    // afterwards. False when memory runs out (the canvas is then empty).
    bool resize(int width, int height);
    int width() const { return image_ ? image_->width : 0; }
    int height() const { return image_ ? image_->height : 0; }
    const uint8_t* bits() const { return image_ ? image_->pixels : nullptr; }
    int stride() const { return image_ ? image_->stride : 0; }
    // The colour word of one pixel (0 outside).
    uint32_t pixel(int x, int y) const;

    // Later drawing is limited to the rectangle (inclusive); clear_clip lifts it.
    void set_clip(const RasterRect& r) { clip_ = r; }
    void clear_clip() { clip_ = {-0x3FFFFFFF, -0x3FFFFFFF, 0x3FFFFFFF, 0x3FFFFFFF}; }
    // Fills a rectangle (inclusive) with a colour, within the clip.
    void fill(const RasterRect& r, uint32_t colour);
    // Segments as (x0, y0, x1, y1) quadruples; `op` is the raster operation (3 copy,
    // 6 xor, 7 merge); pen width in pixels.
    void segments(const int32_t* xy, int count, uint32_t colour, int pen_width, uint32_t op);
    void triangle(int x0, int y0, int x1, int y1, int x2, int y2, uint32_t colour, uint32_t op);
    // Moves the whole picture by (dx, dy) pixels; the uncovered strips keep stale
    // pixels that the caller repaints.
    void scroll(int dx, int dy);

  private:
    RasterImage* image_ = nullptr;
    ImageDC* dc_ = nullptr;
    RasterRect clip_ = {-0x3FFFFFFF, -0x3FFFFFFF, 0x3FFFFFFF, 0x3FFFFFFF};
};
