// Closed meshes against a brute-force reference: rotated, scaled and far-off boxes,
// boxes touching face to face, long thin triangles, view directions along an axis, and
// cameras close up, far off and inside the scene. A sampled point of an edge is hidden
// when a triangle nearer to the viewer covers it; samples near a covering triangle's
// outline, near a piece end or on a line of each kind are left out.
#include <gtest/gtest.h>

#include <random>

#include "hide_scene.h"

using namespace hide_test;

namespace {

struct Tri3 {
    Vec3 p[3];
};

struct Edge {
    Vec3 a, b;
};

struct World {
    std::vector<Tri3> tris;
    std::vector<Edge> edges;
};

// Box corners: lo/hi turned by `turn` radians about the axis (1, 2, 3), scaled, moved.
void box(Scene& s, World* w, Vec3 lo, Vec3 hi, double turn, double scale, Vec3 at) {
    const double l = std::sqrt(14.0);
    const double ax = 1 / l, ay = 2 / l, az = 3 / l, c = std::cos(turn), sn = std::sin(turn);
    auto xf = [&](double x, double y, double z) {
        // Rodrigues' rotation.
        const double d = ax * x + ay * y + az * z;
        const double cx = ay * z - az * y, cy = az * x - ax * z, cz = ax * y - ay * x;
        const double rx = x * c + cx * sn + ax * d * (1 - c), ry = y * c + cy * sn + ay * d * (1 - c),
                     rz = z * c + cz * sn + az * d * (1 - c);
        return Vec3{float(rx * scale + at.x), float(ry * scale + at.y), float(rz * scale + at.z)};
    };
    const Vec3 k[8] = {xf(lo.x, lo.y, lo.z), xf(hi.x, lo.y, lo.z), xf(hi.x, hi.y, lo.z), xf(lo.x, hi.y, lo.z),
                       xf(lo.x, lo.y, hi.z), xf(hi.x, lo.y, hi.z), xf(hi.x, hi.y, hi.z), xf(lo.x, hi.y, hi.z)};
    const int f[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    MESH3* mesh = add_mesh(s.model.get());
    for (const auto& q : f) {
        EXPECT_EQ(mesh_add_face(mesh, &k[q[0]], &k[q[1]], &k[q[2]], &k[q[3]], 0), 0);
        w->tris.push_back({{k[q[0]], k[q[1]], k[q[2]]}});
        w->tris.push_back({{k[q[0]], k[q[2]], k[q[3]]}});
    }
    mesh->own_box();
    const int e[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6}, {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    for (const auto& ed : e) w->edges.push_back({k[ed[0]], k[ed[1]]});
}

void triangle(Scene& s, World* w, Vec3 a, Vec3 b, Vec3 c) {
    add_triangle(s.model.get(), a, b, c);
    w->tris.push_back({{a, b, c}});
    w->edges.push_back({a, b});
    w->edges.push_back({b, c});
    w->edges.push_back({c, a});
}

// 1 hidden, 0 visible, -1 too close to call. `tie` is the depth within which a point
// lies on a plane.
int brute(bool camera, const std::vector<std::array<Vec3d, 3>>& eye_tris, const Vec3d& q, double tie) {
    if (camera && q.z < kHideNearZ) return -1;
    int verdict = 0;
    for (const std::array<Vec3d, 3>& p : eye_tris) {
        const Vec3d u{p[1].x - p[0].x, p[1].y - p[0].y, p[1].z - p[0].z};
        const Vec3d v{p[2].x - p[0].x, p[2].y - p[0].y, p[2].z - p[0].z};
        const Vec3d n{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
        const double nl = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        if (!(nl > 0)) continue;
        const double d = (n.x * p[0].x + n.y * p[0].y + n.z * p[0].z) / nl;
        const double gq = (n.x * q.x + n.y * q.y + n.z * q.z) / nl - d;
        if (std::fabs(gq) < tie) continue;  // on the plane: not hidden by it
        // Where the line of sight through q meets the plane, and whether that is nearer.
        Vec3d hit;
        bool nearer;
        if (camera) {
            const double dq = (n.x * q.x + n.y * q.y + n.z * q.z) / nl;
            if (std::fabs(dq) < 1e-12) continue;
            const double k = d / dq;
            hit = {q.x * k, q.y * k, q.z * k};
            nearer = k > 0 && k < 1 && hit.z >= kHideNearZ;  // the picture starts at the near depth
        } else {
            if (std::fabs(n.z / nl) < 1e-9) continue;
            const double z = q.z - gq * nl / n.z;
            hit = {q.x, q.y, z};
            nearer = z > q.z;
        }
        if (!nearer) continue;
        // Is the hit inside the triangle (barycentric, in 3D)?
        auto area = [&](const Vec3d& a, const Vec3d& b, const Vec3d& c) {
            const Vec3d ab{b.x - a.x, b.y - a.y, b.z - a.z}, ac{c.x - a.x, c.y - a.y, c.z - a.z};
            return ((ab.y * ac.z - ab.z * ac.y) * n.x + (ab.z * ac.x - ab.x * ac.z) * n.y +
                    (ab.x * ac.y - ab.y * ac.x) * n.z) /
                   (nl * nl);
        };
        const double l0 = area(hit, p[1], p[2]), l1 = area(p[0], hit, p[2]), l2 = area(p[0], p[1], hit);
        const double m = std::min({l0, l1, l2});
        if (m < -1e-4) continue;
        if (m < 1e-4) {
            verdict = verdict == 1 ? 1 : -1;
            continue;
        }
        verdict = 1;
    }
    return verdict;
}

// Whether (x, y) lies on one of the segments away from its ends; near_end when it lies
// within `gap` of an end.
bool on(const std::vector<Seg>& segs, double x, double y, double tol, double gap, bool* near_end) {
    bool found = false;
    for (const Seg& g : segs) {
        const double dx = g.x1 - g.x0, dy = g.y1 - g.y0, l = std::hypot(dx, dy);
        if (l == 0) continue;
        const double dist = std::fabs(dx * (y - g.y0) - dy * (x - g.x0)) / l;
        const double t = ((x - g.x0) * dx + (y - g.y0) * dy) / (l * l);
        if (dist > tol || t * l < -gap || (1 - t) * l < -gap) continue;
        if (t * l < gap || (1 - t) * l < gap) *near_end = true;
        else found = true;
    }
    return found;
}

struct Check {
    int checked = 0, wrong_shown = 0, wrong_hidden = 0, missing = 0;
};

// Compares every edge's samples with the reference. `size` is the scene's extent.
Check compare(const Scene& s, const World& w, const HideRunResult& r, double size) {
    Check c;
    std::vector<std::array<Vec3d, 3>> eye_tris;
    for (const Tri3& t : w.tris) eye_tris.push_back({s.eye(t.p[0]), s.eye(t.p[1]), s.eye(t.p[2])});
    const double pic = s.camera ? r.scale : 1.0;
    const double tol = 2e-4 * (s.camera ? pic : size), gap = 3e-3 * (s.camera ? pic : size);
    for (const Edge& e : w.edges) {
        for (int k = 1; k < 50; ++k) {
            const double t = k / 50.0;
            const Vec3 p{float(e.a.x + (e.b.x - e.a.x) * t), float(e.a.y + (e.b.y - e.a.y) * t),
                         float(e.a.z + (e.b.z - e.a.z) * t)};
            const Vec3d q = s.eye(p);
            const int want = brute(s.camera != nullptr, eye_tris, q, 1e-4 * size);
            if (want < 0) continue;
            double x, y;
            picture(s, r, p, &x, &y);
            // Far outside the fitted picture (a point just past the near depth) the
            // single-precision line ends set the tolerance.
            const double tol_here = tol + 4e-6 * (std::fabs(x) + std::fabs(y));
            bool near_end = false;
            const bool vis = on(r.visible, x, y, tol_here, gap, &near_end);
            const bool hid = on(r.hidden, x, y, tol_here, gap, &near_end);
            if (near_end || (vis && hid)) continue;
            ++c.checked;
            if (!vis && !hid) {
                ++c.missing;
                ADD_FAILURE() << "no line at " << p.x << "," << p.y << "," << p.z;
            } else if (want == 1 && vis) {
                ++c.wrong_shown;
                ADD_FAILURE() << "shown but hidden at " << p.x << "," << p.y << "," << p.z;
            } else if (want == 0 && hid) {
                ++c.wrong_hidden;
                ADD_FAILURE() << "hidden but seen at " << p.x << "," << p.y << "," << p.z;
            }
        }
    }
    return c;
}

struct SceneCase {
    const char* name;
    int kind;       // 0 rotated boxes, 1 touching boxes on a plate, 2 thin triangles, 3 random boxes
    Vec3d from;     // view direction
    double camera;  // camera distance from the scene's middle; 0: parallel
    double scale;   // of the scene
    Vec3 at;        // where the scene sits
};

void build(Scene& s, World* w, const SceneCase& c) {
    const auto sc = c.scale;
    auto P = [&](double x, double y, double z) {
        return Vec3{float(x * sc + c.at.x), float(y * sc + c.at.y), float(z * sc + c.at.z)};
    };
    switch (c.kind) {
        case 0:
            box(s, w, {-1, -1, -1}, {1, 1, 1}, 0.7, sc, P(0, 0, 0));
            box(s, w, {-0.5, -2, -0.5}, {0.5, 2, 0.5}, 1.9, sc, P(0.8, 0.3, 0.2));
            box(s, w, {-3, -3, -0.2}, {3, 3, 0.2}, 0.2, sc, P(0, 0, -1.6));
            break;
        case 1:
            // Two boxes sharing a face, standing on a plate (their bottoms on its top).
            box(s, w, {0, 0, 0}, {1, 1, 1}, 0, sc, P(0, 0, 0));
            box(s, w, {1, 0, 0}, {2, 1, 1.5}, 0, sc, P(0, 0, 0));
            box(s, w, {-1, -1, -0.3}, {3, 2, 0}, 0, sc, P(0, 0, 0));
            break;
        case 2:
            // Long thin triangles crossing over a plate and each other.
            triangle(s, w, P(-3, -0.02, 0.5), P(3, 0.02, 0.5), P(3, -0.02, 0.6));
            triangle(s, w, P(0.1, -3, 0.2), P(-0.1, 3, 1.2), P(0.12, 3, 1.2));
            triangle(s, w, P(-2, -2, 0), P(2, -2, 0), P(2, 2, 0));
            triangle(s, w, P(-2, -2, 0), P(2, 2, 0), P(-2, 2, 0));
            triangle(s, w, P(-2.5, 1, -0.3), P(2.5, -1, 1.1), P(-2.5, 1.05, 1.1));
            break;
        case 7:
            // A wall reaching past the camera, a box behind it and one in the open.
            box(s, w, {-10, -1, -1}, {-0.5, 8, 2}, 0, sc, P(0, 0, 0));
            box(s, w, {-4, -4, 0}, {-2, -3, 1}, 0, sc, P(0, 0, 0));
            box(s, w, {1, -4, 0}, {2, -3, 1}, 0, sc, P(0, 0, 0));
            break;
        case 8:
            // A room seen from inside, with a box on its floor.
            box(s, w, {-3, -3, 0}, {3, 3, 3}, 0, sc, P(0, 0, 0));
            box(s, w, {-1, -2, 0}, {0.5, -1, 1}, 0.3, sc, P(0, 0, 0));
            break;
        case 9:
            // Overlapping plates in one plane, a line under them and one on them.
            triangle(s, w, P(-2, -2, 0), P(1, -2, 0), P(1, 1, 0));
            triangle(s, w, P(-1, -1, 0), P(2, -1, 0), P(2, 2, 0));
            triangle(s, w, P(-3, 0.3, -0.5), P(3, 0.2, -0.5), P(3, 0.25, -0.4));
            triangle(s, w, P(-1.5, -1.8, 0), P(1.5, 1.2, 0), P(1.5, 1.1, 0));
            break;
        case 10: {
            // A faceted sphere over a plate: its outline runs along its edges.
            MESH3* mesh = add_mesh(s.model.get());
            const int nu = 12, nv = 8;
            auto at = [&](int i, int j) {
                const double u = 2 * M_PI * i / nu, v = M_PI * j / nv;
                return P(std::cos(u) * std::sin(v), std::sin(u) * std::sin(v), 1.2 + std::cos(v));
            };
            auto tri = [&](Vec3 a, Vec3 b, Vec3 c) {
                EXPECT_EQ(mesh_add_face(mesh, &a, &b, &c, nullptr, 0), 0);
                w->tris.push_back({{a, b, c}});
                w->edges.push_back({a, b});
                w->edges.push_back({b, c});
                w->edges.push_back({c, a});
            };
            for (int i = 0; i < nu; ++i)
                for (int j = 0; j < nv; ++j) {
                    const Vec3 a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
                    if (j > 0) tri(a, c, b);
                    if (j < nv - 1) tri(a, d, c);
                }
            mesh->own_box();
            box(s, w, {-3, -3, -0.2}, {3, 3, 0}, 0, sc, P(0, 0, 0));
            break;
        }
        default: {
            std::mt19937 rng(static_cast<uint32_t>(c.kind));
            std::uniform_real_distribution<double> u(-2, 2), turn(0, 6.3), size(0.2, 1.2);
            for (int i = 0; i < 7; ++i) {
                const double hx = size(rng), hy = size(rng), hz = size(rng);
                box(s, w, {float(-hx), float(-hy), float(-hz)}, {float(hx), float(hy), float(hz)}, turn(rng), sc,
                    P(u(rng), u(rng), u(rng)));
            }
        }
    }
}

}  // namespace

TEST(HideMeshReference, ClosedMeshesAgreeWithBruteForce) {
    const SceneCase cases[] = {
        {"rotated boxes, parallel", 0, {1, 0.8, 1.3}, 0, 1, {0, 0, 0}},
        {"rotated boxes from below, parallel", 0, {-0.4, 0.9, -1}, 0, 1, {0, 0, 0}},
        {"rotated boxes scaled up and far off, parallel", 0, {0.2, -1, 0.6}, 0, 40, {5000, -3000, 2000}},
        {"rotated boxes scaled down, parallel", 0, {0.7, 0.3, -0.5}, 0, 0.01, {0, 0, 0}},
        {"rotated boxes, camera far (narrow)", 0, {1, 0.8, 1.3}, 200, 1, {0, 0, 0}},
        {"rotated boxes, camera close (wide)", 0, {1, 0.8, 1.3}, 4.5, 1, {0, 0, 0}},
        {"rotated boxes far off, camera", 0, {-1, 0.3, 0.5}, 12, 3, {1000, -1000, 1000}},
        {"touching boxes on a plate, parallel", 1, {1, -0.8, 0.9}, 0, 1, {0, 0, 0}},
        {"touching boxes along an axis, parallel", 1, {0, 0, 1}, 0, 1, {0, 0, 0}},
        {"touching boxes side on, parallel", 1, {0, -1, 0}, 0, 1, {0, 0, 0}},
        {"touching boxes level with the plate, parallel", 1, {1, -1, 0}, 0, 1, {0, 0, 0}},
        {"touching boxes, camera", 1, {-0.6, -1, 0.7}, 7, 1, {0, 0, 0}},
        {"touching boxes, camera level with the top", 1, {0.3, -1, 0}, 6, 1, {0, 0, 1}},
        {"thin triangles, parallel", 2, {0.3, -0.5, 1}, 0, 1, {0, 0, 0}},
        {"thin triangles, camera", 2, {0.3, -0.5, 1}, 9, 1, {0, 0, 0}},
        {"thin triangles edge on, parallel", 2, {1, 0, 0}, 0, 1, {0, 0, 0}},
        {"random boxes 3, parallel", 3, {0.5, 0.6, 0.7}, 0, 1, {0, 0, 0}},
        {"random boxes 4, camera", 4, {-0.5, 0.6, 0.3}, 10, 1, {0, 0, 0}},
        {"random boxes 5, camera", 5, {0.1, 0.1, 1}, 8, 1, {0, 0, 0}},
        {"random boxes 6, parallel", 6, {-1, -1, -1}, 0, 1, {0, 0, 0}},
        {"room seen from inside", 8, {0.4, -1, 0.5}, 2.2, 1, {0, 0, 1.2}},
        {"room seen from inside, looking down", 8, {0.1, 0.2, 1}, 1.5, 1, {0, 0, 0.5}},
        {"overlapping coplanar plates, parallel", 9, {0.2, -0.3, 1}, 0, 1, {0, 0, 0}},
        {"overlapping coplanar plates, camera", 9, {-0.3, -0.4, 1}, 6, 1, {0, 0, 0}},
        {"faceted sphere on a plate, parallel", 10, {0.6, -0.9, 0.5}, 0, 1, {0, 0, 0}},
        {"faceted sphere on a plate, camera", 10, {0.6, -0.9, 0.5}, 5, 1, {0, 0, 1}},
        {"faceted sphere from above, parallel", 10, {0, 0, 1}, 0, 1, {0, 0, 0}},
        {"random boxes 11, camera among them", 11, {0.5, -0.7, 0.4}, 1.0, 1, {0, 0, 0}},
        {"random boxes 12, camera among them", 12, {-0.2, 0.9, 0.1}, 0.6, 1, {0.3, 0, 0}},
        {"random boxes 13, camera among them", 13, {0.9, 0.2, -0.5}, 1.5, 1, {0, 0.5, 0}},
        {"wall reaching past the camera", 7, {0, 1, 0.05}, 5, 1, {0, 0, 0.5}},
        {"wall reaching past the camera, turned", 7, {0.3, 1, 0.3}, 5, 1, {0, 0, 0.5}},
    };
    int total = 0;
    for (const SceneCase& c : cases) {
        SCOPED_TRACE(c.name);
        Scene s;
        World w;
        build(s, &w, c);
        s.look(c.from);
        if (c.camera > 0) s.camera_at({c.at.x, c.at.y, c.at.z}, c.from, c.camera * c.scale);
        HideSettings set;
        set.linear = 0;
        const HideRunResult r = run_hide(s, true, set);
        ASSERT_EQ(r.code, 0);
        const Check k = compare(s, w, r, 4 * c.scale);
        // Along an axis every edge meets another in the picture: nothing to tell apart.
        if (c.from.x * c.from.y * c.from.z != 0 || c.kind != 1) {
            EXPECT_GT(k.checked, 100);
        }
        total += k.checked;
    }
    EXPECT_GT(total, 8000);
}

// Seeded random boxes from random directions, parallel and through cameras from far off
// down to inside the cluster.
TEST(HideMeshReference, RandomBoxesFromRandomViewpoints) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<double> u(-1, 1), dist(0.5, 30);
    int total = 0;
    for (int seed = 20; seed < 50; ++seed) {
        for (int cam = 0; cam < 2; ++cam) {
            const SceneCase c{"random", seed, {u(rng), u(rng), u(rng)}, cam ? dist(rng) : 0.0, 1, {0, 0, 0}};
            SCOPED_TRACE(testing::Message() << "seed " << seed << (cam ? " camera at " : " parallel") << c.camera);
            Scene s;
            World w;
            build(s, &w, c);
            s.look(c.from);
            if (c.camera > 0) s.camera_at({0, 0, 0}, c.from, c.camera);
            HideSettings set;
            set.linear = 0;
            const HideRunResult r = run_hide(s, true, set);
            ASSERT_EQ(r.code, 0);
            total += compare(s, w, r, 4).checked;
        }
    }
    EXPECT_GT(total, 20000);
}

// Two coplanar triangles whose shared edge crosses the near depth: both cut triangles
// meet the cut edge of the line work, so the angular tolerance still drops it.
TEST(HideMeshReference, SmoothEdgeAcrossTheNearDepth) {
    for (double degrees : {0.0, 5.0}) {
        Scene s;
        const Vec3 a{-2, -2, 0}, b{2, 2, 0}, c{2, -2, 0}, d{-2, 2, 0};
        MESH3* m = add_mesh(s.model.get());
        EXPECT_EQ(mesh_add_face(m, &a, &c, &b, nullptr, 0), 0);
        EXPECT_EQ(mesh_add_face(m, &a, &b, &d, nullptr, 0), 0);
        m->own_box();
        // Looking along the shared diagonal from above its middle: its near half is
        // behind the camera.
        s.look({-1, -1, 0.5});
        s.camera = rtc_make<CAMERA>();
        s.camera->position = {0.5f, 0.5f, 1};
        s.camera->target = {-1, -1, 0};
        s.camera->up = {0, 0, 1};
        s.camera->lens = 1;
        HideSettings set;
        set.linear = 0;
        set.angular = degrees * M_PI / 180;
        const HideRunResult r = run_hide(s, true, set);
        ASSERT_EQ(r.code, 0);
        EXPECT_EQ(r.counts.triangles, 4);  // each cut into two
        EXPECT_EQ(r.counts.wrong_triangles, 0);
        // The outline's edges crossing the near depth and the diagonal's near part.
        EXPECT_EQ(r.counts.edges, degrees > 0 ? 4 : 5) << segment_text(r.visible);
    }
}
