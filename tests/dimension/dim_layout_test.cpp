// Layouts of the dimension kinds in the local plane: worked cases of the linear
// layouts (room for the text or not, the aligned cut), the radial and angular
// layouts, and random dimensions of every kind that must hold only finite points
// within reach of their input.
#include <cmath>
#include <random>

#include "commands/dimension/dim_layout.h"
#include "dim_fixture.h"
#include "model/math/scalar.h"

namespace {

class DimLayout : public DimFixture {
  protected:
    // Every line piece as its two end points.
    std::vector<std::pair<Vec3, Vec3>> segments() const {
        std::vector<std::pair<Vec3, Vec3>> out;
        for (XPLINE* x : of<XPLINE>()) {
            auto p = points(x);
            if (p.size() == 2 && x->width < 1.0f) out.push_back({p[0], p[1]});
        }
        return out;
    }
    int marks() const {
        int n = 0;
        for (XPLINE* x : of<XPLINE>()) n += points(x).size() == 3;
        return n;
    }
};

TEST_F(DimLayout, HorizontalWithTheTextInside) {
    dim_store_texts(nullptr, "30.00", "", "");
    ASSERT_EQ(dim_layout_linear(build_, kDimHorizontal, {0, 0, 0}, {30, 10, 0}, {15, 20, 0}), 0);
    auto texts = of<TEXT2>();
    ASSERT_EQ(texts.size(), 3u);  // the value and two empty tolerances
    EXPECT_EQ(texts[0]->text, "30.00");
    double w = dim_measure("30.00", 3.0) * 1.1;
    EXPECT_NEAR(texts[0]->insert.x, 15 - w / 2, 1e-4);  // centred on the text point
    EXPECT_EQ(marks(), 2);
    auto seg = segments();
    ASSERT_EQ(seg.size(), 4u);
    // Extension lines run 2.5 past the dimension line at y = 20.
    EXPECT_NEAR(seg[0].second.y, 22.5, 1e-4);
    EXPECT_NEAR(seg[1].second.y, 22.5, 1e-4);
    // Two pieces from the ends toward the text, stopping short of it.
    EXPECT_NEAR(seg[2].first.x, 0, 1e-4);
    EXPECT_NEAR(seg[3].first.x, 30, 1e-4);
    EXPECT_LT(seg[2].second.x, 15 - w / 2);
    EXPECT_GT(seg[3].second.x, 15 + w / 2);
}

TEST_F(DimLayout, ShortDistanceWithTheTextOutsideTurnsTheArrowsInward) {
    dim_store_texts(nullptr, "12.00", "", "");
    ASSERT_EQ(dim_layout_linear(build_, kDimHorizontal, {0, 0, 0}, {12, 0, 0}, {-20, 10, 0}), 0);
    std::vector<XPLINE*> heads;
    for (XPLINE* x : of<XPLINE>())
        if (points(x).size() == 3) heads.push_back(x);
    ASSERT_EQ(heads.size(), 2u);
    // The barbs of the mark at 0 lie left of it (open outside), those at 12 right.
    EXPECT_LT(points(heads[0])[0].x, 0);
    EXPECT_GT(points(heads[1])[0].x, 12);
    auto seg = segments();
    ASSERT_EQ(seg.size(), 4u);
    EXPECT_NEAR(seg[3].second.x, 12 + 6.75, 1e-4);  // 1.5 arrow sizes past the far end
}

TEST_F(DimLayout, AlignedWithEqualXTakesTheVerticalLayout) {
    dim_store_texts(nullptr, "20.00", "", "");
    ASSERT_EQ(dim_layout_linear(build_, kDimAligned, {5, 0, 0}, {5, 20, 0}, {15, 10, 0}), 0);
    auto seg = segments();
    ASSERT_EQ(seg.size(), 4u);
    EXPECT_NEAR(seg[0].second.x, 17.5, 1e-4);  // extension lines to the text's x plus the gap
    EXPECT_NEAR(seg[2].first.y, 0, 1e-4);
    EXPECT_NEAR(seg[3].first.y, 20, 1e-4);
}

TEST_F(DimLayout, SteepAlignedCutStaysAtTheTextBox) {
    // A line running steeply down to the right: the cut is where the line leaves the
    // text box, never more than half the text height along y.
    dim_store_texts(nullptr, "100.00", "", "");
    const Vec3 p1{0, 100, 0}, p2{1, 0, 0};
    ASSERT_EQ(dim_layout_linear(build_, kDimAligned, p1, p2, {30, 50, 0}), 0);
    for (auto& s : segments())
        for (const Vec3& p : {s.first, s.second}) {
            EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
            EXPECT_LT(std::fabs(p.y - 50), 200);
        }
    // The two pieces toward the text end within half the text height (2.5) of it.
    auto seg = segments();
    ASSERT_EQ(seg.size(), 4u);
    double nearest = 1e9;
    for (int i = 0; i < 2; ++i)
        for (const Vec3& p : {seg[i].first, seg[i].second}) nearest = std::min(nearest, std::fabs(p.y - 50.0));
    EXPECT_NEAR(nearest, 2.5, 0.05);
}

// Slanted aligned dimensions, every direction and the text point on either side: every
// line and mark lies on the text point's side of the measured points' line, and the
// dimension line passes at the text point's distance from it.
TEST_F(DimLayout, SlantedAlignedLinesLieOnTheTextPointsSide) {
    const Vec3 starts[][2] = {{{0, 0, 0}, {40, 30, 0}}, {{40, 30, 0}, {0, 0, 0}}, {{0, 0, 0}, {30, -40, 0}},
                              {{10, 50, 0}, {-20, 10, 0}}, {{0, 0, 0}, {50, 2, 0}}, {{0, 0, 0}, {2, -50, 0}}};
    for (const auto& [p1, p2] : starts)
        for (const double side : {1.0, -1.0})
            for (const double along : {0.5, -0.3, 1.4}) {
                SetUp();
                dim_store_texts(nullptr, "50.00", "", "");
                const double dx = p2.x - p1.x, dy = p2.y - p1.y, len = std::hypot(dx, dy);
                const double off = 15 * side;  // the text point's distance, signed
                const Vec3 t{float(p1.x + dx * along - dy / len * off), float(p1.y + dy * along + dx / len * off), 0};
                ASSERT_EQ(dim_layout_linear(build_, kDimAligned, p1, p2, t), 0);
                // Signed distance from the line p1-p2, positive on the text's side.
                auto dist = [&](const Vec3& p) { return ((p.y - p1.y) * dx - (p.x - p1.x) * dy) / len * side; };
                ASSERT_NEAR(dist(t), 15, 1e-3);
                double farthest = 0;
                for (XPLINE* x : of<XPLINE>())
                    for (const Vec3& p : points(x)) {
                        EXPECT_GT(dist(p), -1e-3) << p1.x << "," << p1.y << " side " << side << " along " << along;
                        farthest = std::max(farthest, dist(p));
                    }
                EXPECT_GE(farthest, 15 - 1e-3);
            }
}

TEST_F(DimLayout, RadiusDiameterAndAngleWorkedCases) {
    dim_store_texts(nullptr, "R10.00", "", "");
    ASSERT_EQ(dim_layout_radius(build_, kDimRadius1, {0, 0, 0}, 10, {30, 5, 0}), 0);
    EXPECT_EQ(marks(), 1);
    EXPECT_EQ(of<TEXT2>().size(), 3u);
    SetUp();
    dim_store_texts(nullptr, "\x04" "20.00", "", "");
    ASSERT_EQ(dim_layout_diameter(build_, {0, 0, 0}, 10, {2, 1, 0}), 0);
    EXPECT_EQ(marks(), 2);
    SetUp();
    dim_store_texts(nullptr, "20\x07 0'", "", "");
    const double a1 = 350 * kPi / 180, a2 = 10 * kPi / 180;
    ASSERT_EQ(dim_layout_angular(build_, {0, 0, 0}, {float(20 * std::cos(a1)), float(20 * std::sin(a1)), 0},
                                 {float(20 * std::cos(a2)), float(20 * std::sin(a2)), 0}, {40, 0, 0}),
              0);
    // The text does not fit inside the 20 degrees at radius 40: two short arcs
    // outside the angle, across zero, at the text's distance.
    auto arcs = of<ELARC>();
    ASSERT_EQ(arcs.size(), 2u);
    EXPECT_EQ(marks(), 2);
    EXPECT_NEAR(arcs[0]->axis1.x - arcs[0]->centre.x, 40, 1e-3);
    EXPECT_NEAR(arcs[0]->start, a1 - 9.0 / 40, 1e-6);
    EXPECT_NEAR(arcs[0]->end, a1, 1e-6);
    EXPECT_NEAR(arcs[1]->start, a2 + kTwoPi, 1e-6);
}

TEST_F(DimLayout, ArrowKindNoneAddsOnlyLinesAndTexts) {
    dim_set_arrows(4);
    dim_store_texts(nullptr, "30.00", "", "");
    ASSERT_EQ(dim_layout_linear(build_, kDimHorizontal, {0, 0, 0}, {30, 0, 0}, {15, 10, 0}), 0);
    EXPECT_EQ(marks(), 0);
    EXPECT_EQ(of<XPLINE>().size(), 4u);
    SetUp();
    dim_set_leader(0);
    ASSERT_EQ(dim_layout_arrows(build_, kDimArrowBoth, {0, 0, 0}, {10, 5, 0}), 0);
    EXPECT_EQ(marks(), 2);
    EXPECT_TRUE(of<TEXT2>().empty());
}

// Random dimensions of every kind, with arrow size 0 and a small text height among
// the settings, hold only finite coordinates within reach of their points.
TEST_F(DimLayout, RandomDimensionsHoldOnlyFinitePointsInABoundedBox) {
    std::mt19937 rng(21);
    std::uniform_real_distribution<double> coord(-100, 100);
    std::uniform_int_distribution<int> pick(0, 9);
    auto rnd = [&] { return Vec3{float(coord(rng)), float(coord(rng)), 0}; };
    for (int i = 0; i < 600; ++i) {
        SetUp();
        const int mode = pick(rng) % 9;
        dim_set_text_mode(i % 2);
        dim_set_arrows(i % 5);
        dim_set_dframe(i % 4);
        view_->dimension_values[kDimArrowSize] = i % 3 == 0 ? 0.0 : 4.5;
        view_->dimension_values[kDimTextHeight] = i % 4 == 0 ? 0.3 : 5.0;
        view_->dimension_values[kDimTextWidth] = view_->dimension_values[kDimTextHeight] * kDimWidthRatio;
        dim_store_texts(nullptr, "12.34", i % 7 == 0 ? "0.1" : "", i % 5 == 0 ? "0.2" : "");
        const Vec3 a = rnd(), b = i % 11 == 0 ? a : rnd(), t = i % 13 == 0 ? a : rnd();
        dim_set_text_angle(angle_about(a, b));
        int code = 0;
        if (mode <= 2)
            code = dim_layout_linear(build_, mode, a, b, t);
        else if (mode <= 4)
            code = dim_layout_radius(build_, mode, a, 0.01 + std::fabs(b.x), t);
        else if (mode == 5)
            code = dim_layout_diameter(build_, a, 0.01 + std::fabs(b.x), t);
        else if (mode <= 7)
            code = dim_layout_angular(build_, a, b, rnd(), t);
        else
            code = dim_layout_arrows(build_, kDimArrowBoth, a, b);
        ASSERT_EQ(code, 0) << i;
        for (XPLINE* x : of<XPLINE>())
            for (const Vec3& p : points(x)) {
                ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << i << " mode " << mode;
                ASSERT_LT(std::fabs(p.x) + std::fabs(p.y), 2000) << i << " mode " << mode;
            }
        for (ELARC* e : of<ELARC>()) {
            ASSERT_TRUE(std::isfinite(e->centre.x) && std::isfinite(e->axis1.x) && std::isfinite(e->start) &&
                        std::isfinite(e->end));
        }
        for (TEXT2* tx : of<TEXT2>()) ASSERT_TRUE(std::isfinite(tx->insert.x) && std::isfinite(tx->insert.y));
    }
}

}  // namespace
