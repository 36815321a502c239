// CDoc: the document of a drawing. Owns the MODEL (and through it everything in the
// drawing), keeps the model's modified state and its own in step, and opens and
// saves the drawing file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "graphics/view/view_host.h"
#include "shell/document.h"

class MODEL;

class CDoc : public CDocument {
  public:
    explicit CDoc(CDocTemplate* tmpl);
    ~CDoc() override;

    MODEL* drawing() const { return model_.get(); }
    // The engine side of the document (its MODEL's document record).
    DrawingDocument* engine_document() { return &engine_; }
    // The document of a drawing, or null.
    static CDoc* of(const MODEL* model);

    // Mirrors the flag into the model; nothing when there is no drawing or the flag
    // is unchanged.
    void SetModifiedFlag(bool flag) override;
    bool OnNewDocument() override;
    // Loads the file into a fresh model, which replaces (and frees) the old one.
    // A failed load shows "Can't load data... (code)" once, frees the views read
    // from the file and returns false.
    bool OnOpenDocument(const char* path) override;
    // Only drawing files (".qvm"); a failed write shows one message with the file
    // and the code and leaves the old file as it was. A file that changed on disk
    // since this document read or last wrote it (another program saved it) is
    // replaced only when the user says Yes; No saves nothing.
    bool OnSaveDocument(const char* path) override;
    bool DoSave(const char* path, bool replace) override;

    // Set while a render job holds the drawing.
    bool render_busy = false;

  private:
    // A fresh model bound to this document; false when it cannot be made.
    bool make_model();
    struct ModelDeleter {
        void operator()(MODEL* m) const;
    };
    DrawingDocument engine_;
    std::unique_ptr<MODEL, ModelDeleter> model_;
    // The file as this document last read or wrote it: its name, and its size,
    // modification time and identity then.
    struct DiskStamp {
        std::string path;
        int64_t size = -1, mtime_ns = 0;
        uint64_t device = 0, inode = 0;
        bool operator==(const DiskStamp&) const = default;
    };
    static DiskStamp disk_stamp(const std::string& path);
    DiskStamp seen_on_disk_;
};

// The name proposed for saving an untitled drawing: the title's first eight
// characters, cut before the first of " #%;/\", with ".qvm" appended.
std::string propose_save_name(const std::string& title);
// True when the path's extension is ".qvm" (any case).
bool is_drawing_path(const std::string& path);
