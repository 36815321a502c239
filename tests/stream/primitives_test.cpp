// The stream's primitives and chunks on the wire: exact bytes of varints, words,
// floats, strings and chunks; the chunk reader's skipping and its overrun check; the
// count checks against the bytes left.
#include <cmath>
#include <limits>

#include "tests/stream/stream_support.h"

namespace {

using Primitives = StreamTest;

TEST_F(Primitives, VarintBytes) {
    const struct {
        uint32_t value;
        Bytes wire;
    } cases[] = {
        {0, bytes({0x00})},
        {127, bytes({0x7F})},
        {128, bytes({0x80, 0x01})},
        {300, bytes({0xAC, 0x02})},
        {1024, bytes({0x80, 0x08})},
        {static_cast<uint32_t>(-1), bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x0F})},
        {static_cast<uint32_t>(-100), bytes({0x9C, 0xFF, 0xFF, 0xFF, 0x0F})},
        {1u << 28, bytes({0x80, 0x80, 0x80, 0x80, 0x01})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(written([&](IOrec* s) { io_put_varint(s, c.value); }), c.wire) << c.value;
        uint32_t back = 0;
        EXPECT_EQ(read_bytes(c.wire, [&](IOrec* s) { back = io_get_varint(s); }), 0);
        EXPECT_EQ(back, c.value);
    }
    int32_t minus = 0;
    read_bytes(bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x0F}),
               [&](IOrec* s) { minus = io_get_varint_signed(s); });
    EXPECT_EQ(minus, -1);
    // Six bytes is never written: bad data, not a wrapped value.
    EXPECT_EQ(
        read_bytes(bytes({0x80, 0x80, 0x80, 0x80, 0x80, 0x01}), [](IOrec* s) { io_get_varint(s); }),
        kBadArgument);
}

TEST_F(Primitives, WordsFloatsDoublesAndStrings) {
    const Bytes b = written([](IOrec* s) {
        io_put_long(s, -2);
        io_put_float(s, 0.1);  // rounded to single precision
        io_put_double(s, 1.0);
        io_put_string(s, static_cast<const char*>(nullptr));
        io_put_string(s, "");
        io_put_string(s, "AB");
        const int32_t words[2] = {1, 0x01020304};
        io_put_longs(s, words, 2);
        const int32_t pair[2] = {5, 6};
        io_put_pairs(s, pair, 1);
        const uint32_t v[2] = {1, 300};
        io_put_varints(s, v, 2);
    });
    EXPECT_EQ(b, concat({bytes({0xFE, 0xFF, 0xFF, 0xFF}), bytes({0xCD, 0xCC, 0xCC, 0x3D}),
                         bytes({0, 0, 0, 0, 0, 0, 0xF0, 0x3F}), bytes({0x00}), bytes({0x00}),
                         bytes({0x02, 'A', 'B'}), bytes({1, 0, 0, 0, 4, 3, 2, 1}),
                         bytes({5, 0, 0, 0, 6, 0, 0, 0}), bytes({0x01, 0xAC, 0x02})}));
    EXPECT_EQ(read_bytes(b,
                         [](IOrec* s) {
                             EXPECT_EQ(io_get_long(s), -2);
                             EXPECT_EQ(io_get_float(s), static_cast<double>(0.1f));
                             EXPECT_EQ(io_get_double(s), 1.0);
                             EXPECT_EQ(io_get_string(s), "");
                             EXPECT_EQ(io_get_string(s), "");
                             EXPECT_EQ(io_get_string(s), "AB");
                             int32_t words[2];
                             io_get_longs(s, words, 2);
                             EXPECT_EQ(words[1], 0x01020304);
                             int32_t pair[2];
                             io_get_pairs(s, pair, 1);
                             EXPECT_EQ(pair[0], 5);
                             EXPECT_EQ(pair[1], 6);
                             uint32_t v[2];
                             io_get_varints(s, v, 2);
                             EXPECT_EQ(v[1], 300u);
                         }),
              0);
}

TEST_F(Primitives, ReadingPastTheEndAndZeroLengthTransfers) {
    // A short read gives a non-zero code (1 when the C library sets no error number).
    EXPECT_NE(read_bytes(bytes({1, 2}), [](IOrec* s) { io_get_long(s); }), 0);
    EXPECT_EQ(read_bytes(bytes({}),
                         [](IOrec* s) {
                             io_read(s, nullptr, 0);
                             EXPECT_EQ(s->tell(), 0u);
                         }),
              0);
    EXPECT_EQ(written([](IOrec* s) { io_write(s, nullptr, 0); }), Bytes{});
}

TEST_F(Primitives, ChunkBytes) {
    // An empty chunk is its tag and four zero bytes; lengths count the content only.
    EXPECT_EQ(written([](IOrec* s) {
                  ChunkMark m;
                  io_chunk_begin(s, &m, 125);
                  EXPECT_EQ(io_chunk_end(s), 0);
              }),
              bytes({0x7D, 0, 0, 0, 0}));
    EXPECT_EQ(written([](IOrec* s) {
                  IoChunkWriter outer(s, 1024);
                  { IoChunkWriter inner(s, 125); }
                  io_put_varint(s, 300);
              }),
              bytes({0x80, 0x08, 7, 0, 0, 0, 0x7D, 0, 0, 0, 0, 0xAC, 0x02}));
}

TEST_F(Primitives, ChunkReaderSkipsAndChecks) {
    // Two siblings inside a parent: the first is read only in part.
    const Bytes b = written([](IOrec* s) {
        IoChunkWriter parent(s, 1);
        {
            IoChunkWriter a(s, 2);
            io_put_long(s, 11);
            io_put_long(s, 12);
        }
        {
            IoChunkWriter c(s, 3);
            io_put_string(s, "next");
        }
    });
    EXPECT_EQ(read_bytes(b,
                         [](IOrec* s) {
                             IoChunkReader parent(s);
                             EXPECT_EQ(parent.tag(), 1u);
                             {
                                 IoChunkReader a(s);
                                 EXPECT_EQ(a.tag(), 2u);
                                 EXPECT_EQ(a.mark.length, 8u);
                                 EXPECT_EQ(io_get_long(s), 11);
                             }
                             EXPECT_TRUE(io_chunk_inside(s));
                             {
                                 IoChunkReader c(s);
                                 EXPECT_EQ(c.tag(), 3u);
                                 EXPECT_EQ(io_get_string(s), "next");
                             }
                             EXPECT_FALSE(io_chunk_inside(s));
                         }),
              0);
    // Reading beyond a chunk's end and closing it: 222.
    EXPECT_EQ(read_bytes(b,
                         [](IOrec* s) {
                             IoChunkReader parent(s);
                             IoChunkReader a(s);
                             io_get_long(s);
                             io_get_long(s);
                             io_get_long(s);
                         }),
              kIoChunkOverrun);
    // A child claiming more bytes than its parent holds would read the parent beyond
    // its end: 222 at once.
    Bytes bad = b;
    bad[6 + 1] = 0x40;  // length of chunk 2
    EXPECT_EQ(read_bytes(bad,
                         [](IOrec* s) {
                             IoChunkReader parent(s);
                             IoChunkReader a(s);
                         }),
              kIoChunkOverrun);
    // Closing with no chunk open is refused, not undefined.
    EXPECT_EQ(read_bytes(b, [](IOrec* s) { io_chunk_close(s); }), kBadArgument);
}

TEST_F(Primitives, ChunkLongerThanItsHolderIsNotRead) {
    // Chunk 1 holds chunk 2 (one word); chunk 3, its sibling, follows. Chunk 2 claims
    // 16 bytes, which would run on into chunk 3.
    Bytes b = written([](IOrec* s) {
        {
            IoChunkWriter parent(s, 1);
            IoChunkWriter a(s, 2);
            io_put_long(s, 11);
        }
        IoChunkWriter next(s, 3);
        io_put_long(s, 0x5EC2E7);
        io_put_long(s, 0x5EC2E7);
    });
    const uint64_t parent_end = 5 + 9;  // header of chunk 1, then chunk 2 whole
    b[5 + 1] = 16;
    bool opened = false;
    uint64_t furthest = 0;
    std::vector<int32_t> seen;
    EXPECT_EQ(read_bytes(b,
                         [&](IOrec* s) {
                             IoChunkReader parent(s);
                             ChunkMark a;
                             io_chunk_open(s, &a);
                             opened = true;
                             while (io_chunk_inside(s)) {
                                 seen.push_back(io_get_long(s));
                                 furthest = io_tell(s);
                             }
                         }),
              kIoChunkOverrun);
    EXPECT_FALSE(opened);
    EXPECT_LE(furthest, parent_end);
    EXPECT_TRUE(seen.empty());
}

TEST_F(Primitives, CountsAreCheckedAgainstTheBytesLeft) {
    // A string claiming more bytes than its chunk holds, or than the file holds.
    const Bytes in_chunk = bytes({0x05, 4, 0, 0, 0, 0xFF, 0xFF, 0x03, 'x'});
    EXPECT_EQ(read_bytes(in_chunk,
                         [](IOrec* s) {
                             IoChunkReader c(s);
                             io_get_string(s);
                         }),
              kBadArgument);
    EXPECT_EQ(
        read_bytes(bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 'x'}), [](IOrec* s) { io_get_string(s); }),
        kBadArgument);
    EXPECT_EQ(read_bytes(bytes({0x02, 'x', 'y'}),
                         [](IOrec* s) {
                             io_check_count(s, 1, 2);
                             EXPECT_EQ(io_get_string(s), "xy");
                         }),
              0);
    EXPECT_EQ(read_bytes(bytes({1, 2, 3, 4}),
                         [](IOrec* s) {
                             io_check_count(s, 2, 2);  // exactly what is there
                             io_check_count(s, 0, 1u << 30);
                         }),
              0);
    for (int64_t count : {int64_t{-1}, int64_t{3}, std::numeric_limits<int64_t>::max()}) {
        EXPECT_EQ(read_bytes(bytes({1, 2, 3, 4}), [&](IOrec* s) { io_check_count(s, count, 2); }),
                  kBadArgument)
            << count;
    }
    EXPECT_EQ(read_bytes(bytes({1, 2, 3, 4}),
                         [](IOrec* s) { io_check_count(s, int64_t{1} << 62, uint64_t{1} << 10); }),
              kBadArgument);
}

TEST_F(Primitives, ChunksLongerThanTheWriteWindow) {
    // Many small chunks inside big ones, and raw writes larger than the write window:
    // every length is patched right wherever its start lies.
    const Bytes big(IOrecStd::kWriteWindow + 1000, 0xAB);
    const int kInner = 60000;
    ASSERT_EQ(write_file("big.bin",
                         [&](IOrec* s) {
                             IoChunkWriter outer(s, 1024);
                             for (int i = 0; i < kInner; ++i) {
                                 IoChunkWriter inner(s, 7);
                                 io_put_varint(s, static_cast<uint32_t>(i));
                             }
                             {
                                 IoChunkWriter raw(s, 8);
                                 io_write(s, big.data(), big.size());
                             }
                             IoChunkWriter last(s, 9);
                             io_put_long(s, -5);
                         }),
              0);
    std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
    ASSERT_EQ(io_guarded([&] {
                  iorec_open(s.get(), path("big.bin").c_str(), 0);
                  IoChunkReader outer(s.get());
                  EXPECT_EQ(outer.mark.end, s->file_size);
                  for (int i = 0; i < kInner; ++i) {
                      IoChunkReader inner(s.get());
                      ASSERT_EQ(io_get_varint(s.get()), static_cast<uint32_t>(i));
                  }
                  {
                      IoChunkReader raw(s.get());
                      EXPECT_EQ(raw.mark.length, big.size());
                      Bytes back(big.size());
                      io_read(s.get(), back.data(), back.size());
                      EXPECT_EQ(back, big);
                  }
                  IoChunkReader last(s.get());
                  EXPECT_EQ(io_get_long(s.get()), -5);
              }),
              0);
}

}  // namespace
