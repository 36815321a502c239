// The open request of a second start: only [open("absolute path")], bounded.
#include <gtest/gtest.h>

#include <string>

#include "shell/core/open_request.h"

TEST(OpenRequest, RoundTrip) {
    for (const char* path : {"/a.qvm", "/home/u/My Drawings/plan \"v2\".qvm", "/x/\xC3\xA9t\xC3\xA9.mcr",
                             "/tmp/[open(\"x\")].qvm"}) {
        std::string text = open_request_format(path), back;
        ASSERT_FALSE(text.empty()) << path;
        ASSERT_TRUE(open_request_parse(text, &back)) << text;
        EXPECT_EQ(back, path);
    }
}

TEST(OpenRequest, RefusesEverythingElse) {
    const std::string bad[] = {
        "", "[open(\"\")]", "[open(\"relative.qvm\")]", "[open(\"/a\")] ", " [open(\"/a\")]",
        "[print(\"/a\")]", "[open(\"/a\")][open(\"/b\")", "[open(/a)]", "[OPEN(\"/a\")]",
        std::string("[open(\"/a\nb\")]"), std::string("[open(\"/a\0b\")]", 15), "[open(\"/a\x7f\")]",
        "[open(\"/a\")", "open(\"/a\")]"};
    for (const std::string& text : bad) {
        std::string path = "untouched";
        EXPECT_FALSE(open_request_parse(text, &path)) << text;
        EXPECT_EQ(path, "untouched");
    }
    EXPECT_EQ(open_request_format("relative"), "");
    EXPECT_EQ(open_request_format(""), "");
}

TEST(OpenRequest, LengthIsBounded) {
    std::string longest = "/" + std::string(kOpenRequestMaxPath - 1, 'a');
    std::string path;
    EXPECT_TRUE(open_request_parse(open_request_format(longest), &path));
    EXPECT_EQ(open_request_format(longest + "a"), "");
    EXPECT_FALSE(open_request_parse("[open(\"" + longest + "a\")]", &path));
}
