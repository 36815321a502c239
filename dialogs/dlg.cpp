// The dialog base: texts from the string table and the help context.
#include "dialogs/dlg.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "model/services/strtab.h"

namespace {

uint32_t g_help_context = 0;

bool is_edit_or_combo(const QWidget* w) {
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QTextEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w);
}

}  // namespace

void dlg_load_control_texts(QWidget* window) {
    if (!window) return;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        int id = dlg_control_id(w);
        if (id <= 0 || (id >= 1024 && id <= 1279) || is_edit_or_combo(w)) continue;
        const char* text = res_find_string(static_cast<uint32_t>(id));
        if (!text) continue;
        QString t = QString::fromUtf8(text);
        if (auto* label = qobject_cast<QLabel*>(w)) label->setText(t);
        else if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setText(t);
        else if (auto* group = qobject_cast<QGroupBox*>(w)) group->setTitle(t);
    }
}

uint32_t dlg_help_context() { return g_help_context; }

CDlg::CDlg(int template_id, QWidget* parent) : CDialog(template_id, parent) {}

int CDlg::DoModalHelp(uint32_t help_id) {
    uint32_t previous = g_help_context;
    g_help_context = help_id;
    int result = DoModal();
    g_help_context = previous;
    return result;
}

bool CDlg::UpdateData(bool save) {
    if (cancelled_) return true;
    return CDialog::UpdateData(save);
}

bool CDlg::OnInitDialog() {
    cancelled_ = false;
    if (const char* caption = res_find_string(static_cast<uint32_t>(template_id())))
        setWindowTitle(QString::fromUtf8(caption));
    dlg_load_control_texts(this);
    return CDialog::OnInitDialog();
}

void CDlg::OnCancel() {
    cancelled_ = true;
    CDialog::OnCancel();
}
