// Applying the drawing's current frame to objects, cameras and lights: when
// obj_apply_frame has nothing to do, fixed-point tracks, the "target" tracks of a
// camera and a spot light, the camera's roll and lens channels, and the light's cone
// and colour channels.
#include <gtest/gtest.h>

#include <cmath>

#include "model/math/scalar.h"
#include "model/math/vec.h"
#include "tests/model/track_support.h"

namespace {

Vec3d vd(const Vec3& v) { return {v.x, v.y, v.z}; }

TEST_F(TrackTest, ApplyFrameNothingToDo) {
    struct Case {
        const char* what;
        int frame_count;
        int current;
        int want;
    };
    const Case ranges[] = {
        {"in range", 10, 5, 1},         {"first frame", 10, 0, 1},
        {"last frame", 10, 9, 1},       {"no frames", 0, 0, 0},
        {"negative count", -4, 0, 0},   {"no current frame", 10, -1, 0},
        {"frame past the end", 10, 10, 0},
    };
    for (const Case& c : ranges) {
        Scene s(c.frame_count, c.current);
        auto* m = s.add<MESH3>();
        KeyframeTrack* t = add_track(m);
        t->position.keys = {pkey(0, 1)};
        EXPECT_EQ(obj_apply_frame(m), c.want) << c.what;
        EXPECT_EQ(t->cached_frame, c.want ? c.current : -1) << c.what;
    }

    Scene s(10, 5);
    auto* bare = s.add<MESH3>();
    EXPECT_EQ(obj_apply_frame(bare), 0) << "no track";
    EXPECT_EQ(obj_apply_frame(nullptr), 0);

    auto loose = rtc_make<MESH3>();
    add_track(loose.get())->position.keys = {pkey(0, 1)};
    EXPECT_EQ(obj_apply_frame(loose.get()), 0) << "no model";
    EXPECT_EQ(loose->tracks->cached_frame, -1);

    auto* cam = s.add<CAMERA>();
    KeyframeTrack* ct = add_track(cam);
    ct->position.keys = {pkey(0, 1)};
    EXPECT_EQ(obj_apply_frame(cam), 0) << "camera with a single track";
    EXPECT_EQ(ct->cached_frame, -1);
    add_track(cam, "target");
    EXPECT_EQ(obj_apply_frame(cam), 1);
    EXPECT_EQ(ct->cached_frame, 5);

    auto* spot = s.add<SPOTLITE>();
    add_track(spot)->position.keys = {pkey(0, 1)};
    EXPECT_EQ(obj_apply_frame(spot), 0) << "spot light with a single track";

    auto* light = s.add<LIGHT>();
    add_track(light)->position.keys = {pkey(0, 1)};
    EXPECT_EQ(obj_apply_frame(light), 1) << "an omni light needs no target track";
}

TEST_F(TrackTest, CameraTracksWithoutKeysAreItsPositionAndTarget) {
    Scene s(10, 3);
    auto* cam = s.add<CAMERA>();
    vec3_set(&cam->position, 1, 2, 3);
    vec3_set(&cam->target, 4, 5, 6);
    KeyframeTrack* own = add_track(cam);
    KeyframeTrack* tgt = add_track(cam, "target");
    ASSERT_EQ(obj_apply_frame(cam), 1);
    expect_near3(through(own, {0, 0, 0}), {1, 2, 3});
    expect_near3(through(tgt, {0, 0, 0}), {4, 5, 6});
    EXPECT_EQ(own->cached_frame, -1) << "fixed points are not cached";
    // Moving the camera moves its fixed points at the next evaluation.
    vec3_set(&cam->position, 7, 7, 7);
    ASSERT_EQ(obj_apply_frame(cam), 1);
    expect_near3(through(own, {0, 0, 0}), {7, 7, 7});
}

TEST_F(TrackTest, CameraTargetTrackMovesTheTarget) {
    Scene s(20, 5);
    auto* cam = s.add<CAMERA>();
    vec3_set(&cam->position, 0, -10, 0);
    vec3_set(&cam->target, 0, 0, 0);
    cam->roll = 0.3;
    cam->lens = 1.25;
    add_track(cam);
    add_track(cam, "target")->position.keys = {pkey(0, 0, 0, 0), pkey(10, 10, 0, 0)};
    ASSERT_EQ(obj_apply_frame(cam), 1);

    auto dst = rtc_make<CAMERA>();
    camera_apply_frame(dst.get(), cam, 5);
    expect_near3(vd(dst->target), {5, 0, 0});
    expect_near3(vd(dst->position), {0, -10, 0});
    EXPECT_EQ(dst->lens, 1.25) << "no keyed lens: the stored lens";
    // The up vector is rebuilt for the new line of sight with the stored roll.
    Vec3d d = {5, 10, 0}, up = vd(dst->up), side = vd(dst->side), cross;
    vec3_normalize_d(&d, &d);
    EXPECT_NEAR(vec3_len_d(&up), 1, 1e-6);
    EXPECT_NEAR(vec3_dot_d(&up, &d), 0, 1e-6);
    EXPECT_NEAR(camera_roll(dst.get()), 0.3, 1e-6);
    vec3_cross_d(&cross, &d, &up);
    expect_near3(side, cross, 1e-6, "side = line of sight x up");

    // A negative flag copies without moving.
    camera_apply_frame(dst.get(), cam, -1);
    expect_near3(vd(dst->target), {0, 0, 0});
    expect_near3(vd(dst->position), {0, -10, 0});
}

TEST_F(TrackTest, CameraRollConvention) {
    struct Case {
        Vec3d position, target;
        double roll;
        Vec3d up;  // worked out by turning the reference up about the line of sight
    };
    const double c = std::cos(0.3), sn = std::sin(0.3);
    const Case cases[] = {
        // Looking along +Y: the reference up is +Z; a right-handed turn about +Y
        // takes +Z towards +X.
        {{0, 0, 0}, {0, 10, 0}, 0.0, {0, 0, 1}},
        {{0, 0, 0}, {0, 10, 0}, 0.3, {sn, 0, c}},
        {{0, 0, 0}, {0, 10, 0}, -kPi / 2, {-1, 0, 0}},
        // Looking straight down -Z: the reference up is +Y.
        {{0, 0, 10}, {0, 0, 0}, 0.0, {0, 1, 0}},
        // A tilted line of sight: +Z made perpendicular to (1, 0, 1).
        {{0, 0, 0}, {1, 0, 1}, 0.0, {-std::sqrt(0.5), 0, std::sqrt(0.5)}},
    };
    for (const Case& k : cases) {
        auto cam = rtc_make<CAMERA>();
        vec3_set(&cam->position, k.position.x, k.position.y, k.position.z);
        vec3_set(&cam->target, k.target.x, k.target.y, k.target.z);
        cam->roll = k.roll;
        camera_apply_frame(cam.get(), cam.get(), -1);
        expect_near3(vd(cam->up), k.up, 1e-6);
        EXPECT_NEAR(camera_roll(cam.get()), k.roll, 1e-6);
    }
    auto same = rtc_make<CAMERA>();  // position on the target: no line of sight
    vec3_set(&same->up, 0, 0, 1);
    EXPECT_EQ(camera_roll(same.get()), 0.0);
    camera_apply_frame(same.get(), same.get(), -1);
    expect_near3(vd(same->up), {0, 0, 1}, 0);
}

TEST_F(TrackTest, CameraKeyedRollAndFieldOfView) {
    Scene s(20, 5);
    auto* cam = s.add<CAMERA>();
    vec3_set(&cam->position, 0, 0, 0);
    vec3_set(&cam->target, 0, 10, 0);
    cam->roll = 0.1;
    cam->fov = 40;
    cam->lens = 3;
    add_track(cam);
    add_track(cam, "target");
    cam->keys = new CameraKeys;
    cam->keys->channel[0] = {ckey(0, 0), ckey(10, 1)};  // roll, radians
    cam->keys->channel[1] = {ckey(0, 90)};              // field of view, degrees
    ASSERT_EQ(obj_apply_frame(cam), 1);
    EXPECT_NEAR(cam->keys->current[0], 0.5, 1e-6);
    EXPECT_NEAR(cam->keys->current[1], 90, 1e-6);
    auto dst = rtc_make<CAMERA>();
    camera_apply_frame(dst.get(), cam, 5);
    EXPECT_NEAR(camera_roll(dst.get()), 0.5, 1e-6);
    EXPECT_NEAR(dst->lens, 0.5, 1e-9) << "0.5 / tan(45 degrees)";

    // Channels without keys take the stored values; the lens stays.
    cam->keys->channel[0].clear();
    cam->keys->channel[1].clear();
    ASSERT_EQ(obj_apply_frame(cam), 1);
    EXPECT_NEAR(cam->keys->current[0], 0.1, 1e-6);
    EXPECT_NEAR(cam->keys->current[1], 40, 1e-6);
    camera_apply_frame(dst.get(), cam, 5);
    EXPECT_NEAR(camera_roll(dst.get()), 0.1, 1e-6);
    EXPECT_EQ(dst->lens, 3.0);

    // A field of view of 0 degrees gives no finite lens: the lens is kept.
    cam->keys->channel[1] = {ckey(0, 0)};
    ASSERT_EQ(obj_apply_frame(cam), 1);
    camera_apply_frame(dst.get(), cam, 5);
    EXPECT_EQ(dst->lens, 3.0);
}

TEST_F(TrackTest, SpotLightTracksAndChannels) {
    Scene s(20, 5);
    auto* spot = s.add<SPOTLITE>();
    vec3_set(&spot->position, 1, 2, 3);
    vec3_set(&spot->target, 0, 0, 0);
    spot->cone_cos[0] = 0.9f;
    spot->cone_cos[1] = 0.8f;
    add_track(spot);
    add_track(spot, "target")->position.keys = {pkey(0, 0, 0, 0), pkey(10, 0, 0, 10)};
    spot->keys = new LightKeys;
    spot->keys->channel[0] = {ckey(0, 0.5f), ckey(10, 0.7f)};
    spot->keys->colour = {ColourKey{10, {0, 0, 0, 0, 0}, {1, 0.5f, 0.25f, 0}}};

    ASSERT_EQ(light_apply_frame(spot), 1);
    expect_near3(vd(spot->position), {1, 2, 3});
    expect_near3(vd(spot->target), {0, 0, 5});
    EXPECT_NEAR(spot->cone_cos[0], 0.6, 1e-6);  // midpoint of the two keys
    EXPECT_NEAR(spot->cone_cos[1], 0.8, 1e-6);  // no keys: the stored value
    // The colour runs linearly from the stored colour at frame 0 to the first key.
    EXPECT_NEAR(spot->light_colour[0], 0.5, 1e-6);
    EXPECT_NEAR(spot->light_colour[1], 0.25, 1e-6);
    EXPECT_NEAR(spot->light_colour[2], 0.125, 1e-6);
    EXPECT_NEAR(spot->light_colour[3], 0, 1e-6);
}

TEST_F(TrackTest, OmniLightMovesByItsTrack) {
    Scene s(20, 15);
    auto* light = s.add<LIGHT>();
    vec3_set(&light->position, 9, 9, 9);
    light->light_colour[0] = 0.2f;
    add_track(light)->position.keys = {pkey(10, 4, 5, 6)};
    light->keys = new LightKeys;
    ASSERT_EQ(light_apply_frame(light), 1);
    expect_near3(vd(light->position), {4, 5, 6});
    EXPECT_NEAR(light->light_colour[0], 0.2, 1e-6) << "no colour keys: unchanged";

    s.model->current_frame = 25;  // out of range: nothing changes
    vec3_set(&light->position, 1, 1, 1);
    EXPECT_EQ(light_apply_frame(light), 0);
    expect_near3(vd(light->position), {1, 1, 1});
}

}  // namespace
