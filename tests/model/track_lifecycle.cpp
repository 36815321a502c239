// Track lifetime: making, freeing with the object (object keys of other objects that
// name the dying object are redirected to their own object), and duplicating with the
// object. Run under AddressSanitizer: a key left pointing at a freed object, or a
// track left in a freed ring, shows up there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/file/save_context.h"
#include "tests/model/track_support.h"
#include "tests/small_stack.h"

namespace {

TEST_F(TrackTest, NewTrackDefaults) {
    KeyframeTrack* t = track_new("target", nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->name, "target");
    EXPECT_EQ(t->id, -1);
    EXPECT_EQ(t->cached_frame, -1);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(t->base.fwd.m[i], kMatIdentity.m[i]) << i;
        EXPECT_EQ(t->base.inv.m[i], kMatIdentity.m[i]) << i;  // -0 counts as 0
    }
    KeyframeTrack* u = track_new(nullptr, nullptr);
    EXPECT_EQ(u->name, nullptr);
    track_delete(t);
    track_delete(u);
}

TEST_F(TrackTest, FreeRedirectsObjectKeysOfOtherObjects) {
    Scene s(10, 0);
    auto* a = s.add<MESH3>();
    auto* b = s.add<MESH3>();  // the dying object, without tracks of its own
    auto* c = s.add<MESH3>();
    auto* group = s.add<CONTAINER>();
    auto* d = s.add<MESH3>(group);  // one level further down
    ASSERT_TRUE(a && b && c && group && d);

    KeyframeTrack* ta = add_track(a, "a");
    ta->objects.keys = {okey(0, b), okey(5, c), okey(9, b)};
    ta->blend_a = b;
    ta->blend_b = c;
    ta->cached_frame = 4;
    KeyframeTrack* td = add_track(d, "d");
    td->objects.keys = {okey(2, b)};
    KeyframeTrack* tc = add_track(c, "c");
    tc->objects.keys = {okey(1, a)};
    tc->cached_frame = 3;

    rtc_destroy(b);

    EXPECT_EQ(ta->objects.keys[0].target, a);
    EXPECT_EQ(ta->objects.keys[1].target, c);
    EXPECT_EQ(ta->objects.keys[2].target, a);
    EXPECT_EQ(ta->blend_a, nullptr);
    EXPECT_EQ(ta->blend_b, c);
    EXPECT_EQ(ta->cached_frame, -1) << "changed keys reset the cache";
    EXPECT_EQ(td->objects.keys[0].target, d);
    EXPECT_EQ(tc->objects.keys[0].target, a) << "keys naming others are left alone";
    EXPECT_EQ(tc->cached_frame, 3);

    // The redirected keys evaluate without touching freed memory.
    track_eval(ta, 7);
    EXPECT_EQ(ta->blend_a, c);
    EXPECT_EQ(ta->blend_b, a);
}

TEST_F(TrackTest, FreeUnlinksTracksOfOtherObjects) {
    Scene s(10, 0);
    auto* parent_obj = s.add<MESH3>();
    auto* child_obj = s.add<MESH3>();
    KeyframeTrack* pt = add_track(parent_obj, "p");
    KeyframeTrack* sibling = add_track(parent_obj, "q");
    KeyframeTrack* ct = add_track(child_obj, "c");
    ct->position.keys = {pkey(0, 1)};
    pt->position.keys = {pkey(0, 5)};
    ASSERT_EQ(track_link_child(pt, ct), 0);
    ASSERT_EQ(track_link_child(pt, sibling), 0);
    track_eval(ct, 0);
    EXPECT_NEAR(through(ct, {0, 0, 0}).x, 6, 1e-6);

    rtc_destroy(parent_obj);

    EXPECT_EQ(ct->parent, nullptr);
    EXPECT_EQ(ct->next, nullptr);
    EXPECT_EQ(ct->cached_frame, -1);
    track_eval(ct, 0);
    EXPECT_NEAR(through(ct, {0, 0, 0}).x, 1, 1e-6);
}

TEST_F(TrackTest, FreeOutsideModelAndModelTeardownAreClean) {
    {
        // A free object: no model to walk, its tracks are still freed.
        auto loose = rtc_make<MESH3>();
        KeyframeTrack* t = add_track(loose.get(), "x");
        t->objects.keys = {okey(0, loose.get())};
        add_track(loose.get(), "y");
    }
    {
        // Tearing a whole animated drawing down frees every track once.
        Scene s(10, 0);
        auto* a = s.add<MESH3>();
        auto* b = s.add<CAMERA>();
        add_track(a)->objects.keys = {okey(0, b)};
        add_track(b);
        add_track(b, "target");
        ASSERT_EQ(track_link_child(a->tracks, b->tracks), 0);
        add_track(s.model.get());  // the drawing itself may carry a track
    }
    // TrackTest checks that every object and track is gone.
}

TEST_F(TrackTest, RedirectModelSkipsTheDyingObject) {
    Scene s(10, 0);
    auto* a = s.add<MESH3>();
    auto* b = s.add<MESH3>();
    add_track(a)->objects.keys = {okey(0, b)};
    add_track(b)->objects.keys = {okey(0, b)};
    EXPECT_EQ(track_redirect_model(s.model.get(), b), 1);
    EXPECT_EQ(a->tracks->objects.keys[0].target, a);
    EXPECT_EQ(b->tracks->objects.keys[0].target, b);
    EXPECT_EQ(track_redirect_model(nullptr, b), 0);
}

TEST_F(TrackTest, DuplicateWithObjectKeepsOrderAndResetsLinks) {
    Scene s(10, 0);
    auto* src = s.add<MESH3>();
    auto* other = s.add<MESH3>();
    const char* names[] = {"first", "second", "third"};
    for (const char* n : names) {
        KeyframeTrack* t = add_track(src, n);
        t->position.keys = {pkey(1, 2, 3, 4)};
        t->objects.keys = {okey(3, other)};
        t->pivot[1] = 7;
        t->cached_frame = 5;
    }
    KeyframeTrack* outside = add_track(other, "outside");
    ASSERT_EQ(track_link_child(src->tracks, src->tracks->next_track), 0);
    ASSERT_EQ(track_link_child(outside, src->tracks->next_track->next_track), 0);

    std::unique_ptr<RTC> clone;
    ASSERT_EQ(rtc_clone(&clone, src), 0);
    auto* copy = static_cast<MESH3*>(clone.get());
    int i = 0;
    const KeyframeTrack* s_t = src->tracks;
    for (const KeyframeTrack* t = copy->tracks; t; t = t->next_track, s_t = s_t->next_track, ++i) {
        ASSERT_LT(i, 3);
        EXPECT_STREQ(t->name, names[i]);
        EXPECT_NE(t->name, s_t->name);
        EXPECT_NE(t, s_t);
        EXPECT_EQ(t->owner, copy);
        EXPECT_EQ(t->parent, nullptr);
        EXPECT_EQ(t->children, nullptr);
        EXPECT_EQ(t->next, nullptr);
        EXPECT_EQ(t->prev, nullptr);
        EXPECT_EQ(t->cached_frame, -1);
        EXPECT_EQ(t->pivot[1], 7.0f);
        ASSERT_EQ(t->position.keys.size(), 1u);
        EXPECT_EQ(t->position.keys[0].value[2], 4.0f);
        ASSERT_EQ(t->objects.keys.size(), 1u);
        EXPECT_EQ(t->objects.keys[0].target, other) << "references are shared";
    }
    EXPECT_EQ(i, 3);
    // The source's links are untouched.
    EXPECT_EQ(src->tracks->next_track->parent, src->tracks);
    EXPECT_EQ(src->tracks->next_track->next_track->parent, outside);
}

TEST_F(TrackTest, ListCopyAppendsAfterExistingTracks) {
    auto src = rtc_make<MESH3>(), dst = rtc_make<MESH3>();
    add_track(src.get(), "s1");
    add_track(src.get(), "s2");
    add_track(dst.get(), "d1");
    ASSERT_EQ(track_list_copy(src.get(), dst.get()), 0);
    std::vector<std::string> got;
    for (const KeyframeTrack* t = dst->tracks; t; t = t->next_track) got.emplace_back(t->name);
    EXPECT_EQ(got, (std::vector<std::string>{"d1", "s1", "s2"}));
}

}  // namespace

TEST_F(TrackTest, RedirectGoesThroughTheDeepestGroupChainOnASmallStack) {
    // A key inside a group chain as deep as a drawing file holds names an object that
    // goes (freed in place, or its tracks replaced): the key is redirected, and the walk
    // that finds it takes no call per level. The chain's top is skipped as dying.
    Scene s(10, 0);
    auto* target = s.add<MESH3>();
    CONTAINER* into = s.layer;
    CONTAINER* top = nullptr;
    for (int i = 0; i < kMaxRecordNesting - 2; ++i) {
        into = s.add<CONTAINER>(into);
        if (!top) top = into;
    }
    auto* holder = s.add<MESH3>(into);
    add_track(holder)->objects.keys = {okey(0, target)};
    int changed = -1;
    ASSERT_TRUE(run_on_small_stack([&] { changed = track_redirect_model(s.model.get(), target); }));
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(holder->tracks->objects.keys[0].target, holder);
    holder->tracks->objects.keys = {okey(0, target)};
    EXPECT_EQ(track_redirect_model(s.model.get(), top), 0);
    EXPECT_EQ(holder->tracks->objects.keys[0].target, target);
}
