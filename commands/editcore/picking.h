// Picking objects in a view: the object under a point (stepping through overlapping
// objects on repeated calls), every object under a point into a buffer, and every
// object of a window selected or deselected. The drawing of the VIEW is walked with
// the pick device (graphics/view/pick.h); layers the VIEW hides are skipped.
//
// Points are drawing coordinates; the aperture is 5 pixels whatever the zoom.
// Objects collected into the VIEW's own selection are drawn highlighted in its window.
#pragma once

#include "model/math/types.h"

class buffer;
class object;
class VIEW;
struct PickWindow;
struct RtcClass;

// What the hit callback does with each object the device reports.
struct PickContext {
    VIEW* view = nullptr;
    buffer* collect = nullptr;      // hits are added here, or null
    object* start_after = nullptr;  // hits up to and including this one are passed over
    object** result = nullptr;      // the first hit is stored here and the walk stops
    int active = 1;                 // 0 until start_after has been met
};

// The hit callback (PickHitFn): see PickContext.
int pick_collect_cb(object* obj, void* context);

// The first drawing object under the point (of `filter` by kind test, when given)
// after `previous` in walk order; null when there is none: `previous` was the last
// object under the point, or is not under it. Call again without a previous pick to
// start over.
object* pick_object_at(VIEW* view, const Vec3& point, const RtcClass* filter, object* previous);

// Adds every object under the point to `buf` (highlighted when it is the VIEW's
// selection). 0, or the error of buffer_add (objects added so far stay).
[[nodiscard]] int pick_objects_at(VIEW* view, buffer* buf, const Vec3& point,
                                  const RtcClass* filter);

// select 1: every object the window hits is added to `buf` (highlighted as above); the
// walk's result is returned. select 0: every object of `buf` that the window hits is
// drawn in its own colour again and its entry cleared; 0. 13 for a null view or
// window; 0 for a null buffer when deselecting.
[[nodiscard]] int pick_objects_region(VIEW* view, buffer* buf, PickWindow* win, int select);
