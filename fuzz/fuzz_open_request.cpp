// Fuzz target for the single-instance open request reader: any bytes either read as
// one request whose path is absolute, bounded and free of control characters and
// that writes back to the same bytes, or are refused.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shell/core/open_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string path;
    if (!open_request_parse(text, &path)) return 0;
    if (path.empty() || path[0] != '/' || path.size() > kOpenRequestMaxPath) std::abort();
    for (unsigned char c : path)
        if (c < 0x20 || c == 0x7F) std::abort();
    if (open_request_format(path) != text) std::abort();
    return 0;
}
