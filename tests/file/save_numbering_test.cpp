// A save hands out file ids and track numbers exactly as model_number_objects does
// (the saved bytes depend on them): the rich drawing, the same with an object the
// undo history holds, nested groups with tracks at every level, and an empty model.
#include <cstring>
#include <functional>
#include <vector>

#include "file_support.h"
#include "model/db/find.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "model/geom/regen.h"
#include "rich_drawing.h"

using SaveNumberingTest = FileTest;

namespace {

struct Numbers {
    std::vector<int32_t> objects;
    std::vector<int32_t> tracks;
    bool operator==(const Numbers&) const = default;
};

Numbers numbers_of(MODEL* m) {
    Numbers n;
    for (ZOBJ* z = m; z; z = tree_next(z, m)) {
        n.objects.push_back(z->file_id);
        if (auto* o = rtc_cast<object>(z)) {
            for (KeyframeTrack* t = o->tracks; t; t = t->next_track) n.tracks.push_back(t->id);
        }
    }
    return n;
}

void scramble(MODEL* m) {
    for (ZOBJ* z = m; z; z = tree_next(z, m)) {
        z->file_id = 9999;
        if (auto* o = rtc_cast<object>(z)) {
            for (KeyframeTrack* t = o->tracks; t; t = t->next_track) t->id = 9999;
        }
    }
}

void add_tracks(object* o, int count) {
    for (int i = 0; i < count; ++i) {
        KeyframeTrack* t = track_new(nullptr, o);
        ASSERT_NE(t, nullptr);
        t->next_track = o->tracks;
        o->tracks = t;
    }
}

// Groups eight deep in the first layer, a polyline and two tracks at each level, and a
// second layer after them.
void build_nested(MODEL* m) {
    auto* into = static_cast<CONTAINER*>(static_cast<ZOBJ*>(m->children));
    for (int depth = 0; depth < 8; ++depth) {
        auto* x = rtc_make<XPLINE>().release();
        x->control = make_points({{0, 0, 0}, {1, float(depth), 0}});
        EXPECT_EQ(regen_object(x), 0);
        ASSERT_EQ(container_insert(into, x), 0);
        add_tracks(x, depth % 3);
        auto* g = rtc_make<CONTAINER>().release();
        ASSERT_EQ(container_insert(into, g), 0);
        add_tracks(g, 2);
        into = g;
    }
    auto* layer = rtc_make<LAYER>().release();
    ASSERT_EQ(container_insert(m, layer), 0);
    auto* x = rtc_make<XPLINE>().release();
    x->control = make_points({{0, 0, 0}, {2, 2, 0}});
    EXPECT_EQ(regen_object(x), 0);
    ASSERT_EQ(container_insert(layer, x), 0);
    add_tracks(x, 1);
}

}  // namespace

TEST_F(SaveNumberingTest, SaveNumbersAsTheTreeWalkDoes) {
    struct Case {
        const char* name;
        std::function<void(MODEL*)> build;
    };
    const Case cases[] = {
        {"rich", [](MODEL* m) { ASSERT_EQ(build_rich_drawing(m), 0); }},
        {"rich, mesh in the history",
         [](MODEL* m) {
             ASSERT_EQ(build_rich_drawing(m), 0);
             ZOBJ* mesh = find_named(m, "mesh", &MESH3::rtc_class);
             ASSERT_NE(mesh, nullptr);
             ASSERT_EQ(model_delete_object(mesh, -1, 1), 0);
         }},
        {"nested groups with tracks", build_nested},
        {"empty", [](MODEL*) {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = new_model();
        c.build(m.get());
        if (HasFatalFailure()) return;
        ASSERT_EQ(model_number_objects(m.get()), 1);
        const Numbers want = numbers_of(m.get());
        const auto saved_after_walk = [&] {
            Bytes out;
            EXPECT_EQ(drawing_file_save_memory(&out, m.get()), 0);
            return out;
        };
        scramble(m.get());
        const Bytes first = saved_after_walk();
        EXPECT_TRUE(numbers_of(m.get()) == want);
        // Saved again with ids left by another walk: the same bytes.
        scramble(m.get());
        EXPECT_EQ(saved_after_walk(), first);
        drawing_file_drop_views(m.get());
    }
}

// Loading with no track alive beforehand (the saved model is gone): the loaded tracks'
// parent links and object keys are still resolved, and the frame count comes back.
TEST_F(SaveNumberingTest, LoadResolvesTracksWhenNoneWereAliveBefore) {
    Bytes saved;
    {
        auto m = new_model();
        ASSERT_EQ(build_rich_drawing(m.get()), 0);
        ASSERT_EQ(drawing_file_save_memory(&saved, m.get()), 0);
        drawing_file_drop_views(m.get());
    }
    ASSERT_EQ(track_live_count(), 0);
    auto loaded = new_model();
    ASSERT_EQ(drawing_file_import_memory(saved.data(), saved.size(), loaded.get()), 0);
    EXPECT_EQ(loaded->frame_count, 51);
    auto* spot = rtc_cast<object>(find_named(loaded.get(), "Spot", &SPOTLITE::rtc_class));
    ASSERT_NE(spot, nullptr);
    const KeyframeTrack* target = nullptr;
    for (const KeyframeTrack* t = spot->tracks; t; t = t->next_track) {
        if (t->name && std::strcmp(t->name, "target") == 0) target = t;
    }
    ASSERT_NE(target, nullptr);
    ASSERT_EQ(target->objects.keys.size(), 2u);
    ASSERT_NE(target->objects.keys[0].target, nullptr);
    EXPECT_STREQ(static_cast<const ZOBJ*>(target->objects.keys[0].target)->name(), "mesh");
    ASSERT_NE(target->parent, nullptr);  // rides on the omni light's orbit
    EXPECT_NE(target->parent->owner, spot);
    drawing_file_drop_views(loaded.get());
}

// Without a keyframe track alive a save numbers the objects while it writes them (one
// walk); with one alive anywhere it numbers them in a walk of their own first. Both
// give the ids of model_number_objects and the same bytes, group nesting included.
TEST_F(SaveNumberingTest, NumberingWhileWritingGivesTheBytesOfTheNumberingWalk) {
    struct Case {
        const char* name;
        std::function<void(MODEL*)> build;
    };
    const auto strip_tracks = [](MODEL* m) {
        for (ZOBJ* z = m; z; z = tree_next(z, m)) {
            if (auto* o = rtc_cast<object>(z)) track_list_free(o);
        }
    };
    const Case cases[] = {
        {"rich",
         [&](MODEL* m) {
             ASSERT_EQ(build_rich_drawing(m), 0);
             strip_tracks(m);
         }},
        {"nested groups",
         [&](MODEL* m) {
             build_nested(m);
             strip_tracks(m);
         }},
        {"empty", [](MODEL*) {}},
        {"a model among the children",
         [&](MODEL* m) {
             // A model in a group of the first layer holds line work and a group of
             // its own; a polyline follows it in the group and another the group.
             auto* layer = static_cast<CONTAINER*>(static_cast<ZOBJ*>(m->children));
             auto* g = rtc_make<CONTAINER>().release();
             ASSERT_EQ(container_insert(layer, g), 0);
             auto* inner = rtc_make<MODEL>().release();
             ASSERT_EQ(container_insert(g, inner), 0);
             auto* ig = rtc_make<CONTAINER>().release();
             ASSERT_EQ(container_insert(inner, ig), 0);
             for (CONTAINER* into : {static_cast<CONTAINER*>(ig), static_cast<CONTAINER*>(inner),
                                     g, layer}) {
                 auto* x = rtc_make<XPLINE>().release();
                 x->control = make_points({{0, 0, 0}, {3, 1, 0}});
                 EXPECT_EQ(regen_object(x), 0);
                 ASSERT_EQ(container_insert(into, x), 0);
             }
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = new_model();
        c.build(m.get());
        if (HasFatalFailure()) return;
        ASSERT_EQ(track_live_count(), 0);
        ASSERT_EQ(model_number_objects(m.get()), 1);
        const Numbers want = numbers_of(m.get());
        scramble(m.get());
        Bytes one_walk, two_walks;
        ASSERT_EQ(drawing_file_save_memory(&one_walk, m.get()), 0);
        EXPECT_TRUE(numbers_of(m.get()) == want);
        {
            // A track alive outside the drawing sends the save through the walk.
            auto stray = rtc_make<XPLINE>();
            stray->tracks = track_new("stray", stray.get());
            ASSERT_NE(stray->tracks, nullptr);
            scramble(m.get());
            ASSERT_EQ(drawing_file_save_memory(&two_walks, m.get()), 0);
            EXPECT_TRUE(numbers_of(m.get()) == want);
        }
        EXPECT_EQ(one_walk, two_walks);
        drawing_file_drop_views(m.get());
    }
}
