// The image-map texture pattern and the attachment of images to texture mappings.
#include "render/material/matrpmmf.h"

#include <cstring>
#include <new>

#include "model/db/tree.h"
#include "render/material_record/material.h"

RTC_CLASS_RECORD(MATRPMMF, "MATRPMMF", &MATRPATT::rtc_class, 5, nullptr, &rtc_copy_slot<MATRPMMF>,
                 nullptr, true, true);

namespace {
ImageDecoder g_decoders[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};

char* dup_text(const char* text) {
    if (!text) return nullptr;
    const size_t n = std::strlen(text);
    char* copy = new (std::nothrow) char[n + 1];
    if (copy) std::memcpy(copy, text, n + 1);
    return copy;
}
}  // namespace

void texture_image_set_decoder(int32_t kind, ImageDecoder decoder) {
    if (kind >= 0 && kind < 5) g_decoders[kind] = decoder;
}

void MATRPMMF_register() { rtc_class_setup(&MATRPMMF::rtc_class); }

MATRPMMF::~MATRPMMF() {
    release_image();
    delete[] file_name;
    delete[] data;
}

int MATRPMMF::set_data(int32_t image_kind, const char* name, const uint8_t* bytes, uint32_t count) {
    char* n = nullptr;
    if (name && !(n = dup_text(name))) return 8;
    uint8_t* d = nullptr;
    if (bytes && count) {
        d = new (std::nothrow) uint8_t[count];
        if (!d) {
            delete[] n;
            return 8;
        }
        std::memcpy(d, bytes, count);
    }
    delete[] file_name;
    delete[] data;
    file_name = n;
    data = d;
    size = d ? count : 0;
    kind = image_kind;
    return 0;
}

int MATRPMMF::copy_level(const MATRPMMF& src) {
    if (rtc_copy_base(&src, this, &MATRPMMF::rtc_class) != 0) return 8;
    if (this == &src) return 0;
    return set_data(src.kind, src.file_name, src.data, src.size);
}

int MATRPMMF::make_image_ready() { return texture_image_decode(this); }

int texture_image_decode(MATRPMMF* p) {
    if (!p) return 13;
    if (p->kind != kImageKindAnimator && p->has_own_pixels()) return 0;
    if (p->kind < 0 || p->kind > 4 || p->kind == kImageKindTarga) return 0;
    int32_t frame = 0;
    if (MODEL* m = obj_model(p)) frame = m->current_frame;
    ImageDecoder decode = g_decoders[p->kind];
    if (!decode) return 1;
    int32_t w = 0, h = 0;
    uint8_t* pixels = nullptr;
    const int r = decode(p->data, p->size, frame, &w, &h, &pixels);
    if (r != 0) return r;
    if (!pixels || w <= 0 || h <= 0) {
        delete[] pixels;
        return 1;
    }
    p->release_image();
    p->width = w;
    p->height = h;
    p->pixels = pixels;
    return 0;
}

int texture_mapping_set_image(TextureMapping* m, MATRPATT* image) {
    if (!m) return 13;
    m->image = image;
    if (!(m->flags & kMappingImageCoverage) || !image) {
        for (float& c : m->key_colour) c = 0.0f;
        return 0;
    }
    if (int r = image->make_image_ready()) return r;
    for (int i = 0; i < 3; ++i) m->key_colour[i] = image->pixels[i] * 0.00392156862745098f;
    return 0;
}

int texture_mapping_copy_masked(TextureMapping* dst, const TextureMapping* src, int32_t mask) {
    if (!dst || !src) return 13;
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
        dst->flags = static_cast<uint16_t>((dst->flags & ~kMappingDecal) | (src->flags & kMappingDecal));
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
