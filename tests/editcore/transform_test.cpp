// Transforms from picked points, and their application to objects of each class.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "commands/editcore/transform.h"
#include "edit_test_util.h"
#include "model/db/track.h"
#include "model/material/material.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/math/scalar.h"
#include "model/math/vec.h"

namespace {

Vec3 apply(const Transform& t, const Vec3& p, int inverse = 0) {
    Vec3 out;
    xform_point(&out, &p, &t, inverse);
    return out;
}

TEST_F(EditTest, TransformsFromPoints) {
    Transform t;
    // Mirror through three points of z = 0: (x, y, z) -> (x, y, -z), both ways.
    ASSERT_EQ(xform_from_points(&t, {1, 2, 0}, {5, 2, 0}, {1, 7, 0}, kXformMirror), 0);
    expect_vec(apply(t, {3, -4, 2.5f}), {3, -4, -2.5f});
    expect_vec(apply(t, {3, -4, 2.5f}, 1), {3, -4, -2.5f});
    // The same plane picked the other way round.
    ASSERT_EQ(xform_from_points(&t, {0, 0, 0}, {0, 1, 0}, {1, 0, 0}, kXformMirror), 0);
    expect_vec(apply(t, {7, 8, -9}), {7, 8, 9});
    // A mirror in the plane x = 2.
    ASSERT_EQ(xform_from_points(&t, {2, 0, 0}, {2, 1, 0}, {2, 0, 1}, kXformMirror), 0);
    expect_vec(apply(t, {5, 1, 1}), {-1, 1, 1});

    // Rotation about +Z through p1 by a quarter turn keeps p1.
    const float quarter = static_cast<float>(kPi / 2);
    ASSERT_EQ(xform_from_points(&t, {1, 1, 0}, {0, 0, 1}, {quarter, 0, 0}, kXformRotate), 0);
    expect_vec(apply(t, {1, 1, 0}), {1, 1, 0});
    expect_vec(apply(t, {2, 1, 0}), {1, 2, 0});
    expect_vec(apply(t, {1, 2, 0}, 1), {2, 1, 0});

    // Move, and a kind without meaning gives the identity.
    ASSERT_EQ(xform_from_points(&t, {1, 1, 1}, {4, 5, 6}, {0, 0, 0}, kXformMove | kXformCopy), 0);
    expect_vec(apply(t, {0, 0, 0}), {3, 4, 5});
    ASSERT_EQ(xform_from_points(&t, {1, 1, 1}, {4, 5, 6}, {0, 0, 0}, 5), 0);
    expect_vec(apply(t, {7, 8, 9}), {7, 8, 9});

    // Three-point scale: p3 along +X sets the frame; p2 gives the x and y factors.
    ASSERT_EQ(xform_from_points(&t, {0, 0, 0}, {2, 1, 0}, {1, 0, 0}, kXformScale3), 0);
    expect_vec(apply(t, {1, 1, 1}), {2, 1, 1});
    // The same three points turned about p1 (1, 1, 0): the frame turns with them, so
    // the image of each turned point is the turned image, 2 along p3 and 1 across.
    for (const double deg : {45.0, 135.0, -60.0}) {
        const double c = std::cos(deg * kPi / 180), s = std::sin(deg * kPi / 180);
        auto turned = [&](Vec3 v) {
            return Vec3{float(1 + c * v.x - s * v.y), float(1 + s * v.x + c * v.y), v.z};
        };
        ASSERT_EQ(xform_from_points(&t, turned({0, 0, 0}), turned({2, 1, 0}), turned({1, 0, 0}), kXformScale3), 0);
        for (const auto& [from, to] : {std::pair<Vec3, Vec3>{{1, 0, 0}, {2, 0, 0}}, {{0, 1, 0}, {0, 1, 0}},
                                       {{1, 1, 1}, {2, 1, 1}}, {{-1, 2, 0}, {-2, 2, 0}}})
            expect_vec(apply(t, turned(from)), turned(to));
    }
}

TEST_F(EditTest, DegenerateMirrorAndScaleAreRefused) {
    Transform t, before;
    xform_translate(&t, 1, 2, 3);
    before = t;
    struct Case {
        Vec3 p1, p2, p3;
        int mode;
    } cases[] = {
        {{0, 0, 0}, {1, 1, 0}, {2, 2, 0}, kXformMirror},  // collinear
        {{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, kXformMirror},  // coincident
        {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}, kXformMirror},
        {{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, kXformScale3},  // p2 on p1
        {{0, 0, 0}, {2, 1, 0}, {0, 0, 0}, kXformScale3},  // p3 on p1
        {{0, 0, 0}, {2, 0, 0}, {1, 0, 0}, kXformScale3},  // collinear: zero y factor
        {{0, 0, 0}, {0, 2, 0}, {1, 0, 0}, kXformScale3},  // right angle: zero x factor
        // Points that are not numbers, as typed coordinates may be.
        {{0, 0, 0}, {NAN, 0, 0}, {0, 0, 0}, kXformMove},
        {{0, 0, 0}, {0, 0, 1}, {NAN, 0, 0}, kXformRotate},
        {{0, 0, 0}, {1, 0, 0}, {0, INFINITY, 0}, kXformMirror},
        {{NAN, 0, 0}, {2, 1, 0}, {1, 0, 0}, kXformScale3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(xform_from_points(&t, c.p1, c.p2, c.p3, c.mode), kBadArgument);
        for (int i = 0; i < 12; ++i) {
            EXPECT_EQ(t.fwd.m[i], before.fwd.m[i]);
            EXPECT_TRUE(std::isfinite(t.inv.m[i]));
        }
    }
}

TEST_F(EditTest, CircleScaledUnevenlyBecomesAnEllipse) {
    auto arc = rtc_make<ELARC>();
    arc->flags = kElarcCircular;
    arc->centre = {1, 1, 0};
    arc->axis1 = {2, 1, 0};
    arc->axis2 = {1, 2, 0};
    arc->start = 0;
    arc->end = kTwoPi;
    ASSERT_EQ(regen_object(arc.get()), 0);
    Transform t;
    ASSERT_EQ(xform_from_points(&t, {0, 0, 0}, {2, 1, 0}, {1, 0, 0}, kXformScale3), 0);
    ASSERT_EQ(transform_object(t, arc.get()), 0);
    EXPECT_EQ(arc->flags & kElarcCircular, 0);
    expect_vec(arc->centre, {2, 1, 0});
    EXPECT_NEAR(vec3_dist(arc->axis1, arc->centre), 2.0, 1e-5);
    EXPECT_NEAR(vec3_dist(arc->axis2, arc->centre), 1.0, 1e-5);
    EXPECT_NEAR(arc->end - arc->start, kTwoPi, 1e-9);
    // Every display point lies on the image ellipse, and they go all the way round.
    const auto pts = points_of(arc->points);
    ASSERT_GT(pts.size(), 8u);
    double min_x = 1e9, max_x = -1e9;
    for (const Vec3& p : pts) {
        const double u = (p.x - 2) / 2, v = p.y - 1;
        EXPECT_NEAR(u * u + v * v, 1.0, 1e-4);
        min_x = std::fmin(min_x, p.x);
        max_x = std::fmax(max_x, p.x);
    }
    EXPECT_NEAR(min_x, 0.0, 1e-3);
    EXPECT_NEAR(max_x, 4.0, 1e-3);

    // Scaled back evenly it is a circle again (flag set).
    Transform back;
    xform_scale(&back, 0.5, 1, 1);
    ASSERT_EQ(transform_object(back, arc.get()), 0);
    EXPECT_EQ(arc->flags & kElarcCircular, kElarcCircular);
}

TEST_F(EditTest, ArcKeepsItsEndsThroughRotationAndMirror) {
    auto arc = rtc_make<ELARC>();
    arc->flags = kElarcCircular;
    arc->centre = {0, 0, 0};
    arc->axis1 = {2, 0, 0};
    arc->axis2 = {0, 2, 0};
    arc->start = 0.25;
    arc->end = 1.5;
    ASSERT_EQ(regen_object(arc.get()), 0);
    auto end_points = [](const ELARC& a) {
        const auto pts = points_of(a.points);
        return std::pair<Vec3, Vec3>(pts.front(), pts.back());
    };
    const auto before = end_points(*arc);
    for (int mode : {kXformRotate, kXformMirror}) {
        Transform t;
        if (mode == kXformRotate)
            ASSERT_EQ(xform_from_points(&t, {1, 0, 0}, {0, 0, 1}, {1.0f, 0, 0}, mode), 0);
        else
            ASSERT_EQ(xform_from_points(&t, {0, 0, 0}, {1, 1, 0}, {0, 0, 1}, mode), 0);
        auto copy = rtc_make<ELARC>();
        ASSERT_EQ(rtc_copy(arc.get(), copy.get()), 0);
        ASSERT_EQ(transform_object(t, copy.get()), 0);
        const auto after = end_points(*copy);
        // The set of the two end points is carried by the transform.
        const Vec3 a = apply(t, before.first), b = apply(t, before.second);
        const bool same = vec3_dist(after.first, a) < 1e-3 && vec3_dist(after.second, b) < 1e-3;
        const bool swapped = vec3_dist(after.first, b) < 1e-3 && vec3_dist(after.second, a) < 1e-3;
        EXPECT_TRUE(same || swapped) << "mode " << mode;
        EXPECT_NEAR(std::fmod(copy->end - copy->start + kTwoPi, kTwoPi), 1.25, 1e-4);
    }
}

TEST_F(EditTest, ContainerChildrenMovedMeshAndTracksFollow) {
    auto group = rtc_make<CONTAINER>();
    XPLINE* line = add_polyline(group.get(), {{0, 0, 0}, {1, 0, 0}});
    auto mesh = rtc_make<MESH3>();
    auto* block = new MeshFaceBlock;
    block->vertices = {{1, 2, 3, {}}, {4, 5, 6, {}}};
    block->edges = {{{0, 1}, 0}};
    mesh->blocks = block;
    mesh->material->slots[0].kind = kTextureImage;
    mesh->material->slots[0].transform = xform_new();
    mesh->material->slots[2].kind = kTextureImage;  // an image reflection keeps its placement
    mesh->material->slots[2].transform = xform_new();
    KeyframeTrack* track = track_new("t", mesh.get());
    mesh->tracks = track;
    MESH3* m = mesh.get();
    EXPECT_EQ(container_insert(group.get(), mesh.release()), 0);

    Transform t;
    xform_translate(&t, 10, 0, 0);
    ASSERT_EQ(transform_object(t, group.get()), 0);
    expect_vec(points_of(line->control)[1], {11, 0, 0});
    EXPECT_FLOAT_EQ(block->vertices[1].x, 14);
    EXPECT_DOUBLE_EQ(m->material->slots[0].transform->fwd.m[9], 10);
    EXPECT_DOUBLE_EQ(m->material->slots[2].transform->fwd.m[9], 0);
    // The track's base takes the object back to where its keys were made.
    EXPECT_DOUBLE_EQ(track->base.fwd.m[9], -10);
    EXPECT_DOUBLE_EQ(track->base.inv.m[9], 10);
}

TEST_F(EditTest, CameraScaledUniformlyKeepsItsLensLightsMove) {
    auto cam = rtc_make<CAMERA>();
    cam->position = {0, -10, 0};
    cam->target = {0, 0, 0};
    cam->up = {0, 0, 1};
    cam->side = {1, 0, 0};
    cam->lens = 1.5;
    Transform t;
    xform_scale(&t, 3, 3, 3);
    ASSERT_EQ(transform_object(t, cam.get()), 0);
    EXPECT_NEAR(cam->lens, 1.5, 1e-4);
    expect_vec(cam->position, {0, -30, 0});
    expect_vec(cam->up, {0, 0, 1});

    auto spot = rtc_make<SPOTLITE>();
    spot->position = {1, 1, 1};
    spot->target = {2, 2, 2};
    xform_translate(&t, 1, 0, 0);
    ASSERT_EQ(transform_object(t, spot.get()), 0);
    expect_vec(spot->position, {2, 1, 1});
    expect_vec(spot->target, {3, 2, 2});
}

TEST_F(EditTest, TextTurnsWithItsFrame) {
    auto text = rtc_make<TEXT2>();
    text->insert = {1, 0, 0};
    text->layout[kText2Width] = 2;
    text->layout[kText2Height] = 3;
    text->layout[kText2Direction] = 0;
    text->layout[kText2Slant] = 0;
    Transform t;
    ASSERT_EQ(xform_from_points(&t, {0, 0, 0}, {0, 0, 1}, {static_cast<float>(kPi / 2), 0, 0},
                                kXformRotate),
              0);
    ASSERT_EQ(transform_object(t, text.get()), 0);
    expect_vec(text->insert, {0, 1, 0});
    EXPECT_NEAR(text->layout[kText2Width], 2, 1e-9);
    EXPECT_NEAR(text->layout[kText2Height], 3, 1e-9);
    EXPECT_NEAR(text->layout[kText2Direction], kPi / 2, 1e-6);  // the angle came as a float
    EXPECT_NEAR(text->layout[kText2Slant], 0, 1e-6);
    const Vec3d n = text2_normal(*text);
    EXPECT_GT(n.z, 0);

    // Turned past a full turn, a slanted text keeps its slant.
    text->layout[kText2Direction] = 0.3;
    text->layout[kText2Slant] = 0.2;
    ASSERT_EQ(xform_from_points(&t, {0, 0, 0}, {0, 0, 1}, {static_cast<float>(1.5 * kPi), 0, 0},
                                kXformRotate),
              0);
    ASSERT_EQ(transform_object(t, text.get()), 0);
    EXPECT_NEAR(text->layout[kText2Direction], 0.3 + 1.5 * kPi, 1e-5);
    EXPECT_NEAR(text->layout[kText2Slant], 0.2, 1e-5);

    // Mirrored in the plane y = 0 and seen from the back: width and height stay.
    ASSERT_EQ(xform_from_points(&t, {0, 0, 0}, {1, 0, 0}, {0, 0, 1}, kXformMirror), 0);
    ASSERT_EQ(transform_object(t, text.get()), 0);
    expect_vec(text->insert, {1, 0, 0});
    EXPECT_NEAR(text->layout[kText2Width], 2, 1e-6);
    EXPECT_NEAR(text->layout[kText2Height], 3, 1e-6);
}

// Circles and arcs stay what they are under transforms that keep their shape, even
// where float coordinates are coarse, and every kind of ELARC ends up on the image of
// its old curve.
TEST_F(EditTest, ArcsOfEveryKindFollowTheirTransform) {
    struct Kind {
        int flags;
        float r2;  // second radius (the first is 10.3)
        double start, end;
    } kinds[] = {
        {kElarcCircular, 10.3f, 0.2, 2.0},        // circular arc
        {kElarcCircular, 10.3f, 0.0, kTwoPi},     // circle
        {0, 4.0f, 5.5, 1.0},                      // elliptic arc across the first axis
        {kElarcWholeEllipse, 4.0f, 0.0, kTwoPi},  // whole ellipse
        {kElarcWholeEllipse | kElarcCircular, 10.3f, 0.0, kTwoPi},
    };
    for (float at : {0.0f, 10000.0f, 123456.7f}) {
        for (const Kind& k : kinds) {
            auto arc = rtc_make<ELARC>();
            arc->flags = k.flags;
            arc->centre = {at, at * 0.7f, 0};
            arc->axis1 = {at + 10.3f, at * 0.7f, 0};
            arc->axis2 = {at, at * 0.7f + k.r2, 0};
            arc->start = k.start;
            arc->end = k.end;
            ASSERT_EQ(regen_object(arc.get()), 0);
            const Vec3 c = arc->centre;
            Transform t;
            // Five turns about an axis through another point, then a mirror and a move.
            for (int i = 0; i < 7; ++i) {
                const std::vector<Vec3> before = points_of(arc->points);
                if (i < 5)
                    ASSERT_EQ(xform_from_points(&t, {at + 3, at, 0}, {0.2f, 0.1f, 1}, {0.37f, 0, 0},
                                                kXformRotate),
                              0);
                else if (i == 5)
                    ASSERT_EQ(xform_from_points(&t, c, {c.x + 1, c.y + 2, 0}, {c.x, c.y, 1},
                                                kXformMirror),
                              0);
                else
                    xform_translate(&t, 7, -3, 2);
                ASSERT_EQ(transform_object(t, arc.get()), 0);
                EXPECT_EQ(arc->flags, k.flags)
                    << "at " << at << " kind " << k.flags << " step " << i;
                // The ends of an arc are the images of the old ends (in either order).
                const std::vector<Vec3> after = points_of(arc->points);
                ASSERT_FALSE(after.empty());
                if (!(k.flags & kElarcWholeEllipse) && k.end - k.start < kTwoPi) {
                    const Vec3 a = apply(t, before.front()), b = apply(t, before.back());
                    const double tol = 1e-3 + 1e-6 * at;
                    const bool same =
                        vec3_dist(after.front(), a) < tol && vec3_dist(after.back(), b) < tol;
                    const bool swapped =
                        vec3_dist(after.front(), b) < tol && vec3_dist(after.back(), a) < tol;
                    EXPECT_TRUE(same || swapped) << "at " << at << " kind " << k.flags;
                }
            }
        }
    }
}

TEST_F(EditTest, TextWithoutWidthKeepsItsPlaneAndDirection) {
    auto text = rtc_make<TEXT2>();
    text->insert = {0, 0, 0};
    text->layout[kText2Width] = 0;
    text->layout[kText2Height] = 3;
    text->layout[kText2Direction] = 0.5;
    text->layout[kText2Slant] = 0;
    text2_set_normal(*text, {1, 0, 0});  // upright in the plane x = 0
    Transform t;
    xform_translate(&t, 1, 0, 0);
    ASSERT_EQ(transform_object(t, text.get()), 0);
    Vec3d n = text2_normal(*text);
    vec3_normalize_d(&n, &n);
    EXPECT_NEAR(n.x, 1, 1e-6);
    EXPECT_NEAR(text->layout[kText2Direction], 0.5, 1e-6);
    EXPECT_EQ(text->layout[kText2Width], 0.0);
    EXPECT_NEAR(text->layout[kText2Height], 3, 1e-6);
}

}  // namespace
