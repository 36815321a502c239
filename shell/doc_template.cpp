// Document templates: matching files, naming and keeping documents.
#include "shell/doc_template.h"

#include <strings.h>

#include <algorithm>
#include <filesystem>

#include "model/services/strtab.h"
#include "shell/document.h"

CDocTemplate::CDocTemplate(uint32_t string_id, std::vector<std::string> extensions, Factory factory)
    : string_id_(string_id), extensions_(std::move(extensions)), factory_(std::move(factory)) {}

CDocTemplate::~CDocTemplate() = default;

std::string CDocTemplate::doc_string(int index) const {
    const std::string s = res_load_string(string_id_);
    size_t start = 0;
    for (int i = 0; i < index; ++i) {
        start = s.find('\n', start);
        if (start == std::string::npos) return "";
        ++start;
    }
    const size_t end = s.find('\n', start);
    return s.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string full_path(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

bool same_path(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    std::error_code ea, eb;
    const auto ca = std::filesystem::weakly_canonical(a, ea);
    const auto cb = std::filesystem::weakly_canonical(b, eb);
    if (!ea && !eb) return ca == cb;
    return a == b;
}

CDocTemplate::Confidence CDocTemplate::MatchDocType(const std::string& path, CDocument** open) const {
    if (open) *open = nullptr;
    for (const auto& d : docs_)
        if (same_path(d->path(), path)) {
            if (open) *open = d.get();
            return yesAlreadyOpen;
        }
    const size_t dot = path.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : path.substr(dot);
    std::vector<std::string> exts = extensions_;
    if (exts.empty()) exts.push_back(doc_string(4));
    for (const std::string& e : exts)
        if (!e.empty() && strcasecmp(e.c_str(), ext.c_str()) == 0) return yesAttemptNative;
    return yesAttemptForeign;
}

CDocument* CDocTemplate::CreateNewDocument() {
    if (!factory_) return nullptr;
    std::unique_ptr<CDocument> doc = factory_(this);
    if (!doc) return nullptr;
    doc->set_title(doc_string(1) + std::to_string(++untitled_count_));
    docs_.push_back(std::move(doc));
    return docs_.back().get();
}

void CDocTemplate::RemoveDocument(CDocument* doc) {
    auto it = std::find_if(docs_.begin(), docs_.end(), [&](const auto& d) { return d.get() == doc; });
    if (it == docs_.end()) return;
    std::unique_ptr<CDocument> dying = std::move(*it);
    docs_.erase(it);
}
