// Review probes of the exact cut: near-copies and face contacts of boxes in turned
// frames, each result checked for closedness, faces with area, the right volume and
// that the engine takes it again as input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "tests/boolean/csg_support.h"
#include "tests/boolean/solid_check.h"

namespace {

using namespace csgtest;

struct Probe {
    Motion turn;
    P3 size;
    P3 shift;  // of B against A, in A's frame
    int winding = 0;  // bit 0: A wound inward, bit 1: B
};

// Runs every operation on A and B, returns the number of results that are wrong
// (status 0 but open, flat faces, or off in volume) and counts refusals of reuse.
int wrong_results(const Probe& p, int* reuse_refused, int* refused) {
    auto a = make_box(p.size, p.turn, p.winding & 1);
    Motion mb = p.turn;
    {
        // The shift is applied in A's frame: turn it like A's points.
        Motion r = p.turn;
        r.shift = {0, 0, 0};
        const P3 d = r.apply(p.shift);
        for (int k = 0; k < 3; ++k) mb.shift[k] += d[k];
    }
    auto b = make_box(p.size, mb, p.winding & 2);
    const auto sa = solidcheck::soup_of(a.get()), sb = solidcheck::soup_of(b.get());
    const double va = std::fabs(solidcheck::signed_volume(sa)), vb = std::fabs(solidcheck::signed_volume(sb));
    const double common = solidcheck::convex_common_volume(sa, sb);
    const double want[3] = {va + vb - common, common, va - common};
    auto far = make_box({1, 1, 1}, Motion{0, 0, 0, {1000, 1000, 1000}});
    int wrong = 0;
    for (int op = 0; op < 3; ++op) {
        CsgStatus st;
        auto r = csg_boolean(a.get(), b.get(), op, &st);
        if (st.code) {
            ++*refused;
            continue;
        }
        if (common < 0) continue;  // the check is unsure of the answer
        const auto shape = solidcheck::shape_of(solidcheck::soup_of(r.get()));
        const double got = std::fabs(shape.volume);
        const bool ok = shape.closed() && shape.no_area == 0 && std::fabs(got - want[op]) <= 1e-4 * (va + vb);
        // Results come out in the engine's own winding: every one must agree with the first.
        static int sign = 0;
        if (!sign) sign = shape.volume > 0 ? 1 : -1;
        if (shape.volume != 0 && (shape.volume > 0 ? 1 : -1) != sign) std::printf("inside out: op %d volume %.9g\n", op, shape.volume);
        if (!ok) {
            ++wrong;
            std::printf("wrong: op %d closed %d no_area %d volume %.9g want %.9g fault '%s'\n", op, int(shape.closed()),
                        shape.no_area, shape.volume, want[op], csg_solid_fault(r.get()).c_str());
            continue;
        }
        const std::string fault = csg_solid_fault(r.get());
        if (!fault.empty()) {
            ++*reuse_refused;
            std::printf("result not sound by the engine's own check: op %d '%s' volume %.9g\n", op, fault.c_str(),
                        shape.volume);
        }
        CsgStatus again;
        auto u = csg_boolean(r.get(), far.get(), kCsgUnion, &again);
        if (again.code) {
            ++*reuse_refused;
            std::printf("reuse refused: op %d code %d %s\n", op, again.code, again.diagnostic.c_str());
        }
    }
    return wrong;
}

const Motion kTurns[] = {{4.23092545, 0.783719665, 2.92175372, {1.19290621, 0.593768156, 2.59577468}},
                         {0.785012162, 1.43861026, 0.312682361, {2.91834546, 4.5470197, 6.21777765}},
                         {0.3, 0.2, 0.1, {0, 0, 0}}};
const P3 kShifts[] = {{1e-6, 0, 0}, {1e-6, 2e-6, 3e-7}, {0, 0, 3},   {2.5, 1e-7, 0},
                      {3, 3, 0},    {1e-3, 1e-3, 1e-3}, {0, 0, 1e-5}, {5, 0, 0}};

// Near-copies (a shift of a few float steps down to a hair) and face contacts in
// turned frames, every operation: the number of wrong results with status 0; counts
// the results the engine refuses as input in `reuse`.
int near_copies_and_contacts(int* reuse) {
    int wrong = 0, refused = 0, total = 0;
    for (const Motion& t : kTurns)
        for (const P3& s : kShifts) {
            std::printf("probe turn %d shift (%g, %g, %g)\n", int(&t - kTurns), s[0], s[1], s[2]);
            wrong += wrong_results({t, {5, 3, 2}, s}, reuse, &refused);
            total += 3;
        }
    std::printf("operations %d refused %d reuse refused %d wrong %d\n", total, refused, *reuse, wrong);
    return wrong;
}

// No wrong result with status 0 (the union of turn 0, shift (3, 3, 0) came back 0.0093
// short), and every result taken again as input (results that crossed themselves by
// rounding, a slab a float step thick or a thin wall whose faces cross, were refused
// with "Solid overlaps itself"; so was the face contact's intersection, a sliver of
// 7.6e-8).
TEST(CsgReview, NearCopiesAndContactsInTurnedFrames) {
    int reuse = 0;
    EXPECT_EQ(near_copies_and_contacts(&reuse), 0);
    EXPECT_EQ(reuse, 0);
}

// Boxes sharing part of a face in a turned frame: the exact cut gives way, and the cut
// of tolerances snapped points of the curve across the contact's edge, so faces left
// the boxes' surfaces and the union came back 0.0093 short with success. In every
// winding, and each of its results is taken again as input.
TEST(CsgReview, FaceContactInTurnedFrame) {
    const Motion t{4.23092545, 0.783719665, 2.92175372, {1.19290621, 0.593768156, 2.59577468}};
    for (int winding = 0; winding < 4; ++winding) {
        SCOPED_TRACE(winding);
        int reuse = 0, refused = 0;
        EXPECT_EQ(wrong_results({t, {5, 3, 2}, {3, 3, 0}, winding}, &reuse, &refused), 0);
        EXPECT_EQ(reuse, 0);
    }
}

}  // namespace
