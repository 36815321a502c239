// The Hatch, Hatch Hole and Fill commands: HATCH objects from traced contours.
#include <cmath>

#include "commands/draw2d/dialog_hooks.h"
#include "commands/draw2d/internal.h"
#include "commands/editcore/picking.h"
#include "graphics/view/view_gdi.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/geom/query.h"
#include "model/geom/regen.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/services/prefs.h"
#include "resources/string_ids.h"

using namespace draw2d;

namespace {

constexpr uint32_t kHelpHatch = 40017, kHelpFill = 40020, kHelpSelectHatch = 40045,
                   kPromptSelectHatch = IDS_SELECT_THE_HATCH_OBJECT;

int hatch_style_callback(VIEW** view_ref) { return hatch_style_settings(view_ref ? *view_ref : nullptr) < 0 ? 1 : 0; }

bool contour_empty(const Contour& c) { return !c.vertices || !c.plane_known; }

// A new HATCH holding the contour as its outer ring (taken over). Null when out of
// memory (the contour is then freed).
HATCH* hatch_from(Contour* c) {
    auto h = rtc_make<HATCH>();
    PtrNode* ring = nullptr;
    if (!h || ptrlist_add(&ring, c->vertices)) {
        contour_clear(c);
        return nullptr;
    }
    h->contours[0] = ring;
    c->vertices = nullptr;
    contour_clear(c);
    return h.release();
}

int insert_or_destroy(VIEW* view, HATCH* h) {
    int code = regen_object(h);
    if (code == 0) code = drawing_insert_object(view, h);
    if (code != 0) rtc_destroy(h);
    return code;
}

}  // namespace

int fill_from_contour(VIEW* view, HATCH** out, Contour* contour, int* made, int insert) {
    if (made) *made = 0;
    if (out) *out = nullptr;
    if (contour_empty(*contour)) {
        contour_clear(contour);
        return 0;
    }
    HATCH* h = hatch_from(contour);
    if (!h) return kOutOfMemory;
    h->pattern = nullptr;
    h->values[0] = 1.0;
    h->values[1] = 0.0;
    h->colour = view->current_colour;
    h->width = static_cast<float>(view->line_width);
    if (insert) {
        if (int code = insert_or_destroy(view, h)) return code;
    } else if (int code = regen_object(h)) {
        rtc_destroy(h);
        return code;
    }
    if (made) *made = 1;
    if (out) *out = h;
    return 0;
}

int cmd_hatch(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    view_set_input_mode(*view_ref, kInputActive);
    int code;
    for (;;) {
        Contour c;
        code = contour_ask(view_ref, &c, hatch_style_callback, kHelpHatch);
        if (code != 0 || contour_empty(c)) {
            contour_clear(&c);
            break;
        }
        VIEW* v = *view_ref;
        // Counter-clockwise as seen: a normal pointing away from the viewer turns it.
        Vec3d n;
        if (chain_plane(c.vertices, &n, nullptr, nullptr, nullptr)) {
            Vec3d o{0, 0, 0}, vn, vo;
            world_to_view_d(&v->projection, n, &vn);
            world_to_view_d(&v->projection, o, &vo);
            if (vn.z < vo.z) {
                c.vertices = list_reverse(c.vertices);
                n = {-n.x, -n.y, -n.z};
            }
        }
        HATCH* h = hatch_from(&c);
        if (!h) {
            code = kOutOfMemory;
            break;
        }
        h->pattern = v->current_hatch;
        h->values[0] = v->hatch_scale;
        h->values[1] = v->hatch_angle - mat_twist_angle(&v->projection.view, n.x, n.y, n.z);
        h->colour = v->current_colour;
        h->width = static_cast<float>(v->line_width);
        if ((code = insert_or_destroy(v, h)) != 0) break;
    }
    leave_input(view_ref);
    return code;
}

int cmd_fill(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    view_set_input_mode(*view_ref, kInputActive);
    int code;
    for (;;) {
        Contour c;
        code = contour_ask(view_ref, &c, nullptr, kHelpFill);
        if (code != 0 || contour_empty(c)) {
            contour_clear(&c);
            break;
        }
        int made = 0;
        if ((code = fill_from_contour(*view_ref, nullptr, &c, &made, 1)) != 0 || !made) break;
    }
    leave_input(view_ref);
    return code;
}

int cmd_hatch_hole(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    view_set_input_mode(*view_ref, kInputActive);
    int code;
    HATCH* current = nullptr;
    while (!current) {
        Vec3 p;
        code = input_point(view_ref, kPromptSelectHatch, cursor_draw_snap_box, nullptr, &p, kHelpSelectHatch);
        if (code != 0) {
            leave_input(view_ref);
            return code;
        }
        current = static_cast<HATCH*>(pick_object_at(*view_ref, p, &HATCH::rtc_class, nullptr));
    }
    const int depth = g_prefs.undo_mode;
    const int record = depth < 0 ? depth : depth + 1;
    for (;;) {
        Contour c;
        code = contour_ask(view_ref, &c, nullptr, kHelpHatch);
        if (code != 0 || contour_empty(c)) {
            contour_clear(&c);
            break;
        }
        VIEW* v = *view_ref;
        auto copy = rtc_make<HATCH>();
        PtrNode* hole = nullptr;
        if (!copy || copy->copy_level(*current) != 0 || ptrlist_add(&hole, c.vertices)) {
            if (copy) rtc_destroy(copy.release());
            contour_clear(&c);
            code = kOutOfMemory;
            break;
        }
        c.vertices = nullptr;
        contour_clear(&c);
        HATCH* h = copy.release();
        hole->next = h->contours[1];
        h->contours[1] = hole;
        if ((code = regen_object(h)) != 0) {
            rtc_destroy(h);
            break;
        }
        MODEL* m = view_drawing(v);
        CONTAINER* home = current->parent ? current->parent : v->current_layer;
        code = model_add_object(home, h, record, 1);
        if (code != 0) {
            rtc_destroy(h);  // never reached the drawing
            break;
        }
        if (model_delete_object(current, record, 0) != 0) {
            model_rollback(m);  // takes the new hatch back and destroys it
            if (depth >= 0) model_undo_trim(m, depth);
            code = kOutOfMemory;
            break;
        }
        view_set_colour_index(v, v->current_colour);
        view_notify_all(v, &h->box, 1);
        views_extend_extents(v, h);
        view_set_modified(v, 1);
        if (depth >= 0) model_undo_trim(m, depth);
        current = h;
    }
    leave_input(view_ref);
    return code;
}
