// Fuzz target for the "Frame" placement reader of the main window: a rectangle that
// reads writes back the same, and fitting it to a screen gives either the empty
// rectangle or one on the screen at least 10 pixels wide and high.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "shell/core/placement.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    PlacementRect r;
    if (!frame_text_parse(text, &r)) {
        if (!r.empty()) std::abort();
        return 0;
    }
    PlacementRect again;
    if (!frame_text_parse(frame_text_format(r), &again) || !(again == r)) std::abort();
    for (int w : {1, 640, 1920, 7680}) {
        PlacementRect f = placement_fit_screen(r, w, w * 9 / 16 + 1);
        if (f.empty()) {
            if (!(f == PlacementRect{})) std::abort();
            continue;
        }
        if (f.left < 0 || f.top < 0 || f.right > w || f.bottom > w * 9 / 16 + 1 || f.width() < 10 ||
            f.height() < 10)
            std::abort();
        if (placement_on_screen(f, w, w * 9 / 16 + 1) != true) std::abort();
    }
    return 0;
}
