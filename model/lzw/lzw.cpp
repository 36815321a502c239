// LZW coder: variable-width codes (up to 12 bits) with clear and end codes, either
// bit order and either code-width schedule. The encoder finds (prefix, byte) pairs in
// a 64 KiB open-addressing table whose slots hold pair and code in one word (one load
// a probe, emptied with the code table); at the start of each string it first tries
// the latest code that began with the same four bytes, checked against the input. The
// decoder writes into a history of its own: a code's string is copied from where the
// entry's string was first written, and the caller's reads are served from that
// history.
#include "model/lzw/lzw.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr uint32_t kMagic = 0x36782453u;  // "S$x6" in memory order
constexpr uint32_t kDeadMagic = 0;
constexpr int kTableSize = 4096;
constexpr int kHashBits = 14;
constexpr uint32_t kHashMask = (1u << kHashBits) - 1;
constexpr size_t kSlots = size_t{1} << kHashBits;  // slots of the encoder's table
constexpr size_t kHistoryStart = 64 * 1024;          // first size of the decoder's history
constexpr size_t kCopySlack = 16;                    // bytes a short copy may write past its end
constexpr size_t kBatch = 64 * 1024;                 // most bytes decoded ahead of the reader
constexpr int kGuessBits = 12;
constexpr size_t kGuessSlots = size_t{1} << kGuessBits;  // slots of the encoder's guess table
constexpr size_t kGuessMin = 4;     // shortest string the guess table notes
constexpr size_t kHistSlack = 8;    // readable bytes past the encoder's history
constexpr size_t kGuessWalk = 16;   // most prefix links followed back from a guess

#if defined(__GNUC__)
#define LZW_INLINE inline __attribute__((always_inline))
#else
#define LZW_INLINE inline
#endif

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
    uint8_t io[kLzwBlockSize + 4];  // the encoder may store a word just past its bytes
    int io_len = 0, io_pos = 0;
    bool failed = false;  // encoder: the callback refused output

    // Encoder.
    bool started = false;
    int prefix = -1;
    // Open addressing: a slot holds (prefix << 8 | byte) << 12 | code, 0 when empty
    // (code 0 is a literal, never an entry).
    uint32_t table[kSlots];
    // The encoder keeps the bytes since the last clear in `hist` (hist_pos of them;
    // `cycle` is where the table's first string starts) and, for every code defined
    // since, where its string starts (from `cycle`), its length and its prefix code.
    // `guess` maps the first four bytes of a string to the latest code starting with
    // them: at the start of a string the encoder checks that code's bytes against the
    // input and jumps over the whole match instead of looking each byte up.
    size_t cycle = 0;
    size_t start = 0;    // where the current prefix's string starts in `hist`
    bool no_guess = false;  // the history could not grow: plain lookups until a reset
    uint32_t e_off[kTableSize];
    uint16_t e_len[kTableSize];
    uint16_t e_parent[kTableSize];
    uint16_t guess[kGuessSlots];

    // Decoder.
    int entries = 258;  // codes defined in the table
    int prev = -1;      // previous code since the last clear; -1 after a clear
    bool ended = false, corrupt = false;
    bool end_code_met = false;   // the data ended with its end code, not by running out
    bool clear_pending = false;  // a clear code came while decoded bytes were undelivered
    uint32_t d_off[kTableSize];  // where in the history the entry's string stands
    uint16_t d_len[kTableSize];
    uint8_t* hist = nullptr;     // decoded bytes since the last clear
    size_t hist_cap = 0;
    size_t hist_pos = 0;   // end of the decoded bytes
    size_t pend_pos = 0;   // bytes before this were handed to the caller
    size_t last_pos = 0;   // where the previous code's string was written
    size_t table_end = 0;  // with a full table: the end of the bytes its entries use

    ~LzwCoder() { std::free(hist); }
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

void clear_table(LzwCoder* c) {
    std::memset(c->table, 0, sizeof c->table);
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
    if (c->mode == kLzwEncode) clear_table(c);
    c->entries = c->first_free;
    c->prev = -1;
    c->ended = c->corrupt = c->clear_pending = false;
    c->end_code_met = false;
    c->hist_pos = c->pend_pos = c->last_pos = c->table_end = 0;
    c->cycle = c->start = 0;
    c->no_guess = false;
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

// Bits waiting for output, kept in registers by the encoder's loop.
struct BitOut {
    uint64_t bits;
    int nbits;
};

// Moves 32 finished bits to the output block (the block still goes out at 1024 bytes).
LZW_INLINE void put_word(LzwCoder* c, uint32_t word_in_order) {
    uint8_t b[4];
    std::memcpy(b, &word_in_order, 4);
    if (c->io_len <= kLzwBlockSize - 4) {
        std::memcpy(c->io + c->io_len, b, 4);
        c->io_len += 4;
        if (c->io_len == kLzwBlockSize) put_block(c);
    } else {
        for (uint8_t v : b) put_byte(c, v);
    }
}

// Appends `code` at `width` bits; whole 32-bit words go out as they fill.
LZW_INLINE void emit_bits(LzwCoder* c, BitOut& o, bool msb, int code, int width) {
    if (msb) {
        o.bits = (o.bits << width) | static_cast<uint64_t>(code);
        o.nbits += width;
        if (o.nbits >= 32) {
            o.nbits -= 32;
            uint32_t w = static_cast<uint32_t>(o.bits >> o.nbits);
            if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap32(w);
            put_word(c, w);
            o.bits &= (uint64_t{1} << o.nbits) - 1;
        }
    } else {
        o.bits |= static_cast<uint64_t>(code) << o.nbits;
        o.nbits += width;
        if (o.nbits >= 32) {
            uint32_t w = static_cast<uint32_t>(o.bits);
            if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap32(w);
            put_word(c, w);
            o.bits >>= 32;
            o.nbits -= 32;
        }
    }
}

// Writes out the whole bytes held in the accumulator (the tail keeps fewer than 8).
void drain_bytes(LzwCoder* c) {
    if (c->msb_first) {
        while (c->nbits >= 8) {
            c->nbits -= 8;
            put_byte(c, static_cast<uint8_t>(c->bits >> c->nbits));
        }
        c->bits &= (uint64_t{1} << c->nbits) - 1;
    } else {
        while (c->nbits >= 8) {
            put_byte(c, static_cast<uint8_t>(c->bits));
            c->bits >>= 8;
            c->nbits -= 8;
        }
    }
}

void emit(LzwCoder* c, int code) {
    BitOut o{c->bits, c->nbits};
    emit_bits(c, o, c->msb_first != 0, code, c->width);
    c->bits = o.bits;
    c->nbits = o.nbits;
}

// The value of the encoder's next free code at which the width grows past `width`
// (never past the maximum width).
inline int grow_point(const LzwCoder* c, int width) {
    return width < c->max_width ? (1 << width) - c->early + 1 : -1;
}

// The encoder's inner loop keeps its state in locals, and a hit and a miss run the
// same instructions (selects, not branches): whether a byte extends the string is as
// good as random to the processor. The coder is brought up to date at the end.
template <bool kMsb>
void encode(LzwCoder* c, const uint8_t* p, size_t n) {
    const uint8_t* end = p + n;
    if (c->prefix < 0) c->prefix = *p++;
    uint32_t prefix = static_cast<uint32_t>(c->prefix);
    uint32_t next = static_cast<uint32_t>(c->next);
    int width = c->width;
    uint32_t grow_at = static_cast<uint32_t>(grow_point(c, width));
    BitOut o{c->bits, c->nbits};
    const uint32_t full_at = static_cast<uint32_t>(c->full_at);
    uint32_t* const table = c->table;
    uint8_t* const io = c->io;
    int io_len = c->io_len;  // a multiple of 4 here: the encoder writes whole words

    while (p < end) {
        const uint32_t byte = *p++;
        const uint32_t key = (prefix << 8) | byte;
        const uint32_t want = key << 12;
        uint32_t h = (key * 2654435761u) >> (32 - kHashBits);
        uint32_t slot = table[h];
        while (slot != 0 && (slot & ~0xFFFu) != want) {
            h = (h + 1) & kHashMask;
            slot = table[h];
        }
        // A miss emits the prefix, defines the next code and starts again at the byte.
        const uint32_t miss = slot == 0;
        const uint32_t take = 0u - miss;
        const int bits_in = width & static_cast<int>(take);
        if (kMsb) {
            o.bits = (o.bits << bits_in) | (prefix & take);
        } else {
            o.bits |= static_cast<uint64_t>(prefix & take) << o.nbits;
        }
        o.nbits += bits_in;
        table[h] = miss ? (want | next) : slot;
        next += miss;
        prefix = miss ? byte : (slot & 0xFFFu);

        // A whole word goes out when 32 bits are waiting (stored either way).
        const int word_out = o.nbits >= 32;
        uint32_t w;
        if (kMsb) {
            w = static_cast<uint32_t>(o.bits >> ((o.nbits - 32) & 63));
            if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap32(w);
            o.nbits -= 32 * word_out;
            o.bits &= (uint64_t{1} << o.nbits) - 1;
        } else {
            w = static_cast<uint32_t>(o.bits);
            if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap32(w);
            o.bits >>= 32 * word_out;
            o.nbits -= 32 * word_out;
        }
        std::memcpy(io + io_len, &w, 4);
        io_len += 4 * word_out;
        if (io_len == kLzwBlockSize) [[unlikely]] {
            c->io_len = io_len;
            put_block(c);
            io_len = 0;
        }

        if (next == grow_at) [[unlikely]] {
            ++width;
            grow_at = static_cast<uint32_t>(grow_point(c, width));
        }
        if (next >= full_at) [[unlikely]] {
            c->io_len = io_len;
            emit_bits(c, o, kMsb, c->clear_code, width);
            io_len = c->io_len;
            width = c->init_width;
            grow_at = static_cast<uint32_t>(grow_point(c, width));
            next = static_cast<uint32_t>(c->first_free);
            clear_table(c);
        }
    }
    c->io_len = io_len;
    c->prefix = static_cast<int>(prefix);
    c->next = static_cast<int>(next);
    c->width = width;
    c->bits = o.bits;
    c->nbits = o.nbits;
}

// Number of equal bytes at the fronts of `a` and `b`, at most `limit`; both may be
// read up to 8 bytes past `limit`.
LZW_INLINE size_t match_length(const uint8_t* a, const uint8_t* b, size_t limit) {
    size_t k = 0;
    while (k < limit) {
        uint64_t x, y;
        std::memcpy(&x, a + k, 8);
        std::memcpy(&y, b + k, 8);
        const uint64_t d = x ^ y;
        if (d != 0) {
            if constexpr (std::endian::native == std::endian::little) {
                k += static_cast<size_t>(std::countr_zero(d)) >> 3;
            } else {
                k += static_cast<size_t>(std::countl_zero(d)) >> 3;
            }
            return std::min(k, limit);
        }
        k += 8;
    }
    return limit;
}

LZW_INLINE uint32_t guess_slot(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return (v * 2654435761u) >> (32 - kGuessBits);
}

// Appends the caller's bytes to the encoder's history, dropping the bytes before the
// table's first string once they are at least half of it. False when memory ran out.
bool append_history(LzwCoder* c, const uint8_t* p, size_t n) {
    if (c->cycle > 0 && c->cycle >= c->hist_pos / 2) {
        std::memmove(c->hist, c->hist + c->cycle, c->hist_pos - c->cycle);
        c->hist_pos -= c->cycle;
        c->start -= c->cycle;
        c->cycle = 0;
    }
    const size_t need = c->hist_pos + n + kHistSlack;
    if (need > c->hist_cap) {
        size_t cap = c->hist_cap ? c->hist_cap : kHistoryStart;
        while (cap < need) cap *= 2;
        auto* grown = static_cast<uint8_t*>(std::realloc(c->hist, cap));
        if (!grown) return false;
        c->hist = grown;
        c->hist_cap = cap;
    }
    std::memcpy(c->hist + c->hist_pos, p, n);
    std::memset(c->hist + c->hist_pos + n, 0, kHistSlack);
    c->hist_pos += n;
    return true;
}

// The encoder with the guess table: gives exactly the codes of `encode` (every prefix
// of a code's string is itself a code, so a jump to a code whose string continues the
// input lands where byte-by-byte look-ups would, having emitted nothing on the way).
// Works on the history, whose last n bytes are the caller's new bytes.
template <bool kMsb>
void encode_guessing(LzwCoder* c, size_t n) {
    uint8_t* const hist = c->hist;
    size_t i = c->hist_pos - n;
    const size_t end = c->hist_pos;
    if (c->prefix < 0) {
        c->prefix = hist[i];
        c->start = c->cycle = i;
        ++i;
    }
    uint32_t prefix = static_cast<uint32_t>(c->prefix);
    size_t start = c->start, cycle = c->cycle;
    uint32_t next = static_cast<uint32_t>(c->next);
    int width = c->width;
    uint32_t grow_at = static_cast<uint32_t>(grow_point(c, width));
    BitOut o{c->bits, c->nbits};
    const uint32_t full_at = static_cast<uint32_t>(c->full_at);
    const uint32_t first_free = static_cast<uint32_t>(c->first_free);
    uint32_t* const table = c->table;

    while (i < end) {
        // Follow the table while the input extends the string.
        uint32_t byte, want, h, slot;
        for (;;) {
            byte = hist[i];
            const uint32_t key = (prefix << 8) | byte;
            want = key << 12;
            h = (key * 2654435761u) >> (32 - kHashBits);
            slot = table[h];
            while (slot != 0 && (slot & ~0xFFFu) != want) {
                h = (h + 1) & kHashMask;
                slot = table[h];
            }
            if (slot == 0) break;
            prefix = slot & 0xFFFu;
            if (++i == end) goto done;
        }
        // A miss: emit the prefix, define the next code, start again at the byte.
        emit_bits(c, o, kMsb, static_cast<int>(prefix), width);
        table[h] = want | next;
        {
            const size_t len = i + 1 - start;
            c->e_off[next] = static_cast<uint32_t>(start - cycle);
            c->e_len[next] = static_cast<uint16_t>(len);
            c->e_parent[next] = static_cast<uint16_t>(prefix);
            if (len >= kGuessMin) c->guess[guess_slot(hist + start)] = static_cast<uint16_t>(next);
        }
        ++next;
        if (next == grow_at) [[unlikely]] {
            ++width;
            grow_at = static_cast<uint32_t>(grow_point(c, width));
        }
        prefix = byte;
        start = i;
        ++i;
        if (next >= full_at) [[unlikely]] {
            emit_bits(c, o, kMsb, c->clear_code, width);
            width = c->init_width;
            grow_at = static_cast<uint32_t>(grow_point(c, width));
            next = first_free;
            clear_table(c);
            cycle = start;
        }
        // The start of a string: try the latest code that began with these bytes.
        if (end - start >= kGuessMin) {
            const uint32_t g = c->guess[guess_slot(hist + start)];
            if (g >= first_free && g < next) {
                const size_t glen = c->e_len[g];
                const size_t k = match_length(hist + start, hist + cycle + c->e_off[g],
                                              std::min(glen, end - start));
                if (k >= 2 && glen - k <= kGuessWalk) {
                    // The code of the matched part: the guess or one of its prefixes.
                    uint32_t code = g;
                    for (size_t up = glen - k; up > 0; --up) code = c->e_parent[code];
                    prefix = code;
                    i = start + k;
                }
            }
        }
    }
done:
    c->prefix = static_cast<int>(prefix);
    c->start = start;
    c->cycle = cycle;
    c->next = static_cast<int>(next);
    c->width = width;
    c->bits = o.bits;
    c->nbits = o.nbits;
}

// ---- Decoder

// Makes room for `need` bytes (plus the copy slack) in the history; false when memory
// ran out.
bool reserve_history(LzwCoder* c, size_t need) {
    need += kCopySlack;
    if (need <= c->hist_cap) return true;
    size_t cap = c->hist_cap ? c->hist_cap : kHistoryStart;
    while (cap < need) cap *= 2;
    auto* grown = static_cast<uint8_t*>(std::realloc(c->hist, cap));
    if (!grown) return false;
    std::memset(grown + c->hist_cap, 0, cap - c->hist_cap);
    c->hist = grown;
    c->hist_cap = cap;
    return true;
}

// Bit input of the decoder, kept in registers by its loop.
struct BitIn {
    uint64_t bits;
    int nbits;
    int pos, len;  // in the coder's input block
};

// Next code from the input, or -1 when the input ended.
template <bool kMsb>
LZW_INLINE int read_code(LzwCoder* c, BitIn& in, int width) {
    if (in.nbits < width) {
        if (!kMsb && in.len - in.pos >= 8) {
            // Seven whole bytes at once; the accumulator keeps only its valid bits.
            uint64_t v;
            std::memcpy(&v, c->io + in.pos, 8);
            if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
            const int take = (63 - in.nbits) >> 3;
            in.bits = (in.bits & ((uint64_t{1} << in.nbits) - 1)) | (v << in.nbits);
            in.pos += take;
            in.nbits += take * 8;
            if (in.nbits < 64) in.bits &= (uint64_t{1} << in.nbits) - 1;
        } else {
            while (in.nbits < width) {
                if (in.pos == in.len) {
                    const int r = c->callback(c->io, kLzwBlockSize, kLzwBlockSize, c->context);
                    if (r <= 0) return -1;
                    in.len = r > kLzwBlockSize ? kLzwBlockSize : r;
                    in.pos = 0;
                }
                const uint8_t b = c->io[in.pos++];
                if (kMsb) {
                    in.bits = (in.bits << 8) | b;
                } else {
                    in.bits |= static_cast<uint64_t>(b) << in.nbits;
                }
                in.nbits += 8;
            }
        }
    }
    const uint64_t mask = (uint64_t{1} << width) - 1;
    int code;
    if (kMsb) {
        in.nbits -= width;
        code = static_cast<int>((in.bits >> in.nbits) & mask);
        in.bits &= (uint64_t{1} << in.nbits) - 1;
    } else {
        code = static_cast<int>(in.bits & mask);
        in.bits >>= width;
        in.nbits -= width;
    }
    return code;
}

// Copies `len` bytes from `src` forward to `dst` in the history; the source may run
// into the destination (a code that repeats its own entry), and short copies may
// write up to kCopySlack bytes past the end.
LZW_INLINE void copy_string(uint8_t* dst, const uint8_t* src, size_t len) {
    const size_t gap = static_cast<size_t>(dst - src);
    if (len <= 16 && gap >= 16) {
        std::memcpy(dst, src, 16);
    } else if (gap >= len) {
        std::memcpy(dst, src, len);
    } else {
        for (size_t i = 0; i < len; ++i) dst[i] = src[i];
    }
}

// Decodes codes into the history until it holds `want` undelivered bytes, the code
// stream ends, or a clear code arrives while decoded bytes are still undelivered.
// Called only when everything decoded so far was delivered.
template <bool kMsb>
void decode_more(LzwCoder* c, size_t want) {
    if (c->clear_pending) {
        c->clear_pending = false;
        c->hist_pos = c->pend_pos = 0;
    } else if (c->entries >= kTableSize && c->hist_pos > c->table_end) {
        // A full table defines nothing more: what follows its entries' bytes is reused.
        c->hist_pos = c->pend_pos = c->table_end;
    }
    want = std::min(want, kBatch);
    BitIn in{c->bits, c->nbits, c->io_pos, c->io_len};
    int width = c->width, next = c->next, entries = c->entries, prev = c->prev;
    size_t pos = c->hist_pos, last_pos = c->last_pos;
    size_t goal = c->pend_pos + want;
    const int clear_code = c->clear_code, end_code = c->end_code, first_free = c->first_free;
    while (pos < goal) {
        const int code = read_code<kMsb>(c, in, width);
        if (code < 0 || code == end_code) {
            c->ended = true;
            c->end_code_met = code == end_code;
            break;
        }
        if (code == clear_code) {
            width = c->init_width;
            next = first_free;
            entries = first_free;
            prev = -1;
            if (pos == c->pend_pos) {
                pos = last_pos = c->pend_pos = 0;
                goal = want;
                continue;
            }
            c->clear_pending = true;
            break;
        }
        if (prev < 0) {
            // First code of a table: a literal.
            if (code > clear_code) {
                c->ended = c->corrupt = true;
                break;
            }
        } else {
            if (code > entries || (code == entries && entries >= kTableSize) ||
                (code >= clear_code && code < first_free)) {
                c->ended = c->corrupt = true;
                break;
            }
            if (entries < kTableSize) {
                // The new entry is the previous string plus the first byte of this
                // one, which is written right behind the previous string.
                c->d_off[entries] = static_cast<uint32_t>(last_pos);
                c->d_len[entries] = static_cast<uint16_t>(c->d_len[prev] + 1);
                ++entries;
                // The last entry ends with the first byte of this string.
                if (entries == kTableSize) c->table_end = pos + 1;
            }
        }
        const size_t len = c->d_len[code];
        if (pos + len + kCopySlack > c->hist_cap && !reserve_history(c, pos + len)) {
            c->ended = true;  // out of memory: the data ends here
            break;
        }
        uint8_t* const hist = c->hist;
        if (code < clear_code) {
            hist[pos] = static_cast<uint8_t>(code);
        } else {
            copy_string(hist + pos, hist + c->d_off[code], len);
        }
        last_pos = pos;
        pos += len;
        prev = code;
        ++next;
        if (grows(c, next, width)) ++width;
    }
    c->bits = in.bits;
    c->nbits = in.nbits;
    c->io_pos = in.pos;
    c->io_len = in.len;
    c->width = width;
    c->next = next;
    c->entries = entries;
    c->prev = prev;
    c->hist_pos = pos;
    c->last_pos = last_pos;
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
    if (mode == kLzwDecode && !reserve_history(c, kHistoryStart - kCopySlack)) {
        delete c;
        return nullptr;
    }
    std::memset(c->guess, 0, sizeof c->guess);
    for (int i = 0; i < c->clear_code; ++i) {
        c->d_off[i] = 0;
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
    // In pieces, so the history holds little more than the bytes since the last clear.
    for (size_t done = 0; done < n;) {
        const size_t k = std::min(n - done, kBatch);
        if (!c->no_guess && !append_history(c, p + done, k)) {
            // Out of memory for the history: plain look-ups from here on (same codes).
            c->no_guess = true;
        }
        if (c->no_guess) {
            if (c->msb_first) {
                encode<true>(c, p + done, k);
            } else {
                encode<false>(c, p + done, k);
            }
        } else if (c->msb_first) {
            encode_guessing<true>(c, k);
        } else {
            encode_guessing<false>(c, k);
        }
        done += k;
    }
    return c->failed ? 0 : n;
}

size_t lzw_read(LzwCoder* c, void* buffer, size_t n) {
    if (!valid(c) || c->mode != kLzwDecode || !buffer) return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t got = 0;
    while (got < n) {
        if (c->pend_pos < c->hist_pos) {
            const size_t k = std::min(c->hist_pos - c->pend_pos, n - got);
            std::memcpy(out + got, c->hist + c->pend_pos, k);
            c->pend_pos += k;
            got += k;
            continue;
        }
        if (c->ended) break;
        if (c->msb_first) {
            decode_more<true>(c, n - got);
        } else {
            decode_more<false>(c, n - got);
        }
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
        drain_bytes(c);
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

bool lzw_end_code_met(const LzwCoder* c) {
    return valid(c) && c->end_code_met;
}
