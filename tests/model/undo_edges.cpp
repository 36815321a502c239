// Edge cases of the undo history: what is destroyed when (counted through the live
// object count), where undone objects come back, the steps that are refused, and that
// no held object is left pointing at a destroyed style or group.
#include <gtest/gtest.h>

#include "model/db/track.h"
#include "model/math/result.h"
#include "tests/model/undo_support.h"

namespace {

class UndoEdge : public UndoTest {};

TEST_F(UndoEdge, DepthZeroDeleteDestroysAtOnce) {
    run("+a +b +c u", -1);  // c is held by a redo level
    const long live = rtc_live_objects();
    EXPECT_EQ(model_delete_object(get<ZOBJ>("a"), 0, 1), 0);
    // a and c are gone with all three levels: with undo off no level may stay behind
    // to replay onto the changed drawing.
    EXPECT_EQ(rtc_live_objects(), live - 2);
    EXPECT_EQ(model_->undo_levels, 0);
    EXPECT_EQ(model_has_history(model_), 0);
    model_undo(model_);
    model_redo(model_);
    EXPECT_EQ(drawing(), "default[b] M[]");
}

TEST_F(UndoEdge, EveryLevelUndoneCanBeRedone) {
    run("+a +b +c u u u", -1);
    EXPECT_EQ(model_redo_count(model_), 3);
    run("r r", -1);
    EXPECT_EQ(model_redo_count(model_), 1);
    EXPECT_EQ(drawing(), "default[a b] M[]");
}

TEST_F(UndoEdge, DepthTwoDestroysWhatTheTrimmedLevelDeleted) {
    EXPECT_EQ(container_insert(layer_, make("x")), 0);
    run("-x", 2);
    const long live = rtc_live_objects();
    run("+b +c", 2);
    // Two objects made; x goes with the trimmed level.
    EXPECT_EQ(rtc_live_objects(), live + 2 - 1);
    EXPECT_EQ(model_->undo_levels, 2);
}

TEST_F(UndoEdge, NewStepDestroysWhatTheRedoLevelsAdded) {
    run("+a +b +c u u", -1);
    const long live = rtc_live_objects();
    run("+d", -1);
    // b and c go with their levels; d comes.
    EXPECT_EQ(rtc_live_objects(), live - 2 + 1);
    EXPECT_EQ(model_redo_count(model_), 0);
}

TEST_F(UndoEdge, UndoneDeleteComesBackToItsParentAndPlace) {
    run("+G &a@G &b@G &c@G -b", -1);
    auto* b = get<ZOBJ>("b");
    EXPECT_EQ(b->parent, get<CONTAINER>("G"));  // out, but it knows where it belongs
    EXPECT_EQ(b->next, nullptr);
    model_undo(model_);
    EXPECT_EQ(drawing(), "default[G[a b c]] M[]");
    model_redo(model_);
    EXPECT_EQ(drawing(), "default[G[a c]] M[]");
    EXPECT_EQ(b->parent, get<CONTAINER>("G"));
    model_undo(model_);
    EXPECT_EQ(b->parent, get<CONTAINER>("G"));
    EXPECT_EQ(drawing(), "default[G[a b c]] M[]");
}

// Runs at unlimited depth only: the scripts use objects after deleting them.
TEST_F(UndoEdge, MovesAndReAddsComeBackAndAreFreedOnce) {
    const struct {
        const char* script;
        const char* want;
    } rows[] = {
        {"+a +b -a }a@M", "default[b] M[a]"},
        {"+a +b -a }a@M u", "default[a b] M[]"},
        {"+a +b -a }a@M u r", "default[b] M[a]"},
        {"+a +b >a@M u", "default[a b] M[]"},
        // a was deleted, then added again: trimming the delete must not free it.
        {"+a -a >a@M t1", "default[] M[a]"},
        {"+a -a }a@M t0", "default[] M[a]"},
        {"+a -a >a@M u t0 r", "default[] M[a]"},
        {"+a -a >a@M u +b u u", "default[a] M[]"},
        // A step that adds an object and deletes it again leaves nothing on undo.
        {"+x +a ~a u", "default[x] M[]"},
        {"+x +a ~a u r", "default[x] M[]"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.script);
        end_drawing();
        new_drawing();
        run(row.script, -1);
        EXPECT_EQ(drawing(), row.want);
    }
}

TEST_F(UndoEdge, RefusedStepsChangeNothing) {
    run("+a -a +G &x@G -G", -1);
    auto free_obj = rtc_new("free", &XPLINE::rtc_class);
    auto other = rtc_make<MODEL>();
    auto foreign = rtc_new("foreign", &XPLINE::rtc_class);
    EXPECT_EQ(container_insert(static_cast<CONTAINER*>(other->first_child()),
                     static_cast<ZOBJ*>(foreign.get())), 0);
    auto* foreign_obj = static_cast<ZOBJ*>(foreign.release());
    auto* free_z = static_cast<ZOBJ*>(free_obj.get());
    const std::string before = drawing();
    const int levels = model_->undo_levels;
    const struct {
        const char* what;
        int result;
    } results[] = {
        {"delete an object in no drawing", model_delete_object(free_z, -1, 1)},
        {"delete a deleted object", model_delete_object(get<ZOBJ>("a"), -1, 1)},
        {"delete inside a deleted group", model_delete_object(get<ZOBJ>("x"), -1, 1)},
        {"delete the model", model_delete_object(model_, -1, 1)},
        {"add into a deleted group", model_add_object(get<CONTAINER>("G"), free_z, -1, 1)},
        {"add an object of another drawing", model_add_object(layer_, foreign_obj, -1, 1)},
        {"add a layer into itself", model_add_object(layer_, layer_, -1, 1)},
        {"add the model", model_add_object(layer_, model_, -1, 1)},
    };
    for (const auto& r : results) EXPECT_EQ(r.result, kBadArgument) << r.what;
    EXPECT_EQ(drawing(), before);
    EXPECT_EQ(model_->undo_levels, levels);
}

TEST_F(UndoEdge, DuplicateStyleIsRefused) {
    auto solid = rtc_new("Solid", &LINEPATT::rtc_class);
    EXPECT_EQ(model_add_object(layer_, static_cast<ZOBJ*>(solid.get()), -1, 1), kBadArgument);
    auto dash = rtc_new("Dash", &LINEPATT::rtc_class);
    EXPECT_EQ(model_add_object(layer_, static_cast<ZOBJ*>(dash.get()), -1, 1), 0);
    auto* d = static_cast<PATT*>(dash.release());
    EXPECT_EQ(model_find_patt(model_, "Dash", &LINEPATT::rtc_class), d);
    model_undo(model_);
    EXPECT_EQ(model_find_patt(model_, "Dash", &LINEPATT::rtc_class), nullptr);
    model_redo(model_);
    EXPECT_EQ(model_find_patt(model_, "Dash", &LINEPATT::rtc_class), d);
}

// A style is deleted while an object that uses it is held by a level (deleted, or
// added by a level that was undone): the object follows the replacement.
TEST_F(UndoEdge, DeletedStyleIsReplacedInHeldObjects) {
    for (const bool with_replacement : {false, true}) {
        for (const char* script : {"+w -w", "+w u"}) {
            SCOPED_TRACE(std::string(script) + (with_replacement ? " replaced" : " cleared"));
            end_drawing();
            new_drawing();
            auto dash = rtc_new("Dash", &LINEPATT::rtc_class);
            auto* style = static_cast<LINEPATT*>(dash.get());
            ASSERT_EQ(model_insert_patt(model_, style), 1);
            dash.release();
            run(script, -1);
            auto* w = get<XPLINE>("w");
            w->line_style = style;
            LINEPATT* solid =
                static_cast<LINEPATT*>(model_find_patt(model_, "Solid", &LINEPATT::rtc_class));
            model_delete_patt(style, with_replacement ? solid : nullptr);
            EXPECT_EQ(w->line_style, with_replacement ? solid : nullptr);
            if (std::string(script) == "+w -w") {
                model_undo(model_);
            } else {
                model_redo(model_);
            }
            EXPECT_EQ(drawing(), "default[w] M[]");
            EXPECT_EQ(w->line_style, with_replacement ? solid : nullptr);
        }
    }
}

TEST_F(UndoEdge, StyleCannotReplaceItself) {
    auto* style = model_find_patt(model_, "Solid", &LINEPATT::rtc_class);
    run("+w", -1);
    get<XPLINE>("w")->line_style = static_cast<LINEPATT*>(style);
    model_delete_patt(style, style);
    EXPECT_EQ(get<XPLINE>("w")->line_style, nullptr);
}

// The history holds a style itself (it added it); the style is then destroyed by
// other means. The history lets go of it; undo and redo do not touch it.
TEST_F(UndoEdge, DestroyedStyleLeavesTheHistory) {
    for (const bool undone : {false, true}) {
        end_drawing();
        new_drawing();
        auto dash = rtc_new("Dash", &LINEPATT::rtc_class);
        auto* style = static_cast<PATT*>(dash.get());
        ASSERT_EQ(model_add_object(model_, style, -1, 1), 0);
        dash.release();
        if (undone) model_undo(model_);
        model_delete_patt(style, nullptr);
        model_undo(model_);
        model_redo(model_);
        model_redo(model_);
        EXPECT_EQ(model_find_patt(model_, "Dash", &LINEPATT::rtc_class), nullptr);
    }
}

TEST_F(UndoEdge, DissolvedGroupLeavesTheHistory) {
    // G was added with x inside; y was deleted from G. G is then dissolved into M.
    run("+G &x@G &y@G +z -y", -1);
    buffer* sel = buffer_new();
    EXPECT_EQ(buffer_add(sel, get<ZOBJ>("G")), 0);
    EXPECT_EQ(container_insert_buffer(other_, sel), 0);
    buffer_free(&sel);
    EXPECT_EQ(drawing(), "default[z] M[x]");
    model_undo(model_);  // y belonged in G, which is gone: it goes where G's children went
    EXPECT_EQ(drawing(), "default[z] M[x y]");
    model_undo(model_);
    model_undo(model_);  // the step that made G: x is taken out again
    EXPECT_EQ(drawing(), "default[] M[]");
    model_redo(model_);
    EXPECT_EQ(drawing(), "default[] M[x y]");
}

TEST_F(UndoEdge, DestroyingHeldObjectsThroughABufferLeavesTheHistory) {
    run("+a +b -a", -1);
    buffer* held = buffer_create();
    EXPECT_EQ(buffer_add(held, get<ZOBJ>("a")), 0);
    EXPECT_EQ(buffer_add(held, get<ZOBJ>("b")), 0);
    buffer_delete_objects_unlinked(held);
    buffer_free(&held);
    model_undo(model_);  // would put a back
    model_undo(model_);  // would take b out
    EXPECT_EQ(drawing(), "default[] M[]");
    model_redo(model_);
    model_redo(model_);
    EXPECT_EQ(drawing(), "default[] M[]");
}

// An object the history destroys may be named by object keys of animation tracks, in
// the drawing and in objects the history holds: those keys fall back to their holder.
TEST_F(UndoEdge, TrackKeysLetGoOfObjectsTheHistoryDestroys) {
    run("+a +b +c -b -c", -1);
    auto key_to_b = [this](const char* holder) {
        auto* h = get<object>(holder);
        KeyframeTrack* t = track_new(nullptr, h);
        t->objects.keys.push_back(ObjectKey{0, {0, 0, 0, 0, 0}, get<object>("b")});
        h->tracks = t;
        return t;
    };
    KeyframeTrack* in_drawing = key_to_b("a");
    KeyframeTrack* held = key_to_b("c");
    model_undo_trim(model_, 1);  // b goes for good; c is still held
    EXPECT_EQ(in_drawing->objects.keys[0].target, get<object>("a"));
    EXPECT_EQ(held->objects.keys[0].target, get<object>("c"));
    model_undo(model_);
    EXPECT_EQ(drawing(), "default[a c] M[]");
}

TEST_F(UndoEdge, TrimAndDropRangeChecks) {
    run("+a +b +c u", -1);
    model_undo_trim(model_, -1);
    model_undo_trim(model_, 2);
    model_drop_redo(model_, -1);
    model_drop_redo(model_, 1);
    EXPECT_EQ(model_->undo_levels, 2);
    EXPECT_EQ(model_redo_count(model_), 1);
    model_undo_trim(model_, 0);  // the redo level stays
    EXPECT_EQ(model_->undo_levels, 0);
    EXPECT_EQ(model_redo_count(model_), 1);
    model_redo(model_);
    EXPECT_EQ(drawing(), "default[a b c] M[]");
}

}  // namespace
