// The surface-detail seams of the renderers: texture colour, bump-perturbed normal,
// reflected colour and spot-light shadow at a point. Until the procedural and bitmap
// textures, bump maps and shadow maps are built, these are neutral: the base colour,
// the normal unchanged, no reflection and every point fully lit.
#pragma once

#include "model/math/types.h"

struct MaterialRecord;
struct TextureSlot;
struct RenderLight;

// Colour of a texture slot at a point (u, v, w for mapping mode 1, else drawing
// coordinates) over the base colour; writes four floats. Neutral: the base colour.
void surface_texture(const TextureSlot* slot, const double point[3], const float base[4],
                     float out[4]);
// The shading normal perturbed by a bump slot at a point. Neutral: n unchanged.
void surface_bump(const TextureSlot* slot, const double point[3], Vec3d* n);
// The reflected colour along a direction. Neutral: black.
void surface_reflection(const TextureSlot* slot, const Vec3d& direction, float out[3]);
// Fraction of a spot light's light reaching a point, 0..1. Neutral: 1.
double surface_shadow(const RenderLight* light, const Vec3d& point, const void* mesh);
