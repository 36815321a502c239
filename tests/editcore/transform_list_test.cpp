// Transforming lists of objects: undoable moves and copies, copies into another
// drawing with their layer and styles found by name.
#include <gtest/gtest.h>

#include <cstring>

#include "commands/editcore/copy.h"
#include "commands/editcore/transform.h"
#include "edit_test_util.h"
#include "model/db/track.h"
#include "model/db/undo.h"
#include "model/material/material.h"
#include "model/math/result.h"

namespace {

const Vec3 kOrigin = {0, 0, 0};

LINEPATT* add_line_style(MODEL* m, const char* name, std::vector<double> dashes) {
    auto p = rtc_make<LINEPATT>();
    p->set_string(0, name);
    p->dashes = std::move(dashes);
    LINEPATT* raw = p.get();
    EXPECT_EQ(model_insert_patt(m, p.release()), 1);
    return raw;
}

LAYER* add_layer(MODEL* m, const char* name) {
    auto l = rtc_make<LAYER>();
    l->set_string(0, name);
    LAYER* raw = l.get();
    EXPECT_EQ(container_insert(m, l.release()), 0);
    return raw;
}

TEST_F(EditTest, MoveIsUndoneInOneStep) {
    auto model = rtc_make<MODEL>();
    LAYER* layer = first_layer(model.get());
    XPLINE* a = add_polyline(layer, {{0, 0, 0}, {1, 0, 0}}, "Wall");
    XPLINE* b = add_polyline(layer, {{0, 5, 0}, {1, 5, 0}});
    Selection sel;
    EXPECT_EQ(buffer_add(sel.buf, a), 0);
    EXPECT_EQ(buffer_add(sel.buf, b), 0);
    ASSERT_EQ(transform_objects(layer, nullptr, sel.buf, kOrigin, {10, 0, 0}, kOrigin, kXformMove,
                                nullptr, -1),
              0);
    auto moved = children_of(layer);
    ASSERT_EQ(moved.size(), 2u);
    for (ZOBJ* z : moved) {
        EXPECT_NE(z, a);
        EXPECT_NE(z, b);
        EXPECT_NEAR(points_of(static_cast<XPLINE*>(z)->control)[0].x, 10, 1e-6);
    }
    EXPECT_EQ(model->undo_levels, 1);
    // A move keeps the name: it is the same object for the user.
    EXPECT_TRUE(std::strcmp(moved[0]->name(), "Wall") == 0 ||
                std::strcmp(moved[1]->name(), "Wall") == 0);

    ASSERT_EQ(model_undo(model.get()), 0);
    auto back = children_of(layer);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0], a);
    EXPECT_EQ(back[1], b);
    EXPECT_NEAR(points_of(a->control)[0].x, 0, 1e-6);
    ASSERT_EQ(model_redo(model.get()), 0);
    EXPECT_EQ(children_of(layer), moved);
}

TEST_F(EditTest, CopyLeavesSourcesAndNamesCopiesUniquely) {
    auto model = rtc_make<MODEL>();
    LAYER* layer = first_layer(model.get());
    XPLINE* a = add_polyline(layer, {{0, 0, 0}, {1, 0, 0}}, "Wall07");
    Selection sel, result;
    EXPECT_EQ(buffer_add(sel.buf, a), 0);
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(transform_objects(layer, result.buf, sel.buf, kOrigin, {0, 3, 0}, kOrigin,
                                    kXformMove | kXformCopy, nullptr, -1),
                  0);
    auto all = children_of(layer);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0], a);
    EXPECT_STREQ(a->name(), "Wall07");
    EXPECT_STREQ(all[1]->name(), "Wall01");
    EXPECT_STREQ(all[2]->name(), "Wall02");
    EXPECT_NEAR(points_of(static_cast<XPLINE*>(all[1])->control)[0].y, 3, 1e-6);
    int in_result = 0;
    for (RefNode* n = result.buf->refs; n; n = n->next) in_result += n->ref != nullptr;
    EXPECT_EQ(in_result, 2);
    EXPECT_EQ(model->undo_levels, 2);
}

TEST_F(EditTest, UndoOffStillMovesAndKeepsNoHistory) {
    auto model = rtc_make<MODEL>();
    LAYER* layer = first_layer(model.get());
    XPLINE* a = add_polyline(layer, {{0, 0, 0}, {1, 0, 0}});
    Selection sel;
    EXPECT_EQ(buffer_add(sel.buf, a), 0);
    ASSERT_EQ(transform_objects(layer, nullptr, sel.buf, kOrigin, {2, 0, 0}, kOrigin, kXformMove,
                                nullptr, 0),
              0);
    EXPECT_EQ(model_has_history(model.get()), 0);
    auto all = children_of(layer);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_NEAR(points_of(static_cast<XPLINE*>(all[0])->control)[0].x, 2, 1e-6);

    // Without undo recording the object itself moves.
    Selection again;
    EXPECT_EQ(buffer_add(again.buf, all[0]), 0);
    ASSERT_EQ(transform_objects(layer, nullptr, again.buf, kOrigin, {1, 0, 0}, kOrigin,
                                kXformMove | kXformNoUndo, nullptr, -1),
              0);
    EXPECT_EQ(children_of(layer)[0], all[0]);
    EXPECT_NEAR(points_of(static_cast<XPLINE*>(all[0])->control)[0].x, 3, 1e-6);
}

// A move into another drawing is one step in each drawing's own history.
TEST_F(EditTest, MoveIntoAnotherDrawingIsAStepOfBothHistories) {
    for (bool earlier_command : {false, true}) {
        auto from = rtc_make<MODEL>();
        auto to = rtc_make<MODEL>();
        LAYER* layer = first_layer(from.get());
        XPLINE* kept = nullptr;
        if (earlier_command) {
            auto x = rtc_make<XPLINE>();
            x->control = make_plist({{0, 9, 0}, {1, 9, 0}});
            kept = x.get();
            ASSERT_EQ(model_add_object(layer, x.release(), -1, 1), 0);
        }
        XPLINE* moving = add_polyline(layer, {{0, 0, 0}, {1, 0, 0}});
        Selection sel;
        EXPECT_EQ(buffer_add(sel.buf, moving), 0);
        ASSERT_EQ(transform_objects(first_layer(to.get()), nullptr, sel.buf, kOrigin, {3, 0, 0},
                                    kOrigin, kXformMove, nullptr, -1),
                  0)
            << earlier_command;
        EXPECT_EQ(children_of(first_layer(to.get())).size(), 1u);
        EXPECT_EQ(from->undo_levels, earlier_command ? 2 : 1);
        // Undoing the move in the source brings the object back and nothing else.
        ASSERT_EQ(model_undo(from.get()), 0);
        std::vector<ZOBJ*> want = {moving};
        if (kept) want.insert(want.begin(), kept);
        EXPECT_EQ(children_of(layer), want) << earlier_command;
        ASSERT_EQ(model_undo(to.get()), 0);
        EXPECT_TRUE(children_of(first_layer(to.get())).empty());
    }
}

TEST_F(EditTest, DegenerateTransformChangesNothing) {
    auto model = rtc_make<MODEL>();
    LAYER* layer = first_layer(model.get());
    XPLINE* a = add_polyline(layer, {{0, 0, 0}, {1, 0, 0}});
    Selection sel;
    EXPECT_EQ(buffer_add(sel.buf, a), 0);
    EXPECT_EQ(transform_objects(layer, nullptr, sel.buf, kOrigin, kOrigin, {1, 0, 0}, kXformScale3,
                                nullptr, -1),
              kBadArgument);
    EXPECT_EQ(children_of(layer), std::vector<ZOBJ*>{a});
    EXPECT_EQ(model_has_history(model.get()), 0);
}

TEST_F(EditTest, CopyBetweenDrawingsRebindsStylesByName) {
    auto from = rtc_make<MODEL>();
    auto to = rtc_make<MODEL>();
    auto bare = rtc_make<MODEL>();
    LINEPATT* dash_from = add_line_style(from.get(), "Dash", {2, 1});
    LINEPATT* dash_to = add_line_style(to.get(), "Dash", {5, 5});
    LAYER* walls_from = add_layer(from.get(), "Walls");
    LAYER* walls_to = add_layer(to.get(), "Walls");
    XPLINE* line = add_polyline(walls_from, {{0, 0, 0}, {20, 0, 0}}, "Edge");
    line->line_style = dash_from;
    EXPECT_EQ(regen_object(line), 0);
    auto group = rtc_make<CONTAINER>();
    XPLINE* member = add_polyline(group.get(), {{0, 1, 0}, {20, 1, 0}});
    member->line_style = dash_from;
    CONTAINER* g = group.get();
    EXPECT_EQ(container_insert(first_layer(from.get()), group.release()), 0);

    Selection sel, result;
    EXPECT_EQ(buffer_add(sel.buf, line), 0);
    EXPECT_EQ(buffer_add(sel.buf, g), 0);
    ASSERT_EQ(transform_objects(first_layer(to.get()), result.buf, sel.buf, kOrigin, kOrigin,
                                kOrigin, kXformMove | kXformCopy, nullptr, -1),
              0);
    // The line lands in the layer of the same name, the group in the container given.
    auto walls = children_of(walls_to);
    ASSERT_EQ(walls.size(), 1u);
    auto* copy = static_cast<XPLINE*>(walls[0]);
    EXPECT_EQ(copy->line_style, dash_to);
    EXPECT_STREQ(copy->name(), "Edge");
    auto defaults = children_of(first_layer(to.get()));
    ASSERT_EQ(defaults.size(), 1u);
    auto* group_copy = rtc_cast<CONTAINER>(defaults[0]);
    ASSERT_TRUE(group_copy);
    EXPECT_EQ(static_cast<XPLINE*>(children_of(group_copy)[0])->line_style, dash_to);
    // Its dashes are the target drawing's: dash 5, gap 5 over 20 units gives two dashes.
    EXPECT_EQ(points_of(static_cast<PointNode*>(copy->strokes->value)).size(), 4u);
    // The sources keep their styles.
    EXPECT_EQ(line->line_style, dash_from);
    EXPECT_EQ(member->line_style, dash_from);

    // A drawing without the style leaves the copy solid.
    Selection bare_sel;
    EXPECT_EQ(buffer_add(bare_sel.buf, line), 0);
    ASSERT_EQ(transform_objects(first_layer(bare.get()), nullptr, bare_sel.buf, kOrigin, kOrigin,
                                kOrigin, kXformMove | kXformCopy, nullptr, -1),
              0);
    auto bare_copy = static_cast<XPLINE*>(children_of(first_layer(bare.get()))[0]);
    EXPECT_EQ(bare_copy->line_style, nullptr);

    // A copy inside the same drawing keeps its style and its container.
    Selection same;
    EXPECT_EQ(buffer_add(same.buf, line), 0);
    ASSERT_EQ(transform_objects(first_layer(from.get()), nullptr, same.buf, kOrigin, {0, 1, 0},
                                kOrigin, kXformMove | kXformCopy, nullptr, -1),
              0);
    auto from_walls = children_of(walls_from);
    ASSERT_EQ(from_walls.size(), 2u);
    EXPECT_EQ(static_cast<XPLINE*>(from_walls[1])->line_style, dash_from);
}

TEST_F(EditTest, ImageSlotsRebindByName) {
    auto target = rtc_make<MODEL>();
    auto image = rtc_make<MATRPATT>();
    image->set_string(0, "Brick");
    MATRPATT* brick = image.get();
    model_insert_patt(target.get(), image.release());
    auto foreign = rtc_make<MATRPATT>();
    foreign->set_string(0, "Brick");
    auto other = rtc_make<MATRPATT>();
    other->set_string(0, "Marble");

    auto mesh = rtc_make<MESH3>();
    mesh->material->slots[0].kind = kTextureImage;
    mesh->material->slots[0].mapping.image = foreign.get();
    mesh->material->slots[1].kind = kTextureImage;
    mesh->material->slots[1].mapping.image = other.get();
    MESH3* m = mesh.get();
    EXPECT_EQ(container_insert(first_layer(target.get()), mesh.release()), 0);
    object_patterns_rebind(m);
    EXPECT_EQ(m->material->slots[0].mapping.image, brick);
    EXPECT_EQ(m->material->slots[1].mapping.image, nullptr);
}

// A morphing mesh copied into another drawing: its keys must not point into the
// drawing it came from, which may be closed long before the copy is drawn.
TEST_F(EditTest, CopyIntoAnotherDrawingKeepsNoAnimationLinksIntoTheSource) {
    auto from = rtc_make<MODEL>();
    auto to = rtc_make<MODEL>();
    auto make_mesh = [] {
        auto mesh = rtc_make<MESH3>();
        auto* b = new MeshFaceBlock;
        b->vertices = {{0, 0, 0, {}}, {1, 0, 0, {}}};
        b->edges = {{{0, 1}, 0}};
        mesh->blocks = b;
        mesh->own_box();
        return mesh;
    };
    auto group = rtc_make<CONTAINER>();
    auto key_inside = make_mesh();
    auto morph = make_mesh();
    auto key_outside = make_mesh();
    MESH3* inside = key_inside.get();
    MESH3* outside = key_outside.get();
    KeyframeTrack* t = track_new("morph", morph.get());
    t->objects.keys = {ObjectKey{0, {0, 0, 0, 0, 0}, inside},
                       ObjectKey{10, {0, 0, 0, 0, 0}, outside}};
    t->blend_a = inside;
    t->blend_b = outside;
    morph->tracks = t;
    EXPECT_EQ(container_insert(group.get(), key_inside.release()), 0);
    EXPECT_EQ(container_insert(group.get(), morph.release()), 0);
    CONTAINER* g = group.get();
    EXPECT_EQ(container_insert(first_layer(from.get()), group.release()), 0);
    EXPECT_EQ(container_insert(first_layer(from.get()), key_outside.release()), 0);

    for (int32_t mode : {kXformMove | kXformCopy, kXformMove | kXformCopy | kXformNoUndo}) {
        Selection sel, result;
        EXPECT_EQ(buffer_add(sel.buf, g), 0);
        ASSERT_EQ(transform_objects(first_layer(to.get()), result.buf, sel.buf, kOrigin, {0, 5, 0},
                                    kOrigin, mode, nullptr, -1),
                  0);
        ASSERT_TRUE(result.buf->refs);
        auto* copy = rtc_cast<CONTAINER>(result.buf->refs->ref);
        ASSERT_TRUE(copy);
        const auto members = children_of(copy);
        ASSERT_EQ(members.size(), 2u);
        auto* copied_key = static_cast<MESH3*>(members[0]);
        auto* copied_morph = static_cast<MESH3*>(members[1]);
        KeyframeTrack* ct = copied_morph->tracks;
        ASSERT_TRUE(ct);
        ASSERT_EQ(ct->objects.keys.size(), 2u);
        // The key inside the group names its copy; the one outside names the holder.
        EXPECT_EQ(ct->objects.keys[0].target, copied_key) << mode;
        EXPECT_EQ(ct->objects.keys[1].target, copied_morph) << mode;
        EXPECT_EQ(ct->blend_a, nullptr);
        EXPECT_EQ(ct->blend_b, nullptr);
        // The source keeps its own links.
        EXPECT_EQ(t->objects.keys[1].target, outside);
    }
}

}  // namespace
