// Scripted runs of the polyline editor tool on the command processor: fillets and
// chamfers (also "Separate"), the weld dropping a point closer than 0.001, scissors,
// Esc while placing, keep-Z on and off, the right button ending a weld; and random
// edits that, undone, leave the drawing as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "../file/file_support.h"
#include "commands/input/support.h"
#include "commands/pledit/pln_editor.h"
#include "commands/pledit/pln_ops.h"
#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/math/scalar.h"
#include "model/mesh/chain.h"
#include "model/services/beep.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

namespace {

int g_beeps = 0;
std::vector<std::string> g_boxes;

class PlnEditorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_prefs.undo_mode = 32;
        g_prefs.pled_keep_z = 1;
        g_beeps = 0;
        g_boxes.clear();
        old_beep_ = beep_set_hook([](int) { ++g_beeps; });
        old_box_ = msgbox_set_hook([](const MsgBoxRequest& r) {
            g_boxes.push_back(r.text);
            return 1;
        });
        h.view()->projection.scale = 4.0;
    }
    void TearDown() override {
        beep_set_hook(old_beep_);
        msgbox_set_hook(old_box_);
        g_prefs.undo_mode = -1;
    }
    XPLINE* add_line(std::initializer_list<Vec3> p) { return scene_line(scene_layer(h.model()), p); }
    CPlnEditor* start(uint32_t id) {
        auto* t = static_cast<CPlnEditor*>(pln_make_tool(id));
        h.processor().SwitchCommand(h.window(), id, t);
        return t;
    }
    static void event(CPlnEditor* t, int code, const Vec3& p) {
        const float f[3] = {p.x, p.y, p.z};
        t->OnUpdateViews(code, 0, 0, 0, f);
    }
    static void click(CPlnEditor* t, const Vec3& p) { event(t, kPointerLeftDown, p); }
    void end(int code = 0) { h.processor().PostCmdCode(code); }

    Harness h;
    BeepHook old_beep_ = nullptr;
    MsgBoxHook old_box_;
};

TEST_F(PlnEditorTest, FilletOnARightAngle) {
    add_line({{10, 0, 0}, {0, 0, 0}, {0, 10, 0}});
    h.view()->values3[kPlnFilletRadius] = 5;
    CPlnEditor* t = start(kCmdFillet);
    click(t, {0, 0, 0});
    end();
    auto ls = scene_objects_of<XPLINE>(h.model());
    ASSERT_EQ(ls.size(), 1u);
    auto p = scene_points(ls[0]->control);
    ASSERT_GE(p.size(), 5u);
    expect_near3(p[0], {10, 0, 0});
    expect_near3(p[1], {5, 0, 0});  // tangent points 5 from the corner
    expect_near3(p[p.size() - 2], {0, 5, 0});
    expect_near3(p.back(), {0, 10, 0});
    for (size_t i = 1; i + 1 < p.size(); ++i)
        EXPECT_NEAR(std::hypot(p[i].x - 5.0, p[i].y - 5.0), 5.0, 1e-3) << i;  // on the arc about (5, 5)
    EXPECT_EQ(h.model()->undo_levels, 1);
    cmd_undo(h.view());
    ASSERT_EQ(scene_objects_of<XPLINE>(h.model()).size(), 1u);
    EXPECT_EQ(scene_points(scene_objects_of<XPLINE>(h.model())[0]->control).size(), 3u);
}

// Fillets at sharp to blunt corners, turning either way, flat and in a tilted plane:
// the points run from the first leg's tangent point to the second's with the angle
// about the centre moving one way, and the polyline never crosses itself.
TEST_F(PlnEditorTest, FilletPointsRunFromTheFirstTangentPointToTheSecond) {
    h.view()->values3[kPlnFilletRadius] = 1;
    using P2 = std::pair<double, double>;
    int n = 0;
    for (double tilt : {0.0, 0.5})
        for (int degrees : {20, 45, 90, 135, 160})
            for (int sense : {1, -1}) {
                SCOPED_TRACE(testing::Message() << degrees << " degrees, sense " << sense << ", tilt " << tilt);
                const double a = degrees * kPi / 180, ox = 30.0 * n++, ux = std::cos(a), uy = sense * std::sin(a);
                // The corner's plane: x along the first leg, y across it, turned by `tilt` about x.
                auto at = [&](double x, double y) {
                    return Vec3{float(ox + x), float(y * std::cos(tilt)), float(y * std::sin(tilt))};
                };
                add_line({at(10, 0), at(0, 0), at(10 * ux, 10 * uy)});
                CPlnEditor* t = start(kCmdFillet);
                t->separate = 0;
                click(t, at(0, 0));
                end();
                std::vector<P2> p;
                for (XPLINE* x : scene_objects_of<XPLINE>(h.model()))
                    if (std::fabs(x->control->x - (ox + 10)) < 1e-3)
                        for (const Vec3& q : scene_points(x->control))
                            p.emplace_back(q.x - ox, q.y * std::cos(tilt) + q.z * std::sin(tilt));
                ASSERT_GE(p.size(), 5u);
                const double tl = 1 / std::tan(a / 2);  // tangent length; the centre is (tl, sense)
                for (auto [got, want] : {std::pair{p[0], P2{10, 0}}, {p[1], P2{tl, 0}},
                                         {p[p.size() - 2], P2{tl * ux, tl * uy}}, {p.back(), P2{10 * ux, 10 * uy}}}) {
                    EXPECT_NEAR(got.first, want.first, 1e-3);
                    EXPECT_NEAR(got.second, want.second, 1e-3);
                }
                double swept = 0;
                for (size_t i = 2; i + 1 < p.size(); ++i) {
                    const double step = std::remainder(std::atan2(p[i].second - sense, p[i].first - tl) -
                                                           std::atan2(p[i - 1].second - sense, p[i - 1].first - tl),
                                                       2 * kPi);
                    EXPECT_LE(step * sense, 1e-6) << "point " << i;  // towards the second leg only
                    swept += step;
                }
                EXPECT_NEAR(swept * sense, a - kPi, 1e-3);
                auto side = [](P2 o, P2 u, P2 w) {
                    return (u.first - o.first) * (w.second - o.second) - (u.second - o.second) * (w.first - o.first);
                };
                for (size_t i = 0; i + 1 < p.size(); ++i)
                    for (size_t j = i + 2; j + 1 < p.size(); ++j)
                        EXPECT_FALSE(side(p[i], p[i + 1], p[j]) * side(p[i], p[i + 1], p[j + 1]) < -1e-9 &&
                                     side(p[j], p[j + 1], p[i]) * side(p[j], p[j + 1], p[i + 1]) < -1e-9)
                            << "segments " << i << " and " << j << " cross";
            }
}

// Fillets at corners of 5 to 175 degrees, turning either way, flat and tilted: no
// point follows an equal one (the tangent points were repeated at some angles).
TEST(PlnCorner, FilletPointsNeverRepeat) {
    int repeats = 0;
    for (double tilt : {0.0, 0.5})
        for (int degrees = 5; degrees <= 175; degrees += 5)
            for (int sense : {1, -1}) {
                const double a = degrees * kPi / 180;
                auto at = [&](double x, double y) {
                    return Vec3{float(x), float(y * std::cos(tilt)), float(y * std::sin(tilt))};
                };
                PlnCorner c;
                ASSERT_EQ(pln_corner_points(at(100, 0), at(0, 0), at(100 * std::cos(a), 100 * sense * std::sin(a)),
                                            false, 1, 0, 0, kPi / 12, &c), 0);
                for (const PointNode* q = c.points; q && q->next; q = q->next)
                    if (q->x == q->next->x && q->y == q->next->y && q->z == q->next->z) {
                        ADD_FAILURE() << degrees << " degrees, sense " << sense << ", tilt " << tilt;
                        ++repeats;
                    }
            }
    EXPECT_EQ(repeats, 0);
}

TEST_F(PlnEditorTest, FilletTooLargeForTheLegsChangesNothing) {
    add_line({{4, 0, 0}, {0, 0, 0}, {0, 4, 0}});
    h.view()->values3[kPlnFilletRadius] = 5;
    CPlnEditor* t = start(kCmdFillet);
    click(t, {0, 0, 0});
    end();
    EXPECT_EQ(g_boxes, std::vector<std::string>{"Can not chamfer these segments."});
    auto ls = scene_objects_of<XPLINE>(h.model());
    ASSERT_EQ(ls.size(), 1u);
    EXPECT_EQ(scene_points(ls[0]->control).size(), 3u);
    EXPECT_EQ(h.model()->undo_levels, 0);
}

TEST_F(PlnEditorTest, ChamferInPlaceAndSeparate) {
    add_line({{10, 0, 0}, {0, 0, 0}, {0, 10, 0}});
    add_line({{40, 0, 0}, {30, 0, 0}, {30, 10, 0}});
    h.view()->values3[kPlnFirstTrim] = 3;
    h.view()->values3[kPlnSecondTrim] = 4;
    CPlnEditor* t = start(kCmdChamfer);
    click(t, {0, 0, 0});
    t->separate = 1;
    click(t, {30, 0, 0});
    EXPECT_EQ(h.model()->undo_levels, 2);  // one level per edit
    end();
    auto ls = scene_objects_of<XPLINE>(h.model());
    ASSERT_EQ(ls.size(), 4u);
    auto a = scene_points(ls[0]->control);
    ASSERT_EQ(a.size(), 4u);
    expect_near3(a[1], {3, 0, 0});
    expect_near3(a[2], {0, 4, 0});
    // Separate: the first part to the first new point, the chamfer line, the rest.
    std::vector<std::vector<Vec3>> rest;
    for (size_t i = 1; i < ls.size(); ++i) rest.push_back(scene_points(ls[i]->control));
    std::sort(rest.begin(), rest.end(), [](auto& x, auto& y) { return x[0].x + x[0].y > y[0].x + y[0].y; });
    ASSERT_EQ(rest[0].size(), 2u);
    expect_near3(rest[0][0], {40, 0, 0});
    expect_near3(rest[0][1], {33, 0, 0});
    bool chamfer_line = false, second_part = false;
    for (auto& r : rest) {
        if (r.size() == 2 && std::fabs(r[0].x - 33) < 1e-4 && std::fabs(r[1].y - 4) < 1e-4) chamfer_line = true;
        if (r.size() == 2 && std::fabs(r[0].y - 4) < 1e-4 && std::fabs(r[1].y - 10) < 1e-4) second_part = true;
    }
    EXPECT_TRUE(chamfer_line);
    EXPECT_TRUE(second_part);
    cmd_undo(h.view());
    EXPECT_EQ(scene_objects_of<XPLINE>(h.model()).size(), 2u);
}

TEST_F(PlnEditorTest, TwoLinesPickedAtTheirEndsAreJoinedAtTheirCrossing) {
    add_line({{0, 0, 0}, {10, 0, 0}});
    add_line({{5, -5, 0}, {5, 5, 0}});
    add_line({{20, 0, 0}, {30, 0, 0}});
    add_line({{20, 5, 0}, {30, 5, 0}});
    add_line({{20, 20, 0}, {25, 25, 0}, {30, 20, 0}});
    h.view()->values3[kPlnFirstTrim] = 1;
    h.view()->values3[kPlnSecondTrim] = 1;
    CPlnEditor* t = start(kCmdChamfer);
    t->separate = 0;  // "Split" persists in the settings between runs
    click(t, {10, 0, 0});
    click(t, {25, 25, 0});  // an inner vertex of the second line is no end: beep, still waiting
    EXPECT_EQ(g_beeps, 1);
    click(t, {5, 5, 0});
    auto ls = scene_objects_of<XPLINE>(h.model());
    ASSERT_EQ(ls.size(), 4u);
    auto p = scene_points(ls.back()->control);
    ASSERT_EQ(p.size(), 4u);
    expect_near3(p[0], {0, 0, 0});
    expect_near3(p[1], {4, 0, 0});  // the picked ends gave way to the crossing at (5, 0)
    expect_near3(p[2], {5, -1, 0});
    expect_near3(p[3], {5, -5, 0});
    EXPECT_EQ(h.model()->undo_levels, 1);
    // Parallel end segments never meet: a beep, nothing changes.
    click(t, {30, 0, 0});
    click(t, {30, 5, 0});
    EXPECT_EQ(g_beeps, 2);
    end(1);
    EXPECT_EQ(scene_objects_of<XPLINE>(h.model()).size(), 4u);
    EXPECT_EQ(h.model()->undo_levels, 1);
}

TEST_F(PlnEditorTest, WeldDropsAPointCloserThanAThousandthAndKeepsTheOriginalsForUndo) {
    XPLINE* a = add_line({{0, 0, 0}, {10, 0, 0}});
    a->colour = 3;
    add_line({{10, 0.0005f, 0}, {20, 0, 0}});
    const std::string before = dump_drawing(h.model());
    CPlnEditor* t = start(kCmdWeld);
    click(t, {1, 0, 0});   // the chain starts at its end nearer the pick
    click(t, {11, 0, 0});
    ASSERT_EQ(t->weld_count, 2);
    event(t, kPointerRightDown, {0, 0, 0});  // two or more: ends with 0, the weld stays
    h.drain();
    EXPECT_FALSE(h.processor().command_running());
    auto ls = scene_objects_of<XPLINE>(h.model());
    ASSERT_EQ(ls.size(), 1u);
    auto p = scene_points(ls[0]->control);
    ASSERT_EQ(p.size(), 3u);
    expect_near3(p[0], {0, 0, 0});
    expect_near3(p[1], {10, 0, 0});
    expect_near3(p[2], {20, 0, 0});
    EXPECT_EQ(ls[0]->colour, 3);  // the first object's attributes
    cmd_undo(h.view());
    EXPECT_EQ(dump_drawing(h.model()), before);  // the picked lists came back as they were
}

TEST_F(PlnEditorTest, WeldOfOneObjectEndedKeepsEveryAttribute) {
    XPLINE* a = add_line({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}});
    a->colour = 3;
    a->line_style = static_cast<LINEPATT*>(model_find_patt(h.model(), "Solid", &LINEPATT::rtc_class));
    ASSERT_NE(a->line_style, nullptr);
    a->width = 0.7f;
    a->second = 2.5;
    CPlnEditor* t = start(kCmdWeld);
    click(t, {5, 0, 0});
    end();  // ended, not cancelled: the single weld stays
    auto ls = scene_objects_of<XPLINE>(h.model());
    ASSERT_EQ(ls.size(), 1u);
    EXPECT_NE(ls[0], a);
    EXPECT_EQ(ls[0]->colour, 3);
    EXPECT_EQ(ls[0]->line_style, a->line_style);
    EXPECT_EQ(ls[0]->width, 0.7f);
    EXPECT_EQ(ls[0]->second, 2.5);
}

// Closing a tool trims the history to the undo depth the user chose, not to the
// level count setting.
TEST_F(PlnEditorTest, ClosingAToolKeepsTheUndoDepth) {
    struct Case {
        int mode, levels_left;
    } cases[] = {{-1, 41}, {50, 41}, {0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        model_free_undo(h.model());
        g_prefs.undo_mode = c.mode;
        ASSERT_EQ(g_prefs.undo_level, 32);
        for (int i = 0; i < 40; ++i)
            ASSERT_EQ(model_add_object(scene_layer(h.model()), rtc_make<XPLINE>().release(), -1, 1), 0);
        const float y = float(10 * (&c - cases));
        add_line({{0, y, 0}, {10, y + 5, 0}, {20, y, 0}});
        CPlnEditor* t = start(kCmdSmooth);
        click(t, {10, y + 5, 0});
        end();
        EXPECT_EQ(h.model()->undo_levels, c.levels_left);
    }
}

TEST_F(PlnEditorTest, RightButtonAfterOneWeldPickTakesItBack) {
    add_line({{0, 0, 0}, {10, 0, 0}});
    const std::string before = dump_drawing(h.model());
    CPlnEditor* t = start(kCmdWeld);
    click(t, {5, 0, 0});
    event(t, kPointerRightDown, {0, 0, 0});  // a single pick: ends with 1
    h.drain();
    EXPECT_EQ(dump_drawing(h.model()), before);
    EXPECT_FALSE(h.processor().command_running());
}

TEST_F(PlnEditorTest, ScissorsOnFourPointsGiveThreeAndThree) {
    add_line({{0, 0, 0}, {10, 0, 0}, {20, 0, 0}, {30, 0, 0}});
    CPlnEditor* t = start(kCmdScissors);
    click(t, {15, 0, 0});
    click(t, {15, 0, 0});
    end();
    auto ls = scene_objects_of<XPLINE>(h.model());
    ASSERT_EQ(ls.size(), 2u);
    auto a = scene_points(ls[0]->control), b = scene_points(ls[1]->control);
    ASSERT_EQ(a.size(), 3u);
    ASSERT_EQ(b.size(), 3u);
    expect_near3(a[2], {15, 0, 0});
    expect_near3(b[0], {15, 0, 0});
    expect_near3(b[2], {30, 0, 0});
    EXPECT_EQ(h.model()->undo_levels, 1);
}

TEST_F(PlnEditorTest, EscWhilePlacingRestoresAndKeepZDecidesTheDepth) {
    add_line({{0, 0, 0}, {10, 0, 5}, {20, 0, 0}});
    const std::string before = dump_drawing(h.model());
    CPlnEditor* t = start(kCmdMoveVertex);
    click(t, {10, 0, 0});
    event(t, kPointerMove, {12, 7, 0});
    h.processor().PostCmdCode(1);  // Esc
    EXPECT_EQ(dump_drawing(h.model()), before);

    for (int keep : {1, 0}) {
        g_prefs.pled_keep_z = keep;
        t = start(kCmdMoveVertex);
        click(t, {10, 0, 0});
        event(t, kPointerMove, {12, 7, 0});
        click(t, {12, 7, 0});
        end();
        auto p = scene_points(scene_objects_of<XPLINE>(h.model())[0]->control);
        expect_near3(p[1], {12, 7, keep ? 5.0f : 0.0f});
        cmd_undo(h.view());
    }
}

// A typed point of 1e300 put an infinite node into a polyline of the drawing: it is
// refused with "Please enter the value correctly" and the tool waits for another.
TEST_F(PlnEditorTest, TypedPointBeyondTheRangeIsAskedAgain) {
    for (uint32_t id : {kCmdMoveVertex, kCmdAddVertex}) {
        SCOPED_TRACE(id);
        g_boxes.clear();
        const float oy = id == kCmdAddVertex ? 50.0f : 0.0f;  // a line of its own for each tool
        add_line({{0, oy, 0}, {10, oy, 0}, {20, oy, 0}});
        CPlnEditor* t = start(id);
        click(t, {id == kCmdAddVertex ? 5.0f : 10.0f, oy, 0});
        h.typed_answers = {"1e300 0 0", "12 " + std::to_string(oy + 7) + " 0"};
        t->OnKey('1', 1, 0);
        EXPECT_EQ(g_boxes, std::vector<std::string>{"Please enter the value correctly"});
        t->OnKey('1', 1, 0);
        end();
        auto lines = scene_objects_of<XPLINE>(h.model());
        auto p = scene_points(lines.back()->control);
        ASSERT_EQ(p.size(), id == kCmdAddVertex ? 4u : 3u);
        for (const Vec3& q : p) EXPECT_TRUE(std::isfinite(q.x)) << q.x;
        EXPECT_TRUE(std::any_of(p.begin(), p.end(), [&](const Vec3& q) { return q.x == 12 && q.y == oy + 7; }));
    }
}

TEST_F(PlnEditorTest, SmoothTwiceBeepsAndDeleteKeepsSinglePointLines) {
    add_line({{0, 0, 0}, {10, 5, 0}, {20, 0, 0}});
    CPlnEditor* t = start(kCmdSmooth);
    click(t, {10, 5, 0});
    click(t, {10, 5, 0});
    end();
    EXPECT_EQ(g_beeps, 1);
    EXPECT_EQ(scene_objects_of<XPLINE>(h.model())[0]->kind, 1);
    EXPECT_EQ(h.model()->undo_levels, 1);
    add_line({{40, 40, 0}});
    t = start(kCmdDeleteVertex);
    click(t, {40, 40, 0});  // a single point is never picked
    click(t, {10, 5, 0});
    end();
    auto ls = scene_objects_of<XPLINE>(h.model());
    ASSERT_EQ(ls.size(), 2u);
    EXPECT_EQ(scene_points(ls[0]->control).size() + scene_points(ls[1]->control).size(), 3u);
}

TEST_F(PlnEditorTest, RandomEditsUndoneLeaveTheDrawingAsItWas) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> c(0, 40);
    for (int i = 0; i < 4; ++i)
        add_line({{float(c(rng)), float(c(rng)), 0}, {float(c(rng)), float(c(rng)), 0}, {float(c(rng)), float(c(rng)), 0},
                  {float(c(rng)), float(c(rng)), 0}});
    const std::string before = dump_drawing(h.model());
    h.view()->values3[kPlnFilletRadius] = 1;
    h.view()->values3[kPlnFirstTrim] = 1;
    h.view()->values3[kPlnSecondTrim] = 1;
    for (int i = 0; i < 25; ++i) {  // fewer edits than the 32 undo levels kept
        const uint32_t id = kCmdMoveVertex + uint32_t(rng() % 9);
        CPlnEditor* t = start(id);
        t->separate = int(rng() % 2);
        auto objs = scene_objects_of<XPLINE>(h.model());
        if (objs.empty()) break;
        XPLINE* target = objs[rng() % objs.size()];
        auto p = scene_points(target->control);
        const Vec3 q = p[rng() % p.size()];
        click(t, q);
        click(t, {float(c(rng)), float(c(rng)), 0});
        if (id == kCmdWeld) click(t, q);
        end(0);
    }
    while (h.model()->undo_levels > 0) cmd_undo(h.view());
    EXPECT_EQ(dump_drawing(h.model()), before);
}

}  // namespace
