// UTF-8 text: walking it a character at a time, telling well-formed text from bytes
// that are not, and cutting a text to a byte limit without splitting a character.
// Every place that fits a text into a fixed number of bytes (settings values, texts
// kept by dialogs, the 3D text, names) cuts through utf8_cut or utf8_copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Length of the well-formed UTF-8 sequence at p (before end): 1 to 4, or 0 when none
// starts there (a stray continuation byte, an overlong form, a surrogate, a sequence
// cut short).
size_t utf8_sequence_length(const char* p, const char* end);

// True when the bytes are well-formed UTF-8 without NUL bytes.
bool utf8_is_valid(const char* text, size_t len);
inline bool utf8_is_valid(const std::string& text) { return utf8_is_valid(text.data(), text.size()); }

// The next code point of UTF-8 text at *p (before end), advancing *p; a byte that
// does not start a well-formed sequence stands for itself (Latin-1).
uint32_t utf8_next(const char** p, const char* end);

// Length of the first `len` bytes of `text` cut to at most `max_bytes` bytes on a
// character boundary: never inside a well-formed sequence (a byte that starts none
// counts as one character).
size_t utf8_cut(const char* text, size_t len, size_t max_bytes);
// The same for a null-terminated text (null counts as "").
size_t utf8_cut(const char* text, size_t max_bytes);

// Copies `text` into `buffer` of `size` bytes, cut by utf8_cut to size - 1 bytes, and
// terminates it. Returns the bytes copied; nothing is written when size is 0.
size_t utf8_copy(char* buffer, size_t size, const char* text, size_t len);
size_t utf8_copy(char* buffer, size_t size, const std::string& text);
size_t utf8_copy(char* buffer, size_t size, const char* text);  // null-terminated; null is ""
