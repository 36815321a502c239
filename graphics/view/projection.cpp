// Coordinate conversions of the view projection, projection of single points for the
// driver, clipping of segments to the pixel range, vertex lists and culling.
#include "graphics/view/projection.h"

#include "graphics/view/projection_inline.h"

#include <cfloat>
#include <climits>
#include <cmath>

#include "model/db/solid.h"
#include "model/db/zobj.h"
#include "model/math/scalar.h"

namespace {

void apply(const Matrix43& m, double x, double y, double z, double* ox, double* oy, double* oz) {
    Vec3d v = {x, y, z};
    mat_xform_point_d(&v, &v, &m);
    *ox = v.x;
    *oy = v.y;
    *oz = v.z;
}

using view_inline::in_range;

VIEW_INLINE int clamp_pixel(double v) {
    const int t = trunc_int(v);
    return t < kPixelMin ? kPixelMin : (t > kPixelMax ? kPixelMax : t);
}

// The coordinate v of a border crossing as an integer pixel, or false when it lies
// outside the range. A crossing within rounding of a border (a segment through a
// corner of the range computes its crossing a few ulps off) is taken as on it.
VIEW_INLINE bool crossing_pixel(double v, double tol, int* out) {
    if (!(v >= kPixelMin - tol && v <= kPixelMax + tol)) return false;  // also NaN
    if (std::fabs(v - kPixelMax) <= tol) {
        *out = kPixelMax;
    } else if (std::fabs(v - kPixelMin) <= tol) {
        *out = kPixelMin;
    } else {
        *out = clamp_pixel(v);
    }
    return true;
}

enum class EndClip { kInside, kCrossing, kNone };

// The other coordinate where a segment running from (e, ef) to (o, of) reaches e = b,
// with the bound of its rounding. It is taken from the end nearer to the crossing: an
// end far outside the range would carry a rounding of many pixels.
struct Crossing {
    double v, tol;
};
VIEW_INLINE Crossing crossing_at(double e, double o, double b, double ef, double of) {
    const double s = (b - e) / (o - e);
    const double from = s <= 0.5 ? ef : of;
    const double step = s <= 0.5 ? (of - ef) * s : (ef - of) * ((o - b) / (o - e));
    return {from + step, 64 * DBL_EPSILON * (std::fabs(from) + std::fabs(step) + kPixelMax)};
}

// Clips one end (ex, ey) of a segment toward its other end (ox, oy): the integer end
// in *ix, *iy (its truncated coordinates held to the range, or its border crossing).
VIEW_INLINE EndClip clip_segment_end(double ex, double ey, double ox, double oy, int* ix, int* iy) {
    *ix = clamp_pixel(ex);
    *iy = clamp_pixel(ey);
    const bool x_out = ex < kPixelMin || ex > kPixelMax;
    const bool y_out = ey < kPixelMin || ey > kPixelMax;
    if (!x_out && !y_out) return EndClip::kInside;
    if (ex != ox && x_out) {
        const double bx = ex < kPixelMin ? kPixelMin : kPixelMax;
        const Crossing y = crossing_at(ex, ox, bx, ey, oy);
        if (crossing_pixel(y.v, y.tol, iy)) {
            *ix = static_cast<int>(bx);
            return EndClip::kCrossing;
        }
    }
    if (ey != oy && y_out) {
        const double by = ey < kPixelMin ? kPixelMin : kPixelMax;
        const Crossing x = crossing_at(ey, oy, by, ex, ox);
        if (crossing_pixel(x.v, x.tol, ix)) {
            *iy = static_cast<int>(by);
            return EndClip::kCrossing;
        }
    }
    return EndClip::kNone;
}

}  // namespace

void world_to_pixel(const ViewProjection* vp, const Vec3& p, int* x, int* y) {
    double vx, vy, vz;
    apply(vp->view, p.x, p.y, p.z, &vx, &vy, &vz);
    *x = round_int((vx - vp->origin_x) * vp->scale);
    *y = round_int((vy - vp->origin_y) * vp->scale);
}

void vertex_to_pixel(const ViewProjection* vp, const PointNode* node, int* x, int* y) {
    world_to_pixel(vp, Vec3{node->x, node->y, node->z}, x, y);
}

void world_to_view_d(const ViewProjection* vp, const Vec3d& p, Vec3d* out) {
    double vx, vy, vz;
    apply(vp->view, p.x, p.y, p.z, &vx, &vy, &vz);
    if (vp->mode == kProjPerspective && vz < kNearDepth) {
        const double w = -vz / vp->eye_distance;
        vx = vx / w + vp->centre_x;
        vy = vy / w + vp->centre_y;
    }
    *out = Vec3d{vx, vy, vz};
}

void world_to_view(const ViewProjection* vp, const Vec3& p, Vec3* out) {
    Vec3d v;
    world_to_view_d(vp, Vec3d{p.x, p.y, p.z}, &v);
    *out = Vec3{static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

void view_to_world(const ViewProjection* vp, const Vec3& p, Vec3* out) {
    double x, y, z;
    apply(vp->inverse, p.x, p.y, p.z, &x, &y, &z);
    *out = Vec3{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

void plane_to_pixel(const ViewProjection* vp, const Vec3& p, int* x, int* y) {
    *x = round_int((p.x - vp->origin_x) * vp->scale);
    *y = round_int((p.y - vp->origin_y) * vp->scale);
}

void pixel_to_plane(const ViewProjection* vp, int x, int y, double z, Vec3* out) {
    *out = Vec3{static_cast<float>(x / vp->scale + vp->origin_x),
                static_cast<float>(y / vp->scale + vp->origin_y), static_cast<float>(z)};
}

void pixel_to_world(const ViewProjection* vp, int x, int y, double z, Vec3* out) {
    pixel_to_plane(vp, x, y, z, out);
    if (vp->mode != kProjPlan) view_to_world(vp, *out, out);
}

void view_get_direction_d(const ViewProjection* vp, Vec3d* out) {
    mat_z_axis_d(&vp->inverse, out);
}

void view_get_direction(const ViewProjection* vp, Vec3* out) {
    Vec3d d;
    view_get_direction_d(vp, &d);
    *out = Vec3{static_cast<float>(d.x), static_cast<float>(d.y), static_cast<float>(d.z)};
}

void view_project_point(const ViewProjection* vp, double x, double y, double z, int dx, int dy,
                        ProjectedPoint* out) {
    view_inline::project_point(vp, x, y, z, dx, dy, out);
}

int view_pixel_of(const ViewProjection* vp, double v) {
    return view_inline::pixel_of(vp, v);
}

void view_project_view_point(const ViewProjection* vp, double vx, double vy, double vz, int dx,
                             int dy, ProjectedPoint* out) {
    view_inline::project_view_point(vp, vx, vy, vz, dx, dy, out);
}

int view_clip_segment(double x1, double y1, double x2, double y2, int out[4]) {
    const bool outside = (x1 < kPixelMin && x2 < kPixelMin) || (x1 > kPixelMax && x2 > kPixelMax) ||
                         (y1 < kPixelMin && y2 < kPixelMin) || (y1 > kPixelMax && y2 > kPixelMax);
    if (!outside) {
        const EndClip c1 = clip_segment_end(x1, y1, x2, y2, &out[0], &out[1]);
        const EndClip c2 = clip_segment_end(x2, y2, x1, y1, &out[2], &out[3]);
        if (c1 != EndClip::kNone || c2 != EndClip::kNone) {
            // A segment that only grazes the range (through a corner) can find its
            // crossing at one end and miss it by rounding at the other: it touches
            // the range in one point, not along the border to the clamped end.
            if (c1 == EndClip::kNone) out[0] = out[2], out[1] = out[3];
            if (c2 == EndClip::kNone) out[2] = out[0], out[3] = out[1];
            return 1;
        }
    }
    for (int i = 0; i < 4; ++i) out[i] = kPixelMin;
    return 0;
}

void view_draw_segment(const ViewProjection* vp, const ProjectedPoint& a, const ProjectedPoint& b) {
    if (!vp->line) return;
    const bool a_in = in_range(a.x) && in_range(a.y);
    const bool b_in = in_range(b.x) && in_range(b.y);
    if (vp->pen_mode == kPenModeNoRange || (a_in && b_in)) {
        vp->line(vp->context, a.x, a.y, b.x, b.y);
        return;
    }
    int c[4];
    if (view_clip_segment(a.fx, a.fy, b.fx, b.fy, c)) {
        // An end inside the range keeps its own pixel, so that a clipped segment
        // meets its unclipped neighbours exactly.
        if (a_in) c[0] = a.x, c[1] = a.y;
        if (b_in) c[2] = b.x, c[3] = b.y;
    }
    vp->line(vp->context, c[0], c[1], c[2], c[3]);
}

void view_draw_vertex_list(const ViewProjection* vp, const PointNode* first) {
    if (!first) return;
    ProjectedPoint prev, cur;
    view_project_point(vp, first->x, first->y, first->z, 0, 0, &prev);
    for (const PointNode* n = first->next; n && n != first; n = n->next) {
        view_project_point(vp, n->x, n->y, n->z, 0, 0, &cur);
        if (!prev.behind && !cur.behind) view_draw_segment(vp, prev, cur);
        prev = cur;
    }
}

void view_project_bbox(const ViewProjection* vp, const BBox& box, BBox* out) {
    *out = kEmptyBBox;
    if (bbox_is_empty(box)) return;
    if (vp->mode != kProjPerspective) {
        // An affine map: the image of the centre, widened by the absolute values of the
        // matrix times the half extents (the box of the eight transformed corners).
        const Matrix43& m = vp->view;
        const double c[3] = {(double(box.min.x) + box.max.x) * 0.5,
                             (double(box.min.y) + box.max.y) * 0.5,
                             (double(box.min.z) + box.max.z) * 0.5};
        const double h[3] = {(double(box.max.x) - box.min.x) * 0.5,
                             (double(box.max.y) - box.min.y) * 0.5,
                             (double(box.max.z) - box.min.z) * 0.5};
        float lo[3], hi[3];
        for (int j = 0; j < 3; ++j) {
            double centre = m.m[9 + j], half = 0.0;
            for (int i = 0; i < 3; ++i) {
                centre += c[i] * m.m[3 * i + j];
                half += h[i] * std::fabs(m.m[3 * i + j]);
            }
            lo[j] = static_cast<float>(centre - half);
            hi[j] = static_cast<float>(centre + half);
        }
        *out = {{lo[0], lo[1], lo[2]}, {hi[0], hi[1], hi[2]}};
        return;
    }
    for (int i = 0; i < 8; ++i) {
        const Vec3 c = {(i & 1) ? box.max.x : box.min.x, (i & 2) ? box.max.y : box.min.y,
                        (i & 4) ? box.max.z : box.min.z};
        Vec3 v;
        world_to_view(vp, c, &v);
        out->min.x = std::fmin(out->min.x, v.x);
        out->min.y = std::fmin(out->min.y, v.y);
        out->min.z = std::fmin(out->min.z, v.z);
        out->max.x = std::fmax(out->max.x, v.x);
        out->max.y = std::fmax(out->max.y, v.y);
        out->max.z = std::fmax(out->max.z, v.z);
    }
}

int view_cull_object(const ViewProjection* vp, const object* obj) {
    if (!obj || vp->mode == kProjPerspective || rtc_is<LIGHT>(obj)) return 0;
    if (bbox_is_empty(obj->box)) return 0;
    BBox b;
    view_project_bbox(vp, obj->box, &b);
    double min_x = std::floor(b.min.x), min_y = std::floor(b.min.y);
    double max_x = std::ceil(b.max.x), max_y = std::ceil(b.max.y);
    if (rtc_is<CONTAINER>(obj) || rtc_is<CAMERA>(obj)) {
        const double w = 5.0 / vp->scale;
        min_x -= w;
        min_y -= w;
        max_x += w;
        max_y += w;
    }
    return (vp->extents_min.x > max_x || vp->extents_max.x < min_x || vp->extents_min.y > max_y ||
            vp->extents_max.y < min_y)
               ? 1
               : 0;
}

void view_extents_reset(ViewProjection* vp) {
    vp->extents_min = Vec3{-FLT_MAX, -FLT_MAX, -FLT_MAX};
    vp->extents_max = Vec3{FLT_MAX, FLT_MAX, FLT_MAX};
}

bool view_scale_usable(double scale) { return scale > 0.0 && std::isfinite(scale) && std::isfinite(1.0 / scale); }
