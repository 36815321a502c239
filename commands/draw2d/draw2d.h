// The 2D drawing commands of the drawing view: lines by six methods, polylines,
// rectangles, regular polygons, circles, arcs, ellipses, 2D text typed in place, and
// hatches, hatch holes and fills traced around free points and existing line work.
//
// Every command takes a reference to the command's VIEW (the input routines may move
// it to another view of the drawing) and returns 0, -1 (refused at its first step),
// -2 (cancelled) or an engine code (8 out of memory, 13 no font, 19 nothing to
// follow, 1 no arc through three points). Objects are added with the view's current
// attributes, one undo level each. Construction methods, the polygon count and the
// text and hatch styles live in the VIEW (graphics/view/view.h) and change through
// the options key. User-interface thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "model/math/matrix.h"
#include "model/math/plist.h"
#include "model/math/result.h"
#include "model/math/types.h"

// An outline to follow was asked of an object that has none to give.
inline constexpr int kDraw2dNothingToFollow = 19;

class VIEW;
class ELARC;
class HATCH;
class TEXT2;
struct StrokeFont;

// Command ids of the drawing view.
inline constexpr uint32_t kCmdLine = 15000;
inline constexpr uint32_t kCmdCircle = 15001;
inline constexpr uint32_t kCmdArc = 15002;
inline constexpr uint32_t kCmdPolyline = 15003;
inline constexpr uint32_t kCmdRectangle = 15004;
inline constexpr uint32_t kCmdText = 15005;
inline constexpr uint32_t kCmdHatch = 15006;
inline constexpr uint32_t kCmdHatchHole = 15007;
inline constexpr uint32_t kCmdRegularPolygon = 15008;
inline constexpr uint32_t kCmdEllipse = 15009;
inline constexpr uint32_t kCmdFill = 15010;

// Held ranges of the VIEW's settings (values from files outside them are refused by
// the asking routines with -1, the polygon count is held to its range).
inline constexpr int kPolygonMin = 3;
inline constexpr int kPolygonMax = 100;

// ---- Commands (the drawing view's command functions take the VIEW** as void*)
[[nodiscard]] int cmd_line(VIEW** view_ref);
[[nodiscard]] int cmd_polyline(VIEW** view_ref);
[[nodiscard]] int cmd_rectangle(VIEW** view_ref);
[[nodiscard]] int cmd_regular_polygon(VIEW** view_ref);
[[nodiscard]] int cmd_circle(VIEW** view_ref);
[[nodiscard]] int cmd_arc(VIEW** view_ref);
[[nodiscard]] int cmd_ellipse(VIEW** view_ref);
[[nodiscard]] int cmd_text(VIEW** view_ref);
[[nodiscard]] int cmd_hatch(VIEW** view_ref);
[[nodiscard]] int cmd_hatch_hole(VIEW** view_ref);
[[nodiscard]] int cmd_fill(VIEW** view_ref);

// Hands each command function to `set` under its id (the drawing view's table).
using Draw2dCommandFn = int (*)(void* arg);
void draw2d_register_commands(void (*set)(int id, Draw2dCommandFn fn));

// ---- Options callbacks (the options key): 1 when the method, count or style
// changed and the step is to be asked again.
int line_method_callback(VIEW** view_ref);
int box_method_callback(VIEW** view_ref);
int polygon_options_callback(VIEW** view_ref);
int circle_method_callback(VIEW** view_ref);
int arc_method_callback(VIEW** view_ref);
int ellipse_method_callback(VIEW** view_ref);
int text_options_callback(VIEW** view_ref);

// Method dialogs through the view host: store the chosen method unless cancelled;
// true when it changed.
bool method_dialog_line(VIEW* view);
bool method_dialog_box(VIEW* view);
bool method_dialog_circle(VIEW* view);
bool method_dialog_arc(VIEW* view);
bool method_dialog_ellipse(VIEW* view);

// ---- Building blocks (exposed for tests)
// One segment with the current attributes (linear accuracy). 0 or a code.
[[nodiscard]] int line_add_segment(VIEW* view, const Vec3& start, const Vec3& end);
// The segment from `point` to `point` + (dx, dy) in view coordinates.
[[nodiscard]] int line_add_offset(VIEW* view, double dx, double dy, const Vec3& point);
// The end of a segment from `start` toward `cursor` held parallel (or perpendicular)
// to the reference r1-r2, all in drawing coordinates. Always finite for finite input:
// a reference seen end-on keeps the start's depth.
Vec3 line_make_parallel(const VIEW* view, const Vec3& start, const Vec3& cursor, const Vec3& r1, const Vec3& r2);
Vec3 line_make_perpendicular(const VIEW* view, const Vec3& start, const Vec3& cursor, const Vec3& r1,
                             const Vec3& r2);
// Orthogonal mode: the end moved onto the horizontal or vertical through `start`
// (view coordinates; |dx| >= |dy| gives a horizontal segment).
Vec3 line_make_orthogonal(const VIEW* view, const Vec3& start, const Vec3& end);
// The arc through three points, added to the drawing. 1 when no circle passes through
// them (nothing added), else 0 or a code.
[[nodiscard]] int arc_build(VIEW* view, const Vec3& start, const Vec3& middle, const Vec3& end);
// Axis points of an ellipse whose bounding box has a corner at `corner`.
void ellipse_axes(const VIEW* view, const Vec3& centre, const Vec3& corner, Vec3* axis1, Vec3* axis2);

// Feedback routines of the steps (XOR; the second call at a place erases).
void polygon_feedback(VIEW* view, int x, int y);
void cross_feedback(VIEW* view, int x, int y);
void arc3_feedback_end(VIEW* view, int x, int y);
void arc3_feedback_middle(VIEW* view, int x, int y);
void ellipse_feedback_centred(VIEW* view, int x, int y);
void text_in_place_feedback(VIEW* view, int x, int y);
void contour_marker_feedback(VIEW* view, int x, int y);
void contour_lines_feedback(VIEW* view, int x, int y);

// ---- 2D text
// In-place text entry into `text` (a TEXT2): typed characters go to its string.
// 13 without a text object or a view.
[[nodiscard]] int input_text_in_place(VIEW** view_ref, const StrokeFont* font,
                                      int (*on_options)(VIEW**), TEXT2* text, uint32_t help_id);
// Moves the view's cursor pixel to the start of the line after `text`.
void text_next_line_position(VIEW* view, const TEXT2* text);
// The byte of `font`'s code page for a Unicode character, or -1 when the font cannot
// show it. Built-in font 1 uses the Cyrillic page, every other font the Latin one.
int text_code_for_unicode(const StrokeFont* font, int ch);
// The small stroke font of the text cursor (character 127).
const StrokeFont* text_cursor_font();

// ---- Contours, hatches and fills
struct Contour {
    PointNode* vertices = nullptr;  // prepending while traced; owned
    int count = 0;
    int plane_known = 0;
    Matrix43 to_plane = kMatIdentity;
    Matrix43 from_plane = kMatIdentity;
    double depth = 0.0;  // the plane's depth in its own frame
    // While the plane is known: the vertices in the order given, in the plane frame,
    // and the x-y boxes of blocks of consecutive segments (four doubles a block), so
    // that the crossing tests pass over far parts of a long contour.
    std::vector<Vec3d> flat;
    std::vector<double> blocks;
};
void contour_clear(Contour* c);
// Asks the contour point by point; on 0 it is accepted (plane known, ring closed)
// or empty.
[[nodiscard]] int contour_ask(VIEW** view_ref, Contour* contour, int (*on_options)(VIEW**),
                              uint32_t help_id);
// Adds one straight-segment point: *accepted 1 when taken. Refusals show a message.
[[nodiscard]] int contour_add_point(VIEW* view, Contour* contour, const Vec3& point, int* accepted);
// Adds a run of points (in order); a run that fails any test is taken back whole.
// 1 when the whole run was taken.
int contour_add_points(VIEW* view, Contour* contour, const PointNode* run);
// 1 when the segment from the last vertex to `point`, or the closing segment from
// `point` to the first vertex, crosses an earlier segment.
int contour_crosses_itself(const Contour* contour, const Vec3& point);
// A solid HATCH from an accepted contour (taken over); 0 with *made null for an empty
// one. `insert` adds it to the drawing. 8 when it cannot be made (contour freed).
[[nodiscard]] int fill_from_contour(VIEW* view, HATCH** out, Contour* contour, int* made,
                                    int insert);
// Message box under "Hatch" (42098); ids below 1 show "Contour is not flat".
void hatch_message(int id);
