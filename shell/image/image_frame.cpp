// Image window frames and opening image files into them.
#include "shell/image/image_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QMdiArea>
#include <QPrinter>
#include <QScrollBar>
#include <new>

#include "model/services/strtab.h"
#include "resources/string_ids.h"
#include "shell/cmd_ids.h"
#include "shell/cmd_target.h"
#include "shell/image/imgdoc.h"
#include "shell/image/iview.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/mdiframe.h"
#include "shell/services.h"
#include "shell/toolbars.h"

namespace {

struct Command {
    int id;
    uint32_t text_id;  // menu text: the second part of the command's string
    QKeySequence key;
};

// The menu text of a command string "prompt\nMenu text".
QString menu_text(uint32_t id) {
    const std::string s = res_load_string(id);
    const size_t nl = s.find('\n');
    return QString::fromStdString(nl == std::string::npos ? s : s.substr(nl + 1));
}

}  // namespace

QPrinter* image_printer() {
    static QPrinter* printer = new QPrinter(QPrinter::HighResolution);
    return printer;
}

CImgFrame::CImgFrame(std::unique_ptr<CImgDoc> doc, QWidget* parent)
    : QMdiSubWindow(parent), doc_(std::move(doc)), view_(new CIView(doc_.get())) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(view_);
    setWindowIcon(window_icon(130));
    setWindowTitle(QString::fromStdString(doc_->title()));
    view_->setContextMenuPolicy(Qt::ActionsContextMenu);
    const Command commands[] = {
        // Ctrl+S, Ctrl+Ins and Ctrl+P are the main window's keys, which reach this
        // window through the routing; the same keys here would make them ambiguous.
        {ID_FILE_SAVE, IDS_IMG_MENU_SAVE, {}},
        {ID_FILE_SAVE_AS, IDS_IMG_MENU_SAVE_AS, QKeySequence::SaveAs},
        {ID_SAVE_CMYK, ID_SAVE_CMYK, {}},
        {ID_EDIT_COPY, IDS_IMG_MENU_COPY, {}},
        {ID_FILE_PAGE_SETUP, IDS_IMG_MENU_PAGE_SETUP, {}},
        {ID_FILE_PRINT, IDS_IMG_MENU_PRINT, {}},
        {ID_FILE_PRINT_PREVIEW, IDS_IMG_MENU_PREVIEW, {}},
        {ID_WINDOW_FIT_IMAGE, ID_WINDOW_FIT_IMAGE, {}},
    };
    for (const Command& c : commands) {
        auto* a = new QAction(menu_text(c.text_id), view_);
        a->setShortcut(c.key);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        const int id = c.id;
        connect(a, &QAction::triggered, this, [this, id] { run(id); });
        view_->addAction(a);
    }
}

CImgFrame::~CImgFrame() = default;

bool CImgFrame::OnCmdMsg(int id, CCmdUI* ui) {
    switch (id) {
        case ID_WINDOW_NEW:
        case ID_GLIMPSE:
            if (ui) ui->Enable(false);
            return true;
        case ID_WINDOW_FIT_IMAGE:
        case ID_FILE_CLOSE:
        case ID_CLOSE_WINDOW:
        case ID_NEXT_WINDOW:
        case ID_PREV_WINDOW:
            if (!ui) run(id);
            return true;
        default: {
            CCmdUI probe;
            probe.id = id;
            if (!view_->OnCmdMsg(id, &probe)) return false;
            if (ui)
                *ui = probe;
            else if (probe.enabled)
                run(id);
            return true;
        }
    }
}

bool CImgFrame::run(int id) {
    // Commands come from Qt's signals, which must not be left by an exception: running
    // out of memory (a dialog, a name, a message) ends the command with the message.
    try {
        return run_command(id);
    } catch (const std::bad_alloc&) {
        shell_tell_out_of_memory();
        return false;
    }
}

bool CImgFrame::run_command(int id) {
    CCmdUI ui;
    ui.id = id;
    switch (id) {
        case ID_WINDOW_FIT_IMAGE:
            fit_to_image();
            return true;
        case ID_FILE_CLOSE:
        case ID_CLOSE_WINDOW:
            return close();
        case ID_NEXT_WINDOW:
        case ID_PREV_WINDOW:
            if (QMdiArea* area = mdiArea()) {
                if (id == ID_NEXT_WINDOW)
                    area->activateNextSubWindow();
                else
                    area->activatePreviousSubWindow();
            }
            return true;
        case ID_FILE_PAGE_SETUP:
            if (!doc_->can_use_image()) return false;
            return view_->page_setup(image_printer());
        case ID_FILE_PRINT:
            return view_->print_with_dialog(image_printer());
        case ID_FILE_PRINT_PREVIEW:
            return view_->print_preview(image_printer());
        default:
            if (!view_->OnCmdMsg(id, &ui) || !ui.enabled) return false;
            view_->OnCmdMsg(id, nullptr);
            setWindowTitle(QString::fromStdString(doc_->title()));
            return true;
    }
}

void CImgFrame::fit_to_image() {
    const QSize img = view_->image_size();
    const QSize chrome = size() - view_->viewport()->size();
    // Moved back where the larger size would pass the area's right or bottom edge.
    mdi_fit_inside(this, img + chrome);
}

void CImgFrame::closeEvent(QCloseEvent* e) {
    if (doc_->busy()) {
        // The job stops at its next row; the window closes afterwards.
        doc_->request_cancel();
        e->ignore();
        return;
    }
    if (!doc_->SaveModified()) {
        e->ignore();
        return;
    }
    e->accept();
}

CDocument* image_window_open(CMainApp& app, const std::string& path) {
    auto doc = std::make_unique<CImgDoc>(app.image_template());
    if (!doc->OnOpenDocument(path.c_str())) return nullptr;
    doc->SetPathName(path);
    CImgDoc* d = doc.get();
    CMainFrame* main = app.main_frame();
    auto* frame = new CImgFrame(std::move(doc));
    bool maximise = false;
    if (main)
        maximise = main->add_frame(frame);
    else
        frame->show();
    frame->fit_to_image();
    if (maximise) frame->showMaximized();
    return d;
}
