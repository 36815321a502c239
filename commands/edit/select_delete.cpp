// Select, Deselect and Delete: building the view's selection by point, box, fence or
// over the whole drawing with attribute filters, and deleting objects one undo level
// per pass.
#include "commands/edit/edit.h"
#include "commands/editcore/picking.h"
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/zoom.h"
#include "graphics/view/projection.h"
#include "graphics/view/view.h"
#include "graphics/view/view_gdi.h"
#include "graphics/view/view_host.h"
#include "model/db/buffer.h"
#include "model/db/undo.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "model/services/strtab.h"

namespace {

int g_dialog_result = 0;  // of the options callback that ended a step: 0 none, 1 OK, 2 All
uint32_t g_criteria_help = 0;

int run_criteria(VIEW* view, uint32_t help) {
    if (!edit_dialogs().select_criteria) return 1;
    return edit_dialogs().select_criteria(view, help);
}

// A cancelled dialog leaves the step waiting as if the key had not been pressed: only
// a confirmed one is remembered as the reason the step ended.
int criteria_options(VIEW** view_ref) {
    const int r = run_criteria(*view_ref, g_criteria_help);
    if (r != 0) g_dialog_result = r;
    return r != 0 ? 1 : 0;
}

// The attribute filters alone, over the whole drawing.
int select_all_filtered(VIEW* view, buffer* selection, int select) {
    PickWindow& crit = view->criteria;
    const uint32_t saved = crit.flags;
    crit.flags &= kCritFilters;
    const int rc = pick_objects_region(view, selection, &crit, select);
    crit.flags = saved;
    return rc;
}

void to_view(VIEW* view, const Vec3& a, const Vec3& b) {
    world_to_view(&view->projection, a, &view->criteria.p1);
    world_to_view(&view->projection, b, &view->criteria.p2);
}

}  // namespace

int select_objects(VIEW** view_ref, buffer* selection, int select) {
    VIEW* view = *view_ref;
    const uint32_t help = select ? 40006 : 40007;
    const int quiet = select ? g_prefs.mark : g_prefs.unmark;
    if (!(quiet && (view->criteria.flags & kCritLocation))) {
        const int r = run_criteria(view, help);
        if (r == 0) return 0;
        if (r == 2) return select_all_filtered(view, selection, select);
    }
    const int32_t grid_on = view->grid_on, step = view->step_select;
    const int32_t input_flags = view->input_flags;
    view->input_flags = 1;
    view->grid_on = 0;
    view->step_select = 0;
    view_set_input_mode(view, kInputActive);
    g_criteria_help = help;
    int last = 0, rc = 0;
    bool all = false;
    for (;;) {
        g_dialog_result = 0;
        const uint32_t loc = view->criteria.flags & kCritLocation;
        Vec3 a, b;
        if (loc & kCritPoint) {
            last = input_point(view_ref, kPromptSelectObject, nullptr, criteria_options, &a, 40102);
            b = a;
        } else if (loc & kCritBox) {
            last = input_box(view_ref, criteria_options, &a, &b, 40103);
        } else if (loc & kCritFence) {
            last = input_point(view_ref, kPromptFirstPoint, nullptr, criteria_options, &a, 40104);
            if (last == 0 && *view_ref) {
                input_set_point(*view_ref, a, 0);
                last = input_point(view_ref, kPromptSecondPoint, cursor_draw_rubber_line, criteria_options, &b,
                                   40104);
            }
        } else {
            rc = pick_objects_region(*view_ref, selection, &(*view_ref)->criteria, select);
            break;
        }
        if (!*view_ref) break;
        if (last == 0) {
            to_view(*view_ref, a, b);
            rc = pick_objects_region(*view_ref, selection, &(*view_ref)->criteria, select);
            continue;
        }
        if (g_dialog_result == 0 || g_dialog_result == 2 || last == kStepCancelled) {
            all = g_dialog_result == 2;
            break;
        }
    }
    view = *view_ref;
    if (view) {
        view_set_input_mode(view, kInputIdle);
        view->input_flags = input_flags;
        view->grid_on = grid_on;
        view->step_select = step;
        if (all) rc = select_all_filtered(view, selection, select);
    }
    if (last == kStepCancelled) return kStepCancelled;
    return rc;
}

int cmd_select(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    return select_objects(view_ref, (*view_ref)->selection, 1);
}

int cmd_deselect(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    return select_objects(view_ref, (*view_ref)->selection, 0);
}

int cmd_delete(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    if (!buffer_has_objects((*view_ref)->selection)) view_set_input_mode(*view_ref, kInputActive);
    buffer* objects = nullptr;
    int rc = 0;
    while (VIEW* view = edit_next_objects(view_ref, &objects, &rc)) {
        const bool from_selection = objects == view->selection;
        if (g_prefs.erase || msgbox_yes_no("%s", res_load_string(kPromptRemoveObjects).c_str())) {
            BBox box;
            buffer_get_bbox(objects, &box);
            view_gdi_list_all_cur(view, objects);
            view_set_modified(view, 1);
            MODEL* model = view_drawing(view);
            // One level for the pass, recorded deep enough to be rolled back.
            int new_level = 1;
            const int depth = edit_record_depth();
            for (RefNode* n = objects->refs; n && rc == 0; n = n->next) {
                if (!n->ref) continue;
                ZOBJ* obj = n->ref;
                rc = model_delete_object(obj, depth, new_level);
                if (rc == 0) new_level = 0;
            }
            if (rc != 0 && new_level == 0 && model) model_rollback(model);
            if (rc == 0) buffer_clear(objects);
            edit_trim_undo(model);
            edit_redraw_box(view, box);
            if (rc != 0) break;
        }
        if (from_selection) break;
    }
    if (*view_ref) {
        input_finish(*view_ref, objects);
        views_compute_extents(*view_ref);
        view_update_scrollbars_all(*view_ref);
    }
    return rc == kStepRefused ? 0 : rc;
}
