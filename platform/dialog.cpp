// The framework dialog: controls by id, data exchange and the modal run.
#include "platform/dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QFontMetrics>
#include <QVariant>
#include <algorithm>

namespace {

const char* const kIdProperty = "zelo_ctrl_id";

ModalDialogHook& modal_hook() {
    static ModalDialogHook hook;
    return hook;
}

ExchangeSetupHook g_exchange_setup = nullptr;

}  // namespace

QWidget* CDataExchange::PrepareCtrl(int id) {
    last_id_ = id;
    return dlg_->GetDlgItem(id);
}

void CDataExchange::Fail() {
    if (QWidget* w = dlg_->GetDlgItem(last_id_)) {
        w->setFocus();
        if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->selectAll();
    }
    throw DdxFailure{};
}

CDialog::CDialog(int template_id, QWidget* parent) : QDialog(parent), template_id_(template_id) {
    grid_ = new QGridLayout(this);
}

CDialog::~CDialog() = default;

int dlg_control_id(const QWidget* widget) {
    if (!widget) return 0;
    QVariant v = widget->property(kIdProperty);
    return v.isValid() ? v.toInt() : 0;
}

ModalDialogHook platform_set_modal_hook(ModalDialogHook hook) {
    return std::exchange(modal_hook(), std::move(hook));
}

void CDialog::ensure_controls() {
    if (built_) return;
    built_ = true;
    CreateControls();
    // A static text's '&' marks the key that moves to the control after it; without
    // that control as its buddy a label would show the '&' itself.
    for (size_t i = 0; i + 1 < controls_.size(); ++i)
        if (auto* label = qobject_cast<QLabel*>(controls_[i].second))
            if (!qobject_cast<QLabel*>(controls_[i + 1].second)) label->setBuddy(controls_[i + 1].second);
}

int dialog_caption_width(const QString& caption) {
    // A title bar shows the caption in a bold face between the window's icon and its
    // buttons (close, and often maximise and minimise), with gaps between them and
    // margins around the caption that window managers keep (a caption barely fitting
    // is cut): room for six squares of the title bar's height besides the text.
    QFont bold = QApplication::font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    return fm.horizontalAdvance(caption) + 6 * (fm.height() + 10);
}

int CDialog::DoModal() {
    ensure_controls();
    ended_ = false;
    result_ = IDCANCEL;
    OnInitDialog();
    // Never so narrow that the window manager cuts the caption.
    setMinimumWidth(std::max(minimumWidth(), dialog_caption_width(windowTitle())));
    if (const ModalDialogHook& hook = modal_hook()) {
        hook(*this);
        if (!ended_) EndDialog(IDCANCEL);
    } else if (!ended_) {
        exec();
    }
    return result_;
}

void CDialog::EndDialog(int result) {
    result_ = result;
    ended_ = true;
    if (isVisible()) done(result);
}

ExchangeSetupHook platform_set_exchange_setup_hook(ExchangeSetupHook hook) {
    return std::exchange(g_exchange_setup, hook);
}

bool CDialog::UpdateData(bool save) {
    if (g_exchange_setup) g_exchange_setup(*this);
    CDataExchange dx(this, save);
    try {
        DoDataExchange(&dx);
    } catch (const DdxFailure&) {
        return false;
    }
    return true;
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (UpdateData(true)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::press(int id) {
    if (ended_) return;
    if (id == IDOK) OnOK();
    else if (id == IDCANCEL) OnCancel();
    else OnCommand(id);
}

QWidget* CDialog::register_control(int id, QWidget* widget) {
    widget->setProperty(kIdProperty, id);
    controls_.emplace_back(id, widget);
    return widget;
}

QWidget* CDialog::GetDlgItem(int id) const {
    for (const auto& c : controls_)
        if (c.first == id) return c.second;
    return nullptr;
}

std::string CDialog::GetDlgItemText(int id) const {
    QWidget* w = GetDlgItem(id);
    QString text;
    if (auto* e = qobject_cast<QLineEdit*>(w)) text = e->text();
    else if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
    else if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
    else if (auto* c = qobject_cast<QComboBox*>(w)) text = c->currentText();
    return text.toStdString();
}

void CDialog::SetDlgItemText(int id, const std::string& utf8) {
    QWidget* w = GetDlgItem(id);
    QString text = QString::fromStdString(utf8);
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(text);
    else if (auto* c = qobject_cast<QComboBox*>(w)) c->setEditText(text);
}

bool CDialog::IsDlgButtonChecked(int id) const {
    auto* b = qobject_cast<QAbstractButton*>(GetDlgItem(id));
    return b && b->isChecked();
}

void CDialog::CheckDlgButton(int id, bool checked) {
    if (auto* b = qobject_cast<QAbstractButton*>(GetDlgItem(id))) b->setChecked(checked);
}

QLabel* CDialog::add_static(int id, const std::string& text, int row, int col, int span) {
    auto* w = new QLabel(QString::fromStdString(text), this);
    w->setTextFormat(Qt::PlainText);  // names with '<' are shown as typed, not as markup
    grid_->addWidget(w, row, col, 1, span);
    register_control(id, w);
    return w;
}

QLineEdit* CDialog::add_edit(int id, int row, int col, int span) {
    auto* w = new QLineEdit(this);
    grid_->addWidget(w, row, col, 1, span);
    register_control(id, w);
    return w;
}

QPushButton* CDialog::add_button(int id, const std::string& text, int row, int col, bool is_default) {
    auto* w = new QPushButton(QString::fromStdString(text), this);
    w->setDefault(is_default);
    w->setAutoDefault(is_default);
    grid_->addWidget(w, row, col);
    register_control(id, w);
    QObject::connect(w, &QPushButton::clicked, this, [this, id] { press(id); });
    return w;
}

QCheckBox* CDialog::add_check(int id, const std::string& text, int row, int col, int span) {
    auto* w = new QCheckBox(QString::fromStdString(text), this);
    grid_->addWidget(w, row, col, 1, span);
    register_control(id, w);
    return w;
}

QRadioButton* CDialog::add_radio(int id, const std::string& text, int row, int col, int span) {
    auto* w = new QRadioButton(QString::fromStdString(text), this);
    grid_->addWidget(w, row, col, 1, span);
    register_control(id, w);
    return w;
}

QComboBox* CDialog::add_combo(int id, int row, int col, int span) {
    auto* w = new QComboBox(this);
    grid_->addWidget(w, row, col, 1, span);
    register_control(id, w);
    return w;
}

void CDialog::add_ok_cancel(int row, int span) {
    auto* box = new QWidget(this);
    auto* lay = new QHBoxLayout(box);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addStretch(1);
    auto* ok = new QPushButton(QStringLiteral("OK"), box);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), box);
    lay->addWidget(ok);
    lay->addWidget(cancel);
    register_control(IDOK, ok);
    register_control(IDCANCEL, cancel);
    QObject::connect(ok, &QPushButton::clicked, this, [this] { press(IDOK); });
    QObject::connect(cancel, &QPushButton::clicked, this, [this] { press(IDCANCEL); });
    grid_->addWidget(box, row, 0, 1, span);
}

void DDX_Text(CDataExchange* dx, int id, std::string& value) {
    dx->PrepareEditCtrl(id);
    if (dx->saving()) value = dx->dialog()->GetDlgItemText(id);
    else dx->dialog()->SetDlgItemText(id, value);
}

void DDV_MaxChars(CDataExchange* dx, const std::string& value, int max_chars) {
    auto* edit = qobject_cast<QLineEdit*>(dx->dialog()->GetDlgItem(dx->last_control()));
    if (!dx->saving()) {
        if (edit && max_chars > 0) edit->setMaxLength(max_chars);
        return;
    }
    (void)value;
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
    dx->PrepareCtrl(id);
    if (dx->saving()) value = dx->dialog()->IsDlgButtonChecked(id) ? 1 : 0;
    else dx->dialog()->CheckDlgButton(id, value != 0);
}
