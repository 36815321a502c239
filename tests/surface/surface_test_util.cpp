// Helpers of the surface-detail tests.
#include "surface_test_util.h"

#include <algorithm>

std::unique_ptr<MATRPATT> make_image(int32_t w, int32_t h, const std::vector<uint8_t>& rgb) {
    auto p = std::make_unique<MATRPATT>();
    p->release_image();
    auto* px = new uint8_t[rgb.size()];
    std::copy(rgb.begin(), rgb.end(), px);
    p->pixels = px;
    p->width = w;
    p->height = h;
    return p;
}

std::unique_ptr<MATRPATT> distinct_image(int32_t w, int32_t h) {
    std::vector<uint8_t> rgb;
    for (int32_t j = 0; j < h; ++j)
        for (int32_t i = 0; i < w; ++i) {
            rgb.push_back(static_cast<uint8_t>(20 * i + 1));
            rgb.push_back(static_cast<uint8_t>(20 * j + 1));
            rgb.push_back(7);
        }
    return make_image(w, h, rgb);
}

std::unique_ptr<MATRPATT> grey_ramp_image(int32_t w, int32_t h, int step) {
    std::vector<uint8_t> rgb;
    for (int32_t j = 0; j < h; ++j)
        for (int32_t i = 0; i < w; ++i)
            for (int c = 0; c < 3; ++c) rgb.push_back(static_cast<uint8_t>(i * step));
    return make_image(w, h, rgb);
}

void set_image_slot(TextureSlot* s, MATRPATT* image, int32_t mode, uint16_t interpolation,
                    uint16_t flags) {
    s->kind = kTextureImage;
    s->amount = 1.0f;
    s->mapping_mode = mode;
    texture_mapping_init(&s->mapping);
    s->mapping.interpolation = interpolation;
    s->mapping.flags = flags;
    s->mapping.image = image;
}

void set_pattern_slot(TextureSlot* s, int32_t kind, const std::vector<ColourRampKey>& keys) {
    s->kind = kind;
    s->amount = 1.0f;
    s->mapping_mode = kMappingModePoint;
    pattern_params_init(&s->pattern);
    colour_ramp_release(&s->ramp);
    s->ramp = nullptr;
    if (!keys.empty()) {
        (void)colour_ramp_new(&s->ramp, static_cast<int32_t>(keys.size()));
        std::copy(keys.begin(), keys.end(), s->ramp->keys);
    }
}
