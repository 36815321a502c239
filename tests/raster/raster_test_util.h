// Slow per-pixel reference of the raster library for the tests: a plain array
// of pixel values with the truth-table operations, an independent decoder of
// image buffers at every depth, and the reference line, blit and fill rules.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "graphics/raster/raster.h"

struct ImageDeleter {
    void operator()(RasterImage* i) const { image_free(i); }
};
struct DCDeleter {
    void operator()(ImageDC* d) const { image_dc_free(d); }
};
struct PaletteDeleter {
    void operator()(RasterPalette* p) const { palette_free(p); }
};
using ImagePtr = std::unique_ptr<RasterImage, ImageDeleter>;
using DCPtr = std::unique_ptr<ImageDC, DCDeleter>;
using PalettePtr = std::unique_ptr<RasterPalette, PaletteDeleter>;

struct Format {
    int bits, planes;
};
inline void PrintTo(const Format& f, std::ostream* os) {
    *os << f.bits << "-bit x" << f.planes;
}
inline const std::vector<Format>& all_formats() {
    static const std::vector<Format> f = {{1, 1}, {1, 4}, {2, 1}, {4, 1}, {8, 1}, {15, 1}, {16, 1}, {24, 1}};
    return f;
}
inline int value_bits(const Format& f) {
    return f.bits == 1 ? f.planes : f.bits;
}
// 15-bit pixels are combined as 16-bit words, so operations that set bits
// where both operands are 0 may set the unused bit 15; only the 15 bits of
// the value are compared.
inline uint32_t value_mask(const Format& f) {
    return (value_bits(f) >= 32) ? 0xFFFFFFFFu : (1u << value_bits(f)) - 1;
}

// Truth table read bit by bit over nbits bits.
inline uint32_t truth(int op, uint32_t s, uint32_t d, int nbits) {
    uint32_t r = 0;
    for (int b = 0; b < nbits; ++b) {
        const int sb = (s >> b) & 1, db = (d >> b) & 1;
        r |= uint32_t((op >> ((sb ? 0 : 2) + (db ? 0 : 1))) & 1) << b;
    }
    return r;
}

// Pixel value at (x, y) decoded straight from the buffer.
inline uint32_t decode_pixel(const RasterImage* img, int x, int y) {
    const uint8_t* px = img->pixels;
    const int64_t stride = img->stride;
    if (img->bits == 1) {
        uint32_t v = 0;
        for (int p = 0; p < img->planes; ++p)
            v |= uint32_t((px[(int64_t(p) * img->height + y) * stride + (x >> 3)] >> (7 - (x & 7))) & 1) << p;
        return v;
    }
    if (img->bits < 8) {
        const int per = 8 / img->bits;
        const uint8_t b = px[y * stride + x / per];
        return (b >> (8 - img->bits * (x % per + 1))) & ((1u << img->bits) - 1);
    }
    const int bpp = (img->bits + 7) / 8;
    const uint8_t* p = px + y * stride + int64_t(x) * bpp;
    uint32_t v = 0;
    for (int i = 0; i < bpp; ++i) v |= uint32_t(p[i]) << (8 * i);
    return v;
}

struct Ref {
    Format fmt;
    int w, h;
    std::vector<uint32_t> px;

    Ref(Format f, int width, int height) : fmt(f), w(width), h(height), px(size_t(width) * height, 0) {}
    static Ref of(const RasterImage* img) {
        Ref r({img->bits, img->planes}, img->width, img->height);
        for (int y = 0; y < img->height; ++y)
            for (int x = 0; x < img->width; ++x) r.px[size_t(y) * r.w + x] = decode_pixel(img, x, y);
        return r;
    }
    bool inside(int64_t x, int64_t y) const { return x >= 0 && y >= 0 && x < w && y < h; }
    uint32_t& at(int64_t x, int64_t y) { return px[size_t(y) * w + x]; }
    void apply(int64_t x, int64_t y, uint32_t colour, int op) {
        if (!inside(x, y)) return;
        at(x, y) = truth(op, colour & value_mask(fmt), at(x, y), value_bits(fmt));
    }
};

// Every pixel of the image against the reference; reports the first mismatch.
inline ::testing::AssertionResult same_pixels(const RasterImage* img, const Ref& ref) {
    for (int y = 0; y < ref.h; ++y)
        for (int x = 0; x < ref.w; ++x) {
            const uint32_t got = decode_pixel(img, x, y) & value_mask(ref.fmt), want = ref.px[size_t(y) * ref.w + x];
            if (got != want)
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") is " << got << ", reference " << want;
        }
    return ::testing::AssertionSuccess();
}

// Pixels of the one-pixel line from (x0, y0) to (x1, y1), in order from the
// given start: the fixed-point line walked from its left end, pixel j at the
// major coordinate + j and the minor + (0x8000 + j * slope) >> 16.
struct LinePixel {
    int64_t x, y;
};
inline std::vector<LinePixel> reference_line(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    const int64_t major = std::max(std::llabs(x1 - x0), std::llabs(y1 - y0));
    const bool reversed = x1 < x0;
    const int64_t xl = reversed ? x1 : x0, yl = reversed ? y1 : y0, xr = reversed ? x0 : x1,
                  yr = reversed ? y0 : y1;
    const int64_t dx = xr - xl, dy = std::llabs(yr - yl), s = yr < yl ? -1 : 1;
    const int64_t minor = std::min(dx, dy), slope = major ? (minor << 16) / major : 0;
    std::vector<LinePixel> out;
    for (int64_t i = 0; i <= major; ++i) {
        const int64_t j = reversed ? major - i : i;
        const int64_t c = (0x8000 + j * slope) >> 16;
        if (dy < dx) out.push_back({xl + j, yl + s * c});
        else if (dy > dx) out.push_back({xl + c, yl + s * j});
        else out.push_back({xl + j, yl + s * j});
    }
    return out;
}

inline uint32_t rotr(uint32_t v, int64_t n) {
    n &= 31;
    return n ? (v >> n | v << (32 - n)) : v;
}
