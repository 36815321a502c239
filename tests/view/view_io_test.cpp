// The VIEW record in the drawing file: round trips through whole drawings, what a
// perspective view reads back as, and files whose VIEW records hold nonsense.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "graphics/view/pick.h"
#include "graphics/view/view.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/material/image/matrpmmf.h"
#include "model/file/drawing_file.h"
#include "model/file/records.h"
#include "model/math/matrix.h"
#include "model/services/log.h"
#include "model/stream/iorec.h"
#include "model/stream/matchunk.h"
#include "view_test_util.h"

namespace {

// Unique per process, so that test programs of two builds may run at once.
std::string temp_path(const char* name) {
    return ::testing::TempDir() + "/zelo_view_io_" + std::to_string(getpid()) + "_" + name;
}

std::vector<char> file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// Views loaded into a model are owned by whoever shows them; the tests free them.
struct ModelWithViews {
    std::unique_ptr<MODEL> model = rtc_make<MODEL>();
    ~ModelWithViews() {
        while (model && model->views) rtc_destroy(static_cast<ZSVIEW*>(model->views));
    }
    std::vector<VIEW*> views() const {
        std::vector<VIEW*> out;
        if (!model->views) return out;
        ZDLIST* v = model->views;
        do {
            out.push_back(rtc_cast<VIEW>(v));
            v = v->next;
        } while (v != model->views);
        return out;
    }
};

class ViewIoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        drawing_file_register();
        view_type_register();
    }
};

// A drawing file whose body holds one VIEW record with the given level content.
int import_with_view_body(const std::function<void(IOstream*)>& body, ModelWithViews* into,
                          const char* name) {
    const std::string path = temp_path(name);
    auto s = rtc_make<IOrecStd>();
    const int w = io_guarded([&] {
        iorec_open(s.get(), path.c_str(), 1);
        io_put_long(s.get(), 1);
        io_put_long(s.get(), kIoFormatVersion);
        io_put_long(s.get(), 0);
        IoChunkWriter top(s.get(), kTagName);
        { IoChunkWriter layout(s.get(), kTagCurrentLayout); }
        IoChunkWriter record(s.get(), kTagAnyClass);
        {
            IoChunkWriter cls(s.get(), kIoClassNameTag);
            io_put_string(s.get(), "VIEW");
        }
        IoChunkWriter level(s.get(), 0);
        body(s.get());
    });
    EXPECT_EQ(w, 0);
    EXPECT_EQ(io_guarded([&] { iorec_commit(s.get()); }), 0);
    s.reset();
    const int r = drawing_file_import(path.c_str(), into->model.get());
    std::remove(path.c_str());
    return r;
}

void put_doubles(IOstream* s, std::initializer_list<double> v) {
    for (double d : v) io_put_double(s, d);
}

// A projection sub-chunk with the given scale, view rotation and eye distance.
void put_projection(IOstream* s, double scale, const Transform& rotation, double eye = 1) {
    IoChunkWriter c(s, 0);
    io_put_double(s, scale);
    put_doubles(s, {0, 0, 0, eye, 0, 0, 0});
    io_put_varint(s, 1);
    io_put_transform(s, &rotation, 0);
}

TEST_F(ViewIoTest, DrawingWithViewsRoundTripsByteIdentical) {
    ModelWithViews src;
    MODEL* m = src.model.get();
    auto dash = rtc_make<LINEPATT>();
    dash->set_string(0, "Dash");
    dash->dashes = {2, 1};
    LINEPATT* dash_raw = dash.get();
    model_insert_patt(m, dash.release());
    auto walls = rtc_make<LAYER>();
    walls->set_string(0, "Walls");
    LAYER* walls_raw = walls.get();
    EXPECT_EQ(container_insert(m, walls.release()), 0);
    auto l1 = make_polyline({{0, 0, 0}, {10, 0, 0}});
    auto l2 = make_polyline({{0, 5, 0}, {10, 5, 0}});
    XPLINE* a = l1.get();
    XPLINE* b = l2.get();
    EXPECT_EQ(container_insert(walls_raw, l1.release()), 0);
    EXPECT_EQ(container_insert(rtc_cast<LAYER>(m->first_child()), l2.release()), 0);

    for (int i = 0; i < 2; ++i) {
        auto v = rtc_make<VIEW>();
        v->projection.scale = 2.5 + i;
        v->projection.origin_x = 10;
        v->projection.origin_y = -20;
        // The first view in perspective: it reads back in parallel projection.
        v->projection.mode = i == 0 ? kProjPerspective : kProjParallel;
        v->projection.eye_distance = 300;
        Transform rot;
        xform_rotate_xyz(&rot, 0.5, 0.25 * i, 0.1);
        rot.fwd.m[9] = 7;  // a translation is not part of the stored rotation
        v->projection.view = rot.fwd;
        v->projection.inverse = rot.inv;
        v->previous_scale = 0.75;
        v->previous_origin_x = 3;
        v->elevation = 1.5;
        EXPECT_EQ(buffer_add(v->selection, a), 0);
        if (i == 0) {
            EXPECT_EQ(buffer_add(v->selection, b), 0);
        }
        std::snprintf(v->name, sizeof v->name, "%s", "A view");
        v->current_layer = walls_raw;
        v->current_line_style = dash_raw;
        v->layer_state.flags = {1, 0, 1};
        v->layer_state.line_style = dash_raw;
        v->placement = {3, 1000, 800, 0, 0, 10, 20, 400, 300, 1};
        v->material.colour[0] = 0.5f;
        v->dimension_values[4] = 0.25;
        model_attach_view(m, v.release());
    }

    const std::string first = temp_path("first.qvm"), second = temp_path("second.qvm");
    ASSERT_EQ(drawing_file_save(first.c_str(), m, 0), 0);
    ModelWithViews back;
    ASSERT_EQ(drawing_file_import(first.c_str(), back.model.get()), 0);
    const auto views = back.views();
    ASSERT_EQ(views.size(), 2u);
    VIEW* v = views[0];
    ASSERT_TRUE(v);
    EXPECT_EQ(v->projection.mode, kProjParallel);
    EXPECT_DOUBLE_EQ(v->projection.scale, 2.5);
    EXPECT_NEAR(v->projection.origin_x, 10, 1e-9);
    EXPECT_NEAR(v->projection.origin_y, -20, 1e-9);
    EXPECT_DOUBLE_EQ(v->projection.eye_distance, 300);
    Transform rot;
    xform_rotate_xyz(&rot, 0.5, 0, 0.1);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(v->projection.view.m[i], rot.fwd.m[i], 1e-12);
    EXPECT_EQ(v->projection.view.m[9], 0.0);
    EXPECT_NEAR(v->previous_origin_x, 3, 1e-9);
    EXPECT_DOUBLE_EQ(v->previous_scale, 0.75);
    EXPECT_STREQ(v->name, "A view");
    ASSERT_TRUE(v->current_layer);
    EXPECT_STREQ(v->current_layer->name(), "Walls");
    ASSERT_TRUE(v->current_line_style);
    EXPECT_STREQ(v->current_line_style->name(), "Dash");
    EXPECT_EQ(v->layer_state.flags, (std::vector<int32_t>{1, 0, 1}));
    EXPECT_EQ(v->placement.width, 400);
    EXPECT_FLOAT_EQ(v->material.colour[0], 0.5f);
    EXPECT_DOUBLE_EQ(v->dimension_values[4], 0.25);
    // The selection names the loaded objects, in the same order.
    std::vector<std::string> selected;
    for (RefNode* n = v->selection->refs; n; n = n->next) {
        ASSERT_TRUE(n->ref);
        EXPECT_EQ(obj_model(n->ref), back.model.get());
        selected.push_back(std::to_string(static_cast<const XPLINE*>(n->ref)->control->y));
    }
    EXPECT_EQ(selected, (std::vector<std::string>{std::to_string(5.0f), std::to_string(0.0f)}));

    ASSERT_EQ(drawing_file_save(second.c_str(), back.model.get(), 0), 0);
    // Only the stored projection mode of the perspective view differs: -1, now 1.
    std::vector<char> a_bytes = file_bytes(first), b_bytes = file_bytes(second);
    ASSERT_EQ(a_bytes.size(), b_bytes.size() + 4);
    // A drawing whose views are all parallel saves, loads and saves byte-identical.
    v->projection.mode = kProjParallel;
    views[1]->projection.mode = kProjParallel;
    ModelWithViews again;
    ASSERT_EQ(drawing_file_import(second.c_str(), again.model.get()), 0);
    ASSERT_EQ(drawing_file_save(first.c_str(), again.model.get(), 0), 0);
    EXPECT_EQ(file_bytes(first), file_bytes(second));
    if (!::testing::Test::HasFailure()) {
        std::remove(first.c_str());
        std::remove(second.c_str());
    }
}

// The fields of the material record away from their defaults: every shading field at
// once, then the exact values alone; per slot, an empty slot's fields alone (the scene's
// fog is the amounts of two of them), every image mapping field at once with the image
// pattern `image`, and every pattern field at once, then the exact ones alone.
using MaterialChange = std::function<void(MaterialRecord&, MATRPATT* image)>;
std::vector<MaterialChange> material_changes() {
    using M = MaterialRecord;
    std::vector<MaterialChange> changes = {
        [](M& m, MATRPATT*) {
            m.colour[0] = 0.1f, m.colour[1] = 0.2f, m.colour[3] = 0.4f, m.flags = kMaterialSmoothByAngle;
            m.self_illumination = 0.5f, m.transparency = 0.25f, m.diffuse = 0.75f, m.diffuse_exponent = 3;
            m.second_highlight = 0.5f, m.second_highlight_exponent = 7, m.shininess = 0.8f, m.specular_exponent = 12;
            m.randomness = 0.1f, m.reflection_level = 0.5f, m.refraction = 1.5f, m.smoothing_angle = 0.25f;
        },
        [](M& m, MATRPATT*) { m.diffuse_exponent = 0.5f; }, [](M& m, MATRPATT*) { m.shininess = 0.555f; }};
    std::vector<std::function<void(TextureSlot&)>> empty = {
        [](TextureSlot& t) { t.amount = 0.3f; }, [](TextureSlot& t) { t.amount = 0.555f; },
        [](TextureSlot& t) { t.mapping_mode = kMappingModePlanar; },
        [](TextureSlot& t) { xform_translate((t.transform = xform_new()).get(), 1, 2, 3); },
        [](TextureSlot& t) {
            EXPECT_EQ(colour_ramp_new(&t.ramp, 1), 0);
            t.ramp->keys[0] = {0.5, 1, 0.5f, 0.25f, 1};
        }};
    std::vector<std::function<void(PatternParams&)>> pattern = {
        [](PatternParams& p) {
            std::fill_n(p.turbulence, 3, 0.5f), p.turbulence_on = 1, p.frequency = 2, p.phase = 0.5f;
            p.noise_amount = 0.3f, p.octaves = 6, p.extra = 3;
        },
        [](PatternParams& p) { p.noise_amount = 0.555f; }, [](PatternParams& p) { p.turbulence[0] = 0.5f, p.turbulence_on = 1; }};
    for (int i = 0; i < kMaterialSlotCount; ++i) {
        for (const auto& f : empty) changes.push_back([i, f](M& m, MATRPATT*) { f(m.slots[i]); });
        changes.push_back([i](M& m, MATRPATT* image) {
            TextureMapping& p = m.slots[i].mapping;
            m.slots[i].kind = kTextureImage;
            texture_mapping_init(&p);
            p.image = image, p.interpolation = 3, p.flags = kMappingMirrorU | kMappingDecal;
            p.key_colour[0] = 0.5f, p.key_colour[3] = 1, p.u_scale = 2, p.v_scale = 3, p.u_offset = 0.25f;
            p.v_offset = 0.5f, p.angle = 30, p.spare = 1.5f;
            texture_mapping_build_matrix(&p.matrix, 2, 3, 30, true, false, 0.25f, 0.5f);
        });
        for (const auto& f : pattern)
            changes.push_back([i, f](M& m, MATRPATT*) {
                TextureSlot& t = m.slots[i];
                t.kind = 5;
                pattern_params_init(&t.pattern);
                EXPECT_EQ(colour_ramp_new(&t.ramp, 2), 0);
                t.ramp->keys[1] = {1.0, 0, 0, 1, 1};
                f(t.pattern);
            });
    }
    return changes;
}

TEST_F(ViewIoTest, EveryMaterialFieldSurvivesSaveAndOpen) {
    const std::string path = temp_path("material.qvm");
    const std::vector<MaterialChange> changes = material_changes();
    for (size_t n = 0; n < changes.size(); ++n) {
        SCOPED_TRACE("change " + std::to_string(n));
        ModelWithViews src;
        MODEL* m = src.model.get();
        auto image = rtc_make<MATRPMMF>();
        image->set_string(0, "tex");
        const uint8_t bytes[] = {1, 2, 3};
        EXPECT_EQ(image->set_data(kImageKindGif, "tex.gif", bytes, sizeof bytes), 0);
        MATRPMMF* image_raw = image.get();
        model_insert_patt(m, image.release());
        // A mesh's material, a camera's scene, and the view's current material and scene.
        auto mesh = rtc_make<MESH3>();
        auto camera = rtc_make<CAMERA>();
        camera->set_string(0, "Camera");
        auto view = rtc_make<VIEW>();
        MaterialRecord* materials[] = {mesh->material, camera->material, &view->material, &view->second_material};
        for (MaterialRecord* material : materials) changes[n](*material, image_raw);
        auto* layer = rtc_cast<LAYER>(m->first_child());
        EXPECT_EQ(container_insert(layer, mesh.release()), 0);
        EXPECT_EQ(container_insert(layer, camera.release()), 0);
        model_attach_view(m, view.release());
        ASSERT_EQ(drawing_file_save(path.c_str(), m, 0), 0);

        ModelWithViews back;
        ASSERT_EQ(drawing_file_import(path.c_str(), back.model.get()), 0);
        ASSERT_EQ(back.views().size(), 1u);
        MaterialRecord* loaded[4] = {nullptr, nullptr, &back.views()[0]->material, &back.views()[0]->second_material};
        for (ZOBJ* z = back.model.get(); z; z = tree_next(z, back.model.get())) {
            if (auto* x = rtc_cast<MESH3>(z)) loaded[0] = x->material;
            if (auto* x = rtc_cast<CAMERA>(z)) loaded[1] = x->material;
        }
        const char* holders[] = {"mesh", "camera", "view", "view scene"};
        for (int h = 0; h < 4; ++h) {
            ASSERT_NE(loaded[h], nullptr) << holders[h];
            // The loaded drawing's image pattern stands for the saved one.
            for (TextureSlot& t : loaded[h]->slots) {
                if (t.kind != kTextureImage || !t.mapping.image) continue;
                EXPECT_STREQ(t.mapping.image->name(), "tex");
                t.mapping.image = image_raw;
            }
            EXPECT_TRUE(material_same(*materials[h], *loaded[h])) << holders[h];
        }
    }
    std::remove(path.c_str());
}

TEST_F(ViewIoTest, PickingBetweenSavesDoesNotDisturbTheSelection) {
    ModelWithViews src;
    MODEL* m = src.model.get();
    LAYER* layer = rtc_cast<LAYER>(m->first_child());
    std::vector<XPLINE*> lines;
    for (int i = 0; i < 5; ++i) {
        auto l = make_polyline({{0, float(i), 0}, {10, float(i), 0}});
        lines.push_back(l.get());
        EXPECT_EQ(container_insert(layer, l.release()), 0);
    }
    auto v = rtc_make<VIEW>();
    EXPECT_EQ(buffer_add(v->selection, lines[3]), 0);
    VIEW* view = v.get();
    model_attach_view(m, v.release());
    // A crossing pick marks objects in their file-id word.
    PickWindow w;
    w.flags = kPickCrossing;
    w.p1 = {-1, -1, 0};
    w.p2 = {20, 20, 0};
    pick_object_in_window(&view->projection, m, &w);
    EXPECT_EQ(lines[3]->file_id, 1);

    const std::string path = temp_path("picked.qvm");
    ASSERT_EQ(drawing_file_save(path.c_str(), m, 0), 0);
    ModelWithViews back;
    ASSERT_EQ(drawing_file_import(path.c_str(), back.model.get()), 0);
    std::remove(path.c_str());
    ASSERT_EQ(back.views().size(), 1u);
    RefNode* n = back.views()[0]->selection->refs;
    ASSERT_TRUE(n && n->ref);
    EXPECT_FLOAT_EQ(static_cast<XPLINE*>(n->ref)->control->y, 3.0f);
    EXPECT_EQ(n->next, nullptr);
}

TEST_F(ViewIoTest, SelectionOfAnImportNamesOnlyImportedObjects) {
    ModelWithViews src;
    LAYER* layer = rtc_cast<LAYER>(src.model->first_child());
    std::vector<XPLINE*> lines;
    for (int i = 0; i < 3; ++i) {
        auto l = make_polyline({{0, float(i), 0}, {10, float(i), 0}});
        lines.push_back(l.get());
        EXPECT_EQ(container_insert(layer, l.release()), 0);
    }
    auto v = rtc_make<VIEW>();
    EXPECT_EQ(buffer_add(v->selection, lines[1]), 0);
    model_attach_view(src.model.get(), v.release());
    const std::string path = temp_path("import.qvm");
    ASSERT_EQ(drawing_file_save(path.c_str(), src.model.get(), 0), 0);

    // An open drawing whose own objects carry the same file ids.
    ModelWithViews open;
    LAYER* own = rtc_cast<LAYER>(open.model->first_child());
    for (int i = 0; i < 5; ++i) {
        auto l = make_polyline({{0, 100.0f + i, 0}, {10, 100.0f + i, 0}});
        EXPECT_EQ(container_insert(own, l.release()), 0);
    }
    model_number_objects(open.model.get());
    ASSERT_EQ(drawing_file_import(path.c_str(), open.model.get()), 0);
    std::remove(path.c_str());
    ASSERT_EQ(open.views().size(), 1u);
    RefNode* n = open.views()[0]->selection->refs;
    ASSERT_TRUE(n && n->ref);
    EXPECT_FLOAT_EQ(static_cast<XPLINE*>(n->ref)->control->y, 1.0f);
}

TEST_F(ViewIoTest, NamesCutAndUnknownSubChunksSkipped) {
    ModelWithViews into;
    const int r = import_with_view_body(
        [](IOstream* s) {
            {
                IoChunkWriter later(s, 9);
                io_put_double(s, 1.0);
            }
            IoChunkWriter c(s, 3);
            for (int i = 0; i < 20; ++i) io_put_varint(s, 1);
            io_put_string(s, "A name that is much longer than thirty-one characters");
            for (int i = 0; i < 9; ++i) io_put_varint(s, 0);
            io_put_float(s, 0);
        },
        &into, "names.qvm");
    ASSERT_EQ(r, 0);
    ASSERT_EQ(into.views().size(), 1u);
    VIEW* v = into.views()[0];
    EXPECT_STREQ(v->name, "A name that is much longer than");
    EXPECT_EQ(std::string(v->name).size(), 31u);
    // Sub-chunks that are missing leave the initial values.
    EXPECT_EQ(v->projection.scale, 1.0);
    EXPECT_FALSE(buffer_has_objects(v->selection));
}

// A view is the window's state, not the user's work: a field that fails its check
// keeps its initial value (with a logged warning) and the drawing opens. A zero,
// negative or NaN eye distance refused the whole file.
TEST_F(ViewIoTest, UnusableFieldsReadAsTheirDefaults) {
    log_set_level(LogLevel::error);  // each unusable field is logged as a warning
    Transform identity;
    xform_scale(&identity, 1, 1, 1);
    Transform broken = identity;
    broken.inv.m[0] = NAN;
    Transform singular = identity;
    singular.fwd.m[4] = 0;
    auto layer_state_with_count = [](uint32_t count) {
        return [count](IOstream* s) {
            IoChunkWriter c(s, 6);
            io_put_varint(s, 0);
            io_put_double(s, 5);
            io_put_string(s, "");
            io_put_varint(s, 0);
            put_doubles(s, {0, 0});
            for (int i = 0; i < 4; ++i) io_put_string(s, "");
            io_put_varint(s, count);
            io_put_varint(s, 1);
        };
    };
    auto eye = [identity](double distance) {
        return [identity, distance](IOstream* s) { put_projection(s, 1.0, identity, distance); };
    };
    // The construction settings with the given elevation and zoom limit, every other
    // field zero.
    auto settings_with = [](double elevation, double limit) {
        return [elevation, limit](IOstream* s) {
            IoChunkWriter c(s, 4);
            io_put_varint(s, 0);
            put_doubles(s, {0, 0, 0, 0, elevation});
            for (int i = 0; i < 2; ++i) io_put_varint(s, 0);
            io_put_double(s, 0);
            for (int i = 0; i < 3; ++i) io_put_varint(s, 0);
            io_put_double(s, limit);
            for (int i = 0; i < 3; ++i) io_put_varint(s, 0);
            for (int i = 0; i < 6; ++i) io_put_float(s, 0);
            put_doubles(s, {0, 1, 1});
            for (int i = 0; i < 4; ++i) io_put_varint(s, 0);
            for (int a = 0; a < 2; ++a) {
                put_doubles(s, {-1, 1, -1, 1});
                io_put_varint(s, 0);
            }
        };
    };
    auto placement = [](std::vector<int32_t> words) {
        return [words](IOstream* s) {
            IoChunkWriter c(s, 7);
            for (int32_t w : words) io_put_varint(s, static_cast<uint32_t>(w));
        };
    };
    auto settings_with_elevation = [&](double elevation) { return settings_with(elevation, 1000); };
    // What each case reads back: 0 for the field's initial value, 1 for the value
    // written.
    struct Case {
        const char* what;
        std::function<void(IOstream*)> body;
        int want;
    } cases[] = {
        {"zero eye distance", eye(0.0), 0},
        {"negative eye distance", eye(-4.0), 0},
        {"NaN eye distance", eye(NAN), 0},
        {"good eye distance", eye(7.0), 1},
        {"zero zoom limit", settings_with(0, 0.0), 0},
        {"negative zoom limit", settings_with(0, -3.0), 0},
        {"good zoom limit", settings_with(0, 50.0), 1},
        {"zero scale", [&](IOstream* s) { put_projection(s, 0.0, identity); }, 0},
        {"negative scale", [&](IOstream* s) { put_projection(s, -2.0, identity); }, 0},
        {"infinite scale", [&](IOstream* s) { put_projection(s, INFINITY, identity); }, 0},
        {"NaN rotation", [&](IOstream* s) { put_projection(s, 1.0, broken); }, 0},
        {"singular rotation", [&](IOstream* s) { put_projection(s, 1.0, singular); }, 0},
        {"good projection", [&](IOstream* s) { put_projection(s, 2.0, identity); }, 1},
        {"hostile layer-flag count", layer_state_with_count(0x7FFFFFFF), 0},
        {"count beyond the chunk", layer_state_with_count(5), 0},
        {"negative count", layer_state_with_count(0xFFFFFFFF), 0},
        {"one flag", layer_state_with_count(1), 1},
        {"show state", placement({9, 0, 0, 0, 0, 0, 0, 0, 0, 1}), 0},
        {"negative width", placement({3, 1000, 800, 0, 0, 0, 0, -400, 300, 1}), 0},
        {"huge position", placement({3, 1000, 800, 0, 0, 1 << 30, 0, 400, 300, 1}), 0},
        {"good placement", placement({3, 1000, 800, -32000, -32000, 5, 5, 400, 300, 1}), 1},
        {"scale without an inverse", [&](IOstream* s) { put_projection(s, 1e-310, identity); }, 0},
        {"NaN elevation", settings_with_elevation(NAN), 0},
        {"infinite elevation", settings_with_elevation(-INFINITY), 0},
        {"good elevation", settings_with_elevation(2.5), 1},
        {"zero previous scale",
         [](IOstream* s) {
             IoChunkWriter c(s, 1);
             io_put_double(s, 0.0);
         },
         0},
    };
    auto init = rtc_make<VIEW>();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModelWithViews into;
        ASSERT_EQ(import_with_view_body(c.body, &into, "nonsense.qvm"), 0);
        ASSERT_EQ(into.views().size(), 1u);
        const VIEW* v = into.views()[0];
        const ViewProjection& p = v->projection;
        const bool all_initial = p.scale == init->projection.scale &&
                                 p.eye_distance == init->projection.eye_distance &&
                                 std::memcmp(p.view.m, init->projection.view.m, sizeof p.view.m) == 0 &&
                                 v->previous_scale == init->previous_scale && v->elevation == init->elevation &&
                                 v->zoom_limit == init->zoom_limit &&
                                 v->layer_state.flags == init->layer_state.flags &&
                                 std::memcmp(&v->placement, &init->placement, sizeof v->placement) == 0;
        EXPECT_EQ(all_initial, c.want == 0);
    }
    log_set_level(LogLevel::info);
}

TEST_F(ViewIoTest, EmptySelectionWritesNoSelectionChunk) {
    auto v = rtc_make<VIEW>();
    const std::string path = temp_path("record.bin");
    auto s = rtc_make<IOrecStd>();
    ASSERT_EQ(io_guarded([&] {
                  iorec_open(s.get(), path.c_str(), 1);
                  io_put_object(s.get(), v.get(), kTagAnyClass);
                  iorec_commit(s.get());
              }),
              0);
    s.reset();
    // Record: tag 126, length, chunk 127 with the class name, then the level chunk 0
    // whose sub-chunk tags are listed here.
    const std::vector<char> bytes = file_bytes(path);
    std::remove(path.c_str());
    auto u32 = [&](size_t at) {
        uint32_t v32 = 0;
        for (int i = 3; i >= 0; --i) v32 = (v32 << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v32;
    };
    size_t p = 1 + 4;         // record tag and length
    p += 1 + 4 + u32(p + 1);  // the class-name chunk
    ASSERT_EQ(bytes[p], 0);   // the level chunk
    const size_t end = p + 5 + u32(p + 1);
    std::vector<int> tags;
    for (size_t q = p + 5; q < end; q += 5 + u32(q + 1)) tags.push_back(bytes[q]);
    EXPECT_EQ(tags, (std::vector<int>{0, 1, 3, 4, 5, 6, 7}));
}

}  // namespace

#include "../file/rich_drawing.h"

namespace {

TEST_F(ViewIoTest, RichDrawingWithViewsSavesLoadsSavesByteIdentical) {
    ModelWithViews src;
    ASSERT_EQ(build_rich_drawing(src.model.get()), 0);
    MODEL* m = src.model.get();
    // Two views: one with a selection of a few objects, layer flags and styles.
    for (int i = 0; i < 2; ++i) {
        auto v = rtc_make<VIEW>();
        v->projection.scale = 0.5 + i;
        v->projection.origin_x = -100 * i;
        Transform rot;
        xform_rotate_xyz(&rot, 0.3 * i, 0, 0);
        v->projection.view = rot.fwd;
        v->projection.inverse = rot.inv;
        int picked = 0;
        for (ZOBJ* z = m; z && picked < 3 * (i + 1); z = tree_next(z, m)) {
            if (rtc_is<object>(z) && !rtc_is<CONTAINER>(z)) {
                EXPECT_EQ(buffer_add(v->selection, z), 0);
                ++picked;
            }
        }
        v->layer_state.flags = {1, i, 1};
        v->current_layer = rtc_cast<LAYER>(m->first_child());
        v->placement = {3, 1200, 900, 0, 0, 30 * i, 40, 600, 450, 1};
        model_attach_view(m, v.release());
    }
    const std::string first = temp_path("rich1.qvm"), second = temp_path("rich2.qvm");
    ASSERT_EQ(drawing_file_save(first.c_str(), m, 0), 0);
    ModelWithViews back;
    ASSERT_EQ(drawing_file_import(first.c_str(), back.model.get()), 0);
    ASSERT_EQ(back.views().size(), 2u);
    int selected = 0;
    for (RefNode* n = back.views()[1]->selection->refs; n; n = n->next)
        selected += n->ref != nullptr;
    EXPECT_EQ(selected, 6);
    ASSERT_EQ(drawing_file_save(second.c_str(), back.model.get(), 0), 0);
    EXPECT_EQ(file_bytes(first), file_bytes(second));
    std::remove(first.c_str());
    std::remove(second.c_str());
}

}  // namespace
