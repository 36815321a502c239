// Reading and writing the toolbar state texts.
#include "shell/core/toolbar_state.h"

#include <charconv>
#include <cstdio>
#include <set>

#include "model/services/profile.h"
#include "shell/core/text_scan.h"

std::string toolbar_custom_section(std::string_view version) {
    return std::string(version) + "\\Custom";
}

std::string toolbar_layout_section(std::string_view version) {
    return std::string(version) + "\\Toolbars\\TB";
}

std::string toolbar_custom_key(int bar_id) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "TBx%X", unsigned(bar_id));
    return buf;
}

std::string toolbar_layout_key(int bar_id) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "Bar%X", unsigned(bar_id));
    return buf;
}

bool toolbar_buttons_parse(std::string_view text, std::vector<int>* ids) {
    ids->clear();
    if (text.empty()) return true;  // a bar the user emptied
    size_t pos = 0;
    while (true) {
        size_t end = text.find(',', pos);
        std::string_view item = text.substr(pos, end == std::string_view::npos ? end : end - pos);
        if (item.empty() || item.size() > 5 || ids->size() >= kToolbarMaxButtons) return false;
        int value = 0;
        auto [ptr, ec] = std::from_chars(item.data(), item.data() + item.size(), value);
        if (ec != std::errc() || ptr != item.data() + item.size() || value < 0 || value > 65535)
            return false;
        ids->push_back(value);
        if (end == std::string_view::npos) return true;
        pos = end + 1;
    }
}

std::string toolbar_buttons_format(const std::vector<int>& ids) {
    std::string out;
    for (size_t i = 0; i < ids.size(); ++i) {
        if (i) out += ',';
        out += std::to_string(ids[i]);
    }
    return out;
}

std::vector<int> toolbar_buttons_sanitise(const ToolbarDef& bar, const std::vector<int>& ids) {
    std::set<int> offered, used;
    for (const ToolButtonDef& b : toolbar_buttons(bar)) offered.insert(b.command_id);
    std::vector<int> out;
    for (int id : ids) {
        if (id == 0) {
            if (!out.empty() && out.back() != 0) out.push_back(0);
        } else if (offered.count(id) && used.insert(id).second) {
            out.push_back(id);
        }
    }
    if (!out.empty() && out.back() == 0) out.pop_back();
    return out;
}

bool bar_placement_parse(std::string_view text, BarPlacement* out) {
    size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos >= text.size()) return false;
    BarPlacement p;
    switch (text[pos]) {
        case 't': p.side = DockSide::kTop; break;
        case 'b': p.side = DockSide::kBottom; break;
        case 'l': p.side = DockSide::kLeft; break;
        case 'r': p.side = DockSide::kRight; break;
        default: return false;
    }
    ++pos;
    if (pos >= text.size() || text[pos] != ' ') return false;
    int v[3];
    if (scan_ints(text.substr(pos), v, 3) < 3) return false;
    if ((v[0] != 0 && v[0] != 1) || v[1] < 0 || v[1] > 63 || v[2] < 0 || v[2] > 63) return false;
    p.visible = v[0] == 1;
    p.line = v[1];
    p.index = v[2];
    *out = p;
    return true;
}

std::string bar_placement_format(const BarPlacement& p) {
    static const char kSides[] = {'t', 'b', 'l', 'r'};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%c %d %d %d", kSides[int(p.side)], p.visible ? 1 : 0, p.line, p.index);
    return buf;
}

bool toolbar_buttons_load(std::string_view version, const ToolbarDef& bar, std::vector<int>* ids) {
    std::string section = toolbar_custom_section(version);
    std::string key = toolbar_custom_key(bar.bar_id);
    std::string text;
    // A key that is absent reads as the marker; a stored text never holds '?'.
    text = app_profile_get_text(section.c_str(), key.c_str(), "?");
    std::vector<int> raw;
    if (text == "?" || !toolbar_buttons_parse(text, &raw)) return false;
    *ids = toolbar_buttons_sanitise(bar, raw);
    return true;
}

void toolbar_buttons_save(std::string_view version, int bar_id, const std::vector<int>& ids) {
    prof_put_string(toolbar_custom_section(version).c_str(), toolbar_custom_key(bar_id).c_str(),
                    toolbar_buttons_format(ids).c_str());
}

bool bar_placement_load(std::string_view version, int bar_id, BarPlacement* out) {
    return bar_placement_parse(app_profile_get_text(toolbar_layout_section(version).c_str(),
                                                    toolbar_layout_key(bar_id).c_str(), ""),
                               out);
}

void bar_placement_save(std::string_view version, int bar_id, const BarPlacement& p) {
    prof_put_string(toolbar_layout_section(version).c_str(), toolbar_layout_key(bar_id).c_str(),
                    bar_placement_format(p).c_str());
}
