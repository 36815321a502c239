// The 8-bit code pages of the stroke fonts: which Unicode character each byte of a
// text stands for, and back. A font drawn from the Cyrillic built-in uses the Russian
// page (windows-1251 layout), every other font the Latin one (windows-1252); in both,
// byte 4 is the diameter sign and byte 7 the degree sign of the dimension texts.
#pragma once

#include <cstdint>
#include <string>

struct StrokeFont;

// True for the Cyrillic built-in font and fonts copied from it.
bool font_is_cyrillic(const StrokeFont* font);

// The byte of the font's page for a Unicode character from U+0080 up (below it the
// character itself); -1 when the page has none. Whether the font holds a glyph for
// it is not asked.
int font_page_byte(const StrokeFont* font, uint32_t ch);

// The Unicode character a byte of the font's page stands for. A byte the page leaves
// unassigned stands for the code point of its own value, so every byte comes back.
uint32_t font_page_char(const StrokeFont* font, unsigned char byte);

// A text of the font's page as UTF-8.
std::string font_page_to_utf8(const StrokeFont* font, const std::string& text);

// UTF-8 back into the font's page; a character the page has no byte for becomes '?'
// (a byte that is not UTF-8 is taken as Latin-1). Where two bytes stand for one
// character (the degree sign), the one `before` (the text as it was) used is kept.
std::string font_page_from_utf8(const StrokeFont* font, const std::string& utf8, const std::string& before = {});
