// The dialogs of the editing commands, and their installation into the commands'
// hooks.
#include "dialogs/edit_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QGridLayout>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QLineEdit>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "dialogs/sample/material_sample.h"
#include "dialogs/texture_slot_editor.h"
#include "graphics/view/view.h"
#include "model/db/buffer.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/zobj.h"
#include "model/material/material.h"
#include "model/math/result.h"
#include "model/math/scalar.h"
#include "model/services/msgbox.h"
#include "model/services/numfmt.h"
#include "model/services/prefs.h"
#include "model/services/strtab.h"
#include "model/services/utf8.h"
#include "resources/string_ids.h"
#include "shell/ddx.h"
#include "shell/services.h"

namespace {

// The drawing's layers, or its patterns of a class, in ring order.
std::vector<ZOBJ*> ring_of(ZDLIST* ring, const RtcClass* cls) {
    std::vector<ZOBJ*> out;
    if (!ring) return out;
    ZDLIST* p = ring;
    do {
        if (rtc_is_a(p, cls)) out.push_back(static_cast<ZOBJ*>(p));
        p = p->next;
    } while (p != ring);
    return out;
}

void fill_combo(QComboBox* box, const std::vector<ZOBJ*>& items, const ZOBJ* current, const char* none) {
    if (!box) return;
    box->clear();
    if (none) box->addItem(none);
    int at = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        box->addItem(QString::fromUtf8(items[i]->name()));
        if (items[i] == current) at = int(i) + (none ? 1 : 0);
    }
    box->setCurrentIndex(at);
}

// The item chosen in a combo filled by fill_combo; null for "none" or nothing.
ZOBJ* combo_choice(QWidget* w, const std::vector<ZOBJ*>& items, bool has_none) {
    auto* box = qobject_cast<QComboBox*>(w);
    if (!box) return nullptr;
    const int i = box->currentIndex() - (has_none ? 1 : 0);
    return i >= 0 && size_t(i) < items.size() ? items[size_t(i)] : nullptr;
}

}  // namespace

// ---- Selection criteria

CSelectCriteriaDlg::CSelectCriteriaDlg(QWidget* parent, MODEL* model, PickWindow* criteria)
    : CDlg(kDlgSelectCriteria, parent), model_(model), criteria_(criteria) {
    const uint32_t f = criteria->flags;
    mode_ = (f & kPickPoint) ? 0 : (f & kPickWindow) ? 1 : (f & kPickCrossing) ? 2 : (f & kPickFence) ? 3 : 4;
    use_colour_ = (f & kPickColour) != 0;
    use_layer_ = (f & kPickLayer) != 0;
    use_style_ = (f & kPickLineStyle) != 0;
    use_width_ = (f & kPickWidth) != 0;
    colour_ = criteria->colour;
    min_width_ = criteria->min_width;
    max_width_ = criteria->max_width;
    if (model) {
        layers_ = ring_of(model->children, &LAYER::rtc_class);
        styles_ = ring_of(model->patterns, &LINEPATT::rtc_class);
    }
}

void CSelectCriteriaDlg::CreateControls() {
    add_static(kIdcFirst, "Location", 0, 0);
    const char* modes[] = {"&Point", "&Window", "C&rossing box", "&Fence", "&Whole drawing"};
    for (int i = 0; i < 5; ++i) add_radio(kIdcFirst + 1 + i, modes[i], 1 + i, 0);
    add_check(kIdcFirst + 10, "&Colour", 0, 1);
    add_edit(kIdcFirst + 11, 0, 2);
    add_check(kIdcFirst + 12, "&Layer", 1, 1);
    add_combo(kIdcFirst + 13, 1, 2);
    add_check(kIdcFirst + 14, "Line &style", 2, 1);
    add_combo(kIdcFirst + 15, 2, 2);
    add_check(kIdcFirst + 16, "W&idth from", 3, 1);
    add_edit(kIdcFirst + 17, 3, 2);
    add_static(kIdcFirst + 18, "to", 4, 1);
    add_edit(kIdcFirst + 19, 4, 2);
    add_button(IDOK, "OK", 6, 0, true);
    add_button(kIdcAll, "&All", 6, 1);
    add_button(IDCANCEL, "Cancel", 6, 2);
}

bool CSelectCriteriaDlg::OnInitDialog() {
    CDlg::OnInitDialog();
    fill_combo(qobject_cast<QComboBox*>(GetDlgItem(kIdcFirst + 13)), layers_, criteria_->layer, nullptr);
    fill_combo(qobject_cast<QComboBox*>(GetDlgItem(kIdcFirst + 15)), styles_, criteria_->line_style, nullptr);
    return true;
}

void CSelectCriteriaDlg::DoDataExchange(CDataExchange* dx) {
    for (int i = 0; i < 5; ++i) {
        int on = mode_ == i;
        DDX_Check(dx, kIdcFirst + 1 + i, on);
        if (dx->saving() && on) mode_ = i;
    }
    DDX_Check(dx, kIdcFirst + 10, use_colour_);
    DDX_Double(dx, kIdcFirst + 11, colour_);
    DDV_MinMaxDouble(dx, colour_, 0, 255);
    DDX_Check(dx, kIdcFirst + 12, use_layer_);
    DDX_Check(dx, kIdcFirst + 14, use_style_);
    DDX_Check(dx, kIdcFirst + 16, use_width_);
    DDX_Length(dx, kIdcFirst + 17, min_width_);
    DDX_Length(dx, kIdcFirst + 19, max_width_);
    if (dx->saving()) store();
}

void CSelectCriteriaDlg::store() {
    static const uint32_t kModeBits[5] = {kPickPoint, kPickWindow, kPickCrossing, kPickFence, 0};
    uint32_t f = kModeBits[mode_];
    if (use_colour_) f |= kPickColour;
    if (use_layer_) f |= kPickLayer;
    if (use_style_) f |= kPickLineStyle;
    if (use_width_) f |= kPickWidth;
    criteria_->flags = (criteria_->flags & ~(kCritLocation | kCritFilters)) | f;
    criteria_->colour = int32_t(colour_);
    criteria_->min_width = min_width_;
    criteria_->max_width = max_width_;
    criteria_->layer = static_cast<LAYER*>(combo_choice(GetDlgItem(kIdcFirst + 13), layers_, false));
    criteria_->line_style = static_cast<LINEPATT*>(combo_choice(GetDlgItem(kIdcFirst + 15), styles_, false));
}

void CSelectCriteriaDlg::OnCommand(int id) {
    if (id == kIdcAll && UpdateData(true)) EndDialog(kIdcAll);
}

// ---- Rotate, Mirror and Stretch options

CTransformOptionsDlg::CTransformOptionsDlg(QWidget* parent, int kind)
    : CDlg(kDlgTransformOptions, parent), kind_(kind) {
    delete_parents_ = g_prefs.delete_parents;
    link_parents_ = g_prefs.link_parents;
    const int quiet = kind == kKindRotate ? g_prefs.turn : kind == kKindMirror ? g_prefs.mirror : g_prefs.resize;
    query_ = !quiet;
    ask_centre_ = (g_prefs.rotation_mode & 2) != 0;
    ask_base_ = (g_prefs.rotation_mode & 4) != 0;
}

void CTransformOptionsDlg::CreateControls() {
    add_check(kIdcFirst, "&Delete parent objects", 0, 0);
    add_check(kIdcFirst + 1, "&Link to parents", 1, 0);
    int row = 2;
    if (kind_ == kKindRotate) {
        add_check(kIdcFirst + 2, "Ask rotation &centre", row++, 0);
        add_check(kIdcFirst + 3, "Ask &base point", row++, 0);
    }
    add_check(kIdcFirst + 4, "&Show this dialog", row++, 0);
    add_ok_cancel(row, 1);
}

bool CTransformOptionsDlg::OnInitDialog() {
    CDlg::OnInitDialog();
    setWindowTitle(QString::fromStdString(res_load_string(kTitleRotate + uint32_t(kind_ == kKindRotate ? 0
                                                                                  : kind_ == kKindMirror ? 1
                                                                                                         : 2))));
    return true;
}

void CTransformOptionsDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Check(dx, kIdcFirst, delete_parents_);
    DDX_Check(dx, kIdcFirst + 1, link_parents_);
    if (kind_ == kKindRotate) {
        DDX_Check(dx, kIdcFirst + 2, ask_centre_);
        DDX_Check(dx, kIdcFirst + 3, ask_base_);
    }
    DDX_Check(dx, kIdcFirst + 4, query_);
    if (!dx->saving()) return;
    g_prefs.delete_parents = delete_parents_;
    g_prefs.link_parents = link_parents_;
    int& quiet = kind_ == kKindRotate ? g_prefs.turn : kind_ == kKindMirror ? g_prefs.mirror : g_prefs.resize;
    quiet = !query_;
    int mode = (delete_parents_ ? 1 : 0) | (ask_centre_ ? 2 : 0) | (ask_base_ ? 4 : 0) | (query_ ? 8 : 0);
    if (kind_ == kKindRotate) g_prefs.rotation_mode = mode;
    options_ = 1 | (delete_parents_ ? 2 : 0) | (link_parents_ ? 4 : 0);
}

// ---- Change What?

namespace {

struct MaskBit {
    int32_t bit;
    const char* text;
};

constexpr MaskBit kMaterialBits[] = {
    {kMatApplyColour, "&Colour"},
    {kMatApplyTexture, "&Texture"},
    {kMatApplyBumpReflection, "&Bump and reflection"},
    {kMatApplyShininess, "&Shininess"},
    {kMatApplySpecularExponent, "Specular e&xponent"},
    {kMatApplyTransparency, "T&ransparency"},
    {kMatApplySelfIllumination, "Self-&illumination"},
    {kMatApplyRandomness, "R&andomness"},
    {kMatApplyReflectionLevel, "Reflection &level"},
    {kMatApplyRefraction, "Re&fraction"},
    {kMatApplyMappingType, "&Mapping type"},
    {kMatApplyColourHighlight, "Colour &highlight"},
    {kMatApplySmoothing, "Smoot&hing"},
    {kMatApplyMapAngle, "Map an&gle"},
    {kMatApplyMapDecal, "Map &decal"},
    {kMatApplyMapScale, "Map sc&ale"},
};

constexpr MaskBit kLineBits[] = {
    {1, "&Width"}, {2, "&Pattern"}, {4, "&Arc step"}, {8, "&Curve step"}, {16, "Pattern &scale"},
};

}  // namespace

CChangeWhatDlg::CChangeWhatDlg(QWidget* parent, bool line_style, int32_t* mask)
    : CDlg(line_style ? kDlgChangeWhatLine : kDlgChangeWhat, parent), line_(line_style), mask_(mask) {
    const int32_t stored = line_ ? g_prefs.change_linepat : g_prefs.change_material;
    const size_t n = line_ ? std::size(kLineBits) : std::size(kMaterialBits);
    for (size_t i = 0; i < n; ++i) ticks_.push_back((stored & (line_ ? kLineBits : kMaterialBits)[i].bit) != 0);
}

void CChangeWhatDlg::CreateControls() {
    const MaskBit* bits = line_ ? kLineBits : kMaterialBits;
    const int columns = line_ ? 1 : 2;
    for (size_t i = 0; i < ticks_.size(); ++i)
        add_check(kIdcFirst + int(i), bits[i].text, int(i) / columns, int(i) % columns);
    add_ok_cancel(int(ticks_.size() + columns - 1) / columns, columns);
}

void CChangeWhatDlg::DoDataExchange(CDataExchange* dx) {
    for (size_t i = 0; i < ticks_.size(); ++i) DDX_Check(dx, kIdcFirst + int(i), ticks_[i]);
    if (!dx->saving()) return;
    const MaskBit* bits = line_ ? kLineBits : kMaterialBits;
    int32_t m = 0;
    for (size_t i = 0; i < ticks_.size(); ++i)
        if (ticks_[i]) m |= bits[i].bit;
    *mask_ = m;
    (line_ ? g_prefs.change_linepat : g_prefs.change_material) = m;
}

// ---- Choose layer

CChooseLayerDlg::CChooseLayerDlg(QWidget* parent, MODEL* model, LAYER* preselected)
    : CDlg(kDlgChooseLayer, parent), model_(model), chosen_(preselected) {
    for (ZOBJ* l : ring_of(model ? model->children : nullptr, &LAYER::rtc_class))
        layers_.push_back(static_cast<LAYER*>(l));
}

void CChooseLayerDlg::CreateControls() {
    add_static(kIdcFirst, "&Layer:", 0, 0);
    add_combo(kIdcFirst + 1, 0, 1);
    add_ok_cancel(1, 2);
}

bool CChooseLayerDlg::OnInitDialog() {
    CDlg::OnInitDialog();
    std::vector<ZOBJ*> items(layers_.begin(), layers_.end());
    fill_combo(qobject_cast<QComboBox*>(GetDlgItem(kIdcFirst + 1)), items, chosen_, nullptr);
    return true;
}

void CChooseLayerDlg::OnOK() {
    std::vector<ZOBJ*> items(layers_.begin(), layers_.end());
    chosen_ = static_cast<LAYER*>(combo_choice(GetDlgItem(kIdcFirst + 1), items, false));
    CDlg::OnOK();
}

// ---- Line style, hatch and font

CLineStyleDlg::CLineStyleDlg(QWidget* parent, MODEL* model, const RtcClass* cls, StyleValues* values)
    : CDlg(kDlgLineStyle, parent),
      model_(model),
      cls_(cls),
      v_(values),
      text_(values->text),
      upper_(values->upper),
      lower_(values->lower) {
    for (ZOBJ* p : ring_of(model ? model->patterns : nullptr, cls)) patterns_.push_back(static_cast<PATT*>(p));
}

void CLineStyleDlg::CreateControls() {
    const bool hatch = cls_ == &HATCHPATT::rtc_class, font = cls_ == &FONTPATT::rtc_class;
    add_static(kIdcFirst, hatch ? "&Hatch:" : font ? "&Font:" : "&Line style:", 0, 0);
    add_combo(kIdcFirst + 1, 0, 1);
    add_static(kIdcFirst + 2, "&Width:", 1, 0);
    add_edit(kIdcFirst + 3, 1, 1);
    const char* labels[5] = {"&Arc step:", "C&urve step:", nullptr, nullptr, "&Scale:"};
    if (hatch) labels[0] = "An&gle:", labels[1] = "&Scale:", labels[4] = nullptr;
    if (font) labels[0] = "&Direction:", labels[1] = "S&lant:", labels[2] = "Wi&dth factor:", labels[3] = "&Height:",
              labels[4] = nullptr;
    int row = 2;
    for (int i = 0; i < 5; ++i) {
        if (!labels[i]) continue;
        add_static(kIdcFirst + 10 + 2 * i, labels[i], row, 0);
        add_edit(kIdcFirst + 11 + 2 * i, row++, 1);
    }
    if (font) {
        add_static(kIdcFirst + 30, "&Text:", row, 0);
        add_edit(kIdcFirst + 31, row++, 1);
    }
    if (font && v_->tolerances) {
        add_static(kIdcFirst + 32, "&Upper tolerance:", row, 0);
        add_edit(kIdcFirst + 33, row++, 1);
        add_static(kIdcFirst + 34, "L&ower tolerance:", row, 0);
        add_edit(kIdcFirst + 35, row++, 1);
    }
    add_ok_cancel(row, 2);
}

bool CLineStyleDlg::OnInitDialog() {
    CDlg::OnInitDialog();
    std::vector<ZOBJ*> items(patterns_.begin(), patterns_.end());
    fill_combo(qobject_cast<QComboBox*>(GetDlgItem(kIdcFirst + 1)), items, v_->pattern,
               cls_ == &HATCHPATT::rtc_class ? "<solid>" : nullptr);
    return true;
}

void CLineStyleDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Length(dx, kIdcFirst + 3, v_->width);
    for (int i = 0; i < 5; ++i)
        if (GetDlgItem(kIdcFirst + 11 + 2 * i)) DDX_Double(dx, kIdcFirst + 11 + 2 * i, v_->params[i]);
    struct Text {
        int id;
        std::string& kept;
        char* value;
    } texts[3] = {{kIdcFirst + 31, text_, v_->text}, {kIdcFirst + 33, upper_, v_->upper},
                  {kIdcFirst + 35, lower_, v_->lower}};
    for (size_t i = 0; i < 3; ++i) {
        const Text& t = texts[i];
        if (!GetDlgItem(t.id)) continue;
        std::string box = t.kept;
        DDX_Text(dx, t.id, box);
        // A text holds bytes of its font's code page, which the box may show otherwise:
        // a string left as shown keeps its own bytes.
        if (!dx->saving())
            shown_[i] = GetDlgItemText(t.id);
        else if (box != shown_[i])
            t.kept = box;
        DDV_MaxChars(dx, box, int(sizeof v_->text) - 1);
    }
    if (!dx->saving()) return;
    std::vector<ZOBJ*> items(patterns_.begin(), patterns_.end());
    v_->pattern =
        static_cast<PATT*>(combo_choice(GetDlgItem(kIdcFirst + 1), items, cls_ == &HATCHPATT::rtc_class));
    for (const Text& t : texts) utf8_copy(t.value, sizeof v_->text, t.kept);
}

// ---- Camera and light

CCameraSettingsDlg::CCameraSettingsDlg(QWidget* parent, CAMERA* camera)
    : CDlg(kDlgCamera, parent), cam_(camera), name_(camera->name()), lens_(camera->lens) {
    // A damaged aperture (not a number, negative) renders without blur: shown as 0.
    const double aperture = camera->aperture();
    aperture_ = std::isfinite(aperture) && aperture > 0 ? aperture : 0.0;
    for (int i = 0; i < 3; ++i) {
        pos_[i] = (&camera->position.x)[i];
        target_[i] = (&camera->target.x)[i];
    }
}

void CCameraSettingsDlg::CreateControls() {
    add_static(kIdcFirst, "&Name:", 0, 0);
    add_edit(kIdcFirst + 1, 0, 1, 3);
    add_static(kIdcFirst + 2, "&Position:", 1, 0);
    for (int i = 0; i < 3; ++i) add_edit(kIdcFirst + 3 + i, 1, 1 + i);
    add_static(kIdcFirst + 6, "&Target:", 2, 0);
    for (int i = 0; i < 3; ++i) add_edit(kIdcFirst + 7 + i, 2, 1 + i);
    add_static(kIdcFirst + 10, "&Lens:", 3, 0);
    add_edit(kIdcFirst + 11, 3, 1);
    add_static(kIdcFirst + 12, "&Aperture:", 3, 2);
    add_edit(kIdcFirst + 13, 3, 3);
    add_ok_cancel(4, 4);
}

void CCameraSettingsDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, kIdcFirst + 1, name_);
    for (int i = 0; i < 3; ++i) {
        DDX_Length(dx, kIdcFirst + 3 + i, pos_[i]);
        DDX_Length(dx, kIdcFirst + 7 + i, target_[i]);
    }
    DDX_Double(dx, kIdcFirst + 11, lens_);
    DDV_MinMaxDouble(dx, lens_, 1e-3, 1e6);
    // Focal blur, none at 0; kept as a float in the drawing.
    DDX_Length(dx, kIdcFirst + 13, aperture_);
    DDV_MinMaxLength(dx, aperture_, 0, FLT_MAX);
    if (!dx->saving()) return;
    cam_->set_string(0, name_.c_str());
    for (int i = 0; i < 3; ++i) {
        (&cam_->position.x)[i] = float(pos_[i]);
        (&cam_->target.x)[i] = float(target_[i]);
    }
    cam_->lens = lens_;
    cam_->set_aperture(float(aperture_));
}

CLightSettingsDlg::CLightSettingsDlg(QWidget* parent, LIGHT* light)
    : CDlg(kDlgLight, parent), light_(light), spot_(rtc_cast<SPOTLITE>(light)), name_(light->name()) {
    for (int i = 0; i < 3; ++i) {
        colour_[i] = light->light_colour[i];
        pos_[i] = (&light->position.x)[i];
        target_[i] = spot_ ? (&spot_->target.x)[i] : 0.0;
    }
    for (int i = 0; i < 2; ++i)
        cone_[i] = spot_ ? rad_to_deg(std::acos(std::clamp(double(spot_->cone_cos[i]), -1.0, 1.0))) : 0.0;
}

void CLightSettingsDlg::CreateControls() {
    add_static(kIdcFirst, "&Name:", 0, 0);
    add_edit(kIdcFirst + 1, 0, 1, 3);
    add_static(kIdcFirst + 2, "&Colour (0..1):", 1, 0);
    for (int i = 0; i < 3; ++i) add_edit(kIdcFirst + 3 + i, 1, 1 + i);
    add_static(kIdcFirst + 6, "&Position:", 2, 0);
    for (int i = 0; i < 3; ++i) add_edit(kIdcFirst + 7 + i, 2, 1 + i);
    if (!spot_) {
        add_ok_cancel(3, 4);
        return;
    }
    add_static(kIdcFirst + 10, "&Target:", 3, 0);
    for (int i = 0; i < 3; ++i) add_edit(kIdcFirst + 11 + i, 3, 1 + i);
    add_static(kIdcFirst + 14, "&Hot spot (degrees):", 4, 0);
    add_edit(kIdcFirst + 15, 4, 1);
    add_static(kIdcFirst + 16, "&Fall-off (degrees):", 4, 2);
    add_edit(kIdcFirst + 17, 4, 3);
    add_ok_cancel(5, 4);
}

void CLightSettingsDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, kIdcFirst + 1, name_);
    for (int i = 0; i < 3; ++i) {
        DDX_Double(dx, kIdcFirst + 3 + i, colour_[i]);
        DDV_MinMaxDouble(dx, colour_[i], 0, 1);
        // Stored as floats in the drawing: a larger value would be infinite there.
        DDX_Length(dx, kIdcFirst + 7 + i, pos_[i]);
        DDV_MinMaxLength(dx, pos_[i], -FLT_MAX, FLT_MAX);
    }
    if (spot_) {
        for (int i = 0; i < 3; ++i) {
            DDX_Length(dx, kIdcFirst + 11 + i, target_[i]);
            DDV_MinMaxLength(dx, target_[i], -FLT_MAX, FLT_MAX);
        }
        // Half-angles of the two cones: the fully lit hot spot inside the fall-off,
        // both short of a right angle.
        DDX_Double(dx, kIdcFirst + 15, cone_[0]);
        DDV_MinMaxDouble(dx, cone_[0], 0, kSpotConeMax);
        DDX_Double(dx, kIdcFirst + 17, cone_[1]);
        DDV_MinMaxDouble(dx, cone_[1], cone_[0], kSpotConeMax);
    }
    if (!dx->saving()) return;
    light_->set_string(0, name_.c_str());
    for (int i = 0; i < 3; ++i) {
        light_->light_colour[i] = float(colour_[i]);
        (&light_->position.x)[i] = float(pos_[i]);
    }
    if (!spot_) return;
    for (int i = 0; i < 3; ++i) (&spot_->target.x)[i] = float(target_[i]);
    for (int i = 0; i < 2; ++i) spot_->cone_cos[i] = float(std::cos(deg_to_rad(cone_[i])));
}

// ---- Material sheets

namespace {

struct Scalar {
    float MaterialRecord::*field;
    const char* text;
    double min, max;
};

// The first seven are the background's too; their ids stay kIdcFirst + 11 + 2 i, the
// other four of the material form follow from kIdcFirst + 41.
constexpr Scalar kScalars[11] = {
    {&MaterialRecord::self_illumination, "Self-&illumination:", 0, 1},
    {&MaterialRecord::transparency, "T&ransparency:", 0, 1},
    {&MaterialRecord::shininess, "&Shininess:", 0, 1},
    {&MaterialRecord::specular_exponent, "Specular e&xponent:", 0, 1000},
    {&MaterialRecord::randomness, "R&andomness:", 0, 1},
    {&MaterialRecord::reflection_level, "Reflection &level:", 0, 1},
    {&MaterialRecord::refraction, "Re&fraction:", 1, 3},
    {&MaterialRecord::diffuse, "&Diffuse:", 0, 1},
    {&MaterialRecord::diffuse_exponent, "Diffuse ex&ponent:", 0.01, 1000},
    {&MaterialRecord::second_highlight, "Second highligh&t:", 0, 1},
    {&MaterialRecord::second_highlight_exponent, "Second highlight expo&nent:", 0, 1000},
};
constexpr int kBackgroundScalars = 7;

int scalar_label_id(int i) { return i < kBackgroundScalars ? kIdcFirst + 10 + 2 * i : kIdcFirst + 40 + 2 * (i - 7); }

constexpr uint32_t kFlagBits[2] = {kMaterialMappingType, kMaterialColourHighlight};
constexpr const char* kFlagTexts[2] = {"&Mapping type", "Colour &highlight"};

// Shading methods of the combo: faceted, smooth always, smooth by angle.
int shading_method(uint32_t flags) {
    return (flags & kMaterialSmoothByAngle) ? 2 : (flags & kMaterialSmoothAlways) ? 1 : 0;
}
uint32_t with_shading_method(uint32_t flags, int method) {
    flags &= ~(kMaterialSmoothAlways | kMaterialSmoothByAngle);
    return flags | (method == 1 ? kMaterialSmoothAlways : method == 2 ? kMaterialSmoothByAngle : 0);
}

constexpr double kMaxSmoothingDegrees = 99.999;

}  // namespace

CMaterialSheetDlg::CMaterialSheetDlg(QWidget* parent, int template_id, int32_t* colour_index,
                                     MaterialRecord* material, MODEL* model)
    : CDlg(template_id, parent),
      index_(colour_index),
      m_(material),
      work_(std::make_unique<MaterialRecord>()),
      patterns_(std::make_unique<SheetPatterns>(model)),
      index_value_(*colour_index) {
    // Without a whole working copy OK would store a partial or default material over
    // the caller's: the sheet does not open (DoModal).
    copy_failed_ = material_copy(work_.get(), material) != 0;
    for (int i = 0; i < 3; ++i) rgb_[i] = material->colour[i];
    for (int i = 0; i < 11; ++i) scalars_[i] = material->*kScalars[i].field;
    for (int i = 0; i < 2; ++i) flags_[i] = (material->flags & kFlagBits[i]) != 0;
    method_ = shading_method(material->flags);
    smoothing_deg_ = std::clamp(rad_to_deg(material->smoothing_angle), 0.0, kMaxSmoothingDegrees);
}

CTextureSlotEditor* CMaterialSheetDlg::slot_editor(int slot) const {
    if (scene_) return slot == kSlotTexture ? scene_->background_editor() : nullptr;
    return editors_[slot].get();
}

CMaterialSheetDlg::~CMaterialSheetDlg() {
    // The sample's worker may be sampling an image the sheet loaded: it stops first.
    delete sample_;
}

int CMaterialSheetDlg::DoModal() {
    if (copy_failed_) {
        msgbox_printf(kStrIdError, "%s", res_load_string(IDS_NO_MEMORY).c_str());
        return kOutOfMemory;
    }
    return CDlg::DoModal();
}

bool CMaterialSheetDlg::with_fields() const { return template_id() != kDlgMaterialColour; }

void CMaterialSheetDlg::CreateControls() {
    add_static(kIdcFirst, "Colour &index:", 0, 0);
    add_edit(kIdcFirst + 1, 0, 1);
    add_static(kIdcFirst + 2, "&Red, green, blue:", 1, 0);
    for (int i = 0; i < 3; ++i) add_edit(kIdcFirst + 3 + i, 1, 1 + i);
    int row = 2;
    if (template_id() == kDlgBackground) {
        for (int i = 0; i < kBackgroundScalars; ++i) {
            add_static(scalar_label_id(i), kScalars[i].text, row, 0);
            add_edit(scalar_label_id(i) + 1, row++, 1);
        }
        // The scene: the fog, whose colour is the colour above, and the background.
        scene_ = std::make_unique<CSceneMaterialEditor>(work_.get(), patterns_.get(), this, false);
        for (const auto& [id, w] : scene_->controls()) register_control(id, w);
        auto* grid = static_cast<QGridLayout*>(layout());
        row = scene_->place_fog(grid, row, 0);
        grid->addWidget(scene_->background(), 0, 4, row, 1, Qt::AlignTop);
    }
    if (full()) {
        // The constants in two columns, then the shading.
        for (int i = 0; i < 11; ++i) {
            add_static(scalar_label_id(i), kScalars[i].text, row + i / 2, 2 * (i % 2));
            add_edit(scalar_label_id(i) + 1, row + i / 2, 2 * (i % 2) + 1);
        }
        row += 6;
        add_static(kIdcMethod - 1, "Sh&ading:", row, 0);
        QComboBox* method = add_combo(kIdcMethod, row, 1);
        method->addItems({"Faceted", "Smooth", "Smooth by angle"});
        add_static(kIdcSmoothing - 1, "Smoothing an&gle (°):", row, 2);
        add_edit(kIdcSmoothing, row++, 3);
        for (int i = 0; i < 2; ++i) add_check(kIdcFirst + 30 + i, kFlagTexts[i], row, 2 * i, 2);
        ++row;
        // Beside the fields: the sample with its shapes, then the three slots, a page each.
        auto* column = new QWidget(this);
        auto* stack = new QVBoxLayout(column);
        stack->setContentsMargins(0, 0, 0, 0);
        auto* top = new QHBoxLayout();
        sample_ = new CMaterialSample(column);
        top->addWidget(sample_);
        top->addWidget(new CMaterialSampleShapes(sample_, column), 0, Qt::AlignTop);
        top->addStretch(1);
        stack->addLayout(top);
        auto* pages = new QTabWidget(column);
        for (int slot = 0; slot < kMaterialSlotCount; ++slot) {
            editors_[slot] = std::make_unique<CTextureSlotEditor>(slot, kIdcSlotFirst + 30 * slot, work_.get(),
                                                                  patterns_.get(), pages);
            editors_[slot]->set_on_change([this] { material_changed(); });
            pages->addTab(editors_[slot]->widget(), QString::fromUtf8(editors_[slot]->title()));
            for (const auto& [id, w] : editors_[slot]->controls()) register_control(id, w);
        }
        stack->addWidget(pages);
        stack->addStretch(1);
        static_cast<QGridLayout*>(layout())->addWidget(column, 0, 4, row, 1);
        sample_->set_material(*work_);
        for (int i = 0; i < 11; ++i)
            connect(static_cast<QLineEdit*>(GetDlgItem(scalar_label_id(i) + 1)), &QLineEdit::textEdited, this,
                    [this, i](const QString& text) {
                        double v = 0;
                        if (!real_parse(text.toUtf8().constData(), &v) || v < kScalars[i].min || v > kScalars[i].max)
                            return;
                        work_.get()->*kScalars[i].field = float(v);
                        material_changed();
                    });
        for (int i = 0; i < 3; ++i)
            connect(static_cast<QLineEdit*>(GetDlgItem(kIdcFirst + 3 + i)), &QLineEdit::textEdited, this,
                    [this, i](const QString& text) {
                        double v = 0;
                        if (!real_parse(text.toUtf8().constData(), &v) || v < 0 || v > 1) return;
                        work_->colour[i] = float(v);
                        material_changed();
                    });
        connect(method, &QComboBox::activated, this, [this](int m) {
            work_->flags = with_shading_method(work_->flags, m);
            material_changed();
        });
        connect(static_cast<QLineEdit*>(GetDlgItem(kIdcSmoothing)), &QLineEdit::textEdited, this,
                [this](const QString& text) {
                    double v = 0;
                    if (!real_parse(text.toUtf8().constData(), &v) || v < 0 || v > kMaxSmoothingDegrees) return;
                    work_->smoothing_angle = float(deg_to_rad(v));
                    material_changed();
                });
        for (int i = 0; i < 2; ++i)
            connect(static_cast<QCheckBox*>(GetDlgItem(kIdcFirst + 30 + i)), &QCheckBox::toggled, this,
                    [this, i](bool on) {
                        work_->flags = on ? (work_->flags | kFlagBits[i]) : (work_->flags & ~kFlagBits[i]);
                        material_changed();
                    });
    }
    add_ok_cancel(row, template_id() == kDlgMaterialColour ? 4 : 5);
}

void CMaterialSheetDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Double(dx, kIdcFirst + 1, index_value_);
    DDV_MinMaxDouble(dx, index_value_, 0, 255);
    for (int i = 0; i < 3; ++i) {
        DDX_Double(dx, kIdcFirst + 3 + i, rgb_[i]);
        DDV_MinMaxDouble(dx, rgb_[i], 0, 1);
    }
    if (with_fields()) {
        const int count = full() ? 11 : kBackgroundScalars;
        for (int i = 0; i < count; ++i) {
            DDX_Double(dx, scalar_label_id(i) + 1, scalars_[i]);
            DDV_MinMaxDouble(dx, scalars_[i], kScalars[i].min, kScalars[i].max);
        }
    }
    if (scene_) scene_->exchange(dx);
    if (full()) {
        auto* method = static_cast<QComboBox*>(dx->PrepareCtrl(kIdcMethod));
        if (dx->saving()) method_ = std::max(0, method->currentIndex());
        else method->setCurrentIndex(method_);
        DDX_Double(dx, kIdcSmoothing, smoothing_deg_);
        DDV_MinMaxDouble(dx, smoothing_deg_, 0, kMaxSmoothingDegrees);
        for (int i = 0; i < 2; ++i) DDX_Check(dx, kIdcFirst + 30 + i, flags_[i]);
        for (auto& editor : editors_) editor->exchange(dx);
    }
}

void CMaterialSheetDlg::OnOK() {
    if (!UpdateData(true)) return;
    *index_ = int32_t(index_value_);
    if (!with_fields()) {
        for (int i = 0; i < 3; ++i) m_->colour[i] = float(rgb_[i]);
        return EndDialog(IDOK);
    }
    MaterialRecord& w = *work_;
    for (int i = 0; i < 3; ++i) w.colour[i] = float(rgb_[i]);
    for (int i = 0; i < (full() ? 11 : kBackgroundScalars); ++i) w.*kScalars[i].field = float(scalars_[i]);
    if (full()) {
        for (int i = 0; i < 2; ++i) w.flags = flags_[i] ? (w.flags | kFlagBits[i]) : (w.flags & ~kFlagBits[i]);
        w.flags = with_shading_method(w.flags, method_) & ~kMaterialSmoothGroups;
        w.smoothing_angle = float(deg_to_rad(smoothing_deg_));
    }
    // The caller's record changes only when all else went well: a whole copy first, then
    // the images, then the copy swapped in. A half-made copy would leave the caller's
    // record pointing at images that Cancel frees.
    MaterialRecord stored;
    if (material_copy(&stored, &w) != 0 || (images_ && !patterns_->release(w, &images_->patterns))) {
        msgbox_printf(kStrIdError, "%s", res_load_string(IDS_NO_MEMORY).c_str());
        return;
    }
    material_swap(m_, &stored);
    if (!images_) patterns_->commit(*m_);
    EndDialog(IDOK);
}

void CMaterialSheetDlg::material_changed() {
    if (sample_) sample_->set_material(*work_);
}

// ---- Installation

void edit_dialogs_install() {
    EditDialogs& d = edit_dialogs();
    d.transform_options = [](VIEW*, int kind) {
        CTransformOptionsDlg dlg(shell_main_window(), kind);
        return dlg.DoModalHelp(0) == IDOK ? dlg.options() : 0;
    };
    d.select_criteria = [](VIEW* view, uint32_t help) {
        CSelectCriteriaDlg dlg(shell_main_window(), view_drawing(view), &view->criteria);
        const int r = dlg.DoModalHelp(help);
        return r == IDOK ? 1 : r == kIdcAll ? 2 : 0;
    };
    d.choose_layer = [](VIEW* view, LAYER* pre) -> LAYER* {
        CChooseLayerDlg dlg(shell_main_window(), view_drawing(view), pre);
        return dlg.DoModalHelp(0) == IDOK ? dlg.chosen() : nullptr;
    };
    d.material_sheet = [](VIEW* view, int32_t* colour, MaterialRecord* m, bool camera, SheetImages* images) {
        const int which = camera ? kDlgBackground : g_prefs.material ? kDlgMaterial : kDlgMaterialColour;
        CMaterialSheetDlg dlg(shell_main_window(), which, colour, m, view ? view_drawing(view) : nullptr);
        dlg.hand_images_to(images);
        return dlg.DoModalHelp(0) == IDOK;
    };
    d.change_what = [](VIEW*, int32_t* mask) {
        CChangeWhatDlg dlg(shell_main_window(), false, mask);
        return dlg.DoModalHelp(0) == IDOK;
    };
    d.change_what_line = [](VIEW*, int32_t* mask) {
        CChangeWhatDlg dlg(shell_main_window(), true, mask);
        return dlg.DoModalHelp(0) == IDOK;
    };
    d.line_style = [](VIEW* view, const RtcClass* cls, StyleValues* v) {
        CLineStyleDlg dlg(shell_main_window(), view_drawing(view), cls, v);
        return dlg.DoModalHelp(0) == IDOK;
    };
    d.camera_settings = [](VIEW*, object* obj) {
        auto* cam = rtc_cast<CAMERA>(obj);
        if (!cam) return false;
        CCameraSettingsDlg dlg(shell_main_window(), cam);
        return dlg.DoModalHelp(40043) == IDOK;
    };
    d.light_settings = [](VIEW*, object* obj) {
        auto* light = rtc_cast<LIGHT>(obj);
        if (!light) return false;
        CLightSettingsDlg dlg(shell_main_window(), light);
        return dlg.DoModalHelp(40044) == IDOK;
    };
}
