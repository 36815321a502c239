// Faces of the two solids lying on each other in one plane (copies shifted along an
// axis, solids standing on each other's faces) in both windings and quarter-turned
// about z (exact in float, so the planes stay shared): operation op (3 is B - A) of
// each seed's pair of the long campaign must come back right.
#include <gtest/gtest.h>

#include "tests/boolean/campaign_solids.h"

namespace {

void expect_right(std::initializer_list<std::pair<unsigned, int>> cases) {
    rtc_register_all();
    campaign::Maker maker(0);
    for (const auto& [seed, op] : cases)
        for (bool turned_over : {false, true})
            for (bool turned : {false, true}) {
                SCOPED_TRACE(testing::Message() << seed << " op " << op << (turned_over ? " over" : "") << (turned ? " turned" : ""));
                campaign::Pair p = campaign::chain_pair(maker, seed);
                if (turned_over) campaign::turn_over(p);
                for (campaign::Tris* t : {&p.a, &p.b})
                    for (auto& tri : *t)
                        for (auto& c : tri)
                            if (turned) c = {-c[1], c[0], c[2]};
                const solidcheck::Soup sa = solidcheck::soup_of(p.a), sb = solidcheck::soup_of(p.b);
                const solidcheck::Expected e = solidcheck::expected_volumes(sa, sb, campaign::convex(p.kind_a) && campaign::convex(p.kind_b), 48);
                const auto ma = campaign::to_mesh(p.a), mb = campaign::to_mesh(p.b);
                CsgStatus st;
                const auto r = op < 3 ? csg_boolean(ma.get(), mb.get(), op, &st) : csg_boolean(mb.get(), ma.get(), kCsgSubtraction, &st);
                const solidcheck::Judgement j = solidcheck::judge_call(r.get(), st.code, e, op, campaign::volume_allowance(p, sa, sb));
                EXPECT_EQ(j.verdict, solidcheck::Verdict::right) << j.why << " / " << st.diagnostic << " / " << st.gave_way;
            }
}

}  // namespace

// Unions of shifted letters and spheres: pieces on either side of the curve that
// rounding left a float step over each other were taken for faces both kept, and the
// cut of tolerances refused.
TEST(CsgCoplanar, PiecesOverEachOtherByRounding) { expect_right({{81u, 0}, {65u, 0}}); }

// A union of solids touching from outside, differences of solids standing on each
// other and of shifted copies: the ties left a slab of no thickness that both faces
// bound, and the cut of tolerances refused.
TEST(CsgCoplanar, TiesSettledTheOtherWay) { expect_right({{155u, 0}, {21u, 2}, {443u, 3}, {89u, 2}}); }
