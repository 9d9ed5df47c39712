#include "ui/ServerTreeView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include "ui/ServerTreeModel.h"

namespace kv::ui {

ServerTreeView::ServerTreeView(QWidget* parent) : QTreeView(parent) {
    setObjectName(QStringLiteral("TreServer"));
    setHeaderHidden(true);
    setIndentation(kIndentation);
    setMinimumWidth(kMinWidth);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setContextMenuPolicy(Qt::NoContextMenu);
    setIconSize(QSize(16, 16));
    // The selection stays visible while another control has the focus.
    QPalette colours = palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    }
    setPalette(colours);
}

ServerTreeView::~ServerTreeView() {
    // A fully expanded tree holds an index per directory, each slow to unregister alone.
    if (auto* tree = qobject_cast<ServerTreeModel*>(model())) {
        tree->DropPersistentIndexes();
    }
}

std::vector<agent::NodeTree::Id> ServerTreeView::ExpandedNodes() const {
    std::vector<agent::NodeTree::Id> expanded;
    const auto* tree = qobject_cast<const ServerTreeModel*>(model());
    if (!tree) {
        return expanded;
    }
    // Only the branches below expanded nodes can be expanded themselves, as far as is shown;
    // files, most of a large tree, are never looked at.
    std::vector<QModelIndex> pending{QModelIndex()};
    while (!pending.empty()) {
        const QModelIndex parent = pending.back();
        pending.pop_back();
        const std::vector<QModelIndex> branches = tree->Branches(parent);
        for (auto branch = branches.rbegin(); branch != branches.rend(); ++branch) {
            if (isExpanded(*branch)) {
                expanded.push_back(ServerTreeModel::NodeOf(*branch));
                pending.push_back(*branch);
            }
        }
    }
    return expanded;
}

void ServerTreeView::ExpandNodes(const std::vector<agent::NodeTree::Id>& nodes) {
    const auto* tree = static_cast<const ServerTreeModel*>(model());
    // With a layout pending, each expansion is only noted; the layout then runs once.
    scheduleDelayedItemsLayout();
    for (agent::NodeTree::Id node : nodes) {
        const QModelIndex index = tree->IndexOf(node);
        if (index.isValid()) {
            expand(index);
        }
    }
}

void ServerTreeView::ExpandAllBelow(const QModelIndex& index) {
    const QAbstractItemModel* tree = model();
    if (!tree || !index.isValid()) {
        return;
    }
    scheduleDelayedItemsLayout();
    std::vector<QModelIndex> pending{index};
    while (!pending.empty()) {
        const QModelIndex parent = pending.back();
        pending.pop_back();
        const int rows = tree->rowCount(parent);
        if (rows == 0) {
            continue;
        }
        expand(parent);
        for (int row = 0; row < rows; ++row) {
            pending.push_back(tree->index(row, 0, parent));
        }
    }
}

void ServerTreeView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Asterisk && currentIndex().isValid()) {
        ExpandAllBelow(currentIndex());
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void ServerTreeView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        emit RightButtonPressed(event->globalPosition().toPoint());
        return;
    }
    QTreeView::mousePressEvent(event);
}

}  // namespace kv::ui
