// The undo history of a drawing: recording added and deleted objects in levels, undo
// and redo by replaying a level's operations, rollback, dropping redo levels,
// trimming, and releasing the objects that only the dropped levels held.
#include "model/db/undo.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/glimpse_notify.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/db/undo_log.h"
#include "model/math/check.h"
#include "model/math/result.h"

// The history of one drawing: its operation log, oldest level first. The undoable
// levels come first (MODEL::undo_levels of them, ending at `undo_end`); the redo levels
// follow, the most recently undone first.
struct UndoHistory {
    UndoLog ops;
    size_t undo_end = 0;  // ops[0, undo_end) belong to the undoable levels
    int levels = 0;       // undoable and redo levels
    uint64_t stamp = 0;   // levels recorded so far (model_undo_stamp)
};

void UndoHistoryDeleter::operator()(UndoHistory* history) const {
    delete history;
}

namespace {

UndoHistory* history_of(const MODEL* m) {
    return m ? m->history.get() : nullptr;
}

// The model's history, made when it has none; null when out of memory.
UndoHistory* history_for(MODEL* m) {
    if (!m->history) m->history.reset(new (std::nothrow) UndoHistory);
    return m->history.get();
}

// The operation whose first slot is `i`.
[[gnu::always_inline]] inline UndoOp op_at(UndoHistory* h, size_t i) {
    UndoSlot& first = h->ops[i];
    return UndoOp(first, (first.bits & UndoSlot::kAdded) ? nullptr : &h->ops[i + 1]);
}

// The first slot of the operation that ends before slot `i` (i > 0).
[[gnu::always_inline]] inline size_t op_before(UndoHistory* h, size_t i) {
    return (h->ops[i - 1].bits & UndoSlot::kSecond) ? i - 2 : i - 1;
}

// Calls f(op) for every recorded operation of the slots [begin, end), oldest first.
template <class F>
void for_each_op(UndoHistory* h, size_t begin, size_t end, F&& f) {
    for (size_t i = begin; i < end;) {
        UndoOp op = op_at(h, i);
        i += op.slots();
        f(&op);
    }
}

// Calls f(op) for every recorded operation of every level.
template <class F>
void for_each_node(MODEL* m, F&& f) {
    if (UndoHistory* h = history_of(m)) for_each_op(h, 0, h->ops.size(), f);
}

bool starts_level(const UndoSlot& s) {
    return (s.bits & UndoSlot::kLevelStart) != 0;  // never set in a second slot
}

// The first slot of the level that ends before slot `end` (end > 0).
size_t level_begin(UndoHistory* h, size_t end) {
    size_t i = end - 1;
    while (i > 0 && !starts_level(h->ops[i])) --i;
    return i;
}

// The end of the level that starts at slot `begin` (begin < size).
size_t level_end(UndoHistory* h, size_t begin) {
    size_t i = begin + 1;
    while (i < h->ops.size() && !starts_level(h->ops[i])) ++i;
    return i;
}

// In the drawing of `m`: every link up to the model is a ring membership.
bool in_drawing(const ZOBJ* obj, const MODEL* m) {
    for (const ZOBJ* cur = obj; cur != m; cur = cur->parent) {
        if (!cur->parent || !cur->next) return false;
    }
    return true;
}

// `anc` is `obj` or one of its ancestors along the parent links.
bool holds(const ZOBJ* anc, const ZOBJ* obj) {
    for (const ZOBJ* a = obj; a; a = a->parent) {
        if (a == anc) return true;
    }
    return false;
}

// The ring an object is a member of (a container's children, or the pattern ring).
ZDLIST** ring_of(ZOBJ* obj) {
    CONTAINER* p = obj->parent;
    if (!p) return nullptr;
    if (rtc_is<PATT>(obj)) {
        auto* m = rtc_cast<MODEL>(p);
        return m ? &m->patterns : nullptr;
    }
    return &p->children;
}

// The member after `obj` in its ring; null when it is the last (or alone).
ZOBJ* ring_successor(ZOBJ* obj) {
    ZDLIST** head = ring_of(obj);
    if (!head || !obj->next) return nullptr;
    ZDLIST* next = obj->next;
    return (next == *head || next == obj) ? nullptr : static_cast<ZOBJ*>(next);
}

// Moves `item` (a member of the ring) in front of `before`.
void move_before(ZDLIST** head, ZDLIST* item, ZDLIST* before) {
    if (item == before) return;
    ZELO_CHECK(before->next && before->prev->next == before, "successor %p: next %p, prev %p",
               static_cast<void*>(before), static_cast<void*>(before->next),
               static_cast<void*>(before->prev));
    const bool before_is_head = *head == before;
    ring_remove(head, item);
    item->next = before;
    item->prev = before->prev;
    before->prev->next = item;
    before->prev = item;
    if (before_is_head) *head = item;
    tree_changed(TreeChangeKind::move, item, head, before);
}

// Tells the preview: meshes and groups entering or leaving, cameras changing.
void report(MODEL* m, ZOBJ* obj, bool added) {
    if (rtc_is<MESH3>(obj) || rtc_is<CONTAINER>(obj)) {
        if (added) {
            glimpse_notify_object_added(m, obj);
        } else {
            glimpse_notify_object_removed(m, obj);
        }
    } else if (rtc_is<CAMERA>(obj)) {
        glimpse_notify_drawing(m);
    }
}

// Takes an object that is in a ring out of the drawing; it keeps its parent link.
void take_out(MODEL* m, ZOBJ* obj, bool notify) {
    CONTAINER* parent = obj->parent;
    buffer_purge_object(obj);
    if (auto* patt = rtc_cast<PATT>(obj)) {
        // What model_remove_patt does, except that the history keeps the pattern.
        if (auto* pm = rtc_cast<MODEL>(parent)) {
            pm->set_modified(1);
            pm->replace_ref(patt, nullptr);
            patt_ring_unlink(pm, patt);
        }
    } else {
        obj_remove(obj);
    }
    if (notify) report(m, obj, false);
    obj->parent = parent;
}

// Puts a held object back into its home container, in front of its remembered
// successor when that is still there.
void put_back(MODEL* m, UndoOp* n, bool notify) {
    ZOBJ* obj = n->ref;
    if (!obj || obj->next || !n->home()) return;
    obj->parent = nullptr;
    if (container_insert(n->home(), obj) != 0) {  // nowhere to go: it stays out
        obj->parent = m;
        return;
    }
    ZOBJ* succ = n->succ();
    if (succ && succ != obj && succ->next && succ->parent == obj->parent &&
        rtc_is<PATT>(succ) == rtc_is<PATT>(obj)) {
        if (ZDLIST** head = ring_of(obj)) move_before(head, obj, succ);
    }
    if (notify) report(m, obj, true);
}

// Takes out an object that a node put in; the node remembers where it was.
void take_out_node(MODEL* m, UndoOp* n, bool keep_position, bool notify) {
    ZOBJ* obj = n->ref;
    if (!obj || !obj->next) return;
    n->set_home(obj->parent);
    n->set_succ(keep_position ? ring_successor(obj) : nullptr);
    take_out(m, obj, notify);
}

// Undoes the operations [begin, end) of a level, newest first.
void replay_undo(MODEL* m, size_t begin, size_t end, bool notify) {
    UndoHistory* h = m->history.get();
    for (size_t i = end; i > begin;) {
        i = op_before(h, i);
        UndoOp n = op_at(h, i);
        if (n.added()) {
            take_out_node(m, &n, false, notify);
        } else {
            put_back(m, &n, notify);
        }
    }
}

// Redoes the operations [begin, end) of a level, oldest first.
void replay_redo(MODEL* m, size_t begin, size_t end) {
    for_each_op(m->history.get(), begin, end, [m](UndoOp* n) {
        if (n->added()) {
            put_back(m, n, true);
        } else {
            take_out_node(m, n, true, true);
        }
    });
}

int redo_levels(const MODEL* m) {
    const UndoHistory* h = history_of(m);
    return h ? h->levels - std::max(m->undo_levels, 0) : 0;
}

bool has_redo(const MODEL* m) {
    return redo_levels(m) > 0;
}

// ---- Releasing held objects

// f on the object and everything below it, in pre-order without recursion. f may not
// unlink what it is given.
template <class F>
void visit_tree(ZOBJ* obj, F&& f) {
    for (ZOBJ* z = obj; z; z = tree_next(z, obj)) f(z);
}

// A set of objects and everything inside them. Sorted pointers when memory allows;
// otherwise each question walks up from the object asked about (which must be alive).
class TreeSet {
  public:
    TreeSet(ZOBJ* const* roots, size_t count) : roots_(roots), count_(count) {
        try {
            for (size_t i = 0; i < count; ++i) {
                visit_tree(roots[i], [this](ZOBJ* z) { sorted_.push_back(z); });
            }
            std::sort(sorted_.begin(), sorted_.end());
            fast_ = true;
        } catch (const std::bad_alloc&) {
            sorted_.clear();
            fast_ = false;
        }
    }
    bool contains(const ZOBJ* p) const {
        if (fast_) return std::binary_search(sorted_.begin(), sorted_.end(), p);
        for (const ZOBJ* cur = p;;) {
            for (size_t i = 0; i < count_; ++i) {
                if (cur == roots_[i]) return true;
            }
            if (!cur->next || !cur->parent) return false;
            cur = cur->parent;
        }
    }

  private:
    ZOBJ* const* roots_;
    size_t count_;
    std::vector<const ZOBJ*> sorted_;
    bool fast_ = false;
};

// Object keys of animation tracks that name a doomed object fall back to the object
// holding the key, and blends with it are cleared (as track_redirect_links does for one
// object), in the drawing and in the objects the history still holds: one pass for
// all doomed objects. Without `in_drawing` only the held objects are fixed (the
// drawing's own keys were redirected already).
void redirect_tracks(MODEL* m, const TreeSet& doomed, bool in_drawing = true) {
    if (track_live_count() == 0) return;
    auto fix = [&doomed](ZOBJ* z) {
        // Asked first: a doomed object may be part-way through its destructor.
        if (doomed.contains(z)) return;
        auto* o = rtc_cast<object>(z);
        if (!o) return;
        for (KeyframeTrack* t = o->tracks; t; t = t->next_track) {
            bool changed = false;
            for (ObjectKey& k : t->objects.keys) {
                if (k.target && doomed.contains(k.target)) {
                    k.target = o;
                    changed = true;
                }
            }
            for (object** blend : {&t->blend_a, &t->blend_b}) {
                if (*blend && doomed.contains(*blend)) {
                    *blend = nullptr;
                    changed = true;
                }
            }
            if (changed) track_invalidate(t);
        }
    };
    if (in_drawing) visit_tree(m, fix);
    for_each_node(m, [&fix](UndoOp* n) {
        if (n->ref && !n->ref->next) visit_tree(n->ref, fix);
    });
}

// Destroys an object that is out of every ring, nothing else holding it. Track keys
// naming it must have been redirected first.
void destroy_held(MODEL* m, ZOBJ* obj) {
    if (auto* patt = rtc_cast<PATT>(obj)) {
        // No object, in the drawing or held, may keep pointing at a style that goes.
        m->replace_ref(patt, nullptr);
        undo_replace_ref(m, patt, nullptr);
    }
    obj->parent = nullptr;
    rtc_destroy(obj);
}

// Before doomed trees are destroyed: what the remaining levels hold inside them is cut
// loose and lives on (held out of the drawing); places and positions in them are
// forgotten. True when something was cut loose.
bool cut_loose(MODEL* m, const TreeSet& doomed) {
    bool cut = false;
    for_each_node(m, [m, &doomed, &cut](UndoOp* n) {
        if (ZOBJ* r = n->ref) {
            if (doomed.contains(r)) {
                if (r->next) {
                    if (auto* patt = rtc_cast<PATT>(r); patt && rtc_is<MODEL>(r->parent))
                        patt_ring_unlink(static_cast<MODEL*>(r->parent), patt);
                    else if (ZDLIST** head = ring_of(r))
                        ring_remove(head, r);
                    cut = true;
                }
                r->parent = m;
            } else if (!r->next && r->parent && doomed.contains(r->parent)) {
                r->parent = m;
            }
        }
        if (n->home() && doomed.contains(n->home())) n->set_home(nullptr);
        if (n->succ() && doomed.contains(n->succ())) n->set_succ(nullptr);
    });
    return cut;
}

// Drops the operations [begin, end) of the log, `levels` whole levels at its front or
// its end. An object they held that is out of every ring and that no remaining level
// (nor `keep_alive`) holds is destroyed with everything inside it.
void drop_ops(MODEL* m, size_t begin, size_t end, int levels, const ZOBJ* keep_alive) {
    UndoHistory* h = m->history.get();
    std::vector<ZOBJ*> doomed;
    bool ok = true;
    try {
        for_each_op(h, begin, end, [&](UndoOp* n) {
            ZOBJ* r = n->ref;
            if (r && !r->next && r != keep_alive) doomed.push_back(r);
        });
        std::sort(doomed.begin(), doomed.end());
        doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
    } catch (const std::bad_alloc&) {
        // Out of memory: the objects are kept (lost) rather than risk freeing one that
        // a remaining level still holds.
        ok = false;
    }
    if (begin == 0) {
        h->ops.drop_front(end);
        h->undo_end -= std::min(h->undo_end, end);
    } else {
        h->ops.truncate(begin);
        h->undo_end = std::min(h->undo_end, begin);
    }
    h->levels -= levels;
    if (!ok || doomed.empty()) return;
    if (model_has_history(m)) {
        std::vector<char> kept;
        try {
            kept.assign(doomed.size(), 0);
        } catch (const std::bad_alloc&) {
            return;
        }
        for_each_node(m, [&](UndoOp* n) {
            auto it = std::lower_bound(doomed.begin(), doomed.end(), n->ref);
            if (n->ref && it != doomed.end() && *it == n->ref) kept[it - doomed.begin()] = 1;
        });
        size_t out = 0;
        for (size_t i = 0; i < doomed.size(); ++i) {
            if (!kept[i]) doomed[out++] = doomed[i];
        }
        doomed.resize(out);
        if (doomed.empty()) return;
    }
    {
        const TreeSet trees(doomed.data(), doomed.size());
        if (!model_has_history(m) || !cut_loose(m, trees)) {
            redirect_tracks(m, trees);
        } else {
            redirect_tracks(m, TreeSet(doomed.data(), doomed.size()));  // without what was cut
        }
    }
    for (ZOBJ* obj : doomed) destroy_held(m, obj);
}

// Drops redo levels (all but `keep`, the most recently undone stay).
void drop_redo(MODEL* m, int keep, const ZOBJ* keep_alive) {
    if (keep < 0) return;
    const int r = redo_levels(m);
    if (keep >= r) return;
    UndoHistory* h = m->history.get();
    size_t cut = h->undo_end;
    for (int i = 0; i < keep; ++i) cut = level_end(h, cut);
    drop_ops(m, cut, h->ops.size(), r - keep, keep_alive);
}

// Appends a recorded operation (room reserved: one slot for an addition, two for a
// deletion) at the end of the undoable levels, which is the end of the log once the
// redo levels are dropped. A deletion's successor is `succ`.
void push_op(MODEL* m, ZOBJ* obj, CONTAINER* home, ZOBJ* succ, bool added, bool level_start) {
    UndoHistory* h = m->history.get();
    h->ops.push_back(UndoOp::first_slot(obj, home, added, level_start));
    if (!added) h->ops.push_back(UndoOp::second_slot(succ));
    h->undo_end = h->ops.size();
    if (level_start) {
        h->levels += 1;
        m->undo_levels += 1;
        h->stamp += 1;
    }
}

bool history_holds(MODEL* m, const ZOBJ* obj) {
    bool found = false;
    for_each_node(m, [&](UndoOp* n) { found = found || n->ref == obj; });
    return found;
}

}  // namespace

void undo_object_dying(ZOBJ* obj, bool redirect_keys) {
    if (!obj || !obj->parent) return;
    MODEL* m = obj_model(obj->parent);
    if (!m) return;
    // No view may keep a dying layer or style as its current one.
    if (rtc_is<LAYER>(obj) || rtc_is<PATT>(obj)) model_views_replace_ref(m, obj, nullptr);
    ZOBJ* roots[1] = {obj};
    if (model_has_history(m)) undo_forget_objects(m, roots, 1);
    // Keys of the objects the history holds out of the drawing follow too: without
    // `redirect_keys` the object's own track clean-up only reached the drawing.
    if (redirect_keys) {
        redirect_tracks(m, TreeSet(roots, 1));
    } else if (model_has_history(m) && track_live_count() > 0) {
        redirect_tracks(m, TreeSet(roots, 1), false);
    }
}

int model_has_history(const MODEL* model) {
    const UndoHistory* h = history_of(model);
    return h && h->levels > 0 ? 1 : 0;
}

int model_add_object(CONTAINER* container, ZOBJ* obj, int depth, int new_level) {
    if (!rtc_is<CONTAINER>(container) || !rtc_is<ZOBJ>(obj) || rtc_is<MODEL>(obj))
        return kBadArgument;
    MODEL* m = obj_model(container);
    if (!m || !in_drawing(container, m)) return kBadArgument;
    if (auto* patt = rtc_cast<PATT>(obj)) {
        if (model_find_patt(m, patt->name(), patt->klass())) return kBadArgument;
    }
    if (holds(obj, container)) return kBadArgument;
    // An object in a container of this drawing is moved; one out of every container
    // is new, or one that this drawing's history holds.
    const bool moving = obj->next != nullptr;
    if (moving ? !in_drawing(obj, m) : (obj->parent && !history_holds(m, obj))) return kBadArgument;

    if (depth == 0) {
        if (moving) report(m, obj, false);
        if (container_insert(container, obj) != 0) return kBadArgument;
        report(m, obj, true);
        model_free_undo(m);  // undo is off: the history goes (the object is in the drawing)
        return 0;
    }

    UndoHistory* h = history_for(m);
    if (!h || (!new_level && m->undo_levels < 1) || !h->ops.reserve(moving ? 3 : 1))
        return kOutOfMemory;
    // A move is a deletion from the old place followed by the addition.
    CONTAINER* old_home = obj->parent;
    ZOBJ* old_succ = moving ? ring_successor(obj) : nullptr;
    // A held object is going in: its remembered place no longer counts, and dropping
    // the level that held it may free that place.
    if (!moving) obj->parent = nullptr;
    if (moving) report(m, obj, false);
    (void)container_insert(container, obj);  // cannot fail: checked above
    report(m, obj, true);
    // Levels are dropped with the object in the drawing, so that animation keys of it
    // naming an object they free fall back like those of the rest of the drawing.
    drop_redo(m, 0, obj);
    if (moving) push_op(m, obj, old_home, old_succ, false, new_level != 0);
    push_op(m, obj, container, nullptr, true, new_level && !moving);
    model_undo_trim(m, depth);
    return 0;
}

int model_delete_object(ZOBJ* obj, int depth, int new_level) {
    if (!rtc_is<ZOBJ>(obj) || rtc_is<MODEL>(obj)) return kBadArgument;
    MODEL* m = obj_model(obj);
    if (!m || !in_drawing(obj, m)) return kBadArgument;

    if (depth == 0) {
        model_free_undo(m);  // undo is off; the object is in the drawing and stays whole
        take_out(m, obj, true);
        redirect_tracks(m, TreeSet(&obj, 1));
        destroy_held(m, obj);
        return 0;
    }

    UndoHistory* h = history_for(m);
    if (!h || (!new_level && m->undo_levels < 1) || !h->ops.reserve(2)) return kOutOfMemory;
    CONTAINER* home = obj->parent;
    ZOBJ* succ = ring_successor(obj);
    drop_redo(m, 0, nullptr);
    push_op(m, obj, home, succ, false, new_level != 0);
    model_undo_trim(m, depth);
    take_out(m, obj, true);
    return 0;
}

int model_undo(MODEL* model) {
    if (!rtc_is<MODEL>(model) || model->undo_levels < 1 || !model->history) return 0;
    UndoHistory* h = model->history.get();
    const size_t end = h->undo_end;
    const size_t begin = level_begin(h, end);
    h->undo_end = begin;
    model->undo_levels -= 1;
    replay_undo(model, begin, end, true);
    return 0;
}

int model_redo(MODEL* model) {
    if (!rtc_is<MODEL>(model) || !has_redo(model)) return 0;
    UndoHistory* h = model->history.get();
    const size_t begin = h->undo_end;
    const size_t end = level_end(h, begin);
    h->undo_end = end;
    model->undo_levels = std::max(model->undo_levels, 0) + 1;
    replay_redo(model, begin, end);
    return 0;
}

int model_redo_count(const MODEL* model) {
    return redo_levels(model);
}

int model_rollback(MODEL* model) {
    if (!rtc_is<MODEL>(model) || model->undo_levels < 1 || !model->history) return 0;
    // Redo levels were built on top of the step that is cancelled.
    drop_redo(model, 0, nullptr);
    UndoHistory* h = model->history.get();
    const size_t end = h->undo_end;
    const size_t begin = level_begin(h, end);
    replay_undo(model, begin, end, true);
    model->undo_levels -= 1;
    drop_ops(model, begin, end, 1, nullptr);
    return 0;
}

int model_drop_redo(MODEL* model, int keep) {
    if (model) drop_redo(model, keep, nullptr);
    return 0;
}

int model_undo_trim(MODEL* model, int depth) {
    if (!model || depth < 0 || depth >= model->undo_levels || !model->history) return 0;
    UndoHistory* h = model->history.get();
    const int drop = model->undo_levels - depth;
    size_t cut = 0;
    for (int i = 0; i < drop; ++i) cut = level_end(h, cut);
    model->undo_levels = depth;
    drop_ops(model, 0, cut, drop, nullptr);
    return 0;
}

void model_free_undo(MODEL* model) {
    if (!model || !model->history) return;
    UndoHistory* h = model->history.get();
    model->undo_levels = 0;
    drop_ops(model, 0, h->ops.size(), h->levels, nullptr);
    // Destroying what the levels held records nothing: the log is empty; its memory goes.
    if (h->ops.size() == 0) h->ops.release();
}

uint64_t model_undo_stamp(const MODEL* model) {
    const UndoHistory* h = history_of(model);
    return h ? h->stamp : 0;
}

int undo_level_objects(const MODEL* model, int redo, buffer* added, buffer* deleted) {
    if (!model || !added || !deleted) return kBadArgument;
    UndoHistory* h = model->history.get();
    if (redo ? !has_redo(model) : (model->undo_levels < 1 || !h)) return 0;
    const size_t begin = redo ? h->undo_end : level_begin(h, h->undo_end);
    const size_t end = redo ? level_end(h, begin) : h->undo_end;
    // Newest first, as the level replays on undo.
    int result = 0;
    for_each_op(h, begin, end, [&](UndoOp* op) {
        if (!op->ref || result) return;
        buffer* b = op->added() ? added : deleted;
        auto* node = new (std::nothrow) RefNode{op->ref, b->refs};
        if (!node) {
            result = kOutOfMemory;
            return;
        }
        b->refs = node;
    });
    return result;
}

int undo_replace_ref(MODEL* model, RTC* old_ref, RTC* new_ref) {
    if (!model || !old_ref) return 0;
    int result = 0;
    for_each_node(model, [&](UndoOp* n) {
        ZOBJ* held = n->ref;
        if (!held || held->next || (result && old_ref == new_ref)) return;
        result |= held->replace_ref(old_ref, new_ref);
    });
    return result;
}

void undo_forget_objects(MODEL* model, ZOBJ* const* objs, size_t count) {
    if (!model_has_history(model) || !objs || count == 0) return;
    const TreeSet gone(objs, count);
    for_each_node(model, [model, &gone](UndoOp* n) {
        if (ZOBJ* r = n->ref) {
            if (gone.contains(r)) {
                n->ref = nullptr;
            } else if (!r->next && r->parent && gone.contains(r->parent)) {
                r->parent = model;
            }
        }
        if (n->home() && gone.contains(n->home())) n->set_home(nullptr);
        if (n->succ() && gone.contains(n->succ())) n->set_succ(nullptr);
    });
}

void undo_redirect_container(MODEL* model, const ZOBJ* const* groups, size_t count,
                             CONTAINER* target) {
    if (!model_has_history(model) || !groups || count == 0) return;
    std::vector<const void*> sorted;
    try {
        sorted.assign(groups, groups + count);
        std::sort(sorted.begin(), sorted.end());
    } catch (const std::bad_alloc&) {
        sorted.clear();
    }
    // Pointers only: the groups may be gone already.
    auto gone = [&](const void* p) {
        if (!sorted.empty()) return std::binary_search(sorted.begin(), sorted.end(), p);
        return std::find(groups, groups + count, p) != groups + count;
    };
    for_each_node(model, [&](UndoOp* n) {
        if (n->ref && gone(n->ref)) {
            n->ref = nullptr;
        } else if (ZOBJ* r = n->ref; r && !r->next && r->parent && gone(r->parent)) {
            // It belonged in the group; the group's children went to the target.
            r->parent = (target && !holds(r, target)) ? target : model;
        }
        if (n->home() && gone(n->home())) n->set_home(target);
        if (n->succ() && gone(n->succ())) n->set_succ(nullptr);
    });
}
