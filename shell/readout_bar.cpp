// Coordinate-readout bar: text panes by id, filled from a drawing view.
#include "shell/readout_bar.h"

#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QStatusBar>
#include <QToolBar>

#include "model/services/strtab.h"
#include "resources/string_ids.h"
#include "shell/core/readout.h"

namespace {
QPointer<CReadoutBar> g_readout;
}

CReadoutBar::CReadoutBar(int bar_id, std::span<const int> pane_ids, QWidget* parent)
    : QWidget(parent), bar_id_(bar_id) {
    setObjectName(QStringLiteral("ReadoutBar%1").arg(bar_id));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(2);
    for (int id : pane_ids) {
        auto* label = new QLabel(QStringLiteral(" "), this);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        label->setObjectName(QStringLiteral("Pane%1").arg(id));
        layout->addWidget(label);
        panes_.push_back({id, label});
    }
    layout->addStretch(1);
}

CReadoutBar::~CReadoutBar() = default;

int CReadoutBar::digit_width() const { return QFontMetrics(font()).horizontalAdvance(QLatin1Char('0')); }

void CReadoutBar::status_pane_set(int pane_id, const std::string& text, int min_width) {
    for (Pane& p : panes_) {
        if (p.id != pane_id) continue;
        QString t = QString::fromUtf8(text.data(), qsizetype(text.size()));
        p.label->setText(t);
        int frame = 2 * p.label->frameWidth() + 4;
        int w = std::max(QFontMetrics(p.label->font()).horizontalAdvance(t), min_width) + frame;
        p.label->setFixedWidth(w);
        return;
    }
}

std::string CReadoutBar::pane_text(int pane_id) const {
    for (const Pane& p : panes_)
        if (p.id == pane_id) return p.label->text().toStdString();
    return {};
}

static QToolBar* fixed_bar(QMainWindow* frame, const QString& name, QWidget* content) {
    auto* bar = new QToolBar(name, frame);
    bar->setObjectName(name);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->toggleViewAction()->setVisible(false);
    bar->addWidget(content);
    return bar;
}

CReadoutBar* readout_bar_install(QMainWindow* frame) {
    auto* bar = new CReadoutBar(15912, kReadoutPaneIds);
    frame->addToolBar(Qt::TopToolBarArea, fixed_bar(frame, QStringLiteral("Readout"), bar));
    frame->addToolBarBreak(Qt::TopToolBarArea);
    int w = bar->digit_width();
    for (int id : kReadoutPaneIds) bar->status_pane_set(id, " ", w);
    g_readout = bar;
    return bar;
}

CReadoutBar* key_help_bar_install(QMainWindow* frame) {
    static constexpr int kPane[] = {32801};
    auto* bar = new CReadoutBar(15911, kPane);
    frame->addToolBarBreak(Qt::BottomToolBarArea);
    frame->addToolBar(Qt::BottomToolBarArea, fixed_bar(frame, QStringLiteral("KeyHelp"), bar));
    bar->status_pane_set(32801, res_load_string(IDS_F1_HELP_F2_COLOUR), 0);
    return bar;
}

CReadoutBar* readout_bar() { return g_readout.data(); }

void coord_readout_update(VIEW* view, int mode) {
    CReadoutBar* bar = g_readout.data();
    if (!bar || !view) return;
    int w = bar->digit_width();
    std::array<std::string, 8> texts = readout_texts(view, mode);
    for (size_t i = 0; i < texts.size(); ++i) {
        int min_width = (i <= kPaneAngle) ? 14 * w : 0;
        if (texts[i] == " ") min_width = w;
        bar->status_pane_set(kReadoutPaneIds[i], texts[i], min_width);
    }
}

void readout_status_prompt(unsigned string_id) {
    CReadoutBar* bar = g_readout.data();
    auto* frame = bar ? qobject_cast<QMainWindow*>(bar->window()) : nullptr;
    if (!frame) return;
    QString text = QString::fromStdString(res_load_string(string_id));
    frame->statusBar()->showMessage(text.isEmpty() ? QStringLiteral(" ") : text);
}
