// Printing a drawing on one page or tiled over many: each page gets the part of the
// drawing under it, lines and filled triangles clipped to the page, each in the pen
// of its object (shell/core/print_pens.h), and crop marks at the page corners. The
// page is laid out in hundredths of a millimetre with y up; the drawing comes as pens,
// segments and triangles in drawing units from a source callback.
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "shell/core/page_layout.h"

class QPainter;
class QPrinter;
class QRectF;

// What a drawing hands to a print, in drawing units. `pen` sets the pen of what
// follows: the object's colour index and line width (0: hairline); before any pen
// call everything prints as black hairlines.
using SegmentSink = std::function<void(double x0, double y0, double x1, double y1)>;
struct DrawingSink {
    std::function<void(int colour, double width)> pen;
    SegmentSink line;
    std::function<void(const double xy[6])> triangle;  // filled, in the pen's colour
};
using DrawingSource = std::function<void(const DrawingSink& sink)>;

// A drawing collected once: the pen requests (colour index, width in drawing units)
// in the order made, and segments (x0, y0, x1, y1) and triangles (three corners),
// each with the number of its pen request. Request 0 is the black hairline.
struct DrawingPicture {
    std::vector<std::pair<int, double>> pens;
    std::vector<double> segs;
    std::vector<int> seg_pens;
    std::vector<double> tris;
    std::vector<int> tri_pens;
};
// 0, or 8 when memory ran out (the picture is then empty).
[[nodiscard]] int drawing_picture_collect(const DrawingSource& source, DrawingPicture* out);
// Paints the part window[0..3] (minimum x, y, maximum x, y) of the picture into
// `target` (y down), in thin lines of the printing colours, clipped to `target`:
// the preview of the page setup's sample.
void paint_drawing_picture(QPainter& p, const DrawingPicture& picture, const double window[4], const QRectF& target,
                           bool monochrome);

// Prints columns x rows pages of the layout (run by print_layout_run) on the
// printer, page 1 at the top left, with crop marks when tiled; pens by colour or, with
// the layout's monochrome flag, all black. 0, 14 for more than
// kMaxPrintPages, 13 when the printer cannot start, cannot begin a page or cannot
// finish the print, errno when a PDF file cannot be written whole (print_file.h:
// the file is then as it was). `progress` (may be empty) gets each finished page; *pages_out
// (may be null) the number of pages that went to the printer.
[[nodiscard]] int print_drawing(QPrinter* printer, const PrintLayout& layout, const DrawingSource& source,
                                const std::function<void(int64_t page, int64_t pages)>& progress = {},
                                int64_t* pages_out = nullptr);

// Begins the printer's next page (QPrinter::newPage); false when it refuses.
bool print_new_page(QPrinter* printer);
// Test seam: answers print_new_page instead of the printer; empty restores it.
void print_set_new_page_hook(std::function<bool(QPrinter*)> hook);

class MODEL;
struct ViewProjection;

// The pens, segments and triangles of every layer (all of them, or those
// `layer_shown` accepts by index) and camera of a drawing, drawn by the wire-frame
// driver through a copy of `projection` and handed back in view coordinates.
// Parallel: origin and scale are set here so that the area min_x..max_x,
// min_y..max_y in view coordinates fills the driver's pixel range. Perspective: the
// area is in the view's own pixels (as its window shows them, y up) and the picture
// is magnified about the area's corner to fill the same range.
DrawingSource drawing_source_of(MODEL* model, const ViewProjection& projection, double min_x, double min_y,
                                double max_x, double max_y, std::function<bool(int layer)> layer_shown = {});

// The box of what a perspective projection shows of the drawing, in the view's
// pixels (y up), limited to the driver's pixel range; false when nothing shows.
bool drawing_picture_extents(MODEL* model, const ViewProjection& projection, std::function<bool(int layer)> layer_shown,
                             double* min_x, double* min_y, double* max_x, double* max_y);
