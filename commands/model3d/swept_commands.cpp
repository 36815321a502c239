// The Surface of revolution, Tracked surface and Profiled surface commands: chosen
// line work turned about a picked axis, swept along a picked path curve, or a picked
// flat profile swept along each chosen path. Each builds once (under the wait cursor)
// and ends; every new mesh is its own undo level.
#include <algorithm>
#include <new>

#include "commands/boolean/csg.h"
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/support.h"
#include "commands/model3d/chains.h"
#include "commands/model3d/curve_pick.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/model3d.h"
#include "commands/model3d/primitives.h"
#include "commands/model3d/sweep_surface.h"
#include "graphics/view/view.h"
#include "model/db/buffer.h"
#include "model/db/solid.h"
#include "model/db/wire.h"
#include "model/geom/vertex_lists.h"
#include "model/math/result.h"
#include "model/services/log.h"
#include "model/services/msgbox.h"
#include "model/services/strtab.h"

namespace {

int revolution_options(VIEW** r) { return model3d_options(r, g_draw3d_dialogs.revolution); }
int tracked_options(VIEW** r) { return model3d_options(r, g_draw3d_dialogs.tracked); }
int profiled_options(VIEW** r) { return model3d_options(r, g_draw3d_dialogs.profiled); }

// The strokes of every chosen line-work object or group (others passed over), each
// brought to `count` segments unless count is -1.
int chosen_strokes(const buffer* chosen, int count, std::vector<std::vector<Vec3>>* out) {
    for (const RefNode* n = chosen ? chosen->refs : nullptr; n; n = n->next) {
        const auto* obj = static_cast<const object*>(n->ref);
        if (!obj || !(rtc_is_a(obj, &WIRE::rtc_class) || rtc_is_a(obj, &CONTAINER::rtc_class))) continue;
        const int r = wire_strokes(obj, count, out);
        if (r != 0) return r;
    }
    return 0;
}

// The profile step of the profiled surface: a polyline or arc, brought to "FacesM"
// segments, accepted when flat (or a single point); a warped one is refused with a
// warning and asked again.
int ask_profile(VIEW** view_ref, std::vector<Vec3>* profile) {
    for (;;) {
        Vec3 at;
        int code = input_point(view_ref, kPromptSelectContour, cursor_draw_snap_box, profiled_options, &at,
                               kHelpProfiled);
        if (code == 0 && !*view_ref) code = kStepCancelled;
        if (code != 0) return code;
        object* hit = wire_under_point(*view_ref, at, nullptr);
        if (!hit || !(rtc_is_a(hit, &XPLINE::rtc_class) || rtc_is_a(hit, &ELARC::rtc_class))) continue;
        const PointNode* list = wire_point_list(hit);
        if (!list) continue;
        try {
            *profile = chain_to_vector(list);
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
        code = chain_resample(profile, g_draw3d.faces_m);
        if (code != 0) return code;
        OwnedChain c;
        if (c.fill(*profile) != 0) return kOutOfMemory;
        if (profile->size() == 1 || plist_is_planar(c.head)) return 0;
        msgbox_ids(kStrIdWarning, kStrContourNotFlat);
    }
}

}  // namespace

int model3d_options(VIEW** r, int (*dialog)(VIEW*)) {
    if (dialog && r && *r) (void)dialog(*r);
    return 0;
}

bool model3d_start(VIEW** view_ref, int (*dialog)(VIEW*)) {
    if (!g_draw3d_query && dialog && !dialog(*view_ref)) return false;
    view_set_input_mode(*view_ref, kInputActive);
    return true;
}

void warn_unsound_solid(const MESH3* mesh) {
    const std::string fault = csg_solid_fault(mesh);
    if (!fault.empty()) msgbox_printf(kStrIdWarning, res_load_string(kStrMeshNotSound).c_str(), fault.c_str());
}

int add_meshes(VIEW* view, std::vector<std::unique_ptr<MESH3>>* meshes, int build_code) {
    int code = 0;
    for (auto& m : *meshes) {
        if (!view) break;
        if (!m || code != 0) continue;
        warn_unsound_solid(m.get());
        code = drawing_add_object(view, std::move(m), 1);
    }
    meshes->clear();
    return build_code != 0 ? build_code : code;
}

int sweep_objects(VIEW* view, const buffer* chosen, std::vector<Vec3> path, const Vec3& base, const Vec3& direction) {
    if (path.empty()) return 0;
    WaitCursor wait;
    int code = g_draw3d.use_pattern ? 0 : chain_resample(&path, g_draw3d.faces_n);
    std::vector<std::vector<Vec3>> strokes;
    if (code == 0) code = chosen_strokes(chosen, g_draw3d.use_pattern ? -1 : g_draw3d.faces_m, &strokes);
    std::vector<std::unique_ptr<MESH3>> meshes;
    if (code == 0) code = sweep_strokes_meshes(strokes, path, base, direction, &meshes);
    return add_meshes(view, &meshes, code);
}

int cmd_revolution(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    if (!model3d_start(view_ref, g_draw3d_dialogs.revolution)) return 0;
    buffer* chosen = nullptr;
    Vec3 a, b;
    int code = select_for_command(kSelectLineWork, view_ref, &chosen, revolution_options, kPromptRevolveSelect,
                                  kHelpRevolution);
    if (code == 0 && *view_ref)
        code = input_point(view_ref, kPromptAxisStart, cursor_draw_crosshair, revolution_options, &a, kHelpRevolution);
    if (code == 0 && *view_ref) {
        input_set_point(*view_ref, a, 0);
        code = input_point(view_ref, kPromptAxisEnd, cursor_draw_rubber_line, revolution_options, &b, kHelpRevolution);
    }
    if (code == 0 && !*view_ref) code = kStepCancelled;
    if (code == 0) {
        WaitCursor wait;
        std::vector<std::vector<Vec3>> strokes;
        std::vector<std::unique_ptr<MESH3>> meshes;
        code = chosen_strokes(chosen, g_draw3d.use_pattern ? -1 : g_draw3d.faces_m, &strokes);
        if (code == 0)
            code = revolve_strokes_meshes(strokes, a, b, g_draw3d.revolve_angle, g_draw3d.revolve_start,
                                          solid_segments(g_draw3d.faces_n), &meshes);
        code = add_meshes(*view_ref, &meshes, code);
    }
    select_done(*view_ref, chosen);
    return code;
}

int cmd_tracked(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    if (!model3d_start(view_ref, g_draw3d_dialogs.tracked)) return 0;
    buffer* chosen = nullptr;
    Vec3 base;
    std::vector<Vec3> path;
    object* curve = nullptr;
    int code = select_for_command(kSelectLineWork, view_ref, &chosen, tracked_options, kPromptTrackSelect,
                                  kHelpTracked);
    if (code == 0 && *view_ref)
        code = input_point(view_ref, kPromptBasePoint3D, cursor_draw_crosshair, tracked_options, &base, kHelpTracked);
    if (code == 0 && *view_ref)
        code = curve_pick(view_ref, kPromptPathCurve, CurveKind::kPathCurve, nullptr, tracked_options, kHelpTracked,
                          &path, &curve);
    if (code == 0 && !*view_ref) code = kStepCancelled;
    if (code == 0 && !g_draw3d.use_pattern) code = chain_resample(&path, g_draw3d.faces_n);
    if (code == 0) {
        path.erase(std::unique(path.begin(), path.end(), [](const Vec3& p, const Vec3& q) { return vec3_near(p, q); }),
                   path.end());
        const Vec3 o = path.front();
        for (Vec3& p : path) p = Vec3{p.x - o.x + base.x, p.y - o.y + base.y, p.z - o.z + base.z};
        Vec3 dir{0, 0, 0};
        if (path.size() > 1) dir = Vec3{path[1].x - path[0].x, path[1].y - path[0].y, path[1].z - path[0].z};
        code = sweep_objects(*view_ref, chosen, path, base, dir);
    }
    select_done(*view_ref, chosen);
    return code;
}

int profiled_meshes(const std::vector<Vec3>& profile, const std::vector<std::vector<Vec3>>& paths,
                    std::vector<std::unique_ptr<MESH3>>* out) {
    out->clear();
    for (const auto& path : paths) {
        if (path.size() < 2) continue;
        const Vec3 dir{path[1].x - path[0].x, path[1].y - path[0].y, path[1].z - path[0].z};
        std::vector<Vec3> placed = profile;
        profile_place(&placed, path[0], dir);
        std::unique_ptr<MESH3> mesh;
        const int r = sweep_profile_mesh(placed, false, path, path[0], dir, &mesh);
        if (r != 0) return r;
        if (mesh) out->push_back(std::move(mesh));
    }
    return 0;
}

int cmd_profiled(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    if (!model3d_start(view_ref, g_draw3d_dialogs.profiled)) return 0;
    buffer* chosen = nullptr;
    std::vector<Vec3> profile;
    int code = select_for_command(kSelectLineWork, view_ref, &chosen, profiled_options, kPromptPathCurve,
                                  kHelpProfiled);
    if (code == 0 && *view_ref) code = ask_profile(view_ref, &profile);
    if (code == 0 && !*view_ref) code = kStepCancelled;
    if (code == 0) {
        WaitCursor wait;
        std::vector<std::vector<Vec3>> paths;
        std::vector<std::unique_ptr<MESH3>> meshes;
        code = chosen_strokes(chosen, g_draw3d.use_pattern ? -1 : g_draw3d.faces_n, &paths);
        if (code == 0) code = profiled_meshes(profile, paths, &meshes);
        code = add_meshes(*view_ref, &meshes, code);
    }
    select_done(*view_ref, chosen);
    return code;
}
