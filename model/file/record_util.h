// Internal to the record readers and writers: the loop over the chunks of a record
// and the level methods that drawing_file_register installs.
#pragma once

#include <memory>
#include <vector>

#include "model/file/records.h"

class ELARC;

// Reads the chunks of the open record to its end. `own(tag, mark)` handles the level's
// own chunks and returns true; any other chunk goes to io_get_attribute when the
// record is in the coded layout and is skipped otherwise.
template <class Own>
void read_record(IOstream* s, ZOBJ* obj, bool coded_layout, Own&& own) {
    while (io_chunk_inside(s)) {
        ChunkMark c;  // closed here; a raise leaves it open, as IoChunkReader does
        io_chunk_open(s, &c);
        if (!own(c.tag, c) && coded_layout) io_get_attribute(s, obj, c.tag);
        io_chunk_close(s);
    }
}

// Asks for the cache line at `p` without waiting for it (any address, null included).
// An asm statement: the compiler drops a plain prefetch builtin whose address it
// finds otherwise unused.
inline void prefetch_line(const void* p) {
#if defined(__x86_64__) || defined(__i386__)
    asm volatile("prefetcht0 (%0)" : : "r"(p));
#else
    __builtin_prefetch(p);
#endif
}

// A point list being read: freed unless released, also when a read raises.
struct PendingPoints {
    PointNode* head = nullptr;
    ~PendingPoints() { list_free(&head); }
    void add(IOstream* s, const Vec3& p) {
        if (plist_add(&head, p) != 0) io_raise(s, kOutOfMemory);
    }
    // The points in the order they were added.
    PointNode* release() {
        PointNode* h = list_reverse(head);
        head = nullptr;
        return h;
    }
};

// Key header of every key list: varint frame, then the five parameters as doubles.
template <class K>
void io_put_key_head(IOstream* s, const K& k) {
    io_put_varint(s, static_cast<uint32_t>(k.frame));
    for (float p : k.params) io_put_double(s, p);
}
template <class K>
void io_get_key_head(IOstream* s, K* k) {
    k->frame = io_get_varint_signed(s);
    for (float& p : k->params) p = static_cast<float>(io_get_double(s));
}

// Level methods: (stream, object) -> 0; failures raise.
int xpline_save(IOstream* s, RTC* obj);
int xpline_load(IOstream* s, RTC* obj);
int elarc_save(IOstream* s, RTC* obj);
int elarc_load(IOstream* s, RTC* obj);
int text2_save(IOstream* s, RTC* obj);
int text2_load(IOstream* s, RTC* obj);
int hatch_save(IOstream* s, RTC* obj);
int hatch_load(IOstream* s, RTC* obj);
int vport_save(IOstream* s, RTC* obj);
int vport_load(IOstream* s, RTC* obj);
int container_save(IOstream* s, RTC* obj);
int container_load(IOstream* s, RTC* obj);
// Levels whose methods only have the levels above them done (LAYER, MODEL, PATT,
// SPOTLITE).
template <const RtcClass* Level>
int base_only_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, Level);
    return 0;
}
template <const RtcClass* Level>
int base_only_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, Level);
    return 0;
}
int mesh3_save(IOstream* s, RTC* obj);
int mesh3_load(IOstream* s, RTC* obj);
int camera_save(IOstream* s, RTC* obj);
int camera_load(IOstream* s, RTC* obj);
int light_save(IOstream* s, RTC* obj);
int light_load(IOstream* s, RTC* obj);
int linepatt_save(IOstream* s, RTC* obj);
int linepatt_load(IOstream* s, RTC* obj);
int hatchpatt_save(IOstream* s, RTC* obj);
int hatchpatt_load(IOstream* s, RTC* obj);
int fontpatt_save(IOstream* s, RTC* obj);
int fontpatt_load(IOstream* s, RTC* obj);
int matrpatt_save(IOstream* s, RTC* obj);
int matrpatt_load(IOstream* s, RTC* obj);

// Content readers shared with the older layouts.
void elarc_read_body(IOstream* s, ELARC* arc);
class LIGHT;
class LINEPATT;
class HATCHPATT;
class FONTPATT;
class MATRPATT;
// Chunk 12 of a light record (the caller opened it). With `made` null the light is
// the one given; otherwise (an older light record) the light is made from the first
// body chunk (0 LIGHT, 1 SPOTLITE) and stored in *made.
void light_read_chunk12(IOstream* s, LIGHT* light, std::unique_ptr<RTC>* made);
void linepatt_read_dashes(IOstream* s, std::vector<double>* dashes);  // chunk 2052 next
void hatchpatt_read_lines(IOstream* s, HATCHPATT* p);                 // inside chunk 1
void fontpatt_read_font(IOstream* s, FONTPATT* p);                    // inside chunk 2
// The binary stroke font read straight from the stream (never past an open chunk).
void io_get_font(IOstream* s, FONTPATT* p);
void matrpatt_read_image(IOstream* s, MATRPATT* p);                   // inside chunk 3
