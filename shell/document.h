// The framework document: title, path, modified flag, its template and the drawing
// views that show it; saving, the save-modified question and closing.
#pragma once

#include <string>
#include <vector>

#include "shell/cmd_target.h"

class CDocTemplate;
class CSView;

class CDocument : public CCmdTarget {
  public:
    explicit CDocument(CDocTemplate* tmpl) : template_(tmpl) {}
    ~CDocument() override = default;

    CDocTemplate* doc_template() const { return template_; }
    const std::string& title() const { return title_; }
    void set_title(const std::string& title) { title_ = title; }
    const std::string& path() const { return path_; }
    // The path, the title (the file name) and the recent-file list.
    void SetPathName(const std::string& path, bool add_to_recent = true);

    bool IsModified() const { return modified_; }
    virtual void SetModifiedFlag(bool flag) { modified_ = flag; }

    virtual bool OnNewDocument();
    virtual bool OnOpenDocument(const char* path);
    virtual bool OnSaveDocument(const char* path);
    // Saves under `path` (null: ask for a name, proposing one when `replace` is set).
    virtual bool DoSave(const char* path, bool replace);
    // When modified: asks whether to save; false when the user cancels or the save
    // failed. True when the document may close.
    virtual bool SaveModified();
    // File Save: the document's own path when it is a drawing file, else Save As.
    bool DoFileSave();

    // The drawing views showing the document, in creation order (not owned). Adding
    // or removing one numbers the windows' titles again.
    const std::vector<CSView*>& views() const { return views_; }
    void AddView(CSView* view);
    void RemoveView(CSView* view);
    // The title of a view's window: the document's title, followed by ":n" (n from 1
    // in creation order) while more than one window shows the document.
    std::string frame_title(const CSView* view) const;
    // Repaints every view.
    void UpdateAllViews();

    bool OnCmdMsg(int id, CCmdUI* ui) override;

  protected:
    std::vector<CSView*> views_;

  private:
    CDocTemplate* template_;
    std::string title_;
    std::string path_;
    bool modified_ = false;
};
