// The floating property editor: a small tool window owned by the main window that
// hosts one settings page (CEditorDlg) or any other widget, shown, focused and
// hidden by a toggle, hidden rather than destroyed when closed (the page's data is
// applied first), and placed where it was last: profile section "Layout", key
// "0x%08X" of the owner's key word, value "x y" of its top-left screen position.
#pragma once

#include <QWidget>
#include <cstdint>

#include "platform/dialog.h"

class CEditorFrame : public QWidget {
  public:
    // `owner_key`: the word under which the position is saved; `parent`: the main
    // window (the frame floats above it).
    CEditorFrame(uint32_t owner_key, QWidget* parent);
    // Saves the position (when the window was made).
    ~CEditorFrame() override;

    // Takes `hosted` (the frame owns it from now on), titles the frame with string
    // `title_id` and shows it at the saved position (the pointer position when none
    // is saved), clamped to the screen. 1 on success, 0 when the title is missing or
    // `hosted` is null (then `hosted` is deleted).
    int Create(uint32_t title_id, QWidget* hosted);
    // Mode 2, or a hidden frame: show it. Mode 1, or mode 0 while the focus lies in
    // the frame: hide it (the page's data is applied). Mode 0 with the focus
    // elsewhere: give the frame the focus.
    void Toggle(int mode);
    // True when the focus widget is the frame or lies inside it.
    bool HasFocusInside() const;
    QWidget* hosted() const { return hosted_; }
    uint32_t owner_key() const { return key_; }
    // Writes the current position to the profile now.
    void SavePosition() const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    void Hide();
    uint32_t key_;
    QWidget* hosted_ = nullptr;
    bool created_ = false;
};

// A settings page shown in a CEditorFrame: OK saves its data (UpdateData(true)), Esc
// or Cancel hides the frame through Toggle(0).
class CEditorDlg : public CDialog {
  public:
    explicit CEditorDlg(int template_id) : CDialog(template_id, nullptr) {}
    // The frame around `window`, or null.
    static CEditorFrame* GetEditorFrame(QWidget* window);
    // Builds the controls and fills them (the frame shows the page without running it
    // modally). Call before handing the page to CEditorFrame::Create.
    void Prepare();

  protected:
    void OnOK() override;
    void OnCancel() override;

  private:
    bool prepared_ = false;
};
