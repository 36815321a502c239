// The boolean commands driven by scripted input: which prompts they ask, picking the
// same mesh twice, the tool among the operands, meshes inside groups, Esc at each
// prompt, one Undo restoring the operands, and failures that change nothing.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "commands/boolean/boolean_commands.h"
#include "commands/boolean/strings.h"
#include "commands/editcore/picking.h"
#include "model/db/buffer.h"
#include "model/db/solid.h"
#include "model/db/undo.h"
#include "model/material/material.h"
#include "model/math/result.h"
#include "model/mesh/mesh_block.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "scene.h"
#include "tests/boolean/mesh_shapes.h"

namespace {

// A box mesh with its low corner at (x, y, 0); z up to 20.
MESH3* scene_box(CONTAINER* into, float x, float y, float size, int colour, float z_top = 20) {
    auto m = rtc_make<MESH3>();
    MeshFaceBlock* b = mesh_face_block(m.get(), 0);
    for (int i = 0; i < 8; ++i) {
        b->vertices.push_back(MeshVertex{x + ((i & 1) ? size : 0), y + ((i & 2) ? size : 0),
                                         (i & 4) ? z_top : 0.0f, {0, 0, 0, 0, 0, 0}});
    }
    const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& q : quads) {
        EXPECT_EQ(mesh_add_triangle(b, q[0], q[1], q[2]), 0);
        EXPECT_EQ(mesh_add_triangle(b, q[0], q[2], q[3]), 0);
    }
    m->colour = colour;
    m->material->colour[0] = 0.25f;
    return scene_add(into, m.release());
}

std::vector<ZOBJ*> selected(VIEW* v) {
    std::vector<ZOBJ*> out;
    for (RefNode* n = v->selection->refs; n; n = n->next)
        if (n->ref) out.push_back(n->ref);
    return out;
}

// Selects what lies under a point, highlighted, as the selection commands do.
void select_at(Harness& h, const Vec3& p) {
    ASSERT_EQ(pick_objects_at(h.view(), h.view()->selection, p, nullptr), 0);
}

struct Boxes {
    std::vector<MsgBoxRequest> seen;
    MsgBoxHook previous;
    Boxes() {
        previous = msgbox_set_hook([this](const MsgBoxRequest& r) {
            seen.push_back(r);
            return kIdOk;
        });
    }
    ~Boxes() { msgbox_set_hook(previous); }
};

// Three boxes: A and B overlap (volumes 8000 each, union 14000), C stands apart.
struct Scene {
    Harness h;
    LAYER* layer;
    MESH3 *a, *b, *c;
    const Vec3 in_a{12, 12, 0}, in_b{38, 38, 0}, in_c{75, 75, 0}, empty{100, 20, 0};
    Scene() {
        harness_register_classes();
        layer = scene_layer(h.model());
        a = scene_box(layer, 10, 10, 20, 3);
        b = scene_box(layer, 20, 20, 20, 5);
        c = scene_box(layer, 70, 70, 10, 6);
        for (uint32_t i = 0; i < 4; ++i) h.define(kBooleanCommands[i].id, kBooleanCommands[i].fn);
        g_prefs.undo_mode = -1;
    }
};

}  // namespace

TEST(BooleanCommands, TableInIdOrder) {
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(kBooleanCommands[i].id, kCmdSubtraction + i);
}

TEST(BooleanCommands, UnionPromptsAndResult) {
    struct Case {
        const char* what;
        std::vector<int> select;  // 0 A, 1 B
        std::function<void(Scene&)> script;
        std::vector<int> prompts;
    };
    const std::vector<Case> cases = {
        {"two selected: no prompt", {0, 1}, [](Scene&) {}, {}},
        {"one selected: only the second", {0}, [](Scene& s) { s.h.click(s.in_b); }, {kStrCsgPickUnionSecond}},
        {"none selected", {}, [](Scene& s) { s.h.click(s.in_a).click(s.in_b); },
         {kStrCsgPickUnionFirst, kStrCsgPickUnionSecond}},
        {"the same mesh twice asks again", {},
         [](Scene& s) { s.h.click(s.in_a).click(s.in_a).click(s.in_b); },
         {kStrCsgPickUnionFirst, kStrCsgPickUnionSecond, kStrCsgPickUnionSecond}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scene s;
        for (int i : c.select) select_at(s.h, i == 0 ? s.in_a : s.in_b);
        c.script(s);
        EXPECT_EQ(s.h.run(kCmdUnion), 0);
        EXPECT_EQ(s.h.script_left(), 0u);
        std::vector<int> asked;
        for (int p : s.h.shown_prompts()) asked.push_back(p);
        EXPECT_EQ(asked, c.prompts);
        const auto left = scene_children_of<MESH3>(s.layer);
        ASSERT_EQ(left.size(), 2u);  // C and the result
        MESH3* result = left[0] == s.c ? left[1] : left[0];
        EXPECT_NEAR(shapes::volume(result), 14000, 1);
        // The result takes the first operand's own colour and material, smooth by angle.
        EXPECT_TRUE(result->colour == 3 || result->colour == 5) << result->colour;
        EXPECT_TRUE(result->material->flags & kMaterialSmoothByAngle);
        EXPECT_FLOAT_EQ(result->material->colour[0], 0.25f);
        EXPECT_TRUE(selected(s.h.view()).empty());
        // One undo brings the operands back, with their own colours.
        ASSERT_EQ(model_undo(s.h.model()), 0);
        const auto back = scene_children_of<MESH3>(s.layer);
        EXPECT_EQ(back.size(), 3u);
        EXPECT_EQ(s.a->colour, 3);
        EXPECT_EQ(s.b->colour, 5);
    }
}

TEST(BooleanCommands, EscAtEachPromptChangesNothing) {
    struct Case {
        const char* what;
        uint32_t command;
        std::vector<int> select;
        std::function<void(Scene&)> script;
    };
    const std::vector<Case> cases = {
        {"union, first prompt", kCmdUnion, {}, [](Scene& s) { s.h.esc(); }},
        {"union, second prompt", kCmdUnion, {0}, [](Scene& s) { s.h.esc(); }},
        {"union, empty place", kCmdUnion, {0}, [](Scene& s) { s.h.click(s.empty); }},
        {"intersection, first prompt", kCmdIntersection, {}, [](Scene& s) { s.h.esc(); }},
        {"intersection, second prompt", kCmdIntersection, {0}, [](Scene& s) { s.h.esc(); }},
        {"subtraction, tool prompt", kCmdSubtraction, {0, 2}, [](Scene& s) { s.h.right(); }},
        {"join, second prompt", kCmdJoinMeshes, {1}, [](Scene& s) { s.h.esc(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scene s;
        for (int i : c.select) select_at(s.h, i == 0 ? s.in_a : i == 1 ? s.in_b : s.in_c);
        const auto before = selected(s.h.view());
        const int colour_a = s.a->colour;
        c.script(s);
        EXPECT_EQ(s.h.run(c.command), 0);
        EXPECT_EQ(s.h.script_left(), 0u);
        EXPECT_EQ(scene_children_of<MESH3>(s.layer).size(), 3u);
        EXPECT_EQ(selected(s.h.view()), before);
        EXPECT_EQ(s.a->colour, colour_a);
        EXPECT_EQ(s.h.model()->undo_levels, 0);
    }
}

TEST(BooleanCommands, SubtractionAndIntersectionOperands) {
    struct Case {
        const char* what;
        uint32_t command;
        std::vector<int> select;
        std::function<void(Scene&)> script;
        std::vector<int> prompts;
        size_t meshes_after;  // in the layer
        double volume_sum;    // of the results
    };
    const std::vector<Case> cases = {
        {"subtraction of a picked pair", kCmdSubtraction, {}, [](Scene& s) { s.h.click(s.in_a).click(s.in_b); },
         {kStrCsgPickSubtractFrom, kStrCsgPickSubtracted}, 2, 6000},
        // Three selected: only the tool is asked; each loses the tool, which goes.
        {"three selected, one of them the tool", kCmdSubtraction, {0, 1, 2}, [](Scene& s) { s.h.click(s.in_b); },
         {kStrCsgPickSubtracted}, 2, 6000 + 2000},
        {"two selected, one of them the tool", kCmdSubtraction, {0, 1}, [](Scene& s) { s.h.click(s.in_b); },
         {kStrCsgPickSubtracted}, 2, 6000},
        // The one selected mesh picked as the tool: asked again rather than lost.
        {"tool is the only operand", kCmdIntersection, {0},
         [](Scene& s) { s.h.click(s.in_a).click(s.in_b); },
         {kStrCsgPickIntersectionSecond, kStrCsgPickIntersectionSecond}, 2, 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scene s;
        for (int i : c.select) select_at(s.h, i == 0 ? s.in_a : i == 1 ? s.in_b : s.in_c);
        c.script(s);
        EXPECT_EQ(s.h.run(c.command), 0);
        EXPECT_EQ(s.h.script_left(), 0u);
        EXPECT_EQ(s.h.shown_prompts(), c.prompts);
        const auto after = scene_children_of<MESH3>(s.layer);
        EXPECT_EQ(after.size(), c.meshes_after);
        double sum = 0;
        for (MESH3* m : after)
            if (m != s.c) sum += shapes::volume(m);
        EXPECT_NEAR(sum, c.volume_sum, 1);
        ASSERT_EQ(model_undo(s.h.model()), 0);
        EXPECT_EQ(scene_children_of<MESH3>(s.layer).size(), 3u);
    }
}

TEST(BooleanCommands, MeshesInsideASelectedGroup) {
    Scene s;
    // Move A and B into a group; select the group.
    auto group = rtc_make<CONTAINER>();
    CONTAINER* g = scene_add<CONTAINER>(s.layer, group.release());
    EXPECT_EQ(container_insert(g, s.a), 0);
    EXPECT_EQ(container_insert(g, s.b), 0);
    EXPECT_EQ(regen_object(g), 0);
    ASSERT_EQ(buffer_add(s.h.view()->selection, g), 0);
    EXPECT_EQ(s.h.run(kCmdJoinMeshes), 0);
    EXPECT_TRUE(s.h.shown_prompts().empty());
    const auto top = scene_children_of<MESH3>(s.layer);
    ASSERT_EQ(top.size(), 2u);  // C and the joined mesh
    MESH3* joined = top[0] == s.c ? top[1] : top[0];
    size_t faces = 0;
    for (const MeshFaceBlock* b = joined->blocks; b; b = b->next) faces += b->faces.size();
    EXPECT_EQ(faces, 24u);
    EXPECT_TRUE(selected(s.h.view()).empty());  // the group's reference is cleared
    EXPECT_TRUE(scene_children_of<MESH3>(g).empty());
}

TEST(BooleanCommands, FailuresChangeNothing) {
    for (int undo_mode : {-1, 0, 3}) {
        SCOPED_TRACE(undo_mode);
        Scene s;
        g_prefs.undo_mode = undo_mode;
        // A mesh the engine refuses: a corner that is not a number.
        MESH3* bad = scene_box(s.layer, 150, 150, 10, 9);
        bad->blocks->vertices[7].z = std::numeric_limits<float>::quiet_NaN();
        select_at(s.h, s.in_a);
        s.h.click({155, 155, 0});
        Boxes boxes;
        EXPECT_EQ(s.h.run(kCmdUnion), 42189);
        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_NE(boxes.seen[0].text.find("object: Coordinate is not finite"), std::string::npos) << boxes.seen[0].text;
        EXPECT_EQ(scene_children_of<MESH3>(s.layer).size(), 4u);
        EXPECT_EQ(selected(s.h.view()), std::vector<ZOBJ*>{s.a});
        EXPECT_EQ(s.h.model()->undo_levels, 0);
        // Three operands, the refused one last: the running result of the first two goes.
        select_at(s.h, s.in_b);
        select_at(s.h, {155, 155, 0});
        EXPECT_EQ(s.h.run(kCmdUnion), 42189);
        EXPECT_EQ(scene_children_of<MESH3>(s.layer).size(), 4u);
        EXPECT_EQ(selected(s.h.view()).size(), 3u);
        EXPECT_EQ(s.h.model()->undo_levels, 0);
        buffer_clear(s.h.view()->selection);
        select_at(s.h, s.in_a);
        // The same with the intersection, the refused mesh as the tool.
        s.h.click({155, 155, 0});
        EXPECT_EQ(s.h.run(kCmdIntersection), 42189);
        EXPECT_EQ(scene_children_of<MESH3>(s.layer).size(), 4u);
        EXPECT_EQ(s.h.model()->undo_levels, 0);
        g_prefs.undo_mode = -1;
    }
}

TEST(BooleanCommands, UndoOffKeepsNoLevel) {
    Scene s;
    g_prefs.undo_mode = 0;
    s.h.click(s.in_a).click(s.in_b);
    EXPECT_EQ(s.h.run(kCmdUnion), 0);
    EXPECT_EQ(scene_children_of<MESH3>(s.layer).size(), 2u);
    EXPECT_EQ(s.h.model()->undo_levels, 0);
    g_prefs.undo_mode = -1;
}

// Join of meshes whose only triangles have two corners 0.005 apart: nothing is left
// to join, which is said as such, not as a lack of memory; the drawing stays.
TEST(BooleanCommands, JoinOfDegenerateTrianglesIsRefusedWithItsReason) {
    Scene s;
    MESH3* slivers[2];
    for (int i = 0; i < 2; ++i) {
        auto m = rtc_make<MESH3>();
        MeshFaceBlock* b = mesh_face_block(m.get(), 0);
        const float x = 100.0f + 20 * i;
        for (const auto& p : {std::array<float, 3>{x, 0, 0}, {x + 0.005f, 0, 0}, {x + 5, 10, 0}})
            b->vertices.push_back(MeshVertex{p[0], p[1], p[2], {0, 0, 0, 0, 0, 0}});
        ASSERT_EQ(mesh_add_triangle(b, 0, 1, 2), 0);
        slivers[i] = scene_add(s.layer, m.release());
        ASSERT_EQ(buffer_add(s.h.view()->selection, slivers[i]), 0);
    }
    Boxes boxes;
    EXPECT_EQ(s.h.run(kCmdJoinMeshes), kBadArgument);
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_NE(boxes.seen[0].text.find("no usable face"), std::string::npos) << boxes.seen[0].text;
    EXPECT_EQ(scene_children_of<MESH3>(s.layer).size(), 5u);
    EXPECT_EQ(selected(s.h.view()).size(), 2u);
    EXPECT_EQ(s.h.model()->undo_levels, 0);
}
