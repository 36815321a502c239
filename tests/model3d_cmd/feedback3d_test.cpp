// Cursor feedback of the 3D steps: each outline drawn twice in XOR leaves the window
// as it was (cursor inside, on a fixed point, far outside), and one picture of every
// outline, compared with a reviewed reference in tests/data/model3d.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cstring>

#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/feedback3d.h"
#include "graphics/view/view.h"
#include "pictures.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

namespace {

struct Routine {
    const char* what;
    InputMoveFn fn;
    std::vector<std::pair<int, Vec3>> slots;  // drawing units, 10 pixels each
    int cone = 0;
    int x = 110, y = 80;  // cursor pixel
};

const std::vector<Routine>& routines() {
    static const std::vector<Routine> r = {
        {"box width", fb_box_width, {{0, {3, 3, 0}}}},
        {"box height", fb_box_height, {{0, {3, 3, 0}}, {1, {11, 3, 0}}}},
        {"box depth", fb_box_depth, {{4, {3, 2, 0}}, {0, {9, 7, 0}}}, 0, 125, 95},
        {"cone base", fb_cone_base, {{1, {4, 10, 0}}, {0, {8, 3, 0}}}, 0, 100, 20},
        {"cylinder base", fb_cone_base, {{1, {4, 10, 0}}, {0, {8, 3, 0}}}, 2, 100, 20},
        {"cone top", fb_cone_top, {{0, {4, 10, 0}}, {2, {8, 3, 0}}, {3, {11, 3, 0}}}, 0, 55, 100},
        {"torus tube", fb_torus_tube, {{1, {8, 6, 0}}, {0, {12, 6, 0}}}, 0, 130, 60},
        {"edge", fb_outline_edge, {{4, {2, 2, 0}}, {5, {10, 3, 0}}}},
        {"triangle", fb_outline_triangle, {{4, {2, 2, 0}}, {5, {10, 3, 0}}}},
        {"quadrilateral", fb_outline_quad, {{4, {2, 2, 0}}, {5, {10, 3, 0}}, {6, {13, 9, 0}}}, 0, 30, 95},
    };
    return r;
}

// A headless view with the routine's remembered points and "Cone" setting.
void prepare(Harness& h, const Routine& r) {
    h.view()->projection.scale = 10.0;
    h.view()->cross_arm[0] = 4;  // a small cross, so the outline shows
    h.view()->cross_arm[1] = 0;
    h.forced_command_view = h.view();
    g_draw3d.cone = r.cone;
    for (const auto& [slot, p] : r.slots) view_input_state(h.view())->points[slot] = p;
    view_input_state(h.view())->on_move = r.fn;
}

void show(Harness& h, int x, int y, bool on) {
    h.view()->cursor_pixel[0] = x;
    h.view()->cursor_pixel[1] = y;
    h.show_cursor_mark(h.view(), on, true);
}

TEST(Feedback3d, EveryOutlineErasesExactly) {
    for (const Routine& r : routines()) {
        SCOPED_TRACE(r.what);
        Harness h(1, 160, 120);
        prepare(h, r);
        const auto before = canvas_pixels(h.window()->canvas);
        for (auto [x, y] : std::vector<std::pair<int, int>>{{r.x, r.y}, {30, 30}, {80, 60}, {-3000000, 2000000000}}) {
            show(h, x, y, true);
            if (x == r.x) { EXPECT_NE(canvas_pixels(h.window()->canvas), before); }  // something is drawn
            show(h, x, y, false);
            EXPECT_EQ(canvas_pixels(h.window()->canvas), before);
        }
    }
    g_draw3d = Draw3DSettings{};
}

TEST(Feedback3d, PictureOfEveryOutline) {
    const auto& all = routines();
    const int w = 160, hgt = 120, across = 5;
    QImage sheet(w * across, hgt * static_cast<int>((all.size() + across - 1) / across), QImage::Format_BGR888);
    sheet.fill(Qt::darkGray);
    QPainter paint(&sheet);
    for (size_t i = 0; i < all.size(); ++i) {
        Harness h(1, w - 2, hgt - 2);
        prepare(h, all[i]);
        show(h, all[i].x, all[i].y, true);
        paint.drawImage(static_cast<int>(i % across) * w + 1, static_cast<int>(i / across) * hgt + 1,
                        canvas_image(h.window()->canvas));
        show(h, all[i].x, all[i].y, false);
    }
    paint.end();
    g_draw3d = Draw3DSettings{};
    expect_picture(sheet, "model3d", "feedback3d");
}

}  // namespace
