// The framework document: path and title, saving, the save-modified question.
#include "shell/document.h"

#include <algorithm>

#include "model/services/log.h"
#include "model/services/msgbox.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"
#include "shell/cmd_ids.h"
#include "shell/doc_template.h"
#include "shell/recent_files.h"
#include "shell/sview.h"

void CDocument::SetPathName(const std::string& name, bool add_to_recent) {
    // Kept as a full path: the working folder may change, the recent list outlives it.
    const std::string path = full_path(name);
    path_ = path;
    const size_t slash = path.rfind('/');
    title_ = slash == std::string::npos ? path : path.substr(slash + 1);
    if (add_to_recent) recent_files().add(path);
    for (CSView* v : views_) v->UpdateFrameTitle();
}

bool CDocument::OnNewDocument() {
    path_.clear();
    modified_ = false;
    return true;
}

bool CDocument::OnOpenDocument(const char*) { return false; }
bool CDocument::OnSaveDocument(const char*) { return false; }
bool CDocument::DoSave(const char*, bool) { return false; }

bool CDocument::DoFileSave() {
    return DoSave(path_.empty() ? nullptr : path_.c_str(), true);
}

bool CDocument::SaveModified() {
    if (!IsModified()) return true;
    const std::string name = title_.empty() ? path_ : title_;
    const std::string text = res_load_string(IDS_SAVE_CHANGES);
    std::string question = text;
    const size_t at = question.find("%s");
    if (at != std::string::npos) question.replace(at, 2, name);
    switch (msgbox_show(0, question.c_str(), 3 | kMbIconExclamation)) {
        case kIdYes: return DoFileSave();
        case kIdNo: return true;
        default: return false;
    }
}

void CDocument::AddView(CSView* view) {
    if (std::find(views_.begin(), views_.end(), view) == views_.end()) views_.push_back(view);
    for (CSView* v : views_) v->UpdateFrameTitle();
}

void CDocument::RemoveView(CSView* view) {
    views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
    for (CSView* v : views_) v->UpdateFrameTitle();
}

std::string CDocument::frame_title(const CSView* view) const {
    if (views_.size() < 2) return title_;
    const auto it = std::find(views_.begin(), views_.end(), view);
    if (it == views_.end()) return title_;
    return title_ + ":" + std::to_string(it - views_.begin() + 1);
}

void CDocument::UpdateAllViews() {
    for (CSView* v : views_) v->InvalidateAll();
}

bool CDocument::OnCmdMsg(int id, CCmdUI* ui) {
    switch (id) {
        case ID_FILE_SAVE:
            if (!ui) DoFileSave();
            return true;
        case ID_FILE_SAVE_AS:
            if (!ui) DoSave(nullptr, true);
            return true;
        default: return false;
    }
}
