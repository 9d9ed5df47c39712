#pragma once

#include <cstddef>

#include "agent/NodeTree.h"

namespace kv {

class ManagerModel;

// The commands that fetch from Agents, run on the model with the window disabled while
// they wait. A failure restores the window and tells the user that the Agent could not be
// reached; what was fetched or built before it stays.
class AgentFlows {
public:
    explicit AgentFlows(ManagerModel& model) : model_(model) {}
    AgentFlows(const AgentFlows&) = delete;
    AgentFlows& operator=(const AgentFlows&) = delete;

    // Installs every flow below into the model; the flows keep a reference to this object.
    void Install();

    // BtnReloadClick: fetches again the server of the selected node.
    void Reload();
    // TreServerDblClick / PopMenu1 on a server node: fetches the selected server.
    void FetchSelected();
    // TreServerDblClick / PopMenu1 / PopMenu5 on a file node: opens a viewer of the file.
    void ViewFile();
    // BtnGrdReloadClick: fetches the current server's setting, dropping unsaved edits.
    void FetchCurrentSetting();
    // BtnGrdAllReloadClick: fetches every server's setting after a confirmation.
    void FetchAllSettings();

private:
    enum class Style { Reload, Fetch };
    void FetchServer(NodeTree::Id server, Style style);
    // Builds the fetched subtree below `server` with the pane's selection reaction held.
    void BuildSubtree(NodeTree::Id server, std::size_t index);
    void BeginSettingFetch();
    void EndSettingFetch();
    // Window enabled, normal cursor, animation off.
    void EndBusy();

    ManagerModel& model_;
};

}  // namespace kv
