// Buffers: sets of references to drawing objects (selections, pick results, the
// objects a command works on, and the two halves of every undo level), and the
// operations on all objects of one: colour, material, bounding box, moving into a
// container.
//
// Buffers made with buffer_new sit in one global ring and lose a reference when its
// object dies or leaves the drawing (buffer_purge_object). Buffers made with
// buffer_create are kept outside that ring: their references stay when the objects
// leave the drawing. A buffer never owns the objects it refers to. The ring is used
// from the user-interface thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "model/db/zobj.h"

struct MaterialRecord;

// One reference. New references go to the head of the list; a node whose reference
// was cleared is reused by the next buffer_add.
struct RefNode {
    ZOBJ* ref = nullptr;  // null once the object has died
    RefNode* next = nullptr;
};

// The lookup index of a long buffer (buffer.cpp): which node holds an object, and
// nodes seen cleared. Kept by buffer_add; rebuilt when the list was changed elsewhere.
struct BufferIndex;

class buffer : public ZDLIST {
  public:
    static RtcClass rtc_class;
    buffer();
    ~buffer() override;

    RefNode* refs = nullptr;  // owned nodes
    bool in_ring = false;     // made by buffer_new
    std::unique_ptr<BufferIndex> index;  // owned; null for short buffers
};

// A buffer outside the global ring; null when out of memory.
buffer* buffer_create();
// A buffer in the global ring; null when out of memory.
buffer* buffer_new();
// 6 when `buf` is not a buffer or `obj` not a ZOBJ; 0 for a null object or one
// already referenced; otherwise the reference takes a cleared node (the first one in
// a short buffer) or a new node at the head; 8 when out of memory. Membership is
// looked up in constant time once a buffer holds more than a few references.
[[nodiscard]] int buffer_add(buffer* buf, ZOBJ* obj);
// A new buffer in the ring with the live references of `buf` (in reverse list order);
// null when `buf` is not a buffer or memory runs out (nothing is left then).
buffer* buffer_copy(const buffer* buf);
// A new buffer outside the ring with the live references of `buf` in the same order.
// Its references are not cleared when the objects die: it keeps a selection to put
// back after a failed command. Null when `buf` is not a buffer or memory runs out.
buffer* buffer_copy_unringed(const buffer* buf);
// Exchanges the reference lists of two buffers (their lookup indexes follow).
void buffer_swap_refs(buffer* a, buffer* b);
// Clears one reference of `buf` (`node` is one of its nodes). Code outside this file
// that lets a ring buffer's object go uses this rather than clearing the node itself,
// so that the object's removal later does not look in `buf` again.
void buffer_drop_ref(buffer* buf, RefNode* node);
// Frees the nodes, keeps the objects.
void buffer_clear(buffer* buf);
// Destroys every referenced object and frees the nodes. An object inside another
// referenced object dies with it (it is not destroyed twice); the undo history of the
// objects' drawing forgets them first. An object that is out of every container but
// keeps a parent link (held by an undo level, say) has the link cleared before it is
// destroyed, after animation keys naming it have fallen back to their holders; an
// object still in a container keeps its link and leaves the container.
void buffer_delete_objects(buffer* buf);
// The same; the form for objects that are no longer in a container.
void buffer_delete_objects_unlinked(buffer* buf);
// Clears, takes out of the ring, frees, nulls the caller's pointer.
void buffer_free(buffer** buf);
// 1 when at least one reference is live.
int buffer_has_objects(const buffer* buf);
// Clears every reference to `obj` in every buffer of the global ring. Only the ring
// buffers that hold it are visited.
void buffer_purge_object(const ZOBJ* obj);
// How many buffers removals have looked in so far (tests of the cost of a removal).
uint64_t buffer_purge_visits();
// How many objects have been purged so far (every dying ZOBJ is): caches of object
// pointers compare it to know that none of theirs can have died.
uint64_t buffer_purge_count();

// Sets the colour index of every referenced drawable object and of everything below
// the referenced containers. Colour -1 complements each index (bitwise not) instead;
// an object reached twice (a group and one of its members are both referenced) is
// complemented once.
void buffer_set_color(buffer* buf, int32_t colour);
// buffer_set_color(buf, -1): highlights a selection, and un-highlights it again.
void buffer_invert_color(buffer* buf);
// The union of the stored boxes of the referenced drawable objects; the empty box
// when there is none.
void buffer_get_bbox(const buffer* buf, BBox* box);
// container_insert of each referenced object into `container`; the buffer keeps its
// references. An object that cannot go there (it holds the container) stays where it
// is. 13 when `buf` is not a buffer or `container` not a CONTAINER; 0 otherwise.
[[nodiscard]] int buffer_insert_into(buffer* buf, CONTAINER* container);
// Moves the referenced objects into `container` and empties the buffer. References
// that are not drawable objects are dropped. A plain group (class CONTAINER exactly,
// never a LAYER or a MODEL) is dissolved: its children go into `container` in turn and
// the emptied group is destroyed; the undo history drops its references to the group,
// and objects it holds that belonged in the group now belong in `container`. A group
// that holds `container` is left alone. Any other object is inserted and purged from
// every buffer of the ring. 13 when `container` is not a CONTAINER; 0 otherwise
// (nothing happens for a null or empty buffer).
[[nodiscard]] int container_insert_buffer(CONTAINER* container, buffer* buf);

// Mask bits of buffer_set_material: which fields of the material are applied.
inline constexpr int32_t kMatApplyAll = 65535;  // copy the whole record first
inline constexpr int32_t kMatApplyColour = 8;   // colour (a LIGHT takes it too)
inline constexpr int32_t kMatApplySelfIllumination = 1024;
inline constexpr int32_t kMatApplyTransparency = 4;
inline constexpr int32_t kMatApplyShininess = 2;
inline constexpr int32_t kMatApplySpecularExponent = 4096;
inline constexpr int32_t kMatApplyRandomness = 2048;
inline constexpr int32_t kMatApplyReflectionLevel = 256;
inline constexpr int32_t kMatApplyRefraction = 32768;
inline constexpr int32_t kMatApplyMappingType = 64;        // flag kMaterialMappingType
inline constexpr int32_t kMatApplyColourHighlight = 8192;  // flag kMaterialColourHighlight
inline constexpr int32_t kMatApplySmoothing = 32;          // smoothing flags, and the angle when on
inline constexpr int32_t kMatApplyTexture = 1;             // texture slot 1
inline constexpr int32_t kMatApplyBumpReflection = 16384;  // texture slots 2 and 3
// Bits that only choose what an image-map slot copies of its mapping.
inline constexpr int32_t kMatApplyMapAngle = 16;
inline constexpr int32_t kMatApplyMapDecal = 512;
inline constexpr int32_t kMatApplyMapScale = 128;

// Applies the fields of `material` that `mask` chooses to the referenced objects: a
// MESH3 or CAMERA gets them in its own material, a CONTAINER passes them to its direct
// children that are MESH3 or CAMERA, a LIGHT takes the colour (mask bit 8); other
// classes are skipped. 0; 13 for a bad buffer or null material; the first failure
// otherwise (8 out of memory, or an image's own error), the rest left as they are.
[[nodiscard]] int buffer_set_material(buffer* buf, const MaterialRecord* material, int32_t mask);

// Frees every undo level of the model with the objects only they hold (undo.cpp).
void model_free_undo(MODEL* model);
