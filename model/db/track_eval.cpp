// Evaluation of keyframe tracks at a frame, and of the keyed channels of cameras and
// lights. Positions and single-value channels follow Kochanek and Bartels,
// "Interpolating splines with local tension, continuity, and bias control" (SIGGRAPH
// 1984): a Hermite segment with tangents from each key's tension and shape values,
// plus an ease term on the segment parameter. Rotations blend the accumulated
// rotations of the keys with two small corrections towards the neighbouring keys;
// scale factors and colours are linear.
#include "model/db/track_eval.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/zobj.h"
#include "model/math/matrix.h"
#include "model/math/scalar.h"
#include "model/math/vec.h"

namespace {

// Chains of parents deeper than this are cut (the farthest track counts as a root).
constexpr int kMaxChain = 1024;

// Source of the tracks' result stamps: a new value whenever an evaluated transform
// changes, so that a child can tell whether its parent is still the one it was built on.
std::atomic<uint64_t> g_eval_stamp{0};

template <class K>
KeyHead head_of(const K& k) {
    KeyHead h;
    h.frame = k.frame;
    std::memcpy(h.params, k.params, sizeof h.params);
    return h;
}

bool named_target(const KeyframeTrack* t) {
    return t->name && std::strcmp(t->name, "target") == 0;
}

bool has_keys(const KeyframeTrack* t) {
    return !t->position.keys.empty() || !t->rotation.keys.empty() || !t->scale.keys.empty() ||
           !t->objects.keys.empty();
}

// The repeat flag: the frame is taken modulo the last key's frame. A last key at
// frame 0 or before gives no period, and the frame is left as it is.
template <class K>
int32_t wrap_frame(const std::vector<K>& keys, int32_t flags, int32_t frame) {
    if (!(flags & kKeyRepeat) || keys.empty()) return frame;
    const int64_t period = keys.back().frame;
    if (period <= 0) return frame;
    int64_t r = static_cast<int64_t>(frame) % period;
    if (r < 0) r += period;
    return static_cast<int32_t>(r);
}

enum class SegKind { kAt, kBefore, kBetween };

// Where a frame falls in a key list (not empty). kAt: at key i's own frame (the last
// of the keys sharing it) or past the last key (i = last); kBefore: before the first
// key (i = 0); kBetween: after key i-1 and before key i, `offset` frames after key
// i-1, `gap` frames between the two (always above 0: key i is the first key whose
// frame is at least the frame, so key i-1's frame lies below it).
struct Segment {
    SegKind kind;
    size_t i;
    double offset = 0;
    double gap = 0;
};

template <class K>
Segment find_segment(const std::vector<K>& keys, int32_t frame) {
    const size_t n = keys.size();
    size_t i = 0;
    while (i < n && keys[i].frame < frame) ++i;
    if (i == n) return {SegKind::kAt, n - 1};
    if (keys[i].frame == frame) {
        while (i + 1 < n && keys[i + 1].frame == frame) ++i;
        return {SegKind::kAt, i};
    }
    if (i == 0) return {SegKind::kBefore, 0};
    const int64_t f0 = keys[i - 1].frame;
    return {SegKind::kBetween, i, static_cast<double>(frame - f0),
            static_cast<double>(keys[i].frame - f0)};
}

// Positions and single-value channels: a key's value at its frame, before the first
// key and past the last; a Kochanek-Bartels segment between keys.
template <class K, class ValueOf>
void spline_keys(const std::vector<K>& keys, int32_t flags, int32_t frame, int n,
                 ValueOf value_of, double* out) {
    const Segment s = find_segment(keys, wrap_frame(keys, flags, frame));
    if (s.kind != SegKind::kBetween) {
        const float* v = value_of(keys[s.i]);
        for (int c = 0; c < n; ++c) out[c] = v[c];
        return;
    }
    const size_t k0 = s.i - 1, k1 = s.i;
    const KeyHead h0 = head_of(keys[k0]), h1 = head_of(keys[k1]);
    KeyHead hb{}, ha{};
    const KeyHead* before = nullptr;
    const KeyHead* after = nullptr;
    const float* vb = nullptr;
    const float* va = nullptr;
    if (k0 >= 1) {
        hb = head_of(keys[k0 - 1]);
        before = &hb;
        vb = value_of(keys[k0 - 1]);
    }
    if (k1 + 1 < keys.size()) {
        ha = head_of(keys[k1 + 1]);
        after = &ha;
        va = value_of(keys[k1 + 1]);
    }
    key_spline_segment(before, &h0, &h1, after, vb, value_of(keys[k0]), value_of(keys[k1]), va,
                       n, s.offset, out);
}

// Scale factors and colours: linear from `start` at frame 0 to the first key, then
// key to key, and the last key's value from it on.
template <class K, class ValueOf>
void linear_keys(const std::vector<K>& keys, int32_t flags, int32_t frame, int n,
                 ValueOf value_of, const double* start, double* out) {
    const int32_t f = wrap_frame(keys, flags, frame);
    const Segment s = find_segment(keys, f);
    const float* v = value_of(keys[s.i]);
    if (s.kind == SegKind::kAt) {
        for (int c = 0; c < n; ++c) out[c] = v[c];
    } else if (s.kind == SegKind::kBefore) {
        const double first = keys[0].frame;
        const double t = first > 0 ? std::clamp(f / first, 0.0, 1.0) : 1.0;
        for (int c = 0; c < n; ++c) out[c] = start[c] + (v[c] - start[c]) * t;
    } else {
        const float* p = value_of(keys[s.i - 1]);
        const double t = s.offset / s.gap;
        for (int c = 0; c < n; ++c) out[c] = p[c] + (v[c] - p[c]) * t;
    }
}

const float* position_value(const PositionKey& k) { return k.value; }
const float* channel_value(const ChannelKey& k) { return &k.value; }
const float* colour_value(const ColourKey& k) { return k.value; }

Transform identity_xform() {
    Transform t;
    xform_translate(&t, 0, 0, 0);
    return t;
}

// A rotation about an axis through the origin, with its inverse (the negated angle).
void rotation_xform(Transform* t, const float axis[3], double angle) {
    mat_rotate_axis(&t->fwd, nullptr, axis[0], axis[1], axis[2], angle, nullptr);
    mat_rotate_axis(&t->inv, nullptr, axis[0], axis[1], axis[2], -angle, nullptr);
}

// A scale about the origin; a zero factor gives 0 in the inverse, never an infinity.
void scale_xform(Transform* t, const double s[3]) {
    xform_scale(t, s[0] != 0 ? s[0] : 1, s[1] != 0 ? s[1] : 1, s[2] != 0 ? s[2] : 1);
    for (int i = 0; i < 3; ++i) {
        if (s[i] == 0) t->fwd.m[4 * i] = t->inv.m[4 * i] = 0;
    }
}

// `t` made to act about the pivot: a translation by minus the pivot, t, and back.
void about_pivot(Transform* t, const float pivot[3]) {
    Transform to, back;
    xform_translate(&to, -pivot[0], -pivot[1], -pivot[2]);
    xform_translate(&back, pivot[0], pivot[1], pivot[2]);
    xform_compose(t, &to, t);
    xform_compose(t, t, &back);
}

void eval_objects(KeyframeTrack* t, int32_t frame) {
    const auto& keys = t->objects.keys;
    if (keys.empty()) {
        t->blend = 0.0;
        t->blend_a = t->blend_b = nullptr;
        return;
    }
    const int32_t f = wrap_frame(keys, t->objects.flags, frame);
    const Segment s = find_segment(keys, f);
    if (s.kind == SegKind::kBetween) {
        t->blend = 1.0 - s.offset / s.gap;
        t->blend_a = keys[s.i - 1].target;
        t->blend_b = keys[s.i].target;
    } else if (s.kind == SegKind::kBefore && keys[0].frame > 0) {
        t->blend = 1.0 - std::clamp(static_cast<double>(f) / keys[0].frame, 0.0, 1.0);
        t->blend_a = t->owner;
        t->blend_b = keys[0].target;
    } else {
        t->blend = 1.0;
        t->blend_a = t->blend_b = keys[s.i].target;
    }
}

void eval_scale(const KeyframeTrack* t, int32_t frame, double out[3]) {
    static const double kOne[3] = {1, 1, 1};
    if (t->scale.keys.empty()) {
        std::copy(kOne, kOne + 3, out);
        return;
    }
    linear_keys(t->scale.keys, t->scale.flags, frame, 3, position_value, kOne, out);
}

// The rotation at the frame about the origin (the caller moves it to the pivot).
void eval_rotation(const KeyframeTrack* t, int32_t frame, Transform* r) {
    const auto& keys = t->rotation.keys;
    if (keys.empty()) {
        *r = identity_xform();
        return;
    }
    const int32_t f = wrap_frame(keys, t->rotation.flags, frame);
    const Segment s = find_segment(keys, f);
    if (s.kind != SegKind::kBetween) {
        *r = keys[s.i].accumulated;
        return;
    }
    const size_t k = s.i, last = keys.size() - 1;
    const double f0 = keys[k - 1].frame, f1 = keys[k].frame;
    const double u = (2.0 * f - f1 - f0) / (f1 - f0);  // -1 .. 1 over the segment

    Transform m;
    rotation_xform(&m, keys[k].axis, keys[k].angle * (u * 0.5 + 0.5));
    xform_compose(r, &keys[k - 1].accumulated, &m);
    if (k - 1 != 0) {  // key k-1 is not the first key
        double u1 = u < 0 ? (u + 0.5) * 2 : 1;
        if (k == last) u1 = u;
        if (u1 != 1) {
            Transform a;
            rotation_xform(&a, keys[k - 1].axis, keys[k - 1].angle * (1 - u1 * u1) * 0.08);
            xform_compose(r, r, &a);
        }
    }
    if (k != last) {
        double u2 = u <= 0 ? -1 : (u - 0.5) * 2;
        if (k - 1 == 0) u2 = u;
        if (u2 != -1) {
            Transform b;
            rotation_xform(&b, keys[k + 1].axis, keys[k + 1].angle * (u2 * u2 - 1) * 0.08);
            xform_compose(r, r, &b);
        }
    }
}

// The track's own transform at the frame, without its parent.
void eval_own(KeyframeTrack* t, int32_t frame, Transform* out) {
    eval_objects(t, frame);
    Transform e = t->base;
    if (!t->scale.keys.empty()) {
        double s[3];
        eval_scale(t, frame, s);
        Transform sc;
        scale_xform(&sc, s);
        about_pivot(&sc, t->pivot);
        xform_compose(&e, &e, &sc);
    }
    if (!t->rotation.keys.empty()) {
        Transform r;
        eval_rotation(t, frame, &r);
        about_pivot(&r, t->pivot);
        xform_compose(&e, &e, &r);
    }
    double p[3] = {t->pivot[0], t->pivot[1], t->pivot[2]};  // no position keys: stay put
    if (!t->position.keys.empty()) {
        spline_keys(t->position.keys, t->position.flags, frame, 3, position_value, p);
    }
    Transform to, back;
    xform_translate(&to, p[0], p[1], p[2]);
    xform_translate(&back, -t->pivot[0], -t->pivot[1], -t->pivot[2]);
    xform_compose(&e, &e, &to);
    xform_compose(out, &e, &back);
}

// What a child inherits from its parent track: the parent's pivot, the inverse of its
// base and its evaluated transform; with lock bits in the child's flags, that
// transform rebuilt from its row lengths (scale factors) and its angles about x, y
// and z, the locked ones replaced by 1 and 0, keeping its translation.
void inherited(const KeyframeTrack* child, const KeyframeTrack* p, Transform* q) {
    Transform to_pivot;
    xform_translate(&to_pivot, p->pivot[0], p->pivot[1], p->pivot[2]);
    const Transform base_inv = {p->base.inv, p->base.fwd};
    xform_compose(q, &to_pivot, &base_inv);
    xform_compose(q, q, &p->evaluated);

    const int32_t rot_locks = child->rotation.flags & kKeyLockMask;
    const int32_t scale_locks = child->scale.flags & kKeyLockMask;
    if (!rot_locks && !scale_locks) return;
    static const int32_t kBit[3] = {kKeyLockX, kKeyLockY, kKeyLockZ};
    double s[3], angle[3];
    for (int i = 0; i < 3; ++i) {
        const Vec3d row = {q->fwd.m[3 * i], q->fwd.m[3 * i + 1], q->fwd.m[3 * i + 2]};
        s[i] = vec3_len_d(&row);
    }
    mat_to_xyz_angles(&q->fwd, &angle[0], &angle[1], &angle[2]);
    for (int i = 0; i < 3; ++i) {
        if (scale_locks & kBit[i]) s[i] = 1;
        if (rot_locks & kBit[i]) angle[i] = 0;
    }
    Transform sc, rot, move;
    scale_xform(&sc, s);
    xform_rotate_xyz(&rot, angle[0], angle[1], angle[2]);
    xform_translate(&move, q->fwd.m[9], q->fwd.m[10], q->fwd.m[11]);
    xform_compose(q, &sc, &rot);
    xform_compose(q, q, &move);
}

// A translation to the fixed point of a track without keys.
void fixed_point(const KeyframeTrack* t, Transform* out) {
    const Vec3* p = nullptr;
    if (auto* cam = rtc_cast<CAMERA>(t->owner)) {
        p = named_target(t) ? &cam->target : &cam->position;
    } else if (auto* light = rtc_cast<LIGHT>(t->owner)) {
        auto* spot = rtc_cast<SPOTLITE>(light);
        p = (spot && named_target(t)) ? &spot->target : &light->position;
    }
    if (p) {
        xform_translate(out, p->x, p->y, p->z);
    } else {
        *out = identity_xform();
    }
}

// Stores a result; a new stamp when it differs from the one before.
void store_result(KeyframeTrack* t, const Transform& result) {
    if (std::memcmp(&t->evaluated, &result, sizeof result) != 0 || t->eval_stamp == 0) {
        t->evaluated = result;
        t->eval_stamp = g_eval_stamp.fetch_add(1, std::memory_order_relaxed) + 1;
    }
}

// Evaluates one track whose parent (when `parent` is set) is already evaluated.
void eval_one(KeyframeTrack* t, const KeyframeTrack* parent, int32_t frame) {
    Transform result;
    if (!has_keys(t)) {
        fixed_point(t, &result);
        store_result(t, result);
        return;
    }
    const uint64_t parent_stamp = parent ? parent->eval_stamp : 0;
    if (t->cached_frame == frame && t->parent_stamp == parent_stamp) return;
    eval_own(t, frame, &result);
    if (parent) {
        Transform q;
        inherited(t, parent, &q);
        xform_compose(&result, &result, &q);
    }
    store_result(t, result);
    t->parent_stamp = parent_stamp;
    t->cached_frame = frame;
}

// Whether the chain of parents from `t` runs in a circle (Floyd's two pointers).
bool circular_chain(const KeyframeTrack* t) {
    const KeyframeTrack* slow = t;
    const KeyframeTrack* fast = t;
    while (fast && fast->parent) {
        fast = fast->parent->parent;
        slow = slow->parent;
        if (fast && fast == slow) return true;
    }
    return false;
}

}  // namespace

void key_spline_segment(const KeyHead* before, const KeyHead* k0, const KeyHead* k1,
                        const KeyHead* after, const float* v_before, const float* v0,
                        const float* v1, const float* v_after, int n, double offset,
                        double* out) {
    if (!k0 || !k1 || !v0 || !v1 || !out) return;
    const double gap = static_cast<double>(static_cast<int64_t>(k1->frame) - k0->frame);
    if (!(gap > 0)) {  // keys sharing a frame: the later key's value
        for (int c = 0; c < n; ++c) out[c] = v1[c];
        return;
    }
    if (!v_before) before = nullptr;
    if (!v_after) after = nullptr;

    // Tangent weights: outgoing at k0 with k0's parameters, incoming at k1 with k1's.
    const double t0 = k0->params[kKeyTension], a0 = k0->params[kKeyShapeA],
                 b0 = k0->params[kKeyShapeB];
    const double t1 = k1->params[kKeyTension], a1 = k1->params[kKeyShapeA],
                 b1 = k1->params[kKeyShapeB];
    const double out_next = (1 - a0) * (1 + b0) * (1 - t0) / 2;
    const double out_prev = (1 + a0) * (1 - b0) * (1 - t0) / 2;
    const double in_this = (1 - b1) * (1 - a1) * (1 - t1) / 2;
    const double in_next = (1 + b1) * (1 + a1) * (1 - t1) / 2;

    // Eased segment parameter.
    const double u = offset / gap;
    const double ease_a = k0->params[kKeyEase0], ease_b = k1->params[kKeyEase1];
    const double s = u * (1 - 2 * (ease_a * (u - 1) * (u - 1) + ease_b * u * (u - 1)));
    const double s2 = s * s, s3 = s2 * s;
    const double h00 = 2 * s3 - 3 * s2 + 1, h01 = 3 * s2 - 2 * s3;
    const double h10 = s3 - 2 * s2 + s, h11 = s3 - s2;

    for (int c = 0; c < n; ++c) {
        const double d = static_cast<double>(v1[c]) - v0[c];
        double tan_out = out_next * d;
        if (before) tan_out += out_prev * (static_cast<double>(v0[c]) - v_before[c]);
        double tan_in = in_this * d;
        if (after) tan_in += in_next * (static_cast<double>(v_after[c]) - v1[c]);
        out[c] = v0[c] * h00 + v1[c] * h01 + tan_out * h10 + tan_in * h11;
    }
}

void track_eval(KeyframeTrack* track, int32_t frame) {
    if (!track) return;
    // The track and its ancestors, nearest first. A circular chain stops at the first
    // repeat; a deep one at kMaxChain. The farthest track gathered is taken as a root.
    KeyframeTrack* chain[kMaxChain];
    int n = 0;
    const bool circular = circular_chain(track);
    for (KeyframeTrack* t = track; t && n < kMaxChain; t = t->parent) {
        if (circular && std::find(chain, chain + n, t) != chain + n) break;
        chain[n++] = t;
    }
    for (int i = n - 1; i >= 0; --i) {
        eval_one(chain[i], i + 1 < n ? chain[i + 1] : nullptr, frame);
    }
}

void track_accumulate_rotations(KeyframeTrack* track) {
    if (!track) return;
    Transform acc = identity_xform();
    for (RotationKey& k : track->rotation.keys) {
        Transform r;
        rotation_xform(&r, k.axis, k.angle);
        xform_compose(&acc, &acc, &r);
        k.accumulated = acc;
    }
    track_invalidate(track);
}

void camera_eval_channels(CAMERA* cam, int32_t frame) {
    if (!cam || !cam->keys) return;
    const double defaults[2] = {cam->roll, cam->fov};
    for (int ch = 0; ch < 2; ++ch) {
        const auto& keys = cam->keys->channel[ch];
        double v = defaults[ch];
        if (!keys.empty()) spline_keys(keys, cam->keys->flags[ch], frame, 1, channel_value, &v);
        cam->keys->current[ch] = static_cast<float>(v);
    }
}

void light_eval_channels(LIGHT* light, int32_t frame) {
    if (!light || !light->keys) return;
    LightKeys* k = light->keys;
    auto* spot = rtc_cast<SPOTLITE>(light);
    for (int ch = 0; ch < 2; ++ch) {
        if (!k->channel[ch].empty()) {
            double v = 0;
            spline_keys(k->channel[ch], k->flags[ch], frame, 1, channel_value, &v);
            k->current[ch] = static_cast<float>(v);
        } else if (spot) {
            k->current[ch] = spot->cone_cos[ch];
        }
    }
    const double stored[4] = {light->light_colour[0], light->light_colour[1],
                              light->light_colour[2], light->light_colour[3]};
    double c[4] = {stored[0], stored[1], stored[2], stored[3]};
    if (!k->colour.empty()) linear_keys(k->colour, k->flags[2], frame, 4, colour_value, stored, c);
    for (int i = 0; i < 4; ++i) k->current_colour[i] = static_cast<float>(c[i]);
}

int obj_apply_frame(object* obj) {
    if (!obj || !obj->tracks) return 0;
    MODEL* model = obj_model(obj);
    if (!model || model->frame_count < 1) return 0;
    const int32_t frame = model->current_frame;
    if (frame < 0 || frame >= model->frame_count) return 0;
    if ((rtc_is<CAMERA>(obj) || rtc_is<SPOTLITE>(obj)) && !obj->tracks->next_track) return 0;
    for (KeyframeTrack* t = obj->tracks; t; t = t->next_track) track_eval(t, frame);
    if (auto* cam = rtc_cast<CAMERA>(obj)) {
        camera_eval_channels(cam, frame);
    } else if (auto* light = rtc_cast<LIGHT>(obj)) {
        light_eval_channels(light, frame);
    }
    return 1;
}

namespace {

// The up direction of zero roll for a unit line of sight: world +Z made perpendicular
// to it, or +Y when the line of sight runs along Z.
Vec3d reference_up(const Vec3d& d) {
    for (const Vec3d& axis : {kAxes3d[kAxisPosZ], kAxes3d[kAxisPosY]}) {
        Vec3d along, u;
        vec3_scale_d(&along, &d, vec3_dot_d(&axis, &d));
        vec3_sub_d(&u, &axis, &along);
        if (vec3_normalize_d(&u, &u) > 1e-6) return u;
    }
    return kAxes3d[kAxisPosX];
}

// Unit line of sight of a camera; false when position and target coincide.
bool line_of_sight(const CAMERA* cam, Vec3d* d) {
    Vec3d p, t;
    vec3_to_d(&p, &cam->position);
    vec3_to_d(&t, &cam->target);
    vec3_sub_d(d, &t, &p);
    return vec3_normalize_d(d, d) > 0;
}

Vec3 origin_through(const Transform& t) {
    Vec3 p;
    xform_point(&p, &kAxes3[kAxisZero], &t, 0);
    return p;
}

}  // namespace

double camera_roll(const CAMERA* cam) {
    if (!cam) return 0;
    Vec3d d, up, along, w, cross;
    if (!line_of_sight(cam, &d)) return 0;
    const Vec3d u0 = reference_up(d);
    vec3_to_d(&up, &cam->up);
    vec3_scale_d(&along, &d, vec3_dot_d(&up, &d));
    vec3_sub_d(&w, &up, &along);
    if (!(vec3_len_d(&w) > 1e-12)) return 0;
    vec3_cross_d(&cross, &u0, &w);
    return std::atan2(vec3_dot_d(&d, &cross), vec3_dot_d(&u0, &w));
}

void camera_apply_frame(CAMERA* dst, const CAMERA* src, int frame_flag) {
    if (!dst || !src) return;
    if (dst != src) {
        dst->position = src->position;
        dst->target = src->target;
        dst->up = src->up;
        dst->side = src->side;
        dst->lens = src->lens;
        std::copy(src->words, src->words + 3, dst->words);
        dst->roll = src->roll;
        dst->fov = src->fov;
    }
    if (frame_flag >= 0) {
        for (const KeyframeTrack* t = src->tracks; t; t = t->next_track) {
            if (named_target(t)) {
                dst->target = origin_through(t->evaluated);
            } else {
                dst->position = origin_through(t->evaluated);
            }
        }
    }
    const CameraKeys* keys = src->keys;
    const double roll = (keys && !keys->channel[0].empty()) ? keys->current[0] : src->roll;
    Vec3d d;
    if (line_of_sight(dst, &d)) {
        const Vec3d u0 = reference_up(d);
        Matrix43 turn;
        mat_rotate_axis(&turn, nullptr, d.x, d.y, d.z, roll, nullptr);
        Vec3d up, side;
        mat_xform_point_d(&up, &u0, &turn);
        vec3_cross_d(&side, &d, &up);
        vec3_normalize_d(&side, &side);
        vec3_from_d(&dst->up, &up);
        vec3_from_d(&dst->side, &side);
    }
    if (keys && !keys->channel[1].empty()) {
        const double lens = 0.5 / std::tan(deg_to_rad(keys->current[1]) / 2);
        if (std::isfinite(lens) && lens > 0) dst->lens = lens;
    }
}

int light_apply_frame(LIGHT* light) {
    if (obj_apply_frame(light) == 0) return 0;
    auto* spot = rtc_cast<SPOTLITE>(light);
    for (const KeyframeTrack* t = light->tracks; t; t = t->next_track) {
        if (spot && named_target(t)) {
            spot->target = origin_through(t->evaluated);
        } else {
            light->position = origin_through(t->evaluated);
        }
    }
    if (const LightKeys* k = light->keys) {
        if (spot) {
            spot->cone_cos[0] = k->current[0];
            spot->cone_cos[1] = k->current[1];
        }
        std::copy(k->current_colour, k->current_colour + 4, light->light_colour);
    }
    return 1;
}
