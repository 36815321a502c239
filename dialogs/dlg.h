// CDlg: the base of every modal dialog of the program. On opening it takes its
// caption (keyed by the template id) and its controls' texts (keyed by control id)
// from the string table, and it runs with a help context.
#pragma once

#include <cstdint>

#include "platform/dialog.h"

// Sets the text of each control of `window` that has a string-table entry under
// its id. Ids 1024 to 1279 and edit and combo boxes are skipped; controls without
// an entry keep their text.
void dlg_load_control_texts(QWidget* window);

// The help context of the dialog running now (0 when none).
uint32_t dlg_help_context();

class CDlg : public CDialog {
  public:
    CDlg(int template_id, QWidget* parent);

    // Runs the dialog modally under the help context `help_id` (restored after).
    int DoModalHelp(uint32_t help_id);
    // Once the dialog was cancelled, does nothing and returns true; otherwise
    // exchanges the data.
    bool UpdateData(bool save) override;

  protected:
    bool OnInitDialog() override;
    void OnCancel() override;

  private:
    bool cancelled_ = false;
};
