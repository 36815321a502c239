// Extrude: one band per drawn stroke whatever "FacesN" holds, a stroke back at its
// start within 0.001 making a closed band, and the command on the view's selection
// leaving "FacesN" as it was however it ends (a build that fails too); no direction
// adds nothing.
#include <gtest/gtest.h>

#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/model3d.h"
#include "model/db/buffer.h"
#include "model/db/solid.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

namespace {

TEST(Extrude, BandsPerStroke) {
    harness_register_classes();
    const Vec3 v{0, 0, 5};
    struct Case {
        const char* what;
        std::vector<std::vector<BasePoint>> bases;
        std::vector<size_t> vertices;  // per mesh
    } cases[] = {
        {"square back at its start is a closed band",
         {{{{0, 0, 0}, false}, {{4, 0, 0}, false}, {{4, 4, 0}, false}, {{0, 4, 0}, false}, {{0.0005f, 0, 0}, false}}},
         {8}},
        {"open polyline", {{{{0, 0, 0}, false}, {{4, 0, 0}, false}, {{4, 4, 0}, false}}}, {6}},
        {"a pen-up splits the strokes",
         {{{{0, 0, 0}, false}, {{4, 0, 0}, true}, {{4, 4, 0}, false}, {{0, 4, 0}, false}}}, {4, 4}},
        {"a one-point base makes nothing", {{{{0, 0, 0}, false}}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::unique_ptr<MESH3>> out;
        ASSERT_EQ(extrude_meshes(c.bases, v, &out), 0);
        ASSERT_EQ(out.size(), c.vertices.size());
        for (size_t i = 0; i < out.size(); ++i) {
            ASSERT_TRUE(out[i]->blocks);
            EXPECT_EQ(out[i]->blocks->vertices.size(), c.vertices[i]);
        }
    }
}

TEST(Extrude, OnTheSelectionFacesNUnchanged) {
    const struct {
        const char* what;
        bool finish;  // the direction's end is given
        int code;
        int meshes;
        Vec3 end = {1, 6, 0};
        int faces_m = 16;  // with "UsePattern" 0 when not 16
    } cases[] = {{"built", true, 0, 1},
                 {"Esc at the direction's end", false, -1, 0},
                 {"no direction adds nothing", true, 0, 0, {1, 1, 0}},
                 {"a resampling refused", true, 13, 0, {1, 6, 0}, (1 << 20) + 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        h.view()->projection.scale = 10.0;
        h.define(kCmdExtrude, scene_command<cmd_extrude>);
        g_draw3d = Draw3DSettings{};
        g_draw3d.faces_n = 7;
        if (c.faces_m != 16) g_draw3d.use_pattern = 0, g_draw3d.faces_m = c.faces_m;
        XPLINE* base = scene_line(scene_layer(h.model()), {{1, 1, 0}, {5, 1, 0}, {5, 5, 0}});
        ASSERT_EQ(buffer_add(h.view()->selection, base), 0);
        h.click({1, 1, 0});
        if (c.finish) h.click(c.end);
        else h.esc();
        EXPECT_EQ(h.run(kCmdExtrude), c.code);
        EXPECT_EQ(h.script_left(), 0u);
        EXPECT_EQ(h.model()->undo_levels, c.meshes);
        EXPECT_EQ(h.view()->input_mode, 0);
        EXPECT_EQ(g_draw3d.faces_n, 7);
    }
    g_draw3d = Draw3DSettings{};
}

}  // namespace
