// The image windows' and the Render command's dialogs behind the image window
// library's hooks.
#include "dialogs/image_dialogs.h"

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "commands/edit/edit.h"
#include "commands/model3d/scene_objects.h"
#include "dialogs/edit_dialogs.h"
#include "dialogs/render_pages.h"
#include "dialogs/texture_slot_editor.h"
#include "dialogs/xfile.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/find.h"
#include "model/db/glimpse_notify.h"
#include "model/db/naming.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/track_eval.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/geom/regen.h"
#include "model/math/result.h"
#include "model/services/msgbox.h"
#include "model/services/strtab.h"
#include "render/job/render_job.h"
#include "render/job/render_preview.h"
#include "resources/string_ids.h"
#include "shell/image/image_dialogs.h"
#include "shell/services.h"

namespace {

// The drawing's cameras as the camera combo offers them.
std::vector<RenderCameraChoice> drawing_cameras(MODEL* model) {
    std::vector<RenderCameraChoice> out;
    if (!model) return out;
    for (ZOBJ* z = tree_next(model, model); z; z = tree_next(z, model))
        if (auto* cam = rtc_cast<CAMERA>(z)) out.push_back({cam->name(), cam->lens, object_frame_count(cam)});
    return out;
}

// Puts `made` (a camera not yet the drawing's) into the drawing in one undo level: in
// `old`'s place, or on the current layer under a unique name; the images its material
// takes from the sheet become the drawing's. The drawing is marked changed. False,
// the drawing as it was, when that fails.
bool settle_camera(VIEW* view, CAMERA* old, std::unique_ptr<RTC> made, SheetPatterns* patterns) {
    MODEL* model = view_drawing(view);
    auto* cam = static_cast<CAMERA*>(made.get());
    const int depth = edit_record_depth();
    int rc = 0;
    if (old) {
        CONTAINER* home = old->parent ? old->parent : model;
        rc = model_delete_object(old, depth, 1);
        if (rc != 0) return false;
        rc = model_add_object(home, cam, depth, 0);
    } else {
        rc = model_add_object(model, cam, depth, 1);
        if (rc != 0) return false;
    }
    if (rc != 0) {
        model_rollback(model);
        return false;
    }
    made.release();  // the drawing owns it
    rc = regen_object(cam);
    if (rc == 0) rc = obj_default_name(model, cam, 0, cam->name());  // a typed name stays unique
    obj_update_bbox(cam);
    if (rc != 0) {
        model_rollback(model);
        edit_trim_undo(model);
        return false;
    }
    // Kept for good: the camera's images must outlive the sheet and any undo.
    if (patterns && cam->material) patterns->commit(*cam->material);
    edit_trim_undo(model);
    view_set_modified(view, 1);
    glimpse_notify_camera(model, cam);
    return true;
}

// The camera named `name`, or null.
CAMERA* named_camera(MODEL* model, const std::string& name) {
    return name.empty() ? nullptr : rtc_cast<CAMERA>(model_find_named(model, name.c_str(), &CAMERA::rtc_class));
}

// What the preview shows for the page's request.
RenderPreviewRequest preview_request(const RenderPreview& p) {
    RenderPreviewRequest r;
    r.camera_name = p.camera ? p.camera->name.c_str() : nullptr;
    r.perspective = p.perspective;
    r.perspective_value = p.perspective_value;
    r.selected_only = p.selected_only;
    r.frame = p.frame;
    r.force = p.force;
    return r;
}

// The camera button: the settings of a copy of the named camera, which replaces it
// on OK, or of a new one that joins the drawing on OK: the viewport's camera as
// `viewport` fits it (where it stands and looks, its lens), so that its settings
// are good as they open, with the sheet's scene its material and colour. Either
// with undo, and the drawing marked changed. Cancel leaves the drawing as it was.
bool camera_setup(VIEW* view, RenderCameraChoice* choice, const MaterialRecord& background, int32_t colour,
                  const RenderPreview& viewport, RenderPreviewer* previewer, SheetPatterns* patterns) {
    EditDialogs& d = edit_dialogs();
    MODEL* model = view_drawing(view);
    if (!d.camera_settings || !model) return false;
    CAMERA* old = named_camera(model, choice->name);
    std::unique_ptr<RTC> made;
    if (old) {
        if (rtc_clone(&made, old) != 0) made.reset();
    } else {
        made = rtc_make<CAMERA>();
        auto* cam = static_cast<CAMERA*>(made.get());
        if (made && (!previewer || previewer->fit_new_camera(preview_request(viewport), cam) != 0 ||
                     obj_default_name(model, cam, 0, nullptr) != 0 || !cam->material ||
                     material_copy(cam->material, &background) != 0))
            made.reset();
        if (made) {
            std::memcpy(&cam->words[0], &kCameraFar, sizeof(float));
            std::memcpy(&cam->words[1], &kCameraNear, sizeof(float));
            cam->colour = colour;
            // Its frame built again from itself, the roll keeping the viewport's up.
            cam->roll = camera_roll(cam);
            camera_apply_frame(cam, cam, -1);
        }
    }
    if (!made) return false;
    auto* cam = static_cast<CAMERA*>(made.get());
    if (!d.camera_settings(view, cam)) return false;
    if (!settle_camera(view, old, std::move(made), patterns)) return false;
    *choice = {cam->name(), cam->lens, object_frame_count(cam)};
    return true;
}

// The scene the sheet edited on the camera named `name` goes into a copy of it that
// replaces it, in one undo level. False, told, when that fails.
bool store_camera_scene(VIEW* view, const std::string& name, const RenderSheetScene& scene,
                        SheetPatterns* patterns) {
    CAMERA* old = named_camera(view_drawing(view), name);
    if (!old) return true;  // gone meanwhile: nothing to store into
    std::unique_ptr<RTC> made;
    auto* cam = rtc_clone(&made, old) == 0 ? static_cast<CAMERA*>(made.get()) : nullptr;
    if (cam && !cam->material) cam->material = material_new();
    bool ok = cam && cam->material && material_copy(cam->material, &scene.material) == 0;
    if (ok) {
        cam->colour = scene.colour;
        ok = settle_camera(view, old, std::move(made), patterns);
    }
    if (!ok) msgbox_ids(kStrIdError, IDS_NO_MEMORY);
    return ok;
}

// The picker's colour: the material sheet's colour form, which loads no images.
bool choose_colour(int32_t* colour) {
    MaterialRecord m;
    int32_t index = *colour;
    CMaterialSheetDlg dlg(shell_main_window(), kDlgMaterialColour, &index, &m);
    if (dlg.DoModalHelp(0) != IDOK) return false;
    *colour = index;
    return true;
}

// A movie or frame-file output asks for its file (the chosen type sets the kind) and
// an AVI for its compressor; false when either is cancelled.
bool choose_output(RenderJobOptions* o) {
    if (!o->animation || o->output_kind == kOutputScreen) return true;
    std::string name = o->output;
    constexpr int kTypes[7] = {21, 26, 23, 12, 10, 6, 4};  // FLC, AVI, MPEG, TGA, JPEG, GIF, BMP
    // The Animation page's type comes preselected, so a bare name takes its extension.
    const int type = export_movie_dialog(&name, shell_main_window(), kTypes[o->output_kind - 1]);
    if (type < 0 || name.empty()) return false;
    for (int i = 0; i < 7; ++i)
        if (kTypes[i] == type) o->output_kind = i + 1;
    o->output = name;
    if (o->output_kind == kOutputAvi) {
        const int codec = choose_avi_compressor(shell_main_window(), o->avi_codec);
        if (codec < 0) return false;
        o->avi_codec = codec;
    }
    return true;
}

// The Render command's sheet (see ImageWindowDialogs::render_sheet).
int render_sheet(VIEW* view, int32_t client_width, int32_t client_height, RenderPreviewer* previewer,
                 const std::function<void()>& redraw, RenderJobOptions* job_options) {
    MODEL* model = view_drawing(view);
    if (!model) return -1;
    RenderSettings settings;
    render_settings_read(*view, &settings);
    // The scene material (the view's second record; the first is the current material
    // new meshes take) is edited on a copy that goes back into the view with the other
    // settings; images it takes stay the sheet's until then.
    struct Release {
        MaterialRecord* m;
        ~Release() { material_init(m); }
    } release{&settings.material};
    if (material_copy(&settings.material, &view->second_material) != 0) {
        msgbox_ids(kStrIdError, IDS_NO_MEMORY);
        return kOutOfMemory;
    }
    SheetPatterns patterns(model);
    RenderJobOptions& options = *job_options;
    render_job_options_read(*view, &options);
    static std::string last_output;  // the output name lives for the session
    options.output = last_output;
    RenderPageHooks hooks;
    hooks.camera_setup = [view, previewer, &patterns](RenderCameraChoice* c, const MaterialRecord& background,
                                                      int32_t colour, const RenderPreview& viewport) {
        return camera_setup(view, c, background, colour, viewport, previewer, &patterns);
    };
    // A camera's scene: its own material, as the render takes it.
    hooks.camera_material = [model](const std::string& name, MaterialRecord* m, int32_t* colour) {
        CAMERA* cam = named_camera(model, name);
        if (!cam || !cam->material || material_copy(m, cam->material) != 0) return false;
        *colour = cam->colour;
        return true;
    };
    hooks.choose_colour = [](int32_t* colour) { return choose_colour(colour); };
    hooks.preview = [&](const RenderPreview& p) {
        if (previewer->show(preview_request(p))) redraw();
    };
    RenderSheetScene camera_scene;
    const bool ok = run_render_sheet(shell_main_window(), &settings, &options, drawing_cameras(model),
                                     client_width, client_height, hooks, &patterns, &camera_scene);
    if (previewer->restore()) redraw();
    if (!ok) return -1;
    CAMERA* named = rtc_cast<CAMERA>(model_find_named(model, options.camera_name.c_str(), &CAMERA::rtc_class));
    // A camera without frames renders one picture whatever the stored animation flag:
    // no movie to name then.
    if (render_job_animates(render_job_frame_count(model, named)) && !choose_output(&options)) return -1;
    // Swapped in whole: the copy goes with the settings, and a failed copy could have
    // left the view pointing at images the sheet frees.
    if (camera_scene.shown && named && !store_camera_scene(view, named->name(), camera_scene, &patterns))
        return kOutOfMemory;
    material_swap(&view->second_material, &settings.material);
    patterns.commit(view->second_material);
    render_settings_write(view, settings);
    render_job_options_write(view, options);
    last_output = options.output;
    return 0;
}

}  // namespace

void image_dialogs_install() {
    ImageWindowDialogs& d = image_window_dialogs();
    d.image_file = [](std::string* name, bool open, QWidget* parent) { return image_file_dialog(name, open, parent); };
    d.single_type_save = [](std::string* name, const char* pattern, QWidget* parent) {
        return single_type_save_dialog(name, pattern, parent);
    };
    d.render_sheet = &render_sheet;
}
