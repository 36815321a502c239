// Printing and image windows inside the running application: a drawing window's
// Print command tiles the drawing to PDF with the layout turned to the paper's
// orientation, and an image window gets its own menu bar whose commands reach it
// (and are disabled while a render job writes the image).
#include <gtest/gtest.h>

#include <QClipboard>
#include <QMdiArea>
#include <QMenuBar>
#include <QImage>
#include <QPrinter>
#include <QPrintPreviewDialog>
#include <QTimer>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "app/startup/window_side.h"
#include "../app/app_env.h"
#include "../app/app_session.h"
#include "commands/input/support.h"
#include "imaging/formats/image_formats.h"
#include "model/db/wire.h"
#include "model/services/msgbox.h"
#include "model/math/plist.h"
#include "platform/dialog.h"
#include "platform/msgqueue.h"
#include "shell/cmd_ids.h"
#include "shell/drawing_doc.h"
#include "shell/image/draw_page_setup_dlg.h"
#include "shell/image/drawing_print.h"
#include "shell/image/drawing_print_cmd.h"
#include "graphics/view/projection.h"
#include "shell/image/image_frame.h"
#include "shell/image/imgdoc.h"
#include "shell/image/iview.h"
#include "shell/image/print_file.h"

namespace {

class PrintCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app = std::make_unique<CMainApp>();
        ASSERT_TRUE(app_start(*app, ""));
        app_session_settle();
    }
    // Runs Print from the menu; the texts of the message boxes it showed.
    std::vector<std::string> print_and_collect_messages() {
        std::vector<std::string> boxes;
        const MsgBoxHook old = msgbox_set_hook([&](const MsgBoxRequest& b) {
            boxes.push_back(b.text);
            return kIdOk;
        });
        frame()->route_command(ID_FILE_PRINT);
        msgbox_set_hook(old);
        return boxes;
    }
    void TearDown() override {
        drawing_print_set_dialog_hook({});
        for (QMdiSubWindow* w : app->main_frame()->mdi_area()->subWindowList())
            if (auto* f = dynamic_cast<CImgFrame*>(w)) f->document()->SetModifiedFlag(false);
        app_session_end(app, &app_session_settle);
        CSView::SetPrintHandler(nullptr);
    }
    CMainFrame* frame() { return app->main_frame(); }
    static void add_line(CSView* view, Vec3 a, Vec3 b) {
        std::unique_ptr<XPLINE> line = rtc_make<XPLINE>();
        EXPECT_EQ(plist_add(&line->control, b), 0);
        EXPECT_EQ(plist_add(&line->control, a), 0);
        ASSERT_EQ(drawing_add_object(view->view(), std::move(line), 1), 0);
    }
    // The page count and the first page's size in points of a PDF.
    static int pdf_pages(const std::string& pdf, double* w, double* h) {
        FILE* f = popen(("pdfinfo " + pdf).c_str(), "r");
        int n = -1;
        if (!f) return n;
        char line[512];
        while (std::fgets(line, sizeof line, f)) {
            std::sscanf(line, "Pages: %d", &n);
            std::sscanf(line, "Page size: %lf x %lf", w, h);
        }
        pclose(f);
        return n;
    }

    std::unique_ptr<CMainApp> app;
};

TEST_F(PrintCommandsTest, PrintTilesTheDrawingAndTurnsTheMarginsWithTheOrientation) {
    if (std::system("pdfinfo -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils missing";
    CSView* view = frame()->active_view();
    ASSERT_NE(view, nullptr);
    // A 500 x 300 mm drawing from (20, 20), printed tiled at 1 mm a unit.
    add_line(view, {20, 20, 0}, {520, 320, 0});
    add_line(view, {20, 320, 0}, {520, 20, 0});
    view->print_layout.tile = 1;
    view->print_layout.scale = 1.0;
    view->print_layout.margins = {500, 500, 500, 1000};  // left, top, right, bottom
    QPrinter* printer = image_printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setPageSize(QPageSize(QPageSize::A4));
    int asked = 0;
    drawing_print_set_dialog_hook([&](QPrinter*) { return ++asked > 0; });
    EXPECT_TRUE(frame()->route_update(ID_FILE_PRINT).enabled);
    EXPECT_TRUE(frame()->route_update(ID_FILE_PAGE_SETUP).enabled);

    struct Case {
        QPageLayout::Orientation orientation;
        int pages;        // columns x rows of the layout on that paper
        Margins margins;  // as the view keeps them afterwards
        bool wide;
    };
    // Portrait A4 (184.6 x 258.9 mm inside the margins): the area starts 5.4 mm
    // below the first page's bottom edge, so a row comes before it: 3 x 3.
    // Landscape: the margins turn a quarter (the wide bottom goes to the right),
    // 258.9 x 184.6 mm pages: 2 x 2.
    const Case cases[] = {{QPageLayout::Portrait, 9, {500, 500, 500, 1000}, false},
                          {QPageLayout::Landscape, 4, {500, 500, 1000, 500}, true}};
    for (const Case& c : cases) {
        const std::string pdf = AppTestEnvironment::file(c.wide ? "wide.pdf" : "tall.pdf");
        printer->setOutputFileName(QString::fromStdString(pdf));
        printer->setPageOrientation(c.orientation);
        ASSERT_TRUE(frame()->route_command(ID_FILE_PRINT));
        double w = 0, h = 0;
        EXPECT_EQ(pdf_pages(pdf, &w, &h), c.pages) << c.wide;
        EXPECT_EQ(w > h, c.wide);
        const Margins& m = view->print_layout.margins;
        EXPECT_EQ(m.left, c.margins.left);
        EXPECT_EQ(m.top, c.margins.top);
        EXPECT_EQ(m.right, c.margins.right);
        EXPECT_EQ(m.bottom, c.margins.bottom);
        EXPECT_EQ(view->print_orientation, c.wide ? kLandscape : kPortrait);
    }
    EXPECT_EQ(asked, 2);
    // Cancelled in the print dialog: nothing is written.
    drawing_print_set_dialog_hook([](QPrinter*) { return false; });
    const std::string none = AppTestEnvironment::file("none.pdf");
    printer->setOutputFileName(QString::fromStdString(none));
    EXPECT_FALSE(frame()->route_command(ID_FILE_PRINT) && std::ifstream(none).good());
}

// A printer that refuses its fourth page: the print fails, told once with the pages
// that went out, instead of passing for a finished print.
TEST_F(PrintCommandsTest, ARefusedPageIsToldOnceWithThePagesThatWentOut) {
    CSView* view = frame()->active_view();
    ASSERT_NE(view, nullptr);
    add_line(view, {20, 20, 0}, {520, 320, 0});  // 3 x 3 pages tiled on portrait A4
    view->print_layout.tile = 1;
    view->print_layout.scale = 1.0;
    view->print_layout.margins = {500, 500, 500, 1000};
    QPrinter* printer = image_printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageOrientation(QPageLayout::Portrait);
    printer->setOutputFileName(QString::fromStdString(AppTestEnvironment::file("refused.pdf")));
    drawing_print_set_dialog_hook([](QPrinter*) { return true; });
    int asked = 0;
    print_set_new_page_hook([&](QPrinter* p) { return ++asked < 3 && p->newPage(); });
    const std::vector<std::string> boxes = print_and_collect_messages();
    print_set_new_page_hook({});
    EXPECT_EQ(asked, 3);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "The drawing could not be printed. (13)\n3 of 9 pages went to the printer.");
}

// An image window's Print on a printer that cannot start (its file cannot be made):
// the print fails and says so once with the print message, instead of ending without
// a word.
TEST_F(PrintCommandsTest, AnImagePrintThatCannotStartIsToldOnce) {
    std::vector<uint8_t> rgb(7 * 3 * 3, 90);
    ByteSink s;
    ASSERT_EQ(bmp_encode(rgb.data(), 7, 3, &s), 0);
    const std::string path = AppTestEnvironment::file("print_fails.bmp");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(s.data()), s.size());
    ASSERT_NE(image_window_open(*app, path), nullptr);
    app_session_settle();
    ASSERT_NE(dynamic_cast<CImgFrame*>(frame()->mdi_area()->activeSubWindow()), nullptr);
    const std::string none = AppTestEnvironment::file("no such folder/image.pdf");
    image_print_set_dialog_hook([&](QPrinter* p) {
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(QString::fromStdString(none));
        return true;
    });
    const std::vector<std::string> boxes = print_and_collect_messages();
    image_print_set_dialog_hook({});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "The image could not be printed. (2: no such file or folder)");
}

// Page Setup through the menu command: Cancel keeps everything; Tile and Landscape
// then OK give the view a tiled layout whose margins belong to landscape paper, and
// the application's printer turns with it.
TEST_F(PrintCommandsTest, PageSetupTakesTheLayoutAndTheOrientationOnlyOnOk) {
    CSView* view = frame()->active_view();
    ASSERT_NE(view, nullptr);
    add_line(view, {0, 0, 0}, {300, 200, 0});
    QPrinter* printer = image_printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageOrientation(QPageLayout::Portrait);
    view->print_layout.margins = {500, 700, 500, 900};
    const PrintLayout before = view->print_layout;
    for (const bool ok : {false, true}) {
        const ModalDialogHook old = platform_set_modal_hook([ok](CDialog& dlg) {
            dlg.press(kPageTile);
            dlg.press(kPageLandscape);
            dlg.press(ok ? IDOK : IDCANCEL);
        });
        EXPECT_EQ(frame()->route_command(ID_FILE_PAGE_SETUP), true);
        platform_set_modal_hook(old);
        const PrintLayout& l = view->print_layout;
        EXPECT_EQ(l.tile, ok ? 1 : before.tile) << ok;
        EXPECT_EQ(view->print_orientation, ok ? kLandscape : kPortrait) << ok;
        EXPECT_EQ(printer->pageLayout().orientation() == QPageLayout::Landscape, ok) << ok;
        if (!ok) { EXPECT_EQ(l.margins.top, before.margins.top); }
    }
    // Tiling takes the printer's minimum margins on the landscape paper: the wide
    // side is across.
    EXPECT_GT(view->print_layout.paper_w, view->print_layout.paper_h);
}

// A camera view prints its perspective picture: fitted, the whole picture fills the
// printable width; with "Visible area", what the window shows.
TEST_F(PrintCommandsTest, CameraViewsPrintTheirPicture) {
    if (std::system("pdfinfo -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils missing";
    CSView* view = frame()->active_view();
    ASSERT_NE(view, nullptr);
    // A square facing the eye 100 in front of it: 20 window pixels a side at eye distance 100.
    add_line(view, {-10, -10, -100}, {10, -10, -100});
    add_line(view, {10, -10, -100}, {10, 10, -100});
    ViewProjection& vp = view->view()->projection;
    vp.mode = kProjPerspective;
    vp.view = vp.inverse = kMatIdentity;
    vp.eye_distance = 100;
    vp.centre_x = 150, vp.centre_y = 100;
    double area[4];
    ASSERT_TRUE(drawing_print_area(view, &area[0], &area[1], &area[2], &area[3]));
    EXPECT_NEAR(area[0], 140, 1.01);
    EXPECT_NEAR(area[1], 90, 1.01);
    EXPECT_NEAR(area[2], 160, 1.01);
    EXPECT_NEAR(area[3], 110, 1.01);
    int w = 0, h = 0;
    view->client_size(&w, &h);
    ASSERT_TRUE(drawing_print_area_of(view, true, &area[0], &area[1], &area[2], &area[3]));
    EXPECT_EQ(area[2] - area[0], std::max(w, 1));
    EXPECT_EQ(area[3] - area[1], std::max(h, 1));
    QPrinter* printer = image_printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageOrientation(QPageLayout::Portrait);
    const std::string pdf = AppTestEnvironment::file("camera.pdf");
    printer->setOutputFileName(QString::fromStdString(pdf));
    view->print_layout.tile = 0;
    drawing_print_set_dialog_hook([](QPrinter*) { return true; });
    ASSERT_TRUE(frame()->route_command(ID_FILE_PRINT));
    double pw = 0, ph = 0;
    EXPECT_EQ(pdf_pages(pdf, &pw, &ph), 1);
    // The picture's two edges print as dark pixels in the page's middle band.
    const std::string png = AppTestEnvironment::file("camera");
    ASSERT_EQ(std::system(("pdftoppm -r 100 -png -singlefile " + pdf + " " + png).c_str()), 0);
    const QImage page(QString::fromStdString(png + ".png"));
    ASSERT_FALSE(page.isNull());
    int dark = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) dark += qGray(page.pixel(x, y)) < 240;
    EXPECT_GT(dark, page.width() / 2);  // at least the bottom edge across the width
}

// A fitted print with the page setup as it starts (full page, fitted, not centred)
// lies where the page setup's preview shows it: a wide drawing at the top of the
// paper, or in its middle when centred.
TEST_F(PrintCommandsTest, FittedPrintLiesWhereThePageSetupShowsIt) {
    if (std::system("pdftoppm -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils missing";
    CSView* view = frame()->active_view();
    ASSERT_NE(view, nullptr);
    // 300 x 100 units: 210 x 70 mm across portrait A4.
    add_line(view, {0, 0, 0}, {300, 100, 0});
    add_line(view, {0, 100, 0}, {300, 0, 0});
    QPrinter* printer = image_printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageOrientation(QPageLayout::Portrait);
    drawing_print_set_dialog_hook([](QPrinter*) { return true; });
    for (const bool centre : {false, true}) {
        view->print_layout = PrintLayout{};
        view->print_layout.centre = centre;
        const std::string pdf = AppTestEnvironment::file(centre ? "centred.pdf" : "fitted.pdf");
        printer->setOutputFileName(QString::fromStdString(pdf));
        ASSERT_TRUE(frame()->route_command(ID_FILE_PRINT));
        const std::string png = AppTestEnvironment::file(centre ? "centred" : "fitted");
        ASSERT_EQ(std::system(("pdftoppm -r 50 -png -singlefile " + pdf + " " + png).c_str()), 0);
        const QImage page(QString::fromStdString(png + ".png"));
        ASSERT_FALSE(page.isNull());
        int top = page.height(), bottom = -1;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (qGray(page.pixel(x, y)) < 200) top = std::min(top, y), bottom = std::max(bottom, y);
        const double mm = 25.4 / 50;  // a pixel at 50 dots an inch
        const double first = centre ? (297 - 70) / 2.0 : 0.0;
        EXPECT_NEAR(top * mm, first, 3) << centre;
        EXPECT_NEAR(bottom * mm, first + 70, 3) << centre;
    }
}

TEST_F(PrintCommandsTest, ImageWindowsHaveTheirMenuAndAnswerItsCommands) {
    std::vector<uint8_t> rgb(7 * 3 * 3, 90);
    ByteSink s;
    ASSERT_EQ(bmp_encode(rgb.data(), 7, 3, &s), 0);
    const std::string path = AppTestEnvironment::file("seven.bmp");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(s.data()), s.size());
    CImgDoc* doc = static_cast<CImgDoc*>(image_window_open(*app, path));
    ASSERT_NE(doc, nullptr);
    app_session_settle();
    auto* img = dynamic_cast<CImgFrame*>(frame()->mdi_area()->activeSubWindow());
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(frame()->active_other(), static_cast<CCmdTarget*>(img));
    // The image bar: its File menu holds Save (CMYK), its Window menu Fit to image.
    const QList<QAction*> bar = frame()->menuBar()->actions();
    ASSERT_EQ(bar.size(), 5);
    EXPECT_EQ(bar[3]->text(), "&Window");
    bool cmyk = false;
    for (QAction* a : bar[0]->menu()->actions()) cmyk |= a->data().toInt() == ID_SAVE_CMYK;
    EXPECT_TRUE(cmyk);

    const int image_ids[] = {ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_SAVE_CMYK, ID_EDIT_COPY,
                             ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW, ID_FILE_PAGE_SETUP};
    for (const int id : image_ids) EXPECT_TRUE(frame()->route_update(id).enabled) << id;
    EXPECT_FALSE(frame()->route_update(ID_WINDOW_NEW).enabled);
    EXPECT_FALSE(frame()->route_update(ID_GLIMPSE).enabled);
    EXPECT_TRUE(frame()->route_update(ID_WINDOW_FIT_IMAGE).enabled);
    doc->set_busy(true);
    for (const int id : image_ids) {
        EXPECT_FALSE(frame()->route_update(id).enabled) << id;
        EXPECT_FALSE(frame()->route_command(id)) << id;
    }
    doc->set_busy(false);
    QApplication::clipboard()->clear();
    ASSERT_TRUE(frame()->route_command(ID_EDIT_COPY));
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(7, 3));
    // Back on the drawing window the drawing bar returns.
    ASSERT_TRUE(frame()->route_command(ID_CLOSE_WINDOW));
    app_session_settle();
    EXPECT_NE(frame()->active_view(), nullptr);
    EXPECT_GT(frame()->menuBar()->actions().size(), 5);
}

// Runs `body` beyond a file size limit of `bytes` (SIGXFSZ ignored, as the program's
// start-up leaves it); the texts of the message boxes it showed.
std::vector<std::string> messages_under_limit(rlim_t bytes, const std::function<void()>& body) {
    std::vector<std::string> boxes;
    const MsgBoxHook old = msgbox_set_hook([&](const MsgBoxRequest& b) { return boxes.push_back(b.text), kIdOk; });
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
    body();
    setrlimit(RLIMIT_FSIZE, &saved);
    msgbox_set_hook(old);
    return boxes;
}

// The names in the test folder holding `part` (temporaries included), and a 300 x 200
// image of noise (which no writer can pack small) written as a BMP named `name`.
std::set<std::string> files_named(const std::string& part) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(AppTestEnvironment::file("")))
        if (e.path().filename().string().find(part) != std::string::npos) names.insert(e.path().filename());
    return names;
}
std::string noise_bmp(const std::string& name) {
    std::vector<uint8_t> rgb(300 * 200 * 3);
    uint32_t v = 1;
    for (uint8_t& b : rgb) v ^= v << 13, v ^= v >> 17, v ^= v << 5, b = uint8_t(v);
    ByteSink s;
    EXPECT_EQ(bmp_encode(rgb.data(), 300, 200, &s), 0);
    const std::string path = AppTestEnvironment::file(name);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(s.data()), s.size());
    return path;
}

// A drawing and an image saved beyond the file size limit: the program lives on, each
// save says why it failed, the old files stay and no temporary is left.
TEST_F(PrintCommandsTest, SavesBeyondTheFileSizeLimitAreToldAndKeepTheOldFiles) {
    CSView* view = frame()->active_view();
    for (int i = 0; i < 2000; ++i) add_line(view, {float(i), 0, 0}, {0, float(i), 0});
    const std::string drawing = AppTestEnvironment::file("big.qvm"), image = AppTestEnvironment::file("big2.bmp");
    std::ofstream(drawing) << "old";
    auto* img = static_cast<CImgDoc*>(image_window_open(*app, noise_bmp("big.bmp")));
    ASSERT_NE(img, nullptr);
    const auto boxes = messages_under_limit(16384, [&] {
        EXPECT_FALSE(view->document()->DoSave(drawing.c_str(), true));
        EXPECT_FALSE(img->DoSave(image.c_str(), true));
    });
    EXPECT_EQ(boxes, (std::vector<std::string>{
                         "Can't save data...\n" + drawing + " (27: file too large)",
                         "The image could not be saved to " + image + " (error 27: file too large)."}));
    EXPECT_EQ(files_named("big"), (std::set<std::string>{"big.qvm", "big.bmp"}));
    EXPECT_EQ(std::ifstream(drawing).rdbuf()->sgetc(), 'o');
    EXPECT_TRUE(view->document()->IsModified());
}

// Prints to a PDF file beyond the file size limit, from the menu and from the
// preview's Print (which paints on the printer itself): each says why it failed and
// leaves no file, cut or empty; the next print is whole.
TEST_F(PrintCommandsTest, PrintsBeyondTheFileSizeLimitAreToldAndLeaveNoCutFile) {
    CSView* view = frame()->active_view();
    for (int i = 0; i < 2200; ++i) add_line(view, {float(i % 97), float(i % 89), 0}, {i % 13 * 7.f, 300, 0});
    QPrinter* printer = image_printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(AppTestEnvironment::file("cut.pdf")));
    drawing_print_set_dialog_hook([](QPrinter*) { return true; });
    image_print_set_dialog_hook([](QPrinter*) { return true; });
    auto print_and_preview_print = [&] {
        frame()->route_command(ID_FILE_PRINT);
        QTimer::singleShot(0, [printer] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QPrintPreviewDialog*>(w)) Q_EMIT d->paintRequested(printer), d->reject();
        });
        frame()->route_command(ID_FILE_PRINT_PREVIEW);
    };
    const std::string image = noise_bmp("noise.bmp");
    const auto boxes = messages_under_limit(8192, [&] {
        print_and_preview_print();
        ASSERT_NE(image_window_open(*app, image), nullptr);
        app_session_settle();
        print_and_preview_print();
    });
    const std::string drawing_failed =
        "The drawing could not be printed. (27: file too large)\n0 of 1 pages went to the printer.";
    const std::string image_failed = "The image could not be printed. (27: file too large)";
    EXPECT_EQ(boxes, (std::vector<std::string>{drawing_failed, drawing_failed, image_failed, image_failed}));
    EXPECT_EQ(files_named("cut"), std::set<std::string>{});
    EXPECT_TRUE(frame()->route_command(ID_FILE_PRINT));
    image_print_set_dialog_hook({});
    EXPECT_EQ(pdf_file_check(AppTestEnvironment::file("cut.pdf")), 0);
}

}  // namespace
