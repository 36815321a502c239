// The framework dialog: a QDialog whose controls are addressed by id, with dialog
// data exchange and a test hook for every modal run.
//
// A dialog builds its controls in CreateControls (each control registered with its
// id), fills them in OnInitDialog through DoDataExchange, and on OK reads them
// back; a failed exchange keeps the dialog open with the focus on the bad control.
// A static text followed by another kind of control is that control's label: the
// letter after its '&' moves the focus there.
// DoModal runs the dialog, or, when a test hook is installed, hands the opened
// dialog to the hook, which fills controls and presses buttons; a hook that returns
// without ending the dialog has cancelled it.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QCheckBox;
class QRadioButton;
class QComboBox;
class CDialog;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Thrown by CDataExchange::Fail and caught by CDialog::UpdateData.
struct DdxFailure {};

// One exchange between a dialog's controls and its variables.
class CDataExchange {
  public:
    CDataExchange(CDialog* dlg, bool save) : dlg_(dlg), save_(save) {}
    CDialog* dialog() const { return dlg_; }
    // True while reading controls into variables (saving), false while filling them.
    bool saving() const { return save_; }
    // Names the control the next checks refer to; returns it (null when absent).
    QWidget* PrepareCtrl(int id);
    QWidget* PrepareEditCtrl(int id) { return PrepareCtrl(id); }
    int last_control() const { return last_id_; }
    // Ends the exchange: the focus goes to the last prepared control (its text
    // selected) and DdxFailure is thrown.
    [[noreturn]] void Fail();

  private:
    CDialog* dlg_;
    bool save_;
    int last_id_ = 0;
};

class CDialog : public QDialog {
  public:
    // `template_id` names the dialog (its layout and texts); `parent` may be null.
    explicit CDialog(int template_id, QWidget* parent = nullptr);
    ~CDialog() override;

    int template_id() const { return template_id_; }

    // Runs the dialog modally; returns the id that ended it (IDOK, IDCANCEL ...).
    virtual int DoModal();
    // Ends a running dialog with `result`.
    void EndDialog(int result);
    bool ended() const { return ended_; }
    int result_code() const { return result_; }

    // Exchanges all data; false (and nothing more) when a check failed.
    virtual bool UpdateData(bool save);

    // Controls by id.
    QWidget* GetDlgItem(int id) const;
    std::string GetDlgItemText(int id) const;
    void SetDlgItemText(int id, const std::string& text);
    bool IsDlgButtonChecked(int id) const;
    void CheckDlgButton(int id, bool checked);
    // Every control with its id, in creation order.
    const std::vector<std::pair<int, QWidget*>>& controls() const { return controls_; }

    // Presses the button `id` as a user would (runs OnOK, OnCancel or OnCommand).
    void press(int id);
    // Builds the controls now (once); for dialogs shown inside another window.
    void build_controls() { ensure_controls(); }

  protected:
    // Builds the controls (once, before the first run).
    virtual void CreateControls() {}
    // Called when the dialog opens; the default fills the controls. Return false when
    // the focus was set here.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange*) {}
    virtual void OnOK();
    virtual void OnCancel();
    // A button other than OK and Cancel was pressed.
    virtual void OnCommand(int) {}

    // Control builders: place a control at (row, column) of the dialog's grid and
    // register it under `id`. Buttons IDOK and IDCANCEL run OnOK and OnCancel.
    QLabel* add_static(int id, const std::string& text, int row, int col, int span = 1);
    QLineEdit* add_edit(int id, int row, int col, int span = 1);
    QPushButton* add_button(int id, const std::string& text, int row, int col, bool is_default = false);
    QCheckBox* add_check(int id, const std::string& text, int row, int col, int span = 1);
    QRadioButton* add_radio(int id, const std::string& text, int row, int col, int span = 1);
    QComboBox* add_combo(int id, int row, int col, int span = 1);
    // OK and Cancel in a row of their own.
    void add_ok_cancel(int row, int span);
    QWidget* register_control(int id, QWidget* widget);

    void accept() override { press(IDOK); }
    void reject() override { press(IDCANCEL); }

  private:
    void ensure_controls();

    int template_id_;
    int result_ = IDCANCEL;
    bool ended_ = false;
    bool built_ = false;
    QGridLayout* grid_;
    std::vector<std::pair<int, QWidget*>> controls_;
};

// The width (pixels) a dialog needs for its caption to show whole in a title bar;
// DoModal keeps every dialog at least this wide.
int dialog_caption_width(const QString& caption);

// The id of a control registered with a dialog (0 for other widgets).
int dlg_control_id(const QWidget* widget);

// Answers modal dialogs in tests: gets the opened dialog, drives it and returns.
using ModalDialogHook = std::function<void(CDialog& dlg)>;
ModalDialogHook platform_set_modal_hook(ModalDialogHook hook);

// Runs at the start of every data exchange of every dialog, filling or reading its
// controls: it sets up what the exchange routines share, so that a dialog shows its
// values the same way whichever dialog ran before it (the shell sets the number
// format of the active drawing there). Returns the hook it replaces.
using ExchangeSetupHook = void (*)(CDialog& dlg);
ExchangeSetupHook platform_set_exchange_setup_hook(ExchangeSetupHook hook);

// Text exchange of an edit control (UTF-8), and its length limit in characters.
void DDX_Text(CDataExchange* dx, int id, std::string& value);
void DDV_MaxChars(CDataExchange* dx, const std::string& value, int max_chars);
// Check box or radio button state.
void DDX_Check(CDataExchange* dx, int id, int& value);
