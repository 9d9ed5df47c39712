#pragma once

#include <QTableView>

#include "app/CommandTable.h"

class QLineEdit;

namespace kv::app {
class ManagerModel;
}

namespace kv::ui {

class WatchGridModel;

// The settings grid. The editor opens as soon as a cell is current, Tab moves between
// cells, and a file node dragged from this process's server pane may be dropped on it; the
// target cell is chosen by the presentation model, never by the mouse position.
class WatchGridView : public QTableView {
    Q_OBJECT

public:
    WatchGridView(app::ManagerModel& model, QWidget* parent = nullptr);

    WatchGridModel* GridModel() const { return gridModel_; }

    // Follows the presentation model: cell texts and the current cell.
    void RefreshCells();
    void RefreshCurrentCell();
    // Window colours while editing is on, button-face colours while it is off.
    void SetEditingColours(bool editing);

    // Stores an edit in progress in its cell and closes the editor.
    void CommitEdit();
    // Focus to the grid with the editor open on the current cell.
    void FocusEditor();
    // The open in-place editor, if any.
    QLineEdit* Editor() const;
    // Cut, copy, paste and delete on the cell editor, through the system clipboard.
    void RunCellCommand(app::CommandId id);

signals:
    void ContextMenuRequested(const QPoint& globalPos);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool AcceptsDrag(const QDropEvent* event) const;

    app::ManagerModel& model_;
    WatchGridModel* gridModel_;
    bool following_ = false;
};

}  // namespace kv::ui
