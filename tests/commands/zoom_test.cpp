// Zoom and extents: rounding, zoom window and zoom all on views, extents with hidden
// layers and line widths, and the zoom-window command by its three methods.
#include <gtest/gtest.h>

#include <limits>

#include "commands/input/input.h"
#include "commands/input/zoom.h"
#include "model/services/prefs.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

namespace {

// The zoom tests set the scale rounding and the zoom-window method; each test
// gives the preferences back as it found them.
class ZoomPrefs : public ::testing::Test {
  protected:
    void SetUp() override { saved_ = g_prefs; }
    void TearDown() override { g_prefs = saved_; }

  private:
    Preferences saved_;
};
using ZoomWindow = ZoomPrefs;
using ZoomLimit = ZoomPrefs;
using Extents = ZoomPrefs;
using ZoomCommand = ZoomPrefs;

TEST(ZoomRounding, ScalesAndOrigins) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double step, scale, want;
    };
    for (const Case& c : std::vector<Case>{{0.5, 3.3, 3.5}, {0.5, 0.2, 0.5}, {0.5, 3.25, 3.5}, {0.01, 2.0, 2.0},
                                           {0.0, 3.3, 3.3}, {-1.0, 3.3, 3.3}, {nan, 3.3, 3.3}}) {
        SCOPED_TRACE(c.step);
        EXPECT_NEAR(round_scale(c.step, c.scale), c.want, 1e-12);
    }
    EXPECT_NEAR(round_origin(4.0, 1.13), 1.25, 1e-12);
    EXPECT_NEAR(round_origin(4.0, -1.13), -1.25, 1e-12);
    EXPECT_EQ(round_origin(0.0, 1.13), 1.13);
    EXPECT_EQ(round_origin(nan, 1.13), 1.13);
}

TEST_F(ZoomWindow, ThinWindowsAreRefusedOthersFitTheClientArea) {
    Harness h;  // 240 x 180
    VIEW* v = h.view();
    g_prefs.scale_round = 0.01;
    const ViewProjection before = v->projection;
    EXPECT_EQ(view_zoom_window(v, {0, 0, 0}, {0.0005f, 50, 0}), 1);
    EXPECT_EQ(v->projection.scale, before.scale);
    EXPECT_EQ(view_zoom_window(v, {10, 20, 0}, {130, 110, 0}), 0);
    EXPECT_NEAR(v->projection.scale, 2.0, 1e-9);
    EXPECT_NEAR(v->projection.origin_x, 10.0, 1e-9);
    EXPECT_NEAR(v->projection.origin_y, 20.0, 1e-9);
    EXPECT_NEAR(v->previous_scale, 1.0, 1e-9);
    // Beyond the largest scale: the largest, rounded.
    v->zoom_limit = 50.0;
    EXPECT_EQ(view_zoom_window(v, {10, 20, 0}, {10.5f, 20.5f, 0}), 0);
    EXPECT_NEAR(v->projection.scale, 50.0, 1e-9);
    // A scale-rounding step of 0 (or NaN) leaves the scale as computed, never NaN.
    g_prefs.scale_round = 0.0;
    EXPECT_EQ(view_zoom_window(v, {0, 0, 0}, {70, 30, 0}), 0);
    EXPECT_NEAR(v->projection.scale, 180.0 / 30.0 < 240.0 / 70.0 ? 6.0 : 240.0 / 70.0, 1e-9);
    EXPECT_TRUE(std::isfinite(v->projection.origin_x));
}

// A zoom limit of 0, below 0 or not finite (a damaged file) with no scale rounding
// zoomed to a scale of 0 or -3, which the drawing then saved and could not read.
TEST_F(ZoomLimit, UnusableLimitsNeverGiveAnUnusableScale) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double limit : {0.0, -3.0, nan, inf, -inf}) {
        for (double round : {0.0, 0.01, nan}) {
            SCOPED_TRACE(testing::Message() << "limit " << limit << " round " << round);
            Harness h;
            scene_line(scene_layer(h.model()), {{10, 20, 0}, {10.5f, 20.5f, 0}});
            h.view()->zoom_limit = limit;
            g_prefs.scale_round = round;
            view_zoom_all(h.view());
            const double all = h.view()->projection.scale;
            EXPECT_TRUE(all > 0 && std::isfinite(all) && std::isfinite(1 / all)) << all;
            view_zoom_window(h.view(), {10, 20, 0}, {10.01f, 20.01f, 0});
            const double window = h.view()->projection.scale;
            EXPECT_TRUE(window > 0 && std::isfinite(window) && std::isfinite(1 / window)) << window;
        }
    }
}

TEST_F(Extents, WidthsHiddenLayersAndZoomAll) {
    Harness h(2);
    LAYER* l = scene_layer(h.model());
    XPLINE* line = scene_line(l, {{10, 20, 0}, {110, 70, 0}});
    line->width = 2.0f;
    views_compute_extents(h.view());
    const BBox e = view_extents(h.view());
    EXPECT_NEAR(e.min.x, 9, 1e-5);
    EXPECT_NEAR(e.min.y, 19, 1e-5);
    EXPECT_NEAR(e.max.x, 111, 1e-5);
    EXPECT_NEAR(e.max.y, 71, 1e-5);
    // Hidden in the second view: nothing counts there.
    h.view(1)->layer_state.flags = {0};
    views_compute_extents(h.view());
    EXPECT_TRUE(bbox_is_empty(view_extents(h.view(1))));
    // A new object grows the extents of every view that shows its layer.
    h.view(1)->layer_state.flags = {1};
    views_compute_extents(h.view());
    XPLINE* far = scene_line(l, {{-50, 0, 0}, {0, 0, 0}});
    views_extend_extents(h.view(), far);
    EXPECT_NEAR(view_extents(h.view(1)).min.x, -50, 1e-5);
    // Zoom all: the extents' lower-left corner at the window's lower-left pixel.
    g_prefs.scale_round = 0.01;
    view_zoom_all(h.view());
    const ViewProjection& p = h.view()->projection;
    const BBox all = view_extents(h.view());
    EXPECT_NEAR(p.origin_x, round_origin(p.scale, all.min.x), 1e-9);
    EXPECT_NEAR(p.origin_y, round_origin(p.scale, all.min.y), 1e-9);
    int x, y;
    world_to_pixel(&p, {all.min.x, all.min.y, 0}, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    world_to_pixel(&p, {all.max.x, all.max.y, 0}, &x, &y);
    EXPECT_LE(x, 240);
    EXPECT_LE(y, 180);
}

int cmd_zoom(void* arg) { return zoom_window_command(static_cast<VIEW**>(arg)); }

TEST_F(ZoomCommand, ThreeMethodsOptionsKeyAndEscAtTheSecondCorner) {
    struct Case {
        const char* what;
        int method;
        std::function<void(Harness&)> script;
        int code;
        std::vector<int> prompts;
        double scale, origin_x, origin_y;
    };
    const std::vector<Case> cases = {
        {"two corners", 0, [](Harness& h) { h.click({10, 20, 0}).click({130, 110, 0}); }, 0, {42092, 42093}, 2.0, 10,
         20},
        {"centre then corner", 1, [](Harness& h) { h.click({70, 65, 0}).click({130, 110, 0}); }, 0, {42094, 42095},
         2.0, 10, 20},
        {"corner then centre", 2, [](Harness& h) { h.click({10, 20, 0}).click({70, 65, 0}); }, 0, {42095, 42094}, 2.0,
         10, 20},
        {"options key changes the method", 0,
         [](Harness& h) {
             h.call([](Harness& hh) { hh.method_answers.push_back(1); });
             h.options().click({70, 65, 0}).click({130, 110, 0});
         },
         0, {42092, 42094, 42095}, 2.0, 10, 20},
        {"Esc at the second corner starts again", 0,
         [](Harness& h) { h.click({1, 1, 0}).esc().click({10, 20, 0}).click({130, 110, 0}); }, 0,
         {42092, 42093, 42092, 42093}, 2.0, 10, 20},
        {"Esc at the first corner ends", 0, [](Harness& h) { h.esc(); }, -1, {42092}, 1.0, 0, 0},
        {"a stored method out of range works as the last one; Esc ends", 7, [](Harness& h) { h.esc(); }, -1,
         {42095}, 1.0, 0, 0},
        {"cancelled at the second corner", 0, [](Harness& h) { h.click({1, 1, 0}).start(15998); }, -2,
         {42092, 42093}, 1.0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        g_prefs.zoom_window = c.method;
        g_prefs.scale_round = 0.01;
        h.define(15100, cmd_zoom);
        h.define(15998, [](void*) { return 0; });
        c.script(h);
        std::vector<uint8_t> canvas_before;
        for (int r = 0; r < h.window()->canvas.height(); ++r)
            canvas_before.insert(canvas_before.end(), h.window()->canvas.row(r),
                                 h.window()->canvas.row(r) + 3 * h.window()->canvas.width());
        EXPECT_EQ(h.run(15100), c.code);
        EXPECT_EQ(h.shown_prompts(), c.prompts);
        EXPECT_NEAR(h.view()->projection.scale, c.scale, 1e-9);
        EXPECT_NEAR(h.view()->projection.origin_x, c.origin_x, 1e-9);
        EXPECT_NEAR(h.view()->projection.origin_y, c.origin_y, 1e-9);
        EXPECT_EQ(h.view()->input_mode, 0);
        EXPECT_EQ(h.script_left(), 0u);
        // The feedback of the whole session is gone from the canvas.
        std::vector<uint8_t> after;
        for (int r = 0; r < h.window()->canvas.height(); ++r)
            after.insert(after.end(), h.window()->canvas.row(r), h.window()->canvas.row(r) + 3 * h.window()->canvas.width());
        EXPECT_EQ(after, canvas_before);
    }
}

}  // namespace
