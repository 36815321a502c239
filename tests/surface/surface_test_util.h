// Helpers of the surface-detail tests: images made in memory and slots set up for
// patterns and image maps.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "model/db/patt.h"
#include "model/material/material.h"

// A pattern holding w x h pixels (r, g, b bytes, rows top first, unpadded).
std::unique_ptr<MATRPATT> make_image(int32_t w, int32_t h, const std::vector<uint8_t>& rgb);
// An image whose pixel (i, j) has a colour of its own: (20 i + 1, 20 j + 1, 7).
std::unique_ptr<MATRPATT> distinct_image(int32_t w, int32_t h);
// A grey image whose level grows by `step` per column (rows equal).
std::unique_ptr<MATRPATT> grey_ramp_image(int32_t w, int32_t h, int step);

// Sets an image-map slot: kind 1, the mapping's defaults, the given projection,
// sampling kind and flags.
void set_image_slot(TextureSlot* s, MATRPATT* image, int32_t mode, uint16_t interpolation,
                    uint16_t flags = 0);
// A procedural slot of `kind` with default parameters and an owned ramp of the keys.
void set_pattern_slot(TextureSlot* s, int32_t kind, const std::vector<ColourRampKey>& keys);
