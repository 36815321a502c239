// Fog, camera halo and the ray tracer's light combination.
#include "render/scanline/fog_halo.h"

#include <algorithm>
#include <cmath>

#include "model/db/solid.h"
#include "model/material/material.h"

void fog_setup(FogSettings* fog, double a, double m, double d, const float colour[4]) {
    for (int i = 0; i < 4; ++i) fog->colour[i] = colour ? colour[i] : 0.0f;
    if (!std::isfinite(m)) m = 1.0;
    if (m <= 0.98) {
        fog->flags |= kFogOn;
    } else {
        fog->flags &= ~kFogOn;
        m = 0.99;
    }
    if (m < 0.0) m = 0.0;
    fog->haze = m;
    fog->k = 1.0 - m;
    if (!std::isfinite(a)) a = 0.99;
    a = std::clamp(a, 0.01, 0.99);
    if (a <= m) a = m + 0.01;
    fog->log_k = std::log(fog->k);
    // A reference distance of 0 or less (a camera at its target, a scene without
    // depth) would divide by zero: such a render has no fog.
    if (!(std::isfinite(d) && d > 0.0)) {
        fog->flags &= ~kFogOn;
        fog->rate = 1.0;
        return;
    }
    fog->rate = (std::log(a - m) - fog->log_k) / d;
    if (!std::isfinite(fog->rate)) {
        fog->flags &= ~kFogOn;
        fog->rate = 1.0;
    }
}

double fog_factor(const FogSettings* fog, double z) {
    if (!(fog->flags & kFogOn)) return 1.0;
    return fog->k * std::exp(fog->rate * z) + fog->haze;
}

void fog_apply(const FogSettings* fog, double z, float colour[3]) {
    if (!(fog->flags & kFogOn)) return;
    const double f = fog_factor(fog, z);
    for (int i = 0; i < 3; ++i)
        colour[i] = static_cast<float>(colour[i] * f + fog->colour[i] * (1.0 - f));
}

void fog_attenuate(const FogSettings* fog, double z, float colour[3]) {
    if (!(fog->flags & kFogOn)) return;
    const double f = fog_factor(fog, z);
    for (int i = 0; i < 3; ++i) colour[i] = static_cast<float>(colour[i] * f);
}

void fog_far(const FogSettings* fog, float colour[3]) {
    for (int i = 0; i < 3; ++i)
        colour[i] = static_cast<float>(colour[i] * fog->haze + fog->colour[i] * fog->k);
}

void halo_setup_values(HaloSettings* halo, double brightness, double size) {
    *halo = HaloSettings{};
    if (!std::isfinite(brightness) || !std::isfinite(size)) return;
    halo->intensity = static_cast<float>(brightness);
    // A size above 10010 would make S zero or negative and rho infinite or negative.
    halo->size = std::max(100.1 - 0.01 * size, 0.01);
    halo->streak = 0.2 * halo->intensity;
}

void halo_setup(HaloSettings* halo, const CAMERA* camera) {
    if (!camera || !camera->material) {
        *halo = HaloSettings{};
        return;
    }
    // The camera dialog keeps "Halo Brightness" and "Halo Size" in the camera's
    // material: self-illumination and shininess.
    halo_setup_values(halo, camera->material->self_illumination, camera->material->shininess);
}

void halo_set_image(HaloSettings* halo, int width, int height) {
    const int m = std::max(1, std::min(width, height));
    halo->pixel_scale = 100.0 / m;
}

double halo_noise(double t) {
    if (!std::isfinite(t)) return 0.0;
    t = std::clamp(t, -1e9, 1e9);
    const double fl = std::floor(t);
    const auto i = static_cast<int32_t>(fl);
    const double f = t - fl;
    // 32-bit signed arithmetic as the streak pattern was designed with (wrapping).
    const auto a = static_cast<int32_t>(static_cast<uint32_t>(i) * 37621u) % 2000;
    const auto b = static_cast<int32_t>(static_cast<uint32_t>(i) + 37621u) % 2000;
    return (1.0 - f) * a / 2000.0 + f * b / 2000.0;
}

void halo_add(const HaloSettings* halo, double x, double y, double lx, double ly,
              const float colour[3], float out[3]) {
    if (!(halo->intensity > 0.0f)) return;
    const double X = (x - lx) * halo->pixel_scale;
    const double Y = (y - ly) * halo->pixel_scale;
    const double q = X * X + Y * Y;
    const double rho = (q + std::sqrt(q)) * 0.02 / halo->size;
    const double A = 1.0 / (5.0 * rho + 1.0);
    double red = 1.0 / (halo->glow_red * rho + 1.0);
    double green = 1.0 / ((11.0 * A + 4.0) * rho + 1.0);
    double blue = green;
    if (halo->ring && rho > halo->ring_inner && rho < halo->ring_outer) {
        double g = 2.0 * (rho - halo->ring_inner) / (halo->ring_outer - halo->ring_inner);
        if (g > 1.0) g = 2.0 - g;
        const double w = g * g * (3.0 - 2.0 * g) / 255.0;
        red += 40.0 * w;
        green += 10.0 * w;
        blue += 5.0 * w;
    }
    constexpr double kPi = 3.14159265358979323846;
    double theta = std::atan2(X, Y) + halo->rotation;
    if (theta > 2.0 * kPi) theta -= 2.0 * kPi;
    const double phi = theta / kPi + 1.0;
    const double H = halo_noise(halo->noise_frequency * phi);
    double t = std::fmod(H + halo->streaks * phi, 2.0);
    if (t >= 1.0) t = 2.0 - t;
    const double streak = t * t * t * t * H * H / (2.0 * rho + 1.0) * halo->streak;
    if (streak > 0.0) {
        red += streak;
        green += streak;
        blue += streak;
    }
    const double I = halo->intensity;
    out[0] = static_cast<float>(out[0] + colour[0] * red * I);
    out[1] = static_cast<float>(out[1] + colour[1] * green * I);
    out[2] = static_cast<float>(out[2] + colour[2] * blue * I);
}

void shade_combine(const MaterialRecord* m, const float surface[3], const float specular[3],
                   const float diffuse[3], const float reflected[3], float out[3]) {
    const double keep = 1.0 - m->transparency;
    for (int i = 0; i < 3; ++i) {
        double h = specular[i];
        if (m->reflection_level > 0.0f) h += reflected[i];
        if (m->flags & kMaterialColourHighlight) h *= surface[i];
        out[i] = static_cast<float>(diffuse[i] * surface[i] * keep + h);
    }
}
