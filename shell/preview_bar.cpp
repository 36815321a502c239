// The preview window's bar.
#include "shell/preview_bar.h"

#include <QComboBox>

#include "shell/command_text.h"
#include "shell/toolbars.h"

CGlimpseBar::CGlimpseBar(QWidget* parent) : QToolBar(QStringLiteral("Glimpse"), parent) {
    setObjectName(QStringLiteral("GlimpseBar"));
    setIconSize(QSize(16, 16));
    auto button = [this](int id) {
        QAction* a = addAction(toolbar_icon(id, false), QString::fromStdString(command_tip_text(id)));
        a->setData(id);
        a->setObjectName(QStringLiteral("cmd%1").arg(id));
        connect(a, &QAction::triggered, this, [this, id] {
            if (on_command) on_command(id);
        });
        return a;
    };
    button(32803);
    addSeparator();
    button(32787);
    button(32788);
    addSeparator();
    list_ = new QComboBox(this);
    list_->setObjectName(QStringLiteral("ViewPoints"));
    list_->setFixedWidth(150);
    list_->setToolTip(QString::fromStdString(command_tip_text(32802)));
    connect(list_, &QComboBox::activated, this, [this](int index) {
        if (on_view_point && index >= 0) on_view_point(list_->itemText(index).toStdString());
    });
    list_action_ = addWidget(list_);
    list_button_ = button(32802);
    list_button_->setVisible(false);
    addSeparator();
    for (int id : {32804, 32805, 32806, 32807, 32808}) button(id);
    SetPlaying(false);
    connect(this, &QToolBar::orientationChanged, this, &CGlimpseBar::relayout);
}

void CGlimpseBar::relayout(Qt::Orientation orientation) {
    bool v = orientation == Qt::Vertical;
    list_action_->setVisible(!v);
    list_button_->setVisible(v);
}

void CGlimpseBar::set_view_points(const std::vector<std::string>& names) {
    list_->clear();
    for (const std::string& n : names) list_->addItem(QString::fromStdString(n));
}

QAction* CGlimpseBar::action_of(int command_id) const {
    for (QAction* a : actions())
        if (a != list_action_ && a->data().toInt() == command_id) return a;
    return nullptr;
}

void CGlimpseBar::SetPlaying(bool playing) {
    list_->setEnabled(!playing);
    for (int id : {32803, 32787, 32788, 32804, 32807, 32808, 32802}) action_of(id)->setEnabled(!playing);
    for (int id : {32805, 32806}) action_of(id)->setEnabled(playing);
}
