// The one-line text prompt (template 273) behind input_ask_string, and the
// installation of the dialogs' engine services.
#pragma once

#include <cstdint>
#include <string>

#include "dialogs/dlg.h"

inline constexpr int kIdcAskText = 2209;
inline constexpr int kIdcAskPrompt = 2373;

// Caption: the application name; the prompt (a string id) above the edit, which
// takes at most `limit` characters and has the focus.
class CInputStringDlg : public CDlg {
  public:
    CInputStringDlg(QWidget* parent, uint32_t prompt_id, std::string text, size_t limit);
    const std::string& text() const { return text_; }

  protected:
    void CreateControls() override;
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;

  private:
    std::string text_;
    uint32_t prompt_id_;
    size_t limit_;
};

// Installs the dialog behind input_ask_string (model/services/msgbox.h), owned by
// the main window, and the typed-entry dialogs of command steps (Enter Coordinate,
// Enter Number). Call once at start-up.
void dialogs_install_services();
