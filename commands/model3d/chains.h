// Picked curves as the swept-surface commands use them: a point list owning its
// nodes, chains resampled to a segment count, and the drawn strokes of line-work
// objects (split at pen-up points, optionally resampled each).
//
// Points are drawing coordinates (millimetres, floats). Results are the engine's
// codes: 0 done, 8 out of memory, 13 bad argument.
#pragma once

#include <cstddef>
#include <vector>

#include "model/math/plist.h"
#include "model/math/types.h"

class object;
struct BasePoint;

// A point list owning its nodes, made from a table; open, or closed into a ring.
struct OwnedChain {
    PointNode* head = nullptr;
    OwnedChain() = default;
    OwnedChain(const OwnedChain&) = delete;
    OwnedChain& operator=(const OwnedChain&) = delete;
    ~OwnedChain() { list_free(&head); }
    // The first `count` points of `pts` (all when count is past the end), closed into
    // a ring when `ring`. 0, or 8 with the list empty.
    [[nodiscard]] int fill(const std::vector<Vec3>& pts, size_t count = static_cast<size_t>(-1),
                           bool ring = false);
};

// The points of an open or closed point list, in order (a ring without a repeat).
std::vector<Vec3> chain_to_vector(const PointNode* list);

// Brings `chain` to n segments: repeated points (1e-6) dropped, then a chain with more
// than n segments is resampled along a cubic spline, one with fewer cut linearly
// (its own points kept), and repeats dropped again. 13 for n below 1 or above
// kChainMaxSegments, an empty chain or a point not finite; 8 out of memory; the
// chain is unchanged on failure.
[[nodiscard]] int chain_resample(std::vector<Vec3>* chain, int n);

// The drawn strokes of point lists: a stroke ends at a pen-up point (which it holds)
// or at the list's end; strokes of fewer than two points are dropped.
std::vector<std::vector<Vec3>> base_strokes(const std::vector<std::vector<BasePoint>>& bases);

// Appends the drawn strokes of a line-work object (a group's recursively, through
// wire_point_lists); with count >= 0 each stroke is first brought to `count` segments
// (chain_resample), with count -1 it keeps its own points. 0, 8 or 13 (count 0).
[[nodiscard]] int wire_strokes(const object* obj, int count, std::vector<std::vector<Vec3>>* out);
