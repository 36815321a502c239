// The Window menu's "More Windows..." list: every open window by its title, the
// active one chosen at first; OK (or a double click) names the window to activate.
#pragma once

#include <QStringList>

#include "platform/dialog.h"

class CWindowListDlg : public CDialog {
  public:
    // `titles` in the order the Window menu numbers them; `current` is chosen first.
    CWindowListDlg(QWidget* parent, QStringList titles, int current);

    // The list control's id.
    static constexpr int kIdcList = 1000;

    // The window chosen on OK (its index in `titles`), -1 when none.
    int chosen() const { return chosen_; }

  protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange* dx) override;

  private:
    QStringList titles_;
    int chosen_;
};
