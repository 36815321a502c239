// Command support: attributes of added objects, groups without undo, undo and redo
// of the whole history with the extents, style fall-back in every view, layer flags
// of all views with a failing push, the model hooks and the cursor angle.
#include <gtest/gtest.h>

#include <algorithm>

#include "commands/input/input.h"
#include "commands/input/support.h"
#include "commands/input/zoom.h"
#include "graphics/view/view_gdi.h"
#include "model/db/buffer.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/undo.h"
#include "model/math/result.h"
#include "model/math/scalar.h"
#include "model/services/prefs.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

namespace {

std::unique_ptr<XPLINE> new_line(std::initializer_list<Vec3> pts) {
    auto x = rtc_make<XPLINE>();
    x->control = scene_plist(pts);
    return x;
}

TEST(AddObject, CurrentAttributesAccuracyAndOwnership) {
    Harness h;
    VIEW* v = h.view();
    g_prefs.undo_mode = -1;
    v->current_colour = 4;
    v->line_width = 1.5;
    v->line_style_scale = 2.0;
    auto line_made = new_line({{0, 0, 0}, {10, 0, 0}});
    XPLINE* line = line_made.get();
    EXPECT_EQ(drawing_add_object(v, std::move(line_made), 1), 0);
    EXPECT_EQ(line->colour, 4);
    EXPECT_FLOAT_EQ(line->width, 1.5f);
    EXPECT_DOUBLE_EQ(line->curve_step, 5.0);
    EXPECT_DOUBLE_EQ(line->second, 2.0);
    EXPECT_EQ(line->parent, scene_layer(h.model()));
    EXPECT_EQ(h.model()->undo_levels, 1);
    EXPECT_GE(h.modified, 1);

    auto circle = rtc_make<ELARC>();
    circle->flags = kElarcCircular | kElarcWholeEllipse;
    circle->axis1 = {5, 0, 0};
    circle->axis2 = {0, 5, 0};
    circle->end = kTwoPi;
    ELARC* c = circle.get();
    EXPECT_EQ(drawing_add_object(v, std::move(circle), 0), 0);
    EXPECT_DOUBLE_EQ(c->curve_step, kPi / 12);

    auto mesh = rtc_make<MESH3>();
    v->material.colour[0] = 0.25f;
    MESH3* m = mesh.get();
    EXPECT_EQ(drawing_add_object(v, std::move(mesh), 1), 0);
    EXPECT_FLOAT_EQ(m->width, 0.0f);
    EXPECT_FLOAT_EQ(m->material->colour[0], 0.25f);
}

TEST(AddObject, IntoAGroupWithoutUndoButWithExtents) {
    Harness h;
    VIEW* v = h.view();
    auto g = rtc_make<CONTAINER>();
    CONTAINER* group = g.get();
    EXPECT_EQ(container_insert(scene_layer(h.model()), g.release()), 0);
    v->current_layer = reinterpret_cast<LAYER*>(group);  // a group being filled
    const int levels = h.model()->undo_levels;
    views_compute_extents(v);
    EXPECT_EQ(drawing_add_object(v, new_line({{300, 300, 0}, {310, 300, 0}}), 1), 0);
    EXPECT_EQ(h.model()->undo_levels, levels);
    EXPECT_EQ(scene_children(group).size(), 1u);
    EXPECT_NEAR(view_extents(v).max.x, 310.25, 1e-4);  // half the 0.5 line width beyond the end
    EXPECT_GE(h.modified, 1);
}

TEST(UndoRedo, AllTheWayBackAndForthRestoresDrawingAndExtents) {
    Harness h(2);
    VIEW* v = h.view();
    g_prefs.undo_mode = -1;
    LAYER* layer = scene_layer(h.model());
    views_compute_extents(v);
    const BBox empty = view_extents(v);
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(drawing_add_object(
                      v, new_line({{float(10 * i), 0, 0}, {float(10 * i + 5), float(i), 0}}), 1),
                  0);
    const BBox full = view_extents(h.view(1));
    const size_t n = scene_children(layer).size();
    for (int i = 0; i < 6; ++i) cmd_undo(v);
    EXPECT_EQ(scene_children(layer).size(), 0u);
    EXPECT_TRUE(bbox_is_empty(view_extents(h.view(1))));
    EXPECT_TRUE(bbox_is_empty(empty));
    cmd_undo(v);  // nothing left: silently nothing
    for (int i = 0; i < 6; ++i) cmd_redo(v);
    EXPECT_EQ(scene_children(layer).size(), n);
    const BBox again = view_extents(h.view(1));
    EXPECT_FLOAT_EQ(again.min.x, full.min.x);
    EXPECT_FLOAT_EQ(again.max.x, full.max.x);
    EXPECT_FLOAT_EQ(again.max.y, full.max.y);
    cmd_redo(v);
    EXPECT_EQ(scene_children(layer).size(), n);
}

TEST(UndoRedo, RefusedWhileACommandWaits) {
    Harness h;
    g_prefs.undo_mode = -1;
    ASSERT_EQ(drawing_add_object(h.view(), new_line({{0, 0, 0}, {5, 0, 0}}), 1), 0);
    g_probe = [](VIEW** vr) {
        Vec3 p;
        return input_point(vr, 42002, nullptr, nullptr, &p, 0);
    };
    h.define(kProbe, cmd_probe);
    h.call([](Harness& hh) { cmd_undo(hh.view()); }).esc();
    h.run(kProbe);
    EXPECT_EQ(h.beeps, 1);
    EXPECT_EQ(scene_children(scene_layer(h.model())).size(), 1u);
    cmd_undo(h.view());
    EXPECT_EQ(scene_children(scene_layer(h.model())).size(), 0u);
}

TEST(StyleFallback, UndoneStylesAndLayersInEveryView) {
    Harness h(2);
    g_prefs.undo_mode = -1;
    MODEL* m = h.model();
    // A new drawing has the built-in "Solid" line style.
    PATT* solid_raw = model_find_patt(m, "Solid", &LINEPATT::rtc_class);
    ASSERT_NE(solid_raw, nullptr);
    auto dash = rtc_make<LINEPATT>();
    dash->set_string(0, "Dash");
    LINEPATT* dash_raw = dash.get();
    ASSERT_EQ(model_add_object(m, dash.release(), -1, 1), 0);
    for (int i = 0; i < 2; ++i) h.view(i)->current_line_style = dash_raw;
    cmd_undo(h.view());
    EXPECT_EQ(h.view(0)->current_line_style, solid_raw);
    EXPECT_EQ(h.view(1)->current_line_style, solid_raw);
    // A removed current layer moves to the first layer of the drawing.
    auto second = rtc_make<LAYER>();
    LAYER* l2 = second.get();
    EXPECT_EQ(container_insert(m, second.release()), 0);
    h.view(1)->current_layer = l2;
    style_fallback_on_remove(h.view(0), l2);
    EXPECT_EQ(h.view(1)->current_layer, scene_layer(m));
}

// With every level undone, redo replays the oldest level: the views give up what that
// level takes out of the drawing, not what the newest level would.
TEST(StyleFallback, RedoAfterUndoingEverythingFallsBackFromTheOldestLevel) {
    Harness h(2);
    g_prefs.undo_mode = -1;
    MODEL* m = h.model();
    PATT* solid = model_find_patt(m, "Solid", &LINEPATT::rtc_class);
    auto dash = rtc_make<LINEPATT>();
    dash->set_string(0, "Dash");
    LINEPATT* dash_raw = dash.get();
    ASSERT_EQ(model_add_object(m, dash.release(), 0, 1), 0);  // in the drawing, no history
    ASSERT_EQ(model_delete_object(dash_raw, -1, 1), 0);
    ASSERT_EQ(drawing_add_object(h.view(), new_line({{0, 0, 0}, {5, 0, 0}}), 1), 0);
    cmd_undo(h.view());
    cmd_undo(h.view());
    ASSERT_EQ(m->undo_levels, 0);
    for (int i = 0; i < 2; ++i) h.view(i)->current_line_style = dash_raw;
    cmd_redo(h.view());  // the style goes again
    EXPECT_EQ(model_find_patt(m, "Dash", &LINEPATT::rtc_class), nullptr);
    EXPECT_EQ(h.view(0)->current_line_style, solid);
    EXPECT_EQ(h.view(1)->current_line_style, solid);
}

TEST(LayerFlags, FailedPushRollsBackEveryExtendedView) {
    Harness h(4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(h.view(i)->layer_state.flags.size(), 1u);
    views_add_layer_flag_fail_after(2);
    EXPECT_EQ(views_add_layer_flag(h.view(0), 1), kOutOfMemory);
    views_add_layer_flag_fail_after(-1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(h.view(i)->layer_state.flags.size(), 1u) << i;
    EXPECT_EQ(views_add_layer_flag(h.view(0), 0), 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(h.view(i)->layer_state.flags.back(), 0);
}

TEST(ModelHooks, NewLayersGetAFlagInEveryViewAndDuplicatesAreRefused) {
    Harness h(2);
    model_hooks_install();
    auto layer = rtc_make<LAYER>();
    EXPECT_EQ(g_hook_add_layer(h.model(), layer.get(), "Walls"), 0);
    layer.release();
    EXPECT_EQ(h.view(0)->layer_state.flags.size(), 2u);
    EXPECT_EQ(h.view(1)->layer_state.flags.size(), 2u);
    auto twin = rtc_make<LAYER>();
    EXPECT_EQ(g_hook_add_layer(h.model(), twin.get(), "Walls"), kBadArgument);
    EXPECT_EQ(h.view(0)->layer_state.flags.size(), 2u);
    // New VIEWs start from the empty extents box.
    VIEW* v = view_new(h.model(), nullptr);
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(bbox_is_empty(view_extents(v)));
    EXPECT_EQ(v->layer_state.flags.size(), 2u);
    rtc_destroy(v);
}

TEST(ViewWalk, NestedWalksAndViewsWithoutWindows) {
    Harness h(3);
    h.view(1)->window = nullptr;  // a VIEW of another kind of window
    XPLINE* line = scene_line(scene_layer(h.model()), {{0, 0, 0}, {5, 0, 0}});
    int outer = 0;
    for (VIEW* v = drawing_first_view(h.model()); v; v = drawing_next_view(v)) {
        ++outer;
        EXPECT_NE(v, h.view(1));
        view_gdi_object_all(v, line);  // walks all views inside the walk
    }
    EXPECT_EQ(outer, 2);
    h.view(1)->window = h.window(1);
    EXPECT_EQ(view_doc_path(h.view()), "drawing.qvm");
}

TEST(NestedInput, ADialogsPickRestoresTheCommandViewStateAndMode) {
    Harness h(2);
    Vec3 outer_point{0, 0, 0}, inner_point{0, 0, 0};
    int inner_code = 99;
    g_probe = [&](VIEW** vr) {
        view_set_input_mode(*vr, 1);
        DocInputState* before = view_input_state(*vr);
        // A dialog of this command asks for a point in the second view.
        DocInputState nested;
        VIEW* other = h.view(1);
        view_begin_nested_input(other, &nested);
        EXPECT_EQ(view_input_state(other), &nested);
        EXPECT_EQ(h.command_view(), other);
        EXPECT_EQ(other->nested_busy, 1);
        VIEW* ov = other;
        inner_code = input_point(&ov, 42002, nullptr, nullptr, &inner_point, 0);
        view_end_nested_input(other);
        EXPECT_EQ(view_input_state(*vr), before);
        EXPECT_EQ(h.command_view(), *vr);
        EXPECT_EQ(other->nested_busy, 0);
        EXPECT_EQ(other->input_mode, 0);  // the mode it had before the dialog asked
        return input_point(vr, 42003, nullptr, nullptr, &outer_point, 0);
    };
    h.define(kProbe, cmd_probe);
    h.at(1).click({7, 7, 0}).at(0).click({9, 9, 0});
    EXPECT_EQ(h.run(kProbe), 0);
    EXPECT_EQ(inner_code, 0);
    expect_near3(inner_point, {7, 7, 0});
    expect_near3(outer_point, {9, 9, 0});
}

// A dialog opened with no command running picks a point: the step waits for the
// click in the view it names, and afterwards no command runs.
TEST(NestedInput, APickWithNoCommandRunningWaitsForTheClick) {
    Harness h(2);
    h.at(1).click({7, 7, 0});
    VIEW* other = h.view(1);
    DocInputState nested;
    view_begin_nested_input(other, &nested);
    EXPECT_EQ(h.command_view(), other);
    Vec3 p{0, 0, 0};
    VIEW* v = other;
    const int code = input_point(&v, 42002, nullptr, nullptr, &p, 0);
    view_end_nested_input(other);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(v, other);
    expect_near3(p, {7, 7, 0});
    EXPECT_EQ(h.script_left(), 0u);
    EXPECT_FALSE(h.processor().command_running());
    EXPECT_EQ(h.command_view(), nullptr);
    EXPECT_EQ(other->nested_busy, 0);
}

TEST(ViewState, DisplayColoursFollowTheBackgroundPreference) {
    Harness h;
    const int saved = g_prefs.black_bkg;
    for (int black : {1, 0}) {
        g_prefs.black_bkg = black;
        display_colours_update();
        EXPECT_EQ(background_colour, black ? 7 : 0);
        EXPECT_EQ(default_colour, 15);
    }
    g_prefs.black_bkg = saved;
    display_colours_update();
}

TEST(ViewState, CursorAngleArmsAndIndependentMaterialCopies) {
    Harness h;
    VIEW* v = h.view();
    view_set_cursor_angle(v, kPi / 6);
    EXPECT_EQ(v->cross_arm[1], 1773);  // trunc(cos 30 * 2048)
    EXPECT_EQ(v->cross_arm[0], 1023);  // trunc(sin 30 * 2048), not rounded up
    view_set_cursor_angle(v, 0);
    EXPECT_EQ(v->cross_arm[0], 0);
    v->material.colour[1] = 0.5f;
    VIEW* copy = view_new(h.model(), v);
    ASSERT_NE(copy, nullptr);
    EXPECT_FLOAT_EQ(copy->material.colour[1], 0.5f);
    copy->material.colour[1] = 0.75f;
    EXPECT_FLOAT_EQ(v->material.colour[1], 0.5f);
    EXPECT_NE(copy->selection, v->selection);
    rtc_destroy(copy);
}

}  // namespace

namespace {
bool in_layer(LAYER* layer, const object* o) {
    return std::ranges::count(scene_children(layer), o) != 0;
}
}  // namespace

// Undo takes back the newest step first and redo gives back the oldest undone step
// first; a new step drops what could have been redone.
TEST(UndoRedo, StepsComeBackInTheirOrder) {
    Harness h;
    VIEW* v = h.view();
    g_prefs.undo_mode = -1;
    LAYER* layer = scene_layer(h.model());
    object* o[4];
    for (int i = 0; i < 3; ++i) {
        auto made = new_line({{float(10 * i), 0, 0}, {float(10 * i + 5), 5, 0}});
        o[i] = made.get();
        ASSERT_EQ(drawing_add_object(v, std::move(made), 1), 0);
    }
    auto state = [&] {
        std::string s;
        for (int i = 0; i < 3; ++i) s += in_layer(layer, o[i]) ? 'x' : '-';
        return s;
    };
    cmd_undo(v);
    EXPECT_EQ(state(), "xx-");
    cmd_undo(v);
    EXPECT_EQ(state(), "x--");
    cmd_redo(v);
    EXPECT_EQ(state(), "xx-");
    cmd_undo(v);
    cmd_undo(v);
    EXPECT_EQ(state(), "---");
    cmd_redo(v);
    EXPECT_EQ(state(), "x--");
    cmd_redo(v);
    cmd_redo(v);
    EXPECT_EQ(state(), "xxx");
    cmd_undo(v);
    EXPECT_EQ(state(), "xx-");
    auto made = new_line({{0, 20, 0}, {5, 25, 0}});
    o[3] = made.get();
    ASSERT_EQ(drawing_add_object(v, std::move(made), 1), 0);
    cmd_redo(v);  // nothing to redo after a new step
    EXPECT_TRUE(in_layer(layer, o[3]));
    EXPECT_EQ(state().substr(0, 2), "xx");
    cmd_undo(v);
    EXPECT_FALSE(in_layer(layer, o[3]));
    EXPECT_EQ(state().substr(0, 2), "xx");
}
