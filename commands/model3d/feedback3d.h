// Cursor feedback of the 3D construction steps, drawn in the view's XOR mode like the
// input routines' own (commands/input/feedback.h), so a second call erases the first.
// Each reads the remembered points of the step (DocInputState::points, drawing
// coordinates) through their window pixels; which slots a routine reads is said at
// each. Every routine also draws the crosshair at the cursor.
#pragma once

class VIEW;

// Slots of the outlines: the fixed corners are kept from slot 4 on.
inline constexpr int kOutlineSlot = 4;

// Box width: a line from the corner (slot 0) along the view's x axis to the cursor's x.
void fb_box_width(VIEW* view, int x, int y);
// Box height: the front rectangle from the corner (slot 0) to the far end of the width
// (slot 1) at the cursor's height.
void fb_box_height(VIEW* view, int x, int y);
// Box depth: the front rectangle from the corner (slot 4) to its far corner (slot 0),
// the same rectangle moved by the cursor's offset from that far corner, and the four
// edges joining them.
void fb_box_depth(VIEW* view, int x, int y);

// Cone base radius: the projected axis from the top (slot 1) to the base centre
// (slot 0), a base diameter across it of twice the cursor's distance from the base
// centre, and the side lines to the top ("Cone" 2: to a top diameter as wide, so the
// sides run parallel).
void fb_cone_base(VIEW* view, int x, int y);
// Cone top radius: the same with the base radius fixed (the distance from the base
// centre, slot 2, to slot 3) and the top diameter twice the cursor's distance from the
// top (slot 0).
void fb_cone_top(VIEW* view, int x, int y);

// Torus tube: two circles about the centre (slot 1) at the ring radius (slot 1 to the
// ring point, slot 0) minus and plus the cursor's distance from the ring point.
void fb_torus_tube(VIEW* view, int x, int y);

// Outlines through fixed corners and the cursor: slots 4, 5 then the cursor (open);
// slots 4, 5 and back (a triangle); slots 4, 5, 6 and back (a quadrilateral).
void fb_outline_edge(VIEW* view, int x, int y);
void fb_outline_triangle(VIEW* view, int x, int y);
void fb_outline_quad(VIEW* view, int x, int y);
