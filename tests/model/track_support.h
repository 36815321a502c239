// Helpers shared by the keyframe-track tests: key builders, a drawing with a frame
// range to put objects into, and a fixture that registers the classes and checks that
// every object and track made by a test is freed again.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/track_eval.h"
#include "model/db/tree.h"
#include "model/db/zobj.h"
#include "model/math/matrix.h"

class TrackTest : public ::testing::Test {
protected:
    void SetUp() override {
        rtc_register_all();
        objects_before_ = rtc_live_objects();
        tracks_before_ = track_live_count();
    }
    void TearDown() override {
        EXPECT_EQ(rtc_live_objects(), objects_before_) << "objects left alive";
        EXPECT_EQ(track_live_count(), tracks_before_) << "tracks left alive";
    }

private:
    long objects_before_ = 0;
    long tracks_before_ = 0;
};

// A position (or scale) key; params are tension, two shape values, two ease values.
inline PositionKey pkey(int frame, float x, float y = 0, float z = 0,
                        std::initializer_list<float> params = {}) {
    PositionKey k{frame, {0, 0, 0, 0, 0}, {x, y, z}};
    int i = 0;
    for (float p : params) k.params[i++] = p;
    return k;
}

// A rotation key by `angle` about the axis; accumulated rotations are filled in by
// track_accumulate_rotations.
inline RotationKey rkey(int frame, float angle, float ax = 0, float ay = 0, float az = 1) {
    RotationKey k{};
    k.frame = frame;
    k.angle = angle;
    k.axis[0] = ax;
    k.axis[1] = ay;
    k.axis[2] = az;
    return k;
}

inline ObjectKey okey(int frame, object* target) { return ObjectKey{frame, {0, 0, 0, 0, 0}, target}; }

inline ChannelKey ckey(int frame, float value) { return ChannelKey{frame, {0, 0, 0, 0, 0}, value}; }

// A point through the track's evaluated transform (forward).
inline Vec3d through(const KeyframeTrack* t, Vec3d p) {
    Vec3d out;
    xform_point_d(&out, &p, &t->evaluated, 0);
    return out;
}

inline bool finite_xform(const Transform& t) {
    for (double v : t.fwd.m) {
        if (!std::isfinite(v)) return false;
    }
    for (double v : t.inv.m) {
        if (!std::isfinite(v)) return false;
    }
    return true;
}

inline void expect_near3(const Vec3d& got, const Vec3d& want, double tol = 1e-5,
                         const char* what = "") {
    EXPECT_NEAR(got.x, want.x, tol) << what;
    EXPECT_NEAR(got.y, want.y, tol) << what;
    EXPECT_NEAR(got.z, want.z, tol) << what;
}

// A drawing with a frame range; objects are put into its "default" layer.
struct Scene {
    std::unique_ptr<MODEL> model = rtc_make<MODEL>();
    CONTAINER* layer = nullptr;

    Scene(int frame_count, int current) {
        layer = static_cast<CONTAINER*>(model->first_child());
        model->frame_count = frame_count;
        model->current_frame = current;
    }
    template <class T>
    T* add(CONTAINER* into = nullptr) {
        auto o = rtc_make<T>();
        T* raw = o.get();
        if (container_insert(into ? into : layer, raw) != 0) return nullptr;
        o.release();
        return raw;
    }
};

// Appends a new track to the object's list and returns it.
inline KeyframeTrack* add_track(object* o, const char* name = nullptr) {
    KeyframeTrack* t = track_new(name, o);
    KeyframeTrack** end = &o->tracks;
    while (*end) end = &(*end)->next_track;
    *end = t;
    return t;
}
