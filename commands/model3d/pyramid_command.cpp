// The Pyramid command: chosen line-work objects as bases and one picked top; one mesh
// per drawn stroke of each base, a face from every segment to the top.
#include <cmath>

#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/support.h"
#include "commands/model3d/curve_pick.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/model3d.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/wire.h"
#include "model/geom/vertex_lists.h"
#include "model/math/result.h"
#include "model/mesh/mesh.h"
#include "model/rtc/rtc.h"
#include "model/services/log.h"

namespace {

bool near3(const Vec3& a, const Vec3& b) {
    return std::fabs(a.x - b.x) < 1e-6 && std::fabs(a.y - b.y) < 1e-6 && std::fabs(a.z - b.z) < 1e-6;
}

}  // namespace

// The point lists of one wire.
static void wire_own_point_lists(const object* obj, std::vector<std::vector<BasePoint>>* out) {
    if (!rtc_is_a(obj, &WIRE::rtc_class)) return;
    const PointNode* head = wire_point_list(obj);
    if (!head) return;
    std::vector<BasePoint> list;
    for (const PointNode* p = head; p; p = p->next == head ? nullptr : p->next) {
        const Vec3 v{p->x, p->y, p->z};
        // Repeated points add nothing but faces without area.
        if (!list.empty() && near3(list.back().p, v)) {
            list.back().pen_up = (p->flags & kPointMoveNext) != 0;
            continue;
        }
        list.push_back({v, (p->flags & kPointMoveNext) != 0});
    }
    // A closed list runs back to its first point.
    const PointNode* last = head;
    while (last->next && last->next != head) last = last->next;
    if (last->next == head && list.size() > 2 && !near3(list.back().p, list.front().p)) list.push_back({list.front().p, false});
    if (list.size() >= 2) out->push_back(std::move(list));
}

void wire_point_lists(const object* obj, std::vector<std::vector<BasePoint>>* out) {
    // Every wire inside a group, in pre-order and without recursion (groups nest as
    // deep as a drawing file holds).
    for (const ZOBJ* z = obj; z; z = tree_next(z, obj))
        if (auto* o = rtc_cast<object>(z)) wire_own_point_lists(o, out);
}

int pyramid_meshes(const std::vector<std::vector<BasePoint>>& bases, const Vec3& top, int merge_edges,
                   std::vector<std::unique_ptr<MESH3>>* out) {
    out->clear();
    for (const auto& base : bases) {
        std::unique_ptr<MESH3> mesh;
        MeshFaceIndex index;
        for (size_t i = 0; i + 1 < base.size(); ++i) {
            if (base[i].pen_up) {
                // The stroke ends here: its mesh is done.
                if (mesh && mesh->blocks) out->push_back(std::move(mesh));
                mesh.reset();
                index.reset();
                continue;
            }
            if (!mesh && !(mesh = rtc_make<MESH3>())) return kOutOfMemory;
            const int r = mesh_add_face(mesh.get(), &base[i].p, &base[i + 1].p, &top, &top, merge_edges, &index);
            if (r != 0) return r;
        }
        if (mesh && mesh->blocks) out->push_back(std::move(mesh));
    }
    return 0;
}

namespace {
int pyramid_options(VIEW** r) { return model3d_options(r, g_draw3d_dialogs.pyramid); }
}  // namespace

int cmd_pyramid(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    if (!g_draw3d_query && g_draw3d_dialogs.pyramid && !g_draw3d_dialogs.pyramid(*view_ref)) return 0;
    view_set_input_mode(*view_ref, kInputActive);
    buffer* chosen = nullptr;
    Vec3 top;
    int code = select_for_command(kSelectLineWork, view_ref, &chosen, pyramid_options, kPromptPyramidBase,
                                  kHelpPyramid);
    if (code == 0 && *view_ref)
        code = input_point(view_ref, kPromptConeTop, cursor_draw_crosshair, pyramid_options, &top, kHelpPyramid);
    if (!*view_ref && code == 0) code = kStepCancelled;
    if (code == 0) {
        WaitCursor wait;
        std::vector<std::vector<BasePoint>> bases;
        for (const RefNode* n = chosen ? chosen->refs : nullptr; n; n = n->next)
            if (n->ref) wire_point_lists(static_cast<const object*>(n->ref), &bases);
        std::vector<std::unique_ptr<MESH3>> meshes;
        code = pyramid_meshes(bases, top, g_draw3d.merge_edges, &meshes);
        code = add_meshes(*view_ref, &meshes, code);
    }
    select_done(*view_ref, chosen);
    return code;
}
