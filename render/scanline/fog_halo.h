// Per-pixel effects shared by the scan-line renderer and the ray tracer: exponential
// fog (depth cue), the camera halo drawn around each visible light, and the ray
// tracer's final combination of diffuse, specular and reflected light.
//
// The fog and halo values live in small records set once per render, before any
// pixel, and only read afterwards (so any number of render threads may read them).
// Colours are floats in 0..1; depths and distances are in the renderer's view units.
#pragma once

#include <cstdint>

class CAMERA;
struct MaterialRecord;

inline constexpr uint32_t kFogOn = 1;
inline constexpr uint32_t kFogSkyPlane = 2;  // read by the ray tracer's scene set-up

struct FogSettings {
    uint32_t flags = 0;
    float colour[4] = {0, 0, 0, 0};
    double rate = 1.0;        // s
    double log_k = 0.0;       // c = ln(k)
    double haze = 0.0;        // m: the fraction of the surface colour left far away
    double k = 1.0;           // 1 - m
    double sky_height = 500.0;
};

// a: visibility at the reference distance d; m: haze. m above 0.98 turns fog off (m
// becomes 0.99), a negative m becomes 0. a is held to 0.01..0.99 and above m. A
// distance that is not finite and above 0, or a rate that comes out non-finite, turns
// fog off instead of dividing by zero.
void fog_setup(FogSettings* fog, double a, double m, double d, const float colour[4]);
// The fog factor at depth z: (1 - m) exp(s z) + m; 1 when fog is off.
double fog_factor(const FogSettings* fog, double z);
// colour = colour f + fog colour (1 - f), per red, green, blue; nothing when off.
void fog_apply(const FogSettings* fog, double z, float colour[3]);
// colour = colour f; nothing when off.
void fog_attenuate(const FogSettings* fog, double z, float colour[3]);
// The colour at infinite distance: colour m + fog colour k, whether fog is on or not.
void fog_far(const FogSettings* fog, float colour[3]);

struct HaloSettings {
    float intensity = 0.0f;   // I: no halo unless above 0
    double size = 100.1;      // S = 100.1 - 0.01 x halo size, floored at 0.01
    double streak = 0.0;      // 0.2 I
    double ring_inner = 0.32, ring_outer = 0.44;
    int32_t ring = 1, glow = 1, streaks = 6;
    double noise_frequency = 25.0, noise_weight = 1.0;
    float rotation = 0.5235988f;
    double glow_red = 4.0, glow_blue = 5.0;
    double pixel_scale = 1.0;  // 100 / min(width, height)
};

// Halo from the camera's halo brightness and size (its material's self-illumination
// and shininess); a null camera switches the halo off.
void halo_setup(HaloSettings* halo, const CAMERA* camera);
// The same from the two values directly.
void halo_setup_values(HaloSettings* halo, double brightness, double size);
void halo_set_image(HaloSettings* halo, int width, int height);
// Adds the halo of a light at pixel (lx, ly) with its colour to `out` at pixel (x, y).
void halo_add(const HaloSettings* halo, double x, double y, double lx, double ly,
              const float colour[3], float out[3]);
// The streak noise: linear between two hashed values at floor(t) and floor(t) + 1.
double halo_noise(double t);

// The ray tracer's last shading step from the surface colour C, the specular light E,
// the diffuse light L and the reflected light G (each red, green, blue):
// out = L C (1 - transparency) + highlight, the highlight being E (+ G when the
// reflection level is above 0), times C with the colour-highlight flag.
void shade_combine(const MaterialRecord* m, const float surface[3], const float specular[3],
                   const float diffuse[3], const float reflected[3], float out[3]);
