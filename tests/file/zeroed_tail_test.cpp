// Drawings and blocks whose tail was zeroed (a crash that lost the last blocks of a
// file, a preallocated download that stopped): at every offset, the load is refused
// or gives the whole structure (every record, group and style); it never opens a
// part of the drawing as if it were all of it.
#include <string>

#include "file_support.h"
#include "model/db/buffer.h"
#include "model/db/solid.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "model/math/result.h"
#include "model/services/log.h"

using ZeroedTailTest = FileTest;

namespace {

const std::string kCorpus = std::string(ZELO_TEST_DATA) + "/../../fuzz/corpus/";

// What a load must not lose: the class, nesting level and size of every object, in
// tree order. Zeroed values inside a record are not structure.
void add_structure(std::string& out, const ZOBJ* z, int depth) {
    out += std::to_string(depth) + " " + z->klass()->name;
    if (const auto* x = rtc_cast<XPLINE>(z)) out += " p" + std::to_string(plist_count(x->control));
    if (const auto* m = rtc_cast<MESH3>(z)) {
        for (const MeshFaceBlock* b = m->blocks; b; b = b->next)
            out += " v" + std::to_string(b->vertices.size()) + "f" + std::to_string(b->faces.size());
    }
    out += "\n";
    if (const auto* c = rtc_cast<CONTAINER>(z); c && c->children) {
        const ZDLIST* n = c->children;
        do {
            add_structure(out, static_cast<const ZOBJ*>(n), depth + 1);
            n = n->next;
        } while (n != c->children);
    }
}

void add_ring(std::string& out, const ZDLIST* ring, int depth) {
    if (!ring) return;
    const ZDLIST* n = ring;
    do {
        add_structure(out, static_cast<const ZOBJ*>(n), depth);
        n = n->next;
    } while (n != ring);
}

std::string structure(const MODEL* m, const buffer* selection = nullptr) {
    std::string out;
    add_ring(out, m->patterns, 0);
    out += "--\n";
    add_ring(out, m->children, 0);
    out += "-- views " + std::to_string(m->views ? 1 : 0) + "\n";
    if (selection) {
        for (const RefNode* r = selection->refs; r; r = r->next) add_structure(out, r->ref, 1);
    }
    return out;
}

// Loads `bytes` as a drawing (or a block); returns the result and the structure read.
int load(const Bytes& bytes, bool block, std::string* got) {
    auto m = new_model();
    int r;
    if (block) {
        buffer* sel = buffer_new();
        char label[kBlockLabelSize];
        Vec3 base{};
        r = block_file_load_memory(bytes.data(), bytes.size(), label, sizeof label, m.get(), sel,
                                   &base, nullptr, 0);
        *got = structure(m.get(), sel);
        buffer_delete_objects_unlinked(sel);
        buffer_free(&sel);
    } else {
        r = drawing_file_import_memory(bytes.data(), bytes.size(), m.get());
        *got = structure(m.get());
    }
    drawing_file_drop_views(m.get());
    return r;
}

}  // namespace

struct ZeroedCase {
    const char* file;  // under fuzz/corpus
    bool block;
};

void PrintTo(const ZeroedCase& c, std::ostream* os) {
    *os << c.file;
}

class ZeroedTailAtEveryOffset : public FileTest, public ::testing::WithParamInterface<ZeroedCase> {};

TEST_P(ZeroedTailAtEveryOffset, IsRefusedOrWhole) {
    const ZeroedCase& c = GetParam();
    const Bytes whole = read_bytes(kCorpus + c.file);
    ASSERT_FALSE(whole.empty());
    std::string full;
    ASSERT_EQ(load(whole, c.block, &full), 0);
    // Thousands of refusals: their log lines are not wanted here.
    const LogHook before = log_set_hook([](LogLevel, const char*) {});
    int opened_partial = 0;
    size_t first_partial = 0;
    Bytes damaged = whole;
    for (size_t at = whole.size(); at-- > 0;) {
        // From the end backwards: each step zeroes one more byte.
        if (whole[at] == 0) continue;  // the same file as one step later
        damaged[at] = 0;
        std::string got;
        if (load(damaged, c.block, &got) == 0 && got != full) {
            ++opened_partial;
            first_partial = at;
        }
    }
    log_set_hook(before);
    EXPECT_EQ(opened_partial, 0) << "opened partial, e.g. when zeroed from " << first_partial;
}

// Current and older versions, plain and coded, drawings and blocks.
INSTANTIATE_TEST_SUITE_P(
    Files, ZeroedTailAtEveryOffset,
    ::testing::Values(ZeroedCase{"drawing/rich_plain.qvm", false},
                      ZeroedCase{"drawing/rich_packed.qvm", false},
                      ZeroedCase{"drawing/deep_groups.qvm", false},
                      ZeroedCase{"drawing/layer_line_arc.qvm", false},
                      ZeroedCase{"drawing/old_104.qvm", false},
                      ZeroedCase{"drawing/old_106.qvm", false},
                      ZeroedCase{"drawing/old_111.qvm", false},
                      ZeroedCase{"block/rich_plain.mcr", true},
                      ZeroedCase{"block/deep_groups.mcr", true},
                      ZeroedCase{"block/rich_packed.mcr", true},
                      ZeroedCase{"block/old_104.mcr", true},
                      ZeroedCase{"block/old_106.mcr", true},
                      ZeroedCase{"block/tiny.mcr", true}),
    [](const ::testing::TestParamInfo<ZeroedCase>& info) {
        std::string name = info.param.file;
        for (char& ch : name) {
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        }
        return name;
    });

// The files themselves (the file stream knows the file's size): the rich drawing
// zeroed behind its first chunk header and the deep-groups drawing zeroed in the
// middle are refused, and so are an older drawing and a block zeroed in the middle.
TEST_F(ZeroedTailTest, DamagedFilesAreRefused) {
    struct Case {
        const char* file;
        size_t from;
    } const cases[] = {
        {"drawing/rich_plain.qvm", 16},
        {"drawing/deep_groups.qvm", 12106},
        {"drawing/old_104.qvm", 4000},
        {"block/deep_groups.mcr", 6000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Bytes bytes = read_bytes(kCorpus + c.file);
        ASSERT_GT(bytes.size(), c.from);
        std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(c.from), bytes.end(), 0);
        write_bytes(path("x"), bytes);
        auto m = new_model();
        if (std::string(c.file).starts_with("block/")) {
            buffer* sel = buffer_new();
            char label[kBlockLabelSize];
            Vec3 base{};
            EXPECT_NE(block_file_load(path("x").c_str(), label, sizeof label, m.get(), sel, &base,
                                      nullptr, 0),
                      0);
            buffer_delete_objects_unlinked(sel);
            buffer_free(&sel);
        } else {
            EXPECT_NE(drawing_file_import(path("x").c_str(), m.get()), 0);
        }
        drawing_file_drop_views(m.get());
    }
}
