// The surface-detail seam: the shared evaluators at a shaded point, and the build of
// the spot lights' shadow maps.
#include "render/scanline/surface_detail.h"

#include <new>

#include "model/material/material.h"
#include "render/scanline/render_context.h"
#include "render/surface/shadow_map.h"
#include "render/surface/surface.h"

namespace {

constexpr int32_t kShadowMapSize = 256;
constexpr double kShadowBias = 1.0;
constexpr int32_t kShadowFilter = 3;

struct DrawTarget {
    ShadowFace* face;
    uint32_t id;
};

// Keeps the nearest light depth of each texel and the surface that wrote it.
void write_depth(int32_t column, int32_t row, const ShadowVertex* v, void* target, void*) {
    auto* t = static_cast<DrawTarget*>(target);
    ShadowFace* f = t->face;
    if (column < 0 || row < 0 || column >= f->n || row >= f->n) return;
    const size_t k = size_t(row) * size_t(f->n) + size_t(column);
    const double w = v->f[3];
    if (w < f->depth[k]) {
        f->depth[k] = w;
        f->ids[k] = t->id;
    }
}

}  // namespace

void surface_texture(const TextureSlot* slot, const double point[3], const float base[4],
                     float out[4]) {
    texture_eval_d(out, base, slot, point);
}

void surface_background(const TextureSlot* slot, const double point[3], const float base[4],
                        float out[4]) {
    TextureCall call;
    call.amount = 1.0f;
    texture_eval_d(out, base, slot, point, &call);
}

void surface_bump(const TextureSlot* slot, const double point[3], Vec3d* n) {
    double v[3] = {n->x, n->y, n->z};
    bump_eval_d(v, slot, point);
    *n = {v[0], v[1], v[2]};
}

void surface_reflection(const TextureSlot* slot, const Vec3d& direction, float out[3]) {
    const double d[3] = {direction.x, direction.y, direction.z};
    reflection_eval(out, slot, d);
}

double surface_shadow(const RenderLight* light, const Vec3d& point, const RenderMesh* mesh) {
    if (!light || !light->shadow) return 1.0;
    const float p[3] = {float(point.x), float(point.y), float(point.z)};
    return shadow_lookup(&light->shadow->faces[0], p, light->shadow_bias, light->shadow_filter,
                         mesh ? mesh->surface_id : 0);
}

void render_shadow_free(RenderLight* light) {
    if (!light || !light->shadow) return;
    shadow_map_free(light->shadow);
    delete light->shadow;
    light->shadow = nullptr;
}

int render_shadow_build(RenderContext* ctx) {
    uint32_t id = 0;
    for (RenderMesh* m = ctx->meshes; m; m = m->next) m->surface_id = ++id;
    for (RenderLight* l = ctx->lights; l; l = l->next) {
        l->shadow_bias = kShadowBias;
        l->shadow_filter = kShadowFilter;
    }
    if (!(ctx->flags & kRenderShadows)) return 0;
    for (RenderLight* l = ctx->lights; l; l = l->next) {
        if (!l->spot) continue;
        if (render_stopped(ctx->progress)) return -1;
        auto* map = new (std::nothrow) ShadowMap();
        if (!map) return 1;
        shadow_map_init(map);
        l->shadow = map;
        if (shadow_face_alloc(&map->faces[0], kShadowMapSize) != 0) {
            render_shadow_free(l);
            return 1;
        }
        const double from[3] = {l->position.x, l->position.y, l->position.z};
        const double to[3] = {l->target.x, l->target.y, l->target.z};
        if (shadow_face_aim(&map->faces[0], from, to, nullptr, l->outer) != 0) {
            // A light aimed at itself has no direction: its points count as lit.
            render_shadow_free(l);
            continue;
        }
        int64_t polled = 0;
        for (const RenderMesh* m = ctx->meshes; m; m = m->next) {
            DrawTarget target{&map->faces[0], m->surface_id};
            for (const RenderTriangle& tri : m->triangles) {
                if ((++polled & 4095) == 0 && render_step(ctx, 0)) return -1;
                if (!tri.drawable) continue;
                ShadowPolygon poly;
                poly.count = 3;
                bool ok = true;
                for (int k = 0; k < 3; ++k) {
                    const int32_t c = tri.corner[k];
                    if (c < 0 || size_t(c) >= m->vertices.size() || !m->vertices[c].finite) {
                        ok = false;
                        break;
                    }
                    const Vec3d& w = m->vertices[c].world;
                    poly.v[k].f[4] = w.x;
                    poly.v[k].f[5] = w.y;
                    poly.v[k].f[6] = w.z;
                }
                if (!ok) continue;
                shadow_polygon_draw(&poly, map->faces[0].m, kShadowMapSize, kShadowMapSize, false,
                                    0, &write_depth, &target, nullptr);
            }
        }
    }
    return render_stopped(ctx->progress) ? -1 : 0;
}
