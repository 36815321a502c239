// Reading the unchunked drawing and block files of versions 100 to 111 into the same
// objects the current format makes.
#include "model/file/old_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "model/file/load_context.h"
#include "model/file/record_util.h"
#include "model/geom/query.h"
#include "model/geom/regen.h"
#include "model/math/matrix.h"
#include "model/math/plist.h"
#include "model/math/scalar.h"
#include "model/services/log.h"
#include "model/mesh/mesh_block.h"
#include "model/stream/iorec.h"
#include "model/material/material.h"

MeshIndexColourFn g_old_mesh_index_colour = nullptr;

namespace {

int32_t version(IOstream* s) {
    return io_format_version(s);
}

int32_t get_count(IOstream* s, uint64_t min_item_bytes) {
    const int32_t n = io_get_long(s);
    io_check_count(s, n, min_item_bytes);  // negative or more than the file holds: 13
    return n;
}

// Dash lengths and layout values: doubles from version 110, floats before.
double get_real(IOstream* s) {
    return version(s) >= 110 ? io_get_double(s) : io_get_float(s);
}

PointNode* get_point_list(IOstream* s) {
    const int32_t n = get_count(s, 12);
    PendingPoints points;
    for (int32_t i = 0; i < n; ++i) points.add(s, io_get_vec3(s));
    return points.release();
}

// A point-list set appended to *lists (null: read and dropped).
void get_point_set(IOstream* s, PtrNode** lists) {
    struct Dropped {
        PtrNode* lists = nullptr;
        ~Dropped() { plist_list_free(&lists); }
    } dropped;  // freed also when a read raises
    const int32_t n = get_count(s, 4);
    PtrNode** tail = lists ? lists : &dropped.lists;
    while (*tail) tail = &(*tail)->next;
    for (int32_t i = 0; i < n; ++i) {
        PointNode* list = get_point_list(s);
        auto* node = new (std::nothrow) PtrNode{nullptr, list};
        if (!node) {
            list_free(&list);
            io_raise(s, kOutOfMemory);
        }
        *tail = node;
        tail = &node->next;
    }
}

PATT* find_style(IOstream* s, const std::string& name, const RtcClass* cls) {
    return model_find_patt(io_target_model(s), name.c_str(), cls);
}

void get_dashes(IOstream* s, std::vector<double>* dashes) {
    const int32_t n = get_count(s, version(s) >= 110 ? 8 : 4);
    dashes->resize(static_cast<size_t>(n));
    for (double& d : *dashes) d = get_real(s);
}

// ---- Objects

// The tail of the oldest records: width flag, no line style, the class's resolution.
void read_tail(IOstream* s, object* obj) {
    const int32_t w = io_get_long(s);
    obj->width = w == 4 ? 1.5f : 0.0f;
    if (auto* wire = rtc_cast<WIRE>(obj)) {
        wire->line_style = nullptr;
        wire->curve_step = rtc_is<ELARC>(obj) ? deg_to_rad(15.0) : 1.0;
    }
}

void read_arc_3pt(ELARC* a, const Vec3& p1, const Vec3& p2, const Vec3& p3) {
    const Vec3 d1{p2.x - p1.x, p2.y - p1.y, p2.z - p1.z};
    const Vec3 d2{p3.x - p1.x, p3.y - p1.y, p3.z - p1.z};
    const Vec3 n{d1.y * d2.z - d1.z * d2.y, d1.z * d2.x - d1.x * d2.z, d1.x * d2.y - d1.y * d2.x};
    Matrix43 to_plane, from_plane;
    mat_align_z(&to_plane, &p1, n.x, n.y, n.z, 1);
    mat_align_z(&from_plane, &p1, n.x, n.y, n.z, 0);
    Vec3 q1, q2, q3;
    mat_xform_point(&q1, &p1, &to_plane);
    mat_xform_point(&q2, &p2, &to_plane);
    mat_xform_point(&q3, &p3, &to_plane);
    double cx, cy, r;
    if (!circle_3pt(&cx, &cy, &r, nullptr, nullptr, nullptr, nullptr, q1, q2, q3)) return;
    const Vec3 c{static_cast<float>(cx), static_cast<float>(cy), q1.z};
    const Vec3 ax{static_cast<float>(cx + r), c.y, c.z};
    const Vec3 ay{c.x, static_cast<float>(cy + r), c.z};
    mat_xform_point(&a->centre, &c, &from_plane);
    mat_xform_point(&a->axis1, &ax, &from_plane);
    mat_xform_point(&a->axis2, &ay, &from_plane);
    auto angle = [&](const Vec3& q) {
        const double x = q.x - cx, y = q.y - cy;
        const double len = std::sqrt(x * x + y * y);
        if (len < 1e-30) return 0.0;
        const double t = std::acos(std::clamp(x / len, -1.0, 1.0));
        return y < 0 ? 2 * M_PI - t : t;
    };
    a->start = angle(q1);
    a->end = angle(q3);
}

// A four-sided face becomes two triangles joined by a hidden edge.
void add_face(IOstream* s, MeshFaceBlock* b, const int32_t* e, int sides) {
    if (sides < 4) {
        b->faces.push_back(MeshFace{{e[0], e[1], e[2]}, 0});
        return;
    }
    const MeshEdge& a = b->edges[e[0]];
    const MeshEdge& c = b->edges[e[1]];
    int32_t from, to;
    if (a.v[0] == c.v[0])
        from = a.v[1], to = c.v[1];
    else if (a.v[0] == c.v[1])
        from = a.v[1], to = c.v[0];
    else if (a.v[1] == c.v[0])
        from = a.v[0], to = c.v[1];
    else if (a.v[1] == c.v[1])
        from = a.v[0], to = c.v[0];
    else
        io_raise(s, kBadArgument);
    const auto diagonal = static_cast<int32_t>(b->edges.size());
    b->edges.push_back(MeshEdge{{from, to}, kEdgeHidden});
    b->faces.push_back(MeshFace{{e[0], e[1], diagonal}, 0});
    b->faces.push_back(MeshFace{{e[2], e[3], diagonal}, 0});
}

void read_mesh_block(IOstream* s, MeshFaceBlock* b) {
    uint32_t a = 0, c = 0;
    if (version(s) >= 105) {
        a = static_cast<uint32_t>(io_get_long(s));
        c = static_cast<uint32_t>(io_get_long(s));
    }
    const int32_t nv = get_count(s, 12);
    b->vertices.resize(static_cast<size_t>(nv));
    for (MeshVertex& v : b->vertices) {
        const Vec3 p = io_get_vec3(s);
        v = MeshVertex{p.x, p.y, p.z, {0, 0, 0, 0, 0, 0}};
    }
    const bool flagged = version(s) >= 111;
    const int32_t ne = get_count(s, flagged ? 12 : 8);
    b->edges.resize(static_cast<size_t>(ne));
    for (MeshEdge& e : b->edges) {
        for (int32_t& v : e.v) {
            const auto i = static_cast<uint32_t>(io_get_long(s));  // unsigned: no negative slips by
            if (i >= static_cast<uint32_t>(nv)) io_raise(s, kBadArgument);
            v = static_cast<int32_t>(i);
        }
        e.flags = flagged ? static_cast<uint16_t>(io_get_long(s)) : 0;
    }
    if (a != 0 && c != 0) {
        const uint64_t n = static_cast<uint64_t>(nv);
        bool a_grew = false, c_grew = false;
        if (uint64_t{a} * c != n) {
            if (uint64_t{a + 1ull} * (c + 1ull) == n) {
                a_grew = c_grew = true;
            } else if (a <= b->edges.size() && a >= 1 && b->edges[a - 1].v[1] == b->edges[0].v[0]) {
                c_grew = true;
            } else {
                a_grew = true;
            }
        }
        const uint64_t points = a + (a_grew ? 1ull : 0ull);
        const uint64_t rows = c + (c_grew ? 1ull : 0ull);
        if (points * rows != n) io_raise(s, kBadArgument);
        b->edges.clear();
        const int r = mesh_grid_build(b, static_cast<int32_t>(points), static_cast<int32_t>(rows),
                                      !a_grew, !c_grew);
        if (r != 0) io_raise(s, r == kBadArgument ? kBadArgument : kOutOfMemory);
        const int32_t skipped = get_count(s, 4);
        for (int32_t i = 0; i < skipped; ++i) {
            const int32_t words = get_count(s, 4);
            for (int32_t k = 0; k < words; ++k) io_get_long(s);
        }
        return;
    }
    const int32_t nf = get_count(s, 16);
    for (int32_t f = 0; f < nf; ++f) {
        const int32_t sides = io_get_long(s);
        if (sides > 4) io_raise(s, kBadArgument);
        const int count = sides == 4 ? 4 : 3;
        int32_t e[4];
        for (int k = 0; k < count; ++k) {
            const auto i = static_cast<uint32_t>(io_get_long(s));
            if (i >= static_cast<uint32_t>(ne)) io_raise(s, kBadArgument);
            e[k] = static_cast<int32_t>(i);
        }
        add_face(s, b, e, count);
    }
}

void read_mesh(IOstream* s, MESH3* m) {
    const int32_t blocks = version(s) >= 105 ? get_count(s, 12) : 1;
    MeshFaceBlock** tail = &m->blocks;
    while (*tail) tail = &(*tail)->next;
    for (int32_t i = 0; i < blocks; ++i) {
        auto* b = new (std::nothrow) MeshFaceBlock();
        if (!b) io_raise(s, kOutOfMemory);
        *tail = b;
        tail = &b->next;
        read_mesh_block(s, b);
    }
}

// The material of a mesh record (from version 106).
void read_material(IOstream* s, MaterialRecord* m) {
    if (io_get_long(s) == 0) return;
    TextureSlot& slot = m->slots[kSlotTexture];
    slot.amount = 1.0f;
    const float u = static_cast<float>(io_get_float(s));
    const float v = static_cast<float>(io_get_float(s));
    const uint32_t bits = static_cast<uint32_t>(io_get_long(s));
    uint16_t flags = static_cast<uint16_t>(bits & 3);
    if (bits & 4) flags |= 8;
    if (bits & 8) flags |= 4;
    if (bits & 64) flags |= 32;
    m->flags = ((bits & 32) ? 2u : 0u) | ((bits & 16) ? 4u : 0u) | ((bits & 128) ? 1u : 0u);
    m->specular_exponent = static_cast<float>(io_get_long(s));
    m->transparency = static_cast<float>(io_get_long(s) * 0.01);
    if (version(s) < 108) {
        m->specular_exponent *= 50;
        m->transparency = 0;
        if (m->specular_exponent == 0) m->specular_exponent = 25;
    }
    if (version(s) >= 109) {
        m->self_illumination = static_cast<float>(io_get_long(s) * 0.01);
        m->diffuse = static_cast<float>(io_get_long(s) * 0.01);
        m->diffuse_exponent = static_cast<float>(io_get_long(s) * 0.01);
        m->shininess = static_cast<float>(io_get_long(s) * 0.01);
        m->randomness = static_cast<float>(io_get_long(s) * 0.01);
    }
    const std::string name = old_read_string(s);
    if (name.empty()) return;
    auto* image = static_cast<MATRPATT*>(find_style(s, name, &MATRPATT::rtc_class));
    if (!image) {
        slot.kind = kTextureNone;
        return;
    }
    slot.kind = kTextureImage;
    slot.mapping_mode = 1;
    texture_mapping_init(&slot.mapping);
    TextureMapping& map = slot.mapping;
    map.u_scale = u;
    map.v_scale = v;
    map.angle = static_cast<float>((flags & 3) * 90);
    map.flags = flags & 3;
    map.image = image;
    texture_mapping_build_matrix(&map.matrix, u, v, map.angle, false, false, 0, 0);
}

RtcClass* class_of_kind(int32_t kind) {
    switch (kind) {
        case 0:
        case 1:
            return &XPLINE::rtc_class;
        case 3:
        case 4:
        case 7:
        case 9:
            return &ELARC::rtc_class;
        case 5:
            return &TEXT2::rtc_class;
        case 6:
            return &MESH3::rtc_class;
        case 8:
            return &HATCH::rtc_class;
        case 16:
            return &CONTAINER::rtc_class;
        default:
            return nullptr;
    }
}

}  // namespace

static void place(IOstream* s, std::unique_ptr<RTC> made, CONTAINER* container, buffer* selection) {
    if (!made) return;  // left out by its reader
    auto* obj = static_cast<object*>(made.get());
    if (container) {
        if (container_insert(container, obj) != 0) return;
        made.release();
    } else if (selection) {
        obj_update_bbox(obj);
        const int r = buffer_add(selection, obj);
        if (r != 0) io_raise(s, r);
        made.release();  // the caller owns the objects of the selection
    }
}

void old_read_group(IOstream* s, MODEL* model, CONTAINER* container, buffer* selection,
                    int32_t kind) {
    const int32_t n = get_count(s, 4);
    for (int32_t i = 0; i < n; ++i) place(s, old_read_object(s, model, kind), container, selection);
}

static void read_groups(IOstream* s, MODEL* model, CONTAINER* container, buffer* selection,
                        bool with_groups) {
    for (int32_t kind : {0, 3, 4, 7, 1, 5}) old_read_group(s, model, container, selection, kind);
    if (version(s) >= 103) old_read_group(s, model, container, selection, 9);
    if (version(s) >= 104) {
        old_read_group(s, model, container, selection, 6);
        const int32_t hatches = io_get_long(s);
        if (hatches == 1)
            old_read_group(s, model, container, selection, 8);
        else if (hatches != 0)
            io_raise(s, kIoWrongTopChunk);
    }
    if (with_groups) {
        if (version(s) < 103) io_get_long(s);
        old_read_group(s, model, container, selection, 16);
    }
}

namespace {

// The fields every record of version 103 on starts with; returns the kind the record
// says it is (for polylines: open, closed or contour).
int32_t read_record_head(IOstream* s, object* obj, int32_t kind) {
    const int32_t v = version(s);
    const int32_t stored = io_get_long(s);
    if (stored != kind && !(kind == 1 && (stored == 0 || stored == 2))) io_raise(s, kBadArgument);
    if (v >= 104) {
        int32_t box[6];
        io_get_longs(s, box, 6);
        if (auto* t = rtc_cast<TEXT2>(obj)) {
            // Older files keep the text's box here; texts of those versions lie
            // in the x-y plane, and the first pair now holds the plane normal.
            std::memcpy(t->pairs, box, sizeof box);
            text2_set_normal(*t, Vec3d{0, 0, 1});
        }
    }
    obj->width = static_cast<float>(io_get_long(s) / kAttributeScale);
    obj->colour = io_get_long(s);
    const double resolution = get_real(s);
    const std::string style = old_read_string(s);
    obj->file_id = io_get_long(s);
    auto* wire = rtc_cast<WIRE>(obj);
    if (wire) {
        wire->curve_step = resolution;
        wire->line_style = static_cast<LINEPATT*>(find_style(s, style, &LINEPATT::rtc_class));
    }
    get_point_set(s, wire ? &wire->strokes : nullptr);
    if (v >= 106) {
        if (auto* m = rtc_cast<MESH3>(obj); m && m->material)
            read_material(s, m->material);
        else
            io_get_long(s);
    }
    return stored;
}

// Before version 103 the attributes follow the geometry.
void read_older_tail(IOstream* s, object* obj) {
    read_tail(s, obj);
    obj->colour = io_get_long(s);
}

// The display strokes before version 103, rebuilt after reading.
void skip_older_strokes(IOstream* s, object* obj) {
    if (version(s) >= 103) return;
    get_point_set(s, nullptr);
    read_older_tail(s, obj);
}

void read_line(IOstream* s, XPLINE* x) {
    PendingPoints pts;
    pts.add(s, io_get_vec3(s));
    pts.add(s, io_get_vec3(s));
    list_free(&x->control);
    x->control = pts.release();
    x->kind = 0;
    const int32_t segments = get_count(s, 24);
    for (int32_t i = 0; i < segments; ++i) {
        io_get_vec3(s);  // the display strokes are rebuilt below
        io_get_vec3(s);
    }
    read_older_tail(s, x);
}

void read_polyline(IOstream* s, XPLINE* x, int32_t stored) {
    list_free(&x->control);
    x->control = get_point_list(s);
    if (version(s) < 103) {
        get_point_set(s, nullptr);
        stored = io_get_long(s);
        read_older_tail(s, x);
    }
    x->kind = stored >= 0 && stored <= 2 ? stored : 1;
    if (x->kind == 2) contour_make_cw(&x->control);
}

void read_circle(IOstream* s, ELARC* a) {
    const Vec3 c = io_get_vec3(s);
    const float r = static_cast<float>(io_get_float(s));
    a->centre = c;
    a->axis1 = Vec3{c.x + r, c.y, c.z};
    a->axis2 = Vec3{c.x, c.y + r, c.z};
    a->flags = 3;
    a->start = a->end = 0;
    skip_older_strokes(s, a);
}

void read_arc(IOstream* s, ELARC* a) {
    const Vec3 p1 = io_get_vec3(s), p2 = io_get_vec3(s), p3 = io_get_vec3(s);
    a->flags = 1;
    read_arc_3pt(a, p1, p2, p3);
    skip_older_strokes(s, a);
}

void read_text(IOstream* s, TEXT2* t) {
    const int32_t v = version(s);
    t->text = old_read_string(s);
    if (v < 103) get_point_set(s, nullptr);
    t->insert = io_get_vec3(s);
    for (int i = 0; i < 4; ++i) t->layout[i] = get_real(s);
    PATT* font = nullptr;
    if (v >= 103) {
        t->layout[4] = get_real(s);
        t->layout[5] = get_real(s);
        t->word = io_get_long(s);
        font = find_style(s, old_read_string(s), &FONTPATT::rtc_class);
    } else {
        t->colour = io_get_long(s);
    }
    if (!font) font = find_style(s, "DEFAULT", &FONTPATT::rtc_class);
    t->font = static_cast<FONTPATT*>(font);
}

void read_ellipse(IOstream* s, ELARC* a) {
    a->centre = io_get_vec3(s);
    a->axis1 = io_get_vec3(s);
    a->axis2 = io_get_vec3(s);
    a->flags = 2;
    a->start = a->end = 0;
}

void read_hatch(IOstream* s, HATCH* h) {
    h->pattern = static_cast<HATCHPATT*>(find_style(s, old_read_string(s), &HATCHPATT::rtc_class));
    for (PtrNode*& set : h->contours) get_point_set(s, &set);
    h->values[0] = io_get_double(s);
    h->values[1] = io_get_double(s);
}

// The body of a record of the given kind.
void read_body(IOstream* s, MODEL* model, object* obj, int32_t kind, int32_t stored) {
    switch (kind) {
        case 0:
            read_line(s, static_cast<XPLINE*>(obj));
            break;
        case 1:
            read_polyline(s, static_cast<XPLINE*>(obj), stored);
            break;
        case 3:
            read_circle(s, static_cast<ELARC*>(obj));
            break;
        case 4:
            read_arc(s, static_cast<ELARC*>(obj));
            break;
        case 5:
            read_text(s, static_cast<TEXT2*>(obj));
            break;
        case 7:
            read_ellipse(s, static_cast<ELARC*>(obj));
            break;
        case 8:
            read_hatch(s, static_cast<HATCH*>(obj));
            break;
        case 9:
            elarc_read_body(s, static_cast<ELARC*>(obj));
            break;
        case 6:
            read_mesh(s, static_cast<MESH3*>(obj));
            break;
        case 16:
            read_groups(s, model, static_cast<CONTAINER*>(obj), nullptr, false);
            break;
        default:
            break;
    }
}

// The words that close a record of version 103 on; nothing in them is kept.
void skip_record_end(IOstream* s) {
    int32_t words[3];
    io_get_longs(s, words, 3);
    if (words[2] == 153) {
        int32_t more[6];
        io_get_longs(s, more, 6);
    }
}

void apply_mesh_index_colour(object* obj) {
    if (auto* m = rtc_cast<MESH3>(obj); m && m->material && g_old_mesh_index_colour) {
        float rgba[4];
        g_old_mesh_index_colour(rgba, m->colour);
        for (int i = 0; i < 3; ++i) m->material->colour[i] = rgba[i];
    }
}

// Builds the object's geometry. An object whose geometry cannot be built is left
// out (made is reset); the rest of the drawing is read.
void build_or_skip(IOstream* s, const RtcClass* cls, std::unique_ptr<RTC>& made) {
    auto* obj = static_cast<object*>(made.get());
    const auto* x = rtc_cast<XPLINE>(obj);
    if (const int rc = x && !plist_finite(x->control) ? kBadArgument : regen_object(obj);
        rc == kOutOfMemory) {
        io_raise(s, kOutOfMemory);
    } else if (rc != 0) {
        load_note_skipped(cls->name);
        made.reset();
    }
}

}  // namespace

std::unique_ptr<RTC> old_read_object(IOstream* s, MODEL* model, int32_t kind) {
    RtcClass* cls = class_of_kind(kind);
    if (!cls) io_raise(s, kBadArgument);
    std::unique_ptr<RTC> made;
    if (rtc_init(made, cls) != 0) io_raise(s, kOutOfMemory);
    auto* obj = static_cast<object*>(made.get());
    const bool headed = version(s) >= 103;
    const int32_t stored = headed ? read_record_head(s, obj, kind) : kind;
    load_note_object(obj);
    read_body(s, model, obj, kind, stored);
    if (headed) skip_record_end(s);
    apply_mesh_index_colour(obj);
    build_or_skip(s, cls, made);
    return made;
}

namespace {

// One style record; null when it is dropped.
void read_style(IOstream* s, MODEL* model) {
    static RtcClass* const classes[4] = {&LINEPATT::rtc_class, &HATCHPATT::rtc_class,
                                         &FONTPATT::rtc_class, &MATRPATT::rtc_class};
    const int32_t kind = io_get_long(s);
    if (kind < 0 || kind > 3) io_raise(s, kBadArgument);
    const std::string name = old_read_string(s);
    std::unique_ptr<RTC> made;
    if (rtc_init(made, classes[kind]) != 0) io_raise(s, kOutOfMemory);
    switch (kind) {
        case 0:
            get_dashes(s, &static_cast<LINEPATT*>(made.get())->dashes);
            break;
        case 1: {
            auto* p = static_cast<HATCHPATT*>(made.get());
            const int32_t n = get_count(s, 5 * 8 + 4);
            p->lines.resize(static_cast<size_t>(n));
            for (HatchLine& l : p->lines) {
                l.angle = io_get_double(s);
                l.origin_x = io_get_double(s);
                l.origin_y = io_get_double(s);
                l.offset_x = io_get_double(s);
                l.offset_y = io_get_double(s);
                get_dashes(s, &l.dashes);
            }
            break;
        }
        case 2:
            io_get_font(s, static_cast<FONTPATT*>(made.get()));
            break;
        default: {
            auto* p = static_cast<MATRPATT*>(made.get());
            const int32_t w = io_get_long(s), h = io_get_long(s);
            if (w < 0 || h < 0) io_raise(s, kBadArgument);
            if (w == 0 || h == 0) break;
            const uint64_t bytes = uint64_t(w) * uint64_t(h) * 3;
            io_check_count(s, static_cast<int64_t>(bytes), 1);
            auto* pixels = new (std::nothrow) uint8_t[bytes];
            if (!pixels) io_raise(s, kOutOfMemory);
            p->release_image();
            p->pixels = pixels;
            p->width = w;
            p->height = h;
            io_read(s, pixels, bytes);
            break;
        }
    }
    auto* style = static_cast<PATT*>(made.get());
    if (auto* img = rtc_cast<MATRPATT>(style); img && !img->has_own_pixels()) return;
    if (name.empty())
        return;  // nothing can refer to a nameless style: dropped as in the current reader
    if (style->set_string(0, name.c_str()) != 0) io_raise(s, kOutOfMemory);
    if (model && model_insert_patt(model, style)) made.release();
}

}  // namespace

std::string old_read_string(IOstream* s) {
    const int32_t n = get_count(s, 1);
    std::string text(static_cast<size_t>(n), '\0');
    io_read(s, text.data(), text.size());
    text.resize(std::strlen(text.c_str()));  // a zero inside ends the text
    return text;
}

void old_read_styles(IOstream* s, MODEL* model) {
    if (version(s) < 103) return;
    const int32_t n = get_count(s, 8);
    for (int32_t i = 0; i < n; ++i) read_style(s, model);
}

void old_read_layer(IOstream* s, MODEL* model) {
    char raw[17];
    io_read(s, raw, 16);
    raw[16] = '\0';  // a name filling all 16 bytes has no terminator of its own
    std::unique_ptr<RTC> made;
    if (rtc_init(made, &LAYER::rtc_class) != 0) io_raise(s, kOutOfMemory);
    auto* layer = static_cast<LAYER*>(made.get());
    load_note_object(layer);
    CONTAINER* into = layer;
    const int r = g_hook_add_layer ? g_hook_add_layer(model, layer, raw) : kBadArgument;
    if (r == 0) {
        made.release();
    } else if (r == kBadArgument) {
        into = rtc_cast<LAYER>(model_find_named(model, raw, &LAYER::rtc_class));
        if (!into) {
            if (layer->set_string(0, raw) != 0 || container_insert(model, layer) != 0)
                io_raise(s, kBadArgument);
            made.release();
            into = layer;
        }
    } else {
        io_raise(s, r);
    }
    old_read_groups(s, model, into, nullptr, true);
}

void old_read_groups(IOstream* s, MODEL* model, CONTAINER* container, buffer* selection,
                     bool with_groups) {
    read_groups(s, model, container, selection, with_groups);
}

void old_read_drawing(IOstream* s, MODEL* model) {
    old_read_styles(s, model);
    const int32_t layers = get_count(s, 16);
    for (int32_t i = 0; i < layers; ++i) old_read_layer(s, model);
}

void old_read_block(IOstream* s, MODEL* model, buffer* selection, Vec3* base, bool info_only) {
    if (version(s) < 103) {
        int32_t ignored[4];
        io_get_longs(s, ignored, 4);
    }
    std::unique_ptr<RTC> scratch;
    MODEL* styles_into = model;
    if (info_only || !model) {
        if (rtc_init(scratch, &MODEL::rtc_class) != 0) io_raise(s, kOutOfMemory);
        styles_into = static_cast<MODEL*>(scratch.get());
    }
    if (IOrec* rec = rtc_cast<IOrec>(s)) rec->target_model = styles_into;
    old_read_styles(s, styles_into);
    int32_t words[3];
    io_get_longs(s, words, 3);
    if (base) std::memcpy(base, words, sizeof words);
    if (info_only) return;
    old_read_groups(s, styles_into, nullptr, selection, true);
    if (scratch && selection) {
        // Without a drawing to merge into, the objects lose their references to the
        // scratch styles before those go.
        auto* m = static_cast<MODEL*>(scratch.get());
        for (ZDLIST* p = m->patterns; p; p = p->next == m->patterns ? nullptr : p->next) {
            for (RefNode* n = selection->refs; n; n = n->next) {
                if (n->ref) n->ref->replace_ref(p, nullptr);
            }
        }
    }
}
