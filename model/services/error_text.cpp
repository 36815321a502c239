#include "model/services/error_text.h"

#include <unistd.h>

#include <cerrno>

#include "model/math/result.h"
#include "model/services/safe_file.h"
#include "model/services/strtab.h"

namespace {

struct Reason {
    int code;
    uint32_t text;
};

// The program's own 8 (out of memory) reads as the system's ENOMEM.
constexpr Reason kReasons[] = {
    {ENOENT, 44140},  {EIO, 44141},          {kOutOfMemory, 44142}, {ENOMEM, 44142},
    {ENOTDIR, 44145}, {EISDIR, 44146},       {EFBIG, 44147},        {ENOSPC, 44148},
    {EROFS, 44149},   {ENAMETOOLONG, 44150}, {EDQUOT, 44151},       {ENODEV, 44153},
    {EILSEQ, 44154},
};
constexpr uint32_t kPermissionDenied = 44143;
constexpr uint32_t kBadData = 44144;

bool refused(const std::string& path, int mode) {
    return ::access(path.c_str(), mode) != 0 && errno == EACCES;
}

// Whether this process is refused `path` for the access. Writers replace a file by
// way of a temporary file beside it: writing needs the file (when there is one) and
// its folder.
bool access_denied(const std::string& path, FileAccess access) {
    if (access == FileAccess::read) return refused(path, R_OK);
    // A save refuses a file its owner made read-only even where the system would let
    // it be written.
    if (save_refusal(path.c_str()) == EACCES) return true;
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    return refused(folder, W_OK | X_OK);
}

}  // namespace

std::string error_code_text(int code, const char* path, FileAccess access) {
    uint32_t text = 0;
    if (code == EACCES) {
        if (path && *path) text = access_denied(path, access) ? kPermissionDenied : kBadData;
    } else {
        for (const Reason& r : kReasons)
            if (r.code == code) text = r.text;
    }
    std::string out = std::to_string(code);
    if (text) out += ": " + res_load_string(text);
    return out;
}
