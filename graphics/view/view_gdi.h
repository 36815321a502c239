// Drawing into a view's window for the engine: rubber-band primitives in the VIEW's
// draw mode and colour, objects in their colour or a given one in one view or in
// every view of the drawing, refresh, layer flags of all views and the object-redraw
// hook. Everything goes through the canvas of the view's window (view_host()); a
// VIEW without a window or a host draws nothing. Pixels have y growing upward.
#pragma once

#include <cstdint>

#include "model/math/types.h"

class VIEW;
class object;
class CONTAINER;
class RTC;
struct PointNode;

void view_gdi_line(VIEW* view, int x1, int y1, int x2, int y2);
void view_gdi_rect(VIEW* view, int x1, int y1, int x2, int y2);
void view_gdi_circle(VIEW* view, int cx, int cy, int radius);
void view_gdi_arc(VIEW* view, int cx, int cy, int sx, int sy, int ex, int ey, int radius);
// The arc through three window points (a line when they are collinear or repeat).
// Worked in 64-bit integers, so far points cannot overflow.
void view_gdi_arc3p(VIEW* view, int x1, int y1, int x2, int y2, int x3, int y3);
void view_gdi_pixel(VIEW* view, int x, int y);
void view_gdi_segments(VIEW* view, const int32_t* xy, int count);

// Draw mode 3 (copy), pen 15, colour = palette entry of the index itself.
void view_set_colour_index(VIEW* view, int index);
// The same with the index first mapped by colour_index_fix.
void view_set_object_colour(VIEW* view, int index);
// XOR mode in the cursor-mark colour (palette entry 7).
void view_set_xor(VIEW* view);

void view_gdi_vertex_list(VIEW* view, const PointNode* list, int colour);
// As above; in the background colour also invalidates the list's box (no erase).
void view_gdi_vertex_list_ext(VIEW* view, const PointNode* list, int colour);
// view_gdi_object of view.h is the one-view form.
// The object in its own colour in every view of the drawing whose layer flags show it.
void view_gdi_object_all(VIEW* view, object* obj);
void view_gdi_list(VIEW* view, CONTAINER* container);
void view_gdi_list_colour(VIEW* view, CONTAINER* container, int colour);
// Erases (draws in the background colour) in every view of the drawing.
void view_gdi_object_all_cur(VIEW* view, object* obj);
// The same for every object of a container's children or of a buffer.
void view_gdi_list_all_cur(VIEW* view, RTC* list);
// 1 when the object's layer is visible in the view (or the view has no flags).
int object_visible_in_view(const VIEW* view, const object* obj);

// Appends a layer flag to the view and every following view of its drawing; on a
// failed push the views already extended lose it again and 8 is returned. Then the
// layer lists are refilled (8 when that fails). 0 on success.
[[nodiscard]] int views_add_layer_flag(VIEW* view, int32_t flag);
// Test seam: the push after `pushes` successful ones fails as out of memory (-1: off).
void views_add_layer_flag_fail_after(int pushes);
// Chains view_object_redraw_hook (draw the object in every view) before the model's
// second hook; once.
void view_install_redraw_hook();
int view_object_redraw_hook(RTC* obj, int flag);
