// Document templates: which documents a file opens, the untitled names of new ones
// and the list of open documents of each kind.
//
// The document string (string-table id) holds seven fields separated by line
// feeds: window title, document name, new-file name, filter name, filter
// extension, type id, type name.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CDocument;

class CDocTemplate {
  public:
    enum Confidence {
        noAttempt = 0,
        maybeAttemptForeign = 1,
        maybeAttemptNative = 2,
        yesAttemptForeign = 3,
        yesAttemptNative = 4,
        yesAlreadyOpen = 5,
    };
    using Factory = std::function<std::unique_ptr<CDocument>(CDocTemplate*)>;

    // `extensions` with their '.' (".qvm"); `factory` makes an empty document (null:
    // the template opens nothing yet).
    CDocTemplate(uint32_t string_id, std::vector<std::string> extensions, Factory factory);
    ~CDocTemplate();

    // Field `index` of the document string ("" when absent).
    std::string doc_string(int index) const;
    const std::vector<std::string>& extensions() const { return extensions_; }

    // yesAlreadyOpen with *open set when a document of this template has the path;
    // else yesAttemptNative when the path's text from its last '.' is one of the
    // extensions (the filter extension when there are none), without regard to case;
    // else yesAttemptForeign.
    Confidence MatchDocType(const std::string& path, CDocument** open) const;

    // A new document, titled "<document name><n>" with the next free number, or
    // null when the template has no factory. The template keeps it.
    CDocument* CreateNewDocument();
    // Forgets (and destroys) a document of this template.
    void RemoveDocument(CDocument* doc);
    const std::vector<std::unique_ptr<CDocument>>& documents() const { return docs_; }
    bool can_create() const { return bool(factory_); }

    // 0 drawing view, 1 preview view: what the next frame of this template shows.
    int view_kind = 0;

  private:
    uint32_t string_id_;
    std::vector<std::string> extensions_;
    Factory factory_;
    std::vector<std::unique_ptr<CDocument>> docs_;
    int untitled_count_ = 0;
};

// Paths compared as the file system names them: the same canonical path when both
// exist, otherwise the same text.
bool same_path(const std::string& a, const std::string& b);
// The path made absolute against the working folder and cleaned of "." and ".."
// parts (symbolic links are kept); an empty path stays empty.
std::string full_path(const std::string& path);
