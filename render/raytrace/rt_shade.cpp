// Ray-trace shading: lights, shadows, highlights, reflection and refraction.
#include "render/raytrace/rt_shade.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/material/material.h"
#include "render/raytrace/rt_vec.h"
#include "render/scanline/fog_halo.h"
#include "render/surface/surface.h"

namespace {

constexpr double kBlack = 0.003;

bool black(const float c[3]) {
    return std::fabs(c[0]) < kBlack && std::fabs(c[1]) < kBlack && std::fabs(c[2]) < kBlack;
}

const MaterialRecord& default_material() {
    static const MaterialRecord m;
    return m;
}

const MaterialRecord& material_of(const RtHit& hit, const RtObject* object) {
    if (hit.object && hit.object->material) return *hit.object->material;
    if (object && object->material) return *object->material;
    return default_material();
}

bool slot_on(const TextureSlot& slot) { return slot.kind != kTextureNone && slot.amount != 0.0f; }
bool uv_mapped(const TextureSlot& slot) {
    return slot.kind == kTextureImage && slot.mapping_mode == kMappingModePoint && slot.amount != 0.0f;
}

// Surface colour at a hit: the texture slot's colour over the material colour when
// textures are on, at the triangle's texture coordinates for point-mapped images, else
// at the hit point. Four components, the fourth the filter.
void pigment(const RtFrame& f, const MaterialRecord& m, const RtHit& hit, float out[4]) {
    const TextureSlot& slot = m.slots[kSlotTexture];
    if (!f.textures || !slot_on(slot)) {
        for (int k = 0; k < 4; ++k) out[k] = m.colour[k];
        return;
    }
    Vec3d at = hit.point;
    if (uv_mapped(slot) && hit.object->methods->normal) {
        Vec3d n;
        hit.object->methods->normal(&n, &at, hit.object, hit.point);
    }
    const double p[3] = {at.x, at.y, at.z};
    texture_eval_d(out, m.colour, &slot, p);
}

// Transmission of one blocker hit: its pigment times its transparency, plus its filter.
void shadow_filter(const RtFrame& f, const RtHit& h, const MaterialRecord& m, float c[3]) {
    float pig[4];
    pigment(f, m, h, pig);
    float fil = pig[3], tr = m.transparency * (1 - fil);
    if (tr + fil < kBlack) {
        c[0] = c[1] = c[2] = 0;
        return;
    }
    for (int k = 0; k < 3; ++k) c[k] *= tr * pig[k] + fil;
}

bool casts(const RtHit& h, const RtObject* o) {
    return (h.object->flags & kRtCastsShadow) && (o->flags & kRtCastsShadow) && !(o->type & kRtLight);
}

// Filters c by the hits of one object between the point and the light; true when the
// light is then blocked.
bool filter_object(RtThread& t, const RtObject* o, const RtRay& ray, double dist, float c[3]) {
    RtHitList* list = t.arena.hit_list_get();
    bool blocked = false;
    if (o->methods->all_intersections && o->methods->all_intersections(o, ray, list, t.arena)) {
        RtHit h;
        while (!blocked && RtArena::hit_list_pop(list, &h)) {
            if (!casts(h, o) || !(h.depth > 0.001 && h.depth < dist - 0.001)) continue;
            shadow_filter(*t.frame, h, material_of(h, o), c);
            blocked = black(c);
        }
    }
    t.arena.hit_list_put(list);
    return blocked;
}

void light_loop(RtThread& t, const MaterialRecord& m, const Vec3d& p, const RtRay& ray, const Vec3d& n,
                const RtObject* obj, float specular[3], float lit[3]) {
    if (m.diffuse == 0 && m.second_highlight == 0 && m.shininess == 0) return;
    const RtFrame& f = *t.frame;
    Vec3d v = ray.dir * -1.0;
    for (const RtLight* l = f.lights; l; l = l->next_light) {
        Vec3d to = l->position - p;
        double dist = rt_len(to);
        if (dist == 0) continue;
        Vec3d dir = to * (1.0 / dist);
        double att = rt_spot_attenuation(l, dir);
        float c[3] = {static_cast<float>(l->colour[0] * att), static_cast<float>(l->colour[1] * att),
                      static_cast<float>(l->colour[2] * att)};
        if (black(c)) continue;
        if (!(obj->type & kRtTwoSided) && rt_dot(n, dir) < 0) continue;
        if (f.shadows) {
            rt_shadow_test(t, l, p, dir, dist, c);
            if (black(c)) continue;
        }
        if (m.shininess > 0) {
            double k = rt_dot(n, ray.dir);
            Vec3d nn = n;
            if (k < 0) {
                k = -k;
            } else {
                nn = n * -1.0;
            }
            Vec3d r = ray.dir + (2 * k) * nn;
            double s = std::fmax(0.0, rt_dot(r, dir));
            if (m.specular_exponent != 1.0f) s = std::pow(s, m.specular_exponent);
            for (int i = 0; i < 3; ++i) specular[i] += static_cast<float>(c[i] * m.shininess * s);
        }
        if (m.second_highlight > 0) {
            Vec3d h = (dir + v) * 0.5;
            double hl = rt_len(h);
            double s = hl > 0 ? std::fmax(0.0, rt_dot(n, h) / hl) : 0.0;
            if (m.second_highlight_exponent != 1.0f) s = std::pow(s, m.second_highlight_exponent);
            for (int i = 0; i < 3; ++i) specular[i] += static_cast<float>(c[i] * m.second_highlight * s);
        }
        if (m.diffuse > 0) {
            double d = std::fabs(rt_dot(n, dir));
            if (m.diffuse_exponent != 1.0f) d = std::pow(d, m.diffuse_exponent);
            if (m.randomness > 0) d -= t.rand15() / 32767.0 * m.randomness;
            for (int i = 0; i < 3; ++i) lit[i] += static_cast<float>(c[i] * m.diffuse * d);
        }
    }
}

// Traces the mirror ray of ray at p and adds it times weight into out.
void reflect(RtThread& t, double weight, const Vec3d& p, const RtRay& ray, const Vec3d& n, float out[3]) {
    if (weight == 0) return;
    RtRay r;
    r.dir = rt_reflect_dir(ray.dir, n);
    r.origin = p + 0.002 * r.dir;
    r.media = ray.media;
    r.weight = ray.weight * std::fabs(weight);
    RtColour c = rt_trace(t, r);
    out[0] += static_cast<float>(weight * c.r);
    out[1] += static_cast<float>(weight * c.g);
    out[2] += static_cast<float>(weight * c.b);
}

}  // namespace

void rt_shadow_test(RtThread& t, const RtLight* light, const Vec3d& point, const Vec3d& dir, double dist,
                    float c[3]) {
    const RtFrame& f = *t.frame;
    const RtRay ray{point, dir};
    // The object that blocked this light last time is the likeliest blocker now.
    const RtObject** cache = nullptr;
    if (light && light->index >= 0 && static_cast<size_t>(light->index) < t.shadow_cache.size())
        cache = &t.shadow_cache[static_cast<size_t>(light->index)];
    const RtObject* cached = cache ? *cache : nullptr;
    if (cached && filter_object(t, cached, ray, dist, c)) return;
    // Every blocker hit, nearest first and of equal depths the object earlier in the list
    // first; hits within 0.001 of the one before are the same crossing (two triangles
    // sharing the edge the ray passes), filtered once.
    std::vector<RtObjectHit>& hits = t.shadow_hits;
    const float light_in[3] = {c[0], c[1], c[2]};
    auto filter = [&]() {
        size_t kept = 0;
        for (const RtObjectHit& h : hits)
            if (h.object != cached && casts(h.hit, h.object) && h.hit.depth > 0.001 && h.hit.depth < dist - 0.001)
                hits[kept++] = h;
        hits.resize(kept);
        std::stable_sort(hits.begin(), hits.end(), [](const RtObjectHit& a, const RtObjectHit& b) {
            return a.hit.depth != b.hit.depth ? a.hit.depth < b.hit.depth : a.rank < b.rank;
        });
        double last = -1.0;
        for (size_t i = 0; i < hits.size(); ++i) {
            if (hits[i].hit.depth - last < 0.001) continue;
            last = hits[i].hit.depth;
            shadow_filter(f, hits[i].hit, material_of(hits[i].hit, hits[i].object), c);
            if (black(c)) {
                if (i == 0 && cache) *cache = hits[i].object;
                return true;
            }
        }
        return false;
    };
    hits.clear();
    if (f.slabs.on) {
        // An opaque blocker ends the search: nothing behind it changes the answer, unless
        // it falls within the crossing of a nearer transparent hit and is skipped; then
        // the whole ray is searched again.
        struct Probe {
            const RtFrame* f;
            const RtObject* cached;
        } probe{&f, cached};
        auto opaque = [](const RtObjectHit& h, void* context) {
            auto* p = static_cast<Probe*>(context);
            if (h.object == p->cached || !casts(h.hit, h.object) || !(h.hit.depth > 0.001)) return false;
            float c1[3] = {1, 1, 1};
            shadow_filter(*p->f, h.hit, material_of(h.hit, h.object), c1);
            return black(c1);
        };
        const bool cut = rt_slab_collect(f.slabs.root, ray, dist - 0.001, &hits, t.queue, t.arena, opaque, &probe);
        if (filter() || !cut) return;
        std::copy(light_in, light_in + 3, c);
        hits.clear();
        rt_slab_collect(f.slabs.root, ray, dist - 0.001, &hits, t.queue, t.arena, nullptr, nullptr);
    } else {
        RtHitList* list = t.arena.hit_list_get();
        uint32_t rank = 0;
        for (const RtObject* o = f.objects; o; o = o->next, ++rank) {
            list->count = 0;
            if (o->methods->all_intersections(o, ray, list, t.arena))
                for (uint32_t i = 0; i < list->count; ++i) hits.push_back({list->hits[i], o, rank});
        }
        t.arena.hit_list_put(list);
    }
    filter();
}

RtColour rt_shade(RtThread& t, const RtRay& ray, const RtHit& hit, const RtObject* object) {
    const RtFrame& f = *t.frame;
    const MaterialRecord& m = material_of(hit, object);
    Vec3d n{0, 0, 1}, uv = hit.point;
    if (hit.object->methods->normal) hit.object->methods->normal(&n, &uv, hit.object, hit.point);
    const Vec3d outward = n;  // as the mesh faces
    float pig[4];
    pigment(f, m, hit, pig);
    const TextureSlot& bump = m.slots[kSlotBump];
    if (f.bumps && slot_on(bump)) {
        const Vec3d at = uv_mapped(bump) ? uv : hit.point;
        const double p[3] = {at.x, at.y, at.z};
        double v[3] = {n.x, n.y, n.z};
        bump_eval_d(v, &bump, p);
        n = rt_v(v[0], v[1], v[2]);
    }
    if (rt_dot(n, ray.dir) > 0) n = n * -1.0;
    float specular[3] = {0, 0, 0}, lit[3] = {0, 0, 0}, reflected[3] = {0, 0, 0}, combined[3];
    const int level = t.level;
    // The reflected and the transmitted ray share the light that leaves the point: where
    // their weights add up to more than 1 (a mirror that lets everything through), both
    // are scaled down to sum to 1, so deeper tracing never makes the picture brighter
    // than the light that reaches the surfaces. Below that they keep their weights.
    const float fil = pig[3], tr = m.transparency * (1 - fil);
    const bool passes = fil + tr >= kBlack;
    const bool mirrors = f.reflections && !f.pigment_only;
    double pass = 0;  // the transmitted ray's greatest weight over the channels
    if (passes)
        for (int k = 0; k < 3; ++k) pass = std::fmax(pass, tr * pig[k] + fil);
    const double sum = (mirrors ? std::fabs(m.reflection_level) * (1 - fil) : 0.0) + pass;
    const double share = sum > 1 ? 1 / sum : 1.0;
    if (f.pigment_only) {
        // Full white light and nothing else: the combination multiplies the pigment in
        // once, so a surface shows its own colour (as much as the scan-line renderer's
        // ambient and self-illumination together at full strength).
        for (int k = 0; k < 3; ++k) lit[k] = 1.0f;
    } else {
        if (m.self_illumination != 0)
            for (int k = 0; k < 3; ++k) lit[k] = pig[k] * m.self_illumination;
        light_loop(t, m, hit.point, ray, n, hit.object, specular, lit);
        if (mirrors) reflect(t, m.reflection_level * share, hit.point, ray, n, reflected);
    }
    shade_combine(&m, pig, specular, lit, reflected, combined);
    RtColour out{combined[0] * (1 - fil), combined[1] * (1 - fil), combined[2] * (1 - fil), 0};
    t.level = level;
    if (passes) {
        RtRay r;
        r.origin = hit.point;
        r.dir = ray.dir;
        r.media = ray.media;
        r.weight = ray.weight * pass * share;
        // Light through the surface goes on as the ray that arrived: a camera ray's
        // continuation leaving just past a background picture's edge takes the edge.
        r.from_eye = ray.from_eye;
        RtColour through{0, 0, 0, 0};
        bool traced = true;
        if (m.transparency > 0) {
            double ratio = rt_media_cross(&r.media, &m, m.refraction, ray.dir, outward);
            if (!rt_refract_dir(ray.dir, n, ratio, &r.dir)) {
                float tir[3] = {0, 0, 0};
                reflect(t, 1.0 - m.reflection_level, hit.point, ray, n, tir);
                through = {tir[0], tir[1], tir[2], 0};
                traced = false;
            }
        }
        if (traced) through = rt_trace(t, r);
        out.r += static_cast<float>((tr * pig[0] + fil) * share * through.r);
        out.g += static_cast<float>((tr * pig[1] + fil) * share * through.g);
        out.b += static_cast<float>((tr * pig[2] + fil) * share * through.b);
    }
    if (f.fog.flags & kFogOn) {
        float rgb[3] = {out.r, out.g, out.b};
        fog_apply(&f.fog, hit.depth + ray.before, rgb);
        out = {rgb[0], rgb[1], rgb[2], out.f};
    }
    return out;
}
