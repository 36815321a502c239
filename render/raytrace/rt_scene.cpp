// Scene translation: meshes, lights, self-lit meshes, default lights and the camera.
#include "render/raytrace/rt_scene.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "graphics/view/colours.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/solid.h"
#include "model/db/zobj.h"
#include "model/material/material.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "render/raytrace/rt_error.h"
#include "render/raytrace/rt_vec.h"
#include "render/scanline/render_context.h"
#include "render/scanline/render_objects.h"
#include "render/scanline/render_scene.h"
#include "render/scanline/scene_util.h"

namespace {

struct MeshRelease {
    void operator()(RenderMesh* m) const { render_mesh_release(&m); }
};
using MeshPtr = std::unique_ptr<RenderMesh, MeshRelease>;

void check(int rc, const char* label) {
    if (rc == kOutOfMemory) rt_error_memory(label);
    if (rc != 0) rt_error(rc, label);
}

Vec3 to_f(const Vec3d& p) {
    return Vec3{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
}

Vec3d xform_point(const Matrix43& m, const Vec3d& p) {
    Vec3d out;
    mat_xform_point_d(&out, &p, &m);
    return out;
}

// A vector (difference of two points) through a matrix.
Vec3d xform_vector(const Matrix43& m, const Vec3d& v) {
    return xform_point(m, v) - xform_point(m, rt_v(0, 0, 0));
}

void add_light(RtScene* scene, RtLight* l) {
    l->index = scene->light_count++;
    l->next_light = scene->lights;
    scene->lights = l;
    rt_link_object(scene, l);
}

// A triangle with normals and texture coordinates at its corners.
RtTriangle* corner_triangle(RtArena& arena, const RenderTriangle& t, const Vec3d& n, const Vec3d& p,
                            const Vec3d& q, const Vec3d& r, const Vec3 vn[3]) {
    const double uv[3][2] = {{t.uv[0], t.uv[1]}, {t.uv[2], t.uv[3]}, {t.uv[4], t.uv[5]}};
    return rt_smooth_triangle_new(arena, n, to_f(p), to_f(q), to_f(r), vn[0], vn[1], vn[2], uv[0], uv[1], uv[2]);
}

// The triangles of one prepared mesh, pushed on a new union. Faces without area, with
// a coordinate that is not finite or with broken topology are left out.
RtUnion* mesh_union(RtArena& arena, const RenderMesh& m, bool smooth) {
    RtUnion* u = rt_union_new(arena);
    u->material = m.material;
    // A texture or bump image mapped "as given" is looked up at the corners' texture
    // coordinates (as the scan-line renderer does, zeros without any), which only
    // smooth triangles carry: flat faces then take them with the face normal at every
    // corner.
    auto as_given = [&](int slot) {
        const TextureSlot& t = m.material->slots[slot];
        return t.kind == kTextureImage && t.mapping_mode == kMappingModePoint;
    };
    const bool corner_uv = m.material && (as_given(kSlotTexture) || as_given(kSlotBump));
    for (const RenderTriangle& t : m.triangles) {
        if (!t.drawable) continue;
        const RenderVertex* v[3];
        bool ok = true;
        for (int k = 0; k < 3 && ok; ++k) {
            const int32_t c = t.corner[k];
            ok = c >= 0 && static_cast<size_t>(c) < m.vertices.size() && m.vertices[c].finite;
            if (ok) v[k] = &m.vertices[c];
        }
        if (!ok) continue;
        const Vec3d p = v[0]->world, q = v[1]->world, r = v[2]->world;
        Vec3d n = rt_cross(p - q, r - q);
        const double len = rt_len(n);
        if (!(len >= 1e-9) || !std::isfinite(len)) continue;
        n = n * (1.0 / len);
        // The prepared face normal says which side is out (refraction needs it).
        const Vec3d face = rt_v(t.normal);
        if (rt_dot(face, n) < 0) n = n * -1.0;
        RtTriangle* tri = nullptr;
        if (smooth) {
            Vec3 vn[3];
            bool all_face = true;
            for (int k = 0; k < 3; ++k) {
                const int32_t s = t.shade[k];
                Vec3d sn = n;
                if (s >= 0 && static_cast<size_t>(s) < m.shade.size()) {
                    const ShadeRecord& sr = m.shade[s];
                    const Vec3d c = rt_v(sr.v[0], sr.v[1], sr.v[2]);
                    if (rt_len(c) > 1e-6) sn = c;
                }
                if (rt_len(sn - n) > 1e-6) all_face = false;
                vn[k] = to_f(sn);
            }
            if (!all_face) tri = corner_triangle(arena, t, n, p, q, r, vn);
        }
        if (!tri && corner_uv) {
            const Vec3 vn[3] = {to_f(n), to_f(n), to_f(n)};
            tri = corner_triangle(arena, t, n, p, q, r, vn);
        }
        if (!tri) tri = rt_triangle_new(arena, n, to_f(p), to_f(q), to_f(r));
        tri->material = m.material;
        if (m.material && m.material->slots[kSlotBump].kind != kTextureNone) tri->type |= kRtTwoSided;
        rt_union_add(u, tri);
    }
    rt_union_bounds(u);
    return u;
}

// Grows the scene's tiles by a triangle given in the image frame: each tile takes the
// depths of the part of the triangle over its pixels (and two pixels round them, where
// supersamples and the row above the image reach). With a camera of `focal` pixels the
// frame is the camera's and the depths run along the line of sight from the eye.
void grow_tiles(RtScene* scene, int width, int height, double focal, const Vec3d tri[3]) {
    const int columns = scene->tile_columns;
    const int rows = columns > 0 ? static_cast<int>(scene->tile_lo.size()) / columns : 0;
    if (rows <= 0) return;
    // Homogeneous pixel coordinates (x, y) / w, x to the right from the image's left
    // edge, y down from its top; z the depth. A parallel view has w = 1.
    struct Point {
        double x, y, w, z;
    };
    auto mix = [](const Point& a, const Point& b, double t) {
        return Point{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), a.w + t * (b.w - a.w), a.z + t * (b.z - a.z)};
    };
    // The polygon cut to where off(point) >= 0 (Sutherland-Hodgman, in double).
    std::vector<Point> poly, next;
    auto cut = [&](auto off) {
        next.clear();
        for (size_t i = 0; i < poly.size(); ++i) {
            const Point& a = poly[i];
            const Point& b = poly[(i + 1) % poly.size()];
            const double da = off(a), db = off(b);
            if (da >= 0) next.push_back(a);
            if ((da >= 0) != (db >= 0)) next.push_back(mix(a, b, da / (da - db)));
        }
        poly.swap(next);
    };
    std::vector<Point> p(3);
    for (int k = 0; k < 3; ++k) {
        const Vec3d& q = tri[k];
        if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z)) return;
        p[k] = focal > 0 ? Point{width / 2.0 * -q.z + focal * q.x, height / 2.0 * -q.z - focal * q.y, -q.z, -q.z}
                         : Point{q.x + width / 2.0, height / 2.0 - q.y, 1.0, q.z};
        if (!std::isfinite(p[k].x) || !std::isfinite(p[k].y)) return;
    }
    poly = p;
    // Before the eye only.
    if (focal > 0) cut([](const Point& q) { return q.w - 1e-9; });
    p = poly;
    double x0 = HUGE_VAL, x1 = -HUGE_VAL, y0 = HUGE_VAL, y1 = -HUGE_VAL;
    for (const Point& q : p) {
        x0 = std::min(x0, q.x / q.w), x1 = std::max(x1, q.x / q.w);
        y0 = std::min(y0, q.y / q.w), y1 = std::max(y1, q.y / q.w);
    }
    constexpr double kMargin = 2.0;
    auto first = [](double lo, int count) {
        return static_cast<int>(std::clamp(std::ceil((lo - kRtTile - kMargin) / kRtTile), 0.0, double(count)));
    };
    auto last = [](double hi, int count) {
        return static_cast<int>(std::clamp(std::floor((hi + kMargin) / kRtTile), -1.0, double(count - 1)));
    };
    const int tx0 = first(x0, columns), tx1 = last(x1, columns), ty0 = first(y0, rows), ty1 = last(y1, rows);
    for (int ty = ty0; ty <= ty1; ++ty)
        for (int tx = tx0; tx <= tx1; ++tx) {
            // The triangle cut to the tile's column.
            const double bound[4] = {tx * double(kRtTile) - kMargin, (tx + 1) * double(kRtTile) + kMargin,
                                     ty * double(kRtTile) - kMargin, (ty + 1) * double(kRtTile) + kMargin};
            poly = p;
            for (int side = 0; side < 4 && !poly.empty(); ++side) {
                const bool along_y = side >= 2, upper = side & 1;
                cut([&](const Point& q) {
                    const double c = along_y ? q.y : q.x;
                    return upper ? bound[side] * q.w - c : c - bound[side] * q.w;  // >= 0 inside
                });
            }
            const size_t at = static_cast<size_t>(ty) * columns + tx;
            for (const Point& q : poly) {
                if (!std::isfinite(q.z)) continue;
                scene->tile_lo[at] = std::min(scene->tile_lo[at], q.z);
                scene->tile_hi[at] = std::max(scene->tile_hi[at], q.z);
            }
        }
}

struct Translator {
    RenderContext* ctx;
    RtArena& arena;
    RtScene* scene;
    std::vector<MeshPtr> meshes;

    int add_form(const MeshForm& f) {
        const MeshFaceBlock* b = f.block;
        if (b->faces.empty() || b->vertices.empty() || b->edges.empty()) return 0;
        if ((ctx->flags & kRenderTextures) && render_load_images(ctx, f.material) != 0) return kOutOfMemory;
        RenderMesh* m = render_mesh_create(b, f.material, f.move, f.key_a, f.key_b, f.blend, ctx->threads);
        if (!m) return kOutOfMemory;
        meshes.emplace_back(m);
        scene->faces += static_cast<int64_t>(b->faces.size());
        return 0;
    }

    void walk(ZOBJ* root) {
        for (ZOBJ* z = root; z; z = tree_next(z, root))
            if (auto* m = rtc_cast<MESH3>(z))
                check(render_mesh_from_object(ctx, m, [this](const MeshForm& f) { return add_form(f); }),
                      "attach mp");
    }

    void light(LIGHT* obj) {
        int rc = 0;
        LIGHT* src = render_light_from_object(ctx, obj, &rc);
        if (!src) rt_error_memory("adjust_object");
        // A light from a file at a place or of a colour that is not a number would turn
        // every surface it reaches into one: such a light is left out.
        const Vec3& at = src->position;
        const float* rgb = src->light_colour;
        if (!std::isfinite(at.x) || !std::isfinite(at.y) || !std::isfinite(at.z) || !std::isfinite(rgb[0]) ||
            !std::isfinite(rgb[1]) || !std::isfinite(rgb[2]))
            return;
        RtLight* l;
        if (auto* spot = rtc_cast<SPOTLITE>(src))
            l = rt_light_create(arena, kRtLightSpot, src->light_colour, src->position, spot->target, spot->word,
                                spot->cone_cos[0], spot->cone_cos[1]);
        else
            l = rt_light_create(arena, kRtLightPoint, src->light_colour, src->position, src->position, 0, 0, 0);
        add_light(scene, l);
    }

    // One prepared mesh: a self-lit one becomes a light with the mesh as its shape.
    void convert(RenderMesh& m) {
        int64_t running = 0;
        const bool faceted = (ctx->flags & kRenderFlat) != 0;
        check(render_mesh_prepare_record(&m, render_step, ctx, &running, faceted, ctx->threads), "pre_trias");
        check(mesh_texture_coordinates(ctx, &m), "uv");
        BBox own = kEmptyBBox;
        // The tiles want the vertices in the image frame (the camera's with one).
        std::vector<Vec3d> image(m.vertices.size());
        for (size_t i = 0; i < m.vertices.size(); ++i)
            if (m.vertices[i].finite) {
                const Vec3d p = xform_point(ctx->matrix, m.vertices[i].world);
                image[i] = p;
                bbox_grow(&scene->box, p);
                bbox_grow(&own, m.vertices[i].world);
            }
        {
            if (!ctx->camera) grow_by_window(&scene->in_view, m, ctx->matrix, ctx->window);
            const double focal = ctx->camera ? ctx->camera->lens * ctx->width : 0.0;
            for (const RenderTriangle& t : m.triangles) {
                Vec3d tri[3];
                bool ok = t.drawable;
                for (int k = 0; k < 3 && ok; ++k) {
                    const int32_t c = t.corner[k];
                    ok = c >= 0 && static_cast<size_t>(c) < m.vertices.size() && m.vertices[c].finite;
                    if (ok) tri[k] = image[c];
                }
                if (ok) grow_tiles(scene, ctx->width, ctx->height, focal, tri);
            }
        }
        const MaterialRecord* mat = m.material;
        RtUnion* u = mesh_union(arena, m, !faceted);
        if (!u->children) return;
        if (mat && mat->self_illumination >= kRtSelfLitLight) {
            const Vec3 centre = {(own.min.x + own.max.x) / 2, (own.min.y + own.max.y) / 2,
                                 (own.min.z + own.max.z) / 2};
            float colour[4];
            for (int k = 0; k < 4; ++k) colour[k] = mat->colour[k] * mat->self_illumination;
            RtLight* l = rt_light_create(arena, kRtLightPoint, colour, centre, centre, 0, 0, 0);
            l->type &= ~kRtFinite;
            l->shape = u;
            u->flags &= ~kRtCastsShadow;
            for (RtObject* c = u->children; c; c = c->next) c->flags &= ~kRtCastsShadow;
            l->flags &= ~kRtCastsShadow;
            l->type |= u->type & (kRtFinite | kRtFinite2);
            l->box_min = u->box_min;
            l->box_max = u->box_max;
            add_light(scene, l);
        } else {
            rt_link_object(scene, u);
        }
    }
};

}  // namespace

void rt_link_object(RtScene* scene, RtObject* o) {
    if ((o->type & kRtComposite) && !(o->type & kRtLight)) {
        auto* u = static_cast<RtUnion*>(o);
        RtObject* c = u->children;
        u->children = nullptr;
        while (c) {
            RtObject* next = c->next;
            c->next = nullptr;
            rt_link_object(scene, c);
            c = next;
        }
        return;
    }
    o->next = scene->objects;
    scene->objects = o;
    ++scene->object_count;
}

void rt_translate(RenderContext* ctx, MODEL* drawing, const RenderLayerFilter* layers, RtArena& arena,
                  RtScene* scene) {
    Translator tr{ctx, arena, scene, {}};
    const RenderSettings* s = ctx->settings;
    scene->box = scene->in_view = kEmptyBBox;
    {
        scene->tile_columns = (ctx->width + kRtTile - 1) / kRtTile;
        const size_t tiles = static_cast<size_t>(scene->tile_columns) * ((ctx->height + kRtTile - 1) / kRtTile);
        scene->tile_lo.assign(tiles, HUGE_VAL);
        scene->tile_hi.assign(tiles, -HUGE_VAL);
    }
    // The walks below answer 0: a failure raises RtError.
    if (ctx->camera && !(ctx->flags & kRenderSelectedOnly)) {
        (void)render_for_kept_layers(drawing, layers, [&](LAYER* l) {
            tr.walk(l);
            return 0;
        });
    } else if (s && s->objects) {
        for (const RefNode* n = s->objects->refs; n; n = n->next)
            if (n->ref && (rtc_is<MESH3>(n->ref) || rtc_is<CONTAINER>(n->ref))) tr.walk(n->ref);
    }
    (void)render_for_kept_layers(drawing, layers, [&](LAYER* layer) {
        for (ZOBJ* z = layer; z; z = tree_next(z, layer))
            if (auto* l = rtc_cast<LIGHT>(z)) tr.light(l);
        return 0;
    });
    RenderProgress* p = ctx->progress;
    if (p) {
        std::lock_guard<std::recursive_mutex> lock(p->lock);
        const int64_t total = std::min<int64_t>(scene->faces, INT32_MAX);
        if (render_progress_set(p, 0, static_cast<int32_t>(total), 0)) rt_error(-1, "");
    }
    for (MeshPtr& m : tr.meshes) {
        tr.convert(*m);
        const int64_t faces = static_cast<int64_t>(m->triangles.size());
        m.reset();  // the triangles hold their own copies
        if (render_work(ctx, faces)) rt_error(-1, "");
    }
}

void rt_default_lights(const RenderContext* ctx, RtArena& arena, RtScene* scene) {
    const RenderSettings* s = ctx->settings;
    if (!s || !s->light_mask) return;
    // In a parallel view the lights stand round what lies in the window, as the
    // scan-line renderer places them: a far vertex out of view does not carry them off.
    BBox b = !ctx->camera && !bbox_is_empty(scene->in_view) ? scene->in_view : scene->box;
    if (bbox_is_empty(b)) b = BBox{{-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}};
    for (int i = 0; i < 16; ++i) {
        if (!(s->light_mask & (1u << i))) continue;
        const Vec3 p = render_default_light_position(b, i, ctx->inverse);
        float colour[4];
        colour_index_rgb(colour, s->light_colours[i]);
        add_light(scene, rt_light_create(arena, kRtLightPoint, colour, p, p, 0, 0, 0));
    }
}

void rt_setup_camera(const RenderContext* ctx, const RtScene& scene, RtCamera* cam, double* fog_distance) {
    const double aspect = static_cast<double>(ctx->width) / ctx->height;
    *cam = RtCamera{};
    if (ctx->camera) {
        const CAMERA& c = *ctx->camera;
        cam->location = rt_v(c.position);
        const Vec3d dir = rt_v(c.target) - rt_v(c.position);
        const double distance = rt_len(dir);
        // The camera frame (render_scene checked it) gives a usable up vector even when
        // the camera's own is missing or along the line of sight.
        cam->direction = rt_unit(dir) * (c.lens * aspect);
        // Focal blur's rays meet on the target's plane: the primary direction, which
        // is lens x aspect long along the line of sight, reaches it at this multiple.
        const double reach = c.lens * aspect;
        cam->focal_distance = std::isfinite(reach) && reach > 0 ? distance / reach : distance;
        cam->up = rt_unit(xform_vector(ctx->inverse, rt_v(0, 1, 0)));
        cam->right = rt_unit(xform_vector(ctx->inverse, rt_v(1, 0, 0))) * aspect;
        // Focal blur: the camera's aperture, none when it is not a positive number.
        const double aperture = c.aperture();
        cam->aperture = std::isfinite(aperture) && aperture > 0 ? aperture : 0;
        cam->orthographic = false;
        *fog_distance = distance;
        // A ray counts hits up to kRtMaxHitDepth from its start. A tile whose depths lie
        // beyond that from the eye (a far vertex carried the eye off) has its rays start
        // just before the nearest depth there: what lies in front always shows, and what
        // lies past a ray's reach behind it does not. Ray lengths exceed depths by at
        // most this factor.
        const double slant = std::sqrt(1 + 0.36 / (c.lens * c.lens) + 0.36 / (reach * reach));
        const double cover = kRtMaxHitDepth * (1 - 1e-6) / slant;
        if (!std::isfinite(cover) || !(cover > 0)) return;
        cam->start.assign(scene.tile_lo.size(), 0.0);
        cam->tile_columns = scene.tile_columns;
        for (size_t i = 0; i < cam->start.size(); ++i)
            if (scene.tile_lo[i] <= scene.tile_hi[i] && scene.tile_hi[i] > cover) {
                // A little before the nearest depth: past the least hit depth and what
                // rounding at the eye's distance leaves, well within the reach.
                const double lo = scene.tile_lo[i], hi = scene.tile_hi[i];
                const double spare = hi - lo <= cover ? (cover - (hi - lo)) / 2 : cover / 2;
                cam->start[i] = lo - std::max(std::min(lo * 1e-6, spare), 10 * kRtMinHitDepth);
            }
        return;
    }
    // The eye lies above the top of what lies in view: a far vertex out of view would
    // put it too far away to hit anything near. A far vertex in view, toward the eye,
    // would too: the eye stays within reach of the bottom of what lies in view.
    BBox b = bbox_is_empty(scene.in_view) ? scene.box : scene.in_view;
    if (bbox_is_empty(b)) b = BBox{{-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}};
    // The scan-line renderer's parallel eye distance above the scene's top (image-frame
    // units): parallel rays do not care where they start, but fog depths then agree.
    const int32_t persp = std::clamp(ctx->settings ? ctx->settings->perspective : 30, 1, 100);
    double eye = (ctx->width + ctx->height) / 2.0 * (50.0 / (persp + 5));
    if (!(eye >= 0.001)) eye = 0.001;
    // Drawing units per image-frame unit of depth. A ray counts hits up to kRtMaxHitDepth
    // from its start, the eye distance above what it searches: depths from lo to hi are
    // searched from above hi while a ray reaches across them, else from as far above lo
    // as it reaches (a vertex far toward the eye, beyond what a ray could cover).
    double unit = rt_len(xform_vector(ctx->inverse, rt_v(0, 0, 1)));
    if (!(unit > 0) || !std::isfinite(unit)) unit = 1;
    const double cover = std::max(kRtMaxHitDepth * (1 - 1e-6) / unit - eye, 0.0);
    auto start_above = [&](double lo, double hi) { return hi - lo <= cover ? hi : lo + cover; };
    const double top = start_above(b.min.z, b.max.z);
    // Each tile's rays start above what they can meet there.
    cam->start.assign(scene.tile_lo.size(), 0.0);
    cam->tile_columns = scene.tile_columns;
    for (size_t i = 0; i < cam->start.size(); ++i)
        if (scene.tile_lo[i] <= scene.tile_hi[i])
            cam->start[i] = (top - start_above(scene.tile_lo[i], scene.tile_hi[i])) * unit;
    const Vec3d pos = xform_point(ctx->inverse, rt_v(0, 0, top + eye));
    const Vec3d target = xform_point(ctx->inverse, rt_v(0, 0, top));
    cam->location = pos;
    cam->focal_distance = rt_len(target - pos);
    cam->direction = rt_unit(target - pos);
    // Parallel rays: up and right span the image; square pixels whatever the aspect.
    cam->up = xform_vector(ctx->inverse, rt_v(0, ctx->height, 0));
    cam->right = xform_vector(ctx->inverse, rt_v(ctx->width, 0, 0));
    cam->aperture = 0;
    cam->orthographic = true;
    *fog_distance = cam->focal_distance;
}
