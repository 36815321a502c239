// The application object: start-up in module order, documents, exit.
#include "shell/mainapp.h"

#include "commands/edit/edit.h"

#include <strings.h>

#include <QApplication>
#include <QMdiArea>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "commands/dimension/dim_settings.h"
#include "commands/input/support.h"
#include "commands/input/zoom.h"
#include "commands/model3d/draw3d_settings.h"
#include "exchange/file_type.h"
#include "graphics/view/colours.h"
#include "graphics/view/view.h"
#include "graphics/view/view_gdi.h"
#include "model/db/zobj.h"
#include "model/font/strokefont.h"
#include "model/material/image/matrpmmf.h"
#include "model/rtc/rtc.h"
#include "model/services/log.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "model/services/profile.h"
#include "model/services/strtab.h"
#include "model/stream/iorec.h"
#include "platform/file_choice.h"
#include "resources/string_ids.h"
#include "shell/app_view_host.h"
#include "shell/cmd_ids.h"
#include "shell/core/shell_types.h"
#include "shell/doc_template.h"
#include "shell/drawing_doc.h"
#include "shell/mainframe.h"
#include "shell/mdiframe.h"
#include "shell/prefs_io.h"
#include "shell/recent_files.h"
#include "shell/services.h"
#include "shell/sview.h"
#include "shell/view_paint.h"
#include "zelo_version.h"

namespace {
CMainApp* g_app = nullptr;
}

std::string version_text_of(uint32_t ms, uint32_t ls) {
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%X", ms >> 16, ms & 0xFFFFu, ls >> 16);
    return text;
}

int app_palette_create(std::array<uint32_t, 256>& palette, const uint32_t* table, uint32_t count) {
    if (!table) return 0;
    const uint32_t n = std::min<uint32_t>(count & 0x3FFFFFFFu, uint32_t(palette.size()));
    for (uint32_t i = 0; i < n; ++i) palette[i] = table[i];
    return int(n);
}

CMainApp::CMainApp() : host_(std::make_unique<AppViewHost>(this)) {
    g_app = this;
    view_host_install(host_.get());
}

CMainApp::~CMainApp() {
    // Tools own windows whose parent is the main window: they go first.
    DeleteInputs();
    frame_.reset();
    if (view_host() == host_.get()) view_host_install(nullptr);
    if (g_app == this) g_app = nullptr;
}

CMainApp* CMainApp::instance() { return g_app; }

bool CMainApp::InitInstance(const std::string& file) {
    // Version words of the build.
    version_text_ = version_text_of(ZELO_VERSION_MS, ZELO_VERSION_LS);
    pref_int(0, version_text_.c_str(), "", int(ZELO_VERSION_LS & 0xFFFFu), 0);
    for (uint32_t id = IDS_FRONT; id <= IDS_BOTTOM; ++id)
        if (!res_find_string(id)) return false;

    // Module initialisers, in their order.
    fonts_init();
    rtc_register_all();
    MATRPMMF_register();
    view_type_register();
    prefs_load();
    draw3d_prefs_load();
    dim_prefs_load();
    dim_prefs_save();
    draw3d_prefs_save();
    prefs_save();
    display_colours_update();

    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect sg = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    placement_ = window_placement_load(sg.width(), sg.height());

    if (lzw_codecs_init() != 0) return false;

    uint32_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = display_colour_word(i);
    if (app_palette_create(palette_, table, 256) != 256) return false;
    recent_files().load();

    drawing_template_ = std::make_unique<CDocTemplate>(
        IDR_DRAWING_TYPE, std::vector<std::string>{".qvm", ".3ds", ".asc", ".dxf", ".dwg", ".nff"},
        [](CDocTemplate* t) { return std::unique_ptr<CDocument>(new CDoc(t)); });
    image_template_ = std::make_unique<CDocTemplate>(
        IDR_IMAGE_TYPE,
        std::vector<std::string>{".bmp", ".gif", ".jpg", ".jif", ".tga", ".cel", ".pic", ".fli", ".flc"},
        nullptr);

    frame_ = std::make_unique<CMainFrame>();
    if (!frame_->Create()) return false;
    SetMainWindow(frame_->win_id());
    // The desktop knows the program's file types (rewritten only when changed).
    const ShellTypesResult types =
        shell_types_register(shell_data_home(), QCoreApplication::applicationFilePath().toStdString());
    if (types.error) log_message(LogLevel::warning, "desktop file types not written (%d)", types.error);
    shell_set_main_window(frame_.get());
    const PlacementRect& pr = placement_.rect;
    if (placement_on_screen(pr, sg.width(), sg.height())) {
        frame_->place_outer(QRect(pr.left, pr.top, pr.width(), pr.height()));
    }
    if (placement_.maximised) {
        // Without a window manager a maximised window keeps its size: fill the screen.
        if (screen) frame_->setGeometry(screen->availableGeometry());
        frame_->showMaximized();
    }
    else
        frame_->show();

    if (file.empty()) {
        NewDrawing();
    } else {
        if (file_kind_of(file.c_str()) == FileKind::block) NewDrawing();
        OpenDocumentFile(file);
    }
    // The window manager may place (maximise) the main window only later.
    for (QMdiSubWindow* w : frame_->mdi_area()->subWindowList())
        if (auto* f = dynamic_cast<CMDIFrame*>(w)) frame_->keep_fitted(f);
    return true;
}

int CMainApp::ExitInstance() {
    // A tool's window saves its position when it goes: before the settings are written.
    DeleteInputs();
    clipboard_release();
    dim_prefs_save();
    draw3d_prefs_save();
    prefs_save();
    recent_files().save();
    (void)settings_flush();
    return 0;
}

CSView* CMainApp::CreateDrawingFrame(CDoc* doc, VIEW* taken, const VIEW* copy_from) {
    if (!frame_ || !doc) return nullptr;
    auto* frame = new CMDIFrame();
    auto* view = new CSView(doc, frame);
    frame->set_view(view);
    const bool maximise = frame_->add_frame(frame);
    if (!view->OnInitialUpdate(taken, copy_from)) {
        frame->close();
        return nullptr;
    }
    // A view read from a file keeps the state it was saved in.
    if (maximise && !(taken && taken->placement.show_state != 0)) frame->showMaximized();
    view->setFocus();
    return view;
}

CDoc* CMainApp::NewDrawing() {
    auto* doc = static_cast<CDoc*>(drawing_template_->CreateNewDocument());
    if (!doc) return nullptr;
    if (!doc->OnNewDocument()) {
        drawing_template_->RemoveDocument(doc);
        return nullptr;
    }
    if (!CreateDrawingFrame(doc, nullptr, nullptr)) return nullptr;
    return doc;
}

CDocument* CMainApp::OpenDocumentFile(const std::string& name) {
    // One name for one file, whatever folder the request was made from.
    const std::string path = full_path(name);
    CSView* active = frame_ ? frame_->active_view() : nullptr;
    if (file_kind_of(path.c_str()) == FileKind::block) {
        if (active && active->view()) {
            LoadBlockArgs args{active->view(), path.c_str()};
            RunViewCommand(active, ID_LOAD_BLOCK, &cmd_load_block, &args);
        }
        return nullptr;
    }
    CDocument* open = nullptr;
    const auto dc = drawing_template_->MatchDocType(path, &open);
    CDocument* img_open = nullptr;
    const auto ic = image_template_->MatchDocType(path, &img_open);
    if (dc == CDocTemplate::yesAlreadyOpen) {
        if (!open->views().empty()) frame_->mdi_area()->setActiveSubWindow(open->views().front()->frame());
        recent_files().add(open->path());
        return open;
    }
    if (ic > dc) {
        if (image_opener_) {
            try {
                return image_opener_(*this, path);
            } catch (const std::bad_alloc&) {
                shell_tell_out_of_memory();
                return nullptr;
            }
        }
        msgbox_printf(kStrIdError, "%s|%s", res_load_string(IDS_TYPE_NOT_SUPPORTED_YET).c_str(), path.c_str());
        return nullptr;
    }
    auto* doc = static_cast<CDoc*>(drawing_template_->CreateNewDocument());
    if (!doc) return nullptr;
    bool opened = false;
    try {
        opened = doc->OnOpenDocument(path.c_str());
    } catch (const std::bad_alloc&) {
        shell_tell_out_of_memory();
    }
    if (!opened) {
        drawing_template_->RemoveDocument(doc);
        return nullptr;
    }
    doc->SetPathName(path);
    // Every view stored in the drawing gets its window.
    std::vector<VIEW*> stored;
    MODEL* model = doc->drawing();
    if (ZDLIST* head = model->views) {
        ZDLIST* n = head;
        do {
            if (auto* v = rtc_cast<VIEW>(n); v && !v->window) stored.push_back(v);
            n = n->next;
        } while (n && n != head);
    }
    for (VIEW* v : stored) CreateDrawingFrame(doc, v, nullptr);
    if (stored.empty()) CreateDrawingFrame(doc, nullptr, nullptr);
    // Views saved maximised are maximised once all are there (a later window would
    // have taken the state from an earlier one).
    for (CSView* v : doc->views())
        if (v->view() && v->view()->placement.show_state == 2) v->frame()->showMaximized();
    for (CSView* v : doc->views()) {
        views_compute_extents(v->view());
        v->SetScrollBars();
    }
    return doc;
}

int CMainApp::RunViewCommand(CSView* window, int id, CommandFn fn, void* arg) {
    const int r = RunCommand(window, uint32_t(id), fn, arg);
    if (!command_running()) ClosePendingFrames();
    return r;
}

void CMainApp::ClosePendingFrames() {
    if (!frame_) return;
    for (QMdiSubWindow* w : frame_->mdi_area()->subWindowList()) {
        auto* f = dynamic_cast<CMDIFrame*>(w);
        if (!f || !f->close_pending()) continue;
        if (f->view() && command_window() == static_cast<CmdWindow*>(f->view())) continue;
        QPointer<CMDIFrame> p = f;
        QTimer::singleShot(0, f, [p] {
            if (p) p->close();
        });
    }
}

bool CMainApp::OnIdle(long count) {
    const bool more = CmdProcessor::OnIdle(count);
    if (!command_running()) ClosePendingFrames();
    return more;
}

void CMainApp::ViewActivated(CSView* view) {
    if (top_input()) {
        RetargetInput(view);
        return;
    }
    CmdWindow* w = command_window();
    if (!w || w == static_cast<CmdWindow*>(view) || !view->view()) return;
    VIEW* running = w->cmd_view();
    // A command moves between views of its own drawing only.
    if (!running || view_drawing(running) != view_drawing(view->view()) || running->nested_busy) return;
    if (auto* other = static_cast<CSView*>(running->window)) other->ShowMark(false);
    running->command_view = 0;
    view->view()->command_view = 1;
    MoveCommand(view);
}

void CMainApp::OnFileOpen() {
    FileChoiceRequest req;
    req.caption = "Open";
    req.filter = "Zelo Files (*.qvm *.QVM);;Models (*.qvm *.dxf *.dwg *.3ds *.asc *.nff *.mcr);;All files (*)";
    std::string path;
    if (!platform_choose_file(frame_.get(), req, &path)) return;
    OpenDocumentFile(path);
}

void CMainApp::OnAbout() {
    msgbox_printf(0, res_load_string(IDS_ABOUT_TEXT).c_str(), version_text_.c_str());
}

bool CMainApp::OnCmdMsg(int id, CCmdUI* ui) {
    if (id >= ID_FILE_MRU_FIRST && id <= ID_FILE_MRU_LAST) {
        const int i = id - ID_FILE_MRU_FIRST;
        if (ui) return true;
        if (i < int(recent_files().entries().size())) {
            const std::string path = recent_files().entries()[i];
            if (!OpenDocumentFile(path)) recent_files().remove(i);
        }
        return true;
    }
    switch (id) {
        case ID_FILE_NEW:
            if (!ui) NewDrawing();
            return true;
        case ID_FILE_OPEN:
            if (!ui) OnFileOpen();
            return true;
        case ID_APP_ABOUT:
            if (!ui) OnAbout();
            return true;
        case ID_APP_EXIT:
            if (!ui && frame_) frame_->close();
            return true;
        default: return false;
    }
}
