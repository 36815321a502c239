// The image window's document and view: open and save with failures told, the block
// left alone while a job writes it, the clipboard, job messages, painting at 24 and
// 16 bits, and an image printed to PDF measured with poppler.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QPrinter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "alloc_fail.h"
#include "dialogs/image_dialogs.h"
#include "dialogs/xfile.h"
#include "imaging/formats/image_formats.h"
#include "model/services/msgbox.h"
#include "shell/cmd_ids.h"
#include "shell/core/image_block.h"
#include "shell/image/drawing_print.h"
#include "shell/image/image_dialogs.h"
#include "shell/image/imgdoc.h"
#include "shell/image/iview.h"
#include "tests/platform/qt_test_env.h"

namespace {

struct Boxes {
    std::vector<std::string> texts;
    MsgBoxHook old;
    Boxes() {
        old = msgbox_set_hook([this](const MsgBoxRequest& b) {
            texts.push_back(b.text);
            return kIdOk;
        });
    }
    ~Boxes() { msgbox_set_hook(old); }
};

std::string dir() {
    static std::string d = [] {
        char t[] = "/tmp/zelo_imagewin_XXXXXX";
        return std::string(mkdtemp(t));
    }();
    return d;
}

// A w x h picture written as a 24-bit BMP; its RGB pixels.
std::vector<uint8_t> write_bmp(const std::string& path, int w, int h) {
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 37 + 11);
    ByteSink s;
    EXPECT_EQ(bmp_encode(rgb.data(), w, h, &s), 0);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(s.data()), s.size());
    return rgb;
}

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(ImageDocument, OpensIntoAPaddedBlockAndSavesOnlyTheImage) {
    const auto rgb = write_bmp(dir() + "/five.bmp", 5, 3);
    CImgDoc doc(nullptr);
    ASSERT_TRUE(doc.OnOpenDocument((dir() + "/five.bmp").c_str()));
    EXPECT_EQ(doc.width(), 5);
    // Rows of 8 pixels, blue first.
    EXPECT_EQ(doc.pixels()[24 + 0], rgb[15 + 2]);
    ASSERT_TRUE(doc.OnSaveDocument((dir() + "/five.tga").c_str()));
    const auto tga = read_file(dir() + "/five.tga");
    EXPECT_EQ(tga.size(), 18u + 5 * 3 * 3);
    RgbImage back;
    ASSERT_EQ(tga_decode(tga.data(), tga.size(), &back), 0);
    EXPECT_EQ(0, std::memcmp(back.pixels, rgb.data(), rgb.size()));
    EXPECT_EQ(doc.path(), dir() + "/five.tga");
}

TEST(ImageDocument, FailuresAreToldAndNothingIsLost) {
    write_bmp(dir() + "/keep.bmp", 4, 4);
    Boxes boxes;
    CImgDoc doc(nullptr);
    ASSERT_TRUE(doc.OnOpenDocument((dir() + "/keep.bmp").c_str()));
    doc.SetModifiedFlag(true);
    // A folder where the file should go: the write fails, the answer says so.
    const std::string blocked = dir() + "/blocked.bmp";
    mkdir(blocked.c_str(), 0755);
    EXPECT_FALSE(doc.OnSaveDocument(blocked.c_str()));
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_NE(boxes.texts[0].find("could not be saved"), std::string::npos);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.path(), "");
    // An unknown extension opens nothing: "Can't load data...|x.png (13: bad data)".
    CImgDoc other(nullptr);
    EXPECT_FALSE(other.OnOpenDocument((dir() + "/x.png").c_str()));
    EXPECT_EQ(boxes.texts.back(), "Can't load data...\n" + dir() + "/x.png (13: bad data)");
    EXPECT_FALSE(other.has_image());
}

std::vector<std::string> listing(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (const dirent* e = readdir(d)) names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// With the Nth allocation failing, for every N: an open gives the whole image or an
// empty document with a message about memory; a save writes the whole file or tells
// the same, with the old file kept unless the new one was already in place, and
// leaves nothing beside it. Nothing is thrown.
TEST(ImageDocument, OutOfMemoryInOpenOrSaveIsToldAndKeepsTheFile) {
    const std::string folder = dir() + "/oom";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const auto rgb = write_bmp(folder + "/in.bmp", 7, 5);
    ByteSink gif;
    ASSERT_EQ(gif_encode(rgb.data(), 7, 5, &gif), 0);
    std::ofstream(folder + "/in.gif", std::ios::binary).write(reinterpret_cast<const char*>(gif.data()), gif.size());
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    Boxes boxes;
    auto told_memory = [&] { return !boxes.texts.empty() && boxes.texts.back().find("memory") != std::string::npos; };
    for (const char* kind : {"bmp", "gif"}) {
        SCOPED_TRACE(kind);
        const std::string in = folder + "/in." + kind, out = folder + "/out." + kind;
        std::unique_ptr<CImgDoc> doc;
        ASSERT_TRUE((doc = std::make_unique<CImgDoc>(nullptr))->OnOpenDocument(in.c_str()));
        const std::vector<uint8_t> pixels(doc->pixels(), doc->pixels() + 8 * 5 * 3);
        walk_failures([&] { return doc->OnOpenDocument(in.c_str()) ? 0 : 1; },
                      [&](int r, bool, long n) {
                          if (r == 0) {
                              EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), doc->pixels())) << n;
                          } else {
                              EXPECT_TRUE(told_memory()) << n;
                              EXPECT_FALSE(doc->has_image()) << n;
                          }
                      },
                      [&] {
                          doc = std::make_unique<CImgDoc>(nullptr);
                          boxes.texts.clear();
                      });
        ASSERT_TRUE(doc->has_image());
        ASSERT_TRUE(doc->OnSaveDocument(out.c_str()));
        const std::vector<uint8_t> whole = read_file(out);
        std::ofstream(out, std::ios::binary).write(reinterpret_cast<const char*>(old.data()), old.size());
        const std::vector<std::string> files = listing(folder);
        walk_failures([&] { return doc->OnSaveDocument(out.c_str()) ? 0 : 1; },
                      [&](int r, bool, long n) {
                          // Memory may run out after the file is in place (the name kept).
                          const std::vector<uint8_t> now = read_file(out);
                          if (r == 0) {
                              EXPECT_EQ(now, whole) << n;
                          } else {
                              EXPECT_TRUE(now == old || now == whole) << n;
                              EXPECT_TRUE(told_memory()) << n;
                          }
                          EXPECT_EQ(listing(folder), files) << n;
                      },
                      [&] {
                          std::ofstream(out, std::ios::binary).write(reinterpret_cast<const char*>(old.data()), old.size());
                          boxes.texts.clear();
                      });
    }
}

TEST(ImageDocument, BusyBlocksSaveCopyAndPrint) {
    write_bmp(dir() + "/busy.bmp", 6, 2);
    CImgDoc doc(nullptr);
    ASSERT_TRUE(doc.OnOpenDocument((dir() + "/busy.bmp").c_str()));
    CIView view(&doc);
    doc.set_busy(true);
    for (const int id : {ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_SAVE_CMYK, ID_EDIT_COPY, ID_FILE_PRINT}) {
        CCmdUI ui;
        EXPECT_TRUE(view.OnCmdMsg(id, &ui));
        EXPECT_FALSE(ui.enabled) << id;
    }
    EXPECT_FALSE(doc.OnSaveDocument((dir() + "/busy.tga").c_str()));
    EXPECT_FALSE(view.copy_to_clipboard());
    doc.set_busy(false);
    CCmdUI ui;
    view.OnCmdMsg(ID_EDIT_COPY, &ui);
    EXPECT_TRUE(ui.enabled);
}

TEST(ImageDocument, FirstSaveProposesTheTitleAndOtherExtensionsAsk) {
    image_dialogs_install();
    write_bmp(dir() + "/t.bmp", 3, 3);
    CImgDoc doc(nullptr);
    ASSERT_TRUE(doc.OnOpenDocument((dir() + "/t.bmp").c_str()));
    doc.set_title("Render 12");
    std::string proposed;
    const FileDialogHook old = xfile_set_test_hook([&](CXFile& dlg) {
        proposed = dlg.initial_name();
        dlg.choose(dir() + "/chosen", 0);
        return true;
    });
    EXPECT_TRUE(doc.DoSave((dir() + "/t.png").c_str(), true));  // not an image name: ask
    xfile_set_test_hook(old);
    EXPECT_EQ(proposed, "Render");
    EXPECT_EQ(doc.path(), dir() + "/chosen.bmp");
}

TEST(ImageView, ClipboardHoldsTheWidthByHeightPixels) {
    const auto rgb = write_bmp(dir() + "/clip.bmp", 5, 2);
    CImgDoc doc(nullptr);
    ASSERT_TRUE(doc.OnOpenDocument((dir() + "/clip.bmp").c_str()));
    CIView view(&doc);
    ASSERT_TRUE(view.copy_to_clipboard());
    const QImage img = QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(img.width(), 5);
    ASSERT_EQ(img.height(), 2);
    EXPECT_EQ(0, std::memcmp(img.constScanLine(1), rgb.data() + 15, 15));
}

TEST(ImageView, JobMessagesAreTextNotFormats) {
    write_bmp(dir() + "/m.bmp", 2, 2);
    CImgDoc doc(nullptr);
    ASSERT_TRUE(doc.OnOpenDocument((dir() + "/m.bmp").c_str()));
    CIView view(&doc);
    Boxes boxes;
    view.job_message(std::make_unique<std::string>("100% done %s %n"), 1);
    view.job_message(std::make_unique<std::string>("not shown"), 2);
    CImgDoc empty(nullptr);
    CIView none(&empty);
    none.job_message(std::make_unique<std::string>("no image"), 1);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "100% done %s %n");
}

TEST(ImageView, PaintsTrueColourExactlyAndSixteenBitsNear) {
    write_bmp(dir() + "/p.bmp", 40, 30);
    CImgDoc doc(nullptr);
    ASSERT_TRUE(doc.OnOpenDocument((dir() + "/p.bmp").c_str()));
    CIView view(&doc);
    view.resize(30, 20);
    view.show();
    view.scroll_to(7, 5);
    for (const int depth : {24, 16}) {
        view.set_depth(depth);
        const QImage shot = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB888);
        const size_t stride = static_cast<size_t>(image_block_row_pixels(40)) * 3;
        const uint8_t* px = doc.pixels() + (5 + 3) * stride + (7 + 4) * 3;  // image (11, 8)
        const QRgb c = shot.pixel(4, 3);
        const int tol = depth == 24 ? 0 : 9;
        EXPECT_NEAR(qRed(c), px[2], tol) << depth;
        EXPECT_NEAR(qGreen(c), px[1], tol) << depth;
        EXPECT_NEAR(qBlue(c), px[0], tol) << depth;
    }
}

// Printed to PDF at A4 with one-inch margins, the image's rectangle in a 150 dpi
// rendering is where the page rules put it, to a pixel.
TEST(ImagePrint, PdfPageShowsTheFittedRectangle) {
    if (std::system("pdftoppm -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils missing";
    const int w = 60, h = 20;
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3, 0);  // black
    CImgDoc doc(nullptr);
    doc.set_image(image_block_from_packed(rgb.data(), w, h), w, h);
    CIView view(&doc);
    view.margins = {1000, 1000, 1000, 1000};
    const std::string pdf = dir() + "/image.pdf";
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        printer.setPageSize(QPageSize(QPageSize::A4));
        ASSERT_TRUE(view.print(&printer));
    }
    ASSERT_EQ(std::system(("pdfinfo " + pdf + " | grep -q 'Pages: *1'").c_str()), 0);
    ASSERT_EQ(std::system(("pdftoppm -r 150 -png " + pdf + " " + dir() + "/page").c_str()), 0);
    QImage page(QString::fromStdString(dir() + "/page-1.png"));
    ASSERT_FALSE(page.isNull());
    QRect dark;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 128) dark |= QRect(x, y, 1, 1);
    // A4 is 8.27 inches wide: 6.27 inches of image 60:20, at 150 dpi.
    const double inner_w = (210 / 25.4 - 2) * 150;
    EXPECT_NEAR(dark.left(), 150, 1);
    EXPECT_NEAR(dark.top(), 150, 1);
    EXPECT_NEAR(dark.width(), inner_w, 1.5);
    EXPECT_NEAR(dark.height(), inner_w / 3, 1.5);
}

// A red and blue checkerboard of 4-pixel cells, 15 x 6 cells (the top-left cell
// red): a vertical flip turns every cell's colour.
std::vector<uint8_t> checkerboard(int w, int h) {
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) rgb[(size_t(y) * w + x) * 3 + ((x / 4 + y / 4) % 2 ? 2 : 0)] = 255;
    return rgb;
}

// Page 1 of a PDF rendered by poppler at 150 dpi.
QImage pdf_page(const std::string& pdf, const std::string& name) {
    const std::string png = dir() + "/" + name;
    if (std::system(("pdftoppm -r 150 -png -singlefile " + pdf + " " + png).c_str()) != 0) return {};
    return QImage(QString::fromStdString(png + ".png")).convertToFormat(QImage::Format_RGB32);
}

// The checkerboard printed inside one-inch margins: where it lies on the page and
// whether every rendered pixel away from the cell edges has its cell's exact colour
// (red or blue, no compression error). Not upright: the colours come out swapped.
struct PrintedBoard {
    QRect box;        // the non-white pixels
    int exact = 0;    // pixels of the right exact colour
    int wrong = 0;    // pixels of any other colour
};
PrintedBoard read_board(const QImage& page, int w, int h) {
    PrintedBoard b;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (page.pixel(x, y) != qRgb(255, 255, 255)) b.box |= QRect(x, y, 1, 1);
    if (b.box.isEmpty()) return b;
    const double k = double(b.box.width()) / w;  // rendered pixels per image pixel
    for (int y = b.box.top(); y <= b.box.bottom(); ++y)
        for (int x = b.box.left(); x <= b.box.right(); ++x) {
            const double ix = (x + 0.5 - b.box.left()) / k, iy = (y + 0.5 - b.box.top()) / k;
            // Two rendered pixels clear of every cell edge.
            const double ex = std::fmod(ix, 4.0), ey = std::fmod(iy, 4.0);
            if (ex * k < 2 || (4 - ex) * k < 2 || ey * k < 2 || (4 - ey) * k < 2 || iy >= h) continue;
            const bool blue = (int(ix) / 4 + int(iy) / 4) % 2;
            const QRgb want = blue ? qRgb(0, 0, 255) : qRgb(255, 0, 0);
            (page.pixel(x, y) == want ? b.exact : b.wrong)++;
        }
    return b;
}

// File, Print of an image to PDF: the pixels as they are (no JPEG), upright, fitted
// inside the margins; on one printer object shared with drawing prints, each print
// sets up its own page: an image alone, then a drawing, the image and the drawing
// again come out as the first ones did.
TEST(ImagePrint, CheckerboardPrintsExactUprightAndFittedAlsoBetweenDrawingPrints) {
    if (std::system("pdftoppm -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils missing";
    const int w = 60, h = 24;
    const std::vector<uint8_t> rgb = checkerboard(w, h);
    CImgDoc doc(nullptr);
    doc.set_image(image_block_from_packed(rgb.data(), w, h), w, h);
    CIView view(&doc);
    view.margins = {1000, 1000, 1000, 1000};
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    std::string out;
    image_print_set_dialog_hook([&](QPrinter* p) {
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(QString::fromStdString(out));
        return true;
    });
    PrintLayout layout;  // a cross over 100 x 100 mm, fitted to the page
    layout.margins = {500, 500, 500, 500};
    ASSERT_EQ(print_layout_run(&layout, 0, 0, 100, 100), 0);
    const auto cross = [](const DrawingSink& put) {
        put.line(0, 0, 100, 100);
        put.line(0, 100, 100, 0);
    };
    auto print_drawing_to = [&](const std::string& pdf) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        return print_drawing(&printer, layout, cross);
    };
    // A4 is 8.27 inches wide: 6.27 inches of a 60:24 image at 150 dpi.
    const double inner_w = (210 / 25.4 - 2) * 150;
    QImage drawings[2];
    for (int round = 0; round < 2; ++round) {
        out = dir() + "/board" + std::to_string(round) + ".pdf";
        ASSERT_TRUE(view.print_with_dialog(&printer)) << round;
        const QImage page = pdf_page(out, "board" + std::to_string(round));
        ASSERT_FALSE(page.isNull());
        const PrintedBoard b = read_board(page, w, h);
        EXPECT_NEAR(b.box.left(), 150, 1) << round;
        EXPECT_NEAR(b.box.top(), 150, 1) << round;
        EXPECT_NEAR(b.box.width(), inner_w, 1.5) << round;
        EXPECT_NEAR(b.box.height(), inner_w * h / w, 1.5) << round;
        EXPECT_GT(b.exact, 100000) << round;
        EXPECT_EQ(b.wrong, 0) << round;
        const std::string pdf = dir() + "/cross" + std::to_string(round) + ".pdf";
        ASSERT_EQ(print_drawing_to(pdf), 0) << round;
        drawings[round] = pdf_page(pdf, "cross" + std::to_string(round));
        ASSERT_FALSE(drawings[round].isNull());
    }
    EXPECT_TRUE(drawings[0] == drawings[1]);
    image_print_set_dialog_hook({});
}

// Page 1 of a PDF rendered by cairo at 150 dpi: like most viewers it smooths the
// edges of what it draws, so a seam between two pieces of a picture shows.
QImage pdf_page_smoothed(const std::string& pdf, const std::string& name) {
    const std::string png = dir() + "/" + name;
    if (std::system(("pdftocairo -r 150 -png -singlefile " + pdf + " " + png).c_str()) != 0) return {};
    return QImage(QString::fromStdString(png + ".png")).convertToFormat(QImage::Format_RGB32);
}

// One colour over several bands of rows: the page shows no line where one band
// meets the next (every pixel inside the picture's edge has the image's colour).
TEST(ImagePrint, BandsMeetWithoutASeam) {
    if (std::system("pdftocairo -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils missing";
    const int w = 61, h = 3 * kImagePrintBandRows + 7;
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = 40, rgb[i + 1] = 90, rgb[i + 2] = 160;
    CImgDoc doc(nullptr);
    doc.set_image(image_block_from_packed(rgb.data(), w, h), w, h);
    CIView view(&doc);
    view.margins = {1000, 1000, 1000, 1000};
    const std::string pdf = dir() + "/plain.pdf";
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        printer.setPageSize(QPageSize(QPageSize::A4));
        ASSERT_TRUE(view.print(&printer));
    }
    const QImage page = pdf_page_smoothed(pdf, "plain");
    ASSERT_FALSE(page.isNull());
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (page.pixel(x, y) != qRgb(255, 255, 255)) box |= QRect(x, y, 1, 1);
    ASSERT_GT(box.height(), 3 * kImagePrintBandRows);
    // Rows whose inner pixels differ from the image's colour, by rendered row.
    std::vector<int> off_rows;
    for (int y = box.top() + 1; y < box.bottom(); ++y)
        for (int x = box.left() + 1; x < box.right(); ++x)
            if (page.pixel(x, y) != qRgb(40, 90, 160)) {
                off_rows.push_back(y - box.top());
                break;
            }
    EXPECT_TRUE(off_rows.empty()) << off_rows.size() << " rows, the first " << off_rows.front() << " of "
                                  << box.height();
}

// The heights of the pictures a PDF holds, in its order.
std::vector<int> pdf_image_heights(const std::string& pdf) {
    std::ifstream in(pdf, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int> heights;
    for (size_t at = bytes.find("/Subtype /Image"); at != std::string::npos; at = bytes.find("/Subtype /Image", at + 1))
        if (const size_t h = bytes.find("/Height", at); h != std::string::npos) heights.push_back(std::atoi(&bytes[h + 7]));
    return heights;
}

// The image goes out in bands of rows, the percentage done told after each; a stop
// after the first band ends the print, leaving no file. Each band goes to the print
// engine as an image of its own rows (and one beyond on either side), so the engine's
// work follows the progress: the PDF holds one picture per band.
TEST(ImagePrint, BandsTellProgressAndAStopEndsThePrint) {
    const int w = 8, h = 2 * kImagePrintBandRows + 3;
    const std::vector<uint8_t> rgb = checkerboard(w, h);
    CImgDoc doc(nullptr);
    doc.set_image(image_block_from_packed(rgb.data(), w, h), w, h);
    CIView view(&doc);
    for (const bool stop : {false, true}) {
        const std::string pdf = dir() + "/bands" + std::to_string(stop) + ".pdf";
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        std::vector<int> told;
        EXPECT_EQ(view.print(&printer,
                             [&](int percent) {
                                 told.push_back(percent);
                                 return !stop;
                             }),
                  !stop);
        const std::vector<int> want = stop ? std::vector<int>{45} : std::vector<int>{45, 91, 100};
        EXPECT_EQ(told, want) << stop;
        EXPECT_EQ(std::ifstream(pdf).good(), !stop);
        if (!stop) {
            const std::vector<int> heights = {kImagePrintBandRows + 1, kImagePrintBandRows + 2, 4};
            EXPECT_EQ(pdf_image_heights(pdf), heights);
        }
    }
    EXPECT_EQ(image_print_progress_text(45), "Printing 45 % done");
}

}  // namespace

#include "shell/image/image_frame.h"

namespace {

TEST(ImageFrame, CommandsRunAndABusyCloseOnlyAsksTheJobToStop) {
    write_bmp(dir() + "/frame.bmp", 9, 7);
    auto doc = std::make_unique<CImgDoc>(nullptr);
    ASSERT_TRUE(doc->OnOpenDocument((dir() + "/frame.bmp").c_str()));
    CImgDoc* d = doc.get();
    auto* frame = new CImgFrame(std::move(doc));
    frame->show();
    EXPECT_TRUE(frame->run(ID_EDIT_COPY));
    EXPECT_EQ(QApplication::clipboard()->image().width(), 9);
    d->set_busy(true);
    EXPECT_FALSE(frame->run(ID_EDIT_COPY));
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(d->cancel_requested());
    d->set_busy(false);
    EXPECT_TRUE(frame->close());  // not modified: closes without asking
}

// A command running out of memory outside the document's own guard (here its file
// dialog) ends with the message; the window and its document stay.
TEST(ImageFrame, OutOfMemoryInACommandIsTold) {
    write_bmp(dir() + "/frame_oom.bmp", 5, 4);
    auto doc = std::make_unique<CImgDoc>(nullptr);
    ASSERT_TRUE(doc->OnOpenDocument((dir() + "/frame_oom.bmp").c_str()));
    CImgDoc* d = doc.get();
    auto* frame = new CImgFrame(std::move(doc));
    Boxes boxes;
    auto& dialogs = image_window_dialogs();
    const auto keep = dialogs.image_file;
    dialogs.image_file = [](std::string*, bool, QWidget*) -> int { throw std::bad_alloc(); };
    bool ran = true;
    EXPECT_NO_THROW(ran = frame->run(ID_FILE_SAVE_AS));
    dialogs.image_file = keep;
    EXPECT_FALSE(ran);
    ASSERT_FALSE(boxes.texts.empty());
    EXPECT_NE(boxes.texts.back().find("memory"), std::string::npos);
    EXPECT_TRUE(d->has_image());
    delete frame;
}

}  // namespace
