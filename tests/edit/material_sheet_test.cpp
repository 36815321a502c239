// Change Colour Material through the real material sheet (modal and file-dialog
// hooks): each slot kind stored exactly and reloaded byte for byte, an unreadable
// image, an image shared by materials and the undo history, Cancel against OK, and a
// camera's background and fog.
// With ZELO_SHOT_DIR set, the sheet with a marble preset and a camera's sheet with a
// sky background are saved there as PNGs.
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>
#include <filesystem>

#include "../file/file_support.h"
#include "../stream/stream_support.h"
#include "commands/input/support.h"
#include "dialogs/edit_dialogs.h"
#include "dialogs/sample/material_sample.h"
#include "dialogs/texture_slot_editor.h"
#include "dialogs/xfile.h"
#include "edit_fixture.h"
#include "imaging/texture/texture_image.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/texture_map.h"
#include "model/math/result.h"
#include "model/math/scalar.h"
#include "model/db/tree.h"
#include "model/stream/matchunk.h"
#include "platform/modal.h"
#include "render/surface/presets.h"

namespace {

class MaterialSheet : public EditTest {
  public:
    void SetUp() override {
        EditTest::SetUp();
        g_prefs.material = 1;
        edit_dialogs_install();
        texture_presets_install();
        char tmpl[] = "/tmp/zelo_matsheet_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        platform_set_modal_hook(nullptr);
        xfile_set_test_hook(nullptr);
        std::filesystem::remove_all(dir_);
        EditTest::TearDown();
    }
    // A 2 x 2 grey 24-bit Targa file in the scratch folder; its path.
    std::string targa(const char* name, uint8_t grey) {
        Bytes b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0x20};
        b.resize(b.size() + 12, grey);
        put_file(dir_ + "/" + name, b);
        return dir_ + "/" + name;
    }
    // Change Colour Material on `mesh`, `drive` answering the sheet, `paths` the file
    // dialog (one a request); the mesh's clone afterwards.
    MESH3* change(Harness& h, MESH3* mesh, std::function<void(CDialog&)> drive, std::vector<std::string> paths = {}) {
        xfile_set_test_hook([paths](CXFile& d) mutable {
            if (paths.empty()) return false;
            d.choose(paths.front(), -1);
            paths.erase(paths.begin());
            return true;
        });
        buffer_clear(h.view()->selection);
        EXPECT_EQ(buffer_add(h.view()->selection, mesh), 0);
        platform_set_modal_hook(std::move(drive));
        h.run(kCmdChangeMaterial);
        return rtc_cast<MESH3>(*refs_of(h.view()->selection).begin());
    }
    static QWidget* at(CDialog& d, int slot, int part) {
        return d.GetDlgItem(CMaterialSheetDlg::kIdcSlotFirst + 30 * slot + part);
    }
    static void pick(CDialog& d, int slot, int part, int index) {
        auto* box = static_cast<QComboBox*>(at(d, slot, part));
        box->setCurrentIndex(index);
        box->activated(index);
    }
    static void type(CDialog& d, int slot, int part, const char* text) {
        static_cast<QLineEdit*>(at(d, slot, part))->setText(text);
        static_cast<QLineEdit*>(at(d, slot, part))->textEdited(text);
    }
    // With ZELO_SHOT_DIR set, the sheet as a PNG there.
    static void shot(CDialog& d, const char* name) {
        if (const char* dir = std::getenv("ZELO_SHOT_DIR")) {
            d.resize(d.sizeHint());  // whole, also beyond the small offscreen screen
            d.grab().save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
        }
    }
    static void click_image(CDialog& d, int slot) { static_cast<QPushButton*>(at(d, slot, kSlotImage))->click(); }

    std::string dir_;
};

MESH3* add_mesh(MODEL* m) {
    auto x = rtc_make<MESH3>();
    x->material->flags |= kMaterialSmoothGroups;  // as an imported mesh has it
    return scene_add(scene_layer(m), x.release());
}

int image_patterns(MODEL* m) {
    int n = 0;
    if (ZDLIST* p = m->patterns) do n += rtc_is_a(p, &MATRPATT::rtc_class), p = p->next; while (p != m->patterns);
    return n;
}

// The bytes a drawing file holds for `m`; with `model`, for what it reads back from them.
Bytes stored(const std::string& path, const MaterialRecord* m, MODEL* model = nullptr) {
    MaterialRecord back;
    for (bool write : {false, true}) {
        if (!write && !model) continue;
        std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
        EXPECT_EQ(io_guarded([&] {
                      iorec_open(s.get(), path.c_str(), write);
                      if (write) {
                          io_put_material(s.get(), model ? &back : m, 1027);
                          iorec_commit(s.get());
                      } else {
                          IoChunkReader chunk(s.get());
                          io_get_material(s.get(), model, &back);
                      }
                  }),
                  0);
    }
    return file_bytes(path);
}

TEST_F(MaterialSheet, EachSlotKindStoresExactlyItsFieldsAndReloadsByteIdentical) {
    struct Case {
        const char* what;
        int slot;
        bool rust_before;  // the colour texture starts with the "Rust" preset
        std::function<void(CDialog&)> drive;
        std::function<void(const TextureSlot&, MODEL*)> expect;
    };
    const std::string image = targa("grey.tga", 128);
    const Case cases[] = {
        {"marble", kSlotTexture, false,
         [](CDialog& d) {
             CMaterialSample* sample = static_cast<CMaterialSheetDlg&>(d).sample();
             ASSERT_TRUE(sample && sample->wait_ready(120000));
             const QImage plain = sample->picture();
             pick(d, kSlotTexture, kSlotKind, kChoiceProcedural);
             pick(d, kSlotTexture, kSlotPreset, 7);  // "Marble: White", base value 30
             EXPECT_EQ(d.GetDlgItemText(CMaterialSheetDlg::kIdcSlotFirst + kSlotAmount), "30");
             type(d, kSlotTexture, kSlotAmount, "45");
             ASSERT_TRUE(sample->wait_ready(120000));  // the sample follows the sheet
             EXPECT_NE(sample->picture(), plain);
             shot(d, "material_sheet_marble");
         },
         [](const TextureSlot& s, MODEL*) {
             EXPECT_EQ(s.kind, 11);
             EXPECT_EQ(s.ramp, texture_preset_find_ramp(&kPresetsTexture, -7));
             EXPECT_FLOAT_EQ(s.amount, 0.45f);
         }},
        {"image", kSlotReflection, false,
         [](CDialog& d) {
             pick(d, kSlotReflection, kSlotKind, kChoiceImage);
             pick(d, kSlotReflection, kSlotMapping, 2);  // spherical
             type(d, kSlotReflection, kSlotUScale, "2");
             type(d, kSlotReflection, kSlotVScale, "3");
             type(d, kSlotReflection, kSlotAngle, "45");
             static_cast<QAbstractButton*>(at(d, kSlotReflection, kSlotDecal))->setChecked(true);
         },
         [&image](const TextureSlot& s, MODEL* model) {
             EXPECT_EQ(s.kind, kTextureImage);
             EXPECT_EQ(s.mapping_mode, kMappingModeSpherical);
             EXPECT_EQ(s.mapping.image, model_find_patt(model, image.c_str(), &MATRPATT::rtc_class));
             EXPECT_EQ(s.mapping.flags, kMappingDecal);
             Matrix43 want;
             texture_mapping_build_matrix(&want, 2, 3, 45, false, false, 0, 0);
             EXPECT_EQ(std::memcmp(&want, &s.mapping.matrix, sizeof want), 0);
         }},
        {"new image map", kSlotTexture, false,
         [](CDialog& d) {
             pick(d, kSlotTexture, kSlotKind, kChoiceImage);
             EXPECT_EQ(static_cast<QComboBox*>(at(d, kSlotTexture, kSlotMapping))->currentText(), "As given");
             shot(d, "material_sheet_new_image");
         },
         [](const TextureSlot& s, MODEL*) {
             EXPECT_EQ(s.kind, kTextureImage);
             EXPECT_EQ(s.mapping_mode, kMappingModePoint);  // grid meshes' own coordinates
         }},
        {"none", kSlotTexture, true, [](CDialog& d) { pick(d, kSlotTexture, kSlotKind, kChoiceNone); },
         [](const TextureSlot& s, MODEL*) { EXPECT_TRUE(s.kind == kTextureNone && !s.ramp); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        define_edit_commands(h);
        MESH3* mesh = add_mesh(h.model());
        if (c.rust_before) texture_preset_apply(mesh->material, &kPresetsTexture, 3);
        MaterialRecord before;
        EXPECT_EQ(material_copy(&before, mesh->material), 0);
        MESH3* now = change(
            h, mesh,
            [&](CDialog& d) {
                c.drive(d);
                d.press(IDOK);
            },
            {image});
        ASSERT_NE(now, mesh);
        EXPECT_EQ(h.model()->undo_levels, 1);
        c.expect(now->material->slots[c.slot], h.model());
        // Nothing else changed, but for the smoothing-group flag the sheet clears.
        EXPECT_EQ(now->material->flags, before.flags & ~kMaterialSmoothGroups);
        EXPECT_EQ(now->material->shininess, before.shininess);
        for (int other : {(c.slot + 1) % 3, (c.slot + 2) % 3})
            EXPECT_EQ(now->material->slots[other].kind, before.slots[other].kind);
        const Bytes written = stored(dir_ + "/m.bin", now->material);  // then read back
        EXPECT_EQ(stored(dir_ + "/m.bin", nullptr, h.model()), written);
    }
}

// Typing in one field of a slot leaves the others' values whole, also where they show
// fewer digits than they hold.
TEST_F(MaterialSheet, TypingOneFieldKeepsTheDigitsOfTheOthers) {
    Harness h;
    define_edit_commands(h);
    MESH3* mesh = change(
        h, add_mesh(h.model()),
        [](CDialog& d) {
            pick(d, kSlotTexture, kSlotKind, kChoiceImage);
            type(d, kSlotTexture, kSlotUScale, "1.23456");
            type(d, kSlotTexture, kSlotAngle, "12.3456");
            d.press(IDOK);
        },
        {targa("a.tga", 128)});
    mesh = change(h, mesh, [](CDialog& d) {
        EXPECT_EQ(static_cast<QLineEdit*>(at(d, kSlotTexture, kSlotUScale))->text(), "1.235");
        type(d, kSlotTexture, kSlotAmount, "50");
        d.press(IDOK);
    });
    const TextureSlot& s = mesh->material->slots[kSlotTexture];
    EXPECT_EQ(s.amount, 0.5f);
    EXPECT_EQ(s.mapping.u_scale, 1.23456f);
    EXPECT_EQ(s.mapping.angle, 12.3456f);
}

// An image that cannot be read leaves the slot as it was (a preset, an image) and
// says why; nothing joins the drawing.
TEST_F(MaterialSheet, UnreadableImageLeavesTheSlotAndShowsTheReadersMessage) {
    const std::string broken = dir_ + "/broken.tga", missing = dir_ + "/none.gif";
    put_file(broken, bytes({1, 2, 3}));
    Harness h;
    define_edit_commands(h);
    MESH3* mesh = add_mesh(h.model());
    texture_preset_apply(mesh->material, &kPresetsTexture, 6);
    auto image_in_reflection = [](CDialog& d) {
        pick(d, kSlotReflection, kSlotKind, kChoiceImage);
        d.press(IDOK);
    };
    mesh = change(h, mesh, image_in_reflection, {targa("good.tga", 200)});
    MATRPATT* image = mesh->material->slots[kSlotReflection].mapping.image;
    ASSERT_NE(image, nullptr);
    const int patterns = image_patterns(h.model());
    for (const std::string& bad : {broken, missing}) {
        SCOPED_TRACE(bad);
        boxes.clear();
        auto try_both = [&](CDialog& d) {
            pick(d, kSlotTexture, kSlotKind, kChoiceImage);
            click_image(d, kSlotReflection);
            EXPECT_EQ(d.GetDlgItemText(CMaterialSheetDlg::kIdcSlotFirst + kSlotKind), "Procedural");
            d.press(IDOK);
        };
        mesh = change(h, mesh, try_both, {bad, bad});
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_NE(boxes[1].find(bad), std::string::npos) << boxes[1];
        EXPECT_NE(boxes[1].find(bad == missing ? "(2: no such file or folder)" : "(13: it is not an image"),
                  std::string::npos)
            << boxes[1];
        EXPECT_EQ(mesh->material->slots[kSlotTexture].kind, 11);
        EXPECT_EQ(mesh->material->slots[kSlotReflection].mapping.image, image);
        EXPECT_EQ(image_patterns(h.model()), patterns);
    }
}

// Two materials on one image share one pattern, found by name; another image for one
// of them, and an undo, never free it while a slot or the history uses it.
TEST_F(MaterialSheet, SharedImageIsOnePatternAndOutlivesEveryUser) {
    const std::string wood = targa("wood.tga", 90);
    Harness h;
    define_edit_commands(h);
    const int patterns = image_patterns(h.model());
    auto image_in_texture = [](CDialog& d) {
        pick(d, kSlotTexture, kSlotKind, kChoiceImage);
        d.press(IDOK);
    };
    MESH3* a = change(h, add_mesh(h.model()), image_in_texture, {wood});
    MESH3* b = change(h, add_mesh(h.model()), image_in_texture, {wood});
    MATRPATT* shared = a->material->slots[kSlotTexture].mapping.image;
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(b->material->slots[kSlotTexture].mapping.image, shared);
    EXPECT_EQ(image_patterns(h.model()), patterns + 1);
    auto another = [](CDialog& d) {
        click_image(d, kSlotTexture);
        d.press(IDOK);
    };
    change(h, a, another, {targa("stone.tga", 160)});
    EXPECT_EQ(image_patterns(h.model()), patterns + 2);
    EXPECT_EQ(b->material->slots[kSlotTexture].mapping.image, shared);
    // Undo brings a's clone back, still on the shared pattern, which still reads.
    ASSERT_EQ(model_undo(h.model()), 0);
    for (object* o : drawing_objects(h.model()))
        EXPECT_EQ(rtc_cast<MESH3>(o)->material->slots[kSlotTexture].mapping.image, shared);
    ASSERT_EQ(shared->make_image_ready(), 0);
    EXPECT_EQ(shared->pixels[0], 90);
}

// Cancel leaves the material, the drawing's patterns and the history alone; OK is one
// undo level, and one undo gives the drawing back.
TEST_F(MaterialSheet, CancelChangesNothingAndOkIsOneUndoLevel) {
    const std::string image = targa("new.tga", 10);
    Harness h;
    define_edit_commands(h);
    MESH3* mesh = add_mesh(h.model());
    const std::string before = dump_drawing(h.model());
    const int patterns = image_patterns(h.model());
    for (int press : {IDCANCEL, IDOK}) {
        SCOPED_TRACE(press);
        MESH3* now = change(
            h, mesh,
            [press](CDialog& d) {
                pick(d, kSlotTexture, kSlotKind, kChoiceImage);
                pick(d, kSlotBump, kSlotKind, kChoiceProcedural);
                d.SetDlgItemText(kIdcFirst + 15, "0.9");
                d.press(press);
            },
            {image});
        EXPECT_EQ(now->material->slots[kSlotBump].kind, press == IDOK ? 2 : 0);  // "Bumps" on OK
        EXPECT_EQ(h.model()->undo_levels, press == IDOK ? 1 : 0);
        if (press == IDCANCEL) {
            EXPECT_EQ(dump_drawing(h.model()), before);
            EXPECT_EQ(image_patterns(h.model()), patterns);
        }
    }
    ASSERT_EQ(model_undo(h.model()), 0);
    EXPECT_EQ(drawing_objects(h.model()).front(), mesh);
    EXPECT_EQ(mesh->material->slots[kSlotTexture].kind, kTextureNone);
    // The view's current material (15306) is handed to the sheet itself.
    const Bytes current = stored(dir_ + "/v.bin", &h.view()->material);
    int32_t colour = 1;
    platform_set_modal_hook([](CDialog& d) {
        pick(d, kSlotBump, kSlotKind, kChoiceProcedural);
        d.SetDlgItemText(kIdcFirst + 15, "0.9");
        d.press(IDCANCEL);
    });
    EXPECT_FALSE(edit_dialogs().material_sheet(h.view(), &colour, &h.view()->material, false, nullptr));
    EXPECT_EQ(stored(dir_ + "/v.bin", &h.view()->material), current);
}

// OK without an edit stores every field exactly, though each shows 4 digits; an edited
// field takes the typed value. The material sheet, its slots, the background form's
// fog and the camera dialog.
TEST_F(MaterialSheet, OkWithoutEditsKeepsValuesThatFourDigitsWouldRound) {
    Harness h;
    MATRPATT* pattern = nullptr;
    ASSERT_EQ(texture_image_load(&pattern, targa("t.tga", 9).c_str(), "t.tga"), 0);
    ASSERT_TRUE(model_insert_patt(h.model(), pattern));
    MaterialRecord m;
    texture_preset_apply(&m, &kPresetsBump, 0);
    TextureSlot& image = m.slots[kSlotTexture];
    image.kind = kTextureImage;
    ASSERT_EQ(texture_mapping_set_image(&image.mapping, pattern), 0);
    auto cam = rtc_make<CAMERA>();
    cam->lens = 1.18912;
    cam->set_aperture(0.00004f);
    struct Field {
        int form;  // the sheet's template, 0 for the camera dialog
        int id;
        float* value;
        float odd;          // shows rounded
        const char* typed;  // then typed
        float want;
    };
    const int slot = CMaterialSheetDlg::kIdcSlotFirst;
    const int bump = slot + 30 * kSlotBump;
    const Field fields[] = {
        {kDlgMaterial, kIdcFirst + 15, &m.shininess, 0.123456f, "0.5", 0.5f},
        {kDlgMaterial, CMaterialSheetDlg::kIdcSmoothing, &m.smoothing_angle, 0.5f, "30", float(30 * kPi / 180)},
        {kDlgMaterial, kIdcFirst + 3, &m.colour[0], 0.987654f, "0.25", 0.25f},
        {kDlgMaterial, slot + kSlotAmount, &image.amount, 0.123456f, "50", 0.5f},
        {kDlgMaterial, slot + kSlotUScale, &image.mapping.u_scale, 1.23456f, "2", 2.0f},
        {kDlgMaterial, slot + kSlotVScale, &image.mapping.v_scale, 2.34567f, "3", 3.0f},
        {kDlgMaterial, slot + kSlotAngle, &image.mapping.angle, 12.3456f, "45", 45.0f},
        {kDlgMaterial, bump + kSlotAmount, &m.slots[kSlotBump].amount, 0.123456f, "20", 0.2f},
        {kDlgBackground, CMaterialSheetDlg::kIdcFogVisibility, &m.slots[kSlotBump].amount, 0.654321f, "0.5", 0.5f},
        {kDlgBackground, CMaterialSheetDlg::kIdcFogHaze, &image.amount, 0.123456f, "0.25", 0.25f},
        {0, kIdcFirst + 3, &cam->position.x, 1234.5f, "7", 7.0f},
        {0, kIdcFirst + 9, &cam->target.z, 0.00001234f, "-8", -8.0f},
    };
    for (bool edit : {false, true}) {
        cam->set_aperture(0.00004f);
        for (int form : {kDlgMaterial, kDlgBackground, 0}) {
            SCOPED_TRACE(testing::Message() << "form " << form << (edit ? " edited" : " untouched"));
            for (const Field& f : fields)
                if (f.form == form) *f.value = f.odd;
            platform_set_modal_hook([&](CDialog& d) {
                if (edit)
                    for (const Field& f : fields)
                        if (f.form == form) d.SetDlgItemText(f.id, f.typed);
                d.press(IDOK);
            });
            int32_t colour = 3;
            if (form) {
                CMaterialSheetDlg dlg(nullptr, form, &colour, &m, h.model());
                ASSERT_EQ(dlg.DoModal(), IDOK);
            } else {
                ASSERT_EQ(CCameraSettingsDlg(nullptr, cam.get()).DoModal(), IDOK);
            }
            for (const Field& f : fields) {
                if (f.form != form) continue;
                EXPECT_EQ(*f.value, edit ? f.want : f.odd) << "control " << f.id;
            }
        }
        EXPECT_EQ(cam->lens, 1.18912);
        EXPECT_EQ(cam->aperture(), 0.00004f);
    }
}

// An image loaded in the sheet enters the drawing in the undo level of the material
// change: Undo gives the drawing back exactly, Redo brings the image back. "Change
// What?" cancelled after the sheet's OK adds nothing.
TEST_F(MaterialSheet, NewImageIsInTheUndoLevelOfTheChange) {
    const std::string image = targa("undo.tga", 40);
    Harness h;
    define_edit_commands(h);
    MESH3* mesh = add_mesh(h.model());
    MESH3* other = add_mesh(h.model());
    texture_preset_apply(other->material, &kPresetsTexture, 3);  // two materials: Change What? asks
    const std::string before = dump_drawing(h.model());
    const int patterns = image_patterns(h.model());
    auto load = [](CDialog& d) {
        pick(d, kSlotTexture, kSlotKind, kChoiceImage);
        d.press(IDOK);
    };
    edit_dialogs().change_what = [](VIEW*, int32_t*) { return false; };
    xfile_set_test_hook([&image](CXFile& d) {
        d.choose(image, -1);
        return true;
    });
    EXPECT_EQ(buffer_add(h.view()->selection, mesh), 0);
    EXPECT_EQ(buffer_add(h.view()->selection, other), 0);
    platform_set_modal_hook(load);
    h.run(kCmdChangeMaterial);
    EXPECT_EQ(h.model()->undo_levels, 0);
    EXPECT_EQ(dump_drawing(h.model()), before);

    MESH3* now = change(h, mesh, load, {image});
    ASSERT_NE(now, mesh);
    EXPECT_EQ(image_patterns(h.model()), patterns + 1);
    EXPECT_EQ(h.model()->undo_levels, 1);
    ASSERT_EQ(model_undo(h.model()), 0);
    EXPECT_EQ(dump_drawing(h.model()), before);
    EXPECT_EQ(image_patterns(h.model()), patterns);
    ASSERT_EQ(model_redo(h.model()), 0);
    EXPECT_EQ(image_patterns(h.model()), patterns + 1);
    EXPECT_EQ(now->material->slots[kSlotTexture].mapping.image,
              model_find_patt(h.model(), image.c_str(), &MATRPATT::rtc_class));
}

// The view's current material (15306) takes an image that a mesh's change brought in:
// undoing that change leaves the image in the drawing and in the view's material, and
// Redo gives the mesh its image back.
TEST_F(MaterialSheet, ViewMaterialKeepsAnImageThatAnUndoneChangeBroughtIn) {
    const std::string image = targa("a.tga", 30);
    Harness h;
    define_edit_commands(h);
    const int patterns = image_patterns(h.model());
    auto load = [](CDialog& d) {
        pick(d, kSlotTexture, kSlotKind, kChoiceImage);
        d.press(IDOK);
    };
    MESH3* mesh = change(h, add_mesh(h.model()), load, {image});
    MATRPATT* pattern = mesh->material->slots[kSlotTexture].mapping.image;
    ASSERT_NE(pattern, nullptr);
    ASSERT_EQ(h.model()->undo_levels, 1);
    xfile_set_test_hook([&image](CXFile& d) {
        d.choose(image, -1);
        return true;
    });
    platform_set_modal_hook(load);
    int32_t colour = 1;
    ASSERT_TRUE(edit_dialogs().material_sheet(h.view(), &colour, &h.view()->material, false, nullptr));
    const TextureSlot& viewed = h.view()->material.slots[kSlotTexture];
    ASSERT_EQ(viewed.mapping.image, pattern);  // found by name
    EXPECT_EQ(h.model()->undo_levels, 1);

    ASSERT_EQ(cmd_undo(h.view()), 0);
    EXPECT_EQ(rtc_cast<MESH3>(drawing_objects(h.model()).front())->material->slots[kSlotTexture].kind, kTextureNone);
    EXPECT_EQ(model_find_patt(h.model(), image.c_str(), &MATRPATT::rtc_class), pattern);
    EXPECT_EQ(viewed.kind, kTextureImage);
    EXPECT_EQ(viewed.mapping.image, pattern);
    ASSERT_EQ(cmd_redo(h.view()), 0);
    EXPECT_EQ(rtc_cast<MESH3>(drawing_objects(h.model()).front())->material->slots[kSlotTexture].mapping.image,
              pattern);
    EXPECT_EQ(viewed.mapping.image, pattern);
    EXPECT_EQ(image_patterns(h.model()), patterns + 1);
}

// A drawing that took a pattern of the same file while the sheet was open (another
// sheet loaded it and was stored first) refuses the sheet's copy: the stored material
// uses the drawing's pattern, not the copy that goes with the sheet.
TEST_F(MaterialSheet, AnImageTheDrawingTookMeanwhileIsTheOneStored) {
    const std::string image = targa("twice.tga", 50);
    Harness h;
    const int patterns = image_patterns(h.model());
    MaterialRecord m;
    {
        SheetPatterns mine(h.model());
        MATRPATT* kept = nullptr;
        ASSERT_EQ(mine.image(image, &kept), 0);
        {
            SheetPatterns other(h.model());
            MaterialRecord theirs;
            theirs.slots[kSlotBump].kind = kTextureImage;
            ASSERT_EQ(other.image(image, &theirs.slots[kSlotBump].mapping.image), 0);
            ASSERT_NE(theirs.slots[kSlotBump].mapping.image, kept);
            other.commit(theirs);
        }
        m.slots[kSlotTexture].kind = kTextureImage;
        m.slots[kSlotTexture].mapping.image = kept;
        mine.commit(m);
    }
    PATT* stored = model_find_patt(h.model(), image.c_str(), &MATRPATT::rtc_class);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(m.slots[kSlotTexture].kind, kTextureImage);
    EXPECT_EQ(m.slots[kSlotTexture].mapping.image, stored);
    EXPECT_EQ(image_patterns(h.model()), patterns + 1);
}

// Without a whole working copy (out of memory) the sheet does not open, so OK cannot
// store a default material over the caller's.
TEST_F(MaterialSheet, NoWorkingCopyNoSheet) {
    MaterialRecord m;
    m.shininess = 0.3f;
    ASSERT_EQ(colour_ramp_new(&m.slots[kSlotTexture].ramp, 2), 0);  // the copy allocates
    bool opened = false;
    platform_set_modal_hook([&opened](CDialog& d) {
        opened = true;
        d.press(IDOK);
    });
    int32_t colour = 5;
    material_fail_allocation_after(1);
    CMaterialSheetDlg dlg(nullptr, kDlgMaterial, &colour, &m);
    material_fail_allocation_after(0);
    EXPECT_EQ(dlg.DoModal(), kOutOfMemory);
    EXPECT_FALSE(opened);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(m.shininess, 0.3f);
    EXPECT_EQ(colour, 5);
}

// Out of memory on OK leaves the caller's record as it was, so Cancel afterwards, which
// frees the image the sheet loaded, leaves nothing pointing at it.
TEST_F(MaterialSheet, OkOutOfMemoryThenCancelLeavesTheRecordAlone) {
    const std::string image = targa("oom.tga", 70);
    Harness h;
    MaterialRecord m;
    m.shininess = 0.3f;
    ASSERT_EQ(colour_ramp_new(&m.slots[kSlotReflection].ramp, 2), 0);  // the copy allocates
    xfile_set_test_hook([&image](CXFile& d) {
        d.choose(image, -1);
        return true;
    });
    platform_set_modal_hook([&](CDialog& d) {
        pick(d, kSlotTexture, kSlotKind, kChoiceImage);
        d.SetDlgItemText(kIdcFirst + 15, "0.9");
        material_fail_allocation_after(1);
        d.press(IDOK);  // refused: the sheet stays open
        material_fail_allocation_after(0);
        d.press(IDCANCEL);
    });
    int32_t colour = 5;
    EXPECT_EQ(CMaterialSheetDlg(nullptr, kDlgMaterial, &colour, &m, h.model()).DoModal(), IDCANCEL);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(m.slots[kSlotTexture].kind, kTextureNone);
    if (const MATRPATT* p = m.slots[kSlotTexture].mapping.image) {
        EXPECT_EQ(p->name(), image);  // the sheet has gone with its images
    }
    EXPECT_EQ(m.slots[kSlotTexture].mapping.image, nullptr);
    EXPECT_EQ(m.shininess, 0.3f);
    EXPECT_EQ(colour, 5);
}

// A camera's material is its scene: the background texture in the texture slot, whose
// amount stays the fog's haze; the fog's visibility in the bump slot's amount.
TEST_F(MaterialSheet, CameraSheetSetsTheBackgroundAndTheFog) {
    Harness h;
    define_edit_commands(h);
    CAMERA* cam = scene_add(scene_layer(h.model()), rtc_make<CAMERA>().release());
    EXPECT_EQ(buffer_add(h.view()->selection, cam), 0);
    platform_set_modal_hook([](CDialog& d) {
        EXPECT_EQ(at(d, kSlotBump, kSlotKind), nullptr);
        EXPECT_TRUE(at(d, kSlotTexture, kSlotAmount)->isHidden());
        pick(d, kSlotTexture, kSlotKind, kChoiceProcedural);
        pick(d, kSlotTexture, kSlotPreset, 22);  // "Sky: Blue I"
        d.SetDlgItemText(CMaterialSheetDlg::kIdcFogVisibility, "0.5");
        d.SetDlgItemText(CMaterialSheetDlg::kIdcFogHaze, "0.3");
        shot(d, "material_sheet_background");
        d.press(IDOK);
    });
    h.run(kCmdChangeMaterial);
    const MaterialRecord& m = *rtc_cast<CAMERA>(*refs_of(h.view()->selection).begin())->material;
    EXPECT_EQ(m.slots[kSlotTexture].ramp, texture_preset_find_ramp(&kPresetsTexture, -22));
    EXPECT_FLOAT_EQ(m.slots[kSlotTexture].amount, 0.3f);
    EXPECT_FLOAT_EQ(m.slots[kSlotBump].amount, 0.5f);
    EXPECT_EQ(h.model()->undo_levels, 1);
}

}  // namespace
