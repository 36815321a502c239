// Build-time generator of the string table: reads resources/strings.txt and writes
// the sorted lookup table (a .cpp file of plain data) and a header of the symbols.
//
//   strtab_gen <strings.txt> <out table .cpp> <out ids .h>
//
// The input holds one entry a line: id, symbol, text in double quotes (escapes \n,
// \t, \" and \\); blank lines and lines starting with '#' are skipped. A duplicate
// id or symbol, a bad line or an unknown escape stops the build with the line number.
// Outputs are rewritten only when their text changes, so an unchanged table does not
// rebuild its users.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Entry {
    unsigned long id = 0;
    std::string symbol;
    std::string text;
    int line = 0;
};

bool fail(const std::string& file, int line, const std::string& what) {
    std::fprintf(stderr, "%s:%d: %s\n", file.c_str(), line, what.c_str());
    return false;
}

bool is_symbol(const std::string& s) {
    if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

// Parses one entry line; false with a message on error.
bool parse_line(const std::string& file, int lineno, const std::string& line, Entry& out) {
    size_t i = 0;
    auto skip_blanks = [&] {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    };
    skip_blanks();
    size_t start = i;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
    if (i == start || i - start > 5) return fail(file, lineno, "expected a numeric id (at most 5 digits)");
    out.id = std::stoul(line.substr(start, i - start));
    if (out.id > 65535) return fail(file, lineno, "id above 65535");
    skip_blanks();
    start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    out.symbol = line.substr(start, i - start);
    if (!is_symbol(out.symbol)) return fail(file, lineno, "expected a C identifier as symbol");
    skip_blanks();
    if (i >= line.size() || line[i] != '"') return fail(file, lineno, "expected the text in double quotes");
    ++i;
    out.text.clear();
    bool closed = false;
    while (i < line.size()) {
        char c = line[i++];
        if (c == '"') {
            closed = true;
            break;
        }
        if (c != '\\') {
            out.text += c;
            continue;
        }
        if (i >= line.size()) return fail(file, lineno, "escape at the end of the line");
        char e = line[i++];
        switch (e) {
            case 'n': out.text += '\n'; break;
            case 't': out.text += '\t'; break;
            case '"': out.text += '"'; break;
            case '\\': out.text += '\\'; break;
            default: return fail(file, lineno, std::string("unknown escape \\") + e);
        }
    }
    if (!closed) return fail(file, lineno, "text without its closing quote");
    skip_blanks();
    if (i != line.size()) return fail(file, lineno, "text after the closing quote");
    out.line = lineno;
    return true;
}

// The text as a C string literal; every byte outside printable ASCII as an octal escape.
std::string c_literal(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 32 && c < 127 && c != '?') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            out += buf;
        }
    }
    return out + "\"";
}

bool write_if_changed(const std::string& path, const std::string& text) {
    {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            std::stringstream old;
            old << in.rdbuf();
            if (old.str() == text) return true;
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "strtab_gen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: strtab_gen <strings.txt> <table.cpp> <ids.h>\n");
        return 2;
    }
    const std::string file = argv[1];
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "strtab_gen: cannot read %s\n", file.c_str());
        return 1;
    }
    std::vector<Entry> entries;
    std::map<unsigned long, int> id_line;
    std::map<std::string, int> symbol_line;
    std::string line;
    int lineno = 0;
    bool ok = true;
    while (std::getline(in, line)) {
        ++lineno;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        Entry e;
        if (!parse_line(file, lineno, line, e)) {
            ok = false;
            continue;
        }
        if (auto it = id_line.find(e.id); it != id_line.end()) {
            ok = fail(file, lineno, "id " + std::to_string(e.id) + " already given on line " +
                                        std::to_string(it->second));
            continue;
        }
        if (auto it = symbol_line.find(e.symbol); it != symbol_line.end()) {
            ok = fail(file, lineno, "symbol " + e.symbol + " already given on line " +
                                        std::to_string(it->second));
            continue;
        }
        id_line[e.id] = lineno;
        symbol_line[e.symbol] = lineno;
        entries.push_back(std::move(e));
    }
    if (!ok) return 1;
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.id < b.id; });

    std::string table =
        "// Generated by tools/strtab_gen from resources/strings.txt. Do not edit.\n"
        "#include \"model/services/strtab_data.h\"\n\n"
        "const StrTabEntry g_strtab_entries[] = {\n";
    for (const Entry& e : entries)
        table += "    {" + std::to_string(e.id) + "u, " + c_literal(e.text) + "},\n";
    table += "};\n\nconst size_t g_strtab_count = " + std::to_string(entries.size()) + ";\n";

    std::string ids =
        "// Generated by tools/strtab_gen from resources/strings.txt. Do not edit.\n"
        "// The symbols of the string table's ids.\n"
        "#pragma once\n\n#include <cstdint>\n\n";
    for (const Entry& e : entries)
        ids += "inline constexpr uint32_t " + e.symbol + " = " + std::to_string(e.id) + ";\n";

    return write_if_changed(argv[2], table) && write_if_changed(argv[3], ids) ? 0 : 1;
}
