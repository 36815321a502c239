// Toolbar customise dialog.
#include "shell/customize_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "model/services/strtab.h"
#include "resources/string_ids.h"
#include "shell/command_text.h"
#include "shell/toolbars.h"

namespace {
QString text_of(uint32_t id) { return QString::fromStdString(res_load_string(id)); }
}  // namespace

CustomizeDialog::CustomizeDialog(CCustomBar* bar, QWidget* parent)
    : QDialog(parent), bar_(bar), saved_(bar->buttons()) {
    setWindowTitle(text_of(IDS_CUSTOMIZE_TOOLBAR) + QStringLiteral(" - ") + bar->windowTitle());
    setObjectName(QStringLiteral("CustomizeDialog"));
    auto* grid = new QGridLayout(this);
    available_ = new QListWidget(this);
    current_ = new QListWidget(this);
    for (QListWidget* list : {available_, current_}) {
        list->setIconSize(QSize(24, 24));
        list->setMinimumSize(220, 300);
    }
    auto* avail_label = new QLabel(text_of(IDS_AVAILABLE_BUTTONS), this);
    auto* cur_label = new QLabel(text_of(IDS_TOOLBAR_BUTTONS), this);
    avail_label->setBuddy(available_);
    cur_label->setBuddy(current_);
    grid->addWidget(avail_label, 0, 0);
    grid->addWidget(cur_label, 0, 2);
    grid->addWidget(available_, 1, 0, 6, 1);
    grid->addWidget(current_, 1, 2, 6, 1);

    auto button = [&](uint32_t id, int row, int col) {
        auto* b = new QPushButton(text_of(id), this);
        b->setAutoDefault(false);
        grid->addWidget(b, row, col);
        return b;
    };
    QPushButton* add = button(IDS_ADD_BUTTON, 2, 1);
    QPushButton* remove = button(IDS_REMOVE_BUTTON, 3, 1);
    QPushButton* close = button(IDS_CLOSE_CUSTOMIZE, 1, 3);
    QPushButton* reset_b = button(IDS_RESET_TOOLBAR, 2, 3);
    QPushButton* up = button(IDS_MOVE_UP, 3, 3);
    QPushButton* down = button(IDS_MOVE_DOWN, 4, 3);
    close->setDefault(true);
    connect(add, &QPushButton::clicked, this, [this] { add_button(available_->currentRow()); });
    connect(remove, &QPushButton::clicked, this, [this] { remove_button(current_->currentRow()); });
    connect(up, &QPushButton::clicked, this, [this] { move_button(current_->currentRow(), -1); });
    connect(down, &QPushButton::clicked, this, [this] { move_button(current_->currentRow(), 1); });
    connect(reset_b, &QPushButton::clicked, this, [this] { reset(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(available_, &QListWidget::itemDoubleClicked, this, [this] { add_button(available_->currentRow()); });
    connect(current_, &QListWidget::itemDoubleClicked, this, [this] { remove_button(current_->currentRow()); });
    refill();
    available_->setCurrentRow(0);
}

QListWidgetItem* CustomizeDialog::make_item(int id) const {
    auto* item = id == 0 ? new QListWidgetItem(text_of(IDS_SEPARATOR))
                         : new QListWidgetItem(toolbar_icon(id, true), QString::fromStdString(command_tip_text(id)));
    item->setData(Qt::UserRole, id);
    return item;
}

void CustomizeDialog::refill() {
    std::vector<int> ids = bar_->buttons();
    int cur_row = current_->currentRow();
    int avail_row = available_->currentRow();
    available_->clear();
    current_->clear();
    available_->addItem(make_item(0));  // a separator can always be added
    for (const ToolButtonDef& b : toolbar_buttons(bar_->def()))
        if (std::find(ids.begin(), ids.end(), b.command_id) == ids.end()) available_->addItem(make_item(b.command_id));
    for (int id : ids) current_->addItem(make_item(id));
    current_->setCurrentRow(std::min(cur_row, current_->count() - 1));
    available_->setCurrentRow(std::min(std::max(avail_row, 0), available_->count() - 1));
}

void CustomizeDialog::apply(const std::vector<int>& ids) {
    bar_->set_buttons(ids);
    refill();
}

void CustomizeDialog::add_button(int available_row) {
    QListWidgetItem* item = available_->item(available_row);
    if (!item) return;
    std::vector<int> ids = bar_->buttons();
    // Inserted before the selected button of the bar, or at its end.
    int at = current_->currentRow();
    if (at < 0 || at > int(ids.size())) at = int(ids.size());
    ids.insert(ids.begin() + at, item->data(Qt::UserRole).toInt());
    apply(ids);
    current_->setCurrentRow(std::min(at + 1, current_->count() - 1));
}

void CustomizeDialog::remove_button(int current_row) {
    std::vector<int> ids = bar_->buttons();
    if (current_row < 0 || current_row >= int(ids.size())) return;
    ids.erase(ids.begin() + current_row);
    apply(ids);
}

void CustomizeDialog::move_button(int current_row, int delta) {
    std::vector<int> ids = bar_->buttons();
    int to = current_row + delta;
    if (current_row < 0 || current_row >= int(ids.size()) || to < 0 || to >= int(ids.size())) return;
    std::swap(ids[size_t(current_row)], ids[size_t(to)]);
    apply(ids);
    current_->setCurrentRow(to);
}

void CustomizeDialog::reset() { apply(saved_); }
