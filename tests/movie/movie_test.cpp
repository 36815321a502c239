// Movie writers read back by ffprobe/ffmpeg and by our own FLIC reader.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "../imaging/image_test_support.h"
#include "imaging/formats/image_buffer.h"
#include "imaging/formats/image_formats.h"
#include "imaging/movie/avi_writer.h"
#include "imaging/movie/flic_writer.h"
#include "imaging/movie/mpeg_writer.h"
#include "imaging/quantize/quantize.h"
#include "movie_support.h"

namespace {

#define NEED_FFMPEG() \
    if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg not installed"

std::string write_avi(const std::string& name, int w, int h, int frames, AviCodec codec, int rich) {
    const std::string path = temp_dir() + "/" + name;
    AviWriter avi;
    AviOptions o;
    o.codec = codec;
    EXPECT_EQ(avi.open(path.c_str(), w, h, o), 0);
    for (int f = 0; f < frames; ++f) EXPECT_EQ(avi.add_frame(movie_frame(w, h, f, rich).data()), 0);
    EXPECT_EQ(avi.close(), 0);
    return path;
}

TEST(Avi, ReadBackByFfmpeg) {
    NEED_FFMPEG();
    struct Case {
        const char* name;
        int w, h;
        AviCodec codec;
        const char* codec_name;
    } cases[] = {
        {"dib.avi", 64, 48, AviCodec::Dib, "rawvideo"},
        {"dib321.avi", 321, 17, AviCodec::Dib, "rawvideo"},  // rows need padding
        {"mjpeg.avi", 64, 48, AviCodec::Mjpeg, "mjpeg"},
        {"mjpeg_odd.avi", 161, 121, AviCodec::Mjpeg, "mjpeg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int frames = 5;
        const int style = c.codec == AviCodec::Dib ? kFrameNoisy : kFrameSmooth;
        const std::string path = write_avi(c.name, c.w, c.h, frames, c.codec, style);
        EXPECT_EQ(probe(path, "codec_name"), c.codec_name);
        EXPECT_EQ(probe(path, "width"), std::to_string(c.w));
        EXPECT_EQ(probe(path, "height"), std::to_string(c.h));
        EXPECT_EQ(probe(path, "r_frame_rate"), "15/1");
        EXPECT_EQ(probe(path, "nb_read_frames"), std::to_string(frames));
        const std::vector<uint8_t> got = decode_rgb(path);
        const size_t bytes = size_t(c.w) * c.h * 3;
        ASSERT_EQ(got.size(), bytes * frames);
        for (int f = 0; f < frames; ++f) {
            const std::vector<uint8_t> want = movie_frame(c.w, c.h, f, style);
            if (c.codec == AviCodec::Dib)
                EXPECT_EQ(std::memcmp(got.data() + f * bytes, want.data(), bytes), 0) << "frame " << f;
            else
                EXPECT_GT(psnr(got.data() + f * bytes, want.data(), bytes), 40.0) << "frame " << f;
        }
    }
}

TEST(Avi, PastTheRiffLimitGoesOnInAvixAndReadsWhole) {
    NEED_FFMPEG();
    avi_test_set_riff_limit(30000);  // about three 64 x 48 frames a RIFF
    const int frames = 11;
    const std::string path = write_avi("big.avi", 64, 48, frames, AviCodec::Dib, false);
    avi_test_set_riff_limit(0);
    const std::vector<uint8_t> bytes = file_bytes(path);
    int avix = 0;
    for (size_t i = 0; i + 4 <= bytes.size(); ++i) avix += std::memcmp(&bytes[i], "AVIX", 4) == 0;
    EXPECT_GE(avix, 3);
    EXPECT_EQ(probe(path, "nb_read_frames"), std::to_string(frames));
    const std::vector<uint8_t> got = decode_rgb(path);
    const size_t fb = 64 * 48 * 3;
    ASSERT_EQ(got.size(), fb * frames);
    for (int f = 0; f < frames; ++f)
        EXPECT_EQ(std::memcmp(got.data() + f * fb, movie_frame(64, 48, f, false).data(), fb), 0) << f;
}

// The frames as the FLIC should hold them: every frame mapped through one palette.
std::vector<std::vector<uint8_t>> quantised_frames(int w, int h, int frames, bool rich) {
    ColourCounter cc;
    EXPECT_EQ(cc.init(), 0);
    for (int f = 0; f < frames; ++f)
        EXPECT_EQ(cc.add(movie_frame(w, h, f, rich).data(), size_t(w) * h), 0);
    Quantized q;
    cc.finish(&q);
    std::vector<std::vector<uint8_t>> out;
    std::vector<uint8_t> idx(size_t(w) * h);
    for (int f = 0; f < frames; ++f) {
        cc.map(movie_frame(w, h, f, rich).data(), idx.size(), idx.data());
        std::vector<uint8_t> rgb(idx.size() * 3);
        for (size_t i = 0; i < idx.size(); ++i) std::memcpy(&rgb[i * 3], &q.palette[idx[i] * 3], 3);
        out.push_back(rgb);
    }
    return out;
}

TEST(Flic, EqualsTheQuantisedFramesInFfmpegAndOurReader) {
    NEED_FFMPEG();
    struct Case {
        const char* name;
        int w, h, frames, written;  // written < frames: closed early
        bool rich;
    } cases[] = {
        {"few.flc", 64, 48, 6, 6, false},
        {"rich.flc", 80, 60, 5, 5, true},
        {"odd.flc", 33, 7, 4, 4, true},
        {"single.flc", 16, 16, 1, 1, false},
        {"stopped.flc", 40, 30, 9, 3, true},
        {"long_line.flc", 700, 4, 3, 3, true},  // skips past 255 bytes in a delta
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = temp_dir() + "/" + c.name;
        int err = -1;
        FlicWriter* w = flic_open(path.c_str(), c.frames, 15, c.w, c.h, &err);
        ASSERT_NE(w, nullptr);
        ASSERT_EQ(err, 0);
        for (int f = 0; f < c.written; ++f) ASSERT_EQ(flic_add_frame(w, movie_frame(c.w, c.h, f, c.rich).data()), 0);
        if (c.written < c.frames) {
            ASSERT_NE(w, nullptr);
            EXPECT_EQ(flic_close(w), 0);
        }
        EXPECT_EQ(w, nullptr);
        const auto want = quantised_frames(c.w, c.h, c.written, c.rich);
        const size_t fb = size_t(c.w) * c.h * 3;
        // Our reader: every frame.
        const std::vector<uint8_t> bytes = file_bytes(path);
        EXPECT_EQ(cel_frame_count(bytes.data(), bytes.size()), c.written);
        for (int f = 0; f < c.written; ++f) {
            RgbImage img;
            ASSERT_EQ(cel_decode(bytes.data(), bytes.size(), f, &img), 0);
            EXPECT_EQ(std::memcmp(img.pixels, want[f].data(), fb), 0) << "frame " << f;
        }
        // ffmpeg plays the ring frame too: the first frame once more.
        EXPECT_EQ(probe(path, "codec_name"), "flic");
        EXPECT_EQ(probe(path, "nb_read_frames"), std::to_string(c.written + 1));
        const std::vector<uint8_t> got = decode_rgb(path);
        ASSERT_EQ(got.size(), fb * (c.written + 1));
        for (int f = 0; f <= c.written; ++f)
            EXPECT_EQ(std::memcmp(got.data() + f * fb, want[f % c.written].data(), fb), 0) << "frame " << f;
    }
}

TEST(Flic, RefusesBadCountsAndSizes) {
    const std::string path = temp_dir() + "/bad.flc";
    for (auto [frames, w, h] : {std::tuple{4001, 8, 8}, {0, 8, 8}, {5, 0, 8}, {5, 8, 70000}}) {
        int err = 0;
        EXPECT_EQ(flic_open(path.c_str(), frames, 15, w, h, &err), nullptr);
        EXPECT_EQ(err, kMovieRefused);
    }
    int err = 0;
    FlicWriter* w = flic_open(path.c_str(), kFlicMaxFrames, 15, 8, 8, &err);
    EXPECT_NE(w, nullptr);
    EXPECT_EQ(flic_close(w), kMovieRefused);  // nothing added: nothing written
    EXPECT_TRUE(file_bytes(path).empty());
}

struct MpegSourceState {
    int w, h, calls = 0, stop_at = -1;
};

int mpeg_test_source(int frame, int type, uint8_t* rgb, void* context) {
    auto* s = static_cast<MpegSourceState*>(context);
    EXPECT_EQ(type, frame % 4 == 0 ? kMpegFrameI : kMpegFrameP);
    ++s->calls;
    if (frame == s->stop_at) return -1;
    const std::vector<uint8_t> f = movie_frame(s->w, s->h, frame, kFrameSmooth);
    std::memcpy(rgb, f.data(), f.size());
    return 0;
}

MpegParams mpeg_params(const std::string& path, int w, int h, int frames) {
    MpegParams p;
    p.frame_count = frames, p.width = w, p.height = h;
    std::snprintf(p.output, sizeof p.output, "%s", path.c_str());
    std::strcpy(p.pattern, "IPPP");
    return p;
}

TEST(Mpeg, ReadBackByFfmpegAtThirtyWithEveryFrameTwice) {
    NEED_FFMPEG();
    for (auto [w, h] : {std::pair{160, 120}, {161, 99}}) {
        const std::string path = temp_dir() + "/movie" + std::to_string(w) + ".mpg";
        MpegSourceState st{w, h};
        mpeg_set_frame_source(mpeg_test_source);
        ASSERT_EQ(mpeg_setup(mpeg_params(path, w, h, 10)), 0);
        ASSERT_EQ(mpeg_encode(&st), 0);
        EXPECT_EQ(st.calls, 10);
        EXPECT_EQ(probe(path, "codec_name"), "mpeg1video");
        EXPECT_EQ(probe(path, "r_frame_rate"), "30/1");
        EXPECT_EQ(probe(path, "width"), std::to_string(w));
        EXPECT_EQ(probe(path, "nb_read_frames"), "20");
        const std::vector<uint8_t> got = decode_rgb(path);
        const size_t fb = size_t(w) * h * 3;
        ASSERT_EQ(got.size(), fb * 20);
        for (int f = 0; f < 20; ++f)
            EXPECT_GT(psnr(got.data() + f * fb, movie_frame(w, h, f / 2, kFrameSmooth).data(), fb), 30.0) << f;
    }
}

TEST(Mpeg, RefusesBadParametersAndASecondOutput) {
    const std::string path = temp_dir() + "/p.mpg";
    EXPECT_EQ(mpeg_setup(mpeg_params(path, 4096, 16, 3)), kMovieRefused);
    EXPECT_EQ(mpeg_setup(mpeg_params(path, 16, 16, 0)), kMovieRefused);
    ASSERT_EQ(mpeg_setup(mpeg_params(path, 16, 16, 3)), 0);
    EXPECT_EQ(mpeg_setup(mpeg_params(path, 16, 16, 3)), kMpegOpenFailed);
    mpeg_release();
    EXPECT_EQ(mpeg_setup(mpeg_params("/nonexistent-folder/x.mpg", 16, 16, 3)), kMpegOpenFailed);
    EXPECT_EQ(mpeg_last_open_errno(), ENOENT);
}

}  // namespace
