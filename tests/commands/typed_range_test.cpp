// Typed values the drawing cannot use (beyond its range, angles with stray characters,
// a circle radius of no size) are refused with "Please enter the value correctly" and
// asked again; no object with a non-finite coordinate enters a drawing.
#include <gtest/gtest.h>

#include "commands/draw2d/draw2d.h"
#include "commands/edit/edit.h"
#include "commands/input/support.h"
#include "commands/model3d/model3d.h"
#include "model/db/buffer.h"
#include "model/math/result.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

namespace {

// Every point of the drawing is finite.
bool drawing_finite(MODEL* m) {
    struct Check : ZITER {
        int move_to(double x, double y, double z, int, int) override {
            bad = bad || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z);
            return 0;
        }
        int line_to(double x, double y, double z, int dx, int dy) override { return move_to(x, y, z, dx, dy); }
        bool bad = false;
    } check;
    check.flags = kIterPointsOnly;
    m->walk(&check);
    return !check.bad;
}

std::vector<std::string> boxes;
struct TypedRange : ::testing::Test {
    void SetUp() override {
        boxes.clear();
        msgbox_set_hook([](const MsgBoxRequest& r) {
            boxes.push_back(r.text);
            return kIdOk;
        });
    }
    void TearDown() override { msgbox_set_hook(nullptr); }
};

Harness& selected_line(Harness& h) {
    EXPECT_EQ(buffer_add(h.view()->selection,
                         scene_line(scene_layer(h.model()), {{1, 0, 0}, {10, 0, 0}})),
              0);
    return h;
}

using Script = std::function<void(Harness&)>;

// Runs each command with its script: one refusal, then the usable value after it
// makes the one object the drawing holds.
void expect_refused_once_then_drawn(const std::vector<std::pair<uint32_t, Script>>& cases) {
    const Preferences saved = g_prefs;
    g_prefs.resize = g_prefs.delete_parents = 1;  // Stretch asks nothing, replaces the line
    g_prefs.turn = 1, g_prefs.rotation_mode = 2;  // Rotate asks nothing but the centre and angle
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& [id, script] = cases[i];
        SCOPED_TRACE(i);
        boxes.clear();
        Harness h;
        h.view()->projection.scale = 10.0;
        h.define(kCmdCircle, scene_command<cmd_circle>);
        h.define(kCmdRegularPolygon, scene_command<cmd_regular_polygon>);
        h.define(kCmdEllipse, scene_command<cmd_ellipse>);
        h.define(kCmdRectangle, scene_command<cmd_rectangle>);
        h.define(kCmdStretch, [](void* arg) { return cmd_stretch(arg); });
        h.define(kCmdRotate, [](void* arg) { return cmd_rotate(arg); });
        h.define(kCmdBox3D, scene_command<cmd_box>);
        h.define(kCmdSphere, scene_command<cmd_sphere>);
        script(h);
        EXPECT_EQ(h.run(id), -1);
        EXPECT_EQ(h.script_left(), 0u);
        EXPECT_EQ(boxes, std::vector<std::string>{"Please enter the value correctly"});
        EXPECT_EQ(scene_objects(h.model()).size(), 1u);
        EXPECT_TRUE(drawing_finite(h.model()));
    }
    g_prefs = saved;
}

// A circle radius of 1e300 added a circle with axes (inf, NaN), a Stretch factor of
// 1e38 a line to (inf, 0), a box width of 1e300 ended silently with 13: each huge
// value is refused once and asked again, and the usable one after it is drawn.
TEST_F(TypedRange, HugeTypedValuesAreAskedAgain) {
    expect_refused_once_then_drawn({
        {kCmdCircle, [](Harness& h) { h.click({5, 5, 0}).typed("1e300").typed("2").esc(); }},
        {kCmdCircle, [](Harness& h) { h.typed("3e38 0 0").typed("1e38").typed("1e37").esc(); }},
        {kCmdRegularPolygon, [](Harness& h) { h.click({5, 5, 0}).typed("1e300").typed("2").esc(); }},
        {kCmdEllipse, [](Harness& h) { h.click({5, 5, 0}).typed("1e300 0 0").typed("8 7 0").esc(); }},
        {kCmdRectangle, [](Harness& h) { h.click({1, 1, 0}).typed("1e300 1e300 0").typed("4 4 0").esc(); }},
        {kCmdStretch,
         [](Harness& h) { selected_line(h).click({0, 0, 0}).typed("1e38").click({0, 0, 0}).typed("2").esc(); }},
        {kCmdStretch, [](Harness& h) { selected_line(h).click({0, 0, 0}).typed("1e300").typed("2").esc(); }},
        {kCmdBox3D, [](Harness& h) { h.click({1, 1, 0}).typed("1e300").typed("2 3 4").esc(); }},  // corner kept
        {kCmdSphere, [](Harness& h) { h.click({5, 5, 0}).typed("1e300").typed("3").esc(); }},
    });
}

// A typed rotation angle of 1,5 turned by 1 degree (1x, 3.5.2 and 12abc were cut the
// same way); a typed circle radius of -.5 drew nothing, said nothing and lost the
// centre. Each is refused and asked again, the centre kept.
TEST_F(TypedRange, AnglesWithStrayCharactersAndRadiiOfNoSizeAreAskedAgain) {
    std::vector<std::pair<uint32_t, Script>> cases;
    for (const char* angle : {"1,5", "1x", "3.5.2", "12abc"})
        cases.emplace_back(kCmdRotate, [angle](Harness& h) {
            selected_line(h).click({0, 0, 0}).typed(angle).typed(" 90 ").esc();
        });
    for (const char* radius : {"-.5", "0"})
        cases.emplace_back(kCmdCircle, [radius](Harness& h) { h.click({5, 5, 0}).typed(radius).typed("2").esc(); });
    expect_refused_once_then_drawn(cases);
}

// An object built with a non-finite coordinate is refused, saying why.
TEST_F(TypedRange, ObjectsBeyondTheRangeNeverEnterTheDrawing) {
    Harness h;
    auto circle = rtc_make<ELARC>();
    circle->axis1 = {INFINITY, 0, 0};
    circle->axis2 = {0, NAN, 0};
    circle->flags = kElarcCircular | kElarcWholeEllipse;
    EXPECT_EQ(drawing_add_object(h.view(), std::move(circle), 0), kBadArgument);
    auto line = rtc_make<XPLINE>();
    line->control = scene_plist({{0, 0, 0}, {INFINITY, 0, 0}});
    EXPECT_EQ(drawing_insert_object(h.view(), line.get()), kBadArgument);  // refused: still ours
    EXPECT_TRUE(scene_objects(h.model()).empty());
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[1].find("beyond the range of the drawing"), std::string::npos);
}

}  // namespace
