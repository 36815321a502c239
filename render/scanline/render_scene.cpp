// The render entry and scene preparation: settings, projection, meshes, lights,
// default lights, and the order of the scan-line stages.
#include "render/scanline/render_scene.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cmath>
#include <memory>
#include <new>
#include <vector>

#include "graphics/raster/raster.h"
#include "graphics/view/colours.h"
#include "graphics/view/projection.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/track_eval.h"
#include "model/geom/query.h"
#include "model/material/material.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/services/log.h"
#include "render/scanline/clip_near.h"
#include "render/scanline/render_context.h"
#include "render/scanline/render_hooks.h"
#include "render/scanline/render_objects.h"
#include "render/scanline/render_scratch.h"
#include "render/scanline/scanline_loop.h"
#include "render/scanline/scene_util.h"
#include "render/scanline/shading.h"
#include "render/scanline/surface_detail.h"
#include "render/surface/presets.h"

namespace {

std::atomic<RayTraceFn> g_ray_tracer{nullptr};
thread_local char g_message[256] = "";
thread_local bool g_no_light = false;

struct Collect {
    RenderContext* ctx;
    MODEL* drawing;
    const CAMERA* camera;
    Frustum frustum;
    RenderMesh** tail;
    int64_t work = 0;
};

int add_block(Collect* c, const MeshFaceBlock* b, const MaterialRecord* material, int32_t tag,
              const Matrix43* move, const MeshFaceBlock* ka, const MeshFaceBlock* kb,
              double blend) {
    if (b->faces.empty() || b->vertices.empty() || b->edges.empty()) return 0;
    if ((c->ctx->flags & kRenderTextures) && render_load_images(c->ctx, material) != 0) return kOutOfMemory;
    RenderMesh* m = render_mesh_create(b, material, move, ka, kb, blend, c->ctx->threads);
    if (!m) return kOutOfMemory;
    if (c->camera && frustum_culls(c->frustum, *m)) {
        render_mesh_release(&m);
        return 0;
    }
    m->tag = tag;
    *c->tail = m;
    c->tail = &m->next;
    c->work += 2 * static_cast<int64_t>(b->faces.size()) +
               2 * static_cast<int64_t>(b->vertices.size() + b->edges.size());
    return 0;
}

int mesh_from_object(Collect* c, MESH3* mesh) {
    const int32_t tag = c->camera ? 1 : mesh->file_id;
    return render_mesh_from_object(c->ctx, mesh, [&](const MeshForm& f) {
        return add_block(c, f.block, f.material, tag, f.move, f.key_a, f.key_b, f.blend);
    });
}

int walk_object(Collect* c, ZOBJ* root) {
    for (ZOBJ* z = root; z; z = tree_next(z, root)) {
        if (auto* m = rtc_cast<MESH3>(z))
            if (int rc = mesh_from_object(c, m)) return rc;
    }
    return 0;
}

int collect_meshes(RenderContext* ctx, MODEL* drawing, const RenderLayerFilter* layers,
                   const RenderSettings* s) {
    Collect c{ctx, drawing, ctx->camera, {}, &ctx->meshes};
    if (c.camera) frustum_from_camera(&c.frustum, ctx->matrix, ctx->focal, ctx->width, ctx->height);
    ctx->bounds = kEmptyBBox;
    int rc = 0;
    if (c.camera && !(ctx->flags & kRenderSelectedOnly)) {
        rc = render_for_kept_layers(drawing, layers, [&](LAYER* l) {
            ZOBJ* first = l->first_child();
            ZDLIST* z = first;
            do {
                if (int r = walk_object(&c, static_cast<ZOBJ*>(z))) return r;
                z = z->next;
            } while (z && z != first);
            return 0;
        });
    } else if (s->objects) {
        for (const RefNode* n = s->objects->refs; n && rc == 0; n = n->next)
            if (n->ref && (rtc_is<MESH3>(n->ref) || rtc_is<CONTAINER>(n->ref)))
                rc = walk_object(&c, n->ref);
    }
    if (rc) return kOutOfMemory;
    RenderProgress* p = ctx->progress;
    std::lock_guard<std::recursive_mutex> lock(p->lock);
    const int64_t total = std::min<int64_t>(p->total + c.work, INT32_MAX);
    return render_progress_set(p, 0, static_cast<int32_t>(total), 0) ? -1 : 0;
}

int add_light(RenderContext* ctx, LIGHT* obj) {
    int rc = 0;
    LIGHT* src = render_light_from_object(ctx, obj, &rc);
    if (!src) return rc;
    const Vec3 pos = src->position;
    RenderLight* l = render_light_add(ctx, &pos, src->light_colour);
    if (!l) return kOutOfMemory;
    if (auto* spot = rtc_cast<SPOTLITE>(src)) {
        l->spot = 1;
        l->target = spot->target;
        // The spot's first value (its exponent) is the word the file keeps before the
        // two cone cosines; not above 0 means no power.
        l->spot_exponent = static_cast<float>(spot->word);
        l->inner = spot->cone_cos[0];
        l->outer = spot->cone_cos[1];
    }
    return 0;
}

int collect_lights(RenderContext* ctx, MODEL* drawing, const RenderLayerFilter* layers) {
    return render_for_kept_layers(drawing, layers, [&](LAYER* layer) {
        for (ZOBJ* z = layer; z; z = tree_next(z, layer)) {
            if (auto* l = rtc_cast<LIGHT>(z)) {
                if (add_light(ctx, l)) return kOutOfMemory;
            } else if (auto* m = rtc_cast<MESH3>(z); m && (ctx->flags & kRenderPhong) && m->material &&
                                                      m->material->self_illumination > 0.3f) {
                Vec3 centre;
                object_center(m, &centre);
                float colour[4];
                for (int i = 0; i < 4; ++i)
                    colour[i] = m->material->colour[i] * m->material->self_illumination;
                if (!render_light_add(ctx, &centre, colour)) return kOutOfMemory;
            }
        }
        return 0;
    });
}

int default_lights(RenderContext* ctx, const RenderSettings* s) {
    const Matrix43 before = ctx->inverse;
    if (bbox_is_empty(ctx->bounds)) ctx->bounds = BBox{{0, 0, 0}, {0, 0, 0}};  // empty scene
    const BBox& b = ctx->bounds;
    if (ctx->camera) {
        const CAMERA* cam = ctx->camera;
        ctx->eye = {cam->position.x, cam->position.y, cam->position.z};
        ctx->focal_distance = ctx->focal;
        ctx->fog_distance = cam->lens;
        halo_setup(&ctx->halo, cam);
        Vec3d d = ctx->eye;  // perspective: the eye position itself
        ctx->view_dir = d;
    } else {
        const double mean = (ctx->width + ctx->height) / 2.0;
        double e = mean * ctx->viewer_factor;
        if (!(e >= 0.001)) e = 0.001;
        const double z = double(b.max.z) + e;
        Vec3d eye = {0, 0, z}, look = {0, 0, 0};
        mat_xform_point_d(&eye, &eye, &before);
        mat_xform_point_d(&look, &look, &before);
        ctx->eye = eye;
        Vec3d d = {eye.x - look.x, eye.y - look.y, eye.z - look.z};
        const double len = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        ctx->view_dir = len > 0.0 ? Vec3d{d.x / len, d.y / len, d.z / len} : Vec3d{0, 0, 1};
        ctx->focal_distance = (double(b.max.z) - b.min.z) / 2.0 + e;
        ctx->fog_distance = e;
        Matrix43 move = kMatIdentity;
        move.m[11] = -z;
        mat_mul(&ctx->matrix, &ctx->matrix, &move);
        mat_invert(&ctx->inverse, &ctx->matrix);
        halo_setup(&ctx->halo, nullptr);
    }
    fog_setup(&ctx->fog, s->material.slots[1].amount, s->material.slots[0].amount,
              ctx->fog_distance, s->material.colour);
    for (int i = 0; i < 16; ++i) {
        if (!(s->light_mask & (1u << i))) continue;
        const Vec3 pos = render_default_light_position(b, i, before);
        float colour[4];
        colour_index_rgb(colour, s->light_colours[i]);
        if (!render_light_add(ctx, &pos, colour)) return kOutOfMemory;
    }
    return 0;
}

// Mesh preparation over the render threads: vertices into the image frame (growing
// per-mesh bounds), grid texture coordinates, normals.
int prepare_meshes(RenderContext* ctx) {
    std::vector<RenderMesh*> meshes;
    for (RenderMesh* m = ctx->meshes; m; m = m->next) meshes.push_back(m);
    std::vector<BBox> boxes(meshes.size(), kEmptyBBox);
    std::vector<int> results(meshes.size(), 0);
    // Small meshes go one to a thread; a large one is split over the threads itself.
    constexpr size_t kLarge = 65536;
    std::vector<int64_t> small, large;
    for (size_t i = 0; i < meshes.size(); ++i)
        (meshes[i]->triangles.size() >= kLarge && ctx->threads > 1 ? large : small)
            .push_back(static_cast<int64_t>(i));
    auto prepare = [&](int64_t i, int32_t threads) {
        RenderMesh* m = meshes[i];
        int64_t polled = 0;
        for (RenderVertex& v : m->vertices) {
            if ((++polled & 511) == 0 && render_work(ctx, 512)) {
                results[i] = -1;
                return;
            }
            if (!v.finite) continue;
            if (m->tag != 0) {
                Vec3d p;
                mat_xform_point_d(&p, &v.world, &ctx->matrix);
                bbox_grow(&boxes[i], p);
            }
        }
        int64_t running = 0;
        results[i] = render_mesh_prepare_record(m, render_step, ctx, &running,
                                                (ctx->flags & kRenderFlat) != 0, threads);
        if (results[i] == 0) results[i] = mesh_texture_coordinates(ctx, m);
        // The rest of the vertices, the edges and the faces of this block are done.
        if (results[i] == 0 &&
            render_work(ctx, (polled & 511) + static_cast<int64_t>(m->block->edges.size()) +
                                 static_cast<int64_t>(m->triangles.size())))
            results[i] = -1;
    };
    render_parallel_for(ctx->threads, static_cast<int64_t>(small.size()),
                        [&](int64_t k) { prepare(small[k], 1); });
    for (int64_t i : large) prepare(i, ctx->threads);
    for (size_t i = 0; i < meshes.size(); ++i) {
        if (results[i]) return results[i];
        bbox_merge(&ctx->bounds, boxes[i]);
    }
    // Meshes without a tag grow the bounds only by their part inside the window,
    // in chunks of triangles over the threads, each vertex taken through the matrix
    // once (also in chunks). A mesh prepared with kept normals keeps its box for the
    // same matrix and window.
    constexpr size_t kChunk = 16384;
    struct Chunk {
        size_t mesh;
        size_t first;
        size_t through;  // the mesh's first vertex in `through`
    };
    std::vector<Chunk> chunks, vertex_chunks;
    std::vector<BBox> window_boxes(meshes.size(), kEmptyBBox);
    std::vector<char> known(meshes.size(), 0);
    size_t vertices = 0;
    for (size_t i = 0; i < meshes.size(); ++i) {
        const RenderMesh* m = meshes[i];
        if (m->tag != 0) continue;
        known[i] = render_mesh_window_box(m, ctx->matrix, ctx->window, &window_boxes[i]);
        if (known[i]) continue;
        for (size_t f = 0; f < m->triangles.size(); f += kChunk) chunks.push_back({i, f, vertices});
        for (size_t v = 0; v < m->vertices.size(); v += kChunk)
            vertex_chunks.push_back({i, v, vertices});
        vertices += m->vertices.size();
    }
    ScratchVector<Vec3d> through_keep(vertices);
    std::vector<Vec3d>& through = *through_keep;
    through.resize(vertices);
    render_parallel_for(ctx->threads, static_cast<int64_t>(vertex_chunks.size()), [&](int64_t i) {
        const Chunk& c = vertex_chunks[i];
        const RenderMesh* m = meshes[c.mesh];
        const size_t end = std::min(m->vertices.size(), c.first + kChunk);
        for (size_t v = c.first; v < end; ++v)
            mat_xform_point_d(&through[c.through + v], &m->vertices[v].world, &ctx->matrix);
    });
    std::vector<BBox> parts(chunks.size(), kEmptyBBox);
    render_parallel_for(ctx->threads, static_cast<int64_t>(chunks.size()), [&](int64_t i) {
        grow_by_window(&parts[i], *meshes[chunks[i].mesh], ctx->matrix, ctx->window,
                       chunks[i].first, chunks[i].first + kChunk, through.data() + chunks[i].through);
    });
    for (size_t i = 0; i < chunks.size(); ++i) bbox_merge(&window_boxes[chunks[i].mesh], parts[i]);
    for (size_t i = 0; i < meshes.size(); ++i) {
        if (meshes[i]->tag != 0) continue;
        if (!known[i]) render_mesh_keep_window_box(meshes[i], ctx->matrix, ctx->window, window_boxes[i]);
        bbox_merge(&ctx->bounds, window_boxes[i]);
    }
    return render_stopped(ctx->progress) ? -1 : 0;
}

int scanline_path(RenderContext* ctx, MODEL* drawing, const RenderLayerFilter* layers,
                  const RenderSettings* s) {
    const int32_t k = std::clamp(s->perspective, 1, 100) + 5;
    ctx->viewer_factor = 50.0 / k;
    ctx->ambient = (ctx->flags & kRenderAmbient) ? 0.15f : 0.0;
    int rc = collect_meshes(ctx, drawing, layers, s);
    if (rc == 0) rc = prepare_meshes(ctx);
    if (rc == 0) rc = default_lights(ctx, s);
    if (rc == 0) rc = collect_lights(ctx, drawing, layers);
    ctx->no_light = rc == 0 && !ctx->lights && ctx->ambient == 0.0;
    if (rc == 0) {
        halo_set_image(&ctx->halo, ctx->width, ctx->height);
        // A procedural background is scaled by its preset's reference size.
        if (s->material.slots[kSlotTexture].kind > kTextureImage) {
            const double k = texture_preset_ref_size(&kPresetsTexture, &s->material) /
                             double(std::min(ctx->width, ctx->height));
            ctx->background_scale_u = ctx->background_scale_v = k;
        } else {
            ctx->background_scale_u = 1.0 / ctx->width;
            ctx->background_scale_v = 1.0 / ctx->height;
        }
        rc = render_clip_near(&ctx->meshes, &ctx->matrix, &ctx->inverse, ctx->threads);
    }
    if (rc == 0) rc = render_light_pass(ctx);
    if (rc == 0) rc = render_shadow_build(ctx);
    if (rc == 0) rc = render_scanline(ctx);
    return rc;
}

void fill_rest(RenderContext* ctx) {
    const int32_t first = ctx->rows_done_max + 1;
    if (first >= ctx->full_height) return;
    float rgba[4];
    colour_index_rgb(rgba, ctx->settings->background_colour);
    const uint32_t px = static_cast<uint32_t>(rgba[2] * 255.0f) |
                        (static_cast<uint32_t>(rgba[1] * 255.0f) << 8) |
                        (static_cast<uint32_t>(rgba[0] * 255.0f) << 16);
    std::vector<uint32_t> row(static_cast<size_t>(ctx->full_width), px);
    for (int32_t y = first; y < ctx->full_height; ++y)
        ctx->target->write_row(ctx->target, 0, y, ctx->full_width, row.data(), row.size() * 4, 3);
}

}  // namespace

int render_scene(ImageDC* target, RenderSettings* settings, const ViewProjection* view,
                 MODEL* drawing, const RenderLayerFilter* layers, const CAMERA* camera,
                 RenderProgressFn progress, RenderRowDoneFn row_done, void* context) {
    if (!target || target->magic != kImageDCMagic || target->planes != 1 || target->bits != 24 ||
        target->width < 1 || target->height < 1 || !settings)
        return kBadArgument;
    render_set_message(nullptr);
    g_no_light = false;
    try {
        render_init_hooks();
        RenderProgress p;
        p.progress = progress;
        p.row_done = row_done;
        p.context = context;
        p.target = target;
        p.total = target->height;
        p.phase = 1;
        RenderContext ctx;
        ctx.settings = settings;
        ctx.progress = &p;
        ctx.target = target;
        ctx.threads = render_thread_count();
        ctx.noise_seed = settings->noise_seed ? settings->noise_seed : render_next_noise_seed();
        ctx.flags = settings->flags | kRenderShadows;
        if ((ctx.flags & kRenderPhong) && (ctx.flags & kRenderTextures))
            ctx.flags |= kRenderPhongTextures;
        else
            ctx.flags &= ~kRenderPhongTextures;
        // The ray tracer traces the full image: drafts are a scan-line economy.
        if (ctx.flags & kRenderRayTrace) ctx.flags = (ctx.flags | kRenderRayTraceForced) & ~kRenderDraft;
        // Gamma outside the page's range (a file may hold 0) renders as 1.0.
        const double gamma = settings->gamma;
        ctx.gamma_exponent = (std::isfinite(gamma) && gamma >= 0.1 && gamma <= 10.0) ? 1.0 / gamma : 1.0;
        ctx.perspective = (ctx.flags & kRenderPerspective) && camera;
        ctx.camera = ctx.perspective ? camera : nullptr;
        ctx.full_width = target->width;
        ctx.full_height = target->height;
        if (ctx.flags & kRenderDraft) {
            ctx.draft_scale = 0.5;
            ctx.width = target->width / 2 + 2;
            ctx.height = target->height / 2 + 2;
        } else {
            ctx.width = target->width;
            ctx.height = target->height;
        }
        // Projection.
        if (ctx.camera) {
            if (int rc = camera_frame(*ctx.camera, &ctx.matrix, &ctx.inverse)) return rc;
            ctx.focal = ctx.camera->lens * target->width * ctx.draft_scale;
        } else {
            if (!view) return kBadArgument;
            if (int rc = parallel_frame(*view, target->width, target->height, ctx.draft_scale,
                                        &ctx.matrix, &ctx.inverse, ctx.window))
                return rc;
        }
        if (render_load_images(&ctx, &settings->material) != 0) return kOutOfMemory;
        if (ctx.flags & kRenderRayTrace) {
            settings->flags |= kRenderRayTraceForced;
            const RayTraceFn trace = g_ray_tracer.load();
            if (!trace) return 1;
            ctx.render_target = target;
            const int rc = trace(&ctx, drawing, layers);
            g_no_light = ctx.no_light;
            return rc;
        }
        if (ctx.flags & kRenderDraft) {
            ctx.draft_image = image_create(ctx.width, ctx.height, 1, 24, nullptr);
            ImageDC* dc = ctx.draft_image ? image_dc_create(ctx.draft_image) : nullptr;
            if (!dc) return kOutOfMemory;
            ctx.render_target = dc;
        } else {
            ctx.render_target = target;
        }
        int rc = scanline_path(&ctx, drawing, layers, settings);
        g_no_light = ctx.no_light;
        if (rc == 0) fill_rest(&ctx);
        return rc;
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

void render_set_ray_tracer(RayTraceFn fn) { g_ray_tracer.store(fn); }

const char* render_last_message() { return g_message; }

bool render_last_found_no_light() { return g_no_light; }

void render_set_message(const char* text) {
    if (!text) text = "";
    std::snprintf(g_message, sizeof g_message, "%s", text);
}
