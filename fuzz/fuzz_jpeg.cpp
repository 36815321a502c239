// Fuzz target for the JPEG reader: any input is read or refused (13) without
// crashing, hanging, leaking or tripping the sanitizers.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/formats/image_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RgbImage img;
    const int r = jpg_decode(data, size, &img);
    if (r != 0) {
        if (r != kBadArgument && r != kOutOfMemory) std::abort();
        return 0;
    }
    if (!img.pixels || img.width < 1 || img.height < 1) std::abort();
    return 0;
}
