// The program's object system: single inheritance described by one class record
// (`RtcClass`) per class, a constant-time kind test through each record's ancestor
// table, a list of set-up classes for lookup by name (the drawing reader makes
// objects from the class names stored in files), and make/clone/copy operations
// that report the engine's result codes.
//
// Classes are C++ classes derived from `RTC`; their virtual methods stand for the
// method slots of the family. Every class keeps one static record `X::rtc_class`.
// Construction runs root first (constructors set defaults that cannot fail, then
// the records' init functions run root first and may fail); destruction runs most
// derived first (destructors). A class that could not finish its init is still
// destroyed through every level: each destructor copes with the defaults its
// constructor set.
//
// Result codes: 0 success, 8 out of memory, 13 bad argument; an init function's
// own code passes through unchanged.
#pragma once

#include <atomic>
#include <memory>

#include "model/math/bulk_alloc.h"

class RTC;
class IOstream;  // the serialisation stream (model/stream/iostream.h)

inline constexpr int kRtcMaxDepth = 7;

// A level's save or load method: (stream, object). Failures are raised through the
// stream; the result is passed back by rtc_save_base / rtc_load_base.
using RtcIoMethod = int (*)(IOstream* stream, RTC* obj);

struct RtcClass {
    // Number of ancestors above the class; stored negative (0 for the root) until
    // the class is set up. Written once under the set-up lock, read lock-free.
    std::atomic<int> depth;
    int instance_size;  // sizeof the C++ class
    const char* name;   // unique; the name stored in drawing files
    RtcClass* base;     // null for RTC
    // Entry i is the ancestor at depth i, entry `depth` the class itself. Filled by set-up.
    RtcClass* ancestors[kRtcMaxDepth + 1];
    // Allocates a default-constructed instance (class word set); null when out of memory.
    RTC* (*factory)();
    // This level's fallible set-up, run root first by rtc_init; null: nothing to do.
    int (*init)(RTC* obj);
    // This level's copy method (source, destination), or the base's when the class
    // does not override it; null for families without copy (plain, iterators, views).
    int (*copy)(const RTC* src, RTC* dst);
    // Moves this level's own fields from src to dst (rtc_copy_body); null: nothing.
    void (*move_fields)(RTC* dst, RTC* src);
    // Whether this level has a save and a load method of its own.
    bool has_save;
    bool has_load;
    // Link of the list of set-up classes, headed by RTC's record.
    RtcClass* next;
    // This level's save and load methods. The file module installs them at start-up
    // (io_set_class_methods, model/stream/iostream.h); a level's method runs only when
    // its flag above is set and the method is installed.
    RtcIoMethod save;
    RtcIoMethod load;
};

// Root of every object. The first member is the pointer to the class record.
class RTC {
  public:
    static RtcClass rtc_class;

    RTC() : klass_(&rtc_class) { live_count().fetch_add(1, std::memory_order_relaxed); }
    virtual ~RTC() { live_count().fetch_sub(1, std::memory_order_relaxed); }
    RTC(const RTC&) = delete;
    RTC& operator=(const RTC&) = delete;
    // Objects made while a bulk scope lives (a drawing being read) come from blocks.
    BULK_ALLOCATED(16)

    const RtcClass* klass() const { return klass_; }

  protected:
    // Each constructor stores its own record; the most derived one stays.
    void set_klass(const RtcClass* k) { klass_ = k; }
    // The same for classes whose objects may be made without rtc_init (on the stack):
    // sets the class up first when it is not yet.
    void set_klass_setup(RtcClass* k);

  private:
    static std::atomic<long>& live_count();
    friend long rtc_live_objects();
    const RtcClass* klass_;
};

// Number of objects alive in the process (made and not yet destroyed); tests use it
// to check that every object made is freed again.
long rtc_live_objects();

// Sets a class (and its bases) up when its depth is negative; nothing otherwise.
// Safe against concurrent callers.
void rtc_class_setup(RtcClass* cls);

// True when `obj` is not null and its class is `cls` or derives from it.
inline bool rtc_is_a(const RTC* obj, const RtcClass* cls) {
    if (!obj) return false;
    const int d = cls->depth.load(std::memory_order_acquire);
    if (d < 0) return false;  // no object can be of a class that was never set up
    const RtcClass* k = obj->klass();
    return k->depth.load(std::memory_order_relaxed) >= d && k->ancestors[d] == cls;
}

template <class T>
inline bool rtc_is(const RTC* obj) {
    return rtc_is_a(obj, &T::rtc_class);
}
template <class T>
inline T* rtc_cast(RTC* obj) {
    return rtc_is<T>(obj) ? static_cast<T*>(obj) : nullptr;
}
template <class T>
inline const T* rtc_cast(const RTC* obj) {
    return rtc_is<T>(obj) ? static_cast<const T*>(obj) : nullptr;
}

// Makes an object of `cls`: sets the class up, allocates, runs the init functions
// root first. Returns 0 with `out` owning the object, 8 when allocation fails, or
// the first failing level's code; on failure `out` is null and nothing is left.
[[nodiscard]] int rtc_init(std::unique_ptr<RTC>& out, RtcClass* cls);

// Typed convenience: the made object, or null on any failure.
template <class T>
std::unique_ptr<T> rtc_make() {
    std::unique_ptr<RTC> o;
    if (rtc_init(o, &T::rtc_class) != 0) return nullptr;
    return std::unique_ptr<T>(static_cast<T*>(o.release()));
}

// Destroys and frees an object (destroy methods most derived first). Null is accepted.
void rtc_destroy(RTC* obj);

// The set-up class named exactly `name` (case-sensitive), or null.
RtcClass* rtc_find_class(const char* name);

// Copies the levels above `cls` of `src` into `dst`: calls the copy method of the
// nearest ancestor above `cls` (down to depth 2) that has one; 0 when none.
[[nodiscard]] int rtc_copy_base(const RTC* src, RTC* dst, const RtcClass* cls);

// Calls the copy method of the source's class with (src, dst). 13 when the class has none.
[[nodiscard]] int rtc_copy(const RTC* src, RTC* dst);

// Makes an object of the source's class and copies the source into it.
// 13 for a null `out`; 0 with *out null for a null source; 8 when the object cannot be
// made; the copy method's code when the copy fails (nothing survives); 0 on success.
[[nodiscard]] int rtc_clone(std::unique_ptr<RTC>* out, const RTC* src);

// Makes an object of `cls` and sets its name through the set-string slot when the
// class has one. Null on any failure.
std::unique_ptr<RTC> rtc_new(const char* name, RtcClass* cls);

// Moves the fields of every level that both objects' classes share (from depth 1 to
// the deepest common ancestor) from `src` into `dst`; the levels below stay as they
// were. Used by the drawing reader when it rebuilds an object under another class.
void rtc_copy_body(RTC* dst, RTC* src);

// Start-up registration of the drawing classes in their fixed order.
void rtc_register_all();

// Sets the started flag the first time; the arguments are not used.
void rtc_startup(int a, int b);
bool rtc_started();

// Helpers that classes use to fill their records.
template <class T>
RTC* rtc_factory() {
    return new (std::nothrow) T();
}
template <class T>
int rtc_copy_slot(const RTC* src, RTC* dst) {
    return static_cast<T*>(dst)->T::copy_level(*static_cast<const T*>(src));
}
template <class T>
void rtc_move_slot(RTC* dst, RTC* src) {
    static_cast<T*>(dst)->T::move_level(*static_cast<T*>(src));
}

// Builds a class record in a constant initialiser.
#define RTC_CLASS_RECORD(T, NAME, BASE_RECORD, DEPTH, INIT, COPY, MOVE, SAVE, LOAD) \
    RtcClass T::rtc_class = {{-(DEPTH)}, static_cast<int>(sizeof(T)),               \
                             NAME,       BASE_RECORD,                               \
                             {},         &rtc_factory<T>,                           \
                             INIT,       COPY,                                      \
                             MOVE,       SAVE,                                      \
                             LOAD,       nullptr,                                   \
                             nullptr,    nullptr}
