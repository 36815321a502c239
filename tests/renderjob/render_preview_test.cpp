// The render sheet's preview of the drawing window: through a camera at a frame of
// its animation, through a camera fitted to the viewport's meshes, the parallel view
// when perspective is off or nothing is there to fit, and everything back after.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "../scanline/scanline_test_util.h"
#include "alloc_fail.h"
#include "graphics/view/view.h"
#include "model/db/tree.h"
#include "model/db/naming.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/math/result.h"
#include "model/rtc/rtc.h"
#include "render/job/render_preview.h"
#include "render/scanline/render_scratch.h"

namespace {

struct PreviewFixture {
    TestScene scene;
    VIEW view;
    CAMERA* cam = nullptr;
    PreviewFixture() {
        scene.add_box({-10, -10, 0}, {10, 10, 20});
        scene.model->frame_count = 6;
        auto c = rtc_make<CAMERA>();
        c->position = {60, -80, 50};
        c->target = {0, 0, 10};
        c->up = {0, 0, 1};
        c->lens = 1.0;
        EXPECT_EQ(obj_default_name(scene.model.get(), c.get(), 0, "Cam01"), 0);
        // The camera swings from the right to the left over the six frames.
        KeyframeTrack* track = track_new(nullptr, c.get());
        track->position.keys = {PositionKey{0, {0, 0, 0, 0, 0}, {60, -80, 50}},
                                PositionKey{5, {0, 0, 0, 0, 0}, {-60, -80, 50}}};
        KeyframeTrack* aim = track_new("target", c.get());
        aim->position.keys = {PositionKey{0, {0, 0, 0, 0, 0}, {0, 0, 10}}};
        track->next_track = aim;
        c->tracks = track;
        cam = c.get();
        EXPECT_EQ(container_insert(scene.layer, c.release()), 0);
        view.model = scene.model.get();
        view.projection.origin_x = -20, view.projection.origin_y = -15;
        view.projection.scale = 10;  // 400 x 300 pixels show -20..20 x -15..15
    }
    // The window pixel of a drawing point through the view's projection.
    void pixel(Vec3 p, double* x, double* y) const {
        ProjectedPoint out;
        view_project_point(&view.projection, p.x, p.y, p.z, 0, 0, &out);
        *x = out.fx, *y = out.fy;
    }
};

TEST(RenderPreview, CameraFramesMoveTheEyeAndKeepTheTargetCentred) {
    PreviewFixture f;
    const ViewProjection before = f.view.projection;
    RenderPreviewer p(&f.view, 400, 300);
    RenderPreviewRequest r;
    r.camera_name = "Cam01";
    r.perspective = true;
    double first_x = 0, y = 0;
    for (int frame : {-1, 0, 2, 5}) {
        r.frame = frame;
        EXPECT_TRUE(p.show(r)) << frame;
        EXPECT_FALSE(p.show(r)) << frame;  // the same again changes nothing
        EXPECT_EQ(f.scene.model->current_frame, frame);
        const ViewProjection& vp = f.view.projection;
        ASSERT_EQ(vp.mode, kProjPerspective);
        EXPECT_DOUBLE_EQ(vp.eye_distance, 400);  // lens 1 across 400 pixels
        double x = 0;
        f.pixel({0, 0, 10}, &x, &y);
        EXPECT_NEAR(x, 200, 0.01) << frame;
        EXPECT_NEAR(y, 150, 0.01) << frame;
        // A corner of the box moves across the picture as the camera swings.
        f.pixel({10, -10, 20}, &x, &y);
        if (frame == 0) first_x = x;
        if (frame == 5) { EXPECT_GT(std::fabs(x - first_x), 20); }
    }
    // The camera edited in its settings: the same request again, forced, shows it.
    r.frame = -1;
    p.show(r);
    const Matrix43 seen = f.view.projection.view;
    f.cam->position = {0, -120, 40};
    EXPECT_FALSE(p.show(r));
    r.force = true;
    EXPECT_TRUE(p.show(r));
    EXPECT_NE(std::memcmp(&f.view.projection.view, &seen, sizeof seen), 0);
    EXPECT_TRUE(p.restore());
    EXPECT_EQ(f.scene.model->current_frame, -1);
    EXPECT_EQ(f.view.projection.mode, before.mode);
    EXPECT_EQ(std::memcmp(&f.view.projection.view, &before.view, sizeof before.view), 0);
    EXPECT_EQ(f.view.projection.origin_x, before.origin_x);
    EXPECT_EQ(f.view.projection.scale, before.scale);
    EXPECT_EQ(p.viewport_camera(), nullptr);
}

TEST(RenderPreview, ViewportCameraIsFittedOrTheParallelViewStays) {
    struct Case {
        bool perspective, selected_only;
        bool fitted;  // a perspective preview through a fitted camera
    } cases[] = {{true, false, true}, {false, false, false}, {true, true, false}};  // empty selection
    for (const Case& c : cases) {
        PreviewFixture f;
        RenderPreviewer p(&f.view, 400, 300);
        RenderPreviewRequest r;
        r.perspective = c.perspective;
        r.perspective_value = 50;
        r.selected_only = c.selected_only;
        p.show(r);
        EXPECT_EQ(f.view.projection.mode == kProjPerspective, c.fitted) << c.perspective << c.selected_only;
        const CAMERA* fitted = p.viewport_camera();
        if (!c.perspective) {
            EXPECT_EQ(fitted, nullptr);
        } else if (!c.fitted) {
            ASSERT_NE(fitted, nullptr);
            EXPECT_EQ(fitted->lens, -1.0);  // the render goes parallel
        } else {
            ASSERT_NE(fitted, nullptr);
            EXPECT_GT(fitted->lens, 0);
            // The fitted eye looks at the middle of what the window showed.
            double x, y;
            f.pixel({0, 0, 0}, &x, &y);
            EXPECT_NEAR(x, 200, 1);
            EXPECT_NEAR(y, 150, 1);
            f.pixel({10, 10, 20}, &x, &y);  // the box's top corner is in the picture
            EXPECT_GT(x, 200);
            EXPECT_LT(x, 400);
        }
        p.restore();
        EXPECT_NE(f.view.projection.mode, kProjPerspective);
    }
}

// The bytes of plain values, for comparing what an operation left.
template <class... T>
std::string bytes_of(const T&... v) {
    std::string out;
    (out.append(reinterpret_cast<const char*>(&v), sizeof v), ...);
    return out;
}

// With the Nth allocation failing, for every N: fitting the viewport's camera to the
// meshes in the window, the depth bounds and a draft render finish as they do with
// memory enough, or fail; a failed fit or bound leaves its answer as it was (never
// one made from a part of the meshes).
TEST(RenderPreview, OutOfMemoryGivesNoAnswerFromAPart) {
    PreviewFixture f;
    f.scene.add_box({12, -14, 0}, {18, -8, 40});
    f.scene.add_box({-18, 8, 0}, {-12, 14, 3});
    f.scene.add_light({-60, -80, 120}, 1, 1, 1);
    f.scene.settings.flags = kRenderGouraud | kRenderDraft;
    RenderPreviewer previewer(&f.view, 400, 300);
    RenderPreviewRequest request;
    request.perspective = true;
    request.perspective_value = 50;
    std::unique_ptr<CAMERA> cam;
    double eye_z = 0, focal = 0;
    std::unique_ptr<Image24> img;
    struct Case {
        const char* name;
        std::function<void()> prepare;
        std::function<int()> op;
        std::function<std::string()> state;
        bool kept;  // a failure leaves the state as prepared
    } cases[] = {
        {"camera fitted to the window's meshes", [&] { cam = rtc_make<CAMERA>(); },
         [&] { return previewer.fit_new_camera(request, cam.get()); },
         [&] { return bytes_of(cam->position, cam->target, cam->up, cam->lens); }, true},
        {"depth bounds",
         [&] {
             eye_z = focal = -1;
             render_scratch_release();  // the preparation asks for its memory afresh
         },
         [&] { return render_depth_bounds(&f.view.projection, f.scene.objects, 400, 300, 50, &eye_z, &focal); },
         [&] { return bytes_of(eye_z, focal); }, true},
        {"draft render", [&] { img = std::make_unique<Image24>(41, 31); }, [&] { return f.scene.render(*img); },
         [&] {
             const std::vector<uint8_t> b = img->bytes();
             return std::string(b.begin(), b.end());
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        const std::string before = c.state();
        ASSERT_EQ(c.op(), 0);
        const std::string whole = c.state();
        ASSERT_NE(whole, before);
        const long runs = walk_failures(c.op,
                                        [&](int r, bool, long n) {
                                            if (r == 0) {
                                                EXPECT_EQ(c.state(), whole) << "allocation " << n;
                                            } else if (c.kept) {
                                                EXPECT_EQ(r, kOutOfMemory) << "allocation " << n;
                                                EXPECT_EQ(c.state(), before) << "allocation " << n;
                                            }
                                        },
                                        c.prepare);
        EXPECT_GT(runs, 1);
    }
}

TEST(RenderPreview, UnusableCamerasLeaveTheProjectionAlone) {
    auto cam = rtc_make<CAMERA>();
    cam->position = cam->target = {1, 2, 3};  // no line of sight
    cam->lens = 1;
    ViewProjection vp;
    vp.mode = kProjParallel;
    EXPECT_EQ(view_projection_from_camera(*cam, 400, 300, &vp), kBadArgument);
    cam->target = {0, 0, 0};
    EXPECT_EQ(view_projection_from_camera(*cam, 0, 300, &vp), kBadArgument);
    cam->lens = std::nan("");
    EXPECT_EQ(view_projection_from_camera(*cam, 400, 300, &vp), kBadArgument);
    EXPECT_EQ(vp.mode, kProjParallel);
    cam->lens = 0.5;
    EXPECT_EQ(view_projection_from_camera(*cam, 400, 300, &vp), 0);
    EXPECT_EQ(vp.mode, kProjPerspective);
    EXPECT_DOUBLE_EQ(vp.eye_distance, 200);
}

}  // namespace
