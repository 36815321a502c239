// Regeneration of display geometry: dashes carried around corners, flattened
// ellipses, arcs and splines, text strokes at their font size, cameras,
// containers, and parameters from files that must neither hang nor fail.

#include "geom_support.h"
#include "model/db/solid.h"
#include "model/font/strokefont.h"
#include "model/geom/regen.h"
#include "model/math/result.h"
#include "model/math/scalar.h"

namespace {

using Dash = std::pair<Vec3, Vec3>;

// The dashes of one run list: pairs of points, the second carrying the break bit.
std::vector<Dash> dashes_of(const PtrNode* runs) {
    std::vector<Dash> out;
    for (const auto& run : runs_of(runs)) {
        for (size_t i = 0; i + 1 < run.size(); i += 2) {
            EXPECT_EQ(run[i].flags & kPointMoveNext, 0u);
            EXPECT_NE(run[i + 1].flags & kPointMoveNext, 0u);
            out.push_back({Vec3{run[i].x, run[i].y, run[i].z},
                           Vec3{run[i + 1].x, run[i + 1].y, run[i + 1].z}});
        }
    }
    return out;
}

void expect_near(const Vec3& a, const Vec3& b, double tol = 1e-5) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

class RegenTest : public GeomTest {
  protected:
    void SetUp() override {
        GeomTest::SetUp();
        model = rtc_make<MODEL>();
        layer = static_cast<CONTAINER*>(model->first_child());
    }
    template <class T>
    T* add() {
        auto o = rtc_make<T>();
        T* raw = o.release();
        EXPECT_EQ(container_insert(layer, raw), 0);
        return raw;
    }
    XPLINE* polyline(std::initializer_list<Vec3> pts, const LINEPATT* style, double scale = 1) {
        XPLINE* x = add<XPLINE>();
        x->control = make_list(pts);
        x->line_style = const_cast<LINEPATT*>(style);
        x->second = scale;
        return x;
    }
    std::unique_ptr<MODEL> model;
    CONTAINER* layer = nullptr;
};

TEST_F(RegenTest, DashesRunOnAroundCorners) {
    auto dash2gap1 = make_linepatt({2, 1});
    XPLINE* x = polyline({{0, 0, 0}, {3, 0, 0}, {3, 3, 0}}, dash2gap1.get());
    ASSERT_EQ(regen_object(x), 0);
    // The gap ends exactly at the corner; the next segment starts with it again.
    auto d = dashes_of(x->strokes);
    ASSERT_EQ(d.size(), 2u);
    expect_near(d[0].first, {0, 0, 0});
    expect_near(d[0].second, {2, 0, 0});
    expect_near(d[1].first, {3, 1, 0});
    expect_near(d[1].second, {3, 3, 0});

    // A dash cut short by a vertex carries its remainder on.
    auto long_dash = make_linepatt({2.5, 1});
    XPLINE* y = polyline({{0, 0, 0}, {1, 0, 0}, {1, 3, 0}}, long_dash.get());
    ASSERT_EQ(regen_object(y), 0);
    d = dashes_of(y->strokes);
    ASSERT_EQ(d.size(), 3u);
    expect_near(d[0].first, {0, 0, 0});
    expect_near(d[0].second, {1, 0, 0});
    expect_near(d[1].first, {1, 0, 0});
    expect_near(d[1].second, {1, 1.5, 0});
    expect_near(d[2].first, {1, 2.5, 0});
    expect_near(d[2].second, {1, 3, 0});

    // The pattern scale stretches every element.
    XPLINE* z = polyline({{0, 0, 0}, {10, 0, 0}}, dash2gap1.get(), 2.0);
    ASSERT_EQ(regen_object(z), 0);
    d = dashes_of(z->strokes);
    ASSERT_EQ(d.size(), 2u);
    expect_near(d[1].first, {6, 0, 0});
    expect_near(d[1].second, {10, 0, 0});
}

TEST_F(RegenTest, SolidStylesHaveNoRuns) {
    auto solid = make_linepatt({});
    XPLINE* a = polyline({{0, 0, 0}, {5, 0, 0}}, solid.get());
    XPLINE* b = polyline({{0, 0, 0}, {5, 0, 0}}, nullptr);
    a->strokes = nullptr;
    ASSERT_EQ(regen_object(a), 0);
    ASSERT_EQ(regen_object(b), 0);
    EXPECT_EQ(a->strokes, nullptr);
    EXPECT_EQ(b->strokes, nullptr);
    // The box and the model's modified flag follow a regeneration.
    EXPECT_FLOAT_EQ(b->box.max.x, 5);
    EXPECT_EQ(model->modified, 1);
}

TEST_F(RegenTest, DegenerateDashPatternsDrawSolid) {
    struct Case {
        std::vector<double> dashes;
        double scale;
    } cases[] = {
        {{1, 1}, 0.0},           // scale 0: the pattern never advances
        {{1, 1}, NAN},           // scale from a damaged file
        {{0, 0}, 1.0},           // zero-length pattern
        {{1, 1}, 1e-9},          // billions of dashes over the chain
        {{1, 1}, -1.0},          // a negative scale draws like a positive one
    };
    for (const auto& c : cases) {
        auto style = make_linepatt(c.dashes);
        XPLINE* x = polyline({{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}}, style.get(), c.scale);
        ASSERT_EQ(regen_object(x), 0);
        if (c.scale == -1.0)
            EXPECT_EQ(dashes_of(x->strokes).size(), 1000u);
        else
            EXPECT_EQ(x->strokes, nullptr) << "scale " << c.scale;
    }
}

TEST_F(RegenTest, EllipsesFlattenInTheirPlane) {
    struct Case {
        Vec3 centre, a1, a2;
    } cases[] = {
        {{1, 2, 0}, {4, 2, 0}, {1, 4, 0}},            // axis-aligned
        {{0, 0, 0}, {3, 3, 0}, {-1, 1, 0}},           // turned by 45 degrees
        {{0, 0, 5}, {3, 0, 5}, {0, 0, 7}},            // in a vertical plane
        {{1, 1, 1}, {-2, 1, 1}, {1, -1, 1}},          // first axis along -X
    };
    for (const auto& c : cases) {
        ELARC* e = add<ELARC>();
        e->flags = kElarcWholeEllipse;
        e->centre = c.centre;
        e->axis1 = c.a1;
        e->axis2 = c.a2;
        e->curve_step = kTwoPi / 8;
        ASSERT_EQ(regen_object(e), 0);
        auto pts = points_of(e->points);
        ASSERT_EQ(pts.size(), 9u);
        // Every point satisfies the ellipse equation in the frame of its axes.
        Vec3d u{c.a1.x - c.centre.x, c.a1.y - c.centre.y, c.a1.z - c.centre.z};
        Vec3d v{c.a2.x - c.centre.x, c.a2.y - c.centre.y, c.a2.z - c.centre.z};
        double ru2 = u.x * u.x + u.y * u.y + u.z * u.z, rv2 = v.x * v.x + v.y * v.y + v.z * v.z;
        bool hits_axis1 = false;
        for (const Pt& p : pts) {
            Vec3d d{p.x - c.centre.x, p.y - c.centre.y, p.z - c.centre.z};
            double s = (d.x * u.x + d.y * u.y + d.z * u.z) / ru2;
            double t = (d.x * v.x + d.y * v.y + d.z * v.z) / rv2;
            EXPECT_NEAR(s * s + t * t, 1.0, 1e-5);
            if (std::fabs(s - 1) < 1e-5) hits_axis1 = true;
        }
        EXPECT_TRUE(hits_axis1);
    }
}

TEST_F(RegenTest, EllipticalArcStartsAtItsStartAngle) {
    // First axis along -X: the arc from 0 to a quarter turn starts at the axis
    // point and ends on the second axis side (here -Y after the half turn).
    ELARC* e = add<ELARC>();
    e->centre = {5, 5, 0};
    e->axis1 = {2, 5, 0};  // r1 = 3 towards -X
    e->axis2 = {5, 3, 0};  // r2 = 2
    e->start = 0;
    e->end = kPi / 2;
    e->curve_step = kTwoPi / 16;
    ASSERT_EQ(regen_object(e), 0);
    auto pts = points_of(e->points);  // built by prepending: end first
    ASSERT_GE(pts.size(), 3u);
    expect_near({pts.back().x, pts.back().y, pts.back().z}, {2, 5, 0});
    expect_near({pts.front().x, pts.front().y, pts.front().z}, {5, 3, 0});
}

TEST_F(RegenTest, CircularArcFlattening) {
    ELARC* e = add<ELARC>();
    e->flags = kElarcCircular;
    e->centre = {0, 0, 1};
    e->axis1 = {2, 0, 1};
    e->axis2 = {0, 2, 1};
    e->start = 0;
    e->end = kPi / 2;
    e->curve_step = kPi / 8;
    ASSERT_EQ(regen_object(e), 0);
    auto pts = points_of(e->points);
    ASSERT_EQ(pts.size(), 6u);  // the start lies on the step grid: it appears twice
    for (const Pt& p : pts) {
        EXPECT_NEAR(std::hypot(p.x, p.y), 2.0, 1e-5);
        EXPECT_NEAR(p.z, 1.0, 1e-6);
    }
    expect_near({pts.back().x, pts.back().y, pts.back().z}, {2, 0, 1});
    expect_near({pts.front().x, pts.front().y, pts.front().z}, {0, 2, 1});
}

TEST_F(RegenTest, CurveResolutionsFromFilesAreMadeSafe) {
    const double steps[] = {0.0, -1.0, NAN, INFINITY, 1e-300, 4.0};
    for (double step : steps) {
        for (int32_t flags : {kElarcWholeEllipse, 0, kElarcCircular}) {
            ELARC* e = add<ELARC>();
            e->flags = flags;
            e->centre = {0, 0, 0};
            e->axis1 = {1, 0, 0};
            e->axis2 = {0, 1, 0};
            e->end = kPi;
            e->curve_step = step;
            ASSERT_EQ(regen_object(e), 0) << "step " << step << " flags " << flags;
            int n = plist_count(e->points);
            EXPECT_GE(n, 3);
            EXPECT_LE(n, kRegenMaxPoints);
        }
        // Angles far beyond a turn (a damaged file) still finish.
        ELARC* far = add<ELARC>();
        far->centre = {0, 0, 0};
        far->axis1 = {2, 0, 0};
        far->axis2 = {0, 1, 0};
        far->start = 1e300;
        far->curve_step = step;
        EXPECT_EQ(regen_object(far), 0);
        EXPECT_LE(plist_count(far->points), kRegenMaxPoints + 2);
        XPLINE* s = polyline({{0, 0, 0}, {10, 10, 0}, {20, 0, 0}}, nullptr);
        s->kind = 1;
        s->curve_step = step;
        ASSERT_EQ(regen_object(s), 0);
        EXPECT_GE(plist_count(s->points), 2);
        EXPECT_LE(plist_count(s->points), kRegenMaxPoints);
    }
}

TEST_F(RegenTest, SplineSampling) {
    XPLINE* one = polyline({{3, 4, 5}}, nullptr);
    one->kind = 1;
    ASSERT_EQ(regen_object(one), 0);
    auto p = points_of(one->points);
    ASSERT_EQ(p.size(), 1u);
    expect_near({p[0].x, p[0].y, p[0].z}, {3, 4, 5});

    // Collinear control points give a straight line sampled every step, the last
    // control vertex exactly.
    XPLINE* line = polyline({{0, 0, 0}, {4, 0, 0}, {10, 0, 0}}, nullptr);
    line->kind = 1;
    line->curve_step = 3;
    ASSERT_EQ(regen_object(line), 0);
    p = points_of(line->points);  // last first
    ASSERT_EQ(p.size(), 4u);      // u = 0, 3, 6, then the end
    expect_near({p[0].x, p[0].y, p[0].z}, {10, 0, 0});
    expect_near({p[1].x, p[1].y, p[1].z}, {6, 0, 0}, 1e-4);
    expect_near({p[3].x, p[3].y, p[3].z}, {0, 0, 0});

    // A curved spline runs through its middle control vertex at that vertex's
    // chord parameter and stays smooth; a dashed style cuts the samples.
    auto dashed = make_linepatt({1, 1});
    XPLINE* arch = polyline({{0, 0, 0}, {5, 5, 0}, {10, 0, 0}}, dashed.get());
    arch->kind = 1;
    arch->curve_step = std::hypot(5.0, 5.0);
    ASSERT_EQ(regen_object(arch), 0);
    p = points_of(arch->points);
    ASSERT_EQ(p.size(), 3u);
    expect_near({p[1].x, p[1].y, p[1].z}, {5, 5, 0}, 1e-4);
    EXPECT_FALSE(dashes_of(arch->strokes).empty());
}

// A font of 10 x 10 design units whose 'A' is an L of two strokes.
StrokeFont* make_l_font() {
    StrokeFont* f = font_new();
    f->design_width = 10;
    f->design_height = 10;
    f->advance['A'] = 10;
    (void)glyph_alloc(&f->glyphs['A'], 2);
    f->glyphs['A'].strokes[0] = {0, 0, 10, 0};
    f->glyphs['A'].strokes[1] = {10, 0, 10, 10};
    return f;
}

TEST_F(RegenTest, TextDrawsAtTwoFiftyByOneTwentyFive) {
    auto fp = make_patt<FONTPATT>("L");
    fp->font = make_l_font();
    TEXT2* t = add<TEXT2>();
    t->font = fp.get();
    t->text = "AA";
    t->insert = {1, 1, 3};
    t->layout[kText2Width] = 2;
    t->layout[kText2Height] = 1;
    ASSERT_EQ(regen_object(t), 0);
    EXPECT_EQ(fp->font->char_width, 250);
    EXPECT_EQ(fp->font->char_height, 125);
    // Strokes that continue the latest run join it: the first letter's foot
    // stands alone, its upright and the whole second letter (one advance, the
    // width 2, further on) make one run of four points.
    auto runs = runs_of(t->strokes);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].size(), 4u);
    EXPECT_EQ(runs[1].size(), 2u);
    std::vector<Vec3> xs;
    for (const auto& r : runs) {
        for (const Pt& q : r) {
            EXPECT_FLOAT_EQ(q.z, 3);
            xs.push_back({q.x, q.y, q.z});
        }
    }
    auto has = [&](Vec3 v) {
        for (const Vec3& q : xs)
            if (std::fabs(q.x - v.x) < 1e-5 && std::fabs(q.y - v.y) < 1e-5) return true;
        return false;
    };
    EXPECT_TRUE(has({1, 1, 3}));
    EXPECT_TRUE(has({3, 1, 3}));
    EXPECT_TRUE(has({3, 2, 3}));
    EXPECT_TRUE(has({5, 1, 3}));
    EXPECT_TRUE(has({5, 2, 3}));

    // Turned onto the plane x = 1 (normal +X): every point keeps x = 1.
    text2_set_normal(*t, Vec3d{1, 0, 0});
    t->insert = {1, 0, 0};
    ASSERT_EQ(regen_object(t), 0);
    for (const auto& r : runs_of(t->strokes))
        for (const Pt& q : r) EXPECT_NEAR(q.x, 1.0, 1e-5);

    // A text without a usable size draws nothing and does not fail.
    for (double w : {0.0, -1.0, double(NAN)}) {
        t->layout[kText2Width] = w;
        t->layout[kText2Height] = w;
        EXPECT_EQ(regen_object(t), 0);
        EXPECT_EQ(t->strokes, nullptr);
    }
}

TEST_F(RegenTest, ContainerStopsAtTheFirstFailingChild) {
    auto group = rtc_make<CONTAINER>();
    CONTAINER* g = group.get();
    EXPECT_EQ(container_insert(layer, group.release()), 0);
    auto style = make_linepatt({1, 1});
    auto child = [&](object* o) {
        obj_remove(o);
        EXPECT_EQ(container_insert(g, o), 0);
    };
    XPLINE* first = polyline({{0, 0, 0}, {4, 0, 0}}, style.get());
    ELARC* bad = add<ELARC>();
    bad->centre = {0, 0, 0};
    bad->axis1 = {1, 0, 0};
    bad->axis2 = {0, 1, 0};
    bad->start = NAN;  // an elliptical arc without a start cannot be drawn
    XPLINE* last = polyline({{0, 0, 0}, {4, 0, 0}}, style.get());
    child(first);
    child(bad);
    child(last);
    EXPECT_EQ(regen_object(g), kBadArgument);
    EXPECT_NE(first->strokes, nullptr);
    EXPECT_EQ(last->strokes, nullptr);
    bad->start = 0;
    EXPECT_EQ(regen_object(g), 0);
    EXPECT_NE(last->strokes, nullptr);
}

TEST_F(RegenTest, CameraTakesItsKeyedLens) {
    CAMERA* cam = add<CAMERA>();
    cam->position = {0, -10, 0};
    cam->target = {0, 0, 0};
    cam->up = {0, 0, 1};
    cam->lens = 0.5;
    cam->keys = new CameraKeys;
    cam->keys->flags[1] = 1;
    ASSERT_EQ(regen_object(cam), 0);
    EXPECT_NEAR(cam->keys->current[1], 90.0, 1e-4);
    EXPECT_EQ(cam->keys->current[0], 0.0f);
}

}  // namespace
