// Boolean engine: the two entries (csg_boolean, csg_join_meshes) and the assembly of
// the result mesh from the kept faces of both solids.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "commands/boolean/csg_internal.h"
#include "commands/boolean/strings.h"
#include "model/db/buffer.h"
#include "model/math/result.h"
#include "model/mesh/mesh_block.h"
#include "model/rtc/rtc.h"
#include "model/services/log.h"
#include "model/services/msgbox.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"

namespace csg {

namespace {

bool has_area(const Face* f) {
    const D3 a = pos(f->v[0]);
    return length(cross(pos(f->v[1]) - a, pos(f->v[2]) - a)) > 0.0;
}

bool emittable(const Face* f) {
    return live(f) && f->v[0] != f->v[1] && f->v[1] != f->v[2] && f->v[2] != f->v[0] && has_area(f);
}

// Writes the kept faces of s into a new block at the head of the mesh (the faces are
// tested once and listed), each vertex at the place of its seam twin when it has one.
// False when memory runs out.
bool emit_solid(const Context& ctx, MESH3* mesh, Solid& s) {
    std::vector<const Face*> kept;
    try {
        for (const Face* f = s.faces; f; f = f->next) {
            if (emittable(f)) kept.push_back(f);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    const size_t n = kept.size();
    if (n == 0) return true;
    // Only the corners of faces that are written count as used.
    for (Vertex* v = s.vertices; v; v = v->next) v->flags = kUnused;
    for (const Face* f : kept) {
        for (Vertex* v : f->v) v->flags = 0;
    }
    MeshFaceBlock* block = mesh_face_block(mesh, 0);
    if (!block) return false;
    try {
        uint32_t count = 0;
        for (Vertex* v = s.vertices; v; v = v->next) {
            if (v->flags & kUnused) continue;
            v->flags = count++;
            const Vertex* twin = twin_of(ctx, v);
            const Vertex* at = twin ? twin : v;
            block->vertices.push_back(MeshVertex{at->x, at->y, at->z, {0, 0, 0, 0, 0, 0}});
        }
        block->faces.reserve(n);
        block->edges.reserve(n * 3 / 2 + 3);
        MeshEdgeHash hash;
        if (mesh_edge_hash_init(&hash, block, static_cast<int32_t>(n * 2 + 1)) != 0) return false;
        for (const Face* f : kept) {
            const auto i0 = static_cast<int32_t>(f->v[0]->flags);
            const auto i1 = static_cast<int32_t>(f->v[1]->flags);
            const auto i2 = static_cast<int32_t>(f->v[2]->flags);
            if (mesh_add_triangle(block, i0, i1, i2, &hash) != 0) return false;
            const MeshFace& mf = block->faces.back();
            for (int k = 0; k < 3; ++k) {
                if (f->e[k]->flags & kMarked) block->edges[mf.e[k]].flags = kEdgeHidden;
            }
        }
        block->edges.shrink_to_fit();
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void setup(Context& ctx, size_t expected_faces) {
    const uint64_t buckets = expected_faces * 2 > kMinBuckets ? expected_faces * 2 + 1 : kMinBuckets;
    try {
        ctx.a.buckets.assign(buckets, nullptr);
        ctx.b.buckets.assign(buckets, nullptr);
    } catch (const std::bad_alloc&) {
        raise_no_memory(ctx, "Allocate");
    }
}

size_t face_count(const MESH3* m) {
    size_t n = 0;
    for (const MeshFaceBlock* b = m ? m->blocks : nullptr; b; b = b->next) n += b->faces.size();
    return n;
}

// The result's code when the call failed: sets the status or shows the message.
void report(const Context& ctx, CsgStatus* status, bool show) {
    if (status) {
        status->code = ctx.code;
        status->diagnostic = ctx.text;
        return;
    }
    log_message(LogLevel::warning, "boolean operation failed (%d): %s", ctx.code, ctx.text);
    if (show) csg_show_failure(CsgStatus{ctx.code, ctx.text, {}});
}

}  // namespace

std::unique_ptr<MESH3> build_mesh(Context& ctx) {
    auto mesh = rtc_make<MESH3>();
    if (!mesh) return nullptr;
    if (!emit_solid(ctx, mesh.get(), ctx.a) || !emit_solid(ctx, mesh.get(), ctx.b)) return nullptr;
    return mesh;
}

}  // namespace csg

using namespace csg;

void csg_show_failure(const CsgStatus& status) {
    if (status.code == 0 || status.code == IDS_USER_BREAKS_OPERATION) return;
    if (status.code == IDS_UNABLE_TO_PERFORM_BOOLEAN || status.code == IDS_CSG_UNKNOWN_PROBLEM_CAN)
        msgbox_printf(kStrIdError, "%s\n%s", res_load_string(uint32_t(status.code)).c_str(), status.diagnostic.c_str());
    else
        msgbox_printf(kStrIdError, "%s", res_load_string(IDS_NO_MEMORY).c_str());
}

std::unique_ptr<MESH3> csg_boolean(const MESH3* a, const MESH3* b, int operation, CsgStatus* status) {
    return csg::boolean_run(a, b, operation, status, false);
}

namespace {

// What csg_solid_fault gives for the mesh, or for its reversed copy. `exact_only`:
// where the exact checks give way, a fault too (no judgement by the cut of tolerances).
std::string solid_fault(const MESH3* mesh, bool reversed, bool exact_only = false);

// Cut with exact tests, and only where they cannot split a face soundly with the
// cut of tolerances.
constexpr bool kExactCut = true;

// A closed solid whose faces enclose no volume (a box of width 0, a shell and its
// reversed copy) is no solid: refused, naming the object (kNoVolume).
void no_volume_check(Context& ctx, const Solid& s) {
    const D3 o = {s.box[0], s.box[1], s.box[2]};
    const Shape shape = solid_shape(ctx, s, o);
    const double side = std::max({double(s.box[3]) - s.box[0], double(s.box[4]) - s.box[1],
                                  double(s.box[5]) - s.box[2]});
    if (shape.closed && std::fabs(shape.volume) <= kNoVolume * side * side * side)
        raise(ctx, IDS_UNABLE_TO_PERFORM_BOOLEAN, "Solid encloses no volume");
}

// A closed solid one of whose parts overlaps itself (csg_self.cpp) is refused.
void self_overlap_check(Context& ctx, const Solid& s, bool closed) {
    if (closed && overlaps_itself(ctx, s)) raise(ctx, IDS_UNABLE_TO_PERFORM_BOOLEAN, "Solid overlaps itself");
}

}  // namespace

// Leaves out the parts of the result (kept faces joined over edges, corners at one
// point being one) that enclose no real volume, so that no result holds a part the
// engine would refuse as input: those as thin on average as the rounding to float that
// made them (their volume at most their surface times half the rounding allowance of
// their own box: a slab a rounding step thick between near copies, the closed figure of
// two boxes touching along an edge) that csg_solid_fault refuses, taken alone. A thin
// part that would be taken as input stays: it is a real piece of the answer (a slab cut
// from a sliver that was itself taken as input).
void csg::drop_parts_without_volume(Context& ctx) {
    std::vector<Face*> faces;
    std::vector<std::array<float, 3>> at;
    float box[3] = {1e30f, 1e30f, 1e30f};
    for (Solid* s : {&ctx.a, &ctx.b})
        for (Face* f = s->faces; f; f = f->next) {
            if (!emittable(f)) continue;
            faces.push_back(f);
            for (const Vertex* v : f->v) {
                const Vertex* twin = twin_of(ctx, v);
                const Vertex* w = twin ? twin : v;
                at.push_back({w->x, w->y, w->z});
                for (int k = 0; k < 3; ++k) box[k] = std::min(box[k], at.back()[k]);
            }
        }
    if (faces.empty()) return;
    std::vector<std::array<float, 3>> points = at;
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    const auto id = [&](size_t corner) {
        return uint32_t(std::lower_bound(points.begin(), points.end(), at[corner]) - points.begin());
    };
    // Faces on one edge are in one part.
    std::vector<std::pair<uint64_t, uint32_t>> edges;
    edges.reserve(at.size());
    for (size_t i = 0; i < faces.size(); ++i)
        for (int k = 0; k < 3; ++k) {
            const uint64_t p = id(3 * i + k), q = id(3 * i + (k + 1) % 3);
            edges.push_back({std::min(p, q) << 32 | std::max(p, q), uint32_t(i)});
        }
    std::sort(edges.begin(), edges.end());
    std::vector<uint32_t> part(faces.size());
    for (size_t i = 0; i < part.size(); ++i) part[i] = uint32_t(i);
    const auto root = [&](uint32_t i) {
        while (part[i] != i) i = part[i] = part[part[i]];
        return i;
    };
    for (size_t i = 1; i < edges.size(); ++i)
        if (edges[i].first == edges[i - 1].first) part[root(edges[i].second)] = root(edges[i - 1].second);
    // Volume about the box's corner, surface and box of each part.
    struct Part {
        double volume = 0, area = 0;
        float box[6] = {1e30f, 1e30f, 1e30f, -1e30f, -1e30f, -1e30f};
    };
    std::vector<Part> parts(faces.size());
    const D3 o = {box[0], box[1], box[2]};
    for (size_t i = 0; i < faces.size(); ++i) {
        Part& p = parts[root(uint32_t(i))];
        D3 c[3];
        for (int k = 0; k < 3; ++k) {
            const std::array<float, 3>& x = at[3 * i + k];
            c[k] = D3{x[0], x[1], x[2]} - o;
            for (int j = 0; j < 3; ++j) p.box[j] = std::min(p.box[j], x[j]), p.box[j + 3] = std::max(p.box[j + 3], x[j]);
        }
        p.volume += dot(c[0], cross(c[1], c[2])) / 6;
        p.area += length(cross(c[1] - c[0], c[2] - c[0])) / 2;
    }
    // The faces of each thin part, by part.
    std::vector<std::pair<uint32_t, uint32_t>> thin;
    for (size_t i = 0; i < faces.size(); ++i) {
        const uint32_t r = root(uint32_t(i));
        const Part& p = parts[r];
        if (std::fabs(p.volume) <= 0.5 * rounding_allowance(p.box) * p.area) thin.push_back({r, uint32_t(i)});
    }
    std::sort(thin.begin(), thin.end());
    // What csg_solid_fault says of the listed faces as one mesh, as a later operation
    // would take them.
    std::vector<int32_t> local(points.size(), -1);
    const auto fault = [&](const std::vector<uint32_t>& list) {
        auto mesh = rtc_make<MESH3>();
        MeshFaceBlock* block = mesh ? mesh_face_block(mesh.get(), 0) : nullptr;
        if (!block) raise_no_memory(ctx, "Build result");
        std::vector<uint32_t> used;
        for (const uint32_t f : list)
            for (int c = 0; c < 3; ++c) {
                const uint32_t p = id(3 * size_t(f) + size_t(c));
                if (local[p] >= 0) continue;
                local[p] = int32_t(used.size());
                used.push_back(p);
                block->vertices.push_back(MeshVertex{points[p][0], points[p][1], points[p][2], {0, 0, 0, 0, 0, 0}});
            }
        MeshEdgeHash hash;
        if (mesh_edge_hash_init(&hash, block, int32_t(2 * list.size() + 1)) != 0) raise_no_memory(ctx, "Build result");
        for (const uint32_t f : list)
            if (mesh_add_triangle(block, local[id(3 * f)], local[id(3 * f + 1)], local[id(3 * f + 2)], &hash) != 0)
                raise_no_memory(ctx, "Build result");
        for (uint32_t p : used) local[p] = -1;
        return csg_solid_fault(mesh.get());
    };
    std::vector<uint32_t> list, kept_thin;
    for (size_t i = 0, j = 0; i < thin.size(); i = j) {
        list.clear();
        for (j = i; j < thin.size() && thin[j].first == thin[i].first; ++j) list.push_back(thin[j].second);
        if (fault(list).empty()) {
            kept_thin.insert(kept_thin.end(), list.begin(), list.end());
            continue;
        }
        for (const uint32_t f : list) faces[f]->state |= kDiscarded;
    }
    // A thin part sound alone may still cross another part, which a later operation
    // would refuse: then the thin parts go too.
    if (kept_thin.empty()) return;
    list.clear();
    for (size_t i = 0; i < faces.size(); ++i)
        if (live(faces[i])) list.push_back(uint32_t(i));
    if (fault(list).empty()) return;
    for (const uint32_t f : kept_thin) faces[f]->state |= kDiscarded;
}

namespace {

// Whether closed solid s (of shape `shape`) is on average thinner than twice the
// tolerance: twice its volume over its surface, a slab's thickness.
bool thin_solid(const Shape& shape, const Solid& s) {
    if (!shape.closed) return false;
    double area = 0;
    for (const Face* f = s.faces; f; f = f->next)
        if (live(f)) area += length(cross(pos(f->v[1]) - pos(f->v[0]), pos(f->v[2]) - pos(f->v[0]))) / 2;
    return 2 * std::fabs(shape.volume) < 2 * kCsgTolerance * area;
}

// Whether every face of s is kept (an uncut solid: none was dropped by the operation).
bool kept_whole(const Solid& s) {
    for (const Face* f = s.faces; f; f = f->next) {
        if (!live(f)) return false;
    }
    return true;
}

// One attempt at the operation in a fresh context; the exact cut refuses with 42191
// where it cannot help (faces shared by more than two, open solids, a face it cannot
// split), so the caller can try again with the cut of tolerances.
std::unique_ptr<MESH3> attempt(Context& ctx, const MESH3* a, const MESH3* b, int operation, bool exact) {
    std::unique_ptr<MESH3> result;
    try {
        const size_t faces = face_count(a) + face_count(b);
        setup(ctx, faces);
        ctx.exact = exact;
        ctx.face_budget = 0;
        ctx.subject = "First object";
        load_mesh(ctx, ctx.a, a);
        // A solid whose every triangle has corners within the tolerance is gone once
        // loaded: nothing of it could be combined.
        if (face_count(a) && !ctx.a.faces) raise(ctx, IDS_UNABLE_TO_PERFORM_BOOLEAN, "Solid welds to nothing");
        ctx.subject = "Second object";
        load_mesh(ctx, ctx.b, b);
        if (face_count(b) && !ctx.b.faces) raise(ctx, IDS_UNABLE_TO_PERFORM_BOOLEAN, "Solid welds to nothing");
        ctx.subject = "First object";
        no_volume_check(ctx, ctx.a);
        ctx.subject = "Second object";
        no_volume_check(ctx, ctx.b);
        ctx.subject = nullptr;
        height_check(ctx);
        if (exact && (ctx.a.crowded || ctx.b.crowded))
            raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Edge of more than two faces");
        ctx.work_budget = 1024 * faces + 50000000;
        ctx.subject = "First object";
        check_solid(ctx, ctx.a, operation);
        ctx.subject = "Second object";
        check_solid(ctx, ctx.b, operation);
        ctx.subject = nullptr;
        // Only closed solids can give a closed result: the result of any other input is
        // handed back as it comes.
        const D3 o = {ctx.a.box[0], ctx.a.box[1], ctx.a.box[2]};
        const Shape sa = solid_shape(ctx, ctx.a, o), sb = solid_shape(ctx, ctx.b, o);
        if (exact) {
            ctx.subject = "First object";
            self_overlap_check(ctx, ctx.a, sa.closed);
            ctx.subject = "Second object";
            self_overlap_check(ctx, ctx.b, sb.closed);
            ctx.subject = nullptr;
            ctx.thin = thin_solid(sa, ctx.a) || thin_solid(sb, ctx.b);
            ctx.sound = sa.closed && sb.closed;
        }
        ctx.faces_made = 0;
        ctx.face_budget = 64 * faces + 1000;
        if (exact) {
            if (!sa.closed || !sb.closed) raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Solid is not closed");
            if (!exact_cut(ctx)) raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Face can not be split");
        } else {
            intersect_solids(ctx);
        }
        select_faces(ctx, operation);
        if (exact) sheet_check(ctx);
        // Solids that only touch, both kept whole, would meet along a face of no
        // thickness (two shells side by side, or a hollow whose skin lies on the
        // outside).
        if (ctx.touch_only && operation != kCsgIntersection && kept_whole(ctx.a) && kept_whole(ctx.b))
            raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Solids only touch");
        // A solid closed as given but opened by the weld (edges shorter than the
        // tolerance) must still give a closed result; it counts with the volume it had
        // as given.
        if ((sa.closed || closed_as_given(a)) && (sb.closed || closed_as_given(b)))
        {
            verify_result(ctx, operation, sa.closed ? sa.volume : std::fabs(volume_as_given(a, o)),
                          sb.closed ? sb.volume : std::fabs(volume_as_given(b, o)));
        }
        result = build_mesh(ctx);
        if (!result) raise_no_memory(ctx, "Build result");
    } catch (const Jump&) {
        result.reset();
    } catch (const std::bad_alloc&) {
        ctx.code = kOutOfMemory;
        std::snprintf(ctx.text, sizeof ctx.text, "Allocate");
        result.reset();
    }
    heap_free(ctx);
    return result;
}

}  // namespace

std::unique_ptr<MESH3> csg::boolean_run(const MESH3* a, const MESH3* b, int operation, CsgStatus* status,
                                        bool plain_pairs) {
    if (status) *status = CsgStatus{};
    if (!a || !b || operation < kCsgUnion || operation > kCsgSubtraction) {
        if (status) status->code = kBadArgument;
        return nullptr;
    }
    // Where ties or rounding left the result a sheet or a fold that a later
    // operation would refuse as input, the cut of tolerances is tried instead.
    // Parts that touch at a point or along an edge must read as a sound solid
    // however the result is wound.
    const auto exact_attempt = [plain_pairs](Context& c, const MESH3* x, const MESH3* y, int op) {
        c.plain_pairs = plain_pairs;
        std::unique_ptr<MESH3> r = attempt(c, x, y, op, true);
        // Parts touching on an edge off the seam (pieces of a sliver's two walls) must
        // read so by the exact checks: a flat fin held on such an edge leaves them no
        // face to orient it by, and no later operation could take the result.
        const bool exact_only = c.pinched_off_seam;
        if (r && !c.touch_only && (c.degenerate || c.pinched) && face_count(r.get()) &&
            (!solid_fault(r.get(), false, exact_only).empty() ||
             (c.pinched && !solid_fault(r.get(), true, exact_only).empty()))) {
            r.reset();
            c.code = IDS_CSG_UNKNOWN_PROBLEM_CAN;
            std::snprintf(c.text, sizeof c.text, "Result would be refused as input");
        }
        return r;
    };
    // Solids that only touch, and results whose pieces lie on each other by rounding,
    // are given to the cut of tolerances first, which joins faces that lie on each
    // other into one solid; its refusal leaves the exact answer.
    Context exact;
    std::unique_ptr<MESH3> answer;
    if (kExactCut) {
        answer = exact_attempt(exact, a, b, operation);
        if ((answer && !exact.touch_only && !exact.rounding_folds) || (!answer && exact.code != IDS_CSG_UNKNOWN_PROBLEM_CAN)) {
            if (exact.code != 0) report(exact, status, true);
            return answer;
        }
    }
    // Why the cut of tolerances runs, for the caller's status whatever it answers.
    std::string gave_way;
    if (kExactCut) {
        gave_way = !answer ? exact.text : exact.touch_only ? "Solids only touch over an area" : "Pieces on each other by rounding";
        if (exact.gave_way) gave_way += std::string(": ") + exact.gave_way;
    }
    struct Note {
        CsgStatus* status;
        const std::string& why;
        ~Note() {
            if (status) status->gave_way = why;
        }
    } note{status, gave_way};
    Context ctx;
    ctx.plain_pairs = plain_pairs;
    std::unique_ptr<MESH3> result = attempt(ctx, a, b, operation, false);
    if (!result && answer) return answer;
    // Both cuts gave way. Ties settle as if B had moved by an infinitely small step;
    // where faces lie on each other, a step one way leaves a gap or a slab of no
    // thickness that the other way closes (two faces touching from outside: a union
    // kept both where B moved off A). The exact cut runs again with the operands'
    // roles swapped, which settles every tie the other way.
    if (!result && kExactCut && exact.code == IDS_CSG_UNKNOWN_PROBLEM_CAN && exact.ties && !exact.thin &&
        ctx.code == IDS_CSG_UNKNOWN_PROBLEM_CAN) {
        Context swapped;
        std::unique_ptr<MESH3> other =
            exact_attempt(swapped, b, a, operation == kCsgSubtraction ? kReversedSubtraction : operation);
        if (other && !swapped.touch_only && !swapped.rounding_folds) {
            gave_way += "; swapped";
            return other;
        }
    }
    // Of a solid thinner than the tolerance, the weld joins the walls: neither that
    // result nor a refusal of the input is taken (a slab 2e-4 thick "encloses no
    // volume" once welded), unless the weld left nothing of a solid about the tolerance
    // in size.
    if (exact.thin && (result || std::strstr(ctx.text, "welds to nothing") == nullptr)) {
        if (answer) return answer;
        report(exact, status, true);
        return nullptr;
    }
    // Triangles thinner than the weld distance are refused by the cut of tolerances
    // only: the input was taken by the exact cut, whose reason is the one to give.
    if (!result && kExactCut && exact.overlaps) {
        // Refused both ways: the input is no solid.
        char text[sizeof exact.text];
        std::snprintf(text, sizeof text, "%s", exact.text);
        exact.subject = exact.subject ? exact.subject : "An object";
        exact.code = IDS_UNABLE_TO_PERFORM_BOOLEAN;
        std::snprintf(exact.text, sizeof exact.text, "%s: %s", exact.subject, text);
        report(exact, status, true);
        return nullptr;
    }
    if (!result && kExactCut && ctx.code == IDS_UNABLE_TO_PERFORM_BOOLEAN &&
        std::strstr(ctx.text, "Height of the tria") != nullptr) {
        report(exact, status, true);
        return nullptr;
    }
    // The cut of tolerances moves corners by up to its tolerance, and so can make faces
    // of its result cross that deep: of sound solids, a result that would be refused
    // as input is refused here.
    if (result && exact.sound) {
        const std::string fault = csg_solid_fault(result.get());
        if (!fault.empty()) {
            result.reset();
            ctx.code = IDS_CSG_UNKNOWN_PROBLEM_CAN;
            std::snprintf(ctx.text, sizeof ctx.text, "Result: %s", fault.c_str());
        }
    }
    // A solid with an edge of more than two faces is taken by the cut of tolerances
    // without orienting it: of closed solids (parts touching along an edge), a result
    // that comes out open is refused.
    if (result && (ctx.a.crowded || ctx.b.crowded) && face_count(result.get()) && closed_as_given(a) &&
        closed_as_given(b) && !closed_as_given(result.get())) {
        result.reset();
        ctx.code = IDS_CSG_UNKNOWN_PROBLEM_CAN;
        std::snprintf(ctx.text, sizeof ctx.text, "Result is not closed");
    }
    if (ctx.code != 0) report(ctx, status, true);
    return result;
}

std::unique_ptr<MESH3> csg_join_mesh_list(const std::vector<const MESH3*>& meshes, CsgStatus* status) {
    if (status) *status = CsgStatus{};
    Context ctx;
    std::unique_ptr<MESH3> result;
    try {
        size_t faces = 0;
        for (const MESH3* m : meshes) faces += face_count(m);
        setup(ctx, faces);
        for (const MESH3* m : meshes) {
            if (m) load_mesh(ctx, ctx.a, m);
        }
        for (Vertex* v = ctx.a.vertices; v; v = v->next) v->flags = 0;
        result = build_mesh(ctx);
        if (!result) raise_no_memory(ctx, "Build result");
        if (!result->blocks) raise(ctx, kCsgNoUsableFace, "No face left to join");
    } catch (const Jump&) {
        result.reset();
    } catch (const std::bad_alloc&) {
        ctx.code = kOutOfMemory;
        result.reset();
    }
    heap_free(ctx);
    if (ctx.code != 0) report(ctx, status, false);
    return result;
}

std::unique_ptr<MESH3> csg_join_meshes(const RefNode* head, CsgStatus* status) {
    std::vector<const MESH3*> meshes;
    try {
        for (const RefNode* n = head; n; n = n->next) {
            if (const MESH3* m = n->ref ? rtc_cast<MESH3>(n->ref) : nullptr) meshes.push_back(m);
        }
    } catch (const std::bad_alloc&) {
        if (status) *status = CsgStatus{kOutOfMemory, "Allocate", {}};
        return nullptr;
    }
    return csg_join_mesh_list(meshes, status);
}

std::string csg_solid_fault(const MESH3* mesh) {
    return solid_fault(mesh, false);
}

namespace {

std::string solid_fault(const MESH3* mesh, bool reversed, bool exact_only) {
    if (!mesh) return {};
    // As a boolean takes it: exactly, and where an edge has more than two faces or the
    // exact checks give way, with the cut of tolerances, which checks the volume only.
    for (bool exact : {true, false}) {
        Context ctx;
        ctx.exact = exact;
        ctx.load_reversed = reversed;
        bool decided = true;
        try {
            setup(ctx, face_count(mesh));
            load_mesh(ctx, ctx.a, mesh);
            no_volume_check(ctx, ctx.a);
            decided = !exact || !ctx.a.crowded;
            if (exact && decided && ctx.a.faces) {
                check_solid(ctx, ctx.a, kCsgUnion);
                const D3 o = {ctx.a.box[0], ctx.a.box[1], ctx.a.box[2]};
                self_overlap_check(ctx, ctx.a, solid_shape(ctx, ctx.a, o).closed);
            }
        } catch (const Jump&) {
            // Where the exact checks give way (a part whose faces all lie along x,
            // parted from one thinner than rounding), a boolean goes on with the cut
            // of tolerances, and so does the judgement.
            if (exact && ctx.code == IDS_CSG_UNKNOWN_PROBLEM_CAN) decided = false;
        } catch (const std::bad_alloc&) {
            ctx.code = kOutOfMemory;
        }
        heap_free(ctx);
        if (ctx.overlaps) return "Solid overlaps itself";
        if (ctx.code == IDS_UNABLE_TO_PERFORM_BOOLEAN) return ctx.text;
        if (decided) break;
        if (exact_only) return "Exact checks give way";
    }
    return {};
}

}  // namespace
