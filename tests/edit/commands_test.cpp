// Scripted runs of the selection, delete and transform commands and of Change Label
// through the real processor: what the selection holds, which objects the drawing
// holds afterwards and where, which prompts were asked, and the undo levels made.
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <functional>

#include "commands/input/input.h"
#include "model/math/result.h"
#include "model/services/strtab.h"
#include "edit_fixture.h"
#include "graphics/view/projection.h"
#include "model/math/matrix.h"
#include "../platform/qt_test_env.h"

namespace {

struct Scene {
    XPLINE* a;  // (0,0)-(10,0)
    XPLINE* b;  // (0,40)-(10,40)
    XPLINE* c;  // (100,100)-(110,100)
};

Scene three_lines(Harness& h) {
    return {line_at(h.model(), 0, 0), line_at(h.model(), 0, 40), line_at(h.model(), 100, 100)};
}

using SelectTest = EditTest;

TEST_F(SelectTest, LocationModesFiltersAndTheAllButton) {
    struct Case {
        const char* name;
        uint32_t flags;
        int dialog;  // criteria dialog answer: 1 OK, 2 All, 0 Cancel
        int mark;    // "Mark"
        std::function<void(Harness&)> script;
        int want_count;
        int want_dialogs;
    };
    const Case cases[] = {
        {"point", kCritPoint, 1, 0, [](Harness& h) { h.click({5, 0, 0}).esc(); }, 1, 1},
        {"two points, then Esc", kCritPoint, 1, 0, [](Harness& h) { h.click({5, 0, 0}).click({5, 40, 0}).esc(); },
         2, 1},
        {"box", 2, 1, 0, [](Harness& h) { h.click({-5, -5, 0}).click({20, 50, 0}).esc(); }, 2, 1},
        {"fence", kCritFence, 1, 0, [](Harness& h) { h.click({5, -10, 0}).click({5, 50, 0}).esc(); }, 2, 1},
        {"whole drawing", 0, 1, 0, [](Harness&) {}, 3, 1},
        {"All ignores the location", kCritPoint, 2, 0, [](Harness&) {}, 3, 1},
        {"cancel", 2, 0, 0, [](Harness&) {}, 0, 1},
        {"Mark skips the dialog", 2, 1, 1, [](Harness& h) { h.click({-5, -5, 0}).click({20, 10, 0}).esc(); }, 1, 0},
        {"options key, All", 2, 2, 1, [](Harness& h) { h.options(); }, 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        define_edit_commands(h);
        three_lines(h);
        h.view()->criteria.flags = c.flags;
        g_prefs.mark = c.mark;
        int dialogs = 0;
        edit_dialogs().select_criteria = [&](VIEW*, uint32_t help) {
            EXPECT_EQ(help, 40006u);
            ++dialogs;
            return c.dialog;
        };
        c.script(h);
        h.run(kCmdSelect);
        EXPECT_EQ(h.script_left(), 0u);
        EXPECT_EQ(refs_of(h.view()->selection).size(), static_cast<size_t>(c.want_count));
        EXPECT_EQ(dialogs, c.want_dialogs);
        EXPECT_EQ(h.view()->criteria.flags, c.flags);  // "All" restores the location bits
    }
}

// While the second fence point is asked, a rubber line runs from the first point to
// the cursor (the box mode shows its box the same way).
TEST_F(SelectTest, FenceShowsItsLineWhileTheSecondPointIsAsked) {
    for (int select : {1, 0}) {
        SCOPED_TRACE(select);
        Harness h;
        define_edit_commands(h);
        three_lines(h);
        h.view()->criteria.flags = kCritFence;
        g_prefs.mark = g_prefs.unmark = 1;
        // Halfway along the line from pixel (40, 40) to (120, 100), on neither crosshair.
        auto mid = [&h] {
            const Canvas& c = h.window()->canvas;
            const uint8_t* px = c.row(c.height() - 1 - 70) + 3 * 80;
            return std::vector<uint8_t>(px, px + 3);
        };
        std::vector<uint8_t> before, shown;
        h.click_px(40, 40).call([&](Harness&) { before = mid(); }).move(120, 100).call([&](Harness&) {
            shown = mid();
        });
        h.esc();
        h.run(select ? kCmdSelect : kCmdDeselect);
        EXPECT_EQ(h.script_left(), 0u);
        EXPECT_NE(shown, before);
        EXPECT_EQ(mid(), before);  // erased when the step ended
    }
}

TEST_F(SelectTest, DeselectByBoxAndTheColourFilter) {
    Harness h;
    define_edit_commands(h);
    Scene s = three_lines(h);
    s.c->colour = 3;
    h.view()->criteria.flags = 0;
    h.run(kCmdSelect);
    ASSERT_EQ(refs_of(h.view()->selection).size(), 3u);
    h.view()->criteria.flags = 2;
    h.click({-5, -5, 0}).click({20, 10, 0}).esc();
    h.run(kCmdDeselect);
    EXPECT_EQ(refs_of(h.view()->selection), (std::set<ZOBJ*>{s.b, s.c}));
    // The colour filter over the whole drawing ("All").
    buffer_clear(h.view()->selection);
    h.view()->criteria.flags = kPickWindow | kPickColour;
    h.view()->criteria.colour = 3;
    edit_dialogs().select_criteria = [](VIEW*, uint32_t) { return 2; };
    h.run(kCmdSelect);
    EXPECT_EQ(refs_of(h.view()->selection), (std::set<ZOBJ*>{s.c}));
}

// The options key with the criteria dialog cancelled leaves the step waiting; the
// Esc after it ends the command at once.
TEST_F(SelectTest, EscAfterACancelledCriteriaDialogEnds) {
    Harness h;
    define_edit_commands(h);
    three_lines(h);
    h.view()->criteria.flags = 2;
    std::deque<int> answers_left = {1, 0};  // OK at the start, Cancel from the options key
    edit_dialogs().select_criteria = [&](VIEW*, uint32_t) {
        const int a = answers_left.empty() ? 1 : answers_left.front();
        if (!answers_left.empty()) answers_left.pop_front();
        return a;
    };
    h.options().esc();
    EXPECT_EQ(h.run(kCmdSelect), 0);
    EXPECT_FALSE(h.ran_out);
    EXPECT_TRUE(answers_left.empty());
    EXPECT_FALSE(buffer_has_objects(h.view()->selection));
}

using DeleteTest = EditTest;

TEST_F(DeleteTest, SelectionPickingAndNo) {
    struct Case {
        const char* name;
        bool select_two;
        std::deque<int> answers;
        std::function<void(Harness&)> script;
        size_t want_left;
        int want_levels;
    };
    const Case cases[] = {
        {"selection, Yes", true, {kIdYes}, [](Harness&) {}, 1, 1},
        {"selection, No", true, {kIdNo}, [](Harness&) {}, 3, 0},
        {"two picks, two levels", false, {kIdYes, kIdYes},
         [](Harness& h) { h.click({5, 0, 0}).click({5, 40, 0}).esc(); }, 1, 2},
        {"pick, No, pick again", false, {kIdNo, kIdYes},
         [](Harness& h) { h.click({5, 0, 0}).click({5, 0, 0}).esc(); }, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        define_edit_commands(h);
        Scene s = three_lines(h);
        if (c.select_two) {
            EXPECT_EQ(buffer_add(h.view()->selection, s.a), 0);
            EXPECT_EQ(buffer_add(h.view()->selection, s.b), 0);
        }
        answers = c.answers;
        c.script(h);
        h.run(kCmdDelete);
        EXPECT_EQ(h.script_left(), 0u);
        EXPECT_EQ(drawing_objects(h.model()).size(), c.want_left);
        EXPECT_EQ(h.model()->undo_levels, c.want_levels);
        if (c.want_levels) {
            EXPECT_FALSE(buffer_has_objects(h.view()->selection));
        }
        // Undo of every level gives the three lines back.
        for (int i = 0; i < c.want_levels; ++i) model_undo(h.model());
        EXPECT_EQ(drawing_objects(h.model()).size(), 3u);
    }
}

TEST_F(DeleteTest, UndoOffStillRollsBackAndKeepsNoLevel) {
    Harness h;
    define_edit_commands(h);
    Scene s = three_lines(h);
    g_prefs.undo_mode = 0;
    EXPECT_EQ(buffer_add(h.view()->selection, s.a), 0);
    h.run(kCmdDelete);
    EXPECT_EQ(drawing_objects(h.model()).size(), 2u);
    EXPECT_EQ(h.model()->undo_levels, 0);
}

using TransformTest = EditTest;

TEST_F(TransformTest, MoveLeavesTheSelectionHoldingTheMovedObjects) {
    Harness h;
    define_edit_commands(h);
    Scene s = three_lines(h);
    EXPECT_EQ(buffer_add(h.view()->selection, s.a), 0);
    // Esc at the new location goes back to "Base point"; Esc there ends.
    h.click({0, 0, 0}).esc().click({0, 0, 0}).click({20, 30, 0}).esc();
    h.run(kCmdMove);
    EXPECT_EQ(h.script_left(), 0u);
    const auto sel = refs_of(h.view()->selection);
    ASSERT_EQ(sel.size(), 1u);
    object* moved = static_cast<object*>(*sel.begin());
    EXPECT_NE(moved, s.a);
    expect_near3(first_point(moved), {20, 30, 0});
    EXPECT_EQ(drawing_objects(h.model()).size(), 3u);
    EXPECT_EQ(h.model()->undo_levels, 1);
    EXPECT_EQ(h.shown_prompts(), (std::vector<int>{int(kPromptBasePoint), int(kPromptNewLocation),
                                                   int(kPromptBasePoint), int(kPromptNewLocation),
                                                   int(kPromptBasePoint)}));
}

// The selection of view 1 is held while Move works on it; the command goes on in view
// 2 (a new location clicked there, then Esc at "Select the object"): the hold ends
// with the pass that took it, not at the end of the command, which never sees it.
TEST_F(TransformTest, MoveGoingOnInAnotherViewLetsTheFirstSelectionGo) {
    Harness h(2);
    define_edit_commands(h);
    Scene s = three_lines(h);
    EXPECT_EQ(buffer_add(h.view(0)->selection, s.a), 0);
    h.at(0).click({0, 0, 0}).at(1).activate().click({20, 30, 0}).esc();
    h.run(kCmdMove);
    EXPECT_EQ(h.script_left(), 0u);
    EXPECT_EQ(refs_of(h.view(0)->selection).size(), 1u);
    EXPECT_FALSE(view_selection_held(h.view(0)->selection));
}

TEST_F(TransformTest, CopyToThreeLocationsCopiesTheSources) {
    Harness h;
    define_edit_commands(h);
    Scene s = three_lines(h);
    EXPECT_EQ(buffer_add(h.view()->selection, s.a), 0);
    h.click({0, 0, 0}).click({0, 10, 0}).click({0, 20, 0}).click({0, 30, 0}).esc();
    h.run(kCmdCopy);
    EXPECT_EQ(h.script_left(), 0u);
    EXPECT_EQ(refs_of(h.view()->selection), (std::set<ZOBJ*>{s.a}));  // unchanged
    std::multiset<float> ys;
    for (object* o : drawing_objects(h.model()))
        if (first_point(o).x == 0) ys.insert(first_point(o).y);
    EXPECT_EQ(ys, (std::multiset<float>{0, 10, 20, 30, 40}));
    EXPECT_EQ(h.model()->undo_levels, 3);
}

TEST_F(TransformTest, MirrorKeepsOrReplacesTheParents) {
    for (int replace : {0, 1}) {
        SCOPED_TRACE(replace);
        Harness h;
        define_edit_commands(h);
        Scene s = three_lines(h);
        g_prefs.delete_parents = replace;
        g_prefs.mirror = 1;  // no options dialog
        EXPECT_EQ(buffer_add(h.view()->selection, s.a), 0);
        // Mirror line x = 20 twice: a replaced line comes back where it was.
        h.click({20, 0, 0}).click({20, 50, 0}).click({20, 60, 0}).esc();
        h.run(kCmdMirror);
        EXPECT_EQ(h.script_left(), 0u);
        const auto objs = drawing_objects(h.model());
        EXPECT_EQ(objs.size(), replace ? 3u : 5u);
        int at_origin = 0, mirrored = 0;
        for (object* o : objs) {
            const Vec3 p = first_point(o);
            at_origin += std::fabs(p.x) < 1e-3 && std::fabs(p.y) < 1e-3;
            mirrored += std::fabs(p.x - 40) < 1e-3 && std::fabs(p.y) < 1e-3;
        }
        EXPECT_EQ(at_origin, 1);  // the source, or the replaced line mirrored back
        EXPECT_EQ(mirrored, replace ? 0 : 2);
        EXPECT_EQ(h.model()->undo_levels, 2);
    }
}

TEST_F(TransformTest, RotateModeZeroOnAPickedLineAsksOnlyTheAngle) {
    Harness h;
    define_edit_commands(h);
    Scene s = three_lines(h);
    g_prefs.rotation_mode = 0;
    g_prefs.turn = 1;
    h.click({5, 0, 0}).typed("90").esc();
    h.run(kCmdRotate);
    EXPECT_EQ(h.script_left(), 0u);
    EXPECT_EQ(h.shown_prompts(), (std::vector<int>{int(kPromptSelectObject), int(kPromptRotationAngle),
                                                   int(kPromptRotationAngle)}));
    auto objs = drawing_objects(h.model());
    ASSERT_EQ(objs.size(), 4u);
    object* copy = objs.back();
    EXPECT_NE(copy, s.a);
    // Turned a quarter about the pick point (5, 0): (0,0) goes to (5,-5).
    expect_near3(first_point(copy), {5, -5, 0}, 1e-3);
}

// 100 view units from a centre at x = 5e9 round back onto the centre in floats. The
// command runs in a child whose alarm ends a loop that never would.
int rotate_about_far_centre() {
    alarm(30);
    Harness h;
    define_edit_commands(h);
    XPLINE* far = scene_line(scene_layer(h.model()), {{5e9f, 0, 0}, {5e9f, 4096, 0}});
    g_prefs.rotation_mode = 6, g_prefs.turn = 1, g_prefs.delete_parents = 1;
    edit_dialogs().transform_options = [](VIEW*, int) { return g_prefs.rotation_mode = 2, 1; };  // F10
    EXPECT_EQ(buffer_add(h.view()->selection, far), 0);
    h.typed("5000000000 0 0").options().typed("90").esc();
    h.run(kCmdRotate);
    const auto objs = drawing_objects(h.model());
    auto* turned = objs.size() == 1 ? rtc_cast<XPLINE>(objs[0]) : nullptr;
    const PointNode* end = turned && turned->control ? turned->control->next : nullptr;
    return h.script_left() == 0 && end && end->x == 5e9f - 4096 && std::fabs(end->y) < 1 ? 0 : 1;
}

TEST_F(TransformTest, RotateAboutAFarCentreWithoutAskingTheBaseLineEnds) {
    EXPECT_EXIT(std::_Exit(rotate_about_far_centre()), ::testing::ExitedWithCode(0), "");
}

// A typed angle past the float range and a typed mirror line whose two points are one
// float point are refused with a message, and the point is asked again. At "Base line
// end point" Esc and the right button did nothing (the step was asked again for ever):
// they end the command; options that change how the end is found find it again; an
// end that float rounding puts on a far centre is refused, saying so.
TEST_F(TransformTest, PointStepsRefuseUnusablePointsAndEndOnEsc) {
    const int C = kPromptRotationCentre, E = kPromptBaseLineEnd, A = kPromptRotationAngle;
    struct Case {
        uint32_t command;
        std::function<void(Harness&)> script;
        std::vector<int> prompts;
        std::vector<std::string> boxes;
        size_t objects = 3;
    };
    auto asking_base = [](std::function<void(Harness&)> script) {
        return [script](Harness& h) { g_prefs.rotation_mode = 6, script(h); };
    };
    const std::vector<Case> cases = {
        {kCmdRotate, [](Harness& h) { h.click({0, 0, 0}).typed("1e300").esc(); }, {C, A, A},
         {"Please enter the value correctly"}},
        {kCmdMirror, [](Harness& h) { h.typed("1 1 0").typed("1.00000001 1 0").esc(); },
         {int(kPromptMirrorStart), int(kPromptMirrorEnd), int(kPromptMirrorEnd)},
         {"The two points of the mirror line are one point"}},
        {kCmdRotate, asking_base([](Harness& h) { h.click({0, 0, 0}).esc(); }), {C, E}, {}},
        {kCmdRotate, asking_base([](Harness& h) { h.click({0, 0, 0}).right(); }), {C, E}, {}},
        {kCmdRotate, asking_base([](Harness& h) {
             edit_dialogs().transform_options = [](VIEW*, int) { return g_prefs.rotation_mode = 2, 1; };
             h.click({0, 0, 0}).options().typed("180").esc();
         }),
         {C, E, A, A}, {}, 4},
        {kCmdRotate, asking_base([](Harness& h) {
             h.typed("5000000000 0 0").typed("5000000001 0 0").typed("5000001000 0 0").typed("180").esc();
         }),
         {C, E, E, A, A}, {"The base line end lies on the rotation centre"}, 4},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        Harness h;
        define_edit_commands(h);
        Scene s = three_lines(h);
        g_prefs.rotation_mode = 2;
        g_prefs.mirror = g_prefs.turn = 1;
        boxes.clear();
        EXPECT_EQ(buffer_add(h.view()->selection, s.a), 0);
        c.script(h);
        EXPECT_EQ(h.run(c.command), -1);
        EXPECT_EQ(h.script_left(), 0u);
        EXPECT_EQ(h.shown_prompts(), c.prompts);
        EXPECT_EQ(boxes, c.boxes);
        EXPECT_EQ(drawing_objects(h.model()).size(), c.objects);
        edit_dialogs() = EditDialogs{};
    }
}

// In a turned view float rounding tilts a short base line from a far centre: a quarter
// turn clicked above the centre turns a line pointing right to point up.
TEST_F(TransformTest, AngleAboutAFarCentreInATurnedViewIsFromTheHorizontal) {
    Harness h;
    define_edit_commands(h);
    ViewProjection& vp = h.view()->projection;
    mat_rotate_xyz(&vp.view, &vp.inverse, 0.6154797, 0, 0.785398);
    Vec3 c, v, end, above;
    world_to_view(&vp, {5e9f, 0, 0}, &c);
    vp.scale = 1e-6, vp.origin_x = c.x - 4e8, vp.origin_y = c.y - 3e8;
    view_to_world(&vp, {c.x + 1e8f, c.y, c.z}, &end);
    view_to_world(&vp, {c.x, c.y + 1e8f, c.z}, &above);
    EXPECT_EQ(
        buffer_add(h.view()->selection, scene_line(scene_layer(h.model()), {{5e9f, 0, 0}, end})),
        0);
    g_prefs.rotation_mode = 2, g_prefs.turn = 1, g_prefs.delete_parents = 1;
    h.typed("5000000000 0 0").click(above).esc();
    h.run(kCmdRotate);
    const PointNode* p = rtc_cast<XPLINE>(drawing_objects(h.model()).at(0))->control->next;
    world_to_view(&vp, {p->x, p->y, p->z}, &v);
    EXPECT_NEAR(v.x - c.x, 0, 2e6);
    EXPECT_NEAR(v.y - c.y, 1e8, 2e6);
}

TEST_F(TransformTest, StretchTypedFactors) {
    struct Case {
        const char* text;
        double fx, fy;
    };
    for (const Case& c : {Case{"2", 2, 2}, Case{"2 3", 2, 3}, Case{"0", 0, 0}}) {
        SCOPED_TRACE(c.text);
        Harness h;
        define_edit_commands(h);
        XPLINE* diag = scene_line(scene_layer(h.model()), {{10, 10, 0}, {20, 30, 0}});
        g_prefs.resize = 1;
        g_prefs.delete_parents = 1;
        EXPECT_EQ(buffer_add(h.view()->selection, diag), 0);
        h.click({0, 0, 0}).typed(c.text);
        if (c.fx == 0) h.typed("1");  // a zero factor asks again
        h.esc();
        h.run(kCmdStretch);
        EXPECT_EQ(h.script_left(), 0u);
        auto* line = rtc_cast<XPLINE>(*refs_of(h.view()->selection).begin());
        ASSERT_NE(line, nullptr);
        const double fx = c.fx ? c.fx : 1, fy = c.fy ? c.fy : 1;
        expect_near3({line->control->next->x, line->control->next->y, 0}, {float(20 * fx), float(30 * fy), 0});
    }
}

TEST_F(TransformTest, StretchClickUsesTheUntruncatedReference) {
    // 64 pixels a unit: 32 pixels span half a unit, which truncates to nothing.
    Harness h;
    define_edit_commands(h);
    XPLINE* l = scene_line(scene_layer(h.model()), {{0, 0, 0}, {1, 1, 0}});
    h.view()->projection.scale = 64;
    g_prefs.resize = 1;
    g_prefs.delete_parents = 1;
    EXPECT_EQ(buffer_add(h.view()->selection, l), 0);
    h.click({0, 0, 0}).click({1, 0.5f, 0}).esc();
    h.run(kCmdStretch);
    auto* line = rtc_cast<XPLINE>(*refs_of(h.view()->selection).begin());
    ASSERT_NE(line, nullptr);
    expect_near3({line->control->next->x, line->control->next->y, 0}, {2, 1, 0}, 0.05);
}

TEST_F(TransformTest, StretchTransformIsExactFarFromTheOrigin) {
    ViewProjection vp;
    Transform t;
    const double f[3] = {1.5, 1.5, 1.0};
    ASSERT_EQ(stretch_transform(&vp, {1e7f, 0, 0}, f, &t), 0);
    Vec3d p = {1e7 + 2, 4, 0}, q;
    xform_point_d(&q, &p, &t, 0);
    EXPECT_DOUBLE_EQ(q.x, 1e7 + 3);
    EXPECT_DOUBLE_EQ(q.y, 6);
    const double bad[3] = {1.5, 0, 1};
    EXPECT_EQ(stretch_transform(&vp, {0, 0, 0}, bad, &t), kBadArgument);
}

using LabelTest = EditTest;

TEST_F(LabelTest, SelectionAndPickedLabels) {
    Harness h;
    define_edit_commands(h);
    Scene s = three_lines(h);
    s.a->set_string(1, "old");
    EXPECT_EQ(buffer_add(h.view()->selection, s.a), 0);
    EXPECT_EQ(buffer_add(h.view()->selection, s.b), 0);
    strings = {"   Wall"};
    h.run(kCmdChangeLabel);
    EXPECT_STREQ(s.a->str(1), "Wall");
    EXPECT_STREQ(s.b->str(1), "Wall");
    EXPECT_GE(h.modified, 1);  // closing asks to save
    strings = {"   "};
    h.run(kCmdChangeLabel);
    EXPECT_STREQ(s.a->str(1), "");
    // Picked: the dialog starts from the object's label; Cancel leaves it.
    buffer_clear(h.view()->selection);
    s.c->set_string(1, "keep");
    strings = {};
    h.click({105, 100, 0}).esc();
    h.run(kCmdChangeLabel);
    EXPECT_STREQ(s.c->str(1), "keep");
    EXPECT_EQ(string_prompts.back(), kPromptLabelObject);
}

// An object whose label cannot be stored (no memory).
class NoMemoryLabel : public ZOBJ {
  public:
    int set_string(int, const char*) override { return kOutOfMemory; }
};

TEST_F(LabelTest, NoMemoryIsReportedAsSuch) {
    Harness h;
    define_edit_commands(h);
    NoMemoryLabel obj;
    EXPECT_EQ(buffer_add(h.view()->selection, &obj), 0);
    strings = {"Wall"};
    EXPECT_EQ(h.run(kCmdChangeLabel), kOutOfMemory);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], res_load_string(kTextNoMemory));
    buffer_clear(h.view()->selection);
}

}  // namespace
