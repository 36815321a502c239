// The Sphere, Torus, Cone and Spiral commands: points and radii asked in the view,
// the profiles made by primitives.cpp revolved into one new mesh per solid, the
// spiral tube (spiral.cpp) swept along its path. The
// coordinate read-out is polar about the last point during the radius steps and comes
// back however the step ends.
#include <cmath>
#include <cstring>

#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/support.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/feedback3d.h"
#include "commands/model3d/model3d.h"
#include "commands/model3d/primitives.h"
#include "commands/model3d/spiral.h"
#include "commands/units/coord_text.h"
#include "graphics/view/projection.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/solid.h"
#include "model/math/result.h"
#include "model/services/log.h"
#include "model/services/msgbox.h"

namespace {

int sphere_options(VIEW** r) { return model3d_options(r, g_draw3d_dialogs.sphere); }
// A change of "Cone" changes the steps: the step ends and is asked again.
int cone_options(VIEW** r) {
    const int kind = g_draw3d.cone;
    (void)model3d_options(r, g_draw3d_dialogs.cone);
    return g_draw3d.cone != kind ? 1 : 0;
}
int spiral_options(VIEW** r) { return model3d_options(r, g_draw3d_dialogs.spiral); }
int torus_options(VIEW** r) { return model3d_options(r, g_draw3d_dialogs.torus); }

void draw_circle(VIEW* v, int x, int y) { cursor_draw_circle(v, x, y); }

// A radius step with the read-out polar about the last point, put back afterwards.
int ask_radius(VIEW** view_ref, const Vec3& base, uint32_t prompt, InputMoveFn feedback, InputOptionsFn opts,
               double* out, uint32_t help) {
    VIEW* v = *view_ref;
    const int32_t type = v->coordinate_type, cartesian = v->cartesian;
    v->coordinate_type = kCoordTypeLastPoint;
    v->cartesian = 0;
    input_set_point(v, base, 0);
    const int code = input_distance(view_ref, base, prompt, 0, feedback, opts, out, help);
    // Back on the view that asked, which may no longer run the command.
    v->coordinate_type = type;
    v->cartesian = cartesian;
    return code;
}

int finish(VIEW** view_ref, int code) {
    if (*view_ref) view_set_input_mode(*view_ref, kInputIdle);
    return code;
}

Vec3 along_view(const VIEW* v, const Vec3& p, double dx, double dy) {
    Vec3 a, out;
    world_to_view(&v->projection, p, &a);
    a.x = static_cast<float>(a.x + dx);
    a.y = static_cast<float>(a.y + dy);
    view_to_world(&v->projection, a, &out);
    return out;
}

Vec3 along_view_x(const VIEW* v, const Vec3& p, double d) { return along_view(v, p, d, 0); }

// One spiral from its four answers into the drawing; 0 when added, else the code.
int spiral_into_drawing(VIEW* v, const Vec3& c, double step, double radius, double tube) {
    WaitCursor wait;
    std::vector<Vec3> circle, path;
    int code = spiral_tube(v->projection, c, radius, tube, g_draw3d.faces_n, &circle);
    // A tube circle that cannot be made is said under the command's title.
    if (code != 0) {
        msgbox_ids(kTitleSpiral, kStrNoMemory3D);
        return code;
    }
    if (code == 0)
        code = spiral_path(v->projection, c, step, radius, g_draw3d.spiral_rounds, g_draw3d.faces_m,
                           g_draw3d.spiral_dir != 0, &path);
    std::unique_ptr<MESH3> mesh;
    if (code == 0) code = spiral_mesh(circle, path, &mesh);
    if (code != 0) return code;
    return drawing_add_object(v, std::move(mesh), 1);
}

}  // namespace

int revolve_into_drawing(VIEW* view, const RevolveProfiles& profiles) {
    if (!view) return kStepCancelled;
    WaitCursor wait;
    std::unique_ptr<MESH3> mesh;
    const int r = revolve_profiles_mesh(profiles, solid_segments(g_draw3d.faces_n), &mesh);
    if (r != 0) return r;
    // The drawing owns the mesh from here, also when adding it fails.
    return drawing_add_object(view, std::move(mesh), 1);
}

int cmd_sphere(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    if (!model3d_start(view_ref, g_draw3d_dialogs.sphere)) return 0;
    int code;
    for (;;) {
        Vec3 c;
        double r = 0;
        code = input_point(view_ref, kPromptSphereCentre, cursor_draw_crosshair, sphere_options, &c, kHelpSphere);
        if (code != 0 || !*view_ref) break;
        code = ask_radius(view_ref, c, kPromptSphereRadius, draw_circle, sphere_options, &r, kHelpSphere);
        if (code != 0 || !*view_ref) break;
        RevolveProfiles p;
        code = sphere_profiles((*view_ref)->projection, c, 0, r, g_draw3d, &p);
        if (code == kBadArgument) continue;  // no radius: nothing to build
        if (code == 0) code = revolve_into_drawing(*view_ref, p);
        if (code != 0) break;
    }
    return finish(view_ref, code);
}

int cmd_torus(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    if (!model3d_start(view_ref, g_draw3d_dialogs.torus)) return 0;
    int code;
    for (;;) {
        Vec3 c;
        double ring = 0, tube = 0;
        code = input_point(view_ref, kPromptTorusCentre, cursor_draw_crosshair, torus_options, &c, kHelpTorus);
        if (code != 0 || !*view_ref) break;
        code = ask_radius(view_ref, c, kPromptTorusRadius, draw_circle, torus_options, &ring, kHelpTorus);
        if (code != 0 || !*view_ref) break;
        // The tube is measured from the point given for the ring radius; a typed
        // radius gives none (the last point is still the centre), so the point that far
        // along the view's x axis stands in.
        const Vec3 picked = (*view_ref)->last_point;
        const bool clicked = std::memcmp(&picked, &c, sizeof c) != 0;
        const Vec3 on_ring = clicked ? picked : along_view_x(*view_ref, c, ring);
        input_set_point(*view_ref, c, 1);
        code = ask_radius(view_ref, on_ring, kPromptTorusTube, fb_torus_tube, torus_options, &tube, kHelpTorus);
        if (code != 0 || !*view_ref) break;
        RevolveProfiles p;
        // A ring radius of 0 would make a sphere through the torus code path: refused.
        code = ring > 0 ? sphere_profiles((*view_ref)->projection, c, ring, tube, g_draw3d, &p)
                        : kBadArgument;
        if (code == kBadArgument) continue;
        if (code == 0) code = revolve_into_drawing(*view_ref, p);
        if (code != 0) break;
    }
    return finish(view_ref, code);
}

int cmd_cone(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    if (!model3d_start(view_ref, g_draw3d_dialogs.cone)) return 0;
    int code = 0;
    for (;;) {
        Vec3 top, base;
        double rb = 0, rt = 0;
        int step = 0;  // steps answered
        while (step < 4) {
            const int kind = g_draw3d.cone;
            switch (step) {
                case 0:
                    code = input_point(view_ref, kPromptConeTop, cursor_draw_crosshair, cone_options, &top, kHelpCone);
                    if (code == 0) input_set_point(*view_ref, top, 0), input_set_point(*view_ref, top, 1);
                    break;
                case 1:
                    code = input_point(view_ref, kPromptConeBase, cursor_draw_rubber_line, cone_options, &base,
                                       kHelpCone);
                    if (code == 0) input_set_point(*view_ref, base, 2);
                    break;
                case 2:
                    code = ask_radius(view_ref, base, kPromptConeBaseRadius, fb_cone_base, cone_options, &rb,
                                      kHelpCone);
                    break;
                default:
                    if (kind == 0) {
                        // The base radius stays drawn: a point that far from the base centre.
                        input_set_point(*view_ref, along_view_x(*view_ref, base, rb), 3);
                        code = ask_radius(view_ref, top, kPromptConeTopRadius, fb_cone_top, cone_options, &rt,
                                          kHelpCone);
                    }
                    break;
            }
            if (code == 0 && *view_ref) {
                ++step;
                continue;
            }
            // A refusal after "Cone" changed in the options dialog asks the same step again.
            if (code == kStepRefused && *view_ref && g_draw3d.cone != kind) continue;
            break;
        }
        if (code != 0 || !*view_ref) break;
        RevolveProfiles p;
        code = cone_profiles((*view_ref)->projection, top, base, rb, rt, g_draw3d, &p);
        if (code == kBadArgument) continue;  // top on the base centre: nothing to build
        if (code == 0) code = revolve_into_drawing(*view_ref, p);
        if (code != 0) break;
    }
    return finish(view_ref, code);
}

int cmd_spiral(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    if (!model3d_start(view_ref, g_draw3d_dialogs.spiral)) return 0;
    int code;
    for (;;) {
        Vec3 c;
        double step = 0, radius = 0, tube = 0;
        code = input_point(view_ref, kPromptSpiralCentre, cursor_draw_crosshair, spiral_options, &c, kHelpSpiral);
        if (code != 0 || !*view_ref) break;
        input_set_point(*view_ref, c, 0);
        code = input_distance(view_ref, c, kPromptSpiralStep, 2, cursor_draw_rubber_line, spiral_options, &step,
                              kHelpSpiral);
        if (code == 0 && *view_ref)
            code = ask_radius(view_ref, c, kPromptSpiralRadius, draw_circle, spiral_options, &radius, kHelpSpiral);
        if (code == 0 && *view_ref)
            code = ask_radius(view_ref, along_view(*view_ref, c, 0, radius), kPromptSpiralTube, draw_circle,
                              spiral_options, &tube, kHelpSpiral);
        if (!*view_ref) code = kStepCancelled;
        if (code == kStepRefused) continue;  // back to the centre
        if (code != 0) break;
        code = spiral_into_drawing(*view_ref, c, step, radius, tube);
        if (code != 0) break;
    }
    return finish(view_ref, code);
}
