// The editor of one texture slot of a material (colour texture, bump map or
// reflection map) and the image patterns the material sheet works with.
//
// A slot is none, an image map (a file loaded into an image pattern of the drawing,
// placed by its mapping type, tiling, angle and decal flag) or a procedural texture
// from the slot's preset table; choosing a preset shows its base value as the slot's
// amount (in percent), which the user may change.
//
// Images chosen while a sheet is open are loaded into patterns that the sheet keeps
// (SheetPatterns); they join the drawing's pattern ring only when the sheet's OK
// stores the material (or are handed to the caller, who adds them in the undo level of
// the change), so Cancel leaves the drawing as it was. A pattern is found by
// name (the file's path) among the drawing's and the sheet's own before a file is
// read, so every material that uses an image shares one pattern, and a pattern the
// drawing already has is never replaced or freed by the sheet.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class MATRPATT;
class PATT;
class MODEL;
class QComboBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
struct MaterialRecord;
struct TexturePresetTable;

class SheetPatterns {
  public:
    // `model` may be null: then no image can be chosen.
    explicit SheetPatterns(MODEL* model);
    ~SheetPatterns();
    SheetPatterns(const SheetPatterns&) = delete;
    SheetPatterns& operator=(const SheetPatterns&) = delete;

    MODEL* model() const { return model_; }
    // The pattern of the image file `path`: the drawing's or this sheet's pattern of
    // that name, else the file loaded into a new pattern the sheet keeps. 0, or the
    // reader's code (texture_image_load) with *out null.
    [[nodiscard]] int image(const std::string& path, MATRPATT** out);
    // Puts the kept patterns that `m`'s slots use into the drawing, outside its undo
    // history (the material is being stored), and takes the drawing's own patterns that
    // they use out of it, so that no undo removes them. A slot whose image the drawing
    // refuses (it took one of that name meanwhile) is pointed at the drawing's. The
    // others stay the sheet's and go with it.
    void commit(MaterialRecord& m);
    // Hands the kept patterns that `m`'s slots use over to `out` (the caller adds them
    // to the drawing with the change); false, nothing handed over, when out of memory.
    bool release(const MaterialRecord& m, std::vector<PATT*>* out);

  private:
    MODEL* model_;
    std::vector<MATRPATT*> kept_;  // owned until committed
};

// The text of a texture reader's result code for the file `path`.
std::string texture_load_failure_text(int code, const std::string& path);

// Control ids of a slot editor, relative to its first id.
enum TextureSlotControl {
    kSlotKind = 0,      // combo: none, image map, procedural
    kSlotPreset = 1,    // combo: the table's presets by name
    kSlotAmount = 2,    // edit: amount in percent
    kSlotImage = 3,     // button: choose the image file
    kSlotImageName = 4, // static: the image's name
    kSlotMapping = 5,   // combo: planar, cylindrical, spherical, as given, the object's own
    kSlotUScale = 6,    // edit
    kSlotVScale = 7,    // edit
    kSlotAngle = 8,     // edit, degrees
    kSlotDecal = 9,     // check
    kSlotControlCount = 10
};

// Entries of the kind combo.
enum TextureSlotKindChoice { kChoiceNone = 0, kChoiceImage = 1, kChoiceProcedural = 2 };

class CDataExchange;

class CTextureSlotEditor {
  public:
    // Edits slot `slot` (kSlotTexture, kSlotBump, kSlotReflection) of *material, which
    // must outlive the editor. The controls get the ids first_id + TextureSlotControl.
    // Without `with_amount` the slot's amount is neither shown nor changed (a scene's
    // background slot, whose amount is the fog's haze, and whose new image keeps the
    // slot's mapping mode).
    CTextureSlotEditor(int slot, int first_id, MaterialRecord* material, SheetPatterns* patterns,
                       QWidget* parent, bool with_amount = true);
    ~CTextureSlotEditor();
    CTextureSlotEditor(const CTextureSlotEditor&) = delete;
    CTextureSlotEditor& operator=(const CTextureSlotEditor&) = delete;

    // The editor's controls in one widget, and its title ("Texture Map" ...).
    QWidget* widget() const { return box_; }
    const char* title() const;
    // Every control with its id, for the owning dialog to register.
    const std::vector<std::pair<int, QWidget*>>& controls() const { return controls_; }
    // Called after any change of the slot (for the sample).
    void set_on_change(std::function<void()> f) { on_change_ = std::move(f); }
    // Shows the slot as the material holds it.
    void show_slot();
    // The owning dialog's data exchange over the slot's typed values (amount, tiling,
    // angle), with its range checks; filling shows the slot.
    void exchange(CDataExchange* dx);

  private:
    void choose_kind(int choice);
    void choose_preset(int row);
    bool choose_image();
    void changed();
    // The typed values while the user types: those that read as numbers in range
    // go into the slot at once (OK checks them all again).
    void follow_typing();
    const TexturePresetTable* table() const;

    int slot_;
    int first_id_;
    bool with_amount_;
    MaterialRecord* m_;
    SheetPatterns* patterns_;
    QWidget* box_;
    QComboBox *kind_, *preset_, *mapping_;
    QLineEdit *amount_, *u_scale_, *v_scale_, *angle_;
    QLabel* amount_label_;
    QPushButton* image_;
    QLabel* image_name_;
    QCheckBox* decal_;
    std::vector<std::pair<int, QWidget*>> controls_;
    std::function<void()> on_change_;
    bool filling_ = false;
};
