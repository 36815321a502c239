// Image readers against files ImageMagick makes from pictures the test writes, our
// writers against ImageMagick's reading and against our own readers, and every
// truncation of every fixture refused or read without harm.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "image_test_support.h"
#include "imaging/formats/image_formats.h"

namespace {

using Decode = int (*)(const uint8_t*, size_t, RgbImage*);

struct Fixture {
    const char* file;
    const char* args;  // convert options before the output name
    char picture;      // r rich, p 40 colours, s 12 colours, b two colours, g grey
    Decode decode;
    double min_psnr;   // 0: exact
};

// This ImageMagick writes and reads Targa rows top first even when the descriptor
// says bottom-left; "-flip" makes its files true bottom-left ones of the picture.
const Fixture kFixtures[] = {
    {"BMP3:b24.bmp", "", 'r', &bmp_decode, 0},
    {"b32.bmp", "-alpha set -define bmp:format=bmp4", 'r', &bmp_decode, 0},
    {"b16.bmp", "-define bmp:subtype=RGB565", 'r', &bmp_decode, 0},
    {"BMP3:b8.bmp", "-type Palette", 'p', &bmp_decode, 0},
    {"BMP3:b4.bmp", "-type Palette", 's', &bmp_decode, 0},
    {"BMP3:b1.bmp", "-type Palette", 'b', &bmp_decode, 0},
    {"BMP:bv5.bmp", "", 'r', &bmp_decode, 0},
    {"BMP2:os2.bmp", "", 'r', &bmp_decode, 0},
    {"BMP3:rle8.bmp", "-type Palette -compress RLE", 'p', &bmp_decode, 0},
    {"GIF87:g87.gif", "", 'p', &gif_decode, 0},
    {"gi.gif", "-interlace GIF", 'p', &gif_decode, 0},
    {"g2.gif", "", 'b', &gif_decode, 0},
    {"t24.tga", "-flip ", 'r', &tga_decode, 0},
    {"t32.tga", "-flip -alpha set", 'r', &tga_decode, 0},
    {"trle.tga", "-flip -compress RLE", 'r', &tga_decode, 0},
    {"tmap.tga", "-flip -type Palette", 'p', &tga_decode, 0},
    {"tgrey.tga", "-flip -type Grayscale", 'g', &tga_decode, 0},
    {"tgrle.tga", "-flip -type Grayscale -compress RLE", 'g', &tga_decode, 0},
    {"ttop.tga", "-orient TopLeft", 'r', &tga_decode, 0},
    {"jc.jpg", "-quality 95", 'r', &jpg_decode, 30},
    {"jg.jpg", "-quality 95 -colorspace Gray", 'g', &jpg_decode, 30},
    {"jp.jpg", "-quality 95 -interlace JPEG", 'r', &jpg_decode, 30},
};

Picture picture_of(char kind, int w, int h) {
    switch (kind) {
        case 'p': return picture_palette(w, h, 40);
        case 's': return picture_palette(w, h, 12);
        case 'b': return picture_palette(w, h, 2);
        case 'g': return picture_grey(w, h);
        default: return picture_rich(w, h);
    }
}

std::string out_file(const char* spec) {
    const char* colon = std::strchr(spec, ':');
    return temp_dir() + "/" + (colon ? colon + 1 : spec);
}

std::string make_fixture(const Fixture& f, int w, int h) {
    const Picture p = picture_of(f.picture, w, h);
    const std::string ppm = temp_dir() + "/src.ppm";
    write_ppm(ppm, p);
    const char* colon = std::strchr(f.file, ':');
    const std::string prefix = colon ? std::string(f.file, colon - f.file + 1) : "";
    const std::string out = out_file(f.file);
    if (!convert(ppm + " " + f.args + " " + prefix + out)) return "";
    return out;
}

class ImageFixtures : public ::testing::TestWithParam<Fixture> {};

TEST_P(ImageFixtures, ReadEqualToThePictureAtOddAndEvenWidths) {
    if (!have_convert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    const Fixture& f = GetParam();
    for (const auto& [w, h] : {std::pair{37, 23}, std::pair{1, 1}, std::pair{64, 9}}) {
        const std::string path = make_fixture(f, w, h);
        ASSERT_FALSE(path.empty()) << f.file;
        const auto bytes = file_bytes(path);
        RgbImage img;
        ASSERT_EQ(f.decode(bytes.data(), bytes.size(), &img), 0) << f.file << " " << w << "x" << h;
        ASSERT_EQ(img.width, w);
        ASSERT_EQ(img.height, h);
        const Picture p = picture_of(f.picture, w, h);
        if (f.min_psnr == 0) {
            // 16-bit files hold 5 or 6 bits a channel: compare what they can hold.
            if (std::strstr(f.file, "b16")) {
                for (size_t i = 0; i < p.rgb.size(); ++i)
                    ASSERT_LE(std::abs(img.pixels[i] - p.rgb[i]), 8) << f.file << " byte " << i;
            } else {
                ASSERT_EQ(0, std::memcmp(img.pixels, p.rgb.data(), p.rgb.size())) << f.file << " " << w << "x" << h;
            }
        } else if (w * h > 1) {
            EXPECT_GT(psnr(img.pixels, p.rgb.data(), p.rgb.size()), f.min_psnr) << f.file;
        }
    }
}

// Cut anywhere, a file is refused with 13 or read with what it held; never 8,
// never a fault under the sanitizers.
TEST_P(ImageFixtures, EveryTruncationIsRefusedOrReadSafely) {
    if (!have_convert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    const Fixture& f = GetParam();
    const std::string path = make_fixture(f, 13, 7);
    ASSERT_FALSE(path.empty());
    const auto bytes = file_bytes(path);
    for (size_t n = 0; n < bytes.size(); ++n) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + n);
        RgbImage img;
        const int r = f.decode(cut.data(), cut.size(), &img);
        ASSERT_TRUE(r == 0 || r == kBadArgument) << f.file << " cut at " << n << ": " << r;
    }
}

INSTANTIATE_TEST_SUITE_P(Convert, ImageFixtures, ::testing::ValuesIn(kFixtures));

using Encode = int (*)(const uint8_t*, int32_t, int32_t, ByteSink*);
int jpeg98(const uint8_t* rgb, int32_t w, int32_t h, ByteSink* out) { return jpg_encode(rgb, w, h, 98, out); }

struct Writer {
    const char* ext;
    Encode encode;
    Decode decode;
    double min_psnr;
};
const Writer kWriters[] = {{"bmp", &bmp_encode, &bmp_decode, 0},
                           {"gif", &gif_encode, &gif_decode, 0},
                           {"tga", &tga_encode24, &tga_decode, 0},
                           {"jpg", &jpeg98, &jpg_decode, 38}};

// Our files read back equal by our readers and by ImageMagick.
TEST(ImageWriters, RoundTripsAndImageMagickReadsThemBack) {
    for (const Writer& wr : kWriters) {
        for (const auto& [w, h] : {std::pair{37, 23}, std::pair{1, 1}, std::pair{6, 5}}) {
            const Picture p = wr.min_psnr == 0 && std::strcmp(wr.ext, "gif") == 0 ? picture_palette(w, h, 40)
                                                                               : picture_rich(w, h);
            ByteSink sink;
            ASSERT_EQ(wr.encode(p.rgb.data(), w, h, &sink), 0) << wr.ext;
            RgbImage img;
            ASSERT_EQ(wr.decode(sink.data(), sink.size(), &img), 0) << wr.ext;
            ASSERT_EQ(img.width, w);
            ASSERT_EQ(img.height, h);
            if (wr.min_psnr == 0) {
                EXPECT_EQ(0, std::memcmp(img.pixels, p.rgb.data(), p.rgb.size())) << wr.ext << " " << w;
            } else if (w * h > 1) {
                EXPECT_GT(psnr(img.pixels, p.rgb.data(), p.rgb.size()), wr.min_psnr) << wr.ext;
            }
            if (!have_convert()) continue;
            const std::string ours = temp_dir() + "/ours." + wr.ext, back = temp_dir() + "/back.ppm";
            put_file(ours, std::vector<uint8_t>(sink.data(), sink.data() + sink.size()));
            ASSERT_TRUE(convert(ours + " -depth 8 " + back)) << wr.ext;
            Picture q;
            ASSERT_TRUE(read_ppm(back, &q)) << wr.ext;
            ASSERT_EQ(q.rgb.size(), p.rgb.size());
            // ImageMagick's JPEG decoder rounds differently from ours: near enough.
            if (wr.min_psnr == 0) {
                EXPECT_EQ(q.rgb, std::vector<uint8_t>(img.pixels, img.pixels + img.bytes())) << wr.ext;
            } else if (w * h > 1) {
                EXPECT_GT(psnr(q.rgb.data(), img.pixels, img.bytes()), 40) << wr.ext;
            }
        }
    }
}

// Past 256 colours the GIF writer quantises: near the picture, and every colour it
// writes is one of its palette's.
TEST(ImageWriters, GifOfManyColoursIsQuantisedNearThePicture) {
    const Picture p = picture_rich(200, 120);
    ByteSink sink;
    ASSERT_EQ(gif_encode(p.rgb.data(), p.w, p.h, &sink), 0);
    EXPECT_EQ(0, std::memcmp(sink.data(), "GIF87a", 6));
    RgbImage img;
    ASSERT_EQ(gif_decode(sink.data(), sink.size(), &img), 0);
    EXPECT_GT(psnr(img.pixels, p.rgb.data(), p.rgb.size()), 28);
}

// A large image needs the LZW coder's table resets: 4096 x 64 of noise-like indices.
TEST(ImageWriters, GifCodeTableResetsRoundTrip) {
    Picture p = picture_palette(4096, 64, 256);
    for (size_t i = 0; i < p.rgb.size(); i += 3) {
        const uint32_t v = static_cast<uint32_t>(i * 2654435761u) >> 24;
        p.rgb[i] = static_cast<uint8_t>(v), p.rgb[i + 1] = static_cast<uint8_t>(v * 3), p.rgb[i + 2] = 7;
    }
    ByteSink sink;
    ASSERT_EQ(gif_encode(p.rgb.data(), p.w, p.h, &sink), 0);
    RgbImage img;
    ASSERT_EQ(gif_decode(sink.data(), sink.size(), &img), 0);
    EXPECT_EQ(0, std::memcmp(img.pixels, p.rgb.data(), p.rgb.size()));
}

// Headers that claim more than the cap or more than the bytes hold are refused
// before anything is allocated.
TEST(ImageReaders, SizesPastTheCapOrTheBytesAreRefused) {
    // BMP 40000 x 40000, 24 bits, with 10 bytes of pixels.
    std::vector<uint8_t> bmp(64, 0);
    bmp[0] = 'B', bmp[1] = 'M', bmp[10] = 54, bmp[14] = 40;
    bmp[18] = 0x40, bmp[19] = 0x9C, bmp[22] = 0x40, bmp[23] = 0x9C, bmp[26] = 1, bmp[28] = 24;
    RgbImage img;
    EXPECT_EQ(bmp_decode(bmp.data(), bmp.size(), &img), kBadArgument);
    bmp[18] = 100, bmp[19] = 0, bmp[22] = 100, bmp[23] = 0;  // within the cap, bytes short
    EXPECT_EQ(bmp_decode(bmp.data(), bmp.size(), &img), kBadArgument);
    // Targa 65535 x 65535 raw.
    std::vector<uint8_t> tga(40, 0);
    tga[2] = 2, tga[12] = tga[13] = tga[14] = tga[15] = 0xFF, tga[16] = 24;
    EXPECT_EQ(tga_decode(tga.data(), tga.size(), &img), kBadArgument);
    // GIF with LZW code sizes 1 and 12.
    for (uint8_t cs : {1, 12}) {
        const std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x2C,
                                          0,   0,   0,   0,   1,   0,   1, 0, 0, cs, 1, 0, 0, 0x3B};
        EXPECT_EQ(gif_decode(gif.data(), gif.size(), &img), kBadArgument) << int(cs);
    }
    EXPECT_EQ(jpg_decode(bmp.data(), bmp.size(), &img), kBadArgument);
    EXPECT_EQ(img.pixels, nullptr);
}

TEST(ImageWriters, SizesAFormatCannotHoldAreRefused) {
    const uint8_t px[3] = {1, 2, 3};
    ByteSink sink;
    EXPECT_EQ(bmp_encode(px, 0, 1, &sink), kBadArgument);
    EXPECT_EQ(tga_encode24(px, 70000, 1, &sink), kBadArgument);
    EXPECT_EQ(gif_encode(nullptr, 1, 1, &sink), kBadArgument);
    EXPECT_EQ(sink.size(), 0u);
}

}  // namespace
