// The recent-file list and its settings.
#include "shell/recent_files.h"

#include <algorithm>

#include "model/services/profile.h"
#include "shell/doc_template.h"

namespace {
constexpr const char* kSection = "Recent File List";
std::string key_of(int i) { return "File" + std::to_string(i + 1); }
}  // namespace

void RecentFileList::load() {
    entries_.clear();
    for (int i = 0; i < kSize; ++i) {
        std::string p = app_profile_get_text(kSection, key_of(i).c_str(), "");
        if (!p.empty()) entries_.push_back(p);
    }
    changed();
}

void RecentFileList::save() const {
    SettingsBatch batch;
    for (int i = 0; i < kSize; ++i)
        app_profile_put_string(kSection, key_of(i).c_str(), i < int(entries_.size()) ? entries_[i].c_str() : "");
}

void RecentFileList::add(const std::string& path) {
    if (path.empty()) return;
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [&](const std::string& e) { return e == path || same_path(e, path); }),
                   entries_.end());
    entries_.insert(entries_.begin(), path);
    if (entries_.size() > size_t(kSize)) entries_.resize(kSize);
    changed();
}

void RecentFileList::remove(int index) {
    if (index < 0 || index >= int(entries_.size())) return;
    entries_.erase(entries_.begin() + index);
    changed();
}

RecentFileList& recent_files() {
    static RecentFileList list;
    return list;
}
