// The 3D Box command: corner, width (typed text may give all three sizes), height and
// depth along the view's axes, then a box of up to six 2 x 2 patches by "BoxFaces"
// (geometry in primitives.cpp). Repeats until a step ends it.
#include <cmath>

#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/snap.h"
#include "commands/input/support.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/feedback3d.h"
#include "commands/model3d/model3d.h"
#include "commands/model3d/primitives.h"
#include "commands/model3d/text3d.h"
#include "graphics/view/projection.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/services/log.h"

Draw3dDialogs g_draw3d_dialogs;
int g_draw3d_query = 0;

namespace {

int box_options(VIEW** view_ref) { return model3d_options(view_ref, g_draw3d_dialogs.box); }

double view_dx(const VIEW* v, const Vec3& a, const Vec3& b) {
    Vec3 va, vb;
    world_to_view(&v->projection, a, &va);
    world_to_view(&v->projection, b, &vb);
    return std::fabs(static_cast<double>(va.x) - vb.x);
}

// Asks one box; 0 with the corner and sizes set, else the code that ended the asking.
int ask_box(VIEW** view_ref, Vec3* corner, double size[3]) {
    for (;;) {
        int code = input_point(view_ref, kPromptBoxCorner, cursor_draw_crosshair, box_options, corner, kHelpBox3D);
        if (code != 0) return code;
        input_set_point(*view_ref, *corner, 0);
        // Typed sizes are lengths along the box's own axes, one to three numbers: the
        // step asks for numbers, never for a point that the coordinate dialog would
        // turn into the drawing's axes.
        char text[kTypedTextSize];
        int known = 0;
        for (;;) {
            code = input_wait(view_ref, kPromptBoxWidth, fb_box_width, box_options, text, sizeof text, 0,
                              kHelpBox3D);
            if (code != 0 || !*view_ref || !text[0]) break;
            known = box_parse_sizes(text, (*view_ref)->length_unit != kLengthDecimal, size);
            // Sizes beyond the drawing's range are refused and asked again; the corner stays.
            if (known == 0 ||
                input_typed_length_usable(*corner, std::fabs(size[0]) + std::fabs(size[1]) + std::fabs(size[2])))
                break;
        }
        if (code == kStepCancelled) return code;
        if (code != 0 || !*view_ref) continue;
        if (text[0]) {
            if (known == 0) continue;  // unreadable: from the corner again
        } else {
            Vec3 p;
            if (!input_resolve_point(*view_ref, &p)) continue;
            size[0] = view_dx(*view_ref, p, *corner);
            known = 1;
        }
        if (known < 2) {
            Vec3 width_end[8];
            box_corners((*view_ref)->projection, *corner, size[0], 0, 0, width_end);
            input_set_point(*view_ref, *corner, 0);
            input_set_point(*view_ref, width_end[1], 1);
            code = input_distance(view_ref, *corner, kPromptBoxHeight, 1, fb_box_height, box_options,
                                  &size[1], kHelpBox3D);
            if (code == kStepCancelled) return code;
            if (code != 0) continue;
        }
        if (known < 3) {
            // Depth from the far corner of the front rectangle.
            Vec3 far_corner[8];
            box_corners((*view_ref)->projection, *corner, size[0], size[1], 0, far_corner);
            input_set_point(*view_ref, far_corner[2], 0);
            input_set_point(*view_ref, *corner, kOutlineSlot);
            code = input_distance(view_ref, far_corner[2], kPromptBoxDepth, 0, fb_box_depth, box_options,
                                  &size[2], kHelpBox3D);
            if (code == kStepCancelled) return code;
            if (code != 0) continue;
        }
        return 0;
    }
}

}  // namespace

int cmd_box(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    if (!g_draw3d_query && g_draw3d_dialogs.box && !g_draw3d_dialogs.box(*view_ref)) return 0;
    view_set_input_mode(*view_ref, kInputActive);
    int code;
    for (;;) {
        Vec3 corner;
        double size[3] = {0, 0, 0};
        code = ask_box(view_ref, &corner, size);
        if (code != 0 || !*view_ref) break;
        WaitCursor wait;
        Vec3 c[8];
        box_normalise((*view_ref)->projection, &corner, size);
        box_corners((*view_ref)->projection, corner, size[0], size[1], size[2], c);
        std::unique_ptr<MESH3> mesh;
        code = box_mesh(c, g_draw3d.box_faces, &mesh);
        if (code != 0) break;
        if (!mesh) continue;  // no face asked for: nothing built, nothing recorded
        warn_unsound_solid(mesh.get());
        // The drawing owns the mesh from here, also when adding it fails.
        code = drawing_add_object(*view_ref, std::move(mesh), 1);
        if (code != 0) break;
    }
    if (*view_ref) view_set_input_mode(*view_ref, kInputIdle);
    return code;
}

namespace {
template <int (*F)(VIEW**)>
int command_fn(void* arg) {
    return F(static_cast<VIEW**>(arg));
}
}  // namespace

void model3d_register_commands(void (*set)(int id, Model3dCommandFn fn)) {
    if (!set) return;
    set(kCmdBox3D, command_fn<cmd_box>);
    set(kCmdPyramid, command_fn<cmd_pyramid>);
    set(kCmdSphere, command_fn<cmd_sphere>);
    set(kCmdCone, command_fn<cmd_cone>);
    set(kCmdTorus, command_fn<cmd_torus>);
    set(kCmdMesh, command_fn<cmd_mesh>);
    set(kCmdFaces3D, command_fn<cmd_faces3d>);
    set(kCmdFractal, command_fn<cmd_fractal>);
    set(kCmdFlatPolygon, command_fn<cmd_flat_polygon>);
    set(kCmdSpiral, command_fn<cmd_spiral>);
    set(kCmdExtrude, command_fn<cmd_extrude>);
    set(kCmdRevolution, command_fn<cmd_revolution>);
    set(kCmdRuled, command_fn<cmd_ruled>);
    set(kCmdTracked, command_fn<cmd_tracked>);
    set(kCmdProfiled, command_fn<cmd_profiled>);
    set(kCmdNewCamera, command_fn<cmd_new_camera>);
    set(kCmdSpotLight, command_fn<cmd_spot_light>);
    set(kCmdOmniLight, command_fn<cmd_omni_light>);
    set(kCmdText3D, command_fn<cmd_text3d>);
}
