// String arrays: slots, growth steps, limits, long texts, and word fills.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "model/db/memfill.h"
#include "model/db/strarray.h"

namespace {

// Frees the array at the end of a test.
struct Arr {
    StrArray a = nullptr;
    ~Arr() { strarray_free(&a); }
};

TEST(StrArrayTest, WritingPastTheCountFillsEmptySlots) {
    Arr arr;
    EXPECT_EQ(strarray_count(arr.a), 0);
    EXPECT_EQ(strarray_capacity(arr.a), 0);
    EXPECT_EQ(strarray_printf(&arr.a, 5, "v=%d", 42), 4);
    EXPECT_EQ(strarray_count(arr.a), 6);
    EXPECT_EQ(strarray_capacity(arr.a), 28);  // 31 words
    for (int i = 0; i < 5; ++i) EXPECT_EQ(arr.a[i], strarray_empty());
    EXPECT_STREQ(arr.a[5], "v=42");
    EXPECT_EQ(arr.a[6], nullptr);
    // Overwriting a filler slot and a written slot; the count stays.
    EXPECT_EQ(strarray_printf(&arr.a, 2, "%s", "two"), 3);
    EXPECT_EQ(strarray_printf(&arr.a, 5, "%s", "five"), 4);
    EXPECT_EQ(strarray_count(arr.a), 6);
    EXPECT_STREQ(arr.a[2], "two");
    EXPECT_STREQ(arr.a[5], "five");
    EXPECT_EQ(arr.a[6], nullptr);
}

TEST(StrArrayTest, GrowthSteps) {
    const struct {
        int index;
        int capacity;  // words - 3 after writing slots 0..index in order
    } steps[] = {{26, 28},    {27, 60},     {58, 60},     {59, 124},    {506, 508},
                 {507, 1020}, {1018, 1020}, {1019, 2045}, {2044, 3069}, {4000, 4093}};
    Arr arr;
    int next = 0;
    for (const auto& s : steps) {
        for (; next <= s.index; ++next) ASSERT_GE(strarray_printf(&arr.a, next, "s%d", next), 2);
        EXPECT_EQ(strarray_capacity(arr.a), s.capacity) << s.index;
    }
    EXPECT_EQ(strarray_count(arr.a), next);
    for (int i = 0; i < next; ++i) ASSERT_EQ(arr.a[i], "s" + std::to_string(i));
    EXPECT_EQ(arr.a[next], nullptr);
}

TEST(StrArrayTest, LargeJumpsAndLimits) {
    Arr arr;
    EXPECT_EQ(strarray_printf(&arr.a, 8187, "x"), -1);  // would need 16383 words
    EXPECT_EQ(arr.a, nullptr);
    EXPECT_EQ(strarray_printf(&arr.a, 1019, "a"), 1);  // 2047 words
    EXPECT_EQ(strarray_capacity(arr.a), 2044);
    // From a large block a far index grows by as many 1024-word steps as it needs.
    EXPECT_EQ(strarray_printf(&arr.a, 5000, "b"), 1);
    EXPECT_EQ(strarray_capacity(arr.a), 5117);
    EXPECT_EQ(strarray_printf(&arr.a, 15355, "c"), 1);  // exactly 15360 words
    EXPECT_EQ(strarray_capacity(arr.a), 15357);
    EXPECT_EQ(strarray_count(arr.a), 15356);

    StrArray before = arr.a;
    for (int bad : {-1, 15356, 16127, 16128, 1 << 30}) {
        EXPECT_EQ(strarray_printf(&arr.a, bad, "bad"), -1) << bad;
        EXPECT_EQ(arr.a, before);
        EXPECT_EQ(strarray_count(arr.a), 15356);
    }
    EXPECT_STREQ(arr.a[1019], "a");
    EXPECT_STREQ(arr.a[5000], "b");
    EXPECT_EQ(arr.a[5001], strarray_empty());
    EXPECT_EQ(strarray_printf(&arr.a, 0, nullptr), -1);
    EXPECT_EQ(strarray_printf(nullptr, 0, "x"), -1);
}

TEST(StrArrayTest, TextsOfAnyLength) {
    Arr arr;
    for (size_t len : {0u, 1023u, 1024u, 1025u, 70000u}) {
        const std::string text(len, 'q');
        EXPECT_EQ(strarray_printf(&arr.a, 1, "%s", text.c_str()), static_cast<int>(len));
        EXPECT_EQ(arr.a[1], text);
    }
    EXPECT_EQ(strarray_printf(&arr.a, 0, "%s-%04d-%c", "ab", 7, 'z'), 9);
    EXPECT_STREQ(arr.a[0], "ab-0007-z");
}

TEST(StrArrayTest, SeparateArraysFormatConcurrently) {
    auto fill = [](int id, bool* ok) {
        Arr arr;
        for (int i = 0; i < 3000; ++i) strarray_printf(&arr.a, i % 200, "%d:%0300d", id, i);
        *ok = true;
        for (int i = 2800; i < 3000; ++i) {
            char want[400];
            std::snprintf(want, sizeof want, "%d:%0300d", id, i);
            *ok = *ok && std::string(arr.a[i % 200]) == want;
        }
    };
    bool ok[4] = {};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) threads.emplace_back(fill, t, &ok[t]);
    for (auto& t : threads) t.join();
    for (bool b : ok) EXPECT_TRUE(b);
}

TEST(MemFillTest, FillsExactlyTheCount) {
    for (long count : {0L, 1L, 5L}) {
        std::vector<uint32_t> w(8, 7u);
        mem_fill32(w.data() + 1, 0xdeadbeefu, count);
        for (long i = 0; i < 8; ++i) {
            EXPECT_EQ(w[i], i >= 1 && i <= count ? 0xdeadbeefu : 7u) << count << " " << i;
        }
        std::vector<uint32_t> p(14, 7u);
        mem_fill_pair(p.data() + 2, 1u, 2u, count);
        for (long i = 0; i < 14; ++i) {
            const bool in = i >= 2 && i < 2 + 2 * count;
            EXPECT_EQ(p[i], in ? (i % 2 ? 2u : 1u) : 7u) << count << " " << i;
        }
    }
}

}  // namespace
