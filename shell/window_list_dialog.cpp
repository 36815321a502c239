// The list of every open window behind the Window menu's "More Windows...".
#include "shell/window_list_dialog.h"

#include <QGridLayout>
#include <QListWidget>
#include <utility>

#include "model/services/strtab.h"
#include "resources/string_ids.h"

CWindowListDlg::CWindowListDlg(QWidget* parent, QStringList titles, int current)
    : CDialog(IDD_SELECT_WINDOW, parent), titles_(std::move(titles)), chosen_(current) {
    setWindowTitle(QString::fromStdString(res_load_string(IDD_SELECT_WINDOW)));
}

void CWindowListDlg::CreateControls() {
    add_static(kIdcList - 1, res_load_string(IDS_SELECT_WINDOW_LABEL), 0, 0);
    auto* list = new QListWidget(this);
    list->setMinimumSize(320, 180);
    register_control(kIdcList, list);
    if (auto* grid = findChild<QGridLayout*>()) grid->addWidget(list, 1, 0);
    QObject::connect(list, &QListWidget::itemDoubleClicked, this, [this] { press(IDOK); });
    add_ok_cancel(2, 1);
}

void CWindowListDlg::DoDataExchange(CDataExchange* dx) {
    auto* list = static_cast<QListWidget*>(dx->PrepareCtrl(kIdcList));
    if (dx->saving()) {
        chosen_ = list->currentRow();
        return;
    }
    list->clear();
    list->addItems(titles_);
    if (chosen_ >= 0 && chosen_ < list->count()) list->setCurrentRow(chosen_);
}
