// Fuzz target for the "Layout" reader of the floating editor: a position that reads
// writes back to a text that reads the same, and clamping keeps it on any screen.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "shell/core/placement.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    int x = 0, y = 0;
    if (!layout_text_parse(text, &x, &y)) return 0;
    int x2 = 0, y2 = 0;
    if (!layout_text_parse(layout_text_format(x, y), &x2, &y2) || x2 != x || y2 != y) std::abort();
    for (int w : {0, 1, 1920, 7680}) {
        int cx = x, cy = y;
        layout_clamp(&cx, &cy, w, w / 2);
        if (cx < 0 || cy < 0 || (w > 0 && (cx >= w || (w / 2 > 0 && cy >= w / 2)))) std::abort();
    }
    return 0;
}
