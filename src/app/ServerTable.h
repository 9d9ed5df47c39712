#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "agent/AddServerCheck.h"
#include "agent/NodeTree.h"
#include "agent/SubtreeBuilder.h"
#include "app/ModelObserver.h"
#include "settings/FetchAndSave.h"
#include "store/ServerList.h"

namespace kv::app {

// The server table and the pane's node tree, whose top-level nodes stand for its entries in
// the same order. Only the model and its parts change them, and only through these
// operations, each of which tells the observers what they show of it (the pane's rows reach
// its view through the tree's own observer; a cached log is shown by the log view).
// Errors: file and tree failures propagate as thrown; nothing is changed by a refused add.
class ServerTable {
public:
    explicit ServerTable(std::function<void(ChangeMask)> notify) : notify_(std::move(notify)) {}
    ServerTable(const ServerTable&) = delete;
    ServerTable& operator=(const ServerTable&) = delete;

    const store::ServerList& Servers() const { return servers_; }
    const agent::NodeTree& Pane() const { return pane_; }
    // The i-th top-level node (the node of entry i), or kNone.
    agent::NodeTree::Id ServerNode(std::size_t index) const;
    bool IsLoaded(agent::NodeTree::Id node) const;
    bool IsDefaultNode(agent::NodeTree::Id node) const;
    bool IsFileNode(agent::NodeTree::Id node) const;

    // Server.csv, without the pane.
    void Load(const std::string& path);
    // The pane anew: every entry's node not yet loaded, entry 0 the default setting's.
    void ListInPane();
    void Save(const std::string& path);
    // The view that follows the pane's rows.
    void ObservePane(agent::NodeTree::Observer* observer) { pane_.SetObserver(observer); }

    void MarkLoaded(agent::NodeTree::Id node);
    // Both texts emptied before a fetch asks for them again.
    void ClearTexts(std::size_t index);
    void SetTreeText(std::size_t index, std::string text);
    // A setting that came from the Agent: the cached log was another setting's.
    void SetSettingText(std::size_t index, std::string text);
    // A setting built from the pages: the log stays with it.
    void StoreEditedSetting(std::size_t index, std::string text);
    void Rename(std::size_t index, std::string name);
    // The log fetched for entry `key`; false when the entry left the table meanwhile.
    bool CacheLog(std::uint64_t key, std::string log);

    // Discovery: `admit` adds entries and returns their rows, each of which gets a server
    // node not yet loaded. False when none was added.
    bool AddDiscovered(const std::function<std::vector<std::size_t>(store::ServerList&)>& admit);
    // The add-server dialog's connection test; a new entry has no node until it is shown.
    agent::AddServerCheck::Result TryAdd(agent::AddServerCheck::Fetchers fetchers,
                                         std::string_view address);
    // The node of a new entry whose tree and setting were fetched with it.
    agent::NodeTree::Id AppendLoadedNode(std::size_t index);
    // Entry `index`'s tree text below `server`, which then counts as loaded.
    void BuildSubtree(agent::NodeTree::Id server, std::size_t index, agent::TreeProgress& progress);
    void DropSubtree(agent::NodeTree::Id server);
    // The server node's entry and the node itself.
    void Remove(agent::NodeTree::Id server);

    // The fetch and save walks over the entries; every report tells the observers first.
    settings::FetchAndSave Walks(settings::FetchAndSave::Requests requests,
                                 settings::FetchAndSave::Reporter report);

private:
    std::function<void(ChangeMask)> notify_;
    store::ServerList servers_;
    agent::NodeTree pane_;
};

}  // namespace kv::app
