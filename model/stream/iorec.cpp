// Plain file streams: opening for reading, writing through a temporary file in the
// target's folder, the checked commit that renames it over the target, and the
// stdio transport of IOrecStd.
#include "model/stream/iorec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <new>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#include "model/services/safe_file.h"

RTC_CLASS_RECORD(IOrec, "IOrec", &IOstream::rtc_class, 2, nullptr, nullptr, nullptr, false, false);
RTC_CLASS_RECORD(IOrecStd, "IOrecStd", &IOrec::rtc_class, 3, nullptr, nullptr, nullptr, false,
                 false);

namespace {

std::atomic<int64_t> g_write_limit{-1};
// The scratch file of the packed save running on this thread (iorec_save_maybe_packed),
// or null: written without a sync.
thread_local const char* g_scratch_path = nullptr;
std::atomic<int> g_write_limit_spared{0};
// The lock on the finished file of that plain pass, held until the scratch path is
// set again.
thread_local int g_scratch_lock = -1;

void close_fd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// A name of the unique part mkstemp puts in place of "XXXXXX".
bool unique_part(std::string_view part) {
    return part.size() == 6 && std::all_of(part.begin(), part.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) != 0;
           });
}

// The names saves of the file `name` write beside it: ".name.XXXXXX" (the temporary
// file), "name.plain-XXXXXX" (the plain pass of a packed save) and
// ".name.plain-XXXXXX.XXXXXX" (that pass's temporary file).
bool is_save_temporary(std::string_view entry, std::string_view name) {
    const bool hidden = !entry.empty() && entry[0] == '.';
    if (hidden) entry.remove_prefix(1);
    if (entry.substr(0, name.size()) != name) return false;
    entry.remove_prefix(name.size());
    if (hidden && entry.size() == 7 && entry[0] == '.' && unique_part(entry.substr(1))) return true;
    constexpr std::string_view kPlain = ".plain-";
    if (entry.substr(0, kPlain.size()) != kPlain) return false;
    entry.remove_prefix(kPlain.size());
    if (!hidden) return unique_part(entry);
    return entry.size() == 13 && unique_part(entry.substr(0, 6)) && entry[6] == '.' &&
           unique_part(entry.substr(7));
}

// After a save of `target`: the temporaries of saves of it that died.
void remove_stale_temporaries(const std::string& target) {
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    temp_files_remove_stale(folder, [&](const std::string& entry) { return is_save_temporary(entry, name); });
}

// The code of a read that found no more bytes (a file cut short).
constexpr int kInputEnded = 1;

inline int errno_code() {
    return errno != 0 ? errno : kInputEnded;
}

// A stream without its file lends no direct window.
void drop_direct(IOstream* s) {
    s->direct_base = s->direct_cur = s->direct_get_end = s->direct_put_end = nullptr;
    s->direct_pos = 0;
}

// The file a save replaces: a symbolic link is followed, so the linked file is
// replaced and the link stays.
std::string resolve_target(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = realpath(path.c_str(), nullptr)) {
            std::string r(real);
            std::free(real);
            return r;
        }
    }
    return path;
}

// Permissions of a new file: those of the file it replaces, else 0666 less the umask.
mode_t new_file_mode(const std::string& target) {
    struct stat st;
    if (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

void iorec_set_scratch_path(const char* path) {
    g_scratch_path = path;
    close_fd(g_scratch_lock);
}

void iorec_test_set_write_limit(int64_t bytes, int spared) {
    g_write_limit_spared.store(spared > 0 ? spared : 0);
    g_write_limit.store(bytes < 0 ? -1 : bytes);
}

// ---- IOrec

IOrec::~IOrec() {
    if (owned_object) {
        rtc_destroy(owned_object);
        owned_object = nullptr;
    }
    if (buffer) {
        std::free(buffer);
        buffer = nullptr;
    }
    iorec_abort(this);
}

void* IOrec::alloc(size_t n) {
    return IOstream::alloc(n);
}
void IOrec::free(void* p) {
    IOstream::free(p);
}

void IOrec::take_over(IOrec& from) {
    chunks = from.chunks;
    error_code = from.error_code;
    file = from.file;
    version = from.version;
    writing = from.writing;
    target_model = from.target_model;
    label_buffer = from.label_buffer;
    label_size = from.label_size;
    owned_object = from.owned_object;
    buffer = from.buffer;
    info_only = from.info_only;
    tracks = from.tracks;
    path = std::move(from.path);
    temp_path = std::move(from.temp_path);
    temp_lock = from.temp_lock;
    file_size = from.file_size;
    write_limit = from.write_limit;
    written = from.written;
    sync = from.sync;
    saved_errno = from.saved_errno;
    memory_buffer = from.memory_buffer;
    memory_size = from.memory_size;
    memory_out = from.memory_out;
    // The old stream gives up everything it owned.
    from.chunks = nullptr;
    from.file = nullptr;
    drop_direct(&from);
    from.owned_object = nullptr;
    from.buffer = nullptr;
    from.temp_path.clear();
    from.temp_lock = -1;
    from.memory_buffer = nullptr;
    from.memory_out = nullptr;
}

namespace {

// Reading set-up shared by files and memory: the size, the stdio buffer, the window.
void start_reading(IOrec* s, FILE* f, uint64_t size) {
    s->file = f;
    s->file_size = size;
    std::setvbuf(f, nullptr, _IOFBF, 8192);
    if (auto* std_stream = rtc_cast<IOrecStd>(s)) {
        // A small file needs no more window than its own size.
        const uint64_t want =
            std::max<uint64_t>(4096, std::min<uint64_t>(size, IOrecStd::kWriteWindow));
        std_stream->window_capacity = static_cast<size_t>(want);
        std_stream->window.reset(new (std::nothrow) uint8_t[want]);
        if (!std_stream->window) io_raise(s, kOutOfMemory);
        std_stream->window_base = std_stream->file_position = 0;
        std_stream->window_length = std_stream->window_cursor = 0;
        std_stream->lend_direct();
    }
}

// Writing set-up shared by files and memory: the write limit and the window.
void start_writing(IOrec* s, FILE* f) {
    s->file = f;
    std::setvbuf(f, nullptr, _IOFBF, 8192);
    s->write_limit = g_write_limit.load();
    if (s->write_limit >= 0 && g_write_limit_spared.load() > 0 &&
        g_write_limit_spared.fetch_sub(1) > 0)
        s->write_limit = -1;
    s->written = 0;
    if (auto* std_stream = rtc_cast<IOrecStd>(s)) {
        std_stream->window_capacity = IOrecStd::kWriteWindow;
        std_stream->window.reset(new (std::nothrow) uint8_t[IOrecStd::kWriteWindow]);
        if (!std_stream->window) io_raise(s, kOutOfMemory);
        std_stream->window_base = std_stream->file_position = std_stream->file_end = 0;
        std_stream->writeback_from = 0;
        std_stream->window_length = std_stream->window_cursor = 0;
        std_stream->lend_direct();
    }
}

}  // namespace

void iorec_open_memory(IOrec* s, const void* data, size_t size) {
    if (s->file) io_raise(s, kBadArgument);
    s->writing = 0;
    s->path = "(memory)";
    // An empty input reads through a one-byte buffer whose byte lies behind the position.
    static char empty[1];
    FILE* f = size ? fmemopen(const_cast<void*>(data), size, "rb") : fmemopen(empty, 1, "rb");
    if (!f) io_raise(s, kOutOfMemory);
    if (!size) std::fgetc(f);
    start_reading(s, f, size);
}

void iorec_open_memory_writer(IOrec* s, std::vector<uint8_t>* out) {
    if (s->file || !out) io_raise(s, kBadArgument);
    s->writing = 1;
    s->path = "(memory)";
    FILE* f = open_memstream(&s->memory_buffer, &s->memory_size);
    if (!f) io_raise(s, kOutOfMemory);
    s->memory_out = out;
    start_writing(s, f);
}

void iorec_open(IOrec* s, const char* path, int writing) {
    if (s->file) io_raise(s, kBadArgument);
    s->writing = writing ? 1 : 0;
    if (!path || !*path) io_raise(s, ENOENT);
    s->path = path;
    if (!s->writing) {
        int e = 0;
        uint64_t size = 0;
        FILE* f = safe_fopen_read(path, &e, &size);
        if (!f) io_raise(s, e);
        start_reading(s, f, size);
        return;
    }
    const std::string target = resolve_target(s->path);
    const size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty()) io_raise(s, EISDIR);
    // A file its user may not write stays protected, as it would be if written in place.
    errno = 0;
    if (access(target.c_str(), F_OK) == 0 && access(target.c_str(), W_OK) != 0) {
        io_raise(s, errno_code());
    }
    std::string temp = folder + "." + name + ".XXXXXX";
    errno = 0;
    const int fd = temp_file_create(&temp, 0600);
    if (fd < 0) io_raise(s, errno_code());
    s->temp_path = temp;
    // The lock stays with a descriptor of its own until the rename (the stdio stream is
    // closed before it).
    s->temp_lock = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (s->temp_lock < 0) {
        const int e = errno_code();
        close(fd);
        iorec_abort(s);
        io_raise(s, e);
    }
    s->path = target;
    s->sync = g_scratch_path && s->path == resolve_target(g_scratch_path) ? 0 : 1;
    fchmod(fd, new_file_mode(target));  // best effort: a failure keeps 0600
    FILE* f = fdopen(fd, "wb");
    if (!f) {
        const int e = errno_code();
        close(fd);
        iorec_abort(s);
        io_raise(s, e);
    }
    start_writing(s, f);
}

void iorec_commit(IOrec* s) {
    if (!s->writing) {
        FILE* f = s->file;
        s->file = nullptr;
        drop_direct(s);
        errno = 0;
        if (f && std::fclose(f) != 0) io_raise(s, errno_code());
        return;
    }
    if (!s->file || (s->temp_path.empty() && !s->memory_out)) io_raise(s, kBadArgument);
    auto fail = [s](int code) {
        iorec_abort(s);
        io_raise(s, code);
    };
    try {
        s->finish_transport();
    } catch (const IoError& e) {
        fail(e.code);
    }
    if (s->memory_out) {
        // The stream stands at the end of what was written (finish_transport).
        errno = 0;
        if (std::fflush(s->file) != 0) fail(errno_code());
        if (s->saved_errno) fail(s->saved_errno);
        const off_t end = ftello(s->file);
        if (end < 0 || static_cast<size_t>(end) > s->memory_size) fail(kBadArgument);
        try {
            s->memory_out->assign(s->memory_buffer, s->memory_buffer + end);
        } catch (const std::bad_alloc&) {
            fail(kOutOfMemory);
        }
        iorec_abort(s);  // closes the memory stream and frees its buffer
        return;
    }
    errno = 0;
    if (std::fflush(s->file) != 0) fail(s->saved_errno ? s->saved_errno : errno_code());
    if (s->saved_errno) fail(s->saved_errno);
    errno = 0;
    if (s->sync && fsync(fileno(s->file)) != 0 && errno != EINVAL && errno != EROFS)
        fail(errno_code());
    FILE* f = s->file;
    s->file = nullptr;
    drop_direct(s);
    errno = 0;
    if (std::fclose(f) != 0) fail(errno_code());
    errno = 0;
    if (std::rename(s->temp_path.c_str(), s->path.c_str()) != 0) fail(errno_code());
    s->temp_path.clear();
    if (!s->sync) {
        // The plain pass of a packed save: its file stays locked until the pass is done.
        close_fd(g_scratch_lock);
        g_scratch_lock = s->temp_lock;
        s->temp_lock = -1;
        return;
    }
    close_fd(s->temp_lock);
    // The file is saved: tidying up after it never turns that into a failure (without
    // memory the stale files wait for the next save).
    try {
        remove_stale_temporaries(s->path);
    } catch (const std::bad_alloc&) {
    }
}

void iorec_abort(IOrec* s) {
    drop_direct(s);
    if (s->file) {
        std::fclose(s->file);
        s->file = nullptr;
    }
    std::free(s->memory_buffer);  // a memory stream's buffer outlives its FILE
    s->memory_buffer = nullptr;
    s->memory_size = 0;
    s->memory_out = nullptr;
    if (!s->temp_path.empty()) {
        unlink(s->temp_path.c_str());
        s->temp_path.clear();
    }
    close_fd(s->temp_lock);
}

// ---- IOrecStd

void IOrecStd::take_back_direct() {
    if (!direct_base) return;
    window_cursor = static_cast<size_t>(direct_cur - direct_base);
    if (writing) {
        window_length = std::max(window_length, window_cursor);
        file_end = std::max(file_end, window_base + window_cursor);
    }
}

void IOrecStd::lend_direct() {
    if (!file || !window || (writing && write_limit >= 0)) {
        drop_direct(this);
        return;
    }
    direct_base = window.get();
    direct_pos = window_base;
    direct_cur = direct_base + window_cursor;
    direct_get_end = writing ? nullptr : direct_base + window_length;
    direct_put_end = writing ? direct_base + window_capacity : nullptr;
}

namespace {

// Puts the file's own position at `pos`.
void position_file(IOrecStd* s, uint64_t pos) {
    if (s->file_position == pos) return;
    errno = 0;
    if (fseeko(s->file, static_cast<off_t>(pos), SEEK_SET) != 0) {
        // A file can be positioned past its end (a chunk skipped beyond a cut file) and
        // the next read then finds nothing; memory input refuses the position instead
        // (EINVAL). Both are the input ending, with the same code.
        if (!s->writing && s->file_size != std::numeric_limits<uint64_t>::max() && pos > s->file_size)
            io_raise(s, kInputEnded);
        io_raise(s, errno_code());
    }
    s->file_position = pos;
}

// A file the commit syncs goes to the disk while the rest is being written, a few
// megabytes at a time, so that the sync at the end has little left to wait for.
constexpr uint64_t kWritebackStep = 8u << 20;

void start_writeback(IOrecStd* s) {
#ifdef __linux__
    if (!s->sync || s->memory_out || s->file_position < s->writeback_from + kWritebackStep) return;
    errno = 0;
    if (std::fflush(s->file) != 0) io_raise(s, errno_code());
    // Only a request: a failure shows in the sync at the commit.
    sync_file_range(fileno(s->file), static_cast<off_t>(s->writeback_from),
                    static_cast<off_t>(s->file_position - s->writeback_from), SYNC_FILE_RANGE_WRITE);
    s->writeback_from = s->file_position;
#else
    (void)s;
#endif
}

void put_to_file(IOrecStd* s, uint64_t pos, const uint8_t* p, size_t n) {
    position_file(s, pos);
    errno = 0;
    if (fwrite_unlocked(p, 1, n, s->file) != n) io_raise(s, errno_code());
    s->file_position += n;
    start_writeback(s);
}

// Hands the window to the file; the window then starts empty at the cursor.
void flush_window(IOrecStd* s) {
    if (s->window_length) put_to_file(s, s->window_base, s->window.get(), s->window_length);
    s->window_base += s->window_cursor;
    s->window_length = s->window_cursor = 0;
}

}  // namespace

void IOrecStd::read(void* buf, size_t n) {
    if (n == 0) return;
    DirectWindowScope direct(this);
    if (!file || writing || !window) io_raise(this, kBadArgument);
    auto* out = static_cast<uint8_t*>(buf);
    while (n > 0) {
        if (window_cursor < window_length) {
            const size_t k = std::min(n, window_length - window_cursor);
            std::memcpy(out, window.get() + window_cursor, k);
            window_cursor += k;
            out += k;
            n -= k;
            continue;
        }
        window_base += window_cursor;
        window_length = window_cursor = 0;
        position_file(this, window_base);
        errno = 0;
        if (n >= window_capacity) {  // a large read goes straight to the caller
            const size_t got = fread_unlocked(out, 1, n, file);
            file_position += got;
            window_base += got;
            if (got != n) io_raise(this, errno_code());
            return;
        }
        const size_t got = fread_unlocked(window.get(), 1, window_capacity, file);
        file_position += got;
        window_length = got;
        if (got == 0) io_raise(this, errno_code());
    }
}

void IOrecStd::write(const void* buf, size_t n) {
    if (n == 0) return;
    DirectWindowScope direct(this);
    if (!file || !writing || !window) io_raise(this, kBadArgument);
    if (write_limit >= 0 && written + n > static_cast<uint64_t>(write_limit)) {
        io_raise(this, ENOSPC);
    }
    if (window_cursor + n > window_capacity) {
        flush_window(this);
        if (n >= window_capacity) {
            put_to_file(this, window_base, static_cast<const uint8_t*>(buf), n);
            window_base += n;
            written += n;
            file_end = std::max(file_end, window_base);
            return;
        }
    }
    std::memcpy(window.get() + window_cursor, buf, n);
    window_cursor += n;
    window_length = std::max(window_length, window_cursor);
    written += n;
    file_end = std::max(file_end, window_base + window_cursor);
}

void IOrecStd::finish_transport() {
    if (!window || !file) return;
    DirectWindowScope direct(this);
    if (writing) {
        flush_window(this);
    } else {
        window_base += window_cursor;
        window_length = window_cursor = 0;
    }
    position_file(this, window_base);  // the file continues where the stream is
}

int IOrecStd::seek(int64_t offset, int whence) {
    if (!file || !window) io_raise(this, kBadArgument);
    DirectWindowScope direct(this);
    int64_t target;
    switch (whence) {
        case SEEK_SET:
            target = offset;
            break;
        case SEEK_CUR:
            target = static_cast<int64_t>(tell()) + offset;
            break;
        case SEEK_END:
            if (!writing && file_size == std::numeric_limits<uint64_t>::max())
                io_raise(this, ESPIPE);
            target = static_cast<int64_t>(writing ? file_end : file_size) + offset;
            break;
        default:
            io_raise(this, EINVAL);
    }
    if (target < 0) io_raise(this, EINVAL);
    const auto t = static_cast<uint64_t>(target);
    if (t >= window_base && t <= window_base + window_length) {
        window_cursor = static_cast<size_t>(t - window_base);
        return 0;
    }
    if (writing) {
        flush_window(this);
    } else {
        window_length = window_cursor = 0;
    }
    window_base = t;
    return 0;
}

uint64_t IOrecStd::tell() {
    if (!file || !window) io_raise(this, kBadArgument);
    take_back_direct();
    return window_base + window_cursor;
}

uint64_t IOrecStd::available(uint64_t) {
    if (writing || file_size == std::numeric_limits<uint64_t>::max()) {
        return std::numeric_limits<uint64_t>::max();
    }
    const uint64_t p = io_tell(this);
    return p < file_size ? file_size - p : 0;
}
