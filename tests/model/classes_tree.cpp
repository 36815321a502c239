// Objects in the drawing tree: their own boxes and the boxes of the containers
// above them, inserting and moving objects between containers, and what happens to
// the tree and to selections when an object dies.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "model/db/buffer.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/math/check.h"
#include "model/math/result.h"
#include "tests/model/classes_support.h"

namespace {

using ClassTree = ClassTest;

void expect_box(const BBox& b, Vec3 lo, Vec3 hi) {
    EXPECT_FLOAT_EQ(b.min.x, lo.x);
    EXPECT_FLOAT_EQ(b.min.y, lo.y);
    EXPECT_FLOAT_EQ(b.min.z, lo.z);
    EXPECT_FLOAT_EQ(b.max.x, hi.x);
    EXPECT_FLOAT_EQ(b.max.y, hi.y);
    EXPECT_FLOAT_EQ(b.max.z, hi.z);
}

std::unique_ptr<WIRE> wire(std::initializer_list<Vec3> pts, float width = 0) {
    auto w = rtc_make<WIRE>();
    w->points = make_plist(pts);
    w->width = width;
    return w;
}

TEST_F(ClassTree, OwnBox) {
    const struct {
        const char* name;
        std::unique_ptr<object> (*make)();
        bool empty;
        Vec3 lo, hi;
    } cases[] = {
        {"wire",
         [] {
             return std::unique_ptr<object>(wire({{0, 0, 0}, {10, 5, 0}}));
         },
         false,
         {0, 0, 0},
         {10, 5, 0}},
        {"wire of width 2",
         [] {
             return std::unique_ptr<object>(wire({{0, 0, 0}, {10, 5, 0}}, 2));
         },
         false,
         {-1, -1, -1},
         {11, 6, 1}},
        {"wire without points keeps the empty box",
         [] { return std::unique_ptr<object>(wire({}, 2)); },
         true,
         {},
         {}},
        {"empty group",
         [] { return std::unique_ptr<object>(rtc_make<CONTAINER>()); },
         true,
         {},
         {}},
        {"light: its position",
         [] {
             auto l = rtc_make<LIGHT>();
             l->position = {1, 2, 3};
             l->width = 4;
             return std::unique_ptr<object>(std::move(l));
         },
         false,
         {-1, 0, 1},
         {3, 4, 5}},
        {"camera: its position only",
         [] {
             auto c = rtc_make<CAMERA>();
             c->position = {1, 2, 3};
             c->target = {50, 50, 50};
             c->up = {0, 0, 1};
             c->lens = 1;
             return std::unique_ptr<object>(std::move(c));
         },
         false,
         {1, 2, 3},
         {1, 2, 3}},
        {"filled polygon",
         [] {
             auto x = rtc_make<XPLINE>();
             x->kind = 2;
             x->control = make_plist({{0, 0, 0}, {4, 0, 0}, {4, 3, -2}});
             return std::unique_ptr<object>(std::move(x));
         },
         false,
         {0, 0, -2},
         {4, 3, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto o = c.make();
        o->box = {{-9, -9, -9}, {9, 9, 9}};  // stale
        o->own_box();
        if (c.empty) {
            EXPECT_TRUE(bbox_is_empty(o->box));
        } else {
            expect_box(o->box, c.lo, c.hi);
        }
    }
}

TEST_F(ClassTree, ContainerBoxIsTheUnionOfItsChildren) {
    auto group = rtc_make<CONTAINER>();
    auto inner = rtc_make<CONTAINER>();
    EXPECT_EQ(container_insert(group.get(), wire({{0, 0, 0}, {1, 1, 1}}).release()), 0);
    EXPECT_EQ(container_insert(inner.get(), wire({{5, -2, 0}, {6, 0, 0}}, 2).release()), 0);
    EXPECT_EQ(container_insert(group.get(), inner.release()), 0);
    EXPECT_EQ(container_insert(group.get(), wire({}).release()), 0);
    group->box = kEmptyBBox;
    group->own_box();
    expect_box(group->box, {0, -3, -1}, {7, 1, 1});
}

// The box of a layer and the model grows when an object below them grows; it never
// shrinks on its own.
TEST_F(ClassTree, UpdatingAnObjectGrowsItsAncestors) {
    auto m = rtc_make<MODEL>();
    auto layer = rtc_make<LAYER>();
    auto group = rtc_make<CONTAINER>();
    auto w = wire({{0, 0, 0}, {1, 1, 0}});
    LAYER* l = layer.get();
    CONTAINER* g = group.get();
    WIRE* wp = w.get();
    EXPECT_EQ(container_insert(m.get(), layer.release()), 0);
    EXPECT_EQ(container_insert(l, group.release()), 0);
    EXPECT_EQ(container_insert(g, w.release()), 0);
    expect_box(l->box, {0, 0, 0}, {1, 1, 0});
    expect_box(m->box, {0, 0, 0}, {1, 1, 0});

    list_free(&wp->points);
    wp->points = make_plist({{5, 5, 5}, {6, 6, 6}});
    obj_update_bbox(wp);
    expect_box(wp->box, {5, 5, 5}, {6, 6, 6});
    for (const object* o :
         {static_cast<object*>(g), static_cast<object*>(l), static_cast<object*>(m.get())}) {
        expect_box(o->box, {0, 0, 0}, {6, 6, 6});
    }
}

// An object handed over under a FreshBoxScope keeps the box it carries, and only
// that object and only while the scope lives: after it ends, also by a throw, and
// for any other object the insert computes the box again.
TEST_F(ClassTree, FreshBoxScopeKeepsTheBoxOnlyWhileItLives) {
    const struct {
        const char* name;
        void (*insert)(MODEL* m, CONTAINER* g);
        bool kept;
    } cases[] = {
        {"no scope", [](MODEL* m, CONTAINER* g) { EXPECT_EQ(container_insert(m, g), 0); }, false},
        {"its own scope",
         [](MODEL* m, CONTAINER* g) {
             FreshBoxScope fresh(g);
             EXPECT_EQ(container_insert(m, g), 0);
         },
         true},
        {"another object's scope",
         [](MODEL* m, CONTAINER* g) {
             FreshBoxScope fresh(m);
             EXPECT_EQ(container_insert(m, g), 0);
         },
         false},
        {"after the scope ended",
         [](MODEL* m, CONTAINER* g) {
             { FreshBoxScope fresh(g); }
             EXPECT_EQ(container_insert(m, g), 0);
         },
         false},
        {"after a throw left the scope",
         [](MODEL* m, CONTAINER* g) {
             try {
                 FreshBoxScope fresh(g);
                 throw 1;
             } catch (int) {
             }
             EXPECT_EQ(container_insert(m, g), 0);
         },
         false},
        {"an inner scope ended: the outer one holds again",
         [](MODEL* m, CONTAINER* g) {
             FreshBoxScope outer(g);
             { FreshBoxScope inner(m); }
             EXPECT_EQ(container_insert(m, g), 0);
         },
         true},
        {"an inner scope for another object hides the outer one",
         [](MODEL* m, CONTAINER* g) {
             FreshBoxScope outer(g);
             FreshBoxScope inner(m);
             EXPECT_EQ(container_insert(m, g), 0);
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = rtc_make<MODEL>();
        auto group = rtc_make<CONTAINER>();
        CONTAINER* g = group.get();
        EXPECT_EQ(container_insert(g, wire({{0, 0, 0}, {1, 1, 1}}).release()), 0);
        g->box = {{-7, -7, -7}, {7, 7, 7}};  // what the caller vouches for
        c.insert(m.get(), group.release());
        ASSERT_EQ(g->parent, m.get());
        if (c.kept) {
            expect_box(g->box, {-7, -7, -7}, {7, 7, 7});
            expect_box(m->box, {-7, -7, -7}, {7, 7, 7});
        } else {
            expect_box(g->box, {0, 0, 0}, {1, 1, 1});
            expect_box(m->box, {0, 0, 0}, {1, 1, 1});
        }
    }
}

TEST_F(ClassTree, InsertRefusesLoops) {
    auto outer = rtc_make<CONTAINER>();
    auto middle = rtc_make<CONTAINER>();
    auto inner = rtc_make<CONTAINER>();
    CONTAINER* o = outer.get();
    CONTAINER* mi = middle.get();
    CONTAINER* in = inner.get();
    EXPECT_EQ(container_insert(mi, inner.release()), 0);
    EXPECT_EQ(container_insert(o, middle.release()), 0);
    const struct {
        const char* name;
        CONTAINER* into;
        ZOBJ* what;
    } cases[] = {
        {"itself", in, in},
        {"its parent", in, mi},
        {"its grandparent", in, o},
        {"a null object", o, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(container_insert(c.into, c.what), kBadArgument);
        EXPECT_EQ(children_of(o), std::vector<ZOBJ*>{mi});
        EXPECT_EQ(children_of(mi), std::vector<ZOBJ*>{in});
        EXPECT_TRUE(children_of(in).empty());
        EXPECT_EQ(o->parent, nullptr);
        RecordingIter it;
        EXPECT_EQ(o->walk(&it), 0);
        EXPECT_EQ(it.trace(), "EEEXXX");
    }
    EXPECT_EQ(container_insert(nullptr, in), kBadArgument);
}

TEST_F(ClassTree, InsertMovesFromTheOldContainer) {
    auto a = rtc_make<CONTAINER>();
    auto b = rtc_make<CONTAINER>();
    auto w1 = wire({{0, 0, 0}, {9, 9, 9}});
    auto w2 = wire({{0, 0, 0}});
    auto w3 = wire({{1, 1, 1}});
    ZOBJ* x = w1.get();
    ZOBJ* y = w2.get();
    ZOBJ* z = w3.get();
    EXPECT_EQ(container_insert(a.get(), w1.release()), 0);
    EXPECT_EQ(container_insert(a.get(), w2.release()), 0);
    EXPECT_EQ(container_insert(b.get(), w3.release()), 0);
    ASSERT_EQ(container_insert(b.get(), x), 0);
    EXPECT_EQ(children_of(a.get()), std::vector<ZOBJ*>{y});
    EXPECT_EQ(children_of(b.get()), (std::vector<ZOBJ*>{z, x}));
    EXPECT_EQ(x->parent, b.get());
    expect_box(a->box, {0, 0, 0}, {9, 9, 9});  // the old container keeps its box
    expect_box(b->box, {0, 0, 0}, {9, 9, 9});
    // Inserting again where it already is puts it at the end.
    ASSERT_EQ(container_insert(b.get(), z), 0);
    EXPECT_EQ(children_of(b.get()), (std::vector<ZOBJ*>{x, z}));
}

TEST_F(ClassTree, DyingObjectLeavesItsContainer) {
    for (int victim = 0; victim < 3; ++victim) {
        SCOPED_TRACE(victim);
        auto m = rtc_make<MODEL>();
        auto* layer = static_cast<CONTAINER*>(children_of(m.get())[0]);
        std::vector<ZOBJ*> kids;
        for (int i = 0; i < 3; ++i) {
            auto w = wire({{0, 0, 0}});
            kids.push_back(w.get());
            EXPECT_EQ(container_insert(layer, w.release()), 0);
        }
        m->set_modified(0);
        rtc_destroy(kids[victim]);
        kids.erase(kids.begin() + victim);
        EXPECT_EQ(children_of(layer), kids);
        EXPECT_EQ(m->get_modified(), 1);
    }
}

TEST_F(ClassTree, DyingGroupTakesItsChildren) {
    auto outer = rtc_make<CONTAINER>();
    auto group = rtc_make<CONTAINER>();
    CONTAINER* g = group.get();
    EXPECT_EQ(container_insert(g, wire({{0, 0, 0}}).release()), 0);
    EXPECT_EQ(container_insert(g, rtc_make<LIGHT>().release()), 0);
    EXPECT_EQ(container_insert(outer.get(), group.release()), 0);
    rtc_destroy(g);
    EXPECT_EQ(outer->children, nullptr);
}

TEST_F(ClassTree, SelectionLosesDeadObjects) {
    auto group = rtc_make<CONTAINER>();
    auto w1 = wire({{0, 0, 0}});
    auto w2 = wire({{1, 1, 1}});
    auto inner = rtc_make<CONTAINER>();
    auto deep = wire({{2, 2, 2}});
    WIRE* a = w1.get();
    WIRE* b = w2.get();
    CONTAINER* in = inner.get();
    WIRE* d = deep.get();
    EXPECT_EQ(container_insert(group.get(), w1.release()), 0);
    EXPECT_EQ(container_insert(group.get(), w2.release()), 0);
    EXPECT_EQ(container_insert(in, deep.release()), 0);
    EXPECT_EQ(container_insert(group.get(), inner.release()), 0);

    buffer* sel = buffer_new();
    buffer* other = buffer_new();
    ASSERT_NE(sel, nullptr);
    for (ZOBJ* o : std::initializer_list<ZOBJ*>{a, b, d}) EXPECT_EQ(buffer_add(sel, o), 0);
    EXPECT_EQ(buffer_add(other, b), 0);

    auto live = [](const buffer* buf) {
        std::vector<ZOBJ*> out;
        for (const RefNode* n = buf->refs; n; n = n->next) {
            if (n->ref) out.push_back(n->ref);
        }
        return out;
    };
    rtc_destroy(b);
    EXPECT_EQ(live(sel).size(), 2u);
    EXPECT_TRUE(live(other).empty());
    EXPECT_EQ(buffer_has_objects(other), 0);
    rtc_destroy(in);  // takes `deep` with it
    EXPECT_EQ(live(sel), std::vector<ZOBJ*>{a});
    group.reset();
    EXPECT_EQ(buffer_has_objects(sel), 0);
    buffer_free(&sel);
    buffer_free(&other);
    EXPECT_EQ(sel, nullptr);
}

TEST_F(ClassTree, SetString) {
    const struct {
        int index;
        const char* text;
        int result;
        const char* want[3];
    } rows[] = {
        {0, "Wall07", 0, {"Wall07", "", ""}}, {1, "one", 0, {"name", "one", ""}},
        {2, "two", 0, {"name", "", "two"}},   {0, nullptr, 0, {"", "", ""}},
        {3, "bad", 13, {"name", "", ""}},     {-1, "bad", 13, {"name", "", ""}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.index);
        auto w = rtc_make<WIRE>();
        ASSERT_EQ(w->set_string(0, "name"), 0);
        EXPECT_EQ(w->set_string(r.index, r.text), r.result);
        for (int i = 0; i < 3; ++i) EXPECT_STREQ(w->str(i), r.want[i]) << i;
    }
}

}  // namespace

// A ring whose neighbours disagree stops the builds with invariant checks, naming the
// links involved.
TEST(RingCheck, NeighboursThatDisagreeAbortWithTheLinks) {
    if (!ZELO_CHECKS_ON) GTEST_SKIP() << "invariant checks are compiled out of this build";
    ZDLIST a, b, stray;
    ZDLIST* head = nullptr;
    ring_insert(&head, &a, false);
    ring_insert(&head, &b, false);
    b.prev = &stray;  // a's next is b, but b's prev is not a
    EXPECT_DEATH(ring_remove(&head, &b),
                 "check failed: .*ring member 0x[0-9a-f]+: next 0x[0-9a-f]+, prev");
    b.prev = &a;
    ring_remove(&head, &b);
    ring_remove(&head, &a);
    EXPECT_EQ(head, nullptr);
}

// A tree changed by a thread-local destructor that runs after the change journal's
// (built later, so gone first) is recorded harmlessly, and the journal still answers.
TEST(TreeJournal, ChangeFromALateDestructorIsHarmless) {
    struct LateChange {
        bool armed = false;
        ~LateChange() {
            if (!armed) return;
            const uint64_t since = tree_epoch();
            tree_changed(TreeChangeKind::other);
            std::vector<TreeChange> changes;
            if (tree_changes_since(since, 8, &changes) && changes.size() == 1) *ok = true;
        }
        std::atomic<bool>* ok = nullptr;
    };
    std::atomic<bool> ok{false};
    std::thread t([&ok] {
        thread_local LateChange late;  // constructed before the journal's first use
        late.armed = true;
        late.ok = &ok;
        tree_changed(TreeChangeKind::other);
    });
    t.join();
    EXPECT_TRUE(ok);
}

// Threads changing their own trees at once each move the epoch on: none sets it back
// to a value a cache on another thread may already hold.
TEST(TreeJournal, ChangesOnSeveralThreadsAreAllCounted) {
    constexpr int kThreads = 4, kChanges = 100000;
    const uint64_t start = tree_epoch();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < kChanges; ++i) tree_changed(TreeChangeKind::other);
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(tree_epoch() - start, uint64_t(kThreads) * kChanges);
}

// Within a change batch the first changes are recorded one by one, so a cache patches
// itself across a small one; past the journal's length one change stands for the rest,
// after which no cache patches itself across the batch.
TEST(TreeJournal, ChangeBatchRecordsSmallRunsAndClosesLongOnes) {
    for (const int changes : {10, 5000}) {
        SCOPED_TRACE(changes);
        const uint64_t since = tree_epoch();
        {
            TreeChangeBatch batch;
            for (int i = 0; i < changes; ++i) tree_changed(TreeChangeKind::insert_tail);
        }
        std::vector<TreeChange> seen;
        const bool patchable = tree_changes_since(since, 1u << 20, &seen);
        if (changes <= 1024) {
            ASSERT_TRUE(patchable);
            EXPECT_EQ(seen.size(), size_t(changes));
        } else {
            EXPECT_FALSE(patchable);
            ASSERT_TRUE(tree_changes_since(tree_epoch() - 1, 1, &seen));
            EXPECT_EQ(seen.back().kind, TreeChangeKind::other);
        }
    }
}
