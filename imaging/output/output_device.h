// The output devices that write rendered or printed images to raster files. Types
// are the file-type codes of the file dialogs and settings: 4 BMP (.bmp), 6 GIF
// (.gif), 10 JPEG (.jpg), 11 JPEG (.jif), 12 Targa (.tga). CMYK plates have no file
// type of their own (Save (CMYK) writes them with cmyk_save_image). Plotters, FLIC
// and MPEG outputs are not registered yet.
#pragma once

#include <cstdint>

struct OutputDevice {
    int type;
    const char* name;       // shown in lists
    const char* extension;  // with the dot
    // Writes width x height packed RGB pixels to `path`: 0 or a result code.
    int (*write)(const char* path, const uint8_t* rgb, int32_t width, int32_t height);
};

// Builds the list (idempotent); called once at start-up.
void output_device_register_all();
// The registered devices in type order, and their count.
const OutputDevice* output_device_list(int* count);
// The device of `type`, or null.
const OutputDevice* output_device_find(int type);
