// Property of the history at unlimited depth: after a seeded random run of additions,
// deletions and moves (with and without the new-level flag, undo and redo mixed in),
// undoing level by level passes through the drawing as it was at the end of each
// level back to the start, and redoing everything returns the end, listed with class,
// name, container and order. The same with a limited depth, rollbacks, dropped redo
// levels and held objects added back, checked after every step, together with the
// objects each level lists for the views.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "model/math/result.h"
#include "tests/model/undo_support.h"

namespace {

class UndoProperty : public UndoTest {
  protected:
    // Starts from a drawing made without the history.
    void populate() {
        auto put = [this](const char* name, const char* where) {
            EXPECT_EQ(container_insert(get<CONTAINER>(where), make(name)), 0);
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
                EXPECT_EQ(result, kOutOfMemory) << "a step with no level to join";
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

// A drawing state and the operations of the level that led to it (oldest first:
// "+name" an addition, "-name" a deletion; a move is both).
struct Reached {
    std::string drawing;
    std::vector<std::string> ops;
};

// What undo_level_objects lists for a level: its additions and its deletions, newest
// first.
std::pair<std::string, std::string> split_ops(const std::vector<std::string>& ops) {
    std::string added, deleted;
    for (auto it = ops.rbegin(); it != ops.rend(); ++it) {
        std::string& into = (*it)[0] == '+' ? added : deleted;
        into += (into.empty() ? "" : " ") + it->substr(1);
    }
    return {added, deleted};
}

std::string names_in(const buffer* b) {
    std::string s;
    for (const RefNode* n = b->refs; n; n = n->next) {
        s += (s.empty() ? "" : " ") + std::string(n->ref ? n->ref->name() : "?");
    }
    return s;
}

TEST_F(UndoProperty, LimitedDepthRollbackAndDroppedRedoLevelsFollowTheStates) {
    struct Run {
        int depth;
        uint64_t seeds;
        int steps;
    };
    // Long enough runs for the history to span several chunks of its log.
    for (const Run run : {Run{-1, 4, 1500}, Run{5, 6, 1200}, Run{1, 4, 400}, Run{40, 3, 2500}}) {
        for (uint64_t seed = 1; seed <= run.seeds; ++seed) {
            SCOPED_TRACE("depth " + std::to_string(run.depth) + " seed " + std::to_string(seed));
            end_drawing();
            new_drawing();
            populate();
            TestRng rng(seed * 7919 + static_cast<uint64_t>(run.depth + 2));
            std::vector<Reached> states{{drawing(true), {}}};
            size_t base = 0;  // the oldest state undo can reach
            size_t cur = 0;
            // Objects out of every container that a remaining level holds: those that
            // reachable or redo levels name (the others were freed with their levels).
            auto held = [&] {
                std::vector<ZOBJ*> out;  // in the order of the levels, so runs repeat
                for (size_t k = base + 1; k < states.size(); ++k) {
                    for (const std::string& o : states[k].ops) {
                        ZOBJ* z = get<ZOBJ>(o.substr(1));
                        if (!z->next && std::find(out.begin(), out.end(), z) == out.end()) {
                            out.push_back(z);
                        }
                    }
                }
                return out;
            };
            int serial = 0;
            auto check = [&](const char* what, int step) {
                ASSERT_EQ(drawing(true), states[cur].drawing) << what << " at step " << step;
                ASSERT_EQ(model_->undo_levels, static_cast<int>(cur - base)) << what << " " << step;
                ASSERT_EQ(model_redo_count(model_), static_cast<int>(states.size() - 1 - cur))
                    << what << " at step " << step;
            };
            auto check_listing = [&](int redo, int step) {
                const size_t level = redo ? cur + 1 : cur;
                const bool any = redo ? cur + 1 < states.size() : cur > base;
                const auto want =
                    any ? split_ops(states[level].ops) : std::pair<std::string, std::string>{};
                buffer* added = buffer_create();
                buffer* deleted = buffer_create();
                ASSERT_EQ(undo_level_objects(model_, redo, added, deleted), 0);
                EXPECT_EQ(names_in(added), want.first)
                    << "added, redo " << redo << " step " << step;
                EXPECT_EQ(names_in(deleted), want.second)
                    << "deleted, redo " << redo << " step " << step;
                buffer_free(&added);
                buffer_free(&deleted);
            };
            for (int step = 0; step < run.steps; ++step) {
                std::vector<ZOBJ*> all;
                std::vector<CONTAINER*> groups{model_};
                collect(model_, &all, &groups);
                const int kind = rng.below(20);
                if (kind < 3) {
                    check_listing(0, step);
                    model_undo(model_);
                    if (cur > base) --cur;
                    check("undo", step);
                    continue;
                }
                if (kind < 5) {
                    check_listing(1, step);
                    model_redo(model_);
                    if (cur + 1 < states.size()) ++cur;
                    check("redo", step);
                    continue;
                }
                if (kind == 5) {
                    model_rollback(model_);
                    if (cur > base) {
                        states.resize(cur);
                        --cur;
                    }
                    check("rollback", step);
                    continue;
                }
                if (kind == 6) {
                    const int keep = rng.below(3);
                    model_drop_redo(model_, keep);
                    states.resize(std::min(states.size(), cur + 1 + keep));
                    check("drop redo", step);
                    continue;
                }
                const int flag = rng.below(10) < 6 ? 1 : 0;
                int result = 0;
                std::string op;
                ZOBJ* moved = nullptr;
                if (kind < 12 || all.empty()) {  // a new object
                    const bool group = rng.below(4) == 0;
                    std::string name = (group ? "N" : "n") + std::to_string(++serial);
                    ZOBJ* obj = make(name);
                    result = model_add_object(groups[rng.below(static_cast<int>(groups.size()))],
                                              obj, run.depth, flag);
                    if (result != 0) rtc_destroy(obj);
                    op = "+" + name;
                } else if (kind < 15) {
                    ZOBJ* obj = all[rng.below(static_cast<int>(all.size()))];
                    result = model_delete_object(obj, run.depth, flag);
                    op = "-" + std::string(obj->name());
                } else if (const auto out = kind < 17 ? held() : std::vector<ZOBJ*>{};
                           !out.empty()) {
                    // A held object comes back (one a redo level holds drops that level).
                    moved = out[rng.below(static_cast<int>(out.size()))];
                    result = model_add_object(groups[rng.below(static_cast<int>(groups.size()))],
                                              moved, run.depth, flag);
                    op = "+" + std::string(moved->name());
                } else {  // a move; refused when the target is inside the object
                    moved = all[rng.below(static_cast<int>(all.size()))];
                    CONTAINER* into = groups[rng.below(static_cast<int>(groups.size()))];
                    result = model_add_object(into, moved, run.depth, flag);
                    op = "-" + std::string(moved->name());
                }
                if (!flag && cur == base) {
                    EXPECT_NE(result, 0) << "a step with no level to join";
                }
                if (result != 0) {
                    check("refused step", step);
                    continue;
                }
                // A move is listed as the deletion from the old place and the addition.
                std::vector<std::string> ops{op};
                if (op[0] == '-' && moved) ops.push_back("+" + op.substr(1));
                states.resize(cur + 1);
                if (flag) {
                    states.push_back({drawing(true), ops});
                    ++cur;
                    if (run.depth > 0 && cur - base > static_cast<size_t>(run.depth)) {
                        base = cur - static_cast<size_t>(run.depth);
                    }
                } else {
                    states[cur].drawing = drawing(true);
                    states[cur].ops.insert(states[cur].ops.end(), ops.begin(), ops.end());
                }
                check("step", step);
            }
            // Back to the oldest state reachable and forward to the newest.
            while (cur > base) {
                model_undo(model_);
                --cur;
                check("final undo", run.steps);
            }
            while (cur + 1 < states.size()) {
                model_redo(model_);
                ++cur;
                check("final redo", run.steps);
            }
        }
    }
}

}  // namespace
