// The walk protocol: what each line-work and mesh object reports to an iterator, in
// which order, and how the entering/leaving statuses steer a container walk.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "tests/model/classes_support.h"

namespace {

using ClassWalk = ClassTest;

constexpr Vec3 P0 = {0, 0, 0}, P1 = {1, 0, 0}, P2 = {1, 1, 0}, P3 = {0, 1, 2};

struct PlistCase {
    const char* name;
    PointNode* (*make)();
    const char* ops;
    std::vector<Vec3> points;  // where each call lands
};

TEST_F(ClassWalk, PointListSequences) {
    const PlistCase cases[] = {
        {"open three",
         [] {
             return make_plist({P0, P1, P2});
         },
         "MLL",
         {P0, P1, P2}},
        {"closed three returns to the first",
         [] {
             return make_plist({P0, P1, P2}, true);
         },
         "MLLL",
         {P0, P1, P2, P0}},
        {"move bit on the second of four",
         [] {
             return make_plist({P0, P1, P2, P3}, false, {0, kPointMoveNext});
         },
         "MLML",
         {P0, P1, P2, P3}},
        {"move bit on the last node of a closed list",
         [] {
             return make_plist({P0, P1, P2}, true, {0, 0, kPointMoveNext});
         },
         "MLLM",
         {P0, P1, P2, P0}},
        {"single open point", [] { return make_plist({P3}); }, "M", {P3}},
        {"single closed point", [] { return make_plist({P3}, true); }, "ML", {P3, P3}},
        {"empty list", [] { return static_cast<PointNode*>(nullptr); }, "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto w = rtc_make<WIRE>();
        ASSERT_TRUE(w);
        w->points = c.make();
        RecordingIter it;
        EXPECT_EQ(w->walk(&it), 0);
        EXPECT_EQ(it.trace(), std::string("E") + c.ops + "X");
        const auto g = it.geometry_events();
        ASSERT_EQ(g.size(), c.points.size());
        for (size_t i = 0; i < g.size(); ++i) {
            expect_point(g[i].p[0], vd(c.points[i]));
            EXPECT_EQ(g[i].dx, 0);
            EXPECT_EQ(g[i].dy, 0);
        }
    }
}

TEST_F(ClassWalk, StopsAtTheFirstNonZeroPointResult) {
    struct Case {
        int fail_at, code;
        const char* trace;
        int leave_status;
    } cases[] = {
        {0, 3, "EMX", 3},      // the move ends the list
        {2, -1, "EMLLX", -1},  // a negative status ends the object too
        {2, 5, "EMLLX", 5},
    };
    for (const auto& c : cases) {
        auto w = rtc_make<WIRE>();
        w->points = make_plist({P0, P1, P2, P3}, true);
        RecordingIter it;
        it.fail_at = c.fail_at;
        it.fail_code = c.code;
        EXPECT_EQ(w->walk(&it), c.leave_status);
        EXPECT_EQ(it.trace(), c.trace);
        EXPECT_EQ(it.events.back().status, c.leave_status);
    }
}

TEST_F(ClassWalk, WireDrawsItsStrokesInsteadOfItsPoints) {
    auto w = rtc_make<WIRE>();
    w->points = make_plist({P0, P1});
    w->strokes = make_lists({make_plist({P2, P3}), make_plist({P1, P2, P3}, true)});
    RecordingIter it;
    w->walk(&it);
    EXPECT_EQ(it.ops(), "MLMLLL");
    expect_point(it.geometry_events()[0].p[0], vd(P2));
}

TEST_F(ClassWalk, ClosedListOfStrokesIsWalkedOnce) {
    auto w = rtc_make<WIRE>();
    w->strokes = make_lists({make_plist({P0, P1}), make_plist({P2, P3})}, true);
    RecordingIter it;
    EXPECT_EQ(w->walk(&it), 0);
    EXPECT_EQ(it.geometry_count, 4);
}

TEST_F(ClassWalk, ClosedContourListIsFannedOnce) {
    auto h = rtc_make<HATCH>();
    h->contours[2] = make_lists({make_plist({P0, P1, P2}), make_plist({P1, P2, P3})}, true);
    RecordingIter it;
    EXPECT_EQ(h->walk(&it), 0);
    EXPECT_EQ(it.geometry_count, 2);
}

TEST_F(ClassWalk, PolylineSources) {
    struct Case {
        const char* name;
        int kind;
        bool points, strokes;
        std::string ops;
        Vec3 first;
    } cases[] = {
        {"kind 0, control points only", 0, false, false, "MLLL", P0},
        {"kind 1 with points", 1, true, false, "ML", P3},
        {"kind 1 with strokes and points", 1, true, true, "MLL", P2},
        // A filled polygon is a fan over the control points, whatever else it holds.
        {"kind 2", 2, true, true, "TT", P0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto x = rtc_make<XPLINE>();
        x->kind = c.kind;
        x->control = make_plist({P0, P1, P2, P3});
        if (c.points) x->points = make_plist({P3, P0});
        if (c.strokes) x->strokes = make_lists({make_plist({P2, P1, P0})});
        RecordingIter it;
        x->walk(&it);
        ASSERT_EQ(it.ops(), c.ops);
        expect_point(it.geometry_events()[0].p[0], vd(c.first));
    }
}

TEST_F(ClassWalk, FilledPolygonFanTriangles) {
    auto x = rtc_make<XPLINE>();
    x->kind = 2;
    x->control = make_plist({P0, P1, P2, P3, {5, 5, 5}});
    RecordingIter it;
    x->walk(&it);
    const auto g = it.geometry_events();
    const Vec3 want[3][3] = {{P0, P1, P2}, {P0, P2, P3}, {P0, P3, {5, 5, 5}}};
    ASSERT_EQ(g.size(), 3u);
    for (int t = 0; t < 3; ++t) {
        for (int k = 0; k < 3; ++k) expect_point(g[t].p[k], vd(want[t][k]));
    }
}

// Each contour list holds one triangle whose first corner's x names the list.
std::unique_ptr<HATCH> make_hatch() {
    auto h = rtc_make<HATCH>();
    for (int i = 0; i < 4; ++i) {
        const float x = static_cast<float>(i + 1);
        h->contours[i] = make_lists({make_plist({{x, 0, 0}, {x, 1, 0}, {x, 1, 1}})});
    }
    return h;
}

TEST_F(ClassWalk, HatchReports) {
    struct Case {
        const char* name;
        uint32_t flags;
        bool pattern, strokes;
        std::string ops;
        std::vector<float> lists;  // first corner x of each triangle: the contour list
    } cases[] = {
        {"points only: contour lists 3, 1, 4, 2",
         kIterPointsOnly,
         false,
         false,
         "TTTT",
         {3, 1, 4, 2}},
        {"points only with strokes: the strokes", kIterPointsOnly, true, true, "ML", {}},
        {"solid fill: contour list 3", 0, false, false, "T", {3}},
        {"solid fill ignores strokes", 0, false, true, "T", {3}},
        {"pattern: the strokes", 0, true, true, "ML", {}},
        {"pattern without strokes: nothing", 0, true, false, "", {}},
    };
    auto pattern = rtc_make<HATCHPATT>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto h = make_hatch();
        if (c.pattern) h->pattern = pattern.get();
        if (c.strokes) h->strokes = make_lists({make_plist({P0, P1})});
        RecordingIter it(c.flags);
        h->walk(&it);
        ASSERT_EQ(it.ops(), c.ops);
        const auto g = it.geometry_events();
        for (size_t i = 0; i < c.lists.size(); ++i) EXPECT_EQ(g[i].p[0].x, c.lists[i]);
    }
}

// A quad of two faces; the diagonal (edge 4) is hidden.
std::unique_ptr<MESH3> make_quad_mesh() {
    auto m = rtc_make<MESH3>();
    auto* b = new MeshFaceBlock();
    b->vertices = {{0, 0, 0, {}}, {1, 0, 0, {}}, {1, 1, 0, {}}, {0, 1, 0, {}}};
    b->edges = {{{0, 1}, 0}, {{1, 2}, 0}, {{2, 3}, 0}, {{3, 0}, 0}, {{0, 2}, kEdgeHidden}};
    b->faces = {{{0, 1, 4}, 0}, {{2, 3, 4}, 0}};
    m->blocks = b;
    return m;
}

TEST_F(ClassWalk, MeshReports) {
    struct Case {
        const char* name;
        uint32_t flags;
        std::string ops;
    } cases[] = {
        {"edges", 0, "MLMLMLML"},
        {"edges and faces", kIterTriangles, "MLMLMLMLTT"},
        {"vertices", kIterPointsOnly, "MMMM"},
        {"vertices and faces", kIterPointsOnly | kIterTriangles, "MMMMTT"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = make_quad_mesh();
        RecordingIter it(c.flags);
        m->walk(&it);
        ASSERT_EQ(it.ops(), c.ops);
        const auto g = it.geometry_events();
        for (size_t i = 0; i + 1 < g.size(); ++i) {
            if (g[i].op != 'M' || g[i + 1].op != 'L') continue;
            // No drawn edge joins the diagonal corners (0,0) and (1,1).
            const Vec3d a = g[i].p[0], b = g[i + 1].p[0];
            EXPECT_NE(std::abs(a.x - b.x) + std::abs(a.y - b.y), 2.0);
        }
        for (const auto& e : g) {
            if (e.op != 'T') continue;
            // Each face is a right triangle of the unit square: area 1/2.
            const double area = std::abs((e.p[1].x - e.p[0].x) * (e.p[2].y - e.p[0].y) -
                                         (e.p[2].x - e.p[0].x) * (e.p[1].y - e.p[0].y)) /
                                2;
            EXPECT_DOUBLE_EQ(area, 0.5);
        }
    }
}

TEST_F(ClassWalk, MeshSkipsEdgesWithBadVertexIndices) {
    auto m = make_quad_mesh();
    m->blocks->edges.push_back({{0, 9}, 0});
    m->blocks->edges.push_back({{-1, 1}, 0});
    m->blocks->faces.push_back({{5, 40, 0}, 0});
    RecordingIter it(kIterTriangles);
    m->walk(&it);
    EXPECT_EQ(it.ops(), "MLMLMLMLTT");
}

// ---- container statuses

struct Tree {
    std::unique_ptr<CONTAINER> group = rtc_make<CONTAINER>();
    WIRE* a = nullptr;
    WIRE* b = nullptr;
    Tree() {
        auto wa = rtc_make<WIRE>();
        auto wb = rtc_make<WIRE>();
        wa->points = make_plist({P0, P1});
        wb->points = make_plist({P2, P3});
        a = wa.get();
        b = wb.get();
        EXPECT_EQ(container_insert(group.get(), wa.release()), 0);
        EXPECT_EQ(container_insert(group.get(), wb.release()), 0);
    }
};

TEST_F(ClassWalk, ContainerStatuses) {
    struct Case {
        const char* name;
        int group_enter, a_enter, a_leave;
        const char* trace;
        int result;
    } cases[] = {
        {"plain walk", 0, 0, 0, "EEMLXEMLXX", 0},
        {"group declined: not descended, leaving gets -1", -1, 0, 0, "EX", -1},
        {"first child declined: the second is still walked", 0, -1, 0, "EEXEMLXX", 0},
        {"first child stops the walk", 0, 0, 6, "EEMLXX", 6},
        {"a positive entering status ends the walk after the leaving visit", 0, 4, 0, "EEXX", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Tree t;
        RecordingIter it;
        if (c.group_enter) it.on_enter[t.group.get()] = c.group_enter;
        if (c.a_enter) it.on_enter[t.a] = c.a_enter;
        if (c.a_leave) it.on_leave[t.a] = c.a_leave;
        EXPECT_EQ(t.group->walk(&it), c.result);
        EXPECT_EQ(it.trace(), c.trace);
        EXPECT_EQ(it.events.back().obj, t.group.get());
        EXPECT_EQ(it.events.back().status, c.result);
    }
}

TEST_F(ClassWalk, LeavingVisitOfADeclinedChildGetsItsStatus) {
    Tree t;
    RecordingIter it;
    it.on_enter[t.a] = -1;
    t.group->walk(&it);
    ASSERT_GE(it.events.size(), 2u);
    EXPECT_EQ(it.events[2].op, 'X');
    EXPECT_EQ(it.events[2].obj, t.a);
    EXPECT_EQ(it.events[2].status, -1);
}

TEST_F(ClassWalk, NegativeLastChildIsTheContainerStatus) {
    Tree t;
    RecordingIter it;
    it.on_leave[t.b] = -2;
    EXPECT_EQ(t.group->walk(&it), -2);
}

TEST_F(ClassWalk, NonDrawableChildrenAreSkipped) {
    Tree t;
    auto vp = rtc_make<VPORT>();
    ASSERT_EQ(container_insert(t.group.get(), vp.release()), 0);
    RecordingIter it;
    t.group->walk(&it);
    EXPECT_EQ(it.trace(), "EEMLXEMLXX");
}

// Polylines and arcs gather their box without an iterator: it must be the box the walk
// gives (object::own_box), bit for bit, for every list shape the walk treats apart.
TEST_F(ClassWalk, LineWorkBoxIsTheWalkedBox) {
    struct Case {
        const char* name;
        int kind;  // polyline subtype; -1 for an arc
        PointNode* (*control)();
        PointNode* (*points)();
        PtrNode* (*strokes)();
        float width;
    };
    auto none = []() -> PointNode* { return nullptr; };
    auto no_runs = []() -> PtrNode* { return nullptr; };
    const Case cases[] = {
        {"open control", 0,
         [] {
             return make_plist({P0, P1, P3});
         },
         none, no_runs, 0},
        {"closed control, width", 0,
         [] {
             return make_plist({P1, P2, P3}, true);
         },
         none, no_runs, 0.5f},
        {"no points at all", 0, none, none, no_runs, 1},
        {"flattened points win", 1,
         [] {
             return make_plist({P0, P3});
         },
         [] {
             return make_plist({{-1, 4, 0}, P1});
         },
         no_runs, 0},
        {"strokes win", 1, [] { return make_plist({P0}); }, [] { return make_plist({P3}); },
         [] {
             return make_lists({make_plist({P2, {7, -3, 1}}), make_plist({P1}, true)});
         },
         0},
        {"closed list of runs", 0, none, none,
         [] {
             return make_lists({make_plist({P2}), make_plist({P3, P0})}, true);
         },
         0},
        {"negative zero and NaN", 0,
         [] {
             return make_plist(
                 {{-0.0f, 0.0f, std::nanf("")}, {0.0f, -0.0f, 1}, {std::nanf(""), 2, 0}});
         },
         none, no_runs, 0},
        {"fan of three", 2,
         [] {
             return make_plist({P0, P1, {3, 3, -3}});
         },
         none, no_runs, 0.25f},
        {"fan of two reports nothing", 2,
         [] {
             return make_plist({P0, P3});
         },
         none, no_runs, 0},
        {"closed fan of two", 2,
         [] {
             return make_plist({P0, P3}, true);
         },
         none, no_runs, 0},
        {"closed single point fan", 2, [] { return make_plist({P3}, true); }, none, no_runs, 0},
        {"fan ignores strokes", 2,
         [] {
             return make_plist({P0, P1, P2}, true);
         },
         none,
         [] {
             return make_lists({make_plist({{9, 9, 9}})});
         },
         0},
        {"arc points", -1, none,
         [] {
             return make_plist({P1, P2, P3});
         },
         no_runs, 2},
        {"arc strokes", -1, none, [] { return make_plist({P1}); },
         [] {
             return make_lists({make_plist({{-5, 0, 0}, P2})});
         },
         0},
        {"arc without points", -1, none, none, no_runs, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<WIRE> w;
        if (c.kind >= 0) {
            auto x = rtc_make<XPLINE>();
            x->kind = c.kind;
            x->control = c.control();
            w = std::move(x);
        } else {
            w = rtc_make<ELARC>();
        }
        w->points = c.points();
        w->strokes = c.strokes();
        w->width = c.width;
        w->object::own_box();
        const BBox walked = w->box;
        w->box = {{-9, -9, -9}, {9, 9, 9}};  // stale
        w->own_box();
        EXPECT_EQ(std::memcmp(&walked, &w->box, sizeof walked), 0);
    }
}

}  // namespace
