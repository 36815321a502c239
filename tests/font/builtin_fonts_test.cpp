// Built-in stroke fonts: their fixed settings, glyph coverage and the sanity of
// their strokes and advances; the start-up choice of the default font.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "font_test_util.h"
#include "model/font/strokefont.h"

namespace {

int non_empty(const StrokeFont* font) {
    return static_cast<int>(std::count_if(std::begin(font->glyphs), std::end(font->glyphs),
                                          [](const FontGlyph& g) { return g.last >= 0; }));
}

bool has_glyph(const StrokeFont* font, int code) {
    return font->glyphs[code].last >= 0;
}

TEST(BuiltinFonts, FixedSettings) {
    for (int index : {0, 1}) {
        const StrokeFont* f = font_builtin(index);
        ASSERT_NE(f, nullptr);
        EXPECT_TRUE(font_is_builtin(f));
        EXPECT_EQ(f->magic, kStrokeFontMagic);
        EXPECT_EQ(f->design_width, 16);
        EXPECT_EQ(f->design_height, 24);
        EXPECT_EQ(settings_of(f), (FontSettings{16, 16, 1000, 0, 0, 1000}));
    }
    EXPECT_EQ(font_builtin(2), nullptr);
    EXPECT_EQ(font_builtin(-1), nullptr);
    EXPECT_FALSE(font_is_builtin(nullptr));
}

TEST(BuiltinFonts, Coverage) {
    const StrokeFont* latin = font_builtin(0);
    const StrokeFont* cyrillic = font_builtin(1);
    EXPECT_EQ(non_empty(latin), 223);  // with the diameter (4) and degree (7) signs
    EXPECT_EQ(non_empty(cyrillic), 168);
    for (int c = 33; c <= 129; ++c) {
        EXPECT_TRUE(has_glyph(latin, c)) << c;
        EXPECT_TRUE(has_glyph(cyrillic, c)) << c;
    }
    for (int c = 161; c <= 255; ++c) EXPECT_TRUE(has_glyph(latin, c)) << c;
    for (int c = 192; c <= 255; ++c) EXPECT_TRUE(has_glyph(cyrillic, c)) << c;
    EXPECT_TRUE(has_glyph(cyrillic, 168));  // IO
    EXPECT_TRUE(has_glyph(cyrillic, 184));  // io
    for (const StrokeFont* f : {latin, cyrillic}) {
        for (int c : {0, 10, 31, 32, 0xA0}) EXPECT_FALSE(has_glyph(f, c)) << c;
        EXPECT_GT(f->advance[kSpace], 0);
        EXPECT_EQ(f->advance[kSpace], f->advance[0xA0]);
    }
}

// Angle texts write character 7 as the degree sign and diameter texts character 4
// as the diameter sign: they draw as codes 127 and 129 do.
TEST(BuiltinFonts, DimensionSignsDrawAsTheirGlyphs) {
    for (int index : {0, 1}) {
        const StrokeFont* f = font_builtin(index);
        for (auto [code, same] : {std::pair{7, 127}, std::pair{4, 129}}) {
            const FontGlyph& sign = f->glyphs[code];
            const FontGlyph& glyph = f->glyphs[same];
            ASSERT_GE(sign.last, 0) << index << " " << code;
            ASSERT_EQ(sign.last, glyph.last);
            EXPECT_EQ(f->advance[code], f->advance[same]);
            for (int i = 0; i <= sign.last; ++i) {
                const FontStroke &a = sign.strokes[i], &b = glyph.strokes[i];
                EXPECT_TRUE(a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2)
                    << index << " " << code << " " << i;
            }
        }
    }
}

TEST(BuiltinFonts, StrokesStayNearTheCellAndInsideTheAdvance) {
    for (int index : {0, 1}) {
        const StrokeFont* f = font_builtin(index);
        for (int c = 0; c < 256; ++c) {
            const FontGlyph& g = f->glyphs[c];
            if (g.last < 0) continue;
            int min_x = 127, max_x = -128, min_y = 127, max_y = -128;
            for (int i = 0; i <= g.last; ++i) {
                const FontStroke& s = g.strokes[i];
                min_x = std::min({min_x, int{s.x1}, int{s.x2}});
                max_x = std::max({max_x, int{s.x1}, int{s.x2}});
                min_y = std::min({min_y, int{s.y1}, int{s.y2}});
                max_y = std::max({max_y, int{s.y1}, int{s.y2}});
            }
            EXPECT_EQ(min_x, 1) << index << ":" << c;  // left bearing
            EXPECT_EQ(f->advance[c], max_x + 2) << index << ":" << c;
            EXPECT_LE(f->advance[c], 20) << index << ":" << c;
            EXPECT_GE(min_y, 0) << index << ":" << c;
            EXPECT_LE(max_y, 30) << index << ":" << c;
        }
    }
}

TEST(BuiltinFonts, BaselineAndCapHeight) {
    // Flat-bottomed capitals sit on the baseline (6) and reach the cell top (24).
    for (int c : {'E', 'H', 'L', 'T', 'Z'}) {
        const FontGlyph& g = font_builtin(0)->glyphs[c];
        int lo = 127, hi = -128;
        for (int i = 0; i <= g.last; ++i) {
            lo = std::min({lo, int{g.strokes[i].y1}, int{g.strokes[i].y2}});
            hi = std::max({hi, int{g.strokes[i].y1}, int{g.strokes[i].y2}});
        }
        EXPECT_EQ(lo, 6) << char(c);
        EXPECT_EQ(hi, 24) << char(c);
    }
}

TEST(BuiltinFonts, LocaleChoice) {
    struct {
        const char* name;
        int index;
    } cases[] = {
        {"Russian_Russia.1251", 1},
        {"Russian", 1},
        {"Russia", 0},
        {"russian", 0},
        {"ru_RU.UTF-8", 1},
        {"ru", 1},
        {"ru_UA.KOI8-U", 1},
        {"rus", 0},
        {"run", 0},
        {"C", 0},
        {"", 0},
        {nullptr, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(font_builtin_for_locale(c.name), c.index) << (c.name ? c.name : "null");
    }
}

TEST(BuiltinFonts, InitSetsUpTheDefaultFont) {
    EXPECT_NE(font_default(), nullptr);
    StrokeFont saved[2] = {*font_builtin(0), *font_builtin(1)};
    fonts_init();
    StrokeFont* def = font_default();
    ASSERT_TRUE(font_is_builtin(def));
    EXPECT_EQ(settings_of(def), (FontSettings{10, 10, 1024, 0, 0, 1024}));
    // The glyphs are untouched; restore the settings for the other tests.
    *font_builtin(0) = saved[0];
    *font_builtin(1) = saved[1];
}

}  // namespace
