// Ordered dithering (quantisation tables, the 27-colour cube, the 8-bit and
// 15-bit layouts) and the area-averaging scaler (factors 2 and 0.5, clipping,
// refused factors, dithered output into indexed images).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "graphics/raster/dither.h"
#include "graphics/raster/raster.h"
#include "model/math/result.h"
#include "tests/raster/raster_test_util.h"

namespace {

TEST(Dither, QuantisationTablesFollowTheirRule) {
    // 32 levels: 0..8 share base 0 with remainders 0, 8, ..., 64; 9 starts base 1.
    for (int v = 0; v <= 8; ++v) {
        EXPECT_EQ(dither_base(32, uint8_t(v)), 0);
        EXPECT_EQ(dither_remainder(32, uint8_t(v)), 8 * v);
    }
    EXPECT_EQ(dither_base(32, 9), 1);
    EXPECT_EQ(dither_remainder(32, 9), 0);
    EXPECT_EQ(dither_base(32, 255), 30);
    EXPECT_EQ(dither_remainder(32, 255), 64);
    // Every table: bases never fall, each run starts at remainder 0 and ends at
    // 64, and the exact multiples k * 255 / (L - 1) end their runs.
    for (int levels : {32, 8, 7, 4, 3}) {
        for (int v = 1; v < 256; ++v) {
            const int b0 = dither_base(levels, uint8_t(v - 1)), b1 = dither_base(levels, uint8_t(v));
            ASSERT_TRUE(b1 == b0 || b1 == b0 + 1) << levels << ' ' << v;
            if (b1 != b0) {
                EXPECT_EQ(dither_remainder(levels, uint8_t(v)), 0) << levels << ' ' << v;
                EXPECT_EQ(dither_remainder(levels, uint8_t(v - 1)), 64) << levels << ' ' << v;
            }
        }
        EXPECT_EQ(dither_base(levels, 255), levels - 2);
        for (int k = 1; k < levels; ++k) {
            const int v = k * 255 / (levels - 1);
            if (k * 255 % (levels - 1) == 0) {
                EXPECT_EQ(dither_base(levels, uint8_t(v)), k - 1) << levels << ' ' << k;
            }
        }
        // Black and white are fixed whatever the threshold.
        for (int t = 0; t < 64; ++t) {
            EXPECT_EQ(dither_level(levels, 0, t), 0);
            EXPECT_EQ(dither_level(levels, 255, t), levels - 1);
        }
    }
    EXPECT_EQ(kDitherMatrix[0], 0);
    EXPECT_EQ(kDitherMatrix[1], 32);
    EXPECT_EQ(kDitherMatrix[7], 42);
}

TEST(Dither, CubeLevelsFollowTheMatrix) {
    // Gray 0x40 at 4 bits: the middle level where the threshold is below 32,
    // on a palette of 16 greys.
    uint32_t cube_palette[16];
    for (int i = 0; i < 16; ++i) cube_palette[i] = 0x010101u * uint32_t(i * 17);
    palette_build_cube27(cube_palette);
    const uint32_t middle = cube27_entry(13), low = cube27_entry(0);
    ASSERT_NE(middle, low);
    int middles = 0;
    for (int y = 0; y < 8; ++y) {
        uint32_t row[8];
        for (auto& p : row) p = 0x404040;
        dither_row_rgb32(row, 0, y, 8, 4);
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(row[x], kDitherMatrix[y * 8 + x] < 32 ? middle : low);
            middles += row[x] == middle;
        }
        for (auto& p : row) p = 0x7F7F7F;
        dither_row_rgb32(row, 0, y, 8, 4);
        for (int x = 0; x < 8; ++x) EXPECT_EQ(row[x], middle);
    }
    EXPECT_EQ(middles, 32);
}

TEST(Dither, EightAndFifteenBitLayouts) {
    uint32_t row[4] = {0x000000, 0xFFFFFF, 0xFF0000, 0x0000FF};
    dither_row_rgb32(row, 0, 0, 4, 8);
    EXPECT_EQ(row[0], 32u);
    EXPECT_EQ(row[1], 255u);
    EXPECT_EQ(row[2], 32u + 32 * 6);  // byte 2 (red) at its top level
    EXPECT_EQ(row[3], 32u + 8 * 3);   // byte 0 (blue)
    uint32_t w[2] = {0xFFFFFF, 0x00FF00};
    dither_row_rgb32(w, 3, 5, 2, 15);
    EXPECT_EQ(w[0], 0xF8F8F8u);
    EXPECT_EQ(w[1], 0x00F800u);
    uint32_t unchanged[1] = {0x123456};
    dither_row_rgb32(unchanged, 0, 0, 1, 12);
    EXPECT_EQ(unchanged[0], 0x123456u);
    // 3-byte pixels: depth 16 writes the 15-bit form, depth 12 nothing.
    const uint8_t src[6] = {0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF};  // blue, then red
    uint16_t out[3] = {0xAAAA, 0xAAAA, 0xAAAA};
    dither_row_rgb24(out, src, 0, 0, 2, 16);
    EXPECT_EQ(out[0], 0x001Fu);
    EXPECT_EQ(out[1], 0x7C00u);
    EXPECT_EQ(out[2], 0xAAAAu);
    uint8_t untouched[6] = {1, 2, 3, 4, 5, 6};
    dither_row_rgb24(untouched, src, 0, 0, 2, 12);
    EXPECT_EQ(untouched[0], 1);
    // In place at 8 bits.
    uint8_t in_place[6] = {0xFF, 0xFF, 0xFF, 0, 0, 0};
    dither_row_rgb24(in_place, in_place, 0, 0, 2, 8);
    EXPECT_EQ(in_place[0], 255);
    EXPECT_EQ(in_place[1], 32);
}

struct Images {
    ImagePtr img;
    DCPtr dc;
    Images(int w, int h, int bits) : img(image_create_ex(w, h, 1, bits, nullptr)), dc(image_dc_create(img.get())) {}
};

TEST(Scale, FactorTwoMakesTwoByTwoBlocks) {
    Images src(5, 3, 24), dst(10, 6, 24);
    std::mt19937 rng(5);
    for (size_t i = 0; i < 45; ++i) src.img->pixels[i] = static_cast<uint8_t>(rng());
    ASSERT_EQ(image_scale_rect(dst.dc.get(), 0, 0, 10, 6, src.dc.get(), 0, 0, 0, 0, 2.0, 2.0, 3), 0);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(decode_pixel(dst.img.get(), x, y), decode_pixel(src.img.get(), x / 2, y / 2)) << x << ',' << y;
}

TEST(Scale, FactorHalfAveragesTwoByTwoBlocks) {
    Images src(8, 6, 24), dst(4, 3, 24);
    std::mt19937 rng(9);
    for (size_t i = 0; i < 144; ++i) src.img->pixels[i] = static_cast<uint8_t>(rng());
    ASSERT_EQ(image_scale_rect(dst.dc.get(), 0, 0, 4, 3, src.dc.get(), 0, 0, 0, 0, 0.5, 0.5, 3), 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            for (int c = 0; c < 3; ++c) {
                auto ch = [&](int sx, int sy) { return int(decode_pixel(src.img.get(), sx, sy) >> (8 * c)) & 0xFF; };
                // Rounded half up after the horizontal pass, then again after the vertical.
                const int top = (ch(2 * x, 2 * y) + ch(2 * x + 1, 2 * y) + 1) / 2;
                const int bottom = (ch(2 * x, 2 * y + 1) + ch(2 * x + 1, 2 * y + 1) + 1) / 2;
                const int want = (top + bottom + 1) / 2;
                EXPECT_EQ(int(decode_pixel(dst.img.get(), x, y) >> (8 * c)) & 0xFF, want) << x << ',' << y << ' ' << c;
            }
}

TEST(Scale, ClippingAndRefusedFactors) {
    Images src(4, 4, 24), dst(8, 8, 24);
    std::memset(src.img->pixels, 0x77, 48);
    EXPECT_EQ(image_scale_rect(dst.dc.get(), 20, 20, 4, 4, src.dc.get(), 0, 0, 0, 0, 1.0, 1.0, 3), 0);
    EXPECT_EQ(image_scale_rect(dst.dc.get(), 0, 0, 4, 4, src.dc.get(), 9, 9, 0, 0, 2.0, 2.0, 3), 0);
    for (int i = 0; i < 8 * 8 * 3; ++i) ASSERT_EQ(dst.img->pixels[i], 0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double f : {0.0, -1.0, 1e-9, 1.0 / 1024, nan, 1e12, std::numeric_limits<double>::infinity()}) {
        EXPECT_EQ(image_scale_rect(dst.dc.get(), 0, 0, 8, 8, src.dc.get(), 0, 0, 0, 0, f, 1.0, 3), kBadArgument) << f;
        EXPECT_EQ(image_scale_rect(dst.dc.get(), 0, 0, 8, 8, src.dc.get(), 0, 0, 0, 0, 1.0, f, 3), kBadArgument) << f;
        uint32_t row[4];
        EXPECT_EQ(image_scale_row(row, 0, 0, 4, 24, src.img->pixels, 4, 4, 0, 0, f, f), kBadArgument) << f;
    }
    for (int i = 0; i < 8 * 8 * 3; ++i) ASSERT_EQ(dst.img->pixels[i], 0);
    // The smallest factor accepted averages a large area without overflow.
    Images big(512, 2, 24), one(2, 1, 24);
    std::memset(big.img->pixels, 0xFF, 512 * 2 * 3);
    EXPECT_EQ(image_scale_rect(one.dc.get(), 0, 0, 2, 1, big.dc.get(), 0, 0, 0, 0, 1.0 / 256, 0.5, 3), 0);
    EXPECT_EQ(decode_pixel(one.img.get(), 0, 0), 0xFFFFFFu);
    EXPECT_EQ(decode_pixel(one.img.get(), 1, 0), 0xFFFFFFu);
}

TEST(Scale, IndexedDestinationsGetDitheredIndices) {
    Images src(6, 6, 24), dst(12, 12, 8);
    std::mt19937 rng(2);
    for (size_t i = 0; i < 108; ++i) src.img->pixels[i] = static_cast<uint8_t>(rng());
    ASSERT_EQ(image_scale_rect(dst.dc.get(), 0, 0, 12, 12, src.dc.get(), 0, 0, 0, 0, 2.0, 2.0, 3), 0);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) EXPECT_GE(decode_pixel(dst.img.get(), x, y), 32u);
    // 15-bit: a flat colour keeps its 5-bit levels.
    Images s15(12, 12, 15);
    std::memset(src.img->pixels, 0xFF, 108);
    ASSERT_EQ(image_scale_rect(s15.dc.get(), 0, 0, 12, 12, src.dc.get(), 0, 0, 0, 0, 2.0, 2.0, 3), 0);
    EXPECT_EQ(decode_pixel(s15.img.get(), 5, 7), 0x7FFFu);
}

TEST(Scale, RowScalerKeepsTheSourceByteOrder) {
    const uint8_t picture[2 * 2 * 3] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    uint32_t row[5];
    ASSERT_EQ(image_scale_row(row, 0, 0, 5, 24, picture, 2, 2, 0, 0, 2.0, 2.0), 0);
    EXPECT_EQ(row[0], 0x1E140Au);
    EXPECT_EQ(row[1], 0x1E140Au);
    EXPECT_EQ(row[2], 0x3C3228u);
    EXPECT_EQ(row[4], 0u);  // beyond the scaled picture
    EXPECT_EQ(image_scale_row(row, 0, 0, 5, 24, picture, 2, 2, 50, 0, 2.0, 2.0), -1);
}

}  // namespace

namespace {

TEST(Dither, RowsNearTheEndOfTheCoordinateRange) {
    // Thresholds repeat every 8 pixels: a row starting at INT_MAX - 1 dithers
    // as one starting at 6, without overflowing its positions.
    uint32_t far[16], near[16];
    uint8_t far24[16], near24[16], rgb[48];
    for (int i = 0; i < 16; ++i) far[i] = near[i] = 0x406080u + uint32_t(i);
    std::memset(rgb, 0x50, sizeof rgb);
    dither_row_rgb32(far, std::numeric_limits<int>::max() - 1, 3, 16, 8);
    dither_row_rgb32(near, 6, 3, 16, 8);
    EXPECT_EQ(0, std::memcmp(far, near, sizeof far));
    dither_row_rgb24(far24, rgb, std::numeric_limits<int>::max() - 1, 3, 16, 8);
    dither_row_rgb24(near24, rgb, 6, 3, 16, 8);
    EXPECT_EQ(0, std::memcmp(far24, near24, sizeof far24));
    uint32_t row[4] = {};
    const uint8_t picture[3] = {0x50, 0x50, 0x50};
    EXPECT_EQ(image_scale_row(row, std::numeric_limits<int>::max(), 0, 4, 8, picture, 1, 1, 0, 0, 4.0, 4.0), 0);
}

}  // namespace
