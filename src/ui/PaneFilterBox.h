#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QTimer>
#include <QWidget>

#include "agent/NodeTree.h"
#include "agent/PaneFilter.h"

class QLabel;
class QLineEdit;

namespace kv::app {
class ManagerModel;
}

namespace kv::ui {

class ServerTreeModel;
class ServerTreeView;

// The find box above the server pane: typing part of a name or a path shows only the
// matching nodes and their ancestors, expanded, with the count of matches. The search runs
// in short slices between events, and each keystroke drops the search before it. Clearing
// the box gives the pane back as it was, expanded where it was, with the selection kept.
// Ctrl+L and Ctrl+Shift+F focus the box; Enter selects the next match; Esc clears the box,
// and a second Esc goes back to the pane.
class PaneFilterBox : public QWidget {
    Q_OBJECT

public:
    PaneFilterBox(app::ManagerModel& model, ServerTreeView& view, ServerTreeModel& treeModel,
                  QWidget* parent = nullptr);
    ~PaneFilterBox() override;

    QLineEdit* Edit() const { return edit_; }
    QLabel* Count() const { return count_; }
    bool Searching() const { return search_ != nullptr; }
    void Focus();
    void SelectNextMatch();

signals:
    // A search has finished and the pane shows its result.
    void FilterShown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void TextChanged(const QString& text);
    void StartSearch();
    void RunSlice();
    void Show(std::unique_ptr<agent::PaneFilter> filter);
    void ShowAll();

    app::ManagerModel& model_;
    ServerTreeView& view_;
    ServerTreeModel& treeModel_;
    QLineEdit* edit_;
    QLabel* count_;
    QTimer slice_;
    std::string pattern_;  // Shift_JIS; empty while the pane shows everything
    std::unique_ptr<agent::PaneSearch> search_;
    // The pane's expansion before the filter, given back when it is cleared.
    std::vector<agent::NodeTree::Id> expanded_;
    bool filtered_ = false;
};

}  // namespace kv::ui
