// The built-in toolbar icons as PNG bytes, generated at build time from
// resources/icons/icons.txt by tools/icon_gen.cpp.
#pragma once

#include <cstddef>

struct IconImage {
    int command_id;
    int large;   // 1: 24-pixel set, 0: 16-pixel set
    int scale;   // 1 or 2 (device pixels per pixel)
    const unsigned char* png;
    size_t size;
};

extern const IconImage kIconImages[];
extern const size_t kIconImageCount;
