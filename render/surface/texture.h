// The procedural side of texture evaluation: colour ramps, the pattern of each kind
// and the image-map pattern, over a texture-space point. texture_eval (surface.h)
// calls them after the slot transform, turbulence and clamping.
#pragma once

#include <cstdint>

struct ColourRamp;
struct TextureSlot;

// Colour of a ramp at position t (four components). False (out untouched) for a
// ramp without keys. A NaN position counts as 0; unordered keys never read past the
// last key.
bool colour_ramp_eval(float out[4], const ColourRamp* ramp, double t);
// The slot's ramp at pattern value v, with the slot's frequency and phase and the
// wrap by 1.00001 (so that 1.0 reaches the last key).
bool texture_ramp_lookup(float out[4], const TextureSlot* slot, double v);

void colour4_clamp(float out[4], const float in[4]);
void colour4_mix(float out[4], const float a[4], double wa, const float b[4], double wb);
void colour4_add(float out[4], const float in[4]);
double colour3_distance(const float a[3], const float b[3]);

// Pattern values of the kinds that go through the ramp (x, y, z in texture space).
double pattern_hexagon(double x, double y, double z);
double pattern_checker(double x, double y, double z, const TextureSlot* slot);
double pattern_radial(double x, double y, double z);
double pattern_spotted(double x, double y, double z);
double pattern_agate(double x, double y, double z, const TextureSlot* slot);
double pattern_granite(double x, double y, double z);
double pattern_strips(double x, double y, double z, const TextureSlot* slot);
double pattern_wood(double x, double y, double z, const TextureSlot* slot);
double pattern_onion(double x, double y, double z);
double pattern_leopard(double x, double y, double z);
double pattern_fractal(double x, double y, double z, const TextureSlot* slot);
double pattern_grave(double x, double y, double z);

// The pattern colour of kinds 2..16 at p (before the amount blend): false when the
// slot's ramp cannot be read or the kind has no pattern step (5, above 16).
bool pattern_colour(float out[4], const TextureSlot* slot, const double p[3]);
// Brick: the key colour chosen directly (mortar t = 0, brick t = 1).
bool pattern_brick(float out[4], const TextureSlot* slot, const double p[3]);
// Image map (kind 1) over base: out = base when the amount is not above 0, the map
// misses or has no usable image. `selector` is the projection selector in force.
void pattern_image(float out[4], const float base[4], const TextureSlot* slot, const double p[3],
                   int32_t selector, float amount);
