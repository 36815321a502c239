// Opening files for reading without ever waiting on them, and the temporary files a
// save writes beside its target.
//
// Every reader of a file the user names opens it here. A name that is not a regular
// file (a named pipe, a socket, a device) would block the open or feed bytes without
// end; it is refused at once, checked on the descriptor actually opened, so no
// swap of the name between a check and the open gets past it.
//
// A writer holds an advisory lock (flock) on its temporary file from the moment it
// exists until it is renamed over the target or removed. A temporary that nobody
// holds locked is left over from a save that died; the next successful save of the
// same target removes it.
#pragma once

#include <sys/types.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

// The code of a name that is not a regular file (a folder gives EISDIR).
inline constexpr int kNotRegularFile = ENODEV;

// Opens `path` read-only. Returns the descriptor (close-on-exec, blocking reads) or
// -1 with *error set: the C library's error number, EISDIR for a folder,
// kNotRegularFile for anything else that is not a regular file. `size`, when given,
// receives the file's size.
int safe_open_read(const char* path, int* error, uint64_t* size = nullptr);
// The same as a stdio stream ("rb"); null with *error set.
std::FILE* safe_fopen_read(const char* path, int* error, uint64_t* size = nullptr);

// Creates the temporary file `*path` with `mode` and locks it. A name ending in
// "XXXXXX" is made unique as mkstemp makes it; any other name is created or
// truncated. The lock lasts while the returned descriptor (or a duplicate of it)
// stays open: keep one open until the file is renamed or removed. -1 with errno set
// on failure.
int temp_file_create(std::string* path, mode_t mode);

// Removes every file of `folder` ("" for the current one) whose name `is_temp`
// accepts and that no writer holds locked. Best effort: what cannot be removed
// stays.
void temp_files_remove_stale(const std::string& folder,
                             const std::function<bool(const std::string& name)>& is_temp);
