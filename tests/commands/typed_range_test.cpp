// Typed values beyond the drawing's range: a radius, corner, factor or size whose
// result is not finite or beyond the float range is refused with "Please enter the
// value correctly" and asked again; no object with a coordinate that is not finite
// enters the drawing, and a refused object says why.
#include <gtest/gtest.h>

#include <cmath>

#include "commands/draw2d/draw2d.h"
#include "commands/edit/edit.h"
#include "commands/input/support.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/model3d.h"
#include "model/db/buffer.h"
#include "model/db/solid.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

namespace {

int stretch(void* arg) { return cmd_stretch(arg); }

// Every point of every object of the drawing is finite.
bool drawing_finite(MODEL* m) {
    struct Check : ZITER {
        int move_to(double x, double y, double z, int, int) override { return point(x, y, z); }
        int line_to(double x, double y, double z, int, int) override { return point(x, y, z); }
        int triangle(const Vec3d& a, const Vec3d& b, const Vec3d& c) override {
            return point(a.x, a.y, a.z) | point(b.x, b.y, b.z) | point(c.x, c.y, c.z);
        }
        int point(double x, double y, double z) {
            if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) bad = true;
            return 0;
        }
        bool bad = false;
    } check;
    check.flags = kIterPointsOnly;
    m->walk(&check);
    return !check.bad;
}

class TypedRange : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = g_prefs;
        g_draw3d = Draw3DSettings{};
        previous_ = msgbox_set_hook([this](const MsgBoxRequest& r) {
            boxes.push_back(r.text);
            return kIdOk;
        });
    }
    void TearDown() override {
        msgbox_set_hook(previous_);
        g_prefs = saved_;
    }
    std::vector<std::string> boxes;

  private:
    Preferences saved_;
    MsgBoxHook previous_;
};

// Each command is given a huge value, then a usable one: the huge one is refused once
// with the message and asked again, and the object made holds only finite points.
TEST_F(TypedRange, HugeTypedValuesAreAskedAgain) {
    struct Case {
        const char* what;
        uint32_t id;
        std::function<void(Harness&)> script;
        size_t objects;  // in the drawing afterwards
    };
    const Case cases[] = {
        {"circle radius", kCmdCircle, [](Harness& h) { h.click({5, 5, 0}).typed("1e300").typed("2").esc(); }, 1},
        {"circle radius from a far centre", kCmdCircle,
         [](Harness& h) { h.typed("3e38 0 0").typed("1e38").typed("1e37").esc(); }, 1},
        {"polygon radius", kCmdRegularPolygon, [](Harness& h) { h.click({5, 5, 0}).typed("1e300").typed("2").esc(); },
         1},
        {"ellipse corner", kCmdEllipse,
         [](Harness& h) { h.click({5, 5, 0}).typed("1e300 0 0").typed("8 7 0").esc(); }, 1},
        {"rectangle corner", kCmdRectangle,
         [](Harness& h) { h.click({1, 1, 0}).typed("1e300 1e300 0").typed("4 4 0").esc(); }, 1},
        {"stretch factor 1e38", kCmdStretch,
         [](Harness& h) {
             buffer_add(h.view()->selection, scene_line(scene_layer(h.model()), {{1, 0, 0}, {10, 0, 0}}));
             h.click({0, 0, 0}).typed("1e38").click({0, 0, 0}).typed("2").esc();
         },
         1},
        {"stretch factor 1e300", kCmdStretch,
         [](Harness& h) {
             buffer_add(h.view()->selection, scene_line(scene_layer(h.model()), {{1, 0, 0}, {10, 0, 0}}));
             h.click({0, 0, 0}).typed("1e300").typed("2").esc();
         },
         1},
        {"box width", kCmdBox3D, [](Harness& h) { h.click({1, 1, 0}).typed("1e300").click({1, 1, 0}).typed("2 3 4").esc(); },
         1},
        {"sphere radius", kCmdSphere, [](Harness& h) { h.click({5, 5, 0}).typed("1e300").typed("3").esc(); }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.clear();
        Harness h;
        h.view()->projection.scale = 10.0;
        g_prefs.resize = 1;  // no confirmation
        g_prefs.delete_parents = 1;
        h.define(kCmdCircle, scene_command<cmd_circle>);
        h.define(kCmdRegularPolygon, scene_command<cmd_regular_polygon>);
        h.define(kCmdEllipse, scene_command<cmd_ellipse>);
        h.define(kCmdRectangle, scene_command<cmd_rectangle>);
        h.define(kCmdStretch, stretch);
        h.define(kCmdBox3D, scene_command<cmd_box>);
        h.define(kCmdSphere, scene_command<cmd_sphere>);
        c.script(h);
        EXPECT_EQ(h.run(c.id), -1);
        EXPECT_EQ(h.script_left(), 0u);
        EXPECT_EQ(boxes, std::vector<std::string>{"Please enter the value correctly"});
        EXPECT_EQ(scene_objects(h.model()).size(), c.objects);
        EXPECT_TRUE(drawing_finite(h.model()));
    }
}

// An object built with a coordinate that is not finite is refused with a message
// saying why, and the drawing is left as it was.
TEST_F(TypedRange, ObjectsBeyondTheRangeNeverEnterTheDrawing) {
    Harness h;
    auto circle = rtc_make<ELARC>();
    circle->centre = {0, 0, 0};
    circle->axis1 = {INFINITY, 0, 0};
    circle->axis2 = {0, NAN, 0};
    circle->flags = kElarcCircular | kElarcWholeEllipse;
    EXPECT_EQ(drawing_add_object(h.view(), circle.release(), 0, 0), 13);
    auto line = rtc_make<XPLINE>();
    line->control = scene_plist({{0, 0, 0}, {3e38f, 0, 0}});
    line->control->next->x *= 10;  // infinite
    EXPECT_EQ(drawing_insert_object(h.view(), line.get()), 13);  // refused: still ours
    EXPECT_TRUE(scene_objects(h.model()).empty());
    EXPECT_EQ(h.model()->undo_levels, 0);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[0].find("beyond the range of the drawing"), std::string::npos);
}

}  // namespace
