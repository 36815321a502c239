// Group, Split group and the clipboard: flat groups and their undo, the messages of
// empty selections, and Paste into another drawing with its layers and styles.
#include "../file/file_support.h"
#include "../file/rich_drawing.h"
#include "edit_fixture.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/material/material.h"
#include "model/math/result.h"
#include "model/services/strtab.h"

namespace {

using GroupTest = EditTest;

size_t children(const CONTAINER* c) {
    size_t n = 0;
    if (const ZDLIST* p = c->children) {
        do {
            ++n;
            p = p->next;
        } while (p != c->children);
    }
    return n;
}

TEST_F(GroupTest, GroupingAGroupIsFlatAndUndoRestoresIt) {
    Harness h;
    define_edit_commands(h);
    XPLINE* a = line_at(h.model(), 0, 0);
    XPLINE* b = line_at(h.model(), 0, 20);
    EXPECT_EQ(buffer_add(h.view()->selection, a), 0);
    EXPECT_EQ(buffer_add(h.view()->selection, b), 0);
    h.run(kCmdGroup);
    auto objs = drawing_objects(h.model());
    ASSERT_EQ(objs.size(), 1u);
    auto* inner = rtc_cast<CONTAINER>(objs[0]);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(children(inner), 2u);
    EXPECT_FALSE(buffer_has_objects(h.view()->selection));

    XPLINE* c = line_at(h.model(), 0, 40);
    EXPECT_EQ(buffer_add(h.view()->selection, inner), 0);
    EXPECT_EQ(buffer_add(h.view()->selection, c), 0);
    const std::string before = dump_drawing(h.model());
    h.run(kCmdGroup);
    objs = drawing_objects(h.model());
    ASSERT_EQ(objs.size(), 1u);
    auto* outer = rtc_cast<CONTAINER>(objs[0]);
    ASSERT_NE(outer, nullptr);
    EXPECT_EQ(children(outer), 3u);  // no group inside
    for (ZDLIST* p = outer->children; p; p = p->next == outer->children ? nullptr : p->next)
        EXPECT_FALSE(rtc_is<CONTAINER>(p));
    EXPECT_EQ(h.model()->undo_levels, 2);
    model_undo(h.model());
    EXPECT_EQ(dump_drawing(h.model()), before);
}

TEST_F(GroupTest, MessagesAndNo) {
    Harness h;
    define_edit_commands(h);
    XPLINE* a = line_at(h.model(), 0, 0);
    h.run(kCmdGroup);
    h.run(kCmdSplitGroup);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], res_load_string(kTextNoSelection));
    EXPECT_EQ(boxes[1], res_load_string(kTextNoGroups));
    EXPECT_EQ(buffer_add(h.view()->selection, a), 0);
    answers = {kIdNo};
    h.run(kCmdGroup);
    EXPECT_EQ(drawing_objects(h.model()).size(), 1u);
    EXPECT_EQ(h.model()->undo_levels, 0);
    h.run(kCmdSplitGroup);  // a line is no group
    EXPECT_EQ(boxes.back(), res_load_string(kTextNoGroups));
}

TEST_F(GroupTest, SplitPutsTheMembersBackAndUndoesInOneLevel) {
    for (int mode : {-1, 0}) {
        SCOPED_TRACE(mode);
        Harness h;
        define_edit_commands(h);
        g_prefs.undo_mode = mode;
        line_at(h.model(), 0, 0);
        line_at(h.model(), 0, 20);
        h.view()->criteria.flags = 0;
        h.run(kCmdSelect);
        h.run(kCmdGroup);
        auto* grp = rtc_cast<CONTAINER>(drawing_objects(h.model())[0]);
        ASSERT_NE(grp, nullptr);
        const std::string grouped = dump_drawing(h.model());
        EXPECT_EQ(buffer_add(h.view()->selection, grp), 0);
        h.run(kCmdSplitGroup);
        auto objs = drawing_objects(h.model());
        EXPECT_EQ(objs.size(), 2u);
        for (object* o : objs) EXPECT_TRUE(rtc_is<XPLINE>(o));
        EXPECT_EQ(h.model()->undo_levels, mode < 0 ? 2 : 0);
        if (mode < 0) {
            model_undo(h.model());
            EXPECT_EQ(dump_drawing(h.model()), grouped);
        }
    }
}

using ClipboardTest = EditTest;

std::set<std::string> names(ZDLIST* ring, const RtcClass* cls) {
    std::set<std::string> out;
    if (!ring) return out;
    ZDLIST* p = ring;
    do {
        if (rtc_is_a(p, cls)) out.insert(static_cast<ZOBJ*>(p)->name());
        p = p->next;
    } while (p != ring);
    return out;
}

TEST_F(ClipboardTest, PasteIntoAnotherDrawingKeepsLayersAndStyles) {
    std::set<std::string> layers, line_styles, fonts, hatches, images;
    {
        Harness a;
        define_edit_commands(a);
        ASSERT_EQ(build_rich_drawing(a.model()), 0);
        layers = names(a.model()->children, &LAYER::rtc_class);
        a.view()->criteria.flags = 0;
        a.run(kCmdSelect);
        ASSERT_TRUE(buffer_has_objects(a.view()->selection));
        a.click({0, 0, 0});
        EXPECT_EQ(a.run(kCmdCopyClipboard), 0);
        ASSERT_NE(*clip_contents(), nullptr);
        line_styles = names(a.model()->patterns, &LINEPATT::rtc_class);
        fonts = names(a.model()->patterns, &FONTPATT::rtc_class);
        hatches = names(a.model()->patterns, &HATCHPATT::rtc_class);
        images = names(a.model()->patterns, &MATRPATT::rtc_class);
    }
    // The clipboard outlives its source drawing.
    MODEL* clip = *clip_contents();
    EXPECT_EQ(names(clip->children, &LAYER::rtc_class), layers);
    EXPECT_EQ(clip->undo_levels, 0);

    Harness b;
    define_edit_commands(b);
    auto own = rtc_make<LINEPATT>();
    own->set_string(0, "Dashed");
    auto* own_dashed = own.get();
    model_insert_patt(b.model(), own.release());
    b.click({50, 50, 0});
    EXPECT_EQ(b.run(kCmdPaste), 0);
    MODEL* m = b.model();
    for (const auto& n : layers) EXPECT_TRUE(names(m->children, &LAYER::rtc_class).count(n)) << n;
    for (const auto& n : line_styles) EXPECT_TRUE(names(m->patterns, &LINEPATT::rtc_class).count(n)) << n;
    for (const auto& n : fonts) EXPECT_TRUE(names(m->patterns, &FONTPATT::rtc_class).count(n)) << n;
    for (const auto& n : hatches) EXPECT_TRUE(names(m->patterns, &HATCHPATT::rtc_class).count(n)) << n;
    for (const auto& n : images) EXPECT_TRUE(names(m->patterns, &MATRPATT::rtc_class).count(n)) << n;
    // The target's own "Dashed" serves the pasted wires.
    EXPECT_EQ(model_find_patt(m, "Dashed", &LINEPATT::rtc_class), own_dashed);
    int dashed_users = 0;
    for (object* o : drawing_objects(m))
        if (auto* w = rtc_cast<WIRE>(o); w && w->line_style && std::string(w->line_style->name()) == "Dashed") {
            EXPECT_EQ(w->line_style, own_dashed);
            ++dashed_users;
        }
    EXPECT_GT(dashed_users, 0);

    // A second paste; Undo removes it only.
    const std::string once = dump_drawing(m);
    const int levels = m->undo_levels;
    b.click({80, 20, 0});
    EXPECT_EQ(b.run(kCmdPaste), 0);
    EXPECT_EQ(m->undo_levels, levels + 1);
    EXPECT_NE(dump_drawing(m), once);
    model_undo(m);
    EXPECT_EQ(dump_drawing(m), once);
}

// Pasted to a typed place that carried the objects beyond the drawing's range, a
// line reached infinity: the place is refused and asked again.
TEST_F(ClipboardTest, PasteBeyondTheRangeIsAskedAgain) {
    Harness h;
    define_edit_commands(h);
    EXPECT_EQ(buffer_add(h.view()->selection,
                         scene_line(scene_layer(h.model()), {{0, 0, 0}, {3e38f, 0, 0}})),
              0);
    h.click({0, 0, 0});
    ASSERT_EQ(h.run(kCmdCopyClipboard), 0);
    h.typed("3e38 0 0").typed("-1e38 5 0");
    EXPECT_EQ(h.run(kCmdPaste), 0);
    EXPECT_EQ(h.script_left(), 0u);
    EXPECT_EQ(boxes, std::vector<std::string>{"Please enter the value correctly"});
    auto objs = drawing_objects(h.model());
    ASSERT_EQ(objs.size(), 2u);
    auto p = scene_points(rtc_cast<XPLINE>(objs.back())->control);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].y, 5.0f);
    EXPECT_FLOAT_EQ(p[1].x, 2e38f);
}

TEST_F(ClipboardTest, PasteWithoutClipboardDoesNothing) {
    Harness h;
    define_edit_commands(h);
    EXPECT_EQ(h.run(kCmdPaste), 0);
    EXPECT_EQ(h.model()->undo_levels, 0);
}

// A paste that fails part way, with undo off, leaves the target as it was: the styles
// it brought in and the copies made before the failure go again, and no level stays.
int g_copies_left = 0;
int (*g_line_copy)(const RTC*, RTC*) = nullptr;
int copy_then_fail(const RTC* src, RTC* dst) {
    if (g_copies_left > 0 && --g_copies_left == 0) return kOutOfMemory;
    return g_line_copy(src, dst);
}

TEST_F(ClipboardTest, AFailedPasteWithUndoOffChangesNothing) {
    {
        Harness a;
        define_edit_commands(a);
        auto style = rtc_make<LINEPATT>();
        style->set_string(0, "Dotted");
        LINEPATT* dotted = style.get();
        model_insert_patt(a.model(), style.release());
        for (int i = 0; i < 3; ++i) {
            XPLINE* l = line_at(a.model(), 0, float(10 * i));
            l->line_style = dotted;
            EXPECT_EQ(buffer_add(a.view()->selection, l), 0);
        }
        a.click({0, 0, 0});
        ASSERT_EQ(a.run(kCmdCopyClipboard), 0);
    }
    for (int mode : {0, 2, -1}) {
        SCOPED_TRACE(mode);
        g_prefs.undo_mode = mode;
        Harness b;
        define_edit_commands(b);
        const std::string before = dump_drawing(b.model());
        g_line_copy = XPLINE::rtc_class.copy;
        g_copies_left = 2;
        XPLINE::rtc_class.copy = copy_then_fail;
        b.click({50, 50, 0});
        const int rc = b.run(kCmdPaste);
        XPLINE::rtc_class.copy = g_line_copy;
        g_copies_left = 0;
        EXPECT_EQ(rc, kOutOfMemory);
        EXPECT_EQ(dump_drawing(b.model()), before);
        EXPECT_EQ(b.model()->undo_levels, 0);
    }
}

}  // namespace
