// The File and Window menus of image windows inside the running application: Open
// Image opens the chosen file in an image window that lies inside the main window's
// area, Print Setup chooses the printer the next print uses, the image bar has its
// own texts (Tile Vertically doing its own arrangement) and Preferences.
#include <gtest/gtest.h>

#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QFileDialog>
#include <QPrinter>
#include <cstdlib>
#include <fstream>

#include "app/startup/window_side.h"
#include "../app/app_env.h"
#include "../app/app_session.h"
#include "dialogs/xfile.h"
#include "imaging/formats/image_formats.h"
#include "platform/dialog.h"
#include "shell/cmd_ids.h"
#include "shell/image/image_commands.h"
#include "shell/image/image_frame.h"
#include "shell/image/imgdoc.h"
#include "shell/image/iview.h"
#include "shell/toolbars.h"

namespace {

class ImageWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app = std::make_unique<CMainApp>();
        ASSERT_TRUE(app_start(*app, ""));
        app_session_settle();
    }
    void TearDown() override {
        print_setup_set_dialog_hook({});
        app_session_end(app, &app_session_settle);
    }
    CMainFrame* frame() { return app->main_frame(); }
    // A width x height BMP of colour bands written under `name`.
    static std::string write_bmp(const std::string& name, int width, int height) {
        std::vector<uint8_t> rgb(size_t(width) * height * 3);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
                p[0] = uint8_t(255 * x / width), p[1] = uint8_t(255 * y / height), p[2] = 160;
            }
        ByteSink s;
        EXPECT_EQ(bmp_encode(rgb.data(), width, height, &s), 0);
        const std::string path = AppTestEnvironment::file(name);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(s.data()), s.size());
        return path;
    }
    CImgFrame* image_frame() { return dynamic_cast<CImgFrame*>(frame()->mdi_area()->activeSubWindow()); }
    std::unique_ptr<CMainApp> app;
};

TEST_F(ImageWindowTest, OpenImageShowsTheChosenFileInsideTheArea) {
    const std::string path = write_bmp("bands.bmp", 3000, 240);
    QString caption;
    FileDialogHook old = xfile_set_test_hook([&](CXFile& dlg) {
        caption = dlg.dialog()->windowTitle();
        dlg.choose(path, 0);
        return true;
    });
    EXPECT_TRUE(frame()->route_update(ID_OPEN_IMAGE).enabled);
    ASSERT_TRUE(frame()->route_command(ID_OPEN_IMAGE));
    app_session_settle();
    EXPECT_EQ(caption, "Open Image");
    CImgFrame* img = image_frame();
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->view()->image_size(), QSize(3000, 240));
    EXPECT_EQ(img->document()->path(), path);
    EXPECT_EQ(img->windowIcon().pixmap(16).toImage(), window_icon(130).pixmap(16).toImage());
    // The window lies inside the area however wide the image.
    const QRect room(QPoint(0, 0), frame()->mdi_area()->viewport()->size());
    EXPECT_TRUE(room.contains(img->geometry())) << img->geometry().x() << " " << img->geometry().width();
    if (const char* dir = std::getenv("ZELO_SCREENSHOT_DIR"))
        frame()->grab().save(QString("%1/open_image.png").arg(dir));
    // Cancelled: nothing opens.
    xfile_set_test_hook([](CXFile&) { return false; });
    const int before = app_window_count(app.get());
    frame()->route_command(ID_OPEN_IMAGE);
    EXPECT_EQ(app_window_count(app.get()), before);
    xfile_set_test_hook(old);
}

TEST_F(ImageWindowTest, PrintSetupChoosesThePrinterOfTheNextPrint) {
    image_printer()->setPageOrientation(QPageLayout::Portrait);
    int asked = 0;
    print_setup_set_dialog_hook([&](QPrinter* p) {
        ++asked;
        p->setPageOrientation(QPageLayout::Landscape);
        return true;
    });
    EXPECT_TRUE(frame()->route_update(ID_FILE_PRINT_SETUP).enabled);
    ASSERT_TRUE(frame()->route_command(ID_FILE_PRINT_SETUP));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(image_printer()->pageLayout().orientation(), QPageLayout::Landscape);
    image_printer()->setPageOrientation(QPageLayout::Portrait);
}

TEST_F(ImageWindowTest, TheImageBarHasItsOwnTextsAndPreferences) {
    ASSERT_NE(image_window_open(*app, write_bmp("small.bmp", 40, 30)), nullptr);
    app_session_settle();
    ASSERT_NE(image_frame(), nullptr);
    const QList<QAction*> bar = frame()->menuBar()->actions();
    ASSERT_EQ(bar.size(), 5);
    QStringList window;
    for (QAction* a : bar[3]->menu()->actions()) window << a->text();
    for (const char* t : {"Tile &Horizontally", "Tile &Vertically", "&Arrange Icons"})
        EXPECT_TRUE(window.contains(t)) << t;
    // Tile Vertically from the image bar: side by side.
    for (QAction* a : bar[3]->menu()->actions())
        if (a->text() == "Tile &Vertically") a->trigger();
    const int h = frame()->mdi_area()->viewport()->height();
    for (QMdiSubWindow* w : frame()->mdi_area()->subWindowList()) EXPECT_EQ(w->height(), h);
    // Preferences in the File menu opens the preferences sheet.
    QAction* prefs = nullptr;
    for (QAction* a : bar[0]->menu()->actions())
        if (a->data().toInt() == ID_PREFERENCES) prefs = a;
    ASSERT_NE(prefs, nullptr);
    frame()->update_actions();
    EXPECT_TRUE(prefs->isEnabled());
    int opened = 0;
    const ModalDialogHook old = platform_set_modal_hook([&](CDialog&) { ++opened; });
    prefs->trigger();
    platform_set_modal_hook(old);
    EXPECT_EQ(opened, 1);
}

}  // namespace
