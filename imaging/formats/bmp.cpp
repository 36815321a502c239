// BMP reader (every header size, 1 to 32 bits, RLE4/RLE8, bit fields) and 24-bit writer.
#include <cstring>

#include "imaging/formats/image_formats.h"

namespace {

struct Mask {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
};

Mask make_mask(uint32_t m) {
    Mask r;
    r.mask = m;
    if (!m) return r;
    while (!((m >> r.shift) & 1)) ++r.shift;
    while (r.shift + r.bits < 32 && ((m >> (r.shift + r.bits)) & 1)) ++r.bits;
    return r;
}

uint8_t mask_value(const Mask& m, uint32_t px) {
    if (!m.mask || m.bits == 0) return 0;
    const uint32_t v = (px & m.mask) >> m.shift;
    const int bits = m.bits > 8 ? 8 : m.bits;
    const uint32_t top = m.bits > 8 ? v >> (m.bits - 8) : v;
    const uint32_t max = (1u << bits) - 1;
    return static_cast<uint8_t>((top * 255 + max / 2) / max);
}

struct Header {
    int64_t width = 0, height = 0;
    bool top_down = false;
    int bits = 0;
    uint32_t compression = 0;
    uint32_t colours_used = 0;
    uint32_t masks[3] = {0, 0, 0};
    bool have_masks = false;
    int palette_entry = 4;  // bytes per palette entry (3 for OS/2 1.x)
};

// Row index in the output for file row y (file rows run bottom-up unless top-down).
inline int64_t out_row(const Header& h, int64_t y) { return h.top_down ? y : h.height - 1 - y; }

void put_index(RgbImage* out, const uint8_t* pal, int pal_count, int64_t row, int64_t x, int idx) {
    uint8_t* p = out->pixels + (static_cast<size_t>(row) * out->width + x) * 3;
    if (idx < pal_count) {
        p[0] = pal[idx * 3];
        p[1] = pal[idx * 3 + 1];
        p[2] = pal[idx * 3 + 2];
    }
}

// RLE8 (bits 8) or RLE4 (bits 4): runs and absolute blocks, with end-of-line,
// end-of-bitmap and delta escapes. Pixels never written stay black.
int decode_rle(ByteReader& r, const Header& h, const uint8_t* pal, int pal_count, RgbImage* out) {
    int64_t x = 0, y = 0;
    const bool four = h.bits == 4;
    while (y < h.height) {
        const uint8_t n = r.u8();
        const uint8_t v = r.u8();
        if (r.failed()) return 0;  // a stream cut short keeps what it drew
        if (n > 0) {
            for (int i = 0; i < n && x < h.width; ++i, ++x) {
                const int idx = four ? ((i & 1) ? (v & 15) : (v >> 4)) : v;
                put_index(out, pal, pal_count, out_row(h, y), x, idx);
            }
            continue;
        }
        if (v == 0) {
            x = 0;
            ++y;
        } else if (v == 1) {
            break;
        } else if (v == 2) {
            x += r.u8();
            y += r.u8();
            if (r.failed()) return 0;
        } else {
            const size_t bytes = four ? (v + 1u) / 2 : v;
            const uint8_t* src = r.take(bytes);
            if (!src) return 0;
            for (int i = 0; i < v && x < h.width; ++i, ++x) {
                const int idx = four ? ((i & 1) ? (src[i / 2] & 15) : (src[i / 2] >> 4)) : src[i];
                put_index(out, pal, pal_count, out_row(h, y), x, idx);
            }
            if (bytes & 1) r.skip(1);
        }
    }
    return 0;
}

}  // namespace

int bmp_decode(const uint8_t* data, size_t size, RgbImage* out) {
    ByteReader r(data, size);
    if (r.u8() != 'B' || r.u8() != 'M') return kBadArgument;
    r.skip(8);
    const uint32_t pixel_offset = r.u32le();
    const uint32_t header_size = r.u32le();
    if (r.failed() || header_size < 12 || header_size > r.left() + 4) return kBadArgument;
    const size_t header_start = r.pos() - 4;
    Header h;
    if (header_size == 12) {
        h.width = r.u16le();
        h.height = r.u16le();
        r.u16le();
        h.bits = r.u16le();
        h.palette_entry = 3;
    } else {
        if (header_size < 16) return kBadArgument;
        h.width = static_cast<int32_t>(r.u32le());
        h.height = static_cast<int32_t>(r.u32le());
        r.u16le();
        h.bits = r.u16le();
        if (header_size >= 20) h.compression = r.u32le();
        if (header_size >= 36) {
            r.skip(12);
            h.colours_used = r.u32le();
        }
        if (header_size >= 52) {
            r.seek(header_start + 40);
            for (uint32_t& m : h.masks) m = r.u32le();
            h.have_masks = true;
        }
    }
    if (r.failed()) return kBadArgument;
    if (h.height < 0) {
        h.top_down = true;
        h.height = -h.height;
    }
    if (!image_size_ok(h.width, h.height)) return kBadArgument;
    r.seek(header_start + header_size);
    // OS/2 2.x headers (16 to 64 bytes other than 40, 52, 56) give compression 3 as
    // Huffman and 4 as RLE24, which are not supported.
    const bool os2v2 = header_size != 12 && header_size != 40 && header_size != 52 &&
                       header_size != 56 && header_size < 108;
    const uint32_t c = h.compression;
    const bool rle = (c == 1 && h.bits == 8) || (c == 2 && h.bits == 4);
    const bool fields = !os2v2 && (c == 3 || c == 6) && (h.bits == 16 || h.bits == 32);
    if (!(c == 0 || rle || fields)) return kBadArgument;
    if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32)
        return kBadArgument;
    if (fields && !h.have_masks) {
        for (uint32_t& m : h.masks) m = r.u32le();
        if (c == 6) r.u32le();
        if (r.failed()) return kBadArgument;
    }
    if (!fields) {
        if (h.bits == 16) {
            h.masks[0] = 0x7C00, h.masks[1] = 0x03E0, h.masks[2] = 0x001F;
        } else if (h.bits == 32) {
            h.masks[0] = 0xFF0000, h.masks[1] = 0x00FF00, h.masks[2] = 0x0000FF;
        }
    }
    // Palette: colours_used entries (all 2^bits when 0), after the header and masks.
    uint8_t pal[256 * 3] = {};
    int pal_count = 0;
    if (h.bits <= 8) {
        int64_t n = h.colours_used ? h.colours_used : (int64_t{1} << h.bits);
        if (n > (int64_t{1} << h.bits)) n = int64_t{1} << h.bits;
        const uint64_t bytes = static_cast<uint64_t>(n) * h.palette_entry;
        const size_t pal_end = pixel_offset >= r.pos() ? pixel_offset : r.left() + r.pos();
        const uint64_t room = pal_end > r.pos() ? pal_end - r.pos() : 0;
        if (bytes > room) n = static_cast<int64_t>(room / h.palette_entry);  // short palette
        const uint8_t* p = r.take(static_cast<size_t>(n) * h.palette_entry);
        if (!p) return kBadArgument;
        for (int64_t i = 0; i < n; ++i) {
            pal[i * 3] = p[i * h.palette_entry + 2];
            pal[i * 3 + 1] = p[i * h.palette_entry + 1];
            pal[i * 3 + 2] = p[i * h.palette_entry];
        }
        pal_count = static_cast<int>(n);
    }
    if (!r.seek(pixel_offset)) return kBadArgument;
    const uint64_t stride = ((static_cast<uint64_t>(h.width) * h.bits + 31) / 32) * 4;
    if (!rle && stride * static_cast<uint64_t>(h.height) > r.left()) return kBadArgument;
    if (int e = rgb_image_alloc(out, h.width, h.height)) return e;
    if (rle) return decode_rle(r, h, pal, pal_count, out);

    const Mask mr = make_mask(h.masks[0]), mg = make_mask(h.masks[1]), mb = make_mask(h.masks[2]);
    for (int64_t y = 0; y < h.height; ++y) {
        const uint8_t* row = r.take(static_cast<size_t>(stride));
        uint8_t* dst = out->pixels + static_cast<size_t>(out_row(h, y)) * out->width * 3;
        for (int64_t x = 0; x < h.width; ++x, dst += 3) {
            switch (h.bits) {
                case 1:
                case 4:
                case 8: {
                    const int64_t bit = x * h.bits;
                    const int idx = (row[bit / 8] >> (8 - h.bits - bit % 8)) & ((1 << h.bits) - 1);
                    if (idx < pal_count) std::memcpy(dst, pal + idx * 3, 3);
                    break;
                }
                case 16:
                case 32: {
                    const uint8_t* s = row + x * (h.bits / 8);
                    const uint32_t px = h.bits == 16 ? static_cast<uint32_t>(s[0] | (s[1] << 8))
                                                     : (s[0] | (s[1] << 8) | (s[2] << 16) |
                                                        (static_cast<uint32_t>(s[3]) << 24));
                    dst[0] = mask_value(mr, px);
                    dst[1] = mask_value(mg, px);
                    dst[2] = mask_value(mb, px);
                    break;
                }
                default: {
                    const uint8_t* s = row + x * 3;
                    dst[0] = s[2];
                    dst[1] = s[1];
                    dst[2] = s[0];
                }
            }
        }
    }
    return 0;
}

int bmp_encode(const uint8_t* rgb, int32_t width, int32_t height, ByteSink* out) {
    if (!rgb || !image_size_ok(width, height)) return kBadArgument;
    const uint64_t stride = (static_cast<uint64_t>(width) * 3 + 3) & ~uint64_t{3};
    const uint64_t image_bytes = stride * static_cast<uint64_t>(height);
    if (image_bytes + 54 > 0xFFFFFFFFu) return kBadArgument;
    out->u8('B');
    out->u8('M');
    out->u32le(static_cast<uint32_t>(image_bytes + 54));
    out->u32le(0);
    out->u32le(54);
    out->u32le(40);
    out->u32le(static_cast<uint32_t>(width));
    out->u32le(static_cast<uint32_t>(height));
    out->u16le(1);
    out->u16le(24);
    out->u32le(0);
    out->u32le(static_cast<uint32_t>(image_bytes));
    out->u32le(2835);  // 72 dpi
    out->u32le(2835);
    out->u32le(0);
    out->u32le(0);
    const size_t base = out->size();
    out->fill(0, static_cast<size_t>(image_bytes));
    if (out->failed()) return kOutOfMemory;
    uint8_t* dst = out->buffer().data() + base;
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t* s = rgb + static_cast<size_t>(height - 1 - y) * width * 3;
        uint8_t* d = dst + static_cast<size_t>(y * stride);
        for (int64_t x = 0; x < width; ++x, s += 3, d += 3) {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
    }
    return 0;
}
