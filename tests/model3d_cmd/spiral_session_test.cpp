// Scripted sessions of the Spiral command: one tube mesh per spiral with one undo
// level, Esc at a later step going back to the centre, turn counts from the settings
// that are not finite or too large ending with 13 and nothing added, a tube circle
// that cannot be made said under the command's title, and the coordinate read-out
// put back however the command ends.
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "commands/input/support.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/model3d.h"
#include "draw3d_session.h"
#include "model/db/solid.h"
#include "model/math/result.h"
#include "model/services/msgbox.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

namespace {

TEST(SpiralSessions, Sessions) {
    const int C = kPromptSpiralCentre, S = kPromptSpiralStep, R = kPromptSpiralRadius, T = kPromptSpiralTube;
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* what;
        std::function<void(Harness&)> script;
        int code;
        std::vector<int> prompts;
        int meshes;
        int vertices;  // of the first mesh
        size_t boxes = 0;  // message boxes shown
    } cases[] = {
        {"two turns of 16 by 16", [](Harness& h) { h.click({5, 5, 0}).typed("10").typed("6").typed("1").esc(); }, -1,
         {C, S, R, T, C}, 1, 33 * 16},
        {"two spirals, then Esc", [](Harness& h) {
             h.click({5, 5, 0}).typed("10").typed("6").typed("1").click({50, 5, 0}).typed("5").typed("4").typed("1").esc();
         }, -1, {C, S, R, T, C, S, R, T, C}, 2, 33 * 16},
        {"Esc at the tube goes back to the centre", [](Harness& h) { h.click({5, 5, 0}).typed("10").typed("6").esc().esc(); },
         -1, {C, S, R, T, C}, 0, 0},
        {"turns not finite end with 13", [inf](Harness& h) {
             g_draw3d.spiral_rounds = inf;
             h.click({5, 5, 0}).typed("10").typed("6").typed("1");
         }, kBadArgument, {C, S, R, T}, 0, 0},
        {"turns x FacesM above the chain limit end with 13", [](Harness& h) {
             g_draw3d.spiral_rounds = 1e7;
             h.click({5, 5, 0}).typed("10").typed("6").typed("1");
         }, kBadArgument, {C, S, R, T}, 0, 0},
        {"a tube circle that cannot be made is said and ends it", [](Harness& h) {
             g_draw3d.faces_n = 1 << 30;  // from a damaged settings file
             h.click({5, 5, 0}).typed("10").typed("6").typed("1");
         }, kBadArgument, {C, S, R, T}, 0, 0, 1},
        {"cancelled dialog ends quietly", [](Harness&) {
             g_draw3d_dialogs.spiral = [](VIEW*) { return 0; };
         }, 0, {}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        start_cartesian_draw3d_session(h);
        h.define(kCmdSpiral, scene_command<cmd_spiral>);
        c.script(h);
        std::vector<std::string> boxes;
        const MsgBoxHook old = msgbox_set_hook([&](const MsgBoxRequest& r) {
            boxes.push_back(r.caption + "|" + r.text);
            return kIdOk;
        });
        EXPECT_EQ(h.run(kCmdSpiral), c.code);
        msgbox_set_hook(old);
        ASSERT_EQ(boxes.size(), c.boxes);
        if (c.boxes) {
            EXPECT_NE(boxes[0].find("Spiral"), std::string::npos);
            EXPECT_NE(boxes[0].find("Not enough memory"), std::string::npos);
        }
        expect_cartesian_session_ended(h, c.prompts);
        const auto made = scene_objects_of<MESH3>(h.model());
        g_draw3d_dialogs = Draw3dDialogs{};
        ASSERT_EQ(static_cast<int>(made.size()), c.meshes);
        EXPECT_EQ(h.model()->undo_levels, c.meshes);
        if (c.meshes == 0) continue;
        ASSERT_TRUE(made[0]->blocks);
        EXPECT_EQ(static_cast<int>(made[0]->blocks->vertices.size()), c.vertices);
    }
    g_draw3d = Draw3DSettings{};
}

}  // namespace
