// Decoding a whole LZW code stream the way the older drawing files store it (9 to
// 12-bit codes, least significant bit first) with a coder of its own. Header only;
// used by the file and stream tests.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "model/lzw/lzw.h"

// The decoded bytes of `code`; *corrupt (may be null) is whether the coder found the
// stream damaged.
inline std::vector<uint8_t> lzw_decode_all(const std::vector<uint8_t>& code, bool* corrupt = nullptr) {
    struct Source {
        const std::vector<uint8_t>* bytes;
        size_t pos;
    } src{&code, 0};
    LzwCallback read = [](uint8_t* buf, int count, int, void* ctx) {
        auto* s = static_cast<Source*>(ctx);
        const size_t n = std::min<size_t>(static_cast<size_t>(count), s->bytes->size() - s->pos);
        if (n) std::memcpy(buf, s->bytes->data() + s->pos, n);
        s->pos += n;
        return static_cast<int>(n);
    };
    LzwCoder* c = lzw_create(read, &src, 9, 12, kLzwDecode, 0, 0);
    std::vector<uint8_t> out;
    uint8_t buf[4096];
    for (;;) {
        const size_t n = lzw_read(c, buf, sizeof buf);
        out.insert(out.end(), buf, buf + n);
        if (n < sizeof buf) break;
    }
    if (corrupt) *corrupt = lzw_corrupt(c);
    lzw_close(c);
    return out;
}
