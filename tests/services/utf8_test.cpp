// Cutting a text to a byte limit on a character boundary: whole sequences stay whole,
// a byte that starts no well-formed sequence counts as one character.
#include <gtest/gtest.h>

#include <string>

#include "model/services/utf8.h"

TEST(Utf8, CutsOnCharacterBoundaries) {
    struct Case {
        std::string text;
        size_t limit, cut;
    } cases[] = {
        {"abc", 2, 2},
        {"\xC3\xA9", 1, 0},                // e acute does not fit
        {"a\xE2\x82\xAC", 3, 1},           // nor does the euro sign
        {"a\xE2\x82\xAC", 4, 4},
        {"\xF0\x9F\x98\x80!", 3, 0},       // four bytes
        {"caf\xE9 ok", 4, 4},              // a Latin-1 byte is one character
        {"\xE2\x82", 1, 1},                // half a character: two stray bytes
        {"\xC3\xA9\xC3\xA9", 255, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(utf8_cut(c.text.c_str(), c.limit), c.cut);
        char buf[8];
        if (c.limit < sizeof buf) {
            EXPECT_EQ(utf8_copy(buf, c.limit + 1, c.text), c.cut);
            EXPECT_EQ(std::string(buf), c.text.substr(0, c.cut));
        }
    }
    EXPECT_TRUE(utf8_is_valid(std::string("caf\xC3\xA9")));
    EXPECT_FALSE(utf8_is_valid(std::string("caf\xE9")));
    EXPECT_FALSE(utf8_is_valid(std::string("a\0b", 3)));
}
