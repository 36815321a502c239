// Tool-tip and status texts of command ids.
#include "shell/command_text.h"

#include "model/services/strtab.h"
#include "shell/core/toolbar_tables.h"

std::string command_tip_text(int command_id) {
    if (const char* s = res_find_string(uint32_t(command_id)); s && *s) {
        std::string text = s;
        size_t nl = text.find('\n');
        return nl == std::string::npos ? text : text.substr(nl + 1);
    }
    const ToolButtonDef* b = toolbar_button_find(command_id);
    return b ? b->name : std::string();
}

std::string command_prompt_text(int command_id) {
    const char* s = res_find_string(uint32_t(command_id));
    if (!s) return {};
    std::string text = s;
    size_t nl = text.find('\n');
    return nl == std::string::npos ? text : text.substr(0, nl);
}
