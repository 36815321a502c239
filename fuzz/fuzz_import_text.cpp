// Fuzz target for the text decoding of Import Text. The first byte picks the font
// (the Latin or the Cyrillic built-in); the rest are the file's bytes. Checks: no
// line is longer than the limit or holds a control code or a line break, there are
// no more replacements than bytes, and the lines hold no more characters than the
// bytes can give (tabs widen to at most 8).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "commands/block/block_commands.h"
#include "model/font/strokefont.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const StrokeFont* fonts[2] = {font_builtin(0), font_builtin(1)};
    const StrokeFont* font = fonts[data[0] & 1];
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t replaced = 0;
    const std::vector<std::string> lines = import_text_lines(bytes, font, &replaced);
    if (replaced > bytes.size()) std::abort();
    size_t chars = 0;
    for (const std::string& l : lines) {
        if (l.size() > kImportMaxLineChars) std::abort();
        for (unsigned char c : l)
            if (c < 32 || c == 127) std::abort();
        chars += l.size();
    }
    if (chars > bytes.size() * 8) std::abort();
    return 0;
}
