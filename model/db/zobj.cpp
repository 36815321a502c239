// Ring members, named things, drawable objects, containers, layers and the MODEL.
#include "model/db/zobj.h"

#include <new>
#include <utility>
#include <vector>

#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/glimpse_notify.h"
#include "model/db/iter.h"
#include "model/db/patt.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/font/strokefont.h"
#include "model/math/check.h"
#include "model/math/result.h"

RTC_CLASS_RECORD(ZDLIST, "ZDLIST", &RTC::rtc_class, 1, nullptr, nullptr, nullptr, false, false);
RTC_CLASS_RECORD(ZSVIEW, "ZSVIEW", &ZDLIST::rtc_class, 2, nullptr, nullptr, nullptr, false, false);
RTC_CLASS_RECORD(ZOBJ, "ZOBJ", &ZDLIST::rtc_class, 2, nullptr, &rtc_copy_slot<ZOBJ>,
                 &rtc_move_slot<ZOBJ>, true, true);
RTC_CLASS_RECORD(object, "object", &ZOBJ::rtc_class, 3, nullptr, &rtc_copy_slot<object>,
                 &rtc_move_slot<object>, true, true);
RTC_CLASS_RECORD(CONTAINER, "CONTAINER", &object::rtc_class, 4, nullptr, &rtc_copy_slot<CONTAINER>,
                 &rtc_move_slot<CONTAINER>, true, true);
RTC_CLASS_RECORD(LAYER, "LAYER", &CONTAINER::rtc_class, 5, nullptr, &rtc_copy_slot<CONTAINER>,
                 nullptr, true, true);
RTC_CLASS_RECORD(MODEL, "MODEL", &CONTAINER::rtc_class, 5, &MODEL::init_level,
                 &rtc_copy_slot<MODEL>, nullptr, true, true);

ModelModifiedHook g_model_modified_hook = nullptr;

// ---- ZSVIEW

ZSVIEW::~ZSVIEW() {
    model_detach_view(this);
}

int ZSVIEW::view_slot(const BBox*, int) {
    return 0;
}

void model_attach_view(MODEL* model, ZSVIEW* view) {
    if (!view) return;
    model_detach_view(view);
    if (!model) return;
    ring_insert(&model->views, view, false);
    view->model = model;
}

void model_detach_view(ZSVIEW* view) {
    if (!view || !view->model) return;
    ring_remove(&view->model->views, view);
    view->model = nullptr;
}

void model_notify_views(MODEL* model, const BBox* box, int flags) {
    if (!model || !model->views) return;
    ZDLIST* v = model->views;
    do {
        ZDLIST* next = v->next;
        auto* view = static_cast<ZSVIEW*>(v);
        if (view->has_view_slot()) view->view_slot(box, flags);
        v = next;
    } while (model->views && v != model->views);
}

// ---- ZOBJ

ZOBJ::~ZOBJ() {
    // Containers did this already; the object's own key redirect ran with its tracks.
    if (!rtc_is<CONTAINER>(this)) undo_object_dying(this, false);
    obj_remove(this);
    buffer_purge_object(this);
}

int ZOBJ::set_string(int index, const char* text) {
    if (index < 0 || index > 2) return kBadArgument;
    try {
        std::string value(text ? text : "");
        strings[index].swap(value);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return 0;
}

int ZOBJ::replace_ref(RTC*, RTC*) {
    return 0;
}

int ZOBJ::copy_level(const ZOBJ& src) {
    if (rtc_copy_base(&src, this, &ZOBJ::rtc_class) != 0) return kOutOfMemory;
    try {
        for (int i = 0; i < 3; ++i) strings[i] = src.strings[i];
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return 0;
}

void ZOBJ::move_level(ZOBJ& src) {
    file_id = src.file_id;
    for (int i = 0; i < 3; ++i) strings[i].swap(src.strings[i]);
}

std::unique_ptr<RTC> rtc_new(const char* name, RtcClass* cls) {
    std::unique_ptr<RTC> obj;
    if (rtc_init(obj, cls) != 0) return nullptr;
    if (auto* z = rtc_cast<ZOBJ>(obj.get())) {
        if (z->set_string(0, name) != 0) return nullptr;
    }
    return obj;
}

// ---- object

object::~object() {
    track_list_free(this);
}

void object::own_box() {
    CLIPITER clip;
    clip.flags = kIterPointsOnly;
    walk(&clip);
    set_walked_box(clip.box);
}

void object::set_walked_box(const BBox& walked) {
    box = walked;
    tree_box_changed(this);
    if (bbox_is_empty(box) || width == 0.0f) return;
    const float h = width * 0.5f;
    box.min.x -= h;
    box.min.y -= h;
    box.min.z -= h;
    box.max.x += h;
    box.max.y += h;
    box.max.z += h;
}

int object::walk(ZITER* it) {
    int status = it->visit(this, 1, 0);
    if (status == 0) status = report(it);
    return it->visit(this, 0, status);
}

int object::report(ZITER*) {
    return 0;
}

int object::copy_level(const object& src) {
    if (rtc_copy_base(&src, this, &object::rtc_class) != 0) return kOutOfMemory;
    if (track_list_copy(&src, this) != 0) return kOutOfMemory;
    box = src.box;
    tree_box_changed(this);
    width = src.width;
    colour = src.colour;
    return 0;
}

void object::move_level(object& src) {
    track_list_free(this);
    tracks = src.tracks;
    src.tracks = nullptr;
    for (KeyframeTrack* t = tracks; t; t = t->next_track) t->owner = this;
    box = src.box;
    tree_box_changed(this);
    width = src.width;
    colour = src.colour;
}

// ---- CONTAINER

// Takes every child out of the ring without touching the model, then destroys it.
// Deepest first and without recursion, in the order destroying each child in turn
// would take: a child container is taken out of its ring, emptied the same way, then
// destroyed. `open` holds the containers being emptied (any nesting depth).
static void destroy_children(CONTAINER* c) {
    std::vector<CONTAINER*> open;
    CONTAINER* p = c;
    while (p) {
        if (!p->children) {
            if (p == c) break;
            CONTAINER* emptied = p;
            open.pop_back();
            p = open.empty() ? c : open.back();
            rtc_destroy(emptied);
            continue;
        }
        ZDLIST* child = p->children;
        ZELO_CHECK(static_cast<ZOBJ*>(child)->parent == p,
                   "child %p of container %p names parent %p", static_cast<void*>(child),
                   static_cast<void*>(p), static_cast<void*>(static_cast<ZOBJ*>(child)->parent));
        ring_remove(&p->children, child);
        static_cast<ZOBJ*>(child)->parent = nullptr;
        auto* group = rtc_cast<CONTAINER>(child);
        if (group && group->children) {
            try {
                open.push_back(group);
                p = group;
                continue;
            } catch (const std::bad_alloc&) {
                // No memory to go on without recursion: destroy it the plain way.
            }
        }
        rtc_destroy(child);
    }
}

CONTAINER::~CONTAINER() {
    undo_object_dying(this, true);
    destroy_children(this);
    // Whatever is built on its ring goes with it (another container may come to
    // live at the same place).
    tree_changed(TreeChangeKind::reset, this, &children);
}

// The walks below go through any nesting depth without recursion: containers have
// no state of their own here, so a pre-order walk (tree_next) visits what recursion
// over the children would, in the same order.
int CONTAINER::replace_ref(RTC* old_ref, RTC* new_ref) {
    int result = 0;
    for (ZOBJ* z = tree_next(this, this); z; z = tree_next(z, this)) {
        if (rtc_is<CONTAINER>(z)) continue;  // a group refers only through its children
        result |= z->replace_ref(old_ref, new_ref);
        if (result && old_ref == new_ref) return 1;
    }
    return result;
}

void CONTAINER::own_box() {
    tree_box_changed(this);
    // Leaves first (pre-order), then every container from the deepest up, each from its
    // children's boxes: the boxes recursion would give, in one pass.
    std::vector<CONTAINER*> groups;
    groups.push_back(this);
    for (ZOBJ* z = tree_next(this, this); z; z = tree_next(z, this)) {
        auto* o = rtc_cast<object>(z);
        if (!o) continue;
        if (auto* g = rtc_cast<CONTAINER>(o))
            groups.push_back(g);
        else
            o->own_box();
    }
    for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
        CONTAINER* g = *it;
        g->box = kEmptyBBox;
        if (!g->children) continue;
        ZDLIST* c = g->children;
        do {
            if (auto* o = rtc_cast<object>(c)) bbox_union(o->box, &g->box);
            c = c->next;
        } while (c != g->children);
    }
}

// The walk of the children, a frame per open container instead of a call. Each child
// is walked as object::walk does: entering visit, its report (a container's children),
// leaving visit with the report's status; a status above 0 ends the container's report
// with it, else the report gives the last child's status (0 with no children).
int CONTAINER::report(ZITER* it) {
    struct Frame {
        CONTAINER* group;
        ZDLIST* at;    // the child being walked
        ZDLIST* next;  // taken before its walk: the walk may unlink it
        int status;
    };
    if (!children) return 0;
    std::vector<Frame> frames;
    frames.push_back({this, children, nullptr, 0});
    bool returning = false;  // a child container's report just ended with `result`
    int result = 0;
    while (true) {
        Frame& f = frames.back();
        int status;
        if (returning) {
            returning = false;
            status = it->visit(static_cast<object*>(static_cast<ZOBJ*>(f.at)), 0, result);
        } else {
            f.next = f.at->next;
            auto* o = rtc_cast<object>(f.at);
            if (!o) {
                status = f.status;  // not walked: the status stays
            } else {
                status = it->visit(o, 1, 0);
                if (status == 0) {
                    auto* g = rtc_cast<CONTAINER>(o);
                    if (g && g->children) {
                        frames.push_back({g, g->children, nullptr, 0});
                        continue;
                    }
                    status = g ? 0 : o->report(it);
                }
                status = it->visit(o, 0, status);
            }
        }
        f.status = status;
        const bool ended = status > 0 || !f.group->children || f.next == f.group->children;
        if (!ended) {
            f.at = f.next;
            continue;
        }
        result = f.status;
        frames.pop_back();
        if (frames.empty()) return result;
        returning = true;
    }
}

namespace {

// The copies of one outermost container copy still waiting for their children: a
// container copied inside it only queues itself, so nesting costs no recursion.
thread_local std::vector<std::pair<const CONTAINER*, CONTAINER*>>* g_pending_copies = nullptr;

int copy_children(const CONTAINER& src, CONTAINER* dst) {
    if (!src.children) return 0;
    const ZDLIST* c = src.children;
    do {
        std::unique_ptr<RTC> dup;
        RtcClass* cls = const_cast<RtcClass*>(c->klass());
        if (rtc_init(dup, cls) != 0) return kOutOfMemory;
        if (rtc_copy(c, dup.get()) != 0) return kOutOfMemory;
        if (container_insert(dst, static_cast<ZOBJ*>(dup.get())) != 0) return kOutOfMemory;
        dup.release();  // now owned by this container
        c = c->next;
    } while (c != src.children);
    return 0;
}

}  // namespace

int CONTAINER::copy_level(const CONTAINER& src) {
    if (rtc_copy_base(&src, this, &CONTAINER::rtc_class) != 0) return kOutOfMemory;
    try {
        if (g_pending_copies) {
            g_pending_copies->emplace_back(&src, this);
            return 0;
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    std::vector<std::pair<const CONTAINER*, CONTAINER*>> pending;
    struct Current {
        explicit Current(std::vector<std::pair<const CONTAINER*, CONTAINER*>>* p) {
            g_pending_copies = p;
        }
        ~Current() { g_pending_copies = nullptr; }
    } current(&pending);
    int r = 0;
    try {
        pending.emplace_back(&src, this);
        while (r == 0 && !pending.empty()) {
            const auto [from, to] = pending.back();
            pending.pop_back();
            r = copy_children(*from, to);
        }
    } catch (const std::bad_alloc&) {
        r = kOutOfMemory;
    }
    return r;
}

void CONTAINER::move_level(CONTAINER& src) {
    destroy_children(this);
    children = src.children;
    src.children = nullptr;
    carry_cameras_up(this, src.cameras - cameras);
    src.cameras = 0;
    tree_changed(TreeChangeKind::reset, this, &children);
    if (!children) return;
    ZDLIST* c = children;
    do {
        static_cast<ZOBJ*>(c)->parent = this;
        c = c->next;
    } while (c != children);
}

// ---- MODEL

MODEL::~MODEL() {
    glimpse_unsubscribe_model(this);
    model_free_undo(this);
    destroy_children(this);
    // The objects are gone, so nothing refers to the patterns any more.
    while (patterns) {
        auto* p = static_cast<PATT*>(patterns);
        patt_ring_unlink(this, p);
        p->parent = nullptr;
        rtc_destroy(p);
    }
    while (views) model_detach_view(static_cast<ZSVIEW*>(views));
}

int MODEL::init_level(RTC* obj) {
    auto* m = static_cast<MODEL*>(obj);
    m->current_frame = -1;

    auto layer = rtc_make<LAYER>();
    if (!layer || layer->set_string(0, "default") != 0) return kOutOfMemory;
    (void)container_insert(m, layer.release());  // a new layer into a new model goes in

    auto solid = rtc_make<LINEPATT>();
    if (!solid || solid->set_string(0, "Solid") != 0) return kOutOfMemory;
    model_insert_patt(m, solid.release());

    auto none = rtc_make<MATRPATT>();
    if (!none || none->set_string(0, "<NONE>") != 0) return kOutOfMemory;
    model_insert_patt(m, none.release());

    auto font = rtc_make<FONTPATT>();
    if (!font || font->set_string(0, "DEFAULT") != 0) return kOutOfMemory;
    font->font = font_copy(font_default());
    if (!font->font) return kOutOfMemory;
    model_insert_patt(m, font.release());
    m->modified = 0;
    return 0;
}

int MODEL::replace_ref(RTC* old_ref, RTC* new_ref) {
    int result = CONTAINER::replace_ref(old_ref, new_ref);
    if (result && old_ref == new_ref) return 1;
    if (patterns) {
        ZDLIST* p = patterns;
        do {
            result |= static_cast<ZOBJ*>(p)->replace_ref(old_ref, new_ref);
            if (result && old_ref == new_ref) return 1;
            p = p->next;
        } while (p != patterns);
    }
    model_views_replace_ref(this, old_ref, new_ref);
    return result;
}

void model_views_replace_ref(MODEL* model, RTC* old_ref, RTC* new_ref) {
    if (!model || !model->views || old_ref == new_ref) return;
    ZDLIST* v = model->views;
    do {
        if (rtc_is<ZSVIEW>(v)) static_cast<ZSVIEW*>(v)->replace_ref(old_ref, new_ref);
        v = v->next;
    } while (v != model->views);
}

void MODEL::set_modified(int flag) {
    modified = flag != 0;
    if (g_model_modified_hook) g_model_modified_hook(this, flag);
}

int MODEL::copy_level(const MODEL& src) {
    // The copy mirrors the source's layers: drop the fresh model's own "default"
    // layer first so it does not appear twice.
    if (src.children) destroy_children(this);
    if (rtc_copy_base(&src, this, &MODEL::rtc_class) != 0) return kOutOfMemory;
    if (!src.patterns) return 0;
    const ZDLIST* p = src.patterns;
    do {
        std::unique_ptr<RTC> dup;
        if (rtc_init(dup, const_cast<RtcClass*>(p->klass())) != 0) return kOutOfMemory;
        if (rtc_copy(p, dup.get()) != 0) return kOutOfMemory;
        // A style of the same class and name already held is not duplicated; the
        // refused copy is freed when `dup` goes out of scope.
        if (model_insert_patt(this, static_cast<PATT*>(dup.get()))) dup.release();
        p = p->next;
    } while (p != src.patterns);

    // The copied objects still refer to the source's styles: point them at the
    // copy's styles of the same class and name (or at nothing).
    p = src.patterns;
    do {
        auto* old_patt = static_cast<PATT*>(const_cast<ZDLIST*>(p));
        PATT* mine = model_find_patt(this, old_patt->name(), old_patt->klass());
        if (CONTAINER::replace_ref(old_patt, old_patt)) CONTAINER::replace_ref(old_patt, mine);
        p = p->next;
    } while (p != src.patterns);
    return 0;
}
