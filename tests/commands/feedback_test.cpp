// Canvas primitives and cursor feedback in XOR: every primitive and every feedback
// routine drawn twice leaves the canvas byte-identical; snapshots of the crosshair,
// rubber boxes and phantoms against stored references; phantom budgets and shared
// edges; arcs through three points.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/snap.h"
#include "commands/input/support.h"
#include "graphics/raster/raster.h"
#include "graphics/view/view_gdi.h"
#include "model/db/buffer.h"
#include "model/math/matrix.h"
#include "model/math/scalar.h"
#include "pictures.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

#include <QImage>

namespace {

size_t lit_pixels(const Canvas& c, uint32_t background) {
    size_t n = 0;
    const uint8_t bg[3] = {static_cast<uint8_t>(background >> 16), static_cast<uint8_t>(background >> 8),
                           static_cast<uint8_t>(background)};
    for (int r = 0; r < c.height(); ++r)
        for (int x = 0; x < c.width(); ++x) n += std::memcmp(c.row(r) + 3 * x, bg, 3) != 0;
    return n;
}

TEST(Canvas, EveryPrimitiveTwiceInXorRestoresTheImage) {
    Canvas c;
    ASSERT_EQ(c.resize(64, 48, 0x102030), 0);
    const auto before = canvas_pixels(c);
    struct Prim {
        const char* what;
        std::function<void(Canvas&)> draw;
    };
    const std::vector<Prim> prims = {
        {"line", [](Canvas& k) { k.line(3, 4, 60, 40); }},
        {"steep line", [](Canvas& k) { k.line(10, 0, 12, 47); }},
        {"far line", [](Canvas& k) { k.line(-2000000000, 5, 2000000000, 30); }},
        {"zero line", [](Canvas& k) { k.line(5, 5, 5, 5); }},
        {"rect", [](Canvas& k) { k.rect(60, 40, 2, 3); }},
        {"flat rect", [](Canvas& k) { k.rect(5, 9, 40, 9); }},
        {"circle", [](Canvas& k) { k.circle(30, 20, 15); }},
        {"clipped circle", [](Canvas& k) { k.circle(0, 0, 40); }},
        {"arc", [](Canvas& k) { k.arc(30, 20, 45, 20, 30, 35, 15); }},
        {"arc the long way", [](Canvas& k) { k.arc(30, 20, 30, 35, 45, 20, 15); }},
        {"pixel", [](Canvas& k) { k.pixel(63, 47); }},
        {"triangle", [](Canvas& k) { k.triangle(2, 3, 60, 10, 20, 45); }},
        {"clipped triangle", [](Canvas& k) { k.triangle(-100, -50, 200, 20, 30, 400); }},
        {"flat triangle", [](Canvas& k) { k.triangle(5, 9, 40, 9, 20, 9); }},
        {"segments", [](Canvas& k) {
             const int32_t s[8] = {0, 0, 63, 47, 63, 0, 0, 47};
             k.segments(s, 2);
         }},
    };
    for (const Prim& p : prims) {
        SCOPED_TRACE(p.what);
        c.set_pen(kDrawXor, 0xFFFFFF);
        p.draw(c);
        if (std::strcmp(p.what, "zero line") != 0) {
            EXPECT_NE(canvas_pixels(c), before);
        }
        p.draw(c);
        EXPECT_EQ(canvas_pixels(c), before);
    }
    // A closed outline sets each pixel once: a rectangle's corners are lit.
    c.set_pen(kDrawXor, 0xFFFFFF);
    c.rect(10, 10, 20, 15);
    EXPECT_EQ(lit_pixels(c, 0x102030), 2u * 11 + 2u * 4);
    c.rect(10, 10, 20, 15);
    // A filled right triangle with legs of 10 pixels covers its 66 lattice points.
    c.triangle(30, 5, 40, 5, 30, 15);
    EXPECT_EQ(lit_pixels(c, 0x102030), 66u);
}

// Shows and hides the step's feedback at a few cursor positions, as the view does.
void cycle_feedback(Harness& h, InputMoveFn fn, std::initializer_list<std::pair<int, int>> at) {
    view_input_state(h.view())->on_move = fn;
    for (auto [x, y] : at) {
        h.view()->cursor_pixel[0] = x;
        h.view()->cursor_pixel[1] = y;
        h.show_cursor_mark(h.view(), true, true);
        h.show_cursor_mark(h.view(), false, true);
    }
}

struct FeedbackScene {
    Harness h{1, 160, 120};
    buffer* objects;
    FeedbackScene() {
        LAYER* l = scene_layer(h.model());
        XPLINE* a = scene_line(l, {{10, 10, 0}, {40, 10, 0}, {40, 30, 0}});
        XPLINE* b = scene_line(l, {{40, 30, 0}, {40, 10, 0}, {60, 10, 0}});  // shares an edge with a
        objects = buffer_new();
        EXPECT_EQ(buffer_add(objects, a), 0);
        EXPECT_EQ(buffer_add(objects, b), 0);
        DocInputState* st = view_input_state(h.view());
        st->points[0] = {50, 50, 0};
        st->points[1] = {70, 60, 0};
        input_set_last_point(h.view(), objects, {0, 0, 0});
        h.forced_command_view = h.view();
    }
    ~FeedbackScene() { buffer_free(&objects); }
};

TEST(Feedback, EveryRoutineErasesExactlyAtEveryAngle) {
    const std::vector<std::pair<const char*, InputMoveFn>> routines = {
        {"crosshair", cursor_draw_crosshair},
        {"snap box", cursor_draw_snap_box},
        {"rubber line", cursor_draw_rubber_line},
        {"rubber ortho", cursor_draw_rubber_ortho},
        {"rubber box", cursor_draw_rubber_box},
        {"centred box", cursor_draw_rubber_box_centred},
        {"mirrored box", cursor_draw_rubber_box_mirrored},
        {"radius", [](VIEW* v, int x, int y) { cursor_draw_radius(v, x, y); }},
        {"circle", [](VIEW* v, int x, int y) { cursor_draw_circle(v, x, y); }},
        {"centre marker", cursor_draw_centre_marker},
        {"phantom moved", cursor_draw_phantom_moved},
        {"phantom scaled", cursor_draw_phantom_scaled},
        {"phantom rotated", cursor_draw_phantom_rotated},
    };
    for (double angle : {0.0, kPi / 6}) {
        for (const auto& [what, fn] : routines) {
            SCOPED_TRACE(what);
            FeedbackScene s;
            view_set_cursor_angle(s.h.view(), angle);
            s.h.view()->input_flags = kSnapFree | 2;  // the snap box too
            const auto before = canvas_pixels(s.h.window()->canvas);
            // Inside, on the edge, on slot 0, and far outside the window.
            cycle_feedback(s.h, fn, {{80, 60}, {0, 0}, {50, 50}, {159, 119}, {-3000000, 2000000000}});
            EXPECT_EQ(canvas_pixels(s.h.window()->canvas), before);
        }
    }
}

TEST(Feedback, SnapshotsOfCrosshairBoxesAndPhantoms) {
    struct Shot {
        const char* name;
        double angle;
        InputMoveFn fn;
        int x = 110, y = 80;
    };
    const std::vector<Shot> shots = {
        {"crosshair", 0.0, cursor_draw_crosshair},
        {"rubber_box_0", 0.0, cursor_draw_rubber_box},
        {"rubber_box_30", kPi / 6, cursor_draw_rubber_box},
        {"phantom_moved", 0.0, cursor_draw_phantom_moved, 80, 60},
        {"phantom_rotated", kPi / 6, cursor_draw_phantom_rotated, 60, 100},
    };
    for (const Shot& s : shots) {
        SCOPED_TRACE(s.name);
        FeedbackScene f;
        view_set_cursor_angle(f.h.view(), s.angle);
        view_input_state(f.h.view())->on_move = s.fn;
        f.h.view()->cursor_pixel[0] = s.x;
        f.h.view()->cursor_pixel[1] = s.y;
        f.h.show_cursor_mark(f.h.view(), true, true);
        expect_picture(f.h.window()->canvas, "commands", s.name);
        f.h.show_cursor_mark(f.h.view(), false, true);
    }
}

TEST(Phantom, SharedEdgeOnceAndAnInterruptedDrawErasedByItsCount) {
    FeedbackScene s;
    VIEW* v = s.h.view();
    view_set_xor(v);
    const auto before = canvas_pixels(s.h.window()->canvas);
    // The shared edge (40,10)-(40,30) is drawn once, so it shows.
    cursor_draw_phantom_moved(v, 0, 0);
    const uint8_t* row = s.h.window()->canvas.row(120 - 1 - 20);
    EXPECT_NE(row[3 * 40] | row[3 * 40 + 1] | row[3 * 40 + 2], 0);
    v->cursor_shown = 1;
    cursor_draw_phantom_moved(v, 0, 0);
    v->cursor_shown = 0;
    EXPECT_EQ(canvas_pixels(s.h.window()->canvas), before);

    // A large phantom interrupted by input after 32 segments is erased by 32.
    LAYER* l = scene_layer(s.h.model());
    auto big = buffer_new();
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(buffer_add(
                      big, scene_line(
                               l, {{float(i), 0, 0}, {float(i), 50, 0}, {float(i) + 0.5f, 60, 0}})),
                  0);
    input_set_last_point(v, big, {0, 0, 0});
    s.h.pending_after = 1;  // the second question (after 32 segments) finds input waiting
    v->phantom_count = 0;
    cursor_draw_phantom_moved(v, 20, 20);
    EXPECT_EQ(v->phantom_count, 32);
    v->cursor_shown = 1;
    cursor_draw_phantom_moved(v, 20, 20);
    v->cursor_shown = 0;
    EXPECT_EQ(v->phantom_count, 0);
    EXPECT_EQ(canvas_pixels(s.h.window()->canvas), before);
    input_clear_last_point(v);
    buffer_free(&big);
}

// A session moving a phantom of 80 segments: a draw that finds the next event waiting
// (or runs past its frame) stops early, the erasing pass takes back exactly what was
// drawn, and the canvas ends as it began.
TEST(Phantom, ASessionAbandonsLongDrawsForNewInput) {
    struct Case {
        const char* what;
        int64_t us_per_question;
        std::function<void(Harness&)> script;
        std::vector<int> drawn;
    };
    const auto idle = [](Harness&) {};
    const std::vector<Case> cases = {
        {"input waiting", 0,
         [&](Harness& h) { h.move(20, 20).move(60, 40).call(idle).move(30, 30).call(idle).click_px(30, 30); },
         {16, 80, 80, 16}},
        {"a frame's time", 5000,
         [&](Harness& h) { h.move(20, 20).call(idle).move(60, 40).call(idle).click_px(60, 40); },
         {64, 64, 16}},
    };
    static std::vector<int>* drawn = nullptr;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h{1, 160, 120};
        LAYER* l = scene_layer(h.model());
        buffer* big = buffer_new();
        for (int i = 0; i < 40; ++i)
            EXPECT_EQ(
                buffer_add(
                    big,
                    scene_line(l, {{float(i), 0, 0}, {float(i), 50, 0}, {float(i) + 0.5f, 60, 0}})),
                0);
        input_set_last_point(h.view(), big, {0, 0, 0});
        h.view()->input_flags = kSnapFree;
        h.draw_us_per_question = c.us_per_question;
        std::vector<int> counts;
        drawn = &counts;
        const auto before = canvas_pixels(h.window()->canvas);
        Vec3 p;
        g_probe = [&](VIEW** vr) {
            return input_point(
                vr, 42002,
                [](VIEW* v, int x, int y) {
                    const bool drawing = !v->cursor_shown;
                    cursor_draw_phantom_moved(v, x, y);
                    if (drawing) drawn->push_back(v->phantom_count);
                },
                nullptr, &p, 0);
        };
        h.define(kProbe, cmd_probe);
        c.script(h);
        EXPECT_EQ(h.run(kProbe), 0);
        EXPECT_EQ(counts, c.drawn);
        EXPECT_EQ(h.view()->phantom_count, 0);
        EXPECT_EQ(canvas_pixels(h.window()->canvas), before);
        input_clear_last_point(h.view());
        buffer_free(&big);
        drawn = nullptr;
    }
}

TEST(Phantom, RotationTurnsCounterClockwiseAboutSlotZero) {
    FeedbackScene s;
    VIEW* v = s.h.view();
    view_set_xor(v);
    cursor_draw_phantom_rotated(v, 60, 100);
    const double a = std::atan2(50.0, 10.0) - std::atan2(10.0, 20.0);
    Vec3d p{10, 0, 0}, q;
    mat_xform_point_d(&q, &p, &v->phantom.fwd);
    EXPECT_NEAR(q.x, 50 + 10 * std::cos(a), 1e-6);
    EXPECT_NEAR(q.y, 50 + 10 * std::sin(a), 1e-6);
    v->cursor_shown = 1;
    cursor_draw_phantom_rotated(v, 60, 100);
    v->cursor_shown = 0;
}

TEST(Phantom, ScaleFactorsTakeOneForAFlatReference) {
    FeedbackScene s;
    DocInputState* st = view_input_state(s.h.view());
    st->points[0] = {50, 50, 0};
    st->points[1] = {50, 70, 0};  // same x pixel
    double sx, sy, sz;
    phantom_scale_factors(s.h.view(), 53, 90, &sx, &sy, &sz);
    EXPECT_DOUBLE_EQ(sx, 3.0);
    EXPECT_DOUBLE_EQ(sy, 2.0);
    EXPECT_DOUBLE_EQ(sz, 1.0);
}

TEST(Arc3p, CollinearRepeatedAndFarPoints) {
    struct Case {
        const char* what;
        int p[6];
        bool straight;  // drawn as the line from the first to the third point
    };
    const std::vector<Case> cases = {
        {"collinear", {10, 10, 30, 30, 50, 50}, true},
        {"one x", {20, 10, 20, 30, 20, 50}, true},
        {"middle repeats an end", {10, 10, 10, 10, 50, 20}, true},
        {"round", {10, 60, 60, 110, 110, 60}, false},
        {"far: a centre beyond reach draws the line", {-2000000000, 0, 0, 2000000000, 2000000000, 0}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h(1, 160, 120);
        view_set_xor(h.view());
        const auto before = canvas_pixels(h.window()->canvas);
        view_gdi_arc3p(h.view(), c.p[0], c.p[1], c.p[2], c.p[3], c.p[4], c.p[5]);
        const auto drawn = canvas_pixels(h.window()->canvas);
        view_gdi_arc3p(h.view(), c.p[0], c.p[1], c.p[2], c.p[3], c.p[4], c.p[5]);
        EXPECT_EQ(canvas_pixels(h.window()->canvas), before);
        Canvas line;
        EXPECT_EQ(line.resize(160, 120, Canvas::palette_colour(0)), 0);
        line.set_pen(kDrawXor, Canvas::palette_colour(7));
        line.line(c.p[0], c.p[1], c.p[4], c.p[5]);
        EXPECT_EQ(drawn == canvas_pixels(line), c.straight);
    }
    // The round case passes through its middle point's pixel.
    Harness h(1, 160, 120);
    view_set_xor(h.view());
    view_gdi_arc3p(h.view(), 10, 60, 60, 110, 110, 60);
    const uint8_t* top = h.window()->canvas.row(120 - 1 - 110);
    EXPECT_NE(top[3 * 60] | top[3 * 60 + 1] | top[3 * 60 + 2], 0);
}

}  // namespace

namespace {
std::vector<uint8_t> canvas_bytes(Harness& h, int i) { return canvas_pixels(h.window(i)->canvas); }
}  // namespace

// Marks shown in every view of the drawing go from every view when a step ends, also
// when it is cancelled (another command started) rather than ended by the user.
TEST(Feedback, MarksInOtherViewsGoWhenAStepIsCancelled) {
    struct Case {
        const char* what;
        std::function<void(Harness&)> end;
        int code;
    };
    const std::vector<Case> cases = {
        {"click", [](Harness& h) { h.click_px(40, 40); }, 0},
        {"Esc", [](Harness& h) { h.esc(); }, -1},
        {"another command", [](Harness& h) { h.start(15998); }, -2},
        {"quit", [](Harness& h) { h.quit(); }, -2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h(2, 160, 120);
        const auto before0 = canvas_bytes(h, 0), before1 = canvas_bytes(h, 1);
        int code = 99;
        Vec3 p;
        g_probe = [&](VIEW** vr) {
            code = input_point(vr, 42002, cursor_draw_crosshair, nullptr, &p, 0);
            return code;
        };
        h.define(kProbe, cmd_probe);
        h.define(15998, [](void*) { return 0; });
        h.move(50, 50);
        c.end(h);
        h.run(kProbe);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(h.view(0)->cursor_shown, 0);
        EXPECT_EQ(h.view(1)->cursor_shown, 0);
        EXPECT_EQ(canvas_bytes(h, 0), before0);
        EXPECT_EQ(canvas_bytes(h, 1), before1);
    }
}
