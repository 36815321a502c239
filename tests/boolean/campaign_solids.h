// Random pairs of the program's own solids for boolean campaigns: boxes from the Box
// command's geometry, cylinders and cones from the Cone command's, UV spheres and
// tori from the Sphere and Torus commands', prisms over non-convex outlines and
// letters from the 3D Text builder (through a small TrueType font made here). Each
// pair has a placement class (general position, a turned copy, face, edge and vertex
// contacts, tangency, a copy shifted along one axis, a nearly coincident copy) and a winding (as built, or the faces of one or both reversed);
// every operation's result is judged by solidcheck. Header only, without the test
// framework: the campaign test and the long campaign program share it.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "commands/boolean/csg.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/primitives.h"
#include "commands/model3d/text3d_solid.h"
#include "graphics/view/projection.h"
#include "model/mesh/mesh_block.h"
#include "model/rtc/rtc.h"
#include "tests/boolean/solid_check.h"
#include "tests/text3d/test_font.h"

namespace campaign {

using solidcheck::P3;
using Tris = std::vector<std::array<P3, 3>>;

enum Kind { kBox, kCylinder, kCone, kUvSphere, kTorus, kPrism, kLetter, kKinds };
inline const char* kind_name(int k) {
    static const char* names[] = {"box", "cylinder", "cone", "uv-sphere", "torus", "prism", "letter"};
    return names[k];
}
inline bool convex(int k) {
    return k == kBox || k == kCylinder || k == kCone || k == kUvSphere;
}

enum Placement {
    kGeneral,
    kTurnedCopy,
    kFaceContact,
    kEdgeContact,
    kVertexContact,
    kTangent,
    kShiftedCopy,
    kNearCopy,
    kPlacements
};
inline const char* placement_name(int p) {
    static const char* names[] = {"general", "turned-copy", "face", "edge", "vertex", "tangent", "shifted-copy",
                                  "near-copy"};
    return names[p];
}

// 0 as built, 1 A reversed, 2 B reversed, 3 both reversed.
inline const char* winding_name(int w) {
    static const char* names[] = {"as-built", "A-reversed", "B-reversed", "both-reversed"};
    return names[w];
}

// ---- The builders.

// The triangles of a built mesh with corners closer than 1e-6 made one and the
// faces this leaves without area dropped (a revolved solid's faces at its axis,
// whose copies of a pole differ in the last bits), as the engine does on loading.
inline Tris mesh_triangles(const MESH3* m) {
    const solidcheck::Soup s = solidcheck::welded(solidcheck::soup_of(m), 1e-6);
    Tris out;
    for (const auto& f : s.t) out.push_back({s.v[f[0]], s.v[f[1]], s.v[f[2]]});
    return out;
}

// The Box command's box: the corner and sizes along the plan view's axes.
inline Tris box(P3 corner, P3 size) {
    Vec3 c[8];
    box_corners(ViewProjection{}, {float(corner[0]), float(corner[1]), float(corner[2])}, size[0], size[1], size[2],
                c);
    std::unique_ptr<MESH3> m;
    if (box_mesh(c, kBoxAllFaces, &m) != 0) return {};
    return mesh_triangles(m.get());
}

inline Tris revolved(const RevolveProfiles& p, int steps) {
    std::unique_ptr<MESH3> m;
    if (revolve_profiles_mesh(p, steps, &m) != 0) return {};
    return mesh_triangles(m.get());
}

// The Cone command's solid from `top` down to the base centre `base` (kind 0
// truncated, 1 pointed, 2 cylinder), both caps.
inline Tris cone(P3 top, P3 base, double rb, double rt, int kind, int steps) {
    Draw3DSettings s;
    s.cone = kind;
    s.tops = 3;
    RevolveProfiles p;
    if (cone_profiles(ViewProjection{}, {float(top[0]), float(top[1]), float(top[2])},
                      {float(base[0]), float(base[1]), float(base[2])}, rb, rt, s, &p) != 0)
        return {};
    return revolved(p, steps);
}

// The Sphere command's sphere (ring 0) or the Torus command's torus about z.
inline Tris sphere(P3 centre, double ring, double radius, int rings, int steps) {
    Draw3DSettings s;
    s.faces_m = rings;
    RevolveProfiles p;
    if (sphere_profiles(ViewProjection{}, {float(centre[0]), float(centre[1]), float(centre[2])}, ring, radius, s,
                        &p) != 0)
        return {};
    return revolved(p, steps);
}

// A font of outlines for the 3D Text builder: 'L' and 'Z' straight non-convex
// prisms, 'O' a round ring (a hole), 'C' an open curve, 'E' a comb.
inline TestFont campaign_font() {
    TestFont f;
    f.glyphs['L'] = {{{{0, 0}, {0, 1000}, {300, 1000}, {300, 300}, {800, 300}, {800, 0}}}, 900};
    f.glyphs['Z'] = {{{{0, 0}, {0, 250}, {550, 750}, {0, 750}, {0, 1000}, {900, 1000}, {900, 750}, {350, 250},
                       {900, 250}, {900, 0}}},
                     1000};
    auto ring = [](int r, bool outer) {
        TestContour c;
        for (int i = 0; i < 8; ++i) {
            const double a = (outer ? -1 : 1) * i * 3.14159265358979 / 4;
            c.push_back({500 + int(std::lround(r * std::cos(a))), 500 + int(std::lround(r * std::sin(a))), false});
        }
        return c;
    };
    f.glyphs['O'] = {{ring(500, true), ring(280, false)}, 1000};
    f.glyphs['C'] = {{{{900, 200, true}, {500, -100, false}, {100, 200, false}, {0, 500, true}, {100, 800, false},
                       {500, 1100, false}, {900, 800, true}, {750, 700, true}, {500, 850, false}, {250, 700, false},
                       {220, 500, true}, {250, 300, false}, {500, 150, false}, {750, 300, true}}},
                     1000};
    f.glyphs['E'] = {{{{0, 0}, {0, 1000}, {800, 1000}, {800, 800}, {250, 800}, {250, 600}, {700, 600}, {700, 400},
                       {250, 400}, {250, 200}, {800, 200}, {800, 0}}},
                     900};
    return f;
}

// One glyph of the 3D Text builder, height h, depth d, chamfer c: front face at z 0,
// back at -d, the glyph's box from x, y 0.
class LetterMaker {
  public:
    LetterMaker() : bytes_(campaign_font().bytes()) { ok_ = glyph_font_open_memory(&font_, bytes_.data(), bytes_.size(), 0) == 0; }
    Tris make(char glyph, double h, double d, double c) {
        struct Keep : Text3dSink {
            std::vector<GlyphMesh> meshes;
            int begin_glyph() override { return 0; }
            int finish_glyph(GlyphMesh&& m) override {
                meshes.push_back(std::move(m));
                return 0;
            }
            void end(int) override {}
        } sink;
        Tris out;
        if (!ok_) return out;
        Text3dParams p = text3d_params(h, d, c);
        const char text[2] = {glyph, 0};
        if (text_solids_build_font(&font_, text, &p, &sink) != 0 || sink.meshes.size() != 1) return out;
        const GlyphMesh& g = sink.meshes[0];
        for (const GlyphFace& f : g.faces) {
            std::array<P3, 3> t;
            int k = 0;
            for (int32_t i : {f.a, f.b, f.c}) {
                const Vec3d& v = g.vertices[size_t(i)];
                t[k++] = {double(float(v.x)), double(float(v.y)), double(float(v.z))};
            }
            out.push_back(t);
        }
        return out;
    }

  private:
    std::vector<unsigned char> bytes_;
    GlyphFont font_;
    bool ok_ = false;
};

// ---- Moving, rounding and turning into meshes.

struct Rotation {
    double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    static Rotation about(P3 axis, double angle) {
        const double l = std::sqrt(solidcheck::dot(axis, axis));
        const double x = axis[0] / l, y = axis[1] / l, z = axis[2] / l, c = std::cos(angle), s = std::sin(angle),
                     t = 1 - c;
        Rotation r;
        const double v[3][3] = {{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
                                {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
                                {t * x * z - s * y, t * y * z + s * x, t * z * z + c}};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) r.m[i][j] = v[i][j];
        return r;
    }
    P3 apply(const P3& p) const {
        return {m[0][0] * p[0] + m[0][1] * p[1] + m[0][2] * p[2], m[1][0] * p[0] + m[1][1] * p[1] + m[1][2] * p[2],
                m[2][0] * p[0] + m[2][1] * p[1] + m[2][2] * p[2]};
    }
};

// Turned about `pivot`, then moved by `shift`; corners rounded to float as a drawing
// keeps them.
inline Tris moved(const Tris& in, const Rotation& r, P3 pivot, P3 shift) {
    Tris out = in;
    for (auto& t : out)
        for (P3& p : t) {
            const P3 q = r.apply({p[0] - pivot[0], p[1] - pivot[1], p[2] - pivot[2]});
            for (int k = 0; k < 3; ++k) p[k] = double(float(q[k] + pivot[k] + shift[k]));
        }
    return out;
}

inline Tris reversed(Tris in) {
    for (auto& t : in) std::swap(t[1], t[2]);
    return in;
}

inline void bounds(const Tris& t, P3* lo, P3* hi) {
    *lo = {1e300, 1e300, 1e300};
    *hi = {-1e300, -1e300, -1e300};
    for (const auto& tri : t)
        for (const P3& p : tri)
            for (int k = 0; k < 3; ++k) (*lo)[k] = std::min((*lo)[k], p[k]), (*hi)[k] = std::max((*hi)[k], p[k]);
}

// One face block over shared corners, as the mesh commands build it.
inline std::unique_ptr<MESH3> to_mesh(const Tris& tris) {
    const solidcheck::Soup s = solidcheck::soup_of(tris);
    auto m = rtc_make<MESH3>();
    MeshFaceBlock* b = mesh_face_block(m.get(), 0);
    for (const P3& p : s.v) b->vertices.push_back(MeshVertex{float(p[0]), float(p[1]), float(p[2]), {0, 0, 0, 0, 0, 0}});
    MeshEdgeHash hash;
    (void)mesh_edge_hash_init(&hash, b, int32_t(s.t.size() * 3 / 2 + 1));
    for (const auto& f : s.t)
        if (f[0] != f[1] && f[1] != f[2] && f[0] != f[2])
            (void)mesh_add_triangle(b, f[0], f[1], f[2], &hash);
    return m;
}

// ---- Pairs.

struct Pair {
    int kind_a = 0, kind_b = 0, placement = 0, winding = 0;
    Tris a, b;
    bool turned_frame = false;  // both moved by one random turn after placing
    bool thin = false;          // A is thinner than the check's lines are apart
};

// Both solids of a pair with every face reversed: the same pair in the other winding.
inline void turn_over(Pair& p) {
    p.a = reversed(p.a);
    p.b = reversed(p.b);
    p.winding ^= 3;
}

// The class a pair is counted under: its placement, "turned" for a turned frame, and
// its winding (as built, both reversed, or one of them reversed).
inline std::string class_name(const Pair& p) {
    return std::string(placement_name(p.placement)) + (p.turned_frame ? " turned " : " ") +
           (p.winding == 0 ? "as-built" : p.winding == 3 ? "reversed" : "mixed");
}

// Sizes about 4 to 30 units; every solid built axis-aligned with its low corner
// (bounding box) at the origin before it is placed.
class Maker {
  public:
    explicit Maker(uint64_t seed) : rng_(seed) {}
    // Pairs made after this depend on `seed` only.
    void reseed(uint64_t seed) { rng_.seed(seed); }

    Pair pair() {
        Pair p;
        p.placement = int(pick(kPlacements));
        p.winding = int(pick(4));
        switch (p.placement) {
            case kGeneral: general(&p); break;
            case kTurnedCopy: turned_copy(&p); break;
            case kFaceContact: face_contact(&p); break;
            case kEdgeContact: edge_contact(&p); break;
            case kVertexContact: vertex_contact(&p); break;
            case kTangent: tangent(&p); break;
            case kShiftedCopy: shifted_copy(&p); break;
            default: near_copy(&p); break;
        }
        if (p.winding & 1) p.a = reversed(p.a);
        if (p.winding & 2) p.b = reversed(p.b);
        return p;
    }

    // The pair with both solids turned and moved by one random motion (corners rounded
    // to float again): contacts in a turned frame, whose faces are in one plane no more.
    Pair turned_frame(Pair p) {
        const Rotation r = any_turn();
        const P3 shift = {uni(-20, 20), uni(-20, 20), uni(-20, 20)};
        p.a = moved(p.a, r, {0, 0, 0}, shift);
        p.b = moved(p.b, r, {0, 0, 0}, shift);
        p.turned_frame = true;
        return p;
    }

    // A third solid for a result with corners `t`: a random solid turned at random,
    // its centre within half of t's size of t's centre; one time in four a box far off.
    Tris third(const Tris& t, int* kind) {
        P3 lo, hi;
        bounds(t, &lo, &hi);
        if (pick(4) == 0) {
            *kind = kBox;
            return box({hi[0] + uni(1, 20), hi[1] + uni(1, 20), lo[2]}, {uni(4, 30), uni(4, 30), uni(4, 30)});
        }
        *kind = int(pick(kKinds));
        const Tris c = solid(*kind);
        const P3 ct = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2}, cc = centre(c);
        const P3 to = {uni(-0.5, 0.5) * (hi[0] - lo[0]), uni(-0.5, 0.5) * (hi[1] - lo[1]), uni(-0.5, 0.5) * (hi[2] - lo[2])};
        return moved(c, any_turn(), cc, {ct[0] - cc[0] + to[0], ct[1] - cc[1] + to[1], ct[2] - cc[2] + to[2]});
    }

    // A solid of `kind` with its bounding box's low corner at the origin, upright
    // (revolved solids about z, letters with their depth along z).
    Tris solid(int kind) {
        Tris t;
        switch (kind) {
            case kBox: t = box({0, 0, 0}, {uni(4, 30), uni(4, 30), uni(4, 30)}); break;
            case kCylinder: {
                const double r = uni(2, 12);
                t = cone({0, 0, uni(4, 30)}, {0, 0, 0}, r, r, 2, int(pick(20)) + 8);
                break;
            }
            case kCone: t = cone({0, 0, uni(4, 30)}, {0, 0, 0}, uni(2, 12), uni(0, 6), int(pick(2)), int(pick(20)) + 8); break;
            case kUvSphere: t = sphere({0, 0, 0}, 0, uni(3, 15), int(pick(20)) + 6, int(pick(24)) + 8); break;
            case kTorus: {
                const double tube = uni(1.5, 5);
                t = sphere({0, 0, 0}, tube + uni(1, 10), tube, int(pick(12)) + 6, int(pick(24)) + 8);
                break;
            }
            default: {
                static const char prisms[] = "LZE", letters[] = "OC";
                const char g = kind == kPrism ? prisms[pick(3)] : letters[pick(2)];
                const double d = uni(3, 20);
                t = letters_.make(g, uni(8, 30), d, pick(2) ? 0.0 : uni(0.1, 0.5));
                break;
            }
        }
        P3 lo, hi;
        bounds(t, &lo, &hi);
        return moved(t, Rotation{}, {0, 0, 0}, {-lo[0], -lo[1], -lo[2]});
    }

  private:
    double uni(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng_); }
    uint64_t pick(uint64_t n) { return std::uniform_int_distribution<uint64_t>(0, n - 1)(rng_); }
    Rotation any_turn() { return Rotation::about({uni(-1, 1), uni(-1, 1), uni(-1, 1) + 1e-3}, uni(0, 6.28318)); }

    static P3 centre(const Tris& t) {
        P3 lo, hi;
        bounds(t, &lo, &hi);
        return {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    }

    // Both solids turned at random, B's centre within half of A's size of A's centre.
    void general(Pair* p) {
        p->kind_a = int(pick(kKinds));
        p->kind_b = int(pick(kKinds));
        const Tris a = solid(p->kind_a), b = solid(p->kind_b);
        P3 lo, hi;
        bounds(a, &lo, &hi);
        const P3 ca = centre(a), cb = centre(b);
        p->a = moved(a, any_turn(), ca, {0, 0, 0});
        const P3 to = {uni(-0.5, 0.5) * (hi[0] - lo[0]), uni(-0.5, 0.5) * (hi[1] - lo[1]), uni(-0.5, 0.5) * (hi[2] - lo[2])};
        p->b = moved(b, any_turn(), cb, {ca[0] - cb[0] + to[0], ca[1] - cb[1] + to[1], ca[2] - cb[2] + to[2]});
    }

    // B is A turned a little about an axis through A's centre, maybe moved a little.
    void turned_copy(Pair* p) {
        p->kind_a = p->kind_b = int(pick(kKinds));
        const Tris a = solid(p->kind_a);
        const P3 c = centre(a);
        p->a = a;
        const double s = pick(2) ? uni(0, 1) : 0;
        p->b = moved(a, Rotation::about({uni(-1, 1), uni(-1, 1), uni(-1, 1) + 1e-3}, uni(0.02, 0.6)), c,
                     {uni(-s, s), uni(-s, s), uni(-s, s)});
    }

    // B is A moved along one axis by up to its size that way: A's faces across the
    // other two axes (a box's sides, a cylinder's wall) lie in B's planes.
    void shifted_copy(Pair* p) {
        p->kind_a = p->kind_b = int(pick(kKinds));
        p->a = solid(p->kind_a);
        P3 lo, hi;
        bounds(p->a, &lo, &hi);
        const int axis = int(pick(3));
        P3 shift = {0, 0, 0};
        shift[size_t(axis)] = uni(-1, 1) * (hi[size_t(axis)] - lo[size_t(axis)]);
        p->b = moved(p->a, Rotation{}, {0, 0, 0}, shift);
    }

    // B is A moved by a millionth to a thousandth of its size, one time in two also
    // turned by as little about its centre: faces a few float steps apart, some
    // corners still equal.
    void near_copy(Pair* p) {
        p->kind_a = p->kind_b = int(pick(kKinds));
        p->a = solid(p->kind_a);
        P3 lo, hi;
        bounds(p->a, &lo, &hi);
        const double size = std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
        const double hair = std::pow(10.0, uni(-6, -3));
        P3 dir = {uni(-1, 1), uni(-1, 1), uni(-1, 1) + 1e-3};
        const double l = std::sqrt(solidcheck::dot(dir, dir));
        const P3 shift = {dir[0] / l * hair * size, dir[1] / l * hair * size, dir[2] / l * hair * size};
        const Rotation r = pick(2) ? Rotation::about({uni(-1, 1), uni(-1, 1), uni(-1, 1) + 1e-3}, hair) : Rotation{};
        p->b = moved(p->a, r, centre(p->a), shift);
    }

    // A box from the Box command; B stands on its top face (outside, overhanging or
    // not) or hangs from it inside (the top faces coincide).
    void face_contact(Pair* p) {
        static const int flat[] = {kBox, kCylinder, kCone, kPrism, kLetter};
        p->kind_a = kBox;
        p->kind_b = flat[pick(5)];
        p->a = box({uni(-5, 5), uni(-5, 5), uni(-5, 5)}, {uni(4, 30), uni(4, 30), uni(4, 30)});
        const Tris b = solid(p->kind_b);
        P3 alo, ahi, blo, bhi;
        bounds(p->a, &alo, &ahi);
        bounds(b, &blo, &bhi);
        const bool inside = pick(3) == 0;
        // B stands on its lowest face as built: a cone's base, a letter's back.
        const double z = inside ? ahi[2] - bhi[2] : ahi[2];
        const Rotation turn = Rotation::about({0, 0, 1}, pick(2) ? uni(0, 6.28318) : 0);
        const P3 at = {uni(alo[0] - bhi[0] / 2, ahi[0] - bhi[0] / 2), uni(alo[1] - bhi[1] / 2, ahi[1] - bhi[1] / 2), z};
        p->b = moved(b, turn, {bhi[0] / 2, bhi[1] / 2, 0}, at);
        if (inside) p->b = level_top(p->b, ahi[2]);
        else p->b = level_bottom(p->b, ahi[2]);
    }

    // Two boxes along a common edge, or a box turned 45 degrees on its edge on A's top.
    void edge_contact(Pair* p) {
        p->kind_a = p->kind_b = kBox;
        p->a = box({0, 0, 0}, {uni(4, 30), uni(4, 30), uni(4, 30)});
        P3 lo, hi;
        bounds(p->a, &lo, &hi);
        const P3 size = {uni(4, 30), uni(4, 30), uni(4, 30)};
        if (pick(2)) {
            p->b = box({hi[0], hi[1], uni(-size[2] + 1, hi[2] - 1)}, size);
        } else {
            const Tris b = box({0, 0, 0}, size);
            const Rotation turn = Rotation::about({1, 0, 0}, 0.78539816339744831);
            const P3 at = {uni(-size[0] / 2, hi[0] - size[0] / 2), uni(0, hi[1]), 0};
            p->b = level_bottom(moved(b, turn, {0, size[1] / 2, size[2] / 2}, at), hi[2]);
        }
    }

    // A cone's point on a box's top face, or two boxes corner to corner.
    void vertex_contact(Pair* p) {
        p->kind_a = kBox;
        p->a = box({0, 0, 0}, {uni(4, 30), uni(4, 30), uni(4, 30)});
        P3 lo, hi;
        bounds(p->a, &lo, &hi);
        if (pick(2)) {
            p->kind_b = kCone;
            const double h = uni(4, 20);
            const P3 tip = {uni(0, hi[0]), uni(0, hi[1]), hi[2]};
            p->b = cone({double(float(tip[0])), double(float(tip[1])), hi[2]}, {tip[0], tip[1], hi[2] + h},
                        uni(2, 8), 0, 1, int(pick(20)) + 8);
        } else {
            p->kind_b = kBox;
            p->b = box({hi[0], hi[1], hi[2]}, {uni(4, 30), uni(4, 30), uni(4, 30)});
        }
    }

    // A UV sphere or a torus resting on a box's top face or on another sphere, or a
    // cylinder lying on its side on the face.
    void tangent(Pair* p) {
        const int what = int(pick(4));
        if (what == 3) {
            p->kind_a = p->kind_b = kUvSphere;
            p->a = sphere({0, 0, 0}, 0, uni(3, 15), int(pick(20)) + 6, int(pick(24)) + 8);
            P3 lo, hi;
            bounds(p->a, &lo, &hi);
            const Tris b = sphere({0, 0, 0}, 0, uni(3, 15), int(pick(20)) + 6, int(pick(24)) + 8);
            p->b = level_bottom(b, hi[2]);
            return;
        }
        p->kind_a = kBox;
        p->a = box({0, 0, 0}, {uni(4, 30), uni(4, 30), uni(4, 30)});
        P3 lo, hi;
        bounds(p->a, &lo, &hi);
        Tris b;
        if (what == 0) {
            p->kind_b = kUvSphere;
            b = solid(kUvSphere);
        } else if (what == 1) {
            p->kind_b = kTorus;
            b = solid(kTorus);
        } else {
            p->kind_b = kCylinder;
            b = moved(solid(kCylinder), Rotation::about({0, 1, 0}, 1.5707963267948966), {0, 0, 0}, {0, 0, 0});
        }
        P3 blo, bhi;
        bounds(b, &blo, &bhi);
        const P3 at = {uni(-bhi[0] / 2, hi[0]) - blo[0], uni(-bhi[1] / 2, hi[1]) - blo[1], 0};
        p->b = level_bottom(moved(b, Rotation{}, {0, 0, 0}, at), hi[2]);
    }

    // Moved along z so its lowest (highest) corner lies at z exactly.
    static Tris level_bottom(const Tris& t, double z) {
        P3 lo, hi;
        bounds(t, &lo, &hi);
        return snap(moved(t, Rotation{}, {0, 0, 0}, {0, 0, z - lo[2]}), z);
    }
    static Tris level_top(const Tris& t, double z) {
        P3 lo, hi;
        bounds(t, &lo, &hi);
        return snap(moved(t, Rotation{}, {0, 0, 0}, {0, 0, z - hi[2]}), z);
    }
    // Corners that rounding left a hair off the contact plane put onto it.
    static Tris snap(Tris t, double z) {
        for (auto& tri : t)
            for (P3& q : tri)
                if (std::fabs(q[2] - z) <= 1e-5 * (1 + std::fabs(z))) q[2] = z;
        return t;
    }

    std::mt19937_64 rng_;
    LetterMaker letters_;
};

// ---- Running a pair.

struct OpOutcome {
    solidcheck::Verdict verdict = solidcheck::Verdict::right;
    int code = 0;
    std::string why;
    std::string gave_way;  // why the exact cut gave way, when it did
    double seconds = 0;
    std::shared_ptr<MESH3> result;  // kept when run_pair is asked to
};

struct PairOutcome {
    OpOutcome op[4];  // union, intersection, A - B, B - A
    bool inputs_sound = true;
    bool fine_edges = false;  // an input has an edge shorter than the engine's tolerance
};

inline double shortest_edge(const Tris& t) {
    double best = 1e300;
    for (const auto& tri : t)
        for (int k = 0; k < 3; ++k) {
            const P3 d = solidcheck::sub(tri[k], tri[(k + 1) % 3]);
            best = std::min(best, std::sqrt(solidcheck::dot(d, d)));
        }
    return best;
}

// How far a right result's volume may stray beyond the figure's own tolerance. Where
// the solids touch or nearly coincide the engine may merge corners within its
// tolerance: a face may move that far, so the volume may move by the tolerance times
// the smaller surface. In general position no face moves, and such an allowance would
// hide a small piece lost or a shell left inside the other.
inline double volume_allowance(const Pair& p, const solidcheck::Soup& sa, const solidcheck::Soup& sb) {
    if (p.placement == kGeneral) return 0;
    return kCsgTolerance * std::min(solidcheck::surface_area(sa), solidcheck::surface_area(sb));
}

inline PairOutcome run_pair(const Pair& p, int lines = 96, bool keep = false) {
    PairOutcome out;
    const solidcheck::Soup sa = solidcheck::soup_of(p.a), sb = solidcheck::soup_of(p.b);
    if (solidcheck::unmatched_edges(sa) || solidcheck::unmatched_edges(sb) || p.a.empty() || p.b.empty()) {
        out.inputs_sound = false;
        return out;
    }
    out.fine_edges = std::min(shortest_edge(p.a), shortest_edge(p.b)) < kCsgTolerance;
    const solidcheck::Expected e =
        solidcheck::expected_volumes(sa, sb, convex(p.kind_a) && convex(p.kind_b), lines, p.thin);
    const double slack = volume_allowance(p, sa, sb);
    auto ma = to_mesh(p.a), mb = to_mesh(p.b);
    // A figure that finds a result wrong is made again by lines, finer and along every
    // axis, before the verdict stands: a face that the lines run along, or a sliver
    // between them, can mislead one coarse estimate, and the clipped figure of nearly
    // coinciding convex copies can lose a face that their triangles bend apart. The
    // clipped figure stands where the finer lines agree with it.
    std::optional<solidcheck::Expected> finer;
    for (int op = 0; op < 4; ++op) {
        CsgStatus st;
        const auto t0 = std::chrono::steady_clock::now();
        auto r = op < 3 ? csg_boolean(ma.get(), mb.get(), op, &st) : csg_boolean(mb.get(), ma.get(), kCsgSubtraction, &st);
        out.op[op].seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        solidcheck::Judgement j = solidcheck::judge_call(r.get(), st.code, e, op, slack);
        if (j.verdict == solidcheck::Verdict::wrong && j.shape.closed() && !j.shape.no_area) {
            if (!finer) finer = solidcheck::expected_volumes(sa, sb, false, 3 * lines, true);
            if (e.by_lines || std::fabs(e.common - finer->common) > finer->tolerance)
                j = solidcheck::judge_call(r.get(), st.code, *finer, op, slack);
        }
        out.op[op].verdict = j.verdict;
        out.op[op].code = st.code;
        out.op[op].gave_way = st.gave_way;
        out.op[op].why = j.verdict == solidcheck::Verdict::refused ? st.diagnostic : j.why;
        if (keep) out.op[op].result = std::move(r);
    }
    return out;
}

// A chain: the pair's four results, and each right and non-empty one combined again
// with a third solid (the pair's winding kept: the result and the third solid reversed
// as A and B were). `again[op]` is the outcome of result op with the third solid.
struct ChainOutcome {
    PairOutcome first;
    PairOutcome again[4];
    bool ran[4] = {false, false, false, false};
};

// The pair of a chain campaign's `seed`: contacts and copies of even seeds are turned
// into a random frame, where their faces no longer lie along the axes.
inline Pair chain_pair(Maker& maker, uint64_t seed) {
    maker.reseed(seed);
    Pair p = maker.pair();
    if (seed % 2 == 0 && p.placement != kGeneral) p = maker.turned_frame(p);
    return p;
}

// `keep`: the second operations' results are kept too. `only`: the result whose
// second operations run (-1 for all); the others' third solids are drawn as well, so
// every third solid is the one of a whole chain.
inline ChainOutcome run_chain(const Pair& p, Maker& maker, int lines = 64, bool keep = false, int only = -1) {
    ChainOutcome out;
    out.first = run_pair(p, lines, true);
    for (int op = 0; op < 4; ++op) {
        const OpOutcome& o = out.first.op[op];
        if (o.verdict != solidcheck::Verdict::right || !o.result) continue;
        const solidcheck::Soup s = solidcheck::soup_of(o.result.get());
        if (s.t.empty()) continue;
        Pair q;
        q.kind_a = kPrism;  // a result is judged as a solid of any shape
        q.placement = kGeneral;
        q.winding = p.winding;
        for (const auto& f : s.t) q.a.push_back({s.v[f[0]], s.v[f[1]], s.v[f[2]]});
        // The result comes pointing outward whatever the winding of its operands.
        if (p.winding & 1) q.a = reversed(q.a);
        q.b = maker.third(q.a, &q.kind_b);
        if (p.winding & 2) q.b = reversed(q.b);
        // A result thinner than the lines' spacing: the sliver between nearly coincident
        // copies (see solidcheck::expected_volumes), judged with lines four times as dense.
        P3 lo, hi;
        bounds(q.a, &lo, &hi);
        const double size = std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
        q.thin = 2 * std::fabs(solidcheck::signed_volume(s)) / solidcheck::surface_area(s) < size / lines;
        if (only >= 0 && op != only) continue;
        out.again[op] = run_pair(q, q.thin ? 4 * lines : lines, keep);
        out.ran[op] = true;
    }
    return out;
}

}  // namespace campaign
