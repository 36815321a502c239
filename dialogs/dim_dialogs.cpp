// The dimension text dialog (template 313) and the dimension settings dialog
// (template 314).
#include "dialogs/dim_dialogs.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QRadioButton>

#include "dialogs/edit_dialogs.h"
#include "graphics/view/colours.h"
#include "model/material/material.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"
#include "shell/button_ex.h"
#include "shell/ddx.h"

namespace {

DimColourChooser g_chooser = nullptr;

QColor palette_colour(int index) {
    float rgba[4];
    colour_index_rgb(rgba, dim_display_colour(index, g_display.black_background));
    return QColor::fromRgbF(rgba[0], rgba[1], rgba[2]);
}

// Checks the radio button `index` of a row, or none for an index outside it.
void check_row(QButtonGroup* group, int index) {
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons()) b->setChecked(group->id(b) == index);
    group->setExclusive(true);
}

}  // namespace

// ---- Text of one dimension

CDimTextDlg::CDimTextDlg(QWidget* parent, DimTextDialogData* data)
    : CDlg(kTemplateDimText, parent),
      data_(data),
      text_(dim_text_to_utf8(data->text)),
      upper_(dim_text_to_utf8(data->upper)),
      lower_(dim_text_to_utf8(data->lower)) {}

void CDimTextDlg::CreateControls() {
    add_static(IDS_DIM_VALUE, res_load_string(IDS_DIM_VALUE), 0, 0);
    add_edit(kIdcDimText, 0, 1, 2);
    add_check(kIdcDimUpperOn, res_load_string(IDS_UP), 1, 0);
    add_edit(kIdcDimUpper, 1, 1, 2);
    add_check(kIdcDimLowerOn, res_load_string(IDS_DOWN), 2, 0);
    add_edit(kIdcDimLower, 2, 1, 2);
    add_check(kIdcDimQuery, res_load_string(IDS_QUERY), 3, 0, 3);
    add_ok_cancel(4, 3);
    for (int id : {kIdcDimText, kIdcDimUpper, kIdcDimLower})
        if (auto* e = qobject_cast<QLineEdit*>(GetDlgItem(id))) e->setMaxLength(kDimTextMax);
    for (int id : {kIdcDimUpperOn, kIdcDimLowerOn})
        if (auto* c = qobject_cast<QCheckBox*>(GetDlgItem(id)))
            QObject::connect(c, &QCheckBox::toggled, this, [this] { enable_tolerances(); });
}

bool CDimTextDlg::OnInitDialog() {
    const bool ok = CDlg::OnInitDialog();
    setWindowTitle(QString::fromStdString(data_->title));
    enable_tolerances();
    return ok;
}

void CDimTextDlg::enable_tolerances() {
    if (QWidget* w = GetDlgItem(kIdcDimUpper)) w->setEnabled(IsDlgButtonChecked(kIdcDimUpperOn));
    if (QWidget* w = GetDlgItem(kIdcDimLower)) w->setEnabled(IsDlgButtonChecked(kIdcDimLowerOn));
}

void CDimTextDlg::OnCommand(int) { enable_tolerances(); }

void CDimTextDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, kIdcDimText, text_);
    DDV_MaxChars(dx, text_, kDimTextMax);
    DDX_Check(dx, kIdcDimUpperOn, data_->upper_on);
    DDX_Text(dx, kIdcDimUpper, upper_);
    DDV_MaxChars(dx, upper_, kDimTextMax);
    DDX_Check(dx, kIdcDimLowerOn, data_->lower_on);
    DDX_Text(dx, kIdcDimLower, lower_);
    DDV_MaxChars(dx, lower_, kDimTextMax);
    DDX_Check(dx, kIdcDimQuery, data_->query);
    if (!dx->saving()) return;
    data_->text = dim_text_from_utf8(text_);
    data_->upper = dim_text_from_utf8(upper_);
    data_->lower = dim_text_from_utf8(lower_);
}

// ---- Settings

void dim_dialogs_set_colour_chooser(DimColourChooser chooser) { g_chooser = chooser; }

CDimSettingsDlg::CDimSettingsDlg(QWidget* parent, DimSettingsValues* values)
    : CDlg(kTemplateDimSettings, parent), v_(values) {}

void CDimSettingsDlg::CreateControls() {
    auto add_widget_at = [this](ButtonEx* w, int row, int col) {
        if (auto* grid = qobject_cast<QGridLayout*>(layout())) grid->addWidget(w, row, col);
        register_control(w->control_id(), w);
    };
    add_static(IDS_DIM_TEXT_HEIGHT, res_load_string(IDS_DIM_TEXT_HEIGHT), 0, 0);
    add_edit(kIdcDimTextHeight, 0, 1);
    add_static(IDS_DIM_ARROW_SIZE, res_load_string(IDS_DIM_ARROW_SIZE), 0, 2);
    add_edit(kIdcDimArrowSize, 0, 3);
    add_static(IDS_DIM_LINE_WIDTH, res_load_string(IDS_DIM_LINE_WIDTH), 0, 4);
    add_edit(kIdcDimLineWidth, 0, 5);
    struct Row {
        uint32_t label;
        int first, step, count;
        uint32_t texts;
    } rows[5] = {{IDS_DIM_STYLE, kIdcDimStyleFirst, 2, 2, IDS_DIM_HORIZONTAL},
                 {IDS_DIM_ARROWS, kIdcDimArrowsFirst, 1, 5, IDS_DIM_MARK_ARROW},
                 {IDS_DIM_LEADER, kIdcDimLeaderFirst, 1, 5, IDS_DIM_MARK_ARROW},
                 {IDS_TEXT_2247, kIdcDimFrameFirst, 1, 4, IDS_DIM_FRAME_NONE},
                 {IDS_DIM_LFRAME, kIdcDimLFrameFirst, 1, 4, IDS_DIM_FRAME_NONE}};
    for (int r = 0; r < 5; ++r) {
        add_static(static_cast<int>(rows[r].label), res_load_string(rows[r].label), r + 1, 0);
        rows_[r] = new QButtonGroup(this);
        for (int i = 0; i < rows[r].count; ++i) {
            QRadioButton* b = add_radio(rows[r].first + i * rows[r].step,
                                        res_load_string(rows[r].texts + static_cast<uint32_t>(i)), r + 1, i + 1);
            rows_[r]->addButton(b, i);
        }
    }
    add_static(IDS_DIM_TOLERANCE, res_load_string(IDS_DIM_TOLERANCE), 6, 0);
    add_check(kIdcDimLowerOn, res_load_string(IDS_DOWN), 6, 1);
    add_check(kIdcDimUpperOn, res_load_string(IDS_UP), 6, 2);
    add_static(kIdcDimTextColour + 1, res_load_string(IDS_TEXT), 7, 0);
    text_colour_ = new ButtonEx(kIdcDimTextColour, kButtonEx3D | kButtonExPush | kButtonExColour, this);
    add_widget_at(text_colour_, 7, 1);
    add_static(kIdcDimLineColour + 1, res_load_string(IDS_LINES), 7, 2);
    line_colour_ = new ButtonEx(kIdcDimLineColour, kButtonEx3D | kButtonExPush | kButtonExColour, this);
    add_widget_at(line_colour_, 7, 3);
    for (ButtonEx* b : {text_colour_, line_colour_})
        b->on_notify = [this](int id, int code) {
            if (code == 0) choose(id == kIdcDimTextColour ? &v_->text_colour : &v_->line_colour);
        };
    add_check(kIdcDimQuery, res_load_string(IDS_QUERY), 8, 0, 2);
    add_ok_cancel(9, 6);
    // Leaving a size edit checks the dialog at once.
    for (int id : {kIdcDimTextHeight, kIdcDimArrowSize, kIdcDimLineWidth})
        if (auto* e = qobject_cast<QLineEdit*>(GetDlgItem(id)))
            QObject::connect(e, &QLineEdit::editingFinished, this, [this] { UpdateData(true); });
}

bool CDimSettingsDlg::OnInitDialog() {
    const bool ok = CDlg::OnInitDialog();
    show_colours();
    return ok;
}

void CDimSettingsDlg::show_colours() {
    text_colour_->set_colour(palette_colour(v_->text_colour));
    line_colour_->set_colour(palette_colour(v_->line_colour));
}

void CDimSettingsDlg::choose(int32_t* colour) {
    if (g_chooser && g_chooser(this, colour)) show_colours();
}

void CDimSettingsDlg::DoDataExchange(CDataExchange* dx) {
    set_number_format_from(nullptr, 5, 64);
    const double size_max = dim_settings_size_max(v_->inches), width_max = dim_settings_width_max(v_->inches);
    DDX_Double(dx, kIdcDimTextHeight, v_->text_height);
    DDV_MinMaxDouble(dx, v_->text_height, 0, size_max);
    DDX_Double(dx, kIdcDimArrowSize, v_->arrow_size);
    DDV_MinMaxDouble(dx, v_->arrow_size, 0, size_max);
    DDX_Double(dx, kIdcDimLineWidth, v_->line_width);
    DDV_MinMaxDouble(dx, v_->line_width, 0, width_max);
    DDX_Check(dx, kIdcDimLowerOn, v_->lower_on);
    DDX_Check(dx, kIdcDimUpperOn, v_->upper_on);
    DDX_Check(dx, kIdcDimQuery, v_->query);
    int* values[5] = {&v_->text_mode, &v_->arrows, &v_->leader, &v_->dframe, &v_->lframe};
    for (int r = 0; r < 5; ++r) {
        if (!dx->saving())
            check_row(rows_[r], *values[r]);
        else if (rows_[r]->checkedId() >= 0)
            *values[r] = rows_[r]->checkedId();
    }
}

namespace {

int run_text_dialog(VIEW*, DimTextDialogData* data) {
    CDimTextDlg dlg(QApplication::activeWindow(), data);
    return dlg.DoModalHelp(40082) == IDOK ? 1 : 0;
}

bool run_settings_dialog(VIEW*, DimSettingsValues* values) {
    DimSettingsValues edited = *values;
    CDimSettingsDlg dlg(QApplication::activeWindow(), &edited);
    if (dlg.DoModalHelp(40094) != IDOK) return false;
    *values = edited;
    return true;
}

}  // namespace

void dim_dialogs_install() {
    dim_set_text_dialog(&run_text_dialog);
    dim_set_settings_dialog(&run_settings_dialog);
    // The colour buttons pick through the material sheet's colour page.
    dim_dialogs_set_colour_chooser([](QWidget* parent, int32_t* colour_index) {
        int32_t index = *colour_index;
        MaterialRecord scratch;
        CMaterialSheetDlg dlg(parent, kDlgMaterialColour, &index, &scratch);
        if (dlg.DoModalHelp(0) != IDOK || index == *colour_index) return false;
        *colour_index = index;
        return true;
    });
}
