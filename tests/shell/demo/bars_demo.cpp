// Shows the shell's bars in a main window and writes screenshots of it: the eleven
// toolbars docked as the table places them, the readout bar with a drawing view's
// values, the key-help bar, an "Edit" bar with the colour button, the customise
// dialog, a floating editor frame and a sheet of every icon.
//
// Usage: bars_demo <out_dir>    (run under xvfb-run; QT_SCALE_FACTOR=2 for 2x)
// Engine headers first: Qt defines "slots" as a macro.
#include "graphics/view/view.h"
#include "model/db/zobj.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QPainter>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>

#include "model/services/profile.h"
#include "platform/app.h"
#include "shell/button_ex.h"
#include "shell/core/toolbar_tables.h"
#include "shell/customize_dialog.h"
#include "shell/edit_bar.h"
#include "shell/editor_frame.h"
#include "shell/readout_bar.h"
#include "shell/toolbars.h"

namespace {

bool save(QWidget* w, const QString& path) {
    QPixmap pm = w->grab();
    bool ok = pm.save(path);
    std::printf("%s %s (%dx%d device pixels)\n", ok ? "wrote" : "FAILED", qPrintable(path), pm.width(), pm.height());
    return ok;
}

QPixmap icon_sheet(bool large) {
    std::vector<int> ids = toolbar_icon_ids();
    int size = large ? 24 : 16, cell = size + 40, cols = 12;
    int rows = int(ids.size() + cols - 1) / cols;
    qreal dpr = qApp->devicePixelRatio();
    QPixmap sheet(QSize(cols * cell, rows * (size + 18)) * dpr);
    sheet.setDevicePixelRatio(dpr);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    QFont f = p.font();
    f.setPixelSize(9);
    p.setFont(f);
    for (size_t i = 0; i < ids.size(); ++i) {
        int x = int(i % cols) * cell, y = int(i / cols) * (size + 18);
        toolbar_icon(ids[i], large).paint(&p, QRect(x + (cell - size) / 2, y + 2, size, size));
        p.drawText(QRect(x, y + size + 3, cell, 12), Qt::AlignCenter, QString::number(ids[i]));
    }
    return sheet;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bars_demo <out_dir>\n");
        return 2;
    }
    QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QString tmp = QDir::tempPath() + "/zelo_bars_demo.ini";
    QFile::remove(tmp);
    (void)settings_open(tmp.toStdString());
    auto app = platform_create_application(argc, argv);

    QMainWindow frame;
    frame.setWindowTitle("Zelo");
    frame.resize(1280, 800);
    auto* mdi = new QMdiArea(&frame);
    mdi->setBackground(QColor(0x80, 0x80, 0x80));
    frame.setCentralWidget(mdi);
    CReadoutBar* readout = readout_bar_install(&frame);
    key_help_bar_install(&frame);
    ToolbarSet bars(&frame, "3.0.20", [](int id) { std::printf("command %d\n", id); },
                    [](int id, ToolbarItemState* st) {
                        st->enabled = id != 32785;  // nothing to redo
                        st->checked = id == 15000 || id == 15825;
                    });
    bars.create(0);
    bars.update_actions();
    frame.statusBar()->showMessage("Second point");

    // A drawing window with its Edit bar.
    auto* child = new QMainWindow;
    auto* edit = new CEditBar(child);
    edit->set_layers({"Layer01", "Walls", "Doors"}, "Walls");
    edit->colour_button()->SetColour(12);
    child->addToolBar(edit);
    auto* canvas = new QLabel;
    canvas->setStyleSheet("background: white");
    child->setCentralWidget(canvas);
    child->setWindowTitle("Drawing1");
    mdi->addSubWindow(child)->resize(700, 450);

    VIEW view;
    LAYER layer;
    (void)layer.set_string(0, "Walls");
    view.current_layer = &layer;
    view.input_mode = 1;
    view.current_colour = 12;
    view.projection.scale = 1.0;
    view.cursor_pixel[0] = 250, view.cursor_pixel[1] = 130;
    view.last_point = {100, 100, 0};
    coord_readout_update(&view, 0);

    frame.show();
    QTimer::singleShot(300, [&] {
        save(&frame, out + "/main_window.png");
        save(readout, out + "/readout_bar.png");
        save(edit, out + "/edit_bar.png");
        icon_sheet(true).save(out + "/icons_large.png");
        icon_sheet(false).save(out + "/icons_small.png");
        CustomizeDialog dlg(bars.bar(15906), &frame);
        dlg.show();
        dlg.current_list()->setCurrentRow(2);
        QApplication::processEvents();
        save(&dlg, out + "/customize_dialog.png");
        dlg.close();

        auto* editor = new CEditorFrame(0x1234, &frame);
        auto* page = new QWidget;
        auto* lay = new QHBoxLayout(page);
        lay->addWidget(new QLabel("Fillet radius"));
        lay->addWidget(new QLineEdit("2.5"));
        editor->Create(147, page);
        QApplication::processEvents();
        save(editor, out + "/editor_frame.png");
        QApplication::quit();
    });
    int rc = QApplication::exec();
    view.current_layer = nullptr;
    return rc;
}
