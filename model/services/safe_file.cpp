// Reading opens that refuse what is not a regular file, and locked temporary files.
#include "model/services/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace {

int refusal_of(const struct stat& st) {
    if (S_ISREG(st.st_mode)) return 0;
    return S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile;
}

inline int errno_or(int fallback) {
    return errno != 0 ? errno : fallback;
}

bool same_file(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

int safe_open_read(const char* path, int* error, uint64_t* size) {
    int e = 0;
    int fd = -1;
    struct stat st;
    if (!path || !*path) {
        e = ENOENT;
    } else if (stat(path, &st) == 0 && (e = refusal_of(st)) != 0) {
        // Not even opened: opening a device may act on it.
    } else {
        // Non-blocking, so a pipe put in the name's place meanwhile opens at once; what
        // was opened decides.
        fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            e = errno == ENXIO ? kNotRegularFile : errno_or(EIO);  // ENXIO: a socket
        } else if (fstat(fd, &st) != 0) {
            e = errno_or(EIO);
        } else if ((e = refusal_of(st)) == 0) {
            const int flags = fcntl(fd, F_GETFL);
            if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) e = errno_or(EIO);
        }
    }
    if (e != 0) {
        if (fd >= 0) close(fd);
        if (error) *error = e;
        errno = e;
        return -1;
    }
    if (size) *size = static_cast<uint64_t>(st.st_size);
    return fd;
}

std::FILE* safe_fopen_read(const char* path, int* error, uint64_t* size) {
    const int fd = safe_open_read(path, error, size);
    if (fd < 0) return nullptr;
    std::FILE* f = fdopen(fd, "rb");
    if (!f) {
        const int e = errno_or(ENOMEM);
        close(fd);
        if (error) *error = e;
        errno = e;
    }
    return f;
}

int temp_file_create(std::string* path, mode_t mode) {
    const bool unique = path->size() >= 6 && path->compare(path->size() - 6, 6, "XXXXXX") == 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = *path;
        const int fd = unique ? mkostemp(name.data(), O_CLOEXEC)
                              : open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
        if (fd < 0) return -1;
        // A folder without locks still gets its file: nobody then removes it as stale,
        // as the removal needs the lock too.
        (void)flock(fd, LOCK_EX);
        // A cleaner that took the new file for a stale one before the lock removed it:
        // make another.
        struct stat mine, named;
        if (fstat(fd, &mine) == 0 && stat(name.c_str(), &named) == 0 && same_file(mine, named)) {
            *path = name;
            return fd;
        }
        close(fd);
    }
    errno = EEXIST;
    return -1;
}

void temp_files_remove_stale(const std::string& folder,
                             const std::function<bool(const std::string& name)>& is_temp) {
    // Closed also when a name cannot be made for want of memory.
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.empty() ? "." : folder.c_str()),
                                                  &closedir);
    if (!dir) return;
    const int dfd = dirfd(dir.get());
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !is_temp(name)) continue;
        const int fd = openat(dfd, entry->d_name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        // Only an own regular file that no writer holds, still under this name.
        struct stat held, named;
        if (fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == geteuid() &&
            flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            fstatat(dfd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && same_file(held, named))
            unlinkat(dfd, entry->d_name, 0);
        close(fd);
    }
}
