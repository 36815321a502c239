// The dialogs of the editing commands: selection criteria, the options of Rotate,
// Mirror and Stretch, "Change What?" for materials and for line styles, the choice of
// a layer, the style dialog of line styles, hatches and fonts, the camera and light
// settings and the least material sheets (colour, material, background).
//
// Each edits the caller's values and stores its settings ("Verbosity" preferences)
// only on OK. edit_dialogs_install connects them to the commands' hooks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "commands/edit/edit.h"
#include "dialogs/dlg.h"
#include "dialogs/scene_material_editor.h"
#include "graphics/view/pick.h"
#include "resources/string_ids.h"

class LAYER;
class CAMERA;
class LIGHT;
class SPOTLITE;
class QComboBox;
class SheetPatterns;
class CMaterialSample;
class CTextureSlotEditor;

// Template ids (the captions are string-table entries under these ids).
inline constexpr int kDlgSelectCriteria = IDD_SELECT_CRITERIA;
inline constexpr int kDlgTransformOptions = IDD_TRANSFORM_OPTIONS;  // captioned Rotate, Mirror or Stretch
inline constexpr int kDlgChangeWhat = IDD_CHANGE_WHAT;
inline constexpr int kDlgChangeWhatLine = IDD_CHANGE_WHAT_LINE;
inline constexpr int kDlgChooseLayer = IDD_CHOOSE_LAYER;
inline constexpr int kDlgLineStyle = IDD_LINE_STYLE;
inline constexpr int kDlgCamera = IDD_CAMERA_SETTINGS;
inline constexpr int kDlgLight = IDD_LIGHT_SETTINGS;
inline constexpr int kDlgMaterialColour = IDD_MATERIAL_COLOUR;
inline constexpr int kDlgMaterial = IDD_MATERIAL;
inline constexpr int kDlgBackground = IDD_BACKGROUND;

// Control ids (1024..1279: the dialog base leaves their texts alone).
inline constexpr int kIdcAll = 1024;  // "All" of the criteria dialog (result 2)
inline constexpr int kIdcFirst = 1030;

// Selection criteria: location mode and the four attribute filters of `criteria`.
// DoModal gives IDOK, IDCANCEL or kIdcAll.
class CSelectCriteriaDlg : public CDlg {
  public:
    CSelectCriteriaDlg(QWidget* parent, MODEL* model, PickWindow* criteria);

  protected:
    void CreateControls() override;
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnCommand(int id) override;

  private:
    void store();
    MODEL* model_;
    PickWindow* criteria_;
    int mode_ = 0;  // 0 point, 1 window, 2 crossing, 3 fence, 4 whole drawing
    int use_colour_ = 0, use_layer_ = 0, use_style_ = 0, use_width_ = 0;
    double colour_ = 0, min_width_ = 0, max_width_ = 0;
    std::vector<ZOBJ*> layers_, styles_;
};

// The options of Rotate (kind 1), Mirror (2) and Stretch (3); on OK stores
// "DeleteParents", "LinkParents", the quiet flag and (Rotate) "RotationMode".
class CTransformOptionsDlg : public CDlg {
  public:
    CTransformOptionsDlg(QWidget* parent, int kind);
    // The options word of the last OK (bit 1 go, bit 2 replace, bit 4 link).
    int options() const { return options_; }

  protected:
    void CreateControls() override;
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;

  private:
    int kind_;
    int delete_parents_ = 0, link_parents_ = 0, query_ = 1, ask_centre_ = 0, ask_base_ = 0;
    int options_ = 0;
};

// "Change What?": one check per mask bit, pre-ticked from the stored choice; on OK
// the mask and the stored choice ("ChangeMaterial" or "ChangeLinepat").
class CChangeWhatDlg : public CDlg {
  public:
    CChangeWhatDlg(QWidget* parent, bool line_style, int32_t* mask);

  protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange* dx) override;

  private:
    bool line_;
    int32_t* mask_;
    std::vector<int> ticks_;
};

// The layers of the drawing; the chosen one on OK.
class CChooseLayerDlg : public CDlg {
  public:
    CChooseLayerDlg(QWidget* parent, MODEL* model, LAYER* preselected);
    LAYER* chosen() const { return chosen_; }

  protected:
    void CreateControls() override;
    bool OnInitDialog() override;
    void OnOK() override;

  private:
    MODEL* model_;
    LAYER* chosen_;
    std::vector<LAYER*> layers_;
};

// The style of the class (LINEPATT, HATCHPATT or FONTPATT): pattern among the
// drawing's, width and the class's values (and the text for fonts, with a dimension's
// tolerances below it).
class CLineStyleDlg : public CDlg {
  public:
    CLineStyleDlg(QWidget* parent, MODEL* model, const RtcClass* cls, StyleValues* values);

  protected:
    void CreateControls() override;
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;

  private:
    MODEL* model_;
    const RtcClass* cls_;
    StyleValues* v_;
    std::vector<PATT*> patterns_;
    std::string text_, upper_, lower_;
    std::string shown_[3];  // what the three text boxes showed at the start
};

// Camera settings: name, position, target, lens and focal-blur aperture (a length,
// 0 for none) of the edited camera.
class CCameraSettingsDlg : public CDlg {
  public:
    CCameraSettingsDlg(QWidget* parent, CAMERA* camera);

  protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange* dx) override;

  private:
    CAMERA* cam_;
    std::string name_;
    double pos_[3], target_[3], lens_, aperture_;
};

// Light settings: name, colour and position of the edited light; for a spot light
// also its target and the half-angles of its hot spot and fall-off cones (degrees,
// kept as their cosines; 0 <= hot spot <= fall-off <= kSpotConeMax).
class CLightSettingsDlg : public CDlg {
  public:
    CLightSettingsDlg(QWidget* parent, LIGHT* light);
    static constexpr double kSpotConeMax = 89.0;

  protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange* dx) override;

  private:
    LIGHT* light_;
    SPOTLITE* spot_;  // the same light when it is a spot light, else null
    std::string name_;
    double colour_[3], pos_[3], target_[3], cone_[2];
};

// The material sheet: colour index and colour (material_sheet_colour) alone, or the
// whole material (material_sheet_material): colour, the eleven shading constants,
// the shading method and smoothing angle, the colour-highlight and mapping-type
// flags and the three texture slots; or the background of a camera
// (material_sheet_background: the colour, which is also the fog's, the first seven
// constants, the fog's visibility and haze, and the background texture).
//
// The sheet edits a working copy; OK stores it into the caller's record (clearing
// the smoothing-group flag of imported meshes, whose slots are now the sheet's) and
// puts the images its slots took into the drawing, or hands them to the caller
// (hand_images_to); Cancel leaves the record and the drawing as they were. When the
// working copy cannot be made (out of memory) the sheet does not open: DoModal says
// so and returns 8.
class CMaterialSheetDlg : public CDlg {
  public:
    // `model`: the drawing whose image patterns the slots use; null when no image
    // can be chosen.
    CMaterialSheetDlg(QWidget* parent, int template_id, int32_t* colour_index, MaterialRecord* material,
                      MODEL* model = nullptr);
    ~CMaterialSheetDlg() override;

    // The material as the sheet shows it now.
    const MaterialRecord& working() const { return *work_; }
    // The editor of slot kSlotTexture, kSlotBump or kSlotReflection (the material
    // form; the background form has the texture slot's only; null before the controls
    // are built).
    CTextureSlotEditor* slot_editor(int slot) const;
    // The shaded sample of the working copy (material form only, null before the
    // controls are built).
    CMaterialSample* sample() const { return sample_; }
    // On OK the images loaded for the material go to `images` instead of the drawing.
    void hand_images_to(SheetImages* images) { images_ = images; }

    int DoModal() override;

    // Control ids of the material form, beyond the colour and the scalars.
    static constexpr int kIdcMethod = kIdcFirst + 60;     // combo: faceted, smooth, by angle
    static constexpr int kIdcSmoothing = kIdcFirst + 62;  // edit: smoothing angle in degrees
    static constexpr int kIdcSlotFirst = 1110;            // + 30 x slot: the slot editors
    static_assert(kIdcSlotFirst == CSceneMaterialEditor::kIdcBackground);
    // Of the background form: the fog (the bump and texture slots' amounts), and the
    // background in the texture slot's editor (at kIdcSlotFirst).
    static constexpr int kIdcFogVisibility = CSceneMaterialEditor::kIdcFogVisibility;
    static constexpr int kIdcFogHaze = CSceneMaterialEditor::kIdcFogHaze;

  protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;

  private:
    bool with_fields() const;
    bool full() const { return template_id() == kDlgMaterial; }
    // Any field changed: what shows the material follows.
    void material_changed();
    int32_t* index_;
    MaterialRecord* m_;
    std::unique_ptr<MaterialRecord> work_;
    std::unique_ptr<SheetPatterns> patterns_;
    SheetImages* images_ = nullptr;
    bool copy_failed_ = false;  // no working copy: the sheet refuses to open
    std::unique_ptr<CTextureSlotEditor> editors_[3];
    std::unique_ptr<CSceneMaterialEditor> scene_;  // the background form's
    CMaterialSample* sample_ = nullptr;  // a child widget
    double index_value_, rgb_[3];
    double scalars_[11];
    int flags_[2];
    int method_ = 0;
    double smoothing_deg_ = 30;
};

// Connects the dialogs above to the editing commands' hooks.
void edit_dialogs_install();
