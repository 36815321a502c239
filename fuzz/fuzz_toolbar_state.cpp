// Fuzz target for the toolbar state readers: the button list and the dock place.
// What reads must be in range and write back to text that reads the same; a
// sanitised list holds only the bar's own buttons, each once, with separators only
// between buttons.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "shell/core/toolbar_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<int> ids;
    if (toolbar_buttons_parse(text, &ids)) {
        if (ids.size() > kToolbarMaxButtons) std::abort();
        for (int id : ids)
            if (id < 0 || id > 65535) std::abort();
        std::vector<int> again;
        if (!toolbar_buttons_parse(toolbar_buttons_format(ids), &again) || again != ids) std::abort();
        for (const ToolbarDef& bar : toolbar_table()) {
            std::vector<int> clean = toolbar_buttons_sanitise(bar, ids);
            std::set<int> seen;
            for (size_t i = 0; i < clean.size(); ++i) {
                if (clean[i] == 0) {
                    if (i == 0 || i + 1 == clean.size() || clean[i - 1] == 0) std::abort();
                    continue;
                }
                if (!seen.insert(clean[i]).second) std::abort();
                bool offered = false;
                for (const ToolButtonDef& b : toolbar_buttons(bar)) offered |= b.command_id == clean[i];
                if (!offered) std::abort();
            }
        }
    }
    BarPlacement p;
    if (bar_placement_parse(text, &p)) {
        if (p.line < 0 || p.line > 63 || p.index < 0 || p.index > 63) std::abort();
        BarPlacement q;
        if (!bar_placement_parse(bar_placement_format(p), &q) || !(q == p)) std::abort();
    }
    return 0;
}
