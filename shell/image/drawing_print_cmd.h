// Page Setup, Print and Print Preview of drawing windows: the drawing page setup over
// the view's print layout, and prints of the drawing's shown layers and cameras laid
// out on the printer's paper, on one page or tiled.
#pragma once

#include <cstdint>
#include <functional>

class CSView;
class QPrinter;

// Installs the commands into the drawing views (once, at start-up).
void drawing_print_install();

// Runs one of the commands (ID_FILE_PAGE_SETUP, ID_FILE_PRINT,
// ID_FILE_PRINT_PREVIEW) for the view with the application's printer; true when
// done (false when cancelled or refused, after a message).
bool drawing_view_command(CSView* view, int id);

// The area the view's layout covers, in view coordinates: what the window shows
// with "visible area", else the drawing's extents. A perspective (camera) view
// measures in its window's pixels, y up: the window, or the box of the whole
// picture. False when the view has no VIEW.
bool drawing_print_area(CSView* view, double* min_x, double* min_y, double* max_x, double* max_y);
// The same for "visible area" on or off, whatever the view's layout says.
bool drawing_print_area_of(CSView* view, bool visible_only, double* min_x, double* min_y, double* max_x,
                           double* max_y);

// Prints the view's drawing on `printer` with the view's layout, the paper and
// minimum margins taken from the printer, the margins turned with its orientation.
// 0; 14 when the layout needs more than kMaxPrintPages pages; 13 when nothing can
// be printed or the printer cannot start, refuses a page or cannot finish; 8 out of
// memory; errno when a PDF file cannot be written whole. *pages_out and *pages (may
// be null) get the pages that went out and the pages of the layout.
[[nodiscard]] int drawing_view_print(CSView* view, QPrinter* printer, int64_t* pages_out = nullptr,
                                     int64_t* pages = nullptr);

// Tells the user once that a print failed with `code` (nothing for 0): too many
// pages, or the print message of the drawing (or with `image`, of the image) with
// the code and its reason, and how many of the `pages` went out when the print
// stopped part way (pages > 0). Drawing and image prints share it.
void print_tell_failure(int code, int64_t pages_out = 0, int64_t pages = 0, bool image = false);

// Test seam: answers the print dialog (true: print) instead of showing it; an
// empty function restores the dialog.
void drawing_print_set_dialog_hook(std::function<bool(QPrinter*)> hook);
