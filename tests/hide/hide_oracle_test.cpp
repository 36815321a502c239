// Oracles of the hidden-line removal: scenes whose visible and hidden lines are known
// exactly, in parallel projection and through a camera.
#include <gtest/gtest.h>

#include "hide_scene.h"

using namespace hide_test;

namespace {

struct CubeCase {
    const char* name;
    Vec3 lo, hi;
    bool camera;
};

// Expected lines of a convex box: an edge with a face toward the viewer is seen whole,
// an edge between two faces turned away is hidden whole.
void expected_box_lines(const Scene& s, const HideRunResult& r, Vec3 lo, Vec3 hi, std::vector<Seg>* vis,
                        std::vector<Seg>* hid) {
    const Vec3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z},
                       {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
    const int f[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    bool front[6];
    for (int i = 0; i < 6; ++i) {
        // Outward normal and a point of the face, in eye coordinates.
        const Vec3d a = s.eye(c[f[i][0]]), b = s.eye(c[f[i][1]]), d = s.eye(c[f[i][3]]);
        const Vec3d u{b.x - a.x, b.y - a.y, b.z - a.z}, w{d.x - a.x, d.y - a.y, d.z - a.z};
        const Vec3d n{u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x};
        // Faces listed counter-clockwise seen from outside. The camera's eye frame is
        // mirrored (z turned toward the scene), so it is judged in drawing coordinates.
        if (s.camera) {
            const Vec3 p0 = c[f[i][0]], p1 = c[f[i][1]], p3 = c[f[i][3]];
            const Vec3d uu{p1.x - p0.x, p1.y - p0.y, double(p1.z) - p0.z}, ww{p3.x - p0.x, p3.y - p0.y, double(p3.z) - p0.z};
            const Vec3d nn{uu.y * ww.z - uu.z * ww.y, uu.z * ww.x - uu.x * ww.z, uu.x * ww.y - uu.y * ww.x};
            const Vec3 e = s.camera->position;
            front[i] = nn.x * (e.x - p0.x) + nn.y * (e.y - p0.y) + nn.z * (double(e.z) - p0.z) > 0;
        } else {
            front[i] = n.z > 0;
        }
    }
    const int e[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6}, {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    for (const auto& ed : e) {
        bool seen = false;
        for (int i = 0; i < 6; ++i) {
            int hits = 0;
            for (int k = 0; k < 4; ++k) hits += f[i][k] == ed[0] || f[i][k] == ed[1];
            if (hits == 2 && front[i]) seen = true;
        }
        Seg sg;
        picture(s, r, c[ed[0]], &sg.x0, &sg.y0);
        picture(s, r, c[ed[1]], &sg.x1, &sg.y1);
        (seen ? vis : hid)->push_back(sg);
    }
}

void expect_same_lines(const std::vector<Seg>& got, const std::vector<Seg>& want, double tol, const char* what) {
    EXPECT_EQ(got.size(), want.size()) << what << "\n" << segment_text(got) << "want\n" << segment_text(want);
    for (const Seg& w : want) {
        bool found = false;
        for (const Seg& g : got) found = found || same_seg(g, w, tol);
        EXPECT_TRUE(found) << what << ": missing " << w.x0 << "," << w.y0 << " - " << w.x1 << "," << w.y1;
    }
}

}  // namespace

TEST(HideOracle, BoxesFromNearACorner) {
    const CubeCase cases[] = {
        {"unit cube, parallel", {0, 0, 0}, {1, 1, 1}, false},
        {"unit cube, camera", {0, 0, 0}, {1, 1, 1}, true},
        {"far cube, parallel", {1000, -1000, 1000}, {1001, -999, 1001}, false},
        {"far cube, camera", {1000, -1000, 1000}, {1001, -999, 1001}, true},
        {"cube around the view origin, parallel", {-0.5, -0.5, -0.5}, {0.5, 0.5, 0.5}, false},
        {"cube around the line of sight, camera", {-0.5, -0.5, -0.5}, {0.5, 0.5, 0.5}, true},
        {"flat box, camera", {-3, -2, 0}, {3, 2, 0.5}, true},
    };
    for (const CubeCase& c : cases) {
        SCOPED_TRACE(c.name);
        Scene s;
        add_box(s.model.get(), c.lo, c.hi);
        s.look({1, 0.8, 1.3});
        const Vec3d mid{(c.lo.x + c.hi.x) / 2.0, (c.lo.y + c.hi.y) / 2.0, (c.lo.z + c.hi.z) / 2.0};
        if (c.camera) s.camera_at(mid, {1, 0.8, 1.3}, 8);
        HideSettings set;
        set.linear = 1e-3;
        const HideRunResult r = run_hide(s, true, set);
        ASSERT_EQ(r.code, 0);
        std::vector<Seg> vis, hid;
        expected_box_lines(s, r, c.lo, c.hi, &vis, &hid);
        if (std::string(c.name).find("flat") == std::string::npos) {
            EXPECT_EQ(vis.size(), 9u);
            EXPECT_EQ(hid.size(), 3u);
        }
        const double tol = c.camera ? 1e-4 * r.scale : 1e-4;
        expect_same_lines(r.visible, vis, tol, "visible");
        expect_same_lines(r.hidden, hid, tol, "hidden");
    }
}

// Lines just in front of and just behind a plate: near the origin, and 0.05 from a
// plate at z = 1000, where a depth tolerance that grew with the distance from the
// origin would take the line behind for one lying on the plate.
TEST(HideOracle, LineInFrontOfAndBehindAPlate) {
    for (const auto& [z0, off] : {std::pair{0.0f, 0.5f}, {1000.0f, 0.05f}})
    for (bool camera : {false, true}) {
        SCOPED_TRACE(std::string(camera ? "camera" : "parallel") + " plate at " + std::to_string(z0));
        Scene s;
        MODEL* m = s.model.get();
        MESH3* plate = add_mesh(m);
        const Vec3 p[4] = {{-1, -1, z0}, {1, -1, z0}, {1, 1, z0}, {-1, 1, z0}};
        EXPECT_EQ(mesh_add_face(plate, &p[0], &p[1], &p[2], &p[3], 0), 0);
        const Vec3 front0{-2, 0.25f, z0 + off}, front1{2, 0.25f, z0 + off};
        const Vec3 back0{-2, -0.25f, z0 - off}, back1{2, -0.25f, z0 - off};
        add_line(m, front0, front1);
        add_line(m, back0, back1);
        s.look({0, 0, 1});
        if (camera) s.camera_at({0, 0, z0}, {0, 0, 1}, 10);
        HideSettings set;
        set.linear = 1e-3;
        const HideRunResult r = run_hide(s, true, set);
        ASSERT_EQ(r.code, 0);
        std::vector<Seg> vis, hid;
        auto seg = [&](Vec3 a, Vec3 b) {
            Seg g;
            picture(s, r, a, &g.x0, &g.y0);
            picture(s, r, b, &g.x1, &g.y1);
            return g;
        };
        for (int i = 0; i < 4; ++i) vis.push_back(seg(p[i], p[(i + 1) % 4]));
        vis.push_back(seg(front0, front1));
        // Behind: seen outside the plate's outline, hidden across it.
        Vec3 in0{-1, -0.25f, z0 - off}, in1{1, -0.25f, z0 - off};
        if (camera) {
            // Through the camera the plate's outline meets the line farther out.
            const float k = (10 + off) / 10.0f;
            in0.x = -k, in1.x = k;
        }
        vis.push_back(seg(back0, in0));
        vis.push_back(seg(in1, back1));
        hid.push_back(seg(in0, in1));
        const double tol = camera ? 1e-4 * r.scale : 1e-4;
        expect_same_lines(r.visible, vis, tol, "visible");
        expect_same_lines(r.hidden, hid, tol, "hidden");
    }
}

// B pierces A's front face: its edge is seen up to the piercing point, hidden beyond.
TEST(HideOracle, EdgeSeenUpToItsPiercingPoint) {
    for (bool camera : {false, true}) {
        SCOPED_TRACE(camera ? "camera" : "parallel");
        Scene s;
        add_box(s.model.get(), {0, 0, 0}, {2, 2, 2});
        add_box(s.model.get(), {0.5f, -1, 0.5f}, {1.5f, 1, 1.5f});
        s.look({0.3, -1, 0.25});
        if (camera) s.camera_at({1, 0, 1}, {0.3, -1, 0.25}, 12);
        HideSettings set;
        set.linear = 1e-3;
        const HideRunResult r = run_hide(s, true, set);
        ASSERT_EQ(r.code, 0);
        double ax, ay, px, py, bx, by;
        picture(s, r, {1.5f, -1, 1.5f}, &ax, &ay);
        picture(s, r, {1.5f, 0, 1.5f}, &px, &py);
        picture(s, r, {1.5f, 1, 1.5f}, &bx, &by);
        const double tol = camera ? 1e-4 * r.scale : 1e-4;
        bool seen = false, hidden = false;
        for (const Seg& g : r.visible) seen = seen || same_seg(g, {ax, ay, px, py}, tol);
        for (const Seg& g : r.hidden) hidden = hidden || same_seg(g, {px, py, bx, by}, tol);
        EXPECT_TRUE(seen) << segment_text(r.visible);
        EXPECT_TRUE(hidden) << segment_text(r.hidden);
        // Only mesh edges are drawn: every line lies on the picture of an edge of a box.
        auto on_edge_line = [&](double x, double y) {
            const Vec3 boxes[2][2] = {{{0, 0, 0}, {2, 2, 2}}, {{0.5f, -1, 0.5f}, {1.5f, 1, 1.5f}}};
            for (const auto& b : boxes) {
                const Vec3 c[8] = {{b[0].x, b[0].y, b[0].z}, {b[1].x, b[0].y, b[0].z}, {b[1].x, b[1].y, b[0].z},
                                   {b[0].x, b[1].y, b[0].z}, {b[0].x, b[0].y, b[1].z}, {b[1].x, b[0].y, b[1].z},
                                   {b[1].x, b[1].y, b[1].z}, {b[0].x, b[1].y, b[1].z}};
                const int e[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                      {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
                for (const auto& ed : e) {
                    double x0, y0, x1, y1;
                    picture(s, r, c[ed[0]], &x0, &y0);
                    picture(s, r, c[ed[1]], &x1, &y1);
                    const double l = std::hypot(x1 - x0, y1 - y0);
                    const double d = std::fabs((x1 - x0) * (y - y0) - (y1 - y0) * (x - x0)) / l;
                    const double t = ((x - x0) * (x1 - x0) + (y - y0) * (y1 - y0)) / (l * l);
                    if (d < tol && t > -1e-6 && t < 1 + 1e-6) return true;
                }
            }
            return false;
        };
        for (const std::vector<Seg>* list : {&r.visible, &r.hidden})
            for (const Seg& g : *list) {
                EXPECT_TRUE(on_edge_line(g.x0, g.y0) && on_edge_line(g.x1, g.y1))
                    << "not on an edge: " << g.x0 << "," << g.y0 << " - " << g.x1 << "," << g.y1;
            }
    }
}

// A united mesh built by hand shows its seam, which is one of its edges.
TEST(HideOracle, SeamEdgeOfAUnitedMeshIsDrawn) {
    Scene s;
    MESH3* m = add_mesh(s.model.get());
    // Two faces of an L, meeting along the seam x = 1 at a right angle.
    const Vec3 a[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    const Vec3 b[4] = {{1, 0, 0}, {1, 0, 1}, {1, 1, 1}, {1, 1, 0}};
    EXPECT_EQ(mesh_add_face(m, &a[0], &a[1], &a[2], &a[3], 0), 0);
    EXPECT_EQ(mesh_add_face(m, &b[0], &b[1], &b[2], &b[3], 0), 0);
    s.look({-0.5, -0.3, 1});
    HideSettings set;
    set.linear = 1e-3;
    const HideRunResult r = run_hide(s, true, set);
    ASSERT_EQ(r.code, 0);
    double x0, y0, x1, y1;
    picture(s, r, {1, 0, 0}, &x0, &y0);
    picture(s, r, {1, 1, 0}, &x1, &y1);
    bool seam = false;
    for (const Seg& g : r.visible) seam = seam || same_seg(g, {x0, y0, x1, y1}, 1e-4);
    EXPECT_TRUE(seam) << segment_text(r.visible);
    EXPECT_EQ(r.counts.edges, 7);
}
