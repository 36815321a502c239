// LZW coder: variable-width codes (up to 12 bits) with clear and end codes, either
// bit order and either code-width schedule. The encoder finds (prefix, byte) pairs in
// an open-addressing hash table whose slots are stamped with the table's generation,
// so a clear costs nothing; the decoder keeps (prefix, suffix, length, first byte) per
// code and writes each string backwards, straight into the caller's buffer when it
// fits.
#include "imaging/lzw/lzw.h"

#include <cstring>
#include <new>

namespace {

constexpr uint32_t kMagic = 0x36782453u;  // "S$x6" in memory order
constexpr uint32_t kDeadMagic = 0;
constexpr int kTableSize = 4096;
constexpr int kHashBits = 13;
constexpr uint32_t kHashMask = (1u << kHashBits) - 1;
constexpr uint32_t kGenerations = 1u << 12;

}  // namespace

struct LzwCoder {
    uint32_t magic = kMagic;
    LzwCallback callback = nullptr;
    void* context = nullptr;
    int init_width = 9, max_width = 12, mode = 0, msb_first = 0, early = 0;
    int clear_code = 256, end_code = 257, first_free = 258;
    int full_at = 4096;  // the encoder clears when the next free code reaches this

    int width = 9;
    int next = 258;     // encoder: next free code; decoder: the encoder's next, simulated
    uint64_t bits = 0;  // bit accumulator
    int nbits = 0;      // bits held in it
    uint8_t io[kLzwBlockSize];
    int io_len = 0, io_pos = 0;
    bool failed = false;  // encoder: the callback refused output

    // Encoder.
    bool started = false;
    int prefix = -1;
    // Slot word: the table generation (1..4095) in bits 20 and up, the key (prefix << 8
    // | byte) below; 0 is an empty slot. A clear only moves to the next generation.
    uint32_t generation = 1;
    uint32_t hash_slot[1u << kHashBits] = {};
    uint16_t hash_code[1u << kHashBits];

    // Decoder.
    int entries = 258;  // codes defined in the table
    int prev = -1;      // previous code since the last clear; -1 after a clear
    bool ended = false, corrupt = false;
    uint16_t d_prefix[kTableSize];
    uint8_t d_suffix[kTableSize];
    uint8_t d_first[kTableSize];
    uint16_t d_len[kTableSize];
    uint8_t pending[kTableSize];  // rest of a string that did not fit the caller's buffer
    int pend_pos = 0, pend_len = 0;
};

namespace {

bool valid(const LzwCoder* c) {
    return c && c->magic == kMagic;
}

// Counts one data code and grows the code width on the schedule both sides follow.
// `next` is the encoder's next free code; the decoder, one code behind in defining
// entries, has next - 1. The width grows when the decoder's next free code reaches the
// current width's limit (one code earlier with early change), so a code is never
// wider than the table the decoder holds when it reads it needs.
inline bool grows(const LzwCoder* c, int next, int width) {
    return width < c->max_width && next - 1 == (1 << width) - c->early;
}
inline void advance_next(LzwCoder* c) {
    ++c->next;
    if (grows(c, c->next, c->width)) ++c->width;
}

void next_generation(LzwCoder* c) {
    if (++c->generation == kGenerations) {  // generations used up: empty the slots once
        std::memset(c->hash_slot, 0, sizeof c->hash_slot);
        c->generation = 1;
    }
}

void start_state(LzwCoder* c) {
    c->width = c->init_width;
    c->next = c->first_free;
    c->bits = 0;
    c->nbits = 0;
    c->io_len = c->io_pos = 0;
    c->failed = false;
    c->started = false;
    c->prefix = -1;
    next_generation(c);
    c->entries = c->first_free;
    c->prev = -1;
    c->ended = c->corrupt = false;
    c->pend_pos = c->pend_len = 0;
}

// ---- Encoder

void put_block(LzwCoder* c) {
    if (c->io_len == 0) return;
    if (!c->failed) {
        const int r = c->callback(c->io, c->io_len, 1, c->context);
        if (r != c->io_len) c->failed = true;
    }
    c->io_len = 0;
}

inline void put_byte(LzwCoder* c, uint8_t b) {
    c->io[c->io_len++] = b;
    if (c->io_len == kLzwBlockSize) put_block(c);
}

inline void emit(LzwCoder* c, int code) {
    if (c->msb_first) {
        c->bits = (c->bits << c->width) | static_cast<uint64_t>(code);
        c->nbits += c->width;
        while (c->nbits >= 8) {
            c->nbits -= 8;
            put_byte(c, static_cast<uint8_t>(c->bits >> c->nbits));
        }
        c->bits &= (uint64_t{1} << c->nbits) - 1;
    } else {
        c->bits |= static_cast<uint64_t>(code) << c->nbits;
        c->nbits += c->width;
        while (c->nbits >= 8) {
            put_byte(c, static_cast<uint8_t>(c->bits));
            c->bits >>= 8;
            c->nbits -= 8;
        }
    }
}

inline uint32_t hash_of(uint32_t key) {
    return (key * 2654435761u) >> (32 - kHashBits);
}

// The encoder's inner loop keeps its state in locals; the coder is brought up to date
// before anything that reads it (a full output block, the end of the input).
void encode(LzwCoder* c, const uint8_t* p, size_t n) {
    const uint8_t* end = p + n;
    if (c->prefix < 0) c->prefix = *p++;
    int prefix = c->prefix;
    int next = c->next, width = c->width;
    uint32_t tag = c->generation << 20;
    uint64_t bits = c->bits;
    int nbits = c->nbits;
    const bool msb = c->msb_first != 0;
    const int full_at = c->full_at;

    auto emit_local = [&](int code) {
        if (msb) {
            bits = (bits << width) | static_cast<uint64_t>(code);
            nbits += width;
            while (nbits >= 8) {
                nbits -= 8;
                c->io[c->io_len++] = static_cast<uint8_t>(bits >> nbits);
                if (c->io_len == kLzwBlockSize) put_block(c);
            }
            bits &= (uint64_t{1} << nbits) - 1;
        } else {
            bits |= static_cast<uint64_t>(code) << nbits;
            nbits += width;
            while (nbits >= 8) {
                c->io[c->io_len++] = static_cast<uint8_t>(bits);
                if (c->io_len == kLzwBlockSize) put_block(c);
                bits >>= 8;
                nbits -= 8;
            }
        }
    };

    while (p < end) {
        const uint8_t byte = *p++;
        const uint32_t key = (static_cast<uint32_t>(prefix) << 8) | byte;
        const uint32_t want = tag | key;
        uint32_t h = hash_of(key);
        uint32_t slot;
        while ((slot = c->hash_slot[h]) != want && (slot & ~0xFFFFFu) == tag)
            h = (h + 1) & kHashMask;
        if (slot == want) {
            prefix = c->hash_code[h];
            continue;
        }
        emit_local(prefix);
        c->hash_slot[h] = want;
        c->hash_code[h] = static_cast<uint16_t>(next);
        ++next;
        if (grows(c, next, width)) ++width;
        if (next >= full_at) {
            emit_local(c->clear_code);
            width = c->init_width;
            next = c->first_free;
            next_generation(c);
            tag = c->generation << 20;
        }
        prefix = byte;
    }
    c->prefix = prefix;
    c->next = next;
    c->width = width;
    c->bits = bits;
    c->nbits = nbits;
}

// ---- Decoder

// Next code from the input, or -1 when the input ended.
inline int read_code(LzwCoder* c) {
    while (c->nbits < c->width) {
        if (c->io_pos == c->io_len) {
            const int r = c->callback(c->io, kLzwBlockSize, kLzwBlockSize, c->context);
            if (r <= 0) return -1;
            c->io_len = r > kLzwBlockSize ? kLzwBlockSize : r;
            c->io_pos = 0;
        }
        const uint8_t b = c->io[c->io_pos++];
        if (c->msb_first) {
            c->bits = (c->bits << 8) | b;
        } else {
            c->bits |= static_cast<uint64_t>(b) << c->nbits;
        }
        c->nbits += 8;
    }
    const uint64_t mask = (uint64_t{1} << c->width) - 1;
    int code;
    if (c->msb_first) {
        c->nbits -= c->width;
        code = static_cast<int>((c->bits >> c->nbits) & mask);
        c->bits &= (uint64_t{1} << c->nbits) - 1;
    } else {
        code = static_cast<int>(c->bits & mask);
        c->bits >>= c->width;
        c->nbits -= c->width;
    }
    return code;
}

inline void write_string(const LzwCoder* c, int code, uint8_t* dst_end) {
    uint8_t* q = dst_end;
    while (code >= c->first_free) {
        *--q = c->d_suffix[code];
        code = c->d_prefix[code];
    }
    *--q = static_cast<uint8_t>(code);
}

}  // namespace

LzwCoder* lzw_create(LzwCallback callback, void* context, int initial_width, int max_width,
                     int mode, int msb_first, int early_change) {
    if (!callback || max_width != 12 || initial_width < 3 || initial_width > 12) return nullptr;
    if (mode != kLzwDecode && mode != kLzwEncode) return nullptr;
    auto* c = new (std::nothrow) LzwCoder;
    if (!c) return nullptr;
    c->callback = callback;
    c->context = context;
    c->init_width = initial_width;
    c->max_width = max_width;
    c->mode = mode;
    c->msb_first = msb_first ? 1 : 0;
    c->early = early_change ? 1 : 0;
    c->clear_code = 1 << (initial_width - 1);
    c->end_code = c->clear_code + 1;
    c->first_free = c->clear_code + 2;
    c->full_at = (1 << max_width) - c->early;
    for (int i = 0; i < c->clear_code; ++i) {
        c->d_first[i] = static_cast<uint8_t>(i);
        c->d_suffix[i] = static_cast<uint8_t>(i);
        c->d_prefix[i] = 0;
        c->d_len[i] = 1;
    }
    start_state(c);
    return c;
}

size_t lzw_write(LzwCoder* c, const void* buffer, size_t n) {
    if (!valid(c) || c->mode != kLzwEncode || n == 0 || !buffer || c->failed) return 0;
    const auto* p = static_cast<const uint8_t*>(buffer);
    if (c->clear_code < 256) {
        for (size_t i = 0; i < n; ++i)
            if (p[i] >= c->clear_code) return 0;
    }
    if (!c->started) {
        c->started = true;
        emit(c, c->clear_code);
    }
    encode(c, p, n);
    return c->failed ? 0 : n;
}

size_t lzw_read(LzwCoder* c, void* buffer, size_t n) {
    if (!valid(c) || c->mode != kLzwDecode || !buffer) return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t got = 0;
    while (got < n) {
        if (c->pend_pos < c->pend_len) {
            size_t k = static_cast<size_t>(c->pend_len - c->pend_pos);
            if (k > n - got) k = n - got;
            std::memcpy(out + got, c->pending + c->pend_pos, k);
            c->pend_pos += static_cast<int>(k);
            got += k;
            continue;
        }
        if (c->ended) break;
        const int code = read_code(c);
        if (code < 0 || code == c->end_code) {
            c->ended = true;
            break;
        }
        if (code == c->clear_code) {
            c->width = c->init_width;
            c->next = c->first_free;
            c->entries = c->first_free;
            c->prev = -1;
            continue;
        }
        if (c->prev < 0) {
            // First code of a table: a literal.
            if (code > c->clear_code) {
                c->ended = c->corrupt = true;
                break;
            }
        } else {
            if (code > c->entries || (code == c->entries && c->entries >= kTableSize) ||
                (code >= c->clear_code && code < c->first_free)) {
                c->ended = c->corrupt = true;
                break;
            }
            if (c->entries < kTableSize) {
                const int e = c->entries++;
                const uint8_t fc = code < e ? c->d_first[code] : c->d_first[c->prev];
                c->d_prefix[e] = static_cast<uint16_t>(c->prev);
                c->d_suffix[e] = fc;
                c->d_first[e] = c->d_first[c->prev];
                c->d_len[e] = static_cast<uint16_t>(c->d_len[c->prev] + 1);
            }
        }
        const int len = c->d_len[code];
        if (static_cast<size_t>(len) <= n - got) {
            write_string(c, code, out + got + len);
            got += static_cast<size_t>(len);
        } else {
            write_string(c, code, c->pending + len);
            c->pend_pos = 0;
            c->pend_len = len;
        }
        c->prev = code;
        advance_next(c);
    }
    return got;
}

int lzw_flush(LzwCoder* c) {
    if (!valid(c)) return 0;
    int result = 0;
    if (c->mode == kLzwEncode && c->started) {
        if (c->prefix >= 0) {
            emit(c, c->prefix);
            advance_next(c);  // the decoder counts this code too
        }
        emit(c, c->end_code);
        if (c->nbits > 0) {
            const uint8_t last = c->msb_first ? static_cast<uint8_t>(c->bits << (8 - c->nbits))
                                              : static_cast<uint8_t>(c->bits);
            put_byte(c, last);
        }
        put_block(c);
        if (c->failed) result = -1;
    }
    start_state(c);
    return result;
}

void lzw_reset(LzwCoder* c) {
    if (valid(c)) start_state(c);
}

void lzw_close(LzwCoder* c) {
    if (!valid(c)) return;
    lzw_flush(c);
    c->magic = kDeadMagic;
    delete c;
}

void lzw_set_context(LzwCoder* c, void* context) {
    if (valid(c)) c->context = context;
}

void* lzw_context(const LzwCoder* c) {
    return valid(c) ? c->context : nullptr;
}

bool lzw_is_coder(const void* p) {
    return p && static_cast<const LzwCoder*>(p)->magic == kMagic;
}

bool lzw_is_encoder(const LzwCoder* c) {
    return valid(c) && c->mode == kLzwEncode;
}

bool lzw_corrupt(const LzwCoder* c) {
    return valid(c) && c->corrupt;
}
