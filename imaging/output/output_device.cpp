// Registry of the raster-file output devices.
#include "imaging/output/output_device.h"

#include "imaging/formats/image_formats.h"
#include "imaging/texture/texture_image.h"

namespace {

template <int (*Encode)(const uint8_t*, int32_t, int32_t, ByteSink*)>
int write_with(const char* path, const uint8_t* rgb, int32_t width, int32_t height) {
    ByteSink sink;
    if (int e = Encode(rgb, width, height, &sink)) return e;
    return image_file_write(path, sink.data(), sink.size());
}

int encode_jpeg(const uint8_t* rgb, int32_t w, int32_t h, ByteSink* out) {
    return jpg_encode(rgb, w, h, kJpegSaveQuality, out);
}

OutputDevice g_devices[5];
int g_count = 0;

}  // namespace

void output_device_register_all() {
    if (g_count) return;
    g_devices[g_count++] = {4, "Windows bitmap", ".bmp", &write_with<&bmp_encode>};
    g_devices[g_count++] = {6, "GIF image", ".gif", &write_with<&gif_encode>};
    g_devices[g_count++] = {10, "JPEG image", ".jpg", &write_with<&encode_jpeg>};
    g_devices[g_count++] = {11, "JPEG image", ".jif", &write_with<&encode_jpeg>};
    g_devices[g_count++] = {12, "Targa image", ".tga", &write_with<&tga_encode24>};
}

const OutputDevice* output_device_list(int* count) {
    if (count) *count = g_count;
    return g_devices;
}

const OutputDevice* output_device_find(int type) {
    for (int i = 0; i < g_count; ++i)
        if (g_devices[i].type == type) return &g_devices[i];
    return nullptr;
}
