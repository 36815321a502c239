// Two boxes touching along a face, in every placement: each face of the cube, the
// other box's face partly or fully over it, both diagonals of every quadrilateral,
// the other box's mesh turned by quarter turns. Every operation gives a closed result
// with the volume the touching boxes must have.
#include "tests/boolean/csg_support.h"

using namespace csgtest;

namespace {

using Mat = std::array<std::array<int, 3>, 3>;

// A box [lo, hi] as a mesh whose corners are laid out in a frame turned by `turn` (a
// quarter-turn matrix), so the same box gets its triangles in another order and
// orientation. `other_diagonal` splits each quadrilateral along its second diagonal.
std::unique_ptr<MESH3> turned_box(P3 lo, P3 hi, const Mat& turn, bool other_diagonal) {
    std::vector<P3> pts;
    for (int i = 0; i < 8; ++i) {
        const int local[3] = {(i & 1) ? 1 : -1, (i & 2) ? 1 : -1, (i & 4) ? 1 : -1};
        P3 p;
        for (int r = 0; r < 3; ++r) {
            const int s = turn[r][0] * local[0] + turn[r][1] * local[1] + turn[r][2] * local[2];
            p[r] = s > 0 ? hi[r] : lo[r];
        }
        pts.push_back(p);
    }
    // Quarter turns keep the handedness, so these quads stay counter-clockwise seen
    // from outside.
    const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                             {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    std::vector<std::array<int, 3>> tris;
    for (const auto& q : quads) {
        if (other_diagonal) {
            tris.push_back({q[1], q[2], q[3]});
            tris.push_back({q[1], q[3], q[0]});
        } else {
            tris.push_back({q[0], q[1], q[2]});
            tris.push_back({q[0], q[2], q[3]});
        }
    }
    return make_mesh(pts, tris);
}

}  // namespace

// A = [0, 10]^3; B lies against one of A's two faces across the axis under test (10
// deep) and covers, along each of the other two axes, part of A's extent, all of it,
// more than it, or a piece sharing one end. Intersection is empty, union holds both,
// A - B is A and B - A is B, all closed.
class CsgContact : public ::testing::TestWithParam<int> {};

TEST_P(CsgContact, BoxesSharingPartOfAFace) {
    const int axis = GetParam();
    const double spans[][2] = {{5, 15}, {-5, 5}, {0, 10}, {2, 8}, {-5, 15}, {0, 5}, {5, 10}};
    const Mat turns[] = {
        {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},   // as built
        {{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}},  // a quarter turn about x
        {{{0, 0, 1}, {0, 1, 0}, {-1, 0, 0}}},  // about y
        {{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}},  // about z
    };
    int runs = 0, failures = 0;
    for (int side = 0; side < 2; ++side)
        for (const auto& s1 : spans)
            for (const auto& s2 : spans)
                for (const Mat& turn : turns)
                    for (int diagonals = 0; diagonals < 4; ++diagonals) {
                        P3 lo, hi;
                        lo[axis] = side ? 10 : -10;
                        hi[axis] = side ? 20 : 0;
                        const int u = (axis + 1) % 3, w = (axis + 2) % 3;
                        lo[u] = s1[0], hi[u] = s1[1];
                        lo[w] = s2[0], hi[w] = s2[1];
                        auto a = turned_box({0, 0, 0}, {10, 10, 10}, turns[0], diagonals & 1);
                        auto b = turned_box(lo, hi, turn, diagonals & 2);
                        const double va = 1000,
                                     vb = (hi[0] - lo[0]) * (hi[1] - lo[1]) * (hi[2] - lo[2]);
                        const struct {
                            const MESH3 *x, *y;
                            int op;
                            double want;
                            const char* name;
                        } ops[] = {{a.get(), b.get(), kCsgUnion, va + vb, "union"},
                                   {a.get(), b.get(), kCsgIntersection, 0, "intersection"},
                                   {a.get(), b.get(), kCsgSubtraction, va, "A-B"},
                                   {b.get(), a.get(), kCsgSubtraction, vb, "B-A"}};
                        for (const auto& o : ops) {
                            ++runs;
                            CsgStatus st;
                            auto r = csg_boolean(o.x, o.y, o.op, &st);
                            const int open = r ? open_edges(r.get()) : -1;
                            const double v = r ? signed_volume(r.get()) : -1;
                            const bool ok = r && unsound(r.get()).empty() && open == 0 &&
                                            std::fabs(v - o.want) < 1e-3 * (va + vb);
                            if (!ok && ++failures <= 10)
                                ADD_FAILURE()
                                    << o.name << ": face " << axis << (side ? "+" : "-")
                                    << " spans [" << s1[0] << "," << s1[1] << "] [" << s2[0] << ","
                                    << s2[1] << "] turn " << (&turn - turns) << " diagonals "
                                    << diagonals << ": code " << st.code << ", open edges " << open
                                    << ", volume " << v << " (want " << o.want << ")";
                        }
                    }
    EXPECT_EQ(failures, 0) << "of " << runs;
}

INSTANTIATE_TEST_SUITE_P(Axes, CsgContact, ::testing::Values(0, 1, 2));
