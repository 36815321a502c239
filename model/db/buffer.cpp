// Buffers of object references, the global ring of selection buffers, and the
// operations on every object of a buffer: colour, box, material, moving and
// destroying.
#include "model/db/buffer.h"

#include <algorithm>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "model/db/find.h"
#include "model/db/solid.h"
#include "model/db/texture_map.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/math/matrix.h"
#include "model/math/plist.h"
#include "model/material/material.h"
#include "model/math/result.h"

RTC_CLASS_RECORD(buffer, "buffer", &ZDLIST::rtc_class, 2, nullptr, nullptr, nullptr, false, false);

namespace {

ZDLIST* g_buffer_ring = nullptr;

// True when `anc` holds `obj` (directly or deeper). Only ring membership counts: an
// object out of every ring whose parent link remembers a container is not inside it.
bool is_inside(const ZOBJ* obj, const ZOBJ* anc) {
    for (const ZOBJ* cur = obj; cur->next && cur->parent;) {
        cur = cur->parent;
        if (cur == anc) return true;
    }
    return false;
}

// True when an ancestor of `obj` is in the sorted list.
bool has_ancestor_in(const ZOBJ* obj, const std::vector<const ZOBJ*>& sorted) {
    for (const ZOBJ* cur = obj; cur->next && cur->parent;) {
        cur = cur->parent;
        if (std::binary_search(sorted.begin(), sorted.end(), cur)) return true;
    }
    return false;
}

// An object out of every container keeps only a remembered parent link (held by an
// undo level, say), which its destructors could not follow to the drawing, or which may
// name another object dying here: animation keys naming it or anything inside it fall
// back while the drawing can still be found, then the link is cleared.
void let_go(ZOBJ* obj) {
    if (obj->next || !obj->parent) return;
    undo_object_dying(obj, true);
    obj->parent = nullptr;
}

void forget_one(ZOBJ* obj) {
    MODEL* m = obj_model(obj);
    if (m && model_has_history(m)) undo_forget_objects(m, &obj, 1);
}

// Without memory for a list: one node at a time. An object that a later reference
// holds is left to die with it; references into an object's tree go with it.
void delete_objects_slowly(buffer* buf) {
    for (RefNode* n = buf->refs; n; n = n->next) {
        ZOBJ* obj = n->ref;
        if (!obj) continue;
        bool held_later = false;
        for (RefNode* m = n->next; m && !held_later; m = m->next) {
            if (m->ref && m->ref != obj && is_inside(obj, m->ref)) held_later = true;
        }
        n->ref = nullptr;
        if (held_later) continue;
        for (RefNode* m = n->next; m; m = m->next) {
            if (m->ref && (m->ref == obj || is_inside(m->ref, obj))) m->ref = nullptr;
        }
        forget_one(obj);
        let_go(obj);
        rtc_destroy(obj);
    }
    buffer_clear(buf);
}

void delete_objects(buffer* buf) {
    if (!rtc_is<buffer>(buf)) return;
    std::vector<ZOBJ*> roots;
    std::vector<MODEL*> models;
    try {
        std::vector<const ZOBJ*> all;
        for (const RefNode* n = buf->refs; n; n = n->next) {
            if (n->ref) all.push_back(n->ref);
        }
        std::sort(all.begin(), all.end());
        all.erase(std::unique(all.begin(), all.end()), all.end());
        // An object inside another referenced object dies with that one.
        for (const ZOBJ* o : all) {
            if (has_ancestor_in(o, all)) continue;
            ZOBJ* obj = const_cast<ZOBJ*>(o);
            roots.push_back(obj);
            MODEL* m = obj_model(obj);
            if (m && model_has_history(m) &&
                std::find(models.begin(), models.end(), m) == models.end())
                models.push_back(m);
        }
    } catch (const std::bad_alloc&) {
        delete_objects_slowly(buf);
        return;
    }
    // Emptied first: destroying an object purges the ring buffers, this one included.
    buffer_clear(buf);
    for (MODEL* m : models) undo_forget_objects(m, roots.data(), roots.size());
    // Every link is still whole while the keys are redirected; cleared afterwards.
    for (ZOBJ* obj : roots) {
        if (!obj->next && obj->parent) undo_object_dying(obj, true);
    }
    for (ZOBJ* obj : roots) {
        if (!obj->next) obj->parent = nullptr;
    }
    for (ZOBJ* obj : roots) rtc_destroy(obj);
}

// The object and everything below it, in pre-order without recursion.
void colour_tree(object* obj, int32_t colour) {
    for (ZOBJ* z = obj; z; z = tree_next(z, obj)) {
        if (auto* o = rtc_cast<object>(z)) o->colour = colour == -1 ? ~o->colour : colour;
    }
}

// Holds `container` itself or somewhere below it.
bool holds(const ZOBJ* group, const ZOBJ* container) {
    for (const ZOBJ* a = container; a; a = a->parent) {
        if (a == group) return true;
    }
    return false;
}

// Moves every child of `group` into `target`. False when one could not go (the group
// then keeps the rest).
bool move_children(CONTAINER* group, CONTAINER* target) {
    while (group->children) {
        if (container_insert(target, static_cast<ZOBJ*>(group->children)) != 0) return false;
    }
    return true;
}

// ---- Materials

void copy_flag(MaterialRecord* d, const MaterialRecord* s, uint32_t bit) {
    d->flags = (d->flags & ~bit) | (s->flags & bit);
}

// The mapping copy mask of texture_mapping_copy_masked chosen by a material mask.
int32_t mapping_mask(int32_t mask) {
    int32_t m = 0;
    if (mask & kMatApplyMapAngle) m |= kMappingCopyAngle;
    if (mask & kMatApplyMapDecal) m |= kMappingCopyDecal;
    if (mask & (kMatApplyTexture | kMatApplyBumpReflection)) m |= kMappingCopyImage;
    if (mask & kMatApplyMapScale) m |= kMappingCopyUScale | kMappingCopyVScale;
    return m;
}

int apply_slot(TextureSlot& d, const TextureSlot& s, int32_t mask) {
    const int32_t old_kind = d.kind;
    d.kind = s.kind;
    d.amount = s.amount;
    d.mapping_mode = s.mapping_mode;
    colour_ramp_release(&d.ramp);
    d.ramp = nullptr;  // a static preset is not released, only dropped
    if (xform_assign(d.transform, s.transform.get()) != 0) return kOutOfMemory;
    if (!s.transform) d.transform.reset();
    if (colour_ramp_copy(&d.ramp, s.ramp) != 0) return kOutOfMemory;
    if (s.kind == kTextureImage) {
        if (old_kind != kTextureImage) texture_mapping_init(&d.mapping);
        return texture_mapping_copy_masked(&d.mapping, &s.mapping, mapping_mask(mask));
    }
    if (s.kind > kTextureImage) {
        pattern_params_init(&d.pattern);
        pattern_params_copy_masked(&d.pattern, &s.pattern, kPatternCopyAll);
    }
    return 0;
}

int apply_material(MaterialRecord* d, const MaterialRecord* s, int32_t mask) {
    if (!d || d == s) return 0;
    if ((mask & kMatApplyAll) == kMatApplyAll && material_copy(d, s) != 0) return kOutOfMemory;
    if (mask & kMatApplyColour) std::copy(s->colour, s->colour + 4, d->colour);
    if (mask & kMatApplySelfIllumination) d->self_illumination = s->self_illumination;
    if (mask & kMatApplyTransparency) d->transparency = s->transparency;
    if (mask & kMatApplyShininess) d->shininess = s->shininess;
    if (mask & kMatApplySpecularExponent) d->specular_exponent = s->specular_exponent;
    if (mask & kMatApplyRandomness) d->randomness = s->randomness;
    if (mask & kMatApplyReflectionLevel) d->reflection_level = s->reflection_level;
    if (mask & kMatApplyRefraction) d->refraction = s->refraction;
    if (mask & kMatApplyMappingType) copy_flag(d, s, kMaterialMappingType);
    if (mask & kMatApplyColourHighlight) copy_flag(d, s, kMaterialColourHighlight);
    if (mask & kMatApplySmoothing) {
        copy_flag(d, s, kMaterialSmoothAlways);
        copy_flag(d, s, kMaterialSmoothByAngle);
        if (d->flags & kMaterialSmoothByAngle) d->smoothing_angle = s->smoothing_angle;
    }
    if (mask & kMatApplyTexture) {
        if (int r = apply_slot(d->slots[kSlotTexture], s->slots[kSlotTexture], mask)) return r;
    }
    if (mask & kMatApplyBumpReflection) {
        if (int r = apply_slot(d->slots[kSlotBump], s->slots[kSlotBump], mask)) return r;
        if (int r = apply_slot(d->slots[kSlotReflection], s->slots[kSlotReflection], mask))
            return r;
    }
    return 0;
}

MaterialRecord* material_of(ZOBJ* obj) {
    if (auto* m = rtc_cast<MESH3>(obj)) return m->material;
    if (auto* c = rtc_cast<CAMERA>(obj)) return c->material;
    return nullptr;
}

}  // namespace

// Long buffers keep an index: the node of each referenced object, and nodes known to
// be cleared. It is valid while the list's head is the one it last saw; every routine
// here that frees nodes drops it, and code elsewhere only prepends nodes, reverses the
// list or clears references, which the head check and the node check catch.
struct BufferIndex {
    std::unordered_map<const ZOBJ*, RefNode*> where;
    std::vector<RefNode*> cleared;
    RefNode* head = nullptr;
};

namespace {

constexpr size_t kIndexFrom = 16;  // shorter buffers are scanned

// Which ring buffers may hold each object. Every ring buffer holding an object is
// listed under it; a listed buffer may since have let the object go (a reference
// cleared outside this file) or died, so a removal checks that the buffer is alive
// and looks. Kept by the routines here that put references into ring buffers or take
// them out. After running out of memory the list is no longer whole and removals go
// back to visiting every buffer of the ring.
struct Holders {
    std::unordered_multimap<const ZOBJ*, buffer*> by_object;
    std::unordered_set<const buffer*> live;  // ring buffers not yet destroyed
    bool whole = true;
};

Holders& holders() {
    static Holders* h = new Holders;  // never freed: buffers die during static teardown
    return *h;
}

uint64_t g_purge_visits = 0;

void note_holder(buffer* buf, const ZOBJ* obj) {
    Holders& h = holders();
    if (!buf->in_ring || !h.whole || !obj) return;
    auto [b, e] = h.by_object.equal_range(obj);
    for (auto it = b; it != e; ++it) {
        if (it->second == buf) return;
    }
    try {
        h.by_object.emplace(obj, buf);
    } catch (...) {
        h.whole = false;
        h.by_object.clear();
    }
}

void drop_holder(buffer* buf, const ZOBJ* obj) {
    Holders& h = holders();
    if (!buf->in_ring || !h.whole || !obj) return;
    auto [b, e] = h.by_object.equal_range(obj);
    for (auto it = b; it != e; ++it) {
        if (it->second == buf) {
            h.by_object.erase(it);
            return;
        }
    }
}

void note_all(buffer* buf) {
    for (const RefNode* n = buf->refs; n; n = n->next) note_holder(buf, n->ref);
}

void drop_all(buffer* buf) {
    for (const RefNode* n = buf->refs; n; n = n->next) drop_holder(buf, n->ref);
}

bool index_valid(const buffer* buf) { return buf->index && buf->index->head == buf->refs; }

// Builds the index when the buffer is long enough; false when it stays unindexed
// (short, or out of memory).
bool index_ready(buffer* buf) {
    if (index_valid(buf)) return true;
    buf->index.reset();
    size_t n = 0;
    for (const RefNode* p = buf->refs; p && n <= kIndexFrom; p = p->next) ++n;
    if (n <= kIndexFrom) return false;
    try {
        auto index = std::make_unique<BufferIndex>();
        for (RefNode* p = buf->refs; p; p = p->next) {
            if (p->ref)
                index->where.emplace(p->ref, p);
            else
                index->cleared.push_back(p);
        }
        index->head = buf->refs;
        buf->index = std::move(index);
        return true;
    } catch (...) {
        buf->index.reset();
        return false;
    }
}

int add_indexed(buffer* buf, ZOBJ* obj) {
    BufferIndex& ix = *buf->index;
    auto it = ix.where.find(obj);
    if (it != ix.where.end()) {
        if (it->second->ref == obj) return 0;
        ix.where.erase(it);  // cleared elsewhere since
    }
    RefNode* node = nullptr;
    while (!ix.cleared.empty() && !node) {
        RefNode* c = ix.cleared.back();
        ix.cleared.pop_back();
        if (!c->ref) node = c;
    }
    try {
        if (node) {
            ix.where.emplace(obj, node);
            *node = RefNode{obj, node->next};
            note_holder(buf, obj);
            return 0;
        }
        auto* n = new (std::nothrow) RefNode{obj, buf->refs};
        if (!n) return kOutOfMemory;
        try {
            ix.where.emplace(obj, n);
        } catch (...) {
            delete n;
            throw;
        }
        buf->refs = n;
        ix.head = n;
        note_holder(buf, obj);
        return 0;
    } catch (...) {
        // No memory for the index: it is dropped and the list keeps working.
        buf->index.reset();
        return kOutOfMemory;
    }
}

}  // namespace

buffer::buffer() { set_klass(&rtc_class); }

buffer::~buffer() {
    buffer_clear(this);
    if (in_ring) {
        holders().live.erase(this);
        ring_remove(&g_buffer_ring, this);
    }
}

buffer* buffer_create() {
    std::unique_ptr<RTC> b;
    if (rtc_init(b, &buffer::rtc_class) != 0) return nullptr;
    return static_cast<buffer*>(b.release());
}

buffer* buffer_new() {
    buffer* b = buffer_create();
    if (!b) return nullptr;
    try {
        holders().live.insert(b);
    } catch (...) {
        buffer_free(&b);
        return nullptr;
    }
    ring_insert(&g_buffer_ring, b, false);
    b->in_ring = true;
    return b;
}

int buffer_add(buffer* buf, ZOBJ* obj) {
    if (!rtc_is<buffer>(buf)) return kWrongKind;
    if (!obj) return 0;
    if (!rtc_is<ZOBJ>(obj)) return kWrongKind;
    if (index_ready(buf)) return add_indexed(buf, obj);
    RefNode* free_node = nullptr;
    for (RefNode* n = buf->refs; n; n = n->next) {
        if (n->ref == obj) return 0;
        if (!n->ref && !free_node) free_node = n;
    }
    if (free_node) {
        *free_node = RefNode{obj, free_node->next};
        note_holder(buf, obj);
        return 0;
    }
    auto* n = new (std::nothrow) RefNode{obj, buf->refs};
    if (!n) return kOutOfMemory;
    buf->refs = n;
    note_holder(buf, obj);
    return 0;
}

buffer* buffer_copy(const buffer* buf) {
    if (!rtc_is<buffer>(buf)) return nullptr;
    buffer* copy = buffer_new();
    if (!copy) return nullptr;
    for (const RefNode* n = buf->refs; n; n = n->next) {
        if (!n->ref) continue;
        auto* node = new (std::nothrow) RefNode{n->ref, copy->refs};
        if (!node) {
            buffer_free(&copy);
            return nullptr;
        }
        copy->refs = node;
        note_holder(copy, node->ref);
    }
    return copy;
}

buffer* buffer_copy_unringed(const buffer* buf) {
    if (!rtc_is<buffer>(buf)) return nullptr;
    buffer* copy = buffer_create();
    if (!copy) return nullptr;
    RefNode** tail = &copy->refs;
    for (const RefNode* n = buf->refs; n; n = n->next) {
        if (!n->ref) continue;
        auto* node = new (std::nothrow) RefNode{n->ref, nullptr};
        if (!node) {
            buffer_free(&copy);
            return nullptr;
        }
        *tail = node;
        tail = &node->next;
    }
    return copy;
}

void buffer_swap_refs(buffer* a, buffer* b) {
    if (!a || !b || a == b) return;
    drop_all(a);
    drop_all(b);
    std::swap(a->refs, b->refs);
    std::swap(a->index, b->index);
    note_all(a);
    note_all(b);
}

void buffer_drop_ref(buffer* buf, RefNode* node) {
    if (!buf || !node || !node->ref) return;
    drop_holder(buf, node->ref);
    node->ref = nullptr;
}

void buffer_clear(buffer* buf) {
    if (!buf) return;
    drop_all(buf);
    buf->index.reset();
    while (buf->refs) {
        RefNode* n = buf->refs;
        buf->refs = n->next;
        delete n;
    }
}

void buffer_delete_objects(buffer* buf) {
    delete_objects(buf);
}

void buffer_delete_objects_unlinked(buffer* buf) {
    delete_objects(buf);
}

void buffer_free(buffer** buf) {
    if (!buf || !*buf) return;
    rtc_destroy(*buf);
    *buf = nullptr;
}

int buffer_has_objects(const buffer* buf) {
    if (!buf) return 0;
    for (const RefNode* n = buf->refs; n; n = n->next) {
        if (n->ref) return 1;
    }
    return 0;
}

namespace {
uint64_t g_purges = 0;
}  // namespace

uint64_t buffer_purge_count() { return g_purges; }

namespace {

// Clears the references of one buffer to `obj`.
void purge_from(buffer* buf, const ZOBJ* obj) {
    ++g_purge_visits;
    // A long buffer whose list was changed elsewhere (exchanged, reversed) gets its
    // index again here, once, rather than being scanned on every removal.
    if (index_valid(buf) || index_ready(buf)) {
        BufferIndex& ix = *buf->index;
        auto it = ix.where.find(obj);
        if (it != ix.where.end()) {
            if (it->second->ref == obj) {
                it->second->ref = nullptr;
                try {
                    ix.cleared.push_back(it->second);
                } catch (...) {
                }
            }
            ix.where.erase(it);
        }
    } else {
        for (RefNode* n = buf->refs; n; n = n->next) {
            if (n->ref == obj) n->ref = nullptr;
        }
    }
}

}  // namespace

uint64_t buffer_purge_visits() { return g_purge_visits; }

void buffer_purge_object(const ZOBJ* obj) {
    if (obj) ++g_purges;
    if (!obj || !g_buffer_ring) return;
    Holders& h = holders();
    if (h.whole) {
        auto [b, e] = h.by_object.equal_range(obj);
        if (b == e) return;
        for (auto it = b; it != e; ++it) {
            if (h.live.count(it->second)) purge_from(it->second, obj);
        }
        h.by_object.erase(b, e);
        return;
    }
    ZDLIST* b = g_buffer_ring;
    do {
        purge_from(static_cast<buffer*>(b), obj);
        b = b->next;
    } while (b != g_buffer_ring);
}

void buffer_set_color(buffer* buf, int32_t colour) {
    if (!rtc_is<buffer>(buf)) return;
    // Complementing is not idempotent: an object below a referenced group is reached
    // through the group only. Ancestors are always groups, so only they are listed.
    std::vector<const ZOBJ*> groups;
    if (colour == -1) {
        try {
            for (const RefNode* n = buf->refs; n; n = n->next) {
                auto* c = rtc_cast<CONTAINER>(n->ref);
                if (c && c->children) groups.push_back(c);
            }
            std::sort(groups.begin(), groups.end());
        } catch (const std::bad_alloc&) {
            groups.clear();
        }
    }
    for (RefNode* n = buf->refs; n; n = n->next) {
        auto* obj = rtc_cast<object>(n->ref);
        if (!obj) continue;
        if (!groups.empty() && has_ancestor_in(obj, groups)) continue;
        colour_tree(obj, colour);
    }
}

void buffer_invert_color(buffer* buf) {
    buffer_set_color(buf, -1);
}

void buffer_get_bbox(const buffer* buf, BBox* box) {
    if (!box) return;
    *box = kEmptyBBox;
    if (!rtc_is<buffer>(buf)) return;
    for (const RefNode* n = buf->refs; n; n = n->next) {
        if (auto* obj = rtc_cast<object>(n->ref)) bbox_union(obj->box, box);
    }
}

int buffer_insert_into(buffer* buf, CONTAINER* container) {
    if (!rtc_is<buffer>(buf) || !rtc_is<CONTAINER>(container)) return kBadArgument;
    for (RefNode* n = buf->refs; n; n = n->next) {
        // One that holds the container stays where it is.
        if (n->ref) (void)container_insert(container, n->ref);
    }
    return 0;
}

int container_insert_buffer(CONTAINER* container, buffer* buf) {
    if (!rtc_is<CONTAINER>(container)) return kBadArgument;
    if (!rtc_is<buffer>(buf)) return 0;
    // Emptied groups, destroyed at the end: first the history of each drawing is told
    // in one pass that their held members now belong in the target, so that the
    // groups' own destruction finds nothing of theirs left to forget.
    std::vector<std::pair<MODEL*, ZOBJ*>> emptied;
    drop_all(buf);
    buf->index.reset();
    while (buf->refs) {
        RefNode* n = buf->refs;
        buf->refs = n->next;
        ZOBJ* ref = n->ref;
        delete n;
        auto* obj = rtc_cast<object>(ref);
        if (!obj) continue;
        if (obj->klass() != &CONTAINER::rtc_class) {
            (void)container_insert(container, obj);  // one that holds `container` stays
            buffer_purge_object(obj);
            continue;
        }
        auto* group = static_cast<CONTAINER*>(obj);
        // Dissolving a group that holds the target would destroy the target with it.
        if (holds(group, container)) continue;
        MODEL* model = obj_model(group);
        if (!move_children(group, container)) continue;
        if (!model || !model_has_history(model)) {
            rtc_destroy(group);
            continue;
        }
        try {
            emptied.emplace_back(model, group);
        } catch (const std::bad_alloc&) {
            const ZOBJ* g = group;
            undo_redirect_container(model, &g, 1, container);
            rtc_destroy(group);
        }
    }
    for (size_t i = 0; i < emptied.size(); ++i) {
        MODEL* model = emptied[i].first;
        if (!model) continue;  // told already with an earlier group of its drawing
        std::vector<const ZOBJ*> groups;
        try {
            for (const auto& [m, g] : emptied) {
                if (m == model) groups.push_back(g);
            }
        } catch (const std::bad_alloc&) {
            groups.clear();
        }
        if (!groups.empty()) {
            undo_redirect_container(model, groups.data(), groups.size(), container);
        } else {
            for (const auto& [m, g] : emptied) {  // one group at a time then
                const ZOBJ* one = g;
                if (m == model) undo_redirect_container(model, &one, 1, container);
            }
        }
        for (auto& e : emptied) {
            if (e.first == model) e.first = nullptr;
        }
    }
    for (const auto& e : emptied) rtc_destroy(e.second);
    return 0;
}

int buffer_set_material(buffer* buf, const MaterialRecord* material, int32_t mask) {
    if (!rtc_is<buffer>(buf) || !material) return kBadArgument;
    for (RefNode* n = buf->refs; n; n = n->next) {
        ZOBJ* obj = n->ref;
        if (!obj) continue;
        int r = 0;
        if (auto* c = rtc_cast<CONTAINER>(obj)) {
            if (!c->children) continue;
            ZDLIST* ch = c->children;
            do {
                r = apply_material(material_of(static_cast<ZOBJ*>(ch)), material, mask);
                ch = ch->next;
            } while (r == 0 && ch != c->children);
        } else if (MaterialRecord* m = material_of(obj)) {
            r = apply_material(m, material, mask);
        } else if (auto* light = rtc_cast<LIGHT>(obj)) {
            if (mask & kMatApplyColour)
                std::copy(material->colour, material->colour + 4, light->light_colour);
        }
        if (r != 0) return r;
    }
    return 0;
}
