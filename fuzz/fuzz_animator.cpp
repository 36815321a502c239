// Fuzz target for the Animator PIC/CEL and FLI/FLC reader. The first input byte is
// the frame wanted (as a signed number, so -1 comes up), the rest is the file. Any
// input is read or refused without crashing, hanging or tripping the sanitizers.
// An FLI/FLC header asking for more than a million pixels is skipped: a few hundred
// bytes may declare a 64-million-pixel screen, and every clear chunk and both reads
// then fill all of it, seconds per input for no new path (its size checks are those
// of smaller screens).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/formats/image_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int32_t frame = static_cast<int8_t>(data[0]);
    if (size >= 13 && data[6] == 0xAF && (data[5] == 0x11 || data[5] == 0x12)) {
        const int64_t width = data[9] | (data[10] << 8), height = data[11] | (data[12] << 8);
        if (width * height > (int64_t{1} << 20)) return 0;
    }
    RgbImage img;
    const int r = cel_decode(data + 1, size - 1, frame, &img);
    if (r != 0) {
        if (r != kBadArgument && r != kOutOfMemory) std::abort();
        return 0;
    }
    // The reader shape gives the same frame.
    int err = 0;
    int32_t w = 0, h = 0;
    ImageReader* reader = cel_open_memory(data + 1, size - 1, &w, &h, &err);
    if (!reader || w != img.width || h != img.height) std::abort();
    uint8_t* px = new uint8_t[img.bytes()];
    if (cel_read_rgb24(reader, frame, px) != 0 || std::memcmp(px, img.pixels, img.bytes()) != 0)
        std::abort();
    delete[] px;
    cel_close(reader);
    return 0;
}
