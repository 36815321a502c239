// The Extrude command: chosen line-work objects moved along a picked direction, one
// band of faces per drawn stroke. The segment settings are read, never changed.
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/support.h"
#include "commands/model3d/chains.h"
#include "commands/model3d/curve_pick.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/model3d.h"
#include "commands/model3d/sweep_surface.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/buffer.h"
#include "model/db/solid.h"

int extrude_meshes(const std::vector<std::vector<BasePoint>>& bases, const Vec3& v,
                   std::vector<std::unique_ptr<MESH3>>* out) {
    const Vec3 origin{0, 0, 0};
    return sweep_strokes_meshes(base_strokes(bases), {origin, v}, origin, v, out);
}

namespace {

int extrude_options(VIEW** r) { return model3d_options(r, g_draw3d_dialogs.extrude); }

}  // namespace

int cmd_extrude(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    if (!model3d_start(view_ref, g_draw3d_dialogs.extrude)) return 0;
    buffer* chosen = nullptr;
    Vec3 a, b;
    int code = select_for_command(kSelectLineWork, view_ref, &chosen, extrude_options, kPromptExtrudeSelect,
                                  kHelpExtrude);
    if (code == 0 && *view_ref)
        code = input_point(view_ref, kPromptDirectionStart, cursor_draw_crosshair, extrude_options, &a, kHelpExtrude);
    if (code == 0 && *view_ref) {
        input_set_point(*view_ref, a, 0);
        code = input_point(view_ref, kPromptDirectionEnd, cursor_draw_rubber_line, extrude_options, &b, kHelpExtrude);
    }
    if (!*view_ref && code == 0) code = kStepCancelled;
    if (code == 0) {
        // One band along the direction: the path has one segment whatever "FacesN"
        // holds, and the setting itself is never changed.
        const Vec3 origin{0, 0, 0}, v{b.x - a.x, b.y - a.y, b.z - a.z};
        const int faces_n = g_draw3d.faces_n;
        g_draw3d.faces_n = 1;
        code = sweep_objects(*view_ref, chosen, {origin, v}, origin, v);
        g_draw3d.faces_n = faces_n;
    }
    select_done(*view_ref, chosen);
    return code;
}
