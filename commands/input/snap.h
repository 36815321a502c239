// Object snaps and grid steps: the point an input step takes from the cursor. The
// active snaps (the VIEW's input flags) are tried in a fixed order on the objects
// under the cursor, all found by one walk of the drawing that passes over objects
// by their boxes; when none applies the cursor point is rounded to the grid steps.
// Distances are measured in the view plane. User-interface thread.
#pragma once

#include <cstdint>

#include "model/math/types.h"

class VIEW;
class object;
struct RtcClass;

// Input flag bits (the VIEW's input_flags).
inline constexpr int32_t kSnapFree = 1 << 0;         // free points
inline constexpr int32_t kSnapLineEnd = 1 << 1;      // 2
inline constexpr int32_t kSnapLineMid = 1 << 2;      // 4
inline constexpr int32_t kSnapCircleCentre = 1 << 3; // 8
inline constexpr int32_t kSnapArcEnd = 1 << 4;       // 16
inline constexpr int32_t kSnapArcCentre = 1 << 5;    // 32
inline constexpr int32_t kSnapGravity = 1 << 6;      // 64
inline constexpr int32_t kSnapIntersection = 1 << 7; // 128
inline constexpr int32_t kSnapVertex = 1 << 8;       // 256
inline constexpr int32_t kSnapQuadrant = 1 << 9;     // 512
inline constexpr int32_t kSnapRemember = 1 << 14;    // remember the snapped object
inline constexpr int32_t kSnapArcStartKind = 2048;   // remembered kind: the start of an arc

// The snap toggle commands of the drawing view.
inline constexpr uint32_t kCmdSnapProjections = 15820;  // keep-depth flag
inline constexpr uint32_t kCmdSnapFirst = 15821;
inline constexpr uint32_t kCmdSnapLast = 15830;

// Has the objects under the cursor found in a flat copy of the drawing's boxes that
// follows the tree's change journal (patched after an edit, rebuilt only when the
// journal does not tell every change). Called once by model_hooks_install; without it
// (or after a call with false) every click walks the drawing.
void snap_track_changes(bool on = true);

// The point for the cursor: 1 with *point set, 0 when no snap hit and free points
// are off.
int input_resolve_point(VIEW* view, Vec3* point);
// 1 when a snap hit (the point replaced), else 0 with the remembered snap cleared.
int snap_find(VIEW* view, Vec3* point);
void snap_remember(VIEW* view, object* obj, void* segment, int32_t kind);
void snap_forget(VIEW* view);
// value / step rounded half up, times step. A step that is 0, negative or not
// finite leaves the value as it is.
double round_to_step(double value, double step);
// Toggles a snap (15821-15830) or the keep-depth flag (15820), hiding the cursor mark
// around the change. 1 when the id is a snap command.
int view_toggle_snap(VIEW* view, uint32_t command_id);
// Whether the check mark of a snap command is on.
int view_snap_checked(const VIEW* view, uint32_t command_id);

// The single snap kinds, each on the objects under the point (exposed for tests and
// the benchmark): 1 with *point replaced.
int snap_polyline_point(VIEW* view, Vec3* point);
int snap_circle_point(VIEW* view, Vec3* point);
int snap_arc_point(VIEW* view, Vec3* point);
int snap_object_centre(VIEW* view, Vec3* point);
int snap_intersection(VIEW* view, Vec3* point);
int snap_mesh_vertex(VIEW* view, Vec3* point);
int snap_walk_nearest(VIEW* view, const RtcClass* cls, Vec3* point);
