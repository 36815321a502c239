// Texts of a command id for toolbars and their customise dialog.
#pragma once

#include <string>

// The tool-tip text: the part of the command's string after '\n' (the whole string
// when it has none); the toolbar table's short name when the string table has none.
std::string command_tip_text(int command_id);
// The status-line text: the part before '\n' (the whole string), or "" when none.
std::string command_prompt_text(int command_id);
