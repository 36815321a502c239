// Undo, redo, rollback, trimming and dropping redo levels, run as scripts at the
// depths 0 (undo off), 2 and unlimited: the drawing, the level count and the redo
// count after each script, and no object left over once the drawing is destroyed.
#include <gtest/gtest.h>

#include "model/db/find.h"
#include "tests/model/undo_support.h"

namespace {

struct Outcome {
    const char* drawing;
    int levels;
    int redo;
};

struct Scenario {
    const char* what;
    const char* script;
    Outcome unlimited, two, off;
};

const Scenario kScenarios[] = {
    {"undo twice",
     "+a +b +c u u",  //
     {"default[a] M[]", 1, 2},
     {"default[a] M[]", 0, 2},
     {"default[a b c] M[]", 0, 0}},
    {"undo all, redo all",
     "+a +b u u r r",  //
     {"default[a b] M[]", 2, 0},
     {"default[a b] M[]", 2, 0},
     {"default[a b] M[]", 0, 0}},
    {"undo a delete keeps the order",
     "+a +b +c -b u",  //
     {"default[a b c] M[]", 3, 1},
     {"default[a b c] M[]", 1, 1},
     {"default[a c] M[]", 0, 0}},
    {"new step after undos drops the redo levels",
     "+a +b +c u u +d",  //
     {"default[a d] M[]", 2, 0},
     {"default[a d] M[]", 1, 0},
     {"default[a b c d] M[]", 0, 0}},
    {"one step of three objects",
     "+a &b &c u",  //
     {"default[] M[]", 0, 1},
     {"default[] M[]", 0, 1},
     {"default[a b c] M[]", 0, 0}},
    {"no-flag step without an undoable level is refused",
     "&a +b u &c r",  //
     {"default[b] M[]", 1, 0},
     {"default[b] M[]", 1, 0},
     {"default[a b c] M[]", 0, 0}},
    {"no-flag step drops the redo levels",
     "+a +b u &c u",  //
     {"default[] M[]", 0, 1},
     {"default[] M[]", 0, 1},
     {"default[a b c] M[]", 0, 0}},
    {"rollback",
     "+a +b &c b",  //
     {"default[a] M[]", 1, 0},
     {"default[a] M[]", 1, 0},
     {"default[a b c] M[]", 0, 0}},
    {"rollback of a delete",
     "+a +b -a b",  //
     {"default[a b] M[]", 2, 0},
     {"default[a b] M[]", 1, 0},
     {"default[b] M[]", 0, 0}},
    {"rollback drops the redo levels first",
     "+a +b +c u b",  //
     {"default[a] M[]", 1, 0},
     {"default[a] M[]", 0, 0},
     {"default[a b c] M[]", 0, 0}},
    {"trim",
     "+a +b +c t1 u u",  //
     {"default[a b] M[]", 0, 1},
     {"default[a b] M[]", 0, 1},
     {"default[a b c] M[]", 0, 0}},
    {"drop redo keeping the most recently undone",
     "+a +b +c u u u d1 r",  //
     {"default[a] M[]", 1, 0},
     {"default[a b] M[]", 1, 0},
     {"default[a b c] M[]", 0, 0}},
    {"move by adding into another layer",
     "+a +b >a@M u",  //
     {"default[a b] M[]", 2, 1},
     {"default[a b] M[]", 1, 1},
     {"default[b] M[a]", 0, 0}},
    {"delete a group, undo",
     "+G &x@G &y@G +z -G u",  //
     {"default[G[x y] z] M[]", 2, 1},
     {"default[G[x y] z] M[]", 1, 1},
     {"default[z] M[]", 0, 0}},
    {"redo a delete",
     "+a -a u r",  //
     {"default[] M[]", 2, 0},
     {"default[] M[]", 2, 0},
     {"default[] M[]", 0, 0}},
};

class UndoScenario : public UndoTest {};

TEST_F(UndoScenario, Table) {
    for (const Scenario& s : kScenarios) {
        for (const auto& [depth, want] :
             {std::pair{-1, s.unlimited}, std::pair{2, s.two}, std::pair{0, s.off}}) {
            SCOPED_TRACE(std::string(s.what) + " at depth " + std::to_string(depth));
            end_drawing();
            new_drawing();
            run(s.script, depth);
            EXPECT_EQ(drawing(), want.drawing);
            EXPECT_EQ(model_->undo_levels, want.levels);
            EXPECT_EQ(model_redo_count(model_), want.redo);
        }
    }
}

// Every object's kept camera count against the cameras at or below it, counted afresh.
TEST_F(UndoTest, CameraCountsFollowCamerasThroughGroupsUndoAndRedo) {
    for (const char* step : {"+G", "&H@G", "&cam1@H", "+cam2@M", ">H@M", "u", "-G", "u", "r", "u", ">cam2@H", "b"}) {
        run(step, -1);
        for (ZOBJ* c = model_; c; c = tree_next(c, model_)) {
            int32_t n = rtc_is<CAMERA>(c);
            for (ZOBJ* z = tree_next(c, c); z; z = tree_next(z, c)) n += rtc_is<CAMERA>(z);
            EXPECT_EQ(c->cameras, n) << step << ' ' << c->name();
        }
    }
    EXPECT_EQ(drawing(), "default[G[H[cam1]]] M[cam2]");
}

}  // namespace
