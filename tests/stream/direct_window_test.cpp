// The window a plain stream lends to the primitives: long mixed sequences of
// primitives, strings, raw runs and nested chunks written across many window edges
// give the bytes the transport writes one call at a time, and read back to the same
// values from files and from memory, also when readers skip what they do not read;
// a stream whose file is gone lends nothing.
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <limits>

#include "tests/stream/stream_support.h"

namespace {

using DirectWindow = StreamTest;

// One step of a written sequence.
struct Op {
    enum Kind { kVarint, kLong, kFloat, kDouble, kString, kRaw, kOpen, kClose } kind = kVarint;
    uint64_t value = 0;
    std::string text;  // strings and raw runs
};

// A fixed pseudo-random sequence of about `bytes` bytes with chunks nested up to
// four deep; every chunk opened is closed.
std::vector<Op> make_ops(size_t bytes) {
    std::vector<Op> ops;
    uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return state >> 33;
    };
    int open = 0;
    size_t size = 0;
    while (size < bytes || open > 0) {
        const uint64_t r = next() % 16;
        Op op;
        if (size >= bytes || (r == 0 && open > 0)) {
            op.kind = Op::kClose;
            --open;
        } else if (r == 1 && open < 4) {
            op.kind = Op::kOpen;
            op.value = next() % 3000;
            ++open;
            size += 9;
        } else if (r < 6) {
            // 7 to 35 significant bits: varints of every length.
            const uint64_t bits = 7 * (1 + next() % 5);
            const uint64_t word = next() << 1 ^ next();
            op.value = bits >= 32 ? word & 0xFFFFFFFFu : word & ((uint64_t{1} << bits) - 1);
            size += 5;
        } else if (r < 8) {
            op.kind = Op::kLong;
            op.value = next();
            size += 4;
        } else if (r < 10) {
            op.kind = Op::kFloat;
            op.value = next();
            size += 4;
        } else if (r < 12) {
            op.kind = Op::kDouble;
            op.value = next() << 20 | next();
            size += 8;
        } else if (r < 15) {
            op.kind = Op::kString;
            op.text.assign(next() % 300, static_cast<char>('a' + next() % 26));
            size += op.text.size() + 2;
        } else {
            op.kind = Op::kRaw;
            op.text.assign(next() % 9000, static_cast<char>(next()));
            size += op.text.size();
        }
        ops.push_back(op);
    }
    return ops;
}

float float_of(uint64_t v) {
    return static_cast<float>(static_cast<int32_t>(v)) / 7.0f;
}
double double_of(uint64_t v) {
    return static_cast<double>(static_cast<int64_t>(v)) / 3.0;
}

void write_ops(IOstream* s, const std::vector<Op>& ops) {
    std::vector<ChunkMark> marks(ops.size());
    for (size_t i = 0; i < ops.size(); ++i) {
        const Op& op = ops[i];
        switch (op.kind) {
            case Op::kVarint: io_put_varint(s, static_cast<uint32_t>(op.value)); break;
            case Op::kLong: io_put_long(s, static_cast<int32_t>(op.value)); break;
            case Op::kFloat: io_put_float(s, float_of(op.value)); break;
            case Op::kDouble: io_put_double(s, double_of(op.value)); break;
            case Op::kString: io_put_string(s, op.text); break;
            case Op::kRaw: io_write(s, op.text.data(), op.text.size()); break;
            case Op::kOpen: io_chunk_begin(s, &marks[i], static_cast<uint32_t>(op.value)); break;
            case Op::kClose: io_chunk_end(s); break;
        }
    }
}

// Reads the sequence back; with `skip`, every third chunk is closed unread.
void read_ops(IOstream* s, const std::vector<Op>& ops, bool skip) {
    std::vector<ChunkMark> marks(ops.size());
    int skipping = 0;  // nesting inside a chunk being skipped
    int chunk_count = 0;
    for (size_t i = 0; i < ops.size(); ++i) {
        const Op& op = ops[i];
        if (skipping > 0) {
            if (op.kind == Op::kOpen) ++skipping;
            if (op.kind == Op::kClose && --skipping == 0) io_chunk_close(s);
            continue;
        }
        switch (op.kind) {
            case Op::kVarint: ASSERT_EQ(io_get_varint(s), static_cast<uint32_t>(op.value)) << i; break;
            case Op::kLong: ASSERT_EQ(io_get_long(s), static_cast<int32_t>(op.value)) << i; break;
            case Op::kFloat: ASSERT_EQ(io_get_float(s), float_of(op.value)) << i; break;
            case Op::kDouble: ASSERT_EQ(io_get_double(s), double_of(op.value)) << i; break;
            case Op::kString: ASSERT_EQ(io_get_string(s), op.text) << i; break;
            case Op::kRaw: {
                std::string back(op.text.size(), '\0');
                io_read(s, back.data(), back.size());
                ASSERT_EQ(back, op.text) << i;
                break;
            }
            case Op::kOpen:
                io_chunk_open(s, &marks[i]);
                ASSERT_EQ(marks[i].tag, static_cast<uint32_t>(op.value)) << i;
                if (skip && ++chunk_count % 3 == 0) skipping = 1;
                break;
            case Op::kClose:
                ASSERT_FALSE(io_chunk_inside(s)) << i;
                io_chunk_close(s);
                break;
        }
    }
}

}  // namespace

TEST_F(DirectWindow, MixedSequencesAcrossWindowEdges) {
    const std::vector<Op> ops = make_ops(4 * IOrecStd::kWriteWindow + 12345);
    // Through the window, then with a write limit (which lends no window: every
    // primitive goes through the transport's write).
    const Bytes direct = written([&](IOrec* s) { write_ops(s, ops); });
    iorec_test_set_write_limit(std::numeric_limits<int64_t>::max() / 2);
    const Bytes by_call = written([&](IOrec* s) { write_ops(s, ops); });
    iorec_test_set_write_limit(-1);
    ASSERT_GT(direct.size(), 4 * IOrecStd::kWriteWindow);
    ASSERT_EQ(direct, by_call);

    for (bool skip : {false, true}) {
        SCOPED_TRACE(skip ? "skipping" : "reading all");
        EXPECT_EQ(read_bytes(direct, [&](IOrec* s) { read_ops(s, ops, skip); }), 0);
        std::unique_ptr<IOrec> m = rtc_make<IOrecStd>();
        EXPECT_EQ(io_guarded([&] {
                      iorec_open_memory(m.get(), direct.data(), direct.size());
                      read_ops(m.get(), ops, skip);
                      EXPECT_EQ(io_tell(m.get()), direct.size());
                  }),
                  0);
    }
    // Cut short anywhere, the reader says so instead of reading on.
    const Bytes cut(direct.begin(), direct.begin() + static_cast<long>(direct.size() / 2 + 3));
    EXPECT_NE(read_bytes(cut, [&](IOrec* s) { read_ops(s, ops, false); }), 0);
}

TEST_F(DirectWindow, StreamsWithoutTheirFileLendNothing) {
    // Written and committed, then aborted, then read and closed: every primitive after
    // that raises instead of going into the window left behind.
    std::unique_ptr<IOrec> w = rtc_make<IOrecStd>();
    ASSERT_EQ(io_guarded([&] {
                  iorec_open(w.get(), path("c.bin").c_str(), 1);
                  io_put_long(w.get(), 7);
                  iorec_commit(w.get());
              }),
              0);
    EXPECT_EQ(io_guarded([&] { io_put_long(w.get(), 8); }), kBadArgument);
    EXPECT_EQ(file_bytes(path("c.bin")), bytes({7, 0, 0, 0}));

    std::unique_ptr<IOrec> a = rtc_make<IOrecStd>();
    ASSERT_EQ(io_guarded([&] {
                  iorec_open(a.get(), path("a.bin").c_str(), 1);
                  io_put_long(a.get(), 7);
              }),
              0);
    iorec_abort(a.get());
    EXPECT_EQ(io_guarded([&] { io_put_varint(a.get(), 1); }), kBadArgument);

    std::unique_ptr<IOrec> r = rtc_make<IOrecStd>();
    ASSERT_EQ(io_guarded([&] {
                  iorec_open(r.get(), path("c.bin").c_str(), 0);
                  iorec_commit(r.get());
              }),
              0);
    EXPECT_EQ(io_guarded([&] { io_get_long(r.get()); }), kBadArgument);
}

TEST_F(DirectWindow, CodedStreamsLendWhatTheyDecodedAhead) {
    const std::vector<Op> ops = make_ops(IOrecStd::kWriteWindow + 4321);
    // Coded files are packed from finished plain ones (chunks patch their lengths).
    ASSERT_EQ(write_file("plain.bin",
                         [&](IOrec* s) {
                             io_put_long(s, 1);
                             io_put_long(s, 112);
                             io_put_long(s, 0);
                             write_ops(s, ops);
                         }),
              0);
    ASSERT_EQ(lzw_pack_file_to(path("plain.bin").c_str(), path("coded.bin").c_str()), 0);
    const auto read_coded = [&](const Bytes& file, bool skip) {
        std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
        return io_guarded([&] {
            iorec_open_memory(s.get(), file.data(), file.size());
            for (int i = 0; i < 3; ++i) io_get_long(s.get());
            iorec_to_lzw(s);
            ASSERT_TRUE(rtc_is<IOrecLzw>(s.get()));
            read_ops(s.get(), ops, skip);
            // Everything was read: nothing more to deliver, and a read says so.
            EXPECT_EQ(s->available(1), 0u);
            EXPECT_EQ(io_guarded([&] { io_get_varint(s.get()); }), kIoLzwEnded);
        });
    };
    const Bytes coded = file_bytes(path("coded.bin"));
    for (bool skip : {false, true}) {
        SCOPED_TRACE(skip ? "skipping" : "reading all");
        EXPECT_EQ(read_coded(coded, skip), 0);
    }
    // A code stream cut short ends the reading with its code, wherever it is cut.
    for (size_t keep : {coded.size() / 3, coded.size() - 40}) {
        const Bytes cut(coded.begin(), coded.begin() + static_cast<long>(keep));
        EXPECT_NE(read_coded(cut, false), 0) << keep;
    }
}

TEST_F(DirectWindow, PrimitivesAgainstTheStreamsDirectionRaise) {
    // Reading from a stream being written, and writing to one being read, is refused
    // by every primitive, whether or not the bytes would fit the window.
    const Bytes data(64, 0x11);
    struct Case {
        const char* name;
        std::function<void(IOstream*)> op;
    };
    const Case reads[] = {
        {"varint", [](IOstream* s) { io_get_varint(s); }},
        {"long", [](IOstream* s) { io_get_long(s); }},
        {"double", [](IOstream* s) { io_get_double(s); }},
        {"bytes", [](IOstream* s) { char b[3]; io_read(s, b, 3); }},
        {"chunk", [](IOstream* s) { ChunkMark m; io_chunk_open(s, &m); }},
    };
    const Case writes[] = {
        {"varint", [](IOstream* s) { io_put_varint(s, 5); }},
        {"long", [](IOstream* s) { io_put_long(s, 5); }},
        {"double", [](IOstream* s) { io_put_double(s, 5.0); }},
        {"bytes", [](IOstream* s) { io_write(s, "abc", 3); }},
        {"chunk", [](IOstream* s) { ChunkMark m; io_chunk_begin(s, &m, 4); }},
    };
    for (const Case& c : reads) {
        SCOPED_TRACE(c.name);
        int got = -1;
        EXPECT_EQ(write_file("w.bin",
                             [&](IOrec* s) {
                                 io_put_long(s, 1);
                                 got = io_guarded([&] { c.op(s); });
                             }),
                  0);
        EXPECT_EQ(got, kBadArgument);
        EXPECT_EQ(file_bytes(path("w.bin")), bytes({1, 0, 0, 0}));
    }
    for (const Case& c : writes) {
        SCOPED_TRACE(c.name);
        int got = -1;
        EXPECT_EQ(read_bytes(data,
                             [&](IOrec* s) {
                                 io_get_long(s);
                                 got = io_guarded([&] { c.op(s); });
                                 // What is read next is the file's, not what was refused.
                                 EXPECT_EQ(io_get_long(s), 0x11111111);
                                 EXPECT_EQ(io_tell(s), 8u);
                             }),
                  0);
        EXPECT_EQ(got, kBadArgument);
    }
}

TEST_F(DirectWindow, CodedReadsOfEverySizeSeeksAndCountsAgree) {
    // A coded stream read in steps of every size (inline primitives, small and large
    // raw reads, forward seeks, counts checked ahead) delivers the plain bytes in
    // order and tells the position of each step.
    Bytes plain(3 * 65536 + 777);
    uint64_t state = 99;
    for (uint8_t& b : plain) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        b = static_cast<uint8_t>(state >> 60);  // few values: the coder has work to do
    }
    ASSERT_EQ(write_file("plain.bin",
                         [&](IOrec* s) {
                             io_put_long(s, 1);
                             io_put_long(s, 112);
                             io_put_long(s, 0);
                             io_write(s, plain.data(), plain.size());
                         }),
              0);
    ASSERT_EQ(lzw_pack_file_to(path("plain.bin").c_str(), path("coded.bin").c_str()), 0);
    const Bytes coded = file_bytes(path("coded.bin"));
    // Steps: > 0 reads that many bytes, < 0 seeks that far ahead; 0 checks a count.
    // A seek past the end ends the reading with the coder's code.
    const struct {
        std::vector<int64_t> steps;
        int result;
    } plans[] = {
        {{4, 1, 70000, 8, 0, 3, -5, 65536, 4, -60000, 2}, 0},
        {{65535, 1, 1, 0, 65536, -1, 200000}, 0},
        {{-65536, 8, 131072, 0, -20, 4}, 0},
        {{1, 0, 196608, 4, 8}, 0},
        {{4, 70000, -130000}, kIoLzwEnded},
    };
    for (const auto& [plan, result] : plans) {
        std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
        uint64_t at = 0;
        const int r = io_guarded([&] {
            iorec_open_memory(s.get(), coded.data(), coded.size());
            for (int i = 0; i < 3; ++i) io_get_long(s.get());
            iorec_to_lzw(s);
            const uint64_t origin = io_tell(s.get());
            for (int64_t step : plan) {
                SCOPED_TRACE(step);
                const uint64_t left = plain.size() - at;
                if (step == 0) {
                    io_check_count(s.get(), static_cast<int64_t>(left), 1);
                    EXPECT_EQ(io_guarded([&] {
                                  io_check_count(s.get(), static_cast<int64_t>(left) + 1, 1);
                              }),
                              kBadArgument);
                } else if (step < 0) {
                    const auto n = static_cast<uint64_t>(-step);
                    s->seek(static_cast<int64_t>(n), SEEK_CUR);
                    at += n;
                } else {
                    const auto n = static_cast<size_t>(std::min<uint64_t>(step, left));
                    Bytes got(n);
                    if (n == 1) {
                        got[0] = static_cast<uint8_t>(io_get_varint(s.get()) & 0x7F);
                        ASSERT_EQ(got[0], plain[at]);  // values below 16: one-byte varints
                    } else if (n == 4) {
                        const uint32_t v = static_cast<uint32_t>(io_get_long(s.get()));
                        for (int k = 0; k < 4; ++k) got[k] = static_cast<uint8_t>(v >> 8 * k);
                    } else {
                        io_read(s.get(), got.data(), n);
                    }
                    ASSERT_TRUE(std::equal(got.begin(), got.end(), plain.begin() + at));
                    at += n;
                }
                ASSERT_EQ(io_tell(s.get()) - origin, at);
            }
        });
        EXPECT_EQ(r, result) << "at " << at;
    }
}

TEST_F(DirectWindow, AFileThatCannotGrowFailsTheSave) {
    // The file system refuses to let the file grow past a size (here the process's
    // file size limit): whether the refusal comes while a window is handed on, while
    // a chunk length is patched or when the commit flushes the rest, the save fails
    // with the system's code and leaves no file behind, also when the stream goes on
    // writing into its window after the failure.
    struct rlimit old_limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    void (*old_handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<Op> ops = make_ops(3 * IOrecStd::kWriteWindow);
    const rlim_t ops_size = written([&](IOrec* s) { write_ops(s, ops); }).size();
    std::remove(path("w.bin").c_str());
    for (rlim_t limit : {rlim_t{1000}, rlim_t{IOrecStd::kWriteWindow + 100},
                         rlim_t{3 * IOrecStd::kWriteWindow - 100}, ops_size - 1}) {
        SCOPED_TRACE(limit);
        struct rlimit small = old_limit;
        small.rlim_cur = limit;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        int inner = 0;
        const int r = write_file("big.bin", [&](IOrec* s) {
            inner = io_guarded([&] { write_ops(s, ops); });
            // A writer that carries on after the failure (with a primitive that fits
            // the window) still gets no file: the commit fails too.
            (void)io_guarded([&] { io_put_long(s, 5); });
        });
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old_limit), 0);
        EXPECT_EQ(r, EFBIG);
        // Refused while the sequence is written, or only by the commit's last flush.
        EXPECT_EQ(inner, limit < 2 * IOrecStd::kWriteWindow ? EFBIG : 0);
        EXPECT_TRUE(entries().empty()) << entries().front();
    }
    std::signal(SIGXFSZ, old_handler);
}
