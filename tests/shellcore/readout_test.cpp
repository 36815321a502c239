// Coordinate readout values and pane texts.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "graphics/view/view.h"
#include "model/db/zobj.h"
#include "shell/core/readout.h"

namespace {
constexpr double kPi = std::numbers::pi;

// A plan view at scale 1 with the cursor at drawing point (x, y).
void set_cursor(VIEW& v, double x, double y) {
    v.cursor[0] = x, v.cursor[1] = y;
    v.cursor_view[0] = x, v.cursor_view[1] = y;
}
}  // namespace

TEST(Readout, AngleOfEveryQuadrantAndAxis) {
    struct Case {
        double x, y, angle;
    } cases[] = {{0, 0, 0},          {1, 0, 0},          {-1, 0, kPi},
                 {0, 1, kPi / 2},    {0, -1, 3 * kPi / 2}, {1, 1, kPi / 4},
                 {-1, 1, 3 * kPi / 4}, {-1, -1, 5 * kPi / 4}, {1, -1, 7 * kPi / 4}};
    for (const Case& c : cases) EXPECT_NEAR(angle_of(c.x, c.y), c.angle, 1e-12) << c.x << "," << c.y;
}

TEST(Readout, CartesianValuesByCoordinateType) {
    VIEW v;
    v.user_origin = {10, 20, 0};
    v.last_point = {1, 2, 0};
    set_cursor(v, 15, 30);
    double first, second, dx, dy;
    struct Case {
        int type;
        double first, second;
    } cases[] = {{0, 15, 30}, {1, 5, 10}, {2, 14, 28}};
    for (const Case& c : cases) {
        v.coordinate_type = c.type;
        coord_values(&v, 0, &first, &second, &dx, &dy);
        EXPECT_DOUBLE_EQ(first, c.first);
        EXPECT_DOUBLE_EQ(second, c.second);
        EXPECT_DOUBLE_EQ(dx, 14);
        EXPECT_DOUBLE_EQ(dy, 28);
    }
}

TEST(Readout, PolarAndScale) {
    VIEW v;
    v.cartesian = 0;
    v.coordinate_type = 1;
    v.user_origin = {10, 20, 0};
    set_cursor(v, 10, 27.5);  // straight above the user origin
    double first, second, dx, dy;
    coord_values(&v, 0, &first, &second, &dx, &dy);
    EXPECT_DOUBLE_EQ(first, 7.5);
    EXPECT_DOUBLE_EQ(second, kPi / 2);
    EXPECT_DOUBLE_EQ(coord_distance(&v, 10, 27.5), 7.5);

    // Scales 1 and 2: every length halved, the angle not.
    v.drawing_scales[0] = 1, v.drawing_scales[1] = 2;
    coord_values(&v, 0, &first, &second, &dx, &dy);
    EXPECT_DOUBLE_EQ(first, 3.75);
    EXPECT_DOUBLE_EQ(second, kPi / 2);
    EXPECT_DOUBLE_EQ(dx, 5);
    v.drawing_scales[1] = 0;  // unusable: no scaling
    EXPECT_EQ(readout_scale_ratio(&v), 1.0);
    v.coordinate_type = 7;
    EXPECT_EQ(coord_distance(&v, 3, 4), 0.0);
}

TEST(Readout, DegreeSignIsUtf8) {
    EXPECT_EQ(readout_fix_degree("a=45\a30'"), "a=45\xC2\xB0" "30'");
    EXPECT_EQ(readout_fix_degree("45\xB0"), "45\xC2\xB0");            // Latin-1 degree byte
    EXPECT_EQ(readout_fix_degree("45\xC2\xB0"), "45\xC2\xB0");        // already UTF-8
    EXPECT_EQ(readout_fix_degree("\xE2\x82\xAC\xB0\xFF"), "\xE2\x82\xAC\xC2\xB0\xEF\xBF\xBD");
    VIEW v;
    v.degrees = 1;
    EXPECT_EQ(readout_value_text("a=", kPi / 4, ReadoutFormat::kAngle, &v), "a=45\xC2\xB0 0'");
    v.degrees = 0;
    EXPECT_EQ(readout_value_text("a=", kPi / 4, ReadoutFormat::kAngle, &v), "a=0.785 rad");
    // Lengths in the view's unit: 1066.8 mm is 3'6" in feet and inches.
    v.length_unit = 2;
    EXPECT_EQ(readout_value_text("r=", 1066.8, ReadoutFormat::kLength, &v), "r=3'6\"");
    v.length_unit = 0;
    EXPECT_EQ(readout_value_text(" ", 2.5, ReadoutFormat::kLength, &v), " 2.50");
}

TEST(Readout, PaneTexts) {
    VIEW v;
    auto blank = readout_texts(&v, 1);  // input mode 0
    for (const std::string& t : blank) EXPECT_EQ(t, " ");

    v.input_mode = 1;
    v.current_colour = 7;
    v.projection.scale = 1.0;
    v.cursor_pixel[0] = 3, v.cursor_pixel[1] = 4;
    auto t = readout_texts(&v, 0);
    EXPECT_EQ(t[kPaneColour], " 007 ");
    EXPECT_EQ(t[kPaneLayer], "Layer:\"\"");  // no current layer: the label stays
    EXPECT_EQ(t[kPaneDistance], "r=5.00");
    EXPECT_EQ(v.readout_mode, 0);

    LAYER layer;
    EXPECT_EQ(layer.set_string(0, "Walls"), 0);
    v.current_layer = &layer;
    EXPECT_EQ(readout_texts(&v, 0)[kPaneLayer], "Layer:\"Walls\"");
    v.current_layer = nullptr;
}
