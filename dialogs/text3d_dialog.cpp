// The 3D Text dialog (declared in text3d_dialog.h).
#include "dialogs/text3d_dialog.h"

#include <QEvent>
#include <QFont>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <algorithm>
#include <cstring>

#include "commands/model3d/text3d.h"
#include "model/services/strtab.h"
#include "platform/dialog.h"
#include "resources/string_ids.h"
#include "shell/ddx.h"

CText3DDlg::CText3DDlg(TextFontRecord* font, QWidget* parent)
    : CDlg(kDlgText3D, parent), font_(font), families_(text_font_families()) {}

CText3DDlg::~CText3DDlg() = default;

void CText3DDlg::CreateControls() {
    // Each label right before its list, so that its mnemonic leads there.
    add_static(kIdcText3DFont, res_load_string(kIdcText3DFont), 0, 0, 2);
    auto* list = new QListWidget(this);
    register_control(kIdcText3DFamilies, list);
    add_static(kIdcText3DStyle, res_load_string(kIdcText3DStyle), 0, 2, 2);
    auto* styles = new QListWidget(this);
    register_control(kIdcText3DStyles, styles);
    for (const TextFontFamily& f : families_) list->addItem(QString::fromStdString(f.name));
    list->setMinimumHeight(140);
    styles->setMinimumHeight(140);
    // The grid of the base: lists under their labels.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        grid->addWidget(list, 1, 0, 1, 2);
        grid->addWidget(styles, 1, 2, 1, 2);
    }
    auto* sample = add_static(kIdcText3DSample, res_load_string(IDS_TEXT3D_SAMPLE_TEXT), 2, 0, 4);
    sample->setMinimumHeight(48);
    sample->setAlignment(Qt::AlignCenter);
    sample->setFrameShape(QFrame::Box);
    const struct {
        int id, row, col;
    } edits[] = {{kIdcText3DSize, 3, 0}, {kIdcText3DDepth, 3, 2}, {kIdcText3DChamfer, 4, 0}};
    for (const auto& e : edits) {
        add_static(e.id, res_load_string(static_cast<uint32_t>(e.id)), e.row, e.col);
        add_edit(e.id + kText3DEditOffset, e.row, e.col + 1)->installEventFilter(this);
    }
    add_static(kIdcText3DText, res_load_string(kIdcText3DText), 5, 0);
    add_edit(kIdcText3DText + kText3DEditOffset, 5, 1, 3)->setMaxLength(static_cast<int>(kText3dMaxChars));
    add_ok_cancel(6, 4);
    QObject::connect(list, &QListWidget::currentRowChanged, this, [this](int) {
        FillStyles();
        UpdateSample();
    });
    QObject::connect(styles, &QListWidget::currentRowChanged, this, [this](int) { UpdateSample(); });
}

void CText3DDlg::FillStyles() {
    auto* list = qobject_cast<QListWidget*>(GetDlgItem(kIdcText3DFamilies));
    auto* styles = qobject_cast<QListWidget*>(GetDlgItem(kIdcText3DStyles));
    if (!list || !styles) return;
    const QString keep = styles->currentItem() ? styles->currentItem()->text() : QString();
    styles->blockSignals(true);
    styles->clear();
    const int row = list->currentRow();
    if (row >= 0 && row < static_cast<int>(families_.size()))
        for (const std::string& s : families_[static_cast<size_t>(row)].styles) styles->addItem(QString::fromStdString(s));
    int pick = 0;
    for (int i = 0; i < styles->count(); ++i) {
        const QString s = styles->item(i)->text();
        if (s == keep) pick = i;
        else if (keep.isEmpty() && (s == "Book" || s == "Regular")) pick = i;
    }
    if (styles->count()) styles->setCurrentRow(pick);
    styles->blockSignals(false);
}

void CText3DDlg::UpdateSample() {
    auto* list = qobject_cast<QListWidget*>(GetDlgItem(kIdcText3DFamilies));
    auto* styles = qobject_cast<QListWidget*>(GetDlgItem(kIdcText3DStyles));
    auto* sample = qobject_cast<QLabel*>(GetDlgItem(kIdcText3DSample));
    if (!list || !sample || !list->currentItem()) return;
    QFont f(list->currentItem()->text());
    if (styles && styles->currentItem()) f.setStyleName(styles->currentItem()->text());
    f.setPixelSize(24);  // the sample's height
    sample->setFont(f);
}

bool CText3DDlg::eventFilter(QObject* watched, QEvent* event) {
    // Leaving one of the numbers reads the data back at once, so a value out of
    // range is reported as the field is left.
    if (event->type() == QEvent::FocusOut && isVisible() && !checking_) {
        checking_ = true;  // a refused value moves the focus back: one message
        UpdateData(true);
        checking_ = false;
    }
    return CDlg::eventFilter(watched, event);
}

void CText3DDlg::DoDataExchange(CDataExchange* dx) {
    auto* list = qobject_cast<QListWidget*>(GetDlgItem(kIdcText3DFamilies));
    auto* styles = qobject_cast<QListWidget*>(GetDlgItem(kIdcText3DStyles));
    if (!dx->saving() && list) {
        // The shared record's family, else the default sans face's.
        std::string want = font_->family;
        if (want.empty()) {
            TextFontRecord def;
            if (text_font_resolve(&def)) want = def.family;
        }
        int row = 0;
        for (size_t i = 0; i < families_.size(); ++i)
            if (families_[i].name == want) row = static_cast<int>(i);
        if (list->count()) list->setCurrentRow(row);
        FillStyles();
        if (styles && !font_->style.empty())
            for (int i = 0; i < styles->count(); ++i)
                if (styles->item(i)->text().toStdString() == font_->style) styles->setCurrentRow(i);
        UpdateSample();
    }
    DDX_Length(dx, kIdcText3DSize + kText3DEditOffset, size);
    DDV_MinMaxLength(dx, size, 0.0001, 10000);
    DDX_Length(dx, kIdcText3DDepth + kText3DEditOffset, depth);
    DDV_MinMaxLength(dx, depth, 0, 10000);
    DDX_Length(dx, kIdcText3DChamfer + kText3DEditOffset, chamfer);
    // A chamfer above half the depth, or below 0, would fold the letters.
    DDV_MinMaxLength(dx, chamfer, 0, depth / 2);
    DDX_Text(dx, kIdcText3DText + kText3DEditOffset, text);
    DDV_MaxChars(dx, text, static_cast<int>(kText3dMaxChars));
    if (dx->saving() && list && list->currentItem()) {
        TextFontRecord r;
        r.family = list->currentItem()->text().toStdString();
        if (styles && styles->currentItem()) r.style = styles->currentItem()->text().toStdString();
        const QString family = QString::fromStdString(r.family), style = QString::fromStdString(r.style);
        const int weight = QFontDatabase::weight(family, style);
        if (weight >= 0) r.weight = weight;
        r.italic = QFontDatabase::italic(family, style);
        text_font_resolve(&r);
        *font_ = r;
    }
}

bool text3d_dialog_run(VIEW* view, TextFontRecord* font, std::string* text, double* size, double* depth,
                       double* chamfer) {
    if (!text) return false;
    set_number_format_from(view, 4, 64);
    TextFontRecord edited = *font;
    CText3DDlg dlg(&edited, nullptr);
    dlg.size = *size, dlg.depth = *depth, dlg.chamfer = *chamfer;
    dlg.text = *text;
    if (dlg.DoModalHelp(kHelpText3D) != IDOK) return false;
    *size = dlg.size, *depth = dlg.depth, *chamfer = dlg.chamfer;
    *text = dlg.text;
    *font = edited;
    return true;
}

void text3d_dialog_install() { g_text3d_dialog = &text3d_dialog_run; }
