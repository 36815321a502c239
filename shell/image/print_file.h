// Printing to a PDF file without a cut file passing for a print. Qt's PDF writer
// neither fails nor tells when its file cannot be written (a full disk, the file size
// limit): the print ends as if done and the file is cut short. A print to a file
// therefore goes to the hidden temporary file of a save beside it
// (model/services/safe_file.h), which is checked once the painter has ended and only
// then renamed over the file; a print that cannot be written completely leaves the
// file as it was. A pipe, a folder or a read-only file is refused before printing.
#pragma once

#include <QString>
#include <string>

#include "model/services/safe_file.h"

class QPrinter;

// True while `printer` paints the pages of a print preview, not a print.
bool print_is_preview(QPrinter* printer);

// 0 when the PDF at `path` is complete: it ends with its end-of-file marker after
// the cross-reference table and trailer, and every object is where the table puts it
// (nothing lost or cut anywhere). Otherwise the error a write at the file's end meets
// now (ENOSPC, EFBIG, ...), or EIO when a write would succeed.
[[nodiscard]] int pdf_file_check(const std::string& path);

class PrintFile {
  public:
    // Points a print to a PDF file at a new temporary file; previews and printers
    // are left as they are.
    explicit PrintFile(QPrinter* printer);
    // A print not finished: its temporary file goes and the printer gets its file
    // name back.
    ~PrintFile();
    PrintFile(const PrintFile&) = delete;
    PrintFile& operator=(const PrintFile&) = delete;

    // 0, or the code that keeps the print from starting: the file is a pipe, a
    // folder or one this user may not write, or the temporary file could not be made.
    int error() const { return error_; }
    // After the painter's end: the checked file replaces the printer's file.
    // 0, or the reason it could not (pdf_file_check, or that of the rename).
    [[nodiscard]] int finish();

  private:
    void restore();

    QPrinter* printer_ = nullptr;
    QString name_;
    SafeWriter file_;
    int error_ = 0;
};
