#pragma once

#include <vector>

#include <QTreeView>

#include "agent/NodeTree.h"

namespace kv::ui {

// The server pane's tree control. A right-button press opens the context menu for the node
// that is already selected, without selecting the node under the mouse.
class ServerTreeView : public QTreeView {
    Q_OBJECT

public:
    static constexpr int kIndentation = 19;
    static constexpr int kMinWidth = 249;

    explicit ServerTreeView(QWidget* parent = nullptr);
    ~ServerTreeView() override;

    // The expanded nodes, outer before inner; and expanding such a list again, skipping
    // nodes that are gone or not shown. The view's model is a ServerTreeModel.
    std::vector<agent::NodeTree::Id> ExpandedNodes() const;
    void ExpandNodes(const std::vector<agent::NodeTree::Id>& nodes);
    // Expands `index` and everything below it with one layout of the view ('*').
    void ExpandAllBelow(const QModelIndex& index);

signals:
    void RightButtonPressed(const QPoint& globalPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace kv::ui
