// Scripted sessions of the 2D drawing commands through the real input routines:
// objects made (vertex lists in stored order), prompts in order, one undo level per
// object, undo of everything giving back the empty drawing; the polyline's undo
// recording under every undo setting; methods and counts from files held safe.
#include <gtest/gtest.h>

#include <cmath>

#include "commands/draw2d/dialog_hooks.h"
#include "commands/draw2d/draw2d.h"
#include "commands/input/support.h"
#include "model/db/undo.h"
#include "model/math/scalar.h"
#include "model/services/prefs.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

namespace {

void expect_list(const std::vector<Vec3>& got, const std::vector<Vec3>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        expect_near3(got[i], want[i], 1e-3);
    }
}

struct Session {
    const char* what;
    uint32_t id;
    std::function<void(Harness&)> setup;  // VIEW settings and the script
    int code;
    std::vector<int> prompts;
    std::function<void(Harness&, const std::vector<object*>&)> check;
    int objects;
};

void run_sessions(const std::vector<Session>& sessions) {
    for (const Session& s : sessions) {
        SCOPED_TRACE(s.what);
        Harness h;
        h.view()->projection.scale = 10.0;  // 24 x 18 drawing units on the 240 x 180 canvas
        h.define(kCmdLine, scene_command<cmd_line>);
        h.define(kCmdPolyline, scene_command<cmd_polyline>);
        h.define(kCmdRectangle, scene_command<cmd_rectangle>);
        h.define(kCmdRegularPolygon, scene_command<cmd_regular_polygon>);
        h.define(kCmdCircle, scene_command<cmd_circle>);
        h.define(kCmdArc, scene_command<cmd_arc>);
        h.define(kCmdEllipse, scene_command<cmd_ellipse>);
        s.setup(h);
        const size_t before = scene_objects(h.model()).size();
        EXPECT_EQ(h.run(s.id), s.code);
        EXPECT_EQ(h.shown_prompts(), s.prompts);
        EXPECT_EQ(h.script_left(), 0u);
        EXPECT_EQ(h.view()->input_mode, 0);
        const std::vector<object*> objs = scene_objects(h.model());
        ASSERT_EQ(static_cast<int>(objs.size()), s.objects);
        if (s.check) s.check(h, objs);
        // One undo level per object; undoing all gives back the empty drawing.
        const int made = s.objects - static_cast<int>(before);
        EXPECT_EQ(h.model()->undo_levels, made);
        for (int i = 0; i < made; ++i) cmd_undo(h.view());
        EXPECT_EQ(scene_objects(h.model()).size(), before);
    }
}

XPLINE* line_of(object* o) {
    EXPECT_TRUE(rtc_is_a(o, &XPLINE::rtc_class));
    return static_cast<XPLINE*>(o);
}
ELARC* arc_of(object* o) {
    EXPECT_TRUE(rtc_is_a(o, &ELARC::rtc_class));
    return static_cast<ELARC*>(o);
}

TEST(LineSessions, MethodsEnterOrthogonalAndReferences) {
    run_sessions({
        {"method 1: connected, Esc then a new first point, Esc ends", kCmdLine,
         [](Harness& h) {
             h.view()->line_method = 1;
             h.click({1, 1, 0}).click({5, 1, 0}).click({5, 4, 0}).esc().click({10, 10, 0}).click({12, 10, 0}).esc().esc();
         },
         -1, {42002, 42048, 42048, 42048, 42002, 42048, 42048, 42002},
         [](Harness&, const std::vector<object*>& o) {
             // The list prepends: end first, then start.
             expect_list(scene_points(line_of(o[0])->control), {{5, 1, 0}, {1, 1, 0}});
             expect_list(scene_points(line_of(o[1])->control), {{5, 4, 0}, {5, 1, 0}});
             expect_list(scene_points(line_of(o[2])->control), {{12, 10, 0}, {10, 10, 0}});
             EXPECT_EQ(o[0]->colour, 7);
             EXPECT_DOUBLE_EQ(line_of(o[0])->curve_step, 5.0);
         },
         3},
        {"method 5: a fan shares its first point; Enter takes the cursor", kCmdLine,
         [](Harness& h) {
             h.view()->line_method = 5;
             h.click({2, 2, 0}).click({8, 2, 0}).move_to({2, 8, 0}).enter().esc().esc();
         },
         -1, {42002, 42048, 42048, 42048, 42002},
         [](Harness&, const std::vector<object*>& o) {
             expect_list(scene_points(line_of(o[0])->control), {{8, 2, 0}, {2, 2, 0}});
             expect_list(scene_points(line_of(o[1])->control), {{2, 8, 0}, {2, 2, 0}});
         },
         2},
        {"orthogonal: the diagonal gives a horizontal segment", kCmdLine,
         [](Harness& h) {
             h.view()->orthogonal = 1;
             h.click({1, 1, 0}).click({4, 4, 0}).esc();
         },
         -1, {42002, 42048, 42002},
         [](Harness&, const std::vector<object*>& o) {
             expect_list(scene_points(line_of(o[0])->control), {{4, 1, 0}, {1, 1, 0}});
         },
         1},
        {"method 4: a cross of four segments", kCmdLine,
         [](Harness& h) {
             h.view()->line_method = 4;
             h.click({10, 10, 0}).click({13, 10, 0}).esc();
         },
         -1, {42080, 42081, 42080},
         [](Harness&, const std::vector<object*>& o) {
             expect_list(scene_points(line_of(o[0])->control), {{13, 10, 0}, {10, 10, 0}});
             expect_list(scene_points(line_of(o[3])->control), {{10, 7, 0}, {10, 10, 0}});
         },
         4},
        {"method 2: a reference under one unit wide behaves as vertical", kCmdLine,
         [](Harness& h) {
             scene_line(scene_layer(h.model()), {{3, 2, 0}, {3.5f, 12, 0}});
             h.view()->line_method = 2;
             h.click({3.25f, 7, 0}).click({10, 2, 0}).click({16, 9, 0}).esc().esc();
         },
         -1, {42079, 42002, 42003, 42002, 42079},
         [](Harness&, const std::vector<object*>& o) {
             expect_list(scene_points(line_of(o[1])->control), {{10, 9, 0}, {10, 2, 0}});
         },
         2},
        {"a method from a file outside the table ends at once", kCmdLine,
         [](Harness& h) { h.view()->line_method = 9; }, -1, {}, nullptr, 0},
    });
}

TEST(ShapeSessions, PolylinesRectanglesAndPolygons) {
    run_sessions({
        {"a polyline clicked twice at one place keeps one vertex there", kCmdPolyline,
         [](Harness& h) { h.click({1, 1, 0}).click({4, 1, 0}).click({4, 1, 0}).click({4, 5, 0}).esc().esc(); }, -1,
         {42002, 42048, 42048, 42048, 42048, 42002},
         [](Harness&, const std::vector<object*>& o) {
             expect_list(scene_points(line_of(o[0])->control), {{4, 5, 0}, {4, 1, 0}, {1, 1, 0}});
             EXPECT_EQ(o[0]->colour, 7);  // the current colour once finished
         },
         1},
        {"Esc after one polyline point leaves nothing and ends", kCmdPolyline,
         [](Harness& h) { h.click({1, 1, 0}).esc(); }, -1, {42002, 42048}, nullptr, 0},
        {"rectangle method 1 from centre (0, 0) to corner (2, 1)", kCmdRectangle,
         [](Harness& h) {
             h.view()->projection.origin_x = -10, h.view()->projection.origin_y = -8;
             h.view()->box_method = 1;
             h.click({0, 0, 0}).click({2, 1, 0}).esc();
         },
         -1, {42094, 42095, 42094},
         [](Harness&, const std::vector<object*>& o) {
             expect_list(scene_points(line_of(o[0])->control),
                         {{-2, -1, 0}, {2, -1, 0}, {2, 1, 0}, {-2, 1, 0}, {-2, -1, 0}});
         },
         1},
        {"rectangle method 3 holds its corners in the order clicked", kCmdRectangle,
         [](Harness& h) {
             h.view()->box_method = 3;
             h.click({1, 1, 0}).click({5, 1, 0}).click({6, 3, 0}).esc();
         },
         -1, {42002, 42003, 42051, 42002},
         [](Harness&, const std::vector<object*>& o) {
             expect_list(scene_points(line_of(o[0])->control), {{1, 1, 0}, {5, 1, 0}, {6, 3, 0}, {2, 3, 0}, {1, 1, 0}});
         },
         1},
        {"a 19-segment polygon has all its vertices", kCmdRegularPolygon,
         [](Harness& h) {
             h.view()->polygon_count = 19;
             h.click({10, 9, 0}).click({10, 13, 0}).esc();
         },
         -1, {42096, 42097, 42096},
         [](Harness&, const std::vector<object*>& o) {
             const auto v = scene_points(line_of(o[0])->control);
             ASSERT_EQ(v.size(), 20u);
             expect_near3(v.front(), {10, 13, 0});
             expect_near3(v.back(), {10, 13, 0});
             expect_near3(v[1], {static_cast<float>(10 + 4 * std::sin(2 * kPi * 18 / 19)),
                                 static_cast<float>(9 + 4 * std::cos(2 * kPi * 18 / 19)), 0});
         },
         1},
        {"a polygon count of 0 from a file is held to 3", kCmdRegularPolygon,
         [](Harness& h) {
             h.view()->polygon_count = 0;
             h.click({10, 9, 0}).click({10, 13, 0}).esc();
         },
         -1, {42096, 42097, 42096},
         [](Harness&, const std::vector<object*>& o) { EXPECT_EQ(scene_points(line_of(o[0])->control).size(), 4u); }, 1},
    });
}

TEST(CurveSessions, CirclesArcsAndEllipses) {
    run_sessions({
        {"circle method 3: ends (0, 0) and (4, 0)", kCmdCircle,
         [](Harness& h) {
             h.view()->circle_method = 3;
             h.click({0, 0, 0}).click({4, 0, 0}).esc();
         },
         -1, {42085, 42086, 42085},
         [](Harness&, const std::vector<object*>& o) {
             ELARC* e = arc_of(o[0]);
             expect_near3(e->centre, {2, 0, 0});
             expect_near3(e->axis1, {4, 0, 0});
             expect_near3(e->axis2, {2, 2, 0});
             EXPECT_EQ(e->flags, 3);
             EXPECT_NEAR(e->curve_step, kPi / 12, 1e-12);
         },
         1},
        {"a circle below 0.001 is asked again", kCmdCircle,
         [](Harness& h) {
             h.view()->circle_method = 1;
             h.click({5, 5, 0}).click({5, 5, 0}).esc();
         },
         -1, {42082, 42084, 42082}, nullptr, 0},
        {"three collinear points end the arc command with 1", kCmdArc,
         [](Harness& h) { h.click({1, 1, 0}).click({5, 1, 0}).click({3, 1, 0}); }, 1, {42087, 42088, 42089}, nullptr,
         0},
        {"arc method 2: 90 typed from (1, 0) about (0, 0)", kCmdArc,
         [](Harness& h) {
             h.view()->arc_method = 2;
             h.view()->projection.origin_x = -5, h.view()->projection.origin_y = -5;
             h.click({0, 0, 0}).click({1, 0, 0}).typed("90").esc();
         },
         -1, {42090, 42087, 42091, 42090},
         [](Harness&, const std::vector<object*>& o) {
             ELARC* e = arc_of(o[0]);
             expect_near3(e->centre, {0, 0, 0});
             EXPECT_NEAR(e->start, 0, 1e-5);
             EXPECT_NEAR(e->end, kPi / 2, 1e-5);
             EXPECT_EQ(e->flags, 1);
         },
         1},
        {"ellipse method 2 from (0, 0) to (4, 2)", kCmdEllipse,
         [](Harness& h) {
             h.view()->ellipse_method = 2;
             h.click({0, 0, 0}).click({4, 2, 0}).esc();
         },
         -1, {42102, 42103, 42102},
         [](Harness&, const std::vector<object*>& o) {
             ELARC* e = arc_of(o[0]);
             expect_near3(e->centre, {2, 1, 0});
             expect_near3(e->axis1, {0, 1, 0});
             expect_near3(e->axis2, {2, 0, 0});
             EXPECT_EQ(e->flags, 2);
         },
         1},
        {"an ellipse whose corner is its centre is asked again", kCmdEllipse,
         [](Harness& h) { h.click({3, 3, 0}).click({3, 3, 0}).esc(); }, -1, {42101, 42102, 42101}, nullptr, 0},
    });
}

TEST(Options, MethodDialogChangesTheMethodMidCommand) {
    Harness h;
    h.view()->projection.scale = 10.0;
    h.define(kCmdCircle, scene_command<cmd_circle>);
    h.method_answers = {3};
    // Centre given under method 0, then the options key: the first point stays as the
    // diameter's start.
    h.click({0, 0, 0}).options().click({4, 0, 0}).esc();
    EXPECT_EQ(h.run(kCmdCircle), -1);
    EXPECT_EQ(h.view()->circle_method, 3);
    EXPECT_EQ(h.shown_prompts(), (std::vector<int>{42082, 42083, 42086, 42085}));
    const auto objs = scene_objects(h.model());
    ASSERT_EQ(objs.size(), 1u);
    expect_near3(arc_of(objs[0])->centre, {2, 0, 0});
}

TEST(PolylineUndo, AbandonedPolylineGoesUnderEveryUndoSetting) {
    for (int mode : {0, 1, -1}) {
        SCOPED_TRACE(mode);
        g_prefs.undo_mode = mode;
        Harness h;
        h.view()->projection.scale = 10.0;
        h.define(kCmdPolyline, scene_command<cmd_polyline>);
        h.click({1, 1, 0}).click({3, 1, 0}).esc().click({5, 5, 0}).esc();
        EXPECT_EQ(h.run(kCmdPolyline), -1);
        const auto objs = scene_objects(h.model());
        ASSERT_EQ(objs.size(), 1u);  // the finished one stays, the one-point one went
        EXPECT_EQ(scene_points(line_of(objs[0])->control).size(), 2u);
        EXPECT_EQ(h.model()->undo_levels, mode == 0 ? 0 : 1);
    }
    g_prefs.undo_mode = -1;
}

}  // namespace
