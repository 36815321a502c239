// Typed coordinates: field markers, imperial fields, the conversion into drawing
// points under a view's units, scale, references and axes, and the hooks that
// carry all of it into the dialogs.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "commands/units/coord_text.h"
#include "commands/units/units_hooks.h"
#include "graphics/view/view.h"
#include "model/rtc/rtc.h"
#include "model/services/numfmt.h"

namespace {

class CoordTextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rtc_register_all();
        view_type_register();
        view_ = rtc_make<VIEW>();
        ASSERT_NE(view_, nullptr);
    }
    std::string convert(const std::string& typed, bool user_axes = false) {
        std::string point = "untouched";
        return typed_point_convert(view_.get(), typed, user_axes, &point) ? point : "refused";
    }
    std::unique_ptr<VIEW> view_;
};

TEST(CoordsParse, MarkersFieldsAndErrors) {
    struct Row {
        const char* text;
        bool imperial;
        int result, flags;
        double v[3];
    } rows[] = {
        {"@10,20", false, 2, 1, {10, 20}},
        {"10<45", false, 2, 2, {10, 45}},
        {"5 <30 <60", false, 3, 6, {5, 30, 60}},
        {" 1, 2 ,3 ", false, 3, 0, {1, 2, 3}},
        {"3'6\",0", true, 2, 0, {42, 0}},
        {"@2' <90", true, 2, 3, {24, 90}},  // an angle is never feet and inches
        {"-1.5 .5", false, 2, 0, {-1.5, 0.5}},
        {"1e3,0", false, -2, 0, {}},  // no exponents in a typed field
        {"", false, 0, 0, {}},
        {"10", false, 1, 0, {10}},
        {"10,2x", false, -5, 0, {}},     // text after the fields is refused
        {"1 2 3 4", false, -7, 0, {}},   // a fourth field
        {"10,3'6", false, -4, 0, {}},    // feet and inches in a metric view
        {"10,5'-3\"", true, -6, 0, {}},  // the length reader's error, in the whole text
        {"<10,20", false, -1, 0, {}},    // an angle first
        {"10,@20", false, -4, 0, {}},
    };
    for (const Row& r : rows) {
        int flags = -1;
        double v[3] = {0, 0, 0};
        int n = coords_parse(r.text, r.imperial, &flags, v);
        EXPECT_EQ(n, r.result) << r.text;
        if (n < 0) continue;
        EXPECT_EQ(flags, r.flags) << r.text;
        for (int i = 0; i < n; ++i) EXPECT_NEAR(v[i], r.v[i], 1e-12) << r.text << " " << i;
    }
}

TEST_F(CoordTextTest, TypedToWorldUnitsScaleReferences) {
    Vec3 p;
    view_->length_unit = 1;
    ASSERT_TRUE(view_typed_to_world(view_.get(), 42, 0, 0, &p));
    EXPECT_NEAR(p.x, 1066.8f, 1e-3);
    view_->length_unit = 0;
    view_->drawing_scales[0] = 1;
    view_->drawing_scales[1] = 2;  // 1:2, typed values count double
    EXPECT_EQ(view_scale_ratio(view_.get(), 10), 5);
    EXPECT_EQ(view_scale_ratio_inverse(view_.get(), 10), 20);
    view_->cartesian = 0;  // x a radius, y an angle in radians
    view_->coordinate_type = 1;
    view_->user_origin = {1, 2, 3};
    ASSERT_TRUE(view_typed_to_world(view_.get(), 10, M_PI / 2, 1, &p));
    EXPECT_NEAR(p.x, 1, 1e-5);
    EXPECT_NEAR(p.y, 22, 1e-5);
    EXPECT_NEAR(p.z, 5, 1e-5);
    view_->drawing_scales[1] = 0;  // nonsense scales change nothing
    EXPECT_EQ(view_scale_ratio_inverse(view_.get(), 10), 10);
    EXPECT_EQ(view_scale_ratio(view_.get(), 10), 10);
    p = {7, 7, 7};
    EXPECT_FALSE(view_typed_to_world(view_.get(), 1e39, 0, 0, &p));
    EXPECT_FALSE(view_typed_to_world(view_.get(), 0, 0, NAN, &p));
    EXPECT_EQ(p.x, 7);
}

TEST_F(CoordTextTest, DialogConversions) {
    view_->last_point = {1, 2, 3};
    view_->elevation = 5;
    struct Row {
        const char* typed;
        int length_unit, degrees;
        const char* point;
    } rows[] = {
        {"10,20", 0, 1, "10.0000 20.0000 5.0000"},  // z from the view's elevation
        {"10 20 -0.00001", 0, 1, "10.0000 20.0000 0.0000"},
        {"@10,20", 0, 1, "11.0000 22.0000 3.0000"},
        {"@10<90", 0, 1, "1.0000 12.0000 3.0000"},
        {"10<90,7", 0, 1, "0.0000 10.0000 7.0000"},
        {"10<0<90", 0, 1, "0.0000 0.0000 10.0000"},
        {"2<3.14159265358979", 0, 0, "-2.0000 0.0000 5.0000"},  // radians
        {"3'6\",0,0", 1, 1, "1066.8000 0.0000 0.0000"},
        {"1/2 1", 2, 1, "12.7000 25.4000 5.0000"},
        {"10", 0, 1, "refused"},
        {"10,20<30", 0, 1, "refused"},  // an angle on the third field only
        {"10<20<30<", 0, 1, "refused"},
        {"10<45,30", 0, 1, "7.0711 7.0711 30.0000"},
        {"10<45<30", 0, 1, "6.1237 6.1237 5.0000"},
        {"abc", 0, 1, "refused"},
    };
    for (const Row& r : rows) {
        view_->length_unit = r.length_unit;
        view_->degrees = r.degrees;
        EXPECT_EQ(convert(r.typed), r.point) << r.typed;
    }
    // Magnitudes up to FLT_MAX pass; reaching it, in typed or drawing units, does not.
    view_->length_unit = 0;
    const std::string zeros(38, '0');
    EXPECT_NE(convert("3" + zeros + ",0"), "refused");
    EXPECT_EQ(convert("4" + zeros + ",0"), "refused");
    EXPECT_EQ(convert("0,0,-4" + zeros), "refused");
    view_->length_unit = 1;
    EXPECT_EQ(convert("2" + zeros.substr(1) + ",0"), "refused");
}

TEST_F(CoordTextTest, UserAxesTurnAbsolutePointsAndOnlyTheDirectionOfRelativeOnes) {
    // View axes turned a quarter turn about z and moved by 100 in x.
    view_->projection.inverse = {{0, 1, 0, -1, 0, 0, 0, 0, 1, 100, 0, 0}};
    view_->last_point = {1, 2, 3};
    EXPECT_EQ(convert("10,0,0", true), "100.0000 10.0000 0.0000");
    EXPECT_EQ(convert("@10,0,0", true), "1.0000 12.0000 3.0000");
    EXPECT_EQ(convert("10,0,0", false), "10.0000 0.0000 0.0000");
}

TEST_F(CoordTextTest, InstalledHooksReachTheDialogFormat) {
    units_install_hooks();
    EXPECT_EQ(coord_dialog_converter(), &typed_point_convert);
    NumberFormat saved = g_number_format;
    struct Row {
        int kind;
        double mm;
        const char* text;
        double back;
    } rows[] = {{0, 2.5, "2.5000", 2.5},
                {1, 1612.9, "5'3.5000\"", 1612.9},
                {2, 1612.9, "5'3-1/2\"", 1612.9},
                {2, 71.99999 * 25.4, "6'0\"", 72 * 25.4}};
    for (const Row& r : rows) {
        set_number_format(1, r.kind, 4, 64);
        EXPECT_EQ(number_format_length(r.mm), r.text);
        double back = 0;
        ASSERT_TRUE(number_parse_length(r.text, &back)) << r.text;
        EXPECT_NEAR(back, r.back, 1e-9) << r.text;
    }
    set_number_format(1, 1, 4, 64);
    double v = 0;
    EXPECT_TRUE(number_parse_length("3'6\"", &v));
    EXPECT_NEAR(v, 1066.8, 1e-9);
    EXPECT_FALSE(number_parse_length("3'6x", &v));
    g_number_format = saved;
}

}  // namespace
