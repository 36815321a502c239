// Replacing references to named styles: which references change, what is
// reported, when the object-changed hook hears of it, and that a style of the wrong
// class is never stored.
#include <gtest/gtest.h>

#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/material/material.h"
#include "tests/model/classes_support.h"

namespace {

// A few styles of every class to replace with.
class ClassReplace : public ClassTest {
  protected:
    void SetUp() override {
        ClassTest::SetUp();
        line_a = rtc_make<LINEPATT>();
        line_b = rtc_make<LINEPATT>();
        hatch_a = rtc_make<HATCHPATT>();
        hatch_b = rtc_make<HATCHPATT>();
        font_a = rtc_make<FONTPATT>();
        font_b = rtc_make<FONTPATT>();
        image_a = rtc_make<MATRPATT>();
        image_b = rtc_make<MATRPATT>();
    }

    // Names a style of the fixture (or null) for the tables.
    RTC* style(char id) const {
        switch (id) {
            case 'L':
                return line_a.get();
            case 'l':
                return line_b.get();
            case 'H':
                return hatch_a.get();
            case 'h':
                return hatch_b.get();
            case 'F':
                return font_a.get();
            case 'f':
                return font_b.get();
            case 'I':
                return image_a.get();
            case 'i':
                return image_b.get();
            default:
                return nullptr;
        }
    }

    std::unique_ptr<LINEPATT> line_a, line_b;
    std::unique_ptr<HATCHPATT> hatch_a, hatch_b;
    std::unique_ptr<FONTPATT> font_a, font_b;
    std::unique_ptr<MATRPATT> image_a, image_b;
};

// Rows: the references held before, the call (old, new; '-' is null), the result and
// the references held after. Hook calls are expected exactly when something changed.
struct Row {
    const char* before;  // two letters: first and second reference
    char old_ref, new_ref;
    int result;
    const char* after;
};

TEST_F(ClassReplace, LineWork) {
    const Row rows[] = {
        {"L-", 'L', 'l', 1, "l-"},  // another line style
        {"L-", 'L', 'H', 1, "L-"},  // a hatch pattern is no line style: kept, still reported
        {"L-", 'L', 'F', 1, "L-"}, {"L-", 'L', '-', 1, "--"},  // cleared
        {"L-", 'L', 'L', 1, "L-"},                             // query
        {"L-", 'l', 'L', 0, "L-"},                             // not referred to
        {"--", '-', 'L', 0, "--"},                             // null old reference changes nothing
    };
    RtcClass* classes[] = {&WIRE::rtc_class, &XPLINE::rtc_class, &ELARC::rtc_class};
    for (RtcClass* cls : classes) {
        for (const Row& r : rows) {
            SCOPED_TRACE(std::string(cls->name) + " " + r.before + " " + r.old_ref + "->" +
                         r.new_ref);
            std::unique_ptr<RTC> o;
            ASSERT_EQ(rtc_init(o, cls), 0);
            auto* w = static_cast<WIRE*>(o.get());
            w->line_style = static_cast<LINEPATT*>(style(r.before[0]));
            ChangedHookRecorder hook;
            EXPECT_EQ(w->replace_ref(style(r.old_ref), style(r.new_ref)), r.result);
            EXPECT_EQ(w->line_style, style(r.after[0]));
            const bool changed = r.before[0] != r.after[0];
            ASSERT_EQ(hook.calls().size(), changed ? 1u : 0u);
            if (changed) {
                EXPECT_EQ(hook.calls()[0], std::make_pair(static_cast<ZOBJ*>(w), 1));
            }
        }
    }
}

TEST_F(ClassReplace, Hatch) {
    const Row rows[] = {
        {"LH", 'L', 'l', 1, "lH"}, {"LH", 'H', 'h', 1, "Lh"},
        {"LH", 'H', '-', 1, "L-"},                             // the pattern cleared: a solid fill
        {"LH", 'L', '-', 1, "-H"}, {"LH", 'H', 'l', 1, "LH"},  // a line style is no pattern
        {"LH", 'L', 'h', 1, "LH"},                             // a pattern is no line style
        {"LH", 'H', 'F', 1, "LH"}, {"LH", 'H', 'H', 1, "LH"},
        {"LH", 'L', 'L', 1, "LH"}, {"LH", 'h', 'H', 0, "LH"},
        {"--", '-', 'H', 0, "--"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.before) + " " + r.old_ref + "->" + r.new_ref);
        auto h = rtc_make<HATCH>();
        h->line_style = static_cast<LINEPATT*>(style(r.before[0]));
        h->pattern = static_cast<HATCHPATT*>(style(r.before[1]));
        ChangedHookRecorder hook;
        EXPECT_EQ(h->replace_ref(style(r.old_ref), style(r.new_ref)), r.result);
        EXPECT_EQ(h->line_style, style(r.after[0]));
        EXPECT_EQ(h->pattern, style(r.after[1]));
        const bool changed = std::string(r.before) != r.after;
        ASSERT_EQ(hook.calls().size(), changed ? 1u : 0u);
        if (changed) {
            EXPECT_EQ(hook.calls()[0], std::make_pair(static_cast<ZOBJ*>(h.get()), 1));
        }
    }
}

TEST_F(ClassReplace, Text) {
    const Row rows[] = {
        {"LF", 'F', 'f', 1, "Lf"}, {"LF", 'F', '-', 1, "L-"},
        {"LF", 'F', 'L', 1, "LF"},                             // a line style is no font
        {"LF", 'F', 'I', 1, "LF"}, {"LF", 'L', 'F', 1, "LF"},  // a font is no line style
        {"LF", 'L', 'l', 1, "lF"}, {"LF", 'F', 'F', 1, "LF"},
        {"LF", 'f', 'F', 0, "LF"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.before) + " " + r.old_ref + "->" + r.new_ref);
        auto t = rtc_make<TEXT2>();
        t->line_style = static_cast<LINEPATT*>(style(r.before[0]));
        t->font = static_cast<FONTPATT*>(style(r.before[1]));
        ChangedHookRecorder hook;
        EXPECT_EQ(t->replace_ref(style(r.old_ref), style(r.new_ref)), r.result);
        EXPECT_EQ(t->line_style, style(r.after[0]));
        EXPECT_EQ(t->font, style(r.after[1]));
        const bool changed = std::string(r.before) != r.after;
        ASSERT_EQ(hook.calls().size(), changed ? 1u : 0u);
        if (changed) {
            EXPECT_EQ(hook.calls()[0], std::make_pair(static_cast<ZOBJ*>(t.get()), 1));
        }
    }
}

// Image slots of a material: rows give each slot's kind and image before and after
// as "kind letter" pairs, e.g. "1I" an image map of image_a, "0I" a disabled slot
// that still holds image_a.
TEST_F(ClassReplace, MaterialImageSlots) {
    const struct {
        const char* before[3];
        char old_ref, new_ref;
        int result;
        const char* after[3];
    } rows[] = {
        {{"1I", "1I", "0I"}, 'I', 'i', 1, {"1i", "1i", "0I"}},
        {{"1I", "1i", "0-"}, 'I', '-', 1, {"0I", "1i", "0-"}},  // no texture any more
        {{"1I", "1I", "1I"}, 'I', 'I', 1, {"1I", "1I", "1I"}},  // query
        {{"1i", "0I", "0-"}, 'I', 'i', 0, {"1i", "0I", "0-"}},  // only image maps count
        {{"1I", "0-", "0-"}, 'I', 'L', 1, {"1I", "0-", "0-"}},  // a line style is no image
        {{"1I", "0-", "0-"}, 'I', 'F', 1, {"1I", "0-", "0-"}},
        {{"1I", "0-", "0-"}, '-', 'i', 0, {"1I", "0-", "0-"}},
    };
    auto mesh = rtc_make<MESH3>();
    auto cam = rtc_make<CAMERA>();
    const struct {
        ZOBJ* obj;
        MaterialRecord* mat;
    } owners[] = {{mesh.get(), mesh->material}, {cam.get(), cam->material}};
    for (const auto& o : owners) {
        ASSERT_NE(o.mat, nullptr);
        for (const auto& r : rows) {
            SCOPED_TRACE(std::string(o.obj->klass()->name) + " " + r.old_ref + "->" + r.new_ref);
            for (int s = 0; s < 3; ++s) {
                o.mat->slots[s].kind = r.before[s][0] - '0';
                o.mat->slots[s].mapping.image = static_cast<MATRPATT*>(style(r.before[s][1]));
            }
            EXPECT_EQ(o.obj->replace_ref(style(r.old_ref), style(r.new_ref)), r.result);
            for (int s = 0; s < 3; ++s) {
                EXPECT_EQ(o.mat->slots[s].kind, r.after[s][0] - '0') << s;
                EXPECT_EQ(static_cast<RTC*>(o.mat->slots[s].mapping.image), style(r.after[s][1]))
                    << s;
            }
        }
        for (auto& slot : o.mat->slots) slot.kind = 0;
    }
}

// A container passes the replacement to every child below it; the query form only
// asks and changes nothing.
TEST_F(ClassReplace, ContainerReachesEveryChild) {
    auto group = rtc_make<CONTAINER>();
    auto inner = rtc_make<CONTAINER>();
    auto w1 = rtc_make<WIRE>();
    auto w2 = rtc_make<WIRE>();
    auto txt = rtc_make<TEXT2>();
    WIRE* a = w1.get();
    WIRE* b = w2.get();
    TEXT2* t = txt.get();
    a->line_style = line_a.get();
    b->line_style = line_a.get();
    t->line_style = line_a.get();
    EXPECT_EQ(container_insert(group.get(), w1.release()), 0);
    EXPECT_EQ(container_insert(inner.get(), w2.release()), 0);
    EXPECT_EQ(container_insert(inner.get(), txt.release()), 0);
    EXPECT_EQ(container_insert(group.get(), inner.release()), 0);

    ChangedHookRecorder hook;
    EXPECT_EQ(group->replace_ref(line_a.get(), line_a.get()), 1);
    EXPECT_TRUE(hook.calls().empty());
    EXPECT_EQ(group->replace_ref(line_b.get(), line_b.get()), 0);

    EXPECT_EQ(group->replace_ref(line_a.get(), line_b.get()), 1);
    EXPECT_EQ(a->line_style, line_b.get());
    EXPECT_EQ(b->line_style, line_b.get());
    EXPECT_EQ(t->line_style, line_b.get());
    EXPECT_EQ(hook.calls().size(), 3u);
    EXPECT_EQ(group->replace_ref(line_a.get(), line_a.get()), 0);
}

}  // namespace
