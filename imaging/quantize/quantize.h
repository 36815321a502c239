// Colour reduction of 24-bit images to a palette of at most 256 colours: the exact
// palette when the image has that few colours, otherwise median cut over a 5-5-5
// histogram. Used by the GIF writer and the FLIC writer.
#pragma once

#include <cstddef>
#include <cstdint>

struct Quantized {
    int count = 0;              // palette entries used, 1..256
    uint8_t palette[256 * 3];   // red, green, blue
};

// Builds the palette of `pixels` (count RGB pixels) into q and writes one index a
// pixel into `indices` (count bytes). 0, or 8 when memory runs out.
int quantize_rgb(const uint8_t* pixels, size_t count, int max_colours, Quantized* q,
                 uint8_t* indices);
