// The string-table generator refuses a table it cannot turn into a sound lookup:
// repeated ids or symbols, bad escapes, unterminated texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/platform/qt_test_env.h"

#ifdef ZELO_STRTAB_GEN

namespace {

// Runs the generator on `table`; its exit status, and its messages in *err.
int run_generator(const std::string& table, std::string* err) {
    const std::string dir = QtTestEnvironment::temp_dir();
    const std::string in = dir + "/strings.txt", log = dir + "/gen.log";
    std::ofstream(in) << table;
    std::string cmd = std::string("'") + ZELO_STRTAB_GEN + "' '" + in + "' '" + dir + "/t.cpp' '" + dir +
                      "/ids.h' 2>'" + log + "'";
    int status = std::system(cmd.c_str());
    std::ifstream l(log);
    err->assign(std::istreambuf_iterator<char>(l), std::istreambuf_iterator<char>());
    return status;
}

TEST(StringTableGenerator, RefusesBrokenTables) {
    struct Row {
        const char* table;
        const char* message;
    } rows[] = {
        {"1 IDS_A \"a\"\n2 IDS_B \"b\"\n1 IDS_C \"c\"\n", ":3: id 1 already given on line 1"},
        {"1 IDS_A \"a\"\n2 IDS_A \"b\"\n", ":2: symbol IDS_A already given on line 1"},
        {"1 IDS_A \"a\\q\"\n", ":1: unknown escape \\q"},
        {"1 IDS_A \"open\n", ":1: text without its closing quote"},
        {"# comment\n\nx IDS_A \"a\"\n", ":3: expected a numeric id"},
        {"70000 IDS_A \"a\"\n", ":1: id above 65535"},
        {"1 9bad \"a\"\n", ":1: expected a C identifier"},
    };
    for (const Row& r : rows) {
        std::string err;
        EXPECT_NE(run_generator(r.table, &err), 0) << r.table;
        EXPECT_NE(err.find(r.message), std::string::npos) << err;
    }
}

TEST(StringTableGenerator, WritesEscapedSortedTable) {
    std::string err;
    ASSERT_EQ(run_generator("5 IDS_B \"tab\\tquote\\\" \xC2\xB0|%s\"\n2 IDS_A \"a?\?=\\\\\"\n", &err), 0) << err;
    std::ifstream t(QtTestEnvironment::temp_dir() + "/t.cpp");
    std::string text((std::istreambuf_iterator<char>(t)), std::istreambuf_iterator<char>());
    size_t a = text.find("{2u, \"a\\077\\077=\\\\\"}");
    size_t b = text.find("{5u, \"tab\\011quote\\\" \\302\\260|%s\"}");
    ASSERT_NE(a, std::string::npos) << text;
    ASSERT_NE(b, std::string::npos) << text;
    EXPECT_LT(a, b);
}

}  // namespace

#endif
