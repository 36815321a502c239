// The undo history of a drawing: recording added and deleted objects in levels, undo
// and redo by replaying a level's operations, rollback, dropping redo levels,
// trimming, and releasing the objects that only the dropped levels held.
#include "model/db/undo.h"

#include <algorithm>
#include <atomic>
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

namespace {

// Order of recorded operations across all levels and drawings.
std::atomic<uint64_t> g_next_seq{1};

uint64_t next_seq() {
    return g_next_seq.fetch_add(1, std::memory_order_relaxed);
}

buffer* as_buffer(ZDLIST* b) {
    return static_cast<buffer*>(b);
}

// Calls f(node) for every node of every level in the model's rings.
template <class F>
void for_each_node(MODEL* m, F&& f) {
    for (ZDLIST* ring : {m->added, m->deleted}) {
        if (!ring) continue;
        ZDLIST* b = ring;
        do {
            for (RefNode* n = as_buffer(b)->refs; n; n = n->next) f(n);
            b = b->next;
        } while (b != ring);
    }
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
    const bool before_is_head = *head == before;
    ring_remove(head, item);
    item->next = before;
    item->prev = before->prev;
    before->prev->next = item;
    before->prev = item;
    if (before_is_head) *head = item;
    tree_changed();
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
            ring_remove(&pm->patterns, patt);
        }
    } else {
        obj_remove(obj);
    }
    if (notify) report(m, obj, false);
    obj->parent = parent;
}

// Puts a held object back into its home container, in front of its remembered
// successor when that is still there.
void put_back(MODEL* m, RefNode* n, bool notify) {
    ZOBJ* obj = n->ref;
    if (!obj || obj->next || !n->home) return;
    obj->parent = nullptr;
    if (container_insert(n->home, obj) != 0) {  // nowhere to go: it stays out
        obj->parent = m;
        return;
    }
    ZOBJ* succ = n->succ;
    if (succ && succ != obj && succ->next && succ->parent == obj->parent &&
        rtc_is<PATT>(succ) == rtc_is<PATT>(obj)) {
        if (ZDLIST** head = ring_of(obj)) move_before(head, obj, succ);
    }
    if (notify) report(m, obj, true);
}

// Takes out an object that a node put in; the node remembers where it was.
void take_out_node(MODEL* m, RefNode* n, bool keep_position, bool notify) {
    ZOBJ* obj = n->ref;
    if (!obj || !obj->next) return;
    n->home = obj->parent;
    n->succ = keep_position ? ring_successor(obj) : nullptr;
    take_out(m, obj, notify);
}

RefNode* reverse(RefNode* head) {
    RefNode* prev = nullptr;
    while (head) {
        RefNode* next = head->next;
        head->next = prev;
        prev = head;
        head = next;
    }
    return prev;
}

// Undoes a level's operations, newest first (both lists are newest first).
void replay_undo(MODEL* m, buffer* add, buffer* del, bool notify) {
    RefNode* a = add->refs;
    RefNode* d = del->refs;
    while (a || d) {
        if (a && (!d || a->seq > d->seq)) {
            take_out_node(m, a, false, notify);
            a = a->next;
        } else {
            put_back(m, d, notify);
            d = d->next;
        }
    }
}

// Redoes a level's operations, oldest first.
void replay_redo(MODEL* m, buffer* add, buffer* del) {
    add->refs = reverse(add->refs);
    del->refs = reverse(del->refs);
    RefNode* a = add->refs;
    RefNode* d = del->refs;
    while (a || d) {
        if (a && (!d || a->seq < d->seq)) {
            put_back(m, a, true);
            a = a->next;
        } else {
            take_out_node(m, d, true, true);
            d = d->next;
        }
    }
    add->refs = reverse(add->refs);
    del->refs = reverse(del->refs);
}

// ---- Levels

struct Level {
    buffer* added = nullptr;
    buffer* deleted = nullptr;
};

Level make_level() {
    Level l;
    l.added = buffer_create();
    l.deleted = l.added ? buffer_create() : nullptr;
    if (!l.deleted) {
        buffer_free(&l.added);
        return {};
    }
    return l;
}

void link_level(MODEL* m, const Level& l) {
    m->undo_levels += 1;
    ring_insert(&m->added, l.added, true);
    ring_insert(&m->deleted, l.deleted, true);
}

void push(buffer* b, RefNode* n) {
    n->next = b->refs;
    b->refs = n;
}

// Any redo level: with no undoable level every level is one; otherwise the head's
// previous level is one exactly when it was undone.
bool has_redo(const MODEL* m) {
    if (!m->added) return false;
    return m->undo_levels <= 0 || as_buffer(m->added->prev)->undone;
}

int redo_levels(const MODEL* m) {
    if (!m->added) return 0;
    const ZDLIST* head = m->added;
    int r = 0;
    if (m->undo_levels <= 0) {
        const ZDLIST* b = head;
        do {
            ++r;
            b = b->next;
        } while (b != head);
        return r;
    }
    for (const ZDLIST* b = head->prev; b != head && static_cast<const buffer*>(b)->undone;
         b = b->prev)
        ++r;
    return r;
}

// Buffers of dropped levels, chained through their (free) ring links.
struct Chain {
    buffer* first = nullptr;
    void push(buffer* b) {
        b->next = first;
        first = b;
    }
    void free_all() {
        while (first) {
            buffer* b = first;
            first = as_buffer(b->next);
            b->next = nullptr;
            rtc_destroy(b);
        }
    }
};

void unlink_level(MODEL* m, ZDLIST* a, ZDLIST* d, Chain& chain) {
    ring_remove(&m->added, a);
    ring_remove(&m->deleted, d);
    chain.push(as_buffer(a));
    chain.push(as_buffer(d));
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
    for_each_node(m, [&fix](RefNode* n) {
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
    for_each_node(m, [m, &doomed, &cut](RefNode* n) {
        if (ZOBJ* r = n->ref) {
            if (doomed.contains(r)) {
                if (r->next) {
                    if (ZDLIST** head = ring_of(r)) ring_remove(head, r);
                    cut = true;
                }
                r->parent = m;
            } else if (!r->next && r->parent && doomed.contains(r->parent)) {
                r->parent = m;
            }
        }
        if (n->home && doomed.contains(n->home)) n->home = nullptr;
        if (n->succ && doomed.contains(n->succ)) n->succ = nullptr;
    });
    return cut;
}

// Frees the dropped levels. An object they held that is out of every ring and that no
// remaining level (nor `keep_alive`) holds is destroyed with everything inside it.
void release(MODEL* m, Chain& chain, const ZOBJ* keep_alive) {
    std::vector<ZOBJ*> doomed;
    bool ok = true;
    try {
        for (buffer* b = chain.first; b; b = as_buffer(b->next)) {
            for (const RefNode* n = b->refs; n; n = n->next) {
                if (n->ref && !n->ref->next && n->ref != keep_alive) doomed.push_back(n->ref);
            }
        }
        std::sort(doomed.begin(), doomed.end());
        doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
        if (!doomed.empty() && model_has_history(m)) {
            std::vector<char> kept(doomed.size(), 0);
            for_each_node(m, [&](RefNode* n) {
                auto it = std::lower_bound(doomed.begin(), doomed.end(), n->ref);
                if (n->ref && it != doomed.end() && *it == n->ref) kept[it - doomed.begin()] = 1;
            });
            size_t out = 0;
            for (size_t i = 0; i < doomed.size(); ++i) {
                if (!kept[i]) doomed[out++] = doomed[i];
            }
            doomed.resize(out);
        }
    } catch (const std::bad_alloc&) {
        // Out of memory: the objects are kept (lost) rather than risk freeing one that
        // a remaining level still holds.
        ok = false;
    }
    chain.free_all();
    if (!ok || doomed.empty()) return;
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

// Unlinks `count` consecutive levels starting at (a, d), following the rings' next
// links (`forward`) or their prev links.
void unlink_levels(MODEL* m, ZDLIST* a, ZDLIST* d, int count, bool forward, Chain& chain) {
    for (int i = 0; i < count; ++i) {
        ZDLIST* following_a = forward ? a->next : a->prev;
        ZDLIST* following_d = forward ? d->next : d->prev;
        unlink_level(m, a, d, chain);
        a = following_a;
        d = following_d;
    }
}

// Drops redo levels (all but `keep`, the least recently undone first).
void drop_redo(MODEL* m, int keep, const ZOBJ* keep_alive) {
    if (keep < 0 || !has_redo(m)) return;
    const int r = redo_levels(m);
    if (keep >= r) return;
    ZDLIST* a = m->added;
    ZDLIST* d = m->deleted;
    for (int i = 0; i < r; ++i) {
        a = a->prev;
        d = d->prev;
    }
    Chain chain;
    unlink_levels(m, a, d, r - keep, true, chain);
    release(m, chain, keep_alive);
}

bool history_holds(MODEL* m, const ZOBJ* obj) {
    bool found = false;
    for_each_node(m, [&](RefNode* n) { found = found || n->ref == obj; });
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
    return model && (model->added || model->deleted) ? 1 : 0;
}

int model_add_object(CONTAINER* container, ZOBJ* obj, int depth, int new_level) {
    if (!rtc_is<CONTAINER>(container) || !rtc_is<ZOBJ>(obj) || rtc_is<MODEL>(obj)) return 13;
    MODEL* m = obj_model(container);
    if (!m || !in_drawing(container, m)) return 13;
    if (auto* patt = rtc_cast<PATT>(obj)) {
        if (model_find_patt(m, patt->name(), patt->klass())) return 13;
    }
    if (holds(obj, container)) return 13;
    // An object in a container of this drawing is moved; one out of every container
    // is new, or one that this drawing's history holds.
    const bool moving = obj->next != nullptr;
    if (moving ? !in_drawing(obj, m) : (obj->parent && !history_holds(m, obj))) return 13;

    if (depth == 0) {
        if (moving) report(m, obj, false);
        if (container_insert(container, obj) != 0) return 13;
        report(m, obj, true);
        model_free_undo(m);  // undo is off: the history goes (the object is in the drawing)
        return 0;
    }

    RefNode* del_node = nullptr;
    if (moving) {
        del_node =
            new (std::nothrow) RefNode{obj, nullptr, obj->parent, ring_successor(obj), next_seq()};
        if (!del_node) return 8;
    }
    auto* add_node = new (std::nothrow) RefNode{obj, nullptr, container, nullptr, next_seq()};
    if (!add_node) {
        delete del_node;
        return 8;
    }
    Level level;
    if (new_level) {
        level = make_level();
    } else if (m->undo_levels >= 1 && m->added && m->deleted) {
        level = {as_buffer(m->added), as_buffer(m->deleted)};
    }
    if (!level.added) {
        delete del_node;
        delete add_node;
        return 8;
    }
    if (del_node) push(level.deleted, del_node);
    push(level.added, add_node);
    // A held object is going in: its remembered place no longer counts, and dropping
    // the level that held it may free that place.
    if (!moving) obj->parent = nullptr;
    if (moving) report(m, obj, false);
    container_insert(container, obj);  // cannot fail: checked above
    report(m, obj, true);
    // Levels are dropped with the object in the drawing, so that animation keys of it
    // naming an object they free fall back like those of the rest of the drawing.
    drop_redo(m, 0, obj);
    if (new_level) link_level(m, level);
    model_undo_trim(m, depth);
    return 0;
}

int model_delete_object(ZOBJ* obj, int depth, int new_level) {
    if (!rtc_is<ZOBJ>(obj) || rtc_is<MODEL>(obj)) return 13;
    MODEL* m = obj_model(obj);
    if (!m || !in_drawing(obj, m)) return 13;

    if (depth == 0) {
        model_free_undo(m);  // undo is off; the object is in the drawing and stays whole
        take_out(m, obj, true);
        redirect_tracks(m, TreeSet(&obj, 1));
        destroy_held(m, obj);
        return 0;
    }

    auto* node =
        new (std::nothrow) RefNode{obj, nullptr, obj->parent, ring_successor(obj), next_seq()};
    if (!node) return 8;
    Level level;
    if (new_level) {
        level = make_level();
    } else if (m->undo_levels >= 1 && m->added && m->deleted) {
        level = {as_buffer(m->added), as_buffer(m->deleted)};
    }
    if (!level.added) {
        delete node;
        return 8;
    }
    push(level.deleted, node);
    drop_redo(m, 0, nullptr);
    if (new_level) link_level(m, level);
    model_undo_trim(m, depth);
    take_out(m, obj, true);
    return 0;
}

int model_undo(MODEL* model) {
    if (!rtc_is<MODEL>(model) || model->undo_levels < 1 || !model->added) return 0;
    buffer* a = as_buffer(model->added);
    buffer* d = as_buffer(model->deleted);
    model->added = a->next;
    model->deleted = d->next;
    a->undone = d->undone = true;
    model->undo_levels -= 1;
    replay_undo(model, a, d, true);
    return 0;
}

int model_redo(MODEL* model) {
    if (!rtc_is<MODEL>(model) || !has_redo(model)) return 0;
    buffer* a = as_buffer(model->added->prev);
    buffer* d = as_buffer(model->deleted->prev);
    model->added = a;
    model->deleted = d;
    a->undone = d->undone = false;
    model->undo_levels = std::max(model->undo_levels, 0) + 1;
    replay_redo(model, a, d);
    return 0;
}

int model_redo_count(const MODEL* model) {
    return model ? redo_levels(model) : 0;
}

int model_rollback(MODEL* model) {
    if (!rtc_is<MODEL>(model) || model->undo_levels < 1 || !model->added) return 0;
    // Redo levels were built on top of the step that is cancelled.
    drop_redo(model, 0, nullptr);
    ZDLIST* a = model->added;
    ZDLIST* d = model->deleted;
    replay_undo(model, as_buffer(a), as_buffer(d), true);
    Chain chain;
    unlink_level(model, a, d, chain);
    model->undo_levels -= 1;
    release(model, chain, nullptr);
    return 0;
}

int model_drop_redo(MODEL* model, int keep) {
    if (model) drop_redo(model, keep, nullptr);
    return 0;
}

int model_undo_trim(MODEL* model, int depth) {
    if (!model || depth < 0 || depth >= model->undo_levels || !model->added) return 0;
    const int c = model->undo_levels;
    // The oldest undoable level: c - 1 steps on from the head, or just behind the redo
    // levels, whichever walk is shorter.
    const int r = has_redo(model) ? redo_levels(model) : 0;
    ZDLIST* a = model->added;
    ZDLIST* d = model->deleted;
    if (c - 1 <= r + 1) {
        for (int i = 0; i < c - 1; ++i) {
            a = a->next;
            d = d->next;
        }
    } else {
        for (int i = 0; i < r + 1; ++i) {
            a = a->prev;
            d = d->prev;
        }
    }
    Chain chain;
    unlink_levels(model, a, d, c - depth, false, chain);
    model->undo_levels = depth;
    release(model, chain, nullptr);
    return 0;
}

void model_free_undo(MODEL* model) {
    if (!model) return;
    Chain chain;
    while (model->added) {
        ZDLIST* b = model->added;
        ring_remove(&model->added, b);
        chain.push(as_buffer(b));
    }
    while (model->deleted) {
        ZDLIST* b = model->deleted;
        ring_remove(&model->deleted, b);
        chain.push(as_buffer(b));
    }
    model->undo_levels = 0;
    release(model, chain, nullptr);
}

int undo_replace_ref(MODEL* model, RTC* old_ref, RTC* new_ref) {
    if (!model || !old_ref) return 0;
    int result = 0;
    for_each_node(model, [&](RefNode* n) {
        ZOBJ* held = n->ref;
        if (!held || held->next || (result && old_ref == new_ref)) return;
        result |= held->replace_ref(old_ref, new_ref);
    });
    return result;
}

void undo_forget_objects(MODEL* model, ZOBJ* const* objs, size_t count) {
    if (!model_has_history(model) || !objs || count == 0) return;
    const TreeSet gone(objs, count);
    for_each_node(model, [model, &gone](RefNode* n) {
        if (ZOBJ* r = n->ref) {
            if (gone.contains(r)) {
                n->ref = nullptr;
            } else if (!r->next && r->parent && gone.contains(r->parent)) {
                r->parent = model;
            }
        }
        if (n->home && gone.contains(n->home)) n->home = nullptr;
        if (n->succ && gone.contains(n->succ)) n->succ = nullptr;
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
    for_each_node(model, [&](RefNode* n) {
        if (n->ref && gone(n->ref)) {
            n->ref = nullptr;
        } else if (ZOBJ* r = n->ref; r && !r->next && r->parent && gone(r->parent)) {
            // It belonged in the group; the group's children went to the target.
            r->parent = (target && !holds(r, target)) ? target : model;
        }
        if (n->home && gone(n->home)) n->home = target;
        if (n->succ && gone(n->succ)) n->succ = nullptr;
    });
}
