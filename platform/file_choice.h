// The file choice of Open and Save As until the program's own file dialogs exist:
// a plain Qt file dialog, or a test hook that answers in its place.
#pragma once

#include <functional>
#include <string>

class QWidget;

struct FileChoiceRequest {
    bool save = false;           // Save As (asks before replacing) rather than Open
    std::string caption;
    std::string filter;          // Qt filter text, "Zelo Files (*.qvm)"
    std::string initial;         // proposed name or folder
    std::string default_suffix;  // added to a typed name without one ("qvm")
};

// Gets the request and fills the path; returns true for a choice, false for cancel.
using FileChoiceHook = std::function<bool(const FileChoiceRequest& request, std::string* path)>;
FileChoiceHook platform_set_file_choice_hook(FileChoiceHook hook);

// Runs the choice; true with the chosen path, false when cancelled.
bool platform_choose_file(QWidget* owner, const FileChoiceRequest& request, std::string* path);
