#include "ui/CommandActions.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include "app/ManagerModel.h"
#include "ui/SjisText.h"

namespace kv::ui {

void CommandActions::BuildMenus(QMenuBar* bar, const Run& run) {
    for (const app::MenuLayout& layout : app::MainMenuLayout()) {
        QMenu* menu = bar->addMenu(FromSjis(layout.Caption));
        for (const app::BarItem& item : layout.Items) {
            if (item.Separator) {
                menu->addSeparator();
                continue;
            }
            const app::CommandInfo& info = app::CommandFor(item.Id);
            auto* action = new QAction(FromSjis(info.MenuCaption), owner_);
            action->setObjectName(QString::fromStdString(info.MenuName));
            if (!info.Accelerator.empty()) {
                action->setShortcut(QKeySequence(QString::fromStdString(info.Accelerator)));
                action->setShortcutContext(Qt::WindowShortcut);
            }
            QObject::connect(action, &QAction::triggered, owner_, [run, id = item.Id] { run(id); });
            menu->addAction(action);
            menuEntries_[Slot(item.Id)] = action;
        }
    }
}

void CommandActions::AddButtons(QToolBar* bar, const std::vector<app::BarItem>& items,
                                const Run& run) {
    for (const app::BarItem& item : items) {
        if (item.Separator) {
            bar->addSeparator();
            continue;
        }
        const app::CommandInfo& info = app::CommandFor(item.Id);
        auto* action = new QAction(
            QIcon(QStringLiteral(":/tools/%1.png").arg(QString::fromStdString(info.Icon))),
            FromSjis(info.Hint), owner_);
        action->setObjectName(QString::fromStdString(info.ButtonName));
        action->setToolTip(FromSjis(info.Hint));
        QObject::connect(action, &QAction::triggered, owner_, [run, id = item.Id] { run(id); });
        bar->addAction(action);
        bar->widgetForAction(action)->setObjectName(QString::fromStdString(info.ButtonName));
        buttons_[Slot(item.Id)] = action;
    }
}

QMenu* CommandActions::BuildPopup(const char* name, const std::vector<app::BarItem>& items,
                                  const Run& run) {
    auto* menu = new QMenu(owner_);
    menu->setObjectName(QString::fromLatin1(name));
    for (const app::BarItem& item : items) {
        if (item.Separator) {
            menu->addSeparator();
            continue;
        }
        const app::CommandInfo& info = app::CommandFor(item.Id);
        QAction* action = menu->addAction(FromSjis(info.PopupCaption));
        if (info.PopupControl) {
            action->setObjectName(QString::fromUtf8(app::ControlName(*info.PopupControl)));
            popupEntries_.emplace_back(action, *info.PopupControl);
        }
        if (!info.Accelerator.empty()) {
            // Shown in the menu; the cell editor handles the keys itself.
            action->setShortcut(QKeySequence(QString::fromStdString(info.Accelerator)));
            action->setShortcutContext(Qt::WidgetShortcut);
        }
        QObject::connect(action, &QAction::triggered, owner_, [run, id = item.Id] { run(id); });
    }
    return menu;
}

void CommandActions::RefreshEnabling(const app::ManagerModel& model) const {
    for (const app::CommandInfo& info : app::CommandTable()) {
        if (QAction* button = buttons_[Slot(info.Id)]; button && info.ButtonControl) {
            button->setEnabled(model.IsEnabled(*info.ButtonControl));
        }
        if (QAction* entry = menuEntries_[Slot(info.Id)]; entry && info.MenuControl) {
            entry->setEnabled(model.IsEnabled(*info.MenuControl));
        }
    }
    for (const auto& [action, control] : popupEntries_) {
        action->setEnabled(model.IsEnabled(control));
    }
}

}  // namespace kv::ui
