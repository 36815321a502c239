// CIView: the view of an image window. Shows the document's image one screen pixel
// per image pixel in a scrolling window dragged by hand, straight from the padded
// block (no copy) on true-colour screens and dithered row by row on screens of 16,
// 8 or 4 bits; copies the image to the clipboard and prints it fitted inside the
// margins.
#pragma once

#include <QAbstractScrollArea>
#include <functional>
#include <memory>
#include <string>

#include "shell/cmd_ids.h"
#include "shell/cmd_target.h"
#include "shell/core/page_layout.h"
#include "shell/core/page_setup.h"

class CImgDoc;
class QPrinter;

class CIView : public QAbstractScrollArea, public CCmdTarget {
  public:
    explicit CIView(CImgDoc* doc, QWidget* parent = nullptr);
    ~CIView() override;

    CImgDoc* document() const { return doc_; }
    // The screen depth painting assumes; 0 (the default) asks the screen.
    void set_depth(int depth) { depth_ = depth; viewport()->update(); }
    int depth() const;
    // The scroll position (image pixels) and the size that shows the whole image.
    QPoint scroll_position() const;
    void scroll_to(int x, int y);
    QSize image_size() const;

    // Puts the width x height pixels on the clipboard; false without an image or while
    // a job writes it.
    bool copy_to_clipboard();
    // A message of the render job: shown (as text, never as a format) when the view
    // has an image and kind is 1; the text is freed in every case.
    void job_message(std::unique_ptr<std::string> text, int kind);

    // The margins (thousandths of an inch) and orientation of the image page setup.
    Margins margins;
    int orientation = kPortrait;
    // Prints the image on one page, fitted inside the margins, in bands of rows, its
    // pixels as they are (no lossy compression). After each band `band_done` (may
    // be empty) gets the percentage of rows done and answers false to stop: the
    // print is then aborted (a print to a file leaves the file as it was). False
    // when nothing could be printed or it was stopped; *failure (may be null) then
    // gets 13, or the errno of a PDF file that could not be written whole.
    bool print(QPrinter* printer, const std::function<bool(int percent)>& band_done = {}, int* failure = nullptr);
    // Page Setup: the image page setup dialog over the margins and the printer's
    // minimum margins; true on OK (the margins and orientation are then taken).
    bool page_setup(QPrinter* printer);
    // Print and Print Preview through Qt's print dialogs (the printer is the
    // application's, kept by the caller). A print that fails (not one cancelled) is
    // told once with the print message (print_tell_failure).
    bool print_with_dialog(QPrinter* printer);
    bool print_preview(QPrinter* printer);

    bool OnCmdMsg(int id, CCmdUI* ui) override;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    void update_scroll_bars();
    void paint_dithered(class QPainter& p, const QRect& image_rect, int depth);

    CImgDoc* doc_;
    int depth_ = 0;
    QPoint anchor_;
    bool dragging_ = false;
};

// The rows of an image printed in one band.
inline constexpr int kImagePrintBandRows = 16;
// The status text while an image prints ("Printing %d %% done").
std::string image_print_progress_text(int percent);
// Test seam: answers Print's dialog (true: print) instead of showing it; an empty
// function restores the dialog.
void image_print_set_dialog_hook(std::function<bool(QPrinter*)> hook);

// The geometry of a printer in the units the page rules use.
PrinterGeometry printer_geometry(QPrinter* printer);
// The printer's page orientation (kPortrait or kLandscape).
int printer_orientation(QPrinter* printer);
// The page setup model of the printer's paper (as oriented) and minimum margins.
PageSetupModel page_setup_model_of(QPrinter* printer);
