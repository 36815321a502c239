// Fuzz target for the render sheet's preview of the drawing window: a hostile view
// projection (origin, scale, matrix words), window size, a box mesh and a camera with
// hostile corners, position, target, lens and frame count come from the input, then
// a run of preview requests (camera or viewport, perspective and its value, selected
// only, frame, force). Every request ends without crashing or hanging, and restore()
// puts the view's projection back exactly and the current frame to -1.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "graphics/view/view.h"
#include "model/db/buffer.h"
#include "model/db/naming.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/mesh/mesh_block.h"
#include "model/rtc/rtc.h"
#include "render/job/render_preview.h"

namespace {

struct Input {
    const uint8_t* p;
    const uint8_t* end;
    uint8_t byte() { return p < end ? *p++ : 0; }
    int32_t word() {
        int32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | byte();
        return v;
    }
    // A float: often a plain small value, sometimes any bit pattern (NaN, inf, huge).
    float real() {
        const uint8_t kind = byte();
        if (kind < 200) return static_cast<float>(static_cast<int8_t>(byte())) * 4.0f;
        const int32_t w = word();
        float f;
        std::memcpy(&f, &w, 4);
        return f;
    }
    Vec3 point() { return {real(), real(), real()}; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered = [] {
        rtc_register_all();
        view_type_register();
        return true;
    }();
    (void)registered;
    Input in{data, data + size};
    auto model = rtc_make<MODEL>();
    if (!model) return 0;
    LAYER* layer = rtc_cast<LAYER>(model->first_child());
    if (!layer) return 0;
    model->frame_count = in.byte() % 12;
    // A box mesh between two hostile corners.
    const Vec3 a = in.point(), b = in.point();
    auto mesh = rtc_make<MESH3>();
    if (MeshFaceBlock* blk = mesh ? mesh_face_block(mesh.get(), 0) : nullptr) {
        const Vec3 c[8] = {{a.x, a.y, a.z}, {b.x, a.y, a.z}, {b.x, b.y, a.z}, {a.x, b.y, a.z},
                           {a.x, a.y, b.z}, {b.x, a.y, b.z}, {b.x, b.y, b.z}, {a.x, b.y, b.z}};
        for (const Vec3& v : c) blk->vertices.push_back(MeshVertex{v.x, v.y, v.z, {}});
        const int q[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
        for (const auto& f : q) {
            (void)mesh_add_triangle(blk, f[0], f[1], f[2]);
            (void)mesh_add_triangle(blk, f[0], f[2], f[3]);
        }
        mesh->own_box();
        if (container_insert(layer, mesh.get()) == 0) mesh.release();
    }
    auto cam = rtc_make<CAMERA>();
    if (cam) {
        cam->position = in.point();
        cam->target = in.point();
        cam->up = in.point();
        cam->lens = in.real();
        if (obj_default_name(model.get(), cam.get(), 0, "Cam") == 0 && container_insert(layer, cam.get()) == 0)
            cam.release();
    }
    VIEW view;
    view.model = model.get();
    ViewProjection& vp = view.projection;
    vp.origin_x = in.real(), vp.origin_y = in.real();
    vp.scale = in.real();
    if (in.byte() & 1) {
        for (double& m : vp.view.m) m = in.real();
    }
    if (in.byte() & 1) (void)buffer_add(view.selection, model->first_child());
    const ViewProjection before = vp;
    const int32_t width = static_cast<int16_t>(in.word() & 0xFFFF), height = static_cast<int16_t>(in.word() & 0xFFFF);
    {
        RenderPreviewer preview(&view, width % 2000, height % 2000);
        for (int step = 0; step < 8 && in.p < in.end; ++step) {
            const uint8_t flags = in.byte();
            RenderPreviewRequest r;
            r.camera_name = flags & 1 ? "Cam" : (flags & 2 ? "Missing" : nullptr);
            r.perspective = flags & 4;
            r.selected_only = flags & 8;
            r.force = flags & 16;
            r.perspective_value = static_cast<int8_t>(in.byte());
            r.frame = static_cast<int8_t>(in.byte());
            preview.show(r);
            const CAMERA* fitted = preview.viewport_camera();
            if (fitted && !(fitted->lens == -1.0 || fitted->lens > 0)) __builtin_trap();
        }
        preview.restore();
    }
    if (model->current_frame != -1) __builtin_trap();
    if (std::memcmp(&vp.view, &before.view, sizeof before.view) != 0 || vp.mode != before.mode ||
        std::memcmp(&vp.origin_x, &before.origin_x, sizeof(double)) != 0 ||
        std::memcmp(&vp.scale, &before.scale, sizeof(double)) != 0)
        __builtin_trap();
    return 0;
}
