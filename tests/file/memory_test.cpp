// The in-memory forms of the drawing and block files: the same bytes as the files,
// the same results for bad input, the output left alone when a save fails, and the
// memory small reads hold.
#include <unistd.h>

#include <fstream>

#include "file_support.h"
#include "model/db/buffer.h"
#include "model/file/drawing_file.h"
#include "model/math/result.h"
#include "model/stream/iorec.h"
#include "rich_drawing.h"

using MemoryFileTest = FileTest;

namespace {

// The sanitizer's count of the bytes allocated, where the sanitizer runs.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

// Memory the program holds: allocated bytes under the sanitizer (whose heap holds the
// read's blocks), else the resident pages.
size_t held_bytes() {
    if (&__sanitizer_get_current_allocated_bytes) return __sanitizer_get_current_allocated_bytes();
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * size_t(sysconf(_SC_PAGESIZE));
}

}  // namespace

TEST_F(MemoryFileTest, DrawingBytesAreThoseOfTheFile) {
    auto m = new_model();
    ASSERT_EQ(build_rich_drawing(m.get()), 0);
    ASSERT_EQ(drawing_file_save(path("d.qvm").c_str(), m.get(), 0), 0);
    Bytes mem;
    ASSERT_EQ(drawing_file_save_memory(&mem, m.get()), 0);
    EXPECT_EQ(mem, read_bytes(path("d.qvm")));

    // Read back from memory, plain and packed: the same drawing as from the file.
    ASSERT_EQ(drawing_file_save(path("p.qvm").c_str(), m.get(), 1), 0);
    const Bytes packed = read_bytes(path("p.qvm"));
    ASSERT_NE(packed, mem);
    for (const Bytes* bytes : {static_cast<const Bytes*>(&mem), &packed}) {
        auto from_memory = new_model(), from_file = new_model();
        ASSERT_EQ(drawing_file_import_memory(bytes->data(), bytes->size(), from_memory.get()), 0);
        ASSERT_EQ(drawing_file_import(path("d.qvm").c_str(), from_file.get()), 0);
        EXPECT_EQ(dump_drawing(from_memory.get()), dump_drawing(from_file.get()));
        Bytes again;
        ASSERT_EQ(drawing_file_save_memory(&again, from_memory.get()), 0);
        EXPECT_EQ(again, mem);
        drawing_file_drop_views(from_memory.get());
        drawing_file_drop_views(from_file.get());
    }
}

TEST_F(MemoryFileTest, BlockBytesAreThoseOfTheFile) {
    auto m = new_model();
    ASSERT_EQ(build_rich_drawing(m.get()), 0);
    buffer* sel = first_layer_selection(m.get());
    const Vec3 base{1, 2, 3};
    ASSERT_EQ(block_file_save(path("b.mcr").c_str(), "label", m.get(), 0, sel, base), 0);
    Bytes mem;
    ASSERT_EQ(block_file_save_memory(&mem, "label", m.get(), sel, base), 0);
    buffer_free(&sel);
    EXPECT_EQ(mem, read_bytes(path("b.mcr")));

    char label[kBlockLabelSize];
    Vec3 read_base{};
    // Label only, then the whole block into a selection.
    ASSERT_EQ(block_file_load_memory(mem.data(), mem.size(), label, sizeof label, nullptr, nullptr,
                                     &read_base, nullptr, 0),
              0);
    EXPECT_STREQ(label, "label");
    EXPECT_EQ(read_base.z, 3.0f);
    auto into = new_model();
    buffer* got = buffer_new();
    ASSERT_EQ(block_file_load_memory(mem.data(), mem.size(), label, sizeof label, into.get(), got,
                                     &read_base, nullptr, 0),
              0);
    EXPECT_NE(got->refs, nullptr);
    Bytes again;
    ASSERT_EQ(block_file_save_memory(&again, label, into.get(), got, read_base), 0);
    EXPECT_EQ(again, mem);
    buffer_delete_objects_unlinked(got);
    buffer_free(&got);
}

TEST_F(MemoryFileTest, BadInputGivesTheFileResults) {
    auto m = new_model();
    ASSERT_EQ(build_rich_drawing(m.get()), 0);
    Bytes good;
    ASSERT_EQ(drawing_file_save_memory(&good, m.get()), 0);
    struct Case {
        std::string what;
        Bytes bytes;
    };
    std::vector<Case> cases = {
        {"empty", {}},
        {"header only", Bytes(good.begin(), good.begin() + 12)},
        {"cut in the body", Bytes(good.begin(), good.begin() + good.size() / 2)},
        {"bad first word", ByteWriter().i32(2).i32(112).i32(0).b},
        {"bad coding", ByteWriter().i32(1).i32(112).i32(7).b},
        {"cut coded stream", ByteWriter().i32(1).i32(112).i32(1).u8(0xff).b},
    };
    // Cut everywhere through the body, past chunks a reader skips too.
    for (size_t n = 16; n < good.size(); n += 97)
        cases.push_back({"cut at " + std::to_string(n), Bytes(good.begin(), good.begin() + long(n))});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write_bytes(path("x.qvm"), c.bytes);
        auto a = new_model(), b = new_model();
        const int from_file = drawing_file_import(path("x.qvm").c_str(), a.get());
        EXPECT_NE(from_file, 0);
        EXPECT_EQ(drawing_file_import_memory(c.bytes.data(), c.bytes.size(), b.get()), from_file);
        EXPECT_EQ(dump_drawing(a.get()), dump_drawing(b.get()));
        char label[8];
        Vec3 base{};
        const int block_file = block_file_load(path("x.qvm").c_str(), label, sizeof label, nullptr,
                                               nullptr, &base, nullptr, 0);
        EXPECT_EQ(block_file_load_memory(c.bytes.data(), c.bytes.size(), label, sizeof label,
                                         nullptr, nullptr, &base, nullptr, 0),
                  block_file);
        drawing_file_drop_views(a.get());
        drawing_file_drop_views(b.get());
    }
    // Null arguments.
    EXPECT_EQ(drawing_file_save_memory(nullptr, m.get()), kBadArgument);
    EXPECT_EQ(block_file_save_memory(nullptr, "", m.get(), nullptr, Vec3{}), kBadArgument);
    EXPECT_EQ(drawing_file_import_memory(good.data(), good.size(), nullptr), 0);
}

TEST_F(MemoryFileTest, FailedSaveLeavesTheOutputAlone) {
    auto m = new_model();
    ASSERT_EQ(build_rich_drawing(m.get()), 0);
    Bytes out = {1, 2, 3};
    // A full "disk": the memory stream honours the write limit like a file.
    iorec_test_set_write_limit(100);
    EXPECT_NE(drawing_file_save_memory(&out, m.get()), 0);
    iorec_test_set_write_limit(-1);
    EXPECT_EQ(out, (Bytes{1, 2, 3}));
    ASSERT_EQ(drawing_file_save_memory(&out, m.get()), 0);
    EXPECT_GT(out.size(), 100u);
}


// A small block inserted again and again (a symbol placed many times) keeps only the
// memory of its objects, not a fresh block of the reader for each insert.
TEST_F(MemoryFileTest, SmallBlockReadManyTimesHoldsLittleMemory) {
    auto m = new_model();
    ASSERT_EQ(build_rich_drawing(m.get()), 0);
    buffer* sel = first_layer_selection(m.get());
    Bytes mem;
    ASSERT_EQ(block_file_save_memory(&mem, "label", m.get(), sel, Vec3{}), 0);
    buffer_free(&sel);
    auto into = new_model();
    buffer* got = buffer_new();
    const size_t before = held_bytes();
    for (int i = 0; i < 64; ++i) {
        char label[kBlockLabelSize];
        Vec3 base{};
        ASSERT_EQ(block_file_load_memory(mem.data(), mem.size(), label, sizeof label, into.get(),
                                         got, &base, nullptr, 0),
                  0);
    }
    EXPECT_LT(held_bytes() - before, size_t{32} << 20);
    buffer_delete_objects_unlinked(got);
    buffer_free(&got);
}
