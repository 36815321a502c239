// CDrawPageSetupDlg: "Drawing Page Setup", the image page setup with the drawing's
// layout: fit to page or tile at a scale, visible area, monochrome, X and Y offsets,
// and the columns and rows the layout gives. Its sample shows the sheet of all pages
// with the page grid when tiling.
#pragma once

#include <functional>

#include "shell/image/drawing_print.h"
#include "shell/image/page_setup_dlg.h"

class CDrawPageSetupDlg : public CPageLayoutDlg {
  public:
    // `layout` is edited in place only on OK; the area is the drawing's (drawing
    // units) that the layout covers.
    CDrawPageSetupDlg(PrintLayout* layout, PageSetupModel* page, double min_x, double min_y, double max_x,
                      double max_y, QWidget* parent = nullptr);

    // The drawing the sample previews: the area that "Visible area" chooses (the
    // constructor's area is the whole drawing's) and the drawing source of an area.
    void set_drawing(const double visible[4], std::function<DrawingSource(const double area[4])> source_of);

    const PrintLayout& working_layout() const { return layout_; }
    // The result of the last layout run (0, or kLayoutTooManyPages).
    int layout_result() const { return result_; }
    void paint_sample(QPainter& p, const QRectF& pane) override;

  protected:
    void CreateControls() override;
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCommand(int id) override;
    void layout_changed() override;
    bool paint_printed(QPainter& p, const QRectF& r) override;

  private:
    void read_layout_fields();
    void show_layout_fields();

    PrintLayout* target_;
    PrintLayout layout_;
    const double* area() const { return layout_.visible_only ? visible_ : area_; }
    // The collected drawing of the current area, made when first painted.
    const DrawingPicture* picture();

    double area_[4];
    double visible_[4];
    std::function<DrawingSource(const double area[4])> source_of_;
    DrawingPicture picture_;
    int picture_of_ = -1;  // the visible_only flag the picture was made for
    int result_ = 0;
    bool busy_ = false;
};

inline constexpr int kPageFit = 2369, kPageTile = 2374, kPageVisible = 2375, kPageMonochrome = 2163;
inline constexpr int kPageScale = 2370, kPageColumns = 2371, kPageRows = 2372, kPageXOffset = 2376,
                     kPageYOffset = 2377;
