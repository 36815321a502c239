// Compiling stroke fonts from text sources: the font header, value syntax,
// pen commands, arcs and rings, subshapes, derived advance widths and sizes,
// and sources that must fail without touching the caller's font.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <tuple>
#include <unistd.h>

#include "model/font/strokefont.h"
#include "model/font/strokefont_source.h"
#include "model/math/result.h"

namespace {

struct Loaded {
    StrokeFont* font = nullptr;
    int rc = 0;
    explicit Loaded(const std::string& text) { rc = font_parse_text(text.data(), text.size(), &font); }
    ~Loaded() { font_free(&font); }
    // Strokes of a glyph as tuples, for set comparisons.
    std::set<std::tuple<int, int, int, int>> strokes(int code) const {
        std::set<std::tuple<int, int, int, int>> s;
        const FontGlyph& g = font->glyphs[code];
        for (int i = 0; i <= g.last; ++i) s.insert({g.strokes[i].x1, g.strokes[i].y1, g.strokes[i].x2, g.strokes[i].y2});
        return s;
    }
};

const std::string kHeader = "*0,3,test font\n8,2,0\n";

TEST(StrokeFontSource, FontHeaderSetsStartAndUnits) {
    Loaded f(kHeader);
    ASSERT_EQ(f.rc, 0);
    EXPECT_EQ(f.font->design_width, 10);
    EXPECT_EQ(f.font->design_height, 10);
    EXPECT_EQ(f.font->dir_cos, 1024);
    EXPECT_EQ(f.font->slant_y, 1024);
    // The start position's y is "below": a stroke up from the start ends at 2 + 1.
    Loaded g(kHeader + "*65,2\n014,0\n");
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.strokes('A'), (std::set<std::tuple<int, int, int, int>>{{0, 2, 0, 3}}));
}

TEST(StrokeFontSource, ValuesHexDecimalNamesAndSeparators) {
    // "012" is hexadecimal 18 (a vector of length 1 towards direction 2,
    // north-east); "18" decimal is the same vector written plainly.
    Loaded hex(kHeader + "*65,2\n012,0\n*66,2\n(18),0\n");
    ASSERT_EQ(hex.rc, 0);
    EXPECT_EQ(hex.strokes('A'), (std::set<std::tuple<int, int, int, int>>{{0, 2, 1, 3}}));
    EXPECT_EQ(hex.strokes('A'), hex.strokes('B'));
    // Named codes, values over several lines, negative operands.
    Loaded named(kHeader + "*Degree_Sign,5,deg\n8,\n(-2,\n3),0\n*Diameter_Symbol,2\n040,0\n");
    ASSERT_EQ(named.rc, 0);
    EXPECT_EQ(named.font->glyphs[127].last, 0);
    EXPECT_EQ(named.strokes(127), (std::set<std::tuple<int, int, int, int>>{{2, 2, 0, 5}}));
    EXPECT_EQ(named.font->glyphs[129].last, 0);
}

TEST(StrokeFontSource, AdvanceWidthsAndFontSize) {
    // 'A': a box 10 wide and 14 tall (from y 0: boxes start at the origin); 'B': 20 wide.
    Loaded f(kHeader + "*65,5\n8,(10,12),0\n*66,4\n8,(20,0),0\n");
    ASSERT_EQ(f.rc, 0);
    EXPECT_EQ(f.font->advance['A'], 10 + 1 + 1);
    EXPECT_EQ(f.font->advance['B'], 20 + 2 + 1);
    EXPECT_EQ(f.font->advance[' '], 12 * 3 / 4);
    EXPECT_EQ(f.font->design_width, 23);
    EXPECT_EQ(f.font->char_width, 23);
    EXPECT_EQ(f.font->design_height, 14);
    EXPECT_EQ(f.font->char_height, 14);
}

TEST(StrokeFontSource, PenStackAndScale) {
    // Pen up over the first move, push, draw, pop back, draw down.
    Loaded f(kHeader + "*65,13\n2,8,(4,0),1,5,8,(0,4),6,8,(0,-2),0\n");
    ASSERT_EQ(f.rc, 0);
    // Box min y is 0 (it starts at 0); the strokes lie at y 2..6 and 0..2.
    EXPECT_EQ(f.strokes('A'), (std::set<std::tuple<int, int, int, int>>{{4, 2, 4, 6}, {4, 2, 4, 0}}));
    Loaded scaled(kHeader + "*65,8\n4,3,3,2,8,(1,1),0\n");  // scale 3 / 2 = 1.5
    ASSERT_EQ(scaled.rc, 0);
    EXPECT_EQ(scaled.strokes('A'), (std::set<std::tuple<int, int, int, int>>{{0, 2, 2, 4}}));
    // An eighth push fails; seven are allowed.
    EXPECT_EQ(Loaded(kHeader + "*65,8\n5,5,5,5,5,5,5,0\n").rc, 0);
    EXPECT_EQ(Loaded(kHeader + "*65,9\n5,5,5,5,5,5,5,5,0\n").rc, kBadArgument);
}

TEST(StrokeFontSource, OctantArcsAndRings) {
    // Radius 1, full circle from octant 0: the four segments of ring 0 around
    // the centre one unit left of the pen.
    Loaded ring(kHeader + "*65,4\n10,1,0,0\n");
    ASSERT_EQ(ring.rc, 0);
    ASSERT_EQ(ring.font->glyphs['A'].last, 3);
    // Centre (-1, 2); the box's min x is -2, so x is shifted by 2.
    EXPECT_EQ(ring.strokes('A'),
              (std::set<std::tuple<int, int, int, int>>{{2, 2, 1, 3}, {1, 3, 0, 2}, {0, 2, 1, 1}, {1, 1, 2, 2}}));
    // A quarter arc of radius 8 counter-clockwise from octant 0 ends straight
    // above the centre.
    Loaded arc(kHeader + "*65,4\n10,8,002,0\n");
    ASSERT_EQ(arc.rc, 0);
    int min_x = 999, max_y = -999;
    for (auto [x1, y1, x2, y2] : arc.strokes('A')) {
        min_x = std::min({min_x, x1, x2});
        max_y = std::max({max_y, y1, y2});
    }
    EXPECT_EQ(min_x, 0);
    EXPECT_EQ(max_y, 10);  // y 2 + radius 8
    EXPECT_GE(arc.font->glyphs['A'].last, 3);
    EXPECT_EQ(Loaded(kHeader + "*65,4\n10,0,0,0\n").rc, kBadArgument);
    EXPECT_EQ(Loaded(kHeader + "*65,4\n10,1,128,0\n").rc, kBadArgument);
}

TEST(StrokeFontSource, BulgeArcsEndOnTheirEndPoint) {
    Loaded f(kHeader + "*65,6\n12,(10,0,90),8,(0,1),0\n");
    ASSERT_EQ(f.rc, 0);
    // The last stroke goes up from the arc's end point, 10 units right of the start.
    bool found = false;
    for (auto [x1, y1, x2, y2] : f.strokes('A')) found |= x1 == 10 && x2 == 10 && y2 == y1 + 1;
    EXPECT_TRUE(found);
    EXPECT_EQ(Loaded(kHeader + "*65,5\n12,(10,0,0),0\n").strokes('A'),
              (std::set<std::tuple<int, int, int, int>>{{0, 2, 10, 2}}));
    EXPECT_EQ(Loaded(kHeader + "*65,5\n12,(10,0,100000),0\n").rc, kBadArgument);
}

TEST(StrokeFontSource, SubshapesDefinedLaterAndOffsetsBeyondASignedByte) {
    // 'B' calls 'A', which is defined further on.
    Loaded f(kHeader + "*66,4\n7,65,014,0\n*65,4\n8,(3,0),0\n");
    ASSERT_EQ(f.rc, 0);
    EXPECT_EQ(f.strokes('B'), (std::set<std::tuple<int, int, int, int>>{{0, 2, 3, 2}, {3, 2, 3, 3}}));
    // A pen-up glyph whose end offset is 200: a caller continues from x = 200.
    Loaded wide(kHeader + "*65,8\n2,8,(100,0),8,(100,0),0\n*66,14\n014,2,7,65,8,(-190,0),1,014,0\n");
    ASSERT_EQ(wide.rc, 0) << "the offset of 200 was taken as a signed byte";
    EXPECT_EQ(wide.strokes('B'), (std::set<std::tuple<int, int, int, int>>{{0, 2, 0, 3}, {10, 3, 10, 4}}));
    // A subshape never defined draws nothing.
    Loaded missing(kHeader + "*65,4\n7,66,014,0\n");
    ASSERT_EQ(missing.rc, 0);
    EXPECT_EQ(missing.font->glyphs['A'].last, 0);
}

TEST(StrokeFontSource, HostileSourcesEndWithAnError) {
    struct Case {
        const char* name;
        std::string text;
        int rc;
    };
    const Case cases[] = {
        {"empty", "", 13},
        {"no header", "8,2,0\n", 13},
        {"code above 255", kHeader + "*256,2\n014,0\n", 13},
        {"count above 1000", kHeader + "*65,1001\n014,0\n", 13},
        {"code 11", kHeader + "*65,6\n11,1,2,3,4,0\n", 13},
        {"scale by 0", kHeader + "*65,3\n3,0,0\n", 13},
        {"values run out", kHeader + "*65,5\n8,1\n", 13},
        {"a lone sign", kHeader + "*65,2\n-,0\n", 13},
        {"cycle", kHeader + "*65,3\n7,66,0\n*66,3\n7,65,0\n", 13},
        {"self call", kHeader + "*65,3\n7,65,0\n", 13},
        {"wider than 255", kHeader + "*65,7\n8,(100,0),8,(100,0),8,(100,0),0\n", -1},
        {"wider than a byte holds", kHeader + "*65,5\n8,(-70,0),8,(140,0),0\n", -1},
        {"huge scale", kHeader + "*65,9\n4,1000,4,1000,4,1000,014,0\n", -1},
        {"skipped end", kHeader + "*65,3\n14,0,0\n", 13},
        {"too many strokes", [] {
             std::string s = kHeader + "*65,1000\n";
             for (int i = 0; i < 330; ++i) s += "10,5,0,";  // rings of 16 segments
             return s + "0\n";
         }(), 13},
    };
    for (const Case& c : cases) {
        StrokeFont* font = font_new();
        StrokeFont* before = font;
        EXPECT_EQ(font_parse_text(c.text.data(), c.text.size(), &font), c.rc) << c.name;
        EXPECT_EQ(font, before) << c.name;
        font_free(&font);
    }
    // A long chain of subshapes that closes on itself ends with an error.
    std::string cycle = kHeader;
    for (int code = 1; code <= 40; ++code)
        cycle += "*" + std::to_string(code) + ",3\n7," + std::to_string(code % 40 + 1) + ",0\n";
    StrokeFont* font = nullptr;
    EXPECT_EQ(font_parse_text(cycle.data(), cycle.size(), &font), kBadArgument);
    EXPECT_EQ(font, nullptr);
}

TEST(StrokeFontSource, DeepSubshapeChainsWithoutACycleLoad) {
    // Each glyph calls the next, defined after it; the last draws one stroke.
    std::string deep = kHeader;
    for (int code = 1; code < 255; ++code) deep += "*" + std::to_string(code) + ",3\n7," + std::to_string(code + 1) + ",0\n";
    deep += "*255,2\n014,0\n";
    Loaded f(deep);
    ASSERT_EQ(f.rc, 0);
    EXPECT_EQ(f.strokes(1), (std::set<std::tuple<int, int, int, int>>{{0, 2, 0, 3}}));
}

TEST(StrokeFontSource, FilesAreReadOnlyAndErrorsReported) {
    StrokeFont* font = nullptr;
    EXPECT_EQ(font_load_text("/nonexistent/zelo/font.shp", &font), ENOENT);
    EXPECT_EQ(font, nullptr);
    char path[] = "/tmp/zelo_font_source_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::string text = kHeader + "*65,2\r\n014,0\r\n";
    ASSERT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
    close(fd);
    ASSERT_EQ(chmod(path, 0444), 0);  // read-only: the loader must not ask to write
    EXPECT_EQ(font_load_text(path, &font), 0);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->glyphs['A'].last, 0);
    font_free(&font);
    std::remove(path);
}

}  // namespace
