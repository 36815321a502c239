// Pens of drawing prints: palette colours, monochrome, widths at the print scale.
#include "shell/core/print_pens.h"

#include <cmath>

#include "graphics/view/colours.h"

uint32_t print_pen_colour(int colour_index, bool monochrome) {
    if (monochrome) return 0;
    // Paper is a light background: the colours that show black on the light screen
    // background print black.
    const int index = colour_index_on_background(colour_index < 0 ? g_display.default_colour : colour_index, 7);
    const PaletteEntry& e = kDisplayPalette[static_cast<unsigned>(index) & 0xFFu];
    const uint32_t rgb = uint32_t(e.red) << 16 | uint32_t(e.green) << 8 | e.blue;
    return rgb == 0xFFFFFFu ? 0 : rgb;
}

PrintPen print_pen(int colour_index, double width_units, double scale, bool monochrome) {
    PrintPen p;
    p.rgb = print_pen_colour(colour_index, monochrome);
    const double mm = width_units * scale;
    if (std::isfinite(mm) && mm >= 0.05) p.width = std::fmin(mm, 100.0) * 100.0;
    return p;
}

int PrintPenTable::select(int colour_index, double width_units) {
    if (last_pen_ >= 0 && colour_index == last_colour_ && width_units == last_width_) return last_pen_;
    const PrintPen pen = print_pen(colour_index, width_units, scale_, monochrome_);
    const auto [at, made] = index_.try_emplace({pen.rgb, pen.width}, static_cast<int>(pens_.size()));
    if (made) pens_.push_back(pen);
    const int found = at->second;
    last_colour_ = colour_index;
    last_width_ = width_units;
    last_pen_ = found;
    return found;
}
