// Helpers of the image file tests: PPM pictures written by the test, ImageMagick
// conversions, file bytes, and comparisons.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Picture {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
};

// Test pictures: many colours; `colours` distinct colours in blocks; grey levels.
Picture picture_rich(int w, int h);
Picture picture_palette(int w, int h, int colours);
Picture picture_grey(int w, int h);

std::string temp_dir();  // one fresh folder per test program
void write_ppm(const std::string& path, const Picture& p);
bool read_ppm(const std::string& path, Picture* p);
std::vector<uint8_t> file_bytes(const std::string& path);
void put_file(const std::string& path, const std::vector<uint8_t>& bytes);
// Runs ImageMagick's convert with the arguments; true on exit status 0.
bool convert(const std::string& args);
bool have_convert();
// Peak signal-to-noise ratio in dB (99 for equal pictures).
double psnr(const uint8_t* a, const uint8_t* b, size_t n);
