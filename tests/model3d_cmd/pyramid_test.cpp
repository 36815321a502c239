// Pyramids: a face from every drawn segment of the base to the top, one mesh per
// stroke, repeated base points passed over; the command on the view's selection.
#include <gtest/gtest.h>

#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/model3d.h"
#include "model/db/buffer.h"
#include "model/db/solid.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

namespace {

int faces_of(const MESH3& m) {
    int n = 0;
    for (const MeshFaceBlock* b = m.blocks; b; b = b->next) n += static_cast<int>(b->faces.size());
    return n;
}

TEST(Pyramid, FacesPerStroke) {
    harness_register_classes();
    const Vec3 top{2, 2, 5};
    struct Case {
        const char* what;
        std::vector<std::vector<BasePoint>> bases;
        std::vector<int> faces;  // per mesh
    } cases[] = {
        {"closed square", {{{{0, 0, 0}, false}, {{4, 0, 0}, false}, {{4, 4, 0}, false}, {{0, 4, 0}, false}, {{0, 0, 0}, false}}}, {4}},
        {"a pen-up splits the strokes",
         {{{{0, 0, 0}, false}, {{4, 0, 0}, true}, {{4, 4, 0}, false}, {{0, 4, 0}, false}}}, {1, 1}},
        {"a one-point base makes nothing", {{{{0, 0, 0}, false}}}, {}},
        {"a segment through the top has no area", {{{{2, 2, 5}, false}, {{4, 0, 0}, false}}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::unique_ptr<MESH3>> out;
        ASSERT_EQ(pyramid_meshes(c.bases, top, 0, &out), 0);
        ASSERT_EQ(out.size(), c.faces.size());
        for (size_t i = 0; i < out.size(); ++i) EXPECT_EQ(faces_of(*out[i]), c.faces[i]);
    }
}

TEST(Pyramid, OnTheSelection) {
    Harness h;
    h.view()->projection.scale = 10.0;
    h.define(kCmdPyramid, scene_command<cmd_pyramid>);
    g_draw3d = Draw3DSettings{};
    XPLINE* base = scene_line(scene_layer(h.model()), {{1, 1, 0}, {5, 1, 0}, {5, 1, 0}, {5, 5, 0}});
    ASSERT_EQ(buffer_add(h.view()->selection, base), 0);
    h.click({3, 3, 0});
    EXPECT_EQ(h.run(kCmdPyramid), 0);
    EXPECT_EQ(h.script_left(), 0u);
    EXPECT_EQ(h.model()->undo_levels, 1);
    EXPECT_EQ(h.view()->input_mode, 0);
}

}  // namespace
