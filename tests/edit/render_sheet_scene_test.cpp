// The render sheet's Scene page through the Render command's sheet (modal hook): with
// a camera chosen it edits that camera's scene, which OK stores into the camera in one
// undo level and Cancel leaves alone, the view's own scene untouched either way; a
// camera made from the sheet takes the scene the sheet shows.
#include <array>
#include <bit>
#include <cstring>

#include <QComboBox>
#include <QLineEdit>

#include "dialogs/edit_dialogs.h"
#include "dialogs/image_dialogs.h"
#include "dialogs/render_pages.h"
#include "dialogs/scene_material_editor.h"
#include "edit_fixture.h"
#include "model/db/find.h"
#include "model/db/naming.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/mesh/mesh_block.h"
#include "platform/modal.h"
#include "platform/prop_sheet.h"
#include "render/job/job_options.h"
#include "render/job/render_preview.h"
#include "render/scanline/render_settings.h"
#include "shell/image/image_dialogs.h"

namespace {

using E = CSceneMaterialEditor;

class RenderSheetScene : public EditTest {
  public:
    void SetUp() override {
        EditTest::SetUp();
        edit_dialogs_install();
        image_dialogs_install();
        MaterialRecord& scene = h.view()->second_material;
        scene.colour[0] = 0.1f;
        scene.slots[kSlotBump].amount = 0.9f;  // the fog's visibility
        h.view()->material_colour = 9;         // the background colour index
    }
    void TearDown() override {
        platform_set_modal_hook(nullptr);
        EditTest::TearDown();
    }
    // A camera named "Cam01" looking at the origin from (0, -50, 20).
    CAMERA* add_camera() {
        auto* cam = scene_add(scene_layer(h.model()), rtc_make<CAMERA>().release());
        EXPECT_EQ(obj_default_name(h.model(), cam, 0, "Cam01"), 0);
        cam->position = {0, -50, 20}, cam->target = {0, 0, 0}, cam->up = {0, 0, 1}, cam->lens = 1.0;
        return cam;
    }
    CAMERA* camera(const char* name) {
        return rtc_cast<CAMERA>(model_find_named(h.model(), name, &CAMERA::rtc_class));
    }
    // The Render command's sheet, `drive` answering it, and `other` the dialogs it opens
    // (the camera's settings, OK as they open by default); the sheet's result.
    int render_sheet(std::function<void(CPropSheet&, CPropPage& render, CPropPage& scene)> drive,
                     std::function<void(CDialog&)> other = {}) {
        platform_set_modal_hook([drive, other](CDialog& d) {
            auto* sheet = dynamic_cast<CPropSheet*>(&d);
            if (!sheet) return other ? other(d) : d.press(IDOK);
            drive(*sheet, *sheet->page(0), *sheet->page(2));
        });
        RenderPreviewer previewer(h.view(), 240, 180);
        previewer_ = &previewer;
        RenderJobOptions options;
        const int rc = image_window_dialogs().render_sheet(h.view(), 240, 180, &previewer, [] {}, &options);
        previewer_ = nullptr;
        return rc;
    }
    static void choose(CPropPage& render, const char* name) {
        auto* combo = static_cast<QComboBox*>(render.GetDlgItem(2165));
        const int i = combo->findText(name);
        ASSERT_GT(i, 0);
        combo->setCurrentIndex(i);
        combo->activated(i);
    }
    Harness h;
    RenderPreviewer* previewer_ = nullptr;  // the drawing window's, while the sheet runs
};

TEST_F(RenderSheetScene, ACamerasSceneIsEditedAndStoredIntoTheCameraOnOkOnly) {
    CAMERA* cam = add_camera();
    cam->material->slots[kSlotBump].amount = 0.3f;
    cam->colour = 5;
    for (int button : {IDCANCEL, IDOK}) {
        SCOPED_TRACE(button);
        std::string shown;
        EXPECT_EQ(render_sheet([&](CPropSheet& sheet, CPropPage& render, CPropPage& scene) {
                      choose(render, "Cam01");
                      ASSERT_TRUE(sheet.SetActivePage(2));
                      shown = scene.GetDlgItemText(E::kIdcFogVisibility);
                      scene.SetDlgItemText(E::kIdcFogVisibility, "0.6");
                      sheet.press(button);
                  }),
                  button == IDOK ? 0 : -1);
        EXPECT_EQ(shown, "0.3");  // the camera's, not the view's
        ASSERT_NE(camera("Cam01"), nullptr);
        EXPECT_FLOAT_EQ(camera("Cam01")->material->slots[kSlotBump].amount, button == IDOK ? 0.6f : 0.3f);
        EXPECT_EQ(camera("Cam01")->colour, 5);
        EXPECT_EQ(h.model()->undo_levels, button == IDOK ? 1 : 0);
        EXPECT_FLOAT_EQ(h.view()->second_material.slots[kSlotBump].amount, 0.9f);
        EXPECT_EQ(h.view()->material_colour, 9);
    }
    ASSERT_EQ(model_undo(h.model()), 0);
    EXPECT_FLOAT_EQ(camera("Cam01")->material->slots[kSlotBump].amount, 0.3f);
}

// The scene the sheet shows gets a placement for every slot that had none (the
// identity), which OK stores with it: into the camera (edited), or into the view's scene.
TEST_F(RenderSheetScene, EverySlotOfTheSceneIsStoredWithAPlacement) {
    CAMERA* cam = add_camera();
    auto placed = [](const MaterialRecord& m) {
        int n = 0;
        for (const TextureSlot& s : m.slots)
            if (s.transform && std::memcmp(&s.transform->fwd, &kMatIdentity, sizeof(Matrix43)) == 0) ++n;
        return n;
    };
    ASSERT_EQ(placed(*cam->material), 0);
    ASSERT_EQ(placed(h.view()->second_material), 0);
    for (const char* choice : {"Cam01", "<Viewport>"}) {
        SCOPED_TRACE(choice);
        EXPECT_EQ(render_sheet([&](CPropSheet& sheet, CPropPage& render, CPropPage& scene) {
                      if (std::string(choice) != "<Viewport>") choose(render, choice);
                      ASSERT_TRUE(sheet.SetActivePage(2));
                      scene.SetDlgItemText(E::kIdcFogVisibility, "0.4");
                      sheet.press(IDOK);
                  }),
                  0);
    }
    EXPECT_EQ(placed(*camera("Cam01")->material), kMaterialSlotCount);
    EXPECT_EQ(placed(h.view()->second_material), kMaterialSlotCount);
}

// A camera's scene only looked at on the Scene page is left as it was on OK: it was
// replaced by a copy, in an undo level that changed nothing.
TEST_F(RenderSheetScene, ACamerasSceneOnlyLookedAtIsNotStored) {
    CAMERA* cam = add_camera();
    EXPECT_EQ(render_sheet([&](CPropSheet& sheet, CPropPage& render, CPropPage&) {
                  choose(render, "Cam01");
                  ASSERT_TRUE(sheet.SetActivePage(2));
                  ASSERT_TRUE(sheet.SetActivePage(0));
                  sheet.press(IDOK);
              }),
              0);
    EXPECT_EQ(camera("Cam01"), cam);  // not replaced by a copy
    EXPECT_EQ(cam->material->slots[kSlotTexture].transform, nullptr);
    EXPECT_EQ(h.model()->undo_levels, 0);
}

// The list reports a choice of the camera already chosen too: its scene keeps the
// edits (they were read again from the drawing and lost).
TEST_F(RenderSheetScene, ChoosingTheSameCameraAgainKeepsItsEdits) {
    CAMERA* cam = add_camera();
    cam->material->slots[kSlotBump].amount = 0.3f;
    EXPECT_EQ(render_sheet([&](CPropSheet& sheet, CPropPage& render, CPropPage& scene) {
                  choose(render, "Cam01");
                  ASSERT_TRUE(sheet.SetActivePage(2));
                  scene.SetDlgItemText(E::kIdcFogVisibility, "0.6");
                  ASSERT_TRUE(sheet.SetActivePage(0));
                  choose(render, "Cam01");
                  sheet.press(IDOK);
              }),
              0);
    EXPECT_FLOAT_EQ(camera("Cam01")->material->slots[kSlotBump].amount, 0.6f);
}

// A camera renamed in its settings keeps its entry under the new name: the old name
// was left in the list, and choosing it said memory had run out.
TEST_F(RenderSheetScene, ACameraRenamedInItsSettingsIsListedUnderItsNewName) {
    add_camera();
    std::vector<std::string> listed;
    EXPECT_EQ(render_sheet(
                  [&](CPropSheet& sheet, CPropPage& render, CPropPage&) {
                      choose(render, "Cam01");
                      render.press(2168);
                      auto* combo = static_cast<QComboBox*>(render.GetDlgItem(2165));
                      for (int i = 0; i < combo->count(); ++i) listed.push_back(combo->itemText(i).toStdString());
                      EXPECT_EQ(combo->currentText().toStdString(), "Front");
                      sheet.press(IDOK);
                  },
                  [](CDialog& d) {
                      d.SetDlgItemText(kIdcFirst + 1, "Front");
                      d.press(IDOK);
                  }),
              0);
    EXPECT_EQ(listed, (std::vector<std::string>{"<Viewport>", "Front"}));
    EXPECT_TRUE(boxes.empty());
    EXPECT_NE(camera("Front"), nullptr);
}

// "Create camera" with the viewport's scene shown, edited first on the Scene page: the
// new camera's material and colour are that scene's.
TEST_F(RenderSheetScene, ANewCameraTakesTheSceneTheSheetShows) {
    EXPECT_EQ(render_sheet([](CPropSheet& sheet, CPropPage& render, CPropPage& scene) {
                  ASSERT_TRUE(sheet.SetActivePage(2));
                  scene.SetDlgItemText(E::kIdcFogVisibility, "0.5");
                  ASSERT_TRUE(sheet.SetActivePage(0));
                  render.press(2168);
                  sheet.press(IDCANCEL);
              }),
              -1);
    std::vector<CAMERA*> cameras;
    for (ZOBJ* z = tree_next(h.model(), h.model()); z; z = tree_next(z, h.model()))
        if (auto* c = rtc_cast<CAMERA>(z)) cameras.push_back(c);
    ASSERT_EQ(cameras.size(), 1u);
    const MaterialRecord& m = *cameras[0]->material;
    EXPECT_FLOAT_EQ(m.slots[kSlotBump].amount, 0.5f);
    EXPECT_FLOAT_EQ(m.colour[0], 0.1f);
    EXPECT_EQ(cameras[0]->colour, 9);
    EXPECT_FLOAT_EQ(h.view()->second_material.slots[kSlotBump].amount, 0.9f);  // the sheet was cancelled
}

// "Create camera" and OK with nothing typed: the new camera is the viewport's, where
// the preview's perspective stands and looks with its lens, with perspective on (the
// preview fitted it) or off (fitted the same for the new camera alone).
TEST_F(RenderSheetScene, ANewCameraStartsFromTheViewportsCamera) {
    auto* box = scene_add(scene_layer(h.model()), rtc_make<MESH3>().release());
    const Vec3 c[8] = {{80, 60, 0}, {160, 60, 0}, {160, 120, 0}, {80, 120, 0},
                       {80, 60, 40}, {160, 60, 40}, {160, 120, 40}, {80, 120, 40}};
    for (const auto& f : {std::array{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}})
        ASSERT_EQ(mesh_add_face(box, &c[f[0]], &c[f[1]], &c[f[2]], &c[f[3]], 0), 0);
    obj_update_bbox(box);
    h.view()->setting_b = 40;  // the perspective value
    Vec3 position{}, target{};
    double lens = 0;
    for (bool perspective : {true, false}) {
        SCOPED_TRACE(perspective);
        const auto on = static_cast<int32_t>(kRenderPerspective);
        h.view()->flags = perspective ? h.view()->flags | on : h.view()->flags & ~on;
        EXPECT_EQ(render_sheet([&](CPropSheet& sheet, CPropPage& render, CPropPage&) {
                      if (perspective) {
                          const CAMERA* fitted = previewer_->viewport_camera();
                          ASSERT_NE(fitted, nullptr);
                          ASSERT_GT(fitted->lens, 0);
                          position = fitted->position, target = fitted->target, lens = fitted->lens;
                      }
                      render.press(2168);
                      sheet.press(IDCANCEL);
                  }),
                  -1);
        std::vector<CAMERA*> cameras;
        for (ZOBJ* z = tree_next(h.model(), h.model()); z; z = tree_next(z, h.model()))
            if (auto* cam = rtc_cast<CAMERA>(z)) cameras.push_back(cam);
        ASSERT_EQ(cameras.size(), perspective ? 1u : 2u);  // OK was taken as the dialog opened
        const CAMERA& made = *cameras.back();
        EXPECT_DOUBLE_EQ(made.lens, lens);
        for (int i = 0; i < 3; ++i) {
            EXPECT_FLOAT_EQ((&made.position.x)[i], (&position.x)[i]) << i;
            EXPECT_FLOAT_EQ((&made.target.x)[i], (&target.x)[i]) << i;
        }
        EXPECT_EQ(std::bit_cast<float>(made.words[0]), 500.0f);
        EXPECT_EQ(std::bit_cast<float>(made.words[1]), 0.25f);
    }
}

}  // namespace
