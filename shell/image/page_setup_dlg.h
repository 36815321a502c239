// CPageLayoutDlg: the page setup dialog of image windows ("Image Page Setup"): paper
// and orientation from QPageSize, margins in millimetres or inches kept in step by
// the window-free PageSetupModel, use full page, centre on page, and a sample page
// showing where the image prints (a crossed rectangle, or the image with Preview).
#pragma once

#include <QImage>

#include "platform/dialog.h"
#include "shell/core/page_setup.h"

class QComboBox;
class QLineEdit;

class CPageLayoutDlg : public CDialog {
  public:
    // `model` is edited in place only on OK; `image` (may be null) is the preview.
    CPageLayoutDlg(PageSetupModel* model, const QImage* image, int template_id = 321, QWidget* parent = nullptr);

    // Paper sizes offered (QPageSize ids) and the one chosen.
    int paper_index() const;
    bool landscape() const { return landscape_; }
    const PageSetupModel& working() const { return work_; }
    // The image rectangle inside the page rectangle `page` (the sample's drawing).
    static QRectF sample_image_rect(const PageSetupModel& m, const QRectF& page);

    // Paints the sample page into the pane's rectangle.
    virtual void paint_sample(class QPainter& p, const QRectF& pane);
    bool preview() const { return preview_; }

  protected:
    void CreateControls() override;
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCommand(int id) override;
    // Called after every change of the page or its margins.
    virtual void layout_changed() {}
    // Paints what prints into the sample's printed rectangle; false leaves the
    // crossed rectangle. The image dialog shows its image with Preview.
    virtual bool paint_printed(class QPainter& p, const QRectF& r);
    void refill(int except = -1);
    void repaint_sample();

    PageSetupModel work_;

  private:
    void typed(int field);
    void paper_changed();

    PageSetupModel* model_;
    bool preview_ = false;
    const QImage* image_;
    bool landscape_ = false;
    QComboBox* paper_ = nullptr;
    QLineEdit* fields_[6] = {};
    QWidget* sample_ = nullptr;
};

// The control ids of the dialog.
inline constexpr int kPageFieldIds[6] = {2367, 2368, 2176, 2177, 2217, 2178};
inline constexpr int kPagePaper = 1137, kPagePortrait = 1056, kPageLandscape = 1057;
inline constexpr int kPageMillimetres = 2071, kPageInches = 2072;
inline constexpr int kPageFullPage = 2263, kPageCentre = 2366, kPagePreview = 2084, kPageSample = 1080;
