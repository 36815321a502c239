// Growable arrays of heap texts: counting, formatting into a slot, freeing.
#include "model/db/strarray.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

struct Header {
    uint32_t marker;
    int32_t capacity;  // slots
    int32_t count;     // strings; slot `count` is null
    int32_t reserved;
};
static_assert(sizeof(Header) % alignof(char*) == 0, "slots must follow the header aligned");

constexpr int kHeaderWords = 3;

char g_empty[4] = "";

Header* header_of(StrArray array) {
    return reinterpret_cast<Header*>(reinterpret_cast<char*>(array) - sizeof(Header));
}

// The header of a valid array; null for a null array or a block without the marker.
Header* checked_header(StrArray array) {
    if (!array) return nullptr;
    Header* h = header_of(array);
    return h->marker == kStrArrayMarker ? h : nullptr;
}

// Words of the block that holds slot index + 1, grown from `capacity`; 0 when it
// would exceed the largest block.
long grown_words(int capacity, int index) {
    long words;
    if (capacity >= 1000) {
        long cap = capacity;
        do {
            words = ((cap + 1023) / 1024 + 1) * 1024;
            cap = words - kHeaderWords;
        } while (cap <= index + 1 && words <= kStrArrayMaxWords);
    } else {
        long n = 32;
        while (n <= index + 5) n *= 2;
        words = n - 1;
    }
    return words > kStrArrayMaxWords ? 0 : words;
}

// A zeroed block with room for `capacity` slots and the marker set; the slot pointer.
StrArray new_block(int capacity) {
    const size_t bytes = sizeof(Header) + static_cast<size_t>(capacity) * sizeof(char*);
    void* raw = ::operator new(bytes, std::nothrow);
    if (!raw) return nullptr;
    std::memset(raw, 0, bytes);
    auto* h = static_cast<Header*>(raw);
    h->marker = kStrArrayMarker;
    h->capacity = capacity;
    return reinterpret_cast<StrArray>(static_cast<char*>(raw) + sizeof(Header));
}

void free_block(StrArray array) {
    ::operator delete(header_of(array));
}

}  // namespace

const char* strarray_empty() {
    return g_empty;
}

int strarray_count(const StrArray array) {
    const Header* h = checked_header(array);
    return h ? h->count : 0;
}

int strarray_capacity(const StrArray array) {
    const Header* h = checked_header(array);
    return h ? h->capacity : 0;
}

int strarray_printf(StrArray* array, int index, const char* format, ...) {
    if (!array || !format || index < 0 || index > kStrArrayMaxIndex) return -1;
    StrArray old = *array;
    Header* oh = checked_header(old);
    if (old && !oh) return -1;
    const int capacity = oh ? oh->capacity : 0;
    const int count = oh ? oh->count : 0;

    // Format straight into the string's own block: measure, then write.
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int len = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    char* text = nullptr;
    if (len >= 0) {
        const size_t size = (static_cast<size_t>(len) + 1 + 3) & ~static_cast<size_t>(3);
        text = new (std::nothrow) char[size];
        if (text && std::vsnprintf(text, static_cast<size_t>(len) + 1, format, again) != len) {
            delete[] text;
            text = nullptr;
        }
    }
    va_end(again);
    if (!text) return -1;

    StrArray slots = old;
    if (capacity <= index + 1) {
        const long words = grown_words(capacity, index);
        slots = words ? new_block(static_cast<int>(words - kHeaderWords)) : nullptr;
        if (!slots) {
            delete[] text;
            return -1;
        }
        header_of(slots)->count = count;
        if (count) std::memcpy(slots, old, static_cast<size_t>(count) * sizeof(char*));
    }

    Header* h = header_of(slots);
    if (index < count && slots[index] != g_empty) delete[] slots[index];
    for (int i = count; i < index; ++i) slots[i] = g_empty;
    slots[index] = text;
    if (index >= count) {
        slots[index + 1] = nullptr;
        h->count = index + 1;
    }
    if (slots != old) {
        if (old) free_block(old);
        *array = slots;
    }
    return len;
}

void strarray_free(StrArray* array) {
    if (!array || !*array) return;
    StrArray a = *array;
    *array = nullptr;
    Header* h = checked_header(a);
    if (!h) return;
    for (int i = 0; i < h->count; ++i) {
        if (a[i] != g_empty) delete[] a[i];
    }
    free_block(a);
}
