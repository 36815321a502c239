// Dimension texts: the default text of every kind in every unit, the text query
// through a scripted dialog, the UTF-8 form the dialog edits, and the values of
// the settings dialog in millimetres and inches.
#include <cmath>
#include <string>

#include "commands/dimension/dim_text.h"
#include "dim_fixture.h"
#include "model/math/scalar.h"
#include "model/services/prefs.h"

namespace {

using DimText = DimFixture;

TEST_F(DimText, DefaultTextsInEveryUnit) {
    struct Row {
        int unit, degrees, kind;
        double value;
        const char *text, *caption, *suffix;
    } rows[] = {
        {0, 1, 0, 30, "30.00", "Dimension", "mm"},
        {2, 1, 1, 25.4, "1\"", "Dimension", "\""},
        {2, 1, 2, 88.9, "3-1/2\"", "Dimension", "\""},
        {2, 1, 0, 1612.9, "5'3-1/2\"", "Dimension", "\""},
        {2, 1, 0, 0, "0\"", "Dimension", "\""},
        {1, 1, 0, 88.9, "3.50\"", "Dimension", "\""},
        {1, 1, 0, 1612.9, "5'3.50\"", "Dimension", "\""},
        {0, 1, 3, 10, "R10.00", "Radius", "mm"},
        {0, 1, 4, 10, "R10.00", "Radius", "mm"},
        {0, 1, 5, 20, "\x04" "20.00", "Diameter", "mm"},
        {0, 1, 6, 20 * kPi / 180, "20\x07 0'", "Angle", "deg"},
        {0, 0, 7, 20 * kPi / 180, "0.349 rad", "Angle", "rad"},
        {0, 1, 7, kPi / 2, "90\x07 0'", "Angle", "deg"},
    };
    for (const Row& r : rows) {
        view_->length_unit = r.unit;
        view_->degrees = r.degrees;
        const DimTextDefault d = dim_default_text(view_.get(), r.value, r.kind);
        EXPECT_EQ(d.text, r.text) << r.value << " kind " << r.kind;
        EXPECT_EQ(d.caption, r.caption);
        EXPECT_EQ(d.unit, r.suffix);
    }
}

// The text dialog answered by a script.
DimTextDialogData g_seen;
DimTextDialogData g_answer;
int g_result = 1;
int g_opened = 0;
int scripted(VIEW*, DimTextDialogData* data) {
    ++g_opened;
    g_seen = *data;
    if (g_result) *data = g_answer;
    return g_result;
}

class DimQuery : public DimFixture {
  protected:
    void SetUp() override {
        DimFixture::SetUp();
        dim_set_text_dialog(scripted);
        g_prefs.dimension = 0;
        g_opened = 0;
        g_result = 1;
    }
    void TearDown() override {
        dim_set_text_dialog(nullptr);
        g_prefs.dimension = 0;
    }
};

TEST_F(DimQuery, DiameterEditsThePartBehindTheSign) {
    std::string text, lower = "x", upper = "y";
    g_answer = {"", "21.50", "+0.2", "-0.1", 1, 0, 0};
    ASSERT_EQ(dim_text_query(view_.get(), 20, 5, &text, &lower, &upper), 1);
    EXPECT_EQ(g_seen.title, "Diameter ( mm )");
    EXPECT_EQ(g_seen.text, "20.00");
    EXPECT_EQ(g_seen.query, 1);
    EXPECT_EQ(text, "\x04" "21.50");
    EXPECT_EQ(upper, "+0.2");
    EXPECT_EQ(lower, "");  // its switch was cleared
    EXPECT_EQ(view_->dimension_words[kDimLowerTolerance], 0);
    EXPECT_EQ(g_prefs.dimension, 1);  // "Query" cleared: no dialog next time

    g_answer.text = "99";
    ASSERT_EQ(dim_text_query(view_.get(), 20, 5, &text, &lower, &upper), 1);
    EXPECT_EQ(g_opened, 1);
    EXPECT_EQ(text, "\x04" "20.00");
    EXPECT_TRUE(lower.empty() && upper.empty());
}

TEST_F(DimQuery, CancelWritesNothingBackAndLongTextsAreCapped) {
    std::string text;
    std::string lower, upper;
    g_result = 0;
    EXPECT_EQ(dim_text_query(view_.get(), 30, 0, &text, &lower, &upper), 0);
    EXPECT_EQ(view_->dimension_words[kDimUpperTolerance], 1);
    EXPECT_EQ(g_prefs.dimension, 0);
    g_result = 1;
    g_answer = {"", std::string(80, '7'), std::string(40, '1'), "", 1, 1, 1};
    ASSERT_EQ(dim_text_query(view_.get(), 3.4e38, 0, &text, &lower, &upper), 1);
    EXPECT_LE(g_seen.text.size(), 31u);  // a huge length is shown capped
    EXPECT_EQ(text.size(), 31u);
    EXPECT_EQ(upper.size(), 31u);
}

TEST(DimTextUtf8, DegreeSignAndLatinRoundTrip) {
    EXPECT_EQ(dim_text_to_utf8("20\x07 0'"), "20\xC2\xB0 0'");
    EXPECT_EQ(dim_text_from_utf8("20\xC2\xB0 0'"), "20\x07 0'");
    EXPECT_EQ(dim_text_from_utf8(dim_text_to_utf8("\xE9t\xE9")), "\xE9t\xE9");
    EXPECT_EQ(dim_text_from_utf8("\xE2\x82\xAC" "5"), "?5");  // beyond the code page
    EXPECT_EQ(dim_text_from_utf8("\xFF" "a"), "\xFF" "a");     // stray byte kept as Latin-1
}

TEST_F(DimText, SettingsValuesInInchesAndTheSetterBounds) {
    view_->length_unit = 1;
    DimSettingsValues s = dim_settings_load(view_.get());
    EXPECT_TRUE(s.inches);
    EXPECT_NEAR(s.text_height, 0.19685, 1e-5);
    EXPECT_NEAR(dim_settings_size_max(true), 629.9212598425197, 1e-9);
    s.text_height = 1;
    s.arrows = 3;
    s.dframe = 2;
    dim_settings_store(view_.get(), s);
    EXPECT_NEAR(view_->dimension_values[kDimTextHeight], 25.4, 1e-12);
    EXPECT_NEAR(view_->dimension_values[kDimTextWidth], 15.698393077, 1e-9);
    EXPECT_NEAR(view_->dimension_values[kDimTextGap], 12.7, 1e-12);
    EXPECT_EQ(dim_get_arrows(), 3);
    s.arrows = 5;  // refused: the old value stays
    s.lframe = -1;  // stored (a signed bound)
    dim_settings_store(view_.get(), s);
    EXPECT_EQ(dim_get_arrows(), 3);
    EXPECT_EQ(dim_get_lframe(), -1);
    // A value outside its row (from the settings file) checks no radio button.
    EXPECT_EQ(dim_settings_load(view_.get()).lframe, -1);
    dim_set_lframe(0);
    EXPECT_EQ(dim_display_colour(7, true), 0);
    EXPECT_EQ(dim_display_colour(15, true), 8);
    EXPECT_EQ(dim_display_colour(0, false), 7);
    EXPECT_EQ(dim_display_colour(8, false), 15);
    EXPECT_EQ(dim_display_colour(3, false), 3);
}

}  // namespace
