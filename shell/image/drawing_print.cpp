// Tiled and fitted drawing prints through QPainter.
#include "shell/image/drawing_print.h"

#include <QPainter>
#include <QPrinter>
#include <cmath>
#include <vector>

int print_drawing(QPrinter* printer, const PrintLayout& l, const DrawingSource& source,
                  const std::function<void(int64_t, int64_t)>& progress) {
    const int64_t pages = print_layout_pages(l);
    if (pages > kMaxPrintPages) return kLayoutTooManyPages;
    if (!printer) return 13;
    printer->setFullPage(true);
    // The drawing's segments once, in drawing units.
    std::vector<double> segs;
    try {
        source([&](double x0, double y0, double x1, double y1) { segs.insert(segs.end(), {x0, y0, x1, y1}); });
    } catch (...) {
        return 8;
    }
    QPainter p;
    if (!p.begin(printer)) return 13;
    // Hundredths of a millimetre, y up from the paper's bottom edge.
    const double dots = printer->logicalDpiX() / 2540.0;
    const double paper_h = l.paper_h * 0.0254 * 100;  // 0.01 mm
    const double left = l.margins.left * 0.0254 * 100, bottom = l.margins.bottom * 0.0254 * 100;
    const double page_w = (double(l.paper_w) - l.margins.left - l.margins.right) * 0.0254 * 100;
    const double page_h = (double(l.paper_h) - l.margins.top - l.margins.bottom) * 0.0254 * 100;
    const double units = l.scale * 100;  // 0.01 mm per drawing unit
    QPen pen(Qt::black);
    pen.setWidthF(0);  // cosmetic: one device pixel
    for (int64_t page = 1; page <= pages; ++page) {
        if (page > 1 && !printer->newPage()) break;
        int64_t col = 0, row = 0;
        print_layout_page_cell(l, page, &col, &row);
        p.resetTransform();
        p.scale(dots, -dots);
        p.translate(left, -(paper_h - bottom));  // the page area's bottom-left corner
        p.setPen(pen);
        // The page's window on the drawing, in drawing units.
        const double ox = l.origin_x + col * page_w / units, oy = l.origin_y + row * page_h / units;
        for (size_t i = 0; i < segs.size(); i += 4) {
            double x0 = (segs[i] - ox) * units, y0 = (segs[i + 1] - oy) * units;
            double x1 = (segs[i + 2] - ox) * units, y1 = (segs[i + 3] - oy) * units;
            if (!print_clip_line(page_w, page_h, &x0, &y0, &x1, &y1)) continue;
            p.drawLine(QPointF(x0, y0), QPointF(x1, y1));
        }
        if (l.tile) {
            double marks[32];
            print_crop_marks(page_w, page_h, marks);
            for (int m = 0; m < 8; ++m)
                p.drawLine(QPointF(marks[m * 4], marks[m * 4 + 1]), QPointF(marks[m * 4 + 2], marks[m * 4 + 3]));
        }
        if (progress) progress(page, pages);
    }
    return p.end() ? 0 : 13;
}

// ---------------------------------------------------------------------------------
// The drawing as segments, through the wire-frame driver.

#include <algorithm>

#include "graphics/view/driver.h"
#include "graphics/view/projection.h"
#include "model/db/solid.h"
#include "model/db/zobj.h"

namespace {

struct Collect {
    const SegmentSink* put;
    double ox, oy, scale;
};

int collect_line(void* context, int x1, int y1, int x2, int y2) {
    auto* c = static_cast<Collect*>(context);
    (*c->put)(x1 / c->scale + c->ox, y1 / c->scale + c->oy, x2 / c->scale + c->ox, y2 / c->scale + c->oy);
    return 0;
}

int no_triangle(void*, int, int, int, int, int, int) { return 0; }
int no_pen(void*, int, int, int) { return 0; }

}  // namespace

DrawingSource drawing_source_of(MODEL* model, const ViewProjection& projection, double min_x, double min_y,
                                double max_x, double max_y, std::function<bool(int layer)> layer_shown) {
    return [=](const SegmentSink& put) {
        if (!model || !model->children) return;
        ViewProjection vp = projection;
        const double side = std::max({max_x - min_x, max_y - min_y, 1e-9});
        // Drawing units to driver pixels: the area fills 16000 pixels of the range.
        vp.scale = 16000.0 / side;
        vp.origin_x = min_x;
        vp.origin_y = min_y;
        vp.extents_min = {float(min_x - side), float(min_y - side), -FLT_MAX};
        vp.extents_max = {float(max_x + side), float(max_y + side), FLT_MAX};
        Collect c{&put, min_x, min_y, vp.scale};
        vp.line = &collect_line;
        vp.triangle = &no_triangle;
        vp.pen = &no_pen;
        vp.context = &c;
        vp.pen_mode = kPenModeNoRange;
        ZDLIST* head = model->children;
        ZDLIST* n = head;
        int layer = 0;
        do {
            if (rtc_is<LAYER>(n)) {
                if (!layer_shown || layer_shown(layer)) viewiter_draw_object(&vp, static_cast<object*>(n));
                ++layer;
            } else if (rtc_is<CAMERA>(n)) {
                viewiter_draw_object(&vp, static_cast<object*>(n));
            }
            n = n->next;
        } while (n && n != head);
    };
}
