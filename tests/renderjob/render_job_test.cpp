// Headless render jobs with a stub renderer that paints the frame number.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

#include "../movie/movie_support.h"
#include "../scanline/scanline_test_util.h"
#include "graphics/raster/raster.h"
#include "imaging/formats/image_buffer.h"
#include "imaging/formats/image_formats.h"
#include "imaging/formats/replace_file.h"
#include "imaging/movie/avi_writer.h"
#include "model/file/drawing_file.h"
#include "model/db/track.h"
#include "model/file/records.h"
#include "model/math/result.h"
#include "model/rtc/rtc.h"
#include "render/job/render_job.h"
#include "render/scanline/render_mesh.h"
#include "render/scanline/render_scene.h"

namespace {

struct Seen {
    std::atomic<int> calls{0};
    std::atomic<int> stop_at{-1};  // frame at which the stub asks for a stop
    std::atomic<uint32_t> flags{0};
    std::atomic<const void*> drawing{nullptr}, objects{nullptr};
} g_seen;

// Paints every pixel with the frame number (current frame + 1, or 200 for a single
// image) in red, reports each row and polls for a stop like the renderer.
int stub_render(ImageDC* dc, RenderSettings* s, const ViewProjection*, MODEL* drawing, const RenderLayerFilter*,
                const CAMERA*, RenderProgressFn progress, RenderRowDoneFn rows, void* ctx) {
    ++g_seen.calls;
    g_seen.flags = s->flags;
    g_seen.drawing = drawing;
    g_seen.objects = s->objects;
    const int frame = drawing->current_frame;
    if (frame >= 0 && frame == g_seen.stop_at) {
        // The user closes the image window mid-frame.
        auto* job = static_cast<RenderJob*>(ctx);
        job->request_stop();
    }
    if (progress(0, dc->height, 0, ctx)) return -1;
    std::vector<uint8_t> row(size_t(dc->width) * 3);
    for (int y = 0; y < dc->height; ++y) {
        for (int x = 0; x < dc->width; ++x) {
            row[x * 3 + 2] = uint8_t(frame >= 0 ? frame * 10 + 5 : 200);  // BGR in memory
            row[x * 3 + 1] = uint8_t(y * 4);
            row[x * 3] = uint8_t(x * 4);
        }
        dc->write_row(dc, 0, y, dc->width, row.data(), row.size(), 0);
        if (rows(dc, y, y, ctx)) return -1;
    }
    return 0;
}

struct TestSink : RenderJobSink {
    std::mutex m;
    int rows_seen = 0, errors = 0, done_calls = 0, result = 12345, error_code = 0;
    std::vector<std::string> captions;
    std::string timing, error_file;
    void rows(int32_t y0, int32_t y1, const uint8_t*, int32_t) override {
        std::lock_guard<std::mutex> l(m);
        rows_seen += y1 - y0 + 1;
    }
    void caption(const std::string& t) override {
        std::lock_guard<std::mutex> l(m);
        captions.push_back(t);
    }
    void error(int code, const std::string& file) override {
        std::lock_guard<std::mutex> l(m);
        ++errors, error_code = code, error_file = file;
    }
    void done(int r, const std::string& t) override {
        std::lock_guard<std::mutex> l(m);
        ++done_calls, result = r, timing = t;
    }
    std::string error_text_seen;
    void error_text(int code, const std::string& text) override {
        std::lock_guard<std::mutex> l(m);
        ++errors, error_code = code, error_text_seen = text;
    }
};

std::string fresh_dir() {
    static int n = 0;
    std::string d = "/tmp/zelo_renderjob_" + std::to_string(getpid()) + "_" + std::to_string(++n);
    mkdir(d.c_str(), 0755);
    return d;
}

struct JobFixture {
    TestScene scene;
    VIEW view;
    std::unique_ptr<CAMERA> camera = rtc_make<CAMERA>();
    TestSink sink;
    RenderJobSetup setup;
    JobFixture(int frames) {
        scene.add_box({0, 0, 0}, {10, 10, 10});
        scene.model->frame_count = frames;
        camera->lens = 1.0;
        setup.drawing = scene.model.get();
        setup.view = &view;
        setup.camera = camera.get();
        setup.sink = &sink;
        setup.render = stub_render;
        setup.title = "drawing : <Viewport>";
        setup.options.size_mode = 0, setup.options.typed_width = 21, setup.options.typed_height = 9;
        g_seen.stop_at = -1;
    }
    int run() {
        RenderJob job;
        const int rc = job.start(setup);
        if (rc) return rc;
        const int result = job.finish();
        EXPECT_EQ(scene.model->current_frame, -1);
        EXPECT_FALSE(job.running());
        return result;
    }
};

TEST(RenderJob, SingleImageWorksOnAPrivateCopy) {
    JobFixture f(0);
    f.setup.options.animation = 1;  // a zero-frame drawing renders one image
    f.view.flags |= 0x800;
    g_seen.calls = 0;
    EXPECT_EQ(f.run(), 0);
    EXPECT_EQ(g_seen.calls, 1);
    EXPECT_NE(g_seen.drawing, f.scene.model.get());
    EXPECT_EQ(f.sink.rows_seen, 9);
    EXPECT_EQ(f.sink.done_calls, 1);
    // The seconds depend on the machine's load: only the form is fixed.
    const std::string& t = f.sink.timing;
    const std::string head = "Rendering time | 0 min, ";
    EXPECT_TRUE(t.starts_with(head) && t.ends_with(" sec") && t.size() > head.size() + 4 &&
                std::all_of(t.begin() + head.size(), t.end() - 4, [](char c) { return c >= '0' && c <= '9'; }))
        << t;
    EXPECT_TRUE(f.sink.captions.empty());
}

TEST(RenderJob, LensMinusOneRendersParallelAndSelectedOnlyMayBeEmpty) {
    JobFixture f(0);
    f.view.flags = 0x800 | 0x100;
    f.camera->lens = -1.0;
    EXPECT_EQ(f.run(), 0);
    EXPECT_EQ(g_seen.flags & 0x800u, 0u);
    EXPECT_EQ(g_seen.objects, nullptr);  // empty selection: nothing to render
    JobFixture g(0);
    g.view.flags = 0;  // parallel: every mesh and light of the copy
    EXPECT_EQ(g.run(), 0);
    EXPECT_NE(g_seen.objects, nullptr);
}

TEST(RenderJob, TargaFramesAreNumberedByTheFrameCount) {
    for (auto [count, want] : {std::pair{9, "name7.tga"}, {10, "name07.tga"}}) {
        JobFixture f(12);
        const std::string dir = fresh_dir();
        f.setup.options.animation = 1, f.setup.options.first_frame = 0, f.setup.options.last_frame = 99;
        f.setup.options.frame_count = count;
        f.setup.options.output_kind = kOutputTarga;
        f.setup.options.output = dir + "/name.tga";
        EXPECT_EQ(f.run(), 0);
        EXPECT_EQ(f.sink.captions.size(), 12u);  // last cut to the drawing's 12 frames
        EXPECT_EQ(f.sink.captions.front(), "drawing : <Viewport> #1");
        const std::vector<uint8_t> bytes = [&] {
            std::vector<uint8_t> b;
            uint8_t* d = nullptr;
            size_t n = 0;
            if (image_file_read((dir + "/" + want).c_str(), &d, &n, 1 << 20) == 0) b.assign(d, d + n), delete[] d;
            return b;
        }();
        RgbImage img;
        ASSERT_EQ(tga_decode(bytes.data(), bytes.size(), &img), 0) << want;
        EXPECT_EQ(img.width, 21);
        EXPECT_EQ(img.pixels[0], 7 * 10 + 5);  // frame 7 painted
    }
}

enum class Kind { Flic, Avi, Mpeg, Targa };

// The drawing saved to `path`, read back as bytes.
std::string saved_bytes(MODEL* model, const std::string& path) {
    drawing_file_register();
    if (drawing_file_save(path.c_str(), model, 0) != 0) return "(not saved)";
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(RenderJob, StopAtFrameThreeLeavesAReadableMovieAndNoTiming) {
    for (Kind k : {Kind::Flic, Kind::Avi, Kind::Mpeg, Kind::Targa}) {
        JobFixture f(10);
        const std::string dir = fresh_dir();
        auto& o = f.setup.options;
        o.animation = 1, o.first_frame = 1, o.last_frame = 10, o.frame_count = 10;
        o.typed_width = 32, o.typed_height = 16;
        o.output_kind = k == Kind::Flic ? kOutputFlic : k == Kind::Avi ? kOutputAvi : k == Kind::Mpeg ? kOutputMpeg : kOutputTarga;
        o.output = dir + (k == Kind::Flic ? "/m.flc" : k == Kind::Avi ? "/m.avi" : k == Kind::Mpeg ? "/m.mpg" : "/f.tga");
        g_seen.stop_at = 3;
        const std::string before = saved_bytes(f.scene.model.get(), dir + "/before.qvm");
        RenderJob job;
        ASSERT_EQ(job.start(f.setup), 0);
        EXPECT_EQ(job.finish(), kRenderJobStopped);
        // The drawing is as it was, byte for byte, and takes new objects.
        EXPECT_EQ(saved_bytes(f.scene.model.get(), dir + "/after.qvm"), before);
        EXPECT_NE(f.scene.add_box({20, 0, 0}, {30, 10, 10}), nullptr);
        EXPECT_EQ(f.sink.result, kRenderJobStopped);
        EXPECT_TRUE(f.sink.timing.empty());
        EXPECT_EQ(f.sink.errors, 0);
        EXPECT_EQ(f.scene.model->current_frame, -1);
        struct stat st;
        if (k == Kind::Targa) {
            EXPECT_EQ(stat((dir + "/f02.tga").c_str(), &st), 0);
            EXPECT_NE(stat((dir + "/f03.tga").c_str(), &st), 0);  // the stopped frame is never written
        } else if (have_ffmpeg()) {
            // FLIC: three frames and the ring frame; MPEG-1: each frame coded twice.
            const int shown = k == Kind::Flic ? 4 : k == Kind::Mpeg ? 6 : 3;
            EXPECT_EQ(probe(o.output, "nb_read_frames"), std::to_string(shown));
        }
    }
}

TEST(RenderJob, FailingOutputsNameTheFileAndKeepTheOldOne) {
    {  // a folder that does not exist: refused before any rendering
        JobFixture f(5);
        f.setup.options.animation = 1, f.setup.options.last_frame = 5;
        f.setup.options.output_kind = kOutputFlic;
        f.setup.options.output = "/nonexistent-folder/m.flc";
        g_seen.calls = 0;
        EXPECT_EQ(f.run(), ENOENT);
        EXPECT_EQ(f.sink.errors, 1);
        EXPECT_EQ(f.sink.error_file, "/nonexistent-folder/m.flc");
        EXPECT_EQ(g_seen.calls, 0);
    }
    {  // the disk fills up half way through an AVI
        JobFixture f(5);
        const std::string dir = fresh_dir();
        auto& o = f.setup.options;
        o.animation = 1, o.last_frame = 5, o.output_kind = kOutputAvi, o.output = dir + "/m.avi";
        FILE* old = std::fopen(o.output.c_str(), "wb");
        std::fputs("old", old);
        std::fclose(old);
        replace_file_test_fail_after(6000, ENOSPC);
        EXPECT_EQ(f.run(), ENOSPC);
        replace_file_test_fail_after(-1, 0);
        EXPECT_EQ(f.sink.error_file, o.output);
        EXPECT_TRUE(f.sink.timing.empty());
        char buf[8] = {};
        old = std::fopen(o.output.c_str(), "rb");
        ASSERT_NE(old, nullptr);
        EXPECT_EQ(std::fread(buf, 1, sizeof buf, old), 3u);
        std::fclose(old);
    }
    {  // MPEG-1 cannot be larger than 4095 a side
        JobFixture f(5);
        f.setup.options.animation = 1, f.setup.options.last_frame = 5, f.setup.options.output_kind = kOutputMpeg;
        f.setup.options.output = fresh_dir() + "/m.mpg";
        f.setup.options.typed_width = 4096, f.setup.options.typed_height = 8;
        EXPECT_EQ(f.run(), kBadArgument);
        EXPECT_EQ(f.sink.errors, 1);
        EXPECT_EQ(f.sink.error_file, "");  // the settings are at fault, not the file
    }
    {  // more frames than a FLIC holds: refused as settings, before any file is made
        JobFixture f(kFlicMaxFrames + 1);
        const std::string dir = fresh_dir();
        auto& o = f.setup.options;
        o.animation = 1, o.last_frame = kFlicMaxFrames + 1, o.output_kind = kOutputFlic, o.output = dir + "/m.flc";
        g_seen.calls = 0;
        EXPECT_EQ(f.run(), kBadArgument);
        EXPECT_EQ(f.sink.errors, 1);
        EXPECT_EQ(f.sink.error_code, kBadArgument);
        EXPECT_EQ(f.sink.error_file, "");
        EXPECT_EQ(g_seen.calls, 0);
        struct stat st;
        EXPECT_NE(stat(o.output.c_str(), &st), 0);
    }
}

}  // namespace

TEST(RenderJob, TheRenderersOwnTextReachesTheSinkNotTheUser) {
    // A renderer failing with its own text on the worker: the sink gets code and text
    // (to show on its window thread); nothing is asked of the user from the worker.
    JobFixture f(0);
    f.setup.render = [](ImageDC*, RenderSettings*, const ViewProjection*, MODEL*, const RenderLayerFilter*,
                        const CAMERA*, RenderProgressFn, RenderRowDoneFn, void*) {
        render_set_message("Theres no objects in the scene");
        return 153;
    };
    EXPECT_EQ(f.run(), 153);
    EXPECT_EQ(f.sink.errors, 1);
    EXPECT_EQ(f.sink.error_code, 153);
    EXPECT_EQ(f.sink.error_text_seen, "Theres no objects in the scene");
    EXPECT_EQ(f.sink.done_calls, 1);
    EXPECT_TRUE(f.sink.timing.empty());
}

TEST(RenderJob, FramesAreTheNamedCamerasNotTheDrawings) {
    // A camera whose track has 10 frames in a drawing of 30, frames 3 to 20: frames 3 to
    // 10 (8 files). A camera without a track renders one image.
    for (bool tracked : {true, false}) {
        JobFixture f(30);
        CAMERA* cam = f.scene.add_camera({0, -50, 20}, {5, 5, 5});
        ASSERT_EQ(cam->set_string(0, "Camera01"), 0);
        if (tracked) {
            KeyframeTrack* t = track_new(nullptr, cam);
            ASSERT_NE(t, nullptr);
            t->position.keys = {PositionKey{0, {}, {0, -50, 20}}, PositionKey{9, {}, {50, -50, 20}}};
            cam->tracks = t;
        }
        const std::string dir = fresh_dir();
        auto& o = f.setup.options;
        o.camera_name = "Camera01";
        o.animation = 1, o.first_frame = 3, o.last_frame = 20, o.frame_count = 10;
        o.output_kind = kOutputTarga, o.output = dir + "/f.tga";
        g_seen.calls = 0;
        EXPECT_EQ(f.run(), 0);
        EXPECT_EQ(g_seen.calls, tracked ? 8 : 1);
        struct stat st;
        EXPECT_EQ(stat((dir + "/f09.tga").c_str(), &st) == 0, tracked);
        EXPECT_NE(stat((dir + "/f10.tga").c_str(), &st), 0);
    }
}

TEST(RenderJob, ANamedCameraIsLookedThroughWithTheViewportsPerspectiveOff) {
    JobFixture f(0);
    f.view.flags = 0;
    CAMERA* cam = f.scene.add_camera({0, -50, 20}, {5, 5, 5});
    ASSERT_EQ(cam->set_string(0, "Camera01"), 0);
    f.setup.options.camera_name = "Camera01";
    EXPECT_EQ(f.run(), 0);
    EXPECT_EQ(g_seen.flags & kRenderPerspective, kRenderPerspective);
    EXPECT_EQ(g_seen.objects, nullptr);  // the kept layers, not the viewport's objects
}

TEST(RenderJob, OneFrameIsNoAnimationAndWritesNoMovie) {
    // A camera with one key (a one-frame animation), and the viewport of a one-frame
    // drawing, both with the animation flag kept from an earlier render: one picture,
    // no frame captions and no movie file.
    for (bool camera : {true, false}) {
        JobFixture f(camera ? 30 : 1);
        auto& o = f.setup.options;
        if (camera) {
            CAMERA* cam = f.scene.add_camera({0, -50, 20}, {5, 5, 5});
            ASSERT_EQ(cam->set_string(0, "Camera01"), 0);
            KeyframeTrack* t = track_new(nullptr, cam);
            ASSERT_NE(t, nullptr);
            t->position.keys = {PositionKey{0, {}, {0, -50, 20}}};
            cam->tracks = t;
            o.camera_name = "Camera01";
        }
        const std::string dir = fresh_dir();
        o.animation = 1, o.first_frame = 1, o.last_frame = 1, o.frame_count = 1;
        o.output_kind = kOutputAvi, o.output = dir + "/m.avi";
        g_seen.calls = 0;
        EXPECT_EQ(f.run(), 0);
        EXPECT_EQ(g_seen.calls, 1);
        EXPECT_TRUE(f.sink.captions.empty()) << f.sink.captions.front();
        struct stat st;
        EXPECT_NE(stat(o.output.c_str(), &st), 0) << "a one-frame movie was written";
    }
}

TEST(RenderJob, RefusedLimitsNameTheLimitAndProgramCodesTheirOwnText) {
    struct Case {
        int32_t kind, frames, width, height;
        const char* says;
    } cases[] = {{kOutputFlic, 5000, 21, 9, "at most 4000 frames; the animation has 5000"},
                 {kOutputMpeg, 5, 4096, 8, "at most 4095 pixels wide; the image is 4096"},
                 {kOutputMpeg, 5, 8, 5000, "at most 4095 pixels high; the image is 5000"},
                 {kOutputAvi, 5, 32768, 8, "at most 32767 pixels wide; the image is 32768"}};
    for (const Case& c : cases) {
        JobFixture f(c.frames);
        auto& o = f.setup.options;
        o.animation = 1, o.last_frame = c.frames, o.output_kind = c.kind, o.output = fresh_dir() + "/m";
        o.typed_width = c.width, o.typed_height = c.height;
        EXPECT_EQ(f.run(), kBadArgument);
        EXPECT_EQ(f.sink.errors, 1);
        EXPECT_NE(f.sink.error_text_seen.find(c.says), std::string::npos) << f.sink.error_text_seen;
    }
    // A file that fails with the program's own code reads the program's text, an errno
    // the system's.
    const std::string memory = render_job_failure_text(kOutOfMemory, "/tmp/m.avi");
    EXPECT_NE(memory.find("/tmp/m.avi"), std::string::npos);
    EXPECT_NE(memory.find("(8: not enough memory)"), std::string::npos) << memory;
    EXPECT_EQ(memory.find(std::strerror(kOutOfMemory)), std::string::npos) << memory;
    EXPECT_NE(render_job_failure_text(ENOSPC, "/tmp/m.avi").find("(28: no space left on device)"), std::string::npos);
    // The number with the reason, as every file message gives them.
    EXPECT_NE(render_job_failure_text(EFBIG, "/tmp/m.avi").find("/tmp/m.avi could not be written (27: file too large)"),
              std::string::npos);
}

TEST(RenderJob, AviFrameBytesAndWriterRefusalsReadTheProgramsTexts) {
    // Sides an AVI holds, but a frame past 512 MiB (60,000 bytes a row, 10,000 rows):
    // the limit and the frame's size are named before any file is made.
    const std::string big = render_job_limit_text(kOutputAvi, 5, 20000, 10000);
    EXPECT_NE(big.find("at most 536870912 bytes; the image needs 600000000"), std::string::npos) << big;
    // The job refuses exactly the frames the writer refuses: 32767 x 5461 (98,304
    // bytes a row) fits, one row more does not.
    const std::string dir = fresh_dir();
    for (int32_t h : {5461, 5462}) {
        AviWriter avi;
        const int rc = avi.open((dir + "/m.avi").c_str(), kAviMaxSide, h, AviOptions{});
        avi.abort();
        EXPECT_EQ(rc == kMovieRefused, !render_job_limit_text(kOutputAvi, 5, kAviMaxSide, h).empty()) << h;
        EXPECT_EQ(rc, h == 5461 ? 0 : kMovieRefused);
    }
    // A writer's refusal is the program's word, not the system's "permission denied".
    const std::string refused = render_job_failure_text(kMovieRefused, "/tmp/m.mpg");
    EXPECT_NE(refused.find("/tmp/m.mpg could not be written (" + std::to_string(kMovieRefused) + ": the movie writer refused"),
              std::string::npos)
        << refused;
}

TEST(RenderJob, AStopBeforeTheFirstFrameKeepsTheOldMovieQuietly) {
    for (int32_t kind : {kOutputFlic, kOutputAvi}) {
        JobFixture f(5);
        auto& o = f.setup.options;
        o.animation = 1, o.first_frame = 1, o.last_frame = 5, o.output_kind = kind;
        o.output = fresh_dir() + (kind == kOutputFlic ? "/m.flc" : "/m.avi");
        FILE* old = std::fopen(o.output.c_str(), "wb");
        std::fputs("old", old);
        std::fclose(old);
        g_seen.stop_at = 0;
        EXPECT_EQ(f.run(), kRenderJobStopped);
        EXPECT_EQ(f.sink.errors, 0) << f.sink.error_code;
        std::ifstream in(o.output, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
    }
}

TEST(RenderJob, ABlackPictureWithoutLightSaysSoBesideTheTime) {
    // A new drawing's first render: one box, no default light, ambient off, no light.
    for (uint32_t mask : {0u, 1u << 4}) {
        JobFixture f(0);
        f.setup.render = render_scene;
        f.view.flags = kRenderGouraud;
        f.view.setting_a = static_cast<decltype(f.view.setting_a)>(mask);
        f.view.colours[4] = 15;
        EXPECT_EQ(f.run(), 0);
        EXPECT_EQ(f.sink.timing.find("|No light in the scene") != std::string::npos, mask == 0) << f.sink.timing;
        EXPECT_EQ(f.sink.timing.rfind("Rendering time | ", 0), 0u);
    }
}

TEST(RenderJob, WhatRendersKeepGoesWithTheJobAndStaysAcrossItsFrames) {
    // A mesh large enough for its normals to be kept, rendered by the real renderer:
    // between frames the working arrays and normals are kept; after the job, nothing.
    for (bool animation : {false, true}) {
        JobFixture f(3);
        f.scene.add_sphere({0, 0, 0}, 8, 250, 290);
        f.scene.add_light({60, 80, 100}, 1, 1, 1);
        f.setup.render = render_scene;
        f.camera->lens = -1.0;  // the parallel view
        const std::string dir = fresh_dir();
        if (animation) {
            auto& o = f.setup.options;
            o.animation = 1, o.first_frame = 1, o.last_frame = 3, o.frame_count = 3;
            o.output_kind = kOutputTarga;
            o.output = dir + "/k.tga";
        }
        std::vector<RenderKeptStats> between;
        auto old = render_job_set_frame_hook([&](RenderJob&, int32_t frame) {
            if (frame > 0) between.push_back(render_kept_stats());
        });
        EXPECT_EQ(f.run(), 0) << animation;
        render_job_set_frame_hook(std::move(old));
        EXPECT_EQ(between.size(), animation ? 2u : 0u);
        for (const RenderKeptStats& s : between) {
            EXPECT_GT(s.scratch_bytes, 0u);
            EXPECT_EQ(s.meshes_kept, 1);
        }
        const RenderKeptStats after = render_kept_stats();
        EXPECT_EQ(after.scratch_bytes, 0u) << animation;
        EXPECT_EQ(after.meshes_kept, 0) << animation;
    }
}
