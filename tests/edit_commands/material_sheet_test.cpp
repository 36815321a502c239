// Change Colour Material through the real material sheet, driven by the modal and
// file-dialog hooks: each slot kind stored exactly and read back from a file byte for
// byte, an unreadable image, an image shared by several materials and by the undo
// history, Cancel against OK, and the sample following the sheet. With ZELO_SHOT_DIR
// set, the sheet with a marble preset is saved there as a PNG.
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "../file/file_support.h"
#include "../stream/stream_support.h"
#include "dialogs/edit_dialogs.h"
#include "dialogs/material_sample.h"
#include "dialogs/texture_slot_editor.h"
#include "dialogs/xfile.h"
#include "edit_fixture.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/material/material.h"
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
    // A 2 x 2 24-bit Targa file named `name` in the scratch folder; its path.
    std::string targa(const char* name, uint8_t grey) {
        const std::string path = dir_ + "/" + name;
        Bytes b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0x20};
        for (int i = 0; i < 12; ++i) b.push_back(grey);
        put_file(path, b);
        return path;
    }
    // Runs Change Colour Material on `mesh` with `drive` answering the sheet.
    void change(Harness& h, MESH3* mesh, std::function<void(CDialog&)> drive) {
        buffer_clear(h.view()->selection);
        buffer_add(h.view()->selection, mesh);
        platform_set_modal_hook(std::move(drive));
        h.run(kCmdChangeMaterial);
    }
    // The files the file dialog answers, one per request.
    void files(std::vector<std::string> paths) {
        queue_ = std::move(paths);
        xfile_set_test_hook([this](CXFile& d) {
            if (queue_.empty()) return false;
            d.choose(queue_.front(), -1);
            queue_.erase(queue_.begin());
            return true;
        });
    }
    static void pick(CDialog& d, int slot, int control, int index) {
        auto* box = qobject_cast<QComboBox*>(d.GetDlgItem(CMaterialSheetDlg::kIdcSlotFirst + 30 * slot + control));
        ASSERT_NE(box, nullptr);
        box->setCurrentIndex(index);
        box->activated(index);
    }
    static void type(CDialog& d, int slot, int control, const char* text) {
        auto* e = qobject_cast<QLineEdit*>(d.GetDlgItem(CMaterialSheetDlg::kIdcSlotFirst + 30 * slot + control));
        ASSERT_NE(e, nullptr);
        e->setText(text);
        e->textEdited(text);
    }
    static void click_image(CDialog& d, int slot) {
        auto* b = qobject_cast<QPushButton*>(d.GetDlgItem(CMaterialSheetDlg::kIdcSlotFirst + 30 * slot + kSlotImage));
        ASSERT_NE(b, nullptr);
        b->click();
    }
    static void tick_decal(CDialog& d) {
        d.CheckDlgButton(CMaterialSheetDlg::kIdcSlotFirst + 30 * kSlotReflection + kSlotDecal, true);
    }
    static MESH3* selected(Harness& h) { return rtc_cast<MESH3>(*refs_of(h.view()->selection).begin()); }

    std::string dir_;
    std::vector<std::string> queue_;
};

MESH3* add_mesh(MODEL* m) {
    auto x = rtc_make<MESH3>();
    x->material->flags |= kMaterialSmoothGroups;  // as an imported mesh has it
    return scene_add(scene_layer(m), x.release());
}

// The drawing's image patterns.
int pattern_count(MODEL* m) {
    int n = 0;
    if (ZDLIST* p = m->patterns) do n += rtc_is_a(p, &MATRPATT::rtc_class), p = p->next; while (p != m->patterns);
    return n;
}

// The material written as a drawing file writes it.
Bytes material_bytes(const MaterialRecord* m, const std::string& path) {
    std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
    EXPECT_EQ(io_guarded([&] {
                  iorec_open(s.get(), path.c_str(), 1);
                  io_put_material(s.get(), m, 1027);
                  iorec_commit(s.get());
              }),
              0);
    return file_bytes(path);
}

TEST_F(MaterialSheet, EachSlotKindStoresExactlyItsFieldsAndReloadsByteIdentical) {
    struct Case {
        const char* what;
        int slot;
        std::function<void(MaterialSheet&, CDialog&)> drive;
        std::function<void(const TextureSlot&, MODEL*)> expect;
    };
    const std::string image = targa("grey.tga", 128);
    const Case cases[] = {
        {"marble in the colour texture", kSlotTexture,
         [](MaterialSheet&, CDialog& d) {
             // The sample follows the working copy.
             CMaterialSample* sample = static_cast<CMaterialSheetDlg&>(d).sample();
             ASSERT_NE(sample, nullptr);
             ASSERT_TRUE(sample->wait_ready(120000));
             const QImage plain = sample->picture();
             pick(d, kSlotTexture, kSlotKind, kChoiceProcedural);
             pick(d, kSlotTexture, kSlotPreset, 7);  // "Marble: White"
             EXPECT_EQ(d.GetDlgItemText(CMaterialSheetDlg::kIdcSlotFirst + kSlotAmount), "30");  // its base value
             type(d, kSlotTexture, kSlotAmount, "45");
             ASSERT_TRUE(sample->wait_ready(120000));
             EXPECT_NE(sample->picture(), plain);
             if (const char* dir = std::getenv("ZELO_SHOT_DIR")) {
                 d.resize(d.sizeHint());  // whole, also beyond the small offscreen screen
                 d.grab().save(QString::fromStdString(std::string(dir) + "/material_sheet_marble.png"));
             }
         },
         [](const TextureSlot& s, MODEL*) {
             EXPECT_EQ(s.kind, 11);
             ASSERT_NE(s.ramp, nullptr);
             EXPECT_EQ(s.ramp->refcount, -7);
             EXPECT_FLOAT_EQ(s.amount, 0.45f);
             EXPECT_EQ(s.pattern.octaves, 3);
             EXPECT_FLOAT_EQ(s.pattern.turbulence[2], 1.0f);
         }},
        {"waves in the bump map", kSlotBump,
         [](MaterialSheet&, CDialog& d) {
             pick(d, kSlotBump, kSlotKind, kChoiceProcedural);
             pick(d, kSlotBump, kSlotPreset, 4);
         },
         [](const TextureSlot& s, MODEL*) {
             EXPECT_EQ(s.kind, 6);
             EXPECT_EQ(s.ramp, texture_preset_find_ramp(&kPresetsBump, -5));
             EXPECT_FLOAT_EQ(s.amount, 0.2f);
         }},
        {"an image in the reflection map", kSlotReflection,
         [&image](MaterialSheet& t, CDialog& d) {
             t.files({image});
             pick(d, kSlotReflection, kSlotKind, kChoiceImage);
             pick(d, kSlotReflection, kSlotMapping, 2);  // spherical
             type(d, kSlotReflection, kSlotUScale, "2");
             type(d, kSlotReflection, kSlotVScale, "3");
             type(d, kSlotReflection, kSlotAngle, "45");
             t.tick_decal(d);
         },
         [&image](const TextureSlot& s, MODEL* model) {
             EXPECT_EQ(s.kind, kTextureImage);
             EXPECT_EQ(s.mapping_mode, kMappingModeSpherical);
             ASSERT_NE(s.mapping.image, nullptr);
             EXPECT_EQ(s.mapping.image, model_find_patt(model, image.c_str(), &MATRPATT::rtc_class));
             EXPECT_EQ(s.mapping.interpolation, kInterpolationReflectionDefault);
             EXPECT_EQ(s.mapping.flags, kMappingDecal);
             EXPECT_FLOAT_EQ(s.mapping.u_scale, 2);
             EXPECT_FLOAT_EQ(s.mapping.v_scale, 3);
             EXPECT_FLOAT_EQ(s.mapping.angle, 45);
             Matrix43 want;
             texture_mapping_build_matrix(&want, 2, 3, 45, false, false, 0, 0);
             EXPECT_EQ(std::memcmp(&want, &s.mapping.matrix, sizeof want), 0);
         }},
        {"the colour texture back to none", kSlotTexture,
         [](MaterialSheet&, CDialog& d) { pick(d, kSlotTexture, kSlotKind, kChoiceNone); },
         [](const TextureSlot& s, MODEL*) {
             EXPECT_EQ(s.kind, kTextureNone);
             EXPECT_EQ(s.ramp, nullptr);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        define_edit_commands(h);
        MESH3* mesh = add_mesh(h.model());
        if (std::string(c.what).find("none") != std::string::npos)
            texture_preset_apply(mesh->material, &kPresetsTexture, 3);
        MaterialRecord before;
        material_copy(&before, mesh->material);
        change(h, mesh, [&](CDialog& d) {
            c.drive(*this, d);
            d.press(IDOK);
        });
        MESH3* now = selected(h);
        ASSERT_NE(now, mesh);
        c.expect(now->material->slots[c.slot], h.model());
        // Nothing else changed, but for the smoothing-group flag the sheet clears.
        EXPECT_EQ(now->material->flags, before.flags & ~kMaterialSmoothGroups);
        for (int other = 0; other < kMaterialSlotCount; ++other)
            if (other != c.slot) {
                EXPECT_EQ(now->material->slots[other].kind, before.slots[other].kind);
            }
        EXPECT_EQ(now->material->shininess, before.shininess);
        EXPECT_EQ(h.model()->undo_levels, 1);
        // Written, read back in the drawing and written again: the same bytes.
        const Bytes first = material_bytes(now->material, dir_ + "/a.bin");
        MaterialRecord reread;
        std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
        ASSERT_EQ(io_guarded([&] {
                      iorec_open(s.get(), (dir_ + "/a.bin").c_str(), 0);
                      IoChunkReader chunk(s.get());
                      io_get_material(s.get(), h.model(), &reread);
                  }),
                  0);
        EXPECT_EQ(material_bytes(&reread, dir_ + "/b.bin"), first);
    }
}

// An image that cannot be read leaves the slot as it was and says why, whether the
// slot had a preset or an image before; nothing joins the drawing.
TEST_F(MaterialSheet, UnreadableImageLeavesTheSlotAndShowsTheReadersMessage) {
    const std::string good = targa("good.tga", 200), broken = dir_ + "/broken.tga", missing = dir_ + "/none.gif";
    put_file(broken, bytes({1, 2, 3}));
    Harness h;
    define_edit_commands(h);
    MESH3* mesh = add_mesh(h.model());
    texture_preset_apply(mesh->material, &kPresetsTexture, 6);
    files({good});
    change(h, mesh, [](CDialog& d) {
        pick(d, kSlotReflection, kSlotKind, kChoiceImage);
        d.press(IDOK);
    });
    mesh = selected(h);
    MATRPATT* image = mesh->material->slots[kSlotReflection].mapping.image;
    ASSERT_NE(image, nullptr);
    const int patterns = pattern_count(h.model());
    for (const std::string& bad : {broken, missing}) {
        SCOPED_TRACE(bad);
        boxes.clear();
        files({bad, bad});
        change(h, mesh, [&](CDialog& d) {
            pick(d, kSlotTexture, kSlotKind, kChoiceImage);  // the preset stays
            click_image(d, kSlotReflection);
            const auto& w = static_cast<CMaterialSheetDlg&>(d).working();
            EXPECT_EQ(w.slots[kSlotTexture].kind, 11);
            EXPECT_EQ(w.slots[kSlotReflection].mapping.image, image);
            EXPECT_EQ(d.GetDlgItemText(CMaterialSheetDlg::kIdcSlotFirst + kSlotKind), "Procedural");
            d.press(IDOK);
        });
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_NE(boxes[0].find(bad), std::string::npos) << boxes[0];
        EXPECT_NE(boxes[0].find(bad == missing ? std::strerror(ENOENT) : "not an image"), std::string::npos)
            << boxes[0];
        mesh = selected(h);
        EXPECT_EQ(mesh->material->slots[kSlotTexture].kind, 11);
        EXPECT_EQ(mesh->material->slots[kSlotReflection].mapping.image, image);
        EXPECT_EQ(pattern_count(h.model()), patterns);
    }
}

// One image used by two materials is one pattern, found by its name; choosing another
// image for one of them, and undoing, never frees it while a slot or the history
// still uses it.
TEST_F(MaterialSheet, SharedImageIsOnePatternAndOutlivesEveryUser) {
    const std::string wood = targa("wood.tga", 90), stone = targa("stone.tga", 160);
    Harness h;
    define_edit_commands(h);
    MESH3* a = add_mesh(h.model());
    MESH3* b = add_mesh(h.model());
    const int patterns = pattern_count(h.model());
    auto choose_image = [](CDialog& d) {
        pick(d, kSlotTexture, kSlotKind, kChoiceImage);
        d.press(IDOK);
    };
    files({wood});
    change(h, a, choose_image);
    a = selected(h);
    files({wood});
    change(h, b, choose_image);
    b = selected(h);
    buffer_clear(h.view()->selection);
    MATRPATT* shared = a->material->slots[kSlotTexture].mapping.image;
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(b->material->slots[kSlotTexture].mapping.image, shared);
    EXPECT_EQ(pattern_count(h.model()), patterns + 1);
    // a takes another image: b's stays in the drawing.
    files({stone});
    change(h, a, [](CDialog& d) {
        click_image(d, kSlotTexture);
        d.press(IDOK);
    });
    EXPECT_EQ(pattern_count(h.model()), patterns + 2);
    EXPECT_EQ(model_find_patt(h.model(), wood.c_str(), &MATRPATT::rtc_class), shared);
    EXPECT_EQ(b->material->slots[kSlotTexture].mapping.image, shared);
    // Undo brings a's old clone back, still on the shared pattern, which renders.
    ASSERT_EQ(model_undo(h.model()), 0);
    for (object* o : drawing_objects(h.model())) {
        auto* m = rtc_cast<MESH3>(o);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->material->slots[kSlotTexture].mapping.image, shared);
    }
    EXPECT_EQ(shared->make_image_ready(), 0);
    EXPECT_EQ(shared->pixels[0], 90);
}

// Cancel leaves the material, the drawing's patterns and the history alone, however
// much was chosen; OK is one undo level, and one undo gives the drawing back.
TEST_F(MaterialSheet, CancelChangesNothingAndOkIsOneUndoLevel) {
    const std::string image = targa("new.tga", 10);
    Harness h;
    define_edit_commands(h);
    MESH3* mesh = add_mesh(h.model());
    const std::string before = dump_drawing(h.model());
    const int patterns = pattern_count(h.model());
    auto edit_all = [](CDialog& d) {
        pick(d, kSlotTexture, kSlotKind, kChoiceImage);
        pick(d, kSlotBump, kSlotKind, kChoiceProcedural);
        d.SetDlgItemText(kIdcFirst + 15, "0.9");
        pick(d, kSlotReflection, kSlotKind, kChoiceProcedural);
    };
    files({image});
    change(h, mesh, [&](CDialog& d) {
        edit_all(d);
        d.press(IDCANCEL);
    });
    EXPECT_EQ(dump_drawing(h.model()), before);
    EXPECT_EQ(pattern_count(h.model()), patterns);
    EXPECT_EQ(h.model()->undo_levels, 0);
    EXPECT_EQ(selected(h), mesh);
    EXPECT_EQ(mesh->material->slots[kSlotTexture].kind, kTextureNone);
    files({image});
    change(h, mesh, [&](CDialog& d) {
        edit_all(d);
        d.press(IDOK);
    });
    EXPECT_EQ(h.model()->undo_levels, 1);
    EXPECT_EQ(selected(h)->material->slots[kSlotBump].kind, 2);
    ASSERT_EQ(model_undo(h.model()), 0);
    EXPECT_EQ(h.model()->undo_levels, 0);
    EXPECT_EQ(drawing_objects(h.model()).front(), mesh);
}

}  // namespace
