// Shows the export file dialog with its options panel and the font dialog, and
// writes each window to a PNG in the folder given (for screenshots; not a test).
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QTimer>

#include <QCheckBox>

#include "dialogs/export_panel.h"
#include "dialogs/render_pages.h"
#include "platform/prop_sheet.h"
#include "dialogs/xfile.h"
#include "dialogs/xfont.h"
#include "model/services/profile.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? argv[1] : ".";
    (void)settings_open((QDir::tempPath() + "/zelo_dialogs_demo.ini").toStdString());
    app_profile_put_int("Export", "type", 4);
    app_profile_put_int("Export", "resolution", 5);
    // A folder with a few files to show.
    const QString folder = QDir::tempPath() + "/zelo_demo_drawings";
    QDir().mkpath(folder);
    for (const char* f : {"bracket.bmp", "housing.bmp", "site plan.bmp", "bracket.qvm"}) {
        QFile file(folder + "/" + f);
        file.open(QIODevice::WriteOnly);
        file.write("x");
    }
    int shots = 0;
    // The export dialog with "Windows Bitmap" at 300 dpi.
    xfile_set_test_hook([&](CXFile& dlg) {
        dlg.dialog()->setDirectory(folder);
        dlg.dialog()->selectFile("bracket");
        dlg.dialog()->resize(760, 560);
        dlg.dialog()->show();
        QApplication::processEvents();
        dlg.dialog()->grab().save(out + "/export_dialog.png");
        ++shots;
        return false;
    });
    ExportRequest r;
    export_dialog(297, 210, 120, 80, &r);
    xfont_set_test_hook([&](QFontDialog& dlg) {
        dlg.show();
        QApplication::processEvents();
        dlg.grab().save(out + "/font_dialog.png");
        ++shots;
        return false;
    });
    CXFont font(FontRecord{"DejaVu Sans", "Bold", 12, 700, false, "", 0});
    font.DoModal();
    // The render sheet's two pages (a camera with 30 frames chosen, Animation on to
    // an FLC) and the AVI compressor choice.
    platform_set_modal_hook([&](CDialog& d) {
        if (auto* sheet = dynamic_cast<CPropSheet*>(&d)) {
            sheet->show();
            QApplication::processEvents();
            sheet->grab().save(out + "/render_page.png");
            sheet->SetActivePage(1);
            auto* anim = static_cast<CAnimatPage*>(sheet->page(1));
            if (auto* check = qobject_cast<QCheckBox*>(anim->GetDlgItem(2171)); check && !check->isChecked())
                check->click();
            QApplication::processEvents();
            sheet->grab().save(out + "/animation_page.png");
            shots += 2;
        } else {
            d.show();
            QApplication::processEvents();
            d.grab().save(out + "/compressor_dialog.png");
            ++shots;
        }
        d.press(IDCANCEL);
    });
    RenderSettings settings;
    settings.light_mask = 0x0125;
    for (int i = 0; i < 16; ++i) settings.light_colours[i] = i == 5 ? 1 : 15;
    RenderJobOptions options;
    options.camera_name = "Camera01";
    options.animation = 1, options.first_frame = 1, options.last_frame = 30, options.output_kind = 1;
    run_render_sheet(nullptr, &settings, &options, {{"Camera01", 1.0, 30}, {"Camera02", 0.8, 1}}, 640, 480, {});
    choose_avi_compressor(nullptr, 1);
    return shots == 5 ? 0 : 1;
}
