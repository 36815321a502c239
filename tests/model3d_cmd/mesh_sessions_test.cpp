// Scripted sessions of Mesh and 3D faces: a 16 x 16 grid patch, a count of 0 adding
// nothing, eight points giving three faces in one mesh (each continuing from the last
// two corners), a new strip after Esc at the fourth corner joining the same mesh.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/model3d.h"
#include "draw3d_session.h"
#include "model/db/solid.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

namespace {

struct Case {
    const char* what;
    uint32_t id;
    std::function<void(Harness&)> script;
    int code;
    int meshes;
    int cells;      // rows x columns of the first mesh's grid, or triangles / 2 of a free block
    int vertices;
};

TEST(MeshSessions, Sessions) {
    const Case cases[] = {
        {"mesh 16 x 16", kCmdMesh,
         [](Harness& h) { h.click({1, 1, 0}).click({9, 1, 0}).click({9, 9, 0}).click({1, 9, 0}).esc(); }, -1, 1, 256,
         17 * 17},
        {"mesh count 0 gives 13 and nothing", kCmdMesh,
         [](Harness& h) {
             g_draw3d.faces_m = 0;
             h.click({1, 1, 0}).click({9, 1, 0}).click({9, 9, 0}).click({1, 9, 0});
         },
         13, 0, 0, 0},
        {"eight points: three faces in one mesh", kCmdFaces3D,
         [](Harness& h) {
             for (int i = 0; i < 4; ++i) h.click({static_cast<float>(i % 2 ? 3 : 1), static_cast<float>(1 + 2 * (i / 2)), 0});
             h.click({1, 5, 0}).click({3, 5, 0}).click({1, 7, 0}).click({3, 7, 0}).esc();
         },
         -1, 1, 3, 0},
        {"Esc at the fourth corner starts a new strip in the same mesh", kCmdFaces3D,
         [](Harness& h) {
             h.click({1, 1, 0}).click({3, 1, 0}).click({3, 3, 0}).click({1, 3, 0});
             h.click({5, 5, 0}).esc();  // third corner of the next face given, Esc at the fourth
             h.click({10, 1, 0}).click({12, 1, 0}).click({12, 3, 0}).click({10, 3, 0}).esc();
         },
         -1, 1, 2, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        h.view()->projection.scale = 10.0;
        h.define(kCmdMesh, scene_command<cmd_mesh>);
        h.define(kCmdFaces3D, scene_command<cmd_faces3d>);
        g_draw3d = Draw3DSettings{};
        c.script(h);
        EXPECT_EQ(h.run(c.id), c.code);
        EXPECT_EQ(h.script_left(), 0u);
        EXPECT_EQ(h.view()->input_mode, 0);
        const auto made = scene_objects_of<MESH3>(h.model());
        ASSERT_EQ(static_cast<int>(made.size()), c.meshes);
        EXPECT_EQ(h.model()->undo_levels, c.meshes);
        if (c.meshes == 0) continue;
        const MeshFaceBlock* b = made[0]->blocks;
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->next, nullptr);
        if (c.id == kCmdMesh) {
            EXPECT_EQ(b->rows * b->columns, c.cells);
        } else {
            EXPECT_EQ(static_cast<int>(b->faces.size()), 2 * c.cells);
        }
        if (c.vertices) { EXPECT_EQ(static_cast<int>(b->vertices.size()), c.vertices); }
    }
    g_draw3d = Draw3DSettings{};
}

TEST(MeshSessions, FaceModeChangeTakesTheLastFacesOtherEdge) {
    // After a face, "FaceMode" changed to 2 at the next point: the strip goes on from the
    // face's second and third corners instead of its third and fourth.
    Harness h;
    h.view()->projection.scale = 10.0;
    h.define(kCmdFaces3D, scene_command<cmd_faces3d>);
    g_draw3d = Draw3DSettings{};
    g_draw3d_dialogs.faces3d = [](VIEW*) {
        g_draw3d.face_mode = 2;
        return 1;
    };
    Vec3 first{}, second{};
    h.click({1, 1, 0}).click({3, 1, 0}).click({3, 3, 0}).click({1, 3, 0}).options();
    h.call([&](Harness& hh) {
        first = view_input_state(hh.view())->points[1];
        second = view_input_state(hh.view())->points[0];
    });
    h.click({5, 3, 0}).click({5, 1, 0}).esc();
    EXPECT_EQ(h.run(kCmdFaces3D), -1);
    EXPECT_EQ(h.script_left(), 0u);
    g_draw3d_dialogs = Draw3dDialogs{};
    expect_near3(first, {3, 1, 0});
    expect_near3(second, {3, 3, 0});
    const auto made = scene_objects_of<MESH3>(h.model());
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0]->blocks->faces.size(), 4u);
    EXPECT_EQ(made[0]->blocks->vertices.size(), 6u);
    g_draw3d = Draw3DSettings{};
}

TEST(MeshSessions, FacesWithoutAreaAddNoEmptyMesh) {
    // A 3D face whose corners all coincide adds nothing to the drawing (no empty mesh,
    // no undo level); the strip goes on and the first face with area makes the mesh.
    struct Case {
        const char* what;
        std::function<void(Harness&)> script;
        int meshes, triangles;
    } cases[] = {
        {"one face on a single point", [](Harness& h) {
             for (int i = 0; i < 4; ++i) h.click({2, 2, 0});
             h.esc();
         }, 0, 0},
        {"the strip goes on to a face with area", [](Harness& h) {
             for (int i = 0; i < 4; ++i) h.click({2, 2, 0});
             h.click({6, 2, 0}).click({6, 6, 0}).esc();
         }, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        EXPECT_EQ(run_draw3d_session(h, kCmdFaces3D, scene_command<cmd_faces3d>, c.script), -1);
        EXPECT_EQ(h.script_left(), 0u);
        const auto made = scene_objects_of<MESH3>(h.model());
        ASSERT_EQ(static_cast<int>(made.size()), c.meshes);
        EXPECT_EQ(h.model()->undo_levels, c.meshes);
        if (c.meshes) { EXPECT_EQ(static_cast<int>(made[0]->blocks->faces.size()), c.triangles); }
    }
    g_draw3d = Draw3DSettings{};
}

// OK in the settings opened by F10 ended Mesh and the fractal command, and started a
// new strip in 3D faces: the command goes on at the step it was at. A settings change
// that changes the steps (points or meshes for the fractal) still takes effect.
TEST(MeshSessions, TheSettingsKeyGoesOnAtTheStep) {
    const int M1 = kPromptMeshCorner1, M2 = kPromptMeshCorner2, M3 = kPromptMeshCorner3, M4 = kPromptMeshCorner4;
    const int F1 = kPromptFacesFirst, F2 = kPromptFacesSecond, N = kPromptFacesNext, T = kPromptFractalThird;
    const int FC = kPromptFractalChoose;
    static int fractal_mode_set = 0;
    const struct {
        const char* what;
        uint32_t id;
        int fractal_mode;  // what the settings set
        std::function<void(Harness&)> script;
        std::vector<int> prompts;
        int meshes;
    } cases[] = {
        {"mesh first corner", kCmdMesh, 0,
         [](Harness& h) { h.options().click({1, 1, 0}).click({9, 1, 0}).click({9, 9, 0}).click({1, 9, 0}).esc(); },
         {M1, M2, M3, M4, M1}, 1},
        {"mesh third corner", kCmdMesh, 0,
         [](Harness& h) { h.click({1, 1, 0}).click({9, 1, 0}).options().click({9, 9, 0}).click({1, 9, 0}).esc(); },
         {M1, M2, M3, M4, M1}, 1},
        {"faces second point", kCmdFaces3D, 0,
         [](Harness& h) { h.click({1, 1, 0}).options().click({3, 1, 0}).click({3, 3, 0}).click({1, 3, 0}).esc(); },
         {F1, F2, N, N, N}, 1},
        {"faces fourth point", kCmdFaces3D, 0,
         [](Harness& h) { h.click({1, 1, 0}).click({3, 1, 0}).click({3, 3, 0}).options().click({1, 3, 0}).esc(); },
         {F1, F2, N, N, N}, 1},
        {"fractal second point", kCmdFractal, 0,
         [](Harness& h) { h.click({1, 1, 0}).options().click({9, 1, 0}).click({5, 8, 0}).esc(); },
         {F1, F2, T, F1}, 1},
        {"fractal turned to chosen meshes", kCmdFractal, 1,
         [](Harness& h) { h.click({1, 1, 0}).options().esc(); }, {F1, F2, FC}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fractal_mode_set = c.fractal_mode;
        g_draw3d_dialogs.mesh = g_draw3d_dialogs.faces3d = [](VIEW*) { return 1; };  // OK
        g_draw3d_dialogs.fractal = [](VIEW*) {
            g_draw3d.fractal_mode = fractal_mode_set;
            return 1;
        };
        g_draw3d_query = 1;
        Harness h;
        h.define(kCmdMesh, scene_command<cmd_mesh>);
        h.define(kCmdFaces3D, scene_command<cmd_faces3d>);
        h.define(kCmdFractal, scene_command<cmd_fractal>);
        h.view()->projection.scale = 10.0;
        g_draw3d = Draw3DSettings{};
        c.script(h);
        EXPECT_EQ(h.run(c.id), -1);
        EXPECT_EQ(h.shown_prompts(), c.prompts);
        EXPECT_EQ(h.script_left(), 0u);
        EXPECT_EQ(static_cast<int>(scene_objects_of<MESH3>(h.model()).size()), c.meshes);
    }
    g_draw3d_dialogs = Draw3dDialogs{};
    g_draw3d_query = 0;
    g_draw3d = Draw3DSettings{};
}

}  // namespace
