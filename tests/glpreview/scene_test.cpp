// The preview's copy of the drawing: meshes mirrored with their normals, inside
// containers too, dropped by address (also after the drawing freed them), frames
// built from a private copy without touching the drawing, view points and the
// camera commands as one undo level each.
#include <gtest/gtest.h>

#include <cmath>

#include "alloc_fail.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/primitives.h"
#include "glpreview/scene.h"
#include "graphics/view/projection.h"
#include "model/db/find.h"
#include "model/db/naming.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/material/material.h"
#include "model/math/result.h"
#include "model/services/prefs.h"

namespace {

struct SceneTest : ::testing::Test {
    void SetUp() override {
        rtc_register_all();
        saved = g_prefs;
        g_prefs.undo_mode = -1;
        model = rtc_make<MODEL>();
        layer = rtc_cast<LAYER>(model->first_child());
        ASSERT_NE(layer, nullptr);
    }
    void TearDown() override {
        model.reset();
        g_prefs = saved;
    }
    static std::unique_ptr<MESH3> box(Vec3 at, float size) {
        ViewProjection vp;
        Vec3 c[8];
        box_corners(vp, at, size, size, size, c);
        std::unique_ptr<MESH3> m;
        EXPECT_EQ(box_mesh(c, 63, &m), 0);
        return m;
    }
    Preferences saved;
    std::unique_ptr<MODEL> model;
    LAYER* layer = nullptr;
};

TEST_F(SceneTest, MeshesAndContainersMirroredAndDroppedByAddress) {
    GlimpseScene s;
    auto a = box({0, 0, 0}, 10);
    a->material->colour[0] = 0.25f;
    ASSERT_EQ(s.add(a.get()), 0);
    EXPECT_EQ(s.triangle_count(), 48u);  // six faces of 2 x 2 quads
    EXPECT_FLOAT_EQ(s.entries()[0].meshes[0].rgb[0], 0.25f);
    const BBox b = s.bounds();
    EXPECT_FLOAT_EQ(b.min.x, 0);
    EXPECT_FLOAT_EQ(b.max.z, 10);
    // A group of two meshes (one of them in a nested group).
    auto group = rtc_make<CONTAINER>();
    auto inner = rtc_make<CONTAINER>();
    MESH3* m1 = box({20, 0, 0}, 5).release();
    MESH3* m2 = box({40, 0, 0}, 5).release();
    EXPECT_EQ(container_insert(group.get(), m1), 0);
    EXPECT_EQ(container_insert(inner.get(), m2), 0);
    EXPECT_EQ(container_insert(group.get(), inner.release()), 0);
    ASSERT_EQ(s.add(group.get()), 0);
    EXPECT_EQ(s.triangle_count(), 144u);
    // The same report again replaces the mirror.
    ASSERT_EQ(s.add(group.get()), 0);
    EXPECT_EQ(s.triangle_count(), 144u);
    // A mesh inside the group leaves; then the group; then a freed mesh's address.
    s.remove(m2);
    EXPECT_EQ(s.triangle_count(), 96u);
    s.remove(group.get());
    EXPECT_EQ(s.triangle_count(), 48u);
    const void* gone = a.get();
    a.reset();
    s.remove(gone);
    EXPECT_EQ(s.triangle_count(), 0u);
    EXPECT_TRUE(bbox_is_empty(s.bounds()));
    // Other classes are not mirrored.
    auto cam = rtc_make<CAMERA>();
    EXPECT_EQ(s.add(cam.get()), 0);
    EXPECT_TRUE(s.entries().empty());
}

// With the Nth allocation failing, for every N, the whole drawing is mirrored again
// or the rebuild answers out of memory (8) with nothing shown, never a part of it.
TEST_F(SceneTest, RebuildOutOfMemoryShowsNothing) {
    for (float x : {0.0f, 20.0f, 40.0f}) ASSERT_EQ(container_insert(layer, box({x, 0, 0}, 10).release()), 0);
    GlimpseScene s;
    ASSERT_EQ(s.rebuild(model.get(), nullptr), 0);
    const size_t whole = s.triangle_count();
    ASSERT_EQ(whole, 3 * 48u);
    walk_failures([&] { return s.rebuild(model.get(), nullptr); },
                  [&](int r, bool, long n) {
                      EXPECT_EQ(s.triangle_count(), r == 0 ? whole : 0u) << "allocation " << n;
                      if (r != 0) {
                          EXPECT_EQ(r, kOutOfMemory) << "allocation " << n;
                      }
                  });
}

TEST_F(SceneTest, NormalsFollowTheMaterialsSmoothing) {
    ViewProjection vp;
    Draw3DSettings set;
    RevolveProfiles p;
    ASSERT_EQ(sphere_profiles(vp, {0, 0, 0}, 0, 10, set, &p), 0);
    std::unique_ptr<MESH3> sphere;
    ASSERT_EQ(revolve_profiles_mesh(p, 16, &sphere), 0);
    struct Case {
        uint32_t flags;
        bool radial;  // vertex normals point away from the centre
    };
    for (const Case& c : {Case{kMaterialSmoothAlways, true}, Case{0, false}}) {
        sphere->material->flags = c.flags;
        SceneMesh m;
        ASSERT_EQ(scene_mesh_build(sphere.get(), nullptr, &m), 0);
        ASSERT_GT(m.triangles(), 100u);
        double worst = 1;
        for (size_t i = 0; i < m.xyz.size(); i += 3) {
            const double r = std::sqrt(m.xyz[i] * m.xyz[i] + m.xyz[i + 1] * m.xyz[i + 1] + m.xyz[i + 2] * m.xyz[i + 2]);
            const double d = (m.xyz[i] * m.normals[i] + m.xyz[i + 1] * m.normals[i + 1] + m.xyz[i + 2] * m.normals[i + 2]) / r;
            worst = std::min(worst, std::fabs(d));
            const double n = std::sqrt(m.normals[i] * m.normals[i] + m.normals[i + 1] * m.normals[i + 1] +
                                       m.normals[i + 2] * m.normals[i + 2]);
            EXPECT_NEAR(n, 1, 1e-5);
        }
        // Flat faces give each corner the face's normal; smoothed ones differ.
        size_t uneven = 0;
        for (size_t i = 0; i < m.normals.size(); i += 9)
            uneven += m.normals[i] != m.normals[i + 3] || m.normals[i + 1] != m.normals[i + 4] ||
                      m.normals[i + 2] != m.normals[i + 5];
        if (c.radial) {
            EXPECT_GT(worst, 0.95);  // seams and poles keep their own vertices
            EXPECT_GT(uneven, m.triangles() / 2);
        } else {
            EXPECT_EQ(uneven, 0u);
        }
    }
}

TEST_F(SceneTest, FramesComeFromAPrivateCopyAndLeaveTheDrawing) {
    MESH3* m = box({0, 0, 0}, 10).release();
    ASSERT_EQ(model_add_object(layer, m, -1, 1), 0);
    KeyframeTrack* t = track_new("", m);
    t->next_track = m->tracks;
    m->tracks = t;
    t->position.keys = {{0, {0, 0, 0, 0, 0}, {0, 0, 0}}, {10, {0, 0, 0, 0, 0}, {100, 0, 0}}};
    model->frame_count = 11;
    model->current_frame = 3;
    const float x0 = m->blocks->vertices[0].x;
    std::unique_ptr<RTC> copy;
    ASSERT_EQ(preview_copy_drawing(model.get(), &copy), 0);
    GlimpseScene s;
    ASSERT_EQ(s.build_frame(static_cast<MODEL*>(copy.get()), 10, nullptr), 0);
    EXPECT_NEAR(s.bounds().min.x, 100, 1e-3);
    ASSERT_EQ(s.build_frame(static_cast<MODEL*>(copy.get()), 5, nullptr), 0);
    EXPECT_GT(s.bounds().min.x, 1);
    EXPECT_LT(s.bounds().min.x, 99);
    // The drawing kept its frame, its geometry and its tracks' state.
    EXPECT_EQ(model->current_frame, 3);
    EXPECT_EQ(m->blocks->vertices[0].x, x0);
    EXPECT_EQ(t->cached_frame, -1);
    // Hidden layers are left out.
    const std::vector<int32_t> hidden = {0};
    ASSERT_EQ(s.build_frame(static_cast<MODEL*>(copy.get()), 5, &hidden), 0);
    EXPECT_EQ(s.triangle_count(), 0u);
    ASSERT_EQ(s.rebuild(model.get(), &hidden), 0);
    EXPECT_EQ(s.triangle_count(), 0u);
    ASSERT_EQ(s.rebuild(model.get(), nullptr), 0);
    EXPECT_EQ(s.triangle_count(), 48u);
}

TEST_F(SceneTest, LessDetailMeansFewerTriangles) {
    ViewProjection vp;
    Draw3DSettings set;
    RevolveProfiles p;
    ASSERT_EQ(sphere_profiles(vp, {0, 0, 0}, 0, 10, set, &p), 0);
    std::unique_ptr<MESH3> sphere;
    ASSERT_EQ(revolve_profiles_mesh(p, 32, &sphere), 0);
    GlimpseScene full(100), half(50);
    ASSERT_EQ(full.add(sphere.get()), 0);
    ASSERT_EQ(half.add(sphere.get()), 0);
    EXPECT_LT(half.triangle_count(), full.triangle_count());
    EXPECT_GE(half.triangle_count() * 2 + 8, full.triangle_count());
    half.set_detail(std::nan(""));
    EXPECT_EQ(half.detail(), 100);
}

TEST_F(SceneTest, ViewPointsAndCameraCommands) {
    auto cam = rtc_make<CAMERA>();
    EXPECT_EQ(obj_default_name(model.get(), cam.get(), 0, "Front"), 0);
    cam->position = {0, -100, 0};
    cam->target = {0, 0, 0};
    cam->lens = 2;
    ASSERT_EQ(model_add_object(layer, cam.release(), -1, 1), 0);
    auto vp = rtc_make<VPORT>();
    EXPECT_EQ(obj_default_name(model.get(), vp.get(), 0, "Plan"), 0);
    ASSERT_EQ(model_add_object(model.get(), vp.release(), -1, 1), 0);
    EXPECT_EQ(preview_view_points(model.get()), (std::vector<std::string>{"Front", "Plan"}));
    PreviewCamera c;
    ASSERT_TRUE(preview_camera_of(model.get(), "Front", &c));
    EXPECT_TRUE(c.perspective);
    EXPECT_EQ(c.lens, 2);
    ASSERT_TRUE(preview_camera_of(model.get(), "Plan", &c));
    EXPECT_FALSE(c.perspective);
    EXPECT_FALSE(preview_camera_of(model.get(), "None", &c));

    const int levels = model->undo_levels;
    PreviewCamera at;
    at.perspective = true;
    at.eye = {50, 50, 50};
    at.target = {0, 0, 0};
    at.lens = 1.5;
    std::string name;
    ASSERT_EQ(camera_commit_new(model.get(), at, &name), 0);
    EXPECT_EQ(name, "Camera01");
    EXPECT_EQ(model->undo_levels, levels + 1);
    at.eye = {-20, 0, 0};
    ASSERT_EQ(camera_commit_changed(model.get(), "Front", at), 0);
    EXPECT_EQ(model->undo_levels, levels + 2);
    ASSERT_TRUE(preview_camera_of(model.get(), "Front", &c));
    EXPECT_DOUBLE_EQ(c.eye.x, -20);
    model_undo(model.get());
    ASSERT_TRUE(preview_camera_of(model.get(), "Front", &c));
    EXPECT_DOUBLE_EQ(c.eye.y, -100);
    // Nonsense places are refused.
    at.eye = at.target;
    EXPECT_EQ(camera_commit_new(model.get(), at, &name), kBadArgument);
    at.eye = {std::nan(""), 0, 0};
    EXPECT_EQ(camera_commit_changed(model.get(), "Front", at), kBadArgument);
    EXPECT_EQ(camera_commit_changed(model.get(), "Nobody", PreviewCamera{}), kBadArgument);
}

}  // namespace
