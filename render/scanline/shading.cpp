// Lights and point shading: spot factor, light pass, flat/Gouraud and Phong pixels.
#include "render/scanline/shading.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cmath>

#include "model/material/material.h"
#include "render/scanline/render_scratch.h"
#include "render/scanline/surface_detail.h"

namespace {

Vec3d sub(const Vec3d& a, const Vec3d& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double dot(const Vec3d& a, const Vec3d& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
double len(const Vec3d& a) {
    return std::sqrt(dot(a, a));
}
Vec3d to_d(const Vec3& v) {
    return {v.x, v.y, v.z};
}
Vec3d unit_or_zero(const Vec3d& v) {
    const double l = len(v);
    if (!(l > 0.0) || !std::isfinite(l)) return {0, 0, 0};
    return {v.x / l, v.y / l, v.z / l};
}

// The power a material applies unless its exponent is exactly 1.
double power(double x, float e) {
    if (e == 1.0f) return x;
    return std::pow(x, static_cast<double>(e));
}

// A normal turns toward the viewer only when it clearly faces away: below this V . N.
// The vertex normals of a closed smooth mesh's outline are square to the view, and
// float rounding alone must not turn them toward a light on the other side.
constexpr double kFacingAway = -1e-5;

Vec3d view_vector(const RenderContext* ctx, const Vec3d& p) {
    if (ctx->perspective) return unit_or_zero(sub(ctx->eye, p));
    return ctx->view_dir;
}

Vec3d interpolate_point(const RenderMesh* mesh, const RenderTriangle* tri, const double w[3]) {
    Vec3d p = {0, 0, 0};
    for (int k = 0; k < 3; ++k) {
        const Vec3d& c = mesh->vertices[tri->corner[k]].world;
        p.x += c.x * w[k];
        p.y += c.y * w[k];
        p.z += c.z * w[k];
    }
    return p;
}

// Where a slot is evaluated: (u, v, 0) interpolated from the corners for an image map
// with mapping mode 1, else the point.
void slot_point(const TextureSlot& slot, const RenderTriangle* tri, const double w[3],
                const Vec3d& p, double at[3]) {
    at[0] = p.x;
    at[1] = p.y;
    at[2] = p.z;
    if (slot.kind == kTextureImage && slot.mapping_mode == kMappingModePoint) {
        at[0] = at[1] = at[2] = 0.0;
        for (int k = 0; k < 3; ++k) {
            at[0] += tri->uv[k * 2] * w[k];
            at[1] += tri->uv[k * 2 + 1] * w[k];
        }
    }
}

void surface_colour(const RenderContext* ctx, const MaterialRecord* m, const RenderTriangle* tri,
                    const double w[3], const Vec3d& p, float out[4]) {
    for (int i = 0; i < 4; ++i) out[i] = m->colour[i];
    if (!(ctx->flags & kRenderTextures) || m->slots[kSlotTexture].kind == kTextureNone) return;
    const TextureSlot& slot = m->slots[kSlotTexture];
    double at[3];
    slot_point(slot, tri, w, p, at);
    surface_texture(&slot, at, m->colour, out);
}

}  // namespace

int32_t render_random(uint32_t seed) {
    // A small integer hash (xorshift-multiply), repeatable across runs and threads.
    uint32_t x = seed * 0x9E3779B1u + 0x7F4A7C15u;
    x ^= x >> 16;
    x *= 0x85EBCA6Bu;
    x ^= x >> 13;
    x *= 0xC2B2AE35u;
    x ^= x >> 16;
    return static_cast<int32_t>(x & 0x7FFF);
}

double render_spot_factor(const Vec3d& u, const RenderLight* light) {
    const Vec3d a = {double(light->target.x) - light->position.x,
                     double(light->target.y) - light->position.y,
                     double(light->target.z) - light->position.z};
    const double la = len(a);
    if (!(la > 0.0)) return 0.0;
    const double c = -dot(u, a) / la;
    if (!(c > 0.0)) return 0.0;
    double f = light->spot_exponent > 0.0f ? std::pow(c, double(light->spot_exponent)) : 1.0;
    if (light->inner > 0.0f) {
        const double outer = light->outer, inner = light->inner;
        double s;
        if (c < outer) s = 0.0;
        else if (c >= inner) s = 1.0;
        else if (inner == outer) s = 0.0;
        else {
            const double x = (c - outer) / (inner - outer);
            s = x * x * (3.0 - 2.0 * x);
        }
        f *= s;
    }
    return f;
}

void render_intensity(const RenderContext* ctx, const MaterialRecord* m, const Vec3d& p,
                      const Vec3d& n_in, double* diffuse, double* highlight) {
    double d = ctx->ambient, h = 0.0;
    const Vec3d V = view_vector(ctx, p);
    Vec3d N = n_in;
    if (dot(V, N) < kFacingAway) N = {-N.x, -N.y, -N.z};
    for (const RenderLight* l = ctx->lights; l; l = l->next) {
        const Vec3d L = sub(to_d(l->position), p);
        const double ln = dot(L, N);
        const double ll = len(L);
        if (!(ln > 0.0) || !(ll > 0.0)) continue;
        double k = 1.0;
        if (l->spot) {
            k = render_spot_factor({L.x / ll, L.y / ll, L.z / ll}, l);
            if (k < 0.001) continue;
        }
        const double c = ln / ll;
        if (m->diffuse > 0.0f) d += k * m->diffuse * power(c, m->diffuse_exponent);
        if (m->shininess > 0.0f) {
            const Vec3d R = {2 * c * N.x - L.x, 2 * c * N.y - L.y, 2 * c * N.z - L.z};
            const double rn = dot(R, N), rl = len(R);
            if (rn < 0.0 && rl > 0.0) {
                const double s = rn / -rl;
                h += m->shininess * k * power(s, m->specular_exponent);
            }
        }
        if (m->second_highlight != 0.0f) {
            const Vec3d H = {(V.x + L.x) / 2, (V.y + L.y) / 2, (V.z + L.z) / 2};
            const double hn = dot(H, N), hl = len(H);
            if (hn > 0.0 && hl > 0.0)
                h += m->second_highlight * k * power(hn / hl, m->second_highlight_exponent);
        }
    }
    *diffuse = d;
    *highlight = h;
}

bool render_mesh_smooth(const RenderContext* ctx, const RenderMesh* mesh) {
    if (ctx->flags & kRenderFlat) return false;
    const uint32_t f = mesh->material ? mesh->material->flags : kMaterialSmoothAlways;
    return (f & (kMaterialSmoothAlways | kMaterialSmoothByAngle)) != 0;
}

int render_light_pass(RenderContext* ctx) {
    if ((ctx->flags & kRenderPhong) || !ctx->meshes) return 0;
    static const MaterialRecord kDefault;
    constexpr int64_t kChunk = 4096;
    for (RenderMesh* mesh = ctx->meshes; mesh; mesh = mesh->next) {
        if (render_stopped(ctx->progress)) return -1;
        const MaterialRecord* m = mesh->material ? mesh->material : &kDefault;
        if (render_mesh_smooth(ctx, mesh)) {
            // Each shading record is lit once, at the first corner that uses it (the
            // records of smooth meshes belong to one vertex each): the least triangle x 3
            // + corner naming it, found over the threads.
            ScratchVector<int64_t> first_keep(mesh->shade.size());
            std::vector<int64_t>& first = *first_keep;
            first.assign(mesh->shade.size(), INT64_MAX);
            const auto n = static_cast<int64_t>(first.size());
            const auto ntri = static_cast<int64_t>(mesh->triangles.size());
            render_parallel_for(ctx->threads, (ntri + kChunk - 1) / kChunk, [&](int64_t c) {
                for (int64_t i = c * kChunk; i < std::min(ntri, (c + 1) * kChunk); ++i) {
                    const RenderTriangle& tri = mesh->triangles[i];
                    if (!tri.drawable) continue;
                    for (int k = 0; k < 3; ++k) {
                        const int32_t s = tri.shade[k];
                        if (s < 0 || s >= n) continue;
                        std::atomic_ref<int64_t> at(first[s]);
                        const int64_t mine = i * 3 + k;
                        int64_t now = at.load(std::memory_order_relaxed);
                        while (mine < now &&
                               !at.compare_exchange_weak(now, mine, std::memory_order_relaxed)) {
                        }
                    }
                }
            });
            const int64_t chunks = std::max<int64_t>((n + kChunk - 1) / kChunk, 1);
            if (n == 0 && render_work(ctx, ntri)) return -1;
            render_parallel_for(ctx->threads, (n + kChunk - 1) / kChunk, [&](int64_t c) {
                if (render_stopped(ctx->progress)) return;
                // Work is counted per triangle, as the estimate does.
                if (render_work(ctx, (c + 1) * ntri / chunks - c * ntri / chunks)) return;
                for (int64_t s = c * kChunk; s < std::min(n, (c + 1) * kChunk); ++s) {
                    if (first[s] == INT64_MAX) continue;
                    const int32_t at = mesh->triangles[first[s] / 3].corner[first[s] % 3];
                    ShadeRecord& r = mesh->shade[s];
                    double d, h;
                    render_intensity(ctx, m, mesh->vertices[at].world, {r.v[0], r.v[1], r.v[2]},
                                     &d, &h);
                    r.v[0] = static_cast<float>(d);
                    r.v[1] = static_cast<float>(h);
                    r.done = 1;
                }
            });
        } else {
            // One record per face, copied to its three corners.
            const size_t base = mesh->shade.size();
            const auto n = static_cast<int64_t>(mesh->triangles.size());
            mesh->shade.resize(base + mesh->triangles.size());
            render_parallel_for(ctx->threads, (n + kChunk - 1) / kChunk, [&](int64_t c) {
                if (render_stopped(ctx->progress)) return;
                if (render_work(ctx, std::min(n, (c + 1) * kChunk) - c * kChunk)) return;
                for (int64_t i = c * kChunk; i < std::min(n, (c + 1) * kChunk); ++i) {
                    RenderTriangle& tri = mesh->triangles[i];
                    if (!tri.drawable) continue;
                    Vec3d p = {0, 0, 0};
                    for (int k = 0; k < 3; ++k) {
                        const Vec3d& q = mesh->vertices[tri.corner[k]].world;
                        p = {p.x + q.x, p.y + q.y, p.z + q.z};
                    }
                    p = {p.x * 0.33333334f, p.y * 0.33333334f, p.z * 0.33333334f};
                    double d, h;
                    render_intensity(ctx, m, p, to_d(tri.normal), &d, &h);
                    ShadeRecord& r = mesh->shade[base + i];
                    r.v[0] = static_cast<float>(d);
                    r.v[1] = static_cast<float>(h);
                    r.done = 1;
                    for (int k = 0; k < 3; ++k) tri.shade[k] = static_cast<int32_t>(base + i);
                }
            });
        }
    }
    return render_stopped(ctx->progress) ? -1 : 0;
}

void render_flat_setup_mesh(const RenderContext* ctx, const RenderMesh* mesh, FlatShader* out) {
    static const MaterialRecord kDefault;
    const MaterialRecord* m = mesh->material ? mesh->material : &kDefault;
    out->m = m;
    out->smooth = render_mesh_smooth(ctx, mesh);
    out->plain = m->randomness == 0.0f &&
                 (!(ctx->flags & kRenderTextures) || m->slots[kSlotTexture].kind == kTextureNone);
    out->tinted = (m->flags & kMaterialColourHighlight) != 0;
    out->self = m->self_illumination;
    out->opaque = 1.0 - m->transparency;
    for (int i = 0; i < 4; ++i) out->surface[i] = m->colour[i];
}

void render_flat_setup(const RenderContext* ctx, const RenderMesh* mesh,
                       const RenderTriangle* tri, FlatShader* out) {
    render_flat_setup_mesh(ctx, mesh, out);
    render_flat_setup_corners(mesh, tri, out);
}

void render_shade_flat(const RenderContext* ctx, const RenderMesh* mesh,
                       const RenderTriangle* tri, const double w[3], uint32_t seed,
                       ShadeResult* out) {
    FlatShader fs;
    render_flat_setup(ctx, mesh, tri, &fs);
    const MaterialRecord* m = fs.m;
    double d, h;
    render_flat_intensity(fs, w, &d, &h);
    Vec3d p = {0, 0, 0};
    if (ctx->flags & kRenderTextures) p = interpolate_point(mesh, tri, w);
    surface_colour(ctx, m, tri, w, p, out->surface);
    if (m->randomness != 0.0f) d -= render_random(seed) * double(m->randomness) / 32767.0;
    render_flat_lit(fs, d, h, out->surface, out->lit);
}

void render_shade_phong(const RenderContext* ctx, const RenderMesh* mesh,
                        const RenderTriangle* tri, const double w[3], uint32_t seed,
                        ShadeResult* out) {
    static const MaterialRecord kDefault;
    const MaterialRecord* m = mesh->material ? mesh->material : &kDefault;
    const Vec3d P = interpolate_point(mesh, tri, w);
    surface_colour(ctx, m, tri, w, P, out->surface);
    Vec3d N = {0, 0, 0};
    for (int k = 0; k < 3; ++k)
        if (const ShadeRecord* r = render_shade_record(mesh, tri, k)) {
            N.x += r->v[0] * w[k];
            N.y += r->v[1] * w[k];
            N.z += r->v[2] * w[k];
        }
    N = unit_or_zero(N);
    Vec3d Nb = N;
    if ((ctx->flags & kRenderPhongTextures) && m->slots[kSlotBump].kind != kTextureNone) {
        double at[3];
        slot_point(m->slots[kSlotBump], tri, w, P, at);
        surface_bump(&m->slots[kSlotBump], at, &Nb);
    }
    const Vec3d V = view_vector(ctx, P);
    if (dot(V, N) < kFacingAway) N = {-N.x, -N.y, -N.z};
    if (dot(V, Nb) < kFacingAway) Nb = {-Nb.x, -Nb.y, -Nb.z};
    double sd[3] = {0, 0, 0}, sh[3] = {0, 0, 0};
    uint32_t draw = 0;
    for (const RenderLight* l = ctx->lights; l; l = l->next) {
        Vec3d L = sub(to_d(l->position), P);
        const double ll = len(L);
        if (!(ll > 0.0) || !(dot(L, N) > 0.0)) continue;
        L = {L.x / ll, L.y / ll, L.z / ll};
        const double cd = std::fabs(dot(L, Nb));
        double k = 1.0;
        if (l->spot) {
            k = render_spot_factor(L, l);
            if (k < 0.001) continue;
            if (ctx->flags & kRenderShadows) {
                k *= surface_shadow(l, P, mesh);
                if (k < 0.001) continue;
            }
        }
        const int32_t r = m->randomness > 0.0f ? render_random(seed + 7919u * ++draw) : 0;
        render_phong_light(m, l->colour, L, V, Nb, cd, k, r, sd, sh);
    }
    float reflected[3] = {0, 0, 0};
    if ((ctx->flags & kRenderTextures) && m->reflection_level > 0.0f)
        render_reflected(m, V, Nb, reflected);
    render_phong_combine(m, ctx->ambient, sd, sh, reflected, out->surface, out->lit);
}

void render_phong_light(const MaterialRecord* m, const float colour[4], const Vec3d& L,
                        const Vec3d& V, const Vec3d& Nb, double cd, double k, int32_t random,
                        double sd[3], double sh[3]) {
    if (m->diffuse > 0.0f) {
        double d = power(cd, m->diffuse_exponent);
        if (m->randomness > 0.0f) d -= random * double(m->randomness) / 32767.0;
        if (d > 0.0) {
            d = std::min(d, 1.0);
            for (int i = 0; i < 3; ++i) sd[i] += colour[i] * k * d;
        }
    }
    if (m->shininess > 0.0f) {
        const Vec3d H = {(V.x + L.x) / 2, (V.y + L.y) / 2, (V.z + L.z) / 2};
        const double hl = len(H);
        const double h = hl > 0.0 ? dot(H, Nb) / hl : 0.0;
        if (h > 0.0) {
            const double s = power(h, m->specular_exponent);
            for (int i = 0; i < 3; ++i) sh[i] += colour[i] * k * s;
        }
    }
}

void render_reflected(const MaterialRecord* m, const Vec3d& V, const Vec3d& Nb, float out[3]) {
    const double vn = 2.0 * dot(V, Nb);
    surface_reflection(&m->slots[kSlotReflection],
                       {vn * Nb.x - V.x, vn * Nb.y - V.y, vn * Nb.z - V.z}, out);
}

void render_phong_combine(const MaterialRecord* m, double ambient, const double sd[3],
                          const double sh[3], const float reflected[3], const float surface[4],
                          float lit[4]) {
    const double A = m->self_illumination + ambient;
    for (int i = 0; i < 3; ++i) {
        const double s = surface[i];
        double c = (sd[i] * m->diffuse + A) * s * (1.0 - m->transparency);
        double extra = sh[i] * m->shininess;
        if (m->reflection_level > 0.0f) extra += reflected[i] * m->reflection_level;
        if (m->flags & kMaterialColourHighlight) extra *= s;
        lit[i] = static_cast<float>(c + extra);
    }
    lit[3] = surface[3];
}
