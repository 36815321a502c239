// Flattening of curves: spline polylines (natural cubic spline over the chord
// length), whole ellipses and elliptical arcs (in the ellipse's own frame), and
// circular arcs. Each flattened list is then cut into the dashes of its style.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "model/db/patt.h"
#include "model/db/wire.h"
#include "model/geom/regen.h"
#include "model/geom/regen_util.h"
#include "model/geom/spline.h"
#include "model/math/arcgeom.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/math/scalar.h"
#include "model/math/vec.h"
#include "model/services/log.h"

namespace {

constexpr double kDefaultSplineStep = 5.0;
const double kDefaultArcStep = deg_to_rad(15.0);

// Dashes of the object's flattened list into *runs; 0 or 1.
int dash_flat_list(const LINEPATT* pattern, WIRE* w, PtrNode** runs) {
    return wire_apply_dashes(pattern, w->second, runs, w->points);
}

// Takes a new flattened list, then replaces the runs by its dashes; 0 or 1 (the
// old runs stay).
int take_flat_list(const LINEPATT* pattern, WIRE* w, PointNode* flat) {
    w->points = flat;
    PtrNode* runs = nullptr;
    if (int r = dash_flat_list(pattern, w, &runs)) return r;
    plist_list_free(&w->strokes);
    w->strokes = runs;
    return 0;
}

// Raises `end` by whole turns until it is not below `start`. False for
// non-finite angles.
bool raise_end_angle(double start, double* end) {
    if (!std::isfinite(start) || !std::isfinite(*end)) return false;
    if (*end < start) {
        *end += std::ceil((start - *end) / kTwoPi) * kTwoPi;
        for (int i = 0; i < 4 && *end < start; ++i) *end += kTwoPi;  // rounding
        if (*end < start) *end = start;  // angles too large for a turn to count
    }
    return true;
}

// Points of an elliptical arc (polar angles, ellipse_point) prepended to *list:
// the start, every multiple of 2*pi/n strictly inside, the end. n < 2: nothing.
int ellipse_arc_points(PointNode** list, const Vec3& c, double r1, double r2, double start,
                       double end, int n) {
    if (n < 2) return 0;
    if (!raise_end_angle(start, &end)) return kBadArgument;
    double step = kTwoPi / n;
    // More than kRegenMaxPoints points (an end many turns past the start): coarser.
    if ((end - start) / step > kRegenMaxPoints - 2) step = (end - start) / (kRegenMaxPoints - 2);
    auto add = [&](double t) {
        float xy[2];
        ellipse_point(r1, r2, c.x, c.y, t, xy);
        return plist_add(list, Vec3{xy[0], xy[1], c.z});
    };
    if (int rc = add(start)) return rc;
    double k = std::ceil(start / step);
    for (int i = 0; i < kRegenMaxPoints; ++i) {
        double t = (k + i) * step;
        if (!(t < end)) break;
        if (int rc = add(t)) return rc;
    }
    return add(end);
}

}  // namespace

int xpline_regen_spline(const LINEPATT* pattern, PtrNode** runs, XPLINE* xpline, double step) {
    if (!xpline || !runs) return kBadArgument;
    *runs = nullptr;
    list_free(&xpline->points);
    const int n = plist_count(xpline->control);
    if (n == 0) return 0;

    WaitCursor wait;
    ChordSpline spline;
    double total = 0.0;
    try {
        std::vector<Vec3d> pts;
        pts.reserve(n);
        int i = 0;
        for (const PointNode* p = xpline->control; p && i < n; p = p->next, ++i)
            pts.push_back(Vec3d{p->x, p->y, p->z});
        // Cumulative chord length over all vertices, repeated ones included.
        for (int j = 1; j < n; ++j) {
            Vec3d d{pts[j].x - pts[j - 1].x, pts[j].y - pts[j - 1].y, pts[j].z - pts[j - 1].z};
            total += std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        }
        if (int rc = chord_spline_fit(pts.data(), n, &spline))
            return rc == kBadArgument ? kBadArgument : kOutOfMemory;
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }

    step = usable_step(step, kDefaultSplineStep);
    if (total / step > kRegenMaxPoints - 1) step = total / (kRegenMaxPoints - 1);
    const int k = trunc_int(total / step);

    // The flattened list is built by prepending, so it runs from the last control
    // vertex back to the first.
    const PointNode* last = xpline->control;
    for (int i = 1; i < n; ++i) last = last->next;
    for (int i = 0; i <= k; ++i) {
        Vec3 q;
        if (i == k) {
            q = Vec3{last->x, last->y, last->z};
        } else {
            // The spline's own parameter skips repeated vertices; scale onto it.
            double u = i * step;
            if (total > 0) u *= spline.length() / total;
            Vec3d v = chord_spline_eval(spline, u);
            vec3_from_d(&q, &v);
        }
        if (plist_add(&xpline->points, q) != 0) {
            list_free(&xpline->points);
            return kOutOfMemory;
        }
    }
    return dash_flat_list(pattern, xpline, runs);
}

double elarc_plane_transform(const ELARC* elarc, const Vec3d& normal) {
    Matrix43 m;
    mat_align_z(&m, &elarc->centre, normal.x, normal.y, normal.z, 1);
    Vec3 p;
    mat_xform_point(&p, &elarc->axis1, &m);
    double dx = double(p.x) - elarc->centre.x, dy = double(p.y) - elarc->centre.y;
    if (std::fabs(dy) < 1e-6) return dx < 0 ? kPi : 0.0;  // along -X: a half turn
    double len = std::sqrt(dx * dx + dy * dy);
    double a = std::acos(std::clamp(dx / len, -1.0, 1.0));
    return dy >= 0 ? -a : a;
}

int elarc_regen_ellipse(const LINEPATT* pattern, ELARC* elarc, double* angle, Vec3d* normal) {
    if (!elarc) return kBadArgument;
    list_free(&elarc->points);
    plane_normal_3pt(normal, &elarc->centre, &elarc->axis1, &elarc->axis2);
    *angle = -elarc_plane_transform(elarc, *normal);
    const Vec3 c = elarc->centre;
    const double r1 = vec3_dist(elarc->axis1, c), r2 = vec3_dist(elarc->axis2, c);

    const double res = usable_step(elarc->curve_step, kDefaultArcStep);
    double count = std::floor(kTwoPi / res);
    if (count > kRegenMaxPoints - 2) count = kRegenMaxPoints - 2;
    int n = static_cast<int>(count);
    if (n < 2) n = 4;  // coarser than half a turn: still draw the curve

    PointNode* pts = nullptr;
    int rc;
    if (elarc->flags & kElarcWholeEllipse)
        rc = ellipse_points(&pts, c, r1, r2, n);
    else
        rc = ellipse_arc_points(&pts, c, r1, r2, elarc->start, elarc->end, n);
    if (rc) {
        list_free(&pts);
        return rc;
    }
    if (!pts) return kOutOfMemory;
    return take_flat_list(pattern, elarc, pts);
}

int elarc_regen_arc(const LINEPATT* pattern, ELARC* elarc, Vec3d* normal) {
    if (!elarc) return kBadArgument;
    list_free(&elarc->points);
    plane_normal_3pt(normal, &elarc->centre, &elarc->axis1, &elarc->axis2);
    Matrix43 to_plane, from_plane;
    mat_align_z(&to_plane, nullptr, normal->x, normal->y, normal->z, 1);
    mat_align_z(&from_plane, nullptr, normal->x, normal->y, normal->z, 0);
    Vec3 c, p;
    mat_xform_point(&c, &elarc->centre, &to_plane);
    mat_xform_point(&p, &elarc->axis1, &to_plane);
    const double a0 = angle_about(c, p);
    const double start = a0 + elarc->start;
    double end = a0 + elarc->end;
    const double radius = vec3_dist(c, p);

    double step = usable_step(elarc->curve_step, kDefaultArcStep);
    double sweep_end = end;
    if (!raise_end_angle(start, &sweep_end)) return kBadArgument;
    if ((sweep_end - start) / step > kRegenMaxPoints - 4) step = (sweep_end - start) / (kRegenMaxPoints - 4);

    PointNode* pts = nullptr;
    if (int rc = arc_points(c, radius, start, end, step, &pts)) return rc;
    plist_xform(pts, from_plane);
    return take_flat_list(pattern, elarc, pts);
}
