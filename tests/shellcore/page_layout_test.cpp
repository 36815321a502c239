// Page rules of printing and the pixel blocks of image documents: margins turning
// with the page, units, the image fitted on the page, drawing layouts fitted and
// tiled (pages before the origin, numbering, refused sizes), crop marks, clipping.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/math/result.h"
#include "shell/core/image_block.h"
#include "shell/core/page_layout.h"

namespace {

TEST(PageRules, MarginsTurnWithTheOrientationAndUnitsConvert) {
    Margins m{100, 200, 300, 400};
    int stored = kPortrait;
    margins_follow_orientation(&m, &stored, kLandscape);
    EXPECT_EQ(stored, kLandscape);
    EXPECT_EQ(m.left, 200);
    EXPECT_EQ(m.top, 300);
    EXPECT_EQ(m.right, 400);
    EXPECT_EQ(m.bottom, 100);
    margins_follow_orientation(&m, &stored, kPortrait);  // and back
    EXPECT_EQ(m.left, 100);
    EXPECT_EQ(m.bottom, 400);
    // 25.4 mm is one inch.
    EXPECT_NEAR(page_units_from_internal(page_units_to_internal(25.4, 0), 1), 1.0, 1e-12);
}

TEST(PageRules, ImageFillsTheAvailableAreaInOneDirection) {
    PrinterGeometry g;
    g.dpi_x = g.dpi_y = 100;
    g.offset_x = g.offset_y = 25;  // a quarter inch the printer cannot reach
    g.physical_w = 850, g.physical_h = 1100;
    g.printable_w = 800, g.printable_h = 1050;
    const Margins min = printer_minimum_margins(g);
    EXPECT_EQ(min.left, 250);
    EXPECT_EQ(min.right, 250);
    EXPECT_EQ(min.bottom, 250);
    const Margins dev = printer_device_margins({1250, 250, 250, 100}, min, g);
    EXPECT_EQ(dev.left, 100);
    EXPECT_EQ(dev.bottom, 0);  // below the minimum: none
    PrintRect r;
    // 100 x 50 on an area 700 wide and 1050 high: the width decides.
    ASSERT_TRUE(image_print_rect(g, dev, 100, 50, &r));
    EXPECT_EQ(r.x, 100);
    EXPECT_EQ(r.w, 700);
    EXPECT_EQ(r.h, 350);
    // A wide page: the height decides.
    g.printable_w = 3000, g.printable_h = 500;
    ASSERT_TRUE(image_print_rect(g, {}, 100, 50, &r));
    EXPECT_EQ(r.h, 500);
    EXPECT_EQ(r.w, 1000);
    EXPECT_FALSE(image_print_rect(g, {0, 0, 3000, 0}, 100, 50, &r));  // no room
}

PrintLayout a4_tiles(double scale) {
    PrintLayout l;
    l.tile = 1;
    l.paper_w = 8268, l.paper_h = 11693;
    l.margins = {250, 250, 250, 250};
    l.scale = scale;
    return l;
}

TEST(DrawingLayout, FitToPageFitsTheTallSide) {
    PrintLayout l;
    l.paper_w = 11693, l.paper_h = 8268;  // landscape A4
    ASSERT_EQ(print_layout_run(&l, 0, 0, 100, 400), 0);
    const double H = 8268 * 0.0254;
    EXPECT_NEAR(l.scale, H / 400, 1e-9);
    EXPECT_EQ(l.columns, 1);
    // Zero-sized areas and bad pages divide by nothing.
    EXPECT_EQ(print_layout_run(&l, 5, 5, 5, 5), 0);
    EXPECT_TRUE(std::isfinite(l.scale));
    l.margins = {6000, 0, 6000, 0};
    EXPECT_EQ(print_layout_run(&l, 0, 0, 10, 10), kBadArgument);
}

TEST(DrawingLayout, TilesIncludePagesBeforeTheOriginAndNumberFromTheTopLeft) {
    PrintLayout l = a4_tiles(1.0);
    const double W = (8268 - 500) * 0.0254, H = (11693 - 500) * 0.0254;
    const double L = 250 * 0.0254;
    // The area starts 300 mm left of the paper origin and ends 500 mm right of it.
    ASSERT_EQ(print_layout_run(&l, -300, 0, 500, 100), 0);
    const int c0 = static_cast<int>(std::ceil((300 + L) / W));
    EXPECT_EQ(l.columns, c0 + static_cast<int>(std::ceil((500 - L) / W)));
    // The bottom margin lies above y = 0: one row before the origin too.
    EXPECT_EQ(l.rows, 1 + static_cast<int>(std::ceil((100 - 250 * 0.0254) / H)));
    EXPECT_NEAR(l.origin_x, L - c0 * W, 1e-9);
    EXPECT_LE(l.origin_x, -300);  // the first column starts at or before the area
    l.rows = 3;
    const struct {
        int page, column, row;
    } cells[] = {{1, 0, 2}, {2, 1, 2}, {l.columns, l.columns - 1, 2}, {l.columns + 1, 0, 1}, {3 * l.columns, l.columns - 1, 0}};
    for (const auto& c : cells) {
        int64_t col = -1, row = -1;
        print_layout_page_cell(l, c.page, &col, &row);
        EXPECT_EQ(col, c.column) << c.page;
        EXPECT_EQ(row, c.row) << c.page;
    }
}

TEST(DrawingLayout, TooManyPagesAreRefusedAndCountsDoNotOverflow) {
    PrintLayout l = a4_tiles(1000000);  // a huge scale on a large area
    EXPECT_EQ(print_layout_run(&l, 0, 0, 1e6, 1e6), kLayoutTooManyPages);
    EXPECT_GT(print_layout_pages(l), kMaxPrintPages);
    l = a4_tiles(0);  // brought up to the smallest scale
    EXPECT_EQ(print_layout_run(&l, 0, 0, 10, 10), 0);
    EXPECT_EQ(l.scale, 0.000001);
    EXPECT_EQ(print_layout_pages(l), 1);
}

TEST(PrintGeometry, CropMarksClippedLinesAndTriangles) {
    double marks[32];
    print_crop_marks(20000, 30000, marks);
    // Bottom-left corner: along the bottom edge 0.1 mm inside, 20 mm long.
    EXPECT_EQ(marks[0], 0);
    EXPECT_EQ(marks[1], 10);
    EXPECT_EQ(marks[2], 2000);
    // Top-right corner, along the right edge.
    EXPECT_EQ(marks[28], 19990);
    EXPECT_EQ(marks[29], 30000);
    EXPECT_EQ(marks[31], 28000);

    double x0 = -50, y0 = 50, x1 = 150, y1 = 50;
    ASSERT_TRUE(print_clip_line(100, 100, &x0, &y0, &x1, &y1));
    EXPECT_EQ(x0, 0);
    EXPECT_EQ(x1, 100);
    x0 = -5, y0 = -5, x1 = -1, y1 = 200;
    EXPECT_FALSE(print_clip_line(100, 100, &x0, &y0, &x1, &y1));

    // A triangle reaching far past the page (and past 16-bit coordinates) is clipped,
    // not dropped.
    const double tri[6] = {50, 50, 100000, 50, 50, 100000};
    double poly[18];
    const int n = print_clip_triangle(100, 100, tri, poly);
    ASSERT_GE(n, 3);
    for (int i = 0; i < n; ++i) {
        EXPECT_GE(poly[i * 2], 0);
        EXPECT_LE(poly[i * 2], 100);
        EXPECT_LE(poly[i * 2 + 1], 100);
    }
    const double outside[6] = {200, 200, 300, 200, 200, 300};
    EXPECT_EQ(print_clip_triangle(100, 100, outside, poly), 0);
}

TEST(ImageBlock, OddWidthsArePaddedInANewBlockAndPackedBack) {
    for (const int w : {1, 4, 5, 7}) {
        const int h = 3;
        std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
        for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7 + 1);
        uint8_t* block = image_block_from_packed(rgb.data(), w, h);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(image_block_bytes(w, h), static_cast<size_t>((w + 3) / 4 * 4) * h * 3);
        EXPECT_EQ(block[0], rgb[2]);  // blue first
        std::vector<uint8_t> back(rgb.size());
        image_block_to_packed(block, w, h, back.data());
        EXPECT_EQ(back, rgb);
        // Clipboard rows: bottom first, 3 * width rounded to 4 bytes (16 for 5 pixels).
        const size_t row = image_block_clipboard_row_bytes(w);
        if (w == 5) {
            EXPECT_EQ(row, 16u);
        }
        std::vector<uint8_t> clip(row * h);
        image_block_to_clipboard(block, w, h, clip.data());
        EXPECT_EQ(clip[(h - 1) * row], block[0]);
        delete[] block;
    }
    EXPECT_EQ(image_block_from_packed(nullptr, 5, 5), nullptr);
    EXPECT_EQ(image_block_bytes(0, 5), 0u);
    EXPECT_EQ(image_block_bytes(65536, 1), 0u);
}

TEST(ImageBlock, ProposedNamesAndSaveExtensions) {
    EXPECT_EQ(image_proposed_name("Render12345"), "Render12.tga");
    EXPECT_EQ(image_proposed_name("a.b c"), "a.tga");
    EXPECT_EQ(image_proposed_name("Pic#2"), "Pic.tga");
    EXPECT_TRUE(image_save_extension_ok("/x/view.TGA"));
    EXPECT_TRUE(image_save_extension_ok("v.jif"));
    EXPECT_FALSE(image_save_extension_ok("/x/view.png"));
    EXPECT_FALSE(image_save_extension_ok("/x.bmp/view"));
}

}  // namespace

#include "shell/core/page_setup.h"

namespace {

PageSetupModel a4_model(double iw, double ih) {
    PageSetupModel m;
    m.minimum = {250, 250, 250, 250};
    m.image_w = iw, m.image_h = ih;
    return m;
}

TEST(PageSetup, FullPageTakesTheMinimumMarginsAndKeepsProportions) {
    PageSetupModel m = a4_model(3, 2);
    m.full_page = true;
    m.settle();
    EXPECT_EQ(m.left, 250);
    EXPECT_EQ(m.top, 250);
    EXPECT_EQ(m.right, 250);
    EXPECT_NEAR(m.area_w() / m.area_h(), 1.5, 1e-9);
}

TEST(PageSetup, ThreeToTwoStaysThreeToTwoWhateverIsTyped) {
    PageSetupModel m = a4_model(3, 2);
    m.full_page = false;
    m.settle();
    const struct {
        int field;
        double mm;
    } typed[] = {{0, 40}, {1, 10}, {2, 60}, {3, 5}, {4, 150}, {5, 80}, {0, 1000}, {4, 0}};
    for (const auto& t : typed) {
        m.type(t.field, t.mm);
        if (m.area_h() > 1) {
            EXPECT_NEAR(m.area_w() / m.area_h(), 1.5, 1e-6) << t.field << " " << t.mm;
        }
        EXPECT_GE(m.left, 250);
        EXPECT_GE(m.right, 250 - 1e-9);
        EXPECT_GE(m.bottom, 250 - 1e-9);
    }
}

TEST(PageSetup, CentringAndUnits) {
    PageSetupModel m = a4_model(4, 3);
    m.full_page = false;
    m.settle();  // proportions first: a deep bottom margin
    m.centre = true;
    m.settle();
    EXPECT_GT(m.area_w(), 0);
    EXPECT_NEAR(m.left, m.right, 1e-9);
    EXPECT_NEAR(m.top, m.bottom, 1e-9);
    EXPECT_NEAR(m.area_w() / m.area_h(), 4.0 / 3, 1e-9);
    m.type(0, 50);  // a typed left margin is kept on both sides
    EXPECT_NEAR(m.left, 50 / 0.0254, 1e-6);
    EXPECT_NEAR(m.right, m.left, 1e-9);
    m.centre = false;
    m.left = 1000;
    m.set_units(0);
    EXPECT_NEAR(m.field(0), 25.4, 1e-9);
    m.set_units(1);
    EXPECT_NEAR(m.field(0), 1.0, 1e-12);
}

}  // namespace
