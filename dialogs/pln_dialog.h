// The corner dialog of the polyline editor's chamfer and fillet tools (template
// 343): fillet radius, the two trim sizes and "Separate", in a floating editor
// frame owned by the tool. Every change applies at once.
#pragma once

#include "commands/pledit/pln_editor.h"
#include "resources/string_ids.h"
#include "shell/editor_frame.h"

inline constexpr int kTemplatePlnCorner = 343;
inline constexpr int kIdcFirstTrim = 2563;
inline constexpr int kIdcSecondTrim = 2564;
inline constexpr int kIdcFilletRadius = 2565;
inline constexpr int kIdcSeparate = 2566;
inline constexpr uint32_t kStrPlnCornerTitle = IDS_PLN_CORNER;  // "Corner"

class CPlnEditorDlg : public CEditorDlg {
  public:
    CPlnEditorDlg(CPlnEditor* tool, bool chamfer);
    // Applies the page to the tool's VIEW and separate flag; false when a value
    // does not read or is out of range (nothing applied then).
    bool Apply();

  protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange* dx) override;

  private:
    CPlnEditor* tool_;
    bool chamfer_;
    double sizes_[3] = {5, 4, 4};
};

// The frame the tool owns: a CEditorFrame hosting the page.
class CPlnCornerFrame : public CEditorFrame, public PlnCornerFrame {
  public:
    CPlnCornerFrame(CPlnEditor* tool, QWidget* parent);
    // A frame deleted by its parent window rather than by its tool is forgotten by
    // the tool, which would otherwise delete it again.
    ~CPlnCornerFrame() override;
    CPlnEditorDlg* page() const { return page_; }
    void show(bool visible) override;
    void update_controls() override;

  private:
    CCmdInput* owner_;
    CPlnEditorDlg* page_ = nullptr;
};

// Installs the frame factory of the chamfer and fillet tools.
void pln_dialogs_install();
