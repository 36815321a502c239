// Fractal surfaces: over three picked points (one mesh of n^2 faces per surface), and
// over the faces of chosen meshes (one patch per face, in one new mesh; a choice
// without meshes adds nothing).
#include <gtest/gtest.h>

#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/model3d.h"
#include "model/db/buffer.h"
#include "model/db/solid.h"
#include "model/mesh/mesh.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

namespace {

TEST(Fractal, FromThreePoints) {
    Harness h;
    h.view()->projection.scale = 10.0;
    h.define(kCmdFractal, scene_command<cmd_fractal>);
    g_draw3d = Draw3DSettings{};
    h.click({1, 1, 0}).click({9, 1, 0}).click({5, 8, 0}).esc();
    EXPECT_EQ(h.run(kCmdFractal), -1);
    EXPECT_EQ(h.script_left(), 0u);
    EXPECT_EQ(h.model()->undo_levels, 1);
    EXPECT_EQ(h.view()->input_mode, 0);
}

TEST(Fractal, OverChosenMeshes) {
    harness_register_classes();
    auto a = rtc_make<MESH3>();
    auto group = rtc_make<CONTAINER>();
    const Vec3 p[4] = {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}};
    ASSERT_EQ(mesh_add_face(a.get(), &p[0], &p[1], &p[2], &p[3], 0), 0);  // two triangles
    buffer* chosen = buffer_create();
    ASSERT_NE(chosen, nullptr);
    std::unique_ptr<MESH3> out;
    ASSERT_EQ(buffer_add(chosen, group.get()), 0);
    EXPECT_EQ(fractal_from_meshes(chosen, 3, 0.25, &out), 0);
    EXPECT_EQ(out, nullptr);  // groups only: nothing to add
    ASSERT_EQ(buffer_add(chosen, a.get()), 0);
    ASSERT_EQ(fractal_from_meshes(chosen, 3, 0.25, &out), 0);
    ASSERT_NE(out, nullptr);
    int blocks = 0, faces = 0;
    for (const MeshFaceBlock* b = out->blocks; b; b = b->next) ++blocks, faces += static_cast<int>(b->faces.size());
    EXPECT_EQ(blocks, 2);      // one patch per triangle
    EXPECT_EQ(faces, 2 * 16);  // 4^(levels - 1) faces each
    buffer_free(&chosen);
}

}  // namespace
