// Scenes saved as drawing files render the same after reading them back. With
// ZELO_FUZZ_SEEDS_OUT set, the files (behind a settings header) are written there as
// seeds of the renderer's fuzz target.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "graphics/view/view.h"
#include "model/db/find.h"
#include "model/db/tree.h"
#include "model/file/drawing_file.h"
#include "model/file/records.h"
#include "model/material/material.h"
#include "scanline_test_util.h"

namespace {

std::string temp(const char* name) {
    return ::testing::TempDir() + "/scanline_" + std::to_string(getpid()) + name;
}

void write_seed(const char* name, uint32_t flags, bool camera, const std::string& file) {
    const char* out = std::getenv("ZELO_FUZZ_SEEDS_OUT");
    if (!out) return;
    std::ifstream in(file, std::ios::binary);
    const std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    uint8_t header[16] = {};
    const float gamma = 1.0f;
    const int32_t perspective = 30;
    std::memcpy(header, &flags, 4);
    std::memcpy(header + 4, &gamma, 4);
    std::memcpy(header + 8, &perspective, 4);
    header[12] = 0x11;
    header[14] = camera ? 1 : 0;
    header[15] = 2;
    std::ofstream seed(std::string(out) + "/" + name + ".bin", std::ios::binary);
    seed.write(reinterpret_cast<const char*>(header), 16);
    seed << body;
}

}  // namespace

TEST(SavedScene, RendersTheSameAfterReadingBack) {
    drawing_file_register();
    view_type_register();
    struct Case {
        const char* name;
        uint32_t flags;
        bool camera;
    } cases[] = {{"scene_gouraud", kRenderGouraud | kRenderAmbient, false},
                 {"scene_phong_aa", kRenderPhong | kRenderAntialias, false},
                 {"scene_camera", kRenderFlat | kRenderPerspective, true},
                 {"scene_wire_draft", kRenderWireEdges | kRenderDraft, false}};
    for (const Case& c : cases) {
        TestScene s;
        s.add_sphere({0, 0, 0}, 15, 8, 12);
        MESH3* glass = s.add_box({-20, -5, 16}, {20, 5, 18});
        glass->material->transparency = 0.5f;
        s.add_light({30, 40, 60}, 1, 1, 1);
        auto cam = rtc_make<CAMERA>();
        cam->position = {0, -60, 20};
        cam->target = {0, 0, 0};
        cam->up = {0, 0, 1};
        cam->lens = 1.0;
        CAMERA* camera = cam.get();
        EXPECT_EQ(container_insert(s.layer, cam.release()), 0);
        s.view.origin_x = -32;
        s.view.origin_y = -24;
        s.settings.flags = c.flags;
        Image24 before(64, 48);
        ASSERT_EQ(s.render(before, c.camera ? camera : nullptr), 0) << c.name;
        const std::string file = temp(".qvm");
        ASSERT_EQ(drawing_file_save(file.c_str(), s.model.get(), 0), 0);
        write_seed(c.name, c.flags, c.camera, file);

        TestScene back;
        ASSERT_EQ(drawing_file_import(file.c_str(), back.model.get()), 0);
        CAMERA* read_camera = nullptr;
        for (ZOBJ* z = back.model.get(); z; z = tree_next(z, back.model.get())) {
            if (rtc_is<MESH3>(z)) {
                EXPECT_EQ(buffer_add(back.objects, z), 0);
            }
            if (!read_camera) read_camera = rtc_cast<CAMERA>(z);
        }
        back.view = s.view;
        back.settings.flags = c.flags;
        Image24 after(64, 48);
        ASSERT_EQ(back.render(after, c.camera ? read_camera : nullptr), 0);
        EXPECT_EQ(before.bytes(), after.bytes()) << c.name;
        drawing_file_drop_views(back.model.get());
        std::remove(file.c_str());
    }
}
