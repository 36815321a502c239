// Fuzz target for surface detail: a material read by the drawing file's material
// reader, a small image and hostile points (NaN, infinities, +-1e300 from raw bytes)
// through every evaluator (texture, bump, reflection, the swatch) and through the
// shadow pipeline and lookup with a matrix taken from the input. Every colour must
// come out finite and in [0, 1], every normal and lit fraction finite.
//
// Input: 16 header bytes, 8 points (24 doubles), a 4 x 4 matrix (16 doubles), the
// image's pixels, then the material chunk's bytes.
//   header: 0 image width (mod 8), 1 height (mod 8), 2 colour preset row (>= 44: the
//   file's slot), 3 bump preset row (>= 5: the file's), 4 sampling kind, 5 selector,
//   6-7 mapping flags, 8 octaves, 9 shadow radius, 10 bit 0: slot 0 becomes an image
//   map, bit 1 bump slot too, bit 2 reflection slot too; 11 swatch shape; 12-15 unused.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "model/db/patt.h"
#include "model/material/material.h"
#include "model/stream/iostream.h"
#include "model/stream/matchunk.h"
#include "render/scanline/material_preview.h"
#include "render/surface/presets.h"
#include "render/surface/shadow_map.h"
#include "render/surface/surface.h"

namespace {

constexpr size_t kHeader = 16, kPoints = 8;

// Reads from bytes held in memory.
class MemoryStream : public IOstream {
  public:
    MemoryStream(const uint8_t* d, size_t n) : data_(d), size_(n) {}
    void read(void* buf, size_t n) override {
        if (n > size_ - pos_) io_raise(this, 13);
        std::memcpy(buf, data_ + pos_, n);
        pos_ += n;
    }
    int seek(int64_t offset, int whence) override {
        const int64_t base = whence == 0 ? 0 : (whence == 1 ? int64_t(pos_) : int64_t(size_));
        const int64_t to = base + offset;
        if (to < 0 || to > int64_t(size_)) io_raise(this, 13);
        pos_ = size_t(to);
        return 0;
    }
    uint64_t tell() override { return pos_; }
    uint64_t available(uint64_t) override { return size_ - pos_; }

  private:
    const uint8_t* data_;
    size_t size_, pos_ = 0;
};

void check_colour(const float* c, int n) {
    for (int i = 0; i < n; ++i)
        if (!(c[i] >= 0.0f && c[i] <= 1.0f)) std::abort();
}

void check_finite(const double* v, int n) {
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(v[i])) std::abort();
}

void no_op(int32_t, int32_t, const ShadowVertex* v, void*, void*) {
    if (!std::isfinite(v->f[3])) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        texture_tables_init();
        texture_presets_install();
        return true;
    }();
    (void)ready;
    const size_t fixed = kHeader + (kPoints * 3 + 16) * 8;
    if (size < fixed) return 0;
    const uint8_t* h = data;
    double pts[kPoints][3], m[4][4];
    std::memcpy(pts, data + kHeader, sizeof(pts));
    std::memcpy(m, data + kHeader + sizeof(pts), sizeof(m));
    size_t at = fixed;
    const int32_t w = h[0] % 8, ht = h[1] % 8;
    const size_t image_bytes = size_t(w) * size_t(ht) * 3;
    if (size - at < image_bytes) return 0;
    auto image = std::make_unique<MATRPATT>();
    image->release_image();
    if (image_bytes) {
        image->pixels = new uint8_t[image_bytes];
        std::memcpy(image->pixels, data + at, image_bytes);
    } else {
        image->pixels = nullptr;  // an image under one pixel
    }
    image->width = w;
    image->height = ht;
    at += image_bytes;

    // The material as the drawing reader gives it (whatever it read before a raise).
    MaterialRecord mat;
    MemoryStream s(data + at, size - at);
    (void)io_guarded([&] {
        IoChunkReader c(&s);
        io_get_material(&s, nullptr, &mat);
    });
    if (h[2] < kPresetsTexture.count) texture_preset_apply(&mat, &kPresetsTexture, h[2]);
    if (h[3] < kPresetsBump.count) texture_preset_apply(&mat, &kPresetsBump, h[3]);
    for (int k = 0; k < kMaterialSlotCount; ++k) {
        TextureSlot& slot = mat.slots[k];
        if (h[10] & (1 << k)) {
            colour_ramp_release(&slot.ramp);
            slot.ramp = nullptr;
            slot.kind = kTextureImage;
            texture_mapping_init(&slot.mapping);
            slot.mapping.interpolation = h[4];
            slot.mapping_mode = h[5] % 6;
            slot.mapping.flags = uint16_t(h[6] | (h[7] << 8));
        } else if (slot.kind >= kTexturePatternFirst) {
            slot.pattern.octaves = h[8];
        }
        if (slot.kind == kTextureImage) slot.mapping.image = image.get();
    }
    if (h[10] & 8) texture_preset_apply(&mat, &kPresetsReflection, h[2] % 44);

    ShadowFace face;
    (void)shadow_face_alloc(&face, 1 + h[9] % 8);
    std::memcpy(face.m, m, sizeof(m));
    for (int i = 0; i < face.n * face.n; ++i) {
        face.depth[i] = (i * 37 % 11) - 3.0;
        face.ids[i] = uint32_t(i % 3);
    }
    const float grey[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    for (size_t i = 0; i < kPoints; ++i) {
        const double* p = pts[i];
        const float pf[3] = {float(p[0]), float(p[1]), float(p[2])};
        float out[4];
        for (const TextureSlot& slot : mat.slots) {
            texture_eval(out, grey, &slot, pf);
            check_colour(out, 4);
            texture_eval_d(out, grey, &slot, p);
            check_colour(out, 4);
        }
        float n[3] = {0.0f, 0.6f, 0.8f};
        bump_eval(n, &mat.slots[kSlotBump], pf);
        for (float c : n)
            if (!std::isfinite(c)) std::abort();
        double nd[3] = {0.0, 0.6, 0.8};
        bump_eval_d(nd, &mat.slots[kSlotBump], p);
        check_finite(nd, 3);
        reflection_eval(out, &mat.slots[kSlotReflection], p);
        check_colour(out, 3);
        float sw[4] = {0, 0, 0, 0};
        const float sp[3] = {std::isfinite(pf[0]) ? std::fmod(pf[0], 1.0f) : 0.0f,
                             std::isfinite(pf[1]) ? std::fmod(pf[1], 1.0f) : 0.0f, 0.0f};
        matpreview_shade(0, sw, &mat, sp, std::isfinite(pf[2]) ? pf[2] : 1.0f, h[11] % 4);
        check_colour(sw, 4);
        const double lit = shadow_lookup(&face, pf, p[2], h[9], uint32_t(i % 3));
        if (!(lit >= 0.0 && lit <= 1.0)) std::abort();
    }
    // The polygon pipeline with the input's matrix and points.
    for (size_t i = 0; i + 2 < kPoints; i += 3) {
        ShadowPolygon poly;
        poly.count = 3;
        for (int k = 0; k < 3; ++k)
            for (int c = 0; c < 3; ++c) poly.v[k].f[4 + c] = pts[i + k][c];
        shadow_polygon_draw(&poly, m, 1 + h[0] % 64, 1 + h[1] % 64, h[12] & 1, 0, &no_op, nullptr,
                            nullptr);
    }
    ShadowMap map;
    shadow_map_init(&map);
    map.faces[0] = face;
    shadow_map_free(&map);
    for (TextureSlot& slot : mat.slots)
        if (slot.kind == kTextureImage) slot.mapping.image = nullptr;
    return 0;
}
