// The core classes of a drawing: ring members, named things, drawable objects,
// containers, layers and the MODEL itself, plus the base of the view object.
//
// Ownership: a CONTAINER owns the ring of its children, the MODEL owns its pattern
// ring and its undo history; every other pointer between objects is a plain
// reference. A ZOBJ's destructor takes it out of its container (or the pattern
// ring) and clears every selection reference to it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "model/math/plist.h"
#include "model/math/types.h"
#include "model/rtc/rtc.h"

class ZITER;
class CONTAINER;
class MODEL;
class PATT;
class buffer;
struct KeyframeTrack;
struct UndoHistory;
// Frees a MODEL's undo history (undo.cpp); the objects it held are released before.
struct UndoHistoryDeleter {
    void operator()(UndoHistory* history) const;
};
struct PattIndex;
// Frees a MODEL's pattern name index (tree.cpp).
struct PattIndexDeleter {
    void operator()(PattIndex* index) const;
};

// A member of a circular doubly linked ring.
class ZDLIST : public RTC {
  public:
    static RtcClass rtc_class;
    ZDLIST() { set_klass(&rtc_class); }

    ZDLIST* next = nullptr;
    ZDLIST* prev = nullptr;
};

// Base of the view object behind each drawing window. The view is attached to the
// ring of views of one MODEL; destroying it takes it out of that ring.
class ZSVIEW : public ZDLIST {
  public:
    static RtcClass rtc_class;
    ZSVIEW() { set_klass(&rtc_class); }
    ~ZSVIEW() override;

    // The view's own slot: redraw the part of the view showing `box` (flags as given).
    virtual int view_slot(const BBox* box, int flags);
    // Whether the class fills the view slot (the base does not).
    virtual bool has_view_slot() const { return false; }
    // A view's references to layers and styles (its current ones) that equal
    // old_ref become new_ref; non-zero when one did. Reached through the model's
    // replace_ref, so no view keeps a style or layer that leaves the drawing.
    virtual int replace_ref(RTC* /*old_ref*/, RTC* /*new_ref*/) { return 0; }

    MODEL* model = nullptr;
};

// A named thing of a drawing: parent link, file id and three owned strings.
class ZOBJ : public ZDLIST {
  public:
    static RtcClass rtc_class;
    ZOBJ() { set_klass(&rtc_class); }
    ~ZOBJ() override;

    // Replaces string `index` (0 name, 1, 2) by a copy of `text` (null = empty).
    // 0, 8 out of memory (old value kept), 13 for another index.
    [[nodiscard]] virtual int set_string(int index, const char* text);
    // Replaces references to `old_ref` by `new_ref`; with new equal to old it only
    // asks. 1 when this object (or anything below it) referred to `old_ref`.
    virtual int replace_ref(RTC* old_ref, RTC* new_ref);

    const char* name() const { return strings[0].c_str(); }
    const char* str(int index) const { return strings[index].c_str(); }

    int copy_level(const ZOBJ& src);
    void move_level(ZOBJ& src);

    CONTAINER* parent = nullptr;
    int32_t file_id = 0;
    // The cameras this object is or holds: 1 for a camera; for a container those in
    // its ring and, through the groups in it, below it, kept by container_insert and
    // obj_remove (tree.cpp). The pick device walks into a group whose box leaves out
    // the lines its cameras draw only when this is non-zero.
    int32_t cameras = 0;
    std::string strings[3];
};

// A drawable thing: keyframe tracks, own box, width and colour index.
class object : public ZOBJ {
  public:
    static RtcClass rtc_class;
    object() { set_klass(&rtc_class); }
    ~object() override;

    // Recomputes `box` from the object's geometry.
    virtual void own_box();
    // Walks the object with an iterator: entering visit, geometry, leaving visit.
    virtual int walk(ZITER* it);
    // Reports the object's geometry to the iterator (the middle step of the walk).
    virtual int report(ZITER* it);

    int copy_level(const object& src);
    void move_level(object& src);

    KeyframeTrack* tracks = nullptr;  // owned list
    BBox box = kEmptyBBox;
    float width = 0.0f;  // model units; the box is widened by half of it
    int32_t colour = 0;

  protected:
    // Stores the box of the points the walk reports, widened by half the width: the
    // last step of own_box, for classes that gather those points without a walk.
    void set_walked_box(const BBox& walked);
};

// A drawable object owning a ring of child objects (groups and blocks).
class CONTAINER : public object {
  public:
    static RtcClass rtc_class;
    CONTAINER() { set_klass(&rtc_class); }
    ~CONTAINER() override;

    int replace_ref(RTC* old_ref, RTC* new_ref) override;
    void own_box() override;
    int report(ZITER* it) override;

    int copy_level(const CONTAINER& src);
    void move_level(CONTAINER& src);

    ZOBJ* first_child() const { return static_cast<ZOBJ*>(children); }

    ZDLIST* children = nullptr;  // ring head, owned
};

class LAYER : public CONTAINER {
  public:
    static RtcClass rtc_class;
    LAYER() { set_klass(&rtc_class); }
};

// The drawing: the root container of layers, viewports and objects.
class MODEL : public CONTAINER {
  public:
    static RtcClass rtc_class;
    MODEL() { set_klass(&rtc_class); }
    ~MODEL() override;

    int replace_ref(RTC* old_ref, RTC* new_ref) override;
    virtual int get_modified() const { return modified; }
    // Stores flag != 0, then calls the model-modified hook when one is installed.
    virtual void set_modified(int flag);

    static int init_level(RTC* obj);
    int copy_level(const MODEL& src);

    int32_t modified = 0;
    void* document = nullptr;    // the document holding the model (not owned)
    ZDLIST* patterns = nullptr;  // ring head of PATT objects, owned
    // Every pattern of the ring under its name (tree.cpp), so that a lookup by name
    // does not walk the ring. Null until the ring first gains a member, and after an
    // allocation failure (lookups then walk the ring until the next change rebuilds it).
    std::unique_ptr<PattIndex, PattIndexDeleter> patt_index;
    int32_t undo_levels = 0;
    // The undo levels (undo.cpp); null until the first undoable step.
    std::unique_ptr<UndoHistory, UndoHistoryDeleter> history;
    int32_t frame_count = 0;
    // Stepped by playback and read by image-map decoding on other threads, so each side
    // touches it whole. A lone frame number: nothing else is published through it.
    std::atomic<int32_t> current_frame{-1};
    int32_t word = 0;
    ZDLIST* views = nullptr;  // ring of attached views, not owned
};

// Called by MODEL::set_modified after storing the flag; null when none.
using ModelModifiedHook = void (*)(MODEL* model, int flag);
extern ModelModifiedHook g_model_modified_hook;

// For every view attached to the model whose class fills the view slot, calls it
// with (box, flags).
void model_notify_views(MODEL* model, const BBox* box, int flags);
// Every attached view's references equal to old_ref become new_ref.
void model_views_replace_ref(MODEL* model, RTC* old_ref, RTC* new_ref);
// Attaches a view to the model's ring of views (detaching it from any other first).
void model_attach_view(MODEL* model, ZSVIEW* view);
void model_detach_view(ZSVIEW* view);
