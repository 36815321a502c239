// Writes the seed corpus of the hidden-line fuzz target (run by hand with
// --gtest_also_run_disabled_tests and ZELO_HIDE_CORPUS=<folder>): oracle scenes and
// degenerate meshes (not-a-number corners, repeated points, zero area, huge
// coordinates) as drawing files behind the target's 4 header bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>

#include "hide_scene.h"
#include "model/file/drawing_file.h"

using namespace hide_test;

namespace {

// A mesh block from raw corners, whatever they hold.
void raw_mesh(MODEL* m, const std::vector<Vec3>& corners, const std::vector<std::array<int, 3>>& faces) {
    MESH3* mesh = add_mesh(m);
    MeshFaceBlock* b = mesh_face_block(mesh, 0);
    for (const Vec3& p : corners) b->vertices.push_back({p.x, p.y, p.z, {}});
    for (const auto& f : faces) EXPECT_EQ(mesh_add_triangle(b, f[0], f[1], f[2]), 0);
}

void save(const std::string& dir, const char* name, MODEL* m, std::array<uint8_t, 4> header) {
    const std::string tmp = dir + "/tmp.qvm";
    ASSERT_EQ(drawing_file_save(tmp.c_str(), m, 0), 0);
    std::ifstream in(tmp, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()), 4);
    out << bytes;
    std::remove(tmp.c_str());
}

}  // namespace

TEST(HideCorpus, DISABLED_WriteFuzzCorpus) {
    const char* dir = std::getenv("ZELO_HIDE_CORPUS");
    ASSERT_NE(dir, nullptr);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    {
        Scene s;
        add_box(s.model.get(), {0, 0, 0}, {1, 1, 1});
        save(dir, "cube", s.model.get(), {1, 0, 6, 50});
    }
    {
        Scene s;
        add_box(s.model.get(), {1000, -1000, 1000}, {1001, -999, 1001});
        save(dir, "far_cube", s.model.get(), {0, 5, 0, 0});
    }
    {
        Scene s;
        add_box(s.model.get(), {0, 0, 0}, {2, 2, 2});
        add_box(s.model.get(), {0.5f, -1, 0.5f}, {1.5f, 1, 1.5f});
        auto cam = rtc_make<CAMERA>();
        cam->position = {8, -16, 9}, cam->target = {1, 0, 1}, cam->up = {0, 0, 1}, cam->lens = 1;
        EXPECT_EQ(container_insert(first_layer(s.model.get()), cam.release()), 0);
        save(dir, "two_boxes_camera", s.model.get(), {3, 0, 1, 100});
    }
    {
        Scene s;
        MESH3* plate = add_mesh(s.model.get());
        const Vec3 p[4] = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
        EXPECT_EQ(mesh_add_face(plate, &p[0], &p[1], &p[2], &p[3], 0), 0);
        add_line(s.model.get(), {-2, 0, 0.5f}, {2, 0, 0.5f});
        add_line(s.model.get(), {-2, 0, -0.5f}, {2, 0, -0.5f});
        save(dir, "line_plate", s.model.get(), {1, 0, 0, 0});
    }
    {
        Scene s;
        add_line(s.model.get(), {0, 0, 0}, {1, 1, 1});
        save(dir, "lines_only", s.model.get(), {0, 0, 0, 0});
    }
    {
        Scene s;
        raw_mesh(s.model.get(), {{0, 0, 0}, {nan, 1, 0}, {1, 0, 0}, {1, 1, nan}}, {{0, 1, 2}, {0, 2, 3}});
        save(dir, "nan_corners", s.model.get(), {1, 0, 0, 0});
    }
    {
        Scene s;
        raw_mesh(s.model.get(), {{0, 0, 0}, {0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {1, 0, 0}},
                 {{0, 1, 2}, {2, 3, 0}, {0, 4, 0}, {4, 2, 3}});
        save(dir, "repeats_zero_area", s.model.get(), {1, 10, 0, 0});
    }
    {
        Scene s;
        raw_mesh(s.model.get(), {{-1e30f, -1e30f, 0}, {1e30f, -1e30f, 0}, {0, 1e30f, 1e30f}, {3e38f, 0, -3e38f}},
                 {{0, 1, 2}, {1, 2, 3}});
        add_line(s.model.get(), {-1e20f, 0, 0}, {1e20f, 1, 0});
        save(dir, "huge", s.model.get(), {3, 0, 0, 255});
    }
}
