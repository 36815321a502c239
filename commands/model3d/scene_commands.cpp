// New Camera, Spot Light and Omni Light: points asked in the view, the object made by
// new_camera or new_light, named, shown in its settings dialog and added to the
// current layer as one undo level; then the next one. Cancel in the dialog discards
// the object and ends the command quietly.
#include <cmath>
#include <cstring>

#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/support.h"
#include "commands/model3d/model3d.h"
#include "commands/model3d/scene_objects.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/naming.h"
#include "model/db/track_eval.h"
#include "model/geom/regen.h"
#include "model/material/material.h"
#include "model/math/result.h"
#include "model/rtc/rtc.h"

std::unique_ptr<CAMERA> new_camera(const Vec3& position, const Vec3& target, int colour) {
    auto cam = rtc_make<CAMERA>();
    if (!cam) return nullptr;
    std::memcpy(&cam->words[0], &kCameraFar, sizeof(float));
    std::memcpy(&cam->words[1], &kCameraNear, sizeof(float));
    cam->target = target;
    cam->position = position;
    cam->colour = colour;
    // No keyed records and no frame: up and side are rebuilt from the stored roll.
    camera_apply_frame(cam.get(), cam.get(), -1);
    cam->lens = kCameraZoom;
    return cam;
}

std::unique_ptr<LIGHT> new_light(const Vec3& position, const Vec3* target) {
    std::unique_ptr<LIGHT> light;
    if (target) {
        auto spot = rtc_make<SPOTLITE>();
        if (!spot) return nullptr;
        spot->target = *target;
        spot->cone_cos[0] = kSpotHot;
        spot->cone_cos[1] = kSpotFall;
        light = std::move(spot);
    } else {
        light = rtc_make<LIGHT>();
        if (!light) return nullptr;
    }
    // The light shines in the palette colour of its index from the start, so that its
    // settings dialog opens at the colour it will have.
    light->colour = kNewLightColour;
    light_set_palette_colour(light.get());
    light->position = position;
    return light;
}

namespace {

// Names the object, shows its dialog and adds it. 0 added; 1 the dialog was
// cancelled (nothing added); 8 or another failure code.
template <class T>
int settle(VIEW* view, std::unique_ptr<T> obj, const char* base, int (*dialog)(VIEW*, T*)) {
    if (obj_default_name(view_drawing(view), obj.get(), 0, base) != 0) return kOutOfMemory;
    if (dialog && !dialog(view, obj.get())) return 1;
    (void)regen_object(obj.get());
    const int r = drawing_insert_object(view, obj.get());
    if (r == 0) obj.release();  // the drawing's now; a failed insert leaves it ours to free
    return r;
}

int light_command(VIEW** view_ref, bool spot) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    view_set_input_mode(*view_ref, kInputActive);
    int code;
    for (;;) {
        Vec3 position, target;
        code = input_point(view_ref, kPromptLightPosition, cursor_draw_crosshair, nullptr, &position,
                           spot ? kHelpSpotLight : kHelpLight);
        if (code != 0 || !*view_ref) break;
        input_set_point(*view_ref, position, 0);
        if (spot) {
            code = input_point(view_ref, kPromptLightTarget, cursor_draw_rubber_line, nullptr, &target, kHelpLight);
            if (code != 0 || !*view_ref) break;
        }
        auto light = new_light(position, spot ? &target : nullptr);
        if (!light) {
            code = kOutOfMemory;
            break;
        }
        code = settle<LIGHT>(*view_ref, std::move(light), "Light", g_draw3d_dialogs.light_settings);
        if (code == 1) code = 0;  // cancelled: ends quietly
        else if (code == 0) continue;
        break;
    }
    if (*view_ref) view_set_input_mode(*view_ref, kInputIdle);
    return code;
}

}  // namespace

int cmd_spot_light(VIEW** view_ref) { return light_command(view_ref, true); }
int cmd_omni_light(VIEW** view_ref) { return light_command(view_ref, false); }

int cmd_new_camera(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    view_set_input_mode(*view_ref, kInputActive);
    int code;
    for (;;) {
        Vec3 position, target;
        code = input_point(view_ref, kPromptCameraPosition, cursor_draw_crosshair, nullptr, &position, kHelpCamera);
        if (code != 0 || !*view_ref) break;
        input_set_point(*view_ref, position, 0);
        code = input_point(view_ref, kPromptCameraTarget, cursor_draw_rubber_line, nullptr, &target, kHelpCamera);
        if (code != 0 || !*view_ref) break;
        auto cam = new_camera(position, target, (*view_ref)->current_colour);
        if (!cam || !cam->material || material_copy(cam->material, &(*view_ref)->material) != 0) {
            code = kOutOfMemory;
            break;
        }
        code = settle<CAMERA>(*view_ref, std::move(cam), nullptr, g_draw3d_dialogs.camera_settings);
        if (code == 1) code = 0;  // cancelled: ends quietly
        else if (code == 0) continue;
        break;
    }
    if (*view_ref) view_set_input_mode(*view_ref, kInputIdle);
    return code;
}
