// The scene material's fields as the camera form of the material sheet and the render
// sheet's Scene page show them. A scene material is the background and atmosphere of
// a render: its texture slot is the background, the amounts of its bump and texture
// slots are the fog's visibility and haze, and its colour is the fog's colour.
//
// The editor builds the fog fields (the colour first when asked), which the owning
// dialog places in rows of its own grid, and the background (a texture slot editor
// that leaves the slot's amount, the haze, alone) in a box of its own, and exchanges
// them with *material.
#pragma once

#include <memory>
#include <utility>
#include <vector>

class CDataExchange;
class CTextureSlotEditor;
class QGridLayout;
class QLabel;
class QWidget;
class SheetPatterns;
struct MaterialRecord;

class CSceneMaterialEditor {
  public:
    // Control ids: the fog colour's red, green and blue edits (with_colour only), the
    // fog's visibility and haze (each after its label, at id - 1), and the background's
    // slot editor from kIdcBackground on (plus TextureSlotControl).
    static constexpr int kIdcFogColour = 1033;
    static constexpr int kIdcFogVisibility = 1094;
    static constexpr int kIdcFogHaze = 1096;
    static constexpr int kIdcBackground = 1110;

    // Edits *material (which must outlive the editor) with images from `patterns`.
    CSceneMaterialEditor(MaterialRecord* material, SheetPatterns* patterns, QWidget* parent, bool with_colour);
    ~CSceneMaterialEditor();
    CSceneMaterialEditor(const CSceneMaterialEditor&) = delete;
    CSceneMaterialEditor& operator=(const CSceneMaterialEditor&) = delete;

    // Puts the fog's fields into `grid` from `row` on, a label in column `col` and its
    // edits after it; the row after them.
    int place_fog(QGridLayout* grid, int row, int col) const;
    // The "Background" box.
    QWidget* background() const { return background_; }
    CTextureSlotEditor* background_editor() const { return slot_.get(); }
    // Every control with its id, for the owning dialog to register.
    const std::vector<std::pair<int, QWidget*>>& controls() const { return controls_; }
    // Fills the fields from the material, or reads them back with their range checks.
    void exchange(CDataExchange* dx);

  private:
    MaterialRecord* m_;
    bool with_colour_;
    struct FogRow {
        QLabel* label;
        std::vector<QWidget*> edits;
    };
    std::vector<FogRow> fog_;
    QWidget* background_;
    std::unique_ptr<CTextureSlotEditor> slot_;
    std::vector<std::pair<int, QWidget*>> controls_;
};
