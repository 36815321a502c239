// The 3D Text dialog: the TrueType font families and styles of the font dialog, a
// sample, and the text's size, depth, chamfer and text. text3d_dialog_install
// connects it to the 3D Text command's hook.
#pragma once

#include <string>
#include <vector>

#include "dialogs/dlg.h"
#include "model/font_outline/glyph_outline.h"

class VIEW;

inline constexpr int kDlgText3D = 317;      // "3D Text"
inline constexpr int kIdcText3DSize = 2208;     // "&Size:" label; edit = id + 1000
inline constexpr int kIdcText3DDepth = 2199;    // "&Depth:"
inline constexpr int kIdcText3DChamfer = 2200;  // "&Chamfer:"
inline constexpr int kIdcText3DText = 2247;     // "&Text"
inline constexpr int kIdcText3DFont = 43974;    // "&Font:" label
inline constexpr int kIdcText3DStyle = 45457;   // "Font st&yle:" label
inline constexpr int kIdcText3DFamilies = 1136; // family list
inline constexpr int kIdcText3DStyles = 1137;   // style list
inline constexpr int kIdcText3DSample = 1092;   // sample text
inline constexpr int kText3DEditOffset = 1000;

class CText3DDlg : public CDlg {
  public:
    // The font record is shared and edited on OK; the numbers start at 0, the text
    // empty.
    CText3DDlg(TextFontRecord* font, QWidget* parent);
    ~CText3DDlg() override;

    double size = 0, depth = 0, chamfer = 0;
    std::string text;

  protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FillStyles();
    void UpdateSample();
    TextFontRecord* font_;
    bool checking_ = false;  // a focus change while the data are read back
    std::vector<TextFontFamily> families_;
};

bool text3d_dialog_run(VIEW* view, TextFontRecord* font, std::string* text, double* size, double* depth,
                       double* chamfer);
void text3d_dialog_install();
