// The settings file as people and other running copies leave it: line ends, files
// that are not UTF-8, comments, odd keys and headers, hand-typed backslashes, numbers
// as "%lf" reads them, file modes, and two copies writing at once.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <cerrno>
#include <fstream>
#include <sstream>

#include "model/services/ini_store.h"
#include "model/services/log.h"
#include "model/services/msgbox.h"
#include "model/services/profile.h"
#include "model/services/safe_file.h"
#include "tests/platform/qt_test_env.h"

namespace {

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A string literal with the NUL bytes inside it.
template <size_t N>
std::string bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

std::atomic<int> g_warnings{0};
void count_warnings(LogLevel level, const char*) {
    if (level == LogLevel::warning) ++g_warnings;
}

class SettingsFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = QtTestEnvironment::temp_dir() + "/" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
        std::remove(path_.c_str());
        previous_hook_ = log_set_hook(count_warnings);
        g_warnings = 0;
    }
    void TearDown() override {
        log_set_hook(previous_hook_);
        chmod(path_.c_str(), 0644);
    }
    std::string path_;
    LogHook previous_hook_ = nullptr;
};

TEST(IniStoreLines, HandEditedFilesReadAndKeepTheirLines) {
    struct Case {
        const char* what;
        std::string text;
        const char* section;
        const char* key;
        const char* value;  // null: not readable
        std::string after_put;  // the file after put(section, "New", "1")
    } cases[] = {
        {"CR line ends", "[Main]\rUndoLevel=12\rInfo=5\r", "Main", "Info", "5",
         "[Main]\rUndoLevel=12\rInfo=5\rNew=1\r"},
        {"CR LF line ends", "[Main]\r\nInfo=5\r\n", "Main", "Info", "5",
         "[Main]\r\nInfo=5\r\nNew=1\r\n"},
        {"comments stay", "; my settings\n[Main]\n# undo\nInfo=5\n\n[Hide]\nA=1\n", "Main", "Info",
         "5", "; my settings\n[Main]\n# undo\nInfo=5\nNew=1\n\n[Hide]\nA=1\n"},
        {"header without its bracket", "[Main]\nInfo=5\n[Paths\nDir=/x\n", "Main", "Dir", nullptr,
         "[Main]\nInfo=5\nNew=1\n[Paths\nDir=/x\n"},
        {"backslash typed by hand", "[Main]\nDir=C:\\new\\table\n", "Main", "Dir",
         "C:\\new\\table", "[Main]\nDir=C:\\new\\table\nNew=1\n"},
        {"blanks around a key", "[Main]\n  Info  = 5\n", "Main", "Info", " 5",
         "[Main]\n  Info  = 5\nNew=1\n"},
        {"no final line end", "[Main]\nInfo=5", "Main", "Info", "5", "[Main]\nInfo=5\nNew=1\n"},
        {"LF and CR LF mixed", "[Main]\r\nInfo=5\nUndoLevel=3\r\n\n[Hide]\nA=1\r\n", "Main", "Info", "5",
         "[Main]\r\nInfo=5\nUndoLevel=3\r\nNew=1\r\n\n[Hide]\nA=1\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IniStore s;
        ASSERT_TRUE(s.parse(c.text));
        std::string v;
        EXPECT_EQ(s.get(c.section, c.key, &v), c.value != nullptr);
        if (c.value) {
            EXPECT_EQ(v, c.value);
        }
        s.put("Main", "New", "1");
        EXPECT_EQ(s.serialize(), c.after_put);
    }
}

TEST(IniStoreLines, WhatTheProgramWritesReadsBack) {
    IniStore a;
    const std::pair<std::string, std::string> keys[] = {
        {"trailing blank ", "1"}, {"trailing blank", "2"}, {" lead", "3"},
        {"tab\t", "4"},           {"a\\b", "5"},           {"[x", "6"},
    };
    const std::string values[] = {"C:\\new", "two\nlines", "\\\"quoted\"", "\\\"", "end\\"};
    for (const auto& k : keys) a.put("Keys", k.first, k.second);
    int i = 0;
    for (const std::string& v : values) a.put("Values", "v" + std::to_string(i++), v);
    a.put("Values", "v0", "C:\\new");  // rewritten in place
    IniStore b;
    ASSERT_TRUE(b.parse(a.serialize()));
    for (const auto& k : keys) {
        std::string got;
        ASSERT_TRUE(b.get("Keys", k.first, &got)) << '"' << k.first << '"';
        EXPECT_EQ(got, k.second) << '"' << k.first << '"';
    }
    i = 0;
    for (const std::string& v : values) {
        std::string got;
        ASSERT_TRUE(b.get("Values", "v" + std::to_string(i++), &got));
        EXPECT_EQ(got, v);
    }
    EXPECT_EQ(b.serialize(), a.serialize());
}

TEST_F(SettingsFileTest, FilesThatAreNotUtf8AreLeftAloneWithOneWarning) {
    const std::string texts[] = {
        bytes("\xFF\xFE[\0M\0a\0i\0n\0]\0\r\0\n\0"),  // UTF-16 with its mark
        bytes("[Main]\nInfo=5\n\0\0"),                    // NUL bytes
        bytes("[Paths]\nDir=/home/j\xF6rg\n"),              // Latin-1
    };
    for (const std::string& text : texts) {
        write_file(path_, text);
        g_warnings = 0;
        EXPECT_EQ(settings_open(path_), kIniNotText);
        prof_put_int("Main", "Info", 7);
        prof_put_int("Main", "UndoLevel", 8);
        EXPECT_EQ(prof_get_int("Main", "Info", 0), 7);  // kept in memory
        EXPECT_EQ(settings_flush(), kIniNotText);
        EXPECT_EQ(read_file(path_), text);
        EXPECT_EQ(g_warnings, 1);
    }
}

// A value that is not UTF-8 (a Latin-1 file name from the command line, half a
// character) is written so that the file stays UTF-8 text and the value reads back
// byte for byte; the file is never refused afterwards.
TEST_F(SettingsFileTest, ValuesThatAreNotUtf8AreWrittenEscaped) {
    ASSERT_EQ(settings_open(path_), 0);
    const std::string latin1 = "/home/u/caf\xE9.qvm", half = "\xC3\xA9\xC3", plain = "\\x41";
    app_profile_put_string("Recent File List", "File1", latin1.c_str());
    EXPECT_EQ(settings_last_error(), 0);
    app_profile_put_string("Recent File List", "File2", half.c_str());
    app_profile_put_string("Recent File List", "File3", plain.c_str());
    EXPECT_EQ(settings_last_error(), 0);
    ASSERT_EQ(settings_open(path_), 0);
    EXPECT_EQ(app_profile_get_text("Recent File List", "File1", ""), latin1);
    EXPECT_EQ(app_profile_get_text("Recent File List", "File2", ""), half);
    EXPECT_EQ(app_profile_get_text("Recent File List", "File3", ""), plain);
    // A buffer cuts a value on a character boundary.
    app_profile_put_string("Draw_3D", "3DText", "caf\xC3\xA9");
    char buf[5];
    app_profile_get_string("Draw_3D", "3DText", buf, sizeof buf, "");
    EXPECT_STREQ(buf, "caf");
    EXPECT_EQ(g_warnings, 0);
}

TEST_F(SettingsFileTest, RealsReadAsTheCLibraryReadsThem) {
    ASSERT_EQ(settings_open(path_), 0);
    struct Row {
        const char* text;
        double expected;
    } rows[] = {{"0x10", 16},  {"1e-400", 0},   {"2,5", 2}, {" -1.5e3", -1500}, {"0x1p3", 8},
                {"nan", 99},   {"1e400", 99},   {"", 99},   {"--1", 99},        {"+.5x", 0.5}};
    for (const Row& r : rows) {
        app_profile_put_string("Hide", "R", r.text);
        EXPECT_EQ(app_profile_get_double("Hide", "R", 99), r.expected) << '"' << r.text << '"';
    }
}

TEST_F(SettingsFileTest, FileModesAreKeptAndReadOnlyFilesAreNotWritten) {
    struct Case {
        mode_t mode;
        int error;
    } cases[] = {{0600, 0}, {0640, 0}, {0444, EACCES}, {0400, EACCES}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        chmod(path_.c_str(), 0644);
        write_file(path_, "[Main]\nInfo=5\n");
        ASSERT_EQ(chmod(path_.c_str(), c.mode), 0);
        ASSERT_EQ(settings_open(path_), 0);
        prof_put_int("Main", "Info", 6);
        EXPECT_EQ(settings_last_error(), c.error);
        EXPECT_EQ(prof_get_int("Main", "Info", 0), 6);
        struct stat st {};
        ASSERT_EQ(stat(path_.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.mode);
        EXPECT_EQ(read_file(path_), c.error ? "[Main]\nInfo=5\n" : "[Main]\nInfo=6\n");
    }
}

TEST_F(SettingsFileTest, ASaveRemovesStaleTemporariesButNotOneBeingWritten) {
    if (fork() == 0) {  // a copy that died while saving
        SafeWriter dying;
        _exit(dying.open(path_.c_str()));
    }
    wait(nullptr);
    SafeWriter held;  // another copy still writing
    ASSERT_EQ(held.open(path_.c_str()), 0);
    auto temporaries = [&] {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(path_.substr(0, path_.rfind('/'))))
            n += e.path().filename().string().find(".ini~zelo-save-") != std::string::npos;
        return n;
    };
    EXPECT_EQ(temporaries(), 2);
    ASSERT_EQ(IniStore().save(path_), 0);
    EXPECT_EQ(temporaries(), 1);
    EXPECT_EQ(access(held.temp_path().c_str(), F_OK), 0);
}

// A settings file that cannot be written: the user is told once, with the file and
// the reason, and the changed setting is kept and written once the file can be.
TEST_F(SettingsFileTest, AFailedWriteIsToldOnceAndTheSettingKept) {
    write_file(path_, "[Main]\nInfo=5\n");
    ASSERT_EQ(chmod(path_.c_str(), 0444), 0);
    ASSERT_EQ(settings_open(path_), 0);
    std::vector<std::string> boxes;
    const MsgBoxHook previous = msgbox_set_hook([&](const MsgBoxRequest& r) { return boxes.push_back(r.text), kIdOk; });
    prof_put_int("Main", "Info", 6);
    { SettingsBatch batch; prof_put_int("Main", "Snap", 1); }
    EXPECT_NE(settings_flush(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(path_ + " (13: permission denied)"), std::string::npos) << boxes[0];
    EXPECT_EQ(prof_get_int("Main", "Info", 0), 6);
    ASSERT_EQ(chmod(path_.c_str(), 0644), 0);
    EXPECT_EQ(settings_flush(), 0);
    EXPECT_EQ(read_file(path_), "[Main]\nInfo=6\nSnap=1\n");
    EXPECT_EQ(boxes.size(), 1u);
    msgbox_set_hook(previous);
}

// Another running copy, as a child process: opens the file and puts its keys.
void other_copy(const std::string& path, const char* prefix, int count) {
    if (fork() != 0) return;
    if (settings_open(path) != 0) _exit(1);
    for (int i = 0; i < count; ++i)
        prof_put_int("Directories", (std::string(prefix) + std::to_string(i)).c_str(), i);
    _exit(settings_last_error() == 0 ? 0 : 1);
}

void wait_all(int children) {
    for (int i = 0; i < children; ++i) {
        int status = 0;
        ASSERT_GT(wait(&status), 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
}

TEST_F(SettingsFileTest, TwoRunningCopiesKeepEachOthersKeys) {
    // This copy started first; the other remembers a load folder; this copy's next
    // put (and its save at exit) must not undo it.
    ASSERT_EQ(settings_open(path_), 0);
    prof_put_string("Directories", "Save", "/home/a");
    other_copy(path_, "Load", 1);
    wait_all(1);
    prof_put_string("Directories", "Save", "/home/b");
    {
        SettingsBatch at_exit;
        prof_put_int("Main", "Info", 3);
    }
    ASSERT_EQ(settings_open(path_), 0);
    EXPECT_EQ(prof_get_int("Directories", "Load0", -1), 0);
    EXPECT_EQ(app_profile_get_text("Directories", "Save", ""), "/home/b");
    EXPECT_EQ(prof_get_int("Main", "Info", 0), 3);

    // Four copies putting at the same time lose nothing.
    const char* prefixes[] = {"a", "b", "c", "d"};
    for (const char* p : prefixes) other_copy(path_, p, 25);
    wait_all(4);
    ASSERT_EQ(settings_open(path_), 0);
    for (const char* p : prefixes)
        for (int i = 0; i < 25; ++i)
            EXPECT_EQ(prof_get_int("Directories", (std::string(p) + std::to_string(i)).c_str(), -1), i);
}

}  // namespace
