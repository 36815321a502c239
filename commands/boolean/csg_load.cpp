// Boolean engine: the working model's faces and edges, loading a MESH3 with vertex
// welding, the triangle-height check, and the check and orientation of a solid.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <deque>
#include <tuple>
#include <utility>
#include <vector>

#include "commands/boolean/csg_internal.h"
#include "commands/boolean/strings.h"
#include "model/math/vec.h"
#include "model/services/msgbox.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"

namespace csg {

namespace {

// The bucket of the edge between a and b: a 64-bit mix of the two vertices'
// creation numbers, the same either way round.
uint64_t bucket_of(const Solid& s, const Vertex* a, const Vertex* b) {
    const uint64_t lo = a->seq < b->seq ? a->seq : b->seq;
    const uint64_t hi = a->seq < b->seq ? b->seq : a->seq;
    uint64_t h = (hi << 32 | lo) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
    return h % s.buckets.size();
}

void push_face_node(Context& ctx, Solid& s, Edge* e, Face* f) {
    FaceNode* n = make<FaceNode>(ctx);
    n->face = f;
    n->next = e->faces;
    e->faces = n;
    e->touched = s.epoch;
    if (++e->face_nodes > 2) s.crowded = true;
}

// Sets a new face's corners, edges (created with `new_flags`) and box, and counts it.
void attach_face(Context& ctx, Solid& s, Face* f, Vertex* x, Vertex* y, Vertex* z) {
    f->v[0] = x;
    f->v[1] = y;
    f->v[2] = z;
    f->has_plane = false;
    f->piece_of = kNoOrigin;
    for (int i = 0; i < 3; ++i) __builtin_prefetch(&s.buckets[bucket_of(s, f->v[i], f->v[(i + 1) % 3])]);
    for (int i = 0; i < 3; ++i) {
        f->e[i] = edge_lookup(ctx, s, f->v[i], f->v[(i + 1) % 3], true);
        push_face_node(ctx, s, f->e[i], f);
    }
    face_box(f);
    f->state = kUnclassified;
    if (ctx.face_budget && ++ctx.faces_made > ctx.face_budget)
        raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Cutting does not come to an end");
}

int64_t cell_index(double c, double width) {
    const double k = std::floor(c / width);
    if (k > 4e18) return static_cast<int64_t>(4e18);
    if (k < -4e18) return static_cast<int64_t>(-4e18);
    return static_cast<int64_t>(k);
}

// Weld cells are eight tolerances wide: the points closer than the tolerance to a
// point lie in its cell or, near a side, in the neighbour across it, so most
// searches read one or two cells. The reach is a little over the tolerance, so
// rounding never leaves such a point out.
constexpr double kWeldCell = 8 * kTol;
constexpr double kWeldReach = 1.001 * kTol;

// Of the vertices in the search, the nearest closer than the tolerance; of equal
// ones the newest (the one a walk of the newest-first vertex list meets first).
struct Nearest {
    D3 p;
    Vertex* best = nullptr;
    double best_d = kTol;
    void offer(Vertex* v) {
        const double d = length(pos(v) - p);
        if (d < best_d || (d == best_d && best && d < kTol && v->seq > best->seq)) {
            best = v;
            best_d = d;
        }
    }
};

Vertex* find_vertex_grid(Context& ctx, Solid& s, float x, float y, float z) {
    Nearest near{{x, y, z}};
    const double c[3] = {x, y, z};
    int64_t lo[3], hi[3];
    for (int k = 0; k < 3; ++k) {
        lo[k] = cell_index(c[k] - kWeldReach, kWeldCell);
        hi[k] = cell_index(c[k] + kWeldReach, kWeldCell);
    }
    const auto offer = [&near](Vertex* v) { near.offer(v); };
    for (int64_t ix = lo[0]; ix <= hi[0]; ++ix)
        for (int64_t iy = lo[1]; iy <= hi[1]; ++iy)
            for (int64_t iz = lo[2]; iz <= hi[2]; ++iz) s.weld.prefetch(ix, iy, iz);
    for (int64_t ix = lo[0]; ix <= hi[0]; ++ix)
        for (int64_t iy = lo[1]; iy <= hi[1]; ++iy)
            for (int64_t iz = lo[2]; iz <= hi[2]; ++iz) s.weld.for_each(ix, iy, iz, offer);
    if (near.best) return near.best;
    Vertex* v = add_vertex(ctx, s, x, y, z);
    s.weld.add(cell_index(x, kWeldCell), cell_index(y, kWeldCell), cell_index(z, kWeldCell), v);
    return v;
}

uint64_t cell_key(int64_t ix, int64_t iy, int64_t iz) {
    uint64_t h = static_cast<uint64_t>(ix) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint64_t>(iy) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
    h ^= static_cast<uint64_t>(iz) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
    return h;
}

// The reference search: tolerance-wide cells in a hash map, all 27 around the point.
Vertex* find_vertex_reference(Context& ctx, Solid& s, float x, float y, float z) {
    Nearest near{{x, y, z}};
    const int64_t ix = cell_index(x, kTol), iy = cell_index(y, kTol), iz = cell_index(z, kTol);
    for (int64_t dx = -1; dx <= 1; ++dx)
        for (int64_t dy = -1; dy <= 1; ++dy)
            for (int64_t dz = -1; dz <= 1; ++dz) {
                auto it = s.weld_reference.find(cell_key(ix + dx, iy + dy, iz + dz));
                if (it == s.weld_reference.end()) continue;
                for (Vertex* v : it->second) near.offer(v);
            }
    if (near.best) return near.best;
    Vertex* v = add_vertex(ctx, s, x, y, z);
    s.weld_reference[cell_key(ix, iy, iz)].push_back(v);
    return v;
}

// The vertex at the very point, else a new one (the exact attempt's weld). Cells are
// the coordinates' own bits, -0 taken as 0.
Vertex* find_vertex_exact(Context& ctx, Solid& s, float x, float y, float z) {
    x += 0.0f;
    y += 0.0f;
    z += 0.0f;
    const auto bits = [](float c) { return int64_t(std::bit_cast<uint32_t>(c)); };
    Vertex* found = nullptr;
    s.weld.for_each(bits(x), bits(y), bits(z), [&](Vertex* v) {
        if (!found && v->x == x && v->y == y && v->z == z) found = v;
    });
    if (found) return found;
    Vertex* v = add_vertex(ctx, s, x, y, z);
    s.weld.add(bits(x), bits(y), bits(z), v);
    return v;
}

// The nearest vertex of the solid closer than the tolerance, else a new one. No two
// welded vertices lie closer than the tolerance, so one at the very point is the
// answer for good: `known` keeps it for the block vertex `index`.
Vertex* find_vertex(Context& ctx, Solid& s, const MeshVertex& mv, int32_t index, std::vector<Vertex*>& known) {
    if (Vertex* v = known[index]) return v;
    if (ctx.exact) return known[index] = find_vertex_exact(ctx, s, mv.x, mv.y, mv.z);
    Vertex* v = ctx.plain_pairs ? find_vertex_reference(ctx, s, mv.x, mv.y, mv.z)
                                : find_vertex_grid(ctx, s, mv.x, mv.y, mv.z);
    if (v->x == mv.x && v->y == mv.y && v->z == mv.z && !ctx.plain_pairs) known[index] = v;
    return v;
}

// The vertex indices of a face's corners; false when an edge or vertex index lies
// outside the block (the face is skipped).
bool corners_of(const MeshFaceBlock& b, const MeshFace& mf, int32_t idx[3]) {
    const auto nv = static_cast<int64_t>(b.vertices.size());
    const auto ne = static_cast<int64_t>(b.edges.size());
    for (int32_t e : mf.e)
        if (e < 0 || e >= ne) return false;
    edge_pair_vertices(b.edges[mf.e[0]], b.edges[mf.e[1]], &idx[0], &idx[1], &idx[2]);
    for (int k = 0; k < 3; ++k)
        if (idx[k] < 0 || idx[k] >= nv) return false;
    return true;
}

using Corner = std::tuple<float, float, float>;

// Whether the triangles (three corners each) use every edge between two distinct
// corners once each way, corners being one where their coordinates are.
bool corners_closed(const std::vector<Corner>& corners) {
    std::vector<Corner> ids = corners;
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    const auto id = [&ids](const Corner& c) { return std::lower_bound(ids.begin(), ids.end(), c) - ids.begin(); };
    std::vector<std::pair<ptrdiff_t, ptrdiff_t>> edges;
    for (size_t i = 0; i + 2 < corners.size(); i += 3) {
        const ptrdiff_t c[3] = {id(corners[i]), id(corners[i + 1]), id(corners[i + 2])};
        if (c[0] == c[1] || c[1] == c[2] || c[2] == c[0]) continue;
        for (int k = 0; k < 3; ++k) edges.emplace_back(c[k], c[(k + 1) % 3]);
    }
    std::sort(edges.begin(), edges.end());
    for (size_t i = 0, j = 0; i < edges.size(); i = j) {
        while (j < edges.size() && edges[j] == edges[i]) ++j;
        const auto back = std::equal_range(edges.begin(), edges.end(), std::make_pair(edges[i].second, edges[i].first));
        // Once each way, or twice where two parts touch along the edge.
        if (j - i > 2 || static_cast<size_t>(back.second - back.first) != j - i) return false;
    }
    return !edges.empty();
}

}  // namespace

bool paired_about(D3 a, D3 b, const D3 (&third)[4], const bool (&forward)[4], int (&order)[4], const int* partner) {
    const D3 d = b - a;
    const D3 dn = d * (1 / length(d));
    // Rounding the corners to float moves each by up to four float steps at the largest
    // coordinate: the face turns about the edge by up to that over its height from the
    // edge, and the edge itself tilts by twice that over its length, which turns the
    // face by the tilt times its third corner's reach along the edge over its height.
    // Faces that close to one another lie in either order (a sliver between two parts
    // that rounding folded over; the parts of a corner contact, whose crossings round
    // to two points a float step apart).
    double largest = 0;
    for (const D3& p : {a, b, third[0], third[1], third[2], third[3]})
        largest = std::max({largest, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
    const double step = kShallowOverlap * largest, span = length(d);
    D3 w[4];
    double slack[4];
    for (int i = 0; i < 4; ++i) {
        const D3 q = third[i] - a;
        const double along = dot(q, dn);
        w[i] = q - dn * along;
        const double h = length(w[i]);
        if (h == 0) return false;
        slack[i] = step / h * (1 + 2 * std::max(std::fabs(along), std::fabs(along - span)) / span);
    }
    const D3 u = w[0] * (1 / length(w[0])), v = cross(dn, u);
    double angle[4];
    for (int i = 0; i < 4; ++i) angle[i] = std::atan2(dot(w[i], v), dot(w[i], u));
    // Of the orders in turn about the edge that rounding allows and that run each way
    // alternately, the one nearest the faces' own order. In an order each face's turn
    // to the next is its angle's, or that less a whole turn (the next lies behind it);
    // the turns must make one whole turn, and every run of turns from one face to
    // another must be no less than minus what rounding can move the two (a face may
    // move by its slack either way). The cost is how far faces go back.
    constexpr double kTurn = 2 * 3.14159265358979323846;
    // Faces are wound clockwise seen from outside: the outward normal of a face running
    // from a to b is w x d, and it points away from the turn towards the next face
    // when the wedge between them is inside. 0 when the wedge from face f to the next
    // in turn is inside, else 1.
    const auto inside_first = [&](int f) {
        const D3 outward = forward[f] ? cross(w[f], d) : cross(d, w[f]);
        return dot(outward, cross(dn, w[f])) < 0 ? 0 : 1;
    };
    // Where the faces' winding is turned inside out (a reversed solid, whose parts
    // become the space around them), the neighbours across the inside by winding are
    // faces of two parts, whose corners around the edge's ends are joined: no copy of
    // an end could part them. Faces that all have a partner may then be paired across
    // the other wedges, each with its partner; the surface is the same and each part
    // closed, and orienting the parts turns them the right way round.
    const bool may_flip = partner && partner[0] >= 0 && partner[1] >= 0 && partner[2] >= 0 && partner[3] >= 0;
    int best[4] = {};
    double best_cost = -1;
    int best_parted = 0, best_flip = 0;
    int p[3] = {1, 2, 3};
    do {
        const int s[4] = {0, p[0], p[1], p[2]};
        bool alternate = true;
        double turn[4];
        for (int i = 0; i < 4; ++i) {
            const int x = s[i], y = s[(i + 1) % 4];
            if (forward[x] == forward[y]) alternate = false;
            turn[i] = angle[y] - angle[x];
            if (turn[i] < 0) turn[i] += kTurn;
        }
        if (!alternate) continue;
        for (int back = 0; back < 16; ++back) {
            double run[4], total = 0, cost = 0;
            for (int i = 0; i < 4; ++i) {
                run[i] = turn[i] - ((back >> i) & 1 ? kTurn : 0);
                total += run[i];
                cost += std::max(0.0, -run[i]);
            }
            if (std::fabs(total - kTurn) > 1) continue;
            bool possible = true;
            for (int i = 0; i < 4 && possible; ++i) {
                double sum = 0;
                for (int k = 0; k < 3 && possible; ++k) {
                    sum += run[(i + k) % 4];
                    possible = sum >= -(slack[s[i]] + slack[s[(i + k + 1) % 4]]);
                }
            }
            if (!possible) continue;
            for (int flip = 0; flip < (may_flip ? 2 : 1); ++flip) {
                // The faces the caller would have paired that this order parts.
                int parted = 0;
                if (partner) {
                    const int first = inside_first(s[0]) ^ flip;
                    for (int i = 0; i < 4; ++i) {
                        const int x = s[(first + i) % 4], y = s[(first + (i ^ 1)) % 4];
                        parted += partner[x] >= 0 && partner[x] != y;
                    }
                }
                if (flip && parted) continue;
                if (best_cost < 0 || parted < best_parted ||
                    (parted == best_parted && (flip < best_flip || (flip == best_flip && cost < best_cost)))) {
                    best_cost = cost;
                    best_parted = parted;
                    best_flip = flip;
                    for (int i = 0; i < 4; ++i) best[i] = s[i];
                }
            }
        }
    } while (std::next_permutation(p, p + 3));
    if (best_cost < 0) return false;
    const int first = inside_first(best[0]) ^ best_flip;
    for (int i = 0; i < 4; ++i) order[i] = best[(first + i) % 4];
    return true;
}

Vertex* add_vertex(Context& ctx, Solid& s, float x, float y, float z) {
    Vertex* v = make<Vertex>(ctx);
    v->x = x;
    v->y = y;
    v->z = z;
    v->seq = s.next_seq++;
    v->tested = 0;
    v->next = s.vertices;
    s.vertices = v;
    return v;
}

Edge* edge_lookup(Context& ctx, Solid& s, Vertex* a, Vertex* b, bool create) {
    const uint64_t k = bucket_of(s, a, b);
    for (Edge* e = s.buckets[k]; e; e = e->next) {
        if ((e->a == a && e->b == b) || (e->a == b && e->b == a)) return e;
    }
    if (!create) return nullptr;
    Edge* e = make<Edge>(ctx);
    e->a = a;
    e->b = b;
    e->flags = kMarked;
    e->serial = s.next_edge++;
    e->touched = s.epoch;
    e->next = s.buckets[k];
    s.buckets[k] = e;
    return e;
}

uint64_t edge_bucket(const Solid& s, const Edge* e) {
    return bucket_of(s, e->a, e->b);
}

void set_edge_flags(Solid& s, Edge* e, uint32_t flags) {
    if ((flags & kCutEdge) && !(e->flags & kCutEdge)) {
        s.cut_edges.push_back(e);
        e->touched = s.epoch;
    }
    e->flags = flags;
}

namespace {

// Lists f under each of its corners (see faces_at).
void list_corners(Context& ctx, Solid& s, Face* f) {
    for (const Vertex* v : f->v) {
        if (v->seq >= s.around.size()) s.around.resize(size_t(v->seq) + 1, nullptr);
        FaceNode* n = make<FaceNode>(ctx);
        n->face = f;
        n->next = s.around[v->seq];
        s.around[v->seq] = n;
    }
}

// Room for a face after s.cursor: the few faces after it are numbered again, spread
// evenly up to the first face far enough ahead that each gets kRoom ranks. Cutting
// one place over and over thus does not number the whole list each time. False when
// the faces near the cursor are too crowded for that; the order stays either way.
bool make_room(Context& ctx, Solid& s) {
    constexpr double kRoom = 16;  // halves about 30 times more below rank 2^40
    constexpr size_t kWindow = 64;
    const double lo = s.cursor->rank;
    size_t between = 0;
    const Face* end = s.cursor->next;
    for (; end && !(end->rank - lo >= kRoom * double(between + 2)); end = end->next)
        if (++between > kWindow) return false;
    spend(ctx, between);
    const double step = end ? (end->rank - lo) / double(between + 1) : 1024.0;
    Face* f = s.cursor->next;
    for (size_t i = 1; f != end; f = f->next, ++i) f->rank = lo + step * double(i);
    return true;
}

}  // namespace

Face* new_face(Context& ctx, Solid& s, Vertex* x, Vertex* y, Vertex* z, const Face* from) {
    Face* f = make<Face>(ctx);
    attach_face(ctx, s, f, x, y, z);
    f->origin = from ? from->origin : kNoOrigin;
    // The rank lies between the neighbours'; when doubles run out of room between
    // them the faces just after the cursor are numbered again, or where they are
    // crowded the whole list (at the head there is always room).
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Face* after = s.cursor;
        const Face* before = s.cursor ? s.cursor->next : s.faces;
        const double lo = after ? after->rank : (before ? before->rank - 2048.0 : 0.0);
        const double hi = before ? before->rank : lo + 2048.0;
        f->rank = lo + (hi - lo) * 0.5;
        if ((f->rank > lo && f->rank < hi) || attempt == 1) break;
        if (!make_room(ctx, s)) spend(ctx, rank_faces(s));
    }
    if (s.cursor) {
        f->next = s.cursor->next;
        s.cursor->next = f;
    } else {
        f->next = s.faces;
        s.faces = f;
    }
    if (s.index) index_new_face(s, f);
    if (s.around_listed) list_corners(ctx, s, f);
    s.made.push_back(f);
    return f;
}

const FaceNode* faces_at(Context& ctx, Solid& s, const Vertex* v) {
    if (!s.around_listed) {
        s.around_listed = true;
        s.around.assign(s.next_seq, nullptr);
        rank_faces(s);
        for (Face* f = s.faces; f; f = f->next) list_corners(ctx, s, f);
    }
    return v->seq < s.around.size() ? s.around[v->seq] : nullptr;
}

size_t rank_faces(Solid& s) {
    size_t n = 0;
    for (Face* f = s.faces; f; f = f->next) f->rank = 1024.0 * double(n++);
    return n;
}

void reverse_face(Face* f) {
    std::swap(f->e[0], f->e[1]);
    std::swap(f->v[0], f->v[2]);
    f->has_plane = false;
}

namespace {

// Whether face f runs along e from e->a to e->b.
bool runs_forward(const Face* f, const Edge* e) {
    for (int k = 0; k < 3; ++k)
        if (f->e[k] == e) return f->v[k] == e->a;
    return false;
}

// The four live faces of e; false where it has another number.
bool four_faces(const Edge* e, Face* (&out)[4]) {
    int n = 0;
    for (const FaceNode* fn = e->faces; fn; fn = fn->next) {
        if (!live(fn->face)) continue;
        if (n == 4) return false;
        out[n++] = fn->face;
    }
    return n == 4;
}

// The four live faces of e in turn about it, paired each with its neighbour across
// the solid's inside: [0] with [1] and [2] with [3]. `partner`: for each face the one
// it should be paired with where rounding leaves the turn open (-1 for none). False
// unless two run each way, alternating about the edge.
bool pair_about(const Edge* e, Face* (&out)[4], const int (&partner)[4]) {
    D3 third[4];
    bool forward[4];
    for (int i = 0; i < 4; ++i) {
        const Face* f = out[i];
        third[i] = pos(f->v[0] != e->a && f->v[0] != e->b ? f->v[0] : f->v[1] != e->a && f->v[1] != e->b ? f->v[1] : f->v[2]);
        forward[i] = runs_forward(f, e);
    }
    int order[4];
    if (!paired_about(pos(e->a), pos(e->b), third, forward, order, partner)) return false;
    Face* sorted[4];
    for (int i = 0; i < 4; ++i) sorted[i] = out[order[i]];
    for (int i = 0; i < 4; ++i) out[i] = sorted[i];
    return true;
}

// Two parts of a solid that touch along an edge give it four faces. Each face is
// paired with its neighbour across the inside, and the second pair's parts get
// copies of the edge's ends (every face around an end that is reached from the pair
// without crossing the edge), so each edge has two faces again and the parts only
// touch. Where an edge's faces do not pair so, the solid stays as it is. Where
// rounding leaves the turn of the faces about the edge open (a sliver between the
// parts folded over), each face goes with the one it meets going round an end
// without crossing an edge of four faces: the other side of its own part there.
void part_pinched_edges(Context& ctx, Solid& s) {
    std::vector<Edge*> crowded;
    for (Face* f = s.faces; f; f = f->next)
        for (Edge* e : f->e)
            if (e->face_nodes > 2 && std::find(crowded.begin(), crowded.end(), e) == crowded.end()) crowded.push_back(e);
    std::vector<std::pair<Edge*, std::array<Face*, 4>>> pairs;
    for (Edge* e : crowded) {
        Face* four[4];
        if (!four_faces(e, four)) return;
        pairs.push_back({e, {four[0], four[1], four[2], four[3]}});
    }
    if (pairs.empty()) return;
    // The corners of the faces at the ends of those edges, joined across the edges at
    // their vertex: across an edge of two faces, then across a parted edge within a pair.
    constexpr uint32_t kEnd = 0x80000;
    for (const auto& [e, four] : pairs) e->a->flags |= kEnd, e->b->flags |= kEnd;
    std::vector<Face*> around;
    for (Face* f = s.faces; f; f = f->next)
        if (live(f) && ((f->v[0]->flags | f->v[1]->flags | f->v[2]->flags) & kEnd)) around.push_back(f);
    std::sort(around.begin(), around.end());
    std::vector<size_t> parent(3 * around.size());
    for (size_t i = 0; i < parent.size(); ++i) parent[i] = i;
    const auto root = [&parent](size_t i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    };
    const auto corner = [&around](const Face* f, const Vertex* v) {
        const size_t i = size_t(std::lower_bound(around.begin(), around.end(), f) - around.begin());
        for (size_t k = 0; k < 3; ++k)
            if (around[i]->v[k] == v) return 3 * i + k;
        return size_t{0};
    };
    for (size_t i = 0; i < around.size(); ++i) {
        Face* f = around[i];
        for (int k = 0; k < 3; ++k) {
            Edge* e = f->e[k];
            if (e->face_nodes > 2) continue;
            const Face* g = nullptr;
            for (const FaceNode* fn = e->faces; fn; fn = fn->next)
                if (fn->face != f && live(fn->face)) g = fn->face;
            if (!g) continue;
            for (const Vertex* v : {e->a, e->b})
                if (v->flags & kEnd) parent[root(corner(f, v))] = root(corner(g, v));
        }
    }
    // Edges whose every face has a partner are paired first, each joining its pairs'
    // corners at once: an edge between two others of four faces (parts touching
    // along a broken line) finds its partners across the pairs of its neighbours.
    std::vector<bool> done(pairs.size(), false);
    for (int pass = 0; pass < 2; ++pass)
        for (bool progress = true; progress;) {
            progress = false;
            for (size_t p = 0; p < pairs.size(); ++p) {
                auto& [e, four] = pairs[p];
                Face* f[4] = {four[0], four[1], four[2], four[3]};
                int partner[4] = {-1, -1, -1, -1};
                for (int i = 0; i < 4; ++i)
                    for (int j = 0; j < 4; ++j)
                        if (i != j && partner[i] < 0 &&
                            (root(corner(f[i], e->a)) == root(corner(f[j], e->a)) ||
                             root(corner(f[i], e->b)) == root(corner(f[j], e->b))))
                            partner[i] = j;
                if (done[p] || (pass == 0 && std::min({partner[0], partner[1], partner[2], partner[3]}) < 0)) continue;
                if (!pair_about(e, f, partner)) {
                    for (const auto& [pe, pf] : pairs) pe->a->flags &= ~kEnd, pe->b->flags &= ~kEnd;
                    return;
                }
                for (int i = 0; i < 4; ++i) four[size_t(i)] = f[i];
                for (size_t i = 0; i < 4; i += 2)
                    for (const Vertex* v : {e->a, e->b}) parent[root(corner(four[i], v))] = root(corner(four[i + 1], v));
                done[p] = progress = true;
            }
        }
    // The corners of one end vertex in the part of its first corner keep it; each
    // other part gets a copy at the same point.
    std::vector<std::pair<size_t, Vertex*>> copies;  // (root, vertex)
    std::vector<std::pair<Vertex*, size_t>> kept;  // vertex, the root that keeps it
    std::vector<Face*> changed;
    for (size_t i = 0; i < around.size(); ++i)
        for (size_t k = 0; k < 3; ++k) {
            Vertex* v = around[i]->v[k];
            if (!(v->flags & kEnd)) continue;
            const size_t r = root(3 * i + k);
            auto keeper = std::find_if(kept.begin(), kept.end(), [v](const auto& p) { return p.first == v; });
            if (keeper == kept.end()) {
                kept.emplace_back(v, r);
                continue;
            }
            if (keeper->second == r) continue;
            if (std::find_if(copies.begin(), copies.end(), [r](const auto& p) { return p.first == r; }) == copies.end()) {
                Vertex* c = add_vertex(ctx, s, v->x, v->y, v->z);
                c->flags = v->flags & ~kEnd;
                copies.emplace_back(r, c);
            }
            if (changed.empty() || changed.back() != around[i]) changed.push_back(around[i]);
        }
    for (const auto& [e, four] : pairs) e->a->flags &= ~kEnd, e->b->flags &= ~kEnd;
    // Each changed face goes and a face on the copies takes its place, with its edges'
    // flags.
    for (Face* f : changed) {
        const size_t i = size_t(std::lower_bound(around.begin(), around.end(), f) - around.begin());
        Vertex* w[3];
        for (size_t k = 0; k < 3; ++k) {
            w[k] = f->v[k];
            const size_t r = root(3 * i + k);
            for (const auto& [cr, c] : copies)
                if (cr == r) w[k] = c;
        }
        Face* g = make<Face>(ctx);
        attach_face(ctx, s, g, w[0], w[1], w[2]);
        g->origin = f->origin;
        for (int k = 0; k < 3; ++k)
            if (g->e[k]->flags == kMarked) g->e[k]->flags = f->e[k]->flags;
        f->state = kDiscarded;
        g->next = f->next;
        f->next = g;
    }
    Face** link = &s.faces;
    while (*link) {
        if (live(*link)) link = &(*link)->next;
        else *link = (*link)->next;
    }
    s.crowded = false;
    for (Face* f = s.faces; f; f = f->next)
        for (Edge* e : f->e) {
            int n = 0;
            for (const FaceNode* fn = e->faces; fn; fn = fn->next) n += live(fn->face) ? 1 : 0;
            if (n > 2) s.crowded = true;
        }
}

}  // namespace

void load_mesh(Context& ctx, Solid& s, const MESH3* mesh) {
    std::vector<Vertex*> known;
    for (const MeshFaceBlock* b = mesh->blocks; b; b = b->next) {
        known.assign(b->vertices.size(), nullptr);
        if (!ctx.plain_pairs) s.weld.reserve(s.weld.size() + b->vertices.size());
        for (const MeshFace& mf : b->faces) {
            int32_t idx[3];
            if (!corners_of(*b, mf, idx)) continue;
            const MeshVertex* mv[3] = {&b->vertices[idx[0]], &b->vertices[idx[1]], &b->vertices[idx[2]]};
            for (const MeshVertex* v : mv) {
                if (!vec3_finite({v->x, v->y, v->z}))
                    raise(ctx, IDS_UNABLE_TO_PERFORM_BOOLEAN, "Coordinate is not finite");
            }
            D3 p[3];
            for (int i = 0; i < 3; ++i) p[i] = {mv[i]->x, mv[i]->y, mv[i]->z};
            if (!ctx.exact &&
                (points_coincide(p[0], p[1]) || points_coincide(p[1], p[2]) || points_coincide(p[2], p[0])))
                continue;
            Vertex* v[3];
            for (int i = 0; i < 3; ++i) v[i] = find_vertex(ctx, s, *mv[i], idx[i], known);
            // Welding can pull two corners onto one vertex: such a triangle has no area.
            if (v[0] == v[1] || v[1] == v[2] || v[2] == v[0]) continue;
            Face* f = make<Face>(ctx);
            if (ctx.load_reversed) std::swap(v[1], v[2]);
            attach_face(ctx, s, f, v[0], v[1], v[2]);
            f->origin = kNoOrigin;
            if (!ctx.exact) {
                // The triangle's plane as given (the products of float differences are
                // exact in doubles but for the last rounding).
                const D3 n = cross(p[1] - p[0], p[2] - p[0]);
                const double len = length(n);
                f->origin = static_cast<uint32_t>(s.given.size());
                s.given.push_back(len > 0 ? Plane{n * (1 / len), -dot(n, p[0]) / len} : Plane{{0, 0, 0}, 0});
            }
            for (int i = 0; i < 3; ++i) {
                if (f->e[i]->flags == kMarked)
                    f->e[i]->flags = (b->edges[mf.e[i]].flags & kEdgeHidden) ? kMarked : 0;
            }
            f->next = s.faces;
            s.faces = f;
            for (int k = 0; k < 3; ++k) {
                s.box[k] = std::min(s.box[k], f->box[k]);
                s.box[k + 3] = std::max(s.box[k + 3], f->box[k + 3]);
            }
        }
    }
    if (ctx.exact && s.crowded) part_pinched_edges(ctx, s);
}

bool closed_as_given(const MESH3* mesh) {
    std::vector<Corner> given;
    for (const MeshFaceBlock* b = mesh->blocks; b; b = b->next) {
        for (const MeshFace& mf : b->faces) {
            int32_t idx[3];
            if (!corners_of(*b, mf, idx)) continue;
            for (int32_t i : idx) given.emplace_back(b->vertices[i].x, b->vertices[i].y, b->vertices[i].z);
        }
    }
    return corners_closed(given);
}

double volume_as_given(const MESH3* mesh, D3 o) {
    double v = 0;
    for (const MeshFaceBlock* b = mesh->blocks; b; b = b->next) {
        for (const MeshFace& mf : b->faces) {
            int32_t idx[3];
            if (!corners_of(*b, mf, idx)) continue;
            D3 p[3];
            for (int i = 0; i < 3; ++i) p[i] = D3{b->vertices[idx[i]].x, b->vertices[idx[i]].y, b->vertices[idx[i]].z} - o;
            v -= dot(p[0], cross(p[1], p[2]));
        }
    }
    return v / 6.0;
}

// Tells whether g runs along edge e in the same direction as f does.
bool same_direction(const Face* f, const Face* g, const Edge* e) {
    int i = 0, k = 0;
    while (i < 3 && f->e[i] != e) ++i;
    while (k < 3 && g->e[k] != e) ++k;
    if (i == 3 || k == 3) return false;
    return f->v[i] == g->v[k];
}

void height_check(Context& ctx) {
    for (Solid* s : {&ctx.a, &ctx.b}) {
        ctx.subject = s == &ctx.a ? "First object" : "Second object";
        for (const Face* f = s->faces; f; f = f->next) {
            if (!live(f)) continue;
            if (ctx.exact) {
                if (!has_plane_exactly(f)) raise(ctx, IDS_UNABLE_TO_PERFORM_BOOLEAN, "Triangle without area");
                continue;
            }
            double largest = 0;
            for (const Vertex* v : f->v)
                largest = std::max({largest, std::fabs(double{v->x}), std::fabs(double{v->y}), std::fabs(double{v->z})});
            for (int i = 0; i < 3; ++i) {
                const D3 o = pos(f->v[(i + 1) % 3]);
                const double h = dist_to_line(ctx, pos(f->v[i]), o, pos(f->v[(i + 2) % 3]) - o);
                if (h < min_height(largest))
                    raise(ctx, IDS_UNABLE_TO_PERFORM_BOOLEAN, "Height of the tria is zero");
            }
        }
    }
    ctx.subject = nullptr;
}

namespace {

// Number of other live faces of the solid that the ray from f's centroid along its
// normal crosses; ambiguous rays are perturbed and cast again, a bounded number of
// times.
int ray_parity(Context& ctx, Solid& s, Face* f) {
    const D3 c = face_centroid(f);
    D3 n = face_plane_of(ctx, f).n;
    for (int cast = 0; cast <= kMaxRecasts; ++cast) {
        int count = 0;
        bool ambiguous = false;
        for (Face* g = s.faces; g && !ambiguous; g = g->next) {
            spend(ctx);
            if (g == f || !live(g)) continue;
            const D3 m = face_plane_of(ctx, g).n;
            const double dn = dot(n, m);
            const double dw = dot(pos(g->v[0]) - c, m);
            if (std::fabs(dn) >= kGrazingCosine) {
                const double t = dw / dn;
                if (t < -kTol) continue;
                const int r = point_in_triangle(g, m, c + n * t);
                if (r == kPitInside) ++count;
                if (r == kPitEdge) ambiguous = true;
            } else if (std::fabs(dw) < kTol) {
                ambiguous = true;
            }
        }
        if (!ambiguous) return count & 1;
        perturb_ray(ctx, n);
    }
    raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Ray does not settle in csg_ray_parity()");
}

void orient_solid(Context& ctx, Solid& s) {
    std::deque<Face*> queue;
    for (Face* f = s.faces; f; f = f->next) {
        if (!live(f) || f->state != kUnclassified) continue;
        if (ray_parity(ctx, s, f)) reverse_face(f);
        f->state = kOutside;
        queue.push_back(f);
        while (!queue.empty()) {
            Face* h = queue.front();
            queue.pop_front();
            for (Edge* e : h->e) {
                for (FaceNode* n = e->faces; n; n = n->next) {
                    Face* g = n->face;
                    if (!live(g) || g->state != kUnclassified) continue;
                    if (same_direction(h, g, e)) reverse_face(g);
                    g->state = kOutside;
                    queue.push_back(g);
                }
            }
        }
    }
    for (Face* f = s.faces; f; f = f->next) {
        if (live(f) && f->state == kOutside) f->state = kUnclassified;
    }
}

}  // namespace

void check_solid(Context& ctx, Solid& s, int operation) {
    bool dangling = false;
    // Only an edge that was given more than two faces can have more than two live ones.
    for (Edge* bucket : s.buckets) {
        if (!s.crowded) break;
        for (Edge* e = bucket; e; e = e->next) {
            int n = 0;
            for (FaceNode* fn = e->faces; fn; fn = fn->next) n += live(fn->face) ? 1 : 0;
            if (n > 2) dangling = true;
        }
    }
    if (dangling && (operation == kCsgIntersection || operation == kCsgSubtraction)) {
        if (!msgbox_yes_no("%s", res_load_string(kStrCsgDanglingFaces).c_str()))
            raise(ctx, IDS_USER_BREAKS_OPERATION, "User breaks operation");
        return;
    }
    if (ctx.exact) orient_solid_exact(ctx, s);
    else orient_solid(ctx, s);
}

}  // namespace csg
