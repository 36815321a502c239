// Texture evaluation: colour ramps, the procedural patterns, the image-map pattern
// and the evaluator every renderer calls.
#include "render/surface/texture.h"

#include <algorithm>
#include <cmath>

#include "model/db/patt.h"
#include "model/material/material.h"
#include "render/surface/image_sample.h"
#include "render/surface/noise.h"
#include "render/surface/presets.h"
#include "render/surface/surface.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kCoordLimit = 1e17;

inline double clamp_coord(double v) {
    if (!(v == v)) return 0.0;
    return std::clamp(v, -kCoordLimit, kCoordLimit);
}

inline double frac1(double q) {
    double f = std::fmod(q, 1.0);
    if (f < 0.0) f += 1.0;
    return f;
}

void key_colour(float out[4], const ColourRampKey& k) {
    out[0] = k.r;
    out[1] = k.g;
    out[2] = k.b;
    out[3] = k.a;
}

bool ramp_usable(const ColourRamp* r) {
    return r && r->count > 0 && r->keys;
}

// Texture-space point: the slot transform's inverse unless the mode is 1.
void to_texture_space(const TextureSlot* slot, int32_t mode, const double in[3], double p[3]) {
    if (mode != kMappingModePoint && slot->transform) {
        const double* m = slot->transform->inv.m;
        p[0] = in[0] * m[0] + in[1] * m[3] + in[2] * m[6] + m[9];
        p[1] = in[0] * m[1] + in[1] * m[4] + in[2] * m[7] + m[10];
        p[2] = in[0] * m[2] + in[1] * m[5] + in[2] * m[8] + m[11];
    } else {
        p[0] = in[0];
        p[1] = in[1];
        p[2] = in[2];
    }
}

float slot_amount(const TextureSlot* slot, const TextureCall* call) {
    return call && std::isfinite(call->amount) ? call->amount : slot->amount;
}

int32_t slot_mode(const TextureSlot* slot, const TextureCall* call) {
    return call && call->mapping_mode >= 0 ? call->mapping_mode : slot->mapping_mode;
}

void eval(float out[4], const float base_in[4], const TextureSlot* slot, const double point[3],
          const TextureCall* call) {
    float base[4];
    std::copy(base_in, base_in + 4, base);
    const float amount = slot ? slot_amount(slot, call) : 0.0f;
    if (!slot || amount == 0.0f || !(amount == amount) || slot->kind == kTextureNone) {
        std::copy(base, base + 4, out);
        return;
    }
    const int32_t mode = slot_mode(slot, call);
    double p[3];
    to_texture_space(slot, mode, point, p);
    const int32_t kind = slot->kind;
    if (kind >= kTexturePatternFirst && slot->pattern.turbulence_on && kind != kTextureAgate &&
        kind != kTextureStrips && kind != kTextureWood) {
        double v[3];
        turbulence_vec(v, p[0], p[1], p[2], slot->pattern.octaves);
        for (int c = 0; c < 3; ++c) p[c] += v[c] * v[c];
    }
    for (double& c : p) c = clamp_coord(c);
    if (kind == kTextureImage) {
        pattern_image(out, base, slot, p, mode, amount);
        if (!(slot->mapping.flags & kMappingDecal)) out[3] = 0.0f;
        return;
    }
    float colour[4];
    if (!pattern_colour(colour, slot, p)) {
        std::copy(base, base + 4, out);
        return;
    }
    float mixed[4];
    colour4_mix(mixed, colour, amount, base, 1.0 - double(amount));
    colour4_clamp(out, mixed);
}

}  // namespace

bool colour_ramp_eval(float out[4], const ColourRamp* ramp, double t) {
    if (!ramp_usable(ramp)) return false;
    const int32_t n = ramp->count;
    const ColourRampKey* k = ramp->keys;
    if (!(t == t)) t = 0.0;
    if (t >= k[n - 1].position) {
        key_colour(out, k[n - 1]);
        return true;
    }
    if (t < 0.0) t = 0.0;
    if (k[0].position > t) {
        key_colour(out, k[0]);
        return true;
    }
    for (int32_t i = 0; i + 1 < n; ++i) {
        const double a = k[i].position, b = k[i + 1].position;
        if (a <= t && t < b) {
            const double f = (t - a) / (b - a);
            const float ca[4] = {k[i].r, k[i].g, k[i].b, k[i].a};
            const float cb[4] = {k[i + 1].r, k[i + 1].g, k[i + 1].b, k[i + 1].a};
            for (int c = 0; c < 4; ++c) out[c] = float(ca[c] + (cb[c] - ca[c]) * f);
            return true;
        }
    }
    // Keys out of order (a damaged file): the last key.
    key_colour(out, k[n - 1]);
    return true;
}

bool texture_ramp_lookup(float out[4], const TextureSlot* slot, double v) {
    // An image slot holds its mapping where a pattern keeps frequency and phase: its
    // ramp is read once over 0..1.
    const bool image = slot->kind == kTextureImage;
    double t = image ? v : v * slot->pattern.frequency + slot->pattern.phase;
    if (!std::isfinite(t)) t = 0.0;
    t = std::fmod(t, 1.00001);
    if (t < 0.0) t -= std::floor(t);
    return colour_ramp_eval(out, slot->ramp, t);
}

void colour4_clamp(float out[4], const float in[4]) {
    for (int c = 0; c < 4; ++c) out[c] = in[c] == in[c] ? std::clamp(in[c], 0.0f, 1.0f) : 0.0f;
}

void colour4_mix(float out[4], const float a[4], double wa, const float b[4], double wb) {
    for (int c = 0; c < 4; ++c) out[c] = float(a[c] * wa + b[c] * wb);
}

void colour4_add(float out[4], const float in[4]) {
    for (int c = 0; c < 4; ++c) out[c] += in[c];
}

double colour3_distance(const float a[3], const float b[3]) {
    return std::fabs(a[0] - b[0]) + std::fabs(a[1] - b[1]) + std::fabs(a[2] - b[2]);
}

// ---- Patterns ------------------------------------------------------------------

double pattern_hexagon(double x, double y, double) {
    static const double kEdge[6] = {0, 0.5, 0.5, 1, 1, 0};
    static const double kMiddle[6] = {1, 1, 0, 0, 0.5, 0.5};
    static const double kBelow[6] = {0, 1, 0.5, 0, 1, 0.5};
    static const double kAbove[6] = {1, 0.5, 0, 1, 0.5, 0};
    double X = 2.0 * std::fabs(x);
    const double yy = y >= 0.0 ? y : 5.196152424 - std::fabs(y);
    double Y = yy * 1.1547005380918363;
    X -= 6.0 * std::floor(X / 6.0);
    Y -= 6.0 * std::floor(Y / 6.0);
    if (!(X >= 0.0)) X = 0.0;  // NaN, or an infinity reduced to NaN
    if (!(Y >= 0.0)) Y = 0.0;
    // Far from the origin the reduction can land just outside 0..6.
    const int ix = std::clamp(static_cast<int>(std::clamp(X, 0.0, 5.0)), 0, 5);
    const int iy = std::clamp(static_cast<int>(std::clamp(Y, 0.0, 5.0)), 0, 5);
    if (ix == 0 || ix == 5) return kEdge[iy];
    if (ix == 2 || ix == 3) return kMiddle[iy];
    double fx = X - ix;
    const double fy = Y - iy;
    if ((ix + iy) & 1) fx = 1.0 - fx;
    if (fx == 0.0) fx = 0.0001;
    return fy / fx < 1.0 ? kBelow[iy] : kAbove[iy];
}

double pattern_checker(double x, double y, double z, const TextureSlot* slot) {
    const int32_t n = slot->ramp ? std::max(slot->ramp->count, 1) : 1;
    const double f = slot->pattern.frequency;
    double d = std::trunc(double(n) / f);
    if (!(d >= 1.0) || !std::isfinite(d)) d = 1.0;  // a cell truncated to 0: one unit
    auto red = [d](double c) { return c - std::floor(c / d) * d; };
    const double k = std::floor(red(x)) + std::floor(red(y)) + std::floor(red(z));
    double phase = std::trunc(double(slot->pattern.phase));
    if (!std::isfinite(phase)) phase = 0.0;
    const double m = std::floor(k * f + phase);
    const double v = std::fmod(m, double(n));
    return std::isfinite(v) ? v : 0.0;
}

double pattern_radial(double x, double y, double) {
    if (std::fabs(x) < 0.001 && std::fabs(y) < 0.001) return 0.25;
    return (std::atan2(x, y) + kPi) / (2.0 * kPi) + 0.25;
}

double pattern_spotted(double x, double y, double z) {
    return noise3(x, y, z);
}

double pattern_agate(double x, double y, double z, const TextureSlot* slot) {
    const double T = turbulence(x, y, z, slot->pattern.octaves);
    const double s = (wave_sin(1.1 * z + 1.3 * slot->pattern.turbulence[0] * T) + 1.0) * 0.5;
    if (s <= 0.0) return 0.0;
    return std::pow(std::min(s, 1.0), 0.77);
}

double pattern_granite(double x, double y, double z) {
    double sum = 0.0;
    for (double f = 4.0; f <= 128.0; f *= 2.0) sum += (0.5 - noise3(f * x, f * y, f * z)) / f;
    return sum * 4.0;
}

double pattern_strips(double x, double y, double z, const TextureSlot* slot) {
    double T = 0.0;
    if (slot->pattern.turbulence_on)
        T = slot->pattern.turbulence[0] * turbulence(x, y, z, slot->pattern.octaves);
    return wave_triangle(x + T);
}

double pattern_wood(double x, double y, double z, const TextureSlot* slot) {
    const double w = noise1(0.0025 * z);
    const double x1 = w * x, y1 = w * y;
    double V[3];
    turbulence_vec(V, x1, y1, z, slot->pattern.octaves);
    const double x2 = x1 + wave_sin((x1 + V[0]) * slot->pattern.turbulence[0]);
    const double y2 = y1 + wave_sin((y1 + V[1]) * slot->pattern.turbulence[1]);
    return wave_triangle(std::sqrt(x2 * x2 + y2 * y2));
}

double pattern_onion(double x, double y, double z) {
    return std::fmod(std::sqrt(x * x + y * y + z * z), 1.0);
}

double pattern_leopard(double x, double y, double z) {
    const double s = (std::sin(x) + std::sin(y) + std::sin(z)) / 3.0;
    return s * s;
}

double pattern_fractal(double x, double y, double, const TextureSlot* slot) {
    const int n = slot->pattern.octaves ? slot->pattern.octaves : 1;
    double re = x, im = y;
    int i = 0;
    for (; i < n; ++i) {
        const double r2 = re * re - im * im + x;
        im = 2.0 * re * im + y;
        re = r2;
        if (re * re + im * im > 4.0) break;
    }
    return double(i) / n;
}

double pattern_grave(double x, double y, double z) {
    return crease_noise(x, y, z);
}

bool pattern_brick(float out[4], const TextureSlot* slot, const double p[3]) {
    const ColourRamp* r = slot->ramp;
    if (!ramp_usable(r)) return false;
    const double f = slot->pattern.frequency, w = slot->pattern.noise_amount;
    const double Y = p[1] * f;
    const double s = std::fmod(std::floor(Y), 2.0) != 0.0 ? 0.5 : 0.0;
    auto in_mortar = [](double q, double width) {
        const double fr = frac1(q);
        return 0.0 < fr && fr < width;
    };
    const bool mortar = in_mortar(Y, w * f) || in_mortar(p[0] + s, w) || in_mortar(p[2] + s, w);
    const double t = mortar ? 0.0 : 1.0;
    for (int32_t i = 0; i < r->count; ++i)
        if (r->keys[i].position >= t) {
            key_colour(out, r->keys[i]);
            return true;
        }
    key_colour(out, r->keys[r->count - 1]);
    return true;
}

bool pattern_colour(float out[4], const TextureSlot* slot, const double p[3]) {
    const double x = p[0], y = p[1], z = p[2];
    double v;
    switch (slot->kind) {
        case 2: v = pattern_hexagon(x, y, z); break;
        case 3: v = pattern_checker(x, y, z, slot); break;
        case 4: return pattern_brick(out, slot, p);
        case 6: v = pattern_radial(x, y, z); break;
        case 7:
        case 8: v = pattern_spotted(x, y, z); break;
        case 9: v = pattern_agate(x, y, z, slot); break;
        case 10: v = pattern_granite(x, y, z); break;
        case 11: v = pattern_strips(x, y, z, slot); break;
        case 12: v = pattern_wood(x, y, z, slot); break;
        case 13: v = pattern_onion(x, y, z); break;
        case 14: v = pattern_leopard(x, y, z); break;
        case 15: v = pattern_fractal(x, y, z, slot); break;
        case 16: v = pattern_grave(x, y, z); break;
        default: return false;  // 5 ("Gradient") and unknown kinds: no pattern step
    }
    return texture_ramp_lookup(out, slot, v);
}

void pattern_image(float out[4], const float base[4], const TextureSlot* slot, const double p[3],
                   int32_t selector, float amount) {
    std::copy(base, base + 4, out);
    if (!(amount > 0.0f)) return;
    const TextureMapping& m = slot->mapping;
    if (!texture_image_usable(&m)) return;
    double u, v;
    if (texture_map_uv(p[0], p[1], p[2], selector, &m, &u, &v) != 0) return;
    u *= m.image->width - 1;
    v *= m.image->height - 1;
    float texel[4];
    if (!texture_sample(&m, u, v, texel)) return;
    double w = (m.flags & kMappingImageCoverage) ? 1.0 - (1.0 - texel[3]) * amount : 1.0 - amount;
    if (m.flags & (kMappingRampLuminance | kMappingRampCoverage)) {
        double t = (m.flags & kMappingRampLuminance)
                       ? 0.299 * texel[0] + 0.587 * texel[1] + 0.114 * texel[2]
                       : texel[3];
        if (m.flags & kMappingRampInvert) t = 1.0 - t;
        float looked[4];
        if (texture_ramp_lookup(looked, slot, t)) std::copy(looked, looked + 4, texel);
        w = t;
    }
    float mixed[4];
    colour4_mix(mixed, base, w, texel, 1.0 - w);
    colour4_clamp(out, mixed);
}

// ---- Entry points ---------------------------------------------------------------

void texture_tables_init() {
    noise_tables_ready();
    surface_srand(0);
}

void texture_eval(float out[4], const float base[4], const TextureSlot* slot, const float p[3],
                  const TextureCall* call) {
    const double d[3] = {p[0], p[1], p[2]};
    eval(out, base, slot, d, call);
}

void texture_eval_d(float out[4], const float base[4], const TextureSlot* slot, const double p[3],
                    const TextureCall* call) {
    eval(out, base, slot, p, call);
}

void reflection_eval(float out[3], const TextureSlot* slot, const double d[3]) {
    const float black[4] = {0, 0, 0, 0};
    float c[4];
    TextureCall call;
    call.mapping_mode = kMappingModeSpherical;
    eval(c, black, slot, d, &call);
    for (int i = 0; i < 3; ++i) out[i] = c[i];
}
