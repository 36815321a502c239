// Desktop entry and MIME package: valid files, rewritten only when changed, and no
// other program's association touched.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "shell/core/shell_types.h"
#include "tests/shellcore/temp_env.h"

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool tool_exists(const char* name) {
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

}  // namespace

TEST(ShellTypes, ExecQuoting) {
    EXPECT_EQ(desktop_exec_quote("/usr/bin/zelo"), "/usr/bin/zelo");
    EXPECT_EQ(desktop_exec_quote("/opt/my apps/zelo"), "\"/opt/my apps/zelo\"");
    // Inside quotes: \$ becomes \\$ once escaped again as a string value.
    EXPECT_EQ(desktop_exec_quote("/a$b/100%"), "\"/a\\\\$b/100%%\"");
}

TEST(ShellTypes, FilesAreValidAndRewrittenOnlyWhenChanged) {
    std::string home = ShellCoreEnvironment::temp_dir() + "/data";
    std::filesystem::create_directories(home + "/applications");
    // Another program's defaults: must stay byte for byte.
    const std::string mimeapps = "[Default Applications]\nimage/vnd.dxf=other.desktop\n";
    std::ofstream(home + "/applications/mimeapps.list") << mimeapps;

    ShellTypesResult r = shell_types_register(home, "/opt/zelo dir/zelo", true);
    ASSERT_EQ(r.error, 0);
    EXPECT_TRUE(r.desktop_changed);
    EXPECT_TRUE(r.mime_changed);
    std::string desktop = home + "/applications/zelo.desktop";
    std::string entry = slurp(desktop);
    EXPECT_NE(entry.find("Exec=\"/opt/zelo dir/zelo\" %f\n"), std::string::npos);
    EXPECT_NE(entry.find("MimeType=application/x-zelo-drawing;application/x-zelo-block;"
                         "application/x-zelo-font;image/vnd.dxf;image/x-3ds;"),
              std::string::npos);
    EXPECT_EQ(entry.find(".asc"), std::string::npos);
    EXPECT_EQ(shell_mime_package_text().find("asc"), std::string::npos);
    if (tool_exists("desktop-file-validate")) {
        EXPECT_EQ(std::system(("desktop-file-validate '" + desktop + "'").c_str()), 0);
    }
    if (tool_exists("update-mime-database")) {
        EXPECT_TRUE(std::filesystem::exists(home + "/mime/mime.cache"));
    }

    struct stat before {};
    ASSERT_EQ(stat(desktop.c_str(), &before), 0);
    r = shell_types_register(home, "/opt/zelo dir/zelo", true);
    EXPECT_EQ(r.error, 0);
    EXPECT_FALSE(r.desktop_changed);
    EXPECT_FALSE(r.mime_changed);
    struct stat after {};
    ASSERT_EQ(stat(desktop.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);  // not replaced

    r = shell_types_register(home, "/usr/bin/zelo", false);
    EXPECT_TRUE(r.desktop_changed);
    EXPECT_FALSE(r.mime_changed);
    EXPECT_EQ(slurp(home + "/applications/mimeapps.list"), mimeapps);
}

TEST(ShellTypes, UnwritableFolderIsReported) {
    std::string home = ShellCoreEnvironment::temp_dir() + "/ro";
    std::filesystem::create_directories(home);
    std::ofstream(home + "/applications") << "a file where a folder belongs";
    ShellTypesResult r = shell_types_register(home, "/usr/bin/zelo", false);
    EXPECT_NE(r.error, 0);
    EXPECT_FALSE(r.desktop_changed);
}
