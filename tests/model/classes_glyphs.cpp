// The glyphs that cameras, lights and spot lights draw for themselves, and the
// single points they give when only positions are wanted.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "model/db/solid.h"
#include "tests/model/classes_support.h"

namespace {

using ClassGlyph = ClassTest;

double dot(const Vec3d& a, const Vec3d& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3d sub(const Vec3d& a, const Vec3d& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double len(const Vec3d& a) {
    return std::sqrt(dot(a, a));
}

struct Offset {
    char op;
    int dx, dy;
};

// Checks that events [first, first + n) are the given pixel-offset calls at `at`.
void expect_offsets(const std::vector<WalkEvent>& g, size_t first, const Vec3& at,
                    std::initializer_list<Offset> want) {
    ASSERT_GE(g.size(), first + want.size());
    size_t i = first;
    for (const Offset& o : want) {
        SCOPED_TRACE(i);
        EXPECT_EQ(g[i].op, o.op);
        EXPECT_EQ(g[i].dx, o.dx);
        EXPECT_EQ(g[i].dy, o.dy);
        expect_point(g[i].p[0], vd(at));
        ++i;
    }
}

const std::initializer_list<Offset> kSquare = {
    {'M', -3, -3}, {'L', 3, -3}, {'L', 3, 3}, {'L', -3, 3}, {'L', -3, -3}};
const std::initializer_list<Offset> kStar = {{'M', -4, 0}, {'L', 4, 0},   {'M', 0, -4},
                                             {'L', 0, 4},  {'M', -3, -3}, {'L', 3, 3},
                                             {'M', -3, 3}, {'L', 3, -3}};
const std::initializer_list<Offset> kCross = {
    {'M', -3, -3}, {'L', 3, 3}, {'M', -3, 3}, {'L', 3, -3}};

std::unique_ptr<CAMERA> make_camera() {
    auto c = rtc_make<CAMERA>();
    c->position = {1, 2, 3};
    c->target = {11, 2, 3};  // 10 units along +x
    c->up = {0, 0, 1};
    c->side = {0, 1, 0};
    c->lens = 2.0;  // half-extent of the frame: 10 / 2 * 0.5 = 2.5
    return c;
}

TEST_F(ClassGlyph, CameraDrawsSquaresFrameAndStrokes) {
    auto c = make_camera();
    RecordingIter it;
    EXPECT_EQ(c->walk(&it), 0);
    EXPECT_EQ(it.ops(),
              "MLLLL"
              "MLLLL"
              "MLLLL"
              "MLL"
              "MLL"
              "MLL");
    const auto g = it.geometry_events();
    expect_offsets(g, 0, c->position, kSquare);
    expect_offsets(g, 5, c->target, kSquare);

    // The frame: a closed rectangle around the target, across the line of sight.
    const Vec3d tgt = vd(c->target), up = vd(c->up), side = vd(c->side);
    const Vec3d axis = sub(tgt, vd(c->position));
    expect_point(g[14].p[0], g[10].p[0], "frame closes");
    for (int i = 10; i < 14; ++i) {
        SCOPED_TRACE(i);
        const Vec3d r = sub(g[i].p[0], tgt);
        EXPECT_NEAR(dot(r, axis), 0.0, 1e-9);
        EXPECT_NEAR(std::abs(dot(r, up)), 2.5, 1e-6);
        EXPECT_NEAR(std::abs(dot(r, side)), 2.5, 1e-6);
        EXPECT_EQ(g[i].dx, 0);
        EXPECT_EQ(g[i].dy, 0);
        for (int j = 10; j < i; ++j) EXPECT_GT(len(sub(g[i].p[0], g[j].p[0])), 1.0);
    }
    // The strokes only join the eye to points in the frame's plane.
    int through_eye = 0;
    for (size_t i = 15; i < g.size(); ++i) {
        const Vec3d r = sub(g[i].p[0], tgt);
        if (len(sub(g[i].p[0], vd(c->position))) < 1e-9) {
            ++through_eye;
        } else {
            EXPECT_NEAR(dot(r, axis), 0.0, 1e-9) << i;
        }
    }
    EXPECT_GE(through_eye, 1);
}

TEST_F(ClassGlyph, PositionOnlyWhenPointsAreWanted) {
    auto cam = make_camera();
    auto light = rtc_make<LIGHT>();
    light->position = {4, 5, 6};
    const struct {
        object* obj;
        Vec3 at;
    } cases[] = {{cam.get(), cam->position}, {light.get(), light->position}};
    for (const auto& c : cases) {
        RecordingIter it(kIterPointsOnly);
        c.obj->walk(&it);
        ASSERT_EQ(it.ops(), "M");
        expect_offsets(it.geometry_events(), 0, c.at, {{'M', 0, 0}});
    }
}

TEST_F(ClassGlyph, LightStar) {
    auto light = rtc_make<LIGHT>();
    light->position = {4, 5, 6};
    RecordingIter it;
    EXPECT_EQ(light->walk(&it), 0);
    EXPECT_EQ(it.ops(), "MLMLMLML");
    expect_offsets(it.geometry_events(), 0, light->position, kStar);
}

TEST_F(ClassGlyph, GlyphStopsAtTheFirstNonZeroResult) {
    auto light = rtc_make<LIGHT>();
    auto cam = make_camera();
    for (object* o : {static_cast<object*>(light.get()), static_cast<object*>(cam.get())}) {
        RecordingIter it;
        it.fail_at = 3;
        it.fail_code = 9;
        EXPECT_EQ(o->walk(&it), 9);
        EXPECT_EQ(it.geometry_count, 4);
    }
}

// ---- spot lights

// Position and target 10 units apart along +z.
std::unique_ptr<SPOTLITE> make_spot(float cos0, float cos1, float distance = 10) {
    auto s = rtc_make<SPOTLITE>();
    s->position = {1, 2, 3};
    s->target = {1, 2, 3 + distance};
    s->cone_cos[0] = cos0;
    s->cone_cos[1] = cos1;
    return s;
}

// Checks a closed circle of 16 points starting at g[first]; returns its points.
std::vector<Vec3d> expect_circle(const std::vector<WalkEvent>& g, size_t first, const Vec3d& centre,
                                 const Vec3d& axis, double radius) {
    std::vector<Vec3d> pts;
    EXPECT_GE(g.size(), first + 17);
    if (g.size() < first + 17) return pts;
    EXPECT_EQ(g[first].op, 'M');
    const double step = 2 * radius * std::sin(std::numbers::pi / 16);
    for (size_t i = first; i < first + 17; ++i) {
        if (i > first) {
            EXPECT_EQ(g[i].op, 'L') << i;
        }
        const Vec3d r = sub(g[i].p[0], centre);
        EXPECT_NEAR(len(r), radius, radius * 1e-5 + 1e-9) << i;
        EXPECT_NEAR(dot(r, axis) / len(axis), 0.0, radius * 1e-5 + 1e-9) << i;
        if (i > first) {
            EXPECT_NEAR(len(sub(g[i].p[0], g[i - 1].p[0])), step, radius * 1e-4) << i;
        }
        if (i < first + 16) pts.push_back(g[i].p[0]);
    }
    expect_point(g[first + 16].p[0], g[first].p[0], "circle closes");
    return pts;
}

TEST_F(ClassGlyph, SpotLightCone) {
    const double half_pi_less = std::tan(std::numbers::pi / 2 - 0.01);
    const struct {
        const char* name;
        float cos0, cos1, distance;
        double r0, r1;  // expected radii; r1 < 0: no second circle
    } cases[] = {
        {"30 and 45 degrees", 0.8660254f, 0.70710677f, 10, 10 * std::tan(std::acos(0.8660254f)),
         10},
        {"equal cones: one circle", 0.5f, 0.5f, 10, 10 * std::tan(std::acos(0.5f)), -1},
        {"right angle is taken just below it", 0.0f, 0.5f, 10, 10 * half_pi_less,
         10 * std::tan(std::acos(0.5f))},
        {"wide cone clamped to 30000", 0.0f, 0.8660254f, 1000, 30000,
         1000 * std::tan(std::acos(0.8660254f))},
        {"two cones clamped alike: one circle", 0.0f, 0.0005f, 1000, 30000, -1},
        {"obtuse cone: negative radius", -0.5f, 0.5f, 10, 10 * std::tan(std::acos(-0.5f)),
         10 * std::tan(std::acos(0.5f))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = make_spot(c.cos0, c.cos1, c.distance);
        RecordingIter it;
        EXPECT_EQ(s->walk(&it), 0);
        const auto g = it.geometry_events();
        const size_t want = 8 + 4 + 2 + 17 + 24 + (c.r1 < 0 ? 0 : 17);
        ASSERT_EQ(g.size(), want);
        const Vec3d pos = vd(s->position), tgt = vd(s->target), axis = sub(tgt, pos);

        expect_offsets(g, 0, s->position, kStar);
        expect_offsets(g, 8, s->target, kCross);
        expect_offsets(g, 12, s->position, {{'M', 0, 0}});
        expect_offsets(g, 13, s->target, {{'L', 0, 0}});

        const auto circle = expect_circle(g, 14, tgt, axis, std::abs(c.r0));
        ASSERT_EQ(circle.size(), 16u);
        // Spokes from every second point to the apex and on to the next but one.
        for (int k = 0; k < 8; ++k) {
            SCOPED_TRACE(k);
            const size_t e = 31 + 3 * k;
            EXPECT_EQ(std::string() + g[e].op + g[e + 1].op + g[e + 2].op, "MLL");
            expect_point(g[e].p[0], circle[2 * k]);
            expect_point(g[e + 1].p[0], pos);
            expect_point(g[e + 2].p[0], circle[(2 * k + 2) % 16]);
        }
        if (c.r1 >= 0) expect_circle(g, 55, tgt, axis, std::abs(c.r1));
    }
}

TEST_F(ClassGlyph, SpotLightPointsOnlyReportsTheTargetAsOnePoint) {
    auto s = make_spot(0.8f, 0.7f);
    RecordingIter it(kIterPointsOnly);
    s->walk(&it);
    const auto g = it.geometry_events();
    ASSERT_GE(g.size(), 2u);
    expect_offsets(g, 0, s->position, {{'M', 0, 0}});
    expect_offsets(g, 1, s->target, {{'M', 0, 0}});
    for (const auto& e : g) {
        EXPECT_EQ(e.dx, 0);
        EXPECT_EQ(e.dy, 0);
    }
}

TEST_F(ClassGlyph, SpotLightBoxHoldsTheCone) {
    auto s = make_spot(0.70710677f, 0.70710677f);  // 45 degrees: radius 10 at the target
    s->own_box();
    EXPECT_NEAR(s->box.min.z, 3, 1e-4);
    EXPECT_NEAR(s->box.max.z, 13, 1e-4);
    EXPECT_NEAR(s->box.max.x - s->box.min.x, 20, 1e-3);
    EXPECT_NEAR(s->box.max.y - s->box.min.y, 20, 1e-3);
}

}  // namespace
