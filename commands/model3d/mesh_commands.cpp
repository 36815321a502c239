// Mesh (a grid patch over four picked corners) and 3D faces (strips of four-cornered
// faces that continue from an edge of the last one, all of one run in one mesh).
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/support.h"
#include "commands/input/zoom.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/feedback3d.h"
#include "commands/model3d/model3d.h"
#include "graphics/view/view.h"
#include "graphics/view/view_gdi.h"
#include "graphics/view/view_host.h"
#include "model/geom/regen.h"
#include "model/math/result.h"
#include "model/mesh/mesh.h"
#include "model/rtc/rtc.h"
#include "model/services/log.h"

namespace {

int mesh_options(VIEW** r) { return model3d_options(r, g_draw3d_dialogs.mesh); }
// A change of "FaceMode" changes which edge the next face starts from: the step ends
// and is asked again under the new mode.
int faces_options(VIEW** r) {
    const int mode = g_draw3d.face_mode;
    (void)model3d_options(r, g_draw3d_dialogs.faces3d);
    return g_draw3d.face_mode != mode ? 1 : 0;
}

}  // namespace

int cmd_mesh(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    if (!g_draw3d_query && g_draw3d_dialogs.mesh && !g_draw3d_dialogs.mesh(*view_ref)) return 0;
    view_set_input_mode(*view_ref, kInputActive);
    static constexpr uint32_t kPrompts[4] = {kPromptMeshCorner1, kPromptMeshCorner2, kPromptMeshCorner3,
                                             kPromptMeshCorner4};
    int code = 0;
    for (;;) {
        Vec3 c[4];
        for (int i = 0; i < 4 && code == 0; ++i) {
            static constexpr InputMoveFn kFeedback[4] = {cursor_draw_crosshair, cursor_draw_rubber_line,
                                                         fb_outline_edge, fb_outline_quad};
            code = input_point(view_ref, kPrompts[i], kFeedback[i], mesh_options, &c[i], kHelpMesh);
            if (code == 0 && *view_ref) {
                input_set_point(*view_ref, c[i], 0);
                input_set_point(*view_ref, c[i], kOutlineSlot + i);
            }
            if (!*view_ref) code = kStepCancelled;
        }
        if (code != 0) break;
        WaitCursor wait;
        auto mesh = rtc_make<MESH3>();
        if (!mesh) {
            code = kOutOfMemory;
            break;
        }
        code = mesh_add_grid_patch(mesh.get(), &c[0], &c[1], &c[2], &c[3], g_draw3d.faces_n, g_draw3d.faces_m);
        if (code != 0) break;  // the mesh is freed with the pointer
        code = drawing_add_object(*view_ref, std::move(mesh), 1);
        if (code != 0) break;
    }
    if (*view_ref) view_set_input_mode(*view_ref, kInputIdle);
    return code;
}

namespace {

// The next face starts from an edge of the last one: by "FaceMode" (p3, p4), (p4, p1)
// or (p2, p3) become its first two corners (input points 1 and 0).
void continue_from(int mode, const Vec3 last[4], Vec3 p[4], VIEW* view) {
    p[0] = mode == kFaceFromFourthFirst ? last[3] : mode == kFaceFromSecondThird ? last[1] : last[2];
    p[1] = mode == kFaceFromFourthFirst ? last[0] : mode == kFaceFromSecondThird ? last[2] : last[3];
    input_set_point(view, p[0], 1);
    input_set_point(view, p[1], 0);
}

}  // namespace

int cmd_faces3d(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    view_set_input_mode(*view_ref, kInputActive);
    MESH3* mesh = nullptr;  // the run's mesh, in the drawing once it holds a face
    std::unique_ptr<MESH3> pending;  // the run's mesh while its faces so far have no area
    MeshFaceIndex index;
    Vec3 p[4], last[4];
    bool continuing = false;  // the strip goes on from the face in `last`
    int state = 0;
    int code = 0;
    for (;;) {
        if (state < 2) continuing = false;
        static constexpr uint32_t kPrompts[4] = {kPromptFacesFirst, kPromptFacesSecond, kPromptFacesNext,
                                                 kPromptFacesNext};
        static constexpr InputMoveFn kFeedback[4] = {cursor_draw_crosshair, cursor_draw_rubber_line, fb_outline_edge,
                                                     fb_outline_quad};
        const int mode = g_draw3d.face_mode;
        // The face so far is outlined from its fixed corners.
        for (int i = 0; i < state && i < 3; ++i) input_set_point(*view_ref, p[i], kOutlineSlot + i);
        code = input_point(view_ref, kPrompts[state], kFeedback[state], faces_options, &p[state], kHelpFaces3D);
        if (!*view_ref) code = kStepCancelled;
        if (code == kStepCancelled) break;
        if (code != 0) {
            if (g_draw3d.face_mode != mode) {
                // Asked again under the new mode; a strip going on from a face takes
                // that face's edge the new mode names.
                if (state == 2 && continuing) continue_from(g_draw3d.face_mode, last, p, *view_ref);
                continue;
            }
            if (state == 3) {
                state = 0;  // a new strip
                continue;
            }
            break;
        }
        input_set_point(*view_ref, p[state], 0);
        if (++state < 4) continue;
        if (!mesh) {
            // A face whose corners merge into less than a triangle adds nothing: the mesh
            // enters the drawing with its first real face, never empty.
            if (!pending && !(pending = rtc_make<MESH3>())) {
                code = kOutOfMemory;
                break;
            }
            code = mesh_add_face(pending.get(), &p[0], &p[1], &p[2], &p[3], g_draw3d.merge_edges, &index);
            if (code != 0) break;
            if (pending->blocks) {  // a face without area leaves no block
                mesh = pending.get();
                code = drawing_add_object(*view_ref, std::move(pending), 1);
                if (code != 0) break;
            }
        } else {
            code = mesh_add_face(mesh, &p[0], &p[1], &p[2], &p[3], g_draw3d.merge_edges, &index);
            if (code != 0) break;
            (void)regen_object(mesh);
            views_extend_extents(*view_ref, mesh);
            view_gdi_object_all(*view_ref, mesh);
        }
        for (int i = 0; i < 4; ++i) last[i] = p[i];
        continue_from(g_draw3d.face_mode, last, p, *view_ref);
        continuing = true;
        state = 2;
    }
    if (*view_ref) view_set_input_mode(*view_ref, kInputIdle);
    return code;
}
