// Stroke font output geometry: direction and slant factors, rotation, text
// width and glyph drawing, checked against hand-computed values.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "font_test_util.h"
#include "model/font/strokefont.h"
#include "model/math/result.h"

namespace {

struct Seg {
    int xa, ya, xb, yb;
    bool operator==(const Seg&) const = default;
};

struct Recorder {
    std::vector<Seg> segs;
    int stop_at = -1;  // index of the call that returns non-zero
    int stop_code = 5;

    static int cb(void* ctx, int xa, int ya, int xb, int yb) {
        Recorder* r = static_cast<Recorder*>(ctx);
        r->segs.push_back({xa, ya, xb, yb});
        return static_cast<int>(r->segs.size()) - 1 == r->stop_at ? r->stop_code : 0;
    }
};

struct Factor {
    int a, b;
    int first, second;
};

TEST(StrokeFontGeometry, DirectionFactors) {
    const Factor cases[] = {
        {0, 0, 1024, 0},
        {3, 4, 614, 819},
        {100, 0, 1024, 0},
        {0, -5, 0, -1024},
        {-3, -4, -614, -819},
        {INT_MAX, 0, 1024, 0},
        {INT_MIN, INT_MIN, -724, -724},
        {1, 1, 512, 512},  // isqrt(2) = 2
    };
    StrokeFont* font = font_new();
    for (const Factor& c : cases) {
        font_set_direction(font, c.a, c.b);
        EXPECT_EQ(font->dir_cos, c.first) << c.a << "," << c.b;
        EXPECT_EQ(font->dir_sin, c.second) << c.a << "," << c.b;
    }
    font_free(&font);
}

TEST(StrokeFontGeometry, SlantFactors) {
    const Factor cases[] = {
        {0, 0, 0, 1024}, {0, 1, 0, 1024}, {3, 4, 614, 819}, {1, 3, 341, 1024}, {-2, 0, -1024, 0},
    };
    StrokeFont* font = font_new();
    for (const Factor& c : cases) {
        font_set_slant(font, c.a, c.b);
        EXPECT_EQ(font->slant_x, c.first) << c.a << "," << c.b;
        EXPECT_EQ(font->slant_y, c.second) << c.a << "," << c.b;
    }
    font_free(&font);
}

TEST(StrokeFontGeometry, RotateTruncatesEachProductTowardZero) {
    StrokeFont* font = font_new();
    font_set_direction(font, 3, 4);  // cos 614, sin 819
    struct {
        int x, y, rx, ry;
    } cases[] = {
        {10, 5, 2, 9},     // 5 - 3, 2 + 7
        {-10, 5, -8, -5},  // -5 - 3, 2 - 7
        {0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        int x = c.x, y = c.y;
        font_rotate(font, &x, &y);
        EXPECT_EQ(x, c.rx);
        EXPECT_EQ(y, c.ry);
    }
    font_free(&font);
}

TEST(StrokeFontGeometry, SettersOnBadFontRecordError6) {
    StrokeFont bogus{};
    font_set_size(&bogus, 3, 3);
    EXPECT_EQ(font_ok(), 0);
    EXPECT_EQ(font_last_error(), kWrongKind);
    EXPECT_EQ(bogus.char_width, 0);
    font_set_direction(nullptr, 1, 0);
    EXPECT_EQ(font_last_error(), kWrongKind);
    EXPECT_EQ(font_text_width(nullptr, "A"), 0);
    int x = 0, y = 0;
    Recorder rec;
    EXPECT_EQ(font_draw_char(&rec, &x, &y, &bogus, 'A', Recorder::cb), kWrongKind);
}

TEST(StrokeFontGeometry, TextWidth) {
    StrokeFont* font = font_new();
    font->design_width = 24;
    font->advance[128] = 7;
    font->advance[129] = 9;
    font->advance[kA] = 100;
    font_set_size(font, 10, 10);
    EXPECT_EQ(font_text_width(font, "\x80\x81"), 6);  // 10 * 16 / 24 = 6.67
    EXPECT_EQ(font_text_width(font, ""), 0);
    font->design_width = 16;
    EXPECT_EQ(font_text_width(font, "\x80\x81"), 10);
    // Products far beyond 32 bits stay exact: 1e6 * 10000 / 16.
    font_set_size(font, 1000000, 10);
    std::string text(100, 'A');
    EXPECT_EQ(font_text_width(font, text.c_str()), 625000000);
    font->design_width = 0;  // a hand-broken font must not divide by zero
    EXPECT_EQ(font_text_width(font, "A"), 0);
    EXPECT_EQ(font_last_error(), kBadArgument);
    font_free(&font);
}

TEST(StrokeFontGeometry, BuiltinTextWidthUsesSpecialGlyphAdvances) {
    const StrokeFont* font = font_builtin(0);
    int sum = font->advance[128] + font->advance[129];
    EXPECT_GT(font->advance[128], 0);
    EXPECT_GT(font->advance[129], 0);
    EXPECT_EQ(font_text_width(font, "\x80\x81"), font->char_width * sum / font->design_width);
}

TEST(StrokeFontGeometry, DrawScalesAndOrdersStrokes) {
    StrokeFont* font = small_font();
    font_set_size(font, 32, 48);  // x2 and x2
    Recorder rec;
    int x = 100, y = 200;
    ASSERT_EQ(font_draw_char(&rec, &x, &y, font, 'A', Recorder::cb), 0);
    // Second end first; strokes in order.
    std::vector<Seg> want = {{106, 208, 102, 204}, {114, 216, 110, 212}};
    EXPECT_EQ(rec.segs, want);
    EXPECT_EQ(x, 120);  // advance 10 * 32 / 16
    EXPECT_EQ(y, 200);
    font_free(&font);
}

TEST(StrokeFontGeometry, DrawTruncatesScaledCoordinates) {
    StrokeFont* font = small_font();
    font_set_size(font, 10, 10);  // x * 10 / 16, y * 10 / 24
    Recorder rec;
    int x = 0, y = 0;
    ASSERT_EQ(font_draw_char(&rec, &x, &y, font, 'B', Recorder::cb), 0);
    // (-1, -2) -> (0, 0) truncated toward zero; (0, 12) -> (0, 5).
    ASSERT_EQ(rec.segs.size(), 1u);
    EXPECT_EQ(rec.segs[0], (Seg{0, 5, 0, 0}));
    EXPECT_EQ(x, 7);  // 12 * 10 / 16
    font_free(&font);
}

TEST(StrokeFontGeometry, DrawAppliesSlantThenRotation) {
    StrokeFont* font = small_font();
    EXPECT_EQ(glyph_alloc(&font->glyphs[kI], 1), 0);
    font->glyphs[kI].strokes[0] = {0, 0, 2, 24};
    font->advance[kI] = 16;
    font_set_slant(font, 1, 3);  // x factor 341, y factor 1024
    Recorder rec;
    int x = 0, y = 0;
    ASSERT_EQ(font_draw_char(&rec, &x, &y, font, 'I', Recorder::cb), 0);
    EXPECT_EQ(rec.segs[0], (Seg{2 + 24 * 341 / 1024, 24, 0, 0}));  // (9, 24)

    font_set_direction(font, 0, 1);  // quarter turn: (x, y) -> (-y, x)
    rec.segs.clear();
    x = 50;
    y = 60;
    ASSERT_EQ(font_draw_char(&rec, &x, &y, font, 'I', Recorder::cb), 0);
    EXPECT_EQ(rec.segs[0], (Seg{50 - 24, 60 + 9, 50, 60}));
    EXPECT_EQ(x, 50);
    EXPECT_EQ(y, 76);  // advance 16 turned onto +y
    font_free(&font);
}

TEST(StrokeFontGeometry, EmptyGlyphAdvancesWithoutCallback) {
    StrokeFont* font = small_font();
    font_set_direction(font, 3, 4);
    Recorder rec;
    int x = 1, y = 1;
    ASSERT_EQ(font_draw_char(&rec, &x, &y, font, ' ', Recorder::cb), 0);
    EXPECT_TRUE(rec.segs.empty());
    EXPECT_EQ(x, 1 + 8 * 614 / 1024);
    EXPECT_EQ(y, 1 + 8 * 819 / 1024);
    font_free(&font);
}

TEST(StrokeFontGeometry, CallbackStopLeavesPositionUnchanged) {
    StrokeFont* font = small_font();
    for (int stop : {0, 1}) {
        Recorder rec;
        rec.stop_at = stop;
        int x = 7, y = 9;
        EXPECT_EQ(font_draw_char(&rec, &x, &y, font, 'A', Recorder::cb), 5);
        EXPECT_EQ(rec.segs.size(), static_cast<size_t>(stop + 1));
        EXPECT_EQ(x, 7);
        EXPECT_EQ(y, 9);
    }
    font_free(&font);
}

TEST(StrokeFontGeometry, HostileFactorsClampInsteadOfOverflowing) {
    StrokeFont* font = small_font();
    font->design_width = 1;
    font->design_height = 1;
    font->char_width = INT_MAX;
    font->char_height = INT_MIN;
    font->slant_x = INT_MAX;
    font->slant_y = INT_MIN;
    font->dir_cos = INT_MAX;
    font->dir_sin = INT_MIN;
    font->advance[kA] = INT_MAX;
    Recorder rec;
    int x = INT_MAX, y = INT_MIN;
    EXPECT_EQ(font_draw_char(&rec, &x, &y, font, 'A', Recorder::cb), 0);
    EXPECT_EQ(rec.segs.size(), 2u);
    font->design_height = 0;
    EXPECT_EQ(font_draw_char(&rec, &x, &y, font, 'A', Recorder::cb), kBadArgument);
    font_free(&font);
}

}  // namespace
