#pragma once

#include <array>
#include <functional>
#include <utility>
#include <vector>

#include "app/CommandTable.h"

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace kv::app {
class ManagerModel;
}

namespace kv::ui {

// The QActions built from the command table: the main menu's entries, the tool buttons and
// the popup entries, named, captioned and with icons and keys as the table gives them. Each
// runs its command through the function it was built with; the actions belong to `owner`.
class CommandActions {
public:
    using Run = std::function<void(app::CommandId)>;

    explicit CommandActions(QWidget* owner) : owner_(owner) {}

    void BuildMenus(QMenuBar* bar, const Run& run);
    // The layout's buttons, appended to `bar`.
    void AddButtons(QToolBar* bar, const std::vector<app::BarItem>& items, const Run& run);
    QMenu* BuildPopup(const char* name, const std::vector<app::BarItem>& items, const Run& run);

    // The tool button's and the main menu entry's action of a command (null if none).
    QAction* Button(app::CommandId id) const { return buttons_[Slot(id)]; }
    QAction* MenuEntry(app::CommandId id) const { return menuEntries_[Slot(id)]; }

    // Every action enabled as the model's enabling state says for its control.
    void RefreshEnabling(const app::ManagerModel& model) const;

private:
    static std::size_t Slot(app::CommandId id) { return static_cast<std::size_t>(id); }

    QWidget* owner_;
    std::array<QAction*, app::kCommandCount> buttons_{};
    std::array<QAction*, app::kCommandCount> menuEntries_{};
    // Popup entries with the control that enables each.
    std::vector<std::pair<QAction*, app::Control>> popupEntries_;
};

}  // namespace kv::ui
