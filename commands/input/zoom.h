// Zoom and extents: each VIEW keeps the drawing's extents in view coordinates,
// grown as objects are added and recomputed after undo, redo and large edits; zoom
// to a window the user picks or to the whole drawing, with scales rounded to the
// zoom step preference and origins to whole pixels.
#pragma once

#include <cstdint>

#include "model/math/types.h"
#include "resources/string_ids.h"

class VIEW;
class object;

// Zoom window methods (the process-wide g_prefs.zoom_window).
inline constexpr int kZoomTwoCorners = 0;
inline constexpr int kZoomCentreCorner = 1;
inline constexpr int kZoomCornerCentre = 2;
inline constexpr uint32_t kPromptRectCentre = IDS_RECTANGLE_CENTRE;  // "Rectangle centre"
inline constexpr uint32_t kPromptRectCorner = IDS_RECTANGLE_CORNER;  // "Rectangle corner"

void views_extend_extents(VIEW* view, object* obj);
void views_compute_extents(VIEW* view);
// The view's extents box as stored.
BBox view_extents(const VIEW* view);
// 0, or 1 when the window is thinner than 0.001 in view x or y.
int view_zoom_window(VIEW* view, const Vec3& c1, const Vec3& c2);
void view_zoom_all(VIEW* view);
// A step that is 0, negative or not finite leaves the scale unrounded.
double round_scale(double step, double scale);
double round_origin(double scale, double origin);
[[nodiscard]] int zoom_window_command(VIEW** view_ref);
[[nodiscard]] int zoom_window_ask(VIEW** view_ref, Vec3* c1, Vec3* c2);
int zoom_method_callback(VIEW** view_ref);
// The Zoom Window method dialog: stores the chosen method unless cancelled; true
// when the method changed.
bool method_dialog_zoom_window(VIEW* view);
void view_window_world_corners(const VIEW* view, Vec3* top_left, Vec3* bottom_right);
