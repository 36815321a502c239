// Boxes of the Box command touching or tied in one plane: sharing a face, part of an
// edge, a corner, or a copy shifted along an axis, as built and in a turned frame, in
// every winding. The exact cut orders crossings at one exact point and corners on the
// curve by the same step as its 3D signs, so these give right results.
#include <gtest/gtest.h>

#include "tests/boolean/campaign_solids.h"

namespace {

using campaign::P3;

struct Placement {
    const char* name;
    P3 corner, size;  // B; A is the box at the origin of size 10 x 6 x 4
    bool turned;      // both in a frame turned about (1, 2, 3) and moved
    int ops;          // bit k: operation k (union, intersection, A - B, B - A) must be right
};

const Placement kPlacements[] = {
    {"whole face", {10, 0, 0}, {5, 6, 4}, false, 15},
    {"part of a face", {10, 2, 1}, {5, 3, 5}, false, 15},
    {"part of an edge", {10, 6, 1}, {5, 5, 6}, false, 15},
    {"corner", {10, 6, 4}, {3, 3, 3}, false, 15},
    {"copy shifted along x", {3, 0, 0}, {10, 6, 4}, false, 15},
    {"copy shifted along y", {0, -2.5, 0}, {10, 6, 4}, false, 15},
    {"copy shifted along z", {0, 0, 1.5}, {10, 6, 4}, false, 15},
    {"copy shifted by half along z", {0, 0, 2}, {10, 6, 4}, false, 15},
    {"whole face", {10, 0, 0}, {5, 6, 4}, true, 15},
    {"part of a face", {10, 2, 1}, {5, 3, 5}, true, 15},
    {"part of an edge", {10, 6, 1}, {5, 5, 6}, true, 15},
    {"corner", {10, 6, 4}, {3, 3, 3}, true, 15},
    {"copy shifted along x", {3, 0, 0}, {10, 6, 4}, true, 15},
    {"copy shifted along y", {0, -2.5, 0}, {10, 6, 4}, true, 15},
    {"copy shifted along z", {0, 0, 1.5}, {10, 6, 4}, true, 15},
    {"copy shifted by half along z", {0, 0, 2}, {10, 6, 4}, true, 15},
};

// A, the box at the origin of size 10 x 6 x 4, and B, in the given winding (bit 0: A
// reversed, bit 1: B reversed), turned by `turn` when given.
campaign::Pair box_pair(P3 corner, P3 size, int winding, const campaign::Rotation* turn = nullptr) {
    campaign::Pair p;
    p.kind_a = p.kind_b = campaign::kBox;
    p.placement = campaign::kShiftedCopy;
    p.winding = winding;
    p.a = campaign::box({0, 0, 0}, {10, 6, 4});
    p.b = campaign::box(corner, size);
    if (turn) {
        p.a = campaign::moved(p.a, *turn, {0, 0, 0}, {5, -3, 2});
        p.b = campaign::moved(p.b, *turn, {0, 0, 0}, {5, -3, 2});
        p.turned_frame = true;
    }
    if (winding & 1) p.a = campaign::reversed(p.a);
    if (winding & 2) p.b = campaign::reversed(p.b);
    return p;
}

}  // namespace

TEST(CsgTie, TouchingAndShiftedBoxes) {
    const campaign::Rotation turn = campaign::Rotation::about({1, 2, 3}, 0.7);
    std::string failures;
    for (const Placement& pl : kPlacements)
        for (int winding = 0; winding < 4; ++winding) {
            const campaign::Pair p = box_pair(pl.corner, pl.size, winding, pl.turned ? &turn : nullptr);
            const campaign::PairOutcome o = campaign::run_pair(p);
            for (int op = 0; op < 4; ++op)
                if ((pl.ops >> op & 1) && o.op[op].verdict != solidcheck::Verdict::right)
                    failures += std::string(pl.name) + (pl.turned ? ", turned" : "") + ", winding " +
                                std::to_string(winding) + ", operation " + std::to_string(op) + ": " +
                                solidcheck::verdict_name(o.op[op].verdict) + " " + o.op[op].why + " (exact cut: " +
                                o.op[op].gave_way + ")\n";
        }
    EXPECT_EQ(failures, "");
}

// A run of crossings rounds flat onto one line in both solids, the same points the same
// way round: three points (letters shifted in a turned frame, seed 798), four (near
// copies of spheres in a turned frame, seed 626, with other flat pieces to mend).
TEST(CsgTie, RunOfCrossingsFlatInBothSolids) {
    campaign::Maker maker(1);
    for (const uint64_t seed : {798, 626}) {
        const campaign::Pair given = campaign::chain_pair(maker, seed);
        for (int winding = 0; winding < 4; ++winding) {
            campaign::Pair p = given;
            if ((winding ^ given.winding) & 1) p.a = campaign::reversed(p.a);
            if ((winding ^ given.winding) & 2) p.b = campaign::reversed(p.b);
            const campaign::OpOutcome o = campaign::run_pair(p).op[kCsgIntersection];
            EXPECT_TRUE(o.verdict == solidcheck::Verdict::right && o.gave_way.empty())
                << "seed " << seed << ", winding " << winding << ": " << o.gave_way;
        }
    }
}

// Copies shifted along an axis, A - B: the step moves B's face into A in one plane of
// each parallel pair, where B's face and A's uncut face were both kept, a sheet of no
// thickness. The exact cut takes both out there and answers itself.
TEST(CsgTie, ShiftedCopyDifferenceLeavesNoSheet) {
    std::string failures;
    for (const P3 shift : {P3{3, 0, 0}, P3{0, -2.5, 0}, P3{0, 0, 1.5}, P3{-7.25, 0, 0}, P3{0, 0, -0.125}})
        for (int winding = 0; winding < 4; ++winding) {
            const campaign::Pair p = box_pair(shift, {10, 6, 4}, winding);
            const campaign::PairOutcome o = campaign::run_pair(p);
            for (const int op : {2, 3})
                if (o.op[op].verdict != solidcheck::Verdict::right || !o.op[op].gave_way.empty())
                    failures += "shift " + std::to_string(shift[0]) + " " + std::to_string(shift[1]) + " " +
                                std::to_string(shift[2]) + ", winding " + std::to_string(winding) + ", operation " +
                                std::to_string(op) + ": " + solidcheck::verdict_name(o.op[op].verdict) +
                                " (exact cut: " + o.op[op].gave_way + ")\n";
        }
    EXPECT_EQ(failures, "");
}
