// Zoom and extents: rounding, zoom window and zoom all on views, extents with hidden
// layers and line widths, and the zoom-window command by its three methods.
#include <gtest/gtest.h>

#include <limits>

#include "commands/input/input.h"
#include "commands/input/zoom.h"
#include "graphics/view/projection.h"
#include "model/db/solid.h"
#include "model/math/matrix.h"
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

// After zoom all the view's extents lie in the window with the same room on the left
// as on the right and below as above; `fills` the limiting direction reaches the edges.
void expect_centred(const VIEW* v, bool fills = true) {
    const ViewProjection& p = v->projection;
    const BBox all = view_extents(v);
    auto pixel = [&](double at, double origin) { return static_cast<int>(std::floor((at - origin) * p.scale + 0.5)); };
    const int x0 = pixel(all.min.x, p.origin_x), y0 = pixel(all.min.y, p.origin_y);
    const int x1 = pixel(all.max.x, p.origin_x), y1 = pixel(all.max.y, p.origin_y);
    int w, h;
    v->window->client_size(&w, &h);
    EXPECT_NEAR(x0, w - x1, 1.5);
    EXPECT_NEAR(y0, h - y1, 1.5);
    EXPECT_GE(std::min(x0, y0), 0);
    if (fills) {
        EXPECT_LE(std::min(x0, y0), 1);
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
    // Zoom all: the extents fill the window across and are centred in it.
    g_prefs.scale_round = 0.01;
    view_zoom_all(h.view());
    const ViewProjection& p = h.view()->projection;
    const BBox all = view_extents(h.view());
    int x, y;
    world_to_pixel(&p, {all.max.x, all.max.y, 0}, &x, &y);
    EXPECT_LE(x, 240);
    EXPECT_LE(y, 180);
    expect_centred(h.view());
}

// Zoom all on drawings flat in the view (a rectangle and a circle drawn in the top
// view seen from the front or the side, one line along an axis) fits them by the
// direction they have; a single point is centred at the scale the view had; a tall
// drawing in a wide window, with a light's symbol, is centred across.
TEST_F(Extents, ZoomAllFitsFlatDrawingsAndCentresWhatItFits) {
    constexpr double kQuarter = 1.5707963267948966;
    struct Case {
        const char* what;
        std::function<void(LAYER*)> scene;
        double turn_x, turn_z;  // view turns, radians
        double scale;           // expected, 0: any
    };
    const Case cases[] = {
        {"top view drawing from the front",
         [](LAYER* l) {
             scene_line(l, {{0, 0, 0}, {100, 0, 0}, {100, 50, 0}, {0, 50, 0}, {0, 0, 0}});
             scene_ellipse(l, {150, 25, 0}, 20, 0, 0, true);
         },
         -kQuarter, 0, 240.0 / 170},
        {"top view drawing edge-on, upright in the view",
         [](LAYER* l) {
             scene_line(l, {{0, 0, 0}, {100, 0, 0}, {100, 50, 0}, {0, 50, 0}, {0, 0, 0}});
             scene_ellipse(l, {150, 25, 0}, 20, 0, 0, true);
         },
         -kQuarter, kQuarter, 1.05},
        {"one horizontal line", [](LAYER* l) { scene_line(l, {{10, 20, 0}, {110, 20, 0}}); }, 0, 0, 2.4},
        {"one point", [](LAYER* l) { scene_line(l, {{30, 40, 0}, {30, 40, 0}}); }, 0, 0, 3.0},
        {"a light alone",
         [](LAYER* l) {
             auto light = rtc_make<LIGHT>();
             light->position = {30, 40, 0};
             EXPECT_EQ(container_insert(l, light.release()), 0);
         },
         0, 0, 3.0},
        {"tall drawing and a light",
         [](LAYER* l) {
             scene_line(l, {{0, 0, 0}, {20, 0, 0}, {20, 300, 0}, {0, 300, 0}});
             auto light = rtc_make<LIGHT>();
             light->position = {10, 150, 0};
             EXPECT_EQ(container_insert(l, light.release()), 0);
         },
         0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        g_prefs.scale_round = 0.01;
        ViewProjection& vp = h.view()->projection;
        vp.scale = 3.0;
        if (c.turn_x != 0 || c.turn_z != 0) mat_rotate_xyz(&vp.view, &vp.inverse, c.turn_x, 0, c.turn_z);
        c.scene(scene_layer(h.model()));
        view_zoom_all(h.view());
        if (c.scale > 0) {
            EXPECT_NEAR(vp.scale, c.scale, 0.011);
        }
        expect_centred(h.view(), c.scale != 3.0);
    }
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
