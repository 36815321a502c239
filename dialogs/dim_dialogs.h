// The dimension dialogs: the text and tolerances of a dimension before it is placed
// (template 313) and the dimension settings (template 314: sizes, style, end marks,
// frames, tolerance switches, colours, the query box). The commands reach them
// through the hooks of commands/dimension/dim_text.h, which dim_dialogs_install sets.
#pragma once

#include <cstdint>

#include "commands/dimension/dim_text.h"
#include "dialogs/dlg.h"

class ButtonEx;
class QButtonGroup;

inline constexpr int kTemplateDimText = 313;
inline constexpr int kTemplateDimSettings = 314;

// Template 313.
inline constexpr int kIdcDimText = 2210;
inline constexpr int kIdcDimUpper = 2211;
inline constexpr int kIdcDimLower = 2212;
inline constexpr int kIdcDimUpperOn = 2231;  // "&Up"
inline constexpr int kIdcDimLowerOn = 2229;  // "D&own"
inline constexpr int kIdcDimQuery = 2128;    // "&Query"
// Template 314.
inline constexpr int kIdcDimTextHeight = 2220;
inline constexpr int kIdcDimArrowSize = 2221;
inline constexpr int kIdcDimLineWidth = 2223;
inline constexpr int kIdcDimStyleFirst = 2225;  // 2225 horizontal, 2227 along the line
inline constexpr int kIdcDimTextColour = 2233;
inline constexpr int kIdcDimLineColour = 2235;
inline constexpr int kIdcDimArrowsFirst = 2237;  // 2237..2241
inline constexpr int kIdcDimLeaderFirst = 2242;  // 2242..2246
inline constexpr int kIdcDimFrameFirst = 2250;   // 2250..2253
inline constexpr int kIdcDimLFrameFirst = 2254;  // 2254..2257

// The text of one dimension: the text in the stroke font's code page is shown and
// edited as UTF-8 (the degree sign as U+00B0); at most 31 characters in each text.
class CDimTextDlg : public CDlg {
  public:
    CDimTextDlg(QWidget* parent, DimTextDialogData* data);

  protected:
    void CreateControls() override;
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnCommand(int id) override;

  private:
    void enable_tolerances();
    DimTextDialogData* data_;
    std::string text_, upper_, lower_;
};

// Picks a colour index for a colour button; true when it changed. Installed by the
// application (the material sheet's colour page); without one the buttons only show.
using DimColourChooser = bool (*)(QWidget* parent, int32_t* colour_index);
void dim_dialogs_set_colour_chooser(DimColourChooser chooser);

class CDimSettingsDlg : public CDlg {
  public:
    CDimSettingsDlg(QWidget* parent, DimSettingsValues* values);

  protected:
    void CreateControls() override;
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;

  private:
    void show_colours();
    void choose(int32_t* colour);
    DimSettingsValues* v_;
    QButtonGroup* rows_[5] = {};  // style, arrows, leader, dframe, lframe
    ButtonEx* text_colour_ = nullptr;
    ButtonEx* line_colour_ = nullptr;
};

// Installs both dialogs as the dimension commands' hooks.
void dim_dialogs_install();
