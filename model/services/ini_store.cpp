// The INI settings file: parsing, escaping, and the safe write-and-rename save.
#include "model/services/ini_store.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <strings.h>
#include <unistd.h>

namespace {

bool same_name(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// Escapes backslash, line feed and carriage return; `extra` (if not 0) as \<extra>.
std::string escape(const std::string& s, char extra) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (extra && c == extra) (out += '\\') += c;
        else out += c;
    }
    return out;
}

// Undoes escape() on [begin, end); an unknown escape keeps its character.
std::string unescape(const std::string& s, size_t begin, size_t end) {
    std::string out;
    for (size_t i = begin; i < end; ++i) {
        char c = s[i];
        if (c != '\\' || i + 1 >= end) {
            out += c;
            continue;
        }
        char e = s[++i];
        out += e == 'n' ? '\n' : e == 'r' ? '\r' : e;
    }
    return out;
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
        if (same_name(s.name, name)) return &s;
    return nullptr;
}

const IniStore::Section* IniStore::find_section(const std::string& name) const {
    for (const Section& s : sections_)
        if (same_name(s.name, name)) return &s;
    return nullptr;
}

bool IniStore::get(const std::string& section, const std::string& key, std::string* value) const {
    const Section* s = find_section(section);
    if (!s) return false;
    for (const auto& kv : s->keys)
        if (same_name(kv.first, key)) {
            if (value) *value = kv.second;
            return true;
        }
    return false;
}

void IniStore::put(const std::string& section, const std::string& key, const std::string& value) {
    Section* s = find_section(section);
    if (!s) {
        sections_.push_back(Section{section, {}});
        s = &sections_.back();
    }
    for (auto& kv : s->keys)
        if (same_name(kv.first, key)) {
            kv.second = value;
            return;
        }
    s->keys.emplace_back(key, value);
}

void IniStore::parse(const std::string& text) {
    sections_.clear();
    // A byte-order mark left by an editor would hide the first section and, with
    // it, every key under it on the next save.
    const bool bom = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
    std::istringstream in(bom ? text.substr(3) : text);
    std::string line;
    Section* current = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string t = trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t[0] == '[' && t.back() == ']' && t.size() >= 2) {
            std::string name = unescape(t, 1, t.size() - 1);
            current = find_section(name);
            if (!current) {
                sections_.push_back(Section{name, {}});
                current = &sections_.back();
            }
            continue;
        }
        if (!current) continue;
        // The key runs to the first '=' that is not escaped.
        size_t eq = std::string::npos;
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\\') ++i;
            else if (line[i] == '=') {
                eq = i;
                break;
            }
        }
        if (eq == std::string::npos) continue;
        size_t kb = line.find_first_not_of(" \t");
        size_t ke = eq;
        while (ke > kb && (line[ke - 1] == ' ' || line[ke - 1] == '\t')) --ke;
        std::string key = unescape(line, kb, ke);
        if (key.empty()) continue;
        // The value is everything after '=', blanks included.
        std::string value = unescape(line, eq + 1, line.size());
        Section* s = current;
        bool replaced = false;
        for (auto& kv : s->keys)
            if (same_name(kv.first, key)) {
                kv.second = value;
                replaced = true;
                break;
            }
        if (!replaced) s->keys.emplace_back(key, value);
    }
}

std::string IniStore::serialize() const {
    std::string out;
    for (const Section& s : sections_) {
        if (!out.empty()) out += '\n';
        out += '[' + escape(s.name, 0) + "]\n";
        for (const auto& kv : s.keys) {
            std::string key = escape(kv.first, '=');
            // A key that would read as a comment or a section gets its first character escaped.
            if (!key.empty() && (key[0] == ';' || key[0] == '#' || key[0] == '[' || key[0] == ' ' ||
                                 key[0] == '\t'))
                key.insert(key.begin(), '\\');
            out += key + '=' + escape(kv.second, 0) + '\n';
        }
    }
    return out;
}

int IniStore::load(const std::string& path) {
    sections_.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return errno == ENOENT || errno == ENOTDIR ? 0 : (errno ? errno : EIO);
    std::stringstream text;
    text << in.rdbuf();
    if (in.bad()) return EIO;
    parse(text.str());
    return 0;
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
    std::string tmp = target.string() + ".tmp" + std::to_string(::getpid());
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return errno ? errno : EIO;
    std::string text = serialize();
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fflush(f) == 0 && ok;
    int err = ok ? 0 : (errno ? errno : EIO);
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        err = errno ? errno : EIO;
    }
    if (ok && std::rename(tmp.c_str(), target.c_str()) != 0) {
        ok = false;
        err = errno ? errno : EIO;
    }
    if (!ok) std::remove(tmp.c_str());
    return err;
}
