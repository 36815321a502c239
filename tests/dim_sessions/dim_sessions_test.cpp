// Scripted sessions of the dimension commands through the real input routines:
// every dimension is one group and one undo level, Esc at the text position adds
// nothing, the settings command enters no input mode, circles are picked for the
// radial kinds and parallel lines are refused with a message.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "commands/dimension/dim_command.h"
#include "commands/dimension/dim_geometry.h"
#include "commands/dimension/dim_settings.h"
#include "commands/dimension/dim_text.h"
#include "commands/input/support.h"
#include "graphics/view/canvas.h"
#include "graphics/view/projection.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "scene.h"
#include "shell/view_paint.h"
#include "../platform/qt_test_env.h"

namespace {

// The texts of a dimension group: the value, the upper and the lower tolerance.
std::vector<std::string> texts_of(object* group) {
    std::vector<std::string> out;
    for (TEXT2* t : scene_children_of<TEXT2>(static_cast<CONTAINER*>(group))) out.push_back(t->text);
    return out;
}

class DimSessions : public ::testing::Test {
  protected:
    void SetUp() override {
        g_prefs.dimension = 1;  // the computed text as it is
        h.view()->projection.scale = 4.0;  // 60 x 45 drawing units on the canvas
        g_current = &h;
        dim_register_commands([](int id, DimCommandFn fn) { g_current->define(uint32_t(id), fn); });
    }
    void TearDown() override { g_prefs.dimension = 0; }
    static inline Harness* g_current = nullptr;
    Harness h;
};

TEST_F(DimSessions, HorizontalDimensionsAreOneGroupAndOneUndoLevelEach) {
    h.click({0, 0, 0}).click({30, 10, 0}).click({15, 20, 0});
    h.click({0, 30, 0}).click({20, 30, 0}).click({10, 40, 0}).esc();
    EXPECT_EQ(h.run(kCmdDimFirst + 0), -1);
    EXPECT_EQ(h.shown_prompts(), (std::vector<int>{42002, 42003, 42004, 42002, 42003, 42004, 42002}));
    EXPECT_EQ(h.view()->input_mode, 0);
    auto objs = scene_objects(h.model());
    ASSERT_EQ(objs.size(), 2u);
    EXPECT_TRUE(rtc_is_a(objs[0], &CONTAINER::rtc_class));
    EXPECT_EQ(texts_of(objs[0]), (std::vector<std::string>{"30.00", "", ""}));
    EXPECT_EQ(texts_of(objs[1]), (std::vector<std::string>{"20.00", "", ""}));
    EXPECT_EQ(h.model()->undo_levels, 2);
    cmd_undo(h.view());
    cmd_undo(h.view());
    EXPECT_TRUE(scene_objects(h.model()).empty());
}

// While the text position is asked, both extension lines run from the measured
// points to the dimension line under the cursor, and leave nothing behind.
TEST_F(DimSessions, TextPositionShowsTheExtensionLines) {
    auto lit = [](Harness& hh, const Vec3& w) {
        int x, y;
        world_to_pixel(&hh.view()->projection, w, &x, &y);
        Canvas* c = hh.canvas(hh.view());
        const uint8_t* px = c->row(c->height() - 1 - y) + 3 * x;
        const uint8_t* bg = c->row(0);
        return px[0] != bg[0] || px[1] != bg[1] || px[2] != bg[2];
    };
    std::vector<uint8_t> before;
    int seen = 0;
    h.call([&](Harness& hh) {
        Canvas* c = hh.canvas(hh.view());
        for (int r = 0; r < c->height(); ++r) before.insert(before.end(), c->row(r), c->row(r) + 3 * c->width());
    });
    h.click({4, 4, 0}).click({24, 14, 0}).move_to({14, 30, 0});
    h.call([&](Harness& hh) {
        for (float y : {16.0f, 20.0f, 28.0f}) {
            EXPECT_TRUE(lit(hh, {4, y, 0})) << y;
            EXPECT_TRUE(lit(hh, {24, y, 0})) << y;
        }
        EXPECT_FALSE(lit(hh, {4, 34, 0}));
        ++seen;
    });
    h.esc();
    EXPECT_EQ(h.run(kCmdDimFirst + 0), -1);
    EXPECT_EQ(seen, 1);
    Canvas* c = h.canvas(h.view());
    std::vector<uint8_t> after;
    for (int r = 0; r < c->height(); ++r) after.insert(after.end(), c->row(r), c->row(r) + 3 * c->width());
    EXPECT_EQ(before, after);
}

TEST_F(DimSessions, EscAtTextPositionAddsNothing) {
    h.click({0, 0, 0}).click({0, 25, 0}).esc();
    EXPECT_EQ(h.run(kCmdDimFirst + 1), -1);
    EXPECT_TRUE(scene_objects(h.model()).empty());
}

TEST_F(DimSessions, SettingsCommandEntersNoInputMode) {
    int opened = 0;
    static int* seen = nullptr;
    seen = &opened;
    dim_set_settings_dialog([](VIEW* v, DimSettingsValues*) {
        ++*seen;
        EXPECT_EQ(v->input_mode, 0);
        return false;
    });
    EXPECT_EQ(h.run(kCmdDimSettings), 0);
    dim_set_settings_dialog(nullptr);
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(h.shown_prompts().empty());
}

TEST_F(DimSessions, RadiusAndDiameterPickTheirCircle) {
    scene_ellipse(scene_layer(h.model()), {20, 20, 0}, 10, 0, 0, true);
    // A pick on empty paper repeats the prompt.
    h.click({45, 5, 0}).click({30, 20, 0}).click({45, 25, 0}).esc();
    EXPECT_EQ(h.run(kCmdDimFirst + 7), -1);  // radius I
    EXPECT_EQ(h.shown_prompts(), (std::vector<int>{42011, 42011, 42004, 42011}));
    auto objs = scene_objects(h.model());
    ASSERT_EQ(objs.size(), 2u);
    EXPECT_EQ(texts_of(objs[1]), (std::vector<std::string>{"R10.00", "", ""}));
    h.click({30, 20, 0}).click({22, 22, 0}).esc();
    EXPECT_EQ(h.run(kCmdDimFirst + 6), -1);  // diameter
    objs = scene_objects(h.model());
    ASSERT_EQ(objs.size(), 3u);
    EXPECT_EQ(texts_of(objs[2]), (std::vector<std::string>{"\x04" "20.00", "", ""}));
}

TEST_F(DimSessions, AnglesByVertexAndParallelLinesRefused) {
    h.click({10, 10, 0}).click({30, 10, 0}).click({10, 30, 0}).click({25, 25, 0}).esc();
    EXPECT_EQ(h.run(kCmdDimFirst + 9), -1);
    auto objs = scene_objects(h.model());
    ASSERT_EQ(objs.size(), 1u);
    EXPECT_EQ(texts_of(objs[0]), (std::vector<std::string>{"90\x07 0'", "", ""}));

    int boxes = 0;
    std::string said;
    MsgBoxHook old = msgbox_set_hook([&](const MsgBoxRequest& r) {
        ++boxes;
        said = r.text;
        return 1;
    });
    h.click({0, 0, 0}).click({10, 0, 0}).click({0, 5, 0}).click({10, 5, 0});
    EXPECT_EQ(h.run(kCmdDimFirst + 10), -1);
    msgbox_set_hook(old);
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(said, "Those lines are parallel!");
    EXPECT_EQ(scene_objects(h.model()).size(), 1u);
}

// Arrows drawn in the screen plane run along either axis with either plane axis flag:
// a vertical one with the Y flag, a horizontal one with the X flag.
TEST_F(DimSessions, ArrowsInTheScreenPlaneAlongEitherAxis) {
    for (int direction : {0, 1}) {
        Harness local;
        local.view()->projection.scale = 4.0;
        local.view()->direction = direction;
        g_current = &local;
        dim_register_commands([](int id, DimCommandFn fn) { g_current->define(uint32_t(id), fn); });
        local.click({10, 10, 0}).click({10, 30, 0}).click({5, 5, 0}).click({25, 5, 0}).esc();
        EXPECT_EQ(local.run(kCmdDimFirst + 5), -1) << direction;  // double arrow
        EXPECT_EQ(local.shown_prompts(), (std::vector<int>{42002, 42003, 42002, 42003, 42002})) << direction;
        auto objs = scene_objects(local.model());
        ASSERT_EQ(objs.size(), 2u) << direction;
        for (object* g : objs) {
            auto* c = static_cast<CONTAINER*>(g);
            int n = 0;
            ZDLIST* q = c->children;
            do {
                if (rtc_is_a(q, &XPLINE::rtc_class)) {
                    const PointNode* pn = static_cast<XPLINE*>(q)->control;
                    for (; pn; pn = pn->next) {
                        EXPECT_NEAR(pn->z, 0, 1e-4);
                        EXPECT_TRUE(std::isfinite(pn->x) && std::isfinite(pn->y));
                    }
                }
                ++n;
                q = q->next;
            } while (q != c->children);
            EXPECT_EQ(n, 3) << direction;  // two marks and the line
        }
    }
    g_current = &h;
}

TEST_F(DimSessions, CancelledTextQueryEndsTheCommand) {
    g_prefs.dimension = 0;
    dim_set_text_dialog([](VIEW*, DimTextDialogData*) { return 0; });
    h.click({0, 0, 0}).click({30, 0, 0});
    EXPECT_EQ(h.run(kCmdDimFirst + 2), -1);
    dim_set_text_dialog(nullptr);
    EXPECT_TRUE(scene_objects(h.model()).empty());
}

}  // namespace

// Rays typed at -a/2 and +a/2 about a typed vertex: coordinates kept as floats put the
// angle a few millionths of a degree short, and the text still reads the whole angle.
TEST_F(DimSessions, AnglesFromTypedFloatRaysReadTheWholeMinute) {
    for (double a : {20.0, 60.0, 135.0, 150.0}) {
        Harness local;
        local.view()->projection.scale = 4.0;
        g_current = &local;
        dim_register_commands([](int id, DimCommandFn fn) { g_current->define(uint32_t(id), fn); });
        auto ray = [](double deg) {
            char text[96];
            const double r = deg * std::acos(-1.0) / 180;
            std::snprintf(text, sizeof text, "%.9f %.9f 0", 20 * std::cos(r), 20 * std::sin(r));
            return std::string(text);
        };
        local.typed("0 0 0").typed(ray(-a / 2)).typed(ray(a / 2)).click({25, 5, 0}).esc();
        EXPECT_EQ(local.run(kCmdDimFirst + 9), -1) << a;
        auto objs = scene_objects(local.model());
        ASSERT_EQ(objs.size(), 1u) << a;
        EXPECT_EQ(texts_of(objs[0])[0], std::to_string(int(a)) + "\x07 0'") << a;
    }
    g_current = &h;
}

// A new dimension is drawn at once in its own colours, as a repaint draws it, not in
// the group's.
TEST_F(DimSessions, NewDimensionIsDrawnInItsOwnColours) {
    h.view()->current_colour = 2;
    h.view()->dimension_words[kDimLineColour] = 4;
    h.click({4, 4, 0}).click({24, 14, 0}).click({14, 30, 0}).esc();
    EXPECT_EQ(h.run(kCmdDimFirst + 0), -1);
    ASSERT_EQ(scene_objects(h.model()).size(), 1u);
    Canvas repainted;
    const Canvas* drawn = h.canvas(h.view());
    EXPECT_EQ(repainted.resize(drawn->width(), drawn->height(), display_background_word()), 0);
    CanvasPainter painter(repainted.image());
    view_paint_rect(h.view(), painter, {0, 0, drawn->width() - 1, drawn->height() - 1});
    int x, y;
    world_to_pixel(&h.view()->projection, {4, 20, 0}, &x, &y);  // on the first extension line
    const int row = drawn->height() - 1 - y;
    const std::vector<uint8_t> want(repainted.row(row) + 3 * x, repainted.row(row) + 3 * x + 3);
    EXPECT_NE(want, std::vector<uint8_t>(drawn->row(0), drawn->row(0) + 3));  // not the background
    EXPECT_EQ(std::vector<uint8_t>(drawn->row(row) + 3 * x, drawn->row(row) + 3 * x + 3), want);
}
