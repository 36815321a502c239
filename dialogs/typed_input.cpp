// Enter Number and Enter Coordinate.
#include "dialogs/typed_input.h"

#include <QLineEdit>
#include <charconv>
#include <cstring>

#include "model/services/msgbox.h"
#include "model/services/numfmt.h"
#include "model/services/prefs.h"
#include "model/services/strtab.h"
#include "model/services/utf8.h"
#include "resources/string_ids.h"

namespace {

constexpr int kTemplateNumber = 277;
constexpr int kTemplateCoord = 278;
constexpr uint32_t kStrIdEnterCorrectly = IDS_ENTER_VALUE_CORRECTLY;

void copy_out(const std::string& text, char* buffer, size_t length) {
    utf8_copy(buffer, length, text);
}

std::string copy_in(const char* buffer, size_t length) {
    return buffer && length ? std::string(buffer, strnlen(buffer, length)) : std::string();
}

// Two or three numbers separated by blanks or commas, as a point text.
bool plain_point(const std::string& typed, std::string* point) {
    double v[3] = {0, 0, 0};
    int n = 0;
    size_t i = 0;
    while (i < typed.size()) {
        while (i < typed.size() && (typed[i] == ' ' || typed[i] == '\t' || typed[i] == ',')) ++i;
        if (i >= typed.size()) break;
        size_t end = typed.find_first_of(" \t,", i);
        if (end == std::string::npos) end = typed.size();
        if (n == 3 || !real_parse(typed.substr(i, end - i).c_str(), &v[n])) return false;
        ++n;
        i = end;
    }
    if (n < 2) return false;
    *point = format_fixed4(v[0]) + " " + format_fixed4(v[1]) + " " + format_fixed4(v[2]);
    return true;
}

}  // namespace

std::string format_fixed4(double value) {
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 4);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0.0000");
}

void CTypedEntryDlg::setVisible(bool visible) {
    CDlg::setVisible(visible);
    if (!visible) return;
    // Showing a dialog focuses its focus widget as if tabbed to, and an edit tabbed to
    // selects its whole text: the next key would replace the character that opened
    // the dialog.
    if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(kIdcTypedText))) {
        edit->setFocus(Qt::OtherFocusReason);
        edit->deselect();
        edit->end(false);
    }
}

CNumberDlg::CNumberDlg(QWidget* view_window, uint32_t prompt_id, char* buffer, size_t length)
    : CTypedEntryDlg(kTemplateNumber, view_window),
      prompt_id_(prompt_id),
      buffer_(buffer),
      length_(length),
      text_(copy_in(buffer, length)) {}

void CNumberDlg::CreateControls() {
    add_static(kIdcTypedPrompt, "", 0, 0);
    add_edit(kIdcTypedText, 1, 0);
    add_ok_cancel(2, 1);
}

bool CNumberDlg::OnInitDialog() {
    CDlg::OnInitDialog();
    const char* prompt = res_find_string(prompt_id_);
    SetDlgItemText(kIdcTypedPrompt, prompt ? prompt : "");
    return false;
}

void CNumberDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, kIdcTypedText, text_);
    DDV_MaxChars(dx, text_, length_ > 1 ? static_cast<int>(length_ - 1) : 0);
    if (dx->saving()) copy_out(text_, buffer_, length_);
}

CCoordDlg::CCoordDlg(QWidget* view_window, const VIEW* view, char* buffer, size_t length)
    : CTypedEntryDlg(kTemplateCoord, view_window),
      view_(view),
      buffer_(buffer),
      length_(length),
      text_(copy_in(buffer, length)) {}

void CCoordDlg::CreateControls() {
    add_edit(kIdcTypedText, 0, 0, 2);
    add_radio(kIdcCoordUser, "&User", 1, 0);
    add_radio(kIdcCoordWorld, "&World", 1, 1);
    add_ok_cancel(2, 2);
}

void CCoordDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, kIdcTypedText, text_);
    DDV_MaxChars(dx, text_, length_ > 1 ? static_cast<int>(length_ - 1) : 0);
    if (!dx->saving()) {
        user_axes_ = g_prefs.coord_sys ? 1 : 0;
        CheckDlgButton(kIdcCoordUser, user_axes_ != 0);
        CheckDlgButton(kIdcCoordWorld, user_axes_ == 0);
        return;
    }
    user_axes_ = IsDlgButtonChecked(kIdcCoordWorld) ? 0 : 1;
    std::string point;
    CoordConverter converter = coord_dialog_converter();
    bool ok = converter ? converter(view_, text_, user_axes_ != 0, &point) : plain_point(text_, &point);
    // A point cut to the buffer would be another point: refused like a bad text.
    if (ok && point.size() >= length_) ok = false;
    if (!ok) {
        std::string message = res_load_string(kStrIdEnterCorrectly);
        msgbox_show(0, message.c_str(), kMbOk | kMbIconExclamation);
        dx->Fail();
    }
    g_prefs.coord_sys = user_axes_;
    copy_out(point, buffer_, length_);
}

bool enter_coordinate_dialog(int point, const VIEW* view, uint32_t prompt_id, char* buffer, size_t capacity,
                             QWidget* parent) {
    if (!buffer || capacity == 0) return false;
    if (point) {
        CCoordDlg dlg(parent, view, buffer, capacity);
        return dlg.DoModalHelp(kHelpTypedInput) == IDOK;
    }
    CNumberDlg dlg(parent, prompt_id, buffer, capacity);
    return dlg.DoModalHelp(kHelpTypedInput) == IDOK;
}
