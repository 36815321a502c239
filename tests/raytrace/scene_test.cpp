// Ray-traced renders of drawings through render_scene: the empty scene, shadows and
// default lights as analytic oracles, camera and parallel geometry against the
// scan-line renderer, self-lit meshes as lights, animated and morphed meshes on private
// copies, stops, threads and fog, image maps on grid meshes, a background picture
// under focal blur (also through glass), lights behind faces, mirrors that let light
// through at any trace depth, far vertices in parallel views.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/view/colours.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/math/result.h"
#include "model/mesh/grid_builders.h"
#include "model/mesh/mesh_block.h"
#include "model/material/material.h"
#include "model/math/matrix.h"
#include "render/raytrace/rt_render.h"
#include "render/raytrace/rt_vec.h"
#include "render/scanline/render_context.h"
#include "render/scanline/render_scene.h"
#include "render/surface/image_sample.h"
#include "render/surface/presets.h"
#include "../scanline/scanline_test_util.h"
#include "../surface/surface_test_util.h"

namespace {

// A parallel-view scene of `scale` pixels per unit, ray traced, no default lights.
struct RayScene : TestScene {
    explicit RayScene(double scale = 4.0) {
        rt_install();
        view.scale = scale;
        settings.flags = kRenderRayTrace | kRenderGouraud;
        settings.light_mask = 0;
        for (int i = 0; i < 4; ++i) settings.material.colour[i] = 0.0f;
    }
    // Renders with the drawing origin at the image centre.
    int draw(Image24& img, const CAMERA* camera = nullptr, RenderProgressFn progress = nullptr,
             RenderRowDoneFn rows = nullptr, void* context = nullptr) {
        view.origin_x = -img.width() / (2 * view.scale);
        view.origin_y = -img.height() / (2 * view.scale);
        return render(img, camera, progress, rows, context);
    }
    // A square of half side h at height z, white, diffuse 1, no highlight or reflection.
    MESH3* square(float h, float z, float self = 0.0f) {
        MESH3* m = add_mesh({{-h, -h, z}, {h, -h, z}, {h, h, z}, {-h, -h, z}, {h, h, z}, {-h, h, z}}, 0, self);
        m->material->reflection_level = 0.0f;
        return m;
    }
};

// With RT_DUMP set, writes the image to /tmp/rt_<name>.ppm to be looked at.
void dump(const Image24& img, const std::string& name) {
    if (std::getenv("RT_DUMP")) write_ppm("/tmp/rt_" + name + ".ppm", img.width(), img.height(), img.bytes());
}

int red(const Image24& img, int x, int y) {
    uint8_t p[3];
    img.rgb(x, y, p);
    return p[0];
}

// Linear light of a pixel byte (the output raises to the power 2/3).
double linear(int byte) { return std::pow(byte / 255.0, 1.5); }

int lit_run(const Image24& img, int y) {
    int n = 0;
    for (int x = 0; x < img.width(); ++x) n += red(img, x, y) > 128;
    return n;
}

// Along row y of the lit part: how often runs of two pixels or more change between
// lighter and darker than the row's mean.
int cell_changes(const Image24& img, int y) {
    int x0 = 0, x1 = img.width() - 1, changes = 0, run = 0;
    while (x0 < x1 && red(img, x0, y) == 0) ++x0;
    while (x1 > x0 && red(img, x1, y) == 0) --x1;
    double mean = 0;
    for (int x = x0; x <= x1; ++x) mean += red(img, x, y) / double(x1 - x0 + 1);
    bool light = red(img, x0, y) > mean, counted = light;
    for (int x = x0; x <= x1; ++x, light = red(img, x - 1, y) > mean) {
        run = (red(img, x, y) > mean) == light ? run + 1 : 1;
        if (run == 2 && light != counted) ++changes, counted = light;
    }
    EXPECT_GT(x1 - x0, 150);
    return changes;
}

}  // namespace

TEST(RtScene, EmptyDrawingShowsTheBackgroundOrSaysThereIsNothing) {
    struct Case {
        uint32_t mask;
        int code;
    } cases[] = {{0x10, 0}, {0, 153}};
    for (const Case& c : cases) {
        RayScene s;
        s.settings.light_mask = c.mask;
        s.settings.material.colour[0] = 0.5f;
        s.settings.material.colour[1] = 0.25f;
        s.settings.material.colour[2] = 1.0f;
        Image24 img(16, 12);
        ASSERT_EQ(s.draw(img), c.code) << c.mask;
        if (c.code) {
            EXPECT_STREQ(render_last_message(), "Theres no objects in the scene");
            continue;
        }
        EXPECT_STREQ(render_last_message(), "");
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) {
                uint8_t p[3];
                img.rgb(x, y, p);
                ASSERT_EQ(p[0], 160);
                ASSERT_EQ(p[1], 101);
                ASSERT_EQ(p[2], 255);
            }
    }
}

TEST(RtScene, NotInstalledAnswersOne) {
    RayScene s;
    s.square(2, 0);
    render_set_ray_tracer(nullptr);
    Image24 img(8, 8);
    EXPECT_EQ(s.draw(img), 1);
    rt_install();
    EXPECT_EQ(s.draw(img), 0);
}

TEST(RtScene, SquareShadowOnTheFloorAndHalfThroughTransparency) {
    // Light at (0, 0, 10), square [-1, 1]^2 at z = 5, floor z = 0: the shadow covers
    // |x|, |y| < 2. Pixel column c shows x = (c - 32) / 4 on the middle row.
    for (float transparency : {0.0f, 0.5f}) {
        RayScene s;
        s.square(8, 0);
        MESH3* blocker = s.square(1, 5);
        blocker->material->transparency = transparency;
        s.add_light({0, 0, 10}, 1, 1, 1);
        Image24 img(64, 64);
        ASSERT_EQ(s.draw(img), 0);
        dump(img, "shadow" + std::to_string(int(transparency * 10)));
        for (int c = 0; c < 64; ++c) {
            const double x = (c - 32) / 4.0;
            const double ax = std::fabs(x), ax2 = std::fabs(x + 0.25);
            const double cosine = 10.0 / std::sqrt(100.0 + x * x);
            if (ax > 1.25 && ax2 > 1.25 && ax < 1.75 && ax2 < 1.75) {
                const double expect = transparency * cosine;  // light through the pane
                EXPECT_NEAR(linear(red(img, c, 32)), expect, 0.02) << "column " << c << " t " << transparency;
            } else if (ax > 2.25 && ax2 > 2.25) {
                EXPECT_NEAR(linear(red(img, c, 32)), cosine, 0.02) << "column " << c;
            }
        }
    }
}

TEST(RtScene, DefaultLightFourSitsTwoDiagonalsAboveTheCentre) {
    // The floor [-8, 8]^2 at scale 4 spans 64 x 64 pixels: diagonal 90.5 pixels, so the
    // light is 45.25 units above the centre.
    RayScene s;
    s.square(8, 0);
    s.settings.light_mask = 1u << 4;
    s.settings.light_colours[4] = 15;
    float colour[4];
    colour_index_rgb(colour, 15);
    ASSERT_GT(colour[0], 0.5f);
    Image24 img(64, 64);
    ASSERT_EQ(s.draw(img), 0);
    const double h = 2 * std::sqrt(2.0) * 16.0;
    for (int c : {32, 40, 50, 60}) {
        const double x = (c - 32) / 4.0;
        EXPECT_NEAR(linear(red(img, c, 32)), colour[0] * h / std::sqrt(h * h + x * x), 0.02) << c;
    }
}

TEST(RtScene, CameraAndParallelSquaresSpanWhatTheScanLineRendererShows) {
    struct Case {
        bool camera;
        int w, h;
        int expect;  // lit pixels across the middle row
    } cases[] = {{true, 200, 100, 20}, {false, 120, 40, 20}, {false, 40, 120, 20}};
    for (const Case& c : cases) {
        int lit[2] = {0, 0}, tall = 0;
        for (int trace = 0; trace < 2; ++trace) {
            RayScene s(c.camera ? 4.0 : 2.0);
            s.square(5, 0, 1.0f);
            s.settings.flags = (trace ? kRenderRayTrace : 0) | kRenderFlat | (c.camera ? kRenderPerspective : 0);
            s.settings.light_mask = 0x10;  // the scan-line renderer lights with it
            s.settings.light_colours[4] = 15;
            CAMERA* cam = c.camera ? s.add_camera({0, 0, 100}, {0, 0, 0}, 1.0, {0, 1, 0}) : nullptr;
            Image24 img(c.w, c.h);
            ASSERT_EQ(s.draw(img, cam), 0);
            lit[trace] = lit_run(img, c.h / 2);
            if (trace && !c.camera) {
                for (int y = 0; y < c.h; ++y) tall += red(img, c.w / 2, y) > 128;
            }
        }
        EXPECT_NEAR(lit[1], c.expect, 1) << c.w << "x" << c.h;
        EXPECT_NEAR(lit[1], lit[0], 1) << c.w << "x" << c.h;
        if (!c.camera) { EXPECT_NEAR(tall, lit[1], 1) << "square pixels " << c.w << "x" << c.h; }
    }
}

TEST(RtScene, SelfLitMeshIsALightFromOneHalf) {
    struct Case {
        float self;
        bool lights_floor;
    } cases[] = {{0.5f, true}, {0.49f, false}, {1.0f, true}};
    for (const Case& c : cases) {
        RayScene s;
        s.square(8, 0);
        s.square(1, 5, c.self);
        Image24 img(64, 64);
        ASSERT_EQ(s.draw(img), 0);
        const int floor = red(img, 56, 32);  // x = 6: beside the lamp's own shadow
        if (c.lights_floor) {
            EXPECT_GT(floor, 40) << c.self;
        } else {
            EXPECT_EQ(floor, 0) << c.self;
        }
        EXPECT_GT(red(img, 32, 32), 100) << "the lamp itself shows " << c.self;
    }
}

TEST(RtScene, AmbientLightShowsAGreySurfaceAsTheScanLineRendererDoes) {
    // A 0.5 grey square under ambient light alone, at full strength in the scan-line
    // renderer (self-illumination 0.85 + ambient 0.15) and at the ray tracer's output
    // exponent (gamma 1.5): 160 in both, the pigment counted once. The ray tracer shows
    // it so with or without the self-illumination (then a lamp of its own shape).
    struct Case {
        bool trace;
        float self;
        const char* name;
    } cases[] = {{false, 0.85f, "ambient_scanline"}, {true, 0.85f, "ambient_traced_lamp"},
                 {true, 0.0f, "ambient_traced"}};
    for (const Case& c : cases) {
        RayScene s;
        MESH3* sq = s.square(5, 0, c.self);
        for (int k = 0; k < 3; ++k) sq->material->colour[k] = 0.5f;
        s.settings.flags = (c.trace ? kRenderRayTrace : 0) | kRenderGouraud | kRenderAmbient;
        s.settings.gamma = 1.5f;
        Image24 img(64, 64);
        ASSERT_EQ(s.draw(img), 0);
        dump(img, c.name);
        uint8_t p[3];
        img.rgb(32, 32, p);
        EXPECT_EQ(p[0], 160) << c.name;
        EXPECT_EQ(p[1], 160) << c.name;
        EXPECT_EQ(p[2], 160) << c.name;
    }
}

TEST(RtScene, OneFarVertexLeavesTheDefaultLightsFiniteAndTheViewLit) {
    // A lit box with the sixteen default lights, and a mesh with one far vertex: near
    // the largest float through a camera, or the triangle (0,0,0) (1,0,0) (1e8,5,5) in
    // a parallel view turned so that x goes half into the depth: the box still shows
    // lit in both renderers.
    for (bool camera : {true, false})
        for (bool trace : {false, true}) {
            RayScene s;
            s.add_box({-10, -10, -10}, {10, 10, 10});
            s.add_mesh(camera ? std::vector<Vec3>{{-5, -5, 20}, {5, -5, 20}, {3e38f, 0, 20}}
                              : std::vector<Vec3>{{0, 0, 0}, {1, 0, 0}, {1e8f, 5, 5}});
            s.settings.flags = (trace ? kRenderRayTrace : 0) | kRenderGouraud | (camera ? kRenderPerspective : 0);
            s.settings.light_mask = 0xFFFF;
            for (int i = 0; i < 16; ++i) s.settings.light_colours[i] = 15;
            if (!camera) {
                const double k = std::sqrt(0.5);
                s.view.view = {{k, 0, k, 0, 1, 0, -k, 0, k, 0, 0, 0}};
                mat_invert(&s.view.inverse, &s.view.view);
            }
            CAMERA* cam = camera ? s.add_camera({30, -60, 40}, {0, 0, 0}) : nullptr;
            Image24 img(64, 64);
            ASSERT_EQ(s.draw(img, cam), 0);
            EXPECT_GT(red(img, 32, 36), 40) << trace << camera;
        }
}

TEST(RtScene, AFaceFarLargerThanTheWindowShowsInFrontOfABoxInAParallelView) {
    // In a turned view, a green face 1e8 wide across the whole window, nearer than a
    // box: the rays start above it and show it.
    RayScene s;
    const double k = std::sqrt(0.5), c = std::cos(0.3), sn = std::sin(0.3);
    const Matrix43 turn = {{k, 0, k, 0, 1, 0, -k, 0, k, 0, 0, 0}}, tilt = {{1, 0, 0, 0, c, sn, 0, -sn, c, 0, 0, 0}};
    mat_mul(&s.view.view, &turn, &tilt);
    mat_invert(&s.view.inverse, &s.view.view);
    auto at = [&](double x, double y, double z) {
        Vec3d p{x, y, z}, q;
        mat_xform_point_d(&q, &p, &s.view.inverse);
        return Vec3{float(q.x), float(q.y), float(q.z)};
    };
    s.add_box({-10, -10, -10}, {10, 10, 10});
    MESH3* face = s.add_mesh({at(-1e8, -1.1e8, 200), at(1.3e8, -0.9e8, 200), at(0.1e8, 1.7e8, 200)});
    face->material->colour[0] = face->material->colour[2] = 0.2f;
    s.add_light(at(0, 0, 400), 1, 1, 1);
    s.settings.flags = kRenderRayTrace | kRenderPhong;
    Image24 img(64, 64);
    ASSERT_EQ(s.draw(img), 0);
    uint8_t p[3];
    img.rgb(32, 32, p);
    EXPECT_GT(p[1], p[0] + 60);
}

TEST(RtScene, AnimatedAndMorphedMeshesMoveWithoutChangingTheDrawing) {
    // A self-lit box carried 30 units along x by frame 1; its track also morphs towards
    // a target with fewer vertices, which must not be blended (nor read past its end).
    RayScene s(1.0);
    s.settings.light_mask = 0x10;
    s.settings.light_colours[4] = 15;
    MESH3* box = s.add_box({0, 0, -5}, {10, 10, 5}, 0, 1.0f);
    auto short_target = rtc_make<MESH3>();
    MeshFaceBlock* b = mesh_face_block(short_target.get(), 0);
    b->vertices.push_back(MeshVertex{100, 100, 100, {}});
    KeyframeTrack* t = track_new("move", box);
    ASSERT_NE(t, nullptr);
    box->tracks = t;
    t->position.keys.push_back(PositionKey{0, {0, 0, 0, 0, 0}, {0, 0, 0}});
    t->position.keys.push_back(PositionKey{1, {0, 0, 0, 0, 0}, {30, 0, 0}});
    t->objects.keys.push_back(ObjectKey{0, {0, 0, 0, 0, 0}, box});
    t->objects.keys.push_back(ObjectKey{2, {0, 0, 0, 0, 0}, short_target.get()});
    EXPECT_EQ(container_insert(s.layer, short_target.release()), 0);
    s.model->frame_count = 3;
    s.model->current_frame = 1;
    const Transform before = t->evaluated;
    Image24 img(60, 20);
    ASSERT_EQ(s.render(img), 0);  // the drawing origin at the bottom left
    EXPECT_GT(red(img, 35, 15), 128);
    EXPECT_EQ(red(img, 5, 15), 0);
    EXPECT_EQ(t->cached_frame, -1);
    EXPECT_EQ(std::memcmp(&t->evaluated, &before, sizeof before), 0);
    EXPECT_EQ(box->blocks->vertices[0].x, 0.0f);
}

namespace {

struct StopAt {
    int row;     // stop once this row is reported (-1: the call before the first row)
    int calls = 0;
    int last = -2;
};

int stop_rows(ImageDC*, int32_t first, int32_t, void* ctx) {
    auto* s = static_cast<StopAt*>(ctx);
    ++s->calls;
    s->last = first;
    return first >= s->row ? 1 : 0;
}

int stop_preparing(int32_t, int32_t, int32_t phase, void*) { return phase == 0 ? 1 : 0; }

}  // namespace

TEST(RtScene, StopsBeforeDuringAndInPreparationAnswerMinusOne) {
    for (int row : {-1, 10}) {
        RayScene s;
        s.square(8, 0);
        s.add_light({0, 0, 10}, 1, 1, 1);
        StopAt stop{row};
        Image24 img(64, 64);
        EXPECT_EQ(s.draw(img, nullptr, nullptr, stop_rows, &stop), -1) << row;
        EXPECT_EQ(stop.last, row);
        if (row >= 0) {
            EXPECT_GT(red(img, 32, row), 0);
            EXPECT_EQ(red(img, 32, 63), 0);  // never written
        }
    }
    RayScene s;
    s.square(8, 0);
    s.add_light({0, 0, 10}, 1, 1, 1);
    Image24 img(16, 16);
    EXPECT_EQ(s.draw(img, nullptr, stop_preparing), -1);
}

TEST(RtScene, OneTwoAndAllThreadsGiveTheSameBytes) {
    // Enough triangles for the hierarchy, shadows, a mirror and antialiasing.
    RayScene s;
    s.square(8, 0);
    for (int i = 0; i < 30; ++i) {
        const float x = -7 + (i % 6) * 2.5f, y = -7 + (i / 6) * 2.5f;
        MESH3* m = s.add_box({x, y, 0.5f}, {x + 1, y + 1, 1.5f + (i % 3)});
        m->material->reflection_level = (i % 4 == 0) ? 0.5f : 0.0f;
        m->material->colour[1] = (i % 5) / 5.0f;
    }
    s.add_light({3, -4, 12}, 1, 1, 1);
    s.settings.flags |= kRenderAntialias;
    std::vector<uint8_t> first;
    for (int threads : {1, 2, 0}) {
        render_set_thread_count(threads);
        Image24 img(48, 40);
        ASSERT_EQ(s.draw(img), 0);
        if (first.empty())
            first = img.bytes();
        else
            EXPECT_EQ(img.bytes(), first) << threads;
    }
    render_set_thread_count(0);
}

TEST(RtScene, FogLeavesItsVisibilityAtTheReferenceDistance) {
    // A white floor under a far light, fog towards black with no haze: the floor lies at
    // the reference distance (the camera's target, or the parallel eye above the top),
    // so half its light is left there; a camera at its target is refused.
    struct Case {
        bool camera;
        Vec3 position;
        int code;
    } cases[] = {{false, {}, 0}, {true, {0, 0, 100}, 0}, {true, {0, 0, 0}, kBadArgument}};
    for (const Case& c : cases) {
        RayScene s;
        s.square(8, 0);
        s.add_light({0, 0, 1e4f}, 1, 1, 1);
        if (c.camera) s.settings.flags |= kRenderPerspective;
        s.settings.material.slots[kSlotTexture].amount = 0.0f;  // haze
        s.settings.material.slots[kSlotBump].amount = 0.5f;     // visibility at the distance
        CAMERA* cam = c.camera ? s.add_camera(c.position, {0, 0, 0}, 1.0, {0, 1, 0}) : nullptr;
        Image24 img(64, 64);
        ASSERT_EQ(s.draw(img, cam), c.code);
        if (c.code) continue;
        EXPECT_NEAR(linear(red(img, 32, 32)), 0.5, 0.01) << c.camera;
    }
}

TEST(RtScene, CameraHaloGlowsAroundVisibleLightsOnly) {
    // A light in front of the camera, seen over a dark floor: with a halo brightness on
    // the camera's material the pixels round it glow, unless a square hides the light.
    struct Case {
        float brightness;
        bool hidden;
        bool glows;
    } cases[] = {{0.0f, false, false}, {1.0f, false, true}, {1.0f, true, false}};
    for (const Case& c : cases) {
        RayScene s;
        MESH3* floor = s.square(50, -20);
        floor->material->diffuse = 0.0f;  // the floor shows nothing but the halo
        if (c.hidden) s.square(2, 5);
        s.add_light({0, 0, 0}, 1, 1, 1);
        s.settings.flags |= kRenderPerspective;
        CAMERA* cam = s.add_camera({0, 0, 40}, {0, 0, -20}, 1.0, {0, 1, 0});
        if (!cam->material) cam->material = material_new();
        cam->material->self_illumination = c.brightness;
        cam->material->shininess = 50.0f;
        Image24 img(48, 48);
        ASSERT_EQ(s.draw(img, cam), 0);
        dump(img, "halo" + std::to_string(&c - cases));
        if (c.glows) {
            EXPECT_GT(red(img, 24, 24), 100);
            EXPECT_GT(red(img, 30, 24), red(img, 40, 24));
        } else if (!c.hidden) {
            EXPECT_EQ(red(img, 24, 24), 0);
        } else {
            EXPECT_EQ(red(img, 30, 30), 0);
        }
    }
}

TEST(RtScene, TexturesAndBumpsComeFromTheSharedEvaluators) {
    // A brick floor (black mortar, white bricks) under a far light: the ray tracer and
    // the scan-line renderer show about as much mortar; a bump map changes the shading.
    auto render_floor = [](bool trace, bool bump, Image24& img) {
        RayScene s(2.3);  // samples off the bricks' grid
        MESH3* floor = s.square(16, 0);
        ASSERT_EQ(texture_preset_apply(floor->material, &kPresetsTexture, 32), 0);
        if (bump) { ASSERT_GE(texture_preset_apply(floor->material, &kPresetsBump, 0), 0); }
        s.add_light({0, 0, 1e4f}, 1, 1, 1);
        s.settings.flags = (trace ? kRenderRayTrace : 0) | kRenderPhong | kRenderTextures;
        ASSERT_EQ(s.draw(img), 0);
    };
    auto dark = [](const Image24& img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) n += red(img, x, y) < 64;
        return n;
    };
    Image24 traced(64, 64), scanned(64, 64), bumped(64, 64);
    render_floor(true, false, traced);
    render_floor(false, false, scanned);
    render_floor(true, true, bumped);
    dump(traced, "bricks");
    dump(bumped, "bumped");
    const int mortar = dark(traced);
    EXPECT_GT(mortar, 64 * 64 / 20);
    EXPECT_LT(mortar, 64 * 64 / 2);
    EXPECT_NEAR(mortar, dark(scanned), 64 * 64 / 50);
    EXPECT_NE(traced.bytes(), bumped.bytes());
}

TEST(RtScene, HostileScenesEndWithAFrame) {
    // Eleven nested glass boxes, two facing perfect mirrors at the page's deepest trace
    // level, vertices that are not numbers or lie at 1e30, needles: each gives a frame.
    struct Case {
        const char* name;
        void (*build)(RayScene& s);
    } cases[] = {
        {"panes",
         [](RayScene& s) {
             for (int i = 0; i < 11; ++i) {
                 const float h = 1.0f + i * 0.5f;
                 MESH3* b = s.add_box({-h, -h, -h}, {h, h, h});
                 b->material->transparency = 0.95f;
                 b->material->refraction = 1.0f + 0.05f * i;
                 b->material->reflection_level = 0.05f;
             }
         }},
        {"mirrors",
         [](RayScene& s) {
             for (float x : {-3.0f, 3.0f}) {
                 MESH3* m = s.add_box({x - 0.1f, -6, -6}, {x + 0.1f, 6, 6});
                 m->material->reflection_level = 1.0f;
             }
             s.settings.trace_depth = 1053;
         }},
        {"wild vertices",
         [](RayScene& s) {
             const float nan = std::nanf("");
             s.add_mesh({{0, 0, 0}, {nan, 1, 0}, {1, 1, 0}, {-1e30f, -1e30f, 0}, {1e30f, 0, 0}, {0, 1e30f, 1},
                         {0, 0, 0}, {5, 0, 0}, {10, 0, 0}, {0, 0, 0}, {1e-7f, 0, 0}, {0, 1e-7f, 0}});
             s.square(4, -1);
         }},
    };
    for (const Case& c : cases) {
        RayScene s;
        c.build(s);
        s.add_light({2, 3, 10}, 1, 1, 1);
        s.settings.flags |= kRenderAntialias | kRenderPerspective;
        // Looking almost along the mirrors' normal, from between them.
        CAMERA* cam = s.add_camera({0, 0.2f, 0.1f}, {10, 0.5f, 0.3f}, 0.5, {0, 1, 0});
        Image24 img(32, 24);
        EXPECT_EQ(s.draw(img, cam), 0) << c.name;
    }
}

TEST(RtScene, MoreHostileScenesEndWithAFrame) {
    // Lights that are not numbers, lie at 1e30 or on top of each other, an eye inside a
    // closed box, refraction indices of 0 and below, everything fully transparent.
    struct Case {
        const char* name;
        void (*build)(RayScene& s);
        bool lit = false;  // the square under the ordinary light shows
    } cases[] = {
        {"nan light", [](RayScene& s) {
             s.square(2, 0);
             s.add_light({std::nanf(""), 0, 5}, 1, 1, 1);
             s.add_light({0, 0, 5}, std::nanf(""), 1, 1);
         }, true},
        {"far light", [](RayScene& s) {
             s.square(2, 0);
             s.add_light({1e30f, -1e30f, 1e30f}, 1, 1, 1);
         }, true},
        {"coincident lights", [](RayScene& s) {
             s.square(2, 0);
             for (int i = 0; i < 3; ++i) s.add_light({0, 0, 3}, 1, 1, 1);
             s.add_light({0, 0, 0}, 1, 1, 1);
         }, true},
        {"zero and negative index", [](RayScene& s) {
             MESH3* a = s.add_box({-1, -1, -1}, {1, 1, 1});
             a->material->transparency = 1.0f;
             a->material->refraction = 0.0f;
             MESH3* b = s.add_box({-3, -3, -3}, {3, 3, 3});
             b->material->transparency = 1.0f;
             b->material->refraction = -1.5f;
         }},
        {"all transparent", [](RayScene& s) {
             for (int i = 0; i < 30; ++i) {
                 MESH3* m = s.square(3, -i * 0.25f);
                 m->material->transparency = 1.0f;
                 m->material->reflection_level = 1.0f;
             }
             s.settings.trace_depth = 1053;
         }},
    };
    for (const Case& c : cases) {
        for (bool camera : {false, true}) {
            RayScene s;
            c.build(s);
            s.add_light({2, 3, 10}, 1, 1, 1);
            s.settings.flags |= kRenderAntialias | kRenderShadows;
            CAMERA* cam = nullptr;
            if (camera) {
                s.settings.flags |= kRenderPerspective;
                cam = s.add_camera({0.1f, 0.2f, 0.3f}, {0, 0, -10}, 0.5, {0, 1, 0});
            }
            Image24 img(24, 18);
            EXPECT_EQ(s.draw(img, cam), 0) << c.name << camera;
            // The ordinary light still lights what the eye sees.
            if (!camera && c.lit) {
                EXPECT_GT(red(img, 12, 9), 0) << c.name;
            }
        }
    }
}

TEST(RtScene, CameraApertureBlursWhatLiesBeyondItsTarget) {
    // A near square on the camera's target plane and a far box behind it, both the
    // same size on the picture. With an aperture the far box's edges spread
    // while the near square stays as it was; an aperture that is not a positive number
    // (a damaged file) draws the sharp picture.
    auto draw = [](float aperture, Image24& img, const char* name) {
        RayScene s;
        s.settings.flags |= kRenderPerspective;
        s.add_mesh({{-12, -4, 0}, {-4, -4, 0}, {-4, 4, 0}, {-12, -4, 0}, {-4, 4, 0}, {-12, 4, 0}});
        s.add_box({10, -10, -70}, {30, 10, -60});
        s.add_light({0, 0, 40}, 1, 1, 1);
        CAMERA* cam = s.add_camera({0, 0, 40}, {0, 0, 0}, 1.0, {0, 1, 0});
        cam->set_aperture(aperture);
        ASSERT_EQ(s.draw(img, cam), 0);
        dump(img, name);
    };
    Image24 sharp(128, 128);
    draw(0.0f, sharp, "aperture_0");
    ASSERT_GT(red(sharp, 40, 64), 128);  // the near square
    ASSERT_GT(red(sharp, 90, 64), 128);  // the far box
    struct Case {
        float aperture;
        bool blurs;
    } cases[] = {{2.0f, true}, {-2.0f, false}, {std::nanf(""), false}, {INFINITY, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.aperture);
        Image24 img(128, 128);
        draw(c.aperture, img, c.blurs ? "aperture_2" : "aperture_bad");
        int changed[2] = {0, 0};  // left half (near square), right half (far box)
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x)
                changed[x >= 64] += std::abs(red(img, x, y) - red(sharp, x, y)) > 64;
        EXPECT_EQ(changed[0], 0);
        if (c.blurs) {
            EXPECT_GT(changed[1], 60);
        } else {
            EXPECT_EQ(changed[1], 0);
        }
    }
}

TEST(RtScene, FocalBlurKeepsTheTargetPlaneSharpForEveryLensAndAspect) {
    // The scene above shrunk by the lens, so both objects stay in the picture: the
    // square on the target plane must not change with the aperture, the far box must.
    struct Case {
        double lens;
        int width, height;
    } cases[] = {{1.0, 128, 128}, {1.189, 128, 128}, {2.0, 128, 128},
                 {1.0, 128, 96},  {1.189, 128, 96},  {2.0, 128, 96}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "lens " << c.lens << " " << c.width << "x" << c.height);
        const float k = float(1.0 / c.lens);
        auto draw = [&](float aperture, Image24& img) {
            RayScene s;
            s.settings.flags |= kRenderPerspective;
            s.add_mesh({{-12 * k, -4 * k, 0}, {-4 * k, -4 * k, 0}, {-4 * k, 4 * k, 0},
                        {-12 * k, -4 * k, 0}, {-4 * k, 4 * k, 0}, {-12 * k, 4 * k, 0}});
            s.add_box({10 * k, -10 * k, -70}, {30 * k, 10 * k, -60});
            s.add_light({0, 0, 40}, 1, 1, 1);
            CAMERA* cam = s.add_camera({0, 0, 40}, {0, 0, 0}, c.lens, {0, 1, 0});
            cam->set_aperture(aperture);
            ASSERT_EQ(s.draw(img, cam), 0);
        };
        Image24 sharp(c.width, c.height), blurred(c.width, c.height);
        draw(0.0f, sharp);
        draw(2.0f, blurred);
        dump(blurred, "focus_" + std::to_string(int(c.lens * 1000)) + "_" + std::to_string(c.height));
        const int mid = c.width / 2;
        ASSERT_GT(red(sharp, mid / 2 + 8, c.height / 2), 128);   // the near square
        ASSERT_GT(red(sharp, mid + mid / 3, c.height / 2), 128);  // the far box
        // The near square ends at 0.8 x mid; the far box's blur spreads left of mid.
        int changed[2] = {0, 0};  // near square, far box
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                if (x < mid * 7 / 8 || x >= mid)
                    changed[x >= mid] += std::abs(red(blurred, x, y) - red(sharp, x, y)) > 64;
        EXPECT_EQ(changed[0], 0);
        EXPECT_GT(changed[1], 30);
    }
}

TEST(RtScene, ImageMapsOnTheProgramsGridMeshesShowCleanCellsInBothRenderers) {
    // An 8 x 8 checker (nearest texels: seven cells a tile show) once across the box
    // command's 2 x 2 front patch and four times across a 24 x 24 floor.
    struct Case {
        Vec3 c[4];
        int cells;
        float tiling;
        Vec3 eye, up;
        double lens;
    } cases[] = {{{{-100, -100, 0}, {100, -100, 0}, {100, -100, 200}, {-100, -100, 200}}, 2, 1, {0, -800, 100}, {0, 0, 1}, 2.8},
                 {{{-100, -100, 0}, {100, -100, 0}, {100, 100, 0}, {-100, 100, 0}}, 24, 4, {0, -1, 400}, {0, 1, 0}, 1.8}};
    std::vector<uint8_t> px;
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 8; ++i) px.insert(px.end(), 3, (i + j) & 1 ? 255 : 96);
    auto checker = make_image(8, 8, px);
    for (const Case& c : cases)
        for (int trace = 0; trace < 2; ++trace) {
            SCOPED_TRACE(testing::Message() << "tiling " << c.tiling << " traced " << trace);
            RayScene s;
            MESH3* m = s.add_mesh({});
            ASSERT_EQ(mesh_add_grid_patch(m, &c.c[0], &c.c[1], &c.c[2], &c.c[3], c.cells, c.cells), 0);
            TextureSlot& t = m->material->slots[kSlotTexture];
            t.kind = kTextureImage, t.mapping_mode = kMappingModePoint;
            texture_mapping_init(&t.mapping);
            t.mapping.image = checker.get(), t.mapping.interpolation = kSampleNearest;
            texture_mapping_build_matrix(&t.mapping.matrix, c.tiling, c.tiling, 0, false, false, 0, 0);
            s.add_light({0, -800, 800}, 1, 1, 1);
            s.settings.flags = (trace ? kRenderRayTrace : 0) | kRenderPhong | kRenderTextures | kRenderPerspective;
            Image24 img(240, 180);
            ASSERT_EQ(s.draw(img, s.add_camera(c.eye, {0, 0, c.c[2].z / 2}, c.lens, c.up)), 0);
            for (int y = 60; y <= 120; y += 30) {
                EXPECT_GE(cell_changes(img, y), 6 * c.tiling - 1) << "row " << y;
                EXPECT_LE(cell_changes(img, y), 8 * c.tiling) << "row " << y;
            }
        }
}

namespace {

// A gradient picture (no white in it) as the background, over a white background colour.
std::unique_ptr<MATRPATT> background_picture(RayScene& s) {
    std::vector<uint8_t> px;
    for (int j = 0; j < 48; ++j)
        for (int i = 0; i < 64; ++i) px.insert(px.end(), {uint8_t(60 + 2 * i), uint8_t(60 + 2 * j), 90});
    auto image = make_image(64, 48, px);
    s.settings.flags = kRenderRayTrace | kRenderPhong | kRenderTextures | kRenderPerspective;
    for (float& c : s.settings.material.colour) c = 1.0f;
    TextureSlot& bg = s.settings.material.slots[kSlotTexture];
    bg.kind = kTextureImage;
    texture_mapping_init(&bg.mapping);
    bg.mapping.image = image.get();
    return image;
}

// Pixels of img for which pred(red, green, blue) holds.
template <class Pred>
int pixels(const Image24& img, Pred pred) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            uint8_t p[3];
            img.rgb(x, y, p);
            n += pred(p[0], p[1], p[2]);
        }
    return n;
}

bool white(int r, int g, int b) { return r == 255 && g == 255 && b == 255; }

}  // namespace

TEST(RtScene, FocalBlurMakesEveryPixelFromTheBackgroundPicture) {
    // A gradient picture behind a box (alone, or behind a pane of clear glass that fills
    // the view), a pale background colour, a camera with aperture 5: a band of 5 pixels
    // along the top and the right holds what the sharp picture holds there.
    for (bool glass : {false, true}) {
        double band[2][2] = {};
        for (int blur = 0; blur < 2; ++blur) {
            RayScene s;
            s.add_box({-5, -5, -5}, {5, 5, 5});
            if (glass)
                s.add_mesh({{-200, -50, -200}, {200, -50, -200}, {200, -50, 200}, {-200, -50, -200},
                            {200, -50, 200}, {-200, -50, 200}})->material->transparency = 1.0f;
            s.add_light({0, -80, 80}, 1, 1, 1);
            auto image = background_picture(s);
            CAMERA* cam = s.add_camera({0, -100, 0}, {0, 0, 0}, 1.0, {0, 0, 1});
            cam->set_aperture(blur ? 5 : 0);
            Image24 img(96, 72);
            ASSERT_EQ(s.draw(img, cam), 0);
            for (int y = 0; y < 72; ++y)  // green along the top, red along the right
                for (int x = 0; x < 96; ++x) {
                    uint8_t p[3];
                    img.rgb(x, y, p);
                    if (y < 5) band[blur][0] += p[1] / (96.0 * 5);
                    if (x >= 91) band[blur][1] += p[0] / (72.0 * 5);
                }
        }
        for (int e = 0; e < 2; ++e) EXPECT_NEAR(band[1][e], band[0][e], 12) << "edge " << e << " glass " << glass;
    }
}

TEST(RtScene, ALightBehindAFaceLeavesItDark) {
    // A light inside a closed box seen through a camera from outside, a red light under
    // a square seen from above (either winding): what the eye sees is unlit. The same
    // light on the side seen lights it.
    for (int c = 0; c < 3; ++c)
        for (int seen = 0; seen < 2; ++seen) {
            RayScene s(2.0);
            const float h = 40;
            if (c == 0) s.add_box({-10, -10, -10}, {10, 10, 10});
            if (c == 1) s.square(h, 0);
            if (c == 2) s.add_mesh({{-h, -h, 0}, {h, h, 0}, {h, -h, 0}, {-h, -h, 0}, {-h, h, 0}, {h, h, 0}});
            const Vec3 at = c ? Vec3{0, 0, seen ? 20.0f : -20.0f} : seen ? Vec3{30, -45, 30} : Vec3{0, 0, 0};
            s.add_light(at, 1, c ? 0.0f : 1.0f, c ? 0.0f : 1.0f);
            s.settings.flags = kRenderRayTrace | kRenderPhong | (c ? 0 : kRenderPerspective);
            Image24 img(160, 120);
            ASSERT_EQ(s.draw(img, c ? nullptr : s.add_camera({40, -60, 40}, {0, 0, 0})), 0);
            dump(img, "behind" + std::to_string(c) + std::to_string(seen));
            const int lit = pixels(img, [](int r, int g, int b) { return r + g + b > 0; });
            if (seen) EXPECT_GT(lit, 1000) << c;
            else EXPECT_EQ(lit, 0) << c;
        }
}

TEST(RtScene, AMirrorThatLetsAllThroughGrowsNoBrighterWithTraceDepth) {
    // A slab of reflection 1 and transparency 1 under a dark blue sky: deeper tracing
    // completes its paths but never shows more light than depth 3 does.
    int top[2] = {0, 0}, burnt[2] = {0, 0};
    for (int deep = 0; deep < 2; ++deep) {
        RayScene s;
        MESH3* slab = s.add_box({-60, -60, -12}, {60, 60, -10});
        slab->material->reflection_level = slab->material->transparency = 1.0f;
        s.add_light({10, -40, 40}, 1, 1, 1);
        s.settings.material.colour[0] = s.settings.material.colour[1] = 0.1f;
        s.settings.material.colour[2] = 0.2f;
        s.settings.flags = kRenderRayTrace | kRenderPhong | kRenderPerspective;
        s.settings.trace_depth = deep ? 10 : 3;
        Image24 img(160, 120);
        ASSERT_EQ(s.draw(img, s.add_camera({0, -60, 20}, {0, 0, 0})), 0);
        for (int level = 255; level > 0 && !top[deep]; --level)
            if (pixels(img, [&](int r, int g, int b) { return std::max({r, g, b}) >= level; })) top[deep] = level;
        burnt[deep] = pixels(img, white);
    }
    EXPECT_EQ(burnt[1], burnt[0]);
    EXPECT_LE(top[1], top[0] + 1);
}

TEST(RtScene, AFarVertexLeavesWhatLiesInAParallelViewAsItIs) {
    // A lit box and a triangle with a far corner: pointing at the viewer of the top view
    // (beside the box or edge-on over it; the rays started beyond reach), or out of a
    // view from (1, -1, 1) under the default light alone (which it carried off, or, in
    // view toward the viewer, lost where the window's box overflowed a float). The
    // box shows as it does without the triangle, or with the corner at 1e30.
    struct Case {
        Vec3d from;
        Vec3 a, b, far, was;  // was: the corner of the picture compared with, none at 0
        bool default_light;
        int tip = 0;  // pixels where the far corner itself is seen
    } cases[] = {{{0, 0, 1}, {30, 20, 0}, {31, 20, 0}, {30, 20, 1e8f}, {}, false},
                 {{0, 0, 1}, {30, 20, 0}, {31, 20, 0}, {30, 20, 3e38f}, {}, false},
                 {{0, 0, 1}, {10, 0, 0}, {11, 0, 0}, {10, 0, 1e20f}, {}, false},
                 {{1, -1, 1}, {0, 0, 0}, {1, 0, 0}, {3e38f, 5, 5}, {1e30f, 5, 5}, true},
                 {{1, -1, 1}, {0, 0, 12}, {1, 0, 12}, {3e38f, -3e38f, 3e38f}, {1e30f, -1e30f, 1e30f}, true, 1}};
    for (const Case& c : cases) {
        Image24 img[2] = {Image24(160, 120), Image24(160, 120)};
        for (int with = 0; with < 2; ++with) {
            RayScene s(2.0);
            const Vec3d eye = rt_unit(c.from), side = rt_cross(Vec3d{0, 0, 1}, eye);
            const Vec3d right = rt_len(side) > 0 ? rt_unit(side) : Vec3d{1, 0, 0}, up = rt_cross(eye, right);
            s.view.view = {{right.x, up.x, eye.x, right.y, up.y, eye.y, right.z, up.z, eye.z, 0, 0, 0}};
            mat_invert(&s.view.inverse, &s.view.view);
            s.add_box({-10, -10, -10}, {10, 10, 10});
            if (with || c.was.x != 0) s.add_mesh({c.a, c.b, with ? c.far : c.was});
            if (c.default_light) s.settings.light_mask = 1u << 4, s.settings.light_colours[4] = 15;
            else s.add_light({0, 0, 100}, 1, 1, 1);  // the triangle's shadow falls on itself
            s.settings.flags = kRenderRayTrace | kRenderPhong;
            ASSERT_EQ(s.draw(img[with]), 0);
        }
        dump(img[1], "far" + std::to_string(&c - cases));
        int box = 0, kept = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x)
                if (red(img[0], x, y) > 8) ++box, kept += red(img[1], x, y) == red(img[0], x, y);
        EXPECT_GT(box, 1500);
        EXPECT_GE(kept, box - c.tip) << (&c - cases);
    }
}

TEST(RtScene, ACameraFittedOverAFarVertexShowsTheBoxInEveryRenderer) {
    // The top view's camera fitted to a lit box and a triangle with a corner far toward
    // the viewer: the eye sits beyond the corner, so the box lies farther than a ray
    // reaches (and, past 1e12, eye and target met as floats and the camera was refused).
    // Each renderer lights the box's pixels as with the corner at 1e4.
    for (const uint32_t mode : {kRenderGouraud, kRenderPhong, kRenderRayTrace | kRenderPhong}) {
        std::vector<int> lit;
        for (const float d : {1e4f, 1e8f, 1e12f, 1e20f}) {
            RayScene s(2.0);
            s.view.origin_x = -40, s.view.origin_y = -30;
            s.add_box({-10, -10, -10}, {10, 10, 10});
            s.add_mesh({{30, 20, 0}, {31, 20, 0}, {30, 20, d}});
            s.add_light({0, 0, 100}, 1, 1, 1);
            double eye_z = 0, focal = 0;
            ASSERT_EQ(render_depth_bounds(&s.view, s.objects, 160, 120, 30, &eye_z, &focal), 0);
            CAMERA cam;
            ASSERT_EQ(render_fit_camera(&s.view, 160, 120, eye_z, focal, &cam), 0);
            s.settings.flags = mode | kRenderPerspective;
            Image24 img(160, 120);
            ASSERT_EQ(s.render(img, &cam), 0) << mode << " " << d;
            dump(img, "fit" + std::to_string(mode) + "_" + std::to_string(int(std::log10(d))));
            int box = 0;  // the box lies round the middle, the triangle off to its side
            for (int y = 35; y < 85; ++y)
                for (int x = 55; x < 105; ++x) box += red(img, x, y) > 8;
            lit.push_back(box);
        }
        EXPECT_GT(lit[0], 300) << mode;
        for (size_t i = 1; i < lit.size(); ++i) EXPECT_EQ(lit[i], lit[0]) << mode << " " << i;
    }
}

TEST(RtScene, ACameraRayMeetsTheNearestSurfaceWhateverLiesBeyondItsReach) {
    // A lit square 10 units before the eye, over a dark one farther than a ray reaches:
    // rays over the near square still start before it.
    for (const float eye : {10.0f, 1000.0f})
        for (const float far : {2e7f, 1e12f}) {
            RayScene s;
            s.square(far * 2, -far)->material->diffuse = 0.0f;
            s.square(eye / 5, 0, 1.0f);
            s.settings.flags |= kRenderPerspective;
            CAMERA* cam = s.add_camera({0, 0, eye}, {0, 0, 0}, 1.0, {0, 1, 0});
            Image24 img(48, 48);
            ASSERT_EQ(s.draw(img, cam), 0);
            EXPECT_GT(red(img, 24, 24), 100) << eye << " " << far;
        }
}

TEST(RtScene, AParallelViewShowsWhatLiesWithinReachOfTheEye) {
    // The top view of a box millions of units above a blue floor, both within a ray's
    // reach of the eye: the box shows, lit.
    for (float z : {6e6f, 9e6f}) {
        RayScene s(2.0);
        MESH3* floor = s.square(40, 0);
        floor->material->colour[0] = floor->material->colour[1] = 0.0f;
        s.add_box({-10, -10, z}, {10, 10, z + 20});
        s.add_light({0, 0, 3e7f}, 1, 1, 1);
        Image24 img(160, 120);
        ASSERT_EQ(s.draw(img), 0);
        dump(img, "high" + std::to_string(int(z / 1e6f)));
        EXPECT_GT(pixels(img, [](int r, int, int) { return r > 8; }), 1500) << z;
    }
}
