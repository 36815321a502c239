// Geometric queries: clockwise contours, the plane of a chain, the window test,
// the nearest crossing of two polylines, centres, and the bulk change of styles
// and style parameters.
#include "geom_support.h"
#include "model/geom/query.h"
#include "model/geom/regen.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/math/scalar.h"

namespace {

std::vector<std::pair<float, float>> xy(const PointNode* list) {
    std::vector<std::pair<float, float>> out;
    for (const Pt& p : points_of(list)) out.push_back({p.x, p.y});
    return out;
}

TEST_F(GeomTest, ContoursComeBackClockwise) {
    using XY = std::vector<std::pair<float, float>>;
    struct Case {
        std::vector<Vec3> in;
        XY out;
    } cases[] = {
        // Counter-clockwise square: reversed.
        {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1}, {1, 1}, {1, 0}, {0, 0}}},
        // Clockwise: unchanged.
        {{{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}, {{0, 0}, {0, 1}, {1, 1}, {1, 0}}},
        // Vertical left edge reached at its top: the turn is taken after the edge.
        {{{0, 2, 0}, {0, 0, 0}, {3, 0, 0}, {3, 2, 0}}, {{3, 2}, {3, 0}, {0, 0}, {0, 2}}},
        // Counter-clockwise, a vertical left edge followed by an inner corner: the
        // turn is taken at the edge's last vertex, which is convex.
        {{{0, 0, 0}, {1, 1, 0}, {3, 0, 0}, {3, 3, 0}, {0, 3, 0}},
         {{0, 3}, {3, 3}, {3, 0}, {1, 1}, {0, 0}}},
        // A notch on the left: only the leftmost corner decides.
        {{{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}, {2, 2, 0}}, {{2, 2}, {0, 4}, {4, 4}, {4, 0}, {0, 0}}},
    };
    for (const auto& c : cases) {
        PointNode* open = make_list(c.in);
        contour_make_cw(&open);
        EXPECT_EQ(xy(open), c.out);
        EXPECT_FALSE(plist_is_closed(open));
        list_free(&open);

        PointNode* ring = make_list(c.in);
        PointNode* last = ring;
        while (last->next) last = last->next;
        last->next = ring;
        contour_make_cw(&ring);
        EXPECT_TRUE(plist_is_closed(ring));
        EXPECT_EQ(xy(ring), c.out);
        list_free(&ring);
    }
    PointNode* two = make_list({{1, 0, 0}, {0, 0, 0}});
    contour_make_cw(&two);
    EXPECT_EQ(xy(two), (XY{{1, 0}, {0, 0}}));
    list_free(&two);
}

TEST_F(GeomTest, PlaneOfAChain) {
    Vec3d n;
    struct Case {
        std::vector<Vec3> pts;
        int result;
        Vec3d normal;
    } cases[] = {
        {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, 1, {0, 0, 1}},
        {{{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}, 0, {}},
        {{{0, 0, 0}, {1, 0, 0}}, 0, {}},
        // A point straight behind the first is as collinear as one in front.
        {{{0, 0, 0}, {1, 0, 0}, {-1, 0, 0}}, 0, {}},
        // A repeated first point does not hide the plane.
        {{{0, 0, 0}, {0, 0, 0}, {0, 2, 0}, {0, 2, 2}}, 1, {4, 0, 0}},
    };
    for (const auto& c : cases) {
        PointNode* l = make_list(c.pts);
        Matrix43 to, from;
        double offset = -1;
        EXPECT_EQ(chain_plane(l, &n, &to, &from, &offset), c.result);
        if (c.result) {
            EXPECT_NEAR(n.x, c.normal.x, 1e-9);
            EXPECT_NEAR(n.y, c.normal.y, 1e-9);
            EXPECT_NEAR(n.z, c.normal.z, 1e-9);
            EXPECT_NEAR(offset, 0, 1e-6);
            // Every point of the chain lands at the same z in the plane frame.
            for (const Pt& p : points_of(l)) {
                Vec3 v{p.x, p.y, p.z};
                mat_xform_point(&v, &v, &to);
                EXPECT_NEAR(v.z, offset, 1e-5);
            }
        }
        list_free(&l);
    }
}

TEST_F(GeomTest, WindowTestCountsTouchingAsOverlap) {
    const Vec3 lo{0, 0, 0}, hi{10, 10, 0};
    EXPECT_EQ(box_disjoint_2d({10, 5, 0}, {12, 5, 0}, lo, hi), 0);   // touches the right edge
    EXPECT_EQ(box_disjoint_2d({-3, -3, 0}, {0, 0, 0}, lo, hi), 0);   // touches a corner
    EXPECT_EQ(box_disjoint_2d({11, 0, 0}, {12, 20, 0}, lo, hi), 1);
    EXPECT_EQ(box_disjoint_2d({-5, 11, 0}, {15, 12, 0}, lo, hi), 1);
    EXPECT_EQ(box_disjoint_2d({-5, -5, 0}, {15, 15, 0}, lo, hi), 0);  // spans the window
}

TEST_F(GeomTest, NearestCrossingOfTwoPolylines) {
    auto a = rtc_make<XPLINE>();
    auto b = rtc_make<XPLINE>();
    // A: y = 0 from 0 to 1 and x = 5 upwards; B: a segment of x = 3 high above.
    a->control = make_list({{0, 0, 0}, {1, 0, 0}, {5, 0, 0}, {5, 1, 0}});
    b->control = make_list({{3, 10, 7}, {3, 11, 7}});
    Vec3 p{0, 0, 0};
    ASSERT_EQ(xpline_intersection_near(a.get(), b.get(), &p), 1);
    EXPECT_FLOAT_EQ(p.x, 3);  // the extensions meet at (3, 0)
    EXPECT_FLOAT_EQ(p.y, 0);
    EXPECT_FLOAT_EQ(p.z, 7);  // z from B
    p = {6, 6, 0};
    ASSERT_EQ(xpline_intersection_near(a.get(), b.get(), &p), 1);
    EXPECT_FLOAT_EQ(p.y, 0);
    // Parallel lines never cross; a spline is not a polyline.
    auto c = rtc_make<XPLINE>();
    c->control = make_list({{0, 1, 0}, {1, 1, 0}});
    auto d = rtc_make<XPLINE>();
    d->control = make_list({{0, 2, 0}, {1, 2, 0}});
    EXPECT_EQ(xpline_intersection_near(c.get(), d.get(), &p), 0);
    b->kind = 1;
    EXPECT_EQ(xpline_intersection_near(a.get(), b.get(), &p), 0);
    auto e = rtc_make<ELARC>();
    EXPECT_EQ(xpline_intersection_near(a.get(), e.get(), &p), 0);
}

TEST_F(GeomTest, CentresOfLineWork) {
    Vec3 out{-1, -1, -1};
    auto poly = rtc_make<XPLINE>();
    poly->control = make_list({{0, 0, 0}, {2, 0, 0}, {2, 2, 0}});
    object_center(poly.get(), &out);  // midpoints (1,0) and (2,1)
    EXPECT_FLOAT_EQ(out.x, 1.5f);
    EXPECT_FLOAT_EQ(out.y, 0.5f);
    // A solid-drawn arc has no runs: its flattened points stand in.
    auto arc = rtc_make<ELARC>();
    arc->flags = kElarcCircular;
    arc->centre = {0, 0, 0};
    arc->axis1 = {1, 0, 0};
    arc->axis2 = {0, 1, 0};
    arc->end = kTwoPi;
    ASSERT_EQ(regen_object(arc.get()), 0);
    out = {5, 5, 5};
    object_center(arc.get(), &out);
    EXPECT_NEAR(out.x, 0, 0.05);
    EXPECT_NEAR(out.y, 0, 0.05);
    // Nothing to say about an empty group: left unchanged.
    auto grp = rtc_make<CONTAINER>();
    out = {5, 5, 5};
    object_center(grp.get(), &out);
    EXPECT_FLOAT_EQ(out.x, 5);
}

class PattParamsTest : public GeomTest {
  protected:
    void SetUp() override {
        GeomTest::SetUp();
        group = rtc_make<CONTAINER>();
        for (int i = 0; i < 3; ++i) {
            auto h = rtc_make<HATCH>();
            h->contours[0] = make_set({rect(float(i), 0, float(i) + 1, 1)});
            hatches.push_back(h.get());
            EXPECT_EQ(container_insert(group.get(), h.release()), 0);
        }
    }
    std::unique_ptr<CONTAINER> group;
    std::vector<HATCH*> hatches;
};

TEST_F(PattParamsTest, NewHatchPatternAndScaleOnAGroup) {
    auto patt = make_hatchpatt({HatchLine{0, 0, 0, 0, 0.1, {}}});
    // The root is a container: its values are f, b, c; give the hatch root's
    // meaning through a hatch root instead.
    EXPECT_EQ(objects_set_patt_params(hatches[0], patt.get(), -1, -1, 2, -1, -1, -1), 0);
    EXPECT_EQ(hatches[0]->pattern, patt.get());
    EXPECT_EQ(hatches[0]->values[0], 2);
    EXPECT_NE(hatches[0]->strokes, nullptr);

    for (HATCH* h : hatches) h->values[0] = 1;
    ASSERT_EQ(objects_set_patt_params(group.get(), patt.get(), 0.5, -5, -1, -1, -1, 2), 0);
    for (HATCH* h : hatches) {
        EXPECT_EQ(h->pattern, patt.get());
        EXPECT_EQ(h->second, 2);       // f: the pattern scale of the WIRE level
        EXPECT_FLOAT_EQ(h->width, 0.5f);
        EXPECT_NE(h->strokes, nullptr);  // regenerated with the pattern
        EXPECT_NE(h->contours[2], nullptr);
    }
}

TEST_F(PattParamsTest, AnglesMayBeNegativeAndErrorsAreReported) {
    auto patt = make_hatchpatt({HatchLine{0, 0, 0, 0, 0.1, {}}});
    HATCH* h = hatches[0];
    ASSERT_EQ(objects_set_patt_params(h, patt.get(), -1, -0.5, 1, -1, -1, -1), 0);
    EXPECT_DOUBLE_EQ(h->values[1], -0.5);
    // At or below -4 the angle stays as it was.
    ASSERT_EQ(objects_set_patt_params(h, patt.get(), -1, -4, 1, -1, -1, -1), 0);
    EXPECT_DOUBLE_EQ(h->values[1], -0.5);

    // Nothing given: nothing happens.
    EXPECT_EQ(objects_set_patt_params(group.get(), nullptr, -1, 0, 0, -1, -1, -1), 0);

    // A failing object in the middle of the walk is not hidden by later successes.
    plist_list_free(&hatches[1]->contours[0]);
    hatches[1]->contours[0] = make_set({{{0, 0, 0}, {1, 1, 0}, {2, 2, 0}}});  // no plane
    EXPECT_EQ(objects_set_patt_params(group.get(), patt.get(), -1, -1, -1, -1, -1, -1),
              kBadArgument);
    EXPECT_EQ(hatches[2]->pattern, patt.get());
}

TEST_F(GeomTest, TextParametersAndUnchangedWires) {
    auto text = rtc_make<TEXT2>();
    auto font = make_patt<FONTPATT>("F");
    ASSERT_EQ(objects_set_patt_params(text.get(), font.get(), -1, 0.25, -0.1, 3, 4, -1), 0);
    EXPECT_EQ(text->font, font.get());
    EXPECT_DOUBLE_EQ(text->layout[kText2Direction], 0.25);
    EXPECT_DOUBLE_EQ(text->layout[kText2Slant], -0.1);
    EXPECT_DOUBLE_EQ(text->layout[kText2Width], 3);
    EXPECT_DOUBLE_EQ(text->layout[kText2Height], 4);

    // A line whose resolution already matches still takes a new pattern scale.
    auto style = make_linepatt({1, 1});
    auto line = rtc_make<XPLINE>();
    line->control = make_list({{0, 0, 0}, {10, 0, 0}});
    line->line_style = style.get();
    ASSERT_EQ(regen_object(line.get()), 0);
    ASSERT_EQ(runs_of(line->strokes)[0].size(), 10u);  // five dashes of 1
    ASSERT_EQ(objects_set_patt_params(line.get(), nullptr, -1, 0, line->curve_step, -1, -1, 2), 0);
    EXPECT_EQ(line->second, 2);
    EXPECT_EQ(runs_of(line->strokes)[0].size(), 6u);  // three dashes of 2
}

}  // namespace
