// The drawing document: the MODEL it owns, opening and saving drawing files.
#include "shell/drawing_doc.h"

#include <strings.h>
#include <sys/stat.h>

#include <new>

#include "exchange/file_type.h"
#include "model/db/zobj.h"
#include "model/file/drawing_file.h"
#include "model/services/log.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "model/services/strtab.h"
#include "platform/file_choice.h"
#include "resources/string_ids.h"
#include "shell/doc_template.h"
#include "shell/services.h"

namespace {

ModelModifiedHook g_previous_modified = nullptr;
bool g_hook_installed = false;

// The model's modified hook: the model's own flag reaches its document, then the hook
// chained before it (the snaps' change tracking) runs.
void doc_modified_hook(MODEL* model, int flag) {
    if (CDoc* doc = CDoc::of(model)) doc->SetModifiedFlag(flag != 0);
    if (g_previous_modified) g_previous_modified(model, flag);
}

}  // namespace

void CDoc::ModelDeleter::operator()(MODEL* m) const {
    if (!m) return;
    m->document = nullptr;
    // Views that no window took over (read from a file) die with their model.
    drawing_file_drop_views(m);
    rtc_destroy(m);
}

CDoc* CDoc::of(const MODEL* model) {
    DrawingDocument* d = drawing_document(model);
    return d ? static_cast<CDoc*>(d->owner) : nullptr;
}

CDoc::CDoc(CDocTemplate* tmpl) : CDocument(tmpl) {
    engine_.owner = this;
    if (!g_hook_installed) {
        g_hook_installed = true;
        g_previous_modified = g_model_modified_hook;
        g_model_modified_hook = &doc_modified_hook;
    }
}

CDoc::~CDoc() = default;

bool CDoc::make_model() {
    std::unique_ptr<MODEL> m = rtc_make<MODEL>();
    if (!m) return false;
    m->document = &engine_;
    model_.reset(m.release());
    return true;
}

void CDoc::SetModifiedFlag(bool flag) {
    if (!model_ || IsModified() == flag) return;
    CDocument::SetModifiedFlag(flag);
    model_->set_modified(flag ? 1 : 0);
}

bool CDoc::OnNewDocument() {
    if (!CDocument::OnNewDocument()) return false;
    model_.reset();
    return make_model();
}

bool CDoc::OnOpenDocument(const char* path) {
    CDocument::SetModifiedFlag(false);
    if (!make_model()) return false;
    const int options = g_prefs.import_3ds + (g_prefs.import_3ds_elements ? 0x4000 : 0);
    wait_cursor_begin();
    int32_t skipped = 0;
    seen_on_disk_ = disk_stamp(path);
    const int r = load_file_by_type(path, model_.get(), options, &skipped);
    model_->set_modified(0);
    CDocument::SetModifiedFlag(false);
    wait_cursor_end();
    if (r != 0) {
        // No frame has taken the views read so far: they go now.
        drawing_file_drop_views(model_.get());
        // kTypeNotSupported: the dispatcher has said that the type has no reader yet.
        if (r != kTypeNotSupported) tell_load_failure(path, r);
        return false;
    }
    // The drawing opens without what could not be rebuilt; say how much that was.
    if (skipped > 0) msgbox_printf(kStrIdWarning, res_load_string(IDS_OBJECTS_LEFT_OUT).c_str(), skipped);
    return true;
}

bool is_drawing_path(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    return strcasecmp(path.c_str() + dot, ".qvm") == 0;
}

std::string propose_save_name(const std::string& title) {
    std::string name = title.substr(0, 8);
    const size_t cut = name.find_first_of(" #%;/\\");
    if (cut != std::string::npos) name.resize(cut);
    return name + ".qvm";
}

CDoc::DiskStamp CDoc::disk_stamp(const std::string& path) {
    DiskStamp s;
    s.path = path;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return s;  // none: nothing to replace
    s.size = st.st_size;
    s.mtime_ns = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    return s;
}

bool CDoc::OnSaveDocument(const char* path) {
    if (!path || !is_drawing_path(path) || !model_) return false;
    // Another program may have saved the file meanwhile: its work is not replaced
    // unasked.
    if (seen_on_disk_.path == path) {
        const DiskStamp now = disk_stamp(path);
        if (now.size >= 0 && !(now == seen_on_disk_) &&
            !msgbox_yes_no(res_load_string(IDS_FILE_CHANGED_ON_DISK).c_str(), path))
            return false;
    }
    const int r = drawing_file_save(path, model_.get(), 0);
    if (r != 0) {
        tell_save_failure(path, r);
        return false;
    }
    seen_on_disk_ = disk_stamp(path);
    SetPathName(path);
    SetModifiedFlag(false);
    return true;
}

bool CDoc::DoSave(const char* path, bool replace) {
    std::string name;
    if (path && is_drawing_path(path)) {
        name = path;
    } else {
        name = this->path();
        if (replace && name.empty()) name = propose_save_name(title());
        FileChoiceRequest req;
        req.save = true;
        req.caption = doc_template() ? doc_template()->doc_string(6) : "";
        req.filter = doc_template() ? doc_template()->doc_string(3) : "*.qvm";
        req.initial = name;
        req.default_suffix = "qvm";
        std::string chosen;
        if (!platform_choose_file(shell_main_window(), req, &chosen)) return false;
        name = chosen;
        if (!is_drawing_path(name)) {
            msgbox_printf(kStrIdError, "%s|%s (%d: %s)", res_load_string(IDS_CANT_SAVE_DATA).c_str(),
                          name.c_str(), kTypeNotSupported, res_load_string(IDS_REASON_TYPE_NOT_SUPPORTED).c_str());
            return false;
        }
    }
    wait_cursor_begin();
    bool ok = false;
    try {
        ok = OnSaveDocument(name.c_str());
    } catch (const std::bad_alloc&) {
        // The file on disk is as it was: the save wrote a temporary file or nothing.
        shell_tell_out_of_memory();
    }
    wait_cursor_end();
    return ok;
}
