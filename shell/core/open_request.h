// The open request a second start of the program hands to the running one: the
// text [open("path")] and nothing else. The path is absolute, at most
// kOpenRequestMaxPath bytes, and holds no control character; anything else is
// refused, so a request from outside can only ask to open one file by name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr size_t kOpenRequestMaxPath = 4096;
// Longest request text: the path and the 10 bytes of [open("")].
inline constexpr size_t kOpenRequestMaxText = kOpenRequestMaxPath + 10;

// True when `text` is exactly one request; *path gets the path.
bool open_request_parse(std::string_view text, std::string* path);
// The request text for a path, or "" when the path cannot be sent (empty, relative,
// too long, holds a control character).
std::string open_request_format(std::string_view path);
