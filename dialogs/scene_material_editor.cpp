// The scene material's fog and background fields.
#include "dialogs/scene_material_editor.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "dialogs/texture_slot_editor.h"
#include "model/material/material.h"
#include "platform/dialog.h"
#include "shell/ddx.h"

CSceneMaterialEditor::CSceneMaterialEditor(MaterialRecord* material, SheetPatterns* patterns, QWidget* parent,
                                           bool with_colour)
    : m_(material), with_colour_(with_colour) {
    // A label names the edits after it: its '&' letter moves the focus there.
    auto edits = [&](const char* text, int first_id, int count) {
        FogRow row{new QLabel(QString::fromUtf8(text), parent), {}};
        controls_.emplace_back(first_id - 1, row.label);
        for (int i = 0; i < count; ++i) {
            auto* e = new QLineEdit(parent);
            if (i == 0) row.label->setBuddy(e);
            row.edits.push_back(e);
            controls_.emplace_back(first_id + i, e);
        }
        fog_.push_back(std::move(row));
    };
    if (with_colour_) edits("Fog &colour (0..1):", kIdcFogColour, 3);
    edits("Fog &visibility:", kIdcFogVisibility, 1);
    edits("Fog ha&ze:", kIdcFogHaze, 1);

    auto* box = new QGroupBox(QStringLiteral("Background"), parent);
    auto* inside = new QVBoxLayout(box);
    // The texture slot's amount is the haze, edited above.
    slot_ = std::make_unique<CTextureSlotEditor>(kSlotTexture, kIdcBackground, m_, patterns, box, false);
    inside->addWidget(slot_->widget());
    for (const auto& c : slot_->controls()) controls_.push_back(c);
    background_ = box;
}

CSceneMaterialEditor::~CSceneMaterialEditor() = default;

int CSceneMaterialEditor::place_fog(QGridLayout* grid, int row, int col) const {
    for (const FogRow& r : fog_) {
        grid->addWidget(r.label, row, col);
        for (size_t i = 0; i < r.edits.size(); ++i) grid->addWidget(r.edits[i], row, col + 1 + int(i));
        ++row;
    }
    return row;
}

void CSceneMaterialEditor::exchange(CDataExchange* dx) {
    if (with_colour_)
        for (int i = 0; i < 3; ++i) {
            double v = m_->colour[i];
            DDX_Double(dx, kIdcFogColour + i, v);
            DDV_MinMaxDouble(dx, v, 0, 1);
            m_->colour[i] = float(v);
        }
    // The visibility is the bump slot's amount, the haze the texture slot's.
    const int ids[2] = {kIdcFogVisibility, kIdcFogHaze};
    const int slot_of[2] = {kSlotBump, kSlotTexture};
    for (int i = 0; i < 2; ++i) {
        double v = m_->slots[slot_of[i]].amount;
        DDX_Double(dx, ids[i], v);
        DDV_MinMaxDouble(dx, v, 0, 1);
        m_->slots[slot_of[i]].amount = float(v);
    }
    slot_->exchange(dx);
}
