// CImgDoc: the document of an image window. It holds one 24-bit image in a padded
// block (blue, green, red; rows top first, each the width rounded up to 4 pixels),
// opens it from an image file, saves it by extension or as CMYK plates, and refuses
// to touch the block while a render job writes it.
#pragma once

#include <cstdint>
#include <string>

#include "shell/cmd_ids.h"
#include "shell/document.h"

class CImgDoc : public CDocument {
  public:
    explicit CImgDoc(CDocTemplate* tmpl);
    ~CImgDoc() override;

    bool has_image() const { return width_ > 0 && height_ > 0 && pixels_; }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    // The padded block (owned); null without an image.
    uint8_t* pixels() const { return pixels_; }
    // Takes a padded block (new[]) of width x height (a render's image).
    void set_image(uint8_t* block, int32_t width, int32_t height);

    // Loads the image file; on failure shows "Can't load data... (code)" under ERROR
    // (running out of memory: the out-of-memory message) and answers false with the
    // document empty.
    bool OnOpenDocument(const char* path) override;
    // Writes the image in the format of the path's extension. A failed write is told
    // (ERROR with the code; running out of memory: the out-of-memory message) and
    // answers false: the file and the document's modified flag and name stay as they
    // were. No image: nothing to do, true. While busy: false.
    bool OnSaveDocument(const char* path) override;
    // A path with an image extension is used as it is; otherwise the image save
    // dialog proposes one. False on cancel or failure.
    bool DoSave(const char* path, bool replace) override;
    // Save (CMYK): asks for a Targa name and writes the four plates; false on cancel
    // or when a plate failed (told).
    bool SaveCmyk();

    // A render job writing into the block sets busy; a close while busy sets cancel.
    bool busy() const { return busy_; }
    void set_busy(bool on) { busy_ = on; }
    bool cancel_requested() const { return cancel_; }
    void request_cancel() { cancel_ = true; }
    // Save, Save As, Save (CMYK), Copy and Print need an image and no job running.
    bool can_use_image() const { return has_image() && !busy_; }

    bool OnCmdMsg(int id, CCmdUI* ui) override;

  private:
    void clear();
    // The bodies of open and save, which may throw std::bad_alloc.
    bool open_image(const char* path);
    bool save_image(const char* path);

    int32_t width_ = 0, height_ = 0;
    uint8_t* pixels_ = nullptr;
    bool busy_ = false;
    bool cancel_ = false;
};

