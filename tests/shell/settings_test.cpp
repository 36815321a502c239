// The settings store: the INI file round trip, typed reads with their defaults, and
// the whole preferences table through a temporary settings file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "model/services/ini_store.h"
#include "model/services/prefs.h"
#include "model/services/profile.h"
#include "tests/platform/qt_test_env.h"

namespace {

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = QtTestEnvironment::temp_dir() + "/" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
        std::remove(path_.c_str());
        ASSERT_EQ(settings_open(path_), 0);
    }
    std::string path_;
};

TEST(IniStore, AnyTextReadsBackAsItWasPut) {
    IniStore a;
    const std::string odd[] = {"c:\\3ds\\maps\\;d:\\x\\;", "two\nlines\r\n", "  blanks  ", "", "a=b=c",
                               "[not a section]", "; not a comment", "\xC3\xA9t\xC3\xA9 2,5"};
    int i = 0;
    for (const std::string& v : odd) a.put("Paths", "key" + std::to_string(i++), v);
    a.put("Odd = section]", "=lead", "x");
    a.put("Odd = section]", "; semi", "y");
    IniStore b;
    b.parse(a.serialize());
    i = 0;
    for (const std::string& v : odd) {
        std::string got;
        ASSERT_TRUE(b.get("Paths", "key" + std::to_string(i++), &got));
        EXPECT_EQ(got, v);
    }
    std::string got;
    EXPECT_TRUE(b.get("odd = SECTION]", "=LEAD", &got));  // names ignore case
    EXPECT_EQ(got, "x");
    EXPECT_TRUE(b.get("Odd = section]", "; semi", &got));
    EXPECT_EQ(got, "y");
    EXPECT_EQ(b.serialize(), a.serialize());
}

TEST(IniStore, HandWrittenFilesAreRead) {
    IniStore s;
    // As an editor may leave it: a byte-order mark, CR LF line ends, blanks, junk.
    s.parse("\xEF\xBB\xBF[Main]\r\nUndoLevel=12\r\n  BlackBkg = 0\r\ngarbage line\r\n; comment\r\n[main]\r\n"
            "Info=5\r\n");
    std::string v;
    ASSERT_TRUE(s.get("MAIN", "undolevel", &v));
    EXPECT_EQ(v, "12");
    ASSERT_TRUE(s.get("Main", "BlackBkg", &v));
    EXPECT_EQ(v, " 0");
    ASSERT_TRUE(s.get("Main", "Info", &v));  // a repeated section adds to the first
    EXPECT_EQ(v, "5");
    EXPECT_FALSE(s.get("Main", "garbage line", &v));
}

TEST_F(SettingsTest, DefaultFileNameHasNoSlashInTheApplicationPart) {
    std::string def = settings_default_path();
    EXPECT_EQ(def, QtTestEnvironment::temp_dir() + "/Tarrow Group/Zelo for 95-NT.ini");
}

TEST_F(SettingsTest, IntegersReadTheirLeadingNumberOrTheDefault) {
    struct Row {
        const char* text;
        int expected;
    } rows[] = {{"12abc", 12}, {"  -7", -7}, {"+3", 3}, {"abc", 99}, {"", 99}, {"99999999999", 99}, {"0x10", 0},
                {"--1", 99}};
    for (const Row& r : rows) {
        app_profile_put_string("Main", "N", r.text);
        EXPECT_EQ(app_profile_get_int("Main", "N", 99), r.expected) << '"' << r.text << '"';
    }
    EXPECT_EQ(app_profile_get_int("Main", "Missing", -5), -5);
    app_profile_put_int("Main", "N", -123456);
    EXPECT_EQ(app_profile_get_int("Main", "N", 0), -123456);
}

TEST_F(SettingsTest, RealsReadBackExactlyAndLocaleFree) {
    app_profile_put_double("Hide", "Linear", 0.1);
    app_profile_put_double("Hide", "Big", 1234567.0);
    app_profile_put_double("Hide", "Turn", 6.283185307179586);
    EXPECT_EQ(app_profile_get_text("Hide", "Linear", ""), "0.1");
    EXPECT_EQ(app_profile_get_text("Hide", "Big", ""), "1234567");
    EXPECT_EQ(app_profile_get_double("Hide", "Linear", 5), 0.1);
    EXPECT_EQ(app_profile_get_double("Hide", "Turn", 5), 6.283185307179586);
    app_profile_put_string("Hide", "Old", "1.23457e+06");  // six digits, as older files hold them
    EXPECT_EQ(app_profile_get_double("Hide", "Old", 5), 1234570.0);
    app_profile_put_string("Hide", "Bad", "nan");
    EXPECT_EQ(app_profile_get_double("Hide", "Bad", 5), 5);
    app_profile_put_string("Hide", "Bad", "2,5");
    EXPECT_EQ(app_profile_get_double("Hide", "Bad", 5), 2);  // reads "2", as "%lf" would
}

TEST_F(SettingsTest, StringsAreCutToTheBuffer) {
    app_profile_put_string("Paths", "Long", "abcdefgh");
    char buf[5];
    app_profile_get_string("Paths", "Long", buf, sizeof buf, "x");
    EXPECT_STREQ(buf, "abcd");
    app_profile_get_string("Paths", "Missing", buf, sizeof buf, nullptr);
    EXPECT_STREQ(buf, "");
    pref_string(0, "Paths", "Saved", buf, sizeof buf, "");
    EXPECT_EQ(app_profile_get_text("Paths", "Saved", "?"), "");
}

TEST_F(SettingsTest, WritesGoToTheFileAtOnceAndBatchesWriteOnce) {
    prof_put_int("Main", "Info", 5);
    EXPECT_NE(read_file(path_).find("Info=5"), std::string::npos);
    {
        SettingsBatch batch;
        prof_put_int("Main", "Info", 6);
        EXPECT_EQ(read_file(path_).find("Info=6"), std::string::npos);
    }
    EXPECT_NE(read_file(path_).find("Info=6"), std::string::npos);
    EXPECT_EQ(settings_last_error(), 0);
}

TEST_F(SettingsTest, AFileBehindASymbolicLinkIsWrittenWhereItLives) {
    std::string real_dir = QtTestEnvironment::temp_dir() + "/dotfiles";
    std::filesystem::create_directories(real_dir);
    std::string real = real_dir + "/zelo.ini", link = QtTestEnvironment::temp_dir() + "/linked.ini";
    std::ofstream(real) << "[Main]\nUndoLevel=7\n";
    std::remove(link.c_str());
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    ASSERT_EQ(settings_open(link), 0);
    EXPECT_EQ(prof_get_int("Main", "UndoLevel", 0), 7);
    prof_put_int("Main", "Info", 9);
    EXPECT_EQ(settings_last_error(), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(read_file(real).find("Info=9"), std::string::npos);
    std::remove(link.c_str());
}

TEST_F(SettingsTest, AnUnwritableFileIsReportedAndTheStoreKeepsWorking) {
    std::string blocked = QtTestEnvironment::temp_dir() + "/blocked";
    { std::ofstream(blocked) << "a file, not a folder"; }
    ASSERT_EQ(settings_open(blocked + "/settings.ini"), 0);
    prof_put_int("Main", "Info", 3);
    EXPECT_NE(settings_last_error(), 0);
    EXPECT_EQ(prof_get_int("Main", "Info", 0), 3);

    // A file that exists but cannot be read (here a symbolic link to itself) keeps
    // what it holds: the puts stay in memory instead of replacing it.
    std::string unreadable = QtTestEnvironment::temp_dir() + "/unreadable.ini";
    std::remove(unreadable.c_str());
    ASSERT_EQ(symlink(unreadable.c_str(), unreadable.c_str()), 0);
    EXPECT_NE(settings_open(unreadable), 0);
    prof_put_int("Main", "Info", 4);
    EXPECT_EQ(prof_get_int("Main", "Info", 0), 4);
    EXPECT_NE(settings_flush(), 0);
    EXPECT_NE(settings_last_error(), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(unreadable));
    std::remove(unreadable.c_str());
}

TEST_F(SettingsTest, PreferencesTableRoundTripsThroughTheFile) {
    // Missing keys give the defaults.
    g_prefs.undo_level = 1;
    prefs_table_io(1);
    EXPECT_EQ(g_prefs.undo_level, 32);
    EXPECT_EQ(g_prefs.change_material, 65535);
    EXPECT_DOUBLE_EQ(g_prefs.scale_round, 0.01);
    EXPECT_NEAR(g_prefs.accuracy_3d, 5.0 * M_PI / 180.0, 1e-12);

    // Every value changed, saved, reset, read back from a fresh load of the file.
    int rows = 0;
    const PrefsTableRow* table = prefs_table(&rows);
    ASSERT_EQ(rows, 49);
    for (int i = 0; i < rows; ++i) {
        if (table[i].is_double) g_prefs.*table[i].double_member = 0.25 * (i + 1);
        else g_prefs.*table[i].int_member = 1000 + i;
    }
    Preferences saved = g_prefs;
    prefs_table_io(0);
    g_prefs = Preferences{};
    ASSERT_EQ(settings_open(path_), 0);
    prefs_table_io(1);
    for (int i = 0; i < rows; ++i) {
        if (table[i].is_double)
            EXPECT_NEAR(g_prefs.*table[i].double_member, saved.*table[i].double_member, 1e-5) << table[i].key;
        else
            EXPECT_EQ(g_prefs.*table[i].int_member, saved.*table[i].int_member) << table[i].key;
    }
    // The 3D accuracy is stored in degrees.
    double degrees = app_profile_get_double("Verbosity", "3Daccuracy", 0);
    EXPECT_NEAR(degrees, saved.accuracy_3d * 180.0 / M_PI, 1e-3);
    // Keys are written in table order: Main first, then Verbosity.
    std::string text = read_file(path_);
    EXPECT_LT(text.find("[Main]"), text.find("[Verbosity]"));
    EXPECT_LT(text.find("Info="), text.find("UndoLevel="));
    g_prefs = Preferences{};
}

}  // namespace
