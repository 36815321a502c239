// Keyframe track records (chunk 1031): name, stored links, base transform and the
// four key lists. Links are written as track numbers and object keys as file ids
// (both assigned by model_number_objects before a save; a link to anything the file
// does not hold is written as -1); the reader notes them in the load's map, and
// tracks_resolve turns them into references after the load.
#include "model/db/naming.h"
#include "model/db/track.h"
#include "model/db/zobj.h"
#include "model/file/load_context.h"
#include "model/file/save_context.h"
#include "model/file/record_util.h"
#include "model/stream/matchunk.h"

namespace {

constexpr uint32_t kTrackName = 1024;
constexpr uint32_t kTrackLinks = 1025;
constexpr uint32_t kTrackBase = 1026;
constexpr uint32_t kTrackPosition = 1027;
constexpr uint32_t kTrackRotation = 1028;
constexpr uint32_t kTrackScale = 1029;
constexpr uint32_t kTrackObjects = 1030;

int32_t number_of(const KeyframeTrack* t) {
    return save_track_ref(t);
}

// chunk(tag){ varint count; varint flags; keys }, only for a list with keys.
template <class K, class PutValue>
void put_list(IOstream* s, const KeyArray<K>& a, uint32_t tag, PutValue&& put_value) {
    if (a.keys.empty()) return;
    IoChunkWriter c(s, tag);
    io_put_varint(s, static_cast<uint32_t>(a.keys.size()));
    io_put_varint(s, static_cast<uint32_t>(a.flags));
    for (const K& k : a.keys) {
        io_put_key_head(s, k);
        put_value(k);
    }
}

template <class K, class GetValue>
void get_list(IOstream* s, KeyArray<K>* a, uint64_t min_key_bytes, GetValue&& get_value) {
    const uint32_t n = io_get_varint(s);
    a->flags = io_get_varint_signed(s);
    io_check_count(s, n, min_key_bytes);
    a->keys.assign(n, K{});
    for (size_t i = 0; i < n; ++i) {
        io_get_key_head(s, &a->keys[i]);
        get_value(&a->keys[i], i);
    }
}

struct TrackDeleter {
    void operator()(KeyframeTrack* t) const { track_delete(t); }
};

}  // namespace

void io_put_tracks(IOstream* s, const object* obj) {
    for (const KeyframeTrack* t = obj->tracks; t; t = t->next_track) {
        IoChunkWriter c(s, kTagTrack);
        if (t->name) io_put_string_chunk(s, t->name, kTrackName);
        {
            IoChunkWriter links(s, kTrackLinks);
            // Siblings only within a parent's ring; a root track has none.
            const bool in_ring = t->parent != nullptr;
            io_put_varint(s, static_cast<uint32_t>(t->id));
            io_put_varint(s, static_cast<uint32_t>(in_ring ? number_of(t->next) : -1));
            io_put_varint(s, static_cast<uint32_t>(in_ring ? number_of(t->prev) : -1));
            io_put_varint(s, static_cast<uint32_t>(number_of(t->parent)));
            io_put_varint(s, static_cast<uint32_t>(number_of(t->children)));
            io_put_varint(s, static_cast<uint32_t>(t->word1));
            io_put_varint(s, static_cast<uint32_t>(t->word2));
            for (float f : t->pivot) io_put_float(s, f);
        }
        io_put_transform(s, &t->base, kTrackBase);
        auto put_vec = [&](const PositionKey& k) {
            io_put_vec3(s, Vec3{k.value[0], k.value[1], k.value[2]});
        };
        put_list(s, t->position, kTrackPosition, put_vec);
        put_list(s, t->rotation, kTrackRotation, [&](const RotationKey& k) {
            io_put_double(s, k.angle);
            io_put_vec3(s, Vec3{k.axis[0], k.axis[1], k.axis[2]});
            io_put_matrix(s, &k.accumulated.fwd);
            io_put_matrix(s, &k.accumulated.inv);
        });
        put_list(s, t->scale, kTrackScale, put_vec);
        put_list(s, t->objects, kTrackObjects, [&](const ObjectKey& k) {
            io_put_varint(s, static_cast<uint32_t>(save_object_ref(k.target)));
        });
    }
}

void io_get_track(IOstream* s, object* obj) {
    std::unique_ptr<KeyframeTrack, TrackDeleter> t(track_new(nullptr, obj));
    if (!t) io_raise(s, kOutOfMemory);
    TrackLinks links;
    auto get_vec = [&](PositionKey* k, size_t) {
        const Vec3 v = io_get_vec3(s);
        k->value[0] = v.x;
        k->value[1] = v.y;
        k->value[2] = v.z;
    };
    while (io_chunk_inside(s)) {
        IoChunkReader c(s);
        switch (c.tag()) {
            case kTrackName: {
                const std::string name = io_get_string(s);
                str_free(&t->name);
                if (str_dup_into(&t->name, name.c_str()) != 0) io_raise(s, kOutOfMemory);
                break;
            }
            case kTrackLinks:
                links.id = io_get_varint_signed(s);
                links.next = io_get_varint_signed(s);
                links.prev = io_get_varint_signed(s);
                links.parent = io_get_varint_signed(s);
                links.child = io_get_varint_signed(s);
                t->word1 = io_get_varint_signed(s);
                t->word2 = io_get_varint_signed(s);
                for (float& f : t->pivot) f = static_cast<float>(io_get_float(s));
                break;
            case kTrackBase: {
                std::unique_ptr<Transform> base;
                io_get_transform(s, base);
                if (base) t->base = *base;
                break;
            }
            case kTrackPosition:
                get_list(s, &t->position, 49, get_vec);
                break;
            case kTrackRotation:
                get_list(s, &t->rotation, 1 + 6 * 8 + 12 + 24 * 8, [&](RotationKey* k, size_t) {
                    k->angle = static_cast<float>(io_get_double(s));
                    const Vec3 a = io_get_vec3(s);
                    k->axis[0] = a.x;
                    k->axis[1] = a.y;
                    k->axis[2] = a.z;
                    io_get_matrix(s, &k->accumulated.fwd);
                    io_get_matrix(s, &k->accumulated.inv);
                });
                break;
            case kTrackScale:
                get_list(s, &t->scale, 49, get_vec);
                break;
            case kTrackObjects:
                links.key_targets.clear();
                get_list(s, &t->objects, 42, [&](ObjectKey* k, size_t) {
                    k->target = nullptr;  // resolved through the load's map
                    links.key_targets.push_back(io_get_varint_signed(s));
                });
                break;
            default:
                break;
        }
    }
    t->id = links.id;
    // Appended, so that the list keeps its written order through every save and load.
    KeyframeTrack** tail = &obj->tracks;
    while (*tail) tail = &(*tail)->next_track;
    KeyframeTrack* track = t.release();
    *tail = track;
    load_note_track(track, std::move(links));
}
