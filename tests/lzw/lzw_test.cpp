// LZW coder: exact code streams for small inputs in both bit orders, round trips of
// many kinds of data through every flag combination and read size, table clears,
// refusals, callback failures and hostile code streams.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "model/lzw/lzw.h"

namespace {

struct Sink {
    std::vector<uint8_t> bytes;
    std::vector<int> block_sizes;
    int fail_after = -1;  // blocks accepted before the callback fails; -1 never
};

int sink_cb(uint8_t* buf, int count, int, void* ctx) {
    auto* s = static_cast<Sink*>(ctx);
    if (s->fail_after == 0) return 0;
    if (s->fail_after > 0) --s->fail_after;
    s->bytes.insert(s->bytes.end(), buf, buf + count);
    s->block_sizes.push_back(count);
    return count;
}

struct Source {
    const std::vector<uint8_t>* bytes;
    size_t pos = 0;
};

int source_cb(uint8_t* buf, int count, int, void* ctx) {
    auto* s = static_cast<Source*>(ctx);
    const size_t n = std::min(static_cast<size_t>(count), s->bytes->size() - s->pos);
    if (n) std::memcpy(buf, s->bytes->data() + s->pos, n);
    s->pos += n;
    return static_cast<int>(n);
}

std::vector<uint8_t> encode(const std::vector<uint8_t>& data, int msb, int early, int width = 9,
                            size_t piece = 0) {
    Sink sink;
    LzwCoder* c = lzw_create(&sink_cb, &sink, width, 12, kLzwEncode, msb, early);
    EXPECT_NE(c, nullptr);
    if (piece == 0) piece = data.size() ? data.size() : 1;
    for (size_t i = 0; i < data.size(); i += piece) {
        const size_t n = std::min(piece, data.size() - i);
        EXPECT_EQ(lzw_write(c, data.data() + i, n), n);
    }
    EXPECT_EQ(lzw_flush(c), 0);
    lzw_close(c);
    return sink.bytes;
}

std::vector<uint8_t> decode(const std::vector<uint8_t>& code, int msb, int early, size_t piece,
                            size_t limit, int width = 9) {
    Source src{&code};
    LzwCoder* c = lzw_create(&source_cb, &src, width, 12, kLzwDecode, msb, early);
    EXPECT_NE(c, nullptr);
    std::vector<uint8_t> out;
    std::vector<uint8_t> buf(piece);
    while (out.size() < limit) {
        const size_t got = lzw_read(c, buf.data(), piece);
        out.insert(out.end(), buf.begin(), buf.begin() + got);
        if (got < piece) break;
    }
    lzw_close(c);
    return out;
}

std::vector<uint8_t> random_bytes(size_t n, uint32_t seed, int alphabet = 256) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng() % alphabet);
    return v;
}

TEST(Lzw, ExactCodesOfOneByte) {
    // Clear 256, literal 'A', end 257, nine bits each, padded to whole bytes.
    const std::vector<uint8_t> a = {'A'};
    EXPECT_EQ(encode(a, 0, 0), (std::vector<uint8_t>{0x00, 0x83, 0x04, 0x04}));
    EXPECT_EQ(encode(a, 1, 0), (std::vector<uint8_t>{0x80, 0x10, 0x60, 0x20}));
    // Nothing written since the start: the flush emits nothing at all.
    EXPECT_TRUE(encode({}, 0, 0).empty());
}

// An independent decoder written from the GIF rule, the oracle for flags (0, 0): every
// code but the first of a table defines an entry, and the code width grows as soon as
// the next free entry reaches 2^width.
std::vector<uint8_t> gif_rule_decode(const std::vector<uint8_t>& code) {
    std::vector<std::vector<uint8_t>> table;
    auto reset = [&] {
        table.assign(258, {});
        for (int i = 0; i < 256; ++i) table[i] = {static_cast<uint8_t>(i)};
    };
    reset();
    int width = 9, prev = -1;
    size_t bit = 0;
    std::vector<uint8_t> out;
    while (bit + width <= code.size() * 8) {
        int c = 0;
        for (int i = 0; i < width; ++i, ++bit)
            if (code[bit / 8] >> (bit % 8) & 1) c |= 1 << i;
        if (c == 256) {
            reset();
            width = 9;
            prev = -1;
            continue;
        }
        if (c == 257 || c > static_cast<int>(table.size()) ||
            (c == static_cast<int>(table.size()) && prev < 0))
            break;  // not a valid stream under this rule
        std::vector<uint8_t> entry = c < static_cast<int>(table.size()) ? table[c] : table[prev];
        if (c >= static_cast<int>(table.size())) entry.push_back(table[prev][0]);
        if (prev >= 0 && table.size() < 4096) {
            table.push_back(table[prev]);
            table.back().push_back(entry[0]);
        }
        out.insert(out.end(), entry.begin(), entry.end());
        prev = c;
        if (table.size() == (1u << width) && width < 12) ++width;
    }
    return out;
}

TEST(Lzw, DrawingFileCodesFollowTheGifRule) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "chunk " + std::to_string(i * 7 % 113) + "\n";
    for (const auto& in : {std::vector<uint8_t>(text.begin(), text.end()), random_bytes(60000, 8),
                           std::vector<uint8_t>(70000, 'z')}) {
        EXPECT_EQ(gif_rule_decode(encode(in, 0, 0)), in);
    }
}

TEST(Lzw, RoundTripsEveryFlagCombinationAndReadSize) {
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i % 97) + " of the drawing\n";
    const std::vector<std::vector<uint8_t>> inputs = {
        {},
        {0},
        std::vector<uint8_t>(100000, 'x'),  // long runs: string-just-defined codes
        std::vector<uint8_t>(text.begin(), text.end()),
        random_bytes(200000, 1),  // incompressible: many clears at full width
        random_bytes(300000, 2, 3),
    };
    for (int msb = 0; msb <= 1; ++msb) {
        for (int early = 0; early <= 1; ++early) {
            for (const auto& in : inputs) {
                const auto code = encode(in, msb, early, 9, 777);
                for (size_t piece : {size_t{1}, size_t{5}, size_t{1024}, size_t{65536}}) {
                    if (piece == 1 && in.size() > 20000) continue;
                    EXPECT_EQ(decode(code, msb, early, piece, in.size() + 10), in)
                        << "msb " << msb << " early " << early << " size " << in.size() << " piece "
                        << piece;
                }
            }
        }
    }
}

// Codes of a stream whose table fills up and is then kept without a clear code, as
// some image writers do: later codes reach back to strings defined long before.
std::vector<uint8_t> encode_keeping_full_table(const std::vector<uint8_t>& in) {
    std::map<std::pair<int, int>, int> dict;
    int next = 258, width = 9, nbits = 0;
    uint64_t bits = 0;
    std::vector<uint8_t> out;
    auto put = [&](int code) {
        bits |= static_cast<uint64_t>(code) << nbits;
        nbits += width;
        for (; nbits >= 8; nbits -= 8, bits >>= 8) out.push_back(static_cast<uint8_t>(bits));
    };
    auto count = [&] {
        if (next < 4096) ++next;
        if (next - 1 == (1 << width) && width < 12) ++width;
    };
    put(256);
    int prefix = in[0];
    for (size_t i = 1; i < in.size(); ++i) {
        const auto it = dict.find({prefix, in[i]});
        if (it != dict.end()) {
            prefix = it->second;
            continue;
        }
        put(prefix);
        if (next < 4096) dict[{prefix, in[i]}] = next;
        count();
        prefix = in[i];
    }
    put(prefix);
    count();
    put(257);
    if (nbits > 0) out.push_back(static_cast<uint8_t>(bits));
    return out;
}

TEST(Lzw, DecodesStreamsThatKeepAFullTable) {
    std::string text;
    for (int i = 0; i < 400; ++i) text += "layer " + std::to_string(i % 37) + " line\n";
    auto in = std::vector<uint8_t>(text.begin(), text.end());
    const auto noise = random_bytes(150000, 11, 5);
    in.insert(in.end(), noise.begin(), noise.end());
    in.insert(in.end(), text.begin(), text.end());
    const auto code = encode_keeping_full_table(in);
    for (size_t piece : {size_t{3}, size_t{4096}, size_t{1} << 20}) {
        EXPECT_EQ(decode(code, 0, 0, piece, in.size() + 10), in) << "piece " << piece;
    }
}

TEST(Lzw, SmallLiteralWidths) {
    const auto in = random_bytes(50000, 4, 4);
    for (int early = 0; early <= 1; ++early) {
        const auto code = encode(in, 0, early, 3);
        EXPECT_EQ(decode(code, 0, early, 999, in.size() + 10, 3), in);
    }
    Sink sink;
    LzwCoder* c = lzw_create(&sink_cb, &sink, 3, 12, kLzwEncode, 0, 0);
    const uint8_t bad[] = {1, 2, 4};  // 4 is the clear code of 3-bit codes
    EXPECT_EQ(lzw_write(c, bad, 3), 0u);
    lzw_close(c);
}

TEST(Lzw, EncoderOutputComesInBlocksOf1024) {
    Sink sink;
    LzwCoder* c = lzw_create(&sink_cb, &sink, 9, 12, kLzwEncode, 0, 0);
    const auto in = random_bytes(20000, 5);
    ASSERT_EQ(lzw_write(c, in.data(), in.size()), in.size());
    for (int n : sink.block_sizes) EXPECT_EQ(n, kLzwBlockSize);
    EXPECT_EQ(lzw_flush(c), 0);
    EXPECT_LE(sink.block_sizes.back(), kLzwBlockSize);
    // After a flush the next write starts a new code stream with its own clear code.
    const size_t first = sink.bytes.size();
    const uint8_t a = 'A';
    ASSERT_EQ(lzw_write(c, &a, 1), 1u);
    ASSERT_EQ(lzw_flush(c), 0);
    EXPECT_EQ(std::vector<uint8_t>(sink.bytes.begin() + first, sink.bytes.end()),
              (std::vector<uint8_t>{0x00, 0x83, 0x04, 0x04}));
    lzw_close(c);
}

TEST(Lzw, RefusesBadArgumentsAndWrongDirections) {
    Sink sink;
    EXPECT_EQ(lzw_create(&sink_cb, &sink, 9, 13, kLzwEncode, 0, 0), nullptr);
    EXPECT_EQ(lzw_create(&sink_cb, &sink, 9, 12, 2, 0, 0), nullptr);
    EXPECT_EQ(lzw_create(&sink_cb, &sink, 2, 12, kLzwEncode, 0, 0), nullptr);
    EXPECT_EQ(lzw_create(nullptr, &sink, 9, 12, kLzwEncode, 0, 0), nullptr);

    LzwCoder* enc = lzw_create(&sink_cb, &sink, 9, 12, kLzwEncode, 0, 0);
    LzwCoder* dec = lzw_create(&sink_cb, &sink, 9, 12, kLzwDecode, 0, 0);
    uint8_t buf[4] = {1, 2, 3, 4};
    EXPECT_EQ(lzw_read(enc, buf, 4), 0u);
    EXPECT_EQ(lzw_write(dec, buf, 4), 0u);
    EXPECT_EQ(lzw_write(enc, buf, 0), 0u);
    EXPECT_TRUE(lzw_is_coder(enc));
    EXPECT_TRUE(lzw_is_encoder(enc));
    EXPECT_FALSE(lzw_is_encoder(dec));
    lzw_set_context(enc, buf);
    EXPECT_EQ(lzw_context(enc), buf);
    lzw_close(enc);
    lzw_close(dec);

    // Closing something that is not a coder does nothing.
    alignas(8) uint8_t not_a_coder[64] = {};
    EXPECT_FALSE(lzw_is_coder(not_a_coder));
    lzw_close(reinterpret_cast<LzwCoder*>(not_a_coder));
    lzw_close(nullptr);
}

TEST(Lzw, CallbackFailureIsReported) {
    Sink sink;
    sink.fail_after = 2;
    LzwCoder* c = lzw_create(&sink_cb, &sink, 9, 12, kLzwEncode, 0, 0);
    const auto in = random_bytes(50000, 6);
    EXPECT_EQ(lzw_write(c, in.data(), in.size()), 0u);
    EXPECT_EQ(lzw_write(c, in.data(), 10), 0u);  // refused from then on
    EXPECT_EQ(lzw_flush(c), -1);
    // The flush reset the coder: it works again once the callback does.
    sink.fail_after = -1;
    sink.bytes.clear();
    ASSERT_EQ(lzw_write(c, in.data(), 1000), 1000u);
    ASSERT_EQ(lzw_flush(c), 0);
    lzw_close(c);
    EXPECT_EQ(decode(sink.bytes, 0, 0, 4096, 2000),
              std::vector<uint8_t>(in.begin(), in.begin() + 1000));
}

TEST(Lzw, TruncatedAndHostileStreamsEndWithoutHarm) {
    const auto in = random_bytes(30000, 7, 16);
    const auto code = encode(in, 0, 0);
    // Cut short: what was decoded is a prefix of the input.
    const std::vector<uint8_t> cut(code.begin(), code.begin() + code.size() / 2);
    const auto part = decode(cut, 0, 0, 4096, in.size() + 10);
    EXPECT_LT(part.size(), in.size());
    EXPECT_TRUE(std::equal(part.begin(), part.end(), in.begin()));

    // A code far beyond the table: the decoder stops and says so.
    std::vector<uint8_t> bad = {0x00, 0x83, 0xFC, 0xFF, 0xFF, 0xFF};  // 256 'A' then 511...
    Source src{&bad};
    LzwCoder* c = lzw_create(&source_cb, &src, 9, 12, kLzwDecode, 0, 0);
    uint8_t out[64];
    EXPECT_EQ(lzw_read(c, out, sizeof out), 1u);
    EXPECT_TRUE(lzw_corrupt(c));
    // A decoder flush starts again from scratch.
    EXPECT_EQ(lzw_flush(c), 0);
    EXPECT_FALSE(lzw_corrupt(c));
    lzw_close(c);

    // Random garbage in every flag combination: never more than the buffer, no crash.
    for (uint32_t seed = 0; seed < 300; ++seed) {
        const auto junk = random_bytes(1 + seed * 7 % 3000, 1000 + seed);
        const auto outb = decode(junk, seed & 1, (seed >> 1) & 1, 333, 1u << 22);
        EXPECT_LE(outb.size(), (1u << 22) + 333);
    }
}

}  // namespace
