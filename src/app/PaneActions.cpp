#include "app/PaneActions.h"

#include <exception>

#include "app/ManagerModel.h"
#include "text/Cp932.h"

namespace kv::app {

void PaneActions::OpenPopup() {
    model_.Raise(
        {model_.IsFileNode(model_.SelectedNode()) ? UiEvent::PopupOnFile : UiEvent::PopupOnOther});
}

void PaneActions::DoubleClick() {
    if (!model_.MainWindowEnabled() || model_.RefusedWhileWaiting()) {
        return;
    }
    const agent::NodeTree& pane = model_.Pane();
    const agent::NodeTree::Id node = model_.SelectedNode();
    try {
        if (model_.IsFileNode(node)) {
            model_.RunFlow(CommandId::TreeViewFile);
        } else if (pane.IsAlive(node) && pane.Parent(node) == agent::NodeTree::kNone &&
                   pane.PictureOf(node) == agent::Picture::ServerNotLoaded) {
            model_.RunFlow(CommandId::TreeFetch);
        }
    } catch (const std::exception& failure) {
        model_.Ui().ReportError(failure.what());
    }
}

void PaneActions::FetchOrViewSelected() {
    const agent::NodeTree& pane = model_.Pane();
    const agent::NodeTree::Id node = model_.SelectedNode();
    if (model_.IsFileNode(node)) {
        model_.RunFlow(CommandId::TreeViewFile);
    } else if (pane.IsAlive(node) && pane.Parent(node) == agent::NodeTree::kNone &&
               !model_.IsDefaultNode(node)) {
        model_.RunFlow(CommandId::TreeFetch);
    }
}

void PaneActions::ViewSelectedFile() {
    if (model_.IsFileNode(model_.SelectedNode())) {
        model_.RunFlow(CommandId::TreeViewFile);
    }
}

bool PaneActions::PutPath(std::optional<std::size_t> row, std::size_t column) {
    const agent::NodeTree::Id node = model_.SelectedNode();
    if (!model_.IsFileNode(node)) {
        return false;
    }
    if (!row) {
        model_.Ui().ShowMessage(text::Sjis(
            "監視設定は128行までです。\r\n監視ファイルを追加できる空き行がありません。"));
        return false;
    }
    // An edit in progress in the target cell must not be committed over the path later.
    model_.Ui().MoveFocus(FocusTarget::GridToolBar);
    return model_.EditCell(*row, column, agent::RemotePath(model_.Pane(), node));
}

void PaneActions::DropOnGrid() {
    const WatchGrid& grid = model_.Grid();
    const std::size_t column = grid.CurrentColumn();
    if (column == 1 || column == WatchGrid::kColumns) {
        PutPath(grid.CurrentRow(), column);
    } else {
        PutPath(grid.FirstFreeRow(), 1);
    }
}

void PaneActions::ReplaceWatchFile() {
    PutPath(model_.Grid().CurrentRow(), 1);
    model_.ChangePage(ManagerModel::Page::Watch);
}

void PaneActions::ReplaceCommand() {
    PutPath(model_.Grid().CurrentRow(), WatchGrid::kColumns);
    model_.ChangePage(ManagerModel::Page::Watch);
}

void PaneActions::AddWatchFile() {
    PutPath(model_.Grid().FirstFreeRow(), 1);
    model_.ChangePage(ManagerModel::Page::Watch);
}

}  // namespace kv::app
