// Cursor feedback of input steps: crosshair, snap box, rubber lines, boxes and
// circles, and phantoms of the objects being moved, scaled or rotated. Everything is
// drawn in the VIEW's current draw mode (XOR while a step waits), so a second call at
// the same place erases exactly what the first drew. Pixels have y growing upward;
// points far outside the window are held to the drawable pixel range.
#pragma once

#include "model/math/types.h"

class VIEW;

void cursor_draw_crosshair(VIEW* view, int x, int y);
void cursor_draw_snap_box(VIEW* view, int x, int y);
void cursor_draw_rubber_line(VIEW* view, int x, int y);
void cursor_draw_rubber_ortho(VIEW* view, int x, int y);
void cursor_draw_rubber_box(VIEW* view, int x, int y);
void cursor_draw_rubber_box_centred(VIEW* view, int x, int y);
void cursor_draw_rubber_box_mirrored(VIEW* view, int x, int y);
int cursor_draw_radius(VIEW* view, int x, int y);
int cursor_draw_circle(VIEW* view, int x, int y);
void cursor_draw_centre_marker(VIEW* view, int x, int y);
void cursor_draw_phantom_moved(VIEW* view, int x, int y);
void cursor_draw_phantom_scaled(VIEW* view, int x, int y);
void cursor_draw_phantom_rotated(VIEW* view, int x, int y);

// Phantom support: T maps drawing coordinates to pixels measured from the base point
// (with_base) or from the window's origin.
void phantom_base_transform(const VIEW* view, Transform* t, int with_base);
void phantom_scale_factors(const VIEW* view, int x, int y, double* sx, double* sy, double* sz);
void phantom_copy_from_active(VIEW* view);
// Draws the phantom objects through the VIEW's phantom transform.
void phantom_draw(VIEW* view);
// Adds one segment (pixel ends) to the batch, dropping repeats; draws full batches.
void phantom_segment(VIEW* view, int x1, int y1, int x2, int y2);
void phantom_flush(VIEW* view);
// Input waiting (asked every 16 phantom segments).
bool input_pending();

// Remembered slot points in pixels of the view (slot 0 and 1 of the input state).
void input_slot_pixel(const VIEW* view, int slot, int* x, int* y);
