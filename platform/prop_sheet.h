// Property sheets: a dialog of tabbed pages, each page a dialog of its own with its
// controls by id and its data exchange. The sheet fills every page when it opens;
// leaving a page reads it back (a failed exchange keeps the page in front); OK reads
// every page and ends the sheet only when all of them read.
#pragma once

#include <string>
#include <vector>

#include "platform/dialog.h"

class QTabWidget;

class CPropPage : public CDialog {
  public:
    CPropPage(int template_id, const std::string& title);
    const std::string& title() const { return title_; }
    // The page comes to the front.
    virtual void OnSetActive() {}
    // The page is left: false keeps it in front. The default reads its data back.
    virtual bool OnKillActive() { return UpdateData(true); }
    // The sheet ends (OK or Cancel): stop what the page runs.
    virtual void OnSheetClose() {}

  private:
    std::string title_;
};

class CPropSheet : public CDialog {
  public:
    CPropSheet(int template_id, const std::string& caption, QWidget* parent = nullptr);
    // Adds a page (the sheet takes it as a child widget).
    void AddPage(CPropPage* page);
    int page_count() const { return static_cast<int>(pages_.size()); }
    CPropPage* page(int i) const { return pages_[i]; }
    int active_index() const { return active_; }
    // Brings page i to the front when the page in front may be left.
    bool SetActivePage(int i);

  protected:
    void CreateControls() override;
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

  private:
    std::string caption_;
    std::vector<CPropPage*> pages_;
    QTabWidget* tabs_ = nullptr;
    int active_ = -1;
    bool switching_ = false;
};
