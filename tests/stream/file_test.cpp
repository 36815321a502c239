// File streams: saving through a temporary file that replaces the target only when
// complete, failures that leave the previous file as it was (full disk, unwritable
// folder, abandoned save), the LZW-coded streams with their forward-only seeks and
// shared coders, and the LZW pass over a finished file.
#include <algorithm>
#include <cerrno>
#include <random>

#include <sys/wait.h>
#include <unistd.h>

#include "model/lzw/lzw.h"
#include "tests/lzw/lzw_decode.h"
#include "tests/stream/stream_support.h"

namespace {

using FileStreams = StreamTest;

Bytes noise(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(rng() % 7 + 'a');
    return b;
}

TEST_F(FileStreams, SaveReplacesTheTargetOnlyWhenCommitted) {
    const std::string target = path("d.qvm");
    put_file(target, bytes({'o', 'l', 'd'}));
    chmod(target.c_str(), 0640);
    std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
    ASSERT_EQ(io_guarded([&] {
                  iorec_open(s.get(), target.c_str(), 1);
                  io_put_long(s.get(), 7);
              }),
              0);
    // Written so far, not yet committed: the old file is still there, beside a temporary one.
    EXPECT_EQ(file_bytes(target), bytes({'o', 'l', 'd'}));
    EXPECT_EQ(entries().size(), 2u);
    ASSERT_EQ(io_guarded([&] { iorec_commit(s.get()); }), 0);
    EXPECT_EQ(file_bytes(target), bytes({7, 0, 0, 0}));
    EXPECT_EQ(entries(), std::vector<std::string>{"d.qvm"});
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // the replaced file's permissions are kept
}

TEST_F(FileStreams, LongNamesAndFolders) {
    // No fixed-size path buffer: a folder and a name far beyond 128 characters.
    const std::string folder = std::string(120, 'f');
    ASSERT_EQ(mkdir(path(folder).c_str(), 0700), 0);
    const std::string name = folder + "/" + std::string(200, 'n') + ".qvm";
    put_file(path(name), concat({bytes({1, 0, 0, 0, 112, 0, 0, 0, 0, 0, 0, 0}), noise(1000, 9)}));
    EXPECT_EQ(lzw_pack_file(path(name).c_str()), 0);
    EXPECT_EQ(file_bytes(path(name))[8], 1);
    std::remove(path(name).c_str());
    rmdir(path(folder).c_str());
}

TEST_F(FileStreams, AbandonedSaveLeavesTheOldFile) {
    const std::string target = path("d.qvm");
    put_file(target, bytes({'o', 'l', 'd'}));
    {
        std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
        EXPECT_EQ(io_guarded([&] {
                      iorec_open(s.get(), target.c_str(), 1);
                      io_put_long(s.get(), 7);
                      io_raise(s.get(), kBadArgument);  // a writer failing half-way
                  }),
                  kBadArgument);
    }
    EXPECT_EQ(file_bytes(target), bytes({'o', 'l', 'd'}));
    EXPECT_EQ(entries(), std::vector<std::string>{"d.qvm"});
}

TEST_F(FileStreams, FullDiskLeavesTheOldFile) {
    const std::string target = path("d.qvm");
    const Bytes old = noise(5000, 1);
    put_file(target, old);
    for (int64_t limit : {int64_t{0}, int64_t{100}, int64_t{9000}}) {
        iorec_test_set_write_limit(limit);
        const int r = write_file("d.qvm", [](IOrec* s) {
            const Bytes big = noise(10000, 2);
            for (int i = 0; i < 10; ++i) io_write(s, big.data(), 1000);
        });
        EXPECT_EQ(r, ENOSPC) << limit;
        EXPECT_EQ(file_bytes(target), old);
        EXPECT_EQ(entries(), std::vector<std::string>{"d.qvm"});
    }
    // The same through the LZW coder, whose output reaches the file in blocks.
    iorec_test_set_write_limit(600);
    std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
    EXPECT_EQ(io_guarded([&] {
                  iorec_open(s.get(), target.c_str(), 1);
                  io_put_long(s.get(), 1);
                  iorec_to_lzw(s);
                  const Bytes big = noise(200000, 3);
                  io_write(s.get(), big.data(), big.size());
                  iorec_commit(s.get());
              }),
              ENOSPC);
    s.reset();
    EXPECT_EQ(file_bytes(target), old);
    EXPECT_EQ(entries(), std::vector<std::string>{"d.qvm"});
}

TEST_F(FileStreams, UnwritableFolders) {
    const std::string plain = path("plain");
    put_file(plain, bytes({1}));
    EXPECT_EQ(write_file("missing/d.qvm", [](IOrec*) {}), ENOENT);
    EXPECT_EQ(write_file("plain/d.qvm", [](IOrec*) {}), ENOTDIR);
    EXPECT_EQ(write_file("", [](IOrec*) {}), EISDIR);  // the folder itself
    std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
    EXPECT_EQ(io_guarded([&] { iorec_open(s.get(), "", 1); }), ENOENT);
    if (geteuid() != 0) {  // permissions do not stop the superuser
        const std::string target = path("ro/d.qvm");
        mkdir(path("ro").c_str(), 0700);
        put_file(target, bytes({'o', 'l', 'd'}));
        chmod(path("ro").c_str(), 0500);
        EXPECT_EQ(write_file("ro/d.qvm", [](IOrec* st) { io_put_long(st, 1); }), EACCES);
        chmod(path("ro").c_str(), 0700);
        EXPECT_EQ(file_bytes(target), bytes({'o', 'l', 'd'}));
        // A read-only file in a writable folder is not replaced either.
        chmod(target.c_str(), 0400);
        EXPECT_EQ(write_file("ro/d.qvm", [](IOrec* st) { io_put_long(st, 1); }), EACCES);
        EXPECT_EQ(file_bytes(target), bytes({'o', 'l', 'd'}));
        std::remove(target.c_str());
    }
    rmdir(path("ro").c_str());
}

TEST_F(FileStreams, SavingThroughALinkReplacesTheLinkedFile) {
    put_file(path("real.qvm"), bytes({'o', 'l', 'd'}));
    ASSERT_EQ(symlink("real.qvm", path("link.qvm").c_str()), 0);
    ASSERT_EQ(write_file("link.qvm", [](IOrec* s) { io_put_long(s, 9); }), 0);
    struct stat st;
    ASSERT_EQ(lstat(path("link.qvm").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(file_bytes(path("real.qvm")), bytes({9, 0, 0, 0}));
    // A link to a file not made yet (through a second link, into a folder of its
    // own) makes that file and stays a link.
    ASSERT_EQ(mkdir(path("sub").c_str(), 0700), 0);
    ASSERT_EQ(symlink("sub/new.qvm", path("inner.qvm").c_str()), 0);
    ASSERT_EQ(symlink("inner.qvm", path("dangling.qvm").c_str()), 0);
    ASSERT_EQ(write_file("dangling.qvm", [](IOrec* s) { io_put_long(s, 5); }), 0);
    ASSERT_EQ(lstat(path("dangling.qvm").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(lstat(path("inner.qvm").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(file_bytes(path("sub/new.qvm")), bytes({5, 0, 0, 0}));
    std::remove(path("sub/new.qvm").c_str());
    rmdir(path("sub").c_str());
    // Links in a circle name no file: refused, and they stay links.
    ASSERT_EQ(symlink("round2.qvm", path("round1.qvm").c_str()), 0);
    ASSERT_EQ(symlink("round1.qvm", path("round2.qvm").c_str()), 0);
    EXPECT_EQ(write_file("round1.qvm", [](IOrec* s) { io_put_long(s, 5); }), ELOOP);
    ASSERT_EQ(lstat(path("round1.qvm").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(FileStreams, SaveKeepsTheOwnerOfTheFileItReplaces) {
    // The administrator saving a user's drawing leaves it the user's, writable by them.
    if (geteuid() != 0) GTEST_SKIP() << "needs the right to give files away";
    const std::string target = path("theirs.qvm");
    put_file(target, bytes({'o', 'l', 'd'}));
    ASSERT_EQ(chown(target.c_str(), 4321, 4322), 0);
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(write_file("theirs.qvm", [](IOrec* s) { io_put_long(s, 3); }), 0);
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(file_bytes(target), bytes({3, 0, 0, 0}));
}

TEST_F(FileStreams, FailedSeeksAndOpensRaise) {
    EXPECT_EQ(read_bytes(bytes({1, 2, 3}), [](IOrec* s) { s->seek(-10, 0); }), EINVAL);
    std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
    EXPECT_EQ(io_guarded([&] { iorec_open(s.get(), path("none").c_str(), 0); }), ENOENT);
    std::unique_ptr<IOrec> d = rtc_make<IOrecStd>();
    EXPECT_EQ(io_guarded([&] { iorec_open(d.get(), dir_.c_str(), 0); }), EISDIR);
}

// A file of a 12-byte header, then `body` LZW-coded through the stream.
Bytes packed_by_stream(StreamTest* t, const std::string& name, const Bytes& body) {
    std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
    EXPECT_EQ(io_guarded([&] {
                  iorec_open(s.get(), t->path(name).c_str(), 1);
                  io_put_long(s.get(), 1);
                  io_put_long(s.get(), 112);
                  io_put_long(s.get(), 1);
                  iorec_to_lzw(s);
                  EXPECT_TRUE(rtc_is<IOrecLzw>(s.get()));
                  io_write(s.get(), body.data(), body.size());
                  EXPECT_EQ(io_guarded([&] { s->seek(0, 1); }), kIoRefusedSeek);
                  iorec_commit(s.get());
              }),
              0);
    return file_bytes(t->path(name));
}

// Decodes an LZW code stream with a coder of its own.
Bytes lzw_decode(const Bytes& code) {
    bool corrupt = true;
    Bytes out = lzw_decode_all(code, &corrupt);
    EXPECT_FALSE(corrupt);
    return out;
}

TEST_F(FileStreams, LzwStreamWritesAndReads) {
    const Bytes body = noise(100000, 4);
    const Bytes file = packed_by_stream(this, "p.qvm", body);
    ASSERT_GT(file.size(), 12u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 12),
              bytes({1, 0, 0, 0, 112, 0, 0, 0, 1, 0, 0, 0}));
    // The commit emitted the end code and the last bits: an independent decoder gets it all.
    EXPECT_EQ(lzw_decode(Bytes(file.begin() + 12, file.end())), body);

    std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
    ASSERT_EQ(io_guarded([&] {
                  iorec_open(s.get(), path("p.qvm").c_str(), 0);
                  EXPECT_EQ(io_get_long(s.get()), 1);
                  EXPECT_EQ(io_get_long(s.get()), 112);
                  EXPECT_EQ(io_get_long(s.get()), 1);
                  iorec_to_lzw(s);
                  EXPECT_EQ(s->tell(), 0u);  // bytes since the switch, not a file offset
                  uint8_t head[10];
                  io_read(s.get(), head, 10);
                  EXPECT_EQ(Bytes(head, head + 10), Bytes(body.begin(), body.begin() + 10));
                  EXPECT_EQ(s->tell(), 10u);
                  s->seek(10, 0);  // to where it is: reads nothing
                  EXPECT_EQ(s->tell(), 10u);
                  s->seek(990, 1);
                  EXPECT_EQ(s->tell(), 1000u);
                  EXPECT_EQ(io_guarded([&] { s->seek(5, 0); }), kIoRefusedSeek);
                  EXPECT_EQ(io_guarded([&] { s->seek(0, 2); }), kIoRefusedSeek);
                  Bytes rest(body.size() - 1000);
                  io_read(s.get(), rest.data(), rest.size());
                  EXPECT_EQ(rest, Bytes(body.begin() + 1000, body.end()));
                  uint8_t extra;
                  EXPECT_EQ(io_guarded([&] { io_read(s.get(), &extra, 1); }), kIoLzwEnded);
              }),
              0);
}

TEST_F(FileStreams, LzwCountChecksDecodeAheadOnlyWhatExists) {
    Bytes body = bytes({0xFF, 0xFF, 0xFF, 0x7F});  // a string of 268435455 bytes...
    const Bytes tail = noise(3000, 5);             // ...of which 3000 exist
    body.insert(body.end(), tail.begin(), tail.end());
    packed_by_stream(this, "p.qvm", concat({bytes({0x06}), body}));
    std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
    EXPECT_EQ(io_guarded([&] {
                  iorec_open(s.get(), path("p.qvm").c_str(), 0);
                  s->seek(12, 0);
                  iorec_to_lzw(s);
                  EXPECT_EQ(io_get_varint(s.get()), 6u);
                  io_get_string(s.get());
              }),
              kBadArgument);
    // A count that fits is served from the decoded bytes kept ahead.
    s = rtc_make<IOrecStd>();
    EXPECT_EQ(io_guarded([&] {
                  iorec_open(s.get(), path("p.qvm").c_str(), 0);
                  s->seek(12, 0);
                  iorec_to_lzw(s);
                  io_check_count(s.get(), 3005, 1);
                  Bytes all(3005);
                  io_read(s.get(), all.data(), all.size());
                  EXPECT_EQ(Bytes(all.begin() + 5, all.end()), tail);
                  EXPECT_EQ(s->tell(), 3005u);
              }),
              0);
}

TEST_F(FileStreams, SharedAndPrivateCoders) {
    ASSERT_EQ(lzw_codecs_init(), 0);
    packed_by_stream(this, "a.qvm", noise(5000, 6));
    auto open_lzw = [&](std::unique_ptr<IOrec>& s) {
        s = rtc_make<IOrecStd>();
        return io_guarded([&] {
            iorec_open(s.get(), path("a.qvm").c_str(), 0);
            s->seek(12, 0);
            iorec_to_lzw(s);
        });
    };
    std::unique_ptr<IOrec> first, second;
    ASSERT_EQ(open_lzw(first), 0);
    EXPECT_TRUE(lzw_codecs_state().decoder_busy);
    ASSERT_EQ(open_lzw(second), 0);  // gets a private decoder
    auto* a = static_cast<IOrecLzw*>(first.get());
    auto* b = static_cast<IOrecLzw*>(second.get());
    EXPECT_NE(a->coder, b->coder);
    // Both read the same bytes independently.
    uint8_t x[100], y[100];
    EXPECT_EQ(io_guarded([&] {
                  io_read(first.get(), x, 100);
                  io_read(second.get(), y, 100);
              }),
              0);
    EXPECT_EQ(0, std::memcmp(x, y, 100));
    first.reset();
    EXPECT_FALSE(lzw_codecs_state().decoder_busy);
    second.reset();
    EXPECT_FALSE(lzw_codecs_state().decoder_busy);
    // The shared decoder is taken again by the next stream, from its start state.
    ASSERT_EQ(open_lzw(first), 0);
    EXPECT_TRUE(lzw_codecs_state().decoder_busy);
    EXPECT_EQ(io_guarded([&] { io_read(first.get(), y, 100); }), 0);
    EXPECT_EQ(0, std::memcmp(x, y, 100));
}

TEST_F(FileStreams, SwitchingMovesEverythingTheStreamOwns) {
    put_file(path("a.bin"), bytes({1, 2, 3}));
    const long before = rtc_live_objects();
    std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
    ASSERT_EQ(io_guarded([&] {
                  iorec_open(s.get(), path("a.bin").c_str(), 0);
                  s->owned_object = rtc_make<ZOBJ>().release();
                  s->buffer = io_alloc(s.get(), 64);
                  s->version = 111;
                  iorec_to_lzw(s);
              }),
              0);
    EXPECT_EQ(s->version, 111);
    EXPECT_NE(s->owned_object, nullptr);
    EXPECT_NE(s->buffer, nullptr);
    EXPECT_NE(s->file, nullptr);
    s.reset();  // frees each once (the sanitizer build checks)
    EXPECT_EQ(rtc_live_objects(), before);
}

TEST_F(FileStreams, LzwPassDecodesToThePlainBody) {
    const Bytes plain = concat({bytes({1, 0, 0, 0, 112, 0, 0, 0, 0, 0, 0, 0}), noise(300000, 7)});
    put_file(path("d.qvm"), plain);
    ASSERT_EQ(lzw_pack_file(path("d.qvm").c_str()), 0);
    const Bytes packed = file_bytes(path("d.qvm"));
    EXPECT_EQ(Bytes(packed.begin(), packed.begin() + 12),
              bytes({1, 0, 0, 0, 112, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_LT(packed.size(), plain.size());
    EXPECT_EQ(lzw_decode(Bytes(packed.begin() + 12, packed.end())),
              Bytes(plain.begin() + 12, plain.end()));
    EXPECT_EQ(entries(), std::vector<std::string>{"d.qvm"});

    // Packing a packed file, a file of another kind or a short one is refused unchanged.
    EXPECT_EQ(lzw_pack_file(path("d.qvm").c_str()), kBadArgument);
    EXPECT_EQ(file_bytes(path("d.qvm")), packed);
    put_file(path("short.qvm"), bytes({1, 0, 0, 0, 112}));
    EXPECT_EQ(lzw_pack_file(path("short.qvm").c_str()), kBadArgument);
    EXPECT_EQ(lzw_pack_file(path("none.qvm").c_str()), ENOENT);
    EXPECT_EQ(lzw_pack_file(""), ENOENT);

    // A full disk during the pass leaves the plain file as it was.
    put_file(path("d.qvm"), plain);
    iorec_test_set_write_limit(2000);
    EXPECT_EQ(lzw_pack_file(path("d.qvm").c_str()), ENOSPC);
    iorec_test_set_write_limit(-1);
    EXPECT_EQ(file_bytes(path("d.qvm")), plain);
    EXPECT_EQ(entries().size(), 2u);  // d.qvm and short.qvm, no temporary file
}

int write_plain_body(const char* to, void* body) {
    std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
    return io_guarded([&] {
        iorec_open(s.get(), to, 1);
        io_write(s.get(), static_cast<Bytes*>(body)->data(), static_cast<Bytes*>(body)->size());
        iorec_commit(s.get());
    });
}

// A save of `target` that dies half-way, in a child process: its temporary stays.
void die_saving(const std::string& target, bool packed) {
    if (fork() == 0) {
        auto dying = [](const char* to, void*) -> int {
            std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
            _exit(io_guarded([&] { iorec_open(s.get(), to, 1); }));
        };
        _exit(iorec_save_maybe_packed(target.c_str(), packed, dying, nullptr) + 100);
    }
    int status = 0;
    wait(&status);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(FileStreams, SavesRemoveOnlyTheirOwnStaleTemporaries) {
    const Bytes plain = concat({bytes({1, 0, 0, 0, 112, 0, 0, 0, 0, 0, 0, 0}), noise(5000, 3)});
    // Names up to the file system's limit (255 bytes) save; their temporaries carry a
    // name cut on a character boundary (here inside a character of several bytes).
    const std::string multi = std::string(224, 'm') + "\xC3\xA9\xE2\x82\xAC" + std::string(22, 'm') + ".qvm";
    for (const std::string& name : {std::string("d.qvm"), std::string(226, 'L') + ".qvm", multi}) {
        const std::string target = path(name);
        for (const bool packed : {false, true}) {
            SCOPED_TRACE(packed ? "packed" : "plain");
            // The user's own files beside the drawing, and another program's temporary.
            std::vector<std::string> kept;
            if (name.size() < 240)
                kept = {"." + name + ".backup", "." + name + ".before", "." + name + ".old123", name + ".plain-backup",
                        "." + name + ".plain-backup.copy01", "." + name + ".a1B2c3", ".e.qvm.a1B2c3"};
            for (const std::string& n : kept) put_file(path(n), bytes({2}));
            // Saves that died, and a copy the user made of such a temporary under the
            // same name (the name alone proves nothing).
            const size_t before = entries().size();
            die_saving(target, false);
            die_saving(target, true);
            die_saving(target, false);
            std::vector<std::string> dead = entries();
            ASSERT_EQ(dead.size(), before + 3);
            std::string copied;
            for (const std::string& n : dead)
                if (std::find(kept.begin(), kept.end(), n) == kept.end()) copied = n;
            put_file(path("copy"), file_bytes(path(copied)));
            ASSERT_EQ(std::rename(path("copy").c_str(), path(copied).c_str()), 0);
            kept.push_back(copied);
            // A save of the same file still being written (by another run of the program).
            std::unique_ptr<IOrec> live = rtc_make<IOrecStd>();
            ASSERT_EQ(io_guarded([&] { iorec_open(live.get(), target.c_str(), 1); }), 0);
            kept.push_back(live->temp_path.substr(dir_.size() + 1));
            kept.push_back(name);
            ASSERT_EQ(iorec_save_maybe_packed(target.c_str(), packed, write_plain_body, const_cast<Bytes*>(&plain)), 0);
            std::vector<std::string> left = entries();
            std::sort(left.begin(), left.end());
            std::sort(kept.begin(), kept.end());
            EXPECT_EQ(left, kept);
            EXPECT_EQ(file_bytes(target)[8], packed ? 1 : 0);
            live.reset();
            for (const std::string& n : entries()) std::remove(path(n).c_str());
        }
    }
}

TEST_F(FileStreams, AFailedRenameFailsTheSave) {
    // A folder that appeared at the target's name while the save was written: the
    // rename cannot replace it. One there from the start is refused at once.
    const std::string target = path("d.qvm");
    std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
    ASSERT_EQ(io_guarded([&] { iorec_open(s.get(), target.c_str(), 1); }), 0);
    ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
    put_file(target + "/inside", bytes({5}));
    EXPECT_NE(io_guarded([&] { iorec_commit(s.get()); }), 0);
    Bytes plain = bytes({1, 0, 0, 0, 112, 0, 0, 0, 0, 0, 0, 0});
    for (const bool packed : {false, true})
        EXPECT_EQ(iorec_save_maybe_packed(target.c_str(), packed, write_plain_body, &plain), EISDIR);
    EXPECT_EQ(file_bytes(target + "/inside"), bytes({5}));
    EXPECT_EQ(entries(), std::vector<std::string>{"d.qvm"});
    std::remove((target + "/inside").c_str());
    rmdir(target.c_str());
}

}  // namespace
