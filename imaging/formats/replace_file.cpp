// Checked writes to a file that replaces its target on commit, through the program's
// safe writer.
#include "imaging/formats/replace_file.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {
std::atomic<int64_t> g_fail_after{-1};
std::atomic<int> g_fail_err{0};

int write_all_at(int fd, const uint8_t* p, size_t n, int64_t offset) {
    while (n) {
        const ssize_t w = ::pwrite(fd, p, n, offset);
        if (w < 0) {
            if (errno == EINTR) continue;
            return errno ? errno : EIO;
        }
        if (w == 0) return EIO;
        p += w, n -= static_cast<size_t>(w);
        offset += w;
    }
    return 0;
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
    path_ = path ? path : "";
    if (!path || !*path) return err_ = EINVAL;
    return err_ = file_.open(path);
}

int ReplaceFile::write(const void* data, size_t size) {
    if (err_) return err_;
    if (file_.fd() < 0) return err_ = EBADF;
    const int64_t limit = g_fail_after;
    if (limit >= 0 && static_cast<int64_t>(size_ + size) > limit) return err_ = g_fail_err;
    if (size) err_ = file_.write(data, size);
    if (!err_) size_ += size;
    return err_;
}

int ReplaceFile::write_at(uint64_t offset, const void* data, size_t size) {
    if (err_) return err_;
    if (file_.fd() < 0) return err_ = EBADF;
    if (offset + size > size_) return err_ = EINVAL;
    return err_ = write_all_at(file_.fd(), static_cast<const uint8_t*>(data), size, static_cast<int64_t>(offset));
}

int ReplaceFile::commit() {
    if (file_.fd() < 0) return err_ ? err_ : EBADF;
    if (err_) {
        file_.abort();
        return err_;
    }
    return err_ = file_.commit();
}

void ReplaceFile::abort() {
    file_.abort();
}
