// The display palette of drawing windows and the mapping of a drawing colour index to
// the colour a window shows: 16 named colours, a 16-step grey ramp, then a
// 7 x 4 x 8 red-blue-green cube.
//
// The three display settings (default colour, black background, monochrome) are
// preferences of the whole program, set at start-up and by the display settings;
// read them from the user-interface thread.
#pragma once

#include <array>
#include <cstdint>

struct PaletteEntry {
    uint8_t red, green, blue, unused;
};

// The 256 entries of the display palette.
extern const std::array<PaletteEntry, 256> kDisplayPalette;

struct DisplaySettings {
    int32_t default_colour = 15;    // shown for a negative colour index
    bool black_background = false;  // preference "BlackBkg": background colour 7
    bool monochrome = false;        // every colour shows as one
    int32_t highlight_colour = 15;  // selected objects are drawn in it
};
extern DisplaySettings g_display;

// The background colour index: 7 on a black background, else 0.
int display_background_colour();
// The display colour index of a drawing colour index (see colours.cpp).
int colour_index_fix(int index);
// The colour index a non-negative drawing colour index shows in on a background of
// colour `background` (7 or 0), whatever the display settings: the low byte, with
// the background's own colour swapped for one that shows on it (on 7, indices 7
// and 15 become 0; on 0, index 0 becomes 7). Prints use it with background 7, white
// paper being a light background.
int colour_index_on_background(int index, int background);
// Fills red, green, blue with the palette entry (low 8 bits of the index) / 255 and
// alpha with 0.
void colour_index_rgb(float rgba[4], int index);
