// Bump mapping: the shading normal perturbed by a bump slot (noise, dents,
// wrinkles, ripples, waves, creases and image height differences).
#include <algorithm>
#include <cmath>

#include "model/db/patt.h"
#include "model/material/material.h"
#include "render/surface/bump.h"
#include "render/surface/image_sample.h"
#include "render/surface/noise.h"
#include "render/surface/surface.h"

namespace {

inline double clamp_coord(double v) {
    if (!(v == v)) return 0.0;
    return std::clamp(v, -1e17, 1e17);
}

void add_scaled(float n[3], const double v[3], double k) {
    for (int c = 0; c < 3; ++c) n[c] = float(n[c] + v[c] * k);
}

void waves(double x, double y, double z, const TextureSlot* slot, float n[3], bool factors) {
    const double amount = slot->amount, f = slot->pattern.frequency, ph = slot->pattern.phase;
    for (int i = 0; i < 10; ++i) {
        const float* c = noise_ripple_centre(i);
        const double d[3] = {x + c[0], y + c[1], z + c[2]};
        double r2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        if (r2 == 0.0) r2 = 1.0;
        const double r = std::sqrt(r2);
        const double k = factors ? noise_wave_factor(i) : 1.0;
        const double s = wave_sin(r * k * f + ph) * (amount / k) / r * 0.1;
        add_scaled(n, d, std::isfinite(s) ? s : 0.0);
    }
}

void normalise(float n[3]) {
    const double l = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
    if (!(l > 0.0) || !std::isfinite(l)) return;
    for (int c = 0; c < 3; ++c) n[c] = float(n[c] / l);
}

// Perturbs n (not normalised) at a point taken into texture space.
void perturb(float n[3], const TextureSlot* slot, const double point[3]) {
    double p[3];
    if (slot->mapping_mode != kMappingModePoint && slot->transform) {
        const double* m = slot->transform->inv.m;
        for (int c = 0; c < 3; ++c)
            p[c] = point[0] * m[c] + point[1] * m[3 + c] + point[2] * m[6 + c] + m[9 + c];
    } else {
        std::copy(point, point + 3, p);
    }
    if (slot->kind != kTextureImage && slot->pattern.turbulence_on) {
        double v[3];
        turbulence_vec(v, p[0], p[1], p[2], slot->pattern.octaves);
        for (int c = 0; c < 3; ++c) p[c] += slot->pattern.turbulence[c] * v[c];
    }
    for (double& c : p) c = clamp_coord(c);
    const double x = p[0], y = p[1], z = p[2];
    switch (slot->kind) {
        case 1: bump_image(x, y, z, slot, n); break;
        case 2: bump_noise(x, y, z, slot, n); break;
        case 3: bump_dents(x, y, z, slot, n); break;
        case 4: bump_wrinkles(x, y, z, slot, n); break;
        case 5: bump_ripples(x, y, z, slot, n); break;
        case 6: bump_waves(x, y, z, slot, n); break;
        case 7: bump_creases(x, y, z, slot, n); break;
        default: break;
    }
}

}  // namespace

void bump_noise(double x, double y, double z, const TextureSlot* slot, float n[3]) {
    double v[3];
    noise3_vec(v, x, y, z);
    add_scaled(n, v, slot->amount);
}

void bump_dents(double x, double y, double z, const TextureSlot* slot, float n[3]) {
    double v[3];
    noise3_vec(v, x, y, z);
    const double N = noise3(x, y, z);
    add_scaled(n, v, N * N * N * slot->amount);
}

void bump_wrinkles(double x, double y, double z, const TextureSlot* slot, float n[3]) {
    double W[3] = {0, 0, 0};
    double scale = 1.0;
    for (int k = 0; k < 10; ++k) {
        double v[3];
        noise3_vec(v, scale * x, scale * y, scale * z);
        for (int c = 0; c < 3; ++c) W[c] += std::fabs(v[c]) / scale;
        scale *= 2.0;
    }
    add_scaled(n, W, slot->amount);
}

void bump_ripples(double x, double y, double z, const TextureSlot* slot, float n[3]) {
    waves(x, y, z, slot, n, false);
}

void bump_waves(double x, double y, double z, const TextureSlot* slot, float n[3]) {
    waves(x, y, z, slot, n, true);
}

void bump_creases(double x, double y, double z, const TextureSlot* slot, float n[3]) {
    double g[3];
    crease_noise_gradient(g, x, y, z);
    add_scaled(n, g, slot->amount);
}

void bump_image(double x, double y, double z, const TextureSlot* slot, float n[3]) {
    const TextureMapping& m = slot->mapping;
    if (!texture_image_usable(&m)) return;
    double u, v;
    if (texture_map_uv(x, y, z, slot->mapping_mode, &m, &u, &v) != 0) return;
    u *= m.image->width - 1;
    v *= m.image->height - 1;
    const double a = slot->amount;
    const double du = (texture_sample_height(&m, u + 1, v) - texture_sample_height(&m, u - 1, v)) * a;
    const double dv = (texture_sample_height(&m, u, v + 1) - texture_sample_height(&m, u, v - 1)) * a;
    const double N[3] = {n[0], n[1], n[2]};
    // T = N x (0, 1, 0).
    double T[3] = {-N[2], 0.0, N[0]};
    double B[3], Nf[3] = {N[0], N[1], N[2]};
    const double lt = std::sqrt(T[0] * T[0] + T[2] * T[2]);
    if (lt >= 1e-9) {
        T[0] /= lt;
        T[2] /= lt;
        B[0] = T[1] * N[2] - T[2] * N[1];
        B[1] = T[2] * N[0] - T[0] * N[2];
        B[2] = T[0] * N[1] - T[1] * N[0];
        const double lb = std::sqrt(B[0] * B[0] + B[1] * B[1] + B[2] * B[2]);
        if (lb > 0.0)
            for (double& c : B) c /= lb;
    } else {
        // Along the y axis: the sign of N.y says up or down (a short interpolated
        // normal still points up).
        const double s = N[1] < 0.0 ? -1.0 : 1.0;
        T[0] = 1.0;
        T[1] = T[2] = 0.0;
        Nf[0] = Nf[2] = 0.0;
        Nf[1] = s;
        B[0] = B[1] = 0.0;
        B[2] = s;
    }
    for (int c = 0; c < 3; ++c) n[c] = float(du * T[c] + Nf[c] + dv * B[c]);
}

void bump_eval(float n[3], const TextureSlot* slot, const float p[3]) {
    if (!slot || !(slot->amount > 0.0f)) return;
    const double d[3] = {p[0], p[1], p[2]};
    perturb(n, slot, d);
    normalise(n);
}

void bump_eval_d(double n[3], const TextureSlot* slot, const double p[3]) {
    if (!slot || !(slot->amount > 0.0f)) return;
    float f[3] = {float(n[0]), float(n[1]), float(n[2])};
    perturb(f, slot, p);
    const double l = std::sqrt(double(f[0]) * f[0] + double(f[1]) * f[1] + double(f[2]) * f[2]);
    if (!(l > 0.0) || !std::isfinite(l)) {
        for (int c = 0; c < 3; ++c) n[c] = std::isfinite(f[c]) ? f[c] : 0.0;
        return;
    }
    for (int c = 0; c < 3; ++c) n[c] = f[c] / l;
}
