// The counting global operator new behind alloc_fail.h: a countdown, armed only by a
// test, makes one allocation fail; every other allocation goes to malloc.
#include "alloc_fail.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> g_fail_in{0};  // allocations until the failing one; 0: none fails
std::atomic<bool> g_failed{false};

void* counted_alloc(size_t n) noexcept {
    if (g_fail_in.load(std::memory_order_relaxed) > 0 && g_fail_in.fetch_sub(1) == 1) {
        g_failed = true;
        return nullptr;
    }
    return std::malloc(n ? n : 1);
}

void* counted_alloc_or_throw(size_t n) {
    void* p = counted_alloc(n);
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace

void alloc_fail_arm(long n) {
    g_failed = false;
    g_fail_in = n;
}

bool alloc_fail_met() {
    return g_failed;
}

void* operator new(size_t n) {
    return counted_alloc_or_throw(n);
}
void* operator new[](size_t n) {
    return counted_alloc_or_throw(n);
}
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    return counted_alloc(n);
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
    return counted_alloc(n);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
