// Helpers shared by the 2D drawing commands: view-coordinate conversions, the
// remembered input points, making line-work objects and the method checks.
#pragma once

#include <cmath>
#include <memory>

#include "commands/draw2d/draw2d.h"
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/snap.h"
#include "commands/input/support.h"
#include "commands/input/zoom.h"
#include "graphics/view/projection.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/wire.h"
#include "model/math/vec.h"
#include "model/rtc/rtc.h"

namespace draw2d {

inline Vec3 to_view(const VIEW* v, const Vec3& p) {
    Vec3 out;
    world_to_view(&v->projection, p, &out);
    return out;
}
inline Vec3 to_world(const VIEW* v, const Vec3& p) {
    Vec3 out;
    view_to_world(&v->projection, p, &out);
    return out;
}
inline Vec3 vec(double x, double y, double z) {
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

inline void set_slot(VIEW* v, int slot, const Vec3& p) {
    if (v) input_set_point(v, p, slot);
}

// The methods of the commands as the VIEW holds them (and drawing files store them);
// each list is in the order of its method dialog's buttons.
enum LineMethod : int32_t {
    kLineSeparate,       // two points a line
    kLineConnected,      // each line starts where the last ended
    kLineParallel,       // parallel to a picked segment
    kLinePerpendicular,  // perpendicular to a picked segment
    kLineCross,          // four lines out from a centre
    kLineFan,            // every line from the same first point
    kLineMethodLast = kLineFan,
};
enum BoxMethod : int32_t {
    kBoxTwoCorners,    // two opposite corners
    kBoxCentreCorner,  // the centre, then a corner
    kBoxCornerCentre,  // a corner, then the centre
    kBoxThreePoints,   // a parallelogram: two corners and a point of the opposite side
    kBoxMethodLast = kBoxThreePoints,
};
enum CircleMethod : int32_t {
    kCircleCentreRadius,  // the centre and a typed or dragged radius
    kCircleCentrePoint,   // the centre and a point on the circle
    kCirclePointCentre,   // a point on the circle and the centre
    kCircleDiameter,      // the two ends of a diameter
    kCircleThreePoints,   // three points on the circle
    kCircleMethodLast = kCircleThreePoints,
};
enum ArcMethod : int32_t {
    kArcStartEndMiddle,    // start, end, a point between
    kArcStartMiddleEnd,    // start, a point between, end
    kArcCentreStartAngle,  // centre, start, swept angle
    kArcMethodLast = kArcCentreStartAngle,
};
enum EllipseMethod : int32_t {
    kEllipseCentreCorner,  // the centre, then a corner of the bounding box
    kEllipseCornerCentre,  // a corner, then the centre
    kEllipseTwoCorners,    // two opposite corners of the bounding box
    kEllipseMethodLast = kEllipseTwoCorners,
};

// The VIEW's method when it lies in 0..last, else -1.
inline int method_in(int32_t method, int last) { return method >= 0 && method <= last ? method : -1; }

// Leaves input mode on the VIEW that runs the command now (none when it closed).
inline void leave_input(VIEW** view_ref) {
    if (view_ref && *view_ref) view_set_input_mode(*view_ref, kInputIdle);
}

// A new polyline (nullptr when out of memory).
inline std::unique_ptr<XPLINE> new_polyline() { return rtc_make<XPLINE>(); }

}  // namespace draw2d
