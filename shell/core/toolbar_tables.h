// The button tables of the main window's toolbars: which command ids each bar shows,
// in which order, where its separators stand, and where the bar docks.
//
// The customisable bars take their buttons from button strips: one shared strip of
// 76 buttons (each bar a contiguous range of it) and one strip each for the
// dimension, object-snap and polyline-editor bars. Every button has an icon named by
// its command id (resources/icons) and a short name used where the string table has
// no text for the command.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

enum class DockSide { kTop, kBottom, kLeft, kRight };

struct ToolButtonDef {
    int command_id;
    const char* name;  // short name: tooltip and customise list when no string exists
};

struct ToolbarDef {
    int bar_id;        // control id (also the key of its saved state)
    int caption_id;    // string id of the caption
    DockSide side;     // where it docks first
    std::span<const ToolButtonDef> strip;
    int first;         // first button of the strip
    int count;         // number of buttons
    std::span<const int> separators;  // a separator before the n-th added button
};

// The eleven bars in order of docking.
std::span<const ToolbarDef> toolbar_table();
// The bar with this control id, or null.
const ToolbarDef* toolbar_find(int bar_id);
// The buttons of a bar: strip[first .. first + count - 1].
std::span<const ToolButtonDef> toolbar_buttons(const ToolbarDef& bar);
// The default layout of a bar: command ids with 0 for each separator.
std::vector<int> toolbar_default_layout(const ToolbarDef& bar);
// The button definition of a command id on any bar, or null.
const ToolButtonDef* toolbar_button_find(int command_id);
// Every command id that has an icon (all strips plus the drawing window's and the
// preview window's bars), each once.
std::vector<int> toolbar_icon_ids();

// Fixed buttons of the drawing window's "Edit" bar and the preview window's bar.
std::span<const ToolButtonDef> edit_bar_buttons();
std::span<const ToolButtonDef> preview_bar_buttons();
