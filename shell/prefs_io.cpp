// The preferences at start-up and exit, texture-map paths, pattern libraries and
// the remembered folders of the file dialogs.
#include "shell/prefs_io.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

#include "model/db/patt.h"
#include "model/db/zobj.h"
#include "model/geom/patterns.h"
#include "model/rtc/rtc.h"
#include "model/services/error_text.h"
#include "model/services/log.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "model/services/profile.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"

namespace {

constexpr uint32_t kStrIdInternal = IDS_INTERNAL;
constexpr const char* kInternal = "Internal";

// Reachable from these globals for the life of the process unless released.
StrArray g_map_paths = nullptr;
MODEL* g_line_library = nullptr;
MODEL* g_hatch_library = nullptr;

MODEL* make_library() {
    std::unique_ptr<MODEL> model = rtc_make<MODEL>();
    if (!model) log_message(LogLevel::error, "cannot make a pattern library");
    return model.release();
}

void load_map_paths() {
    strarray_free(&g_map_paths);
    std::string def = prefs_default_map_path() + "/";
    // Read whole: a cut text would save its last folder back cut.
    std::string text = app_profile_get_text("Paths", "3dsMaps", def.c_str());
    size_t start = 0;
    int slot = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        std::string piece = text.substr(start, end - start);
        if (!piece.empty()) strarray_printf(&g_map_paths, slot, "%s", piece.c_str());
        ++slot;
        start = end + 1;
    }
    if (strarray_count(g_map_paths) == 0) strarray_printf(&g_map_paths, 0, "%s", prefs_default_map_path().c_str());
}

// Fills one library from the file named by `key`, else from the built-in texts. A
// file that cannot be loaded now (a share not mounted yet, a pipe) is told once and
// its setting kept, so that the next start tries it again.
MODEL* load_library(const char* key, const RtcClass* cls) {
    std::string internal = res_load_string(kStrIdInternal);
    // Read whole: a cut path would not load and the key would be reset.
    std::string path = app_profile_get_text("Patterns", key, internal.c_str());
    const bool named = !path.empty() && path != internal && path != kInternal;
    if (named) {
        MODEL* model = make_library();
        if (!model) return nullptr;
        int rc = patt_load_file(model, path.c_str(), cls);
        if (rc == 0) {
            path_file_part(model, path.c_str());
            return model;
        }
        log_message(LogLevel::warning, "pattern library %s not loaded (error %d); using the built-in one",
                    path.c_str(), rc);
        delete model;  // a half-read library is not mixed with the built-in one
        static std::set<std::string> told;
        if (told.insert(path).second)
            msgbox_printf(kStrIdError, "%s|%s (%s)|%s", res_load_string(IDS_CANT_LOAD_PATTERN_LIBRARY).c_str(),
                          path.c_str(), error_code_text(rc, path.c_str()).c_str(),
                          res_load_string(IDS_PATTERN_LIBRARY_KEPT).c_str());
    }
    MODEL* model = make_library();
    if (!model) return nullptr;
    (void)patt_load_builtin(model, cls);
    if (!named) prof_put_string("Patterns", key, internal.c_str());
    model->set_string(0, internal.empty() ? kInternal : internal.c_str());
    return model;
}

// The extension of the file name in `path` ("*" when it has none).
std::string extension_of(const std::string& path) {
    size_t name = path.find_last_of("/\\");
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (name != std::string::npos && dot < name)) return "*";
    return path.substr(dot + 1);
}

// Where the folder part of `path` ends: its last '/', else its last '\' (npos
// when it has none).
size_t folder_end(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash != std::string::npos ? slash : path.rfind('\\');
}

// The folder part of `path` (empty when there is none); the root folder is its
// separator alone.
std::string folder_of(const std::string& path) {
    size_t end = folder_end(path);
    if (end == std::string::npos) return {};
    return path.substr(0, end == 0 ? 1 : end);
}

std::string dir_key(const char* kind) { return std::string(kind ? kind : "") + "Directory"; }

}  // namespace

std::string prefs_default_map_path() {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (data && data[0] == '/') {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : ".") + "/.local/share";
    }
    return base + "/zelo/maps";
}

void prefs_load() {
    rtc_startup(0, 0);
    prefs_table_io(1);
    load_map_paths();
    delete g_line_library;
    delete g_hatch_library;
    g_line_library = load_library("LinePatternLibrary", &LINEPATT::rtc_class);
    g_hatch_library = load_library("HatchPatternLibrary", &HATCHPATT::rtc_class);
}

void prefs_save() {
    SettingsBatch batch;
    prefs_table_io(0);
    std::string text;
    for (int i = 0, n = strarray_count(g_map_paths); i < n; ++i) {
        const char* path = g_map_paths[i];
        if (path && *path) (text += path) += ';';
    }
    prof_put_string("Paths", "3dsMaps", text.c_str());
}

StrArray prefs_map_paths() { return g_map_paths; }
MODEL* prefs_line_library() { return g_line_library; }
MODEL* prefs_hatch_library() { return g_hatch_library; }

void prefs_release() {
    delete g_line_library;
    delete g_hatch_library;
    g_line_library = g_hatch_library = nullptr;
    strarray_free(&g_map_paths);
}

void path_file_part(MODEL* library, const char* path) {
    if (!library || !path) return;
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\' || *p == ':') name = p + 1;
    std::string text(name, std::strcspn(name, "."));
    library->set_string(0, text.c_str());
}

void dir_memory_save(const char* kind, const char* path) {
    std::string p = path ? path : "";
    size_t end = folder_end(p);
    std::string folder = end == std::string::npos ? std::string() : p.substr(0, end + 1);
    std::string text = folder + "*." + extension_of(p);
    prof_put_string("Directories", dir_key(kind).c_str(), text.c_str());
}

void dir_memory_load(const char* kind, std::string* directory, std::string* filter, const char* def) {
    std::string text = app_profile_get_text("Directories", dir_key(kind).c_str(), def ? def : "");
    std::string folder = folder_of(text);
    if (directory) *directory = folder.empty() ? "." : folder;
    if (filter) *filter = "*." + extension_of(text);
}
