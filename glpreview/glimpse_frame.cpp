// The preview window and Window, Glimpse.
#include "glpreview/glimpse_frame.h"

#include <QComboBox>
#include <QMainWindow>
#include <QMdiArea>
#include <QStatusBar>

#include "dialogs/dlg.h"
#include "glpreview/glimpse_view.h"
#include "graphics/view/view.h"
#include "model/math/result.h"
#include "model/services/msgbox.h"
#include "resources/string_ids.h"
#include "shell/ddx.h"
#include "shell/doc_template.h"
#include "shell/drawing_doc.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/mdiframe.h"
#include "shell/preview_bar.h"
#include "shell/sview.h"
#include "shell/toolbars.h"
#include "shell/ui_handlers.h"

namespace {

constexpr int kDlgGlimpseProperties = IDD_GLIMPSE_PROPERTIES;

// The Properties button: the detail of the preview in percent, 50 to 100.
class CGlimpsePropertiesDlg : public CDlg {
  public:
    explicit CGlimpsePropertiesDlg(double detail) : CDlg(kDlgGlimpseProperties, nullptr), detail_(detail) {}
    double detail_;

  protected:
    void CreateControls() override {
        add_static(1100, "&Detail (percent of the triangles, 50 to 100):", 0, 0);
        add_edit(1101, 0, 1);
        add_ok_cancel(1, 2);
    }
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Double(dx, 1101, detail_);
        // The reduction keeps at least half of each mesh's triangles.
        DDV_MinMaxDouble(dx, detail_, 50, 100);
    }
};

}  // namespace

CGlimpseFrame::CGlimpseFrame(MODEL* model, const VIEW* source, const std::string& title, QWidget* parent)
    : QMdiSubWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("GlimpseFrame"));
    setWindowIcon(window_icon(129));
    setWindowTitle(QString::fromStdString(title + " : Glimpse"));
    auto* inner = new QMainWindow(this);
    inner->setWindowFlags(Qt::Widget);
    bar_ = new CGlimpseBar(inner);
    inner->addToolBar(Qt::TopToolBarArea, bar_);
    view_ = new CGLimpseView(model, source, inner);
    inner->setCentralWidget(view_);
    setWidget(inner);
    resize(640, 480);
    fill_list();
    bar_->on_command = [this](int id) { command(id); };
    bar_->on_view_point = [this](const std::string& name) {
        view_->SelectViewPoint(name);
        fill_list();
    };
    view_->on_playing = [this](bool playing) {
        bar_->SetPlaying(playing);
        fill_list();  // Update camera only while looking from a camera
    };
    view_->on_view_points = [this] { fill_list(); };
    view_->on_drawing_closed = [this] { close(); };
}

void CGlimpseFrame::fill_list() {
    bar_->set_view_points(view_->view_points());
    const int i = bar_->view_points()->findText(QString::fromStdString(view_->view_point()));
    bar_->view_points()->setCurrentIndex(i);
    if (QAction* a = bar_->action_of(32788)) a->setEnabled(!view_->playing() && view_->looks_from_camera());
}

bool CGlimpseFrame::properties() {
    CGlimpsePropertiesDlg dlg(view_->detail());
    if (dlg.DoModalHelp(0) != IDOK) return false;
    view_->set_detail(dlg.detail_);
    return true;
}

void CGlimpseFrame::command(int id) {
    switch (id) {
        case 32803: properties(); break;
        case 32787:
        case 32788: {
            const int rc = id == 32787 ? view_->NewCamera() : view_->UpdateCamera();
            if (rc == kOutOfMemory) msgbox_ids(kStrIdError, IDS_NO_MEMORY);
            fill_list();
            break;
        }
        case 32802: {
            // The list's stand-in while docked at a side: the next view point.
            const std::vector<std::string> names = view_->view_points();
            if (names.empty()) break;
            size_t i = 0;
            while (i < names.size() && names[i] != view_->view_point()) ++i;
            view_->SelectViewPoint(names[(i + 1) % names.size()]);
            fill_list();
            break;
        }
        case 32804: view_->Play(); break;
        case 32805: view_->Pause(); break;
        case 32806: view_->Stop(); break;
        case 32807: view_->Previous(); break;
        case 32808: view_->Next(); break;
        default: break;
    }
}

CGlimpseFrame* glimpse_open() {
    CMainApp* app = CMainApp::instance();
    CMainFrame* main = app ? app->main_frame() : nullptr;
    CSView* active = main ? main->active_view() : nullptr;
    if (!active || !active->document()->drawing()) return nullptr;
    // The drawing template shows the preview view while its kind is 1.
    app->drawing_template()->view_kind = 1;
    auto* frame = new CGlimpseFrame(active->document()->drawing(), active->view(), active->document()->title());
    if (main->add_frame(frame))
        frame->showMaximized();
    else
        mdi_fit_inside(frame, frame->size());
    app->drawing_template()->view_kind = 0;
    return frame;
}

void glimpse_install() {
    frame_handler_set(15704, {[](CMainFrame*, int) { glimpse_open(); },
                              [](CMainFrame* f, int) { return f->active_view() != nullptr; }});
}
