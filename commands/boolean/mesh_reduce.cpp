// Mesh reduction by shortest-edge collapse: the reduction model of a face block, the
// collapse and the test that passes over collapses breaking the surface, the search
// for the next edge (a plain walk, or a queue of edges by key with the same answers),
// and writing the reduced block.
#include "commands/boolean/mesh_reduce.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <new>
#include <vector>

#include "model/math/result.h"
#include "model/mesh/mesh_block.h"
#include "model/rtc/rtc.h"

namespace {

constexpr uint32_t kBoundary = 4;  // vertex on the outline of an open block
constexpr uint32_t kNumbered = 8;  // vertex already given an output index
constexpr uint32_t kLocked = 8;    // edge never collapsed
constexpr uint32_t kGone = 16;     // edge removed
constexpr uint32_t kPassed = 32;   // collapse refused, until a collapse at one of its ends
constexpr float kMaxLength = 1e6f;  // squared lengths from here up are never collapsed

// Vertex and edge nodes take 32 bytes, so each lies in one cache line.
struct alignas(32) VertexNode {
    int32_t next, prev;
    float x, y, z;
    uint32_t flags;
    int32_t index;  // output index once numbered
};

struct alignas(32) EdgeNode {
    int32_t next, prev;
    int32_t a, b;    // vertex nodes
    int32_t f1, f2;  // face nodes, 0 for none
    uint32_t flags;  // kLocked, kGone
    float length;    // squared
};
static_assert(sizeof(VertexNode) == 32 && sizeof(EdgeNode) == 32);

bool gone(const EdgeNode& e) {
    return (e.flags & kGone) != 0;
}

struct FaceNode {
    int32_t next, prev;
    int32_t e[3];  // edge nodes
    bool removed;
    uint32_t mark;  // the number of the last collapse test that met it
};

template <class Node>
void list_build(std::vector<Node>& nodes) {
    const auto n = static_cast<int32_t>(nodes.size());
    for (int32_t i = 0; i < n; ++i) {
        nodes[i].next = (i + 1) % n;
        nodes[i].prev = (i + n - 1) % n;
    }
}

template <class Node>
void list_unlink(std::vector<Node>& nodes, int32_t i) {
    nodes[nodes[i].prev].next = nodes[i].next;
    nodes[nodes[i].next].prev = nodes[i].prev;
}

float squared_length(const VertexNode& p, const VertexNode& q) {
    const double dx = double(p.x) - q.x, dy = double(p.y) - q.y, dz = double(p.z) - q.z;
    return static_cast<float>(dx * dx + dy * dy + dz * dz);
}

// Collapses go by key, and among equal keys by edge (list order). The key is the
// length class, a step of 2^(1/8) in squared length (about 4% in length), then one of
// 16 groups of the edges, each made of runs of 1,024 edges picked by a hash of the
// run. Taking the edges of a key in order walks the mesh's arrays forward, where the
// exact shortest edge jumps between nearly equal lengths all over the mesh (the
// reduction took twice as long); the groups spread each class's collapses over the
// whole mesh instead of sweeping it from one end to the other, which left smooth
// surfaces further from their input.
constexpr int kClassShift = 20;  // of the squared length's bits: three bits of mantissa left
constexpr int kRunShift = 10;
constexpr int kGroupBits = 4;

uint32_t edge_key(float squared, int32_t edge) {
    uint32_t bits;
    std::memcpy(&bits, &squared, sizeof bits);
    const uint32_t group = (uint32_t(edge >> kRunShift) * 2654435761u) >> (32 - kGroupBits);
    return (bits >> kClassShift) << kGroupBits | group;
}

// (key, edge) pairs, the least first: per key the entries it started with, in edge
// order, and a heap of those that came later; a bit per key that holds entries. The
// arrays span the keys from the least to the greatest entered so far.
class KeyQueue {
public:
    bool empty() const { return current_ >= span(); }
    // The least entry (not empty()).
    std::pair<uint32_t, int32_t> top() const { return {base_ + current_, head(current_)}; }
    // `edges`, which come in edge order, with their keys.
    void assign(const std::vector<int32_t>& edges, const std::vector<uint32_t>& edge_keys) {
        uint32_t low = edge_keys.empty() ? 0 : edge_keys[0], high = low;
        for (uint32_t key : edge_keys) low = std::min(low, key), high = std::max(high, key);
        base_ = low;
        const size_t n = size_t(high - low) + 1;
        begin_.assign(n + 1, 0);
        for (uint32_t key : edge_keys) ++begin_[key - base_ + 1];
        for (size_t c = 0; c < n; ++c) begin_[c + 1] += begin_[c];
        read_.assign(begin_.begin(), begin_.end() - 1);
        items_.resize(edges.size());
        std::vector<int32_t> fill(read_);
        for (size_t i = 0; i < edges.size(); ++i) items_[static_cast<size_t>(fill[edge_keys[i] - base_]++)] = edges[i];
        later_.assign(n, {});
        held_.assign((n + 63) / 64, 0);
        current_ = static_cast<uint32_t>(n);
        for (size_t c = 0; c < n; ++c)
            if (begin_[c + 1] > begin_[c]) mark(static_cast<uint32_t>(c));
    }
    void push(uint32_t key, int32_t edge) {
        if (key < base_) lower_base(key);
        const uint32_t c = key - base_;
        if (c >= span()) grow(c);
        std::vector<int32_t>& h = later_[c];
        h.push_back(edge);
        std::push_heap(h.begin(), h.end(), std::greater<>());
        mark(c);
    }
    void pop() {
        const uint32_t c = current_;
        std::vector<int32_t>& h = later_[c];
        const bool from_start = read_[c] < begin_[c + 1];
        if (from_start && (h.empty() || items_[static_cast<size_t>(read_[c])] < h.front())) {
            ++read_[c];
        } else {
            std::pop_heap(h.begin(), h.end(), std::greater<>());
            h.pop_back();
        }
        if (read_[c] == begin_[c + 1] && h.empty()) {
            held_[c / 64] &= ~(uint64_t(1) << (c % 64));
            current_ = next_held(c);
        }
    }

private:
    // Per key from base_: its start entries items_[begin_[c]..begin_[c + 1]), the next
    // of them to take, and the heap of later edges.
    std::vector<int32_t> begin_, read_, items_;
    std::vector<std::vector<int32_t>> later_;
    std::vector<uint64_t> held_;
    uint32_t base_ = 0;
    uint32_t current_ = 0;  // the least key that holds entries, from base_; span() when none

    uint32_t span() const { return static_cast<uint32_t>(later_.size()); }
    int32_t head(uint32_t c) const {
        const std::vector<int32_t>& h = later_[c];
        if (read_[c] < begin_[c + 1]) {
            const int32_t e = items_[static_cast<size_t>(read_[c])];
            return h.empty() || e < h.front() ? e : h.front();
        }
        return h.front();
    }
    void mark(uint32_t c) {
        held_[c / 64] |= uint64_t(1) << (c % 64);
        current_ = std::min(current_, c);
    }
    uint32_t next_held(uint32_t c) const {
        for (size_t w = c / 64; w < held_.size(); ++w) {
            uint64_t bits = held_[w];
            if (w == c / 64) bits &= ~uint64_t(0) << (c % 64);
            if (bits) return static_cast<uint32_t>(w * 64 + static_cast<size_t>(__builtin_ctzll(bits)));
        }
        return span();
    }
    void grow(uint32_t c) {
        const size_t n = size_t(c) + 1, was = later_.size();
        const bool none = current_ >= was;
        const int32_t end = begin_.back();
        begin_.resize(n + 1, end);
        read_.resize(n, end);
        later_.resize(n);
        held_.resize((n + 63) / 64, 0);
        if (none) current_ = static_cast<uint32_t>(n);
    }
    // Keys from `key` up to the old base are added in front, empty.
    void lower_base(uint32_t key) {
        const uint32_t d = base_ - key;
        const bool none = current_ >= span();
        begin_.insert(begin_.begin(), d, 0);
        read_.insert(read_.begin(), d, 0);
        later_.insert(later_.begin(), d, std::vector<int32_t>());
        held_.assign((later_.size() + 63) / 64, 0);
        for (size_t c = 0; c < later_.size(); ++c)
            if (read_[c] < begin_[c + 1] || !later_[c].empty()) held_[c / 64] |= uint64_t(1) << (c % 64);
        base_ = key;
        current_ = none ? span() : current_ + d;
    }
};

}  // namespace

struct ReduceModel {
    const MeshFaceBlock* source = nullptr;
    double percentage = 50;
    std::vector<VertexNode> vertices;  // node 0: sentinel; node i + 1: block vertex i
    std::vector<EdgeNode> edges;
    std::vector<FaceNode> faces;
    int32_t face_count = 0;
    int32_t candidate = 0;  // next edge chosen by the last collapse, 0 for none
    // Queue search only. The edges at each vertex: a chain of runs of `around_edges`
    // (a vertex that takes over another's edges takes over its chain too); runs
    // may still list edges that have left the vertex.
    struct Run {
        int32_t start, count, next;
    };
    std::vector<int32_t> around_edges;
    std::vector<Run> runs;
    std::vector<int32_t> first_run, last_run;  // per vertex, -1 for none
    // Per edge: its length while it can be collapsed, else -1, so the queue's stale
    // entries are told without reading the edges.
    std::vector<float> live_length;
    KeyQueue queue;
    // Scratch of the collapse test: the edges at each end, the faces around them.
    std::vector<int32_t> ring_a, ring_b, around_faces;
    std::vector<std::array<std::array<double, 3>, 2>> around_normals;  // unit, now and after
    uint32_t test_number = 0;
};

namespace {

bool collapsible(const EdgeNode& e) {
    return !(e.flags & (kGone | kLocked | kPassed)) && e.length < kMaxLength;
}

// Whether collapsible edge i comes before edge `best` (0 for none), which is earlier
// in list order.
bool comes_before(const ReduceModel& m, int32_t i, int32_t best) {
    return best == 0 || edge_key(m.edges[i].length, i) < edge_key(m.edges[best].length, best);
}

int32_t search_all(const ReduceModel& m) {
    int32_t best = 0;
    for (int32_t i = m.edges[0].next; i != 0; i = m.edges[i].next) {
        const EdgeNode& e = m.edges[i];
        if (collapsible(e) && comes_before(m, i, best)) best = i;
    }
    return best;
}

// The live edge of the least (key, edge). Every live edge has an entry of a key no
// greater than its own; an entry of a smaller key than its edge has come to is
// entered again at the edge's key when it comes to the top.
int32_t queue_top(ReduceModel& m) {
    while (!m.queue.empty()) {
        const auto [key, edge] = m.queue.top();
        const float live = m.live_length[edge];
        if (live >= 0 && edge_key(live, edge) == key) return edge;
        m.queue.pop();
        if (live >= 0) m.queue.push(edge_key(live, edge), edge);
    }
    return 0;
}

void remove_edge(ReduceModel& m, int32_t e) {
    list_unlink(m.edges, e);
    m.edges[e].flags |= kGone;
    if (!m.live_length.empty()) m.live_length[e] = -1;
}

void remove_face(ReduceModel& m, int32_t f) {
    list_unlink(m.faces, f);
    m.faces[f].removed = true;
    for (int32_t e : m.faces[f].e) {
        if (m.edges[e].f1 == f) m.edges[e].f1 = 0;
        if (m.edges[e].f2 == f) m.edges[e].f2 = 0;
    }
    --m.face_count;
}

bool touches(const EdgeNode& e, int32_t v) {
    return e.a == v || e.b == v;
}

int32_t other_end(const EdgeNode& e, int32_t v) {
    return e.a == v ? e.b : e.a;
}

std::array<float, 3> midpoint(const ReduceModel& m, int32_t a, int32_t b) {
    const VertexNode &p = m.vertices[a], &q = m.vertices[b];
    return {(p.x + q.x) * 0.5f, (p.y + q.y) * 0.5f, (p.z + q.z) * 0.5f};
}

// An edge at the vertex a collapse kept: measured again unless locked, and tried
// again if it was passed over (its surroundings changed); with the queue, entered
// at its new key.
void remeasure(ReduceModel& m, int32_t i, bool queued) {
    EdgeNode& e = m.edges[i];
    e.flags &= ~kPassed;
    if (e.flags & kLocked) return;
    e.length = squared_length(m.vertices[e.a], m.vertices[e.b]);
    if (!queued) return;
    // A live edge that grew keeps its entry of a lower key (see queue_top).
    const float was = m.live_length[i];
    m.live_length[i] = collapsible(e) ? e.length : -1;
    if (m.live_length[i] >= 0 && (was < 0 || edge_key(e.length, i) < edge_key(was, i)))
        m.queue.push(edge_key(e.length, i), i);
}

// Collapses edge e: its faces go, b joins a at the midpoint. False when a face of e
// is inconsistent.
bool collapse(ReduceModel& m, int32_t ei, bool plain) {
    const int32_t a = m.edges[ei].a, b = m.edges[ei].b;
    __builtin_prefetch(&m.vertices[a]);
    __builtin_prefetch(&m.vertices[b]);
    __builtin_prefetch(&m.faces[m.edges[ei].f1]);
    __builtin_prefetch(&m.faces[m.edges[ei].f2]);
    if (!plain) {
        __builtin_prefetch(&m.first_run[b]);
        __builtin_prefetch(&m.runs[b]);
        __builtin_prefetch(&m.first_run[a]);
    }
    const std::array<float, 3> mid = midpoint(m, a, b);
    const int32_t faces[2] = {m.edges[ei].f1, m.edges[ei].f2};
    for (int k = 0; k < 2; ++k) {
        const int32_t f = faces[k];
        if (f == 0 || m.faces[f].removed || (k == 1 && f == faces[0])) continue;
        const int32_t* fe = m.faces[f].e;
        int32_t ca = 0, cb = 0;
        if (a == b) {
            int j = 0;
            while (j < 3 && fe[j] != ei) ++j;
            if (j < 3) {
                ca = fe[(j + 1) % 3];
                cb = fe[(j + 2) % 3];
            }
        } else {
            for (int j = 0; j < 3; ++j) {
                if (fe[j] == ei) continue;
                if (touches(m.edges[fe[j]], a)) {
                    if (!ca) ca = fe[j];
                } else if (!cb) {
                    cb = fe[j];
                }
            }
        }
        if (!ca || !cb || gone(m.edges[ca]) || gone(m.edges[cb])) return false;
        EdgeNode& c = m.edges[cb];
        const int32_t g = c.f1 == f ? c.f2 : c.f1;
        if (m.edges[ca].f1 == f) {
            m.edges[ca].f1 = g;
        } else if (m.edges[ca].f2 == f) {
            m.edges[ca].f2 = g;
        }
        if (g) {
            for (int32_t& ge : m.faces[g].e) {
                if (ge == cb) ge = ca;
            }
        }
        remove_edge(m, cb);
        remove_face(m, f);
    }
    m.vertices[a].x = mid[0];
    m.vertices[a].y = mid[1];
    m.vertices[a].z = mid[2];
    remove_edge(m, ei);
    if (plain) {
        // One pass: edges that ended at b now end at a, the edges at a are measured
        // again, and the first collapsible edge by key becomes the next candidate.
        int32_t best = 0;
        for (int32_t i = m.edges[0].next; i != 0; i = m.edges[i].next) {
            EdgeNode& e = m.edges[i];
            if (e.a == b) e.a = a;
            if (e.b == b) e.b = a;
            if (touches(e, a)) remeasure(m, i, false);
            if (collapsible(e) && comes_before(m, i, best)) best = i;
        }
        m.candidate = best;
    } else {
        // The edges at b and then their far ends are fetched ahead, so their cache
        // misses overlap instead of following one another.
        for (int32_t r = m.first_run[b]; r >= 0; r = m.runs[r].next) {
            for (int32_t k = m.runs[r].start; k < m.runs[r].start + m.runs[r].count; ++k)
                __builtin_prefetch(&m.edges[m.around_edges[k]]);
        }
        for (int32_t r = m.first_run[b]; r >= 0; r = m.runs[r].next) {
            for (int32_t k = m.runs[r].start; k < m.runs[r].start + m.runs[r].count; ++k) {
                const EdgeNode& e = m.edges[m.around_edges[k]];
                __builtin_prefetch(&m.vertices[e.a == b ? e.b : e.a]);
                __builtin_prefetch(&m.live_length[m.around_edges[k]]);
            }
        }
        for (int32_t r = m.first_run[b]; r >= 0; r = m.runs[r].next) {
            const ReduceModel::Run run = m.runs[r];
            for (int32_t k = run.start; k < run.start + run.count; ++k) {
                const int32_t i = m.around_edges[k];
                EdgeNode& e = m.edges[i];
                if (gone(e) || (e.a != b && e.b != b)) continue;
                if (e.a == b) e.a = a;
                if (e.b == b) e.b = a;
                remeasure(m, i, true);
            }
        }
        if (a != b) {
            // The edges that already ended at a, as the collapse test found them.
            for (int32_t i : m.ring_a)
                if (!gone(m.edges[i])) remeasure(m, i, true);
        }
        if (a != b && m.first_run[b] >= 0) {
            // a takes over b's chain.
            m.runs[m.last_run[b]].next = m.first_run[a];
            if (m.first_run[a] < 0) m.last_run[a] = m.last_run[b];
            m.first_run[a] = m.first_run[b];
            m.first_run[b] = m.last_run[b] = -1;
        }
        m.candidate = queue_top(m);
    }
    if (b != a) list_unlink(m.vertices, b);
    return true;
}

// The corners of face f from its first two edges, or false when they share none.
bool face_corners(const ReduceModel& m, int32_t f, int32_t v[3]) {
    const EdgeNode& e0 = m.edges[m.faces[f].e[0]];
    const EdgeNode& e1 = m.edges[m.faces[f].e[1]];
    int32_t s;
    if (e0.a == e1.a || e0.a == e1.b) {
        s = e0.a;
    } else if (e0.b == e1.a || e0.b == e1.b) {
        s = e0.b;
    } else {
        return false;
    }
    v[0] = e0.a == s ? e0.b : e0.a;
    v[1] = s;
    v[2] = e1.a == s ? e1.b : e1.a;
    return true;
}

// The edges at vertex v: through its chain of runs, or by walking every edge. The
// chain is compacted on the way: the edges that left v are dropped from it.
void edges_at(ReduceModel& m, int32_t v, bool plain, std::vector<int32_t>& out) {
    out.clear();
    if (plain) {
        for (int32_t i = m.edges[0].next; i != 0; i = m.edges[i].next)
            if (touches(m.edges[i], v)) out.push_back(i);
        return;
    }
    if (m.first_run[v] < 0) return;
    int32_t to_run = m.first_run[v], to = 0;  // where the next kept edge is written
    for (int32_t r = m.first_run[v]; r >= 0; r = m.runs[r].next) {
        for (int32_t k = m.runs[r].start; k < m.runs[r].start + m.runs[r].count; ++k) {
            const int32_t i = m.around_edges[k];
            if (gone(m.edges[i]) || !touches(m.edges[i], v)) continue;
            out.push_back(i);
            while (to == m.runs[to_run].count) {  // never past the run being read
                to_run = m.runs[to_run].next;
                to = 0;
            }
            m.around_edges[m.runs[to_run].start + to++] = i;
        }
    }
    m.runs[to_run].count = to;
    m.runs[to_run].next = -1;
    m.last_run[v] = to_run;
}

void prefetch_edges_at(const ReduceModel& m, int32_t v) {
    for (int32_t r = m.first_run[v]; r >= 0; r = m.runs[r].next) {
        for (int32_t k = m.runs[r].start; k < m.runs[r].start + m.runs[r].count; ++k)
            __builtin_prefetch(&m.edges[m.around_edges[k]]);
    }
}

using Vec = std::array<double, 3>;

Vec face_normal(const Vec& p, const Vec& q, const Vec& r) {
    const Vec u = {q[0] - p[0], q[1] - p[1], q[2] - p[2]}, w = {r[0] - p[0], r[1] - p[1], r[2] - p[2]};
    return {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
}

Vec unit(const Vec& n) {
    const double l = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    return l > 0 ? Vec{n[0] / l, n[1] / l, n[2] / l} : Vec{0, 0, 0};
}

double dot3(const Vec& p, const Vec& q) {
    return p[0] * q[0] + p[1] * q[1] + p[2] * q[2];
}

// Faces meeting across an edge whose normals point against each other closer than
// this (a fold under 30 degrees) lie almost flat on each other.
constexpr double kFoldDot = -0.866;

// Whether collapsing edge ei folds two faces that meet across an edge afterwards onto
// each other (more than they were): a face around the ends and its neighbour, or the
// two faces that become neighbours where a face of the edge vanishes. The normals of
// the faces around the ends, now and after, are in m.around_normals.
bool folds_neighbours(const ReduceModel& m, int32_t ei) {
    const EdgeNode& e = m.edges[ei];
    // A face's unit normals now and after the collapse.
    auto normals = [&](int32_t f, Vec* before, Vec* after) {
        for (size_t i = 0; i < m.around_faces.size(); ++i)
            if (m.around_faces[i] == f) {
                *before = m.around_normals[i][0], *after = m.around_normals[i][1];
                return true;
            }
        int32_t v[3];
        if (!face_corners(m, f, v)) return false;
        Vec p[3];
        for (int k = 0; k < 3; ++k) p[k] = {m.vertices[v[k]].x, m.vertices[v[k]].y, m.vertices[v[k]].z};
        *before = *after = unit(face_normal(p[0], p[1], p[2]));
        return true;
    };
    auto folds = [&](int32_t f, int32_t g) {
        Vec f0, f1, g0, g1;
        if (!normals(f, &f0, &f1) || !normals(g, &g0, &g1)) return true;
        const double now = dot3(f1, g1);
        return now < kFoldDot && now < dot3(f0, g0);
    };
    auto across = [&](int32_t edge, int32_t f) {
        const EdgeNode& x = m.edges[edge];
        return x.f1 == f ? x.f2 : x.f1;
    };
    for (int32_t f : m.around_faces)
        for (int32_t k : m.faces[f].e) {
            const int32_t g = across(k, f);
            if (g && g != e.f1 && g != e.f2 && folds(f, g)) return true;
        }
    for (const int32_t gone_face : {e.f1, e.f2}) {
        if (!gone_face) continue;
        int32_t side[2] = {0, 0}, n = 0;
        for (int32_t k : m.faces[gone_face].e)
            if (k != ei && n < 2) side[n++] = across(k, gone_face);
        if (n == 2 && side[0] && side[1] && side[0] != side[1] && folds(side[0], side[1])) return true;
    }
    return false;
}

// Whether collapsing edge ei would break the surface, so it is passed over: its ends
// share a neighbour other than the far corners of its faces (two edges would become
// one of four faces), the joined vertex would keep fewer than three neighbours (a
// tetrahedron folding flat), a face around the ends would turn over or lose all its
// area when they meet at the midpoint, or two faces meeting across an edge would fold
// almost flat onto each other.
bool breaks_surface(ReduceModel& m, int32_t ei, bool plain) {
    const EdgeNode& e = m.edges[ei];
    const int32_t a = e.a, b = e.b;
    if (a == b) return false;
    // The nodes are fetched ahead in stages (edges, then faces and far ends, then the
    // faces' edges), so their cache misses overlap.
    if (!plain) {
        prefetch_edges_at(m, a);
        prefetch_edges_at(m, b);
    }
    edges_at(m, a, plain, m.ring_a);
    edges_at(m, b, plain, m.ring_b);
    for (const auto* ring : {&m.ring_a, &m.ring_b}) {
        for (int32_t i : *ring) {
            __builtin_prefetch(&m.faces[m.edges[i].f1]);
            __builtin_prefetch(&m.faces[m.edges[i].f2]);
            __builtin_prefetch(&m.vertices[m.edges[i].a == a || m.edges[i].a == b ? m.edges[i].b : m.edges[i].a]);
        }
    }
    int32_t far[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
        const int32_t f = k ? e.f2 : e.f1;
        int32_t v[3];
        if (!f || !face_corners(m, f, v)) continue;
        for (int32_t x : v)
            if (x != a && x != b) far[k] = x;
    }
    int joined = 0;
    for (int32_t i : m.ring_a) {
        const int32_t x = other_end(m.edges[i], a);
        if (x != a && x != b) ++joined;
    }
    for (int32_t i : m.ring_b) {
        const int32_t x = other_end(m.edges[i], b);
        if (x == a || x == b) continue;
        bool shared = false;
        for (int32_t j : m.ring_a) shared = shared || other_end(m.edges[j], a) == x;
        if (!shared) {
            ++joined;
        } else if (x != far[0] && x != far[1]) {
            return true;
        }
    }
    if (joined < 3) return true;

    // Each face around the ends once (marked with this test's number).
    ++m.test_number;
    m.around_faces.clear();
    for (const auto* ring : {&m.ring_a, &m.ring_b}) {
        for (int32_t i : *ring) {
            for (int32_t f : {m.edges[i].f1, m.edges[i].f2}) {
                if (!f || f == e.f1 || f == e.f2 || m.faces[f].mark == m.test_number) continue;
                m.faces[f].mark = m.test_number;
                m.around_faces.push_back(f);
                __builtin_prefetch(&m.edges[m.faces[f].e[0]]);
                __builtin_prefetch(&m.edges[m.faces[f].e[1]]);
            }
        }
    }
    const std::array<float, 3> mid = midpoint(m, a, b);
    m.around_normals.clear();
    for (int32_t f : m.around_faces) {
        int32_t v[3];
        if (!face_corners(m, f, v)) return true;
        Vec before[3], after[3];
        for (int k = 0; k < 3; ++k) {
            const VertexNode& n = m.vertices[v[k]];
            before[k] = {n.x, n.y, n.z};
            after[k] = v[k] == a || v[k] == b ? Vec{mid[0], mid[1], mid[2]} : before[k];
        }
        const Vec n0 = face_normal(before[0], before[1], before[2]);
        const Vec n1 = face_normal(after[0], after[1], after[2]);
        if (n1[0] == 0 && n1[1] == 0 && n1[2] == 0) return true;
        const bool had_area = n0[0] != 0 || n0[1] != 0 || n0[2] != 0;
        if (had_area && n0[0] * n1[0] + n0[1] * n1[1] + n0[2] * n1[2] <= 0) return true;
        m.around_normals.push_back({unit(n0), unit(n1)});
    }
    return folds_neighbours(m, ei);
}

int write_block(ReduceModel& m, MeshFaceBlock* out) {
    if (m.face_count == 0) {
        out->rows = m.source->rows;
        out->columns = m.source->columns;
        out->vertices = m.source->vertices;
        out->uv = m.source->uv;
        out->edges = m.source->edges;
        out->faces = m.source->faces;
        return 0;
    }
    std::vector<int32_t> tris;
    tris.reserve(static_cast<size_t>(m.face_count) * 3);
    std::vector<int32_t> order;
    for (int32_t f = m.faces[0].next; f != 0; f = m.faces[f].next) {
        int32_t v[3];
        // A face folded onto a repeated corner has no area: it is left out.
        if (!face_corners(m, f, v) || v[0] == v[1] || v[1] == v[2] || v[0] == v[2]) continue;
        for (int32_t& x : v) {
            VertexNode& n = m.vertices[x];
            if (!(n.flags & kNumbered)) {
                n.flags |= kNumbered;
                n.index = static_cast<int32_t>(order.size());
                order.push_back(x);
            }
            tris.push_back(n.index);
        }
    }
    out->vertices.reserve(order.size());
    for (int32_t x : order) {
        const VertexNode& n = m.vertices[x];
        out->vertices.push_back(MeshVertex{n.x, n.y, n.z, {0, 0, 0, 0, 0, 0}});
    }
    MeshEdgeHash hash;
    if (mesh_edge_hash_init(&hash, out, static_cast<int32_t>(tris.size() / 3 * 2 + 1)) != 0)
        return kOutOfMemory;
    out->faces.reserve(tris.size() / 3);
    for (size_t i = 0; i < tris.size(); i += 3) {
        if (int r = mesh_add_triangle(out, tris[i], tris[i + 1], tris[i + 2], &hash)) return r;
    }
    out->edges.shrink_to_fit();
    return 0;
}

}  // namespace

ReduceModel* reduce_model_build(const MeshFaceBlock* block, double percentage) {
    if (!block) return nullptr;
    auto* m = new (std::nothrow) ReduceModel;
    if (!m) return nullptr;
    try {
        m->source = block;
        m->percentage = percentage;
        const auto nv = static_cast<int32_t>(block->vertices.size());
        const auto ne = static_cast<int32_t>(block->edges.size());
        const auto nf = static_cast<int32_t>(block->faces.size());
        m->vertices.assign(static_cast<size_t>(nv) + 1, VertexNode{});
        m->edges.assign(static_cast<size_t>(ne) + 1, EdgeNode{});
        m->faces.assign(static_cast<size_t>(nf) + 1, FaceNode{});
        list_build(m->vertices);
        list_build(m->edges);
        list_build(m->faces);
        for (int32_t i = 0; i < nv; ++i) {
            const MeshVertex& v = block->vertices[i];
            m->vertices[i + 1].x = v.x;
            m->vertices[i + 1].y = v.y;
            m->vertices[i + 1].z = v.z;
        }
        for (int32_t i = 0; i < ne; ++i) {
            const MeshEdge& be = block->edges[i];
            if (be.v[0] < 0 || be.v[0] >= nv || be.v[1] < 0 || be.v[1] >= nv) throw 1;
            EdgeNode& e = m->edges[i + 1];
            e.a = be.v[0] + 1;
            e.b = be.v[1] + 1;
            e.length = squared_length(m->vertices[e.a], m->vertices[e.b]);
        }
        for (int32_t i = 0; i < nf; ++i) {
            FaceNode& f = m->faces[i + 1];
            for (int k = 0; k < 3; ++k) {
                const int32_t e = block->faces[i].e[k];
                if (e < 0 || e >= ne) throw 1;
                f.e[k] = e + 1;
                EdgeNode& en = m->edges[e + 1];
                if (en.f1 == 0) {
                    en.f1 = i + 1;
                } else if (en.f2 == 0) {
                    en.f2 = i + 1;
                } else {
                    throw 1;  // a third face: not a 2-manifold
                }
            }
        }
        m->face_count = nf;
    } catch (...) {
        delete m;
        return nullptr;
    }
    return m;
}

int reduce_model_run(ReduceModel* m, MeshFaceBlock* out, const ReduceRunOptions& options) {
    if (!m || !out) return kBadArgument;
    try {
        const auto target = static_cast<int64_t>(std::floor(m->percentage * 0.01 * m->face_count));
        // Boundary vertices, edges without faces, locks.
        for (int32_t i = m->edges[0].next; i != 0; i = m->edges[i].next) {
            const EdgeNode& e = m->edges[i];
            if (e.f1 && !e.f2) {
                m->vertices[e.a].flags |= kBoundary;
                m->vertices[e.b].flags |= kBoundary;
            }
        }
        for (int32_t i = m->edges[0].next; i != 0;) {
            const int32_t next = m->edges[i].next;
            EdgeNode& e = m->edges[i];
            if (!e.f1 && !e.f2) {
                remove_edge(*m, i);
            } else if ((m->vertices[e.a].flags | m->vertices[e.b].flags) & kBoundary) {
                e.flags |= kLocked;
            }
            i = next;
        }
        if (!options.plain_walk) {
            // One run per vertex, filled by counting.
            const size_t nv = m->vertices.size();
            std::vector<int32_t> fill(nv + 1, 0);
            for (int32_t i = m->edges[0].next; i != 0; i = m->edges[i].next) {
                const EdgeNode& e = m->edges[i];
                ++fill[e.a + 1];
                if (e.b != e.a) ++fill[e.b + 1];
            }
            for (size_t v = 0; v < nv; ++v) fill[v + 1] += fill[v];
            m->runs.resize(nv);
            m->first_run.assign(nv, -1);
            m->last_run.assign(nv, -1);
            for (size_t v = 0; v < nv; ++v) {
                const int32_t count = fill[v + 1] - fill[v];
                m->runs[v] = {fill[v], count, -1};
                if (count) m->first_run[v] = m->last_run[v] = static_cast<int32_t>(v);
            }
            m->around_edges.resize(static_cast<size_t>(fill[nv]));
            m->live_length.assign(m->edges.size(), -1);
            std::vector<int32_t> entries;
            std::vector<uint32_t> keys;
            entries.reserve(m->edges.size());
            keys.reserve(m->edges.size());
            for (int32_t i = m->edges[0].next; i != 0; i = m->edges[i].next) {
                const EdgeNode& e = m->edges[i];
                m->around_edges[fill[e.a]++] = i;
                if (e.b != e.a) m->around_edges[fill[e.b]++] = i;
                if (collapsible(e)) {
                    entries.push_back(i);
                    keys.push_back(edge_key(e.length, i));
                    m->live_length[i] = e.length;
                }
            }
            m->queue.assign(entries, keys);
        }
        m->candidate = 0;
        const bool plain = options.plain_walk;
        int32_t e = plain ? search_all(*m) : queue_top(*m);
        while (m->face_count > target && e) {
            if (breaks_surface(*m, e, plain)) {
                m->edges[e].flags |= kPassed;
                if (!plain) m->live_length[e] = -1;
                e = plain ? search_all(*m) : queue_top(*m);
                continue;
            }
            if (options.trace) options.trace->push_back(e - 1);
            if (!collapse(*m, e, plain)) return 1;
            e = m->candidate;
        }
        return write_block(*m, out);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

void reduce_model_free(ReduceModel* model) {
    delete model;
}

MESH3* mesh_reduce(MESH3* mesh, double percentage) {
    if (!mesh || !std::isfinite(percentage) || percentage > 90) return mesh;
    auto reduced = rtc_make<MESH3>();
    if (!reduced) return mesh;
    const double working = percentage < 50 ? 50 : percentage;
    for (const MeshFaceBlock* b = mesh->blocks; b; b = b->next) {
        ReduceModel* model = reduce_model_build(b, working);
        if (!model) return mesh;
        MeshFaceBlock* out = mesh_face_block(reduced.get(), 0);
        const int r = out ? reduce_model_run(model, out) : kOutOfMemory;
        reduce_model_free(model);
        if (r != 0) return mesh;
    }
    return reduced.release();
}
