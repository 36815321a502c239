// The dialogs of the 2D drawing commands: the method choice (a picture button per
// method, id = method + 100, Cancel stores nothing), the regular polygon's segment
// count, the text settings and the hatch style. The commands reach them through the
// view host's method_dialog and the Draw2dDialogs interface
// (commands/draw2d/dialog_hooks.h), which draw2d_dialogs_install sets up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/dlg.h"

class VIEW;
class FONTPATT;
class HATCHPATT;

inline constexpr int kIdcMethodFirst = 100;    // method buttons 100, 101, ...
inline constexpr int kIdcPolygonCount = 2420;  // edit
inline constexpr int kIdcTextFont = 2421;      // combo
inline constexpr int kIdcTextHeight = 2422;
inline constexpr int kIdcTextWidth = 2423;
inline constexpr int kIdcTextOblique = 2424;
inline constexpr int kIdcTextSlope = 2425;
inline constexpr int kIdcLineWidth = 2426;
inline constexpr int kIdcHatchPattern = 2427;  // combo; the first entry is "(none)"
inline constexpr int kIdcHatchScale = 2428;
inline constexpr int kIdcHatchAngle = 2429;

// The method choice: caption from `title_id` (40324 to 40328), one button per
// method with its picture and the text `choice_ids[i]` as tool tip.
class CMethodDlg : public CDlg {
  public:
    CMethodDlg(QWidget* parent, uint32_t title_id, const uint32_t* choice_ids, int count, int current);
    int chosen() const { return chosen_; }  // -1 until a method button is pressed

  protected:
    void CreateControls() override;
    bool OnInitDialog() override;
    void OnCommand(int id) override;

  private:
    uint32_t title_id_;
    std::vector<uint32_t> choices_;
    int current_;
    int chosen_ = -1;
};

// Runs the method dialog: the chosen method, or -1 when cancelled.
int method_dialog_run(QWidget* parent, uint32_t title_id, const uint32_t* choice_ids, int count, int current);

// The segment count of a regular polygon, 3 to 100.
class CPolygonDlg : public CDlg {
  public:
    CPolygonDlg(QWidget* parent, int count);
    int count() const { return count_; }

  protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange* dx) override;

  private:
    int count_;
    double value_;
};

// The view's text style: font among the drawing's fonts, height and width
// (lengths), oblique and slope (angles), line width. OK writes them to the VIEW.
class CTextSettingsDlg : public CDlg {
  public:
    CTextSettingsDlg(QWidget* parent, VIEW* view);

  protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange* dx) override;

  private:
    VIEW* view_;
    std::vector<FONTPATT*> fonts_;
    double height_, width_, oblique_, slope_, line_width_;
};

// The view's hatch style: pattern or none, scale, angle, line width.
class CHatchStyleDlg : public CDlg {
  public:
    CHatchStyleDlg(QWidget* parent, VIEW* view);

  protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange* dx) override;

  private:
    VIEW* view_;
    std::vector<HATCHPATT*> patterns_;
    double scale_, angle_, line_width_;
};

// Installs the dialogs for the 2D drawing commands (parent: the active window).
void draw2d_dialogs_install();
