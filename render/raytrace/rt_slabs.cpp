// Bounding-slab hierarchy of the ray tracer: binned surface-area build, four-wide box
// tests and the searches.
#include "render/raytrace/rt_slabs.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <exception>
#include <limits>
#include <new>
#include <thread>

#include "render/raytrace/rt_error.h"
#include "render/raytrace/rt_vec.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

const RtMethods kNodeMethods = {nullptr, nullptr, nullptr, nullptr};

constexpr float kInf = std::numeric_limits<float>::infinity();

// The next float towards minus infinity (towards = -1) or plus infinity (towards = 1),
// as std::nextafter gives it.
float step(float f, int towards) {
    if (f != f || f == towards * kInf) return f;
    if (f == 0.0f) return towards * std::numeric_limits<float>::denorm_min();
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    bits = (f > 0.0f) == (towards > 0) ? bits + 1 : bits - 1;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// Float bounds that hold the double value: rounded down for a lower bound, up for an upper.
float down(double v) {
    float f = static_cast<float>(v);
    return static_cast<double>(f) > v ? step(f, -1) : f;
}
float up(double v) {
    float f = static_cast<float>(v);
    return static_cast<double>(f) < v ? step(f, 1) : f;
}

// ---- Build ----

// True when the triangle's corners are float values (the search's copy holds them so).
bool float_corners(const RtTriangle* t) {
    for (const Vec3d* p : {&t->p1, &t->p2, &t->p3})
        for (int a = 0; a < 3; ++a) {
            const double v = rt_comp(*p, a);
            if (static_cast<double>(static_cast<float>(v)) != v) return false;
        }
    return true;
}

// The search's copy of a triangle; the inside test's axes as rt_triangle_hit picks them.
void place_triangle(RtSlabTriangle* out, const RtTriangle* t) {
    const Vec3d* p[3] = {&t->p1, &t->p2, &t->p3};
    const int axis = (t->flags & 3) - 1;
    out->s_axis = axis != 0 ? 0 : 1;
    out->t_axis = axis == 2 ? 1 : 2;
    out->n[0] = t->n.x, out->n[1] = t->n.y, out->n[2] = t->n.z;
    out->d = t->d;
    for (int k = 0; k < 3; ++k) {
        out->s[k] = static_cast<float>(rt_comp(*p[k], out->s_axis));
        out->t[k] = static_cast<float>(rt_comp(*p[k], out->t_axis));
    }
}

// A box in four lanes (the fourth unused by boxes; an object's reference keeps its
// number there).
struct Box {
    float lo[4], hi[4];
    void empty() {
        for (int a = 0; a < 4; ++a) lo[a] = kInf, hi[a] = -kInf;
    }
    void grow(const Box& b) {
#if defined(__SSE2__)
        // A lane of b that is not a number leaves the box as it was.
        _mm_storeu_ps(lo, _mm_min_ps(_mm_loadu_ps(b.lo), _mm_loadu_ps(lo)));
        _mm_storeu_ps(hi, _mm_max_ps(_mm_loadu_ps(b.hi), _mm_loadu_ps(hi)));
#else
        for (int a = 0; a < 4; ++a) {
            lo[a] = b.lo[a] < lo[a] ? b.lo[a] : lo[a];
            hi[a] = b.hi[a] > hi[a] ? b.hi[a] : hi[a];
        }
#endif
    }
    double area() const {
        double dx = double(hi[0]) - lo[0], dy = double(hi[1]) - lo[1], dz = double(hi[2]) - lo[2];
        if (!(dx >= 0) || !(dy >= 0) || !(dz >= 0)) return 0;
        return dx * dy + dy * dz + dz * dx;
    }
};

// An object's box with its number (its place in the list) in lo[3].
using Ref = Box;
uint32_t ref_id(const Ref& r) {
    uint32_t id;
    std::memcpy(&id, &r.lo[3], sizeof id);
    return id;
}

// A node under construction; children are nodes of the same task, objects (by number)
// or the roots of other tasks.
enum ChildKind : uint8_t { kChildNode, kChildObject, kChildTask };
struct TempNode {
    int count = 0;
    uint8_t kind[4] = {};
    int32_t index[4] = {};
    Box box[4];
};

constexpr int kBins = 16;

// Bin of a centre (lo + hi) along each axis; a centre that is not a number goes to bin 0.
struct Binner {
    float cmin[4], scale[4];
    void bins(const Ref& r, int out[3]) const {
#if defined(__SSE2__)
        const __m128 c = _mm_add_ps(_mm_loadu_ps(r.lo), _mm_loadu_ps(r.hi));
        __m128 x = _mm_mul_ps(_mm_sub_ps(c, _mm_loadu_ps(cmin)), _mm_loadu_ps(scale));
        x = _mm_min_ps(_mm_max_ps(x, _mm_setzero_ps()), _mm_set1_ps(float(kBins - 1)));
        alignas(16) int32_t k[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(k), _mm_cvttps_epi32(x));
        out[0] = k[0], out[1] = k[1], out[2] = k[2];
#else
        for (int a = 0; a < 3; ++a) {
            const float x = (r.lo[a] + r.hi[a] - cmin[a]) * scale[a];
            out[a] = x > 0 ? int(std::min(x, float(kBins - 1))) : 0;
        }
#endif
    }
    int bin(const Ref& r, int a) const {
        int k[3];
        bins(r, k);
        return k[a];
    }
};

// Runs work(0..count-1) on up to threads threads (this one included); an exception on
// any of them is raised here once all have stopped.
template <class Work>
void parallel(size_t count, int threads, Work&& work) {
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr error;
    auto run = [&] {
        try {
            for (size_t k; !failed && (k = next++) < count;) work(k);
        } catch (...) {
            if (!failed.exchange(true)) error = std::current_exception();
        }
    };
    std::vector<std::thread> pool;
    const size_t workers = std::min<size_t>(size_t(std::max(threads, 1)), count);
    for (size_t i = 1; i < workers; ++i) {
        // A thread the system refuses leaves its share to the others.
        try {
            pool.emplace_back(run);
        } catch (...) {
            break;
        }
    }
    run();
    for (auto& t : pool) t.join();
    if (error) std::rethrow_exception(error);
}

// Objects [b, e) of the reference array and the bounds of their centres (lo + hi).
struct Range {
    size_t b, e;
    Box centres;
};

Box centre_of(const Ref& r) {
    Box c;
#if defined(__SSE2__)
    const __m128 v = _mm_add_ps(_mm_loadu_ps(r.lo), _mm_loadu_ps(r.hi));
    _mm_storeu_ps(c.lo, v);
    _mm_storeu_ps(c.hi, v);
#else
    for (int a = 0; a < 4; ++a) c.lo[a] = c.hi[a] = r.lo[a] + r.hi[a];
#endif
    return c;
}

// Per axis and bin: the objects' count and the bounds of their boxes.
struct Bins {
    Box box[3][kBins];
    size_t count[3][kBins];
    void clear() {
        for (int a = 0; a < 3; ++a)
            for (int k = 0; k < kBins; ++k) box[a][k].empty(), count[a][k] = 0;
    }
    void add(const Bins& o) {
        for (int a = 0; a < 3; ++a)
            for (int k = 0; k < kBins; ++k) box[a][k].grow(o.box[a][k]), count[a][k] += o.count[a][k];
    }
};

// Ranges of at most this many objects are split by sorting, not binning.
constexpr size_t kSmall = 24;
// Ranges of at least this many objects are binned on several threads.
constexpr size_t kParallelBins = size_t(1) << 16;
// A node whose halves both have at least this many objects splits them on two threads.
constexpr size_t kParallelHalves = size_t(1) << 14;

// Subtrees handed to the workers as soon as they are cut off (by the thread splitting
// the top of the hierarchy or by a worker splitting a large subtree); task k builds into
// lists[k].
struct TaskQueue {
    std::mutex lock;
    std::condition_variable ready;
    std::deque<Range> ranges;
    std::deque<std::vector<TempNode>> lists;
    size_t next = 0;
    size_t running = 0;   // tasks taken and not finished
    bool closed = false;  // the top levels are done
    bool failed = false;  // a build raised: the rest is not wanted

    size_t push(const Range& r) {
        size_t k;
        {
            std::lock_guard<std::mutex> hold(lock);
            ranges.push_back(r);
            lists.emplace_back();
            k = ranges.size() - 1;
        }
        ready.notify_one();
        return k;
    }
    void close(bool failure) {
        {
            std::lock_guard<std::mutex> hold(lock);
            closed = true;
            failed = failed || failure;
        }
        ready.notify_all();
    }
    // The next task (its range and list); false once none is left or wanted: the top
    // levels done and no running task left to cut off more.
    bool take(Range* r, std::vector<TempNode>** list) {
        std::unique_lock<std::mutex> hold(lock);
        ready.wait(hold, [&] { return failed || next < ranges.size() || (closed && running == 0); });
        if (failed || next >= ranges.size()) return false;
        *r = ranges[next];
        *list = &lists[next];
        ++next;
        ++running;
        return true;
    }
    void finished() {
        bool last;
        {
            std::lock_guard<std::mutex> hold(lock);
            --running;
            last = closed && running == 0 && next >= ranges.size();
        }
        if (last) ready.notify_all();
    }
};

struct Builder {
    std::vector<Ref>& refs;
    int threads = 1;             // for binning large ranges
    size_t task_size = 0;        // ranges above this become tasks (0: none)
    TaskQueue* tasks = nullptr;

    Box centre_bounds(size_t b, size_t e) const {
        Box box;
        box.empty();
        const Ref* data = refs.data();
        for (size_t i = b; i < e; ++i) box.grow(centre_of(data[i]));
        return box;
    }

    // Bins [b, e) into out. Neighbours often share a bin: alternate objects go to two
    // sets of bins, so one object's update need not wait for the last one's.
    void bin(const Binner& bn, size_t b, size_t e, Bins* out) const {
        Bins other;
        out->clear();
        other.clear();
        Bins* set[2] = {out, &other};
        const Ref* data = refs.data();  // (the box stores may alias anything: no reloads)
        for (size_t i = b; i < e; ++i) {
            Bins& to = *set[(i - b) & 1];
            int k[3];
            bn.bins(data[i], k);
            for (int a = 0; a < 3; ++a) {
                ++to.count[a][k[a]];
                to.box[a][k[a]].grow(data[i]);
            }
        }
        out->add(other);
    }

    // A few objects: sorted by centre along the centres' longest extent, cut where the
    // surface-area cost is least.
    void split_small(const Range& r, Range* left, Range* right) {
        const size_t b = r.b, e = r.e, n = e - b;
        int axis = 0;
        float extent = -1;
        for (int a = 0; a < 3; ++a) {
            const float x = r.centres.hi[a] - r.centres.lo[a];
            if (x > extent) extent = x, axis = a;
        }
        // Insertion sort: stable, and quick for so few.
        for (size_t i = b + 1; i < e; ++i) {
            const Ref x = refs[i];
            const float key = x.lo[axis] + x.hi[axis];
            size_t j = i;
            while (j > b && refs[j - 1].lo[axis] + refs[j - 1].hi[axis] > key) {
                refs[j] = refs[j - 1];
                --j;
            }
            refs[j] = x;
        }
        double right_area[kSmall];
        Box rb;
        rb.empty();
        for (size_t k = n - 1; k > 0; --k) {
            rb.grow(refs[b + k]);
            right_area[k] = rb.area();
        }
        Box lb;
        lb.empty();
        size_t cut = n / 2;
        double best = std::numeric_limits<double>::infinity();
        for (size_t k = 1; k < n; ++k) {
            lb.grow(refs[b + k - 1]);
            const double cost = lb.area() * double(k) + right_area[k] * double(n - k);
            if (cost < best) best = cost, cut = k;
        }
        left->b = b, left->e = b + cut;
        right->b = b + cut, right->e = e;
        left->centres = centre_bounds(left->b, left->e);
        right->centres = centre_bounds(right->b, right->e);
    }

    // Splits r in two by the cheapest binned surface-area split; the halves with the
    // bounds of their centres. Bounds are exact minima and maxima, so binning in chunks
    // gives the same split as binning at once.
    void split(const Range& r, Range* left, Range* right) {
        const size_t b = r.b, e = r.e, n = e - b;
        if (n <= kSmall) return split_small(r, left, right);
        Binner bn;
        for (int a = 0; a < 4; ++a) {
            const float extent = r.centres.hi[a] - r.centres.lo[a];
            bn.cmin[a] = r.centres.lo[a];
            bn.scale[a] =
                a < 3 && extent > 0 && std::isfinite(extent) && std::isfinite(r.centres.lo[a]) ? kBins / extent : 0;
        }
        Bins bins;
        if (threads > 1 && n >= kParallelBins) {
            const size_t chunks = size_t(threads) * 2, step = (n + chunks - 1) / chunks;
            std::vector<Bins> part(chunks);
            parallel(chunks, threads, [&](size_t c) {
                bin(bn, std::min(e, b + c * step), std::min(e, b + (c + 1) * step), &part[c]);
            });
            bins.clear();
            for (const Bins& p : part) bins.add(p);
        } else {
            bin(bn, b, e, &bins);
        }
        double best_cost = std::numeric_limits<double>::infinity();
        int best_axis = -1, best_bin = 0;
        for (int a = 0; a < 3; ++a) {
            if (bn.scale[a] == 0) continue;
            double right_area[kBins];
            size_t right_count[kBins];
            Box rb;
            rb.empty();
            size_t rc = 0;
            for (int k = kBins - 1; k > 0; --k) {
                rb.grow(bins.box[a][k]);
                rc += bins.count[a][k];
                right_area[k] = rb.area();
                right_count[k] = rc;
            }
            Box lb;
            lb.empty();
            size_t lc = 0;
            for (int k = 0; k < kBins - 1; ++k) {
                lb.grow(bins.box[a][k]);
                lc += bins.count[a][k];
                if (lc == 0 || right_count[k + 1] == 0) continue;
                const double cost = lb.area() * double(lc) + right_area[k + 1] * double(right_count[k + 1]);
                if (cost < best_cost) best_cost = cost, best_axis = a, best_bin = k;
            }
        }
        size_t mid = b + n / 2;  // every centre at one place: halves by count
        bool by_count = true;
        left->centres.empty();
        right->centres.empty();
        if (best_axis >= 0) {
            // Left objects to the front, right ones to the back, growing each side's bounds.
            size_t i = b, j = e;
            Ref* data = refs.data();
            Box lc = left->centres, rc = right->centres;
            auto goes_left = [&](const Ref& x) { return bn.bin(x, best_axis) <= best_bin; };
            for (;;) {
                while (i < j && goes_left(data[i])) lc.grow(centre_of(data[i++]));
                while (i < j && !goes_left(data[j - 1])) rc.grow(centre_of(data[--j]));
                if (i >= j) break;
                std::swap(data[i], data[j - 1]);
                lc.grow(centre_of(data[i++]));
                rc.grow(centre_of(data[--j]));
            }
            left->centres = lc;
            right->centres = rc;
            if (i != b && i != e) mid = i, by_count = false;
        }
        left->b = b, left->e = mid;
        right->b = mid, right->e = e;
        if (by_count) {
            left->centres = centre_bounds(b, mid);
            right->centres = centre_bounds(mid, e);
        }
    }

    // Builds the node over r (at least two objects) into nodes; returns its index and
    // raises *levels to the subtree's depth.
    int32_t node(const Range& r, std::vector<TempNode>& nodes, int* levels) {
        Range part[4];
        int parts = 0;
        if (r.e - r.b <= 4) {
            for (size_t i = r.b; i < r.e; ++i) part[parts++] = {i, i + 1, Box{}};
        } else {
            Range lo, hi;
            split(r, &lo, &hi);
            const size_t lo_n = lo.e - lo.b, hi_n = hi.e - hi.b;
            Range* hi_part = part + (lo_n >= 2 ? 2 : 1);
            // Two large halves (the top of a big hierarchy) are split at once.
            std::thread other;
            std::exception_ptr other_error;
            if (threads > 1 && std::min(lo_n, hi_n) >= kParallelHalves) {
                try {
                    other = std::thread([&] {
                        try {
                            split(hi, &hi_part[0], &hi_part[1]);
                        } catch (...) {
                            other_error = std::current_exception();
                        }
                    });
                } catch (...) {
                }
            }
            try {
                if (lo_n >= 2)
                    split(lo, &part[0], &part[1]);
                else
                    part[0] = lo;
            } catch (...) {
                if (other.joinable()) other.join();
                throw;
            }
            if (other.joinable()) {
                other.join();
                if (other_error) std::rethrow_exception(other_error);
            } else if (hi_n >= 2) {
                split(hi, &hi_part[0], &hi_part[1]);
            } else {
                hi_part[0] = hi;
            }
            parts = int(hi_part - part) + (hi_n >= 2 ? 2 : 1);
        }
        const int32_t self = int32_t(nodes.size());
        nodes.emplace_back();
        int deepest = 0;
        TempNode t;
        t.count = parts;
        for (int k = 0; k < parts; ++k) {
            const size_t cb = part[k].b, ce = part[k].e;
            if (ce - cb == 1) {
                t.kind[k] = kChildObject;
                t.index[k] = int32_t(cb);
                t.box[k] = refs[cb];
            } else if (task_size && ce - cb > task_size) {
                // Its box and depth are filled in once every task is done.
                t.kind[k] = kChildTask;
                t.index[k] = int32_t(tasks->push(part[k]));
            } else {
                int below = 0;
                t.kind[k] = kChildNode;
                t.index[k] = node(part[k], nodes, &below);
                const TempNode& c = nodes[size_t(t.index[k])];
                t.box[k].empty();
                for (int j = 0; j < c.count; ++j) t.box[k].grow(c.box[j]);
                deepest = std::max(deepest, below);
            }
        }
        nodes[size_t(self)] = t;
        *levels = std::max(*levels, deepest + 1);
        return self;
    }
};

}  // namespace

void RtQueue::push(double depth, const RtObject* o) {
    heap_.push_back({depth, o});
    size_t i = heap_.size() - 1;
    while (i > 0) {
        size_t p = (i - 1) / 2;
        if (!(heap_[i].depth < heap_[p].depth)) break;
        std::swap(heap_[i], heap_[p]);
        i = p;
    }
}

RtQueueEntry RtQueue::pop() {
    if (heap_.empty()) rt_error(kRtErrorGeneral, "priority queue is empty");
    RtQueueEntry top = heap_[0];
    heap_[0] = heap_.back();
    heap_.pop_back();
    size_t n = heap_.size(), i = 0;
    for (;;) {
        size_t l = 2 * i + 1, r = l + 1;
        if (l >= n) break;
        size_t c = (r < n && heap_[r].depth <= heap_[l].depth) ? r : l;
        if (!(heap_[c].depth < heap_[i].depth)) break;
        std::swap(heap_[c], heap_[i]);
        i = c;
    }
    return top;
}

namespace {

// Room for count T on T's alignment.
template <class T>
T* aligned(RtArena& arena, size_t count) {
    auto* raw = static_cast<unsigned char*>(arena.alloc(sizeof(T) * count + alignof(T)));
    return reinterpret_cast<T*>(raw + (alignof(T) - reinterpret_cast<uintptr_t>(raw) % alignof(T)) % alignof(T));
}

// The per-object passes run over chunks of this many objects.
constexpr size_t kChunk = size_t(1) << 13;

size_t chunks_of(size_t n) {
    return (n + kChunk - 1) / kChunk;
}

// Runs work(i) for every object index i, a chunk at a time on up to threads threads.
template <class Work>
void per_object(size_t n, int threads, Work&& work) {
    parallel(chunks_of(n), threads, [&](size_t c) {
        for (size_t i = c * kChunk, e = std::min(n, i + kChunk); i < e; ++i) work(i);
    });
}

// The objects to place: the visible shape of each light, every other object as it is.
std::vector<RtObject*> gather_objects(RtObject* list) {
    std::vector<RtObject*> refs;
    for (RtObject* o = list; o; o = o->next) {
        if (o->type & kRtLight) {
            if (auto* shape = static_cast<RtLight*>(o)->shape) refs.push_back(shape);
        } else {
            refs.push_back(o);
        }
    }
    return refs;
}

// What the build works on: each object's box rounded outwards with its place in the
// list, whether it is a triangle (1) or searched through its record (2), and the
// bounds of all the box centres.
struct Gathered {
    std::vector<Ref> boxes;
    std::vector<uint8_t> kinds;
    Box centres;
};

Gathered gather_boxes(const std::vector<RtObject*>& refs, int threads) {
    const size_t n = refs.size(), chunks = chunks_of(n);
    Gathered g;
    g.boxes.resize(n);
    g.kinds.resize(n);
    std::vector<Box> chunk_centres(chunks);
    parallel(chunks, threads, [&](size_t c) {
        chunk_centres[c].empty();
        for (size_t i = c * kChunk, e = std::min(n, i + kChunk); i < e; ++i) {
            const RtObject* o = refs[i];
            Ref& b = g.boxes[i];
            b.lo[0] = down(o->box_min.x), b.lo[1] = down(o->box_min.y), b.lo[2] = down(o->box_min.z);
            b.hi[0] = up(o->box_max.x), b.hi[1] = up(o->box_max.y), b.hi[2] = up(o->box_max.z);
            const uint32_t id = uint32_t(i);
            std::memcpy(&b.lo[3], &id, sizeof id);
            b.hi[3] = 0;
            g.kinds[i] = rt_is_triangle(o) ? 1 : 2;
            chunk_centres[c].grow(centre_of(b));
        }
    });
    g.centres.empty();
    for (const Box& c : chunk_centres) g.centres.grow(c);
    return g;
}

// Builds the hierarchy over boxes (reordering them) as lists of nodes: lists[0] holds
// the top levels, lists[1 + k] the subtree of task k. The top levels are built on this
// thread; subtrees of more than task_size objects are built on the workers as soon as
// they are cut off, each into its own list (the same hierarchy for any thread count).
std::vector<std::vector<TempNode>> build_lists(std::vector<Ref>& boxes, const Box& centres, int threads) {
    const size_t n = boxes.size();
    TaskQueue queue;
    const size_t task_size = std::max<size_t>(4096, n / 64);
    Builder top{boxes, threads, task_size, &queue};
    std::vector<std::vector<TempNode>> lists(1);
    std::exception_ptr error;
    std::mutex error_lock;
    auto work = [&] {
        Range r;
        std::vector<TempNode>* list;
        while (queue.take(&r, &list)) {
            try {
                int below = 0;
                Builder{boxes, 1, task_size, &queue}.node(r, *list, &below);
            } catch (...) {
                {
                    std::lock_guard<std::mutex> hold(error_lock);
                    if (!error) error = std::current_exception();
                }
                queue.close(true);
            }
            queue.finished();
        }
    };
    // Below about 16k objects starting the workers costs more than they save (measured
    // on 8 cores); the tasks are then taken on this thread, giving the same hierarchy.
    constexpr size_t kWorkersFrom = 16384;
    std::vector<std::thread> pool;
    for (int i = 1; i < threads && n > kWorkersFrom; ++i) {
        // A thread the system refuses leaves its share to the others.
        try {
            pool.emplace_back(work);
        } catch (...) {
            break;
        }
    }
    try {
        if (n == 1) {
            TempNode t;
            t.count = 1;
            t.kind[0] = kChildObject;
            t.index[0] = 0;  // its place in boxes
            t.box[0] = boxes[0];
            lists[0].push_back(t);
        } else {
            int levels = 0;
            top.node(Range{0, n, centres}, lists[0], &levels);
        }
        queue.close(false);
    } catch (...) {
        {
            std::lock_guard<std::mutex> hold(error_lock);
            if (!error) error = std::current_exception();
        }
        queue.close(true);
    }
    work();
    for (auto& t : pool) t.join();
    if (error) std::rethrow_exception(error);
    for (auto& l : queue.lists) lists.push_back(std::move(l));
    return lists;
}

// Fills in each task child's box from its root node; returns the depth of the whole
// hierarchy. A task is queued after the list that names it, and a node's children come
// after it in its list: backwards, every child is done before its parent.
int join_tasks(std::vector<std::vector<TempNode>>& lists) {
    std::vector<std::vector<int>> depth(lists.size());
    for (size_t l = lists.size(); l-- > 0;) {
        depth[l].assign(lists[l].size(), 0);
        for (size_t i = lists[l].size(); i-- > 0;) {
            TempNode& t = lists[l][i];
            int d = 0;
            for (int k = 0; k < t.count; ++k) {
                const size_t x = size_t(t.index[k]);
                if (t.kind[k] == kChildNode) d = std::max(d, depth[l][x]);
                if (t.kind[k] != kChildTask) continue;
                const TempNode& root = lists[1 + x][0];
                t.box[k].empty();
                for (int j = 0; j < root.count; ++j) t.box[k].grow(root.box[j]);
                d = std::max(d, depth[1 + x][0]);
            }
            depth[l][i] = d + 1;
        }
    }
    return depth[0].empty() ? 1 : depth[0][0];
}

// The lists in the order one thread makes them whatever the threads did: the top
// first, then each list's tasks in the order its build cuts them off, list after list.
std::vector<size_t> list_order(const std::vector<std::vector<TempNode>>& lists) {
    std::vector<size_t> order{0};
    order.reserve(lists.size());
    for (size_t next = 0; next < order.size(); ++next) {
        const std::vector<TempNode>& nodes = lists[order[next]];
        // Children in order, a node's subtree before its next sibling: tasks as
        // (kChildTask, index), nodes as (kChildNode, index).
        std::vector<std::pair<uint8_t, int32_t>> todo;
        if (!nodes.empty()) todo.push_back({kChildNode, 0});
        while (!todo.empty()) {
            const auto [kind, index] = todo.back();
            todo.pop_back();
            if (kind == kChildTask) {
                order.push_back(1 + size_t(index));
                continue;
            }
            const TempNode& t = nodes[size_t(index)];
            for (int k = t.count; k-- > 0;)
                if (t.kind[k] != kChildObject) todo.push_back({t.kind[k], t.index[k]});
        }
    }
    return order;
}

// The flat hierarchy in the arena: every list's nodes in one block, in list order, with
// their boxes beside them; objects in the order the build left them (neighbours in the
// hierarchy are neighbours there) with their places in the list, and the triangles'
// copies. Returns the first node, the root.
RtSlabNode* flatten(const std::vector<std::vector<TempNode>>& lists, const std::vector<size_t>& order,
                    const std::vector<RtObject*>& refs, Gathered& g, RtArena& arena, int threads) {
    const size_t n = refs.size();
    std::vector<size_t> offset(lists.size(), 0);
    size_t count = 0;
    for (size_t l : order) offset[l] = count, count += lists[l].size();
    auto* nodes = static_cast<RtSlabNode*>(arena.alloc(sizeof(RtSlabNode) * count));
    auto* hot = aligned<RtSlabBoxes>(arena, count);
    auto* objects = static_cast<RtObject**>(arena.alloc(sizeof(RtObject*) * n));
    auto* ranks = static_cast<uint32_t*>(arena.alloc(sizeof(uint32_t) * n));
    auto* triangles = aligned<RtSlabTriangle>(arena, n);
    std::vector<uint32_t> place(n);  // by rank
    per_object(n, threads, [&](size_t i) {
        ranks[i] = ref_id(g.boxes[i]);
        objects[i] = refs[ranks[i]];
        place[ranks[i]] = uint32_t(i);
    });
    // The triangles' copies, their records read in list order.
    std::vector<uint8_t>& kinds = g.kinds;
    per_object(n, threads, [&](size_t i) {
        if (kinds[i] != 1) return;
        const auto* t = static_cast<const RtTriangle*>(refs[i]);
        if (float_corners(t))
            place_triangle(&triangles[place[i]], t);
        else
            kinds[i] = 2;  // searched through its record
    });
    parallel(lists.size(), threads, [&](size_t list) {
        const std::vector<TempNode>& src = lists[list];
        for (size_t i = 0; i < src.size(); ++i) {
            const TempNode& t = src[i];
            const size_t number = offset[list] + i;
            RtSlabNode* node = new (nodes + number) RtSlabNode{};
            RtSlabBoxes* b = new (hot + number) RtSlabBoxes{};
            node->methods = &kNodeMethods;
            node->type = kRtSlabNode;
            node->flags = kRtCastsShadow;
            node->next = nullptr;
            node->material = nullptr;
            node->count = t.count;
            node->levels = 0;
            node->boxes = hot;
            node->objects = objects;
            node->ranks = ranks;
            node->triangles = triangles;
            Box all;
            all.empty();
            for (int k = 0; k < 4; ++k) {
                const bool used = k < t.count;
                for (int a = 0; a < 3; ++a) {
                    b->lo[a][k] = used ? t.box[k].lo[a] : kInf;
                    b->hi[a][k] = used ? t.box[k].hi[a] : -kInf;
                }
                node->children[k] = nullptr;
                b->child[k] = 0;
                if (!used) continue;
                all.grow(t.box[k]);
                const size_t x = size_t(t.index[k]);
                size_t child = 0;
                if (t.kind[k] == kChildObject) {
                    node->children[k] = objects[x];
                    b->child[k] = uint32_t(x);
                    b->leaves = uint8_t(b->leaves | (1 << k));
                    if (kinds[ranks[x]] == 1) b->triangles = uint8_t(b->triangles | (1 << k));
                    continue;
                }
                child = t.kind[k] == kChildNode ? offset[list] + x : offset[1 + x];
                node->children[k] = nodes + child;
                b->child[k] = uint32_t(child);
            }
            node->box_min = rt_v(all.lo[0], all.lo[1], all.lo[2]);
            node->box_max = rt_v(all.hi[0], all.hi[1], all.hi[2]);
        }
    });
    return nodes;
}

}  // namespace

RtSlabs rt_build_slabs(RtObject* list, RtArena& arena, int threads) {
    const std::vector<RtObject*> refs = gather_objects(list);
    RtSlabs s;
    s.placed = static_cast<int>(refs.size());
    if (refs.empty()) return s;
    if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    Gathered g = gather_boxes(refs, threads);
    std::vector<std::vector<TempNode>> lists = build_lists(g.boxes, g.centres, threads);
    const int levels = join_tasks(lists);
    RtSlabNode* root = flatten(lists, list_order(lists), refs, g, arena, threads);
    root->levels = levels;
    s.root = root;
    s.on = s.placed >= kRtSlabThreshold;
    return s;
}

void rt_slab_check(RtQueue& queue, const RtRay& ray, const RtObject* o) {
    double tmin = -1e30, tmax = 1e30;
    for (int axis = 0; axis < 3; ++axis) {
        double d = rt_comp(ray.dir, axis), org = rt_comp(ray.origin, axis);
        double lo = rt_comp(o->box_min, axis), hi = rt_comp(o->box_max, axis);
        if (d == 0.0) {
            if (org < lo || org > hi) return;
            continue;
        }
        double inv = 1.0 / d;
        double tn = ((d > 0 ? lo : hi) - org) * inv;
        double tf = ((d > 0 ? hi : lo) - org) * inv;
        if (tf < 1e-10) return;
        tmin = std::fmax(tmin, tn);
        tmax = std::fmin(tmax, tf);
        if (tmin > tmax) return;
    }
    queue.push(tmin, o);
}

namespace {

// A ray prepared for the four-wide box tests: per axis the reciprocal direction (finite,
// positive for a direction of 0) and the origin nudged outwards for the near and the
// far planes, so the float test never drops a box the ray meets.
struct RayBoxes {
    float inv[3];
    float org_near[3], org_far[3];
    int near_hi[3];  // the near plane is the box's upper one
};

constexpr float kLow = 1.0f - 4e-6f, kHigh = 1.0f + 4e-6f;

RayBoxes prepare(const RtRay& ray) {
    RayBoxes r;
    const double org[3] = {ray.origin.x, ray.origin.y, ray.origin.z};
    const double dir[3] = {ray.dir.x, ray.dir.y, ray.dir.z};
    for (int a = 0; a < 3; ++a) {
        double inv = dir[a] == 0.0 ? 1e30 : 1.0 / dir[a];
        if (inv > 1e30) inv = 1e30;
        if (inv < -1e30) inv = -1e30;
        r.inv[a] = static_cast<float>(inv);
        const double pad = std::fabs(org[a]) * (1.0 / (1 << 21)) + 1e-30;
        const double s = inv < 0 ? -1.0 : 1.0;
        r.org_near[a] = static_cast<float>(org[a] + s * pad);
        r.org_far[a] = static_cast<float>(org[a] - s * pad);
        r.near_hi[a] = inv < 0;
    }
    return r;
}

// The children of n whose boxes the ray enters below bound: a bit per child, their entry
// depths in depth.
inline int test_children(const RtSlabBoxes* n, const RayBoxes& r, float bound, float depth[4]) {
#if defined(__SSE2__)
    __m128 tn = _mm_set1_ps(-kInf), tf = _mm_set1_ps(kInf);
    for (int a = 0; a < 3; ++a) {
        const float* nearp = r.near_hi[a] ? n->hi[a] : n->lo[a];
        const float* farp = r.near_hi[a] ? n->lo[a] : n->hi[a];
        const __m128 inv = _mm_set1_ps(r.inv[a]);
        tn = _mm_max_ps(tn, _mm_mul_ps(_mm_sub_ps(_mm_loadu_ps(nearp), _mm_set1_ps(r.org_near[a])), inv));
        tf = _mm_min_ps(tf, _mm_mul_ps(_mm_sub_ps(_mm_loadu_ps(farp), _mm_set1_ps(r.org_far[a])), inv));
    }
    tn = _mm_mul_ps(tn, _mm_set1_ps(kLow));
    tf = _mm_mul_ps(tf, _mm_set1_ps(kHigh));
    const __m128 ok = _mm_and_ps(_mm_and_ps(_mm_cmple_ps(tn, tf), _mm_cmpge_ps(tf, _mm_setzero_ps())),
                                 _mm_cmple_ps(tn, _mm_set1_ps(bound)));
    _mm_storeu_ps(depth, tn);
    return _mm_movemask_ps(ok);
#else
    int mask = 0;
    for (int k = 0; k < 4; ++k) {
        float tn = -kInf, tf = kInf;
        for (int a = 0; a < 3; ++a) {
            const float nearv = r.near_hi[a] ? n->hi[a][k] : n->lo[a][k];
            const float farv = r.near_hi[a] ? n->lo[a][k] : n->hi[a][k];
            tn = std::max(tn, (nearv - r.org_near[a]) * r.inv[a]);
            tf = std::min(tf, (farv - r.org_far[a]) * r.inv[a]);
        }
        tn *= kLow;
        tf *= kHigh;
        depth[k] = tn;
        if (tn <= tf && tf >= 0 && tn <= bound) mask |= 1 << k;
    }
    return mask;
#endif
}

// The smallest float not below v.
float bound_of(double v) { return v >= 3e38 ? kInf : up(v); }

// A search's stack, grown to the hierarchy's depth: a node opened puts at most three
// children on it.
template <class Entry>
Entry* stack_for(std::vector<Entry>& stack, const RtSlabNode* top) {
    const size_t need = 3 * size_t(std::max(top->levels, 1)) + 4;
    if (stack.size() < need) stack.resize(need);
    return stack.data();
}

// Visits the hierarchy below node start (the root: 0) nearest box first: leaf(triangle,
// place) for every object whose box the ray enters below the bound (which leaf may
// lower). A node's objects are visited before its inner children, which go nearest
// first, the nearest without the stack.
template <class Leaf>
void walk(const RtSlabNode* top, uint32_t start, const RayBoxes& r, RtQueue& queue, float& bound, Leaf&& leaf) {
    const RtSlabBoxes* nodes = top->boxes;
    RtSlabEntry* base = stack_for(queue.stack, top);
    size_t sp = 0;
    uint64_t opened = 0;
    const RtSlabBoxes* n = nodes + start;
    for (;;) {
        ++opened;
        float depth[4];
        const int mask = test_children(n, r, bound, depth);
        for (int m = mask & n->leaves; m; m &= m - 1) {
            const int k = __builtin_ctz(static_cast<unsigned>(m));
            if (depth[k] <= bound) leaf((n->triangles >> k) & 1, n->child[k]);
        }
        const RtSlabBoxes* next = nullptr;
        if (int inner = mask & ~n->leaves) {
            // The nearest inner child next; the others on the stack, farthest first.
            RtSlabEntry e[4];
            int count = 0;
            for (; inner; inner &= inner - 1) {
                const int k = __builtin_ctz(static_cast<unsigned>(inner));
                e[count++] = {n->child[k], depth[k]};
            }
            if (count == 2) {
                const bool swap = e[0].depth < e[1].depth;
                const RtSlabEntry far = swap ? e[1] : e[0], near = swap ? e[0] : e[1];
                e[0] = far, e[1] = near;
            } else if (count > 2) {
                for (int i = 1; i < count; ++i)
                    for (int j = i; j > 0 && e[j - 1].depth < e[j].depth; --j) std::swap(e[j - 1], e[j]);
            }
            for (int i = 0; i < count - 1; ++i) {
                __builtin_prefetch(nodes + e[i].node);
                base[sp++] = e[i];
            }
            if (e[count - 1].depth <= bound) next = nodes + e[count - 1].node;
        }
        while (!next && sp) {
            const RtSlabEntry& e = base[--sp];
            if (e.depth <= bound) next = nodes + e.node;
        }
        if (!next) break;
        n = next;
    }
    queue.opened += opened;
}

template <class Leaf>
void search(const RtObject* root, const RtRay& ray, RtQueue& queue, float& bound, Leaf&& leaf) {
    if (!root || !(root->type & kRtSlabNode)) return;
    walk(static_cast<const RtSlabNode*>(root), 0, prepare(ray), queue, bound, leaf);
}

// rt_triangle_hit on the search's copy of a triangle: its depth along the ray, or a
// negative value for a miss or a hit beyond max_depth.
inline double triangle_depth(const RtSlabTriangle& t, const double org[3], const double dir[3], double max_depth) {
    const double c = t.n[0] * dir[0] + t.n[1] * dir[1] + t.n[2] * dir[2];
    if (c > -0.001 && c < 0.001) return -1.0;
    const double depth = -((t.n[0] * org[0] + t.n[1] * org[1] + t.n[2] * org[2]) + t.d) / c;
    if (!(depth >= kRtMinHitDepth && depth <= kRtMaxHitDepth && depth <= max_depth)) return -1.0;
    const double hs = org[t.s_axis] + depth * dir[t.s_axis], ht = org[t.t_axis] + depth * dir[t.t_axis];
    const double as = t.s[0], at = t.t[0], bs = t.s[1], bt = t.t[1], cs = t.s[2], ct = t.t[2];
    if ((bt - at) * (bs - hs) < (bs - as) * (bt - ht)) return -1.0;
    if ((ct - bt) * (cs - hs) < (cs - bs) * (ct - ht)) return -1.0;
    if ((at - ct) * (as - hs) < (as - cs) * (at - ht)) return -1.0;
    return depth;
}

// One ray's nearest hit while a search runs: of hits at the same depth the object
// earlier in the list wins. A triangle's hit is its depth alone until the search ends.
struct Nearest {
    const RtRay* ray;
    double org[3], dir[3];
    double depth;       // the best so far (or the caller's limit)
    float bound;        // the smallest float not below it
    int32_t rank = -1;
    int64_t place = -1;  // none yet
    bool triangle = false;
    RtHit other;        // a hit of another kind of object

    void start(const RtRay& r, double limit) {
        ray = &r;
        org[0] = r.origin.x, org[1] = r.origin.y, org[2] = r.origin.z;
        dir[0] = r.dir.x, dir[1] = r.dir.y, dir[2] = r.dir.z;
        depth = limit;
        bound = bound_of(limit);
    }
    void offer(const RtSlabNode* top, bool is_triangle, uint32_t place_of, RtArena& arena) {
        double d;
        RtHit h;
        if (is_triangle) {
            // A hit beyond the best so far cannot win (an equal one may, on a tie).
            d = triangle_depth(top->triangles[place_of], org, dir, depth);
            if (d < 0.0) return;
        } else {
            if (!rt_nearest_hit(&h, top->objects[place_of], *ray, arena)) return;
            d = h.depth;
        }
        const int32_t r = int32_t(top->ranks[place_of]);
        if (!(d < depth || (place >= 0 && d == depth && r < rank))) return;
        if (!is_triangle) other = h;
        depth = d;
        rank = r;
        place = place_of;
        triangle = is_triangle;
        bound = bound_of(d);
    }
    // The result into best and object; false when nothing was found.
    bool finish(const RtSlabNode* top, RtHit* best, const RtObject** object) const {
        if (place < 0) return false;
        *object = top->objects[place];
        if (triangle) {
            best->depth = depth;
            best->point = ray->origin + depth * ray->dir;
            best->object = *object;
        } else {
            *best = other;
        }
        return true;
    }
};

}  // namespace

bool rt_slab_intersect(const RtObject* root, const RtRay& ray, RtHit* best, const RtObject** object,
                       RtQueue& queue, RtArena& arena) {
    if (!root || !(root->type & kRtSlabNode)) return false;
    const auto* top = static_cast<const RtSlabNode*>(root);
    Nearest near;
    near.start(ray, best->depth);
    search(root, ray, queue, near.bound,
           [&](bool triangle, uint32_t place) { near.offer(top, triangle, place, arena); });
    return near.finish(top, best, object);
}

uint32_t rt_slab_intersect_packet(const RtObject* root, const RtRay* const* rays, int count, RtHit* best,
                                  const RtObject** object, RtQueue& queue, RtArena& arena) {
    if (!root || !(root->type & kRtSlabNode) || count <= 0) return 0;
    if (count > kRtPacketRays) rt_error(kRtErrorGeneral, "too many rays in a packet");
    uint32_t found = 0;
    auto one_by_one = [&] {
        for (int i = 0; i < count; ++i)
            if (rt_slab_intersect(root, *rays[i], &best[i], &object[i], queue, arena)) found |= 1u << i;
        return found;
    };
#if defined(__SSE2__)
    const auto* top = static_cast<const RtSlabNode*>(root);
    const RtSlabBoxes* nodes = top->boxes;
    // The rays in lanes (two groups of four), each lane's box test the one-ray test;
    // lanes past count never enter a box. Rays whose directions differ in sign on an
    // axis go one by one, and so do rays with a value that is not a number (it would
    // spoil the packet's bounds for the others).
    constexpr int kGroups = kRtPacketRays / 4;
    Nearest near[kRtPacketRays];
    alignas(16) float inv[3][kRtPacketRays], org_near[3][kRtPacketRays], org_far[3][kRtPacketRays];
    alignas(16) float bounds[kRtPacketRays];
    RayBoxes alone[kRtPacketRays];  // each ray for its own search
    int near_hi[3] = {0, 0, 0};
    for (int i = 0; i < kRtPacketRays; ++i) {
        if (i >= count) {
            for (int a = 0; a < 3; ++a) inv[a][i] = 1, org_near[a][i] = org_far[a][i] = 0;
            bounds[i] = -kInf;
            continue;
        }
        near[i].start(*rays[i], best[i].depth);
        bounds[i] = near[i].bound;
        if (std::isnan(bounds[i])) return one_by_one();
        const RayBoxes& r = alone[i] = prepare(*rays[i]);
        for (int a = 0; a < 3; ++a) {
            if (i == 0) near_hi[a] = r.near_hi[a];
            if (r.near_hi[a] != near_hi[a] || std::isnan(r.inv[a]) || std::isnan(r.org_near[a]) ||
                std::isnan(r.org_far[a]))
                return one_by_one();
            inv[a][i] = r.inv[a], org_near[a][i] = r.org_near[a], org_far[a][i] = r.org_far[a];
        }
    }
    RtPacketEntry* base = stack_for(queue.packet_stack, top);
    size_t sp = 0;
    uint64_t opened = 0;
    const RtSlabBoxes* n = nodes;
    uint32_t active = (1u << count) - 1;
    const __m128 low = _mm_set1_ps(kLow), high = _mm_set1_ps(kHigh), zero = _mm_setzero_ps(), inf = _mm_set1_ps(kInf);
    // The whole packet's box test first, by intervals over its rays: per axis the least
    // and greatest reciprocal direction, and the origins that give the least entry and
    // the greatest exit depth (each ray's values lie inside, and float rounding keeps
    // order, so a box any ray enters passes).
    __m128 inv_least[3], inv_most[3], entry_org[3], exit_org[3];
    for (int a = 0; a < 3; ++a) {
        float il = inv[a][0], im = il, nl = org_near[a][0], nm = nl, fl = org_far[a][0], fm = fl;
        for (int i = 1; i < count; ++i) {
            il = std::min(il, inv[a][i]), im = std::max(im, inv[a][i]);
            nl = std::min(nl, org_near[a][i]), nm = std::max(nm, org_near[a][i]);
            fl = std::min(fl, org_far[a][i]), fm = std::max(fm, org_far[a][i]);
        }
        inv_least[a] = _mm_set1_ps(il), inv_most[a] = _mm_set1_ps(im);
        // A positive reciprocal gives the least entry from the greatest origin.
        entry_org[a] = _mm_set1_ps(near_hi[a] ? nl : nm);
        exit_org[a] = _mm_set1_ps(near_hi[a] ? fm : fl);
    }
    // The rays of mask whose bound the depth does not pass.
    auto within = [&](float depth, uint32_t mask) {
        const __m128 d = _mm_set1_ps(depth);
        uint32_t keep = 0;
        for (int g = 0; g < kGroups; ++g)
            keep |= uint32_t(_mm_movemask_ps(_mm_cmple_ps(d, _mm_load_ps(bounds + 4 * g)))) << (4 * g);
        return keep & mask;
    };
    for (;;) {
        ++opened;
        // Per child, the rays that enter its box, their entry depths and the least of them.
        alignas(16) float depth[4][kRtPacketRays];
        uint32_t entered[4];
        float least[4];
        const float* nearp[3];
        const float* farp[3];
        for (int a = 0; a < 3; ++a) {
            nearp[a] = near_hi[a] ? n->hi[a] : n->lo[a];
            farp[a] = near_hi[a] ? n->lo[a] : n->hi[a];
        }
        int any;  // the children some ray may enter
        {
            __m128 tn = _mm_set1_ps(-kInf), tf = inf;
            for (int a = 0; a < 3; ++a) {
                const __m128 dn = _mm_sub_ps(_mm_load_ps(nearp[a]), entry_org[a]);
                const __m128 df = _mm_sub_ps(_mm_load_ps(farp[a]), exit_org[a]);
                tn = _mm_max_ps(tn, _mm_min_ps(_mm_mul_ps(dn, inv_least[a]), _mm_mul_ps(dn, inv_most[a])));
                tf = _mm_min_ps(tf, _mm_max_ps(_mm_mul_ps(df, inv_least[a]), _mm_mul_ps(df, inv_most[a])));
            }
            tn = _mm_mul_ps(tn, low);
            tf = _mm_mul_ps(tf, high);
            __m128 b = _mm_load_ps(bounds);
            for (int g = 1; g < kGroups; ++g) b = _mm_max_ps(b, _mm_load_ps(bounds + 4 * g));
            const __m128 pairs = _mm_max_ps(b, _mm_shuffle_ps(b, b, _MM_SHUFFLE(1, 0, 3, 2)));
            const __m128 bound = _mm_max_ps(pairs, _mm_shuffle_ps(pairs, pairs, _MM_SHUFFLE(2, 3, 0, 1)));
            any = _mm_movemask_ps(
                _mm_and_ps(_mm_and_ps(_mm_cmple_ps(tn, tf), _mm_cmpge_ps(tf, zero)), _mm_cmple_ps(tn, bound)));
        }
        for (int m = any & n->leaves; m; m &= m - 1)
            __builtin_prefetch(top->triangles + n->child[__builtin_ctz(static_cast<unsigned>(m))]);
        for (int k = 0; k < 4; ++k) {
            uint32_t bits = 0;
            __m128 closest = inf;
            if (!(any >> k & 1)) {
                entered[k] = 0;
                continue;
            }
            const __m128 nv[3] = {_mm_set1_ps(nearp[0][k]), _mm_set1_ps(nearp[1][k]), _mm_set1_ps(nearp[2][k])};
            const __m128 fv[3] = {_mm_set1_ps(farp[0][k]), _mm_set1_ps(farp[1][k]), _mm_set1_ps(farp[2][k])};
            for (int g = 0; g < kGroups; ++g) {
                if (!(active >> (4 * g) & 15)) continue;
                __m128 tn = _mm_set1_ps(-kInf), tf = inf;
                for (int a = 0; a < 3; ++a) {
                    const __m128 i = _mm_load_ps(inv[a] + 4 * g);
                    tn = _mm_max_ps(tn, _mm_mul_ps(_mm_sub_ps(nv[a], _mm_load_ps(org_near[a] + 4 * g)), i));
                    tf = _mm_min_ps(tf, _mm_mul_ps(_mm_sub_ps(fv[a], _mm_load_ps(org_far[a] + 4 * g)), i));
                }
                tn = _mm_mul_ps(tn, low);
                tf = _mm_mul_ps(tf, high);
                const __m128 ok = _mm_and_ps(_mm_and_ps(_mm_cmple_ps(tn, tf), _mm_cmpge_ps(tf, zero)),
                                             _mm_cmple_ps(tn, _mm_load_ps(bounds + 4 * g)));
                _mm_store_ps(depth[k] + 4 * g, tn);
                bits |= uint32_t(_mm_movemask_ps(ok)) << (4 * g);
                closest = _mm_min_ps(closest, _mm_or_ps(_mm_and_ps(ok, tn), _mm_andnot_ps(ok, inf)));
            }
            entered[k] = bits & active;
            closest = _mm_min_ps(closest, _mm_shuffle_ps(closest, closest, _MM_SHUFFLE(1, 0, 3, 2)));
            closest = _mm_min_ps(closest, _mm_shuffle_ps(closest, closest, _MM_SHUFFLE(2, 3, 0, 1)));
            least[k] = _mm_cvtss_f32(closest);
        }
        for (int k = 0; k < 4; ++k) {
            if (!(n->leaves >> k & 1) || !entered[k]) continue;
            const bool triangle = (n->triangles >> k) & 1;
            for (uint32_t m = entered[k]; m; m &= m - 1) {
                const int i = __builtin_ctz(m);
                if (depth[k][i] <= bounds[i]) {
                    near[i].offer(top, triangle, n->child[k], arena);
                    bounds[i] = near[i].bound;
                }
            }
        }
        // The inner children: the nearest next, the others on the stack, farthest first.
        RtPacketEntry e[4];
        int inner = 0;
        for (int k = 0; k < 4; ++k) {
            if ((n->leaves >> k & 1) || !entered[k]) continue;
            const RtPacketEntry x{n->child[k], entered[k], least[k]};
            int j = inner++;
            for (; j > 0 && e[j - 1].depth < x.depth; --j) e[j] = e[j - 1];
            e[j] = x;
        }
        const RtSlabBoxes* next = nullptr;
        for (int i = 0; i < inner - 1; ++i) {
            __builtin_prefetch(nodes + e[i].node);
            base[sp++] = e[i];
        }
        // A node goes on with the rays that may still find something nearer in it; with
        // a ray or two left they go on alone (a packet test costs a group of lanes).
        auto enter = [&](const RtPacketEntry& x) {
            active = within(x.depth, x.rays);
            if (!active) return false;
            const uint32_t one_fewer = active & (active - 1);
            if (one_fewer & (one_fewer - 1)) return true;  // three rays or more
            for (uint32_t m = active; m; m &= m - 1) {
                const int i = __builtin_ctz(m);
                walk(top, x.node, alone[i], queue, near[i].bound,
                     [&](bool triangle, uint32_t place) { near[i].offer(top, triangle, place, arena); });
                bounds[i] = near[i].bound;
            }
            return false;
        };
        if (inner && enter(e[inner - 1])) next = nodes + e[inner - 1].node;
        while (!next && sp) {
            const RtPacketEntry x = base[--sp];
            if (enter(x)) next = nodes + x.node;
        }
        if (!next) break;
        n = next;
    }
    queue.opened += opened;
    for (int i = 0; i < count; ++i)
        if (near[i].finish(top, &best[i], &object[i])) found |= 1u << i;
    return found;
#else
    return one_by_one();
#endif
}

bool rt_slab_collect(const RtObject* root, const RtRay& ray, double max_depth, std::vector<RtObjectHit>* out,
                     RtQueue& queue, RtArena& arena, RtHitEndsFn ends, void* context) {
    const size_t first = out->size();
    RtHitList* list = arena.hit_list_get();
    // The nearest ending hit so far: its place in out and its object's rank.
    size_t end_at = SIZE_MAX;
    int32_t end_rank = -1;
    float bound = bound_of(max_depth);
    const uint32_t* ranks = root && (root->type & kRtSlabNode) ? static_cast<const RtSlabNode*>(root)->ranks : nullptr;
    RtObject* const* objects = ranks ? static_cast<const RtSlabNode*>(root)->objects : nullptr;
    search(root, ray, queue, bound, [&](bool, uint32_t place) {
        const RtObject* o = objects[place];
        const int32_t rank = int32_t(ranks[place]);
        list->count = 0;
        if (!o->methods->all_intersections(o, ray, list, arena)) return;
        for (uint32_t i = 0; i < list->count; ++i) {
            const double d = list->hits[i].depth;
            const bool tie = end_at != SIZE_MAX && d == max_depth && rank < end_rank;
            if (!(d < max_depth) && !tie) continue;
            out->push_back({list->hits[i], o, uint32_t(rank)});
            if (ends && ends(out->back(), context)) {
                max_depth = d;
                end_at = out->size() - 1;
                end_rank = rank;
                bound = bound_of(d);
            }
        }
    });
    arena.hit_list_put(list);
    // Hits found before the ending hit lowered the limit may lie beyond it; at its depth
    // only those of earlier objects come before it, and those its own object listed first.
    if (end_at == SIZE_MAX) return false;
    size_t keep = first;
    for (size_t i = first; i < out->size(); ++i) {
        const RtObjectHit& h = (*out)[i];
        const int32_t rank = int32_t(h.rank);
        const bool before_end = rank < end_rank || (rank == end_rank && i <= end_at);
        if (h.hit.depth < max_depth || (h.hit.depth == max_depth && before_end)) (*out)[keep++] = h;
    }
    out->resize(keep);
    return true;
}
