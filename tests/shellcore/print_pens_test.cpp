// Pens of drawing prints: palette colours by index, the paper's white printing black,
// monochrome, widths at the print scale, and one table entry per distinct pen.
#include <gtest/gtest.h>

#include <cmath>

#include "graphics/view/colours.h"
#include "shell/core/print_pens.h"

namespace {

TEST(PrintPens, ColoursFollowThePaletteAndWhitePrintsBlack) {
    struct Case {
        int index;
        bool mono;
        uint32_t rgb;
    } cases[] = {
        {1, false, 0xC00000},    // red
        {3, false, 0x00C000},    // green
        {13, false, 0x0000C0},   // blue
        {7, false, 0},           // black on the light screen background: black on paper
        {256 + 7, false, 0},     // low byte
        {8, false, 0x808080},    // dark grey stays
        {24, false, 0x808080},   // grey ramp
        {15, false, 0},          // white on white paper: black
        {255, false, 0},         // the cube's white too
        {-1, false, 0},          // default colour (white): black
        {256 + 1, false, 0xC00000},  // low byte
        {1, true, 0},            // monochrome: black
        {24, true, 0},
    };
    // Paper is white whatever background the screen shows.
    const bool background = g_display.black_background;
    for (const bool light_screen : {true, false}) {
        g_display.black_background = light_screen;
        for (const Case& c : cases)
            EXPECT_EQ(print_pen_colour(c.index, c.mono), c.rgb) << c.index << " " << c.mono << " " << light_screen;
    }
    g_display.black_background = background;
    // The default colour comes from the display settings.
    const int saved = g_display.default_colour;
    g_display.default_colour = 1;
    EXPECT_EQ(print_pen_colour(-5, false), 0xC00000u);
    g_display.default_colour = saved;
}

TEST(PrintPens, WidthsScaleToPaperAndThinOnesAreHairlines) {
    struct Case {
        double width, scale, expect;  // drawing units, mm per unit, 0.01 mm
    } cases[] = {
        {0, 1, 0},        {0.5, 2, 100},        {0.04, 1, 0},  // below 0.05 mm
        {0.05, 1, 5},     {1e9, 1, 10000},       // at most 100 mm
        {NAN, 1, 0},      {INFINITY, 1, 0},      {-2, 1, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(print_pen(1, c.width, c.scale, false).width, c.expect) << c.width;
}

TEST(PrintPens, TableMakesEachDistinctPenOnce) {
    PrintPenTable t(1.0, false);
    const int black = t.select(0, 0);
    EXPECT_EQ(t.select(15, 0), black);     // prints black too
    const int red = t.select(1, 0);
    EXPECT_NE(red, black);
    EXPECT_EQ(t.select(1, 0.01), red);     // a hairline as well
    const int wide = t.select(1, 2.0);
    EXPECT_NE(wide, red);
    EXPECT_EQ(t.select(0, 0), black);
    EXPECT_EQ(t.pens().size(), 3u);
    EXPECT_EQ(t.pens()[size_t(wide)].width, 200);
    PrintPenTable mono(1.0, true);
    EXPECT_EQ(mono.select(1, 0), mono.select(13, 0));
    EXPECT_EQ(mono.pens().size(), 1u);
}

}  // namespace
