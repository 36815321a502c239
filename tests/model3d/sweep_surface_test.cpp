// Chains swept into one mesh: polylines that come back to their start within 0.001
// swept as rings without a duplicated seam, repeats dropped, closed paths joining the
// last row to the first, and an empty path building nothing.
#include <gtest/gtest.h>

#include "commands/model3d/sweep_surface.h"
#include "model/db/solid.h"
#include "model/rtc/rtc.h"

namespace {

std::vector<Vec3> square(float size, float last_dx) {
    return {{0, 0, 0}, {size, 0, 0}, {size, size, 0}, {0, size, 0}, {last_dx, 0, 0}};
}

TEST(SweepSurface, RingsRepeatsAndEmptyPaths) {
    rtc_register_all();
    const std::vector<Vec3> up = {{0, 0, 0}, {0, 0, 10}};
    const std::vector<Vec3> ring_path = {{0, 0, 0}, {40, 0, 0}, {40, 40, 0}, {0, 40, 0}, {0, 0.0004f, 0}};
    const struct {
        const char* what;
        std::vector<Vec3> profile;
        bool profile_closed;
        std::vector<Vec3> path;
        Vec3 direction;
        size_t vertices;  // 0: nothing built
        size_t faces;     // triangles
    } cases[] = {
        {"closing within 0.001 is a ring", square(4, 0.0005f), false, up, {0, 0, 1}, 8, 8},
        {"closing at 0.002 stays open", square(4, 0.002f), false, up, {0, 0, 1}, 10, 8},
        {"closed profile keeps its points", {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}}, true, up, {0, 0, 1}, 8, 8},
        {"repeats dropped", {{0, 0, 0}, {0, 0, 0}, {4, 0, 0}, {4, 0, 0}}, false, {{0, 0, 0}, {0, 0, 0}, {0, 0, 10}},
         {0, 0, 1}, 4, 2},
        {"a too short loop stays open", square(0.001f, 0), false, up, {0, 0, 1}, 10, 8},
        {"closed path joins the last row to the first", {{0, -2, 0}, {0, 2, 0}}, false, ring_path, {1, 0, 0}, 8, 8},
        {"empty path builds nothing", square(4, 0), false, {}, {0, 0, 1}, 0, 0},
        {"a path of one repeated point builds nothing", square(4, 0), false, {{1, 1, 1}, {1, 1, 1}}, {0, 0, 1}, 0, 0},
        {"a one-point profile builds nothing", {{2, 2, 2}, {2, 2, 2}}, false, up, {0, 0, 1}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<MESH3> mesh;
        ASSERT_EQ(sweep_profile_mesh(c.profile, c.profile_closed, c.path, c.path.empty() ? Vec3{} : c.path[0],
                                     c.direction, &mesh),
                  0);
        if (c.vertices == 0) {
            EXPECT_FALSE(mesh);
            continue;
        }
        ASSERT_TRUE(mesh && mesh->blocks);
        EXPECT_EQ(mesh->blocks->next, nullptr);
        EXPECT_EQ(mesh->blocks->vertices.size(), c.vertices);
        EXPECT_EQ(mesh->blocks->faces.size(), c.faces);
    }
}

TEST(SweepSurface, ClosingRule) {
    EXPECT_TRUE(sweep_chain_closes(square(4, 0.0009f)));
    EXPECT_FALSE(sweep_chain_closes(square(4, 0.001f)));
    EXPECT_FALSE(sweep_chain_closes({{0, 0, 0}, {4, 0, 0}, {0, 0, 0}}));  // three points
    EXPECT_FALSE(sweep_chain_closes(square(0.002f, 0)));                  // length 0.008
}

}  // namespace
