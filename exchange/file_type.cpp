// File-type dispatch for loading, exporting and block insertion.
#include "exchange/file_type.h"

#include <strings.h>

#include <cmath>
#include <cstring>

#include "commands/edit/edit.h"
#include "commands/editcore/transform.h"
#include "graphics/view/view.h"
#include "model/db/buffer.h"
#include "model/db/undo.h"
#include "model/db/zobj.h"
#include "model/file/drawing_file.h"
#include "model/math/result.h"
#include "model/services/error_text.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"

namespace {

struct KindRow {
    const char* ext;
    FileKind kind;
};
constexpr KindRow kKinds[] = {
    {".qvm", FileKind::drawing}, {".mcr", FileKind::block},     {".dxf", FileKind::dxf},
    {".dwg", FileKind::dwg},     {".3ds", FileKind::studio3ds}, {".asc", FileKind::asc},
    {".nff", FileKind::nff},
};

int type_not_supported(const char* path) {
    msgbox_printf(kStrIdError, "%s|%s", res_load_string(IDS_TYPE_NOT_SUPPORTED_YET).c_str(),
                  path);
    return kTypeNotSupported;
}

// A refused Load Block: the objects read die and the styles they brought (the level
// they opened) go.
void drop_loaded(buffer* sel, MODEL* model, bool level_open) {
    for (RefNode* n = sel->refs; n; n = n->next) {
        if (!n->ref) continue;
        ZOBJ* obj = n->ref;
        buffer_drop_ref(sel, n);
        rtc_destroy(obj);
    }
    if (level_open) model_rollback(model);
}

}  // namespace

const char* file_extension(const char* path) {
    if (!path) return "";
    const char* name = std::strrchr(path, '/');
    name = name ? name + 1 : path;
    const char* dot = std::strrchr(name, '.');
    return dot ? dot : "";
}

FileKind file_kind_of(const char* path) {
    const char* ext = file_extension(path);
    for (const KindRow& row : kKinds)
        if (strcasecmp(ext, row.ext) == 0) return row.kind;
    return FileKind::unknown;
}

int load_file_by_type(const char* path, MODEL* model, int /*options*/, int32_t* skipped) {
    if (skipped) *skipped = 0;
    if (!model || !path || !*path) return kBadArgument;
    switch (file_kind_of(path)) {
        case FileKind::drawing: return drawing_file_import(path, model, skipped);
        default: return type_not_supported(path);
    }
}

void tell_load_failure(const char* path, int code) {
    msgbox_printf(kStrIdError, "%s|%s (%s)", res_load_string(IDS_CANT_LOAD_DATA).c_str(), path,
                  error_code_text(code, path).c_str());
}

void tell_save_failure(const char* path, int code) {
    msgbox_printf(kStrIdError, "%s|%s (%s)", res_load_string(IDS_CANT_SAVE_DATA).c_str(), path,
                  error_code_text(code, path, FileAccess::write).c_str());
}

int export_file_by_type(VIEW* view, const ExportFileRequest* request) {
    if (!view || !request || !request->path[0]) return kBadArgument;
    MODEL* model = view_drawing(view);
    if (!model) return kBadArgument;
    if (file_kind_of(request->path) != FileKind::drawing) return type_not_supported(request->path);
    const int r = drawing_file_save(request->path, model, 0);
    if (r != 0) tell_save_failure(request->path, r);
    return r;
}

int undo_depth_from_prefs() {
    if (g_prefs.undo_mode < 0) return -1;
    if (g_prefs.undo_mode == 0) return 0;
    return g_prefs.undo_level > 0 ? g_prefs.undo_level : -1;
}

int cmd_load_block(void* arg) {
    auto* args = static_cast<LoadBlockArgs*>(arg);
    if (!args || !args->view) return kBadArgument;
    MODEL* model = view_drawing(args->view);
    if (!model) return kBadArgument;
    if (!args->path) return type_not_supported("");
    CONTAINER* layer = args->view->current_layer;
    if (!layer) layer = rtc_cast<LAYER>(model->first_child());
    if (!layer) layer = model;

    buffer* sel = buffer_create();
    if (!sel) return kOutOfMemory;
    char label[kBlockLabelSize] = {0};
    Vec3 base{0, 0, 0};
    const int depth = undo_depth_from_prefs();
    int new_level = 1;
    const uint64_t stamp = model_undo_stamp(model);
    int r = block_file_load(args->path, label, sizeof label, model, sel, &base, &new_level, depth);
    // A base point the file cannot give (not finite) is the origin: no object is
    // moved to nowhere.
    if (!std::isfinite(base.x) || !std::isfinite(base.y) || !std::isfinite(base.z)) base = {0, 0, 0};
    Transform move{kMatIdentity, kMatIdentity};
    if (args->at) {
        // In double: the offset between two far floats may itself lie beyond float.
        xform_translate(&move, double(args->at->x) - base.x, double(args->at->y) - base.y,
                        double(args->at->z) - base.z);
        // A place that would carry the block beyond the drawing's range changes nothing
        // (the user has been told).
        if (r == 0 && !transform_result_usable(sel, move)) {
            drop_loaded(sel, model, model_undo_stamp(model) != stamp);
            buffer_free(&sel);
            return kBadArgument;
        }
    }
    // The objects read have no parent: each goes into the layer (undoably) or dies.
    for (RefNode* n = sel->refs; n; n = n->next) {
        if (!n->ref) continue;
        ZOBJ* obj = n->ref;
        buffer_drop_ref(sel, n);
        if (r == 0 && args->at && rtc_is_a(obj, &object::rtc_class)) r = transform_object(move, static_cast<object*>(obj));
        if (r == 0) {
            const int a = model_add_object(layer, obj, depth, new_level);
            if (a == 0) {
                new_level = 0;
                continue;
            }
            r = a;
        }
        rtc_destroy(obj);
    }
    buffer_free(&sel);
    if (r != 0) {
        // No part of a block stays: the objects placed and the styles it brought go.
        if (model_undo_stamp(model) != stamp) model_rollback(model);
        tell_load_failure(args->path, r);
        return r;
    }
    model_notify_views(model, nullptr, 1);
    model->set_modified(1);
    return 0;
}
