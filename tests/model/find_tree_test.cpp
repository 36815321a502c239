// Walks, lookups and numbering over drawing trees, checked against a recursive
// reference on random trees and on a nesting far too deep for recursion.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/db/wire.h"

namespace {

class FindTest : public ::testing::Test {
  protected:
    void SetUp() override { rtc_register_all(); }
};

template <class T>
T* add(CONTAINER* into, const char* name = "") {
    T* o = rtc_make<T>().release();
    o->set_string(0, name);
    EXPECT_EQ(container_insert(into, o), 0);
    return o;
}

std::vector<ZOBJ*> kids(const CONTAINER* c) {
    std::vector<ZOBJ*> out;
    for (ZDLIST* n = c->children; n; n = n->next == c->children ? nullptr : n->next) {
        out.push_back(static_cast<ZOBJ*>(n));
    }
    return out;
}

void preorder(ZOBJ* z, std::vector<ZOBJ*>& out) {
    out.push_back(z);
    if (auto* c = rtc_cast<CONTAINER>(z)) {
        for (ZOBJ* k : kids(c)) preorder(k, out);
    }
}

KeyframeTrack* add_track(object* o) {
    KeyframeTrack* t = track_new(nullptr, o);
    t->next_track = o->tracks;
    o->tracks = t;
    return t;
}

// A model with `n` random objects (groups, lines, cameras, viewpoints) nested at
// random, some carrying tracks; the model itself carries two.
std::unique_ptr<MODEL> random_model(std::mt19937& rng, int n) {
    auto m = rtc_make<MODEL>();
    std::vector<CONTAINER*> groups{m.get()};
    add_track(m.get());
    add_track(m.get());
    for (int i = 0; i < n; ++i) {
        CONTAINER* into = groups[rng() % groups.size()];
        ZOBJ* z = nullptr;
        switch (rng() % 4) {
            case 0:
                groups.push_back(add<CONTAINER>(into));
                z = groups.back();
                break;
            case 1:
                z = add<XPLINE>(into);
                break;
            case 2:
                z = add<CAMERA>(into);
                break;
            default:
                z = add<VPORT>(into);
                break;
        }
        if (auto* o = rtc_cast<object>(z)) {
            for (unsigned k = rng() % 3; k > 0; --k) add_track(o);
        }
    }
    return m;
}

TEST_F(FindTest, NumbersObjectsAndTracksInPreorderAndFindsEachById) {
    for (unsigned seed = 1; seed <= 5; ++seed) {
        std::mt19937 rng(seed);
        auto m = random_model(rng, 150);
        EXPECT_EQ(model_number_objects(m.get()), 1);
        std::vector<ZOBJ*> order;
        preorder(m.get(), order);
        int32_t track_id = 0;
        for (size_t i = 0; i < order.size(); ++i) {
            ASSERT_EQ(order[i]->file_id, static_cast<int32_t>(i));
            EXPECT_EQ(container_find_by_id(m.get(), order[i]->file_id), order[i]);
            auto* o = rtc_cast<object>(order[i]);
            for (KeyframeTrack* t = o ? o->tracks : nullptr; t; t = t->next_track) {
                ASSERT_EQ(t->id, track_id++);
                EXPECT_EQ(track_find_by_id(m.get(), t->id), t);
            }
        }
        EXPECT_EQ(container_find_by_id(m.get(), static_cast<int32_t>(order.size())), nullptr);
        EXPECT_EQ(track_find_by_id(m.get(), track_id), nullptr);
        // A subtree finds only its own objects.
        for (ZOBJ* z : order) {
            auto* c = rtc_cast<CONTAINER>(z);
            if (!c || c == m.get() || !c->children) continue;
            std::vector<ZOBJ*> sub;
            preorder(c, sub);
            EXPECT_EQ(container_find_by_id(c, sub.back()->file_id), sub.back());
            EXPECT_EQ(container_find_by_id(c, 0), nullptr);
        }
    }
}

struct WalkLog {
    std::map<const ZOBJ*, int> answer;
    std::string seen;
};

int log_visit(ZOBJ* z, void* arg) {
    auto* log = static_cast<WalkLog*>(arg);
    log->seen += z->name();
    auto it = log->answer.find(z);
    return it == log->answer.end() ? 0 : it->second;
}

// The walk rule written recursively, as the oracle.
int reference_walk(ZOBJ* z, WalkLog& log, bool leaves_only) {
    auto* c = rtc_cast<CONTAINER>(z);
    if (!c) return log_visit(z, &log);
    if (!leaves_only) {
        const int r = log_visit(z, &log);
        if (r == 1 || r == 2) return r;
    }
    int r = 0;
    for (ZOBJ* k : kids(c)) {
        r = reference_walk(k, log, leaves_only);
        if (r == 1) break;
    }
    return r;
}

TEST_F(FindTest, ContainerWalkTable) {
    // r { A, G { B, E {} }, D }
    auto r = rtc_make<CONTAINER>();
    r->set_string(0, "r");
    XPLINE* a = add<XPLINE>(r.get(), "A");
    auto* g = add<CONTAINER>(r.get(), "G");
    XPLINE* b = add<XPLINE>(g, "B");
    add<CONTAINER>(g, "E");
    XPLINE* d = add<XPLINE>(r.get(), "D");
    const struct {
        bool leaves;
        std::map<const ZOBJ*, int> answer;
        const char* seen;
        int result;
    } cases[] = {
        {true, {}, "ABD", 0},
        {false, {}, "rAGBED", 0},
        {true, {{a, 3}}, "ABD", 0},  // the last child's result wins
        {true, {{d, 4}}, "ABD", 4},
        {true, {{b, 1}}, "AB", 1},             // 1 ends every level
        {false, {{g, 2}, {d, 4}}, "rAGD", 4},  // 2 skips the group's children
        {false, {{g, 1}}, "rAG", 1},
        {false, {{r.get(), 2}}, "r", 2},
        {false, {{d, 2}}, "rAGBED", 2},
        {true, {{r.get(), 1}}, "ABD", 0},  // leaves only: the container is not asked
    };
    for (const auto& c : cases) {
        WalkLog log{c.answer, ""};
        EXPECT_EQ(container_walk(r.get(), &log_visit, &log, c.leaves), c.result) << c.seen;
        EXPECT_EQ(log.seen, c.seen);
    }
    WalkLog leaf{{{b, 7}}, ""};
    EXPECT_EQ(container_walk(b, &log_visit, &leaf, true), 7);
    EXPECT_EQ(leaf.seen, "B");
}

TEST_F(FindTest, ContainerWalkMatchesRecursiveRuleOnRandomTrees) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 rng(seed);
        auto m = random_model(rng, 60);
        std::vector<ZOBJ*> all;
        preorder(m.get(), all);
        WalkLog base;
        for (size_t i = 0; i < all.size(); ++i) {
            all[i]->set_string(0, std::string(1, static_cast<char>('!' + i % 90)).c_str());
            if (rng() % 8 == 0) base.answer[all[i]] = 1 + static_cast<int>(rng() % 3);
        }
        for (bool leaves : {false, true}) {
            WalkLog got = base, want = base;
            EXPECT_EQ(container_walk(m.get(), &log_visit, &got, leaves),
                      reference_walk(m.get(), want, leaves));
            EXPECT_EQ(got.seen, want.seen) << "seed " << seed;
        }
    }
}

TEST_F(FindTest, ContainerWalkSurvivesAFunctionThatUnlinksItsLeaf) {
    std::mt19937 rng(11);
    auto m = random_model(rng, 120);
    std::vector<ZOBJ*> all;
    preorder(m.get(), all);
    std::vector<ZOBJ*> leaves;
    for (ZOBJ* z : all) {
        if (!rtc_is<CONTAINER>(z)) leaves.push_back(z);
    }
    std::vector<ZOBJ*> taken;
    auto take = [](ZOBJ* z, void* out) {
        obj_remove(z);
        static_cast<std::vector<ZOBJ*>*>(out)->push_back(z);
        return 0;
    };
    EXPECT_EQ(container_walk(m.get(), take, &taken, true), 0);
    EXPECT_EQ(taken, leaves);
    for (ZOBJ* z : taken) rtc_destroy(z);
}

TEST_F(FindTest, DeepNestingNeedsNoRecursion) {
    constexpr int kDepth = 200000;
    std::vector<CONTAINER*> chain{rtc_make<CONTAINER>().release()};
    for (int i = 1; i < kDepth; ++i) {  // linked by hand: inserting would walk every ancestor
        auto* c = rtc_make<CONTAINER>().release();
        ring_insert(&chain.back()->children, c, false);
        c->parent = chain.back();
        chain.push_back(c);
    }
    auto* leaf = rtc_make<XPLINE>().release();
    ring_insert(&chain.back()->children, leaf, false);
    leaf->parent = chain.back();
    KeyframeTrack* t = add_track(leaf);

    EXPECT_EQ(model_number_objects(chain[0]), 1);
    EXPECT_EQ(leaf->file_id, kDepth);
    EXPECT_EQ(t->id, 0);
    EXPECT_EQ(container_find_by_id(chain[0], kDepth), leaf);
    EXPECT_EQ(track_find_by_id(chain[0], 0), t);
    int leaves = 0;
    auto count = [](ZOBJ*, void* n) { return ++*static_cast<int*>(n), 0; };
    EXPECT_EQ(container_walk(chain[0], count, &leaves, true), 0);
    EXPECT_EQ(leaves, 1);

    rtc_destroy(leaf);  // unlinks itself; the chain is taken apart from the bottom
    for (int i = kDepth - 1; i > 0; --i) {
        ring_remove(&chain[i - 1]->children, chain[i]);
        chain[i]->parent = nullptr;
        rtc_destroy(chain[i]);
    }
    rtc_destroy(chain[0]);
}

TEST_F(FindTest, FindStringAndNamed) {
    auto m = rtc_make<MODEL>();
    auto* layer = static_cast<CONTAINER*>(m->first_child());
    auto* g = add<CONTAINER>(layer, "G");
    auto* spot = add<SPOTLITE>(g, "Lamp");
    spot->set_string(1, "x");
    auto* line = add<XPLINE>(g, "Lamp");
    line->set_string(2, "y");
    auto* light = add<LIGHT>(layer, "Lamp");
    const struct {
        const CONTAINER* in;
        const char* text;
        int index;
        const RtcClass* cls;
        ZOBJ* want;
    } cases[] = {
        {m.get(), "Lamp", 0, &LIGHT::rtc_class, spot},  // a subclass counts, first in order
        {layer, "Lamp", 0, &SPOTLITE::rtc_class, spot},
        {m.get(), "Lamp", 0, &XPLINE::rtc_class, line},
        {m.get(), "x", 1, &object::rtc_class, spot},
        {m.get(), "y", 2, &object::rtc_class, line},
        {m.get(), "Lamp", 3, &object::rtc_class, nullptr},
        {m.get(), "Lamp", -1, &object::rtc_class, nullptr},
        {m.get(), nullptr, 0, &object::rtc_class, nullptr},
        {g, "G", 0, &CONTAINER::rtc_class, nullptr},  // the container itself is not searched
        {m.get(), "G", 0, &CONTAINER::rtc_class, g},
        {g, "Lamp", 0, &CAMERA::rtc_class, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(model_find_string(c.in, c.text, c.index, c.cls), c.want) << c.text;
    }
    EXPECT_EQ(model_find_named(line, "Lamp", &LIGHT::rtc_class), spot);
    obj_remove(spot);  // the plain light is found once the spot is gone
    EXPECT_EQ(model_find_named(line, "Lamp", &LIGHT::rtc_class), light);
    rtc_destroy(spot);

    // Pattern classes search the pattern ring, from any object of the model.
    ZOBJ* solid = model_find_named(line, "Solid", &LINEPATT::rtc_class);
    ASSERT_NE(solid, nullptr);
    EXPECT_TRUE(rtc_is<LINEPATT>(solid));
    EXPECT_EQ(model_find_named(m.get(), "Solid", &PATT::rtc_class), solid);
    EXPECT_EQ(model_find_named(m.get(), "Solid", &FONTPATT::rtc_class), nullptr);
    auto loose = rtc_make<XPLINE>();
    EXPECT_EQ(model_find_named(loose.get(), "Lamp", &LIGHT::rtc_class), nullptr);

    static_cast<LINEPATT*>(solid)->dashes = {1.5, 0.5};
    std::unique_ptr<PATT> copy = patt_clone(solid);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(rtc_is<LINEPATT>(copy.get()));
    EXPECT_STREQ(copy->name(), "Solid");
    EXPECT_EQ(copy->parent, nullptr);
    EXPECT_EQ(static_cast<LINEPATT*>(copy.get())->dashes, (std::vector<double>{1.5, 0.5}));
    EXPECT_EQ(patt_clone(line), nullptr);
    EXPECT_EQ(patt_clone(nullptr), nullptr);
}

}  // namespace
