// Padded pixel blocks of image documents.
#include "shell/core/image_block.h"

#include <cctype>
#include <cstring>
#include <new>

namespace {
constexpr uint64_t kMaxPixels = uint64_t{1} << 26;  // the image readers' cap
}

size_t image_block_bytes(int64_t width, int64_t height) {
    if (width < 1 || height < 1 || width > 65535 || height > 65535) return 0;
    const uint64_t n = static_cast<uint64_t>(image_block_row_pixels(width)) * static_cast<uint64_t>(height);
    return n > kMaxPixels + 65535u * 3u ? 0 : static_cast<size_t>(n * 3);
}

uint8_t* image_block_from_packed(const uint8_t* rgb, int32_t width, int32_t height) {
    const size_t bytes = image_block_bytes(width, height);
    if (!rgb || bytes == 0) return nullptr;
    auto* block = new (std::nothrow) uint8_t[bytes]();
    if (!block) return nullptr;
    const size_t stride = static_cast<size_t>(image_block_row_pixels(width)) * 3;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* s = rgb + static_cast<size_t>(y) * width * 3;
        uint8_t* d = block + y * stride;
        for (int32_t x = 0; x < width; ++x, s += 3, d += 3) d[0] = s[2], d[1] = s[1], d[2] = s[0];
    }
    return block;
}

void image_block_to_packed(const uint8_t* block, int32_t width, int32_t height, uint8_t* rgb) {
    const size_t stride = static_cast<size_t>(image_block_row_pixels(width)) * 3;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* s = block + y * stride;
        uint8_t* d = rgb + static_cast<size_t>(y) * width * 3;
        for (int32_t x = 0; x < width; ++x, s += 3, d += 3) d[0] = s[2], d[1] = s[1], d[2] = s[0];
    }
}

size_t image_block_clipboard_row_bytes(int32_t width) {
    return (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
}

void image_block_to_clipboard(const uint8_t* block, int32_t width, int32_t height, uint8_t* out) {
    const size_t stride = static_cast<size_t>(image_block_row_pixels(width)) * 3;
    const size_t row = image_block_clipboard_row_bytes(width);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* d = out + static_cast<size_t>(height - 1 - y) * row;
        std::memcpy(d, block + y * stride, static_cast<size_t>(width) * 3);
        std::memset(d + static_cast<size_t>(width) * 3, 0, row - static_cast<size_t>(width) * 3);
    }
}

std::string image_proposed_name(const std::string& title) {
    std::string t = title.substr(0, 8);
    const size_t cut = t.find_first_of(" #%;/\\.");
    if (cut != std::string::npos) t.resize(cut);
    return t + ".tga";
}

bool image_save_extension_ok(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    std::string ext = path.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".bmp" || ext == ".gif" || ext == ".jpg" || ext == ".jif" || ext == ".tga";
}
