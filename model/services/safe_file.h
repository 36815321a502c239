// Opening files for reading without ever waiting on them, and the one way every
// save replaces a file.
//
// Every reader of a file the user names opens it here. A name that is not a regular
// file (a named pipe, a socket, a device) would block the open or feed bytes without
// end; it is refused at once, checked on the descriptor actually opened, so no
// swap of the name between a check and the open gets past it.
//
// Every save (drawings, blocks, images, movies, printed PDFs, the drawing report, the
// settings) goes through save_begin / save_replace, or the SafeWriter built on them:
// - the target is refused at once when it is a folder (EISDIR), not a regular file
//   (kNotRegularFile: a pipe is never opened) or a file its user may not write, or
//   that has no write permission at all (EACCES): it stays as it is;
// - a symbolic link is followed: the linked file is replaced and the link stays;
// - the bytes go to a hidden temporary beside the target, with the target's mode (a
//   new file: 0666 less the umask), locked (flock) from its making to its rename;
// - the file is synced to the disk before the rename, the folder after it; a failed
//   rename is a failed save, and the temporary is then removed;
// - a successful save removes the temporaries of saves of the same target that died.
//
// The temporary of "name" is ".name~zelo-save-" + six letters or digits + ten
// hexadecimal digits; a name too long for that (past the file system's limit) is cut
// on a character boundary. The ten digits are a digest of the six and of the
// temporary's own device and inode numbers, so only a file this program made under
// that name carries them: a file is removed as stale only when its name has that form
// for the target, its digits match the file it names, it is a regular file of this
// user and no writer holds its lock. Copies, backups and other programs' temporaries
// beside the target are never touched, and a temporary never takes the name of a
// file that exists.
#pragma once

#include <sys/types.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
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

// Whether a save of `path` may replace it: 0, or the code save_begin refuses it with
// (the file itself is looked at; a missing file is 0).
int save_refusal(const char* path);

// Starts a save of `path`: checks the target (above), makes its locked temporary and
// gives the target (a link followed) and the temporary's name and descriptor. The lock
// lasts while the descriptor (or a duplicate) stays open. 0, or the code of the
// refusal or failure (nothing is left behind then). Out of memory throws
// std::bad_alloc, with nothing left behind either.
int save_begin(const char* path, std::string* target, std::string* temp, int* fd);
// Syncs a finished temporary to the disk: 0, or errno (a file system that cannot
// sync is no failure).
int save_sync(int fd);
// Ends a save: renames the temporary (synced and closed by the caller, its lock
// still held) over the target, syncs the folder and removes the target's stale
// temporaries. 0, or errno of the failed rename: the temporary is then removed and
// the target is as it was.
int save_replace(const std::string& temp, const std::string& target);
// Whether `entry` has the form of a temporary of a save of the file `name` in a folder
// whose names take at most `name_max` bytes (the name only; the digits are not
// checked against a file).
bool save_temp_name_matches(const std::string& entry, const std::string& name, size_t name_max = 255);

// A file written through a save: open, write, commit; destroyed or aborted without a
// commit, the temporary is removed and the target is as it was.
class SafeWriter {
  public:
    SafeWriter() = default;
    ~SafeWriter() { abort(); }
    SafeWriter(const SafeWriter&) = delete;
    SafeWriter& operator=(const SafeWriter&) = delete;

    [[nodiscard]] int open(const char* path);  // 0, or the code of save_begin
    // Appends; after the first failure every call answers that code.
    int write(const void* data, size_t size);
    // Sync, close, rename, folder sync, stale temporaries: 0 or the code. The
    // temporary is gone either way.
    [[nodiscard]] int commit();
    void abort();
    int fd() const { return fd_; }
    const std::string& target() const { return target_; }
    const std::string& temp_path() const { return temp_; }

  private:
    int fd_ = -1;
    int err_ = 0;
    std::string target_, temp_;
};

// The whole file at once through a SafeWriter: 0 or the code.
[[nodiscard]] int safe_write_file(const char* path, const void* data, size_t size);

// The process's file mode mask, read without changing it (threads may be creating
// files at the same time).
mode_t process_umask();
