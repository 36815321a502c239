// A short campaign of random pairs of the program's own solids (seeds 1 to 100, the
// same pairs as the first 100 of the long campaign program csg_campaign), every
// result judged by a check written apart from the engine.
//
// Asserted: the inputs are closed solids; no operation returns a wrong result (open,
// with faces without area, inside out or of the wrong volume) as a success, except
// where an input has edges shorter than the engine's tolerance (a cone of the Cone
// command with a tiny top radius), where the engine is known to return open results;
// those and all refusals are counted and printed. ZELO_CSG_CAMPAIGN_STRICT=1 asserts
// those too and at most 0.1% refusals in general position; ZELO_CSG_CAMPAIGN_PAIRS
// sets the number of pairs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <tuple>
#include <vector>

#include "tests/boolean/campaign_solids.h"

namespace {

struct Tally {
    int right = 0, refused = 0, wrong = 0;
};

}  // namespace

TEST(CsgCampaign, NoWrongResultReturnedAsSuccess) {
    rtc_register_all();
    const char* env = std::getenv("ZELO_CSG_CAMPAIGN_PAIRS");
    const int pairs = env ? std::atoi(env) : 100;
    const bool strict = std::getenv("ZELO_CSG_CAMPAIGN_STRICT") != nullptr;
    std::map<std::string, Tally> tally;
    campaign::Maker maker(0);
    for (int seed = 1; seed <= pairs; ++seed) {
        maker.reseed(uint64_t(seed));
        const campaign::Pair p = maker.pair();
        const campaign::PairOutcome o = campaign::run_pair(p);
        ASSERT_TRUE(o.inputs_sound) << "seed " << seed;
        const std::string cls = campaign::class_name(p);
        const bool known_wrong = o.fine_edges && !strict;
        for (int op = 0; op < 4; ++op) {
            Tally& t = tally[cls];
            const solidcheck::Verdict v = o.op[op].verdict;
            t.right += v == solidcheck::Verdict::right;
            t.refused += v == solidcheck::Verdict::refused;
            t.wrong += v == solidcheck::Verdict::wrong;
            if (v == solidcheck::Verdict::wrong) {
                std::printf("seed %d op %d %s %s/%s %s: %s\n", seed, op, cls.c_str(), campaign::kind_name(p.kind_a),
                            campaign::kind_name(p.kind_b), campaign::winding_name(p.winding), o.op[op].why.c_str());
                EXPECT_TRUE(known_wrong) << "seed " << seed << " op " << op << ": " << o.op[op].why;
            }
        }
    }
    for (const auto& [cls, t] : tally)
        std::printf("%-22s right %4d  refused %4d  wrong %4d\n", cls.c_str(), t.right, t.refused, t.wrong);
    if (strict) {
        int general = 0, refused = 0;
        for (const auto& [cls, t] : tally)
            if (cls.rfind("general", 0) == 0) general += t.right + t.refused + t.wrong, refused += t.refused;
        EXPECT_LE(refused * 1000, general) << refused << " of " << general << " refused in general position";
    }
}

// The first chains of the long campaign's chain mode (seeds 1 to 12, or
// ZELO_CSG_CAMPAIGN_CHAINS): no operation, first or second, returns a wrong result as
// a success, and every result the engine returns is taken again as its input: the
// right ones with a third solid, every one (second results too) in a union with a
// box far off. Refusals of other kinds are counted and printed.
TEST(CsgCampaign, EveryResultIsTakenAgain) {
    rtc_register_all();
    const char* env = std::getenv("ZELO_CSG_CAMPAIGN_CHAINS");
    const int chains = env ? std::atoi(env) : 12;
    std::map<std::string, Tally> tally;
    campaign::Maker maker(0);
    auto far = campaign::to_mesh(campaign::box({1000, 1000, 1000}, {3, 4, 5}));
    auto taken_again = [&](const campaign::OpOutcome& o, const std::string& where) {
        if (!o.result) return;
        CsgStatus st;
        (void)csg_boolean(o.result.get(), far.get(), kCsgUnion, &st);
        EXPECT_NE(st.code, 42189) << where << ": a result refused as input: " << st.diagnostic;
    };
    auto count = [&](const campaign::OpOutcome& o, const std::string& cls, const std::string& where) {
        Tally& t = tally[cls];
        t.right += o.verdict == solidcheck::Verdict::right;
        t.refused += o.verdict == solidcheck::Verdict::refused;
        t.wrong += o.verdict == solidcheck::Verdict::wrong;
        EXPECT_NE(o.verdict, solidcheck::Verdict::wrong) << where << ": " << o.why;
        if (o.verdict == solidcheck::Verdict::refused) std::printf("%s refused: %s\n", where.c_str(), o.why.c_str());
    };
    for (int seed = 1; seed <= chains; ++seed) {
        const campaign::Pair p = campaign::chain_pair(maker, uint64_t(seed));
        const campaign::ChainOutcome c = campaign::run_chain(p, maker, 64, true);
        ASSERT_TRUE(c.first.inputs_sound) << "seed " << seed;
        const std::string cls = campaign::class_name(p);
        for (int op = 0; op < 4; ++op) {
            const std::string where = "seed " + std::to_string(seed) + " op " + std::to_string(op) + " " + cls;
            count(c.first.op[op], cls, where);
            taken_again(c.first.op[op], where);
            if (!c.ran[op]) continue;
            for (int op2 = 0; op2 < 4; ++op2) {
                const campaign::OpOutcome& o = c.again[op].op[op2];
                const std::string then = where + " then op " + std::to_string(op2);
                count(o, "then " + cls, then);
                EXPECT_NE(o.code, 42189) << then << ": a result refused as input: " << o.why;
                taken_again(o, then);
            }
        }
    }
    for (const auto& [cls, t] : tally)
        std::printf("%-30s right %4d  refused %4d  wrong %4d\n", cls.c_str(), t.right, t.refused, t.wrong);
}

// The check itself: two axis-aligned boxes (exact common volume by hand), a box and
// a turned copy (clipping against lines), and a result that is open or inside out.
TEST(CsgCampaign, CheckAgreesWithExactVolumes) {
    const campaign::Tris a = campaign::box({0, 0, 0}, {10, 8, 6}), b = campaign::box({4, 5, -1}, {9, 9, 4});
    const solidcheck::Soup sa = solidcheck::soup_of(a), sb = solidcheck::soup_of(b);
    EXPECT_NEAR(solidcheck::signed_volume(sa), 480, 1e-9);
    EXPECT_NEAR(solidcheck::convex_common_volume(sa, sb), 6 * 3 * 3, 1e-9);
    const solidcheck::Estimate line = solidcheck::line_common_volume(sa, sb, 64);
    EXPECT_NEAR(line.value, 54, 1e-6);

    const campaign::Tris c = campaign::moved(a, campaign::Rotation::about({1, 2, 3}, 0.4), {5, 4, 3}, {0, 0, 0});
    const solidcheck::Soup sc = solidcheck::soup_of(c);
    const double exact = solidcheck::convex_common_volume(sa, sc);
    const solidcheck::Estimate est = solidcheck::line_common_volume(sa, sc, 96);
    EXPECT_GT(est.error, 0);
    EXPECT_NEAR(est.value, exact, 6 * est.error);

    // A apart from a far box: A - B is A; an open copy, an inside-out copy or another
    // solid is wrong.
    const campaign::Tris far = campaign::box({50, 0, 0}, {3, 3, 3});
    const solidcheck::Expected e = solidcheck::expected_volumes(sa, solidcheck::soup_of(far), true);
    campaign::Tris open = a;
    open.pop_back();
    const std::pair<campaign::Tris, solidcheck::Verdict> cases[] = {{a, solidcheck::Verdict::right},
                                                                     {open, solidcheck::Verdict::wrong},
                                                                     {campaign::reversed(a), solidcheck::Verdict::wrong},
                                                                     {b, solidcheck::Verdict::wrong}};
    for (const auto& [tris, verdict] : cases)
        EXPECT_EQ(solidcheck::judge(campaign::to_mesh(tris).get(), e, 2, 0).verdict, verdict);
}

// A sphere and one a hair smaller: their faces lie within the clipping's distance of
// each other's planes on one side only, and the exact figure lost a tenth of the
// smaller sphere.
TEST(CsgCampaign, CommonVolumeOfNearlyCoincidentSpheres) {
    const solidcheck::Soup a = solidcheck::soup_of(campaign::sphere({0, 0, 0}, 0, 8, 12, 12)),
                           b = solidcheck::soup_of(campaign::sphere({0, 0, 0}, 0, 8 * (1 - 2e-7), 12, 12));
    const solidcheck::Expected e = solidcheck::expected_volumes(a, b, true);
    EXPECT_NEAR(e.common, e.b, e.tolerance);
}

// A box and its copy moved and turned by a hair: the copy's faces, split in eight
// triangles each, bend by more than the clipping's distance once rounded to float,
// and clipping them against each other's planes lost part of them; the figure took
// up to a sixth of the box away.
TEST(CsgCampaign, CommonVolumeOfNearlyCoincidentBoxes) {
    const campaign::Tris a = campaign::box({0, 0, 0}, {21.7, 18.4, 15.1});
    const campaign::Tris b = campaign::moved(a, campaign::Rotation::about({1, 2, 3}, 3e-6), {10, 9, 7}, {-3e-5, -5e-5, -1e-5});
    const solidcheck::Expected e = solidcheck::expected_volumes(solidcheck::soup_of(a), solidcheck::soup_of(b), true);
    EXPECT_NEAR(e.common, e.a, 0.1 + e.tolerance);
}

// Boxes in general position overlapping by a unit cube: a union that keeps both whole
// (one shell through the other) is a unit too large, within the allowance for faces
// the engine may move where solids touch (6 here).
TEST(CsgCampaign, UnionKeepingBothShellsIsWrong) {
    const campaign::Pair p{campaign::kBox, campaign::kBox, campaign::kGeneral, 0,
                           campaign::box({0, 0, 0}, {10, 10, 10}), campaign::box({9, 9, 9}, {10, 10, 10})};
    const solidcheck::Soup sa = solidcheck::soup_of(p.a), sb = solidcheck::soup_of(p.b);
    campaign::Tris both = p.a;
    both.insert(both.end(), p.b.begin(), p.b.end());
    const solidcheck::Expected e = solidcheck::expected_volumes(sa, sb, true);
    const auto union_of_both = campaign::to_mesh(both);
    EXPECT_EQ(solidcheck::judge(union_of_both.get(), e, 0, campaign::volume_allowance(p, sa, sb)).verdict,
              solidcheck::Verdict::wrong);
}

// Nearly coinciding convex copies in a turned frame, whose clipped figure loses a face
// that their triangles bend apart: the engine's right answers were judged wrong.
TEST(CsgCampaign, NearCopiesJudgedRight) {
    rtc_register_all();
    campaign::Maker maker(0);
    for (uint64_t seed : {14995u, 22958u, 28776u}) {
        const campaign::PairOutcome o = campaign::run_pair(campaign::chain_pair(maker, seed), 64);
        for (int op = 0; op < 4; ++op)
            EXPECT_NE(o.op[op].verdict, solidcheck::Verdict::wrong) << "seed " << seed << " op " << op << ": "
                                                                    << o.op[op].why;
    }
}

namespace {

// No operation of the chain, first or second, returns a wrong result as a success.
void expect_none_wrong(const campaign::ChainOutcome& c) {
    for (int op = 0; op < 4; ++op) {
        EXPECT_NE(c.first.op[op].verdict, solidcheck::Verdict::wrong) << op << ": " << c.first.op[op].why;
        for (int op2 = 0; op2 < 4 && c.ran[op]; ++op2)
            EXPECT_NE(c.again[op].op[op2].verdict, solidcheck::Verdict::wrong)
                << op << " then " << op2 << ": " << c.again[op].op[op2].why;
    }
}

}  // namespace

// Chains whose results share only a sliver with the third solid (a common box down to
// 1e-6 across, far smaller than the faces): the line check binned each face over every
// cell of its own extent and never ended, filling memory. Each chain now ends, and no
// operation returns a wrong result as a success.
TEST(CsgCampaign, ChainsWithSliverResultsEnd) {
    rtc_register_all();
    campaign::Maker maker(0);
    for (uint64_t seed : {468u, 1838u, 3096u, 3296u}) {
        SCOPED_TRACE(seed);
        const campaign::Pair p = campaign::chain_pair(maker, seed);
        const campaign::ChainOutcome c = campaign::run_chain(p, maker);
        ASSERT_TRUE(c.first.inputs_sound);
        expect_none_wrong(c);
    }
}

// Results of near copies, whose slivers are thinner than the tolerance, combined again
// with a third solid where the exact cut gives way: the weld of the cut of tolerances
// thinned a sliver away (or opened it); unions and differences came back up to 0.83
// short with success. With the pair's windings as made and turned over.
TEST(CsgCampaign, ChainsOnSliversTheWeldThins) {
    rtc_register_all();
    campaign::Maker maker(0);
    // The seed and the result combined again.
    for (const auto& [seed, op_again] : {std::pair{5656u, 3}, {55682u, 0}, {58422u, 0}})
        for (bool turned_over : {false, true}) {
            SCOPED_TRACE(testing::Message() << seed << (turned_over ? " turned over" : ""));
            campaign::Pair p = campaign::chain_pair(maker, seed);
            if (turned_over) campaign::turn_over(p);
            expect_none_wrong(campaign::run_chain(p, maker, 64, false, op_again));
        }
}

// Results whose edges of four faces pair up only in an order rounding could give them,
// not in the order they lie (a needle of a face a float step off the edge, two faces
// on one turn): loading and the result check take them as two parts touching, and a
// whole region classified on the wrong side comes back as a success (1692 in place of
// 0, 67 in place of 0). With the pair's windings as made and turned over: the exact
// cut's regions are checked by rays and give way.
TEST(CsgCampaign, ChainsOnEdgesPairedOnlyByRounding) {
    rtc_register_all();
    campaign::Maker maker(0);
    // The seed, the result combined again, and the second operations judged.
    struct Case {
        unsigned seed;
        int op_again;
        std::vector<int> second;
    };
    for (const Case& c : {Case{3616u, 3, {0, 1, 2, 3}}, Case{47282u, 3, {0, 1, 2, 3}}})
        for (bool turned_over : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.seed << (turned_over ? " turned over" : ""));
            campaign::Pair p = campaign::chain_pair(maker, c.seed);
            if (turned_over) campaign::turn_over(p);
            const campaign::ChainOutcome o = campaign::run_chain(p, maker, 64, false, c.op_again);
            ASSERT_TRUE(o.ran[c.op_again]);
            for (int op2 : c.second)
                EXPECT_NE(o.again[c.op_again].op[op2].verdict, solidcheck::Verdict::wrong)
                    << op2 << ": " << o.again[c.op_again].op[op2].why;
        }
}

// Once refused: intersections of boxes touching on a face, turned (30, 2624: pieces of A and B on the same corners went,
// and the edges left between A and B read as open), the union of boxes touching along an edge taken again inside out
// (874, 2100: faces at the edge were paired across the space between the parts, which no copy of an end parts; 70:
// along a broken line, whose middle edge finds its partners only across its neighbours' pairs), and
// a tangent contact whose sliver along the curve rounded onto its neighbour on its corners, one on each side (558).
TEST(CsgCampaign, OperationsOnceRefused) {
    rtc_register_all();
    campaign::Maker maker(0);
    for (const auto& [seed, op, then] : {std::tuple<unsigned, int, int>{30, 1, -1}, {2624, 3, -1}, {874, 0, 0}, {2100, 0, 3}, {70, 2, 0}, {558, 0, -1}}) {
        const campaign::ChainOutcome c = campaign::run_chain(campaign::chain_pair(maker, seed), maker, 64, false, op);
        const campaign::OpOutcome& o = then < 0 ? c.first.op[op] : c.again[op].op[then];
        EXPECT_EQ(o.verdict, solidcheck::Verdict::right) << seed << " " << op << " " << then << ": " << o.why;
    }
}
