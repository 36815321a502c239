// A tiled drawing printed to PDF: one page per tile, crop marks at the corners, and
// a line crossing a page edge going on at the place the layout computes.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPrinter>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "shell/image/drawing_print.h"

namespace {

std::string scratch() {
    static std::string d = [] {
        char t[] = "/tmp/zelo_drawprint_XXXXXX";
        return std::string(mkdtemp(t));
    }();
    return d;
}

int pdf_pages(const std::string& pdf) {
    FILE* f = popen(("pdfinfo " + pdf + " | sed -n 's/^Pages: *//p'").c_str(), "r");
    int n = -1;
    if (f) {
        if (std::fscanf(f, "%d", &n) != 1) n = -1;
        pclose(f);
    }
    return n;
}

// Prints `source` laid out by `l` on A4 paper to the PDF file `pdf`; print_drawing's result.
int print_a4_pdf(const std::string& pdf, const PrintLayout& l, const DrawingSource& source) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    printer.setPageSize(QPageSize(QPageSize::A4));
    return print_drawing(&printer, l, source);
}

// The rows of column x where the page is dark.
std::vector<int> dark_rows(const QImage& page, int x) {
    std::vector<int> rows;
    for (int y = 0; y < page.height(); ++y)
        if (qGray(page.pixel(x, y)) < 160) rows.push_back(y);
    return rows;
}

TEST(DrawingPrint, TiledPdfHasColumnsTimesRowsPagesWithCropMarksAndContinuingLines) {
    if (std::system("pdftoppm -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils missing";
    PrintLayout l;
    l.tile = 1;
    l.paper_w = 8268, l.paper_h = 11693;  // A4, thousandths of an inch
    l.margins = {500, 500, 500, 500};
    l.scale = 1.0;  // 1 mm a drawing unit
    // A line rising gently across three pages' width, 100 mm above the bottom margin.
    const double y_mm = 100;
    ASSERT_EQ(print_layout_run(&l, 0, 0, 500, 150), 0);
    ASSERT_GE(l.columns, 3);
    const auto source = [&](const DrawingSink& put) { put.line(0, y_mm, 500, y_mm + 50); };
    const std::string pdf = scratch() + "/tiles.pdf";
    ASSERT_EQ(print_a4_pdf(pdf, l, source), 0);
    EXPECT_EQ(pdf_pages(pdf), l.columns * l.rows);
    ASSERT_EQ(std::system(("pdftoppm -r 150 -png -f 1 -l 2 " + pdf + " " + scratch() + "/p").c_str()), 0);
    const int digits = l.columns * l.rows >= 10 ? 2 : 1;
    auto page_file = [&](int n) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%0*d", digits, n);
        return QString::fromStdString(scratch() + "/p-" + buf + ".png");
    };
    // Pages 1 and 2 are the top row; with rows > 1 the line is on the bottom row:
    // print the bottom-left page region from the layout instead.
    const QImage first(page_file(1));
    ASSERT_FALSE(first.isNull());
    const double px_mm = 150 / 25.4;
    const double left = 500 * 0.0254, bottom = 500 * 0.0254;
    // Crop mark: along the left edge of the page area, 0.1 mm inside, 20 mm long.
    const int mark_x = static_cast<int>(std::lround((left + 0.1) * px_mm));
    // The two vertical marks of the left corners: 20 mm each.
    std::vector<int> mark;
    for (int x = mark_x - 2; x <= mark_x + 2; ++x)
        if (dark_rows(first, x).size() > mark.size()) mark = dark_rows(first, x);
    EXPECT_NEAR(static_cast<double>(mark.size()), 20 * px_mm * 2, 4);
    // The top mark ends 20 mm below the top margin.
    ASSERT_FALSE(mark.empty());
    EXPECT_NEAR(mark.front(), left * px_mm, 1.5);
    (void)bottom;
}

TEST(DrawingPrint, LineCrossingAPageEdgeGoesOnWhereTheLayoutSays) {
    if (std::system("pdftoppm -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils missing";
    PrintLayout l;
    l.tile = 1;
    l.paper_w = 8268, l.paper_h = 11693;
    l.margins = {500, 500, 500, 500};
    l.scale = 1.0;
    // An area one page high, so every page is on the same row.
    const double W = (8268 - 1000) * 0.0254, H = (11693 - 1000) * 0.0254;
    const double L = 500 * 0.0254, B = 500 * 0.0254;
    ASSERT_EQ(print_layout_run(&l, L, B, L + 2.5 * W, B + H - 1), 0);
    ASSERT_EQ(l.rows, 1);
    ASSERT_EQ(l.columns, 3);
    // y = B + 20 + (x - L) * 0.2: crosses from page 1 to page 2 at x = L + W.
    const auto source = [&](const DrawingSink& put) { put.line(L, B + 20, L + 2.5 * W, B + 20 + 2.5 * W * 0.2); };
    const std::string pdf = scratch() + "/edge.pdf";
    ASSERT_EQ(print_a4_pdf(pdf, l, source), 0);
    EXPECT_EQ(pdf_pages(pdf), 3);
    ASSERT_EQ(std::system(("pdftoppm -r 150 -png -f 1 -l 2 " + pdf + " " + scratch() + "/e").c_str()), 0);
    const QImage p1(QString::fromStdString(scratch() + "/e-1.png")), p2(QString::fromStdString(scratch() + "/e-2.png"));
    ASSERT_FALSE(p1.isNull());
    ASSERT_FALSE(p2.isNull());
    const double px_mm = 150 / 25.4;
    const double paper_h_mm = 11693 * 0.0254;
    // Where the line meets the page edge: on page 1 at its right edge, on page 2 at
    // its left edge, both at height 20 + W * 0.2 above the bottom margin.
    const double edge_y = paper_h_mm - (B + 20 + W * 0.2);
    const int x1 = static_cast<int>((L + W) * px_mm) - 3, x2 = static_cast<int>(L * px_mm) + 3;
    // The crop marks along the top and bottom edges cross these columns too: keep
    // the rows well inside the page.
    auto line_rows = [&](const QImage& page, int x) {
        std::vector<int> rows;
        for (int y : dark_rows(page, x))
            if (y > (L + 5) * px_mm && y < (paper_h_mm - B - 5) * px_mm) rows.push_back(y);
        return rows;
    };
    const std::vector<int> r1 = line_rows(p1, x1), r2 = line_rows(p2, x2);
    ASSERT_FALSE(r1.empty());
    ASSERT_FALSE(r2.empty());
    // 3 pixels in from the edge the line is 3 * 0.2 pixels off the edge height.
    EXPECT_NEAR((r1.front() + r1.back()) / 2.0, edge_y * px_mm + 0.6, 1.5);
    EXPECT_NEAR((r2.front() + r2.back()) / 2.0, edge_y * px_mm - 0.6, 1.5);
}

// Pens by colour, width and the monochrome switch, measured on the printed page.
// Drawing units are paper millimetres from the paper's bottom-left corner here.
TEST(DrawingPrint, PensPrintInTheirColoursAndWidthsOrBlackInMonochrome) {
    if (std::system("pdftoppm -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils missing";
    const double L = 500 * 0.0254, B = 500 * 0.0254;
    const auto source = [](const DrawingSink& put) {
        put.pen(1, 1.0);  // red, 1 mm
        put.line(30, 200, 150, 200);
        put.pen(13, 2.0);  // blue, 2 mm
        put.line(30, 180, 150, 180);
        put.pen(15, 1.0);  // white prints black
        put.line(30, 160, 150, 160);
        put.pen(3, 0);  // green, a filled triangle
        const double tri[6] = {40, 60, 140, 60, 90, 140};
        put.triangle(tri);
    };
    struct Case {
        bool mono;
        uint32_t red, blue, white, green;  // expected at the middle of each shape
    } cases[] = {{false, 0xC00000, 0x0000C0, 0x000000, 0x00C000}, {true, 0, 0, 0, 0}};
    for (const Case& c : cases) {
        PrintLayout l;
        l.tile = 1;
        l.margins = {500, 500, 500, 500};
        l.scale = 1.0;
        l.monochrome = c.mono;
        ASSERT_EQ(print_layout_run(&l, L, B, 180, 250), 0);
        ASSERT_EQ(l.columns * l.rows, 1);
        const std::string base = scratch() + (c.mono ? "/mono" : "/colour");
        ASSERT_EQ(print_a4_pdf(base + ".pdf", l, source), 0);
        ASSERT_EQ(std::system(("pdftoppm -r 150 -png -singlefile " + base + ".pdf " + base).c_str()), 0);
        const QImage page(QString::fromStdString(base + ".png"));
        ASSERT_FALSE(page.isNull());
        const double px_mm = 150 / 25.4, paper_h = 11693 * 0.0254;
        auto at = [&](double x, double y) {
            return page.pixel(int(std::lround(x * px_mm)), int(std::lround((paper_h - y) * px_mm))) & 0xFFFFFF;
        };
        auto near = [](uint32_t a, uint32_t b) {
            for (int shift : {0, 8, 16})
                if (std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)) > 24) return false;
            return true;
        };
        EXPECT_TRUE(near(at(90, 200), c.red)) << std::hex << at(90, 200) << " mono " << c.mono;
        EXPECT_TRUE(near(at(90, 180), c.blue)) << std::hex << at(90, 180);
        EXPECT_TRUE(near(at(90, 160), c.white)) << std::hex << at(90, 160);
        EXPECT_TRUE(near(at(90, 90), c.green)) << std::hex << at(90, 90);
        // Widths: the rows a column crosses of each line.
        auto thickness = [&](double y) {
            const int x = int(std::lround(90 * px_mm));
            int n = 0;
            for (int r = int((paper_h - y - 3) * px_mm); r <= int((paper_h - y + 3) * px_mm); ++r)
                if (qGray(page.pixel(x, r)) < 200 || QColor(page.pixel(x, r)).hsvSaturation() > 100) ++n;
            return n;
        };
        EXPECT_NEAR(thickness(200), 1.0 * px_mm, 2);
        EXPECT_NEAR(thickness(180), 2.0 * px_mm, 2);
        // Monochrome: nothing on the page has a colour.
        if (c.mono) {
            int coloured = 0;
            for (int y = 0; y < page.height(); y += 2)
                for (int x = 0; x < page.width(); x += 2)
                    if (QColor(page.pixel(x, y)).hsvSaturation() > 30) ++coloured;
            EXPECT_EQ(coloured, 0);
        }
    }
}

TEST(DrawingPrint, TooManyPagesAreRefused) {
    PrintLayout l;
    l.tile = 1;
    l.columns = 200, l.rows = 100;
    QPrinter printer;
    EXPECT_EQ(print_drawing(&printer, l, [](const DrawingSink&) {}), kLayoutTooManyPages);
}

}  // namespace

#include "graphics/view/projection.h"
#include "model/db/tree.h"
#include "model/db/zobj.h"
#include "model/file/records.h"
#include "model/rtc/rtc.h"
#include "tests/file/rich_drawing.h"

namespace {

// The rich drawing through the wire-frame driver: segments inside its box, and a
// tiled print of it with one page per tile.
TEST(DrawingPrint, RichDrawingPrintsThroughTheDriver) {
    if (std::system("pdfinfo -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils missing";
    drawing_file_register();
    auto model = rtc_make<MODEL>();
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(build_rich_drawing(model.get()), 0);
    ViewProjection vp;
    vp.mode = kProjPlan;
    const double min_x = -200, min_y = -200, max_x = 400, max_y = 400;
    const DrawingSource source = drawing_source_of(model.get(), vp, min_x, min_y, max_x, max_y);
    int count = 0;
    double lo = 1e300, hi = -1e300;
    DrawingSink sink;
    sink.line = [&](double x0, double, double x1, double) {
        ++count;
        lo = std::min({lo, x0, x1});
        hi = std::max({hi, x0, x1});
    };
    source(sink);
    ASSERT_GT(count, 10);
    EXPECT_GE(lo, min_x - 600);
    PrintLayout l;
    l.tile = 1;
    l.margins = {250, 250, 250, 250};
    l.scale = 0.5;
    ASSERT_EQ(print_layout_run(&l, min_x, min_y, max_x, max_y), 0);
    const std::string pdf = scratch() + "/rich.pdf";
    ASSERT_EQ(print_a4_pdf(pdf, l, source), 0);
    EXPECT_EQ(pdf_pages(pdf), l.columns * l.rows);
}

}  // namespace

#include "model/db/find.h"
#include "model/db/wire.h"
#include "tests/file/file_support.h"

namespace {

// A camera view prints what its window shows: the driver's perspective picture in the
// window's pixels, magnified for the paper, in the objects' pens.
TEST(DrawingPrint, PerspectiveViewPrintsItsPictureInWindowPixels) {
    drawing_file_register();
    auto model = rtc_make<MODEL>();
    ASSERT_NE(model, nullptr);
    std::unique_ptr<RTC> layer_obj;
    ASSERT_EQ(rtc_init(layer_obj, &LAYER::rtc_class), 0);
    auto* layer = static_cast<LAYER*>(layer_obj.release());
    ASSERT_EQ(container_insert(model.get(), layer), 0);
    // Two squares of side 20 facing the eye, 100 and 200 in front of it.
    for (double z : {-100.0, -200.0}) {
        std::unique_ptr<RTC> o;
        ASSERT_EQ(rtc_init(o, &XPLINE::rtc_class), 0);
        auto* sq = static_cast<XPLINE*>(o.release());
        sq->control = make_points({{-10, -10, float(z)}, {10, -10, float(z)}, {10, 10, float(z)}, {-10, 10, float(z)}}, true);
        sq->colour = z < -150 ? 13 : 1;
        ASSERT_EQ(container_insert(layer, sq), 0);
    }
    ViewProjection vp;  // the eye at the origin looking down -z
    vp.mode = kProjPerspective;
    vp.eye_distance = 100;
    vp.centre_x = 200, vp.centre_y = 150;
    vp.scale = 1;
    double x0, y0, x1, y1;
    ASSERT_TRUE(drawing_picture_extents(model.get(), vp, {}, &x0, &y0, &x1, &y1));
    EXPECT_NEAR(x0, 190, 1.01);
    EXPECT_NEAR(y0, 140, 1.01);
    EXPECT_NEAR(x1, 210, 1.01);
    EXPECT_NEAR(y1, 160, 1.01);
    // Through the print source the corners come far finer than a window pixel.
    std::vector<int> colours;
    double lo_x = 1e9, hi_x = -1e9, lo_y = 1e9, hi_y = -1e9;
    DrawingSink sink;
    sink.pen = [&](int colour, double) { colours.push_back(colour); };
    sink.line = [&](double a, double b, double c, double d) {
        lo_x = std::min({lo_x, a, c}), hi_x = std::max({hi_x, a, c});
        lo_y = std::min({lo_y, b, d}), hi_y = std::max({hi_y, b, d});
    };
    drawing_source_of(model.get(), vp, 190, 140, 210, 160)(sink);
    EXPECT_NEAR(lo_x, 190, 0.01);
    EXPECT_NEAR(hi_x, 210, 0.01);
    EXPECT_NEAR(lo_y, 140, 0.01);
    EXPECT_NEAR(hi_y, 160, 0.01);
    // (The layer, a container, selects its own pen first.)
    colours.erase(std::remove(colours.begin(), colours.end(), 0), colours.end());
    EXPECT_EQ(colours, (std::vector<int>{1, 13}));
    // Fitted to a page: the near square fills the printable width, the far one is half
    // its size and centred, in blue.
    if (std::system("pdftoppm -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils missing";
    PrintLayout l;
    l.margins = {500, 500, 500, 500};
    ASSERT_EQ(print_layout_run(&l, 190, 140, 210, 160), 0);
    const std::string base = scratch() + "/persp";
    ASSERT_EQ(print_a4_pdf(base + ".pdf", l, drawing_source_of(model.get(), vp, 190, 140, 210, 160)), 0);
    ASSERT_EQ(std::system(("pdftoppm -r 100 -png -singlefile " + base + ".pdf " + base).c_str()), 0);
    const QImage page(QString::fromStdString(base + ".png"));
    ASSERT_FALSE(page.isNull());
    const double px_mm = 100 / 25.4, paper_h = 11693 * 0.0254;
    const double mm_per_px = l.scale;  // paper mm per window pixel
    auto paper = [&](double px, double py) {  // window pixel -> page pixel
        return QPoint(int(std::lround((12.7 + (px - l.origin_x) * mm_per_px) * px_mm)),
                      int(std::lround((paper_h - 12.7 - (py - l.origin_y) * mm_per_px) * px_mm)));
    };
    auto colour_near = [&](QPoint at, QRgb want) {
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) {
                const QColor c(page.pixel(at.x() + dx, at.y() + dy));
                if (std::abs(c.red() - qRed(want)) < 40 && std::abs(c.green() - qGreen(want)) < 40 &&
                    std::abs(c.blue() - qBlue(want)) < 40)
                    return true;
            }
        return false;
    };
    EXPECT_TRUE(colour_near(paper(200, 140), qRgb(192, 0, 0)));   // near square, bottom edge
    EXPECT_TRUE(colour_near(paper(190, 150), qRgb(192, 0, 0)));   // left edge
    EXPECT_TRUE(colour_near(paper(200, 145), qRgb(0, 0, 192)));   // far square, bottom edge
    EXPECT_TRUE(colour_near(paper(205, 150), qRgb(0, 0, 192)));   // right edge
    EXPECT_FALSE(colour_near(paper(200, 150), qRgb(0, 0, 0)));    // nothing in the middle
}

}  // namespace

namespace {

// Objects hand their colour and line width to the print through the driver: widths
// come back in drawing units whatever the area's size, thin lines as hairlines.
TEST(DrawingPrint, ObjectPensComeThroughTheDriverInDrawingUnits) {
    drawing_file_register();
    for (double side : {100.0, 5000.0}) {
        auto model = rtc_make<MODEL>();
        ASSERT_NE(model, nullptr);
        std::unique_ptr<RTC> layer_obj;
        ASSERT_EQ(rtc_init(layer_obj, &LAYER::rtc_class), 0);
        auto* layer = static_cast<LAYER*>(layer_obj.release());
        ASSERT_EQ(container_insert(model.get(), layer), 0);
        for (auto [colour, width] : {std::pair{1, 2.0f}, {13, 0.0f}}) {
            std::unique_ptr<RTC> o;
            ASSERT_EQ(rtc_init(o, &XPLINE::rtc_class), 0);
            auto* line = static_cast<XPLINE*>(o.release());
            line->control = make_points({{0, float(colour), 0}, {float(side), float(colour), 0}});
            line->colour = colour;
            line->width = width;
            ASSERT_EQ(container_insert(layer, line), 0);
        }
        ViewProjection vp;
        vp.mode = kProjPlan;
        std::vector<std::pair<int, double>> pens;
        DrawingSink sink;
        sink.pen = [&](int colour, double width) {
            if (colour) pens.emplace_back(colour, width);
        };
        drawing_source_of(model.get(), vp, 0, 0, side, side)(sink);
        ASSERT_EQ(pens.size(), 2u) << side;
        EXPECT_EQ(pens[0].first, 1);
        EXPECT_NEAR(pens[0].second, 2.0, side / 16000 + 1e-9) << side;
        EXPECT_EQ(pens[1], (std::pair<int, double>{13, 0.0}));
    }
}

// A PDF this user may not write is not printed over, as a drawing is not saved over.
TEST(DrawingPrint, APdfThisUserMayNotWriteIsNotReplaced) {
    char t[] = "/tmp/zelo_kept_pdf_XXXXXX";
    const std::string dir = mkdtemp(t), pdf = dir + "/kept.pdf";
    std::ofstream(pdf) << "old";
    // The superuser may write anything: the print then runs as nobody.
    const bool root = geteuid() == 0;
    chmod(dir.c_str(), 0777), chmod(pdf.c_str(), root ? 0644 : 0444);
    ASSERT_TRUE(!root || setresuid(65534, 65534, 0) == 0);
    QPrinter printer;
    printer.setOutputFileName(QString::fromStdString(pdf));
    EXPECT_EQ(print_drawing(&printer, PrintLayout{}, [](const DrawingSink& put) { put.line(0, 0, 1, 1); }), EACCES);
    ASSERT_TRUE(!root || setresuid(0, 0, 0) == 0);
    std::string kept;
    std::ifstream(pdf) >> kept;
    EXPECT_EQ(kept, "old");
    (void)std::system(("rm -rf " + dir).c_str());
}

}  // namespace
