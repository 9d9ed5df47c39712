#include "app/ServerTable.h"

#include <utility>

namespace kv::app {

agent::NodeTree::Id ServerTable::ServerNode(std::size_t index) const {
    const std::vector<agent::NodeTree::Id>& top = pane_.Children(agent::NodeTree::kNone);
    return index < top.size() ? top[index] : agent::NodeTree::kNone;
}

bool ServerTable::IsLoaded(agent::NodeTree::Id node) const {
    return pane_.IsAlive(node) && pane_.PictureOf(node) == agent::Picture::ServerLoaded;
}

bool ServerTable::IsDefaultNode(agent::NodeTree::Id node) const {
    return pane_.IsAlive(node) && pane_.PictureOf(node) == agent::Picture::DefaultSetting;
}

bool ServerTable::IsFileNode(agent::NodeTree::Id node) const {
    return pane_.IsAlive(node) && pane_.PictureOf(node) == agent::Picture::File;
}

void ServerTable::Load(const std::string& path) {
    servers_.Load(path);
    notify_(static_cast<ChangeMask>(Change::Servers));
}

void ServerTable::ListInPane() {
    pane_.Clear();
    for (std::size_t i = 0; i < servers_.Count(); ++i) {
        const agent::Picture picture =
            i == 0 ? agent::Picture::DefaultSetting : agent::Picture::ServerNotLoaded;
        pane_.Append(agent::NodeTree::kNone, servers_.Entry(i).IPAddress, picture, picture);
    }
}

void ServerTable::Save(const std::string& path) {
    servers_.Save(path);
}

void ServerTable::MarkLoaded(agent::NodeTree::Id node) {
    pane_.SetPictures(node, agent::Picture::ServerLoaded, agent::Picture::ServerLoaded);
    notify_(static_cast<ChangeMask>(Change::PanePictures));
}

void ServerTable::ClearTexts(std::size_t index) {
    store::TServerTree& entry = servers_.Entry(index);
    entry.TreeText.clear();
    entry.SettingText.clear();
    notify_(static_cast<ChangeMask>(Change::Servers));
}

void ServerTable::SetTreeText(std::size_t index, std::string text) {
    servers_.Entry(index).TreeText = std::move(text);
    notify_(static_cast<ChangeMask>(Change::Servers));
}

void ServerTable::SetSettingText(std::size_t index, std::string text) {
    store::TServerTree& entry = servers_.Entry(index);
    entry.SettingText = std::move(text);
    entry.CachedLog.reset();
    notify_(static_cast<ChangeMask>(Change::Servers));
}

void ServerTable::StoreEditedSetting(std::size_t index, std::string text) {
    servers_.Entry(index).SettingText = std::move(text);
    notify_(static_cast<ChangeMask>(Change::Servers));
}

void ServerTable::Rename(std::size_t index, std::string name) {
    servers_.Entry(index).ServerName = std::move(name);
    notify_(static_cast<ChangeMask>(Change::Servers));
}

bool ServerTable::CacheLog(std::uint64_t key, std::string log) {
    const std::optional<std::size_t> index = servers_.IndexOfKey(key);
    if (!index) {
        return false;
    }
    servers_.Entry(*index).CachedLog = std::move(log);
    return true;
}

bool ServerTable::AddDiscovered(
    const std::function<std::vector<std::size_t>(store::ServerList&)>& admit) {
    const std::vector<std::size_t> added = admit(servers_);
    for (const std::size_t index : added) {
        pane_.Append(agent::NodeTree::kNone, servers_.Entry(index).IPAddress,
                     agent::Picture::ServerNotLoaded, agent::Picture::ServerNotLoaded);
    }
    if (!added.empty()) {
        notify_(static_cast<ChangeMask>(Change::Servers));
    }
    return !added.empty();
}

agent::AddServerCheck::Result ServerTable::TryAdd(agent::AddServerCheck::Fetchers fetchers,
                                                  std::string_view address) {
    agent::AddServerCheck check(std::move(fetchers), servers_);
    agent::AddServerCheck::Result result = check.TryAddress(address);
    if (result.Index) {
        notify_(static_cast<ChangeMask>(Change::Servers));
    }
    return result;
}

agent::NodeTree::Id ServerTable::AppendLoadedNode(std::size_t index) {
    return pane_.Append(agent::NodeTree::kNone, servers_.Entry(index).IPAddress,
                        agent::Picture::ServerLoaded, agent::Picture::ServerLoaded);
}

void ServerTable::BuildSubtree(agent::NodeTree::Id server, std::size_t index,
                               agent::TreeProgress& progress) {
    agent::BuildServerSubtree(pane_, server, servers_.Entry(index).TreeText, progress);
}

void ServerTable::DropSubtree(agent::NodeTree::Id server) {
    pane_.RemoveChildren(server);
}

void ServerTable::Remove(agent::NodeTree::Id server) {
    const std::size_t index = pane_.Row(server);
    if (index < servers_.Count()) {
        servers_.Delete(index);
    }
    pane_.Remove(server);
    notify_(static_cast<ChangeMask>(Change::Servers));
}

settings::FetchAndSave ServerTable::Walks(settings::FetchAndSave::Requests requests,
                                          settings::FetchAndSave::Reporter report) {
    return settings::FetchAndSave(
        servers_, std::move(requests),
        [this, report = std::move(report)](const settings::FetchAndSave::Report& what) {
            notify_(static_cast<ChangeMask>(Change::Servers));
            if (report) {
                report(what);
            }
        });
}

}  // namespace kv::app
