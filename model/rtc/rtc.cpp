// Class set-up, making, copying and destroying objects of the object system.
#include "model/rtc/rtc.h"

#include <cstring>
#include <mutex>

#include "model/math/result.h"

namespace {
std::mutex g_setup_mutex;
std::atomic<bool> g_started{false};
}  // namespace

// The root: depth 0 from the start, its ancestor table holds itself, and its `next`
// heads the list of set-up classes.
RtcClass RTC::rtc_class = {{0},
                           static_cast<int>(sizeof(RTC)),
                           "RTC",
                           nullptr,
                           {&RTC::rtc_class},
                           &rtc_factory<RTC>,
                           nullptr,
                           nullptr,
                           nullptr,
                           false,
                           false,
                           nullptr,
                           nullptr,
                           nullptr};

static void setup_locked(RtcClass* cls) {
    if (cls->depth.load(std::memory_order_relaxed) >= 0) return;
    RtcClass* base = cls->base;
    if (base) setup_locked(base);
    const int depth = -cls->depth.load(std::memory_order_relaxed);
    if (base) {
        const int bd = base->depth.load(std::memory_order_relaxed);
        for (int i = 0; i <= bd && i <= kRtcMaxDepth; ++i) cls->ancestors[i] = base->ancestors[i];
    }
    cls->ancestors[depth] = cls;
    cls->next = RTC::rtc_class.next;
    RTC::rtc_class.next = cls;
    // Publish last: a reader that sees the positive depth sees the whole table.
    cls->depth.store(depth, std::memory_order_release);
}

void rtc_class_setup(RtcClass* cls) {
    if (!cls || cls->depth.load(std::memory_order_acquire) >= 0) return;
    std::lock_guard<std::mutex> lock(g_setup_mutex);
    setup_locked(cls);
}

void RTC::set_klass_setup(RtcClass* k) {
    rtc_class_setup(k);
    klass_ = k;
}

int rtc_init(std::unique_ptr<RTC>& out, RtcClass* cls) {
    out.reset();
    if (!cls) return kBadArgument;
    rtc_class_setup(cls);
    std::unique_ptr<RTC> obj(cls->factory());
    if (!obj) return kOutOfMemory;
    const int depth = cls->depth.load(std::memory_order_acquire);
    for (int i = 0; i <= depth; ++i) {
        const RtcClass* level = cls->ancestors[i];
        if (level->init) {
            const int r = level->init(obj.get());
            if (r != 0) return r;  // the unique_ptr unmakes every level
        }
    }
    out = std::move(obj);
    return 0;
}

void rtc_destroy(RTC* obj) {
    delete obj;
}

RtcClass* rtc_find_class(const char* name) {
    if (!name) return nullptr;
    std::lock_guard<std::mutex> lock(g_setup_mutex);
    for (RtcClass* c = &RTC::rtc_class; c; c = c->next) {
        if (std::strcmp(c->name, name) == 0) return c;
    }
    return nullptr;
}

int rtc_copy_base(const RTC* src, RTC* dst, const RtcClass* cls) {
    const RtcClass* k = src->klass();
    for (int level = cls->depth.load(std::memory_order_acquire) - 1; level >= 2; --level) {
        const RtcClass* anc = k->ancestors[level];
        if (anc->copy) return anc->copy(src, dst);
    }
    return 0;
}

int rtc_copy(const RTC* src, RTC* dst) {
    if (!src || !dst || !src->klass()->copy) return kBadArgument;
    return src->klass()->copy(src, dst);
}

int rtc_clone(std::unique_ptr<RTC>* out, const RTC* src) {
    if (!out) return kBadArgument;
    out->reset();
    if (!src) return 0;
    RtcClass* cls = const_cast<RtcClass*>(src->klass());
    if (!cls->copy) return kBadArgument;
    std::unique_ptr<RTC> made;
    if (rtc_init(made, cls) != 0) return kOutOfMemory;
    const int r = cls->copy(src, made.get());
    if (r != 0) return r;
    *out = std::move(made);
    return 0;
}

void rtc_copy_body(RTC* dst, RTC* src) {
    if (!dst || !src || dst == src) return;
    const RtcClass* a = dst->klass();
    const RtcClass* b = src->klass();
    const int da = a->depth.load(std::memory_order_acquire);
    const int db = b->depth.load(std::memory_order_acquire);
    for (int i = 1; i <= da && i <= db; ++i) {
        if (a->ancestors[i] != b->ancestors[i]) break;
        if (a->ancestors[i]->move_fields) a->ancestors[i]->move_fields(dst, src);
    }
}

std::atomic<long>& RTC::live_count() {
    static std::atomic<long> count{0};
    return count;
}

long rtc_live_objects() {
    return RTC::live_count().load(std::memory_order_relaxed);
}

void rtc_startup(int, int) {
    bool expected = false;
    g_started.compare_exchange_strong(expected, true);
}

bool rtc_started() {
    return g_started.load();
}
