// The page rules of printing, without any window: margins in thousandths of an inch,
// units of the page setup dialogs, the image fitted into a page, the layout of a
// drawing on one page or tiled over many, page numbering, crop marks and clipping
// of printed lines and triangles to the page.
#pragma once

#include <cstdint>

// Margins, left, top, right, bottom (thousandths of an inch unless said).
struct Margins {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Page orientation as the printer settings give it.
inline constexpr int kPortrait = 1;
inline constexpr int kLandscape = 2;

// Turns the margins a quarter when the orientation changed: from portrait the new
// left, top, right, bottom are the old top, right, bottom, left; otherwise the old
// bottom, left, top, right. *stored takes the new orientation.
void margins_follow_orientation(Margins* m, int* stored, int orientation);

// Display units of the page dialogs (0 millimetres, 1 inches) to and from
// thousandths of an inch.
double page_units_from_internal(double thousandths, int units);
double page_units_to_internal(double value, int units);

// The device side of a print: printable area and resolution.
struct PrinterGeometry {
    int offset_x = 0, offset_y = 0;          // physical offsets, device pixels
    int physical_w = 0, physical_h = 0;      // device pixels
    int printable_w = 0, printable_h = 0;    // device pixels
    int dpi_x = 600, dpi_y = 600;            // pixels per inch
};
// The part of the paper the printer cannot reach, thousandths of an inch.
Margins printer_minimum_margins(const PrinterGeometry& g);
// Device margins of the margins over the minimum ones, device pixels (at least 0).
Margins printer_device_margins(const Margins& margins, const Margins& minimum, const PrinterGeometry& g);

// Where an image prints: the rectangle inside the device margins that keeps the
// image's proportions in inches and fills the available area in one direction.
// False when nothing can be printed.
struct PrintRect {
    int x = 0, y = 0, w = 0, h = 0;
};
bool image_print_rect(const PrinterGeometry& g, const Margins& device_margins, int image_w, int image_h,
                      PrintRect* out);

// The layout of a drawing on paper.
struct PrintLayout {
    int32_t tile = 0;
    int32_t columns = 1, rows = 1;
    int32_t visible_only = 0;
    int32_t monochrome = 0;
    int32_t centre = 0, full_page = 1;
    Margins margins, minimum;
    int32_t x_offset = 0, y_offset = 0;       // thousandths of an inch
    int32_t paper_w = 8268, paper_h = 11693;  // thousandths of an inch (A4)
    double scale = 1.0;                       // paper millimetres per drawing unit
    double printed_w = 0, printed_h = 0;      // millimetres on paper (fit: drawing units)
    double origin_x = 0, origin_y = 0;        // drawing units
};

// The most pages a tiled print may have.
inline constexpr int64_t kMaxPrintPages = 9999;

// Runs the layout for the area (minimum and maximum corner, drawing units). Sides
// that are not positive count as 1 (area) or refuse the print (printable area).
// Answers 0, 13 for a page area that is not positive, or 14 when the tiles would be
// more than kMaxPrintPages (columns and rows then hold what was computed, clamped).
[[nodiscard]] int print_layout_run(PrintLayout* layout, double min_x, double min_y, double max_x, double max_y);
inline constexpr int kLayoutTooManyPages = 14;
// The number of pages (64-bit).
int64_t print_layout_pages(const PrintLayout& layout);
// Column and row of page p (1-based), rows counted from the bottom as the origin
// moves: page 1 is the top left.
void print_layout_page_cell(const PrintLayout& layout, int64_t page, int64_t* column, int64_t* row);

// The crop marks of a page of w x h units (0.01 mm): eight segments, each 2000 long
// and 10 inside the page edge, at the inner edges (corners). Segment i is
// (x0, y0, x1, y1) in out[i * 4 .. i * 4 + 3].
void print_crop_marks(double w, double h, double out[32]);

// Clips the segment to the rectangle [0, w] x [0, h]; false when nothing is left.
bool print_clip_line(double w, double h, double* x0, double* y0, double* x1, double* y1);
// Clips the triangle to the rectangle [0, w] x [0, h] into a convex polygon of at
// most 9 points (x, y pairs in out); the number of points (0 when nothing is left).
int print_clip_triangle(double w, double h, const double tri[6], double out[18]);
