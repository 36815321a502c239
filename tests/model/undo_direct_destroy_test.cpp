// Objects destroyed directly while their drawing has an undo history or animation
// keys naming them: nothing may be left pointing at freed memory.
#include "model/db/track.h"
#include "tests/model/undo_support.h"

namespace {

TEST_F(UndoTest, DestroyingAGroupInTheDrawingLetsTheHistoryAndKeysForgetItsTree) {
    ZOBJ* group = make("G");
    ZOBJ* inner = make("x");
    ZOBJ* keeper = make("k");
    ASSERT_EQ(container_insert(static_cast<CONTAINER*>(group), inner), 0);
    ASSERT_EQ(model_add_object(layer_, group, -1, 1), 0);
    ASSERT_EQ(model_add_object(layer_, keeper, -1, 1), 0);
    // A deleted member of the group, held by the history with the group as its home.
    ZOBJ* held = make("h");
    ASSERT_EQ(container_insert(static_cast<CONTAINER*>(group), held), 0);
    ASSERT_EQ(model_delete_object(held, -1, 1), 0);

    // The keeper's animation blends towards the group's member.
    auto* k = static_cast<object*>(keeper);
    KeyframeTrack* t = track_new("spin", k);
    ASSERT_NE(t, nullptr);
    k->tracks = t;
    t->objects.keys.push_back(ObjectKey{0, {0, 0, 0, 0, 0}, static_cast<object*>(inner)});
    t->blend_a = static_cast<object*>(inner);

    rtc_destroy(group);
    EXPECT_EQ(listing(layer_), "k");
    EXPECT_EQ(t->objects.keys[0].target, k);
    EXPECT_EQ(t->blend_a, nullptr);

    // Undoing everything must not touch the destroyed group or its member.
    while (model_->undo_levels > 0) model_undo(model_);
    EXPECT_EQ(listing(layer_), "");
    while (model_redo_count(model_) > 0) model_redo(model_);
    EXPECT_EQ(listing(layer_), "k");
}

TEST_F(UndoTest, DestroyingAnObjectTheHistoryHoldsInTheDrawingIsForgotten) {
    ZOBJ* a = make("a");
    ASSERT_EQ(model_add_object(layer_, a, -1, 1), 0);
    rtc_destroy(a);
    EXPECT_EQ(listing(layer_), "");
    model_undo(model_);
    model_redo(model_);
    EXPECT_EQ(listing(layer_), "");
}

}  // namespace
