// CMainApp: the application object. Brings the modules up in order, makes the
// document templates and the main frame, opens the file of the command line or a
// new drawing, opens documents (a block file goes into the active drawing), and
// writes the settings back at exit. It also records the command that runs.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "shell/cmd_target.h"
#include "shell/cmdproc.h"
#include "shell/core/placement.h"

class CDocTemplate;
class CDocument;
class CDoc;
class CMainFrame;
class CSView;
class VIEW;

class AppViewHost;

class CMainApp : public CmdProcessor, public CCmdTarget {
  public:
    CMainApp();
    ~CMainApp() override;
    // The one application object (null outside its lifetime).
    static CMainApp* instance();

    // Start-up; `file` is the command line's file ("" for none). False ends the
    // program.
    bool InitInstance(const std::string& file);
    // Writes the settings back; the exit code.
    int ExitInstance();

    // Opens a file: a block file goes into the active drawing (null returned); an
    // open document is returned as it is; otherwise a new document reads it and its
    // stored views get frames. Null on failure.
    CDocument* OpenDocumentFile(const std::string& path);
    // A new, untitled drawing in a new window; null on failure.
    CDoc* NewDrawing();
    // Makes a frame and view for a drawing document: `taken` a VIEW read from its
    // file, else a new VIEW copied from `copy_from`. Null on failure.
    CSView* CreateDrawingFrame(CDoc* doc, VIEW* taken, const VIEW* copy_from);

    CMainFrame* main_frame() const { return frame_.get(); }
    CDocTemplate* drawing_template() const { return drawing_template_.get(); }
    CDocTemplate* image_template() const { return image_template_.get(); }
    // Opens an image file in an image window; installed by app_start from the image
    // window library. Without one, image files are refused with a message.
    using ImageOpener = std::function<CDocument*(CMainApp& app, const std::string& path)>;
    void SetImageOpener(ImageOpener opener) { image_opener_ = std::move(opener); }
    const std::string& version_text() const { return version_text_; }
    const WindowPlacement& placement() const { return placement_; }
    WindowPlacement& placement() { return placement_; }

    // Runs a command function of a drawing view; afterwards a window that was asked
    // to close while the command waited closes.
    int RunViewCommand(CSView* window, int id, CommandFn fn, void* arg);
    // A drawing view got the focus: a command of its drawing follows it, a tool is
    // told.
    void ViewActivated(CSView* view);
    // Closes the frames whose close waited for their command to unwind.
    void ClosePendingFrames();

    bool OnIdle(long count) override;

    // The display palette of the program: 256 colour words.
    const std::array<uint32_t, 256>& palette() const { return palette_; }

    bool OnCmdMsg(int id, CCmdUI* ui) override;

  private:
    void OnFileOpen();
    void OnAbout();

    std::unique_ptr<CDocTemplate> drawing_template_;
    std::unique_ptr<CDocTemplate> image_template_;
    std::unique_ptr<CMainFrame> frame_;
    std::string version_text_ = "3.00.020 C";
    WindowPlacement placement_;
    std::array<uint32_t, 256> palette_{};
    std::unique_ptr<AppViewHost> host_;
    ImageOpener image_opener_;
};

// The version text of two version words: "%d.%d.%X" of (ms >> 16, ms & 0xFFFF,
// ls >> 16).
std::string version_text_of(uint32_t ms, uint32_t ls);
// Copies `count` colour words (masked with 0x3FFFFFFF, then at most 256) of a colour
// table over the palette; entries beyond stay. The number copied.
int app_palette_create(std::array<uint32_t, 256>& palette, const uint32_t* table, uint32_t count);
