// The pixel block of an image document, without any window: 24-bit pixels in blue,
// green, red order, rows top first, each row the width rounded up to a multiple of 4
// pixels. Conversions to and from the packed RGB rows of texture images, the
// clipboard's bottom-up rows, and the name a first save proposes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The row length in pixels of a padded block (width rounded up to a multiple of 4).
inline int64_t image_block_row_pixels(int64_t width) { return (width + 3) & ~int64_t{3}; }
// Bytes of a padded block; 0 when the size is not positive or past the pixel cap.
size_t image_block_bytes(int64_t width, int64_t height);

// A new padded block (new[]) holding the packed RGB pixels; null when out of memory
// or the size is bad. The packed pixels are not touched.
uint8_t* image_block_from_packed(const uint8_t* rgb, int32_t width, int32_t height);
// Writes the packed RGB pixels of a padded block into `rgb` (width * height * 3).
void image_block_to_packed(const uint8_t* block, int32_t width, int32_t height, uint8_t* rgb);
// The clipboard's rows: bottom row first, 3 * width bytes each rounded up to a
// multiple of 4, blue-green-red; `out` holds clipboard_row_bytes * height bytes.
size_t image_block_clipboard_row_bytes(int32_t width);
void image_block_to_clipboard(const uint8_t* block, int32_t width, int32_t height, uint8_t* out);

// The name proposed when a document without a path is first saved: the title cut to
// 8 characters, then before the first of " #%;/\\.", plus ".tga".
std::string image_proposed_name(const std::string& title);
// Whether a name's extension is one the image writers take (.bmp .gif .jpg .jif
// .tga, any case).
bool image_save_extension_ok(const std::string& path);
