// Lines, pens, fills with constant colours, row transparency, masks and
// triangles on packed contexts: the cases where the rule is easy to state
// (a dash of 16 on, 16 off; a round pen of width 4 drawn as 5; a triangle
// covering the pixels inside its edges).
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <set>

#include "graphics/raster/raster.h"
#include "tests/raster/raster_test_util.h"

namespace {

struct Canvas {
    ImagePtr img;
    DCPtr dc;
    Canvas(int w, int h, int bits = 8) : img(image_create_ex(w, h, 1, bits, nullptr)), dc(image_dc_create(img.get())) {}
    uint32_t at(int x, int y) const { return decode_pixel(img.get(), x, y); }
    std::set<std::pair<int, int>> drawn() const {
        std::set<std::pair<int, int>> s;
        for (int y = 0; y < img->height; ++y)
            for (int x = 0; x < img->width; ++x)
                if (at(x, y)) s.insert({x, y});
        return s;
    }
    uint32_t lines(const RasterPen& pen, int w, int h, std::vector<int32_t> segs, uint32_t pattern = 0xFFFFFFFFu) {
        return dc->segment(dc.get(), &pen, w, h, segs.data(), int(segs.size() / 4), pattern);
    }
};

RasterPen pen(uint32_t colour = 1, uint32_t op = 3) {
    return {op, colour, {-100000, -100000, 100000, 100000}};
}
const RasterPen kPen = pen();

TEST(RasterPen, ConstantColourFills) {
    Canvas c(4, 1);
    std::memset(c.img->pixels, 0x5A, 4);
    RasterFill fill{0, 0x0F, 0, 0, 0, 0, 0, nullptr};
    image_dc_blit(c.dc.get(), 0, 0, 1, 1, &fill, 0, 0, kRopFill | 0);
    image_dc_blit(c.dc.get(), 1, 0, 1, 1, &fill, 0, 0, kRopFill | 12);
    image_dc_blit(c.dc.get(), 2, 0, 1, 1, &fill, 0, 0, kRopFill | 5);
    fill.colour = 0;
    image_dc_blit(c.dc.get(), 3, 0, 1, 1, &fill, 0, 0, kRopFill | 6);
    EXPECT_EQ(c.at(0, 0), 0u);
    EXPECT_EQ(c.at(1, 0), 0xF0u);
    EXPECT_EQ(c.at(2, 0), 0x5Au);
    EXPECT_EQ(c.at(3, 0), 0x5Au);
}

TEST(RasterPen, DashPatternsContinueAcrossCalls) {
    Canvas c(80, 3);
    // 0x0000FFFF: 16 on, 16 off, starting with the first pixel.
    uint32_t p = c.lines(pen(), 1, 1, {0, 0, 39, 0}, 0x0000FFFFu);
    for (int x = 0; x < 40; ++x) EXPECT_EQ(c.at(x, 0), (x % 32) < 16 ? 1u : 0u) << x;
    // The next call starts on the shared end pixel's bit.
    c.lines(pen(), 1, 1, {39, 1, 79, 1}, p);
    for (int x = 39; x < 80; ++x) EXPECT_EQ(c.at(x, 1), (x % 32) < 16 ? 1u : 0u) << x;
    // Drawn right to left, the dash still starts at the given start point.
    c.lines(pen(), 1, 1, {79, 2, 40, 2}, 0x0000FFFFu);
    for (int x = 40; x < 80; ++x) EXPECT_EQ(c.at(x, 2), ((79 - x) % 32) < 16 ? 1u : 0u) << x;
}

TEST(RasterPen, LinesAreTheSameInBothDirectionsAndUnderClipping) {
    Canvas a(40, 40), b(40, 40);
    a.lines(pen(), 1, 1, {10, 10, 0, 10});
    b.lines(pen(), 1, 1, {0, 10, 10, 10});
    EXPECT_EQ(a.drawn(), b.drawn());
    EXPECT_EQ(a.drawn().size(), 11u);
    // Clipped lines draw exactly the unclipped line's pixels inside the clip.
    const int32_t ends[][4] = {{-30, -7, 70, 50}, {3, 60, 20, -40}, {39, 0, 0, 39}, {-5, 13, 90, 14}, {7, -3, 8, 90}};
    for (const auto& e : ends) {
        Canvas whole(40, 40), clipped(40, 40);
        whole.lines(pen(), 1, 1, {e[0], e[1], e[2], e[3]});
        RasterPen clip = pen();
        clip.clip = {5, 8, 27, 31};
        clipped.lines(clip, 1, 1, {e[0], e[1], e[2], e[3]});
        std::set<std::pair<int, int>> inside;
        for (auto q : whole.drawn())
            if (q.first >= 5 && q.first <= 27 && q.second >= 8 && q.second <= 31) inside.insert(q);
        EXPECT_EQ(clipped.drawn(), inside);
    }
}

TEST(RasterPen, TwoByTwoPenAddsTheRowBelowOrTheColumnRight) {
    Canvas c(20, 20);
    c.lines(pen(), 2, 2, {2, 5, 12, 5});
    std::set<std::pair<int, int>> want;
    for (int x = 2; x <= 12; ++x) want.insert({x, 5}), want.insert({x, 6});
    EXPECT_EQ(c.drawn(), want);
    Canvas v(20, 20);
    v.lines(pen(), 2, 2, {4, 2, 4, 9});
    EXPECT_EQ(v.drawn().size(), 16u);
    EXPECT_EQ(v.at(5, 9), 1u);
}

double distance_to_segment(double px, double py, double x0, double y0, double x1, double y1) {
    const double dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
    double t = len2 ? ((px - x0) * dx + (py - y0) * dy) / len2 : 0;
    t = std::fmax(0, std::fmin(1, t));
    return std::hypot(px - (x0 + t * dx), py - (y0 + t * dy));
}

TEST(RasterPen, RoundPensOfEveryWidthCoverTheirBandWithoutHoles) {
    const int32_t segs[][4] = {{20, 30, 60, 30}, {20, 20, 60, 45}, {40, 10, 45, 50}, {60, 10, 20, 50}, {30, 30, 30, 30}};
    for (int w = 3; w <= 12; ++w) {
        const double r = ((w | 1) >> 1);
        for (const auto& s : segs) {
            Canvas c(80, 60);
            c.lines(pen(), w, w, {s[0], s[1], s[2], s[3]});
            for (int y = 0; y < 60; ++y)
                for (int x = 0; x < 80; ++x) {
                    const double d = distance_to_segment(x, y, s[0], s[1], s[2], s[3]);
                    if (d <= r - 0.75) {
                        EXPECT_EQ(c.at(x, y), 1u) << "hole at " << x << ',' << y << " width " << w;
                    }
                    if (d > r + 1.5) {
                        EXPECT_EQ(c.at(x, y), 0u) << "stray at " << x << ',' << y << " width " << w;
                    }
                }
        }
    }
    // Width 4 is drawn as width 5: five rows across a horizontal segment.
    Canvas c(40, 20);
    c.lines(pen(), 4, 4, {10, 10, 30, 10});
    for (int y = 0; y < 20; ++y) EXPECT_EQ(c.at(20, y), (y >= 8 && y <= 12) ? 1u : 0u) << y;
}

TEST(RasterPen, RectangularPensSweepTheirRectangle) {
    // Along the axes the sweep is exactly the rectangle moved along the line.
    for (auto [w, h] : {std::pair{3, 1}, std::pair{1, 4}, std::pair{5, 2}, std::pair{4, 7}}) {
        for (const auto& s : {std::array<int32_t, 4>{10, 20, 30, 20}, std::array<int32_t, 4>{20, 8, 20, 30}}) {
            Canvas c(50, 45);
            c.lines(pen(), w, h, {s[0], s[1], s[2], s[3]});
            std::set<std::pair<int, int>> want;
            for (int x = std::min(s[0], s[2]); x <= std::max(s[0], s[2]); ++x)
                for (int y = std::min(s[1], s[3]); y <= std::max(s[1], s[3]); ++y)
                    for (int i = 0; i < w; ++i)
                        for (int j = 0; j < h; ++j) want.insert({x - (w - 1) / 2 + i, y - (h - 1) / 2 + j});
            EXPECT_EQ(c.drawn(), want) << w << 'x' << h;
        }
    }
    // Slanted: both end rectangles drawn, nothing beyond the swept box.
    Canvas c(60, 60);
    c.lines(pen(), 5, 3, {10, 10, 40, 35});
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(c.at(8 + i, 9 + j), 1u);
            EXPECT_EQ(c.at(38 + i, 34 + j), 1u);
        }
    for (auto q : c.drawn()) {
        EXPECT_GE(q.first, 8);
        EXPECT_LE(q.first, 42);
        EXPECT_GE(q.second, 9);
        EXPECT_LE(q.second, 36);
    }
}

TEST(RasterPen, WritingARowSkipsTransparentWordsAtEveryDirectDepth) {
    for (int bits : {8, 15, 16, 24}) {
        Canvas c(4, 1, bits);
        const uint32_t fill[4] = {7, 7, 7, 7};
        c.dc->write_row(c.dc.get(), 0, 0, 4, fill, 16, 3);
        const uint32_t row[4] = {1, kRopTransparent | 2, 3, kRopTransparent};
        c.dc->write_row(c.dc.get(), 0, 0, 4, row, 16, 3 | kRopTransparent);
        EXPECT_EQ(c.at(0, 0), 1u);
        EXPECT_EQ(c.at(1, 0), 7u) << bits;
        EXPECT_EQ(c.at(2, 0), 3u);
        EXPECT_EQ(c.at(3, 0), 7u) << bits;
    }
}

TEST(RasterPen, ThreeByteWritesKeepTheirNeighbours) {
    // A 24-bit row whose last pixel ends the buffer: writing it touches only
    // its three bytes (the sanitizer build catches a fourth).
    Canvas c(3, 2, 24);
    std::memset(c.img->pixels, 0xA5, 18);
    const uint32_t one = 0x123456;
    c.dc->write_row(c.dc.get(), 2, 1, 1, &one, 4, 3);
    c.dc->write_row(c.dc.get(), 1, 0, 1, &one, 4, 3);
    const uint8_t want[18] = {0xA5, 0xA5, 0xA5, 0x56, 0x34, 0x12, 0xA5, 0xA5, 0xA5,
                              0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0x56, 0x34, 0x12};
    EXPECT_EQ(0, std::memcmp(c.img->pixels, want, 18));
    RasterFill fill{0, 0x00FFEEDD, 0, 0, 0, 0, 0, nullptr};
    image_dc_blit(c.dc.get(), 1, 0, 1, 2, &fill, 0, 0, kRopFill | kRopColourWords | 3);
    EXPECT_EQ(c.img->pixels[2], 0xA5);
    EXPECT_EQ(c.img->pixels[6], 0xA5);
    EXPECT_EQ(c.img->pixels[3], 0xFF);  // colour word: red last in memory
    EXPECT_EQ(c.img->pixels[5], 0xDD);
}

TEST(RasterPen, MasksClipTheirBitsAlongWithThePixels) {
    Canvas c(8, 8);
    const uint8_t bits[4] = {0xFF, 0x81, 0x42, 0x24};  // 8 x 4, one byte a row
    c.dc->mask(c.dc.get(), &kPen, 0, 0, 0, 4, bits, 0, 8);
    EXPECT_TRUE(c.drawn().empty());
    // Two rows above the image: drawing starts with mask row 2.
    c.dc->mask(c.dc.get(), &kPen, 0, -2, 8, 4, bits, 0, 8);
    EXPECT_EQ(c.drawn(), (std::set<std::pair<int, int>>{{1, 0}, {6, 0}, {2, 1}, {5, 1}}));
    // A width reaching past the 32-bit range draws the columns inside the image.
    Canvas wide(8, 1);
    const uint8_t ones[1] = {0xFF};
    wide.dc->mask(wide.dc.get(), &kPen, 2, 0, INT32_MAX, 1, ones, 0, 8);
    EXPECT_EQ(wide.drawn().size(), 6u);
}

TEST(RasterPen, TrianglesCoverThePixelsInsideTheirEdges) {
    const int tri[][6] = {{5, 5, 50, 12, 20, 40}, {30, 2, 58, 50, 3, 30}, {10, 10, 40, 10, 25, 35},
                          {10, 40, 40, 40, 25, 5}, {0, 0, 59, 1, 1, 49}};
    for (const auto& t : tri) {
        Canvas c(60, 50);
        image_dc_fill_triangle(c.dc.get(), &kPen, t[0], t[1], t[2], t[3], t[4], t[5]);
        auto edge = [&](int a, int b, double x, double y) {
            return (t[2 * b] - t[2 * a]) * (y - t[2 * a + 1]) - (t[2 * b + 1] - t[2 * a + 1]) * (x - t[2 * a]);
        };
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 60; ++x) {
                const double e0 = edge(0, 1, x, y), e1 = edge(1, 2, x, y), e2 = edge(2, 0, x, y);
                const bool inside = (e0 > 0 && e1 > 0 && e2 > 0) || (e0 < 0 && e1 < 0 && e2 < 0);
                // Far from every edge: inside must be drawn, outside must not.
                double d = 1e9;
                for (int k = 0; k < 3; ++k)
                    d = std::fmin(d, distance_to_segment(x, y, t[2 * k], t[2 * k + 1], t[(2 * k + 2) % 6],
                                                         t[(2 * k + 3) % 6]));
                if (d < 1.5) continue;
                EXPECT_EQ(c.at(x, y), inside ? 1u : 0u) << x << ',' << y;
            }
    }
    // A clip rectangle bounds the fill.
    Canvas c(60, 50);
    RasterPen clip = pen();
    clip.clip = {10, 10, 20, 20};
    image_dc_fill_triangle(c.dc.get(), &clip, 0, 0, 59, 0, 0, 49);
    for (auto q : c.drawn()) {
        EXPECT_GE(q.first, 10);
        EXPECT_LE(q.second, 20);
    }
    EXPECT_EQ(c.drawn().size(), 121u);
}

TEST(RasterPen, HostileCoordinatesEndQuickly) {
    Canvas c(16, 16);
    c.lines(pen(), 1, 1, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
    c.lines(pen(), 9, 9, {-2000000000, 5, 2000000000, 7});
    c.lines(pen(), 2000000000, 3, {0, 0, 5, 5});
    image_dc_fill_triangle(c.dc.get(), &kPen, INT32_MIN, INT32_MIN, INT32_MAX, 0, 0, INT32_MAX);
    EXPECT_FALSE(c.drawn().empty());
}

}  // namespace

namespace {

TEST(RasterPen, WidePensWithFarEndsCoverTheirOnePixelLine) {
    // The one-pixel segments a wide pen is made of keep the direction of the
    // wide segment, however far away its ends lie.
    const int32_t ends[][4] = {{-2000000000, -1000000000, 100, 50}, {7, 3, 2100000000, 1050000000}};
    for (const auto& e : ends)
        for (auto [w, h] : {std::pair{2, 2}, std::pair{3, 3}, std::pair{5, 3}}) {
            Canvas thin(120, 80), wide(120, 80);
            thin.lines(pen(), 1, 1, {e[0], e[1], e[2], e[3]});
            wide.lines(pen(), w, h, {e[0], e[1], e[2], e[3]});
            ASSERT_FALSE(thin.drawn().empty());
            for (auto q : thin.drawn()) EXPECT_EQ(wide.at(q.first, q.second), 1u) << w << 'x' << h;
        }
}

}  // namespace
