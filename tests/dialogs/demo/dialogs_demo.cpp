// Shows the export file dialog with its options panel and the font dialog, and
// writes each window to a PNG in the folder given (for screenshots; not a test).
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QTimer>

#include "dialogs/export_panel.h"
#include "dialogs/xfile.h"
#include "dialogs/xfont.h"
#include "model/services/profile.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? argv[1] : ".";
    settings_open((QDir::tempPath() + "/zelo_dialogs_demo.ini").toStdString());
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
    return shots == 2 ? 0 : 1;
}
