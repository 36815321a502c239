// The hidden-line removal against a brute-force reference on seeded random scenes: a
// sampled point of an edge is visible when no nearer triangle covers it. Samples near
// the end of a piece, near a triangle's outline or near a depth tie are left out.
#include <gtest/gtest.h>

#include <random>

#include "hide_scene.h"
#include "render/hide/hide_visibility.h"

using namespace hide_test;

namespace {

struct Tri {
    Vec3d p[3];
    const void* owner;
};

struct Edge3 {
    Vec3d a, b;
    const void* owner;
};

// 1 hidden, 0 visible, -1 too close to call.
int brute(const std::vector<Tri>& tris, const Vec3d& q, const void* owner, bool camera) {
    int verdict = 0;
    for (const Tri& t : tris) {
        if (t.owner == owner) continue;  // an edge of the triangle's own mesh lies on it
        // Barycentric coordinates of q's picture in t's picture.
        double x[3], y[3];
        for (int i = 0; i < 3; ++i) {
            x[i] = camera ? t.p[i].x / t.p[i].z : t.p[i].x;
            y[i] = camera ? t.p[i].y / t.p[i].z : t.p[i].y;
        }
        const double qx = camera ? q.x / q.z : q.x, qy = camera ? q.y / q.z : q.y;
        const double det = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
        if (std::fabs(det) < 1e-9) continue;
        const double l1 = ((qx - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (qy - y[0])) / det;
        const double l2 = ((x[1] - x[0]) * (qy - y[0]) - (qx - x[0]) * (y[1] - y[0])) / det;
        const double l0 = 1 - l1 - l2;
        const double m = std::min({l0, l1, l2});
        if (m < -1e-4) continue;
        if (m < 1e-4) return -1;
        // Depth of the triangle along the line of sight through q.
        const Vec3d u{t.p[1].x - t.p[0].x, t.p[1].y - t.p[0].y, t.p[1].z - t.p[0].z};
        const Vec3d w{t.p[2].x - t.p[0].x, t.p[2].y - t.p[0].y, t.p[2].z - t.p[0].z};
        const Vec3d n{u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x};
        const double d = n.x * t.p[0].x + n.y * t.p[0].y + n.z * t.p[0].z;
        double nearer;  // > 0 when the triangle is nearer than q
        if (camera) {
            const double s = d / (n.x * q.x + n.y * q.y + n.z * q.z);  // hit = s * q
            nearer = 1 - s;
        } else {
            const double zt = (d - n.x * q.x - n.y * q.y) / n.z;  // viewer at +z
            nearer = zt - q.z;
        }
        if (std::fabs(nearer) < 1e-3) return -1;
        if (nearer > 0) verdict = 1;
    }
    return verdict;
}

bool on(const std::vector<Seg>& segs, double x, double y, double tol, double end_gap, bool* near_end) {
    bool found = false;
    for (const Seg& g : segs) {
        const double dx = g.x1 - g.x0, dy = g.y1 - g.y0, l = std::hypot(dx, dy);
        if (l == 0) continue;
        const double d = std::fabs(dx * (y - g.y0) - dy * (x - g.x0)) / l;
        const double t = ((x - g.x0) * dx + (y - g.y0) * dy) / (l * l);
        if (d > tol || t < -end_gap / l || t > 1 + end_gap / l) continue;
        if (t * l < end_gap || (1 - t) * l < end_gap) *near_end = true;
        else found = true;
    }
    return found;
}

}  // namespace

TEST(HideReference, RandomScenesAgreeWithBruteForce) {
    int checked = 0;
    for (bool camera : {false, true}) {
        for (uint32_t seed = 1; seed <= 12; ++seed) {
            SCOPED_TRACE(testing::Message() << (camera ? "camera" : "parallel") << " seed " << seed);
            std::mt19937 rng(seed);
            std::uniform_real_distribution<float> u(-4, 4);
            Scene s;
            std::vector<const void*> meshes;
            std::vector<Edge3> edges;
            for (int i = 0; i < 10; ++i) {
                Vec3 c{u(rng), u(rng), u(rng)};
                Vec3 p[3];
                for (Vec3& q : p) q = {c.x + u(rng) / 2, c.y + u(rng) / 2, c.z + u(rng) / 2};
                MESH3* m = add_triangle(s.model.get(), p[0], p[1], p[2]);
                for (int k = 0; k < 3; ++k) edges.push_back({{p[k].x, p[k].y, p[k].z}, {p[(k + 1) % 3].x, p[(k + 1) % 3].y, p[(k + 1) % 3].z}, m});
            }
            for (int i = 0; i < 8; ++i) {
                const Vec3 a{u(rng), u(rng), u(rng)}, b{u(rng), u(rng), u(rng)};
                XPLINE* l = add_line(s.model.get(), a, b);
                edges.push_back({{a.x, a.y, a.z}, {b.x, b.y, b.z}, l});
            }
            s.look({0.4, -0.7, 1});
            if (camera) s.camera_at({0, 0, 0}, {0.4, -0.7, 1}, 16);
            HideSettings set;
            set.linear = 0;
            const HideRunResult r = run_hide(s, true, set);
            ASSERT_EQ(r.code, 0);
            // Triangles of the drawing in the eye frame.
            std::vector<Tri> tris;
            for (ZDLIST* c = first_layer(s.model.get())->children;;) {
                if (auto* m = rtc_cast<MESH3>(c)) {
                    const MeshFaceBlock* b = m->blocks;
                    std::array<Vec3d, 3> q;
                    for (int k = 0; k < 3; ++k) {
                        const MeshVertex& v = b->vertices[k];
                        q[k] = s.eye({v.x, v.y, v.z});
                    }
                    tris.push_back({{q[0], q[1], q[2]}, m});
                }
                c = c->next;
                if (c == first_layer(s.model.get())->children) break;
            }
            const double scale = camera ? r.scale : 1.0;
            for (const Edge3& e : edges) {
                for (int k = 1; k < 40; ++k) {
                    const double t = k / 40.0;
                    const Vec3 p{float(e.a.x + (e.b.x - e.a.x) * t), float(e.a.y + (e.b.y - e.a.y) * t),
                                 float(e.a.z + (e.b.z - e.a.z) * t)};
                    const Vec3d q = s.eye(p);
                    const int want = brute(tris, q, e.owner, camera);
                    if (want < 0) continue;
                    double x, y;
                    picture(s, r, p, &x, &y);
                    bool near_end = false;
                    const bool vis = on(r.visible, x, y, 1e-4 * scale, 2e-3 * scale, &near_end);
                    const bool hid = on(r.hidden, x, y, 1e-4 * scale, 2e-3 * scale, &near_end);
                    if (near_end) continue;
                    // A point covered by a line of each kind may be two edges crossing.
                    if (vis && hid) continue;
                    ++checked;
                    EXPECT_EQ(hid, want == 1) << "edge " << e.a.x << "," << e.a.y << "," << e.a.z << " - " << e.b.x
                                              << "," << e.b.y << "," << e.b.z << " at t=" << t;
                    EXPECT_TRUE(vis || hid) << "sample on no line at t=" << t;
                }
            }
        }
    }
    EXPECT_GT(checked, 4000);
}

// The candidate grid gives the same triangles in the same order as a scan of all.
TEST(HideReference, GridGivesTheScansCandidates) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-100, 100), size(0, 20);
    HideJob job;
    HideContext ctx(&job);
    std::vector<HideTriangle> store(2000);
    for (size_t i = 0; i < store.size(); ++i) {
        HideTriangle& t = store[i];
        t.id = static_cast<int32_t>(i);
        t.min_x = u(rng), t.min_y = u(rng);
        // A few cover most of the picture.
        const double big = i % 97 == 0 ? 150 : 0;
        t.max_x = t.min_x + size(rng) + big, t.max_y = t.min_y + size(rng) + big;
        ctx.triangles.push_back(&t);
    }
    HideGrid grid(ctx.triangles);
    std::vector<const HideTriangle*> a, b;
    for (int q = 0; q < 500; ++q) {
        double box[4] = {u(rng), u(rng), 0, 0};
        box[2] = box[0] + (q % 10 == 0 ? 300 : size(rng)), box[3] = box[1] + size(rng);
        if (q % 50 == 0) box[2] = box[0];  // a vertical line: zero width
        grid.query(box, &a);
        hide_candidates_scan(ctx.triangles, box, &b);
        ASSERT_EQ(a, b) << "query " << q;
    }
}
