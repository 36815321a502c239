// Hostile drawings saved and read back, then ray traced as the render fuzz target does:
// nested panes, self-lit meshes, needles, vertices that are not numbers or lie at 1e30,
// and a morph towards a shorter target. Each gives a frame. With ZELO_WRITE_FUZZ_SEEDS
// set to a folder, the inputs are also written there as seeds of the render fuzz target
// (a 16-byte settings header, then the drawing file).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "graphics/view/view.h"
#include "model/db/find.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/file/drawing_file.h"
#include "model/file/records.h"
#include "model/material/material.h"
#include "model/mesh/mesh_block.h"
#include "render/raytrace/rt_render.h"
#include "../scanline/scanline_test_util.h"

namespace {

struct Seed {
    const char* name;
    uint32_t flags;
    int depth;
    void (*build)(TestScene& s);
};

void glass(MESH3* m, float transparency, float refraction) {
    m->material->transparency = transparency;
    m->material->refraction = refraction;
    m->material->reflection_level = 0.1f;
}

const Seed kSeeds[] = {
    {"rt_spheres_lamp", kRenderRayTrace | kRenderPhong | kRenderAntialias | kRenderPerspective, 5,
     [](TestScene& s) {
         s.add_box({-4, -4, -0.2f}, {4, 4, 0});
         glass(s.add_sphere({-1, 0, 1}, 1, 8, 12), 0.9f, 1.5f);
         s.add_sphere({1.5f, 0.5f, 1}, 1, 8, 12)->material->reflection_level = 0.8f;
         s.add_box({-0.3f, 2, 3}, {0.3f, 2.6f, 3.6f}, 0, 0.5f);  // a lamp: self-lit at one half
         auto spot = rtc_make<SPOTLITE>();
         spot->position = {-2, -3, 6};
         spot->light_colour[0] = spot->light_colour[1] = spot->light_colour[2] = 1;
         spot->word = 2;
         spot->cone_cos[0] = 0.9f;
         spot->cone_cos[1] = 0.8f;
         EXPECT_EQ(container_insert(s.layer, spot.release()), 0);
         s.add_camera({0, -7, 4}, {0, 0, 1});
     }},
    {"rt_eleven_panes", kRenderRayTrace | kRenderGouraud | kRenderPerspective, 12,
     [](TestScene& s) {
         for (int i = 0; i < 11; ++i) {
             const float h = 0.5f + 0.3f * i;
             glass(s.add_box({-h, -h, -h}, {h, h, h}), 0.95f, 1.0f + 0.05f * i);
         }
         s.add_light({3, -5, 8}, 1, 1, 1);
         s.add_camera({0, -9, 1}, {0, 0, 0});
     }},
    {"rt_wild_vertices", kRenderRayTrace | kRenderFlat | kRenderGrey, 3,
     [](TestScene& s) {
         const float nan = std::nanf(""), inf = INFINITY;
         s.add_mesh({{0, 0, 0}, {nan, 1, 0}, {1, 1, 0}, {-1e30f, -1e30f, 0}, {1e30f, 0, 0}, {0, 1e30f, 1},
                     {0, 0, 0}, {5, 0, 0}, {10, 0, 0}, {0, 0, 0}, {1e-7f, 0, 0}, {0, 1e-7f, 0},
                     {inf, 0, 0}, {0, -inf, 0}, {1, 1, 1}});
         s.add_box({-2, -2, -1}, {2, 2, -0.5f});
         s.add_light({0, 0, 1e30f}, 1, 1, 1);
         s.settings.light_mask = 0x1FF;
     }},
    {"rt_short_morph", kRenderRayTrace | kRenderPhong, 3,
     [](TestScene& s) {
         MESH3* box = s.add_box({0, 0, 0}, {2, 2, 2});
         auto target = rtc_make<MESH3>();
         MeshFaceBlock* b = mesh_face_block(target.get(), 0);
         b->vertices.push_back(MeshVertex{5, 5, 5, {}});
         KeyframeTrack* t = track_new("morph", box);
         box->tracks = t;
         t->position.keys.push_back(PositionKey{0, {0, 0, 0, 0, 0}, {0, 0, 0}});
         t->position.keys.push_back(PositionKey{4, {0, 0, 0, 0, 0}, {3, 0, 0}});
         t->objects.keys.push_back(ObjectKey{0, {0, 0, 0, 0, 0}, box});
         t->objects.keys.push_back(ObjectKey{4, {0, 0, 0, 0, 0}, target.get()});
         EXPECT_EQ(container_insert(s.layer, target.release()), 0);
         s.model->frame_count = 5;
         s.model->current_frame = 2;
         s.add_light({1, -3, 6}, 1, 1, 1);
     }},
};

std::vector<uint8_t> header(const Seed& seed) {
    std::vector<uint8_t> h(16, 0);
    const float gamma = 1.0f;
    const int32_t perspective = 30;
    std::memcpy(&h[0], &seed.flags, 4);
    std::memcpy(&h[4], &gamma, 4);
    std::memcpy(&h[8], &perspective, 4);
    h[12] = 0x10;  // default light 4
    h[14] = 1;     // the drawing's camera
    h[15] = static_cast<uint8_t>(seed.depth << 2 | 1);
    return h;
}

}  // namespace

TEST(RtSavedScene, HostileDrawingsReadBackGiveAFrame) {
    rtc_register_all();
    drawing_file_register();
    view_type_register();
    rt_install();
    const char* seeds = std::getenv("ZELO_WRITE_FUZZ_SEEDS");
    for (const Seed& seed : kSeeds) {
        TestScene s;
        seed.build(s);
        const std::string path = "/tmp/zelo_rt_saved_" + std::to_string(getpid()) + ".qvm";
        ASSERT_EQ(drawing_file_save(path.c_str(), s.model.get(), 0), 0) << seed.name;
        std::unique_ptr<RTC> m;
        ASSERT_EQ(rtc_init(m, &MODEL::rtc_class), 0);
        std::unique_ptr<MODEL> model(static_cast<MODEL*>(m.release()));
        ASSERT_EQ(drawing_file_import(path.c_str(), model.get()), 0) << seed.name;
        if (seeds) {
            std::ifstream in(path, std::ios::binary);
            std::vector<uint8_t> bytes = header(seed);
            bytes.insert(bytes.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            std::ofstream(std::string(seeds) + "/" + seed.name, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        }
        std::remove(path.c_str());

        buffer* objects = buffer_create();
        CAMERA* camera = nullptr;
        for (ZOBJ* z = model.get(); z; z = tree_next(z, model.get())) {
            if (rtc_is<MESH3>(z)) {
                EXPECT_EQ(buffer_add(objects, z), 0);
            }
            if (!camera) camera = rtc_cast<CAMERA>(z);
        }
        RenderSettings settings;
        settings.objects = objects;
        settings.flags = seed.flags;
        settings.light_mask = s.settings.light_mask | 0x10;
        settings.trace_depth = seed.depth;
        for (int i = 0; i < 16; ++i) settings.light_colours[i] = 7 + i;
        ViewProjection view;
        view.origin_x = -32;
        view.origin_y = -24;
        view.scale = 8;
        Image24 img(64, 48);
        EXPECT_EQ(render_scene(img.dc, &settings, &view, model.get(), nullptr, camera, nullptr, nullptr, nullptr), 0)
            << seed.name << ": " << render_last_message();
        buffer_free(&objects);
        drawing_file_drop_views(model.get());
    }
}
