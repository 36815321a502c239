// Deep nesting: groups nested as deep as a file may hold save, load, regenerate and
// compare in drawings and blocks; one level more is refused and the file already
// there kept, so nothing is saved that cannot be opened again.

#include "file_support.h"
#include "model/db/buffer.h"
#include "model/db/tree.h"
#include "model/db/track.h"
#include "model/db/undo.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "model/file/save_context.h"
#include "model/geom/regen.h"
#include "model/math/result.h"
#include "tests/small_stack.h"

using DeepGroupTest = FileTest;

namespace {

// `groups` groups nested in one another inside `into`, the innermost holding a
// polyline; returns the outermost group.
CONTAINER* nest(CONTAINER* into, int groups) {
    CONTAINER* outer = nullptr;
    for (int i = 0; i < groups; ++i) {
        auto* g = rtc_make<CONTAINER>().release();
        EXPECT_EQ(container_insert(into, g), 0);
        if (!outer) outer = g;
        into = g;
    }
    auto* x = rtc_make<XPLINE>().release();
    x->set_string(0, "innermost");
    x->control = make_points({{0, 0, 0}, {1, 1, 0}});
    EXPECT_EQ(container_insert(into, x), 0);
    EXPECT_EQ(regen_object(x), 0);
    return outer;
}

LAYER* add_layer(MODEL* m) {
    auto* layer = rtc_make<LAYER>().release();
    layer->set_string(0, "deep");
    EXPECT_EQ(container_insert(m, layer), 0);
    return layer;
}

}  // namespace

TEST_F(DeepGroupTest, DrawingsKeepEveryDepthTheyMayHold) {
    // In a drawing the layer is the first level: groups + 2 levels in all.
    struct Case {
        int groups;
        int result;
    } cases[] = {
        {199, 0},                     // the drawing that would not open
        {kMaxRecordNesting - 2, 0},   // the deepest a file holds
        {kMaxRecordNesting - 1, 13},  // refused before writing
    };
    for (const Case& c : cases) {
        // On a small stack: a walk taking a call per group level overflows it.
        ASSERT_TRUE(run_on_small_stack([&] {
            SCOPED_TRACE(c.groups);
            auto m = new_model();
            CONTAINER* outer = nest(add_layer(m.get()), c.groups);
            ASSERT_EQ(regen_object(outer), 0);
            // A file already there is left as it was when the save is refused.
            const std::string file = path("d.qvm");
            const Bytes before = {'o', 'l', 'd'};
            write_bytes(file, before);
            const std::vector<std::string> names = folder_names(dir_);
            ASSERT_EQ(drawing_file_save(file.c_str(), m.get(), 1), c.result);
            if (c.result != 0) {
                EXPECT_EQ(read_bytes(file), before);
                // Nothing left beside it, whatever a temporary file is named.
                EXPECT_EQ(folder_names(dir_), names);
                return;
            }
            auto loaded = new_model();
            ASSERT_EQ(drawing_file_import(file.c_str(), loaded.get()), 0);
            ZOBJ* inner = find_named(loaded.get(), "innermost", &XPLINE::rtc_class);
            ASSERT_NE(inner, nullptr);
            int depth = 0;
            for (ZOBJ* z = inner; z->parent; z = z->parent) ++depth;
            EXPECT_EQ(depth, c.groups + 2);
            ZOBJ* layer = inner;
            while (!rtc_is<LAYER>(layer)) layer = layer->parent;
            EXPECT_EQ(regen_object(static_cast<LAYER*>(layer)), 0);
            // Saved again, the same bytes (plain, so that the comparison reads them all).
            ASSERT_EQ(drawing_file_save(path("plain1.qvm").c_str(), m.get(), 0), 0);
            ASSERT_EQ(drawing_file_save(path("plain2.qvm").c_str(), loaded.get(), 0), 0);
            EXPECT_EQ(read_bytes(path("plain1.qvm")), read_bytes(path("plain2.qvm")));
            // The undo history holds the whole chain: deleted, undone, redone, then freed
            // with the drawing; copied, recoloured and freed through a buffer.
            ZOBJ* group = static_cast<LAYER*>(layer)->first_child();
            ASSERT_EQ(model_delete_object(group, 5, 1), 0);
            EXPECT_EQ(find_named(loaded.get(), "innermost", &XPLINE::rtc_class), nullptr);
            ASSERT_EQ(model_undo(loaded.get()), 0);
            EXPECT_EQ(find_named(loaded.get(), "innermost", &XPLINE::rtc_class), inner);
            std::unique_ptr<RTC> copy;
            ASSERT_EQ(rtc_clone(&copy, group), 0);
            buffer* held = buffer_new();
            ASSERT_EQ(buffer_add(held, static_cast<ZOBJ*>(copy.release())), 0);
            buffer_set_color(held, 3);
            buffer_delete_objects_unlinked(held);
            buffer_free(&held);
            ASSERT_EQ(model_redo(loaded.get()), 0);
            EXPECT_EQ(find_named(loaded.get(), "innermost", &XPLINE::rtc_class), nullptr);
        }));
    }
}

TEST_F(DeepGroupTest, BlocksKeepEveryDepthTheyMayHold) {
    // In a block the selected group is the first level: groups + 1 levels in all.
    struct Case {
        int groups;
        int result;
    } cases[] = {
        {200, 0},
        {kMaxRecordNesting - 1, 0},
        {kMaxRecordNesting, 13},
    };
    for (const Case& c : cases) {
        // On a small stack: a walk taking a call per group level overflows it.
        ASSERT_TRUE(run_on_small_stack([&] {
            SCOPED_TRACE(c.groups);
            auto m = new_model();
            CONTAINER* outer = nest(add_layer(m.get()), c.groups);
            buffer* sel = buffer_new();
            EXPECT_EQ(buffer_add(sel, outer), 0);
            // A file already there is left as it was when the save is refused.
            const std::string file = path("b.mcr");
            const Bytes before = {'o', 'l', 'd'};
            write_bytes(file, before);
            const std::vector<std::string> names = folder_names(dir_);
            const int saved = block_file_save(file.c_str(), "deep", m.get(), 0, sel, Vec3{0, 0, 0});
            buffer_free(&sel);
            ASSERT_EQ(saved, c.result);
            if (c.result != 0) {
                EXPECT_EQ(read_bytes(file), before);
                // Nothing left beside it, whatever a temporary file is named.
                EXPECT_EQ(folder_names(dir_), names);
                return;
            }
            auto into = new_model();
            sel = buffer_new();
            char label[kBlockLabelSize];
            Vec3 base{};
            ASSERT_EQ(
                block_file_load(file.c_str(), label, sizeof label, into.get(), sel, &base, nullptr, 0),
                0);
            ASSERT_NE(sel->refs, nullptr);
            auto* top = rtc_cast<CONTAINER>(sel->refs->ref);
            ASSERT_NE(top, nullptr);
            int depth = 0;
            ZOBJ* z = top;
            while (auto* g = rtc_cast<CONTAINER>(z)) {
                ++depth;
                z = static_cast<ZOBJ*>(g->children);
                ASSERT_NE(z, nullptr);
            }
            EXPECT_EQ(depth, c.groups);
            EXPECT_STREQ(z->name(), "innermost");
            EXPECT_EQ(regen_object(top), 0);
            buffer_delete_objects_unlinked(sel);
            buffer_free(&sel);
        }));
    }
}

TEST_F(DeepGroupTest, RefusedDrawingLeavesNothingBehind) {
    // One level too deep, behind a layer of ordinary line work: refused plain, packed
    // and into memory, whether the save numbers the objects as it writes them (no
    // keyframe track alive) or first (one alive). The file already there keeps its
    // bytes, no scratch or temporary file is left beside it, and the memory output is
    // untouched.
    auto m = new_model();
    auto* first = rtc_make<LAYER>().release();
    first->set_string(0, "first");
    ASSERT_EQ(container_insert(m.get(), first), 0);
    for (int i = 0; i < 50; ++i) {
        auto* x = rtc_make<XPLINE>().release();
        x->control = make_points({{0, 0, 0}, {float(i), 1, 0}});
        ASSERT_EQ(container_insert(first, x), 0);
        ASSERT_EQ(regen_object(x), 0);
    }
    nest(add_layer(m.get()), kMaxRecordNesting - 1);
    const Bytes before = {'o', 'l', 'd'};
    const std::string file = path("d.qvm");
    for (bool track_alive : {false, true}) {
        SCOPED_TRACE(track_alive ? "a track alive" : "no track alive");
        std::unique_ptr<XPLINE> stray;
        if (track_alive) {
            stray = rtc_make<XPLINE>();
            stray->tracks = track_new("stray", stray.get());
            ASSERT_NE(stray->tracks, nullptr);
        }
        for (int pack : {0, 1}) {
            SCOPED_TRACE(pack);
            write_bytes(file, before);
            EXPECT_EQ(drawing_file_save(file.c_str(), m.get(), pack), kBadArgument);
            EXPECT_EQ(read_bytes(file), before);
            EXPECT_EQ(folder_names(dir_), std::vector<std::string>{"d.qvm"});
        }
        Bytes out = before;
        EXPECT_EQ(drawing_file_save_memory(&out, m.get()), kBadArgument);
        EXPECT_EQ(out, before);
    }
}
