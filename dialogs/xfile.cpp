// The file dialog over a non-native QFileDialog, its entry points, and the export
// options panel.
#include "dialogs/xfile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <cstdio>

#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "model/services/profile.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"
#include "shell/prefs_io.h"

namespace {

FileDialogHook g_hook;

// The text of a one-string format such as "%s already exists.".
std::string format_text(const char* fmt, const char* arg) {
    const int n = std::snprintf(nullptr, 0, fmt, arg);
    if (n <= 0) return fmt;
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), fmt, arg);
    out.resize(static_cast<size_t>(n));
    return out;
}

QString q(const std::string& s) { return QString::fromStdString(s); }

std::string file_part(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string f = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = f.find_last_of('.');
    if (dot != std::string::npos && dot > 0) f.resize(dot);
    return f;
}

QStringList name_filters(const FileTypeTable& t) {
    QStringList list;
    for (int i = 0; i < t.count; ++i) {
        const std::string p = file_type_pattern(t.rows[i]);
        list << q(res_load_string(t.rows[i].description_id) + " (" + p + ")");
    }
    return list;
}

}  // namespace

FileDialogHook xfile_set_test_hook(FileDialogHook hook) {
    FileDialogHook old = std::move(g_hook);
    g_hook = std::move(hook);
    return old;
}

CXFile::CXFile(std::string* name, const FileTypeTable* table, bool open, uint32_t title_id,
               uint32_t preferred, uint32_t fallback, const char* key, QWidget* parent)
    : name_(name), table_(table && table->count > 0 ? table : nullptr), open_(open), key_(key ? key : "") {
    const std::string caller = name_ ? *name_ : std::string();
    if (open_ && name_) name_->clear();
    dlg_ = new QFileDialog(parent);
    dlg_->setOption(QFileDialog::DontUseNativeDialog, true);
    // The replace question is asked on the completed name, below.
    dlg_->setOption(QFileDialog::DontConfirmOverwrite, true);
    dlg_->setAcceptMode(open_ ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dlg_->setFileMode(open_ ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dlg_->setWindowTitle(q(res_load_string(title_id)));
    if (!table_) {
        initial_name_ = "*.*";
        folder_.assign(1, '.');  // not = ".": GCC 12 raises a false -Wrestrict alarm on it
    } else {
        preselected_ = file_type_preselect(*table_, preferred, fallback);
        const FileTypeEntry& row = table_->rows[preselected_];
        std::string pattern;
        dir_memory_load(file_type_kind(row, key_).c_str(), &folder_, &pattern,
                        file_type_pattern(row).c_str());
        initial_name_ = caller.empty() ? pattern : file_part(caller);
        dlg_->setNameFilters(name_filters(*table_));
        dlg_->selectNameFilter(dlg_->nameFilters().value(preselected_));
    }
    dlg_->setDirectory(q(folder_));
    if (!open_ && initial_name_.find('*') == std::string::npos) dlg_->selectFile(q(initial_name_));
}

CXFile::~CXFile() { delete dlg_; }

void CXFile::add_panel(QWidget* panel) {
    if (auto* grid = qobject_cast<QGridLayout*>(dlg_->layout()))
        grid->addWidget(panel, grid->rowCount(), 0, 1, grid->columnCount());
}

int CXFile::current_row() const {
    if (chosen_row_ >= 0) return chosen_row_;
    return static_cast<int>(dlg_->nameFilters().indexOf(dlg_->selectedNameFilter()));
}

void CXFile::choose(const std::string& path, int row) {
    chosen_ = path;
    chosen_row_ = row;
    if (row >= 0) dlg_->selectNameFilter(dlg_->nameFilters().value(row));
}

int CXFile::DoModalType() {
    chosen_.clear();
    chosen_row_ = -1;
    bool ok;
    if (g_hook) {
        ok = g_hook(*this);
    } else {
        ok = dlg_->exec() == QDialog::Accepted && !dlg_->selectedFiles().isEmpty();
        if (ok) chosen_ = dlg_->selectedFiles().first().toStdString();
    }
    if (!ok) return -1;
    std::string path = chosen_;
    if (!table_) {
        if (path.size() > kMaxPathLength) {
            msgbox_printf(kStrIdError, res_load_string(IDS_PATH_TOO_LONG).c_str(), static_cast<int>(kMaxPathLength),
                          path.c_str());
            return -1;
        }
        if (name_) *name_ = path;
        return 0;
    }
    int row = -1;
    switch (file_type_final_name(*table_, current_row(), &path, &row)) {
        case FinalName::too_long:
            msgbox_printf(kStrIdError, res_load_string(IDS_PATH_TOO_LONG).c_str(), static_cast<int>(kMaxPathLength),
                          path.c_str());
            return -1;
        case FinalName::unknown_extension:
            msgbox_printf(kStrIdWarning, "%s *%s", res_load_string(IDS_UNKNOWN_EXTENSION).c_str(),
                          path_extension(path).c_str());
            return -1;
        case FinalName::ok: break;
    }
    if (!open_ && QFileInfo::exists(q(path))) {
        const std::string text = format_text(res_load_string(IDS_FILE_EXISTS_REPLACE).c_str(), path.c_str());
        if (msgbox_show(kStrIdWarning, text.c_str(), kMbYesNo | kMbIconExclamation) != kIdYes) return -1;
    }
    dir_memory_save(file_type_kind(table_->rows[row], key_).c_str(), path.c_str());
    if (name_) *name_ = path;
    return row;
}

// ---------------------------------------------------------------------------------
// Entry points.

namespace {

// Runs a dialog over a sub-table and answers the type code (or -1).
int run_typed(std::string* name, const FileTypeTable& table, bool open, uint32_t title, int preferred,
              int fallback, const char* key, QWidget* parent) {
    CXFile dlg(name, &table, open, title, static_cast<uint32_t>(preferred), static_cast<uint32_t>(fallback), key,
               parent);
    const int row = dlg.DoModalType();
    return row < 0 ? -1 : static_cast<int>(table.rows[row].type);
}

// The one row of `table` with that pattern, as a table of its own.
FileTypeTable one_row(const FileTypeTable& table, const char* pattern) {
    for (int i = 0; i < table.count; ++i)
        if (pattern && file_type_pattern(table.rows[i]) == pattern) return {table.rows + i, 1};
    return {table.rows, 1};
}

void remember(const char* section, const char* key, int* slot, int type) {
    if (type < 0) return;
    if (slot) *slot = type;
    app_profile_put_int(section, key, type);
}

}  // namespace

int open_drawing_dialog(std::string* name, bool import, QWidget* parent) {
    const FileTypeTable table = import ? FileTypeTable{kOpenTypes.rows + 1, 5} : kOpenTypes;
    int* slot = import ? &g_prefs.import_model : &g_prefs.import_load;
    const int type =
        run_typed(name, table, true, import ? IDS_IMPORT : IDS_OPEN, *slot, import ? 16 : 13, "Load", parent);
    remember("Import", import ? "Model" : "Load", slot, type);
    return type;
}

bool load_text_dialog(std::string* name, const char* pattern, QWidget* parent) {
    const FileTypeTable t = one_row(kTextTypes, pattern);
    return run_typed(name, t, true, IDS_OPEN, t.rows[0].type, t.rows[0].type, "Load", parent) >= 0;
}

bool single_type_save_dialog(std::string* name, const char* pattern, QWidget* parent) {
    const FileTypeTable t = one_row(kSaveTypes, pattern);
    return run_typed(name, t, false, IDS_SAVE_AS, t.rows[0].type, t.rows[0].type, "Load", parent) >= 0;
}

int texture_file_dialog(std::string* name, bool open, QWidget* parent) {
    const FileTypeTable t{kImageTypes.rows, open ? 8 : 5};
    int* slot = open ? &g_prefs.import_texture : &g_prefs.export_texture;
    const int type = run_typed(name, t, open, open ? IDS_OPEN : IDS_SAVE, *slot, 4, "", parent);
    if (type < 0 && name) name->clear();
    remember(open ? "Import" : "Export", "Texture", slot, type);
    return type;
}

int image_file_dialog(std::string* name, bool open, QWidget* parent) {
    const FileTypeTable t{kImageTypes.rows, open ? 8 : 5};
    const char* section = open ? "Import" : "Export";
    const int preferred = app_profile_get_int(section, "Image", 4);
    const int type = run_typed(name, t, open, open ? IDS_OPEN_IMAGE : IDS_SAVE_IMAGE, preferred, 4, "Img", parent);
    if (type < 0 && name) name->clear();
    remember(section, "Image", nullptr, type);
    return type;
}

int export_movie_dialog(std::string* name, QWidget* parent, int preferred) {
    const int want = preferred >= 0 ? preferred : g_prefs.export_movie;
    const int type = run_typed(name, kMovieTypes, false, IDS_SAVE, want, 21, "Mov", parent);
    if (type < 0 && name) name->clear();
    remember("Export", "Movie", &g_prefs.export_movie, type);
    return type;
}

int choose_folder_dialog(std::string* name, QWidget* parent) {
    std::string path;
    CXFile dlg(&path, nullptr, true, IDS_SELECT_FOLDER, 0, 0, "", parent);
    dlg.dialog()->setFileMode(QFileDialog::Directory);
    dlg.dialog()->setOption(QFileDialog::ShowDirsOnly, true);
    if (dlg.DoModalType() < 0) return 0;
    // A folder answers itself; a file, its folder.
    const QFileInfo info(q(path));
    std::string folder = info.isDir() ? path : info.path().toStdString();
    if (folder.empty() || folder.back() != '/') folder += '/';
    if (name) *name = folder;
    return 1;
}
