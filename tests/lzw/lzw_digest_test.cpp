// The LZW code stream is part of the packed drawing file: a fixed 1 MiB of
// drawing-like bytes must pack to the same bytes, whatever the coder's inside looks
// like. Digests (FNV-1a, 64 bits) and sizes of the code streams are stored; the input
// comes from a fixed generator of its own, so no library change can move it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "model/lzw/lzw.h"

namespace {

// Chunk headers, varints, names, colour bytes and runs of float coordinates on a grid
// with some noise, as a drawing file's body has them.
std::vector<uint8_t> drawing_like(size_t size) {
    uint64_t state = 0x2545F4914F6CDD1Dull;
    auto next = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    };
    std::vector<uint8_t> b;
    b.reserve(size + 256);
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    static const char* const kNames[] = {"\x06XPLINE", "\x05" "ELARC", "\x05TEXT2", "\x05HATCH"};
    while (b.size() < size) {
        b.push_back(0x09);
        put32(60 + next() % 40);
        const char* name = kNames[next() % 4];
        b.insert(b.end(), name, name + 1 + name[0]);
        b.push_back(static_cast<uint8_t>(next() % 16));
        const int points = 2 + static_cast<int>(next() % 6);
        for (int i = 0; i < points * 3; ++i) {
            const float f = static_cast<float>(next() % 200) * 0.5f +
                            (next() % 4 == 0 ? 0.001f * static_cast<float>(next() % 7) : 0.0f);
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            put32(bits);
        }
    }
    b.resize(size);
    return b;
}

int append_cb(uint8_t* buf, int count, int, void* ctx) {
    auto* out = static_cast<std::vector<uint8_t>*>(ctx);
    out->insert(out->end(), buf, buf + count);
    return count;
}

std::vector<uint8_t> pack(const std::vector<uint8_t>& in, int msb, int early, size_t piece) {
    std::vector<uint8_t> out;
    LzwCoder* c = lzw_create(&append_cb, &out, 9, 12, kLzwEncode, msb, early);
    EXPECT_NE(c, nullptr);
    for (size_t i = 0; i < in.size(); i += piece) {
        const size_t n = std::min(piece, in.size() - i);
        EXPECT_EQ(lzw_write(c, in.data() + i, n), n);
    }
    EXPECT_EQ(lzw_flush(c), 0);
    lzw_close(c);
    return out;
}

uint64_t fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t v : bytes) h = (h ^ v) * 0x100000001b3ull;
    return h;
}

TEST(LzwDigest, FixedInputPacksToTheStoredCodeStream) {
    const std::vector<uint8_t> in = drawing_like(1 << 20);
    ASSERT_EQ(fnv1a(in), 0x945469206a921e01ull) << std::hex << fnv1a(in);  // the input itself is fixed
    struct Case {
        int msb, early;
        size_t size;
        uint64_t digest;
    } cases[] = {
        {0, 0, 524068, 0xd059fa84af43838full},  // the drawing file's codes
        {1, 1, 523957, 0xb9f63b41fc59c91dull},
    };
    for (const Case& c : cases) {
        // Written whole and in odd pieces: the stream does not depend on the writes.
        for (size_t piece : {in.size(), size_t{4093}, size_t{1}}) {
            const std::vector<uint8_t> out = pack(in, c.msb, c.early, piece);
            EXPECT_EQ(out.size(), c.size) << c.msb << c.early << " piece " << piece;
            EXPECT_EQ(fnv1a(out), c.digest)
                << c.msb << c.early << " piece " << piece << " digest 0x" << std::hex << fnv1a(out);
        }
    }
}

}  // namespace
