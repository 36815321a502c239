// Loading into an open drawing: layers and styles merged by name, references that
// resolve through this load only, bad headers, and the label, styles and selection
// of block files.
#include <cstring>

#include "file_support.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "model/file/records.h"
#include "model/font/strokefont.h"
#include "model/geom/regen.h"
#include "rich_drawing.h"

// A view class of the tests' own: what a block file must not keep.
class TestView : public ZSVIEW {
  public:
    static RtcClass rtc_class;
    TestView() { set_klass(&rtc_class); }
};
RTC_CLASS_RECORD(TestView, "TESTVIEW", &ZSVIEW::rtc_class, 3, nullptr, nullptr, nullptr, false,
                 false);

namespace {

template <class T>
T* add(CONTAINER* into, const char* name) {
    auto* t = rtc_make<T>().release();
    t->set_string(0, name);
    if (container_insert(into, t) != 0) rtc_destroy(t);
    return t;
}

XPLINE* add_line(CONTAINER* into, const char* name, LINEPATT* style = nullptr) {
    auto* x = add<XPLINE>(into, name);
    x->control = make_points({{0, 0, 0}, {1, 1, 0}});
    x->line_style = style;
    EXPECT_EQ(regen_object(x), 0);
    return x;
}

int children(const CONTAINER* c) {
    int n = 0;
    if (c && c->children) {
        const ZDLIST* z = c->children;
        do {
            ++n;
            z = z->next;
        } while (z != c->children);
    }
    return n;
}

int layers_named(MODEL* m, const char* name) {
    int n = 0;
    for (ZDLIST* z = m->children; z; z = z->next == m->children ? nullptr : z->next) {
        n += rtc_is<LAYER>(z) && std::strcmp(static_cast<ZOBJ*>(z)->name(), name) == 0;
    }
    return n;
}

}  // namespace

using ImportTest = FileTest;

TEST_F(ImportTest, LayersAndStylesMergeByName) {
    auto src = new_model();
    auto* solid = static_cast<LINEPATT*>(model_find_patt(src.get(), "Solid", &LINEPATT::rtc_class));
    solid->dashes = {1.0, 0.5};
    auto* dflt = static_cast<LAYER*>(src->children);
    dflt->set_string(1, "from the file");
    add_line(dflt, "loaded", solid);
    ASSERT_EQ(drawing_file_save(path("a.qvm").c_str(), src.get(), 0), 0);

    auto open = new_model();
    auto* own_solid = model_find_patt(open.get(), "Solid", &LINEPATT::rtc_class);
    XPLINE* mine =
        add_line(static_cast<LAYER*>(open->children), "mine", static_cast<LINEPATT*>(own_solid));
    ASSERT_EQ(drawing_file_import(path("a.qvm").c_str(), open.get()), 0);

    EXPECT_EQ(layers_named(open.get(), "default"), 1);
    auto* layer = static_cast<LAYER*>(open->children);
    EXPECT_EQ(children(layer), 2);
    EXPECT_STREQ(layer->str(1), "from the file");
    // The loaded "Solid" replaced the drawing's own, and the drawing's objects follow it.
    auto* now = static_cast<LINEPATT*>(model_find_patt(open.get(), "Solid", &LINEPATT::rtc_class));
    ASSERT_NE(now, nullptr);
    EXPECT_EQ(now->dashes, (std::vector<double>{1.0, 0.5}));
    EXPECT_EQ(mine->line_style, now);
    int solids = 0;
    for (ZDLIST* p = open->patterns; p; p = p->next == open->patterns ? nullptr : p->next)
        solids += std::strcmp(static_cast<PATT*>(p)->name(), "Solid") == 0;
    EXPECT_EQ(solids, 1);
}

TEST_F(ImportTest, StylesThatCannotStandAreNotTaken) {
    auto src = bare_model();
    auto* font =
        static_cast<FONTPATT*>(model_find_patt(src.get(), "DEFAULT", &FONTPATT::rtc_class));
    font_free(&font->font);  // a font whose file was missing
    auto* img = add<MATRPATT>(src.get(), "NoPixels");
    (void)img;
    ASSERT_EQ(drawing_file_save(path("a.qvm").c_str(), src.get(), 0), 0);

    auto open = new_model();
    auto* before =
        static_cast<FONTPATT*>(model_find_patt(open.get(), "DEFAULT", &FONTPATT::rtc_class));
    ASSERT_EQ(drawing_file_import(path("a.qvm").c_str(), open.get()), 0);
    EXPECT_EQ(model_find_patt(open.get(), "DEFAULT", &FONTPATT::rtc_class), before);
    EXPECT_NE(before->font, nullptr);
    // A fresh image style shows the shared black pixel: written as that 1 x 1 image, it
    // comes back (and stays shared) rather than being dropped as an image of size 0.
    auto* no_pixels =
        rtc_cast<MATRPATT>(model_find_patt(open.get(), "NoPixels", &MATRPATT::rtc_class));
    ASSERT_NE(no_pixels, nullptr);
    EXPECT_FALSE(no_pixels->has_own_pixels());

    // A style of a more general class cannot stand in for its namesake: the objects
    // that use the drawing's own keep it, alive.
    auto general = bare_model();
    add<PATT>(general.get(), "Dashed");
    ASSERT_EQ(drawing_file_save(path("b.qvm").c_str(), general.get(), 0), 0);
    auto* dashed = add<LINEPATT>(open.get(), "Dashed");
    dashed->dashes = {0.5, 0.25};
    XPLINE* line = add_line(static_cast<LAYER*>(open->children), "line", dashed);
    ASSERT_EQ(drawing_file_import(path("b.qvm").c_str(), open.get()), 0);
    EXPECT_EQ(model_find_patt(open.get(), "Dashed", &LINEPATT::rtc_class), dashed);
    EXPECT_EQ(line->line_style, dashed);
    EXPECT_EQ(dashed->dashes.size(), 2u);
}

TEST_F(ImportTest, ReferencesResolveWithinThisLoadOnly) {
    // The file: an object with file id 2 and a track whose object key names id 2 and
    // whose parent is track 0 of the file.
    auto src = bare_model();
    auto* l = add<LAYER>(src.get(), "Imported");
    XPLINE* a = add_line(l, "a");
    XPLINE* b = add_line(l, "b");
    KeyframeTrack* ta = track_new("ta", a);
    a->tracks = ta;
    KeyframeTrack* tb = track_new("tb", b);
    b->tracks = tb;
    (void)track_link_child(ta, tb);
    tb->objects.keys = {ObjectKey{3, {0, 0, 0, 0, 0}, a}};
    ASSERT_EQ(drawing_file_save(path("a.qvm").c_str(), src.get(), 0), 0);

    // The open drawing has objects and tracks with the same numbers.
    auto open = new_model();
    auto* own = static_cast<LAYER*>(open->children);
    XPLINE* x = add_line(own, "x");
    XPLINE* y = add_line(own, "y");
    XPLINE* z = add_line(own, "z");
    model_number_objects(open.get());  // x, y, z get 2, 3, 4; their tracks 0, 1
    KeyframeTrack* tx = track_new("tx", x);
    x->tracks = tx;
    tx->id = 0;
    KeyframeTrack* ty = track_new("ty", y);
    y->tracks = ty;
    ty->id = 1;
    (void)z;
    ASSERT_EQ(drawing_file_import(path("a.qvm").c_str(), open.get()), 0);

    auto* la = rtc_cast<XPLINE>(find_named(open.get(), "a", &XPLINE::rtc_class));
    auto* lb = rtc_cast<XPLINE>(find_named(open.get(), "b", &XPLINE::rtc_class));
    ASSERT_TRUE(la && lb && la->tracks && lb->tracks);
    EXPECT_EQ(lb->tracks->parent, la->tracks);
    ASSERT_EQ(lb->tracks->objects.keys.size(), 1u);
    EXPECT_EQ(lb->tracks->objects.keys[0].target, la);
    EXPECT_EQ(tx->children, nullptr);
    EXPECT_EQ(ty->parent, nullptr);
    EXPECT_EQ(open->frame_count, 4);
}

TEST_F(ImportTest, BadHeadersLeaveTheDrawingAlone) {
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"first word 2", ByteWriter().i32(2).i32(112).i32(0).b},
        {"version 113", ByteWriter().i32(1).i32(113).i32(0).b},
        {"coding 2", ByteWriter().i32(1).i32(112).i32(2).b},
        {"version 99", ByteWriter().i32(1).i32(99).b},
        {"short", ByteWriter().i32(1).b},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        write_bytes(path("bad.qvm"), bytes);
        auto m = new_model();
        m->frame_count = 77;
        const std::string before = dump_drawing(m.get());
        EXPECT_NE(drawing_file_import(path("bad.qvm").c_str(), m.get()), 0);
        EXPECT_EQ(dump_drawing(m.get()), before);
    }
    auto m = new_model();
    EXPECT_EQ(drawing_file_import(path("missing.qvm").c_str(), m.get()), ENOENT);
    EXPECT_EQ(drawing_file_import("", m.get()), 0);
    EXPECT_EQ(drawing_file_import(path("missing.qvm").c_str(), nullptr), 0);
}

TEST_F(ImportTest, TopChunkMustBeTheDrawing) {
    auto m = bare_model();
    auto* sel = buffer_new();
    ASSERT_EQ(block_file_save(path("b.mcr").c_str(), "blk", m.get(), 0, sel, Vec3{0, 0, 0}), 0);
    EXPECT_EQ(drawing_file_import(path("b.mcr").c_str(), m.get()), kIoWrongTopChunk);
    buffer_free(&sel);
}

// ---- Blocks

class BlockTest : public FileTest {
  protected:
    void TearDown() override {
        if (sel) {
            buffer_delete_objects(sel);
            buffer_free(&sel);
        }
        FileTest::TearDown();
    }
    buffer* sel = nullptr;
};

TEST_F(BlockTest, OnlyTheStylesInUseAreWrittenAndMergedByName) {
    auto src = new_model();
    auto* dashed = add<LINEPATT>(src.get(), "Dashed");
    dashed->dashes = {0.25, 0.25};
    auto* unused = add<LINEPATT>(src.get(), "Unused");
    unused->dashes = {1, 1};
    auto* brick = add<HATCHPATT>(src.get(), "Brick");
    brick->lines.resize(1);
    auto* layer = static_cast<LAYER*>(src->children);
    XPLINE* line = add_line(layer, "line", dashed);
    auto* group = add<CONTAINER>(layer, "group");
    auto* hatch = add<HATCH>(group, "hatch");
    hatch->pattern = brick;
    auto* cam = add<CAMERA>(layer, "cam");
    cam->keys = new CameraKeys();
    cam->keys->channel[0] = {ChannelKey{1, {0, 0, 0, 0, 0}, 2.0f}};
    KeyframeTrack* t = track_new("t", line);
    line->tracks = t;
    t->position.keys = {PositionKey{4, {0, 0, 0, 0, 0}, {1, 2, 3}}};
    buffer* out = buffer_new();
    EXPECT_EQ(buffer_add(out, line), 0);
    EXPECT_EQ(buffer_add(out, group), 0);
    EXPECT_EQ(buffer_add(out, cam), 0);
    ASSERT_EQ(block_file_save(path("b.mcr").c_str(), "My block", src.get(), 0, out, Vec3{1, 2, 3}),
              0);
    buffer_free(&out);
    const Bytes bytes = read_bytes(path("b.mcr"));
    auto contains = [&](const char* text) {
        return std::search(bytes.begin(), bytes.end(), text, text + std::strlen(text)) !=
               bytes.end();
    };
    EXPECT_TRUE(contains("Dashed"));
    EXPECT_TRUE(contains("Brick"));
    EXPECT_FALSE(contains("Unused"));

    // Into a drawing that has its own "Dashed": the block's objects use the drawing's.
    auto into = new_model();
    auto* own = add<LINEPATT>(into.get(), "Dashed");
    sel = buffer_new();
    char label[kBlockLabelSize];
    Vec3 base{};
    ASSERT_EQ(block_file_load(path("b.mcr").c_str(), label, sizeof label, into.get(), sel, &base,
                              nullptr, 0),
              0);
    EXPECT_STREQ(label, "My block");
    EXPECT_EQ(base.x, 1.0f);
    EXPECT_EQ(base.z, 3.0f);
    int count = 0;
    for (RefNode* n = sel->refs; n; n = n->next) {
        if (!n->ref) continue;
        ++count;
        EXPECT_EQ(n->ref->parent, nullptr);
        if (auto* x = rtc_cast<XPLINE>(n->ref)) {
            EXPECT_EQ(x->line_style, own);
            EXPECT_EQ(x->tracks, nullptr);  // blocks carry no animation
        }
        if (auto* c = rtc_cast<CAMERA>(n->ref)) {
            EXPECT_EQ(c->keys, nullptr);
        }
        if (auto* g = rtc_cast<CONTAINER>(n->ref)) {
            auto* h = rtc_cast<HATCH>(g->first_child());
            ASSERT_NE(h, nullptr);
            EXPECT_EQ(h->pattern, model_find_patt(into.get(), "Brick", &HATCHPATT::rtc_class));
            EXPECT_NE(h->pattern, nullptr);
        }
    }
    EXPECT_EQ(count, 3);
    int dashed_styles = 0;
    for (ZDLIST* p = into->patterns; p; p = p->next == into->patterns ? nullptr : p->next)
        dashed_styles += std::strcmp(static_cast<PATT*>(p)->name(), "Dashed") == 0;
    EXPECT_EQ(dashed_styles, 1);
}

TEST_F(BlockTest, LabelOnlyModeReadsLabelAndBasePoint) {
    auto src = new_model();
    XPLINE* line = add_line(static_cast<LAYER*>(src->children), "line");
    sel = buffer_new();
    EXPECT_EQ(buffer_add(sel, line), 0);
    const std::string long_label(300, 'x');
    ASSERT_EQ(block_file_save(path("b.mcr").c_str(), long_label.c_str(), src.get(), 1, sel,
                              Vec3{4, 5, 6}),
              0);
    buffer_free(&sel);
    char label[kBlockLabelSize];
    Vec3 base{};
    const long before = rtc_live_objects();
    ASSERT_EQ(block_file_load(path("b.mcr").c_str(), label, sizeof label, nullptr, nullptr, &base,
                              nullptr, 0),
              0);
    EXPECT_EQ(std::strlen(label), 255u);  // labels are kept below 256 bytes
    EXPECT_EQ(base.y, 5.0f);
    EXPECT_EQ(rtc_live_objects(), before);
    char small[8];
    ASSERT_EQ(block_file_load(path("b.mcr").c_str(), small, sizeof small, nullptr, nullptr, &base,
                              nullptr, 0),
              0);
    EXPECT_STREQ(small, "xxxxxxx");
}

TEST_F(BlockTest, ArgumentsAndWrongFilesGiveTheirCodes) {
    auto m = new_model();
    buffer* s = buffer_new();
    EXPECT_EQ(block_file_save("", "x", m.get(), 0, s, Vec3{}), kBadArgument);
    EXPECT_EQ(block_file_save(path("b.mcr").c_str(), "x", m.get(), 2, s, Vec3{}), kBadArgument);
    EXPECT_EQ(block_file_save(path("b.mcr").c_str(), "x", m.get(), 0, nullptr, Vec3{}), 0);
    EXPECT_FALSE(file_exists(path("b.mcr")));
    buffer_free(&s);

    // A drawing file is no block: 11, and its bytes are not taken for a base point.
    ASSERT_EQ(drawing_file_save(path("d.qvm").c_str(), m.get(), 0), 0);
    char label[16] = "unchanged";
    Vec3 base{7, 7, 7};
    EXPECT_EQ(block_file_load(path("d.qvm").c_str(), label, sizeof label, m.get(), nullptr, &base,
                              nullptr, 0),
              kIoWrongTopChunk);
    EXPECT_EQ(base.x, 7.0f);
    // Bad content: 13.
    write_bytes(
        path("bad.mcr"),
        ByteWriter()
            .i32(1)
            .i32(112)
            .i32(0)
            .chunk(1025,
                   ByteWriter().f32(0).f32(0).f32(0).chunk(1033, ByteWriter().varint(1000).b).b)
            .b);
    EXPECT_EQ(block_file_load(path("bad.mcr").c_str(), label, sizeof label, m.get(), nullptr, &base,
                              nullptr, 0),
              kBadArgument);
    EXPECT_EQ(block_file_load("", label, sizeof label, m.get(), nullptr, &base, nullptr, 0), 0);
}

TEST_F(BlockTest, MergedStylesJoinTheUndoHistory) {
    auto src = new_model();
    auto* dashed = add<LINEPATT>(src.get(), "Dashed");
    sel = buffer_new();
    EXPECT_EQ(buffer_add(sel, add_line(static_cast<LAYER*>(src->children), "line", dashed)), 0);
    ASSERT_EQ(block_file_save(path("b.mcr").c_str(), "b", src.get(), 0, sel, Vec3{}), 0);
    buffer_free(&sel);

    auto into = new_model();
    sel = buffer_new();
    int new_level = 1;
    ASSERT_EQ(block_file_load(path("b.mcr").c_str(), nullptr, 0, into.get(), sel, nullptr,
                              &new_level, 10),
              0);
    EXPECT_EQ(new_level, 0);
    auto* merged = model_find_patt(into.get(), "Dashed", &LINEPATT::rtc_class);
    ASSERT_NE(merged, nullptr);
    XPLINE* line = nullptr;
    for (RefNode* n = sel->refs; n; n = n->next) line = line ? line : rtc_cast<XPLINE>(n->ref);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->line_style, merged);
}

TEST_F(BlockTest, ViewRecordsInABlockAreDropped) {
    // Views belong to a drawing's windows, not to a block: one in a block file is
    // neither handed over nor left alive.
    rtc_class_setup(&TestView::rtc_class);
    const Bytes view_record =
        ByteWriter().chunk(126, ByteWriter().chunk(127, ByteWriter().str("TESTVIEW").b).b).b;
    write_bytes(path("v.mcr"), ByteWriter()
                                   .i32(1)
                                   .i32(112)
                                   .i32(0)
                                   .chunk(1025, ByteWriter()
                                                    .f32(1)
                                                    .f32(2)
                                                    .f32(3)
                                                    .chunk(125, {})
                                                    .chunk(1033, ByteWriter().str("v").b)
                                                    .raw(view_record)
                                                    .b)
                                   .b);
    auto m = new_model();
    sel = buffer_new();
    char label[16];
    Vec3 base{};
    EXPECT_EQ(block_file_load(path("v.mcr").c_str(), label, sizeof label, m.get(), sel, &base,
                              nullptr, 0),
              0);
    EXPECT_STREQ(label, "v");
    EXPECT_EQ(base.z, 3.0f);
    EXPECT_EQ(sel->refs, nullptr);
    EXPECT_EQ(m->views, nullptr);
}
