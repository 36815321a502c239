// The settings file: sections of key = text pairs, kept as the lines of the file so
// that writing a key changes only that key's line and leaves everything else as it
// was written (comments, blank lines, lines it does not understand, line ends).
//
// Reading: LF, CR LF and CR line ends, each line keeping its own (a new line takes the
// file's first); a UTF-8 byte-order mark is skipped (and kept).
// A "[name]" line starts a section; a line starting with '[' that does not end with
// ']' starts a section no name reaches, so the keys below it are left alone rather
// than read into the section before. Comments start with ';' or '#'. A key line is
// "key = value": blanks around the key are not part of it, the value is everything
// after the first unescaped '=', blanks included. A file that is not UTF-8 text
// (a UTF-16 or UTF-32 mark, a NUL byte, a byte sequence that is not UTF-8) is not
// understood: load gives kIniNotText and the store stays empty.
//
// Names: section and key names compare without regard to case (as registry names
// do) and keep the spelling they were first written with. In names a backslash,
// line feed and carriage return are written as \\, \n and \r, '=' in a key as \=,
// and a key's leading or trailing blank, or leading ';', '#' or '[', as \<char>.
// Values are written as they are, a backslash typed by hand ("C:\new") reading as
// itself; only a value holding a line feed or carriage return, bytes that are not
// UTF-8 (a Latin-1 file name) or a NUL, or one starting with the two characters \",
// is written as \" + the escaped text + ", which reads back unescaped: the bytes that
// are not UTF-8 as \xHH. Names escape such bytes the same way. So every file the store
// writes is UTF-8 text and every value reads back as it was put.
//
// Saving writes a temporary file in the same folder with the mode of the file it
// replaces, then renames it over that file, so a failed save never destroys the
// settings (the temporary file is locked until the rename; a successful save removes
// those of saves that died); a file reached through a symbolic link is replaced
// where it lives; a file its owner cannot write (made read-only) is not written:
// EACCES, as for a folder that cannot be written. Not thread-safe by itself: profile.h serialises access.
#pragma once

#include <cerrno>

#include <string>
#include <vector>

// load's result for a file that is not UTF-8 text.
inline constexpr int kIniNotText = EILSEQ;

class IniStore {
  public:
    // Reads `path`; a missing file gives an empty store (0). Returns 0, errno when the
    // file exists but cannot be read, or kIniNotText (the store is then empty).
    [[nodiscard]] int load(const std::string& path);
    // Takes the file text into the store (replacing its contents); false, with an
    // empty store, for text that is not UTF-8.
    bool parse(const std::string& text);
    // The file text of the store.
    std::string serialize() const;
    // Writes the file (creating its folder): 0, or errno of the failed step.
    [[nodiscard]] int save(const std::string& path) const;

    // The text of section/key; false when absent.
    bool get(const std::string& section, const std::string& key, std::string* value) const;
    // Sets section/key: the key's line is rewritten in place, a new key goes after the
    // last key of its section, a new section at the end.
    void put(const std::string& section, const std::string& key, const std::string& value);
    void clear();

  private:
    struct Key {
        std::string name, value;
        size_t line;
    };
    struct Section {
        std::string name;
        bool reachable = true;  // false under a header without its closing bracket
        size_t header_line = 0;
        size_t last_line = 0;  // the header or the section's last key line
        std::vector<Key> keys;
    };
    void index();
    Section* find_section(const std::string& name);
    const Section* find_section(const std::string& name) const;

    std::vector<std::string> lines_;  // without their line ends
    std::vector<std::string> ends_;   // each line's own line end; empty: eol_
    std::string eol_ = "\n";         // the file's first line end, for lines added
    bool bom_ = false;
    std::vector<Section> sections_;  // rebuilt from lines_ by index()
};
