// Rules of the Render and Animation pages.
#include "render/job/page_models.h"

#include <algorithm>
#include <cmath>

#include "resources/string_ids.h"

namespace {

constexpr uint32_t kMethodFlags[kPageMethodNone + 1] = {kRenderRayTrace, kRenderPhong,
                                                        kRenderGouraud, kRenderFlat, 0};
constexpr int kLightGrid[16][2] = {{-4, 4},  {-1, 4},  {2, 4},  {-4, 1}, {-1, 1},  {2, 1},   {-4, -2}, {-1, -2},
                                   {2, -2},  {-2, 2},  {-2, -1}, {-2, -4}, {1, -4}, {4, -4}, {4, -1},  {4, 2}};
struct OptionBit {
    bool RenderPageValues::*field;
    uint32_t bit;
};
constexpr OptionBit kOptions[] = {
    {&RenderPageValues::ambient, kRenderAmbient},          {&RenderPageValues::antialias, kRenderAntialias},
    {&RenderPageValues::draft, kRenderDraft},              {&RenderPageValues::selected_only, kRenderSelectedOnly},
    {&RenderPageValues::textures, kRenderTextures},        {&RenderPageValues::grey, kRenderGrey},
};

}  // namespace

const int kPickerCube[kPickerCubeSegments][2] = {{7, 1},   {5, 3},   {11, 9}, {13, 11}, {15, 13}, {9, 0},
                                                 {10, 3},  {11, 6},  {12, 7}, {13, 8},  {14, 5},  {15, 2}};

int render_page_method(uint32_t flags) {
    for (int i = kPageMethodRayTrace; i < kPageMethodNone; ++i)
        if (flags & kMethodFlags[i]) return i;
    return kPageMethodNone;
}

void render_page_read(const RenderSettings& s, const RenderJobOptions& o, int32_t client_width,
                      int32_t client_height, RenderPageValues* v) {
    for (const OptionBit& b : kOptions) v->*b.field = (s.flags & b.bit) != 0;
    v->perspective = (s.flags & kRenderPerspective) != 0;
    v->method = render_page_method(s.flags);
    v->perspective_value = s.perspective;
    v->depth = s.trace_depth;
    v->size_mode = std::clamp(o.size_mode, 0, static_cast<int>(kRenderSizeLast));
    RenderJobOptions shown = o;
    shown.size_mode = v->size_mode;
    if (render_job_image_size(shown, client_width, client_height, &v->width, &v->height)) {
        v->width = kRenderDefaultWidth, v->height = kRenderDefaultHeight;
    }
    if (v->size_mode == kRenderSizeTyped) {  // each typed value on its own
        v->width = o.typed_width > 0 ? o.typed_width : kRenderDefaultWidth;
        v->height = o.typed_height > 0 ? o.typed_height : kRenderDefaultHeight;
    }
    v->gamma = s.gamma < 0.1f || s.gamma > 10.0f || !std::isfinite(s.gamma) ? 1.0 : s.gamma;
}

RenderPageRangeError render_page_write(const RenderPageValues& v, bool camera_chosen, RenderSettings* s,
                                       RenderJobOptions* o) {
    if (!camera_chosen && (v.perspective_value < 1 || v.perspective_value > 100)) return {2162, 1, 100};
    if (v.method == kPageMethodRayTrace && (v.depth < 1 || v.depth > 1053)) return {2164, 1, 1053};
    const int mode = std::clamp(v.size_mode, 0, static_cast<int>(kRenderSizeLast));
    if (mode == kRenderSizeTyped && (v.width < 4 || v.width > 32000)) return {2199, 4, 32000};
    if (mode == kRenderSizeTyped && (v.height < 1 || v.height > 32000)) return {2200, 1, 32000};
    uint32_t f = s->flags & ~(0x8007u);
    f |= kMethodFlags[std::clamp(v.method, 0, static_cast<int>(kPageMethodNone))];
    for (const OptionBit& b : kOptions) f = v.*b.field ? f | b.bit : f & ~b.bit;
    // The perspective flag and value are the viewport's own, stored only while no
    // camera is chosen: a render through a camera is a perspective render whatever
    // they say (the render job sees to it), and choosing "<Viewport>" again shows them.
    if (!camera_chosen) {
        f = v.perspective ? f | kRenderPerspective : f & ~kRenderPerspective;
        s->perspective = v.perspective_value;
    }
    s->flags = f;
    if (v.depth >= 1 && v.depth <= 1053) s->trace_depth = v.depth;
    o->size_mode = mode;
    if (mode == kRenderSizeTyped) o->typed_width = v.width, o->typed_height = v.height;
    s->gamma = static_cast<float>(std::isfinite(v.gamma) ? std::clamp(v.gamma, 0.1, 10.0) : 1.0);
    return {};
}

RenderPageEnabled render_page_enabled(const RenderPageValues& v, bool camera_chosen) {
    const bool typed = v.size_mode == kRenderSizeTyped;
    return {v.method == kPageMethodRayTrace, !camera_chosen && v.perspective, !camera_chosen, typed,
            typed};
}

int32_t render_page_perspective_from_lens(double lens) {
    const double unit = 0.5 / std::tan(6.0 * 3.14159265358979323846 / 180.0);
    const double v = lens / unit * 200.0 + 0.5;
    if (!std::isfinite(v) || v > 2e9 || v < -2e9) return 0;
    return static_cast<int32_t>(v);
}

int render_page_camera_button_text(bool camera_chosen) {
    return camera_chosen ? IDS_CAMERA_SETUP : IDS_CREATE_CAMERA;
}

PickerPoint light_picker_position(int light, int w, int h) {
    const int* g = kLightGrid[std::clamp(light, 0, 15)];
    return {g[0] * (w / 10) + w / 2, g[1] * (h / 10) + h / 2};
}

int light_picker_hit(int x, int y, int w, int h) {
    for (int i = 0; i < 16; ++i) {
        const PickerPoint p = light_picker_position(i, w, h);
        if (std::abs(x - p.x) < w / 20 && std::abs(y - p.y) < h / 20) return i;
    }
    return -1;
}

void AnimationPage::read(const RenderJobOptions& o, int32_t count) {
    frame_count = count < 1 ? 1 : count;
    animation = o.animation && animation_available();
    output_kind = animation ? std::clamp(o.output_kind, 0, 7) : 0;
    first = std::clamp(o.first_frame, 1, frame_count);
    last = std::clamp(o.last_frame, first, frame_count);
    clamp_preview();
}

void AnimationPage::write(RenderJobOptions* o, bool animation_at_entry) const {
    if (animation) o->first_frame = first, o->last_frame = last, o->frame_count = frame_count;
    if (animation_at_entry) o->output_kind = output_kind;
    if (animation_available()) o->animation = animation ? 1 : 0;
}

int AnimationPage::check() const {
    if (!animation) return 0;
    if (first < 1 || first > frame_count) return 2169;
    if (last < first || last > frame_count) return 2170;
    return 0;
}

int32_t AnimationPage::frame_at(int32_t pos) const {
    return first + static_cast<int32_t>(std::trunc(pos * static_cast<double>(last - first) * 0.01));
}

int32_t AnimationPage::position() const {
    return last == first ? 0 : static_cast<int32_t>((int64_t(preview) - first) * 100 / (last - first));
}

void AnimationPage::clamp_preview() { preview = std::clamp(preview, first, std::max(first, last)); }

bool AnimationPage::tick() {
    if (!animation || stopped) return false;
    const int32_t before = preview;
    preview = preview + 1 > last ? first : preview + 1;
    return preview != before;
}

void AnimationPage::step(int delta) {
    preview += delta;
    clamp_preview();
}
