// Results of the engine taken as its input again: the solids of typed boxes and a
// sphere whose results hold slivers far thinner than the weld distance, in both
// windings, and chains of random pairs whose every result is combined with a third
// solid.
#include <map>
#include <random>
#include <string>

#include "tests/boolean/campaign_solids.h"
#include "tests/boolean/csg_support.h"

using namespace csgtest;

namespace {

using campaign::Tris;

// The mesh of `t`, its faces reversed when `reverse`.
std::unique_ptr<MESH3> mesh_of(const Tris& t, bool reverse) {
    return campaign::to_mesh(reverse ? campaign::reversed(t) : t);
}

// The result of the operation, which must be closed by vertex identity, sound and
// pointing outward, of volume `want` within `tol`.
std::unique_ptr<MESH3> sound_result(const MESH3* a, const MESH3* b, int op, double want, double tol) {
    CsgStatus st;
    auto r = csg_boolean(a, b, op, &st);
    EXPECT_TRUE(r) << st.code << " " << st.diagnostic;
    if (!r) return r;
    EXPECT_EQ(unsound(r.get()), "");
    EXPECT_EQ(open_edges(r.get(), 1e-9), 0);
    EXPECT_NEAR(signed_volume(r.get()), want, tol);
    return r;
}

}  // namespace

// The intersection of two typed boxes is a bar 0.0016 thick; united with a third box
// it was refused with "Height of the tria is zero", as was a far box united with the
// union of a 9 x 20 sphere and a box (slivers of height 1.4e-7 in the box's faces).
TEST(CsgReuse, ResultsWithSliversAreTakenAgain) {
    for (bool reverse : {false, true}) {
        SCOPED_TRACE(reverse ? "reversed" : "as built");
        const P3 c1 = {2.27703571, 9.79935551, 6.30055666}, s1 = {2.3971646, 8.03214489, 5.9683604};
        const P3 c2 = {0.492948294, 6.82365799, 3.62405705}, s2 = {2.53895537, 6.69950477, 2.67812355};
        const P3 c3 = {9.0265646, 0.489842266, 6.34198809}, s3 = {4.46405131, 1.23646881, 5.53738785};
        auto b1 = mesh_of(campaign::box(c1, s1), reverse), b2 = mesh_of(campaign::box(c2, s2), reverse);
        auto b3 = mesh_of(campaign::box(c3, s3), reverse);
        double bar = 1;
        for (int k = 0; k < 3; ++k)
            bar *= std::min(c1[k] + s1[k], c2[k] + s2[k]) - std::max(c1[k], c2[k]);
        auto r = sound_result(b1.get(), b2.get(), kCsgIntersection, bar, 1e-6);
        ASSERT_TRUE(r);
        sound_result(r.get(), b3.get(), kCsgUnion, bar + s3[0] * s3[1] * s3[2], 1e-4);

        for (int rings : {9, 20}) {
            SCOPED_TRACE(rings);
            auto ball = mesh_of(campaign::sphere({9.56953049, 2.92757607, 2.32593179}, 0, 7.6323225, rings, 29 - rings),
                                reverse);
            auto box = mesh_of(campaign::box({0.851721346, 7.50855398, 3.85413361}, {6.45991998, 2.46569388, 4.61342291}),
                               reverse);
            auto far = mesh_of(campaign::box({40, 40, 40}, {2, 3, 4}), reverse);
            CsgStatus st;
            auto u = csg_boolean(ball.get(), box.get(), kCsgUnion, &st);
            ASSERT_TRUE(u) << st.diagnostic;
            const double vu = signed_volume(u.get());
            sound_result(u.get(), far.get(), kCsgUnion, vu + 24, 1e-4);
            sound_result(u.get(), far.get(), kCsgSubtraction, vu, 1e-4);
        }
    }
}

namespace {

// Every corner moved by `m` (turned about x, y, z, then shifted).
Tris moved_by(Tris t, const Motion& m) {
    for (auto& tri : t)
        for (P3& p : tri) p = m.apply(p);
    return t;
}

}  // namespace

// A turned 4 x 16 sphere cut by a box gives R; R cut by a box holding it came back
// inside out (volume -0.165631) with success.
TEST(CsgReuse, ResultCutAgainStaysOutward) {
    const Motion turn{0.785012162, 1.43861026, 0.312682361, {2.91834546, 4.5470197, 6.21777765}};
    for (bool reverse : {false, true}) {
        SCOPED_TRACE(reverse ? "reversed" : "as built");
        auto ball = mesh_of(moved_by(campaign::sphere({0, 0, 0}, 0, 6.40998129, 4, 16), turn), reverse);
        auto box = mesh_of(campaign::box({7.5, 2.5, 10}, {2.5, 7.5, 5}), reverse);
        auto hold = mesh_of(campaign::box({4, -1, 6}, {10, 15, 13}), reverse);
        CsgStatus st;
        auto r = csg_boolean(ball.get(), box.get(), kCsgIntersection, &st);
        ASSERT_TRUE(r) << st.diagnostic;
        const double vr = signed_volume(r.get());
        EXPECT_NEAR(vr, 0.165631, 1e-5);
        sound_result(r.get(), hold.get(), kCsgIntersection, vr, 1e-6);
        sound_result(hold.get(), r.get(), kCsgIntersection, vr, 1e-6);
        sound_result(r.get(), hold.get(), kCsgUnion, 10 * 15 * 13, 1e-3);
    }
}

// Fifteen separate shells (one a hollow ball, some 0.004 apart) less a far cube: two
// shells came back inside out in one winding.
TEST(CsgReuse, ManyShellsAnswerAlikeInBothWindings) {
    Tris shells, far = campaign::box({1000, 1000, 1000}, {10, 10, 10});
    double want = 0;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(0, 1);
    for (int i = 0; i < 12; ++i) {
        const P3 size = {2 + 5 * u(rng), 2 + 5 * u(rng), 2 + 5 * u(rng)};
        const P3 at = {(i % 4) * 10.004 - 7.0, (i / 4) * 10.004, 3 * u(rng)};
        const Tris b = moved_by(campaign::box({0, 0, 0}, {10, 10, size[2]}), Motion{1e-4 * i, 0, 0, at});
        shells.insert(shells.end(), b.begin(), b.end());
        want += std::fabs(solidcheck::signed_volume(solidcheck::soup_of(b)));
    }
    for (double r : {20.0, 16.0, 6.0}) {  // a ball with a hollow, and a ball in the hollow
        Tris ball = campaign::sphere({50, 80, 0}, 0, r, 12, 16);
        const double v = solidcheck::signed_volume(solidcheck::soup_of(ball));
        want += r == 16.0 ? -std::fabs(v) : std::fabs(v);
        if (r == 16.0) ball = campaign::reversed(ball);
        shells.insert(shells.end(), ball.begin(), ball.end());
    }
    for (bool reverse : {false, true}) {
        SCOPED_TRACE(reverse ? "reversed" : "as built");
        auto a = mesh_of(shells, reverse), b = mesh_of(far, false);
        sound_result(a.get(), b.get(), kCsgSubtraction, want, 1e-3);
        sound_result(a.get(), b.get(), kCsgUnion, want + 1000, 1e-3);
    }
}

// Two disjoint boxes with their diagonals, counter-clockwise: the union was refused
// with "Result volume is out of reach" when one of A's faces across x (not both) was
// split by its other diagonal.
TEST(CsgReuse, DisjointBoxesInEitherWinding) {
    const P3 lo1 = {0.20649803, 2.47631971, 0.0883913895}, hi1 = {3.6585999, 11.2540086, 1.27220421};
    const P3 lo2 = {9.63975814, 6.43795922, 3.02312605}, hi2 = {18.3635413, 16.0946647, 10.8409853};
    for (bool inward : {false, true})
        for (int diagonals : {0, 16, 32, 48, 63}) {
            SCOPED_TRACE(testing::Message()
                         << (inward ? "inward" : "outward") << ", diagonals " << diagonals);
            const P3 s1 = {hi1[0] - lo1[0], hi1[1] - lo1[1], hi1[2] - lo1[2]};
            const P3 s2 = {hi2[0] - lo2[0], hi2[1] - lo2[1], hi2[2] - lo2[2]};
            auto a = make_box(s1, Motion{0, 0, 0, lo1}, inward, diagonals);
            auto b = make_box(s2, Motion{0, 0, 0, lo2}, inward, 63 - diagonals);
            const double va = volume(a.get()), vb = volume(b.get());
            sound_result(a.get(), b.get(), kCsgUnion, va + vb, 1e-6 * (va + vb));
            sound_result(a.get(), b.get(), kCsgSubtraction, va, 1e-6 * va);
            sound_result(b.get(), a.get(), kCsgSubtraction, vb, 1e-6 * vb);
            CsgStatus st;
            auto r = csg_boolean(a.get(), b.get(), kCsgIntersection, &st);
            EXPECT_EQ(st.code, 0) << st.diagnostic;
            if (r) EXPECT_NEAR(signed_volume(r.get()), 0, 1e-9);
        }
}

// The cube [0,10]^3 and a second box placed against it (sharing part of a face, an
// edge, a corner; a copy shifted along one axis; a nearly coincident copy), both turned
// and moved: faces in one plane are only nearly so once rounded to float. Every
// operation on the shared face was refused ("Cutting does not come to an end",
// "VECTOR is zero").
TEST(CsgReuse, TouchingBoxesInATurnedFrame) {
    const Motion m{4.23092545, 0.783719665, 2.92175372, {1.19290621, 0.593768156, 2.59577468}};
    struct Case {
        const char* name;
        P3 at, size;
        double uni, inter, a_b, b_a;  // volumes
        int may_refuse = -1;          // an operation still refused there (never wrong)
    };
    const double e = 1e-4;
    const Case cases[] = {
        {"part of a face", {2.5, 5, 0}, {7.5, 2.5, 2.5}, 1000, 46.875, 953.125, 0},
        {"an edge", {10, 10, 2}, {3, 3, 3}, 1027, 0, 1000, 27},
        {"a corner", {10, 10, 10}, {2, 3, 4}, 1024, 0, 1000, 24},
        {"shifted copy", {4, 0, 0}, {10, 10, 10}, 1400, 600, 400, 400, kCsgSubtraction},
        {"nearly coincident copy", {e, -e, e}, {10, 10, 10}, 1000, 1000, 0, 0},
    };
    for (const Case& c : cases) {
        for (bool inward : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.name << (inward ? " inward" : " outward"));
            auto a = make_box({10, 10, 10}, m, inward);
            auto b = make_box(c.size, Motion{}, inward);
            for (MeshVertex& v : b->blocks->vertices) {
                const P3 p = m.apply({v.x + c.at[0], v.y + c.at[1], v.z + c.at[2]});
                v.x = float(p[0]), v.y = float(p[1]), v.z = float(p[2]);
            }
            const double want[4] = {c.uni, c.inter, c.a_b, c.b_a};
            for (int op = 0; op < 4; ++op) {
                SCOPED_TRACE(op);
                const double tol = 1e-3 + 0.5 * c.size[0] * c.size[1] * c.size[2] * e;
                if (op == c.may_refuse) {
                    CsgStatus st;
                    auto r = csg_boolean(a.get(), b.get(), op, &st);
                    if (r) EXPECT_NEAR(signed_volume(r.get()), want[op], tol);
                    else EXPECT_NE(st.code, 0);
                    continue;
                }
                if (want[op] > 0.1) {
                    sound_result(op == 3 ? b.get() : a.get(), op == 3 ? a.get() : b.get(), op == 3 ? kCsgSubtraction : op,
                                 want[op], tol);
                    continue;
                }
                // Nothing left: no mesh, or one without volume.
                CsgStatus st;
                auto r = op == 3 ? csg_boolean(b.get(), a.get(), kCsgSubtraction, &st) : csg_boolean(a.get(), b.get(), op, &st);
                EXPECT_EQ(st.code, 0) << st.diagnostic;
                if (r) EXPECT_NEAR(signed_volume(r.get()), 0, tol);
            }
        }
    }
}

// Input that is no solid is refused with a reason naming the object: a box of width 0
// (its union with a far box came back open with success) and two boxes crossing each
// other in one mesh.
TEST(CsgReuse, UnsoundInputIsRefusedByName) {
    auto far = make_box({2, 3, 4}, Motion{0, 0, 0, {40, 40, 40}});
    auto flat = campaign::to_mesh(campaign::box({0, 0, 0}, {0, 5, 5}));
    Tris two = campaign::box({0, 0, 0}, {4, 4, 4}), other = campaign::box({2.3, 2.2, 2.1}, {4, 4, 4});
    two.insert(two.end(), other.begin(), other.end());
    auto crossed = campaign::to_mesh(two);
    // The Box command's mesh as built, each size 0 in turn.
    std::unique_ptr<MESH3> raw[3];
    for (int k = 0; k < 3; ++k) {
        double size[3] = {3, 4, 5};
        size[k] = 0;
        Vec3 c[8];
        box_corners(ViewProjection{}, {1, 2, 3}, size[0], size[1], size[2], c);
        ASSERT_EQ(box_mesh(c, kBoxAllFaces, &raw[k]), 0);
        EXPECT_EQ(csg_solid_fault(raw[k].get()), "Solid encloses no volume") << k;
    }
    const std::pair<const MESH3*, const char*> cases[] = {{flat.get(), "encloses no volume"},
                                                          {raw[0].get(), "encloses no volume"},
                                                          {raw[1].get(), "encloses no volume"},
                                                          {raw[2].get(), "encloses no volume"},
                                                          {crossed.get(), "overlaps itself"}};
    for (const auto& [bad, why] : cases) {
        for (bool first : {true, false}) {
            SCOPED_TRACE(why);
            CsgStatus st;
            auto r = first ? csg_boolean(bad, far.get(), kCsgUnion, &st) : csg_boolean(far.get(), bad, kCsgUnion, &st);
            EXPECT_FALSE(r);
            EXPECT_EQ(st.code, 42189);
            EXPECT_NE(st.diagnostic.find(why), std::string::npos) << st.diagnostic;
            EXPECT_EQ(st.diagnostic.rfind(first ? "First object" : "Second object", 0), 0u) << st.diagnostic;
        }
    }
}

// Chains of the campaign's pairs (contacts every other time in a turned frame): each
// right result combined again with a third solid. No result is wrong, and no result
// of the engine is refused as its input (42189); other refusals are counted.
// ZELO_CSG_CHAINS sets the number of chains.
TEST(CsgReuse, ChainedResultsAreTakenAgain) {
    rtc_register_all();
    const char* env = std::getenv("ZELO_CSG_CHAINS");
    const int chains = env ? std::atoi(env) : 8;
    int ops = 0, refused = 0, again = 0, again_refused = 0;
    std::map<std::string, int> reasons;  // of the refusals
    campaign::Maker maker(0);
    for (int seed = 1; seed <= chains; ++seed) {
        const campaign::Pair p = campaign::chain_pair(maker, uint64_t(seed) + 5000);
        const campaign::ChainOutcome c = campaign::run_chain(p, maker);
        for (int op = 0; op < 4; ++op) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << " op " << op << " "
                                            << campaign::placement_name(p.placement) << " "
                                            << campaign::winding_name(p.winding));
            ++ops;
            if (c.first.op[op].verdict == solidcheck::Verdict::refused) ++refused, ++reasons[c.first.op[op].why];
            EXPECT_NE(c.first.op[op].verdict, solidcheck::Verdict::wrong) << c.first.op[op].why;
            if (!c.ran[op]) continue;
            for (int op2 = 0; op2 < 4; ++op2) {
                const campaign::OpOutcome& o = c.again[op].op[op2];
                ++again;
                if (o.verdict == solidcheck::Verdict::refused) ++again_refused, ++reasons[o.why];
                EXPECT_NE(o.verdict, solidcheck::Verdict::wrong) << "then op " << op2 << ": " << o.why;
                EXPECT_NE(o.code, 42189) << "then op " << op2 << ": a result refused as input: " << o.why;
            }
        }
    }
    std::printf("first operations %d, refused %d; second operations %d, refused %d\n", ops, refused, again,
                again_refused);
    for (const auto& [why, n] : reasons) std::printf("  refused %d: %s\n", n, why.c_str());
    // Refusals left are exact ties (a corner on the other solid's plane, crossings
    // meeting at one point) that the split in the plane does not yet settle.
    EXPECT_LE(9 * again_refused, again);
}

// Chains of the long campaign whose results came back and were refused as input: a
// long sliver of a near copy's difference tilted by rounding across a face of the
// other wall (222); slabs 2e-4 and 2.4e-5 thick whose second operations fell to the
// cut of tolerances, which welded them and blamed the input for enclosing no volume
// (333, 983; the thinner one must also stay whole in a union with a large box); a
// result of the cut of tolerances whose faces crossed 1e-3 deep (1518).
TEST(CsgReuse, CampaignResultsAreTakenAgain) {
    rtc_register_all();
    campaign::Maker maker(0);
    for (const uint64_t seed : {222u, 333u, 1518u, 983u}) {
        const campaign::Pair p = campaign::chain_pair(maker, seed);
        const campaign::ChainOutcome c = campaign::run_chain(p, maker, 64, true);
        for (int op = 0; op < 4; ++op) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << " op " << op);
            const campaign::OpOutcome& o = c.first.op[op];
            EXPECT_NE(o.verdict, solidcheck::Verdict::wrong) << o.why;
            if (o.result) EXPECT_EQ(csg_solid_fault(o.result.get()), "");
            for (int op2 = 0; c.ran[op] && op2 < 4; ++op2) {
                const campaign::OpOutcome& again = c.again[op].op[op2];
                EXPECT_NE(again.verdict, solidcheck::Verdict::wrong) << "then op " << op2 << ": " << again.why;
                EXPECT_NE(again.code, 42189) << "then op " << op2 << ": " << again.why;
                if (again.result) EXPECT_EQ(csg_solid_fault(again.result.get()), "") << "then op " << op2;
            }
        }
    }
}

namespace {

// A chain of the campaign taken again from result `op`, in the chain's winding and in
// the other one: no second operation may be wrong, and with `answered` none refused.
void expect_chain_right(uint64_t seed, int op, bool answered = false) {
    campaign::Maker maker(0);
    for (const bool other_winding : {false, true}) {
        campaign::Pair p = campaign::chain_pair(maker, seed);
        if (other_winding) campaign::turn_over(p);
        const campaign::ChainOutcome c = campaign::run_chain(p, maker, 64, false, op);
        if (answered) ASSERT_TRUE(c.ran[op]) << "seed " << seed;
        for (int op2 = 0; c.ran[op] && op2 < 4; ++op2) {
            const solidcheck::Verdict v = c.again[op].op[op2].verdict;
            EXPECT_TRUE(answered ? v == solidcheck::Verdict::right : v != solidcheck::Verdict::wrong)
                << "seed " << seed << " winding " << p.winding << " op " << op << " then " << op2 << ": "
                << c.again[op].op[op2].why;
        }
    }
}

}  // namespace

// The difference of near copies (prisms, spheres, boxes) is a sliver about a rounding
// step thick, taken as input; the piece of it inside a third solid is as thin. It was
// left out as a part without volume, and the difference came back empty or short.
TEST(CsgReuse, ThinPiecesOfSliversAreKept) {
    rtc_register_all();
    for (const auto& [seed, op] : {std::pair<uint64_t, int>{42582, 3}, {42903, 2}, {81138, 3}})
        expect_chain_right(seed, op);
}

// The union of a torus standing on a box's face, intersected with a prism through
// both: a gap in the curve around the torus joined its faces inside the prism to those
// outside, and the torus's part of the answer was lost with success.
TEST(CsgReuse, RegionThroughAGapInTheCurve) {
    rtc_register_all();
    expect_chain_right(70167, 0);
}

// A cone whose tip touches a box, both turned: the curve is a loop around the tip so
// small that its crossings all round to one point. The pieces along it collapsed and
// the rest of the cone took its side from a ray cast from the box's surface: the whole
// cone came back inside the box, with success.
TEST(CsgReuse, TinyCurveAroundATouchingTip) {
    rtc_register_all();
    campaign::Maker maker(0);
    for (int seed : {20, 164, 186, 226}) {
        maker.reseed(uint64_t(seed));
        const campaign::Pair p = maker.turned_frame(maker.pair());
        const campaign::PairOutcome o = campaign::run_pair(p);
        for (int op = 0; op < 4; ++op)
            EXPECT_NE(o.op[op].verdict, solidcheck::Verdict::wrong) << "seed " << seed << " op " << op << ": " << o.op[op].why;
    }
}

namespace {

// The raw mesh of a revolution about the y axis (copies of a point on the axis differ
// in their last bits, as the commands build them).
std::unique_ptr<MESH3> revolved_mesh(std::vector<Vec3> profile, int steps) {
    RevolveProfiles p;
    p.chains.push_back(std::move(profile));
    p.axis_a = {0, 0, 0};
    p.axis_b = {0, 1, 0};
    std::unique_ptr<MESH3> m;
    EXPECT_EQ(revolve_profiles_mesh(p, steps, &m), 0);
    return m;
}

}  // namespace

// A closed profile across the axis sweeps a solid that overlaps itself (in the planes
// of its ends, or along a circle where the two halves' cones cross): refused by name,
// where a union took it as sound. The program's own solids touching the axis are sound.
TEST(CsgReuse, SolidOverlappingItselfIsRefused) {
    rtc_register_all();
    auto far = make_box({2, 3, 4}, Motion{0, 0, 0, {40, 40, 40}});
    const std::vector<Vec3> across[] = {
        {{-1, 0, 0}, {2, 0, 0}, {2, 3, 0}, {-1, 3, 0}, {-1, 0, 0}},
        {{-1, 0, 0}, {3, 0.5f, 0}, {0.5f, 4, 0}, {-1, 0, 0}},
        {{-0.5f, 1, 0}, {2, 0, 0}, {2.5f, 3, 0}, {-1.5f, 2.5f, 0}, {-0.5f, 1, 0}},
    };
    for (const auto& profile : across)
        for (bool reverse : {false, true})
            for (int steps : {12, 17}) {
                SCOPED_TRACE(testing::Message() << profile.size() << " corners, " << steps << " steps"
                                                << (reverse ? ", reversed" : ""));
                auto m = revolved_mesh(reverse ? std::vector<Vec3>(profile.rbegin(), profile.rend()) : profile, steps);
                EXPECT_EQ(csg_solid_fault(m.get()), "Solid overlaps itself");
                for (bool first : {true, false}) {
                    CsgStatus st;
                    auto r = first ? csg_boolean(m.get(), far.get(), kCsgUnion, &st)
                                   : csg_boolean(far.get(), m.get(), kCsgUnion, &st);
                    EXPECT_FALSE(r);
                    EXPECT_EQ(st.code, 42189);
                    EXPECT_EQ(st.diagnostic, std::string(first ? "First" : "Second") + " object: Solid overlaps itself");
                }
            }
    Draw3DSettings s;
    s.faces_m = 9;
    s.tops = 3;
    const auto built = [](int code, const RevolveProfiles& p, int steps) {
        std::unique_ptr<MESH3> m;
        EXPECT_EQ(code, 0);
        EXPECT_EQ(revolve_profiles_mesh(p, steps, &m), 0);
        return m;
    };
    std::vector<std::pair<const char*, std::unique_ptr<MESH3>>> sound;
    for (double ring : {0.0, 3.0, 1.0}) {
        RevolveProfiles p;
        const int code = sphere_profiles(ViewProjection{}, {1.5f, 2.25f, -0.75f}, ring, 1.0, s, &p);
        sound.emplace_back(ring == 0 ? "sphere" : "torus", built(code, p, 20));
    }
    for (int kind : {0, 1, 2}) {
        s.cone = kind;
        RevolveProfiles p;
        const int code = cone_profiles(ViewProjection{}, {0.3f, 5, 0.7f}, {0.3f, 1, 0.7f}, 2, 1, s, &p);
        sound.emplace_back("cone", built(code, p, 13));
    }
    sound.emplace_back("revolution from the axis", revolved_mesh({{0, 0, 0}, {2, 0, 0}, {1, 1.5f, 0}, {2, 3, 0}, {0, 3, 0}}, 16));
    campaign::LetterMaker letters;
    for (char c : {'O', 'Z', 'E'}) sound.emplace_back("letter", campaign::to_mesh(letters.make(c, 10, 2, 0.3)));
    for (const auto& [what, m] : sound) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(m);
        EXPECT_EQ(csg_solid_fault(m.get()), "");
        CsgStatus st;
        auto r = csg_boolean(m.get(), far.get(), kCsgUnion, &st);
        EXPECT_TRUE(r) << st.diagnostic;
    }
}

namespace {

// Every second operation of each chain comes back right, in the chain's winding and
// with every face reversed.
void expect_chains_right(std::initializer_list<uint64_t> seeds) {
    campaign::Maker maker(0);
    for (const uint64_t seed : seeds)
        for (const bool flip : {false, true}) {
            campaign::Pair p = campaign::chain_pair(maker, seed);
            if (flip) campaign::turn_over(p);
            const campaign::ChainOutcome c = campaign::run_chain(p, maker);
            for (int op = 0; op < 4; ++op)
                for (int op2 = 0; c.ran[op] && op2 < 4; ++op2) {
                    const campaign::OpOutcome& o = c.again[op].op[op2];
                    EXPECT_EQ(o.verdict, solidcheck::Verdict::right)
                        << "seed " << seed << " flip " << flip << " op " << op << " then " << op2 << ": " << o.why;
                }
        }
}

}  // namespace

// Results of the first operation whose surface folds at a vertex: rounding turned a
// sliver over, and the faces around it cross by a rounding step. A face of the third
// solid through the fold met a curve that crossed itself ("Face can not be split"),
// and the cut of tolerances refused the pair. Seed 101 folds across the sliver's long
// edge, seed 1 across a short one; each chain also with every face reversed.
TEST(CsgReuse, ThirdSolidThroughAFoldedSliver) {
    rtc_register_all();
    expect_chains_right({101, 1});
}

// The difference of near copies, folded by rounding at its rim, taken again: a sliver
// standing at an angle to the face across its long edge was flipped with it, which
// tilted that face by the sliver's height, and the thin result less a third solid (and
// their union) came back 1e-4 fuller, with success.
TEST(CsgReuse, SliverAtAnAngleIsNotFlipped) {
    rtc_register_all();
    expect_chain_right(41954, 2);
}

// Results of shifted copies and near copies taken again: a sliver flipped beside other
// folds made the new faces cross faces of the solid, and a third solid went wholly to
// one side (a difference came back empty), with success.
TEST(CsgReuse, FlipThatWouldCrossAFaceIsLeft) {
    rtc_register_all();
    for (const auto& [seed, op] : {std::pair<uint64_t, int>{46062, 2}, {40573, 3}})
        expect_chain_right(seed, op);
}

// A torus touching a result from outside (overlapping it by about 1e-6), the chain
// turned over: the torus was taken as wholly inside (192.6 in place of 0).
TEST(CsgReuse, ThirdSolidTouchingAResultFromOutside) {
    rtc_register_all();
    expect_chain_right(96034, 3);
}

// Turned, the halves of a profile across the axis touch within rounding, inside edges of both.
TEST(CsgReuse, NestedHalvesInATurnedFrameAreRefused) {
    const std::vector<Vec3> nested = {{-1, 1, 0}, {3, 0, 0}, {3, 4, 0}, {-1, 3, 0}, {-1, 1, 0}};
    const std::vector<Vec3> from_axis = {{0, 0, 0}, {2, 0, 0}, {1, 1.5f, 0}, {2, 3, 0}, {0, 3, 0}};
    for (int k = 0; k < 32; ++k) {  // bit 0: reversed, 1: 17 steps, 2: from the axis (sound), 3-4: the frame
        auto t = campaign::mesh_triangles(revolved_mesh(k & 4 ? from_axis : nested, k & 2 ? 17 : 12).get());
        const double f = 1 + (k >> 3);
        const auto turn = campaign::Rotation::about({f, 2 - f, 0.5}, 1.3 * f);
        t = campaign::moved(k & 1 ? campaign::reversed(t) : t, turn, {0, 0, 0}, {3.25 * f, -1.5, 0.75});
        EXPECT_EQ(csg_solid_fault(campaign::to_mesh(t).get()), k & 4 ? "" : "Solid overlaps itself") << k;
    }
}

// Results of shifted copies and of faces in contact, in a turned frame, whose slivers
// rounding laid over a neighbour (faces crossing a fraction of a float step), cut
// again by a third solid: its faces met a curve crossing itself at the fold, and every
// such operation was refused. A corner of the fold moved a float step or two parts it.
TEST(CsgReuse, FoldsOfRoundingArePartedBeforeTheCut) {
    rtc_register_all();
    expect_chains_right({748, 858});
}

// The union of shifted copies of a cylinder in a turned frame, taken again with a third
// solid: walls of the result cross each other within a float step, and moves of a
// corner by two steps parted none of the pairs a face of the third solid met. Its curve
// crossed itself there, and every second operation was refused.
TEST(CsgReuse, CrossingWallsArePartedByFartherMoves) {
    rtc_register_all();
    campaign::Maker maker(0);
    const campaign::Pair p = campaign::chain_pair(maker, 1520);
    const campaign::ChainOutcome c = campaign::run_chain(p, maker, 64, false, 0);
    ASSERT_TRUE(c.ran[0]);
    for (int op2 = 0; op2 < 4; ++op2)
        EXPECT_EQ(c.again[0].op[op2].verdict, solidcheck::Verdict::right) << "then " << op2 << ": " << c.again[0].op[op2].why;
}

// A letter less a box touching it, in a turned frame, taken again with a cylinder: one
// part of the letter is mostly slivers that rounding turned over, and the rays that
// oriented it started from two of them. The part came back inside out: the union and
// A - B 31 short (781.9 where 813.0 is right), with success, in both windings.
TEST(CsgReuse, PartMostlyOfFoldsKeepsItsWinding) {
    rtc_register_all();
    expect_chain_right(96116, 3);
}

// Boxes touching along part of an edge, as one solid, cut across the line: the cut gave way.
TEST(CsgReuse, PartsTouchingAlongALineCutThere) {
    Tris a = campaign::box({0, 0, 0}, {1, 1, 2}), a2 = campaign::box({1, 1, 0.5}, {1, 1, 1});
    a.insert(a.end(), a2.begin(), a2.end());
    auto ma = mesh_of(a, false), mb = mesh_of(campaign::box({0.5, 0.5, 0.8}, {1, 1, 0.4}), false);
    sound_result(ma.get(), mb.get(), kCsgUnion, 3.2, 1e-5);
    sound_result(ma.get(), mb.get(), kCsgSubtraction, 2.8, 1e-5);
}

// A turned face contact's slab, a float step thick, cut by a box: refused as not closed.
TEST(CsgReuse, SliverWallsMeetingOnAnEdgeAreAnswered) {
    rtc_register_all();
    expect_chain_right(1186, 1, true);
}

// Results of face contacts in a turned frame, cut by a third solid across both walls of
// a sliver a float step thick: the crossings round to the same points and the walls'
// pieces meet at the curve with nothing of the third solid between them, which was
// taken for both sides of one face kept and refused.
TEST(CsgReuse, SliverWallsMeetingAtTheCurveAreAnswered) {
    rtc_register_all();
    for (const auto& [seed, op] : {std::pair<uint64_t, int>{1164, 3}, {2462, 2}}) expect_chain_right(seed, op, true);
}

// Two chains of the long run that come back wrong with success. 11144: near copies of a
// cone in a turned frame, B - A, less a third cone: 0.000124 where 0.0014 is right (the
// exact cut with A and B swapped loses a thin piece; before, the first cut's result was
// refused as not closed and that answer was not reached). 20404: shifted copies of a
// cylinder in a turned frame, reversed, B - A, united with a third solid: 6834.09 where
// 6833.95 is right (an edge of four faces on the result; wrong before too). Not mended yet.
TEST(CsgReuse, DISABLED_LongRunWrongResults) {
    rtc_register_all();
    for (const uint64_t seed : {11144, 20404}) expect_chain_right(seed, 3);
}
