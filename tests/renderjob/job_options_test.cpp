// Sizes, frame ranges, frame file names and the timing text of the render job.
#include <gtest/gtest.h>

#include <cstdint>

#include "graphics/view/view.h"
#include "render/job/job_options.h"

namespace {

TEST(RenderJobOptions, ImageSizeByMode) {
    struct Case {
        int mode, typed_w, typed_h, client_w, client_h, rc, w, h;
    } cases[] = {
        {0, 100, 50, 0, 0, 0, 100, 50},       {0, 0, 50, 0, 0, 0, 320, 240},
        {1, 0, 0, 600, 400, 0, 600, 400},      {1, 0, 0, 0, 0, 0, 320, 240},  // empty client area
        {2, 0, 0, 0, 0, 0, 1600, 1200},        {8, 0, 0, 0, 0, 0, 320, 240},
        {10, 0, 0, 0, 0, 0, 736, 486},         {11, 0, 0, 0, 0, 0, 736, 486},  // clamped
        {-1, 64, 48, 0, 0, 0, 64, 48},         {9, 0, 0, 0, 0, 0, 736, 578},
        {0, 32000, 32000, 0, 0, 8, 0, 0},      // would wrap 32 bits: refused
        {0, 70000, 2, 0, 0, 8, 0, 0},
    };
    for (const Case& c : cases) {
        RenderJobOptions o;
        o.size_mode = c.mode, o.typed_width = c.typed_w, o.typed_height = c.typed_h;
        int32_t w = 0, h = 0;
        EXPECT_EQ(render_job_image_size(o, c.client_w, c.client_h, &w, &h), c.rc) << c.mode;
        if (c.rc == 0) {
            EXPECT_EQ(w, c.w) << c.mode;
            EXPECT_EQ(h, c.h) << c.mode;
        }
    }
}

TEST(RenderJobOptions, FrameRangeAndNames) {
    int32_t first = -5, end = -5;
    EXPECT_TRUE(render_job_frame_range(0, 5, 10, &first, &end));
    EXPECT_EQ(first, 0); EXPECT_EQ(end, 5);
    EXPECT_TRUE(render_job_frame_range(3, 99, 10, &first, &end));  // last cut to the count
    EXPECT_EQ(first, 2); EXPECT_EQ(end, 10);
    EXPECT_FALSE(render_job_frame_range(11, 20, 10, &first, &end));
    // Stored words at their extremes (a fuzzed viewport): no overflow, frame 0 first.
    EXPECT_TRUE(render_job_frame_range(INT32_MIN, INT32_MAX, 10, &first, &end));
    EXPECT_EQ(first, 0); EXPECT_EQ(end, 10);

    struct Name {
        const char* output;
        int count, frame;
        const char* want;
    } names[] = {
        {"/tmp/a/name.tga", 9, 7, "/tmp/a/name7.tga"},
        {"/tmp/a/name.tga", 10, 7, "/tmp/a/name07.tga"},
        {"/tmp/a/name.tga", 999999, 7, "/tmp/a/name000007.tga"},
        {"/tmp/a/name.tga", 1000000, 7, "/tmp/a/name0000007.tga"},
        {"/tmp/a/name.tga", 2000000000, 12, "/tmp/a/name0000012.tga"},
        {"/tmp/a/name.tga", 0, 3, "/tmp/a/name3.tga"},
        {"/tmp/v1.2/name", 100, 5, "/tmp/v1.2/name005"},  // the dot is in the folder
        {"frame.jpg", 5, 0, "frame0.jpg"},
    };
    for (const Name& n : names) EXPECT_EQ(render_job_frame_name(n.output, n.count, n.frame), n.want);
}

TEST(RenderJobOptions, TimingTextAndViewWords) {
    EXPECT_EQ(render_job_timing_text("Rendering time", 0), "Rendering time | 0 min, 0 sec");
    EXPECT_EQ(render_job_timing_text("Rendering time", 3725), "Rendering time | 62 min, 5 sec");

    VIEW view;
    RenderJobOptions o;
    o.camera_name = "Cam1", o.first_frame = 2, o.last_frame = 9, o.frame_count = 30, o.animation = 1;
    o.output_kind = kOutputFlic, o.typed_width = 321, o.typed_height = 7, o.size_mode = 0;
    render_job_options_write(&view, o);
    EXPECT_EQ(view.words5[0], 3);  // the ray-trace depth stays
    RenderJobOptions back;
    render_job_options_read(view, &back);
    EXPECT_EQ(back.camera_name, "Cam1");
    EXPECT_EQ(back.first_frame, 2); EXPECT_EQ(back.last_frame, 9); EXPECT_EQ(back.frame_count, 30);
    EXPECT_EQ(back.animation, 1); EXPECT_EQ(back.output_kind, kOutputFlic);
    EXPECT_EQ(back.typed_width, 321); EXPECT_EQ(back.typed_height, 7); EXPECT_EQ(back.size_mode, 0);
    view.words4[0] = 99;  // a hostile file
    render_job_options_read(view, &back);
    EXPECT_EQ(back.output_kind, 7);
}

}  // namespace
