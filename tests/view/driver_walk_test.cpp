// The driver's own polyline loop against the generic walk (move_to / line_to per
// point): the same callbacks in the same order and the same last point, for open
// and closed lists, pen-up flags, points outside the pixel range, behind the eye and
// under pen mode 4.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "graphics/view/driver.h"
#include "model/math/matrix.h"
#include "view_test_util.h"

namespace {

struct Walked {
    std::vector<RecordedLine> lines;
    ProjectedPoint last;
};

Walked walk(const ViewProjection& base, const PointNode* list, bool generic) {
    ViewProjection vp = base;
    RecordingDevice dev;
    dev.attach(&vp);
    VIEWITER it(&vp);
    const int r = generic ? it.ZITER::walk_points(list) : it.walk_points(list);
    EXPECT_EQ(r, 0);
    return {dev.lines, it.last};
}

TEST(DriverWalk, OwnLoopMatchesTheGenericWalk) {
    rtc_register_all();
    std::mt19937 rng(2024);
    std::uniform_real_distribution<float> coord(-30000.0f, 30000.0f);
    std::uniform_real_distribution<float> depth(-400.0f, 50.0f);

    ViewProjection parallel = unit_projection();
    Transform t;
    xform_rotate_xyz(&t, 0.3, -0.2, 0.1);
    parallel.view = t.fwd;
    parallel.scale = 0.75;
    ViewProjection persp;
    persp.mode = kProjPerspective;
    persp.eye_distance = 300;
    persp.centre_x = 640;
    persp.centre_y = 400;
    ViewProjection no_range = parallel;
    no_range.pen_mode = kPenModeNoRange;

    for (const ViewProjection* vp : {&parallel, &persp, &no_range}) {
        size_t drawn = 0;
        for (int round = 0; round < 40; ++round) {
            const int n = 1 + round % 9;
            PointNode* head = nullptr;
            for (int i = 0; i < n; ++i) {
                EXPECT_EQ(plist_add(&head, Vec3{coord(rng) / (round % 3 + 1),
                                                coord(rng) / (round % 2 + 1), depth(rng)}),
                          0);
                if (rng() % 4 == 0) head->flags |= kPointMoveNext;
            }
            PointNode* tail = head;
            while (tail->next) tail = tail->next;
            const bool closed = round % 5 == 0;
            if (closed) tail->next = head;

            const Walked own = walk(*vp, head, false);
            const Walked generic = walk(*vp, head, true);
            EXPECT_EQ(own.lines, generic.lines) << "round " << round << " mode " << vp->mode;
            EXPECT_EQ(own.last.x, generic.last.x);
            EXPECT_EQ(own.last.y, generic.last.y);
            EXPECT_EQ(own.last.behind, generic.last.behind);
            EXPECT_EQ(own.last.not_drawable, generic.last.not_drawable);

            drawn += own.lines.size();
            if (closed) tail->next = nullptr;
            list_free(&head);
        }
        EXPECT_GT(drawn, 20u) << "mode " << vp->mode;  // the lists do reach the device
    }
}

// The driver's projection is the view matrix product of mat_xform_point_d followed by
// the view-space projection, to the bit: pixels drawn through either agree.
TEST(DriverWalk, ProjectionIsTheMatrixProductThenTheViewPoint) {
    Transform t;
    xform_rotate_xyz(&t, 0.7, -0.4, 1.3);
    t.fwd.m[9] = 12.5;
    t.fwd.m[10] = -3.25;
    t.fwd.m[11] = -180.0;
    ViewProjection parallel = unit_projection();
    parallel.view = t.fwd;
    parallel.scale = 0.37;
    parallel.origin_x = -41.5;
    parallel.origin_y = 7.0;
    ViewProjection persp = parallel;
    persp.mode = kProjPerspective;
    persp.eye_distance = 250;
    persp.centre_x = 320;
    persp.centre_y = 200;
    ViewProjection no_range = parallel;
    no_range.pen_mode = kPenModeNoRange;
    struct Case {
        const ViewProjection* vp;
        double spread;  // coordinates drawn from -spread .. spread
        int dx, dy;
    };
    const Case cases[] = {
        {&parallel, 1e3, 0, 0}, {&parallel, 1e7, 5, -9},   {&persp, 500, 0, 0},
        {&persp, 1e6, -3, 4},   {&no_range, 1e9, 0, 0},    {&no_range, 0.01, 2147483000, -7},
    };
    std::mt19937 rng(77);
    for (const Case& c : cases) {
        std::uniform_real_distribution<double> coord(-c.spread, c.spread);
        for (int i = 0; i < 2000; ++i) {
            const Vec3d p = {coord(rng), coord(rng), coord(rng)};
            ProjectedPoint direct, via_matrix;
            view_project_point(c.vp, p.x, p.y, p.z, c.dx, c.dy, &direct);
            Vec3d v;
            mat_xform_point_d(&v, &p, &c.vp->view);
            view_project_view_point(c.vp, v.x, v.y, v.z, c.dx, c.dy, &via_matrix);
            ASSERT_EQ(direct.behind, via_matrix.behind) << i;
            if (direct.behind) continue;
            ASSERT_EQ(direct.x, via_matrix.x) << i;
            ASSERT_EQ(direct.y, via_matrix.y) << i;
            ASSERT_EQ(direct.not_drawable, via_matrix.not_drawable) << i;
            ASSERT_EQ(std::memcmp(&direct.fx, &via_matrix.fx, sizeof direct.fx), 0) << i;
            ASSERT_EQ(std::memcmp(&direct.fy, &via_matrix.fy, sizeof direct.fy), 0) << i;
        }
    }
}

}  // namespace
