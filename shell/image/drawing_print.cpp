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
