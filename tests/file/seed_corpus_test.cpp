// Writes the seed corpora of the drawing and block fuzz targets (fuzz/corpus/drawing
// and fuzz/corpus/block). Not run by default: run zelo_file_tests with ZELO_SEED_DIR set
// to fuzz/corpus and --gtest_also_run_disabled_tests --gtest_filter=*WriteSeedCorpus*.
#include <cstdlib>
#include <filesystem>

#include "file_support.h"
#include "model/db/buffer.h"
#include "model/db/tree.h"
#include "model/file/drawing_file.h"
#include "old_writer.h"
#include "rich_drawing.h"

using SeedCorpus = FileTest;

TEST_F(SeedCorpus, DISABLED_WriteSeedCorpus) {
    const char* root = std::getenv("ZELO_SEED_DIR");
    if (!root) GTEST_SKIP() << "ZELO_SEED_DIR not set";
    const std::string drawing = std::string(root) + "/drawing/",
                      block = std::string(root) + "/block/";
    std::filesystem::create_directories(drawing);
    std::filesystem::create_directories(block);

    auto rich = new_model();
    ASSERT_EQ(build_rich_drawing(rich.get()), 0);
    ASSERT_EQ(drawing_file_save((drawing + "rich_plain.qvm").c_str(), rich.get(), 0), 0);
    ASSERT_EQ(drawing_file_save((drawing + "rich_packed.qvm").c_str(), rich.get(), 1), 0);
    auto empty = new_model();
    ASSERT_EQ(drawing_file_save((drawing + "empty.qvm").c_str(), empty.get(), 0), 0);
    for (int v : {102, 104, 106, 111}) {
        OldSample s;
        s.version = v;
        write_bytes(drawing + "old_" + std::to_string(v) + ".qvm", old_sample_file(s));
        s.as_block = true;
        write_bytes(block + "old_" + std::to_string(v) + ".mcr", old_sample_file(s));
    }
    // Blocks of every layer's objects, plain and packed.
    buffer* sel = buffer_new();
    for (ZDLIST* l = rich->children; l; l = l->next == rich->children ? nullptr : l->next) {
        auto* layer = rtc_cast<CONTAINER>(l);
        if (!layer || !layer->children) continue;
        ZDLIST* c = layer->children;
        do {
            buffer_add(sel, static_cast<ZOBJ*>(c));
            c = c->next;
        } while (c != layer->children);
    }
    ASSERT_EQ(block_file_save((block + "rich_plain.mcr").c_str(), "rich block", rich.get(), 0, sel,
                              Vec3{1, 2, 3}),
              0);
    ASSERT_EQ(block_file_save((block + "rich_packed.mcr").c_str(), "rich block", rich.get(), 1, sel,
                              Vec3{1, 2, 3}),
              0);
    buffer_free(&sel);
    // The block read as a drawing and the drawing read as a block give 11.
    std::filesystem::copy_file(drawing + "empty.qvm", block + "drawing_as_block.mcr",
                               std::filesystem::copy_options::overwrite_existing);
}
