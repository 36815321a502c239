// The MIME package as the desktop reads it: after registration in a temporary data
// folder, Qt's MIME database names a saved drawing ours, by name and by content.
#include <gtest/gtest.h>

#include <QFile>
#include <QMimeDatabase>
#include <cstdlib>
#include <fstream>

#include "shell/core/shell_types.h"
#include "tests/platform/qt_test_env.h"

TEST(ShellMime, QtNamesASavedDrawingOurs) {
    if (std::system("command -v update-mime-database >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "update-mime-database is missing";
    std::string home = QtTestEnvironment::temp_dir() + "/xdg_data";
    // Read before the MIME database is first used in this process.
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    ShellTypesResult r = shell_types_register(home, "/usr/bin/zelo", true);
    ASSERT_EQ(r.error, 0);

    // The header the drawing writer puts first: words 1, 112, 0 (plain).
    const char header[12] = {1, 0, 0, 0, 112, 0, 0, 0, 0, 0, 0, 0};
    std::string named = home + "/plan.qvm", bare = home + "/plan_copy";
    for (const std::string& path : {named, bare}) {
        std::ofstream out(path, std::ios::binary);
        out.write(header, sizeof header);
        out << std::string(64, '\0');
    }
    QMimeDatabase db;
    EXPECT_EQ(db.mimeTypeForFile(QString::fromStdString(named)).name(), kMimeDrawing);
    EXPECT_EQ(db.mimeTypeForFile(QString::fromStdString(bare), QMimeDatabase::MatchContent).name(), kMimeDrawing);
    EXPECT_EQ(db.mimeTypeForFile("/x/house.mcr", QMimeDatabase::MatchExtension).name(), kMimeBlock);
    EXPECT_EQ(db.mimeTypeForFile("/x/roman.plf", QMimeDatabase::MatchExtension).name(), kMimeFont);
    EXPECT_EQ(db.mimeTypeForFile("/x/site.dxf", QMimeDatabase::MatchExtension).name(), "image/vnd.dxf");
    EXPECT_NE(db.mimeTypeForFile("/x/mesh.asc", QMimeDatabase::MatchExtension).name(), kMimeDrawing);
    unsetenv("XDG_DATA_HOME");
}
