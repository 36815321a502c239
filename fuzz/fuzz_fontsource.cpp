// Fuzz target for the stroke-font source compiler: any text must compile or
// be refused without crashing, hanging or leaking; a refused source leaves the
// caller's font alone; a compiled font has usable units and writes in the
// binary format and reads back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "model/font/strokefont.h"
#include "model/font/strokefont_source.h"

namespace {

int write_mem(void* handle, const void* buffer, size_t count) {
    auto* out = static_cast<std::vector<uint8_t>*>(handle);
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    out->insert(out->end(), p, p + count);
    return 0;
}

struct Source {
    const std::vector<uint8_t>* bytes;
    size_t pos;
};

int read_mem(void* handle, void* buffer, size_t count) {
    Source* src = static_cast<Source*>(handle);
    if (count > src->bytes->size() - src->pos) return 13;
    std::memcpy(buffer, src->bytes->data() + src->pos, count);
    src->pos += count;
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    StrokeFont* font = nullptr;
    if (font_parse_text(reinterpret_cast<const char*>(data), size, &font) != 0) {
        if (font) std::abort();
        return 0;
    }
    if (!font || font->design_width < 1 || font->design_height < 1) std::abort();
    std::vector<uint8_t> first;
    if (font_write(font, &first, write_mem) != 0) std::abort();
    font_free(&font);
    Source src{&first, 0};
    if (font_read(&font, &src, read_mem) != 0 || src.pos != first.size()) std::abort();
    std::vector<uint8_t> second;
    if (font_write(font, &second, write_mem) != 0) std::abort();
    font_free(&font);
    if (first != second) std::abort();
    return 0;
}
