// Move, Copy, Mirror, Rotate and Stretch: the points of each transform asked with
// the phantom of the objects following the cursor, then applied through
// objects_apply_transform as one undo level per pass.
#include <cfloat>
#include <cmath>
#include <cstdio>

#include "commands/edit/edit.h"
#include "commands/editcore/transform.h"
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "graphics/view/projection.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/buffer.h"
#include "model/db/glimpse_notify.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/math/vec.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "model/services/strtab.h"

namespace {

bool confirm(int quiet, uint32_t prompt) {
    return quiet || msgbox_yes_no("%s", res_load_string(prompt).c_str());
}

void remember_base(VIEW* view, buffer* objects, const Vec3& base) {
    input_set_last_point(view, objects, base);
    input_set_point(view, base, 0);
}

int to_result(int rc) { return rc; }

}  // namespace

int cmd_move(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    view_set_input_mode(*view_ref, kInputActive);
    buffer* objects = nullptr;
    int rc = 0;
    for (;;) {
        Vec3 pick;
        rc = input_object(view_ref, &objects, &pick);
        if (rc != 0 || !*view_ref) break;
        const bool from_selection = objects == (*view_ref)->selection;
        Vec3 base = pick, to;
        for (;;) {
            if (from_selection) {
                rc = input_point(view_ref, kPromptBasePoint, cursor_draw_crosshair, nullptr, &base, 40032);
                if (rc != 0 || !*view_ref) break;
            }
            remember_base(*view_ref, objects, base);
            rc = input_point(view_ref, kPromptNewLocation, cursor_draw_phantom_moved, nullptr, &to, 40032);
            input_clear_last_point(*view_ref);
            if (rc == kStepRefused && from_selection && *view_ref) continue;
            break;
        }
        if (rc != 0 || !*view_ref) break;
        if (!move_result_usable(objects, base, to) || !confirm(g_prefs.move, kPromptMoveObjects)) continue;
        int new_level = 1;
        rc = objects_apply_transform(*view_ref, objects, base, to, to, kXformMove | 16, &new_level);
        if (rc != 0) break;
    }
    if (*view_ref) input_finish(*view_ref, objects);
    return to_result(rc);
}

int cmd_copy(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    buffer* objects = nullptr;
    Vec3 base;
    int rc = input_objects_and_base(view_ref, &objects, &base, 40033);
    while (rc == 0 && *view_ref) {
        remember_base(*view_ref, objects, base);
        Vec3 to;
        rc = input_point(view_ref, kPromptNewLocation, cursor_draw_phantom_moved, nullptr, &to, 40033);
        if (rc != 0 || !*view_ref) break;
        if (!move_result_usable(objects, base, to) || !confirm(g_prefs.copy, kPromptCopyObjects)) continue;
        const bool was = glimpse_mute_drawing(true);
        int new_level = 1;
        rc = objects_apply_transform(*view_ref, objects, base, to, to, kXformMove | kXformCopy, &new_level);
        glimpse_mute_drawing(was);
        glimpse_notify_drawing(view_drawing(*view_ref));
    }
    if (*view_ref) {
        input_clear_last_point(*view_ref);
        input_finish(*view_ref, objects);
    }
    return to_result(rc);
}

namespace {

// What the point routines of the shared loop know of the pass.
struct LoopState {
    buffer* objects = nullptr;
    Vec3 pick = {0, 0, 0};
    bool from_selection = false;
    int pass = 0;
    Vec3 start = {0, 0, 0};  // mirror start, rotation centre
    Vec3 end = {0, 0, 0};    // rotation base line end
};

using PointFn = int (*)(VIEW** view_ref, LoopState* st, Transform* t);

int transform_command_loop(VIEW** view_ref, PointFn points, int kind) {
    view_set_input_mode(*view_ref, kInputActive);
    LoopState st;
    int rc = input_object(view_ref, &st.objects, &st.pick);
    if (rc == 0 && *view_ref) {
        st.from_selection = st.objects == (*view_ref)->selection;
        for (;;) {
            input_clear_last_point(*view_ref);
            Transform t;
            rc = points(view_ref, &st, &t);
            ++st.pass;
            if (rc != 0 || !*view_ref) break;
            if (!transform_result_usable(st.objects, t)) continue;
            rc = transform_confirm_apply_by(*view_ref, st.objects, t, kind);
            if (rc != 0) break;
        }
    }
    if (*view_ref) {
        input_clear_last_point(*view_ref);
        input_finish(*view_ref, st.objects);
    }
    return rc;
}

int mirror_options(VIEW** view_ref) {
    if (edit_dialogs().transform_options) edit_dialogs().transform_options(*view_ref, kKindMirror);
    return 0;
}

int stretch_options(VIEW** view_ref) {
    if (edit_dialogs().transform_options) edit_dialogs().transform_options(*view_ref, kKindStretch);
    return 0;
}

int rotate_options(VIEW** view_ref) {
    if (!edit_dialogs().transform_options) return 0;
    const int before = g_prefs.rotation_mode & 6;
    const int r = edit_dialogs().transform_options(*view_ref, kKindRotate);
    return (r & 1) && (g_prefs.rotation_mode & 6) != before ? 1 : 0;
}

int mirror_points(VIEW** view_ref, LoopState* st, Transform* t) {
    if (st->pass == 0) {
        int rc = input_point(view_ref, kPromptMirrorStart, cursor_draw_crosshair, mirror_options, &st->start, 40034);
        if (rc != 0 || !*view_ref) return rc;
    }
    for (;;) {
        input_set_point(*view_ref, st->start, 0);
        Vec3 end;
        int rc = input_point(view_ref, kPromptMirrorEnd, cursor_draw_rubber_line, mirror_options, &end, 40034);
        if (rc != 0 || !*view_ref) return rc;
        const ViewProjection* vp = &(*view_ref)->projection;
        Vec3 a, b, mid, third;
        world_to_view(vp, st->start, &a);
        world_to_view(vp, end, &b);
        mid = {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2 + 100.0f};
        view_to_world(vp, mid, &third);
        // Both points are finite here: 13 says they are one point (or as near as
        // makes no plane), and the end is asked again.
        rc = xform_from_points(t, st->start, end, third, kKindMirror);
        if (rc != kBadArgument) return rc;
        msgbox_ids(0, kTextMirrorLineIsAPoint);
    }
}

// Whether two points stand apart in the view (not on one view x, y).
bool apart_in_view(const ViewProjection* vp, const Vec3& p, const Vec3& q) {
    Vec3 a, b;
    world_to_view(vp, p, &a);
    world_to_view(vp, q, &b);
    return a.x != b.x || a.y != b.y;
}

// Whether `q` lies to the right of `p` in the view and level with it: the angles
// are measured from this line, so its slope stays below a thousandth.
bool level_to_the_right(const ViewProjection* vp, const Vec3& p, const Vec3& q) {
    Vec3 a, b;
    world_to_view(vp, p, &a);
    world_to_view(vp, q, &b);
    const double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
    return dx > 0 && std::fabs(dy) <= dx * 1e-3;
}

// The base line end 100 view units to the right of the centre, at the centre's depth.
// Far from the origin 100 units vanish in the float rounding of the coordinates, or
// the rounding tilts the line in a turned view; the distance then doubles until the
// end lies level to the right of the centre. A centre so far out that no finite end
// does is refused with a message (-1).
int base_end_to_the_right(const VIEW* view, LoopState* st) {
    const ViewProjection* vp = &view->projection;
    Vec3 c;
    world_to_view(vp, st->start, &c);
    // Ends at the latest when the sum leaves the float range (about 130 doublings).
    for (double step = 100.0; std::fabs(c.x + step) <= FLT_MAX; step *= 2) {
        Vec3 e = c;
        e.x = static_cast<float>(c.x + step);
        view_to_world(vp, e, &st->end);
        if (vec3_finite(st->end) && level_to_the_right(vp, st->start, st->end)) return 0;
    }
    msgbox_ids(kStrIdWarning, kTextCentreTooFar);
    return kStepRefused;
}

// The base line end by the rule in force: asked, or to the right of the centre. When
// the options key changed the rule the end is found again by the new one; Esc and the
// right button end the command. An end on the centre in the view (far out, float
// rounding puts a nearby point there) is refused with a message and asked again.
int rotate_base_end(VIEW** view_ref, LoopState* st) {
    for (;;) {
        const int mode = g_prefs.rotation_mode & 6;
        if (!(mode & 4)) return base_end_to_the_right(*view_ref, st);
        const int rc = input_point(view_ref, kPromptBaseLineEnd, cursor_draw_rubber_line, rotate_options, &st->end,
                                   40035);
        if (rc == kStepCancelled || !*view_ref) return kStepRefused;
        if (rc == kStepRefused && (g_prefs.rotation_mode & 6) != mode) continue;
        if (rc != 0) return rc;
        if (apart_in_view(&(*view_ref)->projection, st->start, st->end)) return 0;
        msgbox_ids(0, kTextBaseLineIsAPoint);
    }
}

int rotate_points(VIEW** view_ref, LoopState* st, Transform* t) {
    if (st->pass == 0) {
        if (!st->from_selection && !(g_prefs.rotation_mode & 2)) {
            st->start = st->pick;
        } else {
            int rc = input_point(view_ref, kPromptRotationCentre, cursor_draw_crosshair, rotate_options, &st->start,
                                 40035);
            if (rc != 0 || !*view_ref) return rc;
        }
        input_set_point(*view_ref, st->start, 0);
        if (int rc = rotate_base_end(view_ref, st)) return rc;
    }
    VIEW* view = *view_ref;
    input_set_point(view, st->start, 0);
    input_set_point(view, st->end, 1);
    input_set_last_point(view, st->objects, st->start);
    view->last_point = st->start;
    double angle = 0.0;
    int rc = input_angle(view_ref, st->start, st->end, kPromptRotationAngle, cursor_draw_phantom_rotated,
                         rotate_options, &angle, 40035);
    if (rc != 0 || !*view_ref) return rc == kStepCancelled ? rc : kStepRefused;
    Vec3 dir;
    view_get_direction(&(*view_ref)->projection, &dir);
    const Vec3 p3 = {static_cast<float>(angle), 0, 0};
    return xform_from_points(t, st->start, dir, p3, kKindRotate);
}

// Reads up to three factors; 0 when the text holds none.
int parse_factors(const char* text, double f[3]) {
    const int n = std::sscanf(text, "%lf%lf%lf", &f[0], &f[1], &f[2]);
    if (n == 1) f[1] = f[2] = f[0];
    if (n == 2) f[2] = 1.0;
    return n > 0 ? n : 0;
}

}  // namespace

int stretch_transform(const ViewProjection* vp, const Vec3& base, const double f[3], Transform* t) {
    for (int i = 0; i < 3; ++i) {
        if (!(f[i] >= 1e-10) || !std::isfinite(f[i])) return kBadArgument;
    }
    // In view coordinates: to the base, scale, back; all in doubles.
    Vec3d bv;
    const Vec3d bw = {base.x, base.y, base.z};
    Transform v = {vp->view, vp->inverse};
    xform_point_d(&bv, &bw, &v, 0);
    Transform to, sc, back, a, b;
    xform_translate(&to, -bv.x, -bv.y, -bv.z);
    xform_scale(&sc, f[0], f[1], f[2]);
    xform_translate(&back, bv.x, bv.y, bv.z);
    xform_compose(&a, &v, &to);
    xform_compose(&b, &a, &sc);
    xform_compose(&a, &b, &back);
    Transform vinv = {vp->inverse, vp->view};
    xform_compose(t, &a, &vinv);
    return 0;
}

namespace {

int stretch_points(VIEW** view_ref, LoopState* st, Transform* t) {
    Vec3 base;
    int rc = input_point(view_ref, kPromptBasePoint, cursor_draw_crosshair, stretch_options, &base, 40036);
    if (rc != 0 || !*view_ref) return rc;
    VIEW* view = *view_ref;
    input_set_point(view, base, 0);
    // The reference point: 32 pixels right and up of the cursor, at the base's depth.
    const ViewProjection* vp = &view->projection;
    Vec3 bv, refv, ref;
    world_to_view(vp, base, &bv);
    const double ref_dist = 32.0 / vp->scale;  // view units, not truncated
    refv = {static_cast<float>(bv.x + ref_dist), static_cast<float>(bv.y + ref_dist), bv.z};
    view_to_world(vp, refv, &ref);
    input_set_last_point(view, st->objects, base);
    input_set_point(view, ref, 1);
    char text[kTypedTextSize];
    for (;;) {
        text[0] = 0;
        rc = input_wait(view_ref, kPromptScaleObjects, cursor_draw_phantom_scaled, stretch_options, text,
                        sizeof text, 0, 40036);
        if (rc != 0 || !*view_ref) return rc;
        view = *view_ref;
        double f[3] = {1.0, 1.0, 1.0};
        if (text[0]) {
            if (!parse_factors(text, f) || !input_typed_values_usable(f, 3)) continue;
        } else {
            Vec3 cv;
            const double cx = view->cursor_view[0], cy = view->cursor_view[1];
            (void)cv;
            world_to_view(&view->projection, base, &bv);
            f[0] = std::fabs(cx - bv.x) / ref_dist;
            f[1] = std::fabs(cy - bv.y) / ref_dist;
            f[2] = 1.0;
        }
        if (stretch_transform(&view->projection, base, f, t) == 0) return 0;
    }
}

}  // namespace

int cmd_mirror(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    return transform_command_loop(view_ref, mirror_points, kKindMirror);
}

int cmd_rotate(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    return transform_command_loop(view_ref, rotate_points, kKindRotate);
}

int cmd_stretch(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    return transform_command_loop(view_ref, stretch_points, kKindStretch);
}
