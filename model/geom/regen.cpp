// regen_object: rebuilding an object's display geometry by class, the camera's
// derived values, and carrying lists made in a local frame into model space.
#include "model/geom/regen.h"

#include <cmath>

#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/track_eval.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/geom/hatch.h"
#include "model/geom/regen_util.h"
#include "model/math/arcgeom.h"
#include "model/math/matrix.h"
#include "model/math/scalar.h"
#include "model/services/log.h"

namespace {

int regen_xpline(XPLINE* x) {
    if (x->kind != kXplinePolyline && x->kind != kXplineSpline) return 0;
    list_free(&x->points);
    PtrNode* runs = nullptr;
    if (x->kind == kXplineSpline) {
        if (int rc = xpline_regen_spline(x->line_style, &runs, x, x->curve_step)) return rc;
    } else if (x->line_style && !x->line_style->dashes.empty()) {
        if (int rc = wire_apply_dashes(x->line_style, x->second, &runs, x->control)) return rc;
    }
    plist_list_free(&x->strokes);
    x->strokes = runs;
    return 0;
}

int regen_elarc(ELARC* e) {
    Vec3d normal;
    // Angles far from the circle (many turns) come into one turn, drawing the same arc.
    arc_angles_to_one_turn(&e->start, &e->end);
    if (e->flags & kElarcWholeEllipse || !(e->flags & kElarcCircular)) {
        double angle = 0;
        if (int rc = elarc_regen_ellipse(e->line_style, e, &angle, &normal)) return rc;
        wire_lists_to_plane(normal, e->centre, angle, e->points, e->strokes);
        return 0;
    }
    return elarc_regen_arc(e->line_style, e, &normal);
}

int regen_text(TEXT2* t) {
    if (int rc = text2_regen_strokes(t)) return rc;
    wire_lists_to_plane(text2_normal(*t), t->insert, 0.0, t->points, t->strokes);
    return 0;
}

void xform_list(PointNode* list, const Matrix43& m, float z) {
    for (PointNode* p = list; p; p = (p->next == list) ? nullptr : p->next) p->z = z;
    plist_xform(list, m);
}

}  // namespace

int regen_object(object* obj) {
    if (!obj) return 0;
    int rc = 0;
    if (XPLINE* x = rtc_cast<XPLINE>(obj)) {
        rc = regen_xpline(x);
    } else if (CAMERA* cam = rtc_cast<CAMERA>(obj)) {
        rc = camera_regen(cam);
    } else if (ELARC* e = rtc_cast<ELARC>(obj)) {
        rc = regen_elarc(e);
    } else if (TEXT2* t = rtc_cast<TEXT2>(obj)) {
        rc = regen_text(t);
    } else if (HATCH* h = rtc_cast<HATCH>(obj)) {
        if (h->contours[0]) {
            WaitCursor wait;
            Vec3d plane;
            rc = hatch_regen(h, &plane);
        }
    } else if (CONTAINER* c = rtc_cast<CONTAINER>(obj)) {
        // Every object below, in pre-order and without recursion (groups nest as deep as
        // a file may hold); the group boxes follow from the box update below.
        for (ZOBJ* z = tree_next(c, c); z && rc == 0; z = tree_next(z, c)) {
            object* child = rtc_cast<object>(z);
            if (child && !rtc_is<CONTAINER>(child)) rc = regen_object(child);
        }
    }
    if (rc) return rc;
    obj_update_bbox(obj);
    obj_set_modified(obj, 1);
    return 0;
}

int camera_regen(CAMERA* camera) {
    if (!camera) return 0;
    camera_apply_frame(camera, camera, -1);
    if (CameraKeys* k = camera->keys) {
        if (k->flags[0] == 1) k->current[0] = static_cast<float>(camera_roll(camera));
        if (k->flags[1] == 1)
            k->current[1] = static_cast<float>(2 * rad_to_deg(std::atan(0.5 / camera->lens)));
    }
    return 0;
}

void wire_lists_to_plane(const Vec3d& normal, const Vec3& base, double angle, PointNode* flat,
                         PtrNode* runs) {
    Matrix43 m;
    mat_align_z(&m, &base, normal.x, normal.y, normal.z, 0);
    if (angle != 0) {
        Matrix43 turn;
        mat_rotate_axis(&turn, &base, 0, 0, 1, angle, nullptr);
        mat_mul(&m, &turn, &m);
    }
    xform_list(flat, m, base.z);
    PtrNode* head = runs;
    for (PtrNode* r = runs; r; r = (r->next == head) ? nullptr : r->next)
        xform_list(static_cast<PointNode*>(r->value), m, base.z);
}
