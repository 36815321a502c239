// Scene lights and animation as the renderer reads them: spot exponents, parent
// hierarchies of keyframe tracks on private copies, and material noise per render.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/material/material.h"
#include "render/scanline/render_context.h"
#include "scanline_test_util.h"

namespace {

KeyframeTrack* moving_track(object* owner, const char* name, Vec3 at0, Vec3 at1) {
    KeyframeTrack* t = track_new(name, owner);
    if (!t) return nullptr;
    t->position.keys.push_back(PositionKey{0, {0, 0, 0, 0, 0}, {at0.x, at0.y, at0.z}});
    t->position.keys.push_back(PositionKey{1, {0, 0, 0, 0, 0}, {at1.x, at1.y, at1.z}});
    t->next_track = owner->tracks;
    owner->tracks = t;
    return t;
}

}  // namespace

TEST(RenderLights, SpotExponentNarrowsTheBeam) {
    // A spot straight above a white plane, no cone: a point at cosine c from the axis
    // gets c (the diffuse cosine) times c^exponent.
    for (int exponent : {0, 4}) {
        TestScene s;
        s.add_mesh({{0, 0, 0}, {64, 0, 0}, {64, 64, 0}, {0, 0, 0}, {64, 64, 0}, {0, 64, 0}});
        auto spot = rtc_make<SPOTLITE>();
        spot->position = {32, 32, 50};
        spot->target = {32, 32, 0};
        spot->light_colour[0] = spot->light_colour[1] = spot->light_colour[2] = 1.0f;
        spot->word = exponent;
        EXPECT_EQ(container_insert(s.layer, spot.release()), 0);
        s.settings.flags = kRenderPhong;
        Image24 img(64, 64);
        ASSERT_EQ(s.render(img), 0);
        for (int px : {32, 48, 61}) {
            // Pixel (px, 31) shows the drawing point (px + 0.5, 32.5).
            const double dx = px + 0.5 - 32, dy = 0.5;
            const double c = 50.0 / std::sqrt(dx * dx + dy * dy + 2500.0);
            const double expected = 255.0 * std::pow(c, 1.0 + exponent);
            uint8_t p[3];
            img.rgb(px, 31, p);
            EXPECT_NEAR(p[0], expected, 2.0) << "exponent " << exponent << " x " << px;
        }
    }
}

TEST(RenderAnimation, ParentTracksMoveChildrenWithoutWritingTheDrawing) {
    // A box whose own track keeps it still, under a parent track (of another object)
    // that carries it 30 units along x by frame 1; a self-lit box, so only its place
    // matters.
    TestScene s;
    MESH3* box = s.add_box({0, 0, -5}, {10, 10, 5}, 0, 1.0f);
    KeyframeTrack* child = moving_track(box, "still", {0, 0, 0}, {0, 0, 0});
    auto holder = rtc_make<MESH3>();  // not in the object buffer: not rendered
    KeyframeTrack* parent = moving_track(holder.get(), "carrier", {0, 0, 0}, {30, 0, 0});
    EXPECT_EQ(container_insert(s.layer, holder.release()), 0);
    ASSERT_NE(child, nullptr);
    ASSERT_NE(parent, nullptr);
    ASSERT_EQ(track_link_child(parent, child), 0);
    s.model->frame_count = 2;
    s.model->current_frame = 1;
    s.settings.flags = kRenderFlat;
    for (int threads : {1, 4}) {
        render_set_thread_count(threads);
        Image24 img(60, 20);
        ASSERT_EQ(s.render(img), 0);
        render_set_thread_count(0);
        uint8_t moved[3], home[3];
        img.rgb(35, 15, moved);
        img.rgb(5, 15, home);
        EXPECT_EQ(moved[0], 255) << threads;
        EXPECT_EQ(home[0], 0) << threads;
    }
    // Neither the box's track nor its parent was evaluated in the drawing.
    EXPECT_EQ(child->cached_frame, -1);
    EXPECT_EQ(parent->cached_frame, -1);
    EXPECT_EQ(child->parent, parent);
    EXPECT_EQ(box->blocks->vertices[0].x, 0.0f);
}

TEST(RenderShading, MaterialNoiseChangesFromRenderToRender) {
    // With randomness 0 two renders give the same bytes; above 0 they differ.
    for (float randomness : {0.0f, 0.5f}) {
        TestScene s;
        MESH3* box = s.add_box({-20, -20, -20}, {20, 20, 20});
        box->material->randomness = randomness;
        s.add_light({0, 0, 100}, 1, 1, 1);
        s.settings.flags = kRenderGouraud;
        Image24 a(40, 40), b(40, 40);
        ASSERT_EQ(s.render(a), 0);
        ASSERT_EQ(s.render(b), 0);
        EXPECT_EQ(a.bytes() == b.bytes(), randomness == 0.0f) << randomness;
    }
}

TEST(RenderShading, AGivenNoiseSeedRepeatsOnOneThreadAndOnAllCores) {
    // Randomness 0.3 with the seed given: one thread and every core draw the same
    // noise, in Gouraud and in Phong shading (the sphere spans many bands).
    for (uint32_t flags : {kRenderGouraud, kRenderPhong}) {
        TestScene s;
        s.add_sphere({0, 0, 0}, 30, 24, 48)->material->randomness = 0.3f;
        s.add_light({-40, 50, 100}, 1, 1, 1);
        s.settings.flags = flags | kRenderAntialias;
        s.settings.noise_seed = 12345;
        Image24 one(80, 80), all(80, 80);
        render_set_thread_count(1);
        ASSERT_EQ(s.render(one), 0);
        render_set_thread_count(0);
        ASSERT_EQ(s.render(all), 0);
        EXPECT_EQ(one.bytes(), all.bytes()) << flags;
    }
}

namespace {
struct ProgressLog {
    int32_t total0 = 0, max0 = 0, calls0 = 0;
    bool over_total = false;
};
int log_progress(int32_t current, int32_t total, int32_t phase, void* c) {
    auto* log = static_cast<ProgressLog*>(c);
    if (phase != 0) return 0;
    ++log->calls0;
    log->total0 = total;
    log->max0 = std::max(log->max0, current);
    log->over_total = log->over_total || current > total;
    return 0;
}
}  // namespace

TEST(RenderProgress, PreparationMovesTowardItsEstimate) {
    // Before the rows, the progress record counts the preparation's work against the
    // estimate it announced (never beyond it), on one thread or many.
    for (uint32_t method : {uint32_t(kRenderGouraud), uint32_t(kRenderPhong)})
        for (int threads : {1, 4}) {
            TestScene s;
            s.add_sphere({0, 0, 0}, 30, 60, 120);  // 14400 faces
            s.add_light({60, 80, 100}, 1, 1, 1);
            s.settings.flags = method;
            ProgressLog log;
            render_set_thread_count(threads);
            Image24 img(48, 48);
            ASSERT_EQ(s.render(img, nullptr, log_progress, nullptr, &log), 0);
            render_set_thread_count(0);
            ASSERT_GT(log.total0, 48);
            EXPECT_GE(log.max0, (log.total0 - 48) / 2) << method << " " << threads;
            EXPECT_FALSE(log.over_total);
            EXPECT_GT(log.calls0, 10);
        }
}

TEST(RenderThreads, OutOfMemoryOnAWorkerReachesTheCaller) {
    // Every range still runs; the failure is thrown once all threads have ended.
    for (int64_t failing : {0, 5, 7}) {
        std::atomic<int> ran{0};
        EXPECT_THROW(render_parallel_for(4, 8,
                                         [&](int64_t i) {
                                             ++ran;
                                             if (i == failing) throw std::bad_alloc();
                                         }),
                     std::bad_alloc)
            << failing;
        EXPECT_GE(ran.load(), 1);
    }
}

TEST(RenderShading, ValuesThatAreNotNumbersRenderBlack) {
    // A damaged material colour or light colour (not a number) gives black pixels,
    // never an undefined integer conversion.
    const float nan = std::nanf("");
    TestScene s;
    MESH3* box = s.add_box({0, 0, -5}, {30, 30, 5}, 0, 1.0f);
    box->material->colour[0] = nan;
    s.add_light({15, 15, 40}, nan, 1, 1);
    s.settings.flags = kRenderPhong;
    Image24 img(40, 40);
    ASSERT_EQ(s.render(img), 0);
    uint8_t p[3];
    img.rgb(10, 25, p);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[1], 255);
}

TEST(RenderScene, FarAndNonFiniteVerticesStayInRange) {
    // A self-lit triangle reaching far beyond the image still covers it where it lies;
    // a face with a vertex that is not finite is skipped, its neighbours drawn; in
    // perspective the same through the near plane.
    const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
    for (bool camera : {false, true}) {
        TestScene s;
        s.add_mesh({{0, 0, 0}, {1e30f, 0, 0}, {0, 1e30f, 0}}, 0, 1.0f);
        MESH3* bad = s.add_mesh({{-40, 0, 0}, {-1, 0, 0}, {-1, 39, 0},          // drawn
                                 {-40, 0, 1}, {nan, 0, 1}, {-1, 39, 1},         // skipped
                                 {-40, 1, 2}, {-1, inf, 2}, {-1, 39, 2}},       // skipped
                                0, 1.0f);
        bad->material->colour[1] = 0;
        s.view.origin_x = -40;
        s.view.origin_y = -20;
        std::unique_ptr<CAMERA> cam;
        if (camera) {
            cam = rtc_make<CAMERA>();
            cam->position = {0, 20, 60};
            cam->target = {0, 20, 0};
            cam->up = {0, 1, 0};
            cam->lens = 60.0 / 80.0;  // the image spans x -40..40 at the target
            s.settings.flags = kRenderFlat | kRenderPerspective;
        } else {
            s.settings.flags = kRenderFlat;
        }
        Image24 img(80, 40);
        ASSERT_EQ(s.render(img, cam.get()), 0) << camera;
        uint8_t p[3];
        img.rgb(60, 10, p);  // inside the far-reaching triangle
        EXPECT_EQ(p[1], 255) << camera;
        img.rgb(35, 10, p);  // inside the drawn face of the damaged mesh
        EXPECT_EQ(p[0], 255) << camera;
        EXPECT_EQ(p[1], 0) << camera;
    }
}
