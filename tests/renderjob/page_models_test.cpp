// Render and Animation page rules as tables.
#include <gtest/gtest.h>

#include "render/job/page_models.h"

namespace {

TEST(RenderPage, MethodIndexPrecedenceAndFlagsWritten) {
    struct Case {
        uint32_t flags;
        int method;
    } cases[] = {{0x8000 | 4 | 2 | 1, 0}, {4 | 2 | 1, 1}, {2 | 1, 2}, {1, 3}, {0, 4}, {0x80, 4}};
    for (const Case& c : cases) EXPECT_EQ(render_page_method(c.flags), c.method) << std::hex << c.flags;

    RenderSettings s;
    RenderJobOptions o;
    s.flags = 0x8000 | 0x7 | 0x800;
    RenderPageValues v;
    render_page_read(s, o, 0, 0, &v);
    v.method = 4, v.ambient = true, v.grey = true, v.perspective = false, v.perspective_value = 40;
    ASSERT_EQ(render_page_write(v, false, &s, &o).control, 0);
    EXPECT_EQ(s.flags, 0x80u | 0x4000u);  // no method bit, perspective cleared
    v.perspective = true, v.perspective_value = 70;
    ASSERT_EQ(render_page_write(v, true, &s, &o).control, 0);  // a camera keeps the stored value
    EXPECT_EQ(s.perspective, 40);
}

TEST(RenderPage, AChosenCameraKeepsTheViewportsPerspectiveChoice) {
    // Rendered once with Perspective off through "<Viewport>", then through Camera01
    // (the page shows Perspective ticked, greyed, for the camera): "<Viewport>" shows
    // it off again. The render job looks through the camera whatever the flag says.
    RenderSettings s;
    RenderJobOptions o;
    RenderPageValues v;
    render_page_read(s, o, 0, 0, &v);
    v.perspective = false;
    ASSERT_EQ(render_page_write(v, false, &s, &o).control, 0);
    ASSERT_EQ(s.flags & kRenderPerspective, 0u);
    render_page_read(s, o, 0, 0, &v);
    v.perspective = true;  // what choosing the camera shows
    ASSERT_EQ(render_page_write(v, true, &s, &o).control, 0);
    render_page_read(s, o, 0, 0, &v);
    EXPECT_FALSE(v.perspective);
}

TEST(RenderPage, SizesGammaAndRanges) {
    RenderSettings s;
    RenderJobOptions o;
    o.size_mode = 12;
    s.gamma = 20;
    RenderPageValues v;
    render_page_read(s, o, 0, 0, &v);
    EXPECT_EQ(v.size_mode, 10);
    EXPECT_EQ(v.width, 736); EXPECT_EQ(v.height, 486);
    EXPECT_DOUBLE_EQ(v.gamma, 1.0);  // out of range shows as 1
    v.perspective_value = 30, v.gamma = 0.05;
    ASSERT_EQ(render_page_write(v, false, &s, &o).control, 0);
    EXPECT_EQ(o.size_mode, 10);
    EXPECT_FLOAT_EQ(s.gamma, 0.1f);
    v.gamma = 11;
    render_page_write(v, false, &s, &o);
    EXPECT_FLOAT_EQ(s.gamma, 10.0f);

    o.size_mode = 0, o.typed_width = 0, o.typed_height = 99;
    render_page_read(s, o, 0, 0, &v);
    EXPECT_EQ(v.width, 320); EXPECT_EQ(v.height, 99);
    struct Range {
        int field, value, control;
    } ranges[] = {{0, 0, 2162}, {0, 101, 2162}, {1, 3, 2199}, {1, 32001, 2199}, {2, 0, 2200}, {3, 1054, 2164}};
    for (const Range& r : ranges) {
        RenderPageValues bad = v;
        bad.perspective_value = 30, bad.width = 100, bad.height = 100, bad.method = 0, bad.depth = 3;
        if (r.field == 0) bad.perspective_value = r.value;
        if (r.field == 1) bad.width = r.value;
        if (r.field == 2) bad.height = r.value;
        if (r.field == 3) bad.depth = r.value;
        EXPECT_EQ(render_page_write(bad, false, &s, &o).control, r.control) << r.value;
    }
    // The perspective value is not checked while a camera is chosen.
    RenderPageValues cam = v;
    cam.perspective_value = 0, cam.width = 100, cam.height = 100;
    EXPECT_EQ(render_page_write(cam, true, &s, &o).control, 0);
}

TEST(RenderPage, EnablingLensAndButton) {
    RenderPageValues v;
    v.method = 0, v.perspective = true, v.size_mode = 0;
    RenderPageEnabled e = render_page_enabled(v, false);
    EXPECT_TRUE(e.depth && e.perspective_value && e.perspective && e.width && e.height);
    v.method = 1, v.size_mode = 3;
    e = render_page_enabled(v, true);  // a camera disables perspective and its value
    EXPECT_FALSE(e.depth || e.perspective_value || e.perspective || e.width || e.height);
    EXPECT_EQ(render_page_perspective_from_lens(1.2071), 51);
    EXPECT_EQ(render_page_camera_button_text(true), 40333);
    EXPECT_EQ(render_page_camera_button_text(false), 40334);
}

TEST(LightPicker, PositionsAndHitsWithinHalfACell) {
    const int w = 200, h = 100;
    EXPECT_EQ(light_picker_position(0, w, h).x, -4 * 20 + 100);
    EXPECT_EQ(light_picker_position(0, w, h).y, 4 * 10 + 50);
    for (int i = 0; i < 16; ++i) {
        const PickerPoint p = light_picker_position(i, w, h);
        EXPECT_EQ(light_picker_hit(p.x, p.y, w, h), i);
        EXPECT_EQ(light_picker_hit(p.x + w / 20 - 1, p.y - h / 20 + 1, w, h), i);  // inside half a cell
        EXPECT_NE(light_picker_hit(p.x + w / 20, p.y, w, h), i);
    }
    const PickerPoint a = light_picker_position(0, w, h), b = light_picker_position(1, w, h);
    EXPECT_EQ(light_picker_hit((a.x + b.x) / 2, a.y, w, h), -1);  // between two markers
}

TEST(AnimationPage, AvailabilityRangesTrackbarAndPlaying) {
    RenderJobOptions o;
    o.animation = 1, o.first_frame = 3, o.last_frame = 50, o.output_kind = 1;
    AnimationPage p;
    p.read(o, 1);  // fewer than two frames: no animation, flag left alone
    EXPECT_FALSE(p.animation_available());
    EXPECT_FALSE(p.animation);
    RenderJobOptions out = o;
    p.write(&out, false);
    EXPECT_EQ(out.animation, 1);
    EXPECT_EQ(p.output_kind, 0);

    p.read(o, 20);
    EXPECT_TRUE(p.animation);
    EXPECT_EQ(p.first, 3); EXPECT_EQ(p.last, 20);
    EXPECT_EQ(p.frame_at(50), 3 + 8);
    p.preview = 11;
    EXPECT_EQ(p.position(), 8 * 100 / 17);
    p.preview = 20;
    p.play();
    EXPECT_TRUE(p.tick());
    EXPECT_EQ(p.preview, 3);  // wraps to first
    p.pause();
    EXPECT_FALSE(p.tick());
    p.pause();
    EXPECT_TRUE(p.tick());
    p.preview = 3;
    p.step(-1);
    EXPECT_EQ(p.preview, 3);  // stays on the first frame
    EXPECT_FALSE(p.range_enabled());
    p.stop();
    EXPECT_TRUE(p.range_enabled());

    p.first = p.last = 5, p.preview = 5;
    p.play();
    p.tick();
    EXPECT_EQ(p.preview, 5); EXPECT_EQ(p.position(), 0);
    p.last = 4;
    EXPECT_EQ(p.check(), 2170);
    p.first = 0;
    EXPECT_EQ(p.check(), 2169);
    p.first = 2, p.last = 9;
    p.write(&out, true);
    EXPECT_EQ(out.first_frame, 2); EXPECT_EQ(out.last_frame, 9); EXPECT_EQ(out.frame_count, 20);
    EXPECT_EQ(out.output_kind, 1);
}

}  // namespace
