// Fuzz target for the GIF reader: any input is read or refused (13) without
// crashing, hanging, leaking or tripping the sanitizers.
// An image of more than 16,384 pixels is skipped: a few hundred bytes may declare 64
// million, and even a million costs milliseconds per input (decode, exact palette,
// encode, decode) for no new path: every row and interlace pass is reached at 128 x 128.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/formats/image_formats.h"

namespace {

// Pixels of the first image descriptor (the reader decodes only that one), found by
// the same walk over the colour table and extension blocks; 0 when there is none.
int64_t first_image_pixels(const uint8_t* d, size_t n) {
    if (n < 13) return 0;
    size_t at = 13;
    if (d[10] & 0x80) at += 3 * (size_t{2} << (d[10] & 7));
    while (at < n && d[at] == 0x21) {
        at += 2;
        while (at < n && d[at] != 0) at += 1 + size_t{d[at]};
        ++at;
    }
    if (at + 9 > n || d[at] != 0x2C) return 0;
    return int64_t{d[at + 5] | (d[at + 6] << 8)} * (d[at + 7] | (d[at + 8] << 8));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (first_image_pixels(data, size) > (int64_t{1} << 14)) return 0;
    RgbImage img;
    const int r = gif_decode(data, size, &img);
    if (r != 0) {
        if (r != kBadArgument && r != kOutOfMemory) std::abort();
        return 0;
    }
    // What was read writes and reads back the same (a GIF has at most 256 colours,
    // so its palette is exact).
    ByteSink sink;
    if (gif_encode(img.pixels, img.width, img.height, &sink) != 0) std::abort();
    RgbImage back;
    if (gif_decode(sink.data(), sink.size(), &back) != 0) std::abort();
    if (back.width != img.width || back.height != img.height ||
        std::memcmp(back.pixels, img.pixels, img.bytes()) != 0)
        std::abort();
    return 0;
}
