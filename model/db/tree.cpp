// Rings, inserting and removing objects, boxes, named patterns and model hooks.
#include "model/db/tree.h"

#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "model/db/patt.h"
#include "model/db/undo.h"
#include "model/math/check.h"
#include "model/math/result.h"

AddLayerHook g_hook_add_layer = &model_hook_add_layer_default;
SecondHook g_hook_second = &model_hook_second_default;
ObjectChangedHook g_hook_object_changed = &model_hook_object_changed_default;
std::atomic<uint64_t> g_tree_epoch{0};

// ---- the change journal

namespace {

constexpr size_t kJournalSize = 1024;  // small enough to stay in the cache while loading

// The last changes made on this thread, a ring of records written round. Plain
// storage with nothing to destroy: a tree changed by a destructor that runs after this
// thread's other thread-local objects are gone (a static drawing freed at exit) still
// finds it whole.
struct Journal {
    TreeChange records[kJournalSize];
    uint64_t written = 0;
};
static_assert(std::is_trivially_destructible_v<Journal>);

constinit thread_local Journal t_journal;
// Entries searched or shifted by caches patching themselves on this thread.
constinit thread_local uint64_t t_patch_steps = 0;

Journal& journal() {
    return t_journal;
}

void record(const TreeChange& c) {
    Journal& j = journal();
    j.records[j.written % kJournalSize] = c;
    ++j.written;
}

uint64_t next_epoch() {
    return g_tree_epoch.fetch_add(1, std::memory_order_relaxed) + 1;
}

// The open change batches of this thread.
struct Batch {
    int depth = 0;
    size_t recorded = 0;  // changes recorded one by one since the outermost opened
    bool dropped = false;  // some were left out
};
constinit thread_local Batch t_batch;

// True when a change is left out by the open batch.
inline bool batch_drops() {
    Batch& b = t_batch;
    if (b.depth == 0) return false;
    if (b.recorded < kJournalSize) {
        ++b.recorded;
        return false;
    }
    b.dropped = true;
    return true;
}

}  // namespace

TreeChangeBatch::TreeChangeBatch() {
    if (t_batch.depth++ == 0) {
        t_batch.recorded = 0;
        t_batch.dropped = false;
    }
}

TreeChangeBatch::~TreeChangeBatch() {
    if (--t_batch.depth != 0 || !t_batch.dropped) return;
    t_batch.dropped = false;
    tree_changed(TreeChangeKind::other);
}

void tree_changed(TreeChangeKind kind, const ZDLIST* item, ZDLIST* const* ring, const ZDLIST* before) {
    if (batch_drops()) return;
    TreeChange c;
    c.epoch = next_epoch();
    c.kind = kind;
    c.item = item;
    c.ring = ring;
    c.before = before;
    record(c);
}

void tree_box_changed(const ZOBJ* obj) {
    if (batch_drops()) return;
    TreeChange c;
    c.epoch = next_epoch();
    c.kind = TreeChangeKind::box;
    c.item = obj;
    if (obj && obj->parent) {
        c.ring = &obj->parent->children;
        // The member of a layer or drawing that holds it lies a few levels up in any
        // usual drawing. Deeper than that the change is told as one that any cache may
        // have to rebuild for: building a chain of groups level by level then no longer
        // walks the whole chain at each level.
        constexpr int kTopWalk = 256;
        const ZOBJ* t = obj;
        int steps = 0;
        while (t->parent && !rtc_is<LAYER>(t->parent) && !rtc_is<MODEL>(t->parent)) {
            if (++steps > kTopWalk) {
                c.kind = TreeChangeKind::other;
                c.item = nullptr;
                c.ring = nullptr;
                record(c);
                return;
            }
            t = t->parent;
        }
        if (t->parent) {
            c.top = t;
            c.top_ring = &t->parent->children;
        }
    }
    record(c);
}

bool tree_patch_spend(size_t* spent, size_t steps, size_t list_size) {
    t_patch_steps += steps;
    *spent += steps;
    return *spent <= 4 * list_size + 64;
}

uint64_t tree_patch_steps() {
    return t_patch_steps;
}

bool tree_changes_since(uint64_t since, size_t limit, std::vector<TreeChange>* out) {
    out->clear();
    const uint64_t now = tree_epoch();
    if (now < since) return false;
    const uint64_t n = now - since;
    const Journal& j = journal();
    if (n > limit || n > kJournalSize || n > j.written) return false;
    try {
        out->reserve(n);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (uint64_t i = j.written - n, e = since + 1; i < j.written; ++i, ++e) {
        const TreeChange& c = j.records[i % kJournalSize];
        if (c.epoch != e) {
            out->clear();
            return false;
        }
        out->push_back(c);
    }
    return true;
}

int model_hook_second_default(MODEL*, ZOBJ*) {
    return 0;
}

int model_hook_object_changed_default(ZOBJ*, int) {
    return 0;
}

namespace {

// The neighbours of a ring member link back to it.
void ring_check_links(const ZDLIST* member) {
    ZELO_CHECK(member->next && member->prev && member->next->prev == member &&
                   member->prev->next == member,
               "ring member %p: next %p, prev %p, next->prev %p, prev->next %p",
               static_cast<const void*>(member), static_cast<void*>(member->next),
               static_cast<void*>(member->prev),
               member->next ? static_cast<void*>(member->next->prev) : nullptr,
               member->prev ? static_cast<void*>(member->prev->next) : nullptr);
}

}  // namespace

void ring_insert(ZDLIST** head, ZDLIST* item, bool as_head) {
    if (!head || !item) return;
    ZELO_CHECK(!item->next && !item->prev, "item %p is still linked: next %p, prev %p",
               static_cast<void*>(item), static_cast<void*>(item->next),
               static_cast<void*>(item->prev));
    tree_changed(*head && as_head ? TreeChangeKind::insert_head : TreeChangeKind::insert_tail, item, head);
    if (!*head) {
        item->next = item->prev = item;
        *head = item;
        return;
    }
    ZDLIST* h = *head;
    ring_check_links(h);
    item->next = h;
    item->prev = h->prev;
    h->prev->next = item;
    h->prev = item;
    if (as_head) *head = item;
}

void ring_remove(ZDLIST** head, ZDLIST* item) {
    if (!head || !item || !*head || !item->next) return;
    ring_check_links(item);
    tree_changed(TreeChangeKind::remove, item, head);
    if (*head == item) {
        *head = item->next;
        if (*head == item) *head = nullptr;
    }
    item->prev->next = item->next;
    item->next->prev = item->prev;
    item->next = item->prev = nullptr;
}

ZOBJ* obj_find_ancestor(ZOBJ* obj, const RtcClass* cls) {
    for (ZOBJ* o = obj; o; o = o->parent) {
        if (rtc_is_a(o, cls)) return o;
    }
    return nullptr;
}

MODEL* obj_model(ZOBJ* obj) {
    return static_cast<MODEL*>(obj_find_ancestor(obj, &MODEL::rtc_class));
}

void obj_update_bbox(object* obj) {
    if (!obj) return;
    obj->own_box();
    tree_box_changed(obj);
    carry_box_up(obj);
}

void carry_box_up(object* obj) {
    if (!obj) return;
    tree_box_changed(obj);
    const BBox& b = obj->box;
    // An empty box widens nothing: the walk up is spared.
    if (b.min.x > b.max.x && b.min.y > b.max.y && b.min.z > b.max.z) return;
    for (CONTAINER* c = obj->parent; c; c = c->parent) {
        if (rtc_is<object>(c)) bbox_union(obj->box, &c->box);
    }
}

void obj_set_modified(ZOBJ* obj, int flag) {
    if (MODEL* m = obj_model(obj)) m->set_modified(flag);
}

void carry_cameras_up(CONTAINER* container, int32_t n) {
    if (n == 0) return;
    for (CONTAINER* c = container; c; c = c->next ? c->parent : nullptr) c->cameras += n;
}

namespace {

thread_local const ZOBJ* t_fresh_box = nullptr;

int insert(CONTAINER* container, ZOBJ* obj, bool own_box) {
    if (!container || !obj) return kBadArgument;
    if (auto* patt = rtc_cast<PATT>(obj)) {
        MODEL* m = obj_model(container);
        if (!m) return kBadArgument;
        return model_insert_patt(m, patt) ? 0 : kBadArgument;
    }
    // A container can hold neither itself nor one of its ancestors (which hold
    // children: an empty group or a leaf is no ancestor, and the walk up is spared).
    auto* group = rtc_cast<CONTAINER>(obj);
    if (obj == container || (group && group->children)) {
        for (ZOBJ* a = container; a; a = a->parent) {
            if (a == obj) return kBadArgument;
        }
    }
    obj_remove(obj);
    ring_insert(&container->children, obj, false);
    obj->parent = container;
    carry_cameras_up(container, obj->cameras);
    if (auto* o = rtc_cast<object>(obj)) {
        if (own_box && obj != t_fresh_box)
            obj_update_bbox(o);
        else
            carry_box_up(o);
    }
    obj_set_modified(container, 1);
    return 0;
}

}  // namespace

FreshBoxScope::FreshBoxScope(const ZOBJ* obj) : outer_(t_fresh_box) {
    t_fresh_box = obj;
}

FreshBoxScope::~FreshBoxScope() {
    t_fresh_box = outer_;
}

int container_insert(CONTAINER* container, ZOBJ* obj) {
    return insert(container, obj, true);
}

int container_insert_boxed(CONTAINER* container, ZOBJ* obj) {
    return insert(container, obj, false);
}

void obj_remove(ZOBJ* obj) {
    if (!obj || !obj->parent) return;
    obj_set_modified(obj, 1);
    if (auto* patt = rtc_cast<PATT>(obj)) {
        model_remove_patt(patt, nullptr);
    } else {
        // A member of a ring is a child of its parent, whose ring cannot be empty.
        ZELO_CHECK(!obj->next || obj->parent->children,
                   "object %p is linked but its parent %p holds no children",
                   static_cast<void*>(obj), static_cast<void*>(obj->parent));
        if (obj->next) carry_cameras_up(obj->parent, -obj->cameras);
        ring_remove(&obj->parent->children, obj);
    }
    obj->parent = nullptr;
}

// ---- the pattern ring and its name index

namespace {
thread_local uint64_t t_name_compares = 0;
}  // namespace

bool patt_names_equal(std::string_view a, std::string_view b) {
    ++t_name_compares;
    return a == b;
}

uint64_t patt_name_compares() {
    return t_name_compares;
}

struct PattIndex {
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };
    struct Equal {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const { return patt_names_equal(a, b); }
    };
    // The patterns of each name, in no particular order.
    std::unordered_map<std::string, std::vector<PATT*>, Hash, Equal> by_name;
};

void PattIndexDeleter::operator()(PattIndex* index) const {
    delete index;
}

namespace {

void index_add(PattIndex* ix, PATT* patt) {
    const std::string_view name = patt->name();
    auto it = ix->by_name.find(name);
    if (it == ix->by_name.end()) it = ix->by_name.emplace(std::string(name), std::vector<PATT*>()).first;
    it->second.push_back(patt);
}

// After `patt` joined the ring: file it under its name, or build the whole index when
// there is none (the first member, or a failed allocation before). Out of memory
// leaves no index, and lookups walk the ring.
void index_note(MODEL* model, PATT* patt) {
    try {
        if (PattIndex* ix = model->patt_index.get()) {
            index_add(ix, patt);
            return;
        }
        std::unique_ptr<PattIndex, PattIndexDeleter> ix(new PattIndex);
        ZDLIST* p = model->patterns;
        if (p) {
            do {
                index_add(ix.get(), static_cast<PATT*>(p));
                p = p->next;
            } while (p != model->patterns);
        }
        model->patt_index = std::move(ix);
    } catch (const std::bad_alloc&) {
        model->patt_index.reset();
    }
}

// Before `patt` leaves the ring or changes its name.
void index_forget(MODEL* model, PATT* patt) {
    PattIndex* ix = model->patt_index.get();
    if (!ix) return;
    auto it = ix->by_name.find(std::string_view(patt->name()));
    if (it != ix->by_name.end()) {
        std::vector<PATT*>& v = it->second;
        for (size_t i = 0; i < v.size(); ++i) {
            if (v[i] != patt) continue;
            v[i] = v.back();
            v.pop_back();
            if (v.empty()) ix->by_name.erase(it);
            return;
        }
    }
    // Not where its name says: the index is out of step; the next change rebuilds it.
    model->patt_index.reset();
}

// The first pattern of the class with the name in ring order.
PATT* find_by_walk(MODEL* model, const char* name, const RtcClass* cls) {
    ZDLIST* p = model->patterns;
    do {
        auto* z = static_cast<PATT*>(p);
        if (rtc_is_a(z, cls) && patt_names_equal(z->name(), name)) return z;
        p = p->next;
    } while (p != model->patterns);
    return nullptr;
}

}  // namespace

void patt_ring_link(MODEL* model, PATT* patt) {
    ring_insert(&model->patterns, patt, false);
    index_note(model, patt);
}

void patt_ring_unlink(MODEL* model, PATT* patt) {
    if (!patt->next) return;
    index_forget(model, patt);
    ring_remove(&model->patterns, patt);
}

int patt_set_name(PATT* patt, const char* text) {
    auto* model = patt->next ? rtc_cast<MODEL>(patt->parent) : nullptr;
    if (!model) return patt->ZOBJ::set_string(0, text);
    index_forget(model, patt);
    const int r = patt->ZOBJ::set_string(0, text);
    index_note(model, patt);
    return r;
}

int model_insert_patt(MODEL* model, PATT* patt) {
    if (!model || !patt) return 0;
    if (model_find_patt(model, patt->name(), patt->klass())) return 0;
    obj_remove(patt);
    patt_ring_link(model, patt);
    patt->parent = model;
    return 1;
}

PATT* model_find_patt(MODEL* model, const char* name, const RtcClass* cls) {
    if (!model || !name || !model->patterns) return nullptr;
    const PattIndex* ix = model->patt_index.get();
    if (!ix) return find_by_walk(model, name, cls);
    const auto it = ix->by_name.find(std::string_view(name));
    if (it == ix->by_name.end()) return nullptr;
    PATT* found = nullptr;
    for (PATT* p : it->second) {
        if (!rtc_is_a(p, cls)) continue;
        // Two of the kind share the name (a class and its subclass): the ring's order
        // decides which comes first.
        if (found) return find_by_walk(model, name, cls);
        found = p;
    }
    return found;
}

void model_remove_patt(PATT* patt, PATT* replacement) {
    if (!patt) return;
    auto* model = rtc_cast<MODEL>(patt->parent);
    if (!model) return;
    // A pattern cannot stand in for itself: it is leaving, so nothing may keep it.
    if (replacement == patt) replacement = nullptr;
    model->replace_ref(patt, replacement);
    // Objects the undo history holds out of the drawing follow too, and the history
    // lets go of the pattern itself (it is no longer the model's).
    undo_replace_ref(model, patt, replacement);
    ZOBJ* leaving = patt;
    undo_forget_objects(model, &leaving, 1);
    patt_ring_unlink(model, patt);
    patt->parent = nullptr;
}

void model_delete_patt(PATT* patt, PATT* replacement) {
    model_remove_patt(patt, replacement);
    rtc_destroy(patt);
}

int model_hook_add_layer_default(MODEL* model, LAYER* layer, const char* name) {
    if (!model || !layer) return kBadArgument;
    if (model->children) {
        ZDLIST* c = model->children;
        do {
            auto* z = static_cast<ZOBJ*>(c);
            if (rtc_is<LAYER>(z) && std::strcmp(z->name(), name ? name : "") == 0)
                return kBadArgument;
            c = c->next;
        } while (c != model->children);
    }
    if (layer->set_string(0, name) != 0) return kOutOfMemory;
    return container_insert(model, layer);
}
