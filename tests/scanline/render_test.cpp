// The render entry end to end: refusals, mended faults, oracles and thread invariance.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <iterator>
#include <tuple>
#include <utility>
#include <vector>

#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/track.h"
#include "model/material/image/matrpmmf.h"
#include "model/material/material.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "render/scanline/render_context.h"
#include "render/scanline/render_scratch.h"
#include "scanline_test_util.h"

namespace {

// A view looking along -(1, 1, 1): a cube shows as a regular hexagon.
ViewProjection diagonal_view(double cx, double cy) {
    ViewProjection vp;
    const double s3 = std::sqrt(3.0), s2 = std::sqrt(2.0);
    const Vec3d z = {1 / s3, 1 / s3, 1 / s3}, x = {-1 / s2, 1 / s2, 0};
    const Vec3d y = {z.y * x.z - z.z * x.y, z.z * x.x - z.x * x.z, z.x * x.y - z.y * x.x};
    vp.view = {{x.x, y.x, z.x, x.y, y.y, z.y, x.z, y.z, z.z, 0, 0, 0}};
    mat_invert(&vp.inverse, &vp.view);
    vp.origin_x = -cx;
    vp.origin_y = -cy;
    return vp;
}

double coverage(const Image24& img, int channel = 0) {
    double sum = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            uint8_t p[3];
            img.rgb(x, y, p);
            sum += p[channel] / 255.0;
        }
    return sum;
}

}  // namespace

TEST(RenderScene, RefusesBadTargetsAndCameras) {
    TestScene s;
    s.add_box({0, 0, -5}, {10, 10, 5}, 0, 1.0f);
    EXPECT_EQ(render_scene(nullptr, &s.settings, &s.view, s.model.get(), nullptr, nullptr,
                           nullptr, nullptr, nullptr), 13);
    RasterImage* eight = image_create(8, 8, 1, 8, nullptr);
    ImageDC* dc8 = image_dc_create(eight);
    EXPECT_EQ(render_scene(dc8, &s.settings, &s.view, s.model.get(), nullptr, nullptr, nullptr,
                           nullptr, nullptr), 13);
    image_dc_free(dc8);
    image_free(eight);
    Image24 img(16, 16);
    s.settings.flags |= kRenderPerspective;
    struct Case {
        Vec3 pos, target;
        double lens;
    } cases[] = {{{5, 5, 50}, {5, 5, 50}, 1.0},
                 {{5, 5, 50}, {5, 5, 0}, 0.0},
                 {{5, 5, 50}, {5, 5, 0}, -1.0},
                 {{5, 5, 50}, {5, 5, 0}, NAN},
                 {{NAN, 5, 50}, {5, 5, 0}, 1.0}};
    for (const Case& c : cases) {
        CAMERA* cam = s.add_camera(c.pos, c.target, c.lens, {0, 1, 0});
        EXPECT_EQ(s.render(img, cam), kBadArgument) << c.lens;
    }
}

TEST(RenderScene, AmbientOnlyAndGammaFromFiles) {
    // White, no lights, ambient 0.15: 38 at gamma 1, 98 at gamma 2; gamma 0 (or
    // anything outside 0.1..10) renders as 1.
    struct Case {
        float gamma;
        int want;
    } cases[] = {{1.0f, 38}, {2.0f, 98}, {0.0f, 38}, {-3.0f, 38}, {50.0f, 38}, {NAN, 38}};
    for (const Case& c : cases) {
        TestScene s;
        s.add_box({0, 0, -5}, {20, 20, 5});
        s.settings.flags = kRenderGouraud | kRenderAmbient;
        s.settings.gamma = c.gamma;
        Image24 img(20, 20);
        ASSERT_EQ(s.render(img), 0);
        uint8_t p[3];
        img.rgb(10, 10, p);
        EXPECT_EQ(p[0], c.want) << c.gamma;
        EXPECT_EQ(p[1], c.want);
    }
}

TEST(RenderScene, EmptySceneAndBadPerspectiveRenderTheBackground) {
    for (int32_t perspective : {30, -5, 0, 1000}) {
        TestScene s;
        s.settings.material.colour[0] = 0.2f;
        s.settings.material.colour[1] = 0.4f;
        s.settings.material.colour[2] = 0.6f;
        s.settings.light_mask = 0xFFFF;  // default lights of an empty scene: no NaN
        s.settings.perspective = perspective;
        Image24 img(10, 8);
        ASSERT_EQ(s.render(img), 0);
        uint8_t p[3];
        img.rgb(9, 7, p);
        EXPECT_EQ(p[0], 51);
        EXPECT_EQ(p[1], 102);
        EXPECT_EQ(p[2], 153);
    }
}

TEST(RenderScene, SelfLitCubeCoversItsHexagon) {
    // Side 40 seen along the diagonal: a hexagon of area sqrt(3) x 40^2.
    for (bool aa : {false, true}) {
        TestScene s;
        s.add_box({-20, -20, -20}, {20, 20, 20}, 0, 1.0f);
        s.view = diagonal_view(50, 50);
        s.settings.flags = kRenderFlat | (aa ? kRenderAntialias : 0);
        Image24 img(100, 100);
        ASSERT_EQ(s.render(img), 0);
        const double area = std::sqrt(3.0) * 1600.0;
        const double got = coverage(img);
        if (aa)
            EXPECT_NEAR(got, area, area * 0.005);
        else
            EXPECT_NEAR(got, area, 6 * 40.0);  // within its perimeter in pixels
    }
}

TEST(RenderScene, CameraSquareSpansLensTimesWidthOverDistance) {
    TestScene s;
    s.add_mesh({{-5, -5, 0}, {5, -5, 0}, {5, 5, 0}, {-5, -5, 0}, {5, 5, 0}, {-5, 5, 0}}, 0, 1.0f);
    s.settings.flags = kRenderFlat | kRenderPerspective;
    CAMERA* cam = s.add_camera({0, 0, 100}, {0, 0, 0}, 1.0, {0, 1, 0});
    Image24 img(200, 100);
    ASSERT_EQ(s.render(img, cam), 0);
    int lit = 0;
    for (int x = 0; x < 200; ++x) {
        uint8_t p[3];
        img.rgb(x, 50, p);
        lit += p[0] > 128;
    }
    EXPECT_NEAR(lit, 10 * 1.0 * 200 / 100, 1);
}

TEST(RenderScene, NearClippedTriangleCoversItsClippedForm) {
    // A floor triangle running under the camera: only the part in front is drawn,
    // no row of the image breaks.
    TestScene s;
    s.add_mesh({{-50, -5, 50}, {50, -5, 50}, {0, -5, -200}}, 0, 1.0f);
    s.settings.flags = kRenderFlat | kRenderPerspective;
    CAMERA* cam = s.add_camera({0, 0, 10}, {0, 0, 0}, 0.8, {0, 1, 0});
    Image24 img(64, 48);
    ASSERT_EQ(s.render(img, cam), 0);
    uint8_t top[3], bottom[3];
    img.rgb(32, 2, top);
    img.rgb(32, 46, bottom);
    EXPECT_EQ(top[0], 0);        // above the horizon: background
    EXPECT_EQ(bottom[0], 255);   // the floor right under the eye
}

TEST(RenderScene, NearerOfInterpenetratingTrianglesWins) {
    // Two triangles crossing along x = 50: red nearer on the left, green on the right.
    TestScene s;
    MESH3* a = s.add_mesh({{0, 0, 10}, {100, 0, -10}, {50, 100, 0}}, 0, 1.0f);
    MESH3* b = s.add_mesh({{0, 0, -10}, {100, 0, 10}, {50, 100, 0}}, 0, 1.0f);
    a->material->colour[1] = a->material->colour[2] = 0;
    b->material->colour[0] = b->material->colour[2] = 0;
    s.settings.flags = kRenderFlat;
    Image24 img(100, 100);
    ASSERT_EQ(s.render(img), 0);
    for (int y : {80, 90}) {
        uint8_t l[3], r[3];
        img.rgb(40, y, l);
        img.rgb(60, y, r);
        EXPECT_EQ(l[0], 255);
        EXPECT_EQ(l[1], 0);
        EXPECT_EQ(r[1], 255);
        EXPECT_EQ(r[0], 0);
    }
}

namespace {
struct RowLog {
    std::vector<int> rows;
    int starts = 0;
    int phase0_calls = 0;
    int stop_after = -1;
};
int log_rows(ImageDC*, int32_t first, int32_t last, void* c) {
    auto* log = static_cast<RowLog*>(c);
    if (first < 0) {
        ++log->starts;
        return 0;
    }
    for (int r = first; r <= last; ++r) log->rows.push_back(r);
    return 0;
}
int stop_in_preparation(int32_t, int32_t, int32_t phase, void* c) {
    auto* log = static_cast<RowLog*>(c);
    if (phase != 0) return 0;
    return ++log->phase0_calls >= 2 ? 1 : 0;
}
}  // namespace

TEST(RenderScene, DraftWritesAndReportsOnlyRowsInsideTheTarget) {
    TestScene s;
    s.add_box({-200, -200, -5}, {300, 300, 5}, 0, 1.0f);
    s.settings.flags = kRenderFlat | kRenderDraft;
    Image24 img(101, 75);
    RowLog log;
    ASSERT_EQ(s.render(img, nullptr, nullptr, log_rows, &log), 0);
    std::sort(log.rows.begin(), log.rows.end());
    ASSERT_EQ(log.rows.size(), 75u);
    for (int r = 0; r < 75; ++r) EXPECT_EQ(log.rows[r], r);
    uint8_t p[3];
    img.rgb(100, 74, p);
    EXPECT_EQ(p[0], 255);
}

TEST(RenderScene, StopDuringMeshPreparationWithin512Faces) {
    TestScene s;
    s.add_sphere({0, 0, 0}, 40, 40, 40);  // 3200 faces
    s.settings.flags = kRenderGouraud;
    RowLog log;
    Image24 img(32, 32);
    EXPECT_EQ(s.render(img, nullptr, stop_in_preparation, log_rows, &log), -1);
    EXPECT_TRUE(log.rows.empty());
}

TEST(RenderScene, OneThreadAndAllCoresGiveTheSameBytes) {
    TestScene s;
    s.add_sphere({0, 0, 0}, 30, 24, 32);
    MESH3* glass = s.add_box({-35, -10, 20}, {35, 10, 25});
    glass->material->transparency = 0.5f;
    glass->material->colour[2] = 0.3f;
    s.add_light({60, 80, 100}, 1, 1, 1);
    s.view.origin_x = -40;
    s.view.origin_y = -30;
    for (uint32_t flags : {kRenderGouraud | kRenderAntialias, kRenderPhong | kRenderAmbient,
                           kRenderFlat}) {
        s.settings.flags = flags;
        s.settings.light_mask = 0x11;
        s.settings.light_colours[0] = 15;
        s.settings.light_colours[4] = 9;
        Image24 one(80, 60), many(80, 60);
        render_set_thread_count(1);
        ASSERT_EQ(s.render(one), 0);
        render_set_thread_count(7);
        ASSERT_EQ(s.render(many), 0);
        render_set_thread_count(0);
        EXPECT_EQ(one.bytes(), many.bytes()) << flags;
    }
}

TEST(RenderScene, ShortLayerFilterMeansVisibleAndDrawingStaysUnchanged) {
    TestScene s;
    s.add_box({-5, -5, -5}, {5, 5, 5}, 0, 1.0f);
    LIGHT* light = s.add_light({0, 0, 50}, 1, 1, 1);
    s.settings.flags = kRenderFlat | kRenderPerspective;
    CAMERA* cam = s.add_camera({0, 0, 40}, {0, 0, 0}, 1.0, {0, 1, 0});
    const int32_t none[1] = {0};
    RenderLayerFilter empty{none, 0}, hide{none, 1};
    Image24 shown(32, 32), hidden(32, 32);
    ASSERT_EQ(s.render(shown, cam, nullptr, nullptr, nullptr, &empty), 0);
    ASSERT_EQ(s.render(hidden, cam, nullptr, nullptr, nullptr, &hide), 0);
    uint8_t p[3], q[3];
    shown.rgb(16, 16, p);
    hidden.rgb(16, 16, q);
    EXPECT_EQ(p[0], 255);
    EXPECT_EQ(q[0], 0);
    EXPECT_EQ(light->position.z, 50.0f);
}

TEST(RenderScene, AnimatedMeshMovesWithoutChangingTheDrawing) {
    TestScene s;
    MESH3* box = s.add_box({0, 0, -5}, {10, 10, 5}, 0, 1.0f);
    KeyframeTrack* t = track_new("move", box);
    ASSERT_NE(t, nullptr);
    box->tracks = t;
    t->position.keys.push_back(PositionKey{0, {0, 0, 0, 0, 0}, {0, 0, 0}});
    t->position.keys.push_back(PositionKey{1, {0, 0, 0, 0, 0}, {30, 0, 0}});
    s.model->frame_count = 2;
    s.model->current_frame = 1;
    const Transform before = t->evaluated;
    s.settings.flags = kRenderFlat;
    Image24 img(60, 20);
    ASSERT_EQ(s.render(img), 0);
    uint8_t moved[3], home[3];
    img.rgb(35, 15, moved);
    img.rgb(5, 15, home);
    EXPECT_EQ(moved[0], 255);
    EXPECT_EQ(home[0], 0);
    // The drawing's own track was not evaluated: no cache, same transform.
    EXPECT_EQ(t->cached_frame, -1);
    EXPECT_EQ(std::memcmp(&t->evaluated, &before, sizeof before), 0);
    EXPECT_EQ(box->blocks->vertices[0].x, 0.0f);
}

TEST(RenderScene, EqualDepthKeepsTheTriangleFirstInTheScene) {
    // Two coplanar squares over each other: the one first in the scene shows, on any
    // thread count and whichever band a row falls in. The object buffer lists its
    // newest reference first, so that is the green square added second.
    for (int threads : {1, 5}) {
        TestScene s;
        MESH3* a = s.add_mesh({{0, 0, 0}, {40, 0, 0}, {40, 40, 0}, {0, 0, 0}, {40, 40, 0}, {0, 40, 0}},
                              0, 1.0f);
        MESH3* b = s.add_mesh({{0, 0, 0}, {40, 0, 0}, {40, 40, 0}, {0, 0, 0}, {40, 40, 0}, {0, 40, 0}},
                              0, 1.0f);
        a->material->colour[1] = a->material->colour[2] = 0;
        b->material->colour[0] = b->material->colour[2] = 0;
        s.settings.flags = kRenderFlat;
        render_set_thread_count(threads);
        Image24 img(40, 40);
        ASSERT_EQ(s.render(img), 0);
        render_set_thread_count(0);
        for (int y = 0; y < 40; y += 7)
            for (int x = 0; x < 40; x += 7) {
                uint8_t p[3];
                img.rgb(x, y, p);
                EXPECT_EQ(p[1], 255) << x << "," << y;
                EXPECT_EQ(p[0], 0);
            }
    }
}

TEST(RenderScene, LightVisibilityAndHalosDoNotDependOnThreads) {
    // Lights in view, some behind a half-transparent panel, one behind an opaque box,
    // one behind the camera: visibility is tested by whichever band holds its row.
    TestScene s;
    MESH3* panel = s.add_box({-40, 20, -30}, {0, 22, 30});
    panel->material->transparency = 0.6f;
    s.add_box({10, 20, -10}, {30, 25, 10});
    s.add_light({-20, 40, 0}, 1, 0.8f, 0.6f);   // behind the panel
    s.add_light({20, 40, 0}, 1, 1, 1);          // behind the box
    s.add_light({-30, 0, 15}, 0.5f, 0.7f, 1);   // in the open
    s.add_light({0, -200, 0}, 1, 1, 1);         // behind the camera
    auto cam = rtc_make<CAMERA>();
    cam->position = {0, -80, 0};
    cam->target = {0, 0, 0};
    cam->up = {0, 0, 1};
    cam->lens = 1.0;
    cam->material->self_illumination = 0.5f;
    cam->material->shininess = 3000.0f;
    CAMERA* camera = cam.release();
    EXPECT_EQ(container_insert(s.layer, camera), 0);
    for (uint32_t aa : {0u, uint32_t(kRenderAntialias)}) {
        s.settings.flags = kRenderGouraud | kRenderPerspective | kRenderAmbient | aa;
        Image24 one(96, 72), many(96, 72);
        render_set_thread_count(1);
        ASSERT_EQ(s.render(one, camera), 0);
        render_set_thread_count(6);
        ASSERT_EQ(s.render(many, camera), 0);
        render_set_thread_count(0);
        EXPECT_EQ(one.bytes(), many.bytes()) << aa;
    }
}

namespace {
int failing_decoder(const uint8_t*, uint32_t, int32_t, int32_t*, int32_t*, uint8_t**) {
    return 2;
}
}  // namespace

TEST(RenderScene, ImageMapsThatCannotBeDecodedStillRender) {
    // The scene's and the mesh's image maps are decoded before rendering; an image
    // that cannot be decoded keeps its placeholder and the render goes on.
    MATRPMMF_register();
    texture_image_set_decoder(kImageKindGif, failing_decoder);
    TestScene s;
    MESH3* box = s.add_box({0, 0, -5}, {10, 10, 5}, 0, 1.0f);
    auto image = rtc_make<MATRPMMF>();
    const uint8_t bytes[4] = {'G', 'I', 'F', '8'};
    ASSERT_EQ(image->set_data(kImageKindGif, "wall.gif", bytes, 4), 0);
    for (MaterialRecord* m : {&s.settings.material, box->material}) {
        m->slots[kSlotTexture].kind = kTextureImage;
        m->slots[kSlotTexture].mapping.image = image.get();
    }
    s.settings.flags = kRenderFlat | kRenderTextures;
    Image24 img(16, 16);
    EXPECT_EQ(s.render(img), 0);
    uint8_t p[3];
    img.rgb(5, 10, p);
    EXPECT_EQ(p[0], 0);  // the placeholder pixel is black
    texture_image_set_decoder(kImageKindGif, nullptr);
    for (MaterialRecord* m : {&s.settings.material, box->material}) {
        m->slots[kSlotTexture].mapping.image = nullptr;
        m->slots[kSlotTexture].kind = kTextureNone;
    }
}

namespace {
int record_total(int32_t, int32_t total, int32_t phase, void* c) {
    if (phase == 0) *static_cast<int32_t*>(c) = std::max(*static_cast<int32_t*>(c), total);
    return 0;
}
}  // namespace

TEST(RenderScene, BlocksOutsideTheViewPyramidAreCulled) {
    // The work estimate counts only the blocks kept: a box behind the camera or far
    // to the side adds nothing; one in view does.
    auto total_with = [](Vec3 lo, Vec3 hi) {
        TestScene s;
        s.add_box({-5, -5, -5}, {5, 5, 5});
        s.add_box(lo, hi);
        auto cam = rtc_make<CAMERA>();
        cam->position = {0, -50, 0};
        cam->target = {0, 0, 0};
        cam->up = {0, 0, 1};
        cam->lens = 1.0;
        CAMERA* camera = cam.release();
        EXPECT_EQ(container_insert(s.layer, camera), 0);
        s.settings.flags = kRenderFlat | kRenderPerspective;
        int32_t total = 0;
        Image24 img(32, 32);
        EXPECT_EQ(s.render(img, camera, record_total, nullptr, &total), 0);
        return total;
    };
    const int32_t alone = total_with({-5, -5, -5}, {5, 5, 5}) ;
    EXPECT_EQ(total_with({-5, -90, -5}, {5, -80, 5}), alone / 2 + 16);  // behind the eye
    EXPECT_EQ(total_with({200, -5, -5}, {210, 5, 5}), alone / 2 + 16);  // beside the view
    EXPECT_EQ(total_with({-5, 20, -5}, {5, 30, 5}), alone);             // in view
}

TEST(RenderScene, DepthBoundsAndFittedCamera) {
    TestScene s;
    MESH3* box = s.add_box({0, 0, -4}, {10, 10, 6});
    box->file_id = 3;  // every vertex counts
    double eye_z = 0, focal = 0;
    ASSERT_EQ(render_depth_bounds(&s.view, s.objects, 100, 60, 30, &eye_z, &focal), 0);
    const double e = (100 + 60) / 2.0 * 50.0 / 35.0;
    EXPECT_NEAR(eye_z, 6 + e, 1e-4);
    EXPECT_NEAR(focal, 5 + e, 1e-4);
    CAMERA cam;
    ASSERT_EQ(render_fit_camera(&s.view, 100, 60, eye_z, focal, &cam), 0);
    EXPECT_FLOAT_EQ(cam.position.x, 50.0f);
    EXPECT_FLOAT_EQ(cam.position.y, 30.0f);
    EXPECT_NEAR(cam.position.z, eye_z, 1e-4);
    EXPECT_NEAR(cam.target.z, eye_z - 50, 1e-4);
    EXPECT_NEAR(cam.lens, focal / 100, 1e-9);
    EXPECT_FLOAT_EQ(cam.up.y, 1.0f);
    // Nothing to fit: the bounds of an empty scene, and 1.
    buffer_clear(s.objects);
    EXPECT_EQ(render_depth_bounds(&s.view, s.objects, 100, 60, 30, &eye_z, &focal), 1);
    EXPECT_NEAR(eye_z, e, 1e-4);
    EXPECT_EQ(render_fit_camera(&s.view, 0, 60, eye_z, focal, &cam), kBadArgument);
}

TEST(RenderScene, SegmentedTargetsGetTheSameRows) {
    TestScene s;
    s.add_sphere({0, 0, 0}, 20, 10, 16);
    s.add_light({30, 30, 60}, 1, 1, 1);
    s.view.origin_x = -25;
    s.view.origin_y = -20;
    for (uint32_t flags : {kRenderGouraud, kRenderGouraud | kRenderDraft, kRenderWireEdges}) {
        s.settings.flags = flags;
        Image24 plain(51, 41), split(51, 41, 100);  // rows cut across segments
        ASSERT_EQ(s.render(plain), 0);
        ASSERT_EQ(s.render(split), 0);
        EXPECT_EQ(plain.bytes(), split.bytes()) << flags;
    }
}

TEST(RenderScratch, ASmallAskNeverHoldsAHugeKeptArrayAndReleaseFreesAll) {
    render_scratch_release();
    std::vector<int64_t> big;
    big.reserve(1 << 20);
    RenderScratch<int64_t>::give(std::move(big));
    EXPECT_EQ(render_scratch_kept_bytes(), (size_t{1} << 20) * sizeof(int64_t));
    {
        ScratchVector<int64_t> small(100);
        EXPECT_LT(small->capacity(), size_t{1} << 20);  // a fresh array
        ScratchVector<int64_t> large(300000);
        EXPECT_EQ(large->capacity(), size_t{1} << 20);  // the kept one
    }
    EXPECT_GT(render_scratch_kept_bytes(), 0u);
    render_scratch_release();
    EXPECT_EQ(render_scratch_kept_bytes(), 0u);
}

namespace {

// The 160 x 120 Gouraud picture of `s` in a parallel view turned by `turn_z` degrees
// about z and then `turn_x` about x, at scale 2 round the origin (or drawn by `flags`).
std::vector<uint8_t> render_turned(TestScene& s, double turn_z, double turn_x, uint32_t flags = kRenderGouraud) {
    Matrix43 z, x;
    mat_rotate_xyz(&z, nullptr, 0, 0, turn_z * M_PI / 180);
    mat_rotate_xyz(&x, nullptr, turn_x * M_PI / 180, 0, 0);
    mat_mul(&s.view.view, &z, &x);
    mat_invert(&s.view.inverse, &s.view.view);
    s.view.scale = 2;
    s.view.origin_x = -40;
    s.view.origin_y = -30;
    s.settings.flags = flags;
    Image24 img(160, 120);
    EXPECT_EQ(s.render(img), 0);
    return img.bytes();
}

}  // namespace

TEST(RenderScene, FarThinTriangleIsCutAtTheWindowNotWidenedIntoAWedge) {
    // A thin triangle with one corner very far away beside a box: from 1e4 on, what
    // falls in the window hardly changes, so every far corner keeps the box's picture
    // of the 1e4 corner. A corner far along the triangle's own line leaves it flat.
    auto render = [](Vec3 far, double turn_z, double turn_x) {
        TestScene s;
        s.add_box({-10, -10, -10}, {10, 10, 10});
        s.add_light({60, -80, 100}, 1, 1, 1);
        s.add_mesh({{30, 20, 0}, {31, 20, 0}, far}, 0, 1.0f);
        return render_turned(s, turn_z, turn_x);
    };
    for (const auto& [turn_z, turn_x] : {std::pair{30.0, 30.0}, {-30.0, 30.0}, {30.0, -40.0}, {150.0, 20.0}}) {
        for (const bool along_y : {true, false}) {
            const auto at = [&](float d) { return along_y ? Vec3{30, d, 0} : Vec3{d, 20, 0}; };
            const std::vector<uint8_t> near = render(at(1e4f), turn_z, turn_x);
            for (const float d : {1e8f, 1e15f, 1e20f, 3e38f}) {
                const std::vector<uint8_t> got = render(at(d), turn_z, turn_x);
                int changed = 0;
                for (size_t i = 0; i < got.size(); i += 3)
                    changed += std::memcmp(&got[i], &near[i], 3) != 0;
                EXPECT_LE(changed, 3) << "turns " << turn_z << ", " << turn_x << (along_y ? " y " : " x ") << d;
            }
        }
    }
}

TEST(RenderScene, FarCornerOfATiltedPlaneLeavesItsDepthInTheWindowAlone) {
    // A self-lit tilted plate through a box, drawn as one triangle whose window part
    // stays the same while its third corner goes far away: where the plate cuts the
    // box must not move, in turned parallel views and through a camera, with the far
    // corner listed last or first.
    const std::pair<double, double> turns[] = {{0, 0}, {150, 20}, {30, 30}, {-30, 30}, {200, -70}};
    struct Far {
        float dx, dy;  // the far corner's direction from (30, 0)
        bool first;    // listed first
    };
    auto render = [&](float d, size_t view, double k, Far f) {
        TestScene s;
        s.add_box({-10, -10, -10}, {10, 10, 10});
        s.add_light({60, -80, 100}, 1, 1, 1);
        auto at = [k](float x, float y) { return Vec3{x, y, float(k * x + 0.2 * y)}; };
        const Vec3 a = at(30 - 400 * f.dy, 400 * f.dx), b = at(30 + 400 * f.dy, -400 * f.dx);
        const Vec3 far = at(30 + d * f.dx, d * f.dy);
        EXPECT_NE(f.first ? s.add_mesh({far, a, b}, 0, 1.0f, 0.0f) : s.add_mesh({a, b, far}, 0, 1.0f, 0.0f),
                  nullptr);
        if (view < std::size(turns)) return render_turned(s, turns[view].first, turns[view].second);
        const CAMERA* cam = s.add_camera({40, -90, 50}, {0, 0, 0});
        s.settings.flags = kRenderGouraud | kRenderPerspective;
        Image24 img(160, 120);
        EXPECT_EQ(s.render(img, cam), 0);
        return img.bytes();
    };
    for (size_t view = 0; view <= std::size(turns); ++view)
        for (const double k : {0.3, -0.3, 2.0})
            for (const Far f : {Far{-1, 0, false}, Far{-1, 0, true}, Far{1, 0.3f, true}}) {
                const std::vector<uint8_t> near = render(1e6f, view, k, f);
                for (const float d : {1e20f, 1e30f}) {
                    const std::vector<uint8_t> got = render(d, view, k, f);
                    int changed = 0;
                    for (size_t i = 0; i < got.size(); i += 3) changed += std::memcmp(&got[i], &near[i], 3) != 0;
                    EXPECT_LE(changed, 3) << "view " << view << " slope " << k << " toward " << f.dx << ", "
                                          << f.dy << (f.first ? " first " : " last ") << d;
                }
            }
}

TEST(RenderScene, WireEdgesToFarCornersKeepTheirDirectionInTheWindow) {
    // A wedge from (30, 5) toward two far corners, drawn as wire edges: in the window
    // the same two rays however far the corners lie (give or take a pixel's step).
    auto render = [](double d, double turn_z, double turn_x) {
        TestScene s;
        s.add_box({-10, -10, -10}, {10, 10, 10});
        auto at = [](double x, double y) { return Vec3{float(x), float(y), float(0.3 * x)}; };
        EXPECT_NE(s.add_mesh({at(30, 5), at(30 - d, 5 - 0.3 * d), at(30 - d, 5 + 0.2 * d)}), nullptr);
        return render_turned(s, turn_z, turn_x, kRenderWireEdges);
    };
    auto lit = [](const std::vector<uint8_t>& p, int x, int y) {
        return x >= 0 && x < 160 && y >= 0 && y < 120 && p[(y * 160 + x) * 3] != 0;
    };
    for (const auto& [turn_z, turn_x] : {std::pair{0.0, 0.0}, {30.0, 30.0}, {150.0, 20.0}}) {
        const std::vector<uint8_t> near = render(1e3, turn_z, turn_x);
        for (const double d : {1e5, 1e12, 1e20, 1e30}) {
            const std::vector<uint8_t> got = render(d, turn_z, turn_x);
            int strays = 0;  // lit in one picture with nothing lit within a pixel in the other
            for (int i = 0; i < 160 * 120 * 2; ++i) {
                const auto& [a, b] = i % 2 ? std::tie(got, near) : std::tie(near, got);
                const int x = i / 2 % 160, y = i / 320;
                bool close = false;
                for (int k = 0; k < 9; ++k) close = close || lit(b, x + k % 3 - 1, y + k / 3 - 1);
                strays += lit(a, x, y) && !close;
            }
            EXPECT_EQ(strays, 0) << "turns " << turn_z << ", " << turn_x << " corners " << d;
        }
    }
}
