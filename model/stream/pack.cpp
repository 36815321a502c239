// The LZW pass over a finished plain drawing or block file: the same header with the
// coding word 1, then the code stream of everything behind the header. The packed
// file is written beside the plain one and replaces it only when complete.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "model/services/safe_file.h"
#include "model/stream/iorec.h"

namespace {

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};

inline int errno_code() {
    return errno != 0 ? errno : 1;
}

uint32_t le32(const uint8_t* b) {
    return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

}  // namespace

int lzw_pack_file(const char* path) {
    return lzw_pack_file_to(path, path);
}

int iorec_save_maybe_packed(const char* path, bool pack, int (*write_plain)(const char*, void*),
                            void* context) {
    if (!pack) return write_plain(path, context);
    if (!path || !*path) return ENOENT;
    // The plain pass goes to a scratch file beside the target, made and locked as the
    // target's own temporary: a save that dies leaves it for the next save to remove.
    std::string target, scratch;
    int fd = -1;
    if (const int e = save_begin(path, &target, &scratch, &fd)) return e;
    // The scratch file only feeds the pass below: written in place, no sync of its own.
    // The setting goes with this call however it ends (it names this call's string).
    struct ScratchSetting {
        explicit ScratchSetting(const char* p) { iorec_set_scratch_path(p); }
        ~ScratchSetting() { iorec_set_scratch_path(nullptr); }
        ScratchSetting(const ScratchSetting&) = delete;
        ScratchSetting& operator=(const ScratchSetting&) = delete;
    };
    int r = 0;
    {
        ScratchSetting unsynced(scratch.c_str());
        r = write_plain(scratch.c_str(), context);
    }
    if (r == 0) r = lzw_pack_file_to(scratch.c_str(), target.c_str());
    unlink(scratch.c_str());  // before its lock goes
    close(fd);
    return r;
}

int lzw_pack_file_to(const char* path, const char* target) {
    std::unique_ptr<IOrec> stream = rtc_make<IOrecStd>();
    if (!stream) return kOutOfMemory;
    std::unique_ptr<FILE, FileCloser> source;
    constexpr size_t kPiece = 1u << 16;
    return io_guarded([&] {
        if (!path || !*path || !target || !*target) io_raise(stream.get(), ENOENT);
        int e = 0;
        uint64_t file_size = 0;
        source.reset(safe_fopen_read(path, &e, &file_size));
        if (!source) io_raise(stream.get(), e);
        uint8_t header[12];
        if (file_size < 12 || std::fread(header, 1, 12, source.get()) != 12) {
            io_raise(stream.get(), kBadArgument);
        }
        // Only a current plain file: packing a packed one would code it twice.
        if (le32(header) != 1 || le32(header + 4) != static_cast<uint32_t>(kIoFormatVersion) ||
            le32(header + 8) != 0) {
            io_raise(stream.get(), kBadArgument);
        }
        uint64_t size = file_size - 12;

        stream->version = kIoFormatVersion;
        iorec_open(stream.get(), target, 1);
        io_put_long(stream.get(), 1);
        io_put_long(stream.get(), kIoFormatVersion);
        io_put_long(stream.get(), 1);
        iorec_to_lzw(stream);
        stream->buffer = io_alloc(stream.get(), kPiece);
        auto* piece = static_cast<uint8_t*>(stream->buffer);
        while (size != 0) {
            const size_t n = static_cast<size_t>(size < kPiece ? size : kPiece);
            errno = 0;
            if (std::fread(piece, 1, n, source.get()) != n) {
                io_raise(stream.get(), ferror(source.get()) ? errno_code() : EIO);
            }
            io_write(stream.get(), piece, n);
            size -= n;
        }
        errno = 0;
        if (std::fclose(source.release()) != 0) io_raise(stream.get(), errno_code());
        iorec_commit(stream.get());
    });
}
