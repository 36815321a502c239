// The program's file types on the desktop: an XDG desktop entry
// ($XDG_DATA_HOME/applications/zelo.desktop) and a shared-mime-info package
// ($XDG_DATA_HOME/mime/packages/zelo.xml) written for the user.
//
// Own types: drawings (*.qvm, and the native header: the words 1 and a version 100 to
// 112), blocks (*.mcr) and stroke fonts (*.plf). DXF and 3DS files are offered under
// the types the system already knows (image/vnd.dxf, image/x-3ds); nothing is declared
// for *.asc, which other programs own. No default application is set: mimeapps.list
// and every other program's file stay untouched. Files are rewritten only when their
// text changes, and only then the desktop's caches are brought up to date.
#pragma once

#include <string>
#include <string_view>

inline constexpr const char* kMimeDrawing = "application/x-zelo-drawing";
inline constexpr const char* kMimeBlock = "application/x-zelo-block";
inline constexpr const char* kMimeFont = "application/x-zelo-font";

// The data folder: $XDG_DATA_HOME, or ~/.local/share.
std::string shell_data_home();
// Texts of the two files. `exec_path` is the program's absolute path.
std::string shell_desktop_entry_text(std::string_view exec_path);
std::string shell_mime_package_text();
// Quotes one argument of a desktop entry's Exec key (the desktop-entry rules).
std::string desktop_exec_quote(std::string_view arg);

struct ShellTypesResult {
    int error = 0;               // 0, or errno of the first failed step
    bool desktop_changed = false;
    bool mime_changed = false;
};
// Writes both files under `data_home` where their text differs and runs
// update-mime-database / update-desktop-database on the changed folders when those
// tools exist (their failure is not an error: the files are in place).
ShellTypesResult shell_types_register(const std::string& data_home, std::string_view exec_path,
                                      bool run_tools = true);
// Writes `text` to `path` through a temporary file and a rename unless the file
// already holds exactly that text. 0 or errno; *changed tells whether it wrote.
[[nodiscard]] int write_file_if_changed(const std::string& path, std::string_view text, bool* changed);
