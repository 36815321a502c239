// The input routines driven through the harness: points, distances, angles, boxes
// and objects from clicks, Enter and typed text; refusals, options and the edge
// cases of object picking across views.
#include <gtest/gtest.h>

#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/snap.h"
#include "graphics/view/view_input.h"
#include "model/db/buffer.h"
#include "model/math/result.h"
#include "model/math/scalar.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

namespace {

// Runs `script` in `h` against the probe command making the one input call `ask`;
// what that call returned (99 when the probe never ran).
int run_input_probe(Harness& h, const std::function<void(Harness&)>& script, const std::function<int(VIEW**)>& ask) {
    int code = 99;
    g_probe = [&](VIEW** vr) {
        code = ask(vr);
        return code;
    };
    h.define(kProbe, cmd_probe);
    script(h);
    h.run(kProbe);
    return code;
}

struct PointCase {
    const char* what;
    int32_t flags;
    std::function<void(Harness&)> script;
    int code;
    Vec3 point;
};

TEST(InputPoint, ClicksTypedTextEnterAndSnaps) {
    const std::vector<PointCase> cases = {
        {"click", kSnapFree, [](Harness& h) { h.click({20, 30, 0}); }, 0, {20, 30, 0}},
        {"typed coordinate", kSnapFree, [](Harness& h) { h.typed("1 2 3"); }, 0, {1, 2, 3}},
        {"typed cancelled, then a click", kSnapFree,
         [](Harness& h) {
             h.call([](Harness& hh) { hh.typed_answers.push_back(std::nullopt); });
             h.key('4').click({7, 8, 0});
         },
         0, {7, 8, 0}},
        {"Enter takes the cursor", kSnapFree, [](Harness& h) { h.move(50, 60).enter(); }, 0, {50, 60, 0}},
        {"Enter snaps like a click", kSnapLineEnd, [](Harness& h) { h.move(97, 3).enter(); }, 0, {100, 0, 0}},
        {"nothing snappable asks again", kSnapLineEnd, [](Harness& h) { h.click({50, 90, 0}).click({2, 1, 0}); }, 0,
         {0, 0, 0}},
        {"the pointer moved on before the click was taken", kSnapFree,
         [](Harness& h) {
             h.call([](Harness& hh) {
                 view_input_move(hh.view(), 20, 30);
                 view_input_button_up(hh.view(), kButtonLeft);
                 view_input_move(hh.view(), 90, 10);
             });
         },
         0, {20, 30, 0}},
        {"Esc", kSnapFree, [](Harness& h) { h.esc(); }, -1, {0, 0, 0}},
        {"right button", kSnapFree, [](Harness& h) { h.right(); }, -1, {0, 0, 0}},
    };
    for (const PointCase& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        scene_line(scene_layer(h.model()), {{0, 0, 0}, {100, 0, 0}});
        h.view()->input_flags = c.flags;
        Vec3 got{0, 0, 0};
        const int code = run_input_probe(h, c.script, [&](VIEW** vr) {
            return input_point(vr, 42002, cursor_draw_crosshair, nullptr, &got, 0);
        });
        EXPECT_EQ(code, c.code);
        if (code == 0) {
            expect_near3(got, c.point);
            expect_near3(h.view()->last_point, c.point);
        }
        EXPECT_EQ(h.script_left(), 0u);
        EXPECT_EQ(h.shown_prompts().front(), 42002);
        EXPECT_EQ(h.prompts.back(), -1);  // the status line is cleared after the step
    }
}

TEST(InputDistance, ModesUnitsAndTypedLengths) {
    struct Case {
        const char* what;
        int mode;
        int unit;
        std::function<void(Harness&)> script;
        int code;
        double value;
    };
    const std::vector<Case> cases = {
        {"view-plane distance", 0, 0, [](Harness& h) { h.click({30, 40, 0}); }, 0, 50.0},
        {"vertical", 1, 0, [](Harness& h) { h.click({30, 40, 0}); }, 0, 40.0},
        {"horizontal", 2, 0, [](Harness& h) { h.click({30, 40, 0}); }, 0, 30.0},
        {"other mode", 7, 0, [](Harness& h) { h.click({30, 40, 0}); }, 0, 0.0},
        {"typed plain number", 0, 0, [](Harness& h) { h.typed("12.5"); }, 0, 12.5},
        {"typed inch", 0, 1, [](Harness& h) { h.typed("1"); }, 0, 25.4},
        {"typed feet and inches", 0, 2, [](Harness& h) { h.typed("3'6\""); }, 0, 1066.8},
        {"typed nonsense, refused, then Esc", 0, 0, [](Harness& h) { h.typed("1x").esc(); }, -1, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        h.view()->length_unit = c.unit;
        double got = -1;
        const int code = run_input_probe(h, c.script, [&](VIEW** vr) {
            return input_distance(vr, Vec3{0, 0, 0}, 42010, c.mode, cursor_draw_rubber_line, nullptr, &got, 0);
        });
        EXPECT_EQ(code, c.code);
        if (code == 0) {
            EXPECT_NEAR(got, c.value, 1e-4);
        }
    }
}

TEST(InputAngle, DegreesRadiansAndRetries) {
    struct Case {
        const char* what;
        int degrees;
        std::function<void(Harness&)> script;
        double value;
    };
    const std::vector<Case> cases = {
        {"clicked", 1, [](Harness& h) { h.click({0, 10, 0}); }, kPi / 2},
        {"typed degrees", 1, [](Harness& h) { h.typed("90"); }, kPi / 2},
        {"typed radians", 0, [](Harness& h) { h.typed("90"); }, 90.0},
        {"unreadable text asks again", 1, [](Harness& h) { h.typed("-").typed("45"); }, kPi / 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        h.view()->degrees = c.degrees;
        double got = -1;
        g_probe = [&](VIEW** vr) {
            return input_angle(vr, Vec3{0, 0, 0}, Vec3{10, 0, 0}, 42011, cursor_draw_rubber_line, nullptr, &got, 0);
        };
        h.define(kProbe, cmd_probe);
        c.script(h);
        EXPECT_EQ(h.run(kProbe), 0);
        EXPECT_NEAR(got, c.value, 1e-6);
    }
}

TEST(InputBox, TwoCornersWithTheirPrompts) {
    Harness h;
    Vec3 a, b;
    g_probe = [&](VIEW** vr) { return input_box(vr, nullptr, &a, &b, 0); };
    h.define(kProbe, cmd_probe);
    h.click({10, 20, 0}).click({60, 70, 0});
    EXPECT_EQ(h.run(kProbe), 0);
    expect_near3(a, {10, 20, 0});
    expect_near3(b, {60, 70, 0});
    EXPECT_EQ(h.shown_prompts(), (std::vector<int>{42092, 42093}));
    expect_near3(view_input_state(h.view())->points[0], {10, 20, 0});
}

TEST(InputObject, SelectionIsTakenWithoutAskingAndNeverFreed) {
    Harness h(2);
    XPLINE* line = scene_line(scene_layer(h.model()), {{0, 0, 0}, {100, 0, 0}});
    EXPECT_EQ(buffer_add(h.view(0)->selection, line), 0);
    buffer* other_selection = h.view(1)->selection;
    buffer* got = other_selection;  // left from an earlier pass: another view's selection
    int code = 99;
    g_probe = [&](VIEW** vr) {
        Vec3 p;
        code = input_object(vr, &got, &p);
        input_finish(*vr, got);
        return code;
    };
    h.define(kProbe, cmd_probe);
    h.run(kProbe);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(got, h.view(0)->selection);
    EXPECT_TRUE(h.shown_prompts().empty());
    EXPECT_EQ(h.view(1)->selection, other_selection);
    EXPECT_TRUE(rtc_is_a(other_selection, &buffer::rtc_class));  // still alive
    EXPECT_EQ(buffer_has_objects(h.view(0)->selection), 1);
}

TEST(InputObject, PickingLoopsUntilAHitAndRestoresItsOwnViewsSettings) {
    Harness h(2);
    XPLINE* line = scene_line(scene_layer(h.model()), {{0, 50, 0}, {100, 50, 0}});
    for (int i = 0; i < 2; ++i) {
        h.view(i)->input_flags = kSnapLineEnd | kSnapRemember;
        h.view(i)->grid_on = 1;
        h.view(i)->step_select = 1;
    }
    h.view(1)->input_flags = kSnapGravity;
    buffer* got = nullptr;
    ZOBJ* picked = nullptr;
    int code = 99;
    g_probe = [&](VIEW** vr) {
        Vec3 p;
        code = input_object(vr, &got, &p);
        if (got && got->refs) picked = got->refs->ref;
        input_finish(*vr, got);
        return code;
    };
    h.define(kProbe, cmd_probe);
    // A miss asks again; the command moves to the second view and picks there.
    h.click({50, 120, 0}).at(1).activate().click({50, 50, 0});
    h.run(kProbe);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(picked, line);
    EXPECT_EQ(h.shown_prompts(), (std::vector<int>{42059, 42059}));
    // The first view gets its own settings back; the second keeps its own.
    EXPECT_EQ(h.view(0)->input_flags, kSnapLineEnd | kSnapRemember);
    EXPECT_EQ(h.view(0)->grid_on, 1);
    EXPECT_EQ(h.view(0)->step_select, 1);
    EXPECT_EQ(h.view(1)->input_flags, kSnapGravity);
}

TEST(InputObject, AViewClosedAfterThePickMovedOnIsLeftAlone) {
    Harness h(2);
    XPLINE* line = scene_line(scene_layer(h.model()), {{0, 50, 0}, {100, 50, 0}});
    h.view(1)->input_flags = kSnapFree;
    buffer* got = nullptr;
    int code = 99;
    g_probe = [&](VIEW** vr) {
        Vec3 p;
        got = input_pick_objects(vr, &p, &code);
        return code;
    };
    h.define(kProbe, cmd_probe);
    // The pick started in the first view moves to the second; the first view is closed
    // (and its VIEW destroyed) before the click there ends the pick.
    h.at(1).activate().at(0).close().at(1).click({50, 50, 0});
    h.run(kProbe);
    EXPECT_EQ(code, 0);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->refs->ref, line);
    EXPECT_EQ(h.view(0), nullptr);
    EXPECT_EQ(h.view(1)->input_flags, kSnapFree);
    buffer_free(&got);
}

TEST(InputObject, ASelectionStaysWithTheCommandWhenItsViewCloses) {
    Harness h(2);
    XPLINE* line = scene_line(scene_layer(h.model()), {{0, 50, 0}, {100, 50, 0}});
    EXPECT_EQ(buffer_add(h.view(0)->selection, line), 0);
    h.view(1)->input_flags = kSnapFree;
    int code = 99, live = -1;
    g_probe = [&](VIEW** vr) {
        buffer* got = nullptr;
        Vec3 p;
        code = input_object(vr, &got, &p);
        if (code == 0) code = input_point(vr, 42002, nullptr, nullptr, &p, 0);
        live = got && got->refs && got->refs->ref == line ? 1 : 0;
        input_finish(*vr, got);  // no VIEW's selection any more: freed here
        return code;
    };
    h.define(kProbe, cmd_probe);
    // The command takes the first view's selection, moves to the second view, and the
    // first view closes before the next point.
    h.at(1).activate().at(0).close().at(1).click({50, 20, 0});
    h.run(kProbe);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(live, 1);
    EXPECT_EQ(h.view(0), nullptr);
}

TEST(InputObject, ASelectionIsKeptWhenTheStepIsCancelled) {
    Harness h;
    XPLINE* line = scene_line(scene_layer(h.model()), {{0, 50, 0}, {100, 50, 0}});
    EXPECT_EQ(buffer_add(h.view(0)->selection, line), 0);
    int code = 99;
    g_probe = [&](VIEW** vr) {
        buffer* got = nullptr;
        Vec3 p;
        code = input_object(vr, &got, &p);
        if (code == 0) code = input_point(vr, 42002, nullptr, nullptr, &p, 0);
        input_finish(*vr, got);  // the view is null after the close
        return code;
    };
    h.define(kProbe, cmd_probe);
    h.close();  // the command view closes: the step is cancelled, the VIEW lives on
    h.run(kProbe);
    EXPECT_EQ(code, -2);
    ASSERT_TRUE(rtc_is_a(h.view(0)->selection, &buffer::rtc_class));
    EXPECT_EQ(buffer_has_objects(h.view(0)->selection), 1);
}

TEST(InputObject, CancelledPickGivesNoBuffer) {
    Harness h;
    int code = 99;
    buffer* got = nullptr;
    g_probe = [&](VIEW** vr) {
        Vec3 p;
        got = input_pick_objects(vr, &p, &code);
        return code;
    };
    h.define(kProbe, cmd_probe);
    h.esc();
    h.run(kProbe);
    EXPECT_EQ(code, -1);
    EXPECT_EQ(got, nullptr);
}

TEST(InputState, PointSlotsAndPhantomSource) {
    Harness h;
    EXPECT_EQ(input_set_point(h.view(), {1, 2, 3}, 15), 0);
    EXPECT_EQ(input_set_point(h.view(), {1, 2, 3}, 16), kBadArgument);
    EXPECT_EQ(input_set_point(h.view(), {1, 2, 3}, -1), kBadArgument);
    DocInputState* st = view_input_state(h.view());
    expect_near3(st->points[15], {1, 2, 3});
    XPLINE* line = scene_line(scene_layer(h.model()), {{0, 0, 0}, {1, 0, 0}});
    input_set_last_point(h.view(), line, {4, 5, 6});
    EXPECT_EQ(st->phantom_objects, line);
    input_clear_last_point(h.view());
    EXPECT_EQ(st->phantom_objects, nullptr);
}

int g_options_result = 0;
int g_options_calls = 0;
int options_cb(VIEW**) {
    ++g_options_calls;
    return g_options_result;
}

TEST(InputOptions, ChangedOptionsRestartTheStepUnchangedKeepWaiting) {
    for (int changed : {0, 1}) {
        SCOPED_TRACE(changed);
        Harness h;
        g_options_result = changed;
        g_options_calls = 0;
        int code = 99;
        g_probe = [&](VIEW** vr) {
            Vec3 p;
            code = input_point(vr, 42002, cursor_draw_crosshair, options_cb, &p, 0);
            return code;
        };
        h.define(kProbe, cmd_probe);
        h.move(10, 10).options();
        if (!changed) h.call([](Harness& hh) { EXPECT_EQ(hh.view()->cursor_shown, 1); }).click({5, 5, 0});
        h.run(kProbe);
        EXPECT_EQ(g_options_calls, 1);
        EXPECT_EQ(code, changed ? -1 : 0);
    }
}

TEST(InputText, InPlaceCharactersBackspaceAndSubmitKeepTheText) {
    Harness h;
    auto t = rtc_make<TEXT2>();
    t->text = "A";
    DocInputState* st = view_input_state(h.view());
    st->text_object = t.get();
    EXPECT_EQ(typed_input_char(h.view(), 'b'), 0);
    EXPECT_EQ(typed_input_char(h.view(), 'c'), 0);
    EXPECT_EQ(typed_input_char(h.view(), 8), 0);
    EXPECT_EQ(t->text, "Ab");
    t->text.clear();
    EXPECT_EQ(typed_input_char(h.view(), 8), 0);
    EXPECT_EQ(t->text, "");
    // The options key keeps the text when the options changed.
    t->text = "keep";
    st->on_options = [](VIEW** vr) {
        static_cast<TEXT2*>(view_input_state(*vr)->text_object)->text = "changed";
        return 1;
    };
    VIEW* v = h.view();
    EXPECT_EQ(typed_input_submit(&v), 1);
    EXPECT_EQ(t->text, "keep");
    st->text_object = nullptr;
    st->on_options = nullptr;
}

}  // namespace
