// Results of the exact cut where rounding its crossings to float folds the pieces
// along the curve: pairs of the campaign, every operation, both windings.
#include <gtest/gtest.h>

#include <string>

#include "tests/boolean/campaign_solids.h"

namespace {

// Runs the operations `ops` (bit op) of the chain pair of `seed`, as made and with
// both solids reversed; the exact cut must answer each one rightly, with a result
// taken again as input.
void expect_exact_answers(unsigned seed, unsigned ops = 15) {
    campaign::Maker maker(0);
    for (const bool over : {false, true}) {
        campaign::Pair p = campaign::chain_pair(maker, seed);
        if (over) campaign::turn_over(p);
        const campaign::PairOutcome o = campaign::run_pair(p, 64, true);
        for (int op = 0; op < 4; ++op) {
            if (!(ops >> op & 1)) continue;
            const campaign::OpOutcome& r = o.op[op];
            const std::string where = std::to_string(seed) + (over ? " over" : "") + " op " + std::to_string(op);
            EXPECT_EQ(r.gave_way, "") << where;
            EXPECT_EQ(r.verdict, solidcheck::Verdict::right) << where << ": " << r.why;
            if (r.result) EXPECT_EQ(csg_solid_fault(r.result.get()), "") << where;
        }
    }
}

// A sliver of one side along the curve, rounded onto the other side's pieces (a piece
// and one turned over on the same three corners), leaves the edge between the
// sliver's ends with two faces of each side: near copies of boxes and of prisms, and
// shifted copies of prisms in a turned frame.
TEST(CsgRoundingFold, SidesPairedOnAnEdgeOfFourFaces) {
    rtc_register_all();
    for (const unsigned seed : {145u, 1221u, 394u}) expect_exact_answers(seed);
}

// Crossings rounded onto a corner of a cut face leave a piece on the whole face beside
// the pieces along its edge: the edge has a pair of one side, one face of the other
// and the uncut face across, which takes the other side (boxes, shifted copies in a
// turned frame).
TEST(CsgRoundingFold, UncutFaceTakesTheSideLeftUnpaired) {
    rtc_register_all();
    expect_exact_answers(692);
}

// A corner of one solid rounded exactly onto a curve edge between two crossings leaves
// the piece between them without area: boxes in face contact in a turned frame.
TEST(CsgRoundingFold, CurveEdgeSplitAtACornerOnIt) {
    rtc_register_all();
    expect_exact_answers(1296);
}

// Two flat pieces of one side back to back on the same corners, along the curve (boxes,
// shifted copies in a turned frame): both go.
TEST(CsgRoundingFold, FlatPiecesBackToBackGo) {
    rtc_register_all();
    expect_exact_answers(2104, 1);
}

// The curve passes a corner of one solid, a crossing rounded a float step from it and
// the corner again: the other solid keeps a sliver between the crossing and the corner,
// which the seam join must not fold by joining the two (shifted copies and faces in
// contact in a turned frame).
TEST(CsgRoundingFold, SeamJoinKeepsACrossingBesideACorner) {
    rtc_register_all();
    for (const unsigned seed : {564u, 2104u}) expect_exact_answers(seed);
}

}  // namespace
