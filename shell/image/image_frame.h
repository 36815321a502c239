// The frame of an image window in the main window's MDI area: it owns the image
// document and its view, shows the document's title, offers the image commands on
// the view's context menu and answers them from the main frame's menu bar and keys
// (Save, Save As, Save (CMYK), Copy, Page Setup, Print, Print Preview, Fit to
// image), and guards closing: while a render job writes
// the image a close only asks the job to stop; otherwise the document may ask to
// save first.
#pragma once

#include <QMdiSubWindow>
#include <memory>
#include <string>

#include "shell/cmd_target.h"

class CDocument;
class CImgDoc;
class CIView;
class CMainApp;
class QPrinter;

class CImgFrame : public QMdiSubWindow, public CCmdTarget {
  public:
    explicit CImgFrame(std::unique_ptr<CImgDoc> doc, QWidget* parent = nullptr);
    ~CImgFrame() override;
    CImgDoc* document() const { return doc_.get(); }
    CIView* view() const { return view_; }
    // Resizes the frame to show the whole image (within the MDI area).
    void fit_to_image();
    // Runs an image command by id (the ids of the menus); false when disabled.
    bool run(int id);
    // The main frame's commands while this window is active: Save, Save As, Save
    // (CMYK), Copy, Print, Print Preview and Page Setup (disabled while a render job
    // writes the image), Close, Fit to image and the window keys; New Window and
    // Glimpse disabled.
    bool OnCmdMsg(int id, CCmdUI* ui) override;

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    bool run_command(int id);  // run's body, which may throw std::bad_alloc

    std::unique_ptr<CImgDoc> doc_;
    CIView* view_;
};

// The application's printer of image windows (made on first use).
QPrinter* image_printer();

// Opens `path` in a new image window of the application's main frame; null (after
// the document's message) when the file cannot be read.
CDocument* image_window_open(CMainApp& app, const std::string& path);

inline constexpr int ID_WINDOW_FIT_IMAGE = 32780;
