// Colour reduction of 24-bit images to a palette of at most 256 colours: the exact
// palette when the image has that few colours, otherwise median cut over a 5-5-5
// histogram. Used by the GIF writer and the FLIC writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>

struct Quantized {
    int count = 0;              // palette entries used, 1..256
    uint8_t palette[256 * 3];   // red, green, blue
};

// Builds the palette of `pixels` (count RGB pixels) into q and writes one index a
// pixel into `indices` (count bytes). 0, or 8 when memory runs out.
[[nodiscard]] int quantize_rgb(const uint8_t* pixels, size_t count, int max_colours, Quantized* q,
                               uint8_t* indices);

// One palette for many images (the frames of a movie): add every image, then finish,
// then map each image to indices. The exact colours are kept while at most 256 occur;
// past that the palette is the median cut of the 5-5-5 histogram of all images.
class ColourCounter {
  public:
    [[nodiscard]] int init();                                    // 0, or 8 when memory runs out
    [[nodiscard]] int add(const uint8_t* pixels, size_t count);  // 0 or 8
    void finish(Quantized* q);
    void map(const uint8_t* pixels, size_t count, uint8_t* indices) const;  // after finish

  private:
    std::unique_ptr<uint32_t[]> hist_;
    std::unique_ptr<uint64_t[]> sums_;
    std::unique_ptr<int16_t[]> map_;
    std::unordered_map<uint32_t, uint8_t> exact_;
    bool exact_ok_ = true;
};
