// The export options panel and the export dialog.
#include "dialogs/export_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "dialogs/xfile.h"
#include "model/services/msgbox.h"
#include "model/services/numfmt.h"
#include "model/services/profile.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"
#include "shell/ddx.h"

namespace {

QString text(uint32_t id) { return QString::fromStdString(res_load_string(id)); }

double number(const QLineEdit* e, bool* ok) {
    return e->text().trimmed().toDouble(ok);
}

QString scale_text(double v) { return QString::fromStdString(number_format_real(v, kDialogDigits)); }

// A scale field still showing `kept` as refill wrote it leaves the value exact, where
// reading the shown digits back would round it (1.23456 becoming 1.235 on OK).
double scale_number(const QLineEdit* e, double kept, bool* ok) {
    if (e->text() == scale_text(kept)) {
        *ok = true;
        return kept;
    }
    return number(e, ok);
}

}  // namespace

ExportPanel::ExportPanel(ExportOptions* options, QWidget* parent) : QWidget(parent), o_(options) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 6, 0, 0);
    auto* title = new QLabel(text(IDS_EXPORT_OPTIONS), this);
    title->setStyleSheet("font-weight: bold");
    grid->addWidget(title, 0, 0, 1, 4);
    auto* resolution_label = new QLabel(text(IDS_RESOLUTION), this);
    grid->addWidget(resolution_label, 1, 0);
    resolution_ = new QComboBox(this);
    resolution_label->setBuddy(resolution_);
    resolution_->setObjectName("ctl2323");
    resolution_->addItem(text(IDS_BY_SCREEN));
    for (int i = 1; i < 9; ++i) resolution_->addItem(QString::number(kExportResolutions[i]));
    grid->addWidget(resolution_, 1, 1);
    auto make_check = [&](int id, int row, int col) {
        auto* c = new QCheckBox(text(id), this);
        c->setObjectName(QString("ctl%1").arg(id));
        grid->addWidget(c, row, col, 1, 2);
        return c;
    };
    colour_ = make_check(IDS_COLOUR, 1, 2);
    visible_ = make_check(IDS_VISIBLE_AREA_ONLY, 2, 2);
    obj3d_ = make_check(IDS_EXPORT_3D_OBJECTS, 3, 2);
    obj2d_ = make_check(IDS_EXPORT_2D_OBJECTS, 4, 2);
    auto make_edit = [&](int id, int row, int col) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString("ctl%1").arg(id));
        e->setMaximumWidth(90);
        grid->addWidget(e, row, col);
        return e;
    };
    auto* size_label = new QLabel(text(IDS_EXPORT_SIZE), this);
    grid->addWidget(size_label, 2, 0, 1, 2);
    width_ = make_edit(2327, 3, 0);
    height_ = make_edit(2328, 3, 1);
    size_label->setBuddy(width_);
    auto* scale_label = new QLabel(text(IDS_EXPORT_SCALE), this);
    grid->addWidget(scale_label, 4, 0, 1, 2);
    scale1_ = make_edit(2325, 5, 0);
    scale2_ = make_edit(2326, 5, 1);
    scale_label->setBuddy(scale1_);
    grid->setColumnStretch(3, 1);

    // A change of resolution or visible area, or leaving a scale field, reads and
    // refills every field.
    auto reread = [this] {
        read();
        refill();
    };
    connect(resolution_, &QComboBox::activated, this, reread);
    connect(visible_, &QCheckBox::clicked, this, reread);
    connect(scale1_, &QLineEdit::editingFinished, this, reread);
    connect(scale2_, &QLineEdit::editingFinished, this, reread);
    refill();
}

QCheckBox* ExportPanel::check(int id) const {
    return findChild<QCheckBox*>(QString("ctl%1").arg(id));
}

QLineEdit* ExportPanel::edit(int id) const {
    return findChild<QLineEdit*>(QString("ctl%1").arg(id));
}

void ExportPanel::refill() {
    const ExportOptions::Fields f = o_->fields();
    resolution_->setCurrentIndex(o_->resolution);
    colour_->setChecked(o_->colour);
    visible_->setChecked(o_->visible);
    obj3d_->setChecked(o_->objects3d);
    obj2d_->setChecked(o_->objects2d);
    width_->setText(QString::number(f.size_w));
    height_->setText(QString::number(f.size_h));
    scale1_->setText(scale_text(f.scale1));
    scale2_->setText(scale_text(f.scale2));
    const ExportOptions::Enabled e = o_->enabled();
    obj3d_->setEnabled(e.objects);
    obj2d_->setEnabled(e.objects);
    resolution_->setEnabled(e.raster);
    colour_->setEnabled(e.raster);
    visible_->setEnabled(e.raster);
    width_->setEnabled(e.size);
    height_->setEnabled(e.size);
    scale1_->setEnabled(e.scale);
    scale2_->setEnabled(e.scale);
}

int ExportPanel::read() {
    const ExportOptions::Fields shown = o_->fields();
    o_->colour = colour_->isChecked();
    o_->visible = visible_->isChecked();
    o_->objects3d = obj3d_->isChecked();
    o_->objects2d = obj2d_->isChecked();
    bool ok1 = false, ok2 = false, ok3 = false, ok4 = false;
    ExportOptions::Fields f{};
    f.size_w = width_->text().trimmed().toInt(&ok1);
    f.size_h = height_->text().trimmed().toInt(&ok2);
    f.scale1 = scale_number(scale1_, shown.scale1, &ok3);
    f.scale2 = scale_number(scale2_, shown.scale2, &ok4);
    if (o_->resolution == 0) {
        if (!ok1) f.size_w = 0;
        if (!ok2) f.size_h = 0;
    } else {
        if (!ok3) f.scale1 = 0;
        if (!ok4) f.scale2 = 0;
    }
    return o_->take(f, resolution_->currentIndex());
}

void ExportPanel::set_row(int row) {
    o_->row = row;
    refill();
}

bool export_dialog(double extent_w, double extent_h, double visible_w, double visible_h, ExportRequest* request,
                   QWidget* parent) {
    ExportOptions options;
    export_options_load(&options);
    options.set_extents(extent_w, extent_h);
    options.set_visible(visible_w, visible_h);
    const int preferred = app_profile_get_int("Export", "type", 13);
    std::string name = request->name;
    CXFile dlg(&name, &kExportTypes, false, IDS_SAVE_AS, static_cast<uint32_t>(preferred), 13, "Save", parent);
    options.row = dlg.preselected_row();
    auto* panel = new ExportPanel(&options);
    dlg.add_panel(panel);
    QObject::connect(dlg.dialog(), &QFileDialog::filterSelected, panel,
                     [&dlg, panel](const QString&) { panel->set_row(dlg.current_row()); });
    for (;;) {
        const int row = dlg.DoModalType();
        if (row < 0) {
            request->name.clear();
            return false;
        }
        const int bad = panel->read();
        if (bad == 0) {
            options.row = row;
            const int dxf_before = app_profile_get_int("Export", "DXF", 0);
            options.fill(request, name, dxf_before);
            export_options_save(options, *request);
            return true;
        }
        // A field out of range: say so and show the dialog again.
        msgbox_ids(kStrIdWarning, bad <= 2 ? IDS_EXPORT_SIZE_RANGE : IDS_EXPORT_SCALE_RANGE);
        panel->refill();
    }
}
