// The Extrude command: chosen line-work objects moved along a picked direction, one
// band of faces per drawn stroke. The segment settings are read, never changed.
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/support.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/model3d.h"
#include "commands/model3d/sweep_surface.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/buffer.h"
#include "model/db/solid.h"

int extrude_meshes(const std::vector<std::vector<BasePoint>>& bases, const Vec3& v,
                   std::vector<std::unique_ptr<MESH3>>* out) {
    out->clear();
    const Vec3 origin{0, 0, 0};
    const std::vector<Vec3> path = {origin, v};
    for (const auto& base : bases) {
        std::vector<Vec3> stroke;
        for (size_t i = 0; i < base.size(); ++i) {
            stroke.push_back(base[i].p);
            // A pen-up point or the base's end closes the stroke.
            if (!base[i].pen_up && i + 1 < base.size()) continue;
            if (stroke.size() >= 2) {
                std::unique_ptr<MESH3> mesh;
                const int r = sweep_profile_mesh(stroke, false, path, origin, v, &mesh);
                if (r != 0) return r;
                if (mesh) out->push_back(std::move(mesh));
            }
            stroke.clear();
        }
    }
    return 0;
}

namespace {

int extrude_options(VIEW** r) {
    return g_draw3d_dialogs.extrude && *r ? (g_draw3d_dialogs.extrude(*r) ? 1 : 0) : 0;
}

}  // namespace

int cmd_extrude(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    if (!g_draw3d_query && g_draw3d_dialogs.extrude && !g_draw3d_dialogs.extrude(*view_ref)) return 0;
    view_set_input_mode(*view_ref, 1);
    buffer* chosen = nullptr;
    Vec3 at, a, b;
    int code = input_object(view_ref, &chosen, &at);
    if (code == 0 && *view_ref)
        code = input_point(view_ref, kPromptDirectionStart, cursor_draw_crosshair, extrude_options, &a, kHelpExtrude);
    if (code == 0 && *view_ref) {
        input_set_point(*view_ref, a, 0);
        code = input_point(view_ref, kPromptDirectionEnd, cursor_draw_rubber_line, extrude_options, &b, kHelpExtrude);
    }
    if (!*view_ref && code == 0) code = kStepCancelled;
    if (code == 0) {
        std::vector<std::vector<BasePoint>> bases;
        for (const RefNode* n = chosen ? chosen->refs : nullptr; n; n = n->next)
            if (n->ref) wire_point_lists(static_cast<const object*>(n->ref), &bases);
        const Vec3 v{b.x - a.x, b.y - a.y, b.z - a.z};
        std::vector<std::unique_ptr<MESH3>> meshes;
        code = extrude_meshes(bases, v, &meshes);
        for (auto& m : meshes) {
            if (code != 0) break;
            code = drawing_add_object(*view_ref, m.release(), 0, 1);
        }
    }
    if (*view_ref) input_finish(*view_ref, chosen);
    return code;
}
