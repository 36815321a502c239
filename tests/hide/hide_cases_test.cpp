// The store's and the run's cases: line work alone, smooth edges, status counts,
// triangles behind the camera, cancelling, running out of memory, the vertex hash,
// the picture fit, line styles and repeatable output.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <limits>

#include "hide_scene.h"
#include "model/db/patt.h"
#include "model/file/drawing_file.h"

using namespace hide_test;

TEST(HideCases, LinesAloneAskBeforeDrawingEverything) {
    for (bool yes : {true, false}) {
        Scene s;
        add_line(s.model.get(), {0, 0, 0}, {1, 0, 0});
        add_line(s.model.get(), {0, 0, 1}, {1, 1, 1});
        s.look({0, 0, 1});
        TestHost host;
        host.answer = yes;
        const HideRunResult r = run_hide(s, true, {}, &host);
        EXPECT_TRUE(r.asked);
        EXPECT_EQ(r.code, yes ? 0 : 3);
        EXPECT_EQ(r.visible.size(), yes ? 2u : 0u);
        EXPECT_TRUE(r.hidden.empty());
    }
}

TEST(HideCases, NothingToHide) {
    Scene s;  // an empty drawing
    const HideRunResult r = run_hide(s);
    EXPECT_EQ(r.code, 2);
}

// Two coplanar triangles sharing an edge: the edge goes at 5 degrees, stays at 0.
TEST(HideCases, SmoothEdgeDroppedByTheAngularTolerance) {
    struct Case {
        double degrees;
        int edges;
    } cases[] = {{5, 4}, {0, 5}, {0.001, 4}};
    for (bool camera : {false, true}) {
        for (const Case& c : cases) {
            Scene s;
            MESH3* m = add_mesh(s.model.get());
            const Vec3 p[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
            EXPECT_EQ(mesh_add_face(m, &p[0], &p[1], &p[2], nullptr, 0), 0);
            EXPECT_EQ(mesh_add_face(m, &p[0], &p[2], &p[3], nullptr, 0), 0);
            s.look({0.2, 0.1, 1});
            if (camera) s.camera_at({0.5, 0.5, 0}, {0.2, 0.1, 1}, 5);
            HideSettings set;
            set.angular = c.degrees * M_PI / 180.0;
            const HideRunResult r = run_hide(s, true, set);
            EXPECT_EQ(r.code, 0);
            EXPECT_EQ(r.counts.edges, c.edges) << c.degrees << " degrees";
            EXPECT_EQ(int(r.visible.size()), c.edges);
        }
    }
}

TEST(HideCases, StatusCountsAndShortEdges) {
    struct Case {
        bool short_line;
        const char* status;
    } cases[] = {{false, "V=8 T=12 E=12 S=0"}, {true, "V=10 T=12 E=12 S=1"}};
    for (const Case& c : cases) {
        Scene s;
        add_box(s.model.get(), {0, 0, 0}, {1, 1, 1});
        if (c.short_line) add_line(s.model.get(), {3, 3, 3}, {3.05f, 3, 3});  // below 0.1
        s.look({1, 0.8, 1.3});
        const HideRunResult r = run_hide(s);
        EXPECT_EQ(r.code, 0);
        ASSERT_GE(r.statuses.size(), 3u);
        EXPECT_EQ(r.statuses[1], c.short_line ? "... (1)" : "... (0)");
        EXPECT_EQ(r.statuses[2], c.status);
    }
}

TEST(HideCases, TriangleBehindTheCameraIsDroppedOneThroughTheEyePlaneCut) {
    Scene s;
    add_triangle(s.model.get(), {-1, -1, 0}, {1, -1, 0}, {0, 1, 0});        // in front
    add_triangle(s.model.get(), {-1, -1, 20}, {1, -1, 20}, {0, 1, 20});     // behind the eye
    add_triangle(s.model.get(), {-1, -1, 5}, {1, -1, 5}, {0, 1, 15});       // through the eye plane
    s.look({0, 0, 1});
    s.camera_at({0, 0, 0}, {0, 0, 1}, 10);
    const HideRunResult r = run_hide(s);
    EXPECT_EQ(r.code, 0);
    // The one through the eye plane is cut there into two: what lies in front still hides.
    EXPECT_EQ(r.counts.triangles, 3);
    for (const auto* list : {&r.visible, &r.hidden})
        for (const Seg& g : *list)
            for (double v : {g.x0, g.y0, g.x1, g.y1}) EXPECT_TRUE(std::isfinite(v));
}

// Line work crossing the eye plane is cut there; lines on the right and top of the
// picture count like those on the left and bottom.
TEST(HideCases, PerspectiveKeepsEveryQuadrant) {
    Scene s;
    for (float x : {-2.0f, 2.0f})
        for (float y : {-2.0f, 2.0f}) add_line(s.model.get(), {x, y, 0}, {x * 1.5f, y * 1.5f, 0});
    add_line(s.model.get(), {0.5f, 0, 0}, {0.5f, 0, 30});  // crosses the eye plane at z = 10
    s.look({0, 0, 1});
    s.camera_at({0, 0, 0}, {0, 0, 1}, 10);
    const HideRunResult r = run_hide(s);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.visible.size(), 5u) << segment_text(r.visible);
}

TEST(HideCases, CancelDuringTheStorePassDrawsNothing) {
    Scene s;
    for (int i = 0; i < 30; ++i) add_box(s.model.get(), {float(i), 0, 0}, {i + 0.5f, 1, 1});
    s.look({1, 0.8, 1.3});
    TestHost host;
    host.cancel_at_store_step = 1;
    const HideRunResult r = run_hide(s, true, {}, &host);
    EXPECT_EQ(r.code, 4);
    EXPECT_TRUE(r.visible.empty());
    EXPECT_TRUE(r.hidden.empty());
    EXPECT_TRUE(host.closed);
}

// Every pool block allocation in turn fails: the run says 1 and leaks nothing (the
// sanitizer build checks the leaks).
TEST(HideCases, OutOfMemoryAnywhereEndsWithCodeOne) {
    int failed = 0;
    for (int64_t n = 1;; ++n) {
        Scene s;
        add_box(s.model.get(), {0, 0, 0}, {1, 1, 1});
        add_box(s.model.get(), {2, 0, 0}, {3, 1, 1});
        s.look({1, 0.8, 1.3});
        hide_pool_fail_after(n);
        const HideRunResult r = run_hide(s);
        const bool fired = n <= 64 && r.visible.empty() && r.code == 1;
        hide_pool_fail_after(0);
        if (!fired) {
            // Past the last block the run goes through.
            EXPECT_EQ(r.code, 0) << "failing block " << n;
            break;
        }
        ++failed;
    }
    EXPECT_EQ(failed, 5);  // one block of vertices, two of edges, two of triangles
}

TEST(HideCases, VertexHashMeetsSignedZerosAndSkipsNonFinite) {
    HideJob job;
    HideContext ctx(&job);
    HideVertex* a = hide_vertex_get(&ctx, 0.0, 1.0, 2.0);
    EXPECT_EQ(hide_vertex_get(&ctx, -0.0, 1.0, 2.0), a);
    EXPECT_EQ(hide_vertex_get(&ctx, 1e-50, 1.0, 2.0), a);  // the same in single precision
    EXPECT_NE(hide_vertex_get(&ctx, 1e-3, 1.0, 2.0), a);
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(hide_vertex_get(&ctx, nan, 0, 0), nullptr);
    EXPECT_EQ(hide_vertex_get(&ctx, 0, inf, 0), nullptr);
    EXPECT_EQ(hide_vertex_get(&ctx, 0, 0, 1e300), nullptr);  // beyond single precision
    EXPECT_EQ(ctx.counts.non_finite, 3);
    EXPECT_EQ(ctx.vertices.size(), 2u);
}

// A picture of no width or no height still gets a finite scale.
TEST(HideCases, FitWithAZeroRange) {
    struct Case {
        Vec3 a, b;
    } cases[] = {{{0, -1, 0}, {0, 1, 0}}, {{-1, 0, 0}, {1, 0, 0}}, {{0, 0, 0}, {0, 0, 1}}};
    for (const Case& c : cases) {
        Scene s;
        add_line(s.model.get(), c.a, c.b);
        s.look({0, 0, 1});
        s.camera_at({0, 0, 0}, {0, 0, 1}, 10);
        const HideRunResult r = run_hide(s);
        EXPECT_TRUE(std::isfinite(r.scale) && r.scale > 0);
        for (const Seg& g : r.visible)
            for (double v : {g.x0, g.y0, g.x1, g.y1}) EXPECT_TRUE(std::isfinite(v));
    }
}

// Result lines take the source's line style by name from the result drawing, which
// holds its own copy: they outlive the source drawing.
TEST(HideCases, LineStyleBoundInTheResultDrawing) {
    std::unique_ptr<MODEL> result;
    {
        Scene s;
        auto dashed = rtc_make<LINEPATT>();
        dashed->set_string(0, "Dashed");
        dashed->dashes = {2.0, -1.0};
        LINEPATT* style = dashed.get();
        model_insert_patt(s.model.get(), dashed.release());
        XPLINE* l = add_line(s.model.get(), {0, 0, 0}, {5, 0, 0});
        l->line_style = style;
        l->colour = 4;
        s.look({0, 0, 1});
        HideRunResult r = run_hide(s);
        ASSERT_EQ(r.code, 0);
        result = std::move(r.result);
    }
    LAYER* layer = first_layer(result.get());
    ASSERT_TRUE(layer && layer->children);
    auto* line = rtc_cast<XPLINE>(layer->children);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->colour, 4);
    ASSERT_TRUE(line->line_style);
    EXPECT_STREQ(line->line_style->name(), "Dashed");
    EXPECT_EQ(line->line_style, model_find_patt(result.get(), "Dashed", &LINEPATT::rtc_class));
    EXPECT_EQ(line->line_style->dashes.size(), 2u);

    // Handed to a document's drawing: lines and the Hidden layer move, styles by name.
    auto into = rtc_make<MODEL>();
    ASSERT_EQ(hide_result_adopt(result.get(), into.get()), 0);
    auto* moved = rtc_cast<XPLINE>(first_layer(into.get())->children);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->line_style, model_find_patt(into.get(), "Dashed", &LINEPATT::rtc_class));
    EXPECT_TRUE(model_find_named(into.get(), "Hidden", &LAYER::rtc_class));
    result.reset();
    EXPECT_STREQ(moved->line_style->name(), "Dashed");
}

// One drawing always gives one file: the same lines in the same order and direction.
TEST(HideCases, TwoRunsSaveIdenticalBytes) {
    std::string bytes[2];
    for (std::string& out : bytes) {
        Scene s;
        add_box(s.model.get(), {0, 0, 0}, {2, 2, 2});
        add_box(s.model.get(), {0.5f, -1, 0.5f}, {1.5f, 1, 1.5f});
        add_line(s.model.get(), {-3, -3, 1}, {3, 3, 1});
        s.look({0.3, -1, 0.25});
        HideRunResult r = run_hide(s);
        ASSERT_EQ(r.code, 0);
        const std::string path = testing::TempDir() + "/hide_repeat.qvm";
        ASSERT_EQ(drawing_file_save(path.c_str(), r.result.get(), 0), 0);
        std::ifstream in(path, std::ios::binary);
        out.assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_FALSE(bytes[0].empty());
    EXPECT_TRUE(bytes[0] == bytes[1]);
}

// The worker thread: a cancel request from another thread stops it at its next visit;
// its end is signalled once.
TEST(HideCases, WorkerThreadStopsOnCancel) {
    Scene s;
    for (int i = 0; i < 200; ++i) add_box(s.model.get(), {float(i % 20), float(i / 20), 0}, {i % 20 + 0.8f, i / 20 + 0.8f, 1});
    s.look({1, 0.8, 1.3});
    for (bool cancel : {false, true}) {
        auto result = rtc_make<MODEL>();
        TestHost host;
        HideJob job;
        host.job = &job;
        job.source = s.view.get();
        job.drawing = s.model.get();
        job.result_drawing = result.get();
        job.host = &host;
        EXPECT_EQ(hide_job_layers(&job, true), 0);
        std::atomic<int> ended{0};
        HideWorker worker;
        worker.start(&job, [](void* a) { static_cast<std::atomic<int>*>(a)->fetch_add(1); }, &ended);
        if (cancel) worker.cancel();
        worker.join();
        EXPECT_EQ(ended.load(), 1);
        EXPECT_TRUE(host.closed);
        if (cancel) {
            EXPECT_TRUE(job.result == kHideCancelled || job.result == 0) << job.result;
        } else {
            EXPECT_EQ(job.result, 0);
            EXPECT_GT(job.lines_visible, 200);
        }
    }
}

// Cameras and lights are not drawn; a layer switched off in the source view is skipped.
TEST(HideCases, CamerasLightsAndLayersOffAreSkipped) {
    Scene s;
    add_line(s.model.get(), {0, 0, 0}, {1, 0, 0});
    auto cam = rtc_make<CAMERA>();
    cam->position = {5, 5, 5}, cam->up = {0, 0, 1}, cam->lens = 1;
    EXPECT_EQ(container_insert(first_layer(s.model.get()), cam.release()), 0);
    auto light = rtc_make<LIGHT>();
    light->position = {2, 2, 2};
    EXPECT_EQ(container_insert(first_layer(s.model.get()), light.release()), 0);
    auto off = rtc_make<LAYER>();
    off->set_string(0, "Off");
    LAYER* layer = off.get();
    EXPECT_EQ(container_insert(s.model.get(), off.release()), 0);
    auto line = rtc_make<XPLINE>();
    EXPECT_EQ(plist_add(&line->control, {0, 3, 0}), 0);
    EXPECT_EQ(plist_add(&line->control, {0, 2, 0}), 0);
    EXPECT_EQ(container_insert(layer, line.release()), 0);
    s.look({0, 0, 1});
    for (bool shown : {true, false}) {
        s.view->layer_state.flags.clear();
        EXPECT_EQ(view_push_layer_flag(s.view.get(), 1), 0);
        EXPECT_EQ(view_push_layer_flag(s.view.get(), shown ? 1 : 0), 0);
        const HideRunResult r = run_hide(s);
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.visible.size(), shown ? 2u : 1u) << segment_text(r.visible);
    }
}
