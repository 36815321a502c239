// Animation keys naming objects that die while the undo history holds objects out of
// the drawing, and the defaults of the model hooks.
#include <gtest/gtest.h>

#include "model/db/track.h"
#include "model/math/result.h"
#include "tests/model/undo_support.h"

namespace {

class HeldKeysTest : public UndoTest {
  protected:
    // A track on `holder` with one object key naming `target`; the key's target.
    object** key_on(ZOBJ* holder, ZOBJ* target) {
        auto* o = rtc_cast<object>(holder);
        KeyframeTrack* t = track_new("t", o);
        t->objects.keys.push_back(ObjectKey{3, {0, 0, 0, 0, 0}, rtc_cast<object>(target)});
        t->next_track = o->tracks;
        o->tracks = t;
        return &t->objects.keys[0].target;
    }
    // Destroys the object: 0 directly, 1 through buffer_delete_objects, 2 through
    // buffer_delete_objects_unlinked.
    static void kill(ZOBJ* obj, int how) {
        if (how == 0) {
            rtc_destroy(obj);
            return;
        }
        buffer* b = buffer_new();
        EXPECT_EQ(buffer_add(b, obj), 0);
        if (how == 1) {
            buffer_delete_objects(b);
        } else {
            buffer_delete_objects_unlinked(b);
        }
        buffer_free(&b);
    }
};

TEST_F(HeldKeysTest, KeysFallBackToTheirHolderWhateverHoldsThem) {
    struct Case {
        bool holder_held;  // the key's holder deleted as an undoable step
        bool target_held;  // the key's target deleted as an undoable step
        int how;           // see kill()
    };
    const Case cases[] = {
        {true, false, 0}, {true, false, 1}, {true, false, 2},
        {false, true, 1}, {false, true, 2}, {true, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.holder_held << c.target_held << c.how);
        end_drawing();
        new_drawing();
        run("+h +x", -1);
        object** key = key_on(get<ZOBJ>("h"), get<ZOBJ>("x"));
        if (c.holder_held) run("-h", -1);
        if (c.target_held) run("-x", -1);
        kill(get<ZOBJ>("x"), c.how);
        EXPECT_EQ(*key, get<object>("h"));
        for (int i = c.holder_held + c.target_held; i > 0; --i) model_undo(model_);
        EXPECT_EQ(listing(layer_), "h");
    }
}

TEST_F(HeldKeysTest, NewObjectKeyNamingADroppedRedoObjectFallsBack) {
    run("+x u", -1);  // x now lives only in the redo level
    ZOBJ* n = make("n");
    object** key = key_on(n, get<ZOBJ>("x"));
    ASSERT_EQ(model_add_object(layer_, n, -1, 1), 0);  // drops the redo level with x
    EXPECT_EQ(*key, rtc_cast<object>(n));
    EXPECT_EQ(model_redo_count(model_), 0);
}

TEST_F(HeldKeysTest, HeldGroupWhoseHomeDiedStillFindsItsDrawing) {
    run("+H +G@H +p@G +h", -1);
    object** key = key_on(get<ZOBJ>("h"), get<ZOBJ>("p"));
    run("-G", -1);
    rtc_destroy(get<ZOBJ>("H"));  // G's remembered home is gone
    auto* g = get<ZOBJ>("G");
    EXPECT_EQ(obj_model(g), model_);
    kill(get<ZOBJ>("p"), 1);  // a stale selection of a member of the held group
    EXPECT_EQ(*key, get<object>("h"));
    model_undo(model_);  // G has nowhere to go back to
    EXPECT_EQ(listing(layer_), "h");
    EXPECT_EQ(obj_model(g), model_);
}

TEST_F(HeldKeysTest, HookDefaultsAndDefaultLayerHook) {
    EXPECT_EQ(g_hook_second(model_, layer_), 0);
    EXPECT_EQ(g_hook_object_changed(layer_, 1), 0);

    auto layer = rtc_make<LAYER>();
    EXPECT_EQ(model_hook_add_layer_default(model_, layer.get(), "M"), kBadArgument);  // taken
    EXPECT_EQ(layer->parent, nullptr);
    EXPECT_EQ(model_hook_add_layer_default(model_, layer.get(), "N"), 0);
    EXPECT_STREQ(layer->name(), "N");
    EXPECT_EQ(layer->parent, model_);
    layer.release();  // the model owns it now
    EXPECT_EQ(drawing(), "default[] M[] N[]");
}

}  // namespace
