// The drawing tree: rings, inserting and removing objects, box upkeep, named
// patterns of a model and the model hooks.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "model/db/zobj.h"

// Tree epoch: a process-wide counter that moves on whenever a ring gains or loses a
// member or an object's box is recomputed or copied. Caches built from the tree
// (the pick device's box index, the snap copy) compare it to know they still hold.
extern std::atomic<uint64_t> g_tree_epoch;
inline uint64_t tree_epoch() {
    return g_tree_epoch.load(std::memory_order_relaxed);
}

// What one step of the epoch changed, so a cache can patch itself instead of being
// rebuilt from the whole drawing.
enum class TreeChangeKind : uint8_t {
    other,        // anything: caches of the ring (or of everything, with no ring) rebuild
    insert_tail,  // `item` joined `ring` as its last member
    insert_head,  // `item` joined `ring` as its head
    remove,       // `item` left `ring`
    move,         // `item` now stands in `ring` in front of `before`
    box,          // `item`'s box changed (and with it maybe those of its ancestors)
    reset,        // the ring's members were replaced wholesale, or its owner is dying
};
struct TreeChange {
    uint64_t epoch = 0;  // the epoch this change moved the tree to
    TreeChangeKind kind = TreeChangeKind::other;
    const ZDLIST* item = nullptr;
    ZDLIST* const* ring = nullptr;  // the ring head `item` is (was) a member of; null: none
    const ZDLIST* before = nullptr;
    // box: the outermost ancestor of `item` (or `item` itself) that is a member of a
    // layer or of a drawing, and that ring; null when `item` is in no such tree.
    const ZDLIST* top = nullptr;
    ZDLIST* const* top_ring = nullptr;
};

// Moves the epoch on and records the change in this thread's journal. Each step gets
// its own record, so a cache that sees an unbroken run of records from its epoch to
// the current one knows every change since. The epoch moves on by a locked add: with a
// load and a store, a thread changing its own drawing (a render job's copy) could be
// held between the two and then set the epoch back to a value a cache already holds,
// hiding a change made meanwhile on another thread.
void tree_changed(TreeChangeKind kind = TreeChangeKind::other, const ZDLIST* item = nullptr,
                  ZDLIST* const* ring = nullptr, const ZDLIST* before = nullptr);
// tree_changed for a box change of `obj` (ring and outermost ancestor found here).
void tree_box_changed(const ZOBJ* obj);
// The changes with epochs after `since` up to the current epoch, oldest first, when
// this thread's journal holds every one of them and there are at most `limit`; false
// otherwise (changes made on another thread, or too many): the caller rebuilds.
bool tree_changes_since(uint64_t since, size_t limit, std::vector<TreeChange>* out);
// Counts `steps` (entries searched or shifted) that a cache patching one of its lists
// from the journal spends on it into `spent`, and says whether the patch may go on:
// past a few passes over the list, building the list again costs less.
bool tree_patch_spend(size_t* spent, size_t steps, size_t list_size);
// The steps spent so on the calling thread, all lists together (tests read it).
uint64_t tree_patch_steps();

// While it lives, changes on this thread past the journal's length are not recorded
// one by one: the epoch stands still for them, and when the outermost scope ends one
// `other` change stands for them all (a cache could not have patched itself across
// more changes than the journal holds anyway). For bulk work such as reading a
// drawing, which makes a few changes an object. Scopes nest.
class TreeChangeBatch {
  public:
    TreeChangeBatch();
    ~TreeChangeBatch();
    TreeChangeBatch(const TreeChangeBatch&) = delete;
    TreeChangeBatch& operator=(const TreeChangeBatch&) = delete;
};

// Into an empty ring the item goes alone and becomes the head; otherwise before the
// head, becoming the head when `as_head` is set. Nothing for null arguments.
void ring_insert(ZDLIST** head, ZDLIST* item, bool as_head);
// Takes the item out; the head moves on when it was the head; links cleared.
void ring_remove(ZDLIST** head, ZDLIST* item);

// Calls the object's own-box slot, then widens every ancestor container's box by it.
void obj_update_bbox(object* obj);
// Widens every ancestor container's box by the object's box as it stands.
void carry_box_up(object* obj);
// The object itself or its first ancestor of the class; null when none.
ZOBJ* obj_find_ancestor(ZOBJ* obj, const RtcClass* cls);
// The MODEL that is or holds the object; null when none.
MODEL* obj_model(ZOBJ* obj);

// Inserts an object at the end of a container (a pattern goes to the model's pattern
// ring). 13 when the object is null, the container itself, or one of its ancestors;
// 0 otherwise.
[[nodiscard]] int container_insert(CONTAINER* container, ZOBJ* obj);
// container_insert for an object whose box is already its own (a group read from a
// file, widened by each member as it was placed): the box is carried into the
// ancestors' boxes without being recomputed, which would walk everything below it.
[[nodiscard]] int container_insert_boxed(CONTAINER* container, ZOBJ* obj);
// While it lives, container_insert of `obj` on this thread takes the object's box as
// it stands (as container_insert_boxed does): for a caller that hands an object whose
// box is fresh to code that inserts it, such as a layer read from a file (its box
// grew with each member as it was placed) going through the add-layer hook. Scopes
// nest; each restores the one it replaced.
class FreshBoxScope {
  public:
    explicit FreshBoxScope(const ZOBJ* obj);
    ~FreshBoxScope();
    FreshBoxScope(const FreshBoxScope&) = delete;
    FreshBoxScope& operator=(const FreshBoxScope&) = delete;

  private:
    const ZOBJ* outer_;
};
// Takes an object out of its container or pattern ring; nothing when it has no parent.
void obj_remove(ZOBJ* obj);
// Adds `n` to the camera count of `container` and of each container above it, up
// while each is a member of its parent's ring (an object the undo history holds out
// of the drawing keeps a parent link that counts nothing).
void carry_cameras_up(CONTAINER* container, int32_t n);
// Calls the set-modified slot of the MODEL above the object.
void obj_set_modified(ZOBJ* obj, int flag);

// Links a pattern at the end of the model's pattern ring, or unlinks it (nothing when
// it is in no ring), keeping the model's name index in step: every change of the
// ring's membership goes through these two. Moving a member to another place in the
// ring (undo, the drawing reader) leaves the index as it is. Parent links are the
// caller's.
void patt_ring_link(MODEL* model, PATT* patt);
void patt_ring_unlink(MODEL* model, PATT* patt);
// Renames a pattern (its string 0), refiling it in the name index of the model whose
// ring holds it. 0, or 8 when out of memory (the old name stays).
[[nodiscard]] int patt_set_name(PATT* patt, const char* text);
// Whether two pattern names are the same: the one comparison of names that lookups
// in the pattern ring and its index make. patt_name_compares counts its calls on the
// calling thread, so that a test can tell how many comparisons a lookup costs.
bool patt_names_equal(std::string_view a, std::string_view b);
uint64_t patt_name_compares();
// Puts a pattern at the end of the model's pattern ring unless one of the same class
// and name is there. 1 when inserted, 0 when refused.
int model_insert_patt(MODEL* model, PATT* patt);
// The first pattern of the class (kind test) with that exact name; null when none.
// Looks the name up in the model's index, so reading a library of n patterns costs
// n lookups, not n^2 comparisons.
PATT* model_find_patt(MODEL* model, const char* name, const RtcClass* cls);
// Redirects every reference to the pattern to `replacement` (or null), then takes
// it out of the ring.
void model_remove_patt(PATT* patt, PATT* replacement);
// model_remove_patt, then destroys the pattern.
void model_delete_patt(PATT* patt, PATT* replacement);

// Hooks the application chains at start-up.
using AddLayerHook = int (*)(MODEL* model, LAYER* layer, const char* name);
using SecondHook = int (*)(MODEL* model, ZOBJ* obj);
using ObjectChangedHook = int (*)(ZOBJ* obj, int what);
extern AddLayerHook g_hook_add_layer;
extern SecondHook g_hook_second;
extern ObjectChangedHook g_hook_object_changed;
// 13 when the model already has a LAYER of that name; otherwise names and inserts it.
[[nodiscard]] int model_hook_add_layer_default(MODEL* model, LAYER* layer, const char* name);
// The defaults of the other two hooks: nothing to do, 0. A hook chained at start-up
// may call the one it replaced without checking it.
int model_hook_second_default(MODEL* model, ZOBJ* obj);
int model_hook_object_changed_default(ZOBJ* obj, int what);
