// Buffers of object references and the global ring of selection buffers.
#include "model/db/buffer.h"

#include <mutex>

#include "model/db/tree.h"

RTC_CLASS_RECORD(buffer, "buffer", &ZDLIST::rtc_class, 2, nullptr, nullptr, nullptr, false,
                 false);

namespace {
ZDLIST* g_buffer_ring = nullptr;
}

buffer::~buffer() {
    buffer_clear(this);
    if (in_ring) ring_remove(&g_buffer_ring, this);
}

buffer* buffer_create() {
    std::unique_ptr<RTC> b;
    if (rtc_init(b, &buffer::rtc_class) != 0) return nullptr;
    return static_cast<buffer*>(b.release());
}

buffer* buffer_new() {
    buffer* b = buffer_create();
    if (!b) return nullptr;
    ring_insert(&g_buffer_ring, b, false);
    b->in_ring = true;
    return b;
}

int buffer_add(buffer* buf, ZOBJ* obj) {
    if (!rtc_is<buffer>(buf)) return 6;
    if (!obj) return 0;
    if (!rtc_is<ZOBJ>(obj)) return 6;
    RefNode* free_node = nullptr;
    for (RefNode* n = buf->refs; n; n = n->next) {
        if (n->ref == obj) return 0;
        if (!n->ref && !free_node) free_node = n;
    }
    if (free_node) {
        free_node->ref = obj;
        return 0;
    }
    auto* n = new (std::nothrow) RefNode{obj, buf->refs};
    if (!n) return 8;
    buf->refs = n;
    return 0;
}

void buffer_clear(buffer* buf) {
    if (!buf) return;
    while (buf->refs) {
        RefNode* n = buf->refs;
        buf->refs = n->next;
        delete n;
    }
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

void buffer_purge_object(const ZOBJ* obj) {
    if (!obj || !g_buffer_ring) return;
    ZDLIST* b = g_buffer_ring;
    do {
        for (RefNode* n = static_cast<buffer*>(b)->refs; n; n = n->next) {
            if (n->ref == obj) n->ref = nullptr;
        }
        b = b->next;
    } while (b != g_buffer_ring);
}

// Deleted objects held by an undo level are out of their containers but keep a
// parent link; clear it so their destruction does not touch the drawing.
static void free_undo_ring(ZDLIST** ring, bool owns_objects) {
    while (*ring) {
        auto* b = static_cast<buffer*>(*ring);
        ring_remove(ring, b);
        if (owns_objects) {
            for (RefNode* n = b->refs; n; n = n->next) {
                if (!n->ref) continue;
                ZOBJ* o = n->ref;
                n->ref = nullptr;
                if (!o->next) o->parent = nullptr;  // not in any ring: held by the level only
                if (!o->parent) rtc_destroy(o);
            }
        }
        rtc_destroy(b);
    }
}

void model_free_undo(MODEL* model) {
    if (!model) return;
    free_undo_ring(&model->added, false);
    free_undo_ring(&model->deleted, true);
    model->undo_levels = 0;
}
