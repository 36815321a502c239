// UTF-8 walking, checking and cutting (declared in utf8.h).
#include "model/services/utf8.h"

#include <cstring>

size_t utf8_sequence_length(const char* p, const char* end) {
    if (p >= end) return 0;
    const auto* s = reinterpret_cast<const unsigned char*>(p);
    const unsigned c = s[0];
    if (c < 0x80) return 1;
    size_t len;
    unsigned lo = 0x80, hi = 0xBF;  // range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0) lo = 0xA0;  // no overlong forms
        if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;  // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (static_cast<size_t>(end - p) < len) return 0;
    if (s[1] < lo || s[1] > hi) return 0;
    for (size_t k = 2; k < len; ++k)
        if (s[k] < 0x80 || s[k] > 0xBF) return 0;
    return len;
}

bool utf8_is_valid(const char* text, size_t len) {
    const char* end = text + len;
    for (const char* p = text; p < end;) {
        if (*p == '\0') return false;
        const size_t n = utf8_sequence_length(p, end);
        if (n == 0) return false;
        p += n;
    }
    return true;
}

uint32_t utf8_next(const char** p, const char* end) {
    const auto* s = reinterpret_cast<const unsigned char*>(*p);
    const size_t n = utf8_sequence_length(*p, end);
    if (n <= 1) {
        *p += 1;
        return s[0];  // ASCII, or a stray byte read as Latin-1
    }
    uint32_t cp = s[0] & (0x7Fu >> n);
    for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (s[k] & 0x3Fu);
    *p += n;
    return cp;
}

size_t utf8_cut(const char* text, size_t len, size_t max_bytes) {
    if (!text || len <= max_bytes) return text ? len : 0;
    // Step back from the limit to the start of the character that crosses it.
    const char* end = text + len;
    size_t cut = max_bytes;
    for (size_t back = 0; back < 3 && cut > 0; ++back) {
        const size_t start = cut - 1 - back;
        const size_t n = utf8_sequence_length(text + start, end);
        if (n > 0) {
            // A sequence starting here either ends at or before the limit (the cut
            // stands) or crosses it (cut before it).
            return start + n <= max_bytes ? cut : start;
        }
        if ((static_cast<unsigned char>(text[start]) & 0xC0) != 0x80) break;  // a stray lead byte
        if (start == 0) break;
    }
    return cut;
}

size_t utf8_cut(const char* text, size_t max_bytes) {
    return text ? utf8_cut(text, std::strlen(text), max_bytes) : 0;
}

size_t utf8_copy(char* buffer, size_t size, const char* text, size_t len) {
    if (!buffer || size == 0) return 0;
    const size_t n = text ? utf8_cut(text, len, size - 1) : 0;
    if (n) std::memmove(buffer, text, n);
    buffer[n] = '\0';
    return n;
}

size_t utf8_copy(char* buffer, size_t size, const std::string& text) {
    return utf8_copy(buffer, size, text.data(), text.size());
}

size_t utf8_copy(char* buffer, size_t size, const char* text) {
    return utf8_copy(buffer, size, text, text ? std::strlen(text) : 0);
}
