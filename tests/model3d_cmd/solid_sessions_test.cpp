// Scripted sessions of Sphere, Torus and Cone: one closed mesh per solid and one undo
// level each, segment counts of 0 to 3 giving 3, a "Cone" change in the options
// dialog asking only the step it interrupted, and the coordinate read-out put back
// after every ending.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "commands/input/support.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/model3d.h"
#include "draw3d_session.h"
#include "model/db/solid.h"
#include "scene.h"
#include "tests/model3d/solid_oracle.h"
#include "../platform/qt_test_env.h"

namespace {

struct Case {
    const char* what;
    uint32_t id;
    std::function<void(Harness&)> script;
    int code;
    std::vector<int> prompts;
    int solids;
    int blocks;    // of the first solid
    bool closed;
    int vertices;  // of the first solid, 0: not checked
};

TEST(SolidSessions, Sessions) {
    const int SC = kPromptSphereCentre, SR = kPromptSphereRadius, TC = kPromptTorusCentre, TR = kPromptTorusRadius,
              TT = kPromptTorusTube, CT = kPromptConeTop, CB = kPromptConeBase, CR = kPromptConeBaseRadius,
              CU = kPromptConeTopRadius;
    const Case cases[] = {
        {"sphere", kCmdSphere, [](Harness& h) { h.click({5, 5, 0}).typed("3").esc(); }, -1, {SC, SR, SC}, 1, 1, true, 0},
        {"sphere with counts 0 has 3 x 3 segments", kCmdSphere,
         [](Harness& h) {
             g_draw3d.faces_m = g_draw3d.faces_n = 0;
             h.click({5, 5, 0}).typed("3").esc();
         },
         -1, {SC, SR, SC}, 1, 1, true, 12},
        {"Esc at the radius ends the sphere", kCmdSphere, [](Harness& h) { h.click({5, 5, 0}).esc(); }, -1, {SC, SR}, 0, 0,
         false, 0},
        {"a cancel at the sphere radius puts the read-out back", kCmdSphere,
         [](Harness& h) { h.click({5, 5, 0}).start(kProbe); }, -2, {SC, SR}, 0, 0, false, 0},
        {"a cancel at the torus tube puts the read-out back", kCmdTorus,
         [](Harness& h) { h.click({9, 9, 0}).typed("6").start(kProbe); }, -2, {TC, TR, TT}, 0, 0, false, 0},
        {"a cancel at the cone's top radius puts the read-out back", kCmdCone,
         [](Harness& h) { h.click({5, 15, 0}).click({5, 5, 0}).typed("4").start(kProbe); }, -2, {CT, CB, CR, CU}, 0, 0,
         false, 0},
        {"dish with Tops 2 gets a disc", kCmdSphere,
         [](Harness& h) {
             g_draw3d.sphere = 2, g_draw3d.tops = 2;
             h.click({5, 5, 0}).typed("3").esc();
         },
         -1, {SC, SR, SC}, 1, 2, true, 0},
        {"torus", kCmdTorus, [](Harness& h) { h.click({9, 9, 0}).typed("6").typed("2").esc(); }, -1, {TC, TR, TT, TC}, 1,
         1, true, 0},
        {"truncated cone", kCmdCone,
         [](Harness& h) { h.click({5, 15, 0}).click({5, 5, 0}).typed("4").typed("2").esc(); }, -1, {CT, CB, CR, CU, CT},
         1, 3, true, 0},
        {"cylinder with Tops 0 is one open tube", kCmdCone,
         [](Harness& h) {
             g_draw3d.cone = 2, g_draw3d.tops = 0;
             h.click({5, 15, 0}).click({5, 5, 0}).typed("4").esc();
         },
         -1, {CT, CB, CR, CT}, 1, 1, false, 0},
        {"cylinder with Tops 3 is closed", kCmdCone,
         [](Harness& h) {
             g_draw3d.cone = 2;
             h.click({5, 15, 0}).click({5, 5, 0}).typed("4").esc();
         },
         -1, {CT, CB, CR, CT}, 1, 3, true, 0},
        {"a Cone change asks only the interrupted step", kCmdCone,
         [](Harness& h) {
             g_draw3d_dialogs.cone = [](VIEW*) {
                 g_draw3d.cone = 1;
                 return 1;
             };
             g_draw3d_query = 1;
             h.click({5, 15, 0}).click({5, 5, 0}).options().typed("4").esc();
         },
         -1, {CT, CB, CR, CR, CT}, 1, 2, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        start_cartesian_draw3d_session(h);
        h.define(kCmdSphere, scene_command<cmd_sphere>);
        h.define(kCmdTorus, scene_command<cmd_torus>);
        h.define(kCmdCone, scene_command<cmd_cone>);
        h.define(kProbe, cmd_probe);
        c.script(h);
        EXPECT_EQ(h.run(c.id), c.code);
        expect_cartesian_session_ended(h, c.prompts);
        const auto made = scene_objects_of<MESH3>(h.model());
        ASSERT_EQ(static_cast<int>(made.size()), c.solids);
        EXPECT_EQ(h.model()->undo_levels, c.solids);
        g_draw3d_dialogs = Draw3dDialogs{};
        g_draw3d_query = 0;
        if (c.solids == 0) continue;
        EXPECT_EQ(block_count(*made[0]), c.blocks);
        const SolidCheck s = solid_check(*made[0], 1e-3);
        EXPECT_TRUE(s.finite);
        EXPECT_EQ(s.bad_edges == 0, c.closed);
        if (c.vertices) { EXPECT_EQ(static_cast<int>(made[0]->blocks->vertices.size()), c.vertices); }
    }
    g_draw3d = Draw3DSettings{};
}

TEST(SolidSessions, TorusTubeFromThePointGivenForTheRing) {
    // The ring radius given by a click above the centre: the tube radius is the
    // distance from that click, not from a point on the view's x axis. A typed ring
    // radius measures from the point that far along x.
    struct Case {
        const char* what;
        std::function<void(Harness&)> script;
        double outer;  // ring + tube, from the centre in the view plane
    } cases[] = {
        {"clicked ring", [](Harness& h) { h.click({9, 9, 0}).click({9, 15, 0}).click({9, 16, 0}).esc(); }, 7},
        {"typed ring", [](Harness& h) { h.click({9, 9, 0}).typed("6").click({16, 9, 0}).esc(); }, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        EXPECT_EQ(run_draw3d_session(h, kCmdTorus, scene_command<cmd_torus>, c.script), -1);
        const auto made = scene_objects_of<MESH3>(h.model());
        ASSERT_EQ(made.size(), 1u);
        double outer = 0;
        for (const MeshVertex& v : made[0]->blocks->vertices)
            outer = std::max(outer, std::hypot(v.x - 9.0, v.y - 9.0));
        EXPECT_NEAR(outer, c.outer, 0.05);
    }
    g_draw3d = Draw3DSettings{};
}

}  // namespace
