// Method dialogs and options callbacks of the 2D drawing commands, the parameter
// dialog hooks and the registration of the command functions.
#include <algorithm>

#include "commands/draw2d/dialog_hooks.h"
#include "commands/draw2d/internal.h"
#include "resources/string_ids.h"

using namespace draw2d;

namespace {

Draw2dDialogs* g_dialogs = nullptr;

// Button texts of the method dialogs (string ids).
constexpr uint32_t kLineChoices[kLineMethodLast + 1] = {IDS_LINE_SEPARATE,      IDS_LINE_CONNECTED, IDS_LINE_PARALLEL,
                                                        IDS_LINE_PERPENDICULAR, IDS_LINE_CROSS,     IDS_LINE_FAN};
constexpr uint32_t kBoxChoices[kBoxMethodLast + 1] = {IDS_BOX_TWO_CORNERS, IDS_BOX_CENTRE_CORNER, IDS_BOX_CORNER_CENTRE,
                                                      IDS_BOX_THREE_CORNERS};
constexpr uint32_t kCircleChoices[kCircleMethodLast + 1] = {IDS_CIRCLE_CENTRE_RADIUS, IDS_CIRCLE_CENTRE_POINT,
                                                            IDS_CIRCLE_POINT_CENTRE, IDS_CIRCLE_DIAMETER,
                                                            IDS_CIRCLE_THREE_POINTS};
constexpr uint32_t kArcChoices[kArcMethodLast + 1] = {IDS_ARC_START_END_POINT, IDS_ARC_START_POINT_END,
                                                      IDS_ARC_CENTRE_START_ANGLE};
constexpr uint32_t kEllipseChoices[kEllipseMethodLast + 1] = {IDS_ELLIPSE_CENTRE_CORNER, IDS_ELLIPSE_CORNER_CENTRE,
                                                              IDS_ELLIPSE_TWO_CORNERS};

bool run_method(VIEW* view, uint32_t title, const uint32_t* choices, int count, int32_t* method) {
    ViewHost* h = view_host();
    if (!h || !view) return false;
    const int current = std::clamp(*method, 0, count - 1);
    const int chosen = h->method_dialog(view, title, choices, count, current);
    if (chosen < 0 || chosen >= count || chosen == *method) return false;
    *method = chosen;
    return true;
}

VIEW* view_of(VIEW** ref) { return ref ? *ref : nullptr; }

}  // namespace

Draw2dDialogs* draw2d_set_dialogs(Draw2dDialogs* dialogs) {
    Draw2dDialogs* old = g_dialogs;
    g_dialogs = dialogs;
    return old;
}
Draw2dDialogs* draw2d_dialogs() { return g_dialogs; }

bool method_dialog_line(VIEW* v) {
    return v && run_method(v, IDS_LINE, kLineChoices, kLineMethodLast + 1, &v->line_method);
}
bool method_dialog_circle(VIEW* v) {
    return v && run_method(v, IDS_CIRCLE, kCircleChoices, kCircleMethodLast + 1, &v->circle_method);
}
bool method_dialog_arc(VIEW* v) {
    return v && run_method(v, IDS_ARC, kArcChoices, kArcMethodLast + 1, &v->arc_method);
}
bool method_dialog_box(VIEW* v) {
    return v && run_method(v, IDS_BOX, kBoxChoices, kBoxMethodLast + 1, &v->box_method);
}
bool method_dialog_ellipse(VIEW* v) {
    return v && run_method(v, IDS_ELLIPSE, kEllipseChoices, kEllipseMethodLast + 1, &v->ellipse_method);
}

bool regular_polygon_dialog(VIEW* view) {
    if (!view || !g_dialogs) return false;
    const int current = std::clamp(view->polygon_count, kPolygonMin, kPolygonMax);
    const int n = g_dialogs->polygon_count(view, current);
    if (n < kPolygonMin || n > kPolygonMax || n == view->polygon_count) return false;
    view->polygon_count = n;
    return true;
}

bool text_settings_dialog(VIEW* view) { return view && g_dialogs && g_dialogs->text_settings(view); }

int hatch_style_settings(VIEW* view) {
    if (!view || !g_dialogs) return 0;
    return g_dialogs->hatch_style(view) < 0 ? -1 : 0;
}

int line_method_callback(VIEW** r) { return method_dialog_line(view_of(r)) ? 1 : 0; }
int box_method_callback(VIEW** r) { return method_dialog_box(view_of(r)) ? 1 : 0; }
int circle_method_callback(VIEW** r) { return method_dialog_circle(view_of(r)) ? 1 : 0; }
int arc_method_callback(VIEW** r) { return method_dialog_arc(view_of(r)) ? 1 : 0; }
int ellipse_method_callback(VIEW** r) { return method_dialog_ellipse(view_of(r)) ? 1 : 0; }
int polygon_options_callback(VIEW** r) { return regular_polygon_dialog(view_of(r)) ? 1 : 0; }

namespace {
template <int (*F)(VIEW**)>
int command_fn(void* arg) {
    return F(static_cast<VIEW**>(arg));
}
}  // namespace

void draw2d_register_commands(void (*set)(int id, Draw2dCommandFn fn)) {
    if (!set) return;
    set(kCmdLine, command_fn<cmd_line>);
    set(kCmdCircle, command_fn<cmd_circle>);
    set(kCmdArc, command_fn<cmd_arc>);
    set(kCmdPolyline, command_fn<cmd_polyline>);
    set(kCmdRectangle, command_fn<cmd_rectangle>);
    set(kCmdText, command_fn<cmd_text>);
    set(kCmdHatch, command_fn<cmd_hatch>);
    set(kCmdHatchHole, command_fn<cmd_hatch_hole>);
    set(kCmdRegularPolygon, command_fn<cmd_regular_polygon>);
    set(kCmdEllipse, command_fn<cmd_ellipse>);
    set(kCmdFill, command_fn<cmd_fill>);
}
