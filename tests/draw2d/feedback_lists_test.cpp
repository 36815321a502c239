// Feedback of the 2D drawing commands drawn and erased in XOR (the canvas comes back
// byte for byte, and something was drawn in between), the forced line ends, and the
// point-list editing helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "../platform/qt_test_env.h"
#include "commands/draw2d/draw2d.h"
#include "graphics/view/view_gdi.h"
#include "model/db/patt.h"
#include "model/font/strokefont.h"
#include "model/geom/vertex_lists.h"
#include "model/math/plist_edit.h"
#include "model/math/scalar.h"
#include "pictures.h"
#include "scene.h"

namespace {

TEST(Draw2dFeedback, EveryRoutineErasesExactly) {
    const std::vector<std::pair<const char*, InputMoveFn>> routines = {
        {"polygon", polygon_feedback},           {"cross", cross_feedback},
        {"arc, third point the end", arc3_feedback_end}, {"arc, third point on the arc", arc3_feedback_middle},
        {"ellipse", ellipse_feedback_centred},   {"text with cursor glyph", text_in_place_feedback},
        {"contour marker", contour_marker_feedback}, {"contour lines", contour_lines_feedback},
    };
    auto text = rtc_make<TEXT2>();
    text->text = "Zelo 1.5";
    for (int count : {5, 40}) {
        for (const auto& [what, fn] : routines) {
            SCOPED_TRACE(what);
            Harness h(1, 160, 120);
            h.forced_command_view = h.view();
            VIEW* v = h.view();
            v->polygon_count = count;  // 40: only the circle
            v->text_height = 14, v->text_width = 9, v->text_oblique = 0.3, v->text_slope = 0.5;
            DocInputState* st = view_input_state(v);
            st->points[0] = {50, 50, 0};
            st->points[1] = {90, 70, 0};
            st->text_font = font_builtin(0);
            st->text_object = text.get();
            st->on_move = fn;
            const auto before = canvas_pixels(h.window()->canvas);
            for (auto [x, y] : std::vector<std::pair<int, int>>{{80, 60}, {50, 50}, {0, 0}, {159, 119}, {-300000, 200000}}) {
                v->cursor_pixel[0] = x;
                v->cursor_pixel[1] = y;
                h.show_cursor_mark(v, true, true);
                if (x == 80) {
                    EXPECT_NE(canvas_pixels(h.window()->canvas), before);
                }
                h.show_cursor_mark(v, false, true);
                EXPECT_EQ(canvas_pixels(h.window()->canvas), before);
            }
            st->text_object = nullptr;
        }
    }
}

TEST(LineForcing, ParallelPerpendicularOrthogonalAndEndOn) {
    Harness h;
    VIEW* v = h.view();
    // A reference 45 degrees up: parallel follows it, perpendicular crosses it.
    expect_near3(line_make_parallel(v, {0, 0, 0}, {10, 3, 0}, {0, 0, 0}, {20, 20, 0}), {3, 3, 0});
    expect_near3(line_make_parallel(v, {0, 0, 0}, {10, 3, 0}, {0, 0, 0}, {20, 10, 0}), {10, 5, 0});
    expect_near3(line_make_perpendicular(v, {0, 0, 0}, {10, 3, 0}, {0, 0, 0}, {20, 20, 0}), {-3, 3, 0});
    // Horizontal reference: horizontal parallels, vertical perpendiculars.
    expect_near3(line_make_parallel(v, {1, 2, 0}, {7, 9, 0}, {0, 0, 0}, {5, 0, 0}), {7, 2, 0});
    expect_near3(line_make_perpendicular(v, {1, 2, 0}, {7, 9, 0}, {0, 0, 0}, {5, 0, 0}), {1, 9, 0});
    // Depth follows the reference's slope along its dominant axis.
    expect_near3(line_make_parallel(v, {0, 0, 0}, {10, 0, 0}, {0, 0, 0}, {20, 0, 10}), {10, 0, 5});
    // Seen end-on (only depth differs): no division by zero, the start's depth stays.
    for (auto fn : {line_make_parallel, line_make_perpendicular}) {
        const Vec3 e = fn(v, {1, 1, 2}, {5, 6, 0}, {3, 3, 0}, {3, 3, 40});
        EXPECT_TRUE(std::isfinite(e.x) && std::isfinite(e.y) && std::isfinite(e.z));
        EXPECT_FLOAT_EQ(e.z, 2);
    }
    // Orthogonal mode: the diagonal is horizontal, steeper is vertical.
    expect_near3(line_make_orthogonal(v, {0, 0, 0}, {3, 3, 0}), {3, 0, 0});
    expect_near3(line_make_orthogonal(v, {0, 0, 0}, {3, 3.5f, 0}), {0, 3.5f, 0});
}

TEST(PointLists, RepeatsAreRemovedAndOneNodeAlwaysStays) {
    struct Case {
        const char* what;
        bool closed;
        std::vector<Vec3> in, out;
    };
    const std::vector<Case> cases = {
        {"open, consecutive repeats", false, {{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {1, 0, 1e-7f}, {2, 0, 0}},
         {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}},
        {"closed, last equal to first", true, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0, 0}},
         {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}},
        {"ring of equal points keeps one", true, {{3, 3, 3}, {3, 3, 3}, {3, 3, 3}}, {{3, 3, 3}}},
        {"open list of equal points keeps one", false, {{3, 3, 3}, {3, 3, 3}}, {{3, 3, 3}}},
        {"apart points stay", false, {{0, 0, 0}, {0, 0, 1e-5f}}, {{0, 0, 0}, {0, 0, 1e-5f}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PointNode* head = nullptr;
        for (size_t i = c.in.size(); i-- > 0;) EXPECT_EQ(plist_add(&head, c.in[i]), 0);
        if (c.closed) {
            PointNode* last = head;
            while (last->next) last = last->next;
            last->next = head;
        }
        PointNode* copy = nullptr;
        ASSERT_EQ(plist_copy_unique(&copy, head), 0);
        plist_remove_repeats(&head);
        for (PointNode* l : {head, copy}) {
            const auto got = scene_points(l);
            ASSERT_EQ(got.size(), c.out.size());
            for (size_t i = 0; i < got.size(); ++i) expect_near3(got[i], c.out[i], 1e-9);
            EXPECT_EQ(plist_is_closed(l), c.closed);
        }
        list_free(&head);
        list_free(&copy);
    }
}

TEST(PointLists, RepeatsIgnoreFlagsAndListsReachAlongNext) {
    // Same point, different flags: the repeat goes all the same.
    PointNode* b = scene_plist({{0, 0, 0}, {0, 0, 0}, {1, 0, 0}});
    b->next->flags = 4;
    plist_remove_repeats(&b);
    EXPECT_EQ(plist_count(b), 2);
    list_free(&b);

    PointNode* r = scene_plist({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}});
    EXPECT_EQ(list_reaches(r, r->next->next->next), 1);
    EXPECT_EQ(list_reaches(r->next->next, r), 0);
    list_free(&r);
}

TEST(PointLists, PlanarityAndWirePointList) {
    PointNode* flat = scene_plist({{0, 0, 5}, {4, 0, 5}, {4, 4, 5}, {0, 4, 5.0005f}});
    PointNode* bent = scene_plist({{0, 0, 5}, {4, 0, 5}, {4, 4, 5}, {0, 4, 5.01f}});
    PointNode* line = scene_plist({{0, 0, 0}, {1, 1, 1}, {2, 2, 2}});
    EXPECT_EQ(plist_is_planar(flat), 1);
    EXPECT_EQ(plist_is_planar(bent), 0);
    EXPECT_EQ(plist_is_planar(line), 1);  // no plane
    EXPECT_EQ(plist_is_planar(nullptr), 1);
    list_free(&flat);
    list_free(&bent);
    list_free(&line);

    Harness h;
    LAYER* l = scene_layer(h.model());
    XPLINE* x = scene_line(l, {{0, 0, 0}, {1, 0, 0}});
    ELARC* e = scene_ellipse(l, {0, 0, 0}, 2, 0, 0, true);
    EXPECT_EQ(wire_point_list(x), x->control);
    EXPECT_EQ(wire_point_list(e), e->points);
    EXPECT_NE(wire_point_list(e), nullptr);
    EXPECT_EQ(wire_point_list(l), nullptr);
}

}  // namespace
