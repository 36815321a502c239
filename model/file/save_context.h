// Bookkeeping of one save of a drawing or block file: which objects and keyframe
// tracks the file holds, and how deep its records nest.
//
// References between records (object keys, track links) are written as the file ids
// and track numbers of the save. Objects the undo history holds keep the numbers of
// an earlier save, which may now belong to other objects; so a reference to anything
// this file does not hold is written as -1 (none).
//
// A SaveScope makes the context current on the calling thread for the length of a
// save; without one the writers write every reference as numbered.
#pragma once

#include <cstdint>
#include <vector>

#include "model/file/ptr_set.h"

class IOstream;
class ZOBJ;
struct KeyframeTrack;

// Records nest at most this deep in a file: a layer (or a top object of a block) is
// at depth 1, a group in it at 2, its children at 3, and so on. The reader refuses
// deeper records (13); the writers refuse (13) before writing anything, so whatever is
// written reads back. Far beyond what grouping by hand builds. The reader, the writers
// and the walks of a drawing (regeneration, drawing, picking, copying, transforms,
// freeing, undo) go through the nesting without recursion, so the bound only keeps a
// hostile file from taking unbounded time and memory.
inline constexpr int kMaxRecordNesting = 20000;

// File ids and track numbers handed out so far by a numbering walk (the counters of
// model_number_objects).
struct SaveNumbering {
    int32_t object_id = 0;
    int32_t track_id = 0;
};

struct SaveContext {
    std::vector<ZOBJ*> tops;  // what the file holds: these and everything below them
    int deepest = 0;          // deepest record nesting of what was added
    // Filled on the first reference asked about (most drawings have none).
    bool filled = false;
    FlatPtrSet<ZOBJ> objects;
    FlatPtrSet<KeyframeTrack> tracks;

    // Numbering while writing (a drawing without keyframe tracks, whose records refer
    // to no object written after them): the writers number each object just before
    // its record (save_write_enter) and measure the nesting as they go. `depth` is
    // the nesting of the record being written; a record deeper than kMaxRecordNesting
    // sets `too_deep` and raises 13.
    bool number_while_writing = false;
    SaveNumbering numbering;
    int depth = 0;
    bool too_deep = false;
};

// Gives `obj` the next file id and its keyframe tracks (drawable objects only) the
// next track numbers, in the order of its track list.
void save_number_one(ZOBJ* obj, SaveNumbering* numbering);

// Adds `top` and everything below it to the context, `top` at nesting depth 1, and
// measures the nesting. Iterative: any depth is measured without deep recursion.
// With `numbering`, the same walk numbers every object it meets (save_number_one in
// pre-order), as model_number_objects would over the same objects.
void save_context_add(SaveContext* ctx, ZOBJ* top, SaveNumbering* numbering = nullptr);

// Writers: `obj`'s record is about to be written at nesting depth `depth`. Numbers it
// and checks the depth when the current save numbers while writing; nothing otherwise.
void save_write_enter(IOstream* s, ZOBJ* obj, int depth);
// The current save's context, or null.
SaveContext* save_context();

class SaveScope {
  public:
    SaveScope();
    ~SaveScope();
    SaveScope(const SaveScope&) = delete;
    SaveScope& operator=(const SaveScope&) = delete;
    SaveContext context;

  private:
    SaveContext* outer_;
};

// The number to write for a reference: the object's file id (the track's number)
// when the current save writes it, else -1; null gives -1. Without a current save
// the number as it stands.
int32_t save_object_ref(const ZOBJ* obj);
int32_t save_track_ref(const KeyframeTrack* track);
