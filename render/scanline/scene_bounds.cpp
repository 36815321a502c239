// The Render page's depth bounds and the camera fitted to a parallel view.
#include <algorithm>
#include <cmath>

#include "graphics/view/projection.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/solid.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "render/scanline/render_scene.h"
#include "render/scanline/scene_util.h"

int render_depth_bounds(const ViewProjection* view, buffer* objects, int32_t width,
                        int32_t height, int32_t perspective, double* eye_z, double* focal) {
    if (!view || !eye_z || !focal || width < 1 || height < 1) return kBadArgument;
    Matrix43 m, inv;
    double window[4];
    if (parallel_frame(*view, width, height, 1.0, &m, &inv, window) != 0) return kBadArgument;
    BBox box = kEmptyBBox;
    if (objects)
        for (const RefNode* n = objects->refs; n; n = n->next) {
            if (!n->ref) continue;
            for (ZOBJ* z = n->ref; z; z = tree_next(z, n->ref)) {
                auto* mesh = rtc_cast<MESH3>(z);
                if (!mesh) continue;
                for (const MeshFaceBlock* b = mesh->blocks; b; b = b->next) {
                    RenderMesh* rm = render_mesh_create(b, mesh->material, nullptr);
                    if (!rm) return kOutOfMemory;
                    if (mesh->file_id != 0) {
                        for (const RenderVertex& v : rm->vertices) {
                            Vec3d p;
                            mat_xform_point_d(&p, &v.world, &m);
                            bbox_grow(&box, p);
                        }
                    } else {
                        int64_t running = 0;
                        // A record prepared in part has no bounds to read.
                        if (const int p = render_mesh_prepare_record(rm, nullptr, nullptr, &running, true, 1, false)) {
                            render_mesh_release(&rm);
                            return p;
                        }
                        grow_by_window(&box, *rm, m, window);
                    }
                    render_mesh_release(&rm);
                }
            }
        }
    const bool found = !bbox_is_empty(box);
    if (!found) box = BBox{{0, 0, 0}, {0, 0, 0}};
    const int32_t k = (perspective < 1 ? 1 : perspective > 100 ? 100 : perspective) + 5;
    double e = (width + height) / 2.0 * (50.0 / k);
    if (!(e >= 0.001)) e = 0.001;
    *eye_z = double(box.max.z) + e;
    *focal = (double(box.max.z) - box.min.z) / 2.0 + e;
    return found ? 0 : 1;
}

int render_fit_camera(const ViewProjection* view, int32_t width, int32_t height, double eye_z,
                      double focal, CAMERA* camera) {
    if (!view || !camera || width < 1 || height < 1 || !(view->scale > 0.0) ||
        !std::isfinite(view->scale))
        return kBadArgument;
    const double s = view->scale;
    Vec3d pos = {view->origin_x + width / (2 * s), view->origin_y + height / (2 * s), eye_z / s};
    Vec3d target = {pos.x, pos.y, pos.z - width / (2 * s)};
    Vec3d up0 = {0, 0, 0}, up1 = {0, 1, 0};
    mat_xform_point_d(&pos, &pos, &view->inverse);
    mat_xform_point_d(&target, &target, &view->inverse);
    // The camera is kept in floats: far from the origin (an eye above a far vertex) the
    // target moves away along the line of sight until the two stay apart, with a
    // direction true to a thousandth of the distance.
    const double size = std::max({std::fabs(pos.x), std::fabs(pos.y), std::fabs(pos.z)});
    const double apart = std::ldexp(size, -10), along = width / (2 * s);
    if (along < apart && std::isfinite(apart)) {
        Vec3d o = {0, 0, 0}, down = {0, 0, -apart / along};
        mat_xform_point_d(&o, &o, &view->inverse);
        mat_xform_point_d(&down, &down, &view->inverse);
        target = {pos.x + (down.x - o.x) * along, pos.y + (down.y - o.y) * along, pos.z + (down.z - o.z) * along};
    }
    mat_xform_point_d(&up0, &up0, &view->inverse);
    mat_xform_point_d(&up1, &up1, &view->inverse);
    camera->position = {static_cast<float>(pos.x), static_cast<float>(pos.y),
                        static_cast<float>(pos.z)};
    camera->target = {static_cast<float>(target.x), static_cast<float>(target.y),
                      static_cast<float>(target.z)};
    camera->up = {static_cast<float>(up1.x - up0.x), static_cast<float>(up1.y - up0.y),
                  static_cast<float>(up1.z - up0.z)};
    camera->lens = focal / width;
    return 0;
}
