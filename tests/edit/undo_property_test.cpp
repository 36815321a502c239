// Random command sequences on a rich drawing under the three kinds of undo setting:
// undoing every kept level gives the drawing as it was before them, redoing them all
// the end; a clone that fails anywhere in a pass changes nothing; and the ring
// buffers stay equal to a plain set while objects die and lists are exchanged.
#include <random>

#include "../file/file_support.h"
#include "../file/rich_drawing.h"
#include "edit_fixture.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/find.h"
#include "model/math/result.h"
#include "model/rtc/rtc.h"

namespace {

using UndoPropertyTest = EditTest;

// A dump without the object keys of animation tracks. With a bounded history the
// trimmed levels destroy their deleted objects, and keys naming them fall back to the
// keys' holders for good: undoing the kept levels cannot bring those names back.
std::string without_object_keys(const std::string& dump) {
    std::string out;
    size_t from = 0;
    while (from < dump.size()) {
        size_t end = dump.find('\n', from);
        if (end == std::string::npos) end = dump.size();
        const std::string line = dump.substr(from, end - from);
        if (line.find("obj @") == std::string::npos) out += line + "\n";
        from = end + 1;
    }
    return out;
}

// The first line where two dumps differ, for the failure message.
std::string first_difference(const std::string& a, const std::string& b) {
    size_t i = 0, line = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) line += a[i++] == '\n';
    auto around = [&](const std::string& s) {
        size_t from = s.rfind('\n', i == 0 ? 0 : i - 1);
        from = from == std::string::npos ? 0 : from + 1;
        return s.substr(from, std::min<size_t>(160, s.size() - from));
    };
    return "line " + std::to_string(line) + ":\n  " + around(a) + "\n  " + around(b);
}

void pick_selection(Harness& h, std::mt19937& rng) {
    buffer_clear(h.view()->selection);
    auto objs = drawing_objects(h.model());
    std::shuffle(objs.begin(), objs.end(), rng);
    const size_t n = 1 + rng() % std::min<size_t>(objs.size(), 4);
    for (size_t i = 0; i < n; ++i) EXPECT_EQ(buffer_add(h.view()->selection, objs[i]), 0);
}

// One random command with its script; the selection is the command's objects.
void random_step(Harness& h, std::mt19937& rng, std::string* what) {
    pick_selection(h, rng);
    const float x = float(rng() % 50), y = float(rng() % 50);
    switch (rng() % 10) {
        case 0:
            *what = "move";
            h.click({x, y, 0}).click({x + 7, y - 3, 0}).esc();
            h.run(kCmdMove);
            break;
        case 1:
            *what = "copy";
            h.click({x, y, 0}).click({x + 5, y + 5, 0}).esc();
            h.run(kCmdCopy);
            break;
        case 2:
            *what = "delete";
            h.run(kCmdDelete);
            break;
        case 3:
            *what = "group";
            h.run(kCmdGroup);
            break;
        case 4:
            *what = "split";
            h.run(kCmdSplitGroup);
            break;
        case 5:
            *what = "mirror";
            g_prefs.delete_parents = int(rng() % 2);
            h.click({x, y, 0}).click({x + 1, y + 9, 0}).esc();
            h.run(kCmdMirror);
            break;
        case 6:
            *what = "stretch";
            g_prefs.delete_parents = int(rng() % 2);
            h.click({x, y, 0}).typed("2 0.5").esc();
            h.run(kCmdStretch);
            break;
        case 7: {
            *what = "layer";
            auto* layer = static_cast<LAYER*>(model_find_named(h.model(), rng() % 2 ? "Walls" : "Scene",
                                                               &LAYER::rtc_class));
            edit_dialogs().choose_layer = [layer](VIEW*, LAYER*) { return layer; };
            h.run(kCmdChangeLayer);
            break;
        }
        case 8:
            *what = "paste";
            h.click({x, y, 0});
            h.run(kCmdPaste);
            break;
        default:
            *what = "rotate";
            g_prefs.rotation_mode = 2;
            h.click({x, y, 0}).typed("30").esc();
            h.run(kCmdRotate);
            break;
    }
    buffer_clear(h.view()->selection);
}

TEST_F(UndoPropertyTest, UndoAllAndRedoAllUnderEachSetting) {
    for (int mode : {-1, 0, 3}) {
        for (unsigned seed = 1; seed <= 6; ++seed) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " seed " << seed);
            Harness h;
            define_edit_commands(h);
            ASSERT_EQ(build_rich_drawing(h.model()), 0);
            g_prefs = saved_;
            g_prefs.undo_mode = mode;
            g_prefs.mirror = g_prefs.turn = g_prefs.resize = 1;
            std::mt19937 rng(seed);
            // Something on the clipboard (copying changes nothing).
            pick_selection(h, rng);
            h.click({0, 0, 0});
            ASSERT_EQ(h.run(kCmdCopyClipboard), 0);
            ASSERT_EQ(h.model()->undo_levels, 0);
            std::vector<std::string> states = {dump_drawing(h.model())};
            for (int step = 0; step < 12; ++step) {
                std::string what;
                random_step(h, rng, &what);
                SCOPED_TRACE(what);
                ASSERT_EQ(h.script_left(), 0u);
                std::string now = dump_drawing(h.model());
                if (now != states.back()) states.push_back(std::move(now));
                if (mode >= 0) {
                    ASSERT_LE(h.model()->undo_levels, mode);
                } else {
                    ASSERT_EQ(h.model()->undo_levels, int(states.size()) - 1);
                }
            }
            const int levels = h.model()->undo_levels;
            if (mode == 0) {
                EXPECT_EQ(levels, 0);
                continue;
            }
            ASSERT_LE(size_t(levels) + 1, states.size());
            for (int i = 0; i < levels; ++i) model_undo(h.model());
            auto dump = [&](const std::string& d) { return mode < 0 ? d : without_object_keys(d); };
            const std::string start = dump(states[states.size() - 1 - size_t(levels)]);
            std::string now = dump(dump_drawing(h.model()));
            EXPECT_TRUE(now == start) << first_difference(now, start);
            for (int i = 0; i < levels; ++i) model_redo(h.model());
            now = dump_drawing(h.model());
            EXPECT_TRUE(now == states.back()) << first_difference(now, states.back());  // exact
        }
    }
}

// The copy method of polylines, failing at the n-th call from now.
int g_fail_countdown = 0;
int (*g_real_copy)(const RTC*, RTC*) = nullptr;
int failing_copy(const RTC* src, RTC* dst) {
    if (g_fail_countdown > 0 && --g_fail_countdown == 0) return kOutOfMemory;
    return g_real_copy(src, dst);
}

TEST_F(UndoPropertyTest, AFailingCloneAnywhereChangesNothing) {
    struct Op {
        const char* name;
        uint32_t id;
        std::function<void(Harness&)> script;
    };
    const Op ops[] = {
        {"move", kCmdMove, [](Harness& h) { h.click({0, 0, 0}).click({5, 5, 0}).esc(); }},
        {"copy", kCmdCopy, [](Harness& h) { h.click({0, 0, 0}).click({5, 5, 0}).esc(); }},
        {"group", kCmdGroup, [](Harness&) {}},
        {"mirror", kCmdMirror, [](Harness& h) { h.click({0, 0, 0}).click({0, 9, 0}).esc(); }},
        {"layer", kCmdChangeLayer, [](Harness&) {}},
    };
    g_real_copy = XPLINE::rtc_class.copy;
    for (int mode : {-1, 0, 3}) {
        for (const Op& op : ops) {
            for (int n = 1; n <= 4; ++n) {
                SCOPED_TRACE(testing::Message() << op.name << " mode " << mode << " failing copy " << n);
                Harness h;
                define_edit_commands(h);
                g_prefs.undo_mode = mode;
                g_prefs.mirror = 1;
                g_prefs.delete_parents = 1;
                std::vector<XPLINE*> lines;
                for (int i = 0; i < 4; ++i) lines.push_back(line_at(h.model(), 0, float(10 * i)));
                for (XPLINE* l : lines) EXPECT_EQ(buffer_add(h.view()->selection, l), 0);
                LAYER* layer = scene_layer(h.model());
                edit_dialogs().choose_layer = [layer](VIEW*, LAYER*) { return layer; };
                const std::string before = dump_drawing(h.model());
                const auto selected = refs_of(h.view()->selection);
                g_fail_countdown = n;
                XPLINE::rtc_class.copy = failing_copy;
                op.script(h);
                const int rc = h.run(op.id);
                XPLINE::rtc_class.copy = g_real_copy;
                g_fail_countdown = 0;
                EXPECT_EQ(rc, kOutOfMemory);
                EXPECT_EQ(dump_drawing(h.model()), before);
                EXPECT_EQ(h.model()->undo_levels, 0);
                EXPECT_EQ(refs_of(h.view()->selection), selected);
                for (XPLINE* l : lines) EXPECT_EQ(l->parent, layer);
            }
        }
    }
}

TEST_F(UndoPropertyTest, RingBuffersFollowAPlainSet) {
    Harness h;
    std::mt19937 rng(7);
    std::vector<XPLINE*> lines;
    for (int i = 0; i < 300; ++i) lines.push_back(line_at(h.model(), float(i), 0));
    buffer* sel = h.view()->selection;
    buffer* other = buffer_new();
    std::set<ZOBJ*> want_sel, want_other;
    for (XPLINE* l : lines) {
        if (rng() % 2) {
            EXPECT_EQ(buffer_add(sel, l), 0);
            want_sel.insert(l);
        }
        if (rng() % 3 == 0) {
            EXPECT_EQ(buffer_add(other, l), 0);
            want_other.insert(l);
        }
    }
    std::shuffle(lines.begin(), lines.end(), rng);
    std::set<XPLINE*> gone;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i % 40 == 0) {
            buffer_swap_refs(sel, other);
            std::swap(want_sel, want_other);
        }
        if (i % 5 == 0) {
            EXPECT_EQ(model_delete_object(lines[i], -1, 1), 0);
        } else if (i % 7 == 0) {
            rtc_destroy(lines[i]);
        } else {
            continue;
        }
        gone.insert(lines[i]);
        want_sel.erase(lines[i]);
        want_other.erase(lines[i]);
        ASSERT_EQ(refs_of(sel), want_sel) << i;
        ASSERT_EQ(refs_of(other), want_other) << i;
    }
    // Cleared nodes are reused and adds stay unique.
    for (XPLINE* l : lines) {
        if (gone.count(l)) continue;
        EXPECT_EQ(buffer_add(sel, l), 0);
        EXPECT_EQ(buffer_add(sel, l), 0);
        want_sel.insert(l);
    }
    EXPECT_EQ(refs_of(sel), want_sel);
    size_t nodes = 0;
    for (RefNode* n = sel->refs; n; n = n->next) nodes += n->ref ? 1 : 0;
    EXPECT_EQ(nodes, want_sel.size());
    buffer_free(&other);
}

}  // namespace
