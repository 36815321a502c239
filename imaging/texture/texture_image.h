// Texture images: loading an image file into a pattern of the drawing, saving a
// pattern as an image file, CMYK plates, and the decoders behind MATRPMMF.
// Result codes: 0, 8 out of memory, 13 unknown extension or bad data, or the C
// library's errno for a file that cannot be read or written.
#pragma once

#include <cstdint>

class MATRPATT;

// The image kind of a file name by the extension after the last '.' of its last
// path component (up to 4 characters with the dot, case-insensitive): ".bmp" 0,
// ".gif" 1, ".jpg" and ".jif" 2, ".tga" 3, ".pic", ".cel", ".flc", ".fli" 4;
// otherwise (or without a '.') -1.
int32_t texture_image_kind(const char* file_name);

// Loads the image file `path` into a new pattern named `name`: BMP of 24 or more
// bits and Targa files are decoded at once into a MATRPATT; other BMP, GIF, JPEG
// and Animator files are kept as their bytes in a MATRPMMF, decoded on demand
// (their data is checked by one decode all the same). On success *out owns the
// pattern (free it with rtc_destroy); on failure *out is null. Out of memory
// anywhere on the way is 8.
[[nodiscard]] int texture_image_load(MATRPATT** out, const char* path, const char* name);

// Writes the pattern to `path` in the format of the name's kind: a MATRPMMF whose
// kind is the name's kind writes its kept bytes unchanged; otherwise its pixels are
// encoded (BMP 24-bit, GIF87a, JPEG quality 98, Targa 24-bit; Animator has no writer:
// 13). The file is replaced only once it is complete; out of memory is 8, with the
// file as it was.
[[nodiscard]] int texture_image_save(MATRPATT* pattern, const char* path);

// Writes the four plates cyan, magenta, yellow and black of width x height packed
// RGB pixels as 8-bit grey Targa files (ink 255 = full): the path without its
// extension plus "_c.tga", "_m.tga", "_y.tga", "_k.tga". Every plate is attempted;
// the result is the first plate's failure (8 out of memory), or 0.
[[nodiscard]] int cmyk_save_image(const char* path, const uint8_t* rgb, int32_t width, int32_t height);
// The plate names cmyk_save_image writes, for messages: index 0..3 (c, m, y, k).
void cmyk_plate_name(const char* path, int index, char* out, unsigned capacity);

// Installs the decoders of kinds 0, 1, 2 and 4 with texture_image_set_decoder.
void texture_image_install_decoders();
