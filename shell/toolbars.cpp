// Customisable toolbars of the main window.
#include "shell/toolbars.h"

#include <QAction>
#include <QPixmap>
#include <QMainWindow>
#include <QMenu>
#include <algorithm>
#include <map>

#include "model/services/strtab.h"
#include "resources/string_ids.h"
#include "shell/command_text.h"
#include "shell/core/toolbar_state.h"
#include "shell/customize_dialog.h"
#include "shell/icon_data.h"

namespace {

constexpr int kLargeIcon = 24;
constexpr int kSmallIcon = 16;

Qt::ToolBarArea area_of(DockSide side) {
    switch (side) {
        case DockSide::kTop: return Qt::TopToolBarArea;
        case DockSide::kBottom: return Qt::BottomToolBarArea;
        case DockSide::kLeft: return Qt::LeftToolBarArea;
        case DockSide::kRight: return Qt::RightToolBarArea;
    }
    return Qt::TopToolBarArea;
}

DockSide side_of(Qt::ToolBarArea area) {
    switch (area) {
        case Qt::BottomToolBarArea: return DockSide::kBottom;
        case Qt::LeftToolBarArea: return DockSide::kLeft;
        case Qt::RightToolBarArea: return DockSide::kRight;
        default: return DockSide::kTop;
    }
}

// The built-in images of an id as one icon: one set (large or small) or both (-1).
QIcon icon_of(int id, int large) {
    QIcon icon;
    for (size_t i = 0; i < kIconImageCount; ++i) {
        const IconImage& img = kIconImages[i];
        if (img.command_id != id || (large >= 0 && (img.large != 0) != (large != 0))) continue;
        QPixmap pm;
        if (pm.loadFromData(img.png, uint(img.size), "PNG")) {
            pm.setDevicePixelRatio(img.scale);
            icon.addPixmap(pm);
        }
    }
    return icon;
}

}  // namespace

QIcon toolbar_icon(int command_id, bool large) {
    // Both scales in one icon: Qt takes the 2x image on high-density screens.
    static std::map<std::pair<int, bool>, QIcon> cache;
    auto key = std::make_pair(command_id, large);
    if (auto it = cache.find(key); it != cache.end()) return it->second;
    const QIcon icon = icon_of(command_id, large ? 1 : 0);
    cache[key] = icon;
    return icon;
}

QIcon window_icon(int id) { return icon_of(id, -1); }

CCustomBar::CCustomBar(const ToolbarDef& def, QWidget* parent)
    : QToolBar(QString::fromStdString(res_load_string(uint32_t(def.caption_id))), parent), def_(&def) {
    setObjectName(QStringLiteral("TB%1").arg(def.bar_id));
    setContextMenuPolicy(Qt::CustomContextMenu);
}

void CCustomBar::set_buttons(const std::vector<int>& ids) {
    clear();
    for (int id : toolbar_buttons_sanitise(*def_, ids)) {
        if (id == 0) {
            addSeparator();
            continue;
        }
        QAction* a = addAction(toolbar_icon(id, bitmap_set_ != 1), QString::fromStdString(command_tip_text(id)));
        a->setData(id);
        a->setObjectName(QStringLiteral("cmd%1").arg(id));
        a->setStatusTip(QString::fromStdString(command_prompt_text(id)));
        connect(a, &QAction::triggered, this, [this, id] {
            if (on_command) on_command(id);
        });
    }
}

std::vector<int> CCustomBar::buttons() const {
    std::vector<int> ids;
    for (QAction* a : actions()) ids.push_back(a->isSeparator() ? 0 : a->data().toInt());
    return ids;
}

void CCustomBar::SelectBitmapSet(int index) {
    if (index == bitmap_set_) return;
    bitmap_set_ = index;
    int size = index == 1 ? kSmallIcon : kLargeIcon;
    setIconSize(QSize(size, size));
    for (QAction* a : actions())
        if (!a->isSeparator()) a->setIcon(toolbar_icon(a->data().toInt(), index != 1));
}

QAction* CCustomBar::action_of(int command_id) const {
    for (QAction* a : actions())
        if (!a->isSeparator() && a->data().toInt() == command_id) return a;
    return nullptr;
}

ToolbarSet::ToolbarSet(QMainWindow* frame, std::string version_text, CommandFn on_command, UpdateFn on_update)
    : QObject(frame), frame_(frame), version_(std::move(version_text)), on_command_(std::move(on_command)),
      on_update_(std::move(on_update)) {}

bool ToolbarSet::create(int bitmap_set) {
    for (const ToolbarDef& def : toolbar_table()) {
        auto* bar = new CCustomBar(def, frame_);
        bar->SelectBitmapSet(bitmap_set);
        bar->set_buttons(toolbar_default_layout(def));
        bar->on_command = [this](int id) {
            if (on_command_) on_command_(id);
        };
        connect(bar, &QWidget::customContextMenuRequested, this,
                [this, bar](const QPoint& pos) { show_context_menu(bar, bar->mapToGlobal(pos)); });
        // Each bar docks on a line of its own on its side, in table order, also apart
        // from bars the frame put there before (readout, key help).
        bool side_used = false;
        for (QToolBar* b : frame_->findChildren<QToolBar*>(Qt::FindDirectChildrenOnly))
            side_used |= b != bar && frame_->toolBarArea(b) == area_of(def.side);
        if (side_used) frame_->addToolBarBreak(area_of(def.side));
        frame_->addToolBar(area_of(def.side), bar);
        bars_.push_back(bar);
    }
    load_state();
    return true;
}

void ToolbarSet::load_state() {
    struct Placed {
        CCustomBar* bar;
        BarPlacement place;
    };
    std::vector<Placed> placed;
    bool any_layout = false;
    for (CCustomBar* bar : bars_) {
        std::vector<int> ids;
        if (toolbar_buttons_load(version_, bar->def(), &ids)) bar->set_buttons(ids);
        else toolbar_buttons_save(version_, bar->def().bar_id, bar->buttons());
        BarPlacement p;
        p.side = bar->def().side;
        if (bar_placement_load(version_, bar->def().bar_id, &p)) any_layout = true;
        placed.push_back({bar, p});
    }
    if (!any_layout) return;
    // Re-dock side by side, line by line, in the saved order.
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
        if (a.place.side != b.place.side) return int(a.place.side) < int(b.place.side);
        if (a.place.line != b.place.line) return a.place.line < b.place.line;
        return a.place.index < b.place.index;
    });
    for (size_t i = 0; i < placed.size(); ++i) {
        const Placed& p = placed[i];
        // A side's first bar starts a line of its own too, never joining a bar the
        // frame keeps there (readout, key help).
        if (i == 0 || placed[i - 1].place.side != p.place.side || placed[i - 1].place.line != p.place.line)
            frame_->addToolBarBreak(area_of(p.place.side));
        frame_->addToolBar(area_of(p.place.side), p.bar);
        p.bar->setVisible(p.place.visible);
    }
}

void ToolbarSet::save_state() const {
    // Lines: bars of one side grouped by their distance from the window edge.
    std::map<int, std::vector<CCustomBar*>> by_side;
    for (CCustomBar* bar : bars_) {
        toolbar_buttons_save(version_, bar->def().bar_id, bar->buttons());
        Qt::ToolBarArea area = frame_->toolBarArea(bar);
        by_side[int(side_of(area))].push_back(bar);
    }
    for (auto& [side, list] : by_side) {
        bool vertical = side == int(DockSide::kLeft) || side == int(DockSide::kRight);
        auto across = [&](CCustomBar* b) { return vertical ? b->x() : b->y(); };
        auto along = [&](CCustomBar* b) { return vertical ? b->y() : b->x(); };
        std::vector<int> lines;
        for (CCustomBar* b : list) lines.push_back(across(b));
        std::sort(lines.begin(), lines.end());
        lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
        // The right and bottom sides count their lines from the window edge.
        if (side == int(DockSide::kRight) || side == int(DockSide::kBottom)) std::reverse(lines.begin(), lines.end());
        std::stable_sort(list.begin(), list.end(), [&](CCustomBar* a, CCustomBar* b) { return along(a) < along(b); });
        std::map<int, int> next_index;
        for (CCustomBar* b : list) {
            int line = int(std::find(lines.begin(), lines.end(), across(b)) - lines.begin());
            BarPlacement p{DockSide(side), !b->isHidden(), std::min(line, 63), std::min(next_index[line]++, 63)};
            bar_placement_save(version_, b->def().bar_id, p);
        }
    }
}

void ToolbarSet::select_bitmap_set(int index) {
    for (CCustomBar* bar : bars_) bar->SelectBitmapSet(index);
}

void ToolbarSet::update_actions() {
    if (!on_update_) return;
    for (CCustomBar* bar : bars_) {
        for (QAction* a : bar->actions()) {
            if (a->isSeparator()) continue;
            ToolbarItemState st;
            on_update_(a->data().toInt(), &st);
            a->setEnabled(st.enabled);
            a->setCheckable(st.checkable || st.checked);
            a->setChecked(st.checked);
        }
    }
}

void ToolbarSet::fill_toolbars_menu(QMenu* menu) {
    for (CCustomBar* bar : bars_) menu->addAction(bar->toggleViewAction());
}

void ToolbarSet::toggle_bar(int bar_id) {
    if (CCustomBar* b = bar(bar_id)) b->setVisible(b->isHidden());
}

CCustomBar* ToolbarSet::bar(int bar_id) const {
    for (CCustomBar* b : bars_)
        if (b->def().bar_id == bar_id) return b;
    return nullptr;
}

void ToolbarSet::run_customize() {
    CCustomBar* target = target_;
    target_ = nullptr;
    if (target) customize(target);
}

void ToolbarSet::customize(CCustomBar* bar) {
    CustomizeDialog dlg(bar, frame_);
    dlg.exec();
    toolbar_buttons_save(version_, bar->def().bar_id, bar->buttons());
}

void ToolbarSet::show_context_menu(CCustomBar* bar, const QPoint& global) {
    target_ = nullptr;
    QMenu menu(frame_);
    if (fill_context_menu) fill_context_menu(&menu);
    else fill_toolbars_menu(&menu);
    menu.addSeparator();
    QString text = QString::fromStdString(res_load_string(IDS_CUSTOMIZE));
    QAction* custom = menu.addAction(text);
    target_ = bar;
    QAction* chosen = menu.exec(global);
    if (chosen == custom) run_customize();
}
