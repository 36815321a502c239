// The render sheet's "Render", "Animation" and "Scene" pages and the default-light
// picker, as widgets over the page rules of render/job/page_models.h. The pages edit
// the caller's copies of the render settings (with the scene material: background and
// fog) and job options; the sheet's OK keeps them.
// The camera button, the picker's colour choice and the drawing-window preview go
// through hooks the program installs; without them they do nothing.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QWidget>

#include "model/material/material.h"
#include "platform/msgqueue.h"
#include "platform/prop_sheet.h"
#include "render/job/page_models.h"

class QComboBox;
class QSlider;
class CSceneMaterialEditor;
class SheetPatterns;

// A camera of the drawing as the camera combo offers it.
struct RenderCameraChoice {
    std::string name;
    double lens = 1.0;
    int32_t frame_count = 0;  // of its keyed record
};

struct RenderPageHooks {
    // Right button on a light: choose its colour index; true on OK.
    std::function<bool(int32_t* colour_index)> choose_colour;
    // Camera button: set up (or create) the camera named `name` ("" for a new one);
    // true on OK with the camera's name, lens and frame count filled in. A new camera
    // starts from the viewport's camera as `viewport` (the page's perspective value
    // and selection) fits it, and takes `background` and `background_colour` (the
    // scene the sheet shows) as its material and colour.
    std::function<bool(RenderCameraChoice* camera, const MaterialRecord& background, int32_t background_colour,
                       const struct RenderPreview& viewport)>
        camera_setup;
    // The scene of the camera named `name`: its material copied into *material and its
    // colour index; false when it cannot be had.
    std::function<bool(const std::string& name, MaterialRecord* material, int32_t* colour)> camera_material;
    // The preview in the drawing window (see RenderPreview).
    std::function<void(const struct RenderPreview& preview)> preview;
};

// What the drawing window previews while the sheet is open: the drawing through the
// chosen camera at a frame, or through a camera fitted to the viewport with the
// perspective value, or the parallel view when perspective is off.
struct RenderPreview {
    const RenderCameraChoice* camera = nullptr;  // null: "<Viewport>"
    bool perspective = false;
    int32_t perspective_value = 0;
    bool selected_only = false;
    int32_t frame = -1;  // the drawing's current frame to show, 0-based; -1: at rest
    bool force = false;  // shown again even when nothing above changed (an edited camera)
};

// The scene material the Scene page edits: the chosen camera's, or the viewport's
// (the settings copy's record and background colour) without a camera.
struct RenderSheetScene {
    RenderSheetScene() = default;
    RenderSheetScene(const RenderSheetScene&) = delete;
    RenderSheetScene& operator=(const RenderSheetScene&) = delete;
    ~RenderSheetScene() {
        material_init(&material);
        material_init(&as_loaded);
    }
    // Whether the scene differs from what was loaded (a copy that failed counts as a
    // change).
    bool changed() const {
        return !as_loaded_kept || colour != colour_as_loaded || !material_same(material, as_loaded);
    }

    MaterialRecord material;
    int32_t colour = 0;
    bool loaded = false;
    bool camera = false;  // the chosen camera's
    bool shown = false;   // the Scene page was shown on this camera's: store it on OK if changed
    MaterialRecord as_loaded;  // the scene as loaded, to tell an edit from none
    int32_t colour_as_loaded = 0;
    bool as_loaded_kept = false;
};

class DefaultLightPicker : public QWidget {
  public:
    DefaultLightPicker(RenderSettings* settings, const RenderPageHooks* hooks, QWidget* parent);
    QSize sizeHint() const override { return {200, 140}; }

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;

  private:
    RenderSettings* s_;
    const RenderPageHooks* hooks_;
};

class CRenderPage : public CPropPage {
  public:
    CRenderPage(RenderSettings* settings, RenderJobOptions* options, std::vector<RenderCameraChoice> cameras,
                int32_t client_width, int32_t client_height, RenderPageHooks hooks = {});
    // The chosen camera, or null for "<Viewport>".
    const RenderCameraChoice* camera() const;
    const RenderPageValues& values() const { return v_; }
    DefaultLightPicker* picker() const { return picker_; }
    const RenderPageHooks& hooks() const { return hooks_; }
    // Shows the page's camera and perspective in the drawing window at `frame`.
    void preview(int32_t frame, bool force = false);
    // The scene the sheet edits, taken from the chosen camera or the settings copy
    // whenever the choice changes; `scene_page` is filled again then.
    void set_scene(RenderSheetScene* scene, CPropPage* scene_page) { scene_ = scene, scene_page_ = scene_page; }

  protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnCommand(int id) override;

  private:
    void choose_camera(int index, bool force = false, bool keep_scene = false);
    void load_scene();
    void enable();

    RenderSettings* s_;
    RenderJobOptions* o_;
    std::vector<RenderCameraChoice> cameras_;
    int32_t client_w_, client_h_;
    RenderPageHooks hooks_;
    RenderPageValues v_;
    int camera_index_ = 0;  // 0: "<Viewport>"
    bool filled_ = false;
    QComboBox* camera_combo_ = nullptr;
    QComboBox* size_combo_ = nullptr;
    DefaultLightPicker* picker_ = nullptr;
    RenderSheetScene* scene_ = nullptr;
    CPropPage* scene_page_ = nullptr;
};

class CAnimatPage : public CPropPage, public MsgTarget {
  public:
    explicit CAnimatPage(CRenderPage* render_page, RenderJobOptions* options);
    AnimationPage& model() { return m_; }
    intptr_t OnMessage(uint32_t message, intptr_t wparam, intptr_t lparam) override;
    void OnSetActive() override;
    bool OnKillActive() override;
    void OnSheetClose() override;
    static constexpr uint32_t kTimer = 153;

  protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnCommand(int id) override;

  private:
    void show_frame();
    void enable();

    CRenderPage* render_;
    RenderJobOptions* o_;
    AnimationPage m_;
    bool animation_at_entry_ = false;
    bool read_ = false;
    QSlider* track_ = nullptr;
};

// The scene material of the render: the fog's colour, visibility and haze and the
// background, edited on *material (the sheet's working copy) with images from
// `patterns`.
class CScenePage : public CPropPage {
  public:
    CScenePage(MaterialRecord* material, SheetPatterns* patterns);
    ~CScenePage() override;
    CSceneMaterialEditor* editor() const { return editor_.get(); }
    // Called each time the page comes to the front.
    void on_shown(std::function<void()> f) { shown_ = std::move(f); }
    void OnSetActive() override {
        if (shown_) shown_();
    }

  protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange* dx) override;

  private:
    MaterialRecord* m_;
    SheetPatterns* patterns_;
    std::unique_ptr<CSceneMaterialEditor> editor_;
    std::function<void()> shown_;
};

// The AVI compressor choice: 0 full frames (uncompressed), 1 Motion-JPEG; -1 when
// cancelled. Runs through the modal hook in tests.
int choose_avi_compressor(QWidget* parent, int current);

// Runs the render sheet (its three pages) on copies of the settings, their scene
// material and the options; true on OK, having stored the copies into them. Images
// the background takes come from `patterns`, which keeps those new to the drawing
// until the caller stores the material for good (null: no image can be chosen).
// With a camera chosen the Scene page edits that camera's scene (hooks.camera_material):
// on OK it is left in *camera_scene (its `shown` set when the page was shown on it, the
// sign for the caller to store it into the camera), the settings' own record keeping
// what was edited on it before. Cancel leaves everything as it was.
bool run_render_sheet(QWidget* parent, RenderSettings* settings, RenderJobOptions* options,
                      const std::vector<RenderCameraChoice>& cameras, int32_t client_width,
                      int32_t client_height, const RenderPageHooks& hooks, SheetPatterns* patterns = nullptr,
                      RenderSheetScene* camera_scene = nullptr);
