// A file written in place of another, through the program's safe writer
// (model/services/safe_file.h: a hidden temporary beside the target with its mode, a
// pipe or read-only file refused at the open, synced before the rename). Every write
// is checked; commit() renames the temporary over the target. Until then, and after
// any failure, the target is untouched; an uncommitted file is removed when the
// object goes away. Used by the image writers and the movie writers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/services/safe_file.h"

class ReplaceFile {
  public:
    ReplaceFile() = default;
    ~ReplaceFile() { abort(); }
    ReplaceFile(const ReplaceFile&) = delete;
    ReplaceFile& operator=(const ReplaceFile&) = delete;

    [[nodiscard]] int open(const char* path);  // 0 or the code of the refusal or failure
    // Appends at the end. After the first failure every call answers that error.
    int write(const void* data, size_t size);
    // Overwrites bytes already written (header sizes patched at the end).
    int write_at(uint64_t offset, const void* data, size_t size);
    [[nodiscard]] int commit();  // 0 or errno; the temporary file is gone either way
    void abort();                // removes the temporary file
    uint64_t size() const { return size_; }
    int error() const { return err_; }
    bool is_open() const { return file_.fd() >= 0; }
    const std::string& target() const { return path_; }

  private:
    SafeWriter file_;
    int err_ = 0;
    uint64_t size_ = 0;
    std::string path_;
};

// Tests only: every ReplaceFile fails with `err` once `bytes` bytes have been
// written through it (bytes < 0 turns this off).
void replace_file_test_fail_after(int64_t bytes, int err);
