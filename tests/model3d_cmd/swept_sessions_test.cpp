// Scripted sessions of the swept surfaces: revolution, ruled, tracked and profiled
// surfaces and extrude on picked or selected line work. Objects and meshes made, the
// prompts in order, one undo level per mesh, the temporary display of the ruled
// surface gone on every ending without marking the drawing, a cancel during the
// direction question ending the command without building, the wait cursor during
// builds, and the snaps of the object step put back.
#include <gtest/gtest.h>

#include <functional>

#include "commands/input/support.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/model3d.h"
#include "model/db/buffer.h"
#include "model/db/solid.h"
#include "model/services/log.h"
#include "model/services/msgbox.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

namespace {

struct Counts {
    int meshes = 0, others = 0;
    size_t first_vertices = 0;  // of the first mesh in the layer
};

Counts count(MODEL* m) {
    Counts c;
    LAYER* l = scene_layer(m);
    if (!l || !l->children) return c;
    ZDLIST* p = l->children;
    do {
        if (auto* mesh = rtc_cast<MESH3>(p)) {
            if (c.meshes++ == 0)
                for (const MeshFaceBlock* b = mesh->blocks; b; b = b->next) c.first_vertices += b->vertices.size();
        } else {
            ++c.others;
        }
        p = p->next;
    } while (p != l->children);
    return c;
}

struct Session {
    const char* what;
    uint32_t id;
    std::function<void(Harness&)> scene;   // objects and settings
    std::function<void(Harness&)> script;  // the user's steps
    int code;
    std::vector<int> prompts;
    int meshes;
    size_t vertices;  // of the first mesh, 0: not checked
};

// Wait cursor shows and restores seen by the hook.
int g_wait_shown = 0, g_wait_restored = 0;
void wait_hook(bool show) { (show ? g_wait_shown : g_wait_restored)++; }

void add_selected(Harness& h, object* obj) { ASSERT_EQ(buffer_add(h.view()->selection, obj), 0); }

TEST(SweptSessions, Sessions) {
    const int RS = kPromptRevolveSelect, AS = kPromptAxisStart, AE = kPromptAxisEnd, SC = kPromptSelectTheContour,
              PD = kPromptPathDirection, BP = kPromptBasePoint3D, PC = kPromptPathCurve,
              CO = kPromptSelectContour, ES = kPromptExtrudeSelect, DS = kPromptDirectionStart,
              DE = kPromptDirectionEnd;
    auto line = [](Harness& h, std::initializer_list<Vec3> pts) { return scene_line(scene_layer(h.model()), pts); };
    const Session cases[] = {
        {"revolution on the selection, own points", kCmdRevolution,
         [&](Harness& h) { add_selected(h, line(h, {{5, 1, 0}, {5, 4, 0}})); },
         [](Harness& h) { h.click({1, 1, 0}).click({1, 8, 0}); }, 0, {AS, AE}, 1, 2 * 16},
        {"revolution picks with its own prompt, resampled to FacesM", kCmdRevolution,
         [&](Harness& h) {
             line(h, {{5, 1, 0}, {5, 4, 0}});
             g_draw3d.use_pattern = 0;
             g_draw3d.faces_m = 4;
             g_draw3d.faces_n = 0;  // 3 steps
         },
         [](Harness& h) { h.click({15, 15, 0}).click({5, 2, 0}).click({1, 1, 0}).click({1, 8, 0}); }, 0,
         {RS, RS, AS, AE}, 1, 5 * 3},
        {"Esc at the axis ends the revolution", kCmdRevolution,
         [&](Harness& h) { add_selected(h, line(h, {{5, 1, 0}, {5, 4, 0}})); },
         [](Harness& h) { h.click({1, 1, 0}).esc(); }, -1, {AS, AE}, 0, 0},
        {"ruled surface through two picked lines", kCmdRuled,
         [&](Harness& h) {
             line(h, {{1, 1, 0}, {9, 1, 0}});
             line(h, {{1, 6, 0}, {9, 6, 0}});
             g_draw3d.smooth = 0;
             g_draw3d.faces_m = 4;
         },
         [](Harness& h) { h.click({2, 1, 0}).click({2, 6, 0}).esc(); }, 0, {SC, SC, SC}, 1, 10},
        {"a single contour builds nothing", kCmdRuled, [&](Harness& h) { line(h, {{1, 1, 0}, {9, 1, 0}}); },
         [](Harness& h) { h.click({2, 1, 0}).esc(); }, 0, {SC, SC}, 0, 0},
        {"a cancel while picking builds nothing", kCmdRuled,
         [&](Harness& h) {
             line(h, {{1, 1, 0}, {9, 1, 0}});
             line(h, {{1, 6, 0}, {9, 6, 0}});
         },
         [](Harness& h) { h.click({2, 1, 0}).click({2, 6, 0}).start(kProbe); }, -2, {SC, SC, SC}, 0, 0},
        {"a cancel at the closed contour's direction builds nothing", kCmdRuled,
         [&](Harness& h) {
             line(h, {{1, 1, 0}, {9, 1, 0}});
             line(h, {{1, 6, 0}, {9, 6, 0}, {9, 9, 0}, {1, 9, 0}, {1, 6, 0}});
         },
         [](Harness& h) { h.click({2, 1, 0}).click({5, 6, 0}).start(kProbe); }, -2, {SC, SC, PD}, 0, 0},
        {"tracked surface along a picked path", kCmdTracked,
         [&](Harness& h) {
             add_selected(h, line(h, {{1, 1, 0}, {3, 1, 0}}));
             line(h, {{10, 1, 0}, {10, 5, 0}, {14, 9, 0}});
         },
         [](Harness& h) { h.click({1, 1, 0}).click({10, 2, 0}); }, 0, {BP, PC}, 1, 6},
        {"tracked surface along a closed path asks its direction", kCmdTracked,
         [&](Harness& h) {
             add_selected(h, line(h, {{1, 1, 0}, {3, 1, 0}}));
             line(h, {{10, 1, 0}, {16, 1, 0}, {16, 7, 0}, {10, 7, 0}, {10, 1, 0}});
         },
         [](Harness& h) { h.click({1, 1, 0}).click({12, 1, 0}).click({16, 4, 0}); }, 0, {BP, PC, PD}, 1, 8},
        {"tracked: a cancel at the direction ends it without building", kCmdTracked,
         [&](Harness& h) {
             add_selected(h, line(h, {{1, 1, 0}, {3, 1, 0}}));
             line(h, {{10, 1, 0}, {16, 1, 0}, {16, 7, 0}, {10, 7, 0}, {10, 1, 0}});
         },
         [](Harness& h) { h.click({1, 1, 0}).click({12, 1, 0}).start(kProbe); }, -2, {BP, PC, PD}, 0, 0},
        {"tracked path on empty space is asked again", kCmdTracked,
         [&](Harness& h) {
             add_selected(h, line(h, {{1, 1, 0}, {3, 1, 0}}));
             line(h, {{10, 1, 0}, {10, 5, 0}});
         },
         [](Harness& h) { h.click({1, 1, 0}).click({20, 15, 0}).esc(); }, -1, {BP, PC, PC}, 0, 0},
        {"profiled surface: a flat square along the selected path", kCmdProfiled,
         [&](Harness& h) {
             add_selected(h, line(h, {{1, 1, 0}, {1, 9, 0}}));
             line(h, {{10, 1, 0}, {12, 1, 0}, {12, 3, 0}, {10, 3, 0}, {10, 1, 0}});
             g_draw3d.faces_m = 4;
             g_draw3d.faces_n = 3;
         },
         [](Harness& h) { h.click({11, 1, 0}); }, 0, {CO}, 1, 4 * 2},
        {"extrude resamples to FacesM unless own points are kept", kCmdExtrude,
         [&](Harness& h) {
             line(h, {{1, 1, 0}, {5, 1, 0}});
             g_draw3d.use_pattern = 0;
             g_draw3d.faces_m = 4;
         },
         [](Harness& h) { h.click({3, 1, 0}).click({1, 1, 0}).click({1, 6, 0}); }, 0, {ES, DS, DE}, 1, 10},
    };
    for (const Session& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        h.view()->projection.scale = 10.0;
        h.define(c.id, c.id == kCmdRevolution ? scene_command<cmd_revolution>
                       : c.id == kCmdRuled     ? scene_command<cmd_ruled>
                       : c.id == kCmdTracked   ? scene_command<cmd_tracked>
                       : c.id == kCmdProfiled  ? scene_command<cmd_profiled>
                                               : scene_command<cmd_extrude>);
        h.define(kProbe, cmd_probe);
        g_draw3d = Draw3DSettings{};
        c.scene(h);
        const Counts before = count(h.model());
        const int modified = h.modified;
        const int32_t flags = h.view()->input_flags;
        c.script(h);
        g_wait_shown = g_wait_restored = 0;
        const WaitCursorHook old_wait = wait_cursor_set_hook(wait_hook);
        EXPECT_EQ(h.run(c.id), c.code);
        wait_cursor_set_hook(old_wait);
        // Every build runs under the wait cursor, put back when it ends.
        if (c.meshes) { EXPECT_GE(g_wait_shown, 1); }
        EXPECT_EQ(g_wait_shown, g_wait_restored);
        EXPECT_EQ(h.script_left(), 0u);
        EXPECT_EQ(h.shown_prompts(), c.prompts);
        const Counts after = count(h.model());
        EXPECT_EQ(after.meshes, c.meshes);
        EXPECT_EQ(after.others, before.others);  // no temporary object left behind
        EXPECT_EQ(h.model()->undo_levels, c.meshes);
        if (c.meshes == 0) { EXPECT_EQ(h.modified, modified); }
        if (c.vertices) { EXPECT_EQ(after.first_vertices, c.vertices); }
        EXPECT_EQ(h.view()->input_flags, flags);
        EXPECT_EQ(h.view()->input_mode, 0);
    }
    g_draw3d = Draw3DSettings{};
}

TEST(SweptSessions, WarpedProfileIsRefused) {
    Harness h;
    h.view()->projection.scale = 10.0;
    h.define(kCmdProfiled, scene_command<cmd_profiled>);
    g_draw3d = Draw3DSettings{};
    g_draw3d.faces_m = 4;
    LAYER* layer = scene_layer(h.model());
    ASSERT_EQ(buffer_add(h.view()->selection, scene_line(layer, {{1, 1, 0}, {1, 9, 0}})), 0);
    scene_line(layer, {{10, 1, 0}, {12, 1, 3}, {12, 3, 0}, {10, 3, 3}});  // warped
    scene_line(layer, {{14, 1, 0}, {16, 1, 0}, {16, 3, 0}});             // flat
    std::vector<std::string> boxes;
    const MsgBoxHook old = msgbox_set_hook([&](const MsgBoxRequest& r) {
        boxes.push_back(r.text);
        return kIdOk;
    });
    h.click({11, 1, 0}).click({15, 1, 0});
    EXPECT_EQ(h.run(kCmdProfiled), 0);
    msgbox_set_hook(old);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Contour is not flat");
    EXPECT_EQ(h.shown_prompts(), (std::vector<int>{kPromptSelectContour, kPromptSelectContour}));
    EXPECT_EQ(count(h.model()).meshes, 1);
    g_draw3d = Draw3DSettings{};
}

TEST(SweptSessions, ObjectStepFiltersByClass) {
    // Fractal chooses meshes only: a click on a polyline is asked again, and the snap
    // and grid settings come back after Esc or a cancel.
    for (bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "Esc");
        Harness h;
        h.view()->projection.scale = 10.0;
        h.define(kCmdFractal, scene_command<cmd_fractal>);
        h.define(kProbe, cmd_probe);
        g_draw3d = Draw3DSettings{};
        g_draw3d.fractal_mode = 1;
        scene_line(scene_layer(h.model()), {{1, 1, 0}, {9, 1, 0}});
        h.view()->input_flags = 0x41;
        h.view()->grid_on = 1;
        h.view()->step_select = 2;
        h.click({5, 1, 0});
        if (cancel) h.start(kProbe);
        else h.esc();
        EXPECT_EQ(h.run(kCmdFractal), cancel ? -2 : -1);
        EXPECT_EQ(h.shown_prompts(), (std::vector<int>{kPromptFractalChoose, kPromptFractalChoose}));
        EXPECT_EQ(h.view()->input_flags, 0x41);
        EXPECT_EQ(h.view()->grid_on, 1);
        EXPECT_EQ(h.view()->step_select, 2);
        EXPECT_EQ(count(h.model()).meshes, 0);
    }
    g_draw3d = Draw3DSettings{};
}

TEST(SweptSessions, RuledPicksShownByCopies) {
    // While picking, one more polyline in the layer shows the two contours and the guide
    // through their starts; the picked objects keep their own lists.
    Harness h;
    h.view()->projection.scale = 10.0;
    h.define(kCmdRuled, scene_command<cmd_ruled>);
    g_draw3d = Draw3DSettings{};
    LAYER* layer = scene_layer(h.model());
    XPLINE* a = scene_line(layer, {{1, 1, 0}, {9, 1, 0}});
    XPLINE* b = scene_line(layer, {{1, 6, 0}, {9, 6, 0}});
    const PointNode* a_list = a->control;
    int strokes_seen = -1, shown_objects = 0;
    h.click({2, 1, 0}).click({8, 6, 0});
    h.call([&](Harness& hh) {
        const ZDLIST* first = scene_layer(hh.model())->children;
        const ZDLIST* p = first;
        do {
            if (auto* x = rtc_cast<XPLINE>(p); x && x != a && x != b) {
                ++shown_objects;
                strokes_seen = 0;
                for (const PtrNode* n = x->strokes; n; n = n->next) ++strokes_seen;
            }
            p = p->next;
        } while (p != first);
    });
    h.esc();
    EXPECT_EQ(h.run(kCmdRuled), 0);
    EXPECT_EQ(shown_objects, 1);
    EXPECT_EQ(strokes_seen, 3);
    EXPECT_EQ(a->control, a_list);
    EXPECT_EQ(plist_count(a->control), 2);
    Counts c = count(h.model());
    EXPECT_EQ(c.meshes, 1);
    EXPECT_EQ(c.others, 2);
    g_draw3d = Draw3DSettings{};
}

}  // namespace

// A closed profile across the axis is turned into a mesh that overlaps itself: built,
// with a warning that names the fault; one touching the axis from one side is sound.
TEST(SweptSessions, RevolutionOverlappingItselfIsReported) {
    const struct {
        std::function<XPLINE*(LAYER*)> profile;
        size_t warnings;
    } cases[] = {
        {[](LAYER* l) { return scene_line(l, {{-2, 1, 0}, {4, 1, 0}, {4, 5, 0}, {-2, 5, 0}, {-2, 1, 0}}); }, 1},
        {[](LAYER* l) { return scene_line(l, {{-2, 5, 0}, {-2, 1, 0}, {4, 2, 0}, {3, 6, 0}, {-2, 5, 0}}); }, 1},
        {[](LAYER* l) { return scene_line(l, {{0, 1, 0}, {4, 1, 0}, {4, 5, 0}, {0, 5, 0}}); }, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.warnings ? "across the axis" : "from the axis");
        Harness h;
        h.view()->projection.scale = 10.0;
        h.define(kCmdRevolution, scene_command<cmd_revolution>);
        g_draw3d = Draw3DSettings{};
        add_selected(h, c.profile(scene_layer(h.model())));
        std::vector<std::string> boxes;
        const MsgBoxHook old = msgbox_set_hook([&](const MsgBoxRequest& r) {
            boxes.push_back(r.text);
            return kIdOk;
        });
        h.click({0, 0, 0}).click({0, 8, 0});
        EXPECT_EQ(h.run(kCmdRevolution), 0);
        msgbox_set_hook(old);
        EXPECT_EQ(count(h.model()).meshes, 1);
        ASSERT_EQ(boxes.size(), c.warnings);
        if (c.warnings) EXPECT_NE(boxes[0].find("Solid overlaps itself"), std::string::npos) << boxes[0];
    }
    g_draw3d = Draw3DSettings{};
}
