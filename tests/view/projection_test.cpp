// The view projection: pixel range, clipping, perspective, culling and colours.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <iomanip>
#include <random>

#include "graphics/view/colours.h"
#include "graphics/view/driver.h"
#include "graphics/view/projection.h"
#include "model/math/matrix.h"
#include "view_test_util.h"

namespace {

class ProjectionTest : public ::testing::Test {
  protected:
    void SetUp() override { rtc_register_all(); }
};

TEST_F(ProjectionTest, PixelRangeIsInclusiveAtBothEnds) {
    ViewProjection vp = unit_projection();
    struct Case {
        double x, y;
        int pen_mode;
        int not_drawable;
    } cases[] = {
        {16383, 0, 0, 0},  {16384, 0, 0, 1}, {-16384, 0, 0, 0},
        {-16385, 0, 0, 1}, {0, 16383, 0, 0}, {0, 16384, 0, 1},
        {0, -16385, 0, 1}, {16384, 0, 4, 0}, {1e12, -1e12, 4, 0},
    };
    for (const Case& c : cases) {
        vp.pen_mode = c.pen_mode;
        ProjectedPoint p;
        view_project_point(&vp, c.x, c.y, 0, 0, 0, &p);
        EXPECT_EQ(p.not_drawable, c.not_drawable) << c.x << "," << c.y << " mode " << c.pen_mode;
    }
}

TEST_F(ProjectionTest, ParallelPixelsRoundAndOffsetsAddAfter) {
    ViewProjection vp;
    vp.origin_x = 10;
    vp.origin_y = -5;
    vp.scale = 4;
    ProjectedPoint p;
    view_project_point(&vp, 11.125, -5.375, 0, 3, -3, &p);  // 4.5 -> 5, -1.5 -> -1
    EXPECT_EQ(p.x, 8);
    EXPECT_EQ(p.y, -4);
    int x, y;
    world_to_pixel(&vp, Vec3{11.125f, -5.375f, 0}, &x, &y);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, -1);
    Vec3 back;
    pixel_to_world(&vp, 5, -1, 2.0, &back);
    EXPECT_FLOAT_EQ(back.x, 11.25f);
    EXPECT_FLOAT_EQ(back.y, -5.25f);
    EXPECT_FLOAT_EQ(back.z, 2.0f);
}

TEST_F(ProjectionTest, ClippingCases) {
    struct Case {
        double x1, y1, x2, y2;
        int want[4];
        int result;
    } cases[] = {
        // Left border only.
        {-20000, 0, 100, 0, {-16384, 0, 100, 0}, 1},
        // Both ends left, both right, both below, both above: the corner point.
        {-20000, 5, -17000, 9, {-16384, -16384, -16384, -16384}, 0},
        {17000, 5, 20000, 9, {-16384, -16384, -16384, -16384}, 0},
        {5, -17000, 9, -20000, {-16384, -16384, -16384, -16384}, 0},
        {5, 17000, 9, 20000, {-16384, -16384, -16384, -16384}, 0},
        // Vertical through the top and the bottom.
        {100, -20000, 100, 20000, {100, -16384, 100, 16383}, 1},
        // A diagonal that enters through the left border and leaves through the top.
        {-20000, 0, 0, 20000, {-16384, 3615, -3617, 16383}, 1},  // truncated toward zero
        // A diagonal that passes the corner outside both borders.
        {-20000, 10000, -10000, 30000, {-16384, -16384, -16384, -16384}, 0},
        // Along the top row itself, crossing the right border.
        {0, 16383, 20000, 16383, {0, 16383, 16383, 16383}, 1},
        // From a very far end: the crossing is not moved by that end's rounding.
        {100 - 1e20, 0.25 + 5e19, 100, 0.25, {-16384, 8242, 100, 0}, 1},
    };
    for (const Case& c : cases) {
        int out[4];
        EXPECT_EQ(view_clip_segment(c.x1, c.y1, c.x2, c.y2, out), c.result) << c.x1 << "," << c.y1;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(out[i], c.want[i]) << c.x1 << "," << c.y1 << " #" << i;
    }
}

TEST_F(ProjectionTest, CrossingsOnABorderWithinRoundingAreKept) {
    struct Case {
        double x1, y1, x2, y2;
        int want[4];
    } cases[] = {
        // Through the top right corner: the crossing computes a few ulps outside.
        {0, 0, 36141, 36141, {0, 0, 16383, 16383}},
        {36141, 36141, 0, 0, {16383, 16383, 0, 0}},
        // Exactly through the corner from outside to outside.
        {16383 - 5000, 16383 + 5000, 16383 + 5000, 16383 - 5000, {16383, 16383, 16383, 16383}},
        {-16384 - 7, -16384 + 7, -16384 + 9, -16384 - 9, {-16384, -16384, -16384, -16384}},
        // Through the other two corners, on the diagonal.
        {-30000, 30000 - 1, 30000 - 1, -30000, {-16384, 16383, 16383, -16384}},
    };
    for (const Case& c : cases) {
        int out[4];
        EXPECT_EQ(view_clip_segment(c.x1, c.y1, c.x2, c.y2, out), 1) << c.x1 << "," << c.y1;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(out[i], c.want[i]) << c.x1 << "," << c.y1 << " #" << i;
    }

    // Through the driver: a parallel view at the scales where the end lands past the
    // corner.
    for (double scale : {48.828946514996133, 135.46388851189127}) {
        ViewProjection vp = unit_projection();
        vp.scale = scale;
        RecordingDevice dev;
        dev.attach(&vp);
        auto line = make_polyline({{0, 0, 0}, {1000, 1000, 0}});
        viewiter_draw_object(&vp, line.get());
        ASSERT_EQ(dev.lines.size(), 1u) << scale;
        EXPECT_EQ(dev.lines[0], (RecordedLine{0, 0, 16383, 16383})) << scale;
    }
}

// Random segments through a point of the range (a corner half of the time) with both
// ends outside: the clipped segment is never lost, stays in the range and on the line.
TEST_F(ProjectionTest, SegmentsCrossingTheRangeAreNeverLost) {
    std::mt19937_64 gen(12);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double corner[2] = {double(kPixelMin), double(kPixelMax)};
    for (int i = 0; i < 20000; ++i) {
        double px, py;
        if (i % 2 == 0) {
            px = corner[gen() & 1];
            py = corner[gen() & 1];
        } else {
            px = kPixelMin + unit(gen) * (kPixelMax - kPixelMin);
            py = kPixelMin + unit(gen) * (kPixelMax - kPixelMin);
        }
        const double a = unit(gen) * 2 * M_PI;
        const double dx = std::cos(a), dy = std::sin(a);
        const double t1 = 40000 + unit(gen) * 1e5, t2 = 40000 + unit(gen) * 1e5;
        const double x1 = px - t1 * dx, y1 = py - t1 * dy, x2 = px + t2 * dx, y2 = py + t2 * dy;
        int out[4];
        ASSERT_EQ(view_clip_segment(x1, y1, x2, y2, out), 1)
            << std::setprecision(17) << x1 << "," << y1 << " " << x2 << "," << y2;
        for (int k = 0; k < 4; ++k) {
            EXPECT_GE(out[k], kPixelMin);
            EXPECT_LE(out[k], kPixelMax);
        }
        for (int k = 0; k < 2; ++k) {
            // Distance of the clipped end from the segment's line: truncation moves
            // it by less than a pixel on each axis.
            const double d = std::fabs((out[2 * k] - px) * dy - (out[2 * k + 1] - py) * dx);
            EXPECT_LT(d, 1.5) << i << std::setprecision(17) << " " << x1 << "," << y1 << " " << x2 << "," << y2 << " -> " << out[0] << "," << out[1] << " " << out[2] << "," << out[3];
        }
    }
}

TEST_F(ProjectionTest, DriverClipsLinesLeavingThePixelRange) {
    ViewProjection vp = unit_projection();
    RecordingDevice dev;
    dev.attach(&vp);
    auto line = make_polyline({{-20000, 0, 0}, {100, 0, 0}, {100, 50, 0}});
    viewiter_draw_object(&vp, line.get());
    ASSERT_EQ(dev.lines.size(), 2u);
    EXPECT_EQ(dev.lines[0], (RecordedLine{-16384, 0, 100, 0}));
    EXPECT_EQ(dev.lines[1], (RecordedLine{100, 0, 100, 50}));

    // Under pen mode 4 the device gets the pixels as they are.
    dev.lines.clear();
    vp.pen_mode = kPenModeNoRange;
    viewiter_draw_object(&vp, line.get());
    ASSERT_EQ(dev.lines.size(), 2u);
    EXPECT_EQ(dev.lines[0], (RecordedLine{-20000, 0, 100, 0}));
}

TEST_F(ProjectionTest, VertexListDrawsEachSegmentClipped) {
    ViewProjection vp = unit_projection();
    RecordingDevice dev;
    dev.attach(&vp);
    PointNode* list = make_plist({{0, 0, 0}, {30000, 0, 0}, {30000, 30000, 0}});
    view_draw_vertex_list(&vp, list);
    list_free(&list);
    ASSERT_EQ(dev.lines.size(), 2u);
    EXPECT_EQ(dev.lines[0], (RecordedLine{0, 0, 16383, 0}));
    EXPECT_EQ(dev.lines[1], (RecordedLine{-16384, -16384, -16384, -16384}));
    view_draw_vertex_list(&vp, nullptr);
    EXPECT_EQ(dev.lines.size(), 2u);
}

// A perspective view looking down -z from the origin: eye distance 100, centre (0, 0).
ViewProjection perspective() {
    ViewProjection vp;
    vp.mode = kProjPerspective;
    vp.eye_distance = 100;
    return vp;
}

TEST_F(ProjectionTest, PerspectiveDividesInFrontAndRefusesBehind) {
    ViewProjection vp = perspective();
    ProjectedPoint p;
    view_project_point(&vp, 10, -20, -10, 0, 0, &p);  // w = 0.1: (100, -200)
    EXPECT_EQ(p.not_drawable, 0);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, -200);
    view_project_point(&vp, 10, 20, -0.05, 0, 0, &p);
    EXPECT_EQ(p.not_drawable, 1);
    EXPECT_EQ(p.behind, 1);
    Vec3 v;
    world_to_view(&vp, Vec3{10, -20, -10}, &v);
    EXPECT_FLOAT_EQ(v.x, 100);
    EXPECT_FLOAT_EQ(v.z, -10);
}

TEST_F(ProjectionTest, NearPlaneLineSkippedButMeshEdgeCut) {
    ViewProjection vp = perspective();
    RecordingDevice dev;
    dev.attach(&vp);
    // From (10, 0, -0.05), behind the drawable limit, to (10, 0, -10) in front.
    auto line = make_polyline({{10, 0, -0.05f}, {10, 0, -10}});
    viewiter_draw_object(&vp, line.get());
    EXPECT_TRUE(dev.lines.empty());

    auto mesh = rtc_make<MESH3>();
    auto* b = new MeshFaceBlock;
    b->vertices = {{10, 0, -0.05f, {}}, {10, 0, -10, {}}};
    b->edges = {{{0, 1}, 0}};
    mesh->blocks = b;
    mesh->own_box();
    viewiter_draw_object(&vp, mesh.get());
    // Drawn from the end in front, (100, 0), to the cut at depth -1: x = 10 * 100.
    ASSERT_EQ(dev.lines.size(), 1u);
    EXPECT_EQ(dev.lines[0], (RecordedLine{100, 0, 1000, 0}));

    // Hidden edges are never drawn.
    dev.lines.clear();
    b->edges[0].flags = kEdgeHidden;
    viewiter_draw_object(&vp, mesh.get());
    EXPECT_TRUE(dev.lines.empty());
}

TEST_F(ProjectionTest, CullingByVisibleExtents) {
    ViewProjection vp = unit_projection();
    auto line = make_polyline({{100, 100, 0}, {200, 150, 0}});
    EXPECT_EQ(view_cull_object(&vp, line.get()), 0);
    vp.extents_min = {0, 0, 0};
    vp.extents_max = {50, 50, 0};
    EXPECT_EQ(view_cull_object(&vp, line.get()), 1);
    vp.extents_max = {100, 100, 0};  // touching is not outside
    EXPECT_EQ(view_cull_object(&vp, line.get()), 0);
    vp.extents_max = {99, 500, 0};
    EXPECT_EQ(view_cull_object(&vp, line.get()), 1);

    // A culled object reaches no callback.
    RecordingDevice dev;
    dev.attach(&vp);
    viewiter_draw_object(&vp, line.get());
    EXPECT_TRUE(dev.lines.empty());
    EXPECT_TRUE(dev.pens.empty());

    auto light = rtc_make<LIGHT>();
    light->position = {1000, 1000, 0};
    light->own_box();
    EXPECT_EQ(view_cull_object(&vp, light.get()), 0);

    vp.mode = kProjPerspective;
    EXPECT_EQ(view_cull_object(&vp, line.get()), 0);
    vp.mode = kProjParallel;
    view_extents_reset(&vp);
    EXPECT_EQ(view_cull_object(&vp, line.get()), 0);
}

TEST_F(ProjectionTest, PenWidthByMode) {
    ViewProjection vp;
    vp.scale = 10;
    vp.width_threshold = 0.5;
    RecordingDevice dev;
    dev.attach(&vp);
    auto line = make_polyline({{0, 0, 0}, {1, 0, 0}});
    line->colour = 5;
    struct Case {
        int mode;
        float width;
        int want;
    } cases[] = {{0, 0.35f, 3}, {0, 0.0f, 1}, {3, 0.35f, 3}, {4, 0.35f, 3},
                 {2, 0.5f, 2},  {2, 0.4f, 1}, {1, 9.0f, 1}};
    for (const Case& c : cases) {
        dev.pens.clear();
        vp.pen_mode = c.mode;
        line->width = c.width;
        viewiter_draw_object(&vp, line.get());
        ASSERT_EQ(dev.pens.size(), 1u);
        EXPECT_EQ(dev.pens[0].colour, 5);
        EXPECT_EQ(dev.pens[0].wx, c.want) << "mode " << c.mode << " width " << c.width;
        EXPECT_EQ(dev.pens[0].wy, c.want);
    }
}

TEST_F(ProjectionTest, FilledPolygonPartlyOutsideIsClippedAndTheWalkGoesOn) {
    ViewProjection vp = unit_projection();
    RecordingDevice dev;
    dev.attach(&vp);
    auto group = rtc_make<CONTAINER>();
    auto fill = make_polyline({{0, 0, 0}, {30000, 0, 0}, {0, 100, 0}}, 2);
    auto line = make_polyline({{0, 0, 0}, {5, 5, 0}});
    EXPECT_EQ(container_insert(group.get(), fill.release()), 0);
    EXPECT_EQ(container_insert(group.get(), line.release()), 0);
    group->own_box();
    viewiter_draw_object(&vp, group.get());
    // The triangle is cut at x = 16383 into two triangles; the line after it is drawn.
    ASSERT_EQ(dev.triangles.size(), 2u);
    for (const auto& t : dev.triangles)
        for (int i = 0; i < 6; i += 2) EXPECT_LE(t.p[i], kPixelMax);
    EXPECT_EQ(dev.lines.size(), 1u);
}

TEST_F(ProjectionTest, ColourIndexForDisplay) {
    const DisplaySettings saved = g_display;
    struct Case {
        bool black, mono;
        int index, want;
    } cases[] = {
        {false, false, -1, 15}, {true, false, 7, 0},  {true, false, 15, 0},
        {true, false, 3, 3},    {false, false, 0, 7}, {false, false, 263, 7},
        {false, false, 256, 7}, {false, false, 9, 9}, {true, true, 9, 0},
        {false, true, 9, 7},
    };
    for (const Case& c : cases) {
        g_display.black_background = c.black;
        g_display.monochrome = c.mono;
        EXPECT_EQ(colour_index_fix(c.index), c.want) << c.index;
    }
    g_display = saved;

    float rgba[4];
    colour_index_rgb(rgba, 15);
    EXPECT_FLOAT_EQ(rgba[0], 1.0f);
    EXPECT_FLOAT_EQ(rgba[1], 1.0f);
    EXPECT_FLOAT_EQ(rgba[2], 1.0f);
    EXPECT_FLOAT_EQ(rgba[3], 0.0f);
    // The cube: index 255 is the last red (6), blue (3) and green (7) level: white.
    EXPECT_EQ(kDisplayPalette[255].red, 255);
    EXPECT_EQ(kDisplayPalette[255].green, 255);
    EXPECT_EQ(kDisplayPalette[255].blue, 255);
    // j = 32 + 8 + 3: red level 1, blue level 1, green level 3.
    EXPECT_EQ(kDisplayPalette[75].red, 42);
    EXPECT_EQ(kDisplayPalette[75].blue, 85);
    EXPECT_EQ(kDisplayPalette[75].green, 109);
    EXPECT_EQ(kDisplayPalette[20].red, 64);
}

}  // namespace

#include "model/db/track.h"

namespace {

TEST_F(ProjectionTest, AnimatedMeshDrawnWhereItsTrackPutsIt) {
    auto model = rtc_make<MODEL>();
    model->frame_count = 10;
    model->current_frame = 0;
    auto mesh = rtc_make<MESH3>();
    auto* b = new MeshFaceBlock;
    b->vertices = {{0, 0, 0, {}}, {10, 0, 0, {}}};
    b->edges = {{{0, 1}, 0}};
    mesh->blocks = b;
    KeyframeTrack* t = track_new(nullptr, mesh.get());
    t->position.keys = {PositionKey{0, {0, 0, 0, 0, 0}, {100, 50, 0}}};
    mesh->tracks = t;
    MESH3* m = mesh.get();
    EXPECT_EQ(container_insert(rtc_cast<LAYER>(model->first_child()), mesh.release()), 0);
    m->own_box();

    ViewProjection vp = unit_projection();
    RecordingDevice dev;
    dev.attach(&vp);
    view_draw_mesh(&vp, m);
    ASSERT_EQ(dev.lines.size(), 1u);
    EXPECT_EQ(dev.lines[0], (RecordedLine{100, 50, 110, 50}));
    // Outside the drawing's frames it is drawn where it stands.
    model->current_frame = -1;
    dev.lines.clear();
    view_draw_mesh(&vp, m);
    ASSERT_EQ(dev.lines.size(), 1u);
    EXPECT_EQ(dev.lines[0], (RecordedLine{0, 0, 10, 0}));
}

}  // namespace
