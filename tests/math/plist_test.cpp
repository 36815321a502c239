// Tests of point lists, lists of point lists and boxes. Leaks and stray frees are
// caught by the sanitizer build.
#include "model/math/plist.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

PointNode* make_list(std::initializer_list<Vec3> pts, bool closed) {
    PointNode* list = nullptr;
    for (auto it = std::rbegin(pts); it != std::rend(pts); ++it) EXPECT_EQ(plist_add(&list, *it), 0);
    if (closed && list) {
        PointNode* last = list;
        while (last->next) last = last->next;
        last->next = list;
    }
    return list;
}

std::vector<float> xs(const PointNode* list) {
    std::vector<float> out;
    for (const PointNode* n = list; n; n = n->next == list ? nullptr : n->next) out.push_back(n->x);
    return out;
}

TEST(PointList, AddPrependsAndCounts) {
    PointNode* list = nullptr;
    for (float x : {1.f, 2.f, 3.f}) ASSERT_EQ(plist_add(&list, {x, 0, 0}), 0);
    EXPECT_EQ(xs(list), (std::vector<float>{3, 2, 1}));
    EXPECT_EQ(list->flags, 0u);
    EXPECT_EQ(plist_count(list), 3);
    EXPECT_FALSE(plist_is_closed(list));
    list_free(&list);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(plist_count(nullptr), 0);
}

TEST(PointList, CopyKeepsOrderFlagsAndClosure) {
    for (bool closed : {false, true}) {
        PointNode* src = make_list({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, closed);
        src->next->flags = kPointMoveNext;
        src->extra = 42;
        PointNode* copy = nullptr;
        ASSERT_EQ(plist_copy(&copy, src), 0);
        EXPECT_NE(copy, src);
        EXPECT_EQ(plist_is_closed(copy), closed);
        EXPECT_EQ(xs(copy), (std::vector<float>{1, 4, 7}));
        EXPECT_EQ(copy->next->flags, kPointMoveNext);
        EXPECT_EQ(copy->next->next->z, 9);
        EXPECT_EQ(copy->extra, 0u);
        list_free(&copy);
        list_free(&src);
    }
    PointNode* copy = reinterpret_cast<PointNode*>(1);
    EXPECT_EQ(plist_copy(&copy, nullptr), 0);
    EXPECT_EQ(copy, nullptr);
}

TEST(PointList, Reverse) {
    struct Case {
        std::initializer_list<Vec3> pts;
        bool closed;
        std::vector<float> expected;
    } cases[] = {
        {{{1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, false, {3, 2, 1}},
        {{{1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, true, {3, 2, 1}},
        {{{1, 0, 0}}, false, {1}},
        {{{1, 0, 0}}, true, {1}},
    };
    for (const Case& c : cases) {
        PointNode* list = make_list(c.pts, c.closed);
        PointNode* only = list;
        list = list_reverse(list);
        EXPECT_EQ(xs(list), c.expected);
        EXPECT_EQ(plist_is_closed(list), c.closed);
        if (c.pts.size() == 1) {
            EXPECT_EQ(list, only);
            EXPECT_EQ(list->next, c.closed ? list : nullptr);
        }
        list_free(&list);
    }
    EXPECT_EQ(list_reverse(static_cast<PointNode*>(nullptr)), nullptr);

    PtrNode* values = nullptr;
    int a = 1, b = 2;
    EXPECT_EQ(ptrlist_add(&values, &a), 0);
    EXPECT_EQ(ptrlist_add(&values, &b), 0);
    values = list_reverse(values);
    EXPECT_EQ(values->value, &a);
    list_free(&values);
}

TEST(PointList, ListOfListsCopyAndFree) {
    PtrNode* lists = nullptr;
    EXPECT_EQ(ptrlist_add(&lists, make_list({{1, 1, 1}, {2, 2, 2}}, true)), 0);
    EXPECT_EQ(ptrlist_add(&lists, make_list({{3, 3, 3}}, false)), 0);
    PtrNode* copy = nullptr;
    ASSERT_EQ(plist_list_copy(&copy, lists), 0);
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy->next, nullptr);
    EXPECT_EQ(copy->next->next, nullptr);
    auto* first = static_cast<PointNode*>(copy->value);
    auto* second = static_cast<PointNode*>(copy->next->value);
    EXPECT_NE(first, lists->value);
    EXPECT_EQ(xs(first), (std::vector<float>{3}));
    EXPECT_EQ(xs(second), (std::vector<float>{1, 2}));
    EXPECT_TRUE(plist_is_closed(second));
    plist_list_free(&copy);
    plist_list_free(&lists);
    EXPECT_EQ(lists, nullptr);
}

TEST(Boxes, UnionAndTwoPoints) {
    BBox box;
    bbox_of_points({3, -1, 2}, {1, 4, 2}, &box);
    EXPECT_EQ(box.min.x, 1);
    EXPECT_EQ(box.min.y, -1);
    EXPECT_EQ(box.max.y, 4);
    BBox into = kEmptyBBox;
    bbox_union(box, &into);
    bbox_union(kEmptyBBox, &into);
    EXPECT_EQ(into.min.x, 1);
    EXPECT_EQ(into.max.x, 3);
    EXPECT_EQ(into.max.z, 2);
    EXPECT_EQ(vec3_near({1, 1, 1}, {1, 1, 1.0000005f}), 1);
    EXPECT_EQ(vec3_near({1, 1, 1}, {1, 1, 1.000002f}), 0);
}

}  // namespace

// Nodes cut from blocks while a bulk scope lives are freed one by one, inside the scope,
// after it and on another thread, alongside nodes made outside it; the sanitizer build
// catches a node freed wrongly or a block left behind.
TEST(BulkAlloc, NodesFromBlocksAreFreedAnywhere) {
    std::vector<PointNode*> made;
    PointNode* outside = nullptr;
    EXPECT_EQ(plist_add(&outside, {1, 2, 3}), 0);
    {
        BulkAllocScope scope;
        for (int i = 0; i < 300000; ++i) {  // several blocks
            PointNode* n = nullptr;
            ASSERT_EQ(plist_add(&n, {float(i), 0, 0}), 0);
            made.push_back(n);
        }
        for (size_t i = 0; i < made.size(); i += 2) list_free(&made[i]);
    }
    std::thread other([&made] {
        for (size_t i = 1; i < made.size(); i += 2) {
            EXPECT_EQ(made[i]->x, float(i));
            list_free(&made[i]);
        }
    });
    other.join();
    EXPECT_EQ(outside->z, 3.0f);
    list_free(&outside);
}
