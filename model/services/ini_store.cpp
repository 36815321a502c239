// The INI settings file: the lines of the file with an index of its sections and
// keys, escaping of names, values as written, and the safe write-and-rename save.
#include "model/services/ini_store.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "model/services/safe_file.h"
#include "model/services/utf8.h"

namespace {

constexpr const char* kBom = "\xEF\xBB\xBF";

bool same_name(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// Backslash, line feed and carriage return as \\, \n, \r, and every byte that is not
// part of a well-formed UTF-8 sequence (a NUL, a Latin-1 letter, half a character) as
// \xHH, so that what is written is UTF-8 text and reads back as the same bytes.
// `special` adds a backslash before the characters it picks (by position).
template <class Special>
std::string escape_bytes(const std::string& s, Special special) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size());
    const char* end = s.data() + s.size();
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        const size_t n = c == '\0' ? 0 : utf8_sequence_length(s.data() + i, end);
        if (n == 0) {
            const auto b = static_cast<unsigned char>(c);
            ((out += "\\x") += kHex[b >> 4]) += kHex[b & 15];
            ++i;
            continue;
        }
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (special(i, c)) (out += '\\') += c;
        else out.append(s, i, n);
        i += n;
    }
    return out;
}

std::string escape_text(const std::string& s) {
    return escape_bytes(s, [](size_t, char) { return false; });
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Undoes the escapes of [begin, end): \n, \r, \xHH, and \<c> for any other c.
std::string unescape(const std::string& s, size_t begin, size_t end) {
    std::string out;
    for (size_t i = begin; i < end; ++i) {
        char c = s[i];
        if (c != '\\' || i + 1 >= end) {
            out += c;
            continue;
        }
        char e = s[++i];
        if (e == 'x' && i + 2 < end && hex_digit(s[i + 1]) >= 0 && hex_digit(s[i + 2]) >= 0) {
            out += static_cast<char>(hex_digit(s[i + 1]) * 16 + hex_digit(s[i + 2]));
            i += 2;
            continue;
        }
        out += e == 'n' ? '\n' : e == 'r' ? '\r' : e;
    }
    return out;
}

std::string escape_key(const std::string& key) {
    return escape_bytes(key, [&](size_t i, char c) {
        const bool edge_blank = is_blank(c) && (i == 0 || i + 1 == key.size());
        const bool lead = i == 0 && (c == ';' || c == '#' || c == '[');
        return c == '=' || edge_blank || lead;
    });
}

// A value is written as it is when it is UTF-8 text on one line; otherwise (and when
// it starts with the two characters \") as \" + the escaped text + ".
std::string escape_value(const std::string& value) {
    const bool plain = utf8_is_valid(value) && value.find_first_of("\r\n") == std::string::npos &&
                       value.compare(0, 2, "\\\"") != 0;
    return plain ? value : "\\\"" + escape_text(value) + "\"";
}

std::string key_line(const std::string& key, const std::string& value) {
    return escape_key(key) + '=' + escape_value(value);
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

}  // namespace

IniStore::Section* IniStore::find_section(const std::string& name) {
    for (Section& s : sections_)
        if (s.reachable && same_name(s.name, name)) return &s;
    return nullptr;
}

const IniStore::Section* IniStore::find_section(const std::string& name) const {
    for (const Section& s : sections_)
        if (s.reachable && same_name(s.name, name)) return &s;
    return nullptr;
}

void IniStore::clear() {
    lines_.clear();
    ends_.clear();
    sections_.clear();
    eol_.assign(1, '\n');  // not = "\n": GCC 12 raises a false -Wrestrict alarm on it
    bom_ = false;
}

bool IniStore::get(const std::string& section, const std::string& key, std::string* value) const {
    const Section* s = find_section(section);
    if (!s) return false;
    // A key written twice reads as its last line.
    for (auto it = s->keys.rbegin(); it != s->keys.rend(); ++it) {
        if (same_name(it->name, key)) {
            if (value) *value = it->value;
            return true;
        }
    }
    return false;
}

void IniStore::put(const std::string& section, const std::string& key, const std::string& value) {
    if (Section* s = find_section(section)) {
        for (auto it = s->keys.rbegin(); it != s->keys.rend(); ++it) {
            if (same_name(it->name, key)) {
                lines_[it->line] = key_line(it->name, value);
                it->value = value;
                return;
            }
        }
        const auto at = static_cast<std::ptrdiff_t>(s->last_line + 1);
        lines_.insert(lines_.begin() + at, key_line(key, value));
        ends_.insert(ends_.begin() + at, std::string());
    } else {
        if (!lines_.empty() && !trim(lines_.back()).empty()) lines_.emplace_back();
        lines_.push_back('[' + escape_text(section) + ']');
        lines_.push_back(key_line(key, value));
        ends_.resize(lines_.size());
    }
    index();
}

void IniStore::index() {
    sections_.clear();
    Section* current = nullptr;
    for (size_t n = 0; n < lines_.size(); ++n) {
        const std::string& line = lines_[n];
        const std::string t = trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t[0] == '[') {
            const bool closed = t.size() >= 2 && t.back() == ']';
            const std::string name = closed ? unescape(t, 1, t.size() - 1) : std::string();
            current = closed ? find_section(name) : nullptr;
            if (!current) {
                sections_.push_back(Section{name, closed, n, n, {}});
                current = &sections_.back();
            } else {
                current->last_line = n;  // a repeated section adds to the first
            }
            continue;
        }
        if (!current || !current->reachable) continue;
        // The key runs to the first '=' that is not escaped; blanks around it are not
        // part of it unless escaped.
        size_t eq = std::string::npos, escaped_end = 0;
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\\') {
                escaped_end = std::min(i + 2, line.size());
                ++i;
            } else if (line[i] == '=') {
                eq = i;
                break;
            }
        }
        if (eq == std::string::npos) continue;
        const size_t kb = line.find_first_not_of(" \t");
        size_t ke = eq;
        while (ke > kb && ke > escaped_end && is_blank(line[ke - 1])) --ke;
        std::string key = unescape(line, kb, ke);
        if (key.empty()) continue;
        std::string value;
        const size_t vb = eq + 1, size = line.size();
        if (size - vb >= 3 && line.compare(vb, 2, "\\\"") == 0 && line.back() == '"')
            value = unescape(line, vb + 2, size - 1);
        else
            value = line.substr(vb);
        current->keys.push_back(Key{std::move(key), std::move(value), n});
        current->last_line = n;
    }
}

bool IniStore::parse(const std::string& text) {
    clear();
    if (!utf8_is_valid(text)) return false;
    size_t i = 0;
    if (text.compare(0, 3, kBom) == 0) {
        bom_ = true;
        i = 3;
    }
    bool eol_seen = false;
    std::string line;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        const bool crlf = c == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
        if (!eol_seen) {
            eol_ = crlf ? "\r\n" : std::string(1, c);
            eol_seen = true;
        }
        if (crlf) ++i;
        lines_.push_back(std::move(line));
        ends_.push_back(crlf ? "\r\n" : std::string(1, c));
        line.clear();
    }
    if (!line.empty()) {
        lines_.push_back(std::move(line));
        ends_.emplace_back();
    }
    index();
    return true;
}

std::string IniStore::serialize() const {
    std::string out = bom_ ? kBom : "";
    for (size_t n = 0; n < lines_.size(); ++n) out += lines_[n] + (ends_[n].empty() ? eol_ : ends_[n]);
    return out;
}

int IniStore::load(const std::string& path) {
    clear();
    int e = 0;
    std::FILE* in = safe_fopen_read(path.c_str(), &e);
    if (!in) return e == ENOENT || e == ENOTDIR ? 0 : e;
    std::string text;
    char piece[8192];
    size_t n;
    while ((n = std::fread(piece, 1, sizeof piece, in)) > 0) text.append(piece, n);
    const bool bad = std::ferror(in) != 0;
    std::fclose(in);
    if (bad) return EIO;
    return parse(text) ? 0 : kIniNotText;
}

int IniStore::save(const std::string& path) const {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(path);
    // A settings file kept elsewhere behind a symbolic link is written where it
    // lives; renaming over the link would replace the link by a copy.
    if (fs::is_symlink(target, ec)) {
        fs::path real = fs::canonical(target, ec);
        if (!ec) target = real;
    }
    if (target.has_parent_path()) {
        fs::create_directories(target.parent_path(), ec);
        if (ec) return ec.value();
    }
    // Through the safe writer: the replacement keeps the mode of the file it
    // replaces; a file its owner made read-only is not replaced at all (EACCES).
    const std::string text = serialize();
    return safe_write_file(target.c_str(), text.data(), text.size());
}
