// Reading opens that refuse what is not a regular file, and the safe replacing of a
// file that every save goes through.
#include "model/services/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <new>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "model/services/utf8.h"

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

// ---- Saves

namespace {

constexpr std::string_view kMark = "~zelo-save-";
// The name ends in six letters or digits of mkstemp's and the digest's hexadecimal
// digits.
constexpr size_t kUnique = 6;
constexpr size_t kDigest = 10;
constexpr size_t kDigits = kUnique + kDigest;
// What a temporary's name adds to the part of the target's name it keeps.
constexpr size_t kAdded = 1 + kMark.size() + kDigits;

// The digest that ties a temporary's name to the file it names: of its device and
// inode numbers and the unique letters before it.
std::string file_digest(const struct stat& st, std::string_view unique) {
    uint64_t h = 0x9E3779B97F4A7C15ull;
    auto mix = [&h](uint64_t v) {
        h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
        h ^= h >> 31;
        h *= 0xBF58476D1CE4E5B9ull;
        h ^= h >> 29;
    };
    mix(static_cast<uint64_t>(st.st_dev));
    mix(static_cast<uint64_t>(st.st_ino));
    for (char c : unique) mix(static_cast<unsigned char>(c));
    char out[17];
    std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(h));
    return std::string(out, kDigest);
}

// Gives `from` the name `to` unless a file has it (EEXIST then).
int rename_new(const char* from, const char* to) {
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno_or(EIO);
    // A file system without the flag: a second link, then the first goes.
    if (link(from, to) != 0) return errno_or(EIO);
    unlink(from);
    return 0;
}

// The part of `name` a temporary's name keeps.
std::string temp_stem(const std::string& name, size_t name_max) {
    if (name.size() + kAdded <= name_max) return name;
    const size_t room = name_max > kAdded ? name_max - kAdded : 0;
    return name.substr(0, utf8_cut(name.data(), name.size(), room));
}

size_t folder_name_max(const std::string& folder) {
    const long n = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return n > 0 ? static_cast<size_t>(n) : 255;
}

void split_path(const std::string& path, std::string* folder, std::string* name) {
    const size_t slash = path.rfind('/');
    *folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a save replaces: a symbolic link is followed, also one that names a file
// not made yet (the save makes it where the link points, and the link stays).
std::string resolve_target(const std::string& path) {
    std::string p = path;
    struct stat st;
    for (int hops = 0; hops < 40 && lstat(p.c_str(), &st) == 0 && S_ISLNK(st.st_mode); ++hops) {
        if (char* real = realpath(p.c_str(), nullptr)) {
            std::string r(real);
            std::free(real);
            return r;
        }
        std::string to(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = readlink(p.c_str(), to.data(), to.size());
        if (n <= 0 || static_cast<size_t>(n) >= to.size()) return p;
        to.resize(static_cast<size_t>(n));
        const size_t slash = p.rfind('/');
        p = to[0] == '/' || slash == std::string::npos ? to : p.substr(0, slash + 1) + to;
    }
    return p;
}

int refusal_of_target(const std::string& target) {
    struct stat st;
    errno = 0;
    // A missing file is made; links that go round in a circle stay as they are.
    if (stat(target.c_str(), &st) != 0) return errno == ELOOP ? ELOOP : 0;
    if (const int e = refusal_of(st)) return e;
    errno = 0;
    if (access(target.c_str(), W_OK) != 0) return errno_or(EACCES);
    // Made read-only by its owner: kept as it is even for a user whom the system
    // would let write it.
    if ((st.st_mode & 0222) == 0) return EACCES;
    return 0;
}

// Removes the stale temporaries of saves of `name` in `folder`.
void remove_stale(const std::string& folder, const std::string& name) {
    // Closed also when a name cannot be made for want of memory.
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.empty() ? "." : folder.c_str()),
                                                  &closedir);
    if (!dir) return;
    const size_t name_max = folder_name_max(folder);
    const int dfd = dirfd(dir.get());
    while (const dirent* entry = readdir(dir.get())) {
        const std::string entry_name = entry->d_name;
        if (!save_temp_name_matches(entry_name, name, name_max)) continue;
        const int fd = openat(dfd, entry->d_name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        // Only an own regular file made under this name, that no writer holds, still
        // under this name.
        struct stat held, named;
        if (fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == geteuid() &&
            entry_name.compare(entry_name.size() - kDigest, kDigest,
                               file_digest(held, std::string_view(entry_name).substr(entry_name.size() - kDigits, kUnique))) == 0 &&
            flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            fstatat(dfd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && same_file(held, named))
            unlinkat(dfd, entry->d_name, 0);
        close(fd);
    }
}

}  // namespace

mode_t process_umask() {
    static const mode_t mask = [] {
        if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
            char line[128];
            unsigned value = 0;
            bool found = false;
            while (!found && std::fgets(line, sizeof line, f)) found = std::sscanf(line, "Umask: %o", &value) == 1;
            std::fclose(f);
            if (found) return static_cast<mode_t>(value & 0777);
        }
        const mode_t m = umask(022);  // no /proc: read it the old way, once
        umask(m);
        return m;
    }();
    return mask;
}

bool save_temp_name_matches(const std::string& entry, const std::string& name, size_t name_max) {
    const std::string stem = temp_stem(name, name_max);
    if (entry.size() != stem.size() + kAdded || entry[0] != '.' || entry.compare(1, stem.size(), stem) != 0 ||
        entry.compare(1 + stem.size(), kMark.size(), kMark) != 0)
        return false;
    const auto unique_end = entry.end() - kDigest;
    return std::all_of(unique_end - kUnique, unique_end, [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }) &&
           std::all_of(unique_end, entry.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

int save_refusal(const char* path) {
    if (!path || !*path) return ENOENT;
    return refusal_of_target(resolve_target(path));
}

int save_begin(const char* path, std::string* target, std::string* temp, int* fd_out) {
    *fd_out = -1;
    if (!path || !*path) return ENOENT;
    const std::string resolved = resolve_target(path);
    std::string folder, name;
    split_path(resolved, &folder, &name);
    if (name.empty()) return EISDIR;
    if (const int e = refusal_of_target(resolved)) return e;
    struct stat old;
    const bool have_old = stat(resolved.c_str(), &old) == 0;
    const mode_t mode = have_old ? (old.st_mode & 07777) : (0666 & ~process_umask());
    const std::string stem = folder + "." + temp_stem(name, folder_name_max(folder));
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Made under a name of its own first; the digest of the file then names it.
        std::string first = stem + std::string(kMark) + "XXXXXX";
        const int fd = mkostemp(first.data(), O_CLOEXEC);
        if (fd < 0) return errno_or(EIO);
        // Running out of memory from here on removes the new file before it goes on:
        // nobody would write it, and its lock (the descriptor) would keep it forever.
        std::string final_name;
        bool renamed = false;
        try {
            // A folder without locks still gets its file: nobody then removes it as stale,
            // as the removal needs the lock too.
            (void)flock(fd, LOCK_EX);
            struct stat mine;
            if (fstat(fd, &mine) != 0) {
                const int e = errno_or(EIO);
                unlink(first.c_str());
                close(fd);
                return e;
            }
            final_name = first + file_digest(mine, std::string_view(first).substr(first.size() - kUnique));
            struct stat named;
            if (const int e = rename_new(first.c_str(), final_name.c_str())) {
                unlink(first.c_str());
                close(fd);
                if (e == EEXIST) continue;
                return e;
            }
            renamed = true;
            // A cleaner that took the new file for a stale one before the lock removed it:
            // make another.
            if (stat(final_name.c_str(), &named) != 0 || !same_file(mine, named)) {
                close(fd);
                continue;
            }
            // The replaced file's owner and group where this user may give them (the
            // administrator saving a user's file, a member of the file's group), then its
            // mode (a change of owner clears the set-id bits): best effort, a failure keeps
            // this user's and 0600.
            if (have_old && (old.st_uid != mine.st_uid || old.st_gid != mine.st_gid) &&
                fchown(fd, old.st_uid, old.st_gid) != 0)
                (void)fchown(fd, static_cast<uid_t>(-1), old.st_gid);
            (void)fchmod(fd, mode);
            *target = resolved;
            *temp = final_name;
        } catch (...) {
            unlink(renamed ? final_name.c_str() : first.c_str());
            close(fd);
            throw;
        }
        *fd_out = fd;
        return 0;
    }
    return EEXIST;
}

int save_sync(int fd) {
    errno = 0;
    if (fsync(fd) != 0 && errno != EINVAL && errno != EROFS) return errno_or(EIO);
    return 0;
}

int save_replace(const std::string& temp, const std::string& target) {
    errno = 0;
    if (rename(temp.c_str(), target.c_str()) != 0) {
        const int e = errno_or(EIO);
        unlink(temp.c_str());
        return e;
    }
    // The file is saved: tidying up after it never turns that into a failure (without
    // memory the folder's sync and the stale files wait for the next save).
    try {
        std::string folder, name;
        split_path(target, &folder, &name);
        // The new name on the disk too; a folder that cannot be synced is no failure, the
        // file is in place.
        const int dfd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dfd >= 0) {
            (void)fsync(dfd);
            close(dfd);
        }
        remove_stale(folder, name);
    } catch (const std::bad_alloc&) {
    }
    return 0;
}

int SafeWriter::open(const char* path) {
    abort();
    err_ = save_begin(path, &target_, &temp_, &fd_);
    return err_;
}

int SafeWriter::write(const void* data, size_t size) {
    if (err_) return err_;
    if (fd_ < 0) return err_ = EBADF;
    auto p = static_cast<const uint8_t*>(data);
    while (size) {
        const ssize_t w = ::write(fd_, p, size);
        if (w < 0) {
            if (errno == EINTR) continue;
            return err_ = errno_or(EIO);
        }
        if (w == 0) return err_ = EIO;
        p += w;
        size -= static_cast<size_t>(w);
    }
    return 0;
}

int SafeWriter::commit() {
    if (fd_ < 0) return err_ ? err_ : EBADF;
    int err = err_;
    if (!err) err = save_sync(fd_);
    // The lock stays with a descriptor of its own until the rename.
    const int lock = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    errno = 0;
    if (::close(fd_) != 0 && !err) err = errno_or(EIO);
    fd_ = -1;
    if (!err) err = save_replace(temp_, target_);
    else unlink(temp_.c_str());
    if (lock >= 0) close(lock);
    temp_.clear();
    return err_ = err;
}

void SafeWriter::abort() {
    if (!temp_.empty()) unlink(temp_.c_str());  // before the lock goes
    temp_.clear();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

int safe_write_file(const char* path, const void* data, size_t size) {
    SafeWriter w;
    int e = w.open(path);
    if (e == 0) e = w.write(data, size);
    return e ? e : w.commit();
}
