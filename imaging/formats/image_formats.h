// Readers and writers of the raster image files: BMP, GIF, Targa, JPEG and the
// Animator PIC/CEL and FLI/FLC frames. Every reader takes the file's bytes in
// memory, checks each count and size against the bytes left and the pixel cap of
// image_buffer.h before allocating, and gives 0, 8 (out of memory) or 13 (bad or
// unsupported data); the image is then 24-bit RGB, top row first.
//
// Writers take packed RGB pixels (rows of width * 3 bytes, top row first) and append
// the file's bytes to a sink: 0, 8, or 13 for a size a format cannot hold.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/formats/image_buffer.h"

// BMP: file header "BM" and an info header of 12 (OS/2 1.x), 16 to 64 (OS/2 2.x),
// 40, 52, 56, 108 or 124 bytes; 1, 4, 8, 16, 24 and 32 bits; uncompressed, RLE8,
// RLE4 and bit fields; bottom-up or top-down.
[[nodiscard]] int bmp_decode(const uint8_t* data, size_t size, RgbImage* out);
// GIF87a or GIF89a: the first image (its own size), with its local or the global
// palette, interlaced or not. Pixels the code stream does not reach stay black.
[[nodiscard]] int gif_decode(const uint8_t* data, size_t size, RgbImage* out);
// Targa types 1, 2, 3 (mapped, true colour, grey) and 9, 10, 11 (their RLE forms);
// 8, 15, 16, 24 and 32 bits; either vertical and horizontal origin.
[[nodiscard]] int tga_decode(const uint8_t* data, size_t size, RgbImage* out);
// JPEG (baseline and progressive; colour or grey) through libjpeg.
[[nodiscard]] int jpg_decode(const uint8_t* data, size_t size, RgbImage* out);
// Animator PIC/CEL (magic 0x9119) or FLI (0xAF11) / FLC (0xAF12) animation: the
// frame numbered `frame` from 0; -1 (no animation running) gives frame 0 and a frame
// past the last wraps round the animation's frame count.
[[nodiscard]] int cel_decode(const uint8_t* data, size_t size, int32_t frame, RgbImage* out);
// Number of frames of an Animator file (1 for PIC/CEL); 0 for bad data.
int32_t cel_frame_count(const uint8_t* data, size_t size);

// BMP, 24 bits, 40-byte header, bottom-up rows padded to 4 bytes.
[[nodiscard]] int bmp_encode(const uint8_t* rgb, int32_t width, int32_t height, ByteSink* out);
// GIF87a: the exact palette when the image has at most 256 colours, otherwise a
// median-cut palette of 256; LZW-coded, not interlaced.
[[nodiscard]] int gif_encode(const uint8_t* rgb, int32_t width, int32_t height, ByteSink* out);
// Targa type 2, 24 bits, top-left origin, uncompressed.
[[nodiscard]] int tga_encode24(const uint8_t* rgb, int32_t width, int32_t height, ByteSink* out);
// Targa type 3, 8-bit grey, top-left origin: one byte a pixel.
[[nodiscard]] int tga_encode_grey(const uint8_t* grey, int32_t width, int32_t height, ByteSink* out);
// JPEG, baseline, at `quality` 1..100 (the image files use 98); 4:4:4 from 90 up, 4:2:0 below.
[[nodiscard]] int jpg_encode(const uint8_t* rgb, int32_t width, int32_t height, int quality, ByteSink* out);
inline constexpr int kJpegSaveQuality = 98;

// Readers in the shape the renderer's texture code opens them: open decodes and
// gives the size, read copies the pixels (width * height * 3 bytes), close frees.
struct ImageReader;
using ImageReadFn = long (*)(void* context, void* buffer, size_t count);  // bytes read, <0 error
using ImageSeekFn = int (*)(void* context, long offset);                  // absolute; 0 on success
ImageReader* bmp_open_read_stream(ImageReadFn read, ImageSeekFn seek, void* context,
                                  int32_t* width, int32_t* height, int* error);
ImageReader* gif_open_read_stream(ImageReadFn read, ImageSeekFn seek, void* context,
                                  int32_t* width, int32_t* height, int* error);
ImageReader* jpg_open_memory(const uint8_t* data, size_t size, int32_t* width, int32_t* height,
                             int* error);
ImageReader* cel_open_memory(const uint8_t* data, size_t size, int32_t* width, int32_t* height,
                             int* error);
[[nodiscard]] int bmp_read_rgb24(ImageReader* reader, uint8_t* pixels);
[[nodiscard]] int gif_read_rgb24(ImageReader* reader, uint8_t* pixels);
[[nodiscard]] int jpg_read_rgb24(ImageReader* reader, uint8_t* pixels);
// Decodes the frame wanted (see cel_decode) into the pixels.
[[nodiscard]] int cel_read_rgb24(ImageReader* reader, int32_t frame, uint8_t* pixels);
void bmp_close(ImageReader* reader);
void gif_close(ImageReader* reader);
void jpg_close(ImageReader* reader);
void cel_close(ImageReader* reader);
