// Checked writes to a temporary file renamed over the target on commit.
#include "imaging/formats/replace_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::atomic<int64_t> g_fail_after{-1};
std::atomic<int> g_fail_err{0};

int write_all(int fd, const uint8_t* p, size_t n, int64_t offset) {
    while (n) {
        const ssize_t w = offset < 0 ? ::write(fd, p, n) : ::pwrite(fd, p, n, offset);
        if (w < 0) {
            if (errno == EINTR) continue;
            return errno ? errno : EIO;
        }
        if (w == 0) return EIO;
        p += w, n -= static_cast<size_t>(w);
        if (offset >= 0) offset += w;
    }
    return 0;
}
// The process's file mode mask, read without changing it: setting and restoring
// it with umask() would, for that moment, give files other threads create (a render
// job's worker writes frames while the user saves) the mode 0666.
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

}  // namespace

void replace_file_test_fail_after(int64_t bytes, int err) {
    g_fail_err = err;
    g_fail_after = bytes;
}

int ReplaceFile::open(const char* path) {
    abort();
    err_ = 0;
    size_ = 0;
    if (!path || !*path) return err_ = EINVAL;
    path_ = path;
    temp_ = path_ + ".XXXXXX";
    fd_ = mkstemp(temp_.data());
    if (fd_ < 0) {
        temp_.clear();
        return err_ = errno ? errno : EIO;
    }
    // mkstemp makes the file private; give it the mode a plain create would.
    fchmod(fd_, 0666 & ~process_umask());
    return 0;
}

int ReplaceFile::write(const void* data, size_t size) {
    if (err_) return err_;
    if (fd_ < 0) return err_ = EBADF;
    const int64_t limit = g_fail_after;
    if (limit >= 0 && static_cast<int64_t>(size_ + size) > limit) return err_ = g_fail_err;
    if (size) err_ = write_all(fd_, static_cast<const uint8_t*>(data), size, -1);
    if (!err_) size_ += size;
    return err_;
}

int ReplaceFile::write_at(uint64_t offset, const void* data, size_t size) {
    if (err_) return err_;
    if (fd_ < 0) return err_ = EBADF;
    if (offset + size > size_) return err_ = EINVAL;
    return err_ = write_all(fd_, static_cast<const uint8_t*>(data), size, static_cast<int64_t>(offset));
}

int ReplaceFile::commit() {
    if (fd_ < 0) return err_ ? err_ : EBADF;
    int err = err_;
    if (::close(fd_) != 0 && !err) err = errno ? errno : EIO;
    fd_ = -1;
    if (!err && std::rename(temp_.c_str(), path_.c_str()) != 0) err = errno ? errno : EIO;
    if (err) std::remove(temp_.c_str());
    temp_.clear();
    return err_ = err;
}

void ReplaceFile::abort() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) std::remove(temp_.c_str());
    temp_.clear();
}
