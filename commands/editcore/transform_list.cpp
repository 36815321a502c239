// Applying a transform to a list of objects: in place or to copies, as one undoable
// step (the copy is added and the source deleted in the same undo level, so a move
// undoes in one step) or directly, with copies into another drawing finding their
// layer and styles there by name.
#include <algorithm>
#include <memory>
#include <new>
#include <unordered_set>
#include <vector>

#include "commands/editcore/copy.h"
#include "commands/editcore/transform.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/naming.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/zobj.h"
#include "model/geom/regen.h"
#include "model/math/result.h"

namespace {

// The container an undoable copy goes to: the source's own parent inside its own
// drawing; in another drawing the layer of the same name as the source's layer when
// that drawing has one; otherwise the container handed in.
CONTAINER* copy_target(object* src, CONTAINER* given) {
    CONTAINER* parent = src->parent;
    if (!parent) return given;
    MODEL* from = obj_model(src);
    MODEL* to = obj_model(given);
    if (from == to) return parent;
    if (rtc_is<LAYER>(parent) && to) {
        if (auto* layer = rtc_cast<LAYER>(model_find_named(to, parent->name(), &LAYER::rtc_class)))
            return layer;
    }
    return given;
}

// A copy that landed in another drawing takes that drawing's styles, and its display
// geometry is rebuilt with them (another drawing's dash lengths, fonts).
int rebind_styles(object* src, object* clone) {
    if (obj_model(clone) == obj_model(src)) return 0;
    object_patterns_rebind(clone);
    object_tracks_rebind(src, clone);
    return regen_object(clone);
}

// Drawings other than the target's that a move took objects out of, each with the
// undo level this step opened in it.
using SourceLevels = std::vector<MODEL*>;

int object_transform_undoable(const TransformJob& job, object* src, CONTAINER* container, int depth,
                              int* new_level, SourceLevels* sources, object** out) {
    std::unique_ptr<RTC> made;
    if (int rc = rtc_clone(&made, src)) return rc;
    auto* clone = static_cast<object*>(made.get());
    if (int rc = transform_object(job.transform, clone)) return rc;
    CONTAINER* target = copy_target(src, container);
    const int record_depth = depth >= 0 ? depth + 1 : depth;
    if (int rc = model_add_object(target, clone, record_depth, *new_level)) return rc;
    made.release();  // the drawing owns it now; a rollback of the level removes it
    *new_level = 0;
    *out = clone;
    if (int rc = rebind_styles(src, clone)) return rc;
    if (!job.copy) {
        // A move out of another drawing is a step of that drawing's own history: it
        // gets a level of its own there, never a place in the level of its last command.
        MODEL* home = obj_model(src);
        const bool other = home && home != obj_model(target);
        const bool fresh =
            other && std::find(sources->begin(), sources->end(), home) == sources->end();
        if (fresh) sources->reserve(sources->size() + 1);
        if (int rc = model_delete_object(src, record_depth, fresh ? 1 : 0)) return rc;
        if (fresh) sources->push_back(home);
    }
    return 0;
}

int object_transform_plain(const TransformJob& job, object* src, CONTAINER* container,
                           object** out) {
    if (!job.copy) {
        const int rc = transform_object(job.transform, src);
        obj_update_bbox(src);
        *out = src;
        return rc;
    }
    std::unique_ptr<RTC> made;
    if (int rc = rtc_clone(&made, src)) return rc;
    auto* clone = static_cast<object*>(made.get());
    if (int rc = transform_object(job.transform, clone)) return rc;
    if (int rc = container_insert(container, clone)) return rc;
    made.release();
    *out = clone;
    return rebind_styles(src, clone);
}

// The drawing objects of the list, in list order, leaving out any whose group is also
// in the list (it goes with the group).
std::vector<object*> objects_of(buffer* list) {
    std::unordered_set<const ZOBJ*> members;
    for (RefNode* n = list->refs; n; n = n->next)
        if (n->ref) members.insert(n->ref);
    std::vector<object*> out;
    for (RefNode* n = list->refs; n; n = n->next) {
        auto* obj = rtc_cast<object>(n->ref);
        if (!obj || rtc_is<LAYER>(obj) || rtc_is<MODEL>(obj)) continue;  // not edited as objects
        bool nested = false;
        for (const ZOBJ* p = obj->parent; p && !nested; p = p->parent)
            nested = members.count(p) > 0;
        if (!nested) out.push_back(obj);
    }
    return out;
}

// Transforms each object of the list into `result`; copies get unique names.
int objects_transform_list(const TransformJob& job, buffer* list, CONTAINER* container,
                           buffer* result, bool undoable, int depth, int* level,
                           SourceLevels* sources) {
    std::vector<object*> copies;
    try {
        for (object* src : objects_of(list)) {
            object* made = nullptr;
            int rc = undoable ? object_transform_undoable(job, src, container, depth, level,
                                                          sources, &made)
                              : object_transform_plain(job, src, container, &made);
            if (rc) return rc;
            if ((rc = buffer_add(result, made))) return rc;
            if (job.copy) copies.push_back(made);
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    for (object* copy : copies) {
        if (int rc = objects_unique_names(copy)) return rc;
    }
    return 0;
}

}  // namespace

int transform_objects(CONTAINER* container, buffer* result, buffer* list, const Vec3& p1,
                      const Vec3& p2, const Vec3& p3, int32_t mode, int* new_level, int depth) {
    if (!rtc_is<CONTAINER>(container) || !rtc_is<buffer>(list)) return kBadArgument;
    if (result && !rtc_is<buffer>(result)) return kBadArgument;
    Transform t;
    if (int rc = xform_from_points(&t, p1, p2, p3, mode)) return rc;
    return transform_objects_by(container, result, list, t, mode, new_level, depth);
}

int transform_objects_by(CONTAINER* container, buffer* result, buffer* list, const Transform& t,
                         int32_t mode, int* new_level, int depth) {
    if (!rtc_is<CONTAINER>(container) || !rtc_is<buffer>(list)) return kBadArgument;
    if (result && !rtc_is<buffer>(result)) return kBadArgument;
    TransformJob job;
    job.transform = t;
    job.copy = (mode & kXformCopy) != 0;
    const bool undoable = (mode & kXformNoUndo) == 0;

    buffer* temporary = nullptr;
    if (!result) {
        temporary = buffer_new();
        if (!temporary) return kOutOfMemory;
        result = temporary;
    }
    int local_level = 1;
    int* level = new_level ? new_level : &local_level;
    const int level_asked = *level;
    MODEL* model = obj_model(container);

    SourceLevels sources;
    const int rc =
        objects_transform_list(job, list, container, result, undoable, depth, level, &sources);
    if (undoable && model) {
        if (rc && level_asked && *level == 0) model_rollback(model);
        model_undo_trim(model, depth);
    }
    for (MODEL* home : sources) {
        if (rc) model_rollback(home);
        model_undo_trim(home, depth);
    }
    buffer_free(&temporary);
    return rc;
}
