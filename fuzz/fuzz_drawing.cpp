// Fuzz target for the drawing-file reader (every version, plain and LZW-coded): any
// input is read or refused without crashing, leaking or tripping the sanitizers. A
// drawing that was read saves, and what it saves reads back and saves to the same
// bytes. Read a second time into the same drawing, it merges with itself and still
// saves. Every image pattern it read is made ready (its kept file bytes decoded).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "graphics/view/view.h"
#include "imaging/texture/texture_image.h"
#include "model/db/patt.h"
#include "model/db/zobj.h"
#include "model/file/drawing_file.h"
#include "model/file/records.h"
#include "model/services/log.h"

namespace {

std::string scratch(const char* name) {
    return "/tmp/zelo_fuzz_drawing_" + std::to_string(getpid()) + name;
}

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

std::vector<char> slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
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
    const std::string in = scratch(".qvm"), a = scratch("_a.qvm"), b = scratch("_b.qvm");
    {
        FILE* f = std::fopen(in.c_str(), "wb");
        if (!f) return 0;
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    auto first = fresh_model();
    if (drawing_file_import(in.c_str(), first.get()) == 0) {
        make_images_ready(first.get());
        if (drawing_file_save(a.c_str(), first.get(), 0) != 0) std::abort();
        auto second = fresh_model();
        if (drawing_file_import(a.c_str(), second.get()) != 0) std::abort();
        if (drawing_file_save(b.c_str(), second.get(), 0) != 0) std::abort();
        if (slurp(a) != slurp(b)) std::abort();
        drawing_file_drop_views(second.get());
        // Imported again into the drawing that holds it already: every style and layer
        // now meets a namesake whose users must follow it; saving walks them all.
        drawing_file_import(in.c_str(), first.get());
        drawing_file_save(a.c_str(), first.get(), 0);
    }
    drawing_file_drop_views(first.get());
    std::remove(in.c_str());
    std::remove(a.c_str());
    std::remove(b.c_str());
    return 0;
}
