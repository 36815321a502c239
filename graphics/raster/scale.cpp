// Area-averaging scaler: resamples a rectangle of one context into another,
// or one row of a 24-bit picture into a row buffer, by any factor. Each
// destination pixel is the average of the source area it covers, weighted by
// coverage: a horizontal pass per source row (pixel_area_average), then a
// weighted vertical sum of the rows. All per-pixel arithmetic is integer: 14
// fraction bits for weights and positions, 28-bit reciprocals, 64-bit products.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "graphics/raster/dither.h"
#include "graphics/raster/raster_device.h"
#include "graphics/raster/rasterops.h"
#include "model/math/result.h"

namespace {

bool factor_ok(double f) {
    return std::isfinite(f) && f >= kScaleMin && f <= kScaleMax;
}
bool offset_ok(double o) {
    return std::isfinite(o) && std::fabs(o) <= 1e6;
}

class Scaler {
public:
    Scaler(double fx, double fy, double ox, double oy, int source_width, int source_height)
        : fx_(static_cast<int64_t>(fx * 16384)), fy_(static_cast<int64_t>(fy * 16384)),
          ox_(static_cast<int64_t>(ox * 16384)), oy_(static_cast<int64_t>(oy * 16384)),
          width_(source_width), height_(source_height) {}

    // Sizes the accumulators for count output pixels; false when out of memory.
    bool reserve(size_t count) {
        try {
            horizontal_.assign(count * 3, 0);
            vertical_.assign(count * 3, 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    // Output row yp (in scaled source pixels) over count pixels from column x:
    // three words per pixel (channel of byte 2, byte 1, byte 0 of the source
    // words). row(r) returns the words of source row r.
    template <class RowFn>
    const uint32_t* row(int64_t yp, int64_t x, size_t count, RowFn&& source_row) {
        const int64_t p0 = fix28_recip(yp, fy_) + oy_, p1 = fix28_recip(yp + 1, fy_) + oy_;
        int64_t r0 = p0 >> 14, r1 = p1 >> 14;
        const uint32_t first_weight = static_cast<uint32_t>(16384 - (p0 & 0x3FFF));
        uint32_t last_weight = static_cast<uint32_t>(p1 & 0x3FFF);
        if (r1 > height_ - 1) {
            // The area runs past the last row: that row counts whole.
            r1 = height_ - 1;
            last_weight = 16384;
        }
        if (r1 < 0) r1 = 0;
        r0 = std::clamp<int64_t>(r0, 0, r1);
        if (r0 == r1) {
            row_area_average(source_row(r0), x, count);
            return horizontal_.data();
        }
        std::fill(vertical_.begin(), vertical_.end(), 0u);
        for (int64_t r = r0; r <= r1; ++r) {
            const uint32_t w = r == r0 ? first_weight : r == r1 ? last_weight : 16384u;
            if (w == 0) continue;
            row_area_average(source_row(r), x, count);
            row_accumulate_weighted(vertical_.data(), horizontal_.data(), w, vertical_.size());
        }
        row_normalise(vertical_.data(), static_cast<uint32_t>(fy_), vertical_.size());
        return vertical_.data();
    }

private:
    // Horizontal pass: positions with 18 fraction bits, weights with 14.
    void row_area_average(const uint32_t* src, int64_t x, size_t count) {
        uint32_t* out = horizontal_.data();
        std::fill(horizontal_.begin(), horizontal_.end(), 0u);
        int64_t p = (fix28_recip(x, fx_) + ox_) * 16;
        const int64_t step = (int64_t{16} << 28) / fx_;
        const int64_t last = width_ - 1;
        int64_t i0 = std::clamp<int64_t>(p >> 18, 0, last);
        uint32_t w0 = static_cast<uint32_t>(16384 - ((p & 0x3FFF0) >> 4));
        for (size_t j = 0; j < count; ++j) {
            p += step;
            int64_t i1 = p >> 18;
            uint32_t f = static_cast<uint32_t>((p & 0x3FFF0) >> 4);
            if (i1 > last) {
                i1 = last;  // past the last column: it counts whole
                f = 16384;
            } else if (i1 < 0) {
                i1 = 0;
            }
            if (i1 == i0) {
                const uint32_t v = src[i0];
                out[3 * j] = (v >> 16) & 0xFF;
                out[3 * j + 1] = (v >> 8) & 0xFF;
                out[3 * j + 2] = v & 0xFF;
            } else {
                pixel_area_average(out + 3 * j, src, w0, f, static_cast<uint32_t>(fx_),
                                   static_cast<size_t>(i0), static_cast<size_t>(i1));
            }
            i0 = i1;
            w0 = 16384 - f;
        }
    }

    int64_t fx_, fy_, ox_, oy_;
    int64_t width_, height_;
    std::vector<uint32_t> horizontal_, vertical_;
};

// Scaled source bounds {0, 0, floor(w fx) - 1, floor(h fy) - 1}.
RasterRect scaled_bounds(int w, int h, double fx, double fy) {
    const double sw = std::floor(w * fx), sh = std::floor(h * fy);
    return {0, 0, static_cast<int32_t>(std::fmin(sw, 2147483647.0) - 1),
            static_cast<int32_t>(std::fmin(sh, 2147483647.0) - 1)};
}

// Dithers the row for an indexed or 15/16-bit context and writes it.
void scale_output_row(ImageDC* dc, uint32_t* row, int x, int y, int count, uint32_t op, int kind) {
    if (!dc->write_row) return;
    if (kind == 2) {
        const int form = dc->colours == 32768 ? 2 : 3;
        for (int i = 0; i < count; ++i) row[i] = dither_pixel(row[i], x + i, y, form);
        dc->write_row(dc, x, y, count, row, static_cast<size_t>(count) * 4, op & 15);
        return;
    }
    uint8_t* bytes = reinterpret_cast<uint8_t*>(row);
    for (int i = 0; i < count; ++i)  // byte i never overtakes word i
        bytes[i] = static_cast<uint8_t>(dither_pixel(row[i], x + i, y, kind));
    dc->write_row(dc, x, y, count, row, static_cast<size_t>(count) * 4, (op & 15) | kRopBytes);
}

}  // namespace

int image_scale_rect(ImageDC* dst, int dx, int dy, int width, int height, ImageDC* src, int sx, int sy,
                     double ox, double oy, double fx, double fy, uint32_t op) {
    if (!dc_ok(dst) || !dc_ok(src) || !src->read_row) return kBadArgument;
    if (!factor_ok(fx) || !factor_ok(fy) || !offset_ok(ox) || !offset_ok(oy)) return kBadArgument;
    if (width <= 0 || height <= 0) return 0;
    RasterRect d, s;
    int64_t d64[4] = {dx, dy, int64_t{dx} + width - 1, int64_t{dy} + height - 1};
    int64_t s64[4] = {sx, sy, int64_t{sx} + width - 1, int64_t{sy} + height - 1};
    const RasterRect db{0, 0, dst->width - 1, dst->height - 1};
    const RasterRect sb = scaled_bounds(src->width, src->height, fx, fy);
    if (sb.x1 < 0 || sb.y1 < 0 || !rect_clip_pair64(d64, &db, s64, &sb)) return 0;
    rect_store64(&d, d64);
    rect_store64(&s, s64);
    const size_t count = static_cast<size_t>(d.x1 - d.x0) + 1;
    Scaler scaler(fx, fy, ox, oy, src->width, src->height);
    std::vector<uint32_t> out;
    try {
        out.resize(count);
    } catch (const std::bad_alloc&) {
        return kScaleNoMemory;
    }
    if (!scaler.reserve(count)) return kScaleNoMemory;
    int64_t last_read = -1;
    uint32_t* source = src->row_scratch;
    auto source_row = [&](int64_t r) -> const uint32_t* {
        if (r != last_read) {
            src->read_row(src, 0, static_cast<int>(r), src->width, source, size_t(src->width) * 4,
                          kRopColourWords | 3);
            last_read = r;
        }
        return source;
    };
    const int kind = dst->colours == 256 ? 1 : dst->colours < 256 ? 0 : 2;
    for (int64_t y = d.y0; y <= d.y1; ++y) {
        const uint32_t* t = scaler.row(s.y0 + (y - d.y0), s.x0, count, source_row);
        // Colour words came in; bytes 2, 1, 0 went out first, so packing the
        // channels in order gives 24-bit pixel values.
        for (size_t i = 0; i < count; ++i) out[i] = t[3 * i] | t[3 * i + 1] << 8 | t[3 * i + 2] << 16;
        if (dst->colours == 0x1000000u) {
            if (dst->write_row)
                dst->write_row(dst, d.x0, static_cast<int>(y), static_cast<int>(count), out.data(),
                               count * 4, op & 15);
        } else {
            scale_output_row(dst, out.data(), d.x0, static_cast<int>(y), static_cast<int>(count), op, kind);
        }
    }
    return 0;
}

int image_scale_row(uint32_t* row, int x, int y, int width, int depth, const uint8_t* source,
                    int source_width, int source_height, int sx, int sy, double fx, double fy) {
    if (!row || !source || width <= 0 || source_width <= 0 || source_height <= 0) return kBadArgument;
    if (!factor_ok(fx) || !factor_ok(fy)) return kBadArgument;
    std::memset(row, 0, static_cast<size_t>(width) * 4);
    const RasterRect db{0, 0, width - 1, 0};
    int64_t d64[4] = {0, 0, width - 1, 0}, s64[4] = {sx, sy, int64_t{sx} + width - 1, sy};
    const RasterRect sb = scaled_bounds(source_width, source_height, fx, fy);
    if (sb.x1 < 0 || sb.y1 < 0 || !rect_clip_pair64(d64, &db, s64, &sb)) return -1;
    RasterRect d, s;
    rect_store64(&d, d64);
    rect_store64(&s, s64);
    const size_t count = static_cast<size_t>(d.x1 - d.x0) + 1;
    Scaler scaler(fx, fy, 0, 0, source_width, source_height);
    std::vector<uint32_t> words;
    try {
        words.resize(static_cast<size_t>(source_width));
    } catch (const std::bad_alloc&) {
        return kScaleNoMemory;
    }
    if (!scaler.reserve(count)) return kScaleNoMemory;
    int64_t last_read = -1;
    auto source_row = [&](int64_t r) -> const uint32_t* {
        if (r != last_read) {
            span_rgb24_to_words(words.data(), source + static_cast<size_t>(r) * source_width * 3,
                                static_cast<size_t>(source_width));
            last_read = r;
        }
        return words.data();
    };
    const uint32_t* t = scaler.row(s.y0, s.x0, count, source_row);
    // The row keeps the source's byte order: byte 0 of each word is byte 0 of
    // the source pixels.
    uint32_t* out = row + d.x0;
    for (size_t i = 0; i < count; ++i) out[i] = t[3 * i + 2] | t[3 * i + 1] << 8 | t[3 * i] << 16;
    // Only the position modulo 8 picks thresholds: formed without overflow.
    const int first = static_cast<int>((static_cast<unsigned>(x) + static_cast<unsigned>(d.x0)) & 7u);
    dither_row_rgb32(out, first, y, static_cast<int>(count), depth);
    return 0;
}
