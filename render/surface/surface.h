// Surface detail at a point: the colour of a texture slot (procedural patterns and
// image maps), the bump-perturbed shading normal and the reflected colour. These are
// the entry points every renderer calls (scan-line shading, material preview, ray
// tracer), so that their images agree.
//
// Threads: every routine here may run on any number of threads at once over the same
// materials. They read the slot and its image, never write them, keep no state between
// calls and allocate nothing. texture_tables_init must have run once (any thread)
// before the first evaluation; calling it again is harmless.
//
// Colours are red, green, blue and a fourth (coverage) component, each in 0..1 on
// output. Points are drawing coordinates (texture coordinates (u, v, 0) for an image
// map whose mapping mode is 1); the slot's own transform takes them into texture
// space.
#pragma once

#include <cstdint>

struct TextureSlot;

// Per-call changes to how a slot is read, without writing the (shared) slot.
struct TextureCall {
    // >= 0: use this mapping mode instead of the slot's (the reflection lookup forces
    // 4, spherical). -1: the slot's own.
    int32_t mapping_mode = -1;
    // A finite value replaces the slot's amount (the scan-line background applies its
    // texture in full). Not finite: the slot's own.
    float amount = __builtin_nanf("");
};

// Fills the one-time tables (sine table, ripple centres) and seeds the calling
// thread's pseudo-random generator with 0. Thread-safe; cheap after the first call.
void texture_tables_init();

// The slot's colour at a point over `base`: with amount 0 or kind 0 (or a null slot)
// out = base. Kinds 2..16 blend the pattern colour with base by the amount; an image
// map (kind 1) blends by its texel and flags. A slot that cannot be read (no ramp,
// no image, an image under one pixel) leaves base. out may alias base.
void texture_eval(float out[4], const float base[4], const TextureSlot* slot, const float p[3],
                  const TextureCall* call = nullptr);
// The same for a point of doubles (the ray tracer's). Gives the same colour as
// texture_eval at the point rounded to float.
void texture_eval_d(float out[4], const float base[4], const TextureSlot* slot, const double p[3],
                    const TextureCall* call = nullptr);

// Perturbs the normal n by the bump slot at point p and normalises it (a zero vector
// stays zero). Nothing happens (n untouched, not renormalised) when the slot is null
// or its amount is not above 0. Kinds above 7 only renormalise.
void bump_eval(float n[3], const TextureSlot* slot, const float p[3]);
// The double form (the ray tracer's): the perturbation runs on a float copy of n,
// whose normalised result is written back as doubles.
void bump_eval_d(double n[3], const TextureSlot* slot, const double p[3]);

// The reflected colour along direction d (drawing coordinates): the reflection slot
// evaluated over black with mapping mode 4 (spherical) forced for this call. Black
// for an empty slot.
void reflection_eval(float out[3], const TextureSlot* slot, const double d[3]);
