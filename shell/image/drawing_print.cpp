// Tiled and fitted drawing prints through QPainter.
#include "shell/image/drawing_print.h"

#include <QPainter>
#include <QPrinter>
#include <cmath>
#include <vector>

#include "model/math/result.h"
#include "shell/core/print_pens.h"
#include "shell/image/print_file.h"

namespace {

QPen qpen_of(const PrintPen& pen) {
    QPen q(QColor::fromRgb(pen.rgb));
    q.setWidthF(pen.width);  // 0: cosmetic, one device pixel
    q.setCapStyle(Qt::RoundCap);
    q.setJoinStyle(Qt::RoundJoin);
    return q;
}

std::function<bool(QPrinter*)>& new_page_hook() {
    static std::function<bool(QPrinter*)> hook;
    return hook;
}

}  // namespace

bool print_new_page(QPrinter* printer) { return new_page_hook() ? new_page_hook()(printer) : printer->newPage(); }

void print_set_new_page_hook(std::function<bool(QPrinter*)> hook) { new_page_hook() = std::move(hook); }

int drawing_picture_collect(const DrawingSource& source, DrawingPicture* out) {
    *out = DrawingPicture();
    try {
        out->pens.push_back({0, 0.0});  // black hairline until the first pen
        int pen = 0;
        DrawingSink sink;
        sink.pen = [&](int colour, double width) {
            if (out->pens[size_t(pen)] == std::make_pair(colour, width)) return;
            out->pens.emplace_back(colour, width);
            pen = static_cast<int>(out->pens.size()) - 1;
        };
        sink.line = [&](double x0, double y0, double x1, double y1) {
            out->segs.insert(out->segs.end(), {x0, y0, x1, y1});
            out->seg_pens.push_back(pen);
        };
        sink.triangle = [&](const double xy[6]) {
            out->tris.insert(out->tris.end(), xy, xy + 6);
            out->tri_pens.push_back(pen);
        };
        if (source) source(sink);
    } catch (...) {
        *out = DrawingPicture();
        return kOutOfMemory;
    }
    return 0;
}

void paint_drawing_picture(QPainter& p, const DrawingPicture& picture, const double window[4], const QRectF& target,
                           bool monochrome) {
    const double ww = window[2] - window[0], wh = window[3] - window[1];
    if (!(ww > 0) || !(wh > 0) || target.width() < 1 || target.height() < 1) return;
    const double kx = target.width() / ww, ky = target.height() / wh;
    auto at = [&](double x, double y) {
        return QPointF(target.left() + (x - window[0]) * kx, target.bottom() - (y - window[1]) * ky);
    };
    p.save();
    p.setClipRect(target);
    std::vector<QColor> colours;
    for (const auto& [colour, width] : picture.pens) colours.emplace_back(QColor::fromRgb(print_pen_colour(colour, monochrome)));
    for (size_t i = 0, t = 0; t < picture.tri_pens.size(); i += 6, ++t) {
        const QColor& c = colours[size_t(picture.tri_pens[t])];
        p.setPen(c);
        p.setBrush(c);
        const QPointF pts[3] = {at(picture.tris[i], picture.tris[i + 1]), at(picture.tris[i + 2], picture.tris[i + 3]),
                                at(picture.tris[i + 4], picture.tris[i + 5])};
        p.drawPolygon(pts, 3);
    }
    int current = -1;
    for (size_t i = 0, s = 0; s < picture.seg_pens.size(); i += 4, ++s) {
        if (picture.seg_pens[s] != current) {
            current = picture.seg_pens[s];
            p.setPen(QPen(colours[size_t(current)], 0));
        }
        p.drawLine(at(picture.segs[i], picture.segs[i + 1]), at(picture.segs[i + 2], picture.segs[i + 3]));
    }
    p.restore();
}

int print_drawing(QPrinter* printer, const PrintLayout& l, const DrawingSource& source,
                  const std::function<void(int64_t, int64_t)>& progress, int64_t* pages_out) {
    if (pages_out) *pages_out = 0;
    const int64_t pages = print_layout_pages(l);
    if (pages > kMaxPrintPages) return kLayoutTooManyPages;
    if (!printer) return kBadArgument;
    printer->setFullPage(true);
    DrawingPicture list;
    if (drawing_picture_collect(source, &list) != 0) return kOutOfMemory;
    // The picture's pen requests as printing pens, each made once.
    PrintPenTable table(l.scale, l.monochrome != 0);
    std::vector<int> pen_of;
    for (const auto& [colour, width] : list.pens) pen_of.push_back(table.select(colour, width));
    std::vector<QPen> pens;
    for (const PrintPen& p : table.pens()) pens.push_back(qpen_of(p));
    PrintFile file(printer);
    if (file.error()) return file.error();
    QPainter p;
    if (!p.begin(printer)) return kBadArgument;
    // Hundredths of a millimetre, y up from the paper's bottom edge.
    const double dots = printer->logicalDpiX() / 2540.0;
    const double paper_h = l.paper_h * 0.0254 * 100;  // 0.01 mm
    const double left = l.margins.left * 0.0254 * 100, bottom = l.margins.bottom * 0.0254 * 100;
    const double page_w = (double(l.paper_w) - l.margins.left - l.margins.right) * 0.0254 * 100;
    const double page_h = (double(l.paper_h) - l.margins.top - l.margins.bottom) * 0.0254 * 100;
    const double units = l.scale * 100;  // 0.01 mm per drawing unit
    for (int64_t page = 1; page <= pages; ++page) {
        if (page > 1 && !print_new_page(printer)) {
            // The pages so far stay with the printer; the print as a whole failed.
            p.end();
            return kBadArgument;
        }
        int64_t col = 0, row = 0;
        print_layout_page_cell(l, page, &col, &row);
        p.resetTransform();
        p.scale(dots, -dots);
        p.translate(left, -(paper_h - bottom));  // the page area's bottom-left corner
        // Wide pens end at the page edge too.
        p.setClipRect(QRectF(0, 0, page_w, page_h));
        // The page's window on the drawing, in drawing units.
        const double ox = l.origin_x + col * page_w / units, oy = l.origin_y + row * page_h / units;
        int current = -1;
        auto use = [&](int request) {
            const int pen = pen_of[size_t(request)];
            if (pen == current) return;
            current = pen;
            p.setPen(pens[size_t(pen)]);
            p.setBrush(pens[size_t(pen)].color());
        };
        for (size_t i = 0, t = 0; t < list.tri_pens.size(); i += 6, ++t) {
            double tri[6], poly[18];
            for (int k = 0; k < 6; k += 2) {
                tri[k] = (list.tris[i + k] - ox) * units;
                tri[k + 1] = (list.tris[i + k + 1] - oy) * units;
            }
            const int n = print_clip_triangle(page_w, page_h, tri, poly);
            if (n < 3) continue;
            QPolygonF shape;
            for (int k = 0; k < n; ++k) shape << QPointF(poly[k * 2], poly[k * 2 + 1]);
            use(list.tri_pens[t]);
            p.drawPolygon(shape);
        }
        for (size_t i = 0, s = 0; s < list.seg_pens.size(); i += 4, ++s) {
            double x0 = (list.segs[i] - ox) * units, y0 = (list.segs[i + 1] - oy) * units;
            double x1 = (list.segs[i + 2] - ox) * units, y1 = (list.segs[i + 3] - oy) * units;
            if (!print_clip_line(page_w, page_h, &x0, &y0, &x1, &y1)) continue;
            use(list.seg_pens[s]);
            p.drawLine(QPointF(x0, y0), QPointF(x1, y1));
        }
        p.setClipping(false);
        if (l.tile) {
            QPen mark(Qt::black);
            mark.setWidthF(0);
            p.setPen(mark);
            double marks[32];
            print_crop_marks(page_w, page_h, marks);
            for (int m = 0; m < 8; ++m)
                p.drawLine(QPointF(marks[m * 4], marks[m * 4 + 1]), QPointF(marks[m * 4 + 2], marks[m * 4 + 3]));
        }
        if (pages_out) *pages_out = page;
        if (progress) progress(page, pages);
    }
    if (!p.end()) return kBadArgument;
    const int written = file.finish();
    if (written && pages_out) *pages_out = 0;  // the file that held them is gone
    return written;
}

// ---------------------------------------------------------------------------------
// The drawing through the wire-frame driver.

#include <algorithm>

#include "graphics/view/driver.h"
#include "graphics/view/projection.h"
#include "model/db/solid.h"
#include "model/db/zobj.h"

namespace {

// Driver pixels back to area units: x / k + origin.
struct Collect {
    const DrawingSink* sink;
    double ox, oy, k;
};

int collect_line(void* context, int x1, int y1, int x2, int y2) {
    auto* c = static_cast<Collect*>(context);
    if (c->sink->line) c->sink->line(x1 / c->k + c->ox, y1 / c->k + c->oy, x2 / c->k + c->ox, y2 / c->k + c->oy);
    return 0;
}

int collect_triangle(void* context, int x1, int y1, int x2, int y2, int x3, int y3) {
    auto* c = static_cast<Collect*>(context);
    if (!c->sink->triangle) return 0;
    const double xy[6] = {x1 / c->k + c->ox, y1 / c->k + c->oy, x2 / c->k + c->ox,
                          y2 / c->k + c->oy, x3 / c->k + c->ox, y3 / c->k + c->oy};
    c->sink->triangle(xy);
    return 0;
}

// The driver's pen width is at least one pixel: one pixel is a hairline.
int collect_pen(void* context, int colour, int width_x, int) {
    auto* c = static_cast<Collect*>(context);
    if (c->sink->pen) c->sink->pen(colour, width_x <= 1 ? 0.0 : width_x / c->k);
    return 0;
}

// Every shown layer and every camera of the drawing through `vp`.
void draw_drawing(MODEL* model, ViewProjection* vp, const std::function<bool(int)>& layer_shown) {
    ZDLIST* head = model->children;
    ZDLIST* n = head;
    int layer = 0;
    do {
        if (rtc_is<LAYER>(n)) {
            if (!layer_shown || layer_shown(layer)) viewiter_draw_object(vp, static_cast<object*>(n));
            ++layer;
        } else if (rtc_is<CAMERA>(n)) {
            viewiter_draw_object(vp, static_cast<object*>(n));
        }
        n = n->next;
    } while (n && n != head);
}

}  // namespace

DrawingSource drawing_source_of(MODEL* model, const ViewProjection& projection, double min_x, double min_y,
                                double max_x, double max_y, std::function<bool(int layer)> layer_shown) {
    return [=](const DrawingSink& sink) {
        if (!model || !model->children) return;
        ViewProjection vp = projection;
        const double side = std::max({max_x - min_x, max_y - min_y, 1e-9});
        // Area units to driver pixels: the area fills 16000 pixels of the range.
        const double k = 16000.0 / side;
        if (vp.mode == kProjPerspective) {
            // The window's picture magnified k times about the area's corner; the
            // driver clips to its range what lies far outside.
            vp.eye_distance *= k;
            vp.centre_x = (vp.centre_x - min_x) * k;
            vp.centre_y = (vp.centre_y - min_y) * k;
            vp.scale *= k;  // pen widths as the window's, magnified
            vp.pen_mode = kPenModeScaled;
            view_extents_reset(&vp);
        } else {
            vp.scale = k;
            vp.origin_x = min_x;
            vp.origin_y = min_y;
            vp.extents_min = {float(min_x - side), float(min_y - side), -FLT_MAX};
            vp.extents_max = {float(max_x + side), float(max_y + side), FLT_MAX};
            vp.pen_mode = kPenModeNoRange;
        }
        Collect c{&sink, min_x, min_y, k};
        vp.line = &collect_line;
        vp.triangle = &collect_triangle;
        vp.pen = &collect_pen;
        vp.context = &c;
        draw_drawing(model, &vp, layer_shown);
    };
}

bool drawing_picture_extents(MODEL* model, const ViewProjection& projection, std::function<bool(int layer)> layer_shown,
                             double* min_x, double* min_y, double* max_x, double* max_y) {
    if (!model || !model->children) return false;
    double box[4] = {HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    auto grow = [&](double x, double y) {
        box[0] = std::min(box[0], x), box[1] = std::min(box[1], y);
        box[2] = std::max(box[2], x), box[3] = std::max(box[3], y);
    };
    DrawingSink sink;
    sink.line = [&](double x0, double y0, double x1, double y1) { grow(x0, y0), grow(x1, y1); };
    sink.triangle = [&](const double xy[6]) { grow(xy[0], xy[1]), grow(xy[2], xy[3]), grow(xy[4], xy[5]); };
    ViewProjection vp = projection;
    vp.pen_mode = kPenModeScaled;  // clipped to the driver's range
    view_extents_reset(&vp);
    Collect c{&sink, 0, 0, 1};
    if (vp.mode != kProjPerspective) {
        c.ox = vp.origin_x, c.oy = vp.origin_y, c.k = vp.scale > 0 ? vp.scale : 1;
    }
    vp.line = &collect_line;
    vp.triangle = &collect_triangle;
    vp.pen = nullptr;
    vp.context = &c;
    draw_drawing(model, &vp, layer_shown);
    if (!(box[0] <= box[2] && box[1] <= box[3])) return false;
    *min_x = box[0], *min_y = box[1], *max_x = box[2], *max_y = box[3];
    return true;
}
