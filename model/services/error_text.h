// The words behind the result code a message shows for a failed file operation:
// "... (28: no space left on device)" rather than a bare "(28)".
//
// The codes are the system's error numbers plus a few of the program's own, and 13
// means two things: the system's "permission denied" and the program's "bad data".
// The file tells them apart: a 13 for a file this process may not read (or, when
// writing, may not write, or whose folder it may not write) is the first; any other
// 13 about a file is the second.
#pragma once

#include <string>

enum class FileAccess { read, write };

// "28: no space left on device"; a code without words, and a 13 without a file,
// stay the bare number.
std::string error_code_text(int code, const char* path = nullptr,
                            FileAccess access = FileAccess::read);
