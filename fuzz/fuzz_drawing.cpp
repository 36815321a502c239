// Fuzz target for the drawing-file reader (every version, plain and LZW-coded): any
// input is read or refused without crashing, leaking or tripping the sanitizers. A
// drawing that was read saves, and what it saves reads back and saves to the same
// bytes. Read a second time into the same drawing, it merges with itself and still
// saves. Every image pattern it read is made ready (its kept file bytes decoded).
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "graphics/view/view.h"
#include "imaging/texture/texture_image.h"
#include "model/db/patt.h"
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

// Decodes every texture image of the drawing, as a render or the material editor would.
void make_images_ready(MODEL* m) {
    ZDLIST* p = m->patterns;
    if (!p) return;
    do {
        if (auto* image = rtc_cast<MATRPATT>(p)) image->make_image_ready();
        p = p->next;
    } while (p && p != m->patterns);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        log_set_level(LogLevel::error);
        drawing_file_register();
        view_type_register();  // views are part of a drawing file too
        texture_image_install_decoders();
        return true;
    }();
    (void)ready;
    // Everything stays in memory: the bytes are those of the file forms.
    auto first = fresh_model();
    if (drawing_file_import_memory(data, size, first.get()) == 0) {
        make_images_ready(first.get());
        std::vector<uint8_t> a, b;
        if (drawing_file_save_memory(&a, first.get()) != 0) std::abort();
        auto second = fresh_model();
        if (drawing_file_import_memory(a.data(), a.size(), second.get()) != 0) std::abort();
        if (drawing_file_save_memory(&b, second.get()) != 0) std::abort();
        if (a != b) std::abort();
        drawing_file_drop_views(second.get());
        // Imported again into the drawing that holds it already: every style and layer
        // now meets a namesake whose users must follow it; saving walks them all.
        (void)drawing_file_import_memory(data, size, first.get());
        (void)drawing_file_save_memory(&a, first.get());
    }
    drawing_file_drop_views(first.get());
    return 0;
}
