// The driver's own polyline loop against the generic walk (move_to / line_to per
// point): the same callbacks in the same order and the same last point, for open
// and closed lists, pen-up flags, points outside the pixel range, behind the eye and
// under pen mode 4.
#include <gtest/gtest.h>

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
                plist_add(&head, Vec3{coord(rng) / (round % 3 + 1), coord(rng) / (round % 2 + 1),
                                      depth(rng)});
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

}  // namespace
