// Helpers of the drawing-file tests (see file_support.h).
#include "file_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/file/records.h"
#include "model/font/strokefont.h"
#include "model/material/image/matrpmmf.h"
#include "model/material/material.h"

Bytes read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void write_bytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const std::string& path) {
    return std::filesystem::exists(path);
}

std::vector<std::string> folder_names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

ByteWriter& ByteWriter::u8(uint8_t v) {
    b.push_back(v);
    return *this;
}
ByteWriter& ByteWriter::i32(int32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    return *this;
}
ByteWriter& ByteWriter::f32(float v) {
    int32_t w;
    std::memcpy(&w, &v, 4);
    return i32(w);
}
ByteWriter& ByteWriter::f64(double v) {
    uint64_t w;
    std::memcpy(&w, &v, 8);
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(w >> (8 * i)));
    return *this;
}
ByteWriter& ByteWriter::varint(uint32_t v) {
    do {
        uint8_t byte = v & 0x7F;
        v >>= 7;
        if (v) byte |= 0x80;
        b.push_back(byte);
    } while (v);
    return *this;
}
ByteWriter& ByteWriter::str(const std::string& s) {
    varint(static_cast<uint32_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    return *this;
}
ByteWriter& ByteWriter::old_str(const std::string& s) {
    i32(static_cast<int32_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    return *this;
}
ByteWriter& ByteWriter::raw(const Bytes& more) {
    b.insert(b.end(), more.begin(), more.end());
    return *this;
}
ByteWriter& ByteWriter::point(float x, float y, float z) {
    return f32(x).f32(y).f32(z);
}
ByteWriter& ByteWriter::chunk(uint32_t tag, const Bytes& content) {
    varint(tag);
    i32(static_cast<int32_t>(content.size()));
    return raw(content);
}

std::unique_ptr<MODEL> new_model() {
    std::unique_ptr<RTC> m;
    EXPECT_EQ(rtc_init(m, &MODEL::rtc_class), 0);
    return std::unique_ptr<MODEL>(static_cast<MODEL*>(m.release()));
}

std::unique_ptr<MODEL> bare_model() {
    auto m = new_model();
    while (m->children) rtc_destroy(static_cast<ZOBJ*>(m->children));
    return m;
}

buffer* first_layer_selection(MODEL* m) {
    buffer* sel = buffer_new();
    auto* layer = static_cast<CONTAINER*>(m->children);
    ZDLIST* c = layer->children;
    do {
        EXPECT_EQ(buffer_add(sel, static_cast<ZOBJ*>(c)), 0);
        c = c->next;
    } while (c != layer->children);
    return sel;
}

PointNode* make_points(std::initializer_list<Vec3> pts, bool closed) {
    PointNode* head = nullptr;
    for (const Vec3& p : pts) EXPECT_EQ(plist_add(&head, p), 0);
    head = list_reverse(head);
    if (closed && head) {
        PointNode* last = head;
        while (last->next) last = last->next;
        last->next = head;
    }
    return head;
}

ZOBJ* find_named(MODEL* model, const char* name, const RtcClass* cls) {
    for (ZOBJ* z = model; z; z = tree_next(z, model)) {
        if (rtc_is_a(z, cls) && std::strcmp(z->name(), name) == 0) return z;
    }
    return nullptr;
}

// ---- Dump

namespace {

struct Dump {
    std::string out;
    void line(const std::string& s, int depth) {
        out.append(static_cast<size_t>(depth) * 2, ' ');
        out += s;
        out += '\n';
    }
};

std::string f(double v) {
    char b[64];
    std::snprintf(b, sizeof b, "%.17g", v);
    return b;
}

std::string points(const PointNode* l) {
    std::string s = "[";
    for (const PointNode* n = l; n;) {
        s += f(n->x) + "," + f(n->y) + "," + f(n->z) + ";";
        n = n->next;
        if (n == l) break;
    }
    return s + "]";
}

std::string lists(const PtrNode* l) {
    std::string s = "{";
    for (; l; l = l->next) s += points(static_cast<const PointNode*>(l->value));
    return s + "}";
}

template <class K>
std::string head(const K& k) {
    std::string s = "@" + std::to_string(k.frame) + "(";
    for (float p : k.params) s += f(p) + ",";
    return s + ")";
}

std::string vec(const Vec3& v) {
    return f(v.x) + "," + f(v.y) + "," + f(v.z);
}

std::string matrix(const Matrix43& m) {
    std::string s;
    for (double v : m.m) s += " " + f(v);
    return s;
}

void dump_material(Dump& d, const MaterialRecord* m, int depth) {
    if (!m) return;
    std::string s = "material";
    for (float c : m->colour) s += " " + f(c);
    for (float v : {m->self_illumination, m->transparency, m->diffuse, m->diffuse_exponent,
                    m->second_highlight, m->second_highlight_exponent, m->shininess,
                    m->specular_exponent, m->randomness, m->reflection_level, m->refraction})
        s += " " + f(v);
    s += " flags " + std::to_string(m->flags) + " smooth " + f(m->smoothing_angle);
    d.line(s, depth);
    for (int i = 0; i < kMaterialSlotCount; ++i) {
        const TextureSlot& t = m->slots[i];
        if (t.kind == 0) continue;
        std::string slot = "slot " + std::to_string(i) + " kind " + std::to_string(t.kind) +
                           " amount " + f(t.amount) + " mode " + std::to_string(t.mapping_mode);
        if (t.kind == kTextureImage) {
            const TextureMapping& mp = t.mapping;
            slot += " image " + std::string(mp.image ? mp.image->name() : "-") + " interp " +
                    std::to_string(mp.interpolation) + " flags " + std::to_string(mp.flags) +
                    " u " + f(mp.u_scale) + " v " + f(mp.v_scale) + " off " + f(mp.u_offset) +
                    "," + f(mp.v_offset) + " angle " + f(mp.angle) + " spare " + f(mp.spare) +
                    " key " + f(mp.key_colour[0]) + "," + f(mp.key_colour[1]) + "," +
                    f(mp.key_colour[2]) + "," + f(mp.key_colour[3]) + matrix(mp.matrix);
        } else {
            const PatternParams& pp = t.pattern;
            slot += " on " + std::to_string(pp.turbulence_on) + " turb " + f(pp.turbulence[0]) +
                    "," + f(pp.turbulence[1]) + "," + f(pp.turbulence[2]) + " freq " +
                    f(pp.frequency) + " phase " + f(pp.phase) + " noise " + f(pp.noise_amount) +
                    " oct " + std::to_string(pp.octaves) + " extra " + std::to_string(pp.extra);
        }
        if (t.ramp) {
            slot += " ramp " + std::to_string(t.ramp->count) + " ref " +
                    std::to_string(t.ramp->refcount);
            for (int32_t k = 0; k < t.ramp->count && t.ramp->keys; ++k) {
                const ColourRampKey& key = t.ramp->keys[k];
                slot += " " + f(key.position) + ":" + f(key.r) + "," + f(key.g) + "," + f(key.b) +
                        "," + f(key.a);
            }
        }
        if (t.transform) slot += " xf" + matrix(t.transform->fwd) + matrix(t.transform->inv);
        d.line(slot, depth + 1);
    }
}

std::string track_name(const KeyframeTrack* t) {
    return t ? (t->name ? std::string(t->name) : std::string("?")) : std::string("-");
}

void dump_track(Dump& d, const KeyframeTrack* t, int depth) {
    std::string s = "track '" + std::string(t->name ? t->name : "") + "' parent " +
                    track_name(t->parent) + " first child " + track_name(t->children) +
                    " next " + track_name(t->parent ? t->next : nullptr) + " w " +
                    std::to_string(t->word1) + "," + std::to_string(t->word2) + " pivot " +
                    f(t->pivot[0]) + "," + f(t->pivot[1]) + "," + f(t->pivot[2]);
    s += matrix(t->base.fwd) + matrix(t->base.inv);
    d.line(s, depth);
    for (const auto& k : t->position.keys)
        d.line("pos " + head(k) + f(k.value[0]) + "," + f(k.value[1]) + "," + f(k.value[2]),
               depth + 1);
    for (const auto& k : t->rotation.keys)
        d.line("rot " + head(k) + f(k.angle) + " axis " + f(k.axis[0]) + "," + f(k.axis[1]) +
                   "," + f(k.axis[2]) + matrix(k.accumulated.fwd) + matrix(k.accumulated.inv),
               depth + 1);
    for (const auto& k : t->scale.keys)
        d.line("scl " + head(k) + f(k.value[0]) + "," + f(k.value[1]) + "," + f(k.value[2]),
               depth + 1);
    for (const auto& k : t->objects.keys)
        d.line("obj " + head(k) + (k.target ? std::string(k.target->name()) : "-"), depth + 1);
    d.line("flags " + std::to_string(t->position.flags) + " " + std::to_string(t->rotation.flags) +
               " " + std::to_string(t->scale.flags) + " " + std::to_string(t->objects.flags),
           depth + 1);
}

void dump_object(Dump& d, const ZOBJ* z, int depth) {
    std::string s = std::string(z->klass()->name) + " '" + z->str(0) + "' '" + z->str(1) + "' '" +
                    z->str(2) + "'";
    if (const auto* o = rtc_cast<object>(z))
        s += " w " + f(o->width) + " c " + std::to_string(o->colour);
    d.line(s, depth);
    if (const auto* o = rtc_cast<object>(z)) {
        for (const KeyframeTrack* t = o->tracks; t; t = t->next_track) dump_track(d, t, depth + 1);
    }
    if (const auto* w = rtc_cast<WIRE>(z)) {
        d.line("wire " + f(w->curve_step) + " " + f(w->second) + " style " +
                   (w->line_style ? w->line_style->name() : "-") + " strokes " + lists(w->strokes),
               depth + 1);
    }
    if (const auto* x = rtc_cast<XPLINE>(z))
        d.line("xpline " + std::to_string(x->kind) + points(x->control), depth + 1);
    if (const auto* a = rtc_cast<ELARC>(z)) {
        d.line("elarc " + std::to_string(a->flags) + " " + vec(a->centre) + " " + vec(a->axis1) +
                   " " + vec(a->axis2) + " " + f(a->start) + " " + f(a->end),
               depth + 1);
    }
    if (const auto* h = rtc_cast<HATCH>(z)) {
        std::string hs = "hatch " + std::string(h->pattern ? h->pattern->name() : "-") + " " +
                         f(h->values[0]) + " " + f(h->values[1]);
        for (const PtrNode* c : h->contours) hs += " " + lists(c);
        d.line(hs, depth + 1);
    }
    if (const auto* t = rtc_cast<TEXT2>(z)) {
        std::string ts = "text '" + t->text + "' font " + (t->font ? t->font->name() : "-") + " " +
                         std::to_string(t->word) + " at " + vec(t->insert);
        for (double v : t->layout) ts += " " + f(v);
        for (float v : t->pairs) ts += " " + f(v);
        d.line(ts, depth + 1);
    }
    if (const auto* m = rtc_cast<MESH3>(z)) {
        dump_material(d, m->material, depth + 1);
        for (const MeshFaceBlock* b = m->blocks; b; b = b->next) {
            std::string bs = "block " + std::to_string(b->rows) + "x" + std::to_string(b->columns) +
                             " v" + std::to_string(b->vertices.size()) + " e" +
                             std::to_string(b->edges.size()) + " f" +
                             std::to_string(b->faces.size()) + " uv" + std::to_string(b->uv.size());
            for (const MeshVertex& v : b->vertices)
                bs += " " + f(v.x) + "," + f(v.y) + "," + f(v.z);
            for (const MeshEdge& e : b->edges)
                bs += " e" + std::to_string(e.v[0]) + "-" + std::to_string(e.v[1]) + ":" +
                      std::to_string(e.flags);
            for (const MeshFace& fc : b->faces)
                bs += " f" + std::to_string(fc.e[0]) + "," + std::to_string(fc.e[1]) + "," +
                      std::to_string(fc.e[2]) + ":" + std::to_string(fc.word);
            for (float u : b->uv) bs += " " + f(u);
            d.line(bs, depth + 1);
        }
    }
    if (const auto* c = rtc_cast<CAMERA>(z)) {
        dump_material(d, c->material, depth + 1);
        std::string cs = "camera " + vec(c->position) + " " + vec(c->target) + " " + vec(c->up) +
                         " " + vec(c->side) + " lens " + f(c->lens) + " words " +
                         std::to_string(c->words[0]) + "," + std::to_string(c->words[1]) + "," +
                         std::to_string(c->words[2]) + " " + std::to_string(c->word) + " roll " +
                         f(c->roll) + " fov " + f(c->fov);
        if (c->keys) {
            for (int ch = 0; ch < 2; ++ch) {
                cs += " ch" + std::to_string(ch) + " flags " + std::to_string(c->keys->flags[ch]);
                for (const auto& k : c->keys->channel[ch]) cs += " " + head(k) + f(k.value);
            }
        }
        d.line(cs, depth + 1);
    }
    if (const auto* l = rtc_cast<LIGHT>(z)) {
        std::string ls = "light " + vec(l->position) + " colour " + f(l->light_colour[0]) + "," +
                         f(l->light_colour[1]) + "," + f(l->light_colour[2]) + "," +
                         f(l->light_colour[3]);
        if (const auto* sp = rtc_cast<SPOTLITE>(z))
            ls += " spot " + vec(sp->target) + " " + std::to_string(sp->word) + " " +
                  f(sp->cone_cos[0]) + " " + f(sp->cone_cos[1]);
        if (l->keys) {
            for (int ch = 0; ch < 2; ++ch) {
                ls += " ch" + std::to_string(ch) + " flags " + std::to_string(l->keys->flags[ch]);
                for (const auto& k : l->keys->channel[ch]) ls += " " + head(k) + f(k.value);
            }
            ls += " colflags " + std::to_string(l->keys->flags[2]);
            for (const auto& k : l->keys->colour)
                ls += " col " + head(k) + f(k.value[0]) + "," + f(k.value[1]) + "," +
                      f(k.value[2]) + "," + f(k.value[3]);
        }
        d.line(ls, depth + 1);
    }
    if (const auto* v = rtc_cast<VPORT>(z)) {
        std::string vs = "vport";
        for (double p : v->params) vs += " " + f(p);
        d.line(vs, depth + 1);
    }
    if (const auto* lp = rtc_cast<LINEPATT>(z)) {
        std::string ds = "dashes";
        for (double v : lp->dashes) ds += " " + f(v);
        d.line(ds, depth + 1);
    }
    if (const auto* hp = rtc_cast<HATCHPATT>(z)) {
        for (const HatchLine& l : hp->lines) {
            std::string hs = "line " + f(l.angle) + " " + f(l.origin_x) + " " + f(l.origin_y) +
                             " " + f(l.offset_x) + " " + f(l.offset_y);
            for (double v : l.dashes) hs += " " + f(v);
            d.line(hs, depth + 1);
        }
    }
    if (const auto* fp = rtc_cast<FONTPATT>(z)) {
        std::string fs = "font";
        if (fp->font) {
            fs += " " + std::to_string(fp->font->design_width) + "x" +
                  std::to_string(fp->font->design_height);
            int strokes = 0;
            for (const FontGlyph& g : fp->font->glyphs) strokes += g.last + 1;
            fs += " strokes " + std::to_string(strokes);
        } else {
            fs += " none";
        }
        d.line(fs, depth + 1);
    }
    if (const auto* mp = rtc_cast<MATRPATT>(z)) {
        std::string is = "image";
        if (mp->has_own_pixels()) {
            is += " " + std::to_string(mp->width) + "x" + std::to_string(mp->height);
            const size_t n = static_cast<size_t>(mp->width) * static_cast<size_t>(mp->height) * 3;
            for (size_t i = 0; i < n; ++i) is += " " + std::to_string(mp->pixels[i]);
        } else {
            is += " none";
        }
        d.line(is, depth + 1);
    }
    if (const auto* mmf = rtc_cast<MATRPMMF>(z)) {
        std::string ms = "mmf " + std::to_string(mmf->kind) + " '" +
                         (mmf->file_name ? mmf->file_name : "") + "' " + std::to_string(mmf->size) +
                         ":";
        for (uint32_t i = 0; i < mmf->size; ++i) ms += " " + std::to_string(mmf->data[i]);
        d.line(ms, depth + 1);
    }
    if (const auto* c = rtc_cast<CONTAINER>(z); c && c->children) {
        const ZDLIST* n = c->children;
        do {
            dump_object(d, static_cast<const ZOBJ*>(n), depth + 1);
            n = n->next;
        } while (n != c->children);
    }
}

}  // namespace

std::string dump_drawing(const MODEL* model) {
    Dump d;
    if (model->patterns) {
        const ZDLIST* p = model->patterns;
        do {
            dump_object(d, static_cast<const ZOBJ*>(p), 0);
            p = p->next;
        } while (p != model->patterns);
    }
    d.line("-- tree", 0);
    if (model->children) {
        const ZDLIST* n = model->children;
        do {
            dump_object(d, static_cast<const ZOBJ*>(n), 0);
            n = n->next;
        } while (n != model->children);
    }
    d.line("frames " + std::to_string(model->frame_count), 0);
    return d.out;
}

void FileTest::SetUp() {
    drawing_file_register();
    objects_before_ = rtc_live_objects();
    char templ[] = "/tmp/zelo_file_test_XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    dir_ = templ;
}

void FileTest::TearDown() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    EXPECT_EQ(rtc_live_objects(), objects_before_) << "objects left alive";
}
