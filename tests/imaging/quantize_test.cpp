// Exact palettes: first-seen order, one index a pixel, and the switch to median cut
// just past the colour limit.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/quantize/quantize.h"

namespace {

std::vector<uint8_t> pixels_of(const std::vector<uint32_t>& colours) {
    std::vector<uint8_t> p;
    for (uint32_t c : colours) {
        p.push_back(uint8_t(c >> 16));
        p.push_back(uint8_t(c >> 8));
        p.push_back(uint8_t(c));
    }
    return p;
}

uint32_t palette_colour(const Quantized& q, int i) {
    return (uint32_t{q.palette[i * 3]} << 16) | (uint32_t{q.palette[i * 3 + 1]} << 8) |
           q.palette[i * 3 + 2];
}

}  // namespace

TEST(Quantize, ExactPaletteTable) {
    struct Case {
        std::vector<uint32_t> colours;
        int max_colours;
        std::vector<uint32_t> palette;  // expected, in first-seen order
    };
    std::vector<uint32_t> many;  // 256 colours whose hashes collide in clusters
    for (uint32_t i = 0; i < 256; ++i) many.push_back(i * 1024);
    const Case cases[] = {
        {{}, 256, {0x000000}},
        {{0xFFFFFF, 0xFFFFFF, 0x000000, 0xFFFFFF}, 256, {0xFFFFFF, 0x000000}},
        {{0x102030, 0x102030, 0x405060, 0x102030, 0x405060, 0x708090}, 3,
         {0x102030, 0x405060, 0x708090}},
        {many, 256, many},
    };
    for (const Case& c : cases) {
        const auto px = pixels_of(c.colours);
        std::vector<uint8_t> idx(c.colours.size(), 0xEE);
        Quantized q;
        ASSERT_EQ(quantize_rgb(px.data(), c.colours.size(), c.max_colours, &q, idx.data()), 0);
        ASSERT_EQ(q.count, int(c.palette.size()));
        for (int i = 0; i < q.count; ++i) EXPECT_EQ(palette_colour(q, i), c.palette[i]);
        for (size_t i = 0; i < c.colours.size(); ++i)
            EXPECT_EQ(palette_colour(q, idx[i]), c.colours[i]) << i;
    }
}

TEST(Quantize, PastTheLimitReduces) {
    std::vector<uint32_t> colours;
    for (uint32_t i = 0; i < 257; ++i) colours.push_back(i * 0x010101u % 0x1000000u + (i & 1));
    const auto px = pixels_of(colours);
    std::vector<uint8_t> idx(colours.size());
    Quantized q;
    ASSERT_EQ(quantize_rgb(px.data(), colours.size(), 256, &q, idx.data()), 0);
    EXPECT_LE(q.count, 256);
    // Three colours with a limit of two: reduced, every index within the palette.
    const auto three = pixels_of({0x000000, 0x808080, 0xFFFFFF});
    uint8_t i3[3];
    ASSERT_EQ(quantize_rgb(three.data(), 3, 2, &q, i3), 0);
    EXPECT_LE(q.count, 2);
    for (uint8_t i : i3) EXPECT_LT(i, q.count);
}
