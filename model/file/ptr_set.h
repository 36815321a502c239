// A set of pointers in one open-addressed table (linear probing, no per-entry
// allocation): the objects one load or save made or holds, which run to millions.
// insert and count as std::unordered_set; no erase. Out of memory throws
// std::bad_alloc like the standard containers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

template <class T>
class FlatPtrSet {
  public:
    // true when the pointer was not in the set yet; null is never stored.
    bool insert(const T* p) {
        if (!p) return false;
        if ((size_ + 1) * 2 > slots_.size()) grow();
        return place(slots_, reinterpret_cast<uintptr_t>(p));
    }
    size_t count(const T* p) const {
        if (!p || slots_.empty()) return 0;
        const uintptr_t v = reinterpret_cast<uintptr_t>(p);
        const size_t mask = slots_.size() - 1;
        for (size_t i = hash(v) & mask;; i = (i + 1) & mask) {
            if (slots_[i] == v) return 1;
            if (slots_[i] == 0) return 0;
        }
    }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void clear() {
        slots_.clear();
        size_ = 0;
    }

  private:
    static size_t hash(uintptr_t v) {
        return static_cast<size_t>((v >> 3) * 0x9E3779B97F4A7C15ull >> 17);
    }
    bool place(std::vector<uintptr_t>& table, uintptr_t v) {
        const size_t mask = table.size() - 1;
        for (size_t i = hash(v) & mask;; i = (i + 1) & mask) {
            if (table[i] == v) return false;
            if (table[i] == 0) {
                table[i] = v;
                ++size_;
                return true;
            }
        }
    }
    void grow() {
        std::vector<uintptr_t> bigger(slots_.empty() ? 64 : slots_.size() * 2, 0);
        size_ = 0;
        for (uintptr_t v : slots_)
            if (v) place(bigger, v);
        slots_.swap(bigger);
    }

    std::vector<uintptr_t> slots_;  // 0 is an empty slot; the size is a power of two
    size_t size_ = 0;
};
