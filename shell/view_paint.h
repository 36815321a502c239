// Painting a VIEW into its window's canvas, and the arithmetic of the drawing view
// that needs no window: the grid, the drawing clipped to a rectangle, the scroll-bar
// ranges over the drawing's extents, and the size of a new drawing window.
//
// Pixels are device pixels. The engine counts rows upward from the bottom; the
// canvas counts them downward from the top (row = height - 1 - y).
#pragma once

#include <cstdint>

#include "graphics/raster/raster.h"

class VIEW;
class object;

// Paints into a 24-bit raster image (the canvas of a drawing view) limited to a clip
// rectangle: what repainting one part of a window needs. Rows run from the top;
// colours are colour words. Does not own the image.
class CanvasPainter {
  public:
    explicit CanvasPainter(RasterImage* image);
    ~CanvasPainter();
    CanvasPainter(const CanvasPainter&) = delete;
    CanvasPainter& operator=(const CanvasPainter&) = delete;

    int width() const { return image_ ? image_->width : 0; }
    int height() const { return image_ ? image_->height : 0; }
    // Later drawing is limited to the rectangle (inclusive) and the image.
    void set_clip(const RasterRect& r) { clip_ = r; }
    void clear_clip() { clip_ = {-0x3FFFFFFF, -0x3FFFFFFF, 0x3FFFFFFF, 0x3FFFFFFF}; }
    void fill(const RasterRect& r, uint32_t colour);
    // (x0, y0, x1, y1) quadruples; `op` the raster operation (3 copy, 6 xor).
    void segments(const int32_t* xy, int count, uint32_t colour, int pen_width, uint32_t op);
    void triangle(int x0, int y0, int x1, int y1, int x2, int y2, uint32_t colour, uint32_t op);
    // Moves the whole picture by (dx, dy) pixels; the uncovered strips keep stale
    // pixels that the caller repaints.
    void scroll(int dx, int dy);

  private:
    RasterImage* image_;
    ImageDC* dc_ = nullptr;
    RasterRect clip_ = {-0x3FFFFFFF, -0x3FFFFFFF, 0x3FFFFFFF, 0x3FFFFFFF};
};

// Bits of VIEW::flags the drawing view reads.
inline constexpr int32_t kViewFlagGrid = 0x0008;       // the grid is shown
inline constexpr int32_t kViewFlagGridLines = 0x0010;  // as full lines, not dots

// The colour word of a display colour index (its palette entry).
uint32_t display_colour_word(int index);
// The background colour word of drawing windows.
uint32_t display_background_word();

// Paints one rectangle of the canvas (inclusive, rows from the top): the background,
// the grid when the VIEW shows it, then every visible layer and camera of the
// drawing. The canvas height is the client height.
void view_paint_rect(VIEW* view, CanvasPainter& canvas, const RasterRect& rect);
// Draws the grid into a rectangle; nothing when a step is below 10 pixels on
// screen, not finite or not positive.
void view_paint_grid(VIEW* view, CanvasPainter& canvas, const RasterRect& rect);
// Draws one object through the VIEW's projection in a display colour index, or in
// its own colours for a negative index, with raster operation `op`.
void view_paint_object(VIEW* view, CanvasPainter& canvas, object* obj, int colour, uint32_t op);

// One scroll bar: range, page and position.
struct ScrollBarState {
    int minimum = 0, maximum = 0, page = 0, position = 0;
    bool active = true;
};
// The bar of one axis for extents [e0, e1], origin o (drawing units at the low edge)
// and visible size v (client pixels / scale). Perspective views get an inactive bar.
ScrollBarState scroll_bar_for(bool perspective, double e0, double e1, double o, double v);
// The drawing-unit amount of a scroll of `amount` bar units on a bar with `page`
// over a client extent of `pixels` at `scale`; 0 when the result would not be a
// finite number (an empty client area, a zero page or scale).
double scroll_amount_to_units(double amount, double scale, int page, int pixels);

// Client size of a new drawing window in an MDI area of W x H pixels: h = (3W - 240)
// / 4, at most H - 48, at least 64; w = 4h / 3.
void new_view_client_size(int area_width, int area_height, int* width, int* height);
