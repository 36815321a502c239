// The one-line text prompt.
#include "dialogs/ask_string.h"

#include <QLineEdit>
#include <climits>

#include "model/services/msgbox.h"
#include "model/services/strtab.h"
#include "dialogs/typed_input.h"
#include "shell/app_view_host.h"
#include "shell/services.h"

namespace {
constexpr int kTemplateAskString = 273;
}

CInputStringDlg::CInputStringDlg(QWidget* parent, uint32_t prompt_id, std::string text, size_t limit)
    : CDlg(kTemplateAskString, parent), text_(std::move(text)), prompt_id_(prompt_id), limit_(limit) {}

void CInputStringDlg::CreateControls() {
    add_static(kIdcAskPrompt, "", 0, 0);
    add_edit(kIdcAskText, 1, 0);
    add_ok_cancel(2, 1);
}

bool CInputStringDlg::OnInitDialog() {
    CDlg::OnInitDialog();
    setWindowTitle(QString::fromStdString(res_load_string(kStrIdAppName)));
    const char* prompt = res_find_string(prompt_id_);
    SetDlgItemText(kIdcAskPrompt, prompt ? prompt : "");
    if (QWidget* edit = GetDlgItem(kIdcAskText)) edit->setFocus();
    return false;
}

void CInputStringDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, kIdcAskText, text_);
    DDV_MaxChars(dx, text_, limit_ > INT_MAX ? INT_MAX : static_cast<int>(limit_));
}

void dialogs_install_services() {
    input_string_set_hook([](uint32_t prompt_id, std::string& text, size_t limit) {
        CInputStringDlg dlg(shell_main_window(), prompt_id, text, limit);
        if (dlg.DoModal() != IDOK) return 0;
        text = dlg.text();
        return 1;
    });
    // Typed entry during a command step edits the step's own buffer within its
    // capacity: the coordinate dialog for a point step, the number dialog otherwise.
    app_set_typed_entry([](QWidget* owner, VIEW* view, int point, uint32_t prompt_id, char* buffer,
                           size_t capacity) {
        return enter_coordinate_dialog(point, view, prompt_id, buffer, capacity, owner);
    });
}
