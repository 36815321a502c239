// The undo history of a drawing: adding and deleting objects as undoable steps, undo,
// redo, rollback of a failed step, and trimming the history to the depth chosen in
// the preferences.
//
// A level is one command step: the objects it added and deleted, in the order of the
// operations. The MODEL's history (MODEL::history, undo.cpp) keeps every level's
// operations in one log, oldest level first: first the undoable levels
// (MODEL::undo_levels of them, the newest is undone first), then the levels that were
// undone and can be redone (the most recently undone is redone first).
//
// Every recorded operation holds the object, the container it goes back into (its
// home), its neighbour in the ring when it was taken out (so that undo restores the
// drawing's order) and whether it was an addition or a deletion. Undo replays a level's
// operations newest first, redo oldest first, so a step that deletes an object and
// adds it elsewhere (a move) comes back exactly.
//
// Ownership: an object that a level holds out of the drawing (deleted by an undoable
// level, or added by an undone one) belongs to the history; it is destroyed when the
// last level holding it goes (trimmed, dropped as a redo level, rolled back, or freed
// with the model) and it is not in any container by then. An object in the drawing
// belongs to its container; the history only refers to it. Objects the history holds
// keep their parent link while they are out, so obj_model() finds their drawing; one
// whose container has gone is linked to the MODEL itself (it stays out on undo).
//
// The history expects objects it refers to to be changed only through these routines,
// container_insert_buffer, buffer_delete_objects and model_remove_patt (which keep it in
// step). Code that destroys a drawing object any other way must call
// undo_forget_objects first.
//
// The depth setting passed to the recording routines: 0 undo off, negative unlimited
// (-1 at start-up), N > 0 keep N levels. Result codes: 0 success, 8 out of memory (or
// a step without the new-level flag that finds no undoable level), 13 bad argument.
// The drawing is unchanged whenever a recording routine fails.
#pragma once

#include <cstddef>
#include <cstdint>

class CONTAINER;
class MODEL;
class RTC;
class ZOBJ;
class buffer;

// Adds `obj` to `container` (a CONTAINER in a drawing, or the MODEL itself) as an
// undoable step. `new_level` non-zero starts a new level (the first object of a
// command step); zero adds to the newest level. An object already in a container of
// the same drawing is moved, and undo puts it back where it was.
// 13: a bad container or object, a container outside its drawing, an object that
// holds the container, an object of another drawing, or a pattern whose class and name
// the drawing already has. 8: out of memory, or no undoable level without `new_level`.
// Every step that records drops the redo levels; with depth 0 nothing is recorded, the
// whole history is dropped, and the object is simply added.
[[nodiscard]] int model_add_object(CONTAINER* container, ZOBJ* obj, int depth, int new_level);

// Takes `obj` out of its container as an undoable step; the history then owns it and
// it keeps its parent link. With depth 0 the whole history is dropped and the object
// is destroyed at once. 13 when the object is not in a drawing (or is the MODEL);
// 8 as for model_add_object.
[[nodiscard]] int model_delete_object(ZOBJ* obj, int depth, int new_level);

// Undoes the newest undoable level / redoes the most recently undone one. 0, also when
// there is nothing to do.
int model_undo(MODEL* model);
int model_redo(MODEL* model);
// Number of redo levels.
int model_redo_count(const MODEL* model);
// Cancels the newest level for good (a command that failed part-way): the redo levels
// are dropped, its operations are undone, the objects it added are destroyed. 0.
int model_rollback(MODEL* model);
// Drops all but `keep` redo levels (the most recently undone are kept): their added
// objects are destroyed. Nothing when keep is negative or not below the redo count. 0.
int model_drop_redo(MODEL* model, int keep);
// Drops the oldest undoable levels until at most `depth` remain: their deleted objects
// are destroyed. Nothing when depth is negative or not below the level count. Redo
// levels stay. 0.
int model_undo_trim(MODEL* model, int depth);
// Frees every level and the objects only the history holds (the MODEL's destructor).
void model_free_undo(MODEL* model);

// Calls the replace-reference slot (old, new) of every object the history holds out of
// the drawing (and so of everything inside them); model_remove_patt uses it after the
// drawing's own replace, so that no held object keeps pointing at a removed style.
// With new equal to old it only asks: 1 when a held object refers to `old`.
int undo_replace_ref(MODEL* model, RTC* old_ref, RTC* new_ref);

// Makes the history forget the objects and everything inside them before they are
// destroyed by other means: references to them are dropped, held objects that belonged
// in one of them lose that place (they are not put back), remembered positions next
// to them are forgotten.
void undo_forget_objects(MODEL* model, ZOBJ* const* objs, size_t count);

// The groups (freed or about to be freed) were dissolved into `target`: references to
// them are dropped, held objects that belonged in one of them now belong in `target`,
// positions next to them are forgotten. The group pointers are only compared.
void undo_redirect_container(MODEL* model, const ZOBJ* const* groups, size_t count,
                             CONTAINER* target);

// An object still in a drawing is being destroyed directly (not through the history):
// the history forgets it and everything below it; with `redirect_keys`, animation keys
// naming any of them also fall back to the objects holding the keys (a dying group
// does this for its whole tree; a single object's own track clean-up does it for
// itself). The object destructors call it.
void undo_object_dying(ZOBJ* obj, bool redirect_keys);

// 1 when the model has any undo or redo level.
int model_has_history(const MODEL* model);

// A number that changes whenever a new level is recorded in the model (0 before any):
// a caller compares it before and after a step to know whether the step recorded.
uint64_t model_undo_stamp(const MODEL* model);

// Puts the objects of the level that model_undo (`redo` 0) or model_redo (`redo` 1)
// would replay into two buffers made by the caller (buffer_create): the objects the
// level added into `added`, those it deleted into `deleted`, newest first. Nothing
// when there is no such level. 0; 13 for a null argument; 8 when out of memory (the
// buffers then hold part of the level).
[[nodiscard]] int undo_level_objects(const MODEL* model, int redo, buffer* added, buffer* deleted);
