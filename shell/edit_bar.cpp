// "Edit" bar of drawing windows and the history combo box.
#include "shell/edit_bar.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "model/services/strtab.h"
#include "resources/string_ids.h"
#include "shell/button_ex.h"
#include "shell/command_text.h"
#include "shell/toolbars.h"

CHistoryCombo::CHistoryCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

void CHistoryCombo::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
        QString text = currentText();
        insertItem(0, text);
        setCurrentIndex(0);
        while (count() > kMaxEntries) removeItem(count() - 1);
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

CEditBar::CEditBar(QWidget* parent) : QToolBar(QString::fromStdString(res_load_string(IDS_EDIT)), parent) {
    setObjectName(QStringLiteral("EditBar"));
    setIconSize(QSize(16, 16));
    colour_ = new CColourButton(this);
    colour_->setFixedSize(22, 22);
    colour_->on_notify = [this](int id, int code) {
        if (code == 0 && on_command) on_command(id);
    };
    addWidget(colour_);
    addSeparator();
    layers_ = new QComboBox(this);
    layers_->setObjectName(QStringLiteral("LayerList"));
    layers_->setFixedWidth(150);
    layers_->setToolTip(QString::fromStdString(command_tip_text(2380)));
    connect(layers_, &QComboBox::activated, this, [this](int index) {
        if (on_layer && index >= 0) on_layer(layers_->itemText(index).toStdString());
    });
    addWidget(layers_);
    QAction* a = addAction(toolbar_icon(15308, false), QString::fromStdString(command_tip_text(15308)));
    a->setData(15308);
    connect(a, &QAction::triggered, this, [this] {
        if (on_command) on_command(15308);
    });
}

void CEditBar::set_layers(const std::vector<std::string>& names, const std::string& current) {
    layers_->clear();
    for (const std::string& n : names) layers_->addItem(QString::fromStdString(n));
    layers_->setCurrentIndex(layers_->findText(QString::fromStdString(current), Qt::MatchExactly));
}
