// Reader of the menu and accelerator resource.
#include "shell/menu_resource.h"

#include <charconv>
#include <sstream>

const MenuBar* MenuResource::bar(int id) const {
    for (const MenuBar& b : bars)
        if (b.id == id) return &b;
    return nullptr;
}

namespace {

// Splits a line into words; a word in double quotes keeps its blanks.
bool split(const std::string& line, std::vector<std::string>* words) {
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        if (line[i] == '"') {
            const size_t end = line.find('"', i + 1);
            if (end == std::string::npos) return false;
            words->push_back(line.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            size_t end = i;
            while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r') ++end;
            words->push_back(line.substr(i, end - i));
            i = end;
        }
    }
    return true;
}

bool to_int(const std::string& s, int* v) {
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), *v);
    return ec == std::errc() && p == s.data() + s.size();
}

}  // namespace

bool menu_resource_parse(const std::string& text, MenuResource* out, int* error_line) {
    std::istringstream in(text);
    std::string line;
    int number = 0;
    MenuBar* bar = nullptr;
    std::vector<MenuNode*> stack;  // open popups
    auto fail = [&] {
        if (error_line) *error_line = number;
        return false;
    };
    while (std::getline(in, line)) {
        ++number;
        std::vector<std::string> w;
        if (!split(line, &w)) return fail();
        if (w.empty() || w[0][0] == '#') continue;
        const std::string& k = w[0];
        auto add = [&](MenuNode node) {
            if (stack.empty()) return false;
            stack.back()->children.push_back(std::move(node));
            return true;
        };
        if (k == "MENU") {
            int id;
            if (bar || w.size() != 2 || !to_int(w[1], &id)) return fail();
            out->bars.push_back({id, {}});
            bar = &out->bars.back();
        } else if (k == "POPUP") {
            if (!bar || w.size() != 2) return fail();
            MenuNode node{MenuNode::popup, 0, w[1], {}};
            if (stack.empty()) {
                bar->popups.push_back(std::move(node));
                stack.push_back(&bar->popups.back());
            } else {
                stack.back()->children.push_back(std::move(node));
                stack.push_back(&stack.back()->children.back());
            }
        } else if (k == "ITEM") {
            int id;
            if (w.size() != 3 || !to_int(w[1], &id) || id <= 0 || !add({MenuNode::item, id, w[2], {}}))
                return fail();
        } else if (k == "SEPARATOR" || k == "RECENT") {
            if (w.size() != 1 || !add({k == "RECENT" ? MenuNode::recent : MenuNode::separator, 0, "", {}}))
                return fail();
        } else if (k == "END") {
            if (w.size() != 1) return fail();
            if (!stack.empty()) {
                stack.pop_back();
            } else if (bar) {
                bar = nullptr;
            } else {
                return fail();
            }
        } else if (k == "ACCEL") {
            int id;
            if (bar || w.size() != 3 || !to_int(w[1], &id) || id <= 0) return fail();
            out->accelerators.push_back({id, w[2]});
        } else {
            return fail();
        }
    }
    if (bar) return fail();
    return true;
}

std::vector<int> menu_item_ids(const MenuBar& bar) {
    std::vector<int> ids;
    std::vector<const MenuNode*> todo;
    for (auto it = bar.popups.rbegin(); it != bar.popups.rend(); ++it) todo.push_back(&*it);
    while (!todo.empty()) {
        const MenuNode* n = todo.back();
        todo.pop_back();
        if (n->kind == MenuNode::item) ids.push_back(n->id);
        for (auto it = n->children.rbegin(); it != n->children.rend(); ++it) todo.push_back(&*it);
    }
    return ids;
}
