// Property of the history at unlimited depth: after a seeded random run of additions,
// deletions and moves (with and without the new-level flag, undo and redo mixed in),
// undoing level by level passes through the drawing as it was at the end of each
// level back to the start, and redoing everything returns the end, listed with class,
// name, container and order.
#include <gtest/gtest.h>

#include <vector>

#include "tests/model/undo_support.h"

namespace {

class UndoProperty : public UndoTest {
  protected:
    // Starts from a drawing made without the history.
    void populate() {
        auto put = [this](const char* name, const char* where) {
            container_insert(get<CONTAINER>(where), make(name));
        };
        put("p1", "default");
        put("G1", "default");
        put("q1", "G1");
        put("q2", "G1");
        put("p2", "default");
        put("r1", "M");
        put("G2", "M");
        put("s1", "G2");
    }

    // Everything below the model, depth first.
    void collect(CONTAINER* c, std::vector<ZOBJ*>* all, std::vector<CONTAINER*>* groups) {
        if (!c->children) return;
        ZDLIST* n = c->children;
        do {
            auto* z = static_cast<ZOBJ*>(n);
            all->push_back(z);
            if (auto* sub = rtc_cast<CONTAINER>(z)) {
                groups->push_back(sub);
                collect(sub, all, groups);
            }
            n = n->next;
        } while (n != c->children);
    }
};

TEST_F(UndoProperty, UndoEverythingGivesTheStartRedoEverythingTheEnd) {
    for (uint64_t seed = 1; seed <= 24; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        end_drawing();
        new_drawing();
        populate();
        TestRng rng(seed);
        std::vector<std::string> states{drawing(true)};  // the drawing after each level
        size_t cur = 0;                                  // levels that can be undone
        int serial = 0;
        for (int step = 0; step < 300; ++step) {
            std::vector<ZOBJ*> all;
            std::vector<CONTAINER*> groups{model_};
            collect(model_, &all, &groups);
            const int kind = rng.below(10);
            if (kind == 0) {
                model_undo(model_);
                if (cur > 0) --cur;
                ASSERT_EQ(drawing(true), states[cur]) << "undo at step " << step;
                continue;
            }
            if (kind == 1) {
                model_redo(model_);
                if (cur + 1 < states.size()) ++cur;
                ASSERT_EQ(drawing(true), states[cur]) << "redo at step " << step;
                continue;
            }
            const int flag = rng.below(10) < 6 ? 1 : 0;
            int result = 0;
            if (kind < 6 || all.empty()) {  // a new object
                const bool group = rng.below(4) == 0;
                std::string name = (group ? "N" : "n") + std::to_string(++serial);
                ZOBJ* obj = make(name);
                result = model_add_object(groups[rng.below(static_cast<int>(groups.size()))], obj,
                                          -1, flag);
                if (result != 0) rtc_destroy(obj);
            } else if (kind < 8) {
                result =
                    model_delete_object(all[rng.below(static_cast<int>(all.size()))], -1, flag);
            } else {  // a move; refused when the target is inside the object
                ZOBJ* obj = all[rng.below(static_cast<int>(all.size()))];
                CONTAINER* into = groups[rng.below(static_cast<int>(groups.size()))];
                result = model_add_object(into, obj, -1, flag);
            }
            if (!flag && cur == 0) {
                EXPECT_EQ(result, 8) << "a step with no level to join";
            }
            if (result != 0) {
                ASSERT_EQ(drawing(true), states[cur]) << "a refused step changed the drawing";
                continue;
            }
            states.resize(cur + 1);
            if (flag) {
                states.push_back(drawing(true));
                ++cur;
            } else {
                states[cur] = drawing(true);
            }
        }
        ASSERT_EQ(model_->undo_levels, static_cast<int>(cur));
        ASSERT_EQ(model_redo_count(model_), static_cast<int>(states.size() - 1 - cur));
        const std::string end = drawing(true);
        for (size_t k = cur; k > 0; --k) {
            model_undo(model_);
            ASSERT_EQ(drawing(true), states[k - 1]) << "undo to level " << k - 1;
        }
        EXPECT_EQ(drawing(true), states[0]);
        for (size_t k = 1; k < states.size(); ++k) {
            model_redo(model_);
            ASSERT_EQ(drawing(true), states[k]) << "redo to level " << k;
        }
        EXPECT_EQ(model_redo_count(model_), 0);
        if (cur + 1 == states.size()) {
            EXPECT_EQ(drawing(true), end);
        }
    }
}

}  // namespace
