// Printing a drawing on one page or tiled over many: each page gets the part of the
// drawing under it, lines clipped to the page, and crop marks at the page corners.
// The page is laid out in hundredths of a millimetre with y up; the drawing comes as
// segments in drawing units from a source callback.
#pragma once

#include <functional>

#include "shell/core/page_layout.h"

class QPrinter;

// Hands every segment of the drawing (drawing units) to `put`.
using SegmentSink = std::function<void(double x0, double y0, double x1, double y1)>;
using DrawingSource = std::function<void(const SegmentSink& put)>;

// Prints columns x rows pages of the layout (run by print_layout_run) on the
// printer, page 1 at the top left, with crop marks when tiled. 0, 14 for more than
// kMaxPrintPages, 13 when the printer cannot start. `progress` (may be empty) gets
// each finished page.
int print_drawing(QPrinter* printer, const PrintLayout& layout, const DrawingSource& source,
                  const std::function<void(int64_t page, int64_t pages)>& progress = {});

class MODEL;
struct ViewProjection;

// The segments of every layer (all of them, or those `layer_shown` accepts by
// index) and camera of a drawing, drawn by the wire-frame driver through a copy of
// `projection` (its view matrix and mode; origin and scale are set here so that the
// area min_x..max_x, min_y..max_y in view coordinates fills the driver's pixel
// range) and handed back in view coordinates.
DrawingSource drawing_source_of(MODEL* model, const ViewProjection& projection, double min_x, double min_y,
                                double max_x, double max_y, std::function<bool(int layer)> layer_shown = {});
