// Painting a VIEW into its canvas: background, grid and the drawing through the
// wire-frame driver; the scroll-bar and window-size arithmetic of the drawing view.
#include "shell/view_paint.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "graphics/view/colours.h"
#include "graphics/view/driver.h"
#include "graphics/view/view.h"
#include "graphics/view/view_gdi.h"
#include "model/db/buffer.h"
#include "model/db/solid.h"
#include "model/db/zobj.h"

CanvasPainter::CanvasPainter(RasterImage* image) : image_(image) {
    dc_ = image ? image_dc_create(image) : nullptr;
}

CanvasPainter::~CanvasPainter() { image_dc_free(dc_); }

void CanvasPainter::fill(const RasterRect& r, uint32_t colour) {
    if (!dc_) return;
    RasterRect c;
    if (!rect_intersect(&c, &r, &clip_)) return;
    RasterFill f{0, colour, 0, 0, 0, 0, 0, nullptr};
    image_dc_blit(dc_, c.x0, c.y0, c.x1 - c.x0 + 1, c.y1 - c.y0 + 1, &f, 0, 0,
                  kRopFill | kRopColourWords | 3);
}

void CanvasPainter::segments(const int32_t* xy, int count, uint32_t colour, int pen_width, uint32_t op) {
    if (!dc_ || count <= 0) return;
    const RasterPen pen{op | kRopColourWords, colour, clip_};
    const int w = std::max(pen_width, 1);
    dc_->segment(dc_, &pen, w, w, xy, count, 0xFFFFFFFFu);
}

void CanvasPainter::triangle(int x0, int y0, int x1, int y1, int x2, int y2, uint32_t colour, uint32_t op) {
    if (!dc_) return;
    const RasterPen pen{op | kRopColourWords, colour, clip_};
    image_dc_fill_triangle(dc_, &pen, x0, y0, x1, y1, x2, y2);
}

void CanvasPainter::scroll(int dx, int dy) {
    if (!dc_ || (dx == 0 && dy == 0)) return;
    const int w = image_->width, h = image_->height;
    if (dx >= w || -dx >= w || dy >= h || -dy >= h) return;
    const int sx = std::max(0, -dx), sy = std::max(0, -dy);
    image_dc_blit(dc_, sx + dx, sy + dy, w - std::abs(dx), h - std::abs(dy), dc_, sx, sy, 3);
}

uint32_t display_colour_word(int index) {
    const PaletteEntry& e = kDisplayPalette[static_cast<uint8_t>(index)];
    return uint32_t(e.red) | uint32_t(e.green) << 8 | uint32_t(e.blue) << 16;
}

uint32_t display_background_word() {
    return display_colour_word(display_background_colour());
}

namespace {

// The line batch of one drawing operation: segments gathered in one colour and
// width and handed to the canvas together.
struct LineBatch {
    CanvasPainter* canvas = nullptr;
    int last_row = 0;      // client height - 1
    bool fixed = false;    // one colour for everything
    uint32_t colour = 0;
    int width = 1;
    uint32_t op = 3;
    std::vector<int32_t> segs;

    void flush() {
        if (!segs.empty()) canvas->segments(segs.data(), int(segs.size() / 4), colour, width, op);
        segs.clear();
    }
};

int batch_line(void* c, int x1, int y1, int x2, int y2) {
    auto* b = static_cast<LineBatch*>(c);
    b->segs.insert(b->segs.end(), {x1, b->last_row - y1, x2, b->last_row - y2});
    if (b->segs.size() >= 4 * 256) b->flush();
    return 0;
}

int batch_pen(void* c, int colour, int width_x, int /*width_y*/) {
    auto* b = static_cast<LineBatch*>(c);
    const uint32_t word = b->fixed ? b->colour : display_colour_word(colour_index_fix(colour));
    const int width = std::max(width_x, 1);
    if (word != b->colour || width != b->width) {
        b->flush();
        b->colour = word;
        b->width = width;
    }
    return 0;
}

int batch_triangle(void* c, int x1, int y1, int x2, int y2, int x3, int y3) {
    auto* b = static_cast<LineBatch*>(c);
    b->flush();
    b->canvas->triangle(x1, b->last_row - y1, x2, b->last_row - y2, x3, b->last_row - y3, b->colour, b->op);
    return 0;
}

// Runs `draw` with the VIEW's projection feeding a line batch; the projection's
// callbacks are restored afterwards.
template <class Fn>
void with_batch(VIEW* view, CanvasPainter& canvas, int colour, uint32_t op, Fn&& draw) {
    LineBatch batch;
    batch.canvas = &canvas;
    batch.last_row = canvas.height() - 1;
    batch.fixed = colour >= 0;
    batch.colour = batch.fixed ? display_colour_word(colour) : display_colour_word(15);
    batch.op = op;
    ViewProjection& vp = view->projection;
    const ViewProjection saved = vp;
    vp.context = &batch;
    vp.line = &batch_line;
    vp.pen = &batch_pen;
    vp.triangle = &batch_triangle;
    draw();
    batch.flush();
    vp.context = saved.context;
    vp.line = saved.line;
    vp.pen = saved.pen;
    vp.triangle = saved.triangle;
}

}  // namespace

void view_paint_object(VIEW* view, CanvasPainter& canvas, object* obj, int colour, uint32_t op) {
    if (!view || !obj) return;
    with_batch(view, canvas, colour, op, [&] { viewiter_draw_object(&view->projection, obj); });
}

void view_paint_grid(VIEW* view, CanvasPainter& canvas, const RasterRect& rect) {
    const ViewProjection& vp = view->projection;
    const double sx = view->grid_steps[0], sy = view->grid_steps[1], scale = vp.scale;
    if (!std::isfinite(sx) || !std::isfinite(sy) || !std::isfinite(scale)) return;
    if (!(sx * scale >= 10.0) || !(sy * scale >= 10.0)) return;
    const int height = canvas.height();
    double gx0 = 0, gy0 = 0;
    if (view->coordinate_type == 1) {
        gx0 = view->user_origin.x;
        gy0 = view->user_origin.y;
    }
    // Drawing units of the rectangle (rows counted from the bottom).
    const double left = rect.x0 / scale + vp.origin_x, right = (rect.x1 + 1) / scale + vp.origin_x;
    const double bottom = (height - 1 - rect.y1) / scale + vp.origin_y;
    const double top = (height - rect.y0) / scale + vp.origin_y;
    const double c0 = std::floor((left - gx0 - 1) / sx) - 1, c1 = std::ceil((right - gx0 + 1) / sx) + 1;
    const double r0 = std::floor((bottom - gy0 - 1) / sy) - 1, r1 = std::ceil((top - gy0 + 1) / sy) + 1;
    if (!(c1 - c0 < 1e5) || !(r1 - r0 < 1e5)) return;  // far more lines than pixels
    auto col_px = [&](double c) { return int(std::lround((gx0 + c * sx - vp.origin_x) * scale)); };
    auto row_px = [&](double r) { return height - 1 - int(std::lround((gy0 + r * sy - vp.origin_y) * scale)); };
    canvas.set_clip(rect);
    std::vector<int32_t> segs;
    if (view->flags & kViewFlagGridLines) {
        for (double c = c0; c <= c1; ++c) segs.insert(segs.end(), {col_px(c), rect.y0, col_px(c), rect.y1});
        for (double r = r0; r <= r1; ++r) segs.insert(segs.end(), {rect.x0, row_px(r), rect.x1, row_px(r)});
        canvas.segments(segs.data(), int(segs.size() / 4), display_colour_word(8), 1, 3);
    } else {
        const uint32_t dot = g_display.black_background ? display_colour_word(0) : display_colour_word(7);
        for (double r = r0; r <= r1; ++r)
            for (double c = c0; c <= c1; ++c) {
                const int x = col_px(c), y = row_px(r);
                segs.insert(segs.end(), {x, y, x, y});
            }
        canvas.segments(segs.data(), int(segs.size() / 4), dot, 1, 3);
    }
    canvas.clear_clip();
}

void view_paint_rect(VIEW* view, CanvasPainter& canvas, const RasterRect& rect) {
    if (!view) return;
    canvas.set_clip(rect);
    canvas.fill(rect, display_background_word());
    canvas.clear_clip();
    if (view->flags & kViewFlagGrid) view_paint_grid(view, canvas, rect);
    MODEL* model = view_drawing(view);
    if (!model || !model->children) return;

    ViewProjection& vp = view->projection;
    const Vec3 saved_min = vp.extents_min, saved_max = vp.extents_max;
    if (vp.mode != kProjPerspective && vp.scale > 0) {
        const int height = canvas.height();
        vp.extents_min = {float(rect.x0 / vp.scale + vp.origin_x - 1),
                          float((height - 1 - rect.y1) / vp.scale + vp.origin_y - 1), -FLT_MAX};
        vp.extents_max = {float((rect.x1 + 1) / vp.scale + vp.origin_x + 1),
                          float((height - rect.y0) / vp.scale + vp.origin_y + 1), FLT_MAX};
    }
    canvas.set_clip(rect);
    with_batch(view, canvas, -1, 3, [&] {
        ZDLIST* head = model->children;
        ZDLIST* n = head;
        int layer = 0;
        do {
            if (rtc_is<LAYER>(n)) {
                if (view_layer_flag(view, layer)) viewiter_draw_object(&vp, static_cast<object*>(n));
                ++layer;
            } else if (rtc_is<CAMERA>(n)) {
                viewiter_draw_object(&vp, static_cast<object*>(n));
            }
            n = n->next;
        } while (n && n != head);
    });
    // The selection over it in the highlight colour, as picking drew it: a selection
    // stays shown whatever repaints the window (a drawing opened with its stored one).
    if (buffer_has_objects(view->selection))
        with_batch(view, canvas, g_display.highlight_colour, 3, [&] {
            for (const RefNode* r = view->selection->refs; r; r = r->next) {
                auto* obj = rtc_cast<object>(r->ref);
                if (obj && obj->parent && object_visible_in_view(view, obj)) viewiter_draw_object(&vp, obj);
            }
        });
    canvas.clear_clip();
    vp.extents_min = saved_min;
    vp.extents_max = saved_max;
}

ScrollBarState scroll_bar_for(bool perspective, double e0, double e1, double o, double v) {
    ScrollBarState s;
    if (perspective) return {1, 2, 3, 0, false};
    if (!(e0 < e1)) return {0, 32767, 32766, 1, true};
    const double lo = std::min(e0, o), hi = std::max(e1, o + v);
    const double k = 536870911.0 / (hi - lo);
    if (!std::isfinite(k) || !std::isfinite(o) || !std::isfinite(v)) return {0, 32767, 32766, 1, true};
    s.minimum = -1;
    s.maximum = 536870912;
    s.position = int(std::clamp(std::trunc((o - lo) * k), -1.0, 536870912.0));
    s.page = int(std::clamp(std::trunc(k * v), 0.0, 536870913.0));
    return s;
}

double scroll_amount_to_units(double amount, double scale, int page, int pixels) {
    const double r = amount / (scale * page) * pixels;
    return std::isfinite(r) ? r : 0.0;
}

void new_view_client_size(int area_width, int area_height, int* width, int* height) {
    int h = (3 * area_width - 240) / 4;
    h = std::min(h, area_height - 48);
    h = std::max(h, 64);
    *height = h;
    *width = 4 * h / 3;
}
