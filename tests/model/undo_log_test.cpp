// The undo history's operation log against a plain deque, across chunk boundaries,
// the view of an operation through its slots, and the history as a whole where it
// spans many chunks: long runs of levels trimmed,
// undone, redone and dropped, what undo and redo would replay, and the recording stamp.
#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "model/db/undo_log.h"
#include "model/math/result.h"
#include "tests/model/undo_support.h"

namespace {

ZOBJ* fake(uint64_t i) {
    return reinterpret_cast<ZOBJ*>(static_cast<uintptr_t>(i) * 16 + 16);
}
CONTAINER* fake_home(uint64_t i) {
    return reinterpret_cast<CONTAINER*>(static_cast<uintptr_t>(i) * 8 + 8);
}

TEST(UndoLog, FollowsADequeThroughAppendsAndCutsAtBothEnds) {
    TestRng rng(91);
    UndoLog log;
    std::deque<uint64_t> want;  // the id of each record
    uint64_t next = 0;
    for (int step = 0; step < 4000; ++step) {
        const uint64_t kind = rng.next() % 8;
        if (kind < 5) {
            // Room first; a cut from the end may come between reserving and appending.
            const size_t count = 1 + rng.next() % 3;
            ASSERT_TRUE(log.reserve(count));
            if (kind == 0 && !want.empty()) {
                const size_t keep = rng.next() % (want.size() + 1);
                log.truncate(keep);
                want.resize(keep);
            }
            for (size_t i = 0; i < count; ++i, ++next) {
                log.push_back(UndoSlot{fake(next), reinterpret_cast<uintptr_t>(fake_home(next))});
                want.push_back(next);
            }
        } else if (kind < 7 && !want.empty()) {
            const size_t count = rng.next() % (std::min<size_t>(want.size(), 700) + 1);
            log.drop_front(count);
            want.erase(want.begin(), want.begin() + static_cast<long>(count));
        } else if (!want.empty()) {
            const size_t keep = want.size() - rng.next() % (std::min<size_t>(want.size(), 300) + 1);
            log.truncate(keep);
            want.resize(keep);
        }
        ASSERT_EQ(log.size(), want.size());
        for (size_t i : {size_t{0}, want.size() / 2, want.size() - 1}) {
            if (want.empty()) break;
            const uint64_t id = want[i];
            ASSERT_EQ(log[i].obj, fake(id)) << "step " << step << " index " << i;
            ASSERT_EQ(log[i].bits, reinterpret_cast<uintptr_t>(fake_home(id)));
        }
    }
    log.truncate(0);
    log.release();
    EXPECT_EQ(log.size(), 0u);
}

// An operation seen through its slots: the home changes without the flags, an
// addition has no successor to keep, a deletion keeps it in its second slot.
TEST(UndoLog, OperationViewKeepsFlagsAndSuccessor) {
    UndoSlot add = UndoOp::first_slot(fake(1), fake_home(1), true, true);
    UndoOp a(add, nullptr);
    a.set_home(nullptr);
    EXPECT_EQ(a.home(), nullptr);
    a.set_home(fake_home(7));
    EXPECT_EQ(a.home(), fake_home(7));
    EXPECT_TRUE(a.added() && a.starts_level());
    a.set_succ(fake(9));
    EXPECT_EQ(a.succ(), nullptr);
    EXPECT_EQ(a.slots(), 1u);

    UndoSlot del[2] = {UndoOp::first_slot(fake(2), fake_home(2), false, false),
                       UndoOp::second_slot(fake(3))};
    UndoOp d(del[0], &del[1]);
    EXPECT_FALSE(d.added() || d.starts_level());
    EXPECT_EQ(d.succ(), fake(3));
    d.set_succ(nullptr);
    EXPECT_EQ(d.succ(), nullptr);
    d.ref = nullptr;
    EXPECT_EQ(del[0].obj, nullptr);
    EXPECT_EQ(d.home(), fake_home(2));
    // A second slot never reads as the start of a level or as an addition.
    EXPECT_EQ(del[1].bits & (UndoSlot::kAdded | UndoSlot::kLevelStart), 0u);
}

class UndoLongHistory : public UndoTest {
  protected:
    // Names the objects "o0", "o1", ...; adds each as a level of its own.
    void add_levels(int from, int to, int depth) {
        for (int i = from; i < to; ++i) {
            ASSERT_EQ(model_add_object(layer_, make("o" + std::to_string(i)), depth, 1), 0);
        }
    }
    static std::string names(int from, int to) {
        std::string s;
        for (int i = from; i < to; ++i) s += (s.empty() ? "o" : " o") + std::to_string(i);
        return s;
    }
};

// Well past one chunk of the log: the oldest levels are trimmed away chunk by chunk,
// and undo, redo and a new step still find their levels.
TEST_F(UndoLongHistory, TrimUndoRedoAcrossChunks) {
    const int depth = 700;
    add_levels(0, 1800, depth);
    EXPECT_EQ(model_->undo_levels, depth);
    for (int i = 0; i < 650; ++i) model_undo(model_);
    EXPECT_EQ(drawing(), "default[" + names(0, 1150) + "] M[]");
    EXPECT_EQ(model_redo_count(model_), 650);
    for (int i = 0; i < 600; ++i) model_redo(model_);
    EXPECT_EQ(model_->undo_levels, 650);
    EXPECT_EQ(model_redo_count(model_), 50);
    // A new step drops the 50 redo levels (and destroys their objects).
    add_levels(1800, 1801, depth);
    EXPECT_EQ(model_redo_count(model_), 0);
    EXPECT_EQ(drawing(), "default[" + names(0, 1750) + " o1800] M[]");
    // Everything still undoable goes back out; only the trimmed levels' objects stay.
    while (model_->undo_levels > 0) model_undo(model_);
    EXPECT_EQ(drawing(), "default[" + names(0, 1750 - 650) + "] M[]");
}

// One step that deletes many objects and one that moves many: each is undone and
// redone as a whole, in order. An odd number of additions first, so that deletions
// (two slots each) also straddle the chunk boundaries.
TEST_F(UndoLongHistory, WideLevelsSpanningChunks) {
    add_levels(0, 1201, -1);
    for (int i = 0; i < 1200; i += 2) {
        ASSERT_EQ(model_delete_object(get<ZOBJ>("o" + std::to_string(i)), -1, i == 0), 0);
    }
    for (int i = 1; i < 1200; i += 2) {
        ASSERT_EQ(model_add_object(other_, get<ZOBJ>("o" + std::to_string(i)), -1, i == 1), 0);
    }
    EXPECT_EQ(listing(layer_), "o1200");
    model_undo(model_);
    model_undo(model_);
    EXPECT_EQ(drawing(), "default[" + names(0, 1201) + "] M[]");
    model_redo(model_);  // the deletions again: the odd ones and the last are left
    std::string odd;
    for (int i = 1; i < 1200; i += 2) odd += "o" + std::to_string(i) + " ";
    EXPECT_EQ(listing(layer_), odd + "o1200");
    model_redo(model_);
    EXPECT_EQ(listing(layer_), "o1200");
    EXPECT_EQ(model_->undo_levels, 1203);
    // Trimmed to the two wide levels, both still undo.
    model_undo_trim(model_, 2);
    model_undo(model_);
    model_undo(model_);
    EXPECT_EQ(drawing(), "default[" + names(0, 1201) + "] M[]");
}

// What undo and redo would replay, split into the level's additions and deletions,
// newest first.
TEST_F(UndoLongHistory, LevelObjectsListTheNextLevel) {
    EXPECT_EQ(container_insert(layer_, make("x")), 0);
    run("+a &b -x +c >c@M }a@M", -1);
    auto list = [](const buffer* b) {
        std::string s;
        for (const RefNode* n = b->refs; n; n = n->next) {
            s += (s.empty() ? "" : " ") + std::string(n->ref->name());
        }
        return s;
    };
    struct Case {
        const char* script;  // run before asking
        int redo;
        const char* added;
        const char* deleted;
    };
    const Case cases[] = {
        {"", 0, "a c", "a c"},  // the two moves
        {"", 1, "", ""},        // nothing to redo
        {"u", 0, "c", ""},
        {"", 1, "a c", "a c"},
        {"u", 0, "", "x"},
        {"u", 0, "b a", ""},
        {"u", 0, "", ""},  // nothing left to undo
        {"", 1, "b a", ""},
    };
    for (const Case& c : cases) {
        run(c.script, -1);
        SCOPED_TRACE(std::string(c.script) + (c.redo ? " redo" : " undo"));
        buffer* added = buffer_create();
        buffer* deleted = buffer_create();
        ASSERT_EQ(undo_level_objects(model_, c.redo, added, deleted), 0);
        EXPECT_EQ(list(added), c.added);
        EXPECT_EQ(list(deleted), c.deleted);
        buffer_free(&added);
        buffer_free(&deleted);
    }
    EXPECT_EQ(undo_level_objects(model_, 0, nullptr, nullptr), kBadArgument);
}

TEST_F(UndoLongHistory, StampChangesOnlyWhenALevelIsRecorded) {
    const uint64_t none = model_undo_stamp(model_);
    run("+a", 2);
    const uint64_t one = model_undo_stamp(model_);
    EXPECT_NE(one, none);
    run("&b u r", 2);  // added to the same level, undone, redone
    EXPECT_EQ(model_undo_stamp(model_), one);
    run("+c +d", 2);  // the history is full: the level count stays, the stamp moves
    EXPECT_EQ(model_->undo_levels, 2);
    EXPECT_NE(model_undo_stamp(model_), one);
    const uint64_t full = model_undo_stamp(model_);
    run("+e", 0);  // undo off: the history goes, nothing is recorded
    EXPECT_EQ(model_has_history(model_), 0);
    run("+f", -1);
    EXPECT_NE(model_undo_stamp(model_), full);
}

}  // namespace
