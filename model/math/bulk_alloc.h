// Memory for the many small records that bulk work makes at once, such as the objects
// and point nodes of a drawing being read.
//
// While a BulkAllocScope lives on a thread, bulk_new on that thread cuts records from
// large blocks (no heap search, no free-list upkeep); otherwise it takes them from
// operator new. Either kind goes back through bulk_delete, on any thread. A block is
// given up when the last record cut from it is freed, so a record freed early keeps
// its few bytes until then.
#pragma once

#include <cstddef>
#include <new>

class BulkAllocScope {
  public:
    BulkAllocScope();
    ~BulkAllocScope();
    BulkAllocScope(const BulkAllocScope&) = delete;
    BulkAllocScope& operator=(const BulkAllocScope&) = delete;
};

// `size` bytes aligned to `align` (8 or 16); null when out of memory.
void* bulk_new(std::size_t size, std::size_t align) noexcept;
// Frees what bulk_new gave for `size` bytes (0 when not known); nothing for null.
void bulk_delete(void* p, std::size_t size) noexcept;

// Class-scope allocation functions that route a class's objects through bulk_new.
#define BULK_ALLOCATED(ALIGN)                                                         \
    static void* operator new(std::size_t size) {                                     \
        if (void* p = bulk_new(size, ALIGN)) return p;                                \
        throw std::bad_alloc();                                                       \
    }                                                                                 \
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept {     \
        return bulk_new(size, ALIGN);                                                 \
    }                                                                                 \
    static void* operator new(std::size_t, void* at) noexcept { return at; }         \
    static void operator delete(void* p, std::size_t size) noexcept { bulk_delete(p, size); } \
    static void operator delete(void* p, const std::nothrow_t&) noexcept { bulk_delete(p, 0); } \
    static void operator delete(void*, void*) noexcept {}
