// JPEG reader and writer over libjpeg, from and to memory. libjpeg's fatal errors
// come back here through longjmp and become result codes; its warnings stay quiet.
// No object with a destructor lives across the setjmp points.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "imaging/formats/image_formats.h"

namespace {

struct ErrorJump {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void error_exit(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<ErrorJump*>(cinfo->err);
    std::longjmp(e->jump, 1);
}

void quiet(j_common_ptr, int) {}
void quiet_output(j_common_ptr) {}

// A progressive file may hold any number of scans; past this many it is refused
// rather than decoded for minutes.
constexpr int kMaxScans = 1000;

void progress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (cinfo->is_decompressor && d->input_scan_number > kMaxScans) {
        std::longjmp(reinterpret_cast<ErrorJump*>(cinfo->err)->jump, 1);
    }
}

void setup_errors(ErrorJump* err) {
    jpeg_std_error(&err->mgr);
    err->mgr.error_exit = &error_exit;
    err->mgr.emit_message = &quiet;
    err->mgr.output_message = &quiet_output;
}

}  // namespace

int jpg_decode(const uint8_t* data, size_t size, RgbImage* out) {
    if (!data || size < 4 || size > 0xFFFFFFFFu) return kBadArgument;
    jpeg_decompress_struct cinfo;
    ErrorJump err;
    jpeg_progress_mgr prog;
    std::memset(&prog, 0, sizeof prog);
    prog.progress_monitor = &progress;
    uint8_t* volatile pixels = nullptr;
    volatile int result = kBadArgument;
    cinfo.err = &err.mgr;
    setup_errors(&err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        delete[] pixels;
        return result;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.progress = &prog;
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    // Every 8 x 8 block costs at least a bit of coded data: a header claiming more
    // blocks than the bytes could code is refused before anything is allocated.
    if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK ||
        !image_size_ok(cinfo.image_width, cinfo.image_height) ||
        static_cast<uint64_t>(cinfo.image_width) * cinfo.image_height > static_cast<uint64_t>(size) * 8 * 64) {
        jpeg_destroy_decompress(&cinfo);
        return kBadArgument;
    }
    cinfo.out_color_space = JCS_RGB;
    const size_t w = cinfo.image_width, h = cinfo.image_height;
    pixels = rgb_pixels_new(w * h * 3);
    if (!pixels) {
        jpeg_destroy_decompress(&cinfo);
        return kOutOfMemory;
    }
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_width != w || cinfo.output_height != h || cinfo.output_components != 3) {
        jpeg_destroy_decompress(&cinfo);
        delete[] pixels;
        return kBadArgument;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = const_cast<uint8_t*>(pixels) + static_cast<size_t>(cinfo.output_scanline) * w * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    delete[] out->pixels;
    out->pixels = const_cast<uint8_t*>(pixels);
    out->width = static_cast<int32_t>(w);
    out->height = static_cast<int32_t>(h);
    return 0;
}

int jpg_encode(const uint8_t* rgb, int32_t width, int32_t height, int quality, ByteSink* out) {
    if (!rgb || !image_size_ok(width, height)) return kBadArgument;
    jpeg_compress_struct cinfo;
    ErrorJump err;
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    cinfo.err = &err.mgr;
    setup_errors(&err);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
        return kOutOfMemory;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &length);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality < 1 ? 1 : quality > 100 ? 100 : quality, TRUE);
    if (quality >= 90) {
        // Near-lossless qualities keep full colour resolution (4:4:4).
        for (int c = 0; c < cinfo.num_components; ++c)
            cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(rgb) + static_cast<size_t>(cinfo.next_scanline) * width * 3;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    out->put(buffer, length);
    std::free(buffer);
    return out->failed() ? kOutOfMemory : 0;
}
