// Running out of memory while a drawing or block is saved or loaded: with the Nth
// allocation failing, for every N up to a whole save or load, the entry point returns
// out of memory (8) or succeeds, never lets an exception out, and a failed save
// leaves the file already there as it was.
//
// The Nth allocation is made to fail through alloc_fail.h.
#include "alloc_fail.h"
#include "file_support.h"
#include "model/db/buffer.h"
#include "model/file/drawing_file.h"
#include "model/math/result.h"
#include "rich_drawing.h"

using OutOfMemoryTest = FileTest;

TEST_F(OutOfMemoryTest, SaveAndLoadReportOutOfMemoryAndKeepTheFile) {
    auto m = new_model();
    ASSERT_EQ(build_rich_drawing(m.get()), 0);  // keyed tracks: the save measures first
    const std::string target = path("d.qvm");
    const Bytes old{'o', 'l', 'd'};
    // A save returns 0 with the whole file written (tidying up after it may meet the
    // failure), or 8 with the old file left.
    auto saved_or_kept = [&](const std::string& file, const Bytes& whole) {
        return [&, file, whole](int r, bool failed, long n) {
            const Bytes now = read_bytes(file);
            if (r == 0) {
                EXPECT_EQ(now, whole) << "allocation " << n;
                return;
            }
            EXPECT_TRUE(failed);
            EXPECT_EQ(r, kOutOfMemory) << "allocation " << n;
            EXPECT_EQ(now, old) << "allocation " << n;
        };
    };
    for (int pack : {0, 1}) {
        SCOPED_TRACE(pack);
        ASSERT_EQ(drawing_file_save(target.c_str(), m.get(), pack), 0);
        const Bytes whole = read_bytes(target);
        walk_failures([&] { return drawing_file_save(target.c_str(), m.get(), pack); },
                      saved_or_kept(target, whole), [&] { write_bytes(target, old); });
    }
    ASSERT_EQ(drawing_file_save(target.c_str(), m.get(), 0), 0);
    const Bytes saved = read_bytes(target);
    // A load returns 0 with the whole drawing (a failure met may have been got round),
    // or 8.
    std::unique_ptr<MODEL> into = new_model();
    ASSERT_EQ(drawing_file_import(target.c_str(), into.get()), 0);
    const std::string whole_drawing = dump_drawing(into.get());
    walk_failures([&] { return drawing_file_import(target.c_str(), into.get()); },
                  [&](int r, bool failed, long n) {
                      if (r == 0) {
                          EXPECT_EQ(dump_drawing(into.get()), whole_drawing) << "allocation " << n;
                      } else {
                          EXPECT_TRUE(failed);
                          EXPECT_EQ(r, kOutOfMemory) << "allocation " << n;
                      }
                      drawing_file_drop_views(into.get());
                  },
                  [&] { into = new_model(); });

    // Blocks: the first layer's objects.
    buffer* sel = first_layer_selection(m.get());
    const std::string block = path("b.mcr");
    ASSERT_EQ(block_file_save(block.c_str(), "b", m.get(), 0, sel, Vec3{}), 0);
    const Bytes whole_block = read_bytes(block);
    walk_failures([&] { return block_file_save(block.c_str(), "b", m.get(), 0, sel, Vec3{}); },
                  saved_or_kept(block, whole_block), [&] { write_bytes(block, old); });
    ASSERT_EQ(block_file_save(block.c_str(), "b", m.get(), 0, sel, Vec3{}), 0);
    buffer_free(&sel);
    buffer* got = nullptr;
    walk_failures(
        [&] {
            char label[kBlockLabelSize];
            Vec3 base{};
            return block_file_load(block.c_str(), label, sizeof label, into.get(), got, &base,
                                   nullptr, 0);
        },
        [&](int r, bool failed, long n) {
            if (r != 0 || !failed) {
                EXPECT_EQ(r, failed ? kOutOfMemory : 0) << "allocation " << n;
            }
            buffer_delete_objects_unlinked(got);
            buffer_free(&got);
        },
        [&] {
            into = new_model();
            got = buffer_new();
        });
    into.reset();
    EXPECT_EQ(read_bytes(target), saved);
}
