// Glyph outlines: font opening errors, reading the test font's glyphs (metrics,
// implied start points, dropped one-point contours, blanks), the sixteen cleaning
// codes and the UTF-8 walk.
#include <gtest/gtest.h>

#include <cstring>

#include "model/font_outline/glyph_outline.h"
#include "model/math/result.h"
#include "text3d_support.h"

namespace {

TEST(GlyphFont, OpenErrors) {
    GlyphFont f;
    TextFontRecord missing;
    missing.file = "/nonexistent/font.ttf";
    EXPECT_EQ(glyph_font_open(&f, missing), kBadArgument);
    std::vector<unsigned char> junk(4096, 'x');
    // No known format; too short to read.
    EXPECT_EQ(glyph_font_open_memory(&f, junk.data(), junk.size(), 0), kGlyphUnknownFormat);
    EXPECT_EQ(glyph_font_open_memory(&f, junk.data(), 16, 0), kWrongKind);
    EXPECT_FALSE(glyph_font_is_open(f));
    TestFont sym = test_font();
    sym.cmap = TestCmap::kSymbol;
    std::vector<unsigned char> b = sym.bytes();
    EXPECT_EQ(glyph_font_open_memory(&f, b.data(), b.size(), 0), kGlyphNoCharMap);
    TestFont mac = test_font();
    mac.cmap = TestCmap::kMacRoman;
    b = mac.bytes();
    ASSERT_EQ(glyph_font_open_memory(&f, b.data(), b.size(), 0), 0);
    GlyphOutline o;
    EXPECT_EQ(glyph_outline_read(&o, &f, 'A'), 0);
    // A face that is not there: the default sans face is TrueType.
    TextFontRecord none;
    EXPECT_TRUE(text_font_resolve(&none));
    EXPECT_FALSE(none.file.empty());
}

TEST(GlyphOutlineRead, TestFontGlyphs) {
    MemoryFont m(test_font());
    GlyphOutline o;
    ASSERT_EQ(glyph_outline_read(&o, &m.font, 'A'), 0);
    ASSERT_EQ(o.points.size(), 4u);
    EXPECT_EQ(o.ends, std::vector<int32_t>{3});
    EXPECT_EQ(o.left, 0);
    EXPECT_EQ(o.right, 1);
    EXPECT_EQ(o.top, 1);
    EXPECT_EQ(o.bottom, 0);
    EXPECT_EQ(o.advance_x, 1);
    EXPECT_EQ(o.points[1].y, 1.0);
    // Only off-curve points: the implied midpoint of the last and first leads.
    ASSERT_EQ(glyph_outline_read(&o, &m.font, 'C'), 0);
    ASSERT_EQ(o.points.size(), 9u);
    EXPECT_EQ(o.points[0].on, 1);
    EXPECT_NEAR(o.points[0].x, (o.points[8].x + o.points[1].x) / 2, 1e-12);
    for (size_t i = 1; i < 9; ++i) EXPECT_EQ(o.points[i].on, 0);
    // The one-point contour is dropped, and so is one that cleaning shrinks away.
    for (char c : {'D', 'T'}) {
        ASSERT_EQ(glyph_outline_read(&o, &m.font, static_cast<uint32_t>(c)), 0);
        EXPECT_EQ(o.ends, std::vector<int32_t>{3}) << c;
    }
    ASSERT_EQ(glyph_outline_read(&o, &m.font, 'O'), 0);
    EXPECT_EQ(o.ends, (std::vector<int32_t>{3, 7}));
    // Blanks: an empty glyph, a character the font lacks.
    EXPECT_EQ(glyph_outline_read(&o, &m.font, ' '), kGlyphBlank);
    EXPECT_EQ(o.advance_x, 0.5);
    EXPECT_EQ(glyph_outline_read(&o, &m.font, 0x4E2D), kGlyphBlank);
}

TEST(GlyphPointsClean, SixteenCodes) {
    // Polygon pp, p, c, n, then two far points; p and c are within the tolerance.
    struct Want {
        int code;
        size_t count;      // points left
        int p_on, c_on;    // flags of p and of the point after p
        double px, cx;     // x of p and of the point after p
    } table[] = {
        {0, 6, 0, 0, 1.0, 1.001},     {1, 6, 1, 1, 1.0, 1.5005},  {2, 6, 1, 1, 1.0, 1.5005},
        {3, 6, 1, 1, 1.0, 1.5005},    {4, 6, 1, 1, 0.5, 1.001},   {5, 5, 1, 0, 1.0, 2.0},
        {6, 5, 1, 0, 1.0, 2.0},       {7, 5, 1, 0, 1.0, 2.0},     {8, 6, 1, 1, 0.5, 1.001},
        {9, 5, 1, 1, 1.0, 2.0},       {10, 5, 1, 1, 1.0, 2.0},    {11, 5, 1, 1, 1.0, 2.0},
        {12, 6, 1, 1, 0.5, 1.001},    {13, 5, 1, 1, 1.0, 2.0},    {14, 5, 1, 1, 1.0, 2.0},
        {15, 5, 1, 1, 1.0, 2.0},
    };
    for (const Want& w : table) {
        SCOPED_TRACE(w.code);
        GlyphOutline o;
        o.points = {{w.code & 1, 0, 0},     {(w.code >> 1) & 1, 1, 0}, {(w.code >> 2) & 1, 1.001, 0},
                    {(w.code >> 3) & 1, 2, 0}, {1, 2, 2},                 {1, 0, 2}};
        o.ends = {5};
        glyph_points_clean(&o, 0.003);
        ASSERT_EQ(o.points.size(), w.count);
        EXPECT_EQ(o.ends, std::vector<int32_t>{static_cast<int32_t>(w.count) - 1});
        EXPECT_EQ(o.points[1].on, w.p_on);
        EXPECT_EQ(o.points[2].on, w.c_on);
        EXPECT_NEAR(o.points[1].x, w.px, 1e-12);
        EXPECT_NEAR(o.points[2].x, w.cx, 1e-12);
    }
    // Code 0 with c also close to n: c goes.
    GlyphOutline o;
    o.points = {{0, 0, 0}, {0, 1, 0}, {0, 1.001, 0}, {0, 1.002, 0}, {1, 2, 2}, {1, 0, 2}};
    o.ends = {5};
    EXPECT_GE(glyph_points_clean(&o, 0.003), 1);
    // First pass: two close pairs in a row turn their inner points on-curve.
    o.points = {{0, 0, 0}, {0, 0.001, 0}, {0, 1, 1}, {0, 1.001, 1}, {1, 2, 2}, {1, 0, 2}};
    o.ends = {5};
    glyph_points_clean(&o, 0.003);
    EXPECT_EQ(o.points[1].on, 1);
}

TEST(Utf8, WalkAndCut) {
    struct Case {
        const char* text;
        std::vector<uint32_t> codes;
    } cases[] = {
        {"AB", {'A', 'B'}},
        {"\xC3\xA9", {0xE9}},                      // é, one character
        {"\xE2\x82\xAC!", {0x20AC, '!'}},           // euro sign
        {"\xF0\x9F\x98\x80", {0x1F600}},
        {"\xE9t\xE9", {0xE9, 't', 0xE9}},           // Latin-1 bytes stand for themselves
        {"\xC0\xAF", {0xC0, 0xAF}},                 // overlong
        {"\xED\xA0\x80", {0xED, 0xA0, 0x80}},       // surrogate
        {"\xE2\x82", {0xE2, 0x82}},                 // cut short
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> got;
        const char* p = c.text;
        const char* end = p + std::strlen(p);
        while (p < end) got.push_back(utf8_next(&p, end));
        EXPECT_EQ(got, c.codes) << c.text;
    }
    std::string s(254, 'a');
    s += "\xC3\xA9\xC3\xA9";  // 258 bytes, é across byte 255
    EXPECT_EQ(utf8_cut(s.c_str(), 255), 254u);
    EXPECT_EQ(utf8_cut("abc", 255), 3u);
    EXPECT_EQ(utf8_cut("\xC3\xA9\xC3\xA9", 3), 2u);
}

}  // namespace
