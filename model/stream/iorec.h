// File streams of the native drawing file: `IOrec` holds the open file and the
// fields the drawing-file entry points and the class readers consult; `IOrecStd`
// reads and writes the file directly; `IOrecLzw` passes every byte through an LZW
// coder (model/lzw/lzw.h: 9 to 12-bit codes, least significant bit first, clear
// code 256, end code 257).
//
// Saving never destroys the previous file: a stream opened for writing writes the
// temporary file of a save (model/services/safe_file.h: hidden, beside the target,
// locked, with the target's mode; a pipe, a folder or a read-only file is refused at
// the open). Every write, the flush, the sync and the close are checked;
// iorec_commit() then renames the temporary file over the target, and a failed rename
// fails the save. A stream destroyed without a commit (an error, an abandoned save)
// removes its temporary file and leaves the target as it was.

// Reading checks: a plain stream knows its file size, so counts read from the file
// are checked against the bytes left (io_check_count); a failed read, seek or tell
// raises.
//
// Codes raised: the C library's error number (1 when it is 0) for a file that cannot
// be opened, created, read, written, flushed, closed or renamed and for a failed seek;
// -1 when the LZW code stream ends early or the coder refuses bytes; 155 for a seek an
// LZW stream cannot make (writing, backwards, from the end, or short); 8 out of memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "model/stream/iostream.h"

class MODEL;
struct LzwCoder;

// Format version written by the current writers.
inline constexpr int32_t kIoFormatVersion = 112;

class IOrec : public IOstream {
  public:
    static RtcClass rtc_class;
    IOrec() { set_klass(&rtc_class); }
    // Destroy: the owned object and the buffer are released; an uncommitted write
    // stream removes its temporary file; the file is closed.
    ~IOrec() override;

    void* alloc(size_t n) override;
    void free(void* p) override;
    // Writing: hands everything the transport still holds to the file before the
    // commit closes it (the LZW tail). Reading: leaves the file's own position where
    // the stream is. Raises on failure. iorec_to_lzw calls it on the plain stream.
    virtual void finish_transport() {}

    FILE* file = nullptr;           // the open file; null when none
    int32_t version = -1;           // format version being written or read
    int32_t writing = 0;            // 1 when opened for writing
    MODEL* target_model = nullptr;  // reading: the model the records go into
    char* label_buffer = nullptr;   // reading a block file: receives the label
    size_t label_size = 0;          //   its size in bytes (labels are cut to fit)
    RTC* owned_object = nullptr;    // destroyed with the stream
    void* buffer = nullptr;         // from alloc; released through free with the stream
    int32_t info_only = 0;          // block file read for its label and base point only
    int32_t tracks = 0;             // writing: keyframe tracks go with the objects
    int32_t sync = 1;               // writing: the commit syncs the file to the disk

    // File bookkeeping of this implementation.
    std::string path;          // the file named by iorec_open (the target when writing)
    std::string temp_path;     // writing: the temporary file; empty after commit or abort
    int temp_lock = -1;        // writing: holds the temporary file's lock until the rename
    uint64_t file_size = 0;    // reading: size of the file when opened
    int64_t write_limit = -1;  // test hook: bytes the file may take; -1 no limit
    uint64_t written = 0;      // bytes handed to the file so far
    int saved_errno = 0;       // a transport failure noticed outside a raise
    // Writing into memory (iorec_open_memory_writer): the stdio memory stream's buffer
    // and size, and where the commit hands the bytes.
    char* memory_buffer = nullptr;
    size_t memory_size = 0;
    std::vector<uint8_t>* memory_out = nullptr;

  protected:
    // Moves the IOrec fields (file included) from another stream (iorec_to_lzw).
    void take_over(IOrec& from);
    friend std::unique_ptr<IOrec>& iorec_to_lzw(std::unique_ptr<IOrec>& stream);
};

// Reads and writes the file directly, through a window of the stream's own (up to
// kWriteWindow bytes, no larger than a file being read). Seeks and tells inside the
// window touch neither stdio nor the kernel: patching the length of a chunk that began
// recently, and opening and closing chunks while reading, cost no system call.
class IOrecStd : public IOrec {
  public:
    static RtcClass rtc_class;
    static constexpr size_t kWriteWindow = 256 * 1024;
    IOrecStd() { set_klass(&rtc_class); }

    void read(void* buf, size_t n) override;
    void write(const void* buf, size_t n) override;
    int seek(int64_t offset, int whence) override;
    uint64_t tell() override;
    uint64_t available(uint64_t want) override;
    // Writing: hands the window to the file (raises on failure). Reading: puts the
    // file's own position where the stream is and empties the window.
    void finish_transport() override;

    // Takes the cursor back from the direct window (and, writing, what was written
    // into it); then lends the window again. Every method below starts with the one and
    // ends with the other.
    void take_back_direct();
    void lend_direct();

    // Window: bytes [base, base + length) of the file, the stream at base + cursor.
    // Lent as the direct window (model/stream/iostream.h) except to a stream with a
    // write limit, which counts every byte through write().
    std::unique_ptr<uint8_t[]> window;
    size_t window_capacity = 0;
    uint64_t window_base = 0;
    size_t window_length = 0, window_cursor = 0;
    uint64_t file_position = 0;  // where the file's own position is
    uint64_t file_end = 0;       // largest end written so far
    uint64_t writeback_from = 0;  // writing a synced file: not yet handed to the disk
};

// Takes a stream's cursor back from its direct window for the length of a method and
// lends the window again when the scope ends, also on a raise (IOrecStd, IOrecLzw).
template <class Stream>
class DirectWindowScope {
  public:
    explicit DirectWindowScope(Stream* s) : s_(s) { s_->take_back_direct(); }
    ~DirectWindowScope() { s_->lend_direct(); }
    DirectWindowScope(const DirectWindowScope&) = delete;
    DirectWindowScope& operator=(const DirectWindowScope&) = delete;

  private:
    Stream* s_;
};

// Codes every byte through an LZW coder; made only by iorec_to_lzw. Reading can only
// move forward (a forward seek reads and discards); writing cannot seek at all, so a
// coded file is made from a finished plain file by a second pass (lzw_pack_file).
class IOrecLzw : public IOrec {
  public:
    static RtcClass rtc_class;
    IOrecLzw() { set_klass(&rtc_class); }
    // Gives the coder back: a shared one is reset and freed for the next stream, a
    // private one is closed. An uncommitted write stream's tail is discarded.
    ~IOrecLzw() override;

    void read(void* buf, size_t n) override;
    void write(const void* buf, size_t n) override;
    int seek(int64_t offset, int whence) override;
    uint64_t tell() override;
    uint64_t available(uint64_t want) override;
    bool ended_whole() override;

    LzwCoder* coder = nullptr;  // shared or private
    uint64_t position = 0;      // bytes delivered by read since the switch

    // Reading: the bytes decoded ahead are lent as the direct window
    // (model/stream/iostream.h); every method takes the cursor back first.
    void take_back_direct();
    void lend_direct();
    // Reading decodes at least this many bytes ahead at a time.
    static constexpr size_t kReadAhead = 64 * 1024;

    // Reading: bytes decoded ahead of the position (by read() and available()).
    std::unique_ptr<uint8_t[]> ahead;
    size_t ahead_size = 0, ahead_pos = 0, ahead_cap = 0;
    bool coder_ended = false;  // the decoder delivered its last byte

    // Writing: emits the coder's pending code, end code and last bits into the file.
    void finish_transport() override;
};

// Opens `path` for reading ("rb") or writing. Writing creates the temporary file in
// the target's folder; the target itself is untouched until iorec_commit. The file
// gets a fully buffered 8192-byte stdio buffer. Raises errno (1 when 0) on failure.
void iorec_open(IOrec* s, const char* path, int writing);

// Opens a stream that reads the `size` bytes at `data` as iorec_open reads a file
// holding them (plain and LZW-coded alike); the bytes must outlive the stream.
// Raises 8 when the stream cannot be made.
void iorec_open_memory(IOrec* s, const void* data, size_t size);

// Opens a plain stream that writes into memory: no file is made, and iorec_commit
// hands the complete bytes to `*out` (replacing what it held); an abort leaves `*out`
// as it was. Raises 13 for a null `out`, 8 when the stream cannot be made.
void iorec_open_memory_writer(IOrec* s, std::vector<uint8_t>* out);

// Writing: finishes the file (LZW tail, flush, fsync, close, each checked) and renames
// the temporary file over the target. Raises errno on any failure, after removing the
// temporary file; the target is then as it was. Reading: closes the file (checked).
void iorec_commit(IOrec* s);

// Writing: closes and removes the temporary file; the target is as it was. Reading:
// closes the file. Never raises. Done by the destructor when not committed.
void iorec_abort(IOrec* s);

// Turns a plain stream that has read or written the file header into an LZW stream in
// place: `stream` then holds the new stream, which owns the file, the open chunks and
// every IOrec field; the old one is destroyed. An LZW stream stays as it is. On a
// failure (8: no coder) the code is raised and `stream` still holds the old stream,
// which still owns the file. Returns `stream`.
std::unique_ptr<IOrec>& iorec_to_lzw(std::unique_ptr<IOrec>& stream);

// Start-up: makes the shared decoder and encoder. 0, or 8 when either cannot be made
// (streams then make private coders as they need them).
[[nodiscard]] int lzw_codecs_init();
// End of the program: releases the shared coders (only while no stream uses them).
void lzw_codecs_release();

// Test view of the shared coders: whether each exists and is in use.
struct LzwCodecState {
    bool decoder, encoder, decoder_busy, encoder_busy;
};
LzwCodecState lzw_codecs_state();

// The LZW pass over a finished plain drawing or block file at `path`: writes a new
// file with the same 12-byte header, its coding word 1, followed by the LZW code
// stream of exactly the plain file's bytes from offset 12; it replaces `path` only
// when complete. 0 on success; 13 when the file is shorter than its header or is not
// a current plain file; 8 out of memory; errno when a file cannot be read or written.
// On failure the plain file at `path` stays as it was.
[[nodiscard]] int lzw_pack_file(const char* path);
// The same pass from the plain file `source` into `target` (which may be the same
// path); `target` is replaced only when the packed file is complete.
[[nodiscard]] int lzw_pack_file_to(const char* source, const char* target);

// Saves through `write_plain(path)` (a function writing a complete plain file and
// returning its code). With `pack`, the plain file goes to a scratch file beside
// `path` first (made as the target's temporary file, model/services/safe_file.h) and
// the packed file then replaces `path`, so a failure at any step leaves the previous
// file in place. The scratch file never outlives the call and is written in place
// without a sync (the stream this thread opens on it): only the packed file is synced.
[[nodiscard]] int iorec_save_maybe_packed(const char* path, bool pack,
                                          int (*write_plain)(const char*, void*), void* context);
// Internal to iorec_save_maybe_packed: a write stream this thread opens on `path` (null:
// none) writes that file in place, unsynced. The path must outlive the setting.
void iorec_set_scratch_path(const char* path);

// ---- Tests ------------------------------------------------------------------------

// Every write stream opened from now on fails with ENOSPC once it has handed more
// than `bytes` bytes to its file, like a full disk; -1 turns it off.
// With `spared` > 0 that many write streams are opened unlimited first (a disk that
// fills up during the second pass of a save).
void iorec_test_set_write_limit(int64_t bytes, int spared = 0);
