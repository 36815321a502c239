// The dialogs of typed input: Enter Number (template 277) and Enter Coordinate
// (template 278), opened when the user starts typing during a command.
//
// Both edit a caller's text buffer: on OK it holds the typed values (Enter Number:
// the text, which the edit keeps to the buffer; Enter Coordinate: the point text,
// refused when it does not fit), on Cancel it is unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dialogs/dlg.h"
#include "model/services/numfmt.h"
#include "resources/string_ids.h"

class VIEW;

inline constexpr int kIdcTypedText = 2209;    // the edit of both dialogs
inline constexpr int kIdcTypedPrompt = 2373;  // the prompt of Enter Number
inline constexpr int kIdcCoordUser = IDC_COORD_USER;    // Enter Coordinate: in the view's axes
inline constexpr int kIdcCoordWorld = IDC_COORD_WORLD;  // Enter Coordinate: in drawing axes
inline constexpr uint32_t kHelpTypedInput = 40097;

// The converter of typed coordinates (CoordConverter, coord_dialog_set_converter)
// is declared in model/services/numfmt.h, so that the command layer can install it
// without the window side.

// The base of the dialogs that a typed character opens: the edit starts with that
// character and typing goes on after it, nothing selected.
class CTypedEntryDlg : public CDlg {
  public:
    using CDlg::CDlg;
    void setVisible(bool visible) override;
};

// Enter Number: the prompt (a string id) above the edit.
class CNumberDlg : public CTypedEntryDlg {
  public:
    CNumberDlg(QWidget* view_window, uint32_t prompt_id, char* buffer, size_t length);

  protected:
    void CreateControls() override;
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;

  private:
    uint32_t prompt_id_;
    char* buffer_;
    size_t length_;
    std::string text_;
};

// Enter Coordinate: the edit and the choice of axes (the "CoordSys" preference).
// Without an installed converter the text must hold two or three numbers
// (separated by blanks or commas; a missing z is 0).
class CCoordDlg : public CTypedEntryDlg {
  public:
    CCoordDlg(QWidget* view_window, const VIEW* view, char* buffer, size_t length);

  protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange* dx) override;

  private:
    const VIEW* view_;
    char* buffer_;
    size_t length_;
    std::string text_;
    int user_axes_ = 1;
};

// Runs Enter Coordinate when `point` is set, otherwise Enter Number under
// `prompt_id`, with help 40097 and the buffer's text as the first text. True on
// OK, the buffer then holding the typed values.
bool enter_coordinate_dialog(int point, const VIEW* view, uint32_t prompt_id, char* buffer, size_t capacity,
                             QWidget* parent = nullptr);

// The text of `value` as "%.4lf" with a '.' whatever the locale.
std::string format_fixed4(double value);
