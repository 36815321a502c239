// The pieces of a dimension: end marks of every kind (and none where there is no
// direction), frames, the text direction, tolerance layout and text measuring.
#include <cmath>
#include <string>

#include "dim_fixture.h"
#include "model/db/patt.h"
#include "model/geom/regen.h"
#include "model/math/result.h"
#include "model/math/scalar.h"

namespace {

using DimGeometry = DimFixture;

TEST_F(DimGeometry, EndMarksOfEveryKind) {
    // Default arrow size 4.5, line width 0.4; tip (0, 20), open toward +x.
    const Vec3 tip{0, 20, 0}, toward{10, 20, 0};
    struct Row {
        int kind;
        int objects, points, subtype;
        float width;
    } rows[] = {{0, 1, 3, 2, 0.4f}, {1, 1, 3, 0, 0.4f}, {2, 1, 2, 0, 2.0f}, {3, 1, 2, 0, 0.4f},
                {4, 0, 0, 0, 0}, {-1, 0, 0, 0, 0}, {9, 0, 0, 0, 0}};
    for (const Row& r : rows) {
        SetUp();
        ASSERT_EQ(dim_add_arrow(build_, tip, toward, r.kind), 0) << r.kind;
        auto lines = of<XPLINE>();
        ASSERT_EQ(static_cast<int>(lines.size()), r.objects) << r.kind;
        if (!r.objects) continue;
        const auto pts = points(lines[0]);
        ASSERT_EQ(static_cast<int>(pts.size()), r.points);
        EXPECT_EQ(lines[0]->kind, r.subtype);
        EXPECT_FLOAT_EQ(lines[0]->width, r.width);
        EXPECT_EQ(lines[0]->colour, 1);
        if (r.kind <= 1) {
            EXPECT_NEAR(pts[0].x, 4.5, 1e-4);
            EXPECT_NEAR(pts[0].y, 20 - 1.2128, 1e-4);
            EXPECT_NEAR(pts[2].x, 4.5, 1e-4);
            EXPECT_NEAR(pts[2].y, 20 + 1.2128, 1e-4);
            EXPECT_EQ(pts[1].x, 0);
        } else if (r.kind == 3) {
            EXPECT_NEAR(pts[0].x, -4.5 * 0.7071, 1e-4);
            EXPECT_NEAR(pts[0].y, 20 - 4.5 * 0.7071, 1e-4);
        }
    }
}

TEST_F(DimGeometry, NoMarkWithoutDirectionOrSize) {
    const Vec3 tip{5, 5, 0};
    EXPECT_EQ(dim_add_arrow(build_, tip, tip, 0), 0);  // toward its own tip
    view_->dimension_values[kDimArrowSize] = 0;
    EXPECT_EQ(dim_add_arrow(build_, tip, {6, 5, 0}, 0), 0);
    EXPECT_EQ(dim_add_arrow(build_, tip, {6, 5, 0}, 3), 0);
    EXPECT_TRUE(pieces().empty());
    DimBuild none = build_;
    none.group = nullptr;
    EXPECT_EQ(dim_add_arrow(none, tip, {6, 5, 0}, 0), kBadArgument);
}

TEST_F(DimGeometry, NonFinitePointsMakeNoPiece) {
    const float inf = INFINITY;
    EXPECT_EQ(dim_add_line(build_, {0, 0, 0}, {inf, 0, 0}), 0);
    EXPECT_EQ(dim_add_arrow(build_, {0, 0, 0}, {NAN, 1, 0}, 0), 0);
    EXPECT_EQ(dim_add_arc(build_, {0, 0, 0}, 5, 0, NAN), 0);
    EXPECT_TRUE(pieces().empty());
}

TEST_F(DimGeometry, TextDirectionNeverReadsUpsideDown) {
    const double cases[][2] = {{200, 20}, {100, -80}, {270, 90}, {90, 90}, {180, 0}, {0, 0}, {-100, 80}, {-90, 90}};
    for (auto& c : cases) {
        dim_set_text_angle(c[0] * kPi / 180);
        EXPECT_NEAR(dim_state().angle * 180 / kPi, c[1], 1e-9) << c[0];
        EXPECT_EQ(dim_state().cos1024, std::lround(std::cos(c[1] * kPi / 180) * 1024)) << c[0];
    }
}

TEST_F(DimGeometry, FramesOfEveryKind) {
    struct Row {
        int kind, lines, arcs;
    } rows[] = {{0, 0, 0}, {1, 4, 0}, {2, 2, 2}, {3, 0, 1}, {7, 0, 0}};
    for (const Row& r : rows) {
        SetUp();
        ASSERT_EQ(dim_add_frame(build_, {0, 0, 0}, 20, 5, r.kind), 0);
        EXPECT_EQ(static_cast<int>(of<XPLINE>().size()), r.lines) << r.kind;
        EXPECT_EQ(static_cast<int>(of<ELARC>().size()), r.arcs) << r.kind;
    }
    SetUp();
    ASSERT_EQ(dim_add_frame(build_, {0, 0, 0}, 20, 5, 3), 0);
    const ELARC* circle = of<ELARC>()[0];
    EXPECT_NEAR(circle->centre.x, 11, 1e-4);  // (w u + h v) / 2 with w = 22, h = 5.5
    EXPECT_NEAR(circle->centre.y, 2.75, 1e-4);
    EXPECT_NEAR(circle->axis1.x - circle->centre.x, 11, 1e-4);
}

// Every dimension holds its three texts (value, upper and lower tolerance), empty
// ones too, so that a tolerance can be given later.
TEST_F(DimGeometry, EqualTolerancesMakeOneFullSizeTextOthersTwoHalfSize) {
    struct Row {
        const char *lower, *upper;
        const char* shown_upper;
        double tol_height;
    } rows[] = {{"0.1", "0.1", "", 5.0}, {"-0.1", "0.1", "0.1", 2.5}, {"", "", "", 2.5}};
    for (const Row& r : rows) {
        SetUp();
        dim_store_texts(nullptr, "30.00", r.lower, r.upper);
        double box = 0;
        ASSERT_EQ(dim_add_texts(build_, {15, 10, 0}, &box, 0), 0);
        auto texts = of<TEXT2>();
        ASSERT_EQ(texts.size(), 3u) << r.lower;
        EXPECT_EQ(texts[0]->text, "30.00");
        EXPECT_EQ(texts[1]->text, r.shown_upper);
        EXPECT_EQ(texts[2]->text, r.lower);
        EXPECT_EQ(texts[0]->layout[kText2Height], 5.0);
        // Centred on the text point: the value text starts half the text before it.
        const double m = dim_measure("30.00", 3.0) * 1.1;
        const double t = dim_measure(r.lower, r.tol_height * 0.6);
        EXPECT_NEAR(box, (m + t / 2) * 1.1, 1e-4);
        EXPECT_NEAR(texts[0]->insert.x, 15 - (m + t / 2) / 2, 1e-4);
        EXPECT_NEAR(texts[0]->insert.y, 10 - 2.5, 1e-5);
        EXPECT_EQ(texts[0]->colour, 7);
        EXPECT_NEAR(texts[0]->layout[kText2Slant], 10 * kPi / 180, 1e-9);
        for (size_t i = 1; i < texts.size(); ++i) {
            EXPECT_EQ(texts[i]->layout[kText2Height], r.tol_height);
            EXPECT_NEAR(texts[i]->insert.x, texts[0]->insert.x + m, 1e-4);
            EXPECT_EQ(texts[i]->colour, 7);
        }
        EXPECT_NEAR(texts[1]->insert.y - texts[2]->insert.y, r.tol_height, 1e-5);  // upper above lower
    }
}

TEST_F(DimGeometry, SmallTextIsMeasuredAtItsTrueSize) {
    view_->dimension_values[kDimTextHeight] = 0.3;
    view_->dimension_values[kDimTextWidth] = 0.3 * kDimWidthRatio;
    dim_store_texts(nullptr, "12.50", "", "");
    double box = 0;
    ASSERT_EQ(dim_add_texts(build_, {0, 0, 0}, &box, 1), 0);
    EXPECT_GT(box, 0.5);  // five characters of about 0.19 each
    for (const XPLINE* side : of<XPLINE>())
        for (const Vec3& p : points(side)) EXPECT_LE(std::fabs(p.y), 0.3);
    EXPECT_NEAR(dim_measure("12.50", 2.0), 2 * dim_measure("12.50", 1.0), 1e-12);
}

TEST_F(DimGeometry, TextsAlongTheLineAndTheDefaultFontPattern) {
    auto model = rtc_make<MODEL>();
    PATT* f = model_find_patt(model.get(), "DEFAULT", &FONTPATT::rtc_class);
    ASSERT_NE(f, nullptr);  // every new drawing has one
    build_.model = model.get();
    dim_set_text_mode(1);
    dim_set_text_angle(kPi / 2);
    dim_store_texts(nullptr, "10", "", "");
    double box = 0;
    ASSERT_EQ(dim_add_texts(build_, {0, 0, 0}, &box, 0), 0);
    auto texts = of<TEXT2>();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0]->font, f);
    EXPECT_NEAR(texts[0]->layout[kText2Direction], kPi / 2, 1e-9);
    EXPECT_NEAR(texts[0]->insert.x, 0, 1e-5);  // centred along the direction
    EXPECT_NEAR(texts[0]->insert.y, -box / 1.1 / 2, 1e-4);
    build_.model = nullptr;
    group_.reset();  // before the model
}

}  // namespace
