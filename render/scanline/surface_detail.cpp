// Neutral surface detail: base colour, unchanged normal, no reflection, fully lit.
#include "render/scanline/surface_detail.h"

void surface_texture(const TextureSlot*, const double*, const float base[4], float out[4]) {
    for (int i = 0; i < 4; ++i) out[i] = base[i];
}

void surface_bump(const TextureSlot*, const double*, Vec3d*) {}

void surface_reflection(const TextureSlot*, const Vec3d&, float out[3]) {
    out[0] = out[1] = out[2] = 0.0f;
}

double surface_shadow(const RenderLight*, const Vec3d&, const void*) {
    return 1.0;
}
