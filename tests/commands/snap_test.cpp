// Object snaps on one scene (every kind, their order, hidden layers), grid steps,
// keep-depth, and the snap toggle commands.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

#include "commands/input/snap.h"
#include "graphics/view/pick.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "graphics/view/view_gdi.h"
#include "model/db/solid.h"
#include "model/mesh/mesh_block.h"
#include "model/math/scalar.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

namespace {

struct Scene {
    Harness h;
    XPLINE* line;
    ELARC* circle;
    ELARC* arc;
    MESH3* mesh;
    Scene() {
        LAYER* l = scene_layer(h.model());
        line = scene_line(l, {{0, 0, 0}, {100, 0, 0}});
        circle = scene_ellipse(l, {150, 50, 0}, 20, 0, kTwoPi, true);
        arc = scene_ellipse(l, {50, 100, 0}, 20, 0, kPi / 2, false);
        scene_line(l, {{200, 0, 0}, {220, 20, 0}});
        scene_line(l, {{200, 20, 0}, {220, 0, 0}});
        auto m = rtc_make<MESH3>();
        const Vec3 a{100, 150, 4}, b{130, 150, 4}, c{130, 170, 4};
        EXPECT_EQ(mesh_add_face(m.get(), &a, &b, &c, nullptr, 0), 0);
        mesh = scene_add(l, m.release());
    }
    // The point for a cursor at (x, y) with these flags; 0 when none.
    int resolve(double x, double y, int32_t flags, Vec3* out) {
        VIEW* v = h.view();
        v->input_flags = flags;
        v->cursor[0] = x, v->cursor[1] = y, v->cursor[2] = 0;
        return input_resolve_point(v, out);
    }
};

TEST(Snap, KindsAndTheirOrderOnOneScene) {
    struct Case {
        const char* what;
        double x, y;
        int32_t flags;
        int hit;
        Vec3 point;
        int32_t kind;  // remembered kind (flag bit 14 is set in every case)
    };
    const std::vector<Case> cases = {
        {"line end", 97, 2, kSnapLineEnd, 1, {100, 0, 0}, kSnapLineEnd},
        {"end wins over midpoint", 97, 2, kSnapLineEnd | kSnapLineMid, 1, {100, 0, 0}, kSnapLineEnd},
        {"midpoint", 60, 1, kSnapLineMid, 1, {50, 0, 0}, kSnapLineMid},
        {"circle centre", 170, 51, kSnapCircleCentre, 1, {150, 50, 0}, kSnapCircleCentre},
        {"nearest quadrant", 150, 31, kSnapQuadrant, 1, {150, 30, 0}, kSnapQuadrant},
        {"a circle has no arc ends", 170, 51, kSnapArcEnd, 0, {0, 0, 0}, 0},
        {"arc start", 69, 101, kSnapArcEnd, 1, {70, 100, 0}, kSnapArcStartKind},
        {"arc end", 51, 119, kSnapArcEnd, 1, {50, 120, 0}, kSnapArcEnd},
        {"arc centre", 51, 119, kSnapArcCentre, 1, {50, 100, 0}, kSnapArcCentre},
        {"an arc has no quadrants", 51, 119, kSnapQuadrant, 0, {0, 0, 0}, 0},
        {"gravity centre", 30, 1, kSnapGravity, 1, {50, 0, 0}, kSnapGravity},
        {"line end before gravity", 97, 2, kSnapLineEnd | kSnapGravity, 1, {100, 0, 0}, kSnapLineEnd},
        {"circle before gravity", 170, 51, kSnapCircleCentre | kSnapGravity, 1, {150, 50, 0}, kSnapCircleCentre},
        {"intersection", 211, 10, kSnapIntersection, 1, {210, 10, 0}, 0},
        {"mesh vertex keeps its depth", 128, 151, kSnapVertex, 1, {130, 150, 4}, kSnapVertex},
        {"free point", 33, 44, kSnapFree | kSnapLineEnd, 1, {33, 44, 0}, 0},
    };
    Scene s;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Vec3 p{0, 0, 0};
        EXPECT_EQ(s.resolve(c.x, c.y, c.flags | kSnapRemember, &p), c.hit);
        if (!c.hit) continue;
        expect_near3(p, c.point, 1e-3);
        EXPECT_EQ(s.h.view()->snap_kind, c.kind);
        EXPECT_EQ(s.h.view()->snap_object != nullptr, c.kind != 0);
    }
}

TEST(Snap, NotRememberedWithoutTheFlagAndHiddenLayersAreSkipped) {
    Scene s;
    Vec3 p;
    EXPECT_EQ(s.resolve(97, 2, kSnapLineEnd, &p), 1);
    EXPECT_EQ(s.h.view()->snap_object, nullptr);
    s.h.view()->layer_state.flags = {0};
    EXPECT_EQ(s.resolve(97, 2, kSnapLineEnd, &p), 0);
}

TEST(Snap, TheFlatCopyFollowsChangesOfTheDrawing) {
    snap_track_changes();
    Scene s;
    Vec3 p;
    ASSERT_EQ(s.resolve(97, 2, kSnapLineEnd, &p), 1);
    // A new line and a removed one are seen by the next click.
    XPLINE* added = scene_line(scene_layer(s.h.model()), {{300, 300, 0}, {320, 300, 0}});
    ASSERT_EQ(s.resolve(318, 301, kSnapLineEnd, &p), 1);
    expect_near3(p, {320, 300, 0});
    obj_remove(added);
    rtc_destroy(added);
    EXPECT_EQ(s.resolve(318, 301, kSnapLineEnd, &p), 0);
    // An object destroyed in place (its destructor takes it out) is gone too.
    rtc_destroy(s.line);
    EXPECT_EQ(s.resolve(97, 2, kSnapLineEnd, &p), 0);
}

// Adds, deletes, undo, redo (with the history trimmed, so held objects die), moves,
// layer changes and a new layer in a random order: every click answered from the
// patched flat copies (the snap copy and the pick device's layer indexes) gives what
// a fresh walk of the drawing gives, query for query.
TEST(Snap, PatchedCopiesAnswerAsAFreshWalk) {
    Harness h;
    MODEL* m = h.model();
    VIEW* v = h.view();
    v->projection.scale = 10;  // the 5-pixel aperture is half a unit
    std::vector<LAYER*> layers = {scene_layer(m)};
    for (int i = 0; i < 2; ++i) {
        auto l = rtc_make<LAYER>();
        layers.push_back(l.get());
        EXPECT_EQ(container_insert(m, l.release()), 0);
    }
    std::mt19937 rng(44);
    auto cell = [&rng] { return Vec3{float(rng() % 12) * 4, float(rng() % 12) * 4, 0}; };
    auto line_at = [](Vec3 c, float dx, float dy) {
        auto x = rtc_make<XPLINE>();
        x->control = scene_plist({c, {c.x + dx, c.y + dy, 0}});
        return x;
    };
    auto live = [&] {
        std::vector<object*> out;
        for (LAYER* l : layers)
            for (object* o : scene_children(l)) out.push_back(o);
        return out;
    };
    struct Answer {
        int hit;
        Vec3 point;
        object* obj;
        int32_t kind;
        std::vector<object*> picked;
        bool operator==(const Answer& o) const {
            return hit == o.hit && obj == o.obj && kind == o.kind && picked == o.picked &&
                   std::memcmp(&point, &o.point, sizeof point) == 0;
        }
    };
    auto ask = [&](Vec3 at, bool copies) {
        snap_track_changes(copies);
        Answer a{};
        v->input_flags = kSnapFree | kSnapLineEnd | kSnapCircleCentre | kSnapArcEnd | kSnapGravity |
                         kSnapIntersection | kSnapVertex | kSnapRemember;
        v->cursor[0] = at.x, v->cursor[1] = at.y, v->cursor[2] = 0;
        a.hit = input_resolve_point(v, &a.point);
        a.obj = static_cast<object*>(v->snap_object);
        a.kind = v->snap_kind;
        PickWindow w;
        w.flags = kPickPoint;
        world_to_view(&v->projection, at, &w.p1);
        if (copies) {  // the layers' box indexes
            EXPECT_EQ(pick_object_in_window_ex(
                          &v->projection, m, &w,
                          [](object* o, void* arg) {
                              static_cast<std::vector<object*>*>(arg)->push_back(o);
                              return 0;
                          },
                          &a.picked),
                      0);
        } else {  // every object tested on its own
            for (object* o : live()) {
                PickWindow one = w;
                if (pick_object_in_window(&v->projection, o, &one)) a.picked.push_back(o);
            }
        }
        return a;
    };
    int compared = 0, hits = 0;
    for (int step = 0; step < 1500; ++step) {
        std::vector<object*> objs = live();
        object* some = objs.empty() ? nullptr : objs[rng() % objs.size()];
        LAYER* into = layers[rng() % layers.size()];
        switch (rng() % 10) {
            case 0:
            case 1:
                EXPECT_EQ(model_add_object(into, line_at(cell(), 3, 2).release(), 6, 1), 0);
                break;
            case 2: {
                auto e = rtc_make<ELARC>();
                const Vec3 c = cell();
                e->flags = kElarcCircular | kElarcWholeEllipse;
                e->centre = c;
                e->axis1 = {c.x + 1.5f, c.y, 0};
                e->axis2 = {c.x, c.y + 1.5f, 0};
                e->end = kTwoPi;
                EXPECT_EQ(regen_object(e.get()), 0);
                EXPECT_EQ(model_add_object(into, e.release(), 6, 1), 0);
                break;
            }
            case 3: {
                auto g = rtc_make<CONTAINER>();
                const Vec3 c = cell();
                EXPECT_EQ(container_insert(g.get(), line_at(c, 2, 3).release()), 0);
                EXPECT_EQ(container_insert(g.get(), line_at(c, 3, -1).release()), 0);
                EXPECT_EQ(model_add_object(into, g.release(), 6, 1), 0);
                break;
            }
            case 4:
                if (some) {
                    EXPECT_EQ(model_delete_object(some, 6, 1), 0);
                }
                break;
            case 5:
                model_undo(m);
                break;
            case 6:
                model_redo(m);
                break;
            case 7: {  // moved in place; a group by one of its members
                object* moving = some;
                if (auto* g = rtc_cast<CONTAINER>(some)) moving = g->children ? static_cast<object*>(g->children) : nullptr;
                if (auto* x = rtc_cast<XPLINE>(moving)) {
                    const float dx = float(rng() % 9) - 4, dy = float(rng() % 9) - 4;
                    for (PointNode* n = x->control; n; n = n->next == x->control ? nullptr : n->next)
                        n->x += dx, n->y += dy;
                    obj_update_bbox(x);
                }
                break;
            }
            case 8:
                if (some) {  // to another layer (or the end of its own)
                    EXPECT_EQ(model_add_object(into, some, 6, 1), 0);
                }
                break;
            case 9:
                if (rng() % 8 == 0 && layers.size() < 5) {
                    auto l = rtc_make<LAYER>();
                    layers.push_back(l.get());
                    EXPECT_EQ(container_insert(m, l.release()), 0);
                }
                break;
        }
        if (rng() % 3 != 0) continue;  // let changes pile up between clicks now and then
        for (int q = 0; q < 12; ++q) {
            Vec3 at = cell();
            at.x += float(rng() % 40) / 10, at.y += float(rng() % 40) / 10;
            const Answer patched = ask(at, true), fresh = ask(at, false);
            ASSERT_TRUE(patched == fresh) << "step " << step << " at " << at.x << ", " << at.y;
            ++compared;
            hits += !fresh.picked.empty();
        }
    }
    snap_track_changes(true);
    EXPECT_GT(compared, 1000);
    EXPECT_GT(hits, compared / 8);  // the clicks really land on objects
}

// Deleting the thousand oldest of 20,000 lines in one step: the first click after it
// brings the snap copy and the pick index up to date for about the cost of building
// them again (a patch searching each deleted line from the newest end did it
// 1,000 times over), and answers as before.
TEST(Snap, DeletingManyOldObjectsPatchesForAboutOneRebuild) {
    snap_track_changes(true);
    Harness h;
    MODEL* m = h.model();
    VIEW* v = h.view();
    v->projection.scale = 10;  // the 5-pixel aperture is half a unit
    LAYER* l = scene_layer(m);
    constexpr int kLines = 20000, kDeleted = 1000;
    std::vector<XPLINE*> lines;
    for (int i = 0; i < kLines; ++i) {
        const float x = float(i % 200) * 4, y = float(i / 200) * 4;
        lines.push_back(scene_line(l, {{x, y, 0}, {x + 2, y, 0}}));
    }
    auto click = [&](float x, float y, Vec3* p) {
        v->input_flags = kSnapLineEnd;
        v->cursor[0] = x, v->cursor[1] = y, v->cursor[2] = 0;
        const int hit = input_resolve_point(v, p);
        PickWindow w;
        w.flags = kPickPoint;
        world_to_view(&v->projection, Vec3{x, y, 0}, &w.p1);
        int picked = 0;
        EXPECT_EQ(pick_object_in_window_ex(
                      &v->projection, m, &w,
                      [](object*, void* n) { return ++*static_cast<int*>(n), 0; }, &picked),
                  0);
        return std::pair{hit, picked};
    };
    Vec3 p;
    ASSERT_EQ(click(2.1f, 0.1f, &p), std::pair(1, 1));  // both copies built
    ASSERT_EQ(model_delete_object(lines[0], 6, 1), 0);
    for (int i = 1; i < kDeleted; ++i) ASSERT_EQ(model_delete_object(lines[size_t(i)], 6, 0), 0);
    const uint64_t before = tree_patch_steps();
    EXPECT_EQ(click(2.1f, 0.1f, &p), std::pair(0, 0));  // the first line is gone
    EXPECT_LE(tree_patch_steps() - before, uint64_t(12 * kLines));
    const float x = float(kDeleted % 200) * 4, y = float(kDeleted / 200) * 4;
    EXPECT_EQ(click(x + 2.1f, y + 0.1f, &p), std::pair(1, 1));  // the first line left
    expect_near3(p, {x + 2, y, 0});
    // The 300 oldest lines left move up by one: their boxes are read again for about
    // the cost of a rebuild too.
    for (int i = kDeleted; i < kDeleted + 300; ++i) {
        XPLINE* line = lines[size_t(i)];
        PointNode* n = line->control;
        do {
            n->y += 1;
            n = n->next;
        } while (n && n != line->control);
        obj_update_bbox(line);
    }
    const uint64_t moved = tree_patch_steps();
    EXPECT_EQ(click(x + 2.1f, y + 0.1f, &p), std::pair(0, 0));
    EXPECT_LE(tree_patch_steps() - moved, uint64_t(12 * kLines));
    EXPECT_EQ(click(x + 2.1f, y + 1.1f, &p), std::pair(1, 1));
    expect_near3(p, {x + 2, y + 1, 0});
}

TEST(Snap, DegenerateArcGivesNoEnd) {
    Harness h;
    ELARC* e = scene_ellipse(scene_layer(h.model()), {50, 50, 0}, 10, 0, kPi, false);
    e->axis2 = e->centre;  // an axis of no length
    h.view()->input_flags = kSnapArcEnd;
    h.view()->cursor[0] = 60, h.view()->cursor[1] = 50;
    Vec3 p;
    EXPECT_EQ(input_resolve_point(h.view(), &p), 0);
}

TEST(Snap, DepthGoesToTheInputPlaneUnlessKept) {
    Scene s;
    s.h.view()->elevation = 2.5;
    Vec3 p;
    s.h.view()->keep_depth = 0;
    ASSERT_EQ(s.resolve(128, 151, kSnapVertex, &p), 1);
    expect_near3(p, {130, 150, 2.5f});
    s.h.view()->keep_depth = 1;
    ASSERT_EQ(s.resolve(128, 151, kSnapVertex, &p), 1);
    expect_near3(p, {130, 150, 4});
}

TEST(Grid, StepsOriginsAndBadSteps) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        double step;
        int relative;
        double x;
        double want;
    };
    const std::vector<Case> cases = {
        {"relative to the user origin", 1.0, 1, 2.2, 2.3},
        {"halfway rounds up", 1.0, 0, 2.5, 3.0},
        {"negative halfway rounds up", 1.0, 0, -2.5, -2.0},
        {"plain step", 0.25, 0, 1.13, 1.25},
        {"zero step leaves the point", 0.0, 0, 2.2, 2.2},
        {"negative step leaves the point", -1.0, 0, 2.2, 2.2},
        {"NaN step leaves the point", nan, 0, 2.2, 2.2},
    };
    Harness h;
    VIEW* v = h.view();
    v->grid_on = 1;
    v->step_select = 0;  // the second pair
    v->user_origin = {0.3f, 0, 0};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        v->grid_steps[2] = c.step;
        v->grid_steps[3] = 1.0;
        v->coordinate_type = c.relative;
        v->input_flags = kSnapFree;
        v->cursor[0] = c.x, v->cursor[1] = 0.4, v->cursor[2] = 0;
        Vec3 p;
        ASSERT_EQ(input_resolve_point(v, &p), 1);
        EXPECT_NEAR(p.x, c.want, 1e-5);
        EXPECT_TRUE(std::isfinite(p.y));
    }
    EXPECT_EQ(round_to_step(7.0, nan), 7.0);
    EXPECT_EQ(round_to_step(nan, 1.0) != round_to_step(nan, 1.0), true);
    // The first pair when chosen.
    v->step_select = 1;
    v->grid_steps[0] = 5.0;
    v->coordinate_type = 0;
    v->cursor[0] = 7.4;
    Vec3 p;
    input_resolve_point(v, &p);
    EXPECT_NEAR(p.x, 5.0, 1e-6);
}

TEST(SnapToggle, PartnersAndTheFreePointFallback) {
    Harness h;
    VIEW* v = h.view();
    struct Step {
        uint32_t id;
        int32_t flags_after;
    };
    v->input_flags = kSnapFree;
    const std::vector<Step> steps = {
        {15825, kSnapFree | kSnapLineEnd},
        {15826, kSnapFree | kSnapLineMid},  // midpoint clears the line end
        {15829, kSnapFree | kSnapLineMid | kSnapCircleCentre},
        {15830, kSnapFree | kSnapLineMid | kSnapQuadrant},
        {15821, kSnapLineMid | kSnapQuadrant},
        {15826, kSnapQuadrant},
        {15830, kSnapFree},  // nothing left: free points
        {15827, kSnapFree | kSnapArcEnd},
        {15828, kSnapFree | kSnapArcCentre},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.id);
        EXPECT_EQ(view_toggle_snap(v, s.id), 1);
        EXPECT_EQ(v->input_flags, s.flags_after);
    }
    EXPECT_EQ(view_snap_checked(v, 15828), 1);
    EXPECT_EQ(view_snap_checked(v, 15827), 0);
    EXPECT_EQ(v->keep_depth, 1);
    view_toggle_snap(v, 15820);
    EXPECT_EQ(v->keep_depth, 0);
    EXPECT_EQ(view_toggle_snap(v, 15831), 0);
}

}  // namespace
