// Bookkeeping of one load of a drawing or block file: which objects and keyframe
// tracks were made by this load, and the file ids and track numbers their records
// named. References between records (track links, object keys) are resolved through
// this map only, never against objects that were already in the drawing, so a file
// imported into an open drawing cannot link to (or be confused with) its objects.
//
// A LoadScope makes the context current on the calling thread for the length of a
// load; the record readers note into it. Without a current context the readers still
// work: tracks are then read without their links and object keys without targets.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "model/db/tree.h"
#include "model/file/ptr_set.h"
#include "model/math/bulk_alloc.h"

class RTC;
class ZOBJ;
struct KeyframeTrack;

struct TrackLinks {
    int32_t id = -1;  // the track's own number in the file
    // next sibling, previous sibling, parent, first child (-1 none)
    int32_t next = -1, prev = -1, parent = -1, child = -1;
    std::vector<int32_t> key_targets;  // per object key: the target's file id
};

// The objects one load made. Noting one is an append to fixed blocks (no copy as
// the list grows, none of a million-object load's big buffers freed half-way); the set
// to look them up in is built on the first look-up (most loads never look one up) and
// kept from then on.
class LoadObjects {
  public:
    void insert(const RTC* obj) {
        if (!obj) return;
        if (indexed_) {
            set_.insert(obj);
            return;
        }
        if (used_ == kBlock || blocks_.empty()) {
            blocks_.push_back(std::unique_ptr<const RTC*[]>(new const RTC*[kBlock]));
            used_ = 0;
        }
        blocks_.back()[used_++] = obj;
    }
    size_t count(const RTC* obj) const {
        if (!indexed_) {
            for (size_t b = 0; b < blocks_.size(); ++b) {
                const size_t n = b + 1 == blocks_.size() ? used_ : kBlock;
                for (size_t i = 0; i < n; ++i) set_.insert(blocks_[b][i]);
            }
            blocks_.clear();
            indexed_ = true;
        }
        return set_.count(obj);
    }

  private:
    static constexpr size_t kBlock = 8192;  // 64 KiB of pointers
    mutable std::vector<std::unique_ptr<const RTC*[]>> blocks_;
    size_t used_ = 0;  // entries of the last block
    mutable FlatPtrSet<RTC> set_;
    mutable bool indexed_ = false;
};

struct LoadContext {
    LoadObjects objects;  // made by this load
    std::unordered_map<const KeyframeTrack*, TrackLinks> tracks;
    // The object whose reader last gave it its box (regenerating it): placed without
    // computing the box again.
    const RTC* boxed = nullptr;
    int32_t skipped = 0;  // objects left out because they could not be rebuilt
};

// The context of the load running on this thread, or null.
LoadContext* load_context();

class LoadScope {
  public:
    LoadScope();
    ~LoadScope();
    LoadScope(const LoadScope&) = delete;
    LoadScope& operator=(const LoadScope&) = delete;
    LoadContext context;

  private:
    LoadContext* outer_;
    TreeChangeBatch batch_;  // a load changes the tree a few times an object
    BulkAllocScope bulk_;     // and makes its objects and point lists from blocks
};

// Notes an object made by the current load (nothing without one).
void load_note_object(const RTC* obj);
// Notes an object record left out because its object cannot be rebuilt: a logged
// warning, and one more in the current load's count.
void load_note_skipped(const char* class_name);
// Notes a track read by the current load with its stored numbers.
void load_note_track(const KeyframeTrack* track, TrackLinks links);

// Resolves the links of the tracks of this load found in the tree below `root`
// (root included): parents and children through the track numbers, sibling order
// through the stored sibling links, object keys through the file ids of this load's
// objects. A link that names nothing of this load, or that would make a track its own
// ancestor, stays empty. Returns the largest frame count (last key frame + 1) among all
// tracks of the tree, at least `frame_count`.
int32_t tracks_resolve(ZOBJ* root, ZOBJ* obj, int32_t frame_count);

// The object of this load with file id `id` below `root`, or null. Views read their
// references through it.
ZOBJ* load_find_object(ZOBJ* root, int32_t id);
