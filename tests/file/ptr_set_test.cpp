// The flat pointer set of the load and save bookkeeping against std::unordered_set:
// inserts, repeats, misses, null and growth through many doublings; the list of the
// objects one load made.
#include <gtest/gtest.h>

#include <cstdint>
#include <unordered_set>
#include <vector>

#include "model/file/load_context.h"
#include "model/file/ptr_set.h"

TEST(FlatPtrSet, AgreesWithTheStandardSet) {
    FlatPtrSet<int> set;
    std::unordered_set<const int*> want;
    EXPECT_EQ(set.count(nullptr), 0u);
    EXPECT_FALSE(set.insert(nullptr));
    // Addresses close together (as heap objects are) and far apart, with repeats.
    std::vector<int> block(50000);
    uint64_t seed = 12345;
    for (int round = 0; round < 3; ++round) {
        for (size_t i = 0; i < block.size(); i += 1 + round) {
            const int* p = &block[i];
            EXPECT_EQ(set.insert(p), want.insert(p).second);
        }
        for (int i = 0; i < 2000; ++i) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            const auto* p = reinterpret_cast<const int*>((seed >> 16) & ~uintptr_t{7});
            EXPECT_EQ(set.insert(p), want.insert(p).second);
        }
    }
    EXPECT_EQ(set.size(), want.size());
    for (size_t i = 0; i < block.size(); ++i)
        EXPECT_EQ(set.count(&block[i]), want.count(&block[i])) << i;
    const int outside = 0;
    EXPECT_EQ(set.count(&outside), 0u);
    set.clear();
    EXPECT_TRUE(set.empty());
    EXPECT_EQ(set.count(&block[0]), 0u);
}

// The objects of a load: noted in blocks, looked up through the set built on the first
// look-up, noted straight into the set after it. Counts on both sides of a block's end.
TEST(LoadObjectsTest, FindsEveryNotedObjectAcrossBlocks) {
    for (size_t noted :
         {size_t{0}, size_t{1}, size_t{8191}, size_t{8192}, size_t{8193}, size_t{20000}}) {
        SCOPED_TRACE(noted);
        std::vector<char> storage(noted + 2);
        auto at = [&](size_t i) { return reinterpret_cast<const RTC*>(storage.data() + i); };
        LoadObjects made;
        for (size_t i = 0; i < noted; ++i) made.insert(at(i));
        made.insert(nullptr);
        for (size_t i = 0; i < noted; ++i) ASSERT_EQ(made.count(at(i)), 1u) << i;
        EXPECT_EQ(made.count(at(noted)), 0u);
        made.insert(at(noted + 1));  // after the first look-up
        EXPECT_EQ(made.count(at(noted + 1)), 1u);
        EXPECT_EQ(made.count(nullptr), 0u);
    }
}
