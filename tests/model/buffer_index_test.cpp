// Long buffers: membership through the index agrees with a plain set under random
// adds and deaths, cleared nodes are reused, and lists changed outside buffer_add
// (copies, reversal, cleared references) are still read right.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <unordered_set>
#include <vector>

#include "model/db/buffer.h"
#include "tests/model/undo_support.h"

namespace {

class BufferIndexTest : public UndoTest {};

size_t nodes(const buffer* b) {
    size_t n = 0;
    for (const RefNode* p = b->refs; p; p = p->next) ++n;
    return n;
}

std::unordered_set<ZOBJ*> live(const buffer* b) {
    std::unordered_set<ZOBJ*> s;
    for (const RefNode* p = b->refs; p; p = p->next) {
        if (p->ref) {
            EXPECT_TRUE(s.insert(p->ref).second) << "referenced twice";
        }
    }
    return s;
}

TEST_F(BufferIndexTest, AgreesWithASetUnderRandomAddsAndDeaths) {
    std::vector<ZOBJ*> pool;
    for (int i = 0; i < 300; ++i) {
        ZOBJ* o = make("o");
        container_insert(get<CONTAINER>("default"), o);
        pool.push_back(o);
    }
    buffer* sel = buffer_new();
    std::unordered_set<ZOBJ*> want;
    std::mt19937 rng(7);
    for (int step = 0; step < 4000; ++step) {
        const size_t i = rng() % pool.size();
        if (!pool[i]) continue;
        if (rng() % 10 == 0) {
            want.erase(pool[i]);
            rtc_destroy(pool[i]);  // leaves every buffer
            pool[i] = nullptr;
            continue;
        }
        ASSERT_EQ(buffer_add(sel, pool[i]), 0);
        want.insert(pool[i]);
    }
    EXPECT_EQ(live(sel), want);
    // Dead references left nodes behind; new objects take them before the list grows.
    const size_t before = nodes(sel);
    const size_t free_nodes = before - want.size();
    ASSERT_GT(free_nodes, 0u);
    for (size_t k = 0; k < free_nodes; ++k) {
        ZOBJ* o = make("n");
        container_insert(get<CONTAINER>("default"), o);
        ASSERT_EQ(buffer_add(sel, o), 0);
    }
    EXPECT_EQ(nodes(sel), before);
    buffer_free(&sel);
}

TEST_F(BufferIndexTest, ListsChangedElsewhereAreReadRight) {
    std::vector<ZOBJ*> objs;
    buffer* sel = buffer_new();
    for (int i = 0; i < 40; ++i) {
        ZOBJ* o = make("o");
        container_insert(get<CONTAINER>("default"), o);
        objs.push_back(o);
        buffer_add(sel, o);
    }
    // A copy is filled without buffer_add: duplicates are still refused there.
    buffer* copy = buffer_copy(sel);
    for (ZOBJ* o : objs) EXPECT_EQ(buffer_add(copy, o), 0);
    EXPECT_EQ(nodes(copy), 40u);
    // The list reversed in place (as the history does) and a reference cleared by hand.
    RefNode* prev = nullptr;
    for (RefNode* n = sel->refs; n;) {
        RefNode* next = n->next;
        n->next = prev;
        prev = n;
        n = next;
    }
    sel->refs = prev;
    for (RefNode* n = sel->refs; n; n = n->next)
        if (n->ref == objs[5]) n->ref = nullptr;
    for (ZOBJ* o : objs) EXPECT_EQ(buffer_add(sel, o), 0);
    EXPECT_EQ(live(sel).size(), 40u);
    EXPECT_EQ(nodes(sel), 40u);  // objs[5] went back into its cleared node
    buffer_clear(sel);
    EXPECT_EQ(buffer_add(sel, objs[0]), 0);
    EXPECT_EQ(nodes(sel), 1u);
    buffer_free(&copy);
    buffer_free(&sel);
}

}  // namespace
