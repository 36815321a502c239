// The depth routines of every pixel depth against the slow per-pixel
// reference: truth tables of pixel puts, fills (solid and patterned), blits
// (including overlapping blits of an image onto itself), row writes with
// transparency, one-pixel lines with clip rectangles and dash patterns, and
// masks. The same drawing on an image cut into many buffer segments must give
// the same bytes as on an image of one segment.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "graphics/raster/raster.h"
#include "tests/raster/raster_test_util.h"

namespace {

class DeviceTest : public ::testing::TestWithParam<Format> {};

TEST_P(DeviceTest, PutPixelsFollowTheTruthTableOnAllOperandPairs) {
    const Format f = GetParam();
    const uint32_t mask = value_mask(f);
    // All pairs where the depth has at most 256 values, a sample otherwise.
    std::vector<uint32_t> values;
    std::mt19937 rng(3);
    if (mask <= 255) {
        for (uint32_t v = 0; v <= mask; ++v) values.push_back(v);
    } else {
        values = {0, mask, 1, mask - 1};
        while (values.size() < 48) values.push_back(rng() & mask);
    }
    const int w = static_cast<int>(values.size());
    ImagePtr img(image_create_ex(w, 1, f.planes, f.bits, nullptr));
    ASSERT_TRUE(img);
    DCPtr dc(image_dc_create(img.get()));
    ASSERT_TRUE(dc && dc->put_pixels && dc->write_row);
    std::vector<uint32_t> row(values.begin(), values.end());
    for (int op = 0; op < 16; ++op)
        for (uint32_t s : values) {
            dc->write_row(dc.get(), 0, 0, w, row.data(), row.size() * 4, 3);  // destinations
            std::vector<int32_t> xy;
            for (int x = 0; x < w; ++x) xy.insert(xy.end(), {x, 0});
            dc->put_pixels(dc.get(), xy.data(), w, s, static_cast<uint32_t>(op));
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(decode_pixel(img.get(), x, 0) & mask, truth(op, s, values[x], value_bits(f)))
                    << "op " << op << " colour " << s << " destination " << values[x];
        }
}

// Random drawing applied to a one-segment image, a many-segment image and
// the reference; all three must agree after every step.
struct Scene {
    Format fmt;
    int w, h;
    ImagePtr one, many, other;
    DCPtr dc_one, dc_many, dc_other;
    Ref ref;

    Scene(Format f, int width, int height, size_t segment_bytes)
        : fmt(f), w(width), h(height), ref(f, width, height) {
        one.reset(image_create_ex(w, h, f.planes, f.bits, nullptr));
        many.reset(image_create_segmented(w, h, f.planes, f.bits, nullptr, segment_bytes));
        other.reset(image_create_ex(w + 3, h + 2, f.planes, f.bits, nullptr));
        dc_one.reset(image_dc_create(one.get()));
        dc_many.reset(image_dc_create(many.get()));
        dc_other.reset(image_dc_create(other.get()));
    }
    template <class Fn>
    void both(Fn&& fn) {
        fn(dc_one.get());
        fn(dc_many.get());
    }
    ::testing::AssertionResult check() {
        size_t a = 0, b = 0;
        const uint8_t* pa = image_pixels(one.get(), &a);
        const uint8_t* pb = image_pixels(many.get(), &b);
        if (a != b || std::memcmp(pa, pb, a) != 0)
            return ::testing::AssertionFailure() << "the segmented image differs";
        return same_pixels(one.get(), ref);
    }
};

TEST_P(DeviceTest, RandomDrawingMatchesTheReferenceAndSegmentsDoNotShow) {
    const Format f = GetParam();
    std::mt19937 rng(1234 + f.bits * 10 + f.planes);
    auto rnd = [&](int lo, int hi) { return lo + static_cast<int>(rng() % unsigned(hi - lo + 1)); };
    for (size_t segment_bytes : {size_t{1}, size_t{5}, size_t{13}, size_t{64}}) {
        Scene sc(f, 37, 23, segment_bytes);
        ASSERT_TRUE(sc.dc_one && sc.dc_many && sc.dc_other);
        const uint32_t mask = value_mask(f);
        // Source image for blits between images.
        Ref other = Ref::of(sc.other.get());
        {
            std::vector<uint32_t> row(size_t(sc.other->width));
            for (int y = 0; y < sc.other->height; ++y) {
                for (auto& v : row) v = rng() & mask;
                sc.dc_other->write_row(sc.dc_other.get(), 0, y, int(row.size()), row.data(), row.size() * 4, 3);
                for (int x = 0; x < int(row.size()); ++x) other.at(x, y) = row[x];
            }
        }
        for (int step = 0; step < 300; ++step) {
            const int kind = rnd(0, 7);
            const int op = rnd(0, 15);
            const uint32_t colour = rng() & mask;
            SCOPED_TRACE(::testing::Message() << "segments " << segment_bytes << " step " << step << " kind "
                                              << kind << " op " << op);
            if (kind == 0) {  // solid fill
                const int x = rnd(-5, 40), y = rnd(-5, 25), w = rnd(0, 30), h = rnd(0, 20);
                RasterFill fill{0, colour, 0, 0, 0, 0, 0, nullptr};
                sc.both([&](ImageDC* dc) { image_dc_blit(dc, x, y, w, h, &fill, 0, 0, kRopFill | op); });
                for (int yy = y; yy < y + h; ++yy)
                    for (int xx = x; xx < x + w; ++xx) sc.ref.apply(xx, yy, colour, op);
            } else if (kind == 1) {  // pattern fill
                const uint8_t bits[3 * 4] = {0xA5, 0x3C, 0, 0, 0x0F, 0xF0, 0, 0, 0xFF, 0x81, 0, 0};
                RasterFill fill{1, colour, static_cast<uint32_t>(rng()) & mask, rnd(1, 12), 3, rnd(-9, 9), rnd(-9, 9), bits};
                const int x = rnd(-5, 40), y = rnd(-5, 25), w = rnd(0, 30), h = rnd(0, 20);
                sc.both([&](ImageDC* dc) { image_dc_blit(dc, x, y, w, h, &fill, 0, 0, kRopFill | op); });
                for (int yy = y; yy < y + h; ++yy)
                    for (int xx = x; xx < x + w; ++xx) {
                        int px = (xx + fill.x_origin) % fill.width, py = (yy + fill.y_origin) % fill.height;
                        if (px < 0) px += fill.width;
                        if (py < 0) py += fill.height;
                        const bool fore = (bits[py * 4 + px / 8] >> (7 - px % 8)) & 1;
                        sc.ref.apply(xx, yy, fore ? fill.colour : fill.background, op);
                    }
            } else if (kind == 2 || kind == 3) {  // blit from the other image, or onto itself
                const bool self = kind == 3;
                const int w = rnd(0, 30), h = rnd(0, 20);
                const int sx = self ? rnd(-3, 30) : rnd(-3, 38), sy = self ? rnd(-3, 20) : rnd(-3, 24);
                const int dx = self ? sx + rnd(-3, 3) : rnd(-5, 40), dy = self ? sy + rnd(-3, 3) : rnd(-5, 25);
                const Ref src = self ? sc.ref : other;
                if (self) {
                    sc.dc_one->blit ? image_dc_blit(sc.dc_one.get(), dx, dy, w, h, sc.dc_one.get(), sx, sy, op)
                                    : void();
                    image_dc_blit(sc.dc_many.get(), dx, dy, w, h, sc.dc_many.get(), sx, sy, op);
                } else {
                    sc.both([&](ImageDC* dc) { image_dc_blit(dc, dx, dy, w, h, sc.dc_other.get(), sx, sy, op); });
                }
                for (int j = 0; j < h; ++j)
                    for (int i = 0; i < w; ++i)
                        if (src.inside(sx + i, sy + j) && sc.ref.inside(dx + i, dy + j))
                            sc.ref.apply(dx + i, dy + j, src.px[size_t(sy + j) * src.w + sx + i], op);
            } else if (kind == 4) {  // put pixels, with repeats
                std::vector<int32_t> xy;
                for (int i = 0; i < 20; ++i) xy.insert(xy.end(), {rnd(-2, 38), rnd(-2, 24)});
                sc.both([&](ImageDC* dc) { dc->put_pixels(dc, xy.data(), 20, colour, op); });
                for (int i = 0; i < 20; ++i) sc.ref.apply(xy[2 * i], xy[2 * i + 1], colour, op);
            } else if (kind == 5) {  // write row, some words transparent
                const int x = rnd(-10, 36), y = rnd(-1, 23), n = rnd(0, 45);
                std::vector<uint32_t> words(static_cast<size_t>(n));
                for (auto& v : words) v = (rng() & mask) | ((rng() & 3) == 0 ? kRopTransparent : 0);
                const bool direct = f.bits >= 15;
                const uint32_t wop = uint32_t(op) | kRopTransparent;
                sc.both([&](ImageDC* dc) { dc->write_row(dc, x, y, n, words.data(), words.size() * 4, wop); });
                for (int i = 0; i < n; ++i) {
                    if (words[i] & kRopTransparent || !sc.ref.inside(x + i, y)) continue;
                    if (direct) sc.ref.at(x + i, y) = words[i] & mask;  // direct colour rows are stored
                    else sc.ref.apply(x + i, y, words[i], op);
                }
            } else if (kind == 6 && sc.dc_one->segment) {  // one-pixel segments, clipped and patterned
                RasterPen pen{uint32_t(op), colour, {rnd(-3, 20), rnd(-3, 12), rnd(10, 45), rnd(8, 30)}};
                const uint32_t pattern = (rng() & 1) ? 0xFFFFFFFFu : uint32_t(rng());
                std::vector<int32_t> segs;
                const int n = rnd(1, 4);
                for (int i = 0; i < n; ++i) segs.insert(segs.end(), {rnd(-20, 60), rnd(-20, 45), rnd(-20, 60), rnd(-20, 45)});
                uint32_t results[2];
                int k = 0;
                sc.both([&](ImageDC* dc) { results[k++] = dc->segment(dc, &pen, 1, 1, segs.data(), n, pattern); });
                uint32_t p = pattern;
                for (int s = 0; s < n; ++s) {
                    const auto line = reference_line(segs[4 * s], segs[4 * s + 1], segs[4 * s + 2], segs[4 * s + 3]);
                    for (size_t i = 0; i < line.size(); ++i) {
                        const auto& q = line[i];
                        if (!((p >> (i % 32)) & 1)) continue;
                        if (q.x < pen.clip.x0 || q.x > pen.clip.x1 || q.y < pen.clip.y0 || q.y > pen.clip.y1) continue;
                        sc.ref.apply(q.x, q.y, colour, op);
                    }
                    p = rotr(p, int64_t(line.size()) - 1);
                }
                EXPECT_EQ(results[0], p) << "the returned pattern continues the dash";
                EXPECT_EQ(results[1], p);
            } else if (kind == 7 && sc.dc_one->mask) {  // 1-bit mask
                uint8_t bits[16];
                for (auto& b : bits) b = static_cast<uint8_t>(rng());
                RasterPen pen{uint32_t(op), colour, {rnd(-3, 10), rnd(-3, 10), rnd(10, 45), rnd(8, 30)}};
                const int x = rnd(-6, 36), y = rnd(-6, 22), w = rnd(0, 12), h = rnd(0, 8);
                const size_t first = size_t(rnd(0, 7)), stride = size_t(rnd(12, 14));
                sc.both([&](ImageDC* dc) { dc->mask(dc, &pen, x, y, w, h, bits, first, stride); });
                for (int j = 0; j < h; ++j)
                    for (int i = 0; i < w; ++i) {
                        const size_t bit = first + j * stride + i;
                        const int xx = x + i, yy = y + j;
                        if (xx < pen.clip.x0 || xx > pen.clip.x1 || yy < pen.clip.y0 || yy > pen.clip.y1) continue;
                        if ((bits[bit >> 3] >> (7 - (bit & 7))) & 1) sc.ref.apply(xx, yy, colour, op);
                    }
            }
            ASSERT_TRUE(sc.check());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllDepths, DeviceTest, ::testing::ValuesIn(all_formats()),
                         [](const auto& info) {
                             return std::to_string(info.param.bits) + "bit" + std::to_string(info.param.planes);
                         });

}  // namespace
