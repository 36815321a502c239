// Evaluating keyframe tracks at a frame: the transform of each track (keys, pivot,
// base transform, parent hierarchy with per-axis locks), the object-key blend state,
// the keyed lens channels of a CAMERA and the keyed channels of a LIGHT, and applying
// the result to a camera or a light. Used by the renderers and the preview.
//
// Units: frames are integers; angles are radians except the camera's field-of-view
// channel, which is in degrees as stored; the camera lens is 0.5 / tan(half the field
// of view), as stored in CAMERA::lens; spot cone values are the cosines stored in
// SPOTLITE::cone_cos. Transforms follow the row-vector convention of matrix.h ("a
// then b": a point goes through a first).
//
// Threads: evaluation writes into the tracks (evaluated transform, cache, blend state)
// and into the keyed records' current values. Evaluate a drawing from one thread at a
// time; a render worker evaluates its own copy.
#pragma once

#include <cstdint>

#include "model/db/track.h"

class CAMERA;
class LIGHT;

// The head every key kind begins with: its frame and its five parameters (tension,
// two shape parameters, two ease values; see KeyParam).
struct KeyHead {
    int32_t frame;
    float params[5];
};

// Kochanek-Bartels interpolation of n components over the segment from key k0 (values
// v0) to key k1 (values v1): tangents from the keys' tension and shape parameters, a
// Hermite segment, and ease (k0's first ease value, k1's second) on the parameter.
// `before`/`v_before` and `after`/`v_after` are the neighbouring keys and values, null
// when the segment is at the start or end of the list. `offset` is the frame minus
// k0's frame. When k1's frame is not after k0's (keys sharing a frame), the result is
// v1, the later key's value. `out` receives n doubles.
void key_spline_segment(const KeyHead* before, const KeyHead* k0, const KeyHead* k1,
                        const KeyHead* after, const float* v_before, const float* v0,
                        const float* v1, const float* v_after, int n, double offset,
                        double* out);

// Evaluates one track at `frame` into its evaluated transform; nothing when the track
// is cached at that frame and its parent's result is the one it was built on.
// - A track without any key: a translation to a fixed point, never cached: a CAMERA's
//   target (track named "target") or position, a SPOTLITE's target ("target") or a
//   LIGHT's position, the identity for any other owner. Its parent is not applied.
// - Otherwise: base, then the scale about the pivot, then the rotation about the
//   pivot, then a translation to the position, then a translation by minus the pivot.
//   A track without position keys stays where it is (position = pivot); without
//   rotation keys it does not turn; without scale keys the factors are 1.
// - With a parent: the parent is evaluated first; then the parent's pivot, the inverse
//   of its base and its evaluated transform follow, or, with lock bits in the track's
//   rotation or scale flags, that transform rebuilt without the locked scale factors
//   and rotation angles (angles as read by mat_to_xyz_angles: 128 locks the angle about
//   x, 512 about y, 256 about z). A chain of parents that runs in a circle (links
//   edited by hand) or is deeper than 1024 is cut: the farthest track evaluated is
//   taken as a root.
void track_eval(KeyframeTrack* track, int32_t frame);

// Recomputes the accumulated rotation of every rotation key (key 0's own rotation,
// then each following key's rotation applied after the one before) and resets the
// cache. For the keyframing commands and readers after editing rotation keys.
void track_accumulate_rotations(KeyframeTrack* track);

// Evaluates all tracks of the object at its MODEL's current frame, then a CAMERA's
// lens channels or a LIGHT's channels. 1 when evaluated; 0 when there was nothing to
// do: no track, no MODEL above the object, frame count below 1, current frame
// negative or not below the frame count, or a CAMERA or SPOTLITE with a single track
// (they need their own track and the "target" track).
int obj_apply_frame(object* obj);

// Sets a camera's current channel values at `frame`: a channel with keys is
// interpolated as a position is (one component); without keys it takes the stored
// default (CAMERA::roll for channel 0, in radians; CAMERA::fov for channel 1, in
// degrees). Nothing when the camera has no keyed lens record.
void camera_eval_channels(CAMERA* cam, int32_t frame);
// Sets a light's current channel values at `frame`. The two single-value channels
// are interpolated as positions; without keys they take a SPOTLITE's stored cone
// cosines (a plain LIGHT keeps the current values). The colour channel is linear, from
// the stored colour at frame 0 to the first key, then key to key; without keys it is
// the stored colour. Nothing when the light has no keyed record.
void light_eval_channels(LIGHT* light, int32_t frame);

// Copies the source camera's position, target, up and side vectors, lens, words and
// stored roll and field of view into `dst` (dst may be src). When `frame_flag` is not
// negative, the target moves to the origin through the evaluated transform of the
// source's "target" track and the position likewise through any other track: call
// obj_apply_frame on the source first. Then the up vector is rebuilt from the line of
// sight and the roll (the current value of channel 0 when it has keys, else the stored
// roll), the side vector becomes unit(line of sight x up), and, when channel 1 has
// keys, the lens becomes 0.5 / tan(v / 2) with v its current value in degrees (kept
// when v gives no finite positive lens). Up and side stay as copied when position and
// target coincide.
void camera_apply_frame(CAMERA* dst, const CAMERA* src, int frame_flag);

// obj_apply_frame of the light; when it evaluated (result 1), the position moves to
// the origin through the light's tracks (a SPOTLITE's "target" track moves its target
// instead), a SPOTLITE takes its cone cosines from the keyed record's two single-value
// channels, and the colour becomes the colour channel's value. Returns the result of
// obj_apply_frame. The light is changed in place and its stored colour is the start
// of the colour channel: apply frames to a copy (as the renderers do), not to the
// drawing's own light.
int light_apply_frame(LIGHT* light);

// The roll of a camera about its line of sight, in radians, -pi..pi: the right-handed
// angle about (target - position) from the reference up direction (world +Z made
// perpendicular to the line of sight; +Y when looking straight along Z) to the up
// vector. 0 when position and target coincide or the up vector lies along the line
// of sight. camera_apply_frame with this roll rebuilds the same up vector.
double camera_roll(const CAMERA* cam);
