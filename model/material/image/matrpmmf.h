// The image-map texture pattern: a MATRPATT that also keeps the bytes of the image
// file it came from, with the file's kind and name, and decodes them into pixels
// only when a renderer or the material editor asks. Animated images (kind 4) are
// decoded again at each request, showing the drawing's current frame.
#pragma once

#include <cstdint>

#include "model/db/patt.h"

// Image kinds of the stored bytes.
inline constexpr int32_t kImageKindNone = -1;
inline constexpr int32_t kImageKindBmp = 0;
inline constexpr int32_t kImageKindGif = 1;
inline constexpr int32_t kImageKindJpeg = 2;
inline constexpr int32_t kImageKindTarga = 3;     // never kept raw
inline constexpr int32_t kImageKindAnimator = 4;  // PIC, CEL, FLI, FLC

// Decodes image file bytes held in memory into 24-bit pixels (red, green, blue; rows
// of width pixels, top row first). On success returns 0 with *pixels owning at
// least w * h * 3 bytes allocated with new[], and the width and height; otherwise
// the reader's error with nothing allocated. `frame` is the animation frame wanted
// (kind 4): the drawing's current frame, -1 when no animation runs.
using ImageDecoder = int (*)(const uint8_t* data, uint32_t size, int32_t frame, int32_t* width,
                             int32_t* height, uint8_t** pixels);

// The image readers install one decoder per kind at start-up; a kind without a
// decoder fails to decode with 1.
void texture_image_set_decoder(int32_t kind, ImageDecoder decoder);

class MATRPMMF : public MATRPATT {
  public:
    static RtcClass rtc_class;
    MATRPMMF() { set_klass(&rtc_class); }
    ~MATRPMMF() override;

    // Decodes the kept bytes when the pattern has no pixels yet (kind 4: always).
    int make_image_ready() override;

    int copy_level(const MATRPMMF& src);
    // Replaces the kept bytes and file name (copies); 8 when out of memory.
    [[nodiscard]] int set_data(int32_t image_kind, const char* name, const uint8_t* bytes,
                               uint32_t count);

    int32_t kind = kImageKindNone;
    char* file_name = nullptr;  // owned, may be null
    uint8_t* data = nullptr;    // owned image file bytes, may be null
    uint32_t size = 0;
};

// Sets up the class record and installs its save and load methods; called once at
// start-up (the drawing file's registration calls it too).
void MATRPMMF_register();

class IOstream;
// Record of the pattern in the drawing file: the MATRPATT level (the image, when it
// is decoded), then chunk 0 { kind (4 bytes); file name (string); size (4 bytes); the
// file's bytes exactly as they were read }. The load reads the bytes back unchanged;
// a size that is negative or larger than the chunk raises 13. Failures raise.
int MATRPMMF_save(IOstream* s, RTC* obj);
int MATRPMMF_load(IOstream* s, RTC* obj);
// The decode entry of the class (its make-ready method). It runs under the
// pattern's image_lock, so two threads asking at once decode once: the second waits
// and finds the pixels ready (an animated image is decoded again for it unless a
// reader holds the pixels).
int texture_image_decode(MATRPMMF* patt);
