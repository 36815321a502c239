// Saved state of the main window's toolbars, kept per program version so that each
// version keeps its own layout:
//  - the button set of each customisable bar: section "<version>\Custom", key
//    "TBx%X" of the bar's control id, value the command ids in order, 0 for a
//    separator, separated by commas ("57600,57601,0,57603");
//  - where each bar is docked: section "<version>\Toolbars\TB", key "Bar%X" of the bar
//    id, value "<side> <visible> <line> <index>" with side one of t b l r, the line
//    (row or column) counted from the window edge and the index within that line.
// The readers accept only these forms and bounded sizes; anything else reads as
// absent, and the caller keeps or rewrites its defaults.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "shell/core/toolbar_tables.h"

inline constexpr size_t kToolbarMaxButtons = 256;

struct BarPlacement {
    DockSide side = DockSide::kTop;
    bool visible = true;
    int line = 0;   // 0..63
    int index = 0;  // 0..63
    bool operator==(const BarPlacement&) const = default;
};

std::string toolbar_custom_section(std::string_view version);
std::string toolbar_layout_section(std::string_view version);
std::string toolbar_custom_key(int bar_id);  // "TBx%X"
std::string toolbar_layout_key(int bar_id);  // "Bar%X"

// Button list text: ids 0..65535, at most kToolbarMaxButtons entries, no blanks.
bool toolbar_buttons_parse(std::string_view text, std::vector<int>* ids);
std::string toolbar_buttons_format(const std::vector<int>& ids);
// Keeps only the ids that the bar offers, each once, and separators that stand
// between two buttons (no leading, trailing or doubled separators).
std::vector<int> toolbar_buttons_sanitise(const ToolbarDef& bar, const std::vector<int>& ids);

bool bar_placement_parse(std::string_view text, BarPlacement* out);
std::string bar_placement_format(const BarPlacement& p);

// Settings access. The load routines return false when the value is absent or does
// not read (the caller then saves its current state).
bool toolbar_buttons_load(std::string_view version, const ToolbarDef& bar, std::vector<int>* ids);
void toolbar_buttons_save(std::string_view version, int bar_id, const std::vector<int>& ids);
bool bar_placement_load(std::string_view version, int bar_id, BarPlacement* out);
void bar_placement_save(std::string_view version, int bar_id, const BarPlacement& p);
