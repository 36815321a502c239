// The Circle (five methods), Arc (three) and Ellipse (three) commands.
#include <algorithm>
#include <cmath>

#include "commands/draw2d/internal.h"
#include "commands/units/coord_text.h"
#include "graphics/view/view_gdi.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/math/scalar.h"
#include "model/math/vec.h"
#include "resources/string_ids.h"

using namespace draw2d;

namespace {

constexpr uint32_t kPromptFirst = IDS_FIRST_POINT, kPromptSecond = IDS_SECOND_POINT, kPromptThird = IDS_THIRD_POINT;
constexpr uint32_t kCircleCentre = IDS_CIRCLE_CENTRE, kCircleRadius = IDS_CIRCLE_RADIUS,
                   kCirclePoint = IDS_POINT_AT_THE_CIRCLE, kDiameterStart = IDS_CIRCLE_DIAMETER_START_POINT,
                   kDiameterEnd = IDS_CIRCLE_DIAMETER_END_POINT;
constexpr uint32_t kArcStart = IDS_ARC_START_POINT, kArcEnd = IDS_ARC_END_POINT, kArcPoint = IDS_POINT_AT_THE_ARC,
                   kArcCentre = IDS_CENTRE_OF_THE_ARC, kArcAngle = IDS_ANGLE_OF_THE_ARC;
constexpr uint32_t kEllipseCentre = IDS_ELLIPSE_CENTRE, kEllipseCorner = IDS_CORNER_OF_BOX_ELLIPSE,
                   kEllipseOther = IDS_ANOTHER_CORNER_OF_BOX;
constexpr double kSmallest = 0.001;

double dist3(const Vec3& a, const Vec3& b) {
    const double dx = static_cast<double>(a.x) - b.x, dy = static_cast<double>(a.y) - b.y,
                 dz = static_cast<double>(a.z) - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The circle through three points in their own plane: 1 with centre and radius.
int circle_through(const Vec3& p1, const Vec3& p2, const Vec3& p3, Vec3* centre, double* r) {
    Vec3d n;
    plane_normal_3pt(&n, &p1, &p2, &p3);
    if (!(std::fabs(n.x) + std::fabs(n.y) + std::fabs(n.z) > 0)) return 0;
    Matrix43 to, from;
    mat_align_z(&to, nullptr, n.x, n.y, n.z, 1);
    mat_align_z(&from, nullptr, n.x, n.y, n.z, 0);
    Vec3 q1, q2, q3, c;
    mat_xform_point(&q1, &p1, &to);
    mat_xform_point(&q2, &p2, &to);
    mat_xform_point(&q3, &p3, &to);
    if (!arc_3pt(r, &c, q1, q2, q3)) return 0;
    mat_xform_point(centre, &c, &from);
    return std::isfinite(*r) && vec3_finite(*centre);
}

// ---- Feedback

namespace {

// The crosshair at the cursor, and the pixels of the first two points given.
void crosshair_and_two_points(VIEW* view, int x, int y, int* ax, int* ay, int* bx, int* by) {
    cursor_draw_crosshair(view, x, y);
    input_slot_pixel(view, 0, ax, ay);
    input_slot_pixel(view, 1, bx, by);
}

// The arc through the first two points and the cursor, the cursor standing for the
// arc's middle point or its end.
void arc3_feedback(VIEW* view, int x, int y, bool cursor_is_middle) {
    int ax, ay, bx, by;
    crosshair_and_two_points(view, x, y, &ax, &ay, &bx, &by);
    if (cursor_is_middle)
        view_gdi_arc3p(view, ax, ay, x, y, bx, by);
    else
        view_gdi_arc3p(view, ax, ay, bx, by, x, y);
}

}  // namespace

void circle_about_cursor(VIEW* view, int x, int y) {
    const int r = cursor_draw_radius(view, x, y);
    view_gdi_circle(view, x, y, r);
    cursor_draw_centre_marker(view, x, y);
}

void diameter_feedback(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    int px, py;
    input_slot_pixel(view, 0, &px, &py);
    const int cx = static_cast<int>(std::floor((static_cast<double>(px) + x) / 2));
    const int cy = static_cast<int>(std::floor((static_cast<double>(py) + y) / 2));
    const int r = static_cast<int>(std::hypot(static_cast<double>(x) - px, static_cast<double>(y) - py) / 2);
    view_gdi_circle(view, cx, cy, r);
    cursor_draw_centre_marker(view, cx, cy);
}

void circle3_feedback(VIEW* view, int x, int y) {
    int ax, ay, bx, by;
    crosshair_and_two_points(view, x, y, &ax, &ay, &bx, &by);
    const int64_t cross = (static_cast<int64_t>(bx) - ax) * (static_cast<int64_t>(y) - ay) -
                          (static_cast<int64_t>(by) - ay) * (static_cast<int64_t>(x) - ax);
    if (cross == 0) {
        view_gdi_line(view, ax, ay, x, y);
        return;
    }
    // Centre of the circle through the three pixels, in doubles of whole pixels.
    const double d = 2.0 * static_cast<double>(cross);
    const double b2 = (static_cast<double>(bx) - ax) * (bx - ax) + (static_cast<double>(by) - ay) * (by - ay);
    const double c2 = (static_cast<double>(x) - ax) * (x - ax) + (static_cast<double>(y) - ay) * (y - ay);
    const double ux = ((static_cast<double>(y) - ay) * b2 - (static_cast<double>(by) - ay) * c2) / d;
    const double uy = ((static_cast<double>(bx) - ax) * c2 - (static_cast<double>(x) - ax) * b2) / d;
    const double r = std::hypot(ux, uy);
    if (!(r < (1 << 20))) return;
    view_gdi_circle(view, ax + static_cast<int>(std::lround(ux)), ay + static_cast<int>(std::lround(uy)),
                    static_cast<int>(std::lround(r)));
}

// Arc of method 2: from the start (slot 1) about the centre (slot 0) to the cursor's
// direction.
void arc_angle_feedback(VIEW* view, int x, int y) {
    int cx, cy, sx, sy;
    crosshair_and_two_points(view, x, y, &cx, &cy, &sx, &sy);
    view_gdi_line(view, cx, cy, x, y);
    DocInputState* st = view_input_state(view);
    if (!st) return;
    const Vec3 c = to_view(view, st->points[0]), s = to_view(view, st->points[1]);
    const double rp = std::hypot(static_cast<double>(s.x) - c.x, static_cast<double>(s.y) - c.y) *
                      view->projection.scale;
    if (!(rp >= 1 && rp < (1 << 20))) return;
    const double a0 = std::atan2(static_cast<double>(sy) - cy, static_cast<double>(sx) - cx);
    const double a1 = std::atan2(static_cast<double>(y) - cy, static_cast<double>(x) - cx);
    double sweep = a1 - a0;
    while (sweep <= 0) sweep += kTwoPi;
    const int r = static_cast<int>(std::lround(rp));
    auto at = [&](double a, int* px, int* py) {
        *px = cx + static_cast<int>(std::lround(r * std::cos(a)));
        *py = cy + static_cast<int>(std::lround(r * std::sin(a)));
    };
    int x0, y0, x1, y1, x2, y2;
    at(a0, &x0, &y0);
    at(a0 + sweep / 2, &x1, &y1);
    at(a1, &x2, &y2);
    view_gdi_arc3p(view, x0, y0, x1, y1, x2, y2);
}

// Ellipse polygon about pixel (cx, cy) with semi-axes a, b.
void ellipse_polygon(VIEW* view, int cx, int cy, double a, double b) {
    const double acc = view->accuracy_angular;
    int n = std::isfinite(acc) && acc > 0 ? static_cast<int>(std::min(360.0, std::trunc(kTwoPi / acc))) : 24;
    n = std::max(n, 3);
    int px = cx + static_cast<int>(std::lround(a)), py = cy;
    for (int i = 1; i <= n; ++i) {
        const double t = kTwoPi * i / n;
        const int qx = cx + static_cast<int>(std::lround(a * std::cos(t)));
        const int qy = cy + static_cast<int>(std::lround(b * std::sin(t)));
        view_gdi_line(view, px, py, qx, qy);
        px = qx, py = qy;
    }
}

void ellipse_feedback_mirrored(VIEW* view, int x, int y) {
    cursor_draw_rubber_box_mirrored(view, x, y);
    int px, py;
    input_slot_pixel(view, 0, &px, &py);
    ellipse_polygon(view, x, y, std::fabs(static_cast<double>(x) - px), std::fabs(static_cast<double>(y) - py));
}

void ellipse_feedback_corners(VIEW* view, int x, int y) {
    cursor_draw_rubber_box(view, x, y);
    int px, py;
    input_slot_pixel(view, 0, &px, &py);
    const int cx = static_cast<int>(std::floor((static_cast<double>(px) + x) / 2));
    const int cy = static_cast<int>(std::floor((static_cast<double>(py) + y) / 2));
    ellipse_polygon(view, cx, cy, std::fabs(static_cast<double>(x) - px) / 2,
                    std::fabs(static_cast<double>(y) - py) / 2);
}

// ---- Asking

// A two-or-three-step asking loop common to the three commands: the first point
// stays when the method changes at a later step.
struct Steps {
    VIEW** view_ref;
    int32_t VIEW::*method;
    InputOptionsFn callback;
    int m = 0;
    bool changed() const { return *view_ref && (**view_ref).*method != m; }
    // The result of a failed step: 1 ask again, else the code to return.
    int after(int code) const { return (code == kStepCancelled || !changed()) ? code : 1; }
};

int circle_ask(VIEW** view_ref, Vec3* centre, double* radius) {
    Steps s{view_ref, &VIEW::circle_method, circle_method_callback};
    Vec3 first{};
    bool have_first = false;
    for (;;) {
        s.m = method_in((*view_ref)->circle_method, kCircleMethodLast);
        if (s.m < 0) return kStepRefused;
        const uint32_t help = 40107 + static_cast<uint32_t>(s.m);
        static const uint32_t kFirst[5] = {kCircleCentre, kCircleCentre, kCirclePoint, kDiameterStart, kPromptFirst};
        int code;
        if (!have_first) {
            code = input_point(view_ref, kFirst[s.m], cursor_draw_crosshair, s.callback, &first, help);
            if (code != 0) {
                if ((code = s.after(code)) != 1) return code;
                continue;
            }
            have_first = true;
        }
        set_slot(*view_ref, 0, first);
        Vec3 second{};
        if (s.m == kCircleCentreRadius) {
            VIEW* v = *view_ref;
            const int32_t type = v->coordinate_type, cart = v->cartesian;
            v->coordinate_type = kCoordTypeLastPoint;
            v->cartesian = 0;
            bool typed = false;
            code = input_distance(view_ref, first, kCircleRadius, 0, [](VIEW* w, int x, int y) { cursor_draw_circle(w, x, y); },
                                  s.callback, radius, help, &typed);
            v->coordinate_type = type;
            v->cartesian = cart;
            if (code == 0 && typed && !(*radius >= kSmallest)) {
                // A typed radius of no size (or below nothing) is refused; the centre stays.
                input_refuse_typed();
                continue;
            }
            if (code == 0) {
                *centre = first;
                return 0;
            }
        } else if (s.m == kCircleCentrePoint || s.m == kCirclePointCentre) {
            const bool from_centre = s.m == kCircleCentrePoint;
            code =
                input_point(view_ref, from_centre ? kCirclePoint : kCircleCentre,
                            from_centre ? [](VIEW* w, int x, int y) { cursor_draw_circle(w, x, y); }
                                        : circle_about_cursor,
                            s.callback, &second, help);
            if (code == 0) {
                *centre = from_centre ? first : second;
                *radius = dist3(first, second);
                return 0;
            }
        } else if (s.m == kCircleDiameter) {
            code = input_point(view_ref, kDiameterEnd, diameter_feedback, s.callback, &second, help);
            if (code == 0) {
                *centre = vec((static_cast<double>(first.x) + second.x) / 2, (static_cast<double>(first.y) + second.y) / 2,
                              (static_cast<double>(first.z) + second.z) / 2);
                *radius = dist3(first, second) / 2;
                return 0;
            }
        } else {
            code = input_point(view_ref, kPromptSecond, cursor_draw_rubber_line, s.callback, &second, help);
            if (code == 0) {
                set_slot(*view_ref, 1, second);
                Vec3 third;
                code = input_point(view_ref, kPromptThird, circle3_feedback, s.callback, &third, help);
                if (code == 0) {
                    if (!circle_through(first, second, third, centre, radius)) *radius = 0;  // asked again
                    return 0;
                }
            }
        }
        if ((code = s.after(code)) != 1) return code;
    }
}

int arc_ask(VIEW** view_ref, Vec3* start, Vec3* middle, Vec3* end) {
    Steps s{view_ref, &VIEW::arc_method, arc_method_callback};
    Vec3 first{};
    bool have_first = false;
    for (;;) {
        s.m = method_in((*view_ref)->arc_method, kArcMethodLast);
        if (s.m < 0) return kStepRefused;
        const uint32_t help = 40112 + static_cast<uint32_t>(s.m);
        int code;
        if (!have_first) {
            code = input_point(view_ref, s.m == kArcCentreStartAngle ? kArcCentre : kArcStart,
                               cursor_draw_crosshair, s.callback, &first, help);
            if (code != 0) {
                if ((code = s.after(code)) != 1) return code;
                continue;
            }
            have_first = true;
        }
        set_slot(*view_ref, 0, first);
        Vec3 second{}, third{};
        static const uint32_t kSecond[3] = {kArcEnd, kArcPoint, kArcStart};
        code = input_point(view_ref, kSecond[s.m], cursor_draw_rubber_line, s.callback, &second, help);
        if (code == 0) {
            set_slot(*view_ref, 1, second);
            if (s.m != kArcCentreStartAngle) {
                const bool end_first = s.m == kArcStartEndMiddle;
                code = input_point(view_ref, end_first ? kArcPoint : kArcEnd,
                                   end_first ? arc3_feedback_middle : arc3_feedback_end, s.callback,
                                   &third, help);
                if (code == 0) {
                    *start = first;
                    *middle = end_first ? third : second;
                    *end = end_first ? second : third;
                    return 0;
                }
            } else {
                VIEW* v = *view_ref;
                const int32_t cart = v->cartesian;
                v->cartesian = 0;
                double sweep = 0;
                code = input_angle(view_ref, first, second, kArcAngle, arc_angle_feedback, s.callback, &sweep, help);
                v->cartesian = cart;
                if (code == 0) {
                    VIEW* now = *view_ref;
                    const Vec3 c = to_view(now, first), p = to_view(now, second);
                    const double r = std::hypot(static_cast<double>(p.x) - c.x, static_cast<double>(p.y) - c.y);
                    const double a = std::atan2(static_cast<double>(p.y) - c.y, static_cast<double>(p.x) - c.x);
                    *start = second;
                    *end = to_world(now, vec(c.x + r * std::cos(a + sweep), c.y + r * std::sin(a + sweep), p.z));
                    *middle = to_world(now, vec(c.x + r * std::cos(a + sweep / 2), c.y + r * std::sin(a + sweep / 2), p.z));
                    return 0;
                }
            }
        }
        if ((code = s.after(code)) != 1) return code;
    }
}

int ellipse_ask(VIEW** view_ref, Vec3* centre, Vec3* corner) {
    Steps s{view_ref, &VIEW::ellipse_method, ellipse_method_callback};
    Vec3 first{};
    bool have_first = false;
    for (;;) {
        s.m = method_in((*view_ref)->ellipse_method, kEllipseMethodLast);
        if (s.m < 0) return kStepRefused;
        const uint32_t help = 40120 + static_cast<uint32_t>(s.m);
        int code;
        if (!have_first) {
            code =
                input_point(view_ref, s.m == kEllipseCentreCorner ? kEllipseCentre : kEllipseCorner,
                            cursor_draw_crosshair, s.callback, &first, help);
            if (code != 0) {
                if ((code = s.after(code)) != 1) return code;
                continue;
            }
            have_first = true;
        }
        set_slot(*view_ref, 0, first);
        static const uint32_t kSecond[3] = {kEllipseCorner, kEllipseCentre, kEllipseOther};
        static const InputMoveFn kFeedback[3] = {ellipse_feedback_centred, ellipse_feedback_mirrored,
                                                 ellipse_feedback_corners};
        Vec3 second;
        code = input_point(view_ref, kSecond[s.m], kFeedback[s.m], s.callback, &second, help);
        if (code == 0) {
            if (s.m == kEllipseCentreCorner) {
                *centre = first, *corner = second;
            } else if (s.m == kEllipseCornerCentre) {
                *centre = second, *corner = first;
            } else {
                *centre = vec((static_cast<double>(first.x) + second.x) / 2, (static_cast<double>(first.y) + second.y) / 2,
                              (static_cast<double>(first.z) + second.z) / 2);
                *corner = first;
            }
            return 0;
        }
        if (code == kStepRefused && !s.changed()) {
            have_first = false;  // the first point again
            continue;
        }
        if ((code = s.after(code)) != 1) return code;
    }
}

}  // namespace

void arc3_feedback_middle(VIEW* view, int x, int y) { arc3_feedback(view, x, y, true); }

void arc3_feedback_end(VIEW* view, int x, int y) { arc3_feedback(view, x, y, false); }

void ellipse_feedback_centred(VIEW* view, int x, int y) {
    cursor_draw_rubber_box_centred(view, x, y);
    int px, py;
    input_slot_pixel(view, 0, &px, &py);
    ellipse_polygon(view, px, py, std::fabs(static_cast<double>(x) - px), std::fabs(static_cast<double>(y) - py));
}

void ellipse_axes(const VIEW* view, const Vec3& centre, const Vec3& corner, Vec3* axis1, Vec3* axis2) {
    const Vec3 c = to_view(view, centre), k = to_view(view, corner);
    *axis1 = to_world(view, vec(k.x, c.y, c.z));
    *axis2 = to_world(view, vec(c.x, k.y, c.z));
}

int cmd_circle(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    view_set_input_mode(*view_ref, kInputActive);
    int code;
    for (;;) {
        Vec3 centre{};
        double r = 0;
        code = circle_ask(view_ref, &centre, &r);
        if (code != 0) break;
        if (!(r >= kSmallest) || !std::isfinite(r)) continue;
        auto c = rtc_make<ELARC>();
        if (!c) {
            code = kOutOfMemory;
            break;
        }
        VIEW* v = *view_ref;
        const Vec3 cv = to_view(v, centre);
        c->centre = centre;
        c->axis1 = to_world(v, vec(cv.x + r, cv.y, cv.z));
        c->axis2 = to_world(v, vec(cv.x, cv.y + r, cv.z));
        c->start = c->end = 0;
        c->flags = kElarcCircular | kElarcWholeEllipse;
        if ((code = drawing_add_object(v, std::move(c), 0)) != 0) break;
    }
    leave_input(view_ref);
    return code;
}

int arc_build(VIEW* view, const Vec3& start, const Vec3& middle, const Vec3& end) {
    auto arc = rtc_make<ELARC>();
    if (!arc) return kOutOfMemory;
    Vec3d n;
    plane_normal_3pt(&n, &start, &middle, &end);
    Matrix43 to, from;
    mat_align_z(&to, nullptr, n.x, n.y, n.z, 1);
    mat_align_z(&from, nullptr, n.x, n.y, n.z, 0);
    Vec3 q1, q2, q3;
    mat_xform_point(&q1, &start, &to);
    mat_xform_point(&q2, &middle, &to);
    mat_xform_point(&q3, &end, &to);
    double cx, cy, r, sx, sy, ex, ey;
    if (!circle_3pt(&cx, &cy, &r, &sx, &sy, &ex, &ey, q1, q2, q3) || !std::isfinite(r)) return 1;
    const double z = q1.z;
    const Vec3 c = vec(cx, cy, z), a1 = vec(cx + r, cy, z), a2 = vec(cx, cy + r, z);
    mat_xform_point(&arc->centre, &c, &from);
    mat_xform_point(&arc->axis1, &a1, &from);
    mat_xform_point(&arc->axis2, &a2, &from);
    auto angle = [&](double px, double py) {
        const double dx = px - cx, dy = py - cy, len = std::hypot(dx, dy);
        if (len < 1e-30) return 0.0;
        const double a = std::acos(std::clamp(dx / len, -1.0, 1.0));
        return dy < 0 ? kTwoPi - a : a;
    };
    arc->start = angle(sx, sy);
    arc->end = angle(ex, ey);
    arc->flags = kElarcCircular;
    return drawing_add_object(view, std::move(arc), 0);
}

int cmd_arc(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    view_set_input_mode(*view_ref, kInputActive);
    int code;
    for (;;) {
        Vec3 s, m, e;
        if ((code = arc_ask(view_ref, &s, &m, &e)) != 0) break;
        if ((code = arc_build(*view_ref, s, m, e)) != 0) break;
    }
    leave_input(view_ref);
    return code;
}

int cmd_ellipse(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    view_set_input_mode(*view_ref, kInputActive);
    int code;
    for (;;) {
        Vec3 centre, corner;
        if ((code = ellipse_ask(view_ref, &centre, &corner)) != 0) break;
        VIEW* v = *view_ref;
        const Vec3 c = to_view(v, centre), k = to_view(v, corner);
        // A corner on the centre makes no ellipse: asked again, as a tiny circle is.
        if (std::fabs(static_cast<double>(k.x) - c.x) < kSmallest &&
            std::fabs(static_cast<double>(k.y) - c.y) < kSmallest)
            continue;
        auto e = rtc_make<ELARC>();
        if (!e) {
            code = kOutOfMemory;
            break;
        }
        e->centre = centre;
        ellipse_axes(v, centre, corner, &e->axis1, &e->axis2);
        e->start = e->end = 0;
        e->flags = kElarcWholeEllipse;
        if ((code = drawing_add_object(v, std::move(e), 0)) != 0) break;
    }
    leave_input(view_ref);
    return code;
}
