// The VIEW record of the drawing file: chunk 0 holding eight tagged sub-chunks
// (0 projection, 1 previous zoom, 2 selection by file id, 3 colours, name and current
// material, 4 construction settings, 5 current styles by name and dimension settings,
// 6 layer state, 7 window placement). Everything read is checked before it is used:
// scales and transforms must be finite and sensible, counts must fit the chunk and
// placements must be window sizes. A view is the window's state, not the user's work:
// a field that fails its check keeps its initial value, with a logged warning, and
// the drawing still opens.
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "graphics/view/colours.h"
#include "graphics/view/projection.h"
#include "graphics/view/view.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/file/drawing_file.h"
#include "model/file/load_context.h"
#include "model/math/matrix.h"
#include "model/services/log.h"
#include "model/services/utf8.h"
#include "model/stream/iorec.h"
#include "model/stream/iostream.h"
#include "model/stream/matchunk.h"

namespace {

// Largest window coordinate or size a placement may hold.
constexpr int32_t kMaxPlacement = 1 << 20;

// Signed words as varints (a negative word in its five-byte two's-complement form).
void put_varints(IOstream* s, const int32_t* v, int n) {
    io_put_varints(s, reinterpret_cast<const uint32_t*>(v), n);
}
void get_varints(IOstream* s, int32_t* v, int n) {
    io_get_varints(s, reinterpret_cast<uint32_t*>(v), n);
}
void put_doubles(IOstream* s, const double* v, int n) {
    for (int i = 0; i < n; ++i) io_put_double(s, v[i]);
}
void get_doubles(IOstream* s, double* v, int n) {
    for (int i = 0; i < n; ++i) v[i] = io_get_double(s);
}
void put_vec_words(IOstream* s, const Vec3& v) {
    io_put_float(s, v.x);
    io_put_float(s, v.y);
    io_put_float(s, v.z);
}
void get_vec_words(IOstream* s, Vec3* v) {
    v->x = static_cast<float>(io_get_float(s));
    v->y = static_cast<float>(io_get_float(s));
    v->z = static_cast<float>(io_get_float(s));
}
void put_area(IOstream* s, const ViewArea& a) {
    const double v[4] = {a.x_min, a.x_max, a.y_min, a.y_max};
    put_doubles(s, v, 4);
    io_put_varint(s, static_cast<uint32_t>(a.flag));
}
void get_area(IOstream* s, ViewArea* a) {
    double v[4];
    get_doubles(s, v, 4);
    *a = {v[0], v[1], v[2], v[3], io_get_varint_signed(s)};
}
void put_name(IOstream* s, const ZOBJ* style) {
    io_put_string(s, style ? style->name() : "");
}

// False, with a warning naming the field, when a field read is unusable; the caller
// then leaves the field as the view's init set it.
bool usable(bool ok, const char* field) {
    if (!ok) log_message(LogLevel::warning, "VIEW record: unusable %s; its default is used", field);
    return ok;
}
bool positive(double v) {
    return std::isfinite(v) && v > 0;
}
bool finite_matrix(const Matrix43& m) {
    for (double v : m.m)
        if (!std::isfinite(v)) return false;
    return true;
}
// A view rotation read back must be usable: finite, and its stored inverse must undo it.
bool rotation_pair_ok(const Transform& t) {
    if (!finite_matrix(t.fwd) || !finite_matrix(t.inv)) return false;
    Matrix43 p;
    mat_mul(&p, &t.fwd, &t.inv);
    for (int i = 0; i < 9; ++i) {
        const double want = (i % 4 == 0) ? 1.0 : 0.0;
        if (std::fabs(p.m[i] - want) > 1e-3) return false;
    }
    return true;
}

Transform rotation_of(const ViewProjection& vp) {
    Transform r = {vp.view, vp.inverse};
    for (int i = 9; i < 12; ++i) r.fwd.m[i] = r.inv.m[i] = 0.0;
    return r;
}

// Translation by (-x, -y, -z), then scaling by s on every axis.
Transform origin_transform(double x, double y, double z, double s) {
    Transform move, scale, r;
    xform_translate(&move, -x, -y, -z);
    xform_scale(&scale, s, s, s);
    xform_compose(&r, &move, &scale);
    return r;
}

// The origin stored in a tag-1 transform: its inverse applied to (0, 0, 0).
void read_origin(IOstream* s, double* x, double* y) {
    std::unique_ptr<Transform> t;
    io_get_transform(s, t);
    if (!usable(t && finite_matrix(t->inv) && std::isfinite(t->inv.m[9]) && std::isfinite(t->inv.m[10]),
                "origin"))
        return;
    *x = t->inv.m[9];
    *y = t->inv.m[10];
}

MODEL* target_model(IOstream* s) {
    auto* rec = rtc_cast<IOrec>(s);
    return rec ? rec->target_model : nullptr;
}

// ---- Writing

void write_projection(IOstream* s, const VIEW* v) {
    const ViewProjection& p = v->projection;
    IoChunkWriter c(s, 0);
    io_put_double(s, p.scale);
    const double four[4] = {p.reserved[0], p.reserved[1], p.reserved[2], p.eye_distance};
    put_doubles(s, four, 4);
    const double three[3] = {p.centre_x, p.centre_y, p.reserved2};
    put_doubles(s, three, 3);
    io_put_varint(s, static_cast<uint32_t>(p.mode));
    const Transform rot = rotation_of(p);
    const Transform org = origin_transform(p.origin_x, p.origin_y, v->elevation, p.scale);
    Transform both;
    xform_compose(&both, &rot, &org);
    io_put_transform(s, &rot, 0);
    io_put_transform(s, &org, 1);
    io_put_transform(s, &both, 2);
}

void write_previous(IOstream* s, const VIEW* v) {
    IoChunkWriter c(s, 1);
    io_put_double(s, v->previous_scale);
    const Transform rot = rotation_of(v->projection);
    const Transform org = origin_transform(v->previous_origin_x, v->previous_origin_y, v->elevation,
                                           v->previous_scale);
    io_put_transform(s, &rot, 0);
    io_put_transform(s, &org, 1);
}

void write_selection(IOstream* s, const VIEW* v) {
    if (!buffer_has_objects(v->selection)) return;
    IoChunkWriter c(s, 2);
    for (const RefNode* n = v->selection->refs; n; n = n->next)
        if (n->ref) io_put_varint(s, static_cast<uint32_t>(n->ref->file_id));
}

void write_colours(IOstream* s, const VIEW* v) {
    IoChunkWriter c(s, 3);
    io_put_varint(s, static_cast<uint32_t>(v->material_colour));
    io_put_varint(s, static_cast<uint32_t>(v->setting_a));
    put_varints(s, v->colours, 16);
    io_put_varint(s, static_cast<uint32_t>(v->flags));
    io_put_varint(s, static_cast<uint32_t>(v->setting_b));
    io_put_string(s, v->name);
    put_varints(s, v->words5, 5);
    put_varints(s, v->words4, 4);
    io_put_float(s, v->setting_c);
    io_put_material(s, &v->material, 0);
}

void write_settings(IOstream* s, const VIEW* v) {
    IoChunkWriter c(s, 4);
    io_put_varint(s, static_cast<uint32_t>(v->setting_d));
    put_doubles(s, v->grid_steps, 4);
    io_put_double(s, v->elevation);
    io_put_varint(s, static_cast<uint32_t>(v->readout_mode));
    io_put_varint(s, static_cast<uint32_t>(v->setting_e));
    io_put_double(s, v->cursor_angle);
    put_varints(s, v->cross_arm, 2);
    io_put_varint(s, static_cast<uint32_t>(v->input_flags));
    io_put_double(s, v->zoom_limit);
    const int32_t switches[3] = {v->keep_depth, v->grid_on, v->step_select};
    put_varints(s, switches, 3);
    put_vec_words(s, v->user_origin);
    put_vec_words(s, v->last_point);
    io_put_double(s, v->setting_f);
    put_doubles(s, v->drawing_scales, 2);
    const int32_t w[4] = {v->coordinate_type, v->cartesian, v->length_unit, v->degrees};
    put_varints(s, w, 4);
    put_area(s, v->drawing_area);
    put_area(s, v->second_area);
}

void write_styles(IOstream* s, const VIEW* v) {
    IoChunkWriter c(s, 5);
    io_put_varint(s, static_cast<uint32_t>(v->current_colour));
    put_name(s, v->current_layer);
    put_name(s, v->current_line_style);
    put_name(s, v->current_hatch);
    put_name(s, v->current_font);
    const double d[5] = {v->line_width, v->hatch_angle, v->hatch_scale, v->accuracy_linear,
                         v->accuracy_angular};
    put_doubles(s, d, 5);
    const int32_t words[9] = {v->line_method,    v->box_method, v->circle_method, v->arc_method, v->ellipse_method,
                              v->orthogonal,     v->corner_height, v->command_word, v->polygon_count};
    put_varints(s, words, 9);
    put_doubles(s, v->values3, 3);
    const int32_t two[2] = {v->direction, v->setting_i};
    put_varints(s, two, 2);
    const double text[6] = {v->text_height, v->text_width, v->text_oblique, v->text_slope, v->text_values[0],
                            v->text_values[1]};
    put_doubles(s, text, 6);
    io_put_varint(s, static_cast<uint32_t>(v->setting_j));
    put_doubles(s, v->dimension_values, 7);
    put_varints(s, v->dimension_words, 4);
    io_put_material(s, &v->second_material, 0);
    IoChunkWriter one(s, 1);
    io_put_double(s, v->line_style_scale);
}

void write_layer_state(IOstream* s, const VIEW* v) {
    const ViewLayerState& l = v->layer_state;
    IoChunkWriter c(s, 6);
    io_put_varint(s, static_cast<uint32_t>(l.mode));
    io_put_double(s, l.value);
    io_put_string(s, "");
    io_put_varint(s, static_cast<uint32_t>(l.word));
    put_doubles(s, l.values, 2);
    put_name(s, l.layer);
    put_name(s, l.line_style);
    put_name(s, l.hatch);
    put_name(s, l.font);
    io_put_varint(s, static_cast<uint32_t>(l.flags.size()));
    for (int32_t f : l.flags) io_put_varint(s, static_cast<uint32_t>(f));
}

void write_placement(IOstream* s, const VIEW* v) {
    const ViewPlacement& p = v->placement;
    IoChunkWriter c(s, 7);
    const int32_t w[10] = {p.show_state, p.parent_width, p.parent_height, p.min_x,  p.min_y,
                           p.left,       p.top,          p.width,         p.height, p.saved};
    put_varints(s, w, 10);
}

// ---- Reading

void read_projection(IOstream* s, VIEW* v) {
    ViewProjection& p = v->projection;
    const double scale = io_get_double(s);
    double four[4], three[3];
    get_doubles(s, four, 4);
    get_doubles(s, three, 3);
    io_get_varint(s);  // a VIEW always reopens in parallel projection
    if (usable(view_scale_usable(scale), "scale")) p.scale = scale;
    for (int i = 0; i < 3; ++i) p.reserved[i] = four[i];
    if (usable(positive(four[3]), "eye distance")) p.eye_distance = four[3];
    if (usable(std::isfinite(three[0]) && std::isfinite(three[1]), "screen centre")) {
        p.centre_x = three[0];
        p.centre_y = three[1];
    }
    p.reserved2 = three[2];
    p.mode = kProjParallel;
    while (io_chunk_inside(s)) {
        IoChunkReader t(s);
        if (t.tag() == 0) {
            std::unique_ptr<Transform> r;
            io_get_transform(s, r);
            if (!usable(r && rotation_pair_ok(*r), "view rotation")) continue;
            p.view = r->fwd;
            p.inverse = r->inv;
        } else if (t.tag() == 1) {
            read_origin(s, &p.origin_x, &p.origin_y);
        }
    }
}

void read_previous(IOstream* s, VIEW* v) {
    const double scale = io_get_double(s);
    if (usable(view_scale_usable(scale), "previous scale")) v->previous_scale = scale;
    while (io_chunk_inside(s)) {
        IoChunkReader t(s);
        if (t.tag() == 1) read_origin(s, &v->previous_origin_x, &v->previous_origin_y);
    }
}

// The objects named by file id, found in one walk over the drawing being read; only
// objects made by this load count when a load is running.
void read_selection(IOstream* s, VIEW* v) {
    std::vector<int32_t> ids;
    while (io_chunk_inside(s)) ids.push_back(io_get_varint_signed(s));
    MODEL* model = target_model(s);
    if (ids.empty() || !model) return;
    std::unordered_map<int32_t, ZOBJ*> by_id;
    for (int32_t id : ids) by_id.emplace(id, nullptr);
    const LoadContext* ctx = load_context();
    for (ZOBJ* z = model; z; z = tree_next(z, model)) {
        auto it = by_id.find(z->file_id);
        if (it == by_id.end() || it->second || (ctx && !ctx->objects.count(z))) continue;
        if (rtc_is<object>(z)) it->second = z;
    }
    if (!v->selection) v->selection = buffer_new();
    if (!v->selection) io_raise(s, kOutOfMemory);
    // Written from the head of the buffer, where the newest reference stands: adding
    // in reverse keeps the order of the next save.
    for (auto i = ids.rbegin(); i != ids.rend(); ++i) {
        if (ZOBJ* z = by_id[*i]) {
            if (int rc = buffer_add(v->selection, z)) io_raise(s, rc);
        }
    }
}

void read_colours(IOstream* s, VIEW* v) {
    v->material_colour = io_get_varint_signed(s);
    v->setting_a = io_get_varint_signed(s);
    get_varints(s, v->colours, 16);
    v->flags = io_get_varint_signed(s);
    v->setting_b = io_get_varint_signed(s);
    const std::string name = io_get_string(s);
    std::memset(v->name, 0, sizeof v->name);
    utf8_copy(v->name, kViewNameSize, name);
    get_varints(s, v->words5, 5);
    get_varints(s, v->words4, 4);
    v->setting_c = io_get_float(s);
    while (io_chunk_inside(s)) {
        IoChunkReader m(s);
        if (m.tag() == 0) io_get_material(s, target_model(s), &v->material);
    }
}

void read_settings(IOstream* s, VIEW* v) {
    v->setting_d = io_get_varint_signed(s);
    get_doubles(s, v->grid_steps, 4);
    // The elevation goes into the stored origin transforms.
    if (const double e = io_get_double(s); usable(std::isfinite(e), "elevation")) v->elevation = e;
    v->readout_mode = io_get_varint_signed(s);
    v->setting_e = io_get_varint_signed(s);
    v->cursor_angle = io_get_double(s);
    get_varints(s, v->cross_arm, 2);
    v->input_flags = io_get_varint_signed(s);
    if (const double l = io_get_double(s); usable(positive(l), "zoom limit")) v->zoom_limit = l;
    int32_t switches[3];
    get_varints(s, switches, 3);
    v->keep_depth = switches[0];
    v->grid_on = switches[1];
    v->step_select = switches[2];
    get_vec_words(s, &v->user_origin);
    get_vec_words(s, &v->last_point);
    v->setting_f = io_get_double(s);
    get_doubles(s, v->drawing_scales, 2);
    int32_t w[4];
    get_varints(s, w, 4);
    v->coordinate_type = w[0];
    v->cartesian = w[1];
    v->length_unit = w[2];
    v->degrees = w[3];
    get_area(s, &v->drawing_area);
    get_area(s, &v->second_area);
}

template <class T>
T* named(IOstream* s, MODEL* model) {
    const std::string name = io_get_string(s);
    if (!model || name.empty()) return nullptr;
    return static_cast<T*>(model_find_named(model, name.c_str(), &T::rtc_class));
}

void read_styles(IOstream* s, VIEW* v) {
    MODEL* model = target_model(s);
    v->current_colour = io_get_varint_signed(s);
    v->current_layer = named<LAYER>(s, model);
    v->current_line_style = named<LINEPATT>(s, model);
    v->current_hatch = named<HATCHPATT>(s, model);
    v->current_font = named<FONTPATT>(s, model);
    double d[5];
    get_doubles(s, d, 5);
    v->line_width = d[0];
    v->hatch_angle = d[1];
    v->hatch_scale = d[2];
    v->accuracy_linear = d[3];
    v->accuracy_angular = d[4];
    int32_t words[9] = {};
    get_varints(s, words, 9);
    int32_t* named[9] = {&v->line_method, &v->box_method, &v->circle_method, &v->arc_method, &v->ellipse_method,
                         &v->orthogonal,  &v->corner_height, &v->command_word, &v->polygon_count};
    for (int i = 0; i < 9; ++i) *named[i] = words[i];
    get_doubles(s, v->values3, 3);
    v->direction = io_get_varint_signed(s);
    v->setting_i = io_get_varint_signed(s);
    double text[6] = {};
    get_doubles(s, text, 6);
    v->text_height = text[0];
    v->text_width = text[1];
    v->text_oblique = text[2];
    v->text_slope = text[3];
    v->text_values[0] = text[4];
    v->text_values[1] = text[5];
    v->setting_j = io_get_varint_signed(s);
    get_doubles(s, v->dimension_values, 7);
    get_varints(s, v->dimension_words, 4);
    while (io_chunk_inside(s)) {
        IoChunkReader sub(s);
        if (sub.tag() == 0)
            io_get_material(s, model, &v->second_material);
        else if (sub.tag() == 1)
            v->line_style_scale = io_get_double(s);
    }
}

void read_layer_state(IOstream* s, VIEW* v) {
    MODEL* model = target_model(s);
    ViewLayerState& l = v->layer_state;
    l.mode = io_get_varint_signed(s);
    l.value = io_get_double(s);
    io_get_string(s);
    l.word = io_get_varint_signed(s);
    get_doubles(s, l.values, 2);
    l.layer = named<LAYER>(s, model);
    l.line_style = named<LINEPATT>(s, model);
    l.hatch = named<HATCHPATT>(s, model);
    l.font = named<FONTPATT>(s, model);
    const int32_t count = io_get_varint_signed(s);
    // A varint takes at least one byte.
    if (!usable(count >= 0 && count <= kViewMaxLayerFlags && static_cast<uint64_t>(count) <= io_bytes_left(s),
                "layer-flag count"))
        return;
    std::vector<int32_t> flags(static_cast<size_t>(count));
    get_varints(s, flags.data(), count);
    l.flags = std::move(flags);
}

void read_placement(IOstream* s, VIEW* v) {
    int32_t w[10];
    get_varints(s, w, 10);
    const bool state_ok = w[0] >= 0 && w[0] <= 3;
    bool sizes_ok = true;
    for (int i : {1, 2, 7, 8}) sizes_ok = sizes_ok && w[i] >= 0 && w[i] <= kMaxPlacement;
    bool positions_ok = true;
    for (int i : {3, 4, 5, 6})
        positions_ok = positions_ok && w[i] >= -kMaxPlacement && w[i] <= kMaxPlacement;
    if (!usable(state_ok && sizes_ok && positions_ok && (w[9] == 0 || w[9] == 1), "window placement")) return;
    v->placement = {w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7], w[8], w[9]};
}

}  // namespace

int view_write(IOstream* s, VIEW* v) {
    rtc_save_base(s, v, &VIEW::rtc_class);
    IoChunkWriter c(s, 0);
    write_projection(s, v);
    write_previous(s, v);
    write_selection(s, v);
    write_colours(s, v);
    write_settings(s, v);
    write_styles(s, v);
    write_layer_state(s, v);
    view_placement(v, 0);
    write_placement(s, v);
    return 0;
}

int view_read(IOstream* s, VIEW* v) {
    rtc_load_base(s, v, &VIEW::rtc_class);
    IoChunkReader c(s);
    if (c.tag() != 0) return 0;
    while (io_chunk_inside(s)) {
        IoChunkReader sub(s);
        switch (sub.tag()) {
            case 0:
                read_projection(s, v);
                break;
            case 1:
                read_previous(s, v);
                break;
            case 2:
                read_selection(s, v);
                break;
            case 3:
                read_colours(s, v);
                break;
            case 4:
                read_settings(s, v);
                break;
            case 5:
                read_styles(s, v);
                break;
            case 6:
                read_layer_state(s, v);
                break;
            case 7:
                read_placement(s, v);
                break;
            default:
                break;  // a later version's sub-chunk: skipped
        }
    }
    return 0;
}

namespace {
int view_save_method(IOstream* s, RTC* obj) {
    return view_write(s, static_cast<VIEW*>(obj));
}
int view_load_method(IOstream* s, RTC* obj) {
    return view_read(s, static_cast<VIEW*>(obj));
}
}  // namespace

void view_type_register() {
    rtc_class_setup(&VIEW::rtc_class);
    io_set_class_methods(&VIEW::rtc_class, &view_save_method, &view_load_method);
    g_old_mesh_index_colour = &colour_index_rgb;
}
