// The rules of the page setup dialogs, without any window: paper, margins and
// minimum margins in thousandths of an inch, the printed area keeping the image's
// proportions, "use full page" and "centre on page", and typing a margin, width or
// height in millimetres or inches.
#pragma once

#include "shell/core/page_layout.h"

struct PageSetupModel {
    double paper_w = 8268, paper_h = 11693;      // thousandths of an inch
    double left = 1000, top = 1000, right = 1000, bottom = 1000;
    Margins minimum;                             // the printer's reach
    double image_w = 1, image_h = 1;             // proportions kept
    bool full_page = true;
    bool centre = false;
    int units = 0;                               // 0 millimetres, 1 inches

    // Fields: 0 left, 1 right, 2 top, 3 bottom, 4 width, 5 height (display units).
    double field(int which) const;
    // Raises every margin to its minimum and applies full page or centring.
    void settle();
    // The user typed a value (display units) into a field: the other fields follow.
    void type(int which, double value);
    // Switches units; the fields show the same lengths.
    void set_units(int u) { units = u == 1 ? 1 : 0; }
    // Paper changed (thousandths of an inch): margins stay, then settle.
    void set_paper(double w, double h);
    // The printed area (thousandths of an inch).
    double area_w() const { return paper_w - left - right; }
    double area_h() const { return paper_h - top - bottom; }
    Margins margins() const;

  private:
    void keep_proportions(bool horizontal_changed);
    void apply_centre(int typed);
};

// The margins a fitted layout prints with: the ones the page setup shows for its
// printed area (printed_w x printed_h, from print_layout_run), raised to the minimum,
// full page or centred as the layout says, and closed around the area's proportions.
void print_layout_settle_margins(PrintLayout* layout);
