// Sweeping a profile along a path (declared in sweep.h). Frames are rotations carried
// from segment to segment (parallel transport); mitred joints come from projecting
// each joint's row along the incoming segment onto the bisecting plane, where the
// prisms of the incoming and outgoing segments meet.
#include "model/mesh/sweep.h"

#include <cmath>
#include <new>
#include <utility>

#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/math/vec.h"
#include "model/mesh/mesh_block.h"

namespace {

// Below this, 1 + cos of a joint's turn is taken as a reversal: no mitre.
constexpr double kMitreLimit = 1e-3;

Vec3d sub(const Vec3d& a, const Vec3d& b) {
    Vec3d d;
    return *vec3_sub_d(&d, &a, &b);
}

Vec3d add_scaled(const Vec3d& a, const Vec3d& b, double t) {
    return {a.x + b.x * t, a.y + b.y * t, a.z + b.z * t};
}

// The rotation (about the origin) that turns unit direction u into unit direction v.
// Opposite directions give a half turn about an axis perpendicular to u.
void turn_between(Matrix43* m, const Vec3d& u, const Vec3d& v) {
    Vec3d axis;
    vec3_cross_d(&axis, &u, &v);
    const double sn = vec3_len_d(&axis);
    const double cs = vec3_dot_d(&u, &v);
    if (sn < 1e-12) {
        if (cs > 0) {
            mat_identity(m);
            return;
        }
        const Vec3 zero = {0, 0, 0};
        const Vec3 dir = {static_cast<float>(u.x), static_cast<float>(u.y), static_cast<float>(u.z)};
        Vec3 perp, other;
        frame_from_direction(&zero, &dir, &perp, &other);
        mat_rotate_axis(m, nullptr, perp.x, perp.y, perp.z, std::atan2(0.0, cs), nullptr);
        return;
    }
    mat_rotate_axis(m, nullptr, axis.x, axis.y, axis.z, std::atan2(sn, cs), nullptr);
}

}  // namespace

int mesh_sweep(MESH3* mesh, const VertexChain* profile, const Vec3* base, const Vec3* direction,
               const VertexChain* path) {
    if (!mesh || !profile || !base || !direction || !path) return kBadArgument;
    if (!vec3_finite(*base) || !vec3_finite(*direction)) return kBadArgument;
    std::vector<Vec3d> shape, track, points;
    try {
        shape = chain_points(profile);
        const std::vector<Vec3d> raw = chain_points(path);
        for (const Vec3d& p : raw) {
            if (!vec3_finite_d(p)) return kBadArgument;
            if (!track.empty()) {
                const Vec3d step = sub(p, track.back());
                if (vec3_len_d(&step) < 1e-6) continue;
            }
            track.push_back(p);
        }
        for (const Vec3d& p : shape) {
            if (!vec3_finite_d(p)) return kBadArgument;
        }
        bool closed_path = plist_is_closed(path);
        if (closed_path && track.size() > 1) {
            const Vec3d gap = sub(track.back(), track.front());
            if (vec3_len_d(&gap) < 1e-6) track.pop_back();
        }
        const auto n = static_cast<int64_t>(track.size());
        if (n < 3) closed_path = false;
        const auto width = static_cast<int64_t>(shape.size());
        if (!mesh_grid_fits(width, n)) return kBadArgument;

        const Vec3d origin = {base->x, base->y, base->z};
        const Vec3d shift = sub(origin, track.front());
        for (Vec3d& p : track) p = add_scaled(p, shift, 1.0);

        // Unit segment directions and the frame of each segment.
        const int64_t segments = closed_path ? n : n - 1;
        std::vector<Vec3d> dir(static_cast<size_t>(segments));
        std::vector<Matrix43> frame(static_cast<size_t>(segments));
        for (int64_t j = 0; j < segments; ++j) {
            Vec3d d = sub(track[(j + 1) % n], track[j]);
            vec3_normalize_d(&dir[j], &d);
        }
        if (segments > 0) {
            Vec3d ref = {direction->x, direction->y, direction->z};
            if (vec3_normalize_d(&ref, &ref) > 0) {
                turn_between(&frame[0], ref, dir[0]);
            } else {
                mat_identity(&frame[0]);
            }
            for (int64_t j = 1; j < segments; ++j) {
                Matrix43 turn;
                turn_between(&turn, dir[j - 1], dir[j]);
                mat_mul(&frame[j], &frame[j - 1], &turn);
            }
        }

        points.reserve(static_cast<size_t>(width * n));
        for (int64_t k = 0; k < n; ++k) {
            // The frame the row is placed with, and the segments meeting at a joint.
            const Matrix43* f = &kMatIdentity;
            const Vec3d* in = nullptr;
            const Vec3d* out = nullptr;
            if (segments > 0) {
                // The first row takes the first segment's frame, the others their
                // incoming segment's.
                f = &frame[k == 0 ? 0 : k - 1];
                if (closed_path) {
                    in = &dir[(k + n - 1) % n];
                    out = &dir[k];
                    if (k == 0) std::swap(in, out);  // project along the outgoing one
                } else if (k > 0 && k < n - 1) {
                    in = &dir[k - 1];
                    out = &dir[k];
                }
            }
            const Vec3d& at = track[k];
            Vec3d bisector = {0, 0, 0};
            double along = 0;
            if (in) {
                bisector = add_scaled(*in, *out, 1.0);
                along = vec3_dot_d(&bisector, in);
            }
            for (const Vec3d& p : shape) {
                Vec3d offset = sub(p, origin);
                mat_xform_point_d(&offset, &offset, f);
                Vec3d q = add_scaled(at, offset, 1.0);
                if (in && along > kMitreLimit) {
                    const Vec3d to_plane = sub(at, q);
                    q = add_scaled(q, *in, vec3_dot_d(&bisector, &to_plane) / along);
                }
                points.push_back(q);
            }
        }
        return mesh_add_grid(mesh, points, static_cast<int32_t>(width), static_cast<int32_t>(n),
                             plist_is_closed(profile), closed_path);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}
