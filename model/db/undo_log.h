// The operation log behind a drawing's undo history (undo.cpp): one record per
// recorded addition or deletion, oldest first, kept in fixed chunks of records.
// Records are appended at the end, dropped from either end (trimming takes the oldest
// levels, a new step drops the redo levels at the end) and reached by index.
//
// A step reserves room for its records before it changes the drawing and appends them
// afterwards, so that it cannot fail half-way for want of memory.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "model/db/zobj.h"

// One recorded operation: `ref` was added to or deleted from `home`. A level is the
// run of records from one that starts a level up to the next one that does.
class UndoOp {
  public:
    UndoOp() = default;
    UndoOp(ZOBJ* object, CONTAINER* home_container, ZOBJ* successor, bool added, bool level_start)
        : ref(object),
          succ(successor),
          bits_(reinterpret_cast<uintptr_t>(home_container) | (added ? kAdded : 0) |
                (level_start ? kLevelStart : 0)) {}

    // The container the object goes back into (set again when it is taken out by a
    // replay); null when that container has gone.
    CONTAINER* home() const { return reinterpret_cast<CONTAINER*>(bits_ & ~kFlags); }
    void set_home(CONTAINER* c) { bits_ = reinterpret_cast<uintptr_t>(c) | (bits_ & kFlags); }
    // An addition (else a deletion).
    bool added() const { return (bits_ & kAdded) != 0; }
    // The first record of its level.
    bool starts_level() const { return (bits_ & kLevelStart) != 0; }

    ZOBJ* ref = nullptr;   // the object; null once the history forgot it
    ZOBJ* succ = nullptr;  // the member after it in its ring when it was taken out; null: last

  private:
    static constexpr uintptr_t kAdded = 1;
    static constexpr uintptr_t kLevelStart = 2;
    static constexpr uintptr_t kFlags = 3;
    uintptr_t bits_ = 0;  // home container | flags (containers are aligned to 8)
};
static_assert(alignof(CONTAINER) >= 4, "the two flag bits live in the container pointer");

class UndoLog {
  public:
    static constexpr size_t kChunk = 512;  // records per chunk (12 KiB)

    UndoLog() = default;
    ~UndoLog() { free_from(0); }
    UndoLog(const UndoLog&) = delete;
    UndoLog& operator=(const UndoLog&) = delete;

    size_t size() const { return size_; }
    UndoOp& operator[](size_t i) {
        const size_t k = first_ + i;
        return chunks_[k / kChunk][k % kChunk];
    }

    // Room for `count` (at most kChunk) more appends; false when memory runs out.
    bool reserve(size_t count) {
        const size_t need = (first_ + size_ + count + kChunk - 1) / kChunk;
        try {
            while (chunks_.size() < need) {
                // Grown by doubling, and before the chunk is made, so that push_back
                // cannot throw with the chunk in hand.
                if (chunks_.capacity() < need) chunks_.reserve(std::max(need, 2 * chunks_.capacity()));
                void* chunk = ::operator new(kChunk * sizeof(UndoOp), std::nothrow);
                if (!chunk) return false;
                chunks_.push_back(static_cast<UndoOp*>(chunk));
            }
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }
    // Appends a record; the room must have been reserved.
    void push_back(const UndoOp& op) {
        const size_t k = first_ + size_;
        new (&chunks_[k / kChunk][k % kChunk]) UndoOp(op);
        ++size_;
    }
    // Drops the `count` oldest records.
    void drop_front(size_t count) {
        first_ += count;
        size_ -= count;
        const size_t gone = first_ / kChunk;
        if (gone == 0) return;
        for (size_t i = 0; i < gone; ++i) ::operator delete(chunks_[i]);
        chunks_.erase(chunks_.begin(), chunks_.begin() + static_cast<std::ptrdiff_t>(gone));
        first_ -= gone * kChunk;
    }
    // Keeps the `count` oldest records. The chunk after the one that the next append
    // goes to stays, so room reserved before the cut still holds after it.
    void truncate(size_t count) {
        size_ = count;
        free_from((first_ + size_) / kChunk + 2);
    }

    // Frees every chunk; the log must be empty.
    void release() {
        free_from(0);
        first_ = 0;
    }

  private:
    void free_from(size_t keep) {
        while (chunks_.size() > keep) {
            ::operator delete(chunks_.back());
            chunks_.pop_back();
        }
    }

    std::vector<UndoOp*> chunks_;
    size_t first_ = 0;  // index of the oldest record in chunks_[0]
    size_t size_ = 0;
};
