// Record pools of the hidden-line removal (declared in hide_pool.h).
#include "render/hide/hide_pool.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {
std::atomic<int64_t> g_fail_after{0};

bool injected_failure() {
    int64_t n = g_fail_after.load();
    while (n > 0) {
        if (g_fail_after.compare_exchange_weak(n, n - 1)) return n == 1;
    }
    return false;
}
}  // namespace

void hide_pool_fail_after(int64_t n) {
    g_fail_after.store(n < 0 ? 0 : n);
}

HidePool::HidePool(size_t size, int32_t per_block) : per_block_(per_block < 1 ? 1 : per_block) {
    constexpr size_t align = alignof(std::max_align_t);
    size_ = (size < sizeof(Free) ? sizeof(Free) : size);
    size_ = (size_ + align - 1) / align * align;
}

HidePool::~HidePool() {
    release_all();
}

void* HidePool::alloc() {
    if (!free_) {
        constexpr size_t head = alignof(std::max_align_t);
        void* block = injected_failure() ? nullptr : std::calloc(1, head + size_ * per_block_);
        if (!block) throw HideOutOfMemory{};
        *static_cast<void**>(block) = block_list_;
        block_list_ = block;
        ++blocks_;
        auto* base = static_cast<char*>(block) + head;
        for (int32_t i = per_block_ - 1; i >= 0; --i) {
            auto* f = reinterpret_cast<Free*>(base + size_ * i);
            f->next = free_;
            free_ = f;
        }
    }
    Free* f = free_;
    free_ = f->next;
    std::memset(static_cast<void*>(f), 0, size_);
    return f;
}

void HidePool::free(void** record) {
    if (!record || !*record) return;
    auto* f = static_cast<Free*>(*record);
    f->next = free_;
    free_ = f;
    *record = nullptr;
}

void HidePool::release_all() {
    while (block_list_) {
        void* next = *static_cast<void**>(block_list_);
        std::free(block_list_);
        block_list_ = next;
    }
    free_ = nullptr;
    blocks_ = 0;
}
