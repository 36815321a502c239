// The Flat polygon command: a square of free points becomes one flat mesh of four
// vertices and two faces with its diagonal hidden; the temporary fill is not left in
// the drawing; one undo level.
#include <gtest/gtest.h>

#include "commands/model3d/model3d.h"
#include "model/db/solid.h"
#include "model/db/wire.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

namespace {

TEST(FlatPolygonSession, FilledSquare) {
    Harness h;
    h.view()->projection.scale = 10.0;
    h.define(kCmdFlatPolygon, scene_command<cmd_flat_polygon>);
    h.click({1, 1, 0}).click({5, 1, 0}).click({5, 5, 0}).click({1, 5, 0}).esc().esc();
    EXPECT_EQ(h.run(kCmdFlatPolygon), -1);
    EXPECT_EQ(h.script_left(), 0u);
    EXPECT_EQ(h.view()->input_mode, 0);
    const auto meshes = scene_objects_of<MESH3>(h.model());
    EXPECT_TRUE(scene_objects_of<HATCH>(h.model()).empty());
    ASSERT_EQ(meshes.size(), 1u);
    const MeshFaceBlock& b = *meshes[0]->blocks;
    EXPECT_EQ(b.vertices.size(), 4u);
    EXPECT_EQ(b.faces.size(), 2u);
    int hidden = 0;
    for (const MeshEdge& e : b.edges) hidden += (e.flags & kEdgeHidden) ? 1 : 0;
    EXPECT_EQ(hidden, 1);
    EXPECT_EQ(h.model()->undo_levels, 1);
}

}  // namespace
