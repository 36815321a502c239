// Fuzz target for the block-file reader: the full read into a selection with styles
// merged into a drawing, and the label-only read of the block dialog. Any input is
// read or refused without crashing or leaking; the label always comes back
// terminated within its buffer; a block that was read saves and reads back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "graphics/view/view.h"
#include "model/db/buffer.h"
#include "model/db/zobj.h"
#include "model/file/drawing_file.h"
#include "model/file/records.h"
#include "model/services/log.h"

namespace {

std::unique_ptr<MODEL> fresh_model() {
    std::unique_ptr<RTC> m;
    if (rtc_init(m, &MODEL::rtc_class) != 0) std::abort();
    return std::unique_ptr<MODEL>(static_cast<MODEL*>(m.release()));
}

void check_label(const char* label, size_t size) {
    if (!std::memchr(label, 0, size)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        log_set_level(LogLevel::error);
        drawing_file_register();
        view_type_register();  // a block file may name a view class too
        return true;
    }();
    (void)ready;
    char label[kBlockLabelSize];
    std::memset(label, 'x', sizeof label);
    Vec3 base{};
    (void)block_file_load_memory(data, size, label, sizeof label, nullptr, nullptr, &base, nullptr,
                                 0);
    check_label(label, sizeof label);

    auto model = fresh_model();
    buffer* sel = buffer_new();
    if (!sel) std::abort();
    std::memset(label, 'x', sizeof label);
    int new_level = 1;
    const int r = block_file_load_memory(data, size, label, sizeof label, model.get(), sel, &base,
                                         &new_level, 5);
    check_label(label, sizeof label);
    if (r == 0) {
        std::vector<uint8_t> out;
        if (block_file_save_memory(&out, label, model.get(), sel, base) != 0) std::abort();
        buffer* again = buffer_new();
        char label2[kBlockLabelSize];
        Vec3 base2{};
        if (block_file_load_memory(out.data(), out.size(), label2, sizeof label2, model.get(),
                                   again, &base2, nullptr, 0) != 0)
            std::abort();
        if (std::strcmp(label, label2) != 0) std::abort();
        buffer_delete_objects(again);
        buffer_free(&again);
    }
    buffer_delete_objects(sel);
    buffer_free(&sel);
    return 0;
}
