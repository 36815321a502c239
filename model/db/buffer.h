// Buffers: sets of references to drawing objects (selections, pick results, the
// halves of undo levels). Buffers made with buffer_new sit in one global ring and
// lose a reference when its object dies; buffers made with buffer_create (undo
// levels) are kept outside that ring.
#pragma once

#include "model/db/zobj.h"

struct RefNode {
    ZOBJ* ref;  // null once the object has died
    RefNode* next;
};

class buffer : public ZDLIST {
public:
    static RtcClass rtc_class;
    buffer() { set_klass(&rtc_class); }
    ~buffer() override;

    RefNode* refs = nullptr;  // owned nodes
    bool in_ring = false;
};

// A buffer outside the global ring; null when out of memory.
buffer* buffer_create();
// A buffer in the global ring; null when out of memory.
buffer* buffer_new();
// 6 when `buf` is not a buffer or `obj` not a ZOBJ; 0 for a null object or one
// already referenced; 8 when out of memory.
int buffer_add(buffer* buf, ZOBJ* obj);
// Frees the nodes, keeps the objects.
void buffer_clear(buffer* buf);
// Clears, takes out of the ring, frees, nulls the caller's pointer.
void buffer_free(buffer** buf);
// 1 when at least one reference is live.
int buffer_has_objects(const buffer* buf);
// Clears every reference to `obj` in every buffer of the global ring.
void buffer_purge_object(const ZOBJ* obj);

// Frees every undo level of the model with the deleted objects they hold.
void model_free_undo(MODEL* model);
