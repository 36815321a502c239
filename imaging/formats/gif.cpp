// GIF reader (87a and 89a, first image, interlace) and GIF87a writer, both over the
// shared LZW coder (least significant bit first, no early change).
#include <cstring>
#include <memory>
#include <new>

#include "imaging/formats/image_formats.h"
#include "imaging/quantize/quantize.h"
#include "model/lzw/lzw.h"

namespace {

// Feeds the decoder the image's data sub-blocks, one after another.
struct SubBlocks {
    ByteReader* r;
    size_t left_in_block = 0;
    bool done = false;
};

int feed_blocks(uint8_t* buffer, int count, int, void* context) {
    auto* s = static_cast<SubBlocks*>(context);
    int n = 0;
    while (n < count && !s->done) {
        if (s->left_in_block == 0) {
            const uint8_t len = s->r->u8();
            if (s->r->failed() || len == 0) {
                s->done = true;
                break;
            }
            s->left_in_block = len;
        }
        size_t k = s->left_in_block < static_cast<size_t>(count - n) ? s->left_in_block : count - n;
        if (k > s->r->left()) k = s->r->left();
        if (k == 0) {
            s->done = true;
            break;
        }
        std::memcpy(buffer + n, s->r->take(k), k);
        n += static_cast<int>(k);
        s->left_in_block -= k;
    }
    return n;
}

bool skip_blocks(ByteReader& r) {
    for (;;) {
        const uint8_t len = r.u8();
        if (r.failed()) return false;
        if (len == 0) return true;
        if (!r.skip(len)) return false;
    }
}

// Row of the image that the i-th decoded row lands on.
int64_t interlaced_row(int64_t i, int64_t h) {
    const int64_t p1 = (h + 7) / 8, p2 = (h + 3) / 8, p3 = (h + 1) / 4;
    if (i < p1) return i * 8;
    i -= p1;
    if (i < p2) return i * 8 + 4;
    i -= p2;
    if (i < p3) return i * 4 + 2;
    i -= p3;
    return i * 2 + 1;
}

struct SinkBlocks {
    ByteSink* out;
    uint8_t block[255];
    int used = 0;
};

void flush_block(SinkBlocks* s) {
    if (!s->used) return;
    s->out->u8(static_cast<uint8_t>(s->used));
    s->out->put(s->block, s->used);
    s->used = 0;
}

int take_codes(uint8_t* buffer, int count, int, void* context) {
    auto* s = static_cast<SinkBlocks*>(context);
    for (int i = 0; i < count; ++i) {
        s->block[s->used++] = buffer[i];
        if (s->used == 255) flush_block(s);
    }
    return s->out->failed() ? 0 : count;
}

}  // namespace

int gif_decode(const uint8_t* data, size_t size, RgbImage* out) {
    ByteReader r(data, size);
    const uint8_t* sig = r.take(6);
    if (!sig || (std::memcmp(sig, "GIF87a", 6) != 0 && std::memcmp(sig, "GIF89a", 6) != 0))
        return kBadArgument;
    r.u16le();
    r.u16le();
    const uint8_t flags = r.u8();
    r.u8();
    r.u8();
    uint8_t global[256 * 3] = {};
    int global_count = 0;
    if (flags & 0x80) {
        global_count = 2 << (flags & 7);
        const uint8_t* p = r.take(global_count * 3);
        if (!p) return kBadArgument;
        std::memcpy(global, p, global_count * 3);
    }
    for (;;) {
        const uint8_t tag = r.u8();
        if (r.failed() || tag == 0x3B) return kBadArgument;  // no image at all
        if (tag == 0x21) {
            r.u8();
            if (!skip_blocks(r)) return kBadArgument;
            continue;
        }
        if (tag != 0x2C) return kBadArgument;
        break;
    }
    r.u16le();
    r.u16le();
    const int64_t width = r.u16le(), height = r.u16le();
    const uint8_t iflags = r.u8();
    uint8_t local[256 * 3] = {};
    const uint8_t* pal = global;
    int pal_count = global_count;
    if (iflags & 0x80) {
        pal_count = 2 << (iflags & 7);
        const uint8_t* p = r.take(pal_count * 3);
        if (!p) return kBadArgument;
        std::memcpy(local, p, pal_count * 3);
        pal = local;
    }
    const uint8_t code_size = r.u8();
    if (r.failed() || code_size < 2 || code_size > 8) return kBadArgument;
    if (!image_size_ok(width, height)) return kBadArgument;
    // A code of at least 3 bits stands for at most 4096 pixels: data that could not
    // cover the image even so is refused before the image is allocated.
    if (static_cast<uint64_t>(width) * height > static_cast<uint64_t>(r.left()) * 8 / 3 * 4096 + 4096)
        return kBadArgument;
    if (int e = rgb_image_alloc(out, width, height)) return e;

    SubBlocks blocks{&r};
    LzwCoder* lzw = lzw_create(&feed_blocks, &blocks, code_size + 1, 12, kLzwDecode, 0, 0);
    if (!lzw) return kOutOfMemory;
    std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[width]);
    if (!row) {
        lzw_close(lzw);
        return kOutOfMemory;
    }
    const bool interlaced = iflags & 0x40;
    for (int64_t i = 0; i < height; ++i) {
        const size_t got = lzw_read(lzw, row.get(), static_cast<size_t>(width));
        const int64_t y = interlaced ? interlaced_row(i, height) : i;
        uint8_t* d = out->pixels + static_cast<size_t>(y * width * 3);
        for (size_t x = 0; x < got; ++x, d += 3)
            if (row[x] < pal_count) std::memcpy(d, pal + row[x] * 3, 3);
        if (got < static_cast<size_t>(width)) break;  // the code stream ended early
    }
    lzw_close(lzw);
    return 0;
}

int gif_encode(const uint8_t* rgb, int32_t width, int32_t height, ByteSink* out) {
    if (!rgb || !image_size_ok(width, height)) return kBadArgument;
    const size_t count = static_cast<size_t>(width) * height;
    std::unique_ptr<uint8_t[]> idx(new (std::nothrow) uint8_t[count]);
    std::unique_ptr<Quantized> q(new (std::nothrow) Quantized);
    if (!idx || !q) return kOutOfMemory;
    if (quantize_rgb(rgb, count, 256, q.get(), idx.get()) != 0) return kOutOfMemory;
    int bits = 1;
    while ((1 << bits) < q->count) ++bits;
    const int code_size = bits < 2 ? 2 : bits;
    out->put("GIF87a", 6);
    out->u16le(static_cast<uint16_t>(width));
    out->u16le(static_cast<uint16_t>(height));
    out->u8(static_cast<uint8_t>(0x80 | ((bits - 1) << 4) | (bits - 1)));
    out->u8(0);
    out->u8(0);
    uint8_t table[256 * 3] = {};
    std::memcpy(table, q->palette, q->count * 3);
    out->put(table, (size_t{1} << bits) * 3);
    out->u8(0x2C);
    out->u16le(0);
    out->u16le(0);
    out->u16le(static_cast<uint16_t>(width));
    out->u16le(static_cast<uint16_t>(height));
    out->u8(0);
    out->u8(static_cast<uint8_t>(code_size));
    SinkBlocks sink{out, {}, 0};
    LzwCoder* lzw = lzw_create(&take_codes, &sink, code_size + 1, 12, kLzwEncode, 0, 0);
    if (!lzw) return kOutOfMemory;
    bool ok = lzw_write(lzw, idx.get(), count) == count;
    ok = lzw_flush(lzw) == 0 && ok;
    lzw_close(lzw);
    flush_block(&sink);
    out->u8(0);
    out->u8(0x3B);
    if (out->failed()) return kOutOfMemory;
    return ok ? 0 : kOutOfMemory;
}
