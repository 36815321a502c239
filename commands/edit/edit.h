// The editing commands of the drawing view: selecting, deleting, moving, copying,
// mirroring, rotating and stretching objects, labels, groups, the internal clipboard
// of drawings and the property changes (colour and material, line style, layer,
// camera, light, hatch and text).
//
// Every command function takes the command's VIEW handle (a VIEW** passed as void*,
// see shell/cmdproc.h) and returns 0 done, -1 ended by the user, -2 cancelled, or an
// engine code (8 no memory, 13 bad argument). Each pass that changes the drawing is one
// undo level. The dialogs the commands show are reached through EditDialogs, so the
// window side installs real dialogs and tests answer them. User-interface thread only.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>
#include "model/math/types.h"
#include "resources/string_ids.h"

class VIEW;
class buffer;
class object;
class MODEL;
class LAYER;
class PATT;
class CONTAINER;
struct MaterialRecord;
struct RtcClass;
struct ViewProjection;

// Prompt ids (resources/strings.txt).
inline constexpr uint32_t kPromptBasePoint = IDS_BASE_POINT;
inline constexpr uint32_t kPromptNewLocation = IDS_NEW_LOCATION_OF_BASE;
inline constexpr uint32_t kPromptRemoveObjects = IDS_REMOVE_OBJECTS;
inline constexpr uint32_t kPromptMoveObjects = IDS_MOVE_OBJECTS;
inline constexpr uint32_t kPromptCopyObjects = IDS_COPY_OBJECTS;
inline constexpr uint32_t kPromptMirrorStart = IDS_MIRROR_LINE_START;
inline constexpr uint32_t kPromptMirrorEnd = IDS_MIRROR_LINE_END;
inline constexpr uint32_t kPromptRotationCentre = IDS_ROTATION_CENTRE;
inline constexpr uint32_t kPromptBaseLineEnd = IDS_BASE_LINE_END;
inline constexpr uint32_t kPromptRotationAngle = IDS_ROTATION_ANGLE;
inline constexpr uint32_t kPromptScaleObjects = IDS_SCALE_OBJECTS;
inline constexpr uint32_t kPromptLabelSelected = IDS_LABEL_FOR_SELECTED;
inline constexpr uint32_t kPromptLabelGroup = IDS_LABEL_FOR_GROUP;
inline constexpr uint32_t kPromptLabelObject = IDS_LABEL_FOR_OBJECT;
inline constexpr uint32_t kPromptPasteLocation = IDS_LOCATION_OF_BASE;
inline constexpr uint32_t kTextNoSelection = IDS_NO_SELECTED_OBJECTS;
inline constexpr uint32_t kPromptCollectGroup = IDS_COLLECT_TO_GROUP;
inline constexpr uint32_t kTextNoGroups = IDS_NO_SELECTED_GROUPS;
inline constexpr uint32_t kTextCentreTooFar = IDS_CENTRE_TOO_FAR;
inline constexpr uint32_t kPromptSplitGroups = IDS_SPLIT_GROUPS;
inline constexpr uint32_t kPromptChangeColour = IDS_CHANGE_COLOUR_OF;
inline constexpr uint32_t kPromptSelectCamera = IDS_SELECT_CAMERA_OBJECT;
inline constexpr uint32_t kPromptSelectLight = IDS_SELECT_LIGHT_OBJECT;
inline constexpr uint32_t kPromptSelectText = IDS_SELECT_TEXT_OBJECT;
inline constexpr uint32_t kTitleChangeWhat = IDS_CHANGE_WHAT;
inline constexpr uint32_t kTitleRotate = IDS_OPTIONS_ROTATE;  // then Mirror, Stretch
inline constexpr uint32_t kTextMirrorLineIsAPoint = IDS_MIRROR_LINE_IS_A_POINT;
inline constexpr uint32_t kTextBaseLineIsAPoint = IDS_BASE_LINE_IS_A_POINT;
inline constexpr uint32_t kPromptFirstPoint = IDS_FIRST_POINT;
inline constexpr uint32_t kPromptSecondPoint = IDS_SECOND_POINT;
inline constexpr uint32_t kPromptSelectHatch = IDS_SELECT_THE_HATCH_OBJECT;
inline constexpr uint32_t kTextNoMemory = IDS_NO_MEMORY;
inline constexpr uint32_t kTitleError = IDS_ERROR;

// Command ids.
// 15100..15107: move, copy, clipboard copy, mirror, rotate, stretch, group, split group.
inline constexpr uint32_t kCmdMove = 15100, kCmdCopy = 15101, kCmdMirror = 15103, kCmdRotate = 15104,
                          kCmdStretch = 15105, kCmdGroup = 15106, kCmdSplitGroup = 15107;
// 15400..15407: material, line style, layer, camera, light, hatch, text, label.
inline constexpr uint32_t kCmdChangeMaterial = 15400, kCmdChangeLineStyle = 15401, kCmdChangeLayer = 15402,
                          kCmdAdjustCamera = 15403, kCmdAdjustLight = 15404, kCmdChangeHatch = 15405,
                          kCmdChangeText = 15406, kCmdChangeLabel = 15407;
inline constexpr uint32_t kCmdSelect = 15701, kCmdDeselect = 15702, kCmdDelete = 15703;
inline constexpr uint32_t kCmdCopyClipboard = 32782, kCmdPaste = 32783;

// Transform kinds of the shared loop.
inline constexpr int kKindRotate = 1, kKindMirror = 2, kKindStretch = 3;

// Bits of the selection criteria's flags word (PickWindow::flags).
inline constexpr uint32_t kCritPoint = 1, kCritBox = 2 | 4, kCritFence = 8, kCritLocation = 15;
inline constexpr uint32_t kCritFilters = 64 | 128 | 256 | 2048;

// The values a style dialog edits (line style, hatch or font); -1.0 leaves a value
// unchanged. `params` are b..f of objects_set_patt_params: for a line style arc step,
// curve step, -, -, pattern scale; for a hatch angle, scale; for a text direction,
// slant, width, height.
struct StyleValues {
    PATT* pattern = nullptr;  // a pattern of the drawing, or one the dialog owns
    double width = -1.0;
    double params[5] = {-1.0, -1.0, -1.0, -1.0, -1.0};
    char text[256] = "";  // the string of Change 2D Text
    // A dimension's tolerance texts, edited below the string when `tolerances` is set.
    bool tolerances = false;
    char upper[256] = "", lower[256] = "";
};

// Image patterns a material sheet loaded for the material it gave back, not yet the
// drawing's: the caller adds them to the drawing with the material change
// (edit_adopt_images). Those still held here when it goes are destroyed.
struct SheetImages {
    std::vector<PATT*> patterns;
    SheetImages() = default;
    SheetImages(const SheetImages&) = delete;
    SheetImages& operator=(const SheetImages&) = delete;
    ~SheetImages();
};

// Adds the sheet's images that the slots of `material` chosen by `mask` (kMatApply*
// bits) use to the view's drawing, in the newest undo level (the one of the material
// change); each added one leaves `images`. 0, or model_add_object's code (the caller
// rolls the level back).
[[nodiscard]] int edit_adopt_images(VIEW* view, const MaterialRecord& material, int32_t mask,
                                    SheetImages* images);

// The dialogs of the editing commands. An empty hook answers as a user who accepts the
// defaults would (OK); tests replace them.
struct EditDialogs {
    // The options dialog of Mirror, Rotate or Stretch (kind 2, 1, 3): the options word
    // (bit 1 go ahead, bit 2 replace the objects); 0 when cancelled. The dialog stores
    // "DeleteParents", "RotationMode" and the quiet flag itself.
    std::function<int(VIEW*, int kind)> transform_options;
    // The selection criteria of the view (view->pick criteria): 0 cancel, 1 OK, 2 "All".
    std::function<int(VIEW*, uint32_t help_id)> select_criteria;
    // The layer chosen for the objects (preselected: their common layer), or null.
    std::function<LAYER*(VIEW*, LAYER* preselected)> choose_layer;
    // The material sheet (camera: the background sheet) on colour and material; true on OK.
    // With `images`, the images loaded for the material are handed over there; without,
    // they join the drawing outside the undo history (a material no undo level holds).
    std::function<bool(VIEW*, int32_t* colour, MaterialRecord* material, bool camera, SheetImages* images)>
        material_sheet;
    // "Change What?" for materials (kMatApply* bits) and for line styles (1 width,
    // 2 pattern, 4 arc step, 8 curve step, 16 pattern scale); false when cancelled.
    std::function<bool(VIEW*, int32_t* mask)> change_what;
    std::function<bool(VIEW*, int32_t* mask)> change_what_line;
    // The style dialog for LINEPATT, HATCHPATT or FONTPATT; true on OK.
    std::function<bool(VIEW*, const RtcClass* cls, StyleValues* values)> line_style;
    // The settings dialog of a camera or a light (edits the object); true on OK.
    std::function<bool(VIEW*, object* obj)> camera_settings;
    std::function<bool(VIEW*, object* obj)> light_settings;
};
EditDialogs& edit_dialogs();

// The undo depth used while recording a command that must be able to roll back even
// with undo off ("UndoMode" 0 records one level), and the trim back to the setting.
int edit_record_depth();
void edit_trim_undo(MODEL* model);

// ---- Shared steps
// 3 with "DeleteParents", 5 with "LinkParents", else 1.
int transform_default_options();
// Applies kind + flags (16 replace, 32 copy, 64 no undo) to the objects; with 16 the
// caller's buffer holds the new objects afterwards. Redraws, recomputes the extents.
// 13 without a view; 0 for a null buffer; else transform_objects' result. Joining a
// level the caller opened (*new_level 0), the pass is recorded one level deeper and
// left untrimmed: the caller rolls the whole level back on failure, then trims.
[[nodiscard]] int objects_apply_transform(VIEW* view, buffer* objects, const Vec3& p1,
                                          const Vec3& p2, const Vec3& p3, int32_t mode,
                                          int* new_level);
// The same with a transform built by the caller.
[[nodiscard]] int objects_apply_transform_by(VIEW* view, buffer* objects, const Transform& t,
                                             int32_t mode, int* new_level);
// Whether the objects carried by `t` stay within the float range of the drawing's
// coordinates (a huge typed factor or a far point would leave them infinite); when
// not, the user is told ("Please enter the value correctly") and the pass is to be
// asked again.
bool transform_result_usable(const buffer* objects, const Transform& t);
// The same for the objects moved from `base` to `to` (Move, Copy, Paste).
bool move_result_usable(const buffer* objects, const Vec3& base, const Vec3& to);
// The options dialog (unless quiet) and the apply. 0 when declined.
[[nodiscard]] int transform_confirm_apply(VIEW* view, buffer* objects, const Vec3& p1,
                                          const Vec3& p2, const Vec3& p3, int kind);
[[nodiscard]] int transform_confirm_apply_by(VIEW* view, buffer* objects, const Transform& t,
                                             int kind);
// The transform of Stretch: factors f (x, y, depth) along the view's axes about
// `base`, built in double precision. 13 when a factor is below 1e-10 or not finite.
[[nodiscard]] int stretch_transform(const ViewProjection* vp, const Vec3& base, const double f[3],
                                    Transform* t);
// Replaces the objects by clones in one new level (the caller's buffer then holds the
// clones). 0 and *cloned true when a level was opened; *originals (when asked) gets an
// unringed copy of the sources' references, which the caller frees. On failure the
// buffer holds the sources again.
[[nodiscard]] int edit_clone_step(VIEW* view, buffer* objects, bool* cloned,
                                  buffer** originals = nullptr);
// Rolls the clone level back and puts the sources back into the buffer; frees
// *originals.
void edit_rollback_clones(VIEW* view, buffer* objects, buffer** originals);
// The buffer holds the references of `saved` again, in their order (a failed pass);
// `saved` is left with what the buffer held, to be freed.
void edit_restore_refs(buffer* objects, buffer* saved);
// Makes the input active and asks the objects (picked or the selection) and then a
// base point; 0 when both were given.
[[nodiscard]] int input_objects_and_base(VIEW** view_ref, buffer** objects, Vec3* base,
                                         uint32_t help_id);
// Asks the objects of a command's next pass into *objects (*rc the input's result);
// the view when some were given, else null.
VIEW* edit_next_objects(VIEW** view_ref, buffer** objects, int* rc);
// Draws the objects in every view of the drawing (erasing their old place) and
// redraws the box.
void edit_redraw_box(VIEW* view, const BBox& box);

// ---- Commands (arg: VIEW**)
[[nodiscard]] int cmd_select(void* arg);
[[nodiscard]] int cmd_deselect(void* arg);
[[nodiscard]] int cmd_delete(void* arg);
[[nodiscard]] int cmd_move(void* arg);
[[nodiscard]] int cmd_copy(void* arg);
[[nodiscard]] int cmd_mirror(void* arg);
[[nodiscard]] int cmd_rotate(void* arg);
[[nodiscard]] int cmd_stretch(void* arg);
[[nodiscard]] int cmd_change_label(void* arg);
[[nodiscard]] int cmd_group(void* arg);
[[nodiscard]] int cmd_split_group(void* arg);
[[nodiscard]] int cmd_copy_clipboard(void* arg);
[[nodiscard]] int cmd_paste(void* arg);
[[nodiscard]] int cmd_change_material(void* arg);
[[nodiscard]] int cmd_change_line_style(void* arg);
[[nodiscard]] int cmd_change_layer(void* arg);
[[nodiscard]] int cmd_adjust_camera(void* arg);
[[nodiscard]] int cmd_adjust_light(void* arg);
[[nodiscard]] int cmd_change_hatch(void* arg);
[[nodiscard]] int cmd_change_text(void* arg);

// Selection worker of Select (select 1) and Deselect (0).
[[nodiscard]] int select_objects(VIEW** view_ref, buffer* selection, int select);

// ---- Clipboard and style copying
[[nodiscard]] int patterns_copy_for_buffer(MODEL* target, buffer* objects, int* new_level);
[[nodiscard]] int patterns_copy_for_object(MODEL* target, object* obj, int* new_level);
[[nodiscard]] int pattern_copy_into(MODEL* target, PATT* pattern, int* new_level);
[[nodiscard]] int layers_copy_for_buffer(MODEL* target, buffer* objects);
[[nodiscard]] int clipboard_collect(MODEL* clip, buffer* into);
// Frees the clipboard drawing (at exit).
void clipboard_release();

// ---- Property helpers
LAYER* buffer_common_layer(const buffer* objects);
// values: a..f of objects_set_patt_params.
[[nodiscard]] int objects_set_patt_params_list(PATT* pattern, const double values[6],
                                               buffer* objects);
[[nodiscard]] int texts_set_string(buffer* objects, const char* text);
// Counts MESH3 and CAMERA objects with a material (containers searched), stopping at
// two; *first gets the first one. True when fewer than two were found.
bool material_source_count(const buffer* objects, object** first);

// The command tables: the functions of 15100..15107 and 15400..15407 in id order, and
// one lookup for every id above (null for other ids).
using EditCommandFn = int (*)(void*);
extern const EditCommandFn kTransformTable[8];
extern const EditCommandFn kPropertyTable[8];
EditCommandFn edit_command_for(uint32_t id);
