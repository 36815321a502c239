// Named styles kept in a MODEL's pattern ring and referenced by objects (line
// styles, hatch patterns, text fonts, texture images), and stored viewpoints.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "model/db/zobj.h"

struct StrokeFont;

// A named resource of the model's pattern ring. Destroying a pattern that is in a
// model first clears every reference to it.
class PATT : public ZOBJ {
  public:
    static RtcClass rtc_class;
    PATT() { set_klass(&rtc_class); }
    ~PATT() override;
    // The name (string 0) is refiled in the name index of the model holding the pattern.
    [[nodiscard]] int set_string(int index, const char* text) override;
};

// A stored viewpoint: six parameters written and applied by the view code.
class VPORT : public ZOBJ {
  public:
    static RtcClass rtc_class;
    VPORT() { set_klass(&rtc_class); }
    int copy_level(const VPORT& src);

    double params[6] = {0, 0, 0, 0, 0, 0};
};

// A line style: dash lengths in model units.
class LINEPATT : public PATT {
  public:
    static RtcClass rtc_class;
    LINEPATT() { set_klass(&rtc_class); }
    int copy_level(const LINEPATT& src);

    int32_t word = 0;
    std::vector<double> dashes;
};

// One family of parallel hatch lines.
struct HatchLine {
    double angle = 0, origin_x = 0, origin_y = 0, offset_x = 0, offset_y = 0;
    std::vector<double> dashes;
};

class HATCHPATT : public PATT {
  public:
    static RtcClass rtc_class;
    HATCHPATT() { set_klass(&rtc_class); }
    int copy_level(const HATCHPATT& src);

    std::vector<HatchLine> lines;
};

// A text font: owns its stroke font.
class FONTPATT : public PATT {
  public:
    static RtcClass rtc_class;
    FONTPATT() { set_klass(&rtc_class); }
    ~FONTPATT() override;
    int copy_level(const FONTPATT& src);

    StrokeFont* font = nullptr;  // owned
};

// A named texture image: width x height RGB pixels. Without an image it shows the
// shared 1 x 1 black pixel, which is never freed.
class MATRPATT : public PATT {
  public:
    static RtcClass rtc_class;
    MATRPATT();
    ~MATRPATT() override;

    // Makes the pixels ready (a subclass decodes them); 0 when ready. Any thread may
    // ask: one request decodes under image_lock while the others wait for it.
    virtual int make_image_ready();
    // make_image_ready and hold_pixels as one step, so that no other thread's decode
    // comes between them and replaces the pixels about to be sampled. A reader on a
    // thread of its own (a render, the material sample) calls this before sampling
    // and release_pixels after (or reads under an ImagePixelsHold); the result is
    // make_image_ready's.
    int make_image_ready_and_hold();
    // Frees the pixels unless they are the shared black pixel; then 1 x 1 black.
    virtual void release_image();

    int copy_level(const MATRPATT& src);
    bool has_own_pixels() const;

    // A render that samples the pixels holds the pattern for its duration: while it
    // is held, decoded pixels are not replaced (an animated image keeps the frame the
    // render started with instead of decoding the next one under it).
    void hold_pixels() { holds.fetch_add(1); }
    void release_pixels() { holds.fetch_sub(1); }
    bool pixels_held() const { return holds.load() > 0; }

    int32_t width = 1;
    int32_t height = 1;
    uint8_t* pixels;  // owned unless it is the shared black pixel
    std::atomic<int32_t> holds{0};
    // Taken by a decode and by make_image_ready_and_hold (which decodes inside it).
    std::recursive_mutex image_lock;
};

// Holds a texture image's pixels for as long as it lives: made ready and held in one
// step (make_image_ready_and_hold), let go (release_pixels) however the scope ends. A
// reader that samples or copies the pixels on a thread that may run beside a render
// reads them under one of these, so that a decode of another frame for the render
// leaves them alone. A null image holds nothing.
class ImagePixelsHold {
  public:
    explicit ImagePixelsHold(MATRPATT* image)
        : image_(image), code_(image ? image->make_image_ready_and_hold() : 0) {}
    ~ImagePixelsHold() {
        if (image_) image_->release_pixels();
    }
    ImagePixelsHold(const ImagePixelsHold&) = delete;
    ImagePixelsHold& operator=(const ImagePixelsHold&) = delete;
    // make_image_ready's result: 0 when the pixels are ready.
    int code() const { return code_; }

  private:
    MATRPATT* image_;
    int code_;
};
