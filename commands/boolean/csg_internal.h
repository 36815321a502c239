// Working model of the boolean engine: solids of pooled triangles, edges and
// vertices, the storage pool, the error exit, and the routines the engine's files
// share. Private to commands/boolean/.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "commands/boolean/csg.h"
#include "commands/boolean/csg_tolerance.h"
#include "resources/string_ids.h"

namespace csg {

inline constexpr uint64_t kMinBuckets = 4021;

// Vertex flags.
inline constexpr uint32_t kOnCut = 4;       // lies on the intersection of the two surfaces
inline constexpr uint32_t kUnused = 4096;   // used by no kept face
// Edge flags.
inline constexpr uint32_t kMarked = 1;      // drawn hidden in the result
inline constexpr uint32_t kCutEdge = 4;     // lies on the intersection curve
// Face states.
inline constexpr uint32_t kUnclassified = 0;
inline constexpr uint32_t kInside = 1;
inline constexpr uint32_t kOutside = 2;     // also the visited mark of the orientation pass
inline constexpr uint32_t kOnSame = 8;
inline constexpr uint32_t kOnOpposite = 16;
inline constexpr uint32_t kDiscarded = 4096;

struct D3 {
    double x, y, z;
};
inline D3 operator+(D3 a, D3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline D3 operator-(D3 a, D3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline D3 operator*(D3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot(D3 a, D3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline D3 cross(D3 a, D3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(D3 a);

struct Face;

struct Vertex {
    Vertex* next;
    float x, y, z;
    uint32_t flags;   // kOnCut, kUnused; the output index while the result is built
    uint32_t seq;     // creation order within the solid (newest is largest)
    // As a curve point: the other solid's epoch of the last conformance pass that
    // tested it against every cut edge and split none (0: none did). Edges that have
    // not changed since (Edge::touched no later) cannot take it.
    // After the seam join: 1 + the index of this vertex's twin in Context::twins, 0
    // for none (see twin_of).
    uint32_t tested;
};
inline D3 pos(const Vertex* v) { return {v->x, v->y, v->z}; }

struct FaceNode {
    FaceNode* next;
    Face* face;
};

struct Edge {
    Edge* next;  // in its hash bucket
    Vertex* a;
    Vertex* b;
    FaceNode* faces;
    uint32_t flags;
    uint32_t face_nodes;  // length of `faces`
    uint32_t serial;      // creation order within the solid
    uint32_t touched;     // the solid's epoch when it last gained a face or became a cut edge
};

struct Plane {
    D3 n;      // unit normal
    double d;  // offset: signed distance of p is n.p + d
};

// A triangle. Edge e[i] joins v[i] and v[i + 1]; reversing swaps e[0]/e[1] and
// v[0]/v[2].
struct Face {
    Face* next;
    Edge* e[3];
    Vertex* v[3];
    uint32_t state;
    float box[6];  // min x, y, z, max x, y, z
    Plane plane;   // valid when has_plane is set (face_plane_of)
    double rank;   // rises along the face list (set by rank_faces, kept by new_face)
    uint32_t mark; // last walk that listed the face (face index)
    // In the cut of tolerances: the input triangle the face is a piece of (an index in
    // Solid::given), kNoOrigin in the exact cut.
    uint32_t origin;
    // In the exact cut: the input face a piece was cut from (its number in the cut),
    // kNoOrigin for a face the curve left whole.
    uint32_t piece_of;
    bool has_plane;
};
inline constexpr uint32_t kNoOrigin = ~0u;
inline bool live(const Face* f) { return (f->state & kDiscarded) == 0; }

struct FaceIndex;
class RayIndex;

// Lists of items by cell of a 3D grid, for searches that test every item they are
// given: cells are hashed into a table of chain heads without their keys, so two
// cells can share a chain and a look-up can bring items of another cell (and an
// item twice). The table is a quarter of the items' memory and a look-up of an
// empty cell reads one int.
template <class T>
class CellLists {
public:
    void add(int64_t x, int64_t y, int64_t z, T item) {
        if (items_.size() + 1 > heads_.size()) rehash(heads_.empty() ? 64 : heads_.size() * 2);
        const uint32_t h = hash(x, y, z);
        int32_t& head = heads_[slot(h)];
        items_.push_back({item, head, h});
        head = static_cast<int32_t>(items_.size() - 1);
    }
    template <class F>
    void for_each(int64_t x, int64_t y, int64_t z, F&& f) const {
        if (heads_.empty()) return;
        for (int32_t i = heads_[slot(hash(x, y, z))]; i >= 0; i = items_[i].next) f(items_[i].item);
    }
    // Starts fetching the cell's chain head, so several look-ups can wait on memory
    // at once.
    void prefetch(int64_t x, int64_t y, int64_t z) const {
        if (!heads_.empty()) __builtin_prefetch(&heads_[slot(hash(x, y, z))]);
    }
    size_t size() const { return items_.size(); }
    // Empties the lists and keeps their memory.
    void clear() {
        items_.clear();
        std::fill(heads_.begin(), heads_.end(), -1);
    }
    // Room for `items` items in all without growing.
    void reserve(size_t items) {
        items_.reserve(items);
        size_t n = 64;
        while (n < items) n *= 2;
        if (n > heads_.size()) rehash(n);
    }

private:
    struct Item {
        T item;
        int32_t next;
        uint32_t hash;  // the cell's hash from bit 20 up, which places it in any table
    };
    std::vector<int32_t> heads_;
    std::vector<Item> items_;

    static uint32_t hash(int64_t x, int64_t y, int64_t z) {
        uint64_t h = static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ull;
        h ^= static_cast<uint64_t>(y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
        h ^= static_cast<uint64_t>(z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
        return static_cast<uint32_t>((h ^ (h >> 29)) * 0xBF58476D1CE4E5B9ull >> 20);
    }
    size_t slot(uint32_t h) const { return h & (heads_.size() - 1); }
    void rehash(size_t n) {
        heads_.assign(n, -1);
        for (size_t i = 0; i < items_.size(); ++i) {
            int32_t& head = heads_[slot(items_[i].hash)];
            items_[i].next = head;
            head = static_cast<int32_t>(i);
        }
    }
};

struct Solid {
    Face* faces = nullptr;
    Vertex* vertices = nullptr;
    std::vector<Edge*> buckets;
    Face* cursor = nullptr;  // new faces go right after it
    FaceIndex* index = nullptr;  // while the solid is being cut: new faces enter it
    float box[6] = {1e30f, 1e30f, 1e30f, -1e30f, -1e30f, -1e30f};
    uint32_t next_seq = 0;
    bool crowded = false;  // some edge has been given more than two faces
    uint32_t next_edge = 0;
    std::vector<Edge*> cut_edges;  // every edge that became a cut edge, once
    std::vector<Face*> made;       // every face made after loading
    // In the cut of tolerances: the plane of each input triangle as given, before the
    // weld (Face::origin), so the result check can tell how far faces left it.
    std::vector<Plane> given;
    // By Vertex::seq: the faces ever made at each vertex (live or not), listed once
    // the corner moves of the cut of tolerances first ask (faces_at), then kept.
    std::vector<FaceNode*> around;
    bool around_listed = false;
    // Moved on by each conformance pass that splits this solid's cut edges, so the
    // pass can tell the edges changed since a curve point was last tested.
    uint32_t epoch = 1;
    // Weld grid of the loading (cells eight tolerances wide), for the nearest-vertex
    // search.
    CellLists<Vertex*> weld;
    // The same search over a hash map of tolerance-wide cells and their 27
    // neighbours: the reference for the grid, used with Context::plain_pairs.
    std::unordered_map<uint64_t, std::vector<Vertex*>> weld_reference;
    // The exact orientation's index of the live faces for rays along +x (those faces
    // are the ones the exact cut then cuts).
    std::shared_ptr<const RayIndex> rays;
};

// The storage pool: zeroed blocks and per-size pools of fragments (16 elements, then
// twice as many each time up to 4096), all released at once.
struct Fragment {
    Fragment* next;
    size_t used;
    size_t capacity;
    alignas(std::max_align_t) unsigned char data[1];
};
struct PoolHead {
    size_t size;
    Fragment* fragments;
};
struct Pool {
    std::vector<void*> blocks;
    std::vector<PoolHead> pools;
};

struct Context {
    Solid a, b;
    Pool pool;
    int code = 0;
    char text[256] = {};
    uint64_t rng = 0x9E3779B97F4A7C15ull;  // seeded generator of the ray perturbation
    size_t faces_made = 0;
    size_t face_budget = 0;  // cutting gives up with 42191 beyond this many faces
    // Steps of the walks whose number is not bounded by the faces alone (face pairs
    // tested, faces met by rays and by the searches around a vertex): beyond the
    // budget, which grows with the input, the call ends with 42191.
    size_t work = 0;
    size_t work_budget = 0;
    // Weld with the reference map, cut by walking every face pair and conform the
    // curves by walking every cut edge (the reference for the weld grid, the face
    // index, the exact cut's grid of faces and the cut-edge grid).
    bool plain_pairs = false;
    // The exact attempt: corners are one vertex only where their coordinates are equal
    // (no weld within the tolerance), and a triangle is refused only when its corners
    // lie exactly on one line.
    bool exact = false;
    // The object being loaded or checked ("First object", "Second object"), named in
    // the text of a refusal of unsound input; null once both are taken.
    const char* subject = nullptr;
    // Set when the exact attempt found parts of one solid crossing each other.
    bool overlaps = false;
    // The seam join's twins (see twin_of); set once the join has run.
    std::vector<Vertex*> twins;
    bool seam_joined = false;
    // Set by the exact cut: the solids only touch, a face of one lying on a face of the
    // other over some area and no face crossing another, so a result holding both
    // solids whole would have them meet along that area.
    bool touch_only = false;
    // Set by the exact cut when no face crossed another: each solid is kept whole or
    // dropped whole, so corners of the two at one point are solids touching there.
    bool uncut = false;
    // Why the exact cut could not split a face (null when it could).
    const char* gave_way = nullptr;
    // Set by the exact cut when a sign met an exact zero, or rounding to float
    // collapsed or mended pieces: the result may hold a sheet or a fold.
    bool degenerate = false;
    // The kept faces have corners of two parts written at one point (parts that only
    // touch there); set by the result check.
    bool pinched = false;
    // Some edge off the seam carries four faces of one solid's kept faces (set by the
    // result check): the result must read as a sound solid by exact checks alone.
    bool pinched_off_seam = false;
    // Faces are loaded the other way round (the solid as its reversed copy reads).
    bool load_reversed = false;
    // Set by the exact cut: for each face of A lying on a face of B over some area, the
    // faces that stand for each of the two (the face, or its pieces).
    std::vector<std::pair<std::vector<Face*>, std::vector<Face*>>> flat_pairs;
    // Set by sheet_check: kept faces of A and B on each other only where rounding the
    // curve to float moved a piece's edge past its neighbour's (no sheet, but a fold a
    // float step wide that later cuts take badly), so the cut of tolerances is asked
    // first and the exact answer stands where it refuses.
    bool rounding_folds = false;
    // Set by the exact cut when a sign met an exact zero (settled by the tie-break).
    bool ties = false;
    // Set by the exact attempt when a sound input is thinner on average than twice the
    // tolerance: the cut of tolerances would weld its walls together, so where the
    // exact cut gives way the exact attempt's answer stands.
    bool thin = false;
    // Set by the exact attempt when both inputs are closed and pass every input check.
    bool sound = false;
};

// In the result: the vertex of A that stands for v (of B) on the seam, so both sides
// of the seam are written at one point; null for none or before the seam join.
inline Vertex* twin_of(const Context& ctx, const Vertex* v) {
    return ctx.seam_joined && v->tested ? ctx.twins[v->tested - 1] : nullptr;
}

// The engine's error exit: thrown by raise, caught at the entries only.
struct Jump {
    int code;
};
[[noreturn]] void raise(Context& ctx, int code, const char* text);
[[noreturn]] void raise_no_memory(Context& ctx, const char* text);

// Counts `steps` steps of work; ends the call once the budget (when set) is spent.
inline void spend(Context& ctx, size_t steps = 1) {
    if ((ctx.work += steps) > ctx.work_budget && ctx.work_budget)
        raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Operation does not come to an end");
}

void* block_alloc(Context& ctx, size_t size);
void* pool_alloc(Context& ctx, size_t size);
template <class T>
T* make(Context& ctx) {
    return static_cast<T*>(pool_alloc(ctx, sizeof(T)));
}
void heap_free(Context& ctx);

// Predicates (csg_geom.cpp).
D3 get_normal(Context& ctx, D3 a0, D3 a1, D3 a2);
Plane face_plane(Context& ctx, const Face* f);
// The face's plane, computed on first use and kept (until the face is reversed).
const Plane& face_plane_of(Context& ctx, Face* f);
double dist_to_line(Context& ctx, D3 p, D3 o, D3 u);
bool points_coincide(D3 a, D3 b);
// Inline: the face index calls it for every face it meets.
inline bool intervals_overlap(double a1, double a2, double b1, double b2) {
    if (b2 < a1 - kTol) return false;
    return b1 <= a2 || b1 - a2 <= kTol;
}
inline bool boxes_overlap(const float a[6], const float b[6]) {
    for (int i = 0; i < 3; ++i) {
        if (!intervals_overlap(a[i], a[i + 3], b[i], b[i + 3])) return false;
    }
    return true;
}
bool box_contains(const float box[6], D3 p);
inline constexpr int kPitInside = 1, kPitOutside = 2, kPitEdge = 4;
int point_in_triangle(const Face* g, D3 m, D3 p);
D3 face_centroid(const Face* f);
void perturb_ray(Context& ctx, D3& d);
D3 interpolate(D3 a, D3 b, double da, double db);
void face_box(Face* f);

// Working model upkeep (csg_load.cpp).
// A new vertex at the head of the solid's vertex list (flags 0).
Vertex* add_vertex(Context& ctx, Solid& s, float x, float y, float z);
// Four faces on the edge from a to b (each by its third corner and whether it runs
// from a to b), in turn about the edge and paired each with its neighbour across the
// inside: order[0] with order[1], order[2] with order[3]. False unless they run
// each way alternately (two parts touching along the edge, not crossing there).
// Faces within rounding of one another about the edge may lie in either order; of the
// pairings that allows, the one that parts fewest faces from their `partner` (an
// index, -1 for none) is taken, then the one nearest the faces' own order.
bool paired_about(D3 a, D3 b, const D3 (&third)[4], const bool (&forward)[4], int (&order)[4],
                  const int* partner = nullptr);
Edge* edge_lookup(Context& ctx, Solid& s, Vertex* a, Vertex* b, bool create);
// The edge's bucket in the solid's edge table.
uint64_t edge_bucket(const Solid& s, const Edge* e);
// Sets an edge's flags, listing it in the solid's cut edges when it becomes one.
void set_edge_flags(Solid& s, Edge* e, uint32_t flags);
// `from`: the face the new one is a piece of (its input triangle is the new one's).
Face* new_face(Context& ctx, Solid& s, Vertex* x, Vertex* y, Vertex* z, const Face* from = nullptr);
// Numbers the solid's faces in list order (ranks 1024 apart); gives their number.
size_t rank_faces(Solid& s);
// The faces ever made at v (live or gone), newest first; the first call lists them
// all and numbers the faces again, so that rank orders any of them as the list does.
const FaceNode* faces_at(Context& ctx, Solid& s, const Vertex* v);
// Enters a new face into the solid's face index (csg_cut.cpp).
void index_new_face(Solid& s, Face* f);
void reverse_face(Face* f);
void load_mesh(Context& ctx, Solid& s, const MESH3* mesh);
// Whether the mesh is closed as given, by the identity of its corners' coordinates,
// before any weld (which can open a solid whose edges are shorter than the
// tolerance). Asked only of a solid that loaded open: it sorts every corner.
bool closed_as_given(const MESH3* mesh);
// The signed volume the mesh's triangles enclose as given, before any weld, about o
// (positive for triangles pointing outward).
double volume_as_given(const MESH3* mesh, D3 o);
void height_check(Context& ctx);
void check_solid(Context& ctx, Solid& s, int operation);
// Largest number of re-casts of one ray before the engine gives up with 42191.
inline constexpr int kMaxRecasts = 64;

// Cutting and classification (csg_cut.cpp, csg_classify.cpp).
void intersect_solids(Context& ctx);
// The exact cut (csg_corefine.cpp): splits both solids along their intersection with
// every crossing made once and shared, and classifies every face. False, with the
// solids untouched, when some face cannot be split soundly.
bool exact_cut(Context& ctx);
// After the faces of the operation are kept: drops kept faces of A and B on the same
// three points the other way round (a sheet rounding closed flat), then refuses with
// 42191 (so the cut of tolerances runs) when faces of both solids that lie on each
// other over some area are both kept. The tie-break put one a step off the other, so they would meet as a
// sheet of no thickness, which no later operation could take as a solid.
void sheet_check(Context& ctx);
// Whether g runs along edge e in the same direction as f does.
bool same_direction(const Face* f, const Face* g, const Edge* e);
// Orients each connected part of a closed solid by exact tests: consistent winding
// over its edges, and clockwise from outside by the parity of an exact ray.
void orient_solid_exact(Context& ctx, Solid& s);
// Whether the face's corners do not lie on one line, decided exactly.
bool has_plane_exactly(const Face* f);
// Classifies A's faces against B and B's against A.
void classify_all(Context& ctx);
// Inside the engine only: B minus A, for the exact cut run again with the operands'
// roles swapped (its ties then settled the other way).
inline constexpr int kReversedSubtraction = 3;
// Refuses the call when a region of s's faces (bounded by the curve) that holds one of
// the curve's open `ends` lies partly inside t and partly outside, by rays from its
// larger faces off the curve.
void check_regions_at_ends(Context& ctx, Solid& s, Solid& t, const std::vector<Vertex*>& ends);
void select_faces(Context& ctx, int operation);

// Whether the live faces of s use every edge as often one way as the other, and the
// signed volume they enclose about o (positive for faces pointing outward; o matters
// only when they are not closed).
struct Shape {
    bool closed;
    double volume;
};
Shape solid_shape(const Context& ctx, const Solid& s, D3 o);
// Joins B's side of the seam to A's and checks the kept faces before anything is
// built: closed by vertex identity, every edge used as often each way, no face
// without area, and a volume the operation can give from solids of volumes va and
// vb. Raises 42191 otherwise (csg_verify.cpp).
// The parts without volume are left out (drop_parts_without_volume) before the volume
// is checked.
void verify_result(Context& ctx, int operation, double va, double vb);
// Marks discarded the parts of the kept faces (joined over edges, corners at one
// written point one) as thin as rounding that a later operation would refuse as input
// (csg_build.cpp).
void drop_parts_without_volume(Context& ctx);

// Whether faces of one connected part of s meet anywhere but along their common
// edges and corners: crossing each other, or lying in one plane over some area.
// Decided exactly, counting only crossings deeper than four float steps at the
// solid's largest coordinate (rounding to float makes shallower ones); a grid of the
// faces' boxes picks the pairs (csg_self.cpp).
bool overlaps_itself(Context& ctx, const Solid& s);
// How far rounding corners to float can move faces of a solid with this box: four
// float steps at its largest coordinate (or side). Faces crossing no deeper than that
// are rounding's work (a result of the engine rounds its cut points so), not an
// overlap.
double rounding_allowance(const float box[6]);
// How deep f and g cross, to be held against rounding_allowance: the crossing's
// least distance to an edge of either face (at the ends and middle of the segment
// where f meets g's plane, cut to g; 0 when f does not reach g's plane inside g), or,
// for faces facing away from each other, how far apart they must move to clear each
// other, whichever is less.
double crossing_depth(const Face* f, const Face* g);
// Whether the insides of f and g meet (exact signs on the float corners): they cross,
// or lie in one plane over some area. Faces on a common edge meet only in one plane.
bool faces_cross(const Face* f, const Face* g);

// Result (csg_build.cpp): the new mesh or null (a failed allocation).
std::unique_ptr<MESH3> build_mesh(Context& ctx);

// csg_boolean, optionally cutting by walking every face pair instead of the face
// index (the two give the same result; tests compare them).
std::unique_ptr<MESH3> boolean_run(const MESH3* a, const MESH3* b, int operation, CsgStatus* status,
                                   bool plain_pairs);

}  // namespace csg
