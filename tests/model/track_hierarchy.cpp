// Track hierarchies: linking and unlinking, refusing links that would close a circle,
// evaluating a child through its parent (with per-axis locks), the cache of a child
// whose parent changed, and evaluation of circles made by editing links by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/math/scalar.h"
#include "model/math/result.h"
#include "tests/model/track_support.h"

namespace {

struct Tracks {
    std::vector<KeyframeTrack*> t;
    explicit Tracks(int n) {
        for (int i = 0; i < n; ++i) t.push_back(track_new(nullptr, nullptr));
    }
    ~Tracks() {
        for (KeyframeTrack* k : t) {
            k->parent = nullptr;  // some tests leave hand-made circles behind
            k->children = nullptr;
            track_delete(k);
        }
    }
    KeyframeTrack* operator[](int i) const { return t[i]; }
};

std::vector<KeyframeTrack*> children_of(const KeyframeTrack* p) {
    std::vector<KeyframeTrack*> out;
    if (!p->children) return out;
    KeyframeTrack* c = p->children;
    do {
        out.push_back(c);
        c = c->next;
    } while (c != p->children && out.size() < 100);
    return out;
}

TEST_F(TrackTest, LinkAndUnlinkKeepRingOrder) {
    Tracks t(4);
    EXPECT_EQ(track_link_child(t[0], t[1]), 0);
    EXPECT_EQ(track_link_child(t[0], t[2]), 0);
    EXPECT_EQ(track_link_child(t[0], t[3]), 0);
    EXPECT_EQ(children_of(t[0]), (std::vector<KeyframeTrack*>{t[1], t[2], t[3]}));
    EXPECT_EQ(t[2]->parent, t[0]);
    track_unlink(t[1]);
    EXPECT_EQ(children_of(t[0]), (std::vector<KeyframeTrack*>{t[2], t[3]}));
    EXPECT_EQ(t[1]->parent, nullptr);
    EXPECT_EQ(t[1]->next, nullptr);
    // Relinking under another parent takes it out of the first ring.
    EXPECT_EQ(track_link_child(t[1], t[3]), 0);
    EXPECT_EQ(children_of(t[0]), (std::vector<KeyframeTrack*>{t[2]}));
    EXPECT_EQ(children_of(t[1]), (std::vector<KeyframeTrack*>{t[3]}));
    track_unlink(t[2]);
    EXPECT_EQ(t[0]->children, nullptr);
    track_unlink(t[2]);  // a root: nothing
    EXPECT_EQ(t[2]->parent, nullptr);
}

TEST_F(TrackTest, LinkRefusesCircles) {
    Tracks t(4);
    ASSERT_EQ(track_link_child(t[0], t[1]), 0);
    ASSERT_EQ(track_link_child(t[1], t[2]), 0);
    struct Case {
        const char* what;
        KeyframeTrack* parent;
        KeyframeTrack* child;
    };
    const Case refused[] = {
        {"itself", t[1], t[1]},
        {"its parent", t[1], t[0]},
        {"its grandparent", t[2], t[0]},
        {"null parent", nullptr, t[3]},
        {"null child", t[3], nullptr},
    };
    for (const Case& c : refused) {
        EXPECT_EQ(track_link_child(c.parent, c.child), kBadArgument) << c.what;
    }
    // Nothing changed.
    EXPECT_EQ(t[0]->parent, nullptr);
    EXPECT_EQ(t[1]->parent, t[0]);
    EXPECT_EQ(t[2]->parent, t[1]);
    EXPECT_EQ(children_of(t[0]), (std::vector<KeyframeTrack*>{t[1]}));
    EXPECT_EQ(children_of(t[1]), (std::vector<KeyframeTrack*>{t[2]}));
    // Below a chain that already runs in a circle (edited by hand) nothing is linked.
    t[0]->parent = t[2];
    EXPECT_EQ(track_link_child(t[1], t[3]), kBadArgument);
    EXPECT_EQ(t[3]->parent, nullptr);
    t[0]->parent = nullptr;
    // A sibling link is fine.
    EXPECT_EQ(track_link_child(t[1], t[3]), 0);
}

// A child with a key at the origin (so it is not a fixed-point track) under a parent.
struct Pair {
    Tracks t{2};
    KeyframeTrack* parent() const { return t[0]; }
    KeyframeTrack* child() const { return t[1]; }
    Pair() {
        child()->position.keys = {pkey(0, 0, 0, 0)};
        (void)track_link_child(parent(), child());
    }
};

TEST_F(TrackTest, ChildFollowsParentPositionRelativeToParentPivot) {
    Pair p;
    p.parent()->pivot[0] = 2;
    p.parent()->position.keys = {pkey(0, 10, 0, 0)};
    p.child()->position.keys = {pkey(0, 1, 0, 0)};
    track_eval(p.child(), 0);
    // The parent's pivot lands on (10, 0, 0); the child's position is an offset from it.
    expect_near3(through(p.child(), {0, 0, 0}), {11, 0, 0});
    EXPECT_EQ(p.parent()->cached_frame, 0) << "the parent is evaluated first";
}

TEST_F(TrackTest, ParentRotationAndRotationLocks) {
    struct Case {
        int32_t locks;
        Vec3d want;  // image of the child's (1, 0, 0)
    };
    // Parent: a quarter turn about +Z, its pivot moved to (10, 0, 0).
    const Case cases[] = {
        {0, {10, 1, 0}},
        {kKeyLockZ, {11, 0, 0}},  // the turn about z is not inherited
        {kKeyLockX, {10, 1, 0}},  // no turn about x to drop
        {kKeyLockY, {10, 1, 0}},
    };
    for (const Case& c : cases) {
        Pair p;
        p.parent()->rotation.keys = {rkey(0, static_cast<float>(kPi / 2))};
        track_accumulate_rotations(p.parent());
        p.parent()->position.keys = {pkey(0, 10, 0, 0)};
        p.child()->rotation.flags = c.locks;
        track_eval(p.child(), 0);
        expect_near3(through(p.child(), {1, 0, 0}), c.want, 1e-6);
    }
}

// The locks rebuild the parent's turn from the angles mat_to_xyz_angles reads: they
// must be the angles mat_rotate_xyz turns by. Read as their negatives (2*pi - 0.3 for
// a turn of 0.3 about x) the child under a locked parent would turn the wrong way.
TEST_F(TrackTest, LockedParentKeepsTheSenseOfItsOtherTurns) {
    const double c3 = std::cos(0.3), s3 = std::sin(0.3);
    struct Case {
        float axis[3];
        int32_t locks;
        Vec3d from, want;
    } cases[] = {
        {{1, 0, 0}, kKeyLockZ, {0, 1, 0}, {0, c3, s3}},
        {{1, 0, 0}, kKeyLockY, {0, 0, 1}, {0, -s3, c3}},
        {{0, 1, 0}, kKeyLockX, {1, 0, 0}, {c3, 0, -s3}},
        {{0, 0, 1}, kKeyLockY, {1, 0, 0}, {c3, s3, 0}},
        {{1, 0, 0}, kKeyLockX, {0, 1, 0}, {0, 1, 0}},
    };
    for (const Case& c : cases) {
        Pair p;
        p.parent()->rotation.keys = {rkey(0, 0.3f, c.axis[0], c.axis[1], c.axis[2])};
        track_accumulate_rotations(p.parent());
        p.child()->rotation.flags = c.locks;
        track_eval(p.child(), 0);
        expect_near3(through(p.child(), c.from), c.want, 1e-6);
    }
}

TEST_F(TrackTest, LockedParentScaleIsNotInherited) {
    struct Case {
        int32_t locks;
        Vec3d want;  // image of the child's (1, 1, 1) under a parent scale (2, 3, 4)
    };
    const Case cases[] = {
        {0, {2, 3, 4}},
        {kKeyLockX, {1, 3, 4}},  // 128: the first factor
        {kKeyLockY, {2, 1, 4}},  // 512: the second
        {kKeyLockZ, {2, 3, 1}},  // 256: the third
        {kKeyLockMask, {1, 1, 1}},
    };
    for (const Case& c : cases) {
        Pair p;
        p.parent()->scale.keys = {pkey(0, 2, 3, 4)};
        p.child()->scale.flags = c.locks;
        track_eval(p.child(), 0);
        expect_near3(through(p.child(), {1, 1, 1}), c.want, 1e-6);
        Vec3d back;
        const Vec3d img = through(p.child(), {1, 1, 1});
        xform_point_d(&back, &img, &p.child()->evaluated, 1);
        expect_near3(back, {1, 1, 1}, 1e-6, "inverse in step");
    }
}

TEST_F(TrackTest, ChildCacheNoticesParentChange) {
    Pair p;
    p.parent()->position.keys = {pkey(0, 0), pkey(10, 10)};
    track_eval(p.child(), 5);
    EXPECT_NEAR(through(p.child(), {0, 0, 0}).x, 5, 1e-6);
    // The parent's keys change and only the parent's cache is reset.
    p.parent()->position.keys[1].value[0] = 20;
    track_invalidate(p.parent());
    track_eval(p.child(), 5);
    EXPECT_NEAR(through(p.child(), {0, 0, 0}).x, 10, 1e-6);
    // Unchanged parent: the child's cached result stands (same stamp).
    const uint64_t stamp = p.child()->eval_stamp;
    track_eval(p.child(), 5);
    EXPECT_EQ(p.child()->eval_stamp, stamp);
    // Linking elsewhere resets the child's cache.
    track_unlink(p.child());
    EXPECT_EQ(p.child()->cached_frame, -1);
    track_eval(p.child(), 5);
    EXPECT_NEAR(through(p.child(), {0, 0, 0}).x, 0, 1e-6);
}

TEST_F(TrackTest, HandMadeCircleEvaluatesFinitely) {
    Tracks t(3);
    for (int i = 0; i < 3; ++i) t[i]->position.keys = {pkey(0, 1, 0, 0)};
    t[0]->parent = t[1];
    t[1]->parent = t[2];
    t[2]->parent = t[0];
    t[0]->parent = t[1];
    for (int i = 0; i < 3; ++i) {
        for (int f = 0; f < 3; ++f) {
            track_eval(t[i], f);
            EXPECT_TRUE(finite_xform(t[i]->evaluated));
        }
    }
    // The track asked for sees its two ancestors, the farthest taken as a root.
    track_invalidate(t[0]);
    track_invalidate(t[1]);
    track_invalidate(t[2]);
    track_eval(t[0], 7);
    EXPECT_NEAR(through(t[0], {0, 0, 0}).x, 3, 1e-6);
}

TEST_F(TrackTest, DeepChainIsEvaluated) {
    std::vector<KeyframeTrack*> chain;
    for (int i = 0; i < 300; ++i) {
        KeyframeTrack* t = track_new(nullptr, nullptr);
        t->position.keys = {pkey(0, 1, 0, 0)};
        if (!chain.empty()) {
            ASSERT_EQ(track_link_child(chain.back(), t), 0);
        }
        chain.push_back(t);
    }
    track_eval(chain.back(), 0);
    EXPECT_NEAR(through(chain.back(), {0, 0, 0}).x, 300, 1e-6);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        track_unlink(*it);
        track_delete(*it);
    }
}

}  // namespace
