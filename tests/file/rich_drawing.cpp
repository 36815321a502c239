// The drawing with every class and feature the file stores (see rich_drawing.h).
#include "rich_drawing.h"

#include "file_support.h"

#include <cstring>
#include <vector>

#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/track_eval.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/font/strokefont.h"
#include "model/geom/regen.h"
#include "model/material/image/matrpmmf.h"
#include "model/material/material.h"
#include "model/math/matrix.h"
#include "model/mesh/mesh_block.h"

namespace {

PointNode* pts(std::initializer_list<Vec3> list, bool closed = false) {
    return make_points(list, closed);
}

PtrNode* one_list(PointNode* l) {
    PtrNode* lists = nullptr;
    EXPECT_EQ(ptrlist_add(&lists, l), 0);
    return lists;
}

template <class T>
T* make(CONTAINER* into, const char* name) {
    std::unique_ptr<RTC> o;
    if (rtc_init(o, &T::rtc_class) != 0) return nullptr;
    auto* t = static_cast<T*>(o.release());
    t->set_string(0, name);
    if (into && container_insert(into, t) != 0) {
        rtc_destroy(t);
        return nullptr;
    }
    return t;
}

int32_t float_bits(float f) {
    int32_t w;
    std::memcpy(&w, &f, 4);
    return w;
}

KeyframeTrack* add_track(object* o, const char* name) {
    KeyframeTrack* t = track_new(name, o);
    if (!t) return nullptr;
    KeyframeTrack** tail = &o->tracks;
    while (*tail) tail = &(*tail)->next_track;
    *tail = t;
    return t;
}

PositionKey pkey(int frame, float x, float y, float z) {
    return PositionKey{frame, {0.5f, 0, 0, 0.25f, 0}, {x, y, z}};
}

void styles(MODEL* m) {
    auto* dashed = make<LINEPATT>(m, "Dashed");
    dashed->dashes = {0.5, 0.25, 0.125, 0.25};
    auto* brick = make<HATCHPATT>(m, "Brick");
    HatchLine a;
    a.angle = 0;
    a.offset_y = 0.5;
    HatchLine b;
    b.angle = 1.5707963267948966;
    b.origin_x = 0.25;
    b.offset_x = 1;
    b.offset_y = 0.5;
    b.dashes = {0.5, -0.5};
    brick->lines = {a, b};
    auto* mono = make<FONTPATT>(m, "Mono");
    mono->font = font_copy(font_builtin(1));
    auto* checker = make<MATRPATT>(m, "Checker");
    checker->release_image();
    checker->pixels = new uint8_t[12]{255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 8, 7};
    checker->width = 2;
    checker->height = 2;
    auto* photo = make<MATRPMMF>(m, "photo");
    const uint8_t gif[] = {'G', 'I', 'F', '8', '7', 'a', 0, 1, 2, 3, 0xFF, 0x3B};
    (void)photo->set_data(kImageKindGif, "textures/photo.gif", gif, sizeof gif);
    photo->set_string(1, "a texture from a file");
}

void line_work(MODEL* m, LAYER* walls) {
    auto* dashed = static_cast<LINEPATT*>(model_find_patt(m, "Dashed", &LINEPATT::rtc_class));
    auto* poly = make<XPLINE>(walls, "outline");
    poly->kind = 0;
    poly->control = pts({{0, 0, 0}, {10, 0, 0}, {10, 5, 0}, {0, 5, 0}});
    poly->line_style = dashed;
    poly->second = 2.0;
    poly->width = 0.5f;
    poly->colour = 3;
    poly->set_string(1, "second text");
    poly->set_string(2, "third text");
    auto* spline = make<XPLINE>(walls, "curve");
    spline->kind = 1;
    spline->control = pts({{0, 0, 1}, {2, 3, 1}, {5, -1, 1}, {8, 2, 1}});
    spline->curve_step = 0.5;
    auto* fill = make<XPLINE>(walls, "fill");
    fill->kind = 2;
    fill->control = pts({{0, 0, 0}, {0, 4, 0}, {4, 4, 0}});
    fill->colour = 5;

    auto* circle = make<ELARC>(walls, "circle");
    circle->flags = kElarcCircular | kElarcWholeEllipse;
    circle->centre = {3, 3, 0};
    circle->axis1 = {5, 3, 0};
    circle->axis2 = {3, 5, 0};
    auto* arc = make<ELARC>(walls, "arc");
    arc->flags = kElarcCircular;
    arc->centre = {0, 0, 0};
    arc->axis1 = {4, 0, 0};
    arc->axis2 = {0, 4, 0};
    arc->start = 0.25;
    arc->end = 2.5;
    arc->line_style = dashed;
    auto* ellipse = make<ELARC>(walls, "ellipse");
    ellipse->flags = kElarcWholeEllipse;
    ellipse->centre = {20, 0, 0};
    ellipse->axis1 = {26, 0, 0};
    ellipse->axis2 = {20, 2, 0};

    auto* hatch = make<HATCH>(walls, "hatch");
    hatch->pattern = static_cast<HATCHPATT*>(model_find_patt(m, "Brick", &HATCHPATT::rtc_class));
    hatch->contours[0] = one_list(pts({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}}, true));
    hatch->contours[1] = one_list(pts({{3, 3, 0}, {3, 6, 0}, {6, 6, 0}, {6, 3, 0}}, true));
    hatch->values[0] = 1.0;
    hatch->values[1] = 0.0;
    auto* solid = make<HATCH>(walls, "solid");
    solid->contours[0] = one_list(pts({{20, 0, 0}, {24, 0, 0}, {22, 3, 0}}, true));
    solid->values[0] = 1.0;

    auto* text = make<TEXT2>(walls, "label");
    text->text = "Zelo 1:50";
    text->font = static_cast<FONTPATT*>(model_find_patt(m, "Mono", &FONTPATT::rtc_class));
    text->insert = {1, 1, 0};
    text->layout[0] = 0.8;
    text->layout[1] = 1.0;
    text->layout[2] = 0.1;
    text->word = 2;
    auto* note = make<TEXT2>(walls, "note");
    note->text = "default font";
    note->font = static_cast<FONTPATT*>(model_find_patt(m, "DEFAULT", &FONTPATT::rtc_class));
    note->insert = {0, -3, 0};
    note->layout[0] = 0.5;
    note->layout[1] = 0.5;
}

void meshes(MODEL* m, LAYER* scene) {
    auto* mesh = make<MESH3>(scene, "mesh");
    const Vec3 p1{0, 0, 0}, p2{1, 0, 0}, p3{1, 1, 0}, p4{0, 1, 0}, p5{0.5f, 0.5f, 1};
    EXPECT_EQ(mesh_add_face(mesh, &p1, &p2, &p3, &p4, 0), 0);
    EXPECT_EQ(mesh_add_face(mesh, &p1, &p2, &p5, nullptr, 0), 0);
    std::vector<Vec3d> grid;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) grid.push_back({double(c), double(r), double(r * c) * 0.25});
    EXPECT_EQ(mesh_add_grid(mesh, grid, 4, 3, false, false), 0);  // open both ways
    EXPECT_EQ(mesh_add_grid(mesh, grid, 4, 3, true, false), 0);   // columns close
    EXPECT_EQ(mesh_add_grid(mesh, grid, 3, 4, false, true), 0);   // rows close
    std::vector<Vec3d> ring;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) ring.push_back({double(c * 2 + r), double(r), double(c)});
    EXPECT_EQ(mesh_add_grid(mesh, ring, 3, 3, true, true), 0);  // closed both ways
    mesh->blocks->uv.assign(mesh->blocks->vertices.size() * 2, 0.0f);
    for (size_t i = 0; i < mesh->blocks->uv.size(); ++i) mesh->blocks->uv[i] = float(i) * 0.125f;
    MaterialRecord* mat = mesh->material;
    mat->colour[0] = 0.5f;
    mat->colour[1] = 0.25f;
    mat->shininess = 0.75f;
    TextureSlot& image = mat->slots[kSlotTexture];
    image.kind = kTextureImage;
    image.amount = 0.5f;
    image.mapping_mode = kMappingModePlanar;
    texture_mapping_init(&image.mapping);
    image.mapping.u_scale = 2;
    image.mapping.v_scale = 3;
    image.mapping.image =
        static_cast<MATRPATT*>(model_find_patt(m, "Checker", &MATRPATT::rtc_class));
    texture_mapping_build_matrix(&image.mapping.matrix, 2, 3, 0, false, false, 0, 0);
    TextureSlot& bump = mat->slots[kSlotBump];
    bump.kind = 5;
    bump.amount = 0.25f;
    pattern_params_init(&bump.pattern);
    EXPECT_EQ(colour_ramp_new(&bump.ramp, 2), 0);
    bump.ramp->keys[1].position = 1.0;
    bump.ramp->keys[1].r = 1.0f;
    TextureSlot& reflection = mat->slots[kSlotReflection];
    reflection.kind = kTextureImage;
    reflection.amount = 1.0f;
    texture_mapping_init(&reflection.mapping);
    reflection.mapping.image =
        static_cast<MATRPATT*>(model_find_patt(m, "photo", &MATRPATT::rtc_class));
    mesh->colour = 12;

    auto* box = make<MESH3>(scene, "box");
    const Vec3 q1{5, 0, 0}, q2{6, 0, 0}, q3{6, 1, 0}, q4{5, 1, 0};
    EXPECT_EQ(mesh_add_face(box, &q1, &q2, &q3, &q4, 1), 0);  // a 1 x 1 grid patch
}

void scene(MODEL* m, LAYER* scene_layer) {
    auto* cam = make<CAMERA>(scene_layer, "Camera01");
    cam->position = {10, -10, 5};
    cam->target = {0, 0, 0};
    cam->up = {0, 0, 1};
    cam->side = {1, 0, 0};
    cam->lens = 1.5;
    cam->words[0] = float_bits(500.0f);
    cam->words[1] = float_bits(0.25f);
    cam->set_aperture(3.0f);
    cam->word = 7;
    cam->roll = 0.1;
    cam->fov = 45;
    cam->keys = new CameraKeys();
    cam->keys->channel[0] = {ChannelKey{0, {0, 0, 0, 0, 0}, 0.0f},
                             ChannelKey{20, {0.5f, 0, 0, 0, 0}, 0.5f}};
    cam->keys->channel[1] = {ChannelKey{10, {0, 0, 0, 0, 0}, 60.0f}};
    cam->keys->flags[1] = kKeyRepeat;
    KeyframeTrack* move = add_track(cam, nullptr);
    move->position.keys = {pkey(0, 10, -10, 5), pkey(30, 12, -8, 5)};
    KeyframeTrack* aim = add_track(cam, "target");
    aim->position.keys = {pkey(0, 0, 0, 0), pkey(30, 1, 1, 0)};

    auto* omni = make<LIGHT>(scene_layer, "Omni");
    omni->position = {0, 0, 10};
    omni->light_colour[0] = 1;
    omni->light_colour[1] = 0.9f;
    omni->light_colour[2] = 0.8f;
    omni->keys = new LightKeys();
    omni->keys->channel[0] = {ChannelKey{5, {0, 0, 0, 0, 0}, 0.25f}};
    omni->keys->colour = {ColourKey{0, {0, 0, 0, 0, 0}, {1, 0, 0, 0}},
                          ColourKey{40, {0, 0, 0, 0, 0}, {0, 0, 1, 0}}};
    omni->keys->flags[2] = kKeyRepeat;
    KeyframeTrack* orbit = add_track(omni, "orbit");
    RotationKey r0{};
    r0.frame = 0;
    r0.axis[2] = 1;
    RotationKey r1{};
    r1.frame = 40;
    r1.angle = 1.0f;
    r1.axis[2] = 1;
    orbit->rotation.keys = {r0, r1};
    orbit->rotation.flags = kKeyLockX;
    orbit->pivot[0] = 1;
    orbit->word1 = 4;
    orbit->word2 = 9;
    xform_translate(&orbit->base, 1, 2, 3);
    track_accumulate_rotations(orbit);

    auto* spot = make<SPOTLITE>(scene_layer, "Spot");
    spot->position = {5, 5, 8};
    spot->target = {0, 0, 0};
    spot->light_colour[0] = 0.5f;
    spot->word = 3;
    spot->cone_cos[0] = 0.9f;
    spot->cone_cos[1] = 0.8f;
    KeyframeTrack* body = add_track(spot, nullptr);
    body->position.keys = {pkey(0, 5, 5, 8)};
    body->scale.keys = {pkey(10, 1, 1, 2)};
    KeyframeTrack* spot_target = add_track(spot, "target");
    spot_target->position.keys = {pkey(0, 0, 0, 0), pkey(50, 2, 0, 0)};
    // The spot rides on the omni light's orbit, and its target blends towards the mesh.
    (void)track_link_child(orbit, body);
    (void)track_link_child(orbit, spot_target);
    for (ZDLIST* c = scene_layer->children; c; c = c->next) {
        if (std::strcmp(static_cast<ZOBJ*>(c)->name(), "mesh") == 0) {
            spot_target->objects.keys = {ObjectKey{0, {0, 0, 0, 0, 0}, static_cast<object*>(c)},
                                         ObjectKey{25, {0, 0, 0, 0, 0}, nullptr}};
            break;
        }
        if (c->next == scene_layer->children) break;
    }
    m->frame_count = 51;
}

void groups(MODEL* m, LAYER* walls) {
    auto* group = make<CONTAINER>(walls, "group");
    group->colour = 4;
    auto* inner = make<CONTAINER>(group, "inner group");
    auto* door = make<XPLINE>(inner, "door");
    door->control = pts({{1, 0, 0}, {1, 2, 0}});
    auto* swing = make<ELARC>(group, "swing");
    swing->flags = kElarcCircular;
    swing->centre = {1, 0, 0};
    swing->axis1 = {2, 0, 0};
    swing->axis2 = {1, 1, 0};
    swing->end = 1.5707963267948966;
    (void)m;
}

}  // namespace

int build_rich_drawing(MODEL* m) {
    styles(m);
    auto* walls = make<LAYER>(m, "Walls");
    auto* scene_layer = make<LAYER>(m, "Scene");
    if (!walls || !scene_layer) return 8;
    walls->colour = 2;
    scene_layer->set_string(1, "lights and cameras");
    line_work(m, walls);
    groups(m, walls);
    meshes(m, scene_layer);
    scene(m, scene_layer);
    auto* top = make<VPORT>(m, "Top");
    top->params[0] = 1;
    top->params[5] = -2.5;
    auto* iso = make<VPORT>(m, "Iso");
    iso->params[2] = 0.5;
    // Something directly in the default layer too.
    auto* dflt = static_cast<LAYER*>(m->children);
    auto* mark = make<XPLINE>(dflt, "mark");
    mark->control = pts({{-1, -1, 0}, {1, 1, 0}});
    return regen_object(m);
}
