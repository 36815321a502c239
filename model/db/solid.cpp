// Meshes, cameras and lights: field lifetimes, copies, image references and the
// glyphs their walks report.
#include "model/db/solid.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/db/iter.h"
#include "model/db/patt.h"
#include "model/math/result.h"
#include "model/math/vec.h"
#include "model/material/material.h"

RTC_CLASS_RECORD(MESH3, "MESH3", &object::rtc_class, 4, &MESH3::init_level, &rtc_copy_slot<MESH3>,
                 nullptr, true, true);
RTC_CLASS_RECORD(CAMERA, "CAMERA", &object::rtc_class, 4, &CAMERA::init_level,
                 &rtc_copy_slot<CAMERA>, nullptr, true, true);
RTC_CLASS_RECORD(LIGHT, "LIGHT", &object::rtc_class, 4, nullptr, &rtc_copy_slot<LIGHT>, nullptr,
                 true, true);
RTC_CLASS_RECORD(SPOTLITE, "SPOTLITE", &LIGHT::rtc_class, 5, nullptr, &rtc_copy_slot<SPOTLITE>,
                 nullptr, true, true);

void edge_pair_vertices(const MeshEdge& a, const MeshEdge& b, int32_t* first, int32_t* shared,
                        int32_t* last) {
    int32_t s;
    if (a.v[0] == b.v[0] || a.v[0] == b.v[1]) {
        s = a.v[0];
    } else {
        s = a.v[1];
    }
    *shared = s;
    *first = (a.v[0] == s) ? a.v[1] : a.v[0];
    *last = (b.v[0] == s) ? b.v[1] : b.v[0];
}

// Only an image pattern is stored as an image; a new reference of another class
// leaves the slot as it was (it is still reported).
int material_replace_image(MaterialRecord* m, RTC* old_ref, RTC* new_ref) {
    if (!m || !old_ref) return 0;
    int found = 0;
    for (TextureSlot& slot : m->slots) {
        if (slot.kind != kTextureImage || static_cast<RTC*>(slot.mapping.image) != old_ref)
            continue;
        found = 1;
        if (new_ref == old_ref) continue;
        if (!new_ref) {
            slot.kind = kTextureNone;
        } else if (auto* image = rtc_cast<MATRPATT>(new_ref)) {
            slot.mapping.image = image;
        }
    }
    return found;
}

// Gives `dst` its own copy of `src` (making the record when missing). 0 or 8.
static int copy_owned_material(MaterialRecord*& dst, const MaterialRecord* src) {
    if (!dst && !(dst = material_new())) return kOutOfMemory;
    if (src && material_copy(dst, src) != 0) return kOutOfMemory;
    return 0;
}

// ---- MESH3

MESH3::~MESH3() {
    material_free(&material);
    free_blocks();
}

void MESH3::free_blocks() {
    while (blocks) {
        MeshFaceBlock* b = blocks;
        blocks = b->next;
        delete b;
    }
}

int MESH3::init_level(RTC* obj) {
    auto* m = static_cast<MESH3*>(obj);
    m->material = material_new();
    return m->material ? 0 : kOutOfMemory;
}

int MESH3::replace_ref(RTC* old_ref, RTC* new_ref) {
    return material_replace_image(material, old_ref, new_ref);
}

int MESH3::report(ZITER* it) {
    for (const MeshFaceBlock* b = blocks; b; b = b->next) {
        const auto& v = b->vertices;
        const auto nv = static_cast<int32_t>(v.size());
        auto valid = [nv](int32_t i) { return i >= 0 && i < nv; };
        if (it->points_only()) {
            for (const MeshVertex& p : v) {
                if (int r = it->move_to(p.x, p.y, p.z, 0, 0)) return r;
            }
        } else {
            for (const MeshEdge& e : b->edges) {
                if (e.flags & kEdgeHidden || !valid(e.v[0]) || !valid(e.v[1])) continue;
                const MeshVertex& a = v[e.v[0]];
                const MeshVertex& c = v[e.v[1]];
                if (int r = it->move_to(a.x, a.y, a.z, 0, 0)) return r;
                if (int r = it->line_to(c.x, c.y, c.z, 0, 0)) return r;
            }
        }
        if (!it->wants_triangles()) continue;
        const auto ne = static_cast<int32_t>(b->edges.size());
        for (const MeshFace& f : b->faces) {
            if (f.e[0] < 0 || f.e[0] >= ne || f.e[1] < 0 || f.e[1] >= ne) continue;
            int32_t i0, i1, i2;
            edge_pair_vertices(b->edges[f.e[0]], b->edges[f.e[1]], &i0, &i1, &i2);
            if (!valid(i0) || !valid(i1) || !valid(i2)) continue;
            const Vec3d p0 = {v[i0].x, v[i0].y, v[i0].z};
            const Vec3d p1 = {v[i1].x, v[i1].y, v[i1].z};
            const Vec3d p2 = {v[i2].x, v[i2].y, v[i2].z};
            if (int r = it->triangle(p0, p1, p2)) return r;
        }
    }
    return 0;
}

int MESH3::copy_level(const MESH3& src) {
    if (rtc_copy_base(&src, this, &MESH3::rtc_class) != 0) return kOutOfMemory;
    if (copy_owned_material(material, src.material) != 0) return kOutOfMemory;
    MeshFaceBlock* head = nullptr;
    MeshFaceBlock** tail = &head;
    try {
        for (const MeshFaceBlock* b = src.blocks; b; b = b->next) {
            auto* copy = new MeshFaceBlock(*b);
            copy->next = nullptr;
            *tail = copy;
            tail = &copy->next;
        }
    } catch (const std::bad_alloc&) {
        while (head) {
            MeshFaceBlock* n = head->next;
            delete head;
            head = n;
        }
        return kOutOfMemory;
    }
    free_blocks();
    blocks = head;
    word1 = src.word1;
    word2 = src.word2;
    return 0;
}

// ---- CAMERA

CAMERA::~CAMERA() {
    material_free(&material);
    delete keys;
}

int CAMERA::init_level(RTC* obj) {
    auto* c = static_cast<CAMERA*>(obj);
    c->material = material_new();
    return c->material ? 0 : kOutOfMemory;
}

int CAMERA::replace_ref(RTC* old_ref, RTC* new_ref) {
    return material_replace_image(material, old_ref, new_ref);
}

// Square of 6 pixels around a point.
static int report_square(ZITER* it, const Vec3& p) {
    static const int kCorners[5][2] = {{-3, -3}, {3, -3}, {3, 3}, {-3, 3}, {-3, -3}};
    if (int r = it->move_to(p.x, p.y, p.z, kCorners[0][0], kCorners[0][1])) return r;
    for (int i = 1; i < 5; ++i) {
        if (int r = it->line_to(p.x, p.y, p.z, kCorners[i][0], kCorners[i][1])) return r;
    }
    return 0;
}

static int move_d(ZITER* it, const Vec3d& p) {
    return it->move_to(p.x, p.y, p.z, 0, 0);
}
static int line_d(ZITER* it, const Vec3d& p) {
    return it->line_to(p.x, p.y, p.z, 0, 0);
}

static Vec3d to_d(const Vec3& v) {
    return {v.x, v.y, v.z};
}
static Vec3d add_scaled(const Vec3d& a, const Vec3d& b, double t) {
    return {a.x + b.x * t, a.y + b.y * t, a.z + b.z * t};
}

int CAMERA::report(ZITER* it) {
    if (it->points_only()) return it->move_to(position.x, position.y, position.z, 0, 0);
    if (int r = report_square(it, position)) return r;
    if (int r = report_square(it, target)) return r;

    const Vec3d pos = to_d(position), tgt = to_d(target), u = to_d(up), s = to_d(side);
    const double dist =
        std::sqrt((tgt.x - pos.x) * (tgt.x - pos.x) + (tgt.y - pos.y) * (tgt.y - pos.y) +
                  (tgt.z - pos.z) * (tgt.z - pos.z));
    const double h = (lens != 0.0) ? dist / lens * 0.5 : 0.0;
    // Frame corners: c0 bottom left, c1 bottom right, c2 top right, c3 top left.
    const Vec3d c0 = add_scaled(add_scaled(tgt, u, -h), s, -h);
    const Vec3d c1 = add_scaled(add_scaled(tgt, u, -h), s, h);
    const Vec3d c2 = add_scaled(add_scaled(tgt, u, h), s, h);
    const Vec3d c3 = add_scaled(add_scaled(tgt, u, h), s, -h);
    int r;
    if ((r = move_d(it, c0)) || (r = line_d(it, c1)) || (r = line_d(it, c2)) ||
        (r = line_d(it, c3)) || (r = line_d(it, c0)))
        return r;
    // Two strokes from opposite corners through the eye, and the up marker above
    // the frame's top edge.
    const Vec3d apex = add_scaled(tgt, u, h * 1.5);
    if ((r = move_d(it, c0)) || (r = line_d(it, pos)) || (r = line_d(it, c2))) return r;
    if ((r = move_d(it, c1)) || (r = line_d(it, pos)) || (r = line_d(it, c3))) return r;
    if ((r = move_d(it, c3)) || (r = line_d(it, apex)) || (r = line_d(it, c2))) return r;
    return 0;
}

int CAMERA::copy_level(const CAMERA& src) {
    if (rtc_copy_base(&src, this, &CAMERA::rtc_class) != 0) return kOutOfMemory;
    if (copy_owned_material(material, src.material) != 0) return kOutOfMemory;
    CameraKeys* k = nullptr;
    if (src.keys) {
        try {
            k = new CameraKeys(*src.keys);
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
    }
    delete keys;
    keys = k;
    position = src.position;
    target = src.target;
    up = src.up;
    side = src.side;
    lens = src.lens;
    for (int i = 0; i < 3; ++i) words[i] = src.words[i];
    roll = src.roll;
    fov = src.fov;
    word = src.word;
    return 0;
}

// ---- LIGHT

LIGHT::~LIGHT() {
    delete keys;
}

static int report_star(ZITER* it, const Vec3& p) {
    static const int kStrokes[4][4] = {
        {-4, 0, 4, 0}, {0, -4, 0, 4}, {-3, -3, 3, 3}, {-3, 3, 3, -3}};
    for (const auto& s : kStrokes) {
        if (int r = it->move_to(p.x, p.y, p.z, s[0], s[1])) return r;
        if (int r = it->line_to(p.x, p.y, p.z, s[2], s[3])) return r;
    }
    return 0;
}

int LIGHT::report(ZITER* it) {
    if (it->points_only()) return it->move_to(position.x, position.y, position.z, 0, 0);
    return report_star(it, position);
}

int LIGHT::copy_level(const LIGHT& src) {
    if (rtc_copy_base(&src, this, &LIGHT::rtc_class) != 0) return kOutOfMemory;
    LightKeys* k = nullptr;
    if (src.keys) {
        try {
            k = new LightKeys(*src.keys);
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
    }
    delete keys;
    keys = k;
    for (int i = 0; i < 4; ++i) light_colour[i] = src.light_colour[i];
    position = src.position;
    return 0;
}

// ---- SPOTLITE

// Radius of a cone at distance d from its apex, from the cosine of its half-angle.
static double cone_radius(float cosine, double d) {
    const double c = std::clamp(static_cast<double>(cosine), -1.0, 1.0);
    double half = std::acos(c);
    if (half == std::numbers::pi / 2) half = std::numbers::pi / 2 - 0.01;
    const double r = std::tan(half) * d;
    return std::clamp(r, -30000.0, 30000.0);
}

static int report_circle(ZITER* it, const Vec3d pts[16]) {
    int r;
    if ((r = move_d(it, pts[0]))) return r;
    for (int i = 1; i < 16; ++i) {
        if ((r = line_d(it, pts[i]))) return r;
    }
    return line_d(it, pts[0]);
}

int SPOTLITE::report(ZITER* it) {
    int r;
    if (it->points_only()) {
        if ((r = it->move_to(position.x, position.y, position.z, 0, 0))) return r;
        if ((r = it->move_to(target.x, target.y, target.z, 0, 0))) return r;
    } else {
        if ((r = report_star(it, position))) return r;
        if ((r = it->move_to(target.x, target.y, target.z, -3, -3)) ||
            (r = it->line_to(target.x, target.y, target.z, 3, 3)) ||
            (r = it->move_to(target.x, target.y, target.z, -3, 3)) ||
            (r = it->line_to(target.x, target.y, target.z, 3, -3)))
            return r;
    }
    const Vec3d pos = to_d(position), tgt = to_d(target);
    if ((r = move_d(it, pos)) || (r = line_d(it, tgt))) return r;

    Vec3 uf = {0, 0, 0}, wf = {0, 0, 0};
    const double d = frame_from_direction(&position, &target, &uf, &wf);
    const Vec3d u = to_d(uf), w = to_d(wf);
    Vec3d circle[16];
    auto make_circle = [&](double radius) {
        for (int i = 0; i < 16; ++i) {
            const double a = i * std::numbers::pi / 8;
            circle[i] =
                add_scaled(add_scaled(tgt, u, radius * std::cos(a)), w, radius * std::sin(a));
        }
    };
    const double r1 = cone_radius(cone_cos[0], d);
    make_circle(r1);
    if ((r = report_circle(it, circle))) return r;
    for (int i = 0; i < 16; i += 2) {
        if ((r = move_d(it, circle[i])) || (r = line_d(it, pos)) ||
            (r = line_d(it, circle[(i + 2) % 16])))
            return r;
    }
    const double r2 = cone_radius(cone_cos[1], d);
    if (r2 != r1) {
        make_circle(r2);
        if ((r = report_circle(it, circle))) return r;
    }
    return 0;
}

int SPOTLITE::copy_level(const SPOTLITE& src) {
    if (rtc_copy_base(&src, this, &SPOTLITE::rtc_class) != 0) return kOutOfMemory;
    target = src.target;
    word = src.word;
    cone_cos[0] = src.cone_cos[0];
    cone_cos[1] = src.cone_cos[1];
    return 0;
}
