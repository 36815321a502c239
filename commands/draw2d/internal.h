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

// The VIEW's method when it lies in 0..last, else -1.
inline int method_in(int32_t method, int last) { return method >= 0 && method <= last ? method : -1; }

// Leaves input mode on the VIEW that runs the command now (none when it closed).
inline void leave_input(VIEW** view_ref) {
    if (view_ref && *view_ref) view_set_input_mode(*view_ref, 0);
}

// A new polyline (nullptr when out of memory).
inline std::unique_ptr<XPLINE> new_polyline() { return rtc_make<XPLINE>(); }

}  // namespace draw2d
