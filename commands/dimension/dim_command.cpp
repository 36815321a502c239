// The dimension command loop and the input steps of every dimension mode.
#include "commands/dimension/dim_command.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>

#include "commands/dimension/dim_layout.h"
#include "commands/dimension/dim_settings.h"
#include "commands/dimension/dim_text.h"
#include "commands/editcore/picking.h"
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/support.h"
#include "graphics/view/projection.h"
#include "graphics/view/view.h"
#include "graphics/view/view_gdi.h"
#include "graphics/view/view_host.h"
#include "model/db/wire.h"
#include "model/db/zobj.h"
#include "model/font/strokefont.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/math/scalar.h"
#include "model/math/vec.h"
#include "model/rtc/rtc.h"
#include "model/services/msgbox.h"
#include "resources/string_ids.h"

namespace {

constexpr int kModes[11] = {0, 1, 2, 8, 9, 10, 5, 3, 4, 7, 6};
constexpr uint32_t kFirstPoint = IDS_FIRST_POINT, kSecondPoint = IDS_SECOND_POINT, kTextPosition = IDS_TEXT_POSITION;
constexpr uint32_t kLine1Start = IDS_FIRST_LINE_START_POINT, kLine1End = IDS_FIRST_LINE_END_POINT,
                   kLine2Start = IDS_SECOND_LINE_START_POINT, kLine2End = IDS_SECOND_LINE_END_POINTS;
constexpr uint32_t kParallel = IDS_THOSE_LINES_ARE_PARALLEL, kVertex = IDS_VERTEX_OF_THE_ANGLE,
                   kSelectCircle = IDS_SELECT_CIRCLE_OR_ARC;

Vec3 vec(double x, double y, double z) {
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}
Vec3 to_view(const VIEW* v, const Vec3& p) {
    Vec3 out;
    world_to_view(&v->projection, p, &out);
    return out;
}
bool same(const Vec3& a, const Vec3& b, double eps) {
    return std::fabs(a.x - b.x) < eps && std::fabs(a.y - b.y) < eps && std::fabs(a.z - b.z) < eps;
}

// The font the rubber bands measure with, sized in pixels from the view: a copy
// of the built-in font, whose own size stays as it is.
StrokeFont* pixel_font(const VIEW* v) {
    static StrokeFont* f = font_copy(font_default());
    if (!f) return nullptr;
    const double s = v->projection.scale;
    auto px = [&](double units) {
        const double p = std::round(units * s);
        return static_cast<int>(std::isfinite(p) ? std::clamp(p, 0.0, 30000.0) : 0.0);
    };
    font_set_size(f, px(v->dimension_values[kDimTextWidth]), px(v->dimension_values[kDimTextHeight]));
    return f;
}

int options(VIEW** view_ref) {
    if (view_ref && *view_ref) {
        dim_settings_edit(*view_ref);
        pixel_font(*view_ref);
    }
    return 0;
}

// ---- Rubber bands

int g_mode = 0;  // mode of the running step
double g_arc_from = 0, g_arc_to = 0;  // angular rubber band: the rays' directions

void measure_band(VIEW* v, int x, int y) {
    cursor_draw_crosshair(v, x, y);
    int px, py;
    input_slot_pixel(v, 0, &px, &py);
    if (g_mode == kDimHorizontal)
        view_gdi_line(v, px, py, x, py);
    else if (g_mode == kDimVertical)
        view_gdi_line(v, px, py, px, y);
    else
        view_gdi_line(v, px, py, x, y);
}

// The text box at the cursor, turned by the text direction.
void text_band(VIEW* v, int x, int y) {
    cursor_draw_crosshair(v, x, y);
    const DimState& s = dim_state();
    const double w = s.text_px, h = std::round(v->dimension_values[kDimTextHeight] * v->projection.scale);
    const double c = s.cos, sn = s.sin;
    double pts[4][2] = {{-w / 2, -h / 2}, {w / 2, -h / 2}, {w / 2, h / 2}, {-w / 2, h / 2}};
    int q[4][2];
    for (int i = 0; i < 4; ++i) {
        q[i][0] = x + static_cast<int>(std::lround(pts[i][0] * c - pts[i][1] * sn));
        q[i][1] = y + static_cast<int>(std::lround(pts[i][0] * sn + pts[i][1] * c));
    }
    for (int i = 0; i < 4; ++i) view_gdi_line(v, q[i][0], q[i][1], q[(i + 1) % 4][0], q[(i + 1) % 4][1]);
}

// Linear text position: the text box, and the extension lines from both measured
// points (slots 1 and 2) to the dimension line through the cursor.
void linear_text_band(VIEW* v, int x, int y) {
    text_band(v, x, y);
    int ax, ay, bx, by;
    input_slot_pixel(v, 1, &ax, &ay);
    input_slot_pixel(v, 2, &bx, &by);
    double ux = 1, uy = 0;  // the dimension line's direction in pixels
    if (g_mode == kDimVertical) {
        ux = 0, uy = 1;
    } else if (g_mode == kDimAligned) {
        const double l = std::hypot(double(bx) - ax, double(by) - ay);
        if (!(l > 0.5)) return;
        ux = (bx - ax) / l, uy = (by - ay) / l;
    }
    const double nx = -uy, ny = ux;
    for (const auto& [px, py] : {std::pair{ax, ay}, std::pair{bx, by}}) {
        const double d = (x - px) * nx + (y - py) * ny;
        view_gdi_line(v, px, py, px + static_cast<int>(std::lround(d * nx)),
                      py + static_cast<int>(std::lround(d * ny)));
    }
}

// Radius or diameter line from the centre (slot 0) toward the cursor.
void radial_band(VIEW* v, int x, int y) {
    text_band(v, x, y);
    int cx, cy;
    input_slot_pixel(v, 0, &cx, &cy);
    view_gdi_line(v, cx, cy, x, y);
    if (g_mode == kDimDiameter || g_mode == kDimRadius2) view_gdi_line(v, cx, cy, 2 * cx - x, 2 * cy - y);
}

void ray_band(VIEW* v, int x, int y) {
    cursor_draw_crosshair(v, x, y);
    int cx, cy;
    input_slot_pixel(v, g_mode == kDimAngleVertex ? 0 : 2, &cx, &cy);
    view_gdi_line(v, cx, cy, x, y);
}

void angle_band(VIEW* v, int x, int y) {
    text_band(v, x, y);
    int cx, cy;
    input_slot_pixel(v, 0, &cx, &cy);
    const double r = std::hypot(x - cx, y - cy);
    constexpr int kSteps = 24;
    int lx = 0, ly = 0;
    for (int i = 0; i <= kSteps; ++i) {
        const double a = g_arc_from + (g_arc_to - g_arc_from) * i / kSteps;
        const int px = cx + static_cast<int>(std::lround(r * std::cos(a)));
        const int py = cy + static_cast<int>(std::lround(r * std::sin(a)));
        if (i) view_gdi_line(v, lx, ly, px, py);
        lx = px, ly = py;
    }
}

// ---- Linear steps

// The plane of a linear dimension: through a and b (view coordinates), containing
// the tilt axis (k = 0: Y, k = 1: X).
struct Tilt {
    int k = 0;
    double tilt = 0;
    Vec3 a, b;
    bool depth(const Vec3& t, double* z) const {
        const double ak = k ? a.y : a.x, bk = k ? b.y : b.x, tk = k ? t.y : t.x;
        const double dk = ak - bk, dz = double(a.z) - b.z;
        if (std::fabs(dk) >= 1e-6) {
            *z = (tk - (ak + bk) / 2) / dk * dz + (double(a.z) + b.z) / 2;
            return std::isfinite(*z) && std::fabs(*z) < 16000;
        }
        *z = a.z;
        return std::fabs(dz) < 1e-6;
    }
    bool set(int axis, const Vec3& pa, const Vec3& pb) {
        k = axis, a = pa, b = pb;
        const double dk = k ? double(a.y) - b.y : double(a.x) - b.x, dz = double(a.z) - b.z;
        tilt = 0;
        if (std::fabs(dk) >= 1e-6) {
            tilt = std::atan(std::fabs(dz / dk));
            const bool same_sign = (dk < 0) == (dz < 0);
            if (k == 0 ? same_sign : !same_sign) tilt = -tilt;
        }
        double z;
        return depth({0, 0, 0}, &z);
    }
    // Rotation about the tilt axis by `sign` times the tilt.
    Matrix43 turn(double sign) const {
        Matrix43 m;
        mat_rotate_axis(&m, nullptr, k ? 1 : 0, k ? 0 : 1, 0, sign * tilt, nullptr);
        return m;
    }
};

struct StepResult {
    Vec3 p[3];  // local plane: linear a, b, t; radial c, -, t; angular c, p1, p2
    Vec3 t;
    double r = 0;
    Matrix43 matrix;
};

int ask_two_points(VIEW** view_ref, int mode, uint32_t help, Vec3* a, Vec3* b) {
    g_mode = mode;
    int code = input_point(view_ref, kFirstPoint, cursor_draw_crosshair, options, a, help);
    if (code) return code;
    input_set_point(*view_ref, *a, 0);
    do {
        code = input_point(view_ref, kSecondPoint, measure_band, options, b, help);
        if (code) return code;
    } while (same(*a, *b, 1e-6));
    return 0;
}

int texts_for(VIEW* v, double value, int kind) {
    std::string text, lower, upper;
    if (!dim_text_query(v, value, kind, &text, &lower, &upper)) return -1;
    dim_store_texts(pixel_font(v), text, lower, upper);
    return 0;
}

int linear_step(VIEW** view_ref, int mode, StepResult* out) {
    const uint32_t help = 40071 + static_cast<uint32_t>(mode);
    for (;;) {
        Vec3 wa, wb;
        int code = ask_two_points(view_ref, mode, help, &wa, &wb);
        if (code) return code;
        VIEW* v = *view_ref;
        const Vec3 a = to_view(v, wa), b = to_view(v, wb);
        int k = mode == kDimVertical ? 1 : 0;
        if (mode == kDimAligned) {
            if (same(a, b, 1e-6)) continue;
            k = v->direction ? 1 : 0;
        }
        Tilt tilt;
        if (!tilt.set(k, a, b)) continue;
        input_set_point(v, wa, 1);
        input_set_point(v, wb, 2);
        const double dx = double(a.x) - b.x, dy = double(a.y) - b.y, dz = double(a.z) - b.z;
        const double value = mode == kDimHorizontal ? std::hypot(dx, dz)
                             : mode == kDimVertical ? std::hypot(dy, dz)
                                                    : std::sqrt(dx * dx + dy * dy + dz * dz);
        if ((code = texts_for(v, value, mode)) != 0) return code;
        const Matrix43 to_local = tilt.turn(-1), back = tilt.turn(1);
        if (dim_get_text_mode() != 1 || mode == kDimHorizontal)
            dim_set_text_angle(0);
        else if (mode == kDimVertical)
            dim_set_text_angle(kPi / 2);
        else {
            Vec3 la, lb;
            mat_xform_point(&la, &a, &to_local);
            mat_xform_point(&lb, &b, &to_local);
            dim_set_text_angle(angle_about(la, lb));
        }
        Vec3 wt, t;
        double z = 0;
        do {
            g_mode = mode;
            code = input_point(view_ref, kTextPosition, linear_text_band, options, &wt, help);
            if (code) return code;
            t = to_view(*view_ref, wt);
        } while (!tilt.depth(t, &z));
        t.z = static_cast<float>(z);
        mat_xform_point(&out->p[0], &a, &to_local);
        mat_xform_point(&out->p[1], &b, &to_local);
        mat_xform_point(&out->t, &t, &to_local);
        mat_mul(&out->matrix, &back, &(*view_ref)->projection.inverse);
        return 0;
    }
}

// The local plane through view-coordinate points with normal n (turned toward the
// viewer); false when n is zero or not finite.
bool plane_of(const VIEW* v, double nx, double ny, double nz, Matrix43* to_local, Matrix43* matrix) {
    const double l = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!(l > 1e-12) || !std::isfinite(l)) return false;
    if (nz < 0) nx = -nx, ny = -ny, nz = -nz;
    Matrix43 fwd;
    mat_align_z(&fwd, nullptr, nx, ny, nz, 0);
    mat_align_z(to_local, nullptr, nx, ny, nz, 1);
    mat_mul(matrix, &fwd, &v->projection.inverse);
    return true;
}

int arrow_step(VIEW** view_ref, int mode, StepResult* out) {
    const uint32_t help = 40065 + static_cast<uint32_t>(mode);
    for (;;) {
        Vec3 wa, wb;
        int code = ask_two_points(view_ref, kDimAligned, help, &wa, &wb);
        if (code) return code;
        VIEW* v = *view_ref;
        const Vec3 a = to_view(v, wa), b = to_view(v, wb);
        // The plane through both points containing the X (or Y) axis.
        const double dx = double(b.x) - a.x, dy = double(b.y) - a.y, dz = double(b.z) - a.z;
        // Differing only in depth the arrow is seen end-on: ask again.
        if (std::hypot(dx, dy) < 1e-6) continue;
        double nx, ny, nz;
        if (std::fabs(dz) < 1e-6)
            nx = 0, ny = 0, nz = 1;  // flat: the screen plane, whichever way it runs
        else if (v->direction)
            nx = 0, ny = dz, nz = -dy;  // d x X
        else
            nx = -dz, ny = 0, nz = dx;  // Y x d
        Matrix43 to_local;
        if (!plane_of(v, nx, ny, nz, &to_local, &out->matrix)) continue;
        mat_xform_point(&out->p[0], &a, &to_local);
        mat_xform_point(&out->p[1], &b, &to_local);
        dim_clear_texts();
        return 0;
    }
}

// ---- Radial steps

int radial_step(VIEW** view_ref, int mode, StepResult* out) {
    const uint32_t help = mode == kDimDiameter ? 40077 : mode == kDimRadius1 ? 40078 : 40079;
    g_mode = mode;
    for (;;) {
        Vec3 p;
        VIEW* v = *view_ref;
        const int32_t flags = v->input_flags, grid = v->grid_on, keep = v->keep_depth;
        v->input_flags = 1, v->grid_on = 0, v->keep_depth = 0;
        int code = input_point(view_ref, kSelectCircle, cursor_draw_snap_box, options, &p, help);
        if (*view_ref) v->input_flags = flags, v->grid_on = grid, v->keep_depth = keep;
        if (code) return code;
        v = *view_ref;
        object* hit = pick_object_at(v, p, &ELARC::rtc_class, nullptr);
        if (!hit) continue;
        const ELARC* arc = static_cast<const ELARC*>(hit);
        if (!(arc->flags & kElarcCircular)) continue;
        const Vec3 c = to_view(v, arc->centre), a1 = to_view(v, arc->axis1), a2 = to_view(v, arc->axis2);
        const double r = std::sqrt(double(arc->axis1.x - arc->centre.x) * (arc->axis1.x - arc->centre.x) +
                                   double(arc->axis1.y - arc->centre.y) * (arc->axis1.y - arc->centre.y) +
                                   double(arc->axis1.z - arc->centre.z) * (arc->axis1.z - arc->centre.z));
        const double ux = double(a1.x) - c.x, uy = double(a1.y) - c.y, uz = double(a1.z) - c.z;
        const double vx = double(a2.x) - c.x, vy = double(a2.y) - c.y, vz = double(a2.z) - c.z;
        double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        const double nl = std::sqrt(nx * nx + ny * ny + nz * nz);
        // Seen edge-on no text point can be put onto its plane: pick another.
        if (!(nl > 0) || std::fabs(nz) < 1e-6 * nl || !(r > 0)) continue;
        Matrix43 to_local;
        if (!plane_of(v, nx, ny, nz, &to_local, &out->matrix)) continue;
        if (nz < 0) nx = -nx, ny = -ny, nz = -nz;
        input_set_point(v, arc->centre, 0);
        mat_xform_point(&out->p[0], &c, &to_local);
        out->r = r;
        if ((code = texts_for(v, mode == kDimDiameter ? 2 * r : r, mode)) != 0) return code;
        dim_set_text_angle(0);
        Vec3 wt;
        code = input_point(view_ref, kTextPosition, radial_band, options, &wt, help);
        if (code) return code;
        Vec3 t = to_view(*view_ref, wt);
        t.z = static_cast<float>(c.z - (nx * (double(t.x) - c.x) + ny * (double(t.y) - c.y)) / nz);
        mat_xform_point(&out->t, &t, &to_local);
        out->t.z = out->p[0].z;
        return vec3_finite(out->t) ? 0 : -1;
    }
}

// ---- Angular steps

int angular_step(VIEW** view_ref, int mode, StepResult* out) {
    const uint32_t help = mode == kDimAngleVertex ? 40080 : 40081;
    g_mode = mode;
    Vec3 w[4];
    int code;
    Vec3 c, p1, p2;
    if (mode == kDimAngleVertex) {
        if ((code = input_point(view_ref, kVertex, cursor_draw_crosshair, options, &w[0], help))) return code;
        input_set_point(*view_ref, w[0], 0);
        if ((code = input_point(view_ref, kLine1End, ray_band, options, &w[1], help))) return code;
        input_set_point(*view_ref, w[1], 1);
        if ((code = input_point(view_ref, kLine2End, ray_band, options, &w[2], help))) return code;
        VIEW* v = *view_ref;
        c = to_view(v, w[0]), p1 = to_view(v, w[1]), p2 = to_view(v, w[2]);
    } else {
        g_mode = kDimAligned;
        if ((code = input_point(view_ref, kLine1Start, cursor_draw_crosshair, options, &w[0], help))) return code;
        input_set_point(*view_ref, w[0], 0);
        if ((code = input_point(view_ref, kLine1End, measure_band, options, &w[1], help))) return code;
        input_set_point(*view_ref, w[1], 1);
        if ((code = input_point(view_ref, kLine2Start, cursor_draw_crosshair, options, &w[2], help))) return code;
        input_set_point(*view_ref, w[2], 2);
        g_mode = mode;
        if ((code = input_point(view_ref, kLine2End, ray_band, options, &w[3], help))) return code;
        VIEW* v = *view_ref;
        Vec3 q[4];
        for (int i = 0; i < 4; ++i) q[i] = to_view(v, w[i]);
        const double d1x = double(q[1].x) - q[0].x, d1y = double(q[1].y) - q[0].y;
        const double d2x = double(q[3].x) - q[2].x, d2y = double(q[3].y) - q[2].y;
        const double det = d1x * d2y - d1y * d2x;
        const double s = det != 0 ? ((double(q[2].x) - q[0].x) * d2y - (double(q[2].y) - q[0].y) * d2x) / det : 0;
        const double cx = q[0].x + s * d1x, cy = q[0].y + s * d1y;
        // Lines so nearly parallel that their vertex lies beyond float range count as parallel.
        if (det == 0 || !(std::fabs(cx) < 3e38) || !(std::fabs(cy) < 3e38)) {
            msgbox_ids(0, kParallel);
            return -1;
        }
        c = vec(cx, cy, q[0].z);
        auto nearer = [&](const Vec3& start, const Vec3& end) {
            const double ds = std::hypot(start.x - cx, start.y - cy), de = std::hypot(end.x - cx, end.y - cy);
            return ds > de ? end : start;
        };
        p1 = nearer(q[0], q[1]);
        p2 = nearer(q[2], q[3]);
        // A ray through its nearer end needs that end off the vertex: take the other one then.
        if (std::hypot(p1.x - cx, p1.y - cy) < 1e-9) p1 = same(p1, q[0], 0) ? q[1] : q[0];
        if (std::hypot(p2.x - cx, p2.y - cy) < 1e-9) p2 = same(p2, q[2], 0) ? q[3] : q[2];
    }
    VIEW* v = *view_ref;
    Vec3 wc;
    view_to_world(&v->projection, c, &wc);
    input_set_point(v, wc, 0);
    double a1 = angle_about(c, p1), a2 = angle_about(c, p2);
    while (a2 < a1) a2 += kTwoPi;
    if ((code = texts_for(v, a2 - a1, mode)) != 0) return code;
    g_arc_from = a1, g_arc_to = a2;
    dim_set_text_angle(0);
    Vec3 wt;
    if ((code = input_point(view_ref, kTextPosition, angle_band, options, &wt, help))) return code;
    Vec3 t = to_view(*view_ref, wt);
    const float depth = static_cast<float>((*view_ref)->elevation);
    c.z = p1.z = p2.z = t.z = depth;
    out->p[0] = c, out->p[1] = p1, out->p[2] = p2, out->t = t;
    out->matrix = (*view_ref)->projection.inverse;
    return 0;
}

// One dimension of `mode` into `group`.
int one_dimension(VIEW** view_ref, int mode, CONTAINER* group) {
    StepResult r;
    int code;
    switch (mode) {
        case kDimHorizontal:
        case kDimVertical:
        case kDimAligned:
            code = linear_step(view_ref, mode, &r);
            break;
        case kDimArrowStart:
        case kDimArrowEnd:
        case kDimArrowBoth:
            code = arrow_step(view_ref, mode, &r);
            break;
        case kDimRadius1:
        case kDimRadius2:
        case kDimDiameter:
            code = radial_step(view_ref, mode, &r);
            break;
        default:
            code = angular_step(view_ref, mode, &r);
    }
    if (code) return code;
    DimBuild b;
    b.view = *view_ref;
    b.group = group;
    b.matrix = r.matrix;
    b.model = view_drawing(b.view);
    switch (mode) {
        case kDimHorizontal:
        case kDimVertical:
        case kDimAligned:
            return dim_layout_linear(b, mode, r.p[0], r.p[1], r.t);
        case kDimArrowStart:
        case kDimArrowEnd:
        case kDimArrowBoth:
            return dim_layout_arrows(b, mode, r.p[0], r.p[1]);
        case kDimRadius1:
        case kDimRadius2:
            return dim_layout_radius(b, mode, r.p[0], r.r, r.t);
        case kDimDiameter:
            return dim_layout_diameter(b, r.p[0], r.r, r.t);
        default:
            return dim_layout_angular(b, r.p[0], r.p[1], r.p[2], r.t);
    }
}

}  // namespace

int dim_mode_of_index(int index) { return index >= 0 && index < 11 ? kModes[index] : -1; }

int dim_command(VIEW** view_ref, int mode) {
    if (!view_ref || !*view_ref) return -2;
    if (mode < 0 || mode > kDimArrowBoth) return kBadArgument;
    view_set_input_mode(*view_ref, kInputActive);
    int code;
    for (;;) {
        dim_clear_texts();
        auto group = rtc_make<CONTAINER>();
        if (!group) {
            code = kOutOfMemory;
            break;
        }
        code = one_dimension(view_ref, mode, group.get());
        if (code != 0 || !*view_ref) break;
        if ((code = drawing_insert_object(*view_ref, group.get())) != 0) break;  // refused: still ours
        group.release();
    }
    if (*view_ref) view_set_input_mode(*view_ref, kInputIdle);
    return code;
}

int dim_run_index(VIEW** view_ref, int index) {
    if (index == static_cast<int>(kCmdDimSettings - kCmdDimFirst)) {
        if (view_ref && *view_ref) dim_settings_edit(*view_ref);
        return 0;
    }
    const int mode = dim_mode_of_index(index);
    return mode < 0 ? 0 : dim_command(view_ref, mode);
}

namespace {
template <int Index>
int run(void* arg) {
    return dim_run_index(static_cast<VIEW**>(arg), Index);
}
template <int... I>
void register_all(void (*set)(int, DimCommandFn), std::integer_sequence<int, I...>) {
    (set(static_cast<int>(kCmdDimFirst) + I, &run<I>), ...);
}
}  // namespace

void dim_register_commands(void (*set)(int id, DimCommandFn fn)) {
    register_all(set, std::make_integer_sequence<int, 12>{});
}
