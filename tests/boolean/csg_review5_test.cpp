// Second review of the boolean engine's latest changes: inputs aimed at the places a
// wrong result could slip through (parts crossing on an edge of four faces, thin parts
// left out, ties settled with the operands' roles swapped), in both windings and in
// more than one frame.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "commands/boolean/csg_exact.h"

#include "tests/boolean/campaign_solids.h"
#include "tests/boolean/exact_points.h"

namespace {

using campaign::P3;
using campaign::Tris;

// A prism over the triangle p (in x, y) from z0 to z1, wound as the program winds
// solids (positive volume).
Tris prism(const std::array<std::array<double, 2>, 3>& p, double z0, double z1) {
    Tris t;
    const auto at = [&](int i, double z) { return P3{p[size_t(i)][0], p[size_t(i)][1], z}; };
    t.push_back({at(0, z0), at(1, z0), at(2, z0)});
    t.push_back({at(0, z1), at(2, z1), at(1, z1)});
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        t.push_back({at(i, z0), at(i, z1), at(j, z1)});
        t.push_back({at(i, z0), at(j, z1), at(j, z0)});
    }
    if (solidcheck::signed_volume(solidcheck::soup_of(t)) < 0) t = campaign::reversed(t);
    return t;
}

Tris joined(Tris a, const Tris& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Tris framed(const Tris& t, int frame) {
    if (frame == 0) return t;
    return campaign::moved(t, campaign::Rotation::about({1, 2, 3}, 1.7 * frame), {0, 0, 0}, {3, -2, 1});
}

}  // namespace

// A box and a wedge on one of its edges whose faces interleave about that edge (the
// wedge runs from about 27 or 63 to 180 degrees about it, the box from 0 to 90): four
// faces on the edge, but the two parts overlap. However it is wound and turned, the
// solid must be refused as input by name, with a third solid, in every operation.
static void expect_crossing_parts_refused(std::initializer_list<double> slopes, std::initializer_list<int> frames) {
    rtc_register_all();
    const Tris box = campaign::box({0, 0, 0}, {2, 2, 2});
    for (const double slope : slopes)
        for (const int frame : frames)
            for (const bool reversed : {false, true}) {
                Tris a = framed(joined(box, prism({{{0, 0}, {2, 2 * slope}, {-2, 0}}}, 0, 2)), frame);
                if (reversed) a = campaign::reversed(a);
                const Tris b = framed(campaign::box({-1, -1.5, 0.5}, {2.5, 3, 1}), frame);
                const auto ma = campaign::to_mesh(a), mb = campaign::to_mesh(b);
                const std::string where =
                    "slope " + std::to_string(slope) + " frame " + std::to_string(frame) + (reversed ? " reversed" : "");
                EXPECT_NE(csg_solid_fault(ma.get()), "") << where;
                for (int op = 0; op < 4; ++op) {
                    CsgStatus st;
                    const auto r = op < 3 ? csg_boolean(ma.get(), mb.get(), op, &st)
                                          : csg_boolean(mb.get(), ma.get(), kCsgSubtraction, &st);
                    EXPECT_EQ(st.code, 42189) << where << " op " << op << ": " << st.diagnostic << " / " << st.gave_way;
                }
            }
}

TEST(CsgReview5, PartsCrossingOnAnEdgeOfFourFacesAreRefused) { expect_crossing_parts_refused({0.5, 2}, {0, 1, 2}); }

// Fails: with slope 1 the wedge's face through the edge meets the box's top along the
// diagonal of the box's top, so that diagonal carries four faces too, two of them in
// one plane on the same side of it (folded onto each other). As built (frame 0, either
// winding) csg_solid_fault gives "" for this overlapping solid, and every operation
// with the third box is refused with 42191 ("Result is not closed"; the exact cut:
// "Face can not be split: curve through a point", B - A "two points at one place")
// rather than 42189 naming the input. Turned (frames 1, 2) it is refused as it should be.
// No wrong result came back, but the result checks that lean on csg_solid_fault (the
// exact attempt's "would be refused as input", the drop of thin parts) would pass such
// a fold.
TEST(CsgReview5, DISABLED_FacesFoldedOntoEachOtherOnAnEdgeAreRefused) { expect_crossing_parts_refused({1}, {0}); }

// A slab thinner than rounding can tell, apart from a box: where the slab alone is
// taken as input, the union keeps it; where it is refused, so is the union.
TEST(CsgReview5, ThinPartTakenAloneIsKept) {
    rtc_register_all();
    for (const double t : {1e-4, 8e-6, 4e-6, 2e-6, 1e-6})
        for (int frame = 0; frame < 2; ++frame)
            for (const bool reversed : {false, true}) {
                Tris slab = framed(campaign::box({0, 0, 0}, {10, 10, t}), frame);
                Tris box = framed(campaign::box({0, 0, 3}, {2, 2, 2}), frame);
                if (reversed) slab = campaign::reversed(slab), box = campaign::reversed(box);
                const auto ms = campaign::to_mesh(slab), mb = campaign::to_mesh(box);
                const std::string fault = csg_solid_fault(ms.get());
                for (const bool slab_first : {false, true}) {
                    CsgStatus st;
                    const auto r = slab_first ? csg_boolean(ms.get(), mb.get(), kCsgUnion, &st)
                                              : csg_boolean(mb.get(), ms.get(), kCsgUnion, &st);
                    const std::string where = "thickness " + std::to_string(t) + " frame " + std::to_string(frame) +
                                              (reversed ? " reversed" : "") + (slab_first ? " slab first" : "");
                    if (!fault.empty()) {
                        EXPECT_EQ(st.code, 42189) << where << ": " << fault;
                        continue;
                    }
                    ASSERT_TRUE(r) << where << ": " << st.diagnostic;
                    EXPECT_EQ(solidcheck::soup_of(r.get()).t.size(), slab.size() + box.size()) << where;
                }
                // The same slab cut out of a block: what is left is the slab.
                Tris block = framed(campaign::box({0, 0, 0}, {10, 10, 1}), frame);
                Tris above = framed(campaign::box({-1, -1, t}, {12, 12, 2}), frame);
                if (reversed) block = campaign::reversed(block), above = campaign::reversed(above);
                const auto mk = campaign::to_mesh(block), mab = campaign::to_mesh(above);
                CsgStatus st;
                const auto r = csg_boolean(mk.get(), mab.get(), kCsgSubtraction, &st);
                const std::string where = "cut thickness " + std::to_string(t) + " frame " + std::to_string(frame) +
                                          (reversed ? " reversed" : "");
                if (!r || !fault.empty()) continue;
                EXPECT_EQ(csg_solid_fault(r.get()), "") << where;
                EXPECT_NEAR(solidcheck::signed_volume(solidcheck::soup_of(r.get())), 100 * t, 20 * t) << where;
            }
}

// Pairs of the campaign whose ties were settled with the roles swapped: every
// operation (not only the one that was mended), both windings, a quarter turn.
TEST(CsgReview5, EveryOperationOfSwappedTies) {
    rtc_register_all();
    campaign::Maker maker(0);
    for (const unsigned seed : {155u, 21u, 443u, 89u, 81u, 65u})
        for (const bool over : {false, true})
            for (const bool turned : {false, true}) {
                campaign::Pair p = campaign::chain_pair(maker, seed);
                if (over) campaign::turn_over(p);
                for (Tris* t : {&p.a, &p.b})
                    for (auto& tri : *t)
                        for (auto& c : tri)
                            if (turned) c = {-c[1], c[0], c[2]};
                const campaign::PairOutcome o = campaign::run_pair(p, 64, true);
                for (int op = 0; op < 4; ++op) {
                    const campaign::OpOutcome& r = o.op[op];
                    EXPECT_NE(r.verdict, solidcheck::Verdict::wrong)
                        << seed << (over ? " over" : "") << (turned ? " turned" : "") << " op " << op << ": " << r.why;
                    if (r.verdict == solidcheck::Verdict::right && r.result) {
                        EXPECT_EQ(csg_solid_fault(r.result.get()), "") << seed << " op " << op;
                    }
                }
            }
}

// A wedge touching a box along an edge of the box (its sector about the edge clear of
// the box's; the last wedge's is not: it overlaps the box), along the whole edge, part
// of it, or beyond its ends: no operation wrong in either winding or frame, and every
// result taken again as input.
TEST(CsgReview5, WedgeTouchingABoxAlongAnEdge) {
    rtc_register_all();
    const double spans[][2] = {{0, 2}, {0.5, 1.5}, {-1, 3}};
    const std::array<std::array<double, 2>, 3> wedges[] = {
        {{{0, 0}, {-2, 2}, {-2, -2}}}, {{{0, 0}, {-2, -0.5}, {0.5, -2}}}, {{{0, 0}, {-0.5, 2}, {2, -1}}}};
    for (const auto& span : spans)
        for (const auto& w : wedges)
            for (int frame = 0; frame < 2; ++frame)
                for (int winding = 0; winding < 4; ++winding) {
                    campaign::Pair p;
                    p.kind_a = campaign::kBox;
                    p.kind_b = campaign::kPrism;
                    p.placement = campaign::kShiftedCopy;
                    p.winding = winding;
                    p.turned_frame = frame != 0;
                    p.a = framed(campaign::box({0, 0, 0}, {2, 2, 2}), frame);
                    p.b = framed(prism(w, span[0], span[1]), frame);
                    if (winding & 1) p.a = campaign::reversed(p.a);
                    if (winding & 2) p.b = campaign::reversed(p.b);
                    const campaign::PairOutcome o = campaign::run_pair(p, 64, true);
                    for (int op = 0; op < 4; ++op) {
                        const campaign::OpOutcome& r = o.op[op];
                        const std::string where = "span " + std::to_string(span[0]) + " wedge " + std::to_string(w[1][0]) +
                                                  " frame " + std::to_string(frame) + " winding " + std::to_string(winding) +
                                                  " op " + std::to_string(op);
                        EXPECT_NE(r.verdict, solidcheck::Verdict::wrong) << where << ": " << r.why;
                        if (r.result) {
                            EXPECT_EQ(csg_solid_fault(r.result.get()), "") << where;
                        }
                    }
                }
}

// Fails: the box [0,2]^3 and the prism over (0,0), (-0.5,2), (2,-1) from z 0 to 2 (its
// top and bottom on the box's): prism minus box is refused in every winding as built
// ("Result is not closed along the seam"; the exact cut: "Faces on each other both
// kept"), while box minus prism, union and intersection come back right, and so does
// prism minus box turned or with the prism from 0.5 to 1.5 or -1 to 3 high.
TEST(CsgReview5, DISABLED_PrismMinusABoxItOverlapsWithFacesInItsPlanes) {
    rtc_register_all();
    for (int winding = 0; winding < 4; ++winding) {
        campaign::Pair p;
        p.kind_a = campaign::kBox;
        p.kind_b = campaign::kPrism;
        p.placement = campaign::kShiftedCopy;
        p.a = campaign::box({0, 0, 0}, {2, 2, 2});
        p.b = prism({{{0, 0}, {-0.5, 2}, {2, -1}}}, 0, 2);
        if (winding & 1) p.a = campaign::reversed(p.a);
        if (winding & 2) p.b = campaign::reversed(p.b);
        const campaign::PairOutcome o = campaign::run_pair(p, 64);
        for (int op = 0; op < 4; ++op)
            EXPECT_EQ(o.op[op].verdict, solidcheck::Verdict::right)
                << "winding " << winding << " op " << op << ": " << o.op[op].why << " / " << o.op[op].gave_way;
    }
}

// The in-plane tests' double stage against the rationals where corners are near the
// least normal float, and where one coordinate is a million times the others.
TEST(CsgReview5, FilteredInPlaneTestsAtFloatExtremes) {
    using P = std::array<double, 3>;
    for (int fam = 0; fam < 2; ++fam) {
        std::mt19937_64 rng(5 + fam);
        std::uniform_int_distribution<int> g(-3, 3);
        const auto corner = [&]() -> P {
            if (fam == 0) return P{std::ldexp(g(rng), -126), std::ldexp(g(rng), -127), std::ldexp(g(rng), -125)};
            return P{double(float(g(rng) * 1e6 + g(rng) * 1e-3)), double(float(g(rng) * 1e-3)), double(g(rng))};
        };
        std::vector<csg::ExactPoint> pts;
        std::vector<csg::Motion> mos;
        exact_points::draw(rng, corner, pts, mos);
        int zeros = 0;
        for (int i = 0; i < 800; ++i) {
            const size_t a = rng() % 24, b = rng() % 24, c = rng() % 24;
            const int ax = int(rng() % 3), ay = (ax + 1 + int(rng() % 2)) % 3;
            const int o = csg::rational::orient2d(pts[a], pts[b], pts[c], ax, ay);
            ASSERT_EQ(csg::orient2d(pts[a], pts[b], pts[c], ax, ay), o) << fam << " " << i;
            ASSERT_EQ(csg::dot2d(pts[a], pts[b], pts[c], ax, ay), csg::rational::dot2d(pts[a], pts[b], pts[c], ax, ay)) << fam << " " << i;
            ASSERT_EQ(csg::orient2d_moved(pts[a], mos[a], pts[b], mos[b], pts[c], mos[c], ax, ay),
                      csg::rational::orient2d_moved(pts[a], mos[a], pts[b], mos[b], pts[c], mos[c], ax, ay)) << fam << " " << i;
            ASSERT_EQ(csg::dot2d_moved(pts[a], mos[a], pts[b], mos[b], pts[c], mos[c], ax, ay),
                      csg::rational::dot2d_moved(pts[a], mos[a], pts[b], mos[b], pts[c], mos[c], ax, ay)) << fam << " " << i;
            zeros += o == 0 && a != b && b != c && a != c;
        }
        EXPECT_GT(zeros, 0) << fam;
    }
}

// A box whose top is folded: a corner c of its top lies a few float steps across the
// top's diagonal a - b, so the sliver a, b, c faces down against the faces around it
// (or, with steps < 0, lies flat). A box through the top at the fold, or a slab across
// the fold, in four quarter turns: no operation wrong, every result taken as input.
TEST(CsgReview5, BoxThroughAFoldedTop) {
    rtc_register_all();
    for (const int steps : {1, 3, -2})
        for (const int turn : {0, 1, 2, 3})
            for (int winding = 0; winding < 4; ++winding)
                for (const bool through : {true, false}) {
                    const double h = 0.5, s = std::ldexp(1.0, -24) * steps;  // a float step at 0.5 is 2^-24
                    const P3 a{0, 0, 1}, b{1, 1, 1}, d{0, 1, 1}, e{1, 0, 1}, c{h + s, h - s, 1};
                    const P3 lo[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
                    Tris t = {{a, b, c}, {c, b, d}, {c, d, a}, {a, e, b}};  // the top, c across a - b when steps > 0
                    t.push_back({lo[0], lo[2], lo[1]});
                    t.push_back({lo[0], lo[3], lo[2]});
                    const P3 top[4] = {a, e, b, d};
                    for (int k = 0; k < 4; ++k) {
                        const P3 &p = lo[k], &q = lo[(k + 1) % 4], &r = top[(k + 1) % 4], &u = top[k];
                        t.push_back({p, q, r});
                        t.push_back({p, r, u});
                    }
                    if (solidcheck::signed_volume(solidcheck::soup_of(t)) < 0) t = campaign::reversed(t);
                    Tris other = through ? campaign::box({0.3, 0.3, 0.8}, {0.4, 0.4, 0.4}) : campaign::box({0.45, -0.5, 0.5}, {0.1, 2, 1});
                    for (Tris* x : {&t, &other})
                        for (auto& tri : *x)
                            for (auto& p : tri)
                                for (int k = 0; k < turn; ++k) p = {-p[1], p[0], p[2]};
                    campaign::Pair pr;
                    pr.kind_a = campaign::kLetter;
                    pr.kind_b = campaign::kBox;
                    pr.placement = campaign::kGeneral;
                    pr.winding = winding;
                    pr.a = winding & 1 ? campaign::reversed(t) : t;
                    pr.b = winding & 2 ? campaign::reversed(other) : other;
                    const campaign::PairOutcome o = campaign::run_pair(pr, 64, true);
                    ASSERT_TRUE(o.inputs_sound);
                    for (int op = 0; op < 4; ++op) {
                        const campaign::OpOutcome& r = o.op[op];
                        const std::string where = "steps " + std::to_string(steps) + " turn " + std::to_string(turn) + " winding " +
                                                  std::to_string(winding) + (through ? " through" : " across") + " op " + std::to_string(op);
                        EXPECT_NE(r.verdict, solidcheck::Verdict::wrong) << where << ": " << r.why;
                        if (r.result) {
                            EXPECT_EQ(csg_solid_fault(r.result.get()), "") << where;
                        }
                    }
                }
}

// Found by the long chain run: B - A of a box and a prism hanging in it, tops in one
// plane, in a turned frame, keeps a sliver a float step thick that rounding turned
// inside out where two of its faces cross. A third solid whose surface crosses only
// that sliver took its sides from the fold's faces, the wrong way round: the result
// minus the third solid came back 67 short (3450.11 where 3517.11 is right) with
// status 0, and its intersection as large as the third solid. In every winding.
TEST(CsgReview5, FaceContactResultMinusAThirdSolid) {
    rtc_register_all();
    campaign::Maker maker(0);
    for (int winding = 0; winding < 4; ++winding) {
        campaign::Pair p = campaign::chain_pair(maker, 47282);
        ASSERT_EQ(p.winding, 0);
        p.winding = winding;
        if (winding & 1) p.a = campaign::reversed(p.a);
        if (winding & 2) p.b = campaign::reversed(p.b);
        const campaign::ChainOutcome c = campaign::run_chain(p, maker, 64, false, 3);
        ASSERT_TRUE(c.ran[3]) << winding;
        for (int op = 0; op < 4; ++op)
            EXPECT_NE(c.again[3].op[op].verdict, solidcheck::Verdict::wrong)
                << "winding " << winding << " op " << op << ": " << c.again[3].op[op].why;
    }
}
