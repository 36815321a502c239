// Long buffers: membership through the index agrees with a plain set under random
// adds and deaths, cleared nodes are reused, and lists changed outside buffer_add
// (copies, reversal, cleared references) are still read right.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
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
        EXPECT_EQ(container_insert(get<CONTAINER>("default"), o), 0);
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
        EXPECT_EQ(container_insert(get<CONTAINER>("default"), o), 0);
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
        EXPECT_EQ(container_insert(get<CONTAINER>("default"), o), 0);
        objs.push_back(o);
        EXPECT_EQ(buffer_add(sel, o), 0);
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

std::set<ZOBJ*> live_set(const buffer* b) {
    std::set<ZOBJ*> s;
    for (const RefNode* p = b->refs; p; p = p->next)
        if (p->ref) s.insert(p->ref);
    return s;
}

// Removal looks only in the ring buffers that hold the dying object, under adds,
// copies, exchanges (with a ring buffer and with an unringed one), references let go
// one at a time, clearing and freeing; every buffer agrees with a std::set throughout.
TEST_F(BufferIndexTest, RemovalVisitsOnlyTheBuffersHoldingTheObject) {
    std::vector<ZOBJ*> pool;
    for (int i = 0; i < 200; ++i) {
        ZOBJ* o = make("o");
        EXPECT_EQ(container_insert(get<CONTAINER>("default"), o), 0);
        pool.push_back(o);
    }
    constexpr int kBuffers = 12;
    std::vector<buffer*> bufs(kBuffers);
    std::vector<std::set<ZOBJ*>> want(kBuffers);
    for (auto& b : bufs) b = buffer_new();
    buffer* outside = buffer_create();  // keeps its references: never given dying objects
    std::set<ZOBJ*> want_outside;
    // Bystanders: removals must not look in them at all.
    std::vector<buffer*> idle(200);
    for (auto& b : idle) b = buffer_new();
    std::mt19937 rng(11);
    for (int step = 0; step < 6000; ++step) {
        const size_t k = rng() % kBuffers;
        ZOBJ* o = pool[rng() % pool.size()];
        switch (rng() % 16) {
            case 0: {  // death
                if (!o || want_outside.count(o)) break;
                size_t holders = 0;
                for (auto& w : want) holders += w.erase(o);
                const uint64_t before = buffer_purge_visits();
                std::replace(pool.begin(), pool.end(), o, static_cast<ZOBJ*>(nullptr));
                rtc_destroy(o);
                ASSERT_EQ(buffer_purge_visits() - before, holders) << "step " << step;
                break;
            }
            case 1: {  // a copy takes the place of a buffer
                buffer* c = buffer_copy(bufs[(k + 1) % kBuffers]);
                buffer_free(&bufs[k]);
                bufs[k] = c;
                want[k] = want[(k + 1) % kBuffers];
                break;
            }
            case 2:
                buffer_swap_refs(bufs[k], bufs[(k + 3) % kBuffers]);
                std::swap(want[k], want[(k + 3) % kBuffers]);
                break;
            case 3:
                if (o && o->next && buffer_add(outside, o) == 0) want_outside.insert(o);
                buffer_swap_refs(bufs[k], outside);
                std::swap(want[k], want_outside);
                break;
            case 4:
                for (RefNode* n = bufs[k]->refs; n; n = n->next)
                    if (n->ref == o) buffer_drop_ref(bufs[k], n);
                want[k].erase(o);
                break;
            case 5:
                if (rng() % 8 == 0) {
                    buffer_clear(bufs[k]);
                    want[k].clear();
                }
                break;
            default:
                if (!o) break;
                ASSERT_EQ(buffer_add(bufs[k], o), 0);
                want[k].insert(o);
        }
        if (step % 500 == 0 || step == 5999) {
            for (int b = 0; b < kBuffers; ++b) ASSERT_EQ(live_set(bufs[b]), want[b]) << step;
            ASSERT_EQ(live_set(outside), want_outside);
        }
    }
    for (auto& b : bufs) buffer_free(&b);
    for (auto& b : idle) buffer_free(&b);
    buffer_free(&outside);
}

}  // namespace
