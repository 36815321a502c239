// Object records of the native drawing file: the record kinds, the attribute chunks
// that the shared class levels (ZOBJ, object, WIRE) write into a record, point runs,
// style references by name, and the class-level save and load methods of every
// drawing class, installed into the class records by drawing_file_register.
//
// Two layouts share the levels. An object with a kind code (0 or more) uses the coded
// layout: the ZOBJ, object and WIRE levels write loose attribute chunks into the
// record and the leaf class reads every chunk of the record in one loop. An object
// without one (-1) uses the wrapped layout: each of those levels writes one chunk 0
// of its own and reads it back itself.
//
// Coordinates are model units, stored as 4-byte floats; the float attribute (the
// object's width) is stored in 1/16384 units. Every method raises through the stream
// (IoError) on failure: 8 out of memory, 13 unacceptable content, a transport code.
#pragma once

#include <cstdint>

#include "model/math/plist.h"
#include "model/stream/iostream.h"

class MODEL;
class PATT;
class ZOBJ;
class object;

// ---- Record kinds and tags -----------------------------------------------------

inline constexpr int32_t kKindText = 5;
inline constexpr int32_t kKindMesh = 6;
inline constexpr int32_t kKindHatch = 8;
inline constexpr int32_t kKindArc = 9;
inline constexpr int32_t kKindStyle = 10;
inline constexpr int32_t kKindViewport = 11;
inline constexpr int32_t kKindLight = 12;
inline constexpr int32_t kKindCamera = 13;
inline constexpr int32_t kKindContainer = 16;
inline constexpr int32_t kKindLayer = 17;
inline constexpr int32_t kKindModel = 18;

inline constexpr uint32_t kTagWrapped = 0;       // the wrapped layout's level chunk
inline constexpr uint32_t kTagObjectName = 119;  // name of objects other than layers and styles
inline constexpr uint32_t kTagCurrentLayout = 125;
inline constexpr uint32_t kTagAnyClass = 126;  // record of a class without a kind code
inline constexpr uint32_t kTagName = 1024;     // name of layers and styles; drawing body
inline constexpr uint32_t kTagBlockBody = 1025;
inline constexpr uint32_t kTagRuns = 1025;
inline constexpr uint32_t kTagLineStyle = 1026;
inline constexpr uint32_t kTagMaterial = 1027;
inline constexpr uint32_t kTagWireHeader = 1029;
inline constexpr uint32_t kTagObjectHeader = 1030;
inline constexpr uint32_t kTagTrack = 1031;
inline constexpr uint32_t kTagText1 = 1032;
inline constexpr uint32_t kTagLabel = 1033;
inline constexpr uint32_t kTagText2 = 1034;
inline constexpr uint32_t kTagSecondDouble = 2000;
inline constexpr uint32_t kTagDashes = 2052;

// Raised inside an object record that was read whole but whose object cannot be
// rebuilt (its display geometry fails for a reason other than memory): the container
// reader drops that object with a logged warning and reads on. Never leaves a load.
inline constexpr int kIoObjectNotRebuilt = -12;

// Fixed-point scale of the float attribute.
inline constexpr double kAttributeScale = 16384.0;

// The record kind of an object's exact class (XPLINE: its subtype when 0 to 2; -1 for
// classes without a kind, which then use the wrapped layout).
int32_t object_kind_code(const RTC* obj);
// The tag of an object's record when written as a child: its kind, 126 for -1.
uint32_t object_record_tag(const RTC* obj);
// 1024 for layers and named styles, 119 for everything else.
uint32_t name_chunk_tag(const RTC* obj);

// ---- Writers ----------------------------------------------------------------------

// chunk(tag){ string }; a null text is written as the empty string.
void io_put_string_chunk(IOstream* s, const char* text, uint32_t tag);
// chunk 1030 { varint file id; varint fixed-point width; varint colour index }.
void io_put_object_header(IOstream* s, const object* obj);
// chunk(tag){ varint number of lists; each list as a point run }; nothing for null.
void io_put_point_runs(IOstream* s, const PtrNode* lists, uint32_t tag);
// chunk(tag){ varint number of runs; the runs }: the lists (or the single list when
// there are none) cut at every kPointMoveNext, only runs of points without that flag
// written; nothing when both are null.
void io_put_visible_runs(IOstream* s, const PtrNode* lists, const PointNode* single, uint32_t tag);
// A point run: varint count, then the points (12 bytes each).
void io_put_point_list(IOstream* s, const PointNode* list);
void io_put_vec3(IOstream* s, const Vec3& p);

// Whether object records written to this stream carry keyframe tracks: a writing
// IOrec asks its tracks flag (1 for drawings, 0 for blocks); every other stream does.
bool io_wants_tracks(IOstream* s);

// ---- Readers ----------------------------------------------------------------------

Vec3 io_get_vec3(IOstream* s);
// Reads a string into text `index` of the object (0 name, 1, 2); an empty string read
// onto an empty text changes nothing.
void io_get_text(IOstream* s, ZOBJ* obj, int index);
// Reads one attribute chunk of the coded layout (the caller opened it and closes it)
// into the object: name, texts, headers, point runs, line style, material, tracks.
// Other tags are left for the caller's close to skip.
void io_get_attribute(IOstream* s, ZOBJ* obj, uint32_t tag);
// Reads a varint number of runs, then each run into a new point list appended to
// *lists (counts checked against the bytes left).
void io_get_point_lists(IOstream* s, PtrNode** lists);
// Reads byte_count / 12 points into a new open list that replaces *list.
void io_get_points(IOstream* s, PointNode** list, uint64_t byte_count);
// Reads a name and stores the style of kind `cls` with exactly that name in the model
// being loaded into (null when there is none).
void io_get_style_ref(IOstream* s, PATT** out, const RtcClass* cls);
// The model the records of a reading stream go into; null when none.
MODEL* io_target_model(IOstream* s);
// The stream's format version (-1 for a stream that is not a file stream).
int32_t io_format_version(IOstream* s);
// The fixed-point width as stored (floor(w x 16384 + 0.5), as a signed 32-bit value).
int32_t io_width_fixed(float width);

// Reads chunks of the open record until one with `tag` is open, skipping others;
// false at the end of the record. The wrapped layout's levels find their chunk so.
bool io_find_chunk(IOstream* s, ChunkMark* mark, uint32_t tag);

// ---- Class methods ------------------------------------------------------------------

// Installs the save and load methods of every drawing class (and of the image-map
// pattern) into the class records; sets the classes up first. Idempotent; call once
// at start-up before any drawing file is read or written.
void drawing_file_register();

// Keyframe tracks (record_track.cpp): chunk 1031 per track of the object, and the
// reader of one chunk 1031 (the caller opened it), which puts the new track at the
// front of the object's list.
void io_put_tracks(IOstream* s, const object* obj);
void io_get_track(IOstream* s, object* obj);

// Level methods of the shared levels, used by the register and the older readers.
int zobj_save(IOstream* s, RTC* obj);
int zobj_load(IOstream* s, RTC* obj);
int object_save(IOstream* s, RTC* obj);
int object_load(IOstream* s, RTC* obj);
int wire_save(IOstream* s, RTC* obj);
int wire_load(IOstream* s, RTC* obj);
