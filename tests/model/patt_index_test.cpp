// The name index of a drawing's pattern ring: after every kind of change (insert,
// remove, delete with a replacement, rename, undoable add and delete, undo, redo,
// copy of the drawing) a lookup by name finds what a walk of the ring finds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "undo_support.h"

namespace {

const char* const kNames[] = {"Solid", "A", "B", "C"};
RtcClass* const kClasses[] = {&PATT::rtc_class, &LINEPATT::rtc_class, &HATCHPATT::rtc_class,
                              &MATRPATT::rtc_class};

// The first pattern of the class with the name in ring order.
PATT* walk_ring(MODEL* m, const char* name, const RtcClass* cls) {
    ZDLIST* p = m->patterns;
    for (bool first = true; p && (first || p != m->patterns); p = p->next, first = false) {
        auto* z = static_cast<PATT*>(p);
        if (rtc_is_a(z, cls) && std::string(z->name()) == name) return z;
    }
    return nullptr;
}

void expect_lookups_agree(MODEL* m, const std::string& step) {
    for (const char* name : kNames) {
        for (const RtcClass* cls : kClasses) {
            EXPECT_EQ(model_find_patt(m, name, cls), walk_ring(m, name, cls))
                << "after " << step << ": " << cls->name << " " << name;
        }
    }
}

// A pattern of the ring picked by the generator; null when the ring is empty.
PATT* pick(MODEL* m, TestRng& rng) {
    std::vector<PATT*> in_ring;
    ZDLIST* p = m->patterns;
    for (bool first = true; p && (first || p != m->patterns); p = p->next, first = false)
        in_ring.push_back(static_cast<PATT*>(p));
    if (in_ring.empty()) return nullptr;
    return in_ring[rng.below(static_cast<int>(in_ring.size()))];
}

}  // namespace

using PattNameIndex = UndoTest;

TEST_F(PattNameIndex, LookupsFollowEveryChangeOfTheRing) {
    TestRng rng(46);
    RtcClass* const made[] = {&LINEPATT::rtc_class, &HATCHPATT::rtc_class, &MATRPATT::rtc_class};
    for (int i = 0; i < 3000; ++i) {
        const char* name = kNames[rng.below(4)];
        std::string step;
        switch (rng.below(8)) {
            case 0: {  // insert, refused when the class and name are taken
                auto p = rtc_new(name, made[rng.below(3)]);
                if (model_insert_patt(model_, static_cast<PATT*>(p.get()))) p.release();
                step = "insert";
                break;
            }
            case 1: {  // undoable add
                auto p = rtc_new(name, made[rng.below(3)]);
                if (model_add_object(model_, static_cast<ZOBJ*>(p.get()), -1, 1) == 0) p.release();
                step = "add";
                break;
            }
            case 2:  // undoable delete
                if (PATT* p = pick(model_, rng)) {
                    EXPECT_EQ(model_delete_object(p, -1, 1), 0);
                }
                step = "delete";
                break;
            case 3:  // removal with a replacement, then gone
                if (PATT* p = pick(model_, rng))
                    model_delete_patt(p, model_find_patt(model_, name, p->klass()));
                step = "remove";
                break;
            case 4:  // rename, possibly onto a taken name of the same class
                if (PATT* p = pick(model_, rng)) p->set_string(0, name);
                step = "rename";
                break;
            case 5:
                model_undo(model_);
                step = "undo";
                break;
            case 6:
                model_redo(model_);
                step = "redo";
                break;
            default:
                model_undo_trim(model_, rng.below(4));
                step = "trim";
                break;
        }
        expect_lookups_agree(model_, step + " " + std::to_string(i));
        if (HasFailure()) return;
    }
    // A copy of the drawing has an index of its own.
    std::unique_ptr<RTC> copy;
    ASSERT_EQ(rtc_clone(&copy, model_), 0);
    expect_lookups_agree(static_cast<MODEL*>(copy.get()), "copy");
    copy.reset();
}
