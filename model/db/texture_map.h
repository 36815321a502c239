// Attaching texture image patterns to the image mappings of material slots.
#pragma once

#include <cstdint>

class MATRPATT;
struct TextureMapping;

// Attaches an image pattern (or null) to a mapping. With the use-coverage flag the
// image is made ready and the key colour becomes its first pixel / 255; without it
// (or without an image) the key colour is 0. 0, or the image's own error (the key
// colour then stays as it was).
[[nodiscard]] int texture_mapping_set_image(TextureMapping* m, MATRPATT* image);

// Copies the mapping fields that `mask` selects (kMappingCopy* bits), attaching the
// source's image first when bit 32 is set, then rebuilds the matrix. 0, or the
// image step's error with nothing changed.
[[nodiscard]] int texture_mapping_copy_masked(TextureMapping* dst, const TextureMapping* src,
                                              int32_t mask);
