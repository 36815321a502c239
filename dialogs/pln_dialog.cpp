// The polyline editor's corner dialog and its floating frame.
#include "dialogs/pln_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>

#include "graphics/view/view.h"
#include "model/services/strtab.h"
#include "shell/ddx.h"

CPlnEditorDlg::CPlnEditorDlg(CPlnEditor* tool, bool chamfer)
    : CEditorDlg(kTemplatePlnCorner), tool_(tool), chamfer_(chamfer) {}

void CPlnEditorDlg::CreateControls() {
    const int ids[3] = {kIdcFilletRadius, kIdcFirstTrim, kIdcSecondTrim};
    for (int i = 0; i < 3; ++i) {
        add_static(ids[i] + 1000, res_load_string(uint32_t(ids[i])), i, 0);
        QLineEdit* e = add_edit(ids[i], i, 1);
        e->setToolTip(QString::fromStdString(res_load_string(uint32_t(ids[i]))));
        e->setEnabled(chamfer_ ? ids[i] != kIdcFilletRadius : ids[i] == kIdcFilletRadius);
        QObject::connect(e, &QLineEdit::editingFinished, this, [this] { Apply(); });
    }
    QCheckBox* c = add_check(kIdcSeparate, res_load_string(kIdcSeparate), 3, 0, 2);
    c->setToolTip(QString::fromStdString(res_load_string(kIdcSeparate)));
    QObject::connect(c, &QCheckBox::clicked, this, [this] { Apply(); });
}

void CPlnEditorDlg::DoDataExchange(CDataExchange* dx) {
    VIEW* v = tool_ ? tool_->view : nullptr;
    set_number_format_from(v, 4, 64);
    if (!dx->saving() && v)
        for (int i = 0; i < 3; ++i) sizes_[i] = v->values3[i];
    const int ids[3] = {kIdcFilletRadius, kIdcFirstTrim, kIdcSecondTrim};
    for (int i = 0; i < 3; ++i) {
        DDX_Length(dx, ids[i], sizes_[i]);
        DDV_MinMaxLength(dx, sizes_[i], 0, 100000);
    }
    int separate = tool_ ? tool_->separate : 0;
    DDX_Check(dx, kIdcSeparate, separate);
    if (!dx->saving()) return;
    if (v)
        for (int i = 0; i < 3; ++i) v->values3[i] = sizes_[i];
    if (tool_) tool_->separate = separate;
}

bool CPlnEditorDlg::Apply() { return UpdateData(true); }

CPlnCornerFrame::CPlnCornerFrame(CPlnEditor* tool, QWidget* parent)
    : CEditorFrame(tool->command_id, parent), owner_(tool), page_(new CPlnEditorDlg(tool, tool->chamfer())) {
    page_->Prepare();
    if (!Create(kStrPlnCornerTitle, page_)) page_ = nullptr;
}

CPlnCornerFrame::~CPlnCornerFrame() {
    if (owner_ && owner_->tool_window == static_cast<CmdToolWindow*>(this)) owner_->tool_window = nullptr;
}

void CPlnCornerFrame::show(bool visible) { Toggle(visible ? 2 : 1); }

void CPlnCornerFrame::update_controls() {
    if (page_) page_->UpdateData(false);
}

namespace {
PlnCornerFrame* make_frame(CPlnEditor* tool) {
    QWidget* parent = QApplication::activeWindow();
    auto* f = new CPlnCornerFrame(tool, parent);
    if (!f->page()) {
        delete f;
        return nullptr;
    }
    return f;
}
}  // namespace

void pln_dialogs_install() { pln_set_frame_factory(&make_frame); }
