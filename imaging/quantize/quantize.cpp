// Exact palettes and median-cut colour reduction.
#include "imaging/quantize/quantize.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>

#include "model/math/result.h"

namespace {

constexpr int kBins = 32 * 32 * 32;

inline int bin_of(const uint8_t* p) { return ((p[0] >> 3) << 10) | ((p[1] >> 3) << 5) | (p[2] >> 3); }

// Exact palette: true and the indices written when at most max colours occur.
// Colours go into a small open-addressed table (at most 256 of 1024 slots taken);
// a pixel equal to the one before reuses its index without a lookup.
bool exact_palette(const uint8_t* pixels, size_t count, int max_colours, Quantized* q, uint8_t* out) {
    constexpr uint32_t kEmpty = 0xFFFFFFFFu;  // keys are 24-bit colours
    constexpr int kSlots = 1024;
    uint32_t keys[kSlots];
    uint8_t values[kSlots];
    std::fill(keys, keys + kSlots, kEmpty);
    q->count = 0;
    uint32_t last_key = kEmpty;
    uint8_t last_index = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = pixels + i * 3;
        const uint32_t key = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
        if (key != last_key) {
            uint32_t slot = (key * 2654435761u) >> 22;
            while (keys[slot] != kEmpty && keys[slot] != key) slot = (slot + 1) & (kSlots - 1);
            if (keys[slot] == kEmpty) {
                if (q->count == max_colours) return false;
                std::memcpy(q->palette + q->count * 3, p, 3);
                keys[slot] = key;
                values[slot] = static_cast<uint8_t>(q->count++);
            }
            last_key = key;
            last_index = values[slot];
        }
        out[i] = last_index;
    }
    if (q->count == 0) {
        q->count = 1;
        std::memset(q->palette, 0, 3);
    }
    return true;
}

struct Box {
    int lo[3], hi[3];  // inclusive bin ranges per channel (0..31)
    uint64_t weight;
};

void shrink(Box& b, const uint32_t* hist) {
    int lo[3] = {31, 31, 31}, hi[3] = {0, 0, 0};
    uint64_t w = 0;
    for (int r = b.lo[0]; r <= b.hi[0]; ++r)
        for (int g = b.lo[1]; g <= b.hi[1]; ++g)
            for (int bl = b.lo[2]; bl <= b.hi[2]; ++bl) {
                const uint32_t n = hist[(r << 10) | (g << 5) | bl];
                if (!n) continue;
                w += n;
                lo[0] = std::min(lo[0], r), hi[0] = std::max(hi[0], r);
                lo[1] = std::min(lo[1], g), hi[1] = std::max(hi[1], g);
                lo[2] = std::min(lo[2], bl), hi[2] = std::max(hi[2], bl);
            }
    if (w) {
        std::memcpy(b.lo, lo, sizeof lo);
        std::memcpy(b.hi, hi, sizeof hi);
    }
    b.weight = w;
}

// Splits box b at the weighted median of its longest side; false when it cannot.
bool split(Box& b, Box& other, const uint32_t* hist) {
    int axis = 0;
    for (int a = 1; a < 3; ++a)
        if (b.hi[a] - b.lo[a] > b.hi[axis] - b.lo[axis]) axis = a;
    if (b.hi[axis] == b.lo[axis]) return false;
    uint64_t plane[32] = {};
    for (int r = b.lo[0]; r <= b.hi[0]; ++r)
        for (int g = b.lo[1]; g <= b.hi[1]; ++g)
            for (int bl = b.lo[2]; bl <= b.hi[2]; ++bl) {
                const int c[3] = {r, g, bl};
                plane[c[axis]] += hist[(r << 10) | (g << 5) | bl];
            }
    uint64_t acc = 0;
    int cut = b.lo[axis];
    for (int v = b.lo[axis]; v < b.hi[axis]; ++v) {
        acc += plane[v];
        cut = v;
        if (acc * 2 >= b.weight) break;
    }
    other = b;
    b.hi[axis] = cut;
    other.lo[axis] = cut + 1;
    shrink(b, hist);
    shrink(other, hist);
    return true;
}

// Median cut over a filled histogram: palette into q, each used bin's entry into map.
void median_cut(const uint32_t* hist, const uint64_t* sums, int max_colours, Quantized* q, int16_t* map) {
    Box boxes[256];
    int n = 1;
    boxes[0] = Box{{0, 0, 0}, {31, 31, 31}, 0};
    shrink(boxes[0], hist);
    while (n < max_colours) {
        // Split the heaviest box that can still be split.
        int best = -1;
        for (int i = 0; i < n; ++i)
            if (boxes[i].weight > 1 && (boxes[i].hi[0] > boxes[i].lo[0] || boxes[i].hi[1] > boxes[i].lo[1] ||
                                        boxes[i].hi[2] > boxes[i].lo[2]) &&
                (best < 0 || boxes[i].weight > boxes[best].weight))
                best = i;
        if (best < 0 || !split(boxes[best], boxes[n], hist)) break;
        ++n;
    }
    q->count = n;
    for (int i = 0; i < n; ++i) {
        uint64_t s[3] = {0, 0, 0}, w = 0;
        const Box& b = boxes[i];
        for (int r = b.lo[0]; r <= b.hi[0]; ++r)
            for (int g = b.lo[1]; g <= b.hi[1]; ++g)
                for (int bl = b.lo[2]; bl <= b.hi[2]; ++bl) {
                    const int k = (r << 10) | (g << 5) | bl;
                    w += hist[k];
                    s[0] += sums[k * 3], s[1] += sums[k * 3 + 1], s[2] += sums[k * 3 + 2];
                }
        for (int c = 0; c < 3; ++c) q->palette[i * 3 + c] = static_cast<uint8_t>(w ? (s[c] + w / 2) / w : 0);
    }
    // Each used bin maps to the nearest palette entry to its mean colour.
    for (int k = 0; k < kBins; ++k) {
        map[k] = -1;
        if (!hist[k]) continue;
        const int mean[3] = {static_cast<int>(sums[k * 3] / hist[k]), static_cast<int>(sums[k * 3 + 1] / hist[k]),
                             static_cast<int>(sums[k * 3 + 2] / hist[k])};
        int best = 0, best_d = 1 << 30;
        for (int i = 0; i < n; ++i) {
            const int dr = mean[0] - q->palette[i * 3], dg = mean[1] - q->palette[i * 3 + 1],
                      db = mean[2] - q->palette[i * 3 + 2];
            const int d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
            if (d < best_d) best_d = d, best = i;
        }
        map[k] = static_cast<int16_t>(best);
    }
}

void add_to_histogram(const uint8_t* pixels, size_t count, uint32_t* hist, uint64_t* sums) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = pixels + i * 3;
        const int k = bin_of(p);
        if (hist[k] < 0xFFFFFFFFu) ++hist[k];
        sums[k * 3] += p[0], sums[k * 3 + 1] += p[1], sums[k * 3 + 2] += p[2];
    }
}

}  // namespace

int quantize_rgb(const uint8_t* pixels, size_t count, int max_colours, Quantized* q,
                 uint8_t* indices) {
    if (max_colours < 1 || max_colours > 256) max_colours = 256;
    if (exact_palette(pixels, count, max_colours, q, indices)) return 0;

    std::unique_ptr<uint32_t[]> hist(new (std::nothrow) uint32_t[kBins]());
    std::unique_ptr<uint64_t[]> sums(new (std::nothrow) uint64_t[kBins * 3]());
    std::unique_ptr<int16_t[]> map(new (std::nothrow) int16_t[kBins]);
    if (!hist || !sums || !map) return kOutOfMemory;
    add_to_histogram(pixels, count, hist.get(), sums.get());
    median_cut(hist.get(), sums.get(), max_colours, q, map.get());
    for (size_t i = 0; i < count; ++i) indices[i] = static_cast<uint8_t>(map[bin_of(pixels + i * 3)]);
    return 0;
}

// ---- palette over many images ----

int ColourCounter::init() {
    hist_.reset(new (std::nothrow) uint32_t[kBins]());
    sums_.reset(new (std::nothrow) uint64_t[kBins * 3]());
    map_.reset(new (std::nothrow) int16_t[kBins]);
    exact_.clear();
    exact_ok_ = true;
    return hist_ && sums_ && map_ ? 0 : kOutOfMemory;
}

int ColourCounter::add(const uint8_t* pixels, size_t count) {
    if (!hist_) return kOutOfMemory;
    add_to_histogram(pixels, count, hist_.get(), sums_.get());
    if (!exact_ok_) return 0;
    try {
        for (size_t i = 0; i < count && exact_ok_; ++i) {
            const uint8_t* p = pixels + i * 3;
            const uint32_t key = (p[0] << 16) | (p[1] << 8) | p[2];
            if (exact_.find(key) != exact_.end()) continue;
            if (exact_.size() == 256) exact_ok_ = false;
            else exact_.emplace(key, static_cast<uint8_t>(exact_.size()));
        }
    } catch (...) {
        return kOutOfMemory;
    }
    if (!exact_ok_) exact_.clear();
    return 0;
}

void ColourCounter::finish(Quantized* q) {
    if (exact_ok_) {
        q->count = exact_.empty() ? 1 : static_cast<int>(exact_.size());
        std::memset(q->palette, 0, sizeof q->palette);
        for (const auto& [key, i] : exact_) {
            q->palette[i * 3] = static_cast<uint8_t>(key >> 16);
            q->palette[i * 3 + 1] = static_cast<uint8_t>(key >> 8);
            q->palette[i * 3 + 2] = static_cast<uint8_t>(key);
        }
        return;
    }
    median_cut(hist_.get(), sums_.get(), 256, q, map_.get());
}

void ColourCounter::map(const uint8_t* pixels, size_t count, uint8_t* indices) const {
    if (exact_ok_) {
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* p = pixels + i * 3;
            const auto it = exact_.find((p[0] << 16) | (p[1] << 8) | p[2]);
            indices[i] = it == exact_.end() ? 0 : it->second;
        }
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        const int16_t m = map_[bin_of(pixels + i * 3)];
        indices[i] = static_cast<uint8_t>(m < 0 ? 0 : m);
    }
}
