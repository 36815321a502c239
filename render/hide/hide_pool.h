// Record pools of the hidden-line removal: fixed-size records handed out zeroed from
// blocks of 16, all freed in one sweep at the end of a run. Running out of memory
// throws HideOutOfMemory, which the worker turns into its out-of-memory result.
#pragma once

#include <cstddef>
#include <cstdint>

struct HideOutOfMemory {};

class HidePool {
  public:
    // Records of `size` bytes (rounded up to pointer alignment), `per_block` a block.
    explicit HidePool(size_t size, int32_t per_block = 16);
    ~HidePool();
    HidePool(const HidePool&) = delete;
    HidePool& operator=(const HidePool&) = delete;

    // A zeroed record; throws HideOutOfMemory when no block can be had.
    void* alloc();
    // Puts the record back on the free list and clears the caller's pointer.
    void free(void** record);
    // Frees every block; the pool is empty and usable again.
    void release_all();
    int64_t blocks() const { return blocks_; }

  private:
    struct Free {
        Free* next;
    };
    size_t size_;
    int32_t per_block_;
    Free* free_ = nullptr;
    void* block_list_ = nullptr;  // each block starts with a link word
    int64_t blocks_ = 0;
};

// Test hook: the n-th block allocation from now (1 = the next) fails; 0 switches the
// failure off. Counted across every pool of the process.
void hide_pool_fail_after(int64_t n);
