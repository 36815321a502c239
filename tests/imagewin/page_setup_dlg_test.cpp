// The image page setup dialog through the modal hook: typing keeps the image's
// proportions, units switch, the page turns its margins, Cancel changes nothing.
#include <gtest/gtest.h>

#include <QLineEdit>

#include "platform/dialog.h"
#include "shell/image/page_setup_dlg.h"

namespace {

class Modal {
  public:
    explicit Modal(ModalDialogHook h) : old_(platform_set_modal_hook(std::move(h))) {}
    ~Modal() { platform_set_modal_hook(old_); }

  private:
    ModalDialogHook old_;
};

PageSetupModel model32() {
    PageSetupModel m;
    m.minimum = {250, 250, 250, 250};
    m.image_w = 3, m.image_h = 2;
    m.full_page = false;
    return m;
}

void type_into(CDialog& dlg, int id, const char* text) {
    auto* e = static_cast<QLineEdit*>(dlg.GetDlgItem(id));
    e->setText(text);
    Q_EMIT e->editingFinished();
}

TEST(ImagePageSetup, TypingKeepsProportionsAndOkTakesTheResult) {
    PageSetupModel m = model32();
    Modal modal([](CDialog& dlg) {
        type_into(dlg, 2367, "40");  // left, mm
        EXPECT_EQ(dlg.GetDlgItemText(2367), "40");
        const double w = std::stod(dlg.GetDlgItemText(2217)), h = std::stod(dlg.GetDlgItemText(2178));
        EXPECT_NEAR(w / h, 1.5, 0.01);
        dlg.press(IDOK);
    });
    CPageLayoutDlg dlg(&m, nullptr);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_NEAR(m.left, 40 / 0.0254, 1e-6);
    EXPECT_NEAR(m.area_w() / m.area_h(), 1.5, 1e-6);
}

TEST(ImagePageSetup, UnitsLandscapeFullPageAndCancel) {
    PageSetupModel m = model32();
    m.left = 1000;  // 25.4 mm
    m.top = 500;
    const PageSetupModel before = m;
    Modal modal([](CDialog& dlg) {
        dlg.press(kPageInches);
        EXPECT_EQ(dlg.GetDlgItemText(2367), "1");
        dlg.press(kPageLandscape);
        // Turned a quarter: the old top margin is now the left one.
        EXPECT_EQ(dlg.GetDlgItemText(2367), "0.5");
        dlg.CheckDlgButton(kPageFullPage, true);
        dlg.press(kPageFullPage);
        EXPECT_FALSE(dlg.GetDlgItem(2367)->isEnabled());
        EXPECT_EQ(dlg.GetDlgItemText(2367), "0.25");  // the minimum
        dlg.press(IDCANCEL);
    });
    CPageLayoutDlg dlg(&m, nullptr);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(m.left, before.left);
    EXPECT_EQ(m.units, 0);
}

TEST(ImagePageSetup, SampleFitsTheImageIntoThePrintedArea) {
    PageSetupModel m = model32();
    m.settle();
    const QRectF r = CPageLayoutDlg::sample_image_rect(m, QRectF(0, 0, 82.68, 116.93));
    EXPECT_NEAR(r.width() / r.height(), 1.5, 1e-9);
    EXPECT_NEAR(r.left(), m.left / 100, 1e-9);
}

}  // namespace

#include "shell/image/draw_page_setup_dlg.h"

namespace {

TEST(DrawPageSetup, TileSetsFullPageAndShowsTheGridTooManyPagesStayOpen) {
    PrintLayout layout;
    PageSetupModel page;
    page.minimum = {250, 250, 250, 250};
    page.full_page = false;
    int columns = 0, rows = 0;
    Modal modal([&](CDialog& dlg) {
        dlg.CheckDlgButton(kPageTile, true);
        dlg.press(kPageTile);
        EXPECT_TRUE(dlg.IsDlgButtonChecked(kPageFullPage));
        EXPECT_FALSE(dlg.GetDlgItem(kPageCentre)->isEnabled());
        EXPECT_TRUE(dlg.GetDlgItem(kPageScale)->isEnabled());
        for (int id : {2367, 2368, 2176, 2177}) EXPECT_EQ(dlg.GetDlgItemText(id), "6.35");  // the minimum
        columns = std::stoi(dlg.GetDlgItemText(kPageColumns));
        rows = std::stoi(dlg.GetDlgItemText(kPageRows));
        // A huge scale: refused on OK, the dialog stays.
        type_into(dlg, kPageScale, "1000");
        dlg.press(IDOK);
        EXPECT_FALSE(dlg.ended());
        type_into(dlg, kPageScale, "1");
        dlg.press(IDOK);
    });
    CDrawPageSetupDlg dlg(&layout, &page, -100, 0, 500, 400);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(layout.tile, 1);
    EXPECT_EQ(layout.columns, columns);
    EXPECT_EQ(layout.rows, rows);
    EXPECT_GE(layout.columns, 3);  // 600 mm over pages under 200 mm wide, one before 0
    EXPECT_EQ(layout.scale, 1.0);
}

}  // namespace

#include <QImage>
#include <QPainter>

namespace {

// The sample with Preview: the drawing in its colours (black in monochrome), over
// the area "Visible area" chooses, fitted or under the tile grid.
TEST(DrawPageSetup, PreviewShowsTheDrawingOfTheChosenArea) {
    PrintLayout layout;
    PageSetupModel page;
    page.minimum = {250, 250, 250, 250};
    const double visible[4] = {0, 0, 200, 100};
    std::vector<int> areas;  // the widths the source was asked for
    auto source_of = [&](const double a[4]) -> DrawingSource {
        areas.push_back(int(a[2] - a[0]));
        return [](const DrawingSink& put) {
            put.pen(1, 0);  // red
            put.line(0, 25, 100, 25);
            put.line(50, 0, 50, 50);
        };
    };
    auto count = [](const QImage& img, QRgb want) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) n += (img.pixel(x, y) & 0xFFFFFF) == (want & 0xFFFFFF);
        return n;
    };
    Modal modal([&](CDialog& d) {
        auto& dlg = static_cast<CDrawPageSetupDlg&>(d);
        auto sample = [&] {
            QImage img(300, 400, QImage::Format_RGB32);
            img.fill(Qt::lightGray);
            QPainter p(&img);
            dlg.paint_sample(p, QRectF(0, 0, 300, 400));
            return img;
        };
        // Fit to page keeps the drawing's 1:4 in the margins from the start.
        EXPECT_NEAR(std::stod(dlg.GetDlgItemText(2178)) / std::stod(dlg.GetDlgItemText(2217)), 4.0, 0.01);
        EXPECT_EQ(count(sample(), qRgb(192, 0, 0)), 0);  // Preview off: the crossed rectangle
        EXPECT_TRUE(areas.empty());                         // and nothing collected
        dlg.CheckDlgButton(kPagePreview, true);
        dlg.press(kPagePreview);
        const int fitted = count(sample(), qRgb(192, 0, 0));
        EXPECT_GT(fitted, 60);  // the lines across the tall printed area
        // Visible area: the other area, a new layout, the picture made again.
        dlg.CheckDlgButton(kPageVisible, true);
        dlg.press(kPageVisible);
        EXPECT_NEAR(dlg.working_layout().printed_w / dlg.working_layout().printed_h, 2.0, 1e-6);
        EXPECT_GT(count(sample(), qRgb(192, 0, 0)), 100);
        // Monochrome: black lines only.
        dlg.CheckDlgButton(kPageMonochrome, true);
        dlg.press(kPageMonochrome);
        const QImage mono = sample();
        EXPECT_EQ(count(mono, qRgb(192, 0, 0)), 0);
        EXPECT_GT(count(mono, qRgb(0, 0, 0)), 100);
        // Tiled: the drawing under the page grid.
        dlg.CheckDlgButton(kPageMonochrome, false);
        dlg.press(kPageMonochrome);
        dlg.CheckDlgButton(kPageTile, true);
        dlg.press(kPageTile);
        EXPECT_GT(count(sample(), qRgb(192, 0, 0)), 20);
        dlg.press(IDCANCEL);
    });
    CDrawPageSetupDlg dlg(&layout, &page, 0, 0, 100, 400);
    dlg.set_drawing(visible, source_of);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(areas, (std::vector<int>{100, 200, 100}));  // whole, visible, whole (Tile)
    EXPECT_EQ(layout.visible_only, 0);  // cancelled: nothing taken
}

}  // namespace
