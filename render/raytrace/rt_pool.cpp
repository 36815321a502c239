// Per-frame arena, size-class pools and hit lists of the ray tracer.
#include "render/raytrace/rt_pool.h"

#include <cstdlib>
#include <cstring>

#include "render/raytrace/rt_error.h"

namespace {
constexpr uint32_t kPoolCapacity = 16;
constexpr size_t kAlign = alignof(std::max_align_t);
size_t round_up(size_t n) { return (n + kAlign - 1) / kAlign * kAlign; }
}  // namespace

struct RtArena::Chain {
    Chain* next;
};

struct RtArena::PoolBlock {
    PoolBlock* next;
    size_t element_size;
    uint32_t capacity;
    uint32_t used;
    unsigned char* data;
};

void* RtArena::alloc(size_t size) {
    size_t head = round_up(sizeof(Chain));
    auto* c = static_cast<Chain*>(std::malloc(head + (size ? size : 1)));
    if (!c) rt_error_memory("Allocate");
    c->next = chain_;
    chain_ = c;
    return reinterpret_cast<unsigned char*>(c) + head;
}

void* RtArena::pool_alloc(size_t size) {
    size = round_up(size ? size : 1);
    int k = 0;
    int empty = -1;  // a class head left empty by a failed block allocation
    for (; k < class_count_; ++k) {
        if (!classes_[k]) {
            if (empty < 0) empty = k;
        } else if (classes_[k]->element_size == size) {
            break;
        }
    }
    if (k == class_count_ && empty >= 0) {
        k = empty;
    } else if (k == class_count_) {
        auto* grown = static_cast<PoolBlock**>(std::realloc(classes_, sizeof(PoolBlock*) * (class_count_ + 1)));
        if (!grown) rt_error_memory("heap");
        classes_ = grown;
        classes_[class_count_] = nullptr;
        ++class_count_;
    }
    PoolBlock* b = classes_[k];
    if (!b || b->used == b->capacity) {
        auto* nb = static_cast<PoolBlock*>(std::malloc(sizeof(PoolBlock)));
        if (!nb) rt_error_memory("heap element");
        nb->data = static_cast<unsigned char*>(std::malloc(size * kPoolCapacity));
        if (!nb->data) {
            std::free(nb);
            rt_error_memory("heap fragment");
        }
        nb->next = b;
        nb->element_size = size;
        nb->capacity = kPoolCapacity;
        nb->used = 0;
        classes_[k] = nb;
        b = nb;
    }
    return b->data + size * b->used++;
}

RtHitList* RtArena::hit_list_get() {
    if (!free_lists_) {
        RtHitList* l = make<RtHitList>();
        l->hits = static_cast<RtHit*>(alloc(sizeof(RtHit) * hit_capacity_));
        l->capacity = hit_capacity_;
        l->next = nullptr;
        free_lists_ = l;
    }
    RtHitList* l = free_lists_;
    free_lists_ = l->next;
    l->next = nullptr;
    l->count = 0;
    return l;
}

void RtArena::hit_list_put(RtHitList* list) {
    if (!list) return;
    list->next = free_lists_;
    free_lists_ = list;
}

RtHit* RtArena::hit_list_slot(RtHitList* list) {
    if (list->count == list->capacity) {
        uint32_t cap = list->capacity * 2;
        auto* hits = static_cast<RtHit*>(alloc(sizeof(RtHit) * cap));
        std::memcpy(hits, list->hits, sizeof(RtHit) * list->count);
        list->hits = hits;
        list->capacity = cap;
    }
    return &list->hits[list->count];
}

bool RtArena::hit_list_pop(RtHitList* list, RtHit* out) {
    if (list->count == 0) return false;
    *out = list->hits[--list->count];
    return true;
}

void RtArena::free_all() {
    while (chain_) {
        Chain* n = chain_->next;
        std::free(chain_);
        chain_ = n;
    }
    for (int k = 0; k < class_count_; ++k) {
        PoolBlock* b = classes_[k];
        while (b) {
            PoolBlock* n = b->next;
            std::free(b->data);
            std::free(b);
            b = n;
        }
    }
    std::free(classes_);
    classes_ = nullptr;
    class_count_ = 0;
    free_lists_ = nullptr;
}

int RtArena::pool_blocks(size_t size) const {
    size = round_up(size ? size : 1);
    for (int k = 0; k < class_count_; ++k) {
        if (classes_[k] && classes_[k]->element_size == size) {
            int n = 0;
            for (PoolBlock* b = classes_[k]; b; b = b->next) ++n;
            return n;
        }
    }
    return 0;
}
