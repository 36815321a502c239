// Reference images of the scan-line renderer (PPM in tests/data/render/): each scene
// is rendered and compared; at most 0.2% of the pixels may differ by more than 2.
// Set ZELO_GOLDEN_OUT to a folder to write the images rendered now.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>

#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/material/material.h"
#include "model/math/matrix.h"
#include "render/scanline/render_context.h"
#include "render/scanline/render_mesh.h"
#include "scanline_test_util.h"

namespace {

ViewProjection tilted_view(double cx, double cy) {
    ViewProjection vp;
    // Turned 30 degrees about x, then 25 about z: a three-quarter view.
    Matrix43 a, b;
    mat_rotate_axis(&a, nullptr, 0, 0, 1, 0.44, nullptr);
    mat_rotate_axis(&b, nullptr, 1, 0, 0, -0.9, nullptr);
    mat_mul(&vp.view, &a, &b);
    mat_invert(&vp.inverse, &vp.view);
    vp.origin_x = -cx;
    vp.origin_y = -cy;
    return vp;
}

SPOTLITE* add_spot(TestScene& s, Vec3 pos, Vec3 target, float inner, float outer) {
    auto l = rtc_make<SPOTLITE>();
    l->position = pos;
    l->target = target;
    l->light_colour[0] = l->light_colour[1] = l->light_colour[2] = 1.0f;
    l->cone_cos[0] = inner;
    l->cone_cos[1] = outer;
    SPOTLITE* raw = l.get();
    EXPECT_EQ(container_insert(s.layer, l.release()), 0);
    return raw;
}

void colour(MESH3* m, float r, float g, float b) {
    m->material->colour[0] = r;
    m->material->colour[1] = g;
    m->material->colour[2] = b;
}

void check(const char* name, TestScene& s, int w, int h, const CAMERA* cam = nullptr) {
    golden_check(name, s, w, h, cam);
}

void spheres(TestScene& s) {
    s.add_sphere({-30, 0, 0}, 25, 16, 24);
    MESH3* b = s.add_sphere({30, 0, 0}, 25, 16, 24);
    colour(b, 0.9f, 0.5f, 0.2f);
    b->material->shininess = 0.6f;
    s.view = tilted_view(80, 60);
}

}  // namespace

TEST(Golden, FlatCube) {
    TestScene s;
    MESH3* c = s.add_box({-25, -25, -25}, {25, 25, 25});
    colour(c, 0.3f, 0.6f, 1.0f);
    s.view = tilted_view(60, 60);
    s.settings.flags = kRenderFlat | kRenderAmbient;
    s.settings.light_mask = 0x3;  // two default lights
    s.settings.light_colours[0] = 15;
    s.settings.light_colours[1] = 7;
    check("flat_cube", s, 120, 120);
}

TEST(Golden, GouraudSpheresOmni) {
    TestScene s;
    spheres(s);
    s.add_light({-60, -80, 120}, 1, 1, 1);
    s.settings.flags = kRenderGouraud | kRenderAmbient;
    check("gouraud_omni", s, 160, 120);
}

TEST(Golden, PhongSpheresSpot) {
    TestScene s;
    spheres(s);
    add_spot(s, {0, -60, 120}, {0, 0, 0}, 0.96f, 0.9f);
    s.settings.flags = kRenderPhong | kRenderAmbient;
    check("phong_spot", s, 160, 120);
}

TEST(Golden, Transparency) {
    TestScene s;
    spheres(s);
    MESH3* glass = s.add_box({-60, -40, 28}, {60, -10, 32});
    colour(glass, 0.4f, 0.8f, 1.0f);
    glass->material->transparency = 0.6f;
    s.add_light({-60, -80, 120}, 1, 1, 1);
    s.settings.flags = kRenderGouraud | kRenderAmbient;
    check("transparency", s, 160, 120);
}

TEST(Golden, Antialiasing) {
    TestScene s;
    MESH3* c = s.add_box({-25, -25, -25}, {25, 25, 25});
    colour(c, 1.0f, 0.8f, 0.3f);
    s.view = tilted_view(40, 40);
    s.settings.flags = kRenderFlat | kRenderAntialias | kRenderAmbient;
    s.settings.light_mask = 0x1;
    s.settings.light_colours[0] = 15;
    check("antialias", s, 80, 80);
}

TEST(Golden, NearClipping) {
    TestScene s;
    // A chequered floor of boxes running under the camera.
    for (int i = -3; i < 3; ++i)
        for (int j = -1; j < 8; ++j) {
            MESH3* b = s.add_box({i * 20.0f, j * 20.0f, -1}, {i * 20.0f + 20, j * 20.0f + 20, 0});
            if ((i + j) & 1) colour(b, 0.2f, 0.3f, 0.8f);
        }
    s.add_light({0, 40, 60}, 1, 1, 1);
    CAMERA* cam = s.add_camera({5, -10, 8}, {5, 60, 0}, 0.8);
    s.settings.flags = kRenderGouraud | kRenderPerspective | kRenderAmbient;
    check("near_clip", s, 160, 120, cam);
}

TEST(Golden, Fog) {
    TestScene s;
    for (int k = 0; k < 5; ++k) {
        MESH3* b = s.add_box({-60.0f + k * 25, k * 40.0f, 0}, {-45.0f + k * 25, k * 40.0f + 15, 20});
        colour(b, 0.9f, 0.3f, 0.2f);
    }
    s.add_light({0, -50, 100}, 1, 1, 1);
    CAMERA* cam = s.add_camera({0, -80, 40}, {0, 100, 0}, 1.0);
    s.settings.material.colour[0] = s.settings.material.colour[1] = s.settings.material.colour[2] = 0.7f;
    s.settings.material.slots[0].amount = 0.0f;  // haze
    s.settings.material.slots[1].amount = 0.995f;  // visibility at the reference distance
    s.settings.flags = kRenderGouraud | kRenderPerspective | kRenderAmbient;
    check("fog", s, 160, 120, cam);
}

TEST(Golden, Halos) {
    TestScene s;
    MESH3* b = s.add_box({-30, 40, -10}, {30, 60, 10});
    colour(b, 0.3f, 0.3f, 0.35f);
    s.add_light({-20, 0, 10}, 1, 0.9f, 0.6f);
    s.add_light({25, 10, -5}, 0.6f, 0.8f, 1);
    CAMERA* cam = s.add_camera({0, -80, 0}, {0, 0, 0}, 1.0);
    cam->material->self_illumination = 0.8f;  // halo brightness
    cam->material->shininess = 4000.0f;       // halo size
    s.settings.flags = kRenderGouraud | kRenderPerspective | kRenderAmbient;
    check("halos", s, 160, 120, cam);
}

TEST(Golden, Draft) {
    TestScene s;
    spheres(s);
    s.add_light({-60, -80, 120}, 1, 1, 1);
    s.settings.flags = kRenderGouraud | kRenderDraft;
    check("draft", s, 161, 121);
}

TEST(Golden, GreyScaleWithGamma) {
    TestScene s;
    spheres(s);
    s.add_light({-60, -80, 120}, 1, 1, 1);
    s.settings.flags = kRenderPhong | kRenderGrey | kRenderAmbient;
    s.settings.gamma = 1.8f;
    check("grey_gamma", s, 160, 120);
}

TEST(Golden, WireEdges) {
    TestScene s;
    s.add_sphere({-30, 0, 0}, 25, 6, 10);
    s.add_box({10, -20, -20}, {50, 20, 20});
    s.view = tilted_view(80, 60);
    s.settings.flags = kRenderWireEdges;
    check("wire_edges", s, 160, 120);
}

TEST(Golden, DarkOutlineOfASmoothSphereHasNoBrightSpecks) {
    // A closed Gouraud sphere seen along its axis, lit from the front left: its right
    // outline is dark. The outline's vertex normals are square to the view, and must
    // not turn toward the light by rounding: no pixel there is brighter than the one
    // inside it.
    TestScene s;
    s.add_sphere({0, 0, 0}, 40, 24, 48);
    s.add_light({-150, 0, 60}, 1, 1, 1);
    s.view.origin_x = -50, s.view.origin_y = -50;
    s.settings.flags = kRenderGouraud;
    Image24 img(100, 100);
    ASSERT_EQ(s.render(img), 0);
    int specks = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 51; x < 100; ++x) {
            uint8_t in[3], at[3];
            img.rgb(x - 1, y, in);
            img.rgb(x, y, at);
            specks += at[0] > in[0] + 24;
        }
    EXPECT_EQ(specks, 0);
    golden_compare("sphere_outline", 100, 100, img.bytes());
}

TEST(Golden, DenseMeshesSameOnOneThreadAndMany) {
    // Meshes large enough that every stage splits them into several chunks (vertices,
    // normals, light pass, clipping, set-up, banding): smooth and faceted, through a
    // half-transparent panel, with antialiasing and without. One thread and many give
    // the same bytes, and the image matches its reference.
    TestScene s;
    s.add_sphere({-20, 0, 0}, 45, 250, 290);
    MESH3* faceted = s.add_sphere({40, 10, 10}, 30, 200, 180);
    faceted->material->flags = 0;
    colour(faceted, 0.9f, 0.5f, 0.2f);
    MESH3* glass = s.add_box({-70, -60, 30}, {0, 60, 35});
    glass->material->transparency = 0.5f;
    colour(glass, 0.3f, 0.6f, 1.0f);
    s.add_light({60, 80, 100}, 1, 1, 1);
    s.view = tilted_view(80, 60);
    for (uint32_t aa : {0u, uint32_t(kRenderAntialias)}) {
        s.settings.flags = kRenderGouraud | kRenderAmbient | aa;
        Image24 one(160, 120), many(160, 120);
        render_set_thread_count(1);
        ASSERT_EQ(s.render(one), 0);
        render_set_thread_count(7);
        ASSERT_EQ(s.render(many), 0);
        render_set_thread_count(0);
        EXPECT_EQ(one.bytes(), many.bytes()) << aa;
        golden_compare(aa ? "dense_meshes_aa" : "dense_meshes", 160, 120, one.bytes());
    }
}

TEST(Golden, KeptNormalsFollowChangesOfTheMesh) {
    // A mesh large enough for its normals to be kept between renders: after each
    // change the next render matches one made with nothing kept.
    TestScene s;
    MESH3* ball = s.add_sphere({0, 0, 0}, 45, 250, 290);
    s.add_light({60, 80, 100}, 1, 1, 1);
    s.view = tilted_view(60, 45);
    s.settings.flags = kRenderGouraud;
    // With fog the picture also follows the depth range the mesh gives.
    s.settings.material.slots[0].amount = 0.0f;  // haze
    s.settings.material.slots[1].amount = 0.9f;  // visibility at the reference distance
    struct Change {
        const char* what;
        std::function<void()> apply;
    };
    const Change changes[] = {
        {"vertices moved", [&] { for (MeshVertex& v : ball->blocks->vertices) v.z *= 0.7f; }},
        {"view turned", [&] {
             // The same vertices seen from elsewhere: the kept normals fit, the depth
             // range the mesh gives inside the window does not.
             ViewProjection v = tilted_view(60, 45);
             Matrix43 turn;
             mat_rotate_axis(&turn, nullptr, 1, 0, 0, 1.2, nullptr);
             mat_mul(&v.view, &v.view, &turn);
             mat_invert(&v.inverse, &v.view);
             s.view = v;
         }},
        {"faceted", [&] { ball->material->flags = 0; }},
        {"smooth by angle, narrow", [&] {
             ball->material->flags = kMaterialSmoothByAngle;
             ball->material->smoothing_angle = 0.001f;
         }},
        {"smooth by angle, wide", [&] { ball->material->smoothing_angle = 1.0f; }},
        {"edges renumbered", [&] {
             // Two faces swap their first two edges: the same triangle, its corners
             // taken in another order.
             for (size_t f = 0; f < ball->blocks->faces.size(); f += 3)
                 std::swap(ball->blocks->faces[f].e[0], ball->blocks->faces[f].e[1]);
         }},
    };
    Image24 before(120, 90);
    ASSERT_EQ(s.render(before), 0);  // keeps the first normals
    for (const Change& c : changes) {
        c.apply();
        Image24 kept(120, 90), fresh(120, 90);
        ASSERT_EQ(s.render(kept), 0) << c.what;
        render_mesh_keep_prepared(false);
        ASSERT_EQ(s.render(fresh), 0) << c.what;
        render_mesh_keep_prepared(true);
        EXPECT_EQ(kept.bytes(), fresh.bytes()) << c.what;
        EXPECT_NE(kept.bytes(), before.bytes()) << c.what;
        ASSERT_EQ(s.render(before), 0);  // keeps this state's normals
    }
}

TEST(Golden, KeptWindowBoxFollowsTheWindowUnderTheSameMatrix) {
    // A viewport made shorter while its origin moves by half the difference: the image
    // frame's matrix is the same to the bit, the window is not, nor the box the ball
    // gives inside it, which places the default light.
    TestScene s;
    s.add_sphere({0, 0, 0}, 45, 250, 290);
    s.view = tilted_view(60, 45);
    s.settings.flags = kRenderGouraud;
    s.settings.light_mask = 0x1;
    s.settings.light_colours[0] = 15;
    Image24 tall(120, 90);
    ASSERT_EQ(s.render(tall), 0);  // keeps the normals and the box of this window
    s.view.origin_y += 25;
    Image24 kept(120, 40), fresh(120, 40);
    ASSERT_EQ(s.render(kept), 0);
    render_mesh_keep_prepared(false);
    ASSERT_EQ(s.render(fresh), 0);
    render_mesh_keep_prepared(true);
    EXPECT_EQ(kept.bytes(), fresh.bytes());
}

TEST(Golden, KeptNormalsAreUsedAgainOnlyWhileTheMeshHoldsStill) {
    TestScene s;
    MESH3* ball = s.add_sphere({0, 0, 0}, 45, 250, 290);
    s.add_light({60, 80, 100}, 1, 1, 1);
    s.view = tilted_view(60, 45);
    s.settings.flags = kRenderGouraud;
    render_mesh_keep_prepared(false);  // nothing kept from earlier tests
    render_mesh_keep_prepared(true);
    Image24 img(120, 90);
    auto render = [&] {
        const RenderKeptStats before = render_kept_stats();
        EXPECT_EQ(s.render(img), 0);
        const RenderKeptStats after = render_kept_stats();
        return std::pair{after.normals_kept - before.normals_kept,
                         after.normals_reused - before.normals_reused};
    };
    using Counts = std::pair<int64_t, int64_t>;  // kept, reused
    EXPECT_EQ(render(), (Counts{1, 0}));
    EXPECT_EQ(render(), (Counts{0, 1}));  // unchanged: used again
    // The Render page's depth bounds prepare the same block faceted: the smooth
    // normals stay kept.
    double eye_z = 0, focal = 0;
    ASSERT_EQ(render_depth_bounds(&s.view, s.objects, 120, 90, 30, &eye_z, &focal), 0);
    EXPECT_EQ(render(), (Counts{0, 1}));
    // Vertices that move every frame are prepared anew and not copied to be kept.
    for (int frame = 0; frame < 3; ++frame) {
        for (MeshVertex& v : ball->blocks->vertices) v.z *= 0.9f;
        EXPECT_EQ(render(), (Counts{0, 0})) << frame;
    }
    // Once it holds still it is kept again, and used again.
    EXPECT_EQ(render(), (Counts{1, 0}));
    EXPECT_EQ(render(), (Counts{0, 1}));
}
