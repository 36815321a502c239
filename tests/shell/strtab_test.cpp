// The string table: the texts that the program quotes, unique ids, and the text of
// a missing id.
#include <gtest/gtest.h>

#include <string>

#include "model/services/strtab.h"
#include "resources/string_ids.h"
#include "tests/platform/qt_test_env.h"

namespace {

TEST(StringTable, HoldsTheQuotedTexts) {
    struct Row {
        uint32_t id;
        const char* text;
    } rows[] = {
        {42002, "First point"},
        {42170, "ERROR"},
        {42181, "A potential problem has been detected..."},
        {61713, "Please enter a number."},
        {40704, "Please enter the value correctly"},
        {40709, "Please enter a value between %1 and %2."},
        {128, "Zelo"},
        {57345, "For Help, press F1"},
        {42200, "There are no hidding objects.\nContinue?"},
        {40010, " Uncompressed TIFF"},
        {40486, "<< Front >>"},
        {40491, "<< Bottom >>"},
    };
    for (const Row& r : rows) {
        const char* text = res_find_string(r.id);
        ASSERT_NE(text, nullptr) << r.id;
        EXPECT_STREQ(text, r.text) << r.id;
    }
    EXPECT_EQ(IDS_APP_NAME, 128u);
    EXPECT_EQ(IDS_ERROR, 42170u);
}

TEST(StringTable, IdsAreSortedAndUnique) {
    size_t count = 0;
    const StrTabEntry* table = res_string_table(&count);
    ASSERT_GT(count, 250u);
    for (size_t i = 1; i < count; ++i) EXPECT_LT(table[i - 1].id, table[i].id) << "at " << table[i].id;
    for (size_t i = 0; i < count; ++i) EXPECT_NE(table[i].text, nullptr);
}

TEST(StringTable, LoadGivesOwnedTextsAndMarksMissingIds) {
    std::string a = res_load_string(42002);
    std::string b = res_load_string(42003);
    EXPECT_EQ(a, "First point");  // the second load does not overwrite the first
    EXPECT_EQ(b, "Second point");
    EXPECT_EQ(res_load_string(54321), "0x0000D431\n");
    EXPECT_EQ(res_find_string(54321), nullptr);
    EXPECT_EQ(res_load_string(kStrIdNone), "For Help, press F1");
}

}  // namespace
