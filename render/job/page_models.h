// The rules of the Render and Animation pages of the render sheet, without widgets:
// shading method and option flags, sizes and gamma as shown and stored, enabling, the
// perspective value of a camera's lens, the default-light picker's geometry and hit
// test, and the animation preview's frame arithmetic. The Qt pages in dialogs/ only
// move values between these records and their controls.
#pragma once

#include <cstdint>

#include "render/job/job_options.h"
#include "render/scanline/render_settings.h"

// ---- Render page ----

// The shading method buttons of the Render page, in their order.
enum RenderPageMethod : int {
    kPageMethodRayTrace,
    kPageMethodPhong,
    kPageMethodGouraud,
    kPageMethodFlat,
    kPageMethodNone,
};

struct RenderPageValues {
    bool ambient = false, antialias = false, draft = false, selected_only = false;
    bool textures = false, perspective = false, grey = false;
    int method = kPageMethodGouraud;  // RenderPageMethod
    int32_t perspective_value = 0;
    int32_t depth = 0;
    int32_t width = 0, height = 0;
    int32_t size_mode = kRenderSizeTyped;  // RenderSizeMode
    double gamma = 1.0;
};

// The method radio index of a flags word: 0x8000 before 4, 4 before 2, 2 before 1;
// none of them gives 4 (the fifth button).
int render_page_method(uint32_t flags);
// The page's values from the settings and options; `client_*` is the drawing window.
void render_page_read(const RenderSettings& s, const RenderJobOptions& o, int32_t client_width,
                      int32_t client_height, RenderPageValues* v);

// Which value is out of range (the control's id), with its limits.
struct RenderPageRangeError {
    int control = 0;  // 0 when every value is fine
    double low = 0, high = 0;
};
// Checks the values (the perspective value only while no camera is chosen); when they
// are fine, stores them: flags rebuilt (0x8007 from the method, every option bit), the
// perspective flag set whenever a camera is chosen (else as ticked) and the value only
// while none is, the typed size only in size mode 0, gamma held to 0.1..10.
RenderPageRangeError render_page_write(const RenderPageValues& v, bool camera_chosen, RenderSettings* s,
                                       RenderJobOptions* o);

struct RenderPageEnabled {
    bool depth, perspective_value, perspective, width, height;
};
RenderPageEnabled render_page_enabled(const RenderPageValues& v, bool camera_chosen);

// The perspective value shown for a camera's lens: trunc(lens / (0.5 / tan 6 deg) x 200 + 0.5).
int32_t render_page_perspective_from_lens(double lens);
// Caption string id of the camera button: 40333 "Camera setup" or 40334 "Create camera".
int render_page_camera_button_text(bool camera_chosen);

// ---- Default-light picker (a 10 x 10 grid centred in a w x h control) ----

struct PickerPoint {
    int x, y;
};
PickerPoint light_picker_position(int light, int width, int height);
// The first light within half a cell of (x, y) in table order, or -1.
int light_picker_hit(int x, int y, int width, int height);
// The wire cube: pairs of light numbers joined by a segment (the rectangle of lights
// 0 and 8 is drawn besides).
inline constexpr int kPickerCubeSegments = 12;
extern const int kPickerCube[kPickerCubeSegments][2];

// ---- Animation page ----

struct AnimationPage {
    int32_t frame_count = 1;  // of the chosen camera's keyed record
    bool animation = false;
    int32_t first = 1, last = 1;
    int32_t output_kind = 0;
    int32_t preview = 0;      // the preview frame, 1-based
    bool stopped = true, playing = false;

    // "&Animation" is available from two frames on.
    bool animation_available() const { return render_job_animates(frame_count); }
    // Reads from the options: kind only with animation on (else 0); first and last
    // held to 1..count and first..count.
    void read(const RenderJobOptions& o, int32_t count);
    // Writes first, last and the frame count with animation on, the kind when
    // animation was on at entry, and the animation flag when available.
    void write(RenderJobOptions* o, bool animation_at_entry) const;
    // Range checks of the two edits: 0 or the control id (2169 first, 2170 last).
    int check() const;
    // The preview frame of a trackbar position (0..100).
    int32_t frame_at(int32_t position) const;
    // The trackbar position of the preview frame.
    int32_t position() const;
    // Clamps the preview frame to [first, last].
    void clamp_preview();
    // One timer tick: advance with wrap when animating and not stopped. True when
    // the frame changed.
    bool tick();
    void step(int delta);  // "&<<" and ">>"
    void play() { playing = true, stopped = false; }
    void stop() { playing = false, stopped = true; }
    void pause() {
        if (playing) stopped = !stopped;
    }
    bool kind_enabled() const { return animation; }
    bool range_enabled() const { return animation && stopped; }
};
