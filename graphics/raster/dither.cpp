// Ordered dithering: the Bayer matrix, the channel quantisation tables (fixed
// data computed at compile time from their rule), the 27-colour cube table and
// the row ditherers for 4, 8, 15 and 16 bits.
#include "graphics/raster/dither.h"

#include <array>
#include <cstring>

const uint8_t kDitherMatrix[64] = {
    0,  32, 8,  40, 2,  34, 10, 42,  //
    48, 16, 56, 24, 50, 18, 58, 26,  //
    12, 44, 4,  36, 14, 46, 6,  38,  //
    60, 28, 52, 20, 62, 30, 54, 22,  //
    3,  35, 11, 43, 1,  33, 9,  41,  //
    51, 19, 59, 27, 49, 17, 57, 25,  //
    15, 47, 7,  39, 13, 45, 5,  37,  //
    63, 31, 55, 23, 61, 29, 53, 21};

namespace {

struct Quant {
    std::array<uint8_t, 256> base{}, remainder{};
};

// base(v) = max(0, ceil(v (L - 1) / 255) - 1); the values of one base form a
// run s..e, and remainder(v) = 64 (v - s) / (e - s) rounded half up.
constexpr Quant make_quant(int levels) {
    Quant q;
    for (int v = 0; v < 256; ++v) {
        const int num = v * (levels - 1);
        const int ceil = (num + 254) / 255;
        q.base[v] = static_cast<uint8_t>(ceil > 0 ? ceil - 1 : 0);
    }
    int s = 0;
    while (s < 256) {
        int e = s;
        while (e + 1 < 256 && q.base[e + 1] == q.base[s]) ++e;
        for (int v = s; v <= e; ++v)
            q.remainder[v] = static_cast<uint8_t>(e == s ? 64 : (128 * (v - s) + (e - s)) / (2 * (e - s)));
        s = e + 1;
    }
    return q;
}

constexpr Quant kQuant32 = make_quant(32);
constexpr Quant kQuant8 = make_quant(8);
constexpr Quant kQuant7 = make_quant(7);
constexpr Quant kQuant4 = make_quant(4);
constexpr Quant kQuant3 = make_quant(3);

const Quant* quant_for(int levels) {
    switch (levels) {
    case 32: return &kQuant32;
    case 8: return &kQuant8;
    case 7: return &kQuant7;
    case 4: return &kQuant4;
    case 3: return &kQuant3;
    default: return nullptr;
    }
}

inline int level(const Quant& q, uint32_t v, int t) {
    v &= 0xFF;
    return q.base[v] + (q.remainder[v] > t ? 1 : 0);
}

uint32_t g_cube27[27] = {};

inline int threshold(int x, int y) {
    return kDitherMatrix[(y & 7) * 8 + (x & 7)];
}
// Threshold of the i-th pixel of a row starting at x; only the low bits of
// the position matter, so it is formed without overflowing near INT_MAX.
inline int threshold_at(int x, int i, int y) {
    return threshold(static_cast<int>((static_cast<unsigned>(x) + static_cast<unsigned>(i)) & 7u), y);
}

inline uint32_t to4(uint32_t p, int t) {
    return g_cube27[(level(kQuant3, p, t) * 3 + level(kQuant3, p >> 8, t)) * 3 + level(kQuant3, p >> 16, t)];
}
inline uint32_t to8(uint32_t p, int t) {
    return 32 + 32 * level(kQuant7, p >> 16, t) + 8 * level(kQuant4, p, t) + level(kQuant8, p >> 8, t);
}
inline uint32_t to15(uint32_t p, int t) {
    return uint32_t(level(kQuant32, p >> 16, t)) << 10 | uint32_t(level(kQuant32, p >> 8, t)) << 5 |
           uint32_t(level(kQuant32, p, t));
}

}  // namespace

uint8_t dither_base(int levels, uint8_t v) {
    const Quant* q = quant_for(levels);
    return q ? q->base[v] : 0;
}

uint8_t dither_remainder(int levels, uint8_t v) {
    const Quant* q = quant_for(levels);
    return q ? q->remainder[v] : 0;
}

int dither_level(int levels, uint8_t v, int t) {
    const Quant* q = quant_for(levels);
    return q ? level(*q, v, t) : 0;
}

void palette_build_cube27(const uint32_t* colours) {
    if (!colours) return;
    static constexpr uint32_t kLevels[3] = {0x00, 0x7F, 0xFF};
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b)
            for (int c = 0; c < 3; ++c) {
                const uint32_t colour = kLevels[a] << 16 | kLevels[b] << 8 | kLevels[c];
                g_cube27[(a * 3 + b) * 3 + c] = static_cast<uint32_t>(palette_nearest_index(colours, 16, colour));
            }
}

uint32_t cube27_entry(int index) {
    return index >= 0 && index < 27 ? g_cube27[index] : 0;
}

void dither_row_rgb32(uint32_t* row, int x, int y, int count, int depth) {
    if (!row || count <= 0) return;
    for (int i = 0; i < count; ++i) {
        const int t = threshold_at(x, i, y);
        const uint32_t p = row[i];
        switch (depth) {
        case 4: row[i] = to4(p, t); break;
        case 8: row[i] = to8(p, t); break;
        case 15:
        case 16:
            row[i] = uint32_t(level(kQuant32, p, t)) << 3 | uint32_t(level(kQuant32, p >> 8, t)) << 11 |
                     uint32_t(level(kQuant32, p >> 16, t)) << 19;
            break;
        default: return;
        }
    }
}

void dither_row_rgb24(void* dst, const uint8_t* src, int x, int y, int count, int depth) {
    if (!dst || !src || count <= 0) return;
    uint8_t* out = static_cast<uint8_t*>(dst);
    if (depth == 24) {
        if (out != src) std::memmove(out, src, static_cast<size_t>(count) * 3);
        return;
    }
    if (depth != 4 && depth != 8 && depth != 15 && depth != 16) return;
    // Output pixels are never wider than input pixels, so walking forwards is
    // safe in place.
    for (int i = 0; i < count; ++i) {
        const uint32_t p = uint32_t{src[3 * i]} | uint32_t{src[3 * i + 1]} << 8 | uint32_t{src[3 * i + 2]} << 16;
        const int t = threshold_at(x, i, y);
        if (depth == 4) {
            out[i] = static_cast<uint8_t>(to4(p, t));
        } else if (depth == 8) {
            out[i] = static_cast<uint8_t>(to8(p, t));
        } else {
            const uint16_t v = static_cast<uint16_t>(to15(p, t));
            std::memcpy(out + 2 * i, &v, 2);
        }
    }
}

uint32_t dither_pixel(uint32_t p, int x, int y, int kind) {
    const int t = threshold(x, y);
    switch (kind) {
    case 0: return to4(p, t);
    case 1: return to8(p, t);
    case 2: return to15(p, t);
    default:
        return uint32_t(level(kQuant32, p >> 16, t)) << 11 | uint32_t(level(kQuant32, p >> 8, t)) << 6 |
               uint32_t(level(kQuant32, p, t));
    }
}
