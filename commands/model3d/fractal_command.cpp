// The Fractal command: a fractal surface over three picked points ("FractalMode" 0),
// or one over every face of the chosen meshes (other modes), each surface one new
// mesh added to the drawing.
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/support.h"
#include "commands/model3d/curve_pick.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/feedback3d.h"
#include "commands/model3d/model3d.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/buffer.h"
#include "model/math/result.h"
#include "model/mesh/mesh.h"
#include "model/rtc/rtc.h"
#include "model/services/log.h"

int fractal_from_meshes(const buffer* chosen, int levels, double roughness, std::unique_ptr<MESH3>* out) {
    out->reset();
    if (!chosen) return 0;
    auto made = rtc_make<MESH3>();
    if (!made) return kOutOfMemory;
    for (const RefNode* n = chosen->refs; n; n = n->next) {
        if (!n->ref || !rtc_is_a(n->ref, &MESH3::rtc_class)) continue;  // containers and others skipped
        const auto* mesh = static_cast<const MESH3*>(n->ref);
        for (const MeshFaceBlock* b = mesh->blocks; b; b = b->next) {
            for (const MeshFace& f : b->faces) {
                int32_t v[3];
                edge_pair_vertices(b->edges[f.e[0]], b->edges[f.e[1]], &v[0], &v[1], &v[2]);
                Vec3 p[3];
                for (int k = 0; k < 3; ++k) {
                    const MeshVertex& mv = b->vertices[static_cast<size_t>(v[k])];
                    p[k] = {mv.x, mv.y, mv.z};
                }
                const int r = mesh_fractal_surface(made.get(), &p[0], &p[1], &p[2], levels, roughness);
                if (r != 0) return r;
            }
        }
    }
    // Nothing to build on (groups or other objects only): nothing to add.
    if (made->blocks) *out = std::move(made);
    return 0;
}

namespace {

// A change between points and chosen meshes changes the steps: the step ends and the
// command starts over in the new mode.
int fractal_options(VIEW** r) {
    const int mode = g_draw3d.fractal_mode;
    (void)model3d_options(r, g_draw3d_dialogs.fractal);
    return g_draw3d.fractal_mode != mode ? 1 : 0;
}

// One surface over three points; 0 when added, else the code that ended it.
int fractal_from_points(VIEW** view_ref) {
    static constexpr uint32_t kPrompts[3] = {kPromptFacesFirst, kPromptFacesSecond, kPromptFractalThird};
    Vec3 p[3];
    for (int i = 0; i < 3; ++i) {
        static constexpr InputMoveFn kFeedback[3] = {cursor_draw_crosshair, cursor_draw_rubber_line,
                                                     fb_outline_triangle};
        const int code = input_point(view_ref, kPrompts[i], kFeedback[i], fractal_options, &p[i], kHelpFractal);
        if (code != 0) return code;
        if (!*view_ref) return kStepCancelled;
        input_set_point(*view_ref, p[i], 0);
        input_set_point(*view_ref, p[i], kOutlineSlot + i);
    }
    WaitCursor wait;
    auto mesh = rtc_make<MESH3>();
    if (!mesh) return kOutOfMemory;
    const int r = mesh_fractal_surface(mesh.get(), &p[0], &p[1], &p[2], g_draw3d.fractal_levels,
                                       g_draw3d.fractal_deriv);
    if (r != 0) return r;
    return drawing_add_object(*view_ref, std::move(mesh), 1);
}

}  // namespace

int cmd_fractal(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    if (!g_draw3d_query && g_draw3d_dialogs.fractal && !g_draw3d_dialogs.fractal(*view_ref)) return 0;
    view_set_input_mode(*view_ref, kInputActive);
    int code;
    buffer* chosen = nullptr;
    for (;;) {
        const int mode = g_draw3d.fractal_mode;
        if (mode == 0) {
            code = fractal_from_points(view_ref);
        } else {
            // The buffer of the previous pass goes first (a selection is only let go).
            if (chosen) {
                select_done(*view_ref, chosen);
                chosen = nullptr;
                view_set_input_mode(*view_ref, kInputActive);
            }
            code = select_for_command(kSelectMeshes, view_ref, &chosen, fractal_options, kPromptFractalChoose,
                                      kHelpFractal);
            if (code == 0 && *view_ref) {
                WaitCursor wait;
                std::unique_ptr<MESH3> mesh;
                code = fractal_from_meshes(chosen, g_draw3d.fractal_levels, g_draw3d.fractal_deriv, &mesh);
                if (code == 0 && mesh) code = drawing_add_object(*view_ref, std::move(mesh), 1);
                // Working on the view's selection is done once.
                if (code == 0 && chosen == (*view_ref)->selection) break;
            }
        }
        if (!*view_ref) code = kStepCancelled;
        if (code == kStepRefused && g_draw3d.fractal_mode != mode) continue;  // start over in the new mode
        if (code != 0) break;
    }
    select_done(*view_ref, chosen);
    return code;
}
