// The base of the settings dialogs (what the controls showed on opening), value
// checks for numbers read from files, and turning a view to a direction.
#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <algorithm>
#include <cmath>

#include "dialogs/settings_dialogs.h"
#include "graphics/view/view.h"
#include "model/math/matrix.h"

std::string control_state(QWidget* w) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text().toStdString();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->isChecked() ? "1" : "0";
    if (auto* c = qobject_cast<QComboBox*>(w)) return std::to_string(c->currentIndex()) + c->currentText().toStdString();
    if (auto* l = qobject_cast<QListWidget*>(w)) {
        std::string s = std::to_string(l->currentRow()) + ":";
        for (int i = 0; i < l->count(); ++i) {
            QListWidgetItem* it = l->item(i);
            s += (it->flags() & Qt::ItemIsUserCheckable) && it->checkState() == Qt::Checked ? '1' : '0';
        }
        return s;
    }
    return {};
}

bool CSettingsDlg::OnInitDialog() {
    CDlg::OnInitDialog();
    snapshot();
    return true;
}

void CSettingsDlg::snapshot() {
    shown_.clear();
    for (const auto& [id, w] : controls()) shown_.emplace_back(id, control_state(w));
}

bool CSettingsDlg::edited(int id) const {
    QWidget* w = GetDlgItem(id);
    if (!w) return false;
    for (const auto& [sid, text] : shown_)
        if (sid == id) return control_state(w) != text;
    return true;  // made after opening
}

void radio_group(CDialog* dlg, std::initializer_list<int> ids) {
    auto* group = new QButtonGroup(dlg);
    for (int id : ids)
        if (auto* b = qobject_cast<QAbstractButton*>(dlg->GetDlgItem(id))) group->addButton(b);
}

double positive_or(double v, double fallback) { return std::isfinite(v) && v > 0 ? v : fallback; }
double finite_or(double v, double fallback) { return std::isfinite(v) ? v : fallback; }

bool view_set_direction(VIEW* view, double dx, double dy, double dz) {
    if (!view) return false;
    const double len = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (!std::isfinite(len) || len < 1e-12) return false;
    const double ez[3] = {dx / len, dy / len, dz / len};
    double ey[3];
    if (std::fabs(ez[0]) + std::fabs(ez[1]) < 1e-9) {
        ey[0] = 0, ey[1] = 1, ey[2] = 0;
    } else {
        // World Z with its part along the direction taken out.
        ey[0] = -ez[2] * ez[0], ey[1] = -ez[2] * ez[1], ey[2] = 1 - ez[2] * ez[2];
        const double l = std::sqrt(ey[0] * ey[0] + ey[1] * ey[1] + ey[2] * ey[2]);
        for (double& c : ey) c /= l;
    }
    const double ex[3] = {ey[1] * ez[2] - ey[2] * ez[1], ey[2] * ez[0] - ey[0] * ez[2], ey[0] * ez[1] - ey[1] * ez[0]};
    // Rows are the images of the world axes (points are row vectors): the view
    // coordinates of a point are its dot products with ex, ey, ez.
    Matrix43 m{};
    for (int i = 0; i < 3; ++i) {
        m.m[3 * i + 0] = ex[i];
        m.m[3 * i + 1] = ey[i];
        m.m[3 * i + 2] = ez[i];
    }
    view->projection.view = m;
    mat_invert(&view->projection.inverse, &m);
    return true;
}

void view_direction_angles(const VIEW* view, double* azimuth, double* elevation) {
    const double* a = view->projection.view.m;
    double z[3] = {a[2], a[5], a[8]};
    const double len = std::sqrt(z[0] * z[0] + z[1] * z[1] + z[2] * z[2]);
    if (!std::isfinite(len) || len < 1e-12) {
        *azimuth = 0, *elevation = M_PI / 2;
        return;
    }
    for (double& c : z) c /= len;
    *elevation = std::asin(std::clamp(z[2], -1.0, 1.0));
    double az = std::fabs(z[0]) + std::fabs(z[1]) < 1e-9 ? 0 : std::atan2(z[1], z[0]);
    if (az < 0) az += 2 * M_PI;
    *azimuth = az;
}
