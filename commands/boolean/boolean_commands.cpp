// The boolean commands (Union, Intersection, Subtraction, Join) and their buffer
// helpers: collecting the operands from the selection, picking meshes, and replacing
// the operands by the result in one undo level.
#include "commands/boolean/boolean_commands.h"

#include <memory>
#include <vector>

#include "commands/boolean/csg.h"
#include "commands/boolean/strings.h"
#include "commands/editcore/picking.h"
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/undo.h"
#include "model/geom/regen.h"
#include "model/material/material.h"
#include "model/math/plist.h"
#include "model/math/result.h"
#include "model/rtc/rtc.h"
#include "model/services/log.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"

namespace {

// ---- Command frame --------------------------------------------------------------

// State shared by the four commands from the start to the cleanup.
struct Run {
    VIEW** view_ref;
    MODEL* model = nullptr;
    buffer* saved = nullptr;     // the selection at the start
    buffer* operands = nullptr;  // the meshes to combine
    int mode = -1;               // the undo depth setting
    int depth = -1;              // recording depth: one more, so a failure can roll back
    bool waiting = false;        // wait cursor shown

    VIEW* view() const { return *view_ref; }
};

// A copy of the selection's references in the same order, outside the buffer ring.
buffer* copy_selection(const buffer* sel) {
    buffer* copy = buffer_create();
    if (!copy || !sel) return copy;
    std::vector<ZOBJ*> refs;
    for (const RefNode* n = sel->refs; n; n = n->next) {
        if (n->ref) refs.push_back(n->ref);
    }
    for (auto it = refs.rbegin(); it != refs.rend(); ++it) {
        if (buffer_add(copy, *it) != 0) {
            buffer_free(&copy);
            return nullptr;
        }
    }
    return copy;
}

// Starts a command: saved selection, operand buffer, undo depth. 0 or 8.
int run_begin(Run& run) {
    VIEW* view = run.view();
    run.model = view ? view_drawing(view) : nullptr;
    if (!view || !run.model) return kBadArgument;
    run.mode = g_prefs.undo_mode;
    run.depth = run.mode >= 0 ? run.mode + 1 : run.mode;
    run.saved = copy_selection(view->selection);
    run.operands = buffer_create();
    if (!run.saved || !run.operands) return kOutOfMemory;
    return selection_collect_meshes(view, run.operands);
}

// Ends a command: on failure the selection comes back; the undo history is trimmed
// to the setting; the buffers are released.
int run_end(Run& run, int result, bool failed) {
    VIEW* view = run.view();
    if (view) view_set_input_mode(view, kInputIdle);
    buffer_free(&run.operands);
    if (failed) {
        if (view && view->selection && run.saved) std::swap(view->selection->refs, run.saved->refs);
    }
    if (run.model) model_undo_trim(run.model, run.mode);
    buffer_free(&run.saved);
    if (run.waiting) wait_cursor_end();
    return result;
}

// The code of a command whose pick step ended without a mesh: 0 for a refusal or a
// cancel, else the step's engine code.
int pick_end_code(int code) {
    return (code == 0 || code == -1 || code == -2) ? 0 : code;
}

// The result takes the first operand's material (smooth shading by angle), colour and
// a zero width. 0, or 8 when the material cannot be copied.
int take_over(MESH3* result, const MESH3* first) {
    if (!result->material ||
        (first->material && material_copy(result->material, first->material) != 0))
        return kOutOfMemory;
    result->material->flags |= kMaterialSmoothByAngle;
    result->colour = first->colour;
    result->width = 0.0f;
    (void)regen_object(result);
    return 0;
}

// Redraws what changed: the operands' box and the results' box in every view.
void redraw(Run& run, const BBox& box) {
    VIEW* view = run.view();
    if (!view) return;
    view_notify_all(view, &box, 1);
    view_update_scrollbars_all(view);
    view_set_modified(view, 1);
}

// Asks until the operands hold two meshes (a mesh picked twice counts once). False
// when a step ended without a mesh, with the command's result in *code.
bool pick_two(Run& run, uint32_t first_prompt, uint32_t second_prompt, int* code) {
    while (buffer_count_meshes(run.operands) < 2) {
        const uint32_t prompt = buffer_count_meshes(run.operands) == 0 ? first_prompt : second_prompt;
        int step = 0;
        MESH3* m = mesh_pick_prompt(run.view_ref, prompt, &step);
        if (!m) {
            *code = pick_end_code(step);
            return false;
        }
        if (int r = buffer_add(run.operands, m)) {
            *code = r;
            return false;
        }
    }
    return true;
}

// Adds the result as a new undo level and deletes the operands into it. 0 or the
// failure's code (the level rolled back, the result gone).
int replace_operands(Run& run, std::unique_ptr<MESH3> result) {
    VIEW* view = run.view();
    MESH3* raw = result.get();
    if (int r = model_add_object(view->current_layer, raw, run.depth, 1)) return r;
    result.release();  // the drawing owns it
    if (int r = buffer_delete_objects_undo(run.operands, run.depth)) {
        model_rollback(run.model);
        return r;
    }
    return 0;
}

// Union (join false) and Join (join true).
int combine_command(void* arg, bool join) {
    Run run{static_cast<VIEW**>(arg)};
    if (!run.view_ref || !*run.view_ref) return kBadArgument;
    if (int r = run_begin(run)) return run_end(run, r, true);
    view_set_input_mode(run.view(), kInputActive);
    int code = 0;
    if (!pick_two(run, kStrCsgPickUnionFirst, kStrCsgPickUnionSecond, &code)) return run_end(run, code, true);
    if (!run.view()) return run_end(run, 0, true);
    view_set_input_mode(run.view(), kInputIdle);
    wait_cursor_begin();
    run.waiting = true;
    RefNode* cursor = nullptr;
    MESH3* first = buffer_next_mesh(run.operands, &cursor);
    BBox box = kEmptyBBox;
    buffer_get_bbox(run.operands, &box);
    std::unique_ptr<MESH3> result;
    if (join) {
        CsgStatus status;
        result = csg_join_meshes(run.operands->refs, &status);
        // Meshes of nothing but degenerate triangles are refused with a reason, not
        // reported as a lack of memory.
        if (!result && status.code == kCsgNoUsableFace) {
            msgbox_ids(kStrIdError, kStrCsgNoUsableFace);
            return run_end(run, kBadArgument, true);
        }
    } else {
        MESH3* second = buffer_next_mesh(run.operands, &cursor);
        CsgStatus status;
        result = csg_boolean(first, second, kCsgUnion, &status);
        // Each further mesh joins the running result, which it replaces.
        while (result) {
            MESH3* next = buffer_next_mesh(run.operands, &cursor);
            if (!next) break;
            result = csg_boolean(result.get(), next, kCsgUnion, &status);
        }
        // The engine's refusal is the command's answer, shown with its reason.
        if (!result && status.code != 0) {
            csg_show_failure(status);
            return run_end(run, status.code, true);
        }
    }
    if (!result) return run_end(run, kOutOfMemory, true);
    if (int r = take_over(result.get(), first)) return run_end(run, r, true);
    bbox_union(result->box, &box);
    if (int r = replace_operands(run, std::move(result))) return run_end(run, r, true);
    redraw(run, box);
    return run_end(run, 0, false);
}

// Intersection and Subtraction: every operand other than the tool is combined with
// the tool; the results replace the operands and the tool.
int boolean_command(void* arg, int operation, uint32_t first_prompt, uint32_t second_prompt) {
    Run run{static_cast<VIEW**>(arg)};
    if (!run.view_ref || !*run.view_ref) return kBadArgument;
    if (int r = run_begin(run)) return run_end(run, r, true);
    view_set_input_mode(run.view(), kInputActive);
    int step = 0;
    if (buffer_count_meshes(run.operands) == 0) {
        MESH3* m = mesh_pick_prompt(run.view_ref, first_prompt, &step);
        if (!m) return run_end(run, pick_end_code(step), true);
        if (int r = buffer_add(run.operands, m)) return run_end(run, r, true);
    }
    MESH3* tool = nullptr;
    for (;;) {
        tool = mesh_pick_prompt(run.view_ref, second_prompt, &step);
        if (!tool) return run_end(run, pick_end_code(step), true);
        // The tool alone would leave nothing to combine it with: ask again.
        RefNode* c = nullptr;
        MESH3* only = buffer_next_mesh(run.operands, &c);
        if (!(buffer_count_meshes(run.operands) == 1 && only == tool)) break;
    }
    view_set_input_mode(run.view(), kInputIdle);
    wait_cursor_begin();
    run.waiting = true;
    // The tool is dropped from the operands; it is deleted on its own.
    for (RefNode* n = run.operands->refs; n; n = n->next) {
        if (n->ref == tool) buffer_drop_ref(run.operands, n);
    }
    BBox box = kEmptyBBox;
    buffer_get_bbox(run.operands, &box);
    bbox_union(tool->box, &box);
    bool level = false;
    int failure = 0;
    RefNode* cursor = nullptr;
    while (MESH3* a = buffer_next_mesh(run.operands, &cursor)) {
        CsgStatus status;
        std::unique_ptr<MESH3> result = csg_boolean(a, tool, operation, &status);
        if (!result && status.code != 0) {
            csg_show_failure(status);
            failure = status.code;
            break;
        }
        if (!result || take_over(result.get(), a) != 0) {
            failure = kOutOfMemory;
            break;
        }
        bbox_union(result->box, &box);
        if (model_add_object(run.view()->current_layer, result.get(), run.depth, level ? 0 : 1) != 0) {
            failure = kOutOfMemory;
            break;
        }
        result.release();
        level = true;
    }
    if (!failure) {
        failure = buffer_delete_objects_undo(run.operands, run.depth);
        if (!failure) failure = model_delete_object(tool, run.depth, 0);
    }
    if (failure) {
        if (level) model_rollback(run.model);
        return run_end(run, failure, true);
    }
    redraw(run, box);
    return run_end(run, 0, false);
}

// Depth-first search of a container's children for meshes (pre-order without
// recursion: groups nest as deep as a file may hold).
int collect_inside(const CONTAINER* c, buffer* operands) {
    for (ZOBJ* z = tree_next(c, c); z; z = tree_next(z, c)) {
        if (auto* m = rtc_cast<MESH3>(z)) {
            if (buffer_add(operands, m) != 0) return kOutOfMemory;
        }
    }
    return 0;
}

}  // namespace

const BooleanCommandEntry kBooleanCommands[4] = {
    {kCmdSubtraction, cmd_subtraction},
    {kCmdIntersection, cmd_intersection},
    {kCmdUnion, cmd_union},
    {kCmdJoinMeshes, cmd_join_meshes},
};

int cmd_union(void* arg) {
    return combine_command(arg, false);
}

int cmd_join_meshes(void* arg) {
    return combine_command(arg, true);
}

int cmd_intersection(void* arg) {
    return boolean_command(arg, kCsgIntersection, kStrCsgPickIntersectionFirst, kStrCsgPickIntersectionSecond);
}

int cmd_subtraction(void* arg) {
    return boolean_command(arg, kCsgSubtraction, kStrCsgPickSubtractFrom, kStrCsgPickSubtracted);
}

MESH3* mesh_pick_prompt(VIEW** view_ref, uint32_t prompt_id, int* code) {
    Vec3 point{0, 0, 0};
    const int r = input_point(view_ref, prompt_id, cursor_draw_crosshair, nullptr, &point, 0);
    if (code) *code = r;
    if (r != 0 || !view_ref || !*view_ref) return nullptr;
    return rtc_cast<MESH3>(pick_object_at(*view_ref, point, &MESH3::rtc_class, nullptr));
}

int selection_collect_meshes(VIEW* view, buffer* operands) {
    if (!view || !view->selection) return 0;
    for (RefNode* n = view->selection->refs; n; n = n->next) {
        if (!n->ref) continue;
        if (auto* m = rtc_cast<MESH3>(n->ref)) {
            if (buffer_add(operands, m) != 0) return kOutOfMemory;
            buffer_drop_ref(view->selection, n);
        } else if (auto* c = rtc_cast<CONTAINER>(n->ref)) {
            if (collect_inside(c, operands) != 0) return kOutOfMemory;
            buffer_drop_ref(view->selection, n);
        }
    }
    return 0;
}

int buffer_count_meshes(const buffer* buf) {
    int n = 0;
    for (const RefNode* r = buf ? buf->refs : nullptr; r; r = r->next) n += rtc_cast<MESH3>(r->ref) ? 1 : 0;
    return n;
}

MESH3* buffer_next_mesh(const buffer* buf, RefNode** cursor) {
    if (!buf || !cursor) return nullptr;
    for (RefNode* r = *cursor ? (*cursor)->next : buf->refs; r; r = r->next) {
        if (auto* m = rtc_cast<MESH3>(r->ref)) {
            *cursor = r;
            return m;
        }
    }
    return nullptr;
}

int buffer_delete_objects_undo(buffer* buf, int depth) {
    for (RefNode* r = buf ? buf->refs : nullptr; r; r = r->next) {
        if (!r->ref) continue;
        if (int code = model_delete_object(r->ref, depth, 0)) return code;
    }
    return 0;
}
