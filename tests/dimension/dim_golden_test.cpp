// Golden images of dimensions through the wire-frame driver: every dimension kind
// with each text mode, every frame kind and every end-mark kind, drawn into a
// canvas and compared with reviewed references in tests/data/dimension (binary
// PPM). A missing or different reference leaves the candidate in /tmp for review.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "commands/dimension/dim_layout.h"
#include "dim_fixture.h"
#include "graphics/view/canvas.h"
#include "graphics/view/colours.h"
#include "graphics/view/driver.h"
#include "model/geom/regen.h"
#include "model/math/scalar.h"

namespace {

constexpr int kWidth = 480, kHeight = 360;

std::string ppm_of(const Canvas& c) {
    std::string out = "P6\n" + std::to_string(c.width()) + " " + std::to_string(c.height()) + "\n255\n";
    for (int y = 0; y < c.height(); ++y) {
        const uint8_t* r = c.row(y);
        for (int x = 0; x < c.width(); ++x) out += {char(r[3 * x + 2]), char(r[3 * x + 1]), char(r[3 * x])};
    }
    return out;
}

void compare(const std::string& got, const std::string& name) {
    const std::string ref = std::string(ZELO_TEST_DATA) + "/dimension/" + name + ".ppm";
    const std::string candidate = "/tmp/" + name + ".ppm";
    std::ifstream in(ref, std::ios::binary);
    const std::string want((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t differ = want.size() == got.size() ? 0 : got.size();
    for (size_t i = 0; i < got.size() && differ < got.size(); ++i) differ += got[i] != want[i];
    if (differ > got.size() / 1000) {
        std::ofstream(candidate, std::ios::binary) << got;
        ADD_FAILURE() << differ << " bytes differ from " << ref << "; candidate written to " << candidate;
    }
}

class DimGolden : public DimFixture {
  protected:
    // Adds a finished group to the drawing's picture.
    void draw_group(Canvas& canvas) {
        // The canvas leaves filled polygons out: their outlines show the filled
        // arrowheads here.
        ViewProjection vp = view_->projection;
        vp.context = &canvas;
        vp.line = canvas_line_cb;
        vp.pen = [](void* c, int colour, int, int) {
            auto* canvas = static_cast<Canvas*>(c);
            canvas->set_pen(canvas->pen_mode(), Canvas::palette_colour(colour_index_fix(colour)));
            return 0;
        };
        vp.triangle = [](void* c, int x1, int y1, int x2, int y2, int x3, int y3) {
            canvas_line_cb(c, x1, y1, x2, y2);
            canvas_line_cb(c, x2, y2, x3, y3);
            return canvas_line_cb(c, x3, y3, x1, y1);
        };
        viewiter_draw_object(&vp, group_.get());

        group_ = rtc_make<CONTAINER>();
        build_.group = group_.get();
    }
};

TEST_F(DimGolden, EveryKindWithEachTextMode) {
    auto model = rtc_make<MODEL>();
    build_.model = model.get();
    view_->projection.scale = 2.0;
    view_->projection.origin_x = 0;
    view_->projection.origin_y = 0;
    for (int mode = 0; mode < 2; ++mode) {
        Canvas canvas;
        ASSERT_EQ(canvas.resize(kWidth, kHeight, 0), 0);
        dim_set_text_mode(mode);
        int n = 0;
        auto style = [&] {
            dim_set_arrows(n % 5);
            dim_set_leader((n + 2) % 5);
            dim_set_dframe(n % 4);
            ++n;
        };
        auto texts = [&](const char* value, const char* lower, const char* upper) {
            dim_store_texts(nullptr, value, lower, upper);
        };
        // Linear kinds.
        style();
        texts("40.00", "", "");
        dim_set_text_angle(0);
        ASSERT_EQ(dim_layout_linear(build_, kDimHorizontal, {10, 140, 0}, {50, 150, 0}, {30, 165, 0}), 0);
        draw_group(canvas);
        style();
        texts("30.00", "0.1", "0.1");
        dim_set_text_angle(mode ? kPi / 2 : 0);
        ASSERT_EQ(dim_layout_linear(build_, kDimVertical, {75, 130, 0}, {80, 160, 0}, {95, 145, 0}), 0);
        draw_group(canvas);
        style();
        texts("36.06", "-0.1", "+0.2");
        dim_text_angle_for({120, 135, 0}, {150, 165, 0});
        if (!mode) dim_set_text_angle(0);
        ASSERT_EQ(dim_layout_linear(build_, kDimAligned, {120, 135, 0}, {150, 165, 0}, {128, 162, 0}), 0);
        draw_group(canvas);
        style();
        texts("12.00", "", "");
        dim_set_text_angle(0);
        ASSERT_EQ(dim_layout_linear(build_, kDimHorizontal, {180, 140, 0}, {192, 140, 0}, {215, 155, 0}), 0);
        draw_group(canvas);
        // Radial kinds.
        const Vec3 centres[4] = {{25, 90, 0}, {75, 90, 0}, {130, 90, 0}, {195, 90, 0}};
        const Vec3 text_at[4] = {{28, 93, 0}, {95, 110, 0}, {150, 112, 0}, {200, 92, 0}};
        for (int i = 0; i < 4; ++i) {
            style();
            texts(i < 2 ? "R15.00" : "\x04" "30.00", "", "");
            dim_set_text_angle(0);
            const int kind = i == 0 ? kDimRadius1 : i == 1 ? kDimRadius2 : kDimDiameter;
            ASSERT_EQ(kind == kDimDiameter ? dim_layout_diameter(build_, centres[i], 15, text_at[i])
                                           : dim_layout_radius(build_, kind, centres[i], 15, text_at[i]),
                      0);
            ASSERT_EQ(dim_add_arc(build_, centres[i], 15, 0, kTwoPi), 0);
            draw_group(canvas);
        }
        // Angular: text outside, inside with room, inside without room.
        const Vec3 vertex[3] = {{10, 20, 0}, {70, 20, 0}, {130, 20, 0}};
        const Vec3 text_pt[3] = {{20, 52, 0}, {100, 40, 0}, {137, 30, 0}};
        for (int i = 0; i < 3; ++i) {
            style();
            texts("45\x07 0'", "", "");
            const Vec3 c = vertex[i];
            ASSERT_EQ(dim_layout_angular(build_, c, {c.x + 40, c.y, 0}, {c.x + 28, c.y + 28, 0}, text_pt[i]), 0);
            draw_group(canvas);
        }
        // The three arrow commands.
        for (int i = 0; i < 3; ++i) {
            style();
            dim_clear_texts();
            const float x = 180 + 18 * i;
            ASSERT_EQ(dim_layout_arrows(build_, kDimArrowStart + i, {x, 10, 0}, {x + 10, 50, 0}), 0);
            draw_group(canvas);
        }
        compare(ppm_of(canvas), mode ? "dimensions_along" : "dimensions_horizontal");
    }
    build_.model = nullptr;
    group_.reset();
}

}  // namespace
