#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "agent/Discovery.h"
#include "agent/NodeTree.h"
#include "agent/UdpSocket.h"

namespace kv::app {

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

    // BtnAddServerClick: the add-server dialog, then the new server shown and its tree built.
    void AddServer();

    // BtnAutoSearch: asks the network for Agents. Throws the socket's failure.
    void StartDiscovery();
    // The discovery socket is readable: adds every new Agent that answered to the server
    // list and, as a server not yet loaded, to the pane.
    void DiscoveryReadable();
    // Told the descriptor to watch for replies: -1 before every discovery closes the old
    // socket, then the new one.
    void SetDiscoveryWatcher(std::function<void(int handle)> watch) { watch_ = std::move(watch); }
    // Where the question goes; the broadcast address unless a test keeps it on loopback.
    void SetDiscoveryDestination(std::string address) { destination_ = std::move(address); }

private:
    enum class Style { Reload, Fetch };
    void FetchServer(agent::NodeTree::Id server, Style style);
    // Builds the fetched subtree below `server` with the pane's selection reaction held.
    void BuildSubtree(agent::NodeTree::Id server, std::size_t index);
    // The dialog's OK: both requests answered, then the new entry; its index, or nothing
    // with `failure` saying why not (the dialog shows it once enabled again).
    std::optional<std::size_t> TestNewServer(const std::string& address, std::string& failure);
    void ShowAddedServer(std::size_t index);
    // A setting fetch with the grid's focus and the busy pattern around it; its failure
    // goes to the error report.
    void RunSettingFetch(const std::function<void()>& fetch);

    ManagerModel& model_;
    agent::Discovery discovery_;
    std::function<void(int)> watch_;
    std::string destination_{agent::TUdpSocket::kBroadcastAddress};
};

}  // namespace kv::app
