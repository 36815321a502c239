// Fuzz target for the 3D construction geometry. The input fills the Draw_3D settings
// (counts, kinds, masks and angles come from the settings file, so they are outside
// bytes), a view turn, points and radii, then typed box text. Box, sphere, dome,
// dish, torus, cone and a spiral are built from them, and a pyramid, extruded bands,
// a flat polygon, revolved strokes, a ruled loft, picked-contour orientation and a
// profiled sweep over a few more points. Checks: results are 0, 8 or 13; a build
// that succeeds hands back a mesh (the box only with a face bit) whose vertices are
// finite; typed sizes are finite.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "commands/model3d/chains.h"
#include "commands/model3d/curve_pick.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/flat_polygon.h"
#include "commands/model3d/model3d.h"
#include "commands/model3d/primitives.h"
#include "commands/model3d/spiral.h"
#include "commands/model3d/sweep_surface.h"
#include "graphics/view/projection.h"
#include "model/math/matrix.h"
#include "model/mesh/chain.h"
#include "model/mesh/mesh_block.h"
#include "model/rtc/rtc.h"

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    template <class T>
    T take() {
        T v{};
        const size_t n = size < sizeof v ? size : sizeof v;
        std::memcpy(&v, data, n);
        data += n;
        size -= n;
        return v;
    }
    float real() {
        // Mostly modest values, now and then raw bits (NaN, infinities, huge).
        const uint8_t how = take<uint8_t>();
        if (how < 200) return static_cast<float>(static_cast<int16_t>(take<uint16_t>())) / 64.0f;
        return take<float>();
    }
    Vec3 point() { return {real(), real(), real()}; }
};

void check(int r, const std::unique_ptr<MESH3>& mesh, bool want_mesh) {
    if (r != 0 && r != 8 && r != 13) std::abort();
    if (r != 0) {
        if (mesh) std::abort();  // nothing handed back on failure
        return;
    }
    if (want_mesh != static_cast<bool>(mesh)) std::abort();
    if (!mesh) return;
    for (const MeshFaceBlock* b = mesh->blocks; b; b = b->next)
        for (const MeshVertex& v : b->vertices)
            if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered = [] {
        rtc_register_all();
        return true;
    }();
    (void)registered;
    Reader in{data, size};
    Draw3DSettings s;
    s.faces_m = in.take<int32_t>();
    s.faces_n = in.take<int32_t>();
    s.sphere = in.take<int32_t>();
    s.cone = in.take<int32_t>();
    s.tops = in.take<int32_t>();
    s.box_faces = in.take<int32_t>();
    s.merge_edges = in.take<int32_t>();
    // Keep one run short: segment counts beyond a few dozen only make it slower.
    const bool big = in.take<uint8_t>() == 255;
    const int steps = solid_segments(s.faces_n, big ? 4096 : 32);
    if (!big) s.faces_m = solid_segments(s.faces_m, 32);
    // Big counts are for the grid limit: a revolved grid past it is refused before any
    // work, one within it is kept to some 4,000 vertices.
    int steps_kept = steps;
    if (big) {
        const long long rows = solid_segments(s.faces_m) + 1;
        if (rows * (steps + 1) <= kMeshMaxGridVertices) steps_kept = solid_segments(static_cast<int>((1 << 12) / rows));
    }

    ViewProjection vp;
    mat_rotate_xyz(&vp.view, &vp.inverse, in.real(), in.real(), in.real());

    const Vec3 a = in.point(), b = in.point();
    const double r1 = in.real(), r2 = in.real(), r3 = in.real();

    Vec3 corners[8];
    Vec3 low = a;
    double extent[3] = {r1, r2, r3};
    box_normalise(vp, &low, extent);
    for (double v : extent)
        if (v < 0) std::abort();  // sizes come out positive (NaN stays as it is)
    box_corners(vp, low, extent[0], extent[1], extent[2], corners);
    std::unique_ptr<MESH3> mesh;
    int r = box_mesh(corners, s.box_faces, &mesh);
    check(r, mesh, (s.box_faces & kBoxAllFaces) != 0);

    RevolveProfiles p;
    r = sphere_profiles(vp, a, r1, r2, s, &p);
    if (r != 0 && r != 13 && r != 8) std::abort();
    if (r == 0) {
        r = revolve_profiles_mesh(p, steps_kept, &mesh);
        check(r, mesh, true);
    }
    r = cone_profiles(vp, a, b, r2, r3, s, &p);
    if (r != 0 && r != 13 && r != 8) std::abort();
    if (r == 0) {
        for (const auto& chain : p.chains)
            for (size_t i = 1; i < chain.size(); ++i)
                if (std::memcmp(&chain[i], &chain[i - 1], sizeof(Vec3)) == 0 && chain.size() == 2) std::abort();
        r = revolve_profiles_mesh(p, steps_kept, &mesh);
        check(r, mesh, true);
    }

    // A pyramid base and fill triangles from the next points.
    const int count = in.take<uint8_t>() % 10;
    std::vector<std::vector<BasePoint>> bases(1);
    PtrNode* triangles = nullptr;
    PointNode* tri = nullptr;
    for (int i = 0; i < count; ++i) {
        const uint8_t bits = in.take<uint8_t>();
        const Vec3 q = in.point();
        bases[0].push_back({q, (bits & 1) != 0});
        if (plist_add(&tri, q) == 0 && (bits & 2)) tri->flags |= 1u << 31;
        if (i % 3 == 2 || i == count - 1) {
            if (ptrlist_add(&triangles, tri) != 0) list_free(&tri);
            tri = nullptr;
        }
    }
    std::vector<std::unique_ptr<MESH3>> pyramids;
    r = pyramid_meshes(bases, b, s.merge_edges & 1, &pyramids);
    if (r != 0 && r != 8 && r != 13) std::abort();
    for (const auto& m : pyramids) check(0, m, true);
    r = extrude_meshes(bases, Vec3{b.x - a.x, b.y - a.y, b.z - a.z}, &pyramids);
    if (r != 0 && r != 8 && r != 13) std::abort();
    for (const auto& m : pyramids) check(0, m, true);

    // A spiral from the same values; turns x segments from the settings unchecked.
    std::vector<Vec3> circle, path;
    r = spiral_path(vp, a, r1, r2, r3, s.faces_m, (s.tops & 1) != 0, &path);
    if (r != 0 && r != 8 && r != 13) std::abort();
    if (r == 0 && (path.size() < 1 || path.size() > static_cast<size_t>(kChainMaxSegments) + 1)) std::abort();
    // Tubes of more than a few thousand points only slow the runs down.
    if (r == 0 && path.size() * static_cast<size_t>(steps) <= 4000 && spiral_tube(vp, a, r2, r1, steps, &circle) == 0) {
        r = spiral_mesh(circle, path, &mesh);
        if (r != 0 && r != 8 && r != 13) std::abort();
        if (r != 0 && mesh) std::abort();
    }
    r = flat_polygon_mesh(triangles, &mesh);
    check(r, mesh, r == 0 && mesh);
    plist_list_free(&triangles);

    // The swept surfaces over the same strokes: revolved by a fuzzed angle, resampled,
    // lofted, oriented as a picked contour, and a profile placed along them.
    const double angle = in.real(), start = in.real();
    const int smooth = in.take<uint8_t>() & 1;
    const Vec3 pick = in.point();
    const int m = s.faces_m < 1 ? s.faces_m : solid_segments(s.faces_m, 64);
    const int n_loft = s.faces_n < 1 ? s.faces_n : solid_segments(s.faces_n, 64);
    const auto strokes = base_strokes(bases);
    r = revolve_strokes_meshes(strokes, a, b, angle, start, steps, &pyramids);
    if (r != 0 && r != 8 && r != 13) std::abort();
    for (const auto& mm : pyramids) check(0, mm, true);
    std::vector<std::vector<Vec3>> contours;
    for (auto stroke : strokes) {
        r = chain_resample(&stroke, m);
        if (r != 0 && r != 8 && r != 13) std::abort();
        if (r == 0 && stroke.size() > static_cast<size_t>(m) + 1) std::abort();
        std::vector<Vec3> picked = stroke;
        const bool closed = (stroke.size() & 1) != 0;
        if (curve_start_at_pick(vp, &picked, pick, closed) != (picked.empty() ? 0 : 1)) std::abort();
        if (closed && !picked.empty() && std::memcmp(&picked.front(), &picked.back(), sizeof(Vec3)) != 0) std::abort();
        contours.push_back(std::move(stroke));
    }
    r = ruled_mesh(contours, m, smooth, n_loft, &mesh);
    check(r, mesh, r == 0 && contours.size() >= 2);
    if (!strokes.empty()) {
        std::vector<Vec3> profile = strokes[0];
        r = chain_resample(&profile, m);
        if (r == 0) {
            r = profiled_meshes(profile, strokes, &pyramids);
            if (r != 0 && r != 8 && r != 13) std::abort();
            for (const auto& mm : pyramids) check(0, mm, true);
        }
    }

    const std::string text(reinterpret_cast<const char*>(in.data), in.size);
    double sizes[3] = {0, 0, 0};
    const int n = box_parse_sizes(text.c_str(), in.size % 2 == 1, sizes);
    if (n < 0 || n > 3) std::abort();
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(sizes[i])) std::abort();
    return 0;
}
