// The operation log behind a drawing's undo history (undo.cpp): the recorded additions
// and deletions, oldest first, in 16-byte slots kept in fixed chunks. Slots are
// appended at the end, dropped from either end (trimming takes the oldest levels, a new
// step drops the redo levels at the end) and reached by index.
//
// A step reserves room for its slots before it changes the drawing and appends them
// afterwards, so that it cannot fail half-way for want of memory.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "model/db/zobj.h"

// A slot of the log. An addition takes one slot: the object and its home container
// with the flags. A deletion takes two: that slot, then one holding the member that
// followed the object in its ring when it was taken out (null: it was the last).
struct UndoSlot {
    static constexpr uintptr_t kAdded = 1;       // an addition (else a deletion)
    static constexpr uintptr_t kLevelStart = 2;  // the first operation of its level
    static constexpr uintptr_t kSecond = 4;      // the second slot of a deletion
    static constexpr uintptr_t kFlags = 7;

    ZOBJ* obj = nullptr;  // the object (null once the history forgot it), or the successor
    uintptr_t bits = 0;   // home container | flags, or kSecond
};
static_assert(alignof(CONTAINER) >= 8, "the flag bits live in the container pointer");

// One recorded operation seen through its slots: `ref` added to or deleted from
// its home container. A level is the run of operations from one that starts a level up
// to the next one that does.
class UndoOp {
  public:
    UndoOp(UndoSlot& first, UndoSlot* second) : ref(first.obj), first_(first), second_(second) {}

    ZOBJ*& ref;  // the object; null once the history forgot it

    // The container the object goes back into (set again when a replay takes it out);
    // null when that container has gone.
    CONTAINER* home() const {
        return reinterpret_cast<CONTAINER*>(first_.bits & ~UndoSlot::kFlags);
    }
    void set_home(CONTAINER* c) {
        first_.bits = reinterpret_cast<uintptr_t>(c) | (first_.bits & UndoSlot::kFlags);
    }
    // A deletion's ring successor; an addition keeps none (it goes back to the end).
    ZOBJ* succ() const { return second_ ? second_->obj : nullptr; }
    void set_succ(ZOBJ* s) {
        if (second_) second_->obj = s;
    }
    bool added() const { return (first_.bits & UndoSlot::kAdded) != 0; }
    bool starts_level() const { return (first_.bits & UndoSlot::kLevelStart) != 0; }
    size_t slots() const { return second_ ? 2 : 1; }

    // The slots of a new operation (two for a deletion).
    static UndoSlot first_slot(ZOBJ* object, CONTAINER* home, bool added, bool level_start) {
        return {object, reinterpret_cast<uintptr_t>(home) | (added ? UndoSlot::kAdded : 0) |
                            (level_start ? UndoSlot::kLevelStart : 0)};
    }
    static UndoSlot second_slot(ZOBJ* successor) { return {successor, UndoSlot::kSecond}; }

  private:
    UndoSlot& first_;
    UndoSlot* second_;
};

class UndoLog {
  public:
    static constexpr size_t kChunk = 512;  // slots per chunk (8 KiB)

    UndoLog() = default;
    ~UndoLog() { free_from(0); }
    UndoLog(const UndoLog&) = delete;
    UndoLog& operator=(const UndoLog&) = delete;

    size_t size() const { return size_; }
    UndoSlot& operator[](size_t i) {
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
                if (chunks_.capacity() < need)
                    chunks_.reserve(std::max(need, 2 * chunks_.capacity()));
                void* chunk = ::operator new(kChunk * sizeof(UndoSlot), std::nothrow);
                if (!chunk) return false;
                chunks_.push_back(static_cast<UndoSlot*>(chunk));
            }
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }
    // Appends a slot; the room must have been reserved.
    void push_back(const UndoSlot& slot) {
        const size_t k = first_ + size_;
        new (&chunks_[k / kChunk][k % kChunk]) UndoSlot(slot);
        ++size_;
    }
    // Drops the `count` oldest slots.
    void drop_front(size_t count) {
        first_ += count;
        size_ -= count;
        const size_t gone = first_ / kChunk;
        if (gone == 0) return;
        for (size_t i = 0; i < gone; ++i) ::operator delete(chunks_[i]);
        chunks_.erase(chunks_.begin(), chunks_.begin() + static_cast<std::ptrdiff_t>(gone));
        first_ -= gone * kChunk;
    }
    // Keeps the `count` oldest slots. The chunk after the one that the next append
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

    std::vector<UndoSlot*> chunks_;
    size_t first_ = 0;  // index of the oldest slot in chunks_[0]
    size_t size_ = 0;
};
