// Fuzz target for the TARGA reader: any input is read or refused (13) without
// crashing, hanging, leaking or tripping the sanitizers.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/formats/image_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RgbImage img;
    const int r = tga_decode(data, size, &img);
    if (r != 0) {
        if (r != kBadArgument && r != kOutOfMemory) std::abort();
        return 0;
    }
    // What was read writes and reads back the same (a GIF has at most 256 colours,
    // so its palette is exact).
    ByteSink sink;
    if (tga_encode24(img.pixels, img.width, img.height, &sink) != 0) std::abort();
    RgbImage back;
    if (tga_decode(sink.data(), sink.size(), &back) != 0) std::abort();
    if (back.width != img.width || back.height != img.height ||
        std::memcmp(back.pixels, img.pixels, img.bytes()) != 0)
        std::abort();
    return 0;
}
