// Fuzz target for the BMP reader: any input is read or refused (13) without
// crashing, hanging, leaking or tripping the sanitizers.
// Headers asking for more than 65,536 pixels are skipped: a few hundred bytes of
// run-length data may fill 36 million pixels, and even a million costs a millisecond
// per input (and twice more for the round trip) for no new path.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/formats/image_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= 26 && data[0] == 'B' && data[1] == 'M') {
        const uint32_t header =
            data[14] | (data[15] << 8) | (data[16] << 16) | (uint32_t{data[17]} << 24);
        int64_t w, h;
        if (header == 12) {
            w = data[18] | (data[19] << 8);
            h = data[20] | (data[21] << 8);
        } else {
            int32_t wi, hi;
            std::memcpy(&wi, data + 18, 4);
            std::memcpy(&hi, data + 22, 4);
            w = wi < 0 ? -int64_t{wi} : wi;
            h = hi < 0 ? -int64_t{hi} : hi;
        }
        if (w * h > (int64_t{1} << 16)) return 0;
    }
    RgbImage img;
    const int r = bmp_decode(data, size, &img);
    if (r != 0) {
        if (r != kBadArgument && r != kOutOfMemory) std::abort();
        return 0;
    }
    // What was read writes and reads back the same (the writer stores 24-bit pixels,
    // so every colour is exact).
    ByteSink sink;
    if (bmp_encode(img.pixels, img.width, img.height, &sink) != 0) std::abort();
    RgbImage back;
    if (bmp_decode(sink.data(), sink.size(), &back) != 0) std::abort();
    if (back.width != img.width || back.height != img.height ||
        std::memcmp(back.pixels, img.pixels, img.bytes()) != 0)
        std::abort();
    return 0;
}
