// Helpers of the image file tests.
#include "image_test_support.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

Picture picture_rich(int w, int h) {
    Picture p{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* d = &p.rgb[(static_cast<size_t>(y) * w + x) * 3];
            d[0] = static_cast<uint8_t>(x * 255 / (w > 1 ? w - 1 : 1));
            d[1] = static_cast<uint8_t>(y * 255 / (h > 1 ? h - 1 : 1));
            d[2] = static_cast<uint8_t>((x + y) * 255 / (w + h));
        }
    return p;
}

Picture picture_palette(int w, int h, int colours) {
    Picture p{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int c = ((x / 3) + (y / 2) * 5) % colours;
            uint8_t* d = &p.rgb[(static_cast<size_t>(y) * w + x) * 3];
            d[0] = static_cast<uint8_t>(c * 37 % 256);
            d[1] = static_cast<uint8_t>(255 - c * 11 % 256);
            d[2] = static_cast<uint8_t>(c * 91 % 256);
        }
    return p;
}

Picture picture_grey(int w, int h) {
    Picture p{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3)};
    for (size_t i = 0; i < p.rgb.size() / 3; ++i) p.rgb[i * 3] = p.rgb[i * 3 + 1] = p.rgb[i * 3 + 2] = static_cast<uint8_t>(i * 5);
    return p;
}

std::string temp_dir() {
    static std::string dir = [] {
        char tmpl[] = "/tmp/zelo_imaging_XXXXXX";
        return std::string(mkdtemp(tmpl));
    }();
    return dir;
}

void write_ppm(const std::string& path, const Picture& p) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << p.w << " " << p.h << "\n255\n";
    out.write(reinterpret_cast<const char*>(p.rgb.data()), static_cast<std::streamsize>(p.rgb.size()));
}

bool read_ppm(const std::string& path, Picture* p) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxval = 0;
    in >> magic >> p->w >> p->h >> maxval;
    in.get();
    if (magic != "P6" || maxval != 255) return false;
    p->rgb.resize(static_cast<size_t>(p->w) * p->h * 3);
    in.read(reinterpret_cast<char*>(p->rgb.data()), static_cast<std::streamsize>(p->rgb.size()));
    return static_cast<bool>(in);
}

std::vector<uint8_t> file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void put_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool convert(const std::string& args) {
    const std::string cmd = "convert " + args + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

bool have_convert() {
    static const bool ok = std::system("convert -version >/dev/null 2>&1") == 0;
    return ok;
}

double psnr(const uint8_t* a, const uint8_t* b, size_t n) {
    double se = 0;
    for (size_t i = 0; i < n; ++i) se += (a[i] - b[i]) * double(a[i] - b[i]);
    if (se == 0) return 99;
    return 10 * std::log10(255.0 * 255.0 * n / se);
}
