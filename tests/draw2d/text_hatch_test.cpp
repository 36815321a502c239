// Sessions of the 2D text command (typing, empty lines, slope, Esc, the options key,
// code pages) and of the hatch and fill commands (a circle clicked once, a followed
// polyline, points off the plane, a figure eight, a cancelled style, a hole undone
// in one step), and seeded random contours: every accepted contour is simple and
// flat, and its fill covers exactly the polygon's area.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "../platform/qt_test_env.h"
#include "commands/draw2d/dialog_hooks.h"
#include "commands/draw2d/draw2d.h"
#include "commands/input/support.h"
#include "graphics/view/projection.h"
#include "model/db/patt.h"
#include "model/font/strokefont.h"
#include "model/geom/regen.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/math/scalar.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "scene.h"

namespace {

// Scripted answers of the parameter dialogs.
struct ScriptedDialogs : Draw2dDialogs {
    int count = -1;
    double new_height = 0;
    int hatch = 0;
    int texts = 0, hatches = 0;
    int polygon_count(VIEW*, int) override { return count; }
    bool text_settings(VIEW* v) override {
        ++texts;
        if (new_height <= 0) return false;
        v->text_height = new_height;
        return true;
    }
    int hatch_style(VIEW*) override {
        ++hatches;
        return hatch;
    }
    Draw2dDialogs* previous = draw2d_set_dialogs(this);
    ~ScriptedDialogs() override { draw2d_set_dialogs(previous); }
};

// The message boxes of a session, answered by `answer`.
struct Boxes {
    std::vector<std::string> texts;
    int answer = kIdNo;
    MsgBoxHook previous = msgbox_set_hook([this](const MsgBoxRequest& r) {
        texts.push_back(r.text);
        return answer;
    });
    ~Boxes() { msgbox_set_hook(previous); }
};

// A drawing font for the text sessions (kept past the harness's objects).
struct TextScene {
    std::unique_ptr<FONTPATT> latin = rtc_make<FONTPATT>();
    std::unique_ptr<FONTPATT> cyrillic = rtc_make<FONTPATT>();
    Harness h;
    TextScene() {
        latin->font = font_copy(font_builtin(0));
        cyrillic->font = font_copy(font_builtin(1));
        VIEW* v = h.view();
        v->current_font = latin.get();
        v->text_height = 10;
        v->text_width = 8;
        h.define(kCmdText, scene_command<cmd_text>);
    }
    ~TextScene() {
        h.view()->current_font = nullptr;
        for (TEXT2* t : scene_objects_of<TEXT2>(h.model())) t->font = nullptr;
    }
};

TEST(TextSessions, TypingEmptyLinesSlopeAndEsc) {
    struct Case {
        const char* what;
        double slope;
        std::function<void(Harness&)> script;
        std::vector<std::string> texts;
        int dx, dy;  // the cursor pixel's move after the session
    };
    const std::vector<Case> cases = {
        {"a line, then Enter on an empty line", 0.0,
         [](Harness& h) { h.move(40, 150).key('A').key('b').key(8).key('c').enter().enter().esc(); }, {"Ac"}, 0, -20},
        {"slope 90: the next line one height to the right", kPi / 2,
         [](Harness& h) { h.move(40, 150).key('x').enter().esc(); }, {"x"}, 10, 0},
        {"Esc while typing discards the text", 0.0, [](Harness& h) { h.move(40, 150).key('q').esc(); }, {}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TextScene s;
        s.h.view()->text_slope = c.slope;
        c.script(s.h);
        EXPECT_EQ(s.h.run(kCmdText), -1);
        EXPECT_EQ(s.h.script_left(), 0u);
        const auto texts = scene_objects_of<TEXT2>(s.h.model());
        ASSERT_EQ(texts.size(), c.texts.size());
        for (size_t i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(texts[i]->text, c.texts[i]);
            expect_near3(texts[i]->insert, {40, 150, 0});
            EXPECT_DOUBLE_EQ(texts[i]->layout[kText2Height], 10);
            EXPECT_NEAR(texts[i]->layout[kText2Direction], c.slope, 1e-9);
            EXPECT_EQ(texts[i]->font, s.latin.get());
        }
        EXPECT_EQ(s.h.view()->cursor_pixel[0], 40 + c.dx);
        EXPECT_EQ(s.h.view()->cursor_pixel[1], 150 + c.dy);
        EXPECT_EQ(s.h.model()->undo_levels, static_cast<int>(c.texts.size()));
        EXPECT_EQ(s.h.view()->input_mode, 0);
    }
}

TEST(TextSessions, OptionsKeyKeepsTheTextAtTheNewHeight) {
    TextScene s;
    ScriptedDialogs d;
    d.new_height = 25;
    s.h.move(30, 100).key('H').key('i').options().enter().esc();
    EXPECT_EQ(s.h.run(kCmdText), -1);
    EXPECT_EQ(d.texts, 1);
    const auto texts = scene_objects_of<TEXT2>(s.h.model());
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->text, "Hi");
    EXPECT_DOUBLE_EQ(texts[0]->layout[kText2Height], 25);
    EXPECT_EQ(s.h.view()->cursor_pixel[1], 75);
}

TEST(TextSessions, CodePagesAndNoFont) {
    TextScene s;
    // Latin font: e acute goes in as 0xE9, the euro sign as 0x80; a Cyrillic letter
    // beeps and the typing goes on.
    s.h.move(30, 100).key(0xE9).key(0x416).key(0x20AC).enter().esc();
    EXPECT_EQ(s.h.run(kCmdText), -1);
    auto texts = scene_objects_of<TEXT2>(s.h.model());
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->text, "\xE9\x80");
    EXPECT_EQ(s.h.beeps, 1);
    // The Cyrillic font takes the letter at its page's place.
    EXPECT_EQ(text_code_for_unicode(s.cyrillic->font, 0x416), 0xC6);
    EXPECT_EQ(text_code_for_unicode(s.cyrillic->font, 0x451), 0xB8);
    EXPECT_EQ(text_code_for_unicode(s.latin->font, 0x451), -1);
    EXPECT_EQ(text_code_for_unicode(s.latin->font, 'a'), 'a');
    EXPECT_EQ(text_code_for_unicode(s.latin->font, 7), -1);
    EXPECT_EQ(text_code_for_unicode(s.latin->font, 0x1F600), -1);
    // The cursor glyph.
    ASSERT_NE(text_cursor_font(), nullptr);
    EXPECT_GE(text_cursor_font()->glyphs[127].last, 0);
    // Without a current font: 13 at once, no step asked.
    s.h.view()->current_font = nullptr;
    EXPECT_EQ(s.h.run(kCmdText), kBadArgument);
}

TEST(TextSessions, AFailedAddEndsTheCommandWithoutFreeingTwice) {
    TextScene s;
    s.h.view()->current_layer = nullptr;  // nowhere to add: the add fails and frees the text
    s.h.move(30, 100).key('a').enter();
    EXPECT_EQ(s.h.run(kCmdText), kBadArgument);
    EXPECT_EQ(s.h.script_left(), 0u);
    EXPECT_EQ(s.h.view()->input_mode, 0);
}

// ---- Hatches and fills

struct HatchScene {
    Harness h;
    ScriptedDialogs d;
    Boxes boxes;
    HatchScene() {
        h.view()->projection.scale = 10.0;
        h.define(kCmdHatch, scene_command<cmd_hatch>);
        h.define(kCmdHatchHole, scene_command<cmd_hatch_hole>);
        h.define(kCmdFill, scene_command<cmd_fill>);
    }
};

double fill_area(const HATCH* h) {
    double a = 0;
    for (int set : {2, 3})
        for (const PtrNode* t = h->contours[set]; t; t = t->next == h->contours[set] ? nullptr : t->next) {
            const auto p = scene_points(static_cast<const PointNode*>(t->value));
            if (p.size() < 3) continue;
            const double ux = p[1].x - p[0].x, uy = p[1].y - p[0].y, uz = p[1].z - p[0].z;
            const double vx = p[2].x - p[0].x, vy = p[2].y - p[0].y, vz = p[2].z - p[0].z;
            const double cx = uy * vz - uz * vy, cy = uz * vx - ux * vz, cz = ux * vy - uy * vx;
            a += (set == 2 ? 0.5 : -0.5) * std::sqrt(cx * cx + cy * cy + cz * cz);
        }
    return a;
}

double shoelace(const std::vector<Vec3>& p) {
    double a = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const Vec3& q = p[i];
        const Vec3& r = p[(i + 1) % p.size()];
        a += static_cast<double>(q.x) * r.y - static_cast<double>(r.x) * q.y;
    }
    return std::fabs(a) / 2;
}

TEST(HatchSessions, CircleFollowedPolylineOffPlaneFigureEightAndCancel) {
    {
        SCOPED_TRACE("a circle clicked once, then Esc: the whole circle");
        HatchScene s;
        scene_ellipse(scene_layer(s.h.model()), {10, 9, 0}, 4, 0, 0, true);
        s.h.click({14, 9, 0}).esc().esc();
        EXPECT_EQ(s.h.run(kCmdHatch), -1);
        const auto hs = scene_objects_of<HATCH>(s.h.model());
        ASSERT_EQ(hs.size(), 1u);
        const auto ring = scene_points(static_cast<PointNode*>(hs[0]->contours[0]->value));
        EXPECT_GE(ring.size(), 24u);
        EXPECT_NEAR(fill_area(hs[0]), shoelace(ring), 1e-3);
        EXPECT_GT(shoelace(ring), 0.95 * kPi * 16);
        EXPECT_EQ(s.d.hatches, 1);
        EXPECT_EQ(s.h.model()->undo_levels, 1);
    }
    {
        SCOPED_TRACE("two clicks on one polyline follow its vertices");
        HatchScene s;
        scene_line(scene_layer(s.h.model()), {{2, 2, 0}, {12, 2, 0}, {12, 12, 0}, {2, 12, 0}});
        s.h.click({7, 2, 0}).click({12, 7, 0}).click({7, 7, 0}).esc().esc();
        EXPECT_EQ(s.h.run(kCmdFill), -1);
        const auto hs = scene_objects_of<HATCH>(s.h.model());
        ASSERT_EQ(hs.size(), 1u);
        auto ring = scene_points(static_cast<PointNode*>(hs[0]->contours[0]->value));
        ASSERT_EQ(ring.size(), 4u);
        EXPECT_NEAR(shoelace(ring), 25, 1e-3);  // the corner (12, 2) was followed
        EXPECT_NEAR(fill_area(hs[0]), 25, 1e-3);
        EXPECT_EQ(hs[0]->pattern, nullptr);
    }
    {
        SCOPED_TRACE("three clicks on an arc follow it, then a free point");
        HatchScene s;
        scene_ellipse(scene_layer(s.h.model()), {10, 9, 0}, 4, 0, kPi, false);
        s.h.click({14, 9, 0}).click({10, 13, 0}).click({6, 9, 0}).click({10, 3, 0}).esc().esc();
        EXPECT_EQ(s.h.run(kCmdFill), -1);
        const auto hs = scene_objects_of<HATCH>(s.h.model());
        ASSERT_EQ(hs.size(), 1u);
        const auto ring = scene_points(static_cast<PointNode*>(hs[0]->contours[0]->value));
        EXPECT_GT(ring.size(), 8u);
        // Half the disc (as a polygon at 15 degrees) and the triangle below it.
        EXPECT_NEAR(shoelace(ring), 0.5 * 12 * 16 * std::sin(kPi / 12) + 24, 1e-2);
    }
    {
        SCOPED_TRACE("a point off the plane of the first three is refused");
        HatchScene s;
        s.h.click({1, 1, 0}).click({9, 1, 0}).click({9, 9, 0}).typed("1 9 5").click({1, 9, 0}).esc().esc();
        EXPECT_EQ(s.h.run(kCmdFill), -1);
        EXPECT_EQ(s.boxes.texts, (std::vector<std::string>{"Contour is not flat"}));
        const auto hs = scene_objects_of<HATCH>(s.h.model());
        ASSERT_EQ(hs.size(), 1u);
        EXPECT_NEAR(fill_area(hs[0]), 64, 1e-3);
    }
    {
        SCOPED_TRACE("a click back on the first point closes without a message; so does a followed run");
        HatchScene s;
        s.h.click({1, 1, 0}).click({9, 1, 0}).click({9, 9, 0}).click({1, 1, 0}).esc().esc();
        EXPECT_EQ(s.h.run(kCmdFill), -1);
        // Round a circle in two halves, back to where following began.
        scene_ellipse(scene_layer(s.h.model()), {20, 9, 0}, 4, 0, 0, true);
        s.h.click({24, 9, 0}).click({16, 9, 0}).click({24, 9, 0}).esc().esc();
        EXPECT_EQ(s.h.run(kCmdFill), -1);
        EXPECT_TRUE(s.boxes.texts.empty());
        const auto hs = scene_objects_of<HATCH>(s.h.model());
        ASSERT_EQ(hs.size(), 2u);
        std::vector<double> areas{fill_area(hs[0]), fill_area(hs[1])};
        std::sort(areas.begin(), areas.end());
        EXPECT_NEAR(areas[0], 32, 1e-3);
        EXPECT_NEAR(areas[1], 24 * 0.5 * 16 * std::sin(kPi / 12), 1e-2);
    }
    {
        SCOPED_TRACE("closing a figure eight asks; No discards the contour");
        HatchScene s;
        s.boxes.answer = kIdNo;
        s.h.click({1, 1, 0}).click({9, 1, 0}).click({1, 9, 0}).click({9, 9, 0}).esc();
        EXPECT_EQ(s.h.run(kCmdHatch), 0);
        EXPECT_EQ(s.boxes.texts, (std::vector<std::string>{"Contour should not cross itself"}));
        EXPECT_TRUE(scene_objects_of<HATCH>(s.h.model()).empty());
    }
    {
        SCOPED_TRACE("a crossing segment is refused and the user clicks again");
        HatchScene s;
        s.h.click({1, 1, 0}).click({9, 9, 0}).click({9, 1, 0}).click({1, 9, 0}).click({5, 0, 0}).esc().esc();
        EXPECT_EQ(s.h.run(kCmdFill), -1);
        EXPECT_EQ(s.boxes.texts, (std::vector<std::string>{"Contour should not cross itself"}));
        EXPECT_EQ(scene_objects_of<HATCH>(s.h.model()).size(), 1u);
    }
    {
        SCOPED_TRACE("Cancel in the style dialog makes no hatch");
        HatchScene s;
        s.d.hatch = -1;
        s.h.click({1, 1, 0}).click({9, 1, 0}).click({9, 9, 0}).esc();
        EXPECT_EQ(s.h.run(kCmdHatch), 0);
        EXPECT_TRUE(scene_objects_of<HATCH>(s.h.model()).empty());
    }
}

TEST(HatchSessions, HoleIsOneUndoStep) {
    for (int mode : {-1, 0}) {
        SCOPED_TRACE(mode);
        g_prefs.undo_mode = mode;
        HatchScene s;
        s.h.click({1, 1, 0}).click({15, 1, 0}).click({15, 15, 0}).click({1, 15, 0}).esc().esc();
        EXPECT_EQ(s.h.run(kCmdFill), -1);
        ASSERT_EQ(scene_objects_of<HATCH>(s.h.model()).size(), 1u);
        const int levels = s.h.model()->undo_levels;
        s.h.click({8, 8, 0}).click({4, 4, 0}).click({8, 4, 0}).click({8, 8, 0}).esc().esc();
        EXPECT_EQ(s.h.run(kCmdHatchHole), -1);
        auto hs = scene_objects_of<HATCH>(s.h.model());
        ASSERT_EQ(hs.size(), 1u);
        ASSERT_NE(hs[0]->contours[1], nullptr);
        EXPECT_NEAR(fill_area(hs[0]), 196 - 8, 1e-3);
        if (mode == 0) {
            EXPECT_EQ(s.h.model()->undo_levels, 0);
            continue;
        }
        EXPECT_EQ(s.h.model()->undo_levels, levels + 1);
        cmd_undo(s.h.view());
        hs = scene_objects_of<HATCH>(s.h.model());
        ASSERT_EQ(hs.size(), 1u);
        EXPECT_EQ(hs[0]->contours[1], nullptr);
        EXPECT_NEAR(fill_area(hs[0]), 196, 1e-3);
    }
    g_prefs.undo_mode = -1;
}

// A view tilted away from the plan: drawing z = 0 is seen at an angle.
void tilt(VIEW* v, double ax, double az) {
    mat_rotate_xyz(&v->projection.view, &v->projection.inverse, ax, 0, az);
    v->projection.mode = kProjParallel;
    v->projection.origin_x = -10;
    v->projection.origin_y = -10;
}

Vec3 on_circle(const Vec3& c, double r, double t) {
    return {static_cast<float>(c.x + r * std::cos(t)), static_cast<float>(c.y + r * std::sin(t)), c.z};
}

TEST(HatchSessions, FollowingCurvesDirectionAndTiltedViews) {
    const Vec3 c{10, 9, 0};
    const double sector = 0.5 * 16 * std::sin(kPi / 12);  // one 15-degree piece of the polygon
    {
        SCOPED_TRACE("a circle goes counter-clockwise from the last point to the new one");
        HatchScene s;
        scene_ellipse(scene_layer(s.h.model()), c, 4, 0, 0, true);
        s.h.click(on_circle(c, 4, 0)).click(on_circle(c, 4, -kPi / 2)).esc().esc();
        EXPECT_EQ(s.h.run(kCmdFill), -1);
        const auto hs = scene_objects_of<HATCH>(s.h.model());
        ASSERT_EQ(hs.size(), 1u);
        const auto ring = scene_points(static_cast<PointNode*>(hs[0]->contours[0]->value));
        EXPECT_NEAR(shoelace(ring), 18 * sector + 8, 1e-2);  // three quarters and the triangle
    }
    {
        SCOPED_TRACE("one point of a circle twice: the whole way round");
        HatchScene s;
        scene_ellipse(scene_layer(s.h.model()), c, 4, 0, 0, true);
        s.h.click(on_circle(c, 4, 0)).click(on_circle(c, 4, 0)).esc().esc();
        EXPECT_EQ(s.h.run(kCmdFill), -1);
        EXPECT_TRUE(s.boxes.texts.empty());
        const auto hs = scene_objects_of<HATCH>(s.h.model());
        ASSERT_EQ(hs.size(), 1u);
        EXPECT_NEAR(fill_area(hs[0]), 24 * sector, 1e-2);
    }
    {
        SCOPED_TRACE("an arc: the second click leads the way, doubling back crosses");
        HatchScene s;
        scene_ellipse(scene_layer(s.h.model()), c, 4, 0, kPi, false);
        s.h.click(on_circle(c, 4, 0)).click(on_circle(c, 4, kPi)).click(on_circle(c, 4, kPi / 2)).esc().esc();
        EXPECT_EQ(s.h.run(kCmdFill), -1);
        EXPECT_EQ(s.boxes.texts, (std::vector<std::string>{"Contour should not cross itself"}));
    }
    for (const double ax : {kPi / 3, -kPi / 4}) {
        SCOPED_TRACE("a circle in a tilted view: clicks carried along the view line onto its plane");
        HatchScene s;
        tilt(s.h.view(), ax, kPi / 6);
        scene_ellipse(scene_layer(s.h.model()), c, 4, 0, 0, true);
        s.h.click(on_circle(c, 4, 0)).click(on_circle(c, 4, kPi / 2)).click(on_circle(c, 4, kPi)).esc().esc();
        EXPECT_EQ(s.h.run(kCmdFill), -1);
        EXPECT_TRUE(s.boxes.texts.empty());
        const auto hs = scene_objects_of<HATCH>(s.h.model());
        ASSERT_EQ(hs.size(), 1u);
        const auto ring = scene_points(static_cast<PointNode*>(hs[0]->contours[0]->value));
        for (const Vec3& q : ring) EXPECT_NEAR(q.z, 0, 1e-3);
        EXPECT_NEAR(fill_area(hs[0]), 12 * sector, 0.3);  // clicks land on whole pixels
    }
    {
        SCOPED_TRACE("a polyline followed in a tilted view stays in its plane");
        HatchScene s;
        tilt(s.h.view(), kPi / 3, kPi / 6);
        scene_line(scene_layer(s.h.model()), {{2, 2, 0}, {12, 2, 0}, {12, 12, 0}, {2, 12, 0}});
        s.h.click({7, 2, 0}).click({12, 7, 0}).click({7, 12, 0}).esc().esc();
        EXPECT_EQ(s.h.run(kCmdFill), -1);
        EXPECT_TRUE(s.boxes.texts.empty());
        const auto hs = scene_objects_of<HATCH>(s.h.model());
        ASSERT_EQ(hs.size(), 1u);
        const auto ring = scene_points(static_cast<PointNode*>(hs[0]->contours[0]->value));
        ASSERT_EQ(ring.size(), 5u);
        for (const Vec3& q : ring) EXPECT_NEAR(q.z, 0, 1e-3);
        EXPECT_NEAR(fill_area(hs[0]), 50, 0.5);  // clicks land on whole pixels
    }
    {
        SCOPED_TRACE("hatch and hole in a tilted view: accepted, counter-clockwise as seen, one undo step");
        HatchScene s;
        tilt(s.h.view(), kPi / 3, kPi / 6);
        VIEW* v = s.h.view();
        auto at = [&](double x, double y) {  // a point of the view plane through the origin
            Vec3 w;
            view_to_world(&v->projection, Vec3{static_cast<float>(x), static_cast<float>(y), 0}, &w);
            return w;
        };
        // Clockwise as seen: the hatch turns it round.
        s.h.click(at(1, 1)).click(at(1, 15)).click(at(15, 15)).click(at(15, 1)).esc().esc();
        EXPECT_EQ(s.h.run(kCmdHatch), -1);
        EXPECT_EQ(s.d.hatches, 1);
        auto hs = scene_objects_of<HATCH>(s.h.model());
        ASSERT_EQ(hs.size(), 1u);
        double seen = 0;
        const auto ring = scene_points(static_cast<PointNode*>(hs[0]->contours[0]->value));
        for (size_t i = 0; i < ring.size(); ++i) {
            Vec3 a, b;
            world_to_view(&v->projection, ring[i], &a);
            world_to_view(&v->projection, ring[(i + 1) % ring.size()], &b);
            seen += static_cast<double>(a.x) * b.y - static_cast<double>(b.x) * a.y;
        }
        EXPECT_NEAR(seen / 2, 196, 1e-2);
        EXPECT_NEAR(fill_area(hs[0]), 196, 1e-2);
        const int levels = s.h.model()->undo_levels;
        s.h.click(at(8, 8)).click(at(4, 4)).click(at(8, 4)).click(at(8, 8)).esc().esc();
        EXPECT_EQ(s.h.run(kCmdHatchHole), -1);
        hs = scene_objects_of<HATCH>(s.h.model());
        ASSERT_EQ(hs.size(), 1u);
        ASSERT_NE(hs[0]->contours[1], nullptr);
        EXPECT_NEAR(fill_area(hs[0]), 196 - 8, 1e-2);
        EXPECT_EQ(s.h.model()->undo_levels, levels + 1);
        cmd_undo(s.h.view());
        hs = scene_objects_of<HATCH>(s.h.model());
        ASSERT_EQ(hs.size(), 1u);
        EXPECT_EQ(hs[0]->contours[1], nullptr);
    }
}

// Brute-force simplicity: no two non-adjacent edges of the ring meet.
bool simple_ring(const std::vector<Vec3d>& p) {
    auto orient = [](const Vec3d& a, const Vec3d& b, const Vec3d& c) {
        return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    };
    const size_t n = p.size();
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j) {
            if (j == i + 1 || (i == 0 && j == n - 1)) continue;
            const Vec3d &a = p[i], &b = p[(i + 1) % n], &c = p[j], &d = p[(j + 1) % n];
            const double d1 = orient(c, d, a), d2 = orient(c, d, b), d3 = orient(a, b, c), d4 = orient(a, b, d);
            if (d1 * d2 <= 0 && d3 * d4 <= 0) {
                // Collinear pieces only meet when their boxes overlap.
                if (d1 == 0 && d2 == 0 &&
                    (std::max(a.x, b.x) < std::min(c.x, d.x) || std::max(c.x, d.x) < std::min(a.x, b.x)))
                    continue;
                return false;
            }
        }
    return true;
}

TEST(RandomContours, AcceptedOnesAreSimpleFlatAndFillTheirArea) {
    Boxes boxes;
    std::mt19937 rng(20261207);
    std::uniform_real_distribution<double> coord(0, 20);
    int accepted = 0;
    for (int trial = 0; trial < 200; ++trial) {
        Harness h;
        VIEW* v = h.view();
        // A tilted plane: frame u, v, normal n through o.
        const double tilt = 0.1 * (trial % 7), turn = 0.3 * (trial % 5);
        const Vec3d u{std::cos(turn), std::sin(turn), 0};
        const Vec3d w{-std::sin(turn) * std::cos(tilt), std::cos(turn) * std::cos(tilt), std::sin(tilt)};
        auto at = [&](double a, double b) {
            return Vec3{static_cast<float>(3 + a * u.x + b * w.x), static_cast<float>(-2 + a * u.y + b * w.y),
                        static_cast<float>(1 + a * u.z + b * w.z)};
        };
        Contour c;
        const int n = 4 + trial % 9;
        std::vector<std::pair<double, double>> plane;
        for (int i = 0; i < n; ++i) {
            const double a = coord(rng), b = coord(rng);
            int ok = 0;
            ASSERT_EQ(contour_add_point(v, &c, at(a, b), &ok), 0);
            if (ok) plane.push_back({a, b});
        }
        if (c.count < 3 || !c.plane_known) {
            contour_clear(&c);
            continue;
        }
        // The ring's points in order (the list prepends).
        std::vector<Vec3> pts;
        for (PointNode* p = c.vertices; p; p = p->next) pts.insert(pts.begin(), Vec3{p->x, p->y, p->z});
        if (contour_crosses_itself(&c, pts.front())) {
            contour_clear(&c);
            continue;
        }
        PointNode* tail = c.vertices;
        while (tail->next) tail = tail->next;
        tail->next = c.vertices;
        ++accepted;
        // Simple in the plane's own coordinates, and flat.
        std::vector<Vec3d> flat;
        double area = 0;
        for (const Vec3& p : pts) {
            const Vec3d d{p.x - 3.0, p.y + 2.0, p.z - 1.0};
            flat.push_back({d.x * u.x + d.y * u.y + d.z * u.z, d.x * w.x + d.y * w.y + d.z * w.z, 0});
            const double nx = u.y * w.z - u.z * w.y, ny = u.z * w.x - u.x * w.z, nz = u.x * w.y - u.y * w.x;
            EXPECT_LT(std::fabs(d.x * nx + d.y * ny + d.z * nz), 1e-3);
        }
        for (size_t i = 0; i < flat.size(); ++i) {
            const Vec3d& q = flat[i];
            const Vec3d& r = flat[(i + 1) % flat.size()];
            area += q.x * r.y - r.x * q.y;
        }
        EXPECT_TRUE(simple_ring(flat)) << "trial " << trial;
        HATCH* fill = nullptr;
        int made = 0;
        ASSERT_EQ(fill_from_contour(v, &fill, &c, &made, 0), 0);
        ASSERT_EQ(made, 1);
        EXPECT_NEAR(fill_area(fill), std::fabs(area) / 2, 1e-3 * std::max(1.0, std::fabs(area))) << "trial " << trial;
        rtc_destroy(fill);
    }
    EXPECT_GT(accepted, 40);
}

}  // namespace
