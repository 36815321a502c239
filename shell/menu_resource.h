// The menu and accelerator resource (resources/menus.txt) read into plain records.
// See the file's head for its lines. Qt-free; the main frame builds its menus from
// these records.
#pragma once

#include <string>
#include <vector>

struct MenuNode {
    enum Kind { item, popup, separator, recent };
    Kind kind = item;
    int id = 0;                      // command id of an item
    std::string text;                // item or popup text with its '&'
    std::vector<MenuNode> children;  // of a popup
};

struct MenuBar {
    int id = 0;
    std::vector<MenuNode> popups;
};

struct Accelerator {
    int id = 0;
    std::string key;  // "Ctrl+N", "F10"
};

struct MenuResource {
    std::vector<MenuBar> bars;
    std::vector<Accelerator> accelerators;
    // The bar with that id, or null.
    const MenuBar* bar(int id) const;
};

// Reads the resource text. False, with the line number in *error_line, for a line
// it cannot read or an unbalanced END; what was read stays in *out.
bool menu_resource_parse(const std::string& text, MenuResource* out, int* error_line);
// The ids of every item of a bar, depth first.
std::vector<int> menu_item_ids(const MenuBar& bar);
