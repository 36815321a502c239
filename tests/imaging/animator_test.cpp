// Animator PIC/CEL and FLI/FLC frames against files from a test-only writer of the
// published layouts: every chunk kind the reader knows, frame -1, frames past the
// last, and damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/formats/image_formats.h"

namespace {

constexpr int W = 40, H = 30;  // even width under 128: one packet a line
using Bytes = std::vector<uint8_t>;
using Frame = std::vector<uint8_t>;  // W x H indices

void u16(Bytes& b, unsigned v) { b.push_back(v & 255), b.push_back((v >> 8) & 255); }
void u32(Bytes& b, uint32_t v) { u16(b, v & 0xFFFF), u16(b, v >> 16); }
void set_u32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 255;
}

uint8_t palette_value(int i, int c) { return static_cast<uint8_t>((i * (c + 3) * 5) & 255); }

Bytes chunk(unsigned type, const Bytes& body) {
    Bytes c;
    u32(c, static_cast<uint32_t>(body.size() + 6));
    u16(c, type);
    c.insert(c.end(), body.begin(), body.end());
    return c;
}

Bytes colour_chunk(bool six_bit) {
    Bytes b;
    u16(b, 1);
    b.push_back(0), b.push_back(0);  // skip 0, 256 colours
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c) b.push_back(six_bit ? palette_value(i, c) >> 2 : palette_value(i, c));
    return chunk(six_bit ? 11 : 4, b);
}

Bytes brun(const Frame& f) {
    Bytes b;
    for (int y = 0; y < H; ++y) {
        b.push_back(0);
        // the first 8 bytes as one repeated run of the first pixel's value when it
        // applies, then literals
        int x = 0;
        if (std::all_of(&f[y * W], &f[y * W + 8], [&](uint8_t v) { return v == f[y * W]; })) {
            b.push_back(8), b.push_back(f[y * W]);
            x = 8;
        }
        b.push_back(static_cast<uint8_t>(-(W - x)));
        b.insert(b.end(), &f[y * W + x], &f[y * W + W]);
    }
    return chunk(15, b);
}

// FLI line delta of lines y0..y1-1 (whole lines, bytes, one repeat packet).
Bytes lc(const Frame& f, int y0, int y1) {
    Bytes b;
    u16(b, y0), u16(b, y1 - y0);
    for (int y = y0; y < y1; ++y) {
        b.push_back(2);
        b.push_back(0), b.push_back(W - 10);
        b.insert(b.end(), &f[y * W], &f[y * W + W - 10]);
        b.push_back(0), b.push_back(static_cast<uint8_t>(-10)), b.push_back(f[y * W + W - 10]);
    }
    return chunk(12, b);
}

// FLC word delta of lines y0..y1-1 (a skip opcode first).
Bytes ss2(const Frame& f, int y0, int y1) {
    Bytes b;
    u16(b, y1 - y0);
    for (int y = y0; y < y1; ++y) {
        if (y == y0 && y0 > 0) u16(b, 0x10000 - y0);
        u16(b, 1);
        b.push_back(0), b.push_back(W / 2);
        b.insert(b.end(), &f[y * W], &f[y * W + W]);
    }
    return chunk(7, b);
}

Bytes frame(const std::vector<Bytes>& chunks) {
    Bytes body;
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    Bytes f;
    u32(f, static_cast<uint32_t>(body.size() + 16));
    u16(f, 0xF1FA);
    u16(f, static_cast<unsigned>(chunks.size()));
    for (int i = 0; i < 8; ++i) f.push_back(0);
    f.insert(f.end(), body.begin(), body.end());
    return f;
}

Bytes flic(bool flc, const std::vector<Bytes>& frames) {
    Bytes b(128, 0);
    b[4] = 0x11 + flc, b[5] = 0xAF;
    b[6] = static_cast<uint8_t>(frames.size());
    b[8] = W, b[10] = H, b[12] = 8;
    if (flc) {
        // a prefix chunk before the first frame, which readers skip
        set_u32(b, 80, 128);
        const Bytes prefix = {10, 0, 0, 0, 0x00, 0xF1, 0, 0, 0, 0};
        b.insert(b.end(), prefix.begin(), prefix.end());
    }
    for (const Bytes& f : frames) b.insert(b.end(), f.begin(), f.end());
    set_u32(b, 0, static_cast<uint32_t>(b.size()));
    return b;
}

Frame pattern(int seed) {
    Frame f(W * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) f[y * W + x] = static_cast<uint8_t>(x < 8 ? seed + y : (x * 3 + y * seed) & 255);
    return f;
}

void expect_frame(const Bytes& file, int32_t n, const Frame& want, bool six_bit) {
    RgbImage img;
    ASSERT_EQ(cel_decode(file.data(), file.size(), n, &img), 0) << "frame " << n;
    ASSERT_EQ(img.width, W);
    ASSERT_EQ(img.height, H);
    for (int i = 0; i < W * H; ++i)
        for (int c = 0; c < 3; ++c) {
            uint8_t v = palette_value(want[i], c);
            if (six_bit) v = static_cast<uint8_t>(((v >> 2) << 2) | (v >> 6));
            ASSERT_EQ(img.pixels[i * 3 + c], v) << "frame " << n << " pixel " << i;
        }
}

TEST(Animator, FlcAndFliFramesInOrderWithWrapAndMinusOne) {
    const Frame f0 = pattern(1);
    Frame f1 = f0, f2(W * H, 0), f3 = pattern(5);
    const Frame p2 = pattern(2);
    for (int y = 5; y < 12; ++y) std::memcpy(&f1[y * W], &p2[y * W], W);
    for (const bool flc : {true, false}) {
        Frame f1b = f1;
        if (!flc)  // the line delta leaves a repeated tail
            for (int y = 5; y < 12; ++y) std::memset(&f1b[y * W + W - 10], f1[y * W + W - 10], 10);
        const Bytes file = flic(flc, {frame({colour_chunk(!flc), brun(f0)}),
                                      frame({flc ? ss2(f1, 5, 12) : lc(f1, 5, 12)}),
                                      frame({chunk(13, {})}),
                                      frame({chunk(16, Bytes(f3.begin(), f3.end()))})});
        EXPECT_EQ(cel_frame_count(file.data(), file.size()), 4);
        const bool six = !flc;
        expect_frame(file, -1, f0, six);
        expect_frame(file, 0, f0, six);
        expect_frame(file, 1, f1b, six);
        expect_frame(file, 2, f2, six);
        expect_frame(file, 3, f3, six);
        expect_frame(file, 4, f0, six);  // past the last: round again
        expect_frame(file, 9, f1b, six);

        // Through the reader shape: open gives frame 0, read takes a frame.
        int err = -1;
        int32_t w = 0, h = 0;
        ImageReader* r = cel_open_memory(file.data(), file.size(), &w, &h, &err);
        ASSERT_NE(r, nullptr);
        std::vector<uint8_t> px(static_cast<size_t>(w) * h * 3);
        EXPECT_EQ(cel_read_rgb24(r, 3, px.data()), 0);
        RgbImage third;
        ASSERT_EQ(cel_decode(file.data(), file.size(), 3, &third), 0);
        EXPECT_EQ(0, std::memcmp(px.data(), third.pixels, px.size()));
        cel_close(r);

        // Cut anywhere: refused or read, never worse.
        for (size_t n = 0; n < file.size(); n += 7) {
            RgbImage img;
            const int res = cel_decode(file.data(), n, 3, &img);
            ASSERT_TRUE(res == 0 || res == kBadArgument) << n;
        }
    }
}

// ffmpeg's FLIC decoder as an oracle: every frame of both fixtures decodes to the
// same pixels (FLI palettes are 6-bit: ffmpeg shifts them up without filling the
// low bits, so those may differ by up to 3).
TEST(Animator, FramesMatchFfmpeg) {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg missing";
    char tmpl[] = "/tmp/zelo_flic_XXXXXX";
    const char* dir = mkdtemp(tmpl);
    ASSERT_NE(dir, nullptr);
    const Frame f0 = pattern(1), f3 = pattern(5);
    Frame f1 = f0;
    const Frame p2 = pattern(2);
    for (int y = 5; y < 12; ++y) std::memcpy(&f1[y * W], &p2[y * W], W);
    for (const bool flc : {true, false}) {
        const Bytes file = flic(flc, {frame({colour_chunk(!flc), brun(f0)}),
                                      frame({flc ? ss2(f1, 5, 12) : lc(f1, 5, 12)}),
                                      frame({chunk(13, {})}),
                                      frame({chunk(16, Bytes(f3.begin(), f3.end()))})});
        const std::string in = std::string(dir) + (flc ? "/a.flc" : "/a.fli"), out = std::string(dir) + "/a.rgb";
        std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
        const std::string cmd = "ffmpeg -v error -y -i " + in + " -fps_mode passthrough -f rawvideo -pix_fmt rgb24 " + out;
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        std::ifstream rf(out, std::ios::binary);
        const Bytes raw((std::istreambuf_iterator<char>(rf)), std::istreambuf_iterator<char>());
        const size_t frame_bytes = size_t(W) * H * 3;
        ASSERT_EQ(raw.size(), frame_bytes * 4) << flc;
        const int tolerance = flc ? 0 : 3;
        for (int n = 0; n < 4; ++n) {
            RgbImage img;
            ASSERT_EQ(cel_decode(file.data(), file.size(), n, &img), 0);
            for (size_t i = 0; i < frame_bytes; ++i)
                ASSERT_LE(std::abs(int(img.pixels[i]) - int(raw[n * frame_bytes + i])), tolerance)
                    << (flc ? "FLC" : "FLI") << " frame " << n << " byte " << i;
        }
        std::remove(in.c_str());
        std::remove(out.c_str());
    }
    std::remove(dir);
}

TEST(Animator, PicCelStillImage) {
    Bytes b;
    u16(b, 0x9119), u16(b, W), u16(b, H), u16(b, 3), u16(b, 4);
    b.push_back(8), b.push_back(0);
    u32(b, W * H);
    b.resize(32, 0);
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c) b.push_back(palette_value(i, c) >> 2);
    const Frame f = pattern(3);
    b.insert(b.end(), f.begin(), f.end());
    EXPECT_EQ(cel_frame_count(b.data(), b.size()), 1);
    expect_frame(b, -1, f, true);
    expect_frame(b, 7, f, true);
    b.pop_back();  // one pixel short
    RgbImage img;
    EXPECT_EQ(cel_decode(b.data(), b.size(), 0, &img), kBadArgument);
}

// Headers and chunks that lie: sizes past the file, frame counts the file cannot
// hold, chunks past their frame, a byte run that never fills its line.
TEST(Animator, LyingHeadersAndChunksAreRefused) {
    const Frame f0 = pattern(1);
    const Bytes good = flic(true, {frame({colour_chunk(false), brun(f0)})});
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
        int bytes;
    } cases[] = {
        {"frame count", 6, 4000, 2},
        {"no frames", 6, 0, 2},
        {"depth", 12, 16, 2},
        {"first frame offset past the end", 80, 0x7FFFFFFF, 4},
        {"frame size past the end", 138, 0x7FFFFFF0, 4},
        {"chunk size past the frame", 154, 0x100000, 4},
        {"width past the cap", 8, 0, 2},
    };
    for (const Case& c : cases) {
        Bytes b = good;
        for (int i = 0; i < c.bytes; ++i) b[c.at + i] = (c.value >> (8 * i)) & 255;
        RgbImage img;
        EXPECT_EQ(cel_decode(b.data(), b.size(), 0, &img), kBadArgument) << c.what;
    }
    Bytes zero_run = flic(true, {frame({chunk(15, Bytes{0, 0})})});
    RgbImage img;
    EXPECT_EQ(cel_decode(zero_run.data(), zero_run.size(), 0, &img), kBadArgument);
}

}  // namespace
