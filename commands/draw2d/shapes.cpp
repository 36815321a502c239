// The Rectangle command by its four box methods and the Regular Polygon command.
// Both work in view coordinates, so the shapes lie in the plane of the view through
// their first point.
#include <algorithm>
#include <cmath>

#include "commands/draw2d/internal.h"
#include "graphics/view/view_gdi.h"
#include "model/math/result.h"
#include "model/math/scalar.h"
#include "resources/string_ids.h"

using namespace draw2d;

namespace {

constexpr uint32_t kPromptFirst = IDS_FIRST_POINT, kPromptSecond = IDS_SECOND_POINT, kPromptThird = IDS_THIRD_POINT;
constexpr uint32_t kPromptBoxFirst = IDS_FIRST_CORNER_OF_THE, kPromptBoxOther = IDS_ANOTHER_CORNER_OF_THE,
                   kPromptRectCentre = IDS_RECTANGLE_CENTRE, kPromptRectCorner = IDS_RECTANGLE_CORNER;
constexpr uint32_t kPromptPolygonCentre = IDS_REGULAR_POLYGON_CENTRE, kPromptPolygonRadius = IDS_REGULAR_POLYGON_RADIUS,
                   kHelpPolygon = 40118;
constexpr uint32_t kBoxHelp[4] = {40115, 40116, 40117, 40015};

// Rubber parallelogram of the three-point box method: slot 0, slot 1 and the cursor.
void parallelogram_feedback(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    int ax, ay, bx, by;
    input_slot_pixel(view, 0, &ax, &ay);
    input_slot_pixel(view, 1, &bx, &by);
    const int dx = x - bx, dy = y - by;
    view_gdi_line(view, ax, ay, bx, by);
    view_gdi_line(view, ax, ay, ax + dx, ay + dy);
    view_gdi_line(view, bx, by, x, y);
    view_gdi_line(view, x, y, ax + dx, ay + dy);
}

// Points of a rectangle: A and B (and C for the three-point method).
int rect_ask_points(VIEW** view_ref, Vec3 pts[3], int* method_out) {
    bool have_first = false;
    for (;;) {
        const int m = method_in((*view_ref)->box_method, kBoxMethodLast);
        if (m < 0) return kStepRefused;
        const uint32_t help = kBoxHelp[m];
        auto changed = [&] { return *view_ref && (*view_ref)->box_method != m; };
        static const uint32_t kFirst[4] = {kPromptBoxFirst, kPromptRectCentre, kPromptRectCorner, kPromptFirst};
        static const uint32_t kSecond[4] = {kPromptBoxOther, kPromptRectCorner, kPromptRectCentre, kPromptSecond};
        static const InputMoveFn kFeedback[4] = {cursor_draw_rubber_box, cursor_draw_rubber_box_centred,
                                                 cursor_draw_rubber_box_mirrored, cursor_draw_rubber_line};
        int code;
        if (!have_first) {
            code = input_point(view_ref, kFirst[m], cursor_draw_crosshair, box_method_callback, &pts[0], help);
            if (code != 0) {
                if (code == kStepCancelled || !changed()) return code;
                continue;
            }
            have_first = true;
        }
        set_slot(*view_ref, 0, pts[0]);
        code = input_point(view_ref, kSecond[m], kFeedback[m], box_method_callback, &pts[1], help);
        if (code != 0) {
            if (code == kStepCancelled || !changed()) return code;
            continue;
        }
        if (m == kBoxThreePoints) {
            set_slot(*view_ref, 1, pts[1]);
            code = input_point(view_ref, kPromptThird, parallelogram_feedback, box_method_callback, &pts[2], help);
            if (code != 0) {
                if (code == kStepCancelled || !changed()) return code;
                continue;
            }
        }
        if (m == kBoxCornerCentre)
            std::swap(pts[0], pts[1]);  // A the centre (second point), B the corner
        *method_out = m;
        return 0;
    }
}

}  // namespace

int cmd_rectangle(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    view_set_input_mode(*view_ref, kInputActive);
    int code;
    for (;;) {
        Vec3 pts[3];
        int m = 0;
        code = rect_ask_points(view_ref, pts, &m);
        if (code != 0) break;
        VIEW* v = *view_ref;
        Vec3 A = to_view(v, pts[0]), B = to_view(v, pts[1]);
        Vec3 outline[5];
        if (m == kBoxThreePoints) {
            const Vec3 C = to_view(v, pts[2]);
            const Vec3 D = vec(static_cast<double>(A.x) + C.x - B.x, static_cast<double>(A.y) + C.y - B.y,
                               static_cast<double>(A.z) + C.z - B.z);
            const Vec3 order[5] = {A, D, C, B, A};
            std::copy(order, order + 5, outline);
        } else {
            if (m == kBoxCentreCorner || m == kBoxCornerCentre)
                A = vec(2.0 * A.x - B.x, 2.0 * A.y - B.y, 2.0 * A.z - B.z);
            const bool crosswise = v->corner_height != 0;
            const Vec3 D1 = vec(B.x, A.y, crosswise ? A.z : B.z);
            const Vec3 D2 = vec(A.x, B.y, crosswise ? B.z : A.z);
            const Vec3 order[5] = {A, D2, B, D1, A};
            std::copy(order, order + 5, outline);
        }
        auto rect = new_polyline();
        if (!rect) {
            code = kOutOfMemory;
            break;
        }
        int status = 0;
        // Given in outline order; the list prepends, so it holds them the other way round.
        for (int i = 0; i <= 4 && status == 0; ++i) status = plist_add(&rect->control, to_world(v, outline[i]));
        if (status != 0) {
            rtc_destroy(rect.release());
            code = status;
            break;
        }
        code = drawing_add_object(v, std::move(rect), 1);
        if (code != 0) break;
    }
    leave_input(view_ref);
    return code;
}

// ---- Regular polygon

namespace {
int polygon_count(const VIEW* v) { return std::clamp(v->polygon_count, kPolygonMin, kPolygonMax); }
}  // namespace

void polygon_feedback(VIEW* view, int x, int y) {
    const int r = cursor_draw_circle(view, x, y);
    const int n = polygon_count(view);
    if (n > 18) return;
    int cx, cy;
    input_slot_pixel(view, 0, &cx, &cy);
    int px = cx, py = cy + r;
    for (int i = 1; i <= n; ++i) {
        const double a = kPi / 2 + 2 * kPi * i / n;
        const int qx = cx + static_cast<int>(std::lround(r * std::cos(a)));
        const int qy = cy + static_cast<int>(std::lround(r * std::sin(a)));
        view_gdi_line(view, px, py, qx, qy);
        px = qx, py = qy;
    }
}

int cmd_regular_polygon(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    view_set_input_mode(*view_ref, kInputActive);
    int code;
    Vec3 centre{};
    bool have_centre = false;
    for (;;) {
        if (!have_centre) {
            const int before = (*view_ref)->polygon_count;
            code = input_point(view_ref, kPromptPolygonCentre, cursor_draw_crosshair, polygon_options_callback,
                               &centre, kHelpPolygon);
            if (code == kStepCancelled) break;
            if (code == kStepRefused && (*view_ref)->polygon_count == before) break;
            if (code != 0) continue;
            have_centre = true;
        }
        set_slot(*view_ref, 0, centre);
        const int before = (*view_ref)->polygon_count;
        double r = 0;
        code = input_distance(view_ref, centre, kPromptPolygonRadius, 0, polygon_feedback, polygon_options_callback,
                              &r, kHelpPolygon);
        if (code == kStepRefused) {
            if ((*view_ref)->polygon_count == before) have_centre = false;
            continue;
        }
        if (code != 0) break;
        VIEW* v = *view_ref;
        const int n = polygon_count(v);
        const Vec3 c = to_view(v, centre);
        auto poly = new_polyline();
        if (!poly) {
            code = kOutOfMemory;
            break;
        }
        int status = 0;
        for (int i = 0; i <= n && status == 0; ++i) {
            const double a = 2 * kPi * (i % n) / n;
            status = plist_add(&poly->control, to_world(v, vec(c.x + r * std::sin(a), c.y + r * std::cos(a), c.z)));
        }
        if (status != 0) {
            rtc_destroy(poly.release());
            code = status;
            break;
        }
        code = drawing_add_object(v, std::move(poly), 1);
        if (code != 0) break;
        have_centre = false;
    }
    leave_input(view_ref);
    return code;
}
