// Scripted sessions of the 3D Box command through the real input routines: sizes
// typed at the width step (three, two, or in inches), picked sizes, "BoxFaces" 0
// building and recording nothing, unreadable text going back to the corner, the
// parameter dialog before the command, one undo level per box.
#include <gtest/gtest.h>

#include <cmath>

#include "commands/input/support.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/model3d.h"
#include "commands/units/coord_text.h"
#include "graphics/view/projection.h"
#include "model/db/solid.h"
#include "model/math/matrix.h"
#include "model/services/numfmt.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "scene.h"
#include "tests/model3d/solid_oracle.h"
#include "../platform/qt_test_env.h"

namespace {

// Extent of a mesh along the view's axes.
Vec3 view_extent(const VIEW* v, const MESH3& mesh) {
    double lo[3] = {1e30, 1e30, 1e30}, hi[3] = {-1e30, -1e30, -1e30};
    for (const MeshFaceBlock* b = mesh.blocks; b; b = b->next)
        for (const MeshVertex& mv : b->vertices) {
            Vec3 p;
            world_to_view(&v->projection, {mv.x, mv.y, mv.z}, &p);
            const double c[3] = {p.x, p.y, p.z};
            for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], c[k]), hi[k] = std::max(hi[k], c[k]);
        }
    return {static_cast<float>(hi[0] - lo[0]), static_cast<float>(hi[1] - lo[1]), static_cast<float>(hi[2] - lo[2])};
}

struct Case {
    const char* what;
    std::function<void(Harness&)> script;
    int box_faces;
    int code;
    std::vector<int> prompts;
    int boxes;
    Vec3 size;  // of the first box, view axes
};

TEST(BoxSession, Sessions) {
    const int C = kPromptBoxCorner, W = kPromptBoxWidth, H = kPromptBoxHeight, D = kPromptBoxDepth;
    const Case cases[] = {
        {"three typed sizes build at once", [](Harness& h) { h.click({1, 1, 0}).typed("10,20,30").esc(); },
         63, -1, {C, W, C}, 1, {10, 20, 30}},
        {"inches", [](Harness& h) {
             h.view()->length_unit = 1;
             h.click({1, 1, 0}).typed("10,20,30").esc();
         },
         63, -1, {C, W, C}, 1, {254, 508, 762}},
        {"two typed sizes go to the depth step",
         [](Harness& h) { h.click({1, 1, 0}).typed("4 5").typed("6").esc(); }, 63, -1, {C, W, D, C}, 1, {4, 5, 6}},
        {"picked width, typed height and depth",
         [](Harness& h) { h.click({1, 1, 0}).click({4, 9, 0}).typed("2").typed("7").esc(); }, 63, -1,
         {C, W, H, D, C}, 1, {3, 2, 7}},
        {"unreadable width text goes back to the corner",
         [](Harness& h) { h.click({1, 1, 0}).typed("1x").esc(); }, 63, -1, {C, W, C}, 0, {}},
        {"BoxFaces 0 builds and records nothing",
         [](Harness& h) { h.click({1, 1, 0}).typed("10,20,30").esc(); }, 0, -1, {C, W, C}, 0, {}},
        {"Esc at the height step goes back to the corner",
         [](Harness& h) { h.click({1, 1, 0}).click({4, 9, 0}).esc().esc(); }, 63, -1, {C, W, H, C}, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        h.view()->projection.scale = 10.0;
        h.define(kCmdBox3D, scene_command<cmd_box>);
        g_draw3d = Draw3DSettings{};
        g_draw3d.box_faces = c.box_faces;
        c.script(h);
        EXPECT_EQ(h.run(kCmdBox3D), c.code);
        EXPECT_EQ(h.shown_prompts(), c.prompts);
        EXPECT_EQ(h.script_left(), 0u);
        EXPECT_EQ(h.view()->input_mode, 0);
        const auto made = scene_objects_of<MESH3>(h.model());
        ASSERT_EQ(static_cast<int>(made.size()), c.boxes);
        EXPECT_EQ(h.model()->undo_levels, c.boxes);
        if (c.boxes == 0) continue;
        EXPECT_EQ(block_count(*made[0]), 6);
        EXPECT_EQ(triangle_count(*made[0]), 48);
        const Vec3 e = view_extent(h.view(), *made[0]);
        EXPECT_NEAR(e.x, c.size.x, 1e-3);
        EXPECT_NEAR(e.y, c.size.y, 1e-3);
        EXPECT_NEAR(e.z, c.size.z, 1e-3);
        EXPECT_EQ(solid_check(*made[0]).bad_edges, 0);
        cmd_undo(h.view());
        EXPECT_TRUE(scene_objects_of<MESH3>(h.model()).empty());
    }
    g_draw3d = Draw3DSettings{};
}

// Sizes typed at the width step are lengths along the box's own axes: one, two or
// three numbers, asked as numbers and never turned like a point, also in a tipped
// view where typed points are read in the view's own axes.
TEST(BoxSession, TypedSizesAreLengthsAlongTheBoxAxes) {
    const CoordConverter old = coord_dialog_set_converter(typed_point_convert);
    const int coord_sys = g_prefs.coord_sys;
    const struct {
        const char* what;
        std::function<void(Harness&)> script;
    } cases[] = {
        {"one number", [](Harness& h) { h.click({1, 1, 0}).typed("200").typed("150").typed("100").esc(); }},
        {"two numbers", [](Harness& h) { h.click({1, 1, 0}).typed("200,150").typed("100").esc(); }},
        {"three numbers", [](Harness& h) { h.click({1, 1, 0}).typed("200,150,100").esc(); }},
    };
    for (const auto& c : cases)
        for (int user_axes : {1, 0}) {
            SCOPED_TRACE(testing::Message() << c.what << ", user axes " << user_axes);
            g_prefs.coord_sys = user_axes;
            Harness h;
            ViewProjection& vp = h.view()->projection;
            mat_rotate_xyz(&vp.view, &vp.inverse, -0.6, 0.45, 0);
            vp.scale = 1.0;
            h.define(kCmdBox3D, scene_command<cmd_box>);
            g_draw3d = Draw3DSettings{};
            c.script(h);
            EXPECT_EQ(h.run(kCmdBox3D), -1);
            EXPECT_EQ(h.script_left(), 0u);
            const auto made = scene_objects_of<MESH3>(h.model());
            ASSERT_EQ(made.size(), 1u);
            const Vec3 e = view_extent(h.view(), *made[0]);
            EXPECT_NEAR(e.x, 200, 1e-2);
            EXPECT_NEAR(e.y, 150, 1e-2);
            EXPECT_NEAR(e.z, 100, 1e-2);
        }
    g_prefs.coord_sys = coord_sys;
    coord_dialog_set_converter(old);
    g_draw3d = Draw3DSettings{};
}

TEST(BoxSession, NegativeTypedSizesRunTheOtherWay) {
    // Typed negative sizes make the same box on the other side of the corner, with the
    // faces turned the same way as a box of positive sizes (equal signed volume).
    double volume[4] = {0, 0, 0, 0};
    const char* typed[4] = {"10,20,30", "-10,20,30", "10,20,-30", "-10,-20,-30"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(typed[i]);
        Harness h;
        h.view()->projection.scale = 10.0;
        h.define(kCmdBox3D, scene_command<cmd_box>);
        g_draw3d = Draw3DSettings{};
        h.click({1, 1, 0}).typed(typed[i]).esc();
        EXPECT_EQ(h.run(kCmdBox3D), -1);
        const auto made = scene_objects_of<MESH3>(h.model());
        ASSERT_EQ(made.size(), 1u);
        const Vec3 e = view_extent(h.view(), *made[0]);
        EXPECT_NEAR(e.x, 10, 1e-3);
        EXPECT_NEAR(e.y, 20, 1e-3);
        EXPECT_NEAR(e.z, 30, 1e-3);
        const SolidCheck k = solid_check(*made[0]);
        EXPECT_EQ(k.bad_edges, 0);
        volume[i] = k.volume;
    }
    EXPECT_NEAR(std::fabs(volume[0]), 6000.0, 0.05);
    for (int i = 1; i < 4; ++i) EXPECT_NEAR(volume[i], volume[0], 0.05) << typed[i];
    g_draw3d = Draw3DSettings{};
}

TEST(BoxSession, DialogFirstUnlessQuery) {
    struct Case {
        int query, answer, asked, code;
    } cases[] = {{0, 0, 1, 0}, {0, 1, 1, -1}, {1, 0, 0, -1}};
    for (const Case& c : cases) {
        static int asked;
        static int answer;
        asked = 0;
        answer = c.answer;
        g_draw3d_dialogs.box = [](VIEW*) { return ++asked, answer; };
        g_draw3d_query = c.query;
        Harness h;
        h.define(kCmdBox3D, scene_command<cmd_box>);
        if (c.code != 0) h.esc();
        EXPECT_EQ(h.run(kCmdBox3D), c.code);
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(h.script_left(), 0u);
    }
    g_draw3d_dialogs = Draw3dDialogs{};
    g_draw3d_query = 0;
}

// OK in the settings opened by F10 ended 3D Box and 3D Sphere, and what was typed next
// went nowhere: the command goes on at the step it was at.
TEST(Draw3dOptions, TheSettingsKeyGoesOnAtTheStep) {
    const int C = kPromptBoxCorner, W = kPromptBoxWidth, H = kPromptBoxHeight, D = kPromptBoxDepth;
    const int SC = kPromptSphereCentre, SR = kPromptSphereRadius;
    const struct {
        const char* what;
        uint32_t id;
        std::function<void(Harness&)> script;
        std::vector<int> prompts;
    } cases[] = {
        {"box corner", kCmdBox3D, [](Harness& h) { h.options().click({1, 1, 0}).typed("1,2,3").esc(); }, {C, W, C}},
        {"box width", kCmdBox3D, [](Harness& h) { h.click({1, 1, 0}).options().typed("1,2,3").esc(); }, {C, W, C}},
        {"box height", kCmdBox3D, [](Harness& h) { h.click({1, 1, 0}).typed("1").options().typed("2").typed("3").esc(); },
         {C, W, H, D, C}},
        {"box depth", kCmdBox3D, [](Harness& h) { h.click({1, 1, 0}).typed("1 2").options().typed("3").esc(); },
         {C, W, D, C}},
        {"sphere centre", kCmdSphere, [](Harness& h) { h.options().click({5, 5, 0}).typed("3").esc(); }, {SC, SR, SC}},
        {"sphere radius", kCmdSphere, [](Harness& h) { h.click({5, 5, 0}).options().typed("3").esc(); }, {SC, SR, SC}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        g_draw3d_dialogs.box = g_draw3d_dialogs.sphere = [](VIEW*) { return 1; };  // OK
        g_draw3d_query = 1;
        Harness h;
        h.define(kCmdBox3D, scene_command<cmd_box>);
        h.define(kCmdSphere, scene_command<cmd_sphere>);
        g_draw3d = Draw3DSettings{};
        c.script(h);
        EXPECT_EQ(h.run(c.id), -1);
        EXPECT_EQ(h.shown_prompts(), c.prompts);
        EXPECT_EQ(h.script_left(), 0u);
        EXPECT_EQ(scene_objects_of<MESH3>(h.model()).size(), 1u);
    }
    g_draw3d_dialogs = Draw3dDialogs{};
    g_draw3d_query = 0;
    g_draw3d = Draw3DSettings{};
}

}  // namespace

// A box with a size of 0 encloses no volume: built as asked, with a warning naming
// the fault; a box with every size is built without one.
TEST(BoxSession, BoxWithoutVolumeIsReported) {
    const struct {
        const char* sizes;
        size_t warnings;
    } cases[] = {{"0,20,30", 1}, {"10,0,30", 1}, {"10,20,0", 1}, {"10,20,30", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sizes);
        Harness h;
        h.view()->projection.scale = 10.0;
        h.define(kCmdBox3D, scene_command<cmd_box>);
        g_draw3d = Draw3DSettings{};
        std::vector<std::string> boxes;
        const MsgBoxHook old = msgbox_set_hook([&](const MsgBoxRequest& r) {
            boxes.push_back(r.text);
            return kIdOk;
        });
        h.click({1, 1, 0}).typed(c.sizes).esc();
        EXPECT_EQ(h.run(kCmdBox3D), -1);
        msgbox_set_hook(old);
        EXPECT_EQ(scene_objects_of<MESH3>(h.model()).size(), 1u);
        ASSERT_EQ(boxes.size(), c.warnings);
        if (c.warnings) EXPECT_NE(boxes[0].find("encloses no volume"), std::string::npos) << boxes[0];
    }
    g_draw3d = Draw3DSettings{};
}
