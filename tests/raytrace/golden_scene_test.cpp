// Golden images of drawings ray traced through render_scene (160 x 120 PPM, at most
// 0.5% of pixels off by more than 1): spheres on a tiled floor under a spot and a point
// light with shadows, a mirror and a glass sphere, antialiased; fog and a camera halo;
// the parallel default view under default lights; grey scale; flat and smooth spheres;
// and focal blur through the frame loop. ZELO_UPDATE_GOLDEN=1 rewrites the references,
// which are looked at before they are committed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/material/material.h"
#include "model/math/matrix.h"
#include "render/raytrace/rt_loop.h"
#include "render/raytrace/rt_render.h"
#include "rt_test_util.h"
#include "../scanline/scanline_test_util.h"

namespace {

constexpr int kW = 160, kH = 120;

void compare_golden(const std::string& name, const std::vector<uint8_t>& rgb) {
    const std::string path = std::string(ZELO_TEST_DATA) + "/raytrace/" + name + ".ppm";
    if (std::getenv("ZELO_UPDATE_GOLDEN")) { ASSERT_TRUE(write_ppm(path, kW, kH, rgb)); }
    int w = 0, h = 0;
    std::vector<uint8_t> ref;
    ASSERT_TRUE(read_ppm(path, &w, &h, &ref)) << path;
    ASSERT_EQ(w, kW);
    ASSERT_EQ(h, kH);
    ASSERT_EQ(ref.size(), rgb.size());
    int off = 0;
    for (size_t i = 0; i < rgb.size(); i += 3)
        for (int k = 0; k < 3; ++k)
            if (std::abs(int(rgb[i + k]) - int(ref[i + k])) > 1) {
                ++off;
                break;
            }
    EXPECT_LE(off, kW * kH / 200) << name << ": " << off << " pixels differ";
}

void set_colour(MaterialRecord* m, float r, float g, float b) {
    m->colour[0] = r, m->colour[1] = g, m->colour[2] = b, m->colour[3] = 0;
}

// A floor of alternate light and dark unit tiles over [-4, 4]^2 at z = 0.
void tiled_floor(TestScene& s) {
    std::vector<Vec3> light, dark;
    for (int i = -4; i < 4; ++i)
        for (int j = -4; j < 4; ++j) {
            auto& v = ((i + j) & 1) ? dark : light;
            const float x = float(i), y = float(j);
            for (Vec3 p : {Vec3{x, y, 0}, Vec3{x + 1, y, 0}, Vec3{x + 1, y + 1, 0}, Vec3{x, y, 0},
                           Vec3{x + 1, y + 1, 0}, Vec3{x, y + 1, 0}})
                v.push_back(p);
        }
    for (auto* pts : {&light, &dark}) {
        MESH3* m = s.add_mesh(*pts);
        const float c = pts == &light ? 0.85f : 0.35f;
        set_colour(m->material, c, c, c * 0.9f);
        m->material->reflection_level = 0.0f;
    }
}

// Red, mirror and glass spheres on the floor.
void three_spheres(TestScene& s) {
    MESH3* red = s.add_sphere({-1.6f, 0.5f, 0.8f}, 0.8f, 16, 32);
    set_colour(red->material, 0.9f, 0.2f, 0.15f);
    red->material->reflection_level = 0.0f;
    red->material->shininess = 0.5f;
    MESH3* mirror = s.add_sphere({0.2f, -0.4f, 0.8f}, 0.8f, 16, 32);
    set_colour(mirror->material, 0.1f, 0.1f, 0.1f);
    mirror->material->reflection_level = 0.8f;
    mirror->material->diffuse = 0.2f;
    MESH3* glass = s.add_sphere({1.9f, 0.6f, 0.8f}, 0.8f, 16, 32);
    set_colour(glass->material, 0.9f, 0.95f, 1.0f);
    glass->material->transparency = 0.9f;
    glass->material->refraction = 1.5f;
    glass->material->diffuse = 0.1f;
    glass->material->reflection_level = 0.1f;
}

void spot_and_point(TestScene& s) {
    auto spot = rtc_make<SPOTLITE>();
    spot->position = {-2, -3, 7};
    spot->target = {0, 0, 0};
    spot->light_colour[0] = spot->light_colour[1] = spot->light_colour[2] = 0.9f;
    spot->word = 2;
    spot->cone_cos[0] = 0.9f;
    spot->cone_cos[1] = 0.8f;
    EXPECT_EQ(container_insert(s.layer, spot.release()), 0);
    s.add_light({4, 3, 5}, 0.6f, 0.5f, 0.3f);
}

std::vector<uint8_t> trace(TestScene& s, const CAMERA* cam) {
    rt_install();
    Image24 img(kW, kH);
    EXPECT_EQ(s.render(img, cam), 0);
    return img.bytes();
}

void background(TestScene& s, float r, float g, float b) {
    set_colour(&s.settings.material, r, g, b);
}

}  // namespace

TEST(RtGoldenScene, Drawings) {
    struct Case {
        const char* name;
        std::function<std::vector<uint8_t>(TestScene&)> build;
    } cases[] = {
        {"scene_spheres",
         [](TestScene& s) {
             tiled_floor(s);
             three_spheres(s);
             spot_and_point(s);
             background(s, 0.3f, 0.4f, 0.6f);
             s.settings.flags = kRenderRayTrace | kRenderPhong | kRenderAntialias | kRenderPerspective;
             return trace(s, s.add_camera({0, -7, 4.5f}, {0, 0, 0.5f}, 1.2));
         }},
        {"scene_grey",
         [](TestScene& s) {
             tiled_floor(s);
             three_spheres(s);
             spot_and_point(s);
             background(s, 0.3f, 0.4f, 0.6f);
             s.settings.flags = kRenderRayTrace | kRenderPhong | kRenderGrey | kRenderPerspective;
             return trace(s, s.add_camera({0, -7, 4.5f}, {0, 0, 0.5f}, 1.2));
         }},
        {"scene_fog_halo",
         [](TestScene& s) {
             tiled_floor(s);
             three_spheres(s);
             s.add_light({0.5f, 4, 2.5f}, 1, 0.9f, 0.7f);  // in view, behind the spheres
             s.add_light({-3, -4, 6}, 0.7f, 0.7f, 0.7f);
             background(s, 0.7f, 0.72f, 0.75f);            // also the fog colour
             s.settings.material.slots[kSlotTexture].amount = 0.1f;  // haze
             s.settings.material.slots[kSlotBump].amount = 0.6f;     // visibility at the target
             s.settings.flags = kRenderRayTrace | kRenderPhong | kRenderPerspective;
             CAMERA* cam = s.add_camera({0, -7, 3}, {0, 0, 0.8f}, 1.2);
             cam->material->self_illumination = 0.6f;  // halo brightness
             cam->material->shininess = 60.0f;         // halo size
             return trace(s, cam);
         }},
        {"scene_parallel_default",
         [](TestScene& s) {
             tiled_floor(s);
             three_spheres(s);
             s.add_box({-3.5f, -3.5f, 0}, {-2.5f, -2.5f, 2});
             s.settings.light_mask = 1u << 0 | 1u << 4;
             s.settings.light_colours[0] = s.settings.light_colours[4] = 15;
             background(s, 0.2f, 0.2f, 0.25f);
             // Looking down the direction (-1, 1, -1) at 12 pixels a unit, the drawing's
             // origin at the image centre.
             const Vec3d z = {0.57735, -0.57735, 0.57735};
             const Vec3d x = {0.70711, 0.70711, 0};
             const Vec3d y = {z.y * x.z - z.z * x.y, z.z * x.x - z.x * x.z, z.x * x.y - z.y * x.x};
             s.view.view = {{x.x, y.x, z.x, x.y, y.y, z.y, x.z, y.z, z.z, 0, 0, 0}};
             mat_invert(&s.view.inverse, &s.view.view);
             s.view.scale = 12;
             s.view.origin_x = -kW / 24.0;
             s.view.origin_y = -kH / 24.0;
             s.settings.flags = kRenderRayTrace | kRenderPhong;
             return trace(s, nullptr);
         }},
        {"scene_flat_smooth",
         [](TestScene& s) {
             tiled_floor(s);
             for (float x : {-1.2f, 1.2f}) {
                 MESH3* m = s.add_sphere({x, 0, 1}, 1, 8, 12);
                 set_colour(m->material, 0.3f, 0.6f, 0.9f);
                 m->material->reflection_level = 0.0f;
                 if (x < 0) m->material->flags = 0;  // faceted
             }
             s.add_light({-3, -5, 6}, 1, 1, 1);
             background(s, 0.1f, 0.1f, 0.1f);
             s.settings.flags = kRenderRayTrace | kRenderPhong | kRenderPerspective;
             return trace(s, s.add_camera({0, -6, 3}, {0, 0, 0.8f}, 1.0));
         }},
    };
    for (const Case& c : cases) {
        TestScene s;
        s.settings.light_mask = 0;
        compare_golden(c.name, c.build(s));
    }
}

TEST(RtGoldenScene, FocalBlur) {
    // Three spheres at 5, 8 and 12 units; the lens focused on the middle one.
    RtArena a;
    MaterialRecord mats[3];
    const float colours[3][3] = {{0.9f, 0.3f, 0.2f}, {0.3f, 0.8f, 0.3f}, {0.3f, 0.4f, 0.9f}};
    std::vector<RtObject*> objs;
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < 3; ++k) mats[i].colour[k] = colours[i][k];
        mats[i].colour[3] = 0;
        mats[i].reflection_level = 0;
        RtUnion* u = rt_sphere_mesh(a, rt_v(-1.2 + 1.3 * i, 5 + i * (3.5 + 0.5 * i), 0), 0.7, 12, 24);
        u->material = &mats[i];
        for (RtObject* o = u->children; o; o = o->next) o->material = &mats[i];
        objs.push_back(u);
    }
    float white[4] = {1, 1, 1, 0};
    RtFrame f;
    f.width = kW;
    f.height = kH;
    f.lights = rt_light_create(a, kRtLightPoint, white, rt_f(-3, -2, 6), rt_f(0, 0, 0), 0, 0, 0);
    const double aspect = double(kW) / kH;
    f.camera.location = rt_v(0, 0, 0);
    f.camera.direction = rt_v(0, 1, 0) * (1.0 * aspect);
    f.camera.right = rt_v(1, 0, 0) * aspect;
    f.camera.up = rt_v(0, 0, 1);
    f.camera.focal_distance = 8.0;
    f.camera.aperture = 0.05;
    f.antialias = true;
    f.objects = rt_link(objs);
    f.slabs = rt_build_slabs(f.objects, a);
    f.background = {0.15f, 0.15f, 0.2f, 1};
    std::vector<uint8_t> rgb(kW * kH * 3);
    f.row_writer = [&](int r, int w, const uint32_t* p) {
        for (int x = 0; x < w; ++x) {
            uint8_t* d = &rgb[(static_cast<size_t>(r) * w + x) * 3];
            d[0] = uint8_t(p[x] >> 16), d[1] = uint8_t(p[x] >> 8), d[2] = uint8_t(p[x]);
        }
    };
    ASSERT_EQ(rt_trace_rows(f, 0), 0);
    compare_golden("focal_blur", rgb);
}
