// The recent-file list of the File menu: four paths, newest first, kept in the
// settings (section "Recent File List", keys "File1" to "File4").
#pragma once

#include <functional>
#include <string>
#include <vector>

class RecentFileList {
  public:
    static constexpr int kSize = 4;
    void load();
    void save() const;
    // Puts the path first (removing an older entry of the same file).
    void add(const std::string& path);
    void remove(int index);
    const std::vector<std::string>& entries() const { return entries_; }

    // Told after every change of the list (the File menus show it).
    std::function<void()> on_change;

  private:
    void changed() const {
        if (on_change) on_change();
    }
    std::vector<std::string> entries_;
};

// The application's list.
RecentFileList& recent_files();
