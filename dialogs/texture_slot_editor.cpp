// The texture slot editor and the sheet's image patterns.
#include "dialogs/texture_slot_editor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cstring>
#include <string>
#include <unistd.h>

#include "dialogs/xfile.h"
#include "imaging/formats/image_buffer.h"
#include "imaging/texture/texture_image.h"
#include "model/db/patt.h"
#include "model/db/texture_map.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/material/material.h"
#include "model/services/msgbox.h"
#include "model/services/numfmt.h"
#include "model/services/strtab.h"
#include "platform/dialog.h"
#include "render/surface/presets.h"
#include "resources/string_ids.h"
#include "model/services/error_text.h"
#include "shell/ddx.h"

namespace {

constexpr uint32_t kStrTextureLoadFailed = IDS_TEXTURE_LOAD_FAILED;  // "The image %s could not be read (%s)."
constexpr uint32_t kStrTextureBadData = IDS_TEXTURE_BAD_DATA;        // "it is not an image file that can be read"
constexpr uint32_t kStrNoMemory = IDS_NO_MEMORY;

// The mapping combo's entries and the slot's mapping modes they stand for.
constexpr int32_t kMappingChoices[5] = {kMappingModePlanar, kMappingModeCylindrical, kMappingModeSpherical,
                                        kMappingModePoint, kMappingModeSupplied};
constexpr const char* kMappingTexts[5] = {"Planar", "Cylindrical", "Spherical", "As given", "The object's own"};
constexpr const char* kSlotTitles[3] = {"Texture Map", "Bump Map", "Reflection Map"};

bool is_procedural(int32_t kind) { return kind >= kTexturePatternFirst && kind <= kTexturePatternLast; }

// Lets go of what the slot's parameters held before the slot changes kind.
void clear_parameters(TextureSlot& s) {
    colour_ramp_release(&s.ramp);
    s.ramp = nullptr;
    std::memset(static_cast<void*>(&s.mapping), 0, kTextureParamsSize);
}

void rebuild_matrix(TextureMapping& mp) {
    texture_mapping_build_matrix(&mp.matrix, mp.u_scale, mp.v_scale, mp.angle, (mp.flags & kMappingMirrorU) != 0,
                                 (mp.flags & kMappingMirrorV) != 0, mp.u_offset, mp.v_offset);
}

}  // namespace

// ---- SheetPatterns

SheetPatterns::SheetPatterns(MODEL* model) : model_(model) {}

SheetPatterns::~SheetPatterns() {
    for (MATRPATT* p : kept_) rtc_destroy(p);
}

int SheetPatterns::image(const std::string& path, MATRPATT** out) {
    *out = nullptr;
    if (!model_) return kBadArgument;
    if (PATT* own = model_find_patt(model_, path.c_str(), &MATRPATT::rtc_class)) {
        *out = static_cast<MATRPATT*>(own);
        return 0;
    }
    for (MATRPATT* p : kept_)
        if (path == p->name()) return *out = p, 0;
    MATRPATT* loaded = nullptr;
    const int code = texture_image_load(&loaded, path.c_str(), path.c_str());
    if (code != 0) {
        if (loaded) rtc_destroy(loaded);
        return code;
    }
    try {
        kept_.push_back(loaded);
    } catch (...) {
        rtc_destroy(loaded);
        return kOutOfMemory;
    }
    *out = loaded;
    return 0;
}

void SheetPatterns::commit(MaterialRecord& m) {
    for (TextureSlot& s : m.slots) {
        if (s.kind != kTextureImage || !s.mapping.image) continue;
        auto it = std::find(kept_.begin(), kept_.end(), s.mapping.image);
        if (it == kept_.end()) {
            // The drawing's already, perhaps added by an undo level with another
            // material's change: from now on it stays for this material too, so undoing
            // that level no longer takes it out.
            ZOBJ* shared = s.mapping.image;
            undo_forget_objects(model_, &shared, 1);
            continue;
        }
        if (model_insert_patt(model_, *it)) {
            kept_.erase(it);
            continue;
        }
        // The drawing took a pattern of that name while the sheet was open (another
        // sheet loaded the same file): the slot uses the drawing's, and this copy goes
        // with the sheet.
        PATT* same = model_find_patt(model_, (*it)->name(), &MATRPATT::rtc_class);
        s.mapping.image = static_cast<MATRPATT*>(same);
        if (!same) {
            s.kind = kTextureNone;
            continue;
        }
        ZOBJ* shared = same;
        undo_forget_objects(model_, &shared, 1);
    }
}

bool SheetPatterns::release(const MaterialRecord& m, std::vector<PATT*>* out) {
    MATRPATT* used[kMaterialSlotCount];
    int n = 0;
    for (const TextureSlot& s : m.slots)
        if (s.kind == kTextureImage && s.mapping.image && std::find(used, used + n, s.mapping.image) == used + n &&
            std::find(kept_.begin(), kept_.end(), s.mapping.image) != kept_.end())
            used[n++] = s.mapping.image;
    try {
        out->reserve(out->size() + n);
    } catch (...) {
        return false;
    }
    for (int i = 0; i < n; ++i) {
        out->push_back(used[i]);
        kept_.erase(std::find(kept_.begin(), kept_.end(), used[i]));
    }
    return true;
}

std::string texture_load_failure_text(int code, const std::string& path) {
    // The number and the reason, as every file message gives them; a file that can
    // be read but holds no image says so.
    const bool unreadable_image = code == kBadArgument && ::access(path.c_str(), R_OK) == 0;
    const std::string why = unreadable_image ? std::to_string(code) + ": " + res_load_string(kStrTextureBadData)
                                             : error_code_text(code, path.c_str());
    const std::string fmt = res_load_string(kStrTextureLoadFailed);
    const int n = std::snprintf(nullptr, 0, fmt.c_str(), path.c_str(), why.c_str());
    std::string text(n > 0 ? size_t(n) : 0, '\0');
    if (n > 0) std::snprintf(text.data(), text.size() + 1, fmt.c_str(), path.c_str(), why.c_str());
    return text;
}

// ---- CTextureSlotEditor

CTextureSlotEditor::CTextureSlotEditor(int slot, int first_id, MaterialRecord* material, SheetPatterns* patterns,
                                       QWidget* parent, bool with_amount)
    : slot_(slot), first_id_(first_id), with_amount_(with_amount), m_(material), patterns_(patterns) {
    box_ = new QWidget(parent);
    auto* grid = new QGridLayout(box_);
    QLabel* pending_label = nullptr;
    auto add = [&](int id, QWidget* w, int row, int col, int span = 1) {
        if (pending_label) pending_label->setBuddy(w), pending_label = nullptr;
        grid->addWidget(w, row, col, 1, span);
        controls_.emplace_back(first_id_ + id, w);
    };
    // A label names the control after it: its '&' letter moves the focus there.
    auto label = [&](const char* text, int row, int col) {
        pending_label = new QLabel(QString::fromUtf8(text), box_);
        grid->addWidget(pending_label, row, col);
    };
    kind_ = new QComboBox(box_);
    kind_->addItems({"None", "Image map", "Procedural"});
    label("&Kind:", 0, 0);
    add(kSlotKind, kind_, 0, 1);
    preset_ = new QComboBox(box_);
    const TexturePresetTable* t = table();
    for (int32_t i = 0; i < t->count; ++i)
        preset_->addItem(QString::fromStdString(res_load_string(uint32_t(t->first_name + i))));
    label("&Preset:", 0, 2);
    add(kSlotPreset, preset_, 0, 3);
    amount_ = new QLineEdit(box_);
    label("&Amount (%):", 1, 0);
    amount_label_ = pending_label;
    add(kSlotAmount, amount_, 1, 1);
    amount_label_->setVisible(with_amount_);
    amount_->setVisible(with_amount_);
    image_ = new QPushButton("&Image...", box_);
    add(kSlotImage, image_, 1, 2);
    image_name_ = new QLabel(box_);
    image_name_->setTextFormat(Qt::PlainText);
    add(kSlotImageName, image_name_, 1, 3);
    mapping_ = new QComboBox(box_);
    for (const char* text : kMappingTexts) mapping_->addItem(text);
    label("&Mapping:", 2, 0);
    add(kSlotMapping, mapping_, 2, 1);
    decal_ = new QCheckBox("&Decal", box_);
    add(kSlotDecal, decal_, 2, 2);
    u_scale_ = new QLineEdit(box_);
    v_scale_ = new QLineEdit(box_);
    angle_ = new QLineEdit(box_);
    label("Tiling &U:", 3, 0);
    add(kSlotUScale, u_scale_, 3, 1);
    label("Tiling &V:", 3, 2);
    add(kSlotVScale, v_scale_, 3, 3);
    label("R&otate °:", 4, 0);
    add(kSlotAngle, angle_, 4, 1);

    QObject::connect(kind_, &QComboBox::activated, box_, [this](int i) { choose_kind(i); });
    QObject::connect(preset_, &QComboBox::activated, box_, [this](int i) { choose_preset(i); });
    QObject::connect(image_, &QPushButton::clicked, box_, [this] { choose_image(); });
    QObject::connect(mapping_, &QComboBox::activated, box_, [this](int i) {
        m_->slots[slot_].mapping_mode = kMappingChoices[std::clamp(i, 0, 4)];
        changed();
    });
    QObject::connect(decal_, &QCheckBox::toggled, box_, [this](bool on) {
        if (filling_ || m_->slots[slot_].kind != kTextureImage) return;
        TextureMapping& mp = m_->slots[slot_].mapping;
        mp.flags = on ? uint16_t(mp.flags | kMappingDecal) : uint16_t(mp.flags & ~kMappingDecal);
        changed();
    });
    for (QLineEdit* e : {amount_, u_scale_, v_scale_, angle_})
        QObject::connect(e, &QLineEdit::textEdited, box_, [this] { follow_typing(); });
    show_slot();
}

CTextureSlotEditor::~CTextureSlotEditor() {
    delete box_;  // its controls and their connections go with it
}

const char* CTextureSlotEditor::title() const { return kSlotTitles[slot_]; }

const TexturePresetTable* CTextureSlotEditor::table() const {
    return slot_ == kSlotBump ? &kPresetsBump : slot_ == kSlotReflection ? &kPresetsReflection : &kPresetsTexture;
}

void CTextureSlotEditor::show_slot() {
    filling_ = true;
    const TextureSlot& s = m_->slots[slot_];
    const int choice = s.kind == kTextureImage ? kChoiceImage : is_procedural(s.kind) ? kChoiceProcedural : kChoiceNone;
    kind_->setCurrentIndex(choice);
    const int32_t row = choice == kChoiceProcedural ? texture_preset_find_row(&s, table()) : -1;
    // A pattern of the slot's own (from an imported model) matches no preset: none
    // is shown, and the pattern stays until a preset is chosen.
    preset_->setCurrentIndex(row);
    preset_->setEnabled(choice == kChoiceProcedural);
    amount_->setText(QString::fromStdString(number_format_real(s.amount * 100.0, kDialogDigits)));
    amount_->setEnabled(choice != kChoiceNone);
    const bool image = choice == kChoiceImage;
    image_->setEnabled(patterns_ && patterns_->model());
    image_name_->setText(image && s.mapping.image ? QString::fromUtf8(s.mapping.image->name()) : QString());
    const int32_t* at = std::find(std::begin(kMappingChoices), std::end(kMappingChoices), s.mapping_mode);
    // A mode none of the choices stands for (a damaged file) shows no choice.
    mapping_->setCurrentIndex(at == std::end(kMappingChoices) ? -1 : int(at - kMappingChoices));
    for (QWidget* w : {static_cast<QWidget*>(mapping_), static_cast<QWidget*>(decal_),
                       static_cast<QWidget*>(u_scale_), static_cast<QWidget*>(v_scale_),
                       static_cast<QWidget*>(angle_)})
        w->setEnabled(image);
    decal_->setChecked(image && (s.mapping.flags & kMappingDecal));
    u_scale_->setText(image ? QString::fromStdString(number_format_real(s.mapping.u_scale, kDialogDigits)) : QString());
    v_scale_->setText(image ? QString::fromStdString(number_format_real(s.mapping.v_scale, kDialogDigits)) : QString());
    angle_->setText(image ? QString::fromStdString(number_format_real(s.mapping.angle, kDialogDigits)) : QString());
    filling_ = false;
}

namespace {
struct Typed {
    int control;
    double lo, hi;
};
constexpr Typed kAmount = {kSlotAmount, 0, 100};
constexpr Typed kMappingTyped[3] = {{kSlotUScale, 0.001, 1000}, {kSlotVScale, 0.001, 1000}, {kSlotAngle, -360, 360}};

float* typed_field(TextureSlot& s, int control) {
    return control == kSlotUScale ? &s.mapping.u_scale : control == kSlotVScale ? &s.mapping.v_scale : &s.mapping.angle;
}
}  // namespace

void CTextureSlotEditor::follow_typing() {
    if (filling_) return;
    TextureSlot& s = m_->slots[slot_];
    // A field still showing its value as show_slot wrote it is left alone: reading the
    // shown digits back would round a value the user did not touch.
    auto parse = [&](const Typed& t, double now, double* v) {
        const QLineEdit* e = t.control == kSlotAmount ? amount_
                             : t.control == kSlotUScale ? u_scale_
                             : t.control == kSlotVScale ? v_scale_
                                                        : angle_;
        const std::string text = e->text().toStdString();
        if (text == number_format_real(now, kDialogDigits)) return false;
        return real_parse(text.c_str(), v) && *v >= t.lo && *v <= t.hi;
    };
    double v = 0;
    if (with_amount_ && s.kind != kTextureNone && parse(kAmount, s.amount * 100.0, &v)) s.amount = float(v / 100.0);
    if (s.kind == kTextureImage) {
        for (const Typed& t : kMappingTyped)
            if (parse(t, *typed_field(s, t.control), &v)) *typed_field(s, t.control) = float(v);
        rebuild_matrix(s.mapping);
    }
    changed();
}

void CTextureSlotEditor::exchange(CDataExchange* dx) {
    if (!dx->saving()) return show_slot();
    TextureSlot& s = m_->slots[slot_];
    if (s.kind == kTextureNone) return;
    if (with_amount_) {
        double amount = s.amount * 100.0;
        DDX_Double(dx, first_id_ + kSlotAmount, amount);
        DDV_MinMaxDouble(dx, amount, kAmount.lo, kAmount.hi);
        s.amount = float(amount / 100.0);
    }
    if (s.kind != kTextureImage) return;
    for (const Typed& t : kMappingTyped) {
        double v = *typed_field(s, t.control);
        DDX_Double(dx, first_id_ + t.control, v);
        DDV_MinMaxDouble(dx, v, t.lo, t.hi);
        *typed_field(s, t.control) = float(v);
    }
    rebuild_matrix(s.mapping);
}

void CTextureSlotEditor::choose_kind(int choice) {
    TextureSlot& s = m_->slots[slot_];
    if (choice == kChoiceNone) {
        clear_parameters(s);
        s.kind = kTextureNone;
    } else if (choice == kChoiceImage) {
        if (s.kind != kTextureImage && !choose_image()) return show_slot();
    } else if (!is_procedural(s.kind)) {
        return choose_preset(0);
    }
    show_slot();
    changed();
}

void CTextureSlotEditor::choose_preset(int row) {
    TextureSlot& s = m_->slots[slot_];
    if (row < 0 || row >= table()->count) return;
    if (!is_procedural(s.kind)) {
        clear_parameters(s);
        pattern_params_init(&s.pattern);
    }
    texture_preset_apply(m_, table(), row);
    if (with_amount_) s.amount = float(texture_preset_base_value(table(), row) / 100.0);
    show_slot();
    changed();
}

bool CTextureSlotEditor::choose_image() {
    if (!patterns_ || !patterns_->model()) return false;
    std::string path;
    if (texture_file_dialog(&path, true, box_->window()) < 0 || path.empty()) return false;
    MATRPATT* image = nullptr;
    if (const int code = patterns_->image(path, &image)) {
        // The slot keeps what it had.
        msgbox_printf(kStrIdError, "%s", texture_load_failure_text(code, path).c_str());
        return false;
    }
    // The new mapping is made aside, so that a failure leaves the slot as it was.
    TextureSlot& s = m_->slots[slot_];
    TextureMapping mapping = s.mapping;
    if (s.kind != kTextureImage) {
        texture_mapping_init(&mapping);
        if (slot_ == kSlotReflection) mapping.interpolation = kInterpolationReflectionDefault;
    }
    if (const int code = texture_mapping_set_image(&mapping, image)) {
        msgbox_printf(kStrIdError, "%s", texture_load_failure_text(code, path).c_str());
        return false;
    }
    if (s.kind != kTextureImage) {
        clear_parameters(s);
        s.kind = kTextureImage;
        // A new texture or bump map of an object shows the image undistorted on the
        // program's own meshes; a background keeps the image's own coordinates.
        if (with_amount_ && slot_ != kSlotReflection) s.mapping_mode = kMappingModeNewImage;
    }
    s.mapping = mapping;
    show_slot();
    changed();
    return true;
}

void CTextureSlotEditor::changed() {
    if (on_change_) on_change_();
}
