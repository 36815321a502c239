// Writes the seed corpora of the drawing and block fuzz targets (fuzz/corpus/drawing
// and fuzz/corpus/block). Not run by default: run zelo_file_tests with ZELO_SEED_DIR set
// to fuzz/corpus and --gtest_also_run_disabled_tests --gtest_filter=*WriteSeedCorpus*.
#include <cstdlib>
#include <filesystem>

#include "file_support.h"
#include "model/db/buffer.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
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
            EXPECT_EQ(buffer_add(sel, static_cast<ZOBJ*>(c)), 0);
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
    // Deep groups (199 in a layer's drawing, 200 in a block) and an arc far from the
    // circle as older builds wrote it (angles not brought into one turn).
    auto deep = new_model();
    auto* layer = static_cast<CONTAINER*>(static_cast<ZOBJ*>(deep->children));
    CONTAINER* into = layer;
    CONTAINER* outer = nullptr;
    for (int i = 0; i < 200; ++i) {
        auto* g = rtc_make<CONTAINER>().release();
        ASSERT_EQ(container_insert(into, g), 0);
        if (!outer) outer = g;
        into = g;
    }
    auto* line = rtc_make<XPLINE>().release();
    line->control = make_points({{0, 0, 0}, {1, 1, 0}});
    ASSERT_EQ(container_insert(into, line), 0);
    sel = buffer_new();
    EXPECT_EQ(buffer_add(sel, outer), 0);
    ASSERT_EQ(block_file_save((block + "deep_groups.mcr").c_str(), "deep", deep.get(), 0, sel,
                              Vec3{0, 0, 0}),
              0);
    buffer_free(&sel);
    // One group fewer for the drawing: the layer is a level of its own.
    CONTAINER* second = static_cast<CONTAINER*>(static_cast<ZOBJ*>(outer->children));
    obj_remove(second);
    obj_remove(outer);
    ASSERT_EQ(container_insert(layer, second), 0);
    rtc_destroy(outer);
    ASSERT_EQ(drawing_file_save((drawing + "deep_groups.qvm").c_str(), deep.get(), 0), 0);

    auto far = new_model();
    auto* arc = rtc_make<ELARC>().release();
    arc->flags = kElarcCircular;
    arc->axis1 = {4, 0, 0};
    arc->axis2 = {0, 4, 0};
    arc->start = 2e6;
    arc->end = 2e6 + 1;
    ASSERT_EQ(container_insert(static_cast<CONTAINER*>(static_cast<ZOBJ*>(far->children)), arc), 0);
    ASSERT_EQ(drawing_file_save((drawing + "far_arc_angles.qvm").c_str(), far.get(), 0), 0);
    sel = buffer_new();
    EXPECT_EQ(buffer_add(sel, arc), 0);
    ASSERT_EQ(block_file_save((block + "far_arc_angles.mcr").c_str(), "far", far.get(), 0, sel,
                              Vec3{0, 0, 0}),
              0);
    buffer_free(&sel);

    // The block read as a drawing and the drawing read as a block give 11.
    std::filesystem::copy_file(drawing + "empty.qvm", block + "drawing_as_block.mcr",
                               std::filesystem::copy_options::overwrite_existing);
}
