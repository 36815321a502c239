// Fuzz target for the binary stroke font reader: any input must be read or
// refused without crashing or leaking, and a font that was read must write
// back, re-read and re-write to identical bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "model/font/strokefont.h"

namespace {

struct Source {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

int read_mem(void* handle, void* buffer, size_t count) {
    Source* src = static_cast<Source*>(handle);
    if (count > src->size - src->pos) return 13;
    if (count) std::memcpy(buffer, src->data + src->pos, count);
    src->pos += count;
    return 0;
}

int write_mem(void* handle, const void* buffer, size_t count) {
    auto* out = static_cast<std::vector<uint8_t>*>(handle);
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    out->insert(out->end(), p, p + count);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Source src{data, size, 0};
    StrokeFont* font = nullptr;
    if (font_read(&font, &src, read_mem) != 0) {
        if (font) std::abort();  // a failed read must leave the caller's pointer alone
        return 0;
    }

    std::vector<uint8_t> first;
    if (font_write(font, &first, write_mem) != 0) std::abort();
    font_free(&font);

    Source again{first.data(), first.size(), 0};
    if (font_read(&font, &again, read_mem) != 0 || again.pos != first.size()) std::abort();
    std::vector<uint8_t> second;
    if (font_write(font, &second, write_mem) != 0) std::abort();
    font_free(&font);
    if (first != second) std::abort();
    return 0;
}
