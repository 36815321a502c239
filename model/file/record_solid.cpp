// Records of meshes (face sets: grids stored by their rows and columns, free sets by
// their faces), cameras with their keyed lens channels, and omni and spot lights
// with their keyed colour channels.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "model/db/solid.h"
#include "model/file/load_context.h"
#include "model/file/record_util.h"
#include "model/mesh/mesh_block.h"
#include "model/stream/matchunk.h"

namespace {

constexpr uint32_t kTagSets = 6;
constexpr uint32_t kSetFree = 51;
constexpr uint32_t kSetGrid = 52;
constexpr uint32_t kSetOlderGrid = 61;

bool coded(const RTC* obj) {
    return object_kind_code(obj) >= 0;
}

// ---- Keys

void put_channel(IOstream* s, const std::vector<ChannelKey>& keys, int32_t flags, uint32_t tag) {
    if (keys.empty()) return;
    IoChunkWriter c(s, tag);
    io_put_varint(s, static_cast<uint32_t>(keys.size()));
    io_put_varint(s, static_cast<uint32_t>(flags));
    for (const ChannelKey& k : keys) {
        io_put_key_head(s, k);
        io_put_double(s, k.value);
    }
}

void get_channel(IOstream* s, std::vector<ChannelKey>* keys, int32_t* flags) {
    const uint32_t n = io_get_varint(s);
    *flags = io_get_varint_signed(s);
    io_check_count(s, n, 49);  // varint frame and six doubles at least
    keys->resize(n);
    for (ChannelKey& k : *keys) {
        io_get_key_head(s, &k);
        k.value = static_cast<float>(io_get_double(s));
    }
}

// The three camera words are kept as the bit patterns of floats.
double word_as_float(int32_t w) {
    float f;
    std::memcpy(&f, &w, 4);
    return f;
}
int32_t float_as_word(double d) {
    const float f = static_cast<float>(d);
    int32_t w;
    std::memcpy(&w, &f, 4);
    return w;
}
int32_t truncate_to_int(double d) {
    if (!(d > -2147483649.0 && d < 2147483648.0)) return 0;
    return static_cast<int32_t>(d);
}

// ---- Mesh face sets

// Wrap code of a grid block: bit 0 when the column direction closes (no extra point
// per row), bit 1 the same for rows. -1 when the block's vertices do not form the grid
// its counts describe (it is then written as a free set).
int grid_wrap_code(const MeshFaceBlock& b) {
    const int64_t n = static_cast<int64_t>(b.vertices.size());
    const int64_t r = b.rows, c = b.columns;
    int code;
    if (n == r * c) {
        code = 3;
    } else if (n == (r + 1) * (c + 1)) {
        code = 0;
    } else {
        const bool rows_close = c >= 1 && b.edges.size() > static_cast<size_t>(c - 1) &&
                                b.edges[c - 1].v[1] == b.edges[0].v[0];
        code = rows_close ? 1 : 2;
    }
    const int64_t points = c + ((code & 1) ? 0 : 1);
    const int64_t rows = r + ((code & 2) ? 0 : 1);
    return points * rows == n ? code : -1;
}

void put_vertices(IOstream* s, const MeshFaceBlock& b) {
    IoChunkWriter c(s, 0);
    io_put_varint(s, static_cast<uint32_t>(b.vertices.size()));
    for (const MeshVertex& v : b.vertices) io_put_vec3(s, Vec3{v.x, v.y, v.z});
}

void put_uv(IOstream* s, const MeshFaceBlock& b) {
    if (b.uv.empty() || b.uv.size() != 2 * b.vertices.size()) return;
    IoChunkWriter c(s, 3);
    io_put_varint(s, static_cast<uint32_t>(b.vertices.size()));
    for (float f : b.uv) io_put_float(s, f);
}

// The corners of a face as written; false for a face that is not written: one naming
// an edge or a vertex the block does not hold, or whose corners repeat (its first two
// edges are one, or one joins a vertex to itself; older files can hold such faces). A
// face with a repeated corner has no area and the reader drops it, so it is not
// written either: the drawing read back saves as before.
bool face_vertices(const MeshFaceBlock& b, const MeshFace& f, int32_t v[3]) {
    const int64_t ne = static_cast<int64_t>(b.edges.size());
    const int64_t nv = static_cast<int64_t>(b.vertices.size());
    for (int32_t e : f.e) {
        if (e < 0 || e >= ne) return false;
    }
    edge_pair_vertices(b.edges[f.e[0]], b.edges[f.e[1]], &v[0], &v[1], &v[2]);
    for (int i = 0; i < 3; ++i) {
        if (v[i] < 0 || v[i] >= nv) return false;
    }
    return v[0] != v[1] && v[1] != v[2] && v[0] != v[2];
}

// The edge flags a face writes (the low byte for each corner's edge to the next corner).
// The reader keeps one edge per pair of vertices, shared by every face that names the
// pair, and each face read sets its flags: so a pair must be written with the same
// flags in every face. A block read from an older file can hold several edges joining
// two vertices, and a face whose edges do not run round (its third edge joins other
// vertices). A pair is written with the flags of the block's first drawn edge joining
// its vertices, else of the first one; a pair no edge joins was not drawn and is
// written hidden. A block with one edge per pair and closed faces writes each face's
// own edge flags.
uint32_t corner_flags(const MeshFaceBlock& b, const int32_t v[3], const MeshEdgeHash& hash) {
    uint32_t flags = 0;
    for (int i = 0; i < 3; ++i) {
        const int32_t e = mesh_find_drawn_edge(b, v[i], v[(i + 1) % 3], hash);
        const uint8_t low = e >= 0 ? static_cast<uint8_t>(b.edges[e].flags) : kEdgeHidden;
        flags |= uint32_t{low} << (8 * i);
    }
    return flags;
}

void put_set(IOstream* s, const MeshFaceBlock& b) {
    const int wrap = b.rows != 0 && b.columns != 0 ? grid_wrap_code(b) : -1;
    if (wrap >= 0) {
        IoChunkWriter set(s, kSetGrid);
        io_put_varint(s, static_cast<uint32_t>(b.columns));
        io_put_varint(s, static_cast<uint32_t>(b.rows));
        io_put_varint(s, static_cast<uint32_t>(wrap));
        put_vertices(s, b);
        put_uv(s, b);
        return;
    }
    IoChunkWriter set(s, kSetFree);
    put_vertices(s, b);
    {
        IoChunkWriter faces(s, 4);
        MeshEdgeHash hash;
        const auto buckets = std::min<uint64_t>(uint64_t{b.edges.size()} * 2 + 1, 1u << 22);
        if (mesh_edge_hash_init(&hash, &b, static_cast<int32_t>(buckets)) != 0)
            io_raise(s, kOutOfMemory);
        uint32_t count = 0;
        int32_t v[3];
        for (const MeshFace& f : b.faces) count += face_vertices(b, f, v) ? 1 : 0;
        io_put_varint(s, count);
        for (const MeshFace& f : b.faces) {
            if (!face_vertices(b, f, v)) continue;
            for (int32_t i : v) io_put_varint(s, static_cast<uint32_t>(i));
            io_put_varint(s, static_cast<uint32_t>(f.word));
            io_put_varint(s, corner_flags(b, v, hash));
        }
    }
    put_uv(s, b);
}

void get_vertices(IOstream* s, MeshFaceBlock* b) {
    const uint32_t n = io_get_varint(s);
    io_check_count(s, n, 12);
    b->vertices.resize(n);
    for (MeshVertex& v : b->vertices) {
        const Vec3 p = io_get_vec3(s);
        v = MeshVertex{p.x, p.y, p.z, {0, 0, 0, 0, 0, 0}};
    }
}

uint32_t get_index(IOstream* s, size_t limit) {
    const uint32_t i = io_get_varint(s);
    if (i >= limit) io_raise(s, kBadArgument);
    return i;
}

void get_faces(IOstream* s, MeshFaceBlock* b) {
    const uint32_t n = io_get_varint(s);
    io_check_count(s, n, 5);  // five varints a face
    MeshEdgeHash hash;
    if (mesh_edge_hash_init(
            &hash, b, static_cast<int32_t>(std::min<uint64_t>(uint64_t{n} * 2 + 1, 1u << 22))) != 0)
        io_raise(s, kOutOfMemory);
    for (uint32_t f = 0; f < n; ++f) {
        int32_t v[3];
        for (int32_t& i : v) i = static_cast<int32_t>(get_index(s, b->vertices.size()));
        const int32_t word = io_get_varint_signed(s);
        const uint32_t flags = io_get_varint(s);
        // A face with a repeated corner has no area and no corner order that its edges
        // keep (written again it would come back turned): dropped.
        if (v[0] == v[1] || v[1] == v[2] || v[0] == v[2]) continue;
        const int r = mesh_add_triangle(b, v[0], v[1], v[2], &hash);
        if (r != 0) io_raise(s, r == kBadArgument ? kBadArgument : kOutOfMemory);
        MeshFace& face = b->faces.back();
        face.word = word;
        for (int i = 0; i < 3; ++i) {
            MeshEdge& e = b->edges[face.e[i]];
            e.flags = static_cast<uint16_t>((e.flags & 0xFF00u) | ((flags >> (8 * i)) & 0xFFu));
        }
    }
}

void get_older_edges(IOstream* s, MeshFaceBlock* b) {
    const uint32_t n = io_get_varint(s);
    io_check_count(s, n, 3);
    b->edges.resize(n);
    for (MeshEdge& e : b->edges) {
        e.v[0] = static_cast<int32_t>(get_index(s, b->vertices.size()));
        e.v[1] = static_cast<int32_t>(get_index(s, b->vertices.size()));
        e.flags = static_cast<uint16_t>(io_get_varint(s));
    }
}

void get_older_faces(IOstream* s, MeshFaceBlock* b) {
    const uint32_t n = io_get_varint(s);
    io_check_count(s, n, 3);
    b->faces.resize(n);
    for (MeshFace& f : b->faces) {
        for (int32_t& e : f.e) e = static_cast<int32_t>(get_index(s, b->edges.size()));
        f.word = 0;
    }
}

void get_set(IOstream* s, MeshFaceBlock* b, uint32_t kind) {
    uint32_t columns = 0, rows = 0, wrap = 0;
    if (kind != kSetFree) {
        columns = io_get_varint(s);
        rows = io_get_varint(s);
        if (kind == kSetGrid) wrap = io_get_varint(s);
    }
    while (io_chunk_inside(s)) {
        IoChunkReader c(s);
        switch (c.tag()) {
            case 0:
                get_vertices(s, b);
                break;
            case 3: {
                const uint32_t n = io_get_varint(s);
                if (n != b->vertices.size()) io_raise(s, kBadArgument);
                io_check_count(s, n, 8);
                b->uv.resize(size_t{n} * 2);
                for (float& f : b->uv) f = static_cast<float>(io_get_float(s));
                break;
            }
            case 4:
                if (kind != kSetFree) io_raise(s, kBadArgument);
                get_faces(s, b);
                break;
            case 1:
                if (kind != kSetOlderGrid) io_raise(s, kBadArgument);
                get_older_edges(s, b);
                break;
            case 2:
                if (kind != kSetOlderGrid) io_raise(s, kBadArgument);
                get_older_faces(s, b);
                break;
            default:
                break;
        }
    }
    if (kind == kSetOlderGrid) {
        b->rows = static_cast<int32_t>(std::min<uint32_t>(rows, INT32_MAX));
        b->columns = static_cast<int32_t>(std::min<uint32_t>(columns, INT32_MAX));
    } else if (kind == kSetGrid) {
        const uint64_t points = uint64_t{columns} + ((wrap & 1) ? 0 : 1);
        const uint64_t row_count = uint64_t{rows} + ((wrap & 2) ? 0 : 1);
        if (points * row_count != b->vertices.size() || points == 0 || row_count == 0)
            io_raise(s, kBadArgument);
        const int r =
            mesh_grid_build(b, static_cast<int32_t>(points), static_cast<int32_t>(row_count),
                            (wrap & 1) != 0, (wrap & 2) != 0);
        if (r != 0) io_raise(s, r == kBadArgument ? kBadArgument : kOutOfMemory);
    }
}

void get_sets(IOstream* s, MESH3* m) {
    MeshFaceBlock** tail = &m->blocks;
    while (*tail) tail = &(*tail)->next;
    while (io_chunk_inside(s)) {
        IoChunkReader c(s);
        const uint32_t kind = c.tag();
        if (kind != kSetFree && kind != kSetGrid && kind != kSetOlderGrid) continue;
        auto* b = new (std::nothrow) MeshFaceBlock();
        if (!b) io_raise(s, kOutOfMemory);
        *tail = b;  // owned by the mesh from here on
        tail = &b->next;
        get_set(s, b, kind);
    }
}

}  // namespace

// ---- MESH3

int mesh3_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &MESH3::rtc_class);
    auto* m = static_cast<MESH3*>(obj);
    ChunkMark wrapped;
    if (coded(obj))
        io_put_object_header(s, m);
    else
        io_chunk_begin(s, &wrapped, kTagWrapped);
    if (m->material) io_put_material(s, m->material, kTagMaterial);
    {
        IoChunkWriter sets(s, kTagSets);
        for (const MeshFaceBlock* b = m->blocks; b; b = b->next) put_set(s, *b);
    }
    return coded(obj) ? 0 : io_chunk_end(s);
}

int mesh3_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &MESH3::rtc_class);
    auto* m = static_cast<MESH3*>(obj);
    const bool is_coded = coded(obj);
    auto own = [&](uint32_t tag, const ChunkMark&) {
        if (tag == kTagSets) {
            get_sets(s, m);
            return true;
        }
        if (tag == kTagMaterial && !is_coded && m->material) {
            io_get_material(s, io_target_model(s), m->material);
            return true;
        }
        return false;
    };
    if (is_coded) {
        read_record(s, m, true, own);
    } else {
        ChunkMark level;
        if (io_find_chunk(s, &level, kTagWrapped)) {
            read_record(s, m, false, own);
            io_chunk_close(s);
        }
    }
    return 0;
}

// ---- CAMERA

int camera_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &CAMERA::rtc_class);
    auto* c = static_cast<CAMERA*>(obj);
    const bool is_coded = coded(obj);
    ChunkMark wrapped;
    if (is_coded)
        io_put_object_header(s, c);
    else
        io_chunk_begin(s, &wrapped, kTagWrapped);
    if (c->material) io_put_material(s, c->material, kTagMaterial);
    {
        IoChunkWriter body(s, kKindCamera);
        if (is_coded) io_put_string_chunk(s, c->name(), 0);
        {
            IoChunkWriter points(s, 1);
            io_put_vec3(s, c->position);
            io_put_vec3(s, c->target);
            io_put_vec3(s, c->up);
            io_put_vec3(s, c->side);
            io_put_double(s, c->lens);
        }
        {
            IoChunkWriter values(s, 2);
            for (int32_t w : c->words) io_put_double(s, word_as_float(w));
            io_put_double(s, c->word);
        }
        if (io_wants_tracks(s)) {
            {
                IoChunkWriter keyed(s, 3);
                io_put_double(s, c->roll);
                io_put_double(s, c->fov);
                io_put_varint(s, c->keys ? 2 : 0);
            }
            if (c->keys) {
                put_channel(s, c->keys->channel[0], c->keys->flags[0], 1031);
                put_channel(s, c->keys->channel[1], c->keys->flags[1], 1032);
            }
        }
    }
    return is_coded ? 0 : io_chunk_end(s);
}

namespace {

void camera_read_body(IOstream* s, CAMERA* c) {
    while (io_chunk_inside(s)) {
        IoChunkReader sub(s);
        switch (sub.tag()) {
            case 0: {
                const std::string name = io_get_string(s);
                if (c->set_string(0, name.c_str()) != 0) io_raise(s, kOutOfMemory);
                break;
            }
            case 1:
                c->position = io_get_vec3(s);
                c->target = io_get_vec3(s);
                c->up = io_get_vec3(s);
                c->side = io_get_vec3(s);
                c->lens = io_get_double(s);
                break;
            case 2:
                for (int32_t& w : c->words) w = float_as_word(io_get_double(s));
                c->word = truncate_to_int(io_get_double(s));
                break;
            case 3:
                c->roll = io_get_double(s);
                c->fov = io_get_double(s);
                io_get_varint(s);  // the keyed record's count: the key chunks say it all
                break;
            case 1031:
            case 1032: {
                if (!c->keys && !(c->keys = new (std::nothrow) CameraKeys()))
                    io_raise(s, kOutOfMemory);
                const int ch = sub.tag() == 1031 ? 0 : 1;
                get_channel(s, &c->keys->channel[ch], &c->keys->flags[ch]);
                break;
            }
            default:
                break;
        }
    }
}

}  // namespace

int camera_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &CAMERA::rtc_class);
    auto* c = static_cast<CAMERA*>(obj);
    c->words[0] = float_as_word(500.0);
    c->words[1] = float_as_word(0.25);
    const bool is_coded = coded(obj);
    auto own = [&](uint32_t tag, const ChunkMark&) {
        if (tag == kKindCamera) {
            camera_read_body(s, c);
            return true;
        }
        if (tag == kTagMaterial && !is_coded && c->material) {
            io_get_material(s, io_target_model(s), c->material);
            return true;
        }
        return false;
    };
    if (is_coded) {
        read_record(s, c, true, own);
    } else {
        ChunkMark level;
        if (io_find_chunk(s, &level, kTagWrapped)) {
            read_record(s, c, false, own);
            io_chunk_close(s);
        }
    }
    return 0;
}

// ---- LIGHT, SPOTLITE

int light_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &LIGHT::rtc_class);
    auto* l = static_cast<LIGHT*>(obj);
    const bool is_coded = coded(obj);
    if (is_coded) io_put_object_header(s, l);
    IoChunkWriter body(s, kKindLight);
    if (is_coded) io_put_string_chunk(s, l->name(), kTagName);
    auto* spot = rtc_cast<SPOTLITE>(l);
    {
        IoChunkWriter c(s, spot ? 1 : 0);
        io_put_vec3(s, l->position);
        io_put_colour4(s, l->light_colour);
        if (spot) {
            io_put_vec3(s, spot->target);
            io_put_double(s, spot->word);
            io_put_double(s, spot->cone_cos[0]);
            io_put_double(s, spot->cone_cos[1]);
        }
    }
    if (io_wants_tracks(s) && l->keys) {
        {
            IoChunkWriter count(s, 1025);
            io_put_varint(s, 3);
        }
        put_channel(s, l->keys->channel[0], l->keys->flags[0], 1034);
        put_channel(s, l->keys->channel[1], l->keys->flags[1], 1033);
        if (!l->keys->colour.empty()) {
            IoChunkWriter c(s, 1035);
            io_put_varint(s, static_cast<uint32_t>(l->keys->colour.size()));
            io_put_varint(s, static_cast<uint32_t>(l->keys->flags[2]));
            for (const ColourKey& k : l->keys->colour) {
                io_put_key_head(s, k);
                io_put_colour4(s, k.value);
            }
        }
    }
    return 0;
}

void light_read_chunk12(IOstream* s, LIGHT* light, std::unique_ptr<RTC>* made) {
    std::string name;
    bool named = false;
    std::unique_ptr<LightKeys> keys;
    auto body = [&](bool spot_body) -> LIGHT* {
        if (!made) return light;
        std::unique_ptr<RTC> l;
        const int r = rtc_init(l, spot_body ? &SPOTLITE::rtc_class : &LIGHT::rtc_class);
        if (r != 0) io_raise(s, r);
        *made = std::move(l);
        return static_cast<LIGHT*>(made->get());
    };
    while (io_chunk_inside(s)) {
        IoChunkReader sub(s);
        switch (sub.tag()) {
            case 0:
            case 1: {
                LIGHT* l = body(sub.tag() == 1);
                l->position = io_get_vec3(s);
                io_get_colour4(s, l->light_colour);
                if (sub.tag() == 1) {
                    const Vec3 target = io_get_vec3(s);
                    const double word = io_get_double(s);
                    const double c0 = io_get_double(s);
                    const double c1 = io_get_double(s);
                    if (auto* spot = rtc_cast<SPOTLITE>(l)) {
                        spot->target = target;
                        spot->word = truncate_to_int(word);
                        spot->cone_cos[0] = static_cast<float>(c0);
                        spot->cone_cos[1] = static_cast<float>(c1);
                    }
                }
                break;
            }
            case kTagName:
                name = io_get_string(s);
                named = true;
                break;
            case 1025:
                io_get_varint(s);
                if (!keys) {
                    keys.reset(new (std::nothrow) LightKeys());
                    if (!keys) io_raise(s, kOutOfMemory);
                }
                break;
            case 1033:
            case 1034:
                if (!keys) io_raise(s, kBadArgument);
                get_channel(s, &keys->channel[sub.tag() == 1034 ? 0 : 1],
                            &keys->flags[sub.tag() == 1034 ? 0 : 1]);
                break;
            case 1035: {
                if (!keys) io_raise(s, kBadArgument);
                const uint32_t n = io_get_varint(s);
                keys->flags[2] = io_get_varint_signed(s);
                io_check_count(s, n, 73);  // varint frame and nine doubles at least
                keys->colour.resize(n);
                for (ColourKey& k : keys->colour) {
                    io_get_key_head(s, &k);
                    io_get_colour4(s, k.value);
                }
                break;
            }
            default:
                break;
        }
    }
    LIGHT* l = made ? static_cast<LIGHT*>(made->get()) : light;
    if (!l) return;  // an older record without a body: its reader refuses it
    if (named && l->set_string(0, name.c_str()) != 0) io_raise(s, kOutOfMemory);
    if (keys) {
        delete l->keys;
        l->keys = keys.release();
    }
}

int light_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &LIGHT::rtc_class);
    auto* l = static_cast<LIGHT*>(obj);
    read_record(s, l, coded(obj), [&](uint32_t tag, const ChunkMark&) {
        if (tag != kKindLight) return false;
        light_read_chunk12(s, l, nullptr);
        return true;
    });
    return 0;
}
