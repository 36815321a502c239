// The LZW coder against a plain dictionary coder written here (a map of (prefix,
// byte) pairs and a table of whole strings): exact code streams for every literal
// width, bit order and width schedule (on noise, long runs, repeated stretches and
// record-like bytes, written in pieces of every size, and again after a flush), and decoded bytes of random and hostile code
// streams (tables kept full without a clear, codes naming the entry being defined,
// cut short, damaged, junk) read in pieces of every size from a source that hands
// over a few bytes at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "model/lzw/lzw.h"

namespace {

// Codes of `width` bits in either bit order; the last byte padded with zeros.
class BitWriter {
  public:
    explicit BitWriter(bool msb) : msb_(msb) {}
    void put(int code, int width) {
        for (int i = 0; i < width; ++i) {
            const int bit = msb_ ? (code >> (width - 1 - i)) & 1 : (code >> i) & 1;
            if (used_ % 8 == 0) bytes_.push_back(0);
            if (bit) bytes_.back() |= msb_ ? 0x80 >> (used_ % 8) : 1 << (used_ % 8);
            ++used_;
        }
    }
    std::vector<uint8_t> bytes() const { return bytes_; }

  private:
    bool msb_;
    size_t used_ = 0;
    std::vector<uint8_t> bytes_;
};

// What both sides count: the codes sent since the last clear and the width they have.
struct Schedule {
    int init, early, width, sent;
    Schedule(int init_width, int early_change) : init(init_width), early(early_change) {
        reset();
    }
    void reset() {
        width = init;
        sent = 0;
    }
    int first_free() const { return (1 << (init - 1)) + 2; }
    // One more data code sent: the width grows once the decoder's next free entry
    // reaches 2^width (2^width - 1 with early change).
    void count() {
        ++sent;
        const int decoder_next = first_free() + sent - 1;
        if (width < 12 && decoder_next == (1 << width) - early) ++width;
    }
};

std::vector<uint8_t> reference_encode(const std::vector<uint8_t>& in, int init, bool msb,
                                      int early) {
    if (in.empty()) return {};
    const int clear = 1 << (init - 1);
    Schedule s(init, early);
    BitWriter out(msb);
    std::map<std::pair<int, int>, int> dict;
    int next = s.first_free();
    out.put(clear, s.width);
    int prefix = in[0];
    for (size_t i = 1; i < in.size(); ++i) {
        const auto found = dict.find({prefix, in[i]});
        if (found != dict.end()) {
            prefix = found->second;
            continue;
        }
        out.put(prefix, s.width);
        dict[{prefix, in[i]}] = next++;
        s.count();
        if (next == 4096 - early) {  // table full: start again
            out.put(clear, s.width);
            dict.clear();
            next = s.first_free();
            s.reset();
        }
        prefix = in[i];
    }
    out.put(prefix, s.width);
    s.count();
    out.put(clear + 1, s.width);
    return out.bytes();
}

struct Decoded {
    std::vector<uint8_t> bytes;
    bool corrupt = false;
};

// Reads codes until the end code, the end of the bytes or a code that cannot occur.
Decoded reference_decode(const std::vector<uint8_t>& code, int init, bool msb, int early) {
    const int clear = 1 << (init - 1);
    Schedule s(init, early);
    std::vector<std::vector<uint8_t>> table;
    auto reset = [&] {
        table.assign(clear + 2, {});
        for (int i = 0; i < clear; ++i) table[i] = {static_cast<uint8_t>(i)};
        s.reset();
    };
    reset();
    int prev = -1;
    size_t bit = 0;
    Decoded d;
    while (bit + s.width <= code.size() * 8) {
        int c = 0;
        for (int i = 0; i < s.width; ++i, ++bit) {
            const int b = msb ? code[bit / 8] >> (7 - bit % 8) & 1 : code[bit / 8] >> (bit % 8) & 1;
            c = msb ? c << 1 | b : c | b << i;
        }
        if (c == clear) {
            reset();
            prev = -1;
            continue;
        }
        if (c == clear + 1) break;
        const int defined = static_cast<int>(table.size());
        const bool known = c < defined && (c < clear || c > clear + 1);
        const bool next_entry = c == defined && prev >= 0 && defined < 4096;
        if ((prev < 0 && c > clear) || (!known && !next_entry)) {
            d.corrupt = true;
            break;
        }
        std::vector<uint8_t> str;
        if (known) {
            str = table[c];
        } else {
            str = table[prev];
            str.push_back(table[prev][0]);
        }
        if (prev >= 0 && defined < 4096) {
            table.push_back(table[prev]);
            table.back().push_back(str[0]);
        }
        d.bytes.insert(d.bytes.end(), str.begin(), str.end());
        prev = c;
        s.count();
    }
    return d;
}

// A hostile but mostly decodable stream: data codes drawn from what the table holds,
// a quarter of them the entry being defined, clears now and then (or never, so the
// table stays full), optionally an end code.
std::vector<uint8_t> random_codes(std::mt19937& rng, int init, bool msb, int early, int count,
                                  bool clears, bool end) {
    const int clear = 1 << (init - 1);
    Schedule s(init, early);
    BitWriter out(msb);
    int defined = s.first_free(), prev = -1;
    out.put(clear, s.width);
    for (int i = 0; i < count; ++i) {
        if (clears && rng() % 2500 == 0) {
            out.put(clear, s.width);
            s.reset();
            defined = s.first_free();
            prev = -1;
            continue;
        }
        int c;
        if (prev < 0) {
            c = static_cast<int>(rng() % clear);
        } else if (rng() % 4 == 0 && defined < 4096) {
            c = defined;
        } else {
            c = static_cast<int>(rng() % (defined - 2));
            if (c >= clear) c += 2;
        }
        if (prev >= 0 && defined < 4096) ++defined;
        out.put(c, s.width);
        s.count();
        prev = c;
    }
    if (end) out.put(clear + 1, s.width);
    return out.bytes();
}

struct Sink {
    std::vector<uint8_t> bytes;
    std::vector<int> blocks;
};

int sink_cb(uint8_t* buf, int count, int, void* ctx) {
    auto* s = static_cast<Sink*>(ctx);
    s->bytes.insert(s->bytes.end(), buf, buf + count);
    s->blocks.push_back(count);
    return count;
}

// Hands over at most `chunk` bytes a call (0: as many as asked).
struct Source {
    const std::vector<uint8_t>* bytes;
    size_t chunk;
    size_t pos = 0;
};

int source_cb(uint8_t* buf, int count, int, void* ctx) {
    auto* s = static_cast<Source*>(ctx);
    size_t n = std::min(static_cast<size_t>(count), s->bytes->size() - s->pos);
    if (s->chunk) n = std::min(n, s->chunk);
    if (n) std::memcpy(buf, s->bytes->data() + s->pos, n);
    s->pos += n;
    return static_cast<int>(n);
}

std::vector<uint8_t> sample(const std::string& kind, size_t n, int alphabet, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) {
        if (kind == "noise") {
            v[i] = static_cast<uint8_t>(rng() % alphabet);
        } else if (kind == "runs") {  // long runs: codes naming the entry being defined
            v[i] = static_cast<uint8_t>(i / 5000 % alphabet);
        } else if (kind == "records") {  // a drawing file's records: a few shapes, many values
            const uint32_t shape = rng() % 4, value = rng() % 200;
            const uint8_t rec[12] = {0x09, static_cast<uint8_t>(60 + shape), 0, 0, 0, 0x05, 'E',
                                     'L', 'A', 'R', static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 4)};
            for (size_t j = 0; j < sizeof rec && i < n; ++j, ++i) v[i] = static_cast<uint8_t>(rec[j] % alphabet);
            --i;
        } else {  // "repeats": copies of earlier stretches with a little noise
            v[i] = i >= 300 && rng() % 9 ? v[i - 300 + rng() % 3] : static_cast<uint8_t>(rng() % alphabet);
        }
    }
    return v;
}

TEST(LzwReference, EncoderWritesTheReferenceCodeStream) {
    struct Case {
        int width, msb, early;
        const char* kind;
        size_t size;
        size_t piece;  // bytes per lzw_write
    };
    const Case cases[] = {
        {9, 0, 0, "repeats", 300000, 65536},  {9, 1, 0, "repeats", 300000, 7},
        {9, 0, 1, "noise", 150000, 1},        {9, 1, 1, "noise", 150000, 4096},
        {9, 0, 0, "runs", 200000, 1000},      {9, 1, 1, "runs", 200000, 3},
        {3, 0, 0, "noise", 60000, 13},        {3, 1, 1, "runs", 60000, 60000},
        {5, 1, 0, "repeats", 80000, 999},     {8, 0, 1, "repeats", 80000, 2},
        {12, 0, 0, "noise", 40000, 40000},    {12, 1, 1, "repeats", 40000, 5},
        {9, 0, 0, "noise", 1, 1},             {9, 1, 1, "runs", 2, 1},
        {9, 0, 0, "records", 400000, 400000}, {9, 1, 0, "records", 400000, 1},
        {9, 0, 1, "records", 400000, 333},    {5, 1, 1, "records", 100000, 4096},
        {9, 0, 0, "runs", 3000000, 65536},
    };
    for (const Case& k : cases) {
        const int alphabet = std::min(256, 1 << (k.width - 1));
        const auto in = sample(k.kind, k.size, alphabet, static_cast<uint32_t>(k.size + k.width));
        Sink sink;
        LzwCoder* c = lzw_create(&sink_cb, &sink, k.width, 12, kLzwEncode, k.msb, k.early);
        ASSERT_NE(c, nullptr);
        for (size_t i = 0; i < in.size(); i += k.piece) {
            const size_t n = std::min(k.piece, in.size() - i);
            ASSERT_EQ(lzw_write(c, in.data() + i, n), n);
        }
        ASSERT_EQ(lzw_flush(c), 0);
        // The flushed coder starts a new stream: the same bytes give the same codes
        // (nothing of the first stream's table or history is used).
        Sink again;
        lzw_set_context(c, &again);
        ASSERT_EQ(lzw_write(c, in.data(), in.size()), in.size());
        ASSERT_EQ(lzw_flush(c), 0);
        lzw_close(c);
        EXPECT_EQ(again.bytes, sink.bytes);
        const std::string what = std::string(k.kind) + " width " + std::to_string(k.width) +
                                 " msb " + std::to_string(k.msb) + " early " +
                                 std::to_string(k.early) + " piece " + std::to_string(k.piece);
        EXPECT_EQ(sink.bytes, reference_encode(in, k.width, k.msb, k.early)) << what;
        // Whole blocks of 1024 bytes; only the last may be shorter.
        ASSERT_FALSE(sink.blocks.empty()) << what;
        for (size_t i = 0; i + 1 < sink.blocks.size(); ++i)
            ASSERT_EQ(sink.blocks[i], kLzwBlockSize) << what << " block " << i;
        EXPECT_GT(sink.blocks.back(), 0) << what;
        EXPECT_LE(sink.blocks.back(), kLzwBlockSize) << what;
    }
}

TEST(LzwReference, DecoderAgreesOnRandomAndHostileStreams) {
    enum Kind { kValid, kKeepFull, kWithClears, kCut, kDamaged, kJunk };
    struct Case {
        Kind kind;
        int width, msb, early;
        size_t read;   // bytes asked per lzw_read
        size_t chunk;  // bytes the source hands over per call (0: all asked)
    };
    const Case cases[] = {
        {kValid, 9, 0, 0, 1, 1},          {kValid, 9, 1, 1, 7, 3},
        {kValid, 3, 1, 0, 100000, 0},     {kValid, 12, 0, 1, 4096, 5},
        {kKeepFull, 9, 0, 0, 3, 0},       {kKeepFull, 9, 1, 0, 1 << 20, 2},
        {kKeepFull, 9, 0, 1, 65536, 7},   {kKeepFull, 3, 0, 0, 1000, 1},
        {kKeepFull, 4, 1, 1, 1, 0},       {kKeepFull, 12, 1, 0, 333, 0},
        {kWithClears, 9, 0, 0, 5, 0},     {kWithClears, 9, 1, 1, 1 << 16, 1},
        {kWithClears, 6, 0, 1, 2, 3},     {kCut, 9, 0, 0, 1, 0},
        {kCut, 9, 1, 1, 1000, 6},         {kDamaged, 9, 0, 0, 17, 0},
        {kDamaged, 9, 1, 0, 1 << 20, 1},  {kDamaged, 7, 0, 1, 64, 4},
        {kJunk, 9, 0, 0, 1, 0},           {kJunk, 9, 1, 1, 4096, 3},
        {kJunk, 3, 1, 0, 100, 0},
    };
    for (int round = 0; round < 4; ++round) {
        for (const Case& k : cases) {
            std::mt19937 rng(static_cast<uint32_t>(round * 100 + k.kind * 10 + k.width));
            const int alphabet = std::min(256, 1 << (k.width - 1));
            std::vector<uint8_t> code;
            switch (k.kind) {
                case kValid:
                case kCut:
                case kDamaged:
                    code = reference_encode(sample(round % 2 ? "repeats" : "runs", 40000 + round * 9000,
                                                   alphabet, rng()),
                                            k.width, k.msb, k.early);
                    break;
                case kKeepFull:
                    code = random_codes(rng, k.width, k.msb, k.early, 9000 + round * 3000, false,
                                        round % 2);
                    break;
                case kWithClears:
                    code = random_codes(rng, k.width, k.msb, k.early, 12000, true, true);
                    break;
                case kJunk:
                    code.resize(1 + rng() % 5000);
                    for (auto& b : code) b = static_cast<uint8_t>(rng());
                    break;
            }
            if (k.kind == kCut) code.resize(code.size() * (round + 1) / 5);
            if (k.kind == kDamaged) {
                for (int i = 0; i < 3; ++i) code[rng() % code.size()] ^= static_cast<uint8_t>(1 << rng() % 8);
            }
            const Decoded want = reference_decode(code, k.width, k.msb, k.early);

            Source src{&code, k.chunk};
            LzwCoder* c = lzw_create(&source_cb, &src, k.width, 12, kLzwDecode, k.msb, k.early);
            ASSERT_NE(c, nullptr);
            std::vector<uint8_t> got, buf(k.read);
            for (;;) {
                const size_t n = lzw_read(c, buf.data(), k.read);
                got.insert(got.end(), buf.begin(), buf.begin() + n);
                if (n < k.read || got.size() > want.bytes.size() + (1u << 20)) break;
            }
            const bool corrupt = lzw_corrupt(c);
            lzw_close(c);
            const std::string what = "kind " + std::to_string(k.kind) + " round " +
                                     std::to_string(round) + " width " + std::to_string(k.width) +
                                     " msb " + std::to_string(k.msb) + " early " +
                                     std::to_string(k.early) + " read " + std::to_string(k.read) +
                                     " chunk " + std::to_string(k.chunk);
            ASSERT_EQ(got.size(), want.bytes.size()) << what;
            EXPECT_TRUE(got == want.bytes) << what;
            EXPECT_EQ(corrupt, want.corrupt) << what;
        }
    }
}

}  // namespace
