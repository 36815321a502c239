// Raster operation tables, span conversions and fills, planar runs, line
// stepping, mask expansion and the scaler arithmetic, checked against the
// truth-table definition and against guard bytes around every span.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "graphics/raster/rasterops.h"
#include "raster_test_util.h"

namespace {

// Truth table read bit by bit: bit 0 for S = 1, D = 1, bit 1 for S = 1, D = 0,
// bit 2 for S = 0, D = 1, bit 3 for S = 0, D = 0.
uint32_t truth(int op, uint32_t s, uint32_t d, int bits) {
    uint32_t r = 0;
    for (int b = 0; b < bits; ++b) {
        const int sb = (s >> b) & 1, db = (d >> b) & 1;
        const int index = (sb ? 0 : 2) + (db ? 0 : 1);
        r |= uint32_t((op >> index) & 1) << b;
    }
    return r;
}

constexpr uint8_t kGuard = 0xA5;

TEST(RasterOps, ByteAndPixel8TablesFollowTheTruthTableOnAllBytePairs) {
    for (int op = 0; op < 16; ++op)
        for (int s = 0; s < 256; ++s)
            for (int d = 0; d < 256; ++d) {
                const uint8_t want = static_cast<uint8_t>(truth(op, s, d, 8));
                uint8_t dst = static_cast<uint8_t>(d);
                ASSERT_EQ(rop_byte_table[op](static_cast<uint8_t>(s), &dst), want) << op;
                ASSERT_EQ(dst, d) << "byte combine stores nothing";
                uint8_t buf[2] = {static_cast<uint8_t>(d), kGuard};
                ASSERT_EQ(rop_pixel8_table[op](static_cast<uint32_t>(s), buf), buf + 1);
                ASSERT_EQ(buf[0], want) << op << ' ' << s << ' ' << d;
                ASSERT_EQ(buf[1], kGuard);
            }
}

TEST(RasterOps, WidePixelTablesCombineEveryByteAndStopAtThePixel) {
    // Every byte pair at every byte position of 16- and 24-bit pixels.
    for (int op = 0; op < 16; ++op)
        for (int s = 0; s < 256; ++s)
            for (int d = 0; d < 256; d += 3) {
                for (int pos = 0; pos < 3; ++pos) {
                    const uint32_t sv = uint32_t(s) << (8 * pos) | 0x5A5A5Au;
                    const uint32_t dv = uint32_t(d) << (8 * pos) | 0x0F0F0Fu;
                    uint8_t buf[4];
                    if (pos < 2) {
                        std::memcpy(buf, &dv, 2);
                        buf[2] = kGuard;
                        ASSERT_EQ(rop_pixel16_table[op](sv, buf), buf + 2);
                        uint16_t got;
                        std::memcpy(&got, buf, 2);
                        ASSERT_EQ(got, truth(op, sv, dv, 16)) << op;
                        ASSERT_EQ(buf[2], kGuard);
                    }
                    std::memcpy(buf, &dv, 3);
                    buf[3] = kGuard;
                    ASSERT_EQ(rop_pixel24_table[op](sv, buf), buf + 3);
                    const uint32_t got = buf[0] | buf[1] << 8 | buf[2] << 16;
                    ASSERT_EQ(got, truth(op, sv, dv, 24)) << op;
                    ASSERT_EQ(buf[3], kGuard);
                }
            }
}

TEST(RasterOps, WordSpanCombinesEveryWordAndAdvancesBothPointers) {
    std::mt19937 rng(7);
    for (int op = 0; op < 16; ++op) {
        std::vector<uint8_t> src(2 * 257), dst(2 * 257 + 2, kGuard), before;
        for (auto& b : src) b = static_cast<uint8_t>(rng());
        for (size_t i = 0; i < src.size(); ++i) dst[i] = static_cast<uint8_t>(rng());
        before = dst;
        const uint8_t* s = src.data();
        uint8_t* d = dst.data();
        rop_word_span_table[op](&s, &d, 257);
        EXPECT_EQ(s, src.data() + 514);
        EXPECT_EQ(d, dst.data() + 514);
        for (size_t i = 0; i < src.size(); ++i) ASSERT_EQ(dst[i], truth(op, src[i], before[i], 8)) << op;
        EXPECT_EQ(dst[514], kGuard);
        EXPECT_EQ(dst[515], kGuard);
    }
}

TEST(RasterOps, Rgb24SpansWriteAndReadExactlyTheirPixels) {
    for (size_t count : {size_t{1}, size_t{2}, size_t{5}, size_t{64}}) {
        std::vector<uint32_t> words(count);
        for (size_t i = 0; i < count; ++i) words[i] = 0xEE000000u | uint32_t(i * 0x010203u + 0x112233u);
        std::vector<uint8_t> out(3 * count + 4, kGuard);
        span_words_to_rgb24(out.data(), words.data(), count);
        for (size_t i = 0; i < count; ++i) {
            EXPECT_EQ(out[3 * i], words[i] & 0xFF);
            EXPECT_EQ(out[3 * i + 2], (words[i] >> 16) & 0xFF);
        }
        for (size_t i = 3 * count; i < out.size(); ++i) EXPECT_EQ(out[i], kGuard) << count;
        // Reading back from a buffer of exactly 3 * count bytes.
        std::vector<uint8_t> exact(out.begin(), out.begin() + 3 * count);
        std::vector<uint32_t> back(count);
        span_rgb24_to_words(back.data(), exact.data(), count);
        for (size_t i = 0; i < count; ++i) EXPECT_EQ(back[i], words[i] & 0xFFFFFF);
    }
}

TEST(RasterOps, KeyedRgb24SkipsTransparentWords) {
    const uint32_t words[3] = {0x010203, 0x10AABBCC, 0x040506};
    uint8_t out[9];
    std::memset(out, 0x77, sizeof out);
    span_words_to_rgb24_keyed(out, words, 3);
    const uint8_t want[9] = {3, 2, 1, 0x77, 0x77, 0x77, 6, 5, 4};
    EXPECT_EQ(0, std::memcmp(out, want, 9));
}

TEST(RasterOps, FillsStopAtTheLastPixel) {
    // Counts about the 16-pixel blocks of the 24-bit fill, started on odd addresses too.
    for (size_t count : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{15}, size_t{16},
                         size_t{17}, size_t{33}, size_t{63}, size_t{64}, size_t{65}, size_t{200},
                         size_t{4097}}) {
      for (size_t start : {size_t{0}, size_t{1}}) {
        std::vector<uint8_t> b16(2 * count + 3, kGuard), b24s(3 * count + 3 + start, kGuard);
        span_fill16(b16.data(), 0xBEEF, count);
        span_fill24(b24s.data() + start, 0xFF123456, count);
        EXPECT_TRUE(start == 0 || b24s[0] == kGuard);
        const std::vector<uint8_t> b24(b24s.begin() + static_cast<ptrdiff_t>(start), b24s.end());
        for (size_t i = 0; i < count; ++i) {
            ASSERT_EQ(b16[2 * i], 0xEF);
            ASSERT_EQ(b16[2 * i + 1], 0xBE);
            ASSERT_EQ(b24[3 * i], 0x56);
            ASSERT_EQ(b24[3 * i + 1], 0x34);
            ASSERT_EQ(b24[3 * i + 2], 0x12);
        }
        for (size_t i = 2 * count; i < b16.size(); ++i) EXPECT_EQ(b16[i], kGuard) << count;
        for (size_t i = 3 * count; i < b24.size(); ++i) EXPECT_EQ(b24[i], kGuard) << count;
      }
    }
}

// The streamed 24-bit fill against the plain one: every alignment of the start to
// the 16-byte words, counts about its 48-byte blocks; nothing written past the end.
TEST(RasterOps, StreamedFillMatchesThePlainFillAtEveryAlignment) {
    for (size_t count : {size_t{0}, size_t{1}, size_t{4}, size_t{5}, size_t{16}, size_t{21},
                         size_t{22}, size_t{100}, size_t{4097}}) {
        for (size_t start = 0; start < 16; ++start) {
            std::vector<uint8_t> plain(3 * count + 40, kGuard), streamed(plain);
            span_fill24(plain.data() + start, 0xAB9C8D7E, count);
            span_fill24_stream(streamed.data() + start, 0xAB9C8D7E, count);
            span_stream_fence();
            ASSERT_EQ(plain, streamed) << "count " << count << " start " << start;
        }
    }
}

// A fill larger than kStreamFillBytes through the blit (streamed), inside a margin
// that must stay untouched.
TEST(RasterOps, LargeSolidFillThroughTheBlit) {
    const int w = 2600, h = 2400;  // 18.7 MB of 24-bit pixels
    ASSERT_GE(uint64_t{w - 2} * 3 * (h - 2), kStreamFillBytes);
    ImagePtr img(image_create_ex(w, h, 1, 24, nullptr));
    ASSERT_TRUE(img);
    DCPtr dc(image_dc_create(img.get()));
    RasterFill fill{0, 0x123456, 0, 0, 0, 0, 0, nullptr};
    image_dc_blit(dc.get(), 0, 0, w, h, &fill, 0, 0, 0x40000003u);
    fill.colour = 0x654321;
    image_dc_blit(dc.get(), 1, 1, w - 2, h - 2, &fill, 0, 0, 0x40000003u);
    for (int y = 0; y < h; y += 7) {
        for (int x : {0, 1, 2, 5, w / 2 + 1, w - 2, w - 1}) {
            const bool inner = x > 0 && y > 0 && x < w - 1 && y < h - 1;
            ASSERT_EQ(decode_pixel(img.get(), x, y), inner ? 0x654321u : 0x123456u)
                << x << "," << y;
        }
    }
}

TEST(RasterOps, TranslateAndChannelSpans) {
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(255 - i);
    uint8_t bytes[4] = {0, 1, 128, 255};
    span_translate_bytes(bytes, table, 4);
    EXPECT_EQ(bytes[0], 255);
    EXPECT_EQ(bytes[3], 0);
    const uint32_t channels[6] = {0x101, 0x202, 0x303, 4, 5, 6};
    uint32_t px[2] = {0xAB000000u, 0xCD000000u};
    span_channels_to_rgb24(px, channels, 2);
    EXPECT_EQ(px[0], 0xAB030201u);
    EXPECT_EQ(px[1], 0xCD060504u);
    const uint32_t lut[3] = {0x111, 0x222, 0x333};
    const uint8_t idx[3] = {2, 0, 1};
    uint32_t w[3];
    span_bytes_to_words_lut(w, idx, lut, 3);
    EXPECT_EQ(w[0], 0x333u);
    EXPECT_EQ(w[2], 0x222u);
}

TEST(RasterOps, LineSteppingFollowsTheFixedPointSlopeAndPattern) {
    // 8 x 8 pixels of one byte, stride 8.
    uint8_t img[64] = {};
    line_pixels8(img, 8, 0x8000, 0x8000, 1, 8, 9, 3, 0xFFFFFFFFu);
    // Slope 1/2 from half a pixel: one row every second pixel.
    const int rows[8] = {0, 1, 1, 2, 2, 3, 3, 4};
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 8; ++y) EXPECT_EQ(img[y * 8 + x], y == rows[x] ? 9 : 0) << x << ',' << y;
    uint8_t row[16] = {};
    const uint32_t after = line_pixels8(row, 8, 0, 0, 1, 16, 1, 6, 0x55555555u);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(row[x], x % 2 == 0 ? 1 : 0);
    EXPECT_EQ(after, 0x55555555u);  // rotated by 8
    // Going up with a negative stride, y-major, diagonal.
    uint8_t up[64] = {};
    line_pixels8(up + 56, 8, 0, 0, 0, -8, 1, 3, 0xFFFFFFFFu);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(up[(7 - i) * 8 + i], 1);
}

TEST(RasterOps, MaskExpansionHonoursBitOffsetStrideAndInvert) {
    const uint8_t mask[2] = {0b10110000, 0b01000000};
    uint8_t dst[2][4];
    std::memset(dst, 0, sizeof dst);
    // Row 0 from bit 1 (0 1 1 0), row 1 from bit 9 (1 0 0 0).
    mask_expand8(&dst[0][0], mask, 1, 4, 2, 8, 4, 7, 3, 0);
    const uint8_t want[2][4] = {{0, 7, 7, 0}, {7, 0, 0, 0}};
    EXPECT_EQ(0, std::memcmp(dst, want, sizeof dst));
    uint8_t px24[12] = {};
    mask_expand24(px24, mask, 0, 4, 1, 0, 12, 0x010203, 3, 1);  // 1 0 1 1 inverted: pixel 1 only
    EXPECT_EQ(px24[3], 3);
    EXPECT_EQ(px24[6], 0);
    EXPECT_EQ(px24[0], 0);
    EXPECT_EQ(px24[9], 0);
}

// Bit-level model of planar_run_op: destination bit b (msb-first from dst[0])
// takes source bit b - shift.
void planar_reference(std::vector<uint8_t>& dst, const std::vector<uint8_t>& src, uint8_t left, size_t middle,
                      uint8_t right, int shift, int op) {
    const std::vector<uint8_t> before = dst;
    auto sbit = [&](long b) -> int {
        if (b < 0 || b >= long(src.size() * 8)) return 0;
        return (src[b >> 3] >> (7 - (b & 7))) & 1;
    };
    for (size_t k = 0; k < middle + 2; ++k) {
        uint8_t mask = k == 0 ? left : k == middle + 1 ? right : 0xFF;
        for (int j = 0; j < 8; ++j) {
            if (!(mask & (0x80 >> j))) continue;
            const int s = sbit(long(8 * k + j) - shift), d = (before[k] >> (7 - j)) & 1;
            const int r = truth(op, s, d, 1);
            dst[k] = static_cast<uint8_t>((dst[k] & ~(0x80 >> j)) | (r << (7 - j)));
        }
    }
}

TEST(RasterOps, PlanarRunMatchesTheBitModelForEveryShiftAndOperation) {
    std::mt19937 rng(11);
    for (int op = 0; op < 16; ++op)
        for (int shift = -7; shift <= 7; ++shift)
            for (size_t middle : {size_t{0}, size_t{1}, size_t{5}}) {
                const uint8_t left = static_cast<uint8_t>(0xFF >> (rng() % 8));
                const uint8_t right = static_cast<uint8_t>(0xFF << (rng() % 8));
                std::vector<uint8_t> src(middle + 3), dst(middle + 2);
                for (auto& b : src) b = static_cast<uint8_t>(rng());
                for (auto& b : dst) b = static_cast<uint8_t>(rng());
                std::vector<uint8_t> want = dst;
                planar_reference(want, src, left, middle, right, shift, op);
                for (bool back : {false, true}) {
                    std::vector<uint8_t> got = dst;
                    planar_run_op(got.data(), src.data(), left, middle, right, shift, src.size(), op, back);
                    ASSERT_EQ(got, want) << "op " << op << " shift " << shift << " middle " << middle;
                }
            }
}

TEST(RasterOps, PlanarRunInsideOneByteMergesOnlyTheMaskedBits) {
    uint8_t dst = 0b10100101;
    const uint8_t src = 0b11111111;
    planar_run_op(&dst, &src, 0b00111000, 0, 0, 0, 1, 3, false);
    EXPECT_EQ(dst, 0b10111101);
}

TEST(RasterOps, PlanarRunDoesNotReadBeyondTheSourceBytes) {
    // The source lives at the very end of an exactly sized heap block; the
    // sanitizer build catches a read past it.
    std::vector<uint8_t> src = {0xF0, 0x0F};
    std::vector<uint8_t> dst(4, 0);
    planar_run_op(dst.data(), src.data(), 0x0F, 2, 0xF0, 4, src.size(), 3, false);
    EXPECT_EQ(dst[0], 0x0F);
    EXPECT_EQ(dst[1], 0x00);
    EXPECT_EQ(dst[2], 0xF0);
}

TEST(RasterOps, ScalerArithmetic) {
    EXPECT_EQ(fix28_recip(1, 16384), 16384);
    EXPECT_EQ(fix28_recip(-3, 8192), -3 * 32768);
    uint32_t row[3] = {255u << 14, 300u << 14, (10u << 14) + 8191};
    row_normalise(row, 16384, 3);
    EXPECT_EQ(row[0], 255u);
    EXPECT_EQ(row[1], 255u);  // clamped
    EXPECT_EQ(row[2], 10u);
    uint32_t acc[2] = {1, 2};
    const uint32_t src[2] = {3, 4};
    row_accumulate_weighted(acc, src, 10, 2);
    row_accumulate_full(acc, src, 2);
    EXPECT_EQ(acc[0], 1u + 30 + (3u << 14));
    EXPECT_EQ(acc[1], 2u + 40 + (4u << 14));
    // Two pixels at full weight, k = 0.5: their mean, channels in byte order 2, 1, 0.
    const uint32_t px[3] = {0x000A1420, 0x000C1622, 0x00FFFFFF};
    uint32_t out[3];
    pixel_area_average(out, px, 16384, 0, 8192, 0, 2);
    EXPECT_EQ(out[0], 0x0Bu);
    EXPECT_EQ(out[1], 0x15u);
    EXPECT_EQ(out[2], 0x21u);
}

}  // namespace
