// Fuzz target for the boolean engine and mesh reduction. The bytes give two small
// triangle soups (up to sixteen triangles each) with corners on a 0.005 grid (so
// corners fall within the welding tolerance of each other), an answer for the dangling-faces question, the boolean
// operations to run and a reduction percentage. The chosen operations (union,
// intersection, subtraction, or all three), join and reduction run; every result must
// hold vertex and edge indices in range, finite coordinates and no face with a
// repeated corner.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "commands/boolean/csg.h"
#include "commands/boolean/mesh_reduce.h"
#include "model/mesh/mesh_block.h"
#include "model/rtc/rtc.h"
#include "model/services/log.h"
#include "model/services/msgbox.h"

namespace {

struct Reader {
    const uint8_t* p;
    size_t n;
    uint8_t byte() {
        if (n == 0) return 0;
        --n;
        return *p++;
    }
    double coordinate() {
        const auto v = static_cast<int16_t>(byte() | (byte() << 8));
        return (v % 1000) * 0.005;  // -4.995 .. 4.995 on the 0.005 grid
    }
};

std::unique_ptr<MESH3> soup(Reader& r, int triangles) {
    auto m = rtc_make<MESH3>();
    if (!m) std::abort();
    MeshFaceBlock* b = mesh_face_block(m.get(), 0);
    for (int t = 0; t < triangles; ++t) {
        const auto base = static_cast<int32_t>(b->vertices.size());
        for (int k = 0; k < 3; ++k) {
            const float x = float(r.coordinate()), y = float(r.coordinate()),
                        z = float(r.coordinate());
            b->vertices.push_back(MeshVertex{x, y, z, {0, 0, 0, 0, 0, 0}});
        }
        if (mesh_add_triangle(b, base, base + 1, base + 2) != 0) std::abort();
        if (r.byte() & 1) b->edges.back().flags = kEdgeHidden;
    }
    return m;
}

void check(const MESH3* m) {
    for (const MeshFaceBlock* b = m ? m->blocks : nullptr; b; b = b->next) {
        const auto nv = static_cast<int32_t>(b->vertices.size());
        const auto ne = static_cast<int32_t>(b->edges.size());
        for (const MeshVertex& v : b->vertices)
            if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) std::abort();
        for (const MeshEdge& e : b->edges)
            if (e.v[0] < 0 || e.v[0] >= nv || e.v[1] < 0 || e.v[1] >= nv) std::abort();
        for (const MeshFace& f : b->faces) {
            for (int32_t e : f.e)
                if (e < 0 || e >= ne) std::abort();
            int32_t i[3];
            edge_pair_vertices(b->edges[f.e[0]], b->edges[f.e[1]], &i[0], &i[1], &i[2]);
            if (i[0] == i[1] || i[1] == i[2] || i[0] == i[2]) std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        rtc_register_all();
        log_set_level(LogLevel::error);
        return true;
    }();
    (void)ready;
    Reader r{data, size};
    const uint8_t head = r.byte();
    // Up to eight triangles a side: every cutting, touching and coplanar case is
    // reached with that few, and the cost grows with the square of the count. Bits 3
    // and 7 add eight more, so two closed boxes (twelve triangles each) fit.
    const int count_a = 1 + (head & 7) + ((head & 0x08) ? 8 : 0);
    const int count_b = 1 + ((head >> 4) & 7) + ((head & 0x80) ? 8 : 0);
    const uint8_t answers = r.byte();
    const bool yes = answers & 1;
    // Bits 1-2: 0 union, 1 intersection, 2 subtraction, 3 all three.
    const int chosen = (answers >> 1) & 3;
    const double percentage = r.byte() % 101;
    MsgBoxHook previous = msgbox_set_hook([yes](const MsgBoxRequest& q) {
        return (q.style & kMbButtonMask) == kMbYesNo ? (yes ? kIdYes : kIdNo) : kIdOk;
    });
    auto a = soup(r, count_a);
    auto b = soup(r, count_b);
    for (int op = kCsgUnion; op <= kCsgSubtraction; ++op) {
        if (chosen != 3 && op != kCsgUnion + chosen) continue;
        CsgStatus status;
        auto result = csg_boolean(a.get(), b.get(), op, op == kCsgUnion ? nullptr : &status);
        check(result.get());
        if (result) {
            MESH3* reduced = mesh_reduce(result.get(), percentage);
            check(reduced);
            if (reduced != result.get()) rtc_destroy(reduced);
        }
    }
    auto joined = csg_join_mesh_list({a.get(), b.get()});
    check(joined.get());
    MESH3* reduced = mesh_reduce(a.get(), percentage);
    check(reduced);
    if (reduced != a.get()) rtc_destroy(reduced);
    msgbox_set_hook(previous);
    return 0;
}
