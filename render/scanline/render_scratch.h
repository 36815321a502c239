// Working arrays kept from one render to the next. A large render's arrays are many
// megabytes; allocating them afresh every frame costs a page fault per page touched,
// and the kernel serialises those across the render threads. A vector taken here comes
// back empty but with the capacity an earlier render gave it, so resizing it touches
// memory that is already mapped (each array goes to the use it fits best). Safe to use from any thread and from concurrent
// renders; at most kScratchKeep arrays of each element type are kept, until
// render_scratch_release() (the end of a render job) lets all of them go.
#pragma once

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

inline constexpr size_t kScratchKeep = 8;
// A kept array is handed out only while it is at most this many times the size asked
// for (plus a little): a small mesh must not hold a huge array for a whole render.
inline constexpr size_t kScratchSpare = 4;

namespace render_scratch_detail {
struct Registry {
    std::mutex lock;
    std::vector<void (*)()> release;       // one per element type in use
    std::vector<size_t (*)()> kept_bytes;  // the same
};
inline Registry& registry() {
    static Registry r;
    return r;
}
}  // namespace render_scratch_detail

// Frees every kept array of every element type.
inline void render_scratch_release() {
    auto& r = render_scratch_detail::registry();
    std::lock_guard<std::mutex> lock(r.lock);
    for (auto* f : r.release) f();
}

// Bytes the kept arrays hold (for tests).
inline size_t render_scratch_kept_bytes() {
    auto& r = render_scratch_detail::registry();
    std::lock_guard<std::mutex> lock(r.lock);
    size_t n = 0;
    for (auto* f : r.kept_bytes) n += f();
    return n;
}

template <class T>
class RenderScratch {
  public:
    // An empty vector for about `want` elements: the kept one with the least capacity
    // that holds them, else the largest kept (it grows), else a new one.
    static std::vector<T> take(size_t want) {
        Store& s = store();
        std::lock_guard<std::mutex> lock(s.lock);
        if (s.kept.empty()) return {};
        auto pick = s.kept.end();
        for (auto it = s.kept.begin(); it != s.kept.end(); ++it)
            if (it->capacity() >= want && (pick == s.kept.end() || it->capacity() < pick->capacity()))
                pick = it;
        if (pick != s.kept.end() && pick->capacity() > want * kScratchSpare + 4096) return {};
        if (pick == s.kept.end())
            pick = std::max_element(s.kept.begin(), s.kept.end(), [](const auto& a, const auto& b) {
                return a.capacity() < b.capacity();
            });
        std::vector<T> v = std::move(*pick);
        s.kept.erase(pick);
        return v;
    }
    // Keeps v's memory for a later take (its elements are dropped now); when the store
    // is full the smallest array goes. Called from destructors: without memory to keep
    // it, v is left to free its memory as usual.
    static void give(std::vector<T>&& v) noexcept {
        if (v.capacity() == 0) return;
        v.clear();
        try {
            Store& s = store();
            std::vector<T> dropped;
            std::lock_guard<std::mutex> lock(s.lock);
            if (s.kept.size() < kScratchKeep) {
                s.kept.push_back(std::move(v));
                return;
            }
            auto least = std::min_element(s.kept.begin(), s.kept.end(), [](const auto& a, const auto& b) {
                return a.capacity() < b.capacity();
            });
            if (least->capacity() < v.capacity()) std::swap(*least, v);
            dropped = std::move(v);  // freed after the lock is released
        } catch (const std::bad_alloc&) {
        }
    }

  private:
    struct Store {
        Store() {
            auto& r = render_scratch_detail::registry();
            std::lock_guard<std::mutex> lock(r.lock);
            r.release.push_back(&release);
            r.kept_bytes.push_back(&kept_bytes);
        }
        std::mutex lock;
        std::vector<std::vector<T>> kept;
    };
    static Store& store() {
        static Store s;
        return s;
    }
    static void release() {
        Store& s = store();
        std::vector<std::vector<T>> gone;
        std::lock_guard<std::mutex> lock(s.lock);
        gone.swap(s.kept);
    }
    static size_t kept_bytes() {
        Store& s = store();
        std::lock_guard<std::mutex> lock(s.lock);
        size_t n = 0;
        for (const auto& v : s.kept) n += v.capacity() * sizeof(T);
        return n;
    }
};

// A vector on loan from the scratch store for one scope, for about `want` elements.
template <class T>
class ScratchVector {
  public:
    explicit ScratchVector(size_t want) : v_(RenderScratch<T>::take(want)) {}
    ~ScratchVector() { RenderScratch<T>::give(std::move(v_)); }
    ScratchVector(const ScratchVector&) = delete;
    ScratchVector& operator=(const ScratchVector&) = delete;
    std::vector<T>& operator*() { return v_; }
    std::vector<T>* operator->() { return &v_; }

  private:
    std::vector<T> v_;
};
