// The pens of a drawing print: which colour and width a line or filled triangle of a
// drawing object prints in. Colours come from the display palette by the object's
// colour index mapped as on the light screen background (indices 7 and 15, which
// show black there, print black); any other white, the paper's own colour, prints
// black too so that nothing drawn vanishes, and a monochrome print draws everything
// in black. Widths are the
// object's line width at the print scale; thin lines print as hairlines.
//
// PrintPenTable keeps the distinct pens of one print in the order they were first
// asked for, so that a print can make each pen once and switch by number.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

// One printing pen: colour 0xRRGGBB, width in hundredths of a millimetre on paper
// (0: a hairline, the thinnest line the printer draws).
struct PrintPen {
    uint32_t rgb = 0;
    double width = 0;
    bool operator==(const PrintPen& o) const { return rgb == o.rgb && width == o.width; }
};

// The colour a drawing colour index prints in: a negative index takes the display's
// default colour, then the index is mapped as on the light background (7 and 15 to
// 0) and its low byte picks the palette entry; pure white prints black. Monochrome
// prints black whatever the index. The display's own background setting plays no
// part: paper is white.
uint32_t print_pen_colour(int colour_index, bool monochrome);

// The pen of an object: `width_units` is its line width in drawing units (0 or less:
// hairline), `scale` the print scale in paper millimetres per drawing unit. Widths
// below 0.05 mm on paper, or that are not finite, print as hairlines; none is wider
// than 100 mm.
PrintPen print_pen(int colour_index, double width_units, double scale, bool monochrome);

class PrintPenTable {
  public:
    PrintPenTable(double scale, bool monochrome) : scale_(scale), monochrome_(monochrome) {}
    // The number of the pen for an object's colour and width, made on first use.
    int select(int colour_index, double width_units);
    const std::vector<PrintPen>& pens() const { return pens_; }

  private:
    double scale_;
    bool monochrome_;
    std::vector<PrintPen> pens_;
    std::map<std::pair<uint32_t, double>, int> index_;
    // The last request and its answer: objects in one colour come in runs.
    int last_colour_ = 0;
    double last_width_ = -1;
    int last_pen_ = -1;
};
