// The ray tracer's entry: translation, camera, fog, hierarchy, rows, errors.
#include "render/raytrace/rt_render.h"

#include <algorithm>
#include <new>

#include "model/material/material.h"
#include "model/math/result.h"
#include "render/raytrace/rt_error.h"
#include "render/raytrace/rt_scene.h"
#include "render/scanline/render_context.h"
#include "render/scanline/render_hooks.h"
#include "render/scanline/render_scene.h"

namespace {

int trace_frame(RenderContext* ctx, MODEL* drawing, const RenderLayerFilter* layers, RtArena& arena) {
    const RenderSettings* s = ctx->settings;
    RenderProgress* p = ctx->progress;
    RtScene scene;
    rt_translate(ctx, drawing, layers, arena, &scene);
    rt_default_lights(ctx, arena, &scene);

    RtFrame f;
    f.width = ctx->width;
    f.height = ctx->height;
    double fog_distance = 0;
    rt_setup_camera(ctx, scene, &f.camera, &fog_distance);
    fog_setup(&f.fog, s->material.slots[kSlotBump].amount, s->material.slots[kSlotTexture].amount, fog_distance,
              s->material.colour);
    halo_setup(&f.halo, ctx->camera);
    halo_set_image(&f.halo, f.width, f.height);
    f.antialias = (ctx->flags & kRenderAntialias) != 0;
    f.grey = (ctx->flags & kRenderGrey) != 0;
    // A depth from a file beyond what the page offers would branch without end.
    f.max_level = std::clamp(s->trace_depth, 0, kRtMaxTraceDepth);
    f.shadows = (ctx->flags & kRenderShadows) != 0;
    f.reflections = true;
    f.pigment_only = (ctx->flags & kRenderAmbient) != 0;
    f.textures = (ctx->flags & kRenderTextures) != 0;
    f.bumps = (ctx->flags & kRenderPhongTextures) != 0;
    f.background = {s->material.colour[0], s->material.colour[1], s->material.colour[2], 1.0f};
    f.scene_material = &s->material;
    f.lights = scene.lights;
    f.light_count = scene.light_count;
    ctx->no_light = !scene.lights && !f.pigment_only;
    if (p) render_progress_set(p, -1, f.height, 1);
    if (!scene.objects) rt_error(kRtErrorGeneral, "Theres no objects in the scene");
    f.objects = scene.objects;
    f.slabs = rt_build_slabs(scene.objects, arena, ctx->threads);
    if (!f.camera.orthographic && f.camera.aperture == 0.0) rt_primary_cache(scene.objects, f.camera.location);
    f.stop = p ? &p->stop : nullptr;
    // The frame's rows lie within the target, which is all the hook could refuse.
    f.row_writer = [ctx](int row, int width, const uint32_t* pixels) {
        (void)render_row_hook(ctx, row, width, pixels);
    };
    f.row_done = [p](int row) { return p ? render_progress_rows(p, row, row) : 0; };
    rt_prepare_lights(f);
    if (p && render_progress_rows(p, -1, -1)) return -1;
    return rt_trace_rows(f, ctx->threads);
}

}  // namespace

int rt_render(RenderContext* ctx, MODEL* drawing, const RenderLayerFilter* layers) {
    if (!ctx || !ctx->settings || ctx->width < 1 || ctx->height < 1) return kBadArgument;
    render_set_message(nullptr);
    int code = 0;
    try {
        RtArena arena;
        code = trace_frame(ctx, drawing, layers, arena);
    } catch (const RtError& e) {
        code = e.code();
        // Out of memory shows the program's own text; a stop shows nothing.
        if (code != kOutOfMemory && code != -1 && code != 0) render_set_message(e.what());
    } catch (const std::bad_alloc&) {
        code = kOutOfMemory;
    }
    // Clones of animated objects belong to the context and go with it.
    return code;
}

void rt_install() { render_set_ray_tracer(rt_render); }
