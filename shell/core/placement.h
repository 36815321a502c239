// Window placement kept in the settings: the main window's rectangle and maximised
// flag (section "Settings", keys "Frame" and "Maxed") and the screen positions of the
// floating tool windows (section "Layout", one key per owner).
//
// All rectangles are screen pixels, left/top inclusive, right/bottom exclusive. The
// text readers never fail loudly: a text that does not hold the numbers gives the
// empty rectangle (or false), as a missing key does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct PlacementRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const PlacementRect&) const = default;
};

struct WindowPlacement {
    PlacementRect rect;  // empty: let the window system place the window
    bool maximised = true;
};

// "Frame" text: four ints "left right top bottom" (that order). Fewer than four
// numbers gives false and leaves *out empty.
bool frame_text_parse(std::string_view text, PlacementRect* out);
std::string frame_text_format(const PlacementRect& rect);
// The rectangle intersected with the screen (0, 0, width, height); when the
// intersection is narrower or lower than 10 pixels the empty rectangle.
PlacementRect placement_fit_screen(const PlacementRect& rect, int screen_width, int screen_height);
// True when the rectangle is not empty and both its corners lie on the screen: only
// then the main window takes it as its first position.
bool placement_on_screen(const PlacementRect& rect, int screen_width, int screen_height);

// Reads "Maxed" (default 1) and "Frame" of section "Settings" and fits the rectangle
// to the screen.
WindowPlacement window_placement_load(int screen_width, int screen_height);
// Writes "Maxed" and "Frame".
void window_placement_save(const WindowPlacement& placement);

// "Layout" keys: "0x%08X" of the owner's key word; values "x y" (left and top).
std::string layout_key(uint32_t owner_key);
bool layout_text_parse(std::string_view text, int* x, int* y);
std::string layout_text_format(int x, int y);
// The position clamped to 0..width - 1 and 0..height - 1 (a zero or negative size
// clamps to 0).
void layout_clamp(int* x, int* y, int screen_width, int screen_height);
// The stored position of an owner's tool window; false when absent or unreadable.
bool layout_load(uint32_t owner_key, int* x, int* y);
void layout_save(uint32_t owner_key, int x, int y);
