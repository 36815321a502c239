// The flat polygon's mesh from fill triangles: shared points merged within 1e-6, the
// inner diagonal hidden, slivers and short lists passed over; the nearness lookup
// against a plain scan for the lowest near index.
#include <gtest/gtest.h>

#include <random>

#include "commands/model3d/flat_polygon.h"
#include "model/geom/hatch.h"
#include "model/math/result.h"
#include "model/rtc/rtc.h"

namespace {

struct Lists {
    PtrNode* head = nullptr;
    ~Lists() { plist_list_free(&head); }
    void add(std::initializer_list<std::pair<Vec3, bool>> pts) {
        PointNode* l = nullptr;
        std::vector<std::pair<Vec3, bool>> v(pts);
        for (size_t i = v.size(); i-- > 0;) {
            EXPECT_EQ(plist_add(&l, v[i].first), 0);
            if (v[i].second) l->flags |= kPointInnerDiagonal;
        }
        EXPECT_EQ(ptrlist_add(&head, l), 0);
    }
};

TEST(FlatPolygon, FilledSquareSharesItsCorners) {
    rtc_register_all();
    Lists t;
    const Vec3 a{0, 0, 0}, b{4, 0, 0}, c{4, 4, 0}, d{0, 4, 0};
    const Vec3 a_near{5e-7f, 0, 0};
    t.add({{a, false}, {b, false}, {c, true}});       // c-a is the diagonal
    t.add({{a_near, true}, {c, false}, {d, false}});  // a-c likewise
    t.add({{a, false}, {b, false}});                  // not a triangle
    t.add({{a, false}, {a_near, false}, {c, false}}); // merges into a sliver
    std::unique_ptr<MESH3> mesh;
    ASSERT_EQ(flat_polygon_mesh(t.head, &mesh), 0);
    ASSERT_NE(mesh, nullptr);
    const MeshFaceBlock& blk = *mesh->blocks;
    EXPECT_EQ(blk.vertices.size(), 4u);
    EXPECT_EQ(blk.faces.size(), 2u);
    EXPECT_EQ(blk.edges.size(), 5u);
    int hidden = 0;
    for (const MeshEdge& e : blk.edges) hidden += (e.flags & kEdgeHidden) ? 1 : 0;
    EXPECT_EQ(hidden, 1);

    Lists none;
    none.add({{a, false}, {b, false}});
    ASSERT_EQ(flat_polygon_mesh(none.head, &mesh), 0);
    EXPECT_EQ(mesh, nullptr);
    Lists bad;
    bad.add({{a, false}, {b, false}, {{NAN, 0, 0}, false}});
    EXPECT_EQ(flat_polygon_mesh(bad.head, &mesh), kBadArgument);
    EXPECT_EQ(mesh, nullptr);
}

TEST(FlatPolygon, NearLookupMatchesTheScan) {
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        NearPointIndex index;
        std::vector<Vec3> entered;
        for (int i = 0; i < 400; ++i) {
            // Points on a coarse lattice, nudged by up to about two cell widths.
            const float base = static_cast<float>(rng() % 5);
            const Vec3 p{base + static_cast<float>(static_cast<int>(rng() % 5) - 2) * 6e-7f,
                         static_cast<float>(rng() % 3), round % 2 ? -1000.0f : 0.5f};
            int32_t want = -1;
            for (size_t k = 0; k < entered.size() && want < 0; ++k)
                if (vec3_near(entered[k], p)) want = static_cast<int32_t>(k);
            ASSERT_EQ(index.find(p), want);
            if (want < 0 || rng() % 4 == 0) {
                entered.push_back(p);
                index.add(p);
            }
        }
    }
}

}  // namespace
