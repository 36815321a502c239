// Animator files: PIC/CEL still images (32-byte header, 6-bit palette, raw pixels)
// and FLI/FLC animations (frames of palette and delta chunks over one 8-bit frame).
#include <cstring>
#include <memory>
#include <new>

#include "imaging/formats/image_formats.h"

namespace {

constexpr uint16_t kPicMagic = 0x9119;
constexpr uint16_t kFliMagic = 0xAF11;
constexpr uint16_t kFlcMagic = 0xAF12;
constexpr uint16_t kFrameMagic = 0xF1FA;

inline uint8_t six_to_eight(uint8_t v) {
    v &= 63;
    return static_cast<uint8_t>((v << 2) | (v >> 4));
}

void expand(const uint8_t* index, const uint8_t* palette, RgbImage* out) {
    const size_t n = static_cast<size_t>(out->width) * out->height;
    for (size_t i = 0; i < n; ++i) std::memcpy(out->pixels + i * 3, palette + index[i] * 3, 3);
}

int pic_decode(ByteReader& r, RgbImage* out) {
    r.u16le();
    const int64_t w = r.u16le(), h = r.u16le();
    r.skip(4);
    const uint8_t bits = r.u8(), compress = r.u8();
    r.u32le();
    r.skip(16);
    if (r.failed() || bits != 8 || compress != 0) return kBadArgument;
    if (!image_size_ok(w, h)) return kBadArgument;
    const uint8_t* pal = r.take(768);
    const uint8_t* px = r.take(static_cast<size_t>(w * h));
    if (!pal || !px) return kBadArgument;
    uint8_t palette[768];
    for (int i = 0; i < 768; ++i) palette[i] = six_to_eight(pal[i]);
    if (int e = rgb_image_alloc(out, w, h)) return e;
    expand(px, palette, out);
    return 0;
}

struct Flic {
    int64_t width = 0, height = 0;
    int frames = 0;
    size_t first_frame = 128;
    uint8_t* screen = nullptr;  // width x height indices
    uint8_t palette[768] = {};
};

// Colour chunk: packets of (skip, count (0 = 256), count RGB triples).
bool chunk_colour(ByteReader& c, uint8_t* palette, bool six_bit) {
    int packets = c.u16le();
    int at = 0;
    while (packets-- > 0 && !c.failed()) {
        at += c.u8();
        int n = c.u8();
        if (n == 0) n = 256;
        const uint8_t* p = c.take(static_cast<size_t>(n) * 3);
        if (!p) return false;
        for (int i = 0; i < n * 3 && at * 3 + i < 768; ++i)
            palette[at * 3 + i] = six_bit ? six_to_eight(p[i]) : p[i];
        at += n;
    }
    return !c.failed();
}

// Byte-run frame: each line starts with a packet count (ignored), then runs until
// the line is full: a positive count repeats one byte, a negative one copies.
bool chunk_brun(ByteReader& c, Flic& f) {
    for (int64_t y = 0; y < f.height; ++y) {
        uint8_t* line = f.screen + y * f.width;
        c.u8();
        int64_t x = 0;
        while (x < f.width) {
            const int8_t n = static_cast<int8_t>(c.u8());
            if (c.failed()) return false;
            if (n > 0) {
                const uint8_t v = c.u8();
                for (int i = 0; i < n && x < f.width; ++i) line[x++] = v;
            } else if (n < 0) {
                const uint8_t* p = c.take(-n);
                if (!p) return false;
                for (int i = 0; i < -n && x < f.width; ++i) line[x++] = p[i];
            } else {
                return false;  // a zero count never fills the line
            }
        }
    }
    return true;
}

// The packets of one line of a delta chunk, `unit` bytes to a step (1 or 2): a skip
// byte and a count, positive copying count steps, negative repeating one step. A
// repeated byte is read unchecked: the chunk's reader tells a short chunk afterwards.
bool delta_line(ByteReader& c, uint8_t* line, int64_t width, int packets, int unit) {
    int64_t x = 0;
    while (packets-- > 0) {
        x += c.u8();
        const int8_t n = static_cast<int8_t>(c.u8());
        if (c.failed()) return false;
        if (n >= 0) {
            const uint8_t* p = c.take(static_cast<size_t>(n) * unit);
            if (!p) return false;
            for (int i = 0; i < n * unit; ++i, ++x)
                if (x < width) line[x] = p[i];
        } else {
            uint8_t byte = 0;
            const uint8_t* p = &byte;
            if (unit == 1)
                byte = c.u8();
            else if (!(p = c.take(2)))
                return false;
            for (int i = 0; i < -n; ++i)
                for (int k = 0; k < unit; ++k, ++x)
                    if (x < width) line[x] = p[k];
        }
    }
    return true;
}

// FLI line delta: first line, line count, then per line packets of (skip, count):
// positive copies count bytes, negative repeats one byte.
bool chunk_lc(ByteReader& c, Flic& f) {
    int64_t y = c.u16le();
    int lines = c.u16le();
    while (lines-- > 0 && !c.failed()) {
        if (y >= f.height) return false;
        uint8_t* line = f.screen + y * f.width;
        int packets = c.u8();
        if (!delta_line(c, line, f.width, packets, 1)) return false;
        ++y;
    }
    return !c.failed();
}

// FLC word delta: line count, then per line opcode words (skip lines, set the last
// byte, or a packet count), packets of (skip, count): positive copies count words,
// negative repeats one word.
bool chunk_ss2(ByteReader& c, Flic& f) {
    int lines = c.u16le();
    int64_t y = 0;
    while (lines-- > 0 && !c.failed()) {
        int packets = -1;
        while (packets < 0) {
            const uint16_t op = c.u16le();
            if (c.failed()) return false;
            if ((op & 0xC000) == 0xC000) {
                y += 0x10000 - op;  // skip lines
            } else if ((op & 0xC000) == 0x8000) {
                if (y < f.height) f.screen[y * f.width + f.width - 1] = static_cast<uint8_t>(op);
            } else if (op & 0xC000) {
                return false;
            } else {
                packets = op;
            }
        }
        if (y >= f.height) return false;
        uint8_t* line = f.screen + y * f.width;
        if (!delta_line(c, line, f.width, packets, 2)) return false;
        ++y;
    }
    return !c.failed();
}

// Applies the chunk at the reader's position: 1 for a frame, 0 for another chunk
// (a prefix) that is skipped, -1 for a malformed one.
int apply_frame(ByteReader& r, Flic& f) {
    const size_t start = r.pos();
    const uint32_t size = r.u32le();
    const uint16_t type = r.u16le();
    if (r.failed() || size < 6 || size > r.left() + 6) return -1;
    const size_t end = start + size;
    if (type != kFrameMagic) return r.seek(end) ? 0 : -1;
    int chunks = r.u16le();
    r.skip(8);
    while (chunks-- > 0 && !r.failed()) {
        const size_t cstart = r.pos();
        const uint32_t csize = r.u32le();
        const uint16_t ctype = r.u16le();
        if (r.failed() || csize < 6 || cstart + csize > end) return -1;
        ByteReader c(r.data() + cstart + 6, csize - 6);
        bool ok = true;
        switch (ctype) {
            case 4: ok = chunk_colour(c, f.palette, false); break;
            case 11: ok = chunk_colour(c, f.palette, true); break;
            case 7: ok = chunk_ss2(c, f); break;
            case 12: ok = chunk_lc(c, f); break;
            case 13: std::memset(f.screen, 0, static_cast<size_t>(f.width * f.height)); break;
            case 15: ok = chunk_brun(c, f); break;
            case 16: {
                const uint8_t* p = c.take(static_cast<size_t>(f.width * f.height));
                if (!p) return -1;
                std::memcpy(f.screen, p, static_cast<size_t>(f.width * f.height));
                break;
            }
            default: break;  // stamps and unknown chunks
        }
        if (!ok) return -1;
        r.seek(cstart + csize);
    }
    return r.seek(end) ? 1 : -1;
}

int flic_header(ByteReader& r, Flic& f) {
    r.u32le();
    const uint16_t magic = r.u16le();
    f.frames = r.u16le();
    f.width = r.u16le();
    f.height = r.u16le();
    const uint16_t depth = r.u16le();
    if (magic == kFlcMagic) {
        r.seek(80);
        const uint32_t first = r.u32le();
        if (first >= 128) f.first_frame = first;
    }
    if (r.failed() || r.size() < 128 || (depth != 8 && depth != 0) || f.frames < 1) return kBadArgument;
    // An FLI of the first Animator is always 320 x 200 whatever the header says.
    if (magic == kFliMagic && (f.width == 0 || f.height == 0)) f.width = 320, f.height = 200;
    if (!image_size_ok(f.width, f.height)) return kBadArgument;
    // Each frame takes at least its 16-byte header.
    if (static_cast<uint64_t>(f.frames) * 16 > r.size() - 128 + 16) return kBadArgument;
    return 0;
}

}  // namespace

int32_t cel_frame_count(const uint8_t* data, size_t size) {
    ByteReader r(data, size);
    r.u32le();
    const uint16_t magic = r.u16le();
    if (size >= 2 && (data[0] | (data[1] << 8)) == kPicMagic) return 1;
    if (magic != kFliMagic && magic != kFlcMagic) return 0;
    ByteReader h(data, size);
    Flic f;
    return flic_header(h, f) == 0 ? f.frames : 0;
}

int cel_decode(const uint8_t* data, size_t size, int32_t frame, RgbImage* out) {
    ByteReader r(data, size);
    if (size >= 2 && (data[0] | (data[1] << 8)) == kPicMagic) return pic_decode(r, out);
    r.u32le();
    const uint16_t magic = r.u16le();
    if (r.failed() || (magic != kFliMagic && magic != kFlcMagic)) return kBadArgument;
    r.seek(0);
    Flic f;
    if (int e = flic_header(r, f)) return e;
    const size_t n = static_cast<size_t>(f.width * f.height);
    std::unique_ptr<uint8_t[]> screen(new (std::nothrow) uint8_t[n]());
    if (!screen) return kOutOfMemory;
    f.screen = screen.get();
    const int64_t want = frame < 0 ? 0 : frame % f.frames;
    if (!r.seek(f.first_frame)) return kBadArgument;
    for (int64_t i = 0; i <= want;) {
        const int k = apply_frame(r, f);
        if (k < 0) return kBadArgument;
        i += k;
    }
    if (int e = rgb_image_alloc(out, f.width, f.height)) return e;
    expand(f.screen, f.palette, out);
    return 0;
}
