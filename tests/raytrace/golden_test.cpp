// Golden image: spheres on a plane under a spot light and a point light, with shadows, a
// mirror sphere, a glass sphere and antialiasing, traced on every core, against a stored
// 160 x 120 PPM (at most 0.5% of pixels off by more than 1). ZELO_UPDATE_GOLDEN=1 rewrites
// the reference, which is looked at before it is committed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "model/material/material.h"
#include "render/raytrace/rt_loop.h"
#include "render/raytrace/rt_scene.h"
#include "rt_test_util.h"

namespace {

std::unique_ptr<MaterialRecord> material(float r, float g, float b) {
    auto m = std::make_unique<MaterialRecord>();
    m->colour[0] = r;
    m->colour[1] = g;
    m->colour[2] = b;
    m->colour[3] = 0;
    m->reflection_level = 0;
    return m;
}

void set_material(RtUnion* u, const MaterialRecord* m) {
    u->material = m;
    for (RtObject* o = u->children; o; o = o->next) o->material = m;
}

bool read_ppm(const std::string& path, int w, int h, std::vector<uint32_t>* out) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int pw = 0, ph = 0, max = 0;
    if (!(in >> magic >> pw >> ph >> max) || magic != "P6" || pw != w || ph != h || max != 255) return false;
    in.get();
    out->assign(static_cast<size_t>(w) * h, 0);
    for (uint32_t& p : *out) {
        unsigned char c[3];
        if (!in.read(reinterpret_cast<char*>(c), 3)) return false;
        p = uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2];
    }
    return true;
}

void write_ppm(const std::string& path, int w, int h, const std::vector<uint32_t>& img) {
    std::ofstream o(path, std::ios::binary);
    o << "P6\n" << w << " " << h << "\n255\n";
    for (uint32_t p : img) {
        char c[3] = {char(p >> 16), char(p >> 8), char(p)};
        o.write(c, 3);
    }
}

}  // namespace

TEST(RtGolden, SpheresMirrorGlassAndShadows) {
    RtArena a;
    auto floor_m = material(0.8f, 0.8f, 0.7f), red = material(0.9f, 0.2f, 0.15f), mirror = material(0.1f, 0.1f, 0.1f),
         glass = material(0.9f, 0.95f, 1.0f);
    floor_m->shininess = 0;
    mirror->reflection_level = 0.8f;
    mirror->diffuse = 0.2f;
    glass->transparency = 0.9f;
    glass->refraction = 1.5f;
    glass->diffuse = 0.1f;
    RtUnion* floor = rt_union_new(a);
    for (int i = -4; i < 4; ++i) {  // a checker of tiles so reflections and refraction show
        for (int j = -4; j < 4; ++j) {
            if ((i + j) & 1) continue;
            rt_union_add(floor, rt_tri(a, rt_f(i, j, 0), rt_f(i + 1, j, 0), rt_f(i + 1, j + 1, 0)));
            rt_union_add(floor, rt_tri(a, rt_f(i, j, 0), rt_f(i + 1, j + 1, 0), rt_f(i, j + 1, 0)));
        }
    }
    rt_union_bounds(floor);
    set_material(floor, floor_m.get());
    RtUnion* s1 = rt_sphere_mesh(a, rt_v(-1.6, 0.5, 0.8), 0.8, 16, 32);
    RtUnion* s2 = rt_sphere_mesh(a, rt_v(0.2, -0.4, 0.8), 0.8, 16, 32);
    RtUnion* s3 = rt_sphere_mesh(a, rt_v(1.9, 0.6, 0.8), 0.8, 16, 32);
    set_material(s1, red.get());
    set_material(s2, mirror.get());
    set_material(s3, glass.get());
    float white[4] = {0.9f, 0.9f, 0.9f, 0}, warm[4] = {0.6f, 0.5f, 0.3f, 0};
    RtLight* spot = rt_light_create(a, kRtLightSpot, white, rt_f(-2, -3, 7), rt_f(0, 0, 0), 2, 0.9, 0.8);
    RtLight* point = rt_light_create(a, kRtLightPoint, warm, rt_f(4, 3, 5), rt_f(0, 0, 0), 1, 0, 0);
    spot->next_light = point;

    RtFrame f;
    f.width = 160;
    f.height = 120;
    f.antialias = true;
    const double aspect = 160.0 / 120.0;
    Vec3d eye = rt_v(0, -7, 4.5), dir = rt_unit(rt_v(0, 0, 0.5) - eye);
    Vec3d right = rt_unit(rt_cross(dir, rt_v(0, 0, 1))), up = rt_cross(right, dir);
    f.camera.location = eye;
    f.camera.direction = dir * (1.2 * aspect);
    f.camera.right = right * aspect;
    f.camera.up = up;
    // Unions dissolved into their triangles, as scene translation links them, so the
    // hierarchy serves the frame.
    RtScene scene;
    for (RtObject* o : {static_cast<RtObject*>(s3), static_cast<RtObject*>(s2), static_cast<RtObject*>(s1),
                        static_cast<RtObject*>(floor)})
        rt_link_object(&scene, o);
    f.objects = scene.objects;
    f.slabs = rt_build_slabs(f.objects, a);
    f.lights = spot;
    f.background = {0.3f, 0.4f, 0.6f, 1};

    std::vector<uint32_t> img(160 * 120);
    f.row_writer = [&](int r, int w, const uint32_t* p) { std::copy(p, p + w, img.begin() + r * w); };
    ASSERT_EQ(rt_trace_rows(f, 0), 0);

    const std::string path = std::string(ZELO_TEST_DATA) + "/raytrace/spheres.ppm";
    if (std::getenv("ZELO_UPDATE_GOLDEN")) write_ppm(path, 160, 120, img);
    std::vector<uint32_t> ref;
    ASSERT_TRUE(read_ppm(path, 160, 120, &ref)) << path;
    int off = 0;
    for (size_t i = 0; i < img.size(); ++i) {
        for (int s = 0; s < 24; s += 8) {
            int d = int((img[i] >> s) & 255) - int((ref[i] >> s) & 255);
            if (d > 1 || d < -1) {
                ++off;
                break;
            }
        }
    }
    EXPECT_LE(off, static_cast<int>(img.size() / 200)) << off << " pixels differ";
}
