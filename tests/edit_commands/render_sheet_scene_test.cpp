// The render sheet's Scene page through the Render command's sheet (modal hook): with
// a camera chosen it edits that camera's scene, which OK stores into the camera in one
// undo level and Cancel leaves alone, the view's own scene untouched either way; a
// camera made from the sheet takes the scene the sheet shows.
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
#include "platform/modal.h"
#include "platform/prop_sheet.h"
#include "render/job/job_options.h"
#include "render/job/render_preview.h"
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
    CAMERA* camera(const char* name) {
        return rtc_cast<CAMERA>(model_find_named(h.model(), name, &CAMERA::rtc_class));
    }
    // The Render command's sheet, `drive` answering it; the sheet's result.
    int render_sheet(std::function<void(CPropSheet&, CPropPage& render, CPropPage& scene)> drive) {
        platform_set_modal_hook([drive](CDialog& d) {
            auto* sheet = dynamic_cast<CPropSheet*>(&d);
            if (!sheet) {  // the camera's settings: a new camera's lens is typed
                if (d.GetDlgItemText(kIdcFirst + 11) == "0") d.SetDlgItemText(kIdcFirst + 11, "1");
                return d.press(IDOK);
            }
            drive(*sheet, *sheet->page(0), *sheet->page(2));
        });
        RenderPreviewer previewer(h.view(), 240, 180);
        RenderJobOptions options;
        return image_window_dialogs().render_sheet(h.view(), 240, 180, &previewer, [] {}, &options);
    }
    static void choose(CPropPage& render, const char* name) {
        auto* combo = static_cast<QComboBox*>(render.GetDlgItem(2165));
        const int i = combo->findText(name);
        ASSERT_GT(i, 0);
        combo->setCurrentIndex(i);
        combo->activated(i);
    }
    Harness h;
};

TEST_F(RenderSheetScene, ACamerasSceneIsEditedAndStoredIntoTheCameraOnOkOnly) {
    auto* cam = scene_add(scene_layer(h.model()), rtc_make<CAMERA>().release());
    ASSERT_EQ(obj_default_name(h.model(), cam, 0, "Cam01"), 0);
    cam->position = {0, -50, 20}, cam->target = {0, 0, 0}, cam->up = {0, 0, 1}, cam->lens = 1.0;
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

}  // namespace
