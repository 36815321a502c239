// The surface-detail seam of the scan-line renderer: texture colour, bump-perturbed
// normal, reflected colour and spot-light shadow at a point, through the shared
// evaluators of render/surface/ (the ray tracer and the material preview call the
// same ones). The shadow stage builds the spot lights' maps before the rows.
#pragma once

#include <cstdint>

#include "model/math/types.h"

struct MaterialRecord;
struct TextureSlot;
struct RenderLight;
struct RenderMesh;
struct RenderContext;

// Colour of a texture slot at a point (u, v, 0 for an image map with mapping mode 1,
// else drawing coordinates) over the base colour; writes four floats.
void surface_texture(const TextureSlot* slot, const double point[3], const float base[4],
                     float out[4]);
// The background: the scene material's first slot applied in full (amount 1).
void surface_background(const TextureSlot* slot, const double point[3], const float base[4],
                        float out[4]);
// The shading normal perturbed by a bump slot at a point.
void surface_bump(const TextureSlot* slot, const double point[3], Vec3d* n);
// The reflected colour along a direction (black for an empty slot).
void surface_reflection(const TextureSlot* slot, const Vec3d& direction, float out[3]);
// Fraction of a spot light's light reaching a point of `mesh`, 0..1 (1 without a map).
double surface_shadow(const RenderLight* light, const Vec3d& point, const RenderMesh* mesh);

// The shadow stage: every light gets bias 1.0 and filter 3; with shadows on, every
// spot light gets a 256 x 256 map aimed from its position at its target with its
// outer cone, and every drawable triangle is drawn into it. Meshes are numbered from
// 1 for the maps. 0, 1 when a map cannot be allocated, -1 when stopped.
[[nodiscard]] int render_shadow_build(RenderContext* ctx);
// Frees a light's map (the light list's release calls it).
void render_shadow_free(RenderLight* light);

// Testing: renders from now on filter shadows over this radius instead of 3 (a
// negative value restores 3).
void render_shadow_filter_for_tests(int32_t radius);
