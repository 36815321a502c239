// Helpers shared by the mesh construction tests: a fixture that registers the
// drawing classes and makes a mesh, chains from point tables, and checks of a face
// block's topology and area.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "model/db/solid.h"
#include "model/mesh/mesh.h"
#include "model/rtc/rtc.h"

inline constexpr double kPiD = 3.14159265358979323846;

class MeshTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rtc_register_all();
        mesh = rtc_make<MESH3>();
        ASSERT_NE(mesh, nullptr);
    }
    std::unique_ptr<MESH3> mesh;
};

// Owns a chain made from a table of points, open or closed.
class Chain {
  public:
    Chain(const std::vector<Vec3>& points, bool closed = false) {
        for (auto it = points.rbegin(); it != points.rend(); ++it) EXPECT_EQ(plist_add(&head_, *it), 0);
        PointNode* last = head_;
        while (closed && last && last->next) last = last->next;
        if (closed && last) last->next = head_;
    }
    ~Chain() { list_free(&head_); }
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;
    PointNode* get() const { return head_; }
    std::vector<Vec3d> points() const { return chain_points(head_); }

  private:
    PointNode* head_ = nullptr;
};

// The three vertex indices of a face, through its first two edges.
inline std::vector<int32_t> face_vertices(const MeshFaceBlock& b, const MeshFace& f) {
    int32_t v[3];
    edge_pair_vertices(b.edges[f.e[0]], b.edges[f.e[1]], &v[0], &v[1], &v[2]);
    return {v[0], v[1], v[2]};
}

// Sum of the areas of the block's faces.
inline double block_area(const MeshFaceBlock& b) {
    double area = 0;
    for (const MeshFace& f : b.faces) {
        const auto v = face_vertices(b, f);
        const MeshVertex &p = b.vertices[v[0]], &q = b.vertices[v[1]], &r = b.vertices[v[2]];
        const double ux = q.x - p.x, uy = q.y - p.y, uz = q.z - p.z;
        const double vx = r.x - p.x, vy = r.y - p.y, vz = r.z - p.z;
        area += 0.5 * std::hypot(uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx);
    }
    return area;
}

// Every index in range and every face closed by its three edges with three distinct
// corners.
inline void expect_sound_block(const MeshFaceBlock& b) {
    const auto nv = static_cast<int32_t>(b.vertices.size());
    const auto ne = static_cast<int32_t>(b.edges.size());
    for (const MeshEdge& e : b.edges) ASSERT_TRUE(e.v[0] >= 0 && e.v[0] < nv && e.v[1] >= 0 && e.v[1] < nv);
    for (const MeshFace& f : b.faces) {
        for (int32_t e : f.e) ASSERT_TRUE(e >= 0 && e < ne);
        const auto v = face_vertices(b, f);
        EXPECT_TRUE(v[0] != v[1] && v[1] != v[2] && v[0] != v[2]);
        const MeshEdge& third = b.edges[f.e[2]];
        EXPECT_TRUE((third.v[0] == v[2] && third.v[1] == v[0]) || (third.v[0] == v[0] && third.v[1] == v[2]));
    }
}

inline int hidden_edges(const MeshFaceBlock& b) {
    int n = 0;
    for (const MeshEdge& e : b.edges) n += (e.flags & kEdgeHidden) ? 1 : 0;
    return n;
}
