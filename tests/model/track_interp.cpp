// Evaluating single tracks: position splines, segment finding, repeat, equal frames,
// scale and rotation keys about a pivot, and the frame cache. Expected values are
// worked out by hand from the Hermite basis h01 = 3s^2 - 2s^3, h10 = s^3 - 2s^2 + s,
// h11 = s^3 - s^2 with the Kochanek-Bartels tangents (half the chord with zero
// parameters when a neighbour is missing).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "model/math/scalar.h"
#include "tests/model/track_support.h"

namespace {

struct OwnedTrack {
    KeyframeTrack* t = track_new("t", nullptr);
    ~OwnedTrack() { track_delete(t); }
    KeyframeTrack* operator->() const { return t; }
};

double x_at(KeyframeTrack* t, int frame) {
    track_eval(t, frame);
    return through(t, {0, 0, 0}).x;
}

// ---- Position keys

struct SplineCase {
    const char* what;
    std::vector<PositionKey> keys;
    int frame;
    double want;
};

TEST_F(TrackTest, PositionSplineValues) {
    const SplineCase cases[] = {
        // Two keys, zero parameters: tangents 5 and 5, s = 0.5 gives the midpoint
        // 10*0.5 + 5*0.125 + 5*(-0.125).
        {"midpoint", {pkey(0, 0), pkey(10, 10)}, 5, 5.0},
        // s = 0.2: 10*0.104 + 5*0.128 + 5*(-0.032).
        {"frame 2", {pkey(0, 0), pkey(10, 10)}, 2, 1.52},
        // s = 0.8: 10*0.896 + 5*0.032 + 5*(-0.128).
        {"frame 8", {pkey(0, 0), pkey(10, 10)}, 8, 8.48},
        // Tension 1 on both keys: no tangents, 10*h01(0.2).
        {"tension", {pkey(0, 0, 0, 0, {1}), pkey(10, 10, 0, 0, {1})}, 2, 1.04},
        // Ease 1 on the first key: s = u(1 - 2(u - 1)^2) = 0.25 at u = 0.5;
        // 10*0.15625 + 5*0.140625 + 5*(-0.046875).
        {"ease", {pkey(0, 0, 0, 0, {0, 0, 0, 1, 0}), pkey(10, 10)}, 5, 2.03125},
        // Three keys 0, 10, 0: incoming tangent at the middle key 0.5*10 + 0.5*(-10) = 0;
        // 10*0.5 + 5*0.125.
        {"neighbour", {pkey(0, 0), pkey(10, 10), pkey(20, 0)}, 5, 5.625},
        // Before the first key, at a key, past the last key.
        {"before first", {pkey(5, 3), pkey(10, 7)}, 0, 3.0},
        {"at first", {pkey(5, 3), pkey(10, 7)}, 5, 3.0},
        {"at last", {pkey(5, 3), pkey(10, 7)}, 10, 7.0},
        {"after last", {pkey(5, 3), pkey(10, 7)}, 40, 7.0},
        {"single key", {pkey(4, 9)}, 0, 9.0},
    };
    for (const SplineCase& c : cases) {
        OwnedTrack t;
        t->position.keys = c.keys;
        EXPECT_NEAR(x_at(t.t, c.frame), c.want, 1e-5) << c.what;
    }
}

TEST_F(TrackTest, KeySplineSegmentDirect) {
    const KeyHead k0{0, {0, 0, 0, 0, 0}}, k1{10, {0, 0, 0, 0, 0}};
    const float v0[2] = {0, 100}, v1[2] = {10, 0};
    double out[2];
    key_spline_segment(nullptr, &k0, &k1, nullptr, nullptr, v0, v1, nullptr, 2, 5, out);
    EXPECT_NEAR(out[0], 5.0, 1e-12);
    EXPECT_NEAR(out[1], 50.0, 1e-12);
    key_spline_segment(nullptr, &k0, &k1, nullptr, nullptr, v0, v1, nullptr, 2, 0, out);
    EXPECT_NEAR(out[0], 0.0, 1e-12);
    key_spline_segment(nullptr, &k0, &k1, nullptr, nullptr, v0, v1, nullptr, 2, 10, out);
    EXPECT_NEAR(out[0], 10.0, 1e-12);
    EXPECT_NEAR(out[1], 0.0, 1e-12);
}

TEST_F(TrackTest, KeySplineSegmentEqualFramesTakesLaterKey) {
    const KeyHead k0{10, {0, 0, 0, 0, 0}}, k1{10, {0, 0, 0, 0, 0}};
    const float v0[1] = {3}, v1[1] = {8};
    double out[1] = {-1};
    key_spline_segment(nullptr, &k0, &k1, nullptr, nullptr, v0, v1, nullptr, 1, 0, out);
    EXPECT_EQ(out[0], 8.0);
    const KeyHead back{5, {0, 0, 0, 0, 0}};  // frames running backwards
    key_spline_segment(nullptr, &k0, &back, nullptr, nullptr, v0, v1, nullptr, 1, 2, out);
    EXPECT_EQ(out[0], 8.0);
}

TEST_F(TrackTest, PositionKeysLocateThePivot) {
    OwnedTrack t;
    t->pivot[0] = 1;
    t->pivot[1] = 2;
    t->position.keys = {pkey(0, 5, 5, 5)};
    track_eval(t.t, 0);
    expect_near3(through(t.t, {1, 2, 0}), {5, 5, 5});
    expect_near3(through(t.t, {2, 2, 0}), {6, 5, 5});
}

// ---- Repeat

TEST_F(TrackTest, RepeatWrapsModuloLastKeyFrame) {
    OwnedTrack t;
    t->position.keys = {pkey(0, 0), pkey(20, 20)};
    t->position.flags = kKeyRepeat;
    // s = 0.25: 20*0.15625 + 10*0.140625 + 10*(-0.046875).
    EXPECT_NEAR(x_at(t.t, 5), 4.0625, 1e-5);
    EXPECT_NEAR(x_at(t.t, 25), 4.0625, 1e-5);
    EXPECT_NEAR(x_at(t.t, 45), 4.0625, 1e-5);
    EXPECT_NEAR(x_at(t.t, 40), 0.0, 1e-6);  // 40 mod 20 = 0: the first key
    t->position.flags = 0;
    track_invalidate(t.t);
    EXPECT_NEAR(x_at(t.t, 25), 20.0, 1e-6);  // without repeat: the last key
}

TEST_F(TrackTest, RepeatWithoutPeriodDoesNotDivide) {
    struct Case {
        std::vector<PositionKey> keys;
        int frame;
        double want;
    };
    const Case cases[] = {
        {{pkey(0, 7)}, 5, 7.0},                 // last key at frame 0
        {{pkey(-10, 1), pkey(0, 2)}, 5, 2.0},   // last key at frame 0 after a negative one
        {{pkey(-20, 1), pkey(-10, 2)}, 5, 2.0}, // last key before frame 0
    };
    for (const Case& c : cases) {
        OwnedTrack t;
        t->position.keys = c.keys;
        t->position.flags = kKeyRepeat;
        t->rotation.keys = {rkey(c.keys.back().frame, 1.0f)};
        t->rotation.flags = kKeyRepeat;
        t->scale.keys = {pkey(c.keys.back().frame, 2, 2, 2)};
        t->scale.flags = kKeyRepeat;
        t->objects.keys = {okey(c.keys.back().frame, nullptr)};
        t->objects.flags = kKeyRepeat;
        track_accumulate_rotations(t.t);
        track_eval(t.t, c.frame);
        EXPECT_TRUE(finite_xform(t->evaluated));
        // The position is where the pivot (the origin) goes: undo scale and rotation
        // by reading the translation part.
        EXPECT_NEAR(t->evaluated.fwd.m[9], c.want, 1e-5);
    }
}

// ---- Keys sharing a frame

TEST_F(TrackTest, EqualFrameKeysGiveFiniteValuesAndTheLaterKey) {
    OwnedTrack t;
    t->position.keys = {pkey(0, 0), pkey(10, 4), pkey(10, 8), pkey(20, 12)};
    t->scale.keys = {pkey(0, 1, 1, 1), pkey(10, 2, 2, 2), pkey(10, 3, 3, 3)};
    t->rotation.keys = {rkey(0, 0), rkey(10, 0.5f), rkey(10, 0.5f), rkey(20, 0.5f)};
    t->objects.keys = {okey(10, nullptr), okey(10, nullptr)};
    track_accumulate_rotations(t.t);
    for (int f = -3; f <= 25; ++f) {
        track_eval(t.t, f);
        EXPECT_TRUE(finite_xform(t->evaluated)) << "frame " << f;
        EXPECT_TRUE(std::isfinite(t->blend)) << "frame " << f;
    }
    // Position alone at the shared frame: the later key.
    OwnedTrack p;
    p->position.keys = {pkey(0, 0), pkey(10, 4), pkey(10, 8), pkey(20, 12)};
    EXPECT_NEAR(x_at(p.t, 10), 8.0, 1e-6);
    EXPECT_TRUE(std::isfinite(x_at(p.t, 9)));
    EXPECT_TRUE(std::isfinite(x_at(p.t, 11)));
    // Every key at one frame.
    OwnedTrack q;
    q->position.keys = {pkey(3, 1), pkey(3, 2), pkey(3, 5)};
    EXPECT_NEAR(x_at(q.t, 3), 5.0, 1e-6);
    EXPECT_NEAR(x_at(q.t, 0), 1.0, 1e-6);  // before the first key
    EXPECT_NEAR(x_at(q.t, 9), 5.0, 1e-6);  // past the last
}

// ---- Scale keys

TEST_F(TrackTest, ScaleKeysAreLinearFromOneAtFrameZero) {
    struct Case {
        int frame;
        Vec3d want;  // the image of (1, 1, 1) with the pivot at the origin
    };
    const Case cases[] = {
        {0, {1, 1, 1}},
        {5, {1.5, 2.5, 0.75}},  // half way from (1, 1, 1) to (2, 4, 0.5)
        {10, {2, 4, 0.5}},
        {15, {3, 4, 0.75}},  // half way between the keys
        {20, {4, 4, 1}},
        {30, {4, 4, 1}},
    };
    for (const Case& c : cases) {
        OwnedTrack t;
        t->scale.keys = {pkey(10, 2, 4, 0.5f), pkey(20, 4, 4, 1)};
        track_eval(t.t, c.frame);
        expect_near3(through(t.t, {1, 1, 1}), c.want, 1e-6);
    }
}

TEST_F(TrackTest, ScaleActsAboutThePivotAndZeroFactorsStayFinite) {
    OwnedTrack t;
    t->pivot[0] = t->pivot[1] = t->pivot[2] = 1;
    t->scale.keys = {pkey(0, 3, 3, 3)};
    track_eval(t.t, 0);
    expect_near3(through(t.t, {1, 1, 1}), {1, 1, 1});
    expect_near3(through(t.t, {2, 1, 1}), {4, 1, 1});
    // Forward then inverse returns the point.
    Vec3d p = {0.5, -2, 7}, q, r;
    xform_point_d(&q, &p, &t->evaluated, 0);
    xform_point_d(&r, &q, &t->evaluated, 1);
    expect_near3(r, p);

    OwnedTrack z;
    z->scale.keys = {pkey(0, 0, 1, 1)};
    track_eval(z.t, 0);
    EXPECT_TRUE(finite_xform(z->evaluated));
    expect_near3(through(z.t, {5, 2, 3}), {0, 2, 3});
}

// ---- Rotation keys

double turn_of_x(KeyframeTrack* t, int frame) {
    track_eval(t, frame);
    const Vec3d o = through(t, {0, 0, 0}), x = through(t, {1, 0, 0});
    return std::atan2(x.y - o.y, x.x - o.x);
}

TEST_F(TrackTest, RotationAboutPivotKeepsPivotAndTurnsQuarterAtKey) {
    OwnedTrack t;
    t->pivot[0] = 2;
    t->pivot[1] = 3;
    t->rotation.keys = {rkey(0, 0), rkey(10, static_cast<float>(kPi / 2))};
    track_accumulate_rotations(t.t);
    const double h = std::sqrt(0.5);
    struct Case {
        int frame;
        Vec3d want;  // image of the pivot + x
    };
    const Case cases[] = {
        {0, {3, 3, 0}}, {5, {2 + h, 3 + h, 0}}, {10, {2, 4, 0}}, {12, {2, 4, 0}}};
    for (const Case& c : cases) {
        track_eval(t.t, c.frame);
        expect_near3(through(t.t, {2, 3, 0}), {2, 3, 0}, 1e-6, "pivot");
        expect_near3(through(t.t, {3, 3, 0}), c.want, 1e-6, "pivot + x");
        expect_near3(through(t.t, {2, 3, 5}), {2, 3, 5}, 1e-6, "on the axis");
    }
}

TEST_F(TrackTest, RotationCorrectionsTowardsNeighbours) {
    // All turns about +Z, so the angles add; each expected angle (in units of pi) is
    // the accumulated angle of key k-1, plus key k's angle x (u/2 + 1/2), plus the
    // corrections 0.08 x angle x (1 - u1^2) and 0.08 x angle x (u2^2 - 1).
    const float q = static_cast<float>(kPi / 2);
    struct Case {
        int keys;
        int frame;
        double want;
    };
    const Case cases[] = {
        // Three keys at 0, 10, 20. Frame 5 (u = 0): 0.25 from M; key 0 is the first,
        // so u2 = u = 0 and B = 0.5 x (0 - 1) x 0.08 = -0.04.
        {3, 5, 0.21},
        // Frame 15 (u = 0): 0.5 + 0.25; key 2 is the last, so u1 = u = 0 and
        // A = 0.5 x 1 x 0.08 = 0.04.
        {3, 15, 0.79},
        // Frame 12 (u = -0.6): 0.5 + 0.1; u1 = u = -0.6: A = 0.5 x 0.64 x 0.08.
        {3, 12, 0.6256},
        // Four keys at 0, 10, 20, 30. Frame 12 (u = -0.6): u1 = (u + 0.5) x 2 = -0.2,
        // A = 0.5 x 0.96 x 0.08 = 0.0384; u <= 0 gives u2 = -1, no B.
        {4, 12, 0.6384},
        // Frame 18 (u = 0.6): 0.5 + 0.4; u1 = 1, no A; u2 = 0.2,
        // B = 0.5 x (0.04 - 1) x 0.08 = -0.0384.
        {4, 18, 0.8616},
        // At the key frames: the accumulated rotations.
        {4, 10, 0.5},
        {4, 20, 1.0},
    };
    for (const Case& c : cases) {
        OwnedTrack t;
        t->rotation.keys = {rkey(0, 0)};
        for (int k = 1; k < c.keys; ++k) t->rotation.keys.push_back(rkey(10 * k, q));
        track_accumulate_rotations(t.t);
        double got = turn_of_x(t.t, c.frame) / kPi;
        if (got < 0) got += 2;  // a half turn may come back as -pi
        EXPECT_NEAR(got, c.want, 1e-6) << c.keys << " keys, frame " << c.frame;
    }
}

TEST_F(TrackTest, RotationBeforeFirstAndAfterLastKey) {
    OwnedTrack t;
    t->rotation.keys = {rkey(5, 0.3f), rkey(10, 0.2f)};
    track_accumulate_rotations(t.t);
    EXPECT_NEAR(turn_of_x(t.t, 0), 0.3, 1e-6);
    EXPECT_NEAR(turn_of_x(t.t, 5), 0.3, 1e-6);
    EXPECT_NEAR(turn_of_x(t.t, 10), 0.5, 1e-6);
    EXPECT_NEAR(turn_of_x(t.t, 99), 0.5, 1e-6);
}

// ---- Object keys

TEST_F(TrackTest, ObjectKeysBlendState) {
    auto a = rtc_make<MESH3>(), b = rtc_make<MESH3>(), own = rtc_make<MESH3>();
    KeyframeTrack* t = add_track(own.get());
    t->objects.keys = {okey(10, a.get()), okey(20, b.get())};
    struct Case {
        int frame;
        double weight;
        object* from;
        object* to;
    };
    const Case cases[] = {
        {0, 1.0, own.get(), a.get()},  // before the first key: from the track's object
        {5, 0.5, own.get(), a.get()},
        {10, 1.0, a.get(), a.get()},
        {15, 0.5, a.get(), b.get()},
        {18, 0.2, a.get(), b.get()},
        {20, 1.0, b.get(), b.get()},
        {30, 1.0, b.get(), b.get()},
    };
    for (const Case& c : cases) {
        track_eval(t, c.frame);
        EXPECT_NEAR(t->blend, c.weight, 1e-12) << c.frame;
        EXPECT_EQ(t->blend_a, c.from) << c.frame;
        EXPECT_EQ(t->blend_b, c.to) << c.frame;
    }
}

// ---- The frame cache

TEST_F(TrackTest, CacheHitOnRepeatedFrameIgnoresKeyEditsUntilInvalidated) {
    OwnedTrack t;
    t->position.keys = {pkey(0, 0), pkey(10, 10)};
    EXPECT_NEAR(x_at(t.t, 5), 5.0, 1e-6);
    EXPECT_EQ(t->cached_frame, 5);
    t->position.keys[1].value[0] = 20;  // edited without resetting the cache
    EXPECT_NEAR(x_at(t.t, 5), 5.0, 1e-6) << "the cached transform is kept";
    track_invalidate(t.t);
    EXPECT_EQ(t->cached_frame, -1);
    EXPECT_NEAR(x_at(t.t, 5), 10.0, 1e-6);
    // Another frame is recomputed: s = 0.6, 20*0.648 + 10*0.096 + 10*(-0.144).
    EXPECT_NEAR(x_at(t.t, 6), 12.48, 1e-5);
    EXPECT_EQ(t->cached_frame, 6);
}

TEST_F(TrackTest, TrackWithoutKeysOfPlainObjectIsIdentityAndNotCached) {
    auto m = rtc_make<MESH3>();
    KeyframeTrack* t = add_track(m.get());
    track_eval(t, 3);
    EXPECT_EQ(t->cached_frame, -1);
    expect_near3(through(t, {1, 2, 3}), {1, 2, 3}, 0);
}

}  // namespace
