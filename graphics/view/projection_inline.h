// The driver's per-point work as inline code: projection of one point to its pixel
// and the hand-over of a segment that needs no clipping. projection.cpp builds its
// entry points on these, and the driver's polyline loop uses them directly, so both
// give the same pixels bit for bit.
#pragma once

#include <climits>

#include "graphics/view/projection.h"
#include "model/math/scalar.h"

#if defined(__GNUC__)
#define VIEW_INLINE inline __attribute__((always_inline))
#else
#define VIEW_INLINE inline
#endif

namespace view_inline {

inline bool in_range(int v) {
    return v >= kPixelMin && v <= kPixelMax;
}

// v + d without overflow: the sum is held to the int range.
inline int add_clamped(int v, int d) {
    const long long s = static_cast<long long>(v) + d;
    if (s > INT_MAX) return INT_MAX;
    if (s < INT_MIN) return INT_MIN;
    return static_cast<int>(s);
}

VIEW_INLINE int pixel_of(const ViewProjection* vp, double v) {
    return vp->mode == kProjPerspective ? trunc_int(v) : round_int(v);
}

VIEW_INLINE void project_view_point(const ViewProjection* vp, double vx, double vy, double vz, int dx,
                               int dy, ProjectedPoint* out) {
    out->not_drawable = 1;
    out->behind = 0;
    if (vp->mode != kProjPerspective) {
        out->fx = (vx - vp->origin_x) * vp->scale;
        out->fy = (vy - vp->origin_y) * vp->scale;
    } else {
        if (!(vz <= kNearDepth)) {  // also NaN
            out->behind = 1;
            return;
        }
        if (vz < kNearDepth) {
            const double w = -vz / vp->eye_distance;
            out->fx = vx / w + vp->centre_x;
            out->fy = vy / w + vp->centre_y;
        } else {
            out->fx = vx;
            out->fy = vy;
        }
    }
    out->x = add_clamped(pixel_of(vp, out->fx), dx);
    out->y = add_clamped(pixel_of(vp, out->fy), dy);
    out->fx += dx;
    out->fy += dy;
    if (vp->pen_mode != kPenModeNoRange && (!in_range(out->x) || !in_range(out->y))) return;
    out->not_drawable = 0;
}

// The view matrix applied to a point, in the same order of operations as
// mat_xform_point_d.
VIEW_INLINE void project_point(const ViewProjection* vp, double x, double y, double z, int dx, int dy,
                          ProjectedPoint* out) {
    const double* a = vp->view.m;
    const double vx = x * a[0] + y * a[3] + z * a[6] + a[9];
    const double vy = x * a[1] + y * a[4] + z * a[7] + a[10];
    const double vz = x * a[2] + y * a[5] + z * a[8] + a[11];
    project_view_point(vp, vx, vy, vz, dx, dy, out);
}

// A segment's ends both in range (or pen mode 4): straight to the line callback.
// False when the segment needs the clipper (view_draw_segment).
VIEW_INLINE bool draw_unclipped(const ViewProjection* vp, const ProjectedPoint& a,
                           const ProjectedPoint& b) {
    if (vp->pen_mode != kPenModeNoRange &&
        !(in_range(a.x) && in_range(a.y) && in_range(b.x) && in_range(b.y)))
        return false;
    vp->line(vp->context, a.x, a.y, b.x, b.y);
    return true;
}

}  // namespace view_inline
