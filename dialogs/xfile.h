// The one file dialog of the program: a non-native QFileDialog built from a table of
// file types. It preselects the type chosen last time for its purpose, starts in the
// folder remembered for that type and purpose, completes the name with the chosen
// type's extension, asks before replacing a file (on the completed name), and
// answers the row of the table the final extension matches. The entry points below
// wrap it for each purpose; a test hook answers instead of a user.
#pragma once

#include <functional>
#include <string>

#include "shell/core/file_types.h"

class QFileDialog;
class QWidget;

class CXFile {
  public:
    // `name`: the caller's name (an open dialog empties it; a save dialog starts from
    // its file part). `table` may be null (no table: any file, answer 0). `key` names
    // the purpose for the folder memory ("Load", "Save", "Img", "Mov" or "").
    CXFile(std::string* name, const FileTypeTable* table, bool open, uint32_t title_id,
           uint32_t preferred, uint32_t fallback, const char* key, QWidget* parent = nullptr);
    ~CXFile();
    CXFile(const CXFile&) = delete;
    CXFile& operator=(const CXFile&) = delete;

    // Runs the dialog: the chosen row, 0 without a table, -1 on cancel, on an
    // unknown extension (after a warning), on a name too long (after a message) or
    // when the user declines to replace an existing file.
    int DoModalType();

    // Adds a panel under the dialog's own controls (the export options).
    void add_panel(QWidget* panel);
    QFileDialog* dialog() const { return dlg_; }
    int preselected_row() const { return preselected_; }
    const std::string& initial_folder() const { return folder_; }
    const std::string& initial_name() const { return initial_name_; }
    // The row the user has selected in the type list now.
    int current_row() const;

    // Test hook side: what the user chose (path, selected row of the type list).
    void choose(const std::string& path, int row);

  private:
    std::string* name_;
    const FileTypeTable* table_;
    bool open_;
    std::string key_, folder_, initial_name_;
    int preselected_ = 0;
    QFileDialog* dlg_;
    std::string chosen_;
    int chosen_row_ = -1;
};

// Answers file dialogs in tests: gets the dialog before it would run; returns true
// for OK after calling choose(), false for Cancel.
using FileDialogHook = std::function<bool(CXFile& dlg)>;
FileDialogHook xfile_set_test_hook(FileDialogHook hook);

// Entry points. Each answers as CXFile::DoModalType's row turned into the row's
// file type code (or a flag), and remembers the chosen type in the settings.
//   open drawing (import false) / import model (true): type code or -1.
int open_drawing_dialog(std::string* name, bool import, QWidget* parent = nullptr);
//   load a block or text file of `pattern` ("*.mcr", "*.txt"): true unless cancelled.
bool load_text_dialog(std::string* name, const char* pattern, QWidget* parent = nullptr);
//   save as one type ("*.qvm", "*.mcr", "*.tga"): true unless cancelled.
bool single_type_save_dialog(std::string* name, const char* pattern, QWidget* parent = nullptr);
//   texture and image files: type code; on cancel the name is emptied and -1 answered.
int texture_file_dialog(std::string* name, bool open, QWidget* parent = nullptr);
int image_file_dialog(std::string* name, bool open, QWidget* parent = nullptr);
//   animations: type code or -1 (name emptied). `type` (a type code of the table)
//   is preselected, so a name typed without extension takes that type's; -1 or a code
//   not in the table preselects the type chosen last time.
int export_movie_dialog(std::string* name, QWidget* parent = nullptr, int type = -1);
//   a folder: 1 with the name replaced by the folder and a trailing '/', 0 on cancel.
int choose_folder_dialog(std::string* name, QWidget* parent = nullptr);
//   export: the drawing's extents and visible area (drawing units) for the size
//   fields; true unless cancelled, with the request filled and the options stored.
bool export_dialog(double extent_w, double extent_h, double visible_w, double visible_h,
                   ExportRequest* request, QWidget* parent = nullptr);
