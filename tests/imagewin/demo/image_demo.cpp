// Shows an image window scrolled into a test picture and writes it to a PNG (for
// screenshots under Xvfb at the screen's depth; not a test).
#include <QApplication>
#include <QMainWindow>
#include <QScreen>
#include <cmath>
#include <vector>

#include "shell/core/image_block.h"
#include "shell/image/imgdoc.h"
#include "shell/image/iview.h"
#include "shell/image/draw_page_setup_dlg.h"
#include "shell/image/page_setup_dlg.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? argv[1] : "image_view.png";
    const int w = 640, h = 480;
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double r = std::hypot(x - 320.0, y - 240.0);
            uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            p[0] = static_cast<uint8_t>(x * 255 / w);
            p[1] = static_cast<uint8_t>(127 + 127 * std::sin(r / 18));
            p[2] = static_cast<uint8_t>(y * 255 / h);
        }
    CImgDoc doc(nullptr);
    doc.set_image(image_block_from_packed(rgb.data(), w, h), w, h);
    QMainWindow win;
    auto* view = new CIView(&doc);
    win.setCentralWidget(view);
    win.setWindowTitle(QString("Image - depth %1").arg(view->depth()));
    win.resize(420, 320);
    win.show();
    view->scroll_to(150, 120);
    QApplication::processEvents();
    if (argc > 2) {
        // The image page setup with Preview on, written instead of the window.
        bool saved = false;
        platform_set_modal_hook([&](CDialog& dlg) {
            dlg.CheckDlgButton(kPagePreview, true);
            dlg.press(kPagePreview);
            dlg.CheckDlgButton(kPageCentre, true);
            dlg.press(kPageCentre);
            dlg.show();
            QApplication::processEvents();
            saved = dlg.grab().save(argv[2]);
            dlg.press(IDCANCEL);
        });
        PageSetupModel m;
        m.minimum = {170, 170, 170, 170};
        m.full_page = false;
        m.image_w = w, m.image_h = h;
        CPageLayoutDlg dlg(&m, new QImage(doc.pixels(), w, h, static_cast<int>(image_block_row_pixels(w) * 3),
                                           QImage::Format_BGR888));
        dlg.DoModal();
        if (!saved) return 1;
    }
    // A 600 x 400 mm drawing in a few colours for the drawing page setup's Preview.
    const auto drawing = [](const double*) -> DrawingSource {
        return [](const DrawingSink& put) {
            put.pen(0, 0);
            put.line(-100, 0, 500, 0), put.line(500, 0, 500, 400), put.line(500, 400, -100, 400), put.line(-100, 400, -100, 0);
            put.pen(1, 0);
            put.line(-100, 0, 500, 400), put.line(-100, 400, 500, 0);
            put.pen(13, 0);
            for (int i = 0; i < 64; ++i) {
                const double a = i * M_PI / 32, b = (i + 1) * M_PI / 32;
                put.line(200 + 150 * std::cos(a), 200 + 150 * std::sin(a), 200 + 150 * std::cos(b), 200 + 150 * std::sin(b));
            }
            put.pen(3, 0);
            const double tri[6] = {-60, 40, 60, 40, 0, 160};
            put.triangle(tri);
        };
    };
    for (int shot = 3; shot <= 4 && shot < argc; ++shot) {
        // The drawing page setup over a 600 x 400 mm drawing with Preview: the tile
        // sheet (first), then fitted to the page.
        bool saved = false;
        platform_set_modal_hook([&](CDialog& dlg) {
            if (shot == 3) {
                dlg.CheckDlgButton(kPageTile, true);
                dlg.press(kPageTile);
            }
            dlg.CheckDlgButton(kPagePreview, true);
            dlg.press(kPagePreview);
            dlg.show();
            QApplication::processEvents();
            saved = dlg.grab().save(argv[shot]);
            dlg.press(IDCANCEL);
        });
        PrintLayout layout;
        PageSetupModel page;
        page.minimum = {250, 250, 250, 250};
        CDrawPageSetupDlg dlg(&layout, &page, -100, 0, 500, 400);
        const double visible[4] = {0, 0, 400, 300};
        dlg.set_drawing(visible, drawing);
        dlg.DoModal();
        if (!saved) return 1;
    }
    return win.grab().save(out) ? 0 : 1;
}
