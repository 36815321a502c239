// The stroke fonts' code pages: byte to Unicode and back (see code_page.h).
#include "model/font/code_page.h"

#include <cstring>

#include "model/font/strokefont.h"
#include "model/services/utf8.h"

namespace {

constexpr uint32_t kDiameterSign = 0x2300, kDegreeSign = 0xB0;
constexpr unsigned char kDiameterByte = 4, kDegreeByte = 7;

// Code points of bytes 0x80 to 0x9F of the Latin page (0 where it has no character).
constexpr uint16_t kLatinHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                     0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
// Code points of bytes 0x80 to 0xBF of the Russian page; 0xC0 to 0xFF are U+0410 on.
constexpr uint16_t kCyrillicHigh[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0,      0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

bool same_glyph(const FontGlyph& a, const FontGlyph& b) {
    if (a.last != b.last) return false;
    return a.last < 0 || std::memcmp(a.strokes, b.strokes, sizeof(FontStroke) * static_cast<size_t>(a.last + 1)) == 0;
}

// The page's own character for a byte from 0x80 up; 0 where it has none.
uint32_t high_char(bool cyrillic, unsigned char byte) {
    if (cyrillic) return byte >= 0xC0 ? 0x0410u + (byte - 0xC0u) : kCyrillicHigh[byte - 0x80];
    return byte >= 0xA0 ? byte : kLatinHigh[byte - 0x80];
}

void put_utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

bool font_is_cyrillic(const StrokeFont* font) {
    const StrokeFont* cyr = font_builtin(1);
    if (!font || !cyr) return false;
    if (font == cyr) return true;
    return same_glyph(font->glyphs[0xC0], cyr->glyphs[0xC0]) && same_glyph(font->glyphs[0xE0], cyr->glyphs[0xE0]) &&
           !same_glyph(cyr->glyphs[0xC0], font_builtin(0)->glyphs[0xC0]);
}

int font_page_byte(const StrokeFont* font, uint32_t ch) {
    if (ch < 0x80) return static_cast<int>(ch);
    const bool cyrillic = font_is_cyrillic(font);
    for (int b = 0x80; b <= 0xFF; ++b)
        if (high_char(cyrillic, static_cast<unsigned char>(b)) == ch) return b;
    return -1;
}

uint32_t font_page_char(const StrokeFont* font, unsigned char byte) {
    if (byte == kDiameterByte) return kDiameterSign;
    if (byte == kDegreeByte) return kDegreeSign;
    if (byte < 0x80) return byte;
    const uint32_t ch = high_char(font_is_cyrillic(font), byte);
    return ch ? ch : byte;
}

std::string font_page_to_utf8(const StrokeFont* font, const std::string& text) {
    std::string out;
    for (unsigned char c : text) put_utf8(out, font_page_char(font, c));
    return out;
}

std::string font_page_from_utf8(const StrokeFont* font, const std::string& utf8, const std::string& before) {
    const bool cyrillic = font_is_cyrillic(font);
    // Bytes the page leaves unassigned stand for themselves (font_page_char).
    auto unassigned = [cyrillic](uint32_t cp) { return cp >= 0x80 && cp <= 0xFF && !high_char(cyrillic, cp); };
    const bool degree_as_7 = before.find(static_cast<char>(kDegreeByte)) != std::string::npos &&
                             before.find('\xB0') == std::string::npos;
    std::string out;
    const char* p = utf8.data();
    const char* end = p + utf8.size();
    while (p < end) {
        const uint32_t cp = utf8_next(&p, end);
        int b;
        if (cp == kDiameterSign)
            b = kDiameterByte;
        else if (cp == kDegreeSign && degree_as_7)
            b = kDegreeByte;
        else if (unassigned(cp))
            b = static_cast<int>(cp);
        else
            b = font_page_byte(font, cp);
        out += b < 0 ? '?' : static_cast<char>(b);
    }
    return out;
}
