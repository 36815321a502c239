// The main window's placement, read and written in the settings.
#include "shell/placement.h"

#include <algorithm>
#include <cstdio>

#include "model/services/profile.h"

MainPlacement placement_from_settings(int maxed, const std::string& frame, int screen_width,
                                      int screen_height) {
    MainPlacement p;
    p.maxed = maxed;
    int l, r, t, b;
    if (std::sscanf(frame.c_str(), "%d %d %d %d", &l, &r, &t, &b) != 4) return p;
    const int x0 = std::max(l, 0), x1 = std::min(r, screen_width);
    const int y0 = std::max(t, 0), y1 = std::min(b, screen_height);
    // Differences of ints from the file may overflow: compare in 64 bits.
    if (int64_t(x1) - x0 < 10 || int64_t(y1) - y0 < 10) return p;
    p.left = x0;
    p.right = x1;
    p.top = y0;
    p.bottom = y1;
    return p;
}

MainPlacement window_placement_load(int screen_width, int screen_height) {
    const int maxed = app_profile_get_int("Settings", "Maxed", 1);
    const std::string frame = app_profile_get_text("Settings", "Frame", "");
    return placement_from_settings(maxed, frame, screen_width, screen_height);
}

void window_placement_save(const MainPlacement& p) {
    SettingsBatch batch;
    app_profile_put_int("Settings", "Maxed", p.maxed);
    char text[64];
    std::snprintf(text, sizeof text, "%d %d %d %d", p.left, p.right, p.top, p.bottom);
    app_profile_put_string("Settings", "Frame", text);
}
