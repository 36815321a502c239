// Block allocation for bulk work; see bulk_alloc.h.
//
// Every record carries one word in front of it: for a record from operator new, the
// distance back to what operator new gave (8 or 16); for one cut from a block, the
// block. A block counts its live records; while it is its thread's current block the
// count carries a large bias, so the thread cuts records without an atomic operation
// and settles the count once when it leaves the block.
#include "model/math/bulk_alloc.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>

#if defined(__SANITIZE_ADDRESS__)
#define ZELO_BULK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZELO_BULK_ASAN 1
#endif
#endif

#ifdef ZELO_BULK_ASAN
#include <sanitizer/asan_interface.h>
#else
#include <sys/mman.h>
#endif

namespace {

constexpr std::size_t kBlockBytes = std::size_t{4} << 20;
constexpr std::size_t kLargest = 64 << 10;  // larger records come from operator new
constexpr int64_t kOpen = int64_t{1} << 40;  // bias of a block being cut from

struct alignas(64) Block {
    std::atomic<int64_t> live;
};

// Blocks whose records are all freed, kept for the next bulk work up to a limit: a
// drawing read again (or another one) reuses their pages instead of having the system
// zero fresh ones. Their pages are handed back lazily (the system takes them when it
// needs memory; until then they stay mapped and cost nothing to write again).
constexpr std::size_t kKeptLimit = 256;  // 1 GiB
std::mutex g_kept_mutex;
Block* g_kept[kKeptLimit];
std::size_t g_kept_count = 0;

Block* block_take_kept() {
    std::lock_guard<std::mutex> lock(g_kept_mutex);
    return g_kept_count ? g_kept[--g_kept_count] : nullptr;
}

bool block_keep(Block* b) {
    std::lock_guard<std::mutex> lock(g_kept_mutex);
    if (g_kept_count == kKeptLimit) return false;
    g_kept[g_kept_count++] = b;
    return true;
}

Block* block_make() {
    if (Block* b = block_take_kept()) {
        b->live.store(kOpen, std::memory_order_relaxed);
        return b;
    }
#ifdef ZELO_BULK_ASAN
    // From the heap, so the leak checker looks into the records for the pointers
    // they hold; the records are poisoned until cut.
    void* raw = std::aligned_alloc(alignof(Block), kBlockBytes);
    if (!raw) return nullptr;
    ASAN_POISON_MEMORY_REGION(raw, kBlockBytes);
    ASAN_UNPOISON_MEMORY_REGION(raw, sizeof(Block));
#else
    // Populated at once: one call maps every page instead of a fault on each first touch.
    void* raw = mmap(nullptr, kBlockBytes, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
#endif
    Block* b = new (raw) Block;
    b->live.store(kOpen, std::memory_order_relaxed);
    return b;
}

void block_release(Block* b) {
#ifdef ZELO_BULK_ASAN
    if (block_keep(b)) return;  // still poisoned but for the head
    ASAN_UNPOISON_MEMORY_REGION(b, kBlockBytes);
    std::free(b);
#else
    madvise(b, kBlockBytes, MADV_FREE);
    if (block_keep(b)) return;
    munmap(b, kBlockBytes);
#endif
}

// Takes `n` off a block's count; the block goes when nothing is left.
void block_drop(Block* b, int64_t n) {
    if (b->live.fetch_sub(n, std::memory_order_acq_rel) == n) block_release(b);
}

struct Cutter {
    int depth = 0;
    Block* block = nullptr;
    char* next = nullptr;
    char* end = nullptr;
    int64_t cut = 0;  // records cut from `block`

    void leave() {
        if (!block) return;
        block_drop(block, kOpen - cut);
        block = nullptr;
        next = end = nullptr;
        cut = 0;
    }
};
constinit thread_local Cutter t_cutter;

uintptr_t& word_before(void* p) {
    return *reinterpret_cast<uintptr_t*>(static_cast<char*>(p) - sizeof(uintptr_t));
}

void* cut(Cutter& c, std::size_t size, std::size_t align) {
    for (int tries = 0; tries < 2; ++tries) {
        if (c.block) {
            const uintptr_t at =
                (reinterpret_cast<uintptr_t>(c.next) + sizeof(uintptr_t) + align - 1) & ~(align - 1);
            if (at + size <= reinterpret_cast<uintptr_t>(c.end)) {
                void* p = reinterpret_cast<void*>(at);
#ifdef ZELO_BULK_ASAN
                ASAN_UNPOISON_MEMORY_REGION(static_cast<char*>(p) - sizeof(uintptr_t),
                                            size + sizeof(uintptr_t));
#endif
                word_before(p) = reinterpret_cast<uintptr_t>(c.block);
                c.next = static_cast<char*>(p) + size;
                ++c.cut;
                return p;
            }
            c.leave();
        }
        Block* b = block_make();
        if (!b) return nullptr;
        c.block = b;
        c.next = reinterpret_cast<char*>(b) + sizeof(Block);
        c.end = reinterpret_cast<char*>(b) + kBlockBytes;
    }
    return nullptr;
}

}  // namespace

BulkAllocScope::BulkAllocScope() {
    ++t_cutter.depth;
}

BulkAllocScope::~BulkAllocScope() {
    if (--t_cutter.depth == 0) t_cutter.leave();
}

void* bulk_new(std::size_t size, std::size_t align) noexcept {
    Cutter& c = t_cutter;
    if (c.depth > 0 && size <= kLargest) {
        if (void* p = cut(c, size, align)) return p;
    }
    void* raw = ::operator new(size + align, std::nothrow);
    if (!raw) return nullptr;
    void* p = static_cast<char*>(raw) + align;
    word_before(p) = align;
    return p;
}

void bulk_delete(void* p, std::size_t size) noexcept {
    if (!p) return;
    const uintptr_t w = word_before(p);
    if (w <= 16) {
        ::operator delete(static_cast<char*>(p) - w);
        return;
    }
#ifdef ZELO_BULK_ASAN
    ASAN_POISON_MEMORY_REGION(static_cast<char*>(p) - sizeof(uintptr_t), size + sizeof(uintptr_t));
#else
    (void)size;
#endif
    block_drop(reinterpret_cast<Block*>(w), 1);
}
