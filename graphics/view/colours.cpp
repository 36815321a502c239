// The display palette and the colour-index mapping of drawing windows.
#include "graphics/view/colours.h"

namespace {

constexpr std::array<PaletteEntry, 256> make_palette() {
    std::array<PaletteEntry, 256> p{};
    constexpr uint8_t named[16][3] = {
        {0, 0, 0},       {192, 0, 0},   {255, 255, 0}, {0, 192, 0},
        {0, 192, 192},   {0, 128, 192}, {192, 0, 192}, {192, 192, 192},
        {128, 128, 128}, {255, 192, 0}, {192, 128, 0}, {128, 128, 0},
        {0, 128, 128},   {0, 0, 192},   {128, 0, 128}, {255, 255, 255}};
    for (int i = 0; i < 16; ++i) p[i] = {named[i][0], named[i][1], named[i][2], 0};
    for (int i = 16; i < 32; ++i) {
        const auto g = static_cast<uint8_t>((i - 16) * 16);
        p[i] = {g, g, g, 0};
    }
    for (int i = 32; i < 256; ++i) {
        const int j = i - 32;
        const int red = j / 32, blue = (j % 32) / 8, green = j % 8;
        p[i] = {static_cast<uint8_t>(red * 255 / 6), static_cast<uint8_t>(green * 255 / 7),
                static_cast<uint8_t>(blue * 255 / 3), 0};
    }
    return p;
}

}  // namespace

const std::array<PaletteEntry, 256> kDisplayPalette = make_palette();

DisplaySettings g_display;

int display_background_colour() {
    return g_display.black_background ? 7 : 0;
}

// A negative index shows the default colour. In monochrome everything shows as the
// colour that stands out from the background. Otherwise the low byte is taken, and
// the colour of the background itself is swapped for one that shows on it.
int colour_index_fix(int index) {
    if (index < 0) return g_display.default_colour;
    if (g_display.monochrome) return g_display.black_background ? 0 : 7;
    return colour_index_on_background(index, display_background_colour());
}

int colour_index_on_background(int index, int background) {
    const int c = index & 0xFF;
    if (background == 7) return (c == 7 || c == 15) ? 0 : c;
    return c == 0 ? 7 : c;
}

void colour_index_rgb(float rgba[4], int index) {
    const PaletteEntry& e = kDisplayPalette[static_cast<unsigned>(index) & 0xFFu];
    rgba[0] = e.red / 255.0f;
    rgba[1] = e.green / 255.0f;
    rgba[2] = e.blue / 255.0f;
    rgba[3] = 0.0f;
}
