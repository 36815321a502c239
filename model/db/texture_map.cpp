// Attaching texture image patterns to the image mappings of material slots.
#include "model/db/texture_map.h"

#include "model/db/patt.h"
#include "model/material/material.h"
#include "model/math/result.h"

int texture_mapping_set_image(TextureMapping* m, MATRPATT* image) {
    if (!m) return kBadArgument;
    m->image = image;
    if (!(m->flags & kMappingImageCoverage) || !image) {
        for (float& c : m->key_colour) c = 0.0f;
        return 0;
    }
    const ImagePixelsHold hold(image);  // a render may decode another frame meanwhile
    if (int r = hold.code()) return r;
    for (int i = 0; i < 3; ++i) m->key_colour[i] = image->pixels[i] * 0.00392156862745098f;
    return 0;
}

int texture_mapping_copy_masked(TextureMapping* dst, const TextureMapping* src, int32_t mask) {
    if (!dst || !src) return kBadArgument;
    if (mask & kMappingCopyImage) {
        if (int r = texture_mapping_set_image(dst, src->image)) return r;
    }
    if (mask & kMappingCopyInterpolation) dst->interpolation = src->interpolation;
    if (mask & kMappingCopyAngle) {
        dst->angle = src->angle;
        const uint16_t bits = 1 | 2 | kMappingMirrorU | kMappingMirrorV;
        dst->flags = static_cast<uint16_t>((dst->flags & ~bits) | (src->flags & bits));
    }
    if (mask & kMappingCopyDecal) {
        dst->flags =
            static_cast<uint16_t>((dst->flags & ~kMappingDecal) | (src->flags & kMappingDecal));
    }
    if (mask & kMappingCopyUScale) dst->u_scale = src->u_scale;
    if (mask & kMappingCopyVScale) dst->v_scale = src->v_scale;
    if (mask & kMappingCopyUOffset) dst->u_offset = src->u_offset;
    if (mask & kMappingCopyVOffset) dst->v_offset = src->v_offset;
    texture_mapping_build_matrix(&dst->matrix, dst->u_scale, dst->v_scale, dst->angle,
                                 (dst->flags & kMappingMirrorU) != 0,
                                 (dst->flags & kMappingMirrorV) != 0, dst->u_offset, dst->v_offset);
    return 0;
}
