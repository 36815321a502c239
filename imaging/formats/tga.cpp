// Targa reader (types 1-3 and 9-11, both origins) and 24-bit and grey writers.
#include <cstring>

#include "imaging/formats/image_formats.h"

namespace {

// One pixel of `bytes` bytes in Targa order to RGB: 2 bytes are 5-5-5 (A-R-G-B).
void tga_pixel(const uint8_t* s, int bytes, uint8_t* rgb) {
    switch (bytes) {
        case 1:
            rgb[0] = rgb[1] = rgb[2] = s[0];
            break;
        case 2: {
            const unsigned v = s[0] | (s[1] << 8);
            const unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
            rgb[0] = static_cast<uint8_t>((r << 3) | (r >> 2));
            rgb[1] = static_cast<uint8_t>((g << 3) | (g >> 2));
            rgb[2] = static_cast<uint8_t>((b << 3) | (b >> 2));
            break;
        }
        default:
            rgb[0] = s[2];
            rgb[1] = s[1];
            rgb[2] = s[0];
    }
}

int write_header(ByteSink* out, int type, int bits, int32_t width, int32_t height) {
    const uint8_t h[18] = {0, 0, static_cast<uint8_t>(type), 0, 0, 0, 0, 0, 0, 0, 0, 0,
                           static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
                           static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8),
                           static_cast<uint8_t>(bits), 0x20};
    out->put(h, sizeof h);
    return out->failed() ? kOutOfMemory : 0;
}

}  // namespace

int tga_decode(const uint8_t* data, size_t size, RgbImage* out) {
    ByteReader r(data, size);
    const uint8_t id_length = r.u8();
    const uint8_t map_type = r.u8();
    const uint8_t type = r.u8();
    const uint16_t map_first = r.u16le();
    const uint16_t map_length = r.u16le();
    const uint8_t map_bits = r.u8();
    r.u16le();
    r.u16le();
    const int64_t width = r.u16le(), height = r.u16le();
    const uint8_t bits = r.u8();
    const uint8_t descriptor = r.u8();
    if (r.failed() || map_type > 1) return kBadArgument;
    const int base_type = type & 7;
    const bool rle = type & 8;
    if ((type & ~0xB) != 0 || base_type < 1 || base_type > 3) return kBadArgument;
    if (!image_size_ok(width, height)) return kBadArgument;
    int px_bytes;
    if (base_type == 1) {
        if (bits != 8 || map_type != 1) return kBadArgument;
        px_bytes = 1;
    } else if (base_type == 3) {
        if (bits != 8) return kBadArgument;
        px_bytes = 1;
    } else {
        if (bits != 15 && bits != 16 && bits != 24 && bits != 32) return kBadArgument;
        px_bytes = (bits + 7) / 8;
    }
    r.skip(id_length);
    uint8_t map[256 * 3] = {};
    int map_count = 0;
    if (map_type == 1) {
        if (map_bits != 15 && map_bits != 16 && map_bits != 24 && map_bits != 32) return kBadArgument;
        const int entry = (map_bits + 7) / 8;
        const uint8_t* m = r.take(static_cast<size_t>(map_length) * entry);
        if (!m) return kBadArgument;
        // Entries are numbered from map_first; the pixels index that numbering.
        for (int i = 0; i < map_length && map_first + i < 256; ++i) tga_pixel(m + i * entry, entry, map + (map_first + i) * 3);
        map_count = map_first + map_length < 256 ? map_first + map_length : 256;
    }
    if (r.failed()) return kBadArgument;
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    // Raw data must be all there; RLE data needs at least one packet byte and one
    // pixel per 128 pixels.
    if (!rle && pixels * px_bytes > r.left()) return kBadArgument;
    if (rle && (pixels + 127) / 128 * (1 + px_bytes) > r.left()) return kBadArgument;
    if (int e = rgb_image_alloc(out, width, height)) return e;

    const bool top = descriptor & 0x20, right = descriptor & 0x10;
    auto place = [&](uint64_t i, const uint8_t* s) {
        const uint64_t fy = i / width, fx = i % width;
        const uint64_t y = top ? fy : height - 1 - fy, x = right ? width - 1 - fx : fx;
        uint8_t* d = out->pixels + (y * width + x) * 3;
        if (base_type == 1) {
            if (s[0] < map_count) std::memcpy(d, map + s[0] * 3, 3);
        } else {
            tga_pixel(s, px_bytes, d);
        }
    };
    if (!rle) {
        const uint8_t* s = r.take(static_cast<size_t>(pixels * px_bytes));
        for (uint64_t i = 0; i < pixels; ++i) place(i, s + i * px_bytes);
        return 0;
    }
    uint64_t i = 0;
    while (i < pixels) {
        const uint8_t head = r.u8();
        if (r.failed()) return 0;  // cut short: the rest stays black
        const unsigned count = (head & 127) + 1u;
        if (head & 128) {
            const uint8_t* s = r.take(px_bytes);
            if (!s) return 0;
            for (unsigned k = 0; k < count && i < pixels; ++k) place(i++, s);
        } else {
            const uint8_t* s = r.take(static_cast<size_t>(count) * px_bytes);
            if (!s) return 0;
            for (unsigned k = 0; k < count && i < pixels; ++k) place(i++, s + k * px_bytes);
        }
    }
    return 0;
}

int tga_encode24(const uint8_t* rgb, int32_t width, int32_t height, ByteSink* out) {
    if (!rgb || !image_size_ok(width, height)) return kBadArgument;
    if (int e = write_header(out, 2, 24, width, height)) return e;
    const size_t base = out->size(), n = static_cast<size_t>(width) * height * 3;
    out->fill(0, n);
    if (out->failed()) return kOutOfMemory;
    uint8_t* d = out->buffer().data() + base;
    for (size_t i = 0; i < n; i += 3) {
        d[i] = rgb[i + 2];
        d[i + 1] = rgb[i + 1];
        d[i + 2] = rgb[i];
    }
    return 0;
}

int tga_encode_grey(const uint8_t* grey, int32_t width, int32_t height, ByteSink* out) {
    if (!grey || !image_size_ok(width, height)) return kBadArgument;
    if (int e = write_header(out, 3, 8, width, height)) return e;
    out->put(grey, static_cast<size_t>(width) * height);
    return out->failed() ? kOutOfMemory : 0;
}
