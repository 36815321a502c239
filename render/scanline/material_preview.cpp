// The material editor's sample pixels.
#include "render/scanline/material_preview.h"

#include <algorithm>
#include <cmath>

#include "model/material/material.h"
#include "render/scanline/render_hooks.h"
#include "render/scanline/shading.h"
#include "render/surface/noise.h"
#include "render/surface/surface.h"

namespace {

constexpr int32_t kMiss = 2;

struct Hit {
    Vec3d lit;      // lit point
    Vec3d normal;   // unit
    double tex[3];  // texture point
};

Vec3d unit(const Vec3d& v) {
    const double l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (!(l > 0.0)) return {0, 0, 0};
    return {v.x / l, v.y / l, v.z / l};
}

int32_t shape_hit(const float p[3], int32_t layer, int32_t shape, bool smooth, Hit* h) {
    if (layer >= 2) return kMiss;
    const double X = 2.2 * p[0], Y = 2.2 * p[1];
    const double facet = 1.0 / 1.1;
    if (shape == kPreviewCylinder) {
        if (!(X * X <= 1.0) || !(std::fabs(Y) <= 1.0)) return kMiss;
        double Z = std::sqrt(std::max(0.0, 1.0 - X * X * X * X));
        if (layer == 1) Z = -Z;
        h->normal = smooth ? unit({X, 0, Z})
                           : unit({matpreview_band(X, facet), 0, matpreview_band(Z, facet)});
        h->lit = {X, Y, Z};
        h->tex[0] = X;
        h->tex[1] = p[1];
        h->tex[2] = Z;
        return layer;
    }
    if (shape == kPreviewSphere) {
        const double r2 = X * X + Y * Y;
        if (!(r2 <= 1.0)) return kMiss;
        double Z = std::sqrt(std::max(0.0, 1.0 - r2 * r2));
        if (layer == 1) Z = -Z;
        if (smooth) {
            h->normal = unit({X, Y, Z});
        } else {
            const double c = std::sqrt(std::max(0.0, 1.0 - Y * Y)) * facet;
            h->normal = unit({matpreview_band(X, c), matpreview_band(Y, facet), matpreview_band(Z, c)});
        }
        h->lit = {X, Y, Z};
        h->tex[0] = X;
        h->tex[1] = Y;
        h->tex[2] = Z;
        return layer;
    }
    const double sx = p[0] * 1.1, sy = p[1] * 1.1;
    if (!(std::fabs(sx) <= 0.5) || !(std::fabs(sy) <= 0.5)) return kMiss;
    h->normal = {0, 0, 1};
    h->lit = {sx, sy, p[2] * 1.1};
    h->tex[0] = p[0];
    h->tex[1] = p[1];
    h->tex[2] = p[2];
    return layer + 1;
}

void background(float colour[4], const float p[3]) {
    static const float kChecker[5][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
    // Cell numbers in floating point first: a point off any range (or NaN) stays valid.
    auto cell = [](double c) {
        const double v = (c + 0.5) * 8.0;
        return v == v ? static_cast<int>(std::trunc(std::clamp(v, -1e6, 1e6))) : 0;
    };
    const int a = cell(p[0]), b = cell(p[1]);
    const int n = (((a + b) % 5) + 5) % 5;
    for (int c = 0; c < 3; ++c) colour[c] = kChecker[n][c];
    colour[3] = 0.0f;
}

// The slot's texture point: mode 1 shifts into the unit tile, others scale.
void slot_point(const TextureSlot& s, const double tex[3], float scale, float out[3]) {
    if (s.mapping_mode == kMappingModePoint) {
        out[0] = float(tex[0] + 0.5);
        out[1] = float(tex[1] + 0.5);
        out[2] = float(tex[2]);
    } else {
        for (int c = 0; c < 3; ++c) out[c] = float(tex[c] * scale);
    }
}

}  // namespace

double matpreview_band(double value, double scale) {
    const double* band = render_band_table();
    for (int k = 0; k <= 16; ++k)
        if (!(scale * band[k] > value)) return scale * band[k];
    return scale * band[16];
}

void matpreview_shade(int32_t layer, float colour[4], const MaterialRecord* m, const float p[3],
                      float scale, int32_t shape) {
    if (!m || !colour || !p) return;
    Hit h;
    const bool smooth = (m->flags & (kMaterialSmoothAlways | kMaterialSmoothByAngle)) != 0;
    const int32_t hit = shape_hit(p, layer, shape, smooth, &h);
    if (hit >= kMiss) {
        background(colour, p);
        return;
    }
    render_init_hooks();
    float surface[4];
    float at[3];
    slot_point(m->slots[kSlotTexture], h.tex, scale, at);
    texture_eval(surface, m->colour, &m->slots[kSlotTexture], at);
    float nb[3] = {float(h.normal.x), float(h.normal.y), float(h.normal.z)};
    slot_point(m->slots[kSlotBump], h.tex, scale, at);
    bump_eval(nb, &m->slots[kSlotBump], at);
    Vec3d N = h.normal, Nb = {nb[0], nb[1], nb[2]};
    if (N.z < 0.0) N = {-N.x, -N.y, -N.z};
    if (Nb.z < 0.0) Nb = {-Nb.x, -Nb.y, -Nb.z};
    static const Vec3d kLight[3] = {{-8, 0, 16}, {-8, 8, 16}, {8, 0, 16}};
    const Vec3d& lp = kLight[shape == kPreviewCylinder ? 0 : (shape == kPreviewSphere ? 1 : 2)];
    const Vec3d V = {0, 0, 1};
    const float white[4] = {1, 1, 1, 0};
    double sd[3] = {0, 0, 0}, sh[3] = {0, 0, 0};
    Vec3d L = {lp.x - h.lit.x, lp.y - h.lit.y, lp.z - h.lit.z};
    const double ll = std::sqrt(L.x * L.x + L.y * L.y + L.z * L.z);
    if (ll > 0.0 && L.x * N.x + L.y * N.y + L.z * N.z > 0.0) {
        L = {L.x / ll, L.y / ll, L.z / ll};
        const double cd = std::fabs(L.x * Nb.x + L.y * Nb.y + L.z * Nb.z);
        const int32_t r = m->randomness > 0.0f ? surface_rand() : 0;
        render_phong_light(m, white, L, V, Nb, cd, 1.0, r, sd, sh);
    }
    float reflected[3] = {0, 0, 0};
    if (m->reflection_level > 0.0f) render_reflected(m, V, Nb, reflected);
    float lit[4];
    // The sample has its own light: no ambient level of any render enters it.
    render_phong_combine(m, 0.0, sd, sh, reflected, surface, lit);
    const double a = surface[3];
    for (int c = 0; c < 3; ++c) colour[c] += float(lit[c] * (1.0 - a));
    const double B = m->transparency * (1.0 - a);
    if (a + B >= 0.003) {
        float behind[4] = {0, 0, 0, 0};
        matpreview_shade(hit + 1, behind, m, p, scale, shape);
        for (int c = 0; c < 3; ++c) colour[c] += float((surface[c] * B + a) * behind[c]);
    }
    for (int c = 0; c < 4; ++c)
        colour[c] = colour[c] == colour[c] ? std::clamp(colour[c], 0.0f, 1.0f) : 0.0f;
}

void matpreview_paint_row(const MaterialRecord* m, int32_t shape, int32_t width, int32_t height,
                          int32_t row, uint8_t* rgb) {
    if (width <= 0 || height <= 0 || !rgb) return;
    const float unit = float(std::min(width, height));
    const float y = (height * 0.5f - row - 0.5f) / unit;
    for (int32_t px = 0; px < width; ++px) {
        const float p[3] = {(px - width * 0.5f + 0.5f) / unit, y, 0};
        float c[4] = {0, 0, 0, 0};
        matpreview_shade(0, c, m, p, 1.0f, shape);
        for (int k = 0; k < 3; ++k) rgb[px * 3 + k] = static_cast<uint8_t>(c[k] * 255.0f + 0.5f);
    }
}
