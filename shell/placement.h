// The main window's placement in the settings: "Maxed" (default 1) and "Frame"
// ("left right top bottom") in section "Settings".
#pragma once

#include <string>

struct MainPlacement {
    int left = 0, top = 0, right = 0, bottom = 0;  // screen pixels; empty: none saved
    int maxed = 1;
    bool empty() const { return right <= left || bottom <= top; }
};

// The placement from its two stored values: the rectangle is kept only when it
// parses as four numbers and overlaps the screen (0, 0, width, height) by at least
// 10 pixels each way, and then it is the overlap; otherwise it is empty.
MainPlacement placement_from_settings(int maxed, const std::string& frame, int screen_width,
                                      int screen_height);
MainPlacement window_placement_load(int screen_width, int screen_height);
void window_placement_save(const MainPlacement& placement);
