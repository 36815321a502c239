// The boolean engine on small hand-made solids: welding at load, the dangling-faces
// question, orientation, touching and coplanar faces, hollow and disjoint results,
// edge flags, snapping to vertices, and the refusal of degenerate input.
#include <limits>

#include "model/db/buffer.h"
#include "model/math/result.h"
#include "model/services/msgbox.h"
#include "tests/boolean/csg_support.h"
#include "tests/boolean/solid_check.h"

using namespace csgtest;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Records every box and answers questions with `answer`.
struct BoxRecorder {
    std::vector<MsgBoxRequest> boxes;
    MsgBoxHook previous;
    explicit BoxRecorder(int answer = kIdNo) {
        previous = msgbox_set_hook([this, answer](const MsgBoxRequest& r) {
            boxes.push_back(r);
            return (r.style & kMbButtonMask) == kMbYesNo ? answer : kIdOk;
        });
    }
    ~BoxRecorder() { msgbox_set_hook(previous); }
};

// A closed box with one more triangle hanging on one of its edges.
std::unique_ptr<MESH3> box_with_fin() {
    std::vector<P3> pts;
    for (int i = 0; i < 8; ++i) pts.push_back({double(i & 1) * 2, double((i >> 1) & 1) * 2, double((i >> 2) & 1) * 2});
    pts.push_back({1, -3, -3});
    std::vector<std::array<int, 3>> tris = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}, {0, 1, 5}, {0, 5, 4},
                                            {2, 6, 7}, {2, 7, 3}, {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5},
                                            {0, 1, 8}};
    return make_mesh(pts, tris);
}

}  // namespace

TEST(CsgEngine, JoinWeldsWithinTolerance) {
    auto a = make_cube(0, 1);
    auto b = make_cube(0.005, 1);  // every corner 0.005 * sqrt(3) < 0.01 away
    // A triangle whose first two corners are 0.005 apart has no area worth keeping.
    auto sliver = make_mesh({{5, 5, 5}, {5.005, 5, 5}, {6, 7, 5}}, {{0, 1, 2}});
    auto joined = csg_join_mesh_list({a.get(), b.get(), sliver.get()});
    ASSERT_NE(joined, nullptr);
    ASSERT_NE(joined->blocks, nullptr);
    EXPECT_EQ(joined->blocks->next, nullptr);
    EXPECT_EQ(joined->blocks->vertices.size(), 8u);
    EXPECT_EQ(joined->blocks->faces.size(), 24u);
    EXPECT_EQ(unsound(joined.get()), "");

    // Through a buffer's reference list: non-meshes and cleared references are passed by.
    rtc_register_all();
    buffer* buf = buffer_create();
    ASSERT_NE(buf, nullptr);
    auto c = make_cube(3, 1);
    ASSERT_EQ(buffer_add(buf, a.get()), 0);
    ASSERT_EQ(buffer_add(buf, c.get()), 0);
    auto from_buffer = csg_join_meshes(buf->refs);
    ASSERT_NE(from_buffer, nullptr);
    EXPECT_EQ(triangle_count(from_buffer.get()), 24u);
    EXPECT_NEAR(volume(from_buffer.get()), 2.0, 1e-9);
    buffer_clear(buf);
    rtc_destroy(buf);
    EXPECT_EQ(csg_join_mesh_list({}), nullptr);  // nothing to join
    // Nothing but slivers: no face, which is no lack of memory.
    CsgStatus st;
    EXPECT_EQ(csg_join_mesh_list({sliver.get(), sliver.get()}, &st), nullptr);
    EXPECT_EQ(st.code, kCsgNoUsableFace);
}

TEST(CsgEngine, DanglingFacesAskOnlyForIntersectionAndSubtraction) {
    auto fin = box_with_fin();
    auto other = make_cube(1, 2);
    {
        BoxRecorder rec(kIdNo);
        CsgStatus st;
        EXPECT_EQ(csg_boolean(fin.get(), other.get(), kCsgIntersection, &st), nullptr);
        EXPECT_EQ(st.code, 42194);
        ASSERT_EQ(rec.boxes.size(), 1u);
        EXPECT_EQ(rec.boxes[0].text, "CSG: mesh contains dangling face(s)...\nContinue?");
        // Without a status the No still shows no error box.
        EXPECT_EQ(csg_boolean(fin.get(), other.get(), kCsgSubtraction), nullptr);
        EXPECT_EQ(rec.boxes.size(), 2u);
    }
    {
        BoxRecorder rec(kIdYes);
        CsgStatus st;
        auto r = csg_boolean(fin.get(), other.get(), kCsgIntersection, &st);
        EXPECT_EQ(st.code, 0);
        EXPECT_NE(r, nullptr);
        EXPECT_EQ(rec.boxes.size(), 1u);
    }
    {
        BoxRecorder rec(kIdNo);
        auto r = csg_boolean(fin.get(), other.get(), kCsgUnion);
        EXPECT_NE(r, nullptr);
        EXPECT_TRUE(rec.boxes.empty());
    }
}

// Small configurations with known volumes; every result closed and sound.
TEST(CsgEngine, KnownConfigurations) {
    struct Case {
        const char* what;
        std::unique_ptr<MESH3> a, b;
        double union_volume, intersection_volume, subtraction_volume;
    };
    std::vector<Case> cases;
    cases.push_back({"overlapping cubes", make_cube(0, 2), make_cube(1, 2), 15, 1, 7});
    cases.push_back({"inward cube is turned outward", make_box({2, 2, 2}, {}, true), make_cube(1, 2), 15, 1, 7});
    cases.push_back({"touching face to face", make_cube(0, 1), make_box({1, 1, 1}, Motion{0, 0, 0, {1, 0, 0}}), 2, 0, 1});
    cases.push_back({"coplanar bottoms", make_cube(0, 2), make_box({2, 2, 2}, Motion{0, 0, 0, {1, 1, 0}}), 14, 2, 6});
    cases.push_back({"hollow", make_cube(0, 10), make_cube(3, 3), 1000, 27, 973});
    cases.push_back({"disjoint", make_cube(0, 1), make_cube(5, 1), 2, 0, 1});
    cases.push_back({"exact copy", make_cube(0, 2), make_cube(0, 2), 8, 8, 0});
    cases.push_back({"rotated through a corner",
                     make_cube(0, 2), make_box({2, 2, 2}, Motion{0.3, 0.2, 0.1, {1, 1, 1}}), 0, 0, 0});
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        const double expect[3] = {c.union_volume, c.intersection_volume, c.subtraction_volume};
        double got[3];
        for (int op = 0; op < 3; ++op) {
            SCOPED_TRACE(op);
            CsgStatus st;
            auto r = csg_boolean(c.a.get(), c.b.get(), op, &st);
            ASSERT_NE(r, nullptr) << st.code << " " << st.diagnostic;
            EXPECT_EQ(unsound(r.get()), "");
            EXPECT_EQ(open_edges(r.get()), 0);
            got[op] = signed_volume(r.get());
            // Kept faces all point outward, reversed pieces of B included.
            EXPECT_GE(got[op], -1e-6);
            if (expect[0] > 0) {
                EXPECT_NEAR(got[op], expect[op], 1e-3 * expect[0]);
            }
        }
        const double va = volume(c.a.get()), vb = volume(c.b.get());
        EXPECT_NEAR(got[0] + got[1], va + vb, 1e-3 * (va + vb));
        EXPECT_NEAR(got[2], va - got[1], 1e-3 * (va + vb));
    }
}

TEST(CsgEngine, ShapeOfSpecialResults) {
    auto a = make_cube(0, 1), far = make_cube(5, 1);
    auto inter = csg_boolean(a.get(), far.get(), kCsgIntersection);
    ASSERT_NE(inter, nullptr);
    EXPECT_EQ(inter->blocks, nullptr);  // empty mesh
    auto sub = csg_boolean(a.get(), far.get(), kCsgSubtraction);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(triangle_count(sub.get()), 12u);  // A unchanged
    auto uni = csg_boolean(a.get(), far.get(), kCsgUnion);
    EXPECT_EQ(triangle_count(uni.get()), 24u);
    // The common bottom of two cubes survives once: no face lies under another.
    auto big = make_cube(0, 2), shifted = make_box({2, 2, 2}, Motion{0, 0, 0, {1, 1, 0}});
    auto u = csg_boolean(big.get(), shifted.get(), kCsgUnion);
    double bottom = 0;
    for (const auto& t : triangles(u.get())) {
        if (t[0][2] == 0 && t[1][2] == 0 && t[2][2] == 0) {
            const double ux = t[1][0] - t[0][0], uy = t[1][1] - t[0][1], vx = t[2][0] - t[0][0], vy = t[2][1] - t[0][1];
            bottom += 0.5 * std::fabs(ux * vy - uy * vx);
        }
    }
    EXPECT_NEAR(bottom, 7.0, 1e-6);
    // The hollow subtraction keeps the inner cube's faces, reversed: two shells.
    auto outer = make_cube(0, 10), inner = make_cube(3, 3);
    auto hollow = csg_boolean(outer.get(), inner.get(), kCsgSubtraction);
    EXPECT_EQ(triangle_count(hollow.get()), 24u);
}

TEST(CsgEngine, CutEdgesVisibleSplitEdgesHidden) {
    const P3 lo_b = {0.5, 0.7, 0.9};
    auto a = make_cube(0, 2), b = make_box({2, 2, 2}, Motion{0, 0, 0, lo_b});
    auto r = csg_boolean(a.get(), b.get(), kCsgUnion);
    ASSERT_NE(r, nullptr);
    auto on_box = [](P3 p, P3 lo, double size) {
        bool inside = true, on = false;
        for (int k = 0; k < 3; ++k) {
            inside = inside && p[k] >= lo[k] - 1e-6 && p[k] <= lo[k] + size + 1e-6;
            on = on || std::fabs(p[k] - lo[k]) < 1e-6 || std::fabs(p[k] - lo[k] - size) < 1e-6;
        }
        return inside && on;
    };
    auto on_both = [&](P3 p) { return on_box(p, {0, 0, 0}, 2) && on_box(p, lo_b, 2); };
    auto corner = [&](P3 v) {
        int a_corner = 0, b_corner = 0;
        for (int k = 0; k < 3; ++k) {
            a_corner += (v[k] == 0 || v[k] == 2) ? 1 : 0;
            b_corner += (std::fabs(v[k] - lo_b[k]) < 1e-6 || std::fabs(v[k] - lo_b[k] - 2) < 1e-6) ? 1 : 0;
        }
        return a_corner == 3 || b_corner == 3;
    };
    int cut = 0, hidden_new = 0;
    for (const MeshFaceBlock* blk = r->blocks; blk; blk = blk->next) {
        for (const MeshEdge& e : blk->edges) {
            const P3 p = vpos(blk->vertices[e.v[0]]), q = vpos(blk->vertices[e.v[1]]);
            const P3 mid = {(p[0] + q[0]) / 2, (p[1] + q[1]) / 2, (p[2] + q[2]) / 2};
            if (on_both(p) && on_both(q) && on_both(mid)) {
                ++cut;
                EXPECT_EQ(e.flags, 0) << "cut edge hidden";
            }
            // An edge from a point made by cutting was made by splitting: hidden.
            if (e.flags == kEdgeHidden && (!corner(p) || !corner(q))) ++hidden_new;
        }
    }
    EXPECT_GT(cut, 0);
    EXPECT_GT(hidden_new, 0);
}

// B's slanted face passes 0.004 from A's corners (2, 0, z) and (0, 2, z). Where the
// exact cut gives way, the cut of tolerances snaps the curve onto those corners, which
// moves B's face by 0.004 there: the three results came back off by up to 0.0096 (the
// intersection 0.24 % large) with success. A result must now have its volume right to
// rounding; the snapped one is refused.
TEST(CsgEngine, CutNearAVertexSnapsToIt) {
    // B's slanted face passes 0.004 from A's corners (2, 0, z) and (0, 2, z); its face
    // through B's corner (s, s) runs along A's diagonal, so the common part is the
    // prism over the triangle (s, s), (2, 2), (2 s - 2, 2).
    const double s = 1 + 0.004 / std::sqrt(2.0);
    auto a = make_cube(0, 2);
    auto b = make_box({4, 4, 4}, Motion{0, 0, kPi / 4, {s, s, -1}});
    const double common = 2 * (2 - s) * (2 - s);
    const double want[3] = {8 + 64 - common, common, 8 - common};
    for (int op = 0; op < 3; ++op) {
        CsgStatus st;
        auto r = csg_boolean(a.get(), b.get(), op, &st);
        if (!r) {
            EXPECT_EQ(st.code, 42191) << op;
            continue;
        }
        EXPECT_EQ(open_edges(r.get()), 0) << op;
        EXPECT_NEAR(std::fabs(signed_volume(r.get())), want[op], 1e-5) << op << " gave way: " << st.gave_way;
    }
}

// The same near miss of a corner by other distances (negative: the face cuts the
// corner off), other turns, either solid wound inward, and the solids swapped.
TEST(CsgEngine, CutNearAVertexNeighbours) {
    for (double miss : {0.001, 0.004, 0.01, 0.05, -0.004})
        for (double turn : {kPi / 4, kPi / 4 + 0.3, kPi / 4 - 0.2})
            for (int wind = 0; wind < 3; ++wind)
                for (int swap = 0; swap < 2; ++swap) {
                    const double c = std::cos(turn), n = std::sin(turn);
                    // B's corner: its first face passes `miss` beyond A's corner (2, 0).
                    const P3 corner = {2 + miss * c - std::sqrt(2.0) * n, miss * n + std::sqrt(2.0) * c, -1};
                    auto a = make_box({2, 2, 2}, Motion{}, wind == 1);
                    auto b = make_box({4, 4, 4}, Motion{0, 0, turn, corner}, wind == 2);
                    const MESH3 *x = swap ? b.get() : a.get(), *y = swap ? a.get() : b.get();
                    const auto sx = solidcheck::soup_of(x), sy = solidcheck::soup_of(y);
                    const double vx = std::fabs(solidcheck::signed_volume(sx)), vy = std::fabs(solidcheck::signed_volume(sy));
                    const double common = solidcheck::convex_common_volume(sx, sy);
                    ASSERT_GT(common, 0);
                    const double want[3] = {vx + vy - common, common, vx - common};
                    for (int op = 0; op < 3; ++op) {
                        CsgStatus st;
                        auto r = csg_boolean(x, y, op, &st);
                        const std::string at = std::to_string(miss) + " " + std::to_string(turn) + " " +
                                               std::to_string(wind) + " " + std::to_string(swap) + " " +
                                               std::to_string(op) + " gave way: " + st.gave_way;
                        if (!r) {
                            EXPECT_EQ(st.code, 42191) << at;
                            continue;
                        }
                        EXPECT_EQ(open_edges(r.get()), 0) << at;
                        EXPECT_NEAR(std::fabs(signed_volume(r.get())), want[op], 1e-5) << at;
                    }
                }
}

// A diamond prism whose top is split along y = 1 and whose last bottom triangle has
// its centroid at y = 1 exactly: the orientation ray from that face (tested first)
// runs into the top's diagonal edge, is perturbed and cast again.
TEST(CsgEngine, GrazingRayIsCastAgain) {
    std::vector<P3> pts = {{0, 1, 0}, {2, 0, 0}, {4, 1, 0}, {2, 2, 0}, {0, 1, 2}, {2, 0, 2}, {4, 1, 2}, {2, 2, 2}};
    std::vector<std::array<int, 3>> tris;
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        tris.push_back({i, j, j + 4});
        tris.push_back({i, j + 4, i + 4});
    }
    tris.push_back({4, 5, 6});
    tris.push_back({4, 6, 7});
    tris.push_back({1, 0, 3});
    const std::array<int, 3> grazing = {1, 3, 2};
    auto far = make_cube(10, 1);
    double volumes[2];
    for (int order = 0; order < 2; ++order) {
        auto t = tris;
        // Last loaded is tested first: the grazing face, or else a side face.
        if (order == 0) t.push_back(grazing);
        else t.insert(t.begin(), grazing);
        auto prism = make_mesh(pts, t);
        CsgStatus st;
        auto r = csg_boolean(prism.get(), far.get(), kCsgUnion, &st);
        ASSERT_NE(r, nullptr) << st.diagnostic;
        EXPECT_EQ(open_edges(r.get()), 0);
        volumes[order] = signed_volume(r.get());
    }
    EXPECT_NEAR(volumes[0], 9.0, 1e-9);
    EXPECT_EQ(volumes[0], volumes[1]);
}

TEST(CsgEngine, SameAnswerEveryTime) {
    // Spheres whose facets meet edge-on give grazing rays: perturbed rays must not make
    // the answer depend on the moment of the call.
    auto a = make_sphere({0, 0, 0}, 20, 2), b = make_sphere({20, 0, 0}, 20, 2);
    auto first = csg_boolean(a.get(), b.get(), kCsgSubtraction);
    auto second = csg_boolean(a.get(), b.get(), kCsgSubtraction);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(triangles(first.get()), triangles(second.get()));
    EXPECT_EQ(open_edges(first.get()), 0);
}

TEST(CsgEngine, RefusedInputShowsItsMessage) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* what;
        std::unique_ptr<MESH3> a;
        int code;
        const char* diagnostic;
        const char* message;
    };
    std::vector<Case> cases;
    cases.push_back({"NaN corner", make_mesh({{0, 0, 0}, {1, 0, 0}, {0, nan, 0}}, {{0, 1, 2}}), 42189,
                     "First object: Coordinate is not finite",
                     "Unable to perform boolean operation: an object is not a sound solid.\nSecond object: "});
    cases.push_back({"infinite corner", make_mesh({{0, 0, 0}, {inf, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}), 42189,
                     "First object: Coordinate is not finite",
                     "Unable to perform boolean operation: an object is not a sound solid.\nSecond object: "});
    // Three corners on one line, each pair far apart: no height, no normal.
    cases.push_back({"collinear corners", make_mesh({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {{0, 1, 2}}), 42189,
                     "First object: Triangle without area",
                     "Unable to perform boolean operation: an object is not a sound solid.\nSecond object: "});
    auto cube = make_cube(0, 1);
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        CsgStatus st;
        EXPECT_EQ(csg_boolean(c.a.get(), cube.get(), kCsgUnion, &st), nullptr);
        EXPECT_EQ(st.code, c.code);
        EXPECT_EQ(st.diagnostic, c.diagnostic);
        BoxRecorder rec;
        EXPECT_EQ(csg_boolean(cube.get(), c.a.get(), kCsgIntersection), nullptr);
        ASSERT_EQ(rec.boxes.size(), 1u);
        EXPECT_NE(rec.boxes[0].text.find(c.message), std::string::npos);
        EXPECT_EQ(rec.boxes[0].style & kMbIconMask, kMbIconHand);
    }
    CsgStatus st;
    EXPECT_EQ(csg_boolean(nullptr, cube.get(), kCsgUnion, &st), nullptr);
    EXPECT_EQ(st.code, kBadArgument);
    EXPECT_EQ(csg_boolean(cube.get(), cube.get(), 3, &st), nullptr);
    EXPECT_EQ(st.code, kBadArgument);
}

// Degenerate and coplanar input: a sound result or a clear error, each in bounded time.
TEST(CsgEngine, DegenerateInputEndsSoundly) {
    std::vector<std::pair<const char*, std::pair<std::unique_ptr<MESH3>, std::unique_ptr<MESH3>>>> cases;
    auto add = [&](const char* what, std::unique_ptr<MESH3> a, std::unique_ptr<MESH3> b) {
        cases.emplace_back(what, std::make_pair(std::move(a), std::move(b)));
    };
    auto open_box = [] {
        auto m = make_cube(0, 2);
        m->blocks->faces.pop_back();
        m->blocks->faces.pop_back();
        return m;
    };
    rtc_register_all();
    add("identical spheres", make_sphere({0, 0, 0}, 10, 1), make_sphere({0, 0, 0}, 10, 1));
    add("touching at a vertex", make_cube(0, 1), make_cube(1, 1));
    add("touching along an edge", make_cube(0, 1), make_box({1, 1, 1}, Motion{0, 0, 0, {1, 1, 0}}));
    add("collinear overlapping edges", make_cube(0, 2), make_box({2, 2, 2}, Motion{0, 0, 0, {1, 2, 2}}));
    add("open mesh", open_box(), make_cube(1, 2));
    add("empty mesh", rtc_make<MESH3>(), make_cube(0, 1));
    add("both empty", rtc_make<MESH3>(), rtc_make<MESH3>());
    add("sliver", make_mesh({{0, 0, 0}, {10, 0, 0}, {5, 0.0002, 0}, {5, 3, 3}}, {{0, 1, 2}, {0, 2, 3}, {1, 3, 2}, {0, 3, 1}}),
        make_cube(1, 2));
    add("far from the origin", make_box({10, 10, 10}, Motion{0, 0, 0, {1e30, 1e30, 1e30}}),
        make_box({10, 10, 10}, Motion{0, 0, 0, {1e30, 1e30, 1e30}}));
    add("huge solids", make_box({1e30, 1e30, 1e30}), make_box({1e30, 1e30, 1e30}, Motion{0, 0, 0, {5e29, 5e29, 5e29}}));
    add("nested spheres", make_sphere({0, 0, 0}, 30, 2), make_sphere({1, 0, 0}, 10, 2));
    for (auto& [what, pair] : cases) {
        for (int op = 0; op < 3; ++op) {
            SCOPED_TRACE(std::string(what) + " op " + std::to_string(op));
            CsgStatus st;
            std::unique_ptr<MESH3> r;
            within_seconds(60, what, [&] { r = csg_boolean(pair.first.get(), pair.second.get(), op, &st); });
            if (r) {
                EXPECT_EQ(st.code, 0);
                EXPECT_EQ(unsound(r.get()), "");
            } else {
                EXPECT_NE(st.code, 0);
                EXPECT_FALSE(st.diagnostic.empty());
            }
        }
    }
}

// A ray that stays ambiguous however it is perturbed ended the call with 42191 after
// a bounded number of casts. The last face of the plate (tested first) has its
// centroid exactly at the origin, on an edge of a wedge face that lies in the plane
// x = 0: every cast from there, in any direction, met that edge at its start. The
// wedge crosses the plate: the input is no solid, and it is refused as such.
TEST(CsgEngine, RayThatNeverSettlesGivesUp) {
    std::vector<P3> pts = {
        // wedge: face (8, 9, 10) in x = 0 with its edge 8-9 through the origin
        {0, -1, -1}, {0, 1, 1}, {0, -1, 1}, {1, -0.25, 0.25},
        // plate: a flat tetrahedron whose top face has its centroid at the origin
        {-1, -1, 0}, {2, -1, 0}, {-1, 2, 0}, {0, 0, -0.5}};
    std::vector<std::array<int, 3>> tris = {{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {2, 0, 3},
                                            {4, 7, 5}, {5, 7, 6}, {6, 7, 4}, {4, 5, 6}};
    auto crossed = make_mesh(pts, tris);
    auto far = make_cube(10, 1);
    for (int op = 0; op < 3; ++op) {
        SCOPED_TRACE(op);
        CsgStatus st;
        std::unique_ptr<MESH3> r;
        within_seconds(60, "ray that never settles", [&] { r = csg_boolean(crossed.get(), far.get(), op, &st); });
        EXPECT_EQ(r, nullptr);
        EXPECT_EQ(st.code, 42189);
        EXPECT_EQ(st.diagnostic, "First object: Solid overlaps itself");
    }
    BoxRecorder rec;
    EXPECT_EQ(csg_boolean(far.get(), crossed.get(), kCsgUnion), nullptr);
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_NE(rec.boxes[0].text.find("Second object: Solid overlaps itself"), std::string::npos);
}

// A flat tetrahedron inside a large box B that holds a tiny cavity straight above the
// tetrahedron's top face. The classifying ray from that face first meets the
// cavity's far face (listed first), then the near face exactly on its diagonal: it is
// perturbed, misses the cavity and meets B's top, farther than the first walk's hit.
// That hit must count, so the tetrahedron lies inside B.
TEST(CsgEngine, PerturbedRayStartsAfresh) {
    auto tetra = make_mesh({{-1, -1, 0}, {2, -1, 0}, {-1, 2, 0}, {0, 0, -0.5}},
                           {{0, 3, 1}, {1, 3, 2}, {2, 3, 0}, {0, 1, 2}});
    std::vector<P3> pts;
    std::vector<std::array<int, 3>> tris;
    auto quad = [&](P3 p, P3 q, P3 r, P3 s) {  // triangles p q r and p r s: diagonal p-r
        const int base = int(pts.size());
        pts.insert(pts.end(), {p, q, r, s});
        tris.push_back({base, base + 1, base + 2});
        tris.push_back({base, base + 2, base + 3});
    };
    // B's outer box (its top's diagonal misses the ray), loaded first so walked last.
    const double x0 = -10, x1 = 12, y0 = -10, y1 = 10, z0 = -10, z1 = 10;
    quad({x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0});
    quad({x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1});
    quad({x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1});
    quad({x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0});
    quad({x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0});
    quad({x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1});
    // The cavity: near face at z = 4 with its diagonal on x = y (through the ray),
    // sides, then the far face at z = 4.046875 with the other diagonal, loaded last.
    const double lo = -0.03125, hi = 0.015625, n = 4, f = 4.046875;
    quad({lo, lo, n}, {lo, hi, n}, {hi, hi, n}, {hi, lo, n});
    quad({lo, lo, n}, {hi, lo, n}, {hi, lo, f}, {lo, lo, f});
    quad({lo, hi, n}, {lo, hi, f}, {hi, hi, f}, {hi, hi, n});
    quad({lo, lo, n}, {lo, lo, f}, {lo, hi, f}, {lo, hi, n});
    quad({hi, lo, n}, {hi, hi, n}, {hi, hi, f}, {hi, lo, f});
    quad({hi, lo, f}, {hi, hi, f}, {lo, hi, f}, {lo, lo, f});
    auto b = make_mesh(pts, tris);
    const double v_tetra = 0.75, v_b = 22.0 * 20 * 20 - 0.046875 * 0.046875 * 0.046875;
    const double expect[3] = {v_b, v_tetra, 0};
    for (int op = 0; op < 3; ++op) {
        SCOPED_TRACE(op);
        CsgStatus st;
        auto r = csg_boolean(tetra.get(), b.get(), op, &st);
        ASSERT_NE(r, nullptr) << st.diagnostic;
        EXPECT_NEAR(signed_volume(r.get()), expect[op], 1e-6 * v_b);
        EXPECT_EQ(open_edges(r.get()), 0);
    }
}

// Hundreds of parts, a third of them holding a hollow, in a turned frame and wound
// either way: each part (and each hollow) learns its side from the rays through all
// the others, so every one must come out wound as a solid.
TEST(CsgEngine, ManyPartsFindTheirSides) {
    const Motion turn{0.3, 0.5, 0.7};
    std::vector<P3> pts;
    std::vector<std::array<int, 3>> tris;
    double want = 0;
    const auto add = [&](double lo, double size, P3 at, bool inward) {
        auto box = make_box({size, size, size}, Motion{0, 0, 0, {at[0] + lo, at[1] + lo, at[2] + lo}}, inward);
        for (const auto& t : triangles(box.get())) {
            for (const auto& p : t) pts.push_back(turn.apply(p));
            tris.push_back({int(pts.size()) - 3, int(pts.size()) - 2, int(pts.size()) - 1});
        }
    };
    for (int i = 0; i < 12; ++i)
        for (int j = 0; j < 12; ++j)
            for (int k = 0; k < 2; ++k) {
                const P3 at = {double(i), double(j), 1.5 * k};
                add(0, 0.75, at, (i + j + k) % 2);
                want += 0.75 * 0.75 * 0.75;
                if ((i + 2 * j + k) % 3) continue;
                add(0.25, 0.25, at, (i + k) % 2);
                want -= 0.25 * 0.25 * 0.25;
            }
    auto a = make_mesh(pts, tris), far = make_cube(100, 1);
    CsgStatus st;
    auto r = csg_boolean(a.get(), far.get(), kCsgSubtraction, &st);
    ASSERT_NE(r, nullptr) << st.code;
    EXPECT_EQ(st.gave_way, "");
    EXPECT_NEAR(volume(r.get()), want, 1e-3 * want);
}
