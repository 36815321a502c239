// The canvas of a drawing window: a 24-bit raster image (graphics/raster) with the
// drawing primitives the engine uses in a window (line, rectangle, circle, arc,
// pixel, segment batches) in copy, XOR or merge mode, and the drawing of objects
// through a VIEW's projection. The window side shows the image; nothing here calls a
// window system.
//
// Coordinates are the engine's pixels: x to the right, y growing upward from the
// bottom row (row = height - 1 - y). Primitives are clipped to the image.
// Every primitive sets each of its pixels exactly once, so drawing it twice in XOR
// restores the image byte for byte: lines leave out their last pixel, rectangles
// and circles are closed outlines, arcs are the circle's pixels within the sweep.
//
// The canvas keeps the union of the rectangles it changed (rows downward), for the
// window to repaint. User-interface thread; one canvas per window.
#pragma once

#include <cstdint>
#include <vector>

struct RasterImage;
class VIEW;
class object;
struct ViewProjection;

// Pen modes (the raster operations of the pen).
inline constexpr int kDrawCopy = 3;
inline constexpr int kDrawXor = 6;
inline constexpr int kDrawMerge = 7;  // OR

// A changed area in image rows (top row 0), inclusive; empty when x0 > x1.
struct CanvasRect {
    int x0 = 1, y0 = 1, x1 = 0, y1 = 0;
    bool empty() const { return x0 > x1 || y0 > y1; }
};

class Canvas {
  public:
    Canvas();
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Makes the image width x height (at least 1 x 1) filled with `background`
    // (a colour word). 0, 8 when out of memory (the old image stays), 13 for a size
    // that is not positive or beyond 32768.
    [[nodiscard]] int resize(int width, int height, uint32_t background);
    int width() const;
    int height() const;
    // The 24-bit image (blue, green, red in memory, top row first); owned.
    RasterImage* image() const { return image_; }
    const uint8_t* row(int image_row) const;

    // Pen for the next primitives: mode kDrawCopy, kDrawXor or kDrawMerge; colour word.
    void set_pen(int mode, uint32_t colour);
    int pen_mode() const { return mode_; }
    uint32_t pen_colour() const { return colour_; }

    void line(int x1, int y1, int x2, int y2);
    // Outline of the rectangle with corners (x1, y1) and (x2, y2), both included.
    void rect(int x1, int y1, int x2, int y2);
    void circle(int cx, int cy, int radius);
    // The circle's pixels from the direction of (sx, sy) counter-clockwise to the
    // direction of (ex, ey) about the centre; equal directions give the whole circle.
    void arc(int cx, int cy, int sx, int sy, int ex, int ey, int radius);
    void pixel(int x, int y);
    // The filled triangle with these corners (edges included), each pixel once.
    void triangle(int x1, int y1, int x2, int y2, int x3, int y3);
    // `count` segments of four coordinates (x1, y1, x2, y2), each drawn as line().
    void segments(const int32_t* xy, int count);
    // Fills the whole image with a colour word in copy mode.
    void clear(uint32_t colour);
    // Copies a rectangle of another canvas of the same size (rows downward, inclusive).
    void copy_from(const Canvas& source, const CanvasRect& area);

    // Draws an object through the view's projection in the pen's mode, in the colour
    // of display colour index `colour` (negative: the object's own colour).
    void draw_object(const VIEW* view, object* obj, int colour);

    CanvasRect damage() const { return damage_; }
    void clear_damage() { damage_ = CanvasRect(); }

    // The colour word of a display colour index (the display palette).
    static uint32_t palette_colour(int index);

  private:
    void plot(int x, int y);
    void plot_set(std::vector<int64_t>& keys);
    void touch(int x0, int y0, int x1, int y1);

    RasterImage* image_ = nullptr;
    int mode_ = kDrawCopy;
    uint32_t colour_ = 0xFFFFFF;
    CanvasRect damage_;
    std::vector<int64_t> scratch_;
};

// The line callbacks of a ViewProjection drawing into a canvas (context = Canvas*);
// pen callback selects the object's display colour unless a fixed one was set.
int canvas_line_cb(void* context, int x1, int y1, int x2, int y2);
