// Fuzz target for the GIF reader: any input is read or refused (13) without
// crashing, hanging, leaking or tripping the sanitizers.
// A logical screen of more than 65,536 pixels is skipped: a few hundred bytes may
// declare 64 million, and even a million costs a millisecond per input (decode, exact
// palette, encode, decode) for no new path: every row and interlace pass is reached
// at 256 x 256.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/formats/image_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= 10 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F') {
        const int64_t w = data[6] | (data[7] << 8), h = data[8] | (data[9] << 8);
        if (w * h > (int64_t{1} << 16)) return 0;
    }
    RgbImage img;
    const int r = gif_decode(data, size, &img);
    if (r != 0) {
        if (r != kImageBadData && r != kImageNoMemory) std::abort();
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
