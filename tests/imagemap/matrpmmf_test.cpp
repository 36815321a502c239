// Image-map texture patterns: kept file bytes, decoding on demand, copies, and the
// attachment of images to texture mappings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include "model/db/patt.h"
#include "model/db/texture_map.h"
#include "model/db/tree.h"
#include "model/material/image/matrpmmf.h"
#include "model/material/material.h"
#include "model/math/result.h"

namespace {

struct DecodeLog {
    int calls = 0;
    int32_t last_frame = -99;
};
DecodeLog g_log;

// A stand-in reader: the first byte is the width, the second the height, the rest
// fills the pixels with the frame number; fewer than two bytes is bad data (13).
int fake_decoder(const uint8_t* data, uint32_t size, int32_t frame, int32_t* w, int32_t* h,
                 uint8_t** pixels) {
    ++g_log.calls;
    g_log.last_frame = frame;
    if (!data || size < 2) return 13;
    *w = data[0];
    *h = data[1];
    const size_t n = static_cast<size_t>(*w) * static_cast<size_t>(*h) * 3;
    *pixels = new uint8_t[n];
    for (size_t i = 0; i < n; ++i) (*pixels)[i] = static_cast<uint8_t>(i == 0 ? 51 + frame : 7);
    return 0;
}

class MatrpmmfTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rtc_register_all();
        MATRPMMF_register();
        for (int k = 0; k < 5; ++k) texture_image_set_decoder(k, &fake_decoder);
        g_log = {};
    }
    void TearDown() override {
        for (int k = 0; k < 5; ++k) texture_image_set_decoder(k, nullptr);
    }
};

const uint8_t kTwoByThree[] = {2, 3, 0xAA};

// An animated map "fire" in the drawing's patterns; null when it cannot be made.
MATRPMMF* add_animation(MODEL* model) {
    auto flc = rtc_make<MATRPMMF>();
    if (flc->set_string(0, "fire") != 0 ||
        flc->set_data(kImageKindAnimator, "fire.flc", kTwoByThree, sizeof kTwoByThree) != 0)
        return nullptr;
    MATRPMMF* raw = flc.get();
    return model_insert_patt(model, flc.release()) == 1 ? raw : nullptr;
}

TEST_F(MatrpmmfTest, StillImagesDecodeOnceAnimatedOnesAtEveryRequest) {
    auto gif = rtc_make<MATRPMMF>();
    ASSERT_EQ(gif->set_data(kImageKindGif, "wood.gif", kTwoByThree, sizeof kTwoByThree), 0);
    EXPECT_FALSE(gif->has_own_pixels());
    EXPECT_EQ(gif->make_image_ready(), 0);
    EXPECT_EQ(gif->make_image_ready(), 0);
    EXPECT_EQ(g_log.calls, 1);
    EXPECT_EQ(gif->width, 2);
    EXPECT_EQ(gif->height, 3);
    EXPECT_EQ(g_log.last_frame, 0);  // not in a drawing

    auto model = rtc_make<MODEL>();
    MATRPMMF* flc_raw = add_animation(model.get());
    ASSERT_NE(flc_raw, nullptr);
    g_log = {};
    model->current_frame = 4;
    EXPECT_EQ(flc_raw->make_image_ready(), 0);
    model->current_frame = 5;
    EXPECT_EQ(flc_raw->make_image_ready(), 0);
    EXPECT_EQ(g_log.calls, 2);
    EXPECT_EQ(g_log.last_frame, 5);
    EXPECT_EQ(flc_raw->pixels[0], 56);
}

// Playback steps the drawing's frame on one thread while another makes an animated map
// ready (ThreadSanitizer watches the frame in ./test.sh).
TEST_F(MatrpmmfTest, FrameSteppedWhileAnotherThreadDecodes) {
    auto model = rtc_make<MODEL>();
    MATRPMMF* flc_raw = add_animation(model.get());
    ASSERT_NE(flc_raw, nullptr);
    constexpr int kFrames = 200;
    std::thread playback([&model] {
        for (int32_t f = 0; f < kFrames; ++f) model->current_frame = f;
    });
    int32_t lowest = kFrames, highest = -2, failed = 0;
    for (int i = 0; i < kFrames; ++i) {
        failed += flc_raw->make_image_ready() != 0;
        lowest = std::min(lowest, g_log.last_frame);
        highest = std::max(highest, g_log.last_frame);
    }
    playback.join();
    EXPECT_EQ(failed, 0);
    EXPECT_GE(lowest, -1);  // the frame before playback, or one it set
    EXPECT_LT(highest, kFrames);
}

TEST_F(MatrpmmfTest, BadDataKeepsThePlaceholderAndKindsWithoutRawBytesNeedNoDecode) {
    struct Row {
        int32_t kind;
        uint32_t size;
        bool decoder;
        int code;
        int calls;
    };
    const Row rows[] = {
        {kImageKindJpeg, 0, true, 13, 1},  // empty data: the reader fails
        {kImageKindBmp, 3, false, 1, 0},   // no reader installed
        {kImageKindTarga, 3, true, 0, 0},  // never kept raw
        {kImageKindNone, 3, true, 0, 0},   // nothing to decode
        {7, 3, true, 0, 0},                // unknown kind
    };
    for (const Row& r : rows) {
        g_log = {};
        texture_image_set_decoder(kImageKindBmp, r.decoder ? &fake_decoder : nullptr);
        auto p = rtc_make<MATRPMMF>();
        ASSERT_EQ(p->set_data(r.kind, "x", r.size ? kTwoByThree : nullptr, r.size), 0);
        EXPECT_EQ(p->make_image_ready(), r.code) << "kind " << r.kind;
        EXPECT_EQ(g_log.calls, r.calls) << "kind " << r.kind;
        EXPECT_FALSE(p->has_own_pixels());
        EXPECT_EQ(p->width, 1);
        EXPECT_EQ(p->height, 1);
        EXPECT_EQ(p->pixels[0], 0);
    }
}

TEST_F(MatrpmmfTest, CopiesAreIndependent) {
    auto src = rtc_make<MATRPMMF>();
    src->set_string(0, "brick");
    ASSERT_EQ(src->set_data(kImageKindGif, "brick.gif", kTwoByThree, sizeof kTwoByThree), 0);
    std::unique_ptr<RTC> out;
    ASSERT_EQ(rtc_clone(&out, src.get()), 0);
    auto* copy = static_cast<MATRPMMF*>(out.get());
    EXPECT_EQ(copy->klass(), &MATRPMMF::rtc_class);
    EXPECT_STREQ(copy->name(), "brick");
    EXPECT_EQ(copy->kind, kImageKindGif);
    ASSERT_EQ(copy->size, sizeof kTwoByThree);
    EXPECT_NE(copy->data, src->data);
    EXPECT_NE(copy->file_name, src->file_name);
    // The copy decoded the source (copying pixels needs them ready).
    EXPECT_TRUE(src->has_own_pixels());
    EXPECT_TRUE(copy->has_own_pixels());
    EXPECT_NE(copy->pixels, src->pixels);
    src.reset();
    EXPECT_STREQ(copy->file_name, "brick.gif");
    EXPECT_EQ(std::memcmp(copy->data, kTwoByThree, sizeof kTwoByThree), 0);
    EXPECT_EQ(copy->width, 2);
}

TEST_F(MatrpmmfTest, MappingTakesTheKeyColourOnlyWithCoverage) {
    auto img = rtc_make<MATRPMMF>();
    ASSERT_EQ(img->set_data(kImageKindBmp, "k.bmp", kTwoByThree, sizeof kTwoByThree), 0);
    TextureMapping m;
    texture_mapping_init(&m);
    m.key_colour[3] = 0.5f;
    EXPECT_EQ(texture_mapping_set_image(&m, img.get()), 0);
    EXPECT_EQ(m.image, img.get());
    EXPECT_EQ(g_log.calls, 0);  // no decode without the coverage flag
    for (float c : m.key_colour) EXPECT_EQ(c, 0.0f);

    m.flags = kMappingImageCoverage;
    EXPECT_EQ(texture_mapping_set_image(&m, img.get()), 0);
    EXPECT_FLOAT_EQ(m.key_colour[0], 51 / 255.0f);
    EXPECT_FLOAT_EQ(m.key_colour[1], 7 / 255.0f);

    auto bad = rtc_make<MATRPMMF>();
    ASSERT_EQ(bad->set_data(kImageKindBmp, "bad.bmp", kTwoByThree, 1), 0);
    EXPECT_EQ(texture_mapping_set_image(&m, bad.get()), kBadArgument);
    EXPECT_FLOAT_EQ(m.key_colour[0], 51 / 255.0f);  // left as it was
}

TEST_F(MatrpmmfTest, CopyMaskedTakesOnlyTheSelectedFieldsAndRebuildsTheMatrix) {
    TextureMapping src, dst;
    texture_mapping_init(&src);
    texture_mapping_init(&dst);
    src.interpolation = 3;
    src.angle = 90;
    src.flags = kMappingMirrorU | kMappingDecal | kMappingImageCoverage;
    src.u_scale = 2;
    src.v_scale = 4;
    src.u_offset = 0.25f;
    src.v_offset = 0.5f;

    EXPECT_EQ(texture_mapping_copy_masked(&dst, &src, kMappingCopyUScale | kMappingCopyAngle), 0);
    EXPECT_EQ(dst.interpolation, 1);
    EXPECT_EQ(dst.u_scale, 2.0f);
    EXPECT_EQ(dst.v_scale, 1.0f);
    EXPECT_EQ(dst.angle, 90.0f);
    EXPECT_EQ(dst.flags, kMappingMirrorU);  // the decal and coverage bits were not selected
    Matrix43 expected;
    texture_mapping_build_matrix(&expected, 2, 1, 90, true, false, 0, 0);
    for (int i = 0; i < 12; ++i) EXPECT_DOUBLE_EQ(dst.matrix.m[i], expected.m[i]) << i;

    EXPECT_EQ(texture_mapping_copy_masked(&dst, &src,
                                          kMappingCopyInterpolation | kMappingCopyDecal |
                                              kMappingCopyVScale | kMappingCopyUOffset |
                                              kMappingCopyVOffset),
              0);
    EXPECT_EQ(dst.interpolation, 3);
    EXPECT_EQ(dst.flags, kMappingMirrorU | kMappingDecal);
    EXPECT_EQ(dst.v_scale, 4.0f);
    EXPECT_EQ(dst.u_offset, 0.25f);
    EXPECT_EQ(dst.v_offset, 0.5f);
}

}  // namespace
