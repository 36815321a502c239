// A short campaign of random pairs of the program's own solids (fixed seeds), every
// result judged by a check written apart from the engine. Prints the count of right,
// refused and wrong results per placement and winding.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "tests/boolean/campaign_solids.h"

namespace {

struct Tally {
    int right = 0, refused = 0, wrong = 0;
};

}  // namespace

TEST(CsgCampaign, ShortRun) {
    rtc_register_all();
    const char* env = std::getenv("ZELO_CSG_CAMPAIGN_PAIRS");
    const int pairs = env ? std::atoi(env) : 120;
    std::map<std::string, Tally> tally;
    campaign::Maker maker(20261209);
    for (int i = 0; i < pairs; ++i) {
        const campaign::Pair p = maker.pair();
        const campaign::PairOutcome o = campaign::run_pair(p);
        ASSERT_TRUE(o.inputs_sound) << "pair " << i << " " << campaign::kind_name(p.kind_a) << "/"
                                    << campaign::kind_name(p.kind_b);
        const std::string cls = std::string(campaign::placement_name(p.placement)) + " " +
                                (p.winding == 0 ? "as-built" : p.winding == 3 ? "reversed" : "mixed");
        for (int op = 0; op < 4; ++op) {
            Tally& t = tally[cls];
            switch (o.op[op].verdict) {
                case solidcheck::Verdict::right: ++t.right; break;
                case solidcheck::Verdict::refused: ++t.refused; break;
                case solidcheck::Verdict::wrong:
                    ++t.wrong;
                    std::printf("pair %d op %d %s %s/%s %s: %s\n", i, op, cls.c_str(), campaign::kind_name(p.kind_a),
                                campaign::kind_name(p.kind_b), campaign::winding_name(p.winding), o.op[op].why.c_str());
                    break;
            }
        }
    }
    for (const auto& [cls, t] : tally)
        std::printf("%-22s right %4d  refused %4d  wrong %4d\n", cls.c_str(), t.right, t.refused, t.wrong);
}
