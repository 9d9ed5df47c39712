#include "ui/WatchGridView.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QLineEdit>

#include "app/ManagerModel.h"
#include "ui/CellEditorDelegate.h"
#include "ui/ServerTreeModel.h"
#include "ui/WatchGridModel.h"

namespace kv::ui {

WatchGridView::WatchGridView(app::ManagerModel& model, QWidget* parent)
    : QTableView(parent), model_(model), gridModel_(new WatchGridModel(model, this)) {
    setObjectName(QStringLiteral("GrdWatch"));
    setModel(gridModel_);
    setItemDelegate(new CellEditorDelegate(this));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setMinimumSectionSize(8);
    for (std::size_t c = 0; c < app::WatchGrid::Columns().size(); ++c) {
        setColumnWidth(static_cast<int>(c), app::WatchGrid::Columns()[c].Width);
    }
    setEditTriggers(QAbstractItemView::AllEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    RefreshCurrentCell();
}

void WatchGridView::RefreshCells() {
    gridModel_->Refresh();
    // An open editor shows the new text of its cell.
    if (QWidget* editor = indexWidget(currentIndex())) {
        itemDelegate()->setEditorData(editor, currentIndex());
    }
}

void WatchGridView::RefreshCurrentCell() {
    const QModelIndex target = gridModel_->index(static_cast<int>(model_.Grid().CurrentRow()) - 1,
                                                 static_cast<int>(model_.Grid().CurrentColumn()));
    if (target == currentIndex()) {
        return;
    }
    following_ = true;
    setCurrentIndex(target);
    following_ = false;
}

void WatchGridView::SetEditingColours(bool editing) {
    QPalette colours = palette();
    const QPalette system = QPalette();
    const QColor base = editing ? system.color(QPalette::Active, QPalette::Base)
                                : system.color(QPalette::Active, QPalette::Button);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, base);
        colours.setColor(group, QPalette::Highlight,
                         editing ? system.color(QPalette::Active, QPalette::Highlight) : base);
        colours.setColor(group, QPalette::HighlightedText,
                         editing ? system.color(QPalette::Active, QPalette::HighlightedText)
                                 : system.color(QPalette::Active, QPalette::Text));
    }
    setPalette(colours);
}

void WatchGridView::CommitEdit() {
    if (QWidget* editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void WatchGridView::FocusEditor() {
    if (!isEnabled() || !isVisible()) {
        return;
    }
    setFocus(Qt::OtherFocusReason);
    if (!indexWidget(currentIndex())) {
        edit(currentIndex());
    }
}

QLineEdit* WatchGridView::Editor() const {
    return qobject_cast<QLineEdit*>(indexWidget(currentIndex()));
}

void WatchGridView::RunCellCommand(app::CommandId id) {
    if (!Editor()) {
        edit(currentIndex());
    }
    QLineEdit* editor = Editor();
    if (!editor) {
        return;
    }
    switch (id) {
        case app::CommandId::CellCut:
            editor->cut();
            break;
        case app::CommandId::CellCopy:
            editor->copy();
            break;
        case app::CommandId::CellPaste:
            editor->paste();
            break;
        case app::CommandId::CellDelete:
            if (editor->hasSelectedText()) {
                editor->del();
            }
            break;
        default:
            return;
    }
    editor->setFocus(Qt::OtherFocusReason);
}

void WatchGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (following_ || !current.isValid()) {
        return;
    }
    model_.SetCurrentCell(static_cast<std::size_t>(current.row()) + 1,
                          static_cast<std::size_t>(current.column()));
}

void WatchGridView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    emit ContextMenuRequested(event->globalPos());
}

bool WatchGridView::AcceptsDrag(const QDropEvent* event) const {
    return ServerTreeModel::DraggedNode(event->mimeData()) != agent::NodeTree::kNone &&
           model_.CanDropOnGrid();
}

void WatchGridView::dragEnterEvent(QDragEnterEvent* event) {
    if (AcceptsDrag(event)) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void WatchGridView::dragMoveEvent(QDragMoveEvent* event) {
    if (AcceptsDrag(event)) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void WatchGridView::dropEvent(QDropEvent* event) {
    if (!AcceptsDrag(event)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    model_.DropOnGrid();
}

}  // namespace kv::ui
