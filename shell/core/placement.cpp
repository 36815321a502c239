// Window placement texts and their settings keys.
#include "shell/core/placement.h"

#include <algorithm>
#include <cstdio>

#include "model/services/profile.h"
#include "shell/core/text_scan.h"

bool frame_text_parse(std::string_view text, PlacementRect* out) {
    int v[4];
    *out = PlacementRect{};
    if (scan_ints(text, v, 4) < 4) return false;
    out->left = v[0];
    out->right = v[1];
    out->top = v[2];
    out->bottom = v[3];
    return true;
}

std::string frame_text_format(const PlacementRect& r) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d %d %d %d", r.left, r.right, r.top, r.bottom);
    return buf;
}

PlacementRect placement_fit_screen(const PlacementRect& r, int screen_width, int screen_height) {
    // 64-bit so that extreme stored numbers cannot overflow the comparison.
    long long left = std::max<long long>(r.left, 0), top = std::max<long long>(r.top, 0);
    long long right = std::min<long long>(r.right, screen_width);
    long long bottom = std::min<long long>(r.bottom, screen_height);
    if (right - left < 10 || bottom - top < 10) return PlacementRect{};
    return PlacementRect{int(left), int(top), int(right), int(bottom)};
}

bool placement_on_screen(const PlacementRect& r, int screen_width, int screen_height) {
    auto on = [&](int x, int y) { return x >= 0 && y >= 0 && x <= screen_width && y <= screen_height; };
    return !r.empty() && on(r.left, r.top) && on(r.right, r.bottom);
}

WindowPlacement window_placement_load(int screen_width, int screen_height) {
    WindowPlacement p;
    p.maximised = prof_get_int("Settings", "Maxed", 1) != 0;
    PlacementRect r;
    if (frame_text_parse(app_profile_get_text("Settings", "Frame", ""), &r))
        p.rect = placement_fit_screen(r, screen_width, screen_height);
    return p;
}

void window_placement_save(const WindowPlacement& p) {
    SettingsBatch batch;
    prof_put_int("Settings", "Maxed", p.maximised ? 1 : 0);
    prof_put_string("Settings", "Frame", frame_text_format(p.rect).c_str());
}

std::string layout_key(uint32_t owner_key) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", unsigned(owner_key));
    return buf;
}

bool layout_text_parse(std::string_view text, int* x, int* y) {
    int v[2];
    if (scan_ints(text, v, 2) < 2) return false;
    *x = v[0];
    *y = v[1];
    return true;
}

std::string layout_text_format(int x, int y) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d %d", x, y);
    return buf;
}

void layout_clamp(int* x, int* y, int screen_width, int screen_height) {
    *x = std::clamp(*x, 0, std::max(screen_width - 1, 0));
    *y = std::clamp(*y, 0, std::max(screen_height - 1, 0));
}

bool layout_load(uint32_t owner_key, int* x, int* y) {
    return layout_text_parse(app_profile_get_text("Layout", layout_key(owner_key).c_str(), ""), x, y);
}

void layout_save(uint32_t owner_key, int x, int y) {
    prof_put_string("Layout", layout_key(owner_key).c_str(), layout_text_format(x, y).c_str());
}
