// The settings file: sections of key = text pairs kept in memory and written back as
// one INI file.
//
// Section and key names compare without regard to case (as registry names do) and
// keep the spelling they were first written with; sections and keys keep their order
// of first writing. Values are free text: a backslash, a line feed or a carriage
// return in a name or value is written as an escape (\\, \n, \r), and '=' in a key
// as \=, so every text reads back as it was put. Saving writes a temporary file in
// the same folder and renames it over the old one, so a failed save never destroys
// the settings; a file reached through a symbolic link is replaced where it lives. Not thread-safe by itself: profile.h serialises access.
#pragma once

#include <string>
#include <utility>
#include <vector>

class IniStore {
  public:
    // Reads `path`; a missing file gives an empty store (0). Returns 0, or errno when
    // the file exists but cannot be read. Lines that are not sections, keys or
    // comments (';' or '#') are skipped.
    int load(const std::string& path);
    // Parses INI text into the store (replacing its contents).
    void parse(const std::string& text);
    // The file text of the store.
    std::string serialize() const;
    // Writes the file (creating its folder): 0, or errno of the failed step.
    int save(const std::string& path) const;

    // The text of section/key; false when absent.
    bool get(const std::string& section, const std::string& key, std::string* value) const;
    void put(const std::string& section, const std::string& key, const std::string& value);
    void clear() { sections_.clear(); }

  private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> keys;
    };
    Section* find_section(const std::string& name);
    const Section* find_section(const std::string& name) const;
    std::vector<Section> sections_;
};
