// Raster operations: operation tables, span conversions and fills, planar bit
// runs, line stepping, mask expansion and the scaler's fixed-point arithmetic.
// Written as plain loops over bytes and words that the compiler vectorises;
// unaligned words are moved with memcpy, so nothing depends on alignment.
#include "graphics/raster/rasterops.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

template <int Op, class T>
constexpr T rop_t(T s, T d) {
    if constexpr (Op == 0) return T(0);
    else if constexpr (Op == 3) return s;
    else if constexpr (Op == 5) return d;
    else if constexpr (Op == 15) return T(~T(0));
    else return static_cast<T>(rop_apply(Op, s, d));
}

uint16_t load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
void store16(uint8_t* p, uint16_t v) {
    std::memcpy(p, &v, 2);
}
uint32_t load24(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
}
void store24(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
}

template <int Op>
uint8_t byte_combine(uint8_t s, const uint8_t* d) {
    return rop_t<Op, uint8_t>(s, *d);
}

template <int Op>
void byte_span(uint8_t* dst, const uint8_t* src, size_t count) {
    if constexpr (Op == 5) {
        return;
    } else if constexpr (Op == 3) {
        std::memmove(dst, src, count);
    } else if constexpr (Op == 0 || Op == 15) {
        std::memset(dst, Op == 0 ? 0 : 0xFF, count);
    } else {
        // Forward walk: safe when dst == src or dst lies before src.
        for (size_t i = 0; i < count; ++i) dst[i] = rop_t<Op, uint8_t>(src[i], dst[i]);
    }
}

template <int Op>
void word_span(const uint8_t** src, uint8_t** dst, size_t count) {
    byte_span<Op>(*dst, *src, count * 2);  // bitwise: bytes equal words
    *src += count * 2;
    *dst += count * 2;
}

template <int Op>
uint8_t* pixel8(uint32_t colour, uint8_t* d) {
    *d = rop_t<Op, uint8_t>(static_cast<uint8_t>(colour), *d);
    return d + 1;
}
template <int Op>
uint8_t* pixel16(uint32_t colour, uint8_t* d) {
    store16(d, rop_t<Op, uint16_t>(static_cast<uint16_t>(colour), load16(d)));
    return d + 2;
}
template <int Op>
uint8_t* pixel24(uint32_t colour, uint8_t* d) {
    store24(d, rop_t<Op, uint32_t>(colour, load24(d)));
    return d + 3;
}

// Pixel at p of bpp bytes, combined with colour by op.
inline void combine_pixel(uint8_t* p, int bpp, uint32_t colour, int op) {
    if (bpp == 1) {
        *p = static_cast<uint8_t>(rop_apply(op, colour, *p));
    } else if (bpp == 2) {
        store16(p, static_cast<uint16_t>(rop_apply(op, colour, load16(p))));
    } else {
        store24(p, rop_apply(op, colour, load24(p)));
    }
}

}  // namespace

// The 16 instances of a routine template, in operation order.
#define ZELO_ROP16(f) \
    f<0>, f<1>, f<2>, f<3>, f<4>, f<5>, f<6>, f<7>, f<8>, f<9>, f<10>, f<11>, f<12>, f<13>, f<14>, f<15>

const RopByteFn rop_byte_table[16] = {ZELO_ROP16(byte_combine)};
const RopWordSpanFn rop_word_span_table[16] = {ZELO_ROP16(word_span)};
const RopPixelFn rop_pixel8_table[16] = {ZELO_ROP16(pixel8)};
const RopPixelFn rop_pixel16_table[16] = {ZELO_ROP16(pixel16)};
const RopPixelFn rop_pixel24_table[16] = {ZELO_ROP16(pixel24)};

namespace {
using ByteSpanFn = void (*)(uint8_t*, const uint8_t*, size_t);
constexpr ByteSpanFn kByteSpan[16] = {ZELO_ROP16(byte_span)};
}  // namespace

#undef ZELO_ROP16

void rop_span_bytes(uint8_t* dst, const uint8_t* src, size_t count, int op) {
    kByteSpan[op & 15](dst, src, count);
}

void span_bytes_to_words(uint32_t* dst, const uint8_t* src, size_t count) {
    for (size_t i = 0; i < count; ++i) dst[i] = src[i];
}

void span_bytes_to_words_lut(uint32_t* dst, const uint8_t* src, const uint32_t* table, size_t count) {
    for (size_t i = 0; i < count; ++i) dst[i] = table[src[i]];
}

void span_words_to_bytes(uint8_t* dst, const uint32_t* src, size_t count) {
    for (size_t i = 0; i < count; ++i) dst[i] = static_cast<uint8_t>(src[i]);
}

void span_words_to_rgb24(uint8_t* dst, const uint32_t* src, size_t count) {
    if (count == 0) return;
    // Overlapping 4-byte stores for all but the last pixel, 2 + 1 for the last.
    for (size_t i = 0; i + 1 < count; ++i) std::memcpy(dst + 3 * i, &src[i], 4);
    store24(dst + 3 * (count - 1), src[count - 1]);
}

void span_rgb24_to_words(uint32_t* dst, const uint8_t* src, size_t count) {
    if (count == 0) return;
    for (size_t i = 0; i + 1 < count; ++i) {
        uint32_t v;
        std::memcpy(&v, src + 3 * i, 4);
        dst[i] = v & 0xFFFFFFu;
    }
    dst[count - 1] = load24(src + 3 * (count - 1));
}

void span_words_to_rgb24_keyed(uint8_t* dst, const uint32_t* src, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (!(src[i] & kRowWordTransparent)) store24(dst + 3 * i, src[i]);
}

void span_channels_to_rgb24(uint32_t* dst, const uint32_t* src, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint32_t v = (dst[i] & 0xFF000000u) | (src[3 * i] & 0xFF) | (src[3 * i + 1] & 0xFF) << 8 |
                     (src[3 * i + 2] & 0xFF) << 16;
        dst[i] = v;
    }
}

void span_translate_bytes(uint8_t* buffer, const uint8_t* table, size_t count) {
    for (size_t i = 0; i < count; ++i) buffer[i] = table[buffer[i]];
}

void span_fill16(uint8_t* dst, uint32_t value, size_t count) {
    uint32_t pair = (value & 0xFFFF) * 0x10001u;
    size_t i = 0;
    for (; i + 2 <= count; i += 2) std::memcpy(dst + 2 * i, &pair, 4);
    if (i < count) store16(dst + 2 * i, static_cast<uint16_t>(value));
}

void span_fill24(uint8_t* dst, uint32_t value, size_t count) {
    // Sixteen pixels are 48 bytes, three 16-byte words: the pattern is built once and
    // stored a block at a time (only writes, no reads of the span); the last pixels
    // one by one.
    uint8_t pattern[48];
    for (int i = 0; i < 16; ++i) store24(pattern + 3 * i, value);
    const size_t bytes = 3 * count;
    size_t i = 0;
    for (; i + 48 <= bytes; i += 48) std::memcpy(dst + i, pattern, 48);
    for (; i < bytes; i += 3) store24(dst + i, value);
}

#if defined(__SSE2__)
void span_fill24_stream(uint8_t* dst, uint32_t value, size_t count) {
    // 22 pixels of pattern: any 16-byte word of the span starts at pattern + (its
    // offset % 3). Bytes up to the first 16-byte boundary and the tail are plain
    // stores; the aligned middle is streamed 48 bytes at a time.
    uint8_t pattern[66];
    for (int i = 0; i < 22; ++i) store24(pattern + 3 * i, value);
    const size_t bytes = 3 * count;
    size_t head = (16 - (reinterpret_cast<uintptr_t>(dst) & 15)) & 15;
    if (head > bytes) head = bytes;
    std::memcpy(dst, pattern, head);
    const uint8_t* phase = pattern + head % 3;
    const __m128i w0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(phase));
    const __m128i w1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(phase + 16));
    const __m128i w2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(phase + 32));
    size_t i = head;
    for (; i + 48 <= bytes; i += 48) {
        auto* p = reinterpret_cast<__m128i*>(dst + i);
        _mm_stream_si128(p, w0);
        _mm_stream_si128(p + 1, w1);
        _mm_stream_si128(p + 2, w2);
    }
    std::memcpy(dst + i, pattern + i % 3, bytes - i);
}

void span_stream_fence() {
    _mm_sfence();
}
#else
void span_fill24_stream(uint8_t* dst, uint32_t value, size_t count) {
    span_fill24(dst, value, count);
}

void span_stream_fence() {}
#endif

void span_fill_op(uint8_t* dst, int bpp, uint32_t value, size_t count, int op, bool stream) {
    op &= 15;
    if (op == 5 || count == 0) return;
    uint32_t mask = bpp == 1 ? 0xFFu : bpp == 2 ? 0xFFFFu : 0xFFFFFFu;
    uint32_t store;
    switch (op) {
    case 0: store = 0; break;
    case 3: store = value; break;
    case 12: store = ~value; break;
    case 15: store = 0xFFFFFFFFu; break;
    default:
        for (size_t i = 0; i < count; ++i) combine_pixel(dst + i * bpp, bpp, value, op);
        return;
    }
    store &= mask;
    if (bpp == 1) std::memset(dst, static_cast<int>(store), count);
    else if (bpp == 2) span_fill16(dst, store, count);
    else if (stream) span_fill24_stream(dst, store, count);
    else span_fill24(dst, store, count);
}

void planar_run_op(uint8_t* dst, const uint8_t* src, uint8_t left_mask, size_t middle,
                   uint8_t right_mask, int shift, size_t src_bytes, int op, bool backwards) {
    op &= 15;
    auto src_at = [&](ptrdiff_t i) -> unsigned {
        return (i >= 0 && static_cast<size_t>(i) < src_bytes) ? src[i] : 0u;
    };
    // The 8 source bits of destination byte k.
    auto source_byte = [&](size_t k) -> uint8_t {
        ptrdiff_t bit = static_cast<ptrdiff_t>(8 * k) - shift;
        ptrdiff_t byte = bit >= 0 ? bit / 8 : -((-bit + 7) / 8);
        int off = static_cast<int>(bit - byte * 8);
        unsigned pair = src_at(byte) << 8 | src_at(byte + 1);
        return static_cast<uint8_t>(pair >> (8 - off));
    };
    auto merge = [&](size_t k, uint8_t mask) {
        uint8_t r = static_cast<uint8_t>(rop_apply(op, source_byte(k), dst[k]));
        dst[k] = static_cast<uint8_t>((r & mask) | (dst[k] & ~mask));
    };
    auto middle_run = [&]() {
        if (middle == 0) return;
        if (shift == 0 && src_bytes >= middle + 1 && op != 5) {
            // Byte-aligned: whole bytes 1..middle from source bytes 1..middle.
            rop_span_bytes(dst + 1, src + 1, middle, op);  // memmove for copies
            return;
        }
        if (!backwards) {
            for (size_t k = 1; k <= middle; ++k)
                dst[k] = static_cast<uint8_t>(rop_apply(op, source_byte(k), dst[k]));
        } else {
            for (size_t k = middle; k >= 1; --k)
                dst[k] = static_cast<uint8_t>(rop_apply(op, source_byte(k), dst[k]));
        }
    };
    if (op == 5) return;
    if (!backwards) {
        if (left_mask) merge(0, left_mask);
        middle_run();
        if (right_mask) merge(middle + 1, right_mask);
    } else {
        if (right_mask) merge(middle + 1, right_mask);
        if (shift == 0 && middle && src_bytes >= middle + 1 && op != 3) {
            // An aligned combine that overlaps must walk backwards byte by byte.
            for (size_t k = middle; k >= 1; --k)
                dst[k] = static_cast<uint8_t>(rop_apply(op, src[k], dst[k]));
        } else {
            middle_run();
        }
        if (left_mask) merge(0, left_mask);
    }
}

namespace {

template <int Bpp>
uint32_t line_pixels(uint8_t* p, size_t count, uint32_t fraction, uint32_t slope, int kind,
                     ptrdiff_t row_stride, uint32_t colour, int op, uint32_t pattern) {
    op &= 15;
    uint32_t frac = (fraction & 0xFFFF) << 16;
    const uint32_t step = (slope & 0xFFFF) << 16;
    const ptrdiff_t major = kind > 0 ? Bpp : row_stride;
    const ptrdiff_t minor = kind > 0 ? row_stride : Bpp;
    const ptrdiff_t diagonal = row_stride + Bpp;
    const bool direct = op == 3 && pattern == 0xFFFFFFFFu;
    for (size_t i = 0; i < count; ++i) {
        if (direct) {
            if constexpr (Bpp == 1) *p = static_cast<uint8_t>(colour);
            else if constexpr (Bpp == 2) store16(p, static_cast<uint16_t>(colour));
            else store24(p, colour);
        } else {
            if (pattern & 1) combine_pixel(p, Bpp, colour, op);
            pattern = pattern >> 1 | pattern << 31;
        }
        if (i + 1 == count) break;  // no step beyond the last pixel
        if (kind == 0) {
            p += diagonal;
        } else {
            p += major;
            uint32_t before = frac;
            frac += step;
            if (frac < before) p += minor;
        }
    }
    return pattern;
}

template <int Bpp>
void mask_expand(uint8_t* dst, const uint8_t* mask, size_t first_bit, size_t count, size_t rows,
                 size_t mask_stride, ptrdiff_t dst_stride, uint32_t colour, int op, int invert) {
    op &= 15;
    const unsigned flip = invert ? 1u : 0u;
    for (size_t r = 0; r < rows; ++r) {
        size_t bit = first_bit + r * mask_stride;
        uint8_t* p = dst + static_cast<ptrdiff_t>(r) * dst_stride;
        for (size_t i = 0; i < count; ++i, ++bit, p += Bpp) {
            unsigned b = (mask[bit >> 3] >> (7 - (bit & 7))) & 1u;
            if (b ^ flip) combine_pixel(p, Bpp, colour, op);
        }
    }
}

}  // namespace

uint32_t line_pixels8(uint8_t* start, size_t count, uint32_t fraction, uint32_t slope, int kind,
                      ptrdiff_t row_stride, uint32_t colour, int op, uint32_t pattern) {
    return line_pixels<1>(start, count, fraction, slope, kind, row_stride, colour, op, pattern);
}
uint32_t line_pixels16(uint8_t* start, size_t count, uint32_t fraction, uint32_t slope, int kind,
                       ptrdiff_t row_stride, uint32_t colour, int op, uint32_t pattern) {
    return line_pixels<2>(start, count, fraction, slope, kind, row_stride, colour, op, pattern);
}
uint32_t line_pixels24(uint8_t* start, size_t count, uint32_t fraction, uint32_t slope, int kind,
                       ptrdiff_t row_stride, uint32_t colour, int op, uint32_t pattern) {
    return line_pixels<3>(start, count, fraction, slope, kind, row_stride, colour, op, pattern);
}

void mask_expand8(uint8_t* dst, const uint8_t* mask, size_t first_bit, size_t count, size_t rows,
                  size_t mask_stride, ptrdiff_t dst_stride, uint32_t colour, int op, int invert) {
    mask_expand<1>(dst, mask, first_bit, count, rows, mask_stride, dst_stride, colour, op, invert);
}
void mask_expand16(uint8_t* dst, const uint8_t* mask, size_t first_bit, size_t count, size_t rows,
                   size_t mask_stride, ptrdiff_t dst_stride, uint32_t colour, int op, int invert) {
    mask_expand<2>(dst, mask, first_bit, count, rows, mask_stride, dst_stride, colour, op, invert);
}
void mask_expand24(uint8_t* dst, const uint8_t* mask, size_t first_bit, size_t count, size_t rows,
                   size_t mask_stride, ptrdiff_t dst_stride, uint32_t colour, int op, int invert) {
    mask_expand<3>(dst, mask, first_bit, count, rows, mask_stride, dst_stride, colour, op, invert);
}

int64_t fix28_recip(int64_t a, int64_t b) {
    return static_cast<int64_t>(static_cast<uint64_t>(a) << 28) / b;
}

void row_normalise(uint32_t* row, uint32_t k, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint64_t v = (uint64_t{row[i]} * k + 0x8000000u) >> 28;
        row[i] = v > 255 ? 255u : static_cast<uint32_t>(v);
    }
}

void row_accumulate_weighted(uint32_t* dst, const uint32_t* src, uint32_t weight, size_t count) {
    for (size_t i = 0; i < count; ++i) dst[i] += src[i] * weight;
}

void row_accumulate_full(uint32_t* dst, const uint32_t* src, size_t count) {
    for (size_t i = 0; i < count; ++i) dst[i] += src[i] << 14;
}

void pixel_area_average(uint32_t* out, const uint32_t* pixels, uint32_t first_weight,
                        uint32_t last_weight, uint32_t k, size_t start, size_t end) {
    uint32_t sum[3] = {0, 0, 0};
    auto add = [&](uint32_t px, uint32_t w) {
        for (int c = 0; c < 3; ++c) sum[c] += ((px >> (8 * c)) & 0xFF) * w;
    };
    if (first_weight) add(pixels[start], first_weight);
    for (size_t i = start + 1; i < end; ++i) add(pixels[i], 16384);
    add(pixels[end], last_weight);
    for (int c = 0; c < 3; ++c) {
        uint64_t v = (uint64_t{sum[c]} * k + 0x8000000u) >> 28;
        out[2 - c] = v > 255 ? 255u : static_cast<uint32_t>(v);
    }
}
