#pragma once

#include <cstddef>
#include <optional>

namespace kv::app {

class ManagerModel;

// What the server pane offers beyond selection: its popup, the double click, and putting
// a file node's remote path into the grid (popup entries and drag and drop).
// Errors: the flows it starts report their own failures; a grid without a free row is
// told to the user.
class PaneActions {
public:
    explicit PaneActions(ManagerModel& model) : model_(model) {}

    // Right button in the pane: the popup entries for the selected node.
    void OpenPopup();
    // Fetch a server not loaded, view a file node, else nothing.
    void DoubleClick();
    // Fetch (again) the selected server, or view the selected file node.
    void FetchOrViewSelected();
    void ViewSelectedFile();
    void ReplaceWatchFile();
    void ReplaceCommand();
    void AddWatchFile();
    void DropOnGrid();

private:
    bool PutPath(std::optional<std::size_t> row, std::size_t column);

    ManagerModel& model_;
};

}  // namespace kv::app
