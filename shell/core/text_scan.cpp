// Locale-free scanning of blank-separated integers in settings texts.
#include "shell/core/text_scan.h"

#include <charconv>

static bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int scan_ints(std::string_view text, int* out, int count) {
    size_t pos = 0;
    int got = 0;
    while (got < count) {
        while (pos < text.size() && is_blank(text[pos])) ++pos;
        size_t start = pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
        size_t digits = pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
        if (pos == digits) break;
        // from_chars takes no leading '+'.
        const char* first = text.data() + start + (text[start] == '+' ? 1 : 0);
        int value = 0;
        auto [ptr, ec] = std::from_chars(first, text.data() + pos, value);
        if (ec != std::errc() || ptr != text.data() + pos) break;
        out[got++] = value;
    }
    return got;
}
