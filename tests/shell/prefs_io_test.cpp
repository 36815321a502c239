// Start-up and exit of the preferences: texture-map paths, pattern libraries and the
// folders that file dialogs remember.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "model/db/patt.h"
#include "model/db/zobj.h"
#include "model/services/msgbox.h"
#include "model/services/profile.h"
#include "shell/prefs_io.h"
#include "tests/platform/qt_test_env.h"

namespace {

int pattern_count(MODEL* model) {
    int n = 0;
    if (!model || !model->patterns) return 0;
    ZDLIST* p = model->patterns;
    do {
        ++n;
        p = p->next;
    } while (p && p != model->patterns);
    return n;
}

class PrefsIoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = QtTestEnvironment::temp_dir();
        path_ = dir_ + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
        std::remove(path_.c_str());
        ASSERT_EQ(settings_open(path_), 0);
    }
    void TearDown() override { prefs_release(); }

    std::vector<std::string> paths() {
        std::vector<std::string> out;
        StrArray a = prefs_map_paths();
        for (int i = 0; i < strarray_count(a); ++i) out.push_back(a[i]);
        return out;
    }
    std::string dir_, path_;
};

TEST_F(PrefsIoTest, MapPathsLoadAndSaveInTheSameForm) {
    prof_put_string("Paths", "3dsMaps", "/data/maps/;/home/u/tex/;");
    prefs_load();
    EXPECT_EQ(paths(), (std::vector<std::string>{"/data/maps/", "/home/u/tex/"}));
    prefs_save();
    EXPECT_EQ(app_profile_get_text("Paths", "3dsMaps", ""), "/data/maps/;/home/u/tex/;");
}

TEST_F(PrefsIoTest, EmptyPiecesLeaveTheirSlotAndAreNotSaved) {
    prof_put_string("Paths", "3dsMaps", "a;;b");
    prefs_load();
    EXPECT_EQ(paths(), (std::vector<std::string>{"a", "", "b"}));
    prefs_save();
    EXPECT_EQ(app_profile_get_text("Paths", "3dsMaps", ""), "a;b;");
}

TEST_F(PrefsIoTest, NoMapPathGivesTheDefaultFolder) {
    prof_put_string("Paths", "3dsMaps", ";;");
    prefs_load();
    EXPECT_EQ(paths(), (std::vector<std::string>{prefs_default_map_path()}));
    std::remove(path_.c_str());
    ASSERT_EQ(settings_open(path_), 0);
    prefs_load();  // no key at all: the key's default, the folder with its separator
    EXPECT_EQ(paths(), (std::vector<std::string>{prefs_default_map_path() + "/"}));
    EXPECT_EQ(prefs_default_map_path().find('\\'), std::string::npos);
}

TEST_F(PrefsIoTest, InternalLibrariesComeFromTheBuiltInTexts) {
    prof_put_string("Patterns", "LinePatternLibrary", "Internal");
    prefs_load();
    ASSERT_NE(prefs_line_library(), nullptr);
    ASSERT_NE(prefs_hatch_library(), nullptr);
    EXPECT_STREQ(prefs_line_library()->name(), "Internal");
    EXPECT_STREQ(prefs_hatch_library()->name(), "Internal");
    EXPECT_GT(pattern_count(prefs_line_library()), 0);
    EXPECT_GT(pattern_count(prefs_hatch_library()), 0);
    EXPECT_EQ(app_profile_get_text("Patterns", "HatchPatternLibrary", ""), "Internal");
}

TEST_F(PrefsIoTest, LibraryFilesNameTheLibraryAndBadOnesFallBack) {
    std::string lin = dir_ + "/my.lines.lin";
    {
        std::ofstream out(lin);
        out << "*DASHED,__ __ __\nA,0.5,-0.25\n";
    }
    prof_put_string("Patterns", "LinePatternLibrary", lin.c_str());
    prof_put_string("Patterns", "HatchPatternLibrary", (dir_ + "/missing.pat").c_str());
    std::vector<std::string> boxes;
    const MsgBoxHook previous = msgbox_set_hook([&](const MsgBoxRequest& r) { return boxes.push_back(r.text), kIdOk; });
    prefs_load();
    ASSERT_NE(prefs_line_library(), nullptr);
    EXPECT_STREQ(prefs_line_library()->name(), "my");
    auto fresh = rtc_make<MODEL>();
    EXPECT_EQ(pattern_count(prefs_line_library()), pattern_count(fresh.get()) + 1);
    EXPECT_STREQ(prefs_hatch_library()->name(), "Internal");
    EXPECT_GT(pattern_count(prefs_hatch_library()), 0);
    // A file that cannot be read now (not there yet, a pipe) keeps its setting, at
    // start and at exit; the user is told once.
    const std::string pipe = dir_ + "/pipe.pat";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    prof_put_string("Patterns", "HatchPatternLibrary", pipe.c_str());
    prefs_load();
    prefs_load();
    prefs_save();
    EXPECT_EQ(app_profile_get_text("Patterns", "HatchPatternLibrary", ""), pipe);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[0].find(dir_ + "/missing.pat (2: no such file or folder)"), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[1].find(pipe + " (19: not a regular file"), std::string::npos) << boxes[1];
    msgbox_set_hook(previous);
    std::remove(pipe.c_str());
    EXPECT_EQ(app_profile_get_text("Patterns", "LinePatternLibrary", ""), lin);
}

TEST_F(PrefsIoTest, LongPathsAreKeptWhole) {
    // Linux paths easily pass the old fixed buffers (128 bytes for a library, 1024
    // for the map list); a cut path would fail to load and reset its key.
    std::string deep = dir_ + "/" + std::string(150, 'd');
    std::filesystem::create_directories(deep);
    std::string lin = deep + "/long.lin";
    std::ofstream(lin) << "*DASHED,__ __ __\nA,0.5,-0.25\n";
    prof_put_string("Patterns", "LinePatternLibrary", lin.c_str());
    std::string maps;
    for (char c : {'a', 'b', 'c'}) maps += "/" + std::string(400, c) + "/;";
    prof_put_string("Paths", "3dsMaps", maps.c_str());
    prefs_load();
    ASSERT_NE(prefs_line_library(), nullptr);
    EXPECT_STREQ(prefs_line_library()->name(), "long");
    EXPECT_EQ(app_profile_get_text("Patterns", "LinePatternLibrary", ""), lin);
    EXPECT_EQ(paths().size(), 3u);
    prefs_save();
    EXPECT_EQ(app_profile_get_text("Paths", "3dsMaps", ""), maps);
}

TEST_F(PrefsIoTest, DirectoryMemoryWithBothSeparators) {
    struct Row {
        const char* kind;
        const char* path;
        const char* stored;
        const char* dir;
        const char* filter;
    } rows[] = {
        {"Load", "c:\\work\\a.qvm", "c:\\work\\*.qvm", "c:\\work", "*.qvm"},
        {"Load", "/home/u/work/a.qvm", "/home/u/work/*.qvm", "/home/u/work", "*.qvm"},
        {"Texture", "/home/u/img/photo.jpeg", "/home/u/img/*.jpeg", "/home/u/img", "*.jpeg"},
        {"Model", "a.dxf", "*.dxf", ".", "*.dxf"},
        {"Model", "/home/u/v1.2/README", "/home/u/v1.2/*.*", "/home/u/v1.2", "*.*"},
        {"Mixed", "/mnt/c\\dos/x.tga", "/mnt/c\\dos/*.tga", "/mnt/c\\dos", "*.tga"},
        {"Root", "/a.qvm", "/*.qvm", "/", "*.qvm"},
    };
    for (const Row& r : rows) {
        dir_memory_save(r.kind, r.path);
        EXPECT_EQ(app_profile_get_text("Directories", (std::string(r.kind) + "Directory").c_str(), ""), r.stored)
            << r.path;
        std::string dir, filter;
        dir_memory_load(r.kind, &dir, &filter, "ignored");
        EXPECT_EQ(dir, r.dir) << r.path;
        EXPECT_EQ(filter, r.filter) << r.path;
    }
    std::string dir, filter;
    dir_memory_load("Never", &dir, &filter, "/srv/files/start.qvm");
    EXPECT_EQ(dir, "/srv/files");
    EXPECT_EQ(filter, "*.qvm");
    dir_memory_load("Never", nullptr, nullptr, "x");  // null outputs are skipped
}

TEST_F(PrefsIoTest, FilePartIsTheNameUpToItsFirstDot) {
    auto model = rtc_make<MODEL>();
    ASSERT_NE(model, nullptr);
    const char* rows[][2] = {{"c:\\lib\\iso.lin", "iso"}, {"/usr/share/zelo/acad.v2.pat", "acad"},
                             {"d:plain", "plain"}, {"noext", "noext"}};
    for (auto& r : rows) {
        path_file_part(model.get(), r[0]);
        EXPECT_STREQ(model->name(), r[1]);
    }
}

}  // namespace
